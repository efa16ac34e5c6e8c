#pragma once
// The drawn PC keyboard of the keyboard-shortcut dialog: an ISO layout with
// numeric keypad, 104 keys in keyboard pixels (904 x 255). The dialog, the
// key names and the pixel hit test all work from this one table.

#include <array>
#include <cstdint>
#include <optional>

namespace cvk {

// Modifier keys carry negative codes; every other key its HID keyboard
// usage. There is no -7.
enum ModifierKeyCode : int {
    kKeyLeftShift = -1,
    kKeyRightShift = -2,
    kKeyLeftCtrl = -3,
    kKeyLeftAlt = -4,
    kKeyAltGr = -5,
    kKeyRightCtrl = -6,
    kKeyWindows = -8,
};

struct KeyRecord {
    // Drawn on keys that have a name; may hold line breaks. nullptr: none.
    const char* cap;
    int x;
    int y;
    int code;
    // nullptr for a layout key, whose labels come from the keyboard layout;
    // "" for the modifier keys.
    const char* name;

    constexpr bool isModifier() const { return code < 0; }
    constexpr bool isLayoutKey() const { return name == nullptr; }
};

// Left and top inside, right and bottom outside, as a hit test counts them.
struct KeyRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    constexpr bool contains(int px, int py) const
    {
        return px >= left && px < right && py >= top && py < bottom;
    }
    bool operator==(const KeyRect&) const = default;
};

inline constexpr int kKeyCount = 104;
inline constexpr int kKeyboardWidth = 904;
inline constexpr int kKeyboardHeight = 255;
inline constexpr int kEnterKeyIndex = 50;

extern const std::array<KeyRecord, kKeyCount> kKeyTable;

// Where key `index` is drawn: a 38-pixel square from (x, y), widened or
// lengthened for the long keys.
KeyRect keyMainRect(int index);
// The lower part of the L-shaped Enter key; nullopt for every other key.
std::optional<KeyRect> keySecondRect(int index);
// The first key whose main or second rectangle holds the point; -1 none.
int keyAt(int x, int y);
// The first key in table order with the code; -1 none.
int keyIndexOfCode(int code);
// The bit a modifier key sets in the HID modifier byte (Left Ctrl 0x01 ...
// Alt Gr 0x40); 0 for ordinary keys.
uint8_t modifierBit(int code);

}  // namespace cvk
