// Shapes placed on the map by add-ons: a filled disc, a line and a filled
// area, each with a fill colour, an optional outline and clickable areas.
#pragma once

#include <memory>
#include <vector>

#include "common/container/xr_array.h"
#include "common/gdi/xr_gdi.h"
#include "common/geometry/xr_point.h"
#include "common/map/xr_actionarea.h"
#include "common/types/xr_coordinate.h"

class XrMapView;
class XrProjection;

// The context of an object's areas: runs the action bound to an area id.
class XrMapObjectActionContext : public XrMapActionAreaContext {
public:
    // True when the tap was handled; false lets later areas try.
    virtual bool run_action(int kind, int id, const XrCoordinate& position) = 0;
};

class XrMapObject {
public:
    XrMapObject(const XrMapObject&) = delete;
    XrMapObject& operator=(const XrMapObject&) = delete;
    virtual ~XrMapObject();

    // The first point, or (0, 0) without points.
    virtual XrPoint get_point() const;
    virtual void draw(XrDCHandleRec* dc, XrMapView* view) = 0;
    void add_action_area(const XrCoordinate& a, const XrCoordinate& b, int id, XrMapObjectActionContext* context);
    void add_hot_spot(const XrCoordinate& c, int radius, int id, XrMapObjectActionContext* context);
    void add_screen_rect(const XrRectangle& r, int id, XrMapObjectActionContext* context);
    void clear_areas() { areas.clear(); }
    void set_color(int r, int g, int b) { fill = XrGDI::rgb(r, g, b); }
    void set_outline(int width, int r, int g, int b);
    // Offers the screen point to the areas in order; true at the first
    // whose action takes it.
    bool handle_tap(int kind, int x, int y, XrMapView* view);

    bool add_coordinate(const XrCoordinate& c);
    void clear_points() { points.remove_all(); }

    const XrArray<XrPoint>& get_points() const { return points; }
    int get_area_count() const { return static_cast<int>(areas.size()); }
    XrColorHandle get_fill() const { return fill; }
    int get_outline_width() const { return outline_width; }
    int get_size() const { return size; }

protected:
    XrMapObject();
    void append_points(const XrPoint* p, int count);
    void append_coordinates(const XrCoordinate* c, int count);
    // The points on the screen; empty without points.
    std::vector<XrPoint> screen_points(XrMapView* view) const;

    XrArray<XrPoint> points;
    const XrProjection* projection = nullptr;
    XrColorHandle fill = 0;
    XrColorHandle outline = 0;
    int outline_width = 0;
    int size = 0;

private:
    struct Area {
        std::unique_ptr<XrAreaBase> shape;
        int id;
        XrMapObjectActionContext* context;
    };
    std::vector<Area> areas;
};

// A disc of size pixels radius around the first point.
class XrMapPointObject : public XrMapObject {
public:
    XrMapPointObject(const XrPoint& point, int radius, int r, int g, int b);
    XrMapPointObject(const XrCoordinate& position, int radius, int r, int g, int b);
    void draw(XrDCHandleRec* dc, XrMapView* view) override;
};

// A line of size pixels width.
class XrMapPolyline : public XrMapObject {
public:
    XrMapPolyline(int width, int r, int g, int b);
    XrMapPolyline(const XrPoint* points, int count, int width, int r, int g, int b);
    XrMapPolyline(const XrCoordinate* coordinates, int count, int width, int r, int g, int b);
    void draw(XrDCHandleRec* dc, XrMapView* view) override;
};

class XrMapPolygon : public XrMapObject {
public:
    XrMapPolygon(const XrPoint* points, int count, int r, int g, int b);
    XrMapPolygon(const XrCoordinate* coordinates, int count, int r, int g, int b);
    void draw(XrDCHandleRec* dc, XrMapView* view) override;
};
