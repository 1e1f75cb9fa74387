// Where the route layer's panels stand on screen during guidance: the
// current speed below the instruction box (never over its distance), and
// the top line's texts left of the map window's top-right button.
#include <gtest/gtest.h>

#include <string>

#include "common/map/xr_routelayer_draw.h"
#include "common/types/xr_distance.h"
#include "map_test_support.h"
#include "routelayer_test_support.h"

using namespace xr_map_test;
using route_test::make_route;
using route_test::set_route;

namespace {

std::uint32_t g_now = 100000;
std::uint32_t test_now() { return g_now; }

// The recorded texts with the point or rectangle they were drawn at.
std::vector<const XrGdiCall*> texts_named(const std::wstring& text)
{
    std::vector<const XrGdiCall*> out;
    for (const XrGdiCall& c : XrGdiRecording::instance().get_calls())
        if (c.name == "draw_text" && c.text == text)
            out.push_back(&c);
    return out;
}

struct RouteLayerPanels : ::testing::Test {
    RouteLayerPanels()
    {
        register_fonts();
        dc = xr_recording_dc(800, 480);
        set_up_view(view);
        layer = std::make_unique<XrRouteLayer>(&loop, nullptr, 1, nullptr, nullptr);
        layer->set_tick_source(test_now);
        layer->initialize(nullptr, nullptr);
        access = std::make_unique<XrRouteLayerTestAccess>(*layer);
        access->make_pens();
        access->icon(XrRouteLayer::IconBox) = picture(80, 64);
        access->icon(XrRouteLayer::IconFollow) = picture(40, 30);
        set_route(*layer, make_route(points, 2, 0));
        access->set_gps(true, true);
        access->set_street(L"Ring Road");
        access->set_travelled(100);
        access->set_remaining_minutes(3);
        XrGdiRecording::instance().clear();
    }
    ~RouteLayerPanels() override
    {
        access.reset();
        layer.reset();
        XrGDI::delete_dc(dc);
    }
    XrBitmap picture(int w, int h)
    {
        XrBitmap b(XrGDI::create_bitmap(dc, w, h), nullptr);
        b.set_owns_handles(true);
        return b;
    }

    RouteTestLoop loop;
    XrMapView view;
    XrDCHandleRec* dc;
    std::unique_ptr<XrRouteLayer> layer;
    std::unique_ptr<XrRouteLayerTestAccess> access;
    route_test::RoutePoints points{at(-200, -50), at(100, -50), at(100, 100)};
};

} // namespace

// With and without the instruction box (near and far from the turn) the
// speed's number starts below everything the panel took at the top.
TEST_F(RouteLayerPanels, SpeedStandsBelowTheInstructionBox)
{
    const struct {
        int d;
        bool box;
    } cases[] = {{150, true}, {600, true}, {1500, false}};
    for (const auto& c : cases) {
        access->set_guidance(1, c.d, L"North Street");
        layer->set_current_speed(12.0);
        XrGdiRecording::instance().clear();
        layer->draw(dc, &view);
        int first = 0, box_bottom = 0;
        layer->get_box_metrics(first, box_bottom);
        const auto distance = texts_named(XrDistance(c.d, XrDistance::Metres).to_display_string(0, 1).c_str());
        EXPECT_EQ(!distance.empty(), c.box) << c.d;
        const auto speed = texts_named(L"43");
        ASSERT_EQ(speed.size(), 3u) << c.d;
        const int panel_bottom = access->panel_sizes()[0];
        ASSERT_GT(panel_bottom, 0) << c.d;
        // The halo pass 2 pixels up and left is the highest of the three.
        EXPECT_GT(speed[1]->args[1], panel_bottom) << c.d;
        if (c.box) {
            EXPECT_GE(panel_bottom, box_bottom) << c.d;
            for (const XrGdiCall* t : distance)
                EXPECT_GT(speed[1]->args[1], t->args[3]) << c.d;
        }
    }
}

// The remaining distance or time ends left of the top-right button (40
// pixels at the window's right edge), and so does the status line behind it
// (far from the turn there is no other line).
TEST_F(RouteLayerPanels, TopLineKeepsClearOfTheTopRightButton)
{
    access->set_guidance(1, 1500, L"North Street");
    for (bool distance : {false, true}) {
        access->set_show_distance(distance, g_now + 100000);
        XrGdiRecording::instance().clear();
        EXPECT_FALSE(layer->draw_guidance_box(dc, XrPoint(800, 480), layer->get_current_directive(), 1500));
        bool found = false; // the value right of the street name
        for (const XrGdiCall& c : XrGdiRecording::instance().get_calls()) {
            if (c.name == "draw_round_rect") {
                EXPECT_LE(c.args[2], 800 - 40) << "frame";
            }
            if (c.name == "draw_text" && c.args.size() == 5) {
                EXPECT_LE(c.args[2], 800 - 40) << std::string(c.text.begin(), c.text.end());
                found = found || c.text != L"Ring Road";
            }
        }
        EXPECT_TRUE(found) << distance;
    }
}
