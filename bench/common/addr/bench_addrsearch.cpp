// Street search on an address database of 100,000 streets in 2,000 towns,
// read from a file as on the device: typed prefix search (up to 20 results),
// the next-letter list of the on-screen keyboard, street names by key (the
// street labels and route texts), and a walk over every street.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>

#include "common/addr/xr_addraccessor.h"
#include "common/misc/xr_unicodeutil.h"
#include "common/storage/xr_storageaccessor.h"
#include "tools/mapgen/addr_writer.h"

namespace {

constexpr int STREETS = 100000;
constexpr int TOWNS = 2000;
constexpr int RESULTS = 20;

struct Database {
    std::string path;
    std::vector<std::uint32_t> keys;
    std::vector<std::string> names;
};

const Database& database()
{
    static Database db;
    if (!db.path.empty())
        return db;
    db.path = "/tmp/bench_addrsearch_" + std::to_string(getpid()) + ".dat";
    static const char* const syllables[] = {"ka", "lo", "mi", "ter", "van", "rin", "sa", "ko", "hel", "mar",
                                            "tu", "pe", "ja", "vi", "nor", "le", "bu", "os", "ra", "ni",
                                            "ste", "wa", "dal", "ber", "gen", "ha", "ri", "to", "mo", "en"};
    std::mt19937 rng(7);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    XrAddrFileOptions o;
    o.suffixes = {{u" Street", u"St"}, {u" Road", u"Rd"}, {u" Avenue", u"Ave"}, {u" Lane", u"Ln"}};
    o.countries = {"Kestrovia"};
    o.block_size = 4096;
    XrAddrWriter w(o);
    std::vector<std::uint32_t> towns;
    for (int i = 0; i < TOWNS; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "Town %04d#Region %d#Kestrovia", i, i % 40);
        towns.push_back(w.add_county(name, static_cast<BYTE>(i % 7)));
    }
    for (int i = 0; i < STREETS; ++i) {
        std::string name;
        const int parts = pick(2, 4);
        for (int k = 0; k < parts; ++k)
            name += syllables[pick(0, 29)];
        name[0] = static_cast<char>(name[0] - 'a' + 'A');
        if (pick(0, 20) == 0)
            name = std::to_string(pick(1, 99)) + " " + name;
        XrAddrStreetDef s;
        s.name = name;
        s.suffix = pick(0, 4);
        s.county = towns[pick(0, TOWNS - 1)];
        s.type = pick(0, 7);
        const int n = pick(1, 6);
        int number = 1;
        for (int k = 0; k < n; ++k) {
            XrAddrSegmentDef g;
            g.gid = static_cast<std::uint32_t>(pick(0, 4000)) << 16 | static_cast<std::uint32_t>(pick(0, 60000));
            g.left_from = number;
            g.left_to = number + 2 * pick(0, 20);
            g.right_from = number + 1;
            g.right_to = g.left_to + 1;
            number = g.right_to + 1;
            s.segments.push_back(g);
        }
        w.add_street(s);
        db.names.push_back(name);
    }
    std::string error;
    if (!w.write(db.path, error))
        std::fprintf(stderr, "bench_addrsearch: %s\n", error.c_str());
    for (int i = 0; i < STREETS; ++i)
        db.keys.push_back(w.get_street_position(i));
    std::atexit([] { std::remove(db.path.c_str()); });
    return db;
}

std::unique_ptr<XrAddrAccessor> open_reader(benchmark::State& state)
{
    auto reader = std::make_unique<XrAddrAccessor>();
    auto* file = new XrFileStorageAccessor();
    if (!file->open(XrString(database().path.c_str()), true)) {
        delete file;
        state.SkipWithError("cannot open the database");
        return nullptr;
    }
    reader->set_storage(file);
    if (reader->open() != XrAddrAccessor::OK) {
        state.SkipWithError("cannot read the database");
        return nullptr;
    }
    return reader;
}

// Folded prefixes of the given length taken from the streets' names.
std::vector<XrString> prefixes(int length)
{
    std::mt19937 rng(11);
    std::vector<XrString> out;
    const XrUnicodeUtil* u = XrUnicodeUtil::get_instance();
    for (int i = 0; i < 256; ++i) {
        const std::string& name = database().names[std::uniform_int_distribution<int>(0, STREETS - 1)(rng)];
        XrString s(name.c_str());
        u->fold_string(s);
        s.truncate(std::min(length, s.length()));
        out.push_back(s);
    }
    return out;
}

void BM_PrefixSearch(benchmark::State& state)
{
    auto reader = open_reader(state);
    if (!reader)
        return;
    const std::vector<XrString> list = prefixes(static_cast<int>(state.range(0)));
    const XrUnicodeUtil* u = XrUnicodeUtil::get_instance();
    size_t i = 0;
    long long found = 0, queries = 0;
    for (auto _ : state) {
        const XrString& prefix = list[i++ % list.size()];
        reader->find_first_street(prefix.c_str(), false);
        XrString name;
        unsigned int county = 0;
        for (int n = 0; n < RESULTS; ++n) {
            if (reader->get_next_street(&name, &county, nullptr, nullptr, nullptr) != XrAddrAccessor::OK ||
                u->compare_prefix(name.c_str(), prefix.c_str(), prefix.length()) != 0)
                break;
            ++found;
        }
        ++queries;
    }
    state.counters["queries/s"] = benchmark::Counter(static_cast<double>(queries), benchmark::Counter::kIsRate);
    state.counters["streets/query"] = queries > 0 ? static_cast<double>(found) / queries : 0;
}

void next_letters(benchmark::State& state, bool in_towns)
{
    auto reader = open_reader(state);
    if (!reader)
        return;
    const std::vector<XrString> list = prefixes(static_cast<int>(state.range(0)));
    const unsigned int towns[] = {40, 800, 1600, 2400, 6000};
    size_t i = 0;
    long long letters = 0, queries = 0;
    for (auto _ : state) {
        const XrString& prefix = list[i++ % list.size()];
        XrArray<XrString> out(16);
        bool exact = false;
        unsigned int block = 0, offset = 0;
        if (reader->find_first_street(prefix.c_str(), true) == XrAddrAccessor::PREFIX_AT_NODE)
            reader->get_next_letters(out, in_towns ? towns : nullptr, in_towns ? 5 : 0, exact, block, offset);
        letters += out.get_num_items();
        ++queries;
    }
    state.counters["letters/query"] = queries > 0 ? static_cast<double>(letters) / queries : 0;
}

void BM_NextLetters(benchmark::State& state)
{
    next_letters(state, false);
}

void BM_NextLettersInTowns(benchmark::State& state)
{
    next_letters(state, true);
}

void street_by_key(benchmark::State& state, int spread)
{
    auto reader = open_reader(state);
    if (!reader)
        return;
    std::mt19937 rng(3);
    std::vector<std::uint32_t> keys;
    for (int i = 0; i < 4096; ++i)
        keys.push_back(database().keys[std::uniform_int_distribution<int>(0, spread - 1)(rng)]);
    size_t i = 0;
    for (auto _ : state) {
        XrString name;
        reader->get_street_by_gid(keys[i++ % keys.size()], name, nullptr, nullptr, 0, nullptr);
        benchmark::DoNotOptimize(name.length());
    }
}

// 100 streets on screen: served from the name cache.
void BM_StreetByKeyCached(benchmark::State& state)
{
    street_by_key(state, 100);
}

// Keys spread over the whole database: mostly read and inflated.
void BM_StreetByKeyMisses(benchmark::State& state)
{
    street_by_key(state, STREETS);
}

void BM_WalkAllStreets(benchmark::State& state)
{
    auto reader = open_reader(state);
    if (!reader)
        return;
    const bool names = state.range(0) != 0;
    long long streets = 0;
    for (auto _ : state) {
        reader->find_first_street(L"", false);
        XrString name;
        while (reader->get_next_street(names ? &name : nullptr, nullptr, nullptr, nullptr, nullptr) ==
               XrAddrAccessor::OK)
            ++streets;
    }
    state.counters["streets/s"] = benchmark::Counter(static_cast<double>(streets), benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(BM_PrefixSearch)->Arg(1)->Arg(3)->Arg(6)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NextLetters)->Arg(0)->Arg(2)->Arg(4)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NextLettersInTowns)->Arg(0)->Arg(2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StreetByKeyCached)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StreetByKeyMisses)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WalkAllStreets)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
