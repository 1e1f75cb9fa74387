// kestrova-navigator on the demo map: from exec to the first map frame on
// the screen (a first start on an empty card, and a start on a card an
// earlier start prepared), and the resident memory after a minute of the
// demo drive. Each benchmark has a temporary root of its own.
#include <benchmark/benchmark.h>
#include <gtk/gtk.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "bench/apps/maemo_map/bench_root.h"

namespace fs = std::filesystem;

namespace {

using xr_bench::build_dir;
using xr_bench::Root;

pid_t start(const Root& root, const std::string& track)
{
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("KESTROVA_ROOT", root.dir.c_str(), 1);
        setenv("HOME", "/home/user", 1);
        setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
        if (!track.empty())
            setenv("KESTROVA_DRIVE_TRACK", track.c_str(), 1);
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

// The map's land colour at a point of the map area.
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
    GdkWindow* root = gdk_get_default_root_window();
    gdk_window_clear(root);
    gdk_display_sync(gdk_display_get_default());
}

// CPU seconds the process's threads have run (a figure that a busy machine
// disturbs less than the wall clock).
double cpu_seconds(pid_t pid)
{
    double sum = 0;
    std::error_code ec;
    for (fs::directory_iterator it("/proc/" + std::to_string(pid) + "/task", ec), end; !ec && it != end;
         it.increment(ec)) {
        std::ifstream in(it->path() / "schedstat");
        long long ns = 0;
        if (in >> ns)
            sum += static_cast<double>(ns) / 1e9;
    }
    return sum;
}

struct Start {
    double seconds = -1; // exec to first frame; negative after 30 s without
    double cpu = 0;      // CPU seconds of the navigator up to that frame
};

// Starts the navigator on root and waits for its first map frame.
Start start_to_first_frame(const Root& root)
{
    clear_screen();
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = start(root, "");
    bool shown = true;
    while (!land_on_screen()) {
        if (std::chrono::steady_clock::now() - t0 > std::chrono::seconds(30)) {
            shown = false;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    Start result;
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    result.cpu = cpu_seconds(pid);
    stop(pid);
    if (!shown)
        result.seconds = -1;
    return result;
}

// Each iteration times one start; a fresh card per start unless prepared.
void time_starts(benchmark::State& state, bool prepared)
{
    if (!gtk_init_check(nullptr, nullptr)) {
        state.SkipWithError("no display");
        return;
    }
    Root prepared_root;
    if (prepared)
        start_to_first_frame(prepared_root); // the start that prepares the card
    double cpu = 0;
    for (auto _ : state) {
        const Start s = prepared ? start_to_first_frame(prepared_root) : start_to_first_frame(Root());
        if (s.seconds < 0) {
            state.SkipWithError("no map on screen");
            break;
        }
        state.SetIterationTime(s.seconds);
        cpu += s.cpu;
    }
    state.counters["cpu_ms"] = benchmark::Counter(cpu * 1000, benchmark::Counter::kAvgIterations);
}

void BM_ExecToFirstMapFrame(benchmark::State& state) { time_starts(state, false); }
BENCHMARK(BM_ExecToFirstMapFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// The same on a card that an earlier start prepared (nothing to copy).
void BM_ExecToFirstMapFramePreparedCard(benchmark::State& state) { time_starts(state, true); }
BENCHMARK(BM_ExecToFirstMapFramePreparedCard)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

long rss_kb(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    }
    return -1;
}

void BM_ResidentMemoryAfterOneMinuteDrive(benchmark::State& state)
{
    if (!gtk_init_check(nullptr, nullptr)) {
        state.SkipWithError("no display");
        return;
    }
    for (auto _ : state) {
        Root root;
        const std::string track = root.dir + "/track.csv";
        const std::string cmd = std::string(XR_SOURCE_DIR) + "/scripts/run-track " + XR_SOURCE_DIR +
                                "/tools/atlantis/atlantis.osm " + track;
        if (std::system(cmd.c_str()) != 0) {
            state.SkipWithError("no track");
            break;
        }
        const pid_t pid = start(root, track);
        std::this_thread::sleep_for(std::chrono::seconds(60));
        state.counters["rss_mb"] = static_cast<double>(rss_kb(pid)) / 1024.0;
        stop(pid);
    }
}
BENCHMARK(BM_ResidentMemoryAfterOneMinuteDrive)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace
