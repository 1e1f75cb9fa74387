// XrDefaultWindowEventHandler: the map window's basic navigation. Keys pan,
// zoom, rotate and toggle an overview scale; a drag draws a zoom rectangle
// (XOR on the window, with a zoom-in or zoom-out label) and zooms into or out
// of it on release; a tap picks the map items under the finger or else
// centres the map there. It keeps the last 50 views.
#pragma once

#include <cstdint>

#include "common/os/xr_windoweventhandler.h"

class XrMapView;
class XrMapWindow;
struct XrBitmapHandleRec;

class XrDefaultWindowEventHandler : public XrWindowEventHandler {
public:
    // Release flags of the map window: end a drag without zooming, and treat
    // the release as a tap.
    enum { FlagNoZoom = 0x20, FlagTap = 0x40 };
    // Key codes beyond the window's own: touch buttons and commands.
    enum { KeyZoomIn = 4, KeyZoomOut = 5, KeyNorth = 6, KeyRotateLeft = 9, KeyRotateRight = 10, KeyOverview = 13 };
    static constexpr int HISTORY_SIZE = 51;
    // Moves up to this many pixels in x and y are a tap.
    static constexpr int TAP_SLOP = 19;

    // view: the map view the handler moves (not owned).
    explicit XrDefaultWindowEventHandler(XrMapView* view);
    ~XrDefaultWindowEventHandler() override;

    int handle_key(int key, XrMapWindow* window) override;
    int pointer_down(int x, int y, int button, XrMapWindow* window) override;
    int pointer_up(int x, int y, int flags, XrMapWindow* window) override;
    int pointer_event(int, int, int, XrMapWindow*) override { return 0; }
    int pointer_up_alt(int, int, int, XrMapWindow*) override { return 0; }
    int held_press(int, int, int, XrMapWindow*) override { return 0; }
    int held_press_alt(int, int, int, XrMapWindow*) override { return 0; }
    int pointer_move(int x, int y, int flags, XrMapWindow* window) override;
    int can_tap_and_hold(int, int, XrMapWindow*) override { return 1; }
    int tap_and_hold(XrMapWindow*) override { return 0; }

    // The map picked items under a tap.
    virtual void picked_items(XrMapWindow* /*window*/) {}
    // New scale = current x factor, centred on the world point; redraw.
    virtual void zoom_by_factor(int world_x, int world_y, double factor, XrMapWindow* window);
    // Zooms into, or out of, the rectangle from the press to the drag point.
    virtual void zoom_in_rect(XrMapWindow* window);
    virtual void zoom_out_rect(XrMapWindow* window);

    // Two square icons side by side (zoom in left, zoom out right), owned;
    // they replace the text label.
    void set_zoom_icons(XrBitmapHandleRec* icons, XrBitmapHandleRec* mask);
    void push_view(XrMapView* view);
    // Restores the view pushed last; false when the history is empty.
    bool step_back(XrMapView* view);
    int history_count() const;

    XrMapView* get_map_view() const { return map_view; }
    bool is_dragging() const { return dragging; }
    // The zoom rectangle is on screen.
    bool shows_zoom_rect() const { return rect_drawn; }
    int get_overview_scale() const { return overview_scale; }

protected:
    // The rectangle from the press to the drag point, drawn with XOR.
    void draw_zoom_rect(XrMapWindow* window);
    void erase_label(XrMapWindow* window);
    void draw_label(XrMapWindow* window, bool zoom_in);

    XrMapView* map_view;
    XrBitmapHandleRec* label_bitmap = nullptr;
    int label_width = 0;
    int label_height = 0;
    int label_x = 0;
    int label_y = 0;
    int drag_start_x = 0;
    int drag_start_y = 0;
    int drag_x = -1;
    int drag_y = -1;
    bool dragging = false;
    bool rect_drawn = false;
    std::uint32_t press_time = 0;
    XrBitmapHandleRec* zoom_icons = nullptr;
    XrBitmapHandleRec* zoom_icons_mask = nullptr;
    int history_head = 0;
    int history_tail = 0;
    struct XrViewRecord {
        int left, top, right, bottom;
        std::int16_t rotation;
    };
    XrViewRecord* history;
    int overview_scale = -1;
};
