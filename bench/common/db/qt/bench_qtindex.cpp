// The point index: building 1,000,000 points (without a memory limit and with
// the map layer's 1 MiB budget) and the rate of window queries on the built
// index, read to their end with a 64-byte payload buffer.
#include "common/db/qt/xr_geodata.h"
#include "common/db/qt/xr_geodatabuilder.h"
#include "common/db/qt/xr_geodatasearcher.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr SSRect AREA{0, 0, 9999999, 9999999};
constexpr int POINTS = 1000000;

struct Folder {
    Folder()
    {
        char name[] = "/tmp/bench-qtindex-XXXXXX";
        if (mkdtemp(name) == nullptr)
            std::abort();
        path = name;
    }
    ~Folder() { std::filesystem::remove_all(path); }
    std::string path;
};

Folder& folder()
{
    static Folder f;
    return f;
}

SSGeoDataStatus build(const std::string& index, std::uint32_t limit)
{
    std::mt19937 rng(1);
    std::uniform_int_distribution<std::int32_t> coordinate(AREA.x0, AREA.x1);
    SSGeoDataBuilder* builder = create_geo_data_builder();
    SSGeoDataParams params;
    params.area = AREA;
    params.memory_limit = limit;
    SSGeoDataStatus status = builder->create(index.c_str(), (folder().path + "/").c_str(), params);
    char payload[16] = "object payload";
    for (int i = 0; i < POINTS && status == SSGEO_OK; ++i) {
        SSPoint p;
        p.x = coordinate(rng);
        p.y = coordinate(rng);
        payload[0] = static_cast<char>(i);
        p.data = payload;
        p.length = sizeof(payload);
        status = builder->add_point(&p);
    }
    if (status == SSGEO_OK)
        status = builder->build();
    builder->release();
    return status;
}

void BM_Build(benchmark::State& state)
{
    const std::string index = folder().path + "/build.idx";
    for (auto _ : state) {
        if (build(index, static_cast<std::uint32_t>(state.range(0))) != SSGEO_OK)
            state.SkipWithError("build failed");
    }
    state.SetItemsProcessed(state.iterations() * POINTS);
}
BENCHMARK(BM_Build)->Arg(0)->Arg(0x100000)->Iterations(1)->Unit(benchmark::kMillisecond);

// Windows of 1/side of the area's width.
void BM_Query(benchmark::State& state)
{
    static const std::string index = [] {
        const std::string name = folder().path + "/query.idx";
        if (build(name, 0x100000) != SSGEO_OK)
            std::abort();
        return name;
    }();
    SSGeoDataSearcher* searcher = create_geo_data_searcher();
    if (searcher->open(index.c_str()) != SSGEO_OK) {
        state.SkipWithError("open failed");
        searcher->release();
        return;
    }
    const std::int32_t window = AREA.x1 / static_cast<std::int32_t>(state.range(0));
    std::mt19937 rng(2);
    std::uniform_int_distribution<std::int32_t> corner(AREA.x0, AREA.x1 - window);
    char buffer[64];
    std::int64_t points = 0;
    for (auto _ : state) {
        const std::int32_t x = corner(rng);
        const std::int32_t y = corner(rng);
        SSPointCursor* cursor = searcher->query(SSRect{x, y, x + window, y + window}, nullptr);
        SSPoint p;
        p.data = buffer;
        p.capacity = sizeof(buffer);
        while (cursor->get_next_point(&p) == SSGEO_OK)
            ++points;
        cursor->release();
    }
    searcher->release();
    state.SetItemsProcessed(state.iterations());
    state.counters["points/query"] = benchmark::Counter(static_cast<double>(points) / state.iterations());
}
BENCHMARK(BM_Query)->Arg(100)->Arg(30)->Arg(10)->Unit(benchmark::kMicrosecond);

} // namespace
