// The configuration block: layouts, the single-byte edit and Restore
// Defaults per model, end to end against simulated devices.

#include <gtest/gtest.h>

#include <ostream>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "config/config_model.h"
#include "config/factory_blocks.h"
#include "device/device_link.h"
#include "device/live_edits.h"
#include "device/models.h"
#include "platform/system_settings.h"
#include "test_support.h"

namespace cvk {
namespace {

using test::SimFixture;
using Block = std::array<uint8_t, kBlockSize>;
using Lines = std::vector<std::string>;

// A device (or several) scanned in, an empty working block and one
// 1920-pixel monitor unless a case says otherwise.
class ConfigFixture : public ::testing::Test {
protected:
    void attach(const std::vector<std::string>& setups)
    {
        for (const std::string& s : setups)
            f.sim.attach(s);
        deviceScan(f.link);
        f.sim.transcript().clear();
    }
    void attach(const std::string& setup) { attach(std::vector<std::string>{setup}); }
    bool restore() { return restoreDefaults(f.link, model, system); }

    SimFixture f;
    ConfigModel model;
    FixedSystemSettings system;
};

// Failure messages name the case instead of dumping its bytes.
template <typename Case>
requires requires(const Case& c) { c.name; }
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

// ---------------------------------------------------------------- layouts

struct LayoutCase {
    int model;
    int buttons;
    int firstLow, lastLow, firstHigh, lastHigh;
};

class LayoutTable : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(LayoutTable, ButtonsAndKeyPositions)
{
    const LayoutCase& c = GetParam();
    EXPECT_EQ(buttonCount(c.model), c.buttons);
    EXPECT_EQ(keyLowPosition(c.model, 1), c.firstLow);
    EXPECT_EQ(keyLowPosition(c.model, c.buttons), c.lastLow);
    EXPECT_EQ(keyHighPosition(c.model, 1), c.firstHigh);
    EXPECT_EQ(keyHighPosition(c.model, c.buttons), c.lastHigh);
}

INSTANTIATE_TEST_SUITE_P(Layout, LayoutTable,
                         ::testing::Values(LayoutCase{4, 5, 6, 10, 11, 15}, LayoutCase{6, 5, 6, 10, 11, 15},
                                           LayoutCase{7, 9, 32, 40, 48, 56}, LayoutCase{8, 9, 32, 40, 48, 56},
                                           LayoutCase{11, 9, 32, 40, 48, 56}),
                         [](const auto& p) { return "model" + std::to_string(p.param.model); });

// ---------------------------------------------------------------- reference copy

TEST(ConfigModel, DiffersOnlyWithinTheExchangedLength)
{
    for (const int length : {32, 64, 90}) {
        ConfigModel m;
        m.exchangedLength = length;
        m.block[length] = 0x55;
        EXPECT_FALSE(m.differsFromReference()) << length;
        m.block[length - 1] = 0x55;
        EXPECT_TRUE(m.differsFromReference()) << length;
    }
}

// ---------------------------------------------------------------- set byte

struct SetByteCase {
    const char* name;
    const char* setup;
    Lines sent;
};

class ConfigSetByte : public ConfigFixture, public ::testing::WithParamInterface<SetByteCase> {};

TEST_P(ConfigSetByte, StoresAndSendsOnlyBelow0x300)
{
    attach(GetParam().setup);
    setByte(f.link, model, 7, 0x19);
    EXPECT_EQ(model.block[7], 0x19);
    EXPECT_EQ(f.reports({"set-feature", "out"}), GetParam().sent);
    EXPECT_EQ(f.view.beeps, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Config, ConfigSetByte,
    ::testing::Values(SetByteCase{"old_arvel", "arvel-old:fw=0x2FE", {"04 set-feature 00 07 19"}},
                      SetByteCase{"arvel_0x300", "arvel:fw=0x300", {}}, SetByteCase{"essom", "essom", {}},
                      SetByteCase{"dorrin", "dorrin", {}}),
    [](const auto& p) { return std::string(p.param.name); });

using ConfigSetByteFailure = ConfigFixture;

TEST_F(ConfigSetByteFailure, RefusedReportBeepsAndKeepsTheValue)
{
    attach("arvel-old");
    f.sim.find(kModelArvelOld)->config().faults.noAnswer = true;
    setByte(f.link, model, 3, 0x20);
    EXPECT_EQ(model.block[3], 0x20);
    EXPECT_EQ(f.view.beeps, 1);
}

// ---------------------------------------------------------------- restore, per model

struct RestoreCase {
    const char* name;
    const char* setup;
    int exchangedLength;
    std::vector<MonitorRect> monitors;
    std::span<const uint8_t> table;        // leading bytes expected from a factory table
    std::vector<std::pair<int, int>> set;  // then these positions
};

const std::vector<MonitorRect> kNarrow{{0, 0, 1024, 768}};
const std::vector<MonitorRect> kWide{{0, 0, 1920, 1080}};

// The pad and five buttons plus precision and end switch every other model gets.
std::vector<std::pair<int, int>> otherModels(std::vector<std::pair<int, int>> more)
{
    std::vector<std::pair<int, int>> v{{0, 0x0B}, {1, 0x20},  {2, 0x04}, {4, 0xC0},
                                       {5, 0x02}, {16, 0x10}, {17, 0x01}};
    v.insert(v.end(), more.begin(), more.end());
    return v;
}

class RestoreModels : public ConfigFixture, public ::testing::WithParamInterface<RestoreCase> {};

TEST_P(RestoreModels, FillsTheBlockFromTheFactoryValues)
{
    const RestoreCase& c = GetParam();
    attach(c.setup);
    model.exchangedLength = c.exchangedLength;
    model.block.fill(0xEE);
    model.block[kPosCursorSpeed] = 7;
    system.screens = c.monitors;

    ASSERT_TRUE(restore());

    Block expected{};
    std::copy(c.table.begin(), c.table.end(), expected.begin());
    for (const auto& [pos, value] : c.set)
        expected[pos] = static_cast<uint8_t>(value);
    EXPECT_EQ(model.block, expected);
    // Nothing but the cursor speed (and, on the old Arvel, the pad and
    // buttons) goes out; the block waits for Apply.
    EXPECT_EQ(f.count("set-feature", "00"), f.link.state.firmwareVersion < 0x300 ? 6 : 0);
    EXPECT_EQ(f.count("out", "82"), 0);
}

const std::span<const uint8_t> kDorrin{kDorrinFactory};
const std::span<const uint8_t> kArvel{kArvelFactory};
const std::span<const uint8_t> kCindel{kCindelFactory};
const std::span<const uint8_t> kArvel2{kArvel2Factory};

INSTANTIATE_TEST_SUITE_P(
    RestoreDefaults, RestoreModels,
    ::testing::Values(
        RestoreCase{"cindel_90", "cindel", 90, kWide, kCindel, {}},
        RestoreCase{"cindel_64", "cindel", 64, kWide, kCindel.first(64), {}},
        RestoreCase{"cindel_before_model_setup", "cindel", 32, kWide, kCindel.first(32), {}},
        RestoreCase{"arvel2_90", "arvel2", 90, kWide, kArvel2, {}},
        RestoreCase{"brill", "brill", 90, kWide, kDorrin, {}},
        RestoreCase{"dorrin_receiver", "dorrin-receiver", 64, kWide, kDorrin, {}},
        RestoreCase{
            "arvel_0x319_narrow_keeps_mode_4", "arvel:fw=0x319", 32, kNarrow, kArvel, {{18, 4}, {19, 8}}},
        RestoreCase{"arvel_0x31A", "arvel:fw=0x31A", 32, kNarrow, kArvel, {{18, 4}, {19, 8}}},
        RestoreCase{"dorrin_0x319_1024", "dorrin:fw=0x319", 64, kNarrow, kDorrin, {{18, 1}}},
        RestoreCase{"dorrin_0x319_1279", "dorrin:fw=0x319", 64, {{0, 0, 1279, 1024}}, kDorrin, {{18, 1}}},
        RestoreCase{"dorrin_0x319_1280", "dorrin:fw=0x319", 64, {{0, 0, 1280, 1024}}, kDorrin, {{18, 2}}},
        RestoreCase{"dorrin_0x319_1920", "dorrin:fw=0x319", 64, kWide, kDorrin, {{18, 2}}},
        RestoreCase{"dorrin_0x319_two_side_by_side",
                    "dorrin:fw=0x319",
                    64,
                    {{0, 0, 1024, 768}, {1024, 0, 2048, 768}},
                    kDorrin,
                    {{18, 2}}},
        RestoreCase{"dorrin_0x319_second_left_of_primary",
                    "dorrin:fw=0x319",
                    64,
                    {{0, 0, 1024, 768}, {-400, 0, 0, 600}},
                    kDorrin,
                    {{18, 2}}},
        RestoreCase{"dorrin_0x31A_keeps_table_mode", "dorrin:fw=0x31A", 64, kWide, kDorrin, {}},
        RestoreCase{"essom_0x31B", "essom:fw=0x31B", 32, kWide, {}, otherModels({})},
        RestoreCase{"essom_0x31C", "essom:fw=0x31C", 32, kWide, {}, otherModels({{18, 4}, {19, 8}})},
        RestoreCase{"essom_0x319_wide", "essom:fw=0x319", 32, kWide, {}, otherModels({{18, 2}})},
        RestoreCase{"old_arvel_narrow", "arvel-old", 32, kNarrow, {}, otherModels({{18, 1}})}),
    [](const auto& p) { return std::string(p.param.name); });

struct VariantCase {
    const char* setup;
    uint8_t button1, button9, precision, scrollSpeed;
};

class RestoreWirelessVariants : public ConfigFixture, public ::testing::WithParamInterface<VariantCase> {};

TEST_P(RestoreWirelessVariants, OwnButtonsPrecisionAndScrollSpeed)
{
    const VariantCase& c = GetParam();
    attach(c.setup);
    model.exchangedLength = 90;
    ASSERT_TRUE(restore());
    EXPECT_EQ(model.block[1], c.button1);
    EXPECT_EQ(model.block[9], c.button9);
    EXPECT_EQ(model.block[kPosEdgePrecision], c.precision);
    EXPECT_EQ(model.block[kPosScrollSpeed], c.scrollSpeed);
    EXPECT_EQ(model.block[0], 0xF5);
    EXPECT_EQ(model.block[kPosSignatureLength], 0xA4);
}

INSTANTIATE_TEST_SUITE_P(RestoreDefaults, RestoreWirelessVariants,
                         ::testing::Values(VariantCase{"cindel", kFnZoomIn, kFnZoomOut, 0x20, 0x10},
                                           VariantCase{"arvel2", kFnDoubleClick, kFnRightClick, 0x10, 0x26}));

// ---------------------------------------------------------------- restore on the old Arvel

using RestoreOldArvel = ConfigFixture;

TEST_F(RestoreOldArvel, SendsPadAndButtonsByteByByte)
{
    attach("arvel-old:fw=0x250");
    ASSERT_TRUE(restore());
    // Precision, end switch and the mode chosen for the screen are stored
    // only; the speed stays 0, so no speed command either.
    EXPECT_EQ(f.reports({"set-feature", "out"}),
              (Lines{"04 set-feature 00 00 0B", "04 set-feature 00 01 20", "04 set-feature 00 02 04",
                     "04 set-feature 00 03 00", "04 set-feature 00 04 C0", "04 set-feature 00 05 02"}));
    EXPECT_EQ(model.block[kPosEdgePrecision], 0x10);
    EXPECT_EQ(model.block[kPosEndSwitch], 0x01);
    EXPECT_EQ(model.block[kPosResolutionMode], 2);
    sim::SimDevice* device = f.sim.find(kModelArvelOld);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(device->block()[i], model.block[i]) << i;
}

// ---------------------------------------------------------------- restore needs exactly one device

struct NoRestoreCase {
    const char* name;
    std::vector<std::string> devices;
};

class RestoreRefused : public ConfigFixture, public ::testing::WithParamInterface<NoRestoreCase> {};

TEST_P(RestoreRefused, LeavesBlockAndDeviceAlone)
{
    attach(GetParam().devices);
    Block before{};
    before.fill(0x5A);
    model.block = before;
    EXPECT_FALSE(restore());
    EXPECT_EQ(model.block, before);
    EXPECT_EQ(f.reports({"set-feature", "out"}), Lines{});
}

INSTANTIATE_TEST_SUITE_P(RestoreDefaults, RestoreRefused,
                         ::testing::Values(NoRestoreCase{"no_device", {}},
                                           NoRestoreCase{"two_devices", {"dorrin", "essom"}},
                                           NoRestoreCase{"receiver_only", {"receiver"}},
                                           NoRestoreCase{"firmware_too_new", {"cindel:fw=0x1400"}}),
                         [](const auto& p) { return std::string(p.param.name); });

// ---------------------------------------------------------------- restore and the cursor speed

struct SpeedCase {
    const char* name;
    const char* setup;
    int remembered;
    int defaultSpeed;  // what the block holds afterwards
    Lines sent;
};

class RestoreCursorSpeed : public ConfigFixture, public ::testing::WithParamInterface<SpeedCase> {};

TEST_P(RestoreCursorSpeed, DeviceKeepsTheRememberedSpeedUntilApply)
{
    const SpeedCase& c = GetParam();
    attach(c.setup);
    model.exchangedLength = 90;
    model.block[kPosCursorSpeed] = static_cast<uint8_t>(c.remembered);
    ASSERT_TRUE(restore());
    EXPECT_EQ(f.reports({"set-feature", "out"}), c.sent);
    EXPECT_EQ(int{model.block[kPosCursorSpeed]}, c.defaultSpeed);
    if (!c.sent.empty()) {
        EXPECT_EQ(f.sim.devices().front()->cursorSpeed(), c.remembered);
    }
}

const Lines kPreambleArvel{"05 set-feature 01 00 00", "05 set-feature 01 20 22", "05 set-feature 01 21 E0"};
const Lines kPreambleEssom{"06 set-feature 01 00 00", "06 set-feature 01 20 22", "06 set-feature 01 21 E0"};

Lines plus(Lines a, const std::string& line)
{
    a.push_back(line);
    return a;
}

INSTANTIATE_TEST_SUITE_P(
    RestoreDefaults, RestoreCursorSpeed,
    ::testing::Values(SpeedCase{"dorrin_changed", "dorrin", 7, 6, {"08 out 83 0E 1C 39 F8 00 00 00"}},
                      SpeedCase{"dorrin_ten_not_raised", "dorrin", 10, 6, {"08 out 83 0E 1C 39 F5 00 00 00"}},
                      SpeedCase{"dorrin_same", "dorrin", 6, 6, {}},
                      SpeedCase{"cindel_ten_not_raised", "cindel", 10, 6, {"09 out 83 0E 1C 39 F5 00 00 00"}},
                      SpeedCase{"brill_same", "brill", 6, 6, {}},
                      SpeedCase{"essom_0x31C_changed", "essom:fw=0x31C", 10, 8,
                                plus(kPreambleEssom, "06 set-feature 01 FF 0A")},
                      SpeedCase{"essom_0x31C_same", "essom:fw=0x31C", 8, 8, {}},
                      SpeedCase{
                          "essom_0x30A_no_preamble", "essom:fw=0x30A", 5, 0, {"06 set-feature 01 FF 05"}},
                      SpeedCase{"arvel_0x31A_changed", "arvel:fw=0x31A", 11, 8,
                                plus(kPreambleArvel, "05 set-feature 01 FF 0B")},
                      SpeedCase{"arvel_0x31A_same", "arvel:fw=0x31A", 8, 8, {}}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace cvk
