// The map-view provider: centres and scales the view, turns the items of the
// "poi" layer into map points, answers which map point lies under a screen
// position, keeps one highlighted point and the user's cursor coordinate.
// Registered as "XrMapViewProvider". Every operation has a "no view" answer
// here, so stand-ins override only what they need.
#pragma once

#include "common/base/xr_singleton.h"
#include "common/container/xr_string.h"
#include "common/geometry/xr_point.h"
#include "common/types/xr_coordinate.h"

class XrMapItem;
class XrMapPoint;
class XrMapView;

// Told when a map point is highlighted and when the highlight goes.
class XrMapViewListener {
public:
    virtual ~XrMapViewListener() = default;
    virtual void mappoint_hilighted(XrMapPoint* point) = 0;
    virtual void hilight_cleared() = 0;
};

class XrMapViewProvider : public XrSingleton, public XrObservable<XrMapViewListener> {
public:
    ~XrMapViewProvider() override = default;

    virtual XrCoordinate get_center_coordinate() { return XrCoordinate(); }
    virtual XrMapViewProvider* get_provider() { return this; }
    // Rotation 0 and the detail scale about the place.
    virtual void show_coordinate(const XrCoordinate& /*coordinate*/) {}
    virtual void show_point(const XrPoint& /*point*/) {}
    virtual int get_rotation() { return 0; }
    virtual void set_rotation(int /*degrees*/) {}
    virtual int get_scale() { return 0; }
    virtual void set_scale(int /*scale*/) {}
    virtual void hilight(const XrMapPoint& /*point*/) {}
    virtual void hilight_mapitem(XrMapItem* /*item*/) {}
    virtual void show_mappoint(const XrMapPoint& /*point*/) {}
    virtual void hilight_next() {}
    virtual void hilight_previous() {}
    virtual void clear_hilight() {}
    // The map point under the screen position (box: half the side of the
    // square searched, in pixels); a new point the caller deletes, or null.
    virtual XrMapPoint* get_mappoint_by_screen_coordinate(const XrPoint& /*screen*/, int /*box*/) { return nullptr; }
    virtual XrMapPoint* get_hilighted_point() { return nullptr; }
    virtual XrCoordinate get_cursor_coordinate() { return XrCoordinate(); }
    virtual void set_cursor_coordinate(const XrCoordinate& /*coordinate*/) {}
    virtual bool is_cursor_visible() { return false; }
    virtual void set_cursor_visible(bool /*visible*/) {}
    virtual void clear_hilight_if_off_screen() {}
    virtual void initialize() {}
    virtual bool is_3d() { return false; }
    virtual void set_view_mode(int /*mode*/) {}
    // The street-label colours of the "road" layer (first, second).
    virtual void get_label_colors(unsigned int& first, unsigned int& second)
    {
        first = 0x000000;
        second = 0xffffff;
    }
    // 1000 divided by the view's scale base; 0 when the base is 0.
    virtual double get_zoom_ratio() { return 0; }
    virtual XrMapView* get_map_view() { return nullptr; }
    virtual void set_perspective(int /*preset*/) {}
    virtual int get_perspective() { return 2; }
    virtual double get_scale_factor() { return 2.0; }
    virtual void reset_scale_factor() {}

    // The registered provider, or null.
    static XrMapViewProvider* get_instance()
    {
        return static_cast<XrMapViewProvider*>(XrSingleton::get_instance(XrString(L"XrMapViewProvider")));
    }
};
