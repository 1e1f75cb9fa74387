// Routes over compiled maps against the shortest distance over the OSM ways:
// long corridors of middle-class roads, road pieces with no connection to
// the network, and sharp turns that the shortest mode must not avoid by
// kilometres.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/graph/xr_graphaccessor.h"
#include "common/graph/xr_routingparams.h"
#include "common/storage/xr_storageaccessor.h"
#include "support/xr_command_run.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/compile_osm.h"
#include "tools/mapgen/xr_osm_text_test.h"

namespace fs = std::filesystem;

namespace {

enum { QUICKEST = 0, SHORTEST = 1 };

// Route length in metres as kestrova-probe route finds it; -1 for no route.
long long probe_length(const std::string& dir, const std::string& from, const std::string& to, int mode)
{
    const XrCommandRun r = xr_run_command(std::string(XR_PROBE_PROGRAM) + " route " + dir + " " + from + " " + to +
                                          " --mode " + std::to_string(mode));
    const size_t at = r.out.find("length_m ");
    return r.status != 0 || at == std::string::npos ? -1 : std::atoll(r.out.c_str() + at + 9);
}

// A western town (3 x 3 blocks of 200 m, nodes 1..16, node = 1 + 4 * row +
// column) and an eastern one (nodes 101..116, 40 km further east) joined by
// a secondary road along the south edge, a 24 m service road just west of
// the western town with no connection, and south-west of it a junction
// whose one way on turns back by 150 degrees, with a 5.6 km way round it.
OsmText corridor_map()
{
    OsmText o;
    for (int base : {0, 100})
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                o.node(base + 1 + 4 * r + c, (base == 0 ? 0.0 : 40600.0) + c * 200.0, r * 200.0);
    // Mid-block points of Row 2, where the routes start and end.
    o.node(17, 300, 400);
    o.node(117, 40700, 400);
    for (int base : {0, 100}) {
        for (int r = 0; r < 4; ++r) {
            std::vector<int> row = {base + 1 + 4 * r, base + 2 + 4 * r, base + 3 + 4 * r, base + 4 + 4 * r};
            if (r == 2)
                row.insert(row.begin() + 2, base + 17);
            o.way(1000 + base + r, row, {{"highway", "residential"}});
        }
        for (int c = 0; c < 4; ++c)
            o.way(2000 + base + c, {base + 1 + c, base + 5 + c, base + 9 + c, base + 13 + c},
                  {{"highway", "residential"}});
    }
    // The secondary road from node 4 (600, 0) to node 101 (40600, 0).
    std::vector<int> corridor = {4};
    for (int k = 1; k < 40; ++k) {
        o.node(300 + k, 600.0 + 1000.0 * k, 0);
        corridor.push_back(300 + k);
    }
    corridor.push_back(101);
    o.way(3000, corridor, {{"highway", "secondary"}});
    // The service road mapped on its own, 3 m west of the point (-30, 0).
    o.node(400, -33, -12);
    o.node(401, -33, 12);
    o.way(4000, {400, 401}, {{"highway", "service"}});
    // Turning back at J: road 1 runs east from P to J, road 2 leaves J at 150
    // degrees to the left to Q; the way round runs west from P and back east
    // to Q. Nodes 501 and 503 are the mid points of roads 1 and 2.
    o.node(500, -6000, -6000);                                  // P
    o.node(501, -5500, -6000);                                  // on road 1
    o.node(502, -5000, -6000);                                  // J
    o.node(503, -5000 - 500 * std::sqrt(3.0) / 2, -6000 + 250); // on road 2
    o.node(504, -5000 - 1000 * std::sqrt(3.0) / 2, -5500);      // Q
    o.node(505, -8000, -6000);
    o.node(506, -8000, -5500);
    o.way(5001, {500, 501, 502}, {{"highway", "residential"}});
    o.way(5002, {502, 503, 504}, {{"highway", "residential"}});
    o.way(5003, {500, 505, 506, 504}, {{"highway", "residential"}});
    // And the junction's network joined to the western town's north-west
    // corner.
    o.way(5004, {506, 13}, {{"highway", "residential"}});
    return o;
}

class CompileRoutes : public ::testing::Test {
protected:
    std::string compile(const OsmText& osm)
    {
        const std::string in = root.write_file("/in/corridor.osm", osm.text());
        const std::string out = root.dir() + "/out/corridor";
        fs::create_directories(root.dir() + "/out");
        std::string error;
        XrCompileOptions options;
        options.name = "Corridor";
        if (!xr_compile_osm_file(in, out, options, stats, error)) {
            ADD_FAILURE() << error;
            return std::string();
        }
        return out;
    }

    XrTempRoot root;
    XrCompileStats stats;
};

TEST_F(CompileRoutes, RoutesFoundAndAsShortAsTheRoadsAllow)
{
    const OsmText o = corridor_map();
    const std::string dir = compile(o);
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(stats.isolated_pieces, 1) << "the service road alone";
    struct Case {
        const char* name;
        std::string from, to;
        int from_node, to_node; // of the reference: where the points lie on the network
    };
    const Case cases[] = {
        {"along 40 km of secondary road", o.at_node(17), o.at_node(117), 17, 117},
        {"back again", o.at_node(117), o.at_node(17), 117, 17},
        {"from beside an isolated service road", OsmText::at(-30, 0), o.at_node(117), 1, 117},
        {"to beside it", o.at_node(17), OsmText::at(-30, 0), 17, 1},
        {"over a junction that turns back", o.at_node(501), o.at_node(503), 501, 503},
        {"and the other way", o.at_node(503), o.at_node(501), 503, 501},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const double reference = o.reference_length(c.from_node, c.to_node);
        ASSERT_GT(reference, 0);
        const long long quickest = probe_length(dir, c.from, c.to, QUICKEST);
        const long long shortest = probe_length(dir, c.from, c.to, SHORTEST);
        ASSERT_GT(quickest, 0);
        ASSERT_GT(shortest, 0);
        EXPECT_LE(shortest, quickest);
        EXPECT_NEAR(static_cast<double>(shortest), reference, reference * 0.01 + 2);
    }
}

TEST_F(CompileRoutes, SecondLimitSetLimitsNothing)
{
    const std::string dir = compile(corridor_map());
    ASSERT_FALSE(dir.empty());
    XrFileStorageAccessor file;
    ASSERT_TRUE(file.open(XrString((dir + "/graph.bin").c_str()), true));
    XrGraphAccessor2 graph(&file, 0x10000);
    XrRoutingParams params;
    ASSERT_TRUE(graph.read_routing_params(&params));
    // The map spans 48 km east to west; no distance within it reaches a
    // limit of the second set, nor one of the first set up to category 4.
    for (int c = 0; c < 9; ++c) {
        SCOPED_TRACE(c);
        EXPECT_GT(params.category_limits2[c], 48000);
        if (c <= 4) {
            EXPECT_GT(params.category_limits1[c], 48000);
        }
    }
    EXPECT_EQ(params.category_limits1[5], 3000) << "minor roads keep their limit in the first set";
}

} // namespace
