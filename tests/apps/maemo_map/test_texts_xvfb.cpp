// What the navigator says to a person, read back from the X server: window
// titles, notes and banners carry texts, never message keys, in any locale;
// notes appear as windows; the GPS state is on screen without a drive
// track; a drive track that cannot be used ends the start.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "navigator_run.h"

namespace fs = std::filesystem;

namespace {

// Standard output of a shell command.
std::string command_output(const std::string& cmd)
{
    std::string out;
    if (FILE* p = popen((cmd + " 2>/dev/null").c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0)
            out.append(buf, n);
        pclose(p);
    }
    return out;
}

// The quoted value of a property line of xprop ("NAME(TYPE) = "value""), or
// "" when the window lacks it.
std::string property_value(const std::string& xprop, const std::string& name)
{
    const size_t at = xprop.find(name + "(");
    if (at == std::string::npos)
        return "";
    const size_t open = xprop.find('"', at);
    const size_t end = xprop.find('\n', at);
    const size_t close = xprop.rfind('"', end);
    if (open == std::string::npos || close == std::string::npos || close <= open)
        return "";
    return xprop.substr(open + 1, close - open - 1);
}

struct XWindow {
    std::string id, title, role;
};

// The top-level windows of the display: title (UTF-8, line ends as "\n")
// and role.
std::vector<XWindow> top_windows()
{
    std::vector<XWindow> out;
    std::istringstream tree(command_output("xwininfo -root -children"));
    std::string line;
    while (std::getline(tree, line)) {
        const size_t at = line.find_first_not_of(' ');
        if (at == std::string::npos || line.compare(at, 2, "0x") != 0 || at < 2)
            continue;
        XWindow w;
        w.id = line.substr(at, line.find(' ', at) - at);
        const std::string props = command_output("xprop -id " + w.id + " _NET_WM_NAME WM_NAME WM_WINDOW_ROLE");
        w.title = property_value(props, "_NET_WM_NAME");
        if (w.title.empty())
            w.title = property_value(props, "WM_NAME");
        w.role = property_value(props, "WM_WINDOW_ROLE");
        out.push_back(w);
    }
    return out;
}

// The first note on screen within `seconds`; its window, or an empty id.
// Every title seen meanwhile goes into seen.
XWindow wait_note(int seconds, std::set<std::string>& seen)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        for (const XWindow& w : top_windows()) {
            seen.insert(w.title);
            if (w.role == "hildon-note")
                return w;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    return XWindow{};
}

bool window_open(const std::string& id)
{
    for (const XWindow& w : top_windows()) {
        if (w.id == id)
            return true;
    }
    return false;
}

// Answers a note as a person would: Escape on the keyboard, through XTest.
void dismiss(const XWindow& note)
{
    std::system(("xdotool windowfocus " + note.id + " key Escape >/dev/null 2>&1").c_str());
}

// The locale of the test and the programs it starts.
class LocaleEnv {
public:
    explicit LocaleEnv(const char* lang)
    {
        for (const char* name : {"LANG", "LC_ALL", "LC_MESSAGES", "LANGUAGE"}) {
            const char* v = std::getenv(name);
            saved.emplace_back(name, v != nullptr ? std::optional<std::string>(v) : std::nullopt);
            unsetenv(name);
        }
        setenv("LANG", lang, 1);
    }
    ~LocaleEnv()
    {
        for (const auto& [name, value] : saved) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
};

bool shows_land(GdkPixbuf* pb) { return xr_is_land(xr_pixel(pb, 300, 150)); }

// Pixels of the GPS state icon's colours in its corner (top right).
int icon_pixels(GdkPixbuf* pb, bool (*colour)(const XrRgb&))
{
    int n = 0;
    for (int y = 14; y < 48; ++y)
        for (int x = 760; x < 800; ++x)
            n += colour(xr_pixel(pb, x, y));
    return n;
}
bool is_searching_yellow(const XrRgb& c) { return c.r > 220 && c.g > 180 && c.g < 220 && c.b < 60; }
bool is_fix_green(const XrRgb& c) { return c.r < 80 && c.g > 170 && c.b > 30 && c.b < 100; }

// ---- texts

class TextsTest : public ::testing::TestWithParam<const char*> {};

// The drive to a place no road leads to, in a locale without a catalogue of
// its own: the window title, the "no route" note and the probe's search and
// route outputs are texts, not keys.
TEST_P(TextsTest, NoKeyReachesTheScreenOrTheProbe)
{
    LocaleEnv locale(GetParam());
    XrOwnDisplay display;
    ASSERT_TRUE(display.ok());
    XrTempRoot root;
    root.make_dirs("/media/mmc2");
    const std::string track = xr_write_demo_track(root);
    ASSERT_FALSE(track.empty());
    XrNavigatorRun run(root);
    run.start({"KESTROVA_DRIVE_TRACK=" + track, "KESTROVA_DRIVE_DESTINATION=31.5,-23.5"});

    std::set<std::string> seen;
    const XWindow note = wait_note(90, seen);
    ASSERT_FALSE(note.id.empty()) << run.output();
    EXPECT_EQ(note.title, "No route found");
    dismiss(note);
    for (int i = 0; i < 50 && window_open(note.id); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(window_open(note.id)) << "the note was answered";
    for (const XWindow& w : top_windows())
        seen.insert(w.title);

    EXPECT_TRUE(seen.count("Kestrova Navigator")) << "the application's window title";
    for (const std::string& title : seen)
        EXPECT_EQ(title.find("r_str_"), std::string::npos) << title;
    // Logged with its key and text.
    EXPECT_NE(run.output().find("note r_str_msg_no_route_found: No route found"), std::string::npos) << run.output();

    const std::string probe = "ASAN_OPTIONS=detect_leaks=0 " + XrNavigatorRun::binary("tools/probe/kestrova-probe");
    const std::string map = root.dir() + "/usr/share/kestrova/atlantis";
    const std::string streets = command_output(probe + " search " + map + " street A");
    const std::string cities = command_output(probe + " search " + map + " city A");
    const std::string route = command_output(probe + " route " + map + " 30.9919433,-24.0007860 30.9966313,-24.0007860");
    EXPECT_NE(streets.find(" streets\t"), std::string::npos) << streets; // "3 streets" of a street in parts
    EXPECT_FALSE(cities.empty());
    EXPECT_NE(route.find("length_m"), std::string::npos) << route;
    for (const std::string* out : {&streets, &cities, &route})
        EXPECT_EQ(out->find("r_str_"), std::string::npos) << *out;
}

INSTANTIATE_TEST_SUITE_P(Locales, TextsTest, ::testing::Values("C", "xx_YY.UTF-8"));

// ---- notes

// A card with a newly downloaded installer package: the note stands on
// screen before the map, and the map follows once it is answered.
TEST(StartNotesTest, NewerPackageNoteIsAWindowAndStartGoesOnWhenAnswered)
{
    LocaleEnv locale("C");
    XrOwnDisplay display;
    ASSERT_TRUE(display.ok());
    XrTempRoot root;
    root.make_dirs("/media/mmc2");
    root.write_file("/usr/bin/kestrova", "#!/bin/sh\n");
    const std::string program = root.dir() + "/usr/bin/kestrova";
    const time_t week_ago = std::time(nullptr) - 7 * 86400;
    struct utimbuf old_times = {week_ago, week_ago};
    ASSERT_EQ(utime(program.c_str(), &old_times), 0);
    root.write_file("/media/mmc2/kestrova_2.0_armel.deb", "package");
    XrNavigatorRun run(root);
    run.start();

    std::set<std::string> seen;
    const XWindow note = wait_note(60, seen);
    ASSERT_FALSE(note.id.empty()) << run.output();
    EXPECT_EQ(note.title, "A newer version of the application is available.");
    EXPECT_NE(run.output().find("note r_str_newer_package_available: A newer version"), std::string::npos)
        << run.output();
    // The start waits for the answer.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_TRUE(window_open(note.id));
    dismiss(note);
    EXPECT_TRUE(run.wait_screen(60, shows_land)) << run.output();
    EXPECT_EQ(run.terminate(), 0);
}

// No card: the error note is on screen, closes itself and the program ends
// with status 0.
TEST(StartNotesTest, NoCardNoteIsAWindowBeforeTheEnd)
{
    LocaleEnv locale("C");
    XrOwnDisplay display;
    ASSERT_TRUE(display.ok());
    XrTempRoot root;
    XrNavigatorRun run(root);
    run.start();
    std::set<std::string> seen;
    const XWindow note = wait_note(60, seen);
    ASSERT_FALSE(note.id.empty()) << run.output();
    EXPECT_EQ(note.title.rfind("No map card\\n\\nInsert a memory card", 0), 0u) << note.title;
    EXPECT_EQ(run.wait_exit(30), 0) << run.output();
    EXPECT_NE(run.output().find("Failed to start without valid MMC"), std::string::npos);
}

// ---- GPS state

// The NMEA sentence with its checksum.
std::string nmea(const std::string& body)
{
    unsigned sum = 0;
    for (char c : body)
        sum ^= static_cast<unsigned char>(c);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X", sum);
    return "$" + body + tail;
}

// Without a drive track the receiver configured by the settings (the gpsd
// helper by default) is started; the screen shows the searching state until
// the receiver has a fix.
TEST(GpsStateTest, TheConfiguredReceiverStartsAndTheScreenShowsItsState)
{
    XrOwnDisplay display;
    ASSERT_TRUE(display.ok());
    XrTempRoot root;
    root.make_dirs("/media/mmc2");
    // A receiver a test can feed: the helper writes positions without a fix
    // until the file "fix" appears.
    const std::string searching = nmea("GPRMC,120000.00,V,,,,,,,111226,,");
    const std::string fixed = nmea("GPRMC,120000.00,A,3059.7000,N,02400.0480,W,0.0,0.0,111226,,");
    const std::string helper = "/usr/libexec/kestrova-gpsd-helper";
    root.write_file(helper, "#!/bin/sh\n"
                            "touch \"" + root.dir() + "/helper-started\"\n"
                            "while true; do\n"
                            "  if [ -e \"" + root.dir() + "/fix\" ]; then printf '%s\\r\\n' '" + fixed + "';\n"
                            "  else printf '%s\\r\\n' '" + searching + "'; fi || exit 0\n"
                            "  sleep 1\n"
                            "done\n");
    fs::permissions(root.dir() + helper, fs::perms::owner_all);
    XrNavigatorRun run(root);
    run.start();
    ASSERT_TRUE(run.wait_screen(60, shows_land)) << run.output();
    // Searching from the start.
    EXPECT_TRUE(run.wait_screen(20, [](GdkPixbuf* pb) { return icon_pixels(pb, is_searching_yellow) > 100; }))
        << run.output();
    for (int i = 0; i < 300 && !fs::exists(root.dir() + "/helper-started"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(fs::exists(root.dir() + "/helper-started")) << "the gpsd helper was not started\n" << run.output();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_TRUE(run.wait_screen(10, [](GdkPixbuf* pb) { return icon_pixels(pb, is_searching_yellow) > 100; }))
        << "data without a fix is still searching";

    root.write_file("/fix", "");
    EXPECT_TRUE(run.wait_screen(30, [](GdkPixbuf* pb) { return icon_pixels(pb, is_fix_green) > 100; }))
        << run.output();
    EXPECT_EQ(run.terminate(), 0);
}

// The receivers start as the settings say: the first one (gpsd) when none
// is named, the named one alone, and none without automatic connection.
TEST(GpsStateTest, ReceiversStartAsTheSettingsSay)
{
    XrOwnDisplay display;
    ASSERT_TRUE(display.ok());
    std::ifstream shipped(XrTempRoot::stage_dir() + "/usr/share/kestrova/settings.txt");
    std::stringstream text;
    text << shipped.rdbuf();
    const std::string settings = text.str();
    ASSERT_NE(settings.find("provider=\n"), std::string::npos);
    ASSERT_NE(settings.find("autoconnect=1"), std::string::npos);
    struct Case {
        const char* what;
        std::string settings;
        bool gpsd, wifi;
    };
    std::string wifi = settings;
    wifi.replace(wifi.find("provider=\n"), 10, "provider=Wifi\n");
    wifi += "\n[\\wpsapi]\nusername=driver\nrealm=kestrova\n";
    std::string manual = settings;
    manual.replace(manual.find("autoconnect=1"), 13, "autoconnect=0");
    const Case cases[] = {
        {"none named", settings, true, false},
        {"Wi-Fi named", wifi, false, true},
        {"no automatic connection", manual, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        XrTempRoot root;
        root.make_dirs("/media/mmc2");
        root.write_file("/home/user/.kestrova/settings.txt", c.settings);
        for (const char* helper : {"kestrova-gpsd-helper", "kestrova-wpsapi-helper"}) {
            const std::string path = std::string("/usr/libexec/") + helper;
            root.write_file(path, "#!/bin/sh\ntouch \"" + root.dir() + "/" + helper + "-started\"\nsleep 5\n");
            fs::permissions(root.dir() + path, fs::perms::owner_all);
        }
        XrNavigatorRun run(root);
        run.start();
        ASSERT_TRUE(run.wait_screen(60, shows_land)) << run.output();
        // The first connection attempt comes 5 s after the start.
        const std::string gpsd = root.dir() + "/kestrova-gpsd-helper-started";
        const std::string wps = root.dir() + "/kestrova-wpsapi-helper-started";
        for (int i = 0; i < 150 && !fs::exists(gpsd) && !fs::exists(wps); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::this_thread::sleep_for(std::chrono::seconds(1));
        EXPECT_EQ(fs::exists(gpsd), c.gpsd) << run.output();
        EXPECT_EQ(fs::exists(wps), c.wifi) << run.output();
        EXPECT_EQ(run.terminate(), 0);
    }
}

// ---- the drive track

// A KESTROVA_DRIVE_TRACK that cannot be used ends the start with a message
// that names it and status 1.
TEST(DriveTrackTest, AnUnusableTrackEndsTheStart)
{
    XrOwnDisplay display;
    ASSERT_TRUE(display.ok());
    XrTempRoot root;
    root.make_dirs("/media/mmc2");
    root.make_dirs("/a-folder");
    root.write_file("/no-points.csv", "# a track\nseconds,lat,lon\nnot,a,point\n");
    struct Case {
        std::string path, reason;
    };
    const Case cases[] = {
        {root.dir() + "/missing.csv", "No such file or directory"},
        {root.dir() + "/a-folder", "not a file"},
        {root.dir() + "/no-points.csv", "no \"seconds,lat,lon\" line"},
    };
    for (const Case& c : cases) {
        XrNavigatorRun run(root);
        run.start({"KESTROVA_DRIVE_TRACK=" + c.path});
        EXPECT_EQ(run.wait_exit(60), 1) << c.path << "\n" << run.output();
        const std::string out = run.output();
        EXPECT_NE(out.find("KESTROVA_DRIVE_TRACK \"" + c.path + "\" cannot be used"), std::string::npos) << out;
        EXPECT_NE(out.find(c.reason), std::string::npos) << out;
    }
}

} // namespace
