// The one entry through which the shell, the command handler and the add-on
// bindings open the application's dialogs. Registered as
// "XrCorvanelDialogFacade"; callers look it up for every request.
//
// Every operation of this base answers that the platform has no such dialog:
// it opens nothing, logs the request (log domain "XrCorvanelDialogFacade",
// level message) and returns, so a request for a missing dialog never ends
// the program. A platform's facade overrides the dialogs it provides.
#pragma once

#include "common/base/xr_singleton.h"
#include "common/container/xr_string.h"

#include <cstdint>

template <class T>
class XrArray;
class XrCoordinate;
class XrEventloopBase;
class XrFavourite;
class XrListDlgItem;
class XrListDlgListener;
class XrNaviApp;
class XrPoint;
class XrProjection;
class XrRoadblock;
class XrService;

typedef std::uint32_t XrUInt32;

// Log domain of the facade's requests.
#define XR_DIALOG_FACADE_LOG_DOMAIN "XrCorvanelDialogFacade"

class XrCorvanelDialogFacade : public XrSingleton {
public:
    // The purpose of the address dialog; passed through to it unchanged.
    enum AddressDlgType { ADDRESS_START = 0, ADDRESS_DESTINATION = 1, ADDRESS_LOCATION = 2, ADDRESS_WAYPOINT = 3 };

    ~XrCorvanelDialogFacade() override = default;

    virtual void show_favourites_dlg(const XrNaviApp& app) const;
    virtual void show_favourites_dlg(const XrNaviApp& app, const XrFavourite& favourite) const;
    virtual void show_roadblocks_dlg() const;
    virtual void show_roadblocks_dlg(const XrRoadblock& roadblock) const;
    virtual void show_traffic_list_dlg(const XrCoordinate& coordinate) const;
    virtual void show_traffic_details_dlg(XrUInt32 id, bool* flag) const;
    virtual void show_location_details_dlg(const XrCoordinate& coordinate) const;
    virtual void show_waypoints_dlg(XrNaviApp& app) const;
    virtual void show_about_dlg() const;
    virtual void show_settings_dlg(XrNaviApp& app, int page) const;
    virtual void show_parking_dlg() const;
    virtual void show_route_details_dlg() const;
    virtual void show_services_dlg() const;
    virtual void show_service_details_dlg(XrService* service) const;
    virtual void show_gps_dlg(XrNaviApp& app) const;
    // Modal: ok tells whether a place was chosen, then point and name hold
    // it. This base sets ok to false and leaves point and name alone.
    virtual void show_address_dlg(XrString title, AddressDlgType type, XrEventloopBase* loop,
                                  XrProjection* projection, bool& ok, XrPoint& point, XrString& name,
                                  const XrPoint* reference) const;
    // Non-modal: returns at once; the choice reaches the listener.
    virtual void show_list_dlg(XrString title, XrArray<XrListDlgItem>& items, int default_icon_id,
                               XrListDlgListener* listener) const;

    // The registered facade, or null.
    static XrCorvanelDialogFacade* get_instance();

    // Process-wide counts of open dialogs by name ("Favourites" while the
    // favourites dialog is open). The count of a name never counted is 0.
    static int get_open_count(const XrString& name);
    // Adds delta to the name's count and returns the new count.
    static int add_open_count(const XrString& name, int delta);

protected:
    // Logs a request that opens nothing: "<operation>: <what>".
    static void log_unavailable(const char* operation, const char* what);
};
