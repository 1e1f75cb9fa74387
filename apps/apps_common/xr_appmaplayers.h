// What the application installs over its real objects: the maker of the
// overlay layer of every opened map, the map view as the map window draws
// it, and the providers' answers the map window asks for.
#pragma once

#include "common/corvanel_core/interfaces/xr_maplayerparts.h"
#include "common/gdi/window/xr_mapwindowservices.h"
#include "common/map/xr_overlaylayer.h"
#include "common/map/xr_routelayer.h"
#include "common/map/xr_routelayerhost.h"

class XrMapView;
class XrMapWindow;

// The overlay layer (position marker and pin) as the map provider sees it.
class XrAppOverlayLayer : public XrOverlayLayer, public XrMapOverlayLayer {
public:
    XrLayer* as_layer() override { return this; }
    void load_images() override { XrOverlayLayer::load_images(); }
    void set_pin(const XrPoint& point, const XrString& label) override { XrOverlayLayer::set_pin(point, label); }
    void clear_pin() override { XrOverlayLayer::clear_pin(); }
};

// The route layer (route line, guidance box, guidance along the active
// route) as the map provider sees it. Map units are metres.
class XrAppRouteLayer : public XrRouteLayer, public XrMapRouteLayer {
public:
    XrAppRouteLayer(XrEventloopBase* event_loop, XrMap* map, XrAudioPlayer* audio)
        : XrRouteLayer(event_loop, map, 1, audio, nullptr)
    {
    }
    XrLayer* as_layer() override { return this; }
    // The pictures load with the road data (initialize).
    void load_images() override {}
    void set_voice_folder(const XrString& folder) override { XrRouteLayer::set_voice_folder(folder); }
    // The layer owns the signpost reader from now on.
    void set_signpost_accessor(XrSignpostAccessor* signposts) override
    {
        XrRouteLayer::set_signpost_accessor(signposts);
    }
    void set_handsfree(bool value) override { handsfree = value; }
    bool is_handsfree() const { return handsfree; }
    void set_prompts_on(bool value) override { set_voice_prompts_on(value); }
    // The road layer's upper scale limit (when it has one) becomes the
    // scale up to which the route is drawn along the road geometry.
    void take_road_layer_values(XrLayer* road) override;
    void attach_layer(XrMap::XrLayerInfo& info) override;
    // The road layer draws the routes' roads.
    void set_road_layer(XrLayer* road, XrGeomStorage* geometry) override;
    // Missing guidance pictures leave the route line and guidance working;
    // only the box is not drawn. The safety screen's pictures load here too.
    bool set_road_data(XrGeomStorage* geometry, XrAddrAccessor* addr) override;

private:
    bool handsfree = false;
};

// What the route layer asks of the providers: the map view, the map
// window's redraw, the routing mode, the display scale factor, the
// distance units and the sounds folder.
class XrAppRouteLayerHost : public XrRouteLayerHost {
public:
    XrAppRouteLayerHost(XrMapView* view, XrMapWindow* (*window)(void*), void* data)
        : view(view), window(window), data(data)
    {
    }
    bool has_map_view_provider() override;
    XrMapView* get_map_view() override { return view; }
    bool redraw_map_window() override;
    int get_routing_mode() override;
    // The voice root on the card: "r_str_path_sounds" resolved.
    XrString get_sounds_path() override;
    // The map-view provider's; 1.0 without one.
    double get_scale_factor() override;
    // The map settings' unit system; metric without them.
    int get_distance_units() override;

private:
    XrMapView* view;
    XrMapWindow* (*window)(void*);
    void* data;
};

// Makes the route layer and the overlay layer of each map.
class XrAppMapLayers : public XrMapLayerMaker {
public:
    XrMapRouteLayer* create_route_layer(XrEventloopBase* event_loop, XrMap* map, XrAudioPlayer* audio) override;
    XrMapOverlayLayer* create_overlay_layer() override { return new XrAppOverlayLayer(); }
};

// The map view drawn by the map window, and the window's provider answers.
class XrAppMapWindowView : public XrMapWindowView, public XrMapWindowServices {
public:
    // hold_flag: the flag shared with the route provider (may be null).
    explicit XrAppMapWindowView(XrMapView* view, const bool* hold_flag = nullptr) : view(view), hold_flag(hold_flag)
    {
    }

    XrMapWindow* get_window() const { return window; }

    // XrMapWindowView
    void set_window(XrMapWindow* w) override { window = w; }
    bool has_map() override;
    void draw_map(XrDCHandleRec* dc, int pass, int arg1, int arg2) override;
    void notify_draw(XrDCHandleRec* dc) override;
    void set_screen_size(const XrSize& size) override;
    XrSize get_screen_size() override;
    void set_update_rect(const XrRectangle* rect) override;
    void set_visible_rect(const XrRectangle& rect) override;

    // XrMapWindowServices
    bool has_route_provider() override;
    bool has_route() override;
    bool get_hold_flag() override { return hold_flag != nullptr && *hold_flag; }
    // The guidance panel height of the route layer's last draw.
    int get_route_panel_top() override;
    // The route layer's safety screen (nothing without an active route).
    void draw_route_overlays(XrDCHandleRec* dc, const XrSize& screen) override;
    bool has_position_provider() override;
    bool is_position_active() override;
    bool position_has_fix() override;
    // The map settings' unit system is not metric.
    bool use_alternate_units() override;

private:
    XrMapView* view;
    const bool* hold_flag;
    XrMapWindow* window = nullptr;
};
