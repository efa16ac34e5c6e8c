// The xkbcommon layout backend: named layouts from xkb-data and the
// session layout from the keyboard configuration files.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "keys/strokes.h"
#include "platform/linux/xkb_layout.h"

namespace cvk {
namespace {

namespace fs = std::filesystem;

}  // namespace

void PrintTo(const KeyStroke& k, std::ostream* os) { *os << std::hex << k.scanCode << '/' << k.shiftState; }

namespace {

TEST(XkbLayout, UnknownLayoutIsRefused)
{
    EXPECT_EQ(makeXkbLayout("no-such-layout"), nullptr);
    EXPECT_EQ(makeXkbLayoutFromName("de(no-such-variant)"), nullptr);
}

TEST(XkbLayout, NamesWithAndWithoutVariant)
{
    auto de = makeXkbLayoutFromName("de(nodeadkeys)");
    ASSERT_NE(de, nullptr);
    EXPECT_EQ(de->name(), "de(nodeadkeys)");
    EXPECT_EQ(makeXkbLayout("se")->name(), "se");
    EXPECT_FALSE(de->refresh());  // a named layout never changes
}

TEST(XkbLayout, CharactersOfKeysInShiftStates)
{
    struct Case {
        const char* layout;
        int scanCode, shiftState;
        char32_t c;  // 0: types nothing
    };
    const Case cases[] = {
        {"us", 0x03, kShiftStateNone, U'2'},
        {"us", 0x03, kShiftStateShift, U'@'},
        {"us", 0x03, kShiftStateAltGr, 0},  // right Alt is plain Alt on "us"
        {"us", 0x1E, kShiftStateCtrl, 0x01},
        {"us", 0x1E, kShiftStateAlt, U'a'},
        {"se", 0x03, kShiftStateAltGr, U'@'},
        {"se", 0x03, kShiftStateAltGr | kShiftStateShift, U'\u00b2'},
        {"se", 0x0D, kShiftStateNone, U'\u00b4'},  // dead acute
        {"se", 0x0D, kShiftStateShift, U'`'},      // dead grave
        {"se", 0x56, kShiftStateNone, U'<'},
        {"us", 0x1C, kShiftStateNone, U'\r'},
        {"us", 0x1C, kShiftStateCtrl, U'\n'},  // as typed: Ctrl+Enter is the line feed's key
        {"se", 0x1C, kShiftStateCtrl, U'\n'},
        {"us", 0xE01C, kShiftStateCtrl, U'\n'},
        {"se", 0x1C, kShiftStateAltGr, 0},    // Enter has no Alt Gr level
        {"se", 0xE035, kShiftStateAltGr, 0},  // nor the keypad
        {"se", 0xE035, kShiftStateNone, U'/'},
        {"se", 0x3B, kShiftStateNone, 0},  // F1
        {"se", 0x54, kShiftStateNone, 0},  // not a key of the keyboard
        {"se", 0x1E, 8, 0},
    };
    for (const Case& c : cases) {
        auto l = makeXkbLayout(c.layout);
        const auto got = l->charForStroke(c.scanCode, c.shiftState);
        EXPECT_EQ(got.value_or(0), c.c)
            << c.layout << " " << std::hex << c.scanCode << " state " << c.shiftState;
        EXPECT_NE(got, std::optional<char32_t>(0));
    }
}

TEST(XkbLayout, KeyForCharacterPrefersPlainStatesAndTheMainBlock)
{
    struct Case {
        const char* layout;
        char32_t c;
        KeyStroke stroke;
    };
    const Case cases[] = {
        {"us", U'a', {0x1E, kShiftStateNone}},      {"us", U'A', {0x1E, kShiftStateShift}},
        {"us", U'*', {0x09, kShiftStateShift}},     {"us", U'/', {0x35, kShiftStateNone}},
        {"us", U'\r', {0x1C, kShiftStateNone}},     {"us", U'\n', {0x1C, kShiftStateCtrl}},
        {"us", U'\x01', {0x1E, kShiftStateCtrl}},   {"se", U'@', {0x03, kShiftStateAltGr}},
        {"se", U'\u00b4', {0x0D, kShiftStateNone}}, {"se", U'|', {0x56, kShiftStateAltGr}},
        {"fr", U'1', {0x02, kShiftStateShift}},     {"fr", U'&', {0x02, kShiftStateNone}},
    };
    for (const Case& c : cases) {
        auto l = makeXkbLayout(c.layout);
        const auto got = l->strokeForChar(c.c);
        ASSERT_TRUE(got.has_value()) << c.layout << " U+" << std::hex << static_cast<uint32_t>(c.c);
        EXPECT_EQ(*got, c.stroke) << c.layout << " U+" << std::hex << static_cast<uint32_t>(c.c);
    }
    EXPECT_EQ(makeXkbLayout("us")->strokeForChar(U'\u00e5'), std::nullopt);
}

// What a signature's strokes read back as is what they were made from, for
// every character the layout has a key for.
TEST(XkbLayout, TextThroughStrokesReadsBackTheSame)
{
    struct Case {
        const char* layout;
        std::u16string text;
    };
    const Case cases[] = {
        {"us", u"Anna\r\nSvensson"},
        {"us", u"line\nfeed"},  // Ctrl+Enter
        {"us", u"\r\n\n\r\n"},
        {"se", u"\u00c5sa \u00d6berg\n@\u20ac\u00b4"},
        {"de", u"Gr\u00fc\u00dfe\n\u00a7"},
    };
    for (const Case& c : cases) {
        auto l = makeXkbLayout(c.layout);
        StrokeTable usages{}, modifiers{};
        fillStrokeTables(textToStrokes(c.text, *l), usages, modifiers);
        EXPECT_EQ(strokesToText(usages, modifiers, *l), c.text) << c.layout;
    }
}

TEST(XkbLayout, EvdevKeyNumbers)
{
    EXPECT_EQ(evdevKeyForScanCode(0x01), 1);
    EXPECT_EQ(evdevKeyForScanCode(0x56), 86);
    EXPECT_EQ(evdevKeyForScanCode(0x58), 88);
    EXPECT_EQ(evdevKeyForScanCode(0xE038), 100);
    EXPECT_EQ(evdevKeyForScanCode(0xE05D), 127);
    EXPECT_EQ(evdevKeyForScanCode(0x54), 0);
    EXPECT_EQ(evdevKeyForScanCode(0x38 + 0xE100), 0);
}

// Configuration files in a scratch directory.
class XkbSession : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("cvk-xkb-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
        sources_.useEnvironment = false;
        sources_.debianKeyboard = (dir_ / "keyboard").string();
        sources_.xorgKeyboard = (dir_ / "00-keyboard.conf").string();
        sources_.vconsole = (dir_ / "vconsole.conf").string();
        sources_.consoleToX11Map = (dir_ / "kbd-model-map").string();
    }
    void TearDown() override { fs::remove_all(dir_); }
    void write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

    fs::path dir_;
    SessionLayoutSources sources_;
};

TEST_F(XkbSession, SourcesInOrder)
{
    EXPECT_EQ(sessionLayoutName(sources_), (XkbLayoutName{"us", ""}));

    write(sources_.consoleToX11Map,
          "# console\tx11\tmodel\tvariant\toptions\n"
          "de\t\t\tde\tpc105\t\t-\t\tterminate:ctrl_alt_bksp\n"
          "de-latin1-nodeadkeys\tde\tpc105\t\tnodeadkeys\tterminate:ctrl_alt_bksp\n");
    write(sources_.vconsole, "FONT=eurlatgr\nKEYMAP=de-latin1-nodeadkeys\n");
    EXPECT_EQ(sessionLayoutName(sources_), (XkbLayoutName{"de", "nodeadkeys"}));

    write(sources_.vconsole, "KEYMAP=de\nXKBLAYOUT=fr\nXKBVARIANT=\n");
    EXPECT_EQ(sessionLayoutName(sources_), (XkbLayoutName{"fr", ""}));

    write(sources_.xorgKeyboard,
          "Section \"InputClass\"\n"
          "        Identifier \"system-keyboard\"\n"
          "        MatchIsKeyboard \"on\"\n"
          "        Option \"XkbLayout\" \"gb\"\n"
          "EndSection\n");
    EXPECT_EQ(sessionLayoutName(sources_), (XkbLayoutName{"gb", ""}));

    write(sources_.debianKeyboard,
          "# KEYBOARD CONFIGURATION "
          "FILE\n\nXKBMODEL=\"pc105\"\nXKBLAYOUT=\"se,us\"\nXKBVARIANT=\"nodeadkeys,\"\n"
          "XKBOPTIONS=\"\"\n");
    EXPECT_EQ(sessionLayoutName(sources_), (XkbLayoutName{"se", "nodeadkeys"}));

    ::setenv("XKB_DEFAULT_LAYOUT", "fi", 1);
    ::unsetenv("XKB_DEFAULT_VARIANT");
    sources_.useEnvironment = true;
    EXPECT_EQ(sessionLayoutName(sources_), (XkbLayoutName{"fi", ""}));
    ::unsetenv("XKB_DEFAULT_LAYOUT");
}

TEST_F(XkbSession, RefreshFollowsAChangedConfiguration)
{
    write(sources_.debianKeyboard, "XKBLAYOUT=us\n");
    auto session = makeSessionKeyboardLayout(sources_);
    EXPECT_EQ(session->name(), "us");
    EXPECT_EQ(session->charForStroke(0x03, kShiftStateAltGr), std::nullopt);
    EXPECT_FALSE(session->refresh());

    write(sources_.debianKeyboard, "XKBLAYOUT=se\n");
    EXPECT_TRUE(session->refresh());
    EXPECT_EQ(session->name(), "se");
    EXPECT_EQ(session->charForStroke(0x03, kShiftStateAltGr), U'@');
    EXPECT_FALSE(session->refresh());

    // A layout xkb-data does not know falls back to "us".
    write(sources_.debianKeyboard, "XKBLAYOUT=no-such-layout\n");
    EXPECT_TRUE(session->refresh());
    EXPECT_EQ(session->name(), "us");
    EXPECT_EQ(session->strokeForChar(U'@'), (KeyStroke{0x03, kShiftStateShift}));
}

}  // namespace
}  // namespace cvk
