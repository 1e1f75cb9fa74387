// Detour penalties: spans and falling penalties by kind, the two latest sets
// active together, clearing.
#include <gtest/gtest.h>

#include "common/graph/xr_detourstate.h"
#include "common/graph/xr_routeinstructions.h"

namespace {

// A route of segments stored destination first: gid i + 1, the given lengths.
void fill(XrRouteInstructions& r, const std::vector<int>& lengths)
{
    for (size_t i = 0; i < lengths.size(); ++i) {
        XrRouteSegment s;
        s.gid = static_cast<XrGid>(i + 1);
        s.length = lengths[i];
        r.segments.add_item(s);
    }
}

} // namespace

TEST(DetourState, SpanAndPenaltiesByKind)
{
    XrRouteInstructions r;
    fill(r, std::vector<int>(12, 1000)); // 12000 in all
    struct Case {
        int kind;
        std::vector<int> penalties; // from the start segment towards the destination
    };
    const Case cases[] = {
        // span min(12000 / 4, 5000) = 3000: remaining 3000, 2000, 1000
        {XrDetourState::KIND_SHORT, {10000, 10000 * ((2000 * 128) / 3000) / 128, 10000 * ((1000 * 128) / 3000) / 128}},
        // span min(4000, 25000) = 4000
        {XrDetourState::KIND_MEDIUM, {30000, 30000 * 96 / 128, 30000 * 64 / 128, 30000 * 32 / 128}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        XrDetourState d;
        d.add_detour(&r, -1, c.kind);
        const auto& list = d.get_penalties(false);
        ASSERT_EQ(list.size(), c.penalties.size());
        for (size_t i = 0; i < list.size(); ++i) {
            EXPECT_EQ(list[i].gid, static_cast<XrGid>(12 - i));
            EXPECT_EQ(list[i].penalty, c.penalties[i]);
        }
    }
    // Kind 2: half the total, from a given segment.
    XrDetourState d;
    d.add_detour(&r, 5, XrDetourState::KIND_LONG); // total 6000, span 3000
    ASSERT_EQ(d.get_penalties(false).size(), 3u);
    EXPECT_EQ(d.get_penalties(false)[0].gid, 6u);
    EXPECT_EQ(d.get_penalties(false)[0].penalty, 100000);
}

TEST(DetourState, TwoLatestSetsStayActiveAndKindThreeClears)
{
    XrRouteInstructions a, b, c;
    fill(a, {4000});
    fill(b, {8000});
    fill(c, {12000});
    XrDetourState d;
    d.add_detour(&a, -1, XrDetourState::KIND_SHORT);
    d.add_detour(&b, -1, XrDetourState::KIND_SHORT);
    EXPECT_EQ(d.get_request_count(), 2);
    EXPECT_EQ(d.get_penalties(false).size(), 1u);
    EXPECT_EQ(d.get_penalties(true).size(), 1u);
    d.add_detour(&c, -1, XrDetourState::KIND_SHORT); // replaces the older set
    EXPECT_EQ(d.get_penalties(false).size(), 1u);
    d.add_detour(nullptr, 0, XrDetourState::KIND_SHORT); // no route: cleared
    EXPECT_EQ(d.get_request_count(), 0);
    EXPECT_TRUE(d.get_penalties(false).empty());
    EXPECT_TRUE(d.get_penalties(true).empty());
    d.add_detour(&a, -1, XrDetourState::KIND_CLEAR);
    EXPECT_EQ(d.get_request_count(), 0);
}
