// The map provider: opens the card's map folder ("?:\mapdata\") and owns what
// is drawn from it. A failed opening leaves no map open ("no map" is a state
// every caller can work with); select_map switches between installed maps.
#pragma once

#include <memory>

#include "common/container/xr_array.h"
#include "common/container/xr_ptrarray.h"
#include "common/corvanel_core/interfaces/xr_maplayerparts.h"
#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/corvanel_core/interfaces/xr_positionmap.h"

class XrAudioPlayer;
class XrConfiguration;
class XrEventloopBase;
class XrMapConfigContext;
class XrMemoryNotifier;
class XrPoiLayerClient;
class XrPalette;
class XrSignpostAccessor;
class XrStorageConfiguration;
class XrVisualSetting;

// Reads the "themes" section of a visual setting for a theme into the map's
// palette; by default XrVisualSetting::read_themes (null restores that).
typedef bool (*XrThemeReader)(XrVisualSetting* setting, int theme, XrPalette& palette, XrConfiguration& config);
void xr_set_theme_reader(XrThemeReader reader);

class XrMapProviderImpl : public XrMapProvider, public XrPositionMap {
public:
    static constexpr int BLOCK_CACHE_BUDGET = 4194304;
    static constexpr int MAX_LANGUAGE_FILE = 512;

    XrMapProviderImpl();
    ~XrMapProviderImpl() override;
    XrMapProviderImpl(const XrMapProviderImpl&) = delete;
    XrMapProviderImpl& operator=(const XrMapProviderImpl&) = delete;

    // The maker of the route and overlay layers of every map opened from
    // now on (not owned); without one, maps open without them.
    void set_layer_maker(XrMapLayerMaker* maker) { layer_maker = maker; }

    // Stores the four (not owned; event_loop required) and opens the map.
    bool initialize(XrEventloopBase* event_loop, XrAudioPlayer* audio_player, XrPoiLayerClient* poi_layer_client,
                    XrMemoryNotifier* memory_notifier);
    // Opens the map folder; on any failure everything opened so far is
    // closed again and false returned.
    bool open_map();
    // Tells the listeners, then tears the map down; nothing without a map.
    void close_map();
    bool prepare_layers();

    // XrMapProvider
    XrProjection* get_projection() override { return projection.get(); }
    XrAddrAccessor* get_addr_accessor() override { return addr_accessor.get(); }
    XrArray<XrString>* create_country_list() override;
    XrString get_map_name() override;
    bool select_map(int index) override;
    XrLayer* get_road_layer() override;
    XrLayer* get_sm_layer() override;
    XrMapRouteLayer* get_route_layer() override { return route_layer; }
    XrLayer* get_poi_layer() override { return poi_layer; }
    XrMapOverlayLayer* get_overlay_layer() override { return overlay_layer; }
    XrMap* get_map() override { return map.get(); }
    void tick_block_cache(bool light) override;
    XrStoredGeomStorage::XrBlockCache* get_block_cache() override { return &block_cache; }
    bool set_theme(int theme) override;
    bool get_projection_name(XrString& out) override;
    bool get_address_filter(XrArray<XrString>& out) override;
    bool are_country_names_included() override;
    XrSimpleGeomStorage* get_pb_storage() override { return pb_storage.get(); }
    XrSimpleGeomStorage* get_pc_storage() override { return pc_storage.get(); }
    XrGeomStorage* get_road_geometry() override;
    void get_map_languages(XrArray<XrLC>& out) override;
    void reload_layer_settings() override;
    XrProjection* find_projection() override { return projection.get(); }
    // The GUID of the active installed map's "version.txt".
    bool get_map_id(XrString& out) override;

    // XrPositionMap
    bool has_map() override { return map != nullptr; }
    void add_draw_listener(XrMapDrawListener* listener) override;
    bool remove_draw_listener(XrMapDrawListener* listener) override;

    // The map static configuration ("?:/kestrova/maemo.reg"); null when it
    // cannot be opened. The caller deletes it.
    static XrStorageConfiguration* open_map_static_conf();

private:
    bool find_projection_name(XrString& out);
    bool open_map_steps();
    // The voice folder, the hands-free flag and the volume.
    void apply_voice_settings(bool folder);
    void release_map();
    // The card folder that holds the installed maps.
    static XrString maps_folder();

    std::unique_ptr<XrAddrAccessor> addr_accessor;
    std::unique_ptr<XrMap> map;
    // The route and overlay layers; owned here until added to the map.
    XrMapRouteLayer* route_layer = nullptr;
    std::unique_ptr<XrLayer> route_layer_owned;
    XrLayer* poi_layer = nullptr;
    XrMapOverlayLayer* overlay_layer = nullptr;
    std::unique_ptr<XrLayer> overlay_layer_owned;
    XrMapLayerMaker* layer_maker = nullptr;
    std::unique_ptr<XrMapConfigContext> context;
    XrStoredGeomStorage::XrBlockCache block_cache{BLOCK_CACHE_BUDGET};
    std::unique_ptr<XrSimpleGeomStorage> pc_storage;
    std::unique_ptr<XrSimpleGeomStorage> pb_storage;
    // The map's signpost reader (borrowed from the route layer, which owns
    // it; owned here only when the map has no route layer); null without.
    XrSignpostAccessor* signposts = nullptr;
    std::unique_ptr<XrSignpostAccessor> signposts_owned;
    XrString projection_name;
    XrEventloopBase* event_loop = nullptr;
    XrAudioPlayer* audio_player = nullptr;
    XrPoiLayerClient* poi_layer_client = nullptr;
    XrMemoryNotifier* memory_notifier = nullptr;
    XrArray<XrLC> languages{8, 8};
    std::unique_ptr<XrProjection> projection;
    // Draw listeners, given to every map that is opened.
    XrPtrArray<XrMapDrawListener*> draw_listeners{8};
};
