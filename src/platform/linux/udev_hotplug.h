#pragma once
// Hotplug on Linux: a libudev netlink monitor filtered to the hidraw
// subsystem. An added node is an arrival, a removed node a completed removal;
// other actions (change, bind, ...) are dropped.

#include <memory>

#include "platform/hotplug.h"

struct udev;
struct udev_monitor;

namespace cvk {

class UdevHotplugMonitor final : public IHotplugMonitor {
public:
    // netlinkSource: "udev" (events after the udev daemon has set up the
    // node) or "kernel". When udev cannot be reached the monitor fails soft:
    // fd() is -1, drain() is always empty and available() is false.
    explicit UdevHotplugMonitor(const char* netlinkSource = "udev");
    ~UdevHotplugMonitor() override;
    UdevHotplugMonitor(const UdevHotplugMonitor&) = delete;
    UdevHotplugMonitor& operator=(const UdevHotplugMonitor&) = delete;

    bool available() const { return monitor_ != nullptr; }
    int fd() const override { return fd_; }
    std::vector<HotplugEvent> drain() override;

private:
    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    int fd_ = -1;
};

}  // namespace cvk
