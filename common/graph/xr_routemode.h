// Routing modes: what the user chose in the route settings, kept by the
// route provider and stored in every search and every computed route.
#pragma once

enum XrRouteMode : int {
    ROUTE_MODE_FASTEST = 0,    // car, quickest route
    ROUTE_MODE_SHORTEST = 1,   // car, shortest route
    ROUTE_MODE_PEDESTRIAN = 2, // on foot: one-way roads both ways, no heading, no turn prompts
    ROUTE_MODE_BICYCLE = 3,
    ROUTE_MODE_OTHER = 4,      // chosen by no settings page of its own
};

// The two car modes: turn costs, ferry costs and category pruning apply.
inline bool is_car_route_mode(int mode) { return mode == ROUTE_MODE_FASTEST || mode == ROUTE_MODE_SHORTEST; }
