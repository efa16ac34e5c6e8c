#pragma once
// USB string descriptors behind a hidraw node. hidraw cannot ask a device
// for an indexed string, so the descriptor is read from the parent USB
// device: udev leads from the node to its bus number and address, libusb
// sends the GET_DESCRIPTOR request.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct libusb_context;

namespace cvk::hidraw {

struct UsbLocation {
    uint8_t bus = 0;
    uint8_t address = 0;
};

// The USB device that carries a hidraw node; nullopt when the node is gone
// or not on USB (Bluetooth, I2C).
std::optional<UsbLocation> usbLocationOfHidraw(const std::string& path);

// Shared by a bus and the devices it opened, so libusb stays initialised
// while any of them can still ask.
class UsbStringReader {
public:
    UsbStringReader() = default;
    ~UsbStringReader();
    UsbStringReader(const UsbStringReader&) = delete;
    UsbStringReader& operator=(const UsbStringReader&) = delete;

    // Payload of string descriptor `index` in the device's first language,
    // at most maxBytes; nullopt on any failure (no access, device gone,
    // request stalled or timed out).
    std::optional<std::vector<uint8_t>> read(UsbLocation where, uint8_t index, std::size_t maxBytes);

private:
    libusb_context* context();

    std::mutex mutex_;
    libusb_context* context_ = nullptr;
    bool initTried_ = false;
};

}  // namespace cvk::hidraw
