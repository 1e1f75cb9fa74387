// An arrow key pans the flat map with a slide a person can follow: the
// screen, read back from the X server while the key acts, shows the old
// picture part of the way moved before the map stands at its new place.
#include <gdk/gdk.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "navigator_run.h"

extern "C" __attribute__((used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\nleak:libgtk-x11\nleak:libgdk-x11\nleak:libglib\nleak:libgobject\nleak:libpango\n";
}

namespace {

void xdo(const std::string& args) { std::system(("xdotool " + args + " >/dev/null 2>&1").c_str()); }

// The screen of DISPLAY, read through a connection of this test's own.
class XrScreenReader {
public:
    XrScreenReader()
    {
        gdk_parse_args(nullptr, nullptr);
        display = gdk_display_open(std::getenv("DISPLAY"));
    }
    ~XrScreenReader()
    {
        if (display != nullptr)
            gdk_display_close(display);
    }
    bool ok() const { return display != nullptr; }
    GdkPixbuf* grab() const
    {
        GdkScreen* screen = gdk_display_get_default_screen(display);
        return gdk_pixbuf_get_from_drawable(nullptr, gdk_screen_get_root_window(screen),
                                            gdk_screen_get_system_colormap(screen), 0, 0, 0, 0, 800, 480);
    }

private:
    GdkDisplay* display = nullptr;
};

// Drawn again at the new place, lines and letters may fall a pixel aside
// with other edge shades.
bool close(const XrRgb& a, const XrRgb& b) { return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b) < 60; }
bool near(GdkPixbuf* pb, int x, int y, const XrRgb& c)
{
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (close(c, xr_pixel(pb, x + dx, y + dy)))
                return true;
    return false;
}

// The horizontal move (0 to 300 pixels to the right) under which the
// frame's map best repeats the drawn features (anything but plain land) of
// the first picture, and the share of those features it repeats.
std::pair<int, double> best_shift(GdkPixbuf* first, GdkPixbuf* frame)
{
    int best = -1;
    double best_share = 0;
    for (int s = 0; s <= 300; ++s) {
        int features = 0, kept = 0;
        for (int y = 120; y < 320; y += 3)
            for (int x = 360; x < 640; x += 2) {
                const XrRgb was = xr_pixel(first, x - s, y);
                if (xr_is_land(was))
                    continue;
                ++features;
                kept += near(frame, x, y, was) ? 1 : 0;
            }
        const double share = features > 0 ? static_cast<double>(kept) / features : 0;
        if (share > best_share) {
            best_share = share;
            best = s;
        }
    }
    return {best, best_share};
}

TEST(PanSlideTest, ArrowKeySlidesTheMapToItsNewPlace)
{
    XrOwnDisplay display;
    ASSERT_TRUE(display.ok());
    XrScreenReader screen;
    ASSERT_TRUE(screen.ok());
    XrSessionBus bus;
    XrTempRoot root;
    root.make_dirs("/media/mmc2");
    XrNavigatorRun run(root);
    run.start();
    ASSERT_TRUE(xr_wait_map(run)) << run.output();
    xdo("search --onlyvisible --classname kestrova-navigator windowfocus --sync");
    // The map stands still (the first redraws are over).
    std::this_thread::sleep_for(std::chrono::seconds(2));
    GdkPixbuf* first = screen.grab();
    ASSERT_NE(first, nullptr);

    // Left: the view moves west, the picture east.
    xdo("key Left");
    std::vector<GdkPixbuf*> frames;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    while (std::chrono::steady_clock::now() < end)
        if (GdkPixbuf* pb = screen.grab())
            frames.push_back(pb);
    ASSERT_FALSE(frames.empty());

    const auto [final_shift, final_share] = best_shift(first, frames.back());
    EXPECT_GT(final_share, 0.8);
    // One sixth or one eighth of the width of the map.
    EXPECT_GE(final_shift, 90) << final_shift;
    EXPECT_LE(final_shift, 140) << final_shift;
    // On the way: frames with the picture part of the way moved.
    int between = 0;
    for (GdkPixbuf* pb : frames) {
        const auto [shift, share] = best_shift(first, pb);
        if (share > 0.8 && shift > 5 && shift < final_shift - 5)
            ++between;
    }
    EXPECT_GE(between, 1) << "frames read: " << frames.size();

    for (GdkPixbuf* pb : frames)
        g_object_unref(pb);
    g_object_unref(first);
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

} // namespace
