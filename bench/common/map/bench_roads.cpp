// A dense road view with street names over the generated city: the road
// layer (a street every 40 units, each block side a named record) drawn
// together with the city's own layers, flat and in perspective, at 800 x
// 480, through the recording backend with its log off.
#include <benchmark/benchmark.h>

#include "bench_roadset.h"
#include "common/gdi/recording/xr_gdi_recording.h"

namespace {

XrRoadBench& bench()
{
    static XrRoadBench b;
    return b;
}

void BM_DenseRoadsWithLabels(benchmark::State& state)
{
    XrRoadBench& b = bench();
    b.set_view(static_cast<unsigned>(state.range(0)), state.range(1) != 0);
    XrDCHandleRec* dc = xr_recording_dc(800, 480);
    XrGdiRecording::instance().set_enabled(true);
    XrGdiRecording::instance().clear();
    b.city.view.draw(dc, nullptr, XrMap::AllLayers, -1, -1);
    const double calls = static_cast<double>(XrGdiRecording::instance().get_calls().size());
    XrGdiRecording::instance().clear();
    XrGdiRecording::instance().set_enabled(false);
    for (auto _ : state)
        b.city.view.draw(dc, nullptr, XrMap::AllLayers, -1, -1);
    state.counters["draw_calls"] = calls;
    state.counters["labels"] = static_cast<double>(b.layer->get_placed_labels().size());
    XrGDI::delete_dc(dc);
}

BENCHMARK(BM_DenseRoadsWithLabels)
    ->ArgNames({"scale", "3d"})
    ->ArgsProduct({{5000, 10000, 20000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

} // namespace
