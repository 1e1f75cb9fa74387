// A road network whose geometry needs more buckets than record ids can number
// at the usual bucket size: the writer takes larger buckets, and every edge
// is still found by its gid.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "common/db/xr_simplegeomstorage.h"
#include "common/graph/xr_graphaccessor.h"
#include "common/storage/xr_storageaccessor.h"
#include "tests/common/graph/graph_fixture.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/graph_writer.h"

namespace {

TEST(GraphWriterLarge, GidsOfMoreBucketsThanRecordIdsNumberStillFit)
{
    // About 28,000 edges of 100 points on average: one or two records a
    // bucket of 1024 bytes, so past the 8192 buckets that 30-bit record ids
    // number.
    XrGridOptions grid;
    grid.columns = 120;
    grid.rows = 120;
    grid.drop = 0;
    grid.long_links = 0;
    grid.bends = 200;
    grid.spacing = 2000;
    grid.jitter = 400;
    const XrNetwork net = xr_make_grid_network(grid);
    ASSERT_GT(net.edges.size(), 28000u);
    XrGraphWriterOptions options;
    options.name_references = true;
    options.geometry_bucket_bytes = 1024;
    options.max_tile_edges = 150; // a tile names at most 255 buckets
    options.zlib_level = 1;
    {
        // Numbered records (no gid keys) at that size: past the limit.
        XrGraphWriterOptions numbered = options;
        numbered.name_references = false;
        std::vector<BYTE> geometry, graph;
        XrGraphWriterResult placed;
        std::string error;
        ASSERT_TRUE(build_graph(net, numbered, geometry, graph, placed, error)) << error;
        ASSERT_GE(*std::max_element(placed.gids.begin(), placed.gids.end()) >> 16, 0x2000u);
    }
    XrTempRoot root;
    const std::string graph_path = root.dir() + "/graph.bin", roads_path = root.dir() + "/roads.qt";
    XrGraphWriterResult result;
    std::string error;
    ASSERT_TRUE(write_graph(graph_path, roads_path, net, options, result, error)) << error;
    ASSERT_EQ(result.gids.size(), net.edges.size());
    EXPECT_EQ(std::set<XrGid>(result.gids.begin(), result.gids.end()).size(), result.gids.size());

    XrFileStorageAccessor graph_file;
    ASSERT_TRUE(graph_file.open(XrString(graph_path.c_str()), true));
    XrGraphAccessor2 graph(&graph_file, 0x80000);
    ASSERT_EQ(graph.open(nullptr), 0);
    auto* roads_file = new XrFileStorageAccessor();
    ASSERT_TRUE(roads_file->open(XrString(roads_path.c_str()), true));
    XrSimpleGeomStorage roads(roads_file, true, false, nullptr);
    ASSERT_EQ(roads.open(), 0);
    for (size_t i = 0; i < result.gids.size(); i += 97) {
        SCOPED_TRACE(i);
        const int handle = graph.get_edge_handle_by_geometry(&roads, result.gids[i], nullptr);
        ASSERT_NE(handle, -1);
        XrGraphAccessor2::XrEdgeData edge;
        graph.get_edge_by_handle(handle, edge);
        EXPECT_EQ(edge.gid, result.gids[i]);
    }
}

} // namespace
