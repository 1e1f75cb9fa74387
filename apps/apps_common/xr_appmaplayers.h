// What the application installs over its real objects: the maker of the
// overlay layer of every opened map, the map view as the map window draws
// it, and the providers' answers the map window asks for.
#pragma once

#include "common/corvanel_core/interfaces/xr_maplayerparts.h"
#include "common/gdi/window/xr_mapwindowservices.h"
#include "common/map/xr_overlaylayer.h"

class XrMapView;

// The overlay layer (position marker and pin) as the map provider sees it.
class XrAppOverlayLayer : public XrOverlayLayer, public XrMapOverlayLayer {
public:
    XrLayer* as_layer() override { return this; }
    void load_images() override { XrOverlayLayer::load_images(); }
    void set_pin(const XrPoint& point, const XrString& label) override { XrOverlayLayer::set_pin(point, label); }
    void clear_pin() override { XrOverlayLayer::clear_pin(); }
};

// Makes the overlay layer of each map; the route layer comes with the route
// provider when one is registered.
class XrAppMapLayers : public XrMapLayerMaker {
public:
    XrMapRouteLayer* create_route_layer(XrEventloopBase* event_loop, XrMap* map, XrAudioPlayer* audio) override;
    XrMapOverlayLayer* create_overlay_layer() override { return new XrAppOverlayLayer(); }
};

// The map view drawn by the map window, and the window's provider answers.
class XrAppMapWindowView : public XrMapWindowView, public XrMapWindowServices {
public:
    explicit XrAppMapWindowView(XrMapView* view) : view(view) {}

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
    bool has_position_provider() override;
    bool is_position_active() override;
    bool position_has_fix() override;

private:
    XrMapView* view;
    XrMapWindow* window = nullptr;
};
