#include "common/container/xr_sortedlist.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

int ascending(const int& a, const int& b)
{
    return a - b;
}

struct Result {
    int rank = 0;
    int arrival = 0;
};

int by_rank(const Result& a, const Result& b)
{
    return a.rank - b.rank;
}

std::vector<int> items(const XrSortedList<int>& l)
{
    std::vector<int> v;
    for (int i = 0; i < l.get_count(); ++i)
        v.push_back(*l.get_item_ptr(i));
    return v;
}

} // namespace

TEST(XrSortedList, KeepsTheBestItemsInOrder)
{
    XrSortedList<int> l(3, ascending);
    EXPECT_TRUE(l.add_item(9));
    EXPECT_TRUE(l.add_item(1));
    EXPECT_TRUE(l.add_item(4));
    EXPECT_EQ(items(l), (std::vector<int>{1, 4, 9}));
    EXPECT_FALSE(l.add_item(9));
    EXPECT_FALSE(l.add_item(12));
    EXPECT_EQ(items(l), (std::vector<int>{1, 4, 9}));
    EXPECT_TRUE(l.add_item(2));
    EXPECT_EQ(items(l), (std::vector<int>{1, 2, 4}));
    EXPECT_TRUE(l.add_item(3)); // displaces the last item from the middle
    EXPECT_EQ(items(l), (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(l.add_item(0)); // and from the front
    EXPECT_EQ(items(l), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(l.get_count(), 3);
}

TEST(XrSortedList, SizeOne)
{
    XrSortedList<int> l(1, ascending);
    EXPECT_TRUE(l.add_item(5));
    EXPECT_FALSE(l.add_item(5));
    EXPECT_TRUE(l.add_item(4));
    EXPECT_EQ(items(l), (std::vector<int>{4}));
}

TEST(XrSortedList, EqualItemsKeepTheirOrderOfArrival)
{
    // The outcome of any stream of additions is the head of a stable sort.
    std::mt19937 rng(3);
    for (int size : {1, 2, 5, 16}) {
        XrSortedList<Result> l(size, by_rank);
        std::vector<Result> all;
        for (int i = 0; i < 300; ++i) {
            Result r{static_cast<int>(rng() % 20), i};
            all.push_back(r);
            l.add_item(r);
        }
        std::stable_sort(all.begin(), all.end(), [](const Result& a, const Result& b) { return a.rank < b.rank; });
        ASSERT_EQ(l.get_count(), size);
        for (int i = 0; i < size; ++i) {
            EXPECT_EQ(l.get_item_ptr(i)->rank, all[i].rank) << size << "/" << i;
            EXPECT_EQ(l.get_item_ptr(i)->arrival, all[i].arrival) << size << "/" << i;
        }
    }
}

TEST(XrSortedListDeathTest, Assertions)
{
    EXPECT_DEATH(XrSortedList<int>(0, ascending), "Assertion `size > 0' failed");
    EXPECT_DEATH(XrSortedList<int>(2, nullptr), "Assertion `cmp != 0' failed");
    XrSortedList<int> l(2, ascending);
    l.add_item(1);
    EXPECT_DEATH(l.get_item_ptr(1), "Assertion `index >= 0 && index < count' failed");
    EXPECT_DEATH(l.get_item_ptr(-1), "Assertion `index >= 0 && index < count' failed");
}
