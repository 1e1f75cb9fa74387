#include <climits>
#include <cmath>

#include <gtest/gtest.h>

#include "common/geometry/xr_geometry.h"

namespace {

struct ClipCase {
    const char* name;
    int x0, y0, x1, y1;
    bool result;
    int ex0, ey0, ex1, ey1;
};

// 800 x 480 screen: the widened screen runs from -15 to 815 (W = 830) and
// from -15 to 495 (H = 510).
const ClipCase clip_cases[] = {
    {"inside", 10, 10, 700, 400, true, 10, 10, 700, 400},
    {"end exactly on the widened right edge", 100, 100, 815, 300, true, 100, 100, 815, 300},
    {"horizontal over the left edge", -100, 100, 100, 100, true, -15, 100, 100, 100},
    {"horizontal over the right edge", 700, 100, 900, 100, true, 700, 100, 814, 100},
    {"right edge, ends swapped back", 900, 100, 700, 100, true, 814, 100, 700, 100},
    {"diagonal over the left edge", -115, 0, 85, 200, true, -15, 100, 85, 200},
    {"diagonal over the right edge", 715, 100, 915, 300, true, 715, 100, 814, 200},
    {"vertical through top and bottom", 100, -100, 100, 600, true, 100, -15, 100, 494},
    {"both above", 0, -20, 100, -30, false, 0, 0, 0, 0},
    {"both below", 0, 495, 10, 500, false, 0, 0, 0, 0},
    {"both left", -16, 0, -100, 300, false, 0, 0, 0, 0},
    {"both right", 815, 0, 900, 300, false, 0, 0, 0, 0},
    // Passes beside the corner: wholly outside once its ends are moved.
    {"past the top left corner", -100, 50, 50, -100, false, 0, 0, 0, 0},
    {"far past the bottom left corner", 33554431, 543162369, -114294528, 1, false, 0, 0, 0, 0},
    {"through the top left corner", -100, 85, 85, -100, true, -15, 0, 0, -15},
    // Products of these coordinates need more than 32 (and 64) bits.
    {"full-range diagonal", INT_MIN, INT_MIN, INT_MAX, INT_MAX, true, -15, -15, 494, 494},
    {"full-range horizontal", -2000000000, 240, 2000000000, 240, true, -15, 240, 814, 240},
};

} // namespace

TEST(ClipLineToScreen, Table)
{
    const XrSize screen(800, 480);
    for (const ClipCase& c : clip_cases) {
        int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        bool r = clip_line_to_screen(c.x0, c.y0, c.x1, c.y1, screen, x0, y0, x1, y1);
        EXPECT_EQ(r, c.result) << c.name;
        if (r && c.result) {
            EXPECT_EQ(x0, c.ex0) << c.name;
            EXPECT_EQ(y0, c.ey0) << c.name;
            EXPECT_EQ(x1, c.ex1) << c.name;
            EXPECT_EQ(y1, c.ey1) << c.name;
        }
    }
}

TEST(ClipLineToScreen, SteepLineFarOutsideStaysOnScreen)
{
    // Crosses the screen; the far ends need 64-bit products.
    int x0, y0, x1, y1;
    ASSERT_TRUE(clip_line_to_screen(400 - 1000000, 240 - 2000000000, 400 + 1000000, 240 + 2000000000, XrSize(800, 480),
                                    x0, y0, x1, y1));
    EXPECT_EQ(y0, -15);
    EXPECT_EQ(y1, 494);
    EXPECT_NEAR(x0, 400, 1);
    EXPECT_NEAR(x1, 400, 1);
}

TEST(ProjectPointOnSegment, Cases)
{
    int fx = -1, fy = -1;
    EXPECT_FALSE(project_point_on_segment(5, 5, 3, 3, 3, 3, fx, fy)) << "zero-length segment";
    EXPECT_FALSE(project_point_on_segment(-1, 5, 0, 0, 10, 0, fx, fy)) << "before the start";
    EXPECT_FALSE(project_point_on_segment(11, 5, 0, 0, 10, 0, fx, fy)) << "beyond the end";
    ASSERT_TRUE(project_point_on_segment(5, 5, 0, 0, 10, 0, fx, fy));
    EXPECT_EQ(fx, 5);
    EXPECT_EQ(fy, 0);
    ASSERT_TRUE(project_point_on_segment(10, 0, 0, 0, 10, 0, fx, fy)) << "an end is on the segment";
    EXPECT_EQ(fx, 10);
    // t = 0.5 of (3, 3): 1.5 truncated.
    ASSERT_TRUE(project_point_on_segment(1, 2, 0, 0, 3, 3, fx, fy));
    EXPECT_EQ(fx, 1);
    EXPECT_EQ(fy, 1);
}

TEST(SegmentsIntersect, Table)
{
    struct Case {
        const char* name;
        int s[8];
        bool result;
    } cases[] = {
        {"collinear overlapping horizontals", {0, 0, 10, 0, 5, 0, 20, 0}, true},
        {"horizontals at different y", {0, 0, 10, 0, 0, 1, 10, 1}, false},
        {"horizontal touching end to end", {0, 0, 10, 0, 10, 0, 20, 0}, true},
        // Range test: the diagonal crosses y = 0 at x = 15, outside the
        // horizontal, but its x range overlaps and its y range includes 0.
        {"horizontal and diagonal by ranges", {0, 0, 10, 0, 5, -10, 25, 10}, true},
        {"horizontal and diagonal x ranges apart", {0, 0, 10, 0, 11, -10, 25, 10}, false},
        {"vertical and diagonal", {0, 0, 0, 10, -5, 2, 5, 8}, true},
        {"vertical and diagonal apart", {0, 0, 0, 10, 1, 2, 5, 8}, false},
        {"crossing diagonals", {0, 0, 10, 10, 0, 10, 10, 0}, true},
        {"parallel diagonals", {0, 0, 10, 10, 0, 1, 10, 11}, false},
        {"diagonals missing", {0, 0, 10, 10, 20, 0, 30, -10}, false},
        {"diagonals meeting outside the first", {0, 0, 2, 2, 0, 10, 10, 0}, false},
    };
    for (const Case& c : cases) {
        const int* s = c.s;
        EXPECT_EQ(segments_intersect(s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7]), c.result) << c.name;
    }
}

TEST(SegmentsIntersect, CrossingPointOnlyForTheGeneralCase)
{
    int x = -1, y = -1;
    ASSERT_TRUE(segments_intersect(0, 0, 10, 10, 0, 10, 10, 0, &x, &y));
    EXPECT_EQ(x, 5);
    EXPECT_EQ(y, 5);
    ASSERT_TRUE(segments_intersect(0, 0, 10, 10, 0, 10, 10, 0, &x, nullptr));
    x = y = -1;
    ASSERT_TRUE(segments_intersect(0, 0, 10, 0, 5, -10, 5, 10, &x, &y));
    EXPECT_EQ(x, -1) << "special cases leave the outputs alone";
    EXPECT_EQ(y, -1);
}

TEST(Angles, GetAngle)
{
    const XrPoint o(0, 0);
    EXPECT_DOUBLE_EQ(get_angle(o, XrPoint(0, 5)), 1.570796325);
    EXPECT_DOUBLE_EQ(get_angle(o, XrPoint(0, -5)), 4.712388975);
    EXPECT_DOUBLE_EQ(get_angle(o, o), 1.570796325);
    EXPECT_DOUBLE_EQ(get_angle(o, XrPoint(-5, 0)), 3.14159265);
    EXPECT_DOUBLE_EQ(get_angle(o, XrPoint(5, 0)), 0.0);
    EXPECT_NEAR(get_angle(o, XrPoint(5, 5)), 0.785398163, 1e-9);
    EXPECT_NEAR(get_angle(o, XrPoint(5, -5)), 6.2831853 - 0.785398163, 1e-9);
    EXPECT_NEAR(get_angle(o, XrPoint(-5, -5)), 3.14159265 + 0.785398163, 1e-9);
    // Far-apart points: the difference does not wrap.
    EXPECT_DOUBLE_EQ(get_angle(XrPoint(INT_MIN, 0), XrPoint(INT_MAX, 0)), 0.0);
}

TEST(Angles, BetweenAndDifference)
{
    struct Case {
        int a, b, between;
        bool flag;
    } cases[] = {
        {350, 10, 20, false}, {10, 350, 20, true}, {90, 270, 180, true}, {0, 180, 180, true},
        {100, 30, 70, true},  {0, 90, 90, false},  {90, 0, 90, true},     {200, 200, 0, true},
        {100, 100, 0, false}, {181, 359, 178, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(get_angle_between(c.a, c.b), c.between) << c.a << " " << c.b;
        bool flag = !c.flag;
        EXPECT_EQ(get_angle_difference(c.a, c.b, flag), c.between) << c.a << " " << c.b;
        EXPECT_EQ(flag, c.flag) << c.a << " " << c.b;
    }
}

TEST(RotatePoint, Cases)
{
    struct Case {
        int x, y, deg, ex, ey;
    } cases[] = {
        {10, 0, 90, 0, -10}, {10, 0, 0, 10, 0},   {10, 0, 180, -10, 0},
        {10, 0, -90, 0, 10}, {3, 4, 45, 5, 1},    {-3, -4, 45, -5, -1},
        {0, 0, 33, 0, 0},    {7, -2, 360, 7, -2},
        // Saturates instead of overflowing.
        {2000000000, 2000000000, 45, INT_MAX, 0},
    };
    for (const Case& c : cases) {
        XrPoint p(c.x, c.y);
        rotate_point(p, c.deg);
        EXPECT_EQ(p, XrPoint(c.ex, c.ey)) << c.x << "," << c.y << " by " << c.deg;
    }
}

TEST(Distances, PointsAndSegments)
{
    EXPECT_DOUBLE_EQ(XrPoint(0, 0).distance(3, 4), 5.0);
    EXPECT_DOUBLE_EQ(XrPoint(1, 1).distance(XrPoint(4, 5)), 5.0);
    EXPECT_DOUBLE_EQ(XrPoint(1, 1).distance_sq(XrPoint(4, 5)), 25.0);
    // Differences wider than 32 bits stay exact.
    EXPECT_DOUBLE_EQ(XrPoint(INT_MIN, 0).distance(XrPoint(INT_MAX, 0)), 4294967295.0);
    EXPECT_DOUBLE_EQ(dot_product(XrPoint(2, 3), XrPoint(4, -5)), -7.0);
    EXPECT_DOUBLE_EQ(dot_product(XrPoint(INT_MIN, INT_MIN), XrPoint(INT_MIN, INT_MIN)), 2.0 * 4611686018427387904.0);

    const XrPoint a(0, 0), b(10, 0);
    EXPECT_DOUBLE_EQ(distance_to_segment(XrPoint(5, 3), a, b), 3.0);
    EXPECT_DOUBLE_EQ(distance_to_segment(XrPoint(-3, 4), a, b), 5.0) << "nearest is A";
    EXPECT_DOUBLE_EQ(distance_to_segment(XrPoint(13, 4), a, b), 5.0) << "nearest is B";
    EXPECT_DOUBLE_EQ(distance_to_segment(XrPoint(3, 4), a, a), 5.0) << "zero-length segment";
    EXPECT_NEAR(distance_to_segment(XrPoint(0, 0), XrPoint(INT_MIN, 1), XrPoint(INT_MAX, 1)), 1.0, 0.5);
}

TEST(ClipPointToRect, Cases)
{
    const XrRectangle r(0, 0, 100, 100);
    XrPoint a(50, 50);
    EXPECT_TRUE(clip_point_to_rect(r, a, XrPoint(500, 500)));
    EXPECT_EQ(a, XrPoint(50, 50)) << "inside is kept";

    a = XrPoint(-50, 50);
    EXPECT_TRUE(clip_point_to_rect(r, a, XrPoint(50, 70)));
    EXPECT_EQ(a, XrPoint(0, 60));

    a = XrPoint(150, 20);
    EXPECT_TRUE(clip_point_to_rect(r, a, XrPoint(50, 20)));
    EXPECT_EQ(a, XrPoint(100, 20));

    a = XrPoint(-50, 50);
    EXPECT_FALSE(clip_point_to_rect(r, a, XrPoint(-10, 50))) << "no crossing";

    // Crosses x = 0 at t = 0.5 and y = 0 at t = 2/3: the later crossing
    // decides and the point stays on the segment.
    a = XrPoint(-10, -20);
    EXPECT_TRUE(clip_point_to_rect(r, a, XrPoint(10, 10)));
    EXPECT_EQ(a, XrPoint(3, 0));

    // On the left edge's line but above: x has no extent to divide by.
    a = XrPoint(0, -10);
    EXPECT_TRUE(clip_point_to_rect(r, a, XrPoint(0, 10)));
    EXPECT_EQ(a, XrPoint(0, 0));

    // Misses the corner.
    a = XrPoint(-10, 50);
    EXPECT_FALSE(clip_point_to_rect(XrRectangle(0, 0, 100, 40), a, XrPoint(10, 60)));
}

TEST(RectangleHelpers, RotateBoundingBox)
{
    XrRectangle r(0, 0, 10, 20);
    rotate_bounding_box(r, 0);
    EXPECT_EQ(r, XrRectangle(0, 0, 10, 20));
    rotate_bounding_box(r, 90);
    EXPECT_EQ(r, XrRectangle(0, -10, 20, 0));
    XrRectangle s(-10, -10, 10, 10);
    rotate_bounding_box(s, 45);
    EXPECT_EQ(s, XrRectangle(-14, -14, 14, 14));
}

TEST(RectangleHelpers, EdgePoint)
{
    const XrRectangle r(0, 0, 800, 480); // centre (400, 240)
    struct Case {
        XrPoint p, e;
    } cases[] = {
        {{400, -100}, {400, 0}},   // straight up
        {{400, 1000}, {400, 480}}, // straight down
        {{1000, 240}, {800, 240}}, // right, horizontal
        {{-5, 240}, {0, 240}},     // left, horizontal
        {{500, 230}, {800, 200}},  // flat: right edge
        {{410, 0}, {410, 0}},      // steep: top edge
        {{300, 480}, {300, 480}},  // steep: bottom edge
        {{400, 240}, {800, 240}},  // the centre itself
    };
    for (const Case& c : cases)
        EXPECT_EQ(get_edge_point(r, c.p), c.e) << c.p.x << "," << c.p.y;
    EXPECT_EQ(get_edge_point(XrRectangle(0, 5, 100, 5), XrPoint(50, 100)), XrPoint(50, 5)) << "flat rectangle";
    EXPECT_EQ(get_edge_point(XrRectangle(7, 7, 7, 7), XrPoint(0, 0)), XrPoint(7, 7)) << "point rectangle";
}
