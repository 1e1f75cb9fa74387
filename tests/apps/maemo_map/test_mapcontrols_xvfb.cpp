// The on-map controls on the whole program. The grip at the right edge of
// the map opens the quick menu, a tap through the X server chooses a
// button, and what the button does shows on the screen (a window of that
// title, the scroll menu of settings over the map, the route gone); the GPS
// icon beside the guidance opens the GPS status.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "navigator_run.h"

// The font and toolkit libraries keep their caches for the whole process.
extern "C" __attribute__((used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\nleak:libgtk-x11\nleak:libgdk-x11\nleak:libglib\nleak:libgobject\nleak:libpango\n";
}

namespace {

void xdo(const std::string& args) { std::system(("xdotool " + args + " >/dev/null 2>&1").c_str()); }

bool is_route(const XrRgb& c) { return std::abs(c.r - 60) < 25 && std::abs(c.g - 130) < 25 && std::abs(c.b - 240) < 25; }

int route_pixels(GdkPixbuf* pb)
{
    int n = 0;
    for (int y = 0; y < 420; y += 2)
        for (int x = 0; x < 800; x += 2)
            n += is_route(xr_pixel(pb, x, y));
    return n;
}

// Whether a visible window of that title exists, waiting up to seconds.
bool window_shown(const std::string& title, int seconds = 10)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    do {
        if (std::system(("xdotool search --onlyvisible --name '^" + title + "$' >/dev/null 2>&1").c_str()) == 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    } while (std::chrono::steady_clock::now() < end);
    return false;
}

// The middle of the full-screen button cells: plan route, detour, clear
// route (first row), waypoints and settings (second row).
const XrPoint plan_button(146 + 85, 108 + 60), detour_button(336 + 85, 109 + 60),
    clear_button(526 + 85, 102 + 60), waypoints_button(245 + 85, 224 + 60), settings_button(433 + 85, 227 + 60);
// The grip of the side panel, the quick menu's control.
const XrPoint grip(772, 156);

void tap(const XrPoint& p)
{
    xdo("mousemove " + std::to_string(p.x) + " " + std::to_string(p.y) + " click 1");
}

class MapControlsTest : public XrDemoDriveTest {
protected:
    // Starts the drive (towards the destination when given) and waits for
    // the map, and for the route when there is one.
    void start(bool with_route, bool with_position = true)
    {
        std::vector<std::string> env;
        if (with_position)
            env.push_back("KESTROVA_DRIVE_TRACK=" + track);
        if (with_route)
            env.push_back("KESTROVA_DRIVE_DESTINATION=30.995,-24.005");
        run.start(env);
        ASSERT_TRUE(xr_wait_map(run)) << run.output();
        if (with_route) {
            ASSERT_TRUE(run.wait_screen(40, [](GdkPixbuf* pb) { return route_pixels(pb) > 300; })) << run.output();
        }
        xdo("search --onlyvisible --classname kestrova-navigator windowfocus --sync");
        std::this_thread::sleep_for(std::chrono::seconds(4)); // the route preview ends
    }
    // Opens the quick menu by its grip: most of the screen changes.
    void open_quick_menu()
    {
        GdkPixbuf* before = run.screenshot();
        ASSERT_NE(before, nullptr);
        tap(grip);
        const bool shown = run.wait_screen(10, [&](GdkPixbuf* pb) { return xr_differing_pixels(before, pb) > 30000; });
        g_object_unref(before);
        ASSERT_TRUE(shown) << run.output();
        std::this_thread::sleep_for(std::chrono::milliseconds(800)); // slid in
    }
};

TEST_F(MapControlsTest, ButtonsWithoutARouteOpenTheirWindows)
{
    start(false);
    struct Case {
        const char* name;
        XrPoint button;
        const char* chosen; // what the program logs
        const char* opened; // what the program logs as the window opens, or null
        const char* title;  // the window's title, or null
    } cases[] = {
        // With a position the route is planned from it: the destination is asked.
        {"plan route", plan_button, "quick menu: 0", "show_address_dlg type 1", nullptr},
        {"waypoints", waypoints_button, "quick menu: 4", nullptr, "Waypoints"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int said = run.said(c.chosen);
        open_quick_menu();
        tap(c.button);
        EXPECT_TRUE(run.wait_said(c.chosen, said + 1)) << run.output();
        if (c.opened != nullptr) {
            EXPECT_TRUE(run.wait_said(c.opened)) << run.output();
            std::this_thread::sleep_for(std::chrono::seconds(1));
        } else {
            EXPECT_TRUE(window_shown(c.title)) << run.output();
            xdo("search --onlyvisible --name '^" + std::string(c.title) + "$' windowfocus --sync");
        }
        xdo("key Escape");
        std::this_thread::sleep_for(std::chrono::seconds(1));
        ASSERT_TRUE(xr_wait_map(run, 10)) << run.output();
    }
    // Without a route the route buttons are disabled: a tap on one leaves
    // the menu open and chooses nothing.
    open_quick_menu();
    tap(clear_button);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_EQ(run.said("quick menu: 1"), 0);
    xdo("key Escape");
    EXPECT_TRUE(run.wait_said("quick menu: -1")) << run.output();
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

// Without a position the map stands still, so that the screens compare.
TEST_F(MapControlsTest, SettingsButtonOpensTheScrollMenuAndBackClosesIt)
{
    start(false, false);
    GdkPixbuf* flat = run.screenshot();
    ASSERT_NE(flat, nullptr);
    open_quick_menu();
    GdkPixbuf* quick = run.screenshot();
    ASSERT_NE(quick, nullptr);
    tap(settings_button);
    EXPECT_TRUE(run.wait_said("quick menu: 26")) << run.output();
    // The scroll menu replaces the quick menu on the screen.
    EXPECT_TRUE(run.wait_screen(10, [&](GdkPixbuf* pb) { return xr_differing_pixels(quick, pb) > 20000; }))
        << run.output();
    g_object_unref(quick);
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    xdo("key Escape");
    EXPECT_TRUE(run.wait_said("scroll menu: cancelled")) << run.output();
    ASSERT_TRUE(xr_wait_map(run, 10)) << run.output();
    // Cancelled: the map is as it was.
    EXPECT_TRUE(run.wait_screen(10, [&](GdkPixbuf* pb) { return xr_differing_pixels(flat, pb) < 200; }));

    // Confirmed with the display row (the fourth) moved to 3D: the map turns 3D.
    open_quick_menu();
    tap(settings_button);
    EXPECT_TRUE(run.wait_said("quick menu: 26", 2)) << run.output();
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    xdo("key --delay 150 Down Down Down Right");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    xdo("key Return");
    EXPECT_TRUE(run.wait_said("scroll menu: confirmed")) << run.output();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    GdkPixbuf* after = run.screenshot();
    ASSERT_NE(after, nullptr);
    EXPECT_GT(xr_differing_pixels(flat, after), 20000);
    // It stays so: no menu is left open over the map.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_TRUE(run.wait_screen(5, [&](GdkPixbuf* pb) { return xr_differing_pixels(after, pb) < 200; }));
    g_object_unref(after);
    g_object_unref(flat);
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

TEST_F(MapControlsTest, RouteButtonsActOnTheRoute)
{
    start(true);
    // Detour: the route is searched again and stays on the map.
    open_quick_menu();
    tap(detour_button);
    EXPECT_TRUE(run.wait_said("quick menu: 2")) << run.output();
    EXPECT_TRUE(run.wait_screen(30, [](GdkPixbuf* pb) { return route_pixels(pb) > 300; })) << run.output();
    std::this_thread::sleep_for(std::chrono::seconds(3));
    // Clear route: asks first; yes takes the route off the map.
    open_quick_menu();
    tap(clear_button);
    EXPECT_TRUE(run.wait_said("quick menu: 1")) << run.output();
    EXPECT_TRUE(run.wait_said("query r_str_clear_route")) << run.output();
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    xdo("key Return");
    EXPECT_TRUE(run.wait_said("query r_str_clear_route: yes")) << run.output();
    EXPECT_TRUE(run.wait_screen(20, [](GdkPixbuf* pb) { return route_pixels(pb) < 20; })) << run.output();
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

TEST_F(MapControlsTest, GpsIconBesideTheGuidanceOpensTheGpsStatus)
{
    start(true);
    // With a route the icon sits below the map, left of the guidance panel.
    tap(XrPoint(524, 455));
    EXPECT_TRUE(window_shown("GPS status")) << run.output();
    xdo("search --onlyvisible --name '^GPS status$' windowfocus --sync");
    xdo("key Escape");
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

} // namespace
