// Action areas, hot spots and screen rectangles: taps hit the right items,
// and the shared context counts its users.
#include <gtest/gtest.h>

#include <vector>

#include "common/map/xr_actionarea.h"
#include "common/map/xr_map.h"
#include "common/map/xr_mapview.h"

namespace {

int g_deleted = 0;

class CountedContext : public XrMapActionAreaContext {
public:
    explicit CountedContext(int id) : id(id) {}
    int id;

protected:
    ~CountedContext() override { ++g_deleted; }
};

struct Activation {
    void* target;
    XrPoint point;
    XrAreaValue value;
    void* extra;
    XrMapActionAreaContext* context;
};
std::vector<Activation> g_activations;

void record(void* target, XrPoint point, XrAreaValue value, void* extra, XrMapActionAreaContext* context)
{
    g_activations.push_back({target, point, value, extra, context});
}

// 800 x 480 at 1.6 pixels a unit around (10000, 20000): the screen centre
// (400, 240) shows the world centre.
struct AreaFixture : ::testing::Test {
    AreaFixture() : view(&map)
    {
        view.set_screen_size(XrSize(800, 480));
        view.set_visible_rect(XrRectangle(0, 0, 800, 480));
        view.set_default_scale_reference();
        const XrPoint centre(10000, 20000);
        view.set_center_and_scale(&centre, 10000, true);
        g_deleted = 0;
        g_activations.clear();
    }
    XrMap map;
    XrMapView view;
};

TEST_F(AreaFixture, HotSpotIsASquareOfTolerance)
{
    // 60 units right of and below the world rectangle's top left corner:
    // screen (96, 96) at 1.6 pixels a unit.
    const XrRectangle w = view.get_world_rect();
    XrHotSpot spot(XrPoint(w.left + 60, w.bottom - 60), 10, record, nullptr);
    XrPoint screen;
    view.world_to_screen(spot.position, screen);
    ASSERT_EQ(screen, XrPoint(96, 96));
    struct {
        int dx, dy;
        bool hit;
    } taps[] = {{10, -10, true}, {11, 0, false}, {-10, 10, true}, {0, -11, false}, {0, 0, true}, {-11, -11, false}};
    for (const auto& t : taps)
        EXPECT_EQ(spot.hit_test(96 + t.dx, 96 + t.dy, &view), t.hit) << t.dx << "," << t.dy;
}

TEST_F(AreaFixture, HotSpotFollowsThePerspectiveView)
{
    map.set_3d(true);
    view.set_tilt(44);
    view.set_3d_parameters(1000, 200, 80, 2000, 4000, 500);
    view.update_3d();
    const XrPoint position(10100, 20300);
    XrHotSpot spot(position, 4, record, nullptr);
    int sx = 0, sy = 0;
    view.world_to_screen_3d(position.x, position.y, XrMapView::POINT_HEIGHT, sx, sy);
    EXPECT_TRUE(spot.hit_test(sx + 4, sy - 4, &view));
    EXPECT_FALSE(spot.hit_test(sx + 5, sy, &view));
}

TEST_F(AreaFixture, ActionAreaIncludesItsBorder)
{
    int left = 0, top = 0, right = 0, bottom = 0;
    view.screen_to_world_2d(200, 100, left, top);
    view.screen_to_world_2d(300, 200, right, bottom);
    XrActionArea area(XrPoint(left, bottom), XrPoint(right, top), record, nullptr);
    EXPECT_TRUE(area.hit_test(200, 100, &view));
    EXPECT_TRUE(area.hit_test(300, 200, &view));
    EXPECT_TRUE(area.hit_test(250, 150, &view));
    EXPECT_FALSE(area.hit_test(199, 150, &view));
    EXPECT_FALSE(area.hit_test(250, 202, &view));
    // Corners the wrong way round never hit.
    XrActionArea reversed(XrPoint(right, top), XrPoint(left, bottom), record, nullptr);
    EXPECT_FALSE(reversed.hit_test(250, 150, &view));
}

TEST_F(AreaFixture, ScreenRectIgnoresTheView)
{
    XrScreenRect rect(XrRectangle(10, 20, 30, 40), record, nullptr);
    EXPECT_TRUE(rect.hit_test(10, 20, nullptr));
    EXPECT_TRUE(rect.hit_test(30, 40, nullptr));
    EXPECT_FALSE(rect.hit_test(31, 40, nullptr));
    EXPECT_FALSE(rect.hit_test(10, 19, nullptr));
}

TEST_F(AreaFixture, TapsHitTheRightItemOfAList)
{
    auto* ctx_a = new CountedContext(1);
    auto* ctx_b = new CountedContext(2);
    std::vector<XrAreaBase*> areas;
    int wx = 0, wy = 0;
    view.screen_to_world_2d(600, 300, wx, wy);
    areas.push_back(new XrScreenRect(XrRectangle(0, 0, 50, 50), record, ctx_a));
    areas.push_back(new XrHotSpot(XrPoint(wx, wy), 8, record, ctx_b));
    struct {
        int x, y;
        int context; // 0: nothing
    } taps[] = {{25, 25, 1}, {605, 295, 2}, {400, 240, 0}, {609, 300, 0}};
    for (const auto& t : taps) {
        g_activations.clear();
        for (XrAreaBase* area : areas)
            if (area->hit_test(t.x, t.y, &view)) {
                XrAreaValue value;
                value.words[0] = 7;
                value.byte = 9;
                area->activate(this, XrPoint(t.x, t.y), value, &view);
                break;
            }
        if (t.context == 0) {
            EXPECT_TRUE(g_activations.empty());
            continue;
        }
        ASSERT_EQ(g_activations.size(), 1u);
        const Activation& a = g_activations[0];
        EXPECT_EQ(static_cast<CountedContext*>(a.context)->id, t.context);
        EXPECT_EQ(a.target, this);
        EXPECT_EQ(a.extra, &view);
        EXPECT_EQ(a.point, XrPoint(t.x, t.y));
        EXPECT_EQ(a.value.words[0], 7u);
        EXPECT_EQ(a.value.byte, 9);
    }
    for (XrAreaBase* area : areas)
        delete area;
    EXPECT_EQ(g_deleted, 2);
}

TEST_F(AreaFixture, CopiesShareTheContext)
{
    auto* ctx = new CountedContext(1);
    {
        XrHotSpot a(XrPoint(1, 2), 3, record, ctx);
        EXPECT_EQ(ctx->get_ref_count(), 1);
        XrHotSpot b(a);
        EXPECT_EQ(ctx->get_ref_count(), 2);
        EXPECT_EQ(b.position, XrPoint(1, 2));
        EXPECT_EQ(b.tolerance, 3);
        b = b; // self-assignment changes nothing
        EXPECT_EQ(ctx->get_ref_count(), 2);
        XrHotSpot c;
        c = a;
        EXPECT_EQ(ctx->get_ref_count(), 3);
        c = XrHotSpot();
        EXPECT_EQ(ctx->get_ref_count(), 2);
        EXPECT_EQ(g_deleted, 0);
    }
    EXPECT_EQ(g_deleted, 1);
    // Without a context nothing is counted; activation still calls back.
    XrScreenRect plain(XrRectangle(0, 0, 1, 1), record, nullptr);
    plain.activate(nullptr, XrPoint(), XrAreaValue(), nullptr);
    ASSERT_EQ(g_activations.size(), 1u);
    EXPECT_EQ(g_activations[0].context, nullptr);
}

} // namespace
