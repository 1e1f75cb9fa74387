// What the map window and its panels use of the map view, the route and
// position providers and the map settings. The application installs
// adapters over its real objects; tests install doubles.
#pragma once

#include "common/geometry/xr_point.h"

class XrMapWindow;
struct XrDCHandleRec;

// The map view that a map window draws.
class XrMapWindowView {
public:
    virtual ~XrMapWindowView() = default;
    // The window back-pointer of the view.
    virtual void set_window(XrMapWindow* window) = 0;
    // False before a map is opened.
    virtual bool has_map() = 0;
    // Draws a pass of the map (1 = into the map buffer, 2 = into the
    // composite buffer) with the two redraw arguments.
    virtual void draw_map(XrDCHandleRec* dc, int pass, int arg1, int arg2) = 0;
    // Lets the map's draw listeners paint on the DC.
    virtual void notify_draw(XrDCHandleRec* dc) = 0;
    // A 0 x 0 size is ignored.
    virtual void set_screen_size(const XrSize& size) = 0;
    virtual XrSize get_screen_size() = 0;
    // Null clears the pending update rectangle.
    virtual void set_update_rect(const XrRectangle* rect) = 0;
    virtual void set_visible_rect(const XrRectangle& rect) = 0;
};

// Told when the route changes; the map window takes the first operation.
// (The application forwards the route provider's notifications to it.)
class XrMapWindowRouteListener {
public:
    virtual ~XrMapWindowRouteListener() = default;
    virtual void route_changed() = 0;
    virtual void route_progress_changed() {}
    virtual void route_state_changed() {}
};

// The providers the window asks; every answer is the one for "no such
// provider" unless an implementation says otherwise.
class XrMapWindowServices {
public:
    virtual ~XrMapWindowServices() = default;

    // The route provider ("XrRouteProvider").
    virtual bool has_route_provider() { return false; }
    virtual bool has_route() { return false; }
    // The application's hold flag: tap-and-hold is suppressed while set.
    virtual bool get_hold_flag() { return false; }
    // Height the route layer reserved above the map in its last draw.
    virtual int get_route_panel_top() { return 0; }
    // The route layer's on-screen panels over the finished picture.
    virtual void draw_route_overlays(XrDCHandleRec*, const XrSize&) {}

    // The position provider ("XrPositionProvider").
    virtual bool has_position_provider() { return false; }
    virtual bool is_position_active() { return false; }
    virtual bool position_has_fix() { return false; }

    // The map settings provider's alternate-unit switch.
    virtual bool use_alternate_units() { return false; }
};

// The installed services (not owned); never null: without an installed
// object a shared instance answers "no provider".
XrMapWindowServices* get_map_window_services();
void set_map_window_services(XrMapWindowServices* services);
