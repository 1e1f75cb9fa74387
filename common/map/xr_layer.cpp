#include "common/map/xr_layer.h"

bool XrLayer::pick(const XrPolygon&, XrMapView*, XrMapItems*) { return false; }
int XrLayer::draw_picked_item(XrDCHandleRec*, XrMapView*, const XrMapItem*) { return 0; }
int XrLayer::pre_draw(XrDCHandleRec*, XrMapView*) { return 0; }
bool XrLayer::draw(XrDCHandleRec*, XrMapView*) { return false; }
int XrLayer::post_draw(XrDCHandleRec*, XrMapView*) { return 0; }
bool XrLayer::draw_3d(XrDCHandleRec*, XrMapView*) { return false; }

XrLayer* xr_item_layer(const XrMapItem* item)
{
    const auto* own = dynamic_cast<const XrLayerMapItem*>(item);
    return own != nullptr ? own->layer : nullptr;
}

