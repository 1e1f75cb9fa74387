// XrMapWindow: the program's one top-level window, a full-screen capable
// window whose content is a drawing area showing the map. It owns the
// drawing cycle (a map buffer and a composite buffer, redraw requests that
// are queued or immediate, the copy of the exposed area to the screen), the
// screen layouts and their fixed geometry for an 800 x 480 display, the
// on-screen control rectangles, and turns GTK input into dispatches of its
// window manager.
#pragma once

#include <gtk/gtk.h>

#include "common/base/xr_memorynotifier.h"
#include "common/gdi/window/xr_mapwindowservices.h"
#include "common/gdi/xr_app_map_window.h"
#include "common/gdi/xr_gdi.h"
#include "common/os/xr_windoweventhandler.h"
#include "platform/hildon/hildon.h"

class XrBitmap;
class XrMapWindow;
class XrMapWindowManager;
class XrWindowEventHandler;

// Holds the window's view, manager and private handler.
class XrMapWindowBase {
public:
    XrMapWindowBase(XrMapWindowView* view, XrMapWindowManager* manager, XrWindowEventHandler* private_handler)
        : m_view(view), m_manager(manager), m_private_handler(private_handler)
    {
        // Its pass-on continues at the top of the manager's stack.
        if (private_handler != nullptr)
            private_handler->set_manager(manager);
    }
    // Deletes the private handler.
    virtual ~XrMapWindowBase();
    XrMapWindowBase(const XrMapWindowBase&) = delete;
    XrMapWindowBase& operator=(const XrMapWindowBase&) = delete;

    XrMapWindowView* get_view() const { return m_view; }
    XrMapWindowManager* get_manager() const { return m_manager; }
    // Receives all input of the window before the manager's stack; owned.
    XrWindowEventHandler* get_private_handler() const { return m_private_handler; }

protected:
    XrMapWindowView* m_view;
    XrMapWindowManager* m_manager;
    XrWindowEventHandler* m_private_handler;
};

// Something drawn over the window decorations.
class XrMapWindowOverlay {
public:
    virtual ~XrMapWindowOverlay() = default;
    virtual void draw(XrMapWindow* window, XrDCHandleRec* dc) = 0;
};

class XrMapWindow : public XrMapWindowBase, public XrMemoryNotifierClient, public XrMapWindowRouteListener {
public:
    enum Control { CONTROL_COUNT = 15 };
    enum { LAYOUT_COUNT = 4 };
    // Window key codes of the handlers.
    enum Key {
        KeyUp = 0,
        KeyDown = 1,
        KeyLeft = 2,
        KeyRight = 3,
        KeyF7 = 7,
        KeyF8 = 8,
        KeyReturn = 17,
        KeySpace = 22,
        KeyEscape = 24,
    };
    // Pointer flags of the handlers.
    enum PointerFlag {
        FlagButton1 = 1,
        FlagButton3 = 2,
        FlagButton2 = 4,
        FlagControl = 8,
        FlagShift = 16,
        FlagToggleOff = 64,
    };

    typedef void (*DrawCallback)(XrDCHandleRec* dc, XrMapWindow* window, void* data);

    XrMapWindow(HildonProgram* program, XrMapWindowView* view, XrMapWindowManager* manager,
                XrWindowEventHandler* private_handler);
    ~XrMapWindow() override;

    // The window created last, and its top-level widget (null without one).
    static XrMapWindow* get_instance() { return s_instance; }
    static GtkWidget* get_toplevel();
    static bool is_fullscreen() { return s_fullscreen; }
    // Told the map's size in pixels whenever the drawing area gets a new
    // size (its display mode changed): the traffic layout's reference size.
    using SizeHook = void (*)(int width, int height);
    static void set_size_hook(SizeHook hook) { s_size_hook = hook; }
    // Nominal map size of the current layout.
    static XrSize screen_size() { return s_screen_size; }

    HildonWindow* get_window() const { return m_window; }
    GtkWidget* get_drawing_area() const { return m_drawing_area; }
    GtkWidget* get_content_widget() const { return m_content; }
    bool is_ready() const { return m_ready; }
    int get_width() const { return m_width; }
    int get_height() const { return m_height; }

    void set_fullscreen(bool on);
    // Puts the widget in place of the drawing area (a full-screen menu).
    void set_content_widget(GtkWidget* widget);
    // Destroys the content widget (when given) and puts the map back.
    void restore_map_widget(GtkWidget* content);

    // Installed by the application after it built its toolbar.
    void set_toolbar(GtkWidget* toolbar, GtkToggleToolButton* toggle);
    GtkWidget* get_toolbar() const { return m_toolbar; }
    void set_busy(bool busy) { m_busy = busy; }
    bool is_busy() const { return m_busy; }
    // The overlay drawn over the decorations (not owned), or null.
    void set_overlay(XrMapWindowOverlay* overlay) { m_overlay = overlay; }
    void set_draw_callback(DrawCallback callback, void* data);
    // The picture shown until it is cleared (owned); null clears it.
    void set_splash(XrBitmap* splash);
    XrBitmap* get_splash() const { return m_splash; }
    // Goes full screen and shows the start-up picture
    // ("?:/kestrova/images/splash.png"; nothing when it does not load).
    void show_splash();
    // Deletes the start-up picture.
    void free_splash();
    // Shows or hides the toolbar (nothing without one).
    void show_toolbar(bool show);
    // True when there is no toggle button or it is not active.
    bool is_toggle_off() const;
    // Makes the toggle button active when off is false (nothing without one).
    void set_toggle_off(bool off);
    // The map buffer: the application may draw into it for its own purposes
    // (null before the first resize).
    XrDCHandleRec* get_buffer_dc() const { return m_map_buffer; }
    // Replaces the view; a view given learns its window.
    void set_view(XrMapWindowView* view);
    // Replaces the manager; the private handler passes on to its stack.
    void set_manager(XrMapWindowManager* manager);
    // Position of the drawing area inside the window.
    XrPoint get_map_origin() const;

    // Asks for new pixels: queued (drawn from the main loop) or at once;
    // keep_map repaints from the finished picture without drawing the map.
    void redraw(bool queued, bool keep_map, int arg1, int arg2);
    // Slides the picture on screen to the view's new position: the old
    // picture moves by (dx, dy) pixels over `frames` frames while the new one
    // (drawn first, off screen) slides in behind it, `frame_ms` apart. False
    // (nothing shown) when there is no old picture to slide.
    bool slide_to_view(int dx, int dy, int frames, int frame_ms);
    bool is_redraw_pending() const { return m_redraw_pending; }
    bool is_composite_valid() const { return m_composite_valid; }
    XrDCHandleRec* get_composite_buffer() const { return m_composite; }

    // Screen geometry of the current layout (-1 before the first resize
    // counts as layout 0 for the tables).
    int get_layout() const;
    int get_current_layout() const { return m_layout; }
    XrRectangle get_view_rect() const;
    XrRectangle get_ctrl_rectangle(Control ctrl) const;
    static XrRectangle get_ctrl_rectangle_of(int layout, int ctrl);
    static XrSize get_view_size_of(int layout);
    static XrSize get_nominal_size_of(int layout);
    // 0 no position provider, 1 inactive, 2 no fix, 3 fix.
    int get_gps_state() const;
    int get_pointer_flags(guint state) const;

    // The cached DC of the drawing area (the window DC) and its release.
    XrDCHandleRec* get_window_dc();
    void release_window_dc(XrDCHandleRec* dc);

    // XrMemoryNotifierClient: the window frees no caches.
    void free_memory() override {}
    // XrMapWindowRouteListener.
    void route_changed() override { update_layout(); }
    void update_layout();

    // The GTK callbacks (public for tests that drive them directly).
    static gboolean key_callback(GtkWidget* widget, GdkEventKey* event, XrMapWindow* window);
    static gboolean button_callback(GtkWidget* widget, GdkEventButton* event, XrMapWindow* window);
    static gboolean motion_callback(GtkWidget* widget, GdkEventMotion* event, XrMapWindow* window);
    static gboolean tap_and_hold_query_callback(GtkWidget* widget, GdkEvent* event, XrMapWindow* window);
    static void tap_and_hold_callback(GtkWidget* widget, XrMapWindow* window);
    static gboolean expose_callback(GtkWidget* widget, GdkEventExpose* event, XrMapWindow* window);
    static gboolean configure_callback(GtkWidget* widget, GdkEventConfigure* event, XrMapWindow* window);

private:
    void draw_decorations(XrDCHandleRec* dc);
    void free_window_dc();
    void apply_layout_to_view();

    static XrMapWindow* s_instance;
    static bool s_fullscreen;
    static XrSize s_screen_size;
    static SizeHook s_size_hook;

    int m_width = 0;
    int m_height = 0;
    [[maybe_unused]] HildonProgram* m_program; // the window's program, kept for its lifetime
    HildonWindow* m_window = nullptr;
    GtkWidget* m_drawing_area = nullptr;
    GtkWidget* m_content = nullptr;
    bool m_ready = false;
    GtkWidget* m_toolbar = nullptr;
    GtkToggleToolButton* m_toggle = nullptr;
    bool m_busy = false;
    XrDCHandleRec* m_window_dc = nullptr;
    bool m_dc_dirty = true;
    XrDCHandleRec* m_map_buffer = nullptr;
    XrDCHandleRec* m_composite = nullptr;
    bool m_composite_valid = false;
    XrMapWindowOverlay* m_overlay = nullptr;
    bool m_redraw_pending = false;
    GdkColor m_saved_foreground = {0, 0, 0, 0};
    int m_redraw_arg1 = -1;
    int m_redraw_arg2 = -1;
    DrawCallback m_draw_callback = nullptr;
    void* m_draw_data = nullptr;
    bool m_key_latch = false;
    XrBitmap* m_grip = nullptr;
    XrBitmap* m_down_arrow = nullptr;
    XrBitmap* m_right_arrow = nullptr;
    XrBitmap* m_right_half_arrow = nullptr;
    int m_layout = -1;
    XrBitmap* m_splash = nullptr;
};

// Routes XrGDI::get_window_dc / get_app_map_window to the window instance.
class XrMapWindowSource : public XrAppMapWindowSource {
public:
    XrMapWindow* get_map_window() override { return XrMapWindow::get_instance(); }
    XrDCHandleRec* get_window_dc(XrMapWindow* window) override;
    void release_window_dc(XrMapWindow* window, XrDCHandleRec* dc) override;
    GtkWidget* get_widget(XrMapWindow* window) override;
};
