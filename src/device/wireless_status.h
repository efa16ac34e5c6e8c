#pragma once
// The wireless status drawn on the picture: the receiver's signal and
// battery (feature report 4) or, for the Dorrin receiver, its status
// command. Polled by the window's 100 ms status timer.

#include "device/device_link.h"

namespace cvk {

class CWirelessStatus {
public:
    explicit CWirelessStatus(DeviceLink& link) : link_(link) {}

    // One poll; true when a value the picture shows changed. A receiver that
    // stopped answering is released and a Refresh posted.
    bool poll();
    // A new read starts without a battery state.
    void forgetBattery() { batteryState_ = -1; }

    int signalLevel() const { return signalLevel_; }        // 0..4
    int batteryState() const { return batteryState_; }      // -1 unknown, 1 low .. 3 full
    int batteryPercent() const { return batteryPercent_; }  // from the Dorrin receiver
    int linkValue() const { return linkValue_; }
    int receiverFailures() const { return receiverFailures_; }  // consecutive failed receiver polls

private:
    bool pollReceiver();
    bool pollDorrinReceiver();

    DeviceLink& link_;
    int signalLevel_ = 0;
    int batteryState_ = -1;
    int batteryPercent_ = 0;
    int linkValue_ = 0;
    int receiverFailures_ = 0;
};

}  // namespace cvk
