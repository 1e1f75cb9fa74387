// What the map provider does with the two layers it adds to every opened
// map, the route layer (routing) and the overlay layer (pin and position
// marker), and the maker that creates them. The layers' own classes
// implement these; the application installs the maker. Each layer is an
// XrLayer: once added to the map, the map owns it.
#pragma once

#include "common/container/xr_string.h"
#include "common/geometry/xr_point.h"
#include "common/map/xr_map.h"

class XrAddrAccessor;
class XrAudioPlayer;
class XrEventloopBase;
class XrGeomStorage;
class XrSignpostAccessor;

class XrMapRouteLayer {
public:
    virtual ~XrMapRouteLayer() = default;
    // The same object as a map layer.
    virtual XrLayer* as_layer() = 0;
    virtual void load_images() = 0;
    virtual void set_voice_folder(const XrString& folder) = 0;
    // Given once; the route layer owns it from then on (the map provider
    // only borrows it while the map is open).
    virtual void set_signpost_accessor(XrSignpostAccessor* signposts) = 0;
    virtual void set_handsfree(bool value) = 0;
    virtual void set_prompts_on(bool value) = 0;
    // Takes over what it needs of the road layer's construction.
    virtual void take_road_layer_values(XrLayer* road) = 0;
    // Gives a layer of the map what it needs of routing: a layer of kind 4
    // the route layer's companion object, a line-label layer (kind 1) the
    // route edge sets and the active route.
    virtual void attach_layer(XrMap::XrLayerInfo& info) = 0;
    // The road layer and its geometry.
    virtual void set_road_layer(XrLayer* road, XrGeomStorage* geometry) = 0;
    // The road data and address reader of the route search; false when the
    // route layer cannot work with them.
    virtual bool set_road_data(XrGeomStorage* geometry, XrAddrAccessor* addr) = 0;
};

class XrMapOverlayLayer {
public:
    virtual ~XrMapOverlayLayer() = default;
    virtual XrLayer* as_layer() = 0;
    virtual void load_images() = 0;
    // Places the pin marker with its label.
    virtual void set_pin(const XrPoint& point, const XrString& label) = 0;
    virtual void clear_pin() = 0;
};

// Creates the two layers for a map being opened; null: the map opens
// without that layer.
class XrMapLayerMaker {
public:
    virtual ~XrMapLayerMaker() = default;
    virtual XrMapRouteLayer* create_route_layer(XrEventloopBase* event_loop, XrMap* map, XrAudioPlayer* audio) = 0;
    virtual XrMapOverlayLayer* create_overlay_layer() = 0;
};
