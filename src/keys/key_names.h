#pragma once
// Names of keys under the active keyboard layout: the labels of the drawn
// keyboard's layout keys and the one-line text of a whole shortcut, such as
// "Left Ctrl + Left Alt + a".

#include <array>
#include <cstdint>
#include <string>
#include "texts/utf.h"

namespace cvk {

class IKeyboardLayout;

// The IBM AT-101 key position of a HID keyboard usage, as the HID usage
// tables list it; 0 for usages without one.
int usageKeyPosition(int usage);
// The set-1 make code of an AT-101 position, 0xE000 plus the code for keys
// with the 0xE0 prefix; 0 for positions without a key, for Print Screen,
// for the international keys and for 126 and above.
int positionScanCode(int position);
// Both tables in a row: the scan code a layout asks about for a usage.
int usageScanCode(int usage);

// Bit 0 to bit 7 of the HID modifier byte; both Windows keys are "Start".
extern const std::array<const char*, 8> kModifierNames;
inline constexpr const char* kKeyJoiner = " + ";

// The label of the key with HID usage `usage`: what it types under the
// layout (plain, with Shift, with Ctrl+Alt), at most one character; a dead
// key shows its accent. A key the layout tables have no scan code for shows
// its cap text. "&" comes back as "&&", so that a label drawn with mnemonic
// processing shows one "&".
std::string layoutLabel(int usage, bool withShift, bool withCtrlAlt, IKeyboardLayout& layout);

// The three labels the keyboard draws on key `index` of the key table. For
// a layout key the plain label is dropped where Shift types the same letter
// in the other case, so letters show one capital. A named key carries its
// cap text as the plain label and nothing else.
struct KeyLabels {
    std::string plain;
    std::string shift;
    std::string ctrlAlt;
    bool operator==(const KeyLabels&) const = default;
};
KeyLabels keyLabels(int index, IKeyboardLayout& layout);

// The text of a key word (modifier byte high, usage low): the modifier
// names from bit 0 up, then the key's name or its plain layout label, joined
// by " + ". A usage that is not on the drawn keyboard adds nothing.
std::string keyText(uint16_t keyWord, IKeyboardLayout& layout);

}  // namespace cvk
