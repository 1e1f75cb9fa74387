// A person drives the map: pointer and keys go through the X server
// (xdotool) to the navigator on its own display, and the screen shows what
// changed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <algorithm>
#include <string>
#include <vector>

#include "navigator_run.h"

namespace {

// Sends input to the display of this test (DISPLAY is the test's own).
bool xdo(const std::string& args) { return std::system(("xdotool " + args + " >/dev/null 2>&1").c_str()) == 0; }

// The demo map's streets form a grid: the middles of the streets that
// cross the whole map area, as screen columns (vertical) or rows, from
// the pixels that are not bare land.
std::vector<int> street_lines(GdkPixbuf* pb, bool vertical)
{
    const int length = vertical ? 740 : 370;  // where the lines are sought
    const int across = vertical ? 370 : 740;  // along each line
    std::vector<int> lines;
    int first = -1;
    for (int i = 0; i <= length; ++i) {
        int drawn = 0;
        if (i < length) {
            for (int j = 0; j < across; j += 2)
                drawn += !xr_is_land(vertical ? xr_pixel(pb, i, j) : xr_pixel(pb, j, i));
        }
        const bool street = i < length && drawn * 2 * 10 >= across * 8;
        if (street && first < 0)
            first = i;
        if (!street && first >= 0) {
            lines.push_back((first + i - 1) / 2);
            first = -1;
        }
    }
    return lines;
}

// The median distance between neighbouring streets; 0 without two.
double street_spacing(GdkPixbuf* pb, bool vertical)
{
    const std::vector<int> lines = street_lines(pb, vertical);
    std::vector<int> gaps;
    for (size_t i = 1; i < lines.size(); ++i)
        gaps.push_back(lines[i] - lines[i - 1]);
    if (gaps.empty())
        return 0;
    std::sort(gaps.begin(), gaps.end());
    return gaps[gaps.size() / 2];
}

std::string describe(const std::vector<int>& lines)
{
    std::string text;
    for (int v : lines)
        text += std::to_string(v) + " ";
    return text;
}

// The map is on screen and has stopped changing.
GdkPixbuf* settled_screen(XrNavigatorRun& run)
{
    GdkPixbuf* last = nullptr;
    for (int i = 0; i < 50; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        GdkPixbuf* now = run.screenshot();
        if (now == nullptr)
            continue;
        const bool land = xr_is_land(xr_pixel(now, 400, 300)) || xr_is_land(xr_pixel(now, 300, 150));
        if (last != nullptr && land && xr_differing_pixels(last, now) == 0) {
            g_object_unref(last);
            return now;
        }
        if (last != nullptr)
            g_object_unref(last);
        last = now;
    }
    return last;
}

class MapInputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(display.ok());
        root.make_dirs("/media/mmc2");
    }

    // The navigator on the demo map, its first picture settled.
    GdkPixbuf* start()
    {
        run.start();
        EXPECT_TRUE(run.wait_screen(40, [](GdkPixbuf* pb) { return xr_is_land(xr_pixel(pb, 400, 300)); }))
            << run.output();
        return settled_screen(run);
    }

    XrOwnDisplay display;
    XrTempRoot root;
    XrNavigatorRun run{root};
};

TEST_F(MapInputTest, DragMovesTheMapWithTheFinger)
{
    GdkPixbuf* before = start();
    ASSERT_NE(before, nullptr);
    ASSERT_TRUE(xdo("mousemove 400 200 mousedown 1"));
    for (int i = 1; i <= 10; ++i) {
        xdo("mousemove " + std::to_string(400 + 10 * i) + " " + std::to_string(200 + 6 * i));
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
    ASSERT_TRUE(xdo("mouseup 1"));
    GdkPixbuf* after = settled_screen(run);
    ASSERT_NE(after, nullptr);
    // Every street moved by the finger's way, (100, 60).
    for (const bool vertical : {true, false}) {
        const int shift = vertical ? 100 : 60;
        const std::vector<int> was = street_lines(before, vertical), now = street_lines(after, vertical);
        ASSERT_FALSE(was.empty());
        int moved = 0;
        for (int w : was) {
            for (int n : now)
                moved += std::abs(n - (w + shift)) <= 2;
        }
        EXPECT_GE(moved, static_cast<int>(was.size()) - 1)
            << "before " << describe(was) << "after " << describe(now);
        EXPECT_GE(moved, 1);
    }
    g_object_unref(before);
    g_object_unref(after);
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

// Zoom input, each step from the picture the previous one left: the
// streets' spacing grows by the ratio of two neighbouring scales of the
// zoom ladder (2500, 3325, 4511, 6242, 8809, 12682, ...).
struct ZoomCase {
    const char* what;
    const char* input; // xdotool arguments
    double lowest, highest; // the magnification
};

TEST_F(MapInputTest, ZoomKeysAndButtonsStepAlongTheLadder)
{
    const ZoomCase cases[] = {
        // From the opening scale to the ladder's next value below it.
        {"zoom-in key", "key F7", 1.01, 8859.0 / 6242},
        {"zoom-out key", "key F8", 6242.0 / 8809, 6242.0 / 8809},
        // Two keys within 100 ms: the second is not taken.
        {"two zoom-in keys at once", "key --delay 10 F7 F7", 8809.0 / 6242, 8809.0 / 6242},
        {"zoom-in button", "mousemove 27 27 click 1", 6242.0 / 4511, 6242.0 / 4511},
        {"zoom-out button", "mousemove 27 392 click 1", 4511.0 / 6242, 4511.0 / 6242},
    };
    GdkPixbuf* before = start();
    ASSERT_NE(before, nullptr);
    for (const ZoomCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        ASSERT_TRUE(xdo(c.input));
        GdkPixbuf* after = settled_screen(run);
        ASSERT_NE(after, nullptr);
        const double was = street_spacing(before, true), now = street_spacing(after, true);
        ASSERT_GT(was, 0) << describe(street_lines(before, true));
        const double m = now / was;
        // Street middles are whole pixels: a few hundredths of slack.
        EXPECT_GE(m, c.lowest - 0.03) << describe(street_lines(before, true)) << "/ "
                                       << describe(street_lines(after, true));
        EXPECT_LE(m, c.highest + 0.03) << describe(street_lines(before, true)) << "/ "
                                        << describe(street_lines(after, true));
        g_object_unref(before);
        before = after;
    }
    g_object_unref(before);
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

// The middle of the car's marker during guidance (an arrow filled light
// green) in the map part of the route layout; false without one.
bool car_at(GdkPixbuf* pb, int& mx, int& my)
{
    long sx = 0, sy = 0, n = 0;
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

// The inner colour of the active route's roads.
bool is_route(const XrRgb& c) { return std::abs(c.r - 60) < 25 && std::abs(c.g - 130) < 25 && std::abs(c.b - 240) < 25; }

// Route pixels within 15 pixels of (x, y).
bool route_near(GdkPixbuf* pb, int x, int y)
{
    int n = 0;
    for (int j = y - 15; j <= y + 15; ++j)
        for (int i = x - 15; i <= x + 15; ++i)
            n += is_route(xr_pixel(pb, i, j));
    return n >= 10;
}

// The car is within 30 pixels of (x, y).
bool car_near(GdkPixbuf* pb, int x, int y)
{
    int mx = 0, my = 0;
    return car_at(pb, mx, my) && std::abs(mx - x) <= 30 && std::abs(my - y) <= 30;
}

class RouteStepTest : public XrDemoDriveTest {};

TEST_F(RouteStepTest, KeysBrowseTheRouteAndTheViewReturnsToTheCar)
{
    run.start({"KESTROVA_DRIVE_TRACK=" + track, "KESTROVA_DRIVE_DESTINATION=30.995,-24.005"});
    // Guidance runs once the car is drawn; the route's preview is over when
    // the car keeps its place on screen for two seconds.
    int home_x = -1, home_y = -1;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (home_x < 0 && std::chrono::steady_clock::now() < end) {
        GdkPixbuf* a = run.screenshot();
        std::this_thread::sleep_for(std::chrono::seconds(2));
        GdkPixbuf* b = run.screenshot();
        int ax = 0, ay = 0;
        if (a != nullptr && b != nullptr && car_at(a, ax, ay) && car_near(b, ax, ay)) {
            home_x = ax;
            home_y = ay;
        }
        if (a != nullptr)
            g_object_unref(a);
        if (b != nullptr)
            g_object_unref(b);
    }
    ASSERT_GE(home_x, 0) << run.output();
    for (int i = 0; i < 12; ++i)
        ASSERT_TRUE(xdo("key Up"));
    // The view went ahead along the route: the car left its place, which
    // shows a point of the route.
    ASSERT_TRUE(run.wait_screen(5, [&](GdkPixbuf* pb) {
        return !car_near(pb, home_x, home_y) && route_near(pb, home_x, home_y);
    })) << run.output();
    // Following resumes 15 s after the last step: the view is back on the car.
    EXPECT_TRUE(run.wait_screen(25, [&](GdkPixbuf* pb) { return car_near(pb, home_x, home_y); })) << run.output();
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

} // namespace
