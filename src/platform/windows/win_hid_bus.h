#pragma once
// The HID bus on Windows: the HID class interface found through the device
// set-up API, reports through HidD_* and overlapped reads and writes.

#include <vector>

#include "platform/hid_bus.h"

namespace cvk {

class WinHidBus final : public IHidBus {
public:
    // Every present HID interface that can be asked for its attributes; one
    // entry per interface (Windows gives each top-level collection its own
    // interface), the path being the interface path in UTF-8.
    std::vector<HidInterfaceInfo> enumerate() override;
    // Opens for reading and writing, shared with other programs.
    HidDevicePtr open(const HidInterfaceInfo& entry, HidOpenError* error = nullptr) override;
};

}  // namespace cvk
