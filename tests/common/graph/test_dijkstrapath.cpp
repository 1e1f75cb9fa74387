#include "common/graph/xr_dijkstrapath.h"

#include <gtest/gtest.h>

#include <boost/graph/adjacency_list.hpp>
#include <boost/graph/dijkstra_shortest_paths.hpp>

#include <map>
#include <memory>
#include <limits>
#include <random>

#include "common/db/xr_heapgeomstorage.h"
#include "common/graph/xr_graphlayout.h"
#include "common/storage/xr_storageaccessor.h"
#include "support/xr_temp_root.h"
#include "tests/common/graph/graph_fixture.h"

using namespace xr_graph;
using Edge = XrGraphAccessor2::XrEdgeData;

namespace {

// A written network opened with its reader and road geometry.
struct Map {
    Map(const XrNetwork& n, const XrGraphWriterOptions& opt = XrGraphWriterOptions()) : net(n)
    {
        geometry_path = root.dir() + "/roads.qt";
        std::string error;
        EXPECT_TRUE(build_graph(net, opt, geometry_path, bytes, result, error)) << error;
        storage.reset(new XrMemoryStorageAccessor(true, bytes.data(), static_cast<std::uint32_t>(bytes.size()), false));
        graph.reset(new XrGraphAccessor2(storage.get(), 0x80000));
        EXPECT_EQ(graph->open(nullptr), 0);
        auto* a = new XrFileStorageAccessor();
        EXPECT_TRUE(a->open(XrString(geometry_path.c_str()), true));
        geometry.reset(new XrSimpleGeomStorage(a, true, false, nullptr));
        EXPECT_EQ(geometry->open(), 0);
    }
    XrPoint mid(size_t i) const
    {
        const XrNetworkEdge& e = net.edges[i];
        const XrPoint& a = e.points.front();
        const XrPoint& b = e.points.back();
        return XrPoint((a.x + b.x) / 2, (a.y + b.y) / 2);
    }

    XrTempRoot root;
    XrNetwork net;
    std::string geometry_path;
    std::vector<BYTE> bytes;
    XrGraphWriterResult result;
    std::unique_ptr<XrMemoryStorageAccessor> storage;
    std::unique_ptr<XrGraphAccessor2> graph;
    std::unique_ptr<XrSimpleGeomStorage> geometry;
};

using BGraph = boost::adjacency_list<boost::vecS, boost::vecS, boost::directedS, boost::no_property,
                                     boost::property<boost::edge_weight_t, long long>>;

// The reference: every (edge, direction) a vertex, every legal transition an
// arc weighted as the search weighs it, shortest paths by Boost.
struct Reference {
    std::map<std::pair<int, int>, int> vertex; // (handle, dir) -> vertex
    std::unique_ptr<BGraph> g;

    int v(int h, int d)
    {
        auto it = vertex.emplace(std::make_pair(h, d), static_cast<int>(vertex.size())).first;
        return it->second;
    }

    void build(XrGraphAccessor2& acc, XrDijkstraPath2& search, const XrDijkstraPath2::XrCostTable& table, int mode)
    {
        const int inner = acc.get_num_inner_nodes();
        std::vector<std::tuple<int, int, long long>> arcs;
        for (int t = inner; t < inner + 4 * acc.get_num_leaves(); ++t)
            for (int main = 0; main < 2; ++main) {
                if (main && (t - inner) % 4 != 0)
                    continue;
                for (int en = 0; en < MAX_TILE_EDGES; ++en) {
                    const int h = acc.make_handle(t, main != 0, en);
                    Edge e;
                    int len = 0;
                    if (acc.get_tile_data(t, main != 0, len) == nullptr || len == 0)
                        break;
                    if (acc.get_edge_by_handle(h, e) == -1)
                        break;
                    int ch = 0, turn = 0;
                    while (acc.get_next_edge_connection(e, ch, turn)) {
                        if ((ch & HANDLE_DIRECTION) && mode != 2)
                            continue;
                        const int d = (turn & TURN_FROM_START) ? 0 : 1;
                        const int td = (turn & TURN_TARGET_DIR) ? 1 : 0;
                        Edge f;
                        ASSERT_NE(acc.get_edge_by_handle(ch & ~HANDLE_DIRECTION, f), -1);
                        int result = 0;
                        const long long w = search.edge_cost(e, table) + search.edge_cost(f, table) +
                                            search.calc_turn_penalty(e, f, turn, (ch & HANDLE_DIRECTION) != 0, result);
                        arcs.emplace_back(v(h, d), v(ch & ~HANDLE_DIRECTION, td), w);
                    }
                }
            }
        g.reset(new BGraph(vertex.size()));
        for (auto& a : arcs)
            boost::add_edge(std::get<0>(a), std::get<1>(a), std::get<2>(a), *g);
    }

    // Cheapest cost from either seed direction of start to either direction of target.
    long long cost(int start, const std::vector<int>& seeds, int target)
    {
        long long best = std::numeric_limits<long long>::max();
        std::vector<long long> dist(boost::num_vertices(*g));
        for (int sd : seeds) {
            if (!vertex.count({start, sd}))
                continue;
            boost::dijkstra_shortest_paths(*g, static_cast<BGraph::vertex_descriptor>(vertex[{start, sd}]),
                                           boost::distance_map(dist.data()));
            for (int d = 0; d < 2; ++d)
                if (vertex.count({target, d}))
                    best = std::min(best, dist[static_cast<size_t>(vertex[{target, d}])]);
        }
        return best;
    }
};

int handle_of(Map& m, size_t i)
{
    return m.graph->get_edge_handle_by_geometry(m.geometry.get(), m.result.gids[i], nullptr);
}

struct CompareCase {
    std::uint32_t seed;
    int mode;
};

class SearchVsBoost : public ::testing::TestWithParam<CompareCase> {};

TEST_P(SearchVsBoost, CostsEqualTheReferenceWithPruningOff)
{
    XrGridOptions g;
    g.columns = 14;
    g.rows = 12;
    g.seed = GetParam().seed;
    g.long_links = 6;
    XrGraphWriterOptions opt;
    opt.max_tile_edges = 50;
    Map m(xr_make_grid_network(g), opt);
    const int mode = GetParam().mode;
    XrDijkstraPath2 search(m.graph.get(), m.geometry.get(), XrString(m.root.dir().c_str()), nullptr);
    search.route_mode = mode;
    search.set_pruning(false);
    const auto table = XrDijkstraPath2::default_cost_table(mode);
    Reference ref;
    ref.build(*m.graph, search, table, mode);
    const long long damage = m.graph->get_damage_count(); // the walk above probes past each tile's last edge
    std::mt19937 rng(GetParam().seed);
    const int n = static_cast<int>(m.net.edges.size());
    int found = 0;
    for (int q = 0; q < 12; ++q) {
        const size_t a = static_cast<size_t>(std::uniform_int_distribution<int>(0, n - 1)(rng));
        const size_t b = static_cast<size_t>(std::uniform_int_distribution<int>(0, n - 1)(rng));
        if (a == b)
            continue;
        XrRouteInstructions* res = nullptr;
        const bool ok = search.find_route(m.mid(a), m.result.gids[a], m.mid(b), m.result.gids[b], &res, &table, -1,
                                          -1, false, false, nullptr);
        std::unique_ptr<XrRouteInstructions> owned(res);
        std::vector<int> seeds;
        const XrNetworkEdge& se = m.net.edges[a];
        if (se.oneway != 2 || mode == 2)
            seeds.push_back(1);
        if (se.oneway != 1 || mode == 2)
            seeds.push_back(0);
        const long long expect = ref.cost(handle_of(m, a), seeds, handle_of(m, b));
        if (expect == std::numeric_limits<long long>::max()) {
            EXPECT_FALSE(ok) << a << " -> " << b;
            continue;
        }
        ASSERT_TRUE(ok) << a << " -> " << b;
        EXPECT_EQ(search.get_route_cost(), expect) << a << " -> " << b;
        ASSERT_NE(res, nullptr);
        EXPECT_GE(res->segments.items(), 2);
        EXPECT_EQ(res->segments.get_item_ptr(0)->gid, m.result.gids[b]);
        EXPECT_EQ(res->segments.get_item_ptr(res->segments.items() - 1)->gid, m.result.gids[a]);
        // No one-way edge is driven against its direction.
        for (int i = 0; i < res->segments.items(); ++i) {
            const XrRouteSegment* s = res->segments.get_item_ptr(i);
            for (size_t k = 0; k < m.result.gids.size(); ++k)
                if (m.result.gids[k] == s->gid && m.net.edges[k].oneway != 0 && mode != 2 && i > 0 &&
                    i + 1 < res->segments.items()) {
                    EXPECT_EQ((s->flags & XrRouteSegment::FLAG_ALONG) != 0, m.net.edges[k].oneway == 1);
                }
        }
        ++found;
    }
    EXPECT_GT(found, 3);
    EXPECT_EQ(m.graph->get_damage_count(), damage);
}

INSTANTIATE_TEST_SUITE_P(Graphs, SearchVsBoost,
                         ::testing::Values(CompareCase{1, 3}, CompareCase{2, 3}, CompareCase{3, 1}, CompareCase{4, 0},
                                           CompareCase{5, 2}));

// A straight road of three edges with a bypass: a --e0-- b --e1-- c --e2-- d,
// and b --e3-- x --e4-- c.
XrNetwork line_with_bypass()
{
    XrNetwork net;
    auto add = [&](std::vector<XrPoint> pts, int speed) {
        XrNetworkEdge e;
        e.points = std::move(pts);
        e.speed_class = speed;
        e.category = 3;
        e.road_type = 4;
        net.edges.push_back(e);
    };
    add({XrPoint(0, 0), XrPoint(400, 0)}, 2);
    add({XrPoint(400, 0), XrPoint(800, 0)}, 2);
    add({XrPoint(800, 0), XrPoint(1200, 0)}, 2);
    add({XrPoint(400, 0), XrPoint(600, 300)}, 2);
    add({XrPoint(600, 300), XrPoint(800, 0)}, 2);
    return net;
}

long long route_cost(Map& m, XrDijkstraPath2& s, size_t a, size_t b, XrRouteInstructions** keep = nullptr)
{
    XrRouteInstructions* res = nullptr;
    if (!s.find_route(m.mid(a), m.result.gids[a], m.mid(b), m.result.gids[b], &res, nullptr, -1, -1, false, false,
                      nullptr))
        return -1;
    if (keep)
        *keep = res;
    else
        delete res;
    return s.get_route_cost();
}

// With pruning on, in mode 3 and on a network small enough that the tables
// prune nothing, roads without a choice are followed without settling their
// edges: the costs stay those of the reference and fewer edges are settled.
TEST(RouteSearch, ChainsKeepTheCostsAndSettleFewerEdges)
{
    for (std::uint32_t seed = 1; seed <= 3; ++seed) {
        XrGridOptions g;
        g.columns = 9;
        g.rows = 9;
        g.seed = seed;
        g.drop = 0.3;
        g.long_links = 0;
        XrGraphWriterOptions opt;
        opt.max_tile_edges = 40;
        Map m(xr_make_grid_network(g), opt);
        XrDijkstraPath2 plain(m.graph.get(), m.geometry.get(), XrString(), nullptr);
        plain.route_mode = 3;
        plain.set_pruning(false);
        XrDijkstraPath2 chained(m.graph.get(), m.geometry.get(), XrString(), nullptr);
        chained.route_mode = 3;
        const auto table = XrDijkstraPath2::default_cost_table(3);
        Reference ref;
        ref.build(*m.graph, plain, table, 3);
        std::mt19937 rng(seed);
        const int n = static_cast<int>(m.net.edges.size());
        long long settled_plain = 0, settled_chained = 0;
        int found = 0;
        for (int q = 0; q < 16; ++q) {
            const size_t a = static_cast<size_t>(std::uniform_int_distribution<int>(0, n - 1)(rng));
            const size_t b = static_cast<size_t>(std::uniform_int_distribution<int>(0, n - 1)(rng));
            if (a == b)
                continue;
            XrRouteInstructions* r1 = nullptr;
            XrRouteInstructions* r2 = nullptr;
            const bool ok1 = plain.find_route(m.mid(a), m.result.gids[a], m.mid(b), m.result.gids[b], &r1, &table, -1,
                                              -1, false, false, nullptr);
            const bool ok2 = chained.find_route(m.mid(a), m.result.gids[a], m.mid(b), m.result.gids[b], &r2, &table,
                                                -1, -1, false, false, nullptr);
            std::unique_ptr<XrRouteInstructions> o1(r1), o2(r2);
            ASSERT_EQ(ok1, ok2) << seed << ": " << a << " -> " << b;
            if (!ok1)
                continue;
            std::vector<int> seeds;
            if (m.net.edges[a].oneway != 2)
                seeds.push_back(1);
            if (m.net.edges[a].oneway != 1)
                seeds.push_back(0);
            EXPECT_EQ(plain.get_route_cost(), ref.cost(handle_of(m, a), seeds, handle_of(m, b)));
            EXPECT_EQ(chained.get_route_cost(), plain.get_route_cost()) << seed << ": " << a << " -> " << b;
            // The edges passed by chains are back in the route.
            ASSERT_NE(r2, nullptr);
            EXPECT_EQ(r2->segments.get_item_ptr(0)->gid, m.result.gids[b]);
            EXPECT_EQ(r2->segments.get_item_ptr(r2->segments.items() - 1)->gid, m.result.gids[a]);
            settled_plain += plain.get_settled_count();
            settled_chained += chained.get_settled_count();
            ++found;
        }
        EXPECT_GT(found, 4);
        EXPECT_LT(settled_chained, settled_plain) << seed;
    }
}

// A straight road of ten edges of 100 with a side road at x = 400.
XrNetwork straight_road(int middle_type)
{
    XrNetwork net;
    for (int i = 0; i < 10; ++i) {
        XrNetworkEdge e;
        e.points = {XrPoint(100 * i, 0), XrPoint(100 * (i + 1), 0)};
        e.category = 3;
        e.road_type = (i >= 5 && i <= 7) ? middle_type : 4;
        e.speed_class = e.road_type == 7 ? 6 : 2;
        net.edges.push_back(e);
    }
    XrNetworkEdge side;
    side.points = {XrPoint(400, 0), XrPoint(400, 300)};
    side.category = 3;
    side.road_type = 4;
    side.speed_class = 2;
    net.edges.push_back(side);
    return net;
}

TEST(RouteSearch, ChainStepsAreNotSettledAndComeBackInTheRoute)
{
    struct Case {
        int mode;
        int middle_type;    // type 7 roads are never followed as chains
        int most_settled;   // with chains
    };
    const Case cases[] = {{0, 4, 5}, {3, 4, 5}, {0, 7, 9}, {3, 7, 9}};
    for (const Case& c : cases) {
        Map m(straight_road(c.middle_type));
        XrDijkstraPath2 plain(m.graph.get(), m.geometry.get(), XrString(), nullptr);
        plain.route_mode = c.mode;
        plain.set_pruning(false);
        XrDijkstraPath2 chained(m.graph.get(), m.geometry.get(), XrString(), nullptr);
        chained.route_mode = c.mode;
        XrRouteInstructions* res = nullptr;
        const long long expect = route_cost(m, plain, 0, 9);
        ASSERT_GT(expect, 0);
        ASSERT_EQ(route_cost(m, chained, 0, 9, &res), expect) << c.mode << " " << c.middle_type;
        std::unique_ptr<XrRouteInstructions> owned(res);
        EXPECT_GE(plain.get_settled_count(), 11);
        EXPECT_LE(chained.get_settled_count(), c.most_settled) << c.mode << " " << c.middle_type;
        EXPECT_GE(chained.get_expanded_count(), 9);
        // Every edge of the road, last first, each driven along its points.
        ASSERT_EQ(res->segments.items(), 10);
        for (int i = 0; i < 10; ++i) {
            const XrRouteSegment* s = res->segments.get_item_ptr(i);
            EXPECT_EQ(s->gid, m.result.gids[static_cast<size_t>(9 - i)]) << i;
            if (i < 9) {
                EXPECT_NE(s->flags & XrRouteSegment::FLAG_ALONG, 0) << i;
            }
        }
        EXPECT_EQ(res->total_length, 900); // half of the first and of the last edge
    }
}

// A turn restriction whose earlier edge was passed by a chain still counts.
TEST(RouteSearch, ManoeuvreSeenThroughAChain)
{
    XrNetwork net;
    auto add = [&](XrPoint a, XrPoint b) {
        XrNetworkEdge e;
        e.points = {a, b};
        e.category = 3;
        e.road_type = 4;
        e.speed_class = 2;
        net.edges.push_back(e);
    };
    add(XrPoint(0, 0), XrPoint(400, 0));       // 0
    add(XrPoint(400, 0), XrPoint(800, 0));     // 1: passed by a chain
    add(XrPoint(800, 0), XrPoint(1200, 0));    // 2
    add(XrPoint(1200, 0), XrPoint(1600, 0));   // 3
    add(XrPoint(800, 0), XrPoint(1000, 300));  // 4
    add(XrPoint(1000, 300), XrPoint(1200, 0)); // 5
    for (int restricted = 0; restricted < 2; ++restricted) {
        if (restricted)
            net.manoeuvres.push_back(XrNetworkManoeuvre{{2, 1, 0}});
        Map m(net);
        XrDijkstraPath2 s(m.graph.get(), m.geometry.get(), XrString(), nullptr);
        XrRouteInstructions* res = nullptr;
        ASSERT_GT(route_cost(m, s, 0, 3, &res), 0);
        std::unique_ptr<XrRouteInstructions> owned(res);
        EXPECT_TRUE(res->contains_gid(m.result.gids[1]));
        EXPECT_EQ(res->contains_gid(m.result.gids[2]), restricted == 0);
        EXPECT_EQ(res->contains_gid(m.result.gids[4]), restricted == 1);
    }
}

TEST(RouteSearch, MajorRoadFlagKeepsToMajorRoads)
{
    struct Case {
        int type_of_minor;  // type 7 roads are exempt
        int flag;
        bool takes_minor;
    };
    const Case cases[] = {{4, 0, true}, {4, 1, false}, {7, 1, true}};
    for (const Case& c : cases) {
        XrNetwork net = line_with_bypass();
        net.edges[1].category = 5;
        net.edges[1].road_type = c.type_of_minor;
        net.edges[1].speed_class = c.type_of_minor == 7 ? 6 : 2;
        Map m(net);
        XrDijkstraPath2 s(m.graph.get(), m.geometry.get(), XrString(), nullptr);
        s.major_road = static_cast<std::uint16_t>(c.flag);
        XrRouteInstructions* res = nullptr;
        ASSERT_GT(route_cost(m, s, 0, 2, &res), 0);
        std::unique_ptr<XrRouteInstructions> owned(res);
        EXPECT_EQ(res->contains_gid(m.result.gids[1]), c.takes_minor) << c.type_of_minor << " " << c.flag;
        EXPECT_EQ(res->contains_gid(m.result.gids[3]), !c.takes_minor) << c.type_of_minor << " " << c.flag;
    }
}

TEST(RouteSearch, ClosedEdgeIsNeverEntered)
{
    Map m(line_with_bypass());
    XrDijkstraPath2 s(m.graph.get(), m.geometry.get(), XrString(), nullptr);
    s.set_pruning(false);
    XrRouteInstructions* res = nullptr;
    const long long direct = route_cost(m, s, 0, 2, &res);
    ASSERT_GT(direct, 0);
    EXPECT_TRUE(res->contains_gid(m.result.gids[1]));
    delete res;
    XrDijkstraPath2 closed(m.graph.get(), m.geometry.get(), XrString(), nullptr);
    closed.set_pruning(false);
    closed.add_blocked_point(m.mid(1), m.result.gids[1]);
    const long long around = route_cost(m, closed, 0, 2, &res);
    ASSERT_GT(around, direct);
    EXPECT_FALSE(res->contains_gid(m.result.gids[1]));
    EXPECT_TRUE(res->contains_gid(m.result.gids[3]));
    delete res;
}

TEST(RouteSearch, PenaltyAddsToHalfEdgeCostsAndTurns)
{
    Map m(line_with_bypass());
    XrDijkstraPath2 s(m.graph.get(), m.geometry.get(), XrString(), nullptr);
    Edge e;
    ASSERT_NE(m.graph->get_edge_by_handle(handle_of(m, 1), e), -1);
    const auto table = XrDijkstraPath2::default_cost_table(0);
    const long long base = s.edge_cost(e, table);
    s.add_edge_penalty(m.result.gids[1], 0x500);
    EXPECT_EQ(s.edge_cost(e, table), base + 5);
    Edge from;
    ASSERT_NE(m.graph->get_edge_by_handle(handle_of(m, 0), from), -1);
    int result = 0;
    const int straight = s.calc_turn_penalty(from, e, 0, false, result);
    EXPECT_EQ(straight, 2010);
    // Penalties add up; -1 on either side closes, and a closed start edge is
    // never left.
    auto route_from_1 = [&](std::initializer_list<int> penalties) {
        XrDijkstraPath2 t(m.graph.get(), m.geometry.get(), XrString(), nullptr);
        for (int p : penalties)
            t.add_edge_penalty(m.result.gids[1], p);
        XrRouteInstructions* out = nullptr;
        const bool found = t.find_route(m.mid(1), m.result.gids[1], m.mid(2), m.result.gids[2], &out, nullptr, -1,
                                        -1, false, false, nullptr);
        delete out;
        return found;
    };
    EXPECT_TRUE(route_from_1({0x500, 0x500}));
    EXPECT_FALSE(route_from_1({0x500, -1}));
    EXPECT_FALSE(route_from_1({-1, 0x500}));
}

TEST(RouteSearch, LongEdgeCostsStayPositive)
{
    Map m(line_with_bypass());
    XrDijkstraPath2 s(m.graph.get(), m.geometry.get(), XrString(), nullptr);
    Edge e;
    e.length = 62000000;
    e.speed_class = 7;
    e.road_type = 4;
    const auto table = XrDijkstraPath2::default_cost_table(0);
    EXPECT_EQ(s.edge_cost(e, table), 31000000LL * 1536 / 128);
}

TEST(RouteSearch, TurnRestrictionAddsTheManoeuvrePenalty)
{
    XrNetwork net = line_with_bypass();
    Map plain(net);
    XrDijkstraPath2 s1(plain.graph.get(), plain.geometry.get(), XrString(), nullptr);
    s1.set_pruning(false);
    XrRouteInstructions* res = nullptr;
    ASSERT_GT(route_cost(plain, s1, 0, 2, &res), 0);
    EXPECT_TRUE(res->contains_gid(plain.result.gids[1]));
    delete res;
    // e1 entered from e0, then e2 entered from e1: both penalised sequences.
    net.manoeuvres.push_back(XrNetworkManoeuvre{{2, 1, 0}});
    Map restricted(net);
    XrDijkstraPath2 s2(restricted.graph.get(), restricted.geometry.get(), XrString(), nullptr);
    s2.set_pruning(false);
    ASSERT_GT(route_cost(restricted, s2, 0, 2, &res), 0);
    EXPECT_FALSE(res->contains_gid(restricted.result.gids[1]));
    EXPECT_TRUE(res->contains_gid(restricted.result.gids[3]));
    delete res;
}

TEST(RouteSearch, OneWayStartIsLeftOnlyInItsDirection)
{
    XrNetwork net = line_with_bypass();
    net.edges[1].oneway = 1; // b -> c only
    Map m(net);
    XrDijkstraPath2 s(m.graph.get(), m.geometry.get(), XrString(), nullptr);
    s.set_pruning(false);
    XrRouteInstructions* res = nullptr;
    // From the one-way edge to the edge behind it: around through the bypass.
    ASSERT_GT(route_cost(m, s, 1, 0, &res), 0);
    EXPECT_TRUE(res->contains_gid(m.result.gids[4]));
    delete res;
}

TEST(RouteSearch, MissingEdgesFail)
{
    Map m(line_with_bypass());
    XrDijkstraPath2 s(m.graph.get(), m.geometry.get(), XrString(), nullptr);
    EXPECT_FALSE(s.find_route(XrPoint(0, 0), 0x7FFF0000u, m.mid(1), m.result.gids[1], nullptr, nullptr, -1, -1, false,
                              false, nullptr));
}

// A long route settles far more edges than a fixed table would hold.
TEST(RouteSearch, SettledTableGrowsForLongRoutes)
{
    XrGridOptions g;
    g.columns = 240;
    g.rows = 240;
    g.drop = 0;
    g.oneway = 0;
    g.long_links = 0;
    g.bends = 0;
    XrGraphWriterOptions opt;
    Map m(xr_make_grid_network(g), opt);
    XrDijkstraPath2 s(m.graph.get(), m.geometry.get(), XrString(), nullptr);
    s.set_pruning(false);
    s.route_mode = 3;
    const size_t last = m.net.edges.size() - 1;
    XrRouteInstructions* res = nullptr;
    ASSERT_GT(route_cost(m, s, 0, last, &res), 0);
    EXPECT_GT(s.get_settled_count(), 110000);
    EXPECT_GT(res->segments.items(), 400);
    delete res;
}

TEST(VisitInfoHash, BothDirectionsAreKeptApartAndHeapOrderHolds)
{
    XrVisitInfoHash v(4);
    XrVisitInfo r;
    r.edge_handle = 0x10005;
    r.direction = 0;
    v.add(r, 50);
    r.direction = 1;
    v.add(r, 40);
    for (int i = 0; i < 100; ++i) {
        XrVisitInfo x;
        x.edge_handle = 0x20000 + i;
        v.add(x, 1000 + (i * 37) % 100);
    }
    ASSERT_NE(v.find(0x10005, 0), nullptr);
    ASSERT_NE(v.find(0x10005, 1), nullptr);
    EXPECT_EQ(v.find(0x10005, 0)->cost, 50);
    v.update_visit_info(0x10005, 10, 0);
    EXPECT_EQ(v.find(0x10005, 1)->cost, 40);
    std::int64_t c = -1, last = -1;
    XrVisitInfo* first = v.get_first_visit_info(c);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(c, 10);
    EXPECT_EQ(first->direction, 0);
    int n = 1;
    while (v.get_first_visit_info(c) != nullptr) {
        EXPECT_GE(c, last);
        last = c;
        ++n;
    }
    EXPECT_EQ(n, 102);
    c = 77;
    EXPECT_EQ(v.get_first_visit_info(c), nullptr);
    EXPECT_EQ(c, 77);
    // A reused record keeps no old links.
    XrVisitInfo y;
    y.edge_handle = 0x30000;
    XrVisitInfo* again = v.add(y, 5);
    EXPECT_EQ(again->prev_list_item, nullptr);
    EXPECT_EQ(v.find(0x30000, 0), again);
}

TEST(EdgeHash, GrowsAndKeepsDirectionsApart)
{
    XrEdgeHash h(16);
    for (int i = 0; i < 5000; ++i) {
        ASSERT_TRUE(h.add(0x10000 * (1 + i / 2000) + i % 2000, i & 1, i));
    }
    EXPECT_EQ(h.get_count(), 5000u);
    EXPECT_EQ(h.find(0x10000 + 1, 1), 1);
    EXPECT_EQ(h.find(0x10000 + 1, 0), -2);
}

} // namespace
