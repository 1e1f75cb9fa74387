#include "common/symbol/xr_drawablesymbol.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

#include "common/container/xr_bytes.h"
#include "common/geometry/xr_geometry.h"
#include "common/types/xr_trig.h"

namespace L = xr_symbol_layout;

using xr_bytes::get_i32_le;
using xr_bytes::get_u16_le;

namespace {

// Point i of a polyline or polygon command.
int point_x(const BYTE* command, int i)
{
    return get_i32_le(command + L::POINTS_HEAD + L::POINT_SIZE * i);
}
int point_y(const BYTE* command, int i)
{
    return get_i32_le(command + L::POINTS_HEAD + L::POINT_SIZE * i + 4);
}

// The size of the command at p with avail bytes left, 0 when it is cut
// short or unknown.
int command_size(const BYTE* p, int avail)
{
    if (avail < static_cast<int>(L::END_SIZE))
        return 0;
    int size = 0;
    switch (get_u16_le(p)) {
    case L::CMD_END:
        size = L::END_SIZE;
        break;
    case L::CMD_POLYLINE:
    case L::CMD_POLYGON:
        if (avail < static_cast<int>(L::POINTS_HEAD))
            return 0;
        size = static_cast<int>(L::POINTS_HEAD + L::POINT_SIZE * get_u16_le(p + L::POINTS_COUNT));
        break;
    case L::CMD_ELLIPSE:
    case L::CMD_FILLED_ELLIPSE:
        size = L::ELLIPSE_SIZE;
        break;
    case L::CMD_SELECT:
        size = L::SELECT_SIZE;
        break;
    default:
        return 0;
    }
    return size <= avail ? size : 0;
}

// Truncates towards zero, clamped to the int range (symbol data is outside
// data: its products may not fit).
int trunc_clamped(double v)
{
    if (!(v > -2147483648.0))
        return v != v ? 0 : INT32_MIN;
    if (v >= 2147483647.0)
        return INT32_MAX;
    return static_cast<int>(v);
}

int clamp_int(long long v)
{
    return static_cast<int>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
}

XrSymbolDrawState g_draw_state;

} // namespace

const XrSymbolDrawState& get_symbol_draw_state()
{
    return g_draw_state;
}

void reset_draw_state()
{
    g_draw_state.brush_index = XrSymbolDrawState::NO_INDEX;
    g_draw_state.pen_index = XrSymbolDrawState::NO_INDEX;
    g_draw_state.brush = XrGDI::get_stock_brush(XrGDI::StockHollowBrush);
}

XrDrawableSymbol::XrDrawableSymbol(const XrBrushHandle* brushes, int num_br, const XrPenHandle* pens,
                                   int num_pn, bool flag, const double* scales, int num_scales,
                                   const BYTE* program, int length)
    : m_pairs(4), m_points(30), m_scales(8), m_program(program), m_length(0), m_flag(flag)
{
    XR_ASSERT(num_br == num_pn);
    for (int i = 0; i < num_br; ++i)
        m_pairs.append(XrBrPenInfo{brushes[i], pens[i]});
    for (int i = 0; i < num_scales; ++i)
        m_scales.append(static_cast<float>(scales[i]));
    bool ok = false;
    m_length = program != nullptr ? check_program(program, length, ok) : 0;
    calc_bbox();
}

int XrDrawableSymbol::check_program(const BYTE* program, int length, bool& ok)
{
    int pos = 0;
    while (pos < length) {
        int size = command_size(program + pos, length - pos);
        if (size == 0) {
            ok = false;
            return pos;
        }
        pos += size;
        if (get_u16_le(program + pos - size) == END)
            break;
    }
    ok = true;
    return pos;
}

void XrDrawableSymbol::calc_bbox()
{
    bool any = false;
    auto extend = [&](int l, int t, int r, int b) {
        if (!any) {
            m_bbox = XrRectangle(l, t, r, b);
            any = true;
            return;
        }
        m_bbox.left = std::min(m_bbox.left, l);
        m_bbox.top = std::min(m_bbox.top, t);
        m_bbox.right = std::max(m_bbox.right, r);
        m_bbox.bottom = std::max(m_bbox.bottom, b);
    };
    for (int pos = 0; pos < m_length;) {
        const BYTE* p = m_program + pos;
        const int size = command_size(p, m_length - pos);
        switch (get_u16_le(p)) {
        case POLYLINE:
        case POLYGON:
            for (int i = 0, n = get_u16_le(p + L::POINTS_COUNT); i < n; ++i) {
                int x = point_x(p, i);
                int y = point_y(p, i);
                extend(x, y, x, y);
            }
            break;
        case ELLIPSE:
        case FILLED_ELLIPSE: {
            long long cx = get_i32_le(p + L::ELLIPSE_CX), cy = get_i32_le(p + L::ELLIPSE_CY);
            long long rx = get_i32_le(p + L::ELLIPSE_RX), ry = get_i32_le(p + L::ELLIPSE_RY);
            extend(clamp_int(cx - rx), clamp_int(cy - ry), clamp_int(cx + rx), clamp_int(cy + ry));
            break;
        }
        default:
            break;
        }
        pos += size;
    }
}

float XrDrawableSymbol::scale_of(int scale_index) const
{
    if (scale_index < 0 || scale_index >= m_scales.get_num_items())
        return 0.0f;
    return *m_scales.get_item_ptr(scale_index);
}

void XrDrawableSymbol::draw(XrDCHandleRec* dc, int x, int y, int angle, int scale_index, XrMapView* view)
{
    (void)view;
    const double s = scale_of(scale_index);
    if (s == 0.0)
        return;
    const double sine = sin_deg(angle);
    const double cosine = cos_deg(angle);
    auto screen = [&](int px, int py) {
        return XrPoint(clamp_int(x + static_cast<long long>(trunc_clamped((px * cosine + py * sine) * s))),
                       clamp_int(y + static_cast<long long>(trunc_clamped((py * cosine - px * sine) * s))));
    };
    XrArray<XrPoint>& points = m_points;

    for (int pos = 0; pos < m_length;) {
        const BYTE* p = m_program + pos;
        const int size = command_size(p, m_length - pos);
        const std::uint16_t code = get_u16_le(p);
        switch (code) {
        case END:
            return;
        case POLYLINE:
        case POLYGON: {
            const int n = get_u16_le(p + L::POINTS_COUNT);
            points.remove_all();
            for (int i = 0; i < n; ++i)
                points.append(screen(point_x(p, i), point_y(p, i)));
            const XrPoint* pt = points.get_items();
            if (n == 4) {
                XrGDI::draw_rectangle(dc, std::min(pt[0].x, pt[2].x), std::min(pt[0].y, pt[2].y),
                                      std::max(pt[0].x, pt[2].x), std::max(pt[0].y, pt[2].y));
            } else if (code == POLYLINE) {
                XrGDI::draw_polyline(dc, pt, n);
            } else if (n > 0) {
                XrGDI::draw_polygon(dc, pt, &n, 1);
            }
            break;
        }
        case ELLIPSE:
        case FILLED_ELLIPSE: {
            const XrPoint c = screen(get_i32_le(p + L::ELLIPSE_CX), get_i32_le(p + L::ELLIPSE_CY));
            const long long rx = trunc_clamped(get_i32_le(p + L::ELLIPSE_RX) * s);
            const long long ry = trunc_clamped(get_i32_le(p + L::ELLIPSE_RY) * s);
            const XrBrushHandle brush = dc->brush;
            if (code == ELLIPSE)
                dc->brush.fill = XrBrushHandle::Hollow; // outline only
            XrGDI::draw_ellipse(dc, clamp_int(c.x - rx), clamp_int(c.y - ry), clamp_int(c.x + rx),
                                clamp_int(c.y + ry));
            dc->brush = brush;
            break;
        }
        case SELECT: {
            const std::uint16_t b = get_u16_le(p + L::SELECT_BRUSH);
            const std::uint16_t pen = get_u16_le(p + L::SELECT_PEN);
            if (b != KEEP && b < m_pairs.get_num_items()) {
                XrGDI::select_brush(dc, m_pairs.get_item_ptr(b)->brush);
                g_draw_state.brush_index = static_cast<std::uint8_t>(std::min<int>(b, XrSymbolDrawState::NO_INDEX - 1));
                g_draw_state.brush = m_pairs.get_item_ptr(b)->brush;
            }
            if (pen != KEEP && pen < m_pairs.get_num_items()) {
                XrGDI::select_pen(dc, m_pairs.get_item_ptr(pen)->pen, -1);
                g_draw_state.pen_index = static_cast<std::uint8_t>(std::min<int>(pen, XrSymbolDrawState::NO_INDEX - 1));
            }
            break;
        }
        default:
            break;
        }
        pos += size;
    }
}

XrRectangle XrDrawableSymbol::get_screen_bbox(int angle, int scale_index) const
{
    const float s = scale_of(scale_index);
    const XrPoint corners[4] = {XrPoint(m_bbox.left, m_bbox.top), XrPoint(m_bbox.right, m_bbox.top),
                                XrPoint(m_bbox.right, m_bbox.bottom), XrPoint(m_bbox.left, m_bbox.bottom)};
    XrRectangle r;
    for (int i = 0; i < 4; ++i) {
        XrPoint c = corners[i];
        rotate_point(c, angle);
        const int cx = trunc_clamped(static_cast<float>(c.x) * s);
        const int cy = trunc_clamped(static_cast<float>(c.y) * s);
        if (i == 0) {
            r = XrRectangle(cx, cy, cx, cy);
            continue;
        }
        r.left = std::min(r.left, cx);
        r.top = std::min(r.top, cy);
        r.right = std::max(r.right, cx);
        r.bottom = std::max(r.bottom, cy);
    }
    return r;
}
