#pragma once
// Keyboard layouts on Linux, compiled from xkb-data with xkbcommon.
//
// The session layout is taken from the keyboard configuration, not from the
// X server: reading the live X11 keymap needs xkbcommon-x11, which this
// build does not use. A layout switched at run time with a desktop's layout
// indicator is therefore not seen; a change of the configured layout is,
// on the next refresh().

#include <memory>
#include <string>

#include "platform/keyboard_layout.h"

namespace cvk {

struct XkbLayoutName {
    std::string layout;
    std::string variant;
    bool operator==(const XkbLayoutName&) const = default;
};

// Where the session's layout is configured, searched in this order:
// XKB_DEFAULT_LAYOUT / XKB_DEFAULT_VARIANT (the xkbcommon convention that
// Wayland compositors follow), the Debian keyboard file (XKBLAYOUT=,
// XKBVARIANT=), the X11 keyboard snippet localectl writes, and the
// systemd console file (XKBLAYOUT= or, failing that, KEYMAP= translated
// through systemd's console-to-X11 map). "us" when none names a layout.
// Tests point the paths elsewhere; an empty path is skipped.
struct SessionLayoutSources {
    bool useEnvironment = true;
    std::string debianKeyboard = "/etc/default/keyboard";
    std::string xorgKeyboard = "/etc/X11/xorg.conf.d/00-keyboard.conf";
    std::string vconsole = "/etc/vconsole.conf";
    std::string consoleToX11Map = "/usr/share/systemd/kbd-model-map";
};

// The configured layout; of a list such as "se,us" the first, which is the
// one a session starts with.
XkbLayoutName sessionLayoutName(const SessionLayoutSources& sources = {});

// A named layout from xkb-data ("us", "se", "de" with variant "nodeadkeys");
// nullptr when xkb-data has no such layout.
std::unique_ptr<IKeyboardLayout> makeXkbLayout(const std::string& layout, const std::string& variant = "");
// The same from one word, "layout" or "layout(variant)" as xkb writes it.
std::unique_ptr<IKeyboardLayout> makeXkbLayoutFromName(const std::string& setup);

// The session's layout; refresh() reads the configuration again. A
// configured layout that does not compile falls back to "us". Never null;
// without xkb-data the layout types nothing.
std::unique_ptr<IKeyboardLayout> makeSessionKeyboardLayout(const SessionLayoutSources& sources = {});

// The evdev key number of a set-1 scan code (the xkb keycode is 8 more);
// 0 for scan codes outside the keyboard the program knows.
int evdevKeyForScanCode(int scanCode);

}  // namespace cvk
