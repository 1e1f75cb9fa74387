// The TMC tables the map compiler writes for the roads of any map, read back
// through the navigator's reader and resolved through the service aggregate.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "apps/apps_common/xr_serviceaggregate.h"
#include "apps/apps_common/xr_tmctablefile.h"
#include "common/misc/xr_path_resolver.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/compile_osm.h"
#include "tools/mapgen/xr_osm_text_test.h"

namespace fs = std::filesystem;

namespace {

constexpr unsigned int AGAINST = 0x80000000u;

// A street of three blocks (nodes 1-4, west to east), two side streets north
// from nodes 2 and 3 (to 5 and 6), and a one-way street from node 4 to 7.
// The locations are the nodes in the order the ways meet them: code = node.
OsmText street_town()
{
    OsmText o;
    for (int i = 0; i < 4; ++i)
        o.node(1 + i, i * 200.0, 0);
    o.node(5, 200, 200);
    o.node(6, 400, 200);
    o.node(7, 800, 0);
    o.way(100, {1, 2, 3, 4}, {{"highway", "residential"}, {"name", "Main Street"}});
    o.way(200, {2, 5}, {{"highway", "residential"}, {"name", "North Lane"}});
    o.way(201, {3, 6}, {{"highway", "residential"}, {"name", "Mill Lane"}});
    o.way(300, {4, 7}, {{"highway", "residential"}, {"oneway", "yes"}, {"name", "Quay"}});
    return o;
}

class CompileTmc : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string in = root.write_file("/in/town.osm", street_town().text());
        dir = root.dir() + "/out/town";
        fs::create_directories(root.dir() + "/out");
        XrCompileOptions options;
        options.name = "Town";
        XrCompileStats stats;
        std::string error;
        ASSERT_TRUE(xr_compile_osm_file(in, dir, options, stats, error)) << error;
        ASSERT_TRUE(tables.open(XrString((dir + "/tmc_paths.bin").c_str()),
                                XrString((dir + "/tmc_locations.bin").c_str())));
    }

    XrPoint location(std::uint16_t code)
    {
        XrArray<unsigned int> values;
        XrPoint at;
        EXPECT_TRUE(tables.find_location(L"001", code, values, at)) << code;
        return at;
    }

    // The edges of an event over the codes, and the point at its middle;
    // false when it matches no path.
    bool resolve(const std::vector<std::uint16_t>& list, std::vector<unsigned int>& edges, XrPoint& middle)
    {
        XrArray<std::uint16_t> codes;
        for (std::uint16_t c : list)
            codes.append(c);
        XrArray<XrTmcPathEntry> f, t;
        std::uint32_t offset = 0;
        int count = 0;
        if (tables.find_record_by_id(L"001", list.front(), false, offset))
            tables.read_record(offset, false, count, f);
        if (tables.find_record_by_id(L"001", list.back(), false, offset))
            tables.read_record(offset, false, count, t);
        XrTmcCommonPath match;
        if (!match_tmc_event(tables, L"001", codes, f, t, match))
            return false;
        EXPECT_TRUE(tables.read_path_table());
        XrArray<unsigned int> found;
        EXPECT_TRUE(tables.resolve_segment(match.path_id, match.position, match.length, match.extra, found, middle));
        edges.assign(found.get_items(), found.get_items() + found.get_num_items());
        return true;
    }

    XrTempRoot root;
    std::string dir;
    XrTmcTableFile tables;
};

TEST_F(CompileTmc, EveryJunctionIsALocationAtItsNode)
{
    // Nodes 1-4 lie on one line west to east, 5 and 6 north of 2 and 3.
    const XrPoint p1 = location(1), p2 = location(2), p3 = location(3), p4 = location(4);
    EXPECT_LT(p1.x, p2.x);
    EXPECT_LT(p2.x, p3.x);
    EXPECT_LT(p3.x, p4.x);
    EXPECT_EQ(p1.y, p4.y);
    EXPECT_NEAR(location(5).x, p2.x, 2); // projected: within rounding
    EXPECT_GT(location(6).y, p3.y);
    XrArray<unsigned int> values;
    XrPoint none;
    EXPECT_FALSE(tables.find_location(L"001", 8, values, none));
    EXPECT_FALSE(tables.find_location(L"002", 1, values, none));
}

TEST_F(CompileTmc, EventsFollowTheRoadInTheirDirection)
{
    std::vector<unsigned int> east, west, first, quay, back;
    XrPoint mid_east, mid_west, mid_first, at;
    ASSERT_TRUE(resolve({1, 2, 3, 4}, east, mid_east));
    ASSERT_TRUE(resolve({4, 3, 2, 1}, west, mid_west));
    ASSERT_TRUE(resolve({1, 2}, first, mid_first));
    ASSERT_EQ(east.size(), 3u);
    ASSERT_EQ(west.size(), 3u);
    // The same three edges, the other way round and marked against.
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(east[i] & AGAINST, 0u);
        EXPECT_EQ(west[2 - i], east[i] | AGAINST);
    }
    EXPECT_NE(east[0], east[1]);
    EXPECT_EQ(first, std::vector<unsigned int>{east[0]});
    // The centre of an event lies on a junction in its middle.
    EXPECT_EQ(mid_east.x, location(2).x);
    EXPECT_EQ(mid_west.x, location(3).x);
    EXPECT_EQ(mid_first.x, location(1).x);
    // A one-way street has a path only in its own direction.
    ASSERT_TRUE(resolve({4, 7}, quay, at));
    EXPECT_EQ(quay.size(), 1u);
    EXPECT_FALSE(resolve({7, 4}, back, at));
    // Locations on different roads share no path.
    EXPECT_FALSE(resolve({5, 6}, back, at));
}

TEST_F(CompileTmc, AggregateResolvesABatchOfEvents)
{
    // The aggregate opens the active map's tables on the card.
    fs::create_directories(root.dir() + "/media/mmc1/map");
    fs::copy(dir, root.dir() + "/media/mmc1/map/mapdata", fs::copy_options::recursive);
    const XrString card((root.dir() + "/media/mmc1/map/").c_str());
    XrPathResolver resolver(card.c_str());
    XrPathResolver* before = get_path_resolver();
    set_path_resolver(&resolver);
    {
        XrServiceAggregate aggregate;
        const std::uint16_t east[] = {1, 2, 3, 4}, single[] = {6}, unknown[] = {1, 9}, west[] = {3, 2};
        int x = 0, y = 0;
        aggregate.begin_tmc_resolution(4);
        EXPECT_TRUE(aggregate.add_tmc_event(XrString(L"001"), east, 4, 10, x, y));
        // A single location is placed at once.
        EXPECT_TRUE(aggregate.add_tmc_event(XrString(L"001"), single, 1, 11, x, y));
        EXPECT_EQ(x, location(6).x);
        EXPECT_EQ(y, location(6).y);
        EXPECT_TRUE(aggregate.add_tmc_event(XrString(L"001"), unknown, 2, 12, x, y));
        EXPECT_TRUE(aggregate.add_tmc_event(XrString(L"001"), west, 2, 13, x, y));
        aggregate.resolve_tmc_events();
        const std::vector<XrTmcSegment>& segments = aggregate.get_tmc_segments();
        ASSERT_EQ(segments.size(), 2u); // the unknown location matches nothing
        std::map<int, const XrTmcSegment*> by_event;
        for (const XrTmcSegment& s : segments)
            by_event[s.event] = &s;
        ASSERT_EQ(by_event.count(10), 1u);
        ASSERT_EQ(by_event.count(13), 1u);
        EXPECT_EQ(by_event[10]->edges.size(), 3u);
        EXPECT_TRUE(by_event[10]->located);
        EXPECT_EQ(by_event[10]->x, location(2).x);
        ASSERT_EQ(by_event[13]->edges.size(), 1u);
        EXPECT_EQ(by_event[13]->edges[0], by_event[10]->edges[1] | AGAINST);
        // A new batch starts empty.
        aggregate.begin_tmc_resolution(0);
        EXPECT_TRUE(aggregate.get_tmc_segments().empty());
    }
    set_path_resolver(before);
}

TEST(CompileTmcMissing, NoTablesResolveNothing)
{
    XrTempRoot root;
    fs::create_directories(root.dir() + "/media/mmc1/map/mapdata");
    const XrString card((root.dir() + "/media/mmc1/map/").c_str());
    XrPathResolver resolver(card.c_str());
    XrPathResolver* before = get_path_resolver();
    set_path_resolver(&resolver);
    {
        XrServiceAggregate aggregate;
        const std::uint16_t codes[] = {1, 2};
        int x = 0, y = 0;
        aggregate.begin_tmc_resolution(1);
        EXPECT_FALSE(aggregate.add_tmc_event(XrString(L"001"), codes, 2, 0, x, y));
        aggregate.resolve_tmc_events();
        EXPECT_TRUE(aggregate.get_tmc_segments().empty());
    }
    set_path_resolver(before);
}

} // namespace
