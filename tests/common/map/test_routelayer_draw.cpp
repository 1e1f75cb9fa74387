// The route layer's drawing through the recording backend: overlays, GPS
// status, route line and flags, turn arrow, direction icons, the guidance
// box, the proximity alert, the signpost schemes, the safety screen and the
// traffic box states' view of the layer.
#include <gtest/gtest.h>

#include <string>

#include "common/addr/addr_test_util.h"
#include "common/addr/xr_signpostacc.h"
#include "common/map/xr_mapservices.h"
#include "common/map/xr_poilayer.h"
#include "common/map/xr_routelayer_draw.h"
#include "common/map/xr_trafficlayout.h"
#include "common/storage/xr_storageaccessor.h"
#include "map_test_support.h"
#include "routelayer_test_support.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/signs_writer.h"

using namespace xr_map_test;
using route_test::make_route;
using route_test::set_route;

namespace {

std::uint32_t g_now = 100000;
std::uint32_t test_now() { return g_now; }

std::vector<const XrGdiCall*> calls(const char* name) { return XrGdiRecording::instance().find(name); }

std::vector<std::wstring> texts()
{
    std::vector<std::wstring> out;
    for (const XrGdiCall& c : XrGdiRecording::instance().get_calls())
        if (c.name == "draw_text" || c.name == "draw_bidi_text")
            out.push_back(c.text);
    return out;
}

bool has_text(const std::wstring& t)
{
    const auto all = texts();
    return std::find(all.begin(), all.end(), t) != all.end();
}

class XrTestAlerter : public XrProximityAlerter {
public:
    bool get_proximity_alert(const XrPoint*, double, int, XrString&, XrString&, bool) override { return false; }
    bool get_alert_icon(XrBitmapHandleRec*& bitmap, XrBitmapHandleRec*& mask, int& offset, int& width,
                        int& height) override
    {
        bitmap = picture;
        mask = nullptr;
        offset = 0;
        width = 40;
        height = 40;
        return answer;
    }
    XrBitmapHandleRec* picture = nullptr;
    bool answer = true;
};

struct RouteLayerDraw : ::testing::Test {
    RouteLayerDraw()
    {
        register_fonts();
        dc = xr_recording_dc(800, 480);
        set_up_view(view);
        layer = std::make_unique<XrRouteLayer>(&loop, nullptr, 1, nullptr, nullptr);
        layer->set_tick_source(test_now);
        layer->initialize(nullptr, nullptr);
        access = std::make_unique<XrRouteLayerTestAccess>(*layer);
        access->make_pens();
        // The recording backend loads no files: pictures of the tests' own.
        for (int i = XrRouteLayer::IconFlagStart; i <= XrRouteLayer::IconFlagDestination; ++i)
            access->icon(i) = picture(24, 24);
        access->icon(XrRouteLayer::IconBox) = picture(80, 64);
        access->icon(XrRouteLayer::IconFollow) = picture(40, 30);
        for (int i = XrRouteLayer::IconGps1; i <= XrRouteLayer::IconGps3; ++i)
            access->icon(i) = picture(16 + i, 16);
        XrGdiRecording::instance().clear();
    }
    ~RouteLayerDraw() override
    {
        access.reset();
        layer.reset();
        XrGDI::delete_dc(dc);
    }
    XrBitmap picture(int w, int h)
    {
        XrBitmap b(XrGDI::create_bitmap(dc, w, h), nullptr);
        b.set_owns_handles(true);
        return b;
    }
    void with_route(std::uint32_t code = 2, std::uint32_t word1 = 0)
    {
        set_route(*layer, make_route(points, code, word1));
        XrGdiRecording::instance().clear();
    }

    RouteTestLoop loop;
    XrMapView view;
    XrDCHandleRec* dc;
    std::unique_ptr<XrRouteLayer> layer;
    std::unique_ptr<XrRouteLayerTestAccess> access;
    // Around the view's centre: 500 x 300 units are visible.
    route_test::RoutePoints points{at(-200, -50), at(100, -50), at(100, 100)};
};

} // namespace

TEST_F(RouteLayerDraw, GpsStatusFromPresenceAndFix)
{
    // set_fix_valid arms the no-fix prompt only when the fix is lost.
    access->set_gps(true, true);
    EXPECT_TRUE(layer->set_fix_valid(false));
    EXPECT_EQ(loop.pending(XrRouteLayer::EVENT_NO_FIX), std::vector<int>{10000});
    EXPECT_EQ(access->gps_status(), 2);
    EXPECT_TRUE(loop.pending(XrRouteLayer::EVENT_GPS_STATUS).empty());
    EXPECT_FALSE(layer->set_fix_valid(false));
    EXPECT_TRUE(layer->set_fix_valid(true));
    EXPECT_TRUE(loop.pending(XrRouteLayer::EVENT_NO_FIX).empty());
    EXPECT_EQ(access->gps_status(), 1);
    EXPECT_EQ(loop.pending(XrRouteLayer::EVENT_GPS_STATUS), std::vector<int>{5000});

    access->set_gps(false, false);
    layer->update_gps_status();
    EXPECT_EQ(access->gps_status(), 3);
    EXPECT_EQ(loop.pending(XrRouteLayer::EVENT_GPS_STATUS), std::vector<int>{5000}); // re-armed, not doubled

    // The icon of state 3 stands 2 pixels left of the edge and 18 below the top.
    layer->draw_gps_status_icon(dc, XrPoint(800, 0));
    auto drawn = calls("draw_bitmap_masked");
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_EQ(drawn[0]->args[0], 800 - 2 - (16 + XrRouteLayer::IconGps3));
    EXPECT_EQ(drawn[0]->args[1], 18);
    // After its end time the state returns to 0 and nothing is drawn.
    g_now += 5001;
    XrGdiRecording::instance().clear();
    layer->draw_gps_status_icon(dc, XrPoint(800, 0));
    EXPECT_EQ(access->gps_status(), 0);
    EXPECT_TRUE(calls("draw_bitmap_masked").empty());
}

TEST_F(RouteLayerDraw, GpsStatusHeldStates)
{
    const struct {
        int held, duration, set, after_ms, expect;
    } cases[] = {
        {5, 3000, 0, 1000, 5}, // 0 ignored while 5 lasts
        {6, 3000, 4, 1000, 6}, // 4 ignored while 6 lasts
        {5, 3000, 1, 1000, 1}, // other states replace it
        {5, 3000, 0, 4000, 0}, // after its end 0 is taken
        {3, 3000, 0, 1000, 0},
    };
    for (const auto& c : cases) {
        layer->set_gps_status(c.held, c.duration);
        g_now += static_cast<std::uint32_t>(c.after_ms);
        layer->set_gps_status(c.set, 1000);
        EXPECT_EQ(access->gps_status(), c.expect) << c.held << " " << c.set;
    }
}

TEST_F(RouteLayerDraw, VehicleMarkerByScaleAndHeading)
{
    with_route();
    const XrPoint centre = view.get_centre();
    int sx = 0, sy = 0;
    view.world_to_screen_2d(centre.x, centre.y, sx, sy);
    const struct {
        unsigned scale;
        int heading;
        int ellipses;
        int polygons;
    } cases[] = {
        {10000, -1, 1, 0},  // no heading: one ellipse 20 pixels across
        {250000, 90, 2, 3}, // zoomed in: chevron, two fills, two rings
        {250001, 90, 1, 1}, // zoomed out: halo and chevron only
    };
    for (const auto& c : cases) {
        set_up_view(view, c.scale);
        view.world_to_screen_2d(centre.x, centre.y, sx, sy);
        access->set_matched(centre, c.heading);
        XrGdiRecording::instance().clear();
        layer->draw_vehicle_marker(dc, &view);
        const auto ellipses = calls("draw_ellipse");
        EXPECT_EQ(static_cast<int>(ellipses.size()), c.ellipses) << c.scale;
        EXPECT_EQ(static_cast<int>(calls("draw_polygon_outlined").size()), c.polygons) << c.scale;
        if (c.heading == -1 && !ellipses.empty()) {
            EXPECT_EQ(ellipses[0]->args, (std::vector<long long>{sx - 10, sy - 10, sx + 10, sy + 10}));
        }
        if (c.scale == 250001 && !ellipses.empty()) { // the halo: radius 3 x 2
            EXPECT_EQ(ellipses[0]->args, (std::vector<long long>{sx - 6, sy - 6, sx + 6, sy + 6}));
        }
        if (c.scale == 250000 && ellipses.size() == 2) { // rings of radius 15 and 17
            EXPECT_EQ(ellipses[0]->args[0], sx - 15);
            EXPECT_EQ(ellipses[1]->args[0], sx - 17);
        }
    }
    // Outside the view's world rectangle nothing is drawn.
    set_up_view(view);
    access->set_matched(at(5000, 0), 0);
    XrGdiRecording::instance().clear();
    layer->draw_vehicle_marker(dc, &view);
    EXPECT_TRUE(calls("draw_ellipse").empty());
    EXPECT_TRUE(calls("draw_polygon_outlined").empty());
}

TEST_F(RouteLayerDraw, StatusLineToggleEveryFourSeconds)
{
    with_route();
    access->set_show_distance(false, g_now + 10);
    layer->draw_vehicle_marker(dc, &view);
    EXPECT_FALSE(access->show_distance());
    g_now += 11;
    layer->draw_vehicle_marker(dc, &view);
    EXPECT_TRUE(access->show_distance());
    g_now += 3999;
    layer->draw_vehicle_marker(dc, &view);
    EXPECT_TRUE(access->show_distance());
    g_now += 2;
    layer->draw_vehicle_marker(dc, &view);
    EXPECT_FALSE(access->show_distance());
}

TEST_F(RouteLayerDraw, CompassAndScaleBar)
{
    // Without a route: needle at (130, height - 25), then the scale bar.
    layer->draw_compass(dc, &view, 0, 0);
    auto shapes = calls("draw_polygon_outlined");
    ASSERT_EQ(shapes.size(), 4u); // two shadow halves, north, south
    EXPECT_EQ(shapes[0]->points[1], XrPoint(130, 480 - 25 - 10)); // north tip
    EXPECT_EQ(shapes[2]->points[1], XrPoint(129, 480 - 25 - 10 - 1)); // moved by (-1, -1)
    EXPECT_EQ(shapes[2]->brush_rgb(), static_cast<int>(XrGDI::rgb(192, 0, 0))); // north red, south white
    EXPECT_EQ(shapes[3]->brush_rgb(), static_cast<int>(XrGDI::rgb(255, 255, 255)));
    const auto labels = texts();
    ASSERT_EQ(labels.size(), 3u); // halo twice, text once
    // 30 pixels at 1.6 pixels a metre: 18.75 m; 20 m is nearest.
    EXPECT_EQ(labels[2], L"20 m");
    auto bars = calls("draw_rectangle");
    ASSERT_FALSE(bars.empty());
    // The bar starts at x 180 and is 4 pixels thick above height - 10.
    const XrGdiCall* outline = bars[2];
    EXPECT_EQ(outline->args, (std::vector<long long>{180, 480 - 10 - 4, 180 + 32, 480 - 10}));

    // Feet: 18.75 m = 61.5 ft: 50 ft is nearest.
    access->set_display_units(2);
    XrGdiRecording::instance().clear();
    layer->draw_scale_bar(dc, &view);
    EXPECT_EQ(texts().back(), L"50 ft");

    // With a route: no scale bar, the needle 1.4 times its size at (x + 397, y + 364).
    with_route();
    layer->draw_compass(dc, &view, 10, 20);
    shapes = calls("draw_polygon_outlined");
    ASSERT_EQ(shapes.size(), 4u);
    EXPECT_EQ(shapes[0]->points[1], XrPoint(10 + 397, 20 + 364 - 14));
    EXPECT_TRUE(texts().empty());
    EXPECT_TRUE(calls("draw_rectangle").empty());
}

TEST_F(RouteLayerDraw, SpeedDisplay)
{
    const struct {
        double speed;
        bool fix;
        int mode;
        int units;
        const wchar_t* number;
        const wchar_t* unit;
    } cases[] = {
        {-1.0, true, 0, 0, nullptr, nullptr},
        {0.0, true, 0, 0, L"0", L"km/h"},
        {25.0, true, 0, 0, L"90", L"km/h"},
        {25.0, true, 0, 1, L"56", L"mph"},
        {25.0, false, 0, 0, nullptr, nullptr},
        {25.0, true, 2, 0, nullptr, nullptr},
        {25.0, true, 4, 0, L"90", L"km/h"},
    };
    for (const auto& c : cases) {
        XrGdiRecording::instance().clear();
        access->set_gps(true, c.fix);
        access->set_display_units(c.units);
        layer->set_current_speed(c.speed);
        layer->set_traffic_mode(c.mode);
        layer->draw_speed(dc, XrPoint(800, 480));
        const auto t = texts();
        if (c.number == nullptr) {
            EXPECT_TRUE(t.empty()) << c.speed << " " << c.mode;
            continue;
        }
        ASSERT_EQ(t.size(), 6u) << c.speed;
        EXPECT_EQ(t[2], c.number);
        EXPECT_EQ(t[5], c.unit);
    }
}

TEST_F(RouteLayerDraw, RouteLineWhenZoomedOutBeyondRoads)
{
    with_route();
    // At 100000 without a "road" layer the layer draws the route itself.
    set_up_view(view, 100000);
    layer->draw_route(dc, &view);
    auto lines = calls("draw_line");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]->pen_rgb(), 0x1EAA1E);
    EXPECT_EQ(lines[0]->pen.width, 5);
    // Below the limit only the arrow and flags.
    set_up_view(view, 99999);
    XrGdiRecording::instance().clear();
    layer->draw_route(dc, &view);
    EXPECT_TRUE(calls("draw_line").empty());
}

TEST_F(RouteLayerDraw, FlagsForRouteEnds)
{
    // Two routes: start, one waypoint, destination.
    XrPtrArray<XrRouteInstructions*> list;
    list.append(make_route(points));
    list.append(make_route({points.d, at(150, 100), at(200, 100)}));
    layer->set_routes(&list, 0);
    XrGdiRecording::instance().clear();
    layer->draw_route(dc, &view);
    const auto flags = calls("draw_bitmap_masked");
    ASSERT_EQ(flags.size(), 3u);
    int sx = 0, sy = 0;
    view.world_to_screen_2d(points.s.x, points.s.y, sx, sy);
    EXPECT_EQ(flags[0]->args[0], sx - 12);
    EXPECT_EQ(flags[0]->args[1], sy - 12);
}

TEST_F(RouteLayerDraw, TurnArrowFollowsTheTurn)
{
    with_route();
    access->set_guidance(1, 150, L"North Street");
    XrRouteArrow* arrow = layer->get_arrow(1);
    ASSERT_NE(arrow, nullptr);
    EXPECT_EQ(layer->get_arrow(1), arrow); // built once
    // 50 m before the junction, 50 m after it; the head points north.
    const XrPolygon& line = *arrow->polyline;
    ASSERT_EQ(line.get_point_count(), 3);
    XrPoint p;
    line.get_point(0, p);
    EXPECT_EQ(p, XrPoint(points.j.x - 50, points.j.y));
    line.get_point(1, p);
    EXPECT_EQ(p, points.j);
    EXPECT_EQ(arrow->head, XrPoint(points.j.x, points.j.y + 50));
    EXPECT_EQ(arrow->head_direction, 90);

    layer->draw_route(dc, &view);
    const auto polylines = calls("draw_polyline");
    ASSERT_EQ(polylines.size(), 2u); // outline, then fill
    EXPECT_EQ(polylines[0]->pen.width, 7); // width factor 7 at scale 10000
    EXPECT_EQ(calls("draw_polygon_outlined").size(), 1u); // the head

    // Off the route, or with the arrow option off, no arrow.
    for (int mode = 0; mode < 2; ++mode) {
        if (mode == 0)
            access->set_guidance(1, 150, L"North Street", XrRouteLayer::STATE_OFF_ROUTE);
        else {
            access->set_guidance(1, 150, L"North Street");
            layer->set_option2(XrRouteLayer::OPTION_OFF);
        }
        XrGdiRecording::instance().clear();
        layer->draw_route(dc, &view);
        EXPECT_TRUE(calls("draw_polyline").empty()) << mode;
    }
}

TEST_F(RouteLayerDraw, DirectionIcons)
{
    using D = XrRouteInstructions::XrRouteDirective;
    auto d = [](std::uint32_t code, std::uint32_t variant = 0, std::uint32_t junction = 0) {
        D x = route_test::directive(code, 0, variant);
        x.words[7] = junction;
        return x;
    };
    const struct {
        D dir;
        int limit;
        bool right;
        int icon;
    } cases[] = {
        {d(1), -1, true, 22},       {d(2), -1, true, 9},        {d(2, 0, 50), 100, true, 7},
        {d(2, 0, 150), 100, true, 9}, {d(19, 0, 50), 100, true, 7}, {d(3), -1, true, 1},
        {d(3, 1), -1, true, 25},    {d(3, 0, 50), 100, true, 5}, {d(4), -1, true, 10},
        {d(20, 0, 10), 100, true, 8}, {d(5), -1, true, 0},       {d(5, 1), -1, true, 26},
        {d(5, 0, 10), 100, true, 4}, {d(6), -1, true, 6},        {d(6), -1, false, 28},
        {d(7), -1, true, 27},       {d(8), -1, true, 11},       {d(9), -1, true, 12},
        {d(10), -1, true, 23},      {d(11), -1, true, 24},      {d(13, 2), -1, true, 16},
        {d(13, 2), -1, false, 31},  {d(15), -1, true, 3},       {d(17), -1, true, 3},
        {d(16), -1, true, 2},       {d(18), -1, true, 2},       {d(12), -1, true, -1},
    };
    for (const auto& c : cases) {
        access->set_right_hand(c.right);
        EXPECT_EQ(layer->get_direction_icon(&c.dir, nullptr, c.limit, -1), c.icon) << c.dir.code();
    }
    EXPECT_EQ(layer->get_direction_icon(nullptr, nullptr, -1, -1), 37);

    // An exit reads the exit number of its roundabout entry stored after it.
    access->set_right_hand(true);
    XrRouteInstructions route;
    route.directives.add_item(d(7), -1);
    route.directives.add_item(d(14), -1);
    route.directives.add_item(d(13, 2), -1);
    EXPECT_EQ(layer->get_direction_icon(route.directives.get_item_ptr(1), &route, -1, 1), 16);
    access->set_right_hand(false);
    EXPECT_EQ(layer->get_direction_icon(route.directives.get_item_ptr(1), &route, -1, 1), 31);
    // Without an entry after it: 13.
    EXPECT_EQ(layer->get_direction_icon(route.directives.get_item_ptr(2), &route, -1, 2), 16 + 15);
    route.directives.get_item_ptr(2)->words[0] = 2;
    EXPECT_EQ(layer->get_direction_icon(route.directives.get_item_ptr(1), &route, -1, 1), 13);
}

TEST_F(RouteLayerDraw, GuidanceBoxNearAndFar)
{
    with_route();
    // A null directive draws nothing and leaves the panel sizes at 0.
    EXPECT_FALSE(layer->draw_guidance_box(dc, XrPoint(800, 480), nullptr, 100));
    EXPECT_TRUE(XrGdiRecording::instance().get_calls().empty());
    EXPECT_EQ(access->panel_sizes()[0], 0);

    const struct {
        int d;
        int brush;
        const wchar_t* distance;
    } cases[] = {{150, static_cast<int>(XrGDI::rgb(255, 255, 0)), L"150 m"},
                 {250, static_cast<int>(XrGDI::rgb(0, 64, 32)), L"250 m"}};
    for (const auto& c : cases) {
        access->set_guidance(1, c.d, L"North Street");
        access->set_street(L"Main Road");
        XrGdiRecording::instance().clear();
        EXPECT_TRUE(layer->draw_guidance_box(dc, XrPoint(800, 480), layer->get_current_directive(), c.d));
        const auto frames = calls("draw_round_rect");
        ASSERT_GE(frames.size(), 4u);
        // Status line (outline, inner), next-street line, instruction box.
        EXPECT_EQ(frames[2]->brush_rgb(), c.brush) << c.d;
        EXPECT_EQ(frames[2]->args[1], frames[1]->args[3] + 2);
        EXPECT_TRUE(has_text(L"Main Road"));
        EXPECT_TRUE(has_text(L"North Street"));
        EXPECT_TRUE(has_text(c.distance));
        EXPECT_GT(access->panel_sizes()[0], frames[3]->args[3]);
    }
    // Beyond the largest announcement distance: only the status line.
    access->set_guidance(1, 1500, L"North Street");
    XrGdiRecording::instance().clear();
    EXPECT_FALSE(layer->draw_guidance_box(dc, XrPoint(800, 480), layer->get_current_directive(), 1500));
    EXPECT_EQ(calls("draw_round_rect").size(), 2u);
}

TEST_F(RouteLayerDraw, StatusLineShowsTimeOrDistance)
{
    with_route();
    access->set_guidance(1, 150, nullptr);
    access->set_travelled(100);
    access->set_remaining_minutes(18);
    access->set_show_distance(false, g_now + 100000);
    layer->draw_guidance_box(dc, XrPoint(800, 480), layer->get_current_directive(), 150);
    EXPECT_TRUE(has_text(L"20 min"));
    access->set_show_distance(true, g_now + 100000);
    XrGdiRecording::instance().clear();
    layer->draw_guidance_box(dc, XrPoint(800, 480), layer->get_current_directive(), 150);
    // 300 + 150 m long, 100 m travelled.
    EXPECT_TRUE(has_text(L"350 m"));
}

TEST_F(RouteLayerDraw, OffRouteUturnOnce)
{
    with_route();
    access->set_guidance(1, 150, L"North Street", XrRouteLayer::STATE_OFF_ROUTE);
    access->set_travelled(10);
    layer->draw_guidance_box(dc, XrPoint(800, 480), layer->get_current_directive(), 150);
    EXPECT_FALSE(access->announced_far()); // below 21 m travelled
    access->set_travelled(30);
    EXPECT_FALSE(layer->draw_guidance_box(dc, XrPoint(800, 480), layer->get_current_directive(), 150));
    EXPECT_TRUE(access->announced_far());
    // No next-street line and no instruction box off the route.
    XrGdiRecording::instance().clear();
    layer->draw_guidance_box(dc, XrPoint(800, 480), layer->get_current_directive(), 150);
    EXPECT_EQ(calls("draw_round_rect").size(), 2u);
}

TEST_F(RouteLayerDraw, ProximityAlertBox)
{
    XrTestAlerter alerter;
    alerter.picture = XrGDI::create_bitmap(dc, 40, 40);
    layer->set_warning_source(&alerter);
    const struct {
        bool route;
        const wchar_t* text;
        const wchar_t* drawn;
        int right;
    } cases[] = {
        {false, L"Speed camera@ahead", L"Speed camera", 800 - 56 + 30},
        {false, L"<t0>School", L"School", 800 - 56 + 30},
        {true, L"Speed camera\tnote", L"Speed camera", 800 - 226 + 30},
    };
    for (const auto& c : cases) {
        if (c.route)
            with_route();
        access->set_alert(c.text, g_now + 1000);
        XrGdiRecording::instance().clear();
        EXPECT_TRUE(layer->draw_proximity_alert(dc, XrPoint(800, 0), nullptr));
        const auto t = texts();
        ASSERT_EQ(t.size(), 1u) << c.route;
        EXPECT_EQ(t[0], c.drawn);
        const auto frames = calls("draw_round_rect");
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(frames[0]->args[2], c.right); // border 1: no inset
        // The large picture with its right edge at the position.
        const auto pictures = calls("draw_bitmap_masked");
        ASSERT_EQ(pictures.size(), 1u);
        EXPECT_EQ(pictures[0]->args[0], 800 - 40);
    }
    // After the end time, or when the alerter has nothing, no alert.
    g_now += 1001;
    EXPECT_FALSE(layer->draw_proximity_alert(dc, XrPoint(800, 0), nullptr));
    access->set_alert(L"x", g_now + 1000);
    alerter.answer = false;
    EXPECT_FALSE(layer->draw_proximity_alert(dc, XrPoint(800, 0), nullptr));
    // A missing picture is logged and the alert is drawn without it.
    alerter.answer = true;
    XrGDI::delete_bitmap(alerter.picture);
    alerter.picture = nullptr;
    const int warnings = xr_map_warning_count();
    XrGdiRecording::instance().clear();
    EXPECT_TRUE(layer->draw_proximity_alert(dc, XrPoint(800, 0), nullptr));
    EXPECT_GT(xr_map_warning_count(), warnings);
    EXPECT_TRUE(calls("draw_bitmap_masked").empty());
    EXPECT_EQ(texts().size(), 1u);
}

// Without the yellow frame's picture the traffic box is still drawn (its
// distance text), and the missing picture is logged once, not fatal.
TEST_F(RouteLayerDraw, TrafficBoxWithoutItsPictures)
{
    const int warnings = xr_map_warning_count();
    layer->init_traffic_bitmaps();
    EXPECT_EQ(xr_map_warning_count(), warnings + 1);
    layer->init_traffic_bitmaps(); // made once
    EXPECT_EQ(xr_map_warning_count(), warnings + 1);

    XrPoint at(10, 100);
    XrRectangle box(40, 100, 140, 130);
    // The box blinks every 3 s: the first phase after a long pause is the
    // dark one, the next the shown one.
    for (bool shown : {false, true}) {
        access->request_traffic_box();
        XrGdiRecording::instance().clear();
        EXPECT_EQ(layer->draw_traffic_box(dc, at, box, 3, 500), shown);
        EXPECT_EQ(has_text(L"500 m"), shown);
        g_now += shown ? 1000 : 3001;
    }
    // Still in the shown phase, but the request was used up by the draw.
    XrGdiRecording::instance().clear();
    EXPECT_FALSE(layer->draw_traffic_box(dc, at, box, 3, 500));
    EXPECT_FALSE(has_text(L"500 m"));
}

// The guidance box height reserved before drawing: 0 without a next street
// or beyond 1000 m, 49 or 56 by the window width, 95 with a signpost; and
// guidance is busy inside the largest announcement distance or while an
// alert shows.
TEST_F(RouteLayerDraw, PanelHeightAndBusyGuidance)
{
    set_route(*layer, make_route(route_test::RoutePoints{at(-200, -50), at(100, -50), at(100, 100)}, 3));
    const struct {
        int distance;
        const wchar_t* next_street;
        int width;
        bool signpost;
        int height;
    } cases[] = {
        {1001, L"North Street", 800, false, 0},  {1000, L"North Street", 800, false, 56},
        {500, L"North Street", 689, false, 49}, {500, L"", 800, false, 0},
        {500, L"North Street", 800, true, 95},  {500, L"", 689, true, 95},
    };
    for (const auto& c : cases) {
        access->set_guidance(1, c.distance, c.next_street);
        access->set_signpost_range(-1, -1, 0, -1);
        if (c.signpost) {
            access->add_signpost_item(1, L"1|E4");
            access->set_signpost_range(0, 0, 2000, 0);
        }
        EXPECT_EQ(layer->update_signpost_height(dc, XrPoint(c.width, 480)), c.signpost) << c.distance;
        int top = -1, band = -1;
        EXPECT_TRUE(layer->get_panel_sizes(top, band, nullptr, nullptr));
        EXPECT_EQ(top, c.height) << c.distance << " " << c.width;
    }
    // Busy below the largest announcement distance (1000 m after a route is set).
    access->set_guidance(1, 999, L"");
    EXPECT_TRUE(layer->is_guidance_busy());
    access->set_guidance(1, 1000, L"");
    EXPECT_FALSE(layer->is_guidance_busy());
    access->set_alert(L"Camera", g_now + 500);
    EXPECT_TRUE(layer->is_guidance_busy());
    g_now += 501;
    EXPECT_FALSE(layer->is_guidance_busy());
}

TEST_F(RouteLayerDraw, LaneGlyphs)
{
    XrPoint tl(10, 60), br(40, 120);
    layer->draw_lane_glyph(dc, 1, tl, br);
    EXPECT_EQ(tl.y, 70); // the top sixth, written back
    auto r = calls("draw_rectangle");
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0]->brush_rgb(), static_cast<int>(XrGDI::rgb(255, 0, 0)));
    EXPECT_EQ(r[1]->brush_rgb(), static_cast<int>(XrGDI::rgb(0, 0, 255)));
    EXPECT_EQ(r[1]->args, (std::vector<long long>{10, 69, 40, 120}));
    XrGdiRecording::instance().clear();
    XrPoint tl3(10, 60), br3(40, 120);
    layer->draw_lane_glyph(dc, 3, tl3, br3);
    ASSERT_EQ(calls("draw_ellipse").size(), 1u);
    EXPECT_EQ(calls("draw_ellipse")[0]->args, (std::vector<long long>{14, 61, 36, 119}));
    EXPECT_EQ(calls("draw_rectangle")[0]->brush_rgb(), static_cast<int>(XrGDI::rgb(60, 130, 100)));
}

namespace {

// A signpost accessor over a generated signs file.
XrSignpostAccessor* signs_accessor(const XrSignsFile& file)
{
    std::vector<BYTE> bytes;
    std::string error;
    EXPECT_TRUE(build_signs(file, bytes, error)) << error;
    BYTE* data = new BYTE[bytes.size()];
    std::copy(bytes.begin(), bytes.end(), data);
    auto* storage = new XrMemoryStorageAccessor(true, data, static_cast<std::uint32_t>(bytes.size()), true);
    auto* accessor = new XrSignpostAccessor();
    EXPECT_TRUE(accessor->open(storage));
    return accessor;
}

} // namespace

TEST_F(RouteLayerDraw, SignpostSchemes)
{
    XrSignsFile file;
    for (auto& s : file.schemes)
        s.shape = 1;
    file.schemes[0] = {{10, 20, 30, 40, 50, 60, 70, 80, 90}, 2};
    file.schemes[1] = {{1, 2, 3, 4, 5, 6, 7, 8, 9}, 0};
    file.schemes[2] = {{200, 0, 0, 0, 200, 0, 0, 0, 200}, 19};
    file.schemes[3] = {{1, 1, 1, 2, 2, 2, 3, 3, 3}, 21};
    file.entries.push_back({0x10001, {}});
    layer->set_signpost_accessor(signs_accessor(file));
    const auto& s0 = access->scheme(0);
    EXPECT_EQ(s0.shape, 2);
    EXPECT_EQ(s0.pen.color.red >> 8, 10);
    EXPECT_EQ(s0.brush.color.green >> 8, 50);
    EXPECT_EQ(s0.text_colour, XrGDI::rgb(70, 80, 90));
    EXPECT_EQ(access->scheme(1).pen.style, XrPenHandle::Null);
    EXPECT_EQ(access->scheme(1).brush.null_marker, XrBrushHandle::NullMarker);
    // Shape 19 sets the default pen and brush.
    EXPECT_EQ(access->signpost_pen().color.red >> 8, 200);
    EXPECT_EQ(access->signpost_brush().color.green >> 8, 200);
    EXPECT_EQ(access->scheme(3).shape, 21);
}

TEST_F(RouteLayerDraw, SignpostDrawerLeavesExitsOutWhenNear)
{
    XrSignsFile file;
    for (auto& s : file.schemes)
        s = {{255, 255, 255, 0, 0, 255, 255, 255, 255}, 1};
    file.schemes[4].shape = 20;
    file.entries.push_back({0x10001, {}});
    layer->set_signpost_accessor(signs_accessor(file));
    with_route();
    const struct {
        int items;
        int distance;
        int expected;
    } cases[] = {
        {4, 100, 3}, // 4 items, nearer than half of 300: the exit is left out
        {4, 200, 4},
        {3, 100, 3},
    };
    for (const auto& c : cases) {
        layer->clear_signpost_items();
        access->add_signpost_item(3, L"12");
        access->add_signpost_item(0, L"5|I 95");
        access->add_signpost_item(0, L"1|A7");
        if (c.items == 4)
            access->add_signpost_item(1, L"Hamburg");
        access->set_signpost_range(1, 1, 300, 1);
        access->set_guidance(1, c.distance, nullptr);
        layer->initialize_signpost_drawer();
        EXPECT_EQ(access->drawer().get_item_count(), c.expected) << c.items << " " << c.distance;
    }
    // Kind 2 is never fed to the drawer (it counts as an item).
    access->add_signpost_item(2, L"ignored");
    access->set_guidance(1, 200, nullptr);
    layer->initialize_signpost_drawer();
    EXPECT_EQ(access->drawer().get_item_count(), 3);
}

TEST_F(RouteLayerDraw, SignpostItemsLayoutAndDrawing)
{
    XrSignsFile file;
    for (auto& s : file.schemes)
        s = {{255, 255, 255, 0, 0, 255, 255, 255, 0}, 2};
    file.entries.push_back({0x10001, {}});
    layer->set_signpost_accessor(signs_accessor(file));
    with_route();
    access->add_signpost_item(0, L"3|A7");
    access->add_signpost_item(3, L"12");
    access->add_signpost_item(1, L"Hamburg");
    access->set_signpost_range(1, 1, 300, 1);
    int h = 0;
    layer->draw_signpost_items(dc, XrPoint(800, 480), h, true, nullptr, true);
    const auto& gfx = access->gfx();
    ASSERT_EQ(gfx.get_num_items(), 4);
    EXPECT_EQ(gfx.get_item_ptr(0)->kind, 0);
    EXPECT_EQ(gfx.get_item_ptr(1)->kind, 1);
    EXPECT_EQ(gfx.get_item_ptr(2)->kind, 3);
    EXPECT_EQ(gfx.get_item_ptr(3)->kind, 2);
    EXPECT_GT(h, 0);
    // Items start right of the icon column (80 + line width 1 + 7).
    EXPECT_EQ(gfx.get_item_ptr(1)->left, 88);
    // The scheme prefix is not drawn.
    EXPECT_TRUE(has_text(L"A7"));
    EXPECT_TRUE(has_text(L"12"));
    EXPECT_TRUE(has_text(L"Hamburg"));
    EXPECT_FALSE(has_text(L"3|A7"));
    // A short or malformed prefix draws what there is, never past the end.
    layer->clear_signpost_items();
    access->add_signpost_item(0, L"7");
    access->add_signpost_item(0, L"");
    XrGdiRecording::instance().clear();
    layer->draw_signpost_items(dc, XrPoint(800, 480), h, false, nullptr, true);
    EXPECT_EQ(access->gfx().get_num_items(), 3);
}

TEST_F(RouteLayerDraw, EdgeStreetNameAndArea)
{
    XrAddrWriter writer;
    const std::uint32_t county = writer.add_county("Mitte");
    writer.add_street(street("Hauptstrasse", county));
    writer.add_street(street("Ring", county));
    const std::vector<BYTE> bytes = build_db(writer);
    auto addr = open_db(bytes);
    XrRouteLayer named(&loop, nullptr, 1, nullptr, nullptr);
    named.initialize(nullptr, addr.get());
    const struct {
        XrGid key;
        bool ok;
        const wchar_t* name;
    } cases[] = {
        {writer.get_street_position(0), true, L"Hauptstrasse"},
        {writer.get_street_position(1), true, L"Ring"},
        {0x7FFF0000, false, L""}, // no such block
    };
    for (const auto& c : cases) {
        XrString name, area(L"stale");
        EXPECT_EQ(named.get_edge_street_name(c.key, &name, &area), c.ok) << c.key;
        EXPECT_EQ(name.is_empty() ? std::wstring() : std::wstring(name.c_str()), c.name);
        EXPECT_EQ(area.is_empty() ? std::wstring() : std::wstring(area.c_str()), c.ok ? L"Mitte" : L"");
    }
    // Without an address database: no name, the area cleared.
    XrString area(L"stale");
    EXPECT_FALSE(layer->get_edge_street_name(writer.get_street_position(0), nullptr, &area));
    EXPECT_TRUE(area.is_empty());
}

namespace {

const XrColorHandle kBright = XrGDI::rgb(255, 0, 0);
const XrColorHandle kDark = XrGDI::rgb(100, 0, 0);

// The countdown bars from the lowest up: 1 bright, 0 dark.
std::string bars()
{
    std::string out;
    for (const XrGdiCall& c : XrGdiRecording::instance().get_calls()) {
        if (c.name != "draw_round_rect")
            continue;
        const auto rgb = static_cast<XrColorHandle>(c.brush_rgb());
        if (rgb == kBright || rgb == kDark)
            out += rgb == kBright ? '1' : '0';
    }
    return out;
}

const XrGdiCall* text_call(const XrString& s)
{
    for (const XrGdiCall& c : XrGdiRecording::instance().get_calls())
        if (c.name == "draw_text" && c.text == s.c_str())
            return &c;
    return nullptr;
}

// The top left corners of the pictures drawn, "x,y wW".
std::vector<std::string> pictures()
{
    std::vector<std::string> out;
    for (const XrGdiCall& c : XrGdiRecording::instance().get_calls())
        if (c.name == "draw_bitmap_masked" || c.name == "draw_bitmap")
            out.push_back(std::to_string(c.args[0]) + "," + std::to_string(c.args[1]) + " w" +
                          std::to_string(c.args[2] - c.args[0]));
    return out;
}

bool has(const std::vector<std::string>& list, const std::string& item)
{
    return std::find(list.begin(), list.end(), item) != list.end();
}

// The safety screen's pictures of the tests' own, each of its own width,
// and two legs of the same shape.
struct RouteLayerSafety : RouteLayerDraw {
    RouteLayerSafety()
    {
        for (int i = 0; i < 6; ++i)
            access->safety_image(i) = std::make_unique<XrBitmap>(picture(10 + i, 10 + i));
    }
    void with_routes()
    {
        XrPtrArray<XrRouteInstructions*> list;
        list.append(make_route(points));
        list.append(make_route(points));
        layer->set_routes(&list, 0);
    }
    void draw(int width = 800)
    {
        XrGdiRecording::instance().clear();
        layer->draw_safety_screen(dc, XrPoint(width, 480));
    }
};

} // namespace

TEST_F(RouteLayerSafety, NothingWithoutARoute)
{
    draw();
    EXPECT_TRUE(XrGdiRecording::instance().get_calls().empty());
}

TEST_F(RouteLayerSafety, ScreenFromTheGuidanceState)
{
    with_routes();
    access->set_street(L"Harbour Road");
    access->set_travelled(200);
    access->set_remaining_minutes(75);
    struct Case {
        int metres;
        const char* bars;
        bool next_street;
        int box_height; // the guidance box height the screen leaves
    };
    const Case cases[] = {{1200, "000000", false, 0}, {700, "011111", true, 56}, {75, "000001", true, 56}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.metres);
        access->set_guidance(1, c.metres, L"North Street");
        draw();
        EXPECT_EQ(bars(), c.bars);
        // route_01 at (595, 302) and route_02 at (595, 372), the large ones.
        const auto drawn = pictures();
        EXPECT_TRUE(has(drawn, "595,302 w10")) << drawn.size();
        EXPECT_TRUE(has(drawn, "595,372 w11"));
        EXPECT_EQ(text_call(XrString(L"North Street")) != nullptr, c.next_street);
        EXPECT_NE(text_call(XrString(L"Harbour Road")), nullptr);
        // The remaining distance counts the later leg too.
        const int remaining = layer->get_route_length() - 200 + layer->get_route(1)->total_length;
        EXPECT_NE(text_call(XrDistance(remaining, XrDistance::Metres).to_display_string(0, 1)), nullptr);
        EXPECT_EQ(access->panel_sizes()[0], c.box_height);
    }
    // The half pictures below 690 pixels; after ten seconds route_03.
    access->set_guidance(1, 700, L"North Street");
    g_now += 10000 - g_now % 20000;
    draw(600);
    EXPECT_TRUE(has(pictures(), "525,243 w13"));
    EXPECT_TRUE(has(pictures(), "525,295 w15"));
    EXPECT_EQ(bars(), "011111");
}

TEST_F(RouteLayerSafety, MissingPicturesAreLeftOut)
{
    with_routes();
    access->set_guidance(1, 700, L"North Street");
    for (int i = 0; i < 6; ++i)
        access->safety_image(i).reset();
    draw();
    EXPECT_TRUE(pictures().empty());
    EXPECT_EQ(bars(), "011111");
}

TEST_F(RouteLayerSafety, LoadsThePicturesOnce)
{
    // No picture files under the test root: all six are missing, each logged.
    XrTempRoot root;
    const int warnings = xr_map_warning_count();
    layer->load_safety_screen_images();
    EXPECT_EQ(xr_map_warning_count(), warnings + 6);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(layer->get_safety_image(i), nullptr);
    EXPECT_EQ(layer->get_safety_image(6), nullptr);
    EXPECT_EQ(layer->get_safety_image(-1), nullptr);
}

TEST_F(RouteLayerSafety, OffTheRouteTheUturnIsAnnouncedOnce)
{
    with_routes();
    access->set_street(L"Harbour Road");
    access->set_guidance(1, 700, L"North Street", XrRouteLayer::STATE_OFF_ROUTE);
    access->set_travelled(20);
    draw();
    EXPECT_FALSE(access->uturn_announced()); // not past 20 m
    EXPECT_TRUE(bars().empty());
    access->set_travelled(21);
    draw();
    EXPECT_TRUE(access->uturn_announced());
    // Only the driven street; no next-street box, no bars.
    EXPECT_NE(text_call(XrString(L"Harbour Road")), nullptr);
    EXPECT_EQ(text_call(XrString(L"North Street")), nullptr);
    EXPECT_TRUE(bars().empty());
}

TEST_F(RouteLayerSafety, StreetBoxes)
{
    with_routes();
    // The street name alone at (23, 433); with a next street its box from
    // (5, 10), framed twice in the box colours, and its text at (10, 15).
    XrGdiRecording::instance().clear();
    layer->draw_street_boxes(dc, XrPoint(800, 480), XrString(), XrString(L"Harbour Road"));
    const XrGdiCall* street = text_call(XrString(L"Harbour Road"));
    ASSERT_NE(street, nullptr);
    EXPECT_EQ(street->args[0], 23);
    EXPECT_EQ(street->args[1], 433);
    EXPECT_TRUE(XrGdiRecording::instance().find("draw_round_rect").empty());

    XrGdiRecording::instance().clear();
    layer->draw_street_boxes(dc, XrPoint(800, 480), XrString(L"North Street"), XrString(L"Harbour Road"));
    const auto frames = XrGdiRecording::instance().find("draw_round_rect");
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0]->pen_rgb(), static_cast<int>(XrGDI::rgb(192, 255, 192)));
    EXPECT_EQ(frames[1]->pen_rgb(), static_cast<int>(XrGDI::rgb(0, 64, 32)));
    EXPECT_EQ(frames[0]->brush_rgb(), static_cast<int>(XrGDI::rgb(0, 64, 32)));
    // The outer frame is the box grown by the border width (1).
    EXPECT_EQ(frames[0]->args[0], 4);
    EXPECT_EQ(frames[0]->args[1], 9);
    EXPECT_EQ(frames[1]->args[0], 5);
    EXPECT_EQ(frames[1]->args[1], 10);
    const XrGdiCall* next = text_call(XrString(L"North Street"));
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->args[0], 10);
    EXPECT_EQ(next->args[1], 15);
}

// The traffic box states read the layout metrics of the map window's size,
// arm the layer's box timer, measure their ticker in its font and play the
// event's sound once.
TEST_F(RouteLayerSafety, TrafficBoxThroughTheLayer)
{
    xr_set_traffic_reference_size(800, 480);
    xr_set_traffic_layout_variant(11);
    with_routes();
    layer->reset_traffic_state();
    bool played = false, shown = false;
    XrTrafficARecord a;
    a.icon_kind = 2;
    a.distance = 2400;
    a.text = L"Accident";
    a.delay = 600;
    a.sound = L"accident.wav";
    a.fallback_sound = L"traffic.wav";
    a.played = &played;
    a.shown = &shown;
    a.id = 7;
    layer->set_info_record2(a);
    const XrPoint screen(800, 480);
    int top = 0, band = 0, value = -1;

    // Clear for 3 s, then the event's icon state: its value is the y of
    // layout element 5 (7.69 % of 480).
    g_now += 3001;
    layer->execute(&loop, reinterpret_cast<void*>(static_cast<std::intptr_t>(XrRouteLayer::EVENT_TRAFFIC)));
    layer->get_panel_sizes(top, band, nullptr, &value);
    EXPECT_EQ(value, 36);
    loop.timeouts.clear();
    layer->draw_traffic_state(dc, screen);
    EXPECT_EQ(loop.pending(XrRouteLayer::EVENT_TRAFFIC), std::vector<int>{800});
    EXPECT_TRUE(shown);
    EXPECT_TRUE(played); // the prompt file does not load: the fallback is played
    // Drawing again re-arms the one timer.
    layer->draw_traffic_state(dc, screen);
    EXPECT_EQ(loop.pending(XrRouteLayer::EVENT_TRAFFIC), std::vector<int>{800});

    // After 10 s the text scrolls through the 40-pixel box at one pixel per
    // trunc(400 / u) ms; it is gone once it has moved its width in font 49.
    g_now += 10001;
    layer->execute(&loop, reinterpret_cast<void*>(static_cast<std::intptr_t>(XrRouteLayer::EVENT_TRAFFIC)));
    const std::uint32_t start = g_now;
    layer->draw_traffic_state(dc, screen);
    layer->get_panel_sizes(top, band, nullptr, &value);
    EXPECT_EQ(value, 36);
    const XrString text = XrString(L"Accident --- ") + XrDistance(2400, XrDistance::Metres).to_display_string(0, 1);
    const int tw = XrGDI::measure_text(xr_routelayer::font_of(49), text.c_str()).width;
    ASSERT_GT(std::abs(tw - 8 * text.length()), 10) << "the font must tell the widths apart";
    const int u = xr_traffic_metric_point(6).x;
    const int per_pixel = static_cast<int>(10.0 / u * 40.0);
    g_now = start + static_cast<std::uint32_t>((38 + tw - 5) * per_pixel);
    layer->draw_traffic_state(dc, screen);
    layer->get_panel_sizes(top, band, nullptr, &value);
    EXPECT_EQ(value, 36);
    g_now = start + static_cast<std::uint32_t>((38 + tw + 5) * per_pixel);
    layer->draw_traffic_state(dc, screen);
    layer->get_panel_sizes(top, band, nullptr, &value);
    EXPECT_EQ(value, 0);

    // Without a route the state returns to Clear, and so does the timer's draw.
    layer->set_routes(nullptr, 0);
    layer->draw_traffic_state(dc, screen);
    layer->get_panel_sizes(top, band, nullptr, &value);
    EXPECT_EQ(value, 0);
    xr_set_traffic_reference_size(0, 0);
}

// The traffic box's event icon is the small POI icon of type key 51 + kind
// from the map's "poi" layer, drawn at the box's left edge.
TEST_F(RouteLayerDraw, TrafficBoxIconFromThePoiLayer)
{
    xr_set_traffic_reference_size(800, 480);
    xr_set_traffic_layout_variant(11);
    XrMap map;
    auto* pois = new XrPoiLayer(&map, nullptr, false);
    XrPoiLayerIconSet set;
    set.kind = 1;
    set.first_type = 0;
    set.count = 93;
    set.small = XrGDI::create_bitmap(dc, 16 * 100, 16);
    pois->add_icon_set(set, true);
    map.add_layer(pois, XrString(L"poi"));
    {
        XrRouteLayer traffic(&loop, &map, 1, nullptr, nullptr);
        traffic.set_tick_source(test_now);
        set_route(traffic, make_route(points));
        traffic.reset_traffic_state();
        XrTrafficARecord a;
        a.icon_kind = 2;
        a.distance = 1500;
        a.id = 3;
        traffic.set_info_record2(a);
        g_now += 3001;
        traffic.execute(&loop, reinterpret_cast<void*>(static_cast<std::intptr_t>(XrRouteLayer::EVENT_TRAFFIC)));
        // Once slid into place (2 s), the icon at x 20 + 1 in the 40-pixel box.
        g_now += 2001;
        XrGdiRecording::instance().clear();
        traffic.draw_traffic_state(dc, XrPoint(800, 480));
        const auto drawn = calls("draw_bitmap_masked");
        ASSERT_EQ(drawn.size(), 1u);
        EXPECT_EQ(drawn[0]->args[0], 21);
        EXPECT_EQ(drawn[0]->args[2] - drawn[0]->args[0], 16);
        EXPECT_EQ(drawn[0]->args[4], 16 * 53); // its place in the strip
        // The distance right of the icon and the delay disc.
        const auto distance = calls("draw_text_rect");
        ASSERT_EQ(distance.size(), 1u);
        EXPECT_EQ(distance[0]->text, L"1.5 km");
    }
    XrGDI::delete_bitmap(set.small);
    xr_set_traffic_reference_size(0, 0);
}

// The traffic box of an event on the current road shows the layer's traffic
// delay up to the event as a sector of its delay disc.
TEST_F(RouteLayerDraw, TrafficBoxDelayFromTheRoute)
{
    xr_set_traffic_reference_size(800, 480);
    xr_set_traffic_layout_variant(11);
    with_route();
    access->set_signpost_range(-1, -1, 0, 1); // driving the first segment
    XrTrafficCRecord c;
    c.icon_kind = 1;
    c.distance = 300;
    c.id = 5;
    layer->set_info_record(c);
    // A sector: a polygon of more than the chevrons' three points.
    auto sector_drawn = [&] {
        layer->reset_traffic_state();
        g_now += 3001;
        layer->execute(&loop, reinterpret_cast<void*>(static_cast<std::intptr_t>(XrRouteLayer::EVENT_TRAFFIC)));
        g_now += 2001;
        XrGdiRecording::instance().clear();
        layer->draw_traffic_state(dc, XrPoint(800, 480));
        for (const XrGdiCall* p : calls("draw_polygon"))
            if (p->points.size() > 3)
                return true;
        return false;
    };
    EXPECT_FALSE(sector_drawn());
    layer->set_traffic_delay(*layer->get_active_route()->segments.get_item_ptr(1), 72000u << 8, nullptr);
    const int delay = layer->get_traffic_delay_ahead(300);
    ASSERT_GT(delay, 0);
    ASSERT_LE(delay, 3600);
    EXPECT_TRUE(sector_drawn());
    xr_set_traffic_reference_size(0, 0);
}
