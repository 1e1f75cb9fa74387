// The navigator's menu opens the about and route-edit windows, used as a
// person would (menu key, arrows, Return, Escape through the X server): the
// window shows up over the map with its translated title and goes away
// again, leaving the map as it was.
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

// Whether a visible window of that title exists, waiting up to seconds.
bool window_shown(const std::string& title, bool wanted, int seconds = 10)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    do {
        const bool shown =
            std::system(("xdotool search --onlyvisible --name '^" + title + "$' >/dev/null 2>&1").c_str()) == 0;
        if (shown == wanted)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    } while (std::chrono::steady_clock::now() < end);
    return false;
}

class MenuDialogsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(display.ok());
        root.make_dirs("/media/mmc2");
        run.start();
        ASSERT_TRUE(xr_wait_map(run)) << run.output();
        xdo("search --onlyvisible --classname kestrova-navigator windowfocus --sync");
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
    }

    // The menu key, then `top` rows down and into the submenu `sub` rows.
    void choose(int top, int sub)
    {
        xdo("key F4");
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        std::string keys;
        for (int i = 0; i <= top; ++i)
            keys += " Down";
        keys += " Right";
        for (int i = 0; i < sub; ++i)
            keys += " Down";
        xdo("key --delay 80" + keys);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        xdo("key Return");
    }

    XrOwnDisplay display;
    XrSessionBus bus;
    XrTempRoot root;
    XrNavigatorRun run{root};
};

TEST_F(MenuDialogsTest, AboutAndRouteEditOpenFromTheMenuAndClose)
{
    struct Case {
        const char* name;
        int top, sub;
        const char* title;
        const char* before_close; // keys sent to the open window before Escape
    } cases[] = {
        // Return on the focused version button shows the versions note,
        // Escape closes it, a second Escape the window.
        {"about", 6, 0, "About Kestrova Navigator", "Return"},
        {"edit route", 0, 2, "Waypoints", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GdkPixbuf* before = run.screenshot();
        ASSERT_NE(before, nullptr);
        choose(c.top, c.sub);
        ASSERT_TRUE(window_shown(c.title, true)) << run.output();
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        GdkPixbuf* open = run.screenshot();
        ASSERT_NE(open, nullptr);
        EXPECT_GT(xr_differing_pixels(before, open), 2000) << "the window covers part of the map";
        xdo("search --onlyvisible --name '^" + std::string(c.title) + "$' windowfocus --sync");
        if (*c.before_close != 0) {
            xdo(std::string("key ") + c.before_close);
            std::this_thread::sleep_for(std::chrono::milliseconds(800));
            GdkPixbuf* note = run.screenshot();
            EXPECT_GT(xr_differing_pixels(open, note), 200) << "the note shows";
            g_object_unref(note);
            xdo("key Escape");
            std::this_thread::sleep_for(std::chrono::milliseconds(600));
            xdo("search --onlyvisible --name '^" + std::string(c.title) + "$' windowfocus --sync");
        }
        xdo("key Escape");
        EXPECT_TRUE(window_shown(c.title, false)) << run.output();
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
        GdkPixbuf* after = run.screenshot();
        ASSERT_NE(after, nullptr);
        EXPECT_LT(xr_differing_pixels(before, after), 200) << "the map is back as it was";
        EXPECT_EQ(run.output().find("show_about_dlg"), std::string::npos) << run.output();
        EXPECT_EQ(run.output().find("show_waypoints_dlg"), std::string::npos) << run.output();
        g_object_unref(before);
        g_object_unref(open);
        g_object_unref(after);
    }
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

} // namespace
