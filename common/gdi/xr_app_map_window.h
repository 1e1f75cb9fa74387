// What the drawing layer uses of the application shell and its map window:
// the application's map window, its window DC and its widget. The
// application object installs a source at start-up; tests install a double.
#pragma once

#include <gtk/gtk.h>

class XrMapWindow;
struct XrDCHandleRec;

class XrAppMapWindowSource {
public:
    virtual ~XrAppMapWindowSource() = default;
    // The application's map window; null while there is none.
    virtual XrMapWindow* get_map_window() = 0;
    // The window's DC (XrGDI::get_window_dc) and its release.
    virtual XrDCHandleRec* get_window_dc(XrMapWindow* window) = 0;
    virtual void release_window_dc(XrMapWindow* window, XrDCHandleRec* dc) = 0;
    // The widget whose Pango context measures text; may be null.
    virtual GtkWidget* get_widget(XrMapWindow* window) = 0;
};

// Installs the source (not owned; null removes it).
void set_app_map_window_source(XrAppMapWindowSource* source);
XrAppMapWindowSource* get_app_map_window_source();

// The application's map window; null without a source or window.
XrMapWindow* get_app_map_window();
