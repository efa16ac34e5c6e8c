// The firmware update end to end: the step sequence on the stand-in library
// and on the simulated bootloader, the image check before anything is
// erased, and the private copy of the image.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "firmware/hex_records.h"
#include "firmware/isp_standin_control.h"
#include "os_test_backends.h"
#include "service/firmware_service.h"
#include "service/firmware_update.h"
#include "service/intel_hex.h"
#include "service/isp_dfu.h"
#include "service/isp_library.h"
#include "sim/bootloader.h"
#include "sim/sim.h"
#include "temp_dir.h"

namespace cvk {
namespace {

namespace fs = std::filesystem;
using namespace cvk::service;

const std::string kFullDir = CVK_ISP_STANDIN_DIR;
const std::string kMissingDir = CVK_ISP_STANDIN_MISSING_DIR;

// What the progress window would list: step lines as they are, details
// marked with "> ".
class RecordingLog final : public IUpdateLog {
public:
    void line(const std::string& text) override { lines.push_back(text); }
    void detail(const std::string& text) override { lines.push_back("> " + text); }
    void progress(IspPhase phase, int done, int total) override
    {
        progressSeen.push_back({phase, done, total});
    }
    struct Progress {
        IspPhase phase;
        int done;
        int total;
    };
    std::vector<std::string> lines;
    std::vector<Progress> progressSeen;
};

const std::vector<std::string> kSteps = {"Initializing",
                                         "Device selection",
                                         "Hardware selection",
                                         "Opening port",
                                         "Reading the bootloader version",
                                         "Erasing FLASH",
                                         "Blank checking FLASH memory",
                                         "Filling buffer with 00",
                                         "Parsing HEX file",
                                         "Programming FLASH",
                                         "Verifying FLASH",
                                         "Switching to appli mode"};

// The lines of a run whose first n steps pass, with the version detail.
std::vector<std::string> firstSteps(std::size_t n)
{
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < n; ++i) {
        lines.push_back(kSteps[i]);
        lines.push_back("PASS");
        lines.push_back("");
        if (kSteps[i] == "Reading the bootloader version")
            lines.push_back("> Bootloader version 1.2.0");
    }
    return lines;
}

std::vector<std::string> plus(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// ---- On the stand-in library ----

struct LibraryRig {
    explicit LibraryRig(const std::string& folder)
        : loader({folder}), provider(loader, [this](const std::string& name) { ++reports[name]; })
    {}
    int run(const std::string& image = "/tmp/image.hex")
    {
        return runIspSequence(provider, image, log, clock);
    }
    test::SystemLibraryLoader loader;
    std::map<std::string, int> reports;
    IspLibraryProvider provider;
    sim::VirtualClock clock;
    RecordingLog log;
};

TEST(FirmwareUpdateOnTheLibrary, WithoutTheLibraryTheUpdateReturns54AndLogsNothing)
{
    TempDir empty("no-library");
    LibraryRig rig(empty.path().string());
    EXPECT_EQ(rig.run(), kNoIspBackend);
    EXPECT_TRUE(rig.log.lines.empty());
}

TEST(FirmwareUpdateOnTheLibrary, ASuccessfulRunPassesEveryStepInOrder)
{
    StandIn standin(kFullDir);
    LibraryRig rig(kFullDir);
    ASSERT_EQ(rig.run("/private/x.hex"), kUpdateOk);
    EXPECT_EQ(rig.log.lines, firstSteps(12));
    EXPECT_EQ(standin.calls(),
              "ispInit\n"
              "ispSetLogEnabled 0\n"
              "ispSelectDevice AT90USB162\n"
              "ispSelectCommHardware 2\n"
              "ispOpenUsbPort\n"
              "ispReadSpecialByte 0\n"
              "ispGetLastResult\n"
              "ispEraseDevice\n"
              "ispBlankCheckMemory\n"
              "ispFillBufferAddrRange 0 1023 00\n"
              "ispParseHexFile /private/x.hex\n"
              "ispProgramDevice\n"
              "ispGetBufferAddrLo\n"
              "ispGetLastResult\n"
              "ispGetBufferAddrHi\n"
              "ispGetLastResult\n"
              "ispVerifyDevice 0 12287\n"
              "ispEnterAppliMode 0 0\n"
              "ispSetDtrLow\n"
              "ispSetDtrHigh\n"
              "ispSetDtrLow\n"
              "ispExit\n");
    // The reset pulse: low, 100 ms, high, 100 ms, low.
    EXPECT_EQ(rig.clock.nowMs(), 200);
    EXPECT_FALSE(rig.provider.loaded());
}

TEST(FirmwareUpdateOnTheLibrary, AFailedStepEndsTheUpdateWithTheLibrarysError)
{
    struct Case {
        const char* entry;
        std::size_t passedSteps;  // before the failing one
        bool cleanedUp;           // ispExit called and the library unloaded
    };
    const std::vector<Case> cases = {
        // Not in bootloader mode: the library stays loaded for the next try.
        {"ispSelectDevice", 1, false}, {"ispSelectCommHardware", 2, false},
        {"ispOpenUsbPort", 3, false},  {"ispReadSpecialByte", 4, true},
        {"ispEraseDevice", 5, true},   {"ispFillBufferAddrRange", 7, true},
        {"ispParseHexFile", 8, true},  {"ispProgramDevice", 9, true},
        {"ispVerifyDevice", 10, true}, {"ispEnterAppliMode", 11, true},
    };
    for (const Case& c : cases) {
        StandIn standin(kFullDir);
        standin.setResult(c.entry, 0);
        standin.setLastError(41);
        LibraryRig rig(kFullDir);
        EXPECT_EQ(rig.run(), 41) << c.entry;
        EXPECT_EQ(rig.log.lines, plus(firstSteps(c.passedSteps), {kSteps[c.passedSteps], "FAILED", ""}))
            << c.entry;
        const std::string calls = standin.calls();
        EXPECT_EQ(calls.find(std::string(c.entry)) != std::string::npos, true) << c.entry;
        EXPECT_EQ(calls.ends_with("ispExit\n"), c.cleanedUp) << c.entry << "\n" << calls;
        EXPECT_EQ(rig.provider.loaded(), !c.cleanedUp) << c.entry;
        EXPECT_EQ(calls.find("ispSetDtr"), std::string::npos) << c.entry;
    }
}

TEST(FirmwareUpdateOnTheLibrary, InitializingFailsButGoesOn)
{
    StandIn standin(kFullDir);
    standin.setResult("ispInit", 0);
    LibraryRig rig(kFullDir);
    EXPECT_EQ(rig.run(), kUpdateOk);
    std::vector<std::string> expected = firstSteps(12);
    expected[1] = "FAILED";
    EXPECT_EQ(rig.log.lines, expected);
}

TEST(FirmwareUpdateOnTheLibrary, BlankCheckFailureWritesTheAddressForError28)
{
    for (int code : {28, 30}) {
        StandIn standin(kFullDir);
        standin.setResult("ispBlankCheckMemory", 0);
        standin.setText("ispBlankCheckMemory", "01A0");
        standin.setLastError(code);
        LibraryRig rig(kFullDir);
        EXPECT_EQ(rig.run(), code);
        std::vector<std::string> expected =
            plus(firstSteps(6), {"Blank checking FLASH memory", "FAILED", ""});
        if (code == 28)
            expected.push_back("> at 0x01A0");
        EXPECT_EQ(rig.log.lines, expected) << code;
        EXPECT_FALSE(rig.provider.loaded());
    }
}

TEST(FirmwareUpdateOnTheLibrary, AnAddressCallThatFailsEndsWith1AtOnce)
{
    for (const char* entry : {"ispGetBufferAddrLo", "ispGetBufferAddrHi"}) {
        StandIn standin(kFullDir);
        standin.setResult(entry, 2);  // anything but 1
        LibraryRig rig(kFullDir);
        EXPECT_EQ(rig.run(), 1) << entry;
        EXPECT_EQ(rig.log.lines, plus(firstSteps(10), {"Verifying FLASH"})) << entry;
        EXPECT_EQ(standin.calls().find("ispVerifyDevice"), std::string::npos);
        EXPECT_EQ(standin.calls().find("ispExit"), std::string::npos);
    }
}

TEST(FirmwareUpdateOnTheLibrary, AnAddressThatIsNoNumberIsNotVerifiedAsZero)
{
    StandIn standin(kFullDir);
    standin.setText("ispGetBufferAddrHi", "zz");
    LibraryRig rig(kFullDir);
    EXPECT_EQ(rig.run(), kStepFailedWithoutCode);
    EXPECT_EQ(standin.calls().find("ispVerifyDevice"), std::string::npos);
    EXPECT_EQ(rig.log.lines.back(), "");
    EXPECT_EQ(rig.log.lines[rig.log.lines.size() - 2], "FAILED");
}

TEST(FirmwareUpdateOnTheLibrary, AFailureTheLibraryCallsSuccessIsStillAFailure)
{
    StandIn standin(kFullDir);
    standin.setResult("ispProgramDevice", 0);
    standin.setLastError(0);
    LibraryRig rig(kFullDir);
    EXPECT_EQ(rig.run(), kStepFailedWithoutCode);
}

TEST(FirmwareUpdateOnTheLibrary, AMissingEntryPointIsReportedOnceAndNeverCalled)
{
    StandIn standin(kMissingDir);
    LibraryRig rig(kMissingDir);
    EXPECT_EQ(rig.run(), kIspCallMissing);
    EXPECT_EQ(rig.reports, (std::map<std::string, int>{{"ispEraseDevice", 1}, {"ispSetRtsHigh", 1}}));
    EXPECT_EQ(rig.log.lines, plus(firstSteps(5), {"Erasing FLASH", "FAILED", "",
                                                  "> The programming library has no ispEraseDevice."}));
    EXPECT_EQ(standin.calls().find("ispEraseDevice"), std::string::npos);
    EXPECT_TRUE(standin.calls().ends_with("ispExit\n"));
    // The next update loads the library again without asking again.
    RecordingLog second;
    EXPECT_EQ(runIspSequence(rig.provider, "/tmp/x.hex", second, rig.clock), kIspCallMissing);
    EXPECT_EQ(rig.reports.size(), 2u);
    EXPECT_EQ(rig.reports["ispEraseDevice"], 1);
}

// ---- On the simulated bootloader ----

struct BootloaderRig {
    explicit BootloaderRig(const std::string& setup = "")
        : bootloader(clock, sim::parseSimBootloaderSetup(setup)), provider(bootloader, clock)
    {}
    int update(const std::string& hexText)
    {
        const fs::path file = dir / "firmware.hex";
        putFile(file, hexText);
        return updateFirmwareFromFile(file.string(), provider, tempFiles, log, clock);
    }
    sim::VirtualClock clock;
    sim::SimBootloader bootloader;
    DfuIspProvider provider;
    TempDir dir{"firmware"};
    TempDir tmp{"firmware-tmp"};
    test::SystemTempFiles tempFiles{tmp.path().string()};
    RecordingLog log;
};

// The flash a successful update leaves: the image, zeros where the fill
// reached and the image did not, erased bytes up to the bootloader, and the
// bootloader as it was.
std::array<uint8_t, 0x4000> expectedFlash(const FirmwareImage& image,
                                          const std::array<uint8_t, 0x4000>& before)
{
    std::array<uint8_t, 0x4000> flash{};
    for (uint32_t a = 0; a < 0x4000; ++a) {
        if (a >= kApplicationEnd)
            flash[a] = before[a];
        else if (image.used[a])
            flash[a] = image.bytes[a];
        else if (a < 1024)
            flash[a] = 0x00;
        else
            flash[a] = 0xFF;
    }
    return flash;
}

TEST(FirmwareUpdateOnTheBootloader, ASuccessfulRunProgramsTheImageAndStartsIt)
{
    BootloaderRig rig;
    const std::string text = test::hexImage(0x0000, 12 * 1024);
    const auto before = rig.bootloader.flash();
    ASSERT_EQ(rig.update(text), kUpdateOk) << ::testing::PrintToString(rig.log.lines);
    EXPECT_EQ(rig.log.lines, firstSteps(12));
    EXPECT_TRUE(rig.bootloader.started());
    EXPECT_EQ(rig.bootloader.flash(), expectedFlash(checkIntelHex(text).image, before));
    // Progress for every block programmed and verified, ending at the total.
    ASSERT_FALSE(rig.log.progressSeen.empty());
    EXPECT_EQ(rig.log.progressSeen.front().phase, IspPhase::Programming);
    EXPECT_EQ(rig.log.progressSeen.back().phase, IspPhase::Verifying);
    EXPECT_EQ(rig.log.progressSeen.back().done, rig.log.progressSeen.back().total);
    EXPECT_EQ(rig.log.progressSeen.size(), 24u);  // 12 blocks of 1 KiB each way
    // The private copy is gone.
    EXPECT_TRUE(fs::is_empty(rig.tmp.path()));
}

TEST(FirmwareUpdateOnTheBootloader, TheTransfersOfASmallUpdateInOrderWithTheirPauses)
{
    BootloaderRig rig("latency=1,busy-polls=2,poll-ms=50");
    // One record at 0x0400, past the filled first kilobyte: two program
    // blocks, 0x0000-0x03FF and 0x0400-0x0403.
    const std::string text =
        test::hexRecord(0, 0x0400, {0xDE, 0xAD, 0xBE, 0xEF}) + "\n" + test::hexEnd() + "\n";
    ASSERT_EQ(rig.update(text), kUpdateOk) << ::testing::PrintToString(rig.log.lines);
    std::vector<std::string> lines;
    for (const std::string& l : rig.bootloader.transcript().text()) {
        // Program blocks are long: their head is enough here.
        lines.push_back(l.size() > 72 ? l.substr(0, 72) + " ..." : l);
    }
    // Each transfer takes 1 ms; the erase is polled after the 50 ms the
    // bootloader asks for. Initializing and the selections send nothing.
    const std::vector<std::string> expected = {
        "     0 2FFA open",
        // Opening port: out of any state an earlier run left.
        "     1 2FFA abort",
        "     2 2FFA getstatus 00 00 00 00 02 00",
        // The bootloader version.
        "     3 2FFA dnload 05 00 00",
        "     4 2FFA getstatus 00 00 00 00 05 00",
        "     5 2FFA upload 20",
        // The erase, busy twice.
        "     6 2FFA dnload 04 00 FF",
        "     7 2FFA getstatus 09 32 00 00 04 00",
        "    58 2FFA getstatus 09 32 00 00 04 00",
        "   109 2FFA getstatus 00 00 00 00 05 00",
        // Blank check of the application area.
        "   110 2FFA dnload 03 01 00 00 2F FF",
        "   111 2FFA getstatus 00 00 00 00 05 00",
        // Programming: page 0, then the filled first kilobyte and the image.
        "   112 2FFA dnload 06 03 00 00",
        "   113 2FFA getstatus 00 00 00 00 05 00",
        "   114 2FFA dnload 01 00 00 00 03 FF 00 00 00 00 00 00 00 00 00 00 00 00 ...",
        "   115 2FFA getstatus 00 00 00 00 05 00",
        "   116 2FFA dnload 01 00 04 00 04 03 00 00 00 00 00 00 00 00 00 00 00 00 ...",
        "   117 2FFA getstatus 00 00 00 00 05 00",
        // Verifying: the same range read back.
        "   118 2FFA dnload 03 00 00 00 03 FF",
        "   119 2FFA getstatus 00 00 00 00 05 00",
        "   120 2FFA upload 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 ...",
        "   121 2FFA dnload 03 00 04 00 04 03",
        "   122 2FFA getstatus 00 00 00 00 05 00",
        "   123 2FFA upload DE AD BE EF",
        // Starting the application: the device leaves the bus.
        "   124 2FFA dnload 04 03 00",
        "   125 2FFA getstatus 00 00 00 00 05 00",
        "   126 2FFA dnload",
        "   126 2FFA close",
    };
    EXPECT_EQ(lines, expected);
    // The second block carries its four bytes between the header and the
    // suffix.
    const std::string second = rig.bootloader.transcript().text()[16];
    EXPECT_TRUE(second.ends_with(" DE AD BE EF FF FF FF FF FF FF 10 01 55 46 44 10 00 00 00 00")) << second;
}

TEST(FirmwareUpdateOnTheBootloader, FailuresEndAtTheirStepWithTheReason)
{
    struct Case {
        const char* setup;
        std::size_t passedSteps;
        int code;
        const char* reason;  // part of the detail
        bool loaded;         // the backend kept for the next try
    };
    const std::vector<Case> cases = {
        {"absent", 3, kDfuNoDevice, "No device in bootloader mode (USB 03EB:2FFA) was found", true},
        {"denied", 3, kDfuPermissionDenied, "this user may not open it", true},
        {"unerased=0x01A0", 6, kDfuNotBlank, "at 0x01A0", false},
        {"bad-byte=0x0802", 10, kDfuVerifyFailed, "at 0x0802", false},
        {"unplug-after=12", 9, kDfuDeviceGone, "left the bus", false},
    };
    for (const Case& c : cases) {
        BootloaderRig rig(c.setup);
        EXPECT_EQ(rig.update(test::hexImage(0, 4096)), c.code) << c.setup;
        ASSERT_GE(rig.log.lines.size(), firstSteps(c.passedSteps).size() + 3) << c.setup;
        std::vector<std::string> head(
            rig.log.lines.begin(),
            rig.log.lines.begin() + static_cast<long>(firstSteps(c.passedSteps).size() + 3));
        EXPECT_EQ(head, plus(firstSteps(c.passedSteps), {kSteps[c.passedSteps], "FAILED", ""})) << c.setup;
        // The reason follows the step's lines as details.
        std::string details;
        for (std::size_t i = head.size(); i < rig.log.lines.size(); ++i)
            details += rig.log.lines[i] + "\n";
        EXPECT_NE(details.find(c.reason), std::string::npos) << c.setup << ": " << details;
        EXPECT_EQ(rig.provider.loaded(), c.loaded) << c.setup;
        EXPECT_FALSE(rig.bootloader.started()) << c.setup;
        EXPECT_TRUE(fs::is_empty(rig.tmp.path())) << c.setup;
    }
}

TEST(FirmwareUpdateOnTheBootloader, ABadImageIsRefusedBeforeTheDeviceIsTouched)
{
    BootloaderRig rig;
    const auto before = rig.bootloader.flash();
    std::string text = test::hexImage(0, 64);
    text.insert(text.find('\n') + 1, ":0400000001020304F0\n");  // a wrong checksum on line 2
    EXPECT_EQ(rig.update(text), kBadFirmwareImage);
    ASSERT_EQ(rig.log.lines.size(), 1u);
    EXPECT_NE(rig.log.lines[0].find("line 2: the record's checksum is wrong"), std::string::npos)
        << rig.log.lines[0];
    EXPECT_EQ(rig.bootloader.transfers(), 0);
    EXPECT_EQ(rig.bootloader.flash(), before);
    EXPECT_TRUE(fs::is_empty(rig.tmp.path()));
}

TEST(FirmwareUpdateOnTheBootloader, AFileThatCannotBeReadIsRefused)
{
    BootloaderRig rig;
    EXPECT_EQ(updateFirmwareFromFile((rig.dir / "none.hex").string(), rig.provider, rig.tempFiles, rig.log,
                                     rig.clock),
              kBadFirmwareImage);
    EXPECT_EQ(rig.bootloader.transfers(), 0);
}

// ---- Which backend ----

TEST(FirmwareService, TakesTheLibraryWhereThereIsOneElseUsb)
{
    TempDir dir("service");
    const auto file = dir / "image.hex";
    putFile(file, test::hexImage(0, 256));
    TempDir tmp("service-tmp");
    test::SystemTempFiles tempFiles(tmp.path().string());
    struct Case {
        const char* what;
        std::string libraryFolder;  // empty: no loader
        bool usb;
        int code;
        bool libraryUsed;
        bool usbUsed;
    };
    TempDir empty("service-no-library");
    const std::vector<Case> cases = {
        {"library and usb", kFullDir, true, kUpdateOk, true, false},
        {"no library file", empty.path().string(), true, kUpdateOk, false, true},
        {"no loader", "", true, kUpdateOk, false, true},
        {"library only", kFullDir, false, kUpdateOk, true, false},
        {"neither", empty.path().string(), false, kNoIspBackend, false, false},
        {"nothing at all", "", false, kNoIspBackend, false, false},
    };
    for (const Case& c : cases) {
        StandIn standin(kFullDir);
        sim::VirtualClock clock;
        sim::SimBootloader bootloader(clock);
        test::SystemLibraryLoader loader({c.libraryFolder});
        RecordingLog log;
        CFirmwareService service(c.libraryFolder.empty() ? nullptr : &loader, c.usb ? &bootloader : nullptr,
                                 tempFiles, clock, [](const std::string&) {});
        EXPECT_EQ(service.update(file.string(), log), c.code) << c.what;
        EXPECT_EQ(!standin.calls().empty(), c.libraryUsed) << c.what;
        EXPECT_EQ(bootloader.transfers() > 0, c.usbUsed) << c.what;
        EXPECT_EQ(bootloader.started(), c.usbUsed) << c.what;
    }
}

// ---- The private copy ----

#ifndef _WIN32
TEST(PrivateTempFile, OnlyTheUserCanReadItAndItGoesWithItsOwner)
{
    TempDir dir("private");
    test::SystemTempFiles files(dir.path().string());
    const std::string content = ":00000001FF\n";
    std::string error;
    auto a = files.create({reinterpret_cast<const uint8_t*>(content.data()), content.size()}, &error);
    auto b = files.create({reinterpret_cast<const uint8_t*>(content.data()), content.size()}, &error);
    ASSERT_TRUE(a && b) << error;
    EXPECT_NE(a->path(), b->path());
    EXPECT_EQ(fileBytes(a->path()), content);
    struct stat st {};
    ASSERT_EQ(::stat(a->path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    const std::string path = a->path();
    a.reset();
    EXPECT_FALSE(fs::exists(path));

    test::SystemTempFiles nowhere((dir.path() / "missing").string());
    EXPECT_EQ(nowhere.create({}, &error), nullptr);
    EXPECT_NE(error.find("missing"), std::string::npos) << error;
}
#endif

}  // namespace
}  // namespace cvk
