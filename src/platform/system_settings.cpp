#include "platform/system_settings.h"

#include <algorithm>

namespace cvk {

int desktopWidth(const std::vector<MonitorRect>& monitors)
{
    int left = 0;
    int right = 0;
    for (const MonitorRect& m : monitors) {
        left = std::min(left, m.left);
        right = std::max(right, m.right);
    }
    return right - left;
}

}  // namespace cvk
