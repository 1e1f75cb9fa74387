#include "common/geometry/xr_point.h"

double XrPoint::distance(int px, int py) const
{
    double dx = static_cast<double>(px) - x;
    double dy = static_cast<double>(py) - y;
    return std::sqrt(dx * dx + dy * dy);
}

double XrPoint::distance_sq(const XrPoint& other) const
{
    double dx = static_cast<double>(other.x) - x;
    double dy = static_cast<double>(other.y) - y;
    return dx * dx + dy * dy;
}
