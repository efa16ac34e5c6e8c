// Idle cost of the wireless status: the window polls the Dorrin receiver
// every 100 ms for as long as it runs. Measured against a simulated receiver
// answering after 1 ms on the real clock; the figure that matters is the CPU
// time per poll (the latency is waiting, not work).

#include <benchmark/benchmark.h>

#include <ctime>

#include "app/main_controller.h"
#include "bench_support.h"
#include "platform/memory_settings_store.h"
#include "sim/sim.h"

namespace {

double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void BM_DorrinReceiverStatusPoll(benchmark::State& state)
{
    cvk::SteadyClock clock;
    cvk::sim::SimBus bus(clock);
    bus.transcript().setKeepLines(false);
    // A desktop's worth of other HID interfaces, which every poll's channel
    // search walks.
    for (int i = 0; i < 20; ++i)
        bus.addForeignInterface(cvk::HidInterfaceInfo{"foreign:" + std::to_string(i), 0x046D,
                                                      static_cast<uint16_t>(i), 0x100, 1, 6});
    cvk::sim::SimDevice& device = bus.attach("dorrin-receiver");
    cvk::bench::QuietView view;
    cvk::MemorySettingsStore store;
    cvk::FixedSystemSettings system;
    cvk::CMainController c({bus, clock, view, store, system});
    c.start();
    device.config().latencyMs = 1;

    constexpr int kTicks = 600;
    for (auto _ : state) {
        const double cpuStart = cpuSeconds();
        for (int i = 0; i < kTicks; ++i)
            c.pollWirelessStatus();
        const double cpu = cpuSeconds() - cpuStart;
        state.counters["cpu_us_per_poll"] = cpu / kTicks * 1e6;
        // Ten polls a second: the share of one core.
        state.counters["core_percent_at_10Hz"] = cpu / kTicks * 10 * 100;
    }
}

}  // namespace

BENCHMARK(BM_DorrinReceiverStatusPoll)->Unit(benchmark::kMillisecond)->Iterations(1);
