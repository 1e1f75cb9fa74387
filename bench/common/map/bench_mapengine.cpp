// Full redraws of the dense city through the recording backend with its log
// off: what the map engine itself costs per frame (no X server), and its
// heap allocations per frame against the records it draws.
#include <benchmark/benchmark.h>

#include "bench_city.h"
#include "common/gdi/recording/xr_gdi_recording.h"

void* operator new(std::size_t size)
{
    ++xr_bench_allocations();
    if (void* p = std::malloc(size != 0 ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

XrBenchCity& city()
{
    static XrBenchCity c;
    return c;
}

void BM_MapEngineFrame(benchmark::State& state)
{
    XrBenchCity& c = city();
    c.set_view(static_cast<unsigned>(state.range(0)), state.range(1) != 0);
    XrDCHandleRec* dc = xr_recording_dc(800, 480);
    // One frame with the log on counts the drawing calls.
    XrGdiRecording::instance().set_enabled(true);
    XrGdiRecording::instance().clear();
    c.view.draw(dc, nullptr, XrMap::AllLayers, -1, -1);
    const double calls = static_cast<double>(XrGdiRecording::instance().get_calls().size());
    XrGdiRecording::instance().clear();
    XrGdiRecording::instance().set_enabled(false);
    c.view.draw(dc, nullptr, XrMap::AllLayers, -1, -1); // warm the caches
    const long long before = xr_bench_allocations();
    long long frames = 0;
    for (auto _ : state) {
        c.view.draw(dc, nullptr, XrMap::AllLayers, -1, -1);
        ++frames;
    }
    state.counters["draw_calls"] = calls;
    state.counters["allocs_per_frame"] =
        frames > 0 ? static_cast<double>(xr_bench_allocations() - before) / static_cast<double>(frames) : 0;
    XrGDI::delete_dc(dc);
}

BENCHMARK(BM_MapEngineFrame)
    ->ArgNames({"scale", "3d"})
    ->ArgsProduct({{5000, 20000, 60000, 250000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

} // namespace
