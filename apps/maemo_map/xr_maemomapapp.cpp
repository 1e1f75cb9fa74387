#include "apps/maemo_map/xr_maemomapapp.h"
#include "apps/maemo_map/xr_maemocataloguehost.h"
#include "apps/maemo_map/xr_maemolocdetaildlg.h"

#include <gconf/gconf-client.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/base/xr_singleton.h"
#include "common/java/xr_java.h"
#include "apps/corvanel/ui/dialogs/xr_corvaneldialogfacade.h"
#include "apps/corvanel/ui/dialogs/xr_corvaneldialogfacade_maemo.h"
#include "apps/maemo_map/xr_maemomapdialogfacade.h"
#include "apps/maemo_map/xr_listdlglisteners.h"
#include "apps/maemo_map/xr_mainmenu.h"
#include "apps/maemo_map/xr_trackpositionproducer.h"
#include "apps/apps_common/xr_serviceaggregate.h"
#include "common/container/xr_bytearray.h"
#include "common/corvanel_core/impl/xr_positionproviderimplmaemo.h"
#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/corvanel_core/interfaces/xr_applicationprovider.h"
#include "common/corvanel_core/interfaces/xr_appsettingsprovider.h"
#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/gdi/window/xr_mapwindow.h"
#include "common/map/xr_routelayer.h"
#include "common/map/xr_trafficlayout.h"
#include "common/misc/xr_msgtable.h"
#include "common/misc/xr_utf8.h"
#include "common/ui/dialog/xr_commondialogs.h"
#include "common/misc/xr_path_resolver.h"
#include "common/os/xr_system.h"
#include "common/ui/dialog/xr_busydlg_maemo.h"
#include "common/ui/fonts/xr_fontrepository_maemo.h"

HildonProgram* g_hildon_program = nullptr;
XrMaemoMapApp* g_app = nullptr;
bool g_first_start = false;
bool g_developer_mode = false;
bool g_demo_map = false;

namespace {

guint g_focus_timeout = 0;
bool g_display_on_seen = false;

XrApplicationProvider* application_provider() { return xr_registered<XrApplicationProvider>(L"XrApplicationProvider"); }

XrPositionProvider* position_provider() { return xr_registered<XrPositionProvider>(L"XrPositionProvider"); }

bool folded_equal(const char* a, const char* b) { return g_ascii_strcasecmp(a, b) == 0; }

const char* const gconf_show_splash = "/apps/kestrova/show_splash";
const char* const gconf_disable_splash = "/apps/kestrova/disable_splash";
const char* const gconf_wizard_shown = "/apps/kestrova/wizard_shown";
const char* const gconf_af_dir = "/system/osso/af";
const char* const gconf_mmc_cover = "/system/osso/af/mmc-cover-open";

// The GConf client (a new reference), or null without a session bus: the
// settings then read as unset.
GConfClient* gconf_client()
{
    if (g_getenv("DBUS_SESSION_BUS_ADDRESS") == nullptr)
        return nullptr;
    return gconf_client_get_default();
}

int gconf_int(GConfClient* client, const char* key)
{
    return client != nullptr ? gconf_client_get_int(client, key, nullptr) : 0;
}

// The memory card's cover was opened: the card goes away, so the program ends.
void on_mmc_cover_open(GConfClient*, guint, GConfEntry* entry, gpointer)
{
    const GConfValue* value = entry != nullptr ? gconf_entry_get_value(entry) : nullptr;
    if (value == nullptr || value->type != GCONF_VALUE_BOOL || !gconf_value_get_bool(value))
        return;
    XrMaemoMapApp::show_note(nullptr, "r_str_mmc_unmount_warning", XrMaemoMapApp::closing_note_seconds);
    if (XrApplicationProvider* app = application_provider())
        app->exit(0);
    std::exit(0);
}

// The notes open now.
std::vector<GtkWidget*> open_notes()
{
    std::vector<GtkWidget*> notes;
    GList* all = gtk_window_list_toplevels();
    for (GList* l = all; l != nullptr; l = l->next) {
        if (g_strcmp0(gtk_widget_get_name(GTK_WIDGET(l->data)), HILDON_NOTE_NAME) == 0)
            notes.push_back(GTK_WIDGET(l->data));
    }
    g_list_free(all);
    return notes;
}

// A timed note: the notes that were open before it (they are not it).
struct XrTimedNote {
    std::vector<GtkWidget*> earlier;
    bool timed_out = false;
};

// Answers the timed note when its time is up.
gboolean close_note(gpointer data)
{
    auto* timed = static_cast<XrTimedNote*>(data);
    timed->timed_out = true;
    for (GtkWidget* note : open_notes()) {
        if (std::find(timed->earlier.begin(), timed->earlier.end(), note) == timed->earlier.end() &&
            GTK_IS_DIALOG(note)) {
            gtk_dialog_response(GTK_DIALOG(note), GTK_RESPONSE_OK);
            break;
        }
    }
    return FALSE;
}

std::string utf8_of(const XrString& text)
{
    std::string out;
    xr_userfile::append_utf8(out, text);
    return out;
}

XrString text_of_key(const char* key)
{
    XrString text;
    if (key != nullptr)
        XrUTF8::decode_utf8(reinterpret_cast<const BYTE*>(translate_key(key)), -1, text);
    return text;
}

} // namespace

namespace {

// The voice folder lookups and catalogue notes go through the application.
XrMaemoCatalogueHost g_catalogue_host;

} // namespace

// An add-on's menu item: its label and the handler its activation calls.
struct XrMaemoMapApp::AddonMenuItem {
    XrString label;
    std::unique_ptr<XrMenuHandler> handler;
};

namespace {

void on_addon_item(GtkMenuItem*, gpointer data)
{
    static_cast<XrMenuHandler*>(data)->command();
}

GtkWidget* append_addon_item(GtkWidget* menu, const XrString& label, XrMenuHandler* handler)
{
    gchar* text = g_ucs4_to_utf8(reinterpret_cast<const gunichar*>(label.c_str()), label.length(), nullptr, nullptr,
                                 nullptr);
    GtkWidget* item = gtk_menu_item_new_with_label(text != nullptr ? text : "");
    g_free(text);
    gtk_widget_set_name(item, "addon-menu-item");
    g_signal_connect(item, "activate", G_CALLBACK(on_addon_item), handler);
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
    return item;
}

} // namespace

bool XrMaemoMapApp::add_addon_menu_item(const XrString& label, std::unique_ptr<XrMenuHandler>& handler)
{
    if (!handler)
        return false;
    auto item = std::make_unique<AddonMenuItem>();
    item->label = label;
    item->handler = std::move(handler);
    if (GtkWidget* menu = xr_main_menu()) {
        // Into the menu built already.
        gtk_widget_show(append_addon_item(menu, item->label, item->handler.get()));
    }
    addon_menu_items.push_back(std::move(item));
    return true;
}

void XrMaemoMapApp::append_addon_menu_items(GtkWidget* menu)
{
    for (const auto& item : addon_menu_items)
        append_addon_item(menu, item->label, item->handler.get());
}

XrMaemoMapApp::XrMaemoMapApp(osso_context_t* osso_context) : osso_context(osso_context)
{
    xr_set_note_function(&XrMaemoMapApp::show_note_text);
    XrCatalogueHost::set_instance(&g_catalogue_host);
}

XrMaemoMapApp::~XrMaemoMapApp()
{
    XrCatalogueHost::set_instance(nullptr);
    xr_set_note_function(nullptr);
    destroy_providers();
    if (get_app_map_window_source() == &window_source)
        set_app_map_window_source(nullptr);
    if (fonts)
        XrSingleton::set_instance(XrString(L"XrFontRepository"), nullptr);
    if (base_facade)
        XrSingleton::set_instance(XrString(L"XrCorvanelDialogFacade"), nullptr);
    // The inactivity timer lives until the process ends.
    (void)inactivity_timer.release();
}

void XrMaemoMapApp::show_note(const char* title_key, const char* message_key, int timeout_seconds, int type)
{
    const XrString title = text_of_key(title_key);
    const XrString message = text_of_key(message_key);
    g_printerr("note %s%s%s: %s%s%s\n", title_key != nullptr ? title_key : "", title_key != nullptr ? " " : "",
               message_key != nullptr ? message_key : "", utf8_of(title).c_str(), title_key != nullptr ? " / " : "",
               utf8_of(message).c_str());
    XrTimedNote timed;
    timed.earlier = open_notes();
    const guint timer =
        timeout_seconds > 0 ? g_timeout_add(static_cast<guint>(timeout_seconds) * 1000u, close_note, &timed) : 0;
    XrCommonDialogs::show_note(message, title_key != nullptr ? &title : nullptr, type, XrCommonDialogs::BUTTONS_OK,
                               nullptr);
    if (timer != 0 && !timed.timed_out)
        g_source_remove(timer);
}

void XrMaemoMapApp::show_recovery_note(const char* title_key, const char* message_key)
{
    show_note(title_key, message_key, closing_note_seconds);
}

void XrMaemoMapApp::show_note_text(const XrString& text)
{
    g_printerr("note: %s\n", utf8_of(text).c_str());
    XrCommonDialogs::show_msg(text);
}

int XrMaemoMapApp::run(int argc, char** argv)
{
    bool no_splash = false;
    for (int i = 1; i < argc; ++i) {
        if (folded_equal(argv[i], "--wizard"))
            wizard_requested = true;
        else if (folded_equal(argv[i], "--no-splash"))
            no_splash = true;
    }
    GConfClient* client = gconf_client();
    show_splash = !no_splash && gconf_int(client, gconf_show_splash) == 1 && gconf_int(client, gconf_disable_splash) != 1;
    if (gconf_int(client, gconf_wizard_shown) == 0 || g_first_start)
        wizard_requested = true;
    if (client != nullptr) {
        gconf_client_set_int(client, gconf_wizard_shown, 1, nullptr);
        g_object_unref(client);
    }

    XrMapWindow::set_size_hook(xr_set_traffic_reference_size);
    map_window_owned = std::make_unique<XrMapWindow>(g_hildon_program, get_window_view(), &window_manager, nullptr);
    hildon_program_add_window(g_hildon_program, map_window_owned->get_window());
    set_app_map_window_source(&window_source);
    // The tablet's screen, also where no window manager makes it full screen.
    gtk_window_set_default_size(GTK_WINDOW(map_window_owned->get_window()), 800, 480);
    if (show_splash)
        map_window_owned->show_splash();
    g_idle_add(idle_stage_1, this);
    gtk_main();
    if (osso_context != nullptr) {
        osso_deinitialize(osso_context);
        osso_context = nullptr;
    }
    return run_status;
}

gboolean XrMaemoMapApp::idle_stage_1(gpointer data)
{
    auto* app = static_cast<XrMaemoMapApp*>(data);
    if (osso_application_set_top_cb(app->osso_context, on_top_request, nullptr) != OSSO_OK)
        g_print("Error setting top event callback");
    const osso_return_t rpc = osso_rpc_set_default_cb_f(app->osso_context, on_rpc_default, nullptr);
    if (rpc != OSSO_OK)
        g_print("Error setting default RPC callback (%d)\n", rpc);
    if (get_map_card_flag()) {
        if (GConfClient* client = gconf_client()) {
            GError* error = nullptr;
            gconf_client_add_dir(client, gconf_af_dir, GCONF_CLIENT_PRELOAD_NONE, &error);
            if (error != nullptr) {
                g_print("Failed to register gconf dir notify");
                g_clear_error(&error);
            } else if (gconf_client_notify_add(client, gconf_mmc_cover, on_mmc_cover_open, nullptr, nullptr, &error) ==
                       0) {
                g_print("Failed to register gconf notify");
                g_clear_error(&error);
            }
            // The client stays referenced while its notification is wanted.
        }
    }
    // Web pages of the menus open through the osso context.
    set_browser_context(app->osso_context);
    app->inactivity_timer = std::make_unique<XrMaemoInactivityTimer>(&app->event_loop, app->osso_context);

    app->fonts = std::make_unique<XrFontRepositoryMaemo>();
    app->fonts->initialize();
    XrSingleton::set_instance(XrString(L"XrFontRepository"), app->fonts.get());
    // Busy indication shows as banners and message boxes on this platform.
    XrBusyDlg::set_factory(&XrBusyDlgMaemo::create);
    if (register_dialog_facade != nullptr) {
        register_dialog_facade();
    } else {
        auto facade = std::make_unique<XrMaemoMapDialogFacade>();
        facade->set_app(app);
        app->base_facade = std::move(facade);
        XrSingleton::set_instance(XrString(L"XrCorvanelDialogFacade"), app->base_facade.get());
    }

    XrMapWindow* window = app->map_window_owned.get();
    app->set_map_window(window);
    GtkWidget* widget = GTK_WIDGET(window->get_window());
    g_signal_connect(widget, "delete_event", G_CALLBACK(on_delete_event), nullptr);
    g_signal_connect(widget, "focus-in-event", G_CALLBACK(on_focus_in), nullptr);
    g_signal_connect(widget, "focus-out-event", G_CALLBACK(on_focus_out), nullptr);
    gtk_widget_show_all(widget);
    g_idle_add(idle_stage_2, app);
    return FALSE;
}

gboolean XrMaemoMapApp::idle_stage_2(gpointer data)
{
    auto* app = static_cast<XrMaemoMapApp*>(data);
    if (!app->construct())
        std::exit(app->handle_corrupted_map());
    if (app->track_failed) {
        app->run_status = 1;
        gtk_main_quit();
        return FALSE;
    }
    // The GPS state on screen from the start, before any producer reports.
    app->provider_state_changed();
    if (auto* system = static_cast<XrSystem*>(XrSingleton::get_instance(XrString(L"XrSystem"))))
        system->start(app->osso_context);
    osso_hw_set_display_event_cb(app->osso_context, on_display_event, nullptr);
    XrMapWindow* window = app->map_window_owned.get();
    xr_build_toolbar(*app);
    window->free_splash();
    window->set_fullscreen(true);
    // The full-screen layout at once, also where no window manager answers.
    window->update_layout();
    app->init_java();
    if (auto* application =
            static_cast<XrApplicationProvider*>(XrSingleton::get_instance(XrString(L"XrApplicationProvider"))))
        application->add_exit_handler(&app->java_exit_handler);
    if (XrMapProvider* maps = XrMapProvider::get_instance()) {
        if (maps->get_map_name() == XrString(L"Atlantis"))
            g_demo_map = true;
    }
    // The maps dialog is not built on this platform yet.
    if (g_demo_map || app->wizard_requested)
        g_printerr("kestrova-navigator: maps dialog \"r_str_maps_dlg_title\" wanted\n");
    return FALSE;
}

bool XrMaemoMapApp::parse_destination(const char* text, XrCoordinate& out)
{
    if (text == nullptr)
        return false;
    char* end = nullptr;
    const double lat = g_ascii_strtod(text, &end);
    if (end == text || *end != ',')
        return false;
    const char* rest = end + 1;
    const double lon = g_ascii_strtod(rest, &end);
    if (end == rest || *end != '\0' || !std::isfinite(lat) || !std::isfinite(lon) || lat < -90 || lat > 90 ||
        lon < -180 || lon > 180)
        return false;
    out = XrCoordinate(lon, lat);
    return true;
}

bool XrMaemoMapApp::show_address_dialog(const XrString& title_key, int page, XrPoint& point, XrString& name,
                                        const XrPoint* centre)
{
    XrCorvanelDialogFacade* facade = XrCorvanelDialogFacade::get_instance();
    XrMapProvider* maps = XrMapProvider::get_instance();
    if (facade == nullptr)
        return false;
    bool ok = false;
    facade->show_address_dlg(title_key, static_cast<XrCorvanelDialogFacade::AddressDlgType>(page == 1 ? 0 : page == 2 ? 1 : 2),
                             &event_loop, maps != nullptr ? maps->get_projection() : nullptr, ok, point, name, centre);
    return ok;
}

bool XrMaemoMapApp::show_route_query(const char* title_key, const char* text_key, bool ask)
{
    const XrString title = text_of_key(title_key);
    const XrString text = text_of_key(text_key);
    g_printerr("%s %s: %s\n", ask ? "query" : "note", text_key != nullptr ? text_key : "", utf8_of(text).c_str());
    if (ask) {
        const bool yes = XrCommonDialogs::show_query_msg(title, text);
        g_printerr("query %s: %s\n", text_key != nullptr ? text_key : "", yes ? "yes" : "no");
        return yes;
    }
    XrCommonDialogs::show_msg(text);
    return false;
}

void XrMaemoMapApp::show_route_status(int status)
{
    if (status != 2 && status != 3)
        return;
    const char* key = status == 2 ? "r_str_drive_to_road" : "r_str_gps_not_yet_active";
    g_printerr("map message %s: %s\n", key, translate_key(key));
    show_route_event(status);
}

void XrMaemoMapApp::request_service_update(int service_type)
{
    if (XrServiceAggregate* services = get_service_aggregate())
        services->call_service(service_type, nullptr, nullptr, this);
}

void XrMaemoMapApp::service_result(int result, const TCHAR* text)
{
    const char* icon = result == XrServiceListener::FAILED      ? "gtk-stop"
                       : result == XrServiceListener::CANCELLED ? "gtk-cancel"
                                                                : nullptr;
    std::string utf8;
    if (text != nullptr) {
        XrByteArray bytes;
        XrUTF8::encode_utf8(text, -1, bytes);
        for (int i = 0; i < bytes.get_num_items() && *bytes.get_item_ptr(i) != 0; ++i)
            utf8 += static_cast<char>(*bytes.get_item_ptr(i));
    }
    g_printerr("banner service result %d%s%s: %s\n", result, icon != nullptr ? " " : "", icon != nullptr ? icon : "",
               utf8.c_str());
    if (XrMapWindow* window = get_map_window())
        hildon_banner_show_information(GTK_WIDGET(window->get_window()), icon, utf8.c_str());
    redraw_map_window();
}

void XrMaemoMapApp::provider_position_changed(bool* redrawn)
{
    XrNaviApp::provider_position_changed(redrawn);
    // The vehicle waits at the route's start while the route is shown
    // whole, so that guidance begins with the route.
    if (!drive_route_points.empty() && drive_producer != nullptr && !is_route_preview_running()) {
        drive_producer->follow_route(std::move(drive_route_points));
        drive_route_points.clear();
    }
    XrPositionProvider* position = position_provider();
    XrMapProvider* maps = XrMapProvider::get_instance();
    if (!drive_destination_pending || !map_ready || position == nullptr || maps == nullptr ||
        maps->get_projection() == nullptr || !position->get_position_info().has_fix())
        return;
    drive_destination_pending = false;
    // From the current position: the search matches it with the heading.
    const XrPoint destination = drive_destination.to_point(maps->get_projection());
    drive_route_pending = drive_producer != nullptr;
    app_navigate_to(nullptr, &destination, XrString(L""));
}

void XrMaemoMapApp::route_changed()
{
    XrNaviApp::route_changed();
    XrRouteProvider* route = XrRouteProvider::get_instance();
    if (route != nullptr && route->has_route())
        auto_scale_allowed = true;
    XrRouteLayer* layer = get_route_layer();
    XrMapProvider* maps = XrMapProvider::get_instance();
    if (!drive_route_pending || layer == nullptr || layer->get_active_route() == nullptr || maps == nullptr ||
        maps->get_projection() == nullptr)
        return;
    drive_route_pending = false;
    // The route's points every 12 m, one a second.
    const double speed = 12.0;
    std::vector<XrTrackPoint> points;
    const int length = layer->get_route_length(); // metres
    for (int m = 0;; m += static_cast<int>(speed)) {
        const int at = std::min(m, length);
        XrPoint p;
        short heading = 0;
        if (layer->get_point_on_route(&p, &heading, at) != 0)
            break;
        const XrCoordinate c(p, maps->get_projection());
        points.push_back(XrTrackPoint{at / speed, c.get_latitude(), c.get_longitude()});
        if (at == length)
            break;
    }
    if (points.empty())
        return;
    drive_producer->follow_route({points.front()});
    drive_route_points = std::move(points);
}

void XrMaemoMapApp::set_locale(const XrString& name, bool no_refresh)
{
    std::string locale;
    for (int i = 0; i < name.length(); ++i)
        locale.push_back(static_cast<char>(name.c_str()[i]));
    if (std::setlocale(LC_ALL, locale.c_str()) == nullptr && std::setlocale(LC_ALL, (locale + ".utf8").c_str()) == nullptr) {
        if (const char* system = std::setlocale(LC_ALL, "")) {
            if (auto* settings = static_cast<XrAppSettingsProvider*>(
                    XrSingleton::get_instance(XrString(L"XrAppSettingsProvider"))))
                settings->set_user_locale(XrString(system));
        }
    }
    if (!no_refresh)
        on_view_changed();
}

void XrMaemoMapApp::show_location_details(const XrPoint& point, const XrString& details)
{
    XrMapProvider* maps = XrMapProvider::get_instance();
    if (maps == nullptr || maps->get_projection() == nullptr)
        return;
    XrMaemoLocDetailDlg::run(XrCoordinate(point, maps->get_projection()), details);
}

void XrMaemoMapApp::create_position_provider()
{
    auto* provider = new XrPositionProviderImplMaemo();
    const char* destination = g_getenv("KESTROVA_DRIVE_DESTINATION");
    if (destination != nullptr && *destination != '\0') {
        drive_destination_pending = parse_destination(destination, drive_destination);
        if (!drive_destination_pending)
            g_printerr("kestrova-navigator: KESTROVA_DRIVE_DESTINATION \"%s\" is not \"latitude,longitude\"\n",
                       destination);
    }
    const char* track = g_getenv("KESTROVA_DRIVE_TRACK");
    if (track != nullptr && *track != '\0') {
        // The demo drive replaces the receivers.
        std::vector<XrTrackPoint> points;
        std::string error;
        if (!XrTrackPositionProducer::read_track(track, points, error)) {
            g_printerr("kestrova-navigator: the drive track KESTROVA_DRIVE_TRACK \"%s\" cannot be used: %s\n", track,
                       error.c_str());
            delete provider;
            track_failed = true;
            return;
        }
        drive_producer = new XrTrackPositionProducer(&event_loop, std::move(points));
        provider->add_producer(drive_producer, XrString(L"Track"));
        provider->initialize();
        register_position_provider(provider);
        provider->connect();
        return;
    }
    provider->create_producers(&fsm, &event_loop, false);
    register_position_provider(provider);
}

void XrMaemoMapApp::exit_application()
{
    if (XrApplicationProvider* app = application_provider())
        app->exit(0);
    else
        std::exit(0);
}

void XrMaemoMapApp::on_status_update()
{
    XrPositionProvider* position = position_provider();
    if (position == nullptr)
        return;
    if (position->get_position_info().has_fix()) {
        const unsigned idle = get_idle_seconds();
        auto* settings =
            xr_registered<XrAppSettingsProvider>(L"XrAppSettingsProvider");
        const XrString name = settings != nullptr ? settings->get_gps_name() : XrString(L"");
        if (idle >= static_cast<unsigned>(stalled_long_time) && name.length() > 6 &&
            std::wstring(name.c_str()).rfind(L"Board ", 0) == 0) {
            gps_paused = true;
            position->disconnect();
            return;
        }
        if (idle > 179)
            return;
    }
    XrMapWindow* window = get_map_window();
    const bool topmost = window != nullptr && gtk_window_is_active(GTK_WINDOW(window->get_window()));
    if (topmost && !gps_paused && inactivity_timer)
        inactivity_timer->on_update();
}

void XrMaemoMapApp::resume_gps()
{
    if (!gps_paused)
        return;
    gps_paused = false;
    if (XrPositionProvider* position = position_provider())
        position->check_connection();
}

gboolean XrMaemoMapApp::on_delete_event(GtkWidget*, GdkEvent*, gpointer)
{
    if (XrApplicationProvider* app = application_provider())
        app->exit(0);
    else
        std::exit(0);
    return TRUE;
}

gboolean XrMaemoMapApp::on_focus_in(GtkWidget*, GdkEventFocus*, gpointer)
{
    if (g_focus_timeout != 0)
        g_source_remove(g_focus_timeout);
    g_focus_timeout = g_timeout_add(5000, on_focus_timeout, nullptr);
    return FALSE;
}

gboolean XrMaemoMapApp::on_focus_out(GtkWidget*, GdkEventFocus*, gpointer)
{
    if (g_focus_timeout != 0)
        g_source_remove(g_focus_timeout);
    g_focus_timeout = 0;
    return FALSE;
}

gboolean XrMaemoMapApp::on_focus_timeout(gpointer)
{
    g_focus_timeout = 0;
    if (g_app != nullptr)
        g_app->resume_gps();
    return FALSE;
}

void XrMaemoMapApp::on_top_request(const gchar*, gpointer) {}

gint XrMaemoMapApp::on_rpc_default(const gchar*, const gchar*, GArray*, gpointer, osso_rpc_t* retval)
{
    if (g_app != nullptr && g_app->get_map_window() != nullptr)
        gtk_window_present(GTK_WINDOW(g_app->get_map_window()->get_window()));
    if (retval != nullptr)
        retval->type = DBUS_TYPE_INVALID;
    return OSSO_OK;
}

void XrMaemoMapApp::on_display_event(osso_display_state_t state, gpointer)
{
    if (state == OSSO_DISPLAY_ON) {
        if (!g_display_on_seen && g_app != nullptr)
            g_app->reset_activity_time();
        g_display_on_seen = true;
    } else if (state == OSSO_DISPLAY_OFF) {
        g_display_on_seen = false;
    }
}

// ---- map-window input

int XrMaemoMapApp::adjust_key_code(int& code)
{
    XrMapProvider* maps = XrMapProvider::get_instance();
    XrRouteLayer* layer = maps != nullptr ? get_route_layer() : nullptr;
    if ((code == XrMapWindow::KeyLeft || code == XrMapWindow::KeyRight) && layer != nullptr &&
        layer->get_active_route() != nullptr)
        code = code == XrMapWindow::KeyRight ? XrMapWindow::KeyF7 : XrMapWindow::KeyF8;
    return code == XrMapWindow::KeyEscape ? 6 : 0;
}

void XrMaemoMapApp::on_map_ready()
{
    xr_build_menu(*this);
    audio_player.set_muted(false);
    on_view_changed();
}

void XrMaemoMapApp::on_view_changed()
{
    on_status_update();
    update_menu_items();
}

void XrMaemoMapApp::update_menu_items()
{
    xr_update_3d_item();
    xr_update_route_items();
}

void XrMaemoMapApp::toggle_north(bool redraw) { xr_toggle_north(*this, redraw); }

void XrMaemoMapApp::show_gps_status()
{
    if (XrCorvanelDialogFacade* facade = XrCorvanelDialogFacade::get_instance())
        facade->show_gps_dlg(*this);
}

void XrMaemoMapApp::show_poi_categories() { xr_show_poi_categories(*this); }
