// The map view: scale values, fits, rotations, limits and the flat and
// perspective conversions between world and screen.
#include <gtest/gtest.h>

#include <cmath>

#include "common/geometry/xr_geometry.h"
#include "common/map/xr_map.h"
#include "common/map/xr_mapview.h"

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 480;
const XrPoint kCentre(100000, 200000);

// An 800 x 480 view, the whole screen visible, at scale value 10000 (500
// world units across).
struct ViewFixture : ::testing::Test {
    ViewFixture() : view(&map)
    {
        view.set_screen_size(XrSize(kWidth, kHeight));
        view.set_visible_rect(XrRectangle(0, 0, kWidth, kHeight));
        view.set_default_scale_reference();
        EXPECT_TRUE(view.set_center_and_scale(&kCentre, 10000, true));
    }

    XrMap map;
    XrMapView view;
};

TEST(FixedPoint, RoundsHalfUp)
{
    EXPECT_EQ(fixed_mul(1, 1 << 19), 1);
    EXPECT_EQ(fixed_mul(3, 1 << 18), 2);  // 1.5 rounds up
    EXPECT_EQ(fixed_mul(-3, 1 << 18), -1); // -1.5 rounds up
    EXPECT_EQ(fixed_mul(100, 838860), 160);
    EXPECT_EQ(fixed_mul_add(1, 1 << 19, 2, 1 << 19), 3);
    // The sum is taken in 64 bits.
    EXPECT_EQ(fixed_mul_add(1 << 30, 1 << 19, -(1 << 30), 1 << 19), 0);
}

TEST_F(ViewFixture, ScaleValueGivesWorldSize)
{
    EXPECT_EQ(view.get_scale_value(), 10000u);
    const XrRectangle w = view.get_world_rect();
    EXPECT_EQ(w.right - w.left, 500);
    EXPECT_EQ(w.bottom - w.top, 300);
    EXPECT_EQ(view.get_centre(), kCentre);
    EXPECT_DOUBLE_EQ(view.get_pixels_per_unit(), 1.6);
    EXPECT_EQ(view.pixels_to_world(800), 500);
    EXPECT_EQ(view.world_to_pixels(500), 800);
}

TEST_F(ViewFixture, NorthUpWorldToScreen)
{
    struct {
        int dx, dy, sx, sy;
    } cases[] = {
        {0, 0, 400, 240},  {-250, 150, 0, 0},   {250, -150, 800, 480},
        {100, 0, 560, 240}, {0, 100, 400, 80},  {-1, -1, 398, 242},
    };
    for (const auto& c : cases) {
        int sx = -1, sy = -1;
        view.world_to_screen_2d(kCentre.x + c.dx, kCentre.y + c.dy, sx, sy);
        EXPECT_EQ(sx, c.sx) << c.dx << "," << c.dy;
        EXPECT_EQ(sy, c.sy) << c.dx << "," << c.dy;
    }
}

struct RotationCase {
    int rotation;
    // Where a point 100 units east and one 100 units north of the centre land.
    int east_x, east_y, north_x, north_y;
};

class RotatedView : public ViewFixture, public ::testing::WithParamInterface<RotationCase> {};

TEST_P(RotatedView, ConvertsBothWays)
{
    const RotationCase& c = GetParam();
    view.set_rotation(c.rotation);
    EXPECT_EQ(view.get_rotation(), c.rotation);
    EXPECT_EQ(view.get_centre(), kCentre);
    EXPECT_NEAR(static_cast<double>(view.get_scale_value()), 10000.0, 299.0);

    int sx = 0, sy = 0;
    view.world_to_screen_2d(kCentre.x, kCentre.y, sx, sy);
    EXPECT_EQ(sx, 400);
    EXPECT_EQ(sy, 240);
    view.world_to_screen_2d(kCentre.x + 100, kCentre.y, sx, sy);
    EXPECT_NEAR(sx, c.east_x, 1);
    EXPECT_NEAR(sy, c.east_y, 1);
    view.world_to_screen_2d(kCentre.x, kCentre.y + 100, sx, sy);
    EXPECT_NEAR(sx, c.north_x, 1);
    EXPECT_NEAR(sy, c.north_y, 1);

    // Back to the world within a pixel's worth of units.
    const XrPoint probes[] = {{0, 0}, {100, 0}, {0, 100}, {-123, 77}, {240, -180}};
    for (const XrPoint& d : probes) {
        int px = 0, py = 0, wx = 0, wy = 0;
        view.world_to_screen_2d(kCentre.x + d.x, kCentre.y + d.y, px, py);
        view.screen_to_world_2d(px, py, wx, wy);
        EXPECT_NEAR(wx, kCentre.x + d.x, 2) << c.rotation << ": " << d.x << "," << d.y;
        EXPECT_NEAR(wy, kCentre.y + d.y, 2) << c.rotation << ": " << d.x << "," << d.y;
    }
}

// sx = (dx cos r + dy sin r) * ppu, sy = (dx sin r - dy cos r) * ppu around
// the screen centre, at 1.6 pixels a unit.
INSTANTIATE_TEST_SUITE_P(Rotations, RotatedView,
                         ::testing::Values(RotationCase{0, 560, 240, 400, 80},
                                           RotationCase{30, 539, 320, 480, 101},
                                           RotationCase{90, 400, 400, 560, 240},
                                           RotationCase{270, 400, 80, 240, 240}));

TEST_F(ViewFixture, RightAnglesInvertExactly)
{
    for (int rotation : {90, 270}) {
        view.set_rotation(rotation);
        int x = 0, y = 0;
        view.screen_to_world_2d(400 + 16, 240 - 32, x, y);
        const int u = 10, v = 20; // (16 / 1.6, 32 / 1.6)
        EXPECT_EQ(x - view.get_centre().x, rotation == 90 ? -v : v);
        EXPECT_EQ(y - view.get_centre().y, rotation == 90 ? u : -u);
    }
}

TEST_F(ViewFixture, RotationsAreNormalised)
{
    struct {
        int in, out;
    } cases[] = {{360, 0}, {725, 5}, {-90, 270}, {359, 359}, {-720, 0}, {65536 + 10, 10}};
    for (const auto& c : cases) {
        view.set_rotation(c.in);
        EXPECT_EQ(view.get_rotation(), c.out) << c.in;
    }
}

TEST_F(ViewFixture, RequestedScaleKeptWithin299)
{
    // The fit gives 10000 for 500 units; a request near it is stored exactly.
    for (unsigned s : {10299u, 9701u, 10000u}) {
        ASSERT_TRUE(view.set_center_and_scale(nullptr, s, true));
        EXPECT_EQ(view.get_scale_value(), s);
    }
    // 19.5 units differ by 390 (one unit: 20); 300 away is not kept.
    ASSERT_TRUE(view.set_center_and_scale(nullptr, 10000, true));
    const unsigned fitted = view.get_scale_value();
    ASSERT_TRUE(view.set_center_and_scale(nullptr, 30000, true));
    EXPECT_EQ(view.get_scale_value(), 30000u);
    EXPECT_EQ(fitted, 10000u);
}

TEST_F(ViewFixture, NorthUpFromScale250000)
{
    view.set_rotation(30);
    ASSERT_TRUE(view.set_center_and_scale(nullptr, 249999, true));
    EXPECT_EQ(view.get_rotation(), 30);
    ASSERT_TRUE(view.set_center_and_scale(nullptr, 250000, true));
    EXPECT_EQ(view.get_rotation(), 0);
    // At 250000 no rotation sticks.
    view.set_rotation(45);
    EXPECT_EQ(view.get_rotation(), 0);
    EXPECT_EQ(view.get_scale_value(), 250000u);
}

TEST_F(ViewFixture, ReZoomIntoScaleBounds)
{
    view.set_min_scale(1000);
    view.set_max_scale(100000);
    // 45 units across would be 900; 6000 units across would be 120000.
    EXPECT_TRUE(view.zoom_to_rect(XrRectangle(kCentre.x, kCentre.y, kCentre.x + 45, kCentre.y + 10)));
    EXPECT_EQ(view.get_scale_value(), 1010u);
    EXPECT_TRUE(view.zoom_to_rect(XrRectangle(kCentre.x, kCentre.y, kCentre.x + 6000, kCentre.y + 10)));
    EXPECT_EQ(view.get_scale_value(), 99990u);
    // A request of 500 ends at 1010; one of 900 is re-zoomed to the size of
    // 1010 and then stored as 900.
    EXPECT_TRUE(view.set_center_and_scale(&kCentre, 500, true));
    EXPECT_EQ(view.get_scale_value(), 1010u);
    EXPECT_TRUE(view.set_center_and_scale(&kCentre, 900, true));
    EXPECT_EQ(view.get_scale_value(), 900u);
    const XrRectangle w = view.get_world_rect();
    EXPECT_NEAR(w.right - w.left, 50, 1);
}

TEST_F(ViewFixture, ZeroCoordinateIsARealCentre)
{
    const XrPoint on_axis(0, 5000);
    ASSERT_TRUE(view.set_center_and_scale(&on_axis, 10000, true));
    EXPECT_EQ(view.get_centre(), on_axis);
    const XrPoint origin(0, 0);
    ASSERT_TRUE(view.set_center_and_scale(&origin, 10000, true));
    EXPECT_EQ(view.get_centre(), origin);
    // Only a missing centre keeps the current one.
    ASSERT_TRUE(view.set_center_and_scale(nullptr, 20000, true));
    EXPECT_EQ(view.get_centre(), origin);
}

TEST_F(ViewFixture, LimitsRefuseOutsideCentres)
{
    view.set_limits(XrRectangle(0, 0, 150000, 250000));
    const XrPoint outside(200000, 100000);
    const XrRectangle before = view.get_world_rect();
    EXPECT_FALSE(view.set_center_and_scale(&outside, 5000, true));
    EXPECT_EQ(view.get_world_rect(), before);
    EXPECT_FALSE(view.zoom_to_rect(XrRectangle(190000, 0, 210000, 10)));
    const XrPoint edge(150000, 250000);
    EXPECT_TRUE(view.set_center_and_scale(&edge, 5000, true));
    // Limits of zero area accept every centre.
    view.set_limits(XrRectangle(5, 5, 5, 900));
    EXPECT_TRUE(view.set_center_and_scale(&outside, 5000, true));
}

TEST(MapViewBeforeFit, ConversionsDoNothing)
{
    XrMapView view(nullptr);
    int sx = 7, sy = 9;
    view.world_to_screen_2d(1, 2, sx, sy);
    EXPECT_EQ(sx, 7);
    EXPECT_EQ(sy, 9);
    view.screen_to_world_2d(1, 2, sx, sy);
    EXPECT_EQ(sx, 7);
    EXPECT_EQ(view.pixels_to_world(100), 0);
    // A rotation before the first fit only turns the extent.
    view.set_screen_size(XrSize(800, 480));
    view.set_rotation(90);
    EXPECT_EQ(view.get_extent_width(), 800);
    EXPECT_EQ(view.get_extent_height(), 800);
    EXPECT_EQ(view.get_pixels_per_unit(), 0.0);
}

TEST_F(ViewFixture, ScreenSizeKeepsCentreAndScaleOfPixels)
{
    view.set_screen_size(XrSize(400, 240));
    EXPECT_EQ(view.get_centre(), kCentre);
    EXPECT_DOUBLE_EQ(view.get_pixels_per_unit(), 1.6);
    const XrRectangle w = view.get_world_rect();
    EXPECT_EQ(w.right - w.left, 250);
    view.set_screen_size(XrSize(0, 0)); // ignored
    EXPECT_EQ(view.get_screen_width(), 400);
}

TEST_F(ViewFixture, OverrideRectReplacesDrawRect)
{
    const XrRectangle box(1, 2, 3, 4);
    view.set_override_rect(&box);
    EXPECT_EQ(view.get_draw_rect(), box);
    view.set_override_rect(nullptr);
    EXPECT_EQ(view.get_draw_rect(), view.get_world_rect());
}

TEST_F(ViewFixture, HiddenPanelShiftsCentreSideways)
{
    // A panel covers the right 200 pixels: the centre asked for moves by
    // half of them (62 units) so that it shows in the visible part.
    view.set_visible_rect(XrRectangle(0, 0, 600, 480));
    ASSERT_TRUE(view.set_center_and_scale(&kCentre, 10000, false));
    EXPECT_EQ(view.get_centre(), XrPoint(kCentre.x + 62, kCentre.y));
    // no_shift keeps it.
    ASSERT_TRUE(view.set_center_and_scale(&kCentre, 10000, true));
    EXPECT_EQ(view.get_centre(), kCentre);
}

// --- Perspective ----------------------------------------------------------------

struct View3D : ViewFixture {
    View3D()
    {
        map.set_3d(true);
        view.set_tilt(44);
        view.set_3d_parameters(1000, 200, 80, 2000, 4000, 500);
        view.update_3d();
    }
};

TEST_F(View3D, CentreSitsAboveBottomEdge)
{
    int sx = 0, sy = 0;
    view.world_to_screen_3d(kCentre.x, kCentre.y, 200, sx, sy);
    EXPECT_EQ(sx, 400);
    EXPECT_EQ(sy, kHeight - 80);
    // Farther ahead is higher on the screen and nearer the middle.
    int fx = 0, fy = 0;
    view.world_to_screen_3d(kCentre.x + 100, kCentre.y + 2000, 0, fx, fy);
    int nx = 0, ny = 0;
    view.world_to_screen_3d(kCentre.x + 100, kCentre.y + 200, 0, nx, ny);
    EXPECT_LT(fy, ny);
    EXPECT_LT(fx - 400, nx - 400);
    // The 3D world rectangle spans half_width each side, ahead and behind.
    EXPECT_EQ(view.get_world_rect_3d(),
              XrRectangle(kCentre.x - 2000, kCentre.y - 500, kCentre.x + 2000, kCentre.y + 4000));
    EXPECT_EQ(view.get_forward(), XrPoint(0, 100));
}

TEST_F(View3D, PointsBehindTheEyeMeetTheNearPlane)
{
    // Far behind the eye the depth is clamped to 10 - eye_distance: the
    // denominator is 10.
    int sx = 0, sy = 0;
    view.world_to_screen_3d(kCentre.x + 5, kCentre.y - 100000, 0, sx, sy);
    EXPECT_EQ(sx, 5 * 1000 / 10 + view.get_screen_offset_x());
}

TEST_F(View3D, ScreenToWorldInvertsTheProjection)
{
    for (int rotation : {0, 30, 90, 270}) {
        view.set_rotation(rotation);
        view.update_3d();
        const XrPoint probes[] = {{0, 0}, {300, 800}, {-500, 2500}, {100, -200}};
        for (const XrPoint& d : probes) {
            // Ahead of the eye, in the view's own forward frame.
            XrPoint w = d;
            rotate_point(w, 360 - rotation);
            int sx = 0, sy = 0, x = 0, y = 0;
            view.world_to_screen_3d(kCentre.x + w.x, kCentre.y + w.y, 0, sx, sy);
            view.screen_to_world_3d(sx, sy, 0, x, y);
            const double tol = 3 + std::abs(d.y) / 50.0;
            EXPECT_NEAR(x, kCentre.x + w.x, tol) << rotation << ": " << d.x << "," << d.y;
            EXPECT_NEAR(y, kCentre.y + w.y, tol) << rotation << ": " << d.x << "," << d.y;
        }
    }
}

TEST_F(View3D, CameraSpaceClipAndProject)
{
    XrPoint pts[] = {{kCentre.x, kCentre.y + 100}, {kCentre.x, kCentre.y + 100}, {kCentre.x + 50, kCentre.y - 600}};
    const int n = view.to_camera_space(pts, 3);
    ASSERT_EQ(n, 2); // the repeated point is dropped
    EXPECT_EQ(pts[0], XrPoint(0, (100 - 80) * 3));
    EXPECT_EQ(pts[1], XrPoint(50, (-600 - 80) * 3));
    int x = 0, depth = 0;
    view.zclip(pts[0], pts[1], x, depth);
    EXPECT_EQ(depth, 10 - 1000);
    EXPECT_EQ(x, 0 + 50 * (-990 - 60) / (-2040 - 60));
    // A clipped point projects like one at the near plane.
    int sx = 0, sy = 0, cx = 0, cy = 0;
    view.project_3d_clipped(kCentre.x + 50, kCentre.y - 600, 0, nullptr, sx, sy);
    EXPECT_EQ(sx, 50 * 1000 / 10 + view.get_screen_offset_x());
    const XrPoint previous(kCentre.x, kCentre.y + 100);
    view.project_3d_clipped(kCentre.x + 50, kCentre.y - 600, 0, &previous, cx, cy);
    EXPECT_EQ(cx, (0 + (10 - 1000 - 60) * 50 / (-2040 - 60)) * 1000 / 10 + view.get_screen_offset_x());
    EXPECT_EQ(sy, cy);
}

TEST_F(View3D, WorldToScreenFollowsTheMapMode)
{
    XrPoint screen;
    view.world_to_screen(kCentre, screen);
    int sx = 0, sy = 0;
    view.world_to_screen_3d(kCentre.x, kCentre.y, XrMapView::POINT_HEIGHT, sx, sy);
    EXPECT_EQ(screen, XrPoint(sx, sy));
    map.set_3d(false);
    view.world_to_screen(kCentre, screen);
    EXPECT_EQ(screen, XrPoint(400, 240));
}

} // namespace
