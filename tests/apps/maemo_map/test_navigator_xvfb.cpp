// The program as a whole under Xvfb: start on an empty card, the map on
// screen, the ends of the process.
#include <gtest/gtest.h>

#include <filesystem>

#include "navigator_run.h"

namespace fs = std::filesystem;

namespace {

// The demo map is on screen: land at two probes and roads and labels
// (pixels of other colours) over the map area.
bool shows_map(GdkPixbuf* pb)
{
    if (gdk_pixbuf_get_width(pb) < 700 || gdk_pixbuf_get_height(pb) < 370)
        return false;
    if (!xr_is_land(xr_pixel(pb, 300, 150)) || !xr_is_land(xr_pixel(pb, 550, 200)))
        return false;
    int other = 0;
    for (int y = 0; y < 360; y += 2) {
        for (int x = 0; x < 690; x += 2) {
            const XrRgb c = xr_pixel(pb, x, y);
            other += !xr_is_land(c) && (c.r + c.g + c.b) > 0;
        }
    }
    return other > 500;
}

TEST(NavigatorTest, EmptyCardGetsTheDemoMapOnScreenAndSigtermEndsWithZero)
{
    XrOwnDisplay display;
    ASSERT_TRUE(display.ok());
    XrTempRoot root;
    root.make_dirs("/media/mmc2");
    XrNavigatorRun run(root);
    run.start();
    EXPECT_TRUE(run.wait_screen(30, shows_map)) << run.output();
    EXPECT_TRUE(fs::is_directory(root.dir() + "/media/mmc2/map/kestrova/legal"));
    EXPECT_TRUE(fs::is_regular_file(root.dir() + "/media/mmc2/map/kestrova/maemo.reg"));
    EXPECT_TRUE(fs::is_regular_file(root.dir() + "/media/mmc2/map/mapdata/graph.bin"));
    EXPECT_TRUE(fs::is_regular_file(root.dir() + "/home/user/.kestrova/settings.txt") ||
                !fs::exists(root.dir() + "/usr/share/kestrova/settings.txt"));
    EXPECT_EQ(run.terminate(), 0) << run.output();
    EXPECT_NE(run.output().find("sigterm_handler"), std::string::npos);
}

TEST(NavigatorTest, NoCardEndsWithTheMessageAndZero)
{
    XrOwnDisplay display;
    ASSERT_TRUE(display.ok());
    XrTempRoot root;
    XrNavigatorRun run(root);
    run.start();
    EXPECT_EQ(run.wait_exit(30), 0) << run.output();
    EXPECT_NE(run.output().find("Failed to start without valid MMC"), std::string::npos) << run.output();
    EXPECT_FALSE(fs::exists(root.dir() + "/media"));
}

TEST(NavigatorTest, PlatformConnectionFailureEndsWithOne)
{
    XrOwnDisplay display;
    ASSERT_TRUE(display.ok());
    XrTempRoot root;
    root.make_dirs("/media/mmc2");
    XrNavigatorRun run(root);
    run.start({"KESTROVA_OSSO_INIT_FAILS=1"});
    EXPECT_EQ(run.wait_exit(30), 1) << run.output();
    EXPECT_NE(run.output().find("Failed to initialize osso connection."), std::string::npos) << run.output();
    EXPECT_FALSE(fs::exists(root.dir() + "/media/mmc2/map"));
}

} // namespace
