#include "apps/maemo_map/xr_maemowayptdlg.h"

#include "apps/apps_common/xr_naviapp.h"
#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/corvanel_core/interfaces/xr_positionprovider.h"
#include "common/gdi/window/xr_mapwindow.h"
#include "common/map/xr_routelayer.h"
#include "common/misc/xr_msgids.h"
#include "common/misc/xr_msgtable.h"
#include "common/ui/dialog/xr_builders.h"
#include "common/ui/dialog/xr_busydlg_maemo.h"
#include "common/ui/dialog/xr_maemocommon.h"

namespace {

XrString text_of(int id)
{
    XrString out;
    get_translated_text(out, id);
    return out;
}

// The route layer's current position, when the receiver is connected.
bool current_position(XrNaviApp* app, XrPoint& out)
{
    auto* position = xr_registered<XrPositionProvider>(L"XrPositionProvider");
    if (app == nullptr || position == nullptr || !position->is_connected() || XrMapProvider::get_instance() == nullptr)
        return false;
    XrRouteLayer* layer = app->get_route_layer();
    if (layer == nullptr || !layer->has_last_position())
        return false;
    out = layer->get_last_position();
    return true;
}

} // namespace

// ---- the working copy

bool XrWaypointEdit::can_delete(int s) const
{
    return s >= 0 && s < count() && (first_is_place() || s > 0);
}

bool XrWaypointEdit::can_move_up(int s) const
{
    return s >= 0 && s < count() && (s > 1 || (first_is_place() && s > 0));
}

bool XrWaypointEdit::can_move_down(int s) const
{
    return s >= 0 && s < count() - 1 && (first_is_place() || s > 0);
}

void XrWaypointEdit::remove(int index)
{
    if (index < 0 || index >= count())
        return;
    waypoints.remove_item(index);
    if (current > 0 && (index < current || (index == current && current >= count() && count() >= 2)))
        --current;
    if (current > count() - 1)
        current = count() > 0 ? count() - 1 : 0;
}

void XrWaypointEdit::move(int index, int step)
{
    const int other = index + step;
    if (index < 0 || other < 0 || index >= count() || other >= count())
        return;
    Waypoint moved = at(index);
    *waypoints.get_item_ptr(index) = at(other);
    *waypoints.get_item_ptr(other) = moved;
    if (current == index)
        current = other;
    else if (current == other)
        current = index;
}

int XrWaypointEdit::index_for_route() const
{
    if (count() < 2)
        return -1;
    if (current < 1)
        return 1;
    return current < count() ? current : count() - 1;
}

// ---- the window

XrMaemoWayptDlg::XrMaemoWayptDlg(XrNaviApp* application) : app(application)
{
    if (XrRouteProvider* route = XrRouteProvider::get_instance()) {
        edit.set_current(route->get_current_index());
        route->copy_waypoints(edit.items());
    }
}

XrMaemoWayptDlg::~XrMaemoWayptDlg()
{
    if (dialog != nullptr)
        gtk_widget_destroy(dialog);
    if (store != nullptr)
        g_object_unref(store);
}

void XrMaemoWayptDlg::show()
{
    dialog = create_route_plan_dlg();
    if (GtkWidget* top = XrMapWindow::get_toplevel())
        gtk_window_set_transient_for(GTK_WINDOW(dialog), GTK_WINDOW(top));
    gtk_window_set_destroy_with_parent(GTK_WINDOW(dialog), FALSE);
    XrMaemoCommon::set_thumb_scrollbar(dialog, "scrolledwindow");
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    g_signal_connect(dialog, "response", G_CALLBACK(on_response), this);
    XrMaemoCommon::set_dialog_title(dialog, text_of(R_STR_WAYPOINTS_TITLE), true);
    static const XrMaemoCommon::ItemText texts[] = {
        {"new_button", R_WAYPT_NEW, XrMaemoCommon::BUTTON},
        {"delete_button", R_WAYPT_DELETE, XrMaemoCommon::BUTTON},
        {"ok_button", R_STR_DLG_OK, XrMaemoCommon::BUTTON},
        {"cancel_button", R_STR_DLG_CANCEL, XrMaemoCommon::BUTTON},
        {"up_button", R_STR_DLG_FW_CMD_MOVE_UP, XrMaemoCommon::BUTTON},
        {"down_button", R_STR_DLG_FW_CMD_MOVE_DOWN, XrMaemoCommon::BUTTON},
        {"activate_button", R_WAYPT_ACTIVATE, XrMaemoCommon::BUTTON},
    };
    XrMaemoCommon::set_item_texts(dialog, texts, sizeof texts / sizeof texts[0]);

    GtkWidget* view = XrMaemoCommon::lookup_widget(dialog, "waypt_list");
    store = gtk_list_store_new(1, G_TYPE_STRING);
    gtk_tree_view_set_model(GTK_TREE_VIEW(view), GTK_TREE_MODEL(store));
    gtk_tree_view_insert_column_with_attributes(GTK_TREE_VIEW(view), -1, "", gtk_cell_renderer_text_new(), "text", 0,
                                                nullptr);
    g_signal_connect(gtk_tree_view_get_selection(GTK_TREE_VIEW(view)), "changed", G_CALLBACK(on_selection_changed),
                     this);
    XrPoint here;
    if (edit.count() == 0 && current_position(app, here)) {
        XrWaypointEdit::Waypoint start;
        start.used = 0;
        start.name = text_of(R_STR_MSG_CURRENT_LOCATION);
        edit.append(start);
    }
    fill_list();
    struct Button {
        const char* name;
        void (*handler)(GtkButton*, gpointer);
    } buttons[] = {{"new_button", on_new}, {"delete_button", on_delete}, {"up_button", on_up},
                   {"down_button", on_down}, {"activate_button", on_activate}};
    for (const Button& b : buttons)
        g_signal_connect(XrMaemoCommon::lookup_widget(dialog, b.name), "clicked", G_CALLBACK(b.handler), this);
    on_selection_changed(nullptr, this);
    gtk_widget_show(dialog);
    XrBusyDlgMaemo::close_current();
}

void XrMaemoWayptDlg::fill_list()
{
    gtk_list_store_clear(store);
    for (int i = 0; i < edit.count(); ++i) {
        // The row's role before its name: the list shows which waypoint
        // guidance heads for.
        XrString row = edit.at(i).name;
        if (i == edit.get_current() && i > 0)
            row = XrString(L"\u25b6 ") + row;
        XrMaemoCommon::list_store_append_text(store, row);
    }
}

int XrMaemoWayptDlg::selected() const
{
    GtkWidget* view = XrMaemoCommon::lookup_widget(dialog, "waypt_list");
    GtkTreeModel* model = nullptr;
    GtkTreeIter iter;
    if (!gtk_tree_selection_get_selected(gtk_tree_view_get_selection(GTK_TREE_VIEW(view)), &model, &iter))
        return -1;
    GtkTreePath* path = gtk_tree_model_get_path(model, &iter);
    const int index = gtk_tree_path_get_indices(path)[0];
    gtk_tree_path_free(path);
    return index;
}

void XrMaemoWayptDlg::select(int index)
{
    if (index < 0 || index >= edit.count())
        return;
    GtkWidget* view = XrMaemoCommon::lookup_widget(dialog, "waypt_list");
    GtkTreePath* path = gtk_tree_path_new_from_indices(index, -1);
    gtk_tree_selection_select_path(gtk_tree_view_get_selection(GTK_TREE_VIEW(view)), path);
    gtk_tree_path_free(path);
}

void XrMaemoWayptDlg::on_selection_changed(GtkTreeSelection*, gpointer data)
{
    auto* self = static_cast<XrMaemoWayptDlg*>(data);
    const int s = self->selected();
    XrMaemoCommon::set_widget_sensitive(self->dialog, "delete_button", self->edit.can_delete(s));
    XrMaemoCommon::set_widget_sensitive(self->dialog, "activate_button", self->edit.can_delete(s));
    XrMaemoCommon::set_widget_sensitive(self->dialog, "up_button", self->edit.can_move_up(s));
    XrMaemoCommon::set_widget_sensitive(self->dialog, "down_button", self->edit.can_move_down(s));
}

void XrMaemoWayptDlg::on_new(GtkButton*, gpointer data)
{
    auto* self = static_cast<XrMaemoWayptDlg*>(data);
    if (self->app == nullptr)
        return;
    XrPoint centre;
    const XrPoint* centre_of = nullptr;
    if (current_position(self->app, centre)) {
        centre_of = &centre;
    } else if (self->edit.count() > 0 && self->edit.at(self->edit.count() - 1).used != 0) {
        centre = XrPoint(self->edit.at(self->edit.count() - 1).x, self->edit.at(self->edit.count() - 1).y);
        centre_of = &centre;
    }
    gtk_widget_hide(self->dialog);
    XrWaypointEdit::Waypoint added;
    const bool ok = self->app->ask_waypoint(added, self->edit.count() > 0 ? 1 : 0, centre_of);
    gtk_widget_show(self->dialog);
    if (!ok)
        return;
    self->edit.append(added);
    self->fill_list();
    self->select(self->edit.count() - 1);
}

void XrMaemoWayptDlg::on_delete(GtkButton*, gpointer data)
{
    auto* self = static_cast<XrMaemoWayptDlg*>(data);
    const int s = self->selected();
    if (!self->edit.can_delete(s))
        return;
    self->edit.remove(s);
    self->fill_list();
    on_selection_changed(nullptr, self);
}

void XrMaemoWayptDlg::on_up(GtkButton*, gpointer data)
{
    auto* self = static_cast<XrMaemoWayptDlg*>(data);
    const int s = self->selected();
    if (!self->edit.can_move_up(s))
        return;
    self->edit.move(s, -1);
    self->fill_list();
    self->select(s - 1);
}

void XrMaemoWayptDlg::on_down(GtkButton*, gpointer data)
{
    auto* self = static_cast<XrMaemoWayptDlg*>(data);
    const int s = self->selected();
    if (!self->edit.can_move_down(s))
        return;
    self->edit.move(s, 1);
    self->fill_list();
    self->select(s + 1);
}

void XrMaemoWayptDlg::on_activate(GtkButton*, gpointer data)
{
    auto* self = static_cast<XrMaemoWayptDlg*>(data);
    const int s = self->selected();
    if (!self->edit.can_delete(s))
        return;
    self->edit.set_current(s);
    self->fill_list();
    self->select(s);
}

void XrMaemoWayptDlg::on_response(GtkDialog*, gint response, gpointer data)
{
    auto* self = static_cast<XrMaemoWayptDlg*>(data);
    if (response == GTK_RESPONSE_OK) {
        if (XrRouteProvider* route = XrRouteProvider::get_instance()) {
            const int index = self->edit.index_for_route();
            if (index < 0) {
                // Fewer than two waypoints make no route.
                route->clear_route();
                route->clear_waypoints();
            } else {
                route->set_waypoints(self->edit.items(), index);
                route->calculate_route(true, false, true);
            }
        }
    }
    delete self;
}
