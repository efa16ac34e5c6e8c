// The simulated devices themselves: what they answer, how time passes and
// what the transcript records.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "config/factory_blocks.h"
#include "device/models.h"
#include "platform/vendor.h"
#include "sim/sim.h"

namespace cvk::sim {
namespace {

using Bytes = std::vector<uint8_t>;

// --- device descriptions ---

TEST(SimParse, DefaultsPerModel)
{
    const std::vector<std::string> names = simModelNames();
    const std::vector<std::string> expected = {"receiver", "arvel-old", "arvel", "essom", "dorrin-receiver",
                                               "dorrin",   "cindel",    "brill", "arvel2"};
    EXPECT_EQ(names, expected);
    const std::vector<uint16_t> pids = {1, 4, 5, 6, 7, 8, 9, 10, 11};
    std::vector<std::array<uint8_t, 4>> ids;
    for (size_t i = 0; i < names.size(); ++i) {
        const SimDeviceConfig c = parseSimSetup(names[i]);
        EXPECT_EQ(c.productId, pids[i]) << names[i];
        EXPECT_EQ(c.modelName, names[i]);
        EXPECT_EQ(c.firmwareText.size(), 10u) << names[i];
        ids.push_back(c.id);
    }
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(std::unique(ids.begin(), ids.end()), ids.end()) << "default ids must differ per model";
    EXPECT_EQ(parseSimSetup("arvel-old").firmware, 0x0250);
    EXPECT_EQ(parseSimSetup("arvel").firmware, 0x031C);
    EXPECT_EQ(parseSimSetup("essom").firmware, 0x031C);
    EXPECT_EQ(parseSimSetup("dorrin").firmware, 0x1205);
    EXPECT_EQ(parseSimSetup("dorrin").firmwareText, "CVK-1.2.05");
}

TEST(SimParse, Keys)
{
    const SimDeviceConfig c = parseSimSetup(
        "dorrin-receiver:fw=0x1320,id=0A0b0C0d,latency=3,wake-after=12,corrupt-write=2,unplug-after=40,no-"
        "answer,"
        "wrong-echo=1,battery-raw=160,signal=0xE3,status=5,battery=100,link=300,signal-valid=0,fw-text=ABC "
        "DEF");
    EXPECT_EQ(c.productId, 7);
    EXPECT_EQ(c.firmware, 0x1320);
    EXPECT_EQ(c.id, (std::array<uint8_t, 4>{0x0A, 0x0B, 0x0C, 0x0D}));
    EXPECT_EQ(c.latencyMs, 3);
    EXPECT_EQ(c.wakeAfter, 12);
    EXPECT_EQ(c.faults.corruptWrites, 2);
    EXPECT_EQ(c.faults.unplugAfter, 40);
    EXPECT_TRUE(c.faults.noAnswer);
    EXPECT_TRUE(c.faults.wrongEcho);
    EXPECT_EQ(c.batteryRaw, 160);
    EXPECT_EQ(c.signal, 0xE3);
    EXPECT_EQ(c.statusBits, 5);
    EXPECT_EQ(c.batteryPercent, 100);
    EXPECT_EQ(c.linkValue, 300);
    EXPECT_FALSE(c.signalValid);
    EXPECT_EQ(c.firmwareText, "ABC DEF");

    EXPECT_EQ(parseSimSetup("arvel:fw=800").firmware, 800);
    EXPECT_FALSE(parseSimSetup("brill:no-answer=0").faults.noAnswer);
    EXPECT_EQ(parseSimSetup("brill:").productId, 10);
    // Without fw-text the text follows the firmware.
    EXPECT_EQ(parseSimSetup("essom").firmwareText, "CVK-0.3.28");
}

TEST(SimParse, BadInputNamesTheBadPart)
{
    struct Case {
        std::string setup;
        std::string named;  // must appear in the message
    };
    const std::vector<Case> cases = {
        {"dorin", "dorin"},
        {"", "''"},
        {"Dorrin", "Dorrin"},
        {"dorrin:colour=red", "colour"},
        {"dorrin:fw=0x", "fw"},
        {"dorrin:fw=12z", "12z"},
        {"dorrin:fw=0x10000", "0x10000"},
        {"dorrin:fw=-1", "-1"},
        {"dorrin:fw", "fw"},
        {"dorrin:id=0102030", "0102030"},
        {"dorrin:id=010203040", "id"},
        {"dorrin:id=0102030g", "0102030g"},
        {"dorrin:latency=abc", "latency"},
        {"dorrin:battery-raw=256", "256"},
        {"dorrin:signal-valid=2", "signal-valid"},
        {"dorrin:no-answer=yes", "yes"},
        {"dorrin:fw=1,,latency=2", "empty"},
    };
    for (const Case& c : cases) {
        try {
            parseSimSetup(c.setup);
            ADD_FAILURE() << "accepted: " << c.setup;
        } catch (const std::invalid_argument& e) {
            EXPECT_NE(std::string(e.what()).find(c.named), std::string::npos)
                << c.setup << " -> " << e.what();
        }
    }
}

// --- transcript ---

TEST(SimTranscript, LineFormat)
{
    EXPECT_EQ((TranscriptLine{412, 8, "out", {0x82, 0x0E, 0x1C, 0x39, 0x20, 0x07, 0x00, 0x00}}.text()),
              "   412 08 out 82 0E 1C 39 20 07 00 00");
    EXPECT_EQ((TranscriptLine{0, 11, "open", {}}.text()), "     0 0B open");
    EXPECT_EQ((TranscriptLine{1234567, 1, "get-feature", {4, 0xc8}}.text()), "1234567 01 get-feature 04 C8");
}

TEST(SimTranscript, FiltersKindsAndStreamsToFile)
{
    const std::string path = ::testing::TempDir() + "sim_transcript_test.txt";
    Transcript t;
    t.add(1, 8, "open");
    ASSERT_TRUE(t.setFile(path));
    t.add(2, 8, "out", {0x84, 0x00});
    t.add(3, 8, "in", {0x84, 1, 2, 3, 4});
    {
        // Lines reach the file as they are added, not when it is closed.
        std::ifstream f(path);
        std::string l1, l2, extra;
        ASSERT_TRUE(std::getline(f, l1));
        ASSERT_TRUE(std::getline(f, l2));
        EXPECT_EQ(l1, "     2 08 out 84 00");
        EXPECT_EQ(l2, "     3 08 in 84 01 02 03 04");
        EXPECT_FALSE(std::getline(f, extra));
    }
    EXPECT_TRUE(t.setFile(""));
    t.add(4, 8, "close");
    EXPECT_EQ(t.text({"in", "close"}),
              (std::vector<std::string>{"     3 08 in 84 01 02 03 04", "     4 08 close"}));
    EXPECT_EQ(t.text().size(), 4u);
    EXPECT_FALSE(t.setFile("/nonexistent-dir/x/trace.txt"));
    std::remove(path.c_str());
}

// --- bus and devices ---

class SimBusTest : public ::testing::Test {
protected:
    VirtualClock clock;
    SimBus bus{clock};

    std::optional<HidInterfaceInfo> entry(uint16_t pid, uint16_t page, uint16_t usage)
    {
        for (const HidInterfaceInfo& e : bus.enumerate())
            if (e.productId == pid && e.usagePage == page && e.usage == usage)
                return e;
        return std::nullopt;
    }
    HidDevicePtr openVendor(uint16_t pid)
    {
        auto e = entry(pid, 0xFFFF, 1);
        return e ? bus.open(*e) : nullptr;
    }
    HidDevicePtr openMouse(uint16_t pid)
    {
        auto e = entry(pid, 1, 2);
        return e ? bus.open(*e) : nullptr;
    }
    static int send(const HidDevicePtr& node, Bytes data8, int timeoutMs = 100)
    {
        std::array<uint8_t, 9> frame{};
        std::copy(data8.begin(), data8.end(), frame.begin() + 1);
        return node->write(frame, timeoutMs);
    }
    static std::optional<Bytes> receive(const HidDevicePtr& node, int timeoutMs = 100)
    {
        std::array<uint8_t, 9> frame{};
        frame.fill(0xEE);
        if (node->read(frame, timeoutMs) != 9)
            return std::nullopt;
        EXPECT_EQ(frame[0], 0);
        return Bytes(frame.begin() + 1, frame.end());
    }
    static std::optional<Bytes> exchange(const HidDevicePtr& node, Bytes data8)
    {
        if (send(node, std::move(data8)) != 9)
            return std::nullopt;
        return receive(node);
    }
    static bool setFeature(const HidDevicePtr& node, Bytes report) { return node->setFeature(report); }
};

TEST_F(SimBusTest, CollectionsPerProduct)
{
    for (const char* m : {"receiver", "arvel-old", "arvel", "dorrin", "cindel"})
        bus.attach(m);
    using Col = std::tuple<uint16_t, uint16_t, uint16_t>;
    std::vector<Col> cols;
    std::vector<std::string> paths;
    for (const HidInterfaceInfo& e : bus.enumerate()) {
        cols.emplace_back(e.productId, e.usagePage, e.usage);
        paths.push_back(e.path);
        EXPECT_EQ(e.vendorId, kVendorId);
    }
    const std::vector<Col> expected = {{1, 0xFF01, 1}, {1, 0xFF01, 2}, {1, 0xFF01, 3}, {4, 1, 2},
                                       {5, 1, 2},      {5, 0xFFFF, 1}, {8, 1, 2},      {8, 0xFFFF, 1},
                                       {9, 1, 2},      {9, 0xFFFF, 1}};
    EXPECT_EQ(cols, expected);
    EXPECT_EQ(paths[7], "sim:08:0:FFFF:1");
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(std::unique(paths.begin(), paths.end()), paths.end());
    EXPECT_EQ(entry(4, 1, 2)->releaseNumber, 0x0250);
}

TEST_F(SimBusTest, UnplugDuplicatesForeignAndVanishing)
{
    bus.attach("dorrin");
    bus.addDuplicateVendorInterface(8);
    HidInterfaceInfo foreign;
    foreign.path = "other:1";
    foreign.vendorId = 0x1234;
    foreign.productId = 8;
    foreign.usagePage = 0xFFFF;
    foreign.usage = 1;
    bus.addForeignInterface(foreign);

    std::vector<std::string> vendorPaths;
    for (const HidInterfaceInfo& e : bus.enumerate())
        if (e.usagePage == 0xFFFF)
            vendorPaths.push_back(e.path);
    ASSERT_EQ(vendorPaths.size(), 3u);
    EXPECT_EQ(vendorPaths[2], "other:1");
    EXPECT_NE(vendorPaths[0], vendorPaths[1]);

    // The duplicate reaches the same device.
    HidInterfaceInfo dup;
    dup.path = vendorPaths[1];
    HidDevicePtr node = bus.open(dup);
    ASSERT_TRUE(node);
    bus.find(8)->block()[0] = 0x5A;
    EXPECT_EQ(exchange(node, {8}), (Bytes{8, 0x5A, 0x04, 0xFF, 0x00, 0, 0, 0}));

    // A foreign node opens but answers nothing.
    HidDevicePtr other = bus.open(foreign);
    ASSERT_TRUE(other);
    EXPECT_EQ(send(other, {0x84}), -1);
    EXPECT_FALSE(receive(other));

    HidOpenError err = HidOpenError::None;
    bus.vanishOnOpen(vendorPaths[0]);
    dup.path = vendorPaths[0];
    EXPECT_FALSE(bus.open(dup, &err));
    EXPECT_EQ(err, HidOpenError::NotFound);
    EXPECT_EQ(bus.enumerate().size(), 4u) << "a vanishing path is still enumerated";

    EXPECT_TRUE(bus.unplug(8));
    EXPECT_FALSE(bus.unplug(8));
    EXPECT_EQ(bus.find(8), nullptr);
    EXPECT_EQ(bus.enumerate().size(), 1u);
    EXPECT_EQ(send(node, {0x84}), -1);
    std::array<uint8_t, 8> feature{4};
    EXPECT_FALSE(node->getFeature(feature));
    err = HidOpenError::None;
    dup.path = vendorPaths[1];
    EXPECT_FALSE(bus.open(dup, &err));
    EXPECT_EQ(err, HidOpenError::NotFound);

    // Plugged in again it is a new device with new paths.
    bus.attach("dorrin");
    EXPECT_EQ(entry(8, 0xFFFF, 1)->path, "sim:08:1:FFFF:1");
}

TEST_F(SimBusTest, CommandExchangeTranscriptAndLatency)
{
    bus.attach("dorrin:latency=3");
    HidDevicePtr node = openVendor(8);
    ASSERT_TRUE(node);
    EXPECT_EQ(exchange(node, {0x82, 0x0E, 0x1C, 0x39, 0x20, 0x07}), (Bytes{0x82, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(bus.find(8)->block()[0], 0x07);
    clock.sleepMs(10);
    EXPECT_EQ(exchange(node, {0x82, 0x0E, 0x1C, 0x39, 17, 0x34}), (Bytes{0x82, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(exchange(node, {0x82, 0x0E, 0x1C, 0x39, 16, 0x12}), (Bytes{0x82, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(bus.find(8)->extraValue(), 0x1234);
    EXPECT_EQ(exchange(node, {4}), (Bytes{4, 0x12, 0x34, 0, 0, 0, 0, 0}));
    node.reset();
    EXPECT_EQ(bus.transcript().text(), (std::vector<std::string>{
                                           "     0 08 open",
                                           "     3 08 out 82 0E 1C 39 20 07 00 00",
                                           "     6 08 in 82 00 00 00 00 00 00 00",
                                           "    19 08 out 82 0E 1C 39 11 34 00 00",
                                           "    22 08 in 82 00 00 00 00 00 00 00",
                                           "    25 08 out 82 0E 1C 39 10 12 00 00",
                                           "    28 08 in 82 00 00 00 00 00 00 00",
                                           "    31 08 out 04 00 00 00 00 00 00 00",
                                           "    34 08 in 04 12 34 00 00 00 00 00",
                                           "    34 08 close",
                                       }));
}

TEST_F(SimBusTest, ReadFourAddressing)
{
    SimDevice& d = bus.attach("cindel");
    HidDevicePtr node = openVendor(9);
    for (size_t i = 0; i < 256; ++i)
        d.block()[i] = static_cast<uint8_t>(i);
    EXPECT_EQ(exchange(node, {8}), (Bytes{8, 0, 1, 2, 3, 0, 0, 0}));
    EXPECT_EQ(exchange(node, {30}), (Bytes{30, 88, 89, 90, 91, 0, 0, 0}));
    EXPECT_EQ(exchange(node, {0x47}), (Bytes{0x47, 252, 253, 254, 255, 0, 0, 0}));
    EXPECT_EQ(exchange(node, {0x48}), (Bytes{0x48, 0, 0, 0, 0, 0, 0, 0})) << "beyond the block reads 0";
    EXPECT_EQ(exchange(node, {2}), (Bytes{2, 0, 0, 0, 0, 0, 0, 0}));
    // Without the signature a write is ignored; an unknown command gets zeros.
    EXPECT_EQ(exchange(node, {0x82, 0x0E, 0x1C, 0x38, 0x20, 0xAA}), Bytes(8, 0));
    EXPECT_EQ(d.block()[0], 0);
    EXPECT_EQ(exchange(node, {0x99, 1, 2}), Bytes(8, 0));
}

TEST_F(SimBusTest, TimeOutsSpendTheFullBound)
{
    bus.attach("brill:latency=100");
    HidDevicePtr node = openVendor(10);
    // Nothing queued: the read waits out its bound.
    EXPECT_FALSE(receive(node, 100));
    EXPECT_EQ(clock.nowMs(), 100);
    // A report as slow as the bound is lost.
    EXPECT_EQ(send(node, {0x84}, 100), -1);
    EXPECT_EQ(clock.nowMs(), 200);
    EXPECT_EQ(send(node, {0x84}, 150), 9);
    EXPECT_EQ(clock.nowMs(), 300);
    EXPECT_FALSE(receive(node, 100)) << "the reply arrives too late";
    EXPECT_EQ(clock.nowMs(), 400);
    EXPECT_FALSE(receive(node, 100)) << "a late reply is gone for good";
    EXPECT_EQ(bus.transcript().text({"out", "in", "no-answer"}),
              (std::vector<std::string>{"   100 0A no-answer", "   200 0A no-answer 84 00 00 00 00 00 00 00",
                                        "   300 0A out 84 00 00 00 00 00 00 00", "   400 0A no-answer",
                                        "   500 0A no-answer"}));
}

TEST_F(SimBusTest, NoAnswerFault)
{
    bus.attach("arvel:no-answer");
    bus.attach("dorrin:no-answer");
    HidDevicePtr vendor = openVendor(8);
    HidDevicePtr mouse = openMouse(5);
    EXPECT_EQ(send(vendor, {0x84}), -1);
    EXPECT_EQ(clock.nowMs(), 100);
    EXPECT_FALSE(receive(vendor));
    EXPECT_EQ(clock.nowMs(), 200);
    EXPECT_FALSE(setFeature(mouse, {1, 0xFF, 8}));
    EXPECT_FALSE(mouse->indexedString(3, 256));
    EXPECT_FALSE(mouse->indexedString(4, 256));
    EXPECT_EQ(bus.find(5)->cursorSpeed(), -1);
    EXPECT_EQ(bus.transcript().text({"no-answer"}),
              (std::vector<std::string>{"   100 08 no-answer 84 00 00 00 00 00 00 00", "   200 08 no-answer",
                                        "   200 05 no-answer 01 FF 08", "   200 05 no-answer 03",
                                        "   200 05 no-answer 04"}));
}

TEST_F(SimBusTest, WrongEchoFlipsBitZeroOfEveryReply)
{
    bus.attach("dorrin-receiver:wrong-echo,id=11223344");
    HidDevicePtr node = openVendor(7);
    EXPECT_EQ(exchange(node, {0x84, 0}), (Bytes{0x85, 0x11, 0x22, 0x33, 0x44, 0, 0, 0}));
    EXPECT_EQ(exchange(node, {9})->at(0), 8);
}

// The answers come from the bytes in order, whatever was asked, and stop
// with them; the device still takes what is sent to it.
TEST_F(SimBusTest, FuzzedRepliesAnswerInTurnUntilUsedUp)
{
    SimDeviceConfig config = parseSimSetup("dorrin");
    Bytes replies{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};  // two reports
    replies.insert(replies.end(), {3, 0, 0xAA, 0xBB, 0xCC});               // a string
    replies.push_back(0xDD);                                               // a cut report
    config.faults.fuzzReplies = replies;
    SimDevice& device = bus.attach(config);
    HidDevicePtr vendor = openVendor(8);
    HidDevicePtr mouse = openMouse(8);
    EXPECT_EQ(exchange(vendor, {0x84, 0x70, 9, 8, 7, 6}), (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(device.pairedId(), (std::array<uint8_t, 4>{9, 8, 7, 6}));
    EXPECT_EQ(receive(vendor), (Bytes{9, 10, 11, 12, 13, 14, 15, 16})) << "nothing was asked";
    EXPECT_EQ(mouse->indexedString(4, 256), (Bytes{0xAA, 0xBB, 0xCC}));
    EXPECT_EQ(exchange(vendor, {9}), (Bytes{0xDD, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_FALSE(exchange(vendor, {9}));
    EXPECT_FALSE(mouse->indexedString(4, 256));
    std::array<uint8_t, 8> feature{4};
    EXPECT_FALSE(mouse->getFeature(feature));
}

TEST_F(SimBusTest, CorruptWritesInvertTheFirstBlockBytes)
{
    SimDevice& d = bus.attach("dorrin:corrupt-write=2");
    HidDevicePtr node = openVendor(8);
    for (uint8_t a : {uint8_t{0x20}, uint8_t{16}, uint8_t{0x21}, uint8_t{0x22}})  // 16 is no block byte
        exchange(node, {0x82, 0x0E, 0x1C, 0x39, a, 0x0F});
    EXPECT_EQ(d.block()[0], 0xF0);
    EXPECT_EQ(d.block()[1], 0xF0);
    EXPECT_EQ(d.block()[2], 0x0F);
    EXPECT_EQ(d.extraValue(), 0x0F00);
}

TEST_F(SimBusTest, UnplugAfterCountsEveryReportKind)
{
    SimDevice& d = bus.attach("arvel:unplug-after=3");
    HidDevicePtr mouse = openMouse(5);
    EXPECT_TRUE(setFeature(mouse, {1, 0xFF, 8}));
    EXPECT_TRUE(mouse->indexedString(4, 256));
    EXPECT_TRUE(d.present());
    HidDevicePtr vendor = openVendor(5);
    EXPECT_EQ(send(vendor, {0x84}), 9);
    // Gone right after the third report: its reply is never read.
    EXPECT_FALSE(d.present());
    EXPECT_FALSE(receive(vendor));
    EXPECT_TRUE(bus.enumerate().empty());
    EXPECT_FALSE(setFeature(mouse, {1, 0xFF, 8}));
    EXPECT_FALSE(mouse->indexedString(4, 256));
    EXPECT_EQ(d.reportCount(), 3);
}

TEST(SimBusLifetime, NodesOutlivingTheBusFail)
{
    VirtualClock clock;
    HidDevicePtr node;
    {
        SimBus bus(clock);
        bus.attach("dorrin");
        for (const HidInterfaceInfo& e : bus.enumerate())
            if (e.usagePage == 0xFFFF)
                node = bus.open(e);
        ASSERT_TRUE(node);
    }
    std::array<uint8_t, 9> frame{0, 0x84};
    EXPECT_EQ(node->write(frame, 100), -1);
    EXPECT_EQ(node->read(frame, 100), -1);
    EXPECT_FALSE(node->indexedString(4, 256));
    node.reset();  // must not log into the gone transcript
}

TEST_F(SimBusTest, WakeUpOnTheDorrinReceiverOnly)
{
    bus.attach("dorrin-receiver:wake-after=2");
    bus.attach("dorrin:wake-after=2");
    HidDevicePtr rx = openVendor(7);
    HidDevicePtr dorrin = openVendor(8);
    const Bytes fetchFirst = {0x83, 0x0E, 0x1C, 0x39, 0x01};
    const Bytes fetchAgain = {0x83, 0x00, 0x1C, 0x39, 0x01};
    const Bytes store = {0x83, 0x0E, 0x1C, 0x39, 0x20};
    const Bytes storeAgain = {0x83, 0x00, 0x1C, 0x39, 0x20};
    const Bytes notReady = {0x83, 1, 0, 0, 0, 0, 0, 0};
    const Bytes ready = {0x83, 0, 7, 0, 0, 0, 0, 0};
    EXPECT_EQ(exchange(rx, fetchFirst), notReady);
    EXPECT_EQ(exchange(rx, fetchAgain), notReady);
    EXPECT_EQ(exchange(rx, fetchAgain), ready);
    EXPECT_EQ(exchange(rx, fetchAgain), ready);
    // The store request counts its own attempts.
    EXPECT_EQ(exchange(rx, store), notReady);
    EXPECT_EQ(exchange(rx, storeAgain), notReady);
    EXPECT_EQ(exchange(rx, storeAgain), ready);
    EXPECT_EQ(exchange(dorrin, fetchFirst), ready);
    // Any other parameter sets the cursor speed.
    EXPECT_EQ(exchange(dorrin, {0x83, 0x0E, 0x1C, 0x39, 0xF4}), (Bytes{0x83, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(bus.find(8)->cursorSpeed(), 11);
}

TEST_F(SimBusTest, IdentityPairingStatusAndSignature)
{
    bus.attach("dorrin-receiver:id=A1B2C3D4,link=0x0164,signal=0xF3,battery=64");
    SimDevice& brill = bus.attach("brill");
    HidDevicePtr rx = openVendor(7);
    HidDevicePtr node = openVendor(10);
    EXPECT_EQ(exchange(rx, {0x84, 0x00}), (Bytes{0x84, 0xA1, 0xB2, 0xC3, 0xD4, 0, 0, 0}));
    EXPECT_EQ(exchange(node, {0x84, 0x70, 0xA1, 0xB2, 0xC3, 0xD4}), (Bytes{0x84, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(brill.pairedId(), (std::array<uint8_t, 4>{0xA1, 0xB2, 0xC3, 0xD4}));
    EXPECT_EQ(exchange(node, {0x84, 0x00}), (Bytes{0x84, 0xA1, 0xB2, 0xC3, 0xD4, 0, 0, 0}));
    EXPECT_EQ(exchange(rx, {0x85}), (Bytes{0x85, 0, 0, 0x64, 0x01, 0x93, 64, 0}));
    bus.find(7)->config().signalValid = false;
    EXPECT_EQ(exchange(rx, {0x85})->at(5), 0x13);

    // 0x94/0x95 are not answered; 0xA0 reads both areas back six bytes at a time.
    EXPECT_EQ(send(node, {0x94, 0x0E, 0x1C, 0x39, 253, 0x41}), 9);
    EXPECT_EQ(send(node, {0x95, 0x0E, 0x1C, 0x39, 0, 0x02}), 9);
    EXPECT_EQ(send(node, {0x95, 0x0E, 0x1C, 0x00, 1, 0x03}), 9);  // no signature: ignored
    EXPECT_FALSE(receive(node));
    EXPECT_EQ(brill.signatureArea(0)[253], 0x41);
    EXPECT_EQ(brill.signatureArea(1)[1], 0);
    EXPECT_EQ(exchange(node, {0xA0, 0x0E, 0x1C, 0x39, 0, 0x3F}), (Bytes{0xA0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(exchange(node, {0xA0, 0x0E, 0x1C, 0x39, 2, 252}), (Bytes{0xA0, 0, 0, 0x41, 0, 0, 0, 0}));
    EXPECT_EQ(exchange(node, {0xA0, 0x0E, 0x1C, 0x39, 3, 0}), (Bytes{0xA0, 0, 0x02, 0, 0, 0, 0, 0}));
}

TEST_F(SimBusTest, ReceiverFeatureReports)
{
    bus.attach("receiver:battery-raw=160,signal=0xE3,status=0x81,id=01020304");
    HidDevicePtr status = bus.open(*entry(1, 0xFF01, 2));
    HidDevicePtr aux = bus.open(*entry(1, 0xFF01, 1));
    HidDevicePtr third = bus.open(*entry(1, 0xFF01, 3));
    std::array<uint8_t, 8> r{4};
    ASSERT_TRUE(status->getFeature(r));
    EXPECT_EQ(r, (std::array<uint8_t, 8>{4, 160, 0xE3, 0x81, 1, 2, 3, 4}));
    r = {5};
    EXPECT_FALSE(status->getFeature(r)) << "report 5 lives on the aux collection";
    ASSERT_TRUE(aux->getFeature(r));
    EXPECT_EQ(r[0], 5);
    r = {4};
    EXPECT_FALSE(third->getFeature(r));
    EXPECT_FALSE(status->indexedString(4, 256));
    EXPECT_EQ(bus.transcript().text({"get-feature"}),
              (std::vector<std::string>{"     0 01 get-feature 04 A0 E3 81 01 02 03 04",
                                        "     0 01 get-feature 05 00 00 00 00 00 00 00"}));
}

struct RegisterCase {
    const char* setup;
    uint8_t firstPosition;  // register position of block byte 0
};

class SimRegisterTest : public SimBusTest, public ::testing::WithParamInterface<RegisterCase> {};

TEST_P(SimRegisterTest, BlockBytesLandOnlyInsideAWrite)
{
    SimDevice& d = bus.attach(GetParam().setup);
    const std::array<uint8_t, 256> before = d.block();
    HidDevicePtr mouse = openMouse(d.productId());
    // The preamble and a cursor speed outside a write leave the block alone.
    for (Bytes r : {Bytes{1, 0, 0}, Bytes{1, 0x20, 0x22}, Bytes{1, 0x21, 0xE0}, Bytes{1, 0xFF, 9}})
        EXPECT_TRUE(setFeature(mouse, r));
    EXPECT_EQ(d.block(), before);
    EXPECT_EQ(d.cursorSpeed(), 9);

    const uint8_t p = GetParam().firstPosition;
    EXPECT_TRUE(setFeature(mouse, {1, 0xFF, 0xF8}));
    EXPECT_TRUE(setFeature(mouse, {1, p, 0x33}));
    EXPECT_TRUE(setFeature(mouse, {1, static_cast<uint8_t>(p + 31), 0x44}));
    EXPECT_TRUE(setFeature(mouse, {1, 0xFF, 0xFF}));
    EXPECT_TRUE(setFeature(mouse, {1, static_cast<uint8_t>(p + 1), 0x55}));
    EXPECT_EQ(d.lastRegisterCommand(), 0xFF);
    EXPECT_EQ(d.block()[0], 0x33);
    EXPECT_EQ(d.block()[31], 0x44);
    EXPECT_EQ(d.block()[1], before[1]);

    for (int index : {3, 16}) {
        const auto s = mouse->indexedString(index, 256);
        ASSERT_TRUE(s);
        EXPECT_TRUE(std::equal(s->begin(), s->end(), d.block().begin(), d.block().end())) << index;
    }
}

INSTANTIATE_TEST_SUITE_P(Sim, SimRegisterTest,
                         ::testing::Values(RegisterCase{"arvel", 0}, RegisterCase{"essom:fw=0x131F", 0},
                                           RegisterCase{"essom:fw=0x1320", 32},
                                           RegisterCase{"arvel-old", 0}));

TEST_F(SimBusTest, LegacySetByteBelowFirmware300Only)
{
    SimDevice& old = bus.attach("arvel:fw=0x2FF");
    SimDevice& cur = bus.attach("essom:fw=0x300");
    HidDevicePtr oldMouse = openMouse(5);
    HidDevicePtr curMouse = openMouse(6);
    EXPECT_TRUE(setFeature(oldMouse, {0, 7, 0x99}));
    EXPECT_TRUE(setFeature(curMouse, {0, 7, 0x99}));
    EXPECT_EQ(old.block()[7], 0x99);
    EXPECT_EQ(cur.block()[7], 0x00);
    EXPECT_TRUE(setFeature(oldMouse, {0, 0xFF, 0xFE}));
    EXPECT_EQ(old.lastLegacyCommand(), 0xFE);
    // Pass-through commands go to the register too.
    EXPECT_TRUE(setFeature(curMouse, {1, 0xFF, 2}));
    EXPECT_EQ(cur.lastRegisterCommand(), 2);
    // Command-family devices have no feature reports and no block strings.
    bus.attach("dorrin");
    HidDevicePtr dorrin = openMouse(8);
    EXPECT_FALSE(setFeature(dorrin, {1, 0xFF, 8}));
    EXPECT_FALSE(dorrin->indexedString(16, 256));
}

TEST_F(SimBusTest, FirmwareTextIsUtf16)
{
    bus.attach("dorrin:fw-text=AB\xC3\xA9");
    HidDevicePtr mouse = openMouse(8);
    EXPECT_EQ(mouse->indexedString(4, 256), (Bytes{'A', 0, 'B', 0, 0xE9, 0}));
    EXPECT_EQ(mouse->indexedString(4, 3), (Bytes{'A', 0, 'B'}));
    EXPECT_EQ(bus.transcript().text({"get-string"}).front(), "     0 08 get-string 04 41 00 42 00 E9 00");
}

TEST_F(SimBusTest, OutputReportsOnlyOnTheVendorCollection)
{
    bus.attach("dorrin");
    HidDevicePtr mouse = openMouse(8);
    EXPECT_EQ(send(mouse, {0x84}), -1);
    EXPECT_EQ(clock.nowMs(), 0);
    std::array<uint8_t, 9> frame{1, 0x84};  // report id 1 is not used by the interface
    EXPECT_EQ(openVendor(8)->write(frame, 100), -1);
}

// --- factory blocks ---

TEST(SimFactoryBlocks, PerModel)
{
    const auto dorrin = factoryBlock(8, 0x1205);
    EXPECT_TRUE(std::equal(kDorrinFactory.begin(), kDorrinFactory.end(), dorrin.begin()));
    EXPECT_EQ(factoryBlock(7, 0x1205), dorrin);
    EXPECT_EQ(factoryBlock(10, 0x1205), dorrin);
    EXPECT_EQ(dorrin[19], 6);
    EXPECT_EQ(dorrin[22], 0xFF);
    EXPECT_TRUE(std::all_of(dorrin.begin() + 64, dorrin.end(), [](uint8_t b) { return b == 0; }));

    const auto cindel = factoryBlock(9, 0x1205);
    EXPECT_EQ(cindel[0], 0xF5);
    EXPECT_EQ(cindel[63], 0xA4);
    EXPECT_EQ(cindel[84], 0x37);
    EXPECT_TRUE(std::all_of(cindel.begin() + 90, cindel.end(), [](uint8_t b) { return b == 0; }));
    const auto arvel2 = factoryBlock(11, 0x1205);
    std::vector<size_t> differ;
    for (size_t i = 0; i < 256; ++i)
        if (arvel2[i] != cindel[i])
            differ.push_back(i);
    EXPECT_EQ(differ, (std::vector<size_t>{1, 9, 16, 61}));
    EXPECT_EQ(arvel2[61], 0x26);

    const auto arvel = factoryBlock(5, 0x31C);
    EXPECT_EQ(arvel[3], 0xC0);
    EXPECT_EQ(arvel[18], 4);
    EXPECT_EQ(arvel[54], 0x20);

    EXPECT_EQ(factoryBlock(1, 0x1205), (std::array<uint8_t, 256>{}));
}

TEST(SimFactoryBlocks, OtherModelsRule)
{
    for (int model : {4, 6}) {
        std::array<uint8_t, 256> expect{};
        expect[0] = 0x0B;
        expect[1] = 0x20;
        expect[2] = 0x04;
        expect[4] = 0xC0;
        expect[5] = 0x02;
        expect[16] = 0x10;
        expect[17] = 0x01;
        EXPECT_EQ(factoryBlock(model, 0x31B), expect) << model;
        expect[18] = 4;
        expect[19] = 8;
        EXPECT_EQ(factoryBlock(model, 0x31C), expect) << model;
    }
    // A new simulated device starts from its factory block.
    VirtualClock clock;
    SimBus bus(clock);
    EXPECT_EQ(bus.attach("essom:fw=0x250").block(), factoryBlock(6, 0x250));
    EXPECT_EQ(bus.attach("cindel").block(), factoryBlock(9, 0x1205));
}

}  // namespace
}  // namespace cvk::sim
