// A component folder installed as a whole: the staging folder starts as the
// installed one, changes there leave the installed folder untouched, and
// the commit puts the staged content in place in one step.
#include "common/update/xr_updatefiles.h"
#include "support/xr_temp_root.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

void write(const std::string& path, const std::string& bytes)
{
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST(ComponentFolder, StagedChangesReachTheCardOnlyAtTheCommit)
{
    XrTempRoot root;
    const std::string card = root.make_dirs("/media/mmc1/map/");
    const struct {
        const char* what;
        bool installed_before;
    } cases[] = {{"over an installed folder", true}, {"a new folder", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(card + "mapdata_b");
        if (c.installed_before) {
            write(card + "mapdata_b/roads.qt", "old roads");
            write(card + "mapdata_b/sub/kept.txt", "kept");
            write(card + "mapdata_b/gone.dat", "gone");
        }
        const XrString live((card + "mapdata_b").c_str());
        const XrString staging = xr_update_staging_path(live);
        const std::string staged(wide_to_narrow_static(staging.c_str()));
        EXPECT_EQ(staged, card + ".mapdata_b.staging");
        write(staged + "/leftover", "of a killed run");
        ASSERT_TRUE(xr_update_stage_folder(live, staging));
        EXPECT_FALSE(fs::exists(staged + "/leftover"));
        EXPECT_EQ(fs::exists(staged + "/sub/kept.txt"), c.installed_before);

        // Files are replaced by renames, as the installation does.
        write(staged + "/roads.qt.tmp", "new roads");
        fs::rename(staged + "/roads.qt.tmp", staged + "/roads.qt");
        fs::remove(staged + "/gone.dat");
        if (c.installed_before) {
            EXPECT_EQ(XrTempRoot::read_file(card + "mapdata_b/roads.qt"), "old roads");
            EXPECT_TRUE(fs::exists(card + "mapdata_b/gone.dat"));
        }

        ASSERT_TRUE(xr_update_commit_folder(live, staging));
        EXPECT_EQ(XrTempRoot::read_file(card + "mapdata_b/roads.qt"), "new roads");
        EXPECT_FALSE(fs::exists(card + "mapdata_b/gone.dat"));
        EXPECT_EQ(fs::exists(card + "mapdata_b/sub/kept.txt"), c.installed_before);
        EXPECT_FALSE(fs::exists(staged));
    }
}

} // namespace
