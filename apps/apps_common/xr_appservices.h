// What the application answers the map engine from the registered
// providers, and how the map settings reach the map's route layer.
#pragma once

#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/corvanel_core/interfaces/xr_mapsettingsprovider.h"
#include "common/map/xr_mapservices.h"
#include "common/map/xr_poilayer.h"

class XrMapWindow;
class XrRouteLayer;

// The map engine's services over the providers, each looked up by its
// registry name at the moment of the question; a provider that is not
// registered gives the engine's default answer.
class XrAppMapEngineServices : public XrMapEngineServices {
public:
    // window(data) is the main map window, or null.
    XrAppMapEngineServices(XrMapWindow* (*window)(void*), void* data) : window(window), data(data) {}

    // The map settings' text language.
    int get_text_language() override;
    // The map-view provider's display scale factor.
    double get_scale_factor() override;
    // The map provider's projection; null while no map is open.
    const XrProjection* get_projection() override;
    // A queued full redraw of the main map window.
    void request_redraw() override;
    // Whether the route provider holds a route.
    bool has_route() override;
    // The map settings' unit system.
    int get_distance_units() override;

private:
    XrMapWindow* (*window)(void*);
    void* data;
};

// Hands the map settings' unit system and driving side to the route layer
// of the open map: when a map has been opened (after the map settings have
// read the map's file: it listens after them) and whenever the map settings
// change. It also makes the map's POI layer the route layer's warning source
// and answers the POI layer's camera-alert setting from the application
// settings.
class XrAppRouteLayerSettings : public XrMapListener, public XrMapSettingsListener, public XrPoiAlertSettings {
public:
    XrAppRouteLayerSettings() = default;
    // Leaves the providers it still listens to.
    ~XrAppRouteLayerSettings() override;
    XrAppRouteLayerSettings(const XrAppRouteLayerSettings&) = delete;
    XrAppRouteLayerSettings& operator=(const XrAppRouteLayerSettings&) = delete;

    // Listens to the registered map provider and map settings provider.
    void attach();
    void detach();

    // The settings to the route layer; nothing without either.
    static void apply(XrMapSettingsProvider* settings, XrRouteLayer* layer);

    // XrMapListener
    void map_initialized() override;
    void map_closing() override {}
    // XrMapSettingsListener
    void map_settings_changed() override;
    // XrPoiAlertSettings: the application setting "trafficcam_alert".
    bool trafficcam_alert() override;

private:
    void apply_to_open_map();

    XrMapProvider* maps = nullptr;
    XrMapSettingsProvider* settings = nullptr;
};
