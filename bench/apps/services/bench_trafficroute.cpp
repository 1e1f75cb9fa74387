// Traffic in routing: resolving a country file's 10,000 events onto the
// roads through the TMC tables (the aggregate's begin / add / resolve over
// tables of 4,000 paths and 40,000 locations on the card), and a route
// search of about 10 km with 1,000 traffic penalties beside the same search
// without, timed in one run (counter: penalty_ratio = with / without).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "apps/apps_common/xr_serviceaggregate.h"
#include "common/db/xr_heapgeomstorage.h"
#include "common/graph/xr_dijkstrapath.h"
#include "common/misc/xr_path_resolver.h"
#include "common/storage/xr_storageaccessor.h"
#include "bench/common/graph/bench_grid.h"
#include "tests/common/graph/graph_fixture.h"
#include "tools/mapgen/tmc_writer.h"

namespace {

constexpr int PATHS = 4000;
constexpr int LOCATIONS_PER_PATH = 10;
constexpr int EVENTS = 10000;

// The TMC tables on a card below a root of their own.
struct TmcCard {
    std::string root;
    XrString card;
    std::unique_ptr<XrPathResolver> resolver;
    TmcCard()
    {
        char tmpl[] = "/tmp/xr_bench_tmc_XXXXXX";
        root = mkdtemp(tmpl);
        const std::string map = root + "/media/mmc2/map";
        card = XrString((map + "/").c_str());
        resolver = std::make_unique<XrPathResolver>(card.c_str());
        set_path_resolver(resolver.get());
        std::filesystem::create_directories(map + "/kestrova");
        std::filesystem::create_directories(map + "/mapdata");
        std::vector<TmcPathLocationDef> records;
        std::vector<TmcLocationDef> locations;
        std::vector<TmcPathDef> paths;
        for (int p = 0; p < PATHS; ++p) {
            TmcPathDef path;
            for (int k = 0; k < LOCATIONS_PER_PATH; ++k) {
                const std::uint32_t code = static_cast<std::uint32_t>(p * LOCATIONS_PER_PATH + k + 1);
                const std::uint32_t key = (1u << 16) | (code & 0xFFFF);
                const std::int32_t x = p * 1000 + k * 100, y = p * 10;
                path.edges.push_back(static_cast<std::uint32_t>(p * LOCATIONS_PER_PATH + k));
                path.points.push_back(TmcPointDef{static_cast<std::uint16_t>(k), x, y});
                records.push_back(TmcPathLocationDef{
                    key, {TmcPathEntryDef{static_cast<std::uint16_t>(p), static_cast<std::uint16_t>(k),
                                          static_cast<std::uint16_t>(k)}}});
                locations.push_back(TmcLocationDef{key, {}, x, y});
            }
            paths.push_back(path);
        }
        const std::uint32_t buckets = static_cast<std::uint32_t>(locations.size() / 8 + 1);
        write(map + "/mapdata/tmc_paths.bin", tmc_paths_file(buckets, records, paths));
        write(map + "/mapdata/tmc_locations.bin", tmc_locations_file(buckets, locations));
    }
    ~TmcCard() { std::filesystem::remove_all(root); }
    static void write(const std::string& path, const std::vector<std::uint8_t>& bytes)
    {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
};

void BM_TmcResolution10k(benchmark::State& state)
{
    static TmcCard card;
    // Events of two or three locations along a path (codes stay below
    // 65536: locations of one table).
    std::mt19937 rng(7);
    std::vector<std::vector<std::uint16_t>> events;
    for (int e = 0; e < EVENTS; ++e) {
        const int p = static_cast<int>(rng() % 6000u) % PATHS;
        const int first = static_cast<int>(rng() % (LOCATIONS_PER_PATH - 2));
        const int span = 1 + static_cast<int>(rng() % 2u);
        std::vector<std::uint16_t> codes;
        for (int k = first; k <= first + span; ++k)
            codes.push_back(static_cast<std::uint16_t>(p * LOCATIONS_PER_PATH + k + 1));
        events.push_back(codes);
    }
    XrServiceAggregate aggregate;
    const XrString table(L"001");
    std::size_t segments = 0;
    for (auto _ : state) {
        aggregate.begin_tmc_resolution(EVENTS);
        for (int e = 0; e < EVENTS; ++e) {
            int x = 0, y = 0;
            aggregate.add_tmc_event(table, events[static_cast<std::size_t>(e)].data(),
                                    static_cast<int>(events[static_cast<std::size_t>(e)].size()), e, x, y);
        }
        aggregate.resolve_tmc_events();
        segments = aggregate.get_tmc_segments().size();
        benchmark::DoNotOptimize(segments);
    }
    state.counters["segments"] = static_cast<double>(segments);
}
BENCHMARK(BM_TmcResolution10k)->Unit(benchmark::kMillisecond);

// A grid of about 40,000 junctions.
struct Grid : XrBenchGrid {
    Grid() : XrBenchGrid(200) {}
};

// Best time in ms of one search, with or without the penalties.
double search_ms(Grid& g, std::size_t a, std::size_t b, const std::vector<XrGid>& penalised, int rounds,
                 long long& settled)
{
    const auto table = XrDijkstraPath2::default_cost_table(3);
    double best = 1e30;
    for (int r = 0; r < rounds; ++r) {
        const auto t0 = std::chrono::steady_clock::now();
        XrDijkstraPath2 search(g.graph.get(), g.geometry.get(), XrString(), nullptr);
        search.keep_tile_cache = true;
        search.route_mode = 3;
        for (std::size_t i = 0; i < penalised.size(); ++i)
            search.add_edge_penalty(penalised[i], i % 50 == 0 ? -1 : 2560 + static_cast<int>(i % 7) * 256);
        XrRouteInstructions* res = nullptr;
        search.find_route(g.mid(a), g.result.gids[a], g.mid(b), g.result.gids[b], &res, &table, -1, -1, false, false,
                          nullptr);
        delete res;
        settled = search.get_settled_count();
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        best = std::min(best, ms);
    }
    return best;
}

void BM_RouteWith1000Penalties(benchmark::State& state)
{
    static Grid g;
    // A pair about 10 km apart across the grid; penalties on random roads.
    const auto [a, b] = g.pair_for(10);
    std::mt19937 rng(11);
    std::vector<XrGid> penalised;
    for (int i = 0; i < 1000; ++i)
        penalised.push_back(g.result.gids[rng() % g.result.gids.size()]);
    double with = 0, without = 0;
    long long settled = 0, settled_with = 0;
    for (auto _ : state) {
        // Interleaved, best of each: the load of the machine hits both alike.
        without = with = 1e30;
        for (int r = 0; r < 15; ++r) {
            without = std::min(without, search_ms(g, a, b, {}, 1, settled));
            with = std::min(with, search_ms(g, a, b, penalised, 1, settled_with));
        }
    }
    state.counters["without_ms"] = without;
    state.counters["with_ms"] = with;
    state.counters["settled"] = static_cast<double>(settled);
    state.counters["settled_with"] = static_cast<double>(settled_with);
    state.counters["penalty_ratio"] = without > 0 ? with / without : 0;
}
BENCHMARK(BM_RouteWith1000Penalties)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
