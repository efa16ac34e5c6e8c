// The window's timers: device-change scans, the wireless status poll, the
// fade and the Apply button, against simulated devices on a virtual clock.

#include <gtest/gtest.h>

#include "app/main_controller.h"
#include "platform/memory_settings_store.h"
#include "test_support.h"

namespace cvk {
namespace {

class TimerView : public test::RecordingView {
public:
    void enableControl(int control, bool on) override { enabled[control] = on; }
    void repaint() override { ++repaints; }
    std::map<int, bool> enabled;
    int repaints = 0;
};

struct TimerFixture : test::ControllerRig<TimerView> {
    explicit TimerFixture(std::initializer_list<const char*> devices)
    {
        for (const char* d : devices)
            sim.attach(d);
        store.writeInt("Profile", "NumberOfProfiles", 0);
        store.writeInt("Profile", "NumberOfProfiles.F", 0);
        start();
    }
    // One 100 ms period, as the window's timers run it.
    void tick(int n = 1)
    {
        for (int i = 0; i < n; ++i) {
            clock.sleepMs(100);
            c.pollDeviceChange();
            runPosted();
            c.updateFadeAndButtons();
            c.pollWirelessStatus();
            runPosted();
        }
    }
};

TEST(DeviceChangeScan, ArrivalWaitsTwoSecondsRemovalATenth)
{
    TimerFixture f{"dorrin"};
    f.sim.unplug(kModelDorrin);
    f.c.deviceChanged(false);
    f.tick();
    EXPECT_EQ(f.state().deviceCount, 0);
    EXPECT_EQ(f.window().trayTip, "No reprogrammable Corvane detected.");

    f.sim.attach("dorrin");
    f.c.deviceChanged(true);
    f.tick(5);
    f.c.deviceChanged(true);  // a burst: the scan follows the last one
    f.tick(19);
    EXPECT_EQ(f.state().deviceCount, 0);
    f.tick(1);
    EXPECT_EQ(f.state().deviceCount, 1);
    EXPECT_EQ(f.window().title, "Corvane Dorrin");
}

TEST(ReceiverStatus, VoltageAndSignal)
{
    struct Case {
        const char* setup;
        int battery;
        int signal;
    };
    const Case cases[] = {
        {"receiver:battery-raw=200,signal=3", 3, 1},   // 4.224 V
        {"receiver:battery-raw=160,signal=3", 1, 1},   // 3.3216 V
        {"receiver:battery-raw=170,signal=20", 2, 4},  // 3.5472 V
        {"receiver:battery-raw=12,signal=0", -1, 0},   // no voltage, no strength: both kept
    };
    for (const Case& c : cases) {
        TimerFixture f{c.setup};
        f.tick();
        EXPECT_EQ(f.c.wireless().batteryState(), c.battery) << c.setup;
        EXPECT_EQ(f.c.wireless().signalLevel(), c.signal) << c.setup;
    }
}

TEST(ReceiverStatus, StrengthZeroKeepsTheLevel)
{
    TimerFixture f{"receiver:signal=9"};
    f.tick();
    EXPECT_EQ(f.c.wireless().signalLevel(), 3);
    f.sim.find(kProductReceiver)->config().signal = 0;
    f.tick();
    EXPECT_EQ(f.c.wireless().signalLevel(), 3);
}

TEST(ReceiverStatus, TwentySecondFailureDropsTheReceiverAndRefreshes)
{
    TimerFixture f{"receiver"};
    ASSERT_TRUE(f.state().receiverPresent());
    std::weak_ptr<IHidDevice> handle = f.state().receiverStatus;
    f.sim.find(kProductReceiver)->config().faults.noAnswer = true;
    f.tick(21);
    EXPECT_TRUE(f.state().receiverPresent());
    f.tick(1);
    EXPECT_FALSE(f.state().receiverPresent());
    EXPECT_TRUE(handle.expired());
    EXPECT_EQ(f.window().trayTip, "No reprogrammable Corvane detected.");
}

TEST(DorrinReceiverStatus, StatusReplyFeedsTheIndicators)
{
    TimerFixture f{"dorrin-receiver:signal=10,battery=65,link=300"};
    f.tick();
    EXPECT_EQ(f.c.wireless().signalLevel(), 3);
    EXPECT_EQ(f.c.wireless().batteryPercent(), 65);
    EXPECT_EQ(f.c.wireless().batteryState(), 3);
    EXPECT_EQ(f.c.wireless().linkValue(), 300);

    // Signal not valid: the level is left alone, battery and link still taken.
    auto& device = f.sim.find(kModelDorrinReceiver)->config();
    device.signalValid = false;
    device.signal = 30;
    device.batteryPercent = 100;
    device.linkValue = 50;
    f.tick();
    EXPECT_EQ(f.c.wireless().signalLevel(), 3);
    EXPECT_EQ(f.c.wireless().batteryState(), 1);
    EXPECT_EQ(f.c.wireless().linkValue(), 50);
}

TEST(DorrinReceiverStatus, BusyDeviceIsNotPolled)
{
    TimerFixture f{"dorrin-receiver"};
    f.sim.transcript().clear();
    f.state().busy = true;
    f.tick();
    for (const auto& l : f.sim.transcript().lines())
        EXPECT_NE(l.kind, "out");
}

TEST(FadeAndApply, FadeFallsDuringATransferAndRisesAfter)
{
    TimerFixture f{"dorrin"};
    f.window().fadeLevel = 70;
    f.window().transferMark = kTransferMarkRunning;
    std::vector<int> levels;
    for (int i = 0; i < 5; ++i) {
        f.c.updateFadeAndButtons();
        levels.push_back(f.window().fadeLevel);
    }
    f.window().transferMark = -1;
    for (int i = 0; i < 3; ++i) {
        f.c.updateFadeAndButtons();
        levels.push_back(f.window().fadeLevel);
    }
    EXPECT_EQ(levels, (std::vector<int>{50, 30, 10, 0, 0, 10, 20, 30}));
}

TEST(FadeAndApply, ApplyFollowsUnsavedChanges)
{
    TimerFixture f{"essom"};
    // The Essom's block asks for one wheel line (position 16 = 16); the
    // system's three lines alone count as unsaved.
    f.tick();
    EXPECT_TRUE(f.view.enabled[kCtlApply]);
    f.window().wheelLines = 1;
    f.tick();
    EXPECT_FALSE(f.view.enabled[kCtlApply]);
    f.config().block[1] ^= 0x20;
    f.tick();
    EXPECT_TRUE(f.view.enabled[kCtlApply]);
    ASSERT_TRUE(f.c.writeSequence());
    f.tick();
    EXPECT_FALSE(f.view.enabled[kCtlApply]);
}

TEST(FadeAndApply, WirelessFamilyWriteLeavesNothingUnsaved)
{
    // Position 16 is neither 16 nor a value that asks for 3 lines on this
    // family: the write sets one line, and Apply must not stay enabled.
    TimerFixture f{"cindel"};
    f.config().block[kPosEdgePrecision] = 32;
    ASSERT_TRUE(f.c.writeSequence());
    f.tick();
    EXPECT_FALSE(f.view.enabled[kCtlApply]);
}

TEST(FadeAndApply, TwoDevicesKeepApplyDisabled)
{
    TimerFixture f{"dorrin", "essom"};
    f.config().block[1] ^= 0x20;
    f.tick(3);
    EXPECT_FALSE(f.view.enabled[kCtlApply]);
    EXPECT_FALSE(f.view.enabled[kCtlRestoreDefaults]);
}

}  // namespace
}  // namespace cvk
