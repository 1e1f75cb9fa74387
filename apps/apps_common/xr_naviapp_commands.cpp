// The controller's commands: routing, dialogs, the user's points, the view,
// the GPS, the theme and the prompt volume. Menus, the map window's menus
// and the command handler call them on the main loop.
#include <cstdio>
#include <cwchar>

#include "apps/apps_common/xr_naviapp.h"
#include "apps/corvanel/ui/dialogs/xr_corvaneldialogfacade.h"
#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/corvanel_core/interfaces/xr_favouritesprovider.h"
#include "common/corvanel_core/interfaces/xr_historyprovider.h"
#include "common/corvanel_core/interfaces/xr_locationdetailsprovider.h"
#include "common/corvanel_core/interfaces/xr_mappoint.h"
#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/corvanel_core/interfaces/xr_mapsettingsprovider.h"
#include "common/corvanel_core/interfaces/xr_mapviewprovider.h"
#include "common/corvanel_core/interfaces/xr_parkingprovider.h"
#include "common/corvanel_core/interfaces/xr_roadblocksprovider.h"
#include "apps/apps_common/xr_naviapphandler.h"
#include "common/gdi/window/xr_mapwindow.h"
#include "common/gdi/window/xr_splashscreen.h"
#include "common/bmloader/xr_bitmap.h"
#include "common/misc/xr_path_resolver.h"
#include "common/map/xr_routelayer.h"
#include "common/misc/xr_msgtable.h"
#include "common/os/xr_system.h"
#include "common/types/xr_coordinate.h"

namespace {

// The font context of map messages (bold, 18 points).
constexpr int message_font = 16;

XrMapProvider* maps() { return XrMapProvider::get_instance(); }

XrProjection* projection()
{
    XrMapProvider* m = maps();
    return m != nullptr ? m->get_projection() : nullptr;
}

XrMapViewProvider* view_provider() { return XrMapViewProvider::get_instance(); }

XrAppSettingsProvider* app_settings() { return xr_registered<XrAppSettingsProvider>(L"XrAppSettingsProvider"); }

XrString key_text(const char* key)
{
    XrString text;
    text.load_text(get_message_id(key));
    return text;
}

// The facade, logged when there is none.
XrCorvanelDialogFacade* facade(const char* what)
{
    XrCorvanelDialogFacade* f = XrCorvanelDialogFacade::get_instance();
    if (f == nullptr)
        std::fprintf(stderr, "kestrova-navigator: %s: no dialog facade\n", what);
    return f;
}

// The controller's guard and following lowered for the lifetime of a
// modal step, restored on every path.
class XrGuardDown {
public:
    XrGuardDown(bool& guard) : guard(guard), saved(guard) { guard = false; }
    ~XrGuardDown() { guard = saved; }
    XrGuardDown(const XrGuardDown&) = delete;
    XrGuardDown& operator=(const XrGuardDown&) = delete;

private:
    bool& guard;
    bool saved;
};

} // namespace

// ---- routing

void XrNaviApp::plan_route()
{
    if (route_request_state != 3)
        route_request_state = 0;
    app_navigate_to(nullptr, nullptr, XrString());
}

void XrNaviApp::show_waypoints()
{
    if (XrRouteProvider* route = XrRouteProvider::get_instance())
        route->delete_route_state();
    if (XrCorvanelDialogFacade* f = facade("waypoints"))
        f->show_waypoints_dlg(*this);
}

void XrNaviApp::recalculate_route()
{
    if (XrRouteProvider* route = XrRouteProvider::get_instance())
        route->recalculate_from_position(false);
}

void XrNaviApp::calculate_route_again(int flag)
{
    if (XrRouteProvider* route = XrRouteProvider::get_instance())
        route->calculate_route(flag != 0, true, true);
}

void XrNaviApp::calculate_current_route()
{
    if (XrRouteProvider* route = XrRouteProvider::get_instance())
        route->detour();
}

void XrNaviApp::show_route_details()
{
    if (XrCorvanelDialogFacade* f = facade("route details"))
        f->show_route_details_dlg();
}

void XrNaviApp::navigate_to_history_point(const XrString& name, const XrPoint& point)
{
    if (auto* history = xr_registered<XrHistoryProvider>(L"XrHistoryProvider"))
        history->add_history_point(XrHistoryMapPoint(XrCoordinate(point, projection()), name));
    app_navigate_to(nullptr, &point, name);
    suspend_auto_follow(-1, -1);
}

void XrNaviApp::navigate_to_place(const XrString& name, const XrPoint& point)
{
    XrString place = name;
    if (place.length() == 0) {
        if (auto* details = xr_registered<XrLocationDetailsProvider>(L"XrLocationDetailsProvider")) {
            XrLocationDetails found;
            details->get_details_or_coordinates(point, found);
            place = found.text;
        }
    }
    navigate_to_history_point(place, point);
}

void XrNaviApp::show_map_message(const XrString& text, int duration_ms, int kind)
{
    std::fprintf(stderr, "kestrova-navigator: map message (%d ms, kind %d): %ls\n", duration_ms, kind, text.c_str());
    XrMapWindow* window = get_map_window();
    if (window == nullptr || !window->is_ready() || !GTK_WIDGET_VISIBLE(GTK_WIDGET(window->get_window())))
        return;
    // The information box; a plain one when the picture does not load.
    static XrBitmap* box =
        XrGDI::load_bitmap_file(XrPathResolver::resolve(XrString(L"?:/kestrova/images/message.png")).c_str());
    const int font = message_font;
    draw_splash_screen(window, text.c_str(), &font, duration_ms, nullptr, true, box != nullptr ? box->bitmap() : nullptr,
                       box != nullptr ? box->mask() : nullptr, false, nullptr);
}

// ---- dialogs

void XrNaviApp::show_settings(int page)
{
    XrGuardDown down(dialog_guard);
    if (XrCorvanelDialogFacade* f = facade("settings"))
        f->show_settings_dlg(*this, page);
}

void XrNaviApp::show_about()
{
    if (XrCorvanelDialogFacade* f = facade("about"))
        f->show_about_dlg();
}

void XrNaviApp::show_services()
{
    if (XrCorvanelDialogFacade* f = facade("services"))
        f->show_services_dlg();
}

void XrNaviApp::show_location_details_at_cursor()
{
    XrMapViewProvider* view = view_provider();
    if (view == nullptr || !view->get_cursor_coordinate().is_valid())
        return;
    if (XrCorvanelDialogFacade* f = facade("location details"))
        f->show_location_details_dlg(view->get_cursor_coordinate());
}

void XrNaviApp::open_poi_url()
{
    XrMapViewProvider* view = view_provider();
    XrMapPoint* point = view != nullptr ? view->get_hilighted_point() : nullptr;
    if (point == nullptr || point->get_type() != XrMapPoint::TypePoi)
        return;
    const XrString& url = static_cast<XrPoi*>(point)->get_url();
    if (url.length() > 0)
        open_url_in_browser(url);
}

void XrNaviApp::show_place()
{
    XrRouteLayer* layer = get_route_layer();
    const XrPoint* centre = layer != nullptr && layer->has_last_position() ? &layer->get_last_position() : nullptr;
    XrPoint point;
    XrString name;
    bool chosen;
    {
        XrGuardDown down(dialog_guard);
        chosen = show_address_dialog(key_text("r_str_posdlg_title_location"), 0, point, name, centre);
    }
    if (!chosen)
        return;
    if (XrMapViewProvider* view = view_provider())
        view->show_mappoint(XrCoordinateMapPoint(XrCoordinate(point, projection())));
    map_view.set_rotation(0);
    redraw_map_window();
}

// ---- user points

bool XrNaviApp::ask_text(const char* title_key, const char*, int, XrString&)
{
    std::fprintf(stderr, "kestrova-navigator: text input \"%s\": none on this platform\n", title_key);
    return false;
}

XrString XrNaviApp::get_place_name(const XrPoint& point)
{
    XrString name;
    if (auto* details = xr_registered<XrLocationDetailsProvider>(L"XrLocationDetailsProvider")) {
        details->get_nearest_label(point, name, nullptr);
        if (name.length() == 0) {
            XrLocationDetails found;
            details->get_details_or_coordinates(point, found);
            name = found.text;
        }
    }
    return name;
}

void XrNaviApp::add_favourite(const XrCoordinate& coordinate, const XrString& name)
{
    auto* favourites = xr_registered<XrFavouritesProvider>(L"XrFavouritesProvider");
    if (favourites == nullptr)
        return;
    // The last part of a path-like name, at most 128 characters.
    XrString text = name;
    for (int i = text.length() - 1; i >= 0; --i) {
        if (text.char_at(i) == L'\\' || text.char_at(i) == L'/') {
            text.remove_head(i + 1);
            break;
        }
    }
    text.truncate(128);
    if (!ask_text("r_str_add_favourite_dialog_title", "r_str_favourite_name_dialog", 128, text))
        return;
    text.trim(L"\n \t\r");
    if (text.length() == 0) {
        show_route_query(nullptr, "r_str_favourite_invalid_name", false);
        return;
    }
    XrArray<XrFavourite> all(10);
    favourites->get_favourites(all);
    for (int i = 0; i < all.get_num_items(); ++i) {
        if (all.get_item_ptr(i)->get_name() == text) {
            show_route_query(nullptr, "r_str_favourite_not_unique", false);
            return;
        }
    }
    if (favourites->add_favourite(XrFavourite(coordinate, -1, text, 0)))
        show_route_query(nullptr, "r_str_msg_favourite_added", false);
    else
        show_route_query(nullptr, "r_str_memory_card_write_error", false);
    redraw_map_window();
}

void XrNaviApp::add_favourite_at(const XrPoint& point)
{
    add_favourite(XrCoordinate(point, projection()), get_place_name(point));
}

void XrNaviApp::app_fav_add_current_loc()
{
    XrRouteLayer* layer = get_route_layer();
    if (layer == nullptr || !layer->has_last_position()) {
        show_route_query(nullptr, "r_str_gps_dlg_no_gps_fix", false);
        return;
    }
    add_favourite(XrCoordinate(layer->get_last_position(), projection()), key_text("r_str_msg_current_location"));
}

void XrNaviApp::remove_favourite(int id)
{
    auto* favourites = xr_registered<XrFavouritesProvider>(L"XrFavouritesProvider");
    if (favourites == nullptr)
        return;
    const bool removed = favourites->remove_favourite(id);
    redraw_map_window();
    show_route_query(nullptr, removed ? "r_str_msg_favourite_removed" : "r_str_memory_card_write_error", false);
}

void XrNaviApp::add_roadblock(const XrPoint& point, int edge, bool ask)
{
    auto* roadblocks = xr_registered<XrRoadblocksProvider>(L"XrRoadblocksProvider");
    if (roadblocks == nullptr)
        return;
    const XrCoordinate c(point, projection());
    // A road blocked already (or a block at this very point) takes no second.
    XrMapProvider* m = maps();
    bool blocked = edge != 0 && m != nullptr && roadblocks->is_roadblock_on_edge(static_cast<XrGid>(edge), m->get_road_geometry());
    XrSimpleArray<XrRoadblock> all;
    roadblocks->get_roadblocks(all);
    for (int i = 0; i < all.get_count() && !blocked; ++i)
        blocked = all.get_item_ptr(i)->get_map_point() == point;
    if (blocked) {
        redraw_map_window();
        return;
    }
    if (ask && !show_route_query("r_str_add_block_title", "r_str_add_block", true)) {
        redraw_map_window();
        return;
    }
    XrRoadblock block(c);
    if (!roadblocks->add_roadblock(block))
        show_route_query(nullptr, "r_str_memory_card_write_error", false);
    redraw_map_window();
    on_view_changed();
}

void XrNaviApp::remove_roadblock(int id, bool ask)
{
    auto* roadblocks = xr_registered<XrRoadblocksProvider>(L"XrRoadblocksProvider");
    if (roadblocks == nullptr)
        return;
    if (ask && !show_route_query("r_str_confirm_delete", "r_str_rdblk_del", true))
        return;
    XrSimpleArray<XrRoadblock> all;
    roadblocks->get_roadblocks(all);
    for (int i = 0; i < all.get_count(); ++i) {
        if (all.get_item_ptr(i)->get_id() == id) {
            roadblocks->remove_roadblock(*all.get_item_ptr(i));
            redraw_map_window();
            show_route_query(nullptr, "r_str_msg_roadblock_removed", false);
            return;
        }
    }
}

void XrNaviApp::app_park_car()
{
    auto* parking = xr_registered<XrParkingProvider>(L"XrParkingProvider");
    XrRouteLayer* layer = get_route_layer();
    if (parking == nullptr)
        return;
    if (layer == nullptr || !layer->has_last_position()) {
        show_route_query(nullptr, "r_str_gps_dlg_no_gps_fix", false);
        return;
    }
    if (!parking->park_car(XrCoordinate(layer->get_last_position(), projection()), nullptr))
        show_route_query(nullptr, "r_str_memory_card_write_error", false);
    redraw_map_window();
}

void XrNaviApp::park_at_cursor()
{
    auto* parking = xr_registered<XrParkingProvider>(L"XrParkingProvider");
    XrMapViewProvider* view = view_provider();
    if (parking == nullptr || view == nullptr || !view->is_cursor_visible())
        return;
    if (!parking->park_car(view->get_cursor_coordinate(), nullptr))
        show_route_query(nullptr, "r_str_memory_card_write_error", false);
    redraw_map_window();
}

void XrNaviApp::unpark_car()
{
    auto* parking = xr_registered<XrParkingProvider>(L"XrParkingProvider");
    if (parking == nullptr || !show_route_query("r_str_msg_clear_parking_title", "r_str_msg_clear_parking", true))
        return;
    if (!parking->unpark_car())
        show_route_query(nullptr, "r_str_memory_card_write_error", false);
    redraw_map_window();
}

// ---- view, GPS, theme, sound

int XrNaviApp::scale_of_preset(int n)
{
    switch (n) {
    case 1:
        return 25000;
    case 2:
        return 100000;
    case 3:
        return 250000;
    case 4:
        return 1000000;
    case 5:
        return 4500000;
    default:
        return 9000;
    }
}

void XrNaviApp::set_scale_preset(int n)
{
    if (XrMapViewProvider* view = view_provider(); view != nullptr && view->is_3d())
        toggle_3d_view();
    map_view.set_center_and_scale(nullptr, static_cast<std::uint32_t>(scale_of_preset(n)), false);
    redraw_map_window();
}

void XrNaviApp::store_view()
{
    XrMapViewProvider* view = view_provider();
    auto* settings = xr_registered<XrMapSettingsProvider>(L"XrMapSettingsProvider");
    if (view == nullptr || settings == nullptr)
        return;
    settings->set_default_view(view->get_center_coordinate(), view->get_scale(), view->get_perspective(),
                               view->get_rotation(), view->is_3d() ? 1 : 0);
    if (!settings->save(false))
        show_route_query(nullptr, "r_str_memory_card_write_error", false);
}

void XrNaviApp::gps_on()
{
    if (XrPositionProvider* position = xr_registered<XrPositionProvider>(L"XrPositionProvider"); position != nullptr && !position->is_connected())
        position->connect();
}

void XrNaviApp::gps_off()
{
    if (XrPositionProvider* position = xr_registered<XrPositionProvider>(L"XrPositionProvider"); position != nullptr && position->is_connected()) {
        position->disconnect();
        on_view_changed();
    }
}

void XrNaviApp::set_active_theme(unsigned theme)
{
    XR_ASSERT_MSG(theme <= 2, "theme >= 0 && theme <= 2");
    if (XrAppSettingsProvider* settings = app_settings()) {
        settings->set_theme(static_cast<int>(theme));
        settings->save(true);
    }
    if (XrMapProvider* m = maps())
        m->set_theme(static_cast<int>(theme));
    redraw_map_window();
}

int XrNaviApp::get_active_theme()
{
    XrAppSettingsProvider* settings = app_settings();
    return settings != nullptr ? settings->get_theme() : 0;
}

void XrNaviApp::change_sound_level(XrAppSettingsProvider::Volume level)
{
    XR_ASSERT_MSG(level >= XrAppSettingsProvider::VolumeOff && level <= XrAppSettingsProvider::VolumeHigh, "false");
    if (XrAppSettingsProvider* settings = app_settings()) {
        settings->set_volume(level);
        settings->save(true);
    }
    audio_player.set_volume_level(static_cast<int>(level));
    // Level 0 silences the prompts; the others speak them.
    if (XrRouteLayer* layer = get_route_layer())
        layer->set_voice_prompts_on(level != XrAppSettingsProvider::VolumeOff);
}

void XrNaviApp::set_map_handler_busy(bool busy)
{
    if (map_handler != nullptr)
        map_handler->set_busy(busy);
}

void XrNaviApp::zoom_in()
{
    if (map_handler != nullptr)
        map_handler->handle_key(XrMapWindow::KeyF7, get_map_window());
}

void XrNaviApp::zoom_out()
{
    if (map_handler != nullptr)
        map_handler->handle_key(XrMapWindow::KeyF8, get_map_window());
}

void XrNaviApp::show_help() { std::fprintf(stderr, "kestrova-navigator: help: no help on this platform\n"); }

void XrNaviApp::install_alternate_drawer() { std::fprintf(stderr, "kestrova-navigator: the alternate view is not available yet\n"); }

void XrNaviApp::set_view_variant(int) {}

void XrNaviApp::request_service_update(int service_type)
{
    std::fprintf(stderr, "kestrova-navigator: no online service answers requests of type %d yet\n", service_type);
}

XrString XrNaviApp::find_nearest_name(const XrString&, const XrPoint&, int, int) { return XrString(); }
