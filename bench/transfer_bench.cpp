// A whole write with verification of the 90-byte block against a simulated
// Cindel answering each report after 1 ms, on the real clock. The program's
// own share is the wall time beyond what the device spent answering.

#include <benchmark/benchmark.h>

#include <chrono>

#include "app/main_controller.h"
#include "bench_support.h"
#include "platform/memory_settings_store.h"
#include "sim/sim.h"

namespace {

void BM_WriteAndVerifyCindel(benchmark::State& state)
{
    cvk::SteadyClock clock;
    cvk::sim::SimBus bus(clock);
    bus.transcript().setKeepLines(false);
    cvk::sim::SimDevice& device = bus.attach("cindel");
    cvk::bench::QuietView view;
    cvk::MemorySettingsStore store;
    cvk::FixedSystemSettings system;
    cvk::CMainController c({bus, clock, view, store, system});
    c.start();
    device.config().latencyMs = 1;

    double wall = 0;
    double answering = 0;
    for (auto _ : state) {
        const auto deviceBefore = device.latencySpent();
        const auto start = std::chrono::steady_clock::now();
        if (!c.writeSequence())
            state.SkipWithError("write failed");
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        answering += std::chrono::duration<double>(device.latencySpent() - deviceBefore).count();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["wall_ms"] = wall / n * 1000;
    state.counters["device_ms"] = answering / n * 1000;
    state.counters["ratio"] = answering > 0 ? wall / answering : 0;
}

}  // namespace

BENCHMARK(BM_WriteAndVerifyCindel)->Unit(benchmark::kMillisecond)->Iterations(5);
