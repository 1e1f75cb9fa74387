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

#include "common/ber/xr_propertybag.h"
#include "common/bgxfer/updatesim_server.h"
#include "common/misc/xr_md5.h"
#include "navigator_run.h"

extern "C" __attribute__((used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\nleak:libgtk-x11\nleak:libgdk-x11\nleak:libglib\nleak:libgobject\nleak:libpango\n";
}

namespace {

namespace fs = std::filesystem;

void xdo(const std::string& args) { std::system(("xdotool " + args + " >/dev/null 2>&1").c_str()); }
void pause_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool window_shown(const std::string& title, bool wanted, int seconds = 10)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    do {
        const bool shown =
            std::system(("xdotool search --onlyvisible --name '^" + title + "$' >/dev/null 2>&1").c_str()) == 0;
        if (shown == wanted)
            return true;
        pause_ms(200);
    } while (std::chrono::steady_clock::now() < end);
    return false;
}

std::string md5_hex(const std::string& bytes)
{
    XrMD5Context ctx;
    md5_init(ctx);
    md5_update(ctx, reinterpret_cast<const BYTE*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()));
    BYTE digest[16];
    md5_final(ctx, digest);
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (BYTE b : digest)
        out += std::string{hex[b >> 4], hex[b & 15]};
    return out;
}

void write(const std::string& path, const std::string& bytes)
{
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// The server's content: the list of maps and the component "map_second",
// a copy of the demo map named "Second", installed into "mapdata_Second".
void write_content(const std::string& content)
{
    const std::string shipped = XrTempRoot::stage_dir() + "/usr/share/kestrova/atlantis";
    const std::string files = content + "components/map_second/1.2.0.3/";
    fs::create_directories(files);
    XrPropertyBag list;
    auto* bag = new XrPropertyBag;
    bag->add_string(2, XrString("map_second"));
    bag->add_string(3, XrString("Second"));
    const int version[4] = {1, 2, 0, 3};
    for (int k = 0; k < 4; ++k)
        bag->add_int(4 + k, version[k]);
    bag->add_int(10, 0);
    bag->add_string(9, XrString("mapdata_Second"));
    std::int64_t total = 0;
    for (const auto& entry : fs::directory_iterator(shipped)) {
        const std::string name = entry.path().filename().string();
        std::string bytes = XrTempRoot::read_file(entry.path().string());
        if (name == "mapdata.ini") {
            const auto at = bytes.find("name=Atlantis");
            bytes.replace(at, 13, "name=Second");
        } else if (name == "version.txt") {
            bytes = "GUID: map_second\nVersion: 1.0\nMap version: 8\n";
        }
        write(files + name, bytes);
        auto* file = new XrPropertyBag;
        file->add_string(1, XrString(name.c_str()));
        file->add_string(2, XrString(md5_hex(bytes).c_str()));
        file->add_int(3, int(bytes.size()));
        file->add_int(5, 1);
        bag->add_bag(8, file);
        total += std::int64_t(bytes.size());
    }
    list.add_bag(1, bag);
    XrByteArray out;
    EXPECT_EQ(list.encode(out), XrPropertyBag::OK);
    write(content + "components/map_second.ber",
          std::string(reinterpret_cast<const char*>(out.get_items()), out.get_num_items()));
    write(content + "map.lst", "Second;map_second;" + std::to_string(total) + ";" + std::to_string(total * 2) +
                                   ";8\n");
}

bool white(GdkPixbuf* pb, int x, int y)
{
    const XrRgb c = xr_pixel(pb, x, y);
    return c.r > 250 && c.g > 250 && c.b > 250;
}

// Whether the list row around y shows text or its selection: a pixel
// clearly darker than the white list in its left half.
bool row_shown(GdkPixbuf* pb, int y)
{
    for (int yy = y - 6; yy <= y + 6; ++yy)
        for (int x = 18; x < 400; ++x) {
            const XrRgb c = xr_pixel(pb, x, yy);
            if (c.r + c.g + c.b < 600)
                return true;
        }
    return false;
}

// The progress window's bar and frame over the middle of the list.
bool progress_shown(GdkPixbuf* pb)
{
    return !white(pb, 300, 200) && !white(pb, 500, 280);
}

template <class F>
bool wait_for(F done, int seconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        pause_ms(200);
    }
    return true;
}

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
