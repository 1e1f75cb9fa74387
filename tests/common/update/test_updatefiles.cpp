// Installing downloaded files on the card: server-given names checked,
// files built under a temporary name, checked for size and MD5 and renamed
// into place; hostile downloads leave the installed file as it was.
#include "common/misc/xr_md5.h"
#include "common/update/xr_updatefiles.h"
#include "support/xr_kill_test.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/gdiff_writer.h"
#include "tools/mapgen/package_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void write(const std::string& path, const std::vector<BYTE>& bytes)
{
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

std::vector<BYTE> random_bytes(size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::vector<BYTE> v(n);
    for (auto& b : v)
        b = static_cast<BYTE>(gen());
    return v;
}

std::string text(const std::vector<BYTE>& v)
{
    return std::string(v.begin(), v.end());
}

XrString md5_of(const std::vector<BYTE>& v)
{
    XrMD5Context ctx;
    md5_init(ctx);
    md5_update(ctx, v.data(), v.size());
    BYTE d[16];
    md5_final(ctx, d);
    char hex[33];
    for (int i = 0; i < 16; ++i)
        std::snprintf(hex + 2 * i, 3, "%02x", d[i]);
    return XrString(hex);
}

XrString x(const std::string& s)
{
    return XrString(s.c_str());
}

TEST(UpdateNames, OnlyNamesThatStayBelowTheirFolderAreTaken)
{
    const struct {
        const char* name;
        bool safe;
    } cases[] = {
        {"roads.qt", true},          {"mapdata_x/roads.qt", true}, {"sounds\\eng\\1.ogg", true},
        {"..", false},               {"../roads.qt", false},       {"mapdata/../../etc/passwd", false},
        {"a\\..\\..\\b", false},     {"/etc/passwd", false},       {"\\etc\\passwd", false},
        {"C:/x", false},             {"a//b", false},              {"./a", false},
        {"a/./b", false},            {"", false},                  {"a\nb", false},
        {"..hidden", true},          {"folder/", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(xr_update_name_is_safe(XrString(c.name)), c.safe) << c.name;
    EXPECT_TRUE(xr_update_name_is_safe(XrString(""), true));
    XrString out("unchanged");
    EXPECT_FALSE(xr_update_join(XrString("/card/"), XrString("../x"), XrString("a"), out));
    EXPECT_EQ(out, XrString("unchanged"));
    ASSERT_TRUE(xr_update_join(XrString("/card"), XrString("mapdata_x"), XrString("roads.qt"), out));
    EXPECT_EQ(out, XrString("/card/mapdata_x/roads.qt"));
}

TEST(UpdateNames, DigestTextMustBe32HexDigitsOfTheDigest)
{
    const std::vector<BYTE> data = {'a', 'b', 'c'};
    XrMD5Context ctx;
    md5_init(ctx);
    md5_update(ctx, data.data(), data.size());
    BYTE d[16];
    md5_final(ctx, d);
    EXPECT_TRUE(xr_update_digest_matches(XrString("900150983cd24fb0d6963f7d28e17f72"), d));
    EXPECT_TRUE(xr_update_digest_matches(XrString("900150983CD24FB0D6963F7D28E17F72"), d));
    for (const char* bad : {"900150983cd24fb0d6963f7d28e17f7", "900150983cd24fb0d6963f7d28e17f720",
                            "900150983cd24fb0d6963f7d28e17f73", "900150983cd24fb0d6963f7d28e17fzz"})
        EXPECT_FALSE(xr_update_digest_matches(XrString(bad), d)) << bad;
}

class UpdateFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        work = root.make_dirs("/media/mmc1/kestrova/update/");
        card = root.make_dirs("/media/mmc1/map/mapdata_x/");
        write(dest(), old_content);
    }
    std::string dest() const { return card + "roads.qt"; }
    // The destination holds its old content and no temporary file is left.
    void expect_untouched()
    {
        EXPECT_TRUE(read(dest()) == text(old_content)) << "the installed file changed";
        EXPECT_FALSE(fs::exists(dest() + ".xrnew"));
    }

    XrTempRoot root;
    std::string work, card;
    std::vector<BYTE> old_content = random_bytes(50000, 1);
    std::vector<BYTE> new_content = random_bytes(300000, 2);
};

TEST_F(UpdateFilesTest, GoodDownloadsReplaceTheFile)
{
    write(work + "target/c/roads.qt", new_content);
    XrPackageWriter package;
    package.add(std::vector<BYTE>(new_content.begin(), new_content.begin() + 100000))
        .add(std::vector<BYTE>(new_content.begin() + 100000, new_content.end()));
    write(work + "target/c/+z/roads.qt", package.bytes());
    for (bool compressed : {false, true}) {
        SCOPED_TRACE(compressed);
        write(dest(), old_content);
        const std::string source = work + (compressed ? "target/c/+z/roads.qt" : "target/c/roads.qt");
        EXPECT_EQ(xr_update_install_file(x(source), compressed, x(dest()), new_content.size(), md5_of(new_content)),
                  XrUpdateFileResult::ok);
        EXPECT_TRUE(read(dest()) == text(new_content)) << "not the new content";
        EXPECT_FALSE(fs::exists(dest() + ".xrnew"));
    }
}

TEST_F(UpdateFilesTest, BadDownloadsLeaveTheInstalledFileWhole)
{
    write(work + "target/c/roads.qt", new_content);
    // A package that unpacks to far more than announced (zeros compress well).
    XrPackageWriter endless;
    endless.add(std::vector<BYTE>(8 << 20, 0));
    write(work + "target/c/+z/endless", endless.bytes());
    XrPackageWriter corrupt;
    XrPackageWriter::Member member;
    member.data = new_content;
    member.crc_xor = 1;
    corrupt.add(member);
    write(work + "target/c/+z/corrupt", corrupt.bytes());
    const struct {
        const char* what;
        std::string source;
        bool compressed;
        std::uint32_t size;
        XrString md5;
        XrUpdateFileResult result;
    } cases[] = {
        {"shorter than announced", "target/c/roads.qt", false, 300001, md5_of(new_content),
         XrUpdateFileResult::size_mismatch},
        {"longer than announced", "target/c/roads.qt", false, 299999, md5_of(new_content),
         XrUpdateFileResult::size_mismatch},
        {"wrong digest", "target/c/roads.qt", false, 300000, md5_of(old_content), XrUpdateFileResult::digest_mismatch},
        {"digest text too short", "target/c/roads.qt", false, 300000, XrString("abc"),
         XrUpdateFileResult::digest_mismatch},
        {"missing download", "target/c/absent", false, 300000, md5_of(new_content), XrUpdateFileResult::no_source},
        {"endless unpacking", "target/c/+z/endless", true, 300000, md5_of(new_content),
         XrUpdateFileResult::size_mismatch},
        {"corrupt package", "target/c/+z/corrupt", true, 300000, md5_of(new_content), XrUpdateFileResult::bad_source},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(xr_update_install_file(x(work + c.source), c.compressed, x(dest()), c.size, c.md5), c.result);
        expect_untouched();
    }
}

TEST_F(UpdateFilesTest, DifferencesRebuildTheFileOrFail)
{
    std::vector<BYTE> changed = old_content;
    for (size_t i = 1000; i < 2000; ++i)
        changed[i] ^= 0x5a;
    write(work + "target/diffs/good", make_gdiff(old_content, changed));
    // Copies the whole old file forty times: far past the announced size.
    XrGdiffWriter past;
    for (int i = 0; i < 40; ++i)
        past.copy(0, static_cast<std::uint32_t>(old_content.size()));
    write(work + "target/diffs/past", past.end().bytes());
    XrGdiffWriter outside;
    write(work + "target/diffs/outside", outside.copy(40000, 20000).end().bytes());
    const struct {
        const char* what;
        const char* diff;
        XrString md5;
        XrUpdateFileResult result;
    } cases[] = {
        {"good difference", "good", md5_of(changed), XrUpdateFileResult::ok},
        {"wrong digest", "good", md5_of(old_content), XrUpdateFileResult::digest_mismatch},
        {"writes past its target", "past", md5_of(changed), XrUpdateFileResult::size_mismatch},
        {"copy outside the old data", "outside", md5_of(changed), XrUpdateFileResult::bad_source},
        {"missing difference", "absent", md5_of(changed), XrUpdateFileResult::no_source},
    };
    const std::string output = work + "target/c/roads.qt";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(output);
        EXPECT_EQ(xr_update_apply_difference(x(dest()), x(work + "target/diffs/" + c.diff), x(output),
                                             changed.size(), c.md5),
                  c.result);
        EXPECT_EQ(fs::exists(output), c.result == XrUpdateFileResult::ok);
        if (c.result == XrUpdateFileResult::ok) {
            EXPECT_TRUE(read(output) == text(changed)) << "not the changed content";
        }
        expect_untouched(); // the installed file is only read
    }
}

TEST_F(UpdateFilesTest, KilledInstallLeavesTheOldOrTheNewFile)
{
    const std::vector<BYTE> big = random_bytes(3 << 20, 3);
    write(work + "target/c/roads.qt", big);
    XrKillTestWriter writer;
    writer.save = [&] {
        return xr_update_install_file(x(work + "target/c/roads.qt"), false, x(dest()), big.size(), md5_of(big)) ==
               XrUpdateFileResult::ok;
    };
    XrKillTestOptions options;
    options.max_kills = 40;
    options.max_delay_ms = 30;
    XrKillTestResult r =
        xr_kill_test(dest(), text(old_content), text(big), [&] { write(dest(), old_content); }, writer, options);
    EXPECT_GT(r.kills, 5);
    EXPECT_EQ(r.faults, std::vector<std::string>());
}

} // namespace
