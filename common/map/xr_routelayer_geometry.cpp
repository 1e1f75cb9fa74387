// XrRouteLayer: edge polylines, geometry along the route and the rerouting
// decision.
#include "common/map/xr_routelayer.h"

#include <cmath>
#include <cstdio>
#include <memory>

#include "common/addr/xr_streetfinder.h"
#include "common/db/xr_geomstorage.h"
#include "common/geometry/xr_geometry.h"

namespace {

int to_degrees(double radians) { return static_cast<int>(radians * 180 / 3.14159265); }

int normal_degrees(int d)
{
    d %= 360;
    return d < 0 ? d + 360 : d;
}

// The box of a polyline grown on every side.
XrRectangle grown_box(const XrPolygon& line, int grow)
{
    XrRectangle box;
    if (const XrRectangle* b = line.get_bounding_box())
        box = XrRectangle(b->left - grow, b->top - grow, b->right + grow, b->bottom + grow);
    return box;
}

} // namespace

bool XrRouteLayer::should_reroute(XrPoint& position, int heading_, XrPoint* last_point, XrGid* last_gid,
                                  XrGraphAccessor2::XrEdgeData* edge)
{
    if (route_locked && guidance.get_state() == STATE_OFF_ROUTE)
        return true;
    return is_off_route_road(position, heading_, last_point, last_gid, edge);
}

bool XrRouteLayer::is_off_route_road(XrPoint& position, int heading_, XrPoint* last_point, XrGid* last_gid,
                                     XrGraphAccessor2::XrEdgeData* edge)
{
    // Failures answer false: a new search from here would fail the same way.
    if (road_storage == nullptr || active_route == nullptr)
        return false;
    XrGraphAccessor2* graph = get_graph_reader();
    if (graph == nullptr)
        return false;
    XrPoint prev_point = last_point != nullptr ? *last_point : XrPoint(0, 0);
    XrGid prev_gid = last_gid != nullptr ? *last_gid : 0;
    XrStreetFinder finder(road_storage);
    const double speed = gps_fix_valid ? current_speed : -1.0;
    size_t found = 0;
    const bool hints = last_point != nullptr && last_gid != nullptr;
    if (finder.find_street(position, MATCH_RADIUS * units_per_metre, 1, found, hints ? &prev_point : nullptr,
                           hints ? &prev_gid : nullptr, heading_, graph, speed) != XrStreetFinder::OK ||
        found == 0)
        return false;
    if (hints) {
        *last_point = prev_point;
        *last_gid = prev_gid;
    }
    XrGid gid = 0;
    bool first_half = false;
    int segment = 0;
    XrPoint nearest;
    double distance = 0;
    if (!finder.get_result(0, gid, first_half, segment, nearest, distance))
        return false;
    if (edge != nullptr) {
        const XrPoint& at = matched_valid ? matched_point : nearest;
        const int handle = graph->get_edge_handle_by_gid(at.x, at.y, gid);
        if (handle == -1 || graph->get_edge_by_handle(handle, *edge) == -1)
            *edge = XrGraphAccessor2::XrEdgeData();
    }
    return !active_route->contains_gid(gid);
}

bool XrRouteLayer::find_segment_near_position(int distance, XrRouteSegment* out)
{
    if (active_route == nullptr || active_route->segments.items() == 0 || !matched_valid)
        return false;
    const double limit = distance;
    for (int i = 0; i < active_route->segments.items(); ++i) {
        const XrRouteSegment* s = active_route->segments.get_item_ptr(i);
        if (matched_point.distance(XrPoint(s->x, s->y)) < limit) {
            if (current_segment != -1 && i > current_segment)
                return false;
            if (out != nullptr)
                *out = *s;
            return true;
        }
    }
    return false;
}

bool XrRouteLayer::point_in_segment(const XrRouteSegment& segment, int offset, XrPoint& point, int& direction)
{
    XrPolygon* line = get_edge_polygon(segment.gid, true, (segment.flags & XrRouteSegment::FLAG_FIRST) != 0);
    if (line == nullptr || line->get_point_count() < 2)
        return false;
    const double length = line->get_length();
    double at = static_cast<double>(offset) * units_per_metre;
    if (at > length)
        at = length;
    if (at < 0)
        at = 0;
    std::int16_t d = 0;
    if ((segment.flags & XrRouteSegment::FLAG_ALONG) != 0) {
        if (!line->get_point_at_distance(at, point, d))
            return false;
        direction = d;
        return true;
    }
    double back = length - at;
    if (back < 0)
        back = 0;
    if (!line->get_point_at_distance(back, point, d))
        return false;
    direction = normal_degrees(d + 180);
    return true;
}

int XrRouteLayer::get_point_on_route(XrPoint* point, short* heading_out, int distance)
{
    if (active_route == nullptr || active_route->segments.items() == 0)
        return 1;
    if (distance > route_length)
        distance = route_length;
    if (distance < 0)
        distance = 0;
    int rest = distance;
    int i = active_route->segments.items() - 1;
    for (; i > 0; --i) {
        const XrRouteSegment* s = active_route->segments.get_item_ptr(i);
        if (s->length > rest)
            break;
        rest -= s->length;
    }
    const XrRouteSegment* s = active_route->segments.get_item_ptr(i);
    if (rest > s->length)
        rest = s->length;
    XrPoint p;
    int d = 0;
    if (!point_in_segment(*s, rest, p, d))
        return 1;
    if (point != nullptr)
        *point = p;
    if (heading_out != nullptr)
        *heading_out = static_cast<short>(d);
    return 0;
}

int XrRouteLayer::step_back(XrPoint* point, short* heading_out, int step)
{
    if (guidance.get_state() == STATE_ARRIVED) {
        guidance.set_state(STATE_ON_ROUTE);
        announced_far = announced_near = second_far_pending = exit_taken = false;
    }
    return get_point_on_route(point, heading_out, distance_travelled - (step == 0 ? 25 : step));
}

int XrRouteLayer::step_forward(XrPoint* point, short* heading_out, int step)
{
    return get_point_on_route(point, heading_out, distance_travelled + (step == 0 ? 25 : step));
}

int XrRouteLayer::get_route_start(XrPoint* point, short* heading_out)
{
    return get_point_on_route(point, heading_out, 0);
}

XrPolygon* XrRouteLayer::read_edge_polygon(XrGid gid)
{
    if (road_storage == nullptr)
        return nullptr;
    std::unique_ptr<XrGeomCursor> cursor(road_storage->get_cursor(nullptr, 0));
    if (cursor == nullptr)
        return nullptr;
    const BYTE* record = nullptr;
    XrGeomStorage::XrRecordType type = XrGeomStorage::RecPoint;
    if (cursor->get_record_by_geom_id(gid, type, record) != XrGeomCursor::OK || type != XrGeomStorage::RecPolyline)
        return nullptr;
    auto line = std::make_unique<XrPolygon>(true);
    if (!read_polygon_from_cursor(*line, type, record, cursor.get(), false))
        return nullptr;
    return line.release();
}

XrPolygon* XrRouteLayer::get_edge_polygon(XrGid gid, bool create, bool pinned)
{
    for (int i = pinned ? 0 : 1; i < EDGE_CACHE_SIZE; ++i)
        if (edge_cache[i].polygon != nullptr && edge_cache[i].gid == gid)
            return edge_cache[i].polygon;
    if (!create)
        return nullptr;
    XrPolygon* line = read_edge_polygon(gid);
    if (line == nullptr)
        return nullptr;
    const XrRectangle box = grown_box(*line, 2 * units_per_metre * margin);
    int slot = -1;
    for (int i = 0; i < EDGE_CACHE_SIZE && slot < 0; ++i)
        if (edge_cache[i].polygon == nullptr)
            slot = i;
    if (slot < 0) {
        delete edge_cache[PIN_ENTRIES].polygon;
        for (int i = PIN_ENTRIES; i + 1 < EDGE_CACHE_SIZE; ++i)
            edge_cache[i] = edge_cache[i + 1];
        slot = EDGE_CACHE_SIZE - 1;
    }
    edge_cache[slot].polygon = line;
    edge_cache[slot].gid = gid;
    edge_cache[slot].box = box;
    return line;
}

void XrRouteLayer::clear_edge_polygons()
{
    for (XrEdgeEntry& e : edge_cache) {
        delete e.polygon;
        e = XrEdgeEntry();
    }
}

void XrRouteLayer::pin_edge_polygon(XrGid gid, XrPolygon* polygon, bool first)
{
    XrEdgeEntry& e = edge_cache[first ? 0 : 1];
    delete e.polygon;
    e.polygon = polygon;
    e.gid = gid;
    e.box = polygon != nullptr ? grown_box(*polygon, 2 * units_per_metre * margin) : XrRectangle();
}

XrPolygon* XrRouteLayer::copy_polygon(const XrPolygon& polygon)
{
    auto* copy = new XrPolygon(polygon.is_open(), polygon.get_type());
    *copy = polygon;
    return copy;
}

int XrRouteLayer::get_edge_heading(XrGeomStorage* /*storage*/, XrGid gid, bool at_start, bool pinned)
{
    XrPolygon* line = get_edge_polygon(gid, true, pinned);
    if (line == nullptr || line->get_point_count() < 2)
        return 0;
    const int length = static_cast<int>(line->get_length());
    bool start_form = at_start;
    if (!start_form && active_route != nullptr) {
        const XrRouteSegment* last = active_route->segments.get_item_ptr(0);
        start_form = last != nullptr && last->gid == gid;
    }
    XrPoint end, inner;
    std::int16_t d = 0;
    if (start_form) {
        line->get_point(0, end);
        line->get_point_at_distance(length < 30 ? length : 30, inner, d);
    } else {
        line->get_point(line->get_point_count() - 1, end);
        line->get_point_at_distance(length > 30 ? length - 30 : 0, inner, d);
    }
    return to_degrees(get_angle(end, inner));
}

void XrRouteLayer::classify_exit(XrRouteInstructions::XrRouteDirective& directive,
                                 const XrBlockStorage<XrRouteSegment>& segments)
{
    const XrGid exit_gid = directive.words[2];
    if (exit_gid == 0)
        return;
    directive.words[2] = 0;
    const std::uint32_t word = directive.words[1];
    const int count = static_cast<int>(word & 0xFFFF);
    const int t = static_cast<int>((word >> 16) & 0x7FFF);
    const bool direction = (word & 0x80000000u) != 0;
    const XrRouteSegment* s = segments.get_item_ptr(static_cast<int>(directive.words[6]));
    const int in = get_edge_heading(road_storage, exit_gid, direction, false);
    int out = 0;
    if (s != nullptr)
        out = get_edge_heading(road_storage, s->gid, (s->flags & XrRouteSegment::FLAG_ALONG) == 0,
                               (s->flags & XrRouteSegment::FLAG_FIRST) != 0);
    const int d = right_hand_traffic ? angle_between(out, in) : 360 - angle_between(out, in);
    int cls;
    if (d < 135 && t >= 281)
        cls = 7;
    else if (d < 135 && t > 240)
        cls = 6;
    else {
        const int w = (3 * d + t) / 4;
        cls = w < 67 ? 0 : w < 113 ? 1 : w < 158 ? 2 : w < 203 ? 3 : w < 248 ? 4 : w <= 282 ? 5 : w < 337 ? 6 : 7;
    }
    directive.words[1] = static_cast<std::uint32_t>(count) | (static_cast<std::uint32_t>(cls) << 16);
}

int XrRouteLayer::get_bend_ahead_icon(XrRouteInstructions* route)
{
    const int ahead = get_route_heading_between(route, distance_travelled, distance_travelled + 300);
    const int r = normal_degrees(ahead - heading);
    if (r <= 9)
        return 38;
    if (r < 30)
        return 47;
    if (r < 80)
        return 44;
    if (r <= 99)
        return 40;
    if (r < 170)
        return 43;
    if (r < 190)
        return 39;
    if (r < 260)
        return 42;
    if (r < 280)
        return 41;
    if (r < 330)
        return 45;
    if (r < 350)
        return 46;
    return 38;
}

int XrRouteLayer::get_route_heading_between(XrRouteInstructions* route, int from, int to)
{
    if (route == nullptr || route->segments.items() == 0)
        return -1;
    const int total = route == active_route ? route_length : route->total_length;
    auto point_at = [&](int distance, XrPoint& out) {
        if (distance > total)
            distance = total - 1;
        if (distance < 0)
            distance = 0;
        int rest = distance;
        for (int i = route->segments.items() - 1; i >= 0; --i) {
            const XrRouteSegment* s = route->segments.get_item_ptr(i);
            if (s->length > rest || i == 0) {
                int d = 0;
                return point_in_segment(*s, rest < s->length ? rest : s->length, out, d);
            }
            rest -= s->length;
        }
        return false;
    };
    XrPoint a, b;
    if (!point_at(from, a) || !point_at(to, b))
        return -1;
    return normal_degrees(to_degrees(get_angle(a, b)));
}

int XrRouteLayer::sum_segment_lengths(int first, int last, const XrBlockStorage<XrRouteSegment>& segments)
{
    int sum = 0;
    for (int i = first; i <= last; ++i)
        if (const XrRouteSegment* s = segments.get_item_ptr(i))
            sum += s->length;
    return sum;
}

bool XrRouteLayer::is_road_type_one(const XrRouteInstructions::XrRouteDirective* directive)
{
    if (directive == nullptr || active_route == nullptr)
        return false;
    const XrRouteSegment* s = active_route->segments.get_item_ptr(static_cast<int>(directive->words[6]));
    return s != nullptr && s->road_type() == 1;
}

void XrRouteLayer::cut_polyline(XrPolygon* out, const XrPolygon& line, bool from_start, int length)
{
    const int n = line.get_point_count();
    if (out == nullptr || n < 2)
        return;
    XrPoint prev;
    line.get_point(from_start ? 0 : n - 1, prev);
    out->add_point(prev);
    double used = 0;
    for (int k = 1; k < n; ++k) {
        XrPoint p;
        line.get_point(from_start ? k : n - 1 - k, p);
        const double step = prev.distance(p);
        if (length >= 0 && used + step >= length) {
            const double f = step > 0 ? (length - used) / step : 0;
            out->add_point(XrPoint(prev.x + static_cast<int>(std::lround((p.x - prev.x) * f)),
                                   prev.y + static_cast<int>(std::lround((p.y - prev.y) * f))));
            return;
        }
        used += step;
        out->add_point(p);
        prev = p;
    }
}

int XrRouteLayer::angle_between(int a, int b) { return b > a ? b - a : b - a + 360; }
