#pragma once
// The profiles as the window shows them: the list of the attached model, the
// active profile, the sorted selector lines and the notification-area menu.
// Pure operations: the flows that also touch the device or the window live
// in the main controller.

#include <string>
#include <vector>

#include "config/config_model.h"
#include "profiles/profile_store.h"

namespace cvk {

class ISettingsStore;

// Commands of the notification-area menu.
enum TrayCommand : int {
    kCmdTrayOpen = 20400,
    kCmdTrayExit = 20401,
    kCmdTrayProfileFirst = 20402,  // + n, n below kTrayProfileLimit
    kCmdAbout = 1023,
};
inline constexpr int kTrayProfileLimit = 98;

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

class CProfileSession {
public:
    const CProfileList& list() const { return profiles_; }
    ProfileHandle active() const { return active_; }
    const std::vector<SelectorLine>& selector() const { return selector_; }
    int currentLine() const { return current_; }
    const std::vector<TrayMenuItem>& trayMenu() const { return tray_; }

    // The list of the model; no profile is active afterwards.
    void load(ISettingsStore& store, int modelCode, uint32_t firmwareVersion, int desktopWidth,
              const ConfigModel& working);
    // Takes the working buffers into the active profile and writes the list.
    void save(ISettingsStore& store, int modelCode, const ConfigModel& working);
    // Refills the notification-area menu, and the selector unless it is kept.
    void rebuildMenu(bool keepSelector);

    // The selector line to show as chosen (-1 or out of range: none).
    void setCurrentLine(int line);
    // Makes the current line's profile the active one and returns it, or
    // nullptr (none active) when no line is chosen or its profile is gone.
    CProfileClass* activateCurrentLine();
    // Ticks the active profile in the notification-area menu.
    void updateTrayChecks();

    // Adds a profile holding the working buffers under `name` at its sorted
    // place in the selector (the menu is not rebuilt) and makes its line
    // current.
    void add(const std::string& name, const ConfigModel& working);
    // Renames the active profile (the selector is not rebuilt); false when
    // none is active.
    bool renameActive(const std::string& name);
    // Removes the active profile from the list; none is active afterwards.
    void eraseActive();

    // The selector line of the n-th profile in list order, or -1.
    int lineOfListPosition(int n) const;
    // The line named exactly `name`, else the first whose name starts with
    // it ignoring case, or -1.
    int lineNamed(const std::string& name) const;
    // The first line whose name starts with `prefix` ignoring case, or -1.
    int lineStartingWith(const std::string& prefix) const;
    // The line of the first profile equal to the working block (and, for
    // models with text areas, the signature text ignoring ASCII case), or -1.
    int lineMatching(const ConfigModel& working, bool compareSignature) const;

private:
    int lineOf(ProfileHandle profile) const;

    CProfileList profiles_;
    ProfileHandle active_ = nullptr;
    std::vector<SelectorLine> selector_;  // sorted by name
    int current_ = -1;
    std::vector<TrayMenuItem> tray_;
};

// The tray tip naming the active profile.
std::string activeProfileTip(const std::string& name);

}  // namespace cvk
