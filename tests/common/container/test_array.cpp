#include "common/container/xr_array.h"
#include "common/container/xr_ownedptrarray.h"
#include "common/container/xr_ptrarray.h"
#include "common/container/xr_simplearray.h"
#include "common/container/xr_staticarray.h"
#include "common/container/xr_string.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <vector>

namespace {

std::vector<int> contents(const XrStaticArray<int>& a)
{
    std::vector<int> v;
    for (int i = 0; i < a.get_num_items(); ++i)
        v.push_back(*a.get_item_ptr(i));
    return v;
}

} // namespace

TEST(XrArray, StorageComesWithTheFirstAppend)
{
    XrArray<int> a(5, 0);
    EXPECT_EQ(a.get_items(), nullptr);
    EXPECT_EQ(a.get_num_items(), 0);
    ASSERT_TRUE(a.append(7));
    EXPECT_NE(a.get_items(), nullptr);
    EXPECT_EQ(a.get_capacity(), 5);
}

TEST(XrArray, GrowthByStepOrDoubling)
{
    struct Case {
        int initial, step, appends, capacity;
    } cases[] = {
        {2, 0, 3, 4}, // doubling
        {2, 3, 3, 5}, // linear step
        {2, 0, 5, 8},
        {2, 3, 6, 8},
        {0, 0, 1, 1}, // no initial capacity still grows
        {0, 0, 3, 4},
        {1, 0, 2, 2},
    };
    for (const Case& c : cases) {
        XrArray<int> a(c.initial, c.step);
        for (int i = 0; i < c.appends; ++i)
            ASSERT_TRUE(a.append(i * 10));
        EXPECT_EQ(a.get_capacity(), c.capacity) << c.initial << "/" << c.step << "/" << c.appends;
        for (int i = 0; i < c.appends; ++i)
            EXPECT_EQ(*a.get_item_ptr(i), i * 10);
    }
}

TEST(XrArray, InsertAndRemoveMoveTheLaterItems)
{
    XrArray<int> a(2, 0);
    ASSERT_TRUE(a.insert_item(2, 0));
    ASSERT_TRUE(a.insert_item(4, 1)); // at num_items: append
    ASSERT_TRUE(a.insert_item(1, 0));
    ASSERT_TRUE(a.insert_item(3, 2));
    EXPECT_EQ(contents(a), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_FALSE(a.insert_item(9, 5));
    EXPECT_FALSE(a.insert_item(9, -1));

    ASSERT_TRUE(a.remove_item(1));
    EXPECT_EQ(contents(a), (std::vector<int>{1, 3, 4}));
    EXPECT_FALSE(a.remove_item(3));
    ASSERT_TRUE(a.remove_item(2));
    EXPECT_EQ(contents(a), (std::vector<int>{1, 3}));

    int out = 0;
    EXPECT_TRUE(a.get_item(1, out));
    EXPECT_EQ(out, 3);
    EXPECT_FALSE(a.get_item(2, out));
    EXPECT_EQ(out, 3);

    a.remove_all();
    EXPECT_EQ(a.get_num_items(), 0);
    EXPECT_TRUE(a.append(5));
    EXPECT_EQ(contents(a), (std::vector<int>{5}));
}

TEST(XrArray, AppendNewGivesADefaultItem)
{
    struct Rec {
        int a = 0;
        XrString name;
    };
    XrArray<Rec> a(1, 0);
    Rec* r = a.append_new();
    ASSERT_NE(r, nullptr);
    r->a = 3;
    r->name = L"x";
    Rec* r2 = a.append_new();
    ASSERT_NE(r2, nullptr);
    EXPECT_EQ(r2->a, 0);
    EXPECT_EQ(a.get_item_ptr(0)->a, 3);
    EXPECT_TRUE(a.get_item_ptr(0)->name == L"x");
}

TEST(XrArray, AppendOfItsOwnItemWhileGrowing)
{
    XrArray<XrString> a(1, 0);
    ASSERT_TRUE(a.append(XrString(L"first")));
    // The argument lives in the storage that the append replaces.
    ASSERT_TRUE(a.append(*a.get_item_ptr(0)));
    ASSERT_TRUE(a.insert_item(*a.get_item_ptr(1), 0));
    ASSERT_EQ(a.get_num_items(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(*a.get_item_ptr(i) == L"first");
}

TEST(XrArray, StringsStaySharedWhenTheArrayGrows)
{
    XrArray<XrString> a(1, 0);
    XrString s(L"shared text");
    ASSERT_TRUE(a.append(s));
    const TCHAR* text = a.get_item_ptr(0)->c_str();
    EXPECT_EQ(text, s.c_str());
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(a.append(s));
    EXPECT_EQ(a.get_item_ptr(0)->c_str(), text);
    EXPECT_EQ(a.get_item_ptr(20)->c_str(), text);
}

TEST(XrArray, SetCapacityKeepsItemsAndRefusesTooSmall)
{
    XrArray<int> a(2, 0);
    for (int i = 0; i < 3; ++i)
        a.append(i);
    EXPECT_FALSE(a.set_capacity(2));
    EXPECT_EQ(a.get_capacity(), 4);
    EXPECT_TRUE(a.set_capacity(10));
    EXPECT_EQ(a.get_capacity(), 10);
    EXPECT_EQ(contents(a), (std::vector<int>{0, 1, 2}));
}

TEST(XrStaticArray, ViewOverFixedStorage)
{
    int data[3] = {4, 5, 6};
    XrStaticArray<int> a(data, 3);
    int out = 0;
    EXPECT_TRUE(a.get_item(2, out));
    EXPECT_EQ(out, 6);
    EXPECT_FALSE(a.get_item(3, out));
    EXPECT_EQ(a.get_item_ptr(1), data + 1);
}

TEST(XrStaticArrayDeathTest, IndexAssertions)
{
    XrArray<int> a(4, 0);
    a.append(1);
    a.append(2);
    EXPECT_DEATH(a.get_item_ptr(-1), "xr_staticarray.h:17: T\\* XrStaticArray<T>::get_item_ptr\\(int\\) const "
                                     "\\[with T = int\\]: Assertion `index >= 0' failed");
    EXPECT_DEATH(a.get_item_ptr(2), "xr_staticarray.h:16: .*Assertion `index < num_items' failed");
    int out;
    EXPECT_DEATH(a.get_item(-1, out), "Assertion `index >= 0' failed");
    EXPECT_DEATH(a.remove_item(-1), "Assertion `index >= 0' failed");
    XrArray<int> empty(4, 0);
    EXPECT_DEATH(empty.get_item_ptr(0), "Assertion `index < num_items' failed");
}

TEST(XrPtrArray, HoldsPointersWithoutOwningThem)
{
    int x = 1, y = 2, z = 3;
    XrPtrArray<int*> a(2, 0);
    EXPECT_FALSE(a.append(nullptr));
    EXPECT_EQ(a.get_num_items(), 0);
    ASSERT_TRUE(a.append(&x));
    ASSERT_TRUE(a.insert(&z, -1));
    ASSERT_TRUE(a.insert(&y, 0));
    EXPECT_FALSE(a.insert(&y, 4));
    ASSERT_EQ(a.get_num_items(), 3);
    EXPECT_EQ(a.get_item(0), &y);
    EXPECT_EQ(a.get_item(1), &x);
    EXPECT_EQ(a.get_item(2), &z);
    EXPECT_EQ(a.get_item(3), nullptr);
    EXPECT_EQ(a.get_item(-1), nullptr);

    ASSERT_TRUE(a.append(&x)); // duplicates are kept; remove takes the first
    EXPECT_TRUE(a.remove(&x));
    EXPECT_EQ(a.get_item(1), &z);
    EXPECT_EQ(a.get_item(2), &x);
    EXPECT_TRUE(a.remove(&x));
    EXPECT_FALSE(a.remove(&x));
    EXPECT_EQ(a.get_num_items(), 2);
}

TEST(XrPtrArray, ConstPointees)
{
    const wchar_t* texts[] = {L"a", L"b"};
    XrPtrArray<const wchar_t*> a;
    a.append(texts[0]);
    a.append(texts[1]);
    EXPECT_EQ(a.get_item(1), texts[1]);
    EXPECT_TRUE(a.remove(texts[0]));
    EXPECT_EQ(a.get_item(0), texts[1]);
}

TEST(XrSimpleArray, DoublesAndRemoves)
{
    struct Entry {
        XrString name, value;
    };
    XrSimpleArray<Entry> a(1);
    for (int i = 0; i < 9; ++i) {
        XrString n;
        n.format(16, L"k%d", i);
        ASSERT_TRUE(a.append(Entry{n, XrString(L"v")}));
    }
    EXPECT_EQ(a.get_count(), 9);
    Entry e;
    ASSERT_TRUE(a.get_item(8, e));
    EXPECT_TRUE(e.name == L"k8");
    EXPECT_FALSE(a.get_item(9, e));
    EXPECT_FALSE(a.get_item(-1, e));

    a.remove_item(0);
    EXPECT_EQ(a.get_count(), 8);
    EXPECT_TRUE(a.get_item_ptr(0)->name == L"k1");
    EXPECT_TRUE(a.get_item_ptr(7)->name == L"k8");
    a.remove_all();
    EXPECT_EQ(a.get_count(), 0);
    ASSERT_TRUE(a.append(Entry{XrString(L"again"), XrString()}));
    EXPECT_TRUE(a.get_item_ptr(0)->name == L"again");
}

TEST(XrSimpleArrayDeathTest, IndexAssertions)
{
    XrSimpleArray<int> a(2);
    a.append(1);
    EXPECT_DEATH(a.get_item_ptr(1), "Assertion `index >= 0 && index < count' failed");
    EXPECT_DEATH(a.remove_item(-1), "Assertion `index >= 0 && index < count' failed");
}

TEST(XrOwnedPtrArray, DeletesWhatItHolds)
{
    struct Counted {
        explicit Counted(int& live_) : live(live_) { ++live; }
        ~Counted() { --live; }
        int& live;
    };
    int live = 0;
    {
        XrOwnedPtrArray<Counted> a(2);
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(a.append(std::make_unique<Counted>(live)));
        EXPECT_FALSE(a.append(std::unique_ptr<Counted>()));
        EXPECT_EQ(a.get_num_items(), 3);
        EXPECT_EQ(live, 3);
        a.delete_all();
        EXPECT_EQ(a.get_num_items(), 0);
        EXPECT_EQ(live, 0);
        ASSERT_TRUE(a.append(std::make_unique<Counted>(live)));
        ASSERT_TRUE(a.append(std::make_unique<Counted>(live)));
    }
    EXPECT_EQ(live, 0); // the destructor deleted the last two
}
