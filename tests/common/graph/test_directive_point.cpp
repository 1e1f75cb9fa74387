// The junction point of an instruction, from the edge polylines of the
// route layer's cache.
#include "common/graph/xr_routeinstructions.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

namespace {

// An edge polyline cache as the route layer keeps it: polylines by gid, the
// pinned entry (the driven part of the first edge) only when asked for.
struct Cache {
    std::map<XrGid, std::unique_ptr<XrPolygon>> lines;
    std::map<XrGid, std::unique_ptr<XrPolygon>> pinned;
    std::vector<bool> asked_create;

    void add(std::map<XrGid, std::unique_ptr<XrPolygon>>& to, XrGid gid, std::vector<XrPoint> pts)
    {
        auto line = std::make_unique<XrPolygon>();
        for (const XrPoint& p : pts)
            line->add_point(p);
        to[gid] = std::move(line);
    }
    XrPolygon* get_edge_polygon(XrGid gid, bool create, bool allow_pinned)
    {
        asked_create.push_back(create);
        if (allow_pinned && pinned.count(gid) != 0)
            return pinned[gid].get();
        return lines.count(gid) != 0 ? lines[gid].get() : nullptr;
    }
};

XrRouteSegment segment(XrGid gid, std::uint8_t flags)
{
    XrRouteSegment s;
    s.gid = gid;
    s.flags = flags;
    return s;
}

TEST(DirectivePoint, TheEndOfTheEdgeLeftAtTheInstruction)
{
    // Segments from the destination back: 0 the last edge (gid 30), 1 an
    // edge driven against its points (gid 20), 2 the first edge (gid 10,
    // driven along; its pinned entry is the part from the start point on).
    XrRouteInstructions route;
    route.segments.add_item(segment(30, XrRouteSegment::FLAG_ALONG), -1);
    route.segments.add_item(segment(20, 0), -1);
    route.segments.add_item(segment(10, XrRouteSegment::FLAG_ALONG | XrRouteSegment::FLAG_FIRST), -1);
    route.segments.add_item(segment(40, XrRouteSegment::FLAG_ALONG), -1);
    Cache cache;
    cache.add(cache.lines, 30, {{500, 0}, {900, 0}});
    cache.add(cache.lines, 20, {{500, 0}, {300, 50}, {100, 0}});
    cache.add(cache.lines, 10, {{-400, 0}, {0, 0}, {100, 10}});
    cache.add(cache.pinned, 10, {{-50, 5}, {0, 0}, {100, 0}});

    struct Case {
        const char* what;
        std::uint32_t segment_index;
        bool found;
        XrPoint point;
    };
    const Case cases[] = {
        {"along its points: the last one", 0, true, {900, 0}},
        {"against its points: the first one", 1, true, {500, 0}},
        {"the first edge: its pinned polyline", 2, true, {100, 0}},
        {"an edge without polyline", 3, false, {}},
        {"no such segment", 4, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        XrRouteInstructions::XrRouteDirective d;
        d.words[0] = 3;
        d.words[6] = c.segment_index;
        XrPoint p(-1, -1);
        ASSERT_EQ(route.get_directive_point(d, &cache, p), c.found);
        if (c.found) {
            EXPECT_EQ(p, c.point);
        }
    }
    for (bool create : cache.asked_create)
        EXPECT_TRUE(create) << "the polyline is loaded when the cache lacks it";
    XrRouteInstructions::XrRouteDirective d;
    XrPoint p;
    EXPECT_FALSE(route.get_directive_point(d, static_cast<Cache*>(nullptr), p));
}

} // namespace
