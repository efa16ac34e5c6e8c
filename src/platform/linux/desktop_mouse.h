#pragma once
// The desktop's own mouse settings: whether the primary and secondary
// buttons are swapped, and the wheel scroll lines.
//
// GNOME (and the desktops built on its settings: Unity, Budgie, Pantheon)
//   buttons: GSettings org.gnome.desktop.peripherals.mouse, key left-handed.
//   wheel lines: GNOME has no such setting; a value set is kept here only.
// KDE Plasma ($XDG_CONFIG_HOME, default ~/.config)
//   buttons: kcminputrc. Wayland (KWin): [Libinput][<vendor>][<product>]
//     [<name>] LeftHanded per device, [Libinput][Defaults][Pointer]
//     LeftHanded for devices without their own entry. X11 (the libinput
//     driver): [Mouse] XLbInptLeftHanded; the older evdev driver:
//     [Mouse] MouseButtonMapping=LeftHanded.
//   wheel lines: kdeglobals [KDE] WheelScrollLines, 3 when absent.
// Anything else: buttons not swapped; the wheel lines a value set, else
//   none (the caller's own default applies).

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace cvk {

enum class MouseDesktop { Gnome, Kde, Other };

// Reads a boolean GSettings key; nullopt when the schema or the key is not
// installed or the key is not a boolean.
using GSettingsBoolReader =
    std::function<std::optional<bool>(const std::string& schema, const std::string& key)>;

// The real reader (GIO). Never aborts on a missing schema.
std::optional<bool> readGSettingsBool(const std::string& schema, const std::string& key);

struct DesktopMouseSources {
    std::string desktop;      // as XDG_CURRENT_DESKTOP: "KDE", "ubuntu:GNOME", ...
    std::string sessionType;  // as XDG_SESSION_TYPE: "wayland", "x11", or empty
    std::filesystem::path configDir;
    GSettingsBoolReader gsettings;
    // The maker's USB vendor id: a left-handed entry of one of its own
    // devices is that device's setting, not the desktop's.
    unsigned ownVendorId = 0;
};

// This session's: the environment, $XDG_CONFIG_HOME (else ~/.config),
// the GIO reader and the build's vendor id.
DesktopMouseSources sessionMouseSources();

// Which desktop's settings apply for an XDG_CURRENT_DESKTOP value.
MouseDesktop mouseDesktopFor(const std::string& currentDesktop);

struct SwapReading {
    bool swapped = false;
    // Where the answer came from, for people: "from kcminputrc [Mouse]
    // XLbInptLeftHanded", "no kcminputrc: KDE's default", ...
    std::string source;
};

struct WheelReading {
    std::optional<int> lines;  // none: the desktop has no such setting
    std::string source;        // as SwapReading's
};

class DesktopMouseSettings {
public:
    DesktopMouseSettings();
    explicit DesktopMouseSettings(DesktopMouseSources sources);

    MouseDesktop desktop() const { return desktop_; }
    // "GNOME", "KDE", or "other (<XDG_CURRENT_DESKTOP>)".
    std::string desktopName() const;

    // Read anew at each call: the user may change them while the program runs.
    SwapReading buttonsSwapped() const;
    WheelReading wheelScrollLines() const;

    // KDE: written into kdeglobals; elsewhere kept here only. Lines outside
    // 1..100 are refused. False with the reason in *error when the file
    // could not be written; it is then left as it was.
    bool setWheelScrollLines(int lines, std::string* error);

private:
    SwapReading kdeButtonsSwapped() const;

    DesktopMouseSources sources_;
    MouseDesktop desktop_;
    std::optional<int> linesSet_;
};

// --- KDE configuration files, exposed for the tests ---

// The value of `key` in the group named by `group` (nested groups as
// "KDE" or "Libinput][1133][49291][Mouse"), the last one the file gives;
// nullopt when absent. Flags such as [$e] after keys and groups are ignored.
std::optional<std::string> kdeConfigValue(const std::string& text, const std::string& group,
                                          const std::string& key);

// A KConfig boolean: true/on/yes/1 or false/off/no/0 (any case); nullopt
// for anything else.
std::optional<bool> kdeConfigBool(const std::string& value);

// `text` with key=value set in group: the last such line changed in place,
// else a line added at the end of the group's last block, else the group
// added at the end. Every other byte stays.
std::string withKdeConfigValue(const std::string& text, const std::string& group, const std::string& key,
                               const std::string& value);

}  // namespace cvk
