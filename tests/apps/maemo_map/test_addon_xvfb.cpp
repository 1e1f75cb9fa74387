// The sample add-on in the whole program: the navigator started on an empty
// card installs it, the VM runs it, its layer is drawn on the map, a click
// on its point, its key and its menu item (XTest through xdotool) reach it,
// and key and menu item read the location and ask for its route.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "../../common/java/loopback_server.h"
#include "navigator_run.h"

namespace {

void xdo(const std::string& args) { std::system(("xdotool " + args + " >/dev/null 2>&1").c_str()); }

// The pixels of one colour on screen, with their centre.
struct Spot {
    int count = 0;
    int x = 0;
    int y = 0;
};

template <typename Pred>
Spot find_spot(GdkPixbuf* pb, Pred colour)
{
    Spot s;
    long sx = 0, sy = 0;
    for (int y = 0; y < gdk_pixbuf_get_height(pb); ++y)
        for (int x = 0; x < gdk_pixbuf_get_width(pb); ++x)
            if (colour(xr_pixel(pb, x, y))) {
                ++s.count;
                sx += x;
                sy += y;
            }
    if (s.count > 0) {
        s.x = int(sx / s.count);
        s.y = int(sy / s.count);
    }
    return s;
}

// The sample's point is magenta, its polyline cyan.
bool magenta(const XrRgb& c) { return c.r > 220 && c.g < 50 && c.b > 220; }
bool cyan(const XrRgb& c) { return c.r < 50 && c.g > 220 && c.b > 220; }
// Its image tile is yellow.
bool yellow(const XrRgb& c) { return c.r > 240 && c.g > 240 && c.b < 20; }

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

// The shipped add-ons, installed on the new card at start-up (the navigator
// run copies them too: what is there already is kept).
void ship_addons(const XrTempRoot& root)
{
    std::filesystem::copy(XrTempRoot::stage_dir() + "/usr/share/kestrova-addons",
                          root.dir() + "/usr/share/kestrova-addons",
                          std::filesystem::copy_options::recursive | std::filesystem::copy_options::skip_existing);
}

TEST(AddonTest, TheSampleDrawsItsLayerAndHearsItsKeyItsMenuItemAndATapOnItsPoint)
{
    XrOwnDisplay display;
    ASSERT_TRUE(display.ok());
    XrTempRoot root;
    root.make_dirs("/media/mmc2");
    ship_addons(root);
    XrNavigatorRun run(root);
    run.start();
    ASSERT_TRUE(xr_wait_map(run, 60)) << run.output();
    ASSERT_TRUE(run.wait_said("sample: layer drawn", 1, 30)) << run.output();

    // The point a fifth of the view above the centre, the line a fifth
    // below it, both across the middle.
    Spot point, line;
    ASSERT_TRUE(run.wait_screen(20, [&](GdkPixbuf* pb) {
        point = find_spot(pb, magenta);
        line = find_spot(pb, cyan);
        return point.count > 20 && line.count > 20;
    })) << "point " << point.count << " line " << line.count << "\n" << run.output();
    EXPECT_LT(point.y, line.y);
    EXPECT_NEAR(point.x, line.x, 60);

    // Its key (space) reads the location and asks for a route to its place.
    xdo("key space");
    EXPECT_TRUE(run.wait_said("sample: key 22", 1, 20)) << run.output();
    EXPECT_TRUE(run.wait_said("sample: location", 1, 20)) << run.output();
    EXPECT_TRUE(run.wait_said("sample: route requested", 1, 20)) << run.output();

    // Its menu item, the last of the main menu (menu key, Up from the top
    // wraps to the end), runs the same tour.
    xdo("search --onlyvisible --classname kestrova-navigator windowfocus --sync");
    xdo("key F4");
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    xdo("key Up");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    xdo("key Return");
    EXPECT_TRUE(run.wait_said("sample: route requested", 2, 20)) << run.output();
    EXPECT_EQ(run.said("sample: key"), 1) << run.output();

    // A click on the point reaches the add-on's action handler.
    xdo("mousemove " + std::to_string(point.x) + " " + std::to_string(point.y) + " click 1");
    EXPECT_TRUE(run.wait_said("sample: tap", 1, 20)) << run.output();

    EXPECT_EQ(run.terminate(), 0) << run.output();
}

class AddonDriveTest : public XrDemoDriveTest {};

// With a position from the demo drive, the route the add-on asks for is
// computed and drawn.
TEST_F(AddonDriveTest, TheSamplesRouteRequestStartsARoute)
{
    ship_addons(root);
    run.start({"KESTROVA_DRIVE_TRACK=" + track});
    ASSERT_TRUE(xr_wait_map(run, 60)) << run.output();
    ASSERT_TRUE(run.wait_said("sample: layer drawn", 1, 30)) << run.output();
    GdkPixbuf* before = run.screenshot();
    ASSERT_NE(before, nullptr);
    EXPECT_LT(route_pixels(before), 50);
    g_object_unref(before);

    xdo("key space");
    ASSERT_TRUE(run.wait_said("sample: route requested", 1, 20)) << run.output();
    EXPECT_TRUE(run.wait_said("fix true", 1, 1)) << run.output();
    EXPECT_TRUE(run.wait_screen(40, [](GdkPixbuf* pb) { return route_pixels(pb) > 300; })) << run.output();
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

// With its settings naming a web server and the service server on loopback,
// the tour posts to the one and exchanges a bag with the other; both answers
// come back to the add-on.
TEST(AddonTest, TheSamplesWebRequestAndBagExchangeReachTheLoopbackServers)
{
    XrOwnDisplay display;
    ASSERT_TRUE(display.ok());
    XrTempRoot root;
    root.make_dirs("/media/mmc2");
    const std::string dir = root.dir();
    LoopbackServer web({"python3", XrNavigatorRun::source("tests/common/java/http_fixture.py"), dir + "/web.port"},
                       dir + "/web.port");
    ASSERT_NE(web.port, 0);
    std::ofstream(dir + "/empty.scenario") << "# nothing\n";
    LoopbackServer services({"sh", "-c",
                             "exec python3 " + XrNavigatorRun::source("tools/servicesim/servicesim.py") + " " +
                                 XrNavigatorRun::binary("tools/servicesim/servicesim-answer") + " " + dir +
                                 "/empty.scenario " + dir + "/state --port-file " + dir + "/services.port 2>" + dir +
                                 "/services.log"},
                            dir + "/services.port");
    ASSERT_NE(services.port, 0);
    ship_addons(root);
    std::ofstream(dir + "/usr/share/kestrova-addons/KestrovaSample.properties")
        << "http=" << web.url("/echo") << "\nservcom=" << services.url("/cb/client") << "\n";

    XrNavigatorRun run(root);
    run.start();
    ASSERT_TRUE(xr_wait_map(run, 60)) << run.output();
    ASSERT_TRUE(run.wait_said("sample: layer drawn", 1, 30)) << run.output();
    xdo("key space");
    EXPECT_TRUE(run.wait_said("sample: http 200 hello from the sample", 1, 20)) << run.output();
    EXPECT_TRUE(run.wait_said("sample: servcom 0 sample bag 7", 1, 20)) << run.output();
    EXPECT_NE(XrTempRoot::read_file(dir + "/services.log").find("service 99 request 1/1 answered"), std::string::npos)
        << XrTempRoot::read_file(dir + "/services.log");
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

// Zoomed out far enough, the sample's image layer asks for the tiles in
// view and the one it fills is drawn round the place it chose.
TEST(AddonTest, TheSamplesImageTileIsDrawnWhenZoomedOut)
{
    XrOwnDisplay display;
    ASSERT_TRUE(display.ok());
    XrTempRoot root;
    root.make_dirs("/media/mmc2");
    ship_addons(root);
    XrNavigatorRun run(root);
    run.start();
    ASSERT_TRUE(xr_wait_map(run, 60)) << run.output();
    ASSERT_TRUE(run.wait_said("sample: layer drawn", 1, 30)) << run.output();
    GdkPixbuf* first = run.screenshot();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(find_spot(first, yellow).count, 0) << "no tile at the first scale";
    g_object_unref(first);

    xdo("search --onlyvisible --classname kestrova-navigator windowfocus --sync");
    Spot tile;
    for (int i = 0; i < 20 && tile.count < 2000; ++i) {
        xdo("key F8");
        run.wait_screen(2, [&](GdkPixbuf* pb) {
            tile = find_spot(pb, yellow);
            return tile.count >= 2000;
        });
    }
    ASSERT_GE(tile.count, 2000) << run.output();
    EXPECT_TRUE(run.wait_said("sample: tile at", 1, 1)) << run.output();
    // The view's centre, where the sample put it, is inside the tile.
    EXPECT_NEAR(tile.x, 400, 200);
    EXPECT_NEAR(tile.y, 240, 150);
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

// A tap on the point opens the sample's dialog; text typed into it through
// the X server comes back to the add-on, which saves it; the map hears keys
// again once the dialog is gone.
TEST(AddonTest, TextTypedIntoTheSamplesDialogComesBackToIt)
{
    XrOwnDisplay display;
    ASSERT_TRUE(display.ok());
    XrTempRoot root;
    root.make_dirs("/media/mmc2");
    ship_addons(root);
    XrNavigatorRun run(root);
    run.start();
    ASSERT_TRUE(xr_wait_map(run, 60)) << run.output();
    ASSERT_TRUE(run.wait_said("sample: layer drawn", 1, 30)) << run.output();
    Spot point;
    ASSERT_TRUE(run.wait_screen(20, [&](GdkPixbuf* pb) {
        point = find_spot(pb, magenta);
        return point.count > 20;
    })) << run.output();

    xdo("mousemove " + std::to_string(point.x) + " " + std::to_string(point.y) + " click 1");
    ASSERT_TRUE(run.wait_said("sample: dialog open", 1, 20)) << run.output();
    // The dialog takes the whole screen: the note's field first, the places
    // below it, Save under the screen's edge (reached with Tab).
    xdo("search --sync --onlyvisible --name \"Sample note\" windowactivate --sync");
    EXPECT_TRUE(run.wait_screen(10, [](GdkPixbuf* pb) { return find_spot(pb, xr_is_land).count < 100; }))
        << "the dialog covers the map";
    xdo("type --delay 30 \"Quay side\"");
    xdo("key --delay 100 Tab Down Down Tab Return");
    EXPECT_TRUE(run.wait_said("sample: note Quay side @1", 1, 20)) << run.output();
    EXPECT_EQ(XrTempRoot::read_file(root.dir() + "/media/mmc2/map/extensions/addons/KestrovaSample.note"),
              "Quay side @1");

    // Back on the map, its key reaches the add-on.
    xdo("key space");
    EXPECT_TRUE(run.wait_said("sample: key 22", 1, 20)) << run.output();
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

} // namespace
