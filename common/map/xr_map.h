// XrMap: the ordered stack of named layers, drawn through a map view in up
// to two passes, asked for the items under a tapped area, and the draw
// listeners told when the map window has been drawn.
#pragma once

#include <cstdint>

#include "common/container/xr_array.h"
#include "common/container/xr_ptrarray.h"
#include "common/container/xr_string.h"
#include "common/gdi/xr_palette.h"
#include "common/map/xr_layer.h"

class XrMapLayerBase;
class XrVisualSetting;

class XrMapDrawListener {
public:
    virtual ~XrMapDrawListener() = default;
    virtual void on_map_draw(XrDCHandleRec* dc, XrMapView* view) = 0;
};

// Picked items, each owned or not.
class XrMapItems {
public:
    struct XrMapItemData {
        std::uint32_t owned = 0;
        XrMapItem* data = nullptr;
    };

    XrMapItems() : items(8) {}
    ~XrMapItems() { clear(); }
    XrMapItems(const XrMapItems&) = delete;
    XrMapItems& operator=(const XrMapItems&) = delete;

    void add_item(XrMapItem* data, bool owned);
    int get_count() const { return items.get_num_items(); }
    XrMapItem* get_item(int index) const { return items.get_item_ptr(index)->data; }
    // The caller owns the item from now on.
    XrMapItem* take_item(int index);
    // Deletes the owned items and empties the list.
    void clear();

private:
    XrArray<XrMapItemData> items;
};

class XrMap {
public:
    // Draw passes.
    enum Pass { AllLayers = 0, BufferedLayers = 1, UnbufferedLayers = 2 };

    struct XrLayerInfo {
        XrLayer* layer = nullptr; // owned by the map
        XrString name;
        bool visible = true;
        bool pickable = true;
        std::uint32_t lowest_scale = 0; // 0: no bound
        std::uint32_t highest_scale = 0;
        int kind = 0;

        bool in_range(std::uint32_t scale) const
        {
            return (lowest_scale == 0 || scale >= lowest_scale) && (highest_scale == 0 || scale <= highest_scale);
        }
    };

    XrMap();
    virtual ~XrMap();
    XrMap(const XrMap&) = delete;
    XrMap& operator=(const XrMap&) = delete;

    virtual bool pick(const XrPolygon& area, XrMapView* view, XrMapItems* items);
    // first -1 means 0; end -1 or past the count means the count. Returns 0.
    virtual int draw(XrDCHandleRec* dc, XrMapView* view, int hook_arg, int pass, int first, int end);

    // False (the layer not taken) when the name is in use. position: insert
    // before that record; null or past the end appends.
    bool add_layer(XrLayer* layer, const XrString& name, const int* position = nullptr);
    // The caller owns the returned layer; null when there is none.
    XrLayer* remove_layer(const XrString& name);
    XrLayer* get_layer(const XrString& name) const;
    XrLayerInfo* get_layer_info(const XrString& name) const;
    int get_layer_index(const XrString& name) const;
    XrLayerInfo* get_layer_info_at(int index) const { return layers.get_item_ptr(index); }
    int get_layer_count() const { return layers.get_num_items(); }
    const XrString* get_layer_name(const XrLayer* layer) const;

    // The background settings must be set.
    void get_background_style(XrPenHandle& pen, XrBrushHandle& brush) const;

    void notify_draw(XrDCHandleRec* dc, XrMapView* view);
    void add_draw_listener(XrMapDrawListener* listener);
    bool remove_draw_listener(XrMapDrawListener* listener);
    int get_draw_listener_count() const { return draw_listeners.get_num_items(); }

    void add_map_layer(XrMapLayerBase* layer);
    // False when the layer is not in the list.
    bool remove_map_layer(XrMapLayerBase* layer);
    int get_map_layer_count() const { return map_layers.get_num_items(); }
    bool dispatch_map_layer_event(int kind, int x, int y, XrMapView* view);

    XrPalette& get_palette() { return palette; }
    XrVisualSetting* get_background() const { return background; }
    void set_background(XrVisualSetting* value) { background = value; }
    bool is_3d() const { return is_3d_view; }
    void set_3d(bool value) { is_3d_view = value; }
    int get_last_draw_ms() const { return last_draw_ms; }
    XrMapItems& get_picked_items() { return picked_items; }

private:
    bool takes_part(const XrLayerInfo& info, int pass, std::uint32_t scale) const;

    XrArray<XrLayerInfo> layers;
    XrPtrArray<XrMapDrawListener*> draw_listeners;
    XrMapItems picked_items;
    XrPalette palette;
    XrVisualSetting* background = nullptr;
    int last_draw_ms = 0;
    bool is_3d_view = false;
    XrPtrArray<XrMapLayerBase*> map_layers;
};
