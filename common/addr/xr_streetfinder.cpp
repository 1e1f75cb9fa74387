#include "common/addr/xr_streetfinder.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>

#include "common/addr/xr_edgedirections.h"
#include "common/db/xr_geomstorage.h"
#include "common/geometry/xr_geometry.h"
#include "common/geometry/xr_polygon.h"

namespace {

// One-way bits of a road record's first attribute byte.
constexpr BYTE ONEWAY_ALONG = 0x20;
constexpr BYTE ONEWAY_AGAINST = 0x40;

// Graph directions are used for roads nearer than this.
constexpr double GRAPH_DISTANCE = 100.0;
// Above this speed (km/h) crossing roads are refused.
constexpr int CROSSING_SPEED_KMH = 25;
constexpr int CROSSING_ANGLE = 81;

// Map matching.
constexpr double MATCH_RESTART_DISTANCE = 300.0;
constexpr double MATCH_RESET_DISTANCE = 200.0;
constexpr int MATCH_LEAVE_ANGLE = 20;
constexpr int MATCH_STEP_AHEAD = 20;
constexpr double MATCH_MOVING_SPEED = 1.0; // metres per second

constexpr int CONNECTION_ANGLE = 39;

int clamp_coord(long long v)
{
    return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

// point +- 2 * radius, never inverted.
XrRectangle search_box(const XrPoint& p, int radius)
{
    long long r = 2LL * std::llabs(static_cast<long long>(radius));
    return XrRectangle(clamp_coord(p.x - r), clamp_coord(p.y - r), clamp_coord(p.x + r), clamp_coord(p.y + r));
}

// Boxes that only touch do not overlap.
bool boxes_overlap(const XrRectangle& a, const XrRectangle& b)
{
    return a.bottom > b.top && a.top < b.bottom && a.right > b.left && a.left < b.right;
}

int normalize_degrees(int d)
{
    d %= 360;
    return d < 0 ? d + 360 : d;
}

int reverse_direction(int d)
{
    d += 180;
    return d >= 360 ? d - 360 : d;
}

// Reads a polyline record with its first attribute byte (0 when it has none).
bool read_line(XrGeomCursor& cursor, XrGeomStorage::XrRecordType type, const BYTE* record, XrPolygon& line,
               BYTE& attributes)
{
    if (type != XrGeomStorage::RecPolyline)
        return false;
    int id = 0, x = 0, y = 0;
    short t = 0, aux = 0;
    const BYTE* points = nullptr;
    const BYTE* attr = nullptr;
    BYTE coding = 0;
    int count = cursor.get_pp(record, id, x, y, t, aux, points, coding, attr);
    if (count <= 0)
        return false;
    line.set_open(true);
    line.set_type(t);
    line.add_point(XrPoint(x, y));
    for (int i = 1; i < count; ++i) {
        cursor.get_pp_next_pt(coding, x, y, points);
        line.add_point(XrPoint(x, y));
    }
    attributes = attr != nullptr ? attr[0] : 0;
    return true;
}

} // namespace

XrStreetFinder::XrStreetFinder(XrGeomStorage* data_source) : data_source(data_source), results(1) {}

int XrStreetFinder::heading_penalty(int angle, int speed_kmh)
{
    if (angle < 30)
        return angle / 4;
    if (speed_kmh > 14)
        return angle;
    return angle / 3;
}

int XrStreetFinder::undirected_angle(int a, int h)
{
    if (h < 0)
        return 0;
    if (h < 180 && a > 180)
        a -= 180;
    if (h > 180 && a < 180)
        a += 180;
    int d = std::abs(a - h);
    return d > 90 ? 180 - d : d;
}

bool XrStreetFinder::are_connected(const XrPolygon& a, const XrPolygon& b, int angle)
{
    if (angle > CONNECTION_ANGLE)
        return false;
    int na = a.get_point_count();
    int nb = b.get_point_count();
    if (na == 0 || nb == 0)
        return false;
    const XrPoint* pa = a.get_points().get_items();
    const XrPoint* pb = b.get_points().get_items();
    const XrPoint ends_a[2] = {pa[0], pa[na - 1]};
    const XrPoint ends_b[2] = {pb[0], pb[nb - 1]};
    for (const XrPoint& ea : ends_a)
        for (const XrPoint& eb : ends_b)
            if (ea == eb)
                return true;
    return false;
}

bool XrStreetFinder::match(const XrPolygon& line, const XrPoint& p, Match& out)
{
    if (!line.get_nearest_point(p, out.point, &out.distance, &out.along, &out.segment, &out.direction))
        return false;
    out.direction = normalize_degrees(out.direction);
    return true;
}

bool XrStreetFinder::is_first_half(const XrPolygon& line, double along)
{
    return line.get_length() / 2 > along;
}

bool XrStreetFinder::rate(const XrPolygon& line, XrGid gid, BYTE attributes, const Match& m, int heading,
                          const Query& query, int& penalty) const
{
    penalty = 0;
    if (query.graph != nullptr && m.distance < GRAPH_DISTANCE) {
        // Driving directions from the graph, with the direction at half the
        // line's length.
        XrPoint mid;
        std::int16_t dir16 = 0;
        if (!line.get_point_at_distance(line.get_length() / 2, mid, dir16))
            return true;
        int handle = query.graph->get_edge_handle_by_gid(mid.x, mid.y, gid);
        int state = handle == -1 ? XrEdgeDirections::Unknown : query.graph->get_edge_end_state(handle);
        if (state != XrEdgeDirections::ForwardOnly && state != XrEdgeDirections::BackwardOnly &&
            state != XrEdgeDirections::BothWays)
            return true;
        int dir = normalize_degrees(dir16);
        auto direction_penalty = [&](int d) {
            int diff = get_angle_between(heading, d);
            if (state == XrEdgeDirections::BothWays && diff > 90)
                diff = 180 - diff;
            return heading_penalty(diff, query.speed_kmh);
        };
        int best = INT_MAX;
        if (state != XrEdgeDirections::BackwardOnly)
            best = direction_penalty(dir);
        if (state != XrEdgeDirections::ForwardOnly)
            best = std::min(best, direction_penalty(reverse_direction(dir)));
        penalty = best;
        return true;
    }

    if ((attributes & ONEWAY_ALONG) != 0 && get_angle_between(heading, m.direction) > angle_tolerance)
        return false;
    if ((attributes & ONEWAY_AGAINST) != 0 &&
        get_angle_between(heading, reverse_direction(m.direction)) > angle_tolerance)
        return false;
    int angle = undirected_angle(m.direction, heading);
    if (query.speed_kmh > CROSSING_SPEED_KMH && angle >= CROSSING_ANGLE)
        return false;
    penalty = heading_penalty(angle, query.speed_kmh);
    return true;
}

void XrStreetFinder::collect_pass(const XrPoint& point, int radius, size_t max_results, int heading,
                                  const Query& query, XrArray<Candidate>& out)
{
    out.remove_all();
    if (data_source == nullptr || max_results == 0)
        return;
    XrRectangle box = search_box(point, radius);
    std::unique_ptr<XrGeomCursor> cursor(data_source->get_cursor(&box, 0));
    if (cursor == nullptr)
        return;
    for (;;) {
        const BYTE* record = nullptr;
        XrGeomStorage::XrRecordType type = XrGeomStorage::RecPoint;
        if (cursor->get_next_record(record, type) != XrGeomCursor::OK)
            break;
        XrGid gid = 0;
        if (!cursor->get_current_record_geom_id(gid))
            continue;
        // A fresh polygon: its box only ever grows.
        XrPolygon line(true);
        BYTE attributes = 0;
        if (!read_line(*cursor, type, record, line, attributes) || !boxes_overlap(*line.get_bounding_box(), box))
            continue;
        // A line of one point has no nearest point.
        Match m;
        if (!match(line, point, m))
            continue;
        int penalty = 0;
        if (heading >= 0 && !rate(line, gid, attributes, m, heading, query, penalty))
            continue;

        Candidate c;
        c.gid = gid;
        c.first_half = is_first_half(line, m.along) ? 1 : 0;
        c.segment = m.segment;
        c.point = m.point;
        c.along = m.along;
        c.distance = m.distance;
        c.score = m.distance + penalty;

        int held = out.get_num_items();
        if (static_cast<size_t>(held) >= max_results && !(c.score < out.get_items()[held - 1].score))
            continue;
        // Into place behind the equal scores (a stable order), then cut.
        int at = held;
        while (at > 0 && out.get_items()[at - 1].score > c.score)
            --at;
        out.insert_item(c, at);
        if (static_cast<size_t>(out.get_num_items()) > max_results)
            out.remove_item(out.get_num_items() - 1);
    }
}

void XrStreetFinder::collect(const XrPoint& point, int radius, size_t max_results, const Query& query,
                             XrArray<Candidate>& out)
{
    collect_pass(point, radius, max_results, query.heading, query, out);
    if (out.get_num_items() == 0 && query.graph != nullptr && query.heading >= 0)
        collect_pass(point, radius, max_results, -1, query, out);
}

bool XrStreetFinder::best_single(const XrPoint& point, int radius, const Query& query, Candidate& out)
{
    XrArray<Candidate> found(2);
    collect(point, radius, 1, query, found);
    return found.get_item(0, out);
}

bool XrStreetFinder::read_road(XrGid gid, XrPolygon& line)
{
    if (data_source == nullptr)
        return false;
    std::unique_ptr<XrGeomCursor> cursor(data_source->get_cursor(nullptr, 0));
    if (cursor == nullptr)
        return false;
    const BYTE* record = nullptr;
    XrGeomStorage::XrRecordType type = XrGeomStorage::RecPoint;
    if (cursor->get_record_by_geom_id(gid, type, record) != XrGeomCursor::OK)
        return false;
    BYTE attributes = 0;
    return read_line(*cursor, type, record, line, attributes);
}

bool XrStreetFinder::map_match(const XrPoint& point, int radius, XrPoint& prev_point, XrGid& prev_gid,
                               const Query& query, double speed, int distance_margin, InternalResult& out)
{
    Candidate first;
    if (!best_single(point, radius, query, first))
        return false;
    out = first;
    if ((prev_gid == 0 && prev_point == XrPoint(0, 0)) || point.distance(prev_point) > MATCH_RESTART_DISTANCE) {
        prev_gid = first.gid;
        prev_point = first.point;
        return true;
    }

    // A: the road followed so far, B: the road nearest now.
    XrPolygon prev_line(true);
    XrPolygon line(true);
    if (!read_road(prev_gid, prev_line) || !read_road(first.gid, line))
        return true;
    XrPoint mid(prev_point.x + (first.point.x - prev_point.x) / 2,
                prev_point.y + (first.point.y - prev_point.y) / 2);
    Match on_prev;
    Match on_line;
    if (!match(prev_line, mid, on_prev) || !match(line, mid, on_line))
        return true;
    int prev_angle = undirected_angle(on_prev.direction, query.heading);

    // A road around the midpoint that connects to the previous one.
    Candidate between;
    if (best_single(mid, radius, query, between) &&
        !(between.gid == prev_gid && between.distance >= on_line.distance)) {
        XrPolygon between_line(true);
        Match on_between;
        if (read_road(between.gid, between_line) && match(between_line, mid, on_between) &&
            are_connected(prev_line, between_line, undirected_angle(on_between.direction, query.heading))) {
            out = between;
            prev_gid = between.gid;
            prev_point = between.point;
            return true;
        }
    }

    Match stay;
    if (!match(prev_line, first.point, stay))
        return true;
    if (prev_angle > MATCH_LEAVE_ANGLE && stay.distance - distance_margin > on_line.distance) {
        // The vehicle has left the previous road.
        prev_gid = first.gid;
        prev_point = first.point;
        return true;
    }

    // Still on the previous road; when standing on the same point while
    // moving, look a little ahead along the heading.
    if (stay.point == prev_point && speed > MATCH_MOVING_SPEED && query.heading >= 0) {
        double rad = query.heading * XR_HALF_TURN / 180.0;
        XrPoint ahead(clamp_coord(prev_point.x + static_cast<long long>(MATCH_STEP_AHEAD * std::cos(rad))),
                      clamp_coord(prev_point.y + static_cast<long long>(MATCH_STEP_AHEAD * std::sin(rad))));
        Candidate next;
        if (best_single(ahead, radius, query, next)) {
            out = next;
            prev_gid = next.gid;
            prev_point = next.point;
            return true;
        }
    }
    out.gid = prev_gid;
    out.first_half = is_first_half(prev_line, stay.along) ? 1 : 0;
    out.segment = stay.segment;
    out.point = stay.point;
    out.along = stay.along;
    prev_point = stay.point;
    return true;
}

XrStreetFinder::Status XrStreetFinder::find_street(const XrPoint& point, int radius, size_t max_results,
                                                   size_t& found, XrPoint* prev_point, XrGid* prev_gid,
                                                   int heading, XrEdgeDirections* graph, double speed,
                                                   int distance_margin)
{
    results.remove_all();
    found = 0;
    Query query;
    query.heading = heading < 0 ? -1 : heading % 360;
    query.graph = graph;
    query.speed_kmh = speed > 0 ? static_cast<int>(std::min(speed * 3.6, static_cast<double>(INT_MAX))) : 0;

    if (prev_point != nullptr && prev_gid != nullptr) {
        InternalResult r;
        if (!map_match(point, radius, *prev_point, *prev_gid, query, speed, distance_margin, r))
            return NOT_FOUND;
        r.distance = point.distance(r.point);
        results.append(r);
        found = 1;
        if (r.distance > MATCH_RESET_DISTANCE) {
            *prev_gid = 0;
            *prev_point = XrPoint(0, 0);
        }
        return OK;
    }

    XrArray<Candidate> candidates(8);
    collect(point, radius, max_results, query, candidates);
    for (int i = 0; i < candidates.get_num_items(); ++i) {
        InternalResult r = candidates.get_items()[i];
        r.distance = point.distance(r.point);
        results.append(r);
    }
    found = static_cast<size_t>(results.get_num_items());
    return found > 0 ? OK : NOT_FOUND;
}

bool XrStreetFinder::get_result(int i, XrGid& gid, bool& first_half, int& segment, XrPoint& point,
                                double& distance, double* along) const
{
    if (i < 0 || i >= results.get_num_items())
        return false;
    const InternalResult& r = results.get_items()[i];
    gid = r.gid;
    first_half = r.first_half != 0;
    segment = r.segment;
    point = r.point;
    distance = r.distance;
    if (along != nullptr)
        *along = r.along;
    return true;
}
