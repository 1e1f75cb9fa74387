// The GPS status window: the satellite signal control and, while there is a
// fix, the position control side by side in one drawing area, redrawn about
// once a second, with a check button that connects the position provider to
// the receiver or disconnects it. Shown without a nested main loop; the
// object deletes itself when the window closes.
#pragma once

#include <gtk/gtk.h>

class XrGpsPositionCtrl;
class XrMapWindow;
class XrSignalCtrl;
struct XrDCHandleRec;

class XrMaemoGpsDlg {
public:
    // Redraw period of the window.
    static constexpr unsigned kRefreshMs = 1000;

    explicit XrMaemoGpsDlg(XrMapWindow* map_window);
    // Frees the drawing context; the widgets and controls go when the
    // window closes.
    ~XrMaemoGpsDlg();
    XrMaemoGpsDlg(const XrMaemoGpsDlg&) = delete;
    XrMaemoGpsDlg& operator=(const XrMaemoGpsDlg&) = delete;

    // Opens the window unless the map window is busy (then false); the map
    // window stays busy until the window closes.
    static bool open(XrMapWindow* map_window);

    // Builds and shows the window, returns at once.
    void show();
    // Draws both controls into the drawing area as the fix says.
    void draw();
    // The window's top level (null before show).
    GtkWidget* get_dialog() const { return dialog; }

private:
    static gboolean on_expose(GtkWidget* widget, GdkEventExpose* event, gpointer data);
    static gboolean on_refresh_timer(gpointer data);
    static void on_connect_toggled(GtkToggleButton* button, gpointer data);
    static gboolean on_close_clicked(GtkButton* button, gpointer data);
    static void on_response(GtkDialog* dialog, gint response, gpointer data);
    void close();

    XrDCHandleRec* dc = nullptr;
    GtkWidget* dialog = nullptr;
    XrSignalCtrl* signal_ctrl = nullptr;
    XrGpsPositionCtrl* position_ctrl = nullptr;
    XrMapWindow* map_window;
    guint refresh_timer = 0;
};
