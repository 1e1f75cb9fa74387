// Instructions at a catalogue of junctions, as directive dumps: the codes
// and words of each instruction, first to drive first.
#include "common/graph/xr_dijkstrapath.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <vector>

#include "common/db/xr_heapgeomstorage.h"
#include "common/storage/xr_storageaccessor.h"
#include "support/xr_temp_root.h"
#include "support/xr_text_network.h"
#include "tools/mapgen/graph_writer.h"

namespace {

XrNetworkEdge road(std::vector<XrPoint> pts, int type = 4, int category = 3, int oneway = 0)
{
    XrNetworkEdge e;
    e.points = std::move(pts);
    e.road_type = type;
    e.category = category;
    e.speed_class = type == 1 ? 0 : 3;
    e.oneway = oneway;
    return e;
}

struct DumpOptions {
    int heading = -1;        // degrees, east 0, for a fixed start direction
    bool side_words = false; // also words 8 to 10 after a "/"
    int* segments = nullptr; // the route's segment count
    std::vector<std::uint32_t>* gids = nullptr; // the route's gids, first edge first
};

std::string dump(const XrNetwork& net, size_t a, size_t b, const DumpOptions& o);

// Routes from edge a to edge b and dumps "code w2 w3 w5 w7" per directive,
// the route's first instruction first; "-" between.
std::string dump(const XrNetwork& net, size_t a, size_t b, int* segments = nullptr)
{
    DumpOptions o;
    o.segments = segments;
    return dump(net, a, b, o);
}

std::string dump(const XrNetwork& net, size_t a, size_t b, const DumpOptions& o)
{
    int* segments = o.segments;
    XrTempRoot root;
    const std::string geo = root.dir() + "/roads.qt";
    std::vector<BYTE> bytes;
    XrGraphWriterResult result;
    std::string error;
    if (!build_graph(net, XrGraphWriterOptions(), geo, bytes, result, error))
        return "writer: " + error;
    XrMemoryStorageAccessor storage(true, bytes.data(), static_cast<std::uint32_t>(bytes.size()), false);
    XrGraphAccessor2 graph(&storage, 0x80000);
    if (graph.open(nullptr) != 0)
        return "open failed";
    auto* acc = new XrFileStorageAccessor();
    acc->open(XrString(geo.c_str()), true);
    XrSimpleGeomStorage gs(acc, true, false, nullptr);
    gs.open();
    XrDijkstraPath2 search(&graph, &gs, XrString(), nullptr);
    search.set_pruning(false);
    auto mid = [&](size_t i) {
        const XrNetworkEdge& e = net.edges[i];
        return XrPoint((e.points.front().x + e.points.back().x) / 2, (e.points.front().y + e.points.back().y) / 2);
    };
    XrRouteInstructions* res = nullptr;
    if (!search.find_route(mid(a), result.gids[a], mid(b), result.gids[b], &res, nullptr, o.heading, -1, false, false,
                           nullptr))
        return "no route";
    std::unique_ptr<XrRouteInstructions> owned(res);
    if (segments)
        *segments = res->segments.items();
    if (o.gids)
        for (int i = res->segments.items() - 1; i >= 0; --i)
            o.gids->push_back(res->segments.get_item_ptr(i)->gid);
    std::ostringstream out;
    for (int i = res->directives.items() - 1; i >= 0; --i) {
        const auto* d = res->directives.get_item_ptr(i);
        if (d->code() == 0)
            continue;
        std::uint32_t w2 = d->words[1];
        if (d->code() == XrRouteInstructions::CODE_ROUNDABOUT)
            w2 &= 0x8000FFFFu; // the exit count and direction; the angle depends on point rounding
        out << d->code() << ' ' << w2 << ' ' << (d->code() == XrRouteInstructions::CODE_ROUNDABOUT ? 0 : d->words[2])
            << ' ' << d->words[4] << ' ' << d->words[6];
        if (o.side_words)
            out << " / " << d->words[7] << ' ' << d->words[8] << ' ' << d->words[9];
        if (i > 0)
            out << " - ";
    }
    return out.str();
}

// A route between two given points on edges a and b, with its figures.
struct RouteRun {
    std::unique_ptr<XrRouteInstructions> res;
    std::vector<std::uint32_t> gids; // the network's gid of each edge
    std::string error;
};

RouteRun run_route(const XrNetwork& net, size_t a, XrPoint pa, size_t b, XrPoint pb, int heading = -1,
                   int speed = -1)
{
    RouteRun run;
    XrTempRoot root;
    const std::string geo = root.dir() + "/roads.qt";
    std::vector<BYTE> bytes;
    XrGraphWriterResult result;
    if (!build_graph(net, XrGraphWriterOptions(), geo, bytes, result, run.error))
        return run;
    run.gids = result.gids;
    XrMemoryStorageAccessor storage(true, bytes.data(), static_cast<std::uint32_t>(bytes.size()), false);
    XrGraphAccessor2 graph(&storage, 0x80000);
    if (graph.open(nullptr) != 0) {
        run.error = "open failed";
        return run;
    }
    auto* acc = new XrFileStorageAccessor();
    acc->open(XrString(geo.c_str()), true);
    XrSimpleGeomStorage gs(acc, true, false, nullptr);
    gs.open();
    XrDijkstraPath2 search(&graph, &gs, XrString(), nullptr);
    search.set_pruning(false);
    XrRouteInstructions* res = nullptr;
    if (!search.find_route(pa, result.gids[a], pb, result.gids[b], &res, nullptr, heading, speed, false, false, nullptr))
        run.error = "no route";
    run.res.reset(res);
    return run;
}

std::string points_of(const XrPolygon* line)
{
    if (line == nullptr)
        return "none";
    std::ostringstream out;
    XrPoint p;
    for (int i = 0; i < line->get_point_count(); ++i)
        if (line->get_point(i, p))
            out << (i ? " " : "") << p.x << ',' << p.y;
    return out.str();
}

TEST(RouteResult, RouteOfTheStartEdgeAloneRunsBetweenTheTwoPoints)
{
    // Edge 0 runs east from x = 0 to 1000; start and target both lie on it.
    struct Case {
        int start_x, target_x, oneway, heading;
        bool along;
        const char* start_geometry;
        const char* end_geometry;
    };
    const Case cases[] = {
        {200, 700, 0, -1, true, "200,0 1000,0", "0,0 700,0"},
        {700, 200, 0, -1, false, "0,0 700,0", "200,0 1000,0"},
        {200, 700, 1, -1, true, "200,0 1000,0", "0,0 700,0"},   // one way along
        {700, 200, 2, -1, false, "0,0 700,0", "200,0 1000,0"},  // one way against
        {700, 200, 0, 0, false, "0,0 700,0", "200,0 1000,0"},   // heading east, target behind
        {200, 700, 0, 180, true, "200,0 1000,0", "0,0 700,0"},  // heading west, target behind
    };
    for (const Case& c : cases) {
        XrTextNetwork m = xr_text_network(R"(
            cell 500
            W-A-B-E
            way
            AB
            BE
            WA
        )",
                                          XrPoint(-1000, 0), road({}));
        m.net.edges[m.way("AB")].oneway = c.oneway;
        const XrNetwork& net = m.net;
        RouteRun run = run_route(net, 0, XrPoint(c.start_x, 0), 0, XrPoint(c.target_x, 0), c.heading);
        ASSERT_TRUE(run.res) << run.error << " start " << c.start_x;
        const XrRouteInstructions& r = *run.res;
        ASSERT_EQ(r.segments.items(), 1) << c.start_x;
        const XrRouteSegment* seg = r.segments.get_item_ptr(0);
        EXPECT_EQ(seg->length, 500) << c.start_x;
        EXPECT_EQ(r.total_length, 500) << c.start_x;
        EXPECT_EQ((seg->flags & XrRouteSegment::FLAG_ALONG) != 0, c.along) << c.start_x;
        EXPECT_TRUE(seg->flags & XrRouteSegment::FLAG_FIRST);
        EXPECT_EQ(points_of(r.start_geometry.get()), c.start_geometry) << c.start_x << ' ' << c.heading;
        EXPECT_EQ(points_of(r.end_geometry.get()), c.end_geometry) << c.start_x << ' ' << c.heading;
    }
}

TEST(RouteResult, LoopBackToTheTargetBehindTheStartOnAOneWayEdge)
{
    // A one-way ring; the target lies behind the start on the same edge, so
    // the route goes round and reaches the start edge a second time.
    const XrNetwork net = xr_text_network(R"(
        cell 500 250
        D-C
        | |
        A-B
        way  oneway
        AB   1       # start and target
        BC   1
        CD   1
        DA   1
    )",
                                          XrPoint(0, 0), road({}))
                              .net;
    RouteRun run = run_route(net, 0, XrPoint(800, 0), 0, XrPoint(200, 0));
    ASSERT_TRUE(run.res) << run.error;
    const XrRouteInstructions& r = *run.res;
    std::vector<std::uint32_t> gids, expect;
    std::vector<int> lengths, flags;
    for (int i = r.segments.items() - 1; i >= 0; --i) {
        gids.push_back(r.segments.get_item_ptr(i)->gid);
        lengths.push_back(r.segments.get_item_ptr(i)->length);
        flags.push_back(r.segments.get_item_ptr(i)->flags & (XrRouteSegment::FLAG_ALONG | XrRouteSegment::FLAG_FIRST));
    }
    for (size_t i : {0, 1, 2, 3, 0})
        expect.push_back(run.gids[i]);
    EXPECT_EQ(gids, expect);
    EXPECT_EQ(lengths, (std::vector<int>{200, 500, 1000, 500, 200}));
    const int along = XrRouteSegment::FLAG_ALONG, first = XrRouteSegment::FLAG_FIRST;
    EXPECT_EQ(flags, (std::vector<int>{along | first, along, along, along, along}));
    EXPECT_EQ(r.total_length, 2400);
    EXPECT_EQ(points_of(r.start_geometry.get()), "800,0 1000,0");
    EXPECT_EQ(points_of(r.end_geometry.get()), "0,0 200,0");
}

TEST(RouteResult, StartEdgeWhoseEndsMeetAtOneJunctionIsLeftTheWayItWasDriven)
{
    // Edge 0 is a loop whose two ends meet at (0, 0), where edge 1 leaves
    // west and edge 2 south; both ends of edge 0 connect to edge 1 in the
    // same direction. Driven along the loop the route arrives from the
    // north-east and bears off onto edge 1; driven back it goes straight on.
    const XrNetwork net = xr_text_network(R"(
        cell 500 1000
            C
        W-A-B
          S
        way
        ABCA
        AW
        AS
    )",
                                          XrPoint(-1000, -1000), road({}))
                              .net;
    struct Case {
        int heading, speed;
        bool along;
        int length;
        const char* codes;
    };
    const Case cases[] = {
        {-1, -1, false, 500, "7 "}, {180, -1, false, 500, "7 "}, {0, 40, true, 500 + 1000 + 1414, "1 7 "}};
    for (const Case& c : cases) {
        RouteRun run = run_route(net, 0, XrPoint(500, 0), 1, XrPoint(-500, 0), c.heading, c.speed);
        ASSERT_TRUE(run.res) << run.error << " heading " << c.heading;
        const XrRouteInstructions& r = *run.res;
        ASSERT_EQ(r.segments.items(), 2) << c.heading;
        const XrRouteSegment* start = r.segments.get_item_ptr(1);
        EXPECT_EQ(start->gid, run.gids[0]);
        EXPECT_EQ((start->flags & XrRouteSegment::FLAG_ALONG) != 0, c.along) << c.heading;
        EXPECT_NEAR(start->length, c.length, 2) << c.heading;
        std::ostringstream codes;
        for (int i = r.directives.items() - 1; i >= 0; --i)
            if (r.directives.get_item_ptr(i)->code() != 0)
                codes << r.directives.get_item_ptr(i)->code() << ' ';
        EXPECT_EQ(codes.str(), c.codes) << c.heading;
    }
}

TEST(RouteInstructions, OneEdgeRouteHasTheDestinationOnly)
{
    const XrNetwork net = xr_text_network(R"(
        cell 500
        A-B-C
        way
        AB
        BC
    )",
                                          XrPoint(0, 0), road({}))
                              .net;
    int segments = 0;
    EXPECT_EQ(dump(net, 0, 1, &segments), "7 0 0 0 0");
    EXPECT_EQ(segments, 2);
}

TEST(RouteInstructions, TJunctionTurns)
{
    const XrNetwork net = xr_text_network(R"(
        cell 500
          N
          |
        A-B-C
        way
        AB
        BC
        BN
    )",
                                          XrPoint(0, 0), road({}))
                              .net;
    EXPECT_EQ(dump(net, 0, 2), "3 0 0 500 1 - 7 0 0 0 0");  // left into the side road
    EXPECT_EQ(dump(net, 1, 2), "5 0 0 500 1 - 7 0 0 0 0");  // right into the side road
    EXPECT_EQ(dump(net, 0, 1), "7 0 0 0 0");                // straight on: nothing to say
}

TEST(RouteInstructions, CrossingStraightAndTurns)
{
    const XrNetwork net = xr_text_network(R"(
        cell 500
          N
          |
        A-B-C
          |
          S
        way
        AB
        BC
        BN
        BS
    )",
                                          XrPoint(0, -1000), road({}))
                              .net;
    EXPECT_EQ(dump(net, 0, 1), "7 0 0 0 0");
    EXPECT_EQ(dump(net, 0, 2), "3 0 0 500 1 - 7 0 0 0 0");
    EXPECT_EQ(dump(net, 0, 3), "5 0 0 500 1 - 7 0 0 0 0");
}

TEST(RouteInstructions, RoundaboutWithFourExits)
{
    // A one-way square ring (type 5) turning anticlockwise, four approach roads.
    const XrNetwork net = xr_text_network(R"(
        cell 100
         1000 |          N
          100 |          B
            0 |W        C D        E
         -100 |          F
        -1000 |          S
        way  type  oneway
        DB   5     1
        BC   5     1
        CF   5     1
        FD   5     1
        ED   -     -       # the east arm
        NB   -     -
        WC   -     -       # the west arm
        SF   -     -
    )",
                                          XrPoint(-1000, 0), road({}))
                              .net;
    // From the east arm to the west arm: two exits passed before the one taken.
    const std::string d = dump(net, 4, 6);
    EXPECT_EQ(d, "13 1 0 730 3 - 14 0 0 450 1 - 7 0 0 0 0");
    EXPECT_EQ(d.substr(0, 5), "13 1 ") << d;
    EXPECT_NE(d.find(" - 14 "), std::string::npos) << d;
    EXPECT_NE(d.find(" - 7 0 0 0 0"), std::string::npos) << d;
}

TEST(RouteInstructions, MotorwayExitAndSlipRoadThenTurn)
{
    const XrNetwork net = xr_text_network(R"(
        cell 300
          700 |            N
            0 |A---------B---------C
         -300 |            J
        -1300 |            S
        way  type  category  oneway  speed
        AB   1     0         1       0       # motorway
        BC   1     0         1       0
        BJ   3     2         1       -       # slip road
        JS   -     -         -       -
        JN   -     -         -       -
    )",
                                          XrPoint(0, 0), road({}))
                              .net;
    const std::string d = dump(net, 0, 3);
    EXPECT_EQ(d, "9 0 0 1172 2 - 5 0 0 500 1 - 7 0 0 0 0");
    EXPECT_EQ(d.substr(0, 2), "9 ") << d; // exit to the right
    EXPECT_NE(d.find(" - 5 0 0 "), std::string::npos) << d; // then right at the end of the slip road
    EXPECT_EQ(d.substr(d.size() - 9), "7 0 0 0 0");
}

XrNetworkTurn turn(int from, int to, int cls, int kind, bool right)
{
    XrNetworkTurn t;
    t.from = from;
    t.to = to;
    t.turn_class = cls;
    t.kind = kind;
    t.side = right;
    return t;
}

TEST(RouteInstructions, SideRoadsBeforeATurn)
{
    // East along y = 0, left at x = 3000; side roads at x = 1000 and 2000.
    struct Case {
        const char* name;
        bool first_left;  // the side road at x = 1000 leaves to the left (else to the right)
        int second_type;  // road type of the side road at x = 2000
        int second_len;   // its length
        const char* expect;
    };
    const Case cases[] = {
        {"two on the turn's side", true, 4, 1000, "3 0 0 500 1 / 1000 2000 0 - 7 0 0 0 0 / 500 0 0"},
        {"one on the other side", false, 4, 1000, "3 0 0 500 1 / 1000 0 0 - 7 0 0 0 0 / 500 0 0"},
        {"a ferry there", true, 6, 1000, "3 0 0 500 1 / 1000 2000 1 - 7 0 0 0 0 / 500 0 0"},
        {"a short connector", true, 4, 25, "3 0 0 500 1 / 1000 2000 1 - 7 0 0 0 0 / 500 0 0"},
    };
    for (const Case& c : cases) {
        XrNetwork net;
        for (int i = 0; i < 4; ++i)
            net.edges.push_back(road({XrPoint(1000 * i, 0), XrPoint(1000 * (i + 1), 0)})); // 0-3
        net.edges.push_back(road({XrPoint(3000, 0), XrPoint(3000, 1000)}));               // 4: target
        net.edges.push_back(road({XrPoint(1000, 0), XrPoint(1000, c.first_left ? 1000 : -1000)}));
        net.edges.push_back(road({XrPoint(2000, 0), XrPoint(2000, c.second_len)}, c.second_type));
        DumpOptions o;
        o.side_words = true;
        EXPECT_EQ(dump(net, 0, 4, o), c.expect) << c.name;
    }
}

TEST(RouteInstructions, TurnsOnAndOffAShortLinkRoadBecomeOne)
{
    // Main road east; a link road (type 3) leaves right at x = 1000 to a road south.
    struct Case {
        const char* name;
        int link_end;    // x and -y of the link road's far end
        int first_kind;  // junction kind into the link road
        int second_cls;  // turn class off it
        const char* expect;
    };
    const Case cases[] = {
        {"short: one instruction", 30, 4, 1, "11 0 0 544 2 - 7 0 0 0 0"},
        {"sharp second turn: both", 30, 4, 2, "11 0 0 544 2 - 5 0 0 500 1 - 7 0 0 0 0"},
        {"long link road: both", 60, 4, 1, "11 0 0 584 2 - 5 0 0 500 1 - 7 0 0 0 0"},
        {"bear right then right: one", 30, 3, 1, "20 0 0 544 2 - 7 0 0 0 0"},
    };
    for (const Case& c : cases) {
        XrNetwork net;
        const int e = c.link_end;
        net.edges.push_back(road({XrPoint(0, 0), XrPoint(1000, 0)}));                             // 0
        net.edges.push_back(road({XrPoint(1000, 0), XrPoint(2000, 0)}));                          // 1
        net.edges.push_back(road({XrPoint(1000, 0), XrPoint(1000 + e, -e)}, 3, 3));               // 2 link
        net.edges.push_back(road({XrPoint(1000 + e, -e), XrPoint(1000 + e, -e - 1000)}));         // 3 target
        net.edges.push_back(road({XrPoint(1000 + e, -e), XrPoint(2000 + e, -e)}));                // 4
        net.turns.push_back(turn(0, 2, 1, c.first_kind, true));
        net.turns.push_back(turn(2, 3, c.second_cls, 2, true));
        EXPECT_EQ(dump(net, 0, 3), c.expect) << c.name;
    }
}

TEST(RouteInstructions, TwoSlightTurnsOverAShortRoadBecomeOne)
{
    struct Case {
        int between;     // length of the road between the turns (x and y extent)
        const char* expect;
    };
    const Case cases[] = {{14, "6 0 0 520 2 - 7 0 0 0 0"}, {40, "3 0 0 556 2 - 3 0 0 500 1 - 7 0 0 0 0"}};
    for (const Case& c : cases) {
        const int d = c.between;
        XrNetwork net;
        net.edges.push_back(road({XrPoint(0, 0), XrPoint(1000, 0)}));                  // 0
        net.edges.push_back(road({XrPoint(1000, 0), XrPoint(2000, 0)}));               // 1
        net.edges.push_back(road({XrPoint(1000, 0), XrPoint(1000 + d, d)}));           // 2 short
        net.edges.push_back(road({XrPoint(1000 + d, d), XrPoint(1000 + d, d + 1000)})); // 3 target
        net.edges.push_back(road({XrPoint(1000 + d, d), XrPoint(2000 + d, d)}));       // 4
        net.turns.push_back(turn(0, 2, 1, 2, false));
        net.turns.push_back(turn(2, 3, 1, 2, false));
        EXPECT_EQ(dump(net, 0, 3), c.expect) << d;
    }
}

TEST(RouteInstructions, KeepOntoTheOnlyOtherRoadWhenItIsALinkRoad)
{
    struct Case {
        int other_type;
        const char* expect;
    };
    const Case cases[] = {{3, "17 0 0 502 1 - 7 0 0 0 0"}, {4, "1 0 0 502 1 - 7 0 0 0 0"}};
    for (const Case& c : cases) {
        XrNetwork net;
        net.edges.push_back(road({XrPoint(0, 0), XrPoint(1000, 0)}));                  // 0
        net.edges.push_back(road({XrPoint(1000, 0), XrPoint(2000, 100)}));             // 1 target
        net.edges.push_back(road({XrPoint(1000, 0), XrPoint(2000, -300)}, c.other_type));
        net.turns.push_back(turn(0, 1, 0, 1, false));
        EXPECT_EQ(dump(net, 0, 1), c.expect) << c.other_type;
    }
}

TEST(RouteInstructions, WrongWayRoadsOnTheTurnsSideLowerTheRoadCount)
{
    // Left at x = 1000 past a road on the left (one way towards the junction
    // or two way) that comes before the turn in the record.
    struct Case {
        int oneway;
        const char* expect;
    };
    const Case cases[] = {{0, "3 1 0 500 1 - 7 0 0 0 0"}, {1, "3 0 0 500 1 - 7 0 0 0 0"}};
    for (const Case& c : cases) {
        XrNetwork net;
        net.edges.push_back(road({XrPoint(0, 0), XrPoint(1000, 0)}));                          // 0
        net.edges.push_back(road({XrPoint(300, 700), XrPoint(1000, 0)}, 4, 3, c.oneway));      // 1
        net.edges.push_back(road({XrPoint(1000, 0), XrPoint(1000, 1000)}));                    // 2 target
        net.edges.push_back(road({XrPoint(1000, 0), XrPoint(2000, 0)}));                       // 3
        net.turns.push_back(turn(0, 2, 2, 5, false));
        EXPECT_EQ(dump(net, 0, 2), c.expect) << c.oneway;
    }
}

TEST(RouteInstructions, TurningAheadAtAFixedStartDirection)
{
    // Heading east on edge 1, the destination lies behind: the route starts
    // with the road ahead (edge 2), driven back.
    XrNetwork net;
    net.edges.push_back(road({XrPoint(0, 0), XrPoint(1000, 0)}));     // 0
    net.edges.push_back(road({XrPoint(1000, 0), XrPoint(2000, 0)}));  // 1 start
    net.edges.push_back(road({XrPoint(2000, 0), XrPoint(3000, 0)}));  // 2
    net.edges.push_back(road({XrPoint(0, 0), XrPoint(-1000, 0)}));    // 3 target
    struct Case {
        int heading;
        std::vector<size_t> route;
    };
    const Case cases[] = {{0, {2, 1, 0, 3}}, {180, {1, 0, 3}}, {-1, {1, 0, 3}}};
    for (const Case& c : cases) {
        XrTempRoot root;
        std::vector<BYTE> bytes;
        XrGraphWriterResult result;
        std::string error;
        ASSERT_TRUE(build_graph(net, XrGraphWriterOptions(), root.dir() + "/roads.qt", bytes, result, error)) << error;
        std::vector<std::uint32_t> gids;
        DumpOptions o;
        o.heading = c.heading;
        o.gids = &gids;
        EXPECT_EQ(dump(net, 1, 3, o), "7 0 0 0 0") << c.heading;
        std::vector<std::uint32_t> expect;
        for (size_t i : c.route)
            expect.push_back(result.gids[i]);
        EXPECT_EQ(gids, expect) << c.heading;
    }
}

TEST(RouteInstructions, SlightTurnSaysWhenNoOtherRoadCompetes)
{
    // A slight left; the other road there bears to the other side or to the same one.
    struct Case {
        bool other_right;
        const char* expect;
    };
    const Case cases[] = {{true, "3 0 1 559 1 - 7 0 0 0 0"}, {false, "3 0 0 559 1 - 7 0 0 0 0"}};
    for (const Case& c : cases) {
        XrNetwork net;
        net.edges.push_back(road({XrPoint(0, 0), XrPoint(1000, 0)}));     // 0
        net.edges.push_back(road({XrPoint(1000, 0), XrPoint(2000, 500)})); // 1 target
        net.edges.push_back(road({XrPoint(1000, 0), XrPoint(2000, -500)}));
        net.turns.push_back(turn(0, 1, 1, 2, false));
        net.turns.push_back(turn(0, 2, 1, 2, c.other_right));
        EXPECT_EQ(dump(net, 0, 1), c.expect) << c.other_right;
    }
}

} // namespace
