// Redraws of the route layer at 800 x 480 into an X pixmap with its
// pictures (drawn from their descriptions at start), waiting for the server
// each frame (a private Xvfb when there is no display): the scene of
// bench_routelayer_draw in real pixels.
#include <benchmark/benchmark.h>
#include <gtk/gtk.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>

#include "common/base/xr_singleton.h"
#include "common/ui/fonts/xr_fontrepository_maemo.h"
#include "bench_routelayer_scene.h"
#include "tools/imagegen/imagegen.h"
#include "tools/mapstyle/xr_pixmap_dc.h"
#include "tools/mapstyle/xr_private_display.h"
#include "tools/mapstyle/xr_routelayer_pictures.h"

namespace {

struct Surface : XrRouteLayerBenchScene {
    XrPrivateDisplay display;
    std::string work;
    std::unique_ptr<XrPixmapDC> target;
    std::string error;

    Surface()
    {
        if (!display.ensure() || !gtk_init_check(nullptr, nullptr)) {
            error = "no X display and no Xvfb";
            return;
        }
        XrGDI::init_stock_objects();
        auto* fonts = new XrFontRepositoryMaemo();
        fonts->initialize();
        XrSingleton::set_instance(XrString(L"XrFontRepository"), fonts);
        char tmpl[] = "/tmp/xr-bench-routelayer-XXXXXX";
        if (mkdtemp(tmpl) == nullptr) {
            error = "no temporary folder";
            return;
        }
        work = tmpl;
        std::ifstream in(XR_ROUTELAYER_IMG);
        std::stringstream text;
        text << in.rdbuf();
        const XrImageGenResult drawn = xr_generate_images(text.str(), XR_ROUTELAYER_IMG, work);
        if (!drawn.ok) {
            error = drawn.error;
            return;
        }
        if (!xr_register_route_layer_pictures(work, XR_ROUTELAYER_IDS, work, error))
            return;
        target = std::make_unique<XrPixmapDC>(kWidth, kHeight);
        build();
    }
    ~Surface()
    {
        if (!work.empty())
            std::system(("rm -rf '" + work + "'").c_str());
    }
};

Surface& surface()
{
    static Surface s;
    return s;
}

void BM_RouteLayerRender(benchmark::State& state)
{
    Surface& s = surface();
    if (s.target == nullptr) {
        state.SkipWithError(s.error.c_str());
        return;
    }
    s.set_scale(static_cast<unsigned>(state.range(0)));
    for (auto _ : state) {
        s.layer->draw(s.target->dc, &s.view);
        gdk_display_sync(gdk_display_get_default());
    }
}
BENCHMARK(BM_RouteLayerRender)->Arg(10000)->Arg(120000)->Arg(2000000)->Unit(benchmark::kMicrosecond);

} // namespace
