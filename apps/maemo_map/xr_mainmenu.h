// The tablet's fixed ways in: the program's common menu (opened by the
// menu key) and the six-button toolbar under the map window. Each entry
// calls one operation of the application object or opens a dialog.
#pragma once

#include <gtk/gtk.h>

#include "common/container/xr_string.h"

class XrMaemoMapApp;

// Replaces the whole common menu (destroying the one before).
void xr_build_menu(XrMaemoMapApp& app);
// Builds the toolbar and hands it to the map window.
void xr_build_toolbar(XrMaemoMapApp& app);
// The menu now, or null before the first build.
GtkWidget* xr_main_menu();
// Pops the common menu up (the menu key).
void xr_popup_main_menu();

// The 3D check item follows the map view; "clear route" is sensitive
// exactly while there is a route.
void xr_update_3d_item();
void xr_update_route_items();

// Map orientation: north up, or turned with the heading. The choice is kept
// per mode (with and without a route) in the application settings.
void xr_toggle_north(XrMaemoMapApp& app, bool redraw);

// Centres on the position when there is a fix, else says there is none.
void xr_show_current_location(XrMaemoMapApp& app);
// The map services (type 2 traffic, 3 safety cameras): asks first to
// switch traffic on when it is off.
void xr_request_service_update(XrMaemoMapApp& app, int type);
