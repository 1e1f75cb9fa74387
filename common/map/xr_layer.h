// XrLayer: the base of every map layer, and the picked item that remembers
// which layer produced it.
#pragma once

#include "common/base/xr_memorynotifier.h"
#include "common/db/xr_geomstorage.h"
#include "common/symbol/xr_drawablesymbol.h" // reset_draw_state

class XrMapView;
class XrMapItems;
class XrPolygon;
struct XrDCHandleRec;

class XrLayer : public XrMemoryNotifierClient {
public:
    XrLayer() = default;
    ~XrLayer() override = default;

    // Called on low memory; layers with caches override it.
    void free_memory() override {}
    // True when the drawing depends only on the view (kept in the back buffer).
    virtual bool is_double_bufferable() const { return double_bufferable; }
    // Appends what lies in the area to items; false ends the whole pick.
    virtual bool pick(const XrPolygon& area, XrMapView* view, XrMapItems* items);
    virtual int draw_picked_item(XrDCHandleRec* dc, XrMapView* view, const XrMapItem* item);
    // 1 when the layer painted the whole background itself.
    virtual int pre_draw(XrDCHandleRec* dc, XrMapView* view);
    virtual bool draw(XrDCHandleRec* dc, XrMapView* view);
    virtual int post_draw(XrDCHandleRec* dc, XrMapView* view);
    virtual bool draw_3d(XrDCHandleRec* dc, XrMapView* view);

    void set_double_bufferable(bool value) { double_bufferable = value; }

protected:
    bool double_bufferable = false;
};

// A picked item: the layer that produced it and the storage's own item
// (owned), which the layer hands back to its cursor.
class XrLayerMapItem : public XrMapItem {
public:
    XrLayerMapItem(XrLayer* layer, XrMapItem* inner) : layer(layer), inner(inner) {}
    ~XrLayerMapItem() override { delete inner; }
    bool get_id_string(XrString& out) const override { return inner != nullptr && inner->get_id_string(out); }

    XrLayer* layer;
    XrMapItem* inner;
};

// The layer that produced an item; null for an item without one.
XrLayer* xr_item_layer(const XrMapItem* item);

