#pragma once
// The USB control-transfer port: what the firmware updater needs to speak to
// the device's bootloader on endpoint 0. Real backend: libusb-1.0; test
// backend: the simulated bootloader.

#include <cstdint>
#include <memory>
#include <span>

namespace cvk {

enum class UsbError {
    None,
    NotFound,          // no device with that vendor/product on the bus
    PermissionDenied,  // present, but this user may not open it
    Gone,              // the device left the bus
    Stall,             // the request was refused (pipe error)
    Timeout,
    Other,
};

// The setup packet of one control transfer; wLength is the data span's size.
struct UsbSetup {
    uint8_t requestType = 0;
    uint8_t request = 0;
    uint16_t value = 0;
    uint16_t index = 0;
};

// An opened device with its interface 0 claimed. Every call is synchronous
// and bounded by timeoutMs.
class IUsbDevice {
public:
    virtual ~IUsbDevice() = default;
    // Host-to-device transfer. Returns the bytes sent, or -1 with *error set.
    virtual int controlOut(const UsbSetup& setup, std::span<const uint8_t> data, int timeoutMs,
                           UsbError* error) = 0;
    // Device-to-host transfer into data. Returns the bytes received, or -1.
    virtual int controlIn(const UsbSetup& setup, std::span<uint8_t> data, int timeoutMs, UsbError* error) = 0;
};

class IUsbControl {
public:
    virtual ~IUsbControl() = default;
    // Opens the first device with these ids, selects configuration 1 and
    // claims interface 0. Null on failure with the reason in *error.
    virtual std::unique_ptr<IUsbDevice> open(uint16_t vendorId, uint16_t productId, UsbError* error) = 0;
};

}  // namespace cvk
