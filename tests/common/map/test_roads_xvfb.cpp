// The road layer drawn into real pixels: casing under core, classes in order
// with the route on top, one-way markers, street names on the longest
// segment, upright and without collisions; the perspective drawing.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "common/gdi/gdi_test_dc.h"
#include "road_test_support.h"

using namespace xr_road_test;
namespace cs = xr_city_style;

namespace {

constexpr XrColorHandle kMarkerFill = 0xA05050; // 80, 80, 160

// The black (text) pixels of an area, relative to their top-left corner.
std::vector<XrPoint> text_mask(const XrTestPixels& px, int x0 = 0, int y0 = 0, int x1 = -1, int y1 = -1)
{
    x1 = x1 < 0 ? px.width : x1;
    y1 = y1 < 0 ? px.height : y1;
    std::vector<XrPoint> out;
    int left = x1, top = y1;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (px.at(x, y) == cs::TEXT) {
                out.push_back(XrPoint(x, y));
                left = std::min(left, x);
                top = std::min(top, y);
            }
    for (XrPoint& p : out)
        p = XrPoint(p.x - left, p.y - top);
    return out;
}

// The share of the larger mask's pixels that the other mask holds too.
double overlap(const std::vector<XrPoint>& a, const std::vector<XrPoint>& b)
{
    auto less = [](const XrPoint& p, const XrPoint& q) { return p.y != q.y ? p.y < q.y : p.x < q.x; };
    std::vector<XrPoint> sa = a, sb = b, common;
    std::sort(sa.begin(), sa.end(), less);
    std::sort(sb.begin(), sb.end(), less);
    std::set_intersection(sa.begin(), sa.end(), sb.begin(), sb.end(), std::back_inserter(common), less);
    const size_t larger = std::max(sa.size(), sb.size());
    return larger == 0 ? 0.0 : static_cast<double>(common.size()) / static_cast<double>(larger);
}

// A mask turned by 180 degrees (upside down).
std::vector<XrPoint> turned(const std::vector<XrPoint>& m)
{
    int right = 0, bottom = 0;
    for (const XrPoint& p : m) {
        right = std::max(right, p.x);
        bottom = std::max(bottom, p.y);
    }
    std::vector<XrPoint> out;
    for (const XrPoint& p : m)
        out.push_back(XrPoint(right - p.x, bottom - p.y));
    return out;
}

// The bounding box of a colour's pixels (right and bottom exclusive).
XrRectangle box_of(const XrTestPixels& px, XrColorHandle colour)
{
    XrRectangle r(px.width, px.height, 0, 0);
    for (int y = 0; y < px.height; ++y)
        for (int x = 0; x < px.width; ++x)
            if (px.at(x, y) == colour) {
                r.left = std::min(r.left, x);
                r.top = std::min(r.top, y);
                r.right = std::max(r.right, x + 1);
                r.bottom = std::max(r.bottom, y + 1);
            }
    return r;
}

// Non-background pixels of a screen row inside [x0, x1).
int ink_in_row(const XrTestPixels& px, int y, int x0, int x1)
{
    int n = 0;
    for (int x = x0; x < x1; ++x)
        n += px.at(x, y) != cs::BACKGROUND;
    return n;
}

struct PixelRoads : ::testing::Test {
    PixelRoads() : view(&map) {}
    void SetUp() override
    {
        XR_REQUIRE_DISPLAY();
        vs = road_style(map.get_palette());
        layer = new XrLineLabelLayer(L"arial", 12, &map, vs.get(), false, 5, 6);
        storage = new XrMemoryGeomStorage();
        layer->get_storage()->add_storage(storage, 0);
        layer->set_street_names(&names);
        map.add_layer(layer, XrString(L"road"));
        set_up_view(view);
        target = std::make_unique<XrTestDC>(800, 480, cs::BACKGROUND);
    }

    XrGid road(int type, const std::vector<XrPoint>& pts)
    {
        add_line(*storage, type, pts);
        return static_cast<XrGid>(storage->get_record_count() - 1);
    }
    XrTestPixels draw()
    {
        target->clear(cs::BACKGROUND);
        if (map.is_3d())
            layer->draw_3d(target->dc, &view);
        else
            layer->draw(target->dc, &view);
        return XrTestPixels(target->dc);
    }
    void go_3d()
    {
        map.set_3d(true);
        view.set_tilt(44);
        view.set_3d_parameters(1000, 200, 80, 2000, 4000, 500);
        view.update_3d();
        XrLineLabelLayer::invalidate_3d_width_tables();
    }
    XrPoint screen_3d(const XrPoint& w) const
    {
        XrPoint s;
        view.world_to_screen_3d(w.x, w.y, 150, s.x, s.y);
        return s;
    }

    XrMap map;
    XrMapView view;
    std::unique_ptr<XrVisualSetting> vs;
    XrLineLabelLayer* layer = nullptr;
    XrMemoryGeomStorage* storage = nullptr;
    NameDouble names;
    std::unique_ptr<XrTestDC> target;
};

// Screen: x = 400 + 1.6 dx, y = 240 - 1.6 dy.
TEST_F(PixelRoads, CasingUnderCoreClassesInOrderRouteOnTop)
{
    road(2, {at(-200, 50), at(200, 50)});    // street, y 160
    road(1, {at(-200, 0), at(200, 0)});      // motorway, y 240
    road(2, {at(-100, -120), at(-100, 120)}); // street across both, x 240
    RouteDouble route;
    route.gids = {road(2, {at(100, -120), at(100, 120)})}; // route across both, x 560
    const XrRouteEdgeSource* routes[] = {&route};
    layer->set_route_edges(routes, 1, 0);
    const XrTestPixels px = draw();

    // Cores on their lines (the rows beside the centre dashes), casings at
    // their edges: street rows 158 to 161, motorway 237 to 242.
    EXPECT_EQ(px.at(100, 159), cs::STREET);
    EXPECT_EQ(px.at(100, 239), cs::MOTORWAY);
    EXPECT_EQ(px.at(100, 241), cs::MOTORWAY);
    for (int y : {158, 161, 237, 242})
        EXPECT_EQ(px.at(100, y), cs::CASING) << y;
    EXPECT_EQ(px.at(100, 156), cs::BACKGROUND);
    EXPECT_EQ(px.at(100, 244), cs::BACKGROUND);
    // The route: casing columns 556 and 563, core between.
    EXPECT_EQ(px.at(556, 100), ROUTE_OUT);
    EXPECT_EQ(px.at(563, 100), ROUTE_OUT);
    EXPECT_EQ(px.count(ROUTE_IN, 557, 100, 563, 101), 6);
    // The motorway's core lies over the crossing street, core and casing.
    EXPECT_EQ(px.count(cs::MOTORWAY, 230, 238, 251, 240), 2 * 21);
    // Streets of one class meet without casing between them.
    EXPECT_EQ(px.at(239, 159), cs::STREET);
    // The route lies over everything: its core runs unbroken across the
    // street and the motorway.
    EXPECT_EQ(px.count(ROUTE_IN, 557, 60, 560, 420), 3 * 360);

    // Without routes the same road is an ordinary street under the motorway.
    layer->set_route_edges(nullptr, 0, -1);
    const XrTestPixels plain = draw();
    EXPECT_EQ(plain.at(558, 239), cs::MOTORWAY);
    EXPECT_EQ(plain.count(ROUTE_IN), 0);
    EXPECT_EQ(plain.count(ROUTE_OUT), 0);
}

TEST_F(PixelRoads, OneWayMarkersPointTheWayOfTheRoad)
{
    struct Case {
        int oneway;
        int from, to; // dx of the ends
        bool right;   // the marker points towards +x
    };
    const Case cases[] = {
        {XrLineLabelLayer::ONEWAY_ALONG, -100, 100, true},
        {XrLineLabelLayer::ONEWAY_AGAINST, -100, 100, false},
        {XrLineLabelLayer::ONEWAY_ALONG, 100, -100, false},
        {XrLineLabelLayer::ONEWAY_AGAINST, 100, -100, true},
    };
    for (const Case& c : cases) {
        storage->clear();
        road(2 | c.oneway, {at(c.from, 0), at(c.to, 0)});
        const XrTestPixels px = draw();
        const XrRectangle m = box_of(px, kMarkerFill);
        ASSERT_LT(m.left, m.right) << c.oneway << " " << c.from;
        // On the road, 20 pixels from the end the walk starts at.
        EXPECT_LE(m.top, 240);
        EXPECT_GE(m.bottom, 240);
        EXPECT_LT(m.right - m.left, 9);
        // The base of the triangle is wider than its tip.
        const int left = px.count(kMarkerFill, m.left, 0, m.left + 1, 480);
        const int right = px.count(kMarkerFill, m.right - 1, 0, m.right, 480);
        EXPECT_EQ(left > right, c.right) << c.oneway << " " << c.from << ": " << left << " " << right;
    }
    // Two-way roads have none.
    storage->clear();
    road(2, {at(-100, 0), at(100, 0)});
    EXPECT_EQ(draw().count(kMarkerFill), 0);
}

TEST_F(PixelRoads, NameOnTheLongestSegmentOnce)
{
    // One street in two pieces: a 48 + 320 pixel bend and a 96 pixel piece.
    const XrGid bend = road(2, {at(-150, 100), at(-120, 100), at(-120, -100)});
    const XrGid piece = road(2, {at(100, 100), at(160, 100)});
    names.names = {{bend, L"Main Street"}, {piece, L"Main Street"}};
    const XrTestPixels px = draw();
    // Written along the long vertical segment at x = 208 around y = 240.
    const XrRectangle ink = box_of(px, cs::TEXT);
    ASSERT_LT(ink.left, ink.right);
    EXPECT_GT(ink.bottom - ink.top, 3 * (ink.right - ink.left));
    EXPECT_NEAR((ink.left + ink.right) / 2, 208, 4);
    EXPECT_NEAR((ink.top + ink.bottom) / 2, 240, 4);
    // Nothing on the other piece, and the halo around the text.
    EXPECT_EQ(px.count(cs::TEXT, 400, 0, 800, 480), 0);
    EXPECT_GT(px.count(cs::HALO, ink.left - 2, ink.top - 2, ink.right + 2, ink.bottom + 2), 0);
}

TEST_F(PixelRoads, NamesReadUprightWhicheverWayTheRoadRuns)
{
    // The same street drawn from either end gives the same pixels.
    struct Case {
        XrPoint from, to;
    };
    const Case cases[] = {
        {at(-150, 0), at(150, 0)},
        {at(-120, -70), at(120, 70)},
        {at(-120, 70), at(120, -70)},
    };
    std::vector<XrPoint> horizontal;
    for (const Case& c : cases) {
        std::vector<XrPoint> masks[2];
        for (int reverse = 0; reverse < 2; ++reverse) {
            storage->clear();
            const XrGid g = reverse ? road(2, {c.to, c.from}) : road(2, {c.from, c.to});
            names.names = {{g, L"Kingsway"}};
            masks[reverse] = text_mask(draw());
            ASSERT_GT(masks[reverse].size(), 30u);
        }
        // The same text, not the same text turned over.
        EXPECT_GT(overlap(masks[0], masks[1]), 0.9) << c.from.x << "," << c.from.y;
        EXPECT_LT(overlap(masks[0], turned(masks[1])), 0.5) << c.from.x << "," << c.from.y;
        if (horizontal.empty())
            horizontal = masks[0];
    }

    // The horizontal label is the plain upright text.
    target->clear(cs::BACKGROUND);
    XrFontHandleRec* font = XrGDI::create_font_rotated(L"arial", 12, 400, false, XrFontAngle(0));
    ASSERT_NE(font, nullptr);
    XrGDI::select_font(target->dc, font);
    XrGDI::set_text_color(target->dc, cs::TEXT);
    XrGDI::draw_bidi_text(target->dc, L"Kingsway", XrPoint(100, 100), 0);
    XrGDI::select_font(target->dc, nullptr);
    XrGDI::delete_font(font);
    const std::vector<XrPoint> upright = text_mask(XrTestPixels(target->dc));
    EXPECT_GT(overlap(upright, horizontal), 0.9);
    EXPECT_LT(overlap(turned(upright), horizontal), 0.5);
}

TEST_F(PixelRoads, CollidingNameIsNotWritten)
{
    const XrGid a = road(2, {at(-100, -60), at(100, 60)});
    const XrGid b = road(2, {at(-100, 60), at(100, -60)});
    names.names = {{a, L"Alpha Street"}};
    const std::vector<XrPoint> alone = text_mask(draw());
    ASSERT_GT(alone.size(), 30u);
    names.names = {{a, L"Alpha Street"}, {b, L"Beta Street"}};
    // The crossing name is neither written over the first nor elsewhere.
    EXPECT_EQ(text_mask(draw()), alone);
}

TEST_F(PixelRoads, PerspectiveRoadsWidenTowardsTheViewerRouteOnTop)
{
    go_3d();
    const XrGid ahead = road(1, {at(0, -300), at(0, 2500)}); // motorway straight ahead
    road(2, {at(-1500, 600), at(1500, 600)});                // a street across it
    RouteDouble route;
    route.gids = {road(2, {at(-1500, 200), at(1500, 200)})}; // the route across it
    const XrRouteEdgeSource* routes[] = {&route};
    layer->set_route_edges(routes, 1, 0);
    names.names = {{ahead, L"Motorway"}};
    const XrTestPixels px = draw();

    const XrPoint near = screen_3d(at(0, 0)), far = screen_3d(at(0, 1500));
    ASSERT_GT(near.y, far.y);
    ASSERT_GE(far.y, 0);
    ASSERT_LT(near.y, 480);
    EXPECT_EQ(px.at(near.x, near.y), cs::MOTORWAY);
    EXPECT_EQ(px.at(far.x, far.y), cs::MOTORWAY);
    const int near_width = ink_in_row(px, near.y, near.x - 100, near.x + 100);
    const int far_width = ink_in_row(px, far.y, far.x - 100, far.x + 100);
    EXPECT_GT(near_width, 2 * far_width) << near_width << " " << far_width;
    EXPECT_GT(px.count(cs::CASING, near.x - 100, near.y, near.x, near.y + 1), 0);

    // The street lies under the motorway, the route over it.
    const XrPoint street = screen_3d(at(0, 600)), crossing = screen_3d(at(0, 200));
    EXPECT_EQ(px.at(street.x, street.y), cs::MOTORWAY);
    EXPECT_EQ(px.at(street.x - 60, street.y), cs::STREET);
    EXPECT_EQ(px.at(crossing.x, crossing.y), ROUTE_IN);
    // No names in perspective.
    EXPECT_EQ(px.count(cs::TEXT), 0);
}

} // namespace
