// Keyboard layouts from the system's tables: the US layout's keys for
// characters and back, keys in the 0xE0 range, and characters no key types.

#include <gtest/gtest.h>

#include <memory>

#include "platform/windows/win_keyboard_layout.h"

namespace cvk {
namespace {

class UsLayout : public ::testing::Test {
protected:
    void SetUp() override
    {
        layout = makeWinKeyboardLayout("00000409");
        ASSERT_NE(layout, nullptr);
    }
    std::unique_ptr<IKeyboardLayout> layout;
};

TEST_F(UsLayout, CharactersToStrokesAndBack)
{
    const struct {
        char32_t c;
        KeyStroke stroke;
    } cases[] = {
        {U'a', {0x1E, kShiftStateNone}},    {U'A', {0x1E, kShiftStateShift}},
        {U'z', {0x2C, kShiftStateNone}},    {U'1', {0x02, kShiftStateNone}},
        {U'!', {0x02, kShiftStateShift}},   {U'0', {0x0B, kShiftStateNone}},
        {U')', {0x0B, kShiftStateShift}},   {U' ', {0x39, kShiftStateNone}},
        {U'\r', {0x1C, kShiftStateNone}},   {U'\t', {0x0F, kShiftStateNone}},
        {U'-', {0x0C, kShiftStateNone}},    {U'_', {0x0C, kShiftStateShift}},
        {U';', {0x27, kShiftStateNone}},    {U':', {0x27, kShiftStateShift}},
        {U'\'', {0x28, kShiftStateNone}},   {U'"', {0x28, kShiftStateShift}},
        {U'`', {0x29, kShiftStateNone}},    {U'~', {0x29, kShiftStateShift}},
        {U'\\', {0x2B, kShiftStateNone}},   {U'|', {0x2B, kShiftStateShift}},
        {U'/', {0x35, kShiftStateNone}},    {U'?', {0x35, kShiftStateShift}},
        {U'\b', {0x0E, kShiftStateNone}},   {U'\n', {0x1C, kShiftStateCtrl}},  // Ctrl+Enter, before Ctrl+J
        {U'\x01', {0x1E, kShiftStateCtrl}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<unsigned>(c.c));
        const std::optional<KeyStroke> stroke = layout->strokeForChar(c.c);
        ASSERT_TRUE(stroke);
        EXPECT_EQ(stroke->scanCode, c.stroke.scanCode);
        EXPECT_EQ(stroke->shiftState, c.stroke.shiftState);
        EXPECT_EQ(layout->charForStroke(c.stroke.scanCode, c.stroke.shiftState), c.c);
        const std::vector<KeyStroke> strokes = layout->strokesForChar(c.c);
        ASSERT_FALSE(strokes.empty());
        EXPECT_EQ(strokes.front(), *stroke);
    }
}

TEST_F(UsLayout, NumericKeypadTypesDigitsToo)
{
    // The keypad's '/' has the 0xE0 prefix; its '*' does not.
    EXPECT_EQ(layout->charForStroke(0xE035, kShiftStateNone), U'/');
    const std::vector<KeyStroke> slashes = layout->strokesForChar(U'/');
    EXPECT_NE(std::find(slashes.begin(), slashes.end(), KeyStroke{0xE035, kShiftStateNone}), slashes.end());
    EXPECT_EQ(layout->charForStroke(0x37, kShiftStateNone), U'*');
}

TEST_F(UsLayout, CharactersNoKeyTypesGiveNothing)
{
    for (const char32_t c : {U'\u00E4', U'\u20AC', U'\u65E5', U'\U0001F5B1', U'\0'}) {
        SCOPED_TRACE(static_cast<unsigned>(c));
        EXPECT_EQ(layout->strokeForChar(c), std::nullopt);
        EXPECT_TRUE(layout->strokesForChar(c).empty());
    }
}

TEST_F(UsLayout, KeysThatTypeNothing)
{
    const struct {
        int scanCode;
        int shiftState;
    } cases[] = {
        {0x2A, kShiftStateNone},    // left Shift
        {0x3B, kShiftStateNone},    // F1
        {0xE038, kShiftStateNone},  // right Alt
        {0xE048, kShiftStateNone},  // cursor up
        {0x7F, kShiftStateNone},    // no key
        {0, kShiftStateNone},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scanCode);
        EXPECT_EQ(layout->charForStroke(c.scanCode, c.shiftState), std::nullopt);
    }
}

TEST_F(UsLayout, NamedLayoutKeepsItsName)
{
    EXPECT_EQ(layout->name(), "00000409");
    EXPECT_FALSE(layout->refresh());
}

// German: Alt Gr keys, and dead keys that stand for their accent and leave
// nothing pending for the next key.
TEST(WinKeyboardLayout, GermanAltGrAndDeadKeys)
{
    const auto layout = makeWinKeyboardLayout("00000407");
    ASSERT_NE(layout, nullptr);
    // Wine answers every layout with the tables of the X server's keyboard.
    if (layout->charForStroke(0x15, kShiftStateNone) != U'z')
        GTEST_SKIP() << "the system does not give the German layout's tables";
    const struct {
        char32_t c;
        KeyStroke stroke;
    } cases[] = {
        {U'z', {0x15, kShiftStateNone}},      {U'y', {0x2C, kShiftStateNone}},
        {U'@', {0x10, kShiftStateAltGr}},     {U'\u20AC', {0x12, kShiftStateAltGr}},
        {U'\u00E4', {0x28, kShiftStateNone}}, {U'\u00DF', {0x0C, kShiftStateNone}},
        {U'^', {0x29, kShiftStateNone}},      {U'\u00B4', {0x0D, kShiftStateNone}},
        {U'`', {0x0D, kShiftStateShift}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<unsigned>(c.c));
        EXPECT_EQ(layout->strokeForChar(c.c), c.stroke);
        EXPECT_EQ(layout->charForStroke(c.stroke.scanCode, c.stroke.shiftState), c.c);
    }
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(layout->charForStroke(0x29, kShiftStateNone), U'^');
        EXPECT_EQ(layout->charForStroke(0x12, kShiftStateNone), U'e');  // not an e with circumflex
    }
}

TEST(WinKeyboardLayout, MalformedLayoutIdsGiveNoLayout)
{
    for (const char* klid : {"", "409", "0000040G", "000004090"})
        EXPECT_EQ(makeWinKeyboardLayout(klid), nullptr) << klid;
}

TEST(WinKeyboardLayout, ActiveLayoutHasAName)
{
    const auto layout = makeActiveWinKeyboardLayout();
    ASSERT_NE(layout, nullptr);
    EXPECT_EQ(layout->name().size(), 8u);
    EXPECT_FALSE(layout->refresh());  // nothing switched it meanwhile
}

}  // namespace
}  // namespace cvk
