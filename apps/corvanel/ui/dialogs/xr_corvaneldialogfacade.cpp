#include "apps/corvanel/ui/dialogs/xr_corvaneldialogfacade.h"

#include "common/container/xr_hash.h"
#include "common/misc/xr_utf8.h"

#include <glib.h>

#include <string>

namespace {

// The open-dialog counts live from first use to exit.
XrHash<XrString, int>& open_counts()
{
    static XrHash<XrString, int> counts(10, false, 80);
    return counts;
}

std::string utf8(const XrString& text)
{
    BYTE* bytes = nullptr;
    XrUTF8::wide_to_utf8_alloc(text, &bytes);
    std::string out(reinterpret_cast<const char*>(bytes));
    delete[] bytes;
    return out;
}

} // namespace

void XrCorvanelDialogFacade::log_unavailable(const char* operation, const char* what)
{
    g_log(XR_DIALOG_FACADE_LOG_DOMAIN, G_LOG_LEVEL_MESSAGE, "%s: %s not implemented to this platform", operation,
          what);
}

void XrCorvanelDialogFacade::show_favourites_dlg(const XrNaviApp&) const
{
    log_unavailable("show_favourites_dlg", "Favourites dialog");
}

void XrCorvanelDialogFacade::show_favourites_dlg(const XrNaviApp&, const XrFavourite&) const
{
    log_unavailable("show_favourites_dlg(favourite)", "Favourites dialog");
}

void XrCorvanelDialogFacade::show_roadblocks_dlg() const
{
    log_unavailable("show_roadblocks_dlg", "Roadblocks dialog");
}

void XrCorvanelDialogFacade::show_roadblocks_dlg(const XrRoadblock&) const
{
    log_unavailable("show_roadblocks_dlg(roadblock)", "Roadblocks dialog");
}

void XrCorvanelDialogFacade::show_traffic_list_dlg(const XrCoordinate&) const
{
    log_unavailable("show_traffic_list_dlg", "TrafficList dialog");
}

void XrCorvanelDialogFacade::show_traffic_details_dlg(XrUInt32 id, bool*) const
{
    g_log(XR_DIALOG_FACADE_LOG_DOMAIN, G_LOG_LEVEL_MESSAGE,
          "show_traffic_details_dlg(%u): traffic detail dialog not implemented to this platform", id);
}

void XrCorvanelDialogFacade::show_location_details_dlg(const XrCoordinate&) const
{
    log_unavailable("show_location_details_dlg", "Location details dialog");
}

void XrCorvanelDialogFacade::show_waypoints_dlg(XrNaviApp&) const
{
    log_unavailable("show_waypoints_dlg", "Waypoints dialog");
}

void XrCorvanelDialogFacade::show_about_dlg() const
{
    log_unavailable("show_about_dlg", "About dialog");
}

void XrCorvanelDialogFacade::show_settings_dlg(XrNaviApp&, int page) const
{
    g_log(XR_DIALOG_FACADE_LOG_DOMAIN, G_LOG_LEVEL_MESSAGE,
          "show_settings_dlg(page %d): Settings dialog not implemented to this platform", page);
}

void XrCorvanelDialogFacade::show_parking_dlg() const
{
    log_unavailable("show_parking_dlg", "Parking dialog");
}

void XrCorvanelDialogFacade::show_route_details_dlg() const
{
    log_unavailable("show_route_details_dlg", "Route details dialog");
}

void XrCorvanelDialogFacade::show_services_dlg() const
{
    log_unavailable("show_services_dlg", "Services dialog");
}

void XrCorvanelDialogFacade::show_service_details_dlg(XrService*) const
{
    log_unavailable("show_service_details_dlg", "Service details dialog");
}

void XrCorvanelDialogFacade::show_gps_dlg(XrNaviApp&) const
{
    log_unavailable("show_gps_dlg", "GPS dialog");
}

void XrCorvanelDialogFacade::show_address_dlg(XrString title, AddressDlgType type, XrEventloopBase*, XrProjection*,
                                              bool& ok, XrPoint&, XrString&, const XrPoint*) const
{
    ok = false;
    g_log(XR_DIALOG_FACADE_LOG_DOMAIN, G_LOG_LEVEL_MESSAGE,
          "show_address_dlg(\"%s\", type %d): Address dialog not implemented to this platform", utf8(title).c_str(),
          static_cast<int>(type));
}

void XrCorvanelDialogFacade::show_list_dlg(XrString title, XrArray<XrListDlgItem>&, int default_icon_id,
                                           XrListDlgListener*) const
{
    g_log(XR_DIALOG_FACADE_LOG_DOMAIN, G_LOG_LEVEL_MESSAGE,
          "show_list_dlg(\"%s\", icon %d): List dialog not implemented to this platform", utf8(title).c_str(),
          default_icon_id);
}

XrCorvanelDialogFacade* XrCorvanelDialogFacade::get_instance()
{
    return static_cast<XrCorvanelDialogFacade*>(XrSingleton::get_instance(XrString(L"XrCorvanelDialogFacade")));
}

int XrCorvanelDialogFacade::get_open_count(const XrString& name)
{
    int count = 0;
    open_counts().find(name, count);
    return count;
}

int XrCorvanelDialogFacade::add_open_count(const XrString& name, int delta)
{
    XrHash<XrString, int>& counts = open_counts();
    if (int* count = counts.find_ptr(name)) {
        *count += delta;
        return *count;
    }
    counts.insert(name, delta);
    return delta;
}
