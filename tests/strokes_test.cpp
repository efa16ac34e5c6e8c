// Text to key strokes and back, the signature tables and the signature
// dialog's caption and limit, on real xkb layouts.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "config/config_model.h"
#include "keys/strokes.h"
#include "test_support.h"

namespace cvk {
namespace {

IKeyboardLayout& layout(const std::string& name) { return test::namedLayout(name); }

std::vector<Stroke> strokesOf(const StrokeConversion& c)
{
    return {c.strokes.begin(), c.strokes.begin() + c.count};
}

TEST(StrokesText, ConvertsCharactersOnTheGivenLayout)
{
    CVK_NEED_LAYOUTS("de", "se");
    struct Case {
        const char* layout;
        std::u16string text;
        std::vector<Stroke> strokes;
        int limit;
    };
    const Case cases[] = {
        {"us", u"Ab", {{0x04, kStrokeShift}, {0x05, kStrokePlain}}, 254},
        {"us", u"a\r\nb", {{0x04, 0}, {0x28, 0}, {0x05, 0}}, 255},
        {"us", u"a\rb", {{0x04, 0}, {0x28, 0}, {0x05, 0}}, 255},
        {"us", u"\r\n\r\n", {{0x28, 0}, {0x28, 0}}, 256},
        {"se", u"@", {{0x1F, kStrokeAltGr}}, 254},
        {"us", u"@", {{0x1F, kStrokeShift}}, 254},
        {"de", u"@", {{0x14, kStrokeAltGr}}, 254},
        {"se", u"\u00e5\u00c4", {{0x2F, 0}, {0x34, kStrokeShift}}, 254},
        // The main block wins over the keypad, which has no usage here.
        {"us", u"*/+-", {{0x25, kStrokeShift}, {0x38, 0}, {0x2E, kStrokeShift}, {0x2D, 0}}, 254},
        {"us", u"\\", {{0x32, 0}}, 254},
        {"us", u"\t ", {{0x2B, 0}, {0x2C, 0}}, 254},
        // A dead key types its accent.
        {"se", u"\u00b4", {{0x2E, 0}}, 254},
        // The ISO key beside left Shift has no usage; characters without a
        // key give nothing, and neither do surrogate halves.
        {"se", u"<|>x", {{0x1B, 0}}, 254},
        {"us", u"\u20ac\U0001F600", {}, 254},
        {"us", u"", {}, 254},
    };
    for (const Case& c : cases) {
        const StrokeConversion r = textToStrokes(c.text, layout(c.layout));
        EXPECT_EQ(strokesOf(r), c.strokes) << c.layout << " case " << (&c - cases);
        EXPECT_EQ(r.lengthLimit, c.limit) << c.layout << " case " << (&c - cases);
    }
}

TEST(StrokesText, KeepsTheFirst254StrokesButCountsEveryLineBreak)
{
    std::u16string text(300, u'a');
    text += u"\r\nb\r\n";
    const StrokeConversion r = textToStrokes(text, layout("us"));
    EXPECT_EQ(r.count, 254);
    EXPECT_EQ(r.lengthLimit, 256);
    EXPECT_EQ(signatureLengthByte(r.count), 255);
    EXPECT_EQ(signatureLengthByte(1000), 255);
    EXPECT_EQ(signatureLengthByte(0), 1);
}

TEST(StrokesModifier, OnlyTheFourShiftStatesMap)
{
    const uint8_t expected[8] = {0x00, 0x02, 0x01, 0x00, 0x40, 0x00, 0x41, 0x00};
    for (int s = 0; s < 8; ++s)
        EXPECT_EQ(strokeModifier(s), expected[s]) << s;
}

struct StrokesTables : ::testing::Test {
    ConfigModel model;
};

TEST_F(StrokesTables, OkLaysTheStrokesOutInReverse)
{
    model.strokeUsages.fill(0xEE);
    model.strokeModifiers.fill(0xEE);
    EXPECT_EQ(applySignature(model, u"Ab", layout("us")), 2);
    EXPECT_EQ(model.block[kPosSignatureLength], 3);
    StrokeTable usages{}, modifiers{};
    usages[3] = 0x04;
    modifiers[3] = 0x02;
    usages[2] = 0x05;
    EXPECT_EQ(model.strokeUsages, usages);
    EXPECT_EQ(model.strokeModifiers, modifiers);
    EXPECT_EQ(signatureString(model), u"Ab");
    // Assigning the function and the pending flag is the caller's.
    EXPECT_FALSE(model.textPending);
}

TEST_F(StrokesTables, EmptyTextClearsBothTables)
{
    applySignature(model, u"abc", layout("us"));
    EXPECT_EQ(applySignature(model, u"", layout("us")), 0);
    EXPECT_EQ(model.block[kPosSignatureLength], 1);
    EXPECT_EQ(model.strokeUsages, StrokeTable{});
    EXPECT_EQ(model.strokeModifiers, StrokeTable{});
    EXPECT_EQ(signatureString(model), u"");
}

TEST_F(StrokesTables, FullSignatureFillsIndices255DownTo2)
{
    std::u16string text(260, u'b');
    text[0] = u'A';
    applySignature(model, text, layout("us"));
    EXPECT_EQ(model.block[kPosSignatureLength], 255);
    EXPECT_EQ(model.strokeUsages[255], 0x04);
    EXPECT_EQ(model.strokeModifiers[255], 0x02);
    EXPECT_EQ(model.strokeUsages[2], 0x05);
    EXPECT_EQ(model.strokeUsages[1], 0);
    EXPECT_EQ(model.strokeUsages[0], 0);
    // The text itself is kept whole up to the buffer's 511 units.
    EXPECT_EQ(signatureString(model), text);
}

TEST_F(StrokesTables, TextIsCutToTheBuffer)
{
    const std::u16string text(600, u'x');
    applySignature(model, text, layout("us"));
    EXPECT_EQ(signatureString(model), text.substr(0, 511));
    EXPECT_EQ(model.signatureText[511], u'\0');
}

TEST_F(StrokesTables, ReadBackGivesTypingOrderWithCrLf)
{
    CVK_NEED_LAYOUTS("se");
    const std::u16string text = u"Hej @ \u00e5\u00c4!\r\nRad 2\r\n";
    applySignature(model, text, layout("se"));
    model.signatureText.fill(0);
    rebuildSignatureText(model, layout("se"));
    EXPECT_EQ(signatureString(model), text);
}

TEST_F(StrokesTables, ReadBackUsesTheLayoutActiveWhenReading)
{
    CVK_NEED_LAYOUTS("de", "se");
    applySignature(model, u"y@z\u00b4", layout("se"));
    // On "de" Y and Z trade places; "us" has no Alt Gr, so the at sign
    // types nothing there and is skipped; the dead acute key of "se" is
    // "=" on "us".
    EXPECT_EQ(strokesToText(model.strokeUsages, model.strokeModifiers, layout("de")), u"z\u00b2y\u00b4");
    EXPECT_EQ(strokesToText(model.strokeUsages, model.strokeModifiers, layout("us")), u"yz=");
}

TEST(StrokesReadBack, SkipsStrokesWithoutACharacter)
{
    CVK_NEED_LAYOUTS("se");
    StrokeTable usages{}, modifiers{};
    usages[0] = 0x04;  // index 0 is never a stroke
    usages[1] = 0x05;  // b
    usages[5] = 0x3A;  // F1: not in the scan-code table
    usages[6] = 0x31;  // the ANSI backslash usage: not in the table either
    usages[7] = 0x06;  // c with an unknown modifier types plain c
    modifiers[7] = 0x80;
    usages[8] = 0x28;  // Enter
    usages[9] = 0x07;  // d with Ctrl: a control character
    modifiers[9] = 0x01;
    EXPECT_EQ(strokesToText(usages, modifiers, layout("us")),
              u"\x04\r\nc"
              u"b");
    EXPECT_EQ(strokeToChar(0, 0, layout("us")), std::nullopt);
    EXPECT_EQ(strokeToChar(0x1F, 0x41, layout("se")), U'@');
    EXPECT_EQ(strokeToChar(0x1F, 0x40, layout("se")), U'2');
}

TEST(StrokesSignatureDialog, CaptionAndLimitFollowTheText)
{
    IKeyboardLayout& us = layout("us");
    SignatureDialogModel d("Signature", u"old");
    EXPECT_EQ(d.caption(), "Signature");
    EXPECT_EQ(d.lengthLimit(), 254);
    d.textChanged(u"a\r\nb", us);
    EXPECT_EQ(d.caption(), "Signature (3/254)");
    EXPECT_EQ(d.lengthLimit(), 255);
    EXPECT_EQ(d.strokeCount(), 3);
    d.textChanged(std::u16string(400, u'a'), us);
    EXPECT_EQ(d.caption(), "Signature (254/254)");
    EXPECT_EQ(d.lengthLimit(), 254);
}

TEST(StrokesSignatureDialog, LongStoredTextRaisesTheInitialLimit)
{
    EXPECT_EQ(SignatureDialogModel("S", std::u16string(254, u'a')).lengthLimit(), 254);
    EXPECT_EQ(SignatureDialogModel("S", std::u16string(255, u'a')).lengthLimit(), 255);
    EXPECT_EQ(SignatureDialogModel("S", std::u16string(400, u'a')).lengthLimit(), 400);
}

}  // namespace
}  // namespace cvk

namespace cvk {
namespace {

TEST(StrokesUtf8, CommandLineTextBecomesUtf16)
{
    EXPECT_EQ(utf16FromUtf8("Ab\r\n"), u"Ab\r\n");
    EXPECT_EQ(utf16FromUtf8("\xc3\xa5@\xe2\x82\xac\xf0\x9f\x98\x80"), u"\u00e5@\u20ac\U0001F600");
    // Truncated, stray continuation, overlong and surrogate sequences.
    EXPECT_EQ(utf16FromUtf8("a\xc3"), u"a\uFFFD");
    EXPECT_EQ(utf16FromUtf8("\x80z"), u"\uFFFDz");
    EXPECT_EQ(utf16FromUtf8("\xc0\xafz"), u"\uFFFD\uFFFDz");
    EXPECT_EQ(utf16FromUtf8("\xed\xa0\x80"), u"\uFFFD\uFFFD\uFFFD");
}

}  // namespace
}  // namespace cvk
