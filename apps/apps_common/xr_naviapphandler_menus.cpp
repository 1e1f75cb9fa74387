// The map handler's menus: the radial menu of a map point, the scroll menu
// of quick settings and the quick menu (built in xr_mapmenus.cpp).
#include "apps/apps_common/xr_mapmenus.h"
#include "apps/apps_common/xr_naviapp.h"
#include "apps/apps_common/xr_naviapphandler.h"
#include "apps/apps_common/xr_touchctrllayer_maemo.h"

void XrNaviAppHandler::display_radial_menu(XrMapWindow* window, XrPoint* world_point)
{
    if (app == nullptr)
        return;
    set_cursor_mode(window, false, nullptr);
    xr_display_radial_menu(app, window, world_point);
    set_cursor_mode(window, false, nullptr);
    // The touch controls forget the press that opened the menu.
    if (XrTouchCtrlLayer* touch = app->get_touch_layer())
        touch->on_release(window, 0, 0);
}

void XrNaviAppHandler::show_scroll_menu()
{
    if (scroll_open != 0 || app == nullptr)
        return;
    scroll_open = 1;
    xr_show_scroll_menu(app);
    scroll_open = 0;
}

void XrNaviAppHandler::run_quick_menu()
{
    if (app == nullptr)
        return;
    XrQuickMenuHandler menu(app);
    menu.run();
}
