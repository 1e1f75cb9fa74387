// Ferries are road type 7 wherever the program speaks of them: the search
// keeps them out when they are avoided, and a route over one says so.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "common/db/xr_simplegeomstorage.h"
#include "common/graph/xr_dijkstrapath.h"
#include "common/graph/xr_graphlayout.h"
#include "common/storage/xr_storageaccessor.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/graph_writer.h"

namespace {

TEST(RouteSearchFerry, FerriesAreTypeSevenTakenOrAvoidedAndTollRoadsAreNot)
{
    // West road to A, then a 1 km crossing from A to B or a 3 km road round,
    // then the east road from B.
    struct Case {
        const char* name;
        int stored_speed;  // of the crossing, stored as road type 7
        bool allow_ferry;
        bool ferry, toll;  // on the route found
        int length;
    };
    const Case cases[] = {
        {"ferry taken", 6, true, true, false, 2000},
        {"ferry avoided", 6, false, false, false, 4000},
        {"slow ferry taken", 7, true, true, false, 2000},
        {"toll road is no ferry", 2, false, false, true, 2000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto edge = [](std::initializer_list<XrPoint> pts, int type, int speed) {
            XrNetworkEdge e;
            e.points = pts;
            e.road_type = type;
            e.speed_class = speed;
            return e;
        };
        const int x0 = 500000, y0 = 6000000;
        XrNetwork net;
        net.edges.push_back(edge({XrPoint(x0 - 1000, y0), XrPoint(x0, y0)}, 0, 3));
        net.edges.push_back(edge({XrPoint(x0, y0), XrPoint(x0 + 1000, y0)}, 7, c.stored_speed));
        net.edges.push_back(
            edge({XrPoint(x0, y0), XrPoint(x0, y0 + 1000), XrPoint(x0 + 1000, y0 + 1000), XrPoint(x0 + 1000, y0)}, 0,
                 3));
        net.edges.push_back(edge({XrPoint(x0 + 1000, y0), XrPoint(x0 + 2000, y0)}, 0, 3));
        XrTempRoot root;
        XrGraphWriterResult result;
        std::string error;
        ASSERT_TRUE(write_graph(root.dir() + "/graph.bin", root.dir() + "/roads.qt", net, XrGraphWriterOptions(),
                                result, error))
            << error;
        XrFileStorageAccessor graph_file;
        ASSERT_TRUE(graph_file.open(XrString((root.dir() + "/graph.bin").c_str()), true));
        XrGraphAccessor2 graph(&graph_file, 0x80000);
        ASSERT_EQ(graph.open(nullptr), 0);
        auto* roads_file = new XrFileStorageAccessor();
        ASSERT_TRUE(roads_file->open(XrString((root.dir() + "/roads.qt").c_str()), true));
        XrSimpleGeomStorage roads(roads_file, true, false, nullptr);
        ASSERT_EQ(roads.open(), 0);

        XrDijkstraPath2 search(&graph, &roads, XrString(), nullptr);
        search.allow_road_type7 = c.allow_ferry;
        XrRouteInstructions* out = nullptr;
        ASSERT_TRUE(search.find_route(XrPoint(x0 - 500, y0), result.gids[0], XrPoint(x0 + 1500, y0), result.gids[3],
                                      &out, nullptr, -1, -1, false, false, nullptr));
        std::unique_ptr<XrRouteInstructions> route(out);
        EXPECT_EQ(route->uses_ferry(), c.ferry);
        EXPECT_EQ(route->uses_road_type(xr_graph::ROAD_TOLL), c.toll);
        int length = 0;
        for (int i = 0; i < route->segments.items(); ++i)
            length += route->segments.get_item_ptr(i)->length;
        EXPECT_NEAR(length, c.length, 10);
    }
}

} // namespace
