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
#include "common/visualization/xr_visualsetting.h"

using namespace xr_road_drawing;

namespace {

// The 3D row width tables: 64 entries each; entry 0 holds 127 while invalid.
signed char g_narrow[64] = {127};
signed char g_wide[64] = {127};
int g_row_shift = 3;

} // namespace

// --- 3D ----------------------------------------------------------------------------------------

void XrLineLabelLayer::invalidate_3d_width_tables()
{
    g_narrow[0] = 127;
    g_wide[0] = 127;
}

bool XrLineLabelLayer::width_tables_valid() { return g_narrow[0] != 127 && g_wide[0] != 127; }
int XrLineLabelLayer::narrow_width(int index) { return g_narrow[std::clamp(index, 0, 63)]; }
int XrLineLabelLayer::wide_width(int index) { return g_wide[std::clamp(index, 0, 63)]; }

void XrLineLabelLayer::compute_3d_width_tables(const XrMapView* view)
{
    g_row_shift = row_shift_for(view->get_screen_height());
    for (int i = 0; i < 64; ++i) {
        g_narrow[i] = 0;
        g_wide[i] = 0;
    }
    // The camera's axes in world units: scanning ahead along them is the
    // scan of a north-up view of the same set-up.
    const int r = 360 - view->get_rotation();
    const XrPoint centre = view->get_centre();
    int next_start = 0;
    for (int table = 0; table < 2; ++table) {
        const int h = table == 0 ? 18 : 26;
        signed char* out = table == 0 ? g_narrow : g_wide;
        const int start = table == 0 ? -10000 : next_start - 10000;
        int ended = 0;
        for (int t = start; t <= 9999; ++t) {
            XrPoint l(-h, t), rr(h, t);
            rotate_point(l, r);
            rotate_point(rr, r);
            int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
            view->world_to_screen_3d(centre.x + l.x, centre.y + l.y, XrMapView::POINT_HEIGHT, x1, y1);
            view->world_to_screen_3d(centre.x + rr.x, centre.y + rr.y, XrMapView::POINT_HEIGHT, x2, y2);
            if (y1 != y2)
                continue;
            const int index = y1 >> g_row_shift;
            if (index >= 0 && index <= 63) {
                out[index] = static_cast<signed char>(std::min(126.0, std::abs(x2 - x1) / 3.1));
            } else if (index == -1) {
                ended = t;
                break;
            }
        }
        next_start = ended;
    }
    int last = g_narrow[0];
    for (int i = 1; i < 63; ++i) {
        if (g_narrow[i] == 0)
            g_narrow[i] = static_cast<signed char>(last);
        else
            last = g_narrow[i];
    }
    // A computed table never reads as invalid.
    if (g_narrow[0] == 127)
        g_narrow[0] = 126;
    if (g_wide[0] == 127)
        g_wide[0] = 126;
}

int XrLineLabelLayer::slope_width_factor(int dx, int dy)
{
    if (dx == 0)
        return 1024;
    const int r = static_cast<int>((static_cast<std::int64_t>(dy) * 256) / dx);
    if (r < 128)
        return r * 342 / 128 + 512;
    if (r < 256)
        return (r * 134 - 17152) / 128 + 854;
    if (r < 384)
        return (r * 32 - 8192) / 128 + 989;
    return 1024;
}

void XrLineLabelLayer::draw_3d_segment(XrDCHandleRec* dc, const XrPoint& q1, const XrPoint& q2, const XrSize& screen,
                                       int width, bool clip)
{
    if (q1 == q2)
        return;
    const signed char* table = width < 0 ? g_wide : g_narrow;
    const int base = std::abs(width);
    XrPoint p1 = q1, p2 = q2;
    if (p2.y < p1.y)
        std::swap(p1, p2);
    if (clip) {
        XrPoint a, b;
        if (!clip_line_to_screen(p1.x, p1.y, p2.x, p2.y, screen, a.x, a.y, b.x, b.y))
            return;
        p1 = a;
        p2 = b;
        if (p2.y < p1.y)
            std::swap(p1, p2);
    }
    const int f = slope_width_factor(std::abs(p2.x - p1.x), std::abs(p2.y - p1.y));
    auto pen_width = [&](int end_row) {
        int t = table[std::clamp(end_row >> g_row_shift, 0, 63)];
        if (f != 1024)
            t = (f * t) / 1024;
        return std::max(1, t + base);
    };
    // Consecutive bands of one width are drawn as one line (the band ends
    // lie on it), and the pen width is set only when it changes.
    auto draw_run = [dc](const XrPoint& a, const XrPoint& b, int w) {
        if (XrGDI::get_pen(dc).width != w)
            XrGDI::set_pen_width(dc, w);
        const XrPoint seg[2] = {a, b};
        XrGDI::draw_polyline(dc, seg, 2);
    };
    XrPoint from = p1, run_start = p1;
    int run_width = -1;
    const std::int64_t dy = static_cast<std::int64_t>(p2.y) - p1.y;
    // Bands of 20 rows, aligned to multiples of 20.
    int band_end = p1.y >= 0 ? (p1.y / 20 + 1) * 20 - 1 : -((-p1.y - 1) / 20) * 20 - 1;
    for (int guard = 0; guard < 10000; ++guard) {
        XrPoint to = p2;
        if (band_end < p2.y && dy > 0) {
            const double t = static_cast<double>(band_end - p1.y) / static_cast<double>(dy);
            to = XrPoint(static_cast<int>(std::floor(p1.x + (p2.x - p1.x) * t + 0.5)), band_end);
        }
        const int w = pen_width(to.y);
        if (run_width >= 0 && w != run_width) {
            draw_run(run_start, from, run_width);
            run_start = from;
        }
        run_width = w;
        if (to == p2)
            break;
        from = to;
        band_end += 20;
    }
    draw_run(run_start, p2, run_width);
}

bool XrLineLabelLayer::draw_3d(XrDCHandleRec* dc, XrMapView* view)
{
    if (visual_setting == nullptr)
        return true;
    const XrSize screen(view->get_screen_width(), view->get_screen_height());
    if (screen.width <= 0 || screen.height <= 0) {
        xr_map_warning("road layer drawn on a screen of %d x %d skipped", screen.width, screen.height);
        return true;
    }
    if (!width_tables_valid() || g_row_shift != row_shift_for(screen.height))
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
