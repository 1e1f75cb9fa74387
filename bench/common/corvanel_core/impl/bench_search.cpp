// The searches of the find dialogs on generated maps read from files as on
// the device:
// - address search per keystroke on 100,000 streets in 300 counties: each
//   typed prefix length 1..8 of real street names, p50 and p99 of one
//   search_streets (20 results) and of one get_continuations;
// - POI search on 100,000 POIs spread over towns: around a position (the
//   widening passes, 20 results) in a town and in the countryside, and over
//   the whole storage by name, for an empty query and a word query;
// - city search among 20,000 settlements for a text only 2 of them match,
//   around a position, so that the passes widen to the end.
// The POI and settlement layers are read from geometry files; the memory
// storage variants show what the file reading costs.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "common/addr/xr_addraccessor.h"
#include "common/corvanel_core/impl/xr_addrsearchproviderimpl.h"
#include "common/corvanel_core/impl/xr_citysearchproviderimpl.h"
#include "common/corvanel_core/impl/xr_poisearchproviderimpl.h"
#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/corvanel_core/interfaces/xr_poiprovider.h"
#include "common/db/xr_datasource.h"
#include "common/db/xr_memorygeomstorage.h"
#include "common/db/xr_simplegeomstorage.h"
#include "common/map/xr_geomlayer.h"
#include "common/map/xr_map.h"
#include "common/map/xr_poilayer.h"
#include "common/storage/xr_storageaccessor.h"
#include "tools/mapgen/addr_writer.h"
#include "tools/mapgen/xrqt_writer.h"

namespace {

constexpr int STREETS = 100000;
constexpr int COUNTIES = 300;
constexpr int POIS = 100000;
constexpr int POI_TOWNS = 300;
constexpr int POI_EXTENT = 400000; // a 400 km square, map units in metres
constexpr int SETTLEMENTS = 20000;
constexpr int CITY_EXTENT = 1000000;
constexpr int RESULTS = 20;
constexpr int PREFIXES = 400; // typed texts per prefix length

const char* const SYLLABLES[] = {"ka", "lo", "mi", "ter", "van", "rin", "sa", "ko", "hel", "mar",
                                 "tu", "pe", "ja", "vi", "nor", "le", "bu", "os", "ra", "ni",
                                 "ste", "wa", "dal", "ber", "gen", "ha", "ri", "to", "mo", "en"};
constexpr int SYLLABLE_COUNT = 30;

std::string temp_path(const char* name)
{
    return "/tmp/bench_search_" + std::to_string(getpid()) + "_" + name;
}

std::string made_up_word(std::mt19937& rng, int lo, int hi)
{
    auto pick = [&](int a, int b) { return std::uniform_int_distribution<int>(a, b)(rng); };
    std::string w;
    const int parts = pick(lo, hi);
    for (int k = 0; k < parts; ++k)
        w += SYLLABLES[pick(0, SYLLABLE_COUNT - 1)];
    w[0] = static_cast<char>(w[0] - 'a' + 'A');
    return w;
}

// ------------------------------------------------------------ map provider

struct Record {
    int x, y, type;
    std::string text;
};

// A geometry file of text records; the storage reads it.
XrGeomStorage* stored_storage(const std::vector<Record>& records, const char* name)
{
    const std::string path = temp_path(name);
    std::vector<XrGeomRec*> recs;
    recs.reserve(records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        const Record& r = records[i];
        recs.push_back(new XrTextGeomRec(static_cast<int>(i) + 1, r.x, r.y, static_cast<unsigned short>(r.type), 0,
                                         r.text.c_str()));
    }
    XrGeomFileOptions options;
    options.name = name;
    std::string error;
    const bool written = write_xrqt(path, recs, options, error);
    for (XrGeomRec* r : recs)
        delete r;
    if (!written) {
        std::fprintf(stderr, "bench_search: %s\n", error.c_str());
        return nullptr;
    }
    auto* file = new XrFileStorageAccessor();
    if (!file->open(XrString(path.c_str()), true)) {
        delete file;
        std::remove(path.c_str());
        return nullptr;
    }
    auto storage = std::make_unique<XrSimpleGeomStorage>(file, false, false, nullptr);
    // The open file stays readable; the name goes at once.
    std::remove(path.c_str());
    if (storage->open() != XrStoredGeomStorage::OPENED)
        return nullptr;
    return storage.release();
}

XrGeomStorage* memory_storage(const std::vector<Record>& records)
{
    auto* storage = new XrMemoryGeomStorage();
    for (size_t i = 0; i < records.size(); ++i) {
        const Record& r = records[i];
        xr_add_text_record(storage, static_cast<int>(i) + 1, XrPoint(r.x, r.y), r.type, XrString(r.text.c_str()));
    }
    return storage;
}

// The map provider the searches find: a POI layer, a settlement layer and
// the address reader, each set up by the benchmark that needs it.
class BenchMapProvider : public XrMapProvider {
public:
    BenchMapProvider()
    {
        poi = new XrPoiLayer(&map, nullptr, false);
        map.add_layer(poi, XrString(L"poi"));
        sm = new XrGeomLayer(&map, nullptr, false);
        map.add_layer(sm, XrString(L"sm"));
        XrSingleton::set_instance(XrString(L"XrMapProvider"), static_cast<XrMapProvider*>(this));
    }
    ~BenchMapProvider() override { XrSingleton::set_instance(XrString(L"XrMapProvider"), nullptr); }

    XrLayer* get_poi_layer() override { return poi; }
    XrLayer* get_sm_layer() override { return sm; }
    XrMap* get_map() override { return &map; }
    XrAddrAccessor* get_addr_accessor() override { return addr.get(); }

    XrMap map;
    XrPoiLayer* poi;
    XrGeomLayer* sm;
    std::unique_ptr<XrAddrAccessor> addr;
};

// POI classes 10 .. 19 with their names.
class BenchPoiProvider : public XrPoiProvider {
public:
    BenchPoiProvider()
    {
        static const wchar_t* const names[] = {L"Restaurants", L"Fuel stations", L"Hotels", L"Parking",
                                               L"Banks",       L"Pharmacies",    L"Cafes",  L"Museums",
                                               L"Car repair",  L"Supermarkets"};
        for (int i = 0; i < 10; ++i) {
            auto* s = new XrStaticPoiSettings();
            s->set_class_id(10 + i);
            s->set_name(XrString(names[i]));
            s->get_small_bm_data().icon_index = i;
            list.append(s);
        }
        XrSingleton::set_instance(XrString(L"XrPoiProvider"), static_cast<XrPoiProvider*>(this));
    }
    ~BenchPoiProvider() override
    {
        XrSingleton::set_instance(XrString(L"XrPoiProvider"), nullptr);
        for (int i = 0; i < list.get_num_items(); ++i)
            delete *list.get_item_ptr(i);
    }

    bool save_poi_settings(bool) override { return true; }
    void initialize() override {}
    void unload_dynamic_pois() override {}
    XrArray<XrDynPoiFailedResult>* reload_extensions() override { return new XrArray<XrDynPoiFailedResult>(); }
    void reload_bitmaps(XrPoiLayerIconSet&) override {}
    XrArray<XrPoiSettings*>& get_poi_settings() override { return list; }
    void set_visible_poi_classes(const XrArray<int>&) override {}
    bool set_poi_class_proximity_alert(int, const XrDistance&) override { return true; }
    bool set_poi_class_visibility(int, bool) override { return true; }
    void load_poi_bitmaps() override {}
    void release_dynamic_bitmaps() override {}

    XrArray<XrPoiSettings*> list;
};

// p50 and p99 of the samples (milliseconds) as counters.
void report_percentiles(benchmark::State& state, std::vector<double>& ms)
{
    if (ms.empty())
        return;
    std::sort(ms.begin(), ms.end());
    auto at = [&](double q) { return ms[std::min(ms.size() - 1, static_cast<size_t>(q * ms.size()))]; };
    state.counters["p50_ms"] = at(0.50);
    state.counters["p99_ms"] = at(0.99);
    state.counters["max_ms"] = ms.back();
}

template <class Fn>
double time_ms(Fn fn)
{
    const auto t0 = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

// ------------------------------------------------------------ address search

struct AddressDatabase {
    std::string path;
    std::vector<std::string> names;
};

const AddressDatabase& address_database()
{
    static AddressDatabase db;
    if (!db.path.empty())
        return db;
    db.path = temp_path("addr.dat");
    std::mt19937 rng(7);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    XrAddrFileOptions o;
    o.suffixes = {{u" Street", u"St"}, {u" Road", u"Rd"}, {u" Avenue", u"Ave"}, {u" Lane", u"Ln"}};
    o.countries = {"Kestrovia"};
    o.block_size = 4096;
    XrAddrWriter w(o);
    std::vector<std::uint32_t> counties;
    for (int i = 0; i < COUNTIES; ++i) {
        const std::string name = made_up_word(rng, 2, 3) + "#" + made_up_word(rng, 2, 3) + " County#Kestrovia";
        counties.push_back(w.add_county(name.c_str(), static_cast<BYTE>(i % 7)));
    }
    for (int i = 0; i < STREETS; ++i) {
        std::string name = made_up_word(rng, 2, 4);
        if (pick(0, 4) == 0)
            name.append(" ").append(made_up_word(rng, 1, 3)); // two-word names
        if (pick(0, 20) == 0)
            name = std::to_string(pick(1, 99)) + " " + name;
        XrAddrStreetDef s;
        s.name = name;
        s.suffix = pick(0, 4); // Street, Road, Avenue, Lane or none
        s.county = counties[static_cast<size_t>(pick(0, COUNTIES - 1))];
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
        std::fprintf(stderr, "bench_search: %s\n", error.c_str());
    std::atexit([] { std::remove(db.path.c_str()); });
    return db;
}

std::unique_ptr<XrAddrAccessor> open_address_reader(benchmark::State& state)
{
    auto reader = std::make_unique<XrAddrAccessor>();
    auto* file = new XrFileStorageAccessor();
    if (!file->open(XrString(address_database().path.c_str()), true)) {
        delete file;
        state.SkipWithError("cannot open the address database");
        return nullptr;
    }
    reader->set_storage(file);
    if (reader->open() != XrAddrAccessor::OK) {
        state.SkipWithError("cannot read the address database");
        return nullptr;
    }
    return reader;
}

// What a user types: the first length characters of street names (as
// written, not folded), cut at a blank.
std::vector<XrString> typed_prefixes(int length)
{
    std::mt19937 rng(11 + length);
    const AddressDatabase& db = address_database();
    std::vector<XrString> out;
    for (int i = 0; i < PREFIXES; ++i) {
        std::string s = db.names[static_cast<size_t>(std::uniform_int_distribution<int>(0, STREETS - 1)(rng))];
        s.resize(std::min(static_cast<size_t>(length), s.size()));
        while (!s.empty() && s.back() == ' ')
            s.pop_back();
        out.emplace_back(s.c_str());
    }
    return out;
}

struct CountStreets : XrAddrSearchProviderObserver {
    int found = 0;
    void matching_address_found(XrAddrSearchResult* r) override
    {
        if (r != nullptr)
            ++found;
    }
};

void BM_StreetSearchPerKeystroke(benchmark::State& state)
{
    BenchMapProvider maps;
    maps.addr = open_address_reader(state);
    if (!maps.addr)
        return;
    XrAddrSearchProviderImpl provider;
    const std::vector<XrString> texts = typed_prefixes(static_cast<int>(state.range(0)));
    std::vector<double> ms;
    long long found = 0;
    for (auto _ : state) {
        for (const XrString& t : texts) {
            CountStreets c;
            ms.push_back(time_ms([&] { provider.search_streets(&t, nullptr, nullptr, &c, RESULTS); }));
            found += c.found;
        }
    }
    report_percentiles(state, ms);
    state.counters["results/search"] = static_cast<double>(found) / static_cast<double>(ms.size());
}

void BM_ContinuationsPerKeystroke(benchmark::State& state)
{
    BenchMapProvider maps;
    maps.addr = open_address_reader(state);
    if (!maps.addr)
        return;
    XrAddrSearchProviderImpl provider;
    const std::vector<XrString> texts = typed_prefixes(static_cast<int>(state.range(0)));
    std::vector<double> ms;
    long long letters = 0;
    for (auto _ : state) {
        for (const XrString& t : texts) {
            XrArray<XrString> out;
            int first = 0, second = 0;
            ms.push_back(time_ms([&] { provider.get_continuations(t, nullptr, out, first, second); }));
            letters += out.get_num_items();
        }
    }
    report_percentiles(state, ms);
    state.counters["texts/call"] = static_cast<double>(letters) / static_cast<double>(ms.size());
}

// ------------------------------------------------------------ POI search

struct PoiWorld {
    std::vector<Record> records;
    std::vector<XrPoint> towns;
};

const PoiWorld& poi_world()
{
    static PoiWorld w;
    if (!w.records.empty())
        return w;
    std::mt19937 rng(3);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int i = 0; i < POI_TOWNS; ++i)
        w.towns.emplace_back(pick(20000, POI_EXTENT - 20000), pick(20000, POI_EXTENT - 20000));
    std::normal_distribution<double> spread(0.0, 2500.0);
    static const char* const kinds[] = {"Restaurant", "Fuel", "Hotel", "Parking", "Bank",
                                        "Pharmacy",   "Cafe", "Museum", "Garage", "Market"};
    w.records.reserve(POIS);
    for (int i = 0; i < POIS; ++i) {
        // Nine in ten POIs lie in towns, the rest along the country roads.
        int x, y;
        if (pick(0, 9) > 0) {
            const XrPoint& t = w.towns[static_cast<size_t>(pick(0, POI_TOWNS - 1))];
            x = std::clamp(t.x + static_cast<int>(spread(rng)), 0, POI_EXTENT);
            y = std::clamp(t.y + static_cast<int>(spread(rng)), 0, POI_EXTENT);
        } else {
            x = pick(0, POI_EXTENT);
            y = pick(0, POI_EXTENT);
        }
        const int cls = pick(0, 9);
        std::string text = made_up_word(rng, 1, 3) + " " + kinds[cls];
        if (pick(0, 3) == 0)
            text.append("<c=").append(made_up_word(rng, 2, 2)).append(">\t+358 ").append(std::to_string(pick(100000, 999999)));
        w.records.push_back({x, y, 10 + cls, text});
    }
    return w;
}

// A point at least 20 km from every town.
XrPoint countryside(const PoiWorld& w)
{
    std::mt19937 rng(5);
    for (;;) {
        const XrPoint p(std::uniform_int_distribution<int>(0, POI_EXTENT)(rng),
                        std::uniform_int_distribution<int>(0, POI_EXTENT)(rng));
        bool far = true;
        for (const XrPoint& t : w.towns)
            far = far && p.distance(t.x, t.y) > 20000.0;
        if (far)
            return p;
    }
}

struct CountPois : XrPoiSearchProviderObserver {
    int found = 0;
    double farthest = 0;
    void matching_poi_found(XrPoiSearchResult* r) override
    {
        if (r != nullptr) {
            ++found;
            farthest = std::max(farthest, r->distance);
        }
    }
};

enum PoiPlace { InTown, InCountryside, NoPosition };

void poi_search(benchmark::State& state, bool stored, PoiPlace place, const wchar_t* words)
{
    const PoiWorld& world = poi_world();
    BenchMapProvider maps;
    BenchPoiProvider classes;
    XrGeomStorage* storage = stored ? stored_storage(world.records, "poi.qt") : memory_storage(world.records);
    if (storage == nullptr) {
        state.SkipWithError("cannot build the POI storage");
        return;
    }
    maps.poi->get_storage()->add_storage(storage, 0);
    XrPoiSearchProviderImpl provider;
    // Positions taken in turn: town centres, or points in the countryside.
    std::vector<XrPoint> positions;
    if (place == InTown)
        positions.assign(world.towns.begin(), world.towns.begin() + 50);
    else if (place == InCountryside)
        positions.push_back(countryside(world));
    else
        positions.emplace_back(0, 0);
    const XrString query(words);
    size_t i = 0;
    long long found = 0, searches = 0;
    double farthest = 0;
    for (auto _ : state) {
        const XrPoint& p = positions[i++ % positions.size()];
        CountPois c;
        provider.search_pois(query, false, place == NoPosition ? nullptr : &p, 0, nullptr, nullptr, -1, &c, RESULTS,
                             -1, 0, false);
        found += c.found;
        farthest = std::max(farthest, c.farthest);
        ++searches;
    }
    state.counters["results/search"] = searches > 0 ? static_cast<double>(found) / searches : 0;
    if (place != NoPosition)
        state.counters["farthest_m"] = farthest;
}

void BM_PoiSearch_File_Town_Empty(benchmark::State& s) { poi_search(s, true, InTown, L""); }
void BM_PoiSearch_File_Town_Word(benchmark::State& s) { poi_search(s, true, InTown, L"mar"); }
void BM_PoiSearch_File_Countryside_Empty(benchmark::State& s) { poi_search(s, true, InCountryside, L""); }
void BM_PoiSearch_File_Countryside_Word(benchmark::State& s) { poi_search(s, true, InCountryside, L"mar"); }
void BM_PoiSearch_File_NoPosition_Empty(benchmark::State& s) { poi_search(s, true, NoPosition, L""); }
void BM_PoiSearch_File_NoPosition_Word(benchmark::State& s) { poi_search(s, true, NoPosition, L"mar"); }
void BM_PoiSearch_Memory_Town_Word(benchmark::State& s) { poi_search(s, false, InTown, L"mar"); }
void BM_PoiSearch_Memory_NoPosition_Word(benchmark::State& s) { poi_search(s, false, NoPosition, L"mar"); }

// ------------------------------------------------------------ city search

const std::vector<Record>& settlements()
{
    static std::vector<Record> records;
    if (!records.empty())
        return records;
    std::mt19937 rng(9);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    std::vector<std::string> regions;
    for (int i = 0; i < 40; ++i)
        regions.push_back(made_up_word(rng, 2, 3));
    records.reserve(SETTLEMENTS);
    for (int i = 0; i < SETTLEMENTS - 2; ++i) {
        std::string text = made_up_word(rng, 2, 4);
        if (pick(0, 9) == 0)
            text.append("/").append(made_up_word(rng, 2, 4)); // a second language
        text.append("\t").append(regions[static_cast<size_t>(pick(0, 39))]).append(".");
        records.push_back({pick(0, CITY_EXTENT), pick(0, CITY_EXTENT), 1, text});
    }
    // The two the search finds, far from the search position.
    records.push_back({CITY_EXTENT / 50, CITY_EXTENT / 40, 1, "Quillby\tNorth."});
    records.push_back({CITY_EXTENT - 5000, CITY_EXTENT - 9000, 1, "Kesto/Quillrock\tSouth."});
    return records;
}

struct CountCities : XrCitySearchProviderObserver {
    int found = 0;
    void matching_city_found(XrCitySearchResult* r) override
    {
        if (r != nullptr)
            ++found;
    }
};

void city_search(benchmark::State& state, bool stored)
{
    BenchMapProvider maps;
    XrGeomStorage* storage = stored ? stored_storage(settlements(), "sm.qt") : memory_storage(settlements());
    if (storage == nullptr) {
        state.SkipWithError("cannot build the settlement storage");
        return;
    }
    maps.sm->get_storage()->add_storage(storage, 0);
    XrCitySearchProviderImpl provider;
    const XrPoint centre(CITY_EXTENT / 2, CITY_EXTENT / 2);
    const XrString text(L"Quil");
    long long found = 0, searches = 0;
    for (auto _ : state) {
        CountCities c;
        provider.search_cities(text, &centre, &c, RESULTS);
        found += c.found;
        ++searches;
    }
    state.counters["results/search"] = searches > 0 ? static_cast<double>(found) / searches : 0;
}

void BM_CitySearchFewMatches_File(benchmark::State& s) { city_search(s, true); }
void BM_CitySearchFewMatches_Memory(benchmark::State& s) { city_search(s, false); }

} // namespace

BENCHMARK(BM_StreetSearchPerKeystroke)->DenseRange(1, 8)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ContinuationsPerKeystroke)->DenseRange(1, 8)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PoiSearch_File_Town_Empty)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PoiSearch_File_Town_Word)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PoiSearch_File_Countryside_Empty)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PoiSearch_File_Countryside_Word)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PoiSearch_File_NoPosition_Empty)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PoiSearch_File_NoPosition_Word)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PoiSearch_Memory_Town_Word)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PoiSearch_Memory_NoPosition_Word)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CitySearchFewMatches_File)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CitySearchFewMatches_Memory)->Unit(benchmark::kMillisecond);
