// The route layer scene of the redraw benchmarks: a 100 km route of 400
// segments eastwards from the centre with a left turn at every tenth, the
// vehicle 400 m along it, 150 m before the first turn. The caller provides
// the drawing surface (recording backend or real pixels).
#pragma once

#include <memory>

#include "common/map/xr_mapview.h"
#include "tests/common/map/routelayer_test_support.h"

struct XrRouteLayerBenchScene {
    static constexpr int kWidth = 800, kHeight = 480;

    RouteTestLoop loop;
    XrMapView view;
    std::unique_ptr<XrRouteLayer> layer;

    static XrPoint centre() { return XrPoint(100000, 200000); }

    // The layer is made here: the caller has set up fonts (and pictures).
    void build()
    {
        const XrPoint c = centre();
        view.set_screen_size(XrSize(kWidth, kHeight));
        view.set_visible_rect(XrRectangle(0, 0, kWidth, kHeight));
        view.set_default_scale_reference();

        layer = std::make_unique<XrRouteLayer>(&loop, nullptr, 1, nullptr, nullptr);
        layer->initialize(nullptr, nullptr);
        auto* route = new XrRouteInstructions();
        const int count = 400;
        for (int i = count - 1; i >= 0; --i) {
            XrRouteSegment s;
            s.gid = static_cast<XrGid>(0x10000 + i);
            s.x = c.x - 1000 + i * 250;
            s.y = c.y;
            s.length = 250;
            s.flags = XrRouteSegment::FLAG_ALONG | (i == 0 ? XrRouteSegment::FLAG_FIRST : 0);
            route->segments.add_item(s, -1);
        }
        route->directives.add_item(route_test::directive(XrRouteInstructions::CODE_DESTINATION, 1), -1);
        for (int k = 1; k < count / 10; ++k)
            route->directives.add_item(route_test::directive(3, k * 10), -1);
        route->start_x = c.x - 1000;
        route->start_y = c.y;
        route->target_x = c.x - 1000 + count * 250;
        route->target_y = c.y;
        route->total_length = count * 250;
        route_test::set_route(*layer, route);
        XrRouteLayerTestAccess access(*layer);
        access.set_guidance(route->directives.items() - 1, 150, L"North Street");
        access.set_street(L"Main Road");
        access.set_travelled(400);
        access.set_remaining_minutes(74);
        access.set_matched(XrPoint(c.x + 100, c.y), 90);
        access.set_gps(true, true);
        layer->set_current_speed(13.9);
    }

    void set_scale(unsigned scale)
    {
        const XrPoint c = centre();
        view.set_center_and_scale(&c, scale, true);
    }
};
