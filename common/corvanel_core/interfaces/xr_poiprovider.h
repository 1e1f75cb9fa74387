// The POI classes ("XrPoiProvider"): the static classes of the map's class
// catalogue and one dynamic class per POI set below the map's "poi" folder,
// each with the user's visibility and proximity-alert distance.
#pragma once

#include "common/base/xr_singleton.h"
#include "common/container/xr_array.h"
#include "common/container/xr_string.h"
#include "common/corvanel_core/interfaces/xr_mappoint.h"
#include "common/corvanel_core/interfaces/xr_settingsprovider.h"
#include "common/types/xr_distance.h"

struct XrPoiLayerIconSet;

class XrPoiListener {
public:
    virtual ~XrPoiListener() = default;
    virtual void poi_settings_changed() = 0;
};

class XrPoiProvider : public XrSettingsProvider, public XrObservable<XrPoiListener> {
public:
    // One dynamic set that could not be loaded.
    struct XrDynPoiFailedResult {
        enum Reason : int { VersionTooNew = 0, Unreadable = 1 };
        XrString file;
        int reason = Unreadable;
        XrString detail;
    };

    ~XrPoiProvider() override = default;

    bool save(bool silent) override { return save_poi_settings(silent); }

    // Writes "poi_settings.txt", pushes the layer's class table and, unless
    // silent, tells the listeners; false when the file cannot be written.
    virtual bool save_poi_settings(bool silent) = 0;
    virtual void initialize() = 0;
    virtual void unload_dynamic_pois() = 0;
    // Loads the dynamic sets again; the failures, owned by the caller.
    virtual XrArray<XrDynPoiFailedResult>* reload_extensions() = 0;
    virtual void reload_bitmaps(XrPoiLayerIconSet& set) = 0;
    // Every class, sorted by name.
    virtual XrArray<XrPoiSettings*>& get_poi_settings() = 0;
    virtual void set_visible_poi_classes(const XrArray<int>& ids) = 0;
    // False for an id that is not in the catalogue.
    virtual bool set_poi_class_proximity_alert(int class_id, const XrDistance& distance) = 0;
    virtual bool set_poi_class_visibility(int class_id, bool visible) = 0;
    virtual void load_poi_bitmaps() = 0;
    virtual void release_dynamic_bitmaps() = 0;
};
