// Drawing-test helpers (tests run under Xvfb): a DC on an off-screen pixmap
// made like the map window's DC, a double of the application's map window,
// and pixel read-back.
#pragma once

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <vector>

#include "common/gdi/xr_app_map_window.h"
#include "common/gdi/xr_gdi.h"

constexpr XrColorHandle kWhite = 0xFFFFFF;
constexpr XrColorHandle kBlack = 0x000000;
constexpr XrColorHandle kRed = 0x0000FF;
constexpr XrColorHandle kGreen = 0x00FF00;
constexpr XrColorHandle kBlue = 0xFF0000;

// Font caches that fontconfig keeps for the life of the process.
extern "C" __attribute__((used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\n";
}

// Opens the display once; false without one.
inline bool xr_test_gdk_ready()
{
    static const bool ready = [] {
        if (!gtk_init_check(nullptr, nullptr))
            return false;
        XrGDI::init_stock_objects();
        return true;
    }();
    return ready;
}

#define XR_REQUIRE_DISPLAY() \
    if (!xr_test_gdk_ready()) \
    GTEST_SKIP() << "no X display"

// A window-like DC on its own pixmap: no pen, brush or font, transparent
// text, no clip (as a fresh window DC); the DC borrows drawable and GC.
class XrTestDC {
public:
    XrTestDC(int width = 200, int height = 100, XrColorHandle background = 0xFFFFFF)
    {
        pixmap = gdk_pixmap_new(gdk_get_default_root_window(), width, height, -1);
        gdk_drawable_set_colormap(pixmap, gdk_colormap_get_system());
        gc = gdk_gc_new(pixmap);
        PangoContext* context = gdk_pango_context_get();
        PangoLayout* layout = pango_layout_new(context);
        g_object_unref(context);
        dc = new XrDCHandleRec{};
        dc->drawable = pixmap;
        dc->owns_drawable = 0;
        dc->gc = gc;
        dc->layout = layout;
        dc->context = pango_layout_get_context(layout);
        dc->brush = XrBrushHandle{0, XrBrushHandle::NullMarker, {0, 0, 0, 0}};
        dc->pen = XrPenHandle{{0, 0, 0, 0}, 1, XrPenHandle::Null};
        dc->font = nullptr;
        dc->text_color = GdkColor{0, 0, 0, 0};
        gdk_colormap_alloc_color(gdk_colormap_get_system(), &dc->text_color, FALSE, TRUE);
        dc->transparent_text = 1;
        clear(background);
    }
    ~XrTestDC()
    {
        g_object_unref(dc->layout);
        delete dc;
        g_object_unref(gc);
        g_object_unref(pixmap);
    }
    XrTestDC(const XrTestDC&) = delete;
    XrTestDC& operator=(const XrTestDC&) = delete;

    // Fills the whole pixmap, leaving the DC's state as it was.
    void clear(XrColorHandle color)
    {
        GdkGC* plain = gdk_gc_new(pixmap);
        GdkColor c = {0, static_cast<guint16>(XrGDI::get_r(color) << 8),
                      static_cast<guint16>(XrGDI::get_g(color) << 8), static_cast<guint16>(XrGDI::get_b(color) << 8)};
        gdk_gc_set_rgb_fg_color(plain, &c);
        int w = 0, h = 0;
        gdk_drawable_get_size(pixmap, &w, &h);
        gdk_draw_rectangle(pixmap, plain, TRUE, 0, 0, w, h);
        g_object_unref(plain);
    }

    GdkPixmap* pixmap = nullptr;
    GdkGC* gc = nullptr;
    XrDCHandleRec* dc = nullptr;
};

// The pixels of a drawable, read once.
class XrTestPixels {
public:
    explicit XrTestPixels(GdkDrawable* drawable)
    {
        gdk_drawable_get_size(drawable, &width, &height);
        GdkPixbuf* pb = gdk_pixbuf_get_from_drawable(nullptr, drawable, gdk_colormap_get_system(), 0, 0, 0, 0,
                                                     width, height);
        const int n = gdk_pixbuf_get_n_channels(pb), stride = gdk_pixbuf_get_rowstride(pb);
        const guchar* p = gdk_pixbuf_get_pixels(pb);
        pixels.resize(static_cast<size_t>(width) * height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const guchar* q = p + y * stride + x * n;
                pixels[static_cast<size_t>(y) * width + x] = XrGDI::rgb(q[0], q[1], q[2]);
            }
        g_object_unref(pb);
    }
    explicit XrTestPixels(const XrDCHandleRec* dc) : XrTestPixels(dc->drawable) {}

    XrColorHandle at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    // Pixels of the colour inside [x0, x1) x [y0, y1).
    int count(XrColorHandle color, int x0 = 0, int y0 = 0, int x1 = -1, int y1 = -1) const
    {
        x1 = x1 < 0 ? width : x1;
        y1 = y1 < 0 ? height : y1;
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                n += at(x, y) == color;
        return n;
    }
    // Bounding box (right and bottom exclusive) of the pixels that are not
    // the background; empty (0, 0, 0, 0) when there are none.
    XrRectangle ink(XrColorHandle background) const
    {
        XrRectangle r(width, height, 0, 0);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (at(x, y) != background) {
                    r.left = std::min(r.left, x);
                    r.top = std::min(r.top, y);
                    r.right = std::max(r.right, x + 1);
                    r.bottom = std::max(r.bottom, y + 1);
                }
        return r.right == 0 ? XrRectangle() : r;
    }

    int width = 0;
    int height = 0;
    std::vector<XrColorHandle> pixels;
};

// The application's map window for drawing tests: an 800 x 480 window DC
// on a pixmap; counts the DCs handed out and released.
class XrTestMapWindowSource : public XrAppMapWindowSource {
public:
    XrTestMapWindowSource() : window_dc(800, 480) { set_app_map_window_source(this); }
    ~XrTestMapWindowSource() override { set_app_map_window_source(nullptr); }

    XrMapWindow* get_map_window() override { return reinterpret_cast<XrMapWindow*>(this); }
    XrDCHandleRec* get_window_dc(XrMapWindow* window) override
    {
        EXPECT_EQ(window, get_map_window());
        ++dcs_handed_out;
        return window_dc.dc;
    }
    void release_window_dc(XrMapWindow* window, XrDCHandleRec* dc) override
    {
        EXPECT_EQ(window, get_map_window());
        EXPECT_EQ(dc, window_dc.dc);
        ++dcs_released;
    }
    GtkWidget* get_widget(XrMapWindow*) override { return nullptr; }

    XrTestDC window_dc;
    int dcs_handed_out = 0;
    int dcs_released = 0;
};
