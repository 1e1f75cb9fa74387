// The guidance panels of the whole program on the demo map: the signpost
// panel before the motorway exit to Atlantis (its "destination" sign), and
// the safety screen beside the map while a route is driven.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "navigator_run.h"

namespace {

// Metres from the demo map's origin (31 N, 24 W) as "lat,lon".
std::string lat_lon(double x, double y)
{
    const double m_per_deg = 111320.0;
    char text[64];
    std::snprintf(text, sizeof text, "%.7f,%.7f", 31.0 + y / m_per_deg,
                  -24.0 + x / (m_per_deg * std::cos(31.0 * M_PI / 180.0)));
    return text;
}

// The box colour of the guidance panel.
bool is_panel(const XrRgb& c) { return c.r == 0 && c.g == 64 && c.b == 32; }

// The lower band of the guidance panel, which only a signpost makes tall
// enough to reach: panel-coloured pixels of three rows under the street box.
int signpost_band(GdkPixbuf* pb)
{
    int n = 0;
    for (int y : {62, 66, 70})
        for (int x = 150; x < 560; ++x)
            n += is_panel(xr_pixel(pb, x, y));
    return n;
}
constexpr int kBand = 3 * 410;

// Pixels of the map part of the route layout (left of the safety screen)
// that pass the test.
template <class Pred>
int map_pixels(GdkPixbuf* pb, Pred pred)
{
    int n = 0;
    for (int y = 100; y < 420; ++y)
        for (int x = 0; x < 580; ++x)
            n += pred(xr_pixel(pb, x, y));
    return n;
}
bool is_red_marker(const XrRgb& c) { return c.r > 200 && c.g < 60 && c.b < 60; }
bool is_vehicle_arrow(const XrRgb& c) { return c.r == 192 && c.g == 255 && c.b == 0; }

// The guidance panel is up (its top row).
bool guidance_shown(GdkPixbuf* pb) { return is_panel(xr_pixel(pb, 300, 20)) && is_panel(xr_pixel(pb, 500, 20)); }

// Red pixels of the safety screen's countdown bars (bright or dark red),
// in their box beside the map of the route layout.
int countdown_bar_pixels(GdkPixbuf* pb)
{
    int n = 0;
    for (int y = 102; y < 188; ++y) {
        for (int x = 709; x < 741; ++x) {
            const XrRgb c = xr_pixel(pb, x, y);
            n += c.r >= 90 && c.g < 30 && c.b < 30;
        }
    }
    return n;
}

class GuidancePanelsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(display.ok());
        root.make_dirs("/media/mmc2");
        ASSERT_TRUE(xr_install_red_marker(root));
        // On the motorway's westbound carriageway, 480 m before the exit to
        // Atlantis, driving west; the destination is the ring road's south
        // point at the end of the exit's slip road.
        track = root.dir() + "/motorway.csv";
        std::ofstream out(track);
        double t = 0;
        for (double x : {680.0, 660.0, 640.0, 620.0}) {
            out << t << "," << lat_lon(x, -1330.0) << "\n";
            t += 1.7;
        }
        destination = lat_lon(0.0, -900.0);
    }

    void start_drive() { run.start({"KESTROVA_DRIVE_TRACK=" + track, "KESTROVA_DRIVE_DESTINATION=" + destination}); }

    XrOwnDisplay display;
    XrTempRoot root;
    XrNavigatorRun run{root};
    std::string track;
    std::string destination;
};

TEST_F(GuidancePanelsTest, SignpostPanelBeforeTheExitAndSafetyScreenWhileGuided)
{
    start_drive();
    // Before the exit the panel grows with the exit's sign.
    ASSERT_TRUE(run.wait_screen(60, [](GdkPixbuf* pb) { return signpost_band(pb) > kBand * 8 / 10; }))
        << run.output();
    // The safety screen stands beside the map while the route is driven.
    GdkPixbuf* guided = run.screenshot();
    ASSERT_NE(guided, nullptr);
    EXPECT_GT(countdown_bar_pixels(guided), 600);
    // The route layer shows the vehicle; the overlay's marker gives way.
    EXPECT_GT(map_pixels(guided, is_vehicle_arrow), 100);
    EXPECT_LT(map_pixels(guided, is_red_marker), 20);
    g_object_unref(guided);
    // Past the exit, on the slip road, the sign is gone again.
    EXPECT_TRUE(run.wait_screen(60, [](GdkPixbuf* pb) { return guidance_shown(pb) && signpost_band(pb) < kBand / 10; }))
        << run.output();
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

TEST_F(GuidancePanelsTest, WithoutTheSignpostFileThePanelStaysLow)
{
    std::filesystem::remove(root.dir() + "/usr/share/kestrova/atlantis/signs.bin");
    start_drive();
    ASSERT_TRUE(run.wait_screen(60, guidance_shown)) << run.output();
    // The same approach to the exit: the panel never reaches the band.
    int highest = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < end) {
        if (GdkPixbuf* pb = run.screenshot()) {
            if (guidance_shown(pb))
                highest = std::max(highest, signpost_band(pb));
            g_object_unref(pb);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    EXPECT_LT(highest, kBand / 10);
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

TEST_F(GuidancePanelsTest, NoSafetyScreenWithoutARoute)
{
    // The drive without a destination: the map follows, no route is shown.
    run.start({"KESTROVA_DRIVE_TRACK=" + track});
    ASSERT_TRUE(run.wait_screen(30, [](GdkPixbuf*) { return true; })) << run.output();
    std::this_thread::sleep_for(std::chrono::seconds(6));
    GdkPixbuf* pb = run.screenshot();
    ASSERT_NE(pb, nullptr);
    EXPECT_LT(countdown_bar_pixels(pb), 10);
    EXPECT_FALSE(guidance_shown(pb));
    // Without a route the overlay draws the position marker.
    EXPECT_GT(map_pixels(pb, is_red_marker), 50);
    g_object_unref(pb);
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

} // namespace
