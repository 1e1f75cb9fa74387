// The route layer drawn into real pixels with its generated pictures: a
// 150 m and a 250 m approach, a roundabout, an off-route U-turn, a camera
// alert, the scale bar in metric and imperial units, and the safety screen.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "common/bmloader/xr_bitmap_loader.h"
#include "common/gdi/gdi_test_dc.h"
#include "common/map/xr_poilayer.h"
#include "common/map/xr_routelayer_draw.h"
#include "map_test_support.h"
#include "routelayer_test_support.h"
#include "support/xr_temp_root.h"
#include "tools/imagegen/imagegen.h"
#include "tools/mapstyle/xr_routelayer_pictures.h"

using namespace xr_map_test;
using route_test::make_route;
using route_test::set_route;

namespace {

constexpr XrColorHandle kGround = 0xC0C0C0;
const XrColorHandle kIconWhite = XrGDI::rgb(255, 255, 255);
const XrColorHandle kNear = XrGDI::rgb(255, 255, 0);
const XrColorHandle kFar = XrGDI::rgb(0, 64, 32);

std::uint32_t g_now = 500000;
std::uint32_t test_now() { return g_now; }

// Registers the generated pictures with the bitmap loader.
bool register_pictures(const XrTempRoot& root)
{
    std::string error;
    const bool ok =
        xr_register_route_layer_pictures(XR_ROUTELAYER_IMAGES, XR_ROUTELAYER_IDS, root.make_dirs("/images"), error);
    EXPECT_TRUE(ok) << error;
    return ok;
}

class CameraAlerter : public XrProximityAlerter {
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
        return true;
    }
    XrBitmapHandleRec* picture = nullptr;
};

struct RouteLayerPixels : ::testing::Test {
    void SetUp() override
    {
        XR_REQUIRE_DISPLAY();
        register_fonts();
        ASSERT_TRUE(register_pictures(root));
        set_up_view(view);
        layer = std::make_unique<XrRouteLayer>(&loop, nullptr, 1, nullptr, nullptr);
        layer->set_tick_source(test_now);
        ASSERT_TRUE(layer->initialize(nullptr, nullptr));
        access = std::make_unique<XrRouteLayerTestAccess>(*layer);
        target = std::make_unique<XrTestDC>(800, 480, kGround);
    }
    void TearDown() override
    {
        access.reset();
        layer.reset();
        XrBitmapLoader::shutdown();
    }
    XrTestPixels draw_box(int d)
    {
        target->clear(kGround);
        layer->draw_guidance_box(target->dc, XrPoint(800, 480), layer->get_current_directive(), d);
        return XrTestPixels(target->dc);
    }
    // The status line's height, as the guidance box measures it.
    static int status_height()
    {
        return XrGDI::measure_text(xr_routelayer::font_of(31), L"Xg").height * 5 / 4;
    }
    // Top left of the direction icon in the instruction box.
    XrPoint icon_origin() const
    {
        int width = 0, bottom = 0;
        layer->get_box_metrics(width, bottom);
        const int dist_h = XrGDI::measure_text(xr_routelayer::font_of(36), L"Xg").height;
        return XrPoint((width - 80) / 2, bottom - (64 + dist_h + 8) + 4);
    }

    XrTempRoot root;
    RouteTestLoop loop;
    XrMapView view;
    std::unique_ptr<XrRouteLayer> layer;
    std::unique_ptr<XrRouteLayerTestAccess> access;
    std::unique_ptr<XrTestDC> target;
    route_test::RoutePoints points{at(-200, -50), at(100, -50), at(100, 100)};
};

} // namespace

TEST_F(RouteLayerPixels, ApproachAt150And250Metres)
{
    set_route(*layer, make_route(points, 3)); // a left turn
    const struct {
        int d;
        XrColorHandle line;
    } cases[] = {{150, kNear}, {250, kFar}};
    for (const auto& c : cases) {
        access->set_guidance(1, c.d, L"North Street");
        const XrTestPixels px = draw_box(c.d);
        // The next-street line below the status line, across the screen.
        const int y = status_height() + 6;
        EXPECT_EQ(px.at(400, y), c.line) << c.d;
        EXPECT_EQ(px.at(790, y), c.line) << c.d;
        // The left-turn icon: its arrow head points left at (4..18, 30).
        const XrPoint o = icon_origin();
        EXPECT_EQ(px.at(o.x + 8, o.y + 30), kIconWhite) << c.d;
        EXPECT_EQ(px.at(o.x + 58, o.y + 30), kFar) << c.d; // the box's own colour
        // The distance in white below the icon.
        int width = 0, bottom = 0;
        layer->get_box_metrics(width, bottom);
        EXPECT_GT(px.count(kIconWhite, 0, o.y + 64, width, bottom - 2), 10) << c.d;
    }
}

TEST_F(RouteLayerPixels, RoundaboutSecondExit)
{
    XrRouteInstructions* route = make_route(points, 13, 2);
    set_route(*layer, route);
    access->set_guidance(1, 120, L"Ring Road");
    const XrTestPixels px = draw_box(120);
    // The ring of the roundabout icon, with the exit number inside.
    const XrPoint o = icon_origin();
    EXPECT_EQ(px.at(o.x + 32 + 14, o.y + 30), kIconWhite);
    EXPECT_EQ(px.at(o.x + 32 - 14, o.y + 30), kIconWhite);
    EXPECT_GT(px.count(kIconWhite, o.x + 26, o.y + 22, o.x + 39, o.y + 38), 5); // the "2"
    // Left-hand traffic draws the other table entry (an icon of its own).
    access->set_right_hand(false);
    const XrTestPixels left = draw_box(120);
    EXPECT_EQ(left.at(o.x + 32 + 14, o.y + 30), kIconWhite);
}

TEST_F(RouteLayerPixels, OffRouteUturn)
{
    set_route(*layer, make_route(points, 3));
    access->set_guidance(1, 150, L"North Street", XrRouteLayer::STATE_OFF_ROUTE);
    access->set_travelled(30);
    const XrTestPixels px = draw_box(150);
    const XrPoint o(4, status_height() + 1 + 4);
    // The U-turn: the right leg going up, the left leg coming down.
    EXPECT_EQ(px.at(o.x + 44, o.y + 40), kIconWhite);
    EXPECT_EQ(px.at(o.x + 20, o.y + 30), kIconWhite);
    EXPECT_EQ(px.at(o.x + 32, o.y + 40), kGround); // between the legs
    // No next-street line off the route.
    EXPECT_EQ(px.at(400, status_height() + 6), kGround);
    EXPECT_TRUE(access->announced_far());
}

TEST_F(RouteLayerPixels, CameraAlert)
{
    CameraAlerter alerter;
    alerter.picture = XrGDI::create_bitmap(target->dc, 40, 40);
    target->clear(XrGDI::rgb(0, 0, 255));
    XrGDI::draw_to_bitmap(alerter.picture, 0, 0, 40, 40, target->dc, 0, 0, nullptr);
    layer->set_warning_source(&alerter);
    access->set_alert(L"<t1@50>Speed camera", g_now + 5000);
    target->clear(kGround);
    ASSERT_TRUE(layer->draw_proximity_alert(target->dc, XrPoint(800, 0), nullptr));
    const XrTestPixels px(target->dc);
    // The large picture with its right edge at x 800.
    EXPECT_EQ(px.at(780, 20), XrGDI::rgb(0, 0, 255));
    EXPECT_NE(px.at(759, 45), XrGDI::rgb(0, 0, 255));
    // The speed sign (icon 8: a red ring) left of the box's right edge at 774.
    const XrColorHandle red = XrGDI::rgb(220, 20, 20);
    EXPECT_GT(px.count(red, 734, 0, 774, 40), 50);
    // The text box in the alert colour left of the sign.
    EXPECT_GT(px.count(XrGDI::rgb(255, 80, 80), 500, 0, 734, 30), 100);
    XrGDI::delete_bitmap(alerter.picture);
}

TEST_F(RouteLayerPixels, ScaleBarMetricAndImperial)
{
    const XrColorHandle dark = XrGDI::rgb(32, 32, 32);
    const XrColorHandle grey = XrGDI::rgb(192, 192, 192);
    // Metric: 20 m at 1.6 pixels a metre, 32 pixels from x 180.
    target->clear(XrGDI::rgb(255, 255, 255));
    layer->draw_scale_bar(target->dc, &view);
    XrTestPixels metric(target->dc);
    const int top = 480 - 10 - 4;
    EXPECT_EQ(metric.at(181, top + 1), dark); // top-left quarter
    EXPECT_EQ(metric.at(179, top + 2), grey); // the grey ring outside
    EXPECT_EQ(metric.at(180 + 30, top + 3), dark); // bottom-right quarter
    EXPECT_GT(metric.count(XrGDI::rgb(0, 0, 0), 170, top - 20, 230, top - 2), 5); // the label, black on grey
    // Feet: 50 ft = 15.24 m, 24 pixels: nothing at x 210.
    access->set_display_units(2);
    target->clear(XrGDI::rgb(255, 255, 255));
    layer->draw_scale_bar(target->dc, &view);
    XrTestPixels feet(target->dc);
    EXPECT_EQ(feet.at(181, top + 1), dark);
    EXPECT_EQ(feet.at(180 + 30, top + 3), XrGDI::rgb(255, 255, 255));
    EXPECT_EQ(feet.at(180 + 22, top + 3), dark);
}

TEST_F(RouteLayerPixels, FullFrameWithRouteFlagsAndMarker)
{
    set_route(*layer, make_route(points, 3));
    access->set_guidance(1, 150, L"North Street");
    access->set_matched(at(-100, -50), 0);
    target->clear(kGround);
    layer->draw(target->dc, &view);
    const XrTestPixels px(target->dc);
    auto screen = [&](const XrPoint& w) {
        XrPoint s;
        view.world_to_screen_2d(w.x, w.y, s.x, s.y);
        return s;
    };
    // The start flag's green pennant right of its pole, the destination's red one.
    const XrPoint s = screen(points.s), d = screen(points.d);
    EXPECT_EQ(px.at(s.x - 12 + 9, s.y - 16 + 8), XrGDI::rgb(30, 170, 30));
    EXPECT_EQ(px.at(d.x - 12 + 9, d.y - 16 + 8), XrGDI::rgb(220, 30, 30));
    // The vehicle chevron (fill brush 3) around the matched point.
    const XrPoint m = screen(at(-100, -50));
    EXPECT_GT(px.count(XrGDI::rgb(192, 255, 0), m.x - 20, m.y - 20, m.x + 20, m.y + 20), 10);
    // The turn arrow: its fill pen along the road before the junction.
    const XrPoint j = screen(points.j);
    EXPECT_EQ(px.at(j.x - 30, j.y), XrGDI::rgb(192, 255, 192));
    // The guidance box on top, no scale bar with a route.
    EXPECT_EQ(px.at(400, status_height() + 6), kNear);
    EXPECT_EQ(px.count(XrGDI::rgb(32, 32, 32), 170, 440, 260, 480), 0);
}

namespace {

const XrColorHandle kBright = XrGDI::rgb(255, 0, 0);
const XrColorHandle kDark = XrGDI::rgb(100, 0, 0);

// The bars of the large screen: from y 102, 12 high with gaps of 2, the
// lowest (800 m) at the bottom.
int bar_middle(int i) { return 102 + (5 - i) * 14 + 6; }

// The safety screen's pictures drawn from their shipped descriptions where
// the program finds them, and loaded by the layer.
struct RouteLayerSafetyPixels : RouteLayerPixels {
    void SetUp() override
    {
        RouteLayerPixels::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        std::ifstream in(XR_SAFETY_IMAGES);
        std::stringstream text;
        text << in.rdbuf();
        const XrImageGenResult r =
            xr_generate_images(text.str(), "safety.img", root.make_dirs("/usr/share/kestrova/images"));
        ASSERT_TRUE(r.ok) << r.error;
        layer->load_safety_screen_images();
    }
    XrTestPixels draw_safety()
    {
        target->clear(kGround);
        layer->draw_safety_screen(target->dc, XrPoint(800, 480));
        return XrTestPixels(target->dc);
    }
};

} // namespace

TEST_F(RouteLayerSafetyPixels, CountdownSignAndPictures)
{
    for (int i = 0; i < 6; ++i)
        EXPECT_NE(layer->get_safety_image(i), nullptr) << i;
    // Without a route the screen stays empty.
    EXPECT_EQ(draw_safety().count(kGround), 800 * 480);

    set_route(*layer, make_route(points, 3)); // a left turn
    g_now = 500000 - 500000 % 20000;          // the remaining-time phase
    const struct {
        int metres;
        const char* bright; // per bar from the lowest up
        bool sign;          // the turn's sign within the announcement distance
    } cases[] = {{1200, "000000", false}, {700, "011111", true}, {75, "000001", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.metres);
        access->set_guidance(1, c.metres, L"North Street");
        const XrTestPixels px = draw_safety();
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(px.at(724, bar_middle(i)), c.bright[i] == '1' ? kBright : kDark) << i;
        // route_01 at (595, 302); route_02 (an hourglass) at (595, 372).
        EXPECT_EQ(px.at(605, 332), kIconWhite);
        EXPECT_EQ(px.at(615, 380), kIconWhite);
        // The left-turn sign at (590, 94), its arrow head at (598, 124), and
        // the same icon at the top of the icon column (652, 30); beyond the
        // announcement distance the bend-ahead sign and no icon.
        EXPECT_EQ(px.at(598, 124) == kIconWhite, c.sign);
        EXPECT_EQ(px.at(660, 60) == kIconWhite, c.sign);
    }
}

TEST_F(RouteLayerSafetyPixels, UturnSignOffTheRoute)
{
    set_route(*layer, make_route(points, 3));
    access->set_guidance(1, 700, L"North Street", XrRouteLayer::STATE_OFF_ROUTE);
    access->set_travelled(30);
    const XrTestPixels px = draw_safety();
    // The U-turn at (597, 90): both legs, the gap between them; no bars.
    EXPECT_EQ(px.at(597 + 44, 90 + 40), kIconWhite);
    EXPECT_EQ(px.at(597 + 20, 90 + 30), kIconWhite);
    EXPECT_EQ(px.at(597 + 32, 90 + 40), kGround);
    EXPECT_EQ(px.count(kBright) + px.count(kDark), 0);
    EXPECT_TRUE(access->uturn_announced());
}
