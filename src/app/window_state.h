#pragma once
// The plain state the main window draws. The controller's flows set it; the
// window and cvkeys-cli only read it.

#include <string>

namespace cvk {

struct WindowState {
    // kTransferMarkRunning while a whole-block transfer runs, else -1.
    int transferMark = -1;
    // The picture fades in from 0 to 100; a transfer fades it out.
    int fadeLevel = 0;
    bool applyEnabled = false;
    bool okEnabled = true;
    std::string title;
    std::string trayTip;
    // The last read ended early: the block is not the device's.
    bool readFailed = false;
    // The hidden check box 3 switching the settings panel.
    bool settingsViewOpen = false;
    // Device present and of the wireless family or a Brill.
    bool wirelessPicture = false;
    int pictureId = 0;
    std::string helpDocument;
    // The wheel scroll lines last set, read from the system at start.
    int wheelLines = 3;
    // The identity texts of the last read.
    std::string hardwareKey;
    std::string serialText;
    std::string firmwareText;
    bool closed = false;
};

}  // namespace cvk
