// XrNaviApp: the map window's input handler, the touch control layer and the
// numeric commands.
#include <cstdio>

#include "apps/apps_common/xr_commandhandler.h"
#include "apps/apps_common/xr_naviapp.h"
#include "apps/apps_common/xr_naviapphandler.h"
#include "apps/apps_common/xr_navistephandler.h"
#include "apps/apps_common/xr_touchctrllayer_maemo.h"
#include "apps/corvanel/ui/dialogs/xr_corvaneldialogfacade.h"
#include "common/corvanel_core/interfaces/xr_favouritesprovider.h"
#include "common/corvanel_core/interfaces/xr_mappoint.h"
#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/corvanel_core/interfaces/xr_mapviewprovider.h"
#include "common/gdi/window/xr_mapwindow.h"
#include "common/map/xr_map.h"

void XrNaviApp::install_map_handler()
{
    if (map_handler != nullptr)
        return;
    if (!command_handler) {
        command_handler = std::make_unique<XrCorvanelCommandHandler>();
        command_handler->set_app(this);
    }
    map_handler = new XrNaviAppHandler(this);
    window_manager.add_handler(map_handler);
}

void XrNaviApp::create_touch_layer()
{
    XrMapProvider* maps = XrMapProvider::get_instance();
    XrMap* map = maps != nullptr ? maps->get_map() : nullptr;
    if (map == nullptr || map_handler == nullptr || touch_layer != nullptr)
        return;
    auto* layer = new XrTouchCtrlLayer("touch_ctrl", map_handler, &event_loop, get_route_layer());
    layer->load_bitmaps();
    if (!map->add_layer(layer, XrString(L"touch_ctrl"))) {
        delete layer;
        return;
    }
    layer->initialize();
    touch_layer = layer;
    map_handler->set_touch_layer(layer);
    map->add_draw_listener(map_handler);
}

void XrNaviApp::forget_touch_layer()
{
    if (map_handler != nullptr) {
        map_handler->set_touch_layer(nullptr);
        if (XrMapProvider* maps = XrMapProvider::get_instance()) {
            if (XrMap* map = maps->get_map())
                map->remove_draw_listener(map_handler);
        }
    }
    if (touch_layer != nullptr) {
        if (XrMapWindow* window = get_map_window())
            window->set_draw_callback(nullptr, nullptr);
    }
    touch_layer = nullptr;
}

void XrNaviApp::handle_command(int id, void* data)
{
    if (!command_handler) {
        command_handler = std::make_unique<XrCorvanelCommandHandler>();
        command_handler->set_app(this);
    }
    command_handler->handle_command(id, data);
}

void XrNaviApp::show_speed_dial(int speed_dial)
{
    auto* dialogs = static_cast<XrCorvanelDialogFacade*>(XrSingleton::get_instance(XrString(L"XrCorvanelDialogFacade")));
    if (dialogs == nullptr)
        return;
    auto* favourites = static_cast<XrFavouritesProvider*>(XrSingleton::get_instance(XrString(L"XrFavouritesProvider")));
    if (favourites != nullptr) {
        XrArray<XrFavourite> list;
        favourites->get_favourites(list);
        for (int i = 0; i < list.get_num_items(); ++i) {
            if (list.get_item_ptr(i)->get_speed_dial() == speed_dial) {
                dialogs->show_favourites_dlg(*this, *list.get_item_ptr(i));
                return;
            }
        }
    }
    dialogs->show_favourites_dlg(*this);
}

void XrNaviApp::call_highlighted_poi()
{
    XrMapViewProvider* views = XrMapViewProvider::get_instance();
    XrMapPoint* point = views != nullptr ? views->get_hilighted_point() : nullptr;
    if (point == nullptr || point->get_type() != XrMapPoint::TypePoi)
        return;
    const XrString number = static_cast<XrPoi*>(point)->get_phone_number();
    XrPhoneCallProvider* phone = XrPhoneCallProvider::get_instance();
    if (number.is_empty() || phone == nullptr) {
        std::fprintf(stderr, "kestrova-navigator: no telephony to call the selected place\n");
        return;
    }
    notify_low_memory();
    phone->call(number);
}

void XrNaviApp::return_to_position()
{
    browsing = false;
    rotation_frozen = false;
    auto_scale_allowed = true;
    resume_auto_follow();
    update_position(true, nullptr);
    redraw_map_window();
}

void XrNaviApp::toggle_north(bool redraw)
{
    map_view.set_rotation(0);
    if (redraw)
        redraw_map_window();
}

void XrNaviApp::toggle_3d_view()
{
    XrMapViewProvider* views = XrMapViewProvider::get_instance();
    if (views == nullptr)
        return;
    views->set_view_mode(views->is_3d() ? 0 : 1);
    on_view_changed();
    redraw_map_window();
}

void XrNaviApp::start_browsing()
{
    rotation_frozen = false;
    browsing = true;
    highlight_done = false;
    suspend_auto_follow(15000, 15000);
}
