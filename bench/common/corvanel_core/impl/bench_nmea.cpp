// NMEA throughput and latency: lines per second through the parser and the
// position producer on a generated 100,000-line receiver log, the same log
// through kestrova-probe nmea and through gpsd's gpsdecode (both as whole
// programs writing JSON to /dev/null), and the time from a line written into
// a pipe to the producer's listener on the event loop.
#include <benchmark/benchmark.h>

#include "common/corvanel_core/impl/nmea_track.h"
#include "common/corvanel_core/impl/xr_nmeapositionproducerimpl.h"
#include "common/os/xr_eventloop.h"
#include "common/os/xr_linewatch.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <glib.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int LINES = 100000;

const std::string& log_text()
{
    static const std::string text = nmea_track::log(LINES);
    return text;
}

const std::string& log_file()
{
    static std::string path;
    if (path.empty()) {
        path = "/tmp/bench_nmea_" + std::to_string(getpid()) + ".nmea";
        std::ofstream(path) << log_text();
        std::atexit([] { unlink(path.c_str()); });
    }
    return path;
}

// The log as wide lines, as the pipe reader hands them over.
const std::vector<std::wstring>& wide_lines()
{
    static std::vector<std::wstring> lines;
    if (lines.empty()) {
        std::wstring line;
        for (char c : log_text()) {
            if (c == '\n') {
                lines.push_back(line);
                line.clear();
            } else {
                line.push_back(static_cast<unsigned char>(c));
            }
        }
    }
    return lines;
}

class Producer : public XrNmeaPositionProducerImpl {
public:
    Producer() : XrNmeaPositionProducerImpl(false, nullptr) {}
    void connect() override {}
    void disconnect() override {}
    void reconnect() override {}
};

class CountingListener : public XrPositionProducerListener {
public:
    void producer_state_changed(XrPositionProducer*) override {}
    void position_updated(XrPositionProducer*, bool*) override { ++fixes; }
    long fixes = 0;
};

void BM_ParserAndProducer(benchmark::State& state)
{
    const auto& lines = wide_lines();
    Producer producer;
    CountingListener listener;
    producer.add_listener(&listener);
    for (auto _ : state) {
        for (const auto& line : lines)
            producer.handle_nmea_line(line.c_str());
    }
    benchmark::DoNotOptimize(listener.fixes);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(lines.size()));
    state.counters["lines"] = static_cast<double>(lines.size());
}
BENCHMARK(BM_ParserAndProducer)->Unit(benchmark::kMillisecond);

// Runs argv with the log on standard input and /dev/null as output.
void run_program(benchmark::State& state, const std::vector<const char*>& argv)
{
    const std::string& path = log_file();
    for (auto _ : state) {
        const pid_t pid = fork();
        if (pid == 0) {
            const int in = open(path.c_str(), O_RDONLY);
            const int out = open("/dev/null", O_WRONLY);
            dup2(in, 0);
            dup2(out, 1);
            dup2(out, 2);
            std::vector<char*> args;
            for (const char* a : argv)
                args.push_back(const_cast<char*>(a));
            args.push_back(nullptr);
            execvp(args[0], args.data());
            _exit(127);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("the program failed");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * LINES);
}

void BM_ProbeNmea(benchmark::State& state)
{
    run_program(state, {XR_PROBE_PROGRAM, "nmea"});
}
BENCHMARK(BM_ProbeNmea)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Gpsdecode(benchmark::State& state)
{
    run_program(state, {"gpsdecode"});
}
BENCHMARK(BM_Gpsdecode)->Unit(benchmark::kMillisecond)->UseRealTime();

// A line written into a pipe, read by the event loop's line watch and handed
// to the producer, until its listener is told.
class PipeFeeder : public XrLineWatchListener {
public:
    explicit PipeFeeder(Producer& p) : producer(p) {}
    void line_received(const TCHAR* line) override { producer.handle_nmea_line(line); }
    Producer& producer;
};

void BM_PipeToListenerLatency(benchmark::State& state)
{
    static XrEventLoop loop;
    int fds[2];
    if (pipe(fds) != 0) {
        state.SkipWithError("pipe");
        return;
    }
    Producer producer;
    CountingListener listener;
    producer.add_listener(&listener);
    PipeFeeder feeder(producer);
    XrLineWatch watch(fds[0], &feeder);
    loop.add_fd_watch(&watch);
    const std::string line = nmea_track::epoch(0).substr(0, nmea_track::epoch(0).find('\n') + 1);
    for (auto _ : state) {
        const long before = listener.fixes;
        if (write(fds[1], line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
            state.SkipWithError("write");
            break;
        }
        while (listener.fixes == before)
            g_main_context_iteration(nullptr, TRUE);
    }
    loop.remove_fd_watch(&watch);
    close(fds[0]);
    close(fds[1]);
}
BENCHMARK(BM_PipeToListenerLatency)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace
