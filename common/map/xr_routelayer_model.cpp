#include "common/map/xr_routelayer_model.h"

#include <algorithm>
#include <vector>

#include "common/geometry/xr_geometry.h"
#include "common/geometry/xr_polygon.h"
#include "common/graph/xr_dijkstrapath.h"

namespace {

int normal_degrees(int d)
{
    d %= 360;
    return d < 0 ? d + 360 : d;
}

} // namespace

// ---- Position matching

bool XrGuidanceModel::match_position(const XrRouteInstructions& route, XrEdgeLines& lines, const XrPoint& position,
                                     int heading, int search_units, int units_per_metre, bool off_route,
                                     XrRouteMatch& out)
{
    const int count = route.segments.items();
    struct Best {
        int index = -1;
        double cost = 0;
        double distance = 0;
        double along = 0;
        int direction = 0;
        int before = 0;
    };
    for (int pass = 0; pass < 2; ++pass) {
        const int h = pass == 0 ? heading : -1;
        if (pass == 1 && heading < 0)
            break;
        Best best;
        int before = 0;
        for (int i = count - 1; i >= 0; before += route.segments.get_item_ptr(i)->length, --i) {
            const XrRouteSegment* s = route.segments.get_item_ptr(i);
            const bool pinned = (s->flags & XrRouteSegment::FLAG_FIRST) != 0;
            XrPolygon* line = lines.get_line(s->gid, false, pinned);
            if (line == nullptr) {
                // Read the edge only when the position lies near its
                // neighbours' reference points.
                XrRectangle box(s->x, s->y, s->x, s->y);
                for (int j = i - 1; j <= i + 1; j += 2)
                    if (const XrRouteSegment* n = route.segments.get_item_ptr(j)) {
                        box.left = std::min(box.left, n->x);
                        box.top = std::min(box.top, n->y);
                        box.right = std::max(box.right, n->x);
                        box.bottom = std::max(box.bottom, n->y);
                    }
                const int grow = 2 * search_units;
                if (position.x < box.left - grow || position.x > box.right + grow || position.y < box.top - grow ||
                    position.y > box.bottom + grow)
                    continue;
                line = lines.get_line(s->gid, true, pinned);
                if (line == nullptr)
                    continue;
            }
            const XrRectangle* grown = lines.get_match_box(line, pinned);
            if (grown != nullptr && (position.x < grown->left || position.x > grown->right ||
                                     position.y < grown->top || position.y > grown->bottom))
                continue;
            XrPoint nearest;
            double distance = 0, offset = 0;
            int direction = 0;
            if (!line->get_nearest_point(position, nearest, &distance, &offset, nullptr, &direction))
                continue;
            const bool along = (s->flags & XrRouteSegment::FLAG_ALONG) != 0;
            if (!along)
                direction = normal_degrees(direction + 180);
            double cost = distance;
            if (h >= 0) {
                int diff = get_angle_between(normal_degrees(direction), h);
                if (off_route && diff > 90)
                    diff = 180 - diff;
                cost += diff / 3.0;
            }
            const double limit = search_units * (s->speed_class() <= 1 ? 1.2 : 1.0);
            if (distance >= limit)
                continue;
            if (best.index < 0 || cost < best.cost) {
                best.index = i;
                best.cost = cost;
                best.distance = distance;
                best.direction = normal_degrees(direction);
                best.before = before;
                const double length = line->get_length();
                best.along = along ? offset : length - offset;
                if (best.along < 0)
                    best.along = 0;
            }
        }
        if (best.index < 0)
            continue;

        const XrRouteSegment* s = route.segments.get_item_ptr(best.index);
        out.direction = best.direction;
        out.heading_difference = heading >= 0 ? get_angle_between(best.direction, heading) : -1;
        int into = static_cast<int>(best.along / units_per_metre);
        if (into > s->length)
            into = s->length;
        out.into = into;
        out.travelled = best.before + into;
        out.segment = best.index;
        const XrPolygon* line = lines.get_line(s->gid, false, (s->flags & XrRouteSegment::FLAG_FIRST) != 0);
        if (line != nullptr) {
            XrPoint nearest;
            line->get_nearest_point(position, nearest);
            out.point = nearest;
        } else
            out.point = position;
        return true;
    }
    return false;
}

// ---- Off-route counting and the rerouting decision

void XrGuidanceModel::reset()
{
    state = STATE_ON_ROUTE;
    off_route_mark = -1;
    off_route_count = 0;
    reversed_start = false;
    reroute_asked_at = -1;
}

bool XrGuidanceModel::reverse_at_start(int travelled)
{
    off_route_mark = travelled + 5;
    off_route_count = REVERSED_START_COUNT;
    const bool was_on = state != STATE_OFF_ROUTE;
    state = STATE_OFF_ROUTE;
    reversed_start = true;
    return was_on;
}

bool XrGuidanceModel::matched_fix(int travelled, bool started, double speed, bool hold)
{
    if (hold || travelled > off_route_mark) {
        off_route_count = 0;
        state = STATE_ON_ROUTE;
        reroute_asked_at = -1;
        if (off_route_mark >= 0)
            reversed_start = false;
        return false;
    }
    return started && !(speed >= 0 && speed < 1.0);
}

bool XrGuidanceModel::count_off_route(bool hold)
{
    if (hold) {
        off_route_count = 0;
        state = STATE_ON_ROUTE;
        return false;
    }
    ++off_route_count;
    if (off_route_count < OFF_ROUTE_FIXES) {
        if (state != STATE_REROUTING)
            state = STATE_ON_ROUTE;
        return false;
    }
    if (state != STATE_REROUTING)
        state = STATE_OFF_ROUTE;
    // Against the route at the start the vehicle is expected to turn: the
    // count alone asks for no new route then.
    return !reversed_start;
}

bool XrGuidanceModel::reroute_test_due(bool hold)
{
    if (hold)
        return false;
    if (reroute_asked_at >= 0 && fix_count - reroute_asked_at < REROUTE_BACKOFF_FIXES)
        return false;
    reroute_asked_at = fix_count;
    return true;
}

// ---- Trip statistics

void XrGuidanceModel::start_trip(std::uint32_t now)
{
    trip_value = 0;
    trip_start = now;
}

long long XrGuidanceModel::get_trip_statistics(std::uint32_t now, int& seconds) const
{
    seconds = static_cast<int>((now - trip_start) / 1000);
    return trip_value;
}

// ---- Route joining

int XrGuidanceModel::find_directive_index(const XrBlockStorage<XrRouteInstructions::XrRouteDirective>& directives,
                                          int segment, bool backward)
{
    const int count = directives.items();
    if (backward) {
        for (int i = count - 1; i >= 0; --i)
            if (static_cast<int>(directives.get_item_ptr(i)->words[6]) <= segment)
                return i;
        return -1;
    }
    for (int i = 0; i < count; ++i)
        if (static_cast<int>(directives.get_item_ptr(i)->words[6]) > segment)
            return i;
    return -1;
}

bool XrGuidanceModel::join_routes(XrGraphAccessor2* graph, XrGeomStorage* roads, XrRouteInstructions* new_route,
                                  XrRouteInstructions* old_route, XrRouteInstructions::XrRouteDirective* junction,
                                  bool converted)
{
    typedef XrRouteInstructions::XrRouteDirective Directive;
    if (new_route == nullptr || old_route == nullptr || new_route == old_route)
        return false;
    const int old_count = old_route->segments.items();
    const int new_count = new_route->segments.items();
    if (old_count == 0 || new_count == 0)
        return false;

    // 1. The first edge both routes share.
    int meet_old = -1, meet_new = -1;
    for (int io = 0; io < old_count && meet_old < 0; ++io) {
        const XrRouteSegment* o = old_route->segments.get_item_ptr(io);
        for (int in = 0; in < new_count; ++in) {
            const XrRouteSegment* n = new_route->segments.get_item_ptr(in);
            if (n->gid == o->gid) {
                meet_new = in;
                meet_old = io;
                if ((n->flags & XrRouteSegment::FLAG_ALONG) != (o->flags & XrRouteSegment::FLAG_ALONG))
                    --meet_old;
                break;
            }
        }
    }
    int new_first = meet_new + 1;
    if (meet_new < 0) {
        // 2. An old edge that the new route's last edge leads onto.
        if (graph == nullptr)
            return false;
        const XrRouteSegment* n0 = new_route->segments.get_item_ptr(0);
        XrGraphAccessor2::XrEdgeData edge;
        const int handle = graph->get_edge_handle_by_gid(n0->x, n0->y, n0->gid);
        if (handle == -1 || graph->get_edge_by_handle(handle, edge) == -1)
            return false;
        std::vector<XrGid> next;
        int h = 0, turn = 0;
        while (graph->get_next_edge_connection(edge, h, turn)) {
            if ((h & 0x800) != 0)
                continue;
            XrGraphAccessor2::XrEdgeData other;
            if (graph->get_edge_by_handle(h, other) != -1)
                next.push_back(other.gid);
        }
        for (int io = old_count - 1; io >= 0 && meet_old < 0; --io) {
            const XrGid g = old_route->segments.get_item_ptr(io)->gid;
            if (std::find(next.begin(), next.end(), g) != next.end())
                meet_old = io;
        }
        if (meet_old < 0)
            return false;
        new_first = 0;
    }
    if (meet_old < 0)
        return false;
    // 3. The old instruction that covers the meeting point.
    const int keep_directive = find_directive_index(old_route->directives, meet_old, true);
    if (keep_directive < 0)
        return false;

    // 4. The joined storages: the old route from its end up to the meeting
    // point, the junction, then the new route back to its start.
    const std::uint32_t old_base = converted ? old_route->directives.get_item_ptr(0)->words[4] : 0;
    auto from_target = [&](std::uint32_t w) { return converted ? old_base - w : w; };

    XrBlockStorage<XrRouteSegment> segments(50);
    XrBlockStorage<Directive> directives(10);
    int old_length = 0;
    for (int i = 0; i <= meet_old; ++i) {
        const XrRouteSegment* s = old_route->segments.get_item_ptr(i);
        segments.add_item(*s);
        old_length += s->length;
    }
    const int kept_old = meet_old + 1;
    for (int i = 0; i <= keep_directive; ++i) {
        Directive d = *old_route->directives.get_item_ptr(i);
        d.words[3] = from_target(d.words[3]);
        d.words[4] = from_target(d.words[4]);
        d.words[10] = 0;
        directives.add_item(d);
    }
    int new_before = 0;
    for (int i = 0; i < new_first; ++i)
        new_before += new_route->segments.get_item_ptr(i)->length;
    const int shift = kept_old - new_first;
    for (int i = new_first; i < new_count; ++i) {
        XrRouteSegment s = *new_route->segments.get_item_ptr(i);
        s.flags &= static_cast<std::uint8_t>(~XrRouteSegment::FLAG_FIRST);
        if (i == new_count - 1)
            s.flags |= new_route->segments.get_item_ptr(i)->flags & XrRouteSegment::FLAG_FIRST;
        segments.add_item(s);
    }
    // The junction instruction, made by the route search's instruction
    // builder from the edges on either side of it.
    Directive turn_here;
    bool has_turn = false;
    if (graph != nullptr && kept_old < segments.items()) {
        XrRouteInstructions beyond;
        for (int i = 0; i + 1 < kept_old; ++i)
            beyond.segments.add_item(*segments.get_item_ptr(i));
        XrDijkstraPath2 search(graph, roads, XrString(), nullptr);
        search.route_mode = old_route->route_mode;
        has_turn = search.junction_instruction(beyond, *segments.get_item_ptr(kept_old),
                                               *segments.get_item_ptr(kept_old - 1), old_length, turn_here);
        if (has_turn) {
            turn_here.words[4] = static_cast<std::uint32_t>(old_length);
            turn_here.words[6] = static_cast<std::uint32_t>(kept_old);
        }
    }
    if (has_turn)
        directives.add_item(turn_here);
    const int first_new_directive = find_directive_index(new_route->directives, new_first - 1, false);
    if (first_new_directive >= 0)
        for (int i = first_new_directive; i < new_route->directives.items(); ++i) {
            Directive d = *new_route->directives.get_item_ptr(i);
            if (static_cast<int>(d.words[6]) < new_first)
                continue;
            d.words[6] = static_cast<std::uint32_t>(static_cast<int>(d.words[6]) + shift);
            d.words[4] = static_cast<std::uint32_t>(static_cast<int>(d.words[4]) - new_before + old_length);
            d.words[10] = 0;
            directives.add_item(d);
        }
    // Chain the instructions: each knows the one before it on the route.
    int total = 0;
    for (int i = 0; i < segments.items(); ++i)
        total += segments.get_item_ptr(i)->length;
    for (int i = 0; i < directives.items(); ++i) {
        Directive* d = directives.get_item_ptr(i);
        if (const Directive* before = directives.get_item_ptr(i + 1)) {
            d->words[3] = before->words[4];
            d->words[5] = before->words[6] - 1;
        } else {
            d->words[3] = static_cast<std::uint32_t>(total);
            d->words[5] = static_cast<std::uint32_t>(segments.items() - 1);
        }
    }
    if (junction != nullptr)
        *junction = has_turn ? turn_here : Directive();

    // 5. The new route takes the joined storages and the old end geometry.
    new_route->segments.clear();
    for (int i = 0; i < segments.items(); ++i)
        new_route->segments.add_item(*segments.get_item_ptr(i));
    new_route->directives.clear();
    for (int i = 0; i < directives.items(); ++i)
        new_route->directives.add_item(*directives.get_item_ptr(i));
    new_route->end_geometry = std::move(old_route->end_geometry);
    new_route->target_x = old_route->target_x;
    new_route->target_y = old_route->target_y;
    new_route->total_length = total;
    return true;
}
