// The GPS status window in the running navigator, fed by the gpsd producer
// through a stand-in helper that repeats the sentences of a file once a
// second: opened from the menu through the X server, it draws the sky plot,
// the signal bars and the position rows as the receiver reports them, and
// its check button disconnects and reconnects the receiver. Fed by gpsd
// replaying a receiver log under gpsfake through the real helper, the bars
// and the sky plot follow the log's satellites.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <fstream>

#include "launcher/xr_helper_test_support.h"
#include "navigator_run.h"

extern "C" __attribute__((used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\nleak:libgtk-x11\nleak:libgdk-x11\nleak:libglib\nleak:libgobject\nleak:libpango\n";
}

namespace {

namespace fs = std::filesystem;

void xdo(const std::string& args) { std::system(("xdotool " + args + " >/dev/null 2>&1").c_str()); }

std::string nmea(const std::string& body)
{
    unsigned sum = 0;
    for (char c : body)
        sum ^= static_cast<unsigned char>(c);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X", sum);
    return "$" + body + tail + "\r\n";
}

// One second of a receiver: a fix at lon/lat text, and four satellites:
// 5 (overhead, ratio 45) and 12 (horizon, azimuth 120, ratio 30) used, 20
// (elevation 45, azimuth 210, ratio 20) and 28 (no ratio) not.
std::string receiver_second(const std::string& lon)
{
    return nmea("GPRMC,120000.00,A,3059.7000,N," + lon + ",36.0,90.0,111226,,") +
           nmea("GPGGA,120000.00,3059.7000,N," + lon + ",1,04,1.0,10.0,M,0.0,M,,") +
           nmea("GPGSA,A,3,05,12,,,,,,,,,,,2.0,1.0,1.5") +
           nmea("GPGSV,1,1,04,05,90,000,45,12,00,120,30,20,45,210,20,28,10,300,");
}

bool near(const XrRgb& c, int r, int g, int b, int tolerance = 6)
{
    return std::abs(c.r - r) <= tolerance && std::abs(c.g - g) <= tolerance && std::abs(c.b - b) <= tolerance;
}

bool is_used_green(const XrRgb& c) { return near(c, 60, 255, 60); }
bool is_bar_grey(const XrRgb& c) { return near(c, 192, 192, 192, 2); }
bool is_box_grey(const XrRgb& c) { return near(c, 180, 180, 180, 2); }
bool is_sky(const XrRgb& c) { return near(c, 235, 242, 250, 3); }
bool is_dark(const XrRgb& c) { return c.r < 80 && c.g < 80 && c.b < 80; }

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
};

// The GPS status window's frame on the screen.
Rect window_rect()
{
    Rect r;
    FILE* p = popen("xdotool search --onlyvisible --name '^GPS status$' getwindowgeometry --shell 2>/dev/null", "r");
    if (p == nullptr)
        return r;
    char line[128];
    while (std::fgets(line, sizeof line, p) != nullptr) {
        std::sscanf(line, "X=%d", &r.x);
        std::sscanf(line, "Y=%d", &r.y);
        std::sscanf(line, "WIDTH=%d", &r.w);
        std::sscanf(line, "HEIGHT=%d", &r.h);
    }
    pclose(p);
    return r;
}

// What a screenshot shows of the window's drawing.
struct Reading {
    int sky_cx = -1, sky_cy = -1, sky_r = 0; // the sky disc
    std::vector<int> green_bars, grey_bars;  // bar heights, left to right
    int baseline = -1;
};

// Runs of columns on row y where pred holds, with the height of each run
// (counted upward at its middle column).
std::vector<int> bars_on(GdkPixbuf* pb, const Rect& w, int y, bool (*pred)(const XrRgb&))
{
    std::vector<int> heights;
    for (int x = w.x; x < w.x + w.w; ++x) {
        if (!pred(xr_pixel(pb, x, y)))
            continue;
        int end = x;
        while (end + 1 < w.x + w.w && pred(xr_pixel(pb, end + 1, y)))
            ++end;
        if (end - x >= 6) {
            const int mid = (x + end) / 2;
            int h = 0;
            while (y - h > w.y && pred(xr_pixel(pb, mid, y - h)))
                ++h;
            heights.push_back(h);
        }
        x = end;
    }
    return heights;
}

Reading read_window(GdkPixbuf* pb, const Rect& w)
{
    Reading out;
    int minx = 1 << 20, maxx = -1, miny = 1 << 20, maxy = -1;
    for (int y = w.y; y < w.y + w.h; ++y)
        for (int x = w.x; x < w.x + w.w; ++x)
            if (is_sky(xr_pixel(pb, x, y))) {
                minx = std::min(minx, x);
                maxx = std::max(maxx, x);
                miny = std::min(miny, y);
                maxy = std::max(maxy, y);
            }
    if (maxx >= 0) {
        out.sky_cx = (minx + maxx) / 2;
        out.sky_cy = (miny + maxy) / 2;
        out.sky_r = (maxx - minx) / 2;
    }
    // The bars stand on one line below the sky plot: the lowest row of the
    // drawing with green in it.
    for (int y = w.y + w.h - 70; y > w.y && out.baseline < 0; --y)
        for (int x = w.x; x < w.x + w.w; ++x)
            if (is_used_green(xr_pixel(pb, x, y))) {
                out.baseline = y;
                break;
            }
    if (out.baseline >= 0) {
        out.green_bars = bars_on(pb, w, out.baseline, is_used_green);
        out.grey_bars = bars_on(pb, w, out.baseline, is_bar_grey);
    }
    return out;
}

// Whether a box of the colour lies within 4 pixels of (x, y).
bool box_near(GdkPixbuf* pb, int x, int y, bool (*pred)(const XrRgb&))
{
    for (int dy = -4; dy <= 4; ++dy)
        for (int dx = -4; dx <= 4; ++dx)
            if (pred(xr_pixel(pb, x + dx, y + dy)))
                return true;
    return false;
}

// Dark pixels in a band of rows [y0, y1) and columns [x0, x1).
int dark_in(GdkPixbuf* pb, int x0, int x1, int y0, int y1)
{
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            n += is_dark(xr_pixel(pb, x, y)) ? 1 : 0;
    return n;
}

// Pixels that differ between two screenshots in a band.
int changed_in(GdkPixbuf* a, GdkPixbuf* b, int x0, int x1, int y0, int y1)
{
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const XrRgb p = xr_pixel(a, x, y), q = xr_pixel(b, x, y);
            n += (p.r != q.r || p.g != q.g || p.b != q.b) ? 1 : 0;
        }
    return n;
}

class GpsStatusTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(display.ok());
        root.make_dirs("/media/mmc2");
        install_receiver();
        run.start();
        ASSERT_TRUE(xr_wait_map(run)) << run.output();
        xdo("search --onlyvisible --classname kestrova-navigator windowfocus --sync");
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
    }

    // The helper stand-in repeats the file that feed() writes once a second.
    virtual void install_receiver()
    {
        feed(receiver_second("02400.0480,W"));
        const std::string helper = "/usr/libexec/kestrova-gpsd-helper";
        root.write_file(helper, "#!/bin/sh\n"
                                "while true; do\n"
                                "  cat \"" + root.dir() + "/receiver.nmea\" || exit 0\n"
                                "  sleep 1\n"
                                "done\n");
        fs::permissions(root.dir() + helper, fs::perms::owner_all);
    }

    // What the receiver says from now on (replaced whole).
    void feed(const std::string& text)
    {
        root.write_file("/receiver.nmea.tmp", text);
        fs::rename(root.dir() + "/receiver.nmea.tmp", root.dir() + "/receiver.nmea");
    }

    // Waits until the program has said text count times.
    bool wait_output_for(const std::string& text, int seconds, int count = 1) { return run.wait_said(text, count, seconds); }

    // View > GPS status through the menu key.
    void open_window()
    {
        xdo("key F4");
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        xdo("key --delay 80 Down Down Right Down");
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        xdo("key Return");
    }

    // Waits until a screenshot satisfies pred on the window's drawing.
    template <class Pred>
    bool wait_reading(int seconds, const Rect& w, Pred pred)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        do {
            if (GdkPixbuf* pb = run.screenshot()) {
                const bool ok = pred(pb, read_window(pb, w));
                g_object_unref(pb);
                if (ok)
                    return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        } while (std::chrono::steady_clock::now() < end);
        return false;
    }

    XrOwnDisplay display;
    XrSessionBus bus;
    XrTempRoot root;
    XrNavigatorRun run{root};
};

TEST_F(GpsStatusTest, ShowsTheSatellitesAndTheFixAndFollowsThem)
{
    open_window();
    ASSERT_TRUE(wait_output_for("GPS status window shown", 10)) << run.output();
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    const Rect w = window_rect();
    ASSERT_GT(w.w, 300) << run.output();

    // The bars: the two used satellites green, 45 over 30 (heights 18 and
    // 12 twentieths); the rest grey, satellite 20 at 8 twentieths, the
    // others at the 3 twentieths of an empty place.
    Reading r;
    ASSERT_TRUE(wait_reading(20, w, [&](GdkPixbuf*, const Reading& got) {
        r = got;
        return got.green_bars.size() == 2 && got.sky_r > 0;
    })) << "green bars " << r.green_bars.size() << "\n" << run.output();
    const double full_bar = r.green_bars[0] * 20.0 / 18.0;
    EXPECT_NEAR(r.green_bars[1], full_bar * 12 / 20, 2.5);
    ASSERT_GE(r.grey_bars.size(), 8u);
    EXPECT_NEAR(r.grey_bars[0], full_bar * 8 / 20, 2.5);
    for (size_t i = 1; i < r.grey_bars.size(); ++i)
        EXPECT_NEAR(r.grey_bars[i], full_bar * 3 / 20, 2.5) << "bar " << i;

    // The sky plot: satellite 5 overhead on the centre, 12 on the horizon
    // to the right (azimuth 120), both green; 20 grey above the centre.
    GdkPixbuf* first = run.screenshot();
    ASSERT_NE(first, nullptr);
    const int plot_r = r.sky_r - 10; // the boxes sit just inside the rim
    EXPECT_TRUE(box_near(first, r.sky_cx, r.sky_cy, is_used_green));
    EXPECT_TRUE(box_near(first, r.sky_cx + plot_r, r.sky_cy, is_used_green));
    EXPECT_FALSE(box_near(first, r.sky_cx - plot_r, r.sky_cy, is_used_green));
    const int r45 = static_cast<int>(plot_r * 0.7071);
    EXPECT_TRUE(box_near(first, r.sky_cx, r.sky_cy - r45, is_box_grey));

    // With a fix the position rows stand in the left half: longitude,
    // latitude, heading and speed, 40 pixels apart; no destination row
    // without a route. The area's origin follows from the sky plot, which
    // is centred in the right half (800 x 360 with a margin of 10 while the
    // map window is full-screen, 672 x 290 and 5 otherwise).
    const bool full = w.w >= 800;
    const int W = full ? 800 : 672, H = full ? 360 : 290, m = full ? 10 : 5;
    const int ax = r.sky_cx - (W / 2 + m + (W / 2 - 2 * m) / 2);
    const int ay = r.sky_cy - (m + (H - 2 * m - 180 - 60) / 4 + 90);
    const int x0 = ax + m, x1 = ax + W / 2 - m;
    auto band = [&](int row) { return ay + m + 40 * row; };
    for (int row = 0; row < 4; ++row)
        EXPECT_GT(dark_in(first, x0, x1, band(row), band(row) + 22), 30) << "row " << row;
    EXPECT_EQ(dark_in(first, x0, x1, band(4), band(4) + 20), 0);
    // The compass strip under the rows, its red heading line in the middle.
    int red = 0;
    for (int y = band(4) + 20; y < ay + H; ++y)
        for (int x = (x0 + x1) / 2 - 2; x <= (x0 + x1) / 2 + 2; ++x)
            red += near(xr_pixel(first, x, y), 255, 0, 0, 40) ? 1 : 0;
    EXPECT_GT(red, 20);

    // The fix moves east of Greenwich: the longitude row changes at the
    // next second; heading and speed stay.
    feed(receiver_second("00400.0480,E"));
    GdkPixbuf* moved = nullptr;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        GdkPixbuf* pb = run.screenshot();
        if (pb != nullptr && changed_in(first, pb, x0, x1, band(0), band(0) + 22) > 10) {
            moved = pb;
            break;
        }
        if (pb != nullptr)
            g_object_unref(pb);
    }
    ASSERT_NE(moved, nullptr) << "the longitude row did not follow the fix";
    if (std::getenv("XR_GPS_SHOTS") != nullptr) {
        gdk_pixbuf_save(first, "/tmp/gpsdlg_a.png", "png", nullptr, nullptr);
        gdk_pixbuf_save(moved, "/tmp/gpsdlg_b.png", "png", nullptr, nullptr);
    }
    EXPECT_EQ(changed_in(first, moved, x0, x1, band(2), band(2) + 22), 0) << "heading";
    EXPECT_EQ(changed_in(first, moved, x0, x1, band(3), band(3) + 22), 0) << "speed";
    g_object_unref(moved);
    g_object_unref(first);

    // Escape closes the window; the map is usable again (the window opens
    // a second time).
    xdo("search --onlyvisible --name '^GPS status$' windowfocus --sync");
    xdo("key Escape");
    ASSERT_TRUE(wait_output_for("GPS status window closed", 10)) << run.output();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    xdo("search --onlyvisible --classname kestrova-navigator windowfocus --sync");
    open_window();
    EXPECT_TRUE(wait_output_for("GPS status window shown", 10, 2)) << run.output();
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

// The check button disconnects the receiver at once (the bars give way to
// the no-connection text) and connects it again.
TEST_F(GpsStatusTest, TheCheckButtonDisconnectsAndReconnects)
{
    open_window();
    ASSERT_TRUE(wait_output_for("GPS status window shown", 10)) << run.output();
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    const Rect w = window_rect();
    ASSERT_GT(w.w, 300);
    ASSERT_TRUE(wait_reading(20, w, [](GdkPixbuf*, const Reading& r) { return r.green_bars.size() == 2; }))
        << run.output();
    // The check button is the first of the action area, at its left edge.
    auto click_check = [&] {
        const Rect now = window_rect();
        xdo("mousemove " + std::to_string(now.x + 40) + " " + std::to_string(now.y + now.h - 28) + " click 1");
    };
    click_check();
    EXPECT_TRUE(wait_reading(10, w, [](GdkPixbuf*, const Reading& r) { return r.baseline < 0; }))
        << "the bars are still drawn after disconnecting\n" << run.output();
    click_check();
    EXPECT_TRUE(wait_reading(20, w, [](GdkPixbuf*, const Reading& r) { return r.green_bars.size() == 2; }))
        << "the bars did not come back after connecting\n" << run.output();
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

bool can_connect(int family, const void* addr, socklen_t len)
{
    const int s = socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool ok = connect(s, static_cast<const sockaddr*>(addr), len) == 0;
    close(s);
    return ok;
}

int free_tcp_port()
{
    const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof(addr);
    bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
    getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
    close(s);
    return ntohs(addr.sin_port);
}

bool tcp_open(int port)
{
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    return can_connect(AF_INET, &addr, sizeof(addr));
}

// One second of a receiver at second `s` of the minute: the four satellites
// of receiver_second, or satellite 5 alone.
std::string logged_second(int s, bool four)
{
    char t[16];
    std::snprintf(t, sizeof t, "1200%02d.00", s);
    const std::string time = t;
    return nmea("GPRMC," + time + ",A,3059.7000,N,02400.0480,W,36.0,90.0,111226,,") +
           nmea("GPGGA," + time + ",3059.7000,N,02400.0480,W,1,04,1.0,10.0,M,0.0,M,,") +
           (four ? nmea("GPGSA,A,3,05,12,,,,,,,,,,,2.0,1.0,1.5") +
                       nmea("GPGSV,1,1,04,05,90,000,45,12,00,120,30,20,45,210,20,28,10,300,")
                 : nmea("GPGSA,A,3,05,,,,,,,,,,,,2.0,1.0,1.5") + nmea("GPGSV,1,1,01,05,90,000,45"));
}

// The real helper talks to gpsd, which gpsfake feeds from a receiver log on
// a private port (a private system bus for the helper): six seconds of four
// satellites, six of satellite 5 alone, over and over.
class GpsdStatusTest : public GpsStatusTest {
protected:
    void install_receiver() override
    {
        using namespace xr_test;
        const std::string dir = root.make_dirs("/daemons");
        const std::string socket_path = dir + "/bus";
        std::ofstream(dir + "/bus.conf")
            << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
               " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
               "<busconfig><type>system</type><listen>unix:path="
            << socket_path
            << "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow user=\"*\"/>"
               "<allow own=\"*\"/><allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
               "</policy></busconfig>\n";
        const int log = open((dir + "/daemons.log").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        ASSERT_TRUE(system_bus.start(dies_with_test({"dbus-daemon", "--config-file=" + dir + "/bus.conf", "--nofork",
                                                     "--nopidfile", "--nosyslog"}),
                                     {}, -1, log, log));
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        socket_path.copy(addr.sun_path, sizeof(addr.sun_path) - 1);
        ASSERT_TRUE(wait_for([&] { return can_connect(AF_UNIX, &addr, sizeof(addr)); }));
        setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + socket_path).c_str(), 1);

        std::string text;
        for (int i = 0; i < 12; ++i)
            text += logged_second(i, i < 6);
        std::ofstream(dir + "/receiver.nmea") << text;
        const int port = free_tcp_port();
        static const bool ipc_namespace = Process::run_ok({"unshare", "--ipc", "true"});
        std::vector<std::string> argv;
        if (ipc_namespace)
            argv = {"unshare", "--ipc"};
        for (const char* a : {"gpsfake", "-q", "-P"})
            argv.push_back(a);
        argv.push_back(std::to_string(port));
        argv.push_back("-c");
        argv.push_back("0.25"); // four sentences a second
        argv.push_back(dir + "/receiver.nmea");
        ASSERT_TRUE(gpsfake.start(dies_with_test(argv), {}, -1, log, log, true));
        close(log);
        ASSERT_TRUE(wait_for([&] { return tcp_open(port); }, std::chrono::seconds(20)));
        setenv("KESTROVA_GPSD_PORT", std::to_string(port).c_str(), 1);
        root.make_dirs("/usr/libexec");
        fs::create_symlink(XR_GPSD_HELPER_PROGRAM, root.dir() + "/usr/libexec/kestrova-gpsd-helper");
    }

    void TearDown() override
    {
        unsetenv("KESTROVA_GPSD_PORT");
        unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
        // gpsfake runs gpsd in its own process group.
        if (gpsfake.running())
            ::kill(-gpsfake.pid(), SIGTERM);
        gpsfake.wait(std::chrono::seconds(5));
    }

    xr_test::Process system_bus;
    xr_test::Process gpsfake;
};

// The bars and the sky plot follow the log: satellites 5 and 12 used (two
// green bars, 12 on the horizon to the right), then 5 alone (one green bar,
// nothing at 12's place), then both again.
TEST_F(GpsdStatusTest, BarsAndSkyPlotFollowTheReceiverLog)
{
    open_window();
    ASSERT_TRUE(wait_output_for("GPS status window shown", 10)) << run.output();
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    const Rect w = window_rect();
    ASSERT_GT(w.w, 300) << run.output();
    auto twelve_shown = [](GdkPixbuf* pb, const Reading& r) {
        return box_near(pb, r.sky_cx + r.sky_r - 10, r.sky_cy, is_used_green);
    };
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        Reading both;
        EXPECT_TRUE(wait_reading(30, w, [&](GdkPixbuf* pb, const Reading& r) {
            both = r;
            return r.green_bars.size() == 2 && r.sky_r > 0 && twelve_shown(pb, r) &&
                   box_near(pb, r.sky_cx, r.sky_cy, is_used_green);
        })) << "green bars " << both.green_bars.size() << "\n" << run.output();
        if (both.green_bars.size() == 2) {
            EXPECT_NEAR(both.green_bars[1], both.green_bars[0] * 12.0 / 18.0, 2.5);
        }
        EXPECT_TRUE(wait_reading(30, w, [&](GdkPixbuf* pb, const Reading& r) {
            return r.green_bars.size() == 1 && r.sky_r > 0 && !twelve_shown(pb, r) &&
                   box_near(pb, r.sky_cx, r.sky_cy, is_used_green);
        })) << run.output();
    }
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

} // namespace
