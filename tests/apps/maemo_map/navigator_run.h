// Runs kestrova-navigator under the test's temporary root: the shipped
// files staged by the build are installed, the program started, its output
// collected, the screen read back through kestrova-probe screenshot.
#pragma once

#include <fcntl.h>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/base/xr_singleton.h"
#include "common/ui/fonts/xr_fontrepository_maemo.h"
#include "support/xr_temp_root.h"

// An Xvfb of the test's own (800 x 480), so that tests running side by side
// do not see each other's windows; DISPLAY names it while it lives.
class XrOwnDisplay {
public:
    XrOwnDisplay()
    {
        // Under scripts/with-xvfb the process already has a server of its own.
        if (std::getenv("XR_PRIVATE_DISPLAY") != nullptr && std::getenv("DISPLAY") != nullptr) {
            shared = true;
            return;
        }
        // Xvfb picks a free display itself and writes its number to the
        // pipe: tests starting side by side never share one.
        int fds[2];
        if (pipe(fds) != 0)
            return;
        pid = fork();
        if (pid == 0) {
            ::close(fds[0]);
            const int null = ::open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            const std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "800x480x24", "-nolisten", "tcp",
                   "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        ::close(fds[1]);
        std::string number;
        if (pid > 0) {
            struct pollfd p = {fds[0], POLLIN, 0};
            char c = 0;
            while (poll(&p, 1, 10000) > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n')
                number.push_back(c);
        }
        ::close(fds[0]);
        if (number.empty()) {
            if (pid > 0) {
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
            }
            pid = -1;
            return;
        }
        if (const char* old = std::getenv("DISPLAY"))
            old_display = old;
        setenv("DISPLAY", (":" + number).c_str(), 1);
    }
    ~XrOwnDisplay()
    {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
            if (old_display.empty())
                unsetenv("DISPLAY");
            else
                setenv("DISPLAY", old_display.c_str(), 1);
        }
    }
    bool ok() const { return shared || pid > 0; }

private:
    pid_t pid = -1;
    bool shared = false;
    std::string old_display;
};

// A private session bus for the test process and its children; the
// services it starts (the GConf daemon) keep their files below home.
class XrSessionBus {
public:
    explicit XrSessionBus(const std::string& home = std::string())
    {
        const std::string env = home.empty() ? std::string() : "HOME='" + home + "' ";
        FILE* p = popen((env + "dbus-daemon --session --fork --print-address=1 --print-pid=1").c_str(), "r");
        char line[512];
        if (p != nullptr && std::fgets(line, sizeof line, p) != nullptr) {
            address = line;
            while (!address.empty() && (address.back() == '\n' || address.back() == '\r'))
                address.pop_back();
            if (std::fgets(line, sizeof line, p) != nullptr)
                pid = std::atoi(line);
        }
        if (p != nullptr)
            pclose(p);
        setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    }
    ~XrSessionBus()
    {
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
        if (pid > 0)
            kill(pid, SIGTERM);
    }
    std::string address;
    int pid = 0;
};

class XrNavigatorRun {
public:
    explicit XrNavigatorRun(const XrTempRoot& root) : root(root)
    {
        namespace fs = std::filesystem;
        fs::copy(XrTempRoot::stage_dir() + "/usr/share/kestrova", root.dir() + "/usr/share/kestrova",
                 fs::copy_options::recursive | fs::copy_options::skip_existing);
        // The shipped add-ons, which start-up installs on a card without any.
        std::error_code ec;
        fs::copy(XrTempRoot::stage_dir() + "/usr/share/kestrova-addons", root.dir() + "/usr/share/kestrova-addons",
                 fs::copy_options::recursive | fs::copy_options::skip_existing, ec);
        setenv("HOME", "/home/user", 1);
        log = root.dir() + "/navigator.log";
    }
    ~XrNavigatorRun()
    {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }

    // A program of the build, a file of the source tree.
    static std::string binary(const char* relative) { return std::string(XR_TEST_BINARY_DIR) + "/" + relative; }
    static std::string source(const char* relative) { return std::string(XR_TEST_SOURCE_DIR) + "/" + relative; }

    // Starts the program with extra environment entries ("NAME=value").
    void start(const std::vector<std::string>& env = {})
    {
        pid = fork();
        if (pid == 0) {
            for (const std::string& e : env)
                putenv(strdup(e.c_str()));
            setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
            const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(fd, 1);
            dup2(fd, 2);
            const std::string path = binary("apps/maemo_map/kestrova-navigator");
            execl(path.c_str(), path.c_str(), static_cast<char*>(nullptr));
            std::fprintf(stderr, "cannot start %s: %s\n", path.c_str(), std::strerror(errno));
            _exit(127);
        }
    }

    // The exit status after at most `seconds` (-1 when still running or killed).
    int wait_exit(int seconds)
    {
        for (int i = 0; i < seconds * 10; ++i) {
            int st = 0;
            if (waitpid(pid, &st, WNOHANG) == pid) {
                pid = -1;
                return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return -1;
    }

    int terminate(int seconds = 10)
    {
        kill(pid, SIGTERM);
        return wait_exit(seconds);
    }

    std::string output() const { return XrTempRoot::read_file(log); }

    // How many times the program has said text so far.
    int said(const std::string& text) const
    {
        const std::string out = output();
        int n = 0;
        for (size_t at = out.find(text); at != std::string::npos; at = out.find(text, at + 1))
            ++n;
        return n;
    }

    // Waits until the program has said text at least `count` times, at most
    // `seconds`.
    bool wait_said(const std::string& text, int count = 1, int seconds = 15) const
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (said(text) < count) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return true;
    }

    // The screen now; null when it cannot be read. The caller unrefs it.
    GdkPixbuf* screenshot() const
    {
        const std::string png = root.dir() + "/screen.png";
        const std::string cmd = "ASAN_OPTIONS=detect_leaks=0 " + binary("tools/probe/kestrova-probe") +
                                " screenshot " + png + " >/dev/null 2>&1";
        if (std::system(cmd.c_str()) != 0)
            return nullptr;
        return gdk_pixbuf_new_from_file(png.c_str(), nullptr);
    }

    // Polls the screen until pred(pixbuf) holds, at most `seconds`.
    template <class Pred>
    bool wait_screen(int seconds, Pred pred) const
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (std::chrono::steady_clock::now() < end) {
            if (GdkPixbuf* pb = screenshot()) {
                const bool ok = pred(pb);
                g_object_unref(pb);
                if (ok)
                    return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        return false;
    }

    pid_t pid = -1;

private:
    const XrTempRoot& root;
    std::string log;
};

struct XrRgb {
    int r, g, b;
};

inline XrRgb xr_pixel(GdkPixbuf* pb, int x, int y)
{
    const guchar* p = gdk_pixbuf_get_pixels(pb) + y * gdk_pixbuf_get_rowstride(pb) + x * gdk_pixbuf_get_n_channels(pb);
    return XrRgb{p[0], p[1], p[2]};
}

// The map's land colour (a light beige).
inline bool xr_is_land(const XrRgb& c) { return c.r > 225 && c.g > 220 && c.b > 205 && c.r - c.b > 4; }

// Waits until the map is up: land colour over much of the screen.
inline bool xr_wait_map(const XrNavigatorRun& run, int seconds = 60)
{
    return run.wait_screen(seconds, [](GdkPixbuf* pb) {
        int land = 0;
        for (int y = 40; y < 400; y += 20)
            for (int x = 40; x < 760; x += 20)
                land += xr_is_land(xr_pixel(pb, x, y)) ? 1 : 0;
        return land > 50;
    });
}

// Pixels that differ between two screens in the map area (every second
// pixel of every second row).
inline int xr_differing_pixels(GdkPixbuf* a, GdkPixbuf* b)
{
    int n = 0;
    for (int y = 0; y < 420; y += 2) {
        for (int x = 0; x < 740; x += 2) {
            const XrRgb p = xr_pixel(a, x, y), q = xr_pixel(b, x, y);
            n += p.r != q.r || p.g != q.g || p.b != q.b;
        }
    }
    return n;
}

// The position marker replaced by a red square (easy to find on screen).
inline bool xr_install_red_marker(const XrTempRoot& root)
{
    GdkPixbuf* marker = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, 12, 12);
    gdk_pixbuf_fill(marker, 0xFF0000FF);
    const bool ok = gdk_pixbuf_save(marker, (root.dir() + "/usr/share/kestrova/images/position.png").c_str(), "png",
                                    nullptr, nullptr);
    g_object_unref(marker);
    return ok;
}

// This process on an Xvfb of its own for the rest of its life (GTK stays
// connected to it), with the program's fonts registered for the map's text
// layers; false without a display.
inline bool xr_own_process_display()
{
    static XrOwnDisplay display;
    if (!display.ok() || !gtk_init_check(nullptr, nullptr))
        return false;
    static XrFontRepositoryMaemo fonts;
    static const bool ready = (fonts.initialize(), true);
    (void)ready;
    XrSingleton::set_instance(XrString(L"XrFontRepository"), &fonts);
    return true;
}

// The demo map on the card of the test's root, as start-up leaves it, and
// the shipped files under the root.
inline void xr_install_demo_card(const XrTempRoot& root)
{
    namespace fs = std::filesystem;
    const std::string map = root.dir() + "/media/mmc2/map";
    const std::string shipped = XrTempRoot::stage_dir() + "/usr/share/kestrova";
    fs::create_directories(map + "/kestrova");
    fs::copy(shipped + "/atlantis", map + "/mapdata", fs::copy_options::recursive);
    fs::copy(shipped + "/atlantis/maemo.reg", map + "/kestrova/maemo.reg");
    fs::create_directories(root.dir() + "/usr/share");
    fs::copy(shipped, root.dir() + "/usr/share/kestrova", fs::copy_options::recursive | fs::copy_options::skip_existing);
}

// A card that keeps its add-on folder empty: start-up installs no add-on
// on it (for tests whose pixels the sample add-on's layer would cover).
inline void xr_card_without_addons(const XrTempRoot& root, const char* card = "/media/mmc2")
{
    std::filesystem::create_directories(root.dir() + card + "/map/extensions/addons");
}

// Runs this process's main loop until done() holds or the seconds have
// passed; false on time-out.
template <class F>
bool xr_run_loop_until(F done, int seconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        g_main_context_iteration(nullptr, FALSE);
        g_usleep(1000);
    }
    return true;
}

// Writes the demo drive's track below the root; its path, empty on failure.
inline std::string xr_write_demo_track(const XrTempRoot& root)
{
    const std::string track = root.dir() + "/track.csv";
    const std::string cmd = XrNavigatorRun::source("scripts/run-track") + " " +
                            XrNavigatorRun::source("tools/atlantis/atlantis.osm") + " " + track;
    return std::system(cmd.c_str()) == 0 ? track : std::string();
}

// The navigator on a display of its own with an empty card, the red
// position marker and the demo drive's track (track).
class XrDemoDriveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(display.ok());
        root.make_dirs("/media/mmc2");
        ASSERT_TRUE(xr_install_red_marker(root));
        track = xr_write_demo_track(root);
        ASSERT_FALSE(track.empty());
    }

    XrOwnDisplay display;
    XrTempRoot root;
    XrNavigatorRun run{root};
    std::string track;
};
