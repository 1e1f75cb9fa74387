// XrLineLabelLayer: the 3D pass (roads cut at the near plane, widths that
// grow towards the viewer) and its shared row width tables.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

#include "common/map/xr_linelabellayer.h"
#include "common/map/xr_linelabellayer_draw.h"
#include "common/map/xr_map.h"
#include "common/map/xr_mapview.h"
#include "common/map/xr_roadpainter.h"
#include "common/visualization/xr_visualsetting.h"

using namespace xr_road_drawing;

// --- 3D ----------------------------------------------------------------------------------------

bool XrLineLabelLayer::draw_3d(XrDCHandleRec* dc, XrMapView* view)
{
    if (visual_setting == nullptr)
        return true;
    const XrSize screen(view->get_screen_width(), view->get_screen_height());
    if (screen.width <= 0 || screen.height <= 0) {
        xr_map_warning("road layer drawn on a screen of %d x %d skipped", screen.width, screen.height);
        return true;
    }
    if (!XrRoadPainter::width_tables_fit(screen.height))
        compute_3d_width_tables(view);
    placed.clear(); // no names in 3D
    const int language = get_map_engine_services().get_text_language();
    if (language != text_language) {
        if (addr_accessor != nullptr)
            addr_accessor->flush_name_cache();
        text_language = language;
    }
    const XrRectangle world = view->get_world_rect_3d();
    const int scale_index = visual_setting->get_scale_index(view->get_scale_value());
    reset_draw_state();
    const XrPenHandle saved_pen = XrGDI::get_pen(dc);
    const XrBrushHandle saved_brush = XrGDI::get_brush(dc);
    XrDCState saved_state;
    XrGDI::get_dc_state(dc, saved_state);

    struct Xr3DDrawInfo {
        std::uint32_t first;
        std::uint32_t count;
        std::uint16_t attributes;
        std::int16_t draw_class;
        std::uint8_t traffic;
    };
    static std::vector<Xr3DDrawInfo> pieces;
    pieces.clear();
    XrArray<XrPoint>& pts = scratch_points();
    pts.remove_all();
    static XrArray<XrPoint> camera(400, 400);

    std::unique_ptr<XrGeomCursor> cursor(storage.get_cursor(&world, static_cast<int>(view->get_scale_value())));
    const int near = -view->get_eye_distance();
    int last_type = NO_STYLE;
    bool style_ok = false;
    std::optional<XrRoadRecordCursor> roads;
    if (cursor)
        roads.emplace(*cursor);
    while (roads && roads->next()) {
        const int count = roads->get_count();
        const short rtype = roads->get_record_type();
        int type = roads->get_own_type();
        if (max_type != -1 && (type < min_type || type > max_type))
            continue;
        int traffic = 0;
        if ((type_override1 != 0 && road_index.has_active_route_edges()) ||
            (type_override2 != 0 && road_index.has_other_route_edges()) || road_index.has_traffic()) {
            XrGid gid = 0;
            if (!roads->get_gid(gid))
                continue;
            if (road_index.on_active_route(gid))
                type = type_override1;
            else if (road_index.on_other_route(gid))
                type = type_override2;
            traffic = road_index.get_traffic_value(gid);
        }
        if (type != last_type) {
            last_type = type;
            XrPenHandle o{}, i{};
            short w = 0;
            style_ok = visual_setting->get_line_info(static_cast<short>(type), scale_index, o, i, w) == 0 &&
                       o.style != XrPenHandle::Null && w != 0;
        }
        if (!style_ok)
            continue;
        camera.remove_all();
        const XrPoint start = roads->get_first();
        XrRectangle box(start.x, start.y, start.x, start.y);
        camera.append(start);
        for (int i = 1; i < count; ++i) {
            const XrPoint pt = roads->next_point();
            camera.append(pt);
            box.left = std::min(box.left, pt.x);
            box.right = std::max(box.right, pt.x);
            box.top = std::min(box.top, pt.y);
            box.bottom = std::max(box.bottom, pt.y);
        }
        if (!boxes_overlap(box, world))
            continue;
        const int n = view->to_camera_space(camera.get_items(), camera.get_num_items());
        const XrPoint* c = camera.get_items();
        const std::uint16_t attributes =
            static_cast<std::uint16_t>((rtype & ~(15 | 128) & 0xFFFF) | (type & 15));
        bool open = false;
        std::uint32_t first = 0;
        auto close = [&]() {
            if (!open)
                return;
            open = false;
            const std::uint32_t end = static_cast<std::uint32_t>(pts.get_num_items());
            pieces.push_back({first, end - first, attributes, static_cast<std::int16_t>(piece_class(type)),
                              static_cast<std::uint8_t>(traffic)});
        };
        for (int i = 1; i < n; ++i) {
            XrPoint a = c[i - 1], b = c[i];
            const bool a_front = a.y >= near, b_front = b.y >= near;
            if (!a_front && !b_front) {
                close();
                continue;
            }
            int cx = 0, cd = 0;
            if (!a_front) {
                view->zclip(b, a, cx, cd);
                a = XrPoint(cx, cd);
            } else if (!b_front) {
                view->zclip(a, b, cx, cd);
                b = XrPoint(cx, cd);
            }
            XrPoint sa, sb;
            view->project_camera_point(a.x, a.y, XrMapView::POINT_HEIGHT, sa.x, sa.y);
            view->project_camera_point(b.x, b.y, XrMapView::POINT_HEIGHT, sb.x, sb.y);
            XrPoint ca, cb;
            if (!clip_line_to_screen(sa.x, sa.y, sb.x, sb.y, screen, ca.x, ca.y, cb.x, cb.y)) {
                close();
                continue;
            }
            if (!open) {
                open = true;
                first = static_cast<std::uint32_t>(pts.get_num_items());
                pts.append(ca);
            } else if (!(*pts.get_item_ptr(pts.get_num_items() - 1) == ca)) {
                pts.append(ca);
            }
            pts.append(cb);
            if (!(cb == sb) || !b_front)
                close();
        }
        close();
    }
    roads.reset();
    cursor.reset();

    std::stable_sort(pieces.begin(), pieces.end(),
                     [](const Xr3DDrawInfo& a, const Xr3DDrawInfo& b) { return a.draw_class < b.draw_class; });
    const int sf = scale_factor_int();
    const XrPoint* p = pts.get_items();
    for (int sweep = 0; sweep < 2; ++sweep) {
        int last = NO_STYLE;
        bool ok = false;
        for (auto it = pieces.rbegin(); it != pieces.rend(); ++it) {
            if (it->traffic != 0)
                continue;
            const int type = it->attributes & 15;
            if (type != last) {
                last = type;
                XrPenHandle o{}, i{};
                short w = 0;
                ok = visual_setting->get_line_info(static_cast<short>(type), scale_index, o, i, w) == 0;
                if (ok)
                    XrGDI::select_pen(dc, sweep == 0 ? o : i, -1);
            }
            if (!ok)
                continue;
            const int base = sweep == 0 ? 3 * sf : sf;
            const int width = static_cast<std::int16_t>(it->attributes) <= 3 ? base : -base;
            for (std::uint32_t k = 1; k < it->count; ++k)
                draw_3d_segment(dc, p[it->first + k - 1], p[it->first + k], screen, width, false);
        }
    }
    for (int sweep = 0; sweep < 3; ++sweep) {
        for (auto it = pieces.rbegin(); it != pieces.rend(); ++it) {
            if (it->traffic == 0)
                continue;
            const int type = it->attributes & 15;
            int r1 = 0, g1 = 0, b1 = 0, r2 = 0, g2 = 0, b2 = 0;
            short w = 0;
            if (visual_setting->get_line_colors(static_cast<short>(type), scale_index, r1, g1, b1, r2, g2, b2, w) !=
                0)
                continue;
            const bool route = type_override1 != 0 && type == type_override1;
            const XrColorHandle inner = XrGDI::rgb(r2, g2, b2);
            const XrColorHandle colour = traffic_colour(it->traffic >> 4);
            XrColorHandle pen_colour = sweep == 0 ? (route ? inner : XrGDI::rgb(0, 0, 0))
                                       : sweep == 1 ? XrGDI::rgb(255, 255, 255)
                                                    : colour;
            const int base = sweep == 0 ? 4 * sf : sweep == 1 ? 2 * sf : sf;
            XrGDI::select_pen(dc, solid_pen(1, pen_colour), 1);
            const int width = static_cast<std::int16_t>(it->attributes) <= 3 ? base : -base;
            for (std::uint32_t k = 1; k < it->count; ++k)
                draw_3d_segment(dc, p[it->first + k - 1], p[it->first + k], screen, width, false);
            if (sweep == 2) {
                int direction = it->traffic & 3;
                if ((it->attributes & (ONEWAY_ALONG | ONEWAY_AGAINST)) != 0)
                    direction = (it->attributes & ONEWAY_AGAINST) != 0 ? 2 : 1;
                draw_direction_arrows(dc, p + it->first, static_cast<int>(it->count), direction,
                                      std::abs(w) - 2 + 3, route ? inner : colour, colour, true);
            }
        }
    }
    XrGDI::restore_pen(dc, saved_pen);
    XrGDI::restore_brush(dc, saved_brush);
    XrGDI::set_dc_state(dc, saved_state);
    pieces.clear();
    return true;
}
