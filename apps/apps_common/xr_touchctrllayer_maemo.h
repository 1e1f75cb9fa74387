// XrTouchCtrlLayer: the map layer of the touch screen's on-map controls. It
// draws the zoom buttons, the GPS state icon and, while a route is active,
// the guidance buttons over the map, takes the finger input meant for them
// (its taps become touch_button actions of the map handler) and pans the map
// with the finger while the toolbar toggle is off.
#pragma once

#include <cstdint>

#include "common/container/xr_ptrarray.h"
#include "common/geometry/xr_point.h"
#include "common/map/xr_layer.h"
#include "common/os/xr_eventhandler.h"

class XrBitmap;
class XrEventloopBase;
class XrMapView;
class XrMapWindow;
class XrNaviAppHandler;
class XrRouteLayer;
struct XrDCHandleRec;

class XrTouchCtrlLayerObserver {
public:
    virtual ~XrTouchCtrlLayerObserver() = default;
    virtual void touch_ctrl_changed(int control) = 0;
};

class XrTouchCtrlLayer : public XrLayer, public XrEventHandler {
public:
    static constexpr int TOUCH_CONTROL_COUNT = 11;
    // Window control of each touch control (-1: none) and the code handed
    // to the map handler's touch_button.
    static const int WINDOW_CONTROL[TOUCH_CONTROL_COUNT];
    static const int BUTTON_CODE[TOUCH_CONTROL_COUNT];
    // A finger farther than this from the press pans the map.
    static constexpr double DRAG_START_DISTANCE = 15.0;
    static constexpr int GPS_FIX_SHOWN_MS = 5000;
    static constexpr int PREVIEW_QUICK_RELEASE_MS = 1500;
    static constexpr double PIN_RADIUS = 50.0;

    XrTouchCtrlLayer(const char* name, XrNaviAppHandler* map_handler, XrEventloopBase* event_loop,
                     XrRouteLayer* route_layer);
    ~XrTouchCtrlLayer() override;

    // Loads the images of the controls (missing ones are not drawn).
    void load_bitmaps();
    bool initialize() { return true; }

    // XrLayer: registers the draw callback with the map window.
    bool draw(XrDCHandleRec* dc, XrMapView* view) override;
    bool draw_3d(XrDCHandleRec* dc, XrMapView* view) override { return draw(dc, view); }

    // The touch control (0..10) whose rectangle holds (x, y), or -1. A
    // rectangle narrower or lower than 15 pixels is widened.
    int hittest(XrMapView* view, int x, int y, XrRouteLayer* route_layer);
    // True when the layer did not take the event (the map handler goes on).
    bool on_press(XrMapWindow* window, int x, int y);
    bool on_move(XrMapWindow* window, int x, int y);
    bool on_release(XrMapWindow* window, int x, int y);
    bool is_over_control(int x, int y);

    bool is_hidden() const { return hidden; }
    void set_hidden(bool on) { hidden = on; }
    bool set_highlighted_control(int control)
    {
        highlighted_control = control;
        return true;
    }
    void clear_highlighted_control() { highlighted_control = -1; }
    int get_highlighted_control() const { return highlighted_control; }
    int get_pressed_touch_control() const { return pressed_touch_control; }
    int get_pressed_guidance_control() const { return pressed_guidance_control; }
    bool is_dragging() const { return dragging; }
    void set_route_layer(XrRouteLayer* layer) { route_layer = layer; }

    void add_observer(XrTouchCtrlLayerObserver* observer);
    void remove_observer(XrTouchCtrlLayerObserver* observer);

    // The map window's draw callback (data: the layer).
    static void draw_callback(XrDCHandleRec* dc, XrMapWindow* window, void* data);

private:
    void draw_controls(XrDCHandleRec* dc, XrMapWindow* window);
    void set_road_layer_shown(bool shown);

    XrNaviAppHandler* map_handler;
    XrEventloopBase* event_loop;
    XrRouteLayer* route_layer;
    int pressed_touch_control = -1;
    int pressed_guidance_control = -1;
    int highlighted_control = -1;
    bool dragging = false;
    bool drag_active = false;
    bool panned = false; // the finger moved the map since the press
    int drag_x = 0;
    int drag_y = 0;
    bool pressed_in_3d = false;
    bool hidden = false;
    std::uint32_t gps_fix_since = 0;
    std::uint32_t preview_press_time = 0;
    // Guidance controls 7..14: pressed, released and normal-layout pressed.
    XrBitmap* guidance_pressed[8] = {};
    XrBitmap* guidance_released[8] = {};
    XrBitmap* guidance_pressed_normal[8] = {};
    XrBitmap* zoom_in_image = nullptr;
    XrBitmap* zoom_out_image = nullptr;
    XrBitmap* gps_images[4] = {};
    XrPtrArray<XrTouchCtrlLayerObserver*> observers;
};
