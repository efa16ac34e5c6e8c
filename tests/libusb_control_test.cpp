// The libusb backend of the USB control-transfer port. Without hardware only
// the refusal of an absent device can be checked.

#include <gtest/gtest.h>

#include "platform/linux/libusb_control.h"

namespace cvk {
namespace {

TEST(LibusbControl, AbsentDeviceIsNotFound)
{
    LibusbControl usb;
    if (!usb.ok())
        GTEST_SKIP() << "libusb cannot initialise here (no usbfs, e.g. no /dev/bus/usb)";
    UsbError e = UsbError::None;
    // Vendor 0xFFFF is reserved: no device carries it.
    EXPECT_EQ(usb.open(0xFFFF, 0xFFFE, &e), nullptr);
    EXPECT_EQ(e, UsbError::NotFound);
}

}  // namespace
}  // namespace cvk
