// Whole-program run time: kojvm against OpenJDK's interpreter (java -Xint)
// on the same class files.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

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
