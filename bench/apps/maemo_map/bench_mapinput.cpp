// kestrova-navigator on the demo map at its opening (city) scale, input
// sent through the X server with xdotool: from a tap to the redrawn frame
// on the screen, and the frames a second while a finger drags the map in
// 2D and in 3D. The baseline is the input path alone: one xdotool call and
// one read of the screen, with no redraw to wait for. Each xdotool call
// starts a process, which on a loaded machine takes longer than the frame
// it brings: the drags are also measured with the pointer moved through
// XTest from this process (the _XTest variants), which leaves the
// navigator's and the X server's own time per frame.
#include <X11/extensions/XTest.h>
#include <benchmark/benchmark.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "bench/apps/maemo_map/bench_root.h"


namespace {

using xr_bench::build_dir;
using xr_bench::Root;

// The checksum of the map's middle (where taps and drags change it).
std::uint64_t screen_sum()
{
    GdkPixbuf* pb = gdk_pixbuf_get_from_drawable(nullptr, gdk_get_default_root_window(), gdk_colormap_get_system(),
                                                 100, 60, 0, 0, 600, 300);
    if (pb == nullptr)
        return 0;
    const guchar* p = gdk_pixbuf_get_pixels(pb);
    const int stride = gdk_pixbuf_get_rowstride(pb), n = gdk_pixbuf_get_n_channels(pb);
    std::uint64_t sum = 1469598103934665603ull;
    for (int y = 0; y < 300; y += 3) {
        for (int x = 0; x < 600; x += 3) {
            const guchar* q = p + y * stride + x * n;
            sum = (sum ^ (q[0] | q[1] << 8 | q[2] << 16)) * 1099511628211ull;
        }
    }
    g_object_unref(pb);
    return sum;
}

bool land_at(int x, int y)
{
    GdkPixbuf* pb = gdk_pixbuf_get_from_drawable(nullptr, gdk_get_default_root_window(), gdk_colormap_get_system(), x,
                                                 y, 0, 0, 1, 1);
    if (pb == nullptr)
        return false;
    const guchar* p = gdk_pixbuf_get_pixels(pb);
    const bool land = p[0] > 225 && p[1] > 220 && p[2] > 205 && p[0] - p[2] > 4;
    g_object_unref(pb);
    return land;
}

void xdo(const std::string& args) { (void)std::system(("xdotool " + args + " >/dev/null 2>&1").c_str()); }

// The pointer moved to (x, y) through XTest, as a person's finger moves it.
void xtest_move(int x, int y)
{
    Display* display = gdk_x11_get_default_xdisplay();
    XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
    gdk_display_flush(gdk_display_get_default());
}

// Waits until the screen differs from before; false after 5 s.
bool wait_change(std::uint64_t before)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (screen_sum() == before) {
        if (std::chrono::steady_clock::now() > end)
            return false;
    }
    return true;
}

// Waits until the screen has not changed for 300 ms.
void wait_still()
{
    std::uint64_t last = screen_sum();
    auto since = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - since < std::chrono::milliseconds(300)) {
        const std::uint64_t now = screen_sum();
        if (now != last) {
            last = now;
            since = std::chrono::steady_clock::now();
        }
    }
}

// The navigator running on the demo map with its first frame settled.
class Navigator {
public:
    Navigator()
    {
        pid = fork();
        if (pid == 0) {
            setenv("KESTROVA_ROOT", root.dir.c_str(), 1);
            setenv("HOME", "/home/user", 1);
            freopen("/dev/null", "w", stdout);
            freopen("/dev/null", "w", stderr);
            const std::string path = build_dir() + "/apps/maemo_map/kestrova-navigator";
            execl(path.c_str(), path.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!land_at(300, 150) && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ok = land_at(300, 150);
        wait_still();
    }
    ~Navigator()
    {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    bool ok = false;

private:
    Root root;
    pid_t pid = -1;
};

// One round of the input path alone: a pointer move over the map that
// brings no frame, and one read of the screen; seconds.
double input_round(int i)
{
    const auto t0 = std::chrono::steady_clock::now();
    xdo("mousemove " + std::to_string(700 + i % 2) + " 400");
    benchmark::DoNotOptimize(screen_sum());
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void BM_InputRoundTripBaseline(benchmark::State& state)
{
    if (!gtk_init_check(nullptr, nullptr)) {
        state.SkipWithError("no display");
        return;
    }
    Navigator navigator;
    int i = 0;
    for (auto _ : state)
        state.SetIterationTime(input_round(i++));
}
BENCHMARK(BM_InputRoundTripBaseline)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

// What one measurement does around its timed inputs.
struct Measure {
    bool view_3d = false;       // the 3D view switched on through the menu first
    bool finger_down = false;   // the left button held over the map throughout
    bool baseline = false;      // one round of the input path alone before each input
    bool settle = false;        // the screen left to settle between inputs
    std::string (*input)(int i); // xdotool arguments of the i-th input
    // Instead of input: the pointer moved through XTest to the i-th point.
    std::pair<int, int> (*xtest_point)(int i) = nullptr;
};

// Starts the navigator on the demo map and times each input to the frame
// it brings (the iteration time). frames_per_second counts those frames;
// with a baseline, baseline_ms is the input path alone under the same load
// (the machine's load changes while the benchmarks run) and
// over_baseline_ms the input's time above it.
void measure_frames(benchmark::State& state, const Measure& m)
{
    if (!gtk_init_check(nullptr, nullptr)) {
        state.SkipWithError("no display");
        return;
    }
    Navigator navigator;
    if (!navigator.ok) {
        state.SkipWithError("no map on screen");
        return;
    }
    if (m.view_3d) {
        // View, 3D view.
        const std::uint64_t flat = screen_sum();
        xdo("search --onlyvisible --classname kestrova-navigator windowfocus --sync");
        xdo("key F4");
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        xdo("key --delay 80 Down Down Right");
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        xdo("key Return");
        if (!wait_change(flat)) {
            state.SkipWithError("no 3D view");
            return;
        }
        wait_still();
    }
    if (m.finger_down)
        xdo("mousemove 300 200 mousedown 1");
    int i = 0, frames = 0;
    double baseline = 0, seconds = 0;
    for (auto _ : state) {
        if (m.baseline) {
            state.PauseTiming();
            baseline += input_round(i);
            state.ResumeTiming();
        }
        const std::uint64_t before = screen_sum();
        const auto t0 = std::chrono::steady_clock::now();
        if (m.xtest_point != nullptr) {
            const auto [x, y] = m.xtest_point(i++);
            xtest_move(x, y);
        } else {
            xdo(m.input(i++));
        }
        if (!wait_change(before)) {
            state.SkipWithError("no new frame");
            break;
        }
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        state.SetIterationTime(s);
        seconds += s;
        ++frames;
        if (m.settle) {
            state.PauseTiming();
            wait_still();
            // The next zoom step is taken 100 ms after the previous one.
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            state.ResumeTiming();
        }
    }
    if (m.finger_down)
        xdo("mouseup 1");
    if (seconds > 0)
        state.counters["frames_per_second"] = frames / seconds;
    if (m.baseline && i > 0) {
        state.counters["baseline_ms"] = baseline * 1000 / i;
        state.counters["over_baseline_ms"] = (seconds - baseline) * 1000 / i;
    }
}

// Taps on the on-map zoom buttons, in and out by turns (one ladder step
// each), so that each tap brings a new frame. xdotool sleeps its click
// delay (100 ms unless told otherwise) after the last click too, before it
// returns: the delay is 0 so that the time is the navigator's.
std::string zoom_tap(int i)
{
    return i % 2 == 0 ? "mousemove 27 27 click --delay 0 1" : "mousemove 27 392 click --delay 0 1";
}

void BM_TapToRedrawnFrame(benchmark::State& state)
{
    measure_frames(state, {.baseline = true, .settle = true, .input = zoom_tap});
}
BENCHMARK(BM_TapToRedrawnFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

// A finger held down moves 20 pixels at a time, from x 300 to 500 and back.
std::pair<int, int> drag_point(int i)
{
    const int k = (i + 1) % 20; // 1..10 right, then back
    return {300 + 20 * (k <= 10 ? k : 20 - k), 200};
}

std::string drag_step(int i)
{
    const auto [x, y] = drag_point(i);
    return "mousemove " + std::to_string(x) + " " + std::to_string(y);
}

void BM_DragFramesPerSecond2D(benchmark::State& state)
{
    measure_frames(state, {.finger_down = true, .input = drag_step});
}
BENCHMARK(BM_DragFramesPerSecond2D)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(60);

void BM_DragFramesPerSecond3D(benchmark::State& state)
{
    measure_frames(state, {.view_3d = true, .finger_down = true, .input = drag_step});
}
BENCHMARK(BM_DragFramesPerSecond3D)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(60);

void BM_DragFramesPerSecond2D_XTest(benchmark::State& state)
{
    measure_frames(state, {.finger_down = true, .input = nullptr, .xtest_point = drag_point});
}
BENCHMARK(BM_DragFramesPerSecond2D_XTest)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(200);

void BM_DragFramesPerSecond3D_XTest(benchmark::State& state)
{
    measure_frames(state, {.view_3d = true, .finger_down = true, .input = nullptr, .xtest_point = drag_point});
}
BENCHMARK(BM_DragFramesPerSecond3D_XTest)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(200);

} // namespace
