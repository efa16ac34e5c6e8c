// Menu commands on the working block: the assignment rules, the settings
// toggles and the dialogs, end to end against simulated devices.

#include <gtest/gtest.h>

#include <fmt/format.h>

#include "app/main_controller.h"
#include "config/catalogue.h"
#include "keys/strokes.h"
#include "platform/memory_settings_store.h"
#include "test_support.h"

namespace cvk {
namespace {

class AnsweringView : public test::RecordingView {
public:
    MessageAnswer messageBox(const std::string& caption, const std::string& text, MessageStyle style) override
    {
        messages.push_back(caption + "|" + text);
        return isQuestion(style) ? (yes ? MessageAnswer::Yes : MessageAnswer::No) : MessageAnswer::Ok;
    }
    std::optional<uint16_t> askKeyCombination(uint16_t current) override
    {
        askedWord = current;
        return keyWord;
    }
    std::optional<std::u16string> askSignature(const std::u16string&) override { return signature; }
    std::vector<std::string> messages;
    bool yes = true;
    std::optional<uint16_t> keyWord;
    std::optional<uint16_t> askedWord;
    std::optional<std::u16string> signature;
};

struct CommandFixture : test::ControllerRig<AnsweringView> {
    std::unique_ptr<IKeyboardLayout> layoutUs;

    explicit CommandFixture(const char* device,
                            std::unique_ptr<IKeyboardLayout> layout = test::makeNamedLayout("us"))
        : test::ControllerRig<AnsweringView>(layout.get()), layoutUs(std::move(layout))
    {
        sim.attach(device);
        store.writeInt("Profile", "NumberOfProfiles", 0);
        store.writeInt("Profile", "NumberOfProfiles.F", 0);
        start();
        sim.transcript().clear();
    }
    // Button n's menu was opened and `command` chosen.
    void choose(int n, int command)
    {
        config().currentButton = n;
        c.handleCommand(command);
    }
};

// ------------------------------------------------------- Click/Select rule

struct RuleCase {
    const char* name;
    uint8_t pad;
    std::vector<std::pair<int, uint8_t>> buttons;  // position, code
    int n;
    int command;
    bool allowed;
    uint8_t result;  // position n afterwards when allowed
};

class ClickSelectRule : public ::testing::TestWithParam<RuleCase> {};

TEST_P(ClickSelectRule, KeepsOneClickSelect)
{
    const RuleCase& r = GetParam();
    CommandFixture f("essom");
    auto& block = f.config().block;
    for (int b = 1; b <= 5; ++b)
        block[b] = kFnRightClick;
    block[0] = r.pad;
    for (auto [position, code] : r.buttons)
        block[position] = code;
    const auto before = block;
    f.choose(r.n, r.command);
    if (r.allowed) {
        EXPECT_TRUE(f.view.messages.empty());
        EXPECT_EQ(block[r.n], r.result);
    } else {
        ASSERT_EQ(f.view.messages.size(), 1u);
        EXPECT_EQ(
            f.view.messages[0],
            "Corvane|At least one device button or the Pad must be used to Click/Select.\r\nChange another "
            "button assignment to \"Click/Select\" before you change this one.");
        EXPECT_EQ(block, before);
    }
    EXPECT_EQ(f.config().currentButton, -1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ClickSelectRule,
    ::testing::Values(
        RuleCase{"pad_click_off_without_any_button", 0x05, {}, 0, kCmdPadClick, false, 0},
        RuleCase{"button_disabled_while_the_pad_clicks", 0x05, {}, 3, kCmdDisable, true, 0},
        RuleCase{"only_click_button_to_right_click", 0x00, {{2, kFnClick}}, 2, kCmdRightClick, false, 0},
        RuleCase{"only_click_button_to_click_again", 0x00, {{2, kFnClick}}, 2, kCmdClick, true, 1},
        RuleCase{"pad_off_with_a_click_button", 0x05, {{4, kFnClick}}, 0, kCmdPadClick, true, 0x04},
        RuleCase{"pad_browse_keeps_its_click_bit", 0x01, {}, 0, kCmdPadBrowse, true, 0x03}),
    [](const auto& p) { return std::string(p.param.name); });

// ------------------------------------------------------- settings toggles

TEST(FunctionCommands, PadAndSettingToggles)
{
    struct Case {
        int position;
        uint8_t before;
        int command;
        uint8_t after;
    };
    const Case cases[] = {
        {0, 0x07, kCmdPadEdgeScroll, 0x01},  {0, 0x01, kCmdPadEdgeScroll, 0x05},
        {18, 4, kCmdAvoidEdgesToggle, 5},    {18, 0, kCmdAvoidEdgesToggle, 4},
        {18, 1, kCmdAvoidEdgesToggle, 4},    {18, 2, kCmdAvoidEdgesToggle, 4},
        {18, 5, kCmdAvoidEdgesToggle, 4},    {17, 0, kCmdEndSwitchIncreasing, 2},
        {18, 0, kCmdResolutionFirst + 2, 2}, {0, 0x07, kCmdSwapButtons, 0x0F},
    };
    for (const Case& c : cases) {
        CommandFixture f("essom");
        f.config().block[1] = kFnClick;
        f.config().block[c.position] = c.before;
        f.choose(0, c.command);
        EXPECT_EQ(f.config().block[c.position], c.after) << c.command << " on " << int(c.before);
    }
}

TEST(FunctionCommands, PrecisionResetsScrollSpeedOnlyWhenItChanges)
{
    struct Case {
        uint8_t precision;
        int command;
        uint8_t speedAfter;
    };
    for (const Case& c : {Case{32, kCmdPrecisionLow, 99}, Case{16, kCmdPrecisionLow, 16},
                          Case{32, kCmdPrecisionEnhanced, 38}, Case{16, kCmdPrecisionEnhanced, 99}}) {
        CommandFixture f("cindel");
        f.config().block[kPosEdgePrecision] = c.precision;
        f.config().block[kPosScrollSpeed] = 99;
        f.choose(0, c.command);
        EXPECT_EQ(f.config().block[kPosScrollSpeed], c.speedAfter)
            << c.command << " from " << int(c.precision);
        EXPECT_EQ(f.config().block[kPosEdgePrecision], c.command == kCmdPrecisionLow ? 32 : 16);
    }
}

TEST(FunctionCommands, AlternateEndSwitchKeepsTheButtonCurrent)
{
    CommandFixture f("dorrin");
    f.choose(0, kCmdEndSwitchAlternate);
    EXPECT_EQ(f.config().block[kPosEndSwitch], 17);
    EXPECT_EQ(f.config().currentButton, 0);
}

// ------------------------------------------------------- key bytes

TEST(FunctionCommands, KeyBytesLowBeforeHighAndClearedForMouseCodes)
{
    CommandFixture f("arvel-old:fw=0x2FE");  // single bytes reach the device at this firmware
    f.config().block[0] = 0x01;
    f.choose(2, kCmdPresetFirst + 3);  // a preset key word
    const uint16_t word = presetKeyWord(3);
    EXPECT_EQ(f.config().block[2], kFnKeyboard);
    EXPECT_EQ(f.config().block[7], word & 0xFF);
    EXPECT_EQ(f.config().block[12], word >> 8);
    f.sim.transcript().clear();
    f.choose(2, kCmdDoubleClick);
    std::vector<std::string> sent;
    for (const auto& l : f.sim.transcript().lines())
        if (l.kind == "set-feature")
            sent.push_back(l.text().substr(l.text().find("set-feature")));
    EXPECT_EQ(sent, (std::vector<std::string>{"set-feature 00 02 20", "set-feature 00 07 00",
                                              "set-feature 00 0C 00"}));
}

TEST(FunctionCommands, KeyboardDialogGetsTheCurrentWord)
{
    CommandFixture f("dorrin");
    f.config().block[32 + 1] = 0x06;  // button 2: key low at 33, high at 49
    f.config().block[48 + 1] = 0x01;
    f.view.keyWord = 0x0504;
    f.choose(2, kCmdOtherKeys);
    EXPECT_EQ(f.view.askedWord, 0x0106);
    EXPECT_EQ(f.config().block[2], kFnKeyboard);
    EXPECT_EQ(f.config().block[33], 0x04);
    EXPECT_EQ(f.config().block[49], 0x05);

    f.view.keyWord.reset();
    const auto before = f.config().block;
    f.choose(2, kCmdOtherKeys);
    EXPECT_EQ(f.config().block, before);
}

TEST(FunctionCommands, SnippetKeystrokesAreSharedByTwoSnippetButtons)
{
    for (bool yes : {true, false}) {
        CommandFixture f("cindel");
        f.view.yes = yes;
        f.choose(9, kCmdSnippetFirst + 0);
        ASSERT_EQ(f.config().block[9], kFnTextSnippet);
        f.view.messages.clear();
        const auto before = f.config().block;
        f.choose(2, kCmdSnippetFirst + 3);
        ASSERT_EQ(f.view.messages.size(), 1u);
        EXPECT_EQ(
            f.view.messages[0],
            "Another button is programmed with the this function.|Only one button can be assigned to snippet "
            "function. If you proceed, the text will be overwritten. Do you want to continue?");
        if (!yes) {
            EXPECT_EQ(f.config().block, before);
            continue;
        }
        EXPECT_EQ(f.config().block[9], kFnTextSnippet);
        EXPECT_EQ(f.config().block[2], kFnTextSnippet);
        EXPECT_TRUE(std::equal(snippetPreset(3).strokes.begin(), snippetPreset(3).strokes.end(),
                               f.config().block.begin() + kPosSnippetStrokes));
        EXPECT_TRUE(f.config().textPending);
    }
}

TEST(FunctionCommands, NoDeviceShowsTheCableMessage)
{
    CommandFixture f("dorrin");
    f.sim.unplug(kModelDorrin);
    deviceScan(f.link());
    f.view.messages.clear();
    const auto before = f.config().block;
    f.choose(2, kCmdRightClick);
    EXPECT_EQ(f.view.messages,
              std::vector<std::string>{"|Connect the USB cable to change the function of a button."});
    EXPECT_EQ(f.config().block, before);
    EXPECT_EQ(f.config().currentButton, -1);
}

// ------------------------------------------------------- end to end

TEST(FunctionCommands, DorrinRightClickReachesAddress34)
{
    CommandFixture f("dorrin");
    f.choose(2, kCmdRightClick);
    ASSERT_TRUE(f.c.writeSequence());
    bool written = false;
    for (const auto& l : f.sim.transcript().lines())
        written = written || l.text().ends_with("08 out 82 0E 1C 39 22 02 00 00");
    EXPECT_TRUE(written);
    EXPECT_EQ(f.sim.find(kModelDorrin)->block()[2], kFnRightClick);
}

TEST(FunctionCommands, CindelSignatureTravelsAndComesBack)
{
    CommandFixture f("cindel");
    f.view.signature = u"Ab\r\nc";
    f.choose(5, kCmdSignature);
    ASSERT_EQ(f.config().block[5], kFnSignature);
    EXPECT_TRUE(f.config().textPending);
    EXPECT_EQ(f.config().block[kPosSignatureLength], 5);  // four strokes + 1
    f.sim.transcript().clear();
    ASSERT_TRUE(f.c.writeSequence());
    std::vector<std::string> text;
    for (const auto& l : f.sim.transcript().lines())
        if (l.kind == "out" && (l.bytes[0] == 0x94 || l.bytes[0] == 0x95))
            text.push_back(fmt::format("{:02X} {:02X}", l.bytes[0], l.bytes[4]));
    ASSERT_EQ(text.size(), 512u);
    for (int i = 0; i < 512; ++i)
        EXPECT_EQ(text[i], fmt::format("{} {:02X}", i < 256 ? "94" : "95", i % 256)) << i;
    EXPECT_FALSE(f.config().textPending);

    // A fresh read gives the text back in typing order.
    f.config().signatureText.fill(0);
    f.c.handleCommand(kCmdRefresh);
    EXPECT_EQ(signatureString(f.config()), u"Ab\r\nc");
}

}  // namespace
}  // namespace cvk
