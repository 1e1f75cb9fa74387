// Map-window test helpers (tests run under Xvfb): doubles of the map view,
// the providers and a recording event handler, a shown 800 x 480 window,
// event injection through gdk_event_put, and PNG fixtures.
#pragma once

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "common/gdi/window/xr_mapwindow.h"
#include "common/gdi/window/xr_mapwindowmanager.h"
#include "common/gdi/xr_gdi.h"
#include "../gdi_test_dc.h"
#include "support/xr_temp_root.h"

// Window tests count exposes, so each test process draws on an X server of
// its own (windows of tests running side by side would expose each other):
// a private Xvfb, started once and ended at exit. Without Xvfb the
// display in DISPLAY is used.
inline void xr_start_private_display()
{
    static pid_t server = 0;
    // Under scripts/with-xvfb the process already has a server of its own.
    if (std::getenv("XR_PRIVATE_DISPLAY") != nullptr && std::getenv("DISPLAY") != nullptr)
        return;
    int fds[2];
    if (server != 0 || pipe(fds) != 0)
        return;
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "800x480x24", "-nolisten", "tcp",
               "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        return;
    }
    std::string number;
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(fds[0]);
    if (number.empty()) {
        waitpid(pid, nullptr, 0);
        return;
    }
    server = pid;
    setenv("DISPLAY", (":" + number).c_str(), 1);
    atexit([] {
        kill(server, SIGTERM);
        waitpid(server, nullptr, 0);
    });
}

inline bool xr_window_test_display()
{
    static const bool started = (xr_start_private_display(), true);
    (void)started;
    return xr_test_gdk_ready();
}

// Runs the main loop for about ms milliseconds.
inline void xr_pump(int ms)
{
    gdk_flush();
    const gint64 end = g_get_monotonic_time() + static_cast<gint64>(ms) * 1000;
    while (g_get_monotonic_time() < end) {
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
        g_usleep(2000);
    }
}

// Pumps until cond holds or ms pass; the final value of cond.
template <class F>
bool xr_pump_until(F cond, int ms = 2000)
{
    const gint64 end = g_get_monotonic_time() + static_cast<gint64>(ms) * 1000;
    while (!cond() && g_get_monotonic_time() < end) {
        gdk_flush();
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
        g_usleep(2000);
    }
    return cond();
}

inline void xr_put_key(GtkWidget* toplevel, GdkEventType type, guint keyval)
{
    GdkEvent* e = gdk_event_new(type);
    e->key.window = GDK_WINDOW(g_object_ref(toplevel->window));
    e->key.keyval = keyval;
    e->key.time = GDK_CURRENT_TIME;
    gdk_event_put(e);
    gdk_event_free(e);
}

inline void xr_put_button(GtkWidget* widget, GdkEventType type, int x, int y, guint state, guint button = 1)
{
    GdkEvent* e = gdk_event_new(type);
    e->button.window = GDK_WINDOW(g_object_ref(widget->window));
    e->button.x = x;
    e->button.y = y;
    e->button.button = button;
    e->button.state = state;
    e->button.time = GDK_CURRENT_TIME;
    gdk_event_put(e);
    gdk_event_free(e);
}

// Writes a w x h PNG of one colour (alpha 255) with an optional transparent
// left half; returns the path.
inline std::string xr_write_png(const std::string& path, int w, int h, XrColorHandle color,
                                bool transparent_left = false)
{
    GdkPixbuf* pb = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, w, h);
    const int stride = gdk_pixbuf_get_rowstride(pb);
    guchar* p = gdk_pixbuf_get_pixels(pb);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            guchar* q = p + y * stride + x * 4;
            q[0] = XrGDI::get_r(color);
            q[1] = XrGDI::get_g(color);
            q[2] = XrGDI::get_b(color);
            q[3] = transparent_left && x < w / 2 ? 0 : 255;
        }
    gdk_pixbuf_save(pb, path.c_str(), "png", nullptr, nullptr);
    g_object_unref(pb);
    return path;
}

// Fills the whole DC with a colour through the GDI.
inline void xr_fill_dc(XrDCHandleRec* dc, XrColorHandle color)
{
    int w = 0, h = 0;
    XrGDI::get_dc_size(dc, &w, &h);
    XrGDI::select_pen(dc, XrGDI::create_pen(XrGDI::PenSolid, 1, XrGDI::get_r(color), XrGDI::get_g(color),
                                            XrGDI::get_b(color)));
    XrGDI::select_brush(dc, XrGDI::create_brush(XrGDI::BrushSolid, XrGDI::get_r(color), XrGDI::get_g(color),
                                                XrGDI::get_b(color)));
    XrGDI::draw_rectangle(dc, 0, 0, w - 1, h - 1);
}

// The view: pass 1 fills the DC with pass1_color, pass 2 draws a 10 x 10
// square of pass2_color at (100, 100); counts the calls.
class XrTestView : public XrMapWindowView {
public:
    void set_window(XrMapWindow* w) override { window = w; }
    bool has_map() override { return map; }
    void draw_map(XrDCHandleRec* dc, int pass, int arg1, int arg2) override
    {
        passes.push_back(pass);
        args = {arg1, arg2};
        if (pass == 1) {
            xr_fill_dc(dc, pass1_color);
        } else {
            XrGDI::select_pen(dc, XrGDI::create_pen(XrGDI::PenSolid, 1, 0, 0, 255));
            XrGDI::select_brush(dc, XrGDI::create_brush(XrGDI::BrushSolid, 0, 0, 255));
            XrGDI::draw_rectangle(dc, 100, 100, 109, 109);
        }
    }
    void notify_draw(XrDCHandleRec*) override { ++notifies; }
    void set_screen_size(const XrSize& s) override
    {
        if (s.width != 0 || s.height != 0)
            size = s;
    }
    XrSize get_screen_size() override { return size; }
    void set_update_rect(const XrRectangle* r) override { update_rect_cleared = r == nullptr; }
    void set_visible_rect(const XrRectangle& r) override { visible = r; }

    XrMapWindow* window = nullptr;
    bool map = true;
    XrColorHandle pass1_color = 0x00A000; // green
    std::vector<int> passes;
    std::vector<int> args;
    int notifies = 0;
    XrSize size;
    XrRectangle visible;
    bool update_rect_cleared = false;
};

class XrTestServices : public XrMapWindowServices {
public:
    XrTestServices() { set_map_window_services(this); }
    ~XrTestServices() override { set_map_window_services(nullptr); }

    bool has_route_provider() override { return route_provider; }
    bool has_route() override { return route; }
    bool get_hold_flag() override { return hold; }
    int get_route_panel_top() override { return panel_top; }
    void draw_route_overlays(XrDCHandleRec*, const XrSize& s) override
    {
        ++overlays;
        overlay_size = s;
    }
    bool has_position_provider() override { return position_provider; }
    bool is_position_active() override { return position_active; }
    bool position_has_fix() override { return fix; }
    bool use_alternate_units() override { return alternate_units; }

    bool route_provider = true;
    bool route = false;
    bool hold = false;
    int panel_top = 0;
    int overlays = 0;
    XrSize overlay_size;
    bool position_provider = false, position_active = false, fix = false, alternate_units = false;
};

// Logs "<name> <op> <args>" for each call; takes what `takes` names.
class XrTestHandler : public XrWindowEventHandler {
public:
    XrTestHandler(std::string name, std::vector<std::string>& log, bool take_all = false)
        : m_name(std::move(name)), m_log(log), m_take_all(take_all)
    {
    }
    int handle_key(int key, XrMapWindow* w) override
    {
        m_log.push_back(m_name + " key " + std::to_string(key));
        return m_take_all ? 1 : XrWindowEventHandler::handle_key(key, w);
    }
    int pointer_down(int x, int y, int b, XrMapWindow* w) override
    {
        m_log.push_back(m_name + " down " + std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(b));
        return m_take_all ? 1 : XrWindowEventHandler::pointer_down(x, y, b, w);
    }
    int pointer_up(int x, int y, int f, XrMapWindow* w) override
    {
        m_log.push_back(m_name + " up " + std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(f));
        return m_take_all ? 1 : XrWindowEventHandler::pointer_up(x, y, f, w);
    }
    int held_press(int x, int y, int f, XrMapWindow* w) override
    {
        m_log.push_back(m_name + " held " + std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(f));
        return m_take_all ? 1 : XrWindowEventHandler::held_press(x, y, f, w);
    }
    int pointer_up_alt(int x, int y, int f, XrMapWindow* w) override
    {
        m_log.push_back(m_name + " up_alt " + std::to_string(x) + "," + std::to_string(y) + " " +
                        std::to_string(f));
        return m_take_all ? 1 : XrWindowEventHandler::pointer_up_alt(x, y, f, w);
    }
    int can_tap_and_hold(int x, int y, XrMapWindow* w) override
    {
        m_log.push_back(m_name + " can_tah " + std::to_string(x) + "," + std::to_string(y));
        (void)w;
        return refuse_tap_and_hold ? 0 : 1;
    }
    int tap_and_hold(XrMapWindow* w) override
    {
        m_log.push_back(m_name + " tah");
        if (on_tap_and_hold)
            on_tap_and_hold(w);
        return m_take_all ? 1 : XrWindowEventHandler::tap_and_hold(w);
    }

    bool refuse_tap_and_hold = false;
    void (*on_tap_and_hold)(XrMapWindow*) = nullptr;

private:
    std::string m_name;
    std::vector<std::string>& m_log;
    bool m_take_all;
};

// A shown map window of 800 x 480 under a private root with the four
// decoration images; the first configure and expose have run.
class XrWindowFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!xr_window_test_display())
            GTEST_SKIP() << "no X display";
        root = std::make_unique<XrTempRoot>();
        const std::string images = root->make_dirs("/usr/share/kestrova/images");
        xr_write_png(images + "/grip.png", 20, 40, 0x0000FF);      // red
        xr_write_png(images + "/down.png", 30, 10, 0xFF00FF);      // magenta
        xr_write_png(images + "/right.png", 12, 30, 0x00FFFF);     // yellow
        xr_write_png(images + "/right_half.png", 6, 30, 0xFFFF00); // cyan
        set_app_map_window_source(&source);
        window = std::make_unique<XrMapWindow>(hildon_program_get_instance(), &view, &manager, nullptr);
        toplevel = GTK_WIDGET(window->get_window());
        gtk_window_set_default_size(GTK_WINDOW(toplevel), 800, 480);
        gtk_widget_show_all(toplevel);
        ASSERT_TRUE(xr_pump_until([&] { return window->get_composite_buffer() != nullptr && view.notifies > 0; }));
        xr_pump(50);
        reset_counts();
    }
    void TearDown() override
    {
        window.reset();
        set_app_map_window_source(nullptr);
        xr_pump(10);
    }
    void reset_counts()
    {
        view.passes.clear();
        view.notifies = 0;
        log.clear();
    }
    GtkWidget* area() const { return window->get_drawing_area(); }

    std::unique_ptr<XrTempRoot> root;
    XrTestServices services;
    XrTestView view;
    XrMapWindowManager manager;
    XrMapWindowSource source;
    std::unique_ptr<XrMapWindow> window;
    GtkWidget* toplevel = nullptr;
    std::vector<std::string> log;
};
