// cvkeys-cli deploy: one profile onto one device after the other, scripted
// with simulated plugs and unplugs on the virtual clock.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_run.h"
#include "settings_location.h"
#include "temp_dir.h"
#include "texts/text_table.h"

namespace cvk {
namespace {

// A first run asks for the language unless the user's locale names one: the
// tests' C.UTF-8 names none, a Windows user locale always does.
std::string languageQuestion()
{
    return languageFromLocale(currentLocaleName()) ? "" : "dialog \"Select Default Language\" -> EN\n";
}

// A settings file whose F list has "Office" (the classic list has not).
std::string officeSettings(const TempDir& dir)
{
    const std::string settings = test::settingsLocation(dir, "office.ini");
    const std::string file = (dir / "office.cvkp").string();
    putFile(file,
            "cvkeys-profiles 1\nlist F\nprofile Office\n"
            "config 07 04 FF 00 08 F9 10 20 FF 02 00 00 00 00 00 00\n"
            "config 00 01 01 06 08 71 FF FF D2 00 00 00 00 00 00 00\n"
            "config 00 06 00 06 00 00 00 19 00 19 00 00 00 00 00 00\n"
            "config 00 01 00 00 01 00 00 01 00 01 00 00 00 00 00 00\n"
            "config 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n"
            "config 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n"
            "config 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n"
            "config 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n"
            "end\n");
    EXPECT_EQ(cli({"--settings", settings, "import-profiles", file}).rc, 0);
    return settings;
}

// The transcript lines of one product id and kind.
int linesOf(const std::string& trace, const std::string& pid, const std::string& kind)
{
    int n = 0;
    std::size_t pos = 0;
    while ((pos = trace.find(" " + pid + " " + kind + " ", pos)) != std::string::npos) {
        ++n;
        ++pos;
    }
    return n;
}

TEST(Deploy, OneDeviceAfterTheOtherWithALineEachAndTheLog)
{
    TempDir dir("deploy");
    const std::string settings = officeSettings(dir);
    const std::string log = (dir / "office.csv").string();
    const std::string trace = (dir / "trace.txt").string();
    const std::vector<std::string> plan = {
        "--simulate-plug",   "1000:dorrin:id=01020304",
        "--simulate-unplug", "6000:08",
        "--simulate-plug",   "8000:dorrin:id=0A0B0C0D,corrupt-write=100000",
        "--simulate-unplug", "15000:08",
        "--simulate-plug",   "17000:essom",
        "--simulate-unplug", "22000:06",
        "--simulate-plug",   "24000:dorrin:id=11121314",
        "--simulate-unplug", "30000:08",
    };
    std::vector<std::string> args = {"--simulate", "none", "--settings", settings,
                                     "--trace",    trace,  "--log",      log};
    args.insert(args.end(), plan.begin(), plan.end());
    args.insert(args.end(), {"deploy", "Office"});
    const CliResult r = cli(args);
    EXPECT_EQ(r.rc, 1);  // not every device succeeded
    // The settings' first run asks for the language once.
    EXPECT_EQ(
        r.out,
        languageQuestion() +
            "t+3010ms  Corvane Dorrin  0x1205  01:02:03:04  written and verified\n"
            "t+10020ms  Corvane Dorrin  0x1205  0a:0b:0c:0d  not written: Error occurred while saving "
            "changes: "
            "An unexpected error occurred while saving the changes. Unplug your \"Corvane\", wait for 5 "
            "seconds, "
            "replug \"Corvane\" and retry the action.\n"
            "t+19020ms  Corvane Essom  0x031C  -  not written: the classic list has no profile 'Office'\n"
            "t+26030ms  Corvane Dorrin  0x1205  11:12:13:14  written and verified\n"
            "deploy: 2 devices set up, 2 failed\n");
    EXPECT_EQ(r.err, "\a\a");  // the bell for each failure
    EXPECT_EQ(fileBytes(log),
              "time,model,firmware,device id,result\n"
              "t+3010ms,Corvane Dorrin,0x1205,01:02:03:04,written and verified\n"
              "t+10020ms,Corvane Dorrin,0x1205,0a:0b:0c:0d,\"not written: Error occurred while "
              "saving changes: An unexpected error occurred while saving the changes. Unplug your "
              "\"\"Corvane\"\", wait for 5 seconds, replug \"\"Corvane\"\" and retry the action.\"\n"
              "t+19020ms,Corvane Essom,0x031C,,not written: the classic list has no profile 'Office'\n"
              "t+26030ms,Corvane Dorrin,0x1205,11:12:13:14,written and verified\n");
    // The Essom was read, never written.
    const std::string t = fileBytes(trace);
    EXPECT_EQ(linesOf(t, "06", "set-feature"), 0);
    EXPECT_GT(linesOf(t, "06", "get-string"), 0);
    EXPECT_GT(linesOf(t, "08", "out"), 0);

    // A second session appends to the log.
    const CliResult again =
        cli({"--simulate", "none", "--settings", settings, "--log", log, "--simulate-plug",
             "500:dorrin:id=21222324", "--simulate-unplug", "5000:08", "--count", "1", "deploy", "Office"});
    EXPECT_EQ(again.rc, 0) << again.out;
    EXPECT_EQ(again.out,
              "t+2510ms  Corvane Dorrin  0x1205  21:22:23:24  written and verified\n"
              "deploy: 1 device set up, 0 failed\n");
    const std::string both = fileBytes(log);
    EXPECT_EQ(both.rfind("time,", 0), 0u);
    EXPECT_EQ(both.find("time,", 1), std::string::npos);
    EXPECT_TRUE(both.ends_with("t+2510ms,Corvane Dorrin,0x1205,21:22:23:24,written and verified\n"));
}

TEST(Deploy, TwoDevicesAtOnceAreRefusedAndNothingIsWritten)
{
    TempDir dir("deploy-two");
    const std::string settings = officeSettings(dir);
    const std::string trace = (dir / "trace.txt").string();
    const CliResult r =
        cli({"--simulate", "none", "--settings", settings, "--trace", trace, "--simulate-plug",
             "1000:dorrin:id=01020304", "--simulate-plug", "1000:cindel", "--simulate-unplug", "5000:08",
             "--simulate-unplug", "5000:09", "deploy", "Office"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.out, languageQuestion() +
                         "t+3000ms  -  -  -  refused: Multiple reprogrammable Corvane detected.\n"
                         "deploy: 0 devices set up, 1 failed\n");
    const std::string t = fileBytes(trace);
    EXPECT_EQ(linesOf(t, "08", "out"), 0);
    EXPECT_EQ(linesOf(t, "09", "out"), 0);
}

TEST(Deploy, TheReceiverAloneIsNoDeviceToSetUp)
{
    TempDir dir("deploy-receiver");
    const std::string settings = officeSettings(dir);
    const CliResult r = cli({"--simulate", "receiver", "--settings", settings, "--simulate-plug",
                             "3000:dorrin:id=01020304", "--simulate-unplug", "8000:08", "deploy", "Office"});
    EXPECT_EQ(r.rc, 0) << r.out;
    // On the cable beside its receiver the Dorrin takes the receiver's id.
    EXPECT_EQ(r.out, languageQuestion() +
                         "t+5010ms  Corvane Dorrin  0x1205  01:5c:3e:a1  written and verified\n"
                         "deploy: 1 device set up, 0 failed\n");
}

TEST(Deploy, FewerDevicesThanCountedFailTheRun)
{
    TempDir dir("deploy-count");
    const std::string settings = officeSettings(dir);
    const CliResult r =
        cli({"--simulate", "none", "--settings", settings, "--simulate-plug", "1000:dorrin:id=01020304",
             "--simulate-unplug", "4000:08", "--count", "3", "deploy", "Office"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_TRUE(r.out.ends_with("deploy: 1 device set up, 0 failed (stopped early)\n")) << r.out;
}

TEST(Deploy, UsageErrors)
{
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const std::vector<Case> cases = {
        {{"deploy"}, "deploy needs the name of the profile"},
        {{"--simulate", "none", "deploy", "Office", "list"}, "cannot follow it"},
        {{"--count", "0", "deploy", "Office"}, "--count needs a positive number"},
        {{"--count", "2", "list"}, "are for deploy PROFILE"},
        {{"--simulate-plug", "dorrin", "deploy", "Office"}, "needs a time in ms first"},
        {{"--simulate-plug", "10:nomodel", "deploy", "Office"}, "--simulate-plug 10:nomodel"},
        {{"--simulate-unplug", "10:xyz", "deploy", "Office"}, "not a product id"},
        {{"--simulate-plug", "10:dorrin", "deploy", "Office"}, "need simulated devices"},
    };
    for (const Case& c : cases) {
        const CliResult r = cli(c.args);
        EXPECT_EQ(r.rc, 2) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace cvk
