// The demo drive with a destination: the route is computed on the main loop
// and drawn in the route colour, and the position marker moves along it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "navigator_run.h"

namespace {

// The inner colour of the active route's roads.
bool is_route(const XrRgb& c) { return std::abs(c.r - 60) < 25 && std::abs(c.g - 130) < 25 && std::abs(c.b - 240) < 25; }

int route_pixels(GdkPixbuf* pb)
{
    int n = 0;
    for (int y = 40; y < 420; ++y)
        for (int x = 0; x < 740; ++x)
            n += is_route(xr_pixel(pb, x, y));
    return n;
}

// The middle of the car's marker; false without one. During guidance the
// route layer draws the car (an arrow filled light green, 192, 255, 0), not
// the overlay's position image.
bool marker_at(GdkPixbuf* pb, int& mx, int& my)
{
    long sx = 0, sy = 0, n = 0;
    // The map part of the route layout (the safety screen's red countdown
    // bars stand right of it).
    for (int y = 40; y < 420; ++y) {
        for (int x = 0; x < 580; ++x) {
            const XrRgb c = xr_pixel(pb, x, y);
            if (c.r > 170 && c.r < 215 && c.g > 235 && c.b < 40) {
                sx += x;
                sy += y;
                ++n;
            }
        }
    }
    if (n < 20)
        return false;
    mx = static_cast<int>(sx / n);
    my = static_cast<int>(sy / n);
    return true;
}

// Route pixels round the marker: the vehicle is on the route.
bool marker_on_route(GdkPixbuf* pb)
{
    int mx = 0, my = 0;
    if (!marker_at(pb, mx, my))
        return false;
    int n = 0;
    for (int y = std::max(0, my - 20); y < std::min(480, my + 20); ++y)
        for (int x = std::max(0, mx - 20); x < std::min(800, mx + 20); ++x)
            n += is_route(xr_pixel(pb, x, y));
    return n >= 10;
}

// The track's point farthest from its start, as "lat,lon".
std::string turning_point(const std::string& track)
{
    std::ifstream in(track);
    double t = 0, lat = 0, lon = 0, lat0 = 0, lon0 = 0, best = -1;
    char c1 = 0, c2 = 0;
    std::string out;
    bool first = true;
    while (in >> t >> c1 >> lat >> c2 >> lon) {
        if (first) {
            lat0 = lat;
            lon0 = lon;
            first = false;
        }
        const double d = std::hypot(lat - lat0, lon - lon0);
        if (d >= best) {
            best = d;
            char text[64];
            std::snprintf(text, sizeof text, "%.7f,%.7f", lat, lon);
            out = text;
        }
    }
    return out;
}

class RouteDriveTest : public XrDemoDriveTest {};

TEST_F(RouteDriveTest, RouteIsDrawnAndTheMarkerFollowsIt)
{
    const std::string destination = turning_point(track);
    ASSERT_FALSE(destination.empty());

    run.start({"KESTROVA_DRIVE_TRACK=" + track, "KESTROVA_DRIVE_DESTINATION=" + destination});
    ASSERT_TRUE(run.wait_screen(40, [](GdkPixbuf* pb) { return route_pixels(pb) > 300 && marker_on_route(pb); }))
        << run.output();
    GdkPixbuf* first = run.screenshot();
    std::this_thread::sleep_for(std::chrono::seconds(6));
    GdkPixbuf* later = run.screenshot();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(later, nullptr);
    EXPECT_GT(route_pixels(later), 300);
    EXPECT_TRUE(marker_on_route(later));
    // Six seconds on: the map under the marker has moved along the route.
    EXPECT_GT(xr_differing_pixels(first, later), 1000);
    g_object_unref(first);
    g_object_unref(later);
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

TEST_F(RouteDriveTest, UnreadableDestinationIsReportedAndTheDriveGoesOn)
{
    run.start({"KESTROVA_DRIVE_TRACK=" + track, "KESTROVA_DRIVE_DESTINATION=31.0,east"});
    // The window is up (any screen can be read), then the drive runs a while.
    ASSERT_TRUE(run.wait_screen(20, [](GdkPixbuf*) { return true; }));
    std::this_thread::sleep_for(std::chrono::seconds(3));
    EXPECT_EQ(run.terminate(), 0) << run.output();
    EXPECT_NE(run.output().find("KESTROVA_DRIVE_DESTINATION \"31.0,east\" is not \"latitude,longitude\""),
              std::string::npos)
        << run.output();
}

} // namespace
