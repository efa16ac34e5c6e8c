#pragma once
// The desktop's mouse settings on Windows: the system-wide swap of the
// primary button and the wheel's scroll lines.

#include <optional>

namespace cvk {

bool windowsButtonsSwapped();
// Lines per wheel notch; nullopt when the system does not say, and 0 when
// the wheel scrolls by pages (WHEEL_PAGESCROLL).
std::optional<int> windowsWheelScrollLines();

}  // namespace cvk
