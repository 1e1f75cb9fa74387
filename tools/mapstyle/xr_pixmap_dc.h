// A DC on an off-screen pixmap, made like the map window's DC (no pen,
// brush or font, transparent text), and its PNG. Needs an open display.
#pragma once

#include <gtk/gtk.h>

#include <cstdio>
#include <string>

#include "common/gdi/xr_gdi.h"

class XrPixmapDC {
public:
    XrPixmapDC(int w, int h) : width(w), height(h)
    {
        pixmap = gdk_pixmap_new(gdk_get_default_root_window(), w, h, -1);
        gdk_drawable_set_colormap(pixmap, gdk_colormap_get_system());
        gc = gdk_gc_new(pixmap);
        PangoContext* context = gdk_pango_context_get();
        layout = pango_layout_new(context);
        g_object_unref(context);
        dc = new XrDCHandleRec{};
        dc->drawable = pixmap;
        dc->gc = gc;
        dc->layout = layout;
        dc->context = pango_layout_get_context(layout);
        dc->brush = XrBrushHandle{0, XrBrushHandle::NullMarker, {0, 0, 0, 0}};
        dc->pen = XrPenHandle{{0, 0, 0, 0}, 1, XrPenHandle::Null};
        dc->text_color = GdkColor{0, 0, 0, 0};
        gdk_colormap_alloc_color(gdk_colormap_get_system(), &dc->text_color, FALSE, TRUE);
        dc->transparent_text = 1;
    }
    ~XrPixmapDC()
    {
        g_object_unref(layout);
        delete dc;
        g_object_unref(gc);
        g_object_unref(pixmap);
    }
    XrPixmapDC(const XrPixmapDC&) = delete;
    XrPixmapDC& operator=(const XrPixmapDC&) = delete;

    // Writes the pixmap as PNG through a temporary file; false on failure.
    bool save_png(const std::string& path) const
    {
        GdkPixbuf* pb =
            gdk_pixbuf_get_from_drawable(nullptr, pixmap, gdk_colormap_get_system(), 0, 0, 0, 0, width, height);
        if (pb == nullptr)
            return false;
        const std::string tmp = path + ".tmp";
        GError* error = nullptr;
        const bool ok = gdk_pixbuf_save(pb, tmp.c_str(), "png", &error, nullptr) != FALSE;
        if (error != nullptr)
            g_error_free(error);
        g_object_unref(pb);
        return ok && std::rename(tmp.c_str(), path.c_str()) == 0;
    }

    int width;
    int height;
    GdkPixmap* pixmap;
    GdkGC* gc;
    PangoLayout* layout;
    XrDCHandleRec* dc;
};
