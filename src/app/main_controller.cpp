#include "app/main_controller.h"

#include "device/live_edits.h"
#include "device/reports.h"
#include "texts/texts.h"

namespace cvk {

namespace {

constexpr const char* kReadFailedText =
    "The configuration could not be read from the device. Unplug it, wait for 5 seconds, plug it in "
    "again and choose Refresh.";

constexpr const char* kReceiverOnlyWriteText =
    "Only the wireless receiver is attached. Connect the Corvane with its USB cable to save the changes.";

constexpr int kEditControls[] = {2000, 2001, 2002, 2003, 2004, 2005, kCtlApply, 2006, kCtlProfileSelector,
                                 kCtlNewProfile, kCtlDeleteProfile, kCtlRenameProfile, kCtlHelp,
                                 kCtlRestoreDefaults};
constexpr int kProfileControls[] = {1034, kCtlProfileSelector, kCtlNewProfile, kCtlRenameProfile,
                                    kCtlDeleteProfile};

}  // namespace

CMainController::CMainController(const MainPorts& ports)
    : link(ports.bus, ports.clock, ports.view),
      view_(ports.view),
      store_(ports.store),
      system_(ports.system),
      layout_(ports.layout)
{
    wheelLines = system_.wheelScrollLines();
}

void CMainController::start()
{
    configurationRead();
    deviceScan(link);
}

void CMainController::handleCommand(int command)
{
    if (command == kCmdTrayExit) {
        closed = true;
        view_.closeWindow();
        return;
    }
    if (command == kCmdTrayOpen) {
        view_.showWindow();
        return;
    }
    if (command == kCtlSettingsSwitch) {
        settingsViewOpen = !settingsViewOpen;
        view_.repaint();
    } else if (command >= 1000 && command <= 1003) {
        passThroughCommand(link, command);
    } else if (command >= kCmdTrayProfileFirst && command < kCmdTrayProfileFirst + 98) {
        selectProfileByMenu(command - kCmdTrayProfileFirst);
        return;
    }
    if (config.currentButton >= 0 && command != kCmdRefresh) {
        if (link.state.noDevice()) {
            view_.messageBox("", text(237), MessageStyle::Warning);
            config.currentButton = -1;
            return;
        }
        if (functionCommand(command))
            return;
    }
    switch (command) {
    case kCmdRefresh:
    case kCmdRead: configurationRead(); break;
    case kCmdApply: writeSequence(); break;
    case kCmdOk:
        // A failed write keeps the window and its edits: the error message
        // has told the user, and closing would throw the changes away.
        if (writeSequence()) {
            closed = true;
            view_.closeWindow();
        }
        break;
    case kCmdCancel: cancel(); break;
    case kCmdRestoreDefaults: restoreDefaultsCommand(); break;
    case kCmdNewProfile: newProfile(); break;
    case kCmdRenameProfile: renameProfile(); break;
    case kCmdDeleteProfile: deleteProfile(); break;
    default: break;
    }
}

void CMainController::setTitle(const std::string& text)
{
    title = text;
    view_.setTitle(text);
}

void CMainController::setTrayTip(const std::string& text)
{
    trayTip = text;
    view_.setTrayTip(text);
}

void CMainController::modelSetup()
{
    const DeviceState& s = link.state;
    const int effective = s.deviceCount == 1 ? s.modelCode : 0;
    config.exchangedLength = 32;
    const bool essom = effective == kModelEssom;
    view_.showControl(1033, !essom);
    for (int id : kProfileControls)
        view_.showControl(id, !essom);

    if (essom) {
        helpDocument = "Essom.pdf";
    } else if (s.wirelessFamily() || s.modelCode == kModelBrill) {
        helpDocument = "cindel.pdf";
        config.exchangedLength = 90;
    } else if (s.isArvel2()) {
        helpDocument = "Arveld.pdf";
        config.exchangedLength = 90;
    } else if (effective > kModelEssom) {
        helpDocument = "dorrin.pdf";
        config.exchangedLength = 64;
    } else {
        helpDocument = "Arveld.pdf";
    }

    if (s.wirelessFamily() || s.modelCode == kModelBrill)
        pictureId = 1011;
    else if (s.isArvel2())
        pictureId = 10009;
    else if (s.modelCode == kModelArvel)
        pictureId = 138;
    else if (effective > kModelEssom)
        pictureId = 182;
    else if (effective == kModelEssom)
        pictureId = 164;
    else
        pictureId = 163;

    loadProfiles();
    if (matchProfile() && effective <= kModelEssom && writeRefusal() == WriteRefusal::None)
        view_.postCommand(kCmdApply);
    view_.repaint();
}

void CMainController::updateStatusTexts()
{
    const DeviceState& s = link.state;
    DeviceState& w = link.state;
    if (s.receiverPresent()) {
        w.hardwareVersionText = fmt::format("Wireless {:02x}:{:02x}:{:02x}:{:02x}", s.receiverId[0], s.receiverId[1],
                                            s.receiverId[2], s.receiverId[3]);
        setTrayTip(text(8, "Corvane Wireless Dongle."));
        // The device beside the receiver names the window as it does alone.
        if (s.deviceCount == 1)
            setTitle(s.windowTitle);
    } else if (s.deviceCount <= 0) {
        setTitle("Corvane!");
        setTrayTip(text(8));
        w.hardwareVersionText.clear();
    } else if (s.deviceCount > 100) {
        setTitle("Corvane!");
        setTrayTip(text(9));
        w.hardwareVersionText.clear();
    } else if (s.deviceCount > 1) {
        setTitle("Corvane!");
        setTrayTip(text(10));
        w.hardwareVersionText.clear();
    } else {
        setTitle(s.windowTitle);
    }
    if (readFailed)
        setTrayTip(kReadFailedText);
}

void CMainController::askSwappedButtons()
{
    const bool blockSwapped = (config.block[kPosPadFlags] & kPadSwappedButtons) != 0;
    if (blockSwapped == system_.buttonsSwapped())
        return;
    if (view_.messageBox(text(219), text(220), MessageStyle::YesNoQuestion) != MessageAnswer::Yes)
        return;
    config.block[kPosPadFlags] ^= kPadSwappedButtons;
    enableControl(kCtlApply, true);
    view_.postCommand(kCmdApply);
}

void CMainController::enableControls()
{
    const DeviceState& s = link.state;
    // A read that ended early leaves a block that is not the device's: it
    // must not be edited or written back.
    const bool usable = !s.noDevice() && !readFailed;
    const bool writable = writeRefusal() == WriteRefusal::None;
    for (int id : kEditControls)
        enableControl(id, usable && (id != kCtlApply || writable));
    enableControl(kCtlOk, writable);
    wirelessPicture = !s.noDevice() && (s.wirelessFamily() || s.isBrill());
    enableControl(kCtlSettingsSwitch, usable);
    view_.showControl(kCtlSettingsSwitch, false);
}

void CMainController::commonEnd()
{
    const int lines = link.state.wirelessFamily() ? 1 : (config.block[kPosEdgePrecision] == 16 ? 1 : 3);
    system_.setWheelScrollLines(lines);
    wheelLines = lines;
    config.reference = config.block;
    saveProfiles();
    fadeLevel = 50;
    view_.setTaskbarProgress(TaskbarProgress::None);
    view_.messageBeep();
    view_.flash();
}

void CMainController::errorEnding()
{
    view_.messageBox(text(148), text(147), MessageStyle::Error);
    link.state.busy = false;
    view_.setTaskbarProgress(TaskbarProgress::None);
}

void CMainController::refuseWrite(WriteRefusal why)
{
    std::string message;
    switch (why) {
    case WriteRefusal::NoDevice: message = text(8); break;
    case WriteRefusal::SeveralDevices: message = text(10); break;
    case WriteRefusal::TooNew: message = text(9); break;
    case WriteRefusal::ReceiverOnly: message = kReceiverOnlyWriteText; break;
    case WriteRefusal::NotRead:
    case WriteRefusal::None: message = kReadFailedText; break;
    }
    view_.messageBox(text(148), message, MessageStyle::Error);
}

void CMainController::cancel()
{
    const DeviceState& s = link.state;
    if (s.modelCode <= kModelEssom && s.firmwareVersion < 0x300) {
        legacySetByte(link, 0xFF, 0xFE);
    } else if (s.deviceCount == 1 && config.block[kPosCursorSpeed] != config.reference[kPosCursorSpeed] &&
               (s.commandFamily() || s.firmwareVersion >= 0x31A)) {
        cursorSpeedCommand(link, config.reference[kPosCursorSpeed]);
    }
    closed = true;
    view_.closeWindow();
}

void CMainController::restoreDefaultsCommand()
{
    if (!restoreDefaults(link, config, system_))
        return;
    fadeLevel = 10;
    view_.repaint();
}

}  // namespace cvk
