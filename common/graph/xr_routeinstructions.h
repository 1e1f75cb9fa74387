// One computed route: its edges (segments) and its instructions
// (directives), both stored from the destination back to the start.
#pragma once

#include <cstdint>
#include <memory>

#include "common/container/xr_blockstorage.h"
#include "common/db/xr_gid.h"
#include "common/geometry/xr_geometry.h"
#include "common/geometry/xr_polygon.h"

struct XrRouteSegment {
    enum : std::uint8_t {
        FLAG_TILE = 1,
        FLAG_RESTRICTED = 2,
        FLAG_ALONG = 4,       // driven in the order of the geometry points
        FLAG_FIRST = 8,       // first edge of the route
        FLAG_NOT_END = 16,    // the edge's end flag is clear
    };
    XrGid gid = 0;
    int x = 0;
    int y = 0;
    int length = 0;
    std::uint8_t flags = 0;
    std::uint8_t kind = 0; // bits 0-2 speed class, bits 3-6 road type

    int speed_class() const { return kind & 7; }
    int road_type() const { return (kind >> 3) & 15; }
};

class XrRouteInstructions {
public:
    struct XrRouteDirective {
        std::uint32_t words[11] = {};
        std::uint32_t code() const { return words[0]; }
    };

    // Directive codes.
    enum : std::uint32_t { CODE_NONE = 0, CODE_KEEP = 1, CODE_DESTINATION = 7, CODE_ROUNDABOUT = 13,
                           CODE_ROUNDABOUT_EXIT = 14 };

    XrRouteInstructions();
    ~XrRouteInstructions();
    XrRouteInstructions(const XrRouteInstructions&) = delete;
    XrRouteInstructions& operator=(const XrRouteInstructions&) = delete;

    // The junction of an instruction: the end of the edge the driver leaves
    // there (its last point when driven along its geometry, else its first),
    // read from the route layer's edge polyline cache (loaded when absent;
    // the pinned first edge allowed for the route's first edge). False when
    // the directive names no segment or the edge has no polyline.
    template <class RouteLayer>
    bool get_directive_point(const XrRouteDirective& directive, RouteLayer* layer, XrPoint& out)
    {
        const XrRouteSegment* s = segments.get_item_ptr(static_cast<int>(directive.words[6]));
        if (s == nullptr || layer == nullptr)
            return false;
        const XrPolygon* line = layer->get_edge_polygon(s->gid, true, (s->flags & XrRouteSegment::FLAG_FIRST) != 0);
        if (line == nullptr || line->get_point_count() == 0)
            return false;
        return line->get_point((s->flags & XrRouteSegment::FLAG_ALONG) != 0 ? line->get_point_count() - 1 : 0, out);
    }

    // The bounding box of the segments' reference points; unchanged without segments.
    void get_bounds(XrRectangle& out) const;
    bool contains_gid(XrGid gid) const;
    // A segment of that road type, or (when asked) a restricted one.
    bool uses_road_type(int road_type, bool restricted = false) const;
    bool uses_ferry() const;

    int route_mode = 0;
    std::unique_ptr<XrPolygon> start_geometry;
    std::unique_ptr<XrPolygon> end_geometry;
    XrBlockStorage<XrRouteDirective> directives;
    XrBlockStorage<XrRouteSegment> segments;
    int start_x = 0, start_y = 0;
    int target_x = 0, target_y = 0;
    int total_length = 0;
    int travel_time = 0;
};
