// XrRoadIndex: the road layer's lookup of the roads that lie on the current
// routes (the active one and the others, with the route polylines) and of the
// roads that have traffic, with each traffic road's place on its route.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "common/db/xr_gid.h"
#include "common/geometry/xr_polygon.h"

class XrRouteEdgeSource;

class XrRoadIndex {
public:
    static constexpr int MAX_TRAFFIC_LEVEL = 15;

    void set_route_edges(const XrRouteEdgeSource* const* routes, int count, int active);
    void reset_traffic(unsigned capacity);
    // Level is clamped to 0..15. True when the road lies on a route.
    bool add_traffic_road(unsigned gid, bool along, int level);
    void clear_traffic_road(unsigned gid);
    // The traffic value of a road (0 without one): direction bits 0-1,
    // level in bits 4-7.
    int get_traffic_value(unsigned gid) const;
    bool find_route_edge(unsigned gid, int route, int* position) const;

    bool has_active_route_edges() const { return active_route_edges != nullptr; }
    bool has_other_route_edges() const { return other_route_edges != nullptr; }
    bool has_traffic() const { return traffic_roads != nullptr; }
    bool on_active_route(XrGid gid) const { return active_route_edges && active_route_edges->count(gid) != 0; }
    bool on_other_route(XrGid gid) const { return other_route_edges && other_route_edges->count(gid) != 0; }
    // Two polylines per route (null where a route has none).
    const std::vector<std::unique_ptr<XrPolygon>>& get_route_polylines() const { return route_polylines; }
    int get_active_route() const { return active_route; }

private:
    std::unique_ptr<std::unordered_set<XrGid>> active_route_edges;
    std::unique_ptr<std::unordered_set<XrGid>> other_route_edges;
    std::vector<std::unique_ptr<XrPolygon>> route_polylines;
    int active_route = -1;
    std::unique_ptr<std::unordered_map<XrGid, std::uint8_t>> traffic_roads;
    std::vector<std::unordered_map<XrGid, int>> route_edge_index;
};
