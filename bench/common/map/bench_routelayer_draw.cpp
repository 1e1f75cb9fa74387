// Redraws of the route layer at 800 x 480 through the recording backend
// with its log off (the layer's own cost, without pictures): a 100 km route
// of 400 segments with a turn ahead, zoomed in (turn arrow, guidance box)
// and zoomed out (the route line drawn by the layer).
#include <benchmark/benchmark.h>

#include <memory>

#include "common/base/xr_singleton.h"
#include "common/gdi/recording/xr_gdi_recording.h"
#include "common/ui/fonts/xr_fontrepository_maemo.h"
#include "bench_routelayer_scene.h"

namespace {

struct Scene : XrRouteLayerBenchScene {
    XrDCHandleRec* dc = nullptr;

    Scene()
    {
        XrGDI::init_stock_objects();
        auto* fonts = new XrFontRepositoryMaemo();
        fonts->initialize();
        XrSingleton::set_instance(XrString(L"XrFontRepository"), fonts);
        XrGdiRecording::instance().set_enabled(false);
        dc = xr_recording_dc(kWidth, kHeight);
        build();
    }
    ~Scene() { XrGDI::delete_dc(dc); }
};

Scene& scene()
{
    static Scene s;
    return s;
}

void BM_RouteLayerRedraw(benchmark::State& state)
{
    Scene& s = scene();
    s.set_scale(static_cast<unsigned>(state.range(0)));
    for (auto _ : state) {
        s.layer->draw(s.dc, &s.view);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_RouteLayerRedraw)->Arg(10000)->Arg(120000)->Arg(2000000)->Unit(benchmark::kMicrosecond);

} // namespace
