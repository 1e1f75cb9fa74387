#include "common/misc/xr_path_resolver.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "common/container/xr_string.h"
#include "common/misc/xr_utf8.h"
#include "common/base/xr_root.h"
#include "support/xr_kill_test.h"
#include "support/xr_temp_root.h"

namespace fs = std::filesystem;

namespace {

XrString wide(const std::string& s)
{
    return from_platform_path(s.c_str());
}

// The text as UTF-8, separators kept.
std::string utf8(const XrString& s)
{
    BYTE* bytes = nullptr;
    XrUTF8::wide_to_utf8_alloc(s, &bytes);
    std::string out(reinterpret_cast<const char*>(bytes));
    delete[] bytes;
    return out;
}

std::string narrow(const XrString& s)
{
    std::string out;
    EXPECT_TRUE(to_platform_path(s, false, out));
    return out;
}

struct ResolveCase {
    const wchar_t* path;
    const char* expected; // "@" + absolute: under the root module
};

// A test-name-safe label of a wide text: letters and digits kept, others '_'.
std::string label(const wchar_t* s)
{
    std::string out;
    for (; *s != 0; ++s)
        out += (*s < 128 && std::isalnum(static_cast<int>(*s))) ? static_cast<char>(*s) : '_';
    return out;
}

void PrintTo(const ResolveCase& c, std::ostream* os)
{
    *os << label(c.path);
}

class PathResolverResolve : public ::testing::TestWithParam<ResolveCase> {};

TEST_P(PathResolverResolve, Rules)
{
    XrTempRoot root;
    setenv("HOME", "/home/tester", 1);
    XrPathResolver resolver(L"/media/mmc1/map/");
    const ResolveCase& c = GetParam();
    std::string expected = c.expected;
    if (expected[0] == '@')
        expected = XrRoot::path(expected.substr(1));
    EXPECT_EQ(utf8(resolver.resolve_path(XrString(c.path))), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PathResolverResolve,
    ::testing::Values(ResolveCase{L"?:", "?:"}, ResolveCase{L"ab", "ab"},
                      ResolveCase{L"?:\\mapdata\\poi.reg", "@/usr/share/kestrova/poi.reg"},
                      ResolveCase{L"?:\\Kestrova\\poi.reg", "@/usr/share/kestrova/poi.reg"},
                      ResolveCase{L"?:\\mapdata\\poi.reg.bak", "/media/mmc1/map/mapdata\\poi.reg.bak"},
                      ResolveCase{L"?:/kestrova/images/flag.png", "@/usr/share/kestrova/images/flag.png"},
                      ResolveCase{L"?:\\kestrova\\settings.txt", "@/home/tester/.kestrova/settings.txt"},
                      ResolveCase{L"?:\\mapdata\\unicode.binmap", "/media/mmc1/map/mapdata\\unicode.binmap"},
                      ResolveCase{L"?:/kestrova/trafficdata_fi.bin", "/media/mmc1/map/kestrova/trafficdata_fi.bin"},
                      ResolveCase{L"file:///?:/a.txt", "file:////media/mmc1/map/a.txt"},
                      ResolveCase{L"x?:/a.txt", "x?:/a.txt"}, ResolveCase{L"?:a.txt", "?:a.txt"},
                      ResolveCase{L"/tmp/plain", "/tmp/plain"}));

TEST(PathResolver, GlobalResolver)
{
    EXPECT_EQ(get_path_resolver(), nullptr);
    // Fixed places need no storage root.
    EXPECT_EQ(XrPathResolver::resolve(XrString(L"?:\\mapdata\\poi.reg")),
              wide(XrRoot::path("/usr/share/kestrova/poi.reg")));
    XrPathResolver resolver(L"/card/");
    set_path_resolver(&resolver);
    EXPECT_EQ(get_path_resolver(), &resolver);
    EXPECT_EQ(XrPathResolver::resolve(XrString(L"?:/x")), XrString(L"/card/x"));
    set_path_resolver(nullptr);
}

TEST(PathResolverDeathTest, StorageRootBeforeResolverIsFatal)
{
    ASSERT_EQ(get_path_resolver(), nullptr);
    EXPECT_DEATH(XrPathResolver::resolve(XrString(L"?:\\mapdata\\addr.dat")),
                 "xr_path_resolver is not instantiated yet");
}

struct CardCase {
    std::vector<std::string> dirs; // created below the root
    std::vector<std::string> files;
    int expected_card;             // -1: none
};

void PrintTo(const CardCase& c, std::ostream* os)
{
    for (const std::string& d : c.dirs)
        *os << d.substr(7) << "_"; // without "/media/"
    for (const std::string& f : c.files)
        *os << "file_" << f.substr(7) << "_";
    *os << "finds_" << c.expected_card;
}

class MapCardSearch : public ::testing::TestWithParam<CardCase> {};

TEST_P(MapCardSearch, SearchesFromNineDownToZero)
{
    XrTempRoot root;
    forget_map_card_root();
    const CardCase& c = GetParam();
    for (const std::string& d : c.dirs)
        root.make_dirs(d);
    for (const std::string& f : c.files)
        root.write_file(f, "x");
    const TCHAR* found = find_map_card_root();
    if (c.expected_card < 0) {
        EXPECT_EQ(found, nullptr);
        EXPECT_FALSE(get_map_card_flag());
        return;
    }
    ASSERT_NE(found, nullptr);
    std::string expected = XrRoot::path("/media/mmc" + std::to_string(c.expected_card) + "/map/");
    EXPECT_EQ(narrow(XrString(found)), expected);
    EXPECT_EQ(get_map_card_flag(), c.expected_card != 2);
    forget_map_card_root();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MapCardSearch,
    ::testing::Values(CardCase{{}, {}, -1}, CardCase{{"/media/mmc1/map/kestrova"}, {}, 1},
                      CardCase{{"/media/mmc1/map/kestrova", "/media/mmc2/map/kestrova"}, {}, 2},
                      CardCase{{"/media/mmc0/map/kestrova", "/media/mmc9/map/kestrova"}, {}, 9},
                      CardCase{{"/media/mmc0/map/kestrova"}, {}, 0},
                      CardCase{{"/media/mmc5/map", "/media/mmc1/map/kestrova"}, {}, 1}, // map without kestrova
                      CardCase{{"/media/mmc5/map"}, {}, -1},
                      CardCase{{"/media/mmc10/map/kestrova"}, {}, -1},
                      CardCase{{"/media/mmc3/map"}, {"/media/mmc3/map/kestrova"}, -1}, // a file, not a folder
                      CardCase{{"/media/mmc3/kestrova"}, {}, -1}));

TEST(MapCardSearchCache, FoundRootIsKeptUntilForgotten)
{
    XrTempRoot root;
    forget_map_card_root();
    EXPECT_EQ(find_map_card_root(), nullptr);
    std::string card = root.make_dirs("/media/mmc4/map/kestrova");
    const TCHAR* first = find_map_card_root(); // a failed search is not cached
    ASSERT_NE(first, nullptr);
    fs::remove_all(root.dir() + "/media/mmc4");
    root.make_dirs("/media/mmc6/map/kestrova");
    EXPECT_EQ(narrow(XrString(find_map_card_root())), XrRoot::path("/media/mmc4/map/"));
    forget_map_card_root();
    EXPECT_EQ(narrow(XrString(find_map_card_root())), XrRoot::path("/media/mmc6/map/"));
    forget_map_card_root();
}

TEST(PathResolver, SlashHelpers)
{
    EXPECT_EQ(backslashes_to_slashes(XrString(L"a\\b\\\\c/d")), XrString(L"a/b//c/d"));
    EXPECT_EQ(backslashes_to_slashes(XrString()), XrString());
    EXPECT_EQ(to_native_path(XrString(L"a\\b")), XrString(L"a\\b"));
}

TEST(PlatformPath, EncodingChoice)
{
    XrTempRoot root;
    std::string dir = root.make_dirs("/p");
    XrString wdir = wide(dir);
    std::string latin1_name = dir + "/caf\xE9";      // exists in its Latin-1 form
    std::ofstream(latin1_name).put('x');
    std::string out;

    // Existing Latin-1 form is taken when the UTF-8 form does not exist.
    ASSERT_TRUE(to_platform_path(wdir + L"/café", true, out));
    EXPECT_EQ(out, latin1_name);
    // A new file in an existing folder gets the UTF-8 form.
    ASSERT_TRUE(to_platform_path(wdir + L"/thé", true, out));
    EXPECT_EQ(out, dir + "/th\xC3\xA9");
    ASSERT_TRUE(to_platform_path(wdir + L"/thé", false, out));
    EXPECT_EQ(out, dir + "/th\xC3\xA9");
    // Backslashes become slashes.
    ASSERT_TRUE(to_platform_path(XrString(L"a\\b\\c"), true, out));
    EXPECT_EQ(out, "a/b/c");
    // Characters outside UTF-8's 3-byte range only have no form above 255.
    EXPECT_FALSE(to_platform_path(XrString(L"a\U0001F600"), true, out));
    // Too long for a platform path: refused, never cut.
    XrString long_path;
    for (int i = 0; i < 4095; ++i)
        long_path += L'a';
    ASSERT_TRUE(to_platform_path(long_path, false, out));
    EXPECT_EQ(out.size(), 4095u);
    long_path += L'a';
    EXPECT_FALSE(to_platform_path(long_path, false, out));
    // Platform names back to wide text.
    EXPECT_EQ(from_platform_path("caf\xC3\xA9"), XrString(L"café"));
    EXPECT_EQ(from_platform_path("caf\xE9"), XrString(L"café"));
}

TEST(WholeFile, WriteReadAndSize)
{
    XrTempRoot root;
    XrString path = wide(root.make_dirs("/d")) + L"\\data.bin";
    EXPECT_EQ(get_file_size(path), -1);
    BYTE* data = nullptr;
    int size = 0;
    EXPECT_FALSE(read_whole_file(path, &data, &size, 0));

    const BYTE bytes[] = {1, 2, 3, 0, 5};
    ASSERT_TRUE(write_whole_file(path, bytes, 5));
    EXPECT_EQ(get_file_size(path), 5);
    ASSERT_TRUE(read_whole_file(path, &data, &size, 0));
    ASSERT_EQ(size, 5);
    EXPECT_EQ(std::vector<BYTE>(data, data + size), std::vector<BYTE>(bytes, bytes + 5));
    delete[] data;
    EXPECT_TRUE(read_whole_file(path, &data, &size, 5));
    delete[] data;
    data = nullptr;
    EXPECT_FALSE(read_whole_file(path, &data, &size, 4));
    EXPECT_EQ(data, nullptr);

    // Replacing keeps no temporary files behind and keeps the file's mode.
    chmod(narrow(path).c_str(), 0640);
    ASSERT_TRUE(write_whole_file(path, bytes, 0));
    EXPECT_EQ(get_file_size(path), 0);
    ASSERT_TRUE(read_whole_file(path, &data, &size, 0));
    EXPECT_EQ(size, 0);
    delete[] data;
    struct stat st;
    ASSERT_EQ(stat(narrow(path).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(std::distance(fs::directory_iterator(root.dir() + "/d"), fs::directory_iterator()), 1);

    // Missing folder, and a folder read as a file.
    EXPECT_FALSE(write_whole_file(wide(root.dir()) + L"/none/x.bin", bytes, 5));
    EXPECT_FALSE(read_whole_file(wide(root.dir()), &data, &size, 0));
}

TEST(WholeFile, ReplacesAFileUnderItsLatin1Name)
{
    XrTempRoot root;
    std::string dir = root.make_dirs("/d");
    root.write_file("/d/caf\xE9.txt", "old");
    XrString path = wide(dir) + L"/café.txt";
    const BYTE bytes[] = {'n', 'e', 'w'};
    ASSERT_TRUE(write_whole_file(path, bytes, 3));
    std::ifstream in(dir + "/caf\xE9.txt", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "new");
    EXPECT_FALSE(fs::exists(dir + "/caf\xC3\xA9.txt")); // no second file under the UTF-8 name
    // A new file gets the UTF-8 name.
    ASSERT_TRUE(write_whole_file(wide(dir) + L"/thé.txt", bytes, 3));
    EXPECT_TRUE(fs::exists(dir + "/th\xC3\xA9.txt"));
}

TEST(WholeFile, TemporariesOfCutOffWritesAreRemovedOnTheNextWrite)
{
    XrTempRoot root;
    std::string dir = root.make_dirs("/d");
    // Left by writes killed before their rename; the others are not ours.
    const char* stale[] = {"conf.txt.a1B2c3", "conf.txt.XXXXXX", "conf.txt.000000"};
    const char* kept[] = {"conf.txt.bak",     "conf.txt.a1B2c3d", "conf.txt.a1-2c3", "other.txt.a1B2c3",
                          "xconf.txt.a1B2c3", "conf.txt",         "conf.txt.tmp"};
    for (const char* name : stale)
        root.write_file(std::string("/d/") + name, "half");
    for (const char* name : kept)
        root.write_file(std::string("/d/") + name, "keep");
    fs::create_directory(dir + "/conf.txt.dir123"); // a folder is never removed
    const BYTE bytes[] = {'n', 'e', 'w'};
    ASSERT_TRUE(write_whole_file(wide(dir) + L"/conf.txt", bytes, 3));
    for (const char* name : stale)
        EXPECT_FALSE(fs::exists(dir + "/" + name)) << name;
    for (const char* name : kept)
        EXPECT_TRUE(fs::exists(dir + "/" + name)) << name;
    EXPECT_TRUE(fs::is_directory(dir + "/conf.txt.dir123"));
    EXPECT_EQ(XrTempRoot::read_file(dir + "/conf.txt"), "new");
    EXPECT_EQ(XrTempRoot::read_file(dir + "/other.txt.a1B2c3"), "keep");
}

TEST(WholeFile, FolderSync)
{
    XrTempRoot root;
    std::string dir = root.make_dirs("/d");
    EXPECT_TRUE(sync_folder_of(wide(dir) + L"/anything.txt"));
    EXPECT_FALSE(sync_folder_of(wide(dir) + L"/none/anything.txt"));
}

TEST(WholeFile, KilledWriteLeavesTheOldOrTheNewFile)
{
    XrTempRoot root;
    const std::string old_content(100000, 'o');
    std::string new_content(300000, ' ');
    for (size_t i = 0; i < new_content.size(); ++i)
        new_content[i] = static_cast<char>('a' + i % 26);
    const std::string path = root.write_file("/d/data.bin", old_content);
    XrKillTestWriter writer;
    writer.save = [&] {
        return write_whole_file(wide(path), reinterpret_cast<const BYTE*>(new_content.data()),
                                static_cast<int>(new_content.size()));
    };
    XrKillTestResult r =
        xr_kill_test(path, old_content, new_content, [&] { root.write_file("/d/data.bin", old_content); }, writer);
    // The run is bounded in time: a loaded machine gets fewer kills in.
    EXPECT_GE(r.kills, 3);
    EXPECT_EQ(r.saves_failed, 0);
    EXPECT_EQ(r.faults, std::vector<std::string>());
    EXPECT_LE(r.leftovers, 1);
}

TEST(RemoveDirectoryTree, RemovesEverythingButFollowsNoLinks)
{
    XrTempRoot root;
    root.write_file("/t/a.txt", "a");
    root.write_file("/t/s/b.txt", "b");
    root.write_file("/t/s/u/c.txt", "c");
    root.make_dirs("/t/empty");
    root.write_file("/keep/k.txt", "k");
    ASSERT_EQ(symlink((root.dir() + "/keep").c_str(), (root.dir() + "/t/s/link").c_str()), 0);

    EXPECT_TRUE(remove_directory_tree(wide(root.dir() + "/t/")));
    EXPECT_FALSE(fs::exists(root.dir() + "/t"));
    EXPECT_TRUE(fs::exists(root.dir() + "/keep/k.txt"));
    EXPECT_FALSE(remove_directory_tree(wide(root.dir() + "/t")));
    EXPECT_FALSE(remove_directory_tree(wide(root.dir() + "/keep/k.txt")));
}

TEST(TickCount, StartsAtZeroAndGrows)
{
    std::uint32_t a = get_tick_count_ms();
    usleep(20000);
    std::uint32_t b = get_tick_count_ms();
    EXPECT_GE(b - a, 15u);
    EXPECT_LT(b - a, 5000u);
    EXPECT_EQ(prepare_file_access(XrString(L"x")), 0);
}

} // namespace
