// The map configuration reader: loads the symbol libraries and visual
// settings of a map, picks its background and creates its layers from the
// layer definitions (sorted by "number") with their geometry storages.
//
// Layer kinds: 0 "geom", 1 "linelabel", 2 "poi", 3 "maptxt", 4
// "roadnumber". A kind is created by the factory registered for it
// (register_configured_layer_kind); a kind without one gets a plain
// geometry layer, so that its data is still drawn.
#pragma once

#include "common/config/xr_configuration.h"
#include "common/container/xr_array.h"
#include "common/container/xr_hash.h"
#include "common/container/xr_ptrarray.h"
#include "common/container/xr_string.h"

class XrGeomLayer;
class XrLayer;
class XrMap;
class XrMemoryNotifier;
class XrPoiLayerClient;
class XrSymbolLibrary;
class XrVisualSetting;

enum XrLayerKind {
    LayerGeom = 0,
    LayerLineLabel = 1,
    LayerPoi = 2,
    LayerMapText = 3,
    LayerRoadNumber = 4,
    LayerKindCount = 5,
};

// Results of read_map_configuration.
enum XrMapConfigResult {
    MapConfigOk = 0,
    MapConfigFailed = 1,
    // Read, but some layer files were missing or unusable (the layers are
    // there without those storages; the files are in missing_files).
    MapConfigMissingFiles = 2,
};

// Visual settings by name, owned.
class XrVisualSettingTable : public XrHash<XrString, XrVisualSetting*> {
public:
    XrVisualSettingTable() : XrHash<XrString, XrVisualSetting*>(16, false, 80) {}
    ~XrVisualSettingTable() override { clear(); }

protected:
    void free_item(XrString* key, XrVisualSetting** value) override;
};

// What the map provider hands the reader and the reader fills; owns the
// symbol libraries and visual settings (the layers point into them).
class XrMapConfigContext {
public:
    XrMapConfigContext() : symbol_libraries(8), missing_files(4) {}
    ~XrMapConfigContext();
    XrMapConfigContext(const XrMapConfigContext&) = delete;
    XrMapConfigContext& operator=(const XrMapConfigContext&) = delete;

    XrPtrArray<XrSymbolLibrary*> symbol_libraries; // entry 0 is null
    XrVisualSettingTable visual_settings;
    XrString vector_directory;
    XrMemoryNotifier* notifier = nullptr; // may be null
    int poi_value = 0;                    // handed to POI layers
    XrPoiLayerClient* poi_client = nullptr; // the client of every POI layer made
    XrArray<XrString> missing_files;      // layer files that could not be used
};

// A layer kind's constructor: the configuration's current key is the layer
// definition (for the kind's own keys).
typedef XrGeomLayer* (*XrConfiguredLayerFactory)(XrMap* map, XrVisualSetting* visual_setting,
                                                 XrConfiguration& config, XrMapConfigContext& context);
// Registers (or with null removes) the factory of a kind.
void register_configured_layer_kind(int kind, XrConfiguredLayerFactory factory);

// One layer definition.
struct XrCfgLayerInfo {
    int number = 0;
    XrLayer* layer = nullptr; // owned until applied
    XrString name;
    bool visible = true;
    bool pickable = true;
    int visibility_low = 0;
    int visibility_high = 0;
    int kind = 0;
    ~XrCfgLayerInfo();
};

// Reads below the configuration's current key (which is current again
// afterwards). resource_key null means "resource".
int read_map_configuration(XrMap* map, XrConfiguration* config, XrMapConfigContext& context,
                           const XrString* resource_key);
int read_visual_settings(XrConfiguration& config, XrMapConfigContext& context, XrMap* map);
// Null when the definition is skipped.
XrCfgLayerInfo* read_layer_definition(XrMap* map, XrConfiguration& config, XrMapConfigContext& context,
                                      const XrString& key, const XrString* resource_key);
XrLayer* create_configured_layer(XrMap* map, XrConfiguration& config, XrMapConfigContext& context,
                                 const XrString& key, int kind, const XrString* resource_key);
// Re-reads one layer definition below the configuration's current key;
// the old layer stays until the new one has been read. 0 on success, 1
// when the map has no such layer or the definition gives none.
int reload_layer(XrMap* map, const XrString& name, XrConfiguration* config, XrMapConfigContext& context,
                 const XrString* resource_key);
