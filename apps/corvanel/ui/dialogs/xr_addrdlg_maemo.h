// The address dialog on the tablet: the window "address_dlg", a start page
// of large buttons in front of the pages, the address page's three fields
// with their result lists, and the OK and Cancel buttons. Run modally by the
// dialog facade; the dialog deletes itself when the run ends.
#pragma once

#include "apps/corvanel/ui/dialogs/xr_addrdlg.h"
#include "common/ui/controls/xr_contextuallistctrl.h"

#include <gtk/gtk.h>

class XrAddrDlgMaemo : public XrAddrDlg, public XrListCtrlListener {
public:
    // Notebook pages of the window.
    enum NotebookPage {
        NB_ADDRESS = 0,
        NB_CITY = 1,
        NB_HISTORY = 2,
        NB_FAVOURITES = 3,
        NB_POI = 4,
        NB_COORDINATES = 5,
        NB_START = 6,
        NB_CONTACTS = 7 // added behind the window's own pages
    };

    XrAddrDlgMaemo(const XrString& title, XrCorvanelDialogFacade::AddressDlgType type, XrEventloopBase* loop,
                   XrProjection* projection, bool& chosen, XrPoint& point, XrString& name, const XrPoint* centre);
    ~XrAddrDlgMaemo() override;

    // Builds the window, transient for the map window, and runs it modally.
    // Returns when the dialog has ended (and deleted itself).
    void create_dialog(int mode);

    void create_controls() override;
    void handle_command(int id) override;
    void handle_layout_change(const XrRectangle&) override {}
    bool handle_key_event(int) override { return false; }
    bool handle_pointer_event(const XrPointerEvent&) override { return false; }

    // XrListCtrlListener: rows are chosen through the views' signals.
    void item_added(XrListItem*, int) override {}
    void item_removed(XrListItem*, int) override {}
    void item_changed(XrListItem*, int) override {}
    void item_selected(XrListItem&, int) override {}
    void moving_started(XrListItem&, int) override {}
    void moving_stopped(XrListItem&, int) override {}

protected:
    void rows_changed(int row) override;
    void texts_changed() override;
    void focus_changed() override;
    void arm_search_timer() override;
    void disarm_search_timer() override;

private:
    void show_page(int page);
    void show_lists();
    void schedule_ok_update();
    void accept();
    int row_of(GtkWidget* entry) const;
    GtkWidget* entry_of(int row) const;

    static void ok_clicked(GtkButton*, gpointer self);
    static void cancel_clicked(GtkButton*, gpointer self);
    static void address_clicked(GtkButton*, gpointer self);
    static void history_clicked(GtkButton*, gpointer self);
    static void coordinates_clicked(GtkButton*, gpointer self);
    static void coordinate_changed(GtkEditable*, gpointer self);
    void accept_coordinates();
    static void city_clicked(GtkButton*, gpointer self);
    static void favourites_clicked(GtkButton*, gpointer self);
    static void poi_clicked(GtkButton*, gpointer self);
    static void contacts_clicked(GtkButton*, gpointer self);
    // The contacts page and its start-page button, which the window's
    // design lacks.
    void add_contacts_page();
    // The where-combo's rows and their POI areas.
    void add_where_row(const XrString& text, int code);
    // The in-state row follows the address search's state filter.
    void refresh_poi_state_row();
    void show_contact_rows();
    static void page_text_changed(GtkEditable* entry, gpointer self);
    static void poi_where_changed(GtkComboBox*, gpointer self);
    static void page_row_activated(GtkTreeView* view, GtkTreePath* path, GtkTreeViewColumn*, gpointer self);
    static void selection_changed(GtkTreeSelection*, gpointer self);
    static gboolean page_search_timeout(gpointer self);
    XrContextualListCtrl<int>* make_list(const char* view, int page);
    void show_point_rows(XrContextualListCtrl<int>* list, const std::vector<PointRow>& rows, int icon);
    void show_poi_rows();
    void run_page_search();
    // Chooses row `index` of the current list page; true when a place was chosen.
    bool choose_on_page(int index);
    static void history_activated(GtkTreeView* view, GtkTreePath* path, GtkTreeViewColumn*, gpointer self);
    int current_page() const;
    static void entry_changed(GtkEditable* entry, gpointer self);
    static gboolean entry_focused(GtkWidget* entry, GdkEventFocus*, gpointer self);
    static gboolean entry_key(GtkWidget* entry, GdkEventKey* event, gpointer self);
    static void row_activated(GtkTreeView* view, GtkTreePath* path, GtkTreeViewColumn*, gpointer self);
    static gboolean search_timeout(gpointer self);
    static gboolean update_ok_idle(gpointer self);

    GtkWidget* m_widget = nullptr;
    GtkWidget* m_ok = nullptr;
    GtkWidget* m_cancel = nullptr;
    GtkWidget* m_entries[3] = {nullptr, nullptr, nullptr};
    XrContextualListCtrl<int>* m_lists[2] = {nullptr, nullptr};
    XrContextualListCtrl<int>* m_history_list = nullptr;
    XrContextualListCtrl<int>* m_city_list = nullptr;
    XrContextualListCtrl<int>* m_favourite_list = nullptr;
    XrContextualListCtrl<int>* m_poi_list = nullptr;
    XrContextualListCtrl<int>* m_contact_list = nullptr;
    std::vector<int> m_where_codes;
    guint m_page_timer = 0;
    guint m_timer = 0;
    guint m_ok_idle = 0;
    int m_quiet = 0; // >0 while the program itself writes the fields
};
