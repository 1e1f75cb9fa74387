// A damaged active map, through the real launcher: the navigator marks the
// map, moves it aside whole, installs the demo map and ends with 42; the
// launcher starts it again on the demo map. A demo map that cannot open
// either is tried once: a note, a status other than 42, and the launcher
// ends.
#include <gtest/gtest.h>

#include "navigator_run.h"

namespace fs = std::filesystem;

namespace {

const char* const damaged_ini = "REGEDIT4\n\n[\\general]\nprojection=nowhere://0\nname=Atlantis\n";

class MapRecoveryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(display.ok());
        xr_install_demo_card(root);
        root.make_dirs("/usr/libexec");
        fs::create_symlink(XrNavigatorRun::binary("apps/maemo_map/kestrova-navigator"),
                           root.dir() + "/usr/libexec/kestrova-navigator");
        root.write_file("/media/mmc2/map/mapdata/mapdata.ini", damaged_ini);
        setenv("HOME", "/home/user", 1);
    }
    ~MapRecoveryTest() override
    {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }

    void start_launcher()
    {
        pid = fork();
        if (pid == 0) {
            setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
            const int fd = ::open(log().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(fd, 1);
            dup2(fd, 2);
            const std::string path = XrNavigatorRun::binary("launcher/launcher");
            execl(path.c_str(), path.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    // The launcher's status once it ended within `seconds`; -1 otherwise.
    int wait_launcher(int seconds)
    {
        for (int i = 0; i < seconds * 10; ++i) {
            int st = 0;
            if (waitpid(pid, &st, WNOHANG) == pid) {
                pid = -1;
                return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return -1;
    }
    std::string log() const { return root.dir() + "/launcher.log"; }
    std::string output() const { return XrTempRoot::read_file(log()); }
    std::string card(const std::string& name) const { return root.dir() + "/media/mmc2/map/" + name; }
    // The map folders on the card, sorted.
    std::vector<std::string> map_folders() const
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(card("")))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    static int count(const std::string& text, const std::string& what)
    {
        int n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
            ++n;
        return n;
    }

    XrOwnDisplay display;
    XrTempRoot root;
    XrNavigatorRun run{root};
    pid_t pid = -1;
};

TEST_F(MapRecoveryTest, DamagedMapIsMovedAsideAndTheRestartOpensTheDemoMap)
{
    start_launcher();
    // The restarted navigator shows the demo map's land.
    ASSERT_TRUE(run.wait_screen(90, [](GdkPixbuf* pb) { return xr_is_land(xr_pixel(pb, 300, 150)); })) << output();
    EXPECT_EQ(count(output(), "the demo map is in place; starting again"), 1) << output();
    kill(pid, SIGTERM);
    EXPECT_EQ(wait_launcher(20), 0) << output();

    // Beside the maps, the add-on folder that start-up installs.
    EXPECT_EQ(map_folders(), (std::vector<std::string>{"extensions", "kestrova", "mapdata", "mapdata_Corrupted"}));
    // The damaged map keeps its files as they were, with its marker.
    EXPECT_EQ(XrTempRoot::read_file(card("mapdata_Corrupted/mapdata.ini")), damaged_ini);
    EXPECT_TRUE(fs::exists(card("mapdata_Corrupted/.corrupted")));
    // The demo map is whole and, having opened, no longer a fresh recovery.
    const std::string shipped = root.dir() + "/usr/share/kestrova/atlantis";
    for (const auto& e : fs::directory_iterator(shipped))
        EXPECT_EQ(XrTempRoot::read_file(card("mapdata/" + e.path().filename().string())),
                  XrTempRoot::read_file(e.path().string()))
            << e.path();
    EXPECT_FALSE(fs::exists(card("mapdata/.recovered")));
}

TEST_F(MapRecoveryTest, DemoMapThatCannotOpenIsTriedOnceAndTheLauncherEnds)
{
    root.write_file("/usr/share/kestrova/atlantis/mapdata.ini", damaged_ini);
    start_launcher();
    EXPECT_EQ(wait_launcher(90), 0) << output();
    const std::string out = output();
    EXPECT_EQ(count(out, "the demo map is in place; starting again"), 1) << out;
    EXPECT_EQ(count(out, "cannot be opened either"), 1) << out;
    EXPECT_EQ(count(out, "note r_str_no_mmc_title r_str_no_mmc_message"), 1) << out;
    // One folder moved aside, none added by a second round.
    EXPECT_EQ(map_folders(), (std::vector<std::string>{"extensions", "kestrova", "mapdata", "mapdata_Corrupted"}));
}

} // namespace
