#pragma once
// The main window's logic without the window: it owns the device link, the
// configuration model, the profiles and the window's state, runs the flows
// that touch the window, the device and the block together, and talks to the
// window only through the view port. Front ends send commands and read the
// state through the const accessors; they never write it.

#include <optional>
#include <string>
#include <vector>

#include "app/device_change.h"
#include "app/view_port.h"
#include "app/window_state.h"
#include "config/catalogue.h"
#include "config/config_model.h"
#include "device/config_transfer.h"
#include "device/device_link.h"
#include "device/wireless_status.h"
#include "platform/settings_store.h"
#include "platform/system_settings.h"
#include "profiles/profile_file.h"
#include "profiles/profile_session.h"

namespace cvk {

enum Command : int {
    kCmdOk = 1,
    kCmdCancel = 2,
    kCmdSettingsSwitch = 3,  // the hidden check box of the settings view
    kCmdApply = 1010,
    // kCmdRefresh = 1011 lives with the device link
    kCmdRead = 1016,
    kCmdPassThroughFirst = 1000,  // 1000..1003 go to the device's mouse collection
    kCmdPassThroughLast = 1003,
    kCmdRestoreDefaults = 57671,
    kCmdNewProfile = 1030,
    kCmdDeleteProfile = 1031,
    kCmdRenameProfile = 1032,
    // The notification-area menu's commands (kCmdTrayOpen, ...) live with
    // the profile session that builds the menu.
};

class IKeyboardLayout;

// Why the working block may not go to the device now.
enum class WriteRefusal {
    None,
    NoDevice,
    SeveralDevices,
    TooNew,        // only a device that needs a newer program
    ReceiverOnly,  // the block is the stored copy; the device itself is not on the cable
    NotRead,       // the block did not come from a completed read of the device attached now
};

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

    // ---------------------------------------------------------- state
    const DeviceState& device() const { return link_.state; }
    const ConfigModel& config() const { return config_; }
    const WindowState& window() const { return window_; }
    const CProfileSession& profiles() const { return profiles_; }
    const CWirelessStatus& wireless() const { return wireless_; }
    const CDeviceChangeTimer& deviceChangeTimer() const { return deviceChangeTimer_; }
    // True while there is something Apply would write.
    bool unsavedChanges() const;
    // The one rule for Apply, OK and every automatic write: the working
    // block must stem from a completed read of the device attached now (or
    // from edits, a profile or Restore Defaults applied to such a block).
    WriteRefusal writeRefusal() const;

    // ---------------------------------------------------------- commands
    // What the window does when it opens: configuration read, then scan.
    void start();
    // The window's command handler (buttons, menus, posted commands).
    void handleCommand(int command);
    void configurationRead();
    // Rescans the bus now (what `cvkeys-cli list` shows).
    void scanDevices();
    WriteResult runWriteSequence();
    // OK: the write, then the window closes if the block reached the device.
    WriteResult okCommand();
    // True when the block reached the device (verified, or sent to a legacy
    // device that cannot confirm).
    bool writeSequence() { return reachedDevice(runWriteSequence()); }

    // The function menu a click on `button` opens (Ctrl held or not), or
    // nullopt when it opens none; the button becomes the current one, whose
    // function the next function command sets.
    std::optional<std::vector<MenuItem>> openButtonMenu(int button, bool ctrlHeld);
    // A function command from the open button's menu. False when the
    // command is not one.
    bool functionCommand(int command);
    // At least one Click/Select must remain: asks and refuses otherwise.
    bool clickSelectAllowed(uint8_t code, int n);

    // The user chose line `line` of the profile selector.
    void selectLine(int line);
    // Selects the selector line showing `name` (exact, else first prefix
    // ignoring case) and runs the selection change; false when none.
    bool selectProfileByName(const std::string& name);
    // The n-th profile of the notification-area menu, then Apply.
    void selectProfileByMenu(int n);
    void newProfile();
    void renameProfile();
    void deleteProfile();
    // The profile file of the list the window shows, as it holds it now.
    std::string exportProfileFile() const;
    // A profile file into its list: the window's list is saved first (as
    // Delete Profile saves it) and read again afterwards; a file of the
    // other list goes straight into the settings. Any problem changes nothing.
    ProfileTransfer importProfileFile(std::string_view text, bool replace);

    // Pointer settings: a slider knob dropped at x, a sensitivity spot, the
    // Brill pad switch. False from sensitivitySpot when the device has none.
    void dropKnob(int row, int x);
    bool sensitivitySpot(bool increase);
    void toggleBrillSwitch();
    // Written to device addresses 16/17 of the models with text areas when
    // 1..5999.
    void setHiddenNumber(int number) { hiddenNumber_ = number; }

    // Timer 2 (100 ms): the picture's fade and the Apply, OK and Restore
    // Defaults buttons.
    void updateFadeAndButtons();
    // Timer 5 (100 ms): the wireless status on the picture.
    void pollWirelessStatus();
    // A device arrived or left: arms the scan timer (timer 1).
    void deviceChanged(bool arrival);
    // Forgets the identity texts of the last read (serial, hardware key,
    // firmware text), so that the next device's read does not inherit them.
    void forgetIdentity()
    {
        window_.serialText.clear();
        window_.hardwareKey.clear();
        window_.firmwareText.clear();
    }
    // Timer 1: runs the scan when the device-change timer is due.
    void pollDeviceChange();

private:
    // Tests reach the state the flows would otherwise need many steps for.
    friend struct ControllerProbe;

    // The device whose completed read the working block stems from.
    struct BlockSource {
        int modelCode = 0;
        std::string devicePath;
    };

    // Every enable goes through here, so the Apply state the timer compares
    // with is the window's own.
    void enableControl(int control, bool on);
    void setTitle(const std::string& text);
    void setTrayTip(const std::string& text);
    void commonTail(uint8_t code, int n);
    bool confirmUnique(uint8_t code, int n, const std::string& caption, const std::string& question);
    void modelSetup();
    void enableControls();
    void updateStatusTexts();
    void askSwappedButtons();
    void commonEnd();
    void errorEnding();
    void refuseWrite(WriteRefusal why);
    void restoreDefaultsCommand();
    void cancel();
    void closeWindow();
    void readIntoBlock();
    void takeReadOutcome(const ReadOutcome& outcome);

    // The profile list is loaded at every model set-up, matched against the
    // block after a read and saved after a write.
    void loadProfiles();
    void saveProfiles();
    void rebuildMenu(bool keepSelector);
    void selectionChanged();
    // Selects the first profile equal to the working block; true when a
    // byte had to change on the device (the caller then applies).
    bool matchProfile();
    int desktopWidthPx();
    // The wheel scroll lines a write sets for the block and the device.
    int wantedWheelLines() const;

    DeviceLink link_;
    ConfigModel config_;
    WindowState window_;
    CConfigTransfer transfer_;
    CWirelessStatus wireless_;
    CProfileSession profiles_;
    CDeviceChangeTimer deviceChangeTimer_;
    std::optional<BlockSource> blockSource_;
    int hiddenNumber_ = 0;
    IViewPort& view_;
    ISettingsStore& store_;
    ISystemSettings& system_;
    IKeyboardLayout* layout_;
};

}  // namespace cvk
