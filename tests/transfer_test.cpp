// The configuration read and the write sequence end to end against the
// simulator on a virtual clock: exact reports, their order and the pauses.

#include <gtest/gtest.h>

#include <fmt/format.h>

#include "app/main_controller.h"
#include "platform/memory_settings_store.h"
#include "profiles/device_copy.h"
#include "test_support.h"

namespace cvk {
namespace {

class ScriptedView : public test::RecordingView {
public:
    MessageAnswer messageBox(const std::string& caption, const std::string&, MessageStyle style) override
    {
        messages.push_back(caption);
        if (!isQuestion(style))
            return MessageAnswer::Ok;
        return answerYes ? MessageAnswer::Yes : MessageAnswer::No;
    }
    PumpResult pump() override
    {
        ++pumps;
        if (onPump)
            return onPump(pumps);
        return {};
    }
    void setTaskbarProgress(TaskbarProgress p) override { progress = p; }
    std::vector<std::string> messages;
    bool answerYes = true;
    int pumps = 0;
    std::function<PumpResult(int)> onPump;
    TaskbarProgress progress = TaskbarProgress::None;
};

struct TransferFixture : test::ControllerRig<ScriptedView> {
    explicit TransferFixture(std::initializer_list<const char*> devices)
    {
        for (const char* d : devices)
            sim.attach(d);
    }
    // Lines from the transcript since `from`, as "<+ms since previous> <pid> <kind> <bytes>".
    std::vector<std::string> lines(const std::vector<std::string>& kinds, size_t from = 0) const
    {
        std::vector<std::string> out;
        const auto& all = sim.transcript().lines();
        int64_t previous = from < all.size() ? all[from].ms : 0;
        for (size_t i = from; i < all.size(); ++i) {
            const sim::TranscriptLine& l = all[i];
            if (std::find(kinds.begin(), kinds.end(), l.kind) == kinds.end())
                continue;
            std::string text = fmt::format("+{} {:02X} {}", l.ms - previous, l.productId, l.kind);
            for (uint8_t b : l.bytes)
                text += fmt::format(" {:02X}", b);
            out.push_back(text);
            previous = l.ms;
        }
        return out;
    }
    size_t mark() const { return sim.transcript().lines().size(); }
};

std::string out82(int address, uint8_t value)
{
    return fmt::format("+0 08 out 82 0E 1C 39 {:02X} {:02X} 00 00", address, value);
}

// ---------------------------------------------------------------- read

TEST(ConfigurationRead, DorrinReadsSixtyFourBytesFourAtATime)
{
    TransferFixture f{"dorrin:id=0a1b2c3d"};
    f.start();
    EXPECT_EQ(f.state().modelCode, kModelDorrin);
    EXPECT_EQ(f.config().exchangedLength, 64);
    const auto& device = f.sim.find(kModelDorrin)->block();
    EXPECT_TRUE(std::equal(device.begin(), device.begin() + 64, f.config().block.begin()));
    EXPECT_EQ(f.config().reference, f.config().block);
    EXPECT_EQ(f.window().serialText, "S/N: 0a:1b:2c:3d");
    EXPECT_EQ(f.window().hardwareKey, "HW:0a:1b:2c:3d");
    EXPECT_FALSE(f.window().readFailed);
    EXPECT_FALSE(f.state().busy);
    EXPECT_EQ(f.window().transferMark, -1);

    // The read after the scan: identity, then read-4 for addresses 32..92.
    std::vector<std::string> outs;
    for (const std::string& l : f.lines({"out"}))
        outs.push_back(l.substr(l.find("out ") + 4, 2));
    ASSERT_GE(outs.size(), 17u);
    const std::vector<std::string> tail(outs.end() - 17, outs.end());
    std::vector<std::string> want{"84"};
    for (int a = 8; a <= 23; ++a)
        want.push_back(fmt::format("{:02X}", a));
    EXPECT_EQ(tail, want);
}

TEST(ConfigurationRead, CindelReadsNinetyBytesAndItsTextAreas)
{
    TransferFixture f{"cindel:id=01020304"};
    auto* device = f.sim.find(kModelCindel);
    device->signatureArea(0)[5] = 0x04;
    device->signatureArea(1)[5] = 0x02;
    f.start();
    EXPECT_EQ(f.config().exchangedLength, 90);
    EXPECT_TRUE(std::equal(device->block().begin(), device->block().begin() + 90, f.config().block.begin()));
    EXPECT_EQ(f.config().block[90], 0);  // the last request covers 88..91; 90 and 91 are not taken
    EXPECT_EQ(f.config().strokeUsages[5], 0x04);
    EXPECT_EQ(f.config().strokeModifiers[5], 0x02);
    const auto outs = f.lines({"out"});
    EXPECT_NE(std::find(outs.begin(), outs.end(), "+0 09 out 1E 00 00 00 00 00 00 00"), outs.end());
    EXPECT_EQ(std::find(outs.begin(), outs.end(), "+0 09 out 1F 00 00 00 00 00 00 00"), outs.end());
    // First sight on the cable: the per-device copy is stored.
    EXPECT_TRUE(hasDeviceCopy(f.store, "HW:01:02:03:04"));
}

TEST(ConfigurationRead, RegisterFamilyUsesIndexedStrings)
{
    struct Case {
        const char* setup;
        int index;
    };
    for (const Case& c : {Case{"essom:fw=0x1000", 3}, Case{"essom:fw=0x1001", 16}}) {
        TransferFixture f{c.setup};
        f.start();
        const auto strings = f.lines({"get-string"});
        ASSERT_FALSE(strings.empty()) << c.setup;
        EXPECT_TRUE(strings.front().starts_with(fmt::format("+0 06 get-string {:02X} ", c.index)))
            << strings.front();
        EXPECT_EQ(f.config().exchangedLength, 32);
        const auto& device = f.sim.find(kModelEssom)->block();
        EXPECT_TRUE(std::equal(device.begin(), device.end(), f.config().block.begin())) << c.setup;
    }
}

TEST(ConfigurationRead, ReceiverAloneWithoutStoredCopyShowsNoDevice)
{
    TransferFixture f{"receiver:id=0a1b2c3d"};
    f.start();
    EXPECT_EQ(f.state().modelCode, kModelNone);
    EXPECT_EQ(f.config().block, (std::array<uint8_t, 256>{}));
    EXPECT_EQ(f.window().trayTip, "Corvane Wireless Dongle.");
    EXPECT_EQ(f.state().hardwareVersionText, "Wireless 0a:1b:2c:3d");
}

TEST(ConfigurationRead, ReceiverAloneShowsTheStoredCopy)
{
    TransferFixture f{"receiver:id=0a1b2c3d"};
    std::vector<uint8_t> data(300, 0x11);  // longer than the block: cut to 256
    data[0] = 0x07;
    f.store.writeBytes("HW:0a:1b:2c:3d", "Data.W", data);
    f.start();
    EXPECT_EQ(f.state().modelCode, kModelReceiverOnly);
    EXPECT_EQ(f.state().firmwareVersion, 0x1001u);
    EXPECT_EQ(f.config().exchangedLength, 90);
    EXPECT_EQ(f.config().block[0], 0x07);
    EXPECT_EQ(f.config().block[255], 0x11);
    EXPECT_EQ(f.config().reference, f.config().block);
    EXPECT_FALSE(f.window().readFailed);
}

TEST(ConfigurationRead, SwappedButtonsQuestion)
{
    for (bool yes : {true, false}) {
        TransferFixture f{"dorrin"};
        f.system.swapped = true;  // the Dorrin factory block has bit 3 of position 0 clear
        f.view.answerYes = yes;
        f.c.start();
        EXPECT_TRUE(f.view.posted.size() >= 1);
        f.runPosted();
        ASSERT_EQ(f.view.messages.size(), 1u) << yes;
        EXPECT_EQ(f.view.messages[0], "Switch primary and secondary buttons");
        const uint8_t device0 = f.sim.find(kModelDorrin)->block()[0];
        EXPECT_EQ((device0 & 0x08) != 0, yes);
        EXPECT_EQ((f.config().reference[0] & 0x08) != 0, yes);
    }
}

TEST(ConfigurationRead, SilentDeviceEndsAsAFailedReadNotAnEmptyBlock)
{
    TransferFixture f{"dorrin:wrong-echo"};
    f.start();
    EXPECT_TRUE(f.window().readFailed);
    EXPECT_FALSE(f.state().busy);
    EXPECT_NE(f.window().trayTip.find("could not be read"), std::string::npos);
    // The block read asks again for the same address, but not forever.
    EXPECT_LE(f.lines({"out"}).size(), 3u + kBlockReadAttemptsPerAddress);
}

// ---------------------------------------------------------------- wake-up

TEST(WakeUp, FetchWaitsForTheReceiverThenReads)
{
    TransferFixture f{"dorrin-receiver:wake-after=3"};
    f.start();
    EXPECT_EQ(f.state().modelCode, kModelDorrinReceiver);
    EXPECT_FALSE(f.window().readFailed);
    const auto outs = f.lines({"out", "in"});
    std::vector<std::string> wake;
    for (const std::string& l : outs)
        if (l.find(" 83 ") != std::string::npos)
            wake.push_back(l);
    ASSERT_EQ(wake.size(), 8u);
    EXPECT_EQ(wake[0], "+0 07 out 83 0E 1C 39 01 00 00 00");
    EXPECT_EQ(wake[2], "+100 07 out 83 00 1C 39 01 00 00 00");  // repeats after 100 ms with byte 1 = 0
    EXPECT_EQ(wake[7], "+0 07 in 83 00 07 00 00 00 00 00");
    EXPECT_EQ(f.view.pumps, 3);
}

TEST(WakeUp, CommandArrivingMidLoopEndsItAndResetsTheFlags)
{
    TransferFixture f{"dorrin-receiver:wake-after=1000"};
    int nestedReads = 0;
    f.view.onPump = [&](int n) {
        if (n == 4) {
            ++nestedReads;
            f.sim.find(kModelDorrinReceiver)->config().wakeAfter = 0;
            f.c.handleCommand(kCmdRefresh);  // runs to completion inside the loop
            return PumpResult{true, false};
        }
        return PumpResult{};
    };
    f.start();
    EXPECT_EQ(nestedReads, 1);
    EXPECT_FALSE(f.state().busy);
    EXPECT_EQ(f.window().transferMark, -1);
    EXPECT_FALSE(f.window().readFailed);  // the nested read succeeded
}

TEST(WakeUp, HidingTheWindowEndsTheLoopAndPostsRefresh)
{
    TransferFixture f{"dorrin-receiver:wake-after=1000"};
    f.c.start();  // first read (no device yet), then the scan posts Refresh
    f.view.posted.clear();
    f.view.onPump = [](int n) { return PumpResult{false, n == 2}; };
    f.c.configurationRead();
    EXPECT_EQ(f.view.posted, std::vector<int>{kCmdRefresh});
    EXPECT_FALSE(f.state().busy);
    EXPECT_EQ(f.window().transferMark, -1);
}

TEST(WakeUp, ReceiverThatNeverWakesEndsAfterTheBound)
{
    TransferFixture f{"dorrin-receiver:wake-after=100000"};
    f.start();
    EXPECT_TRUE(f.window().readFailed);
    EXPECT_EQ(f.view.pumps, kWakeAttempts);
    EXPECT_FALSE(f.state().busy);
}

// ---------------------------------------------------------------- write

TEST(WriteSequence, DorrinWritesEveryPositionThenVerifiesFourAtATime)
{
    TransferFixture f{"dorrin"};
    f.start();
    f.config().block[2] = kFnRightClick;
    const size_t from = f.mark();
    ASSERT_TRUE(f.c.writeSequence());
    std::vector<std::string> expected;
    for (int j = 0; j < 64; ++j) {
        expected.push_back(out82(j + 32, f.config().block[j]));
        expected.push_back("+0 08 in 82 00 00 00 00 00 00 00");
    }
    const uint8_t last = f.config().block[63];
    for (int a = 32; a < 96; a += 4) {
        // The verify request keeps bytes 1..7 of the last write request.
        expected.push_back(fmt::format("+0 08 out {:02X} 0E 1C 39 5F {:02X} 00 00", a / 4, last));
        expected.push_back(fmt::format("+0 08 in {:02X} {:02X} {:02X} {:02X} {:02X} 00 00 00", a / 4,
                                       f.config().block[a - 32], f.config().block[a - 31],
                                       f.config().block[a - 30], f.config().block[a - 29]));
    }
    EXPECT_EQ(f.lines({"out", "in"}, from), expected);
    EXPECT_EQ(f.sim.find(kModelDorrin)->block()[2], kFnRightClick);
    EXPECT_EQ(f.config().reference, f.config().block);
    EXPECT_EQ(f.window().fadeLevel, 50);
    EXPECT_EQ(f.view.progress, TaskbarProgress::None);
    EXPECT_TRUE(f.view.messages.empty());
}

TEST(WriteSequence, CindelWritesNinetyBytesTextsAndHiddenNumber)
{
    TransferFixture f{"cindel:id=01020304"};
    f.start();
    f.config().textPending = true;
    f.config().strokeUsages[0] = 0x04;
    f.c.setHiddenNumber(0x1234);
    const size_t from = f.mark();
    ASSERT_TRUE(f.c.writeSequence());
    const auto outs = f.lines({"out"}, from);
    // 90 byte writes, 512 text-area writes, identity, hidden number low then high, 23 verify reads.
    ASSERT_EQ(outs.size(), 90u + 512u + 1u + 2u + 23u);
    EXPECT_EQ(outs[89], "+0 09 out 82 0E 1C 39 79 " + fmt::format("{:02X}", f.config().block[89]) + " 00 00");
    EXPECT_EQ(outs[90], "+0 09 out 94 0E 1C 39 00 04 00 00");
    EXPECT_EQ(outs[90 + 256], "+0 09 out 95 0E 1C 39 00 00 00 00");
    EXPECT_EQ(outs[602], "+0 09 out 84 00 00 00 00 00 00 00");
    EXPECT_EQ(outs[603], "+0 09 out 82 0E 1C 39 11 34 00 00");
    EXPECT_EQ(outs[604], "+0 09 out 82 0E 1C 39 10 12 00 00");
    EXPECT_EQ(outs.back().substr(0, 16), "+0 09 out 1E 0E ");
    EXPECT_FALSE(f.config().textPending);
    EXPECT_EQ(f.sim.find(kModelCindel)->extraValue(), 0x1234);
    EXPECT_EQ(f.sim.find(kModelCindel)->signatureArea(0)[0], 0x04);
    EXPECT_TRUE(hasDeviceCopy(f.store, "HW:01:02:03:04"));
}

TEST(WriteSequence, HiddenNumberOutsideItsRangeIsNotSent)
{
    for (int number : {0, 6000, -1}) {
        TransferFixture f{"cindel"};
        f.start();
        f.c.setHiddenNumber(number);
        const size_t from = f.mark();
        ASSERT_TRUE(f.c.writeSequence());
        for (const std::string& l : f.lines({"out"}, from)) {
            EXPECT_EQ(l.find("out 82 0E 1C 39 10 "), std::string::npos) << number;
            EXPECT_EQ(l.find("out 82 0E 1C 39 11 "), std::string::npos) << number;
        }
    }
}

struct RegisterCase {
    const char* setup;
    int offset;
    bool preamble;
};
// Test names stay the same from build to build.
void PrintTo(const RegisterCase& c, std::ostream* os) { *os << c.setup; }

class RegisterWrite : public ::testing::TestWithParam<RegisterCase> {};

TEST_P(RegisterWrite, StartBytesEndWithTheirPausesThenReadBack)
{
    const RegisterCase& p = GetParam();
    TransferFixture f{p.setup};
    f.start();
    f.config().block[1] = kFnRightClick;
    const size_t from = f.mark();
    ASSERT_TRUE(f.c.writeSequence());
    std::vector<std::string> expected;
    int pause = 0;
    if (p.preamble) {
        expected = {"+0 06 set-feature 01 00 00", "+20 06 set-feature 01 20 22",
                    "+20 06 set-feature 01 21 E0"};
        pause = 20;
    }
    expected.push_back(fmt::format("+{} 06 set-feature 01 FF F8", pause));
    for (int b = 0; b < 32; ++b)
        expected.push_back(fmt::format("+{} 06 set-feature 01 {:02X} {:02X}", b == 0 ? 100 : 20, b + p.offset,
                                       f.config().block[b]));
    expected.push_back("+20 06 set-feature 01 FF FF");
    auto got = f.lines({"set-feature", "get-string"}, from);
    ASSERT_EQ(got.size(), expected.size() + 1);
    EXPECT_TRUE(got.back().starts_with("+50 06 get-string 03 ")) << got.back();
    got.pop_back();
    EXPECT_EQ(got, expected);
    EXPECT_EQ(f.sim.find(kModelEssom)->block()[1], kFnRightClick);
}

INSTANTIATE_TEST_SUITE_P(Firmware, RegisterWrite,
                         ::testing::Values(RegisterCase{"essom:fw=0x131F", 0, true},
                                           RegisterCase{"essom:fw=0x1320", 32, true},
                                           RegisterCase{"essom:fw=0x30A", 0, false}),
                         [](const auto& i) { return std::to_string(i.index); });

TEST(WriteSequence, LegacyFirmwareSendsOnlyTheApplyReport)
{
    TransferFixture f{"arvel-old:fw=0x2FE"};
    f.start();
    const size_t from = f.mark();
    const int wheelSetsBefore = f.system.wheelLinesSet;
    ASSERT_TRUE(f.c.writeSequence());
    EXPECT_EQ(f.lines({"set-feature", "out", "get-string"}, from),
              std::vector<std::string>{"+0 04 set-feature 00 FF FF"});
    EXPECT_EQ(f.system.wheelLinesSet, wheelSetsBefore + 1);
    EXPECT_EQ(f.window().fadeLevel, 50);
}

TEST(WriteSequence, EveryWriteCorruptedGivesUpAfterTwentyAttempts)
{
    for (const char* setup : {"dorrin:corrupt-write=100000", "essom:corrupt-write=100000"}) {
        TransferFixture f{setup};
        f.start();
        const auto reference = f.config().reference;
        f.config().block[2] ^= 1;
        const size_t from = f.mark();
        EXPECT_FALSE(f.c.writeSequence()) << setup;
        const std::string start = f.state().commandFamily() ? "out 82 0E 1C 39 20 " : "set-feature 01 FF F8";
        int attempts = 0;
        for (const std::string& l : f.lines({"out", "set-feature"}, from))
            attempts += l.find(start) != std::string::npos;
        EXPECT_EQ(attempts, kWriteAttempts) << setup;
        EXPECT_EQ(f.view.messages, std::vector<std::string>{"Error occurred while saving changes"}) << setup;
        EXPECT_EQ(f.config().reference, reference) << setup;
        EXPECT_FALSE(f.state().busy);
        EXPECT_EQ(f.view.progress, TaskbarProgress::None);
    }
}

TEST(WriteSequence, OneCorruptedByteIsMendedByTheNextAttempt)
{
    TransferFixture f{"dorrin"};
    f.start();
    f.sim.find(kModelDorrin)->config().faults.corruptWrites = 1;
    EXPECT_TRUE(f.c.writeSequence());
    EXPECT_TRUE(f.view.messages.empty());
}

TEST(WriteSequence, UnpluggedMidWriteShowsTheErrorAndKeepsTheReference)
{
    for (const char* setup : {"dorrin", "cindel:id=01020304", "essom"}) {
        TransferFixture f{setup};
        f.start();
        f.store.writeInt("Profile", "NumberOfProfiles", 1);
        const auto storeBefore = f.store.all();
        const auto reference = f.config().reference;
        f.config().block[1] ^= 0x20;
        f.sim.devices().front()->config().faults.unplugAfter = f.sim.devices().front()->reportCount() + 10;
        EXPECT_FALSE(f.c.writeSequence()) << setup;
        EXPECT_EQ(f.view.messages, std::vector<std::string>{"Error occurred while saving changes"}) << setup;
        EXPECT_EQ(f.config().reference, reference) << setup;
        EXPECT_EQ(f.store.all().size(), storeBefore.size()) << setup;
        EXPECT_FALSE(f.state().busy);
    }
}

TEST(WriteSequence, FailedWriteKeepsTheTextsPending)
{
    TransferFixture f{"cindel"};
    f.start();
    f.config().textPending = true;
    f.sim.find(kModelCindel)->config().faults.corruptWrites = 100000;
    EXPECT_FALSE(f.c.writeSequence());
    EXPECT_TRUE(f.config().textPending);
}

TEST(WriteSequence, StoreWakeUpOnTheDorrinReceiver)
{
    TransferFixture f{"dorrin-receiver:wake-after=2"};
    f.start();
    const size_t from = f.mark();
    ASSERT_TRUE(f.c.writeSequence());
    std::vector<std::string> wake;
    for (const std::string& l : f.lines({"out"}, from))
        if (l.find("out 83 ") != std::string::npos)
            wake.push_back(l);
    // Two not-ready answers, the ready one, then one more request of the tail.
    ASSERT_EQ(wake.size(), 4u);
    EXPECT_EQ(wake[0], "+0 07 out 83 0E 1C 39 20 00 00 00");
    EXPECT_EQ(wake[1], "+100 07 out 83 00 1C 39 20 00 00 00");
}

TEST(WriteSequence, NoChannelEndsWithTheErrorAtOnce)
{
    TransferFixture f{"dorrin"};
    f.start();
    f.sim.unplug(kModelDorrin);
    const int64_t before = f.clock.nowMs();
    EXPECT_FALSE(f.c.writeSequence());
    EXPECT_EQ(f.clock.nowMs(), before);
    EXPECT_EQ(f.view.messages.size(), 1u);
}

TEST(WriteSequence, WheelLinesFollowTheBlockAndTheFamily)
{
    struct Case {
        const char* setup;
        uint8_t position16;
        int lines;
    };
    for (const Case& c : {Case{"dorrin", 16, 1}, Case{"dorrin", 32, 3}, Case{"cindel", 32, 1}}) {
        TransferFixture f{c.setup};
        f.start();
        f.config().block[kPosEdgePrecision] = c.position16;
        ASSERT_TRUE(f.c.writeSequence());
        EXPECT_EQ(f.system.wheelLines, c.lines) << c.setup << " " << int(c.position16);
        EXPECT_EQ(f.window().wheelLines, c.lines);
    }
}

}  // namespace
}  // namespace cvk
