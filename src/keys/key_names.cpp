#include "keys/key_names.h"

#include "texts/utf.h"

#include <optional>

#include "keys/key_table.h"
#include "platform/keyboard_layout.h"

namespace cvk {

namespace {

// AT-101 positions of the usages 0x00 to 0x65 (keyboard page of the HID
// usage tables).
constexpr std::array<uint8_t, 0x66> kUsagePositions = {
    0,   0,   0,   0,                                                    // 0x00..0x03
    31,  50,  48,  33,  19,  34,  35,  36,  24,  37,  38,  39,           // a..l
    52,  51,  25,  26,  17,  20,  32,  21,  23,  49,  18,  47,  22, 46,  // m..z
    2,   3,   4,   5,   6,   7,   8,   9,   10,  11,                     // 1..0
    43,  110, 15,  16,  61,  12,  13,  27,  28,  29,  42,  40,  41, 1,   // Enter..`
    53,  54,  55,  30,                                                   // , . / Caps Lock
    112, 113, 114, 115, 116, 117, 118, 119, 120, 121, 122, 123,          // F1..F12
    124, 125, 126, 75,  80,  85,  76,  81,  86,  89,  79,  84,  83,      // Print Screen..Up
    90,  95,  100, 105, 106, 108, 93,  98,  103, 92,  97,  102, 91, 96,  // Num Lock..keypad 8
    101, 99,  104, 45,  129,                                             // keypad 9, 0, ., ISO \, Application
};
static_assert(kUsagePositions[0x65] == 129, "a row of the usage table is missing");
constexpr int kUsageKeypadComma = 0x85;
constexpr int kUsageInternational1 = 0x87;
constexpr int kPositionKeypadComma = 107;
constexpr int kPositionInternational1 = 56;

constexpr int kPositionCount = 126;

// Set-1 make codes by AT-101 position.
constexpr std::array<int, kPositionCount> kPositionScanCodes = [] {
    std::array<int, kPositionCount> t{};
    t[1] = 0x29;
    for (int p = 2; p <= 13; ++p)  // 1 .. =
        t[p] = p;
    t[15] = 0x0E;                   // Backspace
    t[16] = 0x0F;                   // Tab
    for (int p = 17; p <= 28; ++p)  // Q .. ]
        t[p] = 0x10 + (p - 17);
    t[29] = 0x2B;                   // \ of the ANSI board
    t[30] = 0x3A;                   // Caps Lock
    for (int p = 31; p <= 41; ++p)  // A .. '
        t[p] = 0x1E + (p - 31);
    t[42] = 0x2B;                   // the ISO key beside Enter
    t[43] = 0x1C;                   // Enter
    t[44] = 0x2A;                   // left Shift
    t[45] = 0x56;                   // the ISO key beside left Shift
    for (int p = 46; p <= 55; ++p)  // Z .. /
        t[p] = 0x2C + (p - 46);
    t[57] = 0x36;                     // right Shift
    t[58] = 0x1D;                     // left Ctrl
    t[60] = 0x38;                     // left Alt
    t[61] = 0x39;                     // Space
    t[62] = 0xE038;                   // right Alt
    t[64] = 0xE01D;                   // right Ctrl
    t[75] = 0xE052;                   // Insert
    t[76] = 0xE053;                   // Delete
    t[79] = 0xE04B;                   // Left
    t[80] = 0xE047;                   // Home
    t[81] = 0xE04F;                   // End
    t[83] = 0xE048;                   // Up
    t[84] = 0xE050;                   // Down
    t[85] = 0xE049;                   // Page Up
    t[86] = 0xE051;                   // Page Down
    t[89] = 0xE04D;                   // Right
    t[90] = 0x45;                     // Num Lock
    t[91] = 0x47;                     // keypad 7
    t[92] = 0x4B;                     // keypad 4
    t[93] = 0x4F;                     // keypad 1
    t[95] = 0xE035;                   // keypad /
    t[96] = 0x48;                     // keypad 8
    t[97] = 0x4C;                     // keypad 5
    t[98] = 0x50;                     // keypad 2
    t[99] = 0x52;                     // keypad 0
    t[100] = 0x37;                    // keypad *
    t[101] = 0x49;                    // keypad 9
    t[102] = 0x4D;                    // keypad 6
    t[103] = 0x51;                    // keypad 3
    t[104] = 0x53;                    // keypad .
    t[105] = 0x4A;                    // keypad -
    t[106] = 0x4E;                    // keypad +
    t[108] = 0xE01C;                  // keypad Enter
    t[110] = 0x01;                    // Esc
    for (int p = 112; p <= 121; ++p)  // F1 .. F10
        t[p] = 0x3B + (p - 112);
    t[122] = 0x57;  // F11
    t[123] = 0x58;  // F12
    t[125] = 0x46;  // Scroll Lock
    return t;
}();

std::optional<char32_t> labelChar(int usage, bool withShift, bool withCtrlAlt, IKeyboardLayout& layout)
{
    const int scanCode = usageScanCode(usage);
    if (scanCode == 0)
        return std::nullopt;
    const int state = (withShift ? kShiftStateShift : 0) | (withCtrlAlt ? kShiftStateAltGr : 0);
    return layout.charForStroke(scanCode, state);
}

std::string labelOf(std::optional<char32_t> c)
{
    if (!c)
        return {};
    if (*c == U'&')
        return "&&";
    return utf8(*c);
}

// Enough case folding to pair the letters of European layouts.
char32_t lowerCase(char32_t c)
{
    if ((c >= U'A' && c <= U'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return c + 0x20;
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
        return c | 1;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
        return (c & 1) ? c + 1 : c;
    if (c == 0x178)
        return 0xFF;
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2)
        return c + 0x20;
    if (c >= 0x410 && c <= 0x42F)
        return c + 0x20;
    if (c >= 0x400 && c <= 0x40F)
        return c + 0x50;
    return c;
}

}  // namespace

const std::array<const char*, 8> kModifierNames = {"Left Ctrl",  "Left Shift",  "Left Alt",  "Start",
                                                   "Right Ctrl", "Right Shift", "Right Alt", "Start"};

int usageKeyPosition(int usage)
{
    if (usage >= 0 && usage < static_cast<int>(kUsagePositions.size()))
        return kUsagePositions[usage];
    if (usage == kUsageKeypadComma)
        return kPositionKeypadComma;
    if (usage == kUsageInternational1)
        return kPositionInternational1;
    return 0;
}

int positionScanCode(int position)
{
    if (position < 0 || position >= kPositionCount)
        return 0;
    return kPositionScanCodes[position];
}

int usageScanCode(int usage) { return positionScanCode(usageKeyPosition(usage)); }

std::string layoutLabel(int usage, bool withShift, bool withCtrlAlt, IKeyboardLayout& layout)
{
    if (usageScanCode(usage) == 0) {
        const int index = keyIndexOfCode(usage);
        const char* cap = index >= 0 ? kKeyTable[index].cap : nullptr;
        return cap ? cap : "";
    }
    return labelOf(labelChar(usage, withShift, withCtrlAlt, layout));
}

KeyLabels keyLabels(int index, IKeyboardLayout& layout)
{
    if (index < 0 || index >= kKeyCount)
        return {};
    const KeyRecord& k = kKeyTable[index];
    if (!k.isLayoutKey())
        return {k.cap ? k.cap : "", {}, {}};
    const auto plain = labelChar(k.code, false, false, layout);
    const auto shifted = labelChar(k.code, true, false, layout);
    KeyLabels labels{labelOf(plain), labelOf(shifted), layoutLabel(k.code, false, true, layout)};
    if (plain && shifted && lowerCase(*plain) == lowerCase(*shifted))
        labels.plain.clear();
    return labels;
}

std::string keyText(uint16_t keyWord, IKeyboardLayout& layout)
{
    std::string text;
    auto append = [&](const std::string& part) {
        if (!text.empty())
            text += kKeyJoiner;
        text += part;
    };
    const int modifiers = keyWord >> 8;
    for (int bit = 0; bit < 8; ++bit)
        if (modifiers & (1 << bit))
            append(kModifierNames[bit]);
    const int index = keyIndexOfCode(keyWord & 0xFF);
    if (index < 0)
        return text;
    const KeyRecord& k = kKeyTable[index];
    append(k.name ? k.name : layoutLabel(k.code, false, false, layout));
    return text;
}

}  // namespace cvk
