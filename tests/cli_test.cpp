// cvkeys-cli end to end, in-process, against simulated devices.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "cli/cli.h"
#include "cli_run.h"
#include "settings_location.h"

namespace cvk {
namespace {

TEST(CliList, OneDorrinAloneOrWithItsReceiver)
{
    for (auto args : {std::vector<std::string>{"--simulate", "dorrin", "--settings", ":memory:", "list"},
                      std::vector<std::string>{"--simulate", "dorrin-receiver", "--simulate", "dorrin",
                                               "--settings", ":memory:", "list"}}) {
        const CliResult r = cli(args);
        EXPECT_EQ(r.rc, 0) << r.err;
        EXPECT_TRUE(contains(r.out, "devices: 1\n")) << r.out;
        EXPECT_TRUE(contains(r.out, "model: 8\n")) << r.out;
        EXPECT_TRUE(contains(r.out, "name: Corvane Dorrin\n")) << r.out;
        EXPECT_TRUE(contains(r.out, "firmware: Corvane hardware version:1.")) << r.out;
        EXPECT_TRUE(contains(r.out, "receiver: none\n")) << r.out;
    }
}

TEST(CliList, StatusTexts)
{
    struct Case {
        std::vector<std::string> args;
        const char* expected;
    };
    const Case cases[] = {
        {{"--simulate", "arvel:fw=0x1400", "--settings", ":memory:", "--language", "EN", "list"},
         "devices: 1000\nstatus: Please dowload and install the latest version of CV Keys.\n"},
        {{"--simulate", "none", "--settings", ":memory:", "--language", "EN", "list"},
         "devices: 0\nstatus: No reprogrammable Corvane detected.\n"},
        {{"--simulate", "essom", "--simulate", "cindel", "--settings", ":memory:", "--language", "EN",
          "list"},
         "devices: 2\nstatus: Multiple reprogrammable Corvane detected.\n"},
    };
    for (const Case& c : cases) {
        const CliResult r = cli(c.args);
        EXPECT_EQ(r.rc, 0) << r.err;
        EXPECT_TRUE(r.out.starts_with(c.expected)) << r.out;
    }
}

TEST(CliList, ReceiverAloneShowsItsId)
{
    const CliResult r = cli({"--simulate", "receiver:id=0a1b2c3d", "--settings", ":memory:", "list"});
    EXPECT_EQ(r.rc, 0);
    EXPECT_TRUE(contains(r.out, "receiver: attached, id 0a:1b:2c:3d\n")) << r.out;
    EXPECT_FALSE(contains(r.out, "No reprogrammable")) << r.out;
}

TEST(CliList, WritesTheTranscript)
{
    const std::filesystem::path trace =
        std::filesystem::temp_directory_path() / ("cvkeys-cli-trace-" + std::to_string(::getpid()) + ".txt");
    std::filesystem::remove(trace);
    const CliResult r = cli({"--simulate", "dorrin-receiver", "--simulate", "dorrin", "--settings",
                             ":memory:", "--trace", trace.string(), "list"});
    ASSERT_EQ(r.rc, 0) << r.err;
    std::stringstream text;
    {
        // Closed before the removal: Windows removes no open file.
        std::ifstream in(trace);
        text << in.rdbuf();
    }
    EXPECT_TRUE(contains(text.str(), " 07 out 84 00 00 00 00 00 00 00\n")) << text.str();
    EXPECT_TRUE(contains(text.str(), " 08 out 84 70 ")) << text.str();
    std::filesystem::remove(trace);
}

TEST(CliUsage, BadInputIsRefusedWithAMessage)
{
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const Case cases[] = {
        {{"--simulate", "toaster", "--settings", ":memory:", "list"}, "toaster"},
        {{"--simulate", "dorrin:fw=zz", "--settings", ":memory:", "list"}, "fw"},
        {{"--simulate", "dorrin", "--settings", ":memory:", "frobnicate"}, "unknown step 'frobnicate'"},
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"--simulate"}, "--simulate needs a value"},
        {{}, "usage:"},
        {{"--trace", "/tmp/x", "--settings", ":memory:", "list"}, "--trace records simulated devices only"},
    };
    for (const Case& c : cases) {
        const CliResult r = cli(c.args);
        EXPECT_EQ(r.rc, 2);
        EXPECT_TRUE(contains(r.err, c.message)) << r.err;
    }
}

TEST(CliUdevRule, NamesTheVendorAndUaccess)
{
    const CliResult r = cli({"--settings", ":memory:", "udev-rule"});
    EXPECT_EQ(r.rc, 0);
    EXPECT_TRUE(contains(r.out, "KERNEL==\"hidraw*\"")) << r.out;
    EXPECT_TRUE(contains(r.out, "TAG+=\"uaccess\"")) << r.out;
    EXPECT_TRUE(contains(r.out, "ATTRS{idVendor}==\"")) << r.out;
}

}  // namespace
}  // namespace cvk

namespace cvk {
namespace {

TEST(CliTransfer, StartsLikeTheWindowAndShowsTheState)
{
    const CliResult r = cli({"--simulate", "dorrin", "--settings", ":memory:", "show state", "show block"});
    ASSERT_EQ(r.rc, 0) << r.err;
    for (const char* line :
         {"devices: 1\n", "model: 8\n", "exchanged length: 64\n", "title: Corvane Dorrin\n", "busy: 0\n",
          "transfer mark: -1\n", "read failed: 0\n", "  0: 07 04 FF 00 08 F9 10 20 FF 02 00 00 00 00 00 00\n",
          " 48: 00 01 00 00 01 00 00 01 00 01 00 00 00 00 00 00\n"})
        EXPECT_TRUE(contains(r.out, line)) << line << "\n" << r.out;
}

TEST(CliTransfer, ErrorMessageWhenEveryWriteIsCorrupted)
{
    const CliResult r = cli({"--simulate", "essom:corrupt-write=1000", "--settings", ":memory:", "apply"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_TRUE(contains(r.out,
                         "message \"Error occurred while saving changes\" \"An unexpected error occurred "
                         "while saving the changes. Unplug your \"Corvane\", wait for 5 seconds, replug "
                         "\"Corvane\" and retry the action.\" -> ok\n"))
        << r.out;
    EXPECT_TRUE(contains(r.out, "apply: not written\n")) << r.out;
}

TEST(CliTransfer, SwappedButtonsQuestionTakesTheScriptedAnswer)
{
    const CliResult no = cli({"--simulate", "dorrin", "--settings", ":memory:", "--swapped-buttons",
                              "answer no", "refresh", "show block"});
    ASSERT_EQ(no.rc, 0) << no.err;
    EXPECT_TRUE(contains(no.out, "message \"Switch primary and secondary buttons\"")) << no.out;
    // The read at start-up takes the scripted No; the Refresh asks again and
    // gets the default Yes.
    EXPECT_TRUE(contains(no.out, "-> no\n")) << no.out;
    EXPECT_TRUE(contains(no.out, "-> yes\n")) << no.out;
}

TEST(CliTransfer, RestoreDefaultsThenApplyWritesTheFactoryBlock)
{
    const CliResult r = cli({"--simulate", "cindel", "--settings", ":memory:", "restore-defaults",
                             "show block", "apply", "show reference"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_TRUE(contains(r.out, " 80: 1A 00 1A 00 37 00 00 00 00 00\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "apply: written and verified\n")) << r.out;
}

TEST(CliTransfer, ReceiverAloneShowsTheCopyStoredOverTheCable)
{
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("cvkeys-cli-store-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    const std::string settings = test::settingsLocation(dir, "settings.ini");
    // On the cable: the Cindel takes the receiver's id and its copy is stored.
    CliResult r = cli({"--simulate", "cindel:id=0a1b2c3d", "--settings", settings, "apply", "show store"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "[HW:0a:1b:2c:3d] Data.W bytes 256\n")) << r.out;
    // Later only the receiver is there.
    r = cli({"--simulate", "receiver:id=0a1b2c3d", "--settings", settings, "show state", "show block"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "model: -9\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "tray tip: Corvane Wireless Dongle.\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "  0: F5 F6 20 FF")) << r.out;
    std::filesystem::remove_all(dir);
}

TEST(CliTransfer, DeviceChangeDuringTheWakeUpEndsTheRead)
{
    // The receiver is pulled at the third wait of the wake-up: the read ends
    // there, its block never read (all zero) and its flags reset. Without
    // the event the read would go on and show the receiver's block.
    const CliResult r = cli({"--simulate", "dorrin-receiver:wake-after=30", "--settings",
                             ":memory:", "pump 3 unplug 07", "show state", "show block"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "busy: 0\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "transfer mark: -1\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "  0: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n")) << r.out;
}

}  // namespace
}  // namespace cvk

namespace cvk {
namespace {

std::filesystem::path freshDir(const std::string& name)
{
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

TEST(CliProfiles, DefaultProfileMatchedWrittenAndSaved)
{
    const std::filesystem::path dir = freshDir("cvkeys-cli-profiles");
    const std::string settings = test::settingsLocation(dir, "s.ini");
    CliResult r = cli({"--simulate", "dorrin", "--settings", settings, "--language", "EN", "refresh",
                       "select-profile Desktop", "apply", "show profiles"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "apply: written and verified\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "profiles (F list):\n  0 \"Desktop\" active\nselector:\n  \"Desktop\" *\n"))
        << r.out;

    // A second run sees them, and a new profile reaches the file with Apply.
    r = cli({"--simulate", "dorrin", "--settings", settings, "--language", "EN", "profile-name Office",
             "command 1030", "apply", "show store"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "dialog \"New Profile\" \"\" -> \"Office\"\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "[Profile] NumberOfProfiles.F int 2\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "[Profile01] Name.F text \"Office\"\n")) << r.out;
    r = cli({"--simulate", "essom", "--settings", settings, "--language", "EN", "show profiles"});
    EXPECT_TRUE(contains(r.out,
                         "profiles:\n  0 \"Desktop\"\n  1 \"CAD\"\n  2 \"WEB\"\nselector:\n  \"CAD\"\n"
                         "  \"Desktop\"\n  \"WEB\"\n"))
        << r.out;
    std::filesystem::remove_all(dir);
}

TEST(CliProfiles, TrayItemSelectsAndApplies)
{
    const CliResult r = cli({"--simulate", "essom", "--settings", ":memory:", "--language", "EN", "tray 2",
                             "show tray", "tray 7"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_TRUE(contains(r.out, "apply: written and verified\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "  20404 WEB [x]\n  ----\n  20400 Open CV Keys (default)\n")) << r.out;
    EXPECT_TRUE(contains(r.err, "the menu has no profile 7")) << r.err;
}

TEST(CliTexts, LanguageFileReplacesTexts)
{
    const std::filesystem::path dir = freshDir("cvkeys-cli-language");
    {
        std::ofstream file(dir / "Language.SE");
        for (int line = 1; line < 149; ++line)
            file << "\n";
        file << "Ja\n";
    }
    CliResult r = cli({"--settings", ":memory:", "--simulate", "none", "--language", "SE", "--language-dir",
                       dir.string(), "text 149", "text 150", "text 9"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out, "Ja\nCancel\nPlease dowload and install the latest version of CV Keys.\n");
    r = cli({"--settings", ":memory:", "--language", "../etc", "text 149"});
    EXPECT_EQ(r.rc, 2);
    std::filesystem::remove_all(dir);
}

TEST(CliMenus, DorrinButtonMenuCommandAndApply)
{
    const CliResult r = cli({"--simulate", "dorrin", "--settings", ":memory:", "--layout", "us", "button 3",
                             "button 2", "command 30011", "apply", "describe 2", "show labels"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "Only On/Off #30030 [x] (default)\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "apply: written and verified\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "button 2: Right Click\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "button 3: On / Off\n")) << r.out;
}

TEST(CliMenus, RefusedClickSelectLeavesTheBlock)
{
    // Pad off, button 1 the only Click/Select (essom factory: pad 0x0B has its click bit; clear it first).
    const CliResult r =
        cli({"--simulate", "essom", "--settings", ":memory:", "button 0", "command 30009", "button 1",
             "command 30010", "button 0", "command 30009", "button 1", "command 30011", "show block"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_TRUE(contains(r.out,
                         "message \"Corvane\" \"At least one device button or the Pad must be used to "
                         "Click/Select.\r\nChange another button assignment to \"Click/Select\" before "
                         "you change this one.\" -> ok\n"))
        << r.out;
    EXPECT_TRUE(contains(r.out, "  0: 0A 01 04 00 C0 02")) << r.out;
}

TEST(CliKeys, KeyTextStrokesAndDialogAnswers)
{
    CliResult r =
        cli({"--settings", ":memory:", "--layout", "us", "keytext 0x0504", "keytext 0x8800", "strokes Ab"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out,
              "Left Ctrl + Left Alt + a\nStart + Start\nstrokes: 2 (limit 254)\n    0: 0x04 0x02\n"
              "    1: 0x05 0x00\n");
    r = cli({"--simulate", "cindel", "--settings", ":memory:", "--layout", "us", "keyboard 0x0504",
             "button 4", "command 20200", "signature Hi\\nyou", "button 5", "command 20201", "apply",
             "show labels"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "dialog \"Keyboard\" 0x0106 -> 0x0504\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "dialog \"Signature\" \"\" -> \"Hi\r\nyou\"\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "button 4: Left Ctrl + Left Alt + a\n")) << r.out;
    r = cli({"--settings", ":memory:", "--layout", "xx-nonsense", "keytext 1"});
    EXPECT_EQ(r.rc, 2);
}

TEST(CliPresence, UnplugAndPlugRescan)
{
    const CliResult r = cli({"--simulate", "dorrin", "--settings", ":memory:", "unplug 08", "tick 2",
                             "show state", "plug dorrin", "tick 19", "show state", "tick 2", "show state"});
    ASSERT_EQ(r.rc, 0) << r.err;
    const size_t first = r.out.find("devices: 0\n");
    ASSERT_NE(first, std::string::npos) << r.out;
    EXPECT_TRUE(contains(r.out, "tray tip: No reprogrammable Corvane detected.\n")) << r.out;
    const size_t second = r.out.find("devices: 0\n", first + 1);
    ASSERT_NE(second, std::string::npos) << "the arrival scan came before 2 s";
    EXPECT_NE(r.out.find("devices: 1\n", second), std::string::npos) << r.out;
}

}  // namespace
}  // namespace cvk

namespace cvk {
namespace {

// What the picture area shows, without the window: the picture, the labels
// beside the buttons (the hovered one left out) and the status band.
TEST(CliPicture, ShowsWhatThePictureAreaDraws)
{
    struct Case {
        std::vector<std::string> setups;
        std::string step;
        std::vector<std::string> expected;
        std::vector<std::string> absent;
    };
    const Case cases[] = {
        {{"dorrin"},
         "show picture",
         {"picture: dorrin\n", "label 2: 0,155 172x27 bottom right", "slider 0: knob at x",
          "status: Click on a button to change its function.\n"},
         {}},
        {{"dorrin"},
         "show picture 4",
         {"status heading: The current function is:\n", "status: Browse Back\n", "symbol: 161\n"},
         {"label 4:"}},
        {{"cindel"}, "show picture", {"picture: wireless\n", "settings view: closed\n"}, {}},
        {{"arvel"}, "show picture 1000", {"picture: arvel\n", "status: Click here to visit"}, {}},
        {{"dorrin", "arvel"},
         "show picture",
         {"picture: no-device\n", "status rgb(255,0,0): Multiple reprogrammable Corvane detected.\n"},
         {"label "}},
        {{"none"},
         "show picture",
         {"picture: no-device\n", "No reprogrammable Corvane detected."},
         {"slider"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args;
        for (const std::string& setup : c.setups)
            args.insert(args.end(), {"--simulate", setup});
        args.insert(args.end(), {"--settings", ":memory:", "--layout", "us", c.step});
        const CliResult r = cli(args);
        ASSERT_EQ(r.rc, 0) << c.step << "\n" << r.err;
        for (const std::string& line : c.expected)
            EXPECT_TRUE(contains(r.out, line)) << c.step << ": " << line << "\n" << r.out;
        for (const std::string& text : c.absent)
            EXPECT_FALSE(contains(r.out, text)) << c.step << ": " << text << "\n" << r.out;
    }
    EXPECT_EQ(cli({"--simulate", "dorrin", "--settings", ":memory:", "show picture x"}).rc, 2);
}

}  // namespace
}  // namespace cvk
