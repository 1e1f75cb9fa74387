// A 200 MB component over loopback from the update server (tools/updatesim):
// a background transfer job fetching it whole, one resuming it from the
// middle (the first half already on disk), and curl fetching the same file
// from the same server, whole and continuing the same half file. Reported per run: the throughput (bytes/s) and the
// growth of the resident set (MB) over the run.
#include "common/bgxfer/updatesim_server.h"
#include "common/bgxfer/xr_bgxfer.h"
#include "common/fsm/xr_fsm.h"
#include "common/os/xr_eventloop.h"
#include "common/os/xr_inet.h"
#include "platform/conic/conic.h"

#include <benchmark/benchmark.h>
#include <glib.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr long long file_size = 200LL * 1000 * 1000;

long resident_kb()
{
    std::ifstream in("/proc/self/statm");
    long pages = 0, resident = 0;
    in >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

struct Setup {
    std::string dir;
    std::unique_ptr<UpdatesimServer> server;
    Setup()
    {
        char templ[] = "/tmp/bench_bgxfer_XXXXXX";
        dir = mkdtemp(templ);
        fs::create_directories(dir + "/content");
        std::ofstream out(dir + "/content/big.bin", std::ios::binary);
        std::mt19937 gen(1);
        std::vector<char> block(1 << 20);
        for (long long done = 0; done < file_size; done += static_cast<long long>(block.size())) {
            for (auto& c : block)
                c = static_cast<char>(gen());
            out.write(block.data(), static_cast<std::streamsize>(std::min<long long>(block.size(), file_size - done)));
        }
        out.close();
        server = std::make_unique<UpdatesimServer>(dir + "/content", dir);
    }
    ~Setup()
    {
        server.reset();
        fs::remove_all(dir);
    }
};

Setup& setup()
{
    static Setup s;
    return s;
}

class Ender : public XrBgxferListener {
public:
    void job_ended(XrBgxferJob* job) override { status = job->get_status(); }
    int status = -1;
};

// One job fetching the file into target; false when it did not complete.
bool run_job(const std::string& target)
{
    XrEventLoop loop;
    XrFsm fsm;
    if (!XrInet::create_inet(&loop))
        return false;
    const std::string jobs = setup().dir + "/jobs";
    fs::remove_all(jobs);
    XrBgxferService* service = XrBgxferService::create(&fsm, &loop, XrString(jobs.c_str()));
    Ender ender;
    service->add_listener(&ender);
    service->init();
    XrBgxferJob* job = service->create_job(0);
    job->add_file(XrString(setup().server->url("/files/big.bin").c_str()), XrString(target.c_str()),
                  static_cast<int>(file_size));
    job->start();
    fsm.run();
    while (ender.status < 0)
        g_main_context_iteration(nullptr, TRUE);
    service->delete_all_jobs();
    service->stop();
    fsm.run();
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    service->destroy();
    XrInet::destroy_inet();
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    return ender.status == XrBgxferJob::Completed && fs::file_size(target) == static_cast<std::uintmax_t>(file_size);
}

void report(benchmark::State& state, long long bytes, long rss_before)
{
    state.SetBytesProcessed(bytes);
    state.counters["rss_growth_MB"] = static_cast<double>(resident_kb() - rss_before) / 1024.0;
}

void BM_BgxferWhole(benchmark::State& state)
{
    const std::string target = setup().dir + "/whole.bin";
    const long rss = resident_kb();
    long long bytes = 0;
    for (auto _ : state) {
        fs::remove(target);
        if (!run_job(target)) {
            state.SkipWithError("transfer failed");
            return;
        }
        bytes += file_size;
    }
    report(state, bytes, rss);
}

void BM_BgxferResumedHalfway(benchmark::State& state)
{
    const std::string target = setup().dir + "/resumed.bin";
    const long rss = resident_kb();
    long long bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fs::copy_file(setup().dir + "/content/big.bin", target, fs::copy_options::overwrite_existing);
        fs::resize_file(target, file_size / 2);
        state.ResumeTiming();
        if (!run_job(target)) {
            state.SkipWithError("transfer failed");
            return;
        }
        bytes += file_size - file_size / 2;
    }
    report(state, bytes, rss);
}

void BM_Curl(benchmark::State& state)
{
    const std::string target = setup().dir + "/curl.bin";
    const std::string command =
        "curl -s -o '" + target + "' '" + setup().server->url("/files/big.bin") + "'";
    long long bytes = 0;
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("curl failed");
            return;
        }
        bytes += file_size;
    }
    state.SetBytesProcessed(bytes);
}

// curl continuing the same half file ("-C -": a Range request from its end).
void BM_CurlResumedHalfway(benchmark::State& state)
{
    const std::string target = setup().dir + "/curl_resumed.bin";
    const std::string command =
        "curl -s -C - -o '" + target + "' '" + setup().server->url("/files/big.bin") + "'";
    long long bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fs::copy_file(setup().dir + "/content/big.bin", target, fs::copy_options::overwrite_existing);
        fs::resize_file(target, file_size / 2);
        state.ResumeTiming();
        if (std::system(command.c_str()) != 0 || fs::file_size(target) != static_cast<std::uintmax_t>(file_size)) {
            state.SkipWithError("curl failed");
            return;
        }
        bytes += file_size - file_size / 2;
    }
    state.SetBytesProcessed(bytes);
}

BENCHMARK(BM_BgxferWhole)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_BgxferResumedHalfway)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_Curl)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_CurlResumedHalfway)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

} // namespace
