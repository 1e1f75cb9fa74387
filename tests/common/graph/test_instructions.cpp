// Instructions at a catalogue of junctions, as directive dumps: the codes
// and words of each instruction, first to drive first.
#include "common/graph/xr_dijkstrapath.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "common/db/xr_heapgeomstorage.h"
#include "common/storage/xr_storageaccessor.h"
#include "support/xr_temp_root.h"
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

// Routes from edge a to edge b and dumps "code w2 w3 w5 w7" per directive,
// the route's first instruction first; "-" between.
std::string dump(const XrNetwork& net, size_t a, size_t b, int* segments = nullptr)
{
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
    if (!search.find_route(mid(a), result.gids[a], mid(b), result.gids[b], &res, nullptr, -1, -1, false, false,
                           nullptr))
        return "no route";
    std::unique_ptr<XrRouteInstructions> owned(res);
    if (segments)
        *segments = res->segments.items();
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
        if (i > 0)
            out << " - ";
    }
    return out.str();
}

TEST(RouteInstructions, OneEdgeRouteHasTheDestinationOnly)
{
    XrNetwork net;
    net.edges.push_back(road({XrPoint(0, 0), XrPoint(1000, 0)}));
    net.edges.push_back(road({XrPoint(1000, 0), XrPoint(2000, 0)}));
    int segments = 0;
    EXPECT_EQ(dump(net, 0, 1, &segments), "7 0 0 0 0");
    EXPECT_EQ(segments, 2);
}

TEST(RouteInstructions, TJunctionTurns)
{
    // West-east main road, a side road to the north at x = 1000.
    XrNetwork net;
    net.edges.push_back(road({XrPoint(0, 0), XrPoint(1000, 0)}));
    net.edges.push_back(road({XrPoint(1000, 0), XrPoint(2000, 0)}));
    net.edges.push_back(road({XrPoint(1000, 0), XrPoint(1000, 1000)}));
    EXPECT_EQ(dump(net, 0, 2), "3 0 0 500 1 - 7 0 0 0 0");  // left into the side road
    EXPECT_EQ(dump(net, 1, 2), "5 0 0 500 1 - 7 0 0 0 0");  // right into the side road
    EXPECT_EQ(dump(net, 0, 1), "7 0 0 0 0");                // straight on: nothing to say
}

TEST(RouteInstructions, CrossingStraightAndTurns)
{
    XrNetwork net;
    net.edges.push_back(road({XrPoint(0, 0), XrPoint(1000, 0)}));
    net.edges.push_back(road({XrPoint(1000, 0), XrPoint(2000, 0)}));
    net.edges.push_back(road({XrPoint(1000, 0), XrPoint(1000, 1000)}));
    net.edges.push_back(road({XrPoint(1000, 0), XrPoint(1000, -1000)}));
    EXPECT_EQ(dump(net, 0, 1), "7 0 0 0 0");
    EXPECT_EQ(dump(net, 0, 2), "3 0 0 500 1 - 7 0 0 0 0");
    EXPECT_EQ(dump(net, 0, 3), "5 0 0 500 1 - 7 0 0 0 0");
}

TEST(RouteInstructions, RoundaboutWithFourExits)
{
    // A one-way square ring (type 5) turning anticlockwise, four approach roads.
    XrNetwork net;
    const XrPoint c[4] = {XrPoint(100, 0), XrPoint(0, 100), XrPoint(-100, 0), XrPoint(0, -100)};
    for (int i = 0; i < 4; ++i)
        net.edges.push_back(road({c[i], c[(i + 1) % 4]}, 5, 3, 1));
    const XrPoint out[4] = {XrPoint(1000, 0), XrPoint(0, 1000), XrPoint(-1000, 0), XrPoint(0, -1000)};
    for (int i = 0; i < 4; ++i)
        net.edges.push_back(road({out[i], c[i]}));
    // From the east arm to the west arm: two exits passed before the one taken.
    const std::string d = dump(net, 4, 6);
    EXPECT_EQ(d, "13 1 0 730 3 - 14 0 0 450 1 - 7 0 0 0 0");
    EXPECT_EQ(d.substr(0, 5), "13 1 ") << d;
    EXPECT_NE(d.find(" - 14 "), std::string::npos) << d;
    EXPECT_NE(d.find(" - 7 0 0 0 0"), std::string::npos) << d;
}

TEST(RouteInstructions, MotorwayExitAndSlipRoadThenTurn)
{
    XrNetwork net;
    net.edges.push_back(road({XrPoint(0, 0), XrPoint(3000, 0)}, 1, 0, 1));          // 0 motorway
    net.edges.push_back(road({XrPoint(3000, 0), XrPoint(6000, 0)}, 1, 0, 1));       // 1 motorway on
    net.edges.push_back(road({XrPoint(3000, 0), XrPoint(3600, -300)}, 3, 2, 1));    // 2 slip road
    net.edges.push_back(road({XrPoint(3600, -300), XrPoint(3600, -1300)}));          // 3 road to the south
    net.edges.push_back(road({XrPoint(3600, -300), XrPoint(3600, 700)}));            // 4 road to the north
    const std::string d = dump(net, 0, 3);
    EXPECT_EQ(d, "9 0 0 1172 2 - 5 0 0 500 1 - 7 0 0 0 0");
    EXPECT_EQ(d.substr(0, 2), "9 ") << d; // exit to the right
    EXPECT_NE(d.find(" - 5 0 0 "), std::string::npos) << d; // then right at the end of the slip road
    EXPECT_EQ(d.substr(d.size() - 9), "7 0 0 0 0");
}

} // namespace
