// Decoding a country's traffic data file of 10,000 events: the index
// parsed and every record decoded at once (the load-all pass of an update),
// beside the baseline of reading the same bytes once (a checksum over them).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "apps/services/xr_trafficinfo.h"
#include "apps/services/xr_trafficpenalty.h"
#include "tools/mapgen/trafficdata_writer.h"

namespace {

const std::vector<BYTE>& country_file()
{
    static const std::vector<BYTE> bytes = [] {
        XrTrafficFileDef f;
        f.header_value = 1;
        f.country = "ATL";
        f.penalty = XrTrafficPenaltyDef{50, 80, 150, {{1, 50, 3}, {2, 0, 0}}, {{0x1F, 7, 9, 150}}};
        for (std::uint32_t id = 1; id <= 10000; ++id) {
            XrTrafficRecordDef r;
            r.event_id = id;
            r.flags = xr_trafficdata_layout::FLAG_TMC;
            r.start = 1000;
            r.end = 2000000000;
            r.name = "Stationary traffic";
            r.items = {{1, 101, 0, "", 0}, {2, 202, 1, "Q05", 12.5}};
            r.tmc_table = 0x0A05;
            r.tmc_codes = {static_cast<std::uint16_t>(id), static_cast<std::uint16_t>(id + 1),
                           static_cast<std::uint16_t>(id + 2)};
            r.tmc_point = std::make_pair(2400000u + id, 3100000u + id);
            f.records.push_back(r);
        }
        return build_traffic_file(f);
    }();
    return bytes;
}

void BM_ReadBytesBaseline(benchmark::State& state)
{
    const std::vector<BYTE>& bytes = country_file();
    for (auto _ : state) {
        std::uint32_t sum = 0;
        for (BYTE b : bytes)
            sum = sum * 31 + b;
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_ReadBytesBaseline)->Unit(benchmark::kMillisecond);

void BM_DecodeCountryFile10000(benchmark::State& state)
{
    const std::vector<BYTE>& bytes = country_file();
    for (auto _ : state) {
        XrTrafficPenalty penalty;
        XrTrafficInfoData data;
        const bool ok = data.parse(bytes.data(), bytes.size(), &penalty, true);
        if (!ok || data.cache_size() != 10000)
            state.SkipWithError("the file did not decode");
        benchmark::DoNotOptimize(data);
    }
}
BENCHMARK(BM_DecodeCountryFile10000)->Unit(benchmark::kMillisecond);

} // namespace
