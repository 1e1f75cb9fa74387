#include "common/container/xr_hash.h"
#include "common/container/xr_string.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#define XR_LEAK_ON_PURPOSE(p) __lsan_ignore_object(p)
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#include <sanitizer/lsan_interface.h>
#define XR_LEAK_ON_PURPOSE(p) __lsan_ignore_object(p)
#endif
#endif
#ifndef XR_LEAK_ON_PURPOSE
#define XR_LEAK_ON_PURPOSE(p) static_cast<void>(p)
#endif

namespace {

// Keys whose home slot in a table of `size` slots equals that of `key`.
std::vector<int> same_home(int key, unsigned int size, int n)
{
    std::vector<int> out;
    for (int k = key + 1; static_cast<int>(out.size()) < n; ++k) {
        if (xr_hash_key(k) % size == xr_hash_key(key) % size)
            out.push_back(k);
    }
    return out;
}

// Counts the values released through free_item.
class CountingHash : public XrHash<int, int> {
public:
    CountingHash(std::vector<int>& freed) : XrHash<int, int>(10, false, 80), freed(freed) {}
    ~CountingHash() override
    {
        if (keep_table == 0)
            clear(); // while this class's free_item is still in place
    }
    const void* slot_storage() const { return slots; }

protected:
    void free_item(int* key, int* value) override
    {
        EXPECT_EQ(*value, *key * 10);
        freed.push_back(*key);
    }

private:
    std::vector<int>& freed;
};

} // namespace

TEST(XrHash, PrimeSizes)
{
    struct Case {
        size_t request, size;
    } cases[] = {
        {0, 17}, {10, 17}, {16, 17}, {17, 59}, {879, 977}, {1644167232, 1644167233},
    };
    for (const Case& c : cases)
        EXPECT_EQ((XrHash<int, int>::find_prime_size(c.request)), c.size) << c.request;
    EXPECT_EQ((XrHash<int, int>(10, false, 80).get_size()), 17u);
    EXPECT_EQ((XrHash<int, int>(879, true, 80).get_size()), 977u);
}

TEST(XrHashDeathTest, SizeBeyondThePrimeList)
{
    using IntHash = XrHash<int, int>;
    EXPECT_DEATH(IntHash::find_prime_size(1644167233), "find_prime_size.*Assertion `false' failed");
}

TEST(XrHashDeathTest, ProbeWithoutAFreeSlot)
{
    // Every slot used: the probe for a free one finds none.
    class FullHash : public XrHash<int, int> {
    public:
        FullHash() : XrHash<int, int>(10, true, 80)
        {
            for (unsigned int i = 0; i < size; ++i) {
                slots[i].key = static_cast<int>(i);
                slots[i].state = SLOT_USED;
            }
            count = size;
        }
        std::size_t free_pos(int key) const { return find_free_pos(key); }
    };
    EXPECT_DEATH(FullHash().free_pos(1000), "find_free_pos.*Assertion `false' failed");
}

TEST(XrHash, HashFunctions)
{
    EXPECT_EQ(xr_hash_key(1), 726853216u);
    EXPECT_EQ(xr_hash_key(0u), 14124234u);
    EXPECT_EQ(xr_hash_key(static_cast<short>(-1)), xr_hash_key(0xFFFFFFFFu));
    EXPECT_EQ(xr_hash_key(XrString(L"ab")), 160u);
    EXPECT_EQ(xr_hash_key(XrString()), 0u);
    EXPECT_EQ(xr_hash_key(XrString(L"")), 0u);
}

TEST(XrHash, GrowsWhenTheFillPassesTheLimit)
{
    XrHash<int, int> h(10, false, 80);
    for (int i = 0; i < 14; ++i)
        ASSERT_TRUE(h.insert(i, i * 2));
    // The 14th insert found 13 entries (76 percent): no growth.
    EXPECT_EQ(h.get_size(), 17u);
    // This one finds 14 (82 percent) and grows first.
    ASSERT_TRUE(h.insert(14, 28));
    EXPECT_EQ(h.get_size(), 59u);
    EXPECT_EQ(h.get_count(), 15u);
    for (int i = 0; i < 15; ++i) {
        int v = -1;
        EXPECT_TRUE(h.find(i, v));
        EXPECT_EQ(v, i * 2);
    }
}

TEST(XrHash, DeletionsLowerTheFill)
{
    XrHash<int, int> h(10, false, 80);
    for (int i = 0; i < 14; ++i)
        ASSERT_TRUE(h.insert(i, i));
    ASSERT_TRUE(h.remove(3));
    EXPECT_EQ(h.get_count(), 13u);
    ASSERT_TRUE(h.insert(100, 1)); // 13 present: no growth
    EXPECT_EQ(h.get_size(), 17u);
    ASSERT_TRUE(h.insert(101, 1)); // 14 present: grows
    EXPECT_EQ(h.get_size(), 59u);
    EXPECT_FALSE(h.find_ptr(3));
    EXPECT_EQ(h.num_items_for_key(3), 0);

    // Endless turnover of distinct keys keeps the table small and correct.
    XrHash<int, int> t(10, false, 80);
    for (int i = 0; i < 5000; ++i) {
        ASSERT_TRUE(t.insert(i, i));
        if (i >= 8) {
            ASSERT_TRUE(t.remove(i - 8));
        }
    }
    EXPECT_EQ(t.get_size(), 17u);
    EXPECT_EQ(t.get_count(), 8u);
    for (int i = 4992; i < 5000; ++i)
        EXPECT_NE(t.find_ptr(i), nullptr) << i;
    EXPECT_EQ(t.find_ptr(4991), nullptr);
}

TEST(XrHash, MultipleEntries)
{
    XrHash<int, int> h(10, true, 80);
    ASSERT_TRUE(h.insert(5, 50));
    ASSERT_TRUE(h.insert(5, 51));
    ASSERT_TRUE(h.insert(6, 60));
    EXPECT_EQ(h.num_items_for_key(5), 2);
    int v = 0;
    ASSERT_TRUE(h.find(5, v, 1));
    EXPECT_EQ(v, 51);
    EXPECT_FALSE(h.find(5, v, 2));
    ASSERT_TRUE(h.remove(5, 0));
    EXPECT_EQ(h.num_items_for_key(5), 1);
    ASSERT_TRUE(h.find(5, v));
    EXPECT_EQ(v, 51);
    EXPECT_FALSE(h.remove(5, 1));
    EXPECT_EQ(h.get_count(), 2u);
}

TEST(XrHash, DuplicateKeyIsRefusedPastADeletedSlot)
{
    XrHash<int, int> h(10, false, 80);
    std::vector<int> chain = same_home(1, h.get_size(), 2);
    ASSERT_TRUE(h.insert(1, 10));
    ASSERT_TRUE(h.insert(chain[0], 20));
    ASSERT_TRUE(h.insert(chain[1], 30));
    EXPECT_FALSE(h.insert(chain[0], 21));
    // The key's chain now starts with a deleted slot.
    ASSERT_TRUE(h.remove(1));
    EXPECT_EQ(*h.find_ptr(chain[1]), 30); // found past the deleted slot
    EXPECT_FALSE(h.insert(chain[1], 31));
    EXPECT_FALSE(h.insert(chain[0], 22));
    EXPECT_EQ(h.num_items_for_key(chain[0]), 1);
    EXPECT_EQ(h.num_items_for_key(chain[1]), 1);
    EXPECT_EQ(*h.find_ptr(chain[0]), 20);
    EXPECT_EQ(h.get_count(), 2u);
    // A new key takes the deleted slot.
    ASSERT_TRUE(h.insert(1, 11));
    EXPECT_EQ(*h.find_ptr(1), 11);
    EXPECT_EQ(h.get_count(), 3u);
}

TEST(XrHash, StringKeysAndValues)
{
    XrHash<XrString, XrString> h(10, false, 80);
    XrString value(L"value");
    ASSERT_TRUE(h.insert(XrString(L"key"), value));
    ASSERT_TRUE(h.insert(XrString(), XrString(L"for the empty key")));
    EXPECT_FALSE(h.insert(XrString(L""), XrString(L"again")));
    XrString out;
    ASSERT_TRUE(h.find(XrString(L"key"), out));
    EXPECT_EQ(out.c_str(), value.c_str()); // shared, not copied
    ASSERT_TRUE(h.find(XrString(L""), out));
    EXPECT_TRUE(out == L"for the empty key");
    EXPECT_FALSE(h.find(XrString(L"KEY"), out));

    for (int i = 0; i < 300; ++i) {
        XrString k;
        k.format(32, L"name %d", i);
        ASSERT_TRUE(h.insert(k, k));
    }
    for (int i = 0; i < 300; ++i) {
        XrString k;
        k.format(32, L"name %d", i);
        XrString* v = h.find_ptr(k);
        ASSERT_NE(v, nullptr);
        EXPECT_TRUE(*v == k);
    }
    EXPECT_TRUE(h.remove(XrString(L"name 7")));
    EXPECT_EQ(h.find_ptr(XrString(L"name 7")), nullptr);
    EXPECT_EQ(h.get_count(), 301u);
}

TEST(XrHash, IteratorVisitsTheUsedSlotsOnce)
{
    XrHash<unsigned int, int> h(10, true, 80);
    for (unsigned int i = 0; i < 40; ++i)
        h.insert(i % 30, static_cast<int>(i));
    h.remove(3);
    h.remove(4);
    std::map<unsigned int, int> seen;
    XrHash<unsigned int, int>::XrHashIterator it(h);
    int visits = 0;
    while (auto* slot = it.get_next()) {
        ++visits;
        ++seen[slot->key];
    }
    EXPECT_EQ(it.get_next(), nullptr);
    EXPECT_EQ(visits, 38);
    EXPECT_EQ(seen.size(), 30u);
    EXPECT_EQ(seen[3], 1);
    EXPECT_EQ(seen[5], 2);
    EXPECT_EQ(seen[15], 1);
}

TEST(XrHash, FreeItemOnClearAndDestructionOnly)
{
    std::vector<int> freed;
    {
        CountingHash h(freed);
        for (int i = 1; i <= 5; ++i)
            h.insert(i, i * 10);
        h.remove(2);
        EXPECT_TRUE(freed.empty());
        h.clear();
        EXPECT_EQ(freed.size(), 4u);
        EXPECT_EQ(h.get_count(), 0u);
        EXPECT_EQ(h.find_ptr(1), nullptr);
        freed.clear();
        h.insert(7, 70);
    }
    EXPECT_EQ(freed, std::vector<int>{7});
}

TEST(XrHash, KeepTableSkipsTheRelease)
{
    std::vector<int> freed;
    auto* h = new CountingHash(freed);
    h->insert(1, 10);
    h->set_keep_table(true);
    XR_LEAK_ON_PURPOSE(h->slot_storage());
    XrHash<int, int>* base = h;
    delete base;
    EXPECT_TRUE(freed.empty());
}

TEST(XrHash, FullTableWithoutFillLimitStillGrows)
{
    XrHash<int, int> h(10, false, 100);
    for (int i = 0; i < 40; ++i)
        ASSERT_TRUE(h.insert(i, i));
    EXPECT_GT(h.get_size(), 17u);
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(*h.find_ptr(i), i);
}

TEST(XrHash, AgreesWithAReferenceMap)
{
    std::mt19937 rng(7);
    XrHash<int, int> h(5, false, 80);
    std::map<int, int> ref;
    for (int step = 0; step < 20000; ++step) {
        int key = static_cast<int>(rng() % 700) - 350;
        switch (rng() % 3) {
        case 0:
        case 1: {
            bool fresh = ref.emplace(key, step).second;
            ASSERT_EQ(h.insert(key, step), fresh) << step;
            break;
        }
        default:
            ASSERT_EQ(h.remove(key), ref.erase(key) == 1) << step;
        }
    }
    EXPECT_EQ(h.get_count(), ref.size());
    for (int key = -350; key < 350; ++key) {
        int* v = h.find_ptr(key);
        auto it = ref.find(key);
        ASSERT_EQ(v != nullptr, it != ref.end()) << key;
        if (v) {
            EXPECT_EQ(*v, it->second);
        }
        EXPECT_EQ(h.num_items_for_key(key), v ? 1 : 0);
    }
}
