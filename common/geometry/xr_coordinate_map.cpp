// The members of XrCoordinate that convert through a map projection; defined
// here so that the value types need no geometry.
#include "common/geometry/xr_point.h"
#include "common/geometry/xr_projection.h"
#include "common/types/xr_coordinate.h"

XrCoordinate::XrCoordinate(const XrPoint& point, const XrProjection* projection) : m_valid(true)
{
    if (projection != nullptr)
        projection->from_map(point.x, point.y, m_longitude, m_latitude);
}

XrPoint XrCoordinate::to_point(const XrProjection* projection) const
{
    XrPoint p;
    if (projection != nullptr)
        projection->to_map(m_longitude, m_latitude, p.x, p.y);
    return p;
}
