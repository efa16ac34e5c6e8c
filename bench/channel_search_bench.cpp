// Cost of one channel search: it enumerates every present HID interface and
// runs on every channel construction, so it is paid on every status poll.

#include <benchmark/benchmark.h>

#include "device/device_state.h"
#include "device/hid_channel.h"
#include "platform/vendor.h"
#include "sim/sim.h"

namespace {

void BM_ChannelSearch(benchmark::State& state)
{
    cvk::sim::VirtualClock clock;
    cvk::sim::SimBus bus(clock);
    bus.attach("dorrin");  // mouse and vendor collection: two interfaces
    // Arg: the number of present interfaces in all, the Dorrin's two included.
    const int interfaces = static_cast<int>(state.range(0));
    for (int i = 2; i < interfaces; ++i)
        bus.addForeignInterface(cvk::HidInterfaceInfo{"foreign:" + std::to_string(i), 0x046D,
                                                      static_cast<uint16_t>(i), 0x100, 1, 6});
    for (auto _ : state) {
        cvk::CHidChannel channel(bus, clock, cvk::kVendorId, cvk::kModelDorrin);
        benchmark::DoNotOptimize(channel.isOpen());
        channel.closeAll();
    }
    state.counters["interfaces"] = static_cast<double>(bus.enumerate().size());
}

}  // namespace

BENCHMARK(BM_ChannelSearch)->Arg(2)->Arg(10)->Arg(100)->Unit(benchmark::kMicrosecond);
