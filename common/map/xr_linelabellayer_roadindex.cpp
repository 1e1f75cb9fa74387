#include "common/map/xr_linelabellayer_roadindex.h"

#include <algorithm>

#include "common/map/xr_linelabellayer.h"

void XrRoadIndex::set_route_edges(const XrRouteEdgeSource* const* routes, int count, int active)
{
    active_route_edges.reset();
    other_route_edges.reset();
    active_route = active;
    route_edge_index.clear();
    route_polylines.clear();
    if (routes == nullptr || count <= 0)
        return;
    size_t a = 0, b = 0;
    for (int r = 0; r < count; ++r) {
        if (routes[r] == nullptr)
            continue;
        (r == active ? a : b) += static_cast<size_t>(std::max(0, routes[r]->get_segment_count()));
    }
    active_route_edges = std::make_unique<std::unordered_set<XrGid>>(a + a / 2);
    other_route_edges = std::make_unique<std::unordered_set<XrGid>>(b + b / 2);
    if (traffic_roads)
        route_edge_index.resize(static_cast<size_t>(count));
    for (int r = 0; r < count; ++r) {
        const XrRouteEdgeSource* route = routes[r];
        if (route == nullptr) {
            route_polylines.emplace_back();
            route_polylines.emplace_back();
            continue;
        }
        const int first = std::max(0, route->get_driven_first());
        const int end = std::min(route->get_segment_count(), route->get_driven_end());
        for (int i = first; i < end; ++i) {
            const XrGid gid = route->get_segment_gid(i);
            (r == active ? *active_route_edges : *other_route_edges).insert(gid);
            if (traffic_roads && traffic_roads->count(gid) != 0)
                route_edge_index[static_cast<size_t>(r)].emplace(gid, i);
        }
        for (int which = 0; which < 2; ++which) {
            const XrPolygon* line = route->get_polyline(which);
            if (line == nullptr) {
                route_polylines.emplace_back();
                continue;
            }
            auto copy = std::make_unique<XrPolygon>(true);
            *copy = *line;
            route_polylines.push_back(std::move(copy));
        }
    }
}

void XrRoadIndex::reset_traffic(unsigned capacity)
{
    traffic_roads = std::make_unique<std::unordered_map<XrGid, std::uint8_t>>(capacity);
}

bool XrRoadIndex::add_traffic_road(unsigned gid, bool along, int level)
{
    if (!traffic_roads)
        reset_traffic(16);
    const int clamped = std::clamp(level, 0, MAX_TRAFFIC_LEVEL);
    const int value = (along ? 1 : 2) + (clamped << 4);
    auto it = traffic_roads->find(gid);
    if (it == traffic_roads->end()) {
        traffic_roads->emplace(gid, static_cast<std::uint8_t>(value));
    } else {
        const int old = it->second;
        const int bits = (old | value) & 3;
        const int top = std::max(old >> 4, clamped);
        it->second = static_cast<std::uint8_t>(bits | (top << 4));
    }
    return on_active_route(gid) || on_other_route(gid);
}

void XrRoadIndex::clear_traffic_road(unsigned gid)
{
    if (!traffic_roads)
        return;
    auto it = traffic_roads->find(gid);
    if (it != traffic_roads->end())
        it->second = 0;
}

int XrRoadIndex::get_traffic_value(unsigned gid) const
{
    if (!traffic_roads)
        return 0;
    auto it = traffic_roads->find(gid);
    return it == traffic_roads->end() ? 0 : it->second;
}

bool XrRoadIndex::find_route_edge(unsigned gid, int route, int* position) const
{
    if (route >= 0 && static_cast<size_t>(route) < route_edge_index.size()) {
        auto it = route_edge_index[static_cast<size_t>(route)].find(gid);
        if (it != route_edge_index[static_cast<size_t>(route)].end()) {
            if (position != nullptr)
                *position = it->second;
            return true;
        }
    }
    if (on_active_route(gid) || on_other_route(gid)) {
        if (position != nullptr)
            *position = -1;
        return true;
    }
    return false;
}
