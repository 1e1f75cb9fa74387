// Whole-program run time: kojvm against OpenJDK's interpreter (java -Xint)
// on the same class files; collector pauses (longest and 99th percentile)
// against OpenJDK's serial collector on a heap of the same size.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

void run(benchmark::State& state, const std::string& command)
{
    for (auto _ : state) {
        int rc = std::system((command + " >/dev/null 2>&1").c_str());
        if (rc != 0) {
            state.SkipWithError("program failed");
            return;
        }
    }
}

void kojvm(benchmark::State& state, const char* program)
{
    run(state, std::string(KOJVM_BIN) + " -cp " + KOJVM_BENCH + " " + program);
}

void java_xint(benchmark::State& state, const char* program)
{
    if (access("/usr/bin/java", X_OK) != 0) {
        state.SkipWithError("java not installed");
        return;
    }
    run(state, std::string("java -Xint -cp ") + KOJVM_BENCH + " " + program);
}

// A heap of 4 MiB: the collector works all through the allocation benchmark.
void kojvm_small_heap(benchmark::State& state, const char* program)
{
    run(state, std::string(KOJVM_BIN) + " -Xmx4m -cp " + KOJVM_BENCH + " " + program);
}

std::string output_of(const std::string& command)
{
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return out;
    std::array<char, 4096> buf;
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0)
        out.append(buf.data(), n);
    pclose(p);
    return out;
}

void report_pauses(benchmark::State& state, std::vector<double> pauses_ms)
{
    if (pauses_ms.empty()) {
        state.SkipWithError("no collection");
        return;
    }
    std::sort(pauses_ms.begin(), pauses_ms.end());
    state.counters["collections"] = double(pauses_ms.size());
    state.counters["max_pause_ms"] = pauses_ms.back();
    state.counters["p99_pause_ms"] = pauses_ms[(pauses_ms.size() * 99 + 99) / 100 - 1];
}

// Every collection's pause, from kojvm's own record.
void kojvm_pauses(benchmark::State& state, const char* program)
{
    for (auto _ : state) {
        std::string out = output_of(std::string(KOJVM_BIN) + " -Xmx4m -Xgc:pauses -cp " + KOJVM_BENCH + " " + program +
                                    " 2>&1 >/dev/null");
        unsigned n = 0, max_us = 0, p99_us = 0;
        if (std::sscanf(out.c_str(), "kojvm: %u collections, pause max %u us, p99 %u us", &n, &max_us, &p99_us) != 3) {
            state.SkipWithError("no pause summary");
            return;
        }
        state.counters["collections"] = n;
        state.counters["max_pause_ms"] = max_us / 1000.0;
        state.counters["p99_pause_ms"] = p99_us / 1000.0;
    }
}

// The serial collector's pauses from its log ("... Pause Young ... 1.234ms").
void java_serial_pauses(benchmark::State& state, const char* program)
{
    if (access("/usr/bin/java", X_OK) != 0) {
        state.SkipWithError("java not installed");
        return;
    }
    std::vector<double> pauses;
    for (auto _ : state) {
        pauses.clear();
        std::istringstream log(output_of(std::string("java -Xint -XX:+UseSerialGC -Xmn1m -Xmx4m -Xlog:gc:stdout -cp ") +
                                          KOJVM_BENCH + " " + program));
        for (std::string line; std::getline(log, line);) {
            if (line.find("Pause") == std::string::npos || line.size() < 3 || line.compare(line.size() - 2, 2, "ms"))
                continue;
            std::size_t sp = line.rfind(' ');
            pauses.push_back(std::atof(line.c_str() + sp + 1));
        }
    }
    report_pauses(state, pauses);
}

} // namespace

BENCHMARK_CAPTURE(kojvm, fib, "BenchFib")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(java_xint, fib, "BenchFib")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(kojvm, sieve, "BenchSieve")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(java_xint, sieve, "BenchSieve")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(kojvm, strings, "BenchStrings")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(java_xint, strings, "BenchStrings")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(kojvm, exceptions, "BenchExceptions")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(java_xint, exceptions, "BenchExceptions")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(kojvm, threads, "BenchThreads")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(java_xint, threads, "BenchThreads")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(kojvm, shapes, "BenchShapes")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(java_xint, shapes, "BenchShapes")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(kojvm_small_heap, alloc, "BenchAlloc")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(java_xint, alloc, "BenchAlloc")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(kojvm_pauses, alloc, "BenchAlloc")->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(java_serial_pauses, alloc, "BenchAlloc")->Unit(benchmark::kMillisecond)->Iterations(1);
