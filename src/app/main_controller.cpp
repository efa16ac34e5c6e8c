#include "app/main_controller.h"

#include <algorithm>
#include <fmt/format.h>

#include "config/pointer_settings.h"
#include "config/thresholds.h"
#include "device/live_edits.h"
#include "device/model_views.h"
#include "device/models.h"
#include "device/reports.h"
#include "keys/strokes.h"
#include "profiles/device_copy.h"
#include "texts/text_ids.h"
#include "texts/texts.h"

namespace cvk {

namespace {

constexpr const char* kReadFailedText =
    "The configuration could not be read from the device. Unplug it, wait for 5 seconds, plug it in "
    "again and choose Refresh.";

constexpr const char* kReceiverOnlyWriteText =
    "Only the wireless receiver is attached. Connect the Corvane with its USB cable to save the changes.";

constexpr int kEditControls[] = {kCtlPointerSettingFirst,
                                 kCtlPointerSettingFirst + 1,
                                 kCtlPointerSettingFirst + 2,
                                 kCtlPointerSettingFirst + 3,
                                 kCtlPointerSettingFirst + 4,
                                 kCtlPointerSettingFirst + 5,
                                 kCtlApply,
                                 kCtlPointerSettingFirst + 6,
                                 kCtlProfileSelector,
                                 kCtlNewProfile,
                                 kCtlDeleteProfile,
                                 kCtlRenameProfile,
                                 kCtlHelp,
                                 kCtlRestoreDefaults};
constexpr int kProfileControls[] = {kCtlProfileLabel, kCtlProfileSelector, kCtlNewProfile, kCtlRenameProfile,
                                    kCtlDeleteProfile};

}  // namespace

CMainController::CMainController(const MainPorts& ports)
    : link_(ports.bus, ports.clock, ports.view),
      transfer_(link_, ports.view, window_.transferMark),
      wireless_(link_),
      view_(ports.view),
      store_(ports.store),
      system_(ports.system),
      layout_(ports.layout)
{
    window_.wheelLines = system_.wheelScrollLines();
}

void CMainController::start()
{
    configurationRead();
    deviceScan(link_);
}

void CMainController::scanDevices() { deviceScan(link_); }

void CMainController::handleCommand(int command)
{
    if (command == kCmdTrayExit) {
        closeWindow();
        return;
    }
    if (command == kCmdTrayOpen) {
        view_.showWindow();
        return;
    }
    if (command == kCmdSettingsSwitch) {
        window_.settingsViewOpen = !window_.settingsViewOpen;
        view_.repaint();
    } else if (command >= kCmdPassThroughFirst && command <= kCmdPassThroughLast) {
        passThroughCommand(link_, command);
    } else if (command >= kCmdTrayProfileFirst && command < kCmdTrayProfileFirst + kTrayProfileLimit) {
        selectProfileByMenu(command - kCmdTrayProfileFirst);
        return;
    }
    if (config_.currentButton >= 0 && command != kCmdRefresh) {
        if (link_.state.noDevice()) {
            view_.messageBox("", text(kTxtConnectCable), MessageStyle::Warning);
            config_.currentButton = -1;
            return;
        }
        if (functionCommand(command))
            return;
    }
    switch (command) {
    case kCmdRefresh:
    case kCmdRead: configurationRead(); break;
    case kCmdApply: writeSequence(); break;
    case kCmdOk: okCommand(); break;
    case kCmdCancel: cancel(); break;
    case kCmdRestoreDefaults: restoreDefaultsCommand(); break;
    case kCmdNewProfile: newProfile(); break;
    case kCmdRenameProfile: renameProfile(); break;
    case kCmdDeleteProfile: deleteProfile(); break;
    default: break;
    }
}

void CMainController::closeWindow()
{
    window_.closed = true;
    view_.closeWindow();
}

void CMainController::enableControl(int control, bool on)
{
    if (control == kCtlApply)
        window_.applyEnabled = on;
    if (control == kCtlOk)
        window_.okEnabled = on;
    view_.enableControl(control, on);
}

void CMainController::setTitle(const std::string& text)
{
    window_.title = text;
    view_.setTitle(text);
}

void CMainController::setTrayTip(const std::string& text)
{
    window_.trayTip = text;
    view_.setTrayTip(text);
}

void CMainController::modelSetup()
{
    const ModelSetup setup = modelSetupFor(link_.state);
    config_.exchangedLength = setup.exchangedLength;
    view_.showControl(kCtlProfileBox, setup.profileRow);
    for (int id : kProfileControls)
        view_.showControl(id, setup.profileRow);
    window_.helpDocument = std::string(setup.helpDocument);
    window_.pictureId = setup.pictureId;

    loadProfiles();
    // A resolution mode the desktop width changed (register family only)
    // goes to the device at once.
    if (matchProfile() && writeRefusal() == WriteRefusal::None && !link_.state.commandFamily())
        view_.postCommand(kCmdApply);
    view_.repaint();
}

void CMainController::updateStatusTexts()
{
    DeviceState& s = link_.state;
    if (s.receiverPresent()) {
        s.hardwareVersionText = fmt::format("Wireless {:02x}:{:02x}:{:02x}:{:02x}", s.receiverId[0],
                                            s.receiverId[1], s.receiverId[2], s.receiverId[3]);
        setTrayTip(text(kTxtNoDevice, "Corvane Wireless Dongle."));
        // The device beside the receiver names the window as it does alone.
        if (s.deviceCount == 1)
            setTitle(s.windowTitle);
    } else if (s.deviceCount <= 0) {
        setTitle("Corvane!");
        setTrayTip(text(kTxtNoDevice));
        s.hardwareVersionText.clear();
    } else if (s.deviceCount > 100) {
        setTitle("Corvane!");
        setTrayTip(text(kTxtNeedsNewerProgram));
        s.hardwareVersionText.clear();
    } else if (s.deviceCount > 1) {
        setTitle("Corvane!");
        setTrayTip(text(kTxtSeveralDevices));
        s.hardwareVersionText.clear();
    } else {
        setTitle(s.windowTitle);
    }
    if (window_.readFailed)
        setTrayTip(kReadFailedText);
}

void CMainController::askSwappedButtons()
{
    const bool blockSwapped = (config_.block[kPosPadFlags] & kPadSwappedButtons) != 0;
    if (blockSwapped == system_.buttonsSwapped())
        return;
    if (view_.messageBox(text(kTxtSwapButtons), text(kTxtSwapQuestion), MessageStyle::YesNoQuestion) !=
        MessageAnswer::Yes)
        return;
    config_.block[kPosPadFlags] ^= kPadSwappedButtons;
    enableControl(kCtlApply, true);
    view_.postCommand(kCmdApply);
}

void CMainController::enableControls()
{
    const DeviceState& s = link_.state;
    // A read that ended early leaves a block that is not the device's: it
    // must not be edited or written back.
    const bool usable = !s.noDevice() && !window_.readFailed;
    const bool writable = writeRefusal() == WriteRefusal::None;
    for (int id : kEditControls)
        enableControl(id, usable && (id != kCtlApply || writable));
    enableControl(kCtlOk, writable);
    window_.wirelessPicture = !s.noDevice() && modelSetupFor(s).pictureId == kPictureWireless;
    enableControl(kCtlSettingsSwitch, usable);
    view_.showControl(kCtlSettingsSwitch, false);
}

// ------------------------------------------------------------ configuration read

void CMainController::takeReadOutcome(const ReadOutcome& outcome)
{
    if (outcome.deviceId) {
        const std::array<uint8_t, 4>& id = *outcome.deviceId;
        window_.serialText = fmt::format("S/N: {:02x}:{:02x}:{:02x}:{:02x}", id[0], id[1], id[2], id[3]);
        window_.hardwareKey = hardwareKey(id);
    }
    if (outcome.signatureRead && layout_)
        rebuildSignatureText(config_, *layout_);
    if (outcome.textAreasDone && !window_.hardwareKey.empty() && !hasDeviceCopy(store_, window_.hardwareKey))
        saveDeviceCopy(store_, window_.hardwareKey, config_);
    if (outcome.firmwareText)
        window_.firmwareText = *outcome.firmwareText;
}

void CMainController::configurationRead()
{
    DeviceState& s = link_.state;
    // Whatever the block held stops counting as the device's the moment a
    // read starts: it is cleared below, and a write that arrives in the
    // middle (from a wake-up loop's pump) must not send it.
    blockSource_.reset();
    modelSetup();
    window_.fadeLevel = 1;
    if (s.commandFamily())
        window_.transferMark = kTransferMarkRunning;
    view_.repaint();
    wireless_.forgetBattery();
    view_.showWindow();
    window_.readFailed = false;

    if (!s.singleDevice()) {
        view_.setTrayIcon(kIconNoDevice);
    } else {
        view_.setTrayIcon(kIconNormal);
        view_.setControlText(kCtlDevicePath, s.devicePath);
        config_.block.fill(0);

        if (s.deviceCount == 0) {
            // Only the receiver: show the copy stored when the device was last
            // seen on the cable.
            window_.hardwareKey = hardwareKey(s.receiverId);
            s.modelCode = kModelReceiverOnly;
            s.firmwareVersion = 0x1001;
            if (!loadDeviceCopy(store_, window_.hardwareKey, config_).any())
                s.modelCode = kModelNone;
        }

        const ReadOutcome outcome = transfer_.read(config_);
        if (outcome.end == TransferEnd::Interrupted) {
            // Unless the interruption was itself a read that completed, the
            // block is cleared, not the device's.
            if (!blockSource_) {
                window_.readFailed = true;
                updateStatusTexts();
                enableControls();
            }
            return;
        }
        takeReadOutcome(outcome);
        window_.readFailed = outcome.end == TransferEnd::Failed;

        config_.reference = config_.block;
        if (!window_.readFailed && s.deviceCount == 1 && s.modelCode > 0)
            blockSource_ = BlockSource{s.modelCode, s.devicePath};
        enableControl(kCtlDeleteProfile, false);
        enableControl(kCtlRenameProfile, false);
        setTrayTip("");
        if (matchProfile() && writeRefusal() == WriteRefusal::None)
            view_.postCommand(kCmdApply);
    }

    updateStatusTexts();
    window_.transferMark = -1;
    modelSetup();
    // Without a single device the device state is the news, not a profile
    // the leftover block happens to match.
    if (!s.singleDevice())
        updateStatusTexts();
    view_.repaint();
    if (s.commandFamily() && s.singleDevice() && !window_.readFailed)
        askSwappedButtons();
    enableControls();
}

// ------------------------------------------------------------ write

WriteRefusal CMainController::writeRefusal() const
{
    const DeviceState& s = link_.state;
    if (s.deviceCount >= 100)
        return WriteRefusal::TooNew;
    if (s.deviceCount > 1)
        return WriteRefusal::SeveralDevices;
    if (s.deviceCount <= 0)
        return s.modelCode == kModelReceiverOnly || s.receiverPresent() ? WriteRefusal::ReceiverOnly
                                                                        : WriteRefusal::NoDevice;
    if (!blockSource_ || blockSource_->modelCode != s.modelCode || blockSource_->devicePath != s.devicePath)
        return WriteRefusal::NotRead;
    return WriteRefusal::None;
}

WriteResult CMainController::runWriteSequence()
{
    if (const WriteRefusal why = writeRefusal(); why != WriteRefusal::None) {
        refuseWrite(why);
        return WriteResult::Refused;
    }
    view_.setTaskbarProgress(TaskbarProgress::Indeterminate);
    const WriteOutcome outcome = transfer_.write(config_, hiddenNumber_);
    switch (outcome.result) {
    case WriteResult::Failed: errorEnding(); break;
    case WriteResult::Verified:
    case WriteResult::SentUnconfirmed:
        if (outcome.verifiedDeviceId)
            saveDeviceCopy(store_, hardwareKey(*outcome.verifiedDeviceId), config_);
        commonEnd();
        break;
    case WriteResult::Refused:
    case WriteResult::Interrupted: break;
    }
    return outcome.result;
}

WriteResult CMainController::okCommand()
{
    // A failed write keeps the window and its edits: the error message has
    // told the user, and closing would throw the changes away.
    const WriteResult result = runWriteSequence();
    if (reachedDevice(result))
        closeWindow();
    return result;
}

void CMainController::commonEnd()
{
    const int lines = wantedWheelLines();
    system_.setWheelScrollLines(lines);
    window_.wheelLines = lines;
    config_.reference = config_.block;
    saveProfiles();
    window_.fadeLevel = 50;
    view_.setTaskbarProgress(TaskbarProgress::None);
    view_.messageBeep();
    view_.flash();
}

void CMainController::errorEnding()
{
    view_.messageBox(text(kTxtSaveErrorCaption), text(kTxtSaveFailed), MessageStyle::Error);
    link_.state.busy = false;
    view_.setTaskbarProgress(TaskbarProgress::None);
}

void CMainController::refuseWrite(WriteRefusal why)
{
    std::string message;
    switch (why) {
    case WriteRefusal::NoDevice: message = text(kTxtNoDevice); break;
    case WriteRefusal::SeveralDevices: message = text(kTxtSeveralDevices); break;
    case WriteRefusal::TooNew: message = text(kTxtNeedsNewerProgram); break;
    case WriteRefusal::ReceiverOnly: message = kReceiverOnlyWriteText; break;
    case WriteRefusal::NotRead:
    case WriteRefusal::None: message = kReadFailedText; break;
    }
    view_.messageBox(text(kTxtSaveErrorCaption), message, MessageStyle::Error);
}

void CMainController::cancel()
{
    const DeviceState& s = link_.state;
    if (!s.commandFamily() && s.firmwareVersion < kSingleReportFirmwareBelow) {
        legacySetByte(link_, 0xFF, 0xFE);
    } else if (s.deviceCount == 1 && config_.block[kPosCursorSpeed] != config_.reference[kPosCursorSpeed] &&
               (s.commandFamily() || s.firmwareVersion >= kPointerSettingsFirmware)) {
        cursorSpeedCommand(link_, config_.reference[kPosCursorSpeed]);
    }
    closeWindow();
}

void CMainController::restoreDefaultsCommand()
{
    if (!restoreDefaults(link_, config_, system_))
        return;
    window_.fadeLevel = 10;
    view_.repaint();
}

// ------------------------------------------------------------ editing

std::optional<std::vector<MenuItem>> CMainController::openButtonMenu(int button, bool ctrlHeld)
{
    const std::optional<MenuContext> context = menuFor(link_.state, config_, button, ctrlHeld);
    if (!context)
        return std::nullopt;
    config_.currentButton = button;
    return buildMenu(*context);
}

void CMainController::dropKnob(int row, int x) { cvk::dropKnob(link_, config_, row, x); }

bool CMainController::sensitivitySpot(bool increase)
{
    return cvk::sensitivitySpot(link_, config_, increase);
}

void CMainController::toggleBrillSwitch() { cvk::toggleBrillSwitch(link_, config_); }

// ------------------------------------------------------------ profiles

int CMainController::desktopWidthPx() { return desktopWidth(system_.monitors()); }

void CMainController::loadProfiles()
{
    const DeviceState& s = link_.state;
    profiles_.load(store_, s.modelCode, s.firmwareVersion, desktopWidthPx(), config_);
    rebuildMenu(false);
}

void CMainController::saveProfiles() { profiles_.save(store_, link_.state.modelCode, config_); }

void CMainController::rebuildMenu(bool keepSelector)
{
    profiles_.rebuildMenu(keepSelector);
    enableControl(kCtlDeleteProfile, profiles_.active() != nullptr);
    enableControl(kCtlRenameProfile, profiles_.active() != nullptr);
    view_.profilesChanged();
}

void CMainController::selectLine(int line)
{
    profiles_.setCurrentLine(line);
    selectionChanged();
}

void CMainController::selectionChanged()
{
    const DeviceState& s = link_.state;
    if (CProfileClass* profile = profiles_.activateCurrentLine()) {
        std::copy(profile->configuration.begin(), profile->configuration.end(), config_.block.begin());
        if (s.commandFamily()) {
            cursorSpeedCommand(link_, config_.block[kPosCursorSpeed]);
            if (hasTextAreas(s.modelCode))
                config_.textPending = config_.signatureText != profile->signatureText;
            config_.signatureText = profile->signatureText;
            std::copy_n(profile->signature.begin(), 256, config_.strokeUsages.begin());
            std::copy_n(profile->signature.begin() + 256, 256, config_.strokeModifiers.begin());
        } else if (s.firmwareVersion >= kPointerSettingsFirmware) {
            cursorSpeedCommand(link_, config_.block[kPosCursorSpeed] & 0x0F);
        }
    } else {
        setTrayTip(text(kTxtNoActiveProfile));
    }
    profiles_.updateTrayChecks();
    if (const ProfileHandle active = profiles_.active())
        setTrayTip(activeProfileTip(active->name));
    enableControl(kCtlDeleteProfile, profiles_.active() != nullptr);
    enableControl(kCtlRenameProfile, profiles_.active() != nullptr);
    window_.fadeLevel = 10;
    view_.profilesChanged();
    view_.repaint();
}

void CMainController::newProfile()
{
    const std::optional<std::string> name = view_.askProfileName("");
    if (!name || name->empty())
        return;
    profiles_.add(*name, config_);
    rebuildMenu(true);
    selectionChanged();
}

void CMainController::renameProfile()
{
    if (!profiles_.active())
        return;
    const std::optional<std::string> name = view_.askProfileName(profiles_.active()->name);
    if (!name || name->empty())
        return;
    if (!profiles_.renameActive(*name))
        return;
    rebuildMenu(false);
    selectLine(profiles_.lineStartingWith(*name));
}

void CMainController::deleteProfile()
{
    if (!profiles_.active() || profiles_.currentLine() < 0)
        return;
    if (view_.messageBox("CV Keys", text(kTxtDeleteProfileQuestion), MessageStyle::YesNoQuestion) !=
        MessageAnswer::Yes)
        return;
    profiles_.eraseActive();
    saveProfiles();
    rebuildMenu(false);
    selectionChanged();
}

std::string CMainController::exportProfileFile() const
{
    ProfileFile file;
    file.listF = usesProfileListF(link_.state.modelCode);
    file.profiles.assign(profiles_.list().begin(), profiles_.list().end());
    return writeProfileFile(file);
}

ProfileTransfer CMainController::importProfileFile(std::string_view text, bool replace)
{
    ProfileTransfer result;
    ProfileFileProblem problem;
    const std::optional<ProfileFile> file = readProfileFile(text, &problem);
    if (!file) {
        result.message = problem.message();
        return result;
    }
    const bool windowList = file->listF == usesProfileListF(link_.state.modelCode);
    if (windowList) {
        // Refused before anything is saved, against the names the window shows.
        for (const CProfileClass& p : file->profiles) {
            const auto& list = profiles_.list();
            if (!replace && std::any_of(list.begin(), list.end(),
                                        [&](const CProfileClass& q) { return q.name == p.name; })) {
                result.message = fmt::format("the {} list has a profile '{}' already",
                                             file->listF ? "F" : "classic", p.name);
                return result;
            }
        }
        saveProfiles();
    }
    result = importProfiles(store_, text, replace);
    if (result.ok && windowList)
        loadProfiles();
    return result;
}

void CMainController::selectProfileByMenu(int n)
{
    if (!profileAt(profiles_.list(), n))
        return;
    if (const int line = profiles_.lineOfListPosition(n); line >= 0)
        selectLine(line);
    view_.postCommand(kCmdApply);
}

bool CMainController::selectProfileByName(const std::string& name)
{
    const int line = profiles_.lineNamed(name);
    if (line < 0)
        return false;
    selectLine(line);
    return true;
}

bool CMainController::matchProfile()
{
    const DeviceState& s = link_.state;
    if (const int line = profiles_.lineMatching(config_, hasTextAreas(s.modelCode)); line >= 0)
        selectLine(line);
    // Before the pointer settings the plain resolution modes follow the
    // desktop width. Old firmware takes the change at once, so not on the
    // cleared block a failed read left: it does not say which mode the
    // device has.
    if (s.deviceCount == 1 && !window_.readFailed && s.firmwareVersion < kPointerSettingsFirmware &&
        !s.commandFamily() && config_.block[kPosResolutionMode] < 3) {
        const uint8_t wanted = resolutionModeForWidth(desktopWidthPx());
        if (config_.block[kPosResolutionMode] != wanted) {
            setByte(link_, config_, kPosResolutionMode, wanted);
            return true;
        }
    }
    if (hasSnippetBytes(s.modelCode)) {
        for (const SnippetPreset& preset : kSnippetPresets) {
            if (std::equal(preset.strokes.begin(), preset.strokes.end(),
                           config_.block.begin() + kPosSnippetStrokes)) {
                config_.snippetText.fill(0);
                for (size_t i = 0; preset.text[i] && i < config_.snippetText.size(); ++i)
                    config_.snippetText[i] =
                        static_cast<char16_t>(static_cast<unsigned char>(preset.text[i]));
                break;
            }
        }
    }
    return false;
}

}  // namespace cvk
