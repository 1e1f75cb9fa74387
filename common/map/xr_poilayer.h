// XrPoiLayer: points of interest drawn as icons from icon strips, picked by
// taps, the note bubble of a tapped POI, and the proximity alerts that the
// route guidance asks for. Its storage holds text records (position, POI
// type, text "<attributes>name\tsecond\tthird").
#pragma once

#include <cstdint>
#include <vector>

#include "common/bmloader/xr_bitmap.h"
#include "common/container/xr_string.h"
#include "common/map/xr_geomlayer.h"

// One icon set: the POI types it covers and its three icon strips (each a
// row of square icons, icon n at x = n x height).
struct XrPoiLayerIconSet {
    static constexpr unsigned int PRIVATE_ID = 0xFFFFFFFF;

    int kind = 0; // 1 and 2 the built-in sets
    int reserved = 0;
    XrGeomStorage* storage = nullptr; // null: any storage
    bool storage_owned = false;
    XrBitmapHandleRec* large = nullptr;
    XrBitmapHandleRec* large_mask = nullptr;
    XrBitmapHandleRec* medium = nullptr;
    XrBitmapHandleRec* medium_mask = nullptr;
    XrBitmapHandleRec* small = nullptr;
    XrBitmapHandleRec* small_mask = nullptr;
    int large_height = -1;
    int medium_height = -1;
    int small_height = -1;
    int first_type = 0;
    int count = 0;
    int type_shift = 0; // 1000 or more: the medium strip is drawn
    int mode = 0;       // 0 by position, 1 icon 62 with borrowed handles, 2 handles never released
    unsigned int small_id = PRIVATE_ID;
    unsigned int medium_id = PRIVATE_ID;
    unsigned int large_id = PRIVATE_ID;

    // The seven identity fields.
    bool same_set(const XrPoiLayerIconSet& o) const
    {
        return kind == o.kind && reserved == o.reserved && storage == o.storage && first_type == o.first_type &&
               count == o.count && type_shift == o.type_shift && mode == o.mode;
    }
};

class XrPoiLayerClient {
public:
    virtual ~XrPoiLayerClient() = default;
    // The rectangles of the note last drawn (null: none).
    virtual void set_note_rects(const XrRectangle* icon, const XrRectangle* note) = 0;
    // Fills in the handles and ids of a set.
    virtual void load_icon_set(XrPoiLayerIconSet& set) = 0;
};

// Whether traffic-camera alerts are on (the application setting
// "trafficcam_alert").
class XrPoiAlertSettings {
public:
    virtual ~XrPoiAlertSettings() = default;
    virtual bool trafficcam_alert() = 0;
};

class XrProximityAlerter {
public:
    virtual ~XrProximityAlerter() = default;
    virtual bool get_proximity_alert(const XrPoint* position, double speed, int heading, XrString& text,
                                     XrString& sound, bool special) = 0;
    virtual bool get_alert_icon(XrBitmapHandleRec*& bitmap, XrBitmapHandleRec*& mask, int& offset, int& width,
                                int& height) = 0;
};

struct XrPoiAlertRecord {
    int x = 0;
    int y = 0;
    int radius = 0;
    int type_key = 0;
};

class XrPoiLayer : public XrGeomLayer, public XrProximityAlerter {
public:
    static constexpr unsigned int NOTE_SYMBOL_ID = 0x49A70068;
    static constexpr unsigned int DOT_ID = 0x49A7006D;
    static constexpr int LARGE_ICON_SCALE = 5000;
    static constexpr int SMALL_ICON_SCALE = 20000;
    static constexpr int ALERT_SEARCH_RADIUS = 1000;
    static constexpr int NOTE_MAX_CHARS = 1000;

    XrPoiLayer(XrMap* map, XrVisualSetting* visual_setting, bool owns_visual_setting);
    ~XrPoiLayer() override;
    XrPoiLayer(const XrPoiLayer&) = delete;
    XrPoiLayer& operator=(const XrPoiLayer&) = delete;

    void free_memory() override;
    bool draw(XrDCHandleRec* dc, XrMapView* view) override;
    bool draw_3d(XrDCHandleRec* dc, XrMapView* view) override { return draw(dc, view); }
    bool pick(const XrPolygon& area, XrMapView* view, XrMapItems* items) override;
    int draw_picked_item(XrDCHandleRec* dc, XrMapView* view, const XrMapItem* item) override;

    bool get_proximity_alert(const XrPoint* position, double speed, int heading, XrString& text, XrString& sound,
                             bool special) override;
    bool get_alert_icon(XrBitmapHandleRec*& bitmap, XrBitmapHandleRec*& mask, int& offset, int& width,
                        int& height) override;

    void set_client(XrPoiLayerClient* value) { client = value; }
    void set_alert_settings(XrPoiAlertSettings* value) { alert_settings = value; }
    // Type key -> below 1 hidden, 1 shown, 3 or more alert distance.
    void set_visibility(int type_key, int value);
    void clear_visibility();
    bool get_visibility(int type_key, int& value) const;

    void add_icon_set(const XrPoiLayerIconSet& set, bool make_current);
    void remove_icon_set(const XrPoiLayerIconSet& set);
    XrPoiLayerIconSet* find_icon_set(const XrGeomStorage* storage, int type, bool shifted);
    int get_icon_set_count() const { return static_cast<int>(icon_sets.size()); }
    const XrPoiLayerIconSet* get_current_icon_set() const
    {
        return current_index >= 0 && current_index < static_cast<int>(icon_sets.size())
                   ? &icon_sets[static_cast<size_t>(current_index)]
                   : nullptr;
    }
    bool get_poi_icon(int type_key, int size, XrBitmapHandleRec*& bitmap, XrBitmapHandleRec*& mask, int& offset,
                      int& width, int& height);
    // The icon side of a POI of a type key at a scale: 32, 16 or 8 (the dot).
    static int size_class(int type_key, std::uint32_t scale);
    int get_alerted_count() const { return static_cast<int>(alerted.size()); }
    bool icons_are_loaded() const { return icons_loaded; }

    static bool parse_poi_attributes(const wchar_t* text, double& speed_limit, int& angle, int& kind,
                                     const wchar_t** rest);
    static bool split_poi_name(const wchar_t* text, XrString& name, XrString& second);
    static bool get_poi_third_field(const wchar_t* text, XrString& third);

private:
    void load_icons();
    void release_icons();
    static int icon_index(const XrPoiLayerIconSet& set, int type);
    static int strip_height(XrBitmapHandleRec* strip, int& cached);

    std::vector<std::pair<int, int>> visibility;
    XrPoiLayerClient* client = nullptr;
    XrPoiAlertSettings* alert_settings = nullptr;
    int current_index = -1;
    bool icons_loaded = false;
    std::vector<XrPoiLayerIconSet> icon_sets;
    std::vector<XrPoiAlertRecord> alerted;
    XrBitmap dot;
    XrBitmap note_symbol;
};

// Registers the configured layer kind "poi".
void register_poi_layer_kind();
