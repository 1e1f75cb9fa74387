// The safety screen drawn into real pixels: the countdown bars and the
// shipped pictures.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "common/gdi/gdi_test_dc.h"
#include "common/map/xr_safetyscreendrawer.h"
#include "safetyscreen_host.h"
#include "tests/support/xr_temp_root.h"
#include "tools/imagegen/imagegen.h"

namespace {

constexpr XrColorHandle kGround = 0x202020;
const XrColorHandle kBright = XrGDI::rgb(255, 0, 0);
const XrColorHandle kDark = XrGDI::rgb(100, 0, 0);

// The bars' box of the large layout: 85 high, bars of (85 - 12) / 6 = 12.
const XrRectangle kBox(709, 102, 740, 187);
constexpr int kGap = 2;
constexpr int kBar = 12;

int bar_top(int i) { return kBox.top + (5 - i) * (kBar + kGap); }

} // namespace

TEST(SafetyScreenBars, CountDownFromTheBottom)
{
    XR_REQUIRE_DISPLAY();
    struct Case {
        const char* name;
        XrDistance distance;
        int units;
        const char* bright; // per bar from the lowest (800) up: 1 bright, 0 dark
    };
    const Case cases[] = {
        {"1200 m", XrDistance(1200, XrDistance::Metres), 0, "000000"},
        {"1000 m", XrDistance(1000, XrDistance::Metres), 0, "111111"},
        {"950 m", XrDistance(950, XrDistance::Metres), 0, "111111"},
        {"780 m", XrDistance(780, XrDistance::Metres), 0, "011111"},
        {"700 m", XrDistance(700, XrDistance::Metres), 0, "011111"},
        {"75 m", XrDistance(75, XrDistance::Metres), 0, "000001"},
        {"50 m", XrDistance(50, XrDistance::Metres), 0, "000001"},
        {"49 m", XrDistance(49, XrDistance::Metres), 0, "000000"},
        {"300 yd", XrDistance(300, XrDistance::Yards), 1, "000111"},
        // 780 m are 853 yd, 950 m are 1039 yd.
        {"780 m in yards", XrDistance(780, XrDistance::Metres), 1, "111111"},
        {"950 m in yards", XrDistance(950, XrDistance::Metres), 2, "000000"},
        {"no distance", XrDistance(), 0, "000000"},
    };
    XrTestDC dc(800, 480, kGround);
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        dc.clear(kGround);
        XrSafetyScreenDrawer drawer;
        drawer.set_units(k.units);
        drawer.draw_distance_bars(dc.dc, kBox, k.distance, kGap, 3);
        const XrTestPixels px(dc.dc);
        for (int i = 0; i < XrSafetyScreenDrawer::BAR_COUNT; ++i) {
            SCOPED_TRACE(i);
            const XrColorHandle colour = k.bright[i] == '1' ? kBright : kDark;
            const int top = bar_top(i);
            EXPECT_EQ(px.at(724, top + kBar / 2), colour);
            EXPECT_EQ(px.at(kBox.left + 1, top + 1), colour);
            EXPECT_EQ(px.at(kBox.right - 1, top + kBar - 1), colour);
            // Rounded corners and the gap above stay background.
            EXPECT_EQ(px.at(kBox.left, top), kGround);
            EXPECT_EQ(px.at(724, top - 1), kGround);
        }
        // Nothing outside the box.
        EXPECT_EQ(px.ink(kGround).left, kBox.left);
        EXPECT_LE(px.ink(kGround).right, kBox.right + 1);
        EXPECT_EQ(px.ink(kGround).top, kBox.top);
        EXPECT_LE(px.ink(kGround).bottom, kBox.bottom);
    }
}

TEST(SafetyScreenLayout, SwitchesAt690Pixels)
{
    struct Case {
        int width;
        XrRectangle bars;
        int margin;
        const wchar_t* picture;
    };
    const Case cases[] = {
        {480, XrRectangle(620, 71, 648, 153), 175, L"?:/kestrova/images/route_01_half.png"},
        {689, XrRectangle(620, 71, 648, 153), 175, L"?:/kestrova/images/route_01_half.png"},
        {690, XrRectangle(709, 102, 740, 187), 203, L"?:/kestrova/images/route_01.png"},
        {800, XrRectangle(709, 102, 740, 187), 203, L"?:/kestrova/images/route_01.png"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.width);
        const XrSafetyScreenLayout& l = XrSafetyScreenLayout::for_width(k.width);
        EXPECT_EQ(l.bars_box, k.bars);
        EXPECT_EQ(l.instruction_margin, k.margin);
        EXPECT_STREQ(l.pictures[0], k.picture);
    }
}

TEST(SafetyScreenLayout, SecondPictureAlternatesEveryTenSeconds)
{
    const std::pair<std::uint32_t, int> cases[] = {{0, 0}, {9999, 0}, {10000, 1}, {19999, 1}, {20000, 0}};
    for (auto [ms, phase] : cases)
        EXPECT_EQ(XrSafetyScreenLayout::phase(ms), phase) << ms;
}

TEST(SafetyScreen, WholeScreenCountsDownInRealPixels)
{
    XR_REQUIRE_DISPLAY();
    struct Case {
        const char* name;
        int metres;
        int units;
        const char* bright;
    };
    // 274 m are 300 yd.
    const Case cases[] = {{"1200 m", 1200, 0, "000000"},
                          {"700 m", 700, 0, "011111"},
                          {"75 m", 75, 0, "000001"},
                          {"300 yd", 274, 1, "000111"}};
    XrTestDC dc(800, 480, kGround);
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        dc.clear(kGround);
        FakeSafetyHost host(false);
        host.distance = k.metres;
        host.units = k.units;
        xr_draw_safety_screen(dc.dc, XrPoint(800, 480), host, 0, 0);
        const XrTestPixels px(dc.dc);
        for (int i = 0; i < XrSafetyScreenDrawer::BAR_COUNT; ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(px.at(724, bar_top(i) + kBar / 2), k.bright[i] == '1' ? kBright : kDark);
        }
        // Without a route nothing at all.
        host.route = false;
        dc.clear(kGround);
        xr_draw_safety_screen(dc.dc, XrPoint(800, 480), host, 0, 0);
        EXPECT_EQ(XrTestPixels(dc.dc).count(kGround), 800 * 480);
    }
}

TEST(SafetyScreen, ShippedPicturesAlternate)
{
    XR_REQUIRE_DISPLAY();
    XrTempRoot root;
    std::ifstream in(XR_SAFETY_IMAGES);
    std::stringstream text;
    text << in.rdbuf();
    const XrImageGenResult r = xr_generate_images(text.str(), "safety.img", root.dir());
    ASSERT_TRUE(r.ok) << r.error;
    FakeSafetyHost host(false);
    for (const char* name : {"route_01", "route_02", "route_03", "route_01_half", "route_02_half", "route_03_half"}) {
        const std::string file = root.dir() + "/" + name + ".png";
        host.pictures.emplace_back(XrGDI::load_bitmap_file(XrString(file.c_str()).c_str()));
        ASSERT_NE(host.pictures.back(), nullptr) << name;
    }
    const XrColorHandle white = XrGDI::rgb(255, 255, 255);
    XrTestDC dc(800, 480, kGround);
    // route_01 at (595, 302); at (595, 372) route_02 (an hourglass, clear
    // at its left middle), then route_03 (a clock face).
    for (std::uint32_t ms : {0u, 10000u}) {
        SCOPED_TRACE(ms);
        dc.clear(kGround);
        xr_draw_safety_screen(dc.dc, XrPoint(800, 480), host, ms, 0);
        const XrTestPixels px(dc.dc);
        EXPECT_EQ(px.at(605, 332), white);
        EXPECT_EQ(px.at(605, 392), ms == 0 ? kGround : white);
        // The hourglass's top, or the clock's hand.
        EXPECT_EQ(px.at(615, 380), ms == 0 ? white : XrGDI::rgb(40, 40, 40));
    }
    // The half pictures on a small screen at (525, 243).
    dc.clear(kGround);
    xr_draw_safety_screen(dc.dc, XrPoint(600, 480), host, 0, 0);
    EXPECT_EQ(XrTestPixels(dc.dc).at(533, 267), white);
}
