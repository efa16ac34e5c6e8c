// cvkeys-cli firmware-update: the update window's lines on the terminal and
// the update's code as the exit status.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_run.h"
#include "firmware/hex_records.h"
#include "temp_dir.h"

namespace cvk {
namespace {

const std::string kPattern = CVK_SOURCE_DIR "/tests/fixtures/firmware/pattern-12k.hex";

std::string passedSteps(const std::vector<std::string>& steps)
{
    std::string out;
    for (const std::string& s : steps)
        out += s + "\nPASS\n" +
               (s == "Reading the bootloader version" ? "    Bootloader version 1.2.0\n" : "") + "\n";
    return out;
}

TEST(CliFirmwareUpdate, PrintsTheStepsAndExitsWithTheUpdatesCode)
{
    CliResult r = cli({"--simulate-bootloader", "firmware-update", kPattern});
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out, passedSteps({"Initializing", "Device selection", "Hardware selection", "Opening port",
                                  "Reading the bootloader version", "Erasing FLASH",
                                  "Blank checking FLASH memory", "Filling buffer with 00", "Parsing HEX file",
                                  "Programming FLASH", "Verifying FLASH", "Switching to appli mode"}));
    EXPECT_EQ(r.err, "");
}

TEST(CliFirmwareUpdate, AFailureEndsWithItsReasonAndCode)
{
    CliResult r = cli({"--simulate-bootloader:absent", "firmware-update", kPattern});
    EXPECT_EQ(r.rc, 20);
    EXPECT_EQ(r.out, passedSteps({"Initializing", "Device selection", "Hardware selection"}) +
                         "Opening port\nFAILED\n"
                         "    No device in bootloader mode (USB 03EB:2FFA) was found. Put the pad into its "
                         "bootloader mode, plug it in and try again.\n\n"
                         "Update failed (error 20)\n");
}

TEST(CliFirmwareUpdate, ABadFileIsRefusedWithItsLine)
{
    TempDir dir("cli-firmware");
    const auto file = dir / "broken.hex";
    putFile(file,
            test::hexRecord(0, 0, {1, 2}) + "\n" + test::hexRecord(0, 0x3000, {1}) + "\n" + test::hexEnd());
    TempDir traceDir("cli-firmware-trace");
    const auto trace = traceDir / "trace.txt";
    CliResult r = cli({"--simulate-bootloader", "--trace", trace.string(), "firmware-update", file.string()});
    EXPECT_EQ(r.rc, 56);
    EXPECT_EQ(r.out, "    " + file.string() +
                         " is not a firmware image for this device: line 2: data at 0x3000 lies outside the "
                         "application area 0x0000-0x2FFF; the bootloader's area must not be written. Nothing "
                         "was changed.\nUpdate failed (error 56)\n");
    EXPECT_EQ(fileBytes(trace), "");  // not even opened
}

TEST(CliFirmwareUpdate, TheTraceHasEveryTransfer)
{
    TempDir dir("cli-firmware-trace");
    const auto trace = dir / "trace.txt";
    CliResult r =
        cli({"--simulate-bootloader:latency=1", "--trace", trace.string(), "firmware-update", kPattern});
    ASSERT_EQ(r.rc, 0) << r.out << r.err;
    const std::string text = fileBytes(trace);
    EXPECT_EQ(text.rfind("     0 2FFA open\n", 0), 0u) << text.substr(0, 200);
    EXPECT_TRUE(text.ends_with(" 2FFA close\n"));
}

TEST(CliFirmwareUpdate, UsageErrors)
{
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const std::vector<Case> cases = {
        {{"firmware-update"}, "firmware-update needs the firmware file"},
        {{"--simulate-bootloader", "firmware-update", kPattern, "list"}, "cannot follow it"},
        {{"--simulate-bootloader", "list"}, "--simulate-bootloader is for firmware-update"},
        {{"--simulate-bootloader:speed=3", "firmware-update", kPattern}, "--simulate-bootloader: "},
        {{"--trace", "/tmp/x", "firmware-update", kPattern}, "add --simulate-bootloader"},
    };
    for (const Case& c : cases) {
        CliResult r = cli(c.args);
        EXPECT_EQ(r.rc, 2) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "") << c.message;
    }
}

}  // namespace
}  // namespace cvk
