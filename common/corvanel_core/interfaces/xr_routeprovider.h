// What the providers use of the route provider (registered as
// "XrRouteProvider"): the road data source and address reader of the route
// search, the route layer, and dropping the route before the map closes.
// Every operation has a "no routing" answer here, so stand-ins override only
// what they need.
#pragma once

#include "common/base/xr_singleton.h"
#include "common/container/xr_string.h"

class XrAddrAccessor;
class XrGeomStorage;
class XrMapRouteLayer;

class XrRouteProvider : public XrSingleton {
public:
    ~XrRouteProvider() override = default;

    virtual XrMapRouteLayer* get_route_layer() { return nullptr; }
    // Forgets the current route; called before the map is torn down.
    virtual void drop_route() {}
    // The road data source of the route search, or null.
    virtual XrGeomStorage* get_road_data() { return nullptr; }
    // The address reader of the route search, or null.
    virtual XrAddrAccessor* get_addr_accessor() { return nullptr; }

    // The registered provider, or null.
    static XrRouteProvider* get_instance()
    {
        return static_cast<XrRouteProvider*>(XrSingleton::get_instance(XrString(L"XrRouteProvider")));
    }
};
