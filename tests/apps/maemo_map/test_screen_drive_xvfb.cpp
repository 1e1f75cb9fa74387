// What the driver sees during guidance, through the whole program: the demo
// drive starts on the ring road just south of where the map's water ends
// and heads north past it. Every screen shows the car (the route layer's
// arrow, not the overlay's position marker) where the view put it, the
// strips right of and below the map black, the status line clear of the
// top-right button and the speed below the instruction box.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>

#include "navigator_run.h"

namespace {

// The arrow's light fill (192, 255, 0).
bool is_arrow(const XrRgb& c) { return c.r > 170 && c.r < 215 && c.g > 235 && c.b < 40; }
// The position image installed by the test (magenta).
bool is_overlay_marker(const XrRgb& c) { return c.r > 230 && c.g < 30 && c.b > 230; }
// The status line's fill (0, 64, 32).
bool is_status(const XrRgb& c) { return c.r < 15 && std::abs(c.g - 64) < 15 && std::abs(c.b - 32) < 15; }
bool is_black(const XrRgb& c) { return c.r == 0 && c.g == 0 && c.b == 0; }
// Dark text (the speed's digits; the map's labels).
bool is_dark(const XrRgb& c) { return c.r < 60 && c.g < 60 && c.b < 60; }

// The bottom row of the instruction box at the top left (its fill is the
// status line's), the box being the run of such rows that starts under the
// status line: map colours further down that happen to match are not it;
// -1 without a box.
int box_bottom(GdkPixbuf* pb)
{
    int bottom = -1;
    for (int y = 31, gap = 0; y < 300 && gap < 4; ++y) {
        if (is_status(xr_pixel(pb, 45, y)) || is_status(xr_pixel(pb, 8, y))) {
            bottom = y;
            gap = 0;
        } else if (bottom > 0) {
            ++gap;
        } else if (y > 40) {
            break;
        }
    }
    return bottom;
}

// The middle of the arrow in the map area; false without one.
bool arrow_at(GdkPixbuf* pb, int& x, int& y)
{
    long sx = 0, sy = 0, n = 0;
    for (int py = 30; py < 421; ++py)
        for (int px = 0; px < 772; ++px)
            if (is_arrow(xr_pixel(pb, px, py))) {
                sx += px;
                sy += py;
                ++n;
            }
    if (n < 15)
        return false;
    x = static_cast<int>(sx / n);
    y = static_cast<int>(sy / n);
    return true;
}

int count(GdkPixbuf* pb, int x0, int y0, int x1, int y1, bool (*pred)(const XrRgb&))
{
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            n += pred(xr_pixel(pb, x, y));
    return n;
}

bool write_position_image(const XrTempRoot& root)
{
    GdkPixbuf* marker = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, 12, 12);
    gdk_pixbuf_fill(marker, 0xFF00FFFF);
    const bool ok = gdk_pixbuf_save(marker, (root.dir() + "/usr/share/kestrova/images/position.png").c_str(), "png",
                                    nullptr, nullptr);
    g_object_unref(marker);
    return ok;
}

class ScreenDriveTest : public XrDemoDriveTest {
protected:
    // The sample add-on's magenta point would pass for an overlay marker.
    void SetUp() override
    {
        XrDemoDriveTest::SetUp();
        xr_card_without_addons(root);
    }
};

TEST_F(ScreenDriveTest, CarStripsAndStatusLineDuringGuidance)
{
    ASSERT_TRUE(write_position_image(root));
    // On the ring road, 60 m south of the northern edge of the map's water.
    const std::string start_track = root.dir() + "/start.csv";
    {
        std::ofstream out(start_track);
        out << "0,30.9990000,-24.0007860\n10,30.9990000,-24.0007860\n";
    }
    run.start({"KESTROVA_DRIVE_TRACK=" + start_track, "KESTROVA_DRIVE_DESTINATION=31.0080567,-24.0007860"});
    int x = 0, y = 0;
    ASSERT_TRUE(run.wait_screen(60, [&](GdkPixbuf* pb) { return arrow_at(pb, x, y); })) << run.output();

    // About 25 seconds of the drive (some 300 m north, past the water's
    // edge, within 1000 m of the destination): every screen alike.
    int boxes = 0;
    for (int shot = 0; shot < 8; ++shot) {
        std::this_thread::sleep_for(std::chrono::seconds(3));
        GdkPixbuf* pb = run.screenshot();
        ASSERT_NE(pb, nullptr);
        SCOPED_TRACE("screen " + std::to_string(shot));
        // The car follows: the arrow stays in the middle of the map area
        // that the panels leave free (0..580 of the route layout), low
        // enough to see ahead, and the overlay draws no marker of its own.
        ASSERT_TRUE(arrow_at(pb, x, y));
        EXPECT_NEAR(x, 290, 40);
        EXPECT_NEAR(y, 210, 40);
        EXPECT_EQ(count(pb, 0, 0, 800, 480, is_overlay_marker), 0);
        // The strips beside and below the map: black (the grip and the
        // arrows aside); below it the guidance's own street box and compass
        // are drawn over the black, but nothing of the map.
        EXPECT_EQ(count(pb, 773, 215, 800, 421, is_black), 27 * 206);
        EXPECT_EQ(count(pb, 65, 424, 772, 480, xr_is_land), 0);
        EXPECT_GT(count(pb, 65, 424, 772, 480, is_black), 707 * 56 / 2);
        // The status line ends before the top-right button.
        EXPECT_TRUE(is_status(xr_pixel(pb, 600, 3)));
        EXPECT_EQ(count(pb, 740, 0, 758, 30, is_status), 0);
        // The speed stands below the instruction box, nothing of it on the
        // box (whose icon and distance are red and white).
        const int bottom = box_bottom(pb);
        if (bottom > 0) {
            ++boxes;
            // (a stray edge pixel or two; digits over it would be hundreds)
            EXPECT_LT(count(pb, 5, 32, 86, bottom + 1, is_dark), 20);
            EXPECT_GT(count(pb, 5, bottom + 1, 86, 421, is_dark), 100);
        }
        g_object_unref(pb);
    }
    EXPECT_GT(boxes, 0);
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

} // namespace
