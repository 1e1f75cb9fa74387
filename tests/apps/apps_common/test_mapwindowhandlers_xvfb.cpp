// The map window's handlers on a bare map view: the default keys and view
// history, the zoom ladder, the route-step distance, the forwarding base,
// and input with no map open.
#include <gtest/gtest.h>

#include "apps/apps_common/xr_defaultwindoweventhandler.h"
#include "apps/apps_common/xr_naviapp.h"
#include "apps/apps_common/xr_naviapphandler.h"
#include "apps/apps_common/xr_navistephandler.h"
#include "apps/maemo_map/navigator_run.h"
#include "common/gdi/window/xr_mapwindow.h"
#include "common/map/xr_map.h"
#include "common/map/xr_mapview.h"

namespace {

class ViewFixture : public ::testing::Test {
protected:
    ViewFixture() : view(&map)
    {
        view.set_screen_size(XrSize(800, 480));
        view.set_visible_rect(XrRectangle(0, 0, 800, 480));
        view.set_default_scale_reference();
        view.set_max_scale(200000000);
        EXPECT_TRUE(view.set_center_and_scale(&centre, 10000, true));
    }

    void at_scale(std::uint32_t scale) { ASSERT_TRUE(view.set_center_and_scale(&centre, scale, true)); }

    const XrPoint centre{100000, 200000};
    XrMap map;
    XrMapView view;
    XrDefaultWindowEventHandler handler{&view};
};

struct KeyCase {
    int key;
    std::uint32_t from, to;
};

TEST_F(ViewFixture, ZoomKeysScaleByTheirFactorsAndKeepTheCentre)
{
    const KeyCase cases[] = {
        {XrMapWindow::KeyF7, 100000, 75000},  {XrMapWindow::KeyF7, 100001, 66000},
        {XrMapWindow::KeyF7, 400000, 240000}, {XrDefaultWindowEventHandler::KeyZoomIn, 100000, 75000},
        {XrMapWindow::KeyF8, 300000, 454545}, {XrDefaultWindowEventHandler::KeyZoomOut, 90000, 120000},
        {XrMapWindow::KeyF8, 600000, 1000000},
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.from);
        at_scale(c.from);
        EXPECT_EQ(handler.handle_key(c.key, nullptr), 1);
        EXPECT_NEAR(static_cast<double>(view.get_scale_value()), c.to, 1.0);
        EXPECT_EQ(view.get_centre(), centre);
    }
    // A code the handler does not know is not taken.
    EXPECT_EQ(handler.handle_key(XrMapWindow::KeyReturn, nullptr), 0);
}

TEST_F(ViewFixture, ArrowsPanByAThirdAndRotationKeysTurn)
{
    const XrRectangle r = view.get_world_rect();
    EXPECT_EQ(handler.handle_key(XrMapWindow::KeyRight, nullptr), 1);
    EXPECT_EQ(view.get_centre().x, centre.x + (r.right - r.left) / 3);
    EXPECT_EQ(handler.handle_key(XrMapWindow::KeyUp, nullptr), 1);
    EXPECT_EQ(view.get_centre().y, centre.y + (r.bottom - r.top) / 3);
    EXPECT_EQ(handler.handle_key(XrDefaultWindowEventHandler::KeyRotateLeft, nullptr), 1);
    EXPECT_EQ(view.get_rotation(), 10);
    EXPECT_EQ(handler.handle_key(XrDefaultWindowEventHandler::KeyRotateRight, nullptr), 1);
    EXPECT_EQ(handler.handle_key(XrDefaultWindowEventHandler::KeyRotateRight, nullptr), 1);
    EXPECT_EQ(view.get_rotation(), 350);
    EXPECT_EQ(handler.handle_key(XrDefaultWindowEventHandler::KeyNorth, nullptr), 1);
    EXPECT_EQ(view.get_rotation(), 0);
    // Every step went to the history: back through them to the start.
    while (handler.step_back(&view)) {
    }
    EXPECT_EQ(view.get_centre(), centre);
}

TEST_F(ViewFixture, OverviewKeyTwiceReturnsToTheScaleBefore)
{
    at_scale(12000);
    EXPECT_EQ(handler.handle_key(XrDefaultWindowEventHandler::KeyOverview, nullptr), 1);
    EXPECT_EQ(view.get_scale_value(), 200000u);
    EXPECT_EQ(handler.handle_key(XrDefaultWindowEventHandler::KeyOverview, nullptr), 1);
    EXPECT_EQ(view.get_scale_value(), 12000u);
    EXPECT_EQ(handler.get_overview_scale(), -1);
}

TEST_F(ViewFixture, HistoryKeepsTheLastFiftyViews)
{
    for (int i = 0; i < 51; ++i) {
        const XrPoint p(centre.x + 10 * i, centre.y);
        ASSERT_TRUE(view.set_center_and_scale(&p, 10000, true));
        handler.push_view(&view);
    }
    EXPECT_EQ(handler.history_count(), 50);
    int restored = 0;
    while (handler.step_back(&view))
        ++restored;
    EXPECT_EQ(restored, 50);
    // The oldest view (i = 0) was overwritten; the first kept is i = 1.
    EXPECT_EQ(view.get_centre().x, centre.x + 10);
    EXPECT_FALSE(handler.step_back(&view));
}

TEST_F(ViewFixture, DragOfTwentyPixelsZoomsAndNineteenIsATap)
{
    // 19 pixels each way: a tap, which centres the map on the point.
    handler.pointer_down(400, 240, 1, nullptr);
    handler.pointer_up(419, 259, 0, nullptr);
    EXPECT_EQ(view.get_scale_value(), 10000u);
    EXPECT_NE(view.get_centre(), centre);
    // 20 pixels to the right: a zoom into the dragged rectangle.
    at_scale(10000);
    handler.pointer_down(400, 240, 1, nullptr);
    handler.pointer_up(600, 360, 0, nullptr);
    EXPECT_LT(view.get_scale_value(), 10000u);
    // Right to left: zoom out, by at most 15.
    at_scale(10000);
    handler.pointer_down(400, 240, 1, nullptr);
    handler.pointer_up(395, 219, 0, nullptr);
    EXPECT_EQ(view.get_scale_value(), 150000u);
    // Flag 0x20 ends a drag without zooming.
    at_scale(10000);
    handler.pointer_down(400, 240, 1, nullptr);
    handler.pointer_up(600, 360, XrDefaultWindowEventHandler::FlagNoZoom, nullptr);
    EXPECT_EQ(view.get_scale_value(), 10000u);
    EXPECT_EQ(view.get_centre(), centre);
}

struct LadderCase {
    std::uint32_t from;
    bool zoom_in;
    std::uint32_t to;
};

TEST(ZoomLadder, StepsToTheNeighbouringValue)
{
    const LadderCase cases[] = {
        {2600, true, 2500},       {2550, true, 2500},          {3400, true, 3325},
        {2500, true, 2500},       {7650, true, 6242},          {40000, false, 42615},
        {6242, false, 8809},      {100000000, false, 100000000}, {200000000, true, 100000000},
    };
    for (const LadderCase& c : cases) {
        SCOPED_TRACE(c.from);
        EXPECT_EQ(XrNaviAppHandler::ladder_target(c.from, c.zoom_in), c.to);
    }
}

struct StepCase {
    std::uint32_t scale;
    bool is_3d;
    int elapsed_ms;
    double step;
};

TEST(RouteStep, DistanceFollowsTheScaleOrTheKeyRate)
{
    const StepCase cases[] = {
        {5500, false, -1, 12},       {11000000, false, -1, 10000}, {1100000, false, -1, 2000},
        {1100000, true, 300, 36.11}, {1100000, true, 800, 57.78},  {1100000, true, 1200, 2000},
        {1100000, false, 300, 2000},
    };
    for (const StepCase& c : cases) {
        SCOPED_TRACE(c.elapsed_ms);
        EXPECT_NEAR(XrNaviStepHandler::step_distance(c.scale, c.is_3d, c.elapsed_ms), c.step, 0.01);
    }
}

TEST(WindowEventHandler, WithoutAManagerOnlyTapAndHoldGoesOn)
{
    XrWindowEventHandler handler;
    EXPECT_EQ(handler.handle_key(XrMapWindow::KeyUp, nullptr), 0);
    EXPECT_EQ(handler.pointer_down(1, 2, 1, nullptr), 0);
    EXPECT_EQ(handler.pointer_move(1, 2, 0, nullptr), 0);
    EXPECT_EQ(handler.can_tap_and_hold(1, 2, nullptr), 1);
    EXPECT_EQ(handler.tap_and_hold(nullptr), 0);
}

class NoMapApp : public XrNaviApp {
public:
    void create_position_provider() override {}
    void exit_application() override {}
};

// No map opened (no providers at all): taps, drags, long presses, keys and
// touch buttons end without touching a map.
TEST(NoMap, InputIsTakenWithoutAMap)
{
    ASSERT_TRUE(xr_own_process_display());
    NoMapApp app;
    app.install_map_handler();
    XrNaviAppHandler* handler = app.get_map_handler();
    ASSERT_NE(handler, nullptr);
    handler->pointer_down(100, 100, 1, nullptr);
    handler->pointer_move(103, 101, 0, nullptr);
    handler->pointer_up(103, 101, 0, nullptr);
    handler->pointer_down(100, 100, 1, nullptr);
    handler->pointer_move(200, 150, 0, nullptr);
    handler->pointer_up(200, 150, 0, nullptr);
    EXPECT_EQ(handler->can_tap_and_hold(50, 60, nullptr), 1);
    handler->tap_and_hold(nullptr);
    for (int key : {0, 1, 2, 3, 7, 8, 9, 17, 18, 21, 22, 24})
        handler->handle_key(key, nullptr);
    for (int button = 0; button <= 15; ++button) {
        if (button != 11)
            handler->touch_button(button);
    }
    app.handle_command(0x1009, nullptr);
    app.handle_command(0x1004, nullptr);
    SUCCEED();
}

} // namespace
