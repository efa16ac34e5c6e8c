// A whole write with verification of each model's block against a simulated
// device answering each report after 1 ms, on the real clock. The floor is
// the time the write must wait: the device answering and the protocol's
// fixed pauses, both slept through the clock; the program's own share is the
// wall time beyond it.

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

#include "app/main_controller.h"
#include "bench_support.h"
#include "platform/memory_settings_store.h"
#include "sim/sim.h"

namespace {

// Sums the real time spent in every sleep.
class SleepTimingClock final : public cvk::IClock {
public:
    int64_t nowMs() override { return inner_.nowMs(); }
    void sleepMs(int ms) override
    {
        const auto start = std::chrono::steady_clock::now();
        inner_.sleepMs(ms);
        slept += std::chrono::steady_clock::now() - start;
    }
    std::chrono::steady_clock::duration slept{};

private:
    cvk::SteadyClock inner_;
};

// The models with a block of their own (the receiver alone has none).
const std::vector<std::string> kModels = {"arvel-old", "arvel",  "essom", "dorrin-receiver",
                                          "dorrin",    "cindel", "brill", "arvel2"};

void BM_WriteAndVerify(benchmark::State& state)
{
    const std::string& model = kModels[static_cast<std::size_t>(state.range(0))];
    state.SetLabel(model);
    SleepTimingClock clock;
    cvk::sim::SimBus bus(clock);
    bus.transcript().setKeepLines(false);
    cvk::sim::SimDevice& device = bus.attach(model);
    cvk::bench::QuietView view;
    cvk::MemorySettingsStore store;
    cvk::FixedSystemSettings system;
    cvk::CMainController c({bus, clock, view, store, system});
    c.start();
    // The Refresh the start-up's scan posts (this view drops posted commands).
    c.configurationRead();
    device.config().latencyMs = 1;

    double wall = 0;
    double answering = 0;
    double waiting = 0;
    for (auto _ : state) {
        const auto deviceBefore = device.latencySpent();
        const auto sleptBefore = clock.slept;
        const auto start = std::chrono::steady_clock::now();
        if (!c.writeSequence()) {
            const std::string why = "write failed (refusal " +
                                    std::to_string(static_cast<int>(c.writeRefusal())) + ", device count " +
                                    std::to_string(c.device().deviceCount) + ")";
            state.SkipWithError(why.c_str());
            break;
        }
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        answering += std::chrono::duration<double>(device.latencySpent() - deviceBefore).count();
        waiting += std::chrono::duration<double>(clock.slept - sleptBefore).count();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["wall_ms"] = wall / n * 1000;
    state.counters["device_ms"] = answering / n * 1000;
    state.counters["floor_ms"] = waiting / n * 1000;
    state.counters["ratio"] = waiting > 0 ? wall / waiting : 0;
}

}  // namespace

BENCHMARK(BM_WriteAndVerify)->DenseRange(0, 7)->Unit(benchmark::kMillisecond)->Iterations(3);
