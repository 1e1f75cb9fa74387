// Expose-to-flip of the full 800 x 480 map window with its double buffer
// (needs an X display, e.g. xvfb-run -s "-screen 0 800x480x24"). Each
// iteration asks for an immediate redraw and waits for the X server, so the
// figures include the server's copy to the screen.
#include <benchmark/benchmark.h>

#include <gtk/gtk.h>

#include "common/gdi/window/xr_mapwindow.h"
#include "common/gdi/window/xr_mapwindowmanager.h"
#include "common/gdi/xr_gdi.h"

namespace {

// Pass 1 fills the buffer, pass 2 draws a few shapes: a cheap map.
class XrBenchView : public XrMapWindowView {
public:
    void set_window(XrMapWindow*) override {}
    bool has_map() override { return true; }
    void draw_map(XrDCHandleRec* dc, int pass, int, int) override
    {
        XrGDI::select_pen(dc, XrGDI::create_pen(XrGDI::PenSolid, 1, 40, 120, 40));
        XrGDI::select_brush(dc, XrGDI::create_brush(XrGDI::BrushSolid, 200, 220, 200));
        if (pass == 1)
            XrGDI::draw_rectangle(dc, 0, 0, 799, 479);
        else
            for (int i = 0; i < 20; ++i)
                XrGDI::draw_line(dc, i * 40, 0, 800 - i * 40, 480);
    }
    void notify_draw(XrDCHandleRec*) override {}
    void set_screen_size(const XrSize&) override {}
    XrSize get_screen_size() override { return XrSize(800, 480); }
    void set_update_rect(const XrRectangle*) override {}
    void set_visible_rect(const XrRectangle&) override {}
};

struct XrBenchWindow {
    XrBenchWindow() : window(hildon_program_get_instance(), &view, &manager, nullptr)
    {
        set_app_map_window_source(&source);
        gtk_window_set_default_size(GTK_WINDOW(window.get_window()), 800, 480);
        gtk_widget_show_all(GTK_WIDGET(window.get_window()));
        for (int i = 0; i < 200 && window.get_composite_buffer() == nullptr; ++i) {
            gdk_flush();
            while (g_main_context_iteration(nullptr, FALSE)) {
            }
            g_usleep(5000);
        }
    }
    ~XrBenchWindow() { set_app_map_window_source(nullptr); }

    XrBenchView view;
    XrMapWindowManager manager;
    XrMapWindowSource source;
    XrMapWindow window;
};

bool display_ready()
{
    static const bool ready = [] {
        if (!gtk_init_check(nullptr, nullptr))
            return false;
        XrGDI::init_stock_objects();
        return true;
    }();
    return ready;
}

// The usual expose: one copy of the finished picture to the screen.
void BM_ExposeToFlip(benchmark::State& state)
{
    if (!display_ready()) {
        state.SkipWithError("no X display");
        return;
    }
    XrBenchWindow w;
    if (w.window.get_composite_buffer() == nullptr) {
        state.SkipWithError("window not configured");
        return;
    }
    const bool keep_map = state.range(0) != 0;
    for (auto _ : state) {
        w.window.redraw(false, keep_map, -1, -1);
        gdk_display_sync(gdk_display_get_default());
    }
    state.SetLabel(keep_map ? "from the composite buffer" : "map passes rebuilt");
}
BENCHMARK(BM_ExposeToFlip)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

} // namespace
