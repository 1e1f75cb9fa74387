// The dense road view with street names over the generated city, drawn into
// an 800 x 480 X pixmap, flat and in perspective, waiting for the server
// each frame (a private Xvfb when there is no display): the whole frame of
// the map engine's layers.
#include <benchmark/benchmark.h>
#include <gtk/gtk.h>

#include "bench_roadset.h"
#include "tools/mapstyle/xr_pixmap_dc.h"
#include "tools/mapstyle/xr_private_display.h"

namespace {

struct Surface {
    XrPrivateDisplay display;
    bool ready = false;
    std::unique_ptr<XrRoadBench> roads;
    std::unique_ptr<XrPixmapDC> target;
    Surface()
    {
        ready = display.ensure() && gtk_init_check(nullptr, nullptr);
        if (!ready)
            return;
        roads = std::make_unique<XrRoadBench>();
        target = std::make_unique<XrPixmapDC>(800, 480);
    }
};

Surface& surface()
{
    static Surface s;
    return s;
}

void BM_DenseRoadsWithLabelsRendered(benchmark::State& state)
{
    Surface& s = surface();
    if (!s.ready) {
        state.SkipWithError("no X display and no Xvfb");
        return;
    }
    s.roads->set_view(static_cast<unsigned>(state.range(0)), state.range(1) != 0);
    XrMapView& view = s.roads->city.view;
    view.draw(s.target->dc, nullptr, XrMap::AllLayers, -1, -1);
    gdk_display_sync(gdk_display_get_default());
    for (auto _ : state) {
        view.draw(s.target->dc, nullptr, XrMap::AllLayers, -1, -1);
        gdk_display_sync(gdk_display_get_default());
    }
    state.counters["labels"] = static_cast<double>(s.roads->layer->get_placed_labels().size());
}

BENCHMARK(BM_DenseRoadsWithLabelsRendered)
    ->ArgNames({"scale", "3d"})
    ->ArgsProduct({{5000, 10000, 20000}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
