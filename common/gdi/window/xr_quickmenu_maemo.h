// XrQuickMenuMaemo: the full-window menu of large command buttons opened
// over the map. It slides in over a snapshot of the map, lets the user pick
// an item by stylus or keys and returns the chosen item's identifier.
#pragma once

#include <gtk/gtk.h>

#include "common/geometry/xr_point.h"
#include "common/os/xr_eventhandler.h"

class XrBitmap;
class XrMapWindow;
class XrEventloopBase;
struct XrBitmapHandleRec;
struct XrDCHandleRec;
struct XrFontHandleRec;

struct XrQuickMenuItem {
    int id = 0;       // its command
    int label_id = 0; // translated text identifier
    int extra = 0;
    bool enabled = false;
    XrRectangle rect;
};

struct XrQuickMenuDesc {
    enum { SLOT_COUNT = 16 };
    int mode = 0; // 1: the half-width screen image
    XrQuickMenuItem items[SLOT_COUNT];
    int count = 0;
};

class XrQuickMenuMaemo : public XrEventHandler {
public:
    enum State { Shown = 0, SlidingIn = 1, SlidingOut = 2, Closed = 3, Pressed = 4, Chosen = 5 };
    enum { NONE = -1, BACK_STRIP = -2 };
    // Animation: the screen slides by this many pixels a step.
    enum { ANIMATION_TARGET = 800, ANIMATION_STEP = 200 };

    // Runs the menu; the chosen item's identifier, or -1 without a choice
    // (also when the menu's images cannot be loaded: logged).
    static int show_menu(XrMapWindow* window, XrEventloopBase* loop, const XrQuickMenuDesc& desc);

    // Icon column of an item identifier (enabled or not); -1 when unknown.
    static int icon_index(int id, bool enabled);
    // Hit test: an item index, BACK_STRIP or NONE.
    int hit_test(int x, int y) const;

    // The menu while show_menu runs (tests).
    static XrQuickMenuMaemo* get_running() { return s_running; }
    GtkWidget* get_area() const { return m_area; }
    int get_state() const { return m_state; }
    int get_current() const { return m_current; }
    int get_position() const { return m_position; }

    ~XrQuickMenuMaemo() override;
    void execute(XrEventloopBase* loop, void* data) override;

    static gboolean exposed_callback(GtkWidget* widget, GdkEventExpose* event, XrQuickMenuMaemo* menu);

private:
    XrQuickMenuMaemo(XrMapWindow* window, XrEventloopBase* loop, const XrQuickMenuDesc& desc);

    bool open();
    void run();
    void close();
    void arm_timer();
    void redraw();
    void key_press(guint keyval);
    void draw(XrDCHandleRec* dc, int w, int h);

    static gboolean key_callback(GtkWidget*, GdkEventKey* event, XrQuickMenuMaemo* menu);
    static gboolean button_callback(GtkWidget*, GdkEventButton* event, XrQuickMenuMaemo* menu);

    static XrQuickMenuMaemo* s_running;

    XrMapWindow* m_window;
    GtkWidget* m_area = nullptr;
    XrQuickMenuItem m_items[XrQuickMenuDesc::SLOT_COUNT];
    int m_count;
    int m_mode;
    XrDCHandleRec* m_menu_dc = nullptr;
    int m_chosen = NONE;
    int m_current = 0;
    int m_state = SlidingIn;
    XrEventloopBase* m_loop;
    int m_position = ANIMATION_TARGET;
    int m_target = ANIMATION_TARGET;
    int m_step = ANIMATION_STEP;
    XrBitmap* m_background = nullptr;
    XrBitmap* m_icons = nullptr;
    XrBitmap* m_focus = nullptr;
    XrBitmapHandleRec* m_snapshot = nullptr;
    XrFontHandleRec* m_own_font = nullptr;
    bool m_small = false;
    bool m_timer_armed = false;
    gulong m_key_press = 0;
    gulong m_key_release = 0;
};
