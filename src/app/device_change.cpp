#include "app/device_change.h"

namespace cvk {

void CDeviceChangeTimer::onEvent(HotplugEvent event, int64_t nowMs)
{
    deadline_ = nowMs + (event == HotplugEvent::Arrival ? kArrivalScanDelayMs : kRemovalScanDelayMs);
}

bool CDeviceChangeTimer::due(int64_t nowMs)
{
    if (!deadline_ || nowMs < *deadline_)
        return false;
    deadline_.reset();
    return true;
}

void feedDeviceChanges(IHotplugMonitor& monitor, CDeviceChangeTimer& timer, int64_t nowMs)
{
    for (HotplugEvent event : monitor.drain())
        timer.onEvent(event, nowMs);
}

bool deviceChangeDue(IHotplugMonitor& monitor, CDeviceChangeTimer& timer, int64_t nowMs)
{
    feedDeviceChanges(monitor, timer, nowMs);
    return timer.due(nowMs);
}

}  // namespace cvk
