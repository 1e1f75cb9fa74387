// The map handler's menus: the radial menu of a map point, the scroll menu
// of quick settings and the quick menu. Until the menus are built they log
// what was asked for and open nothing.
#include <cstdio>

#include "apps/apps_common/xr_naviapp.h"
#include "apps/apps_common/xr_naviapphandler.h"

void XrNaviAppHandler::display_radial_menu(XrMapWindow*, XrPoint* world_point)
{
    if (world_point != nullptr)
        std::fprintf(stderr, "kestrova-navigator: radial menu at %d,%d\n", world_point->x, world_point->y);
    else
        std::fprintf(stderr, "kestrova-navigator: radial menu at the cursor\n");
}

void XrNaviAppHandler::show_scroll_menu()
{
    if (scroll_open != 0)
        return;
    scroll_open = 1;
    std::fprintf(stderr, "kestrova-navigator: scroll menu\n");
    scroll_open = 0;
}

void XrNaviAppHandler::run_quick_menu()
{
    busy = true;
    std::fprintf(stderr, "kestrova-navigator: quick menu\n");
    busy = false;
}
