// Text to key strokes runs on every keystroke in the signature dialog, and
// once more on OK; reading a signature back turns the tables into text.

#include <benchmark/benchmark.h>

#include <string>

#include "config/config_model.h"
#include "keys/strokes.h"
#include "platform/linux/xkb_layout.h"

namespace {

// 254 characters of Swedish text with line breaks, Alt Gr and shifted
// characters and a few that no key types.
std::u16string swedishSignature()
{
    const std::u16string line =
        u"Med v\u00e4nliga h\u00e4lsningar, \u00c5sa \u00d6berg <asa@exempel.se> \u20ac\r\n";
    std::u16string text;
    while (text.size() < 254)
        text += line;
    text.resize(254);
    return text;
}

void BM_StrokesFromSignatureSe(benchmark::State& state)
{
    auto layout = cvk::makeXkbLayout("se");
    if (!layout) {
        state.SkipWithError("xkb-data has no \"se\" layout");
        return;
    }
    const std::u16string text = swedishSignature();
    for (auto _ : state) {
        cvk::StrokeConversion strokes = cvk::textToStrokes(text, *layout);
        benchmark::DoNotOptimize(strokes);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_StrokesFromSignatureSe);

void BM_StrokesBackToTextSe(benchmark::State& state)
{
    auto layout = cvk::makeXkbLayout("se");
    if (!layout) {
        state.SkipWithError("xkb-data has no \"se\" layout");
        return;
    }
    cvk::ConfigModel model;
    cvk::applySignature(model, swedishSignature(), *layout);
    for (auto _ : state) {
        std::u16string text = cvk::strokesToText(model.strokeUsages, model.strokeModifiers, *layout);
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_StrokesBackToTextSe);

// Compiling a layout is what a layout change costs (refresh, --layout).
void BM_StrokesLayoutCompileSe(benchmark::State& state)
{
    for (auto _ : state) {
        auto layout = cvk::makeXkbLayout("se");
        benchmark::DoNotOptimize(layout);
    }
}
BENCHMARK(BM_StrokesLayoutCompileSe)->Unit(benchmark::kMillisecond);

}  // namespace
