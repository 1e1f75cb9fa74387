// The generic list dialog: a title and a list of one- or two-line entries;
// the user picks one, and the listener hears the picked index (or -1) once,
// when the dialog goes away. XrListDlgMaemo is its GTK form over the window
// "list_dlg".
#pragma once

#include "common/container/xr_array.h"
#include "common/ui/controls/xr_contextuallistctrl.h"
#include "common/ui/dialog/xr_corvaneldialog.h"

#include <gtk/gtk.h>

class XrListDlgItem {
public:
    XrString text;        // first line
    XrString detail_text; // second line
    // The only item of a list with this icon index cannot be chosen.
    int icon_index = -1;
    // -1: the dialog's default icon id.
    int icon_id = -1;
    int value = 0; // not read by the dialog
};

class XrListDlgListener {
public:
    virtual ~XrListDlgListener() = default;
    // index: the chosen row, -1 when nothing was chosen.
    virtual void item_chosen(int index) = 0;
};

class XrListDlg : public XrCorvanelDialog, public XrListCtrlListener {
public:
    // The only item with this icon index is shown but not offered.
    static constexpr int UNCHOOSABLE_ICON_INDEX = 12;

    // items must live until show() has returned; listener may be null.
    XrListDlg(const XrString& title, XrArray<XrListDlgItem>& items, int default_icon_id, XrListDlgListener* listener);
    // Tells the listener the chosen index, exactly once.
    ~XrListDlg() override;

    void create_controls() override;
    void handle_layout_change(const XrRectangle& rect) override;
    void handle_command(int id) override;

    // XrListCtrlListener: a chosen item ends the dialog.
    void item_added(XrListItem*, int) override {}
    void item_removed(XrListItem*, int) override {}
    void item_changed(XrListItem*, int) override {}
    void item_selected(XrListItem& item, int index) override;
    void moving_started(XrListItem&, int) override {}
    void moving_stopped(XrListItem&, int) override {}

    int get_chosen_index() const { return m_chosen; }
    XrContextualListCtrl<void*>* get_list() const { return m_list; }

protected:
    int m_chosen = -1;
    XrString m_title;
    XrArray<XrListDlgItem>* m_items;
    int m_default_icon_id;
    XrListDlgListener* m_listener;
    XrContextualListCtrl<void*>* m_list = nullptr;
};

class XrListDlgMaemo : public XrListDlg {
public:
    XrListDlgMaemo(const XrString& title, XrArray<XrListDlgItem>& items, int default_icon_id,
                   XrListDlgListener* listener);
    // The window goes before the listener hears the outcome.
    ~XrListDlgMaemo() override;

    // Builds "list_dlg", modal and transient for the map window.
    void construct();
    void start(const int& mode, bool modal);
    // construct, then start. Not modal: returns at once, and the dialog
    // deletes itself when the user answers. Modal: returns when the user
    // has answered and the dialog is gone.
    void open(const int& mode, bool modal) override;
    GtkWidget* get_widget() const { return m_widget; }

    void create_controls() override;
    void handle_command(int) override {}
    void handle_layout_change(const XrRectangle&) override {}
    bool handle_key_event(int) override { return false; }
    bool handle_pointer_event(const XrPointerEvent&) override { return false; }

private:
    static void response(GtkDialog* dialog, gint id, gpointer dialog_object);
    static void row_activated(GtkTreeView* view, GtkTreePath* path, GtkTreeViewColumn* column, gpointer dialog_object);
    // The user answered: the map window is free again and, unless a modal
    // run ends it, the dialog goes.
    void finish();

    GtkWidget* m_widget = nullptr;
    bool m_finished = false;
};
