// A whole firmware update of a 12 KiB image against the simulated
// bootloader answering each control transfer after 1 ms, on the real clock.
// The program's own share is the wall time beyond the transfers' own time,
// measured around every transfer. The erase answers at once (no busy
// polls), so every wait the update makes is inside a transfer.

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "platform/linux/posix_temp_file.h"
#include "service/firmware_update.h"
#include "service/isp_dfu.h"
#include "sim/bootloader.h"

namespace {

using Clock = std::chrono::steady_clock;

// Times every control transfer that passes through it.
class TimedUsb final : public cvk::IUsbControl {
public:
    explicit TimedUsb(cvk::IUsbControl& inner) : inner_(inner) {}
    std::unique_ptr<cvk::IUsbDevice> open(uint16_t vendorId, uint16_t productId,
                                          cvk::UsbError* error) override
    {
        auto start = Clock::now();
        auto device = inner_.open(vendorId, productId, error);
        spent += Clock::now() - start;
        if (!device)
            return nullptr;
        return std::make_unique<Device>(std::move(device), *this);
    }
    Clock::duration spent{};
    int transfers = 0;

private:
    class Device final : public cvk::IUsbDevice {
    public:
        Device(std::unique_ptr<cvk::IUsbDevice> inner, TimedUsb& owner)
            : inner_(std::move(inner)), owner_(owner)
        {}
        int controlOut(const cvk::UsbSetup& setup, std::span<const uint8_t> data, int timeoutMs,
                       cvk::UsbError* error) override
        {
            auto start = Clock::now();
            int n = inner_->controlOut(setup, data, timeoutMs, error);
            owner_.spent += Clock::now() - start;
            ++owner_.transfers;
            return n;
        }
        int controlIn(const cvk::UsbSetup& setup, std::span<uint8_t> data, int timeoutMs,
                      cvk::UsbError* error) override
        {
            auto start = Clock::now();
            int n = inner_->controlIn(setup, data, timeoutMs, error);
            owner_.spent += Clock::now() - start;
            ++owner_.transfers;
            return n;
        }

    private:
        std::unique_ptr<cvk::IUsbDevice> inner_;
        TimedUsb& owner_;
    };
    cvk::IUsbControl& inner_;
};

class QuietLog final : public cvk::service::IUpdateLog {
public:
    void line(const std::string&) override {}
    void detail(const std::string&) override {}
};

void BM_FirmwareUpdate12KiB(benchmark::State& state)
{
    // 12 KiB whose bytes follow their addresses.
    const std::string image = CVK_FIRMWARE_PATTERN;
    cvk::PosixTempFiles tempFiles;
    cvk::SteadyClock clock;
    double wall = 0;
    double device = 0;
    int transfers = 0;
    for (auto _ : state) {
        cvk::sim::SimBootloaderConfig config;
        config.latencyMs = 1;
        config.busyPolls = 0;
        cvk::sim::SimBootloader bootloader(clock, config);
        TimedUsb timed(bootloader);
        cvk::service::DfuIspProvider provider(timed, clock);
        QuietLog log;
        const auto start = Clock::now();
        const int rc = cvk::service::updateFirmwareFromFile(image, provider, tempFiles, log, clock);
        wall += std::chrono::duration<double>(Clock::now() - start).count();
        device += std::chrono::duration<double>(timed.spent).count();
        transfers = timed.transfers;
        if (rc != 0)
            state.SkipWithError("the update failed");
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["wall_ms"] = wall / n * 1000;
    state.counters["transfers_ms"] = device / n * 1000;
    state.counters["transfers"] = transfers;
    state.counters["ratio"] = device > 0 ? wall / device : 0;
}

}  // namespace

BENCHMARK(BM_FirmwareUpdate12KiB)->Unit(benchmark::kMillisecond)->Iterations(5);
