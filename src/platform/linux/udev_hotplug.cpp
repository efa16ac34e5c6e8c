#include "platform/linux/udev_hotplug.h"

#include <fcntl.h>
#include <libudev.h>

#include <cstring>

namespace cvk {

UdevHotplugMonitor::UdevHotplugMonitor(const char* netlinkSource)
{
    udev_ = udev_new();
    if (!udev_)
        return;
    udev_monitor* monitor = udev_monitor_new_from_netlink(udev_, netlinkSource);
    if (!monitor)
        return;
    const int fd = udev_monitor_get_fd(monitor);
    // Sandboxes without netlink access fail here; nothing is reported then.
    if (udev_monitor_filter_add_match_subsystem_devtype(monitor, "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor) < 0 || fd < 0) {
        udev_monitor_unref(monitor);
        return;
    }
    // drain() must never block the window's event loop.
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) {
        udev_monitor_unref(monitor);
        return;
    }
    monitor_ = monitor;
    fd_ = fd;
}

UdevHotplugMonitor::~UdevHotplugMonitor()
{
    if (monitor_)
        udev_monitor_unref(monitor_);
    if (udev_)
        udev_unref(udev_);
}

std::vector<HotplugEvent> UdevHotplugMonitor::drain()
{
    std::vector<HotplugEvent> events;
    if (!monitor_)
        return events;
    // Null means nothing is waiting (filtered messages are skipped inside).
    while (udev_device* device = udev_monitor_receive_device(monitor_)) {
        const char* action = udev_device_get_action(device);
        if (action && std::strcmp(action, "add") == 0)
            events.push_back(HotplugEvent::Arrival);
        else if (action && std::strcmp(action, "remove") == 0)
            events.push_back(HotplugEvent::RemovalComplete);
        udev_device_unref(device);
    }
    return events;
}

}  // namespace cvk
