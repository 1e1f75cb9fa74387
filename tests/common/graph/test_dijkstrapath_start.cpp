// The start of a route search with a heading: which headings fix the
// direction in which the start edge is left, and what turning round costs.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "common/db/xr_simplegeomstorage.h"
#include "common/geometry/xr_polygon.h"
#include "common/graph/xr_dijkstrapath.h"
#include "common/storage/xr_storageaccessor.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/graph_writer.h"

namespace {

// Three roads in a row, west to east, 400 m each; the east end is a dead end,
// so a car on the middle road facing east reaches the western road only by
// turning round where it stands.
struct Row {
    Row()
    {
        XrNetwork net;
        for (int k = 0; k < 3; ++k) {
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
        roads = std::make_unique<XrSimpleGeomStorage>(roads_file, true, false, nullptr);
        EXPECT_EQ(roads->open(), 0);
    }

    // Cost of the route from the middle road's centre to the western road's,
    // -1 when none is found.
    long long cost(int heading, int speed)
    {
        XrDijkstraPath2 search(graph.get(), roads.get(), XrString(), nullptr);
        XrRouteInstructions* out = nullptr;
        const bool found = search.find_route(XrPoint(500600, 6000000), result.gids[1], XrPoint(500200, 6000000),
                                             result.gids[0], &out, nullptr, heading, speed, false, false, nullptr);
        delete out;
        return found ? search.get_route_cost() : -1;
    }

    XrTempRoot root;
    XrGraphWriterResult result;
    XrFileStorageAccessor graph_file;
    std::unique_ptr<XrGraphAccessor2> graph;
    std::unique_ptr<XrSimpleGeomStorage> roads;
};

TEST(RouteSearchStart, HeadingFixesTheStartDirectionAndTurningRoundCosts)
{
    Row row;
    // The heading of the middle road where the start lies, as the search
    // reads it from the road's polyline.
    XrPolygon line(true);
    line.add_point(XrPoint(500400, 6000000));
    line.add_point(XrPoint(500800, 6000000));
    XrPoint on;
    int east = 0;
    ASSERT_TRUE(line.get_nearest_point(XrPoint(500600, 6000000), on, nullptr, nullptr, nullptr, &east));
    const long long free = row.cost(-1, -1);
    ASSERT_GT(free, 0);
    // Value 9 of the routing values is 150: turning round costs 3 x S + 300,
    // S by the speed.
    struct Case {
        int off; // degrees from east
        int speed;
        long long extra;
    };
    const Case cases[] = {
        {0, -1, 3 * 150 + 300},   {29, -1, 3 * 150 + 300},  {331, -1, 3 * 150 + 300}, {30, -1, 0},
        {330, -1, 0},             {150, -1, 0},             {180, -1, 0},             {209, -1, 0},
        {0, 1, 3 * 400 + 300},    {0, 5, 3 * 600 + 300},    {0, 12, 3 * 800 + 300},   {0, 19, 3 * 1000 + 300},
        {0, 25, 3 * 1500 + 300},  {0, 30, 3 * 2000 + 300},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("heading east + " + std::to_string(c.off) + ", speed " + std::to_string(c.speed));
        EXPECT_EQ(row.cost((east + c.off) % 360, c.speed), free + c.extra);
    }
}

} // namespace

TEST(RouteSearchStart, StartAndTargetOnOneEdge)
{
    // On the dead-end eastern road and on the middle one, the target before
    // and behind the start, with and without a heading: the route is the
    // piece of road between the two points.
    Row row;
    struct Case {
        int edge;
        int from, to; // x of the points
        int heading;
    };
    const Case cases[] = {
        {2, 500900, 501100, -1}, {2, 501100, 500900, -1}, {1, 500500, 500700, -1},
        {1, 500700, 500500, -1}, {2, 500900, 501100, 90}, {0, 500300, 500100, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.edge) + ": " + std::to_string(c.from) + " to " + std::to_string(c.to));
        XrDijkstraPath2 search(row.graph.get(), row.roads.get(), XrString(), nullptr);
        XrRouteInstructions* out = nullptr;
        const XrGid gid = row.result.gids[static_cast<size_t>(c.edge)];
        ASSERT_TRUE(search.find_route(XrPoint(c.from, 6000000), gid, XrPoint(c.to, 6000000), gid, &out, nullptr,
                                      c.heading, -1, false, false, nullptr));
        std::unique_ptr<XrRouteInstructions> route(out);
        ASSERT_TRUE(route);
        EXPECT_TRUE(route->contains_gid(gid));
    }
}
