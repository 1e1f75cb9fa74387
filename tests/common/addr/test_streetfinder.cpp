#include <cmath>
#include <map>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "common/db/memory_records.h"
#include "common/addr/xr_edgedirections.h"
#include "common/addr/xr_streetfinder.h"
#include "common/db/geom_test_util.h"
#include "common/db/xr_memorygeomstorage.h"
#include "common/geometry/xr_polygon.h"

namespace {

constexpr int B = 100000;

// Roads in memory: the gid of a road is its record index; record 0 is a
// point, which the finder never returns. Attribute bytes are handed out by
// the cursor as a stored storage would.
class RoadStorage : public XrMemoryGeomStorage {
public:
    RoadStorage()
    {
        BYTE point[16] = {};
        add_record(RecPoint, point, sizeof point);
    }

    XrGid add_road(const std::vector<XrPoint>& pts, BYTE attribute = 0)
    {
        int id = get_record_count();
        std::vector<BYTE> b = xr_test::polyline_record(id, pts, 1, 0);
        EXPECT_EQ(add_record(RecPolyline, b.data(), b.size()), OK);
        if (attribute != 0)
            attributes[id] = attribute;
        return static_cast<XrGid>(id);
    }

    XrGeomCursor* get_cursor(const XrRectangle* rect, int scale) override;

    std::map<int, BYTE> attributes;
    int cursors = 0;
};

class RoadCursor : public XrMemoryGeomStorageCursor {
public:
    RoadCursor(const XrRectangle* rect, RoadStorage* roads) : XrMemoryGeomStorageCursor(rect, roads), roads(roads) {}

    int get_pp(const BYTE* record, int& id, int& x, int& y, short& type, short& aux, const BYTE*& points,
               BYTE& coding, const BYTE*& attributes) override
    {
        int n = XrMemoryGeomStorageCursor::get_pp(record, id, x, y, type, aux, points, coding, attributes);
        auto it = roads->attributes.find(id);
        if (n > 0 && it != roads->attributes.end())
            attributes = &it->second;
        return n;
    }

    RoadStorage* roads;
};

XrGeomCursor* RoadStorage::get_cursor(const XrRectangle* rect, int scale)
{
    (void)scale;
    ++cursors;
    return new RoadCursor(rect, this);
}

// Driving states by gid; every other edge is unknown to it.
class FakeGraph : public XrEdgeDirections {
public:
    int get_edge_handle_by_gid(int x, int y, XrGid gid) override
    {
        asked.push_back({XrPoint(x, y), gid});
        return states.count(gid) != 0 ? static_cast<int>(gid) : -1;
    }
    int get_edge_end_state(int handle) override
    {
        auto it = states.find(static_cast<XrGid>(handle));
        return it != states.end() ? it->second : Unknown;
    }

    std::map<XrGid, int> states;
    std::vector<std::pair<XrPoint, XrGid>> asked;
};

struct Found {
    XrGid gid;
    XrPoint point;
    bool operator==(const Found&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Found& f)
{
    return os << "{gid " << f.gid << " at " << f.point.x - B << "," << f.point.y - B << "}";
}

std::vector<Found> results(const XrStreetFinder& f)
{
    std::vector<Found> out;
    for (int i = 0; i < f.get_result_count(); ++i) {
        Found r{};
        bool half = false;
        int segment = 0;
        double distance = 0;
        EXPECT_TRUE(f.get_result(i, r.gid, half, segment, r.point, distance));
        out.push_back(r);
    }
    return out;
}

std::vector<XrGid> gids(const XrStreetFinder& f)
{
    std::vector<XrGid> out;
    for (const Found& r : results(f))
        out.push_back(r.gid);
    return out;
}

// A plain search.
std::vector<XrGid> search(XrStreetFinder& f, const XrPoint& p, int radius, size_t max, int heading = -1,
                          double speed = -1.0, XrEdgeDirections* graph = nullptr)
{
    size_t found = 99;
    XrStreetFinder::Status st = f.find_street(p, radius, max, found, nullptr, nullptr, heading, graph, speed, 0);
    EXPECT_EQ(found, static_cast<size_t>(f.get_result_count()));
    EXPECT_EQ(st, found > 0 ? XrStreetFinder::OK : XrStreetFinder::NOT_FOUND);
    return gids(f);
}

XrPoint at(int dx, int dy)
{
    return XrPoint(B + dx, B + dy);
}

// Speeds in metres per second that make whole km/h.
constexpr double KMH_1 = 0.5;
constexpr double KMH_10 = 2.8;
constexpr double KMH_20 = 5.6;
constexpr double KMH_30 = 8.4;
constexpr double KMH_36 = 10.0;

TEST(StreetFinder, HeadingPenalty)
{
    struct Case {
        int angle, kmh, penalty;
    } cases[] = {
        {60, 10, 20}, {60, 20, 60}, {20, 0, 5}, {20, 100, 5}, {29, 50, 7},
        {30, 14, 10}, {30, 15, 30}, {0, 80, 0}, {90, 14, 30}, {89, 0, 29},
    };
    for (const Case& c : cases)
        EXPECT_EQ(XrStreetFinder::heading_penalty(c.angle, c.kmh), c.penalty) << c.angle << " at " << c.kmh;
}

TEST(StreetFinder, UndirectedAngle)
{
    struct Case {
        int line, heading, angle;
    } cases[] = {
        {0, 0, 0},    {180, 0, 0},   {90, 0, 90},  {350, 10, 20}, {10, 350, 20}, {100, 280, 0},
        {280, 100, 0}, {45, 300, 75}, {359, 180, 1}, {0, 180, 0},  {200, 10, 10}, {200, -1, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(XrStreetFinder::undirected_angle(c.line, c.heading), c.angle) << c.line << " vs " << c.heading;
}

TEST(StreetFinder, ConnectionTest)
{
    auto line = [](std::vector<XrPoint> pts) {
        auto p = std::make_unique<XrPolygon>(true);
        for (const XrPoint& q : pts)
            p->add_point(q);
        return p;
    };
    auto a = line({{0, 0}, {5, 5}, {10, 0}});
    EXPECT_TRUE(XrStreetFinder::are_connected(*a, *line({{10, 0}, {10, 10}}), 39));
    EXPECT_FALSE(XrStreetFinder::are_connected(*a, *line({{10, 0}, {10, 10}}), 40));
    EXPECT_TRUE(XrStreetFinder::are_connected(*a, *line({{10, 10}, {10, 0}}), 0));
    EXPECT_TRUE(XrStreetFinder::are_connected(*a, *line({{0, 0}, {-10, 0}}), 0));
    // An inner point does not connect.
    EXPECT_FALSE(XrStreetFinder::are_connected(*a, *line({{5, 5}, {10, 10}}), 0));
    EXPECT_FALSE(XrStreetFinder::are_connected(*a, XrPolygon(true), 0));
}

TEST(StreetFinder, PlainSearchByDistance)
{
    RoadStorage roads;
    XrGid r1 = roads.add_road({at(-200, 30), at(-50, 30), at(300, 30)});
    XrGid r2 = roads.add_road({at(-100, -10), at(200, -10)});
    XrGid r3 = roads.add_road({at(300, 20), at(-50, 20)});
    roads.add_road({at(-100, 150), at(100, 150)}); // outside the box
    XrStreetFinder f(&roads);

    EXPECT_EQ(search(f, at(0, 0), 50, 5), (std::vector<XrGid>{r2, r3, r1}));
    EXPECT_EQ(search(f, at(0, 0), 50, 2), (std::vector<XrGid>{r2, r3}));

    // Every field of the results.
    search(f, at(0, 0), 50, 3);
    struct Expect {
        XrGid gid;
        bool first_half;
        int segment;
        XrPoint point;
        double along, distance;
    } expected[] = {
        {r2, true, 0, at(0, -10), 100, 10},  // length 300
        {r3, false, 0, at(0, 20), 300, 20},  // length 350
        {r1, true, 1, at(0, 30), 200, 30},   // length 500
    };
    for (int i = 0; i < 3; ++i) {
        XrGid gid = 0;
        bool half = false;
        int segment = -1;
        XrPoint point;
        double distance = 0, along = 0;
        ASSERT_TRUE(f.get_result(i, gid, half, segment, point, distance, &along));
        EXPECT_EQ(gid, expected[i].gid);
        EXPECT_EQ(half, expected[i].first_half) << i;
        EXPECT_EQ(segment, expected[i].segment) << i;
        EXPECT_EQ(point, expected[i].point) << i;
        EXPECT_DOUBLE_EQ(along, expected[i].along) << i;
        EXPECT_DOUBLE_EQ(distance, expected[i].distance) << i;
    }
    XrGid gid = 0;
    bool half = false;
    int segment = 0;
    XrPoint point;
    double distance = 0;
    EXPECT_FALSE(f.get_result(-1, gid, half, segment, point, distance));
    EXPECT_FALSE(f.get_result(3, gid, half, segment, point, distance));

    // Nothing near: the results of the last search are gone.
    EXPECT_TRUE(search(f, at(5000, 5000), 50, 5).empty());
    EXPECT_EQ(f.get_result_count(), 0);
    EXPECT_TRUE(search(f, at(0, 0), 50, 0).empty());
}

TEST(StreetFinder, BoxesThatOnlyTouchDoNotCount)
{
    RoadStorage roads;
    roads.add_road({at(100, -50), at(100, 50)}); // on the box's right edge
    XrGid inside = roads.add_road({at(99, -50), at(99, 50)});
    XrStreetFinder f(&roads);
    EXPECT_EQ(search(f, at(0, 0), 50, 5), (std::vector<XrGid>{inside}));
    // A negative radius spans the same box.
    EXPECT_EQ(search(f, at(0, 0), -50, 5), (std::vector<XrGid>{inside}));
}

TEST(StreetFinder, HeadingAndSpeed)
{
    RoadStorage roads;
    XrGid crossing = roads.add_road({at(10, -300), at(10, 300)}); // direction 90, 10 away
    XrGid along = roads.add_road({at(-300, 25), at(300, 25)});    // direction 0, 25 away
    XrStreetFinder f(&roads);

    struct Case {
        int heading;
        double speed;
        std::vector<XrGid> order;
    } cases[] = {
        {-1, -1.0, {crossing, along}},     // distances only
        {-1, KMH_36, {crossing, along}},
        {0, KMH_10, {along, crossing}},    // 10 + 90 / 3 against 25
        {0, KMH_20, {along, crossing}},    // 10 + 90
        {0, KMH_30, {along}},              // a crossing road is refused
        {180, KMH_30, {along}},            // the undirected angle counts
        {90, KMH_30, {crossing}},
        {80, -1.0, {crossing, along}},     // 10 + 10 / 4 against 25 + 80 / 3
    };
    for (const Case& c : cases)
        EXPECT_EQ(search(f, at(0, 0), 100, 5, c.heading, c.speed), c.order) << c.heading << " " << c.speed;
}

TEST(StreetFinder, CrossingRoadIsNeverReturnedWithoutAGraph)
{
    RoadStorage roads;
    XrGid crossing = roads.add_road({at(150, -300), at(150, 300)});
    XrStreetFinder f(&roads);
    EXPECT_TRUE(search(f, at(0, 0), 100, 5, 0, KMH_30).empty());
    // With a graph the pass is repeated without the heading.
    FakeGraph graph;
    EXPECT_EQ(search(f, at(0, 0), 100, 5, 0, KMH_30, &graph), (std::vector<XrGid>{crossing}));
    EXPECT_TRUE(graph.asked.empty()); // too far for the graph's directions
}

TEST(StreetFinder, OneWayBits)
{
    struct Case {
        BYTE bits;
        int tolerance;
        int heading;
        bool found;
    } cases[] = {
        {0x20, 90, 0, true},   {0x20, 90, 180, false}, {0x20, 90, 90, true},  {0x20, 90, 270, true},
        {0x20, 45, 90, false}, {0x20, 45, 45, true},   {0x40, 90, 180, true}, {0x40, 90, 0, false},
        {0x40, 90, 350, false}, {0x60, 90, 90, true},  {0x60, 90, 0, false},  {0x00, 90, 180, true},
    };
    for (const Case& c : cases) {
        RoadStorage roads;
        roads.add_road({at(-300, 10), at(300, 10)}, c.bits);
        XrStreetFinder f(&roads);
        f.set_angle_tolerance(c.tolerance);
        EXPECT_EQ(search(f, at(0, 0), 100, 5, c.heading).size(), c.found ? 1u : 0u)
            << int(c.bits) << " " << c.tolerance << " " << c.heading;
    }
}

TEST(StreetFinder, GraphDirections)
{
    using G = XrEdgeDirections;
    RoadStorage roads;
    XrGid near = roads.add_road({at(-200, 20), at(200, 20)});  // direction 0, 20 away
    XrGid other = roads.add_road({at(-300, 60), at(300, 60)}); // direction 0, 60 away
    XrStreetFinder f(&roads);

    struct Case {
        int near_state;
        int other_state;
        std::vector<XrGid> order;
    } cases[] = {
        {G::ForwardOnly, G::BackwardOnly, {other, near}}, // 20 + 180 against 60
        {G::BothWays, G::BackwardOnly, {near, other}},    // 180 folds to 0
        {G::BackwardOnly, G::BackwardOnly, {near, other}},
        {G::Unknown, G::ForwardOnly, {near, other}},
        {-1, G::ForwardOnly, {near, other}}, // not in the graph
    };
    for (const Case& c : cases) {
        FakeGraph graph;
        if (c.near_state >= 0)
            graph.states[near] = c.near_state;
        graph.states[other] = c.other_state;
        // Heading against the lines at 30 km/h.
        EXPECT_EQ(search(f, at(0, 0), 100, 5, 180, KMH_30, &graph), c.order) << c.near_state;
        // The edges are looked up at half their length.
        ASSERT_EQ(graph.asked.size(), 2u);
        EXPECT_EQ(graph.asked[0], std::make_pair(at(0, 20), near));
        EXPECT_EQ(graph.asked[1], std::make_pair(at(0, 60), other));
    }
    // A one-way road beyond the graph's distance is refused against its
    // direction; nothing else found: repeated without the heading.
    RoadStorage far_roads;
    XrGid oneway = far_roads.add_road({at(-300, 150), at(300, 150)}, 0x20);
    XrStreetFinder g(&far_roads);
    FakeGraph graph;
    EXPECT_TRUE(search(g, at(0, 0), 100, 5, 180, KMH_30).empty());
    EXPECT_EQ(search(g, at(0, 0), 100, 5, 180, KMH_30, &graph), (std::vector<XrGid>{oneway}));
}

TEST(StreetFinder, EqualScoresKeepTheEarlierRoad)
{
    RoadStorage roads;
    XrGid above = roads.add_road({at(-100, -20), at(100, -20)});
    XrGid below = roads.add_road({at(-100, 20), at(100, 20)});
    XrStreetFinder f(&roads);
    EXPECT_EQ(search(f, at(0, 0), 50, 1), (std::vector<XrGid>{above}));
    EXPECT_EQ(search(f, at(0, 0), 50, 2), (std::vector<XrGid>{above, below}));

    RoadStorage reversed;
    XrGid first = reversed.add_road({at(-100, 20), at(100, 20)});
    reversed.add_road({at(-100, -20), at(100, -20)});
    XrStreetFinder g(&reversed);
    EXPECT_EQ(search(g, at(0, 0), 50, 1), (std::vector<XrGid>{first}));
}

TEST(StreetFinder, DegenerateRecordsAreSkipped)
{
    RoadStorage roads;
    roads.add_road({at(5, 5)}); // one point: no nearest point
    XrGid good = roads.add_road({at(-100, 30), at(100, 30)});
    XrStreetFinder f(&roads);
    EXPECT_EQ(search(f, at(0, 0), 50, 5), (std::vector<XrGid>{good}));
    XrStreetFinder none(nullptr);
    EXPECT_TRUE(search(none, at(0, 0), 50, 5).empty());
}

// Map matching on three layouts of a road A running east (x grows) and a
// road C running south (y grows) from A's middle or end.
class MapMatching : public ::testing::Test {
protected:
    enum Layout { Parallel, Crossing, Joined };
    // Roads by name; Missing is a gid that no record has.
    enum Road { None, A, C, Missing };

    void build(Layout layout)
    {
        roads = std::make_unique<RoadStorage>();
        if (layout == Parallel) {
            gid[A] = roads->add_road({at(0, 0), at(1000, 0)});
            gid[C] = roads->add_road({at(0, 30), at(1000, 30)});
        } else {
            gid[A] = roads->add_road({at(0, 0), at(layout == Joined ? 500 : 1000, 0)});
            gid[C] = roads->add_road({at(500, 0), at(500, 1000)});
        }
    }

    std::unique_ptr<RoadStorage> roads;
    XrGid gid[4] = {0, 0, 0, 999};
};

TEST_F(MapMatching, Steps)
{
    struct Case {
        const char* name;
        Layout layout;
        Road prev;
        XrPoint prev_point;
        XrPoint point;
        int radius;
        int heading;
        double speed;
        int margin;
        Road road;
        XrPoint result;
        // The previous match afterwards: None = reset; Missing = unchanged.
        Road next_prev;
    } cases[] = {
        {"no previous match: the nearest road", Crossing, None, XrPoint(0, 0), at(505, 100), 60, 90, KMH_36, 0, C,
         at(500, 100), C},
        {"nearer to a parallel road, still on A", Parallel, A, at(400, 0), at(450, 16), 50, 0, KMH_36, 0, A,
         at(450, 0), A},
        {"turned away from A", Crossing, A, at(500, 0), at(505, 100), 60, 90, KMH_36, 0, C, at(500, 100), C},
        {"a road connected to A around the midpoint", Joined, A, at(500, 0), at(505, 100), 60, 90, KMH_36, 0, C,
         at(500, 50), C},
        {"kept on A by the margin, moving: 20 ahead", Crossing, A, at(500, 0), at(505, 100), 60, 90, KMH_36, 200, C,
         at(500, 20), C},
        {"kept on A by the margin, slow", Crossing, A, at(500, 0), at(505, 100), 60, 90, KMH_1, 200, A, at(500, 0),
         A},
        {"far from the previous match: restart", Crossing, A, at(500, 0), at(505, 400), 200, 90, KMH_36, 0, C,
         at(500, 400), C},
        {"a result more than 200 away resets", Crossing, A, at(500, 0), at(505, 250), 200, 90, KMH_36, 1000, C,
         at(500, 20), None},
        {"unreadable previous road", Crossing, Missing, at(500, 0), at(505, 100), 60, 90, KMH_36, 0, C,
         at(500, 100), Missing},
    };
    for (const Case& c : cases) {
        build(c.layout);
        XrPoint prev_point = c.prev_point;
        XrGid prev_gid = gid[c.prev];
        XrStreetFinder f(roads.get());
        size_t found = 0;
        ASSERT_EQ(f.find_street(c.point, c.radius, 5, found, &prev_point, &prev_gid, c.heading, nullptr, c.speed,
                                c.margin),
                  XrStreetFinder::OK)
            << c.name;
        ASSERT_EQ(found, 1u) << c.name;
        Found expected{gid[c.road], c.result};
        EXPECT_EQ(results(f)[0], expected) << c.name;
        XrGid g = 0;
        bool half = false;
        int segment = 0;
        XrPoint point;
        double distance = 0;
        ASSERT_TRUE(f.get_result(0, g, half, segment, point, distance));
        EXPECT_DOUBLE_EQ(distance, c.point.distance(c.result)) << c.name;
        Found after{prev_gid, prev_point};
        Found wanted = c.next_prev == None      ? Found{0, XrPoint(0, 0)}
                       : c.next_prev == Missing ? Found{gid[c.prev], c.prev_point}
                                                : expected;
        EXPECT_EQ(after, wanted) << c.name;
    }
}

TEST_F(MapMatching, NoRoadNear)
{
    build(Crossing);
    XrPoint prev_point = at(500, 0);
    XrGid prev_gid = gid[A];
    XrStreetFinder f(roads.get());
    size_t found = 7;
    EXPECT_EQ(f.find_street(at(5000, 5000), 60, 5, found, &prev_point, &prev_gid, 90, nullptr, KMH_36, 0),
              XrStreetFinder::NOT_FOUND);
    EXPECT_EQ(found, 0u);
    EXPECT_EQ(f.get_result_count(), 0);
    EXPECT_EQ(prev_gid, gid[A]);
    EXPECT_EQ(prev_point, at(500, 0));
}

// Roads in a geometry file: the one-way bits come from the records'
// attribute bytes and the matching reads roads back by their gids.
TEST(StreetFinderOnAGeometryFile, OneWayBitsAndMatching)
{
    auto road = [](int id, std::vector<XrPoint> pts, BYTE attribute) {
        GeomItem g;
        g.kind = XrGeomStorage::RecPolyline;
        g.id = id;
        g.type = 3;
        g.points = std::move(pts);
        if (attribute != 0)
            g.attributes = {attribute};
        return g;
    };
    std::vector<GeomItem> items = {
        road(1, {at(-300, 10), at(300, 10)}, 0x20),   // one-way east, 10 away
        road(2, {at(-300, -40), at(300, -40)}, 0),    // two-way, 40 away
        road(3, {at(0, 600), at(500, 600)}, 0),       // A of a junction
        road(4, {at(500, 600), at(500, 1600)}, 0x20), // C, one-way along its points
    };
    XrGeomFileOptions options;
    options.attr_count = 1;
    std::unique_ptr<XrSimpleGeomStorage> storage(open_bytes(build_file(items, options)));
    ASSERT_NE(storage, nullptr);

    // The gids of the records by their ids.
    std::map<int, XrGid> gid_of;
    std::unique_ptr<XrGeomCursor> cursor(storage->get_cursor(nullptr, 0));
    const BYTE* rec = nullptr;
    XrGeomStorage::XrRecordType kind;
    while (cursor->get_next_record(rec, kind) == XrGeomCursor::OK) {
        GeomItem g = decode(*cursor, rec, kind, 1);
        ASSERT_TRUE(cursor->get_current_record_geom_id(gid_of[g.id]));
    }
    ASSERT_EQ(gid_of.size(), 4u);

    XrStreetFinder f(storage.get());
    EXPECT_EQ(search(f, at(0, 0), 100, 5, 0), (std::vector<XrGid>{gid_of[1], gid_of[2]}));
    EXPECT_EQ(search(f, at(0, 0), 100, 5, 180), (std::vector<XrGid>{gid_of[2]}));

    // Turning from A into C.
    XrPoint prev_point = at(500, 600);
    XrGid prev_gid = gid_of[3];
    size_t found = 0;
    ASSERT_EQ(f.find_street(at(504, 700), 60, 1, found, &prev_point, &prev_gid, 90, nullptr, KMH_36, 0),
              XrStreetFinder::OK);
    EXPECT_EQ(results(f), (std::vector<Found>{{gid_of[4], at(500, 650)}}));
    EXPECT_EQ(prev_gid, gid_of[4]);
}

} // namespace
