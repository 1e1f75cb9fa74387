#include "common/corvanel_core/impl/xr_userpositionproviderimpl.h"

#include "common/corvanel_core/interfaces/xr_positionmap.h"
#include "common/corvanel_core/interfaces/xr_routeposition.h"

namespace {

// The route layer when it has a user position; the projection to convert it.
XrRoutePosition* user_route(const XrProjection*& projection)
{
    XrRoutePosition* route = XrRoutePosition::get_instance();
    if (route == nullptr || !route->has_vehicle_position())
        return nullptr;
    if (!route->has_route_instructions() && !route->has_gps_fix())
        return nullptr;
    // Without a map there are no degrees for the map point.
    XrPositionMap* map = XrPositionMap::get_instance();
    projection = map != nullptr ? map->get_projection() : nullptr;
    return projection != nullptr ? route : nullptr;
}

} // namespace

bool XrUserPositionProviderImpl::has_user_position()
{
    const XrProjection* projection = nullptr;
    return user_route(projection) != nullptr;
}

bool XrUserPositionProviderImpl::get_user_position(XrCoordinate& out)
{
    const XrProjection* projection = nullptr;
    XrRoutePosition* route = user_route(projection);
    if (route == nullptr)
        return false;
    out = XrCoordinate(route->get_vehicle_position(), projection);
    return true;
}
