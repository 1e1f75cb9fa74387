// Route queries of about 1, 10 and 100 km on a generated network of about a
// million edges: the route search over the graph file (tile cache warm and
// cold) against Boost's dijkstra_shortest_paths on the same graph in memory
// (stopped at the target), and the pruned search of the program.
// Counters: tile inflates, cache hit rate, settled edges, peak RSS, and the
// best CPU times of the search and of Boost for the same pair, measured side
// by side, with their ratio (x_boost).
#include <benchmark/benchmark.h>

#include <boost/graph/adjacency_list.hpp>
#include <boost/graph/dijkstra_shortest_paths.hpp>

#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>

#include "common/db/xr_heapgeomstorage.h"
#include "common/graph/xr_dijkstrapath.h"
#include "common/graph/xr_graphlayout.h"
#include "common/storage/xr_storageaccessor.h"
#include "bench/common/graph/bench_grid.h"
#include "tests/common/graph/graph_fixture.h"

using namespace xr_graph;
using Edge = XrGraphAccessor2::XrEdgeData;

namespace {

using BGraph = boost::adjacency_list<boost::vecS, boost::vecS, boost::directedS, boost::no_property,
                                     boost::property<boost::edge_weight_t, long long>>;

struct World : XrBenchGrid {
    std::map<std::pair<int, int>, int> vertex;
    std::unique_ptr<BGraph> bg;
    std::vector<int> handles; // by edge index

    World() : XrBenchGrid(708) { build_reference(); }

    int v(int h, int d)
    {
        return vertex.emplace(std::make_pair(h, d), static_cast<int>(vertex.size())).first->second;
    }

    void build_reference()
    {
        XrDijkstraPath2 search(graph.get(), geometry.get(), XrString(), nullptr);
        search.route_mode = 3;
        const auto table = XrDijkstraPath2::default_cost_table(3);
        std::vector<std::tuple<int, int, long long>> arcs;
        const int inner = graph->get_num_inner_nodes();
        for (int t = inner; t < inner + 4 * graph->get_num_leaves(); ++t)
            for (int main = 0; main < 2; ++main) {
                if (main && (t - inner) % 4 != 0)
                    continue;
                int len = 0;
                if (graph->get_tile_data(t, main != 0, len) == nullptr || len == 0)
                    continue;
                for (int en = 0; en < MAX_TILE_EDGES; ++en) {
                    const int h = graph->make_handle(t, main != 0, en);
                    Edge e;
                    if (graph->get_edge_by_handle(h, e) == -1)
                        break;
                    int ch = 0, turn = 0;
                    while (graph->get_next_edge_connection(e, ch, turn)) {
                        if (ch & HANDLE_DIRECTION)
                            continue;
                        Edge f;
                        graph->get_edge_by_handle(ch, f);
                        arcs.emplace_back(v(h, (turn & TURN_FROM_START) ? 0 : 1), v(ch, (turn & TURN_TARGET_DIR) ? 1 : 0),
                                          search.edge_cost(e, table) + search.edge_cost(f, table));
                    }
                }
            }
        bg.reset(new BGraph(vertex.size()));
        for (auto& a : arcs)
            boost::add_edge(std::get<0>(a), std::get<1>(a), std::get<2>(a), *bg);
        graph->free_cache(-1);
    }
};

World& world()
{
    static World w;
    return w;
}

long peak_rss_mb()
{
    struct rusage ru;
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss / 1024;
}

struct Found {};

struct StopAt : boost::default_dijkstra_visitor {
    std::vector<int> targets;
    template <class V, class G>
    void finish_vertex(V u, const G&)
    {
        for (int t : targets)
            if (static_cast<int>(u) == t)
                throw Found();
    }
};

// Boost's search between the pair of a distance, on the graph in memory.
struct BoostQuery {
    StopAt vis;
    int src = 0;
    std::vector<long long> dist;
    std::vector<BGraph::vertex_descriptor> pred;

    explicit BoostQuery(int km)
    {
        World& w = world();
        const auto [a, b] = w.pair_for(km);
        const int ha = w.graph->get_edge_handle_by_geometry(w.geometry.get(), w.result.gids[a], nullptr);
        const int hb = w.graph->get_edge_handle_by_geometry(w.geometry.get(), w.result.gids[b], nullptr);
        const size_t n = boost::num_vertices(*w.bg);
        dist.resize(n);
        pred.resize(n);
        for (int d = 0; d < 2; ++d)
            if (w.vertex.count({hb, d}))
                vis.targets.push_back(w.vertex[{hb, d}]);
        src = w.vertex.count({ha, 1}) ? w.vertex[{ha, 1}] : w.vertex[{ha, 0}];
    }

    void run()
    {
        try {
            boost::dijkstra_shortest_paths(*world().bg, static_cast<BGraph::vertex_descriptor>(src),
                                           boost::distance_map(dist.data()).predecessor_map(pred.data()).visitor(vis));
        } catch (const Found&) {
        }
        benchmark::DoNotOptimize(dist.data());
    }
};

// CPU time of this thread in milliseconds: the ratios stay fair on a
// machine shared with other work.
double cpu_ms()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// Boost's CPU time for a distance in milliseconds, the best of three runs
// made just before a search benchmark, which reports its best run against it.
double boost_ms(int km)
{
    BoostQuery q(km);
    double best = 0;
    for (int i = 0; i < 3; ++i) {
        const double t0 = cpu_ms();
        q.run();
        const double ms = cpu_ms() - t0;
        best = i == 0 ? ms : std::min(best, ms);
    }
    return best;
}

void run_search(benchmark::State& state, bool cold, bool pruned = false)
{
    World& w = world();
    const int km = static_cast<int>(state.range(0));
    const auto [a, b] = w.pair_for(km);
    const int mode = pruned ? 0 : 3;
    const auto table = XrDijkstraPath2::default_cost_table(mode);
    const double reference_ms = boost_ms(km);
    auto query = [&](long long* settled) {
        XrDijkstraPath2 search(w.graph.get(), w.geometry.get(), XrString(), nullptr);
        search.route_mode = mode;
        search.set_pruning(pruned);
        // Warm: the tiles of one query stay for the next (the program
        // itself empties the cache after every route).
        search.keep_tile_cache = !cold;
        XrRouteInstructions* res = nullptr;
        const bool ok = search.find_route(w.mid(a), w.result.gids[a], w.mid(b), w.result.gids[b], &res, &table, -1,
                                          -1, false, false, nullptr);
        if (settled)
            *settled = search.get_settled_count();
        delete res;
        benchmark::DoNotOptimize(search.get_route_cost());
        return ok;
    };
    w.graph->free_cache(-1);
    if (!cold)
        query(nullptr); // fills the cache
    const auto before = w.graph->get_cache_stats();
    long long settled = 0;
    double best_ms = -1;
    for (auto _ : state) {
        if (cold) {
            state.PauseTiming();
            w.graph->free_cache(-1);
            state.ResumeTiming();
        }
        const double t0 = cpu_ms();
        if (!query(&settled))
            state.SkipWithError("no route");
        const double ms = cpu_ms() - t0;
        best_ms = best_ms < 0 ? ms : std::min(best_ms, ms);
    }
    w.graph->free_cache(-1);
    const auto after = w.graph->get_cache_stats();
    const double lookups = static_cast<double>(after.lookups - before.lookups);
    const double iterations = static_cast<double>(state.iterations());
    state.counters["inflates/query"] = static_cast<double>(after.inflates - before.inflates) / iterations;
    state.counters["hit_rate"] = lookups > 0 ? static_cast<double>(after.hits - before.hits) / lookups : 0;
    state.counters["settled"] = static_cast<double>(settled);
    state.counters["peak_rss_MB"] = static_cast<double>(peak_rss_mb());
    state.counters["boost_ms"] = reference_ms;
    state.counters["best_ms"] = best_ms;
    state.counters["x_boost"] = reference_ms > 0 ? best_ms / reference_ms : 0;
}

void BM_RouteSearchWarm(benchmark::State& state)
{
    run_search(state, false);
}

void BM_RouteSearchCold(benchmark::State& state)
{
    run_search(state, true);
}

// The search as the program runs it (mode 0, minor roads pruned far from
// both ends, chains followed): not the same work as the reference.
void BM_RouteSearchPruned(benchmark::State& state)
{
    run_search(state, false, true);
}

void BM_BoostDijkstra(benchmark::State& state)
{
    BoostQuery q(static_cast<int>(state.range(0)));
    for (auto _ : state)
        q.run();
    state.counters["peak_rss_MB"] = static_cast<double>(peak_rss_mb());
}

} // namespace

BENCHMARK(BM_RouteSearchWarm)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RouteSearchCold)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RouteSearchPruned)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BoostDijkstra)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);
