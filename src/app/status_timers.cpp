// The window's periodic work: the picture's fade and the buttons (timer 2),
// the wireless status (timer 5), and the scan a little after a device
// arrived or left (timer 1).

#include <algorithm>

#include "app/main_controller.h"
#include "device/models.h"

namespace cvk {

void CMainController::deviceChanged(bool arrival)
{
    link_.bus.invalidate();
    deviceChangeTimer_.onEvent(arrival ? HotplugEvent::Arrival : HotplugEvent::RemovalComplete,
                               link_.clock.nowMs());
}

void CMainController::pollDeviceChange()
{
    if (deviceChangeTimer_.due(link_.clock.nowMs())) {
        link_.bus.invalidate();
        deviceScan(link_);
    }
}

int CMainController::wantedWheelLines() const
{
    // The wireless family always gets one line; the others one with the
    // enhanced edge precision, else three.
    return link_.state.wirelessFamily() ? 1 : (config_.block[kPosEdgePrecision] == 16 ? 1 : 3);
}

bool CMainController::unsavedChanges() const
{
    const DeviceState& s = link_.state;
    if (s.deviceCount != 1)
        return false;
    if (window_.wheelLines != wantedWheelLines())
        return true;
    if (hasTextAreas(s.modelCode) && config_.textPending)
        return true;
    if (config_.differsFromReference())
        return true;
    const int n = std::min(config_.exchangedLength, kProfileConfigSize);
    const ProfileHandle active = profiles_.active();
    if (active &&
        !std::equal(config_.block.begin(), config_.block.begin() + n, active->configuration.begin()))
        return true;
    return std::any_of(profiles_.list().begin(), profiles_.list().end(),
                       [](const CProfileClass& p) { return p.modified; });
}

void CMainController::updateFadeAndButtons()
{
    const DeviceState& s = link_.state;
    int& fade = window_.fadeLevel;
    const int linkValue = wireless_.linkValue();
    if (needsWakeUp(s.modelCode) && linkValue > 10 && linkValue < 100 && window_.transferMark < 0) {
        fade = 110 - linkValue;
    } else if (fade < 100 && window_.transferMark < 0) {
        fade = std::min(100, fade + 10);
        view_.repaint();
    } else if (fade > 0 && window_.transferMark >= 0) {
        fade = std::max(0, fade - 20);
        view_.repaint();
    }
    // Nothing counts as unsaved that may not be written.
    const bool writable = writeRefusal() == WriteRefusal::None;
    const bool unsaved = writable && unsavedChanges();
    if (s.deviceCount != 1)
        enableControl(kCtlRestoreDefaults, false);
    if (unsaved != window_.applyEnabled)
        enableControl(kCtlApply, unsaved);
    if (writable != window_.okEnabled)
        enableControl(kCtlOk, writable);
}

void CMainController::pollWirelessStatus()
{
    if (wireless_.poll())
        view_.repaint();
}

}  // namespace cvk
