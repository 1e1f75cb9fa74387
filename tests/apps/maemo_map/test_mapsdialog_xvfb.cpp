// The maps window of the whole navigator against the loopback update
// server, used through the X server as a person would: the menu opens it,
// "update" lists what the server offers, "download" fetches and installs a
// second map with the progress window, the card then holds the map whole
// and registered, and closing the window with the new map chosen opens it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "common/bgxfer/updatesim_server.h"
#include "update_content.h"

extern "C" __attribute__((used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\nleak:libgtk-x11\nleak:libgdk-x11\nleak:libglib\nleak:libgobject\nleak:libpango\n";
}

namespace {

class MapsDialogTest : public ::testing::Test {
protected:
    void shot(const char* name)
    {
        if (const char* dir = std::getenv("XR_TEST_SHOTS")) {
            GdkPixbuf* pb = run.screenshot();
            if (pb != nullptr) {
                gdk_pixbuf_save(pb, (std::string(dir) + "/" + name + ".png").c_str(), "png", nullptr, nullptr);
                g_object_unref(pb);
            }
        }
    }
    void click(int x, int y, int ms = 500)
    {
        xdo("mousemove --sync " + std::to_string(x) + " " + std::to_string(y) + " click 1");
        pause_ms(ms);
    }

    XrOwnDisplay display;
    XrSessionBus bus;
    XrTempRoot root;
    XrNavigatorRun run{root};
    std::string title = "Maps";
};

TEST_F(MapsDialogTest, ListsDownloadsInstallsAndOpensASecondMap)
{
    ASSERT_TRUE(display.ok());
    const std::string content = root.make_dirs("/srv/content/");
    write_content(content);
    UpdatesimServer server(content, root.dir());
    ASSERT_GT(server.port(), 0);
    root.make_dirs("/media/mmc2");
    const std::string settings = root.dir() + "/home/user/.kestrova/settings.txt";
    std::string text = XrTempRoot::read_file(XrTempRoot::stage_dir() + "/usr/share/kestrova/settings.txt");
    text.replace(text.find("updateaddress=update.kestrova.example"), 37, "updateaddress=127.0.0.1");
    text.replace(text.find("updateport=80"), 13, "updateport=" + std::to_string(server.port()));
    write(settings, text);

    run.start();
    ASSERT_TRUE(xr_wait_map(run)) << run.output();
    xdo("search --onlyvisible --classname kestrova-navigator windowfocus --sync");
    pause_ms(800);
    xdo("key F4");
    pause_ms(400);
    xdo("key --delay 80 Down Down Down Return");
    ASSERT_TRUE(window_shown(title, true)) << run.output();
    pause_ms(600);
    shot("1-open");
    // The window fills the 800 x 480 screen: its tabs on top, its buttons
    // along the bottom ("remove", "download", "update", "ok").
    click(175, 16); // "Available maps"
    shot("2-available");
    click(655, 459, 2000); // "update"
    shot("3-listed");
    ASSERT_TRUE(fs::exists(root.dir() + "/media/mmc2/map/map.lst")) << run.output();
    click(200, 55); // the offered map
    shot("4-selected");
    GdkPixbuf* listed = run.screenshot();
    ASSERT_NE(listed, nullptr);
    EXPECT_TRUE(row_shown(listed, 55)) << "the offered map is listed";
    g_object_unref(listed);
    click(562, 459, 300); // "download"
    // The progress window over the list while the update runs.
    EXPECT_TRUE(run.wait_screen(10, [](GdkPixbuf* pb) { return progress_shown(pb); })) << run.output();
    shot("5-downloading");
    const std::string card = root.dir() + "/media/mmc2/map/";
    ASSERT_TRUE(wait_for([&] { return fs::exists(card + "versions/map_second"); }, 60)) << run.output();
    // Gone when the update ended; the installed map is no longer offered.
    EXPECT_TRUE(run.wait_screen(10, [](GdkPixbuf* pb) { return !progress_shown(pb) && !row_shown(pb, 55); }))
        << run.output();
    shot("6-installed");
    const std::string shipped = XrTempRoot::stage_dir() + "/usr/share/kestrova/atlantis/";
    for (const auto& entry : fs::directory_iterator(content + "components/map_second/1.2.0.3"))
        EXPECT_EQ(XrTempRoot::read_file(card + "mapdata_Second/" + entry.path().filename().string()),
                  XrTempRoot::read_file(entry.path().string()))
            << entry.path();
    EXPECT_FALSE(fs::exists(card + "map_second.dl"));
    EXPECT_FALSE(fs::exists(card + "kestrova/update"));

    // The installed page lists it; chosen and closed with "ok", it opens.
    click(60, 16);
    GdkPixbuf* installed = run.screenshot();
    ASSERT_NE(installed, nullptr);
    EXPECT_TRUE(row_shown(installed, 55)) << "the new map is listed";
    g_object_unref(installed);
    click(200, 55);
    shot("7-chosen");
    click(748, 459, 1000); // "ok"
    EXPECT_TRUE(window_shown(title, false)) << run.output();
    EXPECT_NE(XrTempRoot::read_file(card + "mapdata/mapdata.ini").find("name=Second"), std::string::npos);
    EXPECT_NE(XrTempRoot::read_file(card + "mapdata_Atlantis/mapdata.ini").find("name=Atlantis"), std::string::npos);
    EXPECT_TRUE(xr_wait_map(run)) << run.output();
    shot("8-map");
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

} // namespace
