// The window's periodic work: the picture's fade and the Apply button
// (timer 2), the wireless status (timer 5), and the scan a little after a
// device arrived or left (timer 1).

#include <algorithm>

#include "app/main_controller.h"

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

void CMainController::deviceChanged(bool arrival)
{
    link.bus.invalidate();
    deviceChangeTimer.onEvent(arrival ? HotplugEvent::Arrival : HotplugEvent::RemovalComplete, link.clock.nowMs());
}

void CMainController::pollDeviceChange()
{
    if (deviceChangeTimer.due(link.clock.nowMs())) {
        link.bus.invalidate();
        deviceScan(link);
    }
}

bool CMainController::unsavedChanges() const
{
    const DeviceState& s = link.state;
    if (s.deviceCount != 1)
        return false;
    // The same rule as the write sequence: the wireless family always gets
    // one wheel line, so a written block never looks unsaved.
    const int wantedLines = s.wirelessFamily() ? 1 : (config.block[kPosEdgePrecision] == 16 ? 1 : 3);
    if (wheelLines != wantedLines || editFlag)
        return true;
    if ((s.modelCode == kModelCindel || s.modelCode == kModelBrill) && config.textPending)
        return true;
    if (config.differsFromReference())
        return true;
    const int n = std::min(config.exchangedLength, kProfileConfigSize);
    if (activeProfile && !std::equal(config.block.begin(), config.block.begin() + n,
                                     activeProfile->configuration.begin()))
        return true;
    return std::any_of(profiles.begin(), profiles.end(), [](const CProfileClass& p) { return p.modified; });
}

void CMainController::timer2Tick()
{
    const DeviceState& s = link.state;
    if (s.modelCode == kModelDorrinReceiver && linkValue > 10 && linkValue < 100 && transferMark < 0) {
        fadeLevel = 110 - linkValue;
    } else if (fadeLevel < 100 && transferMark < 0) {
        fadeLevel = std::min(100, fadeLevel + 10);
        view_.repaint();
    } else if (fadeLevel > 0 && transferMark >= 0) {
        fadeLevel = std::max(0, fadeLevel - 20);
        view_.repaint();
    }
    // Nothing counts as unsaved that may not be written.
    const bool writable = writeRefusal() == WriteRefusal::None;
    const bool unsaved = writable && unsavedChanges();
    if (s.deviceCount != 1)
        enableControl(kCtlRestoreDefaults, false);
    if (unsaved != applyEnabled)
        enableControl(kCtlApply, unsaved);
    if (writable != okEnabled)
        enableControl(kCtlOk, writable);
}

void CMainController::timer5Tick()
{
    DeviceState& s = link.state;
    if (s.receiverPresent()) {
        std::array<uint8_t, 8> report{4};
        if (s.receiverStatus->getFeature(report)) {
            const double volts = (report[1] * 16 * 1.41 - 288) * 0.001;
            const int strength = report[2] & 0x1F;
            const int oldLevel = signalLevel, oldBattery = batteryState;
            if (strength > 0)
                signalLevel = signalLevelFor(strength);
            if (volts > 0)
                batteryState = volts < 3.5 ? 1 : volts > 4.0 ? 3 : 2;
            if (signalLevel != oldLevel || batteryState != oldBattery)
                view_.repaint();
            if (s.receiverAux) {
                std::array<uint8_t, 8> aux{5};
                s.receiverAux->getFeature(aux);
            }
            receiverFailures = 0;
        } else if (receiverFailures > kReceiverDropAfter) {
            // The receiver is gone: release its handles and show it.
            s.receiverStatus.reset();
            s.receiverAux.reset();
            s.receiverUsage3.reset();
            receiverFailures = 0;
            view_.postCommand(kCmdRefresh);
        } else {
            ++receiverFailures;
        }
        return;
    }
    if (s.deviceCount != 1 || s.busy || s.modelCode != kModelDorrinReceiver)
        return;
    CHidChannel channel = link.channel(kModelDorrinReceiver);
    if (channel.isOpen()) {
        try {
            channel.sendWithRetry(Report8{0x85});
            Report8 reply{};
            if (channel.readReport(reply) && reply[0] == 0x85) {
                if (reply[5] & 0x80) {
                    const int strength = reply[5] & 0x1F;
                    const int level = strength == 0 ? 1 : signalLevelFor(strength);
                    if (level != signalLevel) {
                        signalLevel = level;
                        view_.repaint();
                    }
                }
                batteryPercent = reply[6];
                batteryState = batteryPercent >= 100 ? 1 : batteryPercent < 70 ? 3 : 2;
                const int value = reply[4] * 256 + reply[3];
                if (value != linkValue) {
                    linkValue = value;
                    if (value <= 100)
                        view_.repaint();
                }
            }
        } catch (const TransferError&) {
        }
    }
    channel.closeAll();
}

}  // namespace cvk
