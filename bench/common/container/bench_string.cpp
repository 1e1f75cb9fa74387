// Building a 10,000-character string by appends.
#include <benchmark/benchmark.h>

#include "common/container/xr_string.h"

namespace {

constexpr int kLength = 10000;

void BM_AppendChar(benchmark::State& state)
{
    for (auto _ : state) {
        XrString s;
        for (int i = 0; i < kLength; ++i)
            s += static_cast<TCHAR>(L'a' + i % 26);
        benchmark::DoNotOptimize(s.c_str());
    }
    state.SetItemsProcessed(state.iterations() * kLength);
}
BENCHMARK(BM_AppendChar);

// The same after one reserve of the whole length.
void BM_AppendCharReserved(benchmark::State& state)
{
    for (auto _ : state) {
        XrString s;
        s.reserve(kLength);
        for (int i = 0; i < kLength; ++i)
            s += static_cast<TCHAR>(L'a' + i % 26);
        benchmark::DoNotOptimize(s.c_str());
    }
    state.SetItemsProcessed(state.iterations() * kLength);
}
BENCHMARK(BM_AppendCharReserved);

void BM_AppendShortText(benchmark::State& state)
{
    struct Word {
        const TCHAR* text;
        int length;
    };
    static const Word words[] = {{L"Main ", 5}, {L"Street ", 7}, {L"12, ", 4}, {L"Helsinki ", 9}};
    for (auto _ : state) {
        XrString s;
        int length = 0;
        for (int i = 0; length < kLength; ++i) {
            const Word& w = words[i % 4];
            s.append(w.text, length + w.length > kLength ? kLength - length : w.length);
            length += w.length;
        }
        benchmark::DoNotOptimize(s.c_str());
    }
    state.SetItemsProcessed(state.iterations() * kLength);
}
BENCHMARK(BM_AppendShortText);

} // namespace
