// XrRouteLayer: edge polylines, geometry along the route and the rerouting
// decision.
#include "common/map/xr_routelayer.h"

bool XrRouteLayer::should_reroute(XrPoint& /*position*/, int /*heading*/, XrPoint* /*last_point*/,
                                  XrGid* /*last_gid*/, XrGraphAccessor2::XrEdgeData* /*edge*/)
{
    return false;
}

bool XrRouteLayer::find_segment_near_position(int /*distance*/, XrRouteSegment* /*out*/) { return false; }

int XrRouteLayer::get_point_on_route(XrPoint* /*point*/, short* /*heading*/, int /*distance*/) { return 1; }

int XrRouteLayer::step_back(XrPoint* point, short* heading, int step)
{
    return get_point_on_route(point, heading, distance_travelled - (step == 0 ? 25 : step));
}

int XrRouteLayer::step_forward(XrPoint* point, short* heading, int step)
{
    return get_point_on_route(point, heading, distance_travelled + (step == 0 ? 25 : step));
}

int XrRouteLayer::get_route_start(XrPoint* point, short* heading) { return get_point_on_route(point, heading, 0); }

XrPolygon* XrRouteLayer::get_edge_polygon(XrGid /*gid*/, bool /*create*/, bool /*pinned*/) { return nullptr; }

void XrRouteLayer::clear_edge_polygons()
{
    for (XrEdgeEntry& e : edge_cache) {
        delete e.polygon;
        e.polygon = nullptr;
        e.gid = 0;
    }
}

void XrRouteLayer::pin_edge_polygon(XrGid gid, XrPolygon* polygon, bool first)
{
    XrEdgeEntry& e = edge_cache[first ? 0 : 1];
    delete e.polygon;
    e.polygon = polygon;
    e.gid = gid;
}

XrPolygon* XrRouteLayer::copy_polygon(const XrPolygon& polygon)
{
    auto* copy = new XrPolygon(polygon.is_open(), polygon.get_type());
    *copy = polygon;
    return copy;
}

int XrRouteLayer::get_edge_heading(XrGeomStorage* /*storage*/, XrGid /*gid*/, bool /*at_start*/, bool /*pinned*/)
{
    return 0;
}

void XrRouteLayer::classify_exit(XrRouteInstructions::XrRouteDirective& /*directive*/,
                                 const XrBlockStorage<XrRouteSegment>& /*segments*/)
{
}

int XrRouteLayer::get_bend_ahead_icon(XrRouteInstructions* /*route*/) { return 38; }

int XrRouteLayer::get_route_heading_between(XrRouteInstructions* /*route*/, int /*from*/, int /*to*/) { return -1; }

int XrRouteLayer::sum_segment_lengths(int first, int last, const XrBlockStorage<XrRouteSegment>& segments)
{
    int sum = 0;
    for (int i = first; i <= last; ++i)
        if (const XrRouteSegment* s = segments.get_item_ptr(i))
            sum += s->length;
    return sum;
}

bool XrRouteLayer::is_road_type_one(const XrRouteInstructions::XrRouteDirective* /*directive*/) { return false; }

void XrRouteLayer::cut_polyline(XrPolygon* /*out*/, const XrPolygon& /*line*/, bool /*from_start*/, int /*length*/)
{
}

int XrRouteLayer::angle_between(int a, int b) { return b > a ? b - a : b - a + 360; }
