#include "apps/apps_common/xr_mapmenus.h"

#include <cmath>
#include <cstdio>
#include <memory>

#include "apps/apps_common/xr_naviapp.h"
#include "apps/corvanel/ui/dialogs/xr_corvaneldialogfacade.h"
#include "common/container/xr_bytearray.h"
#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/corvanel_core/interfaces/xr_appsettingsprovider.h"
#include "common/corvanel_core/interfaces/xr_maplayerparts.h"
#include "common/corvanel_core/interfaces/xr_mappoint.h"
#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/corvanel_core/interfaces/xr_mapviewprovider.h"
#include "common/corvanel_core/interfaces/xr_routeprovider.h"
#include "common/gdi/window/xr_mapwindow.h"
#include "common/gdi/window/xr_newscrollmenu.h"
#include "common/gdi/window/xr_quickmenu_maemo.h"
#include "common/gdi/window/xr_radialmenu.h"
#include "common/map/xr_map.h"
#include "common/map/xr_overlaylayer.h"
#include "common/map/xr_routelayer.h"
#include "common/misc/xr_msgtable.h"
#include "common/misc/xr_utf8.h"
#include "common/os/xr_system.h"
#include "common/types/xr_coordinate.h"
#include "common/ui/dialog/xr_busydlg_maemo.h"

namespace {

// The search service of the web entry.
const char* const web_search_page = "https://search.kestrovatech.com/";

struct XrRingEntry {
    int icon;
    const char* text;
    int command;
    bool locked;
};

// The four ring entries of each menu kind with a menu of its own.
const XrRingEntry place_ring[4] = {{0, "r_str_radialmenu_navigate_to", RC_NAVIGATE, false},
                                   {3, "r_str_radialmenu_web", RC_WEB, true},
                                   {22, "r_str_radialmenu_add_favourite", RC_ADD_FAVOURITE, false},
                                   {17, "r_str_radialmenu_open_details", RC_DETAILS, false}};
const XrRingEntry poi_ring[4] = {{0, "r_str_radialmenu_navigate_to", RC_NAVIGATE, false},
                                 {3, "r_str_radialmenu_web", RC_WEB, false},
                                 {22, "r_str_radialmenu_add_favourite", RC_ADD_FAVOURITE, false},
                                 {17, "r_str_radialmenu_open_details", RC_DETAILS, false}};
const XrRingEntry favourite_ring[4] = {{0, "r_str_radialmenu_navigate_to", RC_NAVIGATE, false},
                                       {3, "r_str_radialmenu_web", RC_WEB, true},
                                       {15, "r_str_radialmenu_delete", RC_DELETE_FAVOURITE, false},
                                       {17, "r_str_radialmenu_open_details", RC_DETAILS, false}};
const XrRingEntry special_poi_ring[4] = {{0, "r_str_radialmenu_navigate_to", RC_NAVIGATE, false},
                                        {3, "r_str_radialmenu_web", RC_WEB, true},
                                        {22, "r_str_radialmenu_add_favourite", RC_ADD_FAVOURITE, false},
                                        {17, "r_str_radialmenu_open_details", RC_POI_DETAILS, false}};

int text_id(const char* key) { return get_message_id(key); }

XrMapProvider* maps() { return XrMapProvider::get_instance(); }

XrProjection* projection()
{
    XrMapProvider* m = maps();
    return m != nullptr ? m->get_projection() : nullptr;
}

XrOverlayLayer* overlay()
{
    XrMapProvider* m = maps();
    return m != nullptr ? dynamic_cast<XrOverlayLayer*>(m->get_overlay_layer()) : nullptr;
}

XrAppSettingsProvider* app_settings() { return xr_registered<XrAppSettingsProvider>(L"XrAppSettingsProvider"); }

} // namespace

RadialMenuType get_radial_menu_type(const XrMapPoint* point)
{
    if (point == nullptr)
        return RADIAL_PLACE;
    switch (point->get_type()) {
    case XrMapPoint::TypeRoadblock:
        return RADIAL_ROADBLOCK;
    case XrMapPoint::TypePoi: {
        const int cls = static_cast<const XrPoi*>(point)->get_class_id();
        return cls >= 51 && cls <= 61 ? RADIAL_SPECIAL_POI : RADIAL_POI;
    }
    case XrMapPoint::TypeCarPark:
        return RADIAL_CAR_PARK;
    case XrMapPoint::TypeFavourite:
        return RADIAL_FAVOURITE;
    case 7:
        return RADIAL_SPECIAL_POI;
    default:
        return RADIAL_PLACE;
    }
}

XrRadialMenuData* create_radial_menu_data(RadialMenuType type, const XrString&, const XrString& web_address,
                                          bool has_route, const XrPoint* world_point)
{
    const XrRingEntry* ring = type == RADIAL_POI           ? poi_ring
                              : type == RADIAL_FAVOURITE    ? favourite_ring
                              : type == RADIAL_SPECIAL_POI ? special_poi_ring
                                                            : place_ring;
    auto* data = new XrRadialMenuData();
    for (int i = 0; i < XrRadialMenuData::RING_COUNT; ++i) {
        data->ring[i].icon_index = ring[i].icon;
        data->ring[i].label_id = text_id(ring[i].text);
        data->ring[i].command = ring[i].command;
        data->ring[i].locked = ring[i].locked;
        data->ring[i].hidden = false;
    }
    if (type == RADIAL_POI && web_address.is_empty())
        data->ring[1].label_id = text_id("r_str_search");
    if (has_route) {
        data->ring[0].icon_index = 1;
        data->ring[0].label_id = text_id("r_str_radialmenu_add_waypoint");
        data->ring[0].command = RC_ADD_WAYPOINT;
    }
    // Points without a menu of their own: the place's, with their removal.
    if (type == RADIAL_ROADBLOCK)
        data->add_item(text_id("r_str_rdblk_del"), 15, RC_REMOVE_ROADBLOCK);
    else if (type == RADIAL_CAR_PARK)
        data->add_item(text_id("r_str_msg_clear_parking_title"), 15, RC_UNPARK);

    bool near_pin = false;
    XrOverlayLayer* layer = overlay();
    XrMapViewProvider* views = XrMapViewProvider::get_instance();
    XrMapView* view = views != nullptr ? views->get_map_view() : nullptr;
    if (layer != nullptr && layer->get_pin() != nullptr && world_point != nullptr && view != nullptr) {
        XrPoint pin, here;
        view->world_to_screen(*layer->get_pin(), pin);
        view->world_to_screen(*world_point, here);
        near_pin = std::hypot(double(pin.x - here.x), double(pin.y - here.y)) < 50.0;
    }
    if (near_pin)
        data->add_item(text_id("r_str_hide_marker"), 25, RC_HIDE_MARKER);
    else
        data->add_item(text_id("r_str_set_marker"), 24, RC_SET_MARKER);
    return data;
}

std::string xr_web_search_url(const XrString& name)
{
    XrByteArray utf8;
    XrUTF8::encode_utf8(name.c_str(), -1, utf8);
    std::string query;
    static const char hex[] = "0123456789ABCDEF";
    for (int i = 0; i < utf8.get_num_items(); ++i) {
        const unsigned char c = *utf8.get_item_ptr(i);
        if (c == 0)
            break;
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
            c == '.' || c == '~') {
            query += static_cast<char>(c);
        } else {
            query += '%';
            query += hex[c >> 4];
            query += hex[c & 15];
        }
    }
    std::string url = std::string(web_search_page) + "?q=" + query + "&e=google";
    if (url.size() > 200) {
        // Never cut through an escape: drop the query's tail instead.
        const std::string tail = "&e=google";
        std::string head = url.substr(0, 200 - tail.size());
        const size_t pct = head.rfind('%');
        if (pct != std::string::npos && pct + 3 > head.size())
            head.resize(pct);
        url = head + tail;
    }
    return url;
}

// ---- radial menu

namespace {

// What the menu was opened on, for the command that follows.
struct XrRadialContext {
    XrPoint point;
    XrString name;
    XrString phone;
    XrString web;
    int favourite_id = -1;
    int roadblock_id = -1;
    std::unique_ptr<XrFavourite> favourite;
    std::unique_ptr<XrRoadblock> roadblock;
};

void run_radial_command(XrNaviApp* app, XrMapWindow* window, int command, XrRadialContext& c)
{
    XrMapViewProvider* views = XrMapViewProvider::get_instance();
    switch (command) {
    case RC_NAVIGATE:
    case RC_NAVIGATE_PLAIN:
        app->navigate_to_place(c.name, c.point);
        break;
    case RC_ADD_WAYPOINT:
        if (XrRouteProvider* route = XrRouteProvider::get_instance())
            route->navigate_via(c.point, c.name);
        break;
    case RC_CALL:
        if (!c.phone.is_empty()) {
            app->notify_low_memory();
            std::fprintf(stderr, "kestrova-navigator: no phone-call service for %ls\n", c.phone.c_str());
        }
        break;
    case RC_WEB: {
        if (!c.web.is_empty()) {
            open_url_in_browser(c.web);
        } else {
            const std::string url = xr_web_search_url(c.name);
            open_url_in_browser(XrString(url.c_str()));
        }
        break;
    }
    case RC_DELETE_FAVOURITE:
        if (c.favourite_id >= 0)
            app->remove_favourite(c.favourite_id);
        break;
    case RC_REMOVE_ROADBLOCK:
        if (c.roadblock_id >= 0)
            app->remove_roadblock(c.roadblock_id, true);
        break;
    case RC_HIDE_MARKER:
        if (XrOverlayLayer* layer = overlay())
            layer->clear_pin();
        if (window != nullptr)
            app->redraw_map_window();
        break;
    case RC_SET_MARKER:
        if (XrOverlayLayer* layer = overlay())
            layer->set_pin(c.point, XrString());
        app->redraw_map_window();
        break;
    case RC_FAVOURITE_DETAILS:
        if (c.favourite)
            if (XrCorvanelDialogFacade* f = XrCorvanelDialogFacade::get_instance())
                f->show_favourites_dlg(*app, *c.favourite);
        break;
    case RC_ROADBLOCK_DETAILS:
        if (c.roadblock)
            if (XrCorvanelDialogFacade* f = XrCorvanelDialogFacade::get_instance())
                f->show_roadblocks_dlg(*c.roadblock);
        break;
    case RC_ADD_FAVOURITE:
        if (c.name.is_empty())
            app->add_favourite_at(c.point);
        else
            app->add_favourite(XrCoordinate(c.point, projection()), c.name);
        break;
    case RC_DETAILS:
        app->show_location_details(c.point, XrString());
        break;
    case RC_ADD_ROADBLOCK:
        app->add_roadblock(c.point, 0, true);
        break;
    case RC_POI_DETAILS:
        app->show_location_details(c.point, c.name);
        break;
    case RC_PARKING:
        if (XrCorvanelDialogFacade* f = XrCorvanelDialogFacade::get_instance())
            f->show_parking_dlg();
        break;
    case RC_UNPARK:
        app->unpark_car();
        break;
    default:
        break;
    }
    (void)views;
}

} // namespace

void xr_display_radial_menu(XrNaviApp* app, XrMapWindow* window, const XrPoint* world_point)
{
    if (app == nullptr || window == nullptr)
        return;
    XrMapViewProvider* views = XrMapViewProvider::get_instance();
    XrMapPoint* point = views != nullptr ? views->get_hilighted_point() : nullptr;
    if (point == nullptr && views != nullptr && maps() != nullptr && maps()->get_map() != nullptr &&
        maps()->get_map()->get_picked_items().get_count() > 0) {
        views->hilight_mapitem(maps()->get_map()->get_picked_items().get_item(0));
        point = views->get_hilighted_point();
    }
    XrRadialContext c;
    RadialMenuType type = RADIAL_PLACE;
    if (point != nullptr) {
        c.point = point->get_map_point();
        type = get_radial_menu_type(point);
        switch (point->get_type()) {
        case XrMapPoint::TypePoi: {
            const auto* poi = static_cast<const XrPoi*>(point);
            c.phone = poi->get_phone_number();
            c.web = poi->get_url();
            c.name = poi->get_name();
            break;
        }
        case XrMapPoint::TypeRoadblock:
            c.roadblock = std::make_unique<XrRoadblock>(*static_cast<const XrRoadblock*>(point));
            c.roadblock_id = c.roadblock->get_id();
            break;
        case XrMapPoint::TypeFavourite:
            c.favourite = std::make_unique<XrFavourite>(*static_cast<const XrFavourite*>(point));
            c.favourite_id = c.favourite->get_id();
            c.name = c.favourite->get_name();
            break;
        case XrMapPoint::TypeHistory:
            c.name = static_cast<const XrHistoryMapPoint*>(point)->get_name();
            break;
        default:
            break;
        }
    } else if (world_point != nullptr) {
        c.point = *world_point;
    } else if (views != nullptr) {
        c.point = views->get_cursor_coordinate().to_point(projection());
    }
    XrRouteProvider* route = XrRouteProvider::get_instance();
    const bool has_route = route != nullptr && route->has_waypoints();
    std::unique_ptr<XrRadialMenuData> data(create_radial_menu_data(type, c.phone, c.web, has_route, &c.point));
    if (views != nullptr) {
        views->clear_hilight();
        views->set_cursor_visible(false);
    }

    const bool guard = app->get_dialog_guard();
    app->set_follow_enabled(false);
    app->set_dialog_guard(false);
    app->on_view_changed();
    int command = 0;
    XrString title = c.name;
    int result;
    {
        XrRadialMenu menu(data.get(), nullptr, nullptr, 0, window, &app->get_event_loop(), title, nullptr);
        XrPoint screen;
        app->get_map_view().world_to_screen(c.point, screen);
        result = menu.show_at(screen, command, 0);
    }
    std::fprintf(stderr, "kestrova-navigator: radial menu: %s %d\n", result == 1 ? "command" : "closed", command);
    if (result == 1)
        run_radial_command(app, window, command, c);
    if (views != nullptr) {
        if (result != 1 || (command <= 18 && command != RC_FAVOURITE_DETAILS && command != RC_ROADBLOCK_DETAILS))
            views->clear_hilight();
        views->set_cursor_visible(false);
    }
    app->set_follow_enabled(true);
    app->set_dialog_guard(guard);
}

// ---- quick menu

namespace {

const XrPoint quick_cells[10] = {{146, 108}, {336, 109}, {526, 102}, {245, 224}, {433, 227},
                                 {118, 87},  {278, 88},  {437, 82},  {201, 184}, {357, 187}};

} // namespace

XrRectangle XrQuickMenuHandler::cell_rect(int column, int row, bool full_screen)
{
    const int index = row * 3 + column + (full_screen ? 0 : 5);
    const XrPoint corner = index >= 0 && index < 10 ? quick_cells[index] : XrPoint(0, 0);
    const int w = full_screen ? 170 : 150;
    const int h = full_screen ? 120 : 104;
    return XrRectangle(corner.x, corner.y, corner.x + w, corner.y + h);
}

void XrQuickMenuHandler::run()
{
    if (running)
        return;
    XrMapWindow* window = app->get_map_window();
    if (window == nullptr)
        return;
    XrRouteLayer* layer = app->get_route_layer();
    const bool has_route = layer != nullptr && layer->get_active_route() != nullptr;
    app->set_map_handler_busy(true);
    running = true;
    const bool full = window->is_fullscreen();
    struct Button {
        int command;
        const char* text;
        int column, row;
        bool enabled;
    };
    const Button buttons[5] = {{CMD_PLAN, "r_menu_find_route", 0, 0, true},
                               {CMD_DETOUR, "r_menu_find_detour", 1, 0, has_route},
                               {CMD_CLEAR, "r_menu_find_clear_route", 2, 0, has_route},
                               {CMD_WAYPOINTS, "r_menu_find_waypoints", 0, 1, true},
                               {CMD_SETTINGS, "r_menu_main_settings", 1, 1, true}};
    XrQuickMenuDesc desc;
    desc.mode = full ? 0 : 1;
    for (const Button& b : buttons) {
        XrQuickMenuItem& item = desc.items[desc.count++];
        item.id = b.command;
        item.label_id = text_id(b.text);
        item.extra = 0;
        item.enabled = b.enabled;
        item.rect = cell_rect(b.column, b.row, full);
    }
    app->set_follow_enabled(false);
    const int chosen = XrQuickMenuMaemo::show_menu(window, &app->get_event_loop(), desc);
    std::fprintf(stderr, "kestrova-navigator: quick menu: %d\n", chosen);
    while (gtk_events_pending())
        gtk_main_iteration();
    if (chosen != -1)
        execute(chosen);
    app->set_follow_enabled(true);
    running = false;
    app->set_map_handler_busy(false);
    app->on_view_changed();
}

bool XrQuickMenuHandler::execute(int command)
{
    if (command == CMD_CLEAR || command == CMD_DETOUR)
        XrBusyDlgMaemo::close_current();
    switch (command) {
    case CMD_PLAN:
        app->plan_route();
        break;
    case CMD_CLEAR:
        app->clear_route_with_query();
        break;
    case CMD_DETOUR:
        app->calculate_current_route();
        break;
    case CMD_WAYPOINTS:
        app->show_waypoints();
        break;
    case CMD_SETTINGS:
        xr_show_scroll_menu(app);
        break;
    default:
        break;
    }
    return false;
}

// ---- scroll menu

namespace {

bool g_scroll_open = false;
int g_scroll_page = 0;

} // namespace

void xr_show_scroll_menu(XrNaviApp* app)
{
    if (g_scroll_open || app == nullptr || app->get_map_window() == nullptr)
        return;
    g_scroll_open = true;
    XrAppSettingsProvider* settings = app_settings();
    XrRouteProvider* route = XrRouteProvider::get_instance();
    XrMapViewProvider* views = XrMapViewProvider::get_instance();

    struct Entry {
        const char* text;
        int icon;
    };
    static const Entry sound[] = {{"r_str_sound_mute", 9}, {"r_str_sound_low", 10}, {"r_str_sound_med", 11},
                                  {"r_str_sound_high", 12}};
    static const Entry mode[] = {{"r_str_route_mode_car", 13}, {"r_str_route_mode_bicycle", 15},
                                 {"r_str_route_mode_pedestrian", 16}};
    static const Entry type[] = {{"r_str_route_type_fastest", 18}, {"r_str_route_type_shortest", 19},
                                 {"r_str_route_type_avoid_motorways", 21}};
    static const Entry view[] = {{"r_str_view_2d", 0}, {"r_str_view_3d", 1}};
    static const Entry theme[] = {{"r_str_gs_theme_daylight", 24}, {"r_str_gs_theme_night", 23},
                                  {"r_str_gs_theme_bright", 25}};
    static const Entry traffic[] = {{"r_str_option_off", 28}, {"r_str_option_on", 27}};
    struct Page {
        const char* title;
        const Entry* entries;
        int count;
    };
    const Page pages[6] = {{"r_str_gs_sound_item", sound, 4}, {"r_str_route_mode", mode, 3},
                           {"r_str_route_type", type, 3},     {"r_str_display_mode", view, 2},
                           {"r_str_gs_theme_item", theme, 3}, {"r_str_traffic_info", traffic, 2}};
    XrScrollMenuItem items[6][4];
    XrScrollMenuRow rows[6];
    for (int p = 0; p < 6; ++p) {
        rows[p].label_id = text_id(pages[p].title);
        rows[p].item_count = pages[p].count;
        rows[p].items = items[p];
        for (int i = 0; i < pages[p].count; ++i) {
            items[p][i].text_id = text_id(pages[p].entries[i].text);
            items[p][i].icon_index = pages[p].entries[i].icon;
            items[p][i].visible = true;
        }
    }
    items[2][2].visible = false; // motorways cannot be avoided yet
    // Routing option: 0 car fastest, 1 car shortest, 2 pedestrian, 3 bicycle.
    const int option = route != nullptr ? route->get_routing_mode() : 0;
    const int volume = settings != nullptr ? static_cast<int>(settings->get_volume()) : 3;
    const bool was_3d = views != nullptr && views->is_3d();
    const bool traffic_was_on = settings != nullptr && settings->get_traffic_enabled();
    rows[0].selected = volume;
    rows[1].selected = option == 0 || option == 1 ? 0 : option == 3 ? 1 : option == 2 ? 2 : 3;
    rows[2].selected = option == 1 ? 1 : 0;
    rows[2].enabled = option == 0 || option == 1;
    rows[3].selected = was_3d ? 1 : 0;
    rows[4].selected = app->get_active_theme();
    rows[5].selected = traffic_was_on ? 1 : 0;
    XrScrollMenuData data;
    data.row_count = 6;
    data.rows = rows;

    app->set_follow_enabled(false);
    const bool confirmed = XrNewScrollMenu::execute(app->get_map_window(), &data, 0, 0, 0);
    std::fprintf(stderr, "kestrova-navigator: scroll menu: %s\n", confirmed ? "confirmed" : "cancelled");
    g_scroll_page = XrNewScrollMenu::get_running() != nullptr ? XrNewScrollMenu::get_running()->get_current_row()
                                                               : g_scroll_page;
    if (confirmed) {
        int new_option = option;
        switch (rows[1].selected) {
        case 0:
            new_option = rows[2].selected == 1 ? 1 : 0;
            break;
        case 1:
            new_option = 3;
            break;
        case 2:
            new_option = 2;
            break;
        default:
            new_option = 4;
            break;
        }
        if (route != nullptr)
            route->set_routing_mode(new_option);
        if ((rows[3].selected == 1) != was_3d)
            app->toggle_3d_view();
        if (rows[4].selected >= 0 && rows[4].selected <= 2)
            app->set_active_theme(static_cast<unsigned>(rows[4].selected));
        if (rows[0].selected >= 0 && rows[0].selected <= 3)
            app->change_sound_level(static_cast<XrAppSettingsProvider::Volume>(rows[0].selected));
        bool on = rows[5].selected == 1;
        if (on && !traffic_was_on && !app->show_route_query("r_str_confirm_change", "r_str_traffic_enable_warning", true))
            on = false;
        if (settings != nullptr) {
            settings->set_traffic_enabled(on);
            settings->save(false);
        }
        app->redraw_map_window();
    }
    g_scroll_open = false;
    if (route != nullptr)
        route->apply_settings();
    app->set_follow_enabled(true);
}
