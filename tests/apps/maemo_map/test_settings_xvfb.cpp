// The navigator's settings window used as a person would: opened from the
// menu (menu key, arrows, Return), changed by clicks through the X server
// (xdotool). OK writes what was changed into the settings files (the user
// settings and the map settings on the card; each replaced whole under a new
// name, no temporary file left) and the
// window shows the stored value when it opens again; Back and Escape leave
// both files as they were.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "changed_lines.h"
#include "navigator_run.h"
#include "settings_window.h"

// The font and toolkit libraries keep their caches for the whole process.
extern "C" __attribute__((used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\nleak:libgtk-x11\nleak:libgdk-x11\nleak:libglib\nleak:libgobject\nleak:libpango\n";
}

namespace {

using namespace xr_settings_window;

ino_t inode_of(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// Files of a folder whose names hold neither of the given names.
std::vector<std::string> strays(const std::string& dir, const std::vector<std::string>& known)
{
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        const std::string name = e.path().filename().string();
        for (const std::string& k : known)
            if (name != k && name.find(k) != std::string::npos)
                out.push_back(name);
    }
    return out;
}

class SettingsWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(display.ok());
        root.make_dirs("/media/mmc2");
        run.start(environment());
        ASSERT_TRUE(xr_wait_map(run)) << run.output();
        app_file = root.dir() + "/home/user/.kestrova/settings.txt";
        map_file = root.dir() + "/media/mmc2/map/mapdata/map_settings_v2.txt";
    }

    virtual std::vector<std::string> environment() { return {}; }

    void open_settings() { ASSERT_TRUE(xr_settings_window::open_settings()) << run.output(); }

    // The mean brightness of the units box's text (left part of the combo).
    int units_text_darkness()
    {
        GdkPixbuf* pb = run.screenshot();
        if (pb == nullptr)
            return -1;
        int dark = 0;
        for (int y = units_y - 8; y <= units_y + 8; ++y)
            for (int x = 205; x < 300; ++x) {
                const XrRgb c = xr_pixel(pb, x, y);
                dark += (c.r + c.g + c.b) < 300 ? 1 : 0;
            }
        g_object_unref(pb);
        return dark;
    }

    XrOwnDisplay display;
    XrSessionBus bus;
    XrTempRoot root;
    XrNavigatorRun run{root};
    std::string app_file, map_file;
};

TEST_F(SettingsWindowTest, OkWritesTheChangesAndBackOrEscapeNothing)
{
    ASSERT_TRUE(std::filesystem::exists(app_file)) << run.output();
    ASSERT_TRUE(std::filesystem::exists(map_file)) << run.output();

    struct Case {
        const char* name;
        bool keep;           // OK; else the closing below
        const char* closing; // "back" or "escape" when not kept
    } cases[] = {
        {"back", false, "back"},
        {"escape", false, "escape"},
        {"ok", true, ""},
    };
    int metric_darkness = -1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string app_before = XrTempRoot::read_file(app_file);
        const std::string map_before = XrTempRoot::read_file(map_file);
        const ino_t app_inode = inode_of(app_file);
        const ino_t map_inode = inode_of(map_file);

        open_settings();
        metric_darkness = units_text_darkness();
        // Automatic scaling off, units imperial (the second row of the list).
        click_in_settings(check_x, autozoom_y);
        click_in_settings(combo_x, units_y);
        xdo("key Down");
        pause(200);
        xdo("key Return");
        pause(500);
        EXPECT_NE(units_text_darkness(), metric_darkness) << "the units box shows the new choice";
        if (c.keep)
            click_in_settings(ok_x, buttons_y);
        else if (std::string(c.closing) == "back")
            click_in_settings(back_x, buttons_y);
        else
            xdo("search --onlyvisible --name '^Settings$' windowfocus --sync key Escape");
        ASSERT_TRUE(window_shown("Settings", false)) << run.output();
        pause(500);

        const std::string app_after = XrTempRoot::read_file(app_file);
        const std::string map_after = XrTempRoot::read_file(map_file);
        if (!c.keep) {
            EXPECT_EQ(app_after, app_before);
            EXPECT_EQ(map_after, map_before);
            EXPECT_EQ(inode_of(app_file), app_inode) << "not written";
            EXPECT_EQ(inode_of(map_file), map_inode) << "not written";
            continue;
        }
        EXPECT_EQ(xr_changed_lines(app_before, app_after), std::vector<std::string>{"autozoom=0"}) << app_after;
        // The file's 2 is feet and miles; every other value stays (the file
        // may have held none before: the provider then writes its defaults).
        const std::vector<std::string> map_lines = xr_lines_of(map_after);
        EXPECT_NE(std::find(map_lines.begin(), map_lines.end(), "measurement_system=2"), map_lines.end())
            << map_after;
        for (const std::string& line : xr_lines_of(map_before)) {
            if (line.find('=') != std::string::npos && line.rfind("measurement_system=", 0) != 0) {
                EXPECT_NE(std::find(map_lines.begin(), map_lines.end(), line), map_lines.end()) << line;
            }
        }
        EXPECT_NE(inode_of(app_file), app_inode) << "replaced under a new name";
        EXPECT_NE(inode_of(map_file), map_inode) << "replaced under a new name";
        EXPECT_TRUE(strays(root.dir() + "/home/user/.kestrova", {"settings.txt"}).empty());
        EXPECT_TRUE(strays(root.dir() + "/media/mmc2/map/mapdata", {"map_settings_v2.txt"}).empty());

        // Opened again, the window shows the stored values; Back keeps them.
        open_settings();
        EXPECT_NE(units_text_darkness(), metric_darkness) << "imperial shown";
        click_in_settings(back_x, buttons_y);
        ASSERT_TRUE(window_shown("Settings", false)) << run.output();
        EXPECT_EQ(XrTempRoot::read_file(app_file), app_after);
        EXPECT_EQ(XrTempRoot::read_file(map_file), map_after);
    }
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

// The pixels that differ in a part of the screen (all of it by default).
int differing(GdkPixbuf* a, GdkPixbuf* b, int x0 = 0, int y0 = 0, int x1 = 800, int y1 = 480)
{
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const XrRgb p = xr_pixel(a, x, y), q = xr_pixel(b, x, y);
            n += p.r != q.r || p.g != q.g || p.b != q.b;
        }
    return n;
}

// The car parked at the demo track's start, asked to drive to the demo
// destination: the screen stands still; the speed's unit and the scale bar
// show the unit system.
class SettingsParkedCarTest : public SettingsWindowTest {
protected:
    std::vector<std::string> environment() override
    {
        const std::string track = xr_write_demo_track(root);
        std::string line = XrTempRoot::read_file(track);
        line = line.substr(0, line.find('\n'));
        const std::string parked = root.write_file("/parked.csv", "0," + line.substr(line.find(',') + 1) + "\n");
        return {"KESTROVA_DRIVE_TRACK=" + parked, "KESTROVA_DRIVE_DESTINATION=30.995,-24.005"};
    }

    // The screen once it has stood still for two seconds (null after a minute).
    GdkPixbuf* still_screen()
    {
        GdkPixbuf* last = run.screenshot();
        int still = 0;
        for (int i = 0; i < 60 && last != nullptr && still < 2; ++i) {
            pause(1000);
            GdkPixbuf* now = run.screenshot();
            if (now == nullptr)
                break;
            still = differing(last, now) == 0 ? still + 1 : 0;
            g_object_unref(last);
            last = now;
        }
        return last;
    }
};

TEST_F(SettingsParkedCarTest, UnitsChangeWhatTheMapShowsOnlyWhenKept)
{
    struct Case {
        const char* name;
        bool keep;
    } cases[] = {{"back", false}, {"ok", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GdkPixbuf* before = still_screen();
        ASSERT_NE(before, nullptr);
        open_settings();
        click_in_settings(combo_x, units_y);
        xdo("key Down");
        pause(200);
        xdo("key Return");
        pause(500);
        ASSERT_TRUE(close_settings(c.keep)) << run.output();
        GdkPixbuf* after = still_screen();
        ASSERT_NE(after, nullptr);
        // "km/h" under the speed becomes "mph", the scale bar's "50 m"
        // "200 ft"; the map between them stays as it was.
        const int speed_unit = differing(before, after, 0, 100, 90, 135);
        const int scale_bar = differing(before, after, 170, 375, 270, 418);
        const int map = differing(before, after, 100, 240, 740, 370);
        if (c.keep) {
            EXPECT_GT(speed_unit, 50) << run.output();
            EXPECT_GT(scale_bar, 50) << run.output();
        } else {
            EXPECT_EQ(speed_unit, 0);
            EXPECT_EQ(scale_bar, 0);
        }
        EXPECT_EQ(map, 0);
        g_object_unref(before);
        g_object_unref(after);
    }
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

} // namespace

namespace {

// The developer extras (the card's "kestrova_rd_mode" folder): the last
// menu entry opens the heading filter window.
class DebugSettingsTest : public SettingsWindowTest {
protected:
    std::vector<std::string> environment() override
    {
        root.make_dirs("/media/mmc1/kestrova_rd_mode");
        // The window is the menu's last entry, where an add-on's item would go.
        xr_card_without_addons(root);
        return {};
    }
    // The radio buttons' part of the screen while the window is open.
    GdkPixbuf* open_debug_settings()
    {
        xdo("search --onlyvisible --classname kestrova-navigator windowfocus --sync");
        pause(600);
        xdo("key F4");
        pause(400);
        xdo("key Up");
        pause(200);
        xdo("key Return");
        EXPECT_TRUE(window_shown("Debug Settings", true)) << run.output();
        pause(800);
        return run.screenshot();
    }
    void click_in_debug(int x, int y)
    {
        xdo("search --onlyvisible --name '^Debug Settings$' windowfocus --sync mousemove --window %1 --sync " +
            std::to_string(x) + " " + std::to_string(y) + " click 1");
        pause(500);
    }
};

constexpr int average_x = 286, average_y = 90;
constexpr int debug_cancel_x = 450, debug_ok_x = 547, debug_buttons_y = 162;
const char* const averaging = "heading filter 1.54 m/s, 3 samples, average, uncertainty 0.75";

TEST_F(DebugSettingsTest, OkStoresTheFilterChoiceAndCancelNothing)
{
    // Cancel: the filter stays as it was.
    GdkPixbuf* first = open_debug_settings();
    ASSERT_NE(first, nullptr);
    click_in_debug(average_x, average_y);
    click_in_debug(debug_cancel_x, debug_buttons_y);
    ASSERT_TRUE(window_shown("Debug Settings", false)) << run.output();
    EXPECT_EQ(run.output().find("heading filter"), std::string::npos) << run.output();

    // Average with OK is stored.
    GdkPixbuf* second = open_debug_settings();
    ASSERT_NE(second, nullptr);
    click_in_debug(average_x, average_y);
    click_in_debug(debug_ok_x, debug_buttons_y);
    ASSERT_TRUE(window_shown("Debug Settings", false)) << run.output();
    EXPECT_NE(run.output().find(averaging), std::string::npos) << run.output();

    // And shown when the window opens next (the radio buttons differ from
    // the opening before, which showed median).
    GdkPixbuf* third = open_debug_settings();
    ASSERT_NE(third, nullptr);
    EXPECT_GT(differing(second, third, 300, 228, 460, 246), 20);
    click_in_debug(debug_cancel_x, debug_buttons_y);
    ASSERT_TRUE(window_shown("Debug Settings", false)) << run.output();
    g_object_unref(first);
    g_object_unref(second);
    g_object_unref(third);
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

} // namespace
