#include "common/map/xr_routelayerhost.h"

namespace {

XrRouteLayerHost* g_host = nullptr;

} // namespace

void set_route_layer_host(XrRouteLayerHost* host) { g_host = host; }

XrRouteLayerHost& get_route_layer_host()
{
    static XrRouteLayerHost defaults;
    return g_host != nullptr ? *g_host : defaults;
}
