// XrRouteLayer: route drawing: the drawing steps of the flat and the
// perspective view, the route line when zoomed out beyond the roads, the
// route flags, the turn arrow of the current instruction and the icon
// number of an instruction.
#include <cmath>
#include <vector>

#include "common/map/xr_map.h"
#include "common/map/xr_mapservices.h"
#include "common/map/xr_mapview.h"
#include "common/map/xr_routelayer.h"
#include "common/map/xr_routelayer_draw.h"

namespace {

constexpr int POINT_BUFFER = 200;
constexpr int FLAG_HEIGHT = 140;
constexpr int ARROW_HEIGHT = 150;
constexpr int ARROW_LENGTH = 50;

// A rectangle with left <= right and top <= bottom.
XrRectangle normalised(const XrRectangle& r)
{
    return XrRectangle(std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
                       std::max(r.top, r.bottom));
}

bool boxes_meet(const XrRectangle& a, const XrRectangle& b)
{
    const XrRectangle x = normalised(a), y = normalised(b);
    return x.left <= y.right && y.left <= x.right && x.top <= y.bottom && y.top <= x.bottom;
}

double point_distance(const XrPoint& a, const XrPoint& b)
{
    return std::hypot(static_cast<double>(b.x) - a.x, static_cast<double>(b.y) - a.y);
}

// Appends the points of line to out until length map units are covered
// (the last point cut at that length); returns the length left.
double append_up_to(std::vector<XrPoint>& out, const std::vector<XrPoint>& line, double length)
{
    for (size_t i = 0; i < line.size() && length > 0; ++i) {
        if (!out.empty()) {
            const double step = point_distance(out.back(), line[i]);
            if (step > length) {
                const double t = length / step;
                const XrPoint& a = out.back();
                out.emplace_back(static_cast<int>(std::lround(a.x + (line[i].x - a.x) * t)),
                                 static_cast<int>(std::lround(a.y + (line[i].y - a.y) * t)));
                return 0;
            }
            length -= step;
        }
        out.push_back(line[i]);
    }
    return length;
}

} // namespace

bool XrRouteLayer::draw(XrDCHandleRec* dc, XrMapView* view)
{
    panel_sizes[0] = panel_sizes[1] = panel_sizes[2] = 0;
    const XrPoint screen(view->get_screen_width(), view->get_screen_height());
    if (traffic_state != nullptr)
        traffic_state = XrTrafficVisualization::draw_state(traffic_state, dc);
    if (active_route != nullptr)
        draw_route(dc, view);
    draw_frame_panels(dc, view, screen);
    if (external_canvas != nullptr)
        external_canvas->draw(this, dc, view);
    return true;
}

void XrRouteLayer::draw_frame_panels(XrDCHandleRec* dc, XrMapView* view, const XrPoint& screen)
{
    draw_vehicle_marker(dc, view);
    update_signpost_height(dc, screen);
    if (active_route == nullptr)
        draw_compass(dc, view, 0, 0);
    else
        draw_guidance_box(dc, screen, current_directive, directive_distance);
    if (options[OPTION_PROXIMITY_ALERTS])
        draw_proximity_alert(dc, XrPoint(screen.x, 0), nullptr);
    draw_speed(dc, screen);
    draw_gps_status_icon(dc, XrPoint(screen.x, 0));
    if (draw_traffic_box_on && options[OPTION_TRAFFIC_BOX])
        draw_traffic_state(dc, screen);
}

bool XrRouteLayer::draw_3d(XrDCHandleRec* dc, XrMapView* view)
{
    panel_sizes[0] = panel_sizes[1] = panel_sizes[2] = 0;
    const XrPoint screen(view->get_screen_width(), view->get_screen_height());
    if (active_route == nullptr && external_canvas != nullptr)
        external_canvas->draw(this, dc, view);
    if (traffic_state != nullptr)
        traffic_state = XrTrafficVisualization::draw_state(traffic_state, dc);
    if (active_route != nullptr && draw_3d_route)
        draw_route(dc, view);
    draw_frame_panels(dc, view, screen);
    return true;
}

void XrRouteLayer::draw_route(XrDCHandleRec* dc, XrMapView* view)
{
    XrArray<XrPoint> buffer(POINT_BUFFER);
    const bool perspective = view->is_3d();
    const XrRectangle visible = perspective ? view->get_world_rect_3d() : view->get_world_rect();

    std::uint32_t road_limit = 100000;
    if (map != nullptr) {
        if (XrMap::XrLayerInfo* road = map->get_layer_info(XrString(L"road")))
            road_limit = road->highest_scale != 0 ? road->highest_scale : 0xFFFFFFFFu;
    }
    if (view->get_scale_value() >= road_limit) {
        const XrPenHandle previous = XrGDI::get_pen(dc);
        const int width = static_cast<int>(5 * host->get_scale_factor());
        const XrPenHandle pen = XrGDI::create_pen(XrGDI::PenSolid, width, 30, 170, 30);
        XrGDI::select_pen(dc, pen);
        draw_route_pieces(dc, view, buffer);
        XrGDI::restore_pen(dc, previous);
    }

    if (guidance.get_state() != STATE_OFF_ROUTE && options[OPTION_TURN_ARROW] && current_directive_index >= 0) {
        XrRouteArrow* arrow = get_arrow(current_directive_index);
        if (arrow != nullptr && arrow->polyline != nullptr && arrow->polyline->get_point_count() > 0) {
            const int f = xr_routelayer::turn_arrow_width_factor(view->get_scale_value());
            draw_turn_arrow(dc, view, arrow, f * static_cast<int>(host->get_scale_factor()), buffer);
        }
    }

    const int count = end_points.get_num_items();
    for (int i = 0; i < count; ++i) {
        XrPoint p;
        end_points.get_item(i, p);
        if (!normalised(visible).contains(p))
            continue;
        XrBitmap& icon = icons[i == 0 ? IconFlagStart : i == count - 1 ? IconFlagDestination : IconFlagWaypoint];
        if (icon.bitmap() == nullptr) {
            xr_map_warning("route layer: route flag %d missing", i);
            continue;
        }
        int sx = 0, sy = 0;
        if (perspective)
            view->world_to_screen_3d(p.x, p.y, FLAG_HEIGHT, sx, sy);
        else
            view->world_to_screen_2d(p.x, p.y, sx, sy);
        XrGDI::draw_bitmap_object(dc, sx - icon.width() / 2, sy - icon.height() / 2, &icon, icon.mask() != nullptr);
    }
}

void XrRouteLayer::draw_route_pieces(XrDCHandleRec* dc, XrMapView* view, XrArray<XrPoint>& buffer)
{
    const XrRectangle visible = normalised(view->is_3d() ? view->get_world_rect_3d() : view->get_world_rect());
    const bool read_geometry = view->get_scale_value() < static_cast<std::uint32_t>(scale_limit);
    for (int r = 0; r < routes.get_num_items(); ++r) {
        XrRouteInstructions* route = routes.get_item(r);
        if (route == nullptr)
            continue;
        for (int s = route->segments.items() - 1; s >= 0; --s) {
            const XrRouteSegment* seg = route->segments.get_item_ptr(s);
            const XrRouteSegment* next = s > 0 ? route->segments.get_item_ptr(s - 1) : nullptr;
            const XrPoint a(seg->x, seg->y);
            const XrPoint b = next != nullptr ? XrPoint(next->x, next->y) : XrPoint(route->target_x, route->target_y);
            if (!boxes_meet(XrRectangle(a.x, a.y, b.x, b.y), visible))
                continue;
            XrPolygon* line = get_edge_polygon(seg->gid, read_geometry, (seg->flags & XrRouteSegment::FLAG_FIRST) != 0);
            const XrRectangle* box = line != nullptr ? line->get_bounding_box() : nullptr;
            if (box != nullptr && boxes_meet(*box, visible)) {
                const int n = line->get_point_count();
                buffer.remove_all();
                for (int i = 0; i < n; ++i) {
                    XrPoint p;
                    line->get_point(i, p);
                    int sx = 0, sy = 0;
                    view->world_to_screen_2d(p.x, p.y, sx, sy);
                    buffer.append(XrPoint(sx, sy));
                }
                XrGDI::draw_polyline(dc, buffer.get_items(), n);
            } else {
                int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
                view->world_to_screen_2d(a.x, a.y, x1, y1);
                view->world_to_screen_2d(b.x, b.y, x2, y2);
                XrGDI::draw_line(dc, x1, y1, x2, y2);
            }
        }
    }
}

namespace {

// The points of segment s in driving order; without its geometry the
// straight line from its point to the next segment's point (or the target).
std::vector<XrPoint> driven_points(XrRouteLayer& layer, const XrRouteInstructions& route, int s)
{
    std::vector<XrPoint> out;
    const XrRouteSegment& seg = *route.segments.get_item_ptr(s);
    XrPolygon* line = layer.get_edge_polygon(seg.gid, true, (seg.flags & XrRouteSegment::FLAG_FIRST) != 0);
    if (line == nullptr || line->get_point_count() == 0) {
        out.emplace_back(seg.x, seg.y);
        const XrRouteSegment* next = s > 0 ? route.segments.get_item_ptr(s - 1) : nullptr;
        out.push_back(next != nullptr ? XrPoint(next->x, next->y) : XrPoint(route.target_x, route.target_y));
        return out;
    }
    const int n = line->get_point_count();
    out.resize(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        line->get_point(i, out[static_cast<size_t>(i)]);
    if ((seg.flags & XrRouteSegment::FLAG_ALONG) == 0)
        std::reverse(out.begin(), out.end());
    return out;
}

} // namespace

XrRouteArrow* XrRouteLayer::get_arrow(int directive_index)
{
    if (active_route == nullptr)
        return nullptr;
    const XrRouteInstructions::XrRouteDirective* directive = active_route->directives.get_item_ptr(directive_index);
    if (directive == nullptr)
        return nullptr;
    for (int i = 0; i < arrows.get_num_items(); ++i) {
        XrRouteArrow* a = arrows.get_item(i);
        if (a != nullptr && a->directive_index == directive_index)
            return a;
    }
    auto* arrow = new XrRouteArrow();
    arrow->directive_index = directive_index;
    arrow->polyline = std::make_unique<XrPolygon>(true, 1);
    arrows.append(arrow);
    const std::uint32_t code = directive->code();
    build_arrow_path(arrow, directive_index, true, code == 8 || code == 9 ? 2 * ARROW_LENGTH : ARROW_LENGTH);
    if (directive_index >= 1)
        build_arrow_path(arrow, directive_index - 1, false, ARROW_LENGTH);
    return arrow;
}

int XrRouteLayer::build_arrow_path(XrRouteArrow* arrow, int directive_index, bool forward, int length)
{
    if (arrow == nullptr || active_route == nullptr || arrow->polyline == nullptr)
        return 0;
    const XrRouteInstructions::XrRouteDirective* directive = active_route->directives.get_item_ptr(directive_index);
    const int segment_count = active_route->segments.items();
    if (directive == nullptr || segment_count == 0)
        return arrow->polyline->get_point_count();
    const double units = static_cast<double>(length) * units_per_metre;
    std::vector<XrPoint> points;
    if (forward) {
        // The road before the junction of directive i, walked back from the
        // junction and then turned to run towards it.
        const XrRouteInstructions::XrRouteDirective* d = active_route->directives.get_item_ptr(arrow->directive_index);
        int s = static_cast<int>(d->words[6]) - 1;
        s = std::max(0, std::min(s, segment_count - 1));
        double left = units;
        for (; s < segment_count && left > 0; ++s) {
            std::vector<XrPoint> line = driven_points(*this, *active_route, s);
            std::reverse(line.begin(), line.end());
            left = append_up_to(points, line, left);
        }
        std::reverse(points.begin(), points.end());
    } else {
        // The road after the junction, in driving order.
        const XrRouteInstructions::XrRouteDirective* d = active_route->directives.get_item_ptr(directive_index + 1);
        int s = static_cast<int>(d->words[6]) - 2;
        double left = units;
        if (arrow->polyline->get_point_count() > 0) {
            XrPoint last;
            arrow->polyline->get_point(arrow->polyline->get_point_count() - 1, last);
            points.push_back(last);
        }
        for (; s >= 0 && s < segment_count && left > 0; --s)
            left = append_up_to(points, driven_points(*this, *active_route, s), left);
        if (!points.empty() && arrow->polyline->get_point_count() > 0)
            points.erase(points.begin());
    }
    for (const XrPoint& p : points) {
        const int n = arrow->polyline->get_point_count();
        XrPoint last;
        if (n > 0 && arrow->polyline->get_point(n - 1, last) && last.x == p.x && last.y == p.y)
            continue;
        arrow->polyline->add_point(p);
    }
    const int n = arrow->polyline->get_point_count();
    if (n > 0) {
        arrow->polyline->get_point(n - 1, arrow->head);
        for (int i = n - 2; i >= 0; --i) {
            XrPoint p;
            arrow->polyline->get_point(i, p);
            if (point_distance(p, arrow->head) > 5) {
                const double rad = std::atan2(static_cast<double>(arrow->head.y) - p.y,
                                              static_cast<double>(arrow->head.x) - p.x);
                arrow->head_direction = static_cast<int>(rad * 180 / 3.14159265);
                break;
            }
        }
    }
    return n;
}

void XrRouteLayer::draw_turn_arrow(XrDCHandleRec* dc, XrMapView* view, XrRouteArrow* arrow, int width,
                                   XrArray<XrPoint>& buffer)
{
    if (arrow == nullptr || arrow->polyline == nullptr)
        return;
    const XrRectangle* box = arrow->polyline->get_bounding_box();
    const bool perspective = view->is_3d();
    const XrRectangle visible = perspective ? view->get_world_rect_3d() : view->get_world_rect();
    if (box == nullptr || !boxes_meet(*box, visible))
        return;
    const int n = arrow->polyline->get_point_count();
    buffer.remove_all();
    for (int i = 0; i < n; ++i) {
        XrPoint p;
        arrow->polyline->get_point(i, p);
        int sx = 0, sy = 0;
        if (perspective)
            view->world_to_screen_3d(p.x, p.y, ARROW_HEIGHT, sx, sy);
        else
            view->world_to_screen_2d(p.x, p.y, sx, sy);
        buffer.append(XrPoint(sx, sy));
    }
    const XrPenHandle old_pen = XrGDI::get_pen(dc);
    const int w = std::max(width, 3);
    XrGDI::select_pen(dc, pens[PenGreenDark], w);
    XrGDI::draw_polyline(dc, buffer.get_items(), n);
    XrGDI::select_pen(dc, pens[PenGreenLight1], std::max(1, w - 2));
    XrGDI::draw_polyline(dc, buffer.get_items(), n);

    // The head: a triangle pointing along the last piece on the screen.
    const XrPoint head = buffer.get_items()[n - 1];
    double angle = -(arrow->head_direction - view->get_rotation()) * 3.14159265 / 180;
    for (int i = n - 2; i >= 0; --i) {
        const XrPoint p = buffer.get_items()[i];
        if (point_distance(p, head) > 2) {
            angle = std::atan2(static_cast<double>(head.y) - p.y, static_cast<double>(head.x) - p.x);
            break;
        }
    }
    const double c = std::cos(angle), s = std::sin(angle);
    const double shape[3][2] = {{1.5 * w, 0}, {-0.5 * w, -1.5 * w}, {-0.5 * w, 1.5 * w}};
    XrPoint tri[3];
    for (int i = 0; i < 3; ++i)
        tri[i] = XrPoint(head.x + static_cast<int>(std::lround(shape[i][0] * c - shape[i][1] * s)),
                         head.y + static_cast<int>(std::lround(shape[i][0] * s + shape[i][1] * c)));
    draw_shape(dc, tri, 3, &pens[PenGreenDark], &brushes[BrushGreenLight]);
    XrGDI::restore_pen(dc, old_pen);
}

int XrRouteLayer::get_direction_icon(const XrRouteInstructions::XrRouteDirective* directive,
                                     XrRouteInstructions* route, int limit, int directive_index)
{
    if (directive == nullptr)
        return 37;
    if (route == nullptr)
        route = active_route;
    if (directive_index == -1)
        directive_index = current_directive_index;
    const std::uint32_t junction = directive->words[7];
    const bool near = limit != -1 && junction != 0 && junction < static_cast<std::uint32_t>(limit);
    const std::uint32_t variant = directive->words[1];
    const int roundabout = right_hand_traffic ? 14 : 29;
    switch (directive->code()) {
    case 1:
        return 22;
    case 2:
    case 19:
        return near ? 7 : 9;
    case 3:
        return variant == 1 ? 25 : near ? 5 : 1;
    case 4:
    case 20:
        return near ? 8 : 10;
    case 5:
        return variant == 1 ? 26 : near ? 4 : 0;
    case 6:
        return xr_routelayer::uturn_icon(right_hand_traffic);
    case 7:
        return 27;
    case 8:
        return 11;
    case 9:
        return 12;
    case 10:
        return 23;
    case 11:
        return 24;
    case 13:
        return static_cast<int>(directive->words[1] & 0xFFFF) + roundabout;
    case 14: {
        XrRouteInstructions::XrRouteDirective* entry =
            route != nullptr ? route->directives.get_item_ptr(directive_index + 1) : nullptr;
        if (entry == nullptr || entry->code() != XrRouteInstructions::CODE_ROUNDABOUT)
            return 13;
        if (entry->words[2] != 0)
            classify_exit(*entry, route->segments);
        if (entry->words[2] != 0)
            return 13;
        return static_cast<int>(entry->words[1] & 0xFFFF) + roundabout;
    }
    case 15:
    case 17:
        return 3;
    case 16:
    case 18:
        return 2;
    default:
        return -1;
    }
}

void XrRouteLayer::draw_direction_icon(XrDCHandleRec* dc, const XrRouteInstructions::XrRouteDirective* directive,
                                       const XrPoint& position, int distance)
{
    draw_icon_number(dc, get_direction_icon(directive, nullptr, distance, -1), position);
}
