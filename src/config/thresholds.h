#pragma once
// The firmware version and the desktop width at which behaviour changes for
// every model; config, device and profiles all read them here.

#include <cstdint>

namespace cvk {

// Firmware 0x31A brought the pointer-settings panel. From it on the device
// keeps the resolution mode it was given (below it the mode follows the
// desktop width), stored profiles have their pointer bytes range-checked,
// the Arvel pad menu offers Avoid Edges instead of the resolution submenu
// and Cancel restores the cursor speed the device ran at.
inline constexpr uint32_t kPointerSettingsFirmware = 0x31A;

// Below this firmware a write is one report the device does not confirm.
inline constexpr uint32_t kSingleReportFirmwareBelow = 0x300;

// Monitors together this wide or wider call for Wide Screen Mode.
inline constexpr int kWideScreenMinWidth = 1280;

}  // namespace cvk
