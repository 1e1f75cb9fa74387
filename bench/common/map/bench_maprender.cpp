// Full redraws of the dense city at 800 x 480 into an X pixmap, waiting for
// the server each frame (a private Xvfb when there is no display).
#include <benchmark/benchmark.h>
#include <gtk/gtk.h>

#include "bench_city.h"
#include "tools/mapstyle/xr_pixmap_dc.h"
#include "tools/mapstyle/xr_private_display.h"

namespace {

struct Surface {
    XrPrivateDisplay display;
    bool ready = false;
    std::unique_ptr<XrBenchCity> city;
    std::unique_ptr<XrPixmapDC> target;
    Surface()
    {
        ready = display.ensure() && gtk_init_check(nullptr, nullptr);
        if (!ready)
            return;
        city = std::make_unique<XrBenchCity>();
        target = std::make_unique<XrPixmapDC>(800, 480);
    }
};

Surface& surface()
{
    static Surface s;
    return s;
}

void BM_MapRenderFrame(benchmark::State& state)
{
    Surface& s = surface();
    if (!s.ready) {
        state.SkipWithError("no X display and no Xvfb");
        return;
    }
    s.city->set_view(static_cast<unsigned>(state.range(0)), state.range(1) != 0);
    s.city->view.draw(s.target->dc, nullptr, XrMap::AllLayers, -1, -1);
    gdk_display_sync(gdk_display_get_default());
    for (auto _ : state) {
        s.city->view.draw(s.target->dc, nullptr, XrMap::AllLayers, -1, -1);
        gdk_display_sync(gdk_display_get_default());
    }
}

BENCHMARK(BM_MapRenderFrame)
    ->ArgNames({"scale", "3d"})
    ->ArgsProduct({{5000, 20000, 60000, 250000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

} // namespace
