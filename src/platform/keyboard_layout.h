#pragma once
// The keyboard layout port: conversion between characters and physical keys
// under the layout the user types with. The device plays keys, not
// characters, so text becomes key strokes with the layout active when the
// text is entered, and key names follow the layout active when they are
// shown.
//
// Keys are named by PC scan-code set 1 make codes; a key with the 0xE0
// prefix is 0xE000 plus its code (right Alt is 0xE038). Shift states use the
// Windows bit values, which the stroke encoding is defined in: Shift 1,
// Ctrl 2, Alt 4, and Ctrl+Alt (6) stands for Alt Gr.

#include <optional>
#include <string>
#include <vector>

namespace cvk {

enum ShiftStateBits : int {
    kShiftStateNone = 0,
    kShiftStateShift = 1,
    kShiftStateCtrl = 2,
    kShiftStateAlt = 4,
    kShiftStateAltGr = kShiftStateCtrl | kShiftStateAlt,
};

struct KeyStroke {
    int scanCode = 0;
    int shiftState = 0;
    bool operator==(const KeyStroke&) const = default;
};

class IKeyboardLayout {
public:
    virtual ~IKeyboardLayout() = default;
    // The key and shift state that type c, the plainest state first; nullopt
    // when no key of the layout types it. A dead key counts as typing its
    // own accent.
    virtual std::optional<KeyStroke> strokeForChar(char32_t c) = 0;
    // Every key and shift state that types c, in the order strokeForChar
    // prefers them; a caller that cannot use a key takes the next one.
    virtual std::vector<KeyStroke> strokesForChar(char32_t c)
    {
        const auto stroke = strokeForChar(c);
        return stroke ? std::vector<KeyStroke>{*stroke} : std::vector<KeyStroke>{};
    }
    // What the key types in the shift state, or nullopt when it types
    // nothing there. A dead key gives its own accent character and leaves no
    // pending accent behind, so asking never changes a later answer.
    virtual std::optional<char32_t> charForStroke(int scanCode, int shiftState) = 0;
    // The layout's name for display, such as "se" or "de(nodeadkeys)".
    virtual std::string name() const = 0;
    // Follows the user's active layout anew; true when it changed since the
    // last look, so that drawn labels must be redone.
    virtual bool refresh() = 0;
};

}  // namespace cvk
