#include "common/os/xr_dirtree.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "common/misc/xr_path_resolver.h"
#include "support/xr_temp_root.h"

namespace fs = std::filesystem;

namespace {

XrString wide(const std::string& s)
{
    return from_platform_path(s.c_str());
}

// Every file and folder below dir, relative, folders ending with '/'.
std::set<std::string> tree(const std::string& dir)
{
    std::set<std::string> out;
    if (!fs::exists(dir))
        return out;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        std::string rel = fs::relative(e.path(), dir).string();
        out.insert(e.is_directory() ? rel + "/" : rel);
    }
    return out;
}

class DirTree : public ::testing::Test {
protected:
    std::string abs(const std::string& rel) const { return root.dir() + rel; }
    bool move(const std::string& from, const std::string& to) const
    {
        XrString f = wide(abs(from));
        XrString t = wide(abs(to));
        return move_directory_tree(f, t);
    }

    XrTempRoot root;
};

TEST_F(DirTree, MovesFilesAndSubfoldersKeepsTheSourceFolder)
{
    root.write_file("/src/a.txt", "a");
    root.write_file("/src/s/b.txt", "b");
    root.write_file("/src/s/t/u/c.txt", "c");
    root.make_dirs("/src/s/empty");
    root.make_dirs("/dst");
    ASSERT_TRUE(move("/src", "/dst"));
    EXPECT_EQ(tree(abs("/dst")), (std::set<std::string>{"a.txt", "s/", "s/b.txt", "s/t/", "s/t/u/", "s/t/u/c.txt",
                                                        "s/empty/"}));
    // Emptied source subfolders go, deepest first; the source folder stays.
    EXPECT_TRUE(fs::is_directory(abs("/src")));
    EXPECT_EQ(tree(abs("/src")), std::set<std::string>{});
    std::ifstream in(abs("/dst/s/t/u/c.txt"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "c");
}

TEST_F(DirTree, MakesTheDestinationAsParentOfASubfolder)
{
    root.write_file("/src/a.txt", "a");
    root.write_file("/src/s/b.txt", "b");
    ASSERT_TRUE(move("/src", "/new/dst"));
    EXPECT_EQ(tree(abs("/new/dst")), (std::set<std::string>{"a.txt", "s/", "s/b.txt"}));
}

TEST_F(DirTree, PathsAreNormalisedInPlace)
{
    root.write_file("/src/s/b.txt", "b");
    XrString from = wide(abs("/src/"));
    XrString to = wide(abs("\\dst\\"));
    ASSERT_TRUE(move_directory_tree(from, to));
    EXPECT_EQ(from, wide(abs("/src")));
    EXPECT_EQ(to, wide(abs("/dst")));
    EXPECT_EQ(tree(abs("/dst")), (std::set<std::string>{"s/", "s/b.txt"}));
}

TEST_F(DirTree, FilesOnlyIntoAMissingDestinationFails)
{
    root.write_file("/src/a.txt", "a");
    root.write_file("/src/b.txt", "b");
    EXPECT_FALSE(move("/src", "/dst"));
    EXPECT_EQ(tree(abs("/src")), (std::set<std::string>{"a.txt", "b.txt"}));
    EXPECT_FALSE(fs::exists(abs("/dst")));
}

TEST_F(DirTree, MissingSourceIsAFailure)
{
    root.make_dirs("/dst");
    EXPECT_FALSE(move("/none", "/dst"));
    root.write_file("/file", "x");
    EXPECT_FALSE(move("/file", "/dst"));
}

TEST_F(DirTree, UnreadableSubfolderMovesNothing)
{
    root.write_file("/src/a.txt", "a");
    root.write_file("/src/s/b.txt", "b");
    root.make_dirs("/dst");
    for (const char* d : {"", "/src", "/dst"})
        chmod(abs(d).c_str(), 0777);
    chmod(abs("/src/s").c_str(), 0);
    // Run as an ordinary user, who cannot list the folder.
    EXPECT_EXIT(
        {
            if (geteuid() == 0 && setuid(65534) != 0)
                _exit(3);
            _exit(move("/src", "/dst") ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
    chmod(abs("/src/s").c_str(), 0755);
    EXPECT_EQ(tree(abs("/src")), (std::set<std::string>{"a.txt", "s/", "s/b.txt"}));
    EXPECT_EQ(tree(abs("/dst")), std::set<std::string>{});
}

TEST_F(DirTree, CollectRecordsBothSides)
{
    root.write_file("/src/a.txt", "a");
    root.write_file("/src/s/b.txt", "b");
    XrHash<XrString, XrString> dirs(100, false, 80);
    XrHash<XrString, XrString> files(100, false, 80);
    EXPECT_FALSE(collect_directory_tree(wide(abs("/none")), wide(abs("/dst")), dirs, files));
    EXPECT_EQ(dirs.get_count() + files.get_count(), 0u);
    EXPECT_TRUE(collect_directory_tree(wide(abs("/src")), wide(abs("/dst")), dirs, files));
    ASSERT_EQ(dirs.get_count(), 1u);
    ASSERT_EQ(files.get_count(), 2u);
    XrString other;
    EXPECT_TRUE(dirs.find(wide(abs("/dst/s")), other)); // keyed by destination
    EXPECT_EQ(other, wide(abs("/src/s")));
    EXPECT_TRUE(files.find(wide(abs("/src/s/b.txt")), other)); // keyed by source
    EXPECT_EQ(other, wide(abs("/dst/s/b.txt")));
}

TEST_F(DirTree, LongPathsAreNotCut)
{
    // Nested folder names make paths far beyond 254 characters.
    std::string rel = "/src";
    for (int i = 0; i < 6; ++i)
        rel += "/" + std::string(60, static_cast<char>('a' + i));
    root.write_file(rel + "/" + std::string(200, 'f') + ".txt", "deep");
    root.make_dirs("/dst");
    std::string moved = abs("/dst" + rel.substr(4) + "/" + std::string(200, 'f') + ".txt");
    ASSERT_GT(moved.size(), 254u);
    ASSERT_TRUE(move("/src", "/dst"));
    EXPECT_TRUE(fs::exists(moved));
    EXPECT_EQ(tree(abs("/src")), std::set<std::string>{});
}

TEST_F(DirTree, FileExistsIgnoringExtension)
{
    root.write_file("/x/100y.ogg", "");
    root.write_file("/x/200Y.wav", "");
    root.make_dirs("/x/300y");
    root.write_file("/x/plain", "");
    root.write_file("/a.b/c.wav", "");
    struct {
        const char* path;
        bool expected;
    } cases[] = {
        {"/x/100y.wav", true},  {"/x/100y", true},     {"/x/200y.wav", false}, {"/x/300y.wav", false},
        {"/x/plain.mp3", true}, {"/x/100.wav", false}, {"/none/100y.wav", false},
        {"/a.b/c", true}, // a dot in the folder name is not an extension
    };
    for (const auto& c : cases)
        EXPECT_EQ(file_exists_ignoring_extension(wide(abs(c.path)).c_str()), c.expected) << c.path;
    EXPECT_FALSE(file_exists_ignoring_extension(L"100y.wav"));
}

} // namespace
