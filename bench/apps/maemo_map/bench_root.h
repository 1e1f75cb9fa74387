// What the whole-program benchmarks share: the build tree whose navigator
// runs, and a temporary root holding that tree's shipped files and an empty
// memory card.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace xr_bench {

// This build tree, or another one named by KESTROVA_BENCH_TREE (to time
// two builds side by side with one benchmark).
inline std::string build_dir()
{
    const char* other = std::getenv("KESTROVA_BENCH_TREE");
    return other != nullptr && *other != '\0' ? other : XR_BUILD_DIR;
}

class Root {
public:
    Root()
    {
        namespace fs = std::filesystem;
        std::string templ = (fs::temp_directory_path() / "xr-bench-XXXXXX").string();
        dir = mkdtemp(templ.data());
        fs::create_directories(dir + "/usr/share");
        fs::create_directories(dir + "/media/mmc2");
        fs::copy(build_dir() + "/stage/usr/share", dir + "/usr/share", fs::copy_options::recursive);
    }
    ~Root() { std::filesystem::remove_all(dir); }
    Root(const Root&) = delete;
    Root& operator=(const Root&) = delete;
    std::string dir;
};

} // namespace xr_bench
