#include "apps/maemo_map/xr_mainmenu.h"

#include <gdk/gdkkeysyms.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "apps/apps_common/xr_mapmenus.h"
#include "apps/corvanel/ui/dialogs/xr_corvaneldialogfacade.h"
#include "apps/maemo_map/xr_listdlglisteners.h"
#include "apps/maemo_map/xr_maemomapapp.h"
#include "apps/maemo_map/xr_maemomapdialogfacade.h"
#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/corvanel_core/interfaces/xr_appsettingsprovider.h"
#include "common/corvanel_core/interfaces/xr_mapviewprovider.h"
#include "common/corvanel_core/interfaces/xr_positionprovider.h"
#include "common/corvanel_core/interfaces/xr_routeprovider.h"
#include "common/gdi/window/xr_mapwindow.h"
#include "common/map/xr_routelayer.h"
#include "common/misc/xr_msgtable.h"
#include "common/misc/xr_path_resolver.h"
#include "common/os/xr_system.h"
#include "common/ui/dialog/xr_builders.h"
#include "common/ui/dialog/xr_maemocommon.h"

namespace {

// Height of the toolbar under the map (the map view is 422 of 480 lines).
constexpr int toolbar_height = 58;

// The partner's page of the about menu.
const char* const partner_page = "https://www.kestrovatech.com/internettablet/";

GtkWidget* g_menu = nullptr;
GtkWidget* g_view_3d_item = nullptr;
GtkWidget* g_zoom_item = nullptr;
GtkWidget* g_north_item = nullptr;
GtkWidget* g_clear_route_item = nullptr;
bool g_syncing_view_item = false;
bool g_syncing_zoom_item = false;
bool g_north_busy = false;
// Re-entry counters of the toolbar buttons 1, 3 and 4.
int g_place_count = 0;
int g_poi_count = 0;
int g_gps_count = 0;

XrMaemoMapApp& app_of(gpointer data) { return *static_cast<XrMaemoMapApp*>(data); }

XrAppSettingsProvider* app_settings() { return xr_registered<XrAppSettingsProvider>(L"XrAppSettingsProvider"); }

// Runs f unless a run of it is under way (counter guard).
template <class F>
void guarded(int& counter, F f)
{
    if (counter != 0)
        return;
    ++counter;
    f();
    --counter;
}

// Each entry chosen is logged with its key and text.
void log_entry(const char* key)
{
    g_printerr("menu: %s \"%s\"\n", key, g_str_has_prefix(key, "toolbutton") ? "" : translate_key(key));
}

GtkWidget* append_item(GtkWidget* menu, const char* key, GCallback callback, gpointer data)
{
    GtkWidget* item = gtk_menu_item_new_with_label(translate_key(key));
    gtk_widget_set_name(item, key);
    if (callback != nullptr)
        g_signal_connect(item, "activate", callback, data);
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
    return item;
}

GtkWidget* append_check(GtkWidget* menu, const char* key, GCallback callback, gpointer data)
{
    GtkWidget* item = gtk_check_menu_item_new_with_label(translate_key(key));
    gtk_widget_set_name(item, key);
    g_signal_connect(item, "toggled", callback, data);
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
    return item;
}

GtkWidget* append_submenu(GtkWidget* menu, const char* key)
{
    GtkWidget* item = append_item(menu, key, nullptr, nullptr);
    GtkWidget* sub = gtk_menu_new();
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(item), sub);
    return sub;
}

void append_separator(GtkWidget* menu) { gtk_menu_shell_append(GTK_MENU_SHELL(menu), gtk_separator_menu_item_new()); }

// ---- entries

void on_find_location(GtkMenuItem*, gpointer data)
{
    log_entry("r_menu_find_location");
    guarded(g_place_count, [&] { app_of(data).show_place(); });
}

void on_plan_route(GtkMenuItem*, gpointer data)
{
    log_entry("r_menu_find_route");
    app_of(data).plan_route();
}

void on_edit_route(GtkMenuItem*, gpointer data)
{
    log_entry("r_menu_find_edit_route");
    app_of(data).show_waypoints();
}

void on_clear_route(GtkMenuItem*, gpointer data)
{
    log_entry("r_menu_find_clear_route");
    app_of(data).clear_route_with_query();
}

void on_view_3d(GtkCheckMenuItem*, gpointer data)
{
    if (g_syncing_view_item)
        return;
    log_entry("r_menu_view_3d");
    app_of(data).toggle_3d_view();
}

void on_gps_status(GtkMenuItem*, gpointer data)
{
    log_entry("r_menu_gps_status");
    // The window holds the map window's busy flag until it closes.
    guarded(g_gps_count, [&] { app_of(data).show_gps_status(); });
}

void on_zoom_item(GtkCheckMenuItem* item, gpointer data)
{
    if (g_syncing_zoom_item)
        return;
    log_entry("r_str_menu_view_zoom");
    if (XrMapWindow* window = app_of(data).get_map_window())
        window->set_toggle_off(!gtk_check_menu_item_get_active(item));
}

void on_current_location(GtkMenuItem*, gpointer data)
{
    log_entry("r_str_menu_view_show_current_location");
    xr_show_current_location(app_of(data));
}

void on_store_view(GtkMenuItem*, gpointer data)
{
    log_entry("r_menu_settings_set_as_default_view");
    app_of(data).store_view();
}

void on_north(GtkCheckMenuItem*, gpointer data)
{
    if (g_north_busy)
        return;
    log_entry("r_menu_view_reset_north");
    xr_toggle_north(app_of(data), true);
}

void on_maps(GtkMenuItem*, gpointer data)
{
    log_entry("r_str_maps_dlg_title");
    if (auto* facade = dynamic_cast<XrMaemoMapDialogFacade*>(XrCorvanelDialogFacade::get_instance()))
        facade->show_maps_dlg(app_of(data), false);
    else
        g_printerr("kestrova-navigator: maps dialog \"r_str_maps_dlg_title\" wanted\n");
    app_of(data).redraw_map_window();
}

void on_debug_settings(GtkMenuItem*, gpointer data)
{
    log_entry("Debug settings");
    app_of(data).show_debug_settings();
}

void on_favourites(GtkMenuItem*, gpointer data)
{
    log_entry("r_menu_favourites");
    xr_show_favourites_list(app_of(data));
}

void on_poi(GtkMenuItem*, gpointer data)
{
    log_entry("r_str_posdlg_page_poi");
    guarded(g_poi_count, [&] { xr_show_poi_categories(app_of(data)); });
}

void on_traffic(GtkMenuItem*, gpointer data)
{
    log_entry("r_menu_services_update_traffic_info");
    xr_request_service_update(app_of(data), 2);
}

void on_safety_cams(GtkMenuItem*, gpointer data)
{
    log_entry("r_menu_services_update_safety_cams");
    xr_request_service_update(app_of(data), 3);
}

void on_settings(GtkMenuItem*, gpointer data)
{
    log_entry("r_menu_main_settings");
    app_of(data).show_settings(0);
}

void on_about(GtkMenuItem*, gpointer data)
{
    log_entry("r_menu_about_map");
    app_of(data).show_about();
}

void on_web_link(GtkMenuItem*, gpointer)
{
    log_entry("r_menu_about_web_link_label");
    open_url_in_browser(XrString(partner_page));
}

void on_help(GtkMenuItem*, gpointer)
{
    log_entry("r_menu_main_help");
    g_printerr("kestrova-navigator: help topic \"Applications_maps_mainview\": no help on this platform\n");
}

void on_exit_entry(GtkMenuItem*, gpointer data)
{
    log_entry("r_menu_main_exit");
    app_of(data).exit_application();
}

// The menu key opens the common menu.
gboolean on_window_key(GtkWidget*, GdkEventKey* event, gpointer)
{
    if (event->keyval != GDK_F4)
        return FALSE;
    xr_popup_main_menu();
    return TRUE;
}

// ---- toolbar

void on_tool_place(GtkToolButton*, gpointer data)
{
    log_entry("toolbutton1");
    guarded(g_place_count, [&] { app_of(data).show_place(); });
}

void on_tool_favourites(GtkToolButton*, gpointer data)
{
    log_entry("toolbutton2");
    xr_show_favourites_list(app_of(data));
}

void on_tool_poi(GtkToolButton*, gpointer data)
{
    log_entry("toolbutton3");
    guarded(g_poi_count, [&] { xr_show_poi_categories(app_of(data)); });
}

void on_tool_gps(GtkToolButton* button, gpointer data)
{
    log_entry("toolbutton4");
    (void)button;
    on_gps_status(nullptr, data);
}

void on_tool_zoom(GtkToggleToolButton*, gpointer data)
{
    log_entry("toolbutton5");
    XrMapWindow* window = app_of(data).get_map_window();
    if (g_zoom_item != nullptr && window != nullptr) {
        g_syncing_zoom_item = true;
        gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(g_zoom_item), !window->is_toggle_off());
        g_syncing_zoom_item = false;
    }
}

void on_tool_location(GtkToolButton*, gpointer data)
{
    log_entry("toolbutton6");
    xr_show_current_location(app_of(data));
}

} // namespace

GtkWidget* xr_main_menu() { return g_menu; }

void xr_popup_main_menu()
{
    if (g_menu != nullptr)
        gtk_menu_popup(GTK_MENU(g_menu), nullptr, nullptr, nullptr, nullptr, 0, gtk_get_current_event_time());
}

void xr_build_menu(XrMaemoMapApp& app)
{
    gpointer data = &app;
    if (g_menu != nullptr) {
        gtk_widget_destroy(g_menu);
        g_menu = nullptr;
    }
    g_menu = gtk_menu_new();
    gtk_widget_set_name(g_menu, "main_menu");
    hildon_program_set_common_menu(g_hildon_program, GTK_MENU(g_menu));

    GtkWidget* find = append_submenu(g_menu, "r_menu_main_find");
    append_item(find, "r_menu_find_location", G_CALLBACK(on_find_location), data);
    append_item(find, "r_menu_find_route", G_CALLBACK(on_plan_route), data);
    append_item(find, "r_menu_find_edit_route", G_CALLBACK(on_edit_route), data);
    g_clear_route_item = append_item(find, "r_menu_find_clear_route", G_CALLBACK(on_clear_route), data);
    xr_update_route_items();

    GtkWidget* view = append_submenu(g_menu, "r_menu_main_view");
    g_view_3d_item = append_check(view, "r_menu_view_3d", G_CALLBACK(on_view_3d), data);
    xr_update_3d_item();
    append_item(view, "r_menu_gps_status", G_CALLBACK(on_gps_status), data);
    g_zoom_item = append_check(view, "r_str_menu_view_zoom", G_CALLBACK(on_zoom_item), data);
    append_item(view, "r_str_menu_view_show_current_location", G_CALLBACK(on_current_location), data);
    append_item(view, "r_menu_settings_set_as_default_view", G_CALLBACK(on_store_view), data);
    g_north_item = append_check(view, "r_menu_view_reset_north", G_CALLBACK(on_north), data);
    // Twice: the stored orientation is applied and the item shows it.
    xr_toggle_north(app, false);
    xr_toggle_north(app, false);

    append_item(g_menu, "r_str_maps_dlg_title", G_CALLBACK(on_maps), data);
    append_item(g_menu, "r_menu_favourites", G_CALLBACK(on_favourites), data);
    GtkWidget* services = append_submenu(g_menu, "r_menu_main_services");
    append_item(services, "r_str_posdlg_page_poi", G_CALLBACK(on_poi), data);
    append_item(services, "r_menu_services_update_traffic_info", G_CALLBACK(on_traffic), data);
    append_item(services, "r_menu_services_update_safety_cams", G_CALLBACK(on_safety_cams), data);
    append_item(g_menu, "r_menu_main_settings", G_CALLBACK(on_settings), data);
    append_separator(g_menu);
    GtkWidget* about = append_submenu(g_menu, "r_menu_main_about_map");
    append_item(about, "r_menu_about_map", G_CALLBACK(on_about), data);
    append_item(about, "r_menu_about_web_link_label", G_CALLBACK(on_web_link), data);
    append_item(g_menu, "r_menu_main_help", G_CALLBACK(on_help), data);
    append_separator(g_menu);
    append_item(g_menu, "r_menu_main_exit", G_CALLBACK(on_exit_entry), data);
    if (g_developer_mode) {
        append_separator(g_menu);
        append_item(g_menu, "Debug settings", G_CALLBACK(on_debug_settings), data);
    }
    app.append_addon_menu_items(g_menu);
    gtk_widget_show_all(g_menu);

    if (XrMapWindow* window = app.get_map_window()) {
        GtkWidget* toplevel = GTK_WIDGET(window->get_window());
        if (g_object_get_data(G_OBJECT(toplevel), "xr-menu-key") == nullptr) {
            g_signal_connect(toplevel, "key-press-event", G_CALLBACK(on_window_key), nullptr);
            g_object_set_data(G_OBJECT(toplevel), "xr-menu-key", GINT_TO_POINTER(1));
        }
    }
}

void xr_build_toolbar(XrMaemoMapApp& app)
{
    XrMapWindow* window = app.get_map_window();
    if (window == nullptr || window->get_toolbar() != nullptr)
        return;
    gpointer data = &app;
    // The toolbar of the generated main window, taken out of its carrier.
    GtkWidget* builder_window = create_window1();
    GtkWidget* toolbar = XrMaemoCommon::lookup_widget(builder_window, "main_toolbar");
    GtkWidget* carrier = XrMaemoCommon::lookup_widget(builder_window, "dummy_vbox");
    if (toolbar == nullptr || carrier == nullptr) {
        g_printerr("kestrova-navigator: the main window's toolbar is missing\n");
        gtk_widget_destroy(builder_window);
        return;
    }
    g_object_ref(toolbar);
    gtk_container_remove(GTK_CONTAINER(carrier), toolbar);
    // The map window's layouts leave the toolbar 58 pixels at the foot.
    gtk_widget_set_size_request(toolbar, -1, toolbar_height);
    struct Button {
        const char* name;
        const char* icon;
        GCallback callback;
    };
    const Button buttons[6] = {{"toolbutton1", "Toolbar_01.png", G_CALLBACK(on_tool_place)},
                               {"toolbutton2", "Toolbar_02.png", G_CALLBACK(on_tool_favourites)},
                               {"toolbutton3", "Toolbar_03.png", G_CALLBACK(on_tool_poi)},
                               {"toolbutton4", "Toolbar_04.png", G_CALLBACK(on_tool_gps)},
                               {"toolbutton5", "Toolbar_05_02.png", G_CALLBACK(on_tool_zoom)},
                               {"toolbutton6", "Toolbar_06.png", G_CALLBACK(on_tool_location)}};
    GtkToggleToolButton* toggle = nullptr;
    for (const Button& b : buttons) {
        GtkWidget* item = XrMaemoCommon::lookup_widget(builder_window, b.name);
        if (item == nullptr || !GTK_IS_TOOL_BUTTON(item)) {
            g_printerr("kestrova-navigator: toolbar button %s missing\n", b.name);
            continue;
        }
        std::string pattern = std::string("?:/kestrova/images/") + b.icon;
        const XrString path = XrPathResolver::resolve(XrString(pattern.c_str()));
        std::string narrow;
        for (int i = 0; i < path.length(); ++i)
            narrow += static_cast<char>(path.char_at(i));
        if (!g_file_test(narrow.c_str(), G_FILE_TEST_IS_REGULAR))
            g_printerr("kestrova-navigator: toolbar icon %s missing\n", narrow.c_str());
        GtkWidget* image = gtk_image_new_from_file(narrow.c_str());
        gtk_widget_show(image);
        gtk_tool_button_set_icon_widget(GTK_TOOL_BUTTON(item), image);
        if (b.callback == nullptr) {
            gtk_widget_set_sensitive(item, FALSE);
        } else if (GTK_IS_TOGGLE_TOOL_BUTTON(item)) {
            toggle = GTK_TOGGLE_TOOL_BUTTON(item);
            g_signal_connect(item, "toggled", b.callback, data);
        } else {
            g_signal_connect(item, "clicked", b.callback, data);
        }
    }
    if (toggle != nullptr)
        gtk_widget_set_sensitive(GTK_WIDGET(toggle), TRUE);
    hildon_window_add_toolbar(HILDON_WINDOW(window->get_window()), GTK_TOOLBAR(toolbar));
    g_object_unref(toolbar);
    window->set_toolbar(toolbar, toggle);
    gtk_widget_show_all(toolbar);
    gtk_widget_destroy(builder_window);
}

void xr_update_3d_item()
{
    if (g_view_3d_item == nullptr)
        return;
    XrMapViewProvider* views = XrMapViewProvider::get_instance();
    g_syncing_view_item = true;
    gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(g_view_3d_item), views != nullptr && views->is_3d());
    g_syncing_view_item = false;
}

void xr_update_route_items()
{
    if (g_clear_route_item == nullptr)
        return;
    XrRouteProvider* route = XrRouteProvider::get_instance();
    gtk_widget_set_sensitive(g_clear_route_item, route != nullptr && route->has_route());
}

void xr_toggle_north(XrMaemoMapApp& app, bool redraw)
{
    if (g_north_busy)
        return;
    g_north_busy = true;
    XrRouteProvider* route = XrRouteProvider::get_instance();
    const bool with_route = route != nullptr && route->has_route();
    const XrString key(with_route ? L"route_orientation_to_north" : L"map_orientation_to_north");
    XrAppSettingsProvider* settings = app_settings();
    const int current = settings != nullptr ? settings->get_int(key, with_route ? 0 : 1) : 1;
    int value;
    if (current == 0) {
        app.get_map_view().set_rotation(0);
        value = 1;
    } else {
        value = 0;
        XrRouteLayer* layer = app.get_route_layer();
        if (layer != nullptr && layer->has_last_position() && layer->get_gps_fix_valid() && app.can_follow()) {
            int angle = layer->get_heading() - 90;
            if (angle < 0)
                angle += 360;
            app.get_map_view().set_rotation(static_cast<short>(angle));
            if (redraw)
                app.redraw_map_window();
        }
    }
    if (settings != nullptr) {
        settings->set_int(key, value);
        settings->save(true);
    }
    if (g_north_item != nullptr)
        gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(g_north_item), value != 0);
    if (redraw && value == 1)
        app.redraw_map_window();
    g_north_busy = false;
}

void xr_show_current_location(XrMaemoMapApp& app)
{
    auto* position = xr_registered<XrPositionProvider>(L"XrPositionProvider");
    if (position != nullptr && position->get_position_info().has_fix()) {
        app.center_on_first_fix();
        app.redraw_map_window();
        return;
    }
    const char* text = translate_key("r_str_gps_dlg_no_gps_fix");
    g_printerr("banner r_str_gps_dlg_no_gps_fix: %s\n", text);
    if (XrMapWindow* window = app.get_map_window())
        hildon_banner_show_information(GTK_WIDGET(window->get_window()), nullptr, text);
}

void xr_request_service_update(XrMaemoMapApp& app, int type)
{
    XrAppSettingsProvider* settings = app_settings();
    if (type == 2 && settings != nullptr && !settings->get_traffic_enabled()) {
        if (!app.show_route_query("r_str_confirm_change", "r_str_traffic_not_enabled", true))
            return;
        settings->set_traffic_enabled(true);
        settings->save(false);
    }
    if (app.get_service_aggregate() == nullptr) {
        g_printerr("kestrova-navigator: service update %d: no online services yet\n", type);
        return;
    }
    g_printerr("kestrova-navigator: service update %d requested\n", type);
    app.request_service_update(type);
}

