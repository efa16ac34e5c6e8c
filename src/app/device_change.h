#pragma once
// Timer 1 of the main window: a device change schedules one device scan a
// little later, so the burst of node events one plug produces ends in a
// single scan after the last of them.
//
// Driving it:
//   GUI: a QSocketNotifier on IHotplugMonitor::fd() calls
//        feedDeviceChanges(); after it (re)start a single-shot QTimer for
//        *deadline() - now, and on its timeout run the scan when due(now).
//   CLI: call deviceChangeDue() at every tick and scan when it returns true.

#include <cstdint>
#include <optional>

#include "platform/hotplug.h"

namespace cvk {

inline constexpr int64_t kArrivalScanDelayMs = 2000;
inline constexpr int64_t kRemovalScanDelayMs = 100;

class CDeviceChangeTimer {
public:
    // Arms the timer: 2000 ms after an arrival, 100 ms after a removal. A
    // new event replaces a pending deadline, earlier or later.
    void onEvent(HotplugEvent event, int64_t nowMs);
    // True once when the deadline has passed; the timer is then disarmed
    // and the caller runs the device scan.
    bool due(int64_t nowMs);
    // When the pending scan is due; empty when none is pending.
    std::optional<int64_t> deadline() const { return deadline_; }
    void cancel() { deadline_.reset(); }

private:
    std::optional<int64_t> deadline_;
};

// Hands every waiting monitor event to the timer.
void feedDeviceChanges(IHotplugMonitor& monitor, CDeviceChangeTimer& timer, int64_t nowMs);
// One polling tick: feeds the waiting events, then asks due().
bool deviceChangeDue(IHotplugMonitor& monitor, CDeviceChangeTimer& timer, int64_t nowMs);

}  // namespace cvk
