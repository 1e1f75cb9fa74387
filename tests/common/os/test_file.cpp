#include "common/os/xr_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "common/misc/xr_path_resolver.h"
#include "common/types/xr_datetime.h"
#include "support/xr_temp_root.h"

namespace fs = std::filesystem;

namespace {

XrString wide(const std::string& s)
{
    return from_platform_path(s.c_str());
}

class FileTest : public ::testing::Test {
protected:
    void SetUp() override { dir = root.make_dirs("/files"); }

    std::string put(const std::string& name, const std::string& content)
    {
        return root.write_file("/files/" + name, content);
    }
    XrString path(const std::string& name) const { return wide(dir + "/" + name); }

    XrTempRoot root;
    std::string dir;
};

struct OpenCase {
    const char* what;
    bool exists;
    bool open_existing;
    bool create;
    bool read_only;
    XrFile::Status expected;
};

// Case descriptions as test-name-safe labels.
std::string label(const char* what)
{
    std::string s;
    for (; *what != 0; ++what) {
        if (*what != ',')
            s += *what == ' ' ? '_' : *what;
    }
    return s;
}

void PrintTo(const OpenCase& c, std::ostream* os)
{
    *os << label(c.what);
}

class FileOpen : public FileTest, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(FileOpen, StatusAndHandle)
{
    const OpenCase& c = GetParam();
    if (c.exists)
        put("f.bin", "12345");
    XrFile f;
    EXPECT_EQ(f.open(path("f.bin"), c.open_existing, c.create, c.read_only), c.expected);
    EXPECT_EQ(f.is_open(), c.expected == XrFile::OK);
    if (c.expected != XrFile::OK)
        return;
    EXPECT_EQ(f.is_read_only(), c.read_only);
    EXPECT_EQ(f.get_size(), c.exists ? 5u : 0u);
    EXPECT_EQ(f.get_name(), path("f.bin"));
    if (!c.exists) {
        struct stat st;
        ASSERT_EQ(stat((dir + "/f.bin").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileOpen,
    ::testing::Values(OpenCase{"missing", false, false, false, false, XrFile::NOT_FOUND},
                      OpenCase{"missing, open existing", false, true, false, false, XrFile::NOT_FOUND},
                      OpenCase{"missing, create", false, false, true, false, XrFile::OK},
                      OpenCase{"missing, create read-only", false, true, true, true, XrFile::OK},
                      OpenCase{"present, no open existing", true, false, false, false, XrFile::EXISTS},
                      OpenCase{"present, create only", true, false, true, false, XrFile::EXISTS},
                      OpenCase{"present", true, true, false, false, XrFile::OK},
                      OpenCase{"present, create", true, true, true, false, XrFile::OK},
                      OpenCase{"present, read-only", true, true, false, true, XrFile::OK}));

TEST_F(FileTest, OpenFailures)
{
    XrFile f;
    EXPECT_EQ(f.open(wide(dir), true, false, true), XrFile::FAILED); // a folder
    EXPECT_EQ(f.create(path("none/x.bin"), true), XrFile::FAILED);    // missing folder
    EXPECT_FALSE(f.is_open());
    // The helpers are open with the matching flags.
    EXPECT_EQ(f.create(path("n.bin"), false), XrFile::OK);
    EXPECT_EQ(f.create(path("n.bin"), false), XrFile::EXISTS);
    EXPECT_EQ(f.open_existing(path("n.bin"), true), XrFile::OK);
    EXPECT_EQ(f.open_existing(path("m.bin"), true), XrFile::NOT_FOUND);
}

struct AccessCase {
    const char* what;
    bool write;
    std::uint32_t offset;
    std::uint32_t length;
    XrFile::Status expected;
};

void PrintTo(const AccessCase& c, std::ostream* os)
{
    *os << label(c.what);
}

class FileAccess : public FileTest, public ::testing::WithParamInterface<AccessCase> {};

TEST_P(FileAccess, ReadWriteWithinTheSize)
{
    const AccessCase& c = GetParam();
    put("ten.bin", "0123456789");
    XrFile f;
    ASSERT_EQ(f.open_existing(path("ten.bin"), false), XrFile::OK);
    std::vector<BYTE> buf(c.length + 1, 0xEE);
    if (c.write) {
        std::fill(buf.begin(), buf.end(), 'w');
        EXPECT_EQ(f.write(c.offset, c.length, buf.data()), c.expected);
        f.close();
        std::string content = XrTempRoot::read_file(dir + "/ten.bin");
        EXPECT_EQ(content.size(), 10u);
        if (c.expected == XrFile::OK) {
            EXPECT_EQ(content.substr(c.offset, c.length), std::string(c.length, 'w'));
        } else {
            EXPECT_EQ(content, "0123456789");
        }
        return;
    }
    EXPECT_EQ(f.read(c.offset, c.length, buf.data()), c.expected);
    if (c.expected == XrFile::OK) {
        EXPECT_EQ(std::string(buf.begin(), buf.begin() + c.length),
                  std::string("0123456789").substr(c.offset, c.length));
    }
    BYTE* alloc = reinterpret_cast<BYTE*>(1);
    EXPECT_EQ(f.read_alloc(c.offset, c.length, alloc), c.expected);
    if (c.expected == XrFile::OK) {
        ASSERT_NE(alloc, nullptr);
        EXPECT_EQ(std::string(alloc, alloc + c.length), std::string("0123456789").substr(c.offset, c.length));
    } else {
        EXPECT_EQ(alloc, nullptr);
    }
    delete[] alloc;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileAccess,
    ::testing::Values(AccessCase{"read all", false, 0, 10, XrFile::OK}, AccessCase{"read middle", false, 3, 4, XrFile::OK},
                      AccessCase{"read nothing at the end", false, 10, 0, XrFile::OK},
                      AccessCase{"read behind the end", false, 11, 0, XrFile::BAD_OFFSET},
                      AccessCase{"read past the end", false, 5, 6, XrFile::PAST_END},
                      AccessCase{"read at the end", false, 10, 1, XrFile::PAST_END},
                      AccessCase{"read huge length", false, 2, 0xFFFFFFFFu, XrFile::PAST_END},
                      AccessCase{"read huge offset", false, 0xFFFFFFF0u, 0x20, XrFile::BAD_OFFSET},
                      AccessCase{"write middle", true, 2, 3, XrFile::OK},
                      AccessCase{"write to the end", true, 7, 3, XrFile::OK},
                      AccessCase{"write at the end", true, 10, 1, XrFile::PAST_END},
                      AccessCase{"write past the end", true, 8, 3, XrFile::PAST_END},
                      AccessCase{"write behind the end", true, 11, 1, XrFile::BAD_OFFSET}));

TEST_F(FileTest, ResizeGrowsWithZeroAndShrinks)
{
    put("r.bin", "abc");
    XrFile f;
    ASSERT_EQ(f.open_existing(path("r.bin"), false), XrFile::OK);
    const BYTE x = 'x';
    EXPECT_EQ(f.write(3, 1, &x), XrFile::PAST_END);
    EXPECT_EQ(f.resize(4), XrFile::OK);
    EXPECT_EQ(f.write(3, 1, &x), XrFile::OK);
    EXPECT_EQ(f.resize(8), XrFile::OK);
    EXPECT_EQ(f.get_size(), 8u);
    EXPECT_EQ(f.resize(8), XrFile::OK);
    ASSERT_TRUE(f.flush());
    EXPECT_EQ(XrTempRoot::read_file(dir + "/r.bin"), std::string("abcx\0\0\0\0", 8));
    EXPECT_EQ(f.resize(2), XrFile::OK);
    EXPECT_EQ(f.get_size(), 2u);
    EXPECT_EQ(XrTempRoot::read_file(dir + "/r.bin"), "ab");
    BYTE buf[3];
    EXPECT_EQ(f.read(0, 3, buf), XrFile::PAST_END);
}

TEST_F(FileTest, ReadOnlyRefusesChanges)
{
    put("ro.bin", "abc");
    XrFile f;
    ASSERT_EQ(f.open_existing(path("ro.bin"), true), XrFile::OK);
    const BYTE x = 'x';
    EXPECT_EQ(f.write(0, 1, &x), XrFile::FAILED);
    EXPECT_EQ(f.resize(10), XrFile::FAILED);
    EXPECT_EQ(f.get_size(), 3u);
    EXPECT_EQ(XrTempRoot::read_file(dir + "/ro.bin"), "abc");
}

TEST_F(FileTest, ClosedFile)
{
    XrFile f;
    BYTE b;
    EXPECT_EQ(f.read(0, 0, &b), XrFile::FAILED);
    EXPECT_EQ(f.write(0, 0, &b), XrFile::FAILED);
    EXPECT_TRUE(f.flush());
    EXPECT_EQ(f.lock(), XrFile::FAILED);
}

TEST(FileDeathTest, ResizeOfAClosedFileIsFatal)
{
    XrFile f;
    EXPECT_DEATH(f.resize(1), "file_handle >= 0");
}

TEST_F(FileTest, LockTimesAndDelete)
{
    put("t.bin", "abc");
    XrFile f;
    ASSERT_EQ(f.open_existing(path("t.bin"), false), XrFile::OK);
    EXPECT_EQ(f.lock(), XrFile::OK);
    EXPECT_EQ(f.unlock(), XrFile::OK);

    XrDatetime access(1000000000);
    XrDatetime modified(1200000000);
    EXPECT_EQ(set_file_times(path("t.bin"), access, modified), XrFile::OK);
    XrDatetime seen;
    EXPECT_EQ(f.get_modification_time(seen), XrFile::OK);
    EXPECT_EQ(seen.get_utc(), 1200000000);
    EXPECT_EQ(touch_file(path("t.bin")), XrFile::OK);
    EXPECT_EQ(f.get_modification_time(seen), XrFile::OK);
    EXPECT_GT(seen.get_utc(), 1200000000);

    EXPECT_TRUE(f.delete_file());
    EXPECT_FALSE(fs::exists(dir + "/t.bin"));
    EXPECT_EQ(f.get_modification_time(seen), XrFile::FAILED);
    EXPECT_EQ(touch_file(path("t.bin")), XrFile::FAILED);
    EXPECT_EQ(set_file_times(path("t.bin"), access, modified), XrFile::FAILED);
}

TEST_F(FileTest, MakeTemp)
{
    std::unique_ptr<XrFile> a(XrFile::make_temp(path("tmp/sub"), true));
    ASSERT_NE(a, nullptr);
    std::unique_ptr<XrFile> b(XrFile::make_temp(path("tmp/sub"), false));
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a->get_name(), b->get_name());
    EXPECT_EQ(a->get_size(), 0u);
    const BYTE data[] = {1, 2};
    ASSERT_EQ(a->resize(2), XrFile::OK);
    EXPECT_EQ(a->write(0, 2, data), XrFile::OK);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir + "/tmp/sub"), fs::directory_iterator()), 2);
    EXPECT_EQ(XrFile::make_temp(path("missing"), false), nullptr);
}

TEST_F(FileTest, FinderModes)
{
    put("a.txt", "a");
    put("b.txt", "b");
    put("s/c.txt", "c");
    root.make_dirs("/files/t");
    ASSERT_EQ(symlink((dir + "/s").c_str(), (dir + "/link").c_str()), 0);
    put("caf\xC3\xA9.txt", "utf8");
    put("na\xEFve.txt", "latin1");

    auto list = [&](int mode) {
        std::set<XrString, bool (*)(const XrString&, const XrString&)> names(
            [](const XrString& x, const XrString& y) { return wide_strcmp(x.c_str(), y.c_str()) < 0; });
        XrFileFinder finder;
        EXPECT_TRUE(finder.open(wide(dir), mode));
        TCHAR name[256];
        while (finder.get_next(name, 256))
            names.insert(XrString(name));
        return std::vector<XrString>(names.begin(), names.end());
    };
    EXPECT_EQ(list(XrFileFinder::DIRECTORIES), (std::vector<XrString>{XrString(L"s"), XrString(L"t")}));
    EXPECT_EQ(list(XrFileFinder::FILES),
              (std::vector<XrString>{XrString(L"a.txt"), XrString(L"b.txt"), XrString(L"café.txt"), XrString(L"link"),
                                     XrString(L"naïve.txt")}));

    // Capacity 1: an empty name, but the finder still advances.
    XrFileFinder finder;
    ASSERT_TRUE(finder.open(path("s"), XrFileFinder::FILES));
    TCHAR one[1] = {L'z'};
    EXPECT_TRUE(finder.get_next(one, 1));
    EXPECT_EQ(one[0], 0);
    EXPECT_FALSE(finder.get_next(one, 1));
    // Names are cut to the capacity.
    ASSERT_TRUE(finder.open(path("s"), XrFileFinder::FILES));
    TCHAR three[3];
    EXPECT_TRUE(finder.get_next(three, 3));
    EXPECT_EQ(XrString(three), XrString(L"c."));
    EXPECT_FALSE(finder.open(path("none"), XrFileFinder::FILES));
    EXPECT_FALSE(finder.get_next(three, 3));
}

TEST_F(FileTest, Latin1NamesOnDisk)
{
    std::string latin1 = put("m\xFC" "ller.txt", "old");
    XrFile f;
    ASSERT_EQ(f.open_existing(path("m\xC3\xBCller.txt"), true), XrFile::OK);
    EXPECT_EQ(f.get_size(), 3u);
    // A new file gets the UTF-8 form.
    ASSERT_EQ(f.create(path("gr\xC3\xBC\xC3\x9F.txt"), false), XrFile::OK);
    EXPECT_TRUE(fs::exists(dir + "/gr\xC3\xBC\xC3\x9F.txt"));
    EXPECT_TRUE(fs::exists(latin1));
}

TEST_F(FileTest, DirectoriesAndRenames)
{
    EXPECT_TRUE(make_directories(path("a\\b/c")));
    EXPECT_TRUE(is_directory(path("a/b")));
    EXPECT_FALSE(fs::exists(dir + "/a/b/c")); // last component only with a separator
    EXPECT_TRUE(make_directories(path("a/b/c/")));
    EXPECT_TRUE(is_directory(path("a/b/c")));
    EXPECT_TRUE(make_directories(path("a/b/c/"))); // existing: fine
    put("file", "x");
    EXPECT_FALSE(make_directories(path("file/sub/")));

    put("a/x.txt", "x");
    EXPECT_TRUE(rename_file(path("a/x.txt"), path("a/b/y.txt")));
    EXPECT_EQ(XrTempRoot::read_file(dir + "/a/b/y.txt"), "x");
    EXPECT_FALSE(rename_file(path("a/x.txt"), path("a/z.txt")));
    XrString too_long = path("");
    while (too_long.length() < 4100)
        too_long += L'q';
    EXPECT_FALSE(rename_file(too_long, path("q")));

    EXPECT_FALSE(remove_directory(path("a/b")));
    EXPECT_TRUE(delete_file(path("a/b/y.txt")));
    EXPECT_FALSE(delete_file(path("a/b/y.txt")));
    EXPECT_TRUE(remove_directory(path("a/b/c")));
    EXPECT_TRUE(remove_directory(path("a/b")));
    EXPECT_FALSE(is_directory(path("a/b")));
    EXPECT_FALSE(is_directory(path("file")));

    EXPECT_GT(free_space(wide(dir)), 0);
    EXPECT_EQ(free_space(path("none")), -1);
}

TEST_F(FileTest, CopyFile)
{
    std::string big;
    for (int i = 0; i < 3000; ++i)
        big += static_cast<char>('a' + i % 26);
    put("src.bin", big);
    put("dst.bin", std::string(5000, 'z'));
    EXPECT_TRUE(copy_file(path("src.bin"), path("dst.bin"))); // reused and shrunk
    EXPECT_EQ(XrTempRoot::read_file(dir + "/dst.bin"), big);
    EXPECT_TRUE(copy_file(path("src.bin"), path("new.bin")));
    EXPECT_EQ(XrTempRoot::read_file(dir + "/new.bin"), big);
    put("empty.bin", "");
    EXPECT_TRUE(copy_file(path("empty.bin"), path("new.bin")));
    EXPECT_EQ(XrTempRoot::read_file(dir + "/new.bin"), "");
    EXPECT_FALSE(copy_file(path("none.bin"), path("x.bin")));
    EXPECT_FALSE(fs::exists(dir + "/x.bin"));
    EXPECT_FALSE(copy_file(path("src.bin"), path("none/x.bin")));
}

TEST_F(FileTest, DisplayNameFallsBackToThePath)
{
    XrString name(L"old");
    EXPECT_FALSE(get_display_name(path("a.txt"), name));
    EXPECT_EQ(name, path("a.txt"));
}

} // namespace
