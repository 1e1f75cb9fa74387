// The address, town and POI searches on a small map that the test writes
// and compiles: street names with and without their accents (and with the
// umlauts written out), house numbers (also of an interpolation way), a
// town mapped with two place nodes and named POIs of several classes, all
// through kestrova-probe search.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/xr_command_run.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/compile_osm.h"
#include "tools/mapgen/xr_osm_text_test.h"

namespace {

// A 4 x 4 grid of 300 m blocks: streets west to east and south to north,
// house numbers on "Äulestrasse", two place nodes of one village.
OsmText accented_town()
{
    OsmText o;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            o.node(1 + 4 * r + c, c * 300.0, r * 300.0);
    const char* rows[] = {"\xC3\x84ulestrasse", "St\xC3\xA4" "dtle", "Landstrasse", "Zollstrasse"};
    const char* columns[] = {"M\xC3\xBCllerweg", "Mullerweg", "Essanestrasse", "B\xC3\xBChl"};
    for (int r = 0; r < 4; ++r)
        o.way(100 + r, {1 + 4 * r, 2 + 4 * r, 3 + 4 * r, 4 + 4 * r}, {{"highway", "residential"}, {"name", rows[r]}});
    for (int c = 0; c < 4; ++c)
        o.way(200 + c, {1 + c, 5 + c, 9 + c, 13 + c}, {{"highway", "residential"}, {"name", columns[c]}});
    int k = 0;
    for (double x : {40.0, 120.0, 200.0}) {
        o.node(300 + k, x, 12, {{"addr:housenumber", std::to_string(2 * k + 1)}, {"addr:street", rows[0]}});
        ++k;
    }
    // "Städtle": an interpolation way of the odd numbers 1 to 9 over two
    // pieces of the street (the junction at 300 m lies between 3 and 5).
    o.node(400, 30, 312, {{"addr:housenumber", "1"}, {"addr:street", rows[1]}});
    o.node(401, 560, 312, {{"addr:housenumber", "9"}, {"addr:street", rows[1]}});
    o.way(450, {400, 401}, {{"addr:interpolation", "odd"}});
    o.node(500, 150, 150, {{"place", "village"}, {"name", "Gamprin-Bendern"}});
    o.node(501, 700, 700, {{"place", "village"}, {"name", "Gamprin-Bendern"}});
    o.node(502, 800, 100, {{"place", "town"}, {"name", "Vaduz"}});
    o.node(600, 310, 310, {{"amenity", "restaurant"}, {"name", "Restaurant Adler"}});
    o.node(601, 610, 610, {{"tourism", "museum"}, {"name", "Landesmuseum"}});
    o.node(602, 620, 20, {{"amenity", "cafe"}, {"name", "Caf\xC3\xA9 \xC3\x84ule"}});
    return o;
}

class CompiledSearch : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string in = root.write_file("/in/town.osm", accented_town().text());
        dir = root.dir() + "/out/town";
        XrCompileOptions options;
        options.name = "Test";
        XrCompileStats stats;
        std::string error;
        ASSERT_TRUE(xr_compile_osm_file(in, dir, options, stats, error)) << error;
    }
    // The names (first field) of the probe's result lines.
    std::vector<std::string> names(const std::string& kind, const std::string& text, const std::string& extra = "")
    {
        const XrCommandRun r =
            xr_run_command(std::string(XR_PROBE_PROGRAM) + " search " + dir + " " + kind + " '" + text + "' " + extra);
        std::vector<std::string> out;
        size_t at = 0;
        while (at < r.out.size()) {
            const size_t end = r.out.find('\n', at);
            const std::string line = r.out.substr(at, end == std::string::npos ? std::string::npos : end - at);
            at = end == std::string::npos ? r.out.size() : end + 1;
            if (!line.empty() && line.rfind("kestrova-probe", 0) != 0)
                out.push_back(line.substr(0, line.find('\t')));
        }
        return out;
    }
    XrTempRoot root;
    std::string dir;
};

TEST_F(CompiledSearch, StreetsWithAndWithoutTheirAccents)
{
    const std::string aeule = "\xC3\x84ulestrasse";
    struct Case {
        const char* typed;
        std::vector<std::string> found;
    } cases[] = {
        {"\xC3\x84ule", {aeule}},
        {"Aule", {aeule}},
        {"aulestrasse", {aeule}},
        {"Aeulestrasse", {aeule}}, // the umlaut written out
        {"AEULE", {aeule}},
        {"Muellerweg", {"Mullerweg", "M\xC3\xBCllerweg"}},
        {"Mull", {"Mullerweg", "M\xC3\xBCllerweg"}},
        {"St\xC3\xA4" "dtle", {"St\xC3\xA4" "dtle"}},
        {"Stadtle", {"St\xC3\xA4" "dtle"}},
        {"Bueh", {"B\xC3\xBChl"}},
        {"Xyz", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        EXPECT_EQ(names("street", c.typed), c.found);
    }
}

TEST_F(CompiledSearch, HouseNumbersOfAStreetWithNumbers)
{
    struct Case {
        const char* typed;
        std::string answer;
    } cases[] = {
        {"\xC3\x84ulestrasse 3", "\xC3\x84ulestrasse 3"},
        {"Aeulestrasse 5", "\xC3\x84ulestrasse 5"},
        // A number the street lacks: the closest one, never 0.
        {"\xC3\x84ulestrasse 4", "\xC3\x84ulestrasse 4: not found; nearest number 5"},
        {"\xC3\x84ulestrasse 40", "\xC3\x84ulestrasse 40: not found; nearest number 5"},
        // A street without numbers says so (never "nearest number 0").
        {"Landstrasse 4", "Landstrasse 4: not found; the street has no numbers -1"},
        // Numbers between the ends of an interpolation way.
        {"St\xC3\xA4" "dtle 1", "St\xC3\xA4" "dtle 1"},
        {"St\xC3\xA4" "dtle 3", "St\xC3\xA4" "dtle 3"},
        {"Staedtle 5", "St\xC3\xA4" "dtle 5"},
        {"St\xC3\xA4" "dtle 4", "St\xC3\xA4" "dtle 4: not found; nearest number 5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        const std::vector<std::string> got = names("housenumber", c.typed);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0], c.answer);
    }
}

TEST_F(CompiledSearch, ATownWithTwoPlaceNodesIsListedOnce)
{
    EXPECT_EQ(names("city", "Gam"), (std::vector<std::string>{"Gamprin-Bendern"}));
    EXPECT_EQ(names("city", "Gam", "--at " + OsmText::at(0, 0)), (std::vector<std::string>{"Gamprin-Bendern"}));
    EXPECT_EQ(names("city", "V"), (std::vector<std::string>{"Vaduz"}));
}

// POIs by their names (and class names), with and without accents, on a
// map whose classes come from its own catalogue.
TEST_F(CompiledSearch, PoisByName)
{
    struct Case {
        const char* typed;
        std::vector<std::string> found;
    } cases[] = {
        {"Restaurant", {"Restaurant Adler"}},
        {"adler", {"Restaurant Adler"}},
        {"Landesmuseum", {"Landesmuseum"}},
        {"cafe aule", {"Caf\xC3\xA9 \xC3\x84ule"}},
        {"Hotel", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        EXPECT_EQ(names("poi", c.typed), c.found);
        EXPECT_EQ(names("poi", c.typed, "--at " + OsmText::at(0, 0)), c.found);
    }
}

} // namespace
