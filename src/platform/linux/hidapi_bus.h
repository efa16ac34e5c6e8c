#pragma once
// The HID bus on Linux: hidapi's hidraw backend for enumeration and reports,
// USB string descriptors (udev + libusb) for indexed strings.

#include <memory>
#include <vector>

#include "platform/hid_bus.h"

namespace cvk {

namespace hidraw {
class UsbStringReader;
}

class HidapiBus final : public IHidBus {
public:
    HidapiBus();
    ~HidapiBus() override;
    HidapiBus(const HidapiBus&) = delete;
    HidapiBus& operator=(const HidapiBus&) = delete;

    // Every HID interface present, one entry per top-level collection.
    std::vector<HidInterfaceInfo> enumerate() override;
    HidDevicePtr open(const HidInterfaceInfo& entry, HidOpenError* error = nullptr) override;

private:
    std::shared_ptr<void> hidapi_;  // keeps hidapi initialised; null when hid_init failed
    std::shared_ptr<hidraw::UsbStringReader> usb_;
};

}  // namespace cvk
