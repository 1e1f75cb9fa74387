#include <cmath>
#include <initializer_list>
#include <vector>

#include <gtest/gtest.h>

#include "common/geometry/xr_polygon.h"

namespace {

void fill(XrPolygon& poly, std::initializer_list<XrPoint> pts)
{
    for (const XrPoint& p : pts)
        poly.add_point(p);
}

std::vector<XrPoint> points_of(const XrPolygon& poly)
{
    std::vector<XrPoint> out;
    XrPoint p;
    for (int i = 0; poly.get_point(i, p); ++i)
        out.push_back(p);
    return out;
}

} // namespace

TEST(PolygonPoints, BoundingBoxOnlyGrows)
{
    XrPolygon poly(false, 7);
    EXPECT_EQ(poly.get_bounding_box(), nullptr);
    poly.add_point(XrPoint(5, 5));
    ASSERT_NE(poly.get_bounding_box(), nullptr);
    EXPECT_EQ(*poly.get_bounding_box(), XrRectangle(5, 5, 5, 5));
    poly.add_point(XrPoint(-1, 10));
    EXPECT_EQ(*poly.get_bounding_box(), XrRectangle(-1, 5, 5, 10));

    EXPECT_TRUE(poly.remove_point(1));
    EXPECT_EQ(*poly.get_bounding_box(), XrRectangle(-1, 5, 5, 10)) << "removing keeps the box";
    EXPECT_FALSE(poly.insert_point(XrPoint(50, 50), 5)) << "beyond the count";
    EXPECT_EQ(*poly.get_bounding_box(), XrRectangle(-1, 5, 50, 50)) << "widened all the same";
    EXPECT_EQ(poly.get_point_count(), 1);

    poly.clear();
    EXPECT_EQ(poly.get_point_count(), 0);
    EXPECT_EQ(poly.get_bounding_box(), nullptr);
    poly.add_point(XrPoint(100, 100));
    EXPECT_EQ(*poly.get_bounding_box(), XrRectangle(100, 100, 100, 100)) << "the first point starts a new box";
    EXPECT_EQ(poly.get_type(), 7);
}

TEST(PolygonPoints, InsertSetRemove)
{
    XrPolygon poly;
    fill(poly, {{1, 1}, {3, 3}});
    EXPECT_TRUE(poly.insert_point(XrPoint(2, 2), 1));
    EXPECT_TRUE(poly.insert_point(XrPoint(4, 4), 3));
    EXPECT_EQ(points_of(poly), (std::vector<XrPoint>{{1, 1}, {2, 2}, {3, 3}, {4, 4}}));

    EXPECT_TRUE(poly.set_point(XrPoint(9, 9), 1));
    EXPECT_TRUE(poly.set_point(XrPoint(7, 7), 6));
    EXPECT_EQ(points_of(poly), (std::vector<XrPoint>{{1, 1}, {9, 9}, {3, 3}, {4, 4}, {0, 0}, {0, 0}, {7, 7}}));
    EXPECT_EQ(*poly.get_bounding_box(), XrRectangle(1, 1, 9, 9)) << "the filled slots do not widen the box";

    EXPECT_TRUE(poly.remove_point(0));
    EXPECT_FALSE(poly.remove_point(6));
    XrPoint p;
    EXPECT_TRUE(poly.get_point(0, p));
    EXPECT_EQ(p, XrPoint(9, 9));
    EXPECT_FALSE(poly.get_point(6, p));
}

TEST(PolygonPoints, AssignmentAndPolyline)
{
    XrPolygon a(false, 3);
    fill(a, {{0, 0}, {10, 0}, {10, 10}});
    XrPolygon b(true, 9);
    fill(b, {{50, 50}});
    b = a;
    EXPECT_EQ(points_of(b), points_of(a));
    EXPECT_EQ(*b.get_bounding_box(), XrRectangle(0, 0, 10, 10));
    EXPECT_FALSE(b.is_open());
    EXPECT_EQ(b.get_type(), 3);
    const XrPolygon& same = b;
    b = same;
    EXPECT_EQ(b.get_point_count(), 3);

    XrArray<XrPoint> line;
    line.append(XrPoint(1, 2));
    line.append(XrPoint(3, 4));
    b.set_polyline(line);
    EXPECT_TRUE(b.is_open());
    EXPECT_EQ(points_of(b), (std::vector<XrPoint>{{1, 2}, {3, 4}}));
}

TEST(PolygonContains, Table)
{
    XrPolygon square;
    fill(square, {{0, 0}, {10, 0}, {10, 10}, {0, 10}});
    XrPolygon open_square(true, 0);
    fill(open_square, {{0, 0}, {10, 0}, {10, 10}, {0, 10}});
    // A vertex straight above the point: both its edges span the point's x.
    XrPolygon triangle;
    fill(triangle, {{0, 10}, {5, 0}, {10, 10}});
    XrPolygon v_shape;
    fill(v_shape, {{0, 0}, {5, 10}, {10, 0}});
    // A notch from below whose inner corner is at (5, 5).
    XrPolygon notched;
    fill(notched, {{0, 0}, {10, 0}, {10, 10}, {5, 5}, {0, 10}});
    // An outer ring and a hole, each repeating its first point.
    XrPolygon holed;
    fill(holed, {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}, {3, 3}, {7, 3}, {7, 7}, {3, 7}, {3, 3}});
    XrPolygon two_points;
    fill(two_points, {{0, 0}, {10, 10}});

    struct Case {
        const char* name;
        const XrPolygon& poly;
        XrPoint p;
        bool inside;
    } cases[] = {
        {"square centre", square, {5, 5}, true},
        {"square vertical edge", square, {0, 5}, true},
        {"open polyline, same point", open_square, {0, 5}, false},
        {"open polyline vertex", open_square, {10, 10}, true},
        {"square vertex", square, {10, 10}, true},
        {"square top edge", square, {5, 0}, true},
        {"right of square", square, {15, 5}, false},
        {"above square", square, {5, -1}, false},
        {"under a triangle's apex", triangle, {5, 5}, true},
        {"beside a triangle", triangle, {1, 2}, false},
        {"over a V's bottom vertex", v_shape, {5, 5}, true},
        {"in the notch", notched, {5, 8}, false},
        {"over the notch", notched, {5, 3}, true},
        {"in the hole", holed, {5, 5}, false},
        {"outer ring, left of the hole", holed, {1, 5}, true},
        {"outer ring, right of the hole", holed, {8, 5}, true},
        {"two points only", two_points, {5, 5}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.poly.contains_point(c.p), c.inside) << c.name;
}

TEST(PolygonOverlap, Rectangles)
{
    XrPolygon square;
    fill(square, {{0, 0}, {10, 0}, {10, 10}, {0, 10}});
    XrPolygon bar;
    fill(bar, {{0, 4}, {20, 4}, {20, 6}, {0, 6}});
    XrPolygon ell;
    fill(ell, {{0, 0}, {10, 0}, {10, 2}, {2, 2}, {2, 10}, {0, 10}});
    XrPolygon empty;

    struct Case {
        const char* name;
        const XrPolygon& poly;
        XrRectangle rect;
        bool overlap;
    } cases[] = {
        {"corner overlap", square, {5, 5, 20, 20}, true},
        {"touching boxes", square, {10, 0, 20, 10}, false},
        {"rectangle inside polygon", square, {2, 2, 8, 8}, true},
        {"polygon inside rectangle", square, {-5, -5, 15, 15}, true},
        {"crossing without shared points", bar, {8, 0, 12, 10}, true},
        {"disjoint", square, {20, 20, 30, 30}, false},
        {"in the bend of an L", ell, {5, 5, 8, 8}, false},
        {"empty polygon", empty, {-100, -100, 100, 100}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.poly.intersects(c.rect), c.overlap) << c.name;
}

TEST(PolygonOverlap, Polygons)
{
    XrPolygon big;
    fill(big, {{0, 0}, {100, 0}, {100, 100}, {0, 100}});
    XrPolygon small;
    fill(small, {{40, 40}, {60, 40}, {60, 60}, {40, 60}});
    XrPolygon shifted;
    fill(shifted, {{50, 50}, {150, 50}, {150, 150}, {50, 150}});
    // Boxes overlap, shapes do not.
    XrPolygon tri_a;
    fill(tri_a, {{0, 0}, {10, 0}, {0, 10}});
    XrPolygon tri_b;
    fill(tri_b, {{9, 9}, {12, 5}, {5, 12}});
    XrPolygon empty;

    EXPECT_TRUE(big.intersects(shifted));
    EXPECT_TRUE(big.intersects(small)) << "contained";
    EXPECT_TRUE(small.intersects(big)) << "containing";
    EXPECT_FALSE(tri_a.intersects(tri_b));
    EXPECT_FALSE(tri_b.intersects(tri_a));
    EXPECT_FALSE(big.intersects(empty));
    EXPECT_FALSE(empty.intersects(big));
}

TEST(PolygonOverlap, SegmentAndClosingEdge)
{
    XrPolygon closed;
    fill(closed, {{0, 0}, {10, 0}, {10, 10}});
    XrPolygon open(true, 0);
    fill(open, {{0, 0}, {10, 0}, {10, 10}});
    // Crosses only the closing edge (10, 10) -> (0, 0).
    EXPECT_TRUE(closed.intersects_segment(2, 6, 6, 2));
    EXPECT_FALSE(open.intersects_segment(2, 6, 6, 2));
    EXPECT_TRUE(open.intersects_segment(5, -5, 6, 5));
    EXPECT_FALSE(XrPolygon().intersects_segment(0, 0, 1, 1));
}

TEST(PolygonMeasure, Length)
{
    XrPolygon open(true, 0);
    fill(open, {{0, 0}, {3, 4}, {3, 10}});
    EXPECT_DOUBLE_EQ(open.get_length(), 11.0);
    XrPolygon closed;
    fill(closed, {{0, 0}, {3, 4}, {3, 10}});
    EXPECT_DOUBLE_EQ(closed.get_length(), 11.0 + std::sqrt(109.0));
    XrPolygon one;
    fill(one, {{5, 5}});
    EXPECT_DOUBLE_EQ(one.get_length(), 0.0);
}

TEST(PolygonMeasure, NearestPoint)
{
    XrPolygon line(true, 0);
    fill(line, {{0, 0}, {100, 0}, {100, 100}});

    struct Case {
        XrPoint p, nearest;
        double distance, offset;
        int index, direction, side;
    } cases[] = {
        {{50, 10}, {50, 0}, 10, 50, 0, 0, 0},
        {{50, -10}, {50, 0}, 10, 50, 0, 0, 1},
        {{90, 50}, {100, 50}, 10, 150, 1, 90, 0},
        // Beyond both edges: the vertex, with the mean of its two directions.
        {{110, -10}, {100, 0}, std::sqrt(200.0), 100, 1, 45, 2},
        {{-3, -4}, {0, 0}, 5, 0, 0, 0, 2},
    };
    for (const Case& c : cases) {
        XrPoint nearest;
        double distance = -1, offset = -1;
        int index = -1, direction = -1, side = -1;
        ASSERT_TRUE(line.get_nearest_point(c.p, nearest, &distance, &offset, &index, &direction, &side));
        EXPECT_EQ(nearest, c.nearest) << c.p.x << "," << c.p.y;
        EXPECT_DOUBLE_EQ(distance, c.distance) << c.p.x << "," << c.p.y;
        EXPECT_DOUBLE_EQ(offset, c.offset) << c.p.x << "," << c.p.y;
        EXPECT_EQ(index, c.index) << c.p.x << "," << c.p.y;
        EXPECT_EQ(direction, c.direction) << c.p.x << "," << c.p.y;
        EXPECT_EQ(side, c.side) << c.p.x << "," << c.p.y;
    }

    XrPoint nearest;
    EXPECT_TRUE(line.get_nearest_point(XrPoint(1, 1), nearest)) << "outputs are optional";
    XrPolygon one;
    fill(one, {{5, 5}});
    EXPECT_FALSE(one.get_nearest_point(XrPoint(1, 1), nearest));
}

TEST(PolygonMeasure, PointAtDistance)
{
    XrPolygon line(true, 0);
    fill(line, {{0, 0}, {100, 0}, {200, 100}});
    const double len = line.get_length(); // 100 + 141.42...

    struct Case {
        double distance;
        bool found;
        XrPoint p;
        int direction;
    } cases[] = {
        {0, true, {0, 0}, 0},
        {33.3, true, {33, 0}, 0},
        {-10, true, {-10, 0}, 0},                       // before the start
        {171, true, {150, 50}, 45},      // just past half of the second edge
        {len, true, {200, 100}, 45},
        {len + 0.9, true, {200, 100}, 45}, // within the slack of 1.0
        {len + 1.5, false, {}, 0},
    };
    for (const Case& c : cases) {
        XrPoint p(-1, -1);
        std::int16_t direction = -1;
        double x = 0, y = 0;
        ASSERT_EQ(line.get_point_at_distance(c.distance, p, direction, &x, &y), c.found) << c.distance;
        if (!c.found)
            continue;
        EXPECT_EQ(p, c.p) << c.distance;
        EXPECT_EQ(direction, c.direction) << c.distance;
        EXPECT_NEAR(x, c.p.x, 1.0) << c.distance;
        EXPECT_NEAR(y, c.p.y, 1.0) << c.distance;
    }

    XrPoint p;
    std::int16_t direction;
    double x = 0;
    ASSERT_TRUE(line.get_point_at_distance(33.3, p, direction, &x, nullptr));
    EXPECT_DOUBLE_EQ(x, 33.3);

    XrPolygon stutter(true, 0);
    fill(stutter, {{0, 0}, {0, 0}, {10, 0}});
    ASSERT_TRUE(stutter.get_point_at_distance(0.5, p, direction)) << "zero-length first edge";
    EXPECT_EQ(p, XrPoint(0, 0));
    XrPolygon one;
    fill(one, {{5, 5}});
    EXPECT_FALSE(one.get_point_at_distance(0, p, direction));
}

TEST(PolygonMeasure, TurnAngle)
{
    XrPolygon east(true, 0);
    fill(east, {{0, 0}, {100, 0}});
    XrPolygon south(true, 0);
    fill(south, {{100, 0}, {100, 100}});
    XrPolygon north(true, 0);
    fill(north, {{100, 0}, {100, -100}});
    XrPolygon one(true, 0);
    fill(one, {{100, 0}});

    EXPECT_NEAR(get_turn_angle(east, true, south, true, 1), 1.570796325, 1e-9);
    EXPECT_NEAR(get_turn_angle(east, true, north, true, 1), 4.712388975, 1e-9);
    // Leaving east at its start runs west (half turn); entering north from
    // its end runs south.
    EXPECT_NEAR(get_turn_angle(east, false, north, false, 1), 6.2831853 - 1.570796325, 1e-9);
    EXPECT_DOUBLE_EQ(get_turn_angle(east, true, one, true, 1), -1.0);
    EXPECT_DOUBLE_EQ(get_turn_angle(one, true, east, true, 1), -1.0);

    // A short last piece: with scale 1 (20 units) the walk goes back past it.
    XrPolygon hook(true, 0);
    fill(hook, {{0, 100}, {0, 0}, {5, 0}});
    EXPECT_NEAR(get_turn_angle(hook, true, east, true, 0), 0.0, 1e-9);
    EXPECT_NEAR(get_turn_angle(hook, true, east, true, 1), 6.2831853 - (std::atan(-20.0) + 6.2831853), 1e-9);
}

TEST(PolygonClip, Table)
{
    const XrRectangle rect(0, 0, 100, 100);
    struct Case {
        const char* name;
        std::vector<XrPoint> in, out;
    } cases[] = {
        {"inside: four more copies of the first point",
         {{10, 10}, {20, 10}, {20, 20}, {10, 20}},
         {{10, 10}, {20, 10}, {20, 20}, {10, 20}, {10, 10}, {10, 10}, {10, 10}, {10, 10}}},
        {"over the left side",
         {{-10, 10}, {10, 10}, {10, 20}, {-10, 20}},
         {{0, 10}, {10, 10}, {10, 20}, {0, 20}, {0, 10}, {0, 10}, {0, 10}, {0, 10}}},
        {"over the bottom right corner",
         {{90, 90}, {110, 90}, {110, 110}, {90, 110}},
         {{90, 90}, {100, 90}, {100, 100}, {90, 100}, {90, 90}, {90, 90}, {90, 90}, {90, 90}}},
        {"outside to the right", {{200, 10}, {300, 10}, {300, 20}}, {}},
        {"one point", {{10, 10}}, {}},
    };
    for (const Case& c : cases) {
        XrPolygon poly;
        for (const XrPoint& p : c.in)
            poly.add_point(p);
        const XrRectangle box = poly.get_bounding_box() ? *poly.get_bounding_box() : XrRectangle();
        poly.clip_polygon(rect);
        EXPECT_EQ(points_of(poly), c.out) << c.name;
        if (!c.out.empty()) {
            EXPECT_EQ(*poly.get_bounding_box(), box) << c.name << ": the box is left alone";
        }
    }
}

TEST(PolygonClip, ScreenSizedTriangle)
{
    XrPolygon tri;
    fill(tri, {{-400, 240}, {400, -400}, {1200, 240}, {400, 900}});
    const XrRectangle screen(0, 0, 800, 480);
    tri.clip_polygon(screen);
    ASSERT_GE(tri.get_point_count(), 4);
    XrPoint p;
    for (int i = 0; tri.get_point(i, p); ++i)
        EXPECT_TRUE(screen.contains(p)) << i << ": " << p.x << "," << p.y;
}

TEST(PolygonClip, SegmentSide)
{
    const XrRectangle rect(0, 0, 100, 100);
    XrPoint a(-50, -50);
    // Only the left side counts: y may stay outside the rectangle.
    EXPECT_TRUE(clip_segment_side(rect, XrPolygon::Left, a, XrPoint(50, -30)));
    EXPECT_EQ(a, XrPoint(0, -40));
    a = XrPoint(-50, -50);
    EXPECT_TRUE(clip_segment_side(rect, static_cast<XrPolygon::ClipSide>(9), a, XrPoint(50, -30)))
        << "an unknown side leaves all open";
    EXPECT_EQ(a, XrPoint(-50, -50));
    EXPECT_TRUE(XrPolygon::is_inside_side(rect, XrPolygon::Bottom, -500, 100));
    EXPECT_FALSE(XrPolygon::is_inside_side(rect, XrPolygon::Right, 101, 0));
    EXPECT_FALSE(XrPolygon::is_inside_side(rect, static_cast<XrPolygon::ClipSide>(4), 0, 0));
}

TEST(PolygonClipDeathTest, SidePassNeedsTwoPoints)
{
    XrArray<XrPoint> in, out;
    in.append(XrPoint(1, 1));
    EXPECT_DEATH(XrPolygon::clip_polygon_side(XrRectangle(0, 0, 10, 10), XrPolygon::Left, in, out),
                 "in.items\\(\\) > 1");
}
