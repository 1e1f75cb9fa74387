// What the route layer asks of the providers above the map engine: the map
// view provider (display scale, current view, map window redraw), the route
// provider's routing mode, the map settings' distance units and the sounds
// folder. The provider side installs an implementation; until then (and in
// tests) the defaults below answer.
#pragma once

#include "common/container/xr_string.h"

class XrMapView;
class XrRouteLayer;

// The route layer's requests to the route provider.
class XrRouteLayerObserver {
public:
    virtual ~XrRouteLayerObserver() = default;
    // Asks for a new route from the current position; true when a new
    // search was started (the layer then waits for the new route).
    virtual bool reroute(XrRouteLayer* layer) = 0;
    // Waypoint index reached, or -1 for the destination.
    virtual void waypoint_reached(int index, bool hold) = 0;
};

class XrRouteLayerHost {
public:
    virtual ~XrRouteLayerHost() = default;
    // False when no map view provider is registered.
    virtual bool has_map_view_provider() { return false; }
    // The map view provider's display scale factor (above 0).
    virtual double get_scale_factor() { return 1.0; }
    // The map view provider's current map view; null without one.
    virtual XrMapView* get_map_view() { return nullptr; }
    // Asks the map window for a full redraw; false when there is no map
    // window with a drawing surface.
    virtual bool redraw_map_window() { return false; }
    // The route provider's routing mode (0 without a route provider).
    virtual int get_routing_mode() { return 0; }
    // The map settings' distance unit code: 0 metric, 1 yards, 2 feet and
    // miles (0 when the setting is off or there is no provider).
    virtual int get_distance_units() { return 0; }
    // The resolved sounds folder (the voice root); empty when unknown.
    virtual XrString get_sounds_path() { return XrString(); }
};

// Installs the host (not owned; null restores the defaults).
void set_route_layer_host(XrRouteLayerHost* host);
// The installed host, or the defaults.
XrRouteLayerHost& get_route_layer_host();
