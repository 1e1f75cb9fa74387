// XrRouteLayer: the screen overlays (vehicle marker, compass, scale bar,
// speed, GPS status). Placeholders until the drawing lands.
#include "common/map/xr_routelayer.h"

void XrRouteLayer::draw_vehicle_marker(XrDCHandleRec* /*dc*/, XrMapView* /*view*/) {}

void XrRouteLayer::draw_compass(XrDCHandleRec* /*dc*/, XrMapView* /*view*/, int /*x*/, int /*y*/) {}

void XrRouteLayer::draw_scale_bar(XrDCHandleRec* /*dc*/, XrMapView* /*view*/) {}

void XrRouteLayer::draw_bevel_box(XrDCHandleRec* /*dc*/, const XrRectangle& /*box*/) {}

void XrRouteLayer::draw_speed(XrDCHandleRec* /*dc*/, const XrPoint& /*screen*/) {}

void XrRouteLayer::draw_gps_status_icon(XrDCHandleRec* /*dc*/, const XrPoint& /*top_right*/) {}

void XrRouteLayer::set_gps_status(int state, int duration_ms)
{
    gps_status = state;
    gps_status_end = now() + static_cast<std::uint32_t>(duration_ms);
    gps_status_timed = duration_ms > 0;
}

void XrRouteLayer::update_gps_status() {}

bool XrRouteLayer::set_fix_valid(bool valid)
{
    if (gps_fix_valid == valid)
        return false;
    gps_fix_valid = valid;
    return true;
}

void XrRouteLayer::draw_shape(XrDCHandleRec* /*dc*/, XrPoint* /*points*/, int /*count*/, const XrPenHandle* /*pen*/,
                              const XrBrushHandle* /*brush*/)
{
}

void XrRouteLayer::transform_points(XrPoint* /*points*/, int /*count*/, int /*angle*/, int /*dx*/, int /*dy*/) {}
