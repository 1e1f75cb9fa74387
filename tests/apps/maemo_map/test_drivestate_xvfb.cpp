// What the navigator keeps of a drive: killed while it drives a route, it
// resumes the route at its next start (the route state file is written as
// the route changes); ended, it keeps the map view it showed.
#include <gtest/gtest.h>

#include <cmath>

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

class DriveStateTest : public XrDemoDriveTest {};

TEST_F(DriveStateTest, KilledWhileDrivingTheRouteIsBackAtTheNextStart)
{
    run.start({"KESTROVA_DRIVE_TRACK=" + track, "KESTROVA_DRIVE_DESTINATION=30.995,-24.005"});
    ASSERT_TRUE(run.wait_screen(60, [](GdkPixbuf* pb) { return route_pixels(pb) > 80; })) << run.output();
    const std::string state = root.dir() + "/media/mmc2/map/qj.tmp";
    for (int i = 0; i < 50 && !std::filesystem::exists(state); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(std::filesystem::exists(state)) << run.output();
    kill(run.pid, SIGKILL);
    EXPECT_EQ(run.wait_exit(10), -1);

    // No destination this time: the route comes from the saved state.
    run.start({"KESTROVA_DRIVE_TRACK=" + track});
    EXPECT_TRUE(run.wait_screen(60, [](GdkPixbuf* pb) { return route_pixels(pb) > 80; })) << run.output();
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

// The saved view's centre in the map settings ("lat|lon|scale|..."); false
// when there is none.
bool saved_centre(const std::string& settings, double& lat, double& lon)
{
    const size_t at = settings.find("defaultview=");
    if (at == std::string::npos)
        return false;
    const std::string value = settings.substr(at + 12);
    return std::sscanf(value.c_str(), "%lf|%lf", &lat, &lon) == 2;
}

// The saved view mode ("lat|lon|scale|mode|..."): 1 for 3D; -1 when there
// is no saved view.
int saved_view_mode(const std::string& settings)
{
    const size_t at = settings.find("defaultview=");
    double lat = 0, lon = 0;
    int scale = 0, mode = -1;
    if (at == std::string::npos ||
        std::sscanf(settings.c_str() + at + 12, "%lf|%lf|%d|%d", &lat, &lon, &scale, &mode) != 4)
        return -1;
    return mode;
}

void xdo(const std::string& args) { std::system(("xdotool " + args + " >/dev/null 2>&1").c_str()); }

TEST_F(DriveStateTest, EndedWhileDrivingTheViewIsKeptWhereTheCarWas)
{
    run.start({"KESTROVA_DRIVE_TRACK=" + track});
    ASSERT_TRUE(run.wait_screen(40, [](GdkPixbuf* pb) { return xr_is_land(xr_pixel(pb, 300, 150)); }))
        << run.output();
    std::this_thread::sleep_for(std::chrono::seconds(4));
    EXPECT_EQ(run.terminate(), 0) << run.output();

    const std::string settings = XrTempRoot::read_file(root.dir() + "/media/mmc2/map/mapdata/map_settings_v2.txt");
    double lat = 0, lon = 0;
    ASSERT_TRUE(saved_centre(settings, lat, lon)) << settings;
    // The view followed the car: its centre lies by a point of the track.
    double nearest = 1e9;
    std::istringstream in(XrTempRoot::read_file(track));
    for (std::string line; std::getline(in, line);) {
        double t = 0, tlat = 0, tlon = 0;
        if (std::sscanf(line.c_str(), "%lf,%lf,%lf", &t, &tlat, &tlon) == 3)
            nearest = std::min(nearest, std::hypot(tlat - lat, tlon - lon));
    }
    EXPECT_LT(nearest, 0.002) << settings;
}

// The view mode is written when the person switches it, so a kill -9 right
// after keeps it: the next start comes up in 3D (and saves it so at exit).
TEST_F(DriveStateTest, ThreeDSwitchedWhileDrivingSurvivesAKill)
{
    const std::string file = root.dir() + "/media/mmc2/map/mapdata/map_settings_v2.txt";
    run.start({"KESTROVA_DRIVE_TRACK=" + track});
    ASSERT_TRUE(xr_wait_map(run)) << run.output();
    ASSERT_NE(saved_view_mode(XrTempRoot::read_file(file)), 1);

    // Main menu, "View", "3D view", through the X server.
    xdo("search --onlyvisible --classname kestrova-navigator windowfocus --sync");
    xdo("key F4");
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    xdo("key --delay 80 Down Down Right");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    xdo("key Return");
    ASSERT_TRUE(run.wait_said("menu: r_menu_view_3d", 1, 10)) << run.output();
    for (int i = 0; i < 50 && saved_view_mode(XrTempRoot::read_file(file)) != 1; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_EQ(saved_view_mode(XrTempRoot::read_file(file)), 1) << XrTempRoot::read_file(file);
    kill(run.pid, SIGKILL);
    EXPECT_EQ(run.wait_exit(10), -1);

    run.start({"KESTROVA_DRIVE_TRACK=" + track});
    ASSERT_TRUE(xr_wait_map(run)) << run.output();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_EQ(run.terminate(), 0) << run.output();
    EXPECT_EQ(saved_view_mode(XrTempRoot::read_file(file)), 1) << XrTempRoot::read_file(file);
}

} // namespace
