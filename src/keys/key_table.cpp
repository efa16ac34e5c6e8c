#include "keys/key_table.h"

namespace cvk {

namespace {

constexpr int kKeySize = 38;
constexpr int kTallExtra = 40;

// A layout key: no cap, no name, labelled by the keyboard layout.
constexpr KeyRecord layoutKey(int x, int y, int code) { return {nullptr, x, y, code, nullptr}; }

}  // namespace

const std::array<KeyRecord, kKeyCount> kKeyTable = {{
    // Row y = 6: Esc, function keys, Print Screen, Scroll Lock, Pause.
    {"Esc", 0, 6, 0x29, "Esc"},
    {"F1", 80, 6, 0x3A, "F1"},
    {"F2", 120, 6, 0x3B, "F2"},
    {"F3", 160, 6, 0x3C, "F3"},
    {"F4", 200, 6, 0x3D, "F4"},
    {"F5", 256, 6, 0x3E, "F5"},
    {"F6", 296, 6, 0x3F, "F6"},
    {"F7", 336, 6, 0x40, "F7"},
    {"F8", 376, 6, 0x41, "F8"},
    {"F9", 432, 6, 0x42, "F9"},
    {"F10", 472, 6, 0x43, "F10"},
    {"F11", 512, 6, 0x44, "F11"},
    {"F12", 552, 6, 0x45, "F12"},
    {"Print\nScreen", 610, 6, 0x46, "Print Screen"},
    {"Scroll\nLock", 650, 6, 0x47, "Scroll Lock"},
    {"Pause\nBreak", 690, 6, 0x48, "Pause/Break"},
    // Row y = 54: digits.
    layoutKey(0, 54, 0x35),
    layoutKey(40, 54, 0x1E),
    layoutKey(80, 54, 0x1F),
    layoutKey(120, 54, 0x20),
    layoutKey(160, 54, 0x21),
    layoutKey(200, 54, 0x22),
    layoutKey(240, 54, 0x23),
    layoutKey(280, 54, 0x24),
    layoutKey(320, 54, 0x25),
    layoutKey(360, 54, 0x26),
    layoutKey(400, 54, 0x27),
    layoutKey(440, 54, 0x2D),
    layoutKey(480, 54, 0x2E),
    {"Backspace\n", 520, 54, 0x2A, "Backspace"},
    {"Insert", 610, 54, 0x49, "Insert"},
    {"Home", 650, 54, 0x4A, "Home"},
    {"Page\nUp", 690, 54, 0x4B, "Page Up"},
    {"Num\nLock", 748, 54, 0x53, "Num Lock"},
    {"  /", 788, 54, 0x54, "/"},
    {"  *", 828, 54, 0x55, "*"},
    {"  -", 868, 54, 0x56, "-"},
    // Row y = 94: Q row.
    {"Tab\n", 0, 94, 0x2B, "Tab"},
    layoutKey(54, 94, 0x14),
    layoutKey(94, 94, 0x1A),
    layoutKey(134, 94, 0x08),
    layoutKey(174, 94, 0x15),
    layoutKey(214, 94, 0x17),
    layoutKey(254, 94, 0x1C),
    layoutKey(294, 94, 0x18),
    layoutKey(334, 94, 0x0C),
    layoutKey(374, 94, 0x12),
    layoutKey(414, 94, 0x13),
    layoutKey(454, 94, 0x2F),
    layoutKey(494, 94, 0x30),
    {"Enter\n", 534, 94, 0x28, "Enter"},
    {"Delete", 610, 94, 0x4C, "Delete"},
    {"End", 650, 94, 0x4D, "End"},
    {"Page\nDown", 690, 94, 0x4E, "Page Down"},
    {"7\n", 748, 94, 0x5F, "7"},
    {"8\n", 788, 94, 0x60, "8"},
    {"9\n", 828, 94, 0x61, "9"},
    {"+", 868, 94, 0x57, "+"},
    // Row y = 134: A row.
    {"Caps\nLock", 0, 134, 0x39, "Caps Lock"},
    layoutKey(62, 134, 0x04),
    layoutKey(102, 134, 0x16),
    layoutKey(142, 134, 0x07),
    layoutKey(182, 134, 0x09),
    layoutKey(222, 134, 0x0A),
    layoutKey(262, 134, 0x0B),
    layoutKey(302, 134, 0x0D),
    layoutKey(342, 134, 0x0E),
    layoutKey(382, 134, 0x0F),
    layoutKey(422, 134, 0x33),
    layoutKey(462, 134, 0x34),
    layoutKey(502, 134, 0x32),
    {"4\n", 748, 134, 0x5C, "4"},
    {"5\n", 788, 134, 0x5D, "5"},
    {"6\n", 828, 134, 0x5E, "6"},
    // Row y = 174: Z row.
    {"Shift\n", 0, 174, kKeyLeftShift, ""},
    layoutKey(46, 174, 0x64),
    layoutKey(86, 174, 0x1D),
    layoutKey(126, 174, 0x1B),
    layoutKey(166, 174, 0x06),
    layoutKey(206, 174, 0x19),
    layoutKey(246, 174, 0x05),
    layoutKey(286, 174, 0x11),
    layoutKey(326, 174, 0x10),
    layoutKey(366, 174, 0x36),
    layoutKey(406, 174, 0x37),
    layoutKey(446, 174, 0x38),
    {"Shift\n", 486, 174, kKeyRightShift, ""},
    {nullptr, 650, 174, 0x52, "Upp"},
    {"1\n", 748, 174, 0x59, "1"},
    {"2\n", 788, 174, 0x5A, "2"},
    {"3\n", 828, 174, 0x5B, "3"},
    {"Enter", 868, 174, 0x58, "Enter"},
    // Row y = 214: bottom row.
    {"Ctrl\n", 0, 214, kKeyLeftCtrl, ""},
    {"        Start\n", 56, 214, kKeyWindows, ""},
    {"  Alt\n", 112, 214, kKeyLeftAlt, ""},
    {nullptr, 168, 214, 0x2C, "Space"},
    {"Alt Gr\n", 424, 214, kKeyAltGr, ""},
    {nullptr, 480, 214, 0x65, "Content Menu"},
    {"Ctrl\n", 534, 214, kKeyRightCtrl, ""},
    {nullptr, 610, 214, 0x50, "Left"},
    {nullptr, 650, 214, 0x51, "Down"},
    {nullptr, 690, 214, 0x4F, "Right"},
    {"0\n", 748, 214, 0x62, "0"},
    {",\n", 828, 214, 0x63, ","},
}};

KeyRect keyMainRect(int index)
{
    if (index < 0 || index >= kKeyCount)
        return {};
    const KeyRecord& k = kKeyTable[index];
    KeyRect r{k.x, k.y, k.x + kKeySize, k.y + kKeySize};
    // Right edges of the long keys are absolute keyboard pixels.
    switch (k.code) {
    case kKeyLeftShift: r.right = 44; break;
    case kKeyLeftCtrl: r.right = 54; break;
    case kKeyWindows: r.right = 110; break;
    case kKeyLeftAlt: r.right = 166; break;
    case 0x2C: r.right = 422; break;  // Space
    case kKeyAltGr: r.right = 478; break;
    case 0x65: r.right = 532; break;  // context menu
    case 0x2A:                        // Backspace
    case 0x28:                        // Enter
    case kKeyRightShift:
    case kKeyRightCtrl: r.right = 590; break;
    case 0x2B:                                 // Tab
    case 0x39: r.right = 52; break;            // Caps Lock
    case 0x57:                                 // keypad +
    case 0x58: r.bottom += kTallExtra; break;  // keypad Enter
    case 0x62: r.right += kTallExtra; break;   // keypad 0
    default: break;
    }
    return r;
}

std::optional<KeyRect> keySecondRect(int index)
{
    if (index == kEnterKeyIndex)
        return KeyRect{542, 94, 590, 172};
    return std::nullopt;
}

int keyAt(int x, int y)
{
    for (int i = 0; i < kKeyCount; ++i) {
        if (keyMainRect(i).contains(x, y))
            return i;
        if (const auto second = keySecondRect(i); second && second->contains(x, y))
            return i;
    }
    return -1;
}

int keyIndexOfCode(int code)
{
    for (int i = 0; i < kKeyCount; ++i)
        if (kKeyTable[i].code == code)
            return i;
    return -1;
}

uint8_t modifierBit(int code)
{
    switch (code) {
    case kKeyLeftCtrl: return 0x01;
    case kKeyLeftShift: return 0x02;
    case kKeyLeftAlt: return 0x04;
    case kKeyWindows: return 0x08;
    case kKeyRightCtrl: return 0x10;
    case kKeyRightShift: return 0x20;
    case kKeyAltGr: return 0x40;
    default: return 0;
    }
}

}  // namespace cvk
