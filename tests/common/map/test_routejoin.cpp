// Joining a route recalculated off the old one: the instruction at the
// junction comes from the route search's instruction builder.
#include <gtest/gtest.h>

#include <memory>

#include "common/map/xr_routelayer.h"
#include "routelayer_fixture.h"

namespace {

// The directive of a route that applies at the segment of a gid; null when none.
const XrRouteInstructions::XrRouteDirective* directive_at(const XrRouteInstructions& r, XrGid gid)
{
    for (int i = 0; i < r.directives.items(); ++i) {
        const auto* d = r.directives.get_item_ptr(i);
        const XrRouteSegment* s = r.segments.get_item_ptr(static_cast<int>(d->words[6]));
        if (s != nullptr && s->gid == gid)
            return d;
    }
    return nullptr;
}

TEST(RouteJoin, NoSharedEdgeJoinsWithTheSearchsInstruction)
{
    // The ladder. Old route: east along the main road from x = 101600,
    // then north at x = 102000. New route: from the parallel road east and
    // down the connector at x = 101500, ending just short of the main road;
    // it shares no edge with the old one, and its last edge leads onto the
    // old route's first.
    XrRouteMap m(xr_ladder_network());
    const XrGid main3 = m.result.gids[3], connector = m.result.gids[11];
    std::unique_ptr<XrRouteInstructions> old_route(m.route(XrPoint(101600, 200000), XrPoint(102000, 200900)));
    std::unique_ptr<XrRouteInstructions> new_route(m.route(XrPoint(100700, 200050), XrPoint(101500, 200005)));
    ASSERT_TRUE(old_route && new_route);
    ASSERT_EQ(new_route->segments.get_item_ptr(0)->gid, connector);
    ASSERT_FALSE(new_route->contains_gid(main3));
    // The same turn inside one route found by the search.
    std::unique_ptr<XrRouteInstructions> whole(m.route(XrPoint(100700, 200050), XrPoint(101800, 200000)));
    ASSERT_TRUE(whole);
    const auto* searched = directive_at(*whole, connector);
    ASSERT_NE(searched, nullptr) << "the search makes an instruction off the connector";

    const int old_count = old_route->segments.items();
    const int new_count = new_route->segments.items();
    const int old_length = [&] {
        int sum = 0;
        for (int i = 0; i < old_count; ++i)
            sum += old_route->segments.get_item_ptr(i)->length;
        return sum;
    }();
    XrRouteLayer layer(nullptr, nullptr, 1, nullptr, nullptr);
    XrRouteInstructions::XrRouteDirective junction;
    ASSERT_TRUE(layer.join_routes(m.graph.get(), new_route.get(), old_route.get(), &junction));

    // The whole old route, then the whole new one.
    ASSERT_EQ(new_route->segments.items(), old_count + new_count);
    EXPECT_EQ(new_route->segments.get_item_ptr(old_count - 1)->gid, main3);
    EXPECT_EQ(new_route->segments.get_item_ptr(old_count)->gid, connector);
    // The junction: the search's code and words, at the connector, at the
    // old route's length from the destination.
    EXPECT_EQ(junction.code(), searched->code());
    EXPECT_EQ(junction.words[1], searched->words[1]);
    EXPECT_EQ(junction.words[2], searched->words[2]);
    EXPECT_EQ(junction.words[6], static_cast<std::uint32_t>(old_count));
    EXPECT_EQ(junction.words[4], static_cast<std::uint32_t>(old_length));
    const auto* stored = directive_at(*new_route, connector);
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->code(), searched->code());
}

} // namespace
