// Redraws of the route layer at 800 x 480 through the recording backend
// with its log off (the layer's own cost): a 100 km route of 400 segments
// with a turn ahead, zoomed in (turn arrow, guidance box) and zoomed out
// (the route line drawn by the layer).
#include <benchmark/benchmark.h>

#include <memory>

#include "common/base/xr_singleton.h"
#include "common/gdi/recording/xr_gdi_recording.h"
#include "common/map/xr_mapview.h"
#include "common/ui/fonts/xr_fontrepository_maemo.h"
#include "tests/common/map/routelayer_test_support.h"

namespace {

const XrPoint kCentre(100000, 200000);

struct Scene {
    RouteTestLoop loop;
    XrMapView view;
    XrDCHandleRec* dc = nullptr;
    std::unique_ptr<XrRouteLayer> layer;

    Scene()
    {
        XrGDI::init_stock_objects();
        auto* fonts = new XrFontRepositoryMaemo();
        fonts->initialize();
        XrSingleton::set_instance(XrString(L"XrFontRepository"), fonts);
        XrGdiRecording::instance().set_enabled(false);
        dc = xr_recording_dc(800, 480);
        view.set_screen_size(XrSize(800, 480));
        view.set_visible_rect(XrRectangle(0, 0, 800, 480));
        view.set_default_scale_reference();

        layer = std::make_unique<XrRouteLayer>(&loop, nullptr, 1, nullptr, nullptr);
        layer->initialize(nullptr, nullptr);
        // 400 segments of 250 m eastwards from the centre, a left turn at each
        // tenth; stored from the destination back.
        auto* route = new XrRouteInstructions();
        const int count = 400;
        for (int i = count - 1; i >= 0; --i) {
            XrRouteSegment s;
            s.gid = static_cast<XrGid>(0x10000 + i);
            s.x = kCentre.x - 1000 + i * 250;
            s.y = kCentre.y;
            s.length = 250;
            s.flags = XrRouteSegment::FLAG_ALONG | (i == 0 ? XrRouteSegment::FLAG_FIRST : 0);
            route->segments.add_item(s, -1);
        }
        route->directives.add_item(route_test::directive(XrRouteInstructions::CODE_DESTINATION, 1), -1);
        for (int k = 1; k < count / 10; ++k)
            route->directives.add_item(route_test::directive(3, k * 10), -1);
        route->start_x = kCentre.x - 1000;
        route->start_y = kCentre.y;
        route->target_x = kCentre.x - 1000 + count * 250;
        route->target_y = kCentre.y;
        route->total_length = count * 250;
        route_test::set_route(*layer, route);
        XrRouteLayerTestAccess access(*layer);
        access.set_guidance(route->directives.items() - 1, 150, L"North Street");
        access.set_street(L"Main Road");
        access.set_travelled(400);
        access.set_remaining_minutes(74);
        access.set_matched(XrPoint(kCentre.x + 100, kCentre.y), 90);
        access.set_gps(true, true);
        layer->set_current_speed(13.9);
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
    const XrPoint centre = kCentre;
    s.view.set_center_and_scale(&centre, static_cast<unsigned>(state.range(0)), true);
    for (auto _ : state) {
        s.layer->draw(s.dc, &s.view);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_RouteLayerRedraw)->Arg(10000)->Arg(120000)->Arg(2000000)->Unit(benchmark::kMicrosecond);

} // namespace
