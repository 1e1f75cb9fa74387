// XrGeomLayer: draws the geometry records of its storage (symbols, lines,
// areas, texts) styled by a visual setting, answers picks and highlights a
// picked record. The base of the label, POI, map text and road number layers.
#pragma once

#include "common/container/xr_array.h"
#include "common/db/xr_aggregategeomstorage.h"
#include "common/gdi/xr_gdi.h"
#include "common/map/xr_layer.h"

class XrMap;
class XrVisualSetting;

class XrGeomLayer : public XrLayer {
public:
    // Style type "none" for the style caches of a sweep.
    static constexpr int NO_STYLE = -1;

    XrGeomLayer(XrMap* map, XrVisualSetting* visual_setting, bool owns_visual_setting);
    ~XrGeomLayer() override;

    bool pick(const XrPolygon& area, XrMapView* view, XrMapItems* items) override;
    int draw_picked_item(XrDCHandleRec* dc, XrMapView* view, const XrMapItem* item) override;
    int pre_draw(XrDCHandleRec* dc, XrMapView* view) override;
    bool draw(XrDCHandleRec* dc, XrMapView* view) override;
    int post_draw(XrDCHandleRec* dc, XrMapView* view) override;
    // The drawing follows the map's 3D flag.
    bool draw_3d(XrDCHandleRec* dc, XrMapView* view) override;

    // The union of the member storages' boxes.
    XrRectangle get_bounding_box();
    XrAggregateGeomStorage* get_storage() { return &storage; }
    XrVisualSetting* get_visual_setting() const { return visual_setting; }
    XrMap* get_map() const { return map; }

    // Drawing options, in pixels and flags; the saved copies keep the
    // configured values.
    void set_outline_polygons(bool value) { outline_polygons = value; }
    void set_lines_in_2phases(bool value) { lines_in_2phases = value; }
    void set_tolerances(int polygon, int polyline)
    {
        polygon_tolerance = polygon;
        polyline_tolerance = polyline;
    }
    bool get_outline_polygons() const { return outline_polygons; }
    bool get_lines_in_2phases() const { return lines_in_2phases; }
    int get_polygon_tolerance() const { return polygon_tolerance; }
    int get_polyline_tolerance() const { return polyline_tolerance; }
    // Copies the current options into the saved ones, and back.
    void save_options();
    void restore_options();
    int get_saved_polygon_tolerance() const { return saved_polygon_tolerance; }
    int get_saved_polyline_tolerance() const { return saved_polyline_tolerance; }
    bool get_saved_outline_polygons() const { return saved_outline_polygons; }
    bool get_saved_lines_in_2phases() const { return saved_lines_in_2phases; }

    // A tolerance in pixels as world units for a view span shown on a
    // screen width (64-bit: wide views do not wrap).
    static int tolerance_to_world(int pixels, int world_width, int screen_width);

protected:
    // Whether the layer's map is shown in 3D.
    bool map_is_3d(XrMapView* view) const;
    // The shared point and ring lists of the drawing layers (reused, never
    // shrunk: drawing allocates nothing per record).
    static XrArray<XrPoint>& scratch_points();
    static XrArray<int>& scratch_ring_sizes();

    XrMap* map;
    XrAggregateGeomStorage storage;
    bool owns_visual_setting;
    XrVisualSetting* visual_setting;
    int polygon_tolerance = 0;
    int polyline_tolerance = 7;
    int saved_polygon_tolerance = 0;
    int saved_polyline_tolerance = 7;
    bool outline_polygons = true;
    bool saved_outline_polygons = true;
    bool lines_in_2phases = false;
    bool saved_lines_in_2phases = false;

private:
    struct XrSweep;
    void sweep(XrSweep& s, XrMapView* view, int phase);
    void draw_symbol(XrSweep& s, XrGeomCursor* cursor, const BYTE* record, XrMapView* view);
    void draw_polyline(XrSweep& s, XrGeomCursor* cursor, const BYTE* record, XrMapView* view, int phase);
    void draw_polygon(XrSweep& s, XrGeomCursor* cursor, const BYTE* record, XrMapView* view);
    void draw_polygon_3d(XrSweep& s, XrMapView* view, int count);
    void draw_text(XrSweep& s, XrGeomCursor* cursor, const BYTE* record, XrMapView* view);
};
