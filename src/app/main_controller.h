#pragma once
// The main window's logic without the window: it owns the device link, the
// configuration model and the window's state, handles the window's commands
// and talks to the window only through the view port.

#include <array>
#include <optional>
#include <fmt/format.h>
#include <string>
#include <vector>

#include "app/device_change.h"
#include "app/view_port.h"
#include "config/config_model.h"
#include "device/device_link.h"
#include "platform/settings_store.h"
#include "platform/system_settings.h"
#include "profiles/profile_store.h"

namespace cvk {

enum Command : int {
    kCmdOk = 1,
    kCmdCancel = 2,
    kCmdApply = 1010,
    // kCmdRefresh = 1011 lives with the device link
    kCmdRead = 1016,
    kCmdRestoreDefaults = 57671,
    kCmdNewProfile = 1030,
    kCmdDeleteProfile = 1031,
    kCmdRenameProfile = 1032,
    kCmdTrayOpen = 20400,
    kCmdTrayExit = 20401,
    kCmdTrayProfileFirst = 20402,  // + n, n below 98
    kCmdAbout = 1023,
};

// One line of the profile selector (sorted by name) or one item of the
// notification-area menu (list order).
struct SelectorLine {
    std::string name;
    ProfileHandle profile = nullptr;
};
struct TrayMenuItem {
    int command = 0;  // 0: separator
    std::string text;
    bool checked = false;
    bool isDefault = false;
};

// Bounds on what the device protocol would otherwise repeat forever.
inline constexpr int kWriteAttempts = 20;
inline constexpr int kBlockReadAttemptsPerAddress = 20;  // each costs up to 100 ms
inline constexpr int kWakeAttempts = 100;                // about 10 s with the 100 ms pause
inline constexpr int kStoreTailAttempts = 100;
inline constexpr int kTransferMarkRunning = 3000;

class IKeyboardLayout;

// Why the working block may not go to the device now.
enum class WriteRefusal {
    None,
    NoDevice,
    SeveralDevices,
    TooNew,          // only a device that needs a newer program
    ReceiverOnly,    // the block is the stored copy; the device itself is not on the cable
    NotRead,         // the block did not come from a completed read of the device attached now
};

enum class WriteResult {
    Verified,         // written and read back equal
    SentUnconfirmed,  // the legacy report was sent; these devices do not confirm
    Failed,           // the error message was shown
    Refused,          // nothing sent (see WriteRefusal)
    Interrupted,      // a command or device change ended it; its handler has run
};
inline bool reachedDevice(WriteResult r) { return r == WriteResult::Verified || r == WriteResult::SentUnconfirmed; }

struct MainPorts {
    IHidBus& bus;
    IClock& clock;
    IViewPort& view;
    ISettingsStore& store;
    ISystemSettings& system;
    // Turns signature text into key strokes and back; without it the
    // signature cannot be edited.
    IKeyboardLayout* layout = nullptr;
};

class CMainController {
public:
    explicit CMainController(const MainPorts& ports);

    // What the window does when it opens: configuration read, then scan.
    void start();
    // The window's command handler.
    void handleCommand(int command);

    void configurationRead();

    // Profile commands.
    void selectionChanged();
    void newProfile();
    void renameProfile();
    void deleteProfile();
    void selectProfileByMenu(int n);
    // Selects the selector line showing `name` (exact, else first prefix
    // ignoring case) and runs the selection change; false when none.
    bool selectProfileByName(const std::string& name);
    // The first profile equal to the working block; true when a byte had to
    // change on the device (the caller then applies).
    bool findMatchingProfile();
    void rebuildMenu(bool keepSelector);
    // The one rule for Apply, OK and every automatic write: the working
    // block must stem from a completed read of the device attached now (or
    // from edits, a profile or Restore Defaults applied to such a block).
    WriteRefusal writeRefusal() const;
    WriteResult runWriteSequence();
    // True when the block reached the device (verified, or sent to a legacy
    // device that cannot confirm).
    bool writeSequence() { return reachedDevice(runWriteSequence()); }
    void cancel();
    // The window's 100 ms timers and the one-shot scan after a device change.
    void timer2Tick();
    void timer5Tick();
    void deviceChanged(bool arrival);  // arms the scan timer
    // Runs the scan when the device-change timer is due.
    void pollDeviceChange();
    // True while there is something Apply would write.
    bool unsavedChanges() const;

    // A function command from a button's menu (the current button is the
    // one whose menu was open). False when the command is not one.
    bool functionCommand(int command);
    // At least one Click/Select must remain: asks and refuses otherwise.
    bool clickSelectAllowed(uint8_t code, int n);

    DeviceLink link;
    ConfigModel config;

    // Window state the flows set and the picture and timers read.
    int transferMark = -1;
    int fadeLevel = 0;
    int batteryState = -1;
    int wheelLines = 3;          // the value last set, read from the system at start
    bool editFlag = false;       // the hidden number changed since the profiles were saved
    int hiddenNumber = 0;        // written to device addresses 16/17 of models 9 and 10 when 1..5999
    bool wirelessPicture = false;  // device present and wireless family or Brill
    bool readFailed = false;     // the last read ended early: the block is not the device's
    bool closed = false;
    bool settingsViewOpen = false;  // the hidden check box 3 switching the settings panel

    // Wireless status drawn on the picture.
    int signalLevel = 0;       // 0..4
    int batteryPercent = 0;    // from the Dorrin receiver
    int linkValue = 0;
    int receiverFailures = 0;  // consecutive failed receiver polls
    bool applyEnabled = false;
    bool okEnabled = true;
    CDeviceChangeTimer deviceChangeTimer;
    std::string hardwareKey;
    std::string serialText;
    std::string firmwareText;
    std::string trayTip;
    std::string title;
    std::string helpDocument;
    int pictureId = 0;

    CProfileList profiles;
    ProfileHandle activeProfile = nullptr;
    bool profilesChanged = false;
    std::vector<SelectorLine> selector;  // sorted by name
    int selectorCurrent = -1;
    std::vector<TrayMenuItem> trayMenu;

private:
    friend class TransferFlows;
    // The device whose completed read the working block stems from.
    struct BlockSource {
        int modelCode = 0;
        std::string devicePath;
    };
    std::optional<BlockSource> blockSource_;
    IViewPort& view_;
    ISettingsStore& store_;
    ISystemSettings& system_;
    IKeyboardLayout* layout_;

    // Every enable goes through here, so the Apply state the timer compares
    // with is the window's own.
    void enableControl(int control, bool on)
    {
        if (control == kCtlApply)
            applyEnabled = on;
        if (control == kCtlOk)
            okEnabled = on;
        view_.enableControl(control, on);
    }
    void commonTail(uint8_t code, int n);
    bool confirmUnique(uint8_t code, int n, const std::string& caption, const std::string& question);

    void modelSetup();
    void setTitle(const std::string& text);
    void setTrayTip(const std::string& text);
    void enableControls();
    void updateStatusTexts();
    void askSwappedButtons();
    void commonEnd();
    void errorEnding();
    void refuseWrite(WriteRefusal why);
    void restoreDefaultsCommand();

    enum class LoopEnd { Done, Interrupted, TimedOut };
    LoopEnd fetchWakeLoop(CHidChannel& channel);
    LoopEnd storeWakeLoop(CHidChannel& channel);
    void endInterruptedFlow(CHidChannel& channel);
    bool readBlockOverChannel(CHidChannel& channel);
    std::optional<bool> writeCommandFamily();  // nullopt: interrupted
    bool writeRegisterFamily();
    void readFirmwareText();

    // The profile list is loaded at every model set-up, matched against the
    // block after a read and saved after a write.
    void loadProfiles();
    bool matchProfile() { return findMatchingProfile(); }
    void saveProfiles();
    void selectLine(int line);
    int desktopWidthPx();
};

}  // namespace cvk
