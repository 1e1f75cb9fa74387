#include "apps/maemo_map/xr_maemomapdialogfacade.h"

#include "apps/maemo_map/xr_favouritesdlg_maemo.h"
#include "apps/maemo_map/xr_maemoaboutdlg.h"
#include "apps/apps_common/xr_naviapp.h"
#include "apps/maemo_map/xr_maemogpsdlg.h"
#include "apps/maemo_map/xr_maemomapsdlg.h"
#include "apps/maemo_map/xr_maemosettingsdlg.h"
#include "apps/maemo_map/xr_maemowayptdlg.h"
#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/corvanel_core/interfaces/xr_poiprovider.h"
#include "common/update/xr_soundsetcatalogue.h"

void XrMaemoMapDialogFacade::show_favourites_dlg(const XrNaviApp& application) const
{
    if (get_open_count(XrString(XrFavouritesDlgMaemo::open_count_name)) != 0)
        return;
    // The window deletes itself when it closes; it calls the application's
    // routing, which the facade's callers hand over as const.
    (new XrFavouritesDlgMaemo(const_cast<XrNaviApp*>(&application), nullptr))->open();
}

void XrMaemoMapDialogFacade::show_favourites_dlg(const XrNaviApp& application, const XrFavourite& favourite) const
{
    (new XrFavouritesDlgMaemo(const_cast<XrNaviApp*>(&application), &favourite))->open();
}

void XrMaemoMapDialogFacade::show_waypoints_dlg(XrNaviApp& application) const
{
    // The window deletes itself when it answers.
    (new XrMaemoWayptDlg(&application))->show();
}

void XrMaemoMapDialogFacade::show_about_dlg() const
{
    XrMaemoAboutDlg dialog;
    dialog.run(app);
}

void XrMaemoMapDialogFacade::show_gps_dlg(XrNaviApp& application) const
{
    // The window deletes itself and clears the busy flag when it closes.
    XrMaemoGpsDlg::open(application.get_map_window());
}

void XrMaemoMapDialogFacade::show_settings_dlg(XrNaviApp&, int page) const
{
    XrArray<XrString> voices(8);
    list_soundset_folders(voices);
    auto* pois = xr_registered<XrPoiProvider>(L"XrPoiProvider");
    XrMaemoSettingsDlg dialog(page, &voices, pois != nullptr ? &pois->get_poi_settings() : nullptr);
    dialog.run();
}

void XrMaemoMapDialogFacade::show_maps_dlg(XrNaviApp& application, bool voices) const
{
    g_printerr("%s window shown\n", voices ? "voice sets" : "maps");
    // The window deletes itself when its run ends.
    (new XrMaemoMapsDlg(&application, voices))->show();
}
