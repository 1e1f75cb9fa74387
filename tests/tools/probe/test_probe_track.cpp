// kestrova-probe track on a map compiled from a small OpenStreetMap file: a
// straight road of two parts with a side road at their joint.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "probe_run.h"
#include "support/xr_temp_root.h"

namespace {

struct Fix {
    double t, lat, lon;
};

// Nodes: A (west end), B (joint), C (east end), D (end of the side road).
constexpr Fix A{0, 60.17, 24.940}, B{0, 60.17, 24.950}, C{0, 60.17, 24.958}, D{0, 60.173, 24.950};

std::string osm_text()
{
    auto node = [](int id, const Fix& f) {
        char buf[128];
        std::snprintf(buf, sizeof buf, "  <node id=\"%d\" lat=\"%.7f\" lon=\"%.7f\"/>\n", id, f.lat, f.lon);
        return std::string(buf);
    };
    auto way = [](int id, int from, int to, const char* name) {
        return "  <way id=\"" + std::to_string(id) + "\">\n    <nd ref=\"" + std::to_string(from) +
               "\"/>\n    <nd ref=\"" + std::to_string(to) +
               "\"/>\n    <tag k=\"highway\" v=\"residential\"/>\n    <tag k=\"name\" v=\"" + name +
               "\"/>\n  </way>\n";
    };
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<osm version=\"0.6\">\n" + node(1, A) + node(2, B) +
           node(3, C) + node(4, D) + way(10, 1, 2, "West Road") + way(11, 2, 3, "East Road") +
           way(12, 2, 4, "Side Road") + "</osm>\n";
}

double metres(const Fix& a, const Fix& b)
{
    const double rad = 3.14159265358979323846 / 180;
    return std::hypot((b.lat - a.lat) * rad * 6371000.0, (b.lon - a.lon) * rad * 6371000.0 * std::cos(a.lat * rad));
}

std::vector<Fix> read_track(const std::string& path)
{
    std::vector<Fix> fixes;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        Fix f{};
        char c1 = 0, c2 = 0;
        std::istringstream s(line);
        if (s >> f.t >> c1 >> f.lat >> c2 >> f.lon && c1 == ',' && c2 == ',')
            fixes.push_back(f);
    }
    return fixes;
}

class ProbeTrack : public ::testing::Test {
protected:
    void SetUp() override
    {
        root.write_file("/small.osm", osm_text());
        map = root.dir() + "/small";
        const XrCommandRun r = xr_run_command(std::string(XR_TEST_BINARY_DIR) + "/tools/mapgen/mapgen compile " +
                                              root.dir() + "/small.osm " + map);
        ASSERT_EQ(r.status, 0) << r.out;
    }

    XrTempRoot root;
    std::string map;
};

TEST_F(ProbeTrack, GoesStraightOnAndBackAtTheSpeed)
{
    const std::string out = root.dir() + "/track.csv";
    const ProbeRun r = run_probe("track " + map + " " + out + " 10");
    ASSERT_EQ(r.status, 0) << r.out;
    const std::vector<Fix> track = read_track(out);
    ASSERT_GE(track.size(), 5u);
    EXPECT_EQ(track.front().t, 0);
    for (size_t i = 1; i < track.size(); ++i)
        EXPECT_GT(track[i].t, track[i - 1].t) << i;
    // From one end of the straight road to the other and back, never onto
    // the side road (map units round positions to a few metres).
    const double tolerance = 3;
    size_t far = 0;
    for (size_t i = 0; i < track.size(); ++i) {
        const Fix on_road{0, A.lat, track[i].lon};
        EXPECT_LT(metres(track[i], on_road), tolerance) << "off the straight road at " << i;
        EXPECT_GT(track[i].lon, A.lon - 0.0001) << i;
        EXPECT_LT(track[i].lon, C.lon + 0.0001) << i;
        if (metres(track[i], track.front()) > metres(track[far], track.front()))
            far = i;
    }
    const double length = metres(A, C);
    EXPECT_NEAR(metres(track.front(), track[far]), length, 2 * tolerance);
    EXPECT_LT(metres(track.front(), track.back()), tolerance);
    EXPECT_LT(std::min(metres(track.front(), A), metres(track.front(), C)), tolerance);
    EXPECT_NEAR(track.back().t, 2 * length / 10, 3);
}

TEST_F(ProbeTrack, RefusesBadArgumentsAndFolders)
{
    struct {
        std::string args;
        int status;
        const char* text;
    } cases[] = {
        {"", 2, "usage"},
        {map + " " + root.dir() + "/t.csv 0", 2, "usage"},
        {map + " " + root.dir() + "/t.csv fast", 2, "usage"},
        {root.dir() + "/nothing " + root.dir() + "/t.csv", 1, "cannot open"},
        {map + " " + root.dir() + "/no/such/folder/t.csv", 1, "cannot write"},
    };
    for (const auto& c : cases) {
        const ProbeRun r = run_probe("track " + c.args);
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.out;
        EXPECT_NE(r.out.find(c.text), std::string::npos) << c.args << "\n" << r.out;
    }
}

} // namespace
