// Messages over the map on the whole program: navigating from the current
// position before the GPS has a fix paints the "GPS is not active yet" box
// in the middle of the map for three seconds, then the map comes back.
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

// The shipped message box.
bool is_box(const XrRgb& c) { return c.r == 24 && c.g == 96 && c.b == 160; }

int box_pixels(GdkPixbuf* pb)
{
    int n = 0;
    for (int y = 100; y < 380; y += 2)
        for (int x = 150; x < 650; x += 2)
            n += is_box(xr_pixel(pb, x, y));
    return n;
}

class MapMessageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(display.ok());
        root.make_dirs("/media/mmc2");
    }
    XrOwnDisplay display;
    XrTempRoot root;
    XrNavigatorRun run{root};
};

TEST_F(MapMessageTest, NavigatingWithoutAFixShowsTheMessageOverTheMap)
{
    run.start();
    ASSERT_TRUE(xr_wait_map(run)) << run.output();
    xdo("search --onlyvisible --classname kestrova-navigator windowfocus --sync");
    std::this_thread::sleep_for(std::chrono::seconds(2));
    GdkPixbuf* before = run.screenshot();
    ASSERT_NE(before, nullptr);
    EXPECT_EQ(box_pixels(before), 0);
    g_object_unref(before);
    // A long press on the map, then the radial menu's "navigate here".
    xdo("mousemove 620 120 mousedown 1");
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    xdo("mouseup 1");
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    xdo("key --delay 150 Down Return");
    ASSERT_TRUE(run.wait_said("radial menu: command 1")) << run.output();
    EXPECT_TRUE(run.wait_screen(10, [](GdkPixbuf* pb) { return box_pixels(pb) > 5000; })) << run.output();
    EXPECT_NE(run.output().find("GPS is not active yet"), std::string::npos) << run.output();
    // Held for three seconds, then gone.
    EXPECT_TRUE(run.wait_screen(10, [](GdkPixbuf* pb) { return box_pixels(pb) == 0; })) << run.output();
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

} // namespace
