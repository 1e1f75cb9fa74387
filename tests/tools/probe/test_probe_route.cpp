// kestrova-probe route on a map folder written by the graph writer.
#include <gtest/gtest.h>

#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>
#include <cstdlib>
#include <memory>
#include <string>

#include "common/geometry/xr_projection.h"
#include "probe_run.h"
#include "support/xr_temp_root.h"
#include "tests/common/graph/graph_fixture.h"
#include "tools/mapgen/graph_writer.h"

namespace {

const char* PROJECTION = "wgs84://25,1,0,0";

ProbeRun probe(const std::string& args)
{
    return run_probe("route " + args);
}

class ProbeRoute : public ::testing::Test {
protected:
    void SetUp() override
    {
        proj.reset(create_projection(XrString(PROJECTION)));
        ASSERT_TRUE(proj);
        int x = 0, y = 0;
        ASSERT_TRUE(proj->to_map(24.94, 60.17, x, y));
        XrGridOptions g;
        g.columns = 8;
        g.rows = 8;
        g.oneway = 0;
        g.drop = 0;
        g.long_links = 0;
        g.origin_x = x;
        g.origin_y = y;
        net = xr_make_grid_network(g);
        root.make_dirs("/map/mapdata");
        dir = root.dir() + "/map";
        XrGraphWriterResult result;
        std::string error;
        ASSERT_TRUE(write_graph(dir + "/mapdata/graph.bin", dir + "/mapdata/roads.qt", net, XrGraphWriterOptions(),
                                result, error))
            << error;
        root.write_file("/map/mapdata/mapdata.ini",
                        std::string("REGEDIT4\n\n[\\general]\n\"projection\"=\"") + PROJECTION + "\"\n");
    }

    std::string latlon(const XrPoint& p)
    {
        double lon = 0, lat = 0;
        proj->from_map(p.x, p.y, lon, lat);
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.7f,%.7f", lat, lon);
        return buf;
    }

    XrTempRoot root;
    std::unique_ptr<XrProjection> proj;
    XrNetwork net;
    std::string dir;
};

TEST_F(ProbeRoute, PrintsCostLengthTimeEdgesAndInstructions)
{
    const XrPoint a = net.edges.front().points.front();
    const XrPoint b = net.edges.back().points.back();
    ProbeRun r = probe(dir + " " + latlon(a) + " " + latlon(b));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("cost "), std::string::npos);
    EXPECT_NE(r.out.find("\nlength_m "), std::string::npos);
    EXPECT_NE(r.out.find("\ntime_s "), std::string::npos);
    EXPECT_NE(r.out.find("\nedge 0x"), std::string::npos);
    EXPECT_NE(r.out.find("instruction 7 "), std::string::npos);
    const long long len = std::atoll(r.out.c_str() + r.out.find("length_m ") + 9);
    // Corner to corner of a 7 x 7 grid of 200 m blocks.
    EXPECT_GT(len, 2000);
    EXPECT_LT(len, 4500);
}

TEST_F(ProbeRoute, JsonHasTheFields)
{
    const XrPoint a = net.edges[3].points.front();
    const XrPoint b = net.edges[60].points.back();
    ProbeRun r = probe(dir + " " + latlon(a) + " " + latlon(b) + " --mode 1 --json");
    ASSERT_EQ(r.status, 0) << r.out;
    for (const char* key : {"\"length_m\":", "\"time_s\":", "\"edges\":[", "\"instructions\":["})
        EXPECT_NE(r.out.find(key), std::string::npos) << key << " in " << r.out;
    EXPECT_EQ(r.out.front(), '{');
}

TEST_F(ProbeRoute, BadInputGivesUsageOrErrors)
{
    EXPECT_EQ(probe(dir + " 60.1,24.9").status, 2);
    EXPECT_EQ(probe(dir + " 60.1,x 60.2,24.9").status, 2);
    EXPECT_EQ(probe(dir + " 60.1,24.9 60.2,24.9 --mode 9").status, 2);
    ProbeRun missing = probe(root.dir() + "/nothing 60.1,24.9 60.2,24.9");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.out.find("cannot open"), std::string::npos);
    root.write_file("/map/mapdata/graph.bin", "not a graph");
    ProbeRun bad = probe(dir + " 60.1,24.9 60.2,24.9");
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.out.find("not a road graph"), std::string::npos);
}

TEST_F(ProbeRoute, PairsFromAFileOneLineEach)
{
    // Each pair's line carries what the single route prints; a pair far off
    // every road, beside the others, says so and the list goes on.
    const std::string ab = latlon(net.edges[3].points.front()) + " " + latlon(net.edges[60].points.back());
    const std::string ba = latlon(net.edges[60].points.back()) + " " + latlon(net.edges[3].points.front());
    const std::string off = latlon(XrPoint(net.edges[0].points[0].x - 500000, net.edges[0].points[0].y)) + " " +
                            latlon(net.edges[3].points.front());
    const std::string list = root.write_file("/pairs.txt", ab + "\n\n" + off + "\n" + ba + "\n");
    ProbeRun r = probe(dir + " --pairs " + list + " --mode 1");
    ASSERT_EQ(r.status, 0) << r.out;
    ProbeRun single = probe(dir + " " + ab + " --mode 1");
    ASSERT_EQ(single.status, 0) << single.out;
    const std::string length = single.out.substr(single.out.find("length_m "), single.out.find('\n', single.out.find("length_m ")) - single.out.find("length_m "));
    EXPECT_NE(r.out.find("pair 1 cost "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(length), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("pair 2 no road\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("pair 3 cost "), std::string::npos) << r.out;

    const std::string bad = root.write_file("/bad.txt", ab + "\n60.1,24.9\n");
    ProbeRun refused = probe(dir + " --pairs " + bad);
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.out.find("bad.txt:2: not two points"), std::string::npos) << refused.out;
    EXPECT_EQ(probe(dir + " --pairs " + root.dir() + "/none.txt").status, 1);
    EXPECT_EQ(probe(dir + " --pairs " + list + " " + ab).status, 2);
}

TEST_F(ProbeRoute, StartsWithoutTheDrawingLibraries)
{
    // The loader lists the libraries it maps; none of GTK, GDK, Pango or cairo.
    const XrCommandRun r = xr_run_command("LD_DEBUG=files " + std::string(XR_TEST_BINARY_DIR) +
                                          "/tools/probe/kestrova-probe route " + dir + " " +
                                          latlon(net.edges[3].points.front()) + " " +
                                          latlon(net.edges[60].points.back()));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("libz.so"), std::string::npos) << "the loader's list was not seen";
    for (const char* lib : {"libgtk", "libgdk", "libpango", "libcairo"})
        EXPECT_EQ(r.out.find(lib), std::string::npos) << lib;
    // The drawing commands are still there, by the same name.
    EXPECT_NE(run_probe("--help").out.find("render"), std::string::npos);
}

} // namespace
