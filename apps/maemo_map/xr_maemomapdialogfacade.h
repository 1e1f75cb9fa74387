// The navigator's dialog facade: the tablet's facade with the windows that
// need the application object (favourites, route plan, about, settings).
#pragma once

#include "apps/corvanel/ui/dialogs/xr_corvaneldialogfacade_maemo.h"

class XrMaemoMapDialogFacade : public XrCorvanelDialogFacadeMaemo {
public:
    // Opens the favourites window unless one is open already.
    void show_favourites_dlg(const XrNaviApp& app) const override;
    // Opens a favourites window with the favourite selected, always.
    void show_favourites_dlg(const XrNaviApp& app, const XrFavourite& favourite) const override;
    // Opens the route-edit window (modal; returns at once).
    void show_waypoints_dlg(XrNaviApp& app) const override;
    // Opens the GPS status window unless the map window is busy.
    void show_gps_dlg(XrNaviApp& app) const override;
    // Runs the about window modally.
    void show_about_dlg() const override;
    // Runs the settings window modally on the page (1: the POI page alone).
    void show_settings_dlg(XrNaviApp& app, int page) const override;

    // Runs the maps window (voice sets with voices) modally.
    void show_maps_dlg(XrNaviApp& app, bool voices) const;

    // The application the about window reports on (set at start-up).
    void set_app(XrNaviApp* application) { app = application; }

private:
    XrNaviApp* app = nullptr;
};
