// A simulated drive on the demo map: the map follows the position marker.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "navigator_run.h"

namespace {

// A red marker where the vehicle is: the column of the view's centre.
bool marker_near_centre(GdkPixbuf* pb)
{
    for (int y = 100; y < 420; ++y) {
        for (int x = 385; x < 415; ++x) {
            const XrRgb c = xr_pixel(pb, x, y);
            if (c.r > 200 && c.g < 60 && c.b < 60)
                return true;
        }
    }
    return false;
}

int differing_pixels(GdkPixbuf* a, GdkPixbuf* b)
{
    int n = 0;
    for (int y = 0; y < 420; y += 2) {
        for (int x = 0; x < 740; x += 2) {
            const XrRgb p = xr_pixel(a, x, y), q = xr_pixel(b, x, y);
            n += p.r != q.r || p.g != q.g || p.b != q.b;
        }
    }
    return n;
}

TEST(DriveTest, MapFollowsTheMarkerAlongTheTrack)
{
    XrOwnDisplay display;
    ASSERT_TRUE(display.ok());
    XrTempRoot root;
    root.make_dirs("/media/mmc2");
    XrNavigatorRun run(root);
    // The marker image: a red square.
    GdkPixbuf* marker = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, 12, 12);
    gdk_pixbuf_fill(marker, 0xFF0000FF);
    ASSERT_TRUE(gdk_pixbuf_save(marker, (root.dir() + "/usr/share/kestrova/images/position.png").c_str(), "png",
                                nullptr, nullptr));
    g_object_unref(marker);
    const std::string track = root.dir() + "/track.csv";
    const std::string cmd = XrNavigatorRun::source("scripts/run-track") + " " +
                            XrNavigatorRun::source("tools/atlantis/atlantis.osm") + " " + track;
    ASSERT_EQ(std::system(cmd.c_str()), 0);

    run.start({"KESTROVA_DRIVE_TRACK=" + track});
    ASSERT_TRUE(run.wait_screen(30, marker_near_centre)) << run.output();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    GdkPixbuf* at2 = run.screenshot();
    std::this_thread::sleep_for(std::chrono::seconds(10));
    GdkPixbuf* at12 = run.screenshot();
    ASSERT_NE(at2, nullptr);
    ASSERT_NE(at12, nullptr);
    EXPECT_TRUE(marker_near_centre(at2));
    EXPECT_TRUE(marker_near_centre(at12));
    // Ten seconds at 12 m/s: the map under the marker has moved.
    EXPECT_GT(differing_pixels(at2, at12), 1000);
    g_object_unref(at2);
    g_object_unref(at12);
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

} // namespace
