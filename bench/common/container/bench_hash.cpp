// XrHash against std::unordered_map on the same keys, at 80 percent fill:
// lookups (hits and misses), a remove followed by an insert, and filling an
// empty table.
#include "common/container/xr_hash.h"
#include "common/container/xr_string.h"

#include <benchmark/benchmark.h>

#include <random>
#include <type_traits>
#include <unordered_map>
#include <vector>

namespace {

// 16139 slots; 12911 entries are 80 percent, reached without growth.
constexpr std::size_t kRequest = 14000;
constexpr int kEntries = 12911;

struct StringKeyHash {
    std::size_t operator()(const XrString& s) const { return xr_hash_key(s); }
};

template <class K>
K make_key(unsigned int n);

template <>
int make_key<int>(unsigned int n)
{
    return static_cast<int>(n);
}

template <>
XrString make_key<XrString>(unsigned int n)
{
    XrString s;
    s.format(32, L"street %u", n);
    return s;
}

// kEntries present keys and as many absent ones, shuffled.
template <class K>
struct Keys {
    std::vector<K> present, absent;
    Keys()
    {
        std::mt19937 rng(42);
        std::vector<unsigned int> n(2 * kEntries);
        for (unsigned int& v : n)
            v = rng();
        for (int i = 0; i < kEntries; ++i) {
            present.push_back(make_key<K>(n[i] & ~1u)); // even
            absent.push_back(make_key<K>(n[kEntries + i] | 1u)); // odd
        }
    }
    static const Keys& get()
    {
        static const Keys keys;
        return keys;
    }
};

template <class K>
using StdMap = std::unordered_map<K, int, std::conditional_t<std::is_same_v<K, XrString>, StringKeyHash, std::hash<K>>>;

// Both tables behind one interface for the benchmark bodies.
template <class K>
struct XrTable {
    XrHash<K, int> h{kRequest, false, 80};
    bool insert(const K& k, int v) { return h.insert(k, v); }
    bool find(const K& k) { return h.find_ptr(k) != nullptr; }
    bool remove(const K& k) { return h.remove(k); }
};

template <class K>
struct StdTable {
    StdMap<K> m;
    StdTable() { m.reserve(kRequest); }
    bool insert(const K& k, int v) { return m.emplace(k, v).second; }
    bool find(const K& k) { return m.find(k) != m.end(); }
    bool remove(const K& k) { return m.erase(k) == 1; }
};

template <class Table, class K>
void fill(Table& t, const Keys<K>& keys)
{
    for (int i = 0; i < kEntries; ++i)
        t.insert(keys.present[i], i);
}

// Looks up every present key (hits) or every absent one (misses).
template <class Table, class K, bool kHits>
void BM_Find(benchmark::State& state)
{
    const Keys<K>& keys = Keys<K>::get();
    const std::vector<K>& probes = kHits ? keys.present : keys.absent;
    Table t;
    fill(t, keys);
    for (auto _ : state) {
        int found = 0;
        for (const K& k : probes)
            found += t.find(k);
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}

// Steady state at 80 percent: each step removes one key and inserts it again.
template <class Table, class K>
void BM_RemoveInsert(benchmark::State& state)
{
    const Keys<K>& keys = Keys<K>::get();
    Table t;
    fill(t, keys);
    for (auto _ : state) {
        for (int i = 0; i < kEntries; ++i) {
            t.remove(keys.present[i]);
            t.insert(keys.present[i], i);
        }
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}

template <class Table, class K>
void BM_Fill(benchmark::State& state)
{
    const Keys<K>& keys = Keys<K>::get();
    for (auto _ : state) {
        Table t;
        fill(t, keys);
        benchmark::DoNotOptimize(&t);
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}

} // namespace

#define XR_HASH_BENCHES(K)                                                   \
    BENCHMARK(BM_Find<XrTable<K>, K, true>)->Name("XrHash<" #K ">/find_hit");         \
    BENCHMARK(BM_Find<StdTable<K>, K, true>)->Name("unordered_map<" #K ">/find_hit"); \
    BENCHMARK(BM_Find<XrTable<K>, K, false>)->Name("XrHash<" #K ">/find_miss");       \
    BENCHMARK(BM_Find<StdTable<K>, K, false>)->Name("unordered_map<" #K ">/find_miss"); \
    BENCHMARK(BM_RemoveInsert<XrTable<K>, K>)->Name("XrHash<" #K ">/remove_insert"); \
    BENCHMARK(BM_RemoveInsert<StdTable<K>, K>)->Name("unordered_map<" #K ">/remove_insert"); \
    BENCHMARK(BM_Fill<XrTable<K>, K>)->Name("XrHash<" #K ">/fill_to_80pc");        \
    BENCHMARK(BM_Fill<StdTable<K>, K>)->Name("unordered_map<" #K ">/fill_to_80pc")

XR_HASH_BENCHES(int);
XR_HASH_BENCHES(XrString);
