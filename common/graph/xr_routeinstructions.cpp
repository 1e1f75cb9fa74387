#include "common/graph/xr_routeinstructions.h"

#include <algorithm>

#include "common/graph/xr_graphlayout.h"

XrRouteInstructions::XrRouteInstructions() : directives(10, 5), segments(50, 5) {}

XrRouteInstructions::~XrRouteInstructions() = default;

void XrRouteInstructions::get_bounds(XrRectangle& out) const
{
    for (int i = 0; i < segments.items(); ++i) {
        const XrRouteSegment* s = segments.get_item_ptr(i);
        if (i == 0) {
            out = XrRectangle{s->x, s->y, s->x, s->y};
            continue;
        }
        out.left = std::min(out.left, s->x);
        out.top = std::min(out.top, s->y);
        out.right = std::max(out.right, s->x);
        out.bottom = std::max(out.bottom, s->y);
    }
}

bool XrRouteInstructions::contains_gid(XrGid gid) const
{
    for (int i = 0; i < segments.items(); ++i)
        if (segments.get_item_ptr(i)->gid == gid)
            return true;
    return false;
}

bool XrRouteInstructions::uses_road_type(int road_type, bool restricted) const
{
    for (int i = 0; i < segments.items(); ++i) {
        const XrRouteSegment* s = segments.get_item_ptr(i);
        if (s->road_type() == road_type || (restricted && (s->flags & XrRouteSegment::FLAG_RESTRICTED)))
            return true;
    }
    return false;
}

bool XrRouteInstructions::uses_ferry() const
{
    return uses_road_type(xr_graph::ROAD_FERRY);
}
