// kestrova-probe drive on a generated road network: following the route,
// leaving it, and a track file.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>

#include "common/geometry/xr_projection.h"
#include "probe_run.h"
#include "support/xr_temp_root.h"
#include "tests/common/map/routelayer_fixture.h"
#include "tools/mapgen/graph_writer.h"

namespace {

const char* PROJECTION = "wgs84://25,1,0,0";

int count_lines(const std::string& out, const std::string& event)
{
    std::istringstream in(out);
    std::string line;
    int n = 0;
    while (std::getline(in, line)) {
        const size_t space = line.find(' ');
        if (space != std::string::npos && line.compare(space + 1, event.size(), event) == 0)
            ++n;
    }
    return n;
}

class ProbeDrive : public ::testing::Test {
protected:
    void SetUp() override
    {
        proj.reset(create_projection(XrString(PROJECTION)));
        ASSERT_TRUE(proj);
        ASSERT_TRUE(proj->to_map(24.94, 60.17, ox, oy));
        root.make_dirs("/map/mapdata");
        dir = root.dir() + "/map";
        XrGraphWriterResult result;
        std::string error;
        ASSERT_TRUE(write_graph(dir + "/mapdata/graph.bin", dir + "/mapdata/roads.qt", xr_ladder_network(ox, oy),
                                XrGraphWriterOptions(), result, error))
            << error;
        root.write_file("/map/mapdata/mapdata.ini",
                        std::string("REGEDIT4\n\n[\\general]\n\"projection\"=\"") + PROJECTION + "\"\n");
    }

    // A point of the ladder given relative to its origin.
    std::string latlon(int dx, int dy)
    {
        double lon = 0, lat = 0;
        proj->from_map(ox + dx, oy + dy, lon, lat);
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.7f,%.7f", lat, lon);
        return buf;
    }

    std::string route_args() { return "drive " + dir + " --from " + latlon(50, 0) + " --to " + latlon(2000, 950); }

    XrTempRoot root;
    std::unique_ptr<XrProjection> proj;
    int ox = 0, oy = 0;
    std::string dir;
};

TEST_F(ProbeDrive, FollowingTheRouteArrives)
{
    ProbeRun r = run_probe(route_args() + " --speed 50");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("0 route length 29"), std::string::npos) << r.out;
    EXPECT_EQ(count_lines(r.out, "instruction 3 at 19"), 1) << r.out;
    EXPECT_EQ(count_lines(r.out, "instruction 7 at 29"), 1) << r.out;
    EXPECT_EQ(count_lines(r.out, "arrived"), 1) << r.out;
    EXPECT_EQ(count_lines(r.out, "reroute"), 0) << r.out;
    // 2900 m at 50 km/h: about 209 fixes.
    EXPECT_GT(count_lines(r.out, "distance"), 200);
}

// Leaving the route at the first side road: exactly one new route is asked
// for, and the detour is joined onto the rest of the old route.
TEST_F(ProbeDrive, LeavingTheRouteAsksOnceAndJoins)
{
    ProbeRun r = run_probe(route_args() + " --speed 50 --leave-at 440");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(count_lines(r.out, "leave route"), 1) << r.out;
    EXPECT_EQ(count_lines(r.out, "reroute"), 1) << r.out;
    EXPECT_EQ(count_lines(r.out, "route joined"), 1) << r.out;
    EXPECT_EQ(count_lines(r.out, "arrived"), 1) << r.out;
}

TEST_F(ProbeDrive, TrackFile)
{
    // Along the main road at 10 m/s, then north to the destination.
    std::string csv = "seconds,lat,lon\n";
    int t = 0;
    for (int x = 50; x <= 2000; x += 10, ++t)
        csv += std::to_string(t) + "," + latlon(x, 0) + "\n";
    for (int y = 10; y <= 950; y += 10, ++t)
        csv += std::to_string(t) + "," + latlon(2000, y) + "\n";
    const std::string track = root.write_file("/track.csv", csv);
    ProbeRun r = run_probe(route_args() + " --track " + track);
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(count_lines(r.out, "reroute"), 0) << r.out;
    EXPECT_EQ(count_lines(r.out, "arrived"), 1) << r.out;
}

TEST_F(ProbeDrive, BadUsage)
{
    const std::string cases[] = {
        "drive " + dir,
        route_args(),                                         // neither track nor speed
        route_args() + " --speed 50 --track x.csv",           // both
        route_args() + " --speed fast",
        route_args() + " --track x.csv --leave-at 100",       // leaving needs a speed
    };
    for (const std::string& c : cases)
        EXPECT_EQ(run_probe(c).status, 2) << c;
    EXPECT_EQ(run_probe(route_args() + " --track " + root.dir() + "/missing.csv").status, 1);
    EXPECT_EQ(run_probe("drive " + dir + " --from 1000,0 --to " + latlon(0, 0) + " --speed 50").status, 1);
    EXPECT_EQ(run_probe("drive " + root.dir() + " --from " + latlon(0, 0) + " --to " + latlon(10, 0) + " --speed 5")
                  .status,
              1);
}

} // namespace
