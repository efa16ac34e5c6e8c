// The channel, the device scan and the shared senders against simulated
// devices on a virtual clock.

#include <gtest/gtest.h>

#include "device/device_link.h"
#include "device/reports.h"
#include "test_support.h"

namespace cvk {
namespace {

using test::SimFixture;

// ---------------------------------------------------------------- channel

TEST(HidChannel, LastOfTwoMatchingInterfacesStaysOpen)
{
    SimFixture f;
    f.sim.attach("dorrin");
    f.sim.addDuplicateVendorInterface(kModelDorrin);
    std::vector<HidInterfaceInfo> vendor;
    for (const HidInterfaceInfo& e : f.sim.enumerate())
        if (e.usagePage == 0xFFFF && e.productId == kModelDorrin)
            vendor.push_back(e);
    ASSERT_EQ(vendor.size(), 2u);

    CHidChannel channel(f.bus, f.clock, kVendorId, kModelDorrin);
    ASSERT_TRUE(channel.isOpen());
    EXPECT_EQ(channel.attributes().path, vendor[1].path);
    // Both were opened in turn; the first node was released (closed) before
    // the second was opened.
    EXPECT_EQ(f.bus.opensOf(0xFFFF, 1), 2);
    const auto lines = f.reports({"open", "close"});
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "08 open");
    EXPECT_EQ(lines[1], "08 close");
    EXPECT_EQ(lines[2], "08 open");
}

TEST(HidChannel, NeverOpensTheMouseCollection)
{
    SimFixture f;
    f.sim.attach("cindel");
    CHidChannel channel(f.bus, f.clock, kVendorId, kModelCindel);
    EXPECT_TRUE(channel.isOpen());
    EXPECT_EQ(f.bus.opensOf(1, 2), 0);
    EXPECT_EQ(channel.attributes().usagePage, 0xFFFF);
    EXPECT_EQ(channel.attributes().usage, 1);
}

TEST(HidChannel, WrongProductOrNothingPresentLeavesItClosed)
{
    SimFixture f;
    f.sim.attach("dorrin");
    CHidChannel channel(f.bus, f.clock, kVendorId, kModelCindel);
    EXPECT_FALSE(channel.isOpen());
    EXPECT_TRUE(f.bus.opened.empty());
}

TEST(HidChannel, ReopenWithWildcardVendorKeepsStoredIds)
{
    SimFixture f;
    f.sim.attach("dorrin");
    f.sim.attach("cindel");
    CHidChannel channel(f.bus, f.clock, kVendorId, kModelDorrin);
    channel.close();
    EXPECT_FALSE(channel.isOpen());
    EXPECT_TRUE(channel.open(0xFFFF, kModelCindel));
    EXPECT_EQ(channel.productId(), kModelDorrin);
    EXPECT_EQ(channel.attributes().productId, kModelDorrin);
}

TEST(HidChannel, ExchangesEightByteReports)
{
    SimFixture f;
    f.sim.attach("dorrin:id=0a1b2c3d");
    CHidChannel channel(f.bus, f.clock, kVendorId, kModelDorrin);
    ASSERT_TRUE(channel.sendWithRetry(Report8{0x84, 0x00}));
    Report8 reply{};
    ASSERT_TRUE(channel.readReport(reply));
    EXPECT_EQ(reply, (Report8{0x84, 0x0A, 0x1B, 0x2C, 0x3D, 0, 0, 0}));
    EXPECT_EQ(f.reports({"out", "in"}),
              (std::vector<std::string>{"08 out 84 00 00 00 00 00 00 00", "08 in 84 0A 1B 2C 3D 00 00 00"}));
}

TEST(HidChannel, ReadWithNothingQueuedFailsAfterTheBoundAndKeepsTheBuffer)
{
    SimFixture f;
    f.sim.attach("dorrin");
    CHidChannel channel(f.bus, f.clock, kVendorId, kModelDorrin);
    Report8 reply{1, 2, 3, 4, 5, 6, 7, 8};
    const int64_t before = f.clock.nowMs();
    EXPECT_FALSE(channel.readReport(reply));
    EXPECT_EQ(f.clock.nowMs() - before, kReportTimeoutMs);
    EXPECT_EQ(reply, (Report8{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(HidChannel, SilentDeviceCostsSixWritesFiveReopensThenError42)
{
    SimFixture f;
    f.sim.attach("dorrin:no-answer");
    CHidChannel channel(f.bus, f.clock, kVendorId, kModelDorrin);
    ASSERT_TRUE(channel.isOpen());
    const size_t opensBefore = f.bus.opened.size();
    const int64_t before = f.clock.nowMs();
    try {
        channel.sendWithRetry(Report8{0x83, 0x0E, 0x1C, 0x39, 0xF4});
        FAIL() << "no transfer error";
    } catch (const TransferError& e) {
        EXPECT_EQ(e.code(), 42);
    }
    EXPECT_EQ(f.count("no-answer"), 6);
    EXPECT_EQ(f.bus.opened.size() - opensBefore, 5u);
    EXPECT_EQ(f.clock.nowMs() - before, 6 * kReportTimeoutMs + 5 * kReopenPauseMs);
}

TEST(HidChannel, UnpluggedDeviceRaisesWithoutTouchingTheBus)
{
    SimFixture f;
    f.sim.attach("dorrin");
    CHidChannel channel(f.bus, f.clock, kVendorId, kModelDorrin);
    f.sim.unplug(kModelDorrin);
    EXPECT_THROW(channel.sendWithRetry(Report8{0x84}), TransferError);
    EXPECT_FALSE(channel.isOpen());
}

// A node whose reads come back one byte short.
class ShortReadNode : public IHidDevice {
public:
    explicit ShortReadNode(HidDevicePtr inner) : inner_(std::move(inner)) {}
    const HidInterfaceInfo& info() const override { return inner_->info(); }
    bool setFeature(std::span<const uint8_t> r) override { return inner_->setFeature(r); }
    bool getFeature(std::span<uint8_t> r) override { return inner_->getFeature(r); }
    std::optional<std::vector<uint8_t>> indexedString(int i, std::size_t n) override
    {
        return inner_->indexedString(i, n);
    }
    int write(std::span<const uint8_t> r, int t) override { return inner_->write(r, t); }
    int read(std::span<uint8_t> b, int t) override
    {
        const int n = inner_->read(b, t);
        return n > 0 ? n - 1 : n;
    }

private:
    HidDevicePtr inner_;
};

TEST(HidChannel, ShortReadIsAFailedRead)
{
    SimFixture f;
    f.sim.attach("dorrin");
    f.bus.wrap = [](HidDevicePtr node) { return std::make_shared<ShortReadNode>(node); };
    CHidChannel channel(f.bus, f.clock, kVendorId, kModelDorrin);
    channel.sendWithRetry(Report8{0x84, 0x00});
    Report8 reply{};
    EXPECT_FALSE(channel.readReport(reply));
}

// ---------------------------------------------------------------- scan

struct ProbeCase {
    const char* name;
    std::vector<std::string> devices;
    int count;
    int model;
    bool single;
};

class DeviceScanTable : public ::testing::TestWithParam<ProbeCase> {};

TEST_P(DeviceScanTable, CountsAndIdentifies)
{
    const ProbeCase& c = GetParam();
    SimFixture f;
    for (const std::string& d : c.devices)
        f.sim.attach(d);
    deviceScan(f.link);
    EXPECT_EQ(f.link.state.deviceCount, c.count);
    EXPECT_EQ(f.link.state.modelCode, c.model);
    EXPECT_EQ(f.link.state.singleDevice(), c.single);
}

INSTANTIATE_TEST_SUITE_P(
    Decisions, DeviceScanTable,
    ::testing::Values(ProbeCase{"nothing", {}, 0, 0, false},
                      ProbeCase{"old_arvel_lower_bound_excluded", {"arvel-old:fw=0x204"}, 0, 0, false},
                      ProbeCase{"old_arvel_in_window", {"arvel-old:fw=0x205"}, 1, 4, true},
                      ProbeCase{"old_arvel_top_of_window", {"arvel-old:fw=0x2FE"}, 1, 4, true},
                      ProbeCase{"old_arvel_upper_bound_excluded", {"arvel-old:fw=0x2FF"}, 0, 0, false},
                      ProbeCase{"arvel_below_0x300", {"arvel:fw=0x2FF"}, 0, 0, false},
                      ProbeCase{"arvel_at_0x300", {"arvel:fw=0x300"}, 1, 5, true},
                      ProbeCase{"essom", {"essom:fw=0x0001"}, 1, 6, true},
                      ProbeCase{"essom_version_0", {"essom:fw=0"}, 0, 0, false},
                      ProbeCase{"cindel", {"cindel"}, 1, 9, true}, ProbeCase{"brill", {"brill"}, 1, 10, true},
                      ProbeCase{"arvel2", {"arvel2"}, 1, 11, true},
                      ProbeCase{"too_new", {"cindel:fw=0x1400"}, 1000, 0, false},
                      ProbeCase{"too_new_beside_a_good_one", {"dorrin", "essom:fw=0x0400"}, 1001, 8, false},
                      ProbeCase{"two_devices", {"dorrin", "cindel"}, 2, 9, false},
                      ProbeCase{"receiver_alone", {"receiver"}, 0, 0, true}),
    [](const ::testing::TestParamInfo<ProbeCase>& p) { return std::string(p.param.name); });

TEST(DeviceScan, RefreshPostedOnlyWhenTheCountChanges)
{
    SimFixture f;
    deviceScan(f.link);
    deviceScan(f.link);
    EXPECT_EQ(f.view.posted, std::vector<int>{kCmdRefresh});
    f.sim.attach("dorrin");
    deviceScan(f.link);
    deviceScan(f.link);
    EXPECT_EQ(f.view.posted, (std::vector<int>{kCmdRefresh, kCmdRefresh}));
}

TEST(DeviceScan, VersionText)
{
    SimFixture f;
    f.sim.attach("cindel:fw=0x1205");
    deviceScan(f.link);
    EXPECT_EQ(f.link.state.hardwareVersionText, "Corvane hardware version:1.2.05");
    EXPECT_EQ(f.link.state.windowTitle, "Corvane Cindel");

    SimFixture old;
    old.sim.attach("arvel-old:fw=0x250");
    deviceScan(old.link);
    EXPECT_EQ(old.link.state.hardwareVersionText, "Corvane hardware version:2.80\r\n");
    EXPECT_EQ(old.link.state.windowTitle, "Corvane Arvel");
}

TEST(DeviceScan, ReceiverAloneIsSingleAndWireless)
{
    SimFixture f;
    f.sim.attach("receiver:id=11223344");
    deviceScan(f.link);
    const DeviceState& s = f.link.state;
    EXPECT_EQ(s.deviceCount, 0);
    ASSERT_TRUE(s.receiverPresent());
    EXPECT_EQ(s.receiverId, (std::array<uint8_t, 4>{0x11, 0x22, 0x33, 0x44}));
    EXPECT_TRUE(s.singleDevice());
    EXPECT_TRUE(s.wirelessFamily());
    EXPECT_NE(s.receiverAux, nullptr);
    EXPECT_NE(s.receiverUsage3, nullptr);
}

TEST(DeviceScan, ReceiverWhoseStatusReportFailsIsNotStored)
{
    SimFixture f;
    f.sim.attach("receiver:no-answer");
    deviceScan(f.link);
    EXPECT_FALSE(f.link.state.receiverPresent());
    EXPECT_FALSE(f.link.state.singleDevice());
}

TEST(DeviceScan, ReceiverPairsTheWirelessDeviceFoundBefore)
{
    SimFixture f;
    f.sim.attach("cindel");
    f.sim.attach("receiver:id=11223344");
    deviceScan(f.link);
    EXPECT_EQ(f.link.state.deviceCount, 1);
    EXPECT_EQ(f.link.state.modelCode, kModelCindel);
    EXPECT_EQ(f.count("out", "84 70"), 1);
    EXPECT_EQ(f.sim.find(kModelCindel)->pairedId(), (std::array<uint8_t, 4>{0x11, 0x22, 0x33, 0x44}));
    EXPECT_FALSE(f.link.state.busy);
}

class DorrinWithReceiver : public ::testing::TestWithParam<bool> {};

TEST_P(DorrinWithReceiver, EndsAsOneDorrinPairedOnce)
{
    SimFixture f;
    if (GetParam()) {
        f.sim.attach("dorrin-receiver:id=a1b2c3d4");
        f.sim.attach("dorrin");
    } else {
        f.sim.attach("dorrin");
        f.sim.attach("dorrin-receiver:id=a1b2c3d4");
    }
    deviceScan(f.link);
    EXPECT_EQ(f.link.state.deviceCount, 1);
    EXPECT_EQ(f.link.state.modelCode, kModelDorrin);
    EXPECT_EQ(f.count("out", "84 00"), 1);  // id asked from the receiver
    EXPECT_EQ(f.count("out", "84 70 A1 B2 C3 D4"), 1);
    EXPECT_EQ(f.sim.find(kModelDorrin)->pairedId(), (std::array<uint8_t, 4>{0xA1, 0xB2, 0xC3, 0xD4}));
    EXPECT_FALSE(f.link.state.busy);
}

INSTANTIATE_TEST_SUITE_P(BothOrders, DorrinWithReceiver, ::testing::Bool(),
                         [](const auto& p) { return p.param ? "ReceiverFirst" : "DorrinFirst"; });

TEST(DeviceScan, PathVanishingBeforeOpenIsNotCounted)
{
    SimFixture f;
    f.sim.attach("dorrin");
    for (const HidInterfaceInfo& e : f.sim.enumerate())
        if (e.usagePage == 1)
            f.sim.vanishOnOpen(e.path);
    deviceScan(f.link);
    EXPECT_EQ(f.link.state.deviceCount, 0);
    EXPECT_EQ(f.link.state.modelCode, 0);
}

TEST(DeviceScan, ForeignDevicesAreNeverOpened)
{
    SimFixture f;
    f.sim.addForeignInterface(HidInterfaceInfo{"foreign:0", 0x046D, 8, 0x1205, 1, 2});
    f.sim.attach("essom");
    deviceScan(f.link);
    EXPECT_EQ(f.link.state.deviceCount, 1);
    for (const HidInterfaceInfo& e : f.bus.opened)
        EXPECT_EQ(e.vendorId, kVendorId);
}

TEST(DeviceScan, ReplacedHandlesAreReleased)
{
    SimFixture f;
    f.sim.attach("essom");
    deviceScan(f.link);
    std::weak_ptr<IHidDevice> first = f.link.state.featureHandle;
    deviceScan(f.link);
    EXPECT_TRUE(first.expired());
    EXPECT_NE(f.link.state.featureHandle, nullptr);
}

// ---------------------------------------------------------------- senders

struct FirmwareCase {
    const char* setup;
    int preambleReports;
};

class PreambleThreshold : public ::testing::TestWithParam<FirmwareCase> {};

TEST_P(PreambleThreshold, CursorSpeedOnTheRegisterFamily)
{
    SimFixture f;
    f.sim.attach(GetParam().setup);
    deviceScan(f.link);
    f.sim.transcript().clear();
    const int64_t before = f.clock.nowMs();
    cursorSpeedCommand(f.link, 7);
    std::vector<std::string> expected;
    if (GetParam().preambleReports)
        expected = {"06 set-feature 01 00 00", "06 set-feature 01 20 22", "06 set-feature 01 21 E0"};
    expected.push_back("06 set-feature 01 FF 07");
    EXPECT_EQ(f.reports({"set-feature"}), expected);
    EXPECT_EQ(f.clock.nowMs() - before, GetParam().preambleReports * kPreamblePauseMs);
}

INSTANTIATE_TEST_SUITE_P(Firmware, PreambleThreshold,
                         ::testing::Values(FirmwareCase{"essom:fw=0x30A", 0},
                                           FirmwareCase{"essom:fw=0x30B", 3}),
                         [](const auto& p) { return std::to_string(p.param.preambleReports); });

TEST(Senders, LegacySetByteOnlyBelow0x300)
{
    for (auto [setup, sent] : {std::pair{"arvel-old:fw=0x2FE", 1}, std::pair{"arvel:fw=0x300", 0}}) {
        SimFixture f;
        f.sim.attach(setup);
        deviceScan(f.link);
        f.sim.transcript().clear();
        legacySetByte(f.link, 3, 0x20);
        EXPECT_EQ(f.count("set-feature", "00 03 20"), sent) << setup;
        EXPECT_EQ(f.view.beeps, 0);
    }
}

TEST(Senders, LegacySetByteAt0x2FFIsSentFromTheState)
{
    // No device accepts 0x2FF, but the state can hold it (the last device
    // identified); the threshold is on the firmware version alone.
    SimFixture f;
    f.sim.attach("arvel-old:fw=0x2FE");
    deviceScan(f.link);
    f.link.state.firmwareVersion = 0x2FF;
    legacySetByte(f.link, 0xFF, 0xFF);
    EXPECT_EQ(f.count("set-feature", "00 FF FF"), 1);
}

TEST(Senders, RefusedLegacyByteBeepsOnce)
{
    SimFixture f;
    f.sim.attach("arvel-old:fw=0x2FE");
    deviceScan(f.link);
    f.sim.unplug(kModelArvelOld);
    legacySetByte(f.link, 3, 0x20);
    EXPECT_EQ(f.view.beeps, 1);
}

TEST(Senders, PassThroughOnTheMouseCollectionOfTheRegisterFamilyOnly)
{
    SimFixture f;
    f.sim.attach("essom");
    deviceScan(f.link);
    f.sim.transcript().clear();
    passThroughCommand(f.link, 1002);
    EXPECT_EQ(f.reports({"set-feature"}), std::vector<std::string>{"06 set-feature 01 FF 02"});

    SimFixture c;
    c.sim.attach("dorrin");
    deviceScan(c.link);
    c.sim.transcript().clear();
    passThroughCommand(c.link, 1002);
    EXPECT_TRUE(c.reports().empty());
}

struct SpeedCase {
    int speed;
    bool replaceTen;
    const char* request;
};

class CommandFamilySpeed : public ::testing::TestWithParam<SpeedCase> {};

TEST_P(CommandFamilySpeed, SendsTheComplement)
{
    SimFixture f;
    f.sim.attach("dorrin");
    deviceScan(f.link);
    f.sim.transcript().clear();
    cursorSpeedCommand(f.link, GetParam().speed, GetParam().replaceTen);
    const auto lines = f.reports({"out"});
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], std::string("08 out ") + GetParam().request);
    EXPECT_EQ(f.count("in"), 1);
}

INSTANTIATE_TEST_SUITE_P(Speeds, CommandFamilySpeed,
                         ::testing::Values(SpeedCase{10, true, "83 0E 1C 39 F4 00 00 00"},
                                           SpeedCase{10, false, "83 0E 1C 39 F5 00 00 00"},
                                           SpeedCase{6, true, "83 0E 1C 39 F9 00 00 00"}));

TEST(Senders, SilentCommandFamilyDeviceEndsQuietly)
{
    SimFixture f;
    f.sim.attach("cindel");
    deviceScan(f.link);
    f.sim.find(kModelCindel)->config().faults.noAnswer = true;
    const int64_t before = f.clock.nowMs();
    EXPECT_NO_THROW(cursorSpeedCommand(f.link, 8));
    EXPECT_EQ(f.count("no-answer"), 6);
    EXPECT_EQ(f.clock.nowMs() - before, 650);
    EXPECT_EQ(f.view.beeps, 0);
}

}  // namespace
}  // namespace cvk

namespace cvk {
namespace {

// The status poll's channel search reads a kept enumeration; hotplug events
// and a vanished interface make it look again.
TEST(CachingBus, KeepsTheListUntilADeviceChange)
{
    test::SimFixture f;
    CachingHidBus cached(f.sim);
    f.sim.attach("dorrin");
    EXPECT_TRUE(CHidChannel(cached, f.clock, kVendorId, kModelDorrin).isOpen());
    f.sim.attach("cindel");
    EXPECT_FALSE(CHidChannel(cached, f.clock, kVendorId, kModelCindel).isOpen());  // not seen yet
    cached.invalidate();
    EXPECT_TRUE(CHidChannel(cached, f.clock, kVendorId, kModelCindel).isOpen());

    // Unplugged without an event: opening the stale entry fails and the next
    // search looks again.
    f.sim.unplug(kModelCindel);
    f.sim.attach("cindel");
    CHidChannel stale(cached, f.clock, kVendorId, kModelCindel);
    EXPECT_FALSE(stale.isOpen());
    EXPECT_TRUE(stale.open(kVendorId, kModelCindel));
}

}  // namespace
}  // namespace cvk
