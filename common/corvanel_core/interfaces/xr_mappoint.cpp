#include "common/corvanel_core/interfaces/xr_mappoint.h"

#include "common/corvanel_core/interfaces/xr_mapprovider.h"

XrPoint XrMapPoint::get_map_point() const
{
    XrMapProvider* maps = XrMapProvider::get_instance();
    return coordinate.to_point(maps != nullptr ? maps->get_projection() : nullptr);
}

void XrRoadblock::set_id(int value)
{
    XR_ASSERT_MSG(value >= 0, "id >= 0");
    id = value;
}
