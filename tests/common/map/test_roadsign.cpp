// Drawable road signs and the signpost drawer: sizes, shapes, rows.
#include <gtest/gtest.h>

#include "common/map/xr_roadsign.h"
#include "common/map/xr_signpostdrawer.h"
#include "map_test_support.h"

using namespace xr_map_test;

namespace {

// A font of size 10: characters 6 pixels wide, lines 12 high (12.5 cut).
XrFontHandleRec* font10()
{
    static XrFontHandleRec* f = XrGDI::create_font(L"sans", 10, 400, false);
    return f;
}

struct SignFixture : ::testing::Test {
    SignFixture()
    {
        register_fonts();
        dc = xr_recording_dc(800, 480);
        XrGdiRecording::instance().clear();
    }
    ~SignFixture() override { XrGDI::delete_dc(dc); }
    XrDCHandleRec* dc;
    XrFontHandleRec* font = font10();
    XrColorHandle colour = XrGDI::rgb(255, 255, 255);
    XrBrushHandle brush = XrGDI::create_brush(XrGDI::BrushSolid, 0, 128, 0);
    XrPenHandle pen = XrGDI::create_pen(XrGDI::PenSolid, 1, 255, 255, 255);
};

} // namespace

TEST_F(SignFixture, SizesByKind)
{
    const XrSize t = XrGDI::measure_text(font, L"A12", -1);
    const int tw = t.width, th = t.height;
    auto round_half = [](double x) { return static_cast<int>(x + 0.5); };
    const int d = 2;
    XrRoadNameSign name(XrString(L"A12"), font, colour);
    XrExitNumberSign exit_square(XrString(L"A12"), brush, pen, d, colour, font, false);
    XrExitNumberSign exit_round(XrString(L"A12"), brush, pen, d, colour, font, true);
    XrRoadNumberSignDefault plate(XrString(L"A12"), brush, pen, d, colour, font, true, true);
    XrRoadNumberSignUSAHighway highway(XrString(L"A12"), d, font);
    XrRoadNumberSignUSAInterState inter(XrString(L"A12"), d, font);
    XrRoadNumberSignCanAutoRoute autoroute(XrString(L"A12"), d, font);
    XrRoadNumberSignCanHighway can(XrString(L"A12"), d, font);
    XrRoadNumberSignCanTcHighway tc(XrString(L"A12"), brush, pen, d, colour, font);
    const int plate_h = th + 5 * d;
    struct Case {
        XrRoadSign* sign;
        int w, h;
    };
    const Case cases[] = {
        {&name, tw, th},
        {&exit_square, tw + 4 * d, th + 4 * d},
        {&exit_round, tw + 4 * d + 2 * ((th + 4 * d) / 2) - d, th + 4 * d},
        {&plate, tw + 5 * d + 2 * (plate_h / 6) - d, plate_h},
        {&highway, round_half(tw / 0.7) + 2 * d, round_half(th / 0.62) + 2 * d},
        {&inter, round_half(tw / 0.7) + 2 * d, round_half(th / 0.54) + 2 * d},
        {&autoroute, round_half(tw / 0.7) + 2 * d, round_half(th / 0.54) + 2 * d},
        {&can, round_half(tw / 0.7) + 2 * d, round_half(th / 0.62) + 2 * d},
        {&tc, round_half(tw / 0.7) + 2 * d, round_half(th / 0.62) + 2 * d},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.sign->get_size(), XrPoint(c.w, c.h));
    }
    // The worked example: border 1, frame, rounded, text 20 x 10: 28 x 15.
    EXPECT_EQ(20 + 5 + 2 * (15 / 6) - 1, 28);
}

TEST_F(SignFixture, InterstateDrawsBandThenBody)
{
    XrRoadNumberSignUSAInterState inter(XrString(L"95"), 1, font);
    inter.set_rect(XrRectangle(100, 100, 140, 140));
    inter.draw(dc);
    const auto polys = XrGdiRecording::instance().find("draw_polygon");
    ASSERT_EQ(polys.size(), 2u);
    EXPECT_EQ(polys[0]->points.size(), 15u);
    EXPECT_EQ(polys[0]->brush_rgb(), 0x0000FF); // red band
    EXPECT_EQ(polys[1]->points.size(), 17u);
    EXPECT_EQ(polys[1]->brush_rgb(), 0xFF0000); // blue body
    const auto text = XrGdiRecording::instance().find("draw_bidi_text");
    ASSERT_EQ(text.size(), 1u);
    EXPECT_EQ(text[0]->text, L"95");
    EXPECT_EQ(XrGdiRecording::instance().count("clear_clip_rect"), 1);
}

TEST_F(SignFixture, TransCanadaWidensToASquare)
{
    XrRoadNumberSignCanTcHighway tc(XrString(L"1"), brush, pen, 1, colour, font);
    tc.set_rect(XrRectangle(100, 100, 110, 130));
    tc.draw(dc);
    const auto clip = XrGdiRecording::instance().find("set_clip_rect");
    ASSERT_EQ(clip.size(), 1u);
    EXPECT_EQ(clip[0]->args, (std::vector<long long>{90, 100, 121, 131}));
    const auto polys = XrGdiRecording::instance().find("draw_polygon");
    ASSERT_EQ(polys.size(), 2u);
    EXPECT_EQ(polys[0]->points.size(), 12u); // shield: 6 mirrored
    EXPECT_EQ(polys[1]->points.size(), 24u); // leaf: 12 mirrored
}

TEST_F(SignFixture, NamePlateShortensToItsRectangle)
{
    XrRoadNameSign name(XrString(L"A very long road name"), font, colour);
    name.set_rect(XrRectangle(0, 0, 30, 12));
    name.draw(dc);
    const auto t = XrGdiRecording::instance().find("draw_bidi_text");
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0]->args[4], 11);
    // Without a font nothing is measured or drawn, and nothing is fatal.
    XrFontHandleRec* none = nullptr;
    XrRoadNameSign bad(XrString(L"x"), none, colour);
    EXPECT_EQ(bad.get_size(), XrPoint(0, 0));
    bad.draw(dc);
}

TEST_F(SignFixture, SignpostRowsBreakAfterANameAndAreRebuiltPerDraw)
{
    XrSignpostDrawer drawer;
    drawer.add_exit_number_sign(XrString(L"12"), brush, pen, colour, false);
    drawer.add_usa_highway_sign(XrString(L"40"));
    drawer.add_road_name_sign(XrString(L"Main"), colour);
    drawer.add_usa_highway_sign(XrString(L"66"));
    EXPECT_EQ(drawer.get_item_count(), 4);
    const XrRectangle box = drawer.draw(dc, XrPoint(10, 20), 400, -1);
    ASSERT_EQ(drawer.get_row_count(), 2);
    EXPECT_EQ(drawer.get_row(0).signs.size(), 3u);
    EXPECT_EQ(drawer.get_row(1).signs.size(), 1u);
    EXPECT_EQ(box.left, 10);
    EXPECT_EQ(box.top, 20);
    EXPECT_EQ(box.right, 410);
    // Drawing again does not pile the rows up.
    drawer.draw(dc, XrPoint(10, 20), 400, -1);
    EXPECT_EQ(drawer.get_row_count(), 2);
    EXPECT_EQ(drawer.get_row(0).signs.size(), 3u);
    // Every sign of a row takes the row's full height.
    const XrRoadSign* exit = drawer.get_row(0).signs[0];
    const XrRoadSign* shield = drawer.get_row(0).signs[1];
    EXPECT_EQ(exit->get_rect().bottom - exit->get_rect().top, shield->get_rect().bottom - shield->get_rect().top);
    drawer.flush();
    EXPECT_EQ(drawer.get_item_count(), 0);
    EXPECT_EQ(drawer.draw(dc, XrPoint(10, 20), 400, -1), XrRectangle(0, 0, 0, 0));
}

TEST_F(SignFixture, SignpostHeightOfOneRowAndOverwideSigns)
{
    XrSignpostDrawer drawer;
    drawer.add_road_name_sign(XrString(L"A name far wider than the box is"), colour);
    drawer.add_road_name_sign(XrString(L"B"), colour);
    const XrRectangle box = drawer.draw(dc, XrPoint(0, 0), 50, -1);
    // The wide sign still takes the first row; the next goes to a new one.
    ASSERT_EQ(drawer.get_row_count(), 2);
    const int inset = drawer.get_border_width() + drawer.get_margin();
    const int row = drawer.get_row(0).get_minimum_height();
    EXPECT_EQ(box.bottom - box.top, 2 * inset + row + (row > 0 ? std::max(1, drawer.get_margin() * 3 / 4) : 0) +
                                        drawer.get_row(1).get_minimum_height());
    EXPECT_FALSE(drawer.add_sign(nullptr, XrSignpostDrawer::XrSignpostItem::TypeRoadName));
}
