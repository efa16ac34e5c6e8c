#pragma once
// The hotplug port: tells the window that HID devices came or went, so it
// can re-run the device scan a little later. Real backend: a libudev monitor
// on hidraw nodes; tests feed events by hand.

#include <vector>

namespace cvk {

enum class HotplugEvent { Arrival, RemovalComplete };

class IHotplugMonitor {
public:
    virtual ~IHotplugMonitor() = default;
    // A descriptor that becomes readable when events are waiting (for a
    // QSocketNotifier or poll); -1 when the monitor cannot report anything.
    virtual int fd() const = 0;
    // Every event waiting now, oldest first; never blocks.
    virtual std::vector<HotplugEvent> drain() = 0;
};

// Reports nothing: for the simulator and where no monitor is available.
class NullHotplugMonitor final : public IHotplugMonitor {
public:
    int fd() const override { return -1; }
    std::vector<HotplugEvent> drain() override { return {}; }
};

}  // namespace cvk
