// What the Java add-ons cost the navigator's start: exec to the first map
// frame, and resident memory a second after it, with the sample add-on on
// the card against a card whose add-on folder is empty. The two cards are
// prepared once; the rounds alternate between them so that a busy machine
// disturbs both alike. Medians of the rounds, their differences and ratios
// are the counters.
#include <benchmark/benchmark.h>
#include <gtk/gtk.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/apps/maemo_map/bench_root.h"

namespace fs = std::filesystem;

namespace {

using xr_bench::build_dir;
using xr_bench::Root;

pid_t start(const Root& root)
{
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("KESTROVA_ROOT", root.dir.c_str(), 1);
        setenv("HOME", "/home/user", 1);
        setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
        freopen("/dev/null", "w", stdout);
        freopen("/dev/null", "w", stderr);
        const std::string path = build_dir() + "/apps/maemo_map/kestrova-navigator";
        execl(path.c_str(), path.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

void stop(pid_t pid)
{
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

bool land_on_screen()
{
    GdkPixbuf* pb = gdk_pixbuf_get_from_drawable(nullptr, gdk_get_default_root_window(), gdk_colormap_get_system(),
                                                 300, 150, 0, 0, 1, 1);
    if (pb == nullptr)
        return false;
    const guchar* p = gdk_pixbuf_get_pixels(pb);
    const bool land = p[0] > 225 && p[1] > 220 && p[2] > 205 && p[0] - p[2] > 4;
    g_object_unref(pb);
    return land;
}

void clear_screen()
{
    gdk_window_clear(gdk_get_default_root_window());
    gdk_display_sync(gdk_display_get_default());
}

long rss_kb(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

// CPU time the process's threads have run (ms): steadier than the wall
// clock on a machine busy with other work.
double cpu_ms(pid_t pid)
{
    double sum = 0;
    std::error_code ec;
    for (fs::directory_iterator it("/proc/" + std::to_string(pid) + "/task", ec), end; !ec && it != end;
         it.increment(ec)) {
        std::ifstream in(it->path() / "schedstat");
        long long ns = 0;
        if (in >> ns)
            sum += static_cast<double>(ns) / 1e6;
    }
    return sum;
}

struct Round {
    double ms = -1; // exec to first frame; negative without one in 30 s
    double cpu_ms = 0; // the navigator's CPU time up to that frame
    double rss_mb = 0;
};

Round one_start(const Root& root)
{
    clear_screen();
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = start(root);
    Round r;
    while (!land_on_screen()) {
        if (std::chrono::steady_clock::now() - t0 > std::chrono::seconds(30)) {
            stop(pid);
            return r;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    r.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    r.cpu_ms = cpu_ms(pid);
    // The VM starts right after the first frame and the add-on draws its
    // layer soon after: the memory is read once that is done.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    r.rss_mb = static_cast<double>(rss_kb(pid)) / 1024.0;
    stop(pid);
    return r;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

void BM_AddonStartWithAgainstWithout(benchmark::State& state)
{
    if (!gtk_init_check(nullptr, nullptr)) {
        state.SkipWithError("no display");
        return;
    }
    Root with, without;
    // Start-up keeps an add-on folder it finds: an empty one stays empty.
    fs::create_directories(without.dir + "/media/mmc2/map/extensions/addons");
    for (const Root* r : {&with, &without})
        one_start(*r); // prepares the card
    if (!fs::exists(with.dir + "/media/mmc2/map/extensions/addons/KestrovaSample.jar")) {
        state.SkipWithError("the sample add-on was not installed");
        return;
    }
    std::vector<double> with_ms, without_ms, with_cpu, without_cpu, with_mb, without_mb;
    for (auto _ : state) {
        const bool add_on_first = with_ms.size() % 2 == 0;
        for (int i = 0; i < 2; ++i) {
            const bool add_on = (i == 0) == add_on_first;
            const Round r = one_start(add_on ? with : without);
            if (r.ms < 0) {
                state.SkipWithError("no map on screen");
                return;
            }
            (add_on ? with_ms : without_ms).push_back(r.ms);
            (add_on ? with_cpu : without_cpu).push_back(r.cpu_ms);
            (add_on ? with_mb : without_mb).push_back(r.rss_mb);
        }
        state.SetIterationTime((with_ms.back() + without_ms.back()) / 2000.0);
    }
    const double wm = median(with_ms), nm = median(without_ms), wr = median(with_mb), nr = median(without_mb);
    state.counters["with_ms"] = wm;
    state.counters["without_ms"] = nm;
    state.counters["diff_ms"] = wm - nm;
    state.counters["ratio_ms"] = nm > 0 ? wm / nm : 0;
    const double wc = median(with_cpu), nc = median(without_cpu);
    state.counters["with_cpu_ms"] = wc;
    state.counters["without_cpu_ms"] = nc;
    state.counters["diff_cpu_ms"] = wc - nc;
    state.counters["ratio_cpu"] = nc > 0 ? wc / nc : 0;
    state.counters["with_rss_mb"] = wr;
    state.counters["without_rss_mb"] = nr;
    state.counters["diff_rss_mb"] = wr - nr;
    state.counters["ratio_rss"] = nr > 0 ? wr / nr : 0;
}
BENCHMARK(BM_AddonStartWithAgainstWithout)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(8);

} // namespace
