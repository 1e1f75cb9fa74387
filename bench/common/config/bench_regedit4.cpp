// Reading (and saving) a REGEDIT4 file of 5,000 keys with five values each.
#include <benchmark/benchmark.h>

#include <string>

#include "common/config/xr_storageconfiguration.h"
#include "common/storage/xr_storageaccessor.h"

namespace {

constexpr int key_count = 5000;

const std::string& settings_text()
{
    static const std::string text = [] {
        std::string t = "REGEDIT4\n\n[]\nversion=3\n";
        for (int i = 0; i < key_count; ++i) {
            t += "\n[\\maps\\region" + std::to_string(i / 100) + "\\item" + std::to_string(i) + "]\n";
            t += "name=\"Caf\xC3\xA9 Stra\xC3\x9F" "e " + std::to_string(i) + "\"\n";
            t += "path=\\\\media\\\\mmc1\\\\map\\\\file" + std::to_string(i) + ".bin\n";
            t += "size=" + std::to_string(i * 4096) + "\n";
            t += "enabled=1\n";
            t += "note=line one\\nline two\n";
        }
        return t;
    }();
    return text;
}

void BM_Load5000Keys(benchmark::State& state)
{
    const std::string& text = settings_text();
    for (auto _ : state) {
        XrMemoryConfiguration conf(L"");
        auto s = conf.open(reinterpret_cast<const BYTE*>(text.data()), text.size(), false);
        benchmark::DoNotOptimize(s);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
    state.counters["keys"] = key_count;
}
BENCHMARK(BM_Load5000Keys)->Unit(benchmark::kMillisecond);

void BM_Save5000Keys(benchmark::State& state)
{
    const std::string& text = settings_text();
    XrStorageConfiguration conf(new XrByteArrayAccessor(), L"");
    conf.XrMemoryConfiguration::open(reinterpret_cast<const BYTE*>(text.data()), text.size(), false);
    for (auto _ : state) {
        auto s = conf.save();
        benchmark::DoNotOptimize(s);
    }
}
BENCHMARK(BM_Save5000Keys)->Unit(benchmark::kMillisecond);

} // namespace
