// XrGDI drawing on off-screen pixmaps, checked pixel by pixel.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/bmloader/xr_bitmap.h"
#include "common/gdi/xr_gdi.h"
#include "common/gdi/xr_palette.h"
#include "gdi_test_dc.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/mbm_writer.h"

namespace {

class GdiTest : public ::testing::Test {
protected:
    void SetUp() override { XR_REQUIRE_DISPLAY(); }
};

// A handle with an RGB buffer of one colour (or a pattern function).
XrBitmapHandleRec* make_rgb_bitmap(int width, int height, XrColorHandle (*pixel)(int x, int y))
{
    auto* bm = new XrBitmapHandleRec{new XrBitmapHeader{}, new BYTE[width * height * 3], nullptr, nullptr, nullptr};
    bm->header->width = width;
    bm->header->height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const XrColorHandle c = pixel(x, y);
            BYTE* p = bm->buffer + (y * width + x) * 3;
            p[0] = XrGDI::get_r(c);
            p[1] = XrGDI::get_g(c);
            p[2] = XrGDI::get_b(c);
        }
    return bm;
}

// --- Colours, pens and brushes ----------------------------------------------

TEST_F(GdiTest, RgbPacksRedLowest)
{
    EXPECT_EQ(XrGDI::rgb(0x12, 0x34, 0x56), 0x563412u);
    EXPECT_EQ(XrGDI::get_r(0x563412), 0x12);
    EXPECT_EQ(XrGDI::get_g(0x563412), 0x34);
    EXPECT_EQ(XrGDI::get_b(0x563412), 0x56);
}

TEST_F(GdiTest, PenStylesAndPlatformColour)
{
    struct {
        int style;
        int expected;
    } cases[] = {{0, XrPenHandle::Solid}, {1, XrPenHandle::Dashed}, {2, XrPenHandle::Solid},
                 {3, XrPenHandle::Dashed}, {4, XrPenHandle::Solid}, {5, XrPenHandle::Null},
                 {7, XrPenHandle::Null},   {255, XrPenHandle::Null}, {-1, XrPenHandle::Null}};
    for (const auto& c : cases) {
        const XrPenHandle pen = XrGDI::create_pen(static_cast<XrGDI::PenStyle>(c.style), 3, 255, 128, 1);
        EXPECT_EQ(pen.style, c.expected) << "style " << c.style;
        EXPECT_EQ(pen.width, 3);
        // 8-bit channels shifted by 8: 255 gives 0xFF00.
        EXPECT_EQ(pen.color.red, 0xFF00);
        EXPECT_EQ(pen.color.green, 0x8000);
        EXPECT_EQ(pen.color.blue, 0x0100);
    }
}

TEST_F(GdiTest, BrushStyles)
{
    const XrBrushHandle hollow = XrGDI::create_brush(XrGDI::BrushHollow, 1, 2, 3);
    EXPECT_EQ(hollow.fill, 0u);
    EXPECT_EQ(hollow.null_marker, 0);
    const XrBrushHandle solid = XrGDI::create_brush(XrGDI::BrushSolid, 1, 2, 3);
    EXPECT_EQ(solid.fill, 1u);
    EXPECT_EQ(solid.null_marker, 0);
    const XrBrushHandle null_brush = XrGDI::create_brush(XrGDI::BrushHatchDiagonal, 1, 2, 3);
    EXPECT_EQ(null_brush.fill, 0u);
    EXPECT_EQ(null_brush.null_marker, 255);
}

TEST_F(GdiTest, StockObjects)
{
    EXPECT_EQ(XrGDI::get_stock_pen(XrGDI::StockBlackPen).style, XrPenHandle::Solid);
    EXPECT_EQ(XrGDI::get_stock_pen(XrGDI::StockBlackPen).color.red, 0);
    EXPECT_EQ(XrGDI::get_stock_pen(XrGDI::StockWhitePen).color.red, 0xFF00);
    EXPECT_EQ(XrGDI::get_stock_pen(static_cast<XrGDI::StockPen>(42)).color.blue, 0xFF00);
    EXPECT_EQ(XrGDI::get_stock_brush(XrGDI::StockBlackBrush).fill, 1u);
    EXPECT_EQ(XrGDI::get_stock_brush(XrGDI::StockBlackBrush).color.green, 0);
    EXPECT_EQ(XrGDI::get_stock_brush(XrGDI::StockWhiteBrush).color.green, 0xFF00);
    EXPECT_EQ(XrGDI::get_stock_brush(XrGDI::StockHollowBrush).fill, 0u);
    EXPECT_EQ(XrGDI::get_stock_brush(XrGDI::StockHollowBrush).null_marker, 0);
}

TEST_F(GdiTest, NullPenAndBrushAreIgnoredWhenSelected)
{
    XrTestDC t;
    XrGDI::select_pen(t.dc, XrGDI::create_pen(XrGDI::PenSolid, 2, 255, 0, 0));
    XrGDI::select_brush(t.dc, XrGDI::create_brush(XrGDI::BrushSolid, 0, 255, 0));
    XrGDI::select_pen(t.dc, XrGDI::create_pen(static_cast<XrGDI::PenStyle>(7), 5, 0, 0, 255));
    XrGDI::select_brush(t.dc, XrGDI::create_brush(static_cast<XrGDI::BrushStyle>(9), 0, 0, 255));
    EXPECT_EQ(XrGDI::get_pen(t.dc).width, 2);
    EXPECT_EQ(XrGDI::get_pen(t.dc).color.red, 0xFF00);
    EXPECT_EQ(XrGDI::get_brush(t.dc).color.green, 0xFF00);
}

TEST_F(GdiTest, PenColourAndBrushColourNeedAPenAndASolidBrush)
{
    XrTestDC t;
    XrGDI::set_pen_color(t.dc, 255, 0, 0); // null pen: no change
    EXPECT_EQ(t.dc->pen.color.red, 0);
    XrGDI::select_brush(t.dc, XrGDI::create_brush(XrGDI::BrushHollow, 0, 0, 0));
    XrGDI::set_brush_color(t.dc, 255, 0, 0); // hollow brush: no change
    EXPECT_EQ(t.dc->brush.color.red, 0);

    XrGDI::select_pen(t.dc, XrGDI::create_pen(XrGDI::PenSolid, 1, 0, 0, 0));
    XrGDI::set_pen_color(t.dc, 0, 0, 255);
    XrGDI::draw_line(t.dc, 0, 5, 50, 5);
    EXPECT_EQ(XrTestPixels(t.dc).at(20, 5), kBlue);

    XrGDI::select_brush(t.dc, XrGDI::create_brush(XrGDI::BrushSolid, 0, 0, 0));
    XrGDI::set_brush_color(t.dc, 0, 255, 0);
    EXPECT_EQ(t.dc->brush.color.green, 0xFF00);
}

TEST_F(GdiTest, DashLengthFollowsTheWidthArgument)
{
    // (width x 30) / 9 + 7: -1 gives 4-pixel dashes, 3 gives 17-pixel dashes.
    struct {
        int width_arg;
        int dash;
    } cases[] = {{-1, 4}, {3, 17}};
    for (const auto& c : cases) {
        XrTestDC t;
        XrGDI::select_pen(t.dc, XrGDI::create_pen(XrGDI::PenDash, 3, 0, 0, 0), c.width_arg);
        XrGDI::draw_line(t.dc, 0, 10, 199, 10);
        XrTestPixels px(t.dc);
        EXPECT_EQ(px.at(0, 10), kBlack) << c.width_arg;
        EXPECT_EQ(px.at(c.dash - 1, 10), kBlack) << c.width_arg;
        EXPECT_EQ(px.at(c.dash, 10), kWhite) << c.width_arg;
        EXPECT_EQ(px.at(2 * c.dash - 1, 10), kWhite) << c.width_arg;
        EXPECT_EQ(px.at(2 * c.dash, 10), kBlack) << c.width_arg;
        // A width-3 line either way.
        EXPECT_EQ(px.at(1, 9), kBlack);
        EXPECT_EQ(px.at(1, 11), kBlack);
        EXPECT_EQ(px.at(1, 12), kWhite);
    }
}

TEST_F(GdiTest, HugeDashedPenWidthStaysDashed)
{
    XrTestDC t;
    XrGDI::select_pen(t.dc, XrGDI::create_pen(XrGDI::PenDash, 1, 0, 0, 0), 1000);
    GdkGCValues values;
    gdk_gc_get_values(t.gc, &values);
    EXPECT_EQ(values.line_style, GDK_LINE_ON_OFF_DASH);
    EXPECT_EQ(values.line_width, 1000);
}

TEST_F(GdiTest, SetPenWidthKeepsTheLineStyle)
{
    XrTestDC t;
    XrGDI::select_pen(t.dc, XrGDI::create_pen(XrGDI::PenDash, 1, 0, 0, 0));
    XrGDI::set_pen_width(t.dc, 6);
    GdkGCValues values;
    gdk_gc_get_values(t.gc, &values);
    EXPECT_EQ(values.line_width, 6);
    EXPECT_EQ(values.line_style, GDK_LINE_ON_OFF_DASH);
    EXPECT_EQ(values.cap_style, GDK_CAP_ROUND);
    EXPECT_EQ(t.dc->pen.width, 6);
}

TEST_F(GdiTest, RasterOps)
{
    XrTestDC t;
    const struct {
        int op;
        GdkFunction function;
    } cases[] = {{1, GDK_XOR}, {2, GDK_AND}, {0, GDK_COPY}, {3, GDK_COPY}};
    for (const auto& c : cases) {
        XrGDI::set_raster_op(t.dc, static_cast<XrGDI::RasterOp>(c.op));
        GdkGCValues values;
        gdk_gc_get_values(t.gc, &values);
        EXPECT_EQ(values.function, c.function) << c.op;
    }
}

// --- Shapes -------------------------------------------------------------------

TEST_F(GdiTest, PolylineIsClippedToTheDrawable)
{
    XrTestDC t;
    XrGDI::select_pen(t.dc, XrGDI::create_pen(XrGDI::PenSolid, 1, 255, 0, 0));
    const XrPoint far_line[] = {XrPoint(-100000, 50), XrPoint(100000, 50)};
    XrGDI::draw_polyline(t.dc, far_line, 2);
    const XrPoint outside[] = {XrPoint(-50, -50), XrPoint(-10, -80), XrPoint(INT_MIN, INT_MAX)};
    XrGDI::draw_polyline(t.dc, outside, 3);
    const XrPoint one[] = {XrPoint(5, 5)};
    XrGDI::draw_polyline(t.dc, one, 1);
    XrTestPixels px(t.dc);
    EXPECT_EQ(px.count(kRed, 0, 50, 200, 51), 200);
    EXPECT_EQ(px.count(kRed), 200);
}

TEST_F(GdiTest, PolylineSegmentsCrossingTheEdge)
{
    XrTestDC t;
    XrGDI::select_pen(t.dc, XrGDI::create_pen(XrGDI::PenSolid, 1, 255, 0, 0));
    const XrPoint line[] = {XrPoint(100, -100), XrPoint(100, 20), XrPoint(300, 20)};
    XrGDI::draw_polyline(t.dc, line, 3);
    XrTestPixels px(t.dc);
    EXPECT_EQ(px.at(100, 0), kRed);
    EXPECT_EQ(px.at(100, 19), kRed);
    EXPECT_EQ(px.at(199, 20), kRed);
}

TEST_F(GdiTest, RectangleOfOnePointIsThePlatformOutlineOfSizeOne)
{
    XrTestDC t;
    XrGDI::select_pen(t.dc, XrGDI::create_pen(XrGDI::PenSolid, 1, 0, 0, 0));
    XrGDI::draw_rectangle(t.dc, 10, 10, 10, 10);
    XrTestPixels px(t.dc);
    EXPECT_EQ(px.at(10, 10), kBlack);
    EXPECT_EQ(px.ink(kWhite), XrRectangle(10, 10, 12, 12));
}

TEST_F(GdiTest, FilledRectanglePenFrameAndBrushInside)
{
    XrTestDC t;
    XrGDI::select_pen(t.dc, XrGDI::create_pen(XrGDI::PenSolid, 2, 255, 0, 0));
    XrGDI::select_brush(t.dc, XrGDI::create_brush(XrGDI::BrushSolid, 0, 255, 0));
    XrGDI::draw_rectangle(t.dc, XrRectangle(10, 10, 29, 19));
    XrTestPixels px(t.dc);
    EXPECT_EQ(px.ink(kWhite), XrRectangle(10, 10, 30, 20));
    EXPECT_EQ(px.at(10, 10), kRed);
    EXPECT_EQ(px.at(11, 11), kRed);
    EXPECT_EQ(px.at(12, 12), kGreen);
    EXPECT_EQ(px.at(27, 17), kGreen);
    EXPECT_EQ(px.at(28, 17), kRed);
    EXPECT_EQ(px.count(kGreen), 16 * 6);
}

TEST_F(GdiTest, FilledRectangleWithoutInsideIsPenColoured)
{
    XrTestDC t;
    XrGDI::select_pen(t.dc, XrGDI::create_pen(XrGDI::PenSolid, 1, 255, 0, 0));
    XrGDI::select_brush(t.dc, XrGDI::create_brush(XrGDI::BrushSolid, 0, 255, 0));
    XrGDI::draw_rectangle(t.dc, 10, 10, 11, 30);
    XrTestPixels px(t.dc);
    EXPECT_EQ(px.count(kGreen), 0);
    EXPECT_EQ(px.count(kRed), 2 * 21);
}

TEST_F(GdiTest, FilledEllipse)
{
    XrTestDC t;
    XrGDI::select_pen(t.dc, XrGDI::create_pen(XrGDI::PenSolid, 2, 255, 0, 0));
    XrGDI::select_brush(t.dc, XrGDI::create_brush(XrGDI::BrushSolid, 0, 255, 0));
    XrGDI::draw_ellipse(t.dc, 10, 10, 49, 49);
    XrTestPixels px(t.dc);
    EXPECT_EQ(px.at(30, 30), kGreen);
    EXPECT_EQ(px.at(10, 30), kRed);
    EXPECT_EQ(px.at(11, 11), kWhite);
    EXPECT_EQ(px.ink(kWhite), XrRectangle(10, 10, 50, 50));
    // Too small for an inside: no brush-coloured arc of negative size.
    XrGDI::draw_ellipse(t.dc, 100, 10, 102, 12);
    EXPECT_EQ(XrTestPixels(t.dc).count(kGreen, 90, 0, 120, 30), 0);
}

TEST_F(GdiTest, ShapesAtTheEndsOfTheIntRangeDoNotOverflow)
{
    constexpr int lo = INT32_MIN, hi = INT32_MAX;
    using Draw = void (*)(XrDCHandleRec*, int, int, int, int);
    const Draw rectangle = [](XrDCHandleRec* dc, int l, int t, int r, int b) { XrGDI::draw_rectangle(dc, l, t, r, b); };
    const Draw ellipse = [](XrDCHandleRec* dc, int l, int t, int r, int b) { XrGDI::draw_ellipse(dc, l, t, r, b); };
    struct {
        const char* name;
        Draw draw;
        int l, t, r, b;
        int pen_width;
        int green; // brush-coloured pixels of the 200 x 100 surface
    } cases[] = {
        {"rectangle over everything", rectangle, lo, lo, hi, hi, 1, 200 * 100},
        {"rectangle with a huge pen", rectangle, lo, lo, hi, hi, hi, 200 * 100},
        {"rectangle cut on the left", rectangle, lo, 10, 49, 19, 1, 49 * 8},
        {"rectangle outside", rectangle, hi - 10, 0, hi, 10, 1, 0},
        {"ellipse over everything", ellipse, lo, lo, hi, hi, 1, 200 * 100},
        {"ellipse with a huge pen", ellipse, lo, lo, hi, hi, hi, 200 * 100},
        {"ellipse outside", ellipse, lo, lo, lo + 100, hi, 1, 0},
    };
    for (const auto& c : cases) {
        XrTestDC t;
        XrGDI::select_pen(t.dc, XrGDI::create_pen(XrGDI::PenSolid, 1, 255, 0, 0), c.pen_width);
        XrGDI::select_brush(t.dc, XrGDI::create_brush(XrGDI::BrushSolid, 0, 255, 0));
        c.draw(t.dc, c.l, c.t, c.r, c.b);
        XrTestPixels px(t.dc);
        EXPECT_EQ(px.count(kGreen), c.green) << c.name;
        if (c.green == 0) {
            EXPECT_EQ(px.count(kWhite), 200 * 100) << c.name;
        }
    }
    // A dashed pen of any width argument: dash lengths stay within 1..127.
    for (int width : {hi, lo, -1000000}) {
        XrTestDC t;
        XrGDI::select_pen(t.dc, XrGDI::create_pen(XrGDI::PenDash, 1, 0, 0, 0), width);
        XrGDI::draw_line(t.dc, 0, 10, 199, 10);
    }
}

TEST_F(GdiTest, PolygonFilledInTheBrushColourThenPenColourRestored)
{
    XrTestDC t;
    XrGDI::select_brush(t.dc, XrGDI::create_brush(XrGDI::BrushSolid, 0, 255, 0));
    XrGDI::select_pen(t.dc, XrGDI::create_pen(XrGDI::PenSolid, 1, 255, 0, 0));
    const XrPoint square[] = {XrPoint(10, 10), XrPoint(50, 10), XrPoint(50, 50), XrPoint(10, 50)};
    const int sizes[] = {4};
    XrGDI::draw_polygon(t.dc, square, sizes, 1);
    XrGDI::draw_line(t.dc, 100, 5, 150, 5);
    XrTestPixels px(t.dc);
    EXPECT_EQ(px.at(30, 30), kGreen);
    EXPECT_EQ(px.at(120, 5), kRed);
}

TEST_F(GdiTest, PolygonWithHole)
{
    XrTestDC t;
    XrGDI::select_brush(t.dc, XrGDI::create_brush(XrGDI::BrushSolid, 0, 255, 0));
    const XrPoint rings[] = {XrPoint(10, 10), XrPoint(90, 10), XrPoint(90, 90), XrPoint(10, 90),
                             XrPoint(30, 30), XrPoint(70, 30), XrPoint(70, 70), XrPoint(30, 70)};
    const int sizes[] = {4, 4};
    XrGDI::draw_polygon(t.dc, rings, sizes, 2);
    XrTestPixels px(t.dc);
    EXPECT_EQ(px.at(20, 20), kGreen);
    EXPECT_EQ(px.at(50, 50), kWhite);
    EXPECT_EQ(px.at(95, 50), kWhite);
}

TEST_F(GdiTest, PolygonEdgeCases)
{
    XrTestDC t;
    XrGDI::select_brush(t.dc, XrGDI::create_brush(XrGDI::BrushSolid, 0, 255, 0));
    // First ring wholly outside: nothing.
    const XrPoint outside[] = {XrPoint(-50, -50), XrPoint(-10, -50), XrPoint(-10, -10)};
    const int three[] = {3};
    XrGDI::draw_polygon(t.dc, outside, three, 1);
    XrGDI::draw_polygon(t.dc, outside, three, 0);
    EXPECT_EQ(XrTestPixels(t.dc).count(kGreen), 0);
    // A hole that clips to fewer than 3 points is not cut out.
    const XrPoint rings[] = {XrPoint(10, 10), XrPoint(90, 10), XrPoint(90, 90), XrPoint(10, 90),
                             XrPoint(-50, -50), XrPoint(-10, -50), XrPoint(-10, -10)};
    const int sizes[] = {4, 3};
    XrGDI::draw_polygon(t.dc, rings, sizes, 2);
    XrTestPixels px(t.dc);
    EXPECT_EQ(px.count(kGreen, 10, 10, 90, 90), 80 * 80);
}

TEST_F(GdiTest, PolygonWithHolesKeepsTheClipRectangle)
{
    XrTestDC t;
    XrGDI::select_brush(t.dc, XrGDI::create_brush(XrGDI::BrushSolid, 0, 255, 0));
    XrGDI::set_clip_rect(t.dc, XrRectangle(0, 0, 50, 100));
    const XrPoint rings[] = {XrPoint(10, 10), XrPoint(90, 10), XrPoint(90, 90), XrPoint(10, 90),
                             XrPoint(30, 30), XrPoint(40, 30), XrPoint(40, 40), XrPoint(30, 40)};
    const int sizes[] = {4, 4};
    XrGDI::draw_polygon(t.dc, rings, sizes, 2);
    XrGDI::draw_rectangle(t.dc, 100, 10, 150, 20);
    XrTestPixels px(t.dc);
    EXPECT_EQ(px.at(20, 20), kGreen);
    EXPECT_EQ(px.at(60, 20), kWhite);
    EXPECT_EQ(px.count(kGreen, 100, 0, 200, 100), 0);
    EXPECT_EQ(t.dc->clip, XrRectangle(0, 0, 50, 100));
}

TEST_F(GdiTest, OutlineSkipsLongAxisParallelEdges)
{
    XrTestDC t;
    XrGDI::select_brush(t.dc, XrGDI::create_brush(XrGDI::BrushSolid, 0, 255, 0));
    XrGDI::select_pen(t.dc, XrGDI::create_pen(XrGDI::PenSolid, 1, 255, 0, 0));
    // A triangle: a diagonal edge, a vertical edge of 4 and a long
    // horizontal one; no closing edge.
    const XrPoint ring[] = {XrPoint(10, 10), XrPoint(50, 50), XrPoint(50, 54), XrPoint(10, 54), XrPoint(10, 10)};
    const int sizes[] = {5};
    XrGDI::draw_polygon_outlined(t.dc, ring, sizes, 1, true);
    XrTestPixels px(t.dc);
    EXPECT_EQ(px.at(30, 30), kRed);     // diagonal drawn
    EXPECT_EQ(px.at(50, 52), kRed);     // short vertical drawn
    EXPECT_NE(px.at(30, 54), kRed);     // long horizontal cut
    EXPECT_NE(px.at(10, 30), kRed);     // long vertical cut
    EXPECT_EQ(px.at(20, 40), kGreen);

    // The 3D view's call draws the same.
    XrTestDC t3;
    XrGDI::select_brush(t3.dc, XrGDI::create_brush(XrGDI::BrushSolid, 0, 255, 0));
    XrGDI::select_pen(t3.dc, XrGDI::create_pen(XrGDI::PenSolid, 1, 255, 0, 0));
    XrGDI::draw_polygon_outlined(t3.dc, ring, sizes, 1, true, true);
    EXPECT_EQ(XrTestPixels(t3.dc).pixels, px.pixels);
}

TEST_F(GdiTest, OnlyASolidBrushFillsPolygonsRectanglesAndEllipses)
{
    // A map style with the brush word NULL (a hollow brush) draws outlines
    // only; so does a DC without a brush (a null brush is never selected).
    using Shape = void (*)(XrDCHandleRec*);
    const Shape polygon = [](XrDCHandleRec* dc) {
        // A diamond: no long axis-parallel edge, so all of it is outlined.
        const XrPoint ring[] = {XrPoint(50, 10), XrPoint(90, 50), XrPoint(50, 90), XrPoint(10, 50), XrPoint(50, 10)};
        const int sizes[] = {5};
        XrGDI::draw_polygon_outlined(dc, ring, sizes, 1, true);
    };
    const Shape polygon_with_hole = [](XrDCHandleRec* dc) {
        const XrPoint rings[] = {XrPoint(20, 20), XrPoint(80, 20), XrPoint(80, 80), XrPoint(20, 80),
                                 XrPoint(60, 60), XrPoint(70, 60), XrPoint(70, 70), XrPoint(60, 70)};
        const int sizes[] = {4, 4};
        XrGDI::draw_polygon(dc, rings, sizes, 2);
        XrGDI::draw_rectangle(dc, 20, 20, 80, 80);
    };
    const Shape rectangle = [](XrDCHandleRec* dc) { XrGDI::draw_rectangle(dc, 20, 20, 80, 80); };
    const Shape ellipse = [](XrDCHandleRec* dc) { XrGDI::draw_ellipse(dc, 20, 20, 80, 80); };
    const struct {
        const char* name;
        Shape shape;
    } shapes[] = {{"polygon", polygon}, {"polygon with a hole", polygon_with_hole}, {"rectangle", rectangle},
                  {"ellipse", ellipse}};
    const struct {
        const char* name;
        int style; // -1: none selected
        bool fills;
    } brushes[] = {{"solid", XrGDI::BrushSolid, true},
                   {"hollow", XrGDI::BrushHollow, false},
                   {"hatched (null)", XrGDI::BrushHatchCross, false},
                   {"none", -1, false}};
    for (const auto& shape : shapes)
        for (const auto& brush : brushes) {
            XrTestDC t;
            XrGDI::select_pen(t.dc, XrGDI::create_pen(XrGDI::PenSolid, 1, 255, 0, 0));
            if (brush.style >= 0)
                XrGDI::select_brush(t.dc, XrGDI::create_brush(static_cast<XrGDI::BrushStyle>(brush.style), 0, 255, 0));
            shape.shape(t.dc);
            XrTestPixels px(t.dc);
            const std::string what = std::string(shape.name) + ", " + brush.name;
            EXPECT_EQ(px.at(40, 40), brush.fills ? kGreen : kWhite) << what;
            EXPECT_EQ(px.count(kGreen) > 0, brush.fills) << what;
            // The outline in the pen colour either way, nothing beyond it.
            EXPECT_GT(px.count(kRed), 100) << what;
            EXPECT_EQ(px.count(kWhite, 95, 0, 200, 100), 105 * 100) << what;
        }
}

TEST_F(GdiTest, RoundRectangleInTwoColours)
{
    XrTestDC t;
    XrGDI::select_pen(t.dc, XrGDI::create_pen(XrGDI::PenSolid, 1, 255, 0, 0));
    XrGDI::select_brush(t.dc, XrGDI::create_brush(XrGDI::BrushSolid, 0, 255, 0));
    XrGDI::draw_round_rect(t.dc, 10, 10, 89, 59, 3, 8);
    XrTestPixels px(t.dc);
    EXPECT_EQ(px.at(50, 11), kRed);   // border
    EXPECT_EQ(px.at(50, 35), kGreen); // inside
    EXPECT_EQ(px.at(10, 10), kWhite); // rounded corner
    // Colours come back.
    EXPECT_EQ(t.dc->pen.color.red, 0xFF00);
    EXPECT_EQ(t.dc->brush.color.green, 0xFF00);
    EXPECT_EQ(t.dc->brush.color.red, 0);
}

TEST_F(GdiTest, RoundRectangleWithHollowBrushEnds)
{
    XrTestDC t;
    XrGDI::select_pen(t.dc, XrGDI::create_pen(XrGDI::PenSolid, 1, 255, 0, 0));
    XrGDI::select_brush(t.dc, XrGDI::create_brush(XrGDI::BrushHollow, 0, 255, 0));
    XrGDI::draw_round_rect(t.dc, 10, 10, 89, 59, 3, 8);
    EXPECT_GT(XrTestPixels(t.dc).count(kRed), 0);
}

TEST_F(GdiTest, TexturedTriangle)
{
    XrTestDC t;
    XrGDI::select_pen(t.dc, XrGDI::create_pen(XrGDI::PenSolid, 1, 0, 0, 0));
    // Left half red, right half blue.
    XrBitmapHandleRec* bm = make_rgb_bitmap(20, 20, [](int x, int) { return x < 10 ? kRed : kBlue; });
    const XrPoint screen[] = {XrPoint(10, 10), XrPoint(110, 90), XrPoint(10, 90)};
    const XrPoint texture[] = {XrPoint(0, 0), XrPoint(19, 19), XrPoint(0, 19)};
    XrGDI::draw_textured_triangle(t.dc, screen, texture, bm);
    XrTestPixels px(t.dc);
    EXPECT_EQ(px.at(15, 80), kRed);
    EXPECT_EQ(px.at(90, 85), kBlue);
    EXPECT_EQ(px.at(100, 20), kWhite);
    // Far outside: rows and columns stay within the drawable.
    const XrPoint huge[] = {XrPoint(-1000000, -1000000), XrPoint(1000000, 5), XrPoint(0, 1000000)};
    XrGDI::draw_textured_triangle(t.dc, huge, texture, bm);
    XrGDI::delete_bitmap(bm);
}

TEST_F(GdiTest, TexturedTriangleMapsEachPixelExactly)
{
    // Every texel has its own colour: red = 10 u, green = 10 v.
    XrBitmapHandleRec* bm = make_rgb_bitmap(21, 21, [](int u, int v) { return XrGDI::rgb(u * 10, v * 10, 77); });
    struct Probe {
        int x, y;
        int u, v; // -1: not drawn
    };
    const struct {
        const char* name;
        XrPoint screen[3];
        XrPoint texture[3];
        std::vector<Probe> probes;
    } cases[] = {
        // Twice the texture's size: the rows run from 10 down, row y from
        // x 10 up to (not including) x 60 - y; u = (x - 10) / 2 and
        // v = (y - 10) / 2, rounded. (Probes keep off the exact halves.)
        {"scaled by two",
         {XrPoint(10, 10), XrPoint(50, 10), XrPoint(10, 50)},
         {XrPoint(0, 0), XrPoint(20, 0), XrPoint(0, 20)},
         {{10, 10, 0, 0}, {12, 10, 1, 0}, {14, 10, 2, 0}, {48, 10, 19, 0}, {50, 10, -1, -1}, {10, 12, 0, 1},
          {20, 20, 5, 5}, {28, 30, 9, 10}, {30, 30, -1, -1}, {10, 48, 0, 19}, {12, 48, -1, -1}, {10, 50, -1, -1}}},
        // One to one with an offset, vertices out of order: rows 60 to 70,
        // row y from x 100 up to x 40 + y.
        {"shifted, vertices unsorted",
         {XrPoint(110, 70), XrPoint(100, 60), XrPoint(100, 70)},
         {XrPoint(10, 10), XrPoint(0, 0), XrPoint(0, 10)},
         {{100, 60, -1, -1}, {100, 61, 0, 1}, {101, 61, -1, -1}, {104, 65, 4, 5}, {105, 65, -1, -1},
          {109, 70, 9, 10}, {110, 70, -1, -1}, {100, 71, -1, -1}}},
    };
    for (const auto& c : cases) {
        XrTestDC t;
        XrGDI::select_pen(t.dc, XrGDI::create_pen(XrGDI::PenSolid, 1, 0, 0, 0));
        XrGDI::draw_textured_triangle(t.dc, c.screen, c.texture, bm);
        XrTestPixels px(t.dc);
        for (const Probe& p : c.probes) {
            const XrColorHandle expected = p.u < 0 ? kWhite : XrGDI::rgb(p.u * 10, p.v * 10, 77);
            EXPECT_EQ(px.at(p.x, p.y), expected) << c.name << " at " << p.x << "," << p.y;
        }
    }
    XrGDI::delete_bitmap(bm);
}

TEST_F(GdiTest, OutlineCutStartsAtEdgesOfFive)
{
    // Between two diagonal edges, one axis-parallel edge of the given
    // length: 4 is outlined, 5 and more are cut.
    struct {
        bool horizontal;
        int length;
        bool drawn;
    } cases[] = {{true, 4, true}, {true, 5, false}, {true, 6, false}, {false, 4, true}, {false, 5, false}};
    for (const auto& c : cases) {
        XrTestDC t;
        XrGDI::select_pen(t.dc, XrGDI::create_pen(XrGDI::PenSolid, 1, 255, 0, 0));
        const int dx = c.horizontal ? c.length : 0, dy = c.horizontal ? 0 : c.length;
        const XrPoint ring[] = {XrPoint(10, 50), XrPoint(40, 20), XrPoint(40 + dx, 20 + dy),
                                XrPoint(70 + dx, 50 + dy)};
        const int sizes[] = {4};
        XrGDI::draw_polygon_outlined(t.dc, ring, sizes, 1, true);
        XrTestPixels px(t.dc);
        const std::string what = std::string(c.horizontal ? "horizontal " : "vertical ") + std::to_string(c.length);
        // Inside the edge, away from the diagonals' ends.
        EXPECT_EQ(px.at(40 + dx / 2, 20 + dy / 2), c.drawn ? kRed : kWhite) << what;
        EXPECT_EQ(px.at(25, 35), kRed) << what;          // the first diagonal
        EXPECT_EQ(px.at(55 + dx, 35 + dy), kRed) << what; // the last
    }
}

// --- Fonts and text -----------------------------------------------------------

class GdiTextTest : public GdiTest {
protected:
    void SetUp() override
    {
        GdiTest::SetUp();
        if (IsSkipped())
            return;
        surface = std::make_unique<XrTestDC>(300, 200);
        font = XrGDI::create_font(L"Sans", 14, 1, false);
        XrGDI::select_font(t().dc, font);
        XrGDI::set_text_color(t().dc, kBlack);
    }
    void TearDown() override
    {
        XrGDI::delete_font(font);
        surface.reset();
    }

    XrTestDC& t() { return *surface; }
    XrRectangle ink() { return XrTestPixels(t().dc).ink(kWhite); }

    std::unique_ptr<XrTestDC> surface;
    XrFontHandleRec* font = nullptr;
};

TEST_F(GdiTextTest, FontCreation)
{
    XrFontHandleRec* f = XrGDI::create_font(L"Arial", 13, 0, true);
    EXPECT_EQ(pango_font_description_get_size(f->desc), 13 * 1024);
    EXPECT_EQ(pango_font_description_get_weight(f->desc), PANGO_WEIGHT_NORMAL);
    EXPECT_EQ(pango_font_description_get_style(f->desc), PANGO_STYLE_ITALIC);
    EXPECT_STREQ(pango_font_description_get_family(f->desc), "Arial");
    EXPECT_EQ(f->angle, 0u);
    XrGDI::delete_font(f);

    f = XrGDI::create_font_rotated(L"Arial", 10, 1, false, XrFontAngle(90));
    EXPECT_EQ(pango_font_description_get_weight(f->desc), PANGO_WEIGHT_BOLD);
    EXPECT_EQ(pango_font_description_get_style(f->desc), PANGO_STYLE_NORMAL);
    EXPECT_EQ(f->angle, 90u);
    XrGDI::set_font_angle(f, 45);
    EXPECT_EQ(f->angle, 45u);
    XrGDI::delete_font(f);

    f = XrGDI::create_font(L"Arial", 10, 2, false);
    EXPECT_FALSE(pango_font_description_get_set_fields(f->desc) & PANGO_FONT_MASK_WEIGHT);
    XrGDI::delete_font(f);
}

TEST_F(GdiTextTest, SizeAndMetrics)
{
    EXPECT_EQ(XrGDI::get_font_size(font), 14);
    const XrFontMetrics m = XrGDI::get_font_metrics(font);
    EXPECT_EQ(m.ascent, 10);
    EXPECT_EQ(m.descent, 4);
    EXPECT_EQ(m.height(), 14);
    EXPECT_EQ(XrGDI::get_font_size(nullptr), 0);
}

TEST_F(GdiTextTest, SelectAndDeselectTrackTheLastFont)
{
    EXPECT_EQ(XrGDI::get_last_selected_font(), font);
    EXPECT_EQ(t().dc->font, font);
    XrGDI::select_font(t().dc, nullptr);
    EXPECT_EQ(t().dc->font, font);
    XrGDI::deselect_font(t().dc);
    EXPECT_EQ(t().dc->font, nullptr);
    EXPECT_EQ(XrGDI::get_last_selected_font(), nullptr);
    // Deleting the last selected font forgets it.
    XrFontHandleRec* other = XrGDI::create_font(L"Sans", 9, 0, false);
    XrGDI::select_font(t().dc, other);
    XrGDI::delete_font(other);
    EXPECT_EQ(XrGDI::get_last_selected_font(), nullptr);
    XrGDI::select_font(t().dc, font);
}

TEST_F(GdiTextTest, Measuring)
{
    EXPECT_EQ(XrGDI::measure_text(nullptr, L"abc"), XrSize(0, 0));
    const XrSize whole = XrGDI::measure_text(font, L"Hello world");
    EXPECT_GT(whole.width, 0);
    EXPECT_GT(whole.height, 0);
    EXPECT_LT(XrGDI::measure_text(font, L"Hello world", 5).width, whole.width);
    int w = 0, h = 0;
    XrGDI::get_text_size(font, L"Hello world", &w, &h);
    EXPECT_EQ(XrSize(w, h), whole);
    XrGDI::get_dc_text_size(t().dc, L"Hello world", &w, &h);
    EXPECT_EQ(XrSize(w, h), whole);
    XrFontHandleRec* big = XrGDI::create_font(L"Sans", 28, 1, false);
    EXPECT_GT(XrGDI::measure_text(big, L"Hello world").width, whole.width);
    XrGDI::delete_font(big);
    // Characters without a UTF-8 form end the measured text.
    const TCHAR bad[] = {L'a', L'b', static_cast<TCHAR>(0xD800), L'c', 0};
    EXPECT_EQ(XrGDI::measure_text(font, bad), XrGDI::measure_text(font, L"ab"));
}

TEST_F(GdiTextTest, MeasuringOnTheMapWindowWidget)
{
    struct WidgetSource : XrTestMapWindowSource {
        GtkWidget* get_widget(XrMapWindow*) override { return widget; }
        GtkWidget* widget = gtk_label_new("");
    } source;
    g_object_ref_sink(source.widget);
    EXPECT_GT(XrGDI::measure_text(font, L"Hello").width, 0);
    g_object_unref(source.widget);
}

TEST_F(GdiTextTest, AlignmentCodes)
{
    const XrRectangle rect(20, 10, 280, 110);
    int w = 0, h = 0;
    XrGDI::get_dc_text_size(t().dc, L"Hgx", &w, &h);
    XrGDI::draw_text_rect(t().dc, L"Hgx", rect.left, rect.top, rect.right, rect.bottom, 0, -1);
    const XrRectangle base = ink();
    ASSERT_NE(base, XrRectangle());
    const int cx = (rect.left + rect.right) / 2 - w / 2 - rect.left;
    const int cy = (rect.top + rect.bottom) / 2 - h / 2 - rect.top;
    const int rx = rect.right - w - rect.left;
    const struct {
        int align;
        int dx;
        int dy;
    } cases[] = {{1, rx, 0}, {2, cx, 0}, {3, 0, cy}, {4, rx, cy}, {5, cx, cy}, {7, 0, 0}, {-3, 0, 0}};
    for (const auto& c : cases) {
        t().clear(kWhite);
        XrGDI::draw_text_rect(t().dc, L"Hgx", rect.left, rect.top, rect.right, rect.bottom, c.align, -1);
        const XrRectangle r = ink();
        EXPECT_EQ(r.left - base.left, c.dx) << "align " << c.align;
        EXPECT_EQ(r.top - base.top, c.dy) << "align " << c.align;
    }
}

TEST_F(GdiTextTest, TextLengthAndPointForm)
{
    XrGDI::draw_text(t().dc, L"Hgx", XrPoint(20, 10), -1);
    const XrRectangle all = ink();
    t().clear(kWhite);
    XrGDI::draw_text(t().dc, L"Hgx", XrPoint(20, 10), 1);
    const XrRectangle first = ink();
    EXPECT_EQ(first.left, all.left);
    EXPECT_LT(first.right, all.right);
}

TEST_F(GdiTextTest, OpaqueTextUsesTheBrushColour)
{
    XrGDI::select_brush(t().dc, XrGDI::create_brush(XrGDI::BrushSolid, 0, 255, 0));
    XrGDI::draw_text(t().dc, L"Hi", XrPoint(10, 10));
    EXPECT_EQ(XrTestPixels(t().dc).count(kGreen), 0);
    XrGDI::set_opaque_text(t().dc, true);
    XrGDI::draw_text(t().dc, L"Hi", XrPoint(10, 10));
    EXPECT_GT(XrTestPixels(t().dc).count(kGreen), 10);
    XrGDI::set_opaque_text(t().dc, false);
    EXPECT_EQ(t().dc->transparent_text, 1);
}

TEST_F(GdiTextTest, RotatedFontDrawsUpright)
{
    XrGDI::draw_text(t().dc, L"Rotated text", XrPoint(100, 150));
    const XrRectangle flat = ink();
    EXPECT_GT(flat.right - flat.left, flat.bottom - flat.top);
    t().clear(kWhite);
    XrGDI::set_font_angle(font, 90);
    XrGDI::draw_text(t().dc, L"Rotated text", XrPoint(100, 150));
    const XrRectangle turned = ink();
    EXPECT_LT(turned.right - turned.left, turned.bottom - turned.top);
    // Back to horizontal once the angle is 0 again.
    XrGDI::set_font_angle(font, 0);
    t().clear(kWhite);
    XrGDI::draw_text(t().dc, L"Rotated text", XrPoint(100, 150));
    EXPECT_EQ(ink(), flat);
}

TEST_F(GdiTextTest, Ellipsize)
{
    XrString short_text(L"ab");
    XrGDI::ellipsize_text(t().dc, short_text, 0);
    EXPECT_TRUE(short_text == L"ab");

    XrString text(L"A rather long text that will not fit");
    XrGDI::ellipsize_text(t().dc, text, 80);
    int w = 0, h = 0;
    XrGDI::get_dc_text_size(t().dc, text.c_str(), &w, &h);
    EXPECT_LE(w, 80);
    ASSERT_GE(text.length(), 3);
    EXPECT_EQ(wide_strcmp(text.c_str_at(text.length() - 3), L"..."), 0);
    // One character less would fit as well only when the dots came last.
    EXPECT_EQ(wide_strncmp(text.c_str(), L"A rather long text", text.length() - 3), 0);

    XrString empty;
    XrGDI::ellipsize_text(t().dc, empty, -5);
    EXPECT_TRUE(empty.is_empty());
}

TEST_F(GdiTextTest, BidiFlagsPickTheAlignment)
{
    const XrRectangle rect(20, 10, 280, 110);
    const struct {
        int flags;
        int align;
    } cases[] = {{0, 0}, {1, 2}, {2, 3}, {3, 5}, {64, 1}, {2 | 64, 4}, {1 | 64, 2}};
    for (const auto& c : cases) {
        t().clear(kWhite);
        XrGDI::draw_text_rect(t().dc, L"Hgx", rect.left, rect.top, rect.right, rect.bottom, c.align, -1);
        const XrRectangle expected = ink();
        t().clear(kWhite);
        XrGDI::draw_bidi_text(t().dc, L"Hgx", rect, c.flags);
        EXPECT_EQ(ink(), expected) << "flags " << c.flags;
    }
    t().clear(kWhite);
    XrGDI::draw_bidi_text(t().dc, L"Hgx", XrPoint(20, 10), 0);
    const XrRectangle point_form = ink();
    t().clear(kWhite);
    XrGDI::draw_text(t().dc, L"Hgx", XrPoint(20, 10));
    EXPECT_EQ(ink(), point_form);
}

TEST_F(GdiTextTest, BidiEllipsizeAndWordWrap)
{
    const XrRectangle rect(20, 10, 120, 110);
    XrGDI::draw_bidi_text(t().dc, L"A rather long text that will not fit", rect, 8);
    const XrRectangle one_line = ink();
    EXPECT_LE(one_line.right, rect.right);

    t().clear(kWhite);
    XrGDI::draw_bidi_text(t().dc, L"A rather long text that will wrap", rect, 4);
    const XrRectangle wrapped = ink();
    EXPECT_GT(wrapped.bottom - wrapped.top, 2 * (one_line.bottom - one_line.top));
    EXPECT_LE(wrapped.right, rect.right);

    // Centred both ways: the block sits in the middle of the rectangle.
    t().clear(kWhite);
    XrGDI::draw_bidi_text(t().dc, L"two words", rect, 1 | 2 | 4);
    const XrRectangle centred = ink();
    EXPECT_NEAR((centred.top + centred.bottom) / 2, (rect.top + rect.bottom) / 2, 4);
    EXPECT_NEAR((centred.left + centred.right) / 2, (rect.left + rect.right) / 2, 3);
}

TEST_F(GdiTextTest, BidiMeasures)
{
    const TCHAR* text = L"one two three four five six";
    const int wide = XrGDI::bidi_text_height(font, text, 1000, 0);
    const int narrow = XrGDI::bidi_text_height(font, text, 60, 0);
    EXPECT_GT(wide, 0);
    EXPECT_GT(narrow, 2 * wide);
    EXPECT_EQ(XrGDI::bidi_text_height(font, text, -60, 0), narrow);

    XrRectangle r(10, 20, 70, 25);
    XrGDI::bidi_text_rect(font, text, r, 0);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 20);
    EXPECT_GT(r.right, 40);
    EXPECT_EQ(r.bottom - r.top, narrow);
}

// --- Bitmaps --------------------------------------------------------------------

TEST_F(GdiTest, CreatedBitmapReceivesDcPixels)
{
    XrTestDC t;
    XrGDI::select_pen(t.dc, XrGDI::create_pen(XrGDI::PenSolid, 1, 255, 0, 0));
    XrGDI::select_brush(t.dc, XrGDI::create_brush(XrGDI::BrushSolid, 255, 0, 0));
    XrGDI::draw_rectangle(t.dc, 40, 40, 49, 49);
    XrBitmapHandleRec* bm = XrGDI::create_bitmap(t.dc, 20, 10);
    ASSERT_NE(bm, nullptr);
    int w = 0, h = 0;
    EXPECT_TRUE(XrGDI::get_bitmap_size(bm, &w, &h));
    EXPECT_EQ(XrSize(w, h), XrSize(20, 10));
    XrGDI::draw_to_bitmap(bm, 0, 0, 20, 10, t.dc, 35, 35, nullptr);
    XrTestDC out;
    XrGDI::draw_bitmap(out.dc, 100, 50, 120, 60, bm, 0, 0);
    XrTestPixels px(out.dc);
    EXPECT_EQ(px.at(104, 54), kWhite);
    EXPECT_EQ(px.at(105, 55), kRed);
    EXPECT_EQ(px.at(114, 59), kRed);
    EXPECT_EQ(px.ink(kWhite), XrRectangle(105, 55, 115, 60));
    XrGDI::delete_bitmap(bm);
    EXPECT_EQ(XrGDI::create_bitmap(t.dc, 0, 10), nullptr);
}

TEST_F(GdiTest, BitmapSizesOfNullAndPlaceholder)
{
    int w = 7, h = 7;
    EXPECT_FALSE(XrGDI::get_bitmap_size(nullptr, &w, &h));
    EXPECT_TRUE(XrGDI::get_bitmap_size(XrGDI::unsupported_bitmap(), &w, &h));
    EXPECT_EQ(XrSize(w, h), XrSize(0, 0));
    XrGDI::delete_bitmap(nullptr);
    XrGDI::delete_bitmap(XrGDI::unsupported_bitmap());
    XrTestDC t;
    XrGDI::draw_bitmap(t.dc, 0, 0, 10, 10, XrGDI::unsupported_bitmap(), 0, 0);
    XrGDI::draw_bitmap(t.dc, 0, 0, 10, 10, nullptr, 0, 0);
    EXPECT_EQ(XrTestPixels(t.dc).count(kWhite), 200 * 100);
}

TEST_F(GdiTest, BitmapPixelsAreClamped)
{
    XrBitmapHandleRec* bm = make_rgb_bitmap(4, 3, [](int x, int y) { return XrGDI::rgb(x * 10, y * 10, 7); });
    EXPECT_EQ(XrGDI::get_bitmap_pixel(bm, 2, 1), XrGDI::rgb(20, 10, 7));
    EXPECT_EQ(XrGDI::get_bitmap_pixel(bm, -5, 1000), XrGDI::rgb(0, 20, 7));
    EXPECT_EQ(XrGDI::get_bitmap_pixel(bm, 1000, -1), XrGDI::rgb(30, 0, 7));
    XrGDI::delete_bitmap(bm);
}

TEST_F(GdiTest, BitmapToPixbuf)
{
    XrBitmapHandleRec* bm = make_rgb_bitmap(4, 3, [](int x, int y) { return XrGDI::rgb(x * 10, y * 10, 7); });
    GdkPixbuf* pb = XrGDI::bitmap_to_pixbuf(bm, 1, 1, 4, 2);
    ASSERT_NE(pb, nullptr);
    EXPECT_FALSE(gdk_pixbuf_get_has_alpha(pb));
    EXPECT_EQ(gdk_pixbuf_get_width(pb), 4);
    const guchar* p = gdk_pixbuf_get_pixels(pb);
    EXPECT_EQ(p[0], 10);
    EXPECT_EQ(p[1], 10);
    EXPECT_EQ(p[2], 7);
    // Past the bitmap's right edge: zero.
    EXPECT_EQ(p[3 * 3 + 2], 0);
    g_object_unref(pb);
    EXPECT_EQ(XrGDI::bitmap_to_pixbuf(bm, 0, 0, 0, 5), nullptr);
    XrGDI::delete_bitmap(bm);

    GdkPixbuf* source = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, 2, 2);
    gdk_pixbuf_fill(source, 0x11223344);
    XrBitmapHandleRec* alpha = new XrBitmapHandleRec{new XrBitmapHeader{}, nullptr, nullptr, nullptr, source};
    alpha->header->width = alpha->header->height = 2;
    pb = XrGDI::bitmap_to_pixbuf(alpha, 0, 0, 2, 2);
    EXPECT_TRUE(gdk_pixbuf_get_has_alpha(pb));
    EXPECT_EQ(gdk_pixbuf_get_pixels(pb)[3], 0x44);
    EXPECT_EQ(XrGDI::get_bitmap_pixel(alpha, 1, 1), XrGDI::rgb(0x11, 0x22, 0x33));
    g_object_unref(pb);
    XrGDI::delete_bitmap(alpha);
}

TEST_F(GdiTest, MaskFromAnRgbBufferIsBuiltOnceAndKept)
{
    XrTestDC t;
    XrBitmapHandleRec* bm = make_rgb_bitmap(8, 2, [](int, int) { return kRed; });
    // Drawn where the mask's red is 0: the left half.
    XrBitmapHandleRec* mask = make_rgb_bitmap(8, 2, [](int x, int) { return x < 4 ? kBlack : kWhite; });
    XrGDI::draw_bitmap_masked(t.dc, 10, 10, 18, 12, bm, 0, 0, mask);
    ASSERT_NE(mask->mask, nullptr);
    GdkBitmap* built = mask->mask;
    XrTestPixels px(t.dc);
    EXPECT_EQ(px.ink(kWhite), XrRectangle(10, 10, 14, 12));
    XrGDI::draw_bitmap_masked(t.dc, 30, 10, 38, 12, bm, 0, 0, mask);
    EXPECT_EQ(mask->mask, built);
    EXPECT_EQ(XrTestPixels(t.dc).count(kRed, 30, 10, 38, 12), 8);
    // The GC has no clip mask afterwards.
    XrGDI::select_pen(t.dc, XrGDI::create_pen(XrGDI::PenSolid, 1, 0, 0, 0));
    XrGDI::draw_line(t.dc, 0, 50, 199, 50);
    EXPECT_EQ(XrTestPixels(t.dc).count(kBlack, 0, 50, 200, 51), 200);
    XrGDI::delete_bitmap(bm);
    XrGDI::delete_bitmap(mask);

    // Widths that are not a multiple of 8 get no 1-bit mask: all drawn.
    bm = make_rgb_bitmap(6, 2, [](int, int) { return kBlue; });
    mask = make_rgb_bitmap(6, 2, [](int x, int) { return x < 3 ? kBlack : kWhite; });
    XrGDI::draw_bitmap_masked(t.dc, 50, 10, 56, 12, bm, 0, 0, mask);
    EXPECT_EQ(mask->mask, nullptr);
    EXPECT_EQ(XrTestPixels(t.dc).count(kBlue), 12);
    XrGDI::delete_bitmap(bm);
    XrGDI::delete_bitmap(mask);
}

TEST_F(GdiTest, BitmapDrawingIntersectsTheClipRectangle)
{
    XrTestDC t;
    XrBitmapHandleRec* bm = make_rgb_bitmap(8, 4, [](int x, int) { return x < 4 ? kRed : kBlue; });
    XrGDI::set_clip_rect(t.dc, XrRectangle(12, 0, 200, 12));
    XrGDI::draw_bitmap(t.dc, 10, 10, 18, 14, bm, 0, 0);
    XrTestPixels px(t.dc);
    EXPECT_EQ(px.ink(kWhite), XrRectangle(12, 10, 18, 12));
    EXPECT_EQ(px.at(12, 10), kRed); // source moved with the left edge
    EXPECT_EQ(px.at(14, 10), kBlue);
    EXPECT_EQ(t.dc->clip, XrRectangle(12, 0, 200, 12));
    // The clip rectangle is back on the GC.
    XrGDI::select_pen(t.dc, XrGDI::create_pen(XrGDI::PenSolid, 1, 0, 255, 0));
    XrGDI::draw_line(t.dc, 0, 5, 199, 5);
    EXPECT_EQ(XrTestPixels(t.dc).count(kGreen), 188);
    XrGDI::delete_bitmap(bm);
}

TEST_F(GdiTest, SourceOffsetPicksTheStripCell)
{
    XrTestDC t;
    XrBitmapHandleRec* bm = make_rgb_bitmap(8, 2, [](int x, int) { return x < 4 ? kRed : kBlue; });
    XrGDI::draw_bitmap(t.dc, 10, 10, 14, 12, bm, 4, 0);
    XrTestPixels px(t.dc);
    EXPECT_EQ(px.ink(kWhite), XrRectangle(10, 10, 14, 12));
    EXPECT_EQ(px.count(kBlue), 8);
    XrGDI::delete_bitmap(bm);
}

TEST_F(GdiTest, AlphaBlendsOverThePixelsUnderTheCell)
{
    // A strip of two fully transparent cells drawn from its second cell over
    // a black column: the column must stay black.
    XrTestDC t;
    XrGDI::select_pen(t.dc, XrGDI::create_pen(XrGDI::PenSolid, 1, 0, 0, 0));
    XrGDI::select_brush(t.dc, XrGDI::create_brush(XrGDI::BrushSolid, 0, 0, 0));
    XrGDI::draw_rectangle(t.dc, 50, 0, 51, 99);
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, 4, 2);
    gdk_pixbuf_fill(pixbuf, 0xFF000000);
    XrBitmapHandleRec* bm = new XrBitmapHandleRec{new XrBitmapHeader{}, nullptr, nullptr, nullptr, pixbuf};
    bm->header->width = 4;
    bm->header->height = 2;
    XrGDI::draw_bitmap(t.dc, 50, 5, 52, 7, bm, 2, 0);
    XrTestPixels px(t.dc);
    EXPECT_EQ(px.at(50, 5), kBlack);
    EXPECT_EQ(px.at(51, 6), kBlack);
    EXPECT_EQ(px.at(52, 5), kWhite);
    XrGDI::delete_bitmap(bm);
}

// --- Loading --------------------------------------------------------------------

class GdiLoadTest : public GdiTest {
protected:
    std::string write_mbm(const std::string& name, const std::vector<XrMbmBitmap>& bitmaps, bool packed = false)
    {
        const std::string path = root.dir() + "/" + name;
        std::string error;
        EXPECT_TRUE(write_mbm_file(path, bitmaps, packed, error)) << error;
        return path;
    }
    static XrString wide(const std::string& s) { return XrString(s.c_str()); }

    XrTempRoot root;
};

TEST_F(GdiLoadTest, RgbBitmapsOfBothDepths)
{
    std::vector<std::uint32_t> pixels;
    for (int i = 0; i < 5 * 3; ++i)
        pixels.push_back(0x102030u * (i + 1) & 0xFFFFFF);
    for (std::uint32_t bpp : {24u, 32u}) {
        for (bool packed : {false, true}) {
            const std::string path =
                write_mbm("rgb.mbm", {mbm_make_rgb(2, 2, {0, 0, 0, 0}), mbm_make_rgb(5, 3, pixels, bpp, 1)}, packed);
            XrBitmapHandleRec* bm = XrGDI::load_bitmap(wide(path).c_str(), 1);
            ASSERT_NE(bm, nullptr) << bpp;
            EXPECT_NE(bm->buffer, nullptr);
            EXPECT_EQ(bm->mask, nullptr);
            EXPECT_EQ(bm->header->bits_per_pixel, bpp);
            int w = 0, h = 0;
            XrGDI::get_bitmap_size(bm, &w, &h);
            EXPECT_EQ(XrSize(w, h), XrSize(5, 3));
            for (int i = 0; i < 15; ++i) {
                const std::uint32_t rgb = pixels[i];
                EXPECT_EQ(XrGDI::get_bitmap_pixel(bm, i % 5, i / 5),
                          XrGDI::rgb(rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF))
                    << "pixel " << i << " bpp " << bpp;
            }
            XrGDI::delete_bitmap(bm);
        }
    }
}

TEST_F(GdiLoadTest, MonoBitmapBecomesAMask)
{
    std::vector<bool> set(33 * 2, false);
    set[0] = set[32] = set[33 + 5] = true;
    const std::string path = write_mbm("mono.mbm", {mbm_make_mono(33, 2, set)});
    XrBitmapHandleRec* bm = XrGDI::load_bitmap(wide(path).c_str(), 0);
    ASSERT_NE(bm, nullptr);
    EXPECT_EQ(bm->buffer, nullptr);
    ASSERT_NE(bm->mask, nullptr);
    int w = 0, h = 0;
    gdk_drawable_get_size(bm->mask, &w, &h);
    EXPECT_EQ(XrSize(w, h), XrSize(33, 2));
    // Used as the mask of a red picture: exactly the set pixels are drawn.
    XrTestDC t;
    XrBitmapHandleRec* red = make_rgb_bitmap(33, 2, [](int, int) { return kRed; });
    XrGDI::draw_bitmap_masked(t.dc, 0, 0, 33, 2, red, 0, 0, bm);
    XrTestPixels px(t.dc);
    EXPECT_EQ(px.count(kRed), 3);
    EXPECT_EQ(px.at(0, 0), kRed);
    EXPECT_EQ(px.at(32, 0), kRed);
    EXPECT_EQ(px.at(5, 1), kRed);
    XrGDI::delete_bitmap(red);
    XrGDI::delete_bitmap(bm);
}

TEST_F(GdiLoadTest, FailuresAndThePlaceholder)
{
    XrMbmBitmap eight;
    eight.width = 4;
    eight.height = 1;
    eight.bits_per_pixel = 8;
    eight.data.assign(4, 0);
    const std::string path = write_mbm("misc.mbm", {eight});
    EXPECT_EQ(XrGDI::load_bitmap(wide(path).c_str(), 0), XrGDI::unsupported_bitmap());
    EXPECT_EQ(XrGDI::load_bitmap(wide(path).c_str(), 1), nullptr);
    EXPECT_EQ(XrGDI::load_bitmap(wide(root.dir() + "/missing.mbm").c_str(), 0), nullptr);
    const std::string junk = root.write_file("/junk.mbm", std::string(100, 'x'));
    EXPECT_EQ(XrGDI::load_bitmap(wide(junk).c_str(), 0), nullptr);
}

TEST_F(GdiLoadTest, JpegPathIsCaseSensitive)
{
    GdkPixbuf* pb = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, 6, 4);
    gdk_pixbuf_fill(pb, 0x000000FF);
    const std::string jpg = root.dir() + "/photo.jpg";
    const std::string upper = root.dir() + "/photo.JPG";
    ASSERT_TRUE(gdk_pixbuf_save(pb, jpg.c_str(), "jpeg", nullptr, "quality", "100", nullptr));
    ASSERT_TRUE(gdk_pixbuf_save(pb, upper.c_str(), "jpeg", nullptr, "quality", "100", nullptr));
    g_object_unref(pb);

    XrBitmapHandleRec* bm = XrGDI::load_bitmap(wide(jpg).c_str(), 0);
    ASSERT_NE(bm, nullptr);
    EXPECT_NE(bm->pixbuf, nullptr);
    EXPECT_EQ(bm->buffer, nullptr);
    int w = 0, h = 0;
    XrGDI::get_bitmap_size(bm, &w, &h);
    EXPECT_EQ(XrSize(w, h), XrSize(6, 4));
    XrTestDC t;
    XrGDI::draw_bitmap(t.dc, 0, 0, 6, 4, bm, 0, 0);
    EXPECT_EQ(XrTestPixels(t.dc).ink(kWhite), XrRectangle(0, 0, 6, 4));
    XrGDI::delete_bitmap(bm);
    // Upper case goes to the MBM reader, which rejects a JPEG file.
    EXPECT_EQ(XrGDI::load_bitmap(wide(upper).c_str(), 0), nullptr);
    EXPECT_EQ(XrGDI::load_bitmap(wide(root.dir() + "/none.jpg").c_str(), 0), nullptr);
}

TEST_F(GdiLoadTest, ImageFileWithAlphaMask)
{
    // Alpha per column: 255, 0, 49, 50.
    GdkPixbuf* pb = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, 4, 1);
    const guint8 alpha[4] = {255, 0, 49, 50};
    guchar* p = gdk_pixbuf_get_pixels(pb);
    for (int x = 0; x < 4; ++x) {
        p[x * 4] = 255;
        p[x * 4 + 1] = p[x * 4 + 2] = 0;
        p[x * 4 + 3] = alpha[x];
    }
    const std::string png = root.dir() + "/icon.png";
    ASSERT_TRUE(gdk_pixbuf_save(pb, png.c_str(), "png", nullptr, nullptr));
    g_object_unref(pb);

    XrBitmap* bitmap = XrGDI::load_bitmap_file(wide(png).c_str());
    ASSERT_NE(bitmap, nullptr);
    EXPECT_TRUE(bitmap->owns_handles());
    EXPECT_EQ(bitmap->width(), 4);
    EXPECT_EQ(bitmap->height(), 1);
    ASSERT_NE(bitmap->bitmap(), nullptr);
    EXPECT_NE(bitmap->bitmap()->pixbuf, nullptr);
    ASSERT_NE(bitmap->mask(), nullptr);
    EXPECT_NE(bitmap->mask()->mask, nullptr);

    XrTestDC t;
    XrGDI::draw_bitmap_object(t.dc, 10, 10, bitmap, true);
    XrGDI::draw_bitmap_object(t.dc, 10, 20, bitmap, false);
    XrGDI::draw_bitmap_object(t.dc, 10, 30, nullptr, false);
    XrTestPixels px(t.dc);
    EXPECT_EQ(px.at(10, 10), kRed);
    EXPECT_EQ(px.at(11, 10), kWhite);
    EXPECT_EQ(px.at(12, 10), kWhite); // below the threshold of 50
    EXPECT_NE(px.at(13, 10), kWhite);
    EXPECT_EQ(px.at(10, 20), kRed);
    EXPECT_NE(px.at(12, 20), kWhite); // blended without the mask
    delete bitmap;

    EXPECT_EQ(XrGDI::load_bitmap_file(wide(root.dir() + "/missing.png").c_str()), nullptr);
}

// --- Device contexts --------------------------------------------------------------

TEST_F(GdiTest, MemoryDcCopiesItsReference)
{
    XrTestDC t;
    XrGDI::select_pen(t.dc, XrGDI::create_pen(XrGDI::PenSolid, 1, 255, 0, 0));
    XrGDI::select_brush(t.dc, XrGDI::create_brush(XrGDI::BrushSolid, 0, 0, 255));
    XrGDI::draw_rectangle(t.dc, 30, 20, 39, 29);
    XrDCHandleRec* mem = XrGDI::create_memory_dc(t.dc, 50, 40, 0, 25, 15);
    ASSERT_NE(mem, nullptr);
    EXPECT_EQ(mem->owns_drawable, 1);
    EXPECT_EQ(mem->gc, t.dc->gc);
    EXPECT_EQ(mem->layout, t.dc->layout);
    EXPECT_EQ(mem->pen.color.red, 0xFF00);
    int w = 0, h = 0;
    XrGDI::get_dc_size(mem, &w, &h);
    EXPECT_EQ(XrSize(w, h), XrSize(50, 40));
    XrTestPixels px(mem);
    EXPECT_EQ(px.at(5, 5), kRed);
    EXPECT_EQ(px.at(7, 7), kBlue);
    EXPECT_EQ(px.at(4, 4), kWhite);

    // Copied back elsewhere with bit_blt.
    XrGDI::bit_blt(t.dc, 100, 50, 120, 70, mem, 0, 0);
    EXPECT_EQ(XrTestPixels(t.dc).at(105, 55), kRed);
    XrGDI::delete_dc(mem);
    XrGDI::delete_dc(nullptr);
    EXPECT_EQ(XrGDI::create_memory_dc(t.dc, 0, 10), nullptr);
}

TEST_F(GdiTest, EmptyBitBltCopiesNothing)
{
    XrTestDC t;
    XrTestDC source(200, 100, kRed);
    XrGDI::bit_blt(t.dc, 10, 10, 9, 20, source.dc, 0, 0);
    XrGDI::bit_blt(t.dc, 10, 10, 20, 10, source.dc, 0, 0);
    EXPECT_EQ(XrTestPixels(t.dc).count(kRed), 0);
    XrGDI::bit_blt(t.dc, 10, 10, 20, 20, source.dc, 0, 0);
    EXPECT_EQ(XrTestPixels(t.dc).count(kRed), 100);
}

TEST_F(GdiTest, MemoryDcWithoutReferenceUsesTheMapWindow)
{
    EXPECT_EQ(XrGDI::create_memory_dc(nullptr, 10, 10), nullptr);
    XrTestMapWindowSource source;
    source.window_dc.clear(kGreen);
    XrDCHandleRec* mem = XrGDI::create_memory_dc(nullptr, 800, 480);
    ASSERT_NE(mem, nullptr);
    EXPECT_EQ(source.dcs_handed_out, 1);
    EXPECT_EQ(source.dcs_released, 1);
    EXPECT_EQ(XrTestPixels(mem).count(kGreen), 800 * 480);
    XrGDI::delete_dc(mem);
}

TEST_F(GdiTest, ClipRectangle)
{
    XrTestDC t;
    XrGDI::select_pen(t.dc, XrGDI::create_pen(XrGDI::PenSolid, 1, 255, 0, 0));
    XrGDI::set_clip_rect(t.dc, XrRectangle(10, 0, 20, 100));
    XrGDI::draw_line(t.dc, 0, 5, 199, 5);
    EXPECT_EQ(XrTestPixels(t.dc).count(kRed), 10);
    XrGDI::clear_clip_rect(t.dc);
    EXPECT_EQ(t.dc->clip, XrRectangle());
    XrGDI::draw_line(t.dc, 0, 6, 199, 6);
    EXPECT_EQ(XrTestPixels(t.dc).count(kRed), 210);
}

TEST_F(GdiTest, FlushAndWait)
{
    XrTestDC t;
    const gint64 start = g_get_monotonic_time();
    XrGDI::flush_and_wait(t.dc, 0);
    XrGDI::flush_and_wait(t.dc, 20);
    EXPECT_GE(g_get_monotonic_time() - start, 20000);
}

// The forms the map engine, the route layer and the application call.
TEST_F(GdiTest, CallerFormsGiveWhatTheValueFormsGive)
{
    XrPalette palette;
    EXPECT_EQ(XrGDI::rgb(1, 2, 3, &palette), XrGDI::rgb(1, 2, 3));
    EXPECT_EQ(XrGDI::rgb(1, 2, 3, nullptr), 0x030201u);

    const struct {
        int style;
    } pen_styles[] = {{XrGDI::PenSolid}, {XrGDI::PenDash}, {XrGDI::PenNull}};
    for (const auto& c : pen_styles) {
        XrPenHandle out{};
        XrGDI::create_pen(out, static_cast<XrGDI::PenStyle>(c.style), 3, 10, 20, 30, &palette);
        const XrPenHandle value = XrGDI::create_pen(static_cast<XrGDI::PenStyle>(c.style), 3, 10, 20, 30);
        EXPECT_EQ(out.style, value.style);
        EXPECT_EQ(out.width, 3);
        EXPECT_EQ(out.color.green, 20 << 8);
    }
    XrBrushHandle brush{};
    XrGDI::create_brush(brush, XrGDI::BrushSolid, 40, 50, 60, nullptr);
    EXPECT_EQ(brush.fill, XrBrushHandle::SolidFill);
    EXPECT_EQ(brush.color.blue, 60 << 8);

    // get_pen / get_brush into the caller's records.
    XrTestDC t;
    XrPenHandle pen{};
    XrGDI::create_pen(pen, XrGDI::PenDash, 2, 1, 2, 3, &palette);
    XrGDI::select_pen(t.dc, pen);
    XrGDI::select_brush(t.dc, brush);
    XrPenHandle saved_pen{};
    XrBrushHandle saved_brush{};
    XrGDI::get_pen(t.dc, saved_pen);
    XrGDI::get_brush(t.dc, saved_brush);
    EXPECT_EQ(saved_pen.style, XrPenHandle::Dashed);
    EXPECT_EQ(saved_pen.width, 2);
    EXPECT_EQ(saved_brush.color.red, 40 << 8);

    // The window's DC with the callers' flag, and a flush through the window.
    XrTestMapWindowSource source;
    XrMapWindow* window = source.get_map_window();
    XrDCHandleRec* dc = XrGDI::get_window_dc(window, 1);
    EXPECT_EQ(dc, source.window_dc.dc);
    const gint64 start = g_get_monotonic_time();
    XrGDI::flush_and_wait(window, dc, 10);
    EXPECT_GE(g_get_monotonic_time() - start, 10000);
    XrGDI::release_window_dc(window, dc, 1);
    EXPECT_EQ(source.dcs_handed_out, 1);
    EXPECT_EQ(source.dcs_released, 1);
}

// create_font_rotated takes family, size, weight, italic and then the
// angle as its own type: the order "name, size, angle, ..." does not compile.
template <class... Args>
concept RotatedFontArgs = requires(Args... args) { XrGDI::create_font_rotated(args...); };
static_assert(RotatedFontArgs<const TCHAR*, int, int, bool, XrFontAngle>);
static_assert(!RotatedFontArgs<const TCHAR*, int, unsigned int, int, bool, int>);
static_assert(!RotatedFontArgs<const TCHAR*, int, unsigned int, int, bool>);
static_assert(!RotatedFontArgs<const TCHAR*, int, int, bool, unsigned int>);

// The map engine calls the hooks with its DC, its palette and its state.
TEST_F(GdiTest, HooksTakeTheMapEnginesArgumentsAndChangeNothing)
{
    XrTestDC t;
    XrGDI::select_pen(t.dc, XrGDI::create_pen(XrGDI::PenSolid, 1, 255, 0, 0));
    XrGDI::draw_line(t.dc, 0, 0, 9, 9);
    const XrTestPixels before(t.dc);
    XrPalette palette;
    XrDCState state;
    XrGDI::map_draw_hook(t.dc, &palette, 7);
    XrGDI::get_dc_state(t.dc, state);
    XrGDI::begin_draw(t.dc);
    XrGDI::end_draw(t.dc);
    XrGDI::reset_pen(t.dc);
    XrGDI::flush_text(t.dc);
    XrGDI::set_dc_state(t.dc, state);
    EXPECT_EQ(palette.get_count(), 0u);
    EXPECT_EQ(XrTestPixels(t.dc).pixels, before.pixels);
}

// --- Fatal checks ---------------------------------------------------------------

using GdiDeathTest = GdiTest;

TEST_F(GdiDeathTest, ArgumentChecks)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    XrTestDC t;
    EXPECT_DEATH(XrGDI::draw_text(t.dc, nullptr, XrRectangle(0, 0, 10, 10), 0), "str");
    EXPECT_DEATH(XrGDI::draw_text(t.dc, L"x", XrRectangle(10, 0, 0, 10), 0), "rect.left <= rect.right");
    EXPECT_DEATH(XrGDI::draw_text(t.dc, L"x", XrRectangle(0, 10, 10, 0), 0), "rect.top <= rect.bottom");
    EXPECT_DEATH(XrGDI::draw_text(t.dc, L"x", XrRectangle(0, 0, 10, 10), 0, -2), "str_len >= -1");
    EXPECT_DEATH(XrGDI::draw_text(nullptr, L"x", XrPoint(0, 0)), "dc");
    EXPECT_DEATH(XrGDI::set_text_underline(t.dc, true), "set_text_underline\\(...\\) not implemented");
    XrBitmapHandleRec empty = {nullptr, nullptr, nullptr, nullptr, nullptr};
    EXPECT_DEATH(XrGDI::get_bitmap_pixel(&empty, 0, 0), "not bitmap to get_bitmap_pixel");
    EXPECT_DEATH(XrGDI::draw_to_bitmap(&empty, 0, 0, 1, 1, t.dc, 0, 0, nullptr), "bm->pixmap != 0");
}

} // namespace
