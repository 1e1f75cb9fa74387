// XrRouteLayer: route drawing, turn arrows, direction icons and the safety
// screen. Placeholders until the drawing lands.
#include "common/map/xr_routelayer.h"

bool XrRouteLayer::draw(XrDCHandleRec* /*dc*/, XrMapView* /*view*/) { return true; }

bool XrRouteLayer::draw_3d(XrDCHandleRec* /*dc*/, XrMapView* /*view*/) { return true; }

void XrRouteLayer::draw_route(XrDCHandleRec* /*dc*/, XrMapView* /*view*/) {}

void XrRouteLayer::draw_route_pieces(XrDCHandleRec* /*dc*/, XrMapView* /*view*/, XrArray<XrPoint>& /*buffer*/) {}

XrRouteArrow* XrRouteLayer::get_arrow(int /*directive_index*/) { return nullptr; }

int XrRouteLayer::build_arrow_path(XrRouteArrow* /*arrow*/, int /*directive_index*/, bool /*forward*/,
                                   int /*length*/)
{
    return 0;
}

void XrRouteLayer::draw_turn_arrow(XrDCHandleRec* /*dc*/, XrMapView* /*view*/, XrRouteArrow* /*arrow*/,
                                   int /*width*/, XrArray<XrPoint>& /*buffer*/)
{
}

int XrRouteLayer::get_direction_icon(const XrRouteInstructions::XrRouteDirective* /*directive*/,
                                     XrRouteInstructions* /*route*/, int /*limit*/, int /*directive_index*/)
{
    return -1;
}

void XrRouteLayer::draw_direction_icon(XrDCHandleRec* /*dc*/,
                                       const XrRouteInstructions::XrRouteDirective* /*directive*/,
                                       const XrPoint& /*position*/, int /*distance*/)
{
}

void XrRouteLayer::load_safety_screen_images() {}

void XrRouteLayer::draw_safety_screen(XrDCHandleRec* /*dc*/, const XrPoint& /*screen*/) {}

void XrRouteLayer::draw_street_boxes(XrDCHandleRec* /*dc*/, const XrPoint& /*screen*/) {}
