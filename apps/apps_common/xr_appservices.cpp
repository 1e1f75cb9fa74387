#include "apps/apps_common/xr_appservices.h"

#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/corvanel_core/interfaces/xr_appsettingsprovider.h"
#include "common/corvanel_core/interfaces/xr_maplayerparts.h"
#include "common/corvanel_core/interfaces/xr_mapviewprovider.h"
#include "common/corvanel_core/interfaces/xr_routeprovider.h"
#include "common/gdi/window/xr_mapwindow.h"
#include "common/map/xr_routelayer.h"

namespace {

XrMapSettingsProvider* map_settings() { return xr_registered<XrMapSettingsProvider>(L"XrMapSettingsProvider"); }

XrMapProvider* map_provider() { return xr_registered<XrMapProvider>(L"XrMapProvider"); }

} // namespace

int XrAppMapEngineServices::get_text_language()
{
    XrMapSettingsProvider* settings = map_settings();
    return settings != nullptr ? settings->get_reserved_value() : 0;
}

double XrAppMapEngineServices::get_scale_factor()
{
    XrMapViewProvider* view = XrMapViewProvider::get_instance();
    return view != nullptr ? view->get_scale_factor() : XrMapEngineServices::get_scale_factor();
}

const XrProjection* XrAppMapEngineServices::get_projection()
{
    XrMapProvider* maps = map_provider();
    return maps != nullptr ? maps->find_projection() : nullptr;
}

void XrAppMapEngineServices::request_redraw()
{
    if (XrMapWindow* w = window(data))
        w->redraw(true, false, -1, -1);
}

bool XrAppMapEngineServices::has_route()
{
    XrRouteProvider* route = XrRouteProvider::get_instance();
    return route != nullptr && route->has_route();
}

int XrAppMapEngineServices::get_distance_units()
{
    XrMapSettingsProvider* settings = map_settings();
    return settings != nullptr ? settings->get_measurement_system() : 0;
}

XrAppRouteLayerSettings::~XrAppRouteLayerSettings() { detach(); }

void XrAppRouteLayerSettings::attach()
{
    detach();
    maps = map_provider();
    settings = map_settings();
    if (maps != nullptr)
        maps->add_listener(this);
    if (settings != nullptr)
        settings->add_listener(this);
}

void XrAppRouteLayerSettings::detach()
{
    // Only from providers that are still registered (the others are gone).
    if (maps != nullptr && map_provider() == maps) {
        maps->remove_listener(this);
        if (auto* poi = dynamic_cast<XrPoiLayer*>(maps->get_poi_layer()))
            poi->set_alert_settings(nullptr);
    }
    if (settings != nullptr && map_settings() == settings)
        settings->remove_listener(this);
    maps = nullptr;
    settings = nullptr;
}

void XrAppRouteLayerSettings::apply(XrMapSettingsProvider* settings, XrRouteLayer* layer)
{
    if (settings == nullptr || layer == nullptr)
        return;
    layer->update_prompt_units(settings->get_measurement_system());
    layer->set_right_hand_traffic(settings->get_right_side_traffic());
}

void XrAppRouteLayerSettings::apply_to_open_map()
{
    if (maps == nullptr || settings == nullptr)
        return;
    XrMapRouteLayer* route = maps->get_route_layer();
    auto* layer = route != nullptr ? dynamic_cast<XrRouteLayer*>(route->as_layer()) : nullptr;
    apply(settings, layer);
    auto* poi = dynamic_cast<XrPoiLayer*>(maps->get_poi_layer());
    if (poi != nullptr)
        poi->set_alert_settings(this);
    if (layer != nullptr)
        layer->set_warning_source(poi);
}

bool XrAppRouteLayerSettings::trafficcam_alert()
{
    auto* app = xr_registered<XrAppSettingsProvider>(L"XrAppSettingsProvider");
    return app != nullptr && app->get_trafficcam_alert();
}

void XrAppRouteLayerSettings::map_initialized() { apply_to_open_map(); }

void XrAppRouteLayerSettings::map_settings_changed() { apply_to_open_map(); }
