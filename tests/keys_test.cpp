// The drawn keyboard, its selection rules and the names of keys, on real
// xkb layouts.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <string>

#include "keys/key_names.h"
#include "keys/key_table.h"
#include "keys/keyboard_model.h"
#include "keys/strokes.h"
#include "test_support.h"

namespace cvk {
namespace {

IKeyboardLayout& layout(const std::string& name) { return test::namedLayout(name); }

}  // namespace

void PrintTo(const KeyLabels& l, std::ostream* os)
{
    *os << '{' << l.plain << '|' << l.shift << '|' << l.ctrlAlt << '}';
}

namespace {

// ---- Key table ----

TEST(KeyTable, LayoutKeysReachTheSameUsageThroughBothScanCodeTables)
{
    // Names go usage -> position -> scan code, text entry scan code -> usage;
    // the two must agree on every layout key except the ISO key beside left
    // Shift, which text entry never uses.
    for (const KeyRecord& k : kKeyTable) {
        if (!k.isLayoutKey())
            continue;
        const int scanCode = usageScanCode(k.code);
        EXPECT_NE(scanCode, 0) << "usage " << k.code;
        if (k.code == 0x64)
            EXPECT_EQ(scanCodeUsage(scanCode), 0);
        else
            EXPECT_EQ(scanCodeUsage(scanCode), k.code) << "usage " << k.code;
    }
}

TEST(KeyTable, KeysDoNotOverlapAndCodesAreUnique)
{
    std::set<int> codes;
    for (int i = 0; i < kKeyCount; ++i) {
        EXPECT_TRUE(codes.insert(kKeyTable[i].code).second) << "code of key " << i;
        const KeyRect a = keyMainRect(i);
        EXPECT_LE(a.bottom, kKeyboardHeight) << i;
        for (int j = i + 1; j < kKeyCount; ++j) {
            const KeyRect b = keyMainRect(j);
            const bool overlap = a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
            EXPECT_FALSE(overlap) << "keys " << i << " and " << j;
        }
    }
    EXPECT_EQ(codes.count(-7), 0u);
}

TEST(KeyTable, HitTestFindsLongKeysAndTheLowerPartOfEnter)
{
    struct Case {
        int x, y;
        int index;
    };
    const Case cases[] = {
        {560, 160, kEnterKeyIndex},  // lower part of Enter
        {536, 100, kEnterKeyIndex},  // upper part
        {536, 140, 70},              // the key left of Enter's lower part
        {300, 230, 95},              // Space
        {880, 240, 91},              // keypad Enter, lengthened downwards
        {800, 230, 102},             // keypad 0, widened
        {100, 200, 76},              // Z row
        {600, 30, -1},               // gap beside F12
        {903, 254, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(keyAt(c.x, c.y), c.index) << c.x << "," << c.y;
}

// ---- Keyboard model ----

int indexOf(int code) { return keyIndexOfCode(code); }

std::set<int> selectedCodes(const KeyboardModel& m)
{
    std::set<int> codes;
    for (int i = 0; i < kKeyCount; ++i)
        if (m.isSelected(i))
            codes.insert(kKeyTable[i].code);
    return codes;
}

TEST(KeyboardModel, EmptyWordSelectsNothingUntilAClick)
{
    KeyboardModel m(0);
    EXPECT_FALSE(m.okEnabled());
    EXPECT_TRUE(selectedCodes(m).empty());
    m.click(indexOf(0x3A));
    EXPECT_TRUE(m.okEnabled());
    EXPECT_EQ(m.keyWord(), 0x003A);
}

TEST(KeyboardModel, PreselectionFromAWord)
{
    struct Case {
        uint16_t word;
        std::set<int> codes;
        uint16_t result;
    };
    const Case cases[] = {
        {0x0504, {kKeyLeftCtrl, kKeyLeftAlt, 0x04}, 0x0504},
        {0x0106, {kKeyLeftCtrl, 0x06}, 0x0106},
        {0x7F00,
         {kKeyLeftCtrl, kKeyLeftShift, kKeyLeftAlt, kKeyWindows, kKeyRightCtrl, kKeyRightShift, kKeyAltGr},
         0x7F00},
        // The right Windows bit lights the one Windows key, which answers
        // with the left bit.
        {0x8000, {kKeyWindows}, 0x0800},
        {0x800F, {kKeyWindows, 0x0F}, 0x080F},
        // A usage absent from the drawn keyboard selects nothing of its own.
        {0x0287, {kKeyLeftShift}, 0x0200},
        {0x0058, {0x58}, 0x0058},
    };
    for (const Case& c : cases) {
        const KeyboardModel m(c.word);
        EXPECT_EQ(selectedCodes(m), c.codes) << std::hex << c.word;
        EXPECT_EQ(m.keyWord(), c.result) << std::hex << c.word;
        EXPECT_TRUE(m.fresh());
        EXPECT_TRUE(m.okEnabled());
    }
}

TEST(KeyboardModel, FirstClickOnAnUnselectedKeyStartsAFreshCombination)
{
    KeyboardModel m(0x0504);
    const auto changed = m.click(indexOf(0x05));  // B
    EXPECT_EQ(selectedCodes(m), std::set<int>{0x05});
    EXPECT_EQ(std::set<int>(changed.begin(), changed.end()),
              (std::set<int>{indexOf(0x05), indexOf(kKeyLeftCtrl), indexOf(kKeyLeftAlt), indexOf(0x04)}));
    EXPECT_FALSE(m.fresh());
    EXPECT_EQ(m.keyWord(), 0x0005);
}

TEST(KeyboardModel, FirstClickOnASelectedKeyDeselectsOnlyThatKey)
{
    KeyboardModel m(0x0504);
    m.click(indexOf(0x04));
    EXPECT_EQ(m.keyWord(), 0x0500);
    EXPECT_TRUE(m.okEnabled());
    // No longer fresh: a further key joins the modifiers.
    m.click(indexOf(0x06));
    EXPECT_EQ(m.keyWord(), 0x0506);
}

TEST(KeyboardModel, OneOrdinaryKeyAtMostWhileModifiersToggle)
{
    KeyboardModel m(0);
    m.click(indexOf(kKeyLeftCtrl));
    m.click(indexOf(0x06));
    m.click(indexOf(0x19));  // replaces C
    EXPECT_EQ(m.keyWord(), 0x0119);
    m.click(indexOf(kKeyAltGr));
    m.click(indexOf(kKeyRightShift));
    EXPECT_EQ(m.keyWord(), 0x6119);
    m.click(indexOf(kKeyLeftCtrl));  // toggles off
    EXPECT_EQ(m.keyWord(), 0x6019);
    m.click(indexOf(0x19));  // the ordinary key toggles off too
    EXPECT_EQ(m.keyWord(), 0x6000);
    m.click(indexOf(kKeyAltGr));
    m.click(indexOf(kKeyRightShift));
    EXPECT_FALSE(m.okEnabled());
    EXPECT_EQ(m.keyWord(), 0);
}

TEST(KeyboardModel, ClickOnTheLowerPartOfEnterTogglesEnter)
{
    KeyboardModel m(0x0104);
    m.click(keyAt(560, 160));
    EXPECT_EQ(m.keyWord(), 0x0028);
    m.click(keyAt(560, 160));
    EXPECT_EQ(m.keyWord(), 0);
    EXPECT_FALSE(m.okEnabled());
}

TEST(KeyboardModel, ClickBesideTheKeysChangesNothing)
{
    KeyboardModel m(0x0504);
    EXPECT_TRUE(m.click(keyAt(600, 30)).empty());
    EXPECT_TRUE(m.fresh());
    EXPECT_EQ(m.keyWord(), 0x0504);
}

// ---- Key names ----

TEST(KeyNames, UsagePositionAndScanCodeTables)
{
    struct Case {
        int usage, position, scanCode;
    };
    const Case cases[] = {
        {0x00, 0, 0},       {0x03, 0, 0},        {0x04, 31, 0x1E}, {0x29, 110, 0x01}, {0x35, 1, 0x29},
        {0x64, 45, 0x56},   {0x32, 42, 0x2B},    {0x31, 29, 0x2B}, {0x38, 55, 0x35},  {0x45, 123, 0x58},
        {0x46, 124, 0},     {0x47, 125, 0x46},   {0x48, 126, 0},   {0x65, 129, 0},    {0x49, 75, 0xE052},
        {0x54, 95, 0xE035}, {0x58, 108, 0xE01C}, {0x85, 107, 0},   {0x87, 56, 0},     {0x86, 0, 0},
        {0xE0, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(usageKeyPosition(c.usage), c.position) << std::hex << c.usage;
        EXPECT_EQ(usageScanCode(c.usage), c.scanCode) << std::hex << c.usage;
    }
    EXPECT_EQ(positionScanCode(62), 0xE038);
    EXPECT_EQ(positionScanCode(14), 0);
    EXPECT_EQ(positionScanCode(126), 0);
}

TEST(KeyNames, KeyTextOfWords)
{
    CVK_NEED_LAYOUTS("de", "fr", "se");
    struct Case {
        const char* layout;
        uint16_t word;
        const char* text;
    };
    const Case cases[] = {
        {"us", 0x0504, "Left Ctrl + Left Alt + a"},
        {"us", 0x0000, ""},
        {"us", 0x0100, "Left Ctrl"},
        {"us", 0x8800, "Start + Start"},
        {"us", 0x004F, "Right"},
        {"us", 0x0052, "Upp"},
        {"us", 0x0287, "Left Shift"},
        {"us", 0xFF00,
         "Left Ctrl + Left Shift + Left Alt + Start + Right Ctrl + Right Shift + Right Alt + Start"},
        {"us", 0x042B, "Left Alt + Tab"},
        {"us", 0x0065, "Content Menu"},
        {"us", 0x0058, "Enter"},
        {"us", 0x4B00 | 0x4B, "Left Ctrl + Left Shift + Start + Right Alt + Page Up"},
        {"us", 0x0232, "Left Shift + \\"},
        // Layout keys follow the layout.
        {"de", 0x011C, "Left Ctrl + z"},
        {"fr", 0x0014, "a"},
        {"se", 0x0033, "\u00f6"},
        {"se", 0x002E, "\u00b4"},  // a dead key names its accent
        {"fr", 0x001E, "&&"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(keyText(c.word, layout(c.layout)), c.text) << c.layout << " " << std::hex << c.word;
}

TEST(KeyNames, LayoutLabels)
{
    CVK_NEED_LAYOUTS("de", "de(nodeadkeys)", "fr", "se");
    struct Case {
        const char* layout;
        int usage;
        bool shift, ctrlAlt;
        const char* label;
    };
    const Case cases[] = {
        {"us", 0x1F, false, false, "2"},
        {"us", 0x1F, true, false, "@"},
        {"us", 0x1F, false, true, ""},  // no Alt Gr on this layout
        {"se", 0x1F, false, true, "@"},
        {"se", 0x2E, false, false, "\u00b4"},  // dead acute
        {"se", 0x2E, true, false, "`"},        // dead grave
        {"se", 0x30, false, false, "\u00a8"},  // dead diaeresis
        {"de", 0x35, false, false, "^"},       // dead circumflex
        {"de(nodeadkeys)", 0x35, false, false, "^"},
        {"fr", 0x1E, false, false, "&&"},
        {"fr", 0x1E, true, false, "1"},
        {"se", 0x64, false, false, "<"},
        // Keys without a scan code show their cap text.
        {"us", 0x46, false, false, "Print\nScreen"},
        {"us", 0x65, false, false, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(layoutLabel(c.usage, c.shift, c.ctrlAlt, layout(c.layout)), c.label)
            << c.layout << " " << std::hex << c.usage << " " << c.shift << c.ctrlAlt;
}

TEST(KeyNames, DeadKeyLeavesNoAccentPending)
{
    CVK_NEED_LAYOUTS("se");
    IKeyboardLayout& se = layout("se");
    EXPECT_EQ(layoutLabel(0x2E, false, false, se), "\u00b4");
    EXPECT_EQ(layoutLabel(0x08, false, false, se), "e");
    EXPECT_EQ(keyText(0x002E, se), "\u00b4");
    EXPECT_EQ(keyText(0x0008, se), "e");
}

TEST(KeyNames, DrawnLabelsDropThePlainLetterBesideItsCapital)
{
    CVK_NEED_LAYOUTS("fr", "se");
    struct Case {
        const char* layout;
        int code;
        KeyLabels labels;
    };
    const Case cases[] = {
        {"us", 0x04, {"", "A", ""}},           {"se", 0x33, {"", "\u00d6", "\u00f8"}},
        {"se", 0x1F, {"2", "\"", "@"}},        {"se", 0x24, {"7", "/", "{"}},
        {"fr", 0x1E, {"&&", "1", "\u00b9"}},   {"us", 0x29, {"Esc", "", ""}},
        {"us", 0x2A, {"Backspace\n", "", ""}}, {"us", kKeyWindows, {"        Start\n", "", ""}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(keyLabels(keyIndexOfCode(c.code), layout(c.layout)), c.labels) << c.layout << " " << c.code;
}

}  // namespace
}  // namespace cvk
