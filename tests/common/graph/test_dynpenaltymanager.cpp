// Roadblocks snap onto a road only when they lie on it: a block tapped beside
// a street closes that street, not one a few hundred metres away.
#include <gtest/gtest.h>

#include <string>

#include "common/db/xr_simplegeomstorage.h"
#include "common/graph/xr_dynpenaltymanager.h"
#include "common/storage/xr_storageaccessor.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/graph_writer.h"

namespace {

TEST(Roadblocks, SnapOnlyOntoTheRoadTheyLieOn)
{
    // One straight road 2 km long, west to east.
    XrNetwork net;
    XrNetworkEdge road;
    road.points = {XrPoint(500000, 6000000), XrPoint(502000, 6000000)};
    net.edges.push_back(road);
    XrTempRoot root;
    XrGraphWriterResult result;
    std::string error;
    ASSERT_TRUE(write_graph(root.dir() + "/graph.bin", root.dir() + "/roads.qt", net, XrGraphWriterOptions(), result,
                            error))
        << error;
    auto* file = new XrFileStorageAccessor();
    ASSERT_TRUE(file->open(XrString((root.dir() + "/roads.qt").c_str()), true));
    XrSimpleGeomStorage roads(file, true, false, nullptr);
    ASSERT_EQ(roads.open(), 0);
    struct Case {
        int off; // metres north of the road's middle
        XrDynPenaltyManager::Status status;
    };
    const Case cases[] = {{0, XrDynPenaltyManager::OnEdge},
                          {25, XrDynPenaltyManager::OnEdge},
                          {60, XrDynPenaltyManager::NotOnEdge},
                          {900, XrDynPenaltyManager::NotOnEdge}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.off);
        const std::string path = root.dir() + "/blks" + std::to_string(c.off) + ".bin";
        XrDynPenaltyManager blocks{XrString(path.c_str())};
        ASSERT_EQ(blocks.add_point(XrPoint(501000, 6000000 + c.off)), XrDynPenaltyManager::Ok);
        EXPECT_EQ(blocks.is_roadblock_on_edge(result.gids[0], &roads), c.status);
    }
}

} // namespace
