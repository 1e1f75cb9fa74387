// The first start of the navigator cut off at its write points: killed at
// each one (a preloaded library counts the folders made, names changed,
// files created and written below the root), the next start opens the demo
// map and every file it copied is whole. A card or user folder too small
// for the copies ends the start in order and leaves the old state whole.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <map>
#include <set>
#include <sstream>
#include <string>

#include "navigator_run.h"

namespace fs = std::filesystem;

namespace {

const char* const shim_env = "LD_PRELOAD=" XR_TEST_BINARY_DIR "/tests/libxr_killpoint_shim.so";

// The navigator of a root, started with the shim (and the extra entries).
class KilledStart {
public:
    explicit KilledStart(const XrTempRoot& root) : root(root), run(root) {}

    // Starts once; the status after at most `seconds` (-1 killed or running).
    int start(const std::vector<std::string>& extra, int seconds)
    {
        std::vector<std::string> env = {shim_env, "XR_KILL_PROGRAM=kestrova-navigator",
                                        "XR_KILL_LOG=" + log_path()};
        env.insert(env.end(), extra.begin(), extra.end());
        run.pid = fork();
        if (run.pid == 0) {
            for (const std::string& e : env)
                putenv(strdup(e.c_str()));
            // The shim comes first in the library list, before the sanitizer.
            setenv("ASAN_OPTIONS", "detect_leaks=0:verify_asan_link_order=0", 1);
            const int fd = ::open((root.dir() + "/start.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(fd, 1);
            dup2(fd, 2);
            const std::string path = XrNavigatorRun::binary("apps/maemo_map/kestrova-navigator");
            execl(path.c_str(), path.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        return run.wait_exit(seconds);
    }

    // Starts without the shim and waits until the map is open (idle stage
    // 2 reached); true when it was, then the navigator is ended.
    bool opens_map(std::string& output)
    {
        // The log of an earlier start must not answer for this one.
        fs::remove(root.dir() + "/navigator.log");
        run.start();
        bool open = false;
        for (int i = 0; i < 60 && !open; ++i) {
            output = run.output();
            open = output.find("maps dialog") != std::string::npos;
            if (!open && (run.wait_exit(1) != -1 || run.pid < 0))
                break;
        }
        if (open)
            open = run.terminate() == 0;
        output = run.output();
        return open;
    }

    std::string log_path() const { return root.dir() + "/points.log"; }
    std::string start_output() const { return XrTempRoot::read_file(root.dir() + "/start.log"); }

private:
    const XrTempRoot& root;
    XrNavigatorRun run;
};

// The write points of a log: kind letter and path a line.
std::vector<std::string> read_points(const std::string& log)
{
    std::vector<std::string> points;
    std::istringstream in(XrTempRoot::read_file(log));
    for (std::string line; std::getline(in, line);)
        points.push_back(line);
    return points;
}

// What a first start must leave: every copied file equal to its source.
// The user's settings hold every shipped line: the navigator saves them
// once it has chosen the voice set, so that line may differ.
bool holds_shipped_settings(const XrTempRoot& root)
{
    const std::string user = XrTempRoot::read_file(root.dir() + "/home/user/.kestrova/settings.txt");
    std::istringstream shipped(XrTempRoot::read_file(root.dir() + "/usr/share/kestrova/settings.txt"));
    std::set<std::string> lines;
    std::istringstream in(user);
    for (std::string line; std::getline(in, line);)
        lines.insert(line);
    for (std::string line; std::getline(shipped, line);) {
        if (line.rfind("soundset=", 0) != 0 && lines.count(line) == 0)
            return false;
    }
    return !user.empty();
}

std::vector<std::string> torn_files(const XrTempRoot& root)
{
    const std::string shipped = root.dir() + "/usr/share/kestrova";
    const std::string card = root.dir() + "/media/mmc2/map";
    const std::vector<std::pair<std::string, std::string>> trees = {
        {shipped + "/atlantis", card + "/mapdata"},
        {shipped + "/fonts", card + "/kestrova/fonts"},
        {shipped + "/sounds/english", card + "/kestrova/sounds/sound_eng"},
        {shipped + "/atlantis/maemo.reg", card + "/kestrova/maemo.reg"},
        {shipped + "/penaltymap_DEFAULT.txt", card + "/kestrova/penaltymap_DEFAULT.txt"},
        {shipped + "/legal/licence.txt", card + "/kestrova/legal/licence.txt"},
    };
    std::vector<std::string> torn;
    if (!holds_shipped_settings(root))
        torn.push_back(root.dir() + "/home/user/.kestrova/settings.txt");
    for (const auto& [from, to] : trees) {
        std::vector<std::pair<std::string, std::string>> files;
        if (fs::is_directory(from)) {
            for (const auto& e : fs::directory_iterator(from))
                files.emplace_back(e.path().string(), to + "/" + e.path().filename().string());
        } else {
            files.emplace_back(from, to);
        }
        for (const auto& [a, b] : files) {
            if (!fs::exists(b) || XrTempRoot::read_file(a) != XrTempRoot::read_file(b))
                torn.push_back(b);
        }
    }
    for (const auto& e : fs::recursive_directory_iterator(root.dir() + "/media")) {
        if (e.path().filename().string().find(".partial") != std::string::npos)
            torn.push_back(e.path().string() + " (left over)");
    }
    return torn;
}

// The points killed at: every folder made and name changed, and of the
// files created and written the first two of each folder (the voice set's
// dozens of prompts are copied alike).
std::vector<int> chosen_points(const std::vector<std::string>& points)
{
    std::vector<int> chosen;
    std::map<std::string, int> seen;
    for (size_t i = 0; i < points.size(); ++i) {
        const std::string& p = points[i];
        const std::string folder = p.substr(0, p.rfind('/'));
        if (p[0] == 'm' || p[0] == 'r' || seen[folder]++ < 2)
            chosen.push_back(static_cast<int>(i) + 1);
    }
    return chosen;
}

TEST(FirstStartKill, EveryCutOffStartIsFinishedByTheNext)
{
    XrOwnDisplay display;
    ASSERT_TRUE(display.ok());
    // The points of a whole first start (the map open, then ended).
    std::vector<std::string> points;
    {
        XrTempRoot root;
        root.make_dirs("/media/mmc2");
        KilledStart count(root);
        count.start({}, 0);
        std::string output;
        for (int i = 0; i < 300 && output.find("maps dialog") == std::string::npos; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            output = count.start_output();
        }
        ASSERT_NE(output.find("maps dialog"), std::string::npos) << output;
        points = read_points(count.log_path());
        ASSERT_TRUE(torn_files(root).empty());
    }
    ASSERT_GT(points.size(), 50u);
    const std::vector<int> chosen = chosen_points(points);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(10);
    for (int at : chosen) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "stopped before point " << at;
        XrTempRoot root;
        root.make_dirs("/media/mmc2");
        KilledStart start(root);
        const int status = start.start({"XR_KILL_AT=" + std::to_string(at)}, 60);
        const std::vector<std::string> done = read_points(start.log_path());
        ASSERT_EQ(status, -1) << "not killed at " << points[at - 1] << "\n" << start.start_output();
        ASSERT_EQ(done.size(), static_cast<size_t>(at)) << points[at - 1];
        std::string output;
        EXPECT_TRUE(start.opens_map(output)) << "killed at " << points[at - 1] << "\n" << output;
        const std::vector<std::string> torn = torn_files(root);
        EXPECT_TRUE(torn.empty()) << "killed at " << points[at - 1] << ": " << torn.front();
    }
}

// A small file system mounted below the root for the test's life; ok()
// is false where the machine forbids mounts.
class SmallMount {
public:
    SmallMount(const std::string& dir, const char* size) : dir(dir)
    {
        fs::create_directories(dir);
        mounted = ::mount("tmpfs", dir.c_str(), "tmpfs", 0, (std::string("size=") + size).c_str()) == 0;
    }
    ~SmallMount()
    {
        if (mounted)
            ::umount2(dir.c_str(), MNT_DETACH);
    }
    bool ok() const { return mounted; }

private:
    std::string dir;
    bool mounted = false;
};

// A file filling a folder's file system up to its last few bytes.
void fill(const std::string& dir)
{
    const int fd = ::open((dir + "/filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::string block(4096, 'f');
    while (::write(fd, block.data(), block.size()) > 0) {
    }
    ::close(fd);
}

TEST(FirstStartKill, FullCardEndsWithTheNoteAndKeepsTheCardAsItWas)
{
    XrOwnDisplay display;
    ASSERT_TRUE(display.ok());
    XrTempRoot root;
    // Room for the user's own map and part of the program folder only.
    SmallMount card(root.dir() + "/media/mmc2", "600k");
    if (!card.ok())
        GTEST_SKIP() << "no tmpfs mount allowed here: " << std::strerror(errno);
    root.write_file("/media/mmc2/map/mapdata/mine.txt", "user data");
    KilledStart start(root);
    EXPECT_EQ(start.start({}, 60), 0) << start.start_output();
    EXPECT_NE(start.start_output().find("Failed to start without valid MMC"), std::string::npos)
        << start.start_output();
    std::vector<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(root.dir() + "/media/mmc2"))
        names.push_back(e.path().string().substr(root.dir().size()));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"/media/mmc2/map", "/media/mmc2/map/mapdata",
                                               "/media/mmc2/map/mapdata/mine.txt"}));
    EXPECT_EQ(XrTempRoot::read_file(root.dir() + "/media/mmc2/map/mapdata/mine.txt"), "user data");
}

TEST(FirstStartKill, FullUserFolderLeavesNoTornSettingsAndTheMapStillOpens)
{
    XrOwnDisplay display;
    ASSERT_TRUE(display.ok());
    XrTempRoot root;
    root.make_dirs("/media/mmc2");
    SmallMount home(root.dir() + "/home", "64k");
    if (!home.ok())
        GTEST_SKIP() << "no tmpfs mount allowed here: " << std::strerror(errno);
    root.make_dirs("/home/user");
    fill(root.dir() + "/home");
    KilledStart start(root);
    std::string output;
    EXPECT_TRUE(start.opens_map(output)) << output;
    EXPECT_NE(output.find("no settings file copied"), std::string::npos) << output;
    for (const auto& e : fs::recursive_directory_iterator(root.dir() + "/home/user"))
        EXPECT_EQ(e.path().filename().string().find(".partial"), std::string::npos) << e.path();
    // With room again, the next start installs the shipped settings whole
    // (an empty file that a full disk left is no settings file).
    fs::remove(root.dir() + "/home/filler");
    EXPECT_TRUE(start.opens_map(output)) << output;
    EXPECT_TRUE(holds_shipped_settings(root));
}

} // namespace
