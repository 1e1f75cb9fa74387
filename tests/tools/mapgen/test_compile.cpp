// The map compiler on small OpenStreetMap files written by the tests.
#include <gtest/gtest.h>

#include "support/xr_command_run.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <memory>
#include <string>
#include <vector>

#include "common/addr/xr_addraccessor.h"
#include "common/addr/xr_signpostacc.h"
#include "common/db/xr_heapgeomstorage.h"
#include "common/graph/xr_graphaccessor.h"
#include "common/storage/xr_storageaccessor.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/xr_geom_census_test.h"
#include "tools/mapgen/xr_osm_text_test.h"
#include "tools/mapgen/compile_osm.h"
#include "tools/mapgen/pbf_writer.h"

namespace fs = std::filesystem;

namespace {

// A 3 x 3 grid of 200 m blocks (nodes 1..16, node = 1 + 4 * row + column),
// streets "Row N" west to east and "Column N" south to north, two towns, a
// house number row, and a motorway with a slip road to the grid.
OsmText grid_town()
{
    OsmText o;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            o.node(1 + 4 * r + c, c * 200.0, r * 200.0);
    for (int r = 0; r < 4; ++r)
        o.way(100 + r, {1 + 4 * r, 2 + 4 * r, 3 + 4 * r, 4 + 4 * r},
              {{"highway", "residential"}, {"name", "Row " + std::to_string(r)}});
    for (int c = 0; c < 4; ++c)
        o.way(200 + c, {1 + c, 5 + c, 9 + c, 13 + c},
              {{"highway", "residential"}, {"name", "Column " + std::to_string(c)}});
    o.node(50, 100, 300, {{"place", "town"}, {"name", "Alpha"}, {"is_in:county", "North"}});
    o.node(51, 700, -300, {{"place", "village"}, {"name", "Beta"}, {"is_in:county", "South"}});
    // Row 0 from west to east: odd numbers on the left (north), even on the right.
    int odd = 1, even = 2;
    for (double x : {20.0, 90.0, 150.0}) {
        o.node(300 + odd, x, 12, {{"addr:housenumber", std::to_string(odd)}, {"addr:street", "Row 0"}});
        o.node(300 + even, x, -12, {{"addr:housenumber", std::to_string(even)}, {"addr:street", "Row 0"}});
        odd += 2;
        even += 2;
    }
    // A motorway south of the grid and a slip road up to node 1.
    o.node(60, -400, -400);
    o.node(61, 0, -400);
    o.node(62, 800, -400);
    o.way(400, {60, 61, 62}, {{"highway", "motorway"}, {"ref", "A9"}});
    o.way(401, {61, 1}, {{"highway", "motorway_link"}, {"destination", "Alpha;Centre"}, {"destination:ref", "R2"}});
    o.node(70, 300, 100, {{"amenity", "cafe"}, {"name", "Grid Cafe"}});
    o.way(500, {71, 72, 73, 74, 71}, {{"leisure", "park"}});
    o.node(71, 20, 20);
    o.node(72, 180, 20);
    o.node(73, 180, 180);
    o.node(74, 20, 180);
    return o;
}

std::string narrow(const XrString& s)
{
    std::string out;
    for (const TCHAR* p = s.c_str(); p != nullptr && *p != 0; ++p)
        out += *p < 0x80 ? static_cast<char>(*p) : '?';
    return out;
}

using CommandRun = XrCommandRun;

CommandRun run(const std::string& cmd)
{
    return xr_run_command(cmd);
}

long long route_length(const std::string& dir, const std::string& from, const std::string& to, int mode = 3)
{
    const CommandRun r = run(std::string(XR_PROBE_PROGRAM) + " route " + dir + " " + from + " " + to +
                      " --mode " + std::to_string(mode));
    if (r.status != 0) {
        ADD_FAILURE() << r.out;
        return -1;
    }
    const size_t at = r.out.find("length_m ");
    return at == std::string::npos ? -1 : std::atoll(r.out.c_str() + at + 9);
}

std::map<std::string, std::string> folder_bytes(const std::string& dir)
{
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(dir))
        files[e.path().filename().string()] = XrTempRoot::read_file(e.path().string());
    return files;
}

class Compile : public ::testing::Test {
protected:
    std::string write_osm(const std::string& name, const std::string& text)
    {
        return root.write_file("/in/" + name, text);
    }
    // Compiles text into a folder; the folder's path, "" on failure.
    std::string compile(const OsmText& osm, const std::string& name = "map")
    {
        const std::string in = write_osm(name + ".osm", osm.text());
        const std::string out = root.dir() + "/out/" + name;
        fs::create_directories(root.dir() + "/out");
        std::string error;
        XrCompileOptions options;
        options.name = "Test";
        if (!xr_compile_osm_file(in, out, options, stats, error)) {
            ADD_FAILURE() << error;
            return std::string();
        }
        return out;
    }

    XrTempRoot root;
    XrCompileStats stats;
};

TEST(CompileRoads, CarRoadsFromTags)
{
    struct Case {
        XrOsmTags tags;
        bool road;
        int category, speed_class, road_type, oneway;
    };
    const Case cases[] = {
        {{{"highway", "motorway"}}, true, 0, 0, 1, 1},
        {{{"highway", "motorway"}, {"oneway", "no"}}, true, 0, 0, 1, 0},
        {{{"highway", "motorway_link"}}, true, 1, 2, 3, 0},
        {{{"highway", "trunk"}}, true, 1, 1, 0, 0},
        {{{"highway", "primary"}, {"maxspeed", "50"}}, true, 2, 3, 0, 0},
        {{{"highway", "secondary"}, {"junction", "roundabout"}}, true, 3, 2, 5, 1},
        {{{"highway", "tertiary"}, {"oneway", "-1"}}, true, 4, 3, 0, 2},
        {{{"highway", "residential"}}, true, 5, 4, 0, 0},
        {{{"highway", "residential"}, {"maxspeed", "50 mph"}}, true, 5, 1, 0, 0},
        {{{"highway", "residential"}, {"maxspeed", "RU:urban"}}, true, 5, 4, 0, 0},
        {{{"highway", "residential"}, {"oneway", "yes"}}, true, 5, 4, 0, 1},
        {{{"highway", "living_street"}}, true, 6, 6, 0, 0},
        {{{"highway", "service"}, {"access", "no"}, {"motor_vehicle", "yes"}}, true, 6, 5, 0, 0},
        {{{"highway", "service"}, {"access", "private"}}, false, 0, 0, 0, 0},
        {{{"highway", "residential"}, {"motor_vehicle", "no"}}, false, 0, 0, 0, 0},
        {{{"highway", "footway"}}, false, 0, 0, 0, 0},
        {{{"highway", "cycleway"}}, false, 0, 0, 0, 0},
        {{{"highway", "residential"}, {"area", "yes"}}, false, 0, 0, 0, 0},
        {{{"waterway", "river"}}, false, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        std::string trace;
        for (const auto& [k, v] : c.tags)
            trace += k + "=" + v + " ";
        SCOPED_TRACE(trace);
        XrOsmRoad r;
        ASSERT_EQ(xr_osm_road(c.tags, r), c.road);
        if (!c.road)
            continue;
        EXPECT_EQ(r.category, c.category);
        EXPECT_EQ(r.speed_class, c.speed_class);
        EXPECT_EQ(r.road_type, c.road_type);
        EXPECT_EQ(r.oneway, c.oneway);
    }
}

TEST(CompileRoads, PoiClassesAndTheShippedCatalogue)
{
    const std::pair<XrOsmTags, int> cases[] = {
        {{{"amenity", "fuel"}}, 1},          {{{"amenity", "parking"}}, 2},
        {{{"amenity", "fast_food"}}, 3},     {{{"tourism", "hotel"}}, 5},
        {{{"shop", "bakery"}}, 8},           {{{"historic", "castle"}}, 10},
        {{{"amenity", "bench"}}, 0},         {{{"highway", "residential"}}, 0},
    };
    for (const auto& [tags, cls] : cases)
        EXPECT_EQ(xr_osm_poi_class(tags), cls) << tags.begin()->second;
    // The catalogue shipped in data/ is the compiler's.
    EXPECT_EQ(XrTempRoot::read_file(std::string(XR_DATA_DIR) + "/poi.reg"), xr_poi_registry_text());
    EXPECT_NE(xr_poi_registry_text().find("[\\poi\\default]\n1=Petrol station\n"), std::string::npos);
}

TEST_F(Compile, FolderOpensWithEveryReader)
{
    const std::string dir = compile(grid_town());
    ASSERT_FALSE(dir.empty());
    for (const char* f : {"graph.bin", "roads.qt", "areas.qt", "labels.qt", "pb.qt", "pc.qt", "numbers.qt", "pois.qt",
                          "addr.dat", "signs.bin", "mapdata.ini", "maplcs.dat", "version.txt", "maemo.reg", "poi.reg"})
        EXPECT_TRUE(fs::is_regular_file(dir + "/" + f)) << f;
    // 8 streets cut at the 16 crossings: 24 edges; the motorway in two and the slip road.
    EXPECT_EQ(stats.edges, 24 + 3);
    EXPECT_EQ(stats.labels, 2);
    EXPECT_EQ(stats.numbers, 1);
    EXPECT_EQ(stats.areas, 1);
    EXPECT_EQ(stats.signposts, 1);
    EXPECT_EQ(stats.pois, 1);

    XrFileStorageAccessor graph_file;
    ASSERT_TRUE(graph_file.open(XrString((dir + "/graph.bin").c_str()), true));
    XrGraphAccessor2 graph(&graph_file, 0x80000);
    EXPECT_EQ(graph.open(nullptr), 0);

    auto* roads_file = new XrFileStorageAccessor();
    ASSERT_TRUE(roads_file->open(XrString((dir + "/roads.qt").c_str()), true));
    XrSimpleGeomStorage roads(roads_file, true, false, nullptr);
    ASSERT_EQ(roads.open(), 0);
    std::unique_ptr<XrGeomCursor> cur(roads.get_cursor(nullptr, 0));
    ASSERT_TRUE(cur);
    int records = 0;
    const BYTE* rec = nullptr;
    XrGeomStorage::XrRecordType kind;
    std::map<XrGid, int> road_types;
    while (cur->get_next_record(rec, kind) == XrGeomCursor::OK) {
        int id = 0, x = 0, y = 0;
        short type = 0, aux = 0;
        const BYTE* pts = nullptr;
        const BYTE* attrs = nullptr;
        BYTE coding = 0;
        ASSERT_GT(cur->get_pp(rec, id, x, y, type, aux, pts, coding, attrs), 1);
        XrGid gid = 0;
        ASSERT_TRUE(cur->get_current_record_geom_id(gid));
        road_types[gid] = type;
        ++records;
    }
    EXPECT_EQ(records, stats.edges);

    // Streets with their counties and house numbers.
    auto* addr_file = new XrFileStorageAccessor();
    ASSERT_TRUE(addr_file->open(XrString((dir + "/addr.dat").c_str()), true));
    XrAddrAccessor addr;
    addr.set_storage(addr_file);
    ASSERT_EQ(addr.open(), XrAddrAccessor::OK);
    XrString country;
    ASSERT_EQ(addr.get_country_name(0, country), XrAddrAccessor::OK);
    EXPECT_EQ(narrow(country), "Test");
    ASSERT_EQ(addr.find_first_street(L"", false), XrAddrAccessor::OK);
    std::map<std::string, std::set<std::string>> counties_of;
    std::map<std::string, int> edges_of;
    std::vector<int> row0_numbers;
    XrString name;
    unsigned int county = 0;
    while (addr.get_next_street(&name, &county, nullptr, nullptr, nullptr) == XrAddrAccessor::OK) {
        XrString county_name;
        unsigned int next = 0;
        ASSERT_EQ(addr.get_county(county, county_name, nullptr, &next), XrAddrAccessor::OK);
        counties_of[narrow(name)].insert(narrow(county_name));
        XrGid gid = 0;
        short lf, lt, rf, rt;
        XrAddrAccessor::NumType ltype, rtype;
        while (addr.get_next_segment(gid, lf, lt, ltype, rf, rt, rtype) == XrAddrAccessor::OK) {
            EXPECT_TRUE(road_types.count(gid)) << narrow(name);
            ++edges_of[narrow(name)];
            if (narrow(name) == "Row 0" && (lf != 0 || rf != 0)) {
                EXPECT_TRUE(row0_numbers.empty());
                row0_numbers = {lf, lt, rf, rt};
            }
        }
    }
    // Each piece of a street is in the county of the nearest town.
    EXPECT_EQ(counties_of["Row 3"], (std::set<std::string>{"Alpha#North#"}));
    EXPECT_EQ(counties_of["Row 0"], (std::set<std::string>{"Alpha#North#", "Beta#South#"}));
    EXPECT_EQ(edges_of["Row 1"], 3);
    // Row 0's first block: 1..5 on the left, 2..6 on the right.
    EXPECT_EQ(row0_numbers, (std::vector<int>{1, 5, 2, 6}));

    // The motorway's first piece leads to the slip road's signpost.
    auto* signs_file = new XrFileStorageAccessor();
    ASSERT_TRUE(signs_file->open(XrString((dir + "/signs.bin").c_str()), true));
    XrSignpostAccessor signs;
    ASSERT_TRUE(signs.open(signs_file));
    int signposted = 0;
    for (const auto& [gid, type] : road_types) {
        XrArray<XrGid> path(4);
        if (!signs.get_first_path(gid, path))
            continue;
        ++signposted;
        EXPECT_EQ(type & 15, 0); // a motorway piece
        // The key edge, then the slip road.
        ASSERT_EQ(path.get_num_items(), 2);
        EXPECT_EQ(*path.get_item_ptr(0), gid);
        EXPECT_EQ(road_types[*path.get_item_ptr(1)] & 15, 1);
        XrPtrArray<XrSignpostAccessor::XrInstruction*> lines(4);
        ASSERT_TRUE(signs.get_instructions(lines, 0));
        std::vector<std::string> texts;
        for (int i = 0; i < lines.get_num_items(); ++i)
            texts.push_back(narrow(lines.get_item(i)->text));
        EXPECT_EQ(texts, (std::vector<std::string>{"R2", "Alpha, Centre"}));
        for (int i = 0; i < lines.get_num_items(); ++i)
            delete lines.get_item(i);
    }
    EXPECT_EQ(signposted, 1);

    // The map provider opens it as a card's map folder.
    const CommandRun map = run(std::string(XR_PROBE_PROGRAM) + " map " + dir);
    ASSERT_EQ(map.status, 0) << map.out;
    EXPECT_NE(map.out.find("layers: 5"), std::string::npos) << map.out;
    EXPECT_NE(map.out.find("countries: Test"), std::string::npos) << map.out;
    EXPECT_NE(map.out.find("pb.qt: yes\npc.qt: yes"), std::string::npos) << map.out;
}

TEST_F(Compile, MultipolygonAreasFromTheirMemberWays)
{
    OsmText o = grid_town();
    // A lake east of the grid: its shore in two untagged ways, an island
    // (inner ring), the tags on the relation.
    o.node(80, 800, 0);
    o.node(81, 1000, 0);
    o.node(82, 1000, 200);
    o.node(83, 800, 200);
    o.node(84, 880, 80);
    o.node(85, 920, 80);
    o.node(86, 900, 120);
    o.way(600, {80, 81, 82}, {});
    o.way(601, {82, 83, 80}, {});
    o.way(602, {84, 85, 86, 84}, {});
    o.multipolygon(700, {600, 601}, {602}, {{"natural", "water"}, {"name", "Blue Lake"}});
    // A forest of two separate outer rings.
    o.node(90, -300, 0);
    o.node(91, -200, 0);
    o.node(92, -200, 100);
    o.node(93, -300, 300);
    o.node(94, -200, 300);
    o.node(95, -200, 400);
    o.way(610, {90, 91, 92, 90}, {});
    o.way(611, {93, 94, 95, 93}, {});
    o.multipolygon(701, {610, 611}, {}, {{"landuse", "forest"}});
    // Broken ones are left out: a ring that does not close, a member way
    // missing from the file, a member with a node missing.
    o.multipolygon(702, {600}, {}, {{"natural", "water"}});
    o.multipolygon(703, {610, 699}, {}, {{"natural", "water"}});
    o.way(612, {90, 91, 98, 90}, {});
    o.multipolygon(704, {612}, {}, {{"natural", "water"}});
    const std::string dir = compile(o);
    ASSERT_FALSE(dir.empty());
    std::map<std::pair<int, int>, int> most_points;
    const auto census = xr_geom_census(dir + "/areas.qt", &most_points);
    const std::pair<int, int> water{XrGeomStorage::RecPolygon, 10}, green{XrGeomStorage::RecPolygon, 11};
    ASSERT_TRUE(census.count(water));
    EXPECT_EQ(census.at(water), 1);
    EXPECT_EQ(most_points.at(water), 4 + 1 + 3 + 1); // the lake's four corners and the island's three, each ring closed
    ASSERT_TRUE(census.count(green));
    EXPECT_EQ(census.at(green), 1 + 2); // the park and the forest's two rings
    EXPECT_EQ(stats.areas, 4);
}

TEST_F(Compile, SameInputGivesTheSameBytesAndReplacesTheFolder)
{
    const std::string first = compile(grid_town(), "a");
    const std::string second = compile(grid_town(), "b");
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    EXPECT_EQ(folder_bytes(first), folder_bytes(second));

    // A second compile into the same folder replaces it as a whole.
    root.write_file("/out/a/stale.txt", "old");
    ASSERT_EQ(compile(grid_town(), "a"), first);
    EXPECT_FALSE(fs::exists(first + "/stale.txt"));
    EXPECT_EQ(folder_bytes(first), folder_bytes(second));
}

TEST_F(Compile, AnOutputThatIsAFileIsLeftAlone)
{
    const std::string in = write_osm("map.osm", grid_town().text());
    const std::string out = root.write_file("/out/map", "a file");
    std::string error;
    EXPECT_FALSE(xr_compile_osm_file(in, out, XrCompileOptions(), stats, error));
    EXPECT_NE(error.find("exists and is not a folder"), std::string::npos) << error;
    EXPECT_EQ(XrTempRoot::read_file(out), "a file");
    // Nothing else in the output's folder: the temporary folder is gone.
    size_t entries = 0;
    for (const auto& e : fs::directory_iterator(root.dir() + "/out"))
        entries += e.path() != fs::path(out);
    EXPECT_EQ(entries, 0u);
}

TEST_F(Compile, PbfAndXmlGiveTheSameMap)
{
    const std::string xml = compile(grid_town(), "xml");
    ASSERT_FALSE(xml.empty());
    const std::string pbf = root.dir() + "/in/map.osm.pbf";
    std::string error;
    ASSERT_TRUE(xr_write_osm_pbf(root.dir() + "/in/xml.osm", pbf, error)) << error;
    const std::string out = root.dir() + "/out/pbf";
    XrCompileOptions options;
    options.name = "Test";
    ASSERT_TRUE(xr_compile_osm_file(pbf, out, options, stats, error)) << error;
    EXPECT_EQ(folder_bytes(xml), folder_bytes(out));
}

TEST_F(Compile, ALargeXmlFileReadInPartsGivesTheMapOfItsPbf)
{
    // Over 4 MiB of XML: the grid town and a lake's shore first, then
    // filler nodes and ways, then the lake and a turn restriction, whose
    // members lie in another part of the file.
    OsmText o = grid_town();
    const int shore[] = {80, 81, 82, 83};
    const double corners[][2] = {{800, 0}, {1000, 0}, {1000, 200}, {800, 200}};
    for (int i = 0; i < 4; ++i)
        o.node(shore[i], corners[i][0], corners[i][1]);
    o.way(600, {80, 81, 82}, {});
    o.way(601, {82, 83, 80}, {});
    for (int i = 0; i < 46000; ++i)
        o.node(100000 + i, 3000 + (i % 200) * 5.0, 3000 + (i / 200) * 5.0);
    for (int i = 0; i < 23000; ++i)
        o.way(200000 + i, {100000 + 2 * i, 100001 + 2 * i}, {});
    o.multipolygon(700, {600, 601}, {}, {{"natural", "water"}, {"name", "Blue Lake"}});
    o.restriction(800, 100, 1, 200, "no_left_turn");
    ASSERT_GT(o.text().size(), size_t(4) << 20);

    const std::string xml = compile(o, "big");
    ASSERT_FALSE(xml.empty());
    EXPECT_GE(stats.areas, 2);
    EXPECT_EQ(stats.restrictions, 1);
    const std::string pbf = root.dir() + "/in/big.osm.pbf";
    std::string error;
    ASSERT_TRUE(xr_write_osm_pbf(root.dir() + "/in/big.osm", pbf, error)) << error;
    XrCompileOptions options;
    options.name = "Test";
    ASSERT_TRUE(xr_compile_osm_file(pbf, root.dir() + "/out/big-pbf", options, stats, error)) << error;
    EXPECT_EQ(folder_bytes(xml), folder_bytes(root.dir() + "/out/big-pbf"));

    // A part that does not read sends the whole file to the one reader,
    // which names the problem; a comment keeps the file whole.
    const std::string text = o.text();
    const std::string cut = write_osm("cut.osm", text.substr(0, text.size() * 3 / 4));
    EXPECT_FALSE(xr_compile_osm_file(cut, root.dir() + "/out/cut", options, stats, error));
    EXPECT_NE(error.find("not valid OSM data"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(root.dir() + "/out/cut"));
    const size_t middle = text.find("<way id=\"210000\"");
    ASSERT_NE(middle, std::string::npos);
    const std::string remarked =
        write_osm("remarked.osm", text.substr(0, middle) + "<!-- a remark -->\n" + text.substr(middle));
    // (The error text of the failed compile is still in error: a compile
    // does not depend on what its error text held before.)
    ASSERT_TRUE(xr_compile_osm_file(remarked, root.dir() + "/out/remarked", options, stats, error)) << error;
    EXPECT_EQ(folder_bytes(xml), folder_bytes(root.dir() + "/out/remarked"));
}

TEST_F(Compile, DamagedOrHostileInputLeavesNoFolder)
{
    OsmText no_roads;
    no_roads.node(1, 0, 0);
    no_roads.node(2, 100, 0);
    no_roads.way(10, {1, 2}, {{"highway", "footway"}});
    OsmText missing_nodes;
    missing_nodes.way(10, {1, 2, 3}, {{"highway", "residential"}});
    OsmText off_the_globe;
    off_the_globe.way(10, {1, 2}, {{"highway", "residential"}});
    const std::string grid = grid_town().text();
    struct Case {
        const char* name;
        std::string content; // "" with missing: no file at all
        bool missing;
        const char* error;
    };
    const Case cases[] = {
        {"none.osm", "", true, "cannot open"},
        {"garbage.osm", "this is not XML at all \x01\x02", false, "not valid OSM data"},
        {"cut.osm", grid.substr(0, grid.size() / 2), false, "not valid OSM data"},
        {"nested.osm", "<?xml version=\"1.0\"?><osm version=\"0.6\"><node id=\"1\" lat=\"1\" lon=\"1\"><node>", false,
         "not valid OSM data"},
        {"garbage.osm.pbf", std::string(64, '\xff') + "junk", false, "not valid OSM data"},
        {"noroads.osm", no_roads.text(), false, "no roads"},
        {"missing.osm", missing_nodes.text(), false, "no roads"},
        {"wide.osm",
         "<?xml version=\"1.0\"?><osm version=\"0.6\"><node id=\"1\" lat=\"1\" lon=\"-20\"/>"
         "<node id=\"2\" lat=\"1\" lon=\"20\"/>" +
             off_the_globe.text().substr(off_the_globe.text().find("<way")),
         false, "span more than a map can hold"},
        {"globe.osm",
         "<?xml version=\"1.0\"?><osm version=\"0.6\"><node id=\"1\" lat=\"95\" lon=\"400\"/>"
         "<node id=\"2\" lat=\"-95\" lon=\"400\"/>" +
             off_the_globe.text().substr(off_the_globe.text().find("<way")),
         false, nullptr},
    };
    fs::create_directories(root.dir() + "/out");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string in = root.dir() + "/in/" + c.name;
        if (!c.missing)
            write_osm(c.name, c.content);
        const std::string out = root.dir() + "/out/" + c.name + ".map";
        std::string error;
        XrCompileStats s;
        EXPECT_FALSE(xr_compile_osm_file(in, out, XrCompileOptions(), s, error));
        if (c.error != nullptr) {
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
        }
        EXPECT_FALSE(error.empty());
        EXPECT_FALSE(fs::exists(out));
    }
    // Nothing half-written is left beside the outputs.
    EXPECT_TRUE(fs::is_empty(root.dir() + "/out"));

    // The command line names the problem and fails.
    const CommandRun r = run(std::string(XR_MAPGEN_PROGRAM) + " compile " + root.dir() + "/in/garbage.osm " + root.dir() +
                      "/out/cli");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("mapgen compile: "), std::string::npos) << r.out;
    EXPECT_FALSE(fs::exists(root.dir() + "/out/cli"));
}

TEST_F(Compile, OneWaysAndTurnRestrictionsShapeRoutes)
{
    // A 3 x 3 grid of 200 m blocks; routes between a point 10 m into Row 1
    // and one 10 m before the north end of Column 1 (a left turn at node 6
    // from Row 1's west part, way 101, into Column 1's north part, way 202).
    // Every detour is 20 m longer.
    struct Case {
        const char* name;
        bool oneway_row1;        // Row 1 only eastwards
        const char* restriction; // from way 101 over node 6 to way `to`
        int to;
        int forbidden;
        long long forward, back;
    };
    const Case cases[] = {
        {"free", false, nullptr, 0, 0, 580, 580},
        {"Row 1 one way", true, nullptr, 0, 0, 580, 600},
        {"no left turn", false, "no_left_turn", 202, 1, 600, 580},
        {"only straight on", false, "only_straight_on", 102, 2, 600, 580},
        {"only left turn", false, "only_left_turn", 202, 2, 580, 580},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OsmText o;
        for (int r = 0; r < 4; ++r)
            for (int col = 0; col < 4; ++col)
                o.node(1 + 4 * r + col, col * 200.0, r * 200.0);
        std::map<std::string, std::string> row1 = {{"highway", "residential"}};
        if (c.oneway_row1)
            row1["oneway"] = "yes";
        o.way(101, {5, 6}, row1);
        o.way(102, {6, 7, 8}, row1);
        o.way(201, {2, 6}, {{"highway", "residential"}});
        o.way(202, {6, 10, 14}, {{"highway", "residential"}});
        for (int r : {0, 2, 3})
            o.way(100 + 10 * r, {1 + 4 * r, 2 + 4 * r, 3 + 4 * r, 4 + 4 * r}, {{"highway", "residential"}});
        for (int col : {0, 2, 3})
            o.way(300 + col, {1 + col, 5 + col, 9 + col, 13 + col}, {{"highway", "residential"}});
        if (c.restriction != nullptr)
            o.restriction(1, 101, 6, c.to, c.restriction);
        const std::string dir = compile(o, "r");
        ASSERT_FALSE(dir.empty());
        EXPECT_EQ(stats.restrictions, c.forbidden);
        const std::string a = OsmText::at(10, 200), b = OsmText::at(200, 590);
        EXPECT_NEAR(route_length(dir, a, b), c.forward, 3);
        EXPECT_NEAR(route_length(dir, b, a), c.back, 3);
    }
}

} // namespace
