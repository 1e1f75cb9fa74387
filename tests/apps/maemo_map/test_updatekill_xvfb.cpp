// The navigator killed (SIGKILL) while the maps window downloads a newer
// version of an installed map, and again while it installs it: after each
// start the card holds the old map folder whole, the active map opens, the
// next download resumes the half-fetched file with a Range request, and the
// last one installs the new version whole.
#include <gtest/gtest.h>

#include <signal.h>

#include <map>

#include "common/bgxfer/updatesim_server.h"
#include "update_content.h"

extern "C" __attribute__((used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\nleak:libgtk-x11\nleak:libgdk-x11\nleak:libglib\nleak:libgobject\nleak:libpango\n";
}

namespace {

void click(int x, int y, int ms = 500)
{
    xdo("mousemove --sync " + std::to_string(x) + " " + std::to_string(y) + " click 1");
    pause_ms(ms);
}

// The files of a folder, name to bytes.
std::map<std::string, std::string> folder_files(const std::string& folder)
{
    std::map<std::string, std::string> out;
    if (fs::is_directory(folder))
        for (const auto& e : fs::directory_iterator(folder))
            out[e.path().filename().string()] = XrTempRoot::read_file(e.path().string());
    return out;
}

class UpdateKillTest : public ::testing::Test {
protected:
    // Starts the navigator and asks the maps window for the offered map.
    void start_download()
    {
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
        click(200, 55);        // the offered map
        click(562, 459, 100);  // "download"
    }
    void kill_navigator()
    {
        kill(run.pid, SIGKILL);
        run.wait_exit(10);
    }

    XrOwnDisplay display;
    XrSessionBus bus;
    XrTempRoot root;
    XrNavigatorRun run{root};
};

TEST_F(UpdateKillTest, KilledDownloadAndInstallLeaveTheOldMapAndResume)
{
    ASSERT_TRUE(display.ok());
    const std::string content = root.make_dirs("/srv/content/");
    write_content(content, 4 << 20);
    const std::string card = root.dir() + "/media/mmc2/map/";
    // Version 7 of the map is installed beside the demo map.
    fs::create_directories(card + "mapdata_Second");
    fs::copy(content + "components/map_second/1.2.0.3", card + "mapdata_Second", fs::copy_options::recursive);
    fs::remove(card + "mapdata_Second/big.dat");
    write(card + "mapdata_Second/version.txt", "GUID: map_second\nVersion: 1.0\nMap version: 7\n");
    const auto old_files = folder_files(card + "mapdata_Second");
    const auto new_files = folder_files(content + "components/map_second/1.2.0.3");

    UpdatesimServer server(content, root.dir(), {"--chunk-delay", "0.1"});
    ASSERT_GT(server.port(), 0);
    const std::string settings = root.dir() + "/home/user/.kestrova/settings.txt";
    std::string text = XrTempRoot::read_file(XrTempRoot::stage_dir() + "/usr/share/kestrova/settings.txt");
    text.replace(text.find("updateaddress=update.kestrova.example"), 37, "updateaddress=127.0.0.1");
    text.replace(text.find("updateport=80"), 13, "updateport=" + std::to_string(server.port()));
    write(settings, text);
    const std::string partial = card + "kestrova/update/target/map_second/big.dat";

    // Killed in the middle of the big file.
    start_download();
    ASSERT_TRUE(wait_for([&] { return fs::exists(partial) && fs::file_size(partial) > (1 << 20); }, 60))
        << run.output();
    kill_navigator();
    const auto fetched = fs::file_size(partial);
    EXPECT_LT(fetched, std::uintmax_t(4 << 20));
    EXPECT_EQ(folder_files(card + "mapdata_Second"), old_files);

    // Started again: the file resumes; killed once the installation began.
    start_download();
    ASSERT_TRUE(wait_for([&] { return fs::exists(card + ".mapdata_Second.staging"); }, 90)) << run.output();
    kill_navigator();
    EXPECT_EQ(folder_files(card + "mapdata_Second"), old_files);
    bool resumed = false;
    for (const auto& line : server.requests())
        if (line.find("big.dat") != std::string::npos && line.find("bytes=") != std::string::npos) {
            const auto at = line.find("bytes=") + 6;
            const auto offset = std::stoull(line.substr(at));
            resumed = resumed || (offset > 0 && offset <= fetched);
        }
    EXPECT_TRUE(resumed) << "the second download asks for the rest of the file";

    // The third run installs the new version whole.
    start_download();
    ASSERT_TRUE(wait_for([&] { return fs::exists(card + "versions/map_second"); }, 90)) << run.output();
    EXPECT_EQ(folder_files(card + "mapdata_Second"), new_files);
    EXPECT_FALSE(fs::exists(card + ".mapdata_Second.staging"));
    EXPECT_NE(XrTempRoot::read_file(card + "mapdata/mapdata.ini").find("name=Atlantis"), std::string::npos);
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

} // namespace
