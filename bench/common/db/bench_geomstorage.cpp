// Rectangle queries on a geometry file of 1,000,000 road polylines while an
// 800 x 480 view pans across it at a city scale (2 map units, metres, per
// pixel: a view of 1600 m x 960 m), with and without the 4 MiB block cache.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>

#include "common/db/xr_heapgeomstorage.h"
#include "common/storage/xr_storageaccessor.h"
#include "tools/mapgen/xrqt_writer.h"

namespace {

constexpr int RECORDS = 1000000;
constexpr int EXTENT = 100000; // a 100 km square
constexpr int VIEW_W = 1600;
constexpr int VIEW_H = 960;

// The file, written once per run.
const std::string& geometry_file()
{
    static std::string path;
    if (!path.empty())
        return path;
    path = "/tmp/bench_geomstorage_" + std::to_string(getpid()) + ".qt";
    std::mt19937 rng(1);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    std::vector<XrGeomRec*> records;
    records.reserve(RECORDS);
    for (int i = 0; i < RECORDS; ++i) {
        XrPolypointGeomRec* r = new XrPolypointGeomRec(false, i, static_cast<unsigned short>(pick(1, 12)));
        XrPoint p(pick(0, EXTENT), pick(0, EXTENT));
        int n = pick(2, 10);
        for (int k = 0; k < n; ++k) {
            r->add_point(p);
            p = XrPoint(std::clamp(p.x + pick(-100, 100), 0, EXTENT), std::clamp(p.y + pick(-100, 100), 0, EXTENT));
        }
        records.push_back(r);
    }
    XrGeomFileOptions options;
    options.name = "pc";
    std::string error;
    if (!write_xrqt(path, records, options, error))
        std::fprintf(stderr, "bench_geomstorage: %s\n", error.c_str());
    for (XrGeomRec* r : records)
        delete r;
    std::atexit([] { std::remove(path.c_str()); });
    return path;
}

void pan(benchmark::State& state, bool with_cache)
{
    XrStoredGeomStorage::XrBlockCache cache(4194304);
    auto* acc = new XrFileStorageAccessor();
    if (!acc->open(XrString(geometry_file().c_str()), true)) {
        state.SkipWithError("cannot open the geometry file");
        delete acc;
        return;
    }
    XrSimpleGeomStorage storage(acc, false, false, with_cache ? &cache : nullptr);
    if (storage.open() != XrStoredGeomStorage::OPENED) {
        state.SkipWithError("cannot read the geometry file");
        return;
    }
    // A drive: 40 pixels (80 m) per frame, turning now and then.
    int x = EXTENT / 2, y = EXTENT / 2, dx = 80, dy = 0, step = 0;
    long long records = 0, queries = 0;
    for (auto _ : state) {
        if (++step % 50 == 0) {
            int t = dx;
            dx = -dy;
            dy = t;
        }
        x = std::clamp(x + dx, 0, EXTENT - VIEW_W);
        y = std::clamp(y + dy, 0, EXTENT - VIEW_H);
        XrRectangle view(x, y, x + VIEW_W, y + VIEW_H);
        std::unique_ptr<XrGeomCursor> c(storage.get_cursor(&view, 0));
        const BYTE* rec = nullptr;
        XrGeomStorage::XrRecordType kind;
        while (c->get_next_record(rec, kind) == XrGeomCursor::OK) {
            int id = 0, px = 0, py = 0;
            short type = 0, aux = 0;
            const BYTE* points = nullptr;
            const BYTE* attributes = nullptr;
            BYTE coding = 0;
            int n = c->get_pp(rec, id, px, py, type, aux, points, coding, attributes);
            for (int i = 1; i < n; ++i)
                c->get_pp_next_pt(coding, px, py, points);
            benchmark::DoNotOptimize(px + py);
            ++records;
        }
        ++queries;
    }
    state.counters["queries/s"] = benchmark::Counter(static_cast<double>(queries), benchmark::Counter::kIsRate);
    state.counters["records/query"] = queries > 0 ? static_cast<double>(records) / queries : 0;
    if (with_cache && cache.get_lookups() > 0)
        state.counters["cache hit %"] = 100.0 * cache.get_hits() / cache.get_lookups();
    state.counters["nodes"] = storage.get_node_count();
}

void BM_PanWithoutCache(benchmark::State& state)
{
    pan(state, false);
}

void BM_PanWithCache(benchmark::State& state)
{
    pan(state, true);
}

} // namespace

BENCHMARK(BM_PanWithoutCache)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PanWithCache)->Unit(benchmark::kMicrosecond);
