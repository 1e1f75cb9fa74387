#include "common/map/xr_roadsign.h"

#include <cmath>

#include "common/map/xr_mapservices.h"

namespace {

int round_half(double x) { return static_cast<int>(x + 0.5); }

// The minimum width of the autoroute and Canadian shields: 2/3 of the
// height, even; a narrower rectangle is widened on both sides.
XrRectangle widened(const XrRectangle& r, int min_width)
{
    XrRectangle out = r;
    const int w = r.right - r.left;
    if (w < min_width) {
        const int grow = (min_width - w) / 2;
        out.left -= grow;
        out.right = out.left + min_width;
    }
    return out;
}

constexpr int kHighway[][2] = {{0, 0},   {6, 4},   {15, 6},  {25, 4},  {32, 0},  {49, 17}, {43, 23},
                               {40, 32}, {40, 40}, {43, 50}, {47, 59}, {48, 66}, {47, 72}, {43, 80},
                               {38, 86}, {31, 90}, {19, 92}, {12, 92}, {7, 94},  {3, 96},  {0, 99}};
constexpr int kInterBand[][2] = {{97, 21}, {94, 13}, {85, 0}, {78, 2}, {72, 4}, {64, 4}, {57, 2}, {49, 0},
                                 {42, 2},  {36, 4},  {27, 4}, {21, 2}, {14, 0}, {5, 13}, {2, 21}};
constexpr int kInterBody[][2] = {{2, 21},  {0, 32},  {0, 45},  {2, 56},  {6, 66},  {12, 76},
                                 {20, 84}, {32, 93}, {49, 99}, {67, 93}, {79, 84}, {87, 76},
                                 {93, 66}, {97, 56}, {99, 45}, {99, 32}, {97, 21}};
constexpr int kAutoBand[][2] = {{97, 21}, {97, 1}, {1, 1}, {1, 21}, {97, 21}};
constexpr int kAutoBody[][2] = {{97, 21}, {97, 70}, {88, 80}, {78, 90}, {49, 99},
                                {20, 90}, {10, 80}, {1, 70},  {1, 21}};
constexpr int kTcShield[][2] = {{0, 1}, {40, 1}, {49, 10}, {49, 90}, {40, 99}, {0, 99}};
constexpr int kTcLeaf[][2] = {{0, 5},   {10, 22}, {18, 20}, {22, 38}, {47, 36}, {43, 57},
                              {30, 72}, {40, 78}, {22, 86}, {1, 81},  {1, 81},  {1, 95}};
constexpr int kCanHighway[][2] = {{40, 1}, {49, 10}, {49, 80}, {1, 99}};

} // namespace

XrSize XrRoadSign::text_size(XrFontHandleRec* font) const
{
    if (font == nullptr || text.is_empty())
        return XrSize();
    return XrGDI::measure_text(font, text.c_str(), -1);
}

void XrRoadSign::draw_text(XrDCHandleRec* dc, XrFontHandleRec* font, XrColorHandle colour, const XrRectangle& r) const
{
    if (font == nullptr || text.is_empty())
        return;
    XrGDI::select_font(dc, font);
    XrGDI::set_opaque_text(dc, false);
    XrGDI::set_text_color(dc, colour);
    XrGDI::draw_bidi_text(dc, text.c_str(), r, XrGDI::BidiHCentre | XrGDI::BidiVCentre);
}

void XrRoadSign::draw_outline(XrDCHandleRec* dc, const XrRectangle& r, int w, int h, const int (*pts)[2], int n,
                              bool round)
{
    XrPoint out[48];
    for (int i = 0; i < n && i < 48; ++i) {
        const double x = pts[i][0] / 100.0 * w, y = pts[i][1] / 100.0 * h;
        out[i] = round ? XrPoint(r.left + round_half(x), r.top + round_half(y))
                       : XrPoint(r.left + static_cast<int>(x), r.top + static_cast<int>(y));
    }
    XrGDI::draw_polygon(dc, out, &n, 1);
    XrGDI::draw_polyline(dc, out, n);
}

void XrRoadSign::draw_mirrored(XrDCHandleRec* dc, const XrRectangle& r, int w, int h, const int (*pts)[2], int n,
                               bool round)
{
    int full[48][2];
    for (int i = 0; i < n; ++i) {
        full[i][0] = 50 - pts[n - 1 - i][0];
        full[i][1] = pts[n - 1 - i][1];
        full[n + i][0] = 50 + pts[i][0];
        full[n + i][1] = pts[i][1];
    }
    draw_outline(dc, r, w, h, full, 2 * n, round);
}

// --- Name plate --------------------------------------------------------------------

XrPoint XrRoadNameSign::get_size()
{
    if (font == nullptr) {
        xr_map_warning("road name sign without a font");
        return XrPoint(0, 0);
    }
    const XrSize s = text_size(font);
    return XrPoint(s.width, s.height);
}

void XrRoadNameSign::draw(XrDCHandleRec* dc)
{
    if (font == nullptr)
        return;
    XrGDI::select_font(dc, font);
    XrGDI::set_opaque_text(dc, false);
    XrGDI::set_text_color(dc, colour);
    XrGDI::draw_bidi_text(dc, text.c_str(), rect, 11);
}

// --- Exit sign ---------------------------------------------------------------------------

XrPoint XrExitNumberSign::get_size()
{
    const XrSize s = text_size(font);
    const int h = s.height + 4 * d;
    int w = s.width + 4 * d;
    if (rounded)
        w += 2 * (h / 2) - d;
    return XrPoint(w, h);
}

void XrExitNumberSign::draw(XrDCHandleRec* dc)
{
    const int l = rect.left, t = rect.top, r = rect.right, b = rect.bottom;
    XrGDI::set_clip_rect(dc, XrRectangle(l, t, r + 1, b + 1));
    XrGDI::select_brush(dc, brush);
    XrGDI::select_pen(dc, pen, d);
    if (rounded)
        XrGDI::draw_round_rect(dc, l, t, r + 1, b + 1, d, (b - t) / 2);
    else
        XrGDI::draw_rectangle(dc, l, t, r - d / 2 + 1, b - d / 2 + 1);
    XrGDI::select_brush(dc, XrGDI::get_stock_brush(XrGDI::StockHollowBrush));
    draw_text(dc, font, colour, rect);
    XrGDI::clear_clip_rect(dc);
}

// --- Default plate --------------------------------------------------------------------------

XrPoint XrRoadNumberSignDefault::get_size()
{
    const XrSize s = text_size(font);
    const int h = s.height + 4 * d + (frame ? d : 0);
    int w = s.width + 4 * d + (frame ? d : 0);
    if (rounded)
        w += 2 * (h / 6) - d;
    return XrPoint(w, h);
}

void XrRoadNumberSignDefault::draw(XrDCHandleRec* dc)
{
    int l = rect.left, t = rect.top, r = rect.right, b = rect.bottom;
    XrGDI::set_clip_rect(dc, XrRectangle(l, t, r + 1, b + 1));
    const int radius = (b - t) / 6;
    auto shape = [&]() {
        if (rounded)
            XrGDI::draw_round_rect(dc, l, t, r + 1, b + 1, d, radius);
        else
            XrGDI::draw_rectangle(dc, l, t, r - d / 2 + 1, b - d / 2 + 1);
    };
    if (frame) {
        XrGDI::select_brush(dc, XrGDI::get_stock_brush(XrGDI::StockBlackBrush));
        XrGDI::select_pen(dc, XrGDI::get_stock_pen(XrGDI::StockBlackPen), d);
        shape();
        l += d;
        t += d;
        r -= d;
        b -= d;
    }
    XrGDI::select_brush(dc, brush);
    XrGDI::select_pen(dc, pen, d);
    shape();
    XrGDI::select_brush(dc, XrGDI::get_stock_brush(XrGDI::StockHollowBrush));
    draw_text(dc, font, colour, XrRectangle(l, t, r, b));
    XrGDI::clear_clip_rect(dc);
}

// --- Shields of fixed colours ----------------------------------------------------------------

XrPoint XrRoadNumberSignShield::get_size()
{
    const XrSize s = text_size(font);
    const double hf = kind == UsaHighway || kind == CanHighway ? 0.62 : 0.54;
    return XrPoint(round_half(s.width / 0.7) + 2 * d, round_half(s.height / hf) + 2 * d);
}

void XrRoadNumberSignShield::draw(XrDCHandleRec* dc)
{
    XrRectangle r = rect;
    const int h0 = r.bottom - r.top;
    if (kind == CanAutoRoute || kind == CanHighway)
        r = widened(r, (2 * h0 / 3) & ~1);
    XrGDI::set_clip_rect(dc, XrRectangle(r.left, r.top, r.right + 1, r.bottom + 1));
    const int w = r.right - r.left, h = r.bottom - r.top;
    const XrSize ts = text_size(font);
    switch (kind) {
    case UsaHighway:
        XrGDI::select_brush(dc, XrGDI::get_stock_brush(XrGDI::StockWhiteBrush));
        XrGDI::select_pen(dc, XrGDI::get_stock_pen(XrGDI::StockBlackPen), d);
        draw_mirrored(dc, r, w, h, kHighway, 21, false);
        draw_text(dc, font, XrGDI::rgb(0, 0, 0), XrRectangle(r.left, r.top + 19 * h / 100, r.right, r.bottom - 19 * h / 100));
        break;
    case CanHighway:
        XrGDI::select_brush(dc, XrGDI::get_stock_brush(XrGDI::StockWhiteBrush));
        XrGDI::select_pen(dc, XrGDI::get_stock_pen(XrGDI::StockBlackPen), d);
        draw_mirrored(dc, r, w, h, kCanHighway, 4, false);
        draw_text(dc, font, XrGDI::rgb(0, 0, 0), XrRectangle(r.left, r.top + 19 * h / 100, r.right, r.bottom - 19 * h / 100));
        break;
    case UsaInterState:
    case CanAutoRoute: {
        XrBrushHandle body = XrGDI::create_brush(XrGDI::BrushSolid, 0, 0, 255);
        XrBrushHandle band = XrGDI::create_brush(XrGDI::BrushSolid, 255, 0, 0);
        XrGDI::select_pen(dc, XrGDI::get_stock_pen(XrGDI::StockWhitePen), d);
        const int sw = w - d / 2, sh = h - d / 2;
        XrGDI::select_brush(dc, band);
        if (kind == UsaInterState)
            draw_outline(dc, r, sw, sh, kInterBand, 15, true);
        else
            draw_outline(dc, r, sw, sh, kAutoBand, 5, true);
        XrGDI::select_brush(dc, body);
        if (kind == UsaInterState)
            draw_outline(dc, r, sw, sh, kInterBody, 17, true);
        else
            draw_outline(dc, r, sw, sh, kAutoBody, 9, true);
        const int top = r.top + 24 * h / 100;
        XrGDI::select_brush(dc, XrGDI::get_stock_brush(XrGDI::StockHollowBrush));
        draw_text(dc, font, XrGDI::rgb(255, 255, 255), XrRectangle(r.left, top, r.right, top + ts.height));
        XrGDI::delete_brush(body);
        XrGDI::delete_brush(band);
        break;
    }
    }
    XrGDI::select_brush(dc, XrGDI::get_stock_brush(XrGDI::StockHollowBrush));
    XrGDI::clear_clip_rect(dc);
}

// --- Trans-Canada -------------------------------------------------------------------------------

XrPoint XrRoadNumberSignCanTcHighway::get_size()
{
    const XrSize s = text_size(font);
    return XrPoint(round_half(s.width / 0.7) + 2 * d, round_half(s.height / 0.62) + 2 * d);
}

void XrRoadNumberSignCanTcHighway::draw(XrDCHandleRec* dc)
{
    XrRectangle r = rect;
    const int h = r.bottom - r.top;
    r = widened(r, h);
    XrGDI::set_clip_rect(dc, XrRectangle(r.left, r.top, r.right + 1, r.bottom + 1));
    const int w = r.right - r.left;
    XrGDI::select_brush(dc, brush);
    XrGDI::select_pen(dc, pen, -1);
    XrGDI::set_pen_width(dc, d);
    draw_mirrored(dc, r, w - d / 2, h - d / 2, kTcShield, 6, true);
    XrGDI::select_brush(dc, XrGDI::get_stock_brush(XrGDI::StockWhiteBrush));
    draw_mirrored(dc, r, w - d / 2, h - d / 2, kTcLeaf, 12, true);
    XrGDI::select_brush(dc, brush);
    draw_text(dc, font, colour, XrRectangle(r.left, r.top + 19 * h / 100, r.right, r.bottom - 19 * h / 100));
    XrGDI::select_brush(dc, XrGDI::get_stock_brush(XrGDI::StockHollowBrush));
    XrGDI::clear_clip_rect(dc);
}
