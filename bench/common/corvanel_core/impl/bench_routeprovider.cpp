// The route provider's calculation of a 100 km route on a generated grid of
// about a million edges, started by its 100 ms timer on the GLib loop: the
// longest time the loop is blocked while the search runs (a 2 ms timeout
// measures the gaps). The search runs on the loop and blocks it to its end.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include <glib.h>

#include "common/corvanel_core/impl/route_world.h"
#include "tests/common/graph/graph_fixture.h"

using namespace xr_route_world;

namespace {

struct Setup {
    std::string dir;
    std::unique_ptr<XrPathResolver> resolver;
    XrString card;
    XrGraphWriterResult result;
    XrPoint from, to;

    Setup()
    {
        char tmpl[] = "/tmp/xr_bench_routeprovider_XXXXXX";
        dir = mkdtemp(tmpl);
        card = XrString((dir + "/").c_str());
        resolver = std::make_unique<XrPathResolver>(card.c_str());
        set_path_resolver(resolver.get());
        setenv("HOME", dir.c_str(), 1);
        XrGridOptions g;
        g.columns = g.rows = 708;
        g.spacing = 200;
        g.jitter = 30;
        g.drop = 0.03;
        g.oneway = 0.05;
        g.long_links = 0;
        g.bends = 0;
        if (!write_map(xr_make_grid_network(g), result)) {
            std::fprintf(stderr, "bench_routeprovider: the map cannot be written\n");
            std::abort();
        }
        // 400 columns east and 300 rows north: 100 km apart.
        from = XrPoint(g.origin_x + 20 * g.spacing, g.origin_y + 20 * g.spacing);
        to = XrPoint(g.origin_x + 420 * g.spacing, g.origin_y + 320 * g.spacing);
    }
    ~Setup()
    {
        set_path_resolver(nullptr);
        std::string cmd = "rm -rf '" + dir + "'";
        if (std::system(cmd.c_str()) != 0)
            std::fprintf(stderr, "bench_routeprovider: %s left\n", dir.c_str());
    }
};

Setup& setup()
{
    static Setup s;
    return s;
}

struct Gaps {
    std::uint32_t last = 0;
    std::uint32_t longest = 0;
};

gboolean tick(gpointer data)
{
    auto* g = static_cast<Gaps*>(data);
    const std::uint32_t now = get_tick_count_ms();
    if (g->last != 0)
        g->longest = std::max(g->longest, now - g->last);
    g->last = now;
    return G_SOURCE_CONTINUE;
}

void BM_LoopBlockedBy100kmRoute(benchmark::State& state)
{
    Setup& s = setup();
    World world;
    world.settings.set_tollroads(XrRouteProvider::POLICY_ALLOW);
    world.settings.set_ferry(XrRouteProvider::POLICY_ALLOW);
    auto p = world.make_provider();
    std::uint32_t longest = 0;
    double search_ms = 0;
    int found = 0;
    double length_km = 0;
    for (auto _ : state) {
        world.listener.log.clear();
        Gaps gaps;
        const guint source = g_timeout_add(2, tick, &gaps);
        const std::uint32_t start = get_tick_count_ms();
        p->set_start_and_destination(World::place(s.from, L"A"), World::place(s.to, L"B"));
        world.run_until_calculated(600000);
        const std::uint32_t done = get_tick_count_ms();
        search_ms += done - start;
        // The gap that ends after the calculation is measured by the next tick.
        World::run_until([&] { return gaps.last >= done; });
        g_source_remove(source);
        longest = std::max(longest, gaps.longest);

        found += world.layer.get_route_count();
        if (world.layer.get_route_count() > 0)
            length_km = world.layer.get_route(0)->total_length / 1000.0;
    }
    state.counters["loop_blocked_ms"] = longest;
    state.counters["calculation_ms"] = search_ms / static_cast<double>(state.iterations());
    state.counters["routes"] = found;
    state.counters["route_km"] = length_km;
}

} // namespace

BENCHMARK(BM_LoopBlockedBy100kmRoute)->Iterations(3)->Unit(benchmark::kMillisecond);
