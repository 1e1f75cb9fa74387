// The radial menu of the map on the whole program: a long press through the
// X server opens it, and its "navigate to" computes a route from the
// current position to the pressed place, drawn in the route colour.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "navigator_run.h"

extern "C" __attribute__((used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\nleak:libgtk-x11\nleak:libgdk-x11\nleak:libglib\nleak:libgobject\nleak:libpango\n";
}

namespace {

bool is_route(const XrRgb& c) { return std::abs(c.r - 60) < 25 && std::abs(c.g - 130) < 25 && std::abs(c.b - 240) < 25; }

int route_pixels(GdkPixbuf* pb)
{
    int n = 0;
    for (int y = 0; y < 420; y += 2)
        for (int x = 0; x < 800; x += 2)
            n += is_route(xr_pixel(pb, x, y));
    return n;
}

void xdo(const std::string& args) { std::system(("xdotool " + args + " >/dev/null 2>&1").c_str()); }

class RadialNavigateTest : public XrDemoDriveTest {};

TEST_F(RadialNavigateTest, LongPressThenNavigateToComputesAndDrawsARoute)
{
    run.start({"KESTROVA_DRIVE_TRACK=" + track});
    ASSERT_TRUE(run.wait_screen(40, [](GdkPixbuf* pb) { return xr_is_land(xr_pixel(pb, 300, 150)) ||
                                                               xr_is_land(xr_pixel(pb, 600, 300)); }))
        << run.output();
    std::this_thread::sleep_for(std::chrono::seconds(3));
    GdkPixbuf* before = run.screenshot();
    ASSERT_NE(before, nullptr);
    EXPECT_LT(route_pixels(before), 20);
    g_object_unref(before);

    // A press held still for a second and a half opens the menu.
    xdo("mousemove 620 120 mousedown 1");
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    xdo("mouseup 1");
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    // Its first entry: navigate to the place.
    xdo("key --delay 150 Down Return");
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (run.output().find("radial menu: command 1") == std::string::npos &&
           std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_NE(run.output().find("radial menu: command 1"), std::string::npos) << run.output();
    // The route from the car to the place is computed and drawn.
    EXPECT_TRUE(run.wait_screen(30, [](GdkPixbuf* pb) { return route_pixels(pb) > 100; })) << run.output();
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

} // namespace
