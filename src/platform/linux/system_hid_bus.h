#pragma once
// The operating system's HID bus (hidraw through hidapi, USB string
// descriptors through libusb). Kept free of those libraries' headers so the
// front ends can include it.

#include <memory>

#include "platform/hid_bus.h"

namespace cvk {

std::unique_ptr<IHidBus> makeSystemHidBus();

}  // namespace cvk
