#include "common/container/xr_blockstorage.h"
#include "common/container/xr_simplestarray.h"

#include <gtest/gtest.h>

namespace {

struct Rec {
    int a = 0;
    int b = 0;
};

TEST(XrBlockStorage, AddsAcrossBlocksWithoutMovingRecords)
{
    XrBlockStorage<Rec> s(3, 1);
    Rec* first = s.add_item(Rec{1, 2});
    for (int i = 1; i < 10; ++i)
        s.add_item(Rec{i + 1, 0});
    EXPECT_EQ(s.items(), 10);
    EXPECT_EQ(s.get_block_count(), 4);
    EXPECT_EQ(s.get_item_ptr(0), first);
    EXPECT_EQ(first->b, 2);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(s.get_item_ptr(i)->a, i + 1);
}

TEST(XrBlockStorage, NullAtOrPastTheCountAndForNegativeIndex)
{
    XrBlockStorage<Rec> s(50, 5);
    EXPECT_EQ(s.get_item_ptr(0), nullptr);
    s.add_item(Rec{7, 7});
    EXPECT_NE(s.get_item_ptr(0), nullptr);
    EXPECT_EQ(s.get_item_ptr(1), nullptr);
    EXPECT_EQ(s.get_item_ptr(-1), nullptr);
}

TEST(XrBlockStorage, ClearKeepsBlocksAndReusesThem)
{
    XrBlockStorage<Rec> s(2, 1);
    Rec* p = s.add_item(Rec{1, 1});
    s.add_item(Rec{2, 2});
    s.add_item(Rec{3, 3});
    s.clear();
    EXPECT_EQ(s.items(), 0);
    EXPECT_EQ(s.get_block_count(), 2);
    EXPECT_EQ(s.add_item(Rec{9, 9}), p);
    EXPECT_EQ(s.get_block_count(), 2);
}

TEST(XrBlockStorage, OverwritesAtAnIndex)
{
    XrBlockStorage<Rec> s(4);
    s.add_item(Rec{1, 1});
    s.add_item(Rec{2, 2});
    s.add_item(Rec{5, 5}, 0);
    EXPECT_EQ(s.items(), 2);
    EXPECT_EQ(s.get_item_ptr(0)->a, 5);
}

TEST(XrSimplestArray, FixedRecordsWithCount)
{
    const Rec init[3] = {{1, 2}, {3, 4}, {5, 6}};
    XrSimplestArray<Rec> a(init, 3);
    ASSERT_EQ(a.get_count(), 3);
    EXPECT_EQ(a[2].b, 6);
    XrSimplestArray<Rec> b;
    b = a;
    a[0].a = 100;
    EXPECT_EQ(b[0].a, 1);
    XrSimplestArray<Rec> z(2);
    EXPECT_EQ(z[1].a, 0);
    EXPECT_TRUE(z.resize(0));
    EXPECT_EQ(z.get_count(), 0);
    EXPECT_EQ(z.get_data(), nullptr);
}

TEST(XrSimplestArrayDeathTest, IndexOutOfRangeIsFatal)
{
    XrSimplestArray<int> a(2);
    EXPECT_DEATH(a[2] = 1, "index");
}

} // namespace
