// Layers of placed objects: kept in the map's second list, drawn after all
// layers in every pass and offered pointer events first.
#pragma once

class XrMapView;
struct XrDCHandleRec;

class XrMapLayer {
public:
    virtual ~XrMapLayer() = default;
    virtual void draw(XrDCHandleRec* dc, XrMapView* view) = 0;
    // True when the layer took the event.
    virtual bool handle_event(int kind, int x, int y, XrMapView* view) = 0;
};
