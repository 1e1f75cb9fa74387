// The route search: a label-setting search over directed road edges with
// turn penalties, dynamic penalties, pruning of minor roads far from both
// ends, and retries with relaxed parameters. Costs are 64-bit.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "common/container/xr_array.h"
#include "common/container/xr_hash.h"
#include "common/container/xr_simplestarray.h"
#include "common/container/xr_string.h"
#include "common/db/xr_gid.h"
#include "common/geometry/xr_point.h"
#include "common/graph/xr_graphaccessor.h"
#include "common/graph/xr_routeinstructions.h"
#include "common/graph/xr_routingparams.h"
#include "common/graph/xr_visit_info_hash.h"

class XrGeomStorage;

// Settled edges with their predecessors, keyed by edge and direction. One
// table per tile level of the reader, indexed by edge number, keeps the edges
// of a tile together; the tables grow as the search goes on.
class XrEdgeHash {
public:
    static constexpr int NOT_SETTLED = -2;

    explicit XrEdgeHash(std::uint32_t capacity);
    // pred: the predecessor handle (bit 11 for direction 1), -1 for none.
    // False when no memory is left.
    bool add(int handle, int direction, int pred);
    // The predecessor, or NOT_SETTLED when the edge is not settled in that
    // direction.
    int find(int handle, int direction) const
    {
        const std::uint32_t h = static_cast<std::uint32_t>(handle);
        const std::size_t t = (h >> 16) * 2 + ((h >> 14) & 1);
        if (t >= tables.size())
            return NOT_SETTLED;
        const Table& tb = tables[t];
        const std::uint32_t i = (h & 0x7FF) * 2 + (direction ? 1 : 0);
        return i < tb.size ? tb.slots[i] : NOT_SETTLED;
    }
    std::uint32_t get_count() const { return count; }

private:
    struct Table {
        std::unique_ptr<int[]> slots; // two per edge number: directions 0 and 1
        std::uint32_t size = 0;
    };
    std::vector<Table> tables; // by tile place * 2 + main level
    std::uint32_t count = 0;
};

class XrDijkstraPath2 {
public:
    struct XrSegmentCost {
        std::uint32_t factor = 128; // in 1/128 per length unit
        std::uint32_t fixed = 0;
        std::uint32_t spare = 0;
    };
    using XrCostTable = XrSimplestArray<XrSegmentCost>;
    // Progress: user data, expanded edges, 0, reference distance; false cancels.
    using XrProgress = bool (*)(void* user, int count, int zero, int reference);

    // params null: the search makes its own and reads them from the graph.
    XrDijkstraPath2(XrGraphAccessor2* graph, XrGeomStorage* geometry, const XrString& spill_folder,
                    XrRoutingParams* params);
    ~XrDijkstraPath2();
    XrDijkstraPath2(const XrDijkstraPath2&) = delete;
    XrDijkstraPath2& operator=(const XrDijkstraPath2&) = delete;

    static XrCostTable default_cost_table(int mode);

    void add_edge_penalty(XrGid gid, int penalty);
    void add_blocked_point(const XrPoint& point, XrGid gid);
    void set_geom_opt(bool value) { params->geom_opt = value; }
    // Off: no pruning at all (every usable edge is searched), for reference runs.
    void set_pruning(bool value) { pruning = value; }

    bool find_route(const XrPoint& start, XrGid start_gid, const XrPoint& target, XrGid target_gid,
                    XrRouteInstructions** out, const XrCostTable* costs, int heading, int speed, bool avoid_ahead,
                    bool end_flag, XrHash<int, int>* target_set);

    // Options set before find_route.
    int route_mode = 0;
    bool allow_road_type8 = true;
    bool allow_road_type7 = true;
    bool allow_restricted = true;
    XrProgress progress = nullptr;
    void* progress_data = nullptr;
    XrHash<int, unsigned char>* allowed_gids = nullptr;
    // For measurements only: the tile cache is left as the search filled it
    // instead of being emptied when the route is built.
    bool keep_tile_cache = false;
    // Set: minor roads (category 4 and above) are not entered from major
    // ones (category 3 and below) unless either road has type 7. 0 at
    // construction.
    std::uint16_t major_road = 0;

    // Figures of the last find_route.
    std::int64_t get_route_cost() const { return route_cost; }
    int get_settled_count() const { return settled_total; }
    int get_attempts() const { return attempts; }
    int get_target_handle() const { return target_handle; }
    int get_start_handle() const { return start_handle; }
    // Edges expanded by the last search (chain steps included).
    int get_expanded_count() const { return expanded; }
    // Whether the last attempt settled an edge in a direction (for tests).
    bool was_settled(int handle, int direction) const;

    // The instruction at the junction where a route leaves the edge of
    // segment from for the edge of segment into, made by the same rules as
    // the instructions of a found route; after holds the route's segments
    // beyond into (destination first), distance the route's length from the
    // destination back to the junction. False when the two edges do not
    // connect there or the junction needs no instruction.
    bool junction_instruction(const XrRouteInstructions& after, const XrRouteSegment& from, const XrRouteSegment& into,
                              int distance, XrRouteInstructions::XrRouteDirective& out);

    // Parts of the search, open for tests.
    std::int64_t edge_cost(const XrGraphAccessor2::XrEdgeData& edge, const XrCostTable& table) const;
    int calc_turn_penalty(const XrGraphAccessor2::XrEdgeData& from, const XrGraphAccessor2::XrEdgeData& to,
                          int turn, bool wrong_way, int& turn_result) const;
    bool travel_forwards(int handle, int direction, int budget, XrArray<int>& out, bool check_back);

private:
    // Roundabout state while the route is walked back.
    struct XrRoundabout {
        bool active = false;
        int exits = 0;
        int length = 0;
        XrGid exit_gid = 0;
        int exit_dir = 0;
    };

    // A connection kept while an edge is expanded.
    struct XrCandidate {
        int handle;   // without the direction bit
        int dir;      // direction the target is travelled in
        int turn;
        bool wrong;   // a wrong-way connection (mode 2)
        XrGraphAccessor2::XrEdgeData edge;
    };

    bool search_route(const XrCostTable& table);
    // The connections of an edge that pass the search's rules; settled
    // counts those left out because their target is settled.
    int collect_candidates(XrGraphAccessor2::XrEdgeData& cur, int dir, bool near_avoid, const int* passed,
                           int num_passed, XrCandidate* out, int& settled);
    std::int64_t transition_cost(std::int64_t cost, const XrGraphAccessor2::XrEdgeData& from,
                                 const XrGraphAccessor2::XrEdgeData& to, int turn, bool wrong, int run_length,
                                 const XrCostTable& table, int& prev_result);
    // Whether a connection may be taken from an edge in the route's search,
    // apart from the settled edges; used again to close the gaps of chains.
    bool may_descend(const XrGraphAccessor2::XrEdgeData& cur, int target, bool near_avoid) const;
    bool may_enter(const XrGraphAccessor2::XrEdgeData& cur, const XrGraphAccessor2::XrEdgeData& to, bool near_avoid);
    // The edges between two route edges that a chain step passed without
    // settling them: a depth-first walk of at most ten edges; out gets the
    // edges in route order (handles with bit 11 for direction 1).
    bool build_gaps(std::vector<int>& out, int from, int to, int direction);
    bool make_instruction(XrRouteInstructions* res, const XrGraphAccessor2::XrEdgeData& from,
                          const XrGraphAccessor2::XrEdgeData& to, int turn, int distance);
    // Another road leaves the from edge at the end of the turn (other than to).
    bool other_road(const XrGraphAccessor2::XrEdgeData& from, int to_handle, int turn);
    int measure_roundabout(int handle);
    // Whether the route built so far (the edges after the one being entered)
    // goes on over link roads (type 3) onto a motorway: entering the link is
    // then a merge.
    static bool joins_motorway(const XrRouteInstructions* res);
    // Wrong-way connections at the end of the turn on its side (after the
    // entered one in the record for side bit set, before it otherwise).
    int wrong_ways_on_side(const XrGraphAccessor2::XrEdgeData& from, int to_handle, int turn);
    // Code 17/18: exactly one other road (not wrong-way) leaves there and it
    // has type 2 or 3.
    bool single_minor_road(const XrGraphAccessor2::XrEdgeData& from, int to_handle, int turn);
    // Side roads before the next instruction at a junction without one.
    void note_side_road(XrRouteInstructions* res, const XrGraphAccessor2::XrEdgeData& from,
                        const XrGraphAccessor2::XrEdgeData& to, int turn, int distance);
    bool short_connector(const XrGraphAccessor2::XrEdgeData& road, int turn);
    // Whether another road at the end of a slight turn competes with it.
    bool competes(const XrGraphAccessor2::XrEdgeData& from, int to_handle, int turn);
    bool build_path(XrRouteInstructions*& out);
    bool allowed(const XrGraphAccessor2::XrEdgeData& e) const;
    bool usable(const XrGraphAccessor2::XrEdgeData& e, bool table_check, bool near_avoid);
    int penalty_of(XrGid gid) const;
    int distance_to(const XrGraphAccessor2::XrEdgeData& e, const XrPoint& p) const;
    // chain: the edges of this expansion (handles with bit 11 for direction
    // 1), the popped edge first and the from edge last.
    bool manoeuvre_penalty(const std::vector<int>& chain, int to_handle);
    bool near_avoid_point(const XrGraphAccessor2::XrEdgeData& e) const;
    bool same_edge_seed_ends(int direction);
    // The part of a polyline from the nearest point to p onwards (forward)
    // or up to it; false when it cannot be cut.
    static bool cut_polyline(const XrPolygon& line, const XrPoint& p, bool from_point, XrPolygon& out,
                             double& length);

    XrGraphAccessor2* graph;
    XrGeomStorage* geometry;
    XrString spill_folder;
    std::unique_ptr<XrRoutingParams> owned_params;
    XrRoutingParams* params;
    XrVisitInfoHash visit;
    std::unique_ptr<XrEdgeHash> edge_hash;
    XrHash<int, int> penalties;
    // One bit per hashed gid of a penalised edge (2^16 bits, 8 KiB): most
    // edges are passed without a hash lookup.
    static constexpr unsigned PENALTY_BITS_LOG2 = 16;
    std::vector<std::uint64_t> penalty_bits;
    static unsigned penalty_bit(XrGid gid);
    void mark_penalty(XrGid gid);
    XrArray<XrPoint> avoid_points;
    XrHash<int, int>* target_set = nullptr;
    bool pruning = true;

    XrPoint start_point, target_point;
    int straight = 0;
    int start_handle = -1;
    int target_handle = -1;
    XrGid start_gid = 0, target_gid = 0;
    int fixed_start_dir = -1; // -1 free, 0 against, 1 along
    XrGid fixed_start_gid = 0;
    std::int64_t start_budget = 0;
    bool start_equals_target = false;
    int start_side = 0;
    bool end_flag = false;
    bool end_reached = false;
    bool retry = false;
    std::int64_t reference = 0;
    bool flag_c_at_start = true;
    const int* category_limits = nullptr;
    std::int64_t route_cost = 0;
    int settled_total = 0;
    int attempts = 0;
    int expanded = 0;
    XrPolygon start_line{true};
    XrPolygon target_line{true};
    int start_line_type = 0;
    XrRoundabout roundabout;
    int side_roads = 0;                // junctions recorded for the next instruction
    bool last_made_sharp = false;      // the junction before made a class 2 or 3 instruction
    std::vector<int> chain;
};
