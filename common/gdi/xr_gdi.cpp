// The platform-independent half of XrGDI: argument checks, text alignment
// by flags, outlines and the textured triangle.
#include "common/gdi/xr_gdi.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "common/gdi/xr_gdi_decode.h"
#include "common/gdi/xr_mbm.h"
#include "common/gdi/xr_textlayout.h"
#include "common/misc/xr_locale_dummy.h"

void XrGDI::draw_line(XrDCHandleRec* dc, int x1, int y1, int x2, int y2)
{
    const XrPoint points[2] = {XrPoint(x1, y1), XrPoint(x2, y2)};
    draw_polyline(dc, points, 2);
}

namespace {

// Long axis-parallel edges (tile borders of map areas) get no outline.
bool is_cut_edge(const XrPoint& a, const XrPoint& b)
{
    if (a.y == b.y)
        return std::abs(static_cast<long long>(b.x) - a.x) >= 5;
    if (a.x == b.x)
        return std::abs(static_cast<long long>(b.y) - a.y) >= 5;
    return false;
}

} // namespace

void XrGDI::draw_polygon_outlined(XrDCHandleRec* dc, const XrPoint* points, const int* ring_sizes, int ring_count,
                                  bool outline, bool)
{
    draw_polygon(dc, points, ring_sizes, ring_count);
    if (!outline || points == nullptr || ring_sizes == nullptr || dc->pen.style == XrPenHandle::Null)
        return;
    const XrPoint* ring = points;
    for (int r = 0; r < ring_count; ++r) {
        const int size = std::max(ring_sizes[r], 0);
        int start = 0;
        for (int i = 0; i + 1 < size; ++i) {
            if (!is_cut_edge(ring[i], ring[i + 1]))
                continue;
            if (i > start)
                draw_polyline(dc, ring + start, i - start + 1);
            start = i + 1;
        }
        if (size - 1 > start)
            draw_polyline(dc, ring + start, size - start);
        ring += size;
    }
}

namespace {

// (x, texture u, texture v) of an edge at row y.
struct XrEdgePoint {
    int x;
    double u;
    double v;
};

XrEdgePoint edge_at(const XrPoint& s0, const XrPoint& t0, const XrPoint& s1, const XrPoint& t1, int y)
{
    const double f = (static_cast<double>(y) - s0.y) / (static_cast<double>(s1.y) - s0.y);
    XrEdgePoint e;
    e.x = xr_trunc_coord(s0.x + (static_cast<double>(s1.x) - s0.x) * f + 0.5);
    e.u = t0.x + (static_cast<double>(t1.x) - t0.x) * f;
    e.v = t0.y + (static_cast<double>(t1.y) - t0.y) * f;
    return e;
}

void draw_triangle_row(XrDCHandleRec* dc, XrBitmapHandleRec* bitmap, int y, int width, XrEdgePoint a, XrEdgePoint b)
{
    if (b.x < a.x)
        std::swap(a, b);
    const int from = std::max(a.x, 0), to = std::min(b.x, width);
    const double span = static_cast<double>(b.x) - a.x;
    for (int x = from; x < to; ++x) {
        const double f = span != 0 ? (x - a.x) / span : 0.0;
        const int u = xr_trunc_coord(a.u + (b.u - a.u) * f + 0.5);
        const int v = xr_trunc_coord(a.v + (b.v - a.v) * f + 0.5);
        const XrColorHandle c = XrGDI::get_bitmap_pixel(bitmap, u, v);
        if (dc->pen.style != XrPenHandle::Null) {
            XrGDI::set_pen_color(dc, XrGDI::get_r(c), XrGDI::get_g(c), XrGDI::get_b(c));
        } else {
            GdkColor color = {0, static_cast<guint16>(XrGDI::get_r(c) << 8),
                              static_cast<guint16>(XrGDI::get_g(c) << 8), static_cast<guint16>(XrGDI::get_b(c) << 8)};
            gdk_colormap_alloc_color(gdk_colormap_get_system(), &color, FALSE, TRUE);
            gdk_gc_set_foreground(dc->gc, &color);
        }
        gdk_draw_point(dc->drawable, dc->gc, x, y);
    }
}

} // namespace

void XrGDI::draw_textured_triangle(XrDCHandleRec* dc, const XrPoint* screen, const XrPoint* texture,
                                   XrBitmapHandleRec* bitmap)
{
    if (bitmap == nullptr || bitmap == unsupported_bitmap() || (bitmap->buffer == nullptr && bitmap->pixbuf == nullptr))
        return;
    XrPoint s[3] = {screen[0], screen[1], screen[2]};
    XrPoint t[3] = {texture[0], texture[1], texture[2]};
    auto order = [&](int i, int j) {
        if (s[j].y < s[i].y) {
            std::swap(s[i], s[j]);
            std::swap(t[i], t[j]);
        }
    };
    order(0, 1);
    order(0, 2);
    order(1, 2);

    int width = 0, height = 0;
    get_dc_size(dc, &width, &height);
    // Upper part: edges 0 -> 1 and 0 -> 2.
    const bool upper = s[1].y != s[0].y && s[2].y != s[0].y;
    if (upper) {
        for (int y = std::max(s[0].y, 0), end = std::min(s[1].y, height); y <= end; ++y)
            draw_triangle_row(dc, bitmap, y, width, edge_at(s[0], t[0], s[1], t[1], y),
                              edge_at(s[0], t[0], s[2], t[2], y));
    }
    // Lower part: edges 1 -> 2 and 0 -> 2.
    if (s[2].y != s[1].y && s[2].y != s[0].y) {
        const int first = upper ? (s[1].y == INT_MAX ? INT_MAX : s[1].y + 1) : s[1].y;
        for (int y = std::max(first, 0), end = std::min(s[2].y, height); y <= end; ++y)
            draw_triangle_row(dc, bitmap, y, width, edge_at(s[1], t[1], s[2], t[2], y),
                              edge_at(s[0], t[0], s[2], t[2], y));
    }
}

XrFontMetrics XrGDI::get_font_metrics(const XrFontHandleRec* font)
{
    const int size = get_font_size(font);
    return XrFontMetrics(size - size / 3, size / 3);
}

void XrGDI::set_text_underline(XrDCHandleRec*, bool)
{
    XR_ASSERT(!"set_text_underline(...) not implemented !!!");
}

void XrGDI::draw_text(XrDCHandleRec* dc, const TCHAR* str, const XrRectangle& rect, int align, int str_len)
{
    XR_ASSERT(dc);
    XR_ASSERT(str);
    XR_ASSERT(rect.left <= rect.right);
    XR_ASSERT(rect.top <= rect.bottom);
    XR_ASSERT(str_len >= -1);
    draw_text_rect(dc, str, rect.left, rect.top, rect.right, rect.bottom, align, str_len);
}

void XrGDI::draw_text(XrDCHandleRec* dc, const TCHAR* str, const XrPoint& point, int str_len)
{
    XR_ASSERT(dc);
    XR_ASSERT(str);
    XR_ASSERT(str_len >= -1);
    draw_text_rect(dc, str, point.x, point.y, point.x, point.y, LeftTop, str_len);
}

namespace {

// Layout mode of word-wrapped bidi text.
int bidi_layout_mode(int flags, int direction)
{
    if (flags & XrGDI::BidiHCentre)
        return XrTextLayout::Centre;
    return direction == XrLocale::RightToLeft ? XrTextLayout::Right : XrTextLayout::Left;
}

// A layout over the rectangle that counts every line (no bottom limit).
XrTextLayout::XrMeasurement measure_wrapped(XrFontHandleRec* font, const TCHAR* str, const XrRectangle& rect,
                                            int flag)
{
    XrFontTextLayout layout(font, XrRectangle(rect.left, rect.top, rect.right, INT_MAX / 4));
    XrTextLayout::XrMeasurement m;
    layout.measure(XrString(str), &m, nullptr, bidi_layout_mode(flag, XrLocale::get_text_direction()));
    return m;
}

} // namespace

void XrGDI::draw_bidi_text(XrDCHandleRec* dc, const TCHAR* str, const XrRectangle& rect, int flags)
{
    XR_ASSERT(XrLocale::get_text_direction() == XrLocale::LeftToRight);
    const int direction = XrLocale::get_text_direction();
    XrString text(str);
    if (flags & BidiEllipsize)
        ellipsize_text(dc, text, rect.right - rect.left);

    if (flags & BidiWordWrap) {
        XrRectangle area = rect;
        XrFontHandleRec* font = get_last_selected_font();
        const int mode = bidi_layout_mode(flags, direction);
        if ((flags & BidiHCentre) && (flags & BidiVCentre)) {
            const int height = measure_wrapped(font, text.c_str(), rect, flags).height;
            if (height < rect.bottom - rect.top)
                area.top = rect.top + (rect.bottom - rect.top) / 2 - height / 2;
        }
        XrFontTextLayout layout(font, area);
        layout.set_dc(dc);
        layout.draw(text, nullptr, mode);
        return;
    }

    int align;
    if ((flags & BidiHCentre) && (flags & BidiVCentre))
        align = CentreMiddle;
    else if (flags & BidiHCentre)
        align = CentreTop;
    else if (flags & BidiVCentre)
        align = LeftMiddle + direction;
    else
        align = LeftTop + direction;
    if (flags & BidiMirror) {
        static const int mirrored[8] = {1, 0, 2, 4, 3, 5, 7, 6};
        align = mirrored[align];
    }
    draw_text_rect(dc, text.c_str(), rect.left, rect.top, rect.right, rect.bottom, align, -1);
}

void XrGDI::draw_bidi_text(XrDCHandleRec* dc, const TCHAR* str, const XrPoint& point, int)
{
    XR_ASSERT(XrLocale::get_text_direction() == XrLocale::LeftToRight);
    draw_text(dc, str, point, -1);
}

int XrGDI::bidi_text_height(XrFontHandleRec* font, const TCHAR* str, int width, int flag)
{
    XR_ASSERT(XrLocale::get_text_direction() == XrLocale::LeftToRight);
    const XrRectangle rect = width >= 0 ? XrRectangle(0, 0, width, 0) : XrRectangle(width, 0, 0, 0);
    return measure_wrapped(font, str, rect, flag).height;
}

void XrGDI::bidi_text_rect(XrFontHandleRec* font, const TCHAR* str, XrRectangle& rect, int flag)
{
    XR_ASSERT(XrLocale::get_text_direction() == XrLocale::LeftToRight);
    rect = measure_wrapped(font, str, rect, flag).rect;
}

void XrGDI::ellipsize_text(XrDCHandleRec* dc, XrString& text, int max_width)
{
    for (;;) {
        int width = 0, height = 0;
        get_dc_text_size(dc, text.c_str(), &width, &height, -1);
        const int n = text.length();
        if (width <= max_width || text.is_empty() || n < 4)
            return;
        // One character less, the last three of the rest become dots.
        text.truncate(n - 4);
        text.append(L"...");
    }
}

XrDecodedMbm::Kind decode_mbm_record(const BYTE* record, XrDecodedMbm& out)
{
    XrMbm::read_header(record, out.header);
    const int bpp = static_cast<int>(out.header.bits_per_pixel);
    if (bpp != 1 && bpp != 24 && bpp != 32)
        return XrDecodedMbm::Unsupported;
    BYTE* pixels = nullptr;
    int size = 0;
    if (!XrMbm::fill_bit_values(record, pixels, size, true))
        return XrDecodedMbm::Failed;

    const long long width = out.header.width, height = out.header.height;
    XrDecodedMbm::Kind kind = XrDecodedMbm::Failed;
    if (bpp == 1) {
        // Decoded rows are padded to 32 pixels.
        const long long in_stride = (width + 31) / 32 * 4, out_stride = (width + 7) / 8;
        if (width > 0 && height > 0 && in_stride * height <= size) {
            out.bits = new BYTE[out_stride * height];
            for (long long y = 0; y < height; ++y)
                std::memcpy(out.bits + y * out_stride, pixels + y * in_stride, out_stride);
            kind = XrDecodedMbm::Mono;
        }
    } else {
        // Rows of the width rounded up to an even number of pixels: blue,
        // green, red (and a fourth byte at 32 bits).
        const int bytes = bpp / 8;
        const long long in_stride = (width + 1) / 2 * 2 * bytes;
        if (width > 0 && height > 0 && in_stride * height <= size) {
            out.rgb = new BYTE[width * height * 3];
            for (long long y = 0; y < height; ++y) {
                const BYTE* in = pixels + y * in_stride;
                BYTE* px = out.rgb + y * width * 3;
                for (long long x = 0; x < width; ++x, in += bytes, px += 3) {
                    px[0] = in[2];
                    px[1] = in[1];
                    px[2] = in[0];
                }
            }
            kind = XrDecodedMbm::Rgb;
        }
    }
    delete[] pixels;
    return kind;
}
