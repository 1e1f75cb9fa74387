// The maps window's download ending otherwise than installed, through the
// whole navigator against the loopback update server: cancelled in the
// progress window, the server gone, a file whose MD5 is wrong. In each the
// card keeps the installed older version of the map whole, the working
// folder and the download list are gone, and a failure (not a cancel)
// shows the catalogue's note text, never a message key.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/bgxfer/updatesim_server.h"
#include "update_content.h"

extern "C" __attribute__((used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\nleak:libgtk-x11\nleak:libgdk-x11\nleak:libglib\nleak:libgobject\nleak:libpango\n";
}

namespace {

// The progress window's cancel button (screen coordinates).
constexpr int cancel_x = 399, cancel_y = 290;

std::map<std::string, std::string> folder_files(const std::string& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), folder).string()] = XrTempRoot::read_file(entry.path().string());
    return files;
}

std::string notes(const std::string& output)
{
    std::string out;
    for (size_t at = output.find("update note: "); at != std::string::npos; at = output.find("update note: ", at + 1))
        out += output.substr(at + 13, output.find('\n', at) - at - 13) + "|";
    return out;
}

class MapsDialogFailTest : public ::testing::Test {
protected:
    void shot(const std::string& name)
    {
        if (const char* dir = std::getenv("XR_TEST_SHOTS")) {
            GdkPixbuf* pb = run.screenshot();
            if (pb != nullptr) {
                gdk_pixbuf_save(pb, (std::string(dir) + "/fail-" + name + ".png").c_str(), "png", nullptr, nullptr);
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
};

TEST_F(MapsDialogFailTest, CancelledOrFailedDownloadKeepsTheInstalledMapWhole)
{
    ASSERT_TRUE(display.ok());
    enum Way { CANCEL, SERVER_GONE, BAD_MD5 };
    struct Case {
        const char* name;
        Way way;
        const char* note; // the English note; empty: none
    } cases[] = {
        {"cancel", CANCEL, ""},
        {"server-gone", SERVER_GONE, "The map could not be downloaded."},
        {"bad-md5", BAD_MD5, "The map could not be downloaded."},
    };
    const std::string content = root.make_dirs("/srv/content/");
    // A large extra file, sent slowly below, keeps the download going.
    write_content(content, 6 * 1024 * 1024);
    const std::string files = content + "components/map_second/1.2.0.3/";
    const std::string card = root.dir() + "/media/mmc2/map/";
    // The older version installed: the same files, an older map version.
    for (const auto& entry : fs::directory_iterator(files))
        write(card + "mapdata_Second/" + entry.path().filename().string(), XrTempRoot::read_file(entry.path().string()));
    write(card + "mapdata_Second/version.txt", "GUID: map_second\nVersion: 0.9\nMap version: 7\n");
    const auto installed = folder_files(card + "mapdata_Second");
    const std::string settings = root.dir() + "/home/user/.kestrova/settings.txt";

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string big = XrTempRoot::read_file(files + "big.dat");
        if (c.way == BAD_MD5) // the bytes served differ from those listed
            write(files + "big.dat", std::string(big.size(), 'x'));
        auto server = std::make_unique<UpdatesimServer>(
            content, root.dir(),
            c.way == CANCEL ? std::vector<std::string>{"--chunk-delay", "0.1"} : std::vector<std::string>{});
        ASSERT_GT(server->port(), 0);
        std::string text = XrTempRoot::read_file(XrTempRoot::stage_dir() + "/usr/share/kestrova/settings.txt");
        text.replace(text.find("updateaddress=update.kestrova.example"), 37, "updateaddress=127.0.0.1");
        text.replace(text.find("updateport=80"), 13, "updateport=" + std::to_string(server->port()));
        write(settings, text);

        run.start();
        ASSERT_TRUE(xr_wait_map(run)) << run.output();
        xdo("search --onlyvisible --classname kestrova-navigator windowfocus --sync");
        pause_ms(800);
        xdo("key F4");
        pause_ms(400);
        xdo("key --delay 80 Down Down Down Return");
        ASSERT_TRUE(window_shown("Maps", true)) << run.output();
        pause_ms(600);
        click(175, 16);        // "Available maps"
        click(655, 459, 2000); // "update"
        click(200, 55);        // the newer version offered
        if (c.way == SERVER_GONE)
            server.reset();
        click(562, 459, 300); // "download"
        if (c.way == CANCEL) {
            EXPECT_TRUE(run.wait_screen(10, [](GdkPixbuf* pb) { return progress_shown(pb); })) << run.output();
            pause_ms(1500);
            shot(std::string(c.name) + "-progress");
            click(cancel_x, cancel_y, 500);
        }
        if (*c.note != 0) {
            // The note over the window; its OK closes it.
            EXPECT_TRUE(wait_for([&] { return !notes(run.output()).empty(); }, 60)) << run.output();
            pause_ms(1000);
            shot(std::string(c.name) + "-note");
            xdo("key Return");
            pause_ms(500);
        }
        // The window is idle again once the progress window has gone.
        EXPECT_TRUE(run.wait_screen(60, [](GdkPixbuf* pb) { return !progress_shown(pb); })) << run.output();
        shot(std::string(c.name) + "-ended");
        EXPECT_TRUE(wait_for([&] { return !fs::exists(card + "kestrova/update"); }, 10)) << run.output();
        EXPECT_FALSE(fs::exists(card + "map_second.dl"));
        EXPECT_TRUE(folder_files(card + "mapdata_Second") == installed) << "the installed version is whole";
        const std::string said = notes(run.output());
        EXPECT_EQ(said, *c.note != 0 ? std::string(c.note) + "|" : std::string()) << run.output();
        EXPECT_EQ(said.find("r_str_"), std::string::npos);
        EXPECT_EQ(run.terminate(), 0) << run.output();
        write(files + "big.dat", big);
    }
}

} // namespace
