// XrGDI without a display: every operation is logged (see xr_gdi_recording.h).
#include "common/gdi/recording/xr_gdi_recording.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>

#include "common/bmloader/xr_bitmap.h"
#include "common/gdi/xr_app_map_window.h"

namespace {

struct XrRecordingDC : XrDCHandleRec {
    int width = 0;
    int height = 0;
};

XrPenHandle g_black_pen, g_white_pen;
XrBrushHandle g_black_brush, g_white_brush, g_hollow_brush;
XrFontHandleRec* g_last_font = nullptr;

GdkColor make_color(int r, int g, int b)
{
    GdkColor c{};
    c.red = static_cast<guint16>((r & 0xFF) << 8);
    c.green = static_cast<guint16>((g & 0xFF) << 8);
    c.blue = static_cast<guint16>((b & 0xFF) << 8);
    return c;
}

int rgb_of(const GdkColor& c) { return XrGDI::rgb(c.red >> 8, c.green >> 8, c.blue >> 8); }

int text_length(const TCHAR* str, int len)
{
    if (str == nullptr)
        return 0;
    const int n = static_cast<int>(std::wcslen(str));
    return len < 0 || len > n ? n : len;
}

XrGdiCall* log(const char* name, const XrDCHandleRec* dc, std::initializer_list<long long> args = {})
{
    XrGdiCall* call = XrGdiRecording::instance().add(name, dc);
    if (call != nullptr)
        call->args.assign(args);
    return call;
}

void log_points(XrGdiCall* call, const XrPoint* points, int count)
{
    if (call != nullptr && points != nullptr && count > 0)
        call->points.assign(points, points + count);
}

void log_text(XrGdiCall* call, const TCHAR* str, int len)
{
    if (call != nullptr && str != nullptr)
        call->text.assign(str, static_cast<size_t>(text_length(str, len)));
}

XrBitmapHandleRec* new_bitmap_handle(int width, int height)
{
    auto* bm = new XrBitmapHandleRec{new XrBitmapHeader{}, nullptr, nullptr, nullptr, nullptr};
    bm->header->width = static_cast<std::uint32_t>(width);
    bm->header->height = static_cast<std::uint32_t>(height);
    return bm;
}

} // namespace

// --- The log --------------------------------------------------------------------

int XrGdiCall::pen_rgb() const { return rgb_of(pen.color); }
int XrGdiCall::brush_rgb() const { return rgb_of(brush.color); }

std::string XrGdiCall::to_string() const
{
    std::string s = name + "(";
    for (size_t i = 0; i < args.size(); ++i)
        s += (i ? "," : "") + std::to_string(args[i]);
    if (!points.empty()) {
        s += args.empty() ? "" : ";";
        for (size_t i = 0; i < points.size(); ++i)
            s += (i ? " " : "") + std::to_string(points[i].x) + "," + std::to_string(points[i].y);
    }
    if (!text.empty()) {
        s += " \"";
        for (wchar_t c : text)
            s += c < 128 ? static_cast<char>(c) : '?';
        s += "\"";
    }
    char state[64];
    std::snprintf(state, sizeof state, ") pen %06X/%d brush %06X", static_cast<unsigned>(pen_rgb()), pen.width,
                  static_cast<unsigned>(brush_rgb()));
    return s + state;
}

XrGdiRecording& XrGdiRecording::instance()
{
    static XrGdiRecording recording;
    return recording;
}

XrGdiCall* XrGdiRecording::add(const char* name, const XrDCHandleRec* dc)
{
    if (!enabled)
        return nullptr;
    calls.emplace_back();
    XrGdiCall& call = calls.back();
    call.name = name;
    call.dc = dc;
    if (dc != nullptr) {
        call.pen = dc->pen;
        call.brush = dc->brush;
        call.font = dc->font;
        call.text_color = static_cast<XrColorHandle>(rgb_of(dc->text_color));
    }
    return &call;
}

std::vector<const XrGdiCall*> XrGdiRecording::find(const char* name) const
{
    std::vector<const XrGdiCall*> out;
    for (const XrGdiCall& c : calls)
        if (c.name == name)
            out.push_back(&c);
    return out;
}

int XrGdiRecording::count(const char* name) const
{
    return static_cast<int>(std::count_if(calls.begin(), calls.end(), [&](const XrGdiCall& c) { return c.name == name; }));
}

std::string XrGdiRecording::dump() const
{
    std::string s;
    for (const XrGdiCall& c : calls)
        s += c.to_string() + "\n";
    return s;
}

XrDCHandleRec* xr_recording_dc(int width, int height)
{
    auto* dc = new XrRecordingDC();
    dc->brush = XrBrushHandle{0, XrBrushHandle::NullMarker, {0, 0, 0, 0}};
    dc->pen = XrPenHandle{{0, 0, 0, 0}, 1, XrPenHandle::Null};
    dc->transparent_text = 1;
    dc->width = width;
    dc->height = height;
    return dc;
}

XrSize xr_recording_text_size(const XrFontHandleRec* font, const TCHAR* str, int len)
{
    int size = XrGDI::get_font_size(font);
    if (size <= 0)
        size = 10;
    const int n = text_length(str, len);
    return XrSize(n * std::max(1, size * 3 / 5), n == 0 ? 0 : size * 5 / 4);
}

// --- Colours, pens and brushes ------------------------------------------------------

XrPenHandle XrGDI::create_pen(PenStyle style, int width, int r, int g, int b)
{
    XrPenHandle pen;
    pen.color = make_color(r, g, b);
    pen.width = width;
    pen.style = style == 0 || style == 2 || style == 4 ? XrPenHandle::Solid
                : style == 1 || style == 3           ? XrPenHandle::Dashed
                                                      : XrPenHandle::Null;
    return pen;
}

XrBrushHandle XrGDI::create_brush(BrushStyle style, int r, int g, int b)
{
    XrBrushHandle brush;
    brush.color = make_color(r, g, b);
    brush.null_marker = 0;
    brush.fill = style == 1 ? XrBrushHandle::SolidFill : XrBrushHandle::Hollow;
    if (style != 0 && style != 1)
        brush.null_marker = XrBrushHandle::NullMarker;
    return brush;
}

void XrGDI::select_pen(XrDCHandleRec* dc, const XrPenHandle& pen, int width)
{
    if (pen.style == XrPenHandle::Null)
        return;
    dc->pen = pen;
    dc->pen.width = width == -1 ? pen.width : width;
    log("select_pen", dc, {rgb_of(pen.color), dc->pen.width, pen.style});
}

void XrGDI::set_pen_width(XrDCHandleRec* dc, int width)
{
    dc->pen.width = width;
    log("set_pen_width", dc, {width});
}

void XrGDI::restore_pen(XrDCHandleRec* dc, const XrPenHandle& pen)
{
    if (pen.style != XrPenHandle::Null)
        select_pen(dc, pen, -1);
}

void XrGDI::restore_brush(XrDCHandleRec* dc, const XrBrushHandle& brush)
{
    if (brush.null_marker != XrBrushHandle::NullMarker)
        select_brush(dc, brush);
}

void XrGDI::select_brush(XrDCHandleRec* dc, const XrBrushHandle& brush)
{
    if (brush.null_marker == XrBrushHandle::NullMarker)
        return;
    dc->brush = brush;
    log("select_brush", dc, {rgb_of(brush.color), static_cast<long long>(brush.fill)});
}

XrPenHandle XrGDI::get_stock_pen(StockPen which) { return which == 0 ? g_black_pen : g_white_pen; }

XrBrushHandle XrGDI::get_stock_brush(StockBrush which)
{
    return which == 0 ? g_black_brush : which == 1 ? g_white_brush : g_hollow_brush;
}

void XrGDI::init_stock_objects()
{
    g_black_pen = create_pen(PenSolid, 1, 0, 0, 0);
    g_white_pen = create_pen(PenSolid, 1, 255, 255, 255);
    g_black_brush = create_brush(BrushSolid, 0, 0, 0);
    g_white_brush = create_brush(BrushSolid, 255, 255, 255);
    g_hollow_brush = create_brush(BrushHollow, 0, 0, 0);
}

void XrGDI::free_stock_objects() {}

void XrGDI::set_pen_color(XrDCHandleRec* dc, int r, int g, int b)
{
    if (dc->pen.style == XrPenHandle::Null)
        return;
    dc->pen.color = make_color(r, g, b);
    log("set_pen_color", dc, {r, g, b});
}

void XrGDI::set_brush_color(XrDCHandleRec* dc, int r, int g, int b)
{
    if (dc->brush.null_marker == XrBrushHandle::NullMarker || dc->brush.fill != XrBrushHandle::SolidFill)
        return;
    dc->brush.color = make_color(r, g, b);
    log("set_brush_color", dc, {r, g, b});
}

void XrGDI::set_raster_op(XrDCHandleRec* dc, RasterOp op) { log("set_raster_op", dc, {op}); }

// --- Shapes -----------------------------------------------------------------------------

void XrGDI::draw_line(XrDCHandleRec* dc, int x1, int y1, int x2, int y2)
{
    log("draw_line", dc, {x1, y1, x2, y2});
}

void XrGDI::draw_polyline(XrDCHandleRec* dc, const XrPoint* points, int count)
{
    log_points(log("draw_polyline", dc, {count}), points, count);
}

void XrGDI::draw_polygon(XrDCHandleRec* dc, const XrPoint* points, const int* ring_sizes, int ring_count)
{
    XrGdiCall* call = log("draw_polygon", dc, {ring_count});
    if (call == nullptr || points == nullptr || ring_sizes == nullptr)
        return;
    int total = 0;
    for (int i = 0; i < ring_count; ++i) {
        call->rings.push_back(ring_sizes[i]);
        total += std::max(ring_sizes[i], 0);
    }
    log_points(call, points, total);
}

void XrGDI::draw_polygon_outlined(XrDCHandleRec* dc, const XrPoint* points, const int* ring_sizes, int ring_count,
                                  bool outline, bool is_3d)
{
    XrGdiCall* call = log("draw_polygon_outlined", dc, {ring_count, outline ? 1 : 0, is_3d ? 1 : 0});
    if (call == nullptr || points == nullptr || ring_sizes == nullptr)
        return;
    int total = 0;
    for (int i = 0; i < ring_count; ++i) {
        call->rings.push_back(ring_sizes[i]);
        total += std::max(ring_sizes[i], 0);
    }
    log_points(call, points, total);
}

void XrGDI::draw_rectangle(XrDCHandleRec* dc, int left, int top, int right, int bottom)
{
    log("draw_rectangle", dc, {left, top, right, bottom});
}

void XrGDI::draw_ellipse(XrDCHandleRec* dc, int left, int top, int right, int bottom)
{
    log("draw_ellipse", dc, {left, top, right, bottom});
}

void XrGDI::draw_round_rect(XrDCHandleRec* dc, int left, int top, int right, int bottom, int border, int radius)
{
    log("draw_round_rect", dc, {left, top, right, bottom, border, radius});
}

void XrGDI::draw_textured_triangle(XrDCHandleRec* dc, const XrPoint* screen, const XrPoint*, XrBitmapHandleRec*)
{
    log_points(log("draw_textured_triangle", dc), screen, 3);
}

// --- Text and fonts ---------------------------------------------------------------------

XrFontHandleRec* XrGDI::create_font_rotated(const TCHAR* family, int size, int weight, bool italic,
                                            XrFontAngle angle)
{
    auto* font = new XrFontHandleRec{pango_font_description_new(), angle.degrees};
    std::string name;
    for (const TCHAR* p = family; p != nullptr && *p != 0; ++p)
        name += static_cast<char>(*p < 128 ? *p : '?');
    pango_font_description_set_family(font->desc, name.c_str());
    pango_font_description_set_size(font->desc, size * PANGO_SCALE);
    pango_font_description_set_weight(font->desc, weight == 1 ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
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
    dc->font = font;
    g_last_font = font;
    log("select_font", dc, {get_font_size(font)});
}

void XrGDI::deselect_font(XrDCHandleRec* dc)
{
    dc->font = nullptr;
    g_last_font = nullptr;
    log("deselect_font", dc);
}

XrFontHandleRec* XrGDI::get_last_selected_font() { return g_last_font; }

int XrGDI::get_font_size(const XrFontHandleRec* font)
{
    return font == nullptr ? 0 : pango_font_description_get_size(font->desc) / PANGO_SCALE;
}

XrFontMetrics XrGDI::get_font_metrics(const XrFontHandleRec* font)
{
    const int size = font != nullptr ? get_font_size(font) : 10;
    return XrFontMetrics(size, size / 4);
}

void XrGDI::set_text_color(XrDCHandleRec* dc, XrColorHandle color)
{
    dc->text_color = make_color(get_r(color), get_g(color), get_b(color));
    log("set_text_color", dc, {color});
}

void XrGDI::set_opaque_text(XrDCHandleRec* dc, bool opaque)
{
    dc->transparent_text = opaque ? 0 : 1;
    log("set_opaque_text", dc, {opaque ? 1 : 0});
}

void XrGDI::set_text_underline(XrDCHandleRec* dc, bool on) { log("set_text_underline", dc, {on ? 1 : 0}); }

void XrGDI::draw_text(XrDCHandleRec* dc, const TCHAR* str, const XrRectangle& rect, int align, int str_len)
{
    log_text(log("draw_text", dc, {rect.left, rect.top, rect.right, rect.bottom, align}), str, str_len);
}

void XrGDI::draw_text(XrDCHandleRec* dc, const TCHAR* str, const XrPoint& point, int str_len)
{
    log_text(log("draw_text", dc, {point.x, point.y}), str, str_len);
}

void XrGDI::draw_text_rect(XrDCHandleRec* dc, const TCHAR* str, int left, int top, int right, int bottom, int align,
                           int str_len)
{
    log_text(log("draw_text_rect", dc, {left, top, right, bottom, align}), str, str_len);
}

void XrGDI::draw_bidi_text(XrDCHandleRec* dc, const TCHAR* str, const XrRectangle& rect, int flags)
{
    log_text(log("draw_bidi_text", dc, {rect.left, rect.top, rect.right, rect.bottom, flags}), str, -1);
}

void XrGDI::draw_bidi_text(XrDCHandleRec* dc, const TCHAR* str, const XrPoint& point, int flag)
{
    log_text(log("draw_bidi_text", dc, {point.x, point.y, flag}), str, -1);
}

int XrGDI::bidi_text_height(XrFontHandleRec* font, const TCHAR* str, int, int)
{
    return xr_recording_text_size(font, str, -1).height;
}

void XrGDI::bidi_text_rect(XrFontHandleRec* font, const TCHAR* str, XrRectangle& rect, int)
{
    const XrSize size = xr_recording_text_size(font, str, -1);
    rect.right = rect.left + size.width;
    rect.bottom = rect.top + size.height;
}

XrSize XrGDI::measure_text(XrFontHandleRec* font, const TCHAR* str, int str_len)
{
    if (font == nullptr)
        return XrSize(0, 0);
    return xr_recording_text_size(font, str, str_len);
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
    const XrSize size = xr_recording_text_size(dc->font, str, str_len);
    if (width != nullptr)
        *width = size.width;
    if (height != nullptr)
        *height = size.height;
}

void XrGDI::ellipsize_text(XrDCHandleRec* dc, XrString& text, int max_width)
{
    while (!text.is_empty() && xr_recording_text_size(dc->font, text.c_str(), -1).width > max_width) {
        text.remove_last_char();
        XrString shortened = text;
        shortened += L"...";
        if (xr_recording_text_size(dc->font, shortened.c_str(), -1).width <= max_width) {
            text = shortened;
            break;
        }
    }
}

// --- Bitmaps ----------------------------------------------------------------------------------

XrBitmapHandleRec* XrGDI::create_bitmap(XrDCHandleRec*, int width, int height)
{
    return width > 0 && height > 0 ? new_bitmap_handle(width, height) : nullptr;
}

XrBitmapHandleRec* XrGDI::load_bitmap(const TCHAR*, int) { return nullptr; }
bool XrGDI::read_bitmap_size(const TCHAR*, int, int&, int&) { return false; }

bool XrGDI::load_image_file(const TCHAR*, XrBitmapHandleRec*&, XrBitmapHandleRec*&) { return false; }

void XrGDI::delete_bitmap(XrBitmapHandleRec* bitmap)
{
    if (bitmap == nullptr || bitmap == unsupported_bitmap())
        return;
    delete bitmap->header;
    delete[] bitmap->buffer;
    delete bitmap;
}

bool XrGDI::get_bitmap_size(const XrBitmapHandleRec* bitmap, int* width, int* height)
{
    if (bitmap == nullptr)
        return false;
    if (width != nullptr)
        *width = static_cast<int>(bitmap->header->width);
    if (height != nullptr)
        *height = static_cast<int>(bitmap->header->height);
    return true;
}

XrBitmapHandleRec* XrGDI::unsupported_bitmap()
{
    static XrBitmapHeader header{};
    static XrBitmapHandleRec placeholder{&header, nullptr, nullptr, nullptr, nullptr};
    return &placeholder;
}

void XrGDI::draw_bitmap_masked(XrDCHandleRec* dc, int left, int top, int right, int bottom, XrBitmapHandleRec*,
                               int sx, int sy, XrBitmapHandleRec* mask)
{
    log("draw_bitmap_masked", dc, {left, top, right, bottom, sx, sy, mask != nullptr ? 1 : 0});
}

void XrGDI::draw_to_bitmap(XrBitmapHandleRec*, int x, int y, int width, int height, XrDCHandleRec* dc, int sx, int sy,
                           void*)
{
    log("draw_to_bitmap", dc, {x, y, width, height, sx, sy});
}

XrColorHandle XrGDI::get_bitmap_pixel(const XrBitmapHandleRec* bitmap, int x, int y)
{
    if (bitmap == nullptr || bitmap->buffer == nullptr || bitmap->header->width == 0 || bitmap->header->height == 0)
        return 0;
    const int w = static_cast<int>(bitmap->header->width), h = static_cast<int>(bitmap->header->height);
    x = std::clamp(x, 0, w - 1);
    y = std::clamp(y, 0, h - 1);
    const BYTE* p = bitmap->buffer + (static_cast<size_t>(y) * w + x) * 3;
    return rgb(p[0], p[1], p[2]);
}

GdkPixbuf* XrGDI::bitmap_to_pixbuf(const XrBitmapHandleRec*, int, int, int, int) { return nullptr; }

// --- Device contexts ------------------------------------------------------------------------

XrDCHandleRec* XrGDI::create_memory_dc(XrDCHandleRec*, int width, int height, int, int, int)
{
    return width > 0 && height > 0 ? xr_recording_dc(width, height) : nullptr;
}

void XrGDI::delete_dc(XrDCHandleRec* dc) { delete static_cast<XrRecordingDC*>(dc); }

void XrGDI::get_dc_size(XrDCHandleRec* dc, int* width, int* height)
{
    const auto* rdc = static_cast<XrRecordingDC*>(dc);
    if (width != nullptr)
        *width = rdc->width;
    if (height != nullptr)
        *height = rdc->height;
}

void XrGDI::bit_blt(XrDCHandleRec* dc, int left, int top, int right, int bottom, XrDCHandleRec*, int sx, int sy)
{
    log("bit_blt", dc, {left, top, right, bottom, sx, sy});
}

void XrGDI::set_clip_rect(XrDCHandleRec* dc, const XrRectangle& rect)
{
    dc->clip = rect;
    log("set_clip_rect", dc, {rect.left, rect.top, rect.right, rect.bottom});
}

void XrGDI::clear_clip_rect(XrDCHandleRec* dc)
{
    dc->clip = XrRectangle();
    log("clear_clip_rect", dc);
}

void XrGDI::flush_and_wait(XrDCHandleRec*, int) {}

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
