// The guidance model on its own: no layer, no drawing.
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "common/geometry/xr_polygon.h"
#include "common/map/xr_routelayer_model.h"

namespace {

using M = XrGuidanceModel;

// Fixes off the route: on the route below the limit, off the route and a
// request from the limit on; a held fix resets.
TEST(GuidanceModel, OffRouteCountReachesTheLimit)
{
    M m;
    for (int i = 1; i < M::OFF_ROUTE_FIXES; ++i) {
        EXPECT_FALSE(m.count_off_route(false)) << i;
        EXPECT_EQ(m.get_state(), M::STATE_ON_ROUTE);
    }
    EXPECT_TRUE(m.count_off_route(false));
    EXPECT_EQ(m.get_state(), M::STATE_OFF_ROUTE);
    EXPECT_EQ(m.get_off_route_count(), M::OFF_ROUTE_FIXES);

    EXPECT_FALSE(m.count_off_route(true));
    EXPECT_EQ(m.get_off_route_count(), 0);
    EXPECT_EQ(m.get_state(), M::STATE_ON_ROUTE);
}

TEST(GuidanceModel, ReroutingStaysWhileCounting)
{
    M m;
    m.set_state(M::STATE_REROUTING);
    EXPECT_FALSE(m.count_off_route(false));
    EXPECT_EQ(m.get_state(), M::STATE_REROUTING);
    for (int i = 2; i <= M::OFF_ROUTE_FIXES; ++i)
        m.count_off_route(false);
    EXPECT_EQ(m.get_state(), M::STATE_REROUTING);
}

// Against the route at the start the count is high but asks for no new
// route until the vehicle has made progress.
TEST(GuidanceModel, ReversedStartAsksForNoRouteUntilProgress)
{
    M m;
    EXPECT_TRUE(m.reverse_at_start(100));
    EXPECT_FALSE(m.reverse_at_start(100)); // already off the route
    EXPECT_EQ(m.get_state(), M::STATE_OFF_ROUTE);
    EXPECT_EQ(m.get_off_route_count(), M::REVERSED_START_COUNT);
    EXPECT_TRUE(m.is_reversed_start());
    EXPECT_FALSE(m.count_off_route(false));

    EXPECT_TRUE(m.matched_fix(105, true, 10.0, false)); // no progress past the mark
    EXPECT_FALSE(m.matched_fix(106, true, 10.0, false));
    EXPECT_FALSE(m.is_reversed_start());
    EXPECT_EQ(m.get_state(), M::STATE_ON_ROUTE);
    EXPECT_EQ(m.get_off_route_count(), 0);
}

TEST(GuidanceModel, MatchedFixWithoutProgress)
{
    struct Case {
        int travelled;
        bool started;
        double speed;
        bool hold;
        bool counts;
    } cases[] = {
        {50, true, 10.0, false, false},  // progress
        {40, true, 10.0, false, true},   // no progress, moving
        {40, true, 0.5, false, false},   // standing
        {40, true, -1.0, false, true},   // speed unknown
        {40, false, 10.0, false, false}, // not started
        {40, true, 10.0, true, false},   // held
    };
    for (const Case& c : cases) {
        M m;
        m.mark_progress(40);
        EXPECT_EQ(m.matched_fix(c.travelled, c.started, c.speed, c.hold), c.counts)
            << c.travelled << " " << c.started << " " << c.speed << " " << c.hold;
    }
}

// One rerouting test per back-off period; progress on the route lifts it.
TEST(GuidanceModel, RerouteBackOff)
{
    M m;
    EXPECT_FALSE(m.reroute_test_due(true));
    m.new_fix();
    EXPECT_TRUE(m.reroute_test_due(false));
    for (int i = 1; i < M::REROUTE_BACKOFF_FIXES; ++i) {
        m.new_fix();
        EXPECT_FALSE(m.reroute_test_due(false)) << i;
    }
    m.new_fix();
    EXPECT_TRUE(m.reroute_test_due(false));
    m.new_fix();
    m.mark_progress(10);
    m.matched_fix(20, true, 10.0, false);
    EXPECT_TRUE(m.reroute_test_due(false));
    m.reset();
    EXPECT_TRUE(m.reroute_test_due(false));
}

TEST(GuidanceModel, ResetClearsTheCount)
{
    M m;
    m.reverse_at_start(10);
    m.reset();
    EXPECT_EQ(m.get_state(), M::STATE_ON_ROUTE);
    EXPECT_EQ(m.get_off_route_count(), 0);
    EXPECT_FALSE(m.is_reversed_start());
}

TEST(GuidanceModel, TripStatistics)
{
    M m;
    m.start_trip(1000);
    m.add_trip_value(7);
    m.add_trip_value(5);
    int seconds = -1;
    EXPECT_EQ(m.get_trip_statistics(62999, seconds), 12);
    EXPECT_EQ(seconds, 61);
    m.start_trip(70000);
    EXPECT_EQ(m.get_trip_statistics(70500, seconds), 0);
    EXPECT_EQ(seconds, 0);
}

// The road polylines of a route, read on demand and counted.
class Lines : public XrEdgeLines {
public:
    void add(XrGid gid, const XrPoint& a, const XrPoint& b)
    {
        auto line = std::make_unique<XrPolygon>(true);
        line->add_point(a);
        line->add_point(b);
        roads[gid] = std::move(line);
    }
    XrPolygon* get_line(XrGid gid, bool create, bool) override
    {
        if (cached.count(gid) == 0) {
            if (!create)
                return nullptr;
            ++reads;
            cached[gid] = roads.count(gid) != 0 ? roads[gid].get() : nullptr;
        }
        return cached[gid];
    }
    const XrRectangle* get_match_box(const XrPolygon*, bool) const override { return nullptr; }

    int reads = 0;

private:
    std::map<XrGid, std::unique_ptr<XrPolygon>> roads;
    std::map<XrGid, XrPolygon*> cached;
};

// 600 m east from S (0,0) to J, then 400 m north to D; map units are
// metres. Stored from the destination back: segment 0 is J-D.
std::unique_ptr<XrRouteInstructions> east_then_north(Lines& lines)
{
    auto r = std::make_unique<XrRouteInstructions>();
    XrRouteSegment north;
    north.gid = 2;
    north.x = 600;
    north.length = 400;
    north.flags = XrRouteSegment::FLAG_ALONG;
    XrRouteSegment east;
    east.gid = 1;
    east.length = 600;
    east.flags = XrRouteSegment::FLAG_ALONG | XrRouteSegment::FLAG_FIRST;
    r->segments.add_item(north, -1);
    r->segments.add_item(east, -1);
    lines.add(1, XrPoint(0, 0), XrPoint(600, 0));
    lines.add(2, XrPoint(600, 0), XrPoint(600, 400));
    return r;
}

TEST(GuidanceModel, MatchesThePositionOntoTheNearestRoad)
{
    struct Case {
        XrPoint position;
        int search;
        bool matched;
        int segment, into, travelled;
        XrPoint point;
    } cases[] = {
        {XrPoint(200, 10), 30, true, 1, 200, 200, XrPoint(200, 0)},
        {XrPoint(610, 40), 30, true, 0, 40, 640, XrPoint(600, 40)},
        {XrPoint(595, 5), 30, true, 1, 595, 595, XrPoint(595, 0)},
        {XrPoint(200, 80), 30, false, -1, 0, 0, XrPoint()},
        {XrPoint(200, 80), 100, true, 1, 200, 200, XrPoint(200, 0)},
    };
    for (const Case& c : cases) {
        Lines lines;
        const auto route = east_then_north(lines);
        XrRouteMatch m;
        ASSERT_EQ(XrGuidanceModel::match_position(*route, lines, c.position, -1, c.search, 1, false, m), c.matched)
            << c.position.x << "," << c.position.y;
        if (!c.matched)
            continue;
        EXPECT_EQ(m.segment, c.segment);
        EXPECT_EQ(m.into, c.into);
        EXPECT_EQ(m.travelled, c.travelled);
        EXPECT_EQ(m.point, c.point);
        EXPECT_EQ(m.heading_difference, -1);
    }
}

// Roads are read only near their reference points: far from the route no
// polyline is read at all.
TEST(GuidanceModel, FarFromTheRouteNoRoadIsRead)
{
    Lines lines;
    const auto route = east_then_north(lines);
    XrRouteMatch m;
    EXPECT_FALSE(XrGuidanceModel::match_position(*route, lines, XrPoint(5000, 5000), 90, 30, 1, false, m));
    EXPECT_EQ(lines.reads, 0);
    EXPECT_TRUE(XrGuidanceModel::match_position(*route, lines, XrPoint(300, 3), -1, 30, 1, false, m));
    EXPECT_GT(lines.reads, 0);
}

} // namespace
