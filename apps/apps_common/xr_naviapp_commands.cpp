// XrNaviApp: the routing and user commands that the command handler and the
// map handler reach. Those that open a dialog go through the dialog facade;
// the rest act on the providers directly.
#include <cstdio>

#include "apps/apps_common/xr_naviapp.h"
#include "apps/apps_common/xr_naviapphandler.h"
#include "apps/corvanel/ui/dialogs/xr_corvaneldialogfacade.h"
#include "common/corvanel_core/interfaces/xr_mapviewprovider.h"
#include "common/corvanel_core/interfaces/xr_positionprovider.h"
#include "common/corvanel_core/interfaces/xr_routeprovider.h"
#include "common/gdi/window/xr_mapwindow.h"

namespace {

XrCorvanelDialogFacade* facade()
{
    return static_cast<XrCorvanelDialogFacade*>(XrSingleton::get_instance(XrString(L"XrCorvanelDialogFacade")));
}

void not_on_this_platform(const char* what)
{
    std::fprintf(stderr, "kestrova-navigator: %s is not available yet\n", what);
}

} // namespace

void XrNaviApp::set_scale_preset(int preset)
{
    XrMapViewProvider* views = XrMapViewProvider::get_instance();
    if (views != nullptr && views->is_3d())
        toggle_3d_view();
    static const int scales[6] = {9000, 25000, 100000, 250000, 1000000, 4500000};
    const int scale = preset >= 0 && preset < 6 ? scales[preset] : 9000;
    map_view.set_center_and_scale(nullptr, static_cast<std::uint32_t>(scale), false);
    redraw_map_window();
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

void XrNaviApp::show_place() { not_on_this_platform("showing a place"); }

void XrNaviApp::plan_route()
{
    if (route_request_state != 3)
        route_request_state = 0;
    app_navigate_to(nullptr, nullptr, XrString());
}

void XrNaviApp::show_waypoints()
{
    if (XrRouteProvider* route = XrRouteProvider::get_instance())
        route->clear_route();
    if (XrCorvanelDialogFacade* dialogs = facade())
        dialogs->show_waypoints_dlg(*this);
}

void XrNaviApp::recalculate_route() { not_on_this_platform("recalculating the route"); }

void XrNaviApp::calculate_route_again(int) { not_on_this_platform("calculating the route again"); }

void XrNaviApp::calculate_current_route() { not_on_this_platform("calculating the current route"); }

void XrNaviApp::show_route_details()
{
    if (XrCorvanelDialogFacade* dialogs = facade())
        dialogs->show_route_details_dlg();
}

void XrNaviApp::show_about()
{
    if (XrCorvanelDialogFacade* dialogs = facade())
        dialogs->show_about_dlg();
}

void XrNaviApp::gps_on()
{
    auto* position = static_cast<XrPositionProvider*>(XrSingleton::get_instance(XrString(L"XrPositionProvider")));
    if (position != nullptr && !position->is_active())
        position->connect();
}

void XrNaviApp::gps_off()
{
    auto* position = static_cast<XrPositionProvider*>(XrSingleton::get_instance(XrString(L"XrPositionProvider")));
    if (position != nullptr && position->is_active())
        position->disconnect();
    on_view_changed();
}

void XrNaviApp::app_fav_add_current_loc() { not_on_this_platform("adding the current place to the favourites"); }

void XrNaviApp::app_park_car() { not_on_this_platform("parking the car"); }

void XrNaviApp::park_at_cursor() { not_on_this_platform("parking the car at the cursor"); }

void XrNaviApp::unpark_car() { not_on_this_platform("clearing the parked car"); }

void XrNaviApp::show_help() { not_on_this_platform("help"); }

void XrNaviApp::store_view() { not_on_this_platform("storing the view"); }

void XrNaviApp::add_roadblock(const XrPoint&, int, bool) { not_on_this_platform("placing a roadblock"); }

void XrNaviApp::install_alternate_drawer() { not_on_this_platform("the alternate view"); }

void XrNaviApp::show_settings(int page)
{
    if (XrCorvanelDialogFacade* dialogs = facade()) {
        const bool guard = dialog_guard;
        dialog_guard = false;
        dialogs->show_settings_dlg(*this, page);
        dialog_guard = guard;
    }
}

void XrNaviApp::set_view_variant(int) {}

void XrNaviApp::request_service_update(int service_type)
{
    std::fprintf(stderr, "kestrova-navigator: no online service answers requests of type %d yet\n", service_type);
}

XrString XrNaviApp::find_nearest_name(const XrString&, const XrPoint&, int, int) { return XrString(); }
