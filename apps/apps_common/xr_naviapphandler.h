// XrNaviAppHandler: the event handler of the main map window. It decides
// what a tap, a drag, a long press, a hardware key or an on-map touch button
// does: pan and zoom the map (a fixed zoom ladder), move a crosshair cursor,
// highlight the map point under the finger, open the radial, scroll and
// quick menus, and hand the keys it does not use to the route-step keys.
// The touch control layer sees every press, move and release first.
#pragma once

#include <cstdint>

#include "apps/apps_common/xr_navistephandler.h"
#include "common/bmloader/xr_bitmap.h"
#include "common/geometry/xr_point.h"
#include "common/map/xr_map.h"
#include "common/os/xr_eventhandler.h"

class XrCoordinate;
class XrMapView;
class XrMapWindow;
class XrNaviApp;
class XrTouchCtrlLayer;

class XrNaviAppHandler : public XrNaviStepHandler, public XrMapDrawListener, public XrEventHandler {
public:
    // Event ids of the handler's timers on the application's event loop.
    enum Timer { TimerRedraw = 1, TimerCursor = 2, TimerTap = 3, TimerQuickMenu = 4, TimerZoomReady = 5 };
    // Further key codes (commands and hardware keys of other layouts).
    enum {
        KeyCursor = 9,
        KeySpeedDialFirst = 10,
        KeySpeedDialLast = 15,
        KeyNone16 = 16,
        KeyToggle3d = 18,
        KeyCallPoi = 20,
        KeyClearRoute = 21,
    };
    static constexpr int ZOOM_LADDER_SIZE = 23;
    static const std::uint32_t ZOOM_LADDER[ZOOM_LADDER_SIZE];
    // A press moving at most this far is still a tap.
    static constexpr double TAP_DISTANCE = 5.0;
    static constexpr int TAP_TIMEOUT_MS = 500;
    static constexpr int CURSOR_TIMEOUT_MS = 10000;
    static constexpr unsigned CURSOR_BITMAP_ID = 0x49A7001D;

    explicit XrNaviAppHandler(XrNaviApp* app);
    ~XrNaviAppHandler() override;

    // XrWindowEventHandler
    int handle_key(int key, XrMapWindow* window) override;
    int pointer_down(int x, int y, int button, XrMapWindow* window) override;
    int pointer_up(int x, int y, int flags, XrMapWindow* window) override;
    int pointer_up_alt(int x, int y, int flags, XrMapWindow* window) override;
    int held_press(int x, int y, int flags, XrMapWindow* window) override;
    int pointer_move(int x, int y, int flags, XrMapWindow* window) override;
    int can_tap_and_hold(int x, int y, XrMapWindow* window) override;
    int tap_and_hold(XrMapWindow* window) override;
    // XrDefaultWindowEventHandler
    void zoom_by_factor(int world_x, int world_y, double factor, XrMapWindow* window) override;
    void zoom_in_rect(XrMapWindow* window) override;
    void zoom_out_rect(XrMapWindow* window) override;
    // XrMapDrawListener
    void on_map_draw(XrDCHandleRec* dc, XrMapView* view) override;
    // XrEventHandler: the timers (data: the Timer id).
    void execute(XrEventloopBase* loop, void* data) override;

    void set_touch_layer(XrTouchCtrlLayer* layer) { touch_layer = layer; }
    XrTouchCtrlLayer* get_touch_layer() const { return touch_layer; }

    // Shows or hides the crosshair cursor at point (null: the view's centre).
    bool set_cursor_mode(XrMapWindow* window, bool on, const XrPoint* point);
    bool is_cursor_visible() const;
    XrPoint get_cursor_point() const { return XrPoint(cursor_x, cursor_y); }
    // The name of the nearest named map object around where.
    void get_place_name(const XrCoordinate& where, XrString& name);
    void set_roadblock_mode(bool on);
    bool is_roadblock_mode() const { return roadblock_mode; }
    void set_roadblock_id(int id) { roadblock_id = id; }
    int get_roadblock_id() const { return roadblock_id; }
    void cancel_roadblock_mode(XrMapWindow* window);
    void confirm_roadblock(XrMapWindow* window);
    void centre_cursor_point(XrMapView* view);
    // The radial menu for world_point (null: the point under the cursor).
    void open_radial_menu(XrMapWindow* window, XrPoint* world_point);
    void open_quick_menu();
    // The map window's quick settings (the scroll menu).
    void show_scroll_menu();
    // The action of an on-map touch button (the touch control layer's code).
    void touch_button(int button);
    void move_cursor(int direction, XrMapWindow* window);
    void change_perspective(bool flatter);
    // One step of the zoom ladder (at most one per 100 ms).
    void zoom_step(bool zoom_in, const XrPoint* point);
    void zoom_by_factor(double factor, const XrPoint* point);
    void zoom_animated(double factor, const XrPoint* point, bool deferred_redraw);
    // The arrow pan of the 2D view: 0 up, 1 down, 2 left, 3 right.
    void pan_step(int direction);
    // The slide of a pan step: frames and the time between them.
    static constexpr int pan_frames = 10;
    static constexpr int pan_frame_ms = 8;
    // The ladder's target from scale s.
    static std::uint32_t ladder_target(std::uint32_t s, bool zoom_in);

    // A menu of this handler is open: every key is swallowed.
    void set_busy(bool on) { busy = on; }
    bool is_busy() const { return busy; }
    bool is_radial_open() const { return radial_open; }
    bool is_quick_open() const { return quick_open; }
    int get_scroll_page() const { return scroll_page; }

protected:
    // Filled by the menus (xr_naviapphandler_menus.cpp).
    void display_radial_menu(XrMapWindow* window, XrPoint* world_point);
    void run_quick_menu();

    void measure_cursor();
    XrMapWindow* window_of_app() const;
    void post_timer(Timer id, int ms);
    void remove_timer(Timer id);
    // The map point under the screen point within 15 pixels becomes the
    // highlight, or the highlight is cleared.
    void highlight_at(const XrPoint& screen);
    bool screen_to_world(const XrPoint& screen, XrPoint& world) const;
    bool in_map_area(XrMapWindow* window, int x, int y) const;

    XrTouchCtrlLayer* touch_layer = nullptr;
    int press_x = 0;
    int press_y = 0;
    bool tap_pending = false;
    bool roadblock_mode = false;
    int roadblock_id = 0;
    XrBitmap cursor_image;
    int cursor_x = 0;
    int cursor_y = 0;
    int saved_rotation = -1;
    bool redraw_pending = false;
    bool redraw_forced = false;
    bool redraw_done = true;
    bool zoom_ready = true;
    bool busy = false;
    bool radial_open = false;
    bool quick_open = false;
    int rotation_step = 15;
    bool base_zoom_running = false;
    int cursor_frame_width = 0;
    int cursor_frame_height = 0;
    std::int16_t scroll_open = 0;
    int scroll_page = 0;
    bool timer_posted[6] = {};
};
