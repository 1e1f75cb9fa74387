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

class DriveTest : public XrDemoDriveTest {};

TEST_F(DriveTest, MapFollowsTheMarkerAlongTheTrack)
{

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
    EXPECT_GT(xr_differing_pixels(at2, at12), 1000);
    g_object_unref(at2);
    g_object_unref(at12);
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

} // namespace
