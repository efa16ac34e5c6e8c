// What the picture writes beside and under each button: captions, hover
// texts and their disabled colours, snippet and signature tips, and the
// hints over the function menus.

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "config/catalogue.h"
#include "config/descriptions.h"
#include "device/device_state.h"
#include "device/model_views.h"
#include "device/models.h"
#include "texts/text_table.h"

namespace cvk {
namespace {

constexpr DescriptionForm kCaption = DescriptionForm::Caption;
constexpr DescriptionForm kHover = DescriptionForm::Hover;

// Stands in for the key names under the active layout and records the words
// it was asked for.
struct FakeKeyText {
    std::vector<uint16_t> asked;
    KeyTextFn fn()
    {
        return [this](uint16_t w) {
            asked.push_back(w);
            char buf[16];
            std::snprintf(buf, sizeof buf, "KEY(%04X)", w);
            return std::string(buf);
        };
    }
};

DescribeContext buttonContext(int model, int n, uint8_t code, uint16_t keyWord = 0, bool receiver = false)
{
    DescribeContext c = describeContext(model, receiver);
    const bool nine = describesNineButtons(model, receiver);
    c.block[n] = code;
    c.block[(nine ? 31 : 5) + n] = static_cast<uint8_t>(keyWord & 0xFF);
    c.block[(nine ? 47 : 10) + n] = static_cast<uint8_t>(keyWord >> 8);
    return c;
}

// ---------------------------------------------------------------- buttons

struct ButtonCase {
    const char* name;
    int model;
    int button;
    uint8_t code;
    uint16_t keyWord;
    DescriptionForm form;
    const char* text;
    std::optional<Rgb> colour;
};

void PrintTo(const ButtonCase& c, std::ostream* os) { *os << c.name; }

class DescriptionButton : public ::testing::TestWithParam<ButtonCase> {};

TEST_P(DescriptionButton, TextAndColour)
{
    const ButtonCase& c = GetParam();
    FakeKeyText keys;
    const Description d =
        describe(buttonContext(c.model, c.button, c.code, c.keyWord), c.button, c.form, keys.fn());
    EXPECT_EQ(d.text, c.text);
    EXPECT_EQ(d.colour, c.colour);
}

// clang-format off
const ButtonCase kButtonCases[] = {
    {"Dorrin on/off switch",         kModelDorrin, 3, 0, 0, kCaption, "On / Off", kDisabledButtonNine},
    {"Dorrin on/off hover",          kModelDorrin, 3, 0, 0, kHover, "On / Off", kDisabledButtonNine},
    {"Dorrin button 2 disabled",     kModelDorrin, 2, 0, 0, kCaption, "The Button is Disabled.", kDisabledButtonNine},
    {"Cindel on/off switch",         kModelCindel, 3, 0, 0, kCaption, "On / Off", kDisabledButtonNine},
    {"Arvel button 3 disabled",      kModelArvel, 3, 0, 0, kCaption, "The Button is Disabled.", kDisabledButtonFive},
    {"Essom button 3 disabled",      kModelEssom, 3, 0, 0, kHover, "The Button is Disabled.", kDisabledButtonFive},
    {"click",                        kModelDorrin, 1, 1, 0, kCaption, "Click / Select", std::nullopt},
    {"right click",                  kModelArvel, 5, 2, 0, kCaption, "Right Click", std::nullopt},
    {"auto scroll",                  kModelDorrin, 1, 4, 0, kHover, "Auto Scroll /\u201DMiddle Button\u201D", std::nullopt},
    {"browse back",                  kModelDorrin, 4, 8, 0, kCaption, "Browse Back", std::nullopt},
    {"browse forward",               kModelDorrin, 6, 16, 0, kCaption, "Browse Forward", std::nullopt},
    {"double click",                 kModelDorrin, 7, 32, 0, kCaption, "Double Click", std::nullopt},
    {"cruise up",                    kModelCindel, 5, 64, 0, kCaption, "Cruise up", std::nullopt},
    {"cruise down",                  kModelCindel, 6, 128, 0, kCaption, "Cruise down", std::nullopt},
    {"scroll while held",            kModelArvel, 3, 192, 0, kCaption, "Scroll (Press key, move Pad)", std::nullopt},
    {"zoom out",                     kModelCindel, 9, 245, 0, kCaption, "Zooma out", std::nullopt},
    {"zoom in",                      kModelCindel, 1, 246, 0, kHover, "Zooma in", std::nullopt},
    {"signature",                    kModelCindel, 2, 248, 0, kCaption, "Signature", std::nullopt},
    {"click lock",                   kModelDorrin, 5, 249, 0, kCaption, "Click Lock", std::nullopt},
    {"switch screen",                kModelDorrin, 5, 250, 0, kCaption, "Switch Screen", std::nullopt},
    {"enhance more caption",         kModelDorrin, 1, 251, 0, kCaption, "Enhance Cursor Precision (More)", std::nullopt},
    {"enhance more hover",           kModelDorrin, 1, 251, 0, kHover, "Enhance Cursor Precision (Enhance More)", std::nullopt},
    {"enhance less caption",         kModelDorrin, 1, 252, 0, kCaption, "Enhance Cursor Precision (Less)", std::nullopt},
    {"enhance less hover",           kModelDorrin, 1, 252, 0, kHover, "Enhance Cursor Precision (Enhance Less)", std::nullopt},
    {"not a function code",          kModelDorrin, 1, 3, 0, kCaption, "", std::nullopt},
    {"code 253",                     kModelDorrin, 1, 253, 0, kHover, "", std::nullopt},
    {"multimedia mute",              kModelDorrin, 1, 254, 0x00E2, kCaption, "Mute", std::nullopt},
    {"multimedia calculator",        kModelArvel, 2, 254, 0x0192, kCaption, "Calculator", std::nullopt},
    {"multimedia usage 0",           kModelDorrin, 1, 254, 0x0000, kCaption, "", std::nullopt},
    {"multimedia 0x0106",            kModelDorrin, 1, 254, 0x0106, kCaption, "", std::nullopt},
    {"preset Ctrl+C",                kModelDorrin, 2, 255, 0x0106, kCaption, "Copy\tCtrl+C", std::nullopt},
    {"preset Ctrl+C on Arvel",       kModelArvel, 2, 255, 0x0106, kHover, "Copy\tCtrl+C", std::nullopt},
    {"preset Start+L",               kModelCindel, 4, 255, 0x800F, kCaption, "Lock Computer\tStart+L", std::nullopt},
    {"preset keypad 0",              kModelCindel, 4, 255, 0x0027, kCaption, "0", std::nullopt},
    {"Ctrl+D by key text",           kModelDorrin, 2, 255, 0x0107, kCaption, "KEY(0107)", std::nullopt},
    {"Ctrl+D by key text, Arvel",    kModelArvel, 1, 255, 0x0107, kHover, "KEY(0107)", std::nullopt},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Descriptions, DescriptionButton, ::testing::ValuesIn(kButtonCases));

TEST(DescriptionKeyWord, KeyTextOnlyWhenNoPresetMatches)
{
    FakeKeyText keys;
    describe(buttonContext(kModelDorrin, 2, kFnKeyboard, 0x0106), 2, kCaption, keys.fn());
    EXPECT_TRUE(keys.asked.empty());
    describe(buttonContext(kModelDorrin, 2, kFnKeyboard, 0x0107), 2, kCaption, keys.fn());
    EXPECT_EQ(keys.asked, std::vector<uint16_t>{0x0107});
    // Other codes never ask, even with key bytes present.
    describe(buttonContext(kModelDorrin, 2, kFnMultimedia, 0x0107), 2, kCaption, keys.fn());
    describe(buttonContext(kModelDorrin, 2, kFnRightClick, 0x0107), 2, kCaption, keys.fn());
    EXPECT_EQ(keys.asked.size(), 1u);
    // No key-text operation at hand: the word has no text.
    EXPECT_EQ(describe(buttonContext(kModelDorrin, 2, kFnKeyboard, 0x0107), 2, kCaption, nullptr).text, "");
}

struct LayoutCase {
    const char* name;
    int model;
    bool receiver;
    bool nine;
};

TEST(DescriptionKeyWord, ReadAtTheLayoutOfTheCatalogue)
{
    const LayoutCase cases[] = {
        {"Arvel", kModelArvel, false, false},
        {"old Arvel", kModelArvelOld, false, false},
        {"Essom", kModelEssom, false, false},
        {"Dorrin", kModelDorrin, false, true},
        {"Cindel", kModelCindel, false, true},
        {"Brill", kModelBrill, false, true},
        {"Arvel 2.0", kModelArvel2, false, true},
        {"receiver only", kModelReceiverOnly, true, true},
        {"Arvel behind the receiver", kModelArvel, true, true},
        {"no device", kModelNone, false, false},
    };
    for (const LayoutCase& c : cases) {
        DescribeContext ctx = describeContext(c.model, c.receiver);
        ctx.block[2] = kFnKeyboard;
        // Different words at the two layouts of button 2.
        ctx.block[7] = 0x07;
        ctx.block[12] = 0x01;
        ctx.block[33] = 0x08;
        ctx.block[49] = 0x01;
        FakeKeyText keys;
        describe(ctx, 2, kCaption, keys.fn());
        EXPECT_EQ(keys.asked, std::vector<uint16_t>{static_cast<uint16_t>(c.nine ? 0x0108 : 0x0107)})
            << c.name;
        EXPECT_EQ(describesNineButtons(c.model, c.receiver), c.nine) << c.name;
    }
}

TEST(DescriptionSnippet, ShowsTheSnippetTextUpToItsEnd)
{
    DescribeContext c = buttonContext(kModelCindel, 4, kFnTextSnippet);
    c.snippetText = u"Hej d\u00E5 \U0001F600";
    c.snippetText.push_back(u'\0');
    c.snippetText += u"rest";
    EXPECT_EQ(describe(c, 4, kCaption, nullptr).text, "Hej d\xC3\xA5 \xF0\x9F\x98\x80");
    EXPECT_EQ(describe(c, 4, kHover, nullptr).text, "Hej d\xC3\xA5 \xF0\x9F\x98\x80");
}

TEST(DescriptionSnippet, ContextTakesTheModelState)
{
    DeviceState d;
    d.deviceCount = 1;
    d.modelCode = kModelBrill;
    ConfigModel m;
    m.block[1] = kFnTextSnippet;
    const std::u16string text = u".com";
    std::copy(text.begin(), text.end(), m.snippetText.begin());
    const DescribeContext c = describeContext(d, m, 40);
    EXPECT_EQ(c.modelCode, kModelBrill);
    EXPECT_EQ(c.fadeLevel, 40);
    EXPECT_EQ(c.snippetText, u".com");
    EXPECT_EQ(describe(c, 1, kCaption, nullptr).text, ".com");
}

// ---------------------------------------------------------------- pad

struct PadCase {
    const char* name;
    int model;
    uint8_t pad;
    DescriptionForm form;
    int fade;
    const char* text;
    std::optional<Rgb> colour;
};

void PrintTo(const PadCase& c, std::ostream* os) { *os << c.name; }

class DescriptionPad : public ::testing::TestWithParam<PadCase> {};

TEST_P(DescriptionPad, LinesFromThePadByte)
{
    const PadCase& c = GetParam();
    DescribeContext ctx = describeContext(c.model, false);
    ctx.block[kPosPadFlags] = c.pad;
    ctx.fadeLevel = c.fade;
    const Description d = describe(ctx, 0, c.form, nullptr);
    EXPECT_EQ(d.text, c.text);
    EXPECT_EQ(d.colour, c.colour);
}

// clang-format off
const PadCase kPadCases[] = {
    {"all three caption",       kModelDorrin, 0x07, kCaption, 100, "Click / Select\rBrowse Back/Forward\rEnable Edge Scroll\r", std::nullopt},
    {"all three hover",         kModelDorrin, 0x07, kHover, 100, "Click / Select is enabled\rBrowse Back/Forward is enabled.\rScroll is enabled\r", std::nullopt},
    {"swap bit alone",          kModelDorrin, 0x08, kCaption, 100, "The Pad is disabled.", Rgb{254, 0, 0}},
    {"high bits carried",       kModelCindel, 0xF5, kCaption, 100, "Click / Select\rEnable Edge Scroll\r", std::nullopt},
    {"Essom 0x06 caption",      kModelEssom, 0x06, kCaption, 100, "The Pad is disabled.", Rgb{254, 0, 0}},
    {"Essom 0x06 hover",        kModelEssom, 0x06, kHover, 100, "Browse Back/Forward is enabled.\rScroll is enabled\r", std::nullopt},
    {"Essom 0x07 caption",      kModelEssom, 0x07, kCaption, 100, "Click / Select\r", std::nullopt},
    {"disabled fading in",      kModelDorrin, 0x00, kCaption, 50, "The Pad is disabled.", Rgb{127, 0, 0}},
    {"disabled faded out",      kModelArvel, 0x00, kCaption, 0, "The Pad is disabled.", Rgb{0, 0, 0}},
    {"disabled hover",          kModelArvel, 0x00, kHover, 10, "The Pad is disabled.", kPadDisabledHover},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Descriptions, DescriptionPad, ::testing::ValuesIn(kPadCases));

TEST(DescriptionRange, OutOfRangeButtonHasNoText)
{
    DescribeContext ctx;
    ctx.block.fill(1);
    EXPECT_EQ(describe(ctx, 10, kCaption, nullptr).text, "");
    EXPECT_EQ(describe(ctx, -1, kHover, nullptr).text, "");
}

// ---------------------------------------------------------------- tips

struct TipCase {
    const char* name;
    uint8_t code;
    int model;
    const char16_t* snippet;
    const char16_t* signature;
    std::optional<std::string> tip;
};

void PrintTo(const TipCase& c, std::ostream* os) { *os << c.name; }

class DescriptionTooltip : public ::testing::TestWithParam<TipCase> {};

TEST_P(DescriptionTooltip, Html)
{
    const TipCase& c = GetParam();
    EXPECT_EQ(textTooltip(c.code, c.model, c.snippet, c.signature), c.tip);
}

// clang-format off
const TipCase kTipCases[] = {
    {"Cindel snippet", 247, kModelCindel, u".com", u"Anna",
     "<font color=#4C4C4C><b>Text Snippets</b></font><br><hr color=#C3C3C3>.com<br><br>"},
    {"Brill signature", 248, kModelBrill, u".com", u"Anna \u00C5",
     "<font color=#4C4C4C><b>Signature</b></font><br><hr color=#C3C3C3>Anna \xC3\x85<br><br>"},
    {"no device snippet", 247, kModelNone, u"@", u"",
     "<i>Connect the USB cable to see the current signature</i><br><hr color=#C3C3C3><font color=#8F8F8F>@<br></font<br><br>"},
    {"no device signature", 248, kModelNone, u"@", u"Anna",
     "<i>Connect the USB cable to see the current signature</i><br><hr color=#C3C3C3><font color=#8F8F8F>Anna</font<br><br>"},
    {"Dorrin signature", 248, kModelDorrin, u"", u"Anna",
     "<i>Connect the USB cable to see the current signature</i><br><hr color=#C3C3C3><font color=#8F8F8F>Anna</font<br><br>"},
    {"empty signature hides", 247, kModelCindel, u".com", u"", std::nullopt},
    {"empty signature, signature", 248, kModelCindel, u"", u"", std::nullopt},
    {"other code", 255, kModelCindel, u".com", u"Anna", std::nullopt},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Descriptions, DescriptionTooltip, ::testing::ValuesIn(kTipCases));

// ---------------------------------------------------------------- translation

TEST(DescriptionTexts, FollowTheLanguageTable)
{
    CTextTable table;
    std::string file;
    for (int id = 1; id <= 238; ++id) {
        if (id == 212)
            file += "Klicklås";
        else if (id == 223)
            file += "Av / På";
        else if (id == 227)
            file += "Anslut";
        file += "\n";
    }
    table.loadLanguageText(file);
    setActiveTexts(&table);
    const std::string lock =
        describe(buttonContext(kModelDorrin, 5, kFnClickLock), 5, kCaption, nullptr).text;
    const std::string onOff =
        describe(buttonContext(kModelDorrin, 3, kFnDisabled), 3, kCaption, nullptr).text;
    const std::optional<std::string> tip = textTooltip(kFnSignature, kModelNone, u"", u"x");
    setActiveTexts(nullptr);
    EXPECT_EQ(lock, "Klicklås");
    EXPECT_EQ(onOff, "Av / På");
    EXPECT_EQ(tip, "<i>Anslut</i><br><hr color=#C3C3C3><font color=#8F8F8F>x</font<br><br>");
}

// ---------------------------------------------------------------- hints

TEST(HintTable, EveryRowNamesAMenuCommand)
{
    // Each hinted command is an item or submenu title of some menu.
    std::vector<std::vector<MenuItem>> menus;
    for (int model : {kModelDorrin, kModelCindel, kModelArvel}) {
        MenuContext c = menuContext(model, false);
        c.firmwareVersion = 0x400;
        c.ctrlHeld = true;
        for (int n : {0, 1}) {
            c.button = n;
            menus.push_back(buildMenu(c));
        }
    }
    for (const HintRow& row : kMenuHints) {
        bool found = false;
        for (const auto& m : menus)
            found = found || findMenuItem(m, row.command) != nullptr;
        EXPECT_TRUE(found) << row.command;
    }
}

struct HintCase {
    int command;
    const char* item;
    std::optional<std::string> tip;
};

TEST(HintTable, TipFromTheItemTextAndExplanation)
{
    const std::string head = "<font color=#4C4C4C><b>";
    const std::string rule = "</b></font><br><hr color=#C3C3C3>";
    const std::string precision =
        "Enhance cursor Precision reduces the cursor speed. This can be useful for CAD users "
        "as moving the cursor pixel-for-pixel becomes very easy.";
    const std::string endSwitch =
        "The End Switch makes the cursor move towards the side of the screen when the mouse "
        "pad reaches its end position at the same side. The cursor speed can be adjusted or "
        "turned off.";
    const HintCase cases[] = {
        {30016, "Cruise up",
         head + "Cruise up" + rule +
             "Cruise up provide you with an automatic function for scrolling up in a document "
             "when you press the button.<br><br>"},
        {30020, "Scroll (Press key, move Pad)",
         head + "Scroll (Press key, move Pad)" + rule +
             "Press the button and move the mouse pad up or down.<br><br>"},
        {30024, "Enhance Less", head + "Enhance Less" + rule + precision + "<br><br>"},
        {30025, "Enhance More", head + "Enhance More" + rule + precision + "<br><br>"},
        {30026, "Enhance Cursor Precision",
         head + "Enhance Cursor Precision" + rule + precision + "<br><br>"},
        {30031, "Off", head + "Off" + rule + endSwitch + "<br><br>"},
        {30034, "End Switch", head + "End Switch" + rule + endSwitch + "<br><br>"},
        {20200, "Other keys...",
         head + "Other keys..." + rule +
             "You can program a combination of buttons, e.g. Ctrl-S (save), Ctrl-Alt-Delete (opens Task "
             "Manager in "
             "Windows XP), Start-D (opens the desktop), etc.<br><br>"},
        {30010, "Click / Select", std::nullopt},
        {30063, "Alternate method", std::nullopt},
        {20104, "Copy\tCtrl+C", std::nullopt},
        {0, "", std::nullopt},
    };
    for (const HintCase& c : cases)
        EXPECT_EQ(menuHint(c.command, c.item), c.tip) << c.command;
    // The explanations that the menus of the pad show.
    EXPECT_NE(menuHint(30019, "Enable Edge Scroll")->find("far right of the pad and pull up/down. When"),
              std::string::npos);
    EXPECT_NE(menuHint(30018, "Browse")->find("gives webpage back"), std::string::npos);
    EXPECT_NE(menuHint(30029, "Edge Scroll Precision")->find("Edge Scroll Precision can be set"),
              std::string::npos);
    EXPECT_NE(menuHint(30021, "Keyboard")->find("select More\u2026 to display"), std::string::npos);
    EXPECT_NE(menuHint(30035, "Switch Screen")->find("When two screens are used"), std::string::npos);
    EXPECT_NE(menuHint(30017, "Cruise down")->find("scrolling down"), std::string::npos);
}

TEST(HintTable, SearchedFromTheLastRow)
{
    const HintRow rows[] = {{30016, 66}, {30024, 70}, {30016, 67}, {30017, 68}};
    ASSERT_NE(findHintRow(rows, 30016), nullptr);
    EXPECT_EQ(findHintRow(rows, 30016), &rows[2]);
    EXPECT_EQ(findHintRow(rows, 30017), &rows[3]);
    EXPECT_EQ(findHintRow(rows, 30024), &rows[1]);
    EXPECT_EQ(findHintRow(rows, 30025), nullptr);
    EXPECT_EQ(findHintRow({}, 30016), nullptr);
    EXPECT_EQ(kMenuHints.size(), 18u);
}

}  // namespace
}  // namespace cvk
