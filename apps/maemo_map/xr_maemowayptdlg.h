// The route-edit window: the route's waypoints in travel order, with
// buttons to add, delete, move and activate one. It edits a copy; OK hands
// the copy and the current index to the route provider, which computes the
// route again.
#pragma once

#include "common/container/xr_array.h"
#include "common/corvanel_core/interfaces/xr_routeprovider.h"

#include <gtk/gtk.h>

class XrNaviApp;

// The working copy and the current index, without any window.
class XrWaypointEdit {
public:
    typedef XrRouteProvider::XrWaypoint Waypoint;

    XrWaypointEdit() : waypoints(8) {}

    XrArray<Waypoint>& items() { return waypoints; }
    int count() const { return waypoints.get_num_items(); }
    const Waypoint& at(int index) const { return *waypoints.get_item_ptr(index); }
    int get_current() const { return current; }
    void set_current(int index) { current = index; }

    // Whether the first entry is a fixed place (not the current position).
    bool first_is_place() const { return count() > 0 && at(0).used != 0; }
    // What the selection allows (a current-position start can be neither
    // deleted, moved nor activated).
    bool can_delete(int selected) const;
    bool can_move_up(int selected) const;
    bool can_move_down(int selected) const;

    // Removes a row; the current index stays on the same waypoint, or on
    // the new last one, and always within the rows.
    void remove(int index);
    // Swaps a row with its neighbour (step -1 or +1); the current index
    // follows a moved waypoint.
    void move(int index, int step);
    void append(const Waypoint& waypoint) { waypoints.append(waypoint); }

    // The current index handed over on OK: at least 1 with two or more
    // waypoints; -1 when the copy is no route (fewer than two waypoints).
    int index_for_route() const;

private:
    XrArray<Waypoint> waypoints;
    int current = 0;
};

class XrMaemoWayptDlg {
public:
    // Copies the route provider's waypoints and current index.
    explicit XrMaemoWayptDlg(XrNaviApp* app);
    ~XrMaemoWayptDlg();

    // Builds and shows the window and returns at once; the object deletes
    // itself when the window answers.
    void show();
    GtkWidget* get_widget() const { return dialog; }
    const XrWaypointEdit& get_edit() const { return edit; }

private:
    void fill_list();
    int selected() const;
    void select(int index);

    static void on_response(GtkDialog* dialog, gint response, gpointer data);
    static void on_selection_changed(GtkTreeSelection* selection, gpointer data);
    static void on_new(GtkButton* button, gpointer data);
    static void on_delete(GtkButton* button, gpointer data);
    static void on_up(GtkButton* button, gpointer data);
    static void on_down(GtkButton* button, gpointer data);
    static void on_activate(GtkButton* button, gpointer data);

    XrNaviApp* app;
    GtkWidget* dialog = nullptr;
    GtkListStore* store = nullptr;
    XrWaypointEdit edit;
};
