// How mapgen compile treats what lies at OUT: only a map folder it wrote is
// replaced (unless --force), the replacement is one exchange, leftovers of
// killed runs are removed, and a run killed at any write point leaves the
// old map or the new one at OUT.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/xr_command_run.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/compile_osm.h"

namespace fs = std::filesystem;

namespace {

const std::string atlantis = std::string(XR_TEST_SOURCE_DIR) + "/tools/atlantis/atlantis.osm";

std::map<std::string, std::string> folder_bytes(const std::string& dir)
{
    std::map<std::string, std::string> files;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec))
        files[e.path().filename().string()] = XrTempRoot::read_file(e.path().string());
    return files;
}

// The names in a folder, sorted, space-separated.
std::string names(const std::string& dir)
{
    std::vector<std::string> found;
    for (const auto& e : fs::directory_iterator(dir))
        found.push_back(e.path().filename().string());
    std::sort(found.begin(), found.end());
    std::string out;
    for (const std::string& n : found)
        out += n + " ";
    return out;
}

// The id of a process that has ended (and been reaped).
pid_t dead_pid()
{
    const pid_t pid = fork();
    if (pid == 0)
        _exit(0);
    waitpid(pid, nullptr, 0);
    return pid;
}

class CompileReplace : public ::testing::Test {
protected:
    bool compile(const std::string& out, const std::string& name, bool force, std::string& error)
    {
        XrCompileOptions options;
        options.name = name;
        options.force = force;
        XrCompileStats stats;
        return xr_compile_osm_file(atlantis, out, options, stats, error);
    }
    std::string out() const { return root.dir() + "/out/map"; }

    XrTempRoot root;
};

TEST_F(CompileReplace, OnlyAMapFolderOfTheCompilerIsReplacedUnlessForced)
{
    // The file list of a compiled map, as a folder written before the
    // compiler marked its folders holds it.
    std::string error;
    const std::string reference = root.dir() + "/reference";
    ASSERT_TRUE(compile(reference, "Reference", false, error)) << error;
    std::vector<std::string> map_files;
    for (const auto& e : fs::directory_iterator(reference))
        if (e.path().filename().string()[0] != '.')
            map_files.push_back(e.path().filename().string());

    struct Case {
        const char* what;
        std::vector<std::string> files; // what OUT holds before
        bool force;
        bool replaced;
    };
    const std::vector<Case> cases = {
        {"missing", {}, false, true},
        {"an empty folder", {""}, false, true},
        {"a user's files", {"notes.txt", "photo.jpg"}, false, false},
        {"a user's files, forced", {"notes.txt"}, true, true},
        {"a marked map folder with more in it", {".mapgen-compiled", "mapdata.ini", "extra.txt"}, false, true},
        {"an unmarked map folder", map_files, false, true},
        {"an unmarked map folder with a user's file", {"mapdata.ini", "graph.bin", "roads.qt", "mine.txt"}, false,
         false},
    };
    for (const Case& c : cases) {
        fs::remove_all(root.dir() + "/out");
        fs::create_directories(root.dir() + "/out");
        for (const std::string& f : c.files) {
            fs::create_directories(out());
            if (!f.empty())
                root.write_file("/out/map/" + f, "before");
        }
        const auto before = folder_bytes(out());
        error.clear();
        const bool ok = compile(out(), "Reference", c.force, error);
        EXPECT_EQ(ok, c.replaced) << c.what << ": " << error;
        if (c.replaced) {
            EXPECT_EQ(folder_bytes(out()), folder_bytes(reference)) << c.what;
        } else {
            EXPECT_NE(error.find("--force"), std::string::npos) << c.what << ": " << error;
            EXPECT_EQ(folder_bytes(out()), before) << c.what;
        }
        // Nothing beside OUT: no temporary or old folder stays.
        EXPECT_EQ(names(root.dir() + "/out"), c.replaced || !c.files.empty() ? "map " : "") << c.what;
    }
}

TEST_F(CompileReplace, LeftoversOfEndedRunsAreRemovedThoseOfRunningOnesKept)
{
    const std::string dead = std::to_string(dead_pid());
    const std::string alive = std::to_string(getppid());
    root.write_file("/out/map.part-" + dead + "/graph.bin", "cut off");
    root.write_file("/out/map.old-" + dead + "/graph.bin", "cut off");
    root.write_file("/out/map.part-" + alive + "/graph.bin", "still being written");
    root.write_file("/out/map.part-x/keep.txt", "not ours");
    std::string error;
    ASSERT_TRUE(compile(out(), "Atlantis", false, error)) << error;
    EXPECT_EQ(names(root.dir() + "/out"), "map map.part-" + alive + " map.part-x ");
}

// The kill-point test: mapgen replaces an older map in OUT; killed at each
// of its write points, OUT holds the old map or the new one, whole, and the
// next run leaves the new map and nothing beside it.
TEST_F(CompileReplace, KilledAtAnyWritePointOutIsTheOldMapOrTheNew)
{
    std::string error;
    const std::string old_ref = root.dir() + "/old", new_ref = root.dir() + "/new";
    ASSERT_TRUE(compile(old_ref, "Old", false, error)) << error;
    ASSERT_TRUE(compile(new_ref, "New", false, error)) << error;
    const auto old_bytes = folder_bytes(old_ref), new_bytes = folder_bytes(new_ref);
    ASSERT_NE(old_bytes, new_bytes);

    const std::string log = root.dir() + "/points.log";
    const std::string env = "KESTROVA_ROOT=" + root.dir() + " XR_KILL_PROGRAM=mapgen XR_KILL_LOG=" + log +
                            " LD_PRELOAD=" XR_TEST_BINARY_DIR "/tests/libxr_killpoint_shim.so"
                            " ASAN_OPTIONS=detect_leaks=0:verify_asan_link_order=0 ";
    const std::string command = std::string(XR_MAPGEN_PROGRAM) + " compile " + atlantis + " " + out() + " --name New";
    auto reset = [&] {
        fs::remove_all(root.dir() + "/out");
        fs::create_directories(root.dir() + "/out");
        fs::copy(old_ref, out());
        fs::remove(log);
    };
    reset();
    ASSERT_EQ(xr_run_command(env + command).status, 0);
    std::vector<std::string> points;
    {
        std::istringstream in(XrTempRoot::read_file(log));
        for (std::string line; std::getline(in, line);)
            points.push_back(line);
    }
    ASSERT_GT(points.size(), 10u);
    EXPECT_EQ(folder_bytes(out()), new_bytes);

    for (size_t at = 1; at <= points.size(); ++at) {
        reset();
        const XrCommandRun killed = xr_run_command(env + "XR_KILL_AT=" + std::to_string(at) + " " + command);
        EXPECT_NE(killed.status, 0) << "not killed at " << points[at - 1];
        const auto now = folder_bytes(out());
        EXPECT_TRUE(now == old_bytes || now == new_bytes) << "killed at " << points[at - 1];
        const XrCommandRun again = xr_run_command(command);
        ASSERT_EQ(again.status, 0) << again.out;
        EXPECT_EQ(folder_bytes(out()), new_bytes) << "after a kill at " << points[at - 1];
        EXPECT_EQ(names(root.dir() + "/out"), "map ") << "after a kill at " << points[at - 1];
    }
}

} // namespace
