// Folded comparisons over 100,000 place names (Latin with accents, Cyrillic,
// Greek and Arabic), as the address search runs them.
#include <benchmark/benchmark.h>

#include <cwchar>
#include <random>
#include <string>
#include <vector>

#include "common/container/xr_string.h"
#include "common/misc/xr_unicodeutil.h"

namespace {

constexpr int name_count = 100000;

const std::vector<std::wstring>& names()
{
    static std::vector<std::wstring> list = [] {
        const wchar_t* stems[] = {L"Müller",  L"Hauptstraße", L"Crème",   L"Łódzka",  L"Ålesund", L"St. Peter",
                                  L"Москва",  L"Ελλάδα",      L"السلام", L"Koivu",   L"Järvi",   L"Église",
                                  L"Øster",   L"Kirkko",      L"Пушкина", L"Αθηνών",  L"Rue",     L"Straat"};
        const wchar_t* tails[] = {L"-Straße", L" tie", L"gatan", L" 12", L"weg", L" ulitsa", L"", L" odos"};
        std::mt19937 rng(42);
        std::vector<std::wstring> out;
        out.reserve(name_count);
        for (int i = 0; i < name_count; ++i) {
            std::wstring s = stems[rng() % std::size(stems)];
            s += tails[rng() % std::size(tails)];
            s += std::to_wstring(rng() % 1000);
            out.push_back(s);
        }
        return out;
    }();
    return list;
}

void BM_FoldedCompare(benchmark::State& state)
{
    XrUnicodeUtil util;
    const auto& list = names();
    for (auto _ : state) {
        int equal = 0;
        for (const std::wstring& n : list)
            equal += util.compare(n.c_str(), L"MULLER STRASSE 7") == 0;
        benchmark::DoNotOptimize(equal);
    }
    state.SetItemsProcessed(state.iterations() * name_count);
}
BENCHMARK(BM_FoldedCompare)->Unit(benchmark::kMillisecond);

void BM_FoldedComparePrefix(benchmark::State& state)
{
    XrUnicodeUtil util;
    XrString key(L"Hauptstr");
    util.fold_string(key);
    const auto& list = names();
    for (auto _ : state) {
        int match = 0;
        for (const std::wstring& n : list)
            match += util.compare_prefix(n.c_str(), key.c_str(), key.length()) == 0;
        benchmark::DoNotOptimize(match);
    }
    state.SetItemsProcessed(state.iterations() * name_count);
}
BENCHMARK(BM_FoldedComparePrefix)->Unit(benchmark::kMillisecond);

void BM_FoldString(benchmark::State& state)
{
    XrUnicodeUtil util;
    const auto& list = names();
    for (auto _ : state) {
        for (const std::wstring& n : list) {
            XrString s(n.c_str());
            util.fold_string(s);
            benchmark::DoNotOptimize(s.c_str());
        }
    }
    state.SetItemsProcessed(state.iterations() * name_count);
}
BENCHMARK(BM_FoldString)->Unit(benchmark::kMillisecond);

// Plain wide comparison of the same names, for scale.
void BM_PlainCompare(benchmark::State& state)
{
    const auto& list = names();
    for (auto _ : state) {
        int equal = 0;
        for (const std::wstring& n : list)
            equal += std::wcscmp(n.c_str(), L"MULLER STRASSE 7") == 0;
        benchmark::DoNotOptimize(equal);
    }
    state.SetItemsProcessed(state.iterations() * name_count);
}
BENCHMARK(BM_PlainCompare)->Unit(benchmark::kMillisecond);

} // namespace
