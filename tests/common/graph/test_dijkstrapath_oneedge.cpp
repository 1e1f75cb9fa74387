// Routes whose start and target lie on one edge, where no edge lies ahead of
// the start: the route is the piece of road between the two points.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/db/xr_simplegeomstorage.h"
#include "common/graph/xr_dijkstrapath.h"
#include "common/storage/xr_storageaccessor.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/graph_writer.h"

namespace {

// Roads of 400 m west to east from x = 500000, each joined to the next.
struct Roads {
    explicit Roads(int count)
    {
        XrNetwork net;
        for (int k = 0; k < count; ++k) {
            XrNetworkEdge e;
            e.points = {XrPoint(500000 + 400 * k, 6000000), XrPoint(500400 + 400 * k, 6000000)};
            net.edges.push_back(e);
        }
        std::string error;
        EXPECT_TRUE(write_graph(root.dir() + "/graph.bin", root.dir() + "/roads.qt", net, XrGraphWriterOptions(),
                                result, error))
            << error;
        EXPECT_TRUE(graph_file.open(XrString((root.dir() + "/graph.bin").c_str()), true));
        graph = std::make_unique<XrGraphAccessor2>(&graph_file, 0x80000);
        EXPECT_EQ(graph->open(nullptr), 0);
        auto* roads_file = new XrFileStorageAccessor();
        EXPECT_TRUE(roads_file->open(XrString((root.dir() + "/roads.qt").c_str()), true));
        storage = std::make_unique<XrSimpleGeomStorage>(roads_file, true, false, nullptr);
        EXPECT_EQ(storage->open(), 0);
    }

    XrTempRoot root;
    XrGraphWriterResult result;
    XrFileStorageAccessor graph_file;
    std::unique_ptr<XrGraphAccessor2> graph;
    std::unique_ptr<XrSimpleGeomStorage> storage;
};

TEST(RouteSearchOneEdge, RoutedWithNoEdgeAhead)
{
    struct Case {
        const char* what;
        int roads, edge;
        int from, to; // x of the points
        int heading;  // -1: none; 90 east, 270 west
        int mode;
    };
    const Case cases[] = {
        {"a lone road, east", 1, 0, 500100, 500300, -1, 0},
        {"a lone road, west", 1, 0, 500300, 500100, -1, 0},
        {"a lone road, heading east, target ahead", 1, 0, 500100, 500300, 90, 0},
        {"a lone road, heading east, target behind", 1, 0, 500300, 500100, 90, 0},
        {"a lone road, heading west, target behind", 1, 0, 500100, 500300, 270, 0},
        {"a lone road, shortest", 1, 0, 500300, 500100, -1, 1},
        {"a dead end, heading east, target behind", 2, 1, 500700, 500500, 90, 0},
        {"a dead end, heading west, target ahead", 2, 1, 500700, 500500, 270, 0},
        {"a dead end, heading east, target ahead", 2, 1, 500500, 500700, 90, 0},
        {"a dead end, heading west, target behind", 2, 1, 500500, 500700, 270, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Roads net(c.roads);
        XrDijkstraPath2 search(net.graph.get(), net.storage.get(), XrString(), nullptr);
        search.route_mode = c.mode;
        XrRouteInstructions* out = nullptr;
        const XrGid gid = net.result.gids[static_cast<size_t>(c.edge)];
        ASSERT_TRUE(search.find_route(XrPoint(c.from, 6000000), gid, XrPoint(c.to, 6000000), gid, &out, nullptr,
                                      c.heading, c.heading < 0 ? -1 : 10, false, false, nullptr));
        std::unique_ptr<XrRouteInstructions> route(out);
        ASSERT_TRUE(route);
        EXPECT_TRUE(route->contains_gid(gid));
    }
}

} // namespace
