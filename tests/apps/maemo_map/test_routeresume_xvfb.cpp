// A navigator killed while it drives a route resumes the route at its next
// start: the route state file is written as the route changes.
#include <gtest/gtest.h>

#include "navigator_run.h"

namespace {

bool is_route(const XrRgb& c) { return std::abs(c.r - 60) < 25 && std::abs(c.g - 130) < 25 && std::abs(c.b - 240) < 25; }

int route_pixels(GdkPixbuf* pb)
{
    int n = 0;
    for (int y = 40; y < 420; y += 2)
        for (int x = 0; x < 740; x += 2)
            n += is_route(xr_pixel(pb, x, y));
    return n;
}

class RouteResumeTest : public XrDemoDriveTest {};

TEST_F(RouteResumeTest, KilledWhileDrivingTheRouteIsBackAtTheNextStart)
{
    run.start({"KESTROVA_DRIVE_TRACK=" + track, "KESTROVA_DRIVE_DESTINATION=30.995,-24.005"});
    ASSERT_TRUE(run.wait_screen(40, [](GdkPixbuf* pb) { return route_pixels(pb) > 80; })) << run.output();
    const std::string state = root.dir() + "/media/mmc2/map/qj.tmp";
    for (int i = 0; i < 50 && !std::filesystem::exists(state); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(std::filesystem::exists(state)) << run.output();
    kill(run.pid, SIGKILL);
    EXPECT_EQ(run.wait_exit(10), -1);

    // No destination this time: the route comes from the saved state.
    run.start({"KESTROVA_DRIVE_TRACK=" + track});
    EXPECT_TRUE(run.wait_screen(40, [](GdkPixbuf* pb) { return route_pixels(pb) > 80; })) << run.output();
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

} // namespace
