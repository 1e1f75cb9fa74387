// The POI classes of the open map: the static classes of "poi.reg", one
// dynamic class per POI set below the map's "poi" folder, the user's
// visibility and alert distances in "poi_settings.txt", the class icons, and
// the class table of the map's POI layer.
#pragma once

#include <memory>

#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/corvanel_core/interfaces/xr_poiprovider.h"
#include "common/map/xr_poilayer.h"

class XrExtensionHandler;
class XrStorageConfiguration;

class XrPoiProviderImpl : public XrPoiProvider, public XrMapListener {
public:
    static constexpr const TCHAR* CATALOGUE_PATH = L"?:\\mapdata\\poi.reg";
    static constexpr const TCHAR* SETTINGS_PATH = L"?:\\mapdata\\poi_settings.txt";
    static constexpr const TCHAR* EXTENSIONS_PATH = L"?:\\extensions";
    // The standard icon strips (small, normal, large) and class 94's bitmaps.
    static constexpr unsigned int SMALL_STRIP = 0x49A7006B;
    static constexpr unsigned int NORMAL_STRIP = 0x49A70069;
    static constexpr unsigned int LARGE_STRIP = 0x49A7006E;
    static constexpr unsigned int CLASS94_SMALL = 0x49A70073;
    static constexpr unsigned int CLASS94_NORMAL = 0x49A70071;
    static constexpr unsigned int CLASS94_LARGE = 0x49A70072;
    static constexpr int CLASS_WITH_OWN_BITMAPS = 94;
    static constexpr int ALWAYS_SHOWN_CLASS = 69;
    static constexpr int STANDARD_ICON = 62;
    static constexpr int FIRST_DYNAMIC_CLASS = 1000;

    // root: the resolved dynamic-POI folder; handler installs partner
    // extension files (may be null).
    XrPoiProviderImpl(const XrString& root, XrExtensionHandler* handler);
    ~XrPoiProviderImpl() override;
    XrPoiProviderImpl(const XrPoiProviderImpl&) = delete;
    XrPoiProviderImpl& operator=(const XrPoiProviderImpl&) = delete;

    bool save_poi_settings(bool silent) override;
    void initialize() override;
    void unload_dynamic_pois() override;
    XrArray<XrDynPoiFailedResult>* reload_extensions() override;
    void reload_bitmaps(XrPoiLayerIconSet& set) override;
    XrArray<XrPoiSettings*>& get_poi_settings() override { return classes; }
    void set_visible_poi_classes(const XrArray<int>& ids) override;
    bool set_poi_class_proximity_alert(int class_id, const XrDistance& distance) override;
    bool set_poi_class_visibility(int class_id, bool visible) override;
    void load_poi_bitmaps() override;
    void release_dynamic_bitmaps() override;

    void map_initialized() override;
    void map_closing() override;

    // The failures of the last initialize (owned by the provider).
    const XrArray<XrDynPoiFailedResult>* get_failed_results() const { return failed.get(); }
    // The POI layer's class-table value of a class: -1 hidden, 1 shown
    // without alert, else the alert distance in whole metres (at least 2).
    static int layer_value(const XrPoiSettings& settings);
    // Parses a "visible,alert" value; false when unreadable.
    static bool parse_visibility(const XrString& value, bool& visible, XrDistance& alert);

private:
    struct SavedVisibility;

    void clear();
    XrPoiSettings* find_class(int class_id);
    void load_dynamic_sets(const SavedVisibility& saved);
    void load_set(const XrString& folder, const XrString& file, const SavedVisibility& saved);
    void sort_classes();
    void set_poi_layer_visibilities();
    int standard_icon_count();
    std::unique_ptr<XrStorageConfiguration> open_settings();

    XrString root;
    XrArray<XrPoiSettings*> classes{50};
    bool default_visible = true;
    int next_dynamic_class = 0;
    XrPoiLayer* poi_layer = nullptr;
    XrExtensionHandler* extension_handler;
    XrArray<XrPoiLayerIconSet> icon_sets{8, 8};
    XrArray<unsigned int> poi_bm_ids{8, 8};
    int dynamic_serial = 0;
    std::unique_ptr<XrArray<XrDynPoiFailedResult>> failed;
};
