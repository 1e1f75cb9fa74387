// The about window: the program's name and version with the map's data
// notice, a button that shows the program and map versions in a note and a
// button that closes it. Runs modally.
#pragma once

#include "common/container/xr_string.h"

#include <gtk/gtk.h>

class XrNaviApp;

class XrMaemoAboutDlg {
public:
    // Builds the window, runs it until it is closed (by its close button or
    // by the window manager) and destroys it.
    void run(XrNaviApp* app);

    // The text of the version note.
    static XrString version_note_text();
    // The text up to its first line feed or carriage return.
    static XrString first_line(const XrString& text);

private:
    static void on_version_clicked(GtkButton* button, gpointer data);
    static void on_close_clicked(GtkButton* button, gpointer data);

    GtkWidget* dialog = nullptr;
    XrNaviApp* app = nullptr;
};
