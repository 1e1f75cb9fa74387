// Road signs drawn into real pixels: every national shield and both plates
// on one sheet, probed by colour; road-number shields that stay on their
// places while the map pans.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>

#include "common/gdi/gdi_test_dc.h"
#include "common/map/xr_roadnumberlayer.h"
#include "common/map/xr_roadsign.h"
#include "map_test_support.h"

using namespace xr_map_test;

namespace {

constexpr XrColorHandle kSheet = 0xC0C0C0;
constexpr XrColorHandle kSchemeGreen = 0x006400; // 0, 100, 0

// A probe: a point in percent of the sign's rectangle and the colour there.
struct Probe {
    int px, py;
    XrColorHandle colour;
};

struct Shield {
    const char* name;
    std::function<std::unique_ptr<XrRoadSign>()> make;
    std::vector<Probe> probes;
    // Colours that must cover a good part of the sign.
    std::vector<XrColorHandle> colours;
};

// The bounding box of the pixels of an area that are not the background.
XrRectangle ink_in(const XrTestPixels& px, XrColorHandle background, const XrRectangle& area)
{
    XrRectangle r(area.right, area.bottom, area.left, area.top);
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (px.at(x, y) != background) {
                r.left = std::min(r.left, x);
                r.top = std::min(r.top, y);
                r.right = std::max(r.right, x + 1);
                r.bottom = std::max(r.bottom, y + 1);
            }
    return r;
}

struct SignSheet : ::testing::Test {
    void SetUp() override
    {
        XR_REQUIRE_DISPLAY();
        register_fonts();
        font = XrGDI::create_font(L"sans", 30, 700, false);
        ASSERT_NE(font, nullptr);
        pen = XrGDI::create_pen(XrGDI::PenSolid, 1, 255, 255, 255);
        brush = XrGDI::create_brush(XrGDI::BrushSolid, 0, 100, 0);
    }
    void TearDown() override
    {
        if (font != nullptr)
            XrGDI::delete_font(font);
    }
    XrFontHandleRec* font = nullptr;
    XrPenHandle pen{};
    XrBrushHandle brush{};
    XrColorHandle text = XrGDI::rgb(255, 255, 255);
};

TEST_F(SignSheet, EveryShieldDrawnOnASheet)
{
    const int d = 1;
    const XrString t(L"12");
    const std::vector<Shield> shields = {
        {"interstate", [&] { return std::make_unique<XrRoadNumberSignUSAInterState>(t, d, font); },
         // Red band on top (its corners cut), blue body, round bottom.
         {{50, 10, kRed}, {5, 10, kSheet}, {50, 88, kBlue}, {3, 97, kSheet}},
         {kRed, kBlue, kWhite}},
        {"USA highway", [&] { return std::make_unique<XrRoadNumberSignUSAHighway>(t, d, font); },
         {{50, 3, kWhite}, {50, 90, kWhite}, {3, 97, kSheet}},
         {kWhite, kBlack}},
        // Widened to a square (checked below).
        {"Trans-Canada", [&] { return std::make_unique<XrRoadNumberSignCanTcHighway>(t, brush, pen, d, text, font); },
         {},
         {kSchemeGreen, kWhite}},
        {"autoroute", [&] { return std::make_unique<XrRoadNumberSignCanAutoRoute>(t, d, font); },
         // The band is a plain rectangle: its corners are red too.
         {{50, 10, kRed}, {6, 10, kRed}, {50, 88, kBlue}, {3, 97, kSheet}},
         {kRed, kBlue, kWhite}},
        {"Canadian highway", [&] { return std::make_unique<XrRoadNumberSignCanHighway>(t, d, font); },
         {{50, 90, kWhite}, {5, 50, kWhite}, {5, 96, kSheet}},
         {kWhite, kBlack}},
        {"square plate", [&] {
             return std::make_unique<XrRoadNumberSignDefault>(t, brush, pen, d, text, font, true, false);
         },
         {{0, 0, kBlack}},
         {kSchemeGreen, kWhite}},
        {"rounded plate", [&] {
             return std::make_unique<XrRoadNumberSignDefault>(t, brush, pen, d, text, font, true, true);
         },
         {{0, 0, kSheet}},
         {kSchemeGreen, kWhite}},
    };

    // One cell of 110 x 150 per sign, the sign centred in it.
    XrTestDC sheet(110 * static_cast<int>(shields.size()), 150, kSheet);
    std::vector<XrRectangle> rects;
    for (size_t i = 0; i < shields.size(); ++i) {
        std::unique_ptr<XrRoadSign> sign = shields[i].make();
        const XrPoint size = sign->get_size();
        ASSERT_GT(size.x, 20) << shields[i].name;
        ASSERT_GT(size.y, 30) << shields[i].name;
        ASSERT_LT(size.x, 110) << shields[i].name;
        ASSERT_LT(size.y, 150) << shields[i].name;
        const int cx = 110 * static_cast<int>(i) + 55, cy = 75;
        const XrRectangle r(cx - size.x / 2, cy - size.y / 2, cx - size.x / 2 + size.x, cy - size.y / 2 + size.y);
        sign->set_rect(r);
        sign->draw(sheet.dc);
        rects.push_back(r);
    }
    const XrTestPixels px(sheet.dc);
    for (size_t i = 0; i < shields.size(); ++i) {
        const XrRectangle& r = rects[i];
        const int w = r.right - r.left, h = r.bottom - r.top;
        for (const Probe& p : shields[i].probes) {
            const int x = std::min(r.left + p.px * w / 100, r.right), y = std::min(r.top + p.py * h / 100, r.bottom);
            EXPECT_EQ(px.at(x, y), p.colour) << shields[i].name << " at " << p.px << "%," << p.py << "%";
        }
        for (XrColorHandle c : shields[i].colours)
            EXPECT_GT(px.count(c, r.left, r.top, r.right + 1, r.bottom + 1), w * h / 50)
                << shields[i].name << " colour " << std::hex << c;
        // Nothing above or below the sign in its cell.
        const int cell = 110 * static_cast<int>(i);
        EXPECT_EQ(px.count(kSheet, cell, 0, cell + 110, r.top - 1), 110 * (r.top - 1)) << shields[i].name;
        EXPECT_EQ(px.count(kSheet, cell, r.bottom + 2, cell + 110, 150), 110 * (148 - r.bottom)) << shields[i].name;
        // Only the Trans-Canada shield is drawn square.
        const XrRectangle ink = ink_in(px, kSheet, XrRectangle(cell, 0, cell + 110, 150));
        EXPECT_EQ(std::abs((ink.right - ink.left) - (ink.bottom - ink.top)) <= 1, i == 2) << shields[i].name;
        // The number is written: its white or black strokes in the middle.
        const int middle = px.count(kWhite, r.left + w / 4, r.top + h / 3, r.right - w / 4, r.bottom - h / 3) +
                           px.count(kBlack, r.left + w / 4, r.top + h / 3, r.right - w / 4, r.bottom - h / 3);
        EXPECT_GT(middle, 20) << shields[i].name;
    }
}

// Shields along a road, every 60 units; a scheme of green square plates.
struct PanningNumbers : ::testing::Test {
    PanningNumbers() : view(&map) {}
    void SetUp() override
    {
        XR_REQUIRE_DISPLAY();
        register_fonts();
        layer = new XrRoadNumberLayer(&map, nullptr, false);
        storage = new XrMemoryGeomStorage();
        layer->get_storage()->add_storage(storage, 0);
        map.add_layer(layer, XrString(L"rn"));
        set_up_view(view);
        XrRoadNumberLayer::XrScheme s;
        s.pen = XrGDI::create_pen(XrGDI::PenSolid, 1, 255, 255, 255);
        s.brush = XrGDI::create_brush(XrGDI::BrushSolid, 0, 100, 0);
        s.text_colour = XrGDI::rgb(255, 255, 255);
        s.shape = 1;
        s.read = true;
        layer->set_scheme(1, s);
        target = std::make_unique<XrTestDC>(800, 480, kSheet);
    }
    // The centres of the plates around a screen row: runs of columns that
    // hold green within 30 rows of it.
    std::vector<int> shield_centres(int row)
    {
        target->clear(kSheet);
        layer->draw(target->dc, &view);
        const XrTestPixels px(target->dc);
        std::vector<int> out;
        int start = -1;
        for (int x = 0; x <= px.width; ++x) {
            const bool green = x < px.width && px.count(kSchemeGreen, x, row - 30, x + 1, row + 30) > 0;
            if (green && start < 0)
                start = x;
            if (!green && start >= 0) {
                if (start > 0 && x < px.width) // wholly on the screen
                    out.push_back((start + x - 1) / 2);
                start = -1;
            }
        }
        return out;
    }

    XrMap map;
    XrMapView view;
    XrRoadNumberLayer* layer = nullptr;
    XrMemoryGeomStorage* storage = nullptr;
    std::unique_ptr<XrTestDC> target;
};

TEST_F(PanningNumbers, ShieldsStayOnTheirPlacesOverAPan)
{
    for (int i = 0; i < 8; ++i)
        add_text(*storage, 1, at(-200 + 60 * i, 0), "E45");
    // With 150 units between shields of one road: at -200, -20 and 160
    // (x = 80, 368 and 656), each a plate around its point.
    const int row = 240;
    std::vector<int> first = shield_centres(row);
    const std::vector<int> expected = {80, 368, 656};
    ASSERT_EQ(first.size(), expected.size());
    for (size_t i = 0; i < first.size(); ++i)
        EXPECT_NEAR(first[i], expected[i], 1);
    // Pan east and back west (10 units = 16 pixels): the same shields move
    // with the map; none is added in between or dropped.
    for (int dx : {10, 25, 0, -20, -45, -60}) {
        const XrPoint c(kCentre.x + dx, kCentre.y);
        ASSERT_TRUE(view.set_center_and_scale(&c, 10000, true));
        const std::vector<int> now = shield_centres(row);
        ASSERT_EQ(now.size(), first.size()) << dx;
        for (size_t i = 0; i < now.size(); ++i)
            EXPECT_EQ(now[i], first[i] - dx * 16 / 10) << dx;
    }
}

} // namespace
