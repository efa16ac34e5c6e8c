// Device changes: timer 1 turns bursts of hotplug events into one device
// scan after the last of them, end to end against the simulator, and the
// udev backend comes up (or fails soft) on this machine.

#include <fcntl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "app/device_change.h"
#include "device/device_link.h"
#include "platform/linux/udev_hotplug.h"
#include "test_support.h"

namespace cvk {
namespace {

// Events handed out at the virtual time they were "broadcast".
class ScriptedMonitor final : public IHotplugMonitor {
public:
    int fd() const override { return -1; }
    std::vector<HotplugEvent> drain() override
    {
        std::vector<HotplugEvent> out;
        out.swap(pending);
        return out;
    }
    std::vector<HotplugEvent> pending;
};

using Timed = std::pair<int64_t, HotplugEvent>;
constexpr HotplugEvent kIn = HotplugEvent::Arrival;
constexpr HotplugEvent kOut = HotplugEvent::RemovalComplete;

struct ScheduleCase {
    const char* name;
    std::vector<Timed> events;
    std::vector<int64_t> scans;
};

class DeviceChangeSchedule : public ::testing::TestWithParam<ScheduleCase> {};

// Polled every millisecond, as a tick-driven caller would.
TEST_P(DeviceChangeSchedule, OneScanAfterTheLastEvent)
{
    ScriptedMonitor monitor;
    CDeviceChangeTimer timer;
    std::deque<Timed> events(GetParam().events.begin(), GetParam().events.end());
    std::vector<int64_t> scans;
    for (int64_t now = 0; now <= 8000; ++now) {
        while (!events.empty() && events.front().first == now) {
            monitor.pending.push_back(events.front().second);
            events.pop_front();
        }
        if (deviceChangeDue(monitor, timer, now))
            scans.push_back(now);
    }
    EXPECT_EQ(scans, GetParam().scans);
    EXPECT_FALSE(timer.deadline().has_value());
}

INSTANTIATE_TEST_SUITE_P(
    DeviceChangeTimer1, DeviceChangeSchedule,
    ::testing::Values(ScheduleCase{"arrival", {{0, kIn}}, {2000}},
                      ScheduleCase{"removal", {{0, kOut}}, {100}},
                      ScheduleCase{"arrival_burst", {{0, kIn}, {300, kIn}, {1200, kIn}}, {3200}},
                      // Several nodes of one device in the same drain.
                      ScheduleCase{"same_instant", {{500, kIn}, {500, kIn}, {500, kIn}}, {2500}},
                      ScheduleCase{"removal_burst", {{0, kOut}, {60, kOut}, {150, kOut}}, {250}},
                      // The later event replaces the deadline, even with an earlier one.
                      ScheduleCase{"arrival_then_removal", {{0, kIn}, {500, kOut}}, {600}},
                      ScheduleCase{"removal_then_arrival", {{0, kOut}, {50, kIn}}, {2050}},
                      ScheduleCase{"two_plugs", {{0, kIn}, {2500, kIn}}, {2000, 4500}},
                      ScheduleCase{"nothing", {}, {}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(DeviceChangeTimer, DueOnceAtTheDeadline)
{
    CDeviceChangeTimer timer;
    EXPECT_FALSE(timer.due(0));
    timer.onEvent(kOut, 1000);
    ASSERT_EQ(timer.deadline(), std::optional<int64_t>{1100});
    EXPECT_FALSE(timer.due(1099));
    EXPECT_TRUE(timer.due(1100));
    EXPECT_FALSE(timer.deadline().has_value());
    EXPECT_FALSE(timer.due(1101));
    // A late caller still gets its one scan.
    timer.onEvent(kIn, 2000);
    EXPECT_TRUE(timer.due(9000));
    EXPECT_FALSE(timer.due(9001));
    timer.onEvent(kIn, 0);
    timer.cancel();
    EXPECT_FALSE(timer.due(5000));
}

// Plug and unplug a Dorrin: the scan runs (and Refresh is posted) exactly
// 2 s after the last arrival and 0.1 s after the removal. Events are fed
// when they come, as the window's socket notifier does; due() is asked on
// 10 ms ticks.
TEST(DeviceChangeEndToEnd, PlugAndUnplugRescanOnce)
{
    test::SimFixture f;
    ScriptedMonitor monitor;
    CDeviceChangeTimer timer;
    deviceScan(f.link);
    f.view.posted.clear();

    std::vector<int64_t> refreshAt;
    auto runFor = [&](int64_t ms) {
        const int64_t end = f.clock.nowMs() + ms;
        while (f.clock.nowMs() < end) {
            f.clock.sleepMs(10);
            if (deviceChangeDue(monitor, timer, f.clock.nowMs())) {
                const size_t before = f.view.posted.size();
                deviceScan(f.link);
                if (f.view.posted.size() > before && f.view.posted.back() == kCmdRefresh)
                    refreshAt.push_back(f.clock.nowMs());
            }
        }
    };

    runFor(1000);
    f.sim.attach("dorrin");
    // One plug brings several hidraw nodes, 40 ms apart.
    auto broadcast = [&](std::vector<HotplugEvent> events) {
        monitor.pending = std::move(events);
        feedDeviceChanges(monitor, timer, f.clock.nowMs());
    };
    broadcast({kIn});
    runFor(40);
    broadcast({kIn, kIn});
    runFor(1990);
    EXPECT_TRUE(refreshAt.empty());
    runFor(1000);
    EXPECT_EQ(refreshAt, std::vector<int64_t>{1040 + 2000});
    EXPECT_EQ(f.link.state.modelCode, kModelDorrin);

    f.sim.unplug(kModelDorrin);
    const int64_t unplugged = f.clock.nowMs();
    broadcast({kOut, kOut});
    runFor(1000);
    EXPECT_EQ(refreshAt, (std::vector<int64_t>{3040, unplugged + 100}));
    EXPECT_EQ(f.link.state.deviceCount, 0);
}

// ---------------------------------------------------------------- udev backend

TEST(HotplugUdev, ConstructsAndDrainsWithoutBlocking)
{
    UdevHotplugMonitor monitor;
    if (!monitor.available()) {
        EXPECT_EQ(monitor.fd(), -1);
        GTEST_SKIP() << "udev monitor unavailable here; it failed soft";
    }
    ASSERT_GE(monitor.fd(), 0);
    EXPECT_TRUE(fcntl(monitor.fd(), F_GETFL) & O_NONBLOCK);
    // Returns at once; a device plugged during the test may show up.
    const std::vector<HotplugEvent> events = monitor.drain();
    EXPECT_TRUE(
        std::all_of(events.begin(), events.end(), [](HotplugEvent e) { return e == kIn || e == kOut; }));
}

TEST(HotplugUdev, UnknownSourceFailsSoft)
{
    UdevHotplugMonitor monitor("no-such-source");
    EXPECT_FALSE(monitor.available());
    EXPECT_EQ(monitor.fd(), -1);
    EXPECT_TRUE(monitor.drain().empty());
    CDeviceChangeTimer timer;
    EXPECT_FALSE(deviceChangeDue(monitor, timer, 0));
    EXPECT_FALSE(timer.deadline().has_value());
}

}  // namespace
}  // namespace cvk
