// The remaining travel time that the route layer keeps for its panel, on a
// straight town road (16 m/s): whole minutes rounded up, so that "<2 min"
// shows only when less than two minutes are left.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "common/map/xr_routelayer.h"
#include "common/map/xr_routelayer_draw.h"
#include "tests/common/map/routelayer_fixture.h"

namespace {

std::uint32_t g_now = 100000;
std::uint32_t test_clock() { return g_now; }

// Ten edges of 300 m running east from (100000, 200000).
XrNetwork straight_road()
{
    return xr_text_network(R"(
        cell 150
        A-B-C-D-E-F-G-H-I-J-K
        way
        AB
        BC
        CD
        DE
        EF
        FG
        GH
        HI
        IJ
        JK
    )",
                           XrPoint(100000, 200000), xr_street({}))
        .net;
}

std::string text_of(int minutes)
{
    const XrString t = xr_routelayer::format_remaining_time(minutes);
    return std::string(t.c_str(), t.c_str() + t.length());
}

TEST(RouteLayerRemainingTime, WholeMinutesRoundedUp)
{
    XrRouteMap m(straight_road());
    XrRouteLayer layer(nullptr, nullptr, 1, nullptr, nullptr);
    layer.set_tick_source(test_clock);
    layer.initialize(m.roads.get(), nullptr);
    layer.set_graph_path(XrString(m.graph_path.c_str()));
    XrRouteInstructions* route = m.route(XrPoint(100010, 200000), XrPoint(102990, 200000));
    ASSERT_NE(route, nullptr);
    ASSERT_GT(route->segments.items(), 0);
    // A town street: the layer's cruising speed of its class is 16 m/s.
    ASSERT_EQ(route->segments.get_item_ptr(0)->speed_class(), 4);
    XrPtrArray<XrRouteInstructions*> list;
    list.append(route);
    layer.set_routes(&list, 0);
    const int length = layer.get_route_length();
    ASSERT_GT(length, 2500);

    const struct {
        int left;             // metres still to drive
        int minutes;          // 16 m/s: left / 16 seconds, rounded up to minutes
        const char* shown;
    } cases[] = {
        {2000, 3, "3 min"},   // 125 s
        {1920, 2, "<2 min"},  // 120 s
        {1900, 2, "<2 min"},  // 118 s
        {950, 1, "<2 min"},   // 59 s
    };
    for (const auto& c : cases) {
        XrPoint p;
        short heading = 0;
        ASSERT_EQ(layer.get_point_on_route(&p, &heading, length - c.left), 0) << c.left;
        g_now += 1000;
        layer.update_position(p, -1, 16.0, false, nullptr, nullptr, 0);
        ASSERT_NEAR(layer.get_distance_travelled(), length - c.left, 1) << c.left;
        EXPECT_EQ(layer.get_remaining_minutes(), c.minutes) << c.left;
        EXPECT_EQ(text_of(layer.get_remaining_minutes()), c.shown) << c.left;
    }
}

} // namespace
