// The route layer's safety screen and the traffic box states' view of the
// layer, through the recording backend: the screen drawn from the layer's
// guidance state, its pictures, the off-route screen, the street boxes; the
// traffic box's layout metrics, box timer, ticker width and event sound.
#include <gtest/gtest.h>

#include <string>

#include "common/map/xr_mapservices.h"
#include "common/map/xr_routelayer_draw.h"
#include "common/map/xr_trafficlayout.h"
#include "common/types/xr_distance.h"
#include "map_test_support.h"
#include "routelayer_test_support.h"
#include "support/xr_temp_root.h"

using namespace xr_map_test;
using route_test::make_route;

namespace {

std::uint32_t g_now = 100000;
std::uint32_t test_now() { return g_now; }

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

struct RouteLayerSafety : ::testing::Test {
    RouteLayerSafety()
    {
        register_fonts();
        dc = xr_recording_dc(800, 480);
        layer = std::make_unique<XrRouteLayer>(&loop, nullptr, 1, nullptr, nullptr);
        layer->set_tick_source(test_now);
        layer->initialize(nullptr, nullptr);
        access = std::make_unique<XrRouteLayerTestAccess>(*layer);
        access->make_pens();
        // The recording backend loads no files: pictures of the tests' own,
        // each of its own width.
        for (int i = 0; i < 6; ++i) {
            access->safety_image(i) = std::make_unique<XrBitmap>(XrGDI::create_bitmap(dc, 10 + i, 10 + i), nullptr);
            access->safety_image(i)->set_owns_handles(true);
        }
    }
    ~RouteLayerSafety() override
    {
        access.reset();
        layer.reset();
        XrGDI::delete_dc(dc);
    }
    // Two legs: the active one and a second of the same shape.
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

    RouteTestLoop loop;
    XrDCHandleRec* dc;
    std::unique_ptr<XrRouteLayer> layer;
    std::unique_ptr<XrRouteLayerTestAccess> access;
    route_test::RoutePoints points{at(-200, -50), at(100, -50), at(100, 100)};
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
