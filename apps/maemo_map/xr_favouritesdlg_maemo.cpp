#include "apps/maemo_map/xr_favouritesdlg_maemo.h"

#include "apps/apps_common/xr_naviapp.h"
#include "apps/corvanel/ui/dialogs/xr_corvaneldialogfacade.h"
#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/corvanel_core/interfaces/xr_favouritesprovider.h"
#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/corvanel_core/interfaces/xr_mapviewprovider.h"
#include "common/gdi/window/xr_mapwindow.h"
#include "common/map/xr_routelayer.h"
#include "common/misc/xr_msgids.h"
#include "common/misc/xr_msgtable.h"
#include "common/ui/dialog/xr_builders.h"
#include "common/ui/dialog/xr_commondialogs.h"
#include "common/ui/dialog/xr_maemocommon.h"

#include <string>

namespace {

constexpr int max_name = 128;

XrString text_of(int id)
{
    XrString out;
    get_translated_text(out, id);
    return out;
}

XrFavouritesProvider* favourites_provider()
{
    return xr_registered<XrFavouritesProvider>(L"XrFavouritesProvider");
}

XrProjection* map_projection()
{
    XrMapProvider* maps = XrMapProvider::get_instance();
    return maps != nullptr ? maps->get_projection() : nullptr;
}

} // namespace

// ---- the working copy

void XrFavouritesEdit::set_active(int index)
{
    if (count() == 0)
        active = -1;
    else if (index < 0)
        active = 0;
    else
        active = index < count() ? index : count() - 1;
}

XrFavouritesEdit::NameCheck XrFavouritesEdit::check_name(XrString& name) const
{
    name.trim(L"\n \t\r");
    if (name.length() == 0)
        return NAME_EMPTY;
    for (int i = 0; i < count(); ++i)
        if (at(i).get_name() == name)
            return NAME_NOT_UNIQUE;
    return NAME_OK;
}

XrFavouritesEdit::NameCheck XrFavouritesEdit::rename_active(XrString name)
{
    if (active < 0)
        return NAME_EMPTY;
    const NameCheck check = check_name(name);
    if (check == NAME_OK)
        favourites.get_item_ptr(active)->set_name(name);
    return check;
}

void XrFavouritesEdit::delete_active()
{
    if (active < 0)
        return;
    favourites.remove_item(active);
    set_active(active);
}

bool XrFavouritesEdit::move_active(int step)
{
    const int other = active + step;
    if (active < 0 || other < 0 || other >= count())
        return false;
    XrFavourite moved = at(active);
    *favourites.get_item_ptr(active) = at(other);
    *favourites.get_item_ptr(other) = moved;
    active = other;
    return true;
}

void XrFavouritesEdit::add_first(const XrFavourite& favourite)
{
    favourites.insert_item(favourite, 0);
    active = 0;
}

bool XrFavouritesEdit::differs_from(const XrArray<XrFavourite>& stored) const
{
    if (stored.get_num_items() != count())
        return true;
    for (int i = 0; i < count(); ++i)
        if (!(at(i) == *stored.get_item_ptr(i)))
            return true;
    return false;
}

// ---- the window

XrFavouritesDlgMaemo::XrFavouritesDlgMaemo(XrNaviApp* application, const XrFavourite* highlight)
    : app(application), has_preselected(highlight != nullptr)
{
    if (highlight != nullptr)
        preselected = *highlight;
}

XrFavouritesDlgMaemo::~XrFavouritesDlgMaemo()
{
    if (dialog != nullptr)
        gtk_widget_destroy(dialog);
    if (store != nullptr)
        g_object_unref(store);
}

void XrFavouritesDlgMaemo::open()
{
    dialog = create_favourites_dlg();
    gtk_window_set_destroy_with_parent(GTK_WINDOW(dialog), FALSE);
    if (GtkWidget* top = XrMapWindow::get_toplevel())
        gtk_window_set_transient_for(GTK_WINDOW(dialog), GTK_WINDOW(top));
    XrMaemoCommon::set_dialog_title(dialog, text_of(R_MENU_FAVOURITES), true);

    static const XrMaemoCommon::ItemText texts[] = {
        {"rename_button", R_FAV_DLG_MENU_RENAME, XrMaemoCommon::BUTTON},
        {"delete_button", R_FAV_DLG_MENU_DELETE, XrMaemoCommon::BUTTON},
        {"navigate_to_button", R_FAV_DLG_MENU_FIND_ROUTE, XrMaemoCommon::BUTTON},
        {"add_current_location_button", R_MENU_FAVOURITES_ADD_CURRENT_LOC, XrMaemoCommon::BUTTON},
        {"add_address_button", R_MENU_FAVOURITES_ADD_ADDRESS, XrMaemoCommon::BUTTON},
        {"ok_button", R_STR_DLG_OK, XrMaemoCommon::BUTTON},
        {"back_button", R_STR_DLG_CANCEL, XrMaemoCommon::BUTTON},
        {"move_up_button", R_STR_DLG_FW_CMD_MOVE_UP, XrMaemoCommon::BUTTON},
        {"move_down_button", R_STR_DLG_FW_CMD_MOVE_DOWN, XrMaemoCommon::BUTTON},
    };
    XrMaemoCommon::set_item_texts(dialog, texts, sizeof texts / sizeof texts[0]);

    // Reordering has no other road on this window.
    gtk_widget_show(XrMaemoCommon::lookup_widget(dialog, "move_up_button"));
    gtk_widget_show(XrMaemoCommon::lookup_widget(dialog, "move_down_button"));

    g_signal_connect(dialog, "response", G_CALLBACK(on_response), this);
    struct Button {
        const char* name;
        void (*handler)(GtkButton*, gpointer);
    } buttons[] = {
        {"rename_button", on_rename},         {"delete_button", on_delete},
        {"navigate_to_button", on_navigate},  {"add_current_location_button", on_add_current},
        {"add_address_button", on_add_address}, {"move_up_button", on_move_up},
        {"move_down_button", on_move_down},
    };
    for (const Button& b : buttons)
        g_signal_connect(XrMaemoCommon::lookup_widget(dialog, b.name), "clicked", G_CALLBACK(b.handler), this);

    GtkWidget* view = XrMaemoCommon::lookup_widget(dialog, "fav_list");
    store = gtk_list_store_new(1, G_TYPE_STRING);
    gtk_tree_view_set_model(GTK_TREE_VIEW(view), GTK_TREE_MODEL(store));
    if (gtk_tree_view_get_column(GTK_TREE_VIEW(view), 0) == nullptr)
        gtk_tree_view_insert_column_with_attributes(GTK_TREE_VIEW(view), -1, "", gtk_cell_renderer_text_new(), "text",
                                                    0, nullptr);
    g_signal_connect(view, "row-activated", G_CALLBACK(on_row_activated), this);
    g_signal_connect(gtk_tree_view_get_selection(GTK_TREE_VIEW(view)), "changed", G_CALLBACK(on_selection_changed),
                     this);
    XrMaemoCommon::set_thumb_scrollbar(dialog, "scrolledwindow");

    if (XrFavouritesProvider* provider = favourites_provider())
        provider->get_favourites(edit.items());
    edit.set_active(0);
    if (has_preselected)
        for (int i = 0; i < edit.count(); ++i)
            if (edit.at(i).get_id() == preselected.get_id())
                edit.set_active(i);
    build_list();
    gtk_widget_show(dialog);
    XrCorvanelDialogFacade::add_open_count(XrString(open_count_name), 1);
}

void XrFavouritesDlgMaemo::build_list()
{
    filling = true;
    gtk_list_store_clear(store);
    for (int i = 0; i < edit.count(); ++i)
        XrMaemoCommon::list_store_append_text(store, edit.at(i).get_name());
    GtkWidget* view = XrMaemoCommon::lookup_widget(dialog, "fav_list");
    GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(view));
    if (edit.get_active() >= 0) {
        GtkTreePath* path = gtk_tree_path_new_from_indices(edit.get_active(), -1);
        gtk_tree_selection_select_path(selection, path);
        gtk_tree_view_scroll_to_cell(GTK_TREE_VIEW(view), path, nullptr, FALSE, 0, 0);
        gtk_tree_path_free(path);
    }
    filling = false;
    update_commands();
}

void XrFavouritesDlgMaemo::update_commands()
{
    const bool rows = edit.count() > 0;
    XrMaemoCommon::set_widget_sensitive(dialog, "rename_button", rows);
    XrMaemoCommon::set_widget_sensitive(dialog, "delete_button", rows);
    XrMaemoCommon::set_widget_sensitive(dialog, "navigate_to_button", rows);
    XrMaemoCommon::set_widget_sensitive(dialog, "move_up_button", edit.get_active() > 0);
    XrMaemoCommon::set_widget_sensitive(dialog, "move_down_button", rows && edit.get_active() < edit.count() - 1);
    XrRouteLayer* layer = app != nullptr && XrMapProvider::get_instance() != nullptr ? app->get_route_layer() : nullptr;
    XrMaemoCommon::set_widget_sensitive(dialog, "add_current_location_button",
                                        layer != nullptr && layer->has_last_position());
    XrMaemoCommon::set_widget_sensitive(dialog, "add_address_button", true);
}

bool XrFavouritesDlgMaemo::save_favourites(bool only_when_changed)
{
    XrFavouritesProvider* provider = favourites_provider();
    if (provider == nullptr)
        return false;
    if (only_when_changed) {
        XrArray<XrFavourite> stored(8, 0);
        provider->get_favourites(stored);
        if (!edit.differs_from(stored))
            return true;
    }
    if (provider->set_favourites(edit.items()))
        return true;
    XrCommonDialogs::show_msg(text_of(R_STR_MEMORY_CARD_WRITE_ERROR), dialog != nullptr ? GTK_WINDOW(dialog) : nullptr);
    return false;
}

void XrFavouritesDlgMaemo::close()
{
    XrCorvanelDialogFacade::add_open_count(XrString(open_count_name), -1);
    if (XrMapWindow* map = XrMapWindow::get_instance())
        map->set_busy(false);
    delete this;
}

bool XrFavouritesDlgMaemo::ask_name(XrString& name, int title_id)
{
    if (name.length() > max_name)
        name = XrString(std::wstring(name.c_str()).substr(0, max_name).c_str());
    if (!XrCommonDialogs::show_input_dlg(text_of(title_id), text_of(R_STR_FAVOURITE_NAME_DIALOG), name, max_name,
                                         false, GTK_WINDOW(dialog)))
        return false;
    switch (edit.check_name(name)) {
    case XrFavouritesEdit::NAME_OK:
        return true;
    case XrFavouritesEdit::NAME_EMPTY:
        XrCommonDialogs::show_msg(text_of(R_STR_FAVOURITE_INVALID_NAME), GTK_WINDOW(dialog));
        return false;
    case XrFavouritesEdit::NAME_NOT_UNIQUE: {
        XrString note;
        note.format_text(256, R_STR_FAVOURITE_NOT_UNIQUE, name.c_str());
        XrCommonDialogs::show_msg(note, GTK_WINDOW(dialog));
        return false;
    }
    }
    return false;
}

void XrFavouritesDlgMaemo::navigate_to_active()
{
    if (edit.get_active() < 0)
        return;
    const XrFavourite favourite = edit.at(edit.get_active());
    // Edits made before choosing are kept, as OK would.
    save_favourites(true);
    gtk_widget_hide(dialog);
    XrNaviApp* application = app;
    close();
    if (application != nullptr) {
        const XrPoint destination = favourite.get_coordinate().to_point(map_projection());
        application->app_navigate_to(nullptr, &destination, favourite.get_name());
    }
}

void XrFavouritesDlgMaemo::show_active()
{
    if (edit.get_active() < 0)
        return;
    const XrFavourite favourite = edit.at(edit.get_active());
    save_favourites(true);
    close();
    if (auto* view = xr_registered<XrMapViewProvider>(L"XrMapViewProvider"))
        view->show_mappoint(favourite);
}

void XrFavouritesDlgMaemo::on_response(GtkDialog*, gint response, gpointer data)
{
    auto* self = static_cast<XrFavouritesDlgMaemo*>(data);
    if (response == GTK_RESPONSE_OK)
        self->save_favourites(true);
    self->close();
}

void XrFavouritesDlgMaemo::on_row_activated(GtkTreeView*, GtkTreePath* path, GtkTreeViewColumn*, gpointer data)
{
    auto* self = static_cast<XrFavouritesDlgMaemo*>(data);
    self->edit.set_active(gtk_tree_path_get_indices(path)[0]);
    self->show_active();
}

void XrFavouritesDlgMaemo::on_selection_changed(GtkTreeSelection* selection, gpointer data)
{
    auto* self = static_cast<XrFavouritesDlgMaemo*>(data);
    if (self->filling)
        return;
    GtkTreeModel* model = nullptr;
    GtkTreeIter iter;
    if (gtk_tree_selection_get_selected(selection, &model, &iter)) {
        GtkTreePath* path = gtk_tree_model_get_path(model, &iter);
        self->edit.set_active(gtk_tree_path_get_indices(path)[0]);
        gtk_tree_path_free(path);
    }
    self->update_commands();
}

void XrFavouritesDlgMaemo::on_rename(GtkButton*, gpointer data)
{
    auto* self = static_cast<XrFavouritesDlgMaemo*>(data);
    if (self->edit.get_active() < 0)
        return;
    XrString name = self->edit.at(self->edit.get_active()).get_name();
    if (!self->ask_name(name, R_STR_RENAME_FAVOURITE_TITLE))
        return;
    self->edit.rename_active(name);
    self->build_list();
}

void XrFavouritesDlgMaemo::on_delete(GtkButton*, gpointer data)
{
    auto* self = static_cast<XrFavouritesDlgMaemo*>(data);
    if (self->edit.get_active() < 0)
        return;
    if (!XrCommonDialogs::show_query_msg(text_of(R_STR_CONFIRM_DELETE), text_of(R_STR_FAV_DEL),
                                         GTK_WINDOW(self->dialog)))
        return;
    self->edit.delete_active();
    self->build_list();
}

void XrFavouritesDlgMaemo::on_navigate(GtkButton*, gpointer data)
{
    static_cast<XrFavouritesDlgMaemo*>(data)->navigate_to_active();
}

void XrFavouritesDlgMaemo::on_add_current(GtkButton*, gpointer data)
{
    auto* self = static_cast<XrFavouritesDlgMaemo*>(data);
    XrRouteLayer* layer = self->app != nullptr ? self->app->get_route_layer() : nullptr;
    if (layer == nullptr || !layer->has_last_position())
        return;
    const XrPoint position = layer->get_last_position();
    XrString name = text_of(R_STR_MSG_CURRENT_LOCATION);
    if (!self->ask_name(name, R_MENU_FAVOURITES_ADD_CURRENT_LOC))
        return;
    self->edit.add_first(XrFavourite(XrCoordinate(position, map_projection()), 0, name, 0));
    self->build_list();
}

void XrFavouritesDlgMaemo::on_add_address(GtkButton*, gpointer data)
{
    auto* self = static_cast<XrFavouritesDlgMaemo*>(data);
    if (self->app == nullptr)
        return;
    XrPoint point;
    XrString name;
    if (!self->app->show_address_dialog(text_of(R_STR_POSDLG_TITLE_LOCATION), 2, point, name, nullptr))
        return;
    self->edit.add_first(XrFavourite(XrCoordinate(point, map_projection()), 0, name, 0));
    self->build_list();
}

void XrFavouritesDlgMaemo::on_move_up(GtkButton*, gpointer data)
{
    auto* self = static_cast<XrFavouritesDlgMaemo*>(data);
    if (self->edit.move_active(-1))
        self->build_list();
}

void XrFavouritesDlgMaemo::on_move_down(GtkButton*, gpointer data)
{
    auto* self = static_cast<XrFavouritesDlgMaemo*>(data);
    if (self->edit.move_active(1))
        self->build_list();
}
