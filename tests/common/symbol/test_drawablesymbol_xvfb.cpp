#include "common/symbol/xr_drawablesymbol.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "common/gdi/gdi_test_dc.h"
#include "common/storage/xr_storageaccessor.h"
#include "common/symbol/xr_symbol.h"
#include "tools/mapgen/symbol_writer.h"

namespace {

using Bytes = std::vector<BYTE>;

constexpr XrColorHandle white = 0xFFFFFF;
constexpr XrColorHandle red = 0x0000FF;
constexpr XrColorHandle green = 0x00FF00;
constexpr XrColorHandle blue = 0xFF0000;
constexpr XrColorHandle black = 0x000000;

// Pair 0: red brush, blue pen; pair 1: green brush, black pen (width 1).
class DrawableSymbolTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        XR_REQUIRE_DISPLAY();
        brushes[0] = XrGDI::create_brush(XrGDI::BrushSolid, 255, 0, 0);
        brushes[1] = XrGDI::create_brush(XrGDI::BrushSolid, 0, 255, 0);
        pens[0] = XrGDI::create_pen(XrGDI::PenSolid, 1, 0, 0, 255);
        pens[1] = XrGDI::create_pen(XrGDI::PenSolid, 1, 0, 0, 0);
    }

    // Draws the program at (50, 40) on a white 100 x 80 DC.
    XrTestPixels draw(const Bytes& program, int angle = 0, int scale_index = 0,
                      std::vector<double> scales = {1.0, 2.0, 0.0})
    {
        XrTestDC dc(100, 80, white);
        XrDrawableSymbol s(brushes, 2, pens, 2, true, scales.data(), static_cast<int>(scales.size()),
                           program.data(), static_cast<int>(program.size()));
        s.draw(dc.dc, 50, 40, angle, scale_index, nullptr);
        last_brush = XrGDI::get_brush(dc.dc);
        last_pen = XrGDI::get_pen(dc.dc);
        return XrTestPixels(dc.dc);
    }

    XrBrushHandle brushes[2];
    XrPenHandle pens[2];
    XrBrushHandle last_brush{};
    XrPenHandle last_pen{};
};

const Bytes rect = XrSymbolProgram().select(0, 0).polygon({{-10, -5}, {10, -5}, {10, 5}, {-10, 5}}).bytes();

// Screen coordinates are truncated towards zero, and the sine table's value
// for 0 degrees (like the cosine's for 90) lies just above 0: a y of -5 at
// x -10 becomes -4.99999 and so -4. The expected boxes below follow that.

TEST_F(DrawableSymbolTest, FourPointsDrawAnAxisParallelRectangle)
{
    XrTestPixels px = draw(rect);
    // Corners (40, 36) and (60, 44).
    EXPECT_EQ(px.ink(white), XrRectangle(40, 36, 61, 45));
    EXPECT_EQ(px.at(40, 36), blue); // outline in the pen colour
    EXPECT_EQ(px.at(50, 40), red);  // filled with the brush

    // Rotated, still upright: between the rotated first and third points.
    px = draw(rect, 90);
    EXPECT_EQ(px.ink(white), XrRectangle(45, 31, 56, 50));
    px = draw(rect, 45);
    XrRectangle ink = px.ink(white);
    EXPECT_EQ(px.count(red) + px.count(blue), (ink.right - ink.left) * (ink.bottom - ink.top));

    // An open polyline of four points is a rectangle too.
    px = draw(XrSymbolProgram().select(0, 0).polyline({{-10, -5}, {10, -5}, {10, 5}, {-10, 5}}).bytes());
    EXPECT_EQ(px.ink(white), XrRectangle(40, 36, 61, 45));
}

TEST_F(DrawableSymbolTest, ScaleFactors)
{
    EXPECT_EQ(draw(rect, 0, 1).ink(white), XrRectangle(30, 31, 71, 50));
    for (int index : {2, 3, -1})
        EXPECT_EQ(draw(rect, 0, index).ink(white), XrRectangle()) << index;
}

TEST_F(DrawableSymbolTest, PolylinesAndPolygons)
{
    XrTestPixels px = draw(XrSymbolProgram().select(1, 1).polyline({{-20, 0}, {0, 0}, {0, 20}}).bytes());
    EXPECT_EQ(px.ink(white), XrRectangle(30, 40, 51, 61));
    EXPECT_EQ(px.count(black), 41);

    px = draw(XrSymbolProgram().select(1, 1).polygon({{0, -10}, {10, 10}, {-10, 10}}).bytes());
    EXPECT_EQ(px.at(50, 45), green);
    EXPECT_EQ(px.at(41, 31), white);
}

TEST_F(DrawableSymbolTest, EllipsesOutlinedAndFilled)
{
    XrTestPixels outline = draw(XrSymbolProgram().select(0, 0).ellipse(0, 0, 10, 6).bytes());
    // An outline arc of 21 x 13 covers one pixel more each way.
    EXPECT_EQ(outline.ink(white), XrRectangle(40, 34, 62, 48));
    EXPECT_EQ(outline.at(50, 40), white);
    EXPECT_GT(outline.count(blue), 0);
    EXPECT_EQ(outline.count(red), 0);
    // The brush is the selected one again afterwards.
    EXPECT_EQ(last_brush.fill, 1u);

    XrTestPixels filled = draw(XrSymbolProgram().select(0, 0).filled_ellipse(0, 0, 10, 6).bytes());
    EXPECT_EQ(filled.at(50, 40), red);
    EXPECT_EQ(filled.ink(white), XrRectangle(41, 35, 61, 47));
}

TEST_F(DrawableSymbolTest, KeepIndexChangesOnlyTheOther)
{
    draw(XrSymbolProgram().select(0, 0).select(XrDrawableSymbol::KEEP, 1).bytes());
    EXPECT_EQ(last_brush.color.red, 0xFF00);
    EXPECT_EQ(last_pen.color.blue, 0);
    XrTestPixels px = draw(XrSymbolProgram().select(0, 0).select(XrDrawableSymbol::KEEP, 1).polygon(
                               {{-10, -5}, {10, -5}, {10, 5}, {-10, 5}}).bytes());
    EXPECT_EQ(px.at(40, 36), black);
    EXPECT_EQ(px.at(50, 40), red);

    // Indices past the pairs change nothing.
    draw(XrSymbolProgram().select(1, 1).select(2, 7).bytes());
    EXPECT_EQ(last_brush.color.green, 0xFF00);
}

TEST_F(DrawableSymbolTest, ProgramFromALibraryDrawsUpToItsEnd)
{
    Bytes file = symbol_library(
        {{5, XrSymbolProgram().select(1, 1).filled_ellipse(0, 0, 3, 3).end().polygon({{0, 0}, {9, 9}, {0, 9}}).bytes()}});
    XrMemoryStorageAccessor acc(true, file.data(), static_cast<std::uint32_t>(file.size()), false);
    XrSymbolLibrary lib;
    ASSERT_EQ(lib.load(&acc), 0);
    int len = 0;
    const BYTE* program = lib.find(5)->get_data(len);
    XrTestPixels px = draw(Bytes(program, program + len));
    // Only the filled circle before the end command.
    EXPECT_EQ(px.ink(white), XrRectangle(48, 38, 54, 44));
}

} // namespace

TEST_F(DrawableSymbolTest, ExtremeCoordinatesDrawWithoutOverflow)
{
    constexpr int lo = INT32_MIN, hi = INT32_MAX;
    // Shapes from symbol data reach the drawing at the ends of the int
    // range (and beyond, scaled up): each either covers the whole surface
    // or misses it, and nothing overflows on the way.
    struct {
        const char* name;
        Bytes program;
        std::vector<double> scales;
        XrColorHandle centre;
        bool covers = false; // the whole surface in the brush colour
    } cases[] = {
        {"rectangle over everything", XrSymbolProgram().select(0, 0).polygon({{lo, lo}, {hi, lo}, {hi, hi}, {lo, hi}}).bytes(),
         {1.0}, red, true},
        {"rectangle scaled past the range", XrSymbolProgram().select(0, 0).polygon({{-9, -9}, {9, -9}, {9, 9}, {-9, 9}}).bytes(),
         {1e9}, red, true},
        {"filled ellipse of the largest radii", XrSymbolProgram().select(0, 0).filled_ellipse(0, 0, hi, hi).bytes(), {1.0},
         red, true},
        {"filled ellipse scaled up", XrSymbolProgram().select(0, 0).filled_ellipse(3, -2, 100, 100).bytes(), {3e7}, red,
         true},
        {"ellipse outline far larger than the surface", XrSymbolProgram().select(0, 0).ellipse(0, 0, hi, hi).bytes(), {1.0},
         white},
        {"rectangle wholly outside", XrSymbolProgram().select(0, 0).polygon({{hi - 5, lo}, {hi, lo}, {hi, lo + 5}, {hi - 5, lo + 5}}).bytes(),
         {1.0}, white},
        {"ellipse wholly outside", XrSymbolProgram().select(0, 0).filled_ellipse(lo, lo, hi, 100).bytes(), {1.0}, white},
        {"polyline and polygon across the range",
         XrSymbolProgram().select(0, 0).polyline({{lo, lo}, {hi, hi}, {lo, hi}}).polygon({{lo, 0}, {hi, lo}, {hi, hi}}).bytes(),
         {1.0}, red},
    };
    for (auto& c : cases) {
        XrTestPixels px = draw(c.program, 0, 0, c.scales);
        EXPECT_EQ(px.at(50, 40), c.centre) << c.name;
        if (c.covers) {
            EXPECT_EQ(px.count(red), px.width * px.height) << c.name;
        }
        // Rotated the same shapes stay safe.
        draw(c.program, 45, 0, c.scales);
    }
}

TEST_F(DrawableSymbolTest, DrawStateIsRecordedAndReset)
{
    reset_draw_state();
    EXPECT_EQ(get_symbol_draw_state().brush_index, XrSymbolDrawState::NO_INDEX);
    EXPECT_EQ(get_symbol_draw_state().pen_index, XrSymbolDrawState::NO_INDEX);
    EXPECT_EQ(get_symbol_draw_state().brush.fill, XrBrushHandle::Hollow);
    EXPECT_NE(get_symbol_draw_state().brush.null_marker, XrBrushHandle::NullMarker);

    draw(XrSymbolProgram().select(1, 0).select(XrDrawableSymbol::KEEP, 1).bytes());
    EXPECT_EQ(get_symbol_draw_state().brush_index, 1);
    EXPECT_EQ(get_symbol_draw_state().pen_index, 1);
    EXPECT_EQ(get_symbol_draw_state().brush.color.green, 0xFF00);

    reset_draw_state();
    EXPECT_EQ(get_symbol_draw_state().brush_index, XrSymbolDrawState::NO_INDEX);
    EXPECT_EQ(get_symbol_draw_state().pen_index, XrSymbolDrawState::NO_INDEX);
    // A reset state changes nothing of what a symbol draws.
    EXPECT_EQ(draw(rect).pixels, draw(rect).pixels);
}

TEST_F(DrawableSymbolTest, ScreenBoxIntoTheCallersRectangle)
{
    const std::vector<double> scales = {1.0, 2.5};
    XrDrawableSymbol s(brushes, 2, pens, 2, true, scales.data(), 2, rect.data(), static_cast<int>(rect.size()));
    for (int angle : {0, 30, 90})
        for (int index : {0, 1, 5}) {
            XrRectangle out(7, 7, 7, 7);
            s.get_screen_bbox(angle, index, out);
            EXPECT_EQ(out, s.get_screen_bbox(angle, index)) << angle << " " << index;
        }
}
