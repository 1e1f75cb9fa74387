// The point index searcher: queries against a brute-force filter, cursor
// lifetimes, and damaged files.
#include <gtest/gtest.h>

#include "common/db/qt/xr_geodata.h"
#include "common/db/qt/xr_geodatamemory.h"
#include "common/db/qt/xr_geodatasearcher.h"
#include "support/xr_temp_root.h"
#include "tests/common/db/qt/qt_index_files.h"

namespace {

const SSRect EVERYWHERE{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};

class QtSearcherTest : public ::testing::Test {
protected:
    QtSearcherTest() : temp_dir(root.make_dirs("/tmp") + "/"), index(root.make_dirs("/map") + "/layer.idx") {}
    ~QtSearcherTest() override
    {
        if (searcher != nullptr)
            searcher->release();
    }

    void build_and_open(const SSRect& area, const std::vector<QtPoint>& points, std::uint32_t limit = 0)
    {
        ASSERT_EQ(write_qt_index(index, temp_dir, area, points, limit), SSGEO_OK);
        open(index);
    }
    void open(const std::string& name)
    {
        if (searcher != nullptr)
            searcher->release();
        searcher = create_geo_data_searcher();
        ASSERT_EQ(searcher->open(name.c_str()), SSGEO_OK);
    }

    XrTempRoot root;
    std::string temp_dir;
    std::string index;
    SSGeoDataSearcher* searcher = nullptr;
};

// 100,000 points built with a budget that forces splits through files.
class QtAcceptanceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_root = new XrTempRoot();
        s_index = s_root->make_dirs("/map") + "/big.idx";
        s_points = qt_random_points(100000, AREA, 2024, 40);
        // Some points share coordinates.
        for (std::size_t i = 0; i < 3000; ++i)
            s_points[i * 7 + 1] = QtPoint{s_points[i * 7].x, s_points[i * 7].y, "twin" + std::to_string(i)};
        ASSERT_EQ(write_qt_index(s_index, s_root->make_dirs("/tmp") + "/", AREA, s_points, 100000), SSGEO_OK);
    }
    static void TearDownTestSuite()
    {
        delete s_root;
        s_root = nullptr;
    }
    void SetUp() override
    {
        searcher = create_geo_data_searcher();
        ASSERT_EQ(searcher->open(s_index.c_str()), SSGEO_OK);
    }
    void TearDown() override { EXPECT_TRUE(searcher->release()); }

    static constexpr SSRect AREA{-300000, 100000, 500000, 650000};
    static XrTempRoot* s_root;
    static std::string s_index;
    static std::vector<QtPoint> s_points;
    SSGeoDataSearcher* searcher = nullptr;
};

XrTempRoot* QtAcceptanceTest::s_root = nullptr;
std::string QtAcceptanceTest::s_index;
std::vector<QtPoint> QtAcceptanceTest::s_points;

TEST_F(QtAcceptanceTest, RandomQueriesEqualBruteForce)
{
    std::mt19937 rng(99);
    std::uniform_int_distribution<std::int32_t> px(AREA.x0 - 50000, AREA.x1 + 50000);
    std::uniform_int_distribution<std::int32_t> py(AREA.y0 - 50000, AREA.y1 + 50000);
    std::uniform_int_distribution<std::int32_t> extent(0, 200000);
    const auto random_rect = [&] {
        const std::int32_t x = px(rng);
        const std::int32_t y = py(rng);
        return SSRect{x, y, x + extent(rng) / (1 + static_cast<int>(rng() % 20)),
                      y + extent(rng) / (1 + static_cast<int>(rng() % 20))};
    };
    for (int i = 0; i < 300; ++i) {
        const SSRect area = random_rect();
        SSRect exclude = random_rect();
        // Every third exclusion lies inside the query.
        if (i % 3 == 0)
            exclude = SSRect{area.x0 + (area.x1 - area.x0) / 4, area.y0 + (area.y1 - area.y0) / 4,
                             area.x1 - (area.x1 - area.x0) / 4, area.y1 - (area.y1 - area.y0) / 4};
        SCOPED_TRACE(testing::Message() << "query " << i << ": " << area.x0 << "," << area.y0 << " - " << area.x1
                                        << "," << area.y1);
        SSGeoDataStatus end = SSGEO_OK;
        EXPECT_EQ(qt_sorted(qt_query(searcher, area, nullptr, &end)), qt_brute_force(s_points, area));
        EXPECT_EQ(end, SSGEO_NO_MORE_POINTS);
        EXPECT_EQ(qt_sorted(qt_query(searcher, area, &exclude, &end)), qt_brute_force(s_points, area, &exclude));
        EXPECT_EQ(end, SSGEO_NO_MORE_POINTS);
    }
}

TEST_F(QtAcceptanceTest, WholeAreaComesInFileOrder)
{
    const QtFiles files = qt_decode(qt_read_file(s_index), qt_read_file(s_index + SSGEO_DATA_SUFFIX));
    const std::vector<QtPoint> all = qt_query(searcher, EVERYWHERE);
    EXPECT_TRUE(all == qt_file_order(files));
    EXPECT_EQ(qt_sorted(all), qt_sorted(s_points));
}

TEST_F(QtAcceptanceTest, SmallQueriesReadLittle)
{
    SSPointCursor* whole = searcher->query(EVERYWHERE, nullptr);
    qt_drain(whole);
    const std::uint32_t whole_reads = whole->get_read_count();
    whole->release();

    const SSRect small{0, 200000, 2000, 202000};
    SSPointCursor* cursor = searcher->query(small, nullptr);
    EXPECT_EQ(qt_sorted(qt_drain(cursor)), qt_brute_force(s_points, small));
    EXPECT_LE(cursor->get_read_count(), 8u);
    EXPECT_GT(whole_reads, 20u);
    cursor->release();
}

TEST_F(QtSearcherTest, QueryOutsideTheAreaGivesTheEmptyCursor)
{
    build_and_open(SSRect{100, 100, 200, 200}, {{150, 150, "a"}});
    for (const SSRect& r : {SSRect{201, 0, 300, 300}, SSRect{0, 0, 99, 300}, SSRect{0, 201, 300, 300}}) {
        SSPointCursor* cursor = searcher->query(r, nullptr);
        SSPoint p;
        EXPECT_EQ(cursor->get_next_point(&p), SSGEO_NO_MORE_POINTS);
        EXPECT_EQ(cursor->get_next_point(&p), SSGEO_NO_MORE_POINTS);
        EXPECT_EQ(cursor->get_read_count(), 0u);
        cursor->release();
    }
    std::int32_t bounds[4];
    searcher->get_bounds(bounds);
    EXPECT_EQ(std::vector<std::int32_t>(bounds, bounds + 4), (std::vector<std::int32_t>{100, 100, 200, 200}));
}

TEST_F(QtSearcherTest, BordersOfQueryAndExclusion)
{
    std::vector<QtPoint> points;
    for (int x = 100; x <= 200; x += 10) {
        for (int y = 100; y <= 200; y += 10)
            points.push_back(QtPoint{x, y, std::to_string(x) + "," + std::to_string(y)});
    }
    build_and_open(SSRect{100, 100, 200, 200}, points);
    struct Case {
        const char* what;
        SSRect area;
        bool has_exclude;
        SSRect exclude;
        std::size_t expected;
    } cases[] = {
        {"touching the area's left edge", {50, 0, 100, 300}, false, {}, 11},
        {"touching the bottom-right corner", {200, 200, 400, 400}, false, {}, 1},
        {"query border included", {120, 120, 140, 140}, false, {}, 9},
        {"exclusion border excluded", {100, 100, 200, 200}, true, {120, 120, 140, 140}, 121 - 9},
        {"exclusion covering the query", {120, 120, 140, 140}, true, {0, 0, 500, 500}, 0},
        {"exclusion outside the area is ignored", {100, 100, 200, 200}, true, {300, 300, 400, 400}, 121},
        {"exclusion sharing one edge", {100, 100, 200, 200}, true, {200, 0, 300, 300}, 121 - 11},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const SSRect* exclude = c.has_exclude ? &c.exclude : nullptr;
        const std::vector<QtPoint> got = qt_sorted(qt_query(searcher, c.area, exclude));
        EXPECT_EQ(got.size(), c.expected);
        EXPECT_EQ(got, qt_brute_force(points, c.area, exclude));
    }
}

TEST_F(QtSearcherTest, PayloadIsCutToCapacity)
{
    const std::vector<QtPoint> points{{1, 1, std::string(100, 'a')}, {2, 1, "bcd"}, {3, 1, std::string(300, 'e')}};
    build_and_open(SSRect{0, 0, 10, 10}, points);
    SSPointCursor* cursor = searcher->query(EVERYWHERE, nullptr);
    SSGeoDataStatus end = SSGEO_OK;
    EXPECT_EQ(qt_drain(cursor, &end, 64),
              (std::vector<QtPoint>{{1, 1, std::string(64, 'a')}, {2, 1, "bcd"}, {3, 1, std::string(64, 'e')}}));
    EXPECT_EQ(end, SSGEO_NO_MORE_POINTS);
    cursor->release();

    // Without a buffer only the place is given.
    cursor = searcher->query(EVERYWHERE, nullptr);
    SSPoint p;
    p.capacity = 64;
    ASSERT_EQ(cursor->get_next_point(&p), SSGEO_OK);
    EXPECT_EQ(p.length, 0u);
    ASSERT_EQ(cursor->get_next_point(&p), SSGEO_OK);
    EXPECT_EQ(p.x, 2);
    cursor->release();
}

TEST_F(QtSearcherTest, IndexWithoutPointsAnswers2)
{
    build_and_open(SSRect{0, 0, 1000, 1000}, {});
    SSGeoDataStatus end = SSGEO_OK;
    EXPECT_TRUE(qt_query(searcher, EVERYWHERE, nullptr, &end).empty());
    EXPECT_EQ(end, SSGEO_NO_MORE_POINTS);
    EXPECT_TRUE(qt_query(searcher, SSRect{10, 10, 20, 20}, nullptr, &end).empty());
    EXPECT_EQ(end, SSGEO_NO_MORE_POINTS);
}

TEST_F(QtSearcherTest, WholeInt32Plane)
{
    const std::vector<QtPoint> points{{INT32_MIN, INT32_MIN, "min"}, {INT32_MAX, INT32_MAX, "max"},
                                      {0, 0, "zero"}, {-1, 1, "near"}, {INT32_MAX, INT32_MIN, "corner"}};
    std::vector<QtPoint> many = points;
    for (int i = 0; i < 700; ++i)
        many.push_back(QtPoint{i, -i, "row"});
    build_and_open(EVERYWHERE, many);
    EXPECT_EQ(qt_sorted(qt_query(searcher, EVERYWHERE)), qt_sorted(many));
    for (const QtPoint& p : points) {
        const SSRect at{p.x, p.y, p.x, p.y};
        EXPECT_EQ(qt_sorted(qt_query(searcher, at)), qt_brute_force(many, at));
    }
    const SSRect band{-5, -300, 300, 5};
    EXPECT_EQ(qt_sorted(qt_query(searcher, band)), qt_brute_force(many, band));
}

TEST_F(QtSearcherTest, ReleasedCursorIsReusedAndHeldOnesAreNot)
{
    const SSRect area{0, 0, 5000, 5000};
    const std::vector<QtPoint> points = qt_random_points(4000, area, 4);
    build_and_open(area, points);
    SSPointCursor* first = searcher->query(area, nullptr);
    first->release();
    SSPointCursor* again = searcher->query(area, nullptr);
    EXPECT_EQ(again, first);

    // Two cursors read in turns do not disturb each other.
    const SSRect left{0, 0, 2500, 5000};
    const SSRect right{2000, 0, 5000, 5000};
    SSPointCursor* other = searcher->query(right, nullptr);
    EXPECT_NE(other, again);
    SSPointCursor* third = searcher->query(left, nullptr);
    EXPECT_NE(third, again);
    again->release();
    std::vector<QtPoint> got_left;
    std::vector<QtPoint> got_right;
    for (bool more = true; more;) {
        more = false;
        SSPoint p;
        char buffer[64];
        p.data = buffer;
        p.capacity = sizeof(buffer);
        if (third->get_next_point(&p) == SSGEO_OK) {
            got_left.push_back(QtPoint{p.x, p.y, std::string(buffer, p.length)});
            more = true;
        }
        if (other->get_next_point(&p) == SSGEO_OK) {
            got_right.push_back(QtPoint{p.x, p.y, std::string(buffer, p.length)});
            more = true;
        }
    }
    EXPECT_EQ(qt_sorted(got_left), qt_brute_force(points, left));
    EXPECT_EQ(qt_sorted(got_right), qt_brute_force(points, right));
    third->release();

    // A cursor keeps its searcher alive.
    SSPointCursor* last = searcher->query(area, nullptr);
    EXPECT_FALSE(searcher->release());
    searcher = nullptr;
    EXPECT_EQ(qt_sorted(qt_drain(last)), qt_sorted(points));
    other->release();
    last->release();
    EXPECT_EQ(geo_data_memory_in_use(), 0u);
}

TEST_F(QtSearcherTest, OpenFailures)
{
    ASSERT_EQ(write_qt_index(index, temp_dir, SSRect{0, 0, 100, 100}, {{5, 5, "a"}}), SSGEO_OK);
    const std::string good = qt_read_file(index);
    const std::string dir = root.dir() + "/map/";
    std::string inverted = good;
    inverted[8] = '\xff';  // max x = ... negative
    inverted[9] = inverted[10] = inverted[11] = '\xff';
    struct Case {
        const char* what;
        std::string index;  // empty: no file
        bool data;
        SSGeoDataStatus status;
    } cases[] = {
        {"no index", "", true, SSGEO_READ_ERROR},
        {"size not a multiple of 4", good.substr(0, 18), true, SSGEO_OUTSIDE},
        {"header only", good.substr(0, 16), true, SSGEO_READ_ERROR},
        {"shorter than the header", good.substr(0, 8), true, SSGEO_READ_ERROR},
        {"area with min above max", inverted, true, SSGEO_READ_ERROR},
        {"no data file", good, false, SSGEO_READ_ERROR},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string name = dir + "case" + std::to_string(n++);
        if (!c.index.empty())
            qt_write_file(name, c.index);
        if (c.data)
            qt_write_file(name + SSGEO_DATA_SUFFIX, qt_read_file(index + SSGEO_DATA_SUFFIX));
        SSGeoDataSearcher* s = create_geo_data_searcher();
        EXPECT_EQ(s->open(name.c_str()), c.status);
        SSPointCursor* cursor = s->query(EVERYWHERE, nullptr);
        SSPoint p;
        EXPECT_EQ(cursor->get_next_point(&p), SSGEO_NO_MORE_POINTS);
        cursor->release();
        EXPECT_TRUE(s->release());
    }

    SSGeoDataSearcher* s = create_geo_data_searcher();
    EXPECT_EQ(s->open(nullptr), SSGEO_READ_ERROR);
    EXPECT_EQ(s->open(index.c_str()), SSGEO_OK);
    EXPECT_EQ(s->open(index.c_str()), SSGEO_READ_ERROR);
    EXPECT_EQ(qt_query(s, EVERYWHERE).size(), 1u);
    EXPECT_TRUE(s->release());
}

// Damaged files: a valid index of a few leaves, changed in one place.
class QtDamagedTest : public QtSearcherTest {
protected:
    void SetUp() override
    {
        const SSRect area{0, 0, 4095, 4095};
        points = qt_random_points(3000, area, 8, 30);
        ASSERT_EQ(write_qt_index(index, temp_dir, area, points), SSGEO_OK);
        good_index = qt_read_file(index);
        good_data = qt_read_file(index + SSGEO_DATA_SUFFIX);
        files = qt_decode(good_index, good_data);
        ASSERT_GT(files.nodes.size(), 8u);
    }

    // Opens the changed files and reads everything: the points and the end.
    std::vector<QtPoint> read_damaged(const std::string& idx, const std::string& data, SSGeoDataStatus* end,
                                      const SSRect& area = EVERYWHERE)
    {
        const std::string name = root.dir() + "/map/damaged" + std::to_string(m_count++);
        qt_write_file(name, idx);
        qt_write_file(name + SSGEO_DATA_SUFFIX, data);
        SSGeoDataSearcher* s = create_geo_data_searcher();
        std::vector<QtPoint> got;
        *end = s->open(name.c_str());
        if (*end == SSGEO_OK)
            got = qt_query(s, area, nullptr, end);
        s->release();
        std::remove(name.c_str());
        std::remove((name + SSGEO_DATA_SUFFIX).c_str());
        return got;
    }

    // The first leaf (in file order) and its position in the node table.
    std::size_t first_leaf() const
    {
        for (std::size_t i = 0; i < files.nodes.size(); ++i) {
            if (geo_node_flags(files.nodes[i].word) == 0)
                return i;
        }
        return 0;
    }

    static void put_u32(std::string& s, std::size_t at, std::uint32_t v)
    {
        xr_bytes::put_u32_le(reinterpret_cast<BYTE*>(s.data()) + at, v);
    }

    std::vector<QtPoint> points;
    std::string good_index;
    std::string good_data;
    QtFiles files;
    int m_count = 0;
};

TEST_F(QtDamagedTest, DamageInOnePlaceEndsWith3)
{
    const std::size_t leaf = first_leaf();
    const std::size_t leaf_word = SSGEO_INDEX_HEADER + SSGEO_WORD_SIZE * leaf;
    const std::size_t leaf_record = files.nodes[leaf].record;
    const std::size_t block = leaf_record + SSGEO_WORD_SIZE;
    const std::uint32_t leaf_count = files.nodes[leaf].count_word;

    struct Case {
        const char* what;
        std::string index;
        std::string data;
        SSRect area = EVERYWHERE;
    };
    std::vector<Case> cases;
    const auto with_index = [&](const char* what, std::size_t at, std::uint32_t v) {
        Case c{what, good_index, good_data};
        put_u32(c.index, at, v);
        cases.push_back(c);
    };
    // A query of the first leaf's cell alone reads it through its word.
    const QtNode& n = files.nodes[leaf];
    const SSRect leaf_cell{static_cast<std::int32_t>(n.x0), static_cast<std::int32_t>(n.y0),
                           static_cast<std::int32_t>(n.x1), static_cast<std::int32_t>(n.y1)};
    const auto with_data = [&](const char* what, std::size_t at, std::uint32_t v) {
        Case c{what, good_index, good_data};
        put_u32(c.data, at, v);
        cases.push_back(c);
    };
    with_index("node offset beyond the data file", leaf_word, 0x0FFFFFFF);
    cases.back().area = leaf_cell;
    with_index("leaf word claiming children", leaf_word, files.nodes[leaf].word | 0xF0000000u);
    with_data("leaf count above its subtree", leaf_record, leaf_count + 100000);
    with_data("zero count below the root", leaf_record, 0);
    with_data("raw block length over 32768", block, 0x0000FFFF | qt_u16(good_data, block + 2) << 16);
    with_data("stored length above raw length", block, 0x00FF0000u | 0x00000010u);
    {
        Case c{"damaged zlib stream", good_index, good_data};
        for (std::size_t i = block + 4; i < block + 40; ++i)
            c.data[i] = static_cast<char>(c.data[i] ^ 0x5A);
        cases.push_back(c);
    }
    {
        Case c{"node table cut short", good_index.substr(0, good_index.size() - 8), good_data};
        cases.push_back(c);
    }
    {
        // Every word an inner node with quarter 0 only: deeper than any
        // valid table.
        Case c{"nesting deeper than the stack", good_index.substr(0, 16), good_data};
        for (int i = 0; i < 60; ++i)
            c.index += std::string("\x00\x00\x00\x80", 4);
        cases.push_back(c);
    }
    {
        Case c{"data file cut inside a leaf", good_index, good_data.substr(0, block + 20)};
        cases.push_back(c);
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SSGeoDataStatus end = SSGEO_OK;
        const std::vector<QtPoint> got = read_damaged(c.index, c.data, &end, c.area);
        EXPECT_EQ(end, SSGEO_READ_ERROR);
        EXPECT_LT(got.size(), points.size());
    }
}

TEST_F(QtDamagedTest, EveryTruncationEndsCleanly)
{
    const std::vector<QtPoint> all = qt_file_order(files);
    for (std::size_t size = 0; size < good_data.size(); size += 37) {
        SCOPED_TRACE(size);
        SSGeoDataStatus end = SSGEO_OK;
        const std::vector<QtPoint> got = read_damaged(good_index, good_data.substr(0, size), &end);
        ASSERT_LE(got.size(), all.size());
        EXPECT_TRUE(std::equal(got.begin(), got.end(), all.begin()));
        if (got.size() < all.size()) {
            EXPECT_EQ(end, SSGEO_READ_ERROR);
        }
    }
}

TEST_F(QtDamagedTest, FlippedBytesNeverOverrun)
{
    std::mt19937 rng(17);
    const SSRect part{1000, 1000, 3000, 2500};
    for (int i = 0; i < 300; ++i) {
        std::string idx = good_index;
        std::string data = good_data;
        if (i % 3 == 0)
            idx[rng() % idx.size()] ^= static_cast<char>(1 + rng() % 255);
        else
            data[rng() % data.size()] ^= static_cast<char>(1 + rng() % 255);
        SSGeoDataStatus end = SSGEO_OK;
        read_damaged(idx, data, &end, i % 2 ? part : EVERYWHERE);
        EXPECT_TRUE(end == SSGEO_NO_MORE_POINTS || end == SSGEO_READ_ERROR || end == SSGEO_OUTSIDE) << end;
    }
}

} // namespace
