// Many penalised edges at once: every penalised gid gets its own penalty and
// no other gid gets one, whatever its block and offset have in common with
// the penalised ones.
#include "common/graph/xr_dijkstrapath.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

using Edge = XrGraphAccessor2::XrEdgeData;

namespace {

long long cost_of(const XrDijkstraPath2& s, XrGid gid)
{
    Edge e;
    e.gid = gid;
    e.length = 1000;
    e.speed_class = 2;
    e.road_type = 4;
    return s.edge_cost(e, XrDijkstraPath2::default_cost_table(0));
}

} // namespace

TEST(RoutePenalties, ManyGidsKeepTheirOwnPenalties)
{
    XrDijkstraPath2 s(nullptr, nullptr, XrString(), nullptr);
    const long long base = cost_of(s, 1);
    // Gids that share their offset across blocks, offsets in one block, and
    // random ones; delays are penalty >> 8 cost units.
    std::map<XrGid, int> penalised;
    for (XrGid block = 1; block <= 40; ++block)
        penalised[(block << 16) | 0x0010u] = 0x100 * static_cast<int>(block);
    for (XrGid offset = 0; offset < 400; offset += 2)
        penalised[(7u << 16) | offset] = 0x300;
    std::mt19937 rng(3);
    for (int i = 0; i < 2000; ++i)
        penalised[static_cast<XrGid>(rng()) & 0x7FFFFFFFu] = 0x500;
    for (const auto& [gid, p] : penalised)
        s.add_edge_penalty(gid, p);

    for (const auto& [gid, p] : penalised)
        ASSERT_EQ(cost_of(s, gid), base + (p >> 8)) << gid;
    int passed = 0;
    for (XrGid block = 1; block <= 41; ++block)
        for (XrGid offset = 0; offset < 500; ++offset) {
            const XrGid gid = (block << 16) | offset;
            if (penalised.count(gid) == 0) {
                ASSERT_EQ(cost_of(s, gid), base) << gid;
                ++passed;
            }
        }
    EXPECT_GT(passed, 20000);
}

TEST(RoutePenalties, ClosingWinsOverLaterDelays)
{
    XrDijkstraPath2 s(nullptr, nullptr, XrString(), nullptr);
    const long long base = cost_of(s, 5);
    s.add_edge_penalty(5, 0x200);
    s.add_edge_penalty(5, 0x300);
    EXPECT_EQ(cost_of(s, 5), base + 5);
    s.add_edge_penalty(5, -1);
    s.add_edge_penalty(5, 0x300);
    // A closed edge carries no delay: it is never entered.
    EXPECT_EQ(cost_of(s, 5), base);
}
