#include "common/corvanel_core/impl/xr_roadblocksproviderimpl.h"
#include "common/corvanel_core/impl/map_doubles.h"
#include "common/corvanel_core/impl/provider_files.h"
#include "common/graph/xr_blkslayout.h"
#include "tools/mapgen/blks_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

class Counter : public XrRoadblocksListener {
public:
    void roadblocks_changed() override { ++calls; }
    int calls = 0;
};

class RoadblocksTest : public ::testing::Test {
protected:
    RoadblocksTest() { roadblocks.add_listener(&counter); }
    std::string path() const { return files.map_file("blks.bin"); }
    std::vector<XrRoadblock> list()
    {
        XrSimpleArray<XrRoadblock> got;
        roadblocks.get_roadblocks(got);
        return std::vector<XrRoadblock>(got.get_items(), got.get_items() + got.get_count());
    }
    void add(double lat)
    {
        XrRoadblock r(XrCoordinate(24.9, lat));
        ASSERT_TRUE(roadblocks.add_roadblock(r));
    }

    ProviderFiles files;
    FakeMapProvider maps;
    XrRoadblocksProviderImpl roadblocks;
    Counter counter;
};

} // namespace

TEST_F(RoadblocksTest, ThreeRoadblocksMakeTwentySevenBytes)
{
    maps.open();
    add(60.1);
    add(60.2);
    add(60.3);
    EXPECT_EQ(std::filesystem::file_size(path()), 3 * xr_blks::RECORD_SIZE);
    auto l = list();
    ASSERT_EQ(l.size(), 3u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(l[i].get_id(), i);
    EXPECT_NEAR(l[1].get_coordinate().get_latitude(), 60.2, 1e-4);
    EXPECT_EQ(counter.calls, 3);

    auto records = maps.records();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[2].type, 93);
}

TEST_F(RoadblocksTest, RemovingByIdRenumbersTheRest)
{
    maps.open();
    add(60.1);
    add(60.2);
    add(60.3);
    ASSERT_TRUE(roadblocks.remove_roadblock(list()[1]));
    auto l = list();
    ASSERT_EQ(l.size(), 2u);
    EXPECT_EQ(l[1].get_id(), 1);
    EXPECT_NEAR(l[1].get_coordinate().get_latitude(), 60.3, 1e-4);
}

TEST_F(RoadblocksTest, RemovingAnAbsentRoadblockChangesNothing)
{
    maps.open();
    add(60.1);
    const auto before = ProviderFiles::read(path());
    const int calls = counter.calls;
    XrRoadblock absent(XrCoordinate(24.9, 60.1));
    absent.set_id(5);
    EXPECT_FALSE(roadblocks.remove_roadblock(absent));
    EXPECT_FALSE(roadblocks.remove_roadblock(XrRoadblock(XrCoordinate(24.9, 60.1)))); // never given an id
    EXPECT_EQ(ProviderFiles::read(path()), before);
    EXPECT_EQ(counter.calls, calls);
}

TEST_F(RoadblocksTest, ADamagedFileKeepsTheRecordsBeforeTheDamage)
{
    ASSERT_TRUE(write_blks_file(path(), {{100, 200, 0}, {300, 400, 1}, {500, 600, 0}}));
    maps.open();
    auto l = list();
    ASSERT_EQ(l.size(), 1u);
    EXPECT_EQ(l[0].get_coordinate().to_point(maps.projection.get()).x, 100);
}

TEST_F(RoadblocksTest, AFailedWriteIsReported)
{
    maps.open();
    std::filesystem::create_directories(path()); // a folder in the way
    XrRoadblock r(XrCoordinate(24.9, 60.1));
    EXPECT_FALSE(roadblocks.add_roadblock(r));
    EXPECT_EQ(r.get_id(), 0);
}

TEST_F(RoadblocksTest, RemoveAllEmptiesTheFile)
{
    maps.open();
    add(60.1);
    ASSERT_TRUE(roadblocks.remove_all_roadblocks());
    EXPECT_EQ(std::filesystem::file_size(path()), 0u);
    EXPECT_TRUE(list().empty());
    maps.close();
    EXPECT_TRUE(list().empty());
}
