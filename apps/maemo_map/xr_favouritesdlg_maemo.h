// The favourites window: rename, delete, reorder, add the current position
// or an address, navigate to a favourite or show it on the map. It works on
// a copy of the stored favourites; the copy reaches the provider as a whole
// on OK and before leaving for the map (navigate, show), only when changed.
#pragma once

#include "common/container/xr_array.h"
#include "common/corvanel_core/interfaces/xr_mappoint.h"

#include <gtk/gtk.h>

class XrNaviApp;

// The working copy and its highlighted row, without any window.
class XrFavouritesEdit {
public:
    enum NameCheck { NAME_OK = 0, NAME_EMPTY = 1, NAME_NOT_UNIQUE = 2 };

    XrFavouritesEdit() : favourites(5) {}

    XrArray<XrFavourite>& items() { return favourites; }
    int count() const { return favourites.get_num_items(); }
    const XrFavourite& at(int index) const { return *favourites.get_item_ptr(index); }
    int get_active() const { return active; }
    // Clamped to the rows (-1 for an empty list).
    void set_active(int index);

    // The name trimmed of "\n \t\r"; NAME_NOT_UNIQUE when a row (the
    // renamed one included) has exactly that name.
    NameCheck check_name(XrString& name) const;
    // Renames the highlighted row after check_name.
    NameCheck rename_active(XrString name);
    // Removes the highlighted row; the highlight stays at its place or
    // moves to the new last row.
    void delete_active();
    // Swaps the highlighted row with its neighbour (-1 up, +1 down) and
    // follows it; false at either end.
    bool move_active(int step);
    // Puts a new favourite first and highlights it.
    void add_first(const XrFavourite& favourite);
    // Whether the copy differs from the list (count, or any favourite by
    // id, name, speed dial and uid).
    bool differs_from(const XrArray<XrFavourite>& stored) const;

private:
    XrArray<XrFavourite> favourites;
    int active = -1;
};

class XrFavouritesDlgMaemo {
public:
    // highlight: the favourite to select when the window opens, or null.
    XrFavouritesDlgMaemo(XrNaviApp* app, const XrFavourite* highlight);
    ~XrFavouritesDlgMaemo();

    // Builds and shows the window, not modal. The object deletes itself
    // when the window closes.
    void open();
    GtkWidget* get_widget() const { return dialog; }
    const XrFavouritesEdit& get_edit() const { return edit; }

    // Hands the copy to the provider (only_when_changed: unless equal to
    // the stored list); false, after a note, when it cannot be stored.
    bool save_favourites(bool only_when_changed);

    // Open dialogs are counted under this name.
    static constexpr const TCHAR* open_count_name = L"Favourites";

private:
    void build_list();
    void update_commands();
    // Closes the window and deletes this object.
    void close();
    void navigate_to_active();
    void show_active();
    // Asks for a name (initial text, title id); false when cancelled or
    // refused with a note.
    bool ask_name(XrString& name, int title_id);

    static void on_response(GtkDialog* dialog, gint response, gpointer data);
    static void on_row_activated(GtkTreeView* view, GtkTreePath* path, GtkTreeViewColumn* column, gpointer data);
    static void on_selection_changed(GtkTreeSelection* selection, gpointer data);
    static void on_rename(GtkButton* button, gpointer data);
    static void on_delete(GtkButton* button, gpointer data);
    static void on_navigate(GtkButton* button, gpointer data);
    static void on_add_current(GtkButton* button, gpointer data);
    static void on_add_address(GtkButton* button, gpointer data);
    static void on_move_up(GtkButton* button, gpointer data);
    static void on_move_down(GtkButton* button, gpointer data);

    XrNaviApp* app;
    XrFavouritesEdit edit;
    XrFavourite preselected;
    bool has_preselected;
    GtkWidget* dialog = nullptr;
    GtkListStore* store = nullptr;
    // Set while the list is refilled, so that selection changes are ours.
    bool filling = false;
};
