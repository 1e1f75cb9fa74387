// Reading the TMC location and path tables, common paths, segment
// resolution and event matching.
#include "apps/apps_common/xr_tmctablefile.h"
#include "common/container/xr_bytes.h"
#include "common/storage/xr_storageaccessor.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/tmc_writer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstring>
#include <memory>
#include <vector>

namespace {

std::uint32_t key(std::uint16_t table, std::uint16_t code)
{
    return (static_cast<std::uint32_t>(table) << 16) | code;
}

XrStorageAccessor* memory(const std::vector<std::uint8_t>& bytes)
{
    BYTE* copy = new BYTE[bytes.size() + 1];
    if (!bytes.empty())
        std::memcpy(copy, bytes.data(), bytes.size());
    return new XrMemoryStorageAccessor(true, copy, static_cast<std::uint32_t>(bytes.size()), true);
}

TmcPathDef path(std::vector<std::uint32_t> edges, std::vector<TmcPointDef> points = {})
{
    return TmcPathDef{std::move(edges), std::move(points)};
}

// Seven paths (two groups); path 6 has no points.
std::vector<TmcPathDef> sample_paths()
{
    return {
        path({100, 101, 102, 103}, {{0, 10, 20}, {10, 30, 40}, {20, 50, 60}}),
        path({200}, {{5, -1, -2}}),
        path({300, 301}, {{0, 1, 1}}),
        path({400}, {{0, 2, 2}}),
        path({500, 501, 502}, {{0, 3, 3}, {4, 7, 7}}),
        path({600, 601, 602, 603, 604}, {{0, 6, 0}, {100, 6, 100}}),
        path({700, 701}),
    };
}

class TmcTableTest : public ::testing::Test {
protected:
    void open(std::uint32_t buckets, const std::vector<TmcPathLocationDef>& locs,
              const std::vector<TmcLocationDef>& positions = {})
    {
        ASSERT_TRUE(tables.open(memory(tmc_paths_file(buckets, locs, sample_paths())),
                                memory(tmc_locations_file(buckets, positions))));
    }
    XrTmcTableFile tables;
};

TEST(TmcCommonPath, PairsCountedInOrderWithBAfterA)
{
    const XrTmcPathEntry a[] = {{1, 10, 4}, {2, 50, 7}, {3, 8, 0}};
    const XrTmcPathEntry b[] = {{2, 60, 8}, {1, 30, 9}, {3, 2, 0}, {1, 12, 1}};
    struct Case {
        int n;
        bool found;
        std::uint16_t id, pos, len, extra;
    } cases[] = {
        {0, true, 1, 10, 20, 6}, // (4 + 9) / 2 rounds down
        {1, true, 1, 10, 2, 2},
        {2, true, 2, 50, 10, 7},
        {3, false, 0, 0, 0, 0}, // path 3: B lies before A
    };
    for (const Case& c : cases) {
        XrTmcCommonPath out;
        ASSERT_EQ(find_nth_common_tmc_path(a, 3, b, 4, c.n, out), c.found) << c.n;
        if (!c.found)
            continue;
        EXPECT_EQ(out.path_id, c.id) << c.n;
        EXPECT_EQ(out.position, c.pos) << c.n;
        EXPECT_EQ(out.length, c.len) << c.n;
        EXPECT_EQ(out.extra, c.extra) << c.n;
    }
}

TEST_F(TmcTableTest, LocationLookupGivesValuesAndSignedPosition)
{
    open(3, {{key(0x1a, 1), {{0, 0, 0}}}},
         {{key(0x1a, 7), {11, 12}, 0, INT_MIN}, {key(0x1a, 4), {}, -5, 123456}, {key(0x1a, 7), {99}, 1, 1}});
    XrArray<unsigned int> values;
    XrPoint p;
    ASSERT_TRUE(tables.find_location(L"0x1A", 7, values, p));
    ASSERT_EQ(values.get_num_items(), 2);
    EXPECT_EQ(*values.get_item_ptr(0), 11u); // the first record of the key
    EXPECT_EQ(*values.get_item_ptr(1), 12u);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, INT_MIN);
    ASSERT_TRUE(tables.find_location(L"1a", 4, values, p));
    EXPECT_EQ(values.get_num_items(), 2);
    EXPECT_EQ(p.x, -5);
    EXPECT_EQ(p.y, 123456);
    EXPECT_FALSE(tables.find_location(L"1a", 5, values, p));
    EXPECT_FALSE(tables.find_location(L"1b", 7, values, p));
}

TEST_F(TmcTableTest, StoredCoordinatesHaveTheTopBitInverted)
{
    EXPECT_EQ(tmc_stored_coordinate(0), 0x80000000u);
    EXPECT_EQ(tmc_stored_coordinate(INT_MIN), 0u);
}

TEST_F(TmcTableTest, RecordLookupFirstMatchWithAndWithoutCache)
{
    // 300 buckets: three bucket groups of the cache.
    std::vector<TmcPathLocationDef> locs = {
        {key(1, 5), {{0, 1, 2}}},
        {key(1, 5), {{9, 9, 9}}},
        {key(1, 290), {{1, 3, 4}, {2, 5, 6}}},
        {key(1, 140), {{4, 7, 8}}},
    };
    open(300, locs);
    for (bool caching : {false, true, true}) {
        for (std::uint16_t code : {std::uint16_t(5), std::uint16_t(290), std::uint16_t(140), std::uint16_t(5)}) {
            std::uint32_t offset = 0;
            ASSERT_TRUE(tables.find_record_by_id(L"1", code, caching, offset)) << code;
            XrArray<XrTmcPathEntry> entries;
            int count = 0;
            ASSERT_TRUE(tables.read_record(offset, caching, count, entries));
            ASSERT_EQ(count, entries.get_num_items());
            ASSERT_GE(count, 1);
            const XrTmcPathEntry& e = *entries.get_item_ptr(0);
            if (code == 5)
                EXPECT_EQ(e.path_id, 0) << caching;
            else if (code == 290)
                EXPECT_EQ(count, 2);
            else
                EXPECT_EQ(e.extra, 8);
        }
        std::uint32_t offset = 0;
        EXPECT_FALSE(tables.find_record_by_id(L"1", 6, caching, offset));
        EXPECT_FALSE(tables.find_record_by_id(L"2", 5, caching, offset));
    }
    XrArray<XrTmcPathEntry> entries;
    int count = 0;
    EXPECT_FALSE(tables.read_record(0xFFFFFF, false, count, entries));
    EXPECT_FALSE(tables.read_record(0xFFFFFF, true, count, entries));
}

TEST_F(TmcTableTest, LongRecordsReadWhole)
{
    // 255 entries: longer than a fixed 512-byte read.
    TmcPathLocationDef big{key(2, 2), {}};
    for (int i = 0; i < 255; ++i)
        big.entries.push_back({static_cast<std::uint16_t>(i), static_cast<std::uint16_t>(i * 2), 7});
    open(4, {{key(2, 1), {{1, 1, 1}}}, big});
    for (bool caching : {false, true}) {
        std::uint32_t offset = 0;
        ASSERT_TRUE(tables.find_record_by_id(L"2", 2, caching, offset));
        XrArray<XrTmcPathEntry> entries;
        int count = 0;
        ASSERT_TRUE(tables.read_record(offset, caching, count, entries));
        ASSERT_EQ(count, 255);
        EXPECT_EQ(entries.get_item_ptr(254)->path_id, 254);
        EXPECT_EQ(entries.get_item_ptr(254)->position, 508);
    }
}

TEST_F(TmcTableTest, SegmentsGiveNewEdgesAndNearestPoint)
{
    open(2, {{key(1, 1), {{0, 0, 0}}}});
    XrArray<unsigned int> edges;
    edges.append(101);
    XrPoint p;
    ASSERT_TRUE(tables.resolve_segment(0, 1, 3, 15, edges, p));
    ASSERT_EQ(edges.get_num_items(), 3); // 101 already held
    EXPECT_EQ(*edges.get_item_ptr(1), 102u);
    EXPECT_EQ(*edges.get_item_ptr(2), 103u);
    EXPECT_EQ(p.x, 30); // 15 lies between 10 and 20: the smaller position wins
    struct Case {
        std::uint16_t id, t;
        int x;
    } cases[] = {{0, 0, 10}, {0, 16, 50}, {0, 999, 50}, {1, 0, -1}, {4, 3, 7}, {4, 2, 3}, {5, 60, 6}};
    for (const Case& c : cases) {
        XrArray<unsigned int> none;
        ASSERT_TRUE(tables.resolve_segment(c.id, 0, 0, c.t, none, p)) << c.id << " " << c.t;
        EXPECT_EQ(p.x, c.x) << c.id << " " << c.t;
        EXPECT_EQ(none.get_num_items(), 0);
    }
    // Edges past the path's end are not invented.
    XrArray<unsigned int> five;
    ASSERT_TRUE(tables.resolve_segment(5, 3, 100, 100, five, p));
    ASSERT_EQ(five.get_num_items(), 2);
    EXPECT_EQ(p.y, 100);
    // No points: the edges are added, the segment has no position.
    XrArray<unsigned int> six;
    EXPECT_FALSE(tables.resolve_segment(6, 0, 2, 0, six, p));
    EXPECT_EQ(six.get_num_items(), 2);
    EXPECT_FALSE(tables.resolve_segment(7, 0, 1, 0, six, p));
    tables.release_caches();
    ASSERT_TRUE(tables.resolve_segment(2, 1, 1, 0, six, p));
    EXPECT_EQ(*six.get_item_ptr(2), 301u);
}

TEST_F(TmcTableTest, EventsMatchOnePath)
{
    // F = (3,1), T = (3,9); intermediates (3,2) and (3,3).
    open(5, {
                {key(3, 1), {{0, 1, 10}, {4, 0, 2}, {2, 5, 0}}},
                {key(3, 9), {{2, 9, 0}, {0, 3, 20}, {4, 2, 4}}},
                {key(3, 2), {{4, 1, 0}, {2, 6, 0}}},
                {key(3, 3), {{2, 1, 0}, {4, 1, 0}}},
                {key(3, 4), {{0, 9, 0}}},
            });
    auto entries = [&](std::uint16_t code, XrArray<XrTmcPathEntry>& out) {
        std::uint32_t offset = 0;
        int count = 0;
        ASSERT_TRUE(tables.find_record_by_id(L"3", code, false, offset));
        ASSERT_TRUE(tables.read_record(offset, false, count, out));
    };
    XrArray<XrTmcPathEntry> f, t, four;
    entries(1, f);
    entries(9, t);
    entries(4, four);
    auto codes = [](std::vector<std::uint16_t> v) {
        auto* a = new XrArray<std::uint16_t>;
        for (std::uint16_t c : v)
            a->append(c);
        return a;
    };
    XrTmcCommonPath m;
    std::unique_ptr<XrArray<std::uint16_t>> one(codes({1}));
    EXPECT_FALSE(match_tmc_event(tables, L"3", *one, f, t, m));

    // Common paths of F and T in order: 0, 4, 2. Location 2 shares 4 and 2
    // with F; location 3 (the third-last of five) shares only 4 after F.
    std::unique_ptr<XrArray<std::uint16_t>> five(codes({1, 2, 3, 8, 9}));
    ASSERT_TRUE(match_tmc_event(tables, L"3", *five, f, t, m));
    EXPECT_EQ(m.path_id, 4);
    EXPECT_EQ(m.position, 0);
    EXPECT_EQ(m.length, 2);
    EXPECT_EQ(m.extra, 3);

    std::unique_ptr<XrArray<std::uint16_t>> two(codes({1, 9}));
    ASSERT_TRUE(match_tmc_event(tables, L"3", *two, f, t, m));
    EXPECT_EQ(m.path_id, 0); // no intermediates: the first common path

    // Exactly one common path.
    ASSERT_TRUE(match_tmc_event(tables, L"3", *two, f, four, m));
    EXPECT_EQ(m.path_id, 0);
    EXPECT_EQ(m.length, 8);
    // An intermediate without a record removes every candidate.
    std::unique_ptr<XrArray<std::uint16_t>> gap(codes({1, 7, 8, 9}));
    EXPECT_FALSE(match_tmc_event(tables, L"3", *gap, f, t, m));
    // No common path.
    EXPECT_FALSE(match_tmc_event(tables, L"3", *two, t, f, m));
}

// Locations on 255 paths each: the match is found in one walk over the
// common paths per location (a restart per candidate took seconds).
TEST_F(TmcTableTest, EventsWithFullPathRecordsMatchQuickly)
{
    constexpr std::uint16_t PATHS = 255;
    // F at position 1 of every path, T at position 9; intermediate 2 shares
    // the paths from 100 on, 3 the paths 180 to 199 and path 7, 4 only 190.
    auto record = [](std::uint16_t code, std::uint16_t from, std::uint16_t to, std::uint16_t position) {
        TmcPathLocationDef d{key(3, code), {}};
        for (std::uint16_t id = from; id < to; ++id)
            d.entries.push_back({id, position, static_cast<std::uint16_t>(id % 7)});
        return d;
    };
    TmcPathLocationDef three = record(3, 180, 200, 5);
    three.entries.push_back({7, 5, 0});
    open(5, {record(1, 0, PATHS, 1), record(9, 0, PATHS, 9), record(2, 100, PATHS, 4), three, record(4, 190, 191, 2)});
    auto entries = [&](std::uint16_t code, XrArray<XrTmcPathEntry>& out) {
        std::uint32_t offset = 0;
        int count = 0;
        ASSERT_TRUE(tables.find_record_by_id(L"3", code, false, offset));
        ASSERT_TRUE(tables.read_record(offset, false, count, out));
        ASSERT_EQ(count, out.get_num_items());
    };
    XrArray<XrTmcPathEntry> f, t;
    entries(1, f);
    entries(9, t);
    ASSERT_EQ(f.get_num_items(), PATHS);

    struct Case {
        std::vector<std::uint16_t> codes;
        bool found;
        std::uint16_t path_id;
    };
    const Case cases[] = {
        {{1, 9}, true, 0},
        {{1, 2, 8, 9}, true, 100},
        {{1, 2, 3, 8, 9}, true, 180},
        {{1, 3, 2, 8, 9}, true, 180},
        {{1, 2, 3, 4, 8, 9}, true, 190},
        {{1, 4, 3, 2, 4, 3, 2, 8, 9}, true, 190},
        {{1, 3, 5, 8, 9}, false, 0}, // 5 has no record
    };
    const auto start = std::chrono::steady_clock::now();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.codes));
        XrArray<std::uint16_t> codes;
        for (std::uint16_t code : c.codes)
            codes.append(code);
        XrTmcCommonPath m;
        ASSERT_EQ(match_tmc_event(tables, L"3", codes, f, t, m), c.found);
        if (!c.found)
            continue;
        EXPECT_EQ(m.path_id, c.path_id);
        EXPECT_EQ(m.position, 1);
        EXPECT_EQ(m.length, 8);
        EXPECT_EQ(m.extra, c.path_id % 7);
    }
    // Under the sanitizers the whole table takes milliseconds.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST(TmcTableFile, UnsoundHeadersLeaveTheTablesClosed)
{
    const std::vector<std::uint8_t> good = tmc_paths_file(4, {{key(1, 1), {{0, 0, 0}}}}, sample_paths());
    const std::vector<std::uint8_t> locs = tmc_locations_file(4, {{key(1, 1), {}, 1, 1}});
    namespace L = xr_tmc_layout;
    auto with = [&](std::size_t at, std::uint32_t v) {
        std::vector<std::uint8_t> b = good;
        xr_bytes::put_u32_le(b.data() + at, v);
        return b;
    };
    const std::vector<std::vector<std::uint8_t>> bad = {
        {},
        std::vector<std::uint8_t>(good.begin(), good.begin() + 10),
        with(L::BUCKET_COUNT_OFFSET, 0),                       // no buckets
        with(L::BUCKET_COUNT_OFFSET, 0x40000000),              // more buckets than the file holds
        with(L::BUCKET_OFFSETS, 0x7FFFFFFF),                   // bucket offset past the end
        with(L::BUCKET_OFFSETS + L::OFFSET_SIZE, 2),           // offsets descend
        with(L::path_count_offset(4), 0x10000000),             // path count past the end
    };
    for (std::size_t i = 0; i < bad.size(); ++i) {
        XrTmcTableFile t;
        EXPECT_FALSE(t.open(memory(bad[i]), memory(locs))) << i;
        EXPECT_FALSE(t.is_open());
        std::uint32_t offset;
        EXPECT_FALSE(t.find_record_by_id(L"1", 1, true, offset));
    }
    XrTmcTableFile t;
    EXPECT_FALSE(t.open(memory(good), memory({1, 0, 0, 0})));
    EXPECT_TRUE(t.open(memory(good), memory(locs)));
    EXPECT_FALSE(t.open(memory(good), nullptr));
    EXPECT_FALSE(t.is_open());
}

TEST(TmcTableFile, DamagedPathDataFailsTheSegment)
{
    std::vector<std::uint8_t> b = tmc_paths_file(2, {{key(1, 1), {{0, 0, 0}}}}, sample_paths());
    b[b.size() - 3] ^= 0xFF; // inside the last group's stream
    XrTmcTableFile t;
    ASSERT_TRUE(t.open(memory(b), memory(tmc_locations_file(2, {}))));
    XrArray<unsigned int> edges;
    XrPoint p;
    EXPECT_FALSE(t.resolve_segment(5, 0, 1, 0, edges, p));
    EXPECT_TRUE(t.resolve_segment(0, 0, 1, 0, edges, p));
}

TEST(TmcTableFile, OpensFilesByPath)
{
    XrTempRoot root;
    const std::vector<std::uint8_t> paths = tmc_paths_file(2, {{key(1, 1), {{0, 0, 0}}}}, sample_paths());
    const std::vector<std::uint8_t> locs = tmc_locations_file(2, {{key(1, 1), {5}, 3, 4}});
    const std::string pp = root.write_file("/map/tmc_paths.bin", std::string(paths.begin(), paths.end()));
    const std::string lp = root.write_file("/map/tmc_locations.bin", std::string(locs.begin(), locs.end()));
    XrTmcTableFile t;
    EXPECT_FALSE(t.open(XrString(pp.c_str()), XrString((root.dir() + "/map/none.bin").c_str())));
    ASSERT_TRUE(t.open(XrString(pp.c_str()), XrString(lp.c_str())));
    XrArray<unsigned int> values;
    XrPoint p;
    ASSERT_TRUE(t.find_location(L"1", 1, values, p));
    EXPECT_EQ(p.y, 4);
}

} // namespace
