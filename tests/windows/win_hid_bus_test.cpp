// The Windows HID bus against the system's HID stack: enumeration works on
// any machine, a path that is not there opens as NotFound, and a read of a
// present device that sends nothing comes back empty-handed after its bound
// instead of hanging.

#include <gtest/gtest.h>

#include <array>
#include <chrono>

#include "platform/windows/win_hid_bus.h"

namespace cvk {
namespace {

TEST(WinHidBus, EnumerationGivesAPathForEveryEntry)
{
    WinHidBus bus;
    const std::vector<HidInterfaceInfo> found = bus.enumerate();
    for (const HidInterfaceInfo& info : found)
        EXPECT_FALSE(info.path.empty());
}

TEST(WinHidBus, MissingPathsOpenAsNotFound)
{
    WinHidBus bus;
    for (const char* path : {"\\\\?\\hid#vid_0000&pid_0000#0&0&0&0#{4d1e55b2-f16f-11cf-88cb-001111000030}",
                             "C:\\no-such-folder\\no-such-device", ""}) {
        SCOPED_TRACE(path);
        HidInterfaceInfo entry;
        entry.path = path;
        HidOpenError error = HidOpenError::None;
        EXPECT_EQ(bus.open(entry, &error), nullptr);
        EXPECT_EQ(error, HidOpenError::NotFound);
    }
}

TEST(WinHidBus, ReadOfASilentDeviceEndsAtItsBound)
{
    WinHidBus bus;
    HidDevicePtr device;
    for (const HidInterfaceInfo& info : bus.enumerate()) {
        if ((device = bus.open(info)))
            break;
    }
    if (!device)
        GTEST_SKIP() << "no HID device that this user may open";

    // Far above the bound, so that only a read that never returns fails.
    constexpr int kBoundMs = 20;
    constexpr auto kHang = std::chrono::seconds(5);
    std::array<uint8_t, 64> buffer{};
    // A request cut off by its bound is over, so the next one can start;
    // a negative bound counts as 0, never as "wait for ever".
    for (const int bound : {kBoundMs, kBoundMs, 0, -1}) {
        SCOPED_TRACE(bound);
        const auto start = std::chrono::steady_clock::now();
        const int got = device->read(buffer, bound);
        EXPECT_LT(std::chrono::steady_clock::now() - start, kHang);
        EXPECT_LE(got, static_cast<int>(buffer.size()));
        EXPECT_GE(got, -1);
    }
}

}  // namespace
}  // namespace cvk
