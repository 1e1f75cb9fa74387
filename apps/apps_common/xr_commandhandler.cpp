#include "apps/apps_common/xr_commandhandler.h"

#include <cstdio>

#include "apps/apps_common/xr_naviapp.h"
#include "apps/apps_common/xr_naviapphandler.h"
#include "apps/corvanel/ui/dialogs/xr_corvaneldialogfacade.h"
#include "common/corvanel_core/interfaces/xr_mappoint.h"
#include "common/corvanel_core/interfaces/xr_mapviewprovider.h"
#include "common/corvanel_core/interfaces/xr_routeprovider.h"
#include "common/gdi/window/xr_mapwindow.h"

namespace {

XrCorvanelDialogFacade* facade()
{
    return static_cast<XrCorvanelDialogFacade*>(XrSingleton::get_instance(XrString(L"XrCorvanelDialogFacade")));
}

} // namespace

int XrCorvanelCommandHandler::preset_scale(int preset)
{
    static const int scales[6] = {9000, 25000, 100000, 250000, 1000000, 4500000};
    return preset >= 0 && preset < 6 ? scales[preset] : 9000;
}

bool XrCorvanelCommandHandler::handle_command(int id, void*)
{
    if (app == nullptr)
        return false;
    if (!run(id)) {
        std::fprintf(stderr, "kestrova-navigator: unknown command id 0x%X ignored\n", static_cast<unsigned>(id));
        return false;
    }
    if (id == 0x1009)
        return true;
    XrMapWindow* window = app->get_map_window();
    if (XrNaviAppHandler* handler = app->get_map_handler())
        handler->set_cursor_mode(window, false, nullptr);
    app->redraw_map_window();
    return true;
}

bool XrCorvanelCommandHandler::run(int id)
{
    XrCorvanelDialogFacade* dialogs = facade();
    XrNaviAppHandler* handler = app->get_map_handler();
    XrMapWindow* window = app->get_map_window();
    XrMapViewProvider* views = XrMapViewProvider::get_instance();
    const int view_mode = views != nullptr && views->is_3d() ? 1 : 0;

    if (id >= 0x1000 && id <= 0x1005) {
        app->set_scale_preset(id - 0x1000);
        return true;
    }
    if (id >= 0x10F4 && id <= 0x10FD) {
        app->set_view_variant((id - 0x10F4) / 2);
        return true;
    }
    switch (id) {
    case 0x1006:
        app->zoom_in();
        return true;
    case 0x1007:
        app->zoom_out();
        return true;
    case 0x1009:
        if (handler != nullptr)
            handler->set_cursor_mode(window, true, nullptr);
        app->redraw_map_window();
        return true;
    case 0x100B:
    case 0x1015:
        app->show_place();
        return true;
    case 0x1014:
        app->plan_route();
        return true;
    case 0x1016:
        app->show_waypoints();
        return true;
    case 0x1018:
    case 0x1019:
    case 0x101A:
        app->recalculate_route();
        return true;
    case 0x101B:
        app->calculate_route_again(0);
        return true;
    case 0x101C:
        app->calculate_current_route();
        return true;
    case 0x101D:
        app->show_route_details();
        return true;
    case 0x101E:
    case 0x1051:
        return true;
    case 0x1020:
        app->clear_route_with_query();
        return true;
    case 0x1027:
    case 0x10D3:
        app->show_about();
        return true;
    case 0x102D:
        app->gps_on();
        return true;
    case 0x102E:
        app->gps_off();
        return true;
    case 0x1038:
        if (dialogs != nullptr)
            dialogs->show_favourites_dlg(*app);
        return true;
    case 0x1039:
        app->app_fav_add_current_loc();
        return true;
    case 0x104E:
        app->app_park_car();
        return true;
    case 0x104F:
        app->park_at_cursor();
        return true;
    case 0x1050:
    case 0x1106:
        if (dialogs != nullptr)
            dialogs->show_parking_dlg();
        return true;
    case 0x1052:
        app->unpark_car();
        return true;
    case 0x105C:
        app->request_service_update(2);
        return true;
    case 0x1072:
        app->show_help();
        return true;
    case 0x1081:
        app->store_view();
        return true;
    case 0x1088:
        if (dialogs != nullptr)
            dialogs->show_roadblocks_dlg();
        return true;
    case 0x1089:
        if (handler != nullptr && handler->is_roadblock_mode() && views != nullptr && views->is_cursor_visible())
            handler->confirm_roadblock(window);
        return true;
    case 0x108A:
        if (handler != nullptr && handler->is_roadblock_mode()) {
            handler->set_cursor_mode(window, false, nullptr);
            handler->set_roadblock_mode(false);
            app->redraw_map_window();
        }
        return true;
    case 0x108C:
        if (view_mode == 0)
            app->toggle_3d_view();
        return true;
    case 0x108D:
    case 0x108E:
    case 0x108F:
        if (view_mode == 1)
            app->toggle_3d_view();
        return true;
    case 0x1090:
        app->install_alternate_drawer();
        return true;
    case 0x1094:
        app->call_highlighted_poi();
        return true;
    case 0x1095:
        app->show_settings(0);
        return true;
    case 0x10B0:
        if (dialogs != nullptr)
            dialogs->show_gps_dlg(*app);
        return true;
    case 0x10E3:
        if (dialogs != nullptr)
            dialogs->show_services_dlg();
        return true;
    case 0x1107:
        app->set_stop_drawing(true);
        return true;
    default:
        return false;
    }
}
