#include "common/graph/xr_dijkstrapath.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

#include "common/db/xr_geomstorage.h"
#include "common/graph/xr_graphlayout.h"
#include "common/graph/xr_routemode.h"

using namespace xr_graph;
using Edge = XrGraphAccessor2::XrEdgeData;

namespace {

constexpr int NOT_SETTLED = XrEdgeHash::NOT_SETTLED;

int strip(int handle)
{
    return handle == NO_EDGE ? NO_EDGE : (handle & ~HANDLE_DIRECTION);
}

int dir_of(int handle)
{
    return (handle & HANDLE_DIRECTION) ? 1 : 0;
}

bool is_wrong_way(int handle)
{
    return (handle & HANDLE_DIRECTION) != 0;
}

// The end of the from edge at which a connection lies matches the travel direction.
bool right_end(int turn, int direction)
{
    return direction ? (turn & TURN_FROM_START) == 0 : (turn & TURN_FROM_START) != 0;
}

} // namespace

// ---- XrEdgeHash ------------------------------------------------------------

XrEdgeHash::XrEdgeHash(std::uint32_t capacity)
{
    // Room for the tables of about a tile per thousand entries at first.
    tables.reserve(std::min<std::uint32_t>(capacity / 1000 + 16, 4096));
}

bool XrEdgeHash::add(int handle, int direction, int pred)
{
    const std::uint32_t h = static_cast<std::uint32_t>(handle);
    const std::size_t t = (h >> 16) * 2 + ((h >> 14) & 1);
    const std::uint32_t i = (h & 0x7FF) * 2 + (direction ? 1 : 0);
    if (t >= tables.size())
        tables.resize(t + 1);
    Table& tb = tables[t];
    if (i >= tb.size) {
        // A tile holds a few hundred edges: start near that.
        std::uint32_t size = tb.size == 0 ? 512 : tb.size;
        while (size <= i)
            size *= 2;
        std::unique_ptr<int[]> slots(new (std::nothrow) int[size]);
        if (!slots)
            return false;
        std::copy(tb.slots.get(), tb.slots.get() + tb.size, slots.get());
        std::fill(slots.get() + tb.size, slots.get() + size, NOT_SETTLED);
        tb.slots = std::move(slots);
        tb.size = size;
    }
    if (tb.slots[i] == NOT_SETTLED)
        ++count;
    tb.slots[i] = pred;
    return true;
}

// ---- XrDijkstraPath2 ---------------------------------------------------------

XrDijkstraPath2::XrDijkstraPath2(XrGraphAccessor2* graph, XrGeomStorage* geometry, const XrString& spill_folder,
                                 XrRoutingParams* p)
    : graph(graph), geometry(geometry), spill_folder(spill_folder), params(p), visit(512), penalties(128, false, 80),
      avoid_points(8)
{
    if (params == nullptr) {
        owned_params.reset(new XrRoutingParams());
        params = owned_params.get();
        if (graph != nullptr)
            graph->read_routing_params(params);
    }
}

XrDijkstraPath2::~XrDijkstraPath2() = default;

XrDijkstraPath2::XrCostTable XrDijkstraPath2::default_cost_table(int mode)
{
    static const std::uint32_t factors[3][8] = {{118, 204, 256, 307, 512, 768, 1536, 1536},
                                                {128, 128, 128, 128, 132, 148, 148, 200},
                                                {512, 128, 128, 128, 128, 128, 128, 128}};
    const int row = mode <= ROUTE_MODE_FASTEST ? 0 : mode == ROUTE_MODE_SHORTEST ? 1 : 2;
    XrCostTable t(8);
    for (int i = 0; i < 8; ++i)
        t[i].factor = factors[row][i];
    return t;
}

unsigned XrDijkstraPath2::penalty_bit(XrGid gid)
{
    // Fibonacci hashing spreads the block and offset parts of a gid over
    // the whole bitmap: gids of one block differ mostly in a few low bits.
    return (gid * 0x9E3779B1u) >> (32 - PENALTY_BITS_LOG2);
}

void XrDijkstraPath2::mark_penalty(XrGid gid)
{
    if (penalty_bits.empty())
        penalty_bits.assign((std::size_t{1} << PENALTY_BITS_LOG2) / 64, 0);
    const unsigned bit = penalty_bit(gid);
    penalty_bits[bit >> 6] |= std::uint64_t{1} << (bit & 63u);
}

void XrDijkstraPath2::add_edge_penalty(XrGid gid, int penalty)
{
    int* old = penalties.find_ptr(static_cast<int>(gid));
    if (old == nullptr) {
        mark_penalty(gid);
        penalties.insert(static_cast<int>(gid), penalty);
        return;
    }
    if (*old == -1 || penalty == -1)
        *old = -1;
    else
        *old += penalty;
}

void XrDijkstraPath2::add_blocked_point(const XrPoint& point, XrGid gid)
{
    avoid_points.append(point);
    add_edge_penalty(gid, -1);
}

int XrDijkstraPath2::penalty_of(XrGid gid) const
{
    if (penalties.get_count() == 0)
        return 0;
    const unsigned bit = penalty_bit(gid);
    if (!penalty_bits.empty() && (penalty_bits[bit >> 6] & (std::uint64_t{1} << (bit & 63u))) == 0)
        return 0;
    const int* p = penalties.find_ptr(static_cast<int>(gid));
    return p ? *p : 0;
}

bool XrDijkstraPath2::allowed(const Edge& e) const
{
    if (e.road_type == ROAD_TYPE_8 && !allow_road_type8)
        return false;
    if (e.road_type == ROAD_TYPE_7 && !allow_road_type7)
        return false;
    if (e.restricted && !allow_restricted)
        return false;
    if (penalty_of(e.gid) == -1)
        return false;
    if (allowed_gids != nullptr && allowed_gids->find_ptr(static_cast<int>(e.gid)) == nullptr)
        return false;
    return true;
}

int XrDijkstraPath2::distance_to(const Edge& e, const XrPoint& p) const
{
    const double d = std::hypot(static_cast<double>(e.x) - p.x, static_cast<double>(e.y) - p.y);
    return d > 2e9 ? 2000000000 : static_cast<int>(d);
}

bool XrDijkstraPath2::near_avoid_point(const Edge& e) const
{
    for (int i = 0; i < avoid_points.get_num_items(); ++i) {
        const XrPoint* p = avoid_points.get_item_ptr(i);
        if (std::llabs(static_cast<long long>(p->x) - e.x) < 1500 && std::llabs(static_cast<long long>(p->y) - e.y) < 1500)
            return true;
    }
    return false;
}

bool XrDijkstraPath2::usable(const Edge& e, bool table_check, bool near_avoid)
{
    if (!pruning)
        return true;
    const int dE = distance_to(e, target_point);
    const int dS = distance_to(e, start_point);
    const int* v = params->values;
    const bool far = params->level_mode == 0 ||
                     (params->level_mode != 1 && static_cast<std::int64_t>(params->level_distance) < dE);
    const bool skip = (v[RV_TARGET_OPEN_RADIUS] != 0 && v[RV_TARGET_OPEN_RADIUS] >= dE) ||
                      (!far && (v[RV_START_RADIUS] >= dS || v[RV_END_RADIUS] >= dE)) || !params->geom_opt ||
                      !table_check;
    if (!skip) {
        const XrRoutingParams::Row* table = nullptr;
        const bool a = (far && e.road_category == 0 && e.road_type >= ROAD_MOTORWAY && e.road_type <= ROAD_RAMP) ||
                       (!far && e.road_category < 3);
        if (a && dE > 20000)
            table = params->table_a;
        else if (params->flag_b && (!graph->get_tile_flag(e.handle) || e.road_category < 2))
            table = params->table_c;
        else
            table = params->table_b;
        const XrRoutingParams::Row* row = nullptr;
        for (std::uint32_t r = 0; r < params->rows_per_table; ++r)
            if (static_cast<std::int64_t>(table[r].distance) < dE)
                row = &table[r];
        if (row != nullptr) {
            const std::int64_t div = static_cast<std::int32_t>(row->divisor);
            const std::int64_t lim = div == -1 ? -(static_cast<std::int64_t>(row->multiplier) * reference)
                                     : div == 0 ? std::numeric_limits<std::int64_t>::max()
                                                : static_cast<std::int64_t>(row->multiplier) * reference / div;
            if (lim < dE)
                return false;
        }
    }
    if (reference > dE && e.road_type != ROAD_TYPE_7)
        reference = dE;
    if (near_avoid || !is_car_route_mode(route_mode) || v[RV_START_OPEN_RADIUS] >= dS || v[RV_END_OPEN_RADIUS] >= dE)
        return true;
    int c = e.road_category;
    if (dS < 15000 && params->flag_b && graph->get_tile_flag(e.handle) && c >= 2)
        c = std::min(c + 1, 6);
    const int limit = category_limits[std::clamp(c, 0, 8)];
    return limit == -1 || dS <= limit || dE <= limit;
}

std::int64_t XrDijkstraPath2::edge_cost(const Edge& e, const XrCostTable& table) const
{
    const std::int64_t half = e.length / 2;
    if (e.speed_class >= table.get_count())
        return half;
    if (e.road_type == ROAD_LENGTH_CHARGED && is_car_route_mode(route_mode))
        return std::max<std::int64_t>(half * 5800, 0) / 128 + 5000;
    std::int64_t f = table[e.speed_class].factor;
    if (e.road_type == ROAD_RAMP && route_mode != ROUTE_MODE_PEDESTRIAN)
        f = f * 11 / 10;
    std::int64_t extra = 0;
    const int p = penalty_of(e.gid);
    if (p != -1 && p != 0) {
        extra = static_cast<std::uint32_t>(p) >> 8;
        if ((p & 255) != 0)
            f = f * 256 / (p & 255);
    }
    return table[e.speed_class].fixed + std::max<std::int64_t>(f * half, 0) / 128 + extra;
}

int XrDijkstraPath2::calc_turn_penalty(const Edge& from, const Edge& to, int turn, bool wrong_way,
                                       int& turn_result) const
{
    turn_result = 0;
    if (!is_car_route_mode(route_mode))
        return 0;
    const int k = turn & TURN_CLASS;
    const int* v = params->values;
    if (wrong_way && k == 3)
        return v[RV_TURN1_PENALTY];
    int sum = 0;
    if (to.road_type == ROAD_ROUNDABOUT && from.road_type != ROAD_ROUNDABOUT)
        sum += v[RV_ROUNDABOUT_PENALTY];
    const int pf = penalty_of(from.gid), pt = penalty_of(to.gid);
    if (pf == 0 && pt != 0 && pt != -1) {
        std::int64_t add = (static_cast<std::int64_t>(static_cast<std::uint32_t>(pt) >> 8)) * 2 + 2000;
        if ((pt & 255) != 0)
            add = add * 256 / (pt & 255);
        sum += static_cast<int>(std::min<std::int64_t>(add, 1 << 30));
    }
    const bool side = (turn & TURN_SIDE) != 0;
    if (from.road_type != ROAD_ROUNDABOUT && to.road_type != ROAD_ROUNDABOUT) {
        const bool minor = from.road_type == ROAD_SLIP || from.road_type == ROAD_RAMP || to.road_type == ROAD_SLIP ||
                           to.road_type == ROAD_RAMP;
        switch (k) {
        case 1:
            sum += minor ? v[RV_MINOR_TURN_PENALTY] : v[RV_TURN1_PENALTY];
            turn_result = minor ? (side ? 3 : 1) : (side ? 4 : 2);
            break;
        case 2:
            sum += v[RV_TURN2_PENALTY];
            turn_result = side ? 4 : 2;
            break;
        case 3:
            sum += v[RV_TURN3_PENALTY];
            turn_result = side ? 4 : 2;
            break;
        default:
            break;
        }
    } else if (k == 3) {
        sum += v[RV_TURN3_PENALTY];
    }
    return sum;
}

bool XrDijkstraPath2::manoeuvre_penalty(const std::vector<int>& edges, int to_handle)
{
    if (route_mode == ROUTE_MODE_PEDESTRIAN || !graph->has_manoeuvres() || edges.empty())
        return false;
    const int from_handle = strip(edges.back());
    const std::uint32_t rf = graph->handle_to_reference(from_handle);
    const std::uint32_t rt = graph->handle_to_reference(to_handle);
    const std::uint32_t* entry = nullptr;
    int count = 0;
    for (int k = 0; k < 16 && graph->find_manoeuvre(rf, rt, k, entry, count); ++k) {
        // Further words: the predecessors of the from edge, one after the
        // other: the edges passed by a chain first, then the settled ones.
        int at = static_cast<int>(edges.size()) - 1;
        int h = from_handle, d = dir_of(edges.back());
        bool match = true;
        for (int w = 2; w < count && match; ++w) {
            if (at > 0) {
                --at;
                h = strip(edges[static_cast<size_t>(at)]);
                d = dir_of(edges[static_cast<size_t>(at)]);
            } else {
                const int pred = edge_hash ? edge_hash->find(h, d) : NOT_SETTLED;
                if (pred < 0) {
                    match = false;
                    break;
                }
                h = strip(pred);
                d = dir_of(pred);
            }
            match = graph->handle_to_reference(h) == entry[w];
        }
        if (match)
            return true;
    }
    return false;
}

bool XrDijkstraPath2::travel_forwards(int handle, int direction, int budget, XrArray<int>& out, bool check_back)
{
    int cur = strip(handle), dir = direction;
    for (int steps = 0; budget > 0 && steps < 1000; ++steps) {
        Edge e;
        if (graph->get_edge_by_handle(cur, e) == NO_EDGE || e.num_connections == 0)
            return true;
        int best = NO_EDGE, best_turn = 0, best_speed = 10;
        int h = 0, turn = 0;
        while (graph->get_next_edge_connection(e, h, turn)) {
            if (is_wrong_way(h) || !right_end(turn, dir) || (turn & TURN_CLASS) != 0)
                continue;
            Edge t;
            if (graph->get_edge_by_handle(strip(h), t) == NO_EDGE)
                continue;
            if (t.speed_class < best_speed) {
                best_speed = t.speed_class;
                best = strip(h);
                best_turn = turn;
            }
        }
        if (best == NO_EDGE)
            return true;
        int last_turn = best_turn;
        if (check_back) {
            Edge t;
            if (graph->get_edge_by_handle(best, t) == NO_EDGE)
                return true;
            bool back = false;
            while (graph->get_next_edge_connection(t, h, turn))
                if (!is_wrong_way(h) && strip(h) == cur) {
                    back = true;
                    last_turn = turn;
                    break;
                }
            if (!back)
                return true;
        }
        out.append((last_turn & TURN_FROM_START) ? best : (best | HANDLE_DIRECTION));
        Edge t;
        graph->get_edge_by_handle(best, t);
        budget -= t.length;
        cur = best;
        dir = (best_turn & TURN_TARGET_DIR) ? 1 : 0;
    }
    return true;
}

bool XrDijkstraPath2::cut_polyline(const XrPolygon& line, const XrPoint& p, bool from_point, XrPolygon& out,
                                   double& length)
{
    XrPoint nearest;
    int index = 0;
    double offset = 0;
    out.clear();
    if (!line.get_nearest_point(p, nearest, nullptr, &offset, &index))
        return false;
    const int n = line.get_point_count();
    XrPoint q;
    if (from_point) {
        out.add_point(nearest);
        for (int i = index + 1; i < n; ++i)
            if (line.get_point(i, q))
                out.add_point(q);
    } else {
        for (int i = 0; i <= index && i < n; ++i)
            if (line.get_point(i, q))
                out.add_point(q);
        out.add_point(nearest);
    }
    length = out.get_length();
    return true;
}

bool XrDijkstraPath2::same_edge_seed_ends(int direction)
{
    // Start and target on one edge: may the seed end the search at once?
    const bool fwd = (start_line_type & 32) != 0;
    const bool back = !fwd && (start_line_type & 64) != 0;
    XrPoint n;
    double so = 0, to = 0;
    const bool ok = start_line.get_nearest_point(start_point, n, nullptr, &so) &&
                    start_line.get_nearest_point(target_point, n, nullptr, &to);
    const bool start_after = ok && so > to;
    if (fwd)
        return direction == 1 && !start_after;
    if (back)
        return direction == 0 && start_after;
    return true;
}

bool XrDijkstraPath2::was_settled(int handle, int direction) const
{
    return edge_hash != nullptr && edge_hash->find(strip(handle), direction) != NOT_SETTLED;
}

bool XrDijkstraPath2::may_descend(const Edge& cur, int target, bool near_avoid) const
{
    // Away from both ends the search stays on the main level.
    if (!pruning || near_avoid || !params->geom_opt || !(cur.handle & HANDLE_MAIN) || (target & HANDLE_MAIN) ||
        target == strip(target_handle))
        return true;
    const int lim = category_limits[4] + cur.length / 2;
    return distance_to(cur, start_point) <= lim || distance_to(cur, target_point) <= lim;
}

bool XrDijkstraPath2::may_enter(const Edge& cur, const Edge& to, bool near_avoid)
{
    if (!allowed(to))
        return false;
    if (major_road != 0 && to.road_category >= 4 && cur.road_category <= 3 && cur.road_type != ROAD_TYPE_7 &&
        to.road_type != ROAD_TYPE_7)
        return false;
    return !params->geom_opt || strip(to.handle) == strip(target_handle) || usable(to, false, near_avoid);
}

int XrDijkstraPath2::collect_candidates(Edge& cur, int dir, bool near_avoid, const int* passed, int num_passed,
                                        XrCandidate* out, int& settled)
{
    int n = 0;
    settled = 0;
    int handles[HEAD0_CONNECTIONS], turns[HEAD0_CONNECTIONS];
    const int num = graph->get_edge_connections(cur, handles, turns);
    for (int k = 0; k < num; ++k) {
        const int h = handles[k], turn = turns[k];
        const bool wrong = is_wrong_way(h);
        if (wrong && route_mode != ROUTE_MODE_PEDESTRIAN)
            continue;
        if (!right_end(turn, dir))
            continue;
        const int th = strip(h);
        bool seen = false;
        for (int i = 0; i < num_passed && !seen; ++i)
            seen = passed[i] == th;
        if (seen || !may_descend(cur, th, near_avoid))
            continue;
        const int tdir = (turn & TURN_TARGET_DIR) ? 1 : 0;
        if (edge_hash->find(th, tdir) != NOT_SETTLED) {
            ++settled;
            continue;
        }
        XrCandidate& c = out[n];
        if (graph->get_edge_by_handle(th, c.edge) == NO_EDGE || !may_enter(cur, c.edge, near_avoid))
            continue;
        c.handle = th;
        c.dir = tdir;
        c.turn = turn;
        c.wrong = wrong;
        if (++n == HEAD0_CONNECTIONS)
            break;
    }
    return n;
}

std::int64_t XrDijkstraPath2::transition_cost(std::int64_t cost, const Edge& from, const Edge& to, int turn, bool wrong,
                                              int run_length, const XrCostTable& table, int& prev_result)
{
    int result = 0;
    std::int64_t c = cost + edge_cost(from, table) + edge_cost(to, table) + calc_turn_penalty(from, to, turn, wrong, result);
    if (is_car_route_mode(route_mode) && run_length < 50 &&
        (from.road_type == ROAD_RAMP || from.road_type == ROAD_TYPE_4)) {
        const int prev = prev_result;
        const bool twice = (prev == 1 && result == 2) || (prev == 2 && (result == 1 || result == 2)) ||
                           (prev == 3 && result == 4) || (prev == 4 && (result == 3 || result == 4));
        if (twice) {
            c += 8LL * params->values[RV_TURN2_PENALTY];
            retry = true;
        }
    }
    prev_result = result;
    if (params->geom_opt && is_car_route_mode(route_mode) && to.road_category > 2 &&
        to.road_category > from.road_category)
        c += params->values[RV_CATEGORY_UP_PENALTY];
    return c;
}

bool XrDijkstraPath2::search_route(const XrCostTable& table)
{
    reference = straight;
    expanded = 0;
    flag_c_at_start = params->flag_c;
    Edge cur;
    XrCandidate cands[HEAD0_CONNECTIONS];
    constexpr int MAX_CHAIN_STEPS = 5;
    int passed[MAX_CHAIN_STEPS + 1];
    for (;;) {
        std::int64_t cost = 0;
        XrVisitInfo* vi = visit.get_first_visit_info(cost);
        if (vi == nullptr)
            return false;
        const int handle = vi->edge_handle;
        const int dir = vi->direction;
        const int pred = vi->pred_handle;
        const int countdown = vi->countdown;
        const int turn_in = vi->byte;
        if (edge_hash->find(handle, dir) != NOT_SETTLED)
            continue;
        if (handle == start_handle && start_budget != 0 && cost >= start_budget && !retry && pred == NO_EDGE) {
            retry = true;
            return false;
        }
        const bool is_seed = pred == NO_EDGE && handle == start_handle;
        if (handle == target_handle) {
            bool done = false;
            if (!start_equals_target) {
                done = true;
            } else if (route_mode == ROUTE_MODE_PEDESTRIAN) {
                done = true;
            } else if (!is_seed) {
                done = true;
            } else {
                Edge e;
                if (graph->get_edge_by_handle(handle, e) == NO_EDGE)
                    return false;
                if (e.end_flag)
                    done = true;
                else {
                    const bool fwd = (start_line_type & 32) != 0;
                    const bool back = !fwd && (start_line_type & 64) != 0;
                    if ((fwd && dir == 0) || (back && dir == 1))
                        continue; // that seed is dropped
                    done = same_edge_seed_ends(dir);
                }
            }
            if (done) {
                if (!edge_hash->add(handle, dir, pred))
                    return false;
                target_handle = handle | (dir ? HANDLE_DIRECTION : 0);
                route_cost = cost;
                end_reached = true;
                if (progress != nullptr && !progress(progress_data, expanded, 0, 0))
                    return false;
                return true;
            }
        }
        if (!(start_equals_target && is_seed) && !edge_hash->add(handle, dir, pred))
            return false;
        if (graph->get_edge_by_handle(handle, cur) == NO_EDGE)
            continue; // a damaged record is skipped (and counted by the reader)
        if (target_set != nullptr && target_set->find_ptr(static_cast<int>(cur.gid)) != nullptr) {
            target_handle = handle | (dir ? HANDLE_DIRECTION : 0);
            route_cost = cost;
            if (start_equals_target && is_seed)
                edge_hash->add(handle, dir, pred);
            return progress == nullptr || progress(progress_data, expanded, 0, 0);
        }
        if (!allowed(cur))
            continue;
        const int popped = handle | (dir ? HANDLE_DIRECTION : 0);
        chain.clear();
        chain.push_back(popped);
        std::int64_t running = cost;
        int run_length = 0;
        int prev_result = turn_in;
        int cur_dir = dir;
        int steps = 0;
        for (;;) {
            if (expanded++ % 10000 == 0 && progress != nullptr &&
                !progress(progress_data, expanded, 0, static_cast<int>(reference)))
                return false;
            const bool near_avoid = near_avoid_point(cur);
            int settled = 0;
            const int n = collect_candidates(cur, cur_dir, near_avoid, passed, steps, cands, settled);
            // A road without a choice is followed at once, without settling
            // its edges.
            if (steps < MAX_CHAIN_STEPS && params->geom_opt && n == 1 && settled == 0 &&
                !(start_equals_target && is_seed) && cur.road_type != ROAD_ROUNDABOUT &&
                cur.road_type != ROAD_TYPE_7 && cands[0].edge.road_type != ROAD_ROUNDABOUT &&
                cands[0].edge.road_type != ROAD_TYPE_7 && cands[0].handle != strip(target_handle)) {
                const XrCandidate& c = cands[0];
                if (!usable(c.edge, flag_c_at_start, near_avoid))
                    break; // the expansion ends: nothing is added
                passed[steps++] = strip(cur.handle);
                run_length += cur.length;
                running = transition_cost(running, cur, c.edge, c.turn, c.wrong, run_length, table, prev_result);
                cur_dir = c.dir;
                cur = c.edge;
                chain.push_back(c.handle | (cur_dir ? HANDLE_DIRECTION : 0));
                continue;
            }
            for (int i = 0; i < n; ++i) {
                const XrCandidate& c = cands[i];
                if (params->geom_opt && c.handle != strip(target_handle) && !usable(c.edge, flag_c_at_start, near_avoid))
                    continue;
                int result = prev_result;
                std::int64_t cc =
                    transition_cost(running, cur, c.edge, c.turn, c.wrong, run_length + cur.length, table, result);
                if (manoeuvre_penalty(chain, c.handle))
                    cc += params->values[RV_TURN3_PENALTY];
                XrVisitInfo* known = visit.find(c.handle, c.dir);
                if (known == nullptr) {
                    XrVisitInfo rec;
                    rec.edge_handle = c.handle;
                    rec.pred_handle = popped;
                    rec.direction = static_cast<std::uint8_t>(c.dir);
                    rec.byte = static_cast<std::uint8_t>(result);
                    rec.countdown = (c.edge.road_type == ROAD_RAMP || c.edge.road_type == ROAD_ROUNDABOUT) ? 30 : 0;
                    visit.add(rec, cc);
                } else if (cc < known->cost) {
                    visit.update_visit_info(c.handle, cc, c.dir);
                    known->pred_handle = popped;
                    known->byte = static_cast<std::uint8_t>(result);
                    known->countdown = countdown < 1 ? 0 : countdown - 1;
                }
            }
            break;
        }
    }
}

bool XrDijkstraPath2::find_route(const XrPoint& start, XrGid sgid, const XrPoint& target, XrGid tgid,
                                 XrRouteInstructions** out, const XrCostTable* costs, int heading, int speed,
                                 bool avoid_ahead, bool end, XrHash<int, int>* tset)
{
    if (out != nullptr)
        *out = nullptr;
    route_cost = 0;
    settled_total = 0;
    attempts = 0;
    start_equals_target = sgid == tgid;
    params->geom_opt = pruning;
    fixed_start_dir = -1;
    fixed_start_gid = 0;
    start_budget = 0;
    retry = false;
    end_reached = false;
    start_point = start;
    target_point = target;
    start_gid = sgid;
    target_gid = tgid;
    straight = static_cast<int>(std::min(2e9, std::hypot(static_cast<double>(start.x) - target.x,
                                                          static_cast<double>(start.y) - target.y)));
    target_set = tset;
    end_flag = end;
    start_side = 0;
    start_handle = graph->get_edge_handle_by_geometry(geometry, sgid, &start_line);
    if (start_handle == NO_EDGE)
        return false;
    {
        std::unique_ptr<XrGeomCursor> cur(geometry->get_cursor(nullptr, 0));
        XrGraphAccessor2::read_polyline(cur.get(), sgid, start_line, &start_line_type);
    }
    const XrCostTable table = costs != nullptr ? *costs : default_cost_table(route_mode);
    if (heading >= 0 && is_car_route_mode(route_mode)) {
        XrPoint n;
        int direction = 0;
        if (start_line.get_nearest_point(start, n, nullptr, nullptr, nullptr, &direction)) {
            int d = std::abs(((heading - direction) % 360 + 360) % 360);
            if (d < 30 || d > 330)
                fixed_start_dir = 1;
            else if (d >= 151 && d < 210)
                fixed_start_dir = 0;
        }
        if (fixed_start_dir >= 0) {
            fixed_start_gid = sgid;
            const int s = speed < 0 ? 150 : speed < 2 ? 400 : speed <= 9 ? 600 : speed <= 14 ? 800
                          : speed <= 19 ? 1000 : speed <= 29 ? 1500 : 2000;
            start_budget = 3LL * s + 2LL * params->values[RV_TURN1_PENALTY];
            if (avoid_ahead && penalties.get_count() > 0) {
                XrArray<int> ahead(8);
                travel_forwards(start_handle, fixed_start_dir, 500, ahead, false);
                for (int i = 0; i < ahead.get_num_items(); ++i) {
                    Edge e;
                    if (graph->get_edge_by_handle(strip(*ahead.get_item_ptr(i)), e) == NO_EDGE || e.gid == sgid)
                        continue;
                    int* p = penalties.find_ptr(static_cast<int>(e.gid));
                    if (p != nullptr && *p != -1)
                        *p *= 5;
                    else if (p == nullptr) {
                        mark_penalty(e.gid);
                        penalties.insert(static_cast<int>(e.gid), 1280);
                    }
                }
            }
        }
        XrPoint m;
        double so = 0, to = 0;
        if (start_line.get_nearest_point(start, m, nullptr, &so) && start_line.get_nearest_point(target, m, nullptr, &to))
            start_side = so < to ? 0 : 128;
    } else if (start_equals_target) {
        // Without a heading the start side of a shared edge still follows
        // the two points, so a route of that edge alone runs between them.
        XrPoint m;
        double so = 0, to = 0;
        if (start_line.get_nearest_point(start, m, nullptr, &so) && start_line.get_nearest_point(target, m, nullptr, &to))
            start_side = so <= to ? 0 : 128;
    }
    target_handle = graph->get_edge_handle_by_geometry(geometry, tgid, &target_line);
    if (target_handle == NO_EDGE)
        return false;
    const int plain_target = target_handle;
    params->table_a = params->a1;
    params->table_b = params->b1;
    params->table_c = params->c1;
    category_limits = params->category_limits1;
    start_budget *= 2;
    const bool saved_c = params->flag_c;
    bool restore_c = saved_c;
    int smallest_reference = -1;
    // Directions the start edge may be left in.
    Edge se;
    if (graph->get_edge_by_handle(start_handle, se) == NO_EDGE)
        return false;
    int allowed_dirs = 3;
    if (!se.end_flag && route_mode != ROUTE_MODE_PEDESTRIAN) {
        const int state = graph->get_edge_end_state(start_handle);
        if (state == 0)
            allowed_dirs = 2; // direction 1 only
        else if (state == 1)
            allowed_dirs = 1;
    }
    bool ok = false;
    for (int stage = 0;; ++attempts) {
        visit.reset();
        target_handle = plain_target;
        for (int d = 0; d < 2; ++d) {
            if (!(allowed_dirs & (1 << d)))
                continue;
            XrVisitInfo seed;
            seed.edge_handle = start_handle;
            seed.pred_handle = NO_EDGE;
            seed.direction = static_cast<std::uint8_t>(d);
            std::int64_t c = 0;
            if (fixed_start_dir >= 0 && d != fixed_start_dir)
                c = start_budget;
            visit.add(seed, c);
        }
        const std::uint32_t capacity = static_cast<std::uint32_t>(
            std::max(1024, params->flag_c ? params->values[RV_HASH_CAPACITY_C] : params->values[RV_HASH_CAPACITY]));
        edge_hash.reset(new XrEdgeHash(capacity));
        const bool found = search_route(table);
        const int settled = static_cast<int>(edge_hash->get_count());
        settled_total += settled;
        if (found) {
            ok = true;
            break;
        }
        edge_hash.reset();
        if (start_budget != 0 && retry && stage == 0) {
            start_budget /= 2;
            graph->free_cache(-1);
            stage = 1;
            continue;
        }
        if (!pruning)
            break;
        if (settled < 6000 && params->flag_c && stage < 2) {
            params->values[RV_START_RADIUS] += 5000;
            params->values[RV_START_OPEN_RADIUS] += 5000;
            graph->free_cache(-1);
            stage = 2;
            continue;
        }
        if (stage < 3 && category_limits != params->category_limits2) {
            params->table_a = params->a2;
            params->table_b = params->b2;
            params->table_c = params->c2;
            category_limits = params->category_limits2;
            graph->free_cache(-1);
            stage = 3;
            continue;
        }
        if (!params->flag_c)
            break;
        if (straight >= params->values[RV_RETRY_MAX_STRAIGHT] || settled >= params->values[RV_RETRY_MAX_SETTLED])
            break;
        if (reference < 200000) {
            params->values[RV_TARGET_OPEN_RADIUS] = reference <= 10000 ? 40000 : static_cast<int>(4 * reference);
            if (smallest_reference < 0 || reference < smallest_reference)
                smallest_reference = static_cast<int>(reference);
            else
                params->flag_c = false;
        } else {
            params->flag_c = false;
        }
        restore_c = true;
        graph->free_cache(-1);
        stage = 4;
        if (attempts > 16)
            break;
    }
    params->flag_c = restore_c ? saved_c || restore_c : saved_c;
    params->flag_c = saved_c;
    if (!ok)
        return false;
    if (!keep_tile_cache)
        graph->free_cache(200);
    XrRouteInstructions* res = nullptr;
    const bool built = build_path(res);
    if (!keep_tile_cache)
        graph->free_cache(-1);
    edge_hash.reset();
    if (!built) {
        delete res;
        return false;
    }
    res->start_x = start.x;
    res->start_y = start.y;
    res->target_x = target.x;
    res->target_y = target.y;
    const XrRouteInstructions::XrRouteDirective* first = res->directives.get_item_ptr(res->directives.items() - 1);
    res->total_length = first ? static_cast<int>(first->words[3]) : 0;
    res->travel_time = 0;
    res->route_mode = route_mode;
    if (out != nullptr)
        *out = res;
    else
        delete res;
    return true;
}
