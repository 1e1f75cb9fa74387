// What the user position needs of the route layer: the last vehicle position
// it received (map units) and whether it shows a route or has a GPS fix. The
// route provider publishes its route layer here while it exists.
#pragma once

#include "common/geometry/xr_point.h"

class XrRoutePosition {
public:
    virtual ~XrRoutePosition() = default;

    virtual bool has_vehicle_position() = 0;
    virtual XrPoint get_vehicle_position() = 0;
    // Route instructions are shown.
    virtual bool has_route_instructions() = 0;
    // The GPS-fix flag the application sets on every position update.
    virtual bool has_gps_fix() = 0;

    static XrRoutePosition* get_instance() { return s_instance; }
    static void set_instance(XrRoutePosition* route) { s_instance = route; }

private:
    static inline XrRoutePosition* s_instance = nullptr;
};
