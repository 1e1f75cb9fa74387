#include "common/corvanel_core/impl/xr_userpositionproviderimpl.h"

#include "common/corvanel_core/interfaces/xr_positionmap.h"
#include "common/corvanel_core/interfaces/xr_routeprovider.h"
#include "common/map/xr_routelayer.h"

namespace {

// The route layer of the registered route provider when it has a user
// position; the projection to convert it.
XrRouteLayer* user_route(const XrProjection*& projection)
{
    XrRouteProvider* provider = XrRouteProvider::get_instance();
    XrRouteLayer* layer = provider != nullptr ? provider->get_route_layer2() : nullptr;
    if (layer == nullptr || !layer->has_last_position())
        return nullptr;
    if (layer->get_active_route() == nullptr && !layer->get_gps_fix_valid())
        return nullptr;
    // Without a map there are no degrees for the map point.
    XrPositionMap* map = XrPositionMap::get_instance();
    projection = map != nullptr ? map->get_projection() : nullptr;
    return projection != nullptr ? layer : nullptr;
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
    XrRouteLayer* layer = user_route(projection);
    if (layer == nullptr)
        return false;
    out = XrCoordinate(layer->get_last_position(), projection);
    return true;
}
