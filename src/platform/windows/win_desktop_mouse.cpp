#include "platform/windows/win_desktop_mouse.h"

#include <windows.h>

namespace cvk {

bool windowsButtonsSwapped() { return GetSystemMetrics(SM_SWAPBUTTON) != 0; }

std::optional<int> windowsWheelScrollLines()
{
    UINT lines = 0;
    if (!SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0))
        return std::nullopt;
    if (lines == WHEEL_PAGESCROLL)
        return 0;
    return static_cast<int>(lines);
}

}  // namespace cvk
