#include "apps/maemo_map/xr_listdlglisteners.h"

#include <gtk/gtk.h>

#include <string>

#include "apps/corvanel/ui/dialogs/xr_corvaneldialogfacade.h"
#include "apps/maemo_map/xr_maemomapapp.h"
#include "apps/maemo_map/xr_mainmenu.h"
#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/corvanel_core/interfaces/xr_favouritesprovider.h"
#include "common/corvanel_core/interfaces/xr_maplayerparts.h"
#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/corvanel_core/interfaces/xr_mapviewprovider.h"
#include "common/corvanel_core/interfaces/xr_poiprovider.h"
#include "common/corvanel_core/interfaces/xr_routeprovider.h"
#include "common/gdi/window/xr_mapwindow.h"
#include "common/map/xr_mapview.h"
#include "common/misc/xr_msgtable.h"
#include "common/misc/xr_utf8.h"
#include "common/ui/controls/xr_simplelistctrl.h"
#include "common/ui/dialog/xr_maemocommon.h"

namespace {

// Icon indexes of the favourites list: a favourite, the empty list's row.
constexpr int favourite_icon = 11;
constexpr int no_favourites_icon = XrListDlg::UNCHOOSABLE_ICON_INDEX;
// How long the view stays on a shown point before it follows the car again.
constexpr int follow_pause_ms = 15000;
// Classes listed first (each above the ones before it).
constexpr int first_classes[] = {0, 3, 46, 13};
constexpr int poi_result_limit = 10;

XrString text_of(const char* key) { return XrString(translate_key(key)); }

std::string utf8(const XrString& text)
{
    BYTE* bytes = nullptr;
    XrUTF8::wide_to_utf8_alloc(text, &bytes);
    std::string out(bytes != nullptr ? reinterpret_cast<const char*>(bytes) : "");
    delete[] bytes;
    return out;
}

XrFavouritesProvider* favourites() { return xr_registered<XrFavouritesProvider>(L"XrFavouritesProvider"); }

// Shows a point of the map: the view unrotated on it, a pin, following
// paused, and the rotation kept while a route shows.
void show_on_map(XrMaemoMapApp& app, const XrMapPoint& point)
{
    XrMapViewProvider* views = XrMapViewProvider::get_instance();
    if (views != nullptr) {
        views->set_rotation(0);
        views->show_mappoint(point);
    }
    XrMapProvider* maps = XrMapProvider::get_instance();
    if (maps != nullptr) {
        if (XrMapOverlayLayer* overlay = maps->get_overlay_layer())
            overlay->set_pin(point.get_map_point(), XrString());
    }
    app.suspend_auto_follow(follow_pause_ms, follow_pause_ms);
    XrRouteProvider* route = XrRouteProvider::get_instance();
    if (route != nullptr && route->has_route())
        app.freeze_rotation();
    app.redraw_map_window();
}

bool map_window_busy()
{
    XrMapWindow* window = XrMapWindow::get_instance();
    return window != nullptr && window->is_busy();
}

void set_map_window_busy()
{
    if (XrMapWindow* window = XrMapWindow::get_instance())
        window->set_busy(true);
}

// Adds the "configure" button beside OK: it ends the list as Cancel does
// and sets *chosen.
void add_configure_button(XrListDlgMaemo& dialog, bool* chosen)
{
    GtkWidget* button = gtk_button_new_with_label(translate_key("r_str_dlg_configure"));
    gtk_widget_set_name(button, "configure_button");
    GtkWidget* area = GTK_DIALOG(dialog.get_widget())->action_area;
    gtk_box_pack_start(GTK_BOX(area), button, FALSE, TRUE, 0);
    gtk_box_reorder_child(GTK_BOX(area), button, 1);
    gtk_widget_show(button);
    g_object_set_data(G_OBJECT(button), "chosen", chosen);
    g_signal_connect(button, "clicked", G_CALLBACK(+[](GtkButton* b, gpointer window) {
                         *static_cast<bool*>(g_object_get_data(G_OBJECT(b), "chosen")) = true;
                         gtk_dialog_response(GTK_DIALOG(window), GTK_RESPONSE_CANCEL);
                     }),
                     dialog.get_widget());
}

// Runs a list modally; true when its configure button ended it.
bool run_list(const char* title_key, XrArray<XrListDlgItem>& rows, int icon_id, XrListDlgListener* listener,
              bool configure)
{
    bool configure_chosen = false;
    auto* dialog = new XrListDlgMaemo(text_of(title_key), rows, icon_id, listener);
    dialog->construct();
    if (configure)
        add_configure_button(*dialog, &configure_chosen);
    // The choice starts at the first row (once the rows are in the view).
    GtkWidget* view = XrMaemoCommon::lookup_widget(dialog->get_widget(), "base_list");
    g_idle_add(
        +[](gpointer data) -> gboolean {
            auto* tree = GTK_TREE_VIEW(data);
            GtkTreeModel* model = gtk_tree_view_get_model(tree);
            GtkTreeIter first;
            if (model != nullptr && gtk_tree_model_get_iter_first(model, &first) && GTK_WIDGET_SENSITIVE(tree)) {
                GtkTreePath* path = gtk_tree_path_new_first();
                gtk_tree_view_set_cursor(tree, path, nullptr, FALSE);
                gtk_tree_path_free(path);
                gtk_widget_grab_focus(GTK_WIDGET(tree));
            }
            g_object_unref(tree);
            return G_SOURCE_REMOVE;
        },
        g_object_ref(view));
    dialog->start(1, true);
    return configure_chosen;
}

} // namespace

void XrFavouritesListDlgListener::item_chosen(int index)
{
    XrArray<XrFavourite> all(10);
    if (index >= 0 && favourites() != nullptr)
        favourites()->get_favourites(all);
    // The empty list's row, or a store that shrank meanwhile, shows nothing.
    if (index >= 0 && index < all.get_num_items()) {
        const XrFavourite& chosen = all.get_items()[index];
        g_printerr("kestrova-navigator: favourite shown: %s\n", utf8(chosen.get_name()).c_str());
        show_on_map(app, chosen);
    }
    delete this;
}

XrPOIListDlgListener::XrPOIListDlgListener(XrMaemoMapApp& app) : app(app), items(8), results(8), result_rows(8) {}

void XrPOIListDlgListener::matching_poi_found(XrPoiSearchResult* result)
{
    if (result != nullptr)
        results.append(*result);
}

void XrPOIListDlgListener::item_chosen(int index)
{
    if (stage == 0 && index >= 0 && index < items.get_num_items()) {
        const int class_id = items.get_items()[index].value;
        XrMapViewProvider* views = XrMapViewProvider::get_instance();
        XrMapView* view = views != nullptr ? views->get_map_view() : nullptr;
        auto* search = xr_registered<XrPoiSearchProvider>(L"XrPoiSearchProvider");
        if (view != nullptr && search != nullptr) {
            const XrRectangle& r = view->get_visible_rect();
            const XrPoint centre((r.left + r.right) / 2, (r.top + r.bottom) / 2);
            search->search_pois(XrString(), false, &centre, 0, nullptr, nullptr, class_id, this, poi_result_limit,
                                 -1, 0, false);
        }
        int icon_id = -1;
        for (int i = 0; i < results.get_num_items(); ++i) {
            const XrPoiSearchResult& found = results.get_items()[i];
            XrListDlgItem row;
            row.text = found.name;
            row.detail_text = found.description;
            row.icon_index = found.bm_data.icon_index;
            row.icon_id = found.bm_data.bm_id;
            row.value = i;
            if (i == 0)
                icon_id = found.bm_data.bm_id;
            result_rows.append(row);
        }
        stage = 1;
        g_printerr("kestrova-navigator: POIs of class %d: %d\n", class_id, results.get_num_items());
        // The listener lives on: the result list tells it the choice.
        set_map_window_busy();
        run_list("r_str_posdlg_page_poi", result_rows, icon_id, this, false);
        return;
    }
    if (stage == 1 && index >= 0 && index < results.get_num_items()) {
        const XrPoiSearchResult& found = results.get_items()[index];
        XrMapProvider* maps = XrMapProvider::get_instance();
        const XrCoordinate coordinate(found.position, maps != nullptr ? maps->get_projection() : nullptr);
        XrMapViewProvider* views = XrMapViewProvider::get_instance();
        if (XrMapView* view = views != nullptr ? views->get_map_view() : nullptr)
            view->set_center_and_scale(&found.position, view->get_scale_value(), false);
        g_printerr("kestrova-navigator: POI shown: %s\n", utf8(found.name).c_str());
        show_on_map(app, XrPoi(coordinate, static_cast<int>(found.gid)));
    }
    delete this;
}

void xr_show_favourites_list(XrMaemoMapApp& app)
{
    static int open = 0;
    if (map_window_busy() || open != 0)
        return;
    set_map_window_busy();
    ++open;
    XrArray<XrFavourite> all(10);
    if (favourites() != nullptr)
        favourites()->get_favourites(all);
    XrArray<XrListDlgItem> rows(10);
    for (int i = 0; i < all.get_num_items(); ++i) {
        XrListDlgItem row;
        row.text = all.get_items()[i].get_name();
        row.icon_index = favourite_icon;
        rows.append(row);
    }
    if (rows.get_num_items() == 0) {
        XrListDlgItem row;
        row.text = text_of("r_str_posdlg_no_favourites");
        row.icon_index = no_favourites_icon;
        rows.append(row);
    }
    g_printerr("kestrova-navigator: favourites list: %d rows\n", rows.get_num_items());
    const bool configure = run_list("r_str_posdlg_page_fav", rows, XrSimpleListCtrl::FILE_ICON_ID,
                                    new XrFavouritesListDlgListener(app), true);
    --open;
    if (configure)
        if (XrCorvanelDialogFacade* facade = XrCorvanelDialogFacade::get_instance())
            facade->show_favourites_dlg(app);
}

void xr_show_poi_categories(XrMaemoMapApp& app)
{
    if (map_window_busy())
        return;
    set_map_window_busy();
    auto* listener = new XrPOIListDlgListener(app);
    XrArray<XrListDlgItem>& rows = listener->get_items();
    int icon_id = -1;
    auto* pois = xr_registered<XrPoiProvider>(L"XrPoiProvider");
    if (pois != nullptr) {
        XrArray<XrPoiSettings*>& classes = pois->get_poi_settings();
        for (int i = 0; i < classes.get_num_items(); ++i) {
            XrPoiSettings* s = classes.get_items()[i];
            if (s == nullptr || !s->is_visible())
                continue;
            XrListDlgItem row;
            row.text = s->get_name();
            row.icon_index = s->get_small_bm_data().icon_index;
            row.icon_id = s->get_small_bm_data().bm_id;
            row.value = s->get_class_id();
            if (icon_id == -1)
                icon_id = row.icon_id;
            bool first = false;
            for (int id : first_classes)
                first = first || id == row.value;
            if (first)
                rows.insert_item(row, 0);
            else
                rows.append(row);
        }
    }
    g_printerr("kestrova-navigator: POI categories: %d rows\n", rows.get_num_items());
    if (run_list("r_str_posdlg_page_poi", rows, icon_id, listener, true))
        app.show_settings(1);
}
