#include "common/map/xr_geomlayer.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "common/gdi/xr_app_map_window.h"
#include "common/geometry/xr_polygon.h"
#include "common/map/xr_map.h"
#include "common/map/xr_mapservices.h"
#include "common/map/xr_mapview.h"
#include "common/symbol/xr_drawablesymbol.h"
#include "common/visualization/xr_visualsetting.h"

namespace {

// Boxes overlap with some area (touching edges do not count).
bool overlaps_strictly(const XrRectangle& a, const XrRectangle& b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

void grow(XrRectangle& box, const XrPoint& p, bool first)
{
    if (first) {
        box = XrRectangle(p.x, p.y, p.x, p.y);
        return;
    }
    box.left = std::min(box.left, p.x);
    box.right = std::max(box.right, p.x);
    box.top = std::min(box.top, p.y);
    box.bottom = std::max(box.bottom, p.y);
}

// The screen range 0..size (a negative size gives size..0).
void screen_range(int size, int& from, int& to)
{
    from = std::min(0, size);
    to = std::max(0, size);
}

// Length of a text up to its first tab.
int length_to_tab(const TCHAR* text)
{
    int n = 0;
    while (text[n] != 0 && text[n] != L'\t')
        ++n;
    return n;
}

// Owns a cursor for one walk.
using XrCursorPtr = std::unique_ptr<XrGeomCursor>;

} // namespace

struct XrGeomLayer::XrSweep {
    XrDCHandleRec* dc = nullptr;
    bool is_3d = false;
    XrRectangle world;  // box
    XrRectangle screen; // inclusive pixel range
    int scale_index = -1;
    int polyline_tol = 0;
    int polygon_tol = 0;
    int language = 0;
    int last_style = NO_STYLE;
    int prev_kind = 0;
    // The style of the current polyline run.
    XrPenHandle outer{};
    XrPenHandle inner{};
    int outer_width = 0;
    int inner_width = 0;
    // The font of the current text run (null: the run is skipped).
    XrFontHandleRec* font = nullptr;
    XrColorHandle text_color = 0;
};

XrGeomLayer::XrGeomLayer(XrMap* map, XrVisualSetting* visual_setting, bool owns_visual_setting)
    : map(map), owns_visual_setting(owns_visual_setting), visual_setting(visual_setting)
{
    scratch_points();
    scratch_ring_sizes();
}

XrGeomLayer::~XrGeomLayer()
{
    if (owns_visual_setting)
        delete visual_setting;
}

XrArray<XrPoint>& XrGeomLayer::scratch_points()
{
    static XrArray<XrPoint> points(200, 400);
    return points;
}

XrArray<int>& XrGeomLayer::scratch_ring_sizes()
{
    static XrArray<int> sizes(200, 100);
    return sizes;
}

XrRectangle XrGeomLayer::get_bounding_box() { return storage.get_bounding_box(); }

void XrGeomLayer::save_options()
{
    saved_polygon_tolerance = polygon_tolerance;
    saved_polyline_tolerance = polyline_tolerance;
    saved_outline_polygons = outline_polygons;
    saved_lines_in_2phases = lines_in_2phases;
}

void XrGeomLayer::restore_options()
{
    polygon_tolerance = saved_polygon_tolerance;
    polyline_tolerance = saved_polyline_tolerance;
    outline_polygons = saved_outline_polygons;
    lines_in_2phases = saved_lines_in_2phases;
}

int XrGeomLayer::tolerance_to_world(int pixels, int world_width, int screen_width)
{
    if (screen_width == 0 || pixels <= 0 || world_width <= 0)
        return 0;
    const long long v = static_cast<long long>(pixels) * world_width / std::llabs(screen_width);
    return static_cast<int>(std::min<long long>(v, INT32_MAX));
}

bool XrGeomLayer::map_is_3d(XrMapView* view) const
{
    if (map != nullptr)
        return map->is_3d();
    return view->is_3d();
}

int XrGeomLayer::pre_draw(XrDCHandleRec*, XrMapView*) { return 0; }
int XrGeomLayer::post_draw(XrDCHandleRec*, XrMapView*) { return 0; }
bool XrGeomLayer::draw_3d(XrDCHandleRec* dc, XrMapView* view) { return draw(dc, view); }

bool XrGeomLayer::draw(XrDCHandleRec* dc, XrMapView* view)
{
    if (visual_setting == nullptr)
        return true;
    XrSweep s;
    s.dc = dc;
    s.is_3d = map_is_3d(view);
    s.world = s.is_3d ? view->get_world_rect_3d() : view->get_draw_rect();
    screen_range(view->get_screen_width(), s.screen.left, s.screen.right);
    screen_range(view->get_screen_height(), s.screen.top, s.screen.bottom);
    s.language = get_map_engine_services().get_text_language();
    s.scale_index = visual_setting->get_scale_index(view->get_scale_value());
    reset_draw_state();
    const int width = s.world.right - s.world.left;
    s.polyline_tol = tolerance_to_world(polyline_tolerance, width, view->get_screen_width());
    s.polygon_tol = tolerance_to_world(polygon_tolerance, width, view->get_screen_width());

    XrGDI::set_opaque_text(dc, false);
    const XrPenHandle saved_pen = XrGDI::get_pen(dc);
    const XrBrushHandle saved_brush = XrGDI::get_brush(dc);
    XrDCState saved_state;
    XrGDI::get_dc_state(dc, saved_state);

    sweep(s, view, lines_in_2phases ? 1 : 0);
    if (lines_in_2phases)
        sweep(s, view, 2);

    XrGDI::restore_pen(dc, saved_pen);
    XrGDI::restore_brush(dc, saved_brush);
    XrGDI::set_dc_state(dc, saved_state);
    return true;
}

// phase: 0 one sweep, 1 and 2 the sweeps of two-phase lines.
void XrGeomLayer::sweep(XrSweep& s, XrMapView* view, int phase)
{
    XrCursorPtr cursor(storage.get_cursor(&s.world, static_cast<int>(view->get_scale_value())));
    if (!cursor)
        return;
    const BYTE* record = nullptr;
    XrGeomStorage::XrRecordType kind{};
    while (cursor->get_next_record(record, kind) == XrGeomCursor::OK) {
        switch (kind) {
        case XrGeomStorage::RecPoint:
            draw_symbol(s, cursor.get(), record, view);
            break;
        case XrGeomStorage::RecPolyline:
            draw_polyline(s, cursor.get(), record, view, phase);
            break;
        case XrGeomStorage::RecPolygon:
            draw_polygon(s, cursor.get(), record, view);
            break;
        case XrGeomStorage::RecText:
            draw_text(s, cursor.get(), record, view);
            break;
        default:
            xr_map_warning("geometry record of unknown kind %d skipped", static_cast<int>(kind));
            break;
        }
        s.prev_kind = kind;
    }
}

void XrGeomLayer::draw_symbol(XrSweep& s, XrGeomCursor* cursor, const BYTE* record, XrMapView* view)
{
    int id = 0, x = 0, y = 0;
    short type = 0, angle = 0;
    const BYTE* attributes = nullptr;
    if (!cursor->get_pt(record, id, x, y, type, angle, attributes)) {
        xr_map_warning("point record that cannot be read skipped");
        return;
    }
    if (!s.world.contains(x, y))
        return;
    int sx = 0, sy = 0;
    if (s.is_3d)
        view->world_to_screen_3d(x, y, XrMapView::TEXT_HEIGHT, sx, sy);
    else
        view->world_to_screen_2d(x, y, sx, sy);
    if (!s.screen.contains(sx, sy))
        return;
    if (s.prev_kind != XrGeomStorage::RecPoint)
        reset_draw_state();
    XrDrawableSymbol* symbol = visual_setting->get_symbol(type);
    if (symbol == nullptr)
        return;
    symbol->draw(s.dc, sx, sy, angle - view->get_rotation(), s.scale_index, view);
}

void XrGeomLayer::draw_polyline(XrSweep& s, XrGeomCursor* cursor, const BYTE* record, XrMapView* view, int phase)
{
    if (s.prev_kind != XrGeomStorage::RecPolyline)
        s.last_style = NO_STYLE;
    int id = 0, x = 0, y = 0;
    short type = 0, aux = 0;
    const BYTE* points = nullptr;
    const BYTE* attributes = nullptr;
    BYTE coding = 0;
    const int count = cursor->get_pp(record, id, x, y, type, aux, points, coding, attributes);
    if (count <= 0) {
        xr_map_warning("polyline record that cannot be read skipped");
        return;
    }
    if (type != s.last_style) {
        short w = 0;
        if (visual_setting->get_line_info(type, s.scale_index, s.outer, s.inner, w) != 0 ||
            s.outer.style == XrPenHandle::Null || w == 0)
            return;
        s.inner_width = std::abs(w);
        s.outer_width = w < 0 ? s.inner_width + 2 : w;
        XrGDI::select_pen(s.dc, s.outer, s.outer_width);
        s.last_style = type;
    }

    XrArray<XrPoint>& pts = scratch_points();
    pts.remove_all();
    XrPoint last(x, y);
    pts.append(last);
    XrRectangle box;
    grow(box, last, true);
    for (int i = 1; i < count; ++i) {
        cursor->get_pp_next_pt(coding, x, y, points);
        if (i < count - 1 && std::abs(static_cast<long long>(x) - last.x) < s.polyline_tol &&
            std::abs(static_cast<long long>(y) - last.y) < s.polyline_tol)
            continue;
        last = XrPoint(x, y);
        pts.append(last);
        grow(box, last, false);
    }
    if (!overlaps_strictly(box, s.world))
        return;

    XrPoint* p = pts.get_items();
    const int n = pts.get_num_items();
    if (s.is_3d) {
        static const XrPolygon::ClipSide sides[] = {XrPolygon::Left, XrPolygon::Right, XrPolygon::Top,
                                                     XrPolygon::Bottom};
        for (int i = 0; i + 1 < n; ++i) {
            XrPoint a = p[i], b = p[i + 1];
            bool inside = true;
            for (XrPolygon::ClipSide side : sides) {
                const XrPoint a0 = a;
                if (!clip_segment_side(s.world, side, a, b) || !clip_segment_side(s.world, side, b, a0)) {
                    inside = false;
                    break;
                }
            }
            if (!inside)
                continue;
            XrPoint seg[2];
            view->world_to_screen_3d(a.x, a.y, XrMapView::POINT_HEIGHT, seg[0].x, seg[0].y);
            view->world_to_screen_3d(b.x, b.y, XrMapView::POINT_HEIGHT, seg[1].x, seg[1].y);
            XrGDI::draw_polyline(s.dc, seg, 2);
        }
        return;
    }

    view->world_to_screen_2d_array(p, static_cast<unsigned>(n));
    if (n < 2 || (n == 2 && p[0] == p[1]))
        return;
    if (phase != 2)
        XrGDI::draw_polyline(s.dc, p, n);
    if (phase != 1 && s.inner.style != XrPenHandle::Null) {
        XrGDI::select_pen(s.dc, s.inner, s.inner_width);
        XrGDI::draw_polyline(s.dc, p, n);
        XrGDI::select_pen(s.dc, s.outer, s.outer_width);
    }
}

void XrGeomLayer::draw_polygon(XrSweep& s, XrGeomCursor* cursor, const BYTE* record, XrMapView* view)
{
    if (s.prev_kind != XrGeomStorage::RecPolygon)
        s.last_style = NO_STYLE;
    int id = 0, x = 0, y = 0;
    short type = 0, aux = 0;
    const BYTE* points = nullptr;
    const BYTE* attributes = nullptr;
    BYTE coding = 0;
    const int count = cursor->get_pp(record, id, x, y, type, aux, points, coding, attributes);
    if (count <= 0) {
        xr_map_warning("polygon record that cannot be read skipped");
        return;
    }
    if (type != s.last_style) {
        XrPenHandle pen{};
        XrBrushHandle brush{};
        if (visual_setting->get_polygon_info(type, s.scale_index, brush, pen) != 0 ||
            pen.style == XrPenHandle::Null || brush.null_marker == XrBrushHandle::NullMarker)
            return;
        XrGDI::select_pen(s.dc, pen, -1);
        XrGDI::select_brush(s.dc, brush);
        s.last_style = type;
    }

    XrArray<XrPoint>& pts = scratch_points();
    XrArray<int>& rings = scratch_ring_sizes();
    pts.remove_all();
    rings.remove_all();
    const long long tol = s.polygon_tol;
    int ring_start = 0;
    XrPoint ring_first, keep, pending;
    bool new_ring = true, has_pending = false;
    XrRectangle box;
    bool box_empty = true;
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            cursor->get_pp_next_pt(coding, x, y, points);
        const XrPoint p(x, y);
        if (new_ring) {
            ring_start = pts.get_num_items();
            ring_first = keep = p;
            pts.append(p);
            has_pending = false;
            new_ring = false;
            continue;
        }
        const bool closes = p == ring_first;
        if (closes && pts.get_num_items() - ring_start == 1) {
            pts.remove_item(pts.get_num_items() - 1);
            has_pending = false;
            new_ring = true;
            continue;
        }
        const long long dx = std::llabs(static_cast<long long>(p.x) - keep.x);
        const long long dy = std::llabs(static_cast<long long>(p.y) - keep.y);
        if (!closes && dx < tol && dy < tol) {
            pending = p;
            has_pending = true;
            continue;
        }
        if (has_pending && !(dx <= tol && dy <= tol) && !(pending == keep))
            pts.append(pending);
        pts.append(p);
        keep = p;
        has_pending = false;
        if (closes) {
            rings.append(pts.get_num_items() - ring_start);
            new_ring = true;
        }
    }
    for (int i = 0; i < pts.get_num_items(); ++i) {
        grow(box, *pts.get_item_ptr(i), box_empty);
        box_empty = false;
    }
    if (box_empty || !overlaps_strictly(box, s.world))
        return;

    if (s.is_3d) {
        draw_polygon_3d(s, view, pts.get_num_items());
        return;
    }

    XrPoint* p = pts.get_items();
    const int n = pts.get_num_items();
    view->world_to_screen_2d_array(p, static_cast<unsigned>(n));
    XrRectangle screen_box;
    for (int i = 0; i < n; ++i)
        grow(screen_box, p[i], i == 0);
    int in_rings = 0;
    for (int i = 0; i < rings.get_num_items(); ++i)
        in_rings += *rings.get_item_ptr(i);
    if (n - in_rings >= 2)
        rings.append(n - in_rings);
    if (rings.get_num_items() == 0 || !overlaps_strictly(screen_box, s.screen))
        return;
    XrGDI::draw_polygon_outlined(s.dc, p, rings.get_items(), rings.get_num_items(), outline_polygons, false);
}

void XrGeomLayer::draw_polygon_3d(XrSweep& s, XrMapView* view, int count)
{
    static XrArray<XrPoint> camera(1000, 400);
    XrArray<XrPoint>& pts = scratch_points();
    XrArray<int>& rings = scratch_ring_sizes();
    camera.remove_all();
    for (int i = 0; i < count; ++i)
        camera.append(*pts.get_item_ptr(i));
    const int n = view->to_camera_space(camera.get_items(), count);
    const XrPoint* c = camera.get_items();
    const int near = -view->get_eye_distance();
    bool any_front = false, any_behind = false;
    for (int i = 0; i < n; ++i) {
        if (c[i].y >= near)
            any_front = true;
        else
            any_behind = true;
    }
    if (!any_front)
        return;

    pts.remove_all();
    rings.remove_all();
    XrRectangle screen_box;
    bool box_empty = true;
    auto emit = [&](int x, int depth) {
        XrPoint sp;
        view->project_camera_point(x, depth, XrMapView::POINT_HEIGHT, sp.x, sp.y);
        pts.append(sp);
        grow(screen_box, sp, box_empty);
        box_empty = false;
    };

    int start = 0;
    while (start < n) {
        // The ring runs from start to the repeat of its first point.
        int end = start + 1;
        while (end < n && !(c[end] == c[start]))
            ++end;
        if (end >= n)
            break; // points after the last closed ring are not filled
        const int before = pts.get_num_items();
        if (!any_behind) {
            for (int i = start; i <= end; ++i)
                emit(c[i].x, c[i].y);
        } else {
            const XrPoint* prev = &c[end];
            for (int i = start; i <= end; ++i) {
                const XrPoint* cur = &c[i];
                const bool prev_front = prev->y >= near, cur_front = cur->y >= near;
                int x = 0, depth = 0;
                if (prev_front && cur_front) {
                    emit(cur->x, cur->y);
                } else if (!prev_front && cur_front) {
                    if (cur->y != prev->y) {
                        view->zclip(*cur, *prev, x, depth);
                        emit(x, depth);
                    }
                    emit(cur->x, cur->y);
                } else if (prev_front && !cur_front) {
                    view->zclip(*prev, *cur, x, depth);
                    emit(x, depth);
                }
                prev = cur;
            }
        }
        const int added = pts.get_num_items() - before;
        if (added != 0)
            rings.append(added);
        start = end + 1;
    }
    if (rings.get_num_items() == 0 || box_empty || !overlaps_strictly(screen_box, s.screen))
        return;
    XrGDI::draw_polygon_outlined(s.dc, pts.get_items(), rings.get_items(), rings.get_num_items(), outline_polygons,
                                 true);
}

void XrGeomLayer::draw_text(XrSweep& s, XrGeomCursor* cursor, const BYTE* record, XrMapView* view)
{
    if (s.prev_kind != XrGeomStorage::RecText) {
        s.last_style = NO_STYLE;
        XrGDI::set_opaque_text(s.dc, false);
    }
    int id = 0, x = 0, y = 0;
    short type = 0, aux = 0;
    const TCHAR* text = nullptr;
    const BYTE* attributes = nullptr;
    if (!cursor->get_txt(record, id, x, y, type, aux, text, attributes, s.language, nullptr) || text == nullptr) {
        xr_map_warning("text record that cannot be read skipped");
        return;
    }
    if (type != s.last_style) {
        s.last_style = type;
        s.font = nullptr;
        XrFontHandleRec* font = nullptr;
        XrColorHandle color = 0;
        if (visual_setting->get_font_info(type, s.scale_index, font, color) == 0 && font != nullptr) {
            s.font = font;
            s.text_color = color;
            XrGDI::select_font(s.dc, font);
        }
    }
    if (s.font == nullptr || !s.world.contains(x, y))
        return;
    int sx = 0, sy = 0;
    if (s.is_3d)
        view->world_to_screen_3d(x, y, XrMapView::TEXT_HEIGHT, sx, sy);
    else
        view->world_to_screen_2d(x, y, sx, sy);
    if (!s.screen.contains(sx, sy))
        return;
    const int len = length_to_tab(text);
    XrGDI::set_text_color(s.dc, visual_setting->get_text_halo_color());
    XrGDI::draw_text_rect(s.dc, text, sx - 1, sy - 1, sx - 1, sy - 1, XrGDI::CentreMiddle, len);
    XrGDI::draw_text_rect(s.dc, text, sx + 1, sy + 1, sx + 1, sy + 1, XrGDI::CentreMiddle, len);
    XrGDI::set_text_color(s.dc, s.text_color);
    XrGDI::draw_text_rect(s.dc, text, sx, sy, sx, sy, XrGDI::CentreMiddle, len);
}

// --- Picking ----------------------------------------------------------------------

bool XrGeomLayer::pick(const XrPolygon& area, XrMapView* view, XrMapItems* items)
{
    const XrRectangle* area_box = area.get_bounding_box();
    if (visual_setting == nullptr || area_box == nullptr || items == nullptr)
        return true;
    const int language = get_map_engine_services().get_text_language();
    XrMapWindow* window = get_app_map_window();
    XrDCHandleRec* dc = window != nullptr ? XrGDI::get_window_dc(window) : nullptr;
    const int scale_index = visual_setting->get_scale_index(view->get_scale_value());

    XrCursorPtr cursor(storage.get_cursor(area_box, static_cast<int>(view->get_scale_value())));
    XrPolygon shape;
    const BYTE* record = nullptr;
    XrGeomStorage::XrRecordType kind{};
    while (cursor && cursor->get_next_record(record, kind) == XrGeomCursor::OK) {
        int id = 0, x = 0, y = 0;
        short type = 0, aux = 0;
        const BYTE* attributes = nullptr;
        bool hit = false;
        if (kind == XrGeomStorage::RecPoint) {
            XrDrawableSymbol* symbol = nullptr;
            if (!cursor->get_pt(record, id, x, y, type, aux, attributes) ||
                (symbol = visual_setting->get_symbol(type)) == nullptr)
                continue;
            XrRectangle sbox = symbol->get_screen_bbox(aux, scale_index);
            rotate_bounding_box(sbox, aux - view->get_rotation());
            const int w = view->pixels_to_world(sbox.right - sbox.left) / 2;
            const int h = view->pixels_to_world(sbox.bottom - sbox.top) / 2;
            hit = area.intersects(XrRectangle(x - w, y - h, x + w, y + h));
        } else if (kind == XrGeomStorage::RecPolyline || kind == XrGeomStorage::RecPolygon) {
            const BYTE* points = nullptr;
            BYTE coding = 0;
            if (cursor->get_pp(record, id, x, y, type, aux, points, coding, attributes) <= 0)
                continue;
            // The same style rule as drawing: the full style type.
            XrPenHandle outer{}, inner{};
            short w = 0;
            if (visual_setting->get_line_info(type, scale_index, outer, inner, w) != 0 ||
                outer.style == XrPenHandle::Null || w == 0)
                continue;
            shape.clear();
            if (!read_polygon_from_cursor(shape, kind, record, cursor.get(), false))
                continue;
            hit = area.intersects(shape);
        } else if (kind == XrGeomStorage::RecText) {
            const TCHAR* text = nullptr;
            XrFontHandleRec* font = nullptr;
            XrColorHandle color = 0;
            if (!cursor->get_txt(record, id, x, y, type, aux, text, attributes, language, nullptr) ||
                text == nullptr || visual_setting->get_font_info(type, scale_index, font, color) != 0 ||
                font == nullptr || dc == nullptr)
                continue;
            XrGDI::select_font(dc, font);
            int tw = 0, th = 0;
            XrGDI::get_dc_text_size(dc, text, &tw, &th, -1);
            XrGDI::deselect_font(dc);
            hit = area.intersects(XrRectangle(x, y, x + view->pixels_to_world(tw), y + view->pixels_to_world(th)));
        }
        if (hit)
            items->add_item(new XrLayerMapItem(this, cursor->get_current_map_item()), true);
    }
    cursor.reset();
    if (dc != nullptr)
        XrGDI::release_window_dc(window, dc);
    return true;
}

int XrGeomLayer::draw_picked_item(XrDCHandleRec* dc, XrMapView* view, const XrMapItem* item)
{
    const auto* own = dynamic_cast<const XrLayerMapItem*>(item);
    if (visual_setting == nullptr || own == nullptr || own->layer != this || own->inner == nullptr)
        return 0;
    XrPenHandle pens[2] = {XrGDI::create_pen(XrGDI::PenSolid, 9, 0, 0, 0), XrGDI::create_pen(XrGDI::PenSolid, 7, 0, 128, 128)};
    XrCursorPtr cursor(storage.get_cursor(nullptr, static_cast<int>(view->get_scale_value())));
    const BYTE* record = nullptr;
    XrGeomStorage::XrRecordType kind{};
    if (!cursor || cursor->get_record(own->inner, kind, record) != XrGeomCursor::OK) {
        XrGDI::delete_pen(pens[0]);
        XrGDI::delete_pen(pens[1]);
        return 0;
    }
    const int language = get_map_engine_services().get_text_language();
    const int scale_index = visual_setting->get_scale_index(view->get_scale_value());
    const XrPenHandle saved_pen = XrGDI::get_pen(dc);
    const XrBrushHandle saved_brush = XrGDI::get_brush(dc);
    XrDCState saved_state;
    XrGDI::get_dc_state(dc, saved_state);

    auto stroke = [&](const XrPoint* p, int n) {
        for (const XrPenHandle& pen : pens) {
            XrGDI::select_pen(dc, pen, pen.width);
            XrGDI::draw_polyline(dc, p, n);
        }
    };

    int id = 0, x = 0, y = 0;
    short type = 0, aux = 0;
    const BYTE* attributes = nullptr;
    if (kind == XrGeomStorage::RecPoint) {
        XrDrawableSymbol* symbol = nullptr;
        if (cursor->get_pt(record, id, x, y, type, aux, attributes) && view->get_world_rect().contains(x, y) &&
            (symbol = visual_setting->get_symbol(type)) != nullptr) {
            XrPoint centre;
            view->world_to_screen_2d(x, y, centre.x, centre.y);
            const XrRectangle b = symbol->get_screen_bbox(aux, scale_index);
            XrPoint frame[5] = {{b.left - 3, b.top - 3}, {b.right + 3, b.top - 3}, {b.right + 3, b.bottom + 3},
                                {b.left - 3, b.bottom + 3}, {b.left - 3, b.top - 3}};
            for (XrPoint& p : frame) {
                rotate_point(p, aux - view->get_rotation());
                p.x += centre.x;
                p.y += centre.y;
            }
            stroke(frame, 5);
        }
    } else if (kind == XrGeomStorage::RecPolyline || kind == XrGeomStorage::RecPolygon) {
        const BYTE* points = nullptr;
        BYTE coding = 0;
        const int count = cursor->get_pp(record, id, x, y, type, aux, points, coding, attributes);
        XrPenHandle outer{}, inner{};
        XrBrushHandle brush{};
        short w = 0;
        const bool styled = kind == XrGeomStorage::RecPolyline
                                ? visual_setting->get_line_info(type, scale_index, outer, inner, w) == 0
                                : visual_setting->get_polygon_info(type, scale_index, brush, outer) == 0;
        if (count > 0 && styled) {
            XrArray<XrPoint> line(count > 0 ? count : 1);
            XrPoint first(x, y);
            int ring_start = 0;
            for (int i = 0; i < count; ++i) {
                if (i > 0)
                    cursor->get_pp_next_pt(coding, x, y, points);
                XrPoint sp;
                view->world_to_screen_2d(x, y, sp.x, sp.y);
                if (kind == XrGeomStorage::RecPolygon && i > ring_start && XrPoint(x, y) == first) {
                    line.append(sp);
                    stroke(line.get_items(), line.get_num_items());
                    line.remove_all();
                    ring_start = i + 1;
                    continue;
                }
                if (i == ring_start)
                    first = XrPoint(x, y);
                line.append(sp);
            }
            if (line.get_num_items() > 0)
                stroke(line.get_items(), line.get_num_items());
        }
    } else if (kind == XrGeomStorage::RecText) {
        const TCHAR* text = nullptr;
        XrFontHandleRec* font = nullptr;
        XrColorHandle color = 0;
        if (cursor->get_txt(record, id, x, y, type, aux, text, attributes, language, nullptr) && text != nullptr &&
            visual_setting->get_font_info(type, scale_index, font, color) == 0 && font != nullptr) {
            XrGDI::select_font(dc, font);
            int tw = 0, th = 0;
            XrGDI::get_dc_text_size(dc, text, &tw, &th, -1);
            XrPoint c;
            view->world_to_screen_2d(x, y, c.x, c.y);
            XrPoint frame[5] = {{c.x, c.y}, {c.x + tw, c.y}, {c.x + tw, c.y + th}, {c.x, c.y + th}, {c.x, c.y}};
            stroke(frame, 5);
        }
    }

    XrGDI::restore_pen(dc, saved_pen);
    XrGDI::restore_brush(dc, saved_brush);
    XrGDI::set_dc_state(dc, saved_state);
    XrGDI::delete_pen(pens[0]);
    XrGDI::delete_pen(pens[1]);
    return 1;
}
