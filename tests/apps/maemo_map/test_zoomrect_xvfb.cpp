// The zoom rectangle of the map window, as a person uses it: with the zoom
// toggle of the View menu on, a finger drag (xdotool through the X server)
// draws a rectangle with a "Zoom in" or "Zoom out" label over the map while
// the finger is down, and the map zooms to it when the finger lifts.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string>
#include <vector>

#include "navigator_run.h"

namespace {

bool xdo(const std::string& args) { return std::system(("xdotool " + args + " >/dev/null 2>&1").c_str()) == 0; }

// The median distance between neighbouring streets of the demo map's grid
// crossing the map area (columns for vertical streets); 0 without two.
double street_spacing(GdkPixbuf* pb, bool vertical)
{
    const int length = vertical ? 740 : 370, across = vertical ? 370 : 740;
    std::vector<int> lines;
    int first = -1;
    for (int i = 0; i <= length; ++i) {
        int drawn = 0;
        for (int j = 0; i < length && j < across; j += 2)
            drawn += !xr_is_land(vertical ? xr_pixel(pb, i, j) : xr_pixel(pb, j, i));
        const bool street = i < length && drawn * 2 * 10 >= across * 8;
        if (street && first < 0)
            first = i;
        if (!street && first >= 0) {
            lines.push_back((first + i - 1) / 2);
            first = -1;
        }
    }
    std::vector<int> gaps;
    for (size_t i = 1; i < lines.size(); ++i)
        gaps.push_back(lines[i] - lines[i - 1]);
    if (gaps.empty())
        return 0;
    std::sort(gaps.begin(), gaps.end());
    return gaps[gaps.size() / 2];
}

bool same(const XrRgb& a, const XrRgb& b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

// Pixels of the segment from (x0, y0) to (x1, y1) (one of them equal)
// that differ between the two pictures, and how many were looked at.
std::pair<int, int> changed_on(GdkPixbuf* a, GdkPixbuf* b, int x0, int y0, int x1, int y1)
{
    int changed = 0, seen = 0;
    for (int x = x0; x <= x1; ++x) {
        for (int y = y0; y <= y1; ++y) {
            changed += !same(xr_pixel(a, x, y), xr_pixel(b, x, y));
            ++seen;
        }
    }
    return {changed, seen};
}

// The screen once it has stopped changing.
GdkPixbuf* settled_screen(XrNavigatorRun& run)
{
    GdkPixbuf* last = nullptr;
    for (int i = 0; i < 50; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        GdkPixbuf* now = run.screenshot();
        if (now == nullptr)
            continue;
        const bool settled = last != nullptr && xr_differing_pixels(last, now) == 0;
        if (last != nullptr)
            g_object_unref(last);
        last = now;
        if (settled)
            break;
    }
    return last;
}

struct ZoomRectCase {
    const char* what;
    int x0, y0, x1, y1; // press and release
    bool zoom_in;
    int zoom_out_taps;  // on the zoom-out button first, for more streets on screen
};

void PrintTo(const ZoomRectCase& c, std::ostream* os) { *os << c.what; }

class ZoomRectTest : public ::testing::TestWithParam<ZoomRectCase> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(display.ok());
        root.make_dirs("/media/mmc2");
        run.start();
        ASSERT_TRUE(xr_wait_map(run)) << run.output();
        xdo("search --onlyvisible --classname kestrova-navigator windowfocus --sync");
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }

    XrOwnDisplay display;
    XrTempRoot root;
    XrNavigatorRun run{root};
};

TEST_P(ZoomRectTest, DragDrawsTheRectangleAndItsLabelThenZooms)
{
    const ZoomRectCase& c = GetParam();
    // View, "Zoom buttons": a drag now zooms instead of panning.
    xdo("key F4");
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    xdo("key --delay 80 Down Down Right Down Down");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    xdo("key Return");
    ASSERT_TRUE(run.wait_said("menu: r_str_menu_view_zoom", 1, 10)) << run.output();
    for (int i = 0; i < c.zoom_out_taps; ++i) {
        xdo("mousemove 27 392 click 1");
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    GdkPixbuf* before = settled_screen(run);
    ASSERT_NE(before, nullptr);
    const double spacing_before = street_spacing(before, true);
    ASSERT_GT(spacing_before, 0);

    ASSERT_TRUE(xdo("mousemove " + std::to_string(c.x0) + " " + std::to_string(c.y0) + " mousedown 1"));
    for (int i = 1; i <= 8; ++i) {
        xdo("mousemove " + std::to_string(c.x0 + (c.x1 - c.x0) * i / 8) + " " +
            std::to_string(c.y0 + (c.y1 - c.y0) * i / 8));
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    GdkPixbuf* dragging = run.screenshot();
    ASSERT_NE(dragging, nullptr);
    const int l = std::min(c.x0, c.x1), r = std::max(c.x0, c.x1);
    const int t = std::min(c.y0, c.y1), b = std::max(c.y0, c.y1);
    const int cx = (l + r) / 2, cy = (t + b) / 2;
    // The outline is drawn over the map on all four sides (away from the
    // corners and the label)...
    for (const auto& [x0, y0, x1, y1] : {std::array{l + 4, t, cx - 60, t}, std::array{l + 4, b, cx - 60, b},
                                         std::array{l, t + 4, l, b - 4}, std::array{r, t + 4, r, b - 4}}) {
        const auto [changed, seen] = changed_on(before, dragging, x0, y0, x1, y1);
        EXPECT_GE(changed * 10, seen * 9) << c.what << ": outline at " << x0 << "," << y0 << " " << x1 << "," << y1;
    }
    // ...the label stands at its centre...
    const auto [label, label_seen] = changed_on(before, dragging, cx - 15, cy - 4, cx + 15, cy + 4);
    EXPECT_GE(label * 10, label_seen) << c.what << ": no label";
    // ...and the map itself stays as it was: inside the rectangle away from
    // the label, and outside it.
    EXPECT_EQ(changed_on(before, dragging, l + 5, t + 5, l + 25, t + 25).first, 0) << c.what;
    EXPECT_EQ(changed_on(before, dragging, r + 5, cy, r + 40, cy + 20).first, 0) << c.what;
    g_object_unref(dragging);

    ASSERT_TRUE(xdo("mouseup 1"));
    GdkPixbuf* after = settled_screen(run);
    ASSERT_NE(after, nullptr);
    const double spacing_after = street_spacing(after, true);
    if (c.zoom_in) {
        // A 200 x 150 rectangle fills the map area: at least twice as close.
        EXPECT_GE(spacing_after, 2 * spacing_before) << c.what;
    } else {
        EXPECT_GT(spacing_after, 0) << c.what;
        EXPECT_LT(spacing_after * 1.5, spacing_before) << c.what;
    }
    g_object_unref(before);
    g_object_unref(after);
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

INSTANTIATE_TEST_SUITE_P(Drags, ZoomRectTest,
                         ::testing::Values(ZoomRectCase{"rightwards zooms in", 300, 150, 500, 300, true, 4},
                                           ZoomRectCase{"leftwards zooms out", 600, 320, 200, 80, false, 0}),
                         [](const auto& info) { return std::string(info.param.zoom_in ? "ZoomIn" : "ZoomOut"); });

} // namespace
