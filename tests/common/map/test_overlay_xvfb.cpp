// The overlay layer drawn into real pixels with the images its description
// draws: centre point, position, pin with label, edge arrows, progress bar.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "common/bmloader/xr_bitmap_loader.h"
#include "common/gdi/gdi_test_dc.h"
#include "common/map/xr_mapservices.h"
#include "common/map/xr_overlaylayer.h"
#include "map_test_support.h"
#include "tests/support/xr_temp_root.h"
#include "tools/imagegen/imagegen.h"
#include "tools/mapgen/mbm_writer.h"

using namespace xr_map_test;

namespace {

constexpr XrColorHandle kGround = 0xC0C0C0;
const XrColorHandle kPositionBlue = XrGDI::rgb(30, 90, 210);
const XrColorHandle kPinRed = XrGDI::rgb(220, 30, 30);
const XrColorHandle kCentreDark = XrGDI::rgb(40, 40, 40);
constexpr XrColorHandle kPositionArrow = 0x00FF00; // green
constexpr XrColorHandle kPinArrow = 0xFF00FF;      // magenta
constexpr XrColorHandle kNote = 0xC0FFFF;          // 255, 255, 192
constexpr int kArrow = 20;

struct RouteServices : XrMapEngineServices {
    bool route = false;
    bool has_route() override { return route; }
};

// The world point shown at a screen point of the test view (1.6 pixels a
// unit around (100000, 200000) at (400, 240); offsets in multiples of 8).
XrPoint world_at(int sx, int sy) { return XrPoint(100000 + (sx - 400) * 5 / 8, 200000 - (sy - 240) * 5 / 8); }

struct PixelOverlay : ::testing::Test {
    PixelOverlay() : view(nullptr) {}
    void SetUp() override
    {
        XR_REQUIRE_DISPLAY();
        dc = std::make_unique<XrTestDC>(800, 480, kGround);
        register_fonts();
        set_up_view(view);
        set_map_engine_services(&services);
        images = root.make_dirs("/usr/share/kestrova/images");
        // The edge arrows as the loader finds them: solid squares.
        const std::string mbm = root.dir() + "/arrows.mbm";
        std::string error;
        ASSERT_TRUE(write_mbm_file(mbm,
                                   {mbm_make_rgb(kArrow, kArrow, std::vector<std::uint32_t>(kArrow * kArrow, 0x00FF00)),
                                    mbm_make_rgb(kArrow, kArrow, std::vector<std::uint32_t>(kArrow * kArrow, 0xFF00FF))},
                                   false, error))
            << error;
        XrBitmapLoader::initialize(XrString(L"/nonexistent"), XrString(L"maemo"));
        const std::string index = "BITMAP " + mbm + "\n" + std::to_string(XrOverlayLayer::POSITION_ARROW_ID) +
                                  ",0\n" + std::to_string(XrOverlayLayer::PIN_ARROW_ID) + ",1\n";
        ASSERT_TRUE(XrBitmapLoader::load_index_text(reinterpret_cast<const BYTE*>(index.data()),
                                                    static_cast<int>(index.size())));
        layer = std::make_unique<XrOverlayLayer>();
    }
    void TearDown() override
    {
        layer.reset();
        XrBitmapLoader::shutdown();
        set_map_engine_services(nullptr);
    }
    // Draws the shipped overlay images into the images folder.
    void generate_images()
    {
        std::ifstream in(XR_OVERLAY_IMAGES);
        std::stringstream text;
        text << in.rdbuf();
        const XrImageGenResult r = xr_generate_images(text.str(), "overlay.img", images);
        ASSERT_TRUE(r.ok) << r.error;
    }
    XrTestPixels draw()
    {
        dc->clear(kGround);
        EXPECT_TRUE(layer->draw(dc->dc, &view));
        return XrTestPixels(dc->dc);
    }

    XrTempRoot root;
    std::string images;
    RouteServices services;
    XrMapView view;
    std::unique_ptr<XrTestDC> dc;
    std::unique_ptr<XrOverlayLayer> layer;
};

} // namespace

TEST_F(PixelOverlay, LoadImagesReportsAMissingImage)
{
    EXPECT_FALSE(layer->load_images());
    generate_images();
    EXPECT_TRUE(layer->load_images());
    std::remove((images + "/indicator_highlight.png").c_str());
    EXPECT_FALSE(layer->load_images());
}

TEST_F(PixelOverlay, CentreAndPositionOnlyWithoutRoute)
{
    generate_images();
    ASSERT_TRUE(layer->load_images());
    layer->set_position(world_at(600, 240), 1);
    for (bool route : {false, true}) {
        SCOPED_TRACE(route);
        services.route = route;
        const XrTestPixels px = draw();
        // The centre point's cross through the screen centre.
        EXPECT_EQ(px.at(400, 233) == kCentreDark, !route);
        EXPECT_EQ(px.at(600, 240) == kPositionBlue, !route);
        EXPECT_EQ(px.count(kPositionBlue) > 200, !route);
    }
    // A position that is not valid is not drawn.
    services.route = false;
    layer->set_position(world_at(600, 240), 0);
    EXPECT_EQ(draw().count(kPositionBlue), 0);
}

TEST_F(PixelOverlay, EdgeArrowTowardsAPositionOffScreen)
{
    generate_images();
    ASSERT_TRUE(layer->load_images());
    struct Case {
        const char* name;
        XrPoint screen;   // where the position lies
        XrRectangle arrow; // where the arrow lands
        bool text_left;    // the distance left of the arrow, else right
    };
    const Case cases[] = {
        // Straight below: at the bottom edge, raised by its height, half its width left.
        {"below", XrPoint(400, 720), XrRectangle(390, 460, 410, 480), false},
        // Right: no room for the text, arrow left of the edge, centred on it.
        {"right", XrPoint(1200, 240), XrRectangle(780, 230, 800, 250), true},
        // Left: at the edge, the text to its right.
        {"left", XrPoint(-400, 240), XrRectangle(0, 230, 20, 250), false},
        // Above: at the top edge, half its width left.
        {"above", XrPoint(400, -400), XrRectangle(390, 0, 410, 20), false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        layer->set_position(world_at(k.screen.x, k.screen.y), 1);
        const XrTestPixels px = draw();
        EXPECT_EQ(px.count(kPositionArrow), kArrow * kArrow);
        EXPECT_EQ(px.count(kPositionArrow, k.arrow.left, k.arrow.top, k.arrow.right, k.arrow.bottom),
                  kArrow * kArrow);
        // The distance in black beside the arrow, on its highlight.
        const int left = px.count(kBlack, 0, k.arrow.top, k.arrow.left, k.arrow.bottom);
        const int right = px.count(kBlack, k.arrow.right, k.arrow.top, 800, k.arrow.bottom);
        EXPECT_GT(k.text_left ? left : right, 5);
        EXPECT_EQ(k.text_left ? right : left, 0);
        EXPECT_GT(px.count(kWhite), 100);
    }
}

TEST_F(PixelOverlay, PinWithLabelOnScreen)
{
    generate_images();
    ASSERT_TRUE(layer->load_images());
    layer->set_pin(world_at(240, 320), XrString(L"Meeting point"));
    ASSERT_NE(layer->get_pin(), nullptr);
    const XrTestPixels px = draw();
    // The head above the tip at (240, 320).
    EXPECT_EQ(px.at(240, 320 - XrOverlayLayer::PIN_TIP_Y + 20), kPinRed);
    EXPECT_GT(px.count(kNote), 500);
    EXPECT_EQ(layer->get_pin_label(), L"Meeting point");

    layer->clear_pin();
    EXPECT_EQ(layer->get_pin(), nullptr);
    const XrTestPixels cleared = draw();
    EXPECT_EQ(cleared.count(kPinRed), 0);
    EXPECT_EQ(cleared.count(kNote), 0);
}

TEST_F(PixelOverlay, PinOffScreenLosesItsLabel)
{
    generate_images();
    ASSERT_TRUE(layer->load_images());
    for (bool route : {false, true}) {
        SCOPED_TRACE(route);
        services.route = route;
        layer->set_pin(world_at(1600, 240), XrString(L"Far"));
        const XrTestPixels px = draw();
        // The arrow only without a route; the label is dropped either way.
        EXPECT_EQ(px.count(kPinArrow), route ? 0 : kArrow * kArrow);
        EXPECT_TRUE(layer->get_pin_label().is_empty());
    }
}

TEST_F(PixelOverlay, MissingPinImageSuppressesThePin)
{
    generate_images();
    std::remove((images + "/pin.png").c_str());
    EXPECT_FALSE(layer->load_images());
    layer->set_pin(world_at(240, 320), XrString(L"Label"));
    EXPECT_EQ(draw().count(kNote), 0);
    layer->set_pin(world_at(1600, 240), XrString(L"Label"));
    EXPECT_EQ(draw().count(kPinArrow), 0);
    EXPECT_EQ(layer->get_pin_label(), L"Label");
}

TEST_F(PixelOverlay, ProgressBarOnlyBetweenZeroAndOne)
{
    struct Case {
        float progress;
        int white_end; // last white pixel of the bar, -1: no bar
    };
    const Case cases[] = {{0.0f, -1}, {0.5f, 70 + 329}, {0.25f, 70 + 164}, {1.0f, -1}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.progress);
        layer->set_highlight_phase(k.progress);
        const XrTestPixels px = draw();
        const int y = 480 - 3;
        if (k.white_end < 0) {
            EXPECT_EQ(px.count(kBlack) + px.count(kWhite), 0);
            continue;
        }
        // A black line 5 wide from x 70 to 730, a white one 3 wide on it.
        EXPECT_EQ(px.at(60, y), kGround);
        EXPECT_EQ(px.at(70, y - 2), kBlack);
        EXPECT_EQ(px.at(80, y - 2), kBlack);
        EXPECT_EQ(px.at(80, y), kWhite);
        EXPECT_EQ(px.at(k.white_end, y), kWhite);
        EXPECT_EQ(px.at(k.white_end + 4, y), kBlack);
        EXPECT_EQ(px.at(730, y), kBlack);
        EXPECT_EQ(px.at(740, y), kGround);
    }
}
