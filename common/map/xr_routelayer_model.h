// XrGuidanceModel: the route layer's guidance without drawing: the matching
// of a position onto the route, the guidance state, the counting of fixes without progress along the route, the
// decision when a new route is asked for (with its back-off), the trip
// statistics, and the joining of a recalculated route onto the driven one.
#pragma once

#include <cstdint>

#include "common/db/xr_gid.h"
#include "common/geometry/xr_point.h"
#include "common/graph/xr_graphaccessor.h"
#include "common/graph/xr_routeinstructions.h"

class XrGeomStorage;
class XrPolygon;

// The polylines of the route's edges as the matcher reads them (map units).
class XrEdgeLines {
public:
    virtual ~XrEdgeLines() = default;
    // The edge's polyline: the cached one, or read when create; null when
    // there is none.
    virtual XrPolygon* get_line(XrGid gid, bool create, bool pinned) = 0;
    // The box that positions matched onto a cached polyline lie in; null
    // when the line is not cached.
    virtual const XrRectangle* get_match_box(const XrPolygon* line, bool pinned) const = 0;
};

// A position matched onto the route.
struct XrRouteMatch {
    int segment = -1;            // the matched segment's index
    int into = 0;                // metres into it, in driving direction
    int travelled = 0;           // metres from the route's start
    int direction = 0;           // driving direction of the road there, degrees
    int heading_difference = -1; // to the fix's heading (-1 without one)
    XrPoint point;               // the nearest point on the road
};

class XrGuidanceModel {
public:
    // Guidance states.
    enum : int { STATE_ON_ROUTE = 1, STATE_ARRIVED = 2, STATE_REROUTING = 3, STATE_OFF_ROUTE = 4 };
    static constexpr int OFF_ROUTE_FIXES = 10;       // fixes without progress before a new route is asked for
    static constexpr int REROUTE_BACKOFF_FIXES = 10; // fixes between two requests while still off the route
    // The off-route count set when the vehicle drives against the route at
    // the start.
    static constexpr int REVERSED_START_COUNT = 15;

    // Matches position onto the route: the nearest road within search_units
    // (map units; a fifth more on the two fastest road classes), the heading
    // counting a third of its difference (off the route, a reversed one
    // counts as the same). Without a match with the heading, once more
    // without it. False when nothing lies near.
    static bool match_position(const XrRouteInstructions& route, XrEdgeLines& lines, const XrPoint& position,
                               int heading, int search_units, int units_per_metre, bool off_route,
                               XrRouteMatch& out);

    int get_state() const { return state; }
    void set_state(int value) { state = value; }
    int get_off_route_count() const { return off_route_count; }
    bool is_reversed_start() const { return reversed_start; }

    // A new route: on the route, nothing counted, no request made.
    void reset();
    // Every position fix.
    void new_fix() { ++fix_count; }
    // Progress up to travelled metres: fixes that get no further count.
    void mark_progress(int travelled) { off_route_mark = travelled; }
    // The vehicle drives against the route at the start (travelled metres
    // along it): it is off the route, expected to turn. True when it was
    // not off the route before.
    bool reverse_at_start(int travelled);
    // A fix matched onto the route at travelled metres. True when it made
    // no progress and counts as off the route (a standing vehicle neither
    // counts nor resets; a held fix resets).
    bool matched_fix(int travelled, bool started, double speed, bool hold);
    // Counts a fix off the route. True when the count has reached the limit
    // and a new route may be asked for (never against the route at the
    // start, never for a held fix).
    bool count_off_route(bool hold);
    // Whether the rerouting test is due now (one per back-off period); a
    // due test is recorded.
    bool reroute_test_due(bool hold);

    // Trip statistics: the summed traffic value and the trip's start.
    void start_trip(std::uint32_t now);
    void add_trip_value(long long value) { trip_value += value; }
    long long get_trip_statistics(std::uint32_t now, int& seconds) const;

    // Joins new_route onto old_route (see XrRouteLayer::join_routes);
    // converted: the old route's directive distances count from its start.
    static bool join_routes(XrGraphAccessor2* graph, XrGeomStorage* roads, XrRouteInstructions* new_route,
                            XrRouteInstructions* old_route, XrRouteInstructions::XrRouteDirective* junction,
                            bool converted);
    // The directive that applies at a segment, searched from the end
    // (backward) or from the start; -1 when none.
    static int find_directive_index(const XrBlockStorage<XrRouteInstructions::XrRouteDirective>& directives,
                                    int segment, bool backward);

private:
    int state = STATE_ON_ROUTE;
    int off_route_mark = -1;
    int off_route_count = 0;
    bool reversed_start = false;
    // Fixes seen, and the fix of the last rerouting test (-1 none).
    int fix_count = 0;
    int reroute_asked_at = -1;
    long long trip_value = 0;
    std::uint32_t trip_start = 0;
};
