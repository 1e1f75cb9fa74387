// The demo map Atlantis as the build compiles it: every reader opens it, the
// map provider takes it, it draws, and routes run on it.
#include <gtest/gtest.h>

#include "support/xr_command_run.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <algorithm>
#include <vector>
#include <string>
#include <vector>

#include "common/addr/xr_addraccessor.h"
#include "common/addr/xr_signpostacc.h"
#include "common/db/xr_heapgeomstorage.h"
#include "common/container/xr_bytes.h"
#include "common/geometry/xr_projection.h"
#include "common/graph/xr_graphaccessor.h"
#include "common/map/xr_linelabellayer.h"
#include "common/misc/xr_utf8.h"
#include "common/storage/xr_storageaccessor.h"
#include "atlantis_test_support.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/xr_geom_census_test.h"

namespace fs = std::filesystem;

namespace {

const std::string MAP = XR_ATLANTIS_DIR;

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

XrFileStorageAccessor* open_file(const std::string& name)
{
    auto* f = new XrFileStorageAccessor();
    if (!f->open(XrString((MAP + "/" + name).c_str()), true)) {
        delete f;
        return nullptr;
    }
    return f;
}

std::map<std::pair<int, int>, int> geometry_census(const std::string& name)
{
    return xr_geom_census(MAP + "/" + name);
}

// The value of attribute key in one line of OSM XML, entities resolved;
// empty when absent.
std::string xml_attr(const std::string& line, const std::string& key)
{
    const size_t at = line.find(" " + key + "=\"");
    if (at == std::string::npos)
        return "";
    const size_t from = at + key.size() + 3;
    const std::string raw = line.substr(from, line.find('"', from) - from);
    std::string out;
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '&') {
            out += raw[i];
            continue;
        }
        const size_t end = raw.find(';', i);
        const std::string entity = raw.substr(i + 1, end - i - 1);
        const std::map<std::string, char> known = {{"amp", '&'}, {"quot", '"'}, {"apos", '\''}, {"lt", '<'}, {"gt", '>'}};
        out += known.count(entity) ? known.at(entity) : '?';
        i = end;
    }
    return out;
}

// The road ways of an OSM file (those with a "highway" tag): their names
// ("" for none) and, per point in even map units, the ways through it.
struct OsmRoads {
    std::vector<std::string> names;
    std::map<std::pair<int, int>, std::set<int>> ways_at;
};

OsmRoads read_osm_roads(const std::string& path, const XrProjection& projection)
{
    OsmRoads out;
    std::map<long, std::pair<int, int>> nodes;
    std::ifstream in(path);
    std::string line;
    std::vector<long> refs;
    std::string name;
    bool road = false;
    while (std::getline(in, line)) {
        if (line.find("<node ") != std::string::npos) {
            int x = 0, y = 0;
            if (projection.to_map(std::atof(xml_attr(line, "lon").c_str()), std::atof(xml_attr(line, "lat").c_str()), x,
                                  y))
                nodes[std::atol(xml_attr(line, "id").c_str())] = {x / 2, y / 2};
        } else if (line.find("<way ") != std::string::npos) {
            refs.clear();
            name.clear();
            road = false;
        } else if (line.find("<nd ") != std::string::npos) {
            refs.push_back(std::atol(xml_attr(line, "ref").c_str()));
        } else if (line.find("<tag ") != std::string::npos) {
            const std::string k = xml_attr(line, "k");
            road = road || k == "highway";
            if (k == "name")
                name = xml_attr(line, "v");
        } else if (line.find("</way>") != std::string::npos && road) {
            const int way = static_cast<int>(out.names.size());
            out.names.push_back(name);
            for (long r : refs)
                if (nodes.count(r))
                    out.ways_at[nodes[r]].insert(way);
        }
    }
    return out;
}

std::string utf8_narrow(const std::string& text)
{
    XrString wide;
    XrUTF8::decode_utf8(reinterpret_cast<const BYTE*>(text.data()), static_cast<int>(text.size()), wide);
    return narrow(wide);
}

// The gids of the road geometry records in file order; empty when the file
// cannot be read.
std::vector<XrGid> road_gids()
{
    std::vector<XrGid> gids;
    for (const XrAtlantisRoad& r : atlantis_roads(MAP))
        gids.push_back(r.gid);
    return gids;
}

TEST(Atlantis, EveryReaderOpensIt)
{
    ASSERT_TRUE(fs::is_directory(MAP)) << MAP;

    XrFileStorageAccessor graph_file;
    ASSERT_TRUE(graph_file.open(XrString((MAP + "/graph.bin").c_str()), true));
    XrGraphAccessor2 graph(&graph_file, 0x80000);
    ASSERT_EQ(graph.open(nullptr), 0);
    EXPECT_TRUE(graph.has_manoeuvres());

    // Roads of every class, water and parks, place names and road numbers.
    const auto roads = geometry_census("roads.qt");
    for (int category : {0, 1, 2, 3, 4, 5})
        EXPECT_GT(roads.count({XrGeomStorage::RecPolyline, category}), 0u) << category;
    const auto areas = geometry_census("areas.qt");
    EXPECT_EQ((areas.at({XrGeomStorage::RecPolygon, 11})), 3);  // parks
    EXPECT_EQ((areas.at({XrGeomStorage::RecPolygon, 10})), 1);  // the river's water
    EXPECT_EQ((areas.at({XrGeomStorage::RecPolyline, 9})), 1);  // the river
    const auto labels = geometry_census("labels.qt");
    EXPECT_EQ((labels.at({XrGeomStorage::RecText, 1})), 2);     // two towns
    const auto pois = geometry_census("pois.qt");
    EXPECT_EQ((pois.at({XrGeomStorage::RecText, 1})), 2);         // petrol stations
    EXPECT_EQ((pois.at({XrGeomStorage::RecText, 5})), 2);         // hotels
    EXPECT_EQ(pois.size(), 11u);                                  // POI classes used
    EXPECT_EQ((geometry_census("pc.qt").size()), 3u);             // town, village, suburb names
    EXPECT_EQ((geometry_census("pb.qt").at({XrGeomStorage::RecText, 1})), 2); // town areas
    const auto numbers = geometry_census("numbers.qt");
    EXPECT_GT((numbers.at({XrGeomStorage::RecText, 1})), 0);    // A1

    // Streets of two towns in two counties, with house numbers.
    XrAddrAccessor addr;
    addr.set_storage(open_file("addr.dat"));
    ASSERT_EQ(addr.open(), XrAddrAccessor::OK);
    XrString country;
    ASSERT_EQ(addr.get_country_name(0, country), XrAddrAccessor::OK);
    EXPECT_EQ(narrow(country), "Atlantis");
    ASSERT_EQ(addr.find_first_street(L"", false), XrAddrAccessor::OK);
    std::set<std::string> counties;
    std::map<std::string, std::set<int>> numbers_of;
    XrString name;
    unsigned int county = 0;
    while (addr.get_next_street(&name, &county, nullptr, nullptr, nullptr) == XrAddrAccessor::OK) {
        XrString county_name;
        unsigned int next = 0;
        ASSERT_EQ(addr.get_county(county, county_name, nullptr, &next), XrAddrAccessor::OK);
        counties.insert(narrow(county_name));
        XrGid gid = 0;
        short lf, lt, rf, rt;
        XrAddrAccessor::NumType ltype, rtype;
        while (addr.get_next_segment(gid, lf, lt, ltype, rf, rt, rtype) == XrAddrAccessor::OK)
            for (short n : {lf, lt, rf, rt})
                if (n != 0)
                    numbers_of[narrow(name)].insert(n);
    }
    EXPECT_EQ(counties,
              (std::set<std::string>{"Atlantis#Poseidonia#", "Nova Thera#Eastmarch#", "Westfield#Poseidonia#"}));
    EXPECT_TRUE(numbers_of["Orchard Street"].count(2)) << "interpolated numbers";
    EXPECT_TRUE(numbers_of["Orchard Street"].count(40));
    EXPECT_TRUE(numbers_of["Mill Lane"].count(1));
    EXPECT_TRUE(numbers_of["Quay Road"].count(2));

    // Five motorway exits with destination signs.
    XrSignpostAccessor signs;
    ASSERT_TRUE(signs.open(open_file("signs.bin")));
    const std::vector<XrGid> gids = road_gids();
    ASSERT_FALSE(gids.empty());
    std::set<std::string> destinations;
    int exits = 0;
    for (XrGid gid : gids) {
        XrArray<XrGid> path(4);
        if (!signs.get_first_path(gid, path))
            continue;
        ++exits;
        XrPtrArray<XrSignpostAccessor::XrInstruction*> lines(4);
        ASSERT_TRUE(signs.get_instructions(lines, 0));
        for (int i = 0; i < lines.get_num_items(); ++i) {
            destinations.insert(narrow(lines.get_item(i)->text));
            delete lines.get_item(i);
        }
    }
    EXPECT_EQ(exits, 5);
    EXPECT_TRUE(destinations.count("Atlantis Centre, Old Harbour"));
    EXPECT_TRUE(destinations.count("R1"));
}

// Every road edge of a street is a record of the road geometry, and no
// edge belongs to two streets.
TEST(Atlantis, StreetEdgesAreRoadRecordsOfOneStreetEach)
{
    const std::vector<XrGid> gids = road_gids();
    const std::set<XrGid> road_set(gids.begin(), gids.end());
    ASSERT_EQ(road_set.size(), gids.size());
    XrAddrAccessor addr;
    addr.set_storage(open_file("addr.dat"));
    ASSERT_EQ(addr.open(), XrAddrAccessor::OK);
    ASSERT_EQ(addr.find_first_street(L"", false), XrAddrAccessor::OK);
    std::map<XrGid, std::string> street_of;
    XrString name;
    while (addr.get_next_street(&name, nullptr, nullptr, nullptr, nullptr) == XrAddrAccessor::OK) {
        XrGid gid = 0;
        short lf, lt, rf, rt;
        XrAddrAccessor::NumType ltype, rtype;
        while (addr.get_next_segment(gid, lf, lt, ltype, rf, rt, rtype) == XrAddrAccessor::OK) {
            EXPECT_TRUE(road_set.count(gid)) << narrow(name) << " " << std::hex << gid;
            auto [it, fresh] = street_of.emplace(gid, narrow(name));
            EXPECT_TRUE(fresh || it->second == narrow(name))
                << std::hex << gid << " in " << it->second << " and " << narrow(name);
        }
    }
    EXPECT_GT(street_of.size(), 100u);
}

// The street labels of the program: the road layer's name source over the
// address database, asked with each road's gid, gives the OSM name of the
// road's way, and nothing for a way without a name.
TEST(Atlantis, StreetLabelNamesByRoadGidAreTheOsmNames)
{
    const std::unique_ptr<XrProjection> projection = atlantis_projection(MAP);
    ASSERT_TRUE(projection);
    const OsmRoads osm = read_osm_roads(XR_ATLANTIS_OSM, *projection);
    ASSERT_FALSE(osm.names.empty());

    // Each road record's gid and the way all of its points lie on.
    const std::vector<XrAtlantisRoad> roads = atlantis_roads(MAP);
    ASSERT_FALSE(roads.empty());
    std::vector<XrGid> gids;
    std::vector<std::string> expected;
    for (const XrAtlantisRoad& road : roads) {
        const XrGid gid = road.gid;
        std::set<int> ways;
        for (size_t k = 0; k < road.points.size(); ++k) {
            const XrPoint& p = road.points[k];
            auto at = osm.ways_at.find({p.x / 2, p.y / 2});
            ASSERT_NE(at, osm.ways_at.end()) << std::hex << gid << " point " << std::dec << p.x << "," << p.y;
            std::set<int> both;
            for (int w : at->second)
                if (k == 0 || ways.count(w))
                    both.insert(w);
            ways = both;
        }
        ASSERT_FALSE(ways.empty()) << std::hex << gid;
        std::set<std::string> names;
        for (int w : ways)
            names.insert(utf8_narrow(osm.names[static_cast<size_t>(w)]));
        ASSERT_EQ(names.size(), 1u) << std::hex << gid;
        // The record's id is its gid (the key of the location details) and
        // its attribute bytes the street-name reference (0 without a name).
        EXPECT_EQ(static_cast<XrGid>(road.id), gid);
        ASSERT_TRUE(road.has_reference) << std::hex << gid;
        EXPECT_EQ(road.name_reference, names.begin()->empty() ? 0u : gid) << std::hex << gid;
        gids.push_back(gid);
        expected.push_back(*names.begin());
    }

    XrAddrAccessor addr;
    addr.set_storage(open_file("addr.dat"));
    ASSERT_EQ(addr.open(), XrAddrAccessor::OK);
    XrAddrStreetNames source(&addr);
    // Without a text language and in the map's language (English).
    for (int language : {0, 'e' | 'n' << 8 | 'g' << 16}) {
        std::vector<XrString> found;
        source.flush_name_cache();
        source.get_streets_by_gids(gids, language, found);
        ASSERT_EQ(found.size(), gids.size());
        int named = 0;
        for (size_t i = 0; i < gids.size(); ++i) {
            EXPECT_EQ(narrow(found[i]), expected[i]) << std::hex << gids[i];
            named += expected[i].empty() ? 0 : 1;
        }
        EXPECT_GT(named, 100);
        EXPECT_LT(named, static_cast<int>(gids.size())) << "some roads have no name";
    }

    // A road's gid also leads to the segments of its street, with the road
    // among them (house numbers at a point of the road).
    for (size_t i = 0; i < gids.size(); ++i) {
        if (expected[i].empty())
            continue;
        XrString name;
        ASSERT_EQ(addr.get_street_by_gid(gids[i], name), XrAddrAccessor::OK);
        bool listed = false;
        XrGid gid = 0;
        short lf, lt, rf, rt;
        XrAddrAccessor::NumType ltype, rtype;
        while (addr.get_next_segment(gid, lf, lt, ltype, rf, rt, rtype) == XrAddrAccessor::OK)
            listed = listed || gid == gids[i];
        EXPECT_TRUE(listed) << std::hex << gids[i] << " " << narrow(name);
    }
}

TEST(Atlantis, TheMapProviderOpensItAndItDraws)
{
    const CommandRun map = run(std::string(XR_PROBE_PROGRAM) + " map " + MAP);
    ASSERT_EQ(map.status, 0) << map.out;
    EXPECT_NE(map.out.find("projection: wgs84://"), std::string::npos) << map.out;
    EXPECT_NE(map.out.find("countries: Atlantis"), std::string::npos) << map.out;
    EXPECT_NE(map.out.find("map: Atlantis\n"), std::string::npos) << map.out;
    for (const char* layer : {"  wa ", "  road ", "  rn ", "  sm ", "  poi "})
        EXPECT_NE(map.out.find(layer), std::string::npos) << layer;

    XrTempRoot root;
    const std::string png = root.dir() + "/atlantis.png";
    const CommandRun render = run(std::string(XR_PROBE_PROGRAM) + " render " + MAP +
                                  " --center 30.997,-24.0 --scale 30000 --size 400x300 -o " + png);
    ASSERT_EQ(render.status, 0) << render.out;
    EXPECT_GT(fs::file_size(png), 1000u);
}

TEST(Atlantis, CitySearchShowsWholeCountyNames)
{
    const CommandRun r = run(std::string(XR_PROBE_PROGRAM) + " search " + MAP + " city \"\"");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("Atlantis\tPoseidonia\t"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Nova Thera\tEastmarch\t"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Old Harbour\t\t"), std::string::npos) << r.out;
}

TEST(Atlantis, PoiSearchListsNearestFirstWithTheShippedCatalogue)
{
    // The class catalogue comes from the staged "/usr/share/kestrova/poi.reg".
    const CommandRun r = run("KESTROVA_ROOT=" + std::string(XR_STAGE_DIR) + " " + XR_PROBE_PROGRAM + " search " + MAP +
                             " poi \"\" --at 31.0,-24.0 --max 20");
    ASSERT_EQ(r.status, 0) << r.out;
    std::vector<double> metres;
    for (size_t at = 0; (at = r.out.find(" m\t", at)) != std::string::npos; ++at) {
        const size_t tab = r.out.rfind('\t', at);
        metres.push_back(std::atof(r.out.c_str() + tab + 1));
    }
    ASSERT_GE(metres.size(), 10u) << r.out;
    EXPECT_TRUE(std::is_sorted(metres.begin(), metres.end())) << r.out;
    EXPECT_EQ(r.out.find("Atlantis Town Hall\t"), 0u) << r.out;
    EXPECT_NE(r.out.find("Poseidon Fuel\t"), std::string::npos) << r.out;
}

// The installation commands of a first start, run as the program runs them
// with the staged share folder in place of "/usr/share/kestrova": each
// succeeds and the card holds the demo map and the shipped files.
TEST(Atlantis, TheShippedFilesInstallOnAFreshCard)
{
    XrTempRoot root;
    const std::string share = std::string(XR_STAGE_DIR) + "/usr/share/kestrova";
    const std::string card = root.dir() + "/media/mmc2/map/";
    for (const char* dir : {"kestrova/", "kestrova/legal/", "kestrova/fonts/"})
        fs::create_directories(card + dir);
    const char* const commands[][3] = {
        {"cp -R", "/atlantis", "mapdata"},
        {"cp", "/atlantis/maemo.reg", "kestrova/"},
        {"cp", "/legal/*.txt", "kestrova/legal/"},
        {"cp", "/fonts/*", "kestrova/fonts/"},
        {"cp", "/penaltymap_DEFAULT.txt", "kestrova/"},
    };
    for (const auto& c : commands) {
        const CommandRun r = run(std::string(c[0]) + " " + share + c[1] + " " + card + c[2]);
        EXPECT_EQ(r.status, 0) << c[0] << " " << c[1] << ": " << r.out;
    }
    for (const char* f : {"mapdata/mapdata.ini", "mapdata/version.txt", "mapdata/graph.bin", "mapdata/unicode.binmap",
                          "kestrova/maemo.reg", "kestrova/penaltymap_DEFAULT.txt", "kestrova/legal/licence.txt",
                          "kestrova/fonts/DejaVuSans.ttf"})
        EXPECT_TRUE(fs::is_regular_file(card + f)) << f;
    for (const char* f : {"settings.txt", "version.txt", "poi.reg"})
        EXPECT_TRUE(fs::is_regular_file(share + "/" + f)) << f;

    // The installed card opens under its map name.
    const CommandRun map = run(std::string(XR_PROBE_PROGRAM) + " map " + card);
    EXPECT_EQ(map.status, 0) << map.out;
    EXPECT_NE(map.out.find("map: Atlantis\n"), std::string::npos) << map.out;
}

TEST(Atlantis, RoutesRespectOneWaysAndTheTurnRestriction)
{
    // "LAT,LON" of points given in metres from the town centre (the
    // generator's own placement).
    auto at = [](double east, double north) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.7f,%.7f", 31.0 + north / 111320.0,
                      -24.0 + east / (111320.0 * 0.8571673007021123));
        return std::string(buf);
    };
    auto length = [&](const std::string& a, const std::string& b) {
        const CommandRun r = run(std::string(XR_PROBE_PROGRAM) + " route " + MAP + " " + a + " " + b + " --mode 3");
        EXPECT_EQ(r.status, 0) << r.out;
        const size_t k = r.out.find("length_m ");
        return k == std::string::npos ? -1L : std::atol(r.out.c_str() + k + 9);
    };
    // Olive Street (x = -375) is one way northwards: southwards goes round.
    const long north = length(at(-375, -150), at(-375, 150));
    const long south = length(at(-375, 150), at(-375, -150));
    EXPECT_NEAR(north, 300, 10);
    EXPECT_GT(south, north + 200);
    // No left turn from Harbour Avenue eastwards into Amber Street.
    const long left = length(at(0, -525), at(75, -400));
    const long right = length(at(75, -400), at(0, -525));
    EXPECT_NEAR(right, 200, 10);
    EXPECT_GT(left, right + 100);
}

} // namespace

namespace {

// The lines of a drive's output that start with the given word after the
// second.
std::vector<std::string> drive_events(const std::string& out, const std::string& word)
{
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < out.size()) {
        size_t end = out.find('\n', at);
        if (end == std::string::npos)
            end = out.size();
        const std::string line = out.substr(at, end - at);
        const size_t space = line.find(' ');
        if (space != std::string::npos && line.compare(space + 1, word.size(), word) == 0)
            lines.push_back(line);
        at = end + 1;
    }
    return lines;
}

} // namespace

// Harbour Avenue to Olive Street at 40 km/h, leaving the route after 200 m:
// one new route is asked for, joined onto the rest of the old one, and the
// drive arrives; --png saves one frame a fix.
TEST(Atlantis, DriveLeavesTheRouteAndArrives)
{
    XrTempRoot root;
    const std::string frames = root.dir() + "/frames";
    const CommandRun r = run(std::string(XR_PROBE_PROGRAM) + " drive " + MAP +
                             " --from 30.9952839,-24.0000000 --to 31.0013475,-24.0039300 --speed 40 --leave-at 200"
                             " --png " + frames);
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(drive_events(r.out, "leave route").size(), 1u) << r.out;
    EXPECT_EQ(drive_events(r.out, "reroute").size(), 1u) << r.out;
    EXPECT_EQ(drive_events(r.out, "route joined").size(), 1u) << r.out;
    EXPECT_GE(drive_events(r.out, "prompt").size(), 3u) << r.out;
    const std::vector<std::string> arrived = drive_events(r.out, "arrived");
    ASSERT_EQ(arrived.size(), 1u) << r.out;
    const int seconds = std::atoi(arrived[0].c_str());
    const std::vector<std::string> distances = drive_events(r.out, "distance");
    EXPECT_EQ(static_cast<int>(distances.size()), seconds);
    int pictures = 0;
    for (const auto& entry : fs::directory_iterator(frames)) {
        EXPECT_GT(fs::file_size(entry.path()), 1000u) << entry.path();
        ++pictures;
    }
    EXPECT_EQ(pictures, seconds);
    EXPECT_TRUE(fs::exists(frames + "/fix-00001.png"));

    // A drive without leaving asks for no new route.
    const CommandRun plain = run(std::string(XR_PROBE_PROGRAM) + " drive " + MAP +
                                 " --from 30.9952839,-24.0000000 --to 31.0013475,-24.0039300 --speed 40");
    ASSERT_EQ(plain.status, 0) << plain.out;
    EXPECT_TRUE(drive_events(plain.out, "reroute").empty()) << plain.out;
    EXPECT_EQ(drive_events(plain.out, "arrived").size(), 1u) << plain.out;
}
