// XrGDI on GDK 2, Pango and GdkPixbuf.
#include "common/gdi/xr_gdi.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "common/container/xr_bytearray.h"
#include "common/gdi/xr_app_map_window.h"
#include "common/gdi/xr_gdi_decode.h"
#include "common/gdi/xr_mbm.h"
#include "common/geometry/xr_polygon.h"
#include "common/misc/xr_utf8.h"

namespace {

XrPenHandle g_black_pen = {{0, 0, 0, 0}, 1, XrPenHandle::Null};
XrPenHandle g_white_pen = {{0, 0, 0, 0}, 1, XrPenHandle::Null};
XrBrushHandle g_black_brush = {0, XrBrushHandle::NullMarker, {0, 0, 0, 0}};
XrBrushHandle g_white_brush = {0, XrBrushHandle::NullMarker, {0, 0, 0, 0}};
XrBrushHandle g_hollow_brush = {0, XrBrushHandle::NullMarker, {0, 0, 0, 0}};

XrFontHandleRec* g_last_font = nullptr;

// Stands for an MBM bitmap of an unsupported colour depth.
XrBitmapHandleRec g_unsupported_bitmap = {nullptr, nullptr, nullptr, nullptr, nullptr};

// A colour of 8-bit channels allocated in the system colormap.
GdkColor make_color(int r, int g, int b)
{
    GdkColor c;
    c.pixel = 0;
    c.red = static_cast<guint16>((r & 0xFF) << 8);
    c.green = static_cast<guint16>((g & 0xFF) << 8);
    c.blue = static_cast<guint16>((b & 0xFF) << 8);
    if (!gdk_colormap_alloc_color(gdk_colormap_get_system(), &c, FALSE, TRUE))
        g_error("Couldn't allocate color");
    return c;
}

GdkColor make_color(XrColorHandle color)
{
    return make_color(XrGDI::get_r(color), XrGDI::get_g(color), XrGDI::get_b(color));
}

bool same_rgb(const GdkColor& a, const GdkColor& b)
{
    return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

bool is_null_pen(const XrPenHandle& pen)
{
    return pen.style == XrPenHandle::Null;
}

bool is_null_brush(const XrBrushHandle& brush)
{
    return brush.null_marker == XrBrushHandle::NullMarker;
}

bool is_solid_brush(const XrBrushHandle& brush)
{
    return !is_null_brush(brush) && brush.fill == XrBrushHandle::SolidFill;
}

// A line width the platform accepts: 0 (thin) to 32767.
int gc_line_width(int width)
{
    return std::clamp(width, 0, 32767);
}

bool has_clip(const XrRectangle& clip)
{
    return clip.left != clip.right && !(clip.left == 0 && clip.top == 0 && clip.right == 0 && clip.bottom == 0);
}

// UTF-8 of len characters (-1: up to the terminator) into out (emptied
// first), cut at the first character that has no valid encoding; no
// terminator is added.
void xr_gdi_to_utf8(const TCHAR* str, int len, XrByteArray& out)
{
    out.remove_all();
    if (str != nullptr)
        XrUTF8::encode_utf8(str, len, out);
    const gchar* end = nullptr;
    const char* data = reinterpret_cast<const char*>(out.get_items());
    if (out.get_num_items() > 0 && !g_utf8_validate(data, out.get_num_items(), &end)) {
        const int valid = static_cast<int>(end - data);
        out.remove_range(valid, out.get_num_items() - valid);
    }
}

// A bitmap handle without pixels whose size record holds width x height.
XrBitmapHandleRec* xr_gdi_new_bitmap_handle(int width, int height)
{
    auto* bm = new XrBitmapHandleRec{new XrBitmapHeader(), nullptr, nullptr, nullptr, nullptr};
    bm->header->width = static_cast<std::uint32_t>(width);
    bm->header->height = static_cast<std::uint32_t>(height);
    return bm;
}

PangoContext* fallback_pango_context()
{
    static PangoContext* context = nullptr;
    if (context == nullptr)
        context = gdk_pango_context_get();
    return context;
}

// A layout for measuring on the application's map window widget, or on the
// default screen while there is none. The caller unreferences it.
PangoLayout* measuring_layout()
{
    if (XrAppMapWindowSource* source = get_app_map_window_source()) {
        if (GtkWidget* widget = source->get_widget(source->get_map_window()))
            return gtk_widget_create_pango_layout(widget, nullptr);
    }
    return pango_layout_new(fallback_pango_context());
}

void layout_pixel_size(PangoLayout* layout, const TCHAR* str, int len, int* width, int* height)
{
    XrByteArray utf8(64, 0);
    xr_gdi_to_utf8(str, len, utf8);
    pango_layout_set_text(layout, reinterpret_cast<const char*>(utf8.get_items()), utf8.get_num_items());
    int w = 0, h = 0;
    pango_layout_get_pixel_size(layout, &w, &h);
    if (width != nullptr)
        *width = w;
    if (height != nullptr)
        *height = h;
}

bool ends_with_jpg(const XrString& path)
{
    const int n = path.length();
    return n >= 4 && wide_strcmp(path.c_str_at(n - 4), L".jpg") == 0;
}

// A GDK 1-bit bitmap of rows of (width + 7) / 8 bytes, first pixel in the
// lowest bit; null for an empty size.
GdkBitmap* make_1bit_bitmap(const BYTE* bits, int width, int height)
{
    if (width <= 0 || height <= 0)
        return nullptr;
    return gdk_bitmap_create_from_data(nullptr, reinterpret_cast<const gchar*>(bits), width, height);
}

// A whole image file through GdkPixbuf; null when unreadable.
GdkPixbuf* load_pixbuf(const TCHAR* path)
{
    XrByteArray utf8(64, 0);
    xr_gdi_to_utf8(path, -1, utf8);
    utf8.append_byte(0);
    return gdk_pixbuf_new_from_file(reinterpret_cast<const char*>(utf8.get_items()), nullptr);
}

} // namespace

// ---------------------------------------------------------------------------
// Pens and brushes

XrPenHandle XrGDI::create_pen(PenStyle style, int width, int r, int g, int b)
{
    XrPenHandle pen;
    pen.color = make_color(r, g, b);
    pen.width = width;
    switch (static_cast<int>(style)) {
    case PenSolid:
    case PenDot:
    case 4:
        pen.style = XrPenHandle::Solid;
        break;
    case PenDash:
    case PenDashDot:
        pen.style = XrPenHandle::Dashed;
        break;
    default:
        pen.style = XrPenHandle::Null;
        break;
    }
    return pen;
}

XrBrushHandle XrGDI::create_brush(BrushStyle style, int r, int g, int b)
{
    XrBrushHandle brush;
    brush.color = make_color(r, g, b);
    brush.null_marker = 0;
    if (style == BrushHollow) {
        brush.fill = XrBrushHandle::Hollow;
    } else if (style == BrushSolid) {
        brush.fill = XrBrushHandle::SolidFill;
    } else {
        brush.fill = XrBrushHandle::Hollow;
        brush.null_marker = XrBrushHandle::NullMarker;
    }
    return brush;
}

void XrGDI::select_pen(XrDCHandleRec* dc, const XrPenHandle& pen, int width)
{
    if (is_null_pen(pen))
        return;
    dc->pen = pen;
    const int line_width = width == -1 ? pen.width : width;
    dc->pen.width = line_width;
    const int gc_width = gc_line_width(line_width);
    gdk_gc_set_foreground(dc->gc, &dc->pen.color);
    if (pen.style == XrPenHandle::Dashed) {
        // GDK dash lengths are 1..127 pixels; 64 bits for any width.
        const int dash = static_cast<int>(std::clamp<long long>(width * 30LL / 9 + 7, 1, 127));
        const gint8 dashes[2] = {static_cast<gint8>(dash), static_cast<gint8>(dash)};
        gdk_gc_set_dashes(dc->gc, 0, const_cast<gint8*>(dashes), 2);
        gdk_gc_set_line_attributes(dc->gc, gc_width, GDK_LINE_ON_OFF_DASH, GDK_CAP_BUTT, GDK_JOIN_MITER);
    } else {
        gdk_gc_set_line_attributes(dc->gc, gc_width, GDK_LINE_SOLID, GDK_CAP_ROUND, GDK_JOIN_ROUND);
    }
}

void XrGDI::set_pen_width(XrDCHandleRec* dc, int width)
{
    dc->pen.width = width;
    const GdkLineStyle style = dc->pen.style == XrPenHandle::Dashed ? GDK_LINE_ON_OFF_DASH : GDK_LINE_SOLID;
    gdk_gc_set_line_attributes(dc->gc, gc_line_width(width), style, GDK_CAP_ROUND, GDK_JOIN_ROUND);
}

void XrGDI::restore_pen(XrDCHandleRec* dc, const XrPenHandle& pen)
{
    if (!is_null_pen(pen))
        select_pen(dc, pen, -1);
}

void XrGDI::restore_brush(XrDCHandleRec* dc, const XrBrushHandle& brush)
{
    if (!is_null_brush(brush))
        select_brush(dc, brush);
}

void XrGDI::select_brush(XrDCHandleRec* dc, const XrBrushHandle& brush)
{
    if (is_null_brush(brush))
        return;
    dc->brush = brush;
    if (brush.fill == XrBrushHandle::SolidFill) {
        gdk_gc_set_fill(dc->gc, GDK_SOLID);
        gdk_gc_set_foreground(dc->gc, &dc->brush.color);
        gdk_gc_set_background(dc->gc, &dc->brush.color);
    }
}

XrPenHandle XrGDI::get_stock_pen(StockPen which)
{
    return which == StockBlackPen ? g_black_pen : g_white_pen;
}

XrBrushHandle XrGDI::get_stock_brush(StockBrush which)
{
    if (which == StockBlackBrush)
        return g_black_brush;
    if (which == StockWhiteBrush)
        return g_white_brush;
    return g_hollow_brush;
}

void XrGDI::init_stock_objects()
{
    g_black_pen = create_pen(PenSolid, 1, 0, 0, 0);
    g_white_pen = create_pen(PenSolid, 1, 255, 255, 255);
    g_black_brush = create_brush(BrushSolid, 0, 0, 0);
    g_white_brush = create_brush(BrushSolid, 255, 255, 255);
    g_hollow_brush = create_brush(BrushHollow, 0, 0, 0);
}

void XrGDI::free_stock_objects()
{
    // Value records: nothing to free.
}

void XrGDI::set_pen_color(XrDCHandleRec* dc, int r, int g, int b)
{
    if (is_null_pen(dc->pen))
        return;
    dc->pen.color = make_color(r, g, b);
    gdk_gc_set_foreground(dc->gc, &dc->pen.color);
}

void XrGDI::set_brush_color(XrDCHandleRec* dc, int r, int g, int b)
{
    if (!is_solid_brush(dc->brush))
        return;
    dc->brush.color = make_color(r, g, b);
    gdk_gc_set_foreground(dc->gc, &dc->brush.color);
    gdk_gc_set_background(dc->gc, &dc->brush.color);
}

void XrGDI::set_raster_op(XrDCHandleRec* dc, RasterOp op)
{
    gdk_gc_set_function(dc->gc, op == RopXor ? GDK_XOR : op == RopAnd ? GDK_AND : GDK_COPY);
}

// ---------------------------------------------------------------------------
// Shapes

void XrGDI::draw_polyline(XrDCHandleRec* dc, const XrPoint* points, int count)
{
    if (points == nullptr || count < 2)
        return;
    int width = 0, height = 0;
    gdk_drawable_get_size(dc->drawable, &width, &height);
    const XrRectangle area(0, 0, width, height);
    static const XrPolygon::ClipSide sides[4] = {XrPolygon::Left, XrPolygon::Right, XrPolygon::Top,
                                                 XrPolygon::Bottom};
    for (int i = 0; i + 1 < count; ++i) {
        XrPoint a = points[i], b = points[i + 1];
        for (XrPolygon::ClipSide side : sides)
            clip_segment_side(area, side, a, b);
        for (XrPolygon::ClipSide side : sides)
            clip_segment_side(area, side, b, a);
        if (area.contains(a) && area.contains(b))
            gdk_draw_line(dc->drawable, dc->gc, a.x, a.y, b.x, b.y);
    }
}

namespace {

// The points of a clipped ring as GDK points.
void to_gdk_points(const XrPolygon& ring, XrArray<GdkPoint>& out)
{
    out.remove_all();
    const XrArray<XrPoint>& pts = ring.get_points();
    for (int i = 0; i < pts.get_num_items(); ++i) {
        const XrPoint& p = *pts.get_item_ptr(i);
        out.append(GdkPoint{p.x, p.y});
    }
}

void clip_ring(const XrPoint* points, int size, const XrRectangle& area, XrPolygon& ring)
{
    ring.clear();
    for (int i = 0; i < size; ++i)
        ring.add_point(points[i]);
    ring.clip_polygon(area);
}

} // namespace

void XrGDI::draw_polygon(XrDCHandleRec* dc, const XrPoint* points, const int* ring_sizes, int ring_count)
{
    // Only a solid brush fills, as for rectangles and ellipses: a hollow
    // brush (the style word NULL) or none leaves the outline alone.
    if (points == nullptr || ring_sizes == nullptr || ring_count <= 0 || !is_solid_brush(dc->brush))
        return;
    gdk_gc_set_foreground(dc->gc, &dc->brush.color);

    int width = 0, height = 0;
    gdk_drawable_get_size(dc->drawable, &width, &height);
    const XrRectangle area(0, 0, width, height);
    XrPolygon ring;
    XrArray<GdkPoint> gdk_points(64, 0);
    clip_ring(points, std::max(ring_sizes[0], 0), area, ring);
    if (ring.get_point_count() >= 3) {
        to_gdk_points(ring, gdk_points);
        if (ring_count == 1) {
            gdk_draw_polygon(dc->drawable, dc->gc, TRUE, gdk_points.get_items(), gdk_points.get_num_items());
        } else {
            GdkRegion* region =
                gdk_region_polygon(gdk_points.get_items(), gdk_points.get_num_items(), GDK_EVEN_ODD_RULE);
            const XrPoint* next = points + std::max(ring_sizes[0], 0);
            for (int r = 1; r < ring_count; ++r) {
                const int size = std::max(ring_sizes[r], 0);
                clip_ring(next, size, area, ring);
                next += size;
                if (ring.get_point_count() <= 2)
                    continue;
                to_gdk_points(ring, gdk_points);
                GdkRegion* hole =
                    gdk_region_polygon(gdk_points.get_items(), gdk_points.get_num_items(), GDK_WINDING_RULE);
                gdk_region_subtract(region, hole);
                gdk_region_destroy(hole);
            }
            // The DC's clip rectangle still applies to the fill and stays set.
            if (has_clip(dc->clip)) {
                const GdkRectangle clip = {dc->clip.left, dc->clip.top, dc->clip.right - dc->clip.left,
                                           dc->clip.bottom - dc->clip.top};
                GdkRegion* clip_region = gdk_region_rectangle(&clip);
                gdk_region_intersect(region, clip_region);
                gdk_region_destroy(clip_region);
            }
            gdk_gc_set_clip_region(dc->gc, region);
            gdk_gc_set_clip_origin(dc->gc, 0, 0);
            gdk_draw_rectangle(dc->drawable, dc->gc, TRUE, 0, 0, width, height);
            gdk_gc_set_clip_region(dc->gc, nullptr);
            gdk_region_destroy(region);
            if (has_clip(dc->clip))
                set_clip_rect(dc, dc->clip);
        }
    }
    if (!is_null_pen(dc->pen))
        gdk_gc_set_foreground(dc->gc, &dc->pen.color);
}

namespace {

// Line widths the platform takes (its requests carry 16-bit sizes).
constexpr long long MAX_LINE_WIDTH = 4096;

long long pen_width_of(const XrDCHandleRec* dc)
{
    return std::clamp<long long>(dc->pen.width, 0, MAX_LINE_WIDTH);
}

// Shape corners come from outside data too (symbol programs): a shape is
// computed in 64 bits and a side far outside the drawable is moved to just
// outside it, past the reach of the pen, which leaves the drawn pixels
// unchanged and keeps every size within the platform's range.
struct XrShapeBox {
    long long left, top, right, bottom; // inclusive
};

long long shape_margin(const XrDCHandleRec* dc)
{
    return pen_width_of(dc) + 2;
}

// False when the box cannot touch the drawable.
bool clip_shape_box(XrDCHandleRec* dc, XrShapeBox& box)
{
    int width = 0, height = 0;
    gdk_drawable_get_size(dc->drawable, &width, &height);
    const long long m = shape_margin(dc);
    if (box.right < -m || box.bottom < -m || box.left > width + m || box.top > height + m)
        return false;
    box.left = std::max(box.left, -m);
    box.top = std::max(box.top, -m);
    box.right = std::min<long long>(box.right, width + m);
    box.bottom = std::min<long long>(box.bottom, height + m);
    return true;
}

int to_int(long long v)
{
    return static_cast<int>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
}

// Ellipses whose box is larger than this are drawn as polygons, which the
// polygon and polyline drawing clip to the drawable.
constexpr long long MAX_ARC_SIZE = 8192;
constexpr int ELLIPSE_POINTS = 128;

// The points of an ellipse through its inclusive box, the first repeated
// at the end.
void ellipse_points(const XrShapeBox& box, XrPoint* out)
{
    const double cx = (static_cast<double>(box.left) + static_cast<double>(box.right) + 1) / 2;
    const double cy = (static_cast<double>(box.top) + static_cast<double>(box.bottom) + 1) / 2;
    const double rx = (static_cast<double>(box.right) - static_cast<double>(box.left) + 1) / 2;
    const double ry = (static_cast<double>(box.bottom) - static_cast<double>(box.top) + 1) / 2;
    // Far points are pulled in to where the polygon clipping works exactly;
    // the drawable is a tiny part of that range.
    constexpr double far = 1 << 30;
    for (int i = 0; i < ELLIPSE_POINTS; ++i) {
        const double a = 2 * G_PI * i / ELLIPSE_POINTS;
        out[i] = XrPoint(static_cast<int>(std::lround(std::clamp(cx + rx * std::cos(a), -far, far))),
                         static_cast<int>(std::lround(std::clamp(cy + ry * std::sin(a), -far, far))));
    }
    out[ELLIPSE_POINTS] = out[0];
}

} // namespace

void XrGDI::draw_rectangle(XrDCHandleRec* dc, int left, int top, int right, int bottom)
{
    const bool filled = is_solid_brush(dc->brush);
    XrShapeBox box{left, top, right, bottom};
    if (!clip_shape_box(dc, box))
        return;
    if (!is_null_pen(dc->pen)) {
        gdk_gc_set_foreground(dc->gc, &dc->pen.color);
        gdk_draw_rectangle(dc->drawable, dc->gc, filled, to_int(box.left), to_int(box.top),
                           to_int(box.right - box.left + 1), to_int(box.bottom - box.top + 1));
    }
    const long long pw = pen_width_of(dc);
    const long long inner_w = box.right - box.left - 2 * pw + 1, inner_h = box.bottom - box.top - 2 * pw + 1;
    if (filled && inner_w > 0 && inner_h > 0) {
        gdk_gc_set_foreground(dc->gc, &dc->brush.color);
        gdk_draw_rectangle(dc->drawable, dc->gc, TRUE, to_int(box.left + pw), to_int(box.top + pw), to_int(inner_w),
                           to_int(inner_h));
    }
}

void XrGDI::draw_ellipse(XrDCHandleRec* dc, int left, int top, int right, int bottom)
{
    const bool filled = is_solid_brush(dc->brush);
    XrShapeBox box{left, top, right, bottom};
    XrShapeBox clipped = box;
    if (!clip_shape_box(dc, clipped))
        return;
    const long long w = box.right - box.left + 1, h = box.bottom - box.top + 1;
    if (w > MAX_ARC_SIZE || h > MAX_ARC_SIZE) {
        // Too large for the platform's arcs (a box that reaches the drawable
        // and is not larger lies within their range).
        XrPoint points[ELLIPSE_POINTS + 1];
        ellipse_points(box, points);
        if (filled) {
            const int ring = ELLIPSE_POINTS;
            draw_polygon(dc, points, &ring, 1);
        }
        if (!is_null_pen(dc->pen)) {
            gdk_gc_set_foreground(dc->gc, &dc->pen.color);
            draw_polyline(dc, points, ELLIPSE_POINTS + 1);
        }
        if (filled)
            gdk_gc_set_foreground(dc->gc, &dc->brush.color);
        return;
    }
    if (!is_null_pen(dc->pen)) {
        gdk_gc_set_foreground(dc->gc, &dc->pen.color);
        gdk_draw_arc(dc->drawable, dc->gc, filled, left, top, to_int(w), to_int(h), 0, 360 * 64);
    }
    const long long pw = pen_width_of(dc);
    const long long inner_w = w - 2 * pw, inner_h = h - 2 * pw;
    if (filled && inner_w > 0 && inner_h > 0) {
        gdk_gc_set_foreground(dc->gc, &dc->brush.color);
        gdk_draw_arc(dc->drawable, dc->gc, TRUE, to_int(left + pw), to_int(top + pw), to_int(inner_w),
                     to_int(inner_h), 0, 360 * 64);
    }
}

namespace {

// The one-colour form: four corner circles and two crossing rectangles.
void round_rect_plain(XrDCHandleRec* dc, int left, int top, int right, int bottom, int radius)
{
    const int d = 2 * radius;
    if (d > 0) {
        gdk_gc_set_foreground(dc->gc, is_solid_brush(dc->brush) ? &dc->brush.color : &dc->pen.color);
        gdk_draw_arc(dc->drawable, dc->gc, TRUE, right - d, top, d, d, 0, 360 * 64);
        gdk_draw_arc(dc->drawable, dc->gc, TRUE, right - d, bottom - d, d, d, 0, 360 * 64);
        gdk_draw_arc(dc->drawable, dc->gc, TRUE, left, top, d, d, 0, 360 * 64);
        gdk_draw_arc(dc->drawable, dc->gc, TRUE, left, bottom - d, d, d, 0, 360 * 64);
    }
    XrGDI::draw_rectangle(dc, left, top + radius, right, bottom - radius);
    XrGDI::draw_rectangle(dc, left + radius, top, right - radius, bottom);
}

} // namespace

void XrGDI::draw_round_rect(XrDCHandleRec* dc, int left, int top, int right, int bottom, int border, int radius)
{
    // Without a solid brush and a pen the two colours cannot be made equal:
    // the plain form is drawn with what is selected.
    if (same_rgb(dc->pen.color, dc->brush.color) || !is_solid_brush(dc->brush) || is_null_pen(dc->pen)) {
        round_rect_plain(dc, left, top, right, bottom, radius);
        return;
    }
    const GdkColor brush_color = dc->brush.color;
    const GdkColor pen_color = dc->pen.color;
    // Outer shape in the pen colour.
    set_brush_color(dc, pen_color.red >> 8, pen_color.green >> 8, pen_color.blue >> 8);
    select_brush(dc, dc->brush);
    round_rect_plain(dc, left, top, right, bottom, radius);
    set_brush_color(dc, brush_color.red >> 8, brush_color.green >> 8, brush_color.blue >> 8);
    // Inner shape in the brush colour.
    set_pen_color(dc, brush_color.red >> 8, brush_color.green >> 8, brush_color.blue >> 8);
    select_pen(dc, dc->pen, -1);
    select_brush(dc, dc->brush);
    round_rect_plain(dc, left + border, top + border, right - border, bottom - border, radius);
    set_pen_color(dc, pen_color.red >> 8, pen_color.green >> 8, pen_color.blue >> 8);
    select_pen(dc, dc->pen, -1);
}

// ---------------------------------------------------------------------------
// Fonts and text

XrFontHandleRec* XrGDI::create_font_rotated(const TCHAR* family, int size, int weight, bool italic,
                                            XrFontAngle angle)
{
    auto* font = new XrFontHandleRec{pango_font_description_new(), angle.degrees};
    XrByteArray name(32, 0);
    xr_gdi_to_utf8(family, -1, name);
    name.append_byte(0);
    pango_font_description_set_family(font->desc, reinterpret_cast<const char*>(name.get_items()));
    pango_font_description_set_size(font->desc, size * PANGO_SCALE);
    if (weight == 0)
        pango_font_description_set_weight(font->desc, PANGO_WEIGHT_NORMAL);
    else if (weight == 1)
        pango_font_description_set_weight(font->desc, PANGO_WEIGHT_BOLD);
    pango_font_description_set_style(font->desc, italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    return font;
}

XrFontHandleRec* XrGDI::create_font(const TCHAR* family, int size, int weight, bool italic)
{
    return create_font_rotated(family, size, weight, italic, XrFontAngle(0));
}

void XrGDI::set_font_angle(XrFontHandleRec* font, unsigned int degrees)
{
    if (font != nullptr)
        font->angle = degrees;
}

void XrGDI::delete_font(XrFontHandleRec* font)
{
    if (font == nullptr)
        return;
    if (g_last_font == font)
        g_last_font = nullptr;
    pango_font_description_free(font->desc);
    delete font;
}

void XrGDI::select_font(XrDCHandleRec* dc, XrFontHandleRec* font)
{
    if (font == nullptr)
        return;
    pango_layout_set_font_description(dc->layout, font->desc);
    dc->font = font;
    g_last_font = font;
}

void XrGDI::deselect_font(XrDCHandleRec* dc)
{
    pango_layout_set_font_description(dc->layout, nullptr);
    dc->font = nullptr;
    g_last_font = nullptr;
}

XrFontHandleRec* XrGDI::get_last_selected_font()
{
    return g_last_font;
}

int XrGDI::get_font_size(const XrFontHandleRec* font)
{
    if (font == nullptr)
        return 0;
    return pango_font_description_get_size(font->desc) / PANGO_SCALE;
}

void XrGDI::set_text_color(XrDCHandleRec* dc, XrColorHandle color)
{
    dc->text_color = make_color(color);
}

void XrGDI::set_opaque_text(XrDCHandleRec* dc, bool opaque)
{
    dc->transparent_text = opaque ? 0 : 1;
}

void XrGDI::draw_text_rect(XrDCHandleRec* dc, const TCHAR* str, int left, int top, int right, int bottom,
                           int align, int str_len)
{
    int w = 0, h = 0;
    layout_pixel_size(dc->layout, str, str_len, &w, &h);
    int x = left, y = top;
    switch (align) {
    case RightTop:
        x = right - w;
        break;
    case CentreTop:
        x = (left + right) / 2 - w / 2;
        break;
    case LeftMiddle:
        y = (top + bottom) / 2 - h / 2;
        break;
    case RightMiddle:
        x = right - w;
        y = (top + bottom) / 2 - h / 2;
        break;
    case CentreMiddle:
        x = (left + right) / 2 - w / 2;
        y = (top + bottom) / 2 - h / 2;
        break;
    default:
        break;
    }
    if (dc->font != nullptr && dc->font->angle != 0) {
        PangoMatrix matrix = PANGO_MATRIX_INIT;
        pango_matrix_rotate(&matrix, dc->font->angle);
        pango_context_set_matrix(dc->context, &matrix);
        pango_layout_context_changed(dc->layout);
        int w2 = 0, h2 = 0;
        pango_layout_get_pixel_size(dc->layout, &w2, &h2);
        if (w2 * matrix.yx >= 0)
            x += xr_trunc_coord(h2 * matrix.xy);
        else
            y += xr_trunc_coord(w2 * matrix.yx);
    } else if (pango_context_get_matrix(dc->context) != nullptr) {
        pango_context_set_matrix(dc->context, nullptr);
        pango_layout_context_changed(dc->layout);
    }
    gdk_draw_layout_with_colors(dc->drawable, dc->gc, x, y, dc->layout, &dc->text_color,
                                dc->transparent_text ? nullptr : &dc->brush.color);
}

XrSize XrGDI::measure_text(XrFontHandleRec* font, const TCHAR* str, int str_len)
{
    if (font == nullptr)
        return XrSize(0, 0);
    PangoLayout* layout = measuring_layout();
    pango_layout_set_font_description(layout, font->desc);
    XrSize size;
    layout_pixel_size(layout, str, str_len, &size.width, &size.height);
    g_object_unref(layout);
    return size;
}

void XrGDI::get_text_size(XrFontHandleRec* font, const TCHAR* str, int* width, int* height, int str_len)
{
    const XrSize size = measure_text(font, str, str_len);
    if (width != nullptr)
        *width = size.width;
    if (height != nullptr)
        *height = size.height;
}

void XrGDI::get_dc_text_size(XrDCHandleRec* dc, const TCHAR* str, int* width, int* height, int str_len)
{
    layout_pixel_size(dc->layout, str, str_len, width, height);
}

// ---------------------------------------------------------------------------
// Bitmaps

XrBitmapHandleRec* XrGDI::unsupported_bitmap()
{
    return &g_unsupported_bitmap;
}

XrBitmapHandleRec* XrGDI::create_bitmap(XrDCHandleRec* dc, int width, int height)
{
    if (width <= 0 || height <= 0)
        return nullptr;
    XrBitmapHandleRec* bm = xr_gdi_new_bitmap_handle(width, height);
    bm->pixmap = gdk_pixmap_new(dc->drawable, width, height, -1);
    return bm;
}

XrBitmapHandleRec* XrGDI::load_bitmap(const TCHAR* path, int index)
{
    const XrString name(path);
    if (ends_with_jpg(name)) {
        GdkPixbuf* pixbuf = load_pixbuf(name.c_str());
        if (pixbuf == nullptr)
            return nullptr;
        XrBitmapHandleRec* bm = xr_gdi_new_bitmap_handle(gdk_pixbuf_get_width(pixbuf), gdk_pixbuf_get_height(pixbuf));
        bm->pixbuf = pixbuf;
        return bm;
    }

    BYTE* record = XrMbm::load(name, index);
    if (record == nullptr)
        return nullptr;
    XrDecodedMbm decoded;
    const XrDecodedMbm::Kind kind = decode_mbm_record(record, decoded);
    delete[] record;
    const int width = static_cast<int>(decoded.header.width), height = static_cast<int>(decoded.header.height);
    switch (kind) {
    case XrDecodedMbm::Unsupported:
        return unsupported_bitmap();
    case XrDecodedMbm::Rgb: {
        XrBitmapHandleRec* bm = xr_gdi_new_bitmap_handle(width, height);
        *bm->header = decoded.header;
        bm->buffer = decoded.rgb;
        return bm;
    }
    case XrDecodedMbm::Mono: {
        XrBitmapHandleRec* bm = xr_gdi_new_bitmap_handle(width, height);
        *bm->header = decoded.header;
        bm->mask = make_1bit_bitmap(decoded.bits, width, height);
        delete[] decoded.bits;
        return bm;
    }
    default:
        return nullptr;
    }
}

bool XrGDI::read_bitmap_size(const TCHAR* path, int index, int& width, int& height)
{
    XrBitmapHeader header;
    if (!XrMbm::load_header(XrString(path), index, &header))
        return false;
    width = static_cast<int>(header.width);
    height = static_cast<int>(header.height);
    return true;
}

bool XrGDI::load_image_file(const TCHAR* path, XrBitmapHandleRec*& image, XrBitmapHandleRec*& mask)
{
    image = nullptr;
    mask = nullptr;
    GdkPixbuf* pixbuf = load_pixbuf(path);
    if (pixbuf == nullptr)
        return false;
    const int width = gdk_pixbuf_get_width(pixbuf), height = gdk_pixbuf_get_height(pixbuf);
    image = xr_gdi_new_bitmap_handle(width, height);
    image->pixbuf = pixbuf;
    // Drawn where the image's alpha is at least 50.
    mask = xr_gdi_new_bitmap_handle(width, height);
    mask->mask = gdk_pixmap_new(nullptr, width, height, 1);
    gdk_pixbuf_render_threshold_alpha(pixbuf, mask->mask, 0, 0, 0, 0, width, height, 50);
    return true;
}

void XrGDI::delete_bitmap(XrBitmapHandleRec* bitmap)
{
    if (bitmap == nullptr || bitmap == &g_unsupported_bitmap)
        return;
    delete bitmap->header;
    delete[] bitmap->buffer;
    if (bitmap->mask != nullptr)
        g_object_unref(bitmap->mask);
    if (bitmap->pixmap != nullptr)
        g_object_unref(bitmap->pixmap);
    if (bitmap->pixbuf != nullptr)
        g_object_unref(bitmap->pixbuf);
    delete bitmap;
}

bool XrGDI::get_bitmap_size(const XrBitmapHandleRec* bitmap, int* width, int* height)
{
    if (bitmap == nullptr)
        return false;
    const bool known = bitmap != &g_unsupported_bitmap && bitmap->header != nullptr;
    if (width != nullptr)
        *width = known ? static_cast<int>(bitmap->header->width) : 0;
    if (height != nullptr)
        *height = known ? static_cast<int>(bitmap->header->height) : 0;
    return true;
}

void XrGDI::draw_bitmap_masked(XrDCHandleRec* dc, int left, int top, int right, int bottom,
                               XrBitmapHandleRec* bitmap, int sx, int sy, XrBitmapHandleRec* mask)
{
    if (bitmap == nullptr || bitmap == &g_unsupported_bitmap)
        return;
    int bw = 0, bh = 0;
    get_bitmap_size(bitmap, &bw, &bh);
    if (bw <= 0 || bh <= 0)
        return;

    const XrRectangle saved_clip = dc->clip;
    const bool clipped = has_clip(saved_clip);
    if (clipped)
        gdk_gc_set_clip_rectangle(dc->gc, nullptr);

    // The destination's pixels under the bitmap, so that alpha blends over
    // them: bitmap pixel (sx, sy) lands on (left, top).
    XrDCHandleRec* mem = create_memory_dc(dc, bw, bh, 0, left - sx, top - sy);
    if (bitmap->buffer != nullptr) {
        gdk_draw_rgb_image(mem->drawable, mem->gc, 0, 0, bw, bh, GDK_RGB_DITHER_MAX, bitmap->buffer, bw * 3);
    } else if (bitmap->pixmap != nullptr) {
        gdk_draw_drawable(mem->drawable, mem->gc, bitmap->pixmap, 0, 0, 0, 0, bw, bh);
    } else if (bitmap->pixbuf != nullptr) {
        gdk_draw_pixbuf(mem->drawable, mem->gc, bitmap->pixbuf, 0, 0, 0, 0, bw, bh, GDK_RGB_DITHER_NONE, 0, 0);
    }

    if (mask != nullptr && mask != &g_unsupported_bitmap) {
        if (mask->mask == nullptr && mask->buffer != nullptr && mask->header != nullptr &&
            mask->header->width % 8 == 0) {
            // Drawn where the mask's red byte is 0.
            const int mw = static_cast<int>(mask->header->width), mh = static_cast<int>(mask->header->height);
            const int stride = mw / 8;
            BYTE* bits = new BYTE[static_cast<size_t>(stride) * mh + 1]();
            for (int y = 0; y < mh; ++y) {
                for (int x = 0; x < mw; ++x) {
                    if (mask->buffer[(static_cast<size_t>(y) * mw + x) * 3] == 0)
                        bits[y * stride + x / 8] |= static_cast<BYTE>(1 << (x % 8));
                }
            }
            mask->mask = make_1bit_bitmap(bits, mw, mh);
            delete[] bits;
        }
        if (mask->mask != nullptr) {
            gdk_gc_set_clip_mask(dc->gc, mask->mask);
            gdk_gc_set_clip_origin(dc->gc, left - sx, top - sy);
        }
    }

    if (clipped) {
        if (left < saved_clip.left) {
            sx += saved_clip.left - left;
            left = saved_clip.left;
        }
        if (top < saved_clip.top) {
            sy += saved_clip.top - top;
            top = saved_clip.top;
        }
        right = std::min(right, saved_clip.right);
        bottom = std::min(bottom, saved_clip.bottom);
    }
    if (left < right && top < bottom)
        bit_blt(dc, left, top, right, bottom, mem, sx, sy);

    gdk_gc_set_clip_mask(dc->gc, nullptr);
    gdk_gc_set_clip_origin(dc->gc, 0, 0);
    if (clipped)
        set_clip_rect(dc, saved_clip);
    delete_dc(mem);
}

void XrGDI::draw_to_bitmap(XrBitmapHandleRec* bm, int x, int y, int width, int height, XrDCHandleRec* dc, int sx,
                           int sy, void*)
{
    XR_ASSERT(bm->mask == 0);
    XR_ASSERT(bm->pixmap != 0);
    XR_ASSERT(bm->buffer == 0);
    if (width <= 0 || height <= 0)
        return;
    gdk_draw_drawable(bm->pixmap, dc->gc, dc->drawable, sx, sy, x, y, width, height);
}

XrColorHandle XrGDI::get_bitmap_pixel(const XrBitmapHandleRec* bitmap, int x, int y)
{
    XR_ASSERT(bitmap != nullptr);
    if (bitmap->buffer != nullptr) {
        const int w = static_cast<int>(bitmap->header->width), h = static_cast<int>(bitmap->header->height);
        if (w <= 0 || h <= 0)
            return 0;
        x = std::clamp(x, 0, w - 1);
        y = std::clamp(y, 0, h - 1);
        const BYTE* p = bitmap->buffer + (static_cast<size_t>(y) * w + x) * 3;
        return rgb(p[0], p[1], p[2]);
    }
    if (bitmap->pixbuf != nullptr) {
        const int w = gdk_pixbuf_get_width(bitmap->pixbuf), h = gdk_pixbuf_get_height(bitmap->pixbuf);
        x = std::clamp(x, 0, w - 1);
        y = std::clamp(y, 0, h - 1);
        const guchar* p = gdk_pixbuf_get_pixels(bitmap->pixbuf) +
                          static_cast<size_t>(y) * gdk_pixbuf_get_rowstride(bitmap->pixbuf) +
                          static_cast<size_t>(x) * gdk_pixbuf_get_n_channels(bitmap->pixbuf);
        return rgb(p[0], p[1], p[2]);
    }
    XR_ASSERT(!"not bitmap to get_bitmap_pixel");
    return 0;
}

GdkPixbuf* XrGDI::bitmap_to_pixbuf(const XrBitmapHandleRec* bitmap, int x, int y, int width, int height)
{
    if (bitmap == nullptr || width <= 0 || height <= 0)
        return nullptr;
    const bool alpha = bitmap->pixbuf != nullptr;
    GdkPixbuf* out = gdk_pixbuf_new(GDK_COLORSPACE_RGB, alpha, 8, width, height);
    if (out == nullptr)
        return nullptr;
    gdk_pixbuf_fill(out, 0);
    const int out_channels = gdk_pixbuf_get_n_channels(out), out_stride = gdk_pixbuf_get_rowstride(out);
    guchar* out_pixels = gdk_pixbuf_get_pixels(out);

    const BYTE* src = nullptr;
    int src_w = 0, src_h = 0, src_channels = 3, src_stride = 0;
    if (bitmap->buffer != nullptr && bitmap->header != nullptr) {
        src = bitmap->buffer;
        src_w = static_cast<int>(bitmap->header->width);
        src_h = static_cast<int>(bitmap->header->height);
        src_stride = src_w * 3;
    } else if (bitmap->pixbuf != nullptr) {
        src = gdk_pixbuf_get_pixels(bitmap->pixbuf);
        src_w = gdk_pixbuf_get_width(bitmap->pixbuf);
        src_h = gdk_pixbuf_get_height(bitmap->pixbuf);
        src_channels = gdk_pixbuf_get_n_channels(bitmap->pixbuf);
        src_stride = gdk_pixbuf_get_rowstride(bitmap->pixbuf);
    }
    if (src == nullptr)
        return out;
    // Only the part of the area inside the bitmap is copied; the rest stays 0.
    for (int row = 0; row < height; ++row) {
        const long long sy = static_cast<long long>(y) + row;
        if (sy < 0 || sy >= src_h)
            continue;
        for (int col = 0; col < width; ++col) {
            const long long sx = static_cast<long long>(x) + col;
            if (sx < 0 || sx >= src_w)
                continue;
            const BYTE* s = src + sy * src_stride + sx * src_channels;
            guchar* d = out_pixels + static_cast<size_t>(row) * out_stride + static_cast<size_t>(col) * out_channels;
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
            if (out_channels == 4)
                d[3] = src_channels == 4 ? s[3] : 255;
        }
    }
    return out;
}

// ---------------------------------------------------------------------------
// Device contexts

XrDCHandleRec* XrGDI::create_memory_dc(XrDCHandleRec* reference, int width, int height, int, int x, int y)
{
    XrMapWindow* window = nullptr;
    XrDCHandleRec* window_dc = nullptr;
    if (reference == nullptr) {
        window = get_app_map_window();
        window_dc = window != nullptr ? get_window_dc(window) : nullptr;
        reference = window_dc;
    }
    XrDCHandleRec* dc = nullptr;
    if (reference != nullptr && width > 0 && height > 0) {
        GdkPixmap* pixmap = gdk_pixmap_new(reference->drawable, width, height, -1);
        dc = new XrDCHandleRec(*reference);
        g_object_ref(dc->layout);
        dc->drawable = pixmap;
        dc->owns_drawable = 1;
        if (GdkColormap* colormap = gdk_drawable_get_colormap(reference->drawable)) {
            if (gdk_drawable_get_colormap(pixmap) != colormap)
                gdk_drawable_set_colormap(pixmap, colormap);
        }
        gdk_draw_drawable(pixmap, reference->gc, reference->drawable, x, y, 0, 0, width, height);
    }
    if (window_dc != nullptr)
        release_window_dc(window, window_dc);
    return dc;
}

void XrGDI::delete_dc(XrDCHandleRec* dc)
{
    if (dc == nullptr)
        return;
    if (dc->layout != nullptr)
        g_object_unref(dc->layout);
    if (dc->owns_drawable && dc->drawable != nullptr)
        g_object_unref(dc->drawable);
    delete dc;
}

void XrGDI::get_dc_size(XrDCHandleRec* dc, int* width, int* height)
{
    int w = 0, h = 0;
    gdk_drawable_get_size(dc->drawable, &w, &h);
    if (width != nullptr)
        *width = w;
    if (height != nullptr)
        *height = h;
}

void XrGDI::bit_blt(XrDCHandleRec* dc, int left, int top, int right, int bottom, XrDCHandleRec* source, int sx,
                    int sy)
{
    // GDK reads a width or height of -1 as "to the edge": an empty area copies nothing.
    if (right <= left || bottom <= top)
        return;
    gdk_draw_drawable(dc->drawable, dc->gc, source->drawable, sx, sy, left, top, right - left, bottom - top);
}

void XrGDI::set_clip_rect(XrDCHandleRec* dc, const XrRectangle& rect)
{
    dc->clip = rect;
    GdkRectangle r = {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
    gdk_gc_set_clip_rectangle(dc->gc, &r);
}

void XrGDI::clear_clip_rect(XrDCHandleRec* dc)
{
    dc->clip = XrRectangle();
    gdk_gc_set_clip_rectangle(dc->gc, nullptr);
}

void XrGDI::flush_and_wait(XrDCHandleRec* dc, int ms)
{
    gdk_display_flush(gdk_drawable_get_display(dc->drawable));
    if (ms > 0)
        usleep(static_cast<useconds_t>(ms) * 1000);
}

XrDCHandleRec* XrGDI::get_window_dc(XrMapWindow* window, int)
{
    XrAppMapWindowSource* source = get_app_map_window_source();
    return source != nullptr ? source->get_window_dc(window) : nullptr;
}

void XrGDI::release_window_dc(XrMapWindow* window, XrDCHandleRec* dc, int)
{
    if (XrAppMapWindowSource* source = get_app_map_window_source())
        source->release_window_dc(window, dc);
}
