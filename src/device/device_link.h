#pragma once
// The device link: the ports it talks through and the device state it keeps.
// Everything runs on the user-interface thread.

#include "device/device_state.h"
#include "device/device_view.h"
#include "device/hid_channel.h"
#include "platform/clock.h"
#include "platform/hid_bus.h"
#include "platform/vendor.h"

namespace cvk {

inline constexpr int kCmdRefresh = 1011;

struct DeviceLink {
    DeviceLink(IHidBus& b, IClock& c, IDeviceEvents& v) : bus(b), clock(c), view(v) {}
    IHidBus& bus;
    IClock& clock;
    IDeviceEvents& view;
    DeviceState state;

    CHidChannel channel(uint16_t productId) { return CHidChannel(bus, clock, kVendorId, productId); }
};

// Walks every present interface, re-identifies what is attached and posts
// Refresh when the device count changed.
void deviceScan(DeviceLink& link);
// One enumeration entry; true when it counts as a supported device.
bool deviceProbe(DeviceLink& link, const HidInterfaceInfo& entry);
// Gives a wireless device the identity of its receiver.
void pairing(DeviceLink& link);

}  // namespace cvk
