// Small helpers shared by the road layer's 2D pass, its 3D pass and its
// label placement.
#pragma once

#include "common/gdi/xr_gdi.h"
#include "common/geometry/xr_geometry.h"
#include "common/geometry/xr_point.h"
#include "common/map/xr_mapservices.h"

namespace xr_road_drawing {

// The map engine's display scale factor, truncated (at least 1).
inline int scale_factor_int()
{
    const double f = get_map_engine_services().get_scale_factor();
    return f > 0 ? static_cast<int>(f) : 1;
}

inline void grow_box(XrRectangle& box, int by)
{
    box.left -= by;
    box.right += by;
    box.top -= by;
    box.bottom += by;
}

inline bool boxes_overlap(const XrRectangle& a, const XrRectangle& b)
{
    return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

inline XrColorHandle traffic_colour(int level)
{
    if (level <= 1)
        return XrGDI::rgb(0, 0, 0);
    if (level <= 3)
        return XrGDI::rgb(255, 0, 0);
    return XrGDI::rgb(255, 127, 0);
}

inline XrPenHandle solid_pen(int width, XrColorHandle c)
{
    return XrGDI::create_pen(XrGDI::PenSolid, width, XrGDI::get_r(c), XrGDI::get_g(c), XrGDI::get_b(c));
}

// Whole degrees 0..359 of a direction in radians.
inline int degrees_of(double radians) { return static_cast<int>(radians * (180.0 / XR_HALF_TURN)); }

inline int reduce_degrees(int a)
{
    a %= 360;
    return a < 0 ? a + 360 : a;
}

} // namespace xr_road_drawing
