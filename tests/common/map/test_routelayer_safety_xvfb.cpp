// The route layer's safety screen in real pixels: its six pictures loaded
// from the images folder, the manoeuvre's sign and icon, the countdown bars
// at 1200, 700 and 75 m, and the U-turn sign off the route.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "common/bmloader/xr_bitmap_loader.h"
#include "common/gdi/gdi_test_dc.h"
#include "map_test_support.h"
#include "routelayer_test_support.h"
#include "support/xr_temp_root.h"
#include "tools/imagegen/imagegen.h"
#include "tools/mapstyle/xr_routelayer_pictures.h"

using namespace xr_map_test;
using route_test::make_route;
using route_test::set_route;

namespace {

constexpr XrColorHandle kGround = 0x202020;
const XrColorHandle kPictureWhite = XrGDI::rgb(255, 255, 255);
const XrColorHandle kBright = XrGDI::rgb(255, 0, 0);
const XrColorHandle kDark = XrGDI::rgb(100, 0, 0);

std::uint32_t g_now = 500000;
std::uint32_t test_now() { return g_now; }

// The bars of the large screen: from y 102, 12 high with gaps of 2, the
// lowest (800 m) at the bottom.
int bar_middle(int i) { return 102 + (5 - i) * 14 + 6; }

struct RouteLayerSafetyPixels : ::testing::Test {
    void SetUp() override
    {
        XR_REQUIRE_DISPLAY();
        register_fonts();
        std::string error;
        ASSERT_TRUE(xr_register_route_layer_pictures(XR_ROUTELAYER_IMAGES, XR_ROUTELAYER_IDS,
                                                     root.make_dirs("/images"), error))
            << error;
        // The safety screen's pictures where the program finds them.
        std::ifstream in(XR_SAFETY_IMAGES);
        std::stringstream text;
        text << in.rdbuf();
        const XrImageGenResult r =
            xr_generate_images(text.str(), "safety.img", root.make_dirs("/usr/share/kestrova/images"));
        ASSERT_TRUE(r.ok) << r.error;
        layer = std::make_unique<XrRouteLayer>(&loop, nullptr, 1, nullptr, nullptr);
        layer->set_tick_source(test_now);
        ASSERT_TRUE(layer->initialize(nullptr, nullptr));
        layer->load_safety_screen_images();
        access = std::make_unique<XrRouteLayerTestAccess>(*layer);
        target = std::make_unique<XrTestDC>(800, 480, kGround);
    }
    void TearDown() override
    {
        access.reset();
        layer.reset();
        XrBitmapLoader::shutdown();
    }
    XrTestPixels draw()
    {
        target->clear(kGround);
        layer->draw_safety_screen(target->dc, XrPoint(800, 480));
        return XrTestPixels(target->dc);
    }

    XrTempRoot root;
    RouteTestLoop loop;
    std::unique_ptr<XrRouteLayer> layer;
    std::unique_ptr<XrRouteLayerTestAccess> access;
    std::unique_ptr<XrTestDC> target;
    route_test::RoutePoints points{at(-200, -50), at(100, -50), at(100, 100)};
};

} // namespace

TEST_F(RouteLayerSafetyPixels, CountdownSignAndPictures)
{
    for (int i = 0; i < 6; ++i)
        EXPECT_NE(layer->get_safety_image(i), nullptr) << i;
    // Without a route the screen stays empty.
    EXPECT_EQ(draw().count(kGround), 800 * 480);

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
        const XrTestPixels px = draw();
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(px.at(724, bar_middle(i)), c.bright[i] == '1' ? kBright : kDark) << i;
        // route_01 at (595, 302); route_02 (an hourglass) at (595, 372).
        EXPECT_EQ(px.at(605, 332), kPictureWhite);
        EXPECT_EQ(px.at(615, 380), kPictureWhite);
        // The left-turn sign at (590, 94), its arrow head at (598, 124), and
        // the same icon at the top of the icon column (652, 30); beyond the
        // announcement distance the bend-ahead sign and no icon.
        EXPECT_EQ(px.at(598, 124) == kPictureWhite, c.sign);
        EXPECT_EQ(px.at(660, 60) == kPictureWhite, c.sign);
    }
}

TEST_F(RouteLayerSafetyPixels, UturnSignOffTheRoute)
{
    set_route(*layer, make_route(points, 3));
    access->set_guidance(1, 700, L"North Street", XrRouteLayer::STATE_OFF_ROUTE);
    access->set_travelled(30);
    const XrTestPixels px = draw();
    // The U-turn at (597, 90): both legs, the gap between them; no bars.
    EXPECT_EQ(px.at(597 + 44, 90 + 40), kPictureWhite);
    EXPECT_EQ(px.at(597 + 20, 90 + 30), kPictureWhite);
    EXPECT_EQ(px.at(597 + 32, 90 + 40), kGround);
    EXPECT_EQ(px.count(kBright) + px.count(kDark), 0);
    EXPECT_TRUE(access->uturn_announced());
}
