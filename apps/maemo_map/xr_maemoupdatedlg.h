// The frame of the maps and voices window: the "update_dlg" window with its
// installed and available pages, four buttons ("remove", "download",
// "update", "close") and their sensitivity from the page shown and whether
// an operation runs. What the pages hold and what the buttons do belongs to
// the subclass.
#pragma once

#include "common/container/xr_string.h"

#include <gtk/gtk.h>

class XrMaemoUpdateDlg {
public:
    XrMaemoUpdateDlg(const XrString& title, const XrString& installed_tab, const XrString& available_tab);
    virtual ~XrMaemoUpdateDlg() = default;
    XrMaemoUpdateDlg(const XrMaemoUpdateDlg&) = delete;
    XrMaemoUpdateDlg& operator=(const XrMaemoUpdateDlg&) = delete;

    // Runs the window modally, then destroys it and deletes the object: the
    // creator's last use of it.
    virtual void show();

    void set_busy(bool value);
    bool is_busy() const { return busy; }
    int get_page() const { return page; }
    GtkWidget* get_dialog() const { return dialog; }

protected:
    virtual void create_buttons();
    virtual void init_pages() = 0;
    virtual void remove_selected() {}
    virtual void download_selected() {}
    virtual void refresh_list() {}
    // Ends the run with the close response.
    virtual void close();
    virtual void set_page(int page);
    virtual void update_buttons();
    // After the run, before the window goes.
    virtual void run_ended() {}

    int page = 0;
    GtkWidget* dialog = nullptr;
    bool busy = false;

private:
    static void on_remove(GtkButton*, gpointer self);
    static void on_download(GtkButton*, gpointer self);
    static void on_update(GtkButton*, gpointer self);
    static void on_close(GtkButton*, gpointer self);
    static void on_switch_page(GtkNotebook*, gpointer, guint page, gpointer self);
};
