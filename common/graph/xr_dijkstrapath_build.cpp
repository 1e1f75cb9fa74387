// Turning a finished search into a route: segments and instructions, from
// the target back to the start.
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <set>

#include "common/db/xr_geomstorage.h"
#include "common/graph/xr_dijkstrapath.h"
#include "common/graph/xr_graphlayout.h"
#include "common/graph/xr_routemode.h"

using namespace xr_graph;
using Edge = XrGraphAccessor2::XrEdgeData;
using Directive = XrRouteInstructions::XrRouteDirective;

namespace {

int strip(int handle)
{
    return handle & ~HANDLE_DIRECTION;
}

int dir_of_handle(int handle)
{
    return (handle & HANDLE_DIRECTION) ? 1 : 0;
}

bool is_type(int t, int a, int b)
{
    return t == a || t == b;
}

constexpr int NOT_SETTLED_PRED = -2;

// The turn byte of the connection by which an edge left in direction pdir
// enters edge cur in direction dir; -1 when there is none. Where both ends of
// an edge meet cur (a loop, or a start edge turned at a fixed heading), the
// end bit that agrees with pdir picks the connection the search drove.
int connection_turn(XrGraphAccessor2* graph, Edge from, int pdir, int cur, int dir)
{
    from.connection_cursor = from.first_connection;
    from.connections_read = 0;
    int h = 0, t = 0;
    while (graph->get_next_edge_connection(from, h, t)) {
        if (strip(h) != cur || ((t & TURN_TARGET_DIR) ? 1 : 0) != dir)
            continue;
        if (pdir ? (t & TURN_FROM_START) != 0 : (t & TURN_FROM_START) == 0)
            continue;
        return t;
    }
    return -1;
}

} // namespace

bool XrDijkstraPath2::other_road(const Edge& from, int to_handle, int turn)
{
    Edge e = from;
    e.connection_cursor = e.first_connection;
    e.connections_read = 0;
    int h = 0, t = 0;
    while (graph->get_next_edge_connection(e, h, t)) {
        if ((t & TURN_FROM_START) != (turn & TURN_FROM_START) || strip(h) == strip(to_handle))
            continue;
        if ((h & HANDLE_DIRECTION) && route_mode != ROUTE_MODE_PEDESTRIAN)
            continue;
        if (is_car_route_mode(route_mode)) {
            Edge o;
            if (graph->get_edge_by_handle(strip(h), o) == NO_EDGE || o.road_type == ROAD_LENGTH_CHARGED)
                continue;
        }
        return true;
    }
    return false;
}

int XrDijkstraPath2::measure_roundabout(int handle)
{
    std::set<int> seen;
    int total = 0;
    int cur = strip(handle);
    for (int steps = 0; steps < 256; ++steps) {
        if (seen.count(cur))
            return total;
        seen.insert(cur);
        Edge e;
        if (graph->get_edge_by_handle(cur, e) == NO_EDGE || e.road_type != ROAD_ROUNDABOUT)
            return 0;
        total += e.length;
        int next = NO_EDGE, h = 0, t = 0;
        while (graph->get_next_edge_connection(e, h, t)) {
            if (h & HANDLE_DIRECTION)
                continue;
            Edge o;
            if (graph->get_edge_by_handle(strip(h), o) != NO_EDGE && o.road_type == ROAD_ROUNDABOUT)
                next = strip(h);
        }
        if (next == NO_EDGE)
            return 0;
        cur = next;
    }
    return 0;
}

bool XrDijkstraPath2::joins_motorway(const XrRouteInstructions* res)
{
    // The segments run from the route's end: the last one stored is the edge
    // after the one being entered.
    for (int i = res->segments.items() - 1; i >= 0; --i) {
        const int type = res->segments.get_item_ptr(i)->road_type();
        if (type == 3)
            continue;
        return type == ROAD_MOTORWAY;
    }
    return false;
}

int XrDijkstraPath2::wrong_ways_on_side(const Edge& from, int to_handle, int turn)
{
    Edge e = from;
    e.connection_cursor = e.first_connection;
    e.connections_read = 0;
    int h = 0, t = 0, n = 0;
    bool after = false;
    const bool side = (turn & TURN_SIDE) != 0;
    while (graph->get_next_edge_connection(e, h, t)) {
        if ((t & TURN_FROM_START) != (turn & TURN_FROM_START))
            continue;
        if (strip(h) == strip(to_handle) && !(h & HANDLE_DIRECTION) &&
            (t & TURN_TARGET_DIR) == (turn & TURN_TARGET_DIR)) {
            after = true;
            continue;
        }
        if ((h & HANDLE_DIRECTION) && after == side)
            ++n;
    }
    return n;
}

bool XrDijkstraPath2::single_minor_road(const Edge& from, int to_handle, int turn)
{
    Edge e = from;
    e.connection_cursor = e.first_connection;
    e.connections_read = 0;
    int h = 0, t = 0, n = 0, type = -1;
    while (graph->get_next_edge_connection(e, h, t)) {
        if ((t & TURN_FROM_START) != (turn & TURN_FROM_START) || (h & HANDLE_DIRECTION) ||
            strip(h) == strip(to_handle))
            continue;
        Edge o;
        if (++n > 1 || graph->get_edge_by_handle(strip(h), o) == NO_EDGE)
            return false;
        type = o.road_type;
    }
    return n == 1 && is_type(type, 2, 3);
}

bool XrDijkstraPath2::short_connector(const Edge& road, int turn)
{
    if (road.length > 30)
        return false;
    Edge e = road;
    e.connection_cursor = e.first_connection;
    e.connections_read = 0;
    int h = 0, t = 0;
    bool turning = false;
    while (graph->get_next_edge_connection(e, h, t)) {
        if ((t & TURN_FROM_START) == (turn & TURN_FROM_START) || strip(h) == strip(road.handle))
            continue;
        const int k = (t >> TURN_KIND_SHIFT) & TURN_KIND_MASK;
        if (k == 0 || k == 1)
            return false;
        turning = turning || k == 2 || k == 5 || k == 6;
    }
    return turning;
}

bool XrDijkstraPath2::competes(const Edge& from, int to_handle, int turn)
{
    const bool side = (turn & TURN_SIDE) != 0;
    Edge e = from;
    e.connection_cursor = e.first_connection;
    e.connections_read = 0;
    int h = 0, t = 0;
    while (graph->get_next_edge_connection(e, h, t)) {
        if ((t & TURN_FROM_START) != (turn & TURN_FROM_START) || strip(h) == strip(to_handle))
            continue;
        const int k = (t >> TURN_KIND_SHIFT) & TURN_KIND_MASK;
        const int cls = t & TURN_CLASS;
        const bool other_side = ((t & TURN_SIDE) != 0) != side;
        if (cls == 1 && k == 2 && other_side)
            continue;
        if ((h & HANDLE_DIRECTION) && k == 2 && (cls == 2 || cls == 3))
            continue;
        if (k == 0) {
            // A short road that only bends away to the other side.
            Edge o;
            if (graph->get_edge_by_handle(strip(h), o) != NO_EDGE && o.road_type == ROAD_TYPE_4 && o.length < 26) {
                const int far_dir = (t & TURN_TARGET_DIR) ? 1 : 0;
                bool away = true;
                int oh = 0, ot = 0;
                while (away && graph->get_next_edge_connection(o, oh, ot)) {
                    if (far_dir ? (ot & TURN_FROM_START) != 0 : (ot & TURN_FROM_START) == 0)
                        continue;
                    const int ok = (ot >> TURN_KIND_SHIFT) & TURN_KIND_MASK;
                    if ((oh & HANDLE_DIRECTION) && ok == 2)
                        continue;
                    away = (ot & TURN_CLASS) == 1 && ok == 2 && ((ot & TURN_SIDE) != 0) != side;
                }
                if (away)
                    continue;
            }
        }
        return true;
    }
    return false;
}

void XrDijkstraPath2::note_side_road(XrRouteInstructions* res, const Edge& from, const Edge& to, int turn,
                                     int distance)
{
    Directive* next = res->directives.get_item_ptr(res->directives.items() - 1);
    if (next == nullptr || side_roads >= 2)
        return;
    const std::uint32_t code = next->code();
    int side = -1; // -1: either side
    switch (code) {
    case 2: case 3: case 10: case 15: case 17: case 19:
        side = 0;
        break;
    case 4: case 5: case 11: case 16: case 18: case 20:
        side = 1;
        break;
    case 1: case 8: case 9:
        break;
    default:
        return;
    }
    const int summed = distance - static_cast<int>(next->words[4]);
    const bool near_keep = code == XrRouteInstructions::CODE_KEEP && summed <= 60;
    const bool short_entered = is_type(to.road_type, 3, 4) && to.length < 25;
    if (short_entered && near_keep)
        return;
    Edge e = from;
    e.connection_cursor = e.first_connection;
    e.connections_read = 0;
    int h = 0, t = 0;
    int found = NO_EDGE, found_turn = 0;
    bool ferry = false;
    while (graph->get_next_edge_connection(e, h, t)) {
        if ((t & TURN_FROM_START) != (turn & TURN_FROM_START) || strip(h) == strip(to.handle) ||
            strip(h) == strip(from.handle))
            continue;
        const bool on_side = side < 0 || ((t & TURN_SIDE) != 0) == (side == 1);
        if (!on_side)
            continue;
        if (!ferry) {
            Edge o;
            ferry = graph->get_edge_by_handle(strip(h), o) != NO_EDGE && o.road_type == ROAD_LENGTH_CHARGED;
        }
        const int k = (t >> TURN_KIND_SHIFT) & TURN_KIND_MASK;
        if (found != NO_EDGE || k == 0 || (k == 6 && (t & TURN_CLASS) == 3))
            continue;
        if ((h & HANDLE_DIRECTION) && short_entered)
            continue;
        if (k == 7 && near_keep)
            continue;
        found = strip(h);
        found_turn = t;
    }
    if (found == NO_EDGE)
        return;
    if (side_roads == 0) {
        next->words[7] = static_cast<std::uint32_t>(summed);
        Edge road;
        const bool connector = graph->get_edge_by_handle(found, road) != NO_EDGE && short_connector(road, found_turn);
        next->words[9] = (ferry || connector) ? 1 : 0;
    } else {
        next->words[8] = static_cast<std::uint32_t>(summed);
    }
    ++side_roads;
}

bool XrDijkstraPath2::make_instruction(XrRouteInstructions* res, const Edge& from, const Edge& to, int turn,
                                       int distance)
{
    const int k = (turn >> TURN_KIND_SHIFT) & TURN_KIND_MASK;
    const bool s = (turn & TURN_SIDE) != 0;
    const int cls = turn & TURN_CLASS;
    const int tf = from.road_type, tt = to.road_type;
    const bool sharp_before = last_made_sharp;
    last_made_sharp = false;
    std::uint32_t code = 0, w2 = 0, w3 = 0;
    int roundabout_length = -1; // the length driven, for word 8 of the exit instruction
    Directive* next = res->directives.get_item_ptr(res->directives.items() - 1);
    if (tf == ROAD_ROUNDABOUT && tt != ROAD_ROUNDABOUT && k == 4) {
        code = 14;
        roundabout = XrRoundabout();
        roundabout.active = true;
        roundabout.length = from.length;
        roundabout.exit_gid = to.gid;
        roundabout.exit_dir = (turn & TURN_TARGET_DIR) ? 1 : 0;
    } else if (tt == ROAD_ROUNDABOUT && tf != ROAD_ROUNDABOUT && k == 4) {
        code = 13;
        const int whole = measure_roundabout(to.handle);
        const int angle = whole > 0 ? static_cast<int>(360LL * roundabout.length / whole) % 361 : 0;
        w2 = static_cast<std::uint32_t>(roundabout.exits & 0xFFFF) | static_cast<std::uint32_t>(angle & 0x7FFF) << 16 |
             (roundabout.exit_dir ? 0x80000000u : 0);
        w3 = roundabout.exit_gid;
        roundabout_length = roundabout.length;
        roundabout = XrRoundabout();
    } else if (tf == ROAD_ROUNDABOUT && tt == ROAD_ROUNDABOUT) {
        // Inside the roundabout: count the exits passed.
        if (!roundabout.active) {
            roundabout = XrRoundabout();
            roundabout.active = true;
            roundabout.exit_gid = to.gid;
            roundabout.exit_dir = (turn & TURN_TARGET_DIR) ? 1 : 0;
        }
        const int before = roundabout.length;
        roundabout.length += from.length;
        Edge e = from;
        e.connection_cursor = e.first_connection;
        e.connections_read = 0;
        int h = 0, t = 0;
        while (graph->get_next_edge_connection(e, h, t)) {
            if ((h & HANDLE_DIRECTION) && route_mode != ROUTE_MODE_PEDESTRIAN)
                continue;
            if ((t & TURN_FROM_START) != (turn & TURN_FROM_START))
                continue;
            if (((t >> TURN_KIND_SHIFT) & TURN_KIND_MASK) == 4 && (t & TURN_CLASS) != 3) {
                Edge o;
                if (is_car_route_mode(route_mode) &&
                    (graph->get_edge_by_handle(strip(h), o) == NO_EDGE || o.road_type == ROAD_LENGTH_CHARGED))
                    continue;
                if (++roundabout.exits == 1 && next != nullptr && next->words[7] == 0)
                    next->words[7] = static_cast<std::uint32_t>(before);
                break;
            }
        }
        return false;
    } else if (is_type(tf, ROAD_MOTORWAY, ROAD_TYPE_8) && k == 4) {
        code = s ? 9 : 8;
    } else if (tt == 3 && !is_type(tf, ROAD_MOTORWAY, ROAD_TYPE_8) && k == 4 && joins_motorway(res)) {
        // Onto a slip road that joins a motorway: a merge, not an exit. A
        // keep (slight) or a turn (sharp) to the side of the slip road.
        code = cls >= 2 ? (s ? 5 : 3) : (s ? 18 : 17);
    } else if (is_type(tt, 3, ROAD_TYPE_8) && !is_type(tf, ROAD_MOTORWAY, ROAD_TYPE_8) && k == 4) {
        code = is_type(tf, 2, 3) && cls == 0 ? (s ? 16 : 15) : (s ? 11 : 10);
    } else if (k == 3) {
        code = s ? 16 : 15;
    } else if (k == 7) {
        code = s ? 20 : 19;
    } else if (k == 1) {
        code = 1;
        if (!is_type(tf, 2, 3) && !is_type(tt, 2, 3) && single_minor_road(from, to.handle, turn))
            code = s ? 18 : 17;
    } else if (k == 2 || k == 5 || k == 6) {
        int count = k == 5 ? 1 : k == 6 ? 2 : 0;
        if (count > 0)
            count = std::max(0, count - wrong_ways_on_side(from, to.handle, turn));
        if (cls == 3)
            count = 0;
        if (count > 0) {
            code = s ? 5 : 3;
            w2 = static_cast<std::uint32_t>(count);
        } else if (cls == 0) {
            if (other_road(from, to.handle, turn))
                code = is_type(tt, 2, 3) ? (s ? 5 : 3) : (s ? 4 : 2);
        } else {
            code = s ? 5 : 3;
            if (cls == 1 && !competes(from, to.handle, turn))
                w3 = 1;
        }
    }
    if (code == 0) {
        note_side_road(res, from, to, turn, distance);
        return false;
    }
    const int segs = res->segments.items();
    const bool adjacent = next != nullptr && static_cast<int>(next->words[6]) == segs;
    const std::uint32_t nc = next != nullptr ? next->code() : 0;
    auto in = [](std::uint32_t c, std::initializer_list<std::uint32_t> set) {
        for (std::uint32_t x : set)
            if (c == x)
                return true;
        return false;
    };
    if (is_type(tt, 2, 3) && nc != 0) {
        // Two turns in quick succession onto and off a link road become one.
        if (to.length <= 49 && !sharp_before && adjacent) {
            bool fused = true;
            if (in(code, {16, 18}) && in(nc, {4, 5}))
                code = 20;
            else if (in(code, {15, 17}) && in(nc, {2, 3}))
                code = 19;
            else if (!((code == 11 && in(nc, {4, 5})) || (code == 10 && in(nc, {2, 3})) || code == nc ||
                       (in(code, {16, 18, 4, 20}) && nc == 5) || (in(code, {15, 17, 2, 19}) && nc == 3)))
                fused = false;
            if (fused)
                next->words[0] = 0;
        }
    } else if (next != nullptr && to.length < 5 && adjacent && ((code == 3 && nc == 5) || (code == 5 && nc == 3))) {
        // Two short opposite turns in a row cancel out.
        next->words[0] = 0;
        return false;
    } else if (next != nullptr && (is_type(tt, 3, 4) || tt == ROAD_TYPE_8) && to.length <= 29 && adjacent) {
        if (code == nc && cls == 1 && next->words[1] == 0) {
            code = 6;
            next->words[0] = 0;
        }
        if ((in(next->code(), {10, 11}) && in(code, {3, 5, 15, 16, 17, 18})) ||
            (in(next->code(), {3, 5}) && in(code, {15, 16})))
            next->words[0] = 0;
    }
    Directive d;
    d.words[0] = code;
    d.words[1] = w2;
    d.words[2] = w3;
    d.words[4] = static_cast<std::uint32_t>(distance);
    d.words[6] = static_cast<std::uint32_t>(segs + 1);
    last_made_sharp = cls == 2 || cls == 3;
    side_roads = 0;
    if (next != nullptr) {
        next->words[3] = static_cast<std::uint32_t>(distance);
        next->words[5] = static_cast<std::uint32_t>(segs);
        if (roundabout_length >= 0 && next->words[7] == 0)
            next->words[7] = static_cast<std::uint32_t>(roundabout_length);
        const std::uint32_t summed = static_cast<std::uint32_t>(distance - static_cast<int>(next->words[4]));
        if (next->words[7] == 0)
            next->words[7] = summed;
        else if (next->words[8] == 0)
            next->words[8] = summed > next->words[7] + 30 ? summed : 0;
        // A keep-lane instruction just ahead of a new one goes.
        if (next->words[0] == XrRouteInstructions::CODE_KEEP && static_cast<int>(next->words[4]) + 99 >= distance &&
            res->directives.items() >= 2) {
            res->directives.add_item(d, res->directives.items() - 1);
            return true;
        }
    }
    res->directives.add_item(d);
    return true;
}

bool XrDijkstraPath2::junction_instruction(const XrRouteInstructions& after, const XrRouteSegment& from,
                                           const XrRouteSegment& into, int distance,
                                           XrRouteInstructions::XrRouteDirective& out)
{
    const int fh = graph->get_edge_handle_by_gid(from.x, from.y, from.gid);
    const int th = graph->get_edge_handle_by_gid(into.x, into.y, into.gid);
    Edge f, t;
    if (fh == NO_EDGE || th == NO_EDGE || graph->get_edge_by_handle(strip(fh), f) == NO_EDGE ||
        graph->get_edge_by_handle(strip(th), t) == NO_EDGE)
        return false;
    // The connection at the end of from that the route leaves by, into the
    // direction in which into is driven.
    const int leave_end = (from.flags & XrRouteSegment::FLAG_ALONG) != 0 ? 0 : TURN_FROM_START;
    const int enter_dir = (into.flags & XrRouteSegment::FLAG_ALONG) != 0 ? TURN_TARGET_DIR : 0;
    int turn = -1;
    Edge e = f;
    int h = 0, tb = 0;
    while (graph->get_next_edge_connection(e, h, tb)) {
        if (strip(h) != strip(th) || (tb & TURN_FROM_START) != leave_end)
            continue;
        if ((h & HANDLE_DIRECTION) && route_mode != ROUTE_MODE_PEDESTRIAN)
            continue;
        if ((tb & TURN_TARGET_DIR) == enter_dir)
            turn = tb;
    }
    if (turn < 0)
        return false;
    // The instruction is made as while building a route: the edges beyond
    // into are in place, no instruction of theirs is fused with it.
    XrRouteInstructions res;
    for (int i = 0; i < after.segments.items(); ++i)
        res.segments.add_item(*after.segments.get_item_ptr(i));
    roundabout = XrRoundabout();
    last_made_sharp = false;
    side_roads = 0;
    if (!make_instruction(&res, f, t, turn, distance) || res.directives.items() == 0)
        return false;
    out = *res.directives.get_item_ptr(res.directives.items() - 1);
    return out.code() != 0;
}

bool XrDijkstraPath2::build_gaps(std::vector<int>& out, int from, int to, int direction)
{
    out.clear();
    if (!params->geom_opt)
        return false;
    int visited = 0;
    std::vector<int> path;
    // The edge sought is looked for among all connections of an edge before
    // the walk goes deeper; chains are at most five steps long.
    auto walk = [&](auto& self, int h, int depth) -> bool {
        if (++visited > 10)
            return false;
        Edge e;
        if (graph->get_edge_by_handle(strip(h), e) == NO_EDGE)
            return false;
        const bool near_avoid = near_avoid_point(e);
        int next[HEAD0_CONNECTIONS];
        int n = 0;
        int c = 0, turn = 0;
        while (graph->get_next_edge_connection(e, c, turn)) {
            if ((c & HANDLE_DIRECTION) && route_mode != ROUTE_MODE_PEDESTRIAN)
                continue;
            if (dir_of_handle(h) ? (turn & TURN_FROM_START) != 0 : (turn & TURN_FROM_START) == 0)
                continue;
            const int th = strip(c);
            if (!may_descend(e, th, near_avoid))
                continue;
            const int tdir = (turn & TURN_TARGET_DIR) ? 1 : 0;
            if (th == strip(to) && tdir == direction)
                return true;
            Edge t;
            if (depth >= 5 || th == strip(from) || graph->get_edge_by_handle(th, t) == NO_EDGE ||
                !may_enter(e, t, near_avoid))
                continue;
            bool seen = false;
            for (int p : path)
                seen = seen || strip(p) == th;
            if (!seen && n < HEAD0_CONNECTIONS)
                next[n++] = th | (tdir ? HANDLE_DIRECTION : 0);
        }
        for (int i = 0; i < n && visited < 10; ++i) {
            path.push_back(next[i]);
            if (self(self, next[i], depth + 1))
                return true;
            path.pop_back();
        }
        return false;
    };
    if (!walk(walk, from, 0))
        return false;
    out = path;
    return true;
}

bool XrDijkstraPath2::build_path(XrRouteInstructions*& out)
{
    out = new XrRouteInstructions();
    XrRouteInstructions* res = out;
    roundabout = XrRoundabout();
    side_roads = 0;
    last_made_sharp = false;
    Directive dest;
    dest.words[0] = XrRouteInstructions::CODE_DESTINATION;
    res->directives.add_item(dest);
    int cur = strip(target_handle);
    int dir = (target_handle & HANDLE_DIRECTION) ? 1 : 0;
    int distance = 0;
    std::vector<int> pending; // predecessors found by closing a gap, nearest last
    int last_turn = -1;       // the turn by which the route leaves the current edge
    bool turned_ahead = false;
    const int limit = settled_total + expanded + 4;
    for (int steps = 0; steps <= limit; ++steps) {
        Edge e;
        if (graph->get_edge_by_handle(cur, e) == NO_EDGE)
            return false;
        XrRouteSegment seg;
        seg.gid = e.gid;
        seg.x = e.x;
        seg.y = e.y;
        seg.length = e.length < 0 ? 1 : e.length;
        seg.flags = static_cast<std::uint8_t>((graph->get_tile_flag(cur) ? XrRouteSegment::FLAG_TILE : 0) |
                                              (e.restricted ? XrRouteSegment::FLAG_RESTRICTED : 0) |
                                              (dir ? XrRouteSegment::FLAG_ALONG : 0) |
                                              (e.end_flag ? 0 : XrRouteSegment::FLAG_NOT_END));
        seg.kind = static_cast<std::uint8_t>((e.speed_class & 7) | (e.road_type & 15) << 3);
        int pred = NOT_SETTLED_PRED;
        if (!pending.empty()) {
            pred = pending.back();
            pending.pop_back();
        } else if (steps > 0 && start_equals_target && cur == start_handle) {
            // The start edge reached a second time, after a loop back to
            // the target on it: the seed, driven in its own direction. Its
            // entry in the table belongs to the target's visit.
            pred = NO_EDGE;
        } else {
            pred = edge_hash->find(cur, dir);
        }
        if (pred < 0 && !turned_ahead && fixed_start_gid != 0 && e.gid == fixed_start_gid && last_turn >= 0 &&
            ((last_turn & TURN_FROM_START) ? 1 : 0) == fixed_start_dir) {
            // The route leaves the start edge behind the driver: it begins
            // with the roads straight ahead, driven back to the start edge.
            turned_ahead = true;
            graph->free_cache(-1);
            XrArray<int> ahead(8);
            travel_forwards(cur, fixed_start_dir, 300, ahead, true);
            const int n = ahead.get_num_items();
            if (n > 0) {
                pending.push_back(NO_EDGE); // the last one listed has no predecessor
                for (int i = n - 1; i >= 1; --i)
                    pending.push_back(*ahead.get_item_ptr(i));
                pred = *ahead.get_item_ptr(0);
            }
        }
        const bool is_first = pred < 0;
        const bool last_edge = steps == 0;
        const bool ends_at_target =
            last_edge && (end_reached || end_flag) && cur == strip(target_handle) && e.gid == target_gid;
        // A route of the start edge alone: the start side says which way it
        // is driven, and it runs from the start point to the target point.
        const bool one_edge = ends_at_target && is_first && start_equals_target && !turned_ahead;
        if (one_edge) {
            dir = start_side ? 0 : 1;
            seg.flags = static_cast<std::uint8_t>((seg.flags & ~XrRouteSegment::FLAG_ALONG) |
                                                  (dir ? XrRouteSegment::FLAG_ALONG : 0));
        }
        if (ends_at_target) {
            // The driven part of the last edge ends at the target point.
            std::unique_ptr<XrPolygon> part(new XrPolygon(true));
            double len = 0;
            if (cut_polyline(target_line, target_point, dir == 0, *part, len)) {
                res->end_geometry = std::move(part);
                seg.length = static_cast<int>(len);
            }
        }
        if (!is_first) {
            const int ph = strip(pred);
            const int pdir = (pred & HANDLE_DIRECTION) ? 1 : 0;
            Edge pe;
            if (graph->get_edge_by_handle(ph, pe) == NO_EDGE)
                return false;
            int turn = connection_turn(graph, pe, pdir, cur, dir);
            if (turn < 0) {
                // A chain joined the two: the edges it passed come in between.
                std::vector<int> gap;
                if (!build_gaps(gap, pred, cur, dir) || gap.empty())
                    return false;
                pending.push_back(pred);
                pending.insert(pending.end(), gap.begin(), gap.end() - 1);
                pred = gap.back();
                if (graph->get_edge_by_handle(strip(pred), pe) == NO_EDGE)
                    return false;
                turn = connection_turn(graph, pe, dir_of_handle(pred), cur, dir);
                if (turn < 0)
                    return false;
            }
            distance += seg.length;
            make_instruction(res, pe, e, turn, distance);
            last_turn = turn;
        } else {
            seg.flags |= XrRouteSegment::FLAG_FIRST;
            if (turned_ahead) {
                // Driven whole: no start geometry.
            } else {
                std::unique_ptr<XrPolygon> part(new XrPolygon(true));
                double len = 0;
                if (cut_polyline(start_line, start_point, dir == 1, *part, len)) {
                    seg.length = static_cast<int>(len);
                    res->start_geometry = std::move(part);
                }
                if (one_edge) {
                    // Only the stretch between the two points is driven.
                    XrPoint n;
                    double so = 0, to = 0;
                    if (start_line.get_nearest_point(start_point, n, nullptr, &so) &&
                        start_line.get_nearest_point(target_point, n, nullptr, &to))
                        seg.length = static_cast<int>(std::fabs(to - so));
                }
            }
            distance += seg.length;
        }
        res->segments.add_item(seg);
        if (is_first) {
            Directive* first = res->directives.get_item_ptr(res->directives.items() - 1);
            first->words[3] = static_cast<std::uint32_t>(distance);
            first->words[5] = static_cast<std::uint32_t>(res->segments.items() - 1);
            return true;
        }
        cur = strip(pred);
        dir = (pred & HANDLE_DIRECTION) ? 1 : 0;
    }
    return false; // a loop in the predecessors
}
