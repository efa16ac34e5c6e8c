#include "device/wireless_status.h"

#include "device/models.h"

namespace cvk {

namespace {

constexpr int kReceiverDropAfter = 20;  // the 22nd failure in a row drops it

// Signal strength (0..31) to the indicator's bars; 0 has no level of its own.
int signalLevelFor(int strength)
{
    if (strength >= 25)
        return 0;
    if (strength >= 17)
        return 4;
    if (strength >= 9)
        return 3;
    if (strength >= 5)
        return 2;
    return 1;
}

}  // namespace

bool CWirelessStatus::poll()
{
    const DeviceState& s = link_.state;
    if (s.receiverPresent())
        return pollReceiver();
    if (s.deviceCount != 1 || s.busy || !needsWakeUp(s.modelCode))
        return false;
    return pollDorrinReceiver();
}

bool CWirelessStatus::pollReceiver()
{
    DeviceState& s = link_.state;
    std::array<uint8_t, 8> report{4};
    if (s.receiverStatus->getFeature(report)) {
        const double volts = (report[1] * 16 * 1.41 - 288) * 0.001;
        const int strength = report[2] & 0x1F;
        const int oldLevel = signalLevel_, oldBattery = batteryState_;
        if (strength > 0)
            signalLevel_ = signalLevelFor(strength);
        if (volts > 0)
            batteryState_ = volts < 3.5 ? 1 : volts > 4.0 ? 3 : 2;
        if (s.receiverAux) {
            std::array<uint8_t, 8> aux{5};
            s.receiverAux->getFeature(aux);
        }
        receiverFailures_ = 0;
        return signalLevel_ != oldLevel || batteryState_ != oldBattery;
    }
    if (receiverFailures_ > kReceiverDropAfter) {
        // The receiver is gone: release its handles and show it.
        s.receiverStatus.reset();
        s.receiverAux.reset();
        s.receiverUsage3.reset();
        receiverFailures_ = 0;
        link_.view.postCommand(kCmdRefresh);
    } else {
        ++receiverFailures_;
    }
    return false;
}

bool CWirelessStatus::pollDorrinReceiver()
{
    bool changed = false;
    CHidChannel channel = link_.channel(static_cast<uint16_t>(link_.state.modelCode));
    if (channel.isOpen()) {
        try {
            channel.sendWithRetry(Report8{0x85});
            Report8 reply{};
            if (channel.readReport(reply) && reply[0] == 0x85) {
                if (reply[5] & 0x80) {
                    const int strength = reply[5] & 0x1F;
                    const int level = strength == 0 ? 1 : signalLevelFor(strength);
                    if (level != signalLevel_) {
                        signalLevel_ = level;
                        changed = true;
                    }
                }
                batteryPercent_ = reply[6];
                batteryState_ = batteryPercent_ >= 100 ? 1 : batteryPercent_ < 70 ? 3 : 2;
                const int value = reply[4] * 256 + reply[3];
                if (value != linkValue_) {
                    linkValue_ = value;
                    // Above 100 the value is not drawn.
                    if (value <= 100)
                        changed = true;
                }
            }
        } catch (const TransferError&) {}
    }
    channel.closeAll();
    return changed;
}

}  // namespace cvk
