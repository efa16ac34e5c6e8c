#pragma once
// The USB control-transfer port on libusb-1.0: opens the bootloader by its
// ids, sets configuration 1, claims interface 0 (detaching a kernel driver
// that holds it) and sends the DFU requests on endpoint 0.

#include <memory>

#include "platform/usb_control.h"

struct libusb_context;

namespace cvk {

class LibusbControl final : public IUsbControl {
public:
    // Initialises a libusb context of its own; ok() tells whether that worked
    // (it does not without usbfs, e.g. in a container without /dev/bus/usb).
    // The devices it opens keep the context alive, also past this object.
    LibusbControl();
    ~LibusbControl() override;
    LibusbControl(const LibusbControl&) = delete;
    LibusbControl& operator=(const LibusbControl&) = delete;

    bool ok() const { return context_ != nullptr; }

    // Without a context every open fails with Other.
    std::unique_ptr<IUsbDevice> open(uint16_t vendorId, uint16_t productId, UsbError* error) override;

    struct Context;

private:
    std::shared_ptr<Context> context_;
};

}  // namespace cvk
