// What the route provider takes from the registered map-view provider: the
// distance unit of its street-finder radii, and the view that shows a new
// route's start, moved ahead like a position.
#include <cmath>
#include <memory>

#include <gtest/gtest.h>

#include "common/corvanel_core/impl/xr_mapviewproviderimpl.h"
#include "common/corvanel_core/interfaces/xr_mapviewprovider.h"
#include "common/map/xr_mapview.h"
#include "provider_files.h"
#include "route_world.h"

using namespace xr_route_world;

namespace {

const XrPoint kStart(100250, 200000);
const XrPoint kEnd(102750, 200000);

// The map-view provider: a distance unit and a flat view of 800 x 480.
class ViewDouble : public XrMapViewProvider {
public:
    explicit ViewDouble(double unit) : unit(unit)
    {
        view.set_screen_size(XrSize(800, 480));
        view.set_visible_rect(XrRectangle(0, 0, 800, 480));
        view.set_center_and_scale(&kEnd, 6250, true);
        XrSingleton::set_instance(XrString(L"XrMapViewProvider"), static_cast<XrMapViewProvider*>(this));
    }
    ~ViewDouble() override { XrSingleton::set_instance(XrString(L"XrMapViewProvider"), nullptr); }
    double get_zoom_ratio() override { return unit; }
    XrMapView* get_map_view() override { return &view; }

    double unit;
    XrMapView view;
};

struct RouteProviderView : ::testing::Test {
    RouteProviderView()
    {
        EXPECT_TRUE(write_map(toll_network(false), result));
        world = std::make_unique<World>();
        EXPECT_TRUE(world->opened);
    }

    ProviderFiles files;
    XrGraphWriterResult result;
    std::unique_ptr<World> world;
};

} // namespace

TEST_F(RouteProviderView, StreetRadiiAreInTheMapViewsDistanceUnit)
{
    // A start 200 map units off the road: found within 5000 units, not
    // within 5000 hundredths of a unit.
    const XrPoint off_road(kStart.x, kStart.y - 200);
    struct Case {
        double unit;
        bool routed;
    };
    for (const Case c : {Case{1.0, true}, Case{0.01, false}, Case{0.0, false}}) {
        SCOPED_TRACE(c.unit);
        ViewDouble views(c.unit);
        auto p = world->make_provider();
        world->listener.log.clear();
        world->ui.questions.clear();
        p->set_start_and_destination(World::place(off_road, L"Start"), World::place(kEnd, L"Goal"));
        ASSERT_TRUE(world->run_until_calculated());
        EXPECT_EQ(world->layer.get_active_route() != nullptr, c.routed);
        if (!c.routed) { // told, not left silent
            EXPECT_EQ(world->ui.questions, std::vector<int>{XrRouteProvider::STR_NO_ROUTE_FOUND});
        }
        p->clear_route();
    }
}

TEST_F(RouteProviderView, WithoutAFixTheNewRouteStartsAheadOfTheCentre)
{
    ViewDouble views(1.0);
    XrMapView& view = views.view;
    const std::uint32_t scale = view.get_scale_value();
    auto p = world->make_provider();
    ASSERT_FALSE(world->layer.get_gps_fix_valid());
    p->set_start_and_destination(World::place(kStart, L"Start"), World::place(kEnd, L"Goal"));
    ASSERT_TRUE(world->run_until_calculated());
    ASSERT_NE(world->layer.get_active_route(), nullptr);

    XrPoint start;
    short heading = 0;
    ASSERT_EQ(world->layer.get_route_start(&start, &heading), 0);
    // Turned to the route's heading, the scale kept, and the start a quarter
    // of the screen height ahead of the centre.
    EXPECT_EQ(view.get_rotation(), ((heading - 90) % 360 + 360) % 360);
    EXPECT_EQ(view.get_scale_value(), scale);
    const XrPoint ahead = xr_move_point_ahead(view, start);
    const double shift = std::hypot(double(ahead.x) - start.x, double(ahead.y) - start.y);
    EXPECT_NEAR(shift, view.pixels_to_world(120), 1.0);
    EXPECT_GT(shift, 0.0);
    EXPECT_NEAR(view.get_centre().x, ahead.x, 2);
    EXPECT_NEAR(view.get_centre().y, ahead.y, 2);
}
