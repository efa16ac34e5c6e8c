// The window's own costs, measured in one run: one full paint of the picture
// area, one hover hit test, the window's start to its first paint against a
// bare Qt dialog started the same way, and the CPU the idle window takes
// while it polls a Dorrin receiver. Run offscreen (QT_QPA_PLATFORM is set to
// offscreen unless given).

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/corvane_app.h"
#include "app/picture_area.h"
#include "platform/clock.h"
#include "platform/memory_settings_store.h"
#include "sim/sim.h"
#include "ui/corvane_dlg.h"
#include "ui/picture_view.h"

namespace {

double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// A window on a simulated device, started and faded in.
struct Window {
    explicit Window(const char* setup, cvk::IClock& clock) : bus(clock)
    {
        bus.transcript().setKeepLines(false);
        bus.attach(setup);
        cvk::StartOptions options;
        options.language = "ENU";
        app.startUp(store, options, [](const std::string& preset) { return preset; });
        dlg = std::make_unique<CCorvaneDlg>(DlgPorts{bus, clock, store, app, nullptr, nullptr, true});
        dlg->show();
        dlg->start();
        for (int i = 0; i < 12; ++i)
            dlg->change([](cvk::CMainController& c) { c.updateFadeAndButtons(); });
        QApplication::processEvents();
    }
    cvk::sim::SimBus bus;
    cvk::MemorySettingsStore store;
    cvk::CCorvaneApp app;
    std::unique_ptr<CCorvaneDlg> dlg;
};

void BM_PictureAreaPaint(benchmark::State& state)
{
    cvk::sim::VirtualClock clock;
    Window w("dorrin", clock);
    PictureView& view = *w.dlg->pictureView();
    view.hoverItem(2);  // the hovered button's glow and label as well
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter painter(&image);
        view.paintArea(painter);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["target_ms"] = 2;
}
BENCHMARK(BM_PictureAreaPaint)->Unit(benchmark::kMillisecond);

void BM_HoverHitTest(benchmark::State& state)
{
    cvk::sim::VirtualClock clock;
    Window w("dorrin", clock);
    PictureView& view = *w.dlg->pictureView();
    int x = 0;
    for (auto _ : state) {
        // Sweeps the picture, the Dorrin's sample points included.
        x = (x + 37) % cvk::kPictureAreaWidth;
        benchmark::DoNotOptimize(view.itemAt(QPoint(x, 120 + x % 180)));
    }
    state.counters["target_us"] = 5;
}
BENCHMARK(BM_HoverHitTest)->Unit(benchmark::kMicrosecond);

// Start to first paint: this program started again as a window on a
// simulated Dorrin (its start-up read and scan included) or as a bare dialog
// with one button, each ending at its first paint.
struct FirstPaintRun {
    double ms = -1;
    double peakKiB = 0;
};

FirstPaintRun startToFirstPaint(const char* mode)
{
    QElapsedTimer t;
    t.start();
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(mode)});
    // The child says so at its first paint; what it does after that (the
    // rest of its events, ending) is not part of the start.
    FirstPaintRun run;
    QByteArray said;
    while (run.ms < 0 && child.waitForReadyRead(30'000)) {
        said += child.readAllStandardOutput();
        if (const qsizetype at = said.indexOf("painted"); at >= 0 && said.indexOf('\n', at) > at) {
            run.ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
            run.peakKiB = said.mid(at + 8, said.indexOf('\n', at) - at - 8).toDouble();
        }
    }
    child.waitForFinished(30'000);
    return run;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Medians, since a process start now and then waits on the machine.
void BM_WindowStartAgainstBareDialog(benchmark::State& state)
{
    std::vector<double> window, bare, windowKiB, bareKiB;
    for (auto _ : state) {
        const FirstPaintRun b = startToFirstPaint("--first-paint=bare");
        const FirstPaintRun w = startToFirstPaint("--first-paint=window");
        bare.push_back(b.ms);
        window.push_back(w.ms);
        bareKiB.push_back(b.peakKiB);
        windowKiB.push_back(w.peakKiB);
    }
    state.counters["window_ms"] = median(window);
    state.counters["bare_ms"] = median(bare);
    state.counters["ratio"] = median(window) / median(bare);
    state.counters["target_ratio"] = 1.5;
    state.counters["window_peak_MiB"] = median(windowKiB) / 1024;
    state.counters["bare_peak_MiB"] = median(bareKiB) / 1024;
    state.counters["memory_ratio"] = median(bareKiB) > 0 ? median(windowKiB) / median(bareKiB) : 0;
}
BENCHMARK(BM_WindowStartAgainstBareDialog)->Unit(benchmark::kMillisecond)->Iterations(21);

// The idle window on a Dorrin receiver for three seconds on the real clock:
// its timers poll the receiver every 100 ms and repaint only what changed.
void BM_IdleWindowCpu(benchmark::State& state)
{
    cvk::SteadyClock clock;
    Window w("dorrin-receiver", clock);
    for (auto _ : state) {
        const double cpu0 = cpuSeconds();
        QElapsedTimer wall;
        wall.start();
        QEventLoop loop;
        QTimer::singleShot(3000, &loop, &QEventLoop::quit);
        loop.exec();
        state.counters["cpu_percent"] =
            100.0 * (cpuSeconds() - cpu0) / (static_cast<double>(wall.elapsed()) / 1000);
    }
    state.counters["target_percent"] = 1;
}
BENCHMARK(BM_IdleWindowCpu)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

long peakResidentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return 0;
}

// Ends the program once the watched widget has painted for the first time.
class FirstPaint final : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !painted_) {
            painted_ = true;
            // The paint itself, then the word: the start ends with it.
            watched->removeEventFilter(this);
            QCoreApplication::sendEvent(watched, event);
            // The peak resident memory up to the first paint goes with it:
            // VmHWM, since getrusage's maximum survives exec and would still
            // hold the benchmark process's own.
            std::printf("painted %ld\n", peakResidentKiB());
            std::fflush(stdout);
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool painted_ = false;
};

int firstPaint(const std::string& mode)
{
    FirstPaint filter;
    if (mode == "bare") {
        QDialog dialog;
        auto* layout = new QVBoxLayout(&dialog);
        layout->addWidget(new QPushButton(QStringLiteral("OK"), &dialog));
        dialog.installEventFilter(&filter);
        dialog.show();
        return QApplication::exec();
    }
    cvk::sim::VirtualClock clock;
    cvk::sim::SimBus bus(clock);
    bus.attach("dorrin");
    cvk::MemorySettingsStore store;
    cvk::CCorvaneApp cvApp;
    cvk::StartOptions options;
    options.language = "ENU";
    cvApp.startUp(store, options, [](const std::string& preset) { return preset; });
    CCorvaneDlg dlg(DlgPorts{bus, clock, store, cvApp, nullptr, nullptr, true});
    dlg.pictureView()->installEventFilter(&filter);
    dlg.show();
    QTimer::singleShot(0, &dlg, [&dlg] { dlg.start(); });
    return QApplication::exec();
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    constexpr std::string_view kFirstPaint = "--first-paint=";
    if (argc == 2 && std::string_view(argv[1]).starts_with(kFirstPaint))
        return firstPaint(std::string(std::string_view(argv[1]).substr(kFirstPaint.size())));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
