#include "common/os/xr_eventloop.h"
#include "common/os/xr_linewatch.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

namespace {

class Counter : public XrEventHandler {
public:
    void execute(XrEventloopBase*, void*) override { ++fired; }
    long fired = 0;
};

// One zero-delay timeout armed and fired through the GLib main loop per
// iteration.
void BM_ZeroDelayTimeout(benchmark::State& state)
{
    XrEventLoop loop;
    Counter counter;
    for (auto _ : state) {
        loop.add_timeout(0, 0, &counter, nullptr);
        g_main_context_iteration(nullptr, FALSE);
    }
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    if (counter.fired != static_cast<long>(state.iterations()))
        state.SkipWithError("a timeout was lost");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ZeroDelayTimeout);

// Batches of timeouts armed together, then fired in one main-loop turn.
void BM_ZeroDelayTimeoutBatch(benchmark::State& state)
{
    XrEventLoop loop;
    Counter counter;
    const int batch = static_cast<int>(state.range(0));
    for (auto _ : state) {
        for (int i = 0; i < batch; ++i)
            loop.add_timeout(0, 0, &counter, reinterpret_cast<void*>(static_cast<intptr_t>(i + 1)));
        while (loop.get_timeout_count() > 0)
            g_main_context_iteration(nullptr, FALSE);
    }
    state.SetItemsProcessed(state.iterations() * batch);
}
BENCHMARK(BM_ZeroDelayTimeoutBatch)->Arg(8)->Arg(64);

// 100,000 NMEA lines with CR LF endings, as a receiver sends them.
std::string nmea_text()
{
    std::string text;
    char line[128];
    for (int i = 0; i < 100000; ++i) {
        int s = i % 60;
        switch (i % 4) {
        case 0:
            std::snprintf(line, sizeof(line), "$GPRMC,1200%02d.00,A,6010.%04d,N,02456.%04d,E,%03d.4,%03d.1,100724,,,A*6C\r\n",
                          s, i % 10000, (i * 7) % 10000, i % 120, i % 360);
            break;
        case 1:
            std::snprintf(line, sizeof(line), "$GPGGA,1200%02d.00,6010.%04d,N,02456.%04d,E,1,08,0.9,%03d.2,M,17.8,M,,*4F\r\n",
                          s, i % 10000, (i * 7) % 10000, i % 500);
            break;
        case 2:
            std::snprintf(line, sizeof(line), "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39\r\n");
            break;
        default:
            std::snprintf(line, sizeof(line), "$GPGSV,3,%d,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00*74\r\n",
                          1 + i % 3);
            break;
        }
        text += line;
    }
    return text;
}

class LineCounter : public XrLineWatchListener {
public:
    void line_received(const TCHAR* line) override
    {
        ++lines;
        chars += line[0] != 0;
    }
    long lines = 0;
    long chars = 0;
};

// The line splitter over the text in the 256-byte pieces that the loop reads.
void BM_LineSplitterNmea(benchmark::State& state)
{
    const std::string text = nmea_text();
    const BYTE* data = reinterpret_cast<const BYTE*>(text.data());
    const int size = static_cast<int>(text.size());
    LineCounter counter;
    XrLineWatch watch(-1, &counter);
    for (auto _ : state) {
        for (int pos = 0; pos < size; pos += 256)
            watch.feed(data + pos, size - pos < 256 ? size - pos : 256);
    }
    if (counter.lines != 100000L * static_cast<long>(state.iterations()))
        state.SkipWithError("wrong line count");
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(size));
    state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_LineSplitterNmea)->Unit(benchmark::kMillisecond);

} // namespace
