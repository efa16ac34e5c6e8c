// The pointer-settings panel: slider arithmetic both ways, the live cursor
// speed against simulated devices, the sensitivity spots, the Brill switch
// and which rows each model shows.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/config_model.h"
#include "config/pointer_settings.h"
#include "device/device_link.h"
#include "device/live_edits.h"
#include "device/model_views.h"
#include "test_support.h"

namespace cvk {
namespace {

using Lines = std::vector<std::string>;

struct PanelFixture {
    test::SimFixture f;
    ConfigModel model;

    void attach(const std::vector<std::string>& setups)
    {
        for (const std::string& setup : setups)
            f.sim.attach(setup);
        deviceScan(f.link);
        f.sim.transcript().clear();
    }
    uint8_t at(int position) const { return model.block[position]; }
};

// ---------------------------------------------------------------- row 0

struct SpeedDropCase {
    int x;
    int speed;
};

class SliderSpeedDrop : public ::testing::TestWithParam<SpeedDropCase> {};

TEST_P(SliderSpeedDrop, RoundsHalfStepsAndLimits)
{
    ConfigModel model;
    EXPECT_EQ(dropValue(kRowCursorSpeed, model, GetParam().x), GetParam().speed);
}

INSTANTIATE_TEST_SUITE_P(SliderRow0, SliderSpeedDrop,
                         ::testing::Values(SpeedDropCase{531, 5}, SpeedDropCase{563, 6},  // 6.48 down
                                           SpeedDropCase{564, 7},                         // 6.52 up
                                           SpeedDropCase{661, 11}, SpeedDropCase{662, 11},
                                           SpeedDropCase{900, 11}, SpeedDropCase{530, 5},
                                           SpeedDropCase{-40, 5}, SpeedDropCase{640, 10}),
                         [](const auto& p) { return "x" + std::to_string(p.param.x < 0 ? 0 : p.param.x); });

TEST(SliderSpeedKnob, EveryStepDropsBackOnItself)
{
    ConfigModel model;
    int previous = kTrackLeft - 1;
    for (int s = kCursorSpeedMin; s <= kCursorSpeedMax; ++s) {
        model.block[kPosCursorSpeed] = static_cast<uint8_t>(s);
        const int x = knobX(kRowCursorSpeed, model);
        EXPECT_GT(x, previous) << s;
        EXPECT_EQ(dropValue(kRowCursorSpeed, model, x), s) << s;
        previous = x;
    }
    EXPECT_EQ(previous, kTrackLeft + kSpeedTrackWidth);
}

// Speeds outside 5..11 (a cleared block) sit at the track ends.
TEST(SliderSpeedKnob, OutOfRangeSpeedsSitAtTheEnds)
{
    ConfigModel model;
    model.block[kPosCursorSpeed] = 0;
    EXPECT_EQ(knobX(kRowCursorSpeed, model), kTrackLeft);
    model.block[kPosCursorSpeed] = 200;
    EXPECT_EQ(knobX(kRowCursorSpeed, model), kTrackLeft + kSpeedTrackWidth);
}

struct LiveSpeedCase {
    const char* name;
    const char* setup;
    int before;  // position 19 before the drop
    int x;
    Lines sent;  // output, input and feature reports in order
    int stored;
    int pauseMs;
};

const std::string kReply8 = "08 in 83 00 00 00 00 00 00 00";
const std::string kReply9 = "09 in 83 00 00 00 00 00 00 00";

class SliderLiveSpeed : public PanelFixture, public ::testing::TestWithParam<LiveSpeedCase> {};

TEST_P(SliderLiveSpeed, SendsOnlyWhenTheSpeedChanges)
{
    const LiveSpeedCase& c = GetParam();
    attach({c.setup});
    model.block[kPosCursorSpeed] = static_cast<uint8_t>(c.before);
    const int64_t start = f.clock.nowMs();
    dropKnob(f.link, model, kRowCursorSpeed, c.x);
    EXPECT_EQ(f.reports({"out", "in", "set-feature"}), c.sent);
    EXPECT_EQ(int{at(kPosCursorSpeed)}, c.stored);
    EXPECT_EQ(f.clock.nowMs() - start, c.pauseMs);
    if (!c.sent.empty()) {
        EXPECT_EQ(f.sim.devices().front()->cursorSpeed(), c.stored);
    }
    if (c.sent.empty()) {
        EXPECT_TRUE(f.reports({}).empty()) << "no channel may open when nothing is sent";
    }
}

INSTANTIATE_TEST_SUITE_P(
    SliderRow0, SliderLiveSpeed,
    ::testing::Values(
        // Dorrin cannot take 10: it is sent and stored as 11.
        LiveSpeedCase{
            "dorrin_ten_as_eleven", "dorrin", 6, 640, {"08 out 83 0E 1C 39 F4 00 00 00", kReply8}, 11, 0},
        // Compared before the replacement, so a stored 11 is sent again.
        LiveSpeedCase{
            "dorrin_ten_over_eleven", "dorrin", 11, 640, {"08 out 83 0E 1C 39 F4 00 00 00", kReply8}, 11, 0},
        LiveSpeedCase{"dorrin_unchanged", "dorrin", 7, 564, {}, 7, 0},
        LiveSpeedCase{"cindel_left_end", "cindel", 8, 400, {"09 out 83 0E 1C 39 FA 00 00 00", kReply9}, 5, 0},
        LiveSpeedCase{"brill_unchanged_at_end", "brill", 11, 700, {}, 11, 0},
        // The register family keeps 10 and sends the preamble first.
        LiveSpeedCase{"essom_ten",
                      "essom",
                      6,
                      640,
                      {"06 set-feature 01 00 00", "06 set-feature 01 20 22", "06 set-feature 01 21 E0",
                       "06 set-feature 01 FF 0A"},
                      10,
                      3 * 20},
        LiveSpeedCase{"essom_unchanged", "essom", 10, 640, {}, 10, 0}),
    [](const auto& p) { return std::string(p.param.name); });

// ---------------------------------------------------------------- rows 1..3

struct ByteDropCase {
    int row;
    int precision;  // position 16
    int x;
    int stored;
};

class SliderByteDrop : public PanelFixture, public ::testing::TestWithParam<ByteDropCase> {};

TEST_P(SliderByteDrop, StoresWithoutSending)
{
    const ByteDropCase& c = GetParam();
    attach({"brill"});
    model.block[kPosEdgePrecision] = static_cast<uint8_t>(c.precision);
    dropKnob(f.link, model, c.row, c.x);
    EXPECT_EQ(int{at(59 + c.row)}, c.stored);
    EXPECT_TRUE(f.reports({}).empty());
}

INSTANTIATE_TEST_SUITE_P(SliderRows, SliderByteDrop,
                         ::testing::Values(ByteDropCase{1, 32, 597, 128}, ByteDropCase{1, 32, 531, 0},
                                           ByteDropCase{1, 32, 663, 255}, ByteDropCase{1, 32, 2000, 255},
                                           ByteDropCase{1, 32, -2000, 0}, ByteDropCase{1, 32, 564, 64},
                                           ByteDropCase{3, 32, 597, 128}, ByteDropCase{3, 32, 663, 255},
                                           // Low precision stores eighths: centre 128 × 32 ÷ 255.
                                           ByteDropCase{2, 32, 597, 16}, ByteDropCase{2, 32, 663, 32},
                                           ByteDropCase{2, 32, 531, 0},
                                           // Far beyond the track the eighths stop at 119.
                                           ByteDropCase{2, 32, 1500, 119},
                                           // Enhanced keeps the whole byte.
                                           ByteDropCase{2, 16, 597, 128}, ByteDropCase{2, 16, 663, 255},
                                           ByteDropCase{2, 16, 551, 38},
                                           // Precision 0 (Brill factory block) is not scaled either.
                                           ByteDropCase{2, 0, 597, 128}),
                         [](const auto& p) {
                             return "row" + std::to_string(p.param.row) + "_p" +
                                    std::to_string(p.param.precision) + "_x" +
                                    std::to_string(p.param.x < 0 ? 0 : p.param.x);
                         });

struct KnobCase {
    int row;
    int precision;
    int stored;
    int x;
};

class SliderKnob : public ::testing::TestWithParam<KnobCase> {};

TEST_P(SliderKnob, SitsWhereTheValueSays)
{
    const KnobCase& c = GetParam();
    ConfigModel model;
    model.block[kPosEdgePrecision] = static_cast<uint8_t>(c.precision);
    model.block[59 + c.row] = static_cast<uint8_t>(c.stored);
    EXPECT_EQ(knobX(c.row, model), c.x);
}

INSTANTIATE_TEST_SUITE_P(SliderRows, SliderKnob,
                         ::testing::Values(KnobCase{1, 32, 128, 597}, KnobCase{1, 32, 255, 663},
                                           KnobCase{1, 32, 254, 661}, KnobCase{1, 32, 0, 531},
                                           KnobCase{3, 32, 255, 663},
                                           // Low: the byte × 8.
                                           KnobCase{2, 32, 16, 597}, KnobCase{2, 32, 32, 663},
                                           KnobCase{2, 32, 119, 663}, KnobCase{2, 32, 8, 564},
                                           // Enhanced: the byte itself; factory 38 left of centre.
                                           KnobCase{2, 16, 38, 551}, KnobCase{2, 16, 128, 597},
                                           KnobCase{2, 0, 16, 597}),
                         [](const auto& p) {
                             return "row" + std::to_string(p.param.row) + "_p" +
                                    std::to_string(p.param.precision) + "_v" + std::to_string(p.param.stored);
                         });

// A drop anywhere on the track leaves the knob under the pointer.
TEST(SliderRoundTrip, EnhancedScrollSpeedAndAccelerationStayUnderThePointer)
{
    for (int row : {kRowScrollAcceleration, kRowScrollSpeed, kRowPollingInterval}) {
        test::SimFixture f;
        ConfigModel model;
        model.block[kPosEdgePrecision] = 16;
        for (int x = kTrackLeft; x <= kTrackCentre + kTrackHalf; ++x) {
            dropKnob(f.link, model, row, x);
            EXPECT_NEAR(knobX(row, model), x, 1) << "row " << row << " x " << x;
        }
    }
}

// Low precision has 33 steps over 132 pixels.
TEST(SliderRoundTrip, LowScrollSpeedStaysWithinOneStep)
{
    test::SimFixture f;
    ConfigModel model;
    model.block[kPosEdgePrecision] = 32;
    for (int x = kTrackLeft; x <= kTrackCentre + kTrackHalf; ++x) {
        dropKnob(f.link, model, kRowScrollSpeed, x);
        EXPECT_NEAR(knobX(kRowScrollSpeed, model), x, 5) << x;
    }
}

TEST(SliderLabels, ScrollSpeedFollowsThePrecision)
{
    ConfigModel model;
    model.block[kPosEdgePrecision] = 16;
    SliderLabels l = sliderLabels(kRowScrollSpeed, model);
    EXPECT_STREQ(l.left, "-120");
    EXPECT_STREQ(l.right, "+120");
    model.block[kPosEdgePrecision] = 32;
    l = sliderLabels(kRowScrollSpeed, model);
    EXPECT_STREQ(l.left, "100\u00D7");
    EXPECT_STREQ(l.middle, "1\u00D7");
    EXPECT_STREQ(l.right, "\u00BC\u00D7");
    EXPECT_EQ(sliderLabels(kRowPollingInterval, model).middle, nullptr);
    EXPECT_EQ(sliderLabels(kRowCursorSpeed, model).left, nullptr);
}

// ---------------------------------------------------------------- spots and switch

struct SpotCase {
    int before;
    bool increase;
    int after;
};

class PointerSpot : public PanelFixture, public ::testing::TestWithParam<SpotCase> {};

TEST_P(PointerSpot, StepsWithinFiveToElevenWithoutSending)
{
    attach({"dorrin"});
    model.block[kPosCursorSpeed] = static_cast<uint8_t>(GetParam().before);
    sensitivitySpot(f.link, model, GetParam().increase);
    EXPECT_EQ(int{at(kPosCursorSpeed)}, GetParam().after);
    EXPECT_TRUE(f.reports({}).empty());
}

INSTANTIATE_TEST_SUITE_P(PointerSpots, PointerSpot,
                         ::testing::Values(SpotCase{5, false, 5}, SpotCase{6, false, 5},
                                           SpotCase{11, false, 10}, SpotCase{11, true, 11},
                                           SpotCase{10, true, 11}, SpotCase{5, true, 6}),
                         [](const auto& p) {
                             return std::string(p.param.increase ? "up" : "down") + "_from" +
                                    std::to_string(p.param.before);
                         });

TEST(PointerBrillSwitch, TogglesBetweenZeroAndFull)
{
    PanelFixture p;
    p.attach({"brill"});
    toggleBrillSwitch(p.f.link, p.model);
    EXPECT_EQ(p.at(kPosBrillSwitch), 0xFF);
    toggleBrillSwitch(p.f.link, p.model);
    EXPECT_EQ(p.at(kPosBrillSwitch), 0x00);
    p.model.block[kPosBrillSwitch] = 7;
    toggleBrillSwitch(p.f.link, p.model);
    EXPECT_EQ(p.at(kPosBrillSwitch), 0x00);
    EXPECT_TRUE(p.f.reports({}).empty());
}

// ---------------------------------------------------------------- visibility

struct VisibilityCase {
    const char* name;
    std::vector<std::string> setups;
    bool settingsView;
    std::vector<bool> rows;  // 0..3
};

class PointerVisibility : public PanelFixture, public ::testing::TestWithParam<VisibilityCase> {};

TEST_P(PointerVisibility, RowsPerModel)
{
    attach(GetParam().setups);
    DeviceState& s = f.link.state;
    if (s.deviceCount == 0 && s.receiverPresent()) {
        // What the configuration read leaves for a receiver alone.
        s.modelCode = kModelReceiverOnly;
        s.firmwareVersion = 0x1001;
    }
    for (int row = 0; row < kSliderRows; ++row)
        EXPECT_EQ(rowVisible(row, s, GetParam().settingsView), GetParam().rows[row]) << "row " << row;
}

const std::vector<bool> kNone{false, false, false, false};
const std::vector<bool> kSpeedOnly{true, false, false, false};
const std::vector<bool> kAll{true, true, true, true};

INSTANTIATE_TEST_SUITE_P(
    PointerModels, PointerVisibility,
    ::testing::Values(VisibilityCase{"arvel_0x319", {"arvel:fw=0x319"}, true, kNone},
                      VisibilityCase{"arvel_0x31A", {"arvel:fw=0x31A"}, true, kSpeedOnly},
                      VisibilityCase{"essom", {"essom"}, true, kSpeedOnly},
                      VisibilityCase{"dorrin", {"dorrin"}, true, kSpeedOnly},
                      VisibilityCase{"arvel2", {"arvel2"}, true, kSpeedOnly},
                      VisibilityCase{"cindel_view_open", {"cindel"}, true, kAll},
                      VisibilityCase{"cindel_view_closed", {"cindel"}, false, kSpeedOnly},
                      VisibilityCase{"brill_view_open", {"brill"}, true, kAll},
                      VisibilityCase{"receiver_alone", {"receiver"}, true, kAll},
                      VisibilityCase{"no_device", {}, true, kNone},
                      VisibilityCase{"two_devices", {"dorrin", "essom"}, true, kNone},
                      VisibilityCase{"firmware_too_new", {"cindel:fw=0x1400"}, true, kNone}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace cvk
