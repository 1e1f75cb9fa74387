// A slip road that takes the route onto a motorway is a merge: the driver
// is told to keep or turn to its side, not to take an exit. Slip roads to
// ordinary roads and motorway exits keep their exit instructions.
#include "common/graph/xr_dijkstrapath.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "common/db/xr_heapgeomstorage.h"
#include "common/storage/xr_storageaccessor.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/graph_writer.h"

namespace {

XrNetworkEdge road(std::vector<XrPoint> pts, int type, int oneway = 0)
{
    XrNetworkEdge e;
    e.points = std::move(pts);
    e.road_type = type;
    e.category = type == 1 ? 0 : 3;
    e.speed_class = type == 1 ? 0 : 3;
    e.oneway = oneway;
    return e;
}

// The codes of the route's instructions from edge a to edge b, first to
// drive first.
std::string codes(const XrNetwork& net, size_t a, size_t b)
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
    std::ostringstream out;
    for (int i = res->directives.items() - 1; i >= 0; --i) {
        const std::uint32_t code = res->directives.get_item_ptr(i)->code();
        if (code != 0)
            out << code << (i > 0 ? " " : "");
    }
    return out.str();
}

// A town road east (0, 1); at x = 1000 a one-way slip road (2, 3: type 3,
// in two edges) leaves to the south-east and joins road 4 at (1500, -400);
// road 4 (then 5) runs east. `to_type` is the type of roads 4 and 5;
// the slip road's first bend is at (1000 + bend_x, bend_y): a slight or a
// sharp leave.
XrNetwork slip_road(int to_type, int bend_x, int bend_y)
{
    XrNetwork net;
    const int oneway = to_type == 1 ? 1 : 0;
    net.edges.push_back(road({XrPoint(0, 0), XrPoint(1000, 0)}, 4));                          // 0
    net.edges.push_back(road({XrPoint(1000, 0), XrPoint(2000, 0)}, 4));                       // 1
    const XrPoint bend(1000 + bend_x, bend_y);
    net.edges.push_back(road({XrPoint(1000, 0), bend}, 3, 1));                                // 2
    net.edges.push_back(road({bend, XrPoint(1500, -400)}, 3, 1));                             // 3
    net.edges.push_back(road({XrPoint(500, -400), XrPoint(1500, -400)}, to_type, oneway));    // 4
    net.edges.push_back(road({XrPoint(1500, -400), XrPoint(3500, -400)}, to_type, oneway));   // 5
    return net;
}

TEST(RouteInstructionsMerge, SlipRoadOntoAMotorwayIsNotAnExit)
{
    const struct {
        const char* name;
        int to_type;
        int bend_x, bend_y;
        const char* expect;
    } cases[] = {
        {"onto a motorway, slight: keep right", 1, 200, -30, "18 7"},
        {"onto a motorway, sharp: turn right", 1, 50, -300, "5 7"},
        // (then keep on at the two-way road it joins)
        {"onto a town road: exit right", 4, 200, -30, "11 1 7"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(codes(slip_road(c.to_type, c.bend_x, c.bend_y), 0, 5), c.expect) << c.name;
}

TEST(RouteInstructionsMerge, LeavingTheMotorwayIsStillAnExit)
{
    // A motorway east; a one-way slip road leaves it to the south-east onto a
    // town road (where the route keeps on south).
    XrNetwork net;
    net.edges.push_back(road({XrPoint(0, 0), XrPoint(1000, 0)}, 1, 1));            // 0
    net.edges.push_back(road({XrPoint(1000, 0), XrPoint(3000, 0)}, 1, 1));         // 1
    net.edges.push_back(road({XrPoint(1000, 0), XrPoint(1300, -300)}, 3, 1));      // 2
    net.edges.push_back(road({XrPoint(1300, -300), XrPoint(1300, -1300)}, 4));     // 3
    net.edges.push_back(road({XrPoint(1300, -300), XrPoint(2300, -300)}, 4));      // 4
    EXPECT_EQ(codes(net, 0, 3), "9 1 7");
}

} // namespace
