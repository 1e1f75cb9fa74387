// The point index builder: the files it writes, the points it refuses, its
// work files and its memory budget.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/db/qt/xr_geodata.h"
#include "common/db/qt/xr_geodatabuilder.h"
#include "common/db/qt/xr_geodatamemory.h"
#include "common/db/qt/xr_geodatasearcher.h"
#include "support/xr_temp_root.h"
#include "tests/common/db/qt/qt_index_files.h"

namespace fs = std::filesystem;

namespace {

class QtBuilderTest : public ::testing::Test {
protected:
    QtBuilderTest()
        : temp_dir(root.make_dirs("/tmp") + "/"), index(root.make_dirs("/map") + "/layer.idx")
    {
    }

    QtFiles decode() { return qt_decode(qt_read_file(index), qt_read_file(index + SSGEO_DATA_SUFFIX)); }

    std::vector<std::string> listing(const std::string& dir)
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    XrTempRoot root;
    std::string temp_dir;
    std::string index;
};

// n points of one coordinate each in the lower left corner of the area.
std::vector<QtPoint> corner_points(int n, int x0 = 0)
{
    std::vector<QtPoint> points;
    for (int i = 0; i < n; ++i)
        points.push_back(QtPoint{x0 + i % 32, i / 32, "c" + std::to_string(i)});
    return points;
}

const SSRect AREA{0, 0, 999, 999};

TEST_F(QtBuilderTest, IndexWithoutPointsHoldsHeaderRootWordAndZeroCount)
{
    ASSERT_EQ(write_qt_index(index, temp_dir, SSRect{-5, 7, 100, 50}, {}), SSGEO_OK);
    const std::string idx = qt_read_file(index);
    const std::string data = qt_read_file(index + SSGEO_DATA_SUFFIX);
    ASSERT_EQ(idx.size(), 20u);
    EXPECT_EQ(static_cast<std::int32_t>(qt_u32(idx, 0)), -5);
    EXPECT_EQ(qt_u32(idx, 4), 7u);
    EXPECT_EQ(qt_u32(idx, 8), 100u);
    EXPECT_EQ(qt_u32(idx, 12), 50u);
    EXPECT_EQ(qt_u32(idx, 16), 0u);
    EXPECT_EQ(data, std::string(4, '\0'));
}

TEST_F(QtBuilderTest, AreaIsNormalisedAndRootWordCarriesQuarterFlags)
{
    // One point in quarter 1 (high x, low y) and one in quarter 2.
    const std::vector<QtPoint> points{{900, 10, "a"}, {10, 900, "b"}};
    ASSERT_EQ(write_qt_index(index, temp_dir, SSRect{999, 999, 0, 0}, points), SSGEO_OK);
    const QtFiles files = decode();
    ASSERT_EQ(files.nodes.size(), 3u);
    EXPECT_EQ(files.area[0], 0);
    EXPECT_EQ(files.area[2], 999);
    EXPECT_EQ(files.nodes[0].word, 0x60000000u);
    EXPECT_EQ(files.nodes[0].count_word, 0x80000002u);
    // size 1023: quarters of 512 cells.
    EXPECT_EQ(files.nodes[1].x0, 512u);
    EXPECT_EQ(files.nodes[1].x1, 1023u);
    EXPECT_EQ(files.nodes[2].y0, 512u);
    // The first leaf follows the root's count word; the next one starts
    // after the padding.
    EXPECT_EQ(files.nodes[1].record, 4u);
    EXPECT_EQ(files.nodes[2].record % SSGEO_DATA_ALIGN, 0u);
}

TEST_F(QtBuilderTest, SinglePointAreaHasSizeOneAndOneCellQuarters)
{
    ASSERT_EQ(write_qt_index(index, temp_dir, SSRect{5, 5, 5, 5}, {{5, 5, "only"}}), SSGEO_OK);
    const QtFiles files = decode();
    ASSERT_EQ(files.nodes.size(), 2u);
    EXPECT_EQ(geo_node_flags(files.nodes[0].word), 8u);
    EXPECT_EQ(files.nodes[1].x0, 0u);
    EXPECT_EQ(files.nodes[1].x1, 0u);
    EXPECT_EQ(files.nodes[1].points, (std::vector<QtPoint>{{0, 0, "only"}}));
}

TEST_F(QtBuilderTest, RefusesPointsOutsideTheAreaAndOverlongPayloads)
{
    SSGeoDataBuilder* builder = create_geo_data_builder();
    SSGeoDataParams params;
    params.area = SSRect{100, 200, 1100, 1200};
    ASSERT_EQ(builder->create(index.c_str(), temp_dir.c_str(), params), SSGEO_OK);

    std::string big(65536, 'b');
    struct Case {
        const char* what;
        std::int32_t x, y;
        void* data;
        std::uint32_t length;
        SSGeoDataStatus status;
    } cases[] = {
        {"left of the area", 99, 500, nullptr, 0, SSGEO_OUTSIDE},
        {"above the area", 500, 199, nullptr, 0, SSGEO_OUTSIDE},
        // Beyond the maximum but inside the root square (size 1023).
        {"right of the area", 1101, 500, nullptr, 0, SSGEO_OUTSIDE},
        {"below the area", 500, 1201, nullptr, 0, SSGEO_OUTSIDE},
        {"far away", INT32_MIN, INT32_MAX, nullptr, 0, SSGEO_OUTSIDE},
        {"payload over 65535 bytes", 500, 500, big.data(), 65536, SSGEO_OUTSIDE},
        {"payload without data", 500, 500, nullptr, 3, SSGEO_OUTSIDE},
        {"largest payload", 1100, 1200, big.data(), 65535, SSGEO_OK},
        {"corner", 100, 200, nullptr, 0, SSGEO_OK},
    };
    for (const Case& c : cases) {
        SSPoint p;
        p.x = c.x;
        p.y = c.y;
        p.data = c.data;
        p.length = c.length;
        EXPECT_EQ(builder->add_point(&p), c.status) << c.what;
    }
    ASSERT_EQ(builder->build(), SSGEO_OK);
    builder->release();

    SSGeoDataSearcher* searcher = create_geo_data_searcher();
    ASSERT_EQ(searcher->open(index.c_str()), SSGEO_OK);
    const std::vector<QtPoint> all = qt_sorted(qt_query(searcher, SSRect{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}));
    EXPECT_EQ(all, (std::vector<QtPoint>{{100, 200, ""}, {1100, 1200, std::string(65535, 'b')}}));
    searcher->release();
}

TEST_F(QtBuilderTest, LeafSplitBoundaryIs512Points)
{
    // 512 points in quarter 0 stay one leaf; a 513th splits it.
    ASSERT_EQ(write_qt_index(index, temp_dir, AREA, corner_points(512)), SSGEO_OK);
    QtFiles files = decode();
    ASSERT_EQ(files.nodes.size(), 2u);
    EXPECT_EQ(geo_node_flags(files.nodes[1].word), 0u);
    EXPECT_EQ(files.nodes[1].count_word, 512u);

    ASSERT_EQ(write_qt_index(index, temp_dir, AREA, corner_points(513)), SSGEO_OK);
    files = decode();
    ASSERT_GT(files.nodes.size(), 2u);
    EXPECT_EQ(files.nodes[1].count_word, 0x80000000u | 513u);
    for (const QtNode& n : files.nodes) {
        if (geo_node_flags(n.word) == 0) {
            EXPECT_LE(n.count_word, 512u);
        }
    }
}

TEST_F(QtBuilderTest, PointsOfOneCellStayInOneLeaf)
{
    std::vector<QtPoint> points;
    for (int i = 0; i < 2000; ++i)
        points.push_back(QtPoint{321, 654, std::to_string(i)});
    points.push_back(QtPoint{0, 0, "elsewhere"});
    for (std::uint32_t limit : {0u, 30000u}) {
        SCOPED_TRACE(limit);
        ASSERT_EQ(write_qt_index(index, temp_dir, AREA, points, limit), SSGEO_OK);
        const QtFiles files = decode();
        const QtNode& leaf = files.nodes.back();
        EXPECT_EQ(leaf.count_word, 2000u);
        EXPECT_EQ(leaf.x0, leaf.x1);
        EXPECT_EQ(leaf.depth, 10);
        EXPECT_EQ(qt_sorted(qt_file_order(files)), qt_sorted(points));
    }
}

TEST_F(QtBuilderTest, LeavesAreSortedByYThenXAndLieInTheirCells)
{
    const SSRect area{-5000, -7000, 45000, 30000};
    const std::vector<QtPoint> points = qt_random_points(20000, area, 7);
    ASSERT_EQ(write_qt_index(index, temp_dir, area, points), SSGEO_OK);
    const QtFiles files = decode();
    std::size_t leaves = 0;
    for (const QtNode& n : files.nodes) {
        if (geo_node_flags(n.word) != 0)
            continue;
        ++leaves;
        EXPECT_LE(n.points.size(), 512u);
        for (std::size_t i = 0; i < n.points.size(); ++i) {
            const auto x = static_cast<std::uint32_t>(n.points[i].x);
            const auto y = static_cast<std::uint32_t>(n.points[i].y);
            EXPECT_TRUE(n.x0 <= x && x <= n.x1 && n.y0 <= y && y <= n.y1) << "point outside its cell";
            if (i > 0) {
                const auto px = static_cast<std::uint32_t>(n.points[i - 1].x);
                const auto py = static_cast<std::uint32_t>(n.points[i - 1].y);
                EXPECT_TRUE(py < y || (py == y && px <= x)) << "leaf order";
            }
        }
    }
    EXPECT_GE(leaves, 40u);
    EXPECT_EQ(qt_sorted(qt_file_order(files)), qt_sorted(points));
}

TEST_F(QtBuilderTest, BlocksAreStoredCompressedOrRawAndEndWithTheLeaf)
{
    std::mt19937 rng(3);
    std::string noise(1000, '\0');
    for (char& c : noise)
        c = static_cast<char>(rng());
    struct Case {
        const char* what;
        std::string payload;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> blocks;  // 0 = compressed
    } cases[] = {
        {"incompressible: stored raw", noise, {{1010, 1010}}},
        {"exactly one block, no empty block after it", std::string(32758, 'z'), {{32768, 0}}},
        {"one byte over a block", std::string(32759, 'z'), {{32768, 0}, {1, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(write_qt_index(index, temp_dir, AREA, {{1, 2, c.payload}}), SSGEO_OK);
        const QtFiles files = decode();
        ASSERT_EQ(files.nodes.size(), 2u);
        const auto& blocks = files.nodes[1].blocks;
        ASSERT_EQ(blocks.size(), c.blocks.size());
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            EXPECT_EQ(blocks[i].first, c.blocks[i].first);
            if (c.blocks[i].second == 0)
                EXPECT_LT(blocks[i].second, blocks[i].first);
            else
                EXPECT_EQ(blocks[i].second, c.blocks[i].second);
        }
        EXPECT_EQ(files.nodes[1].points, (std::vector<QtPoint>{{1, 2, c.payload}}));
    }
}

TEST_F(QtBuilderTest, FileAndMemorySplitsWriteTheSameFiles)
{
    const std::vector<QtPoint> points = qt_random_points(30000, AREA, 11);
    std::string index_bytes;
    std::string data_bytes;
    // No limit, the system's budget, and one small enough to split through
    // files down to several levels.
    for (std::uint32_t limit : {0u, 0x100000u, 20000u}) {
        SCOPED_TRACE(limit);
        ASSERT_EQ(write_qt_index(index, temp_dir, AREA, points, limit), SSGEO_OK);
        if (index_bytes.empty()) {
            index_bytes = qt_read_file(index);
            data_bytes = qt_read_file(index + SSGEO_DATA_SUFFIX);
            decode();
        } else {
            EXPECT_TRUE(qt_read_file(index) == index_bytes);
            EXPECT_TRUE(qt_read_file(index + SSGEO_DATA_SUFFIX) == data_bytes);
        }
    }
}

TEST_F(QtBuilderTest, LeafSortBeyondTheBudgetFailsAndKeepsTheOldIndex)
{
    ASSERT_EQ(write_qt_index(index, temp_dir, AREA, corner_points(10)), SSGEO_OK);
    const std::string old_index = qt_read_file(index);
    const std::string old_data = qt_read_file(index + SSGEO_DATA_SUFFIX);

    // 3000 points of one cell need 36000 bytes to sort.
    std::vector<QtPoint> points(3000, QtPoint{7, 7, "same"});
    EXPECT_EQ(write_qt_index(index, temp_dir, AREA, points, 20000), SSGEO_NO_MEMORY);
    EXPECT_TRUE(qt_read_file(index) == old_index);
    EXPECT_TRUE(qt_read_file(index + SSGEO_DATA_SUFFIX) == old_data);
    EXPECT_EQ(listing(fs::path(index).parent_path().string()),
              (std::vector<std::string>{"layer.idx", "layer.idx.data"}));
    EXPECT_TRUE(listing(temp_dir).empty());
}

// Files may not grow beyond a size while it lives (SIGXFSZ ignored, so
// writes fail with EFBIG).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_old_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_old_handler);
    }

private:
    rlimit m_old;
    void (*m_old_handler)(int);
};

TEST_F(QtBuilderTest, FullDiskDuringOutputKeepsTheOldIndex)
{
    ASSERT_EQ(write_qt_index(index, temp_dir, AREA, corner_points(10)), SSGEO_OK);
    const std::string old_index = qt_read_file(index);
    const std::string old_data = qt_read_file(index + SSGEO_DATA_SUFFIX);

    // Scattered points with incompressible payloads: the data file outgrows
    // the work files (88000 bytes of payload records, 48000 of entries).
    const SSRect wide{0, 0, INT32_MAX, INT32_MAX};
    std::mt19937 rng(6);
    std::vector<QtPoint> points = qt_random_points(4000, wide, 12, 0);
    for (QtPoint& p : points) {
        p.payload.resize(20);
        for (char& c : p.payload)
            c = static_cast<char>(rng());
    }
    {
        FileSizeLimit limit(100000);
        EXPECT_EQ(write_qt_index(index, temp_dir, wide, points), SSGEO_CREATE_ERROR);
    }
    ASSERT_EQ(write_qt_index(index + ".check", temp_dir, wide, points), SSGEO_OK);
    EXPECT_GT(qt_read_file(index + ".check.data").size(), 100000u);
    std::remove((index + ".check").c_str());
    std::remove((index + ".check.data").c_str());
    EXPECT_TRUE(qt_read_file(index) == old_index);
    EXPECT_TRUE(qt_read_file(index + SSGEO_DATA_SUFFIX) == old_data);
    EXPECT_EQ(listing(root.dir() + "/map"), (std::vector<std::string>{"layer.idx", "layer.idx.data"}));
    EXPECT_TRUE(listing(temp_dir).empty());
}

TEST_F(QtBuilderTest, FullDiskWhileAddingStopsTheBuilder)
{
    SSGeoDataBuilder* builder = create_geo_data_builder();
    SSGeoDataParams params;
    params.area = AREA;
    ASSERT_EQ(builder->create(index.c_str(), temp_dir.c_str(), params), SSGEO_OK);
    const QtPoint big{1, 1, std::string(60000, 'q')};
    SSGeoDataStatus status = SSGEO_OK;
    {
        FileSizeLimit limit(100000);
        for (int i = 0; i < 10 && status == SSGEO_OK; ++i)
            status = qt_add(builder, big);
    }
    EXPECT_EQ(status, SSGEO_CREATE_ERROR);
    EXPECT_EQ(qt_add(builder, QtPoint{2, 2, "small"}), SSGEO_CREATE_ERROR);
    EXPECT_EQ(builder->build(), SSGEO_CREATE_ERROR);
    builder->release();
    EXPECT_TRUE(listing(temp_dir).empty());
    EXPECT_TRUE(listing(root.dir() + "/map").empty());
}

TEST_F(QtBuilderTest, UnwritableOutputGivesStatus5AndNoFiles)
{
    const std::string missing = root.dir() + "/no/such/folder/layer.idx";
    EXPECT_EQ(write_qt_index(missing, temp_dir, AREA, corner_points(3)), SSGEO_CREATE_ERROR);
    EXPECT_FALSE(fs::exists(root.dir() + "/no"));
    EXPECT_TRUE(listing(temp_dir).empty());

    SSGeoDataBuilder* builder = create_geo_data_builder();
    SSGeoDataParams params;
    params.area = AREA;
    EXPECT_EQ(builder->create(index.c_str(), (root.dir() + "/no/tmp/").c_str(), params), SSGEO_CREATE_ERROR);
    SSPoint p;
    EXPECT_EQ(builder->add_point(&p), SSGEO_CREATE_ERROR);
    EXPECT_EQ(builder->build(), SSGEO_CREATE_ERROR);
    builder->release();
}

TEST_F(QtBuilderTest, WorkFilesLiveInAPrivateFolderAndAreRemoved)
{
    // Files planted under the names of the work files are left alone.
    const std::string victim = root.write_file("/victim", "precious");
    for (const char* name : {"__data", "__meta", "__file1", "__file2", "__file3", "__file4"})
        fs::create_symlink(victim, temp_dir + name);

    SSGeoDataBuilder* builder = create_geo_data_builder();
    SSGeoDataParams params;
    params.area = AREA;
    ASSERT_EQ(builder->create(index.c_str(), temp_dir.c_str(), params), SSGEO_OK);
    std::vector<std::string> names = listing(temp_dir);
    ASSERT_EQ(names.size(), 7u);
    const std::string work = temp_dir + names.back();
    struct stat st;
    ASSERT_EQ(lstat(work.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    for (const QtPoint& q : corner_points(600)) {
        ASSERT_EQ(qt_add(builder, q), SSGEO_OK);
    }
    ASSERT_EQ(builder->build(), SSGEO_OK);
    EXPECT_FALSE(fs::exists(work));
    // A builder builds once.
    SSPoint late;
    EXPECT_EQ(builder->add_point(&late), SSGEO_CREATE_ERROR);
    EXPECT_EQ(builder->build(), SSGEO_CREATE_ERROR);
    builder->release();

    EXPECT_EQ(qt_read_file(victim), "precious");
    EXPECT_EQ(listing(temp_dir).size(), 6u);
    EXPECT_EQ(qt_sorted(qt_file_order(decode())), qt_sorted(corner_points(600)));
}

TEST_F(QtBuilderTest, TwoBuildersAtOnceKeepTheirPoints)
{
    const std::string other = root.dir() + "/map/other.idx";
    const std::vector<QtPoint> a = qt_random_points(3000, AREA, 1);
    const std::vector<QtPoint> b = qt_random_points(2000, AREA, 2);
    SSGeoDataBuilder* builders[2] = {create_geo_data_builder(), create_geo_data_builder()};
    const std::vector<QtPoint>* lists[2] = {&a, &b};
    SSGeoDataParams params;
    params.area = AREA;
    ASSERT_EQ(builders[0]->create(index.c_str(), temp_dir.c_str(), params), SSGEO_OK);
    ASSERT_EQ(builders[1]->create(other.c_str(), temp_dir.c_str(), params), SSGEO_OK);
    for (std::size_t i = 0; i < 3000; ++i) {
        for (int k = 0; k < 2; ++k) {
            if (i < lists[k]->size()) {
                ASSERT_EQ(qt_add(builders[k], (*lists[k])[i]), SSGEO_OK);
            }
        }
    }
    EXPECT_EQ(builders[1]->build(), SSGEO_OK);
    EXPECT_EQ(builders[0]->build(), SSGEO_OK);
    builders[0]->release();
    builders[1]->release();
    EXPECT_EQ(qt_sorted(qt_file_order(decode())), qt_sorted(a));
    EXPECT_EQ(qt_sorted(qt_file_order(qt_decode(qt_read_file(other), qt_read_file(other + SSGEO_DATA_SUFFIX)))),
              qt_sorted(b));
}

TEST_F(QtBuilderTest, WithoutIndexNameSplitsButWritesNothing)
{
    ASSERT_EQ(write_qt_index("", temp_dir, AREA, qt_random_points(5000, AREA, 5), 50000), SSGEO_OK);
    EXPECT_TRUE(listing(temp_dir).empty());
    EXPECT_TRUE(listing(root.dir() + "/map").empty());
}

TEST_F(QtBuilderTest, MemoryIsGivenBackAfterBuildAndRelease)
{
    const std::uint64_t before = geo_data_memory_in_use();
    ASSERT_EQ(write_qt_index(index, temp_dir, AREA, qt_random_points(5000, AREA, 9), 30000), SSGEO_OK);
    EXPECT_EQ(geo_data_memory_in_use(), before);

    // Released before building.
    SSGeoDataBuilder* builder = create_geo_data_builder();
    SSGeoDataParams params;
    params.area = AREA;
    ASSERT_EQ(builder->create(index.c_str(), temp_dir.c_str(), params), SSGEO_OK);
    SSPoint p;
    ASSERT_EQ(builder->add_point(&p), SSGEO_OK);
    builder->release();
    EXPECT_EQ(geo_data_memory_in_use(), before);
    EXPECT_TRUE(listing(temp_dir).empty());
}

TEST_F(QtBuilderTest, DemoIndexHoldsItsGrid)
{
    ASSERT_TRUE(write_demo_qt_index(index));
    const std::vector<QtPoint> all = qt_file_order(decode());
    ASSERT_EQ(all.size(), 1000u);
    EXPECT_NE(std::find(all.begin(), all.end(), QtPoint{1000, 1000, "point 41"}), all.end());
    EXPECT_EQ(listing(root.dir() + "/map"), (std::vector<std::string>{"layer.idx", "layer.idx.data"}));
}

} // namespace
