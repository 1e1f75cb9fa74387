// The map-view provider: drives the application's map view. It centres and
// scales the view, restores the saved view when a map opens, collects the
// visible items of the "poi" layer in display order (rows top to bottom,
// then left to right), answers hit tests with map points, keeps one
// highlighted point and the user's cursor coordinate.
#pragma once

#include <memory>

#include "common/corvanel_core/interfaces/xr_appsettingsprovider.h"
#include "common/corvanel_core/interfaces/xr_favouritesprovider.h"
#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/corvanel_core/interfaces/xr_mapsettingsprovider.h"
#include "common/corvanel_core/interfaces/xr_mapviewprovider.h"
#include "common/corvanel_core/interfaces/xr_parkingprovider.h"
#include "common/corvanel_core/interfaces/xr_poiprovider.h"
#include "common/corvanel_core/interfaces/xr_roadblocksprovider.h"
#include "common/map/xr_map.h"

class XrGeomCursor;
class XrGeomLayer;

// What the map-view provider needs of the application object: redraws of
// the map window, holding back the automatic following of the vehicle and
// the scale change about a point.
class XrMapViewHost {
public:
    virtual ~XrMapViewHost() = default;
    // immediate: redraw the whole area now; else queue a redraw.
    virtual void redraw_map(bool immediate) = 0;
    // Holds back automatic centring and scaling for the given milliseconds.
    virtual void suspend_auto_follow(int centring_ms, int scaling_ms) = 0;
    virtual void set_map_scale(const XrPoint& centre, int scale) = 0;
};

// A point moved ahead of the view: in the flat view below scale 250000, by a
// quarter of the screen height in world units towards rotation + 90 degrees.
XrPoint xr_move_point_ahead(const XrMapView& view, const XrPoint& point);

class XrMapViewProviderImpl : public XrMapViewProvider,
                              public XrAppSettingsListener,
                              public XrMapSettingsListener,
                              public XrPoiListener,
                              public XrFavouritesListener,
                              public XrParkingListener,
                              public XrRoadblocksListener,
                              public XrMapListener {
public:
    static constexpr int DETAIL_SCALE = 6250;
    static constexpr int FOLLOW_PAUSE_MS = 15000;
    static constexpr int PRESET_COUNT = 6;
    // Record types of the "poi" layer.
    enum RecordType : int {
        RecCarPark = 69,
        RecRoadblock = 93,
        RecFavourite = 94,
        RecMessageFirst = 95,
        RecMessageLast = 107,
    };

    // host and view: not owned, must outlive the provider.
    XrMapViewProviderImpl(XrMapViewHost* host, XrMapView* view);
    ~XrMapViewProviderImpl() override;
    XrMapViewProviderImpl(const XrMapViewProviderImpl&) = delete;
    XrMapViewProviderImpl& operator=(const XrMapViewProviderImpl&) = delete;

    // XrMapViewProvider
    XrCoordinate get_center_coordinate() override;
    void show_coordinate(const XrCoordinate& coordinate) override;
    void show_point(const XrPoint& point) override;
    int get_rotation() override;
    void set_rotation(int degrees) override;
    int get_scale() override;
    void set_scale(int scale) override;
    void hilight(const XrMapPoint& point) override;
    void hilight_mapitem(XrMapItem* item) override;
    void show_mappoint(const XrMapPoint& point) override;
    void hilight_next() override;
    void hilight_previous() override;
    void clear_hilight() override;
    XrMapPoint* get_mappoint_by_screen_coordinate(const XrPoint& screen, int box) override;
    XrMapPoint* get_hilighted_point() override { return hilighted_point.get(); }
    XrCoordinate get_cursor_coordinate() override { return cursor_coordinate; }
    void set_cursor_coordinate(const XrCoordinate& coordinate) override;
    bool is_cursor_visible() override { return cursor_visible; }
    void set_cursor_visible(bool visible) override;
    void clear_hilight_if_off_screen() override;
    void initialize() override;
    bool is_3d() override;
    void set_view_mode(int mode) override;
    void get_label_colors(unsigned int& first, unsigned int& second) override;
    double get_zoom_ratio() override;
    XrMapView* get_map_view() override { return view; }
    void set_perspective(int preset) override;
    int get_perspective() override { return perspective; }
    double get_scale_factor() override;
    void reset_scale_factor() override { scale_factor = 2.0; }

    // The map point of a picked item of the "poi" layer; cursor null: one of
    // its own. Null when the record cannot be read. The caller owns it.
    XrMapPoint* create_mappoint_from_mapitem(XrMapItem* item, XrGeomCursor* cursor);
    // The visible items, in display order.
    int get_visible_count() const { return visible.get_count(); }
    int get_hilight_index() const { return hilight_index; }

    // Listener sides: every change asks for an immediate redraw.
    void settings_changed() override;
    void map_settings_changed() override;
    void favourites_changed() override;
    void parking_changed() override;
    void roadblocks_changed() override;
    void poi_settings_changed() override;
    void map_initialized() override;
    void map_closing() override;

private:
    XrGeomLayer* poi_layer() const;
    // Collects the visible items unless the visible rectangle is unchanged.
    void collect_visible_items();
    // Empties the visible items and the map's highlighted item.
    void forget_visible_items();
    XrRectangle visible_rect() const;
    bool to_screen(int x, int y, XrPoint& out) const;
    // The record of a visible item: its point and type.
    bool read_item(XrGeomCursor* cursor, XrMapItem* item, int& id, XrPoint& point, int& type);
    // Index of the first visible item that matches; -1 for none.
    int find_visible(const XrMapPoint& point);
    void set_hilighted(int index, XrGeomCursor* cursor);
    void notify_hilighted();
    void step_hilight(int direction);
    // Places the overlay layer's pin, when the map has that layer.
    static void set_pin(const XrPoint& point, const XrString& label);
    void forget_listeners();

    XrMapViewHost* host;
    XrMapView* view;
    XrMapItems visible;
    XrRectangle cached_rect{0, 0, 0, 0};
    int hilight_index = -1;
    std::unique_ptr<XrMapPoint> hilighted_point;
    XrCoordinate cursor_coordinate;
    bool cursor_visible = false;
    int perspective = 2;
    double scale_factor = 2.0;
    bool registered = false;
};
