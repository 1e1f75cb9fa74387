#include "common/update/xr_keyvalue.h"
#include "common/update/xr_match.h"
#include "common/update/xr_updateplatformhooks.h"
#include "tests/support/xr_temp_root.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const unsigned char* u(const char* s)
{
    return (const unsigned char*)s;
}

std::string str(const unsigned char* p, size_t n)
{
    return std::string((const char*)p, n);
}

TEST(MatchTest, VersionNumbers)
{
    struct Case {
        const char* text;
        bool ok;
        unsigned a, b, c, d;
    } cases[] = {
        {"1.2.33.4", true, 1, 2, 33, 4},   {"1.2.3", false, 0, 0, 0, 0},
        {"1.2.3.4x", false, 0, 0, 0, 0},   {"...", true, 0, 0, 0, 0},
        {"4294967295.0.0.1", true, 4294967295u, 0, 0, 1},
        {"4294967296.0.0.1", false, 0, 0, 0, 0}, {"99999999999999999999.1.1.1", false, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        unsigned a = 7, b = 7, cc = 7, d = 7;
        EXPECT_EQ(xr_match_capture(u(c.text), std::strlen(c.text), "~d.~d.~d.~d", &a, &b, &cc, &d), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(a, c.a);
            EXPECT_EQ(b, c.b);
            EXPECT_EQ(cc, c.c);
            EXPECT_EQ(d, c.d);
        } else {
            EXPECT_EQ(a, 7u) << "nothing handed out on failure";
        }
    }
}

TEST(MatchTest, RunsAndTildes)
{
    const unsigned char *p1 = nullptr, *p2 = nullptr;
    size_t n1 = 0, n2 = 0;
    EXPECT_TRUE(xr_match_capture(u("abc~"), 4, "~s~~", &p1, &n1));
    EXPECT_EQ(str(p1, n1), "abc");
    EXPECT_TRUE(xr_match_capture(u("a-b-c"), 5, "~s-~s", &p1, &n1, &p2, &n2));
    EXPECT_EQ(str(p1, n1), "a");
    EXPECT_EQ(str(p2, n2), "b-c");
    unsigned v = 0;
    EXPECT_TRUE(xr_match_capture(u("map12"), 5, "~D~d", &p1, &n1, &v));
    EXPECT_EQ(str(p1, n1), "map");
    EXPECT_EQ(v, 12u);
    EXPECT_FALSE(xr_match_capture(u("m1p"), 3, "~D", &p1, &n1));
    EXPECT_TRUE(xr_match_capture(u(""), 0, "~s", &p1, &n1));
    EXPECT_EQ(n1, 0u);
    EXPECT_FALSE(xr_match_capture(u("ab"), 2, "a"));
    EXPECT_FALSE(xr_match_capture(u("a~"), 2, "a~"));
    // A long run is taken without deep recursion.
    std::string long_text(200000, 'x');
    long_text += "!";
    EXPECT_TRUE(xr_match_capture(u(long_text.c_str()), long_text.size(), "~s!", &p1, &n1));
    EXPECT_EQ(n1, 200000u);
}

class KeyValueTest : public ::testing::Test {
protected:
    ~KeyValueTest() override { xr_free_key_values(records); }
    bool read(const std::string& content)
    {
        return xr_read_key_value_file(records, XrString(root.write_file("/kv.txt", content).c_str()));
    }
    std::string value(const char* key)
    {
        const BYTE* v = nullptr;
        int n = 0;
        if (!xr_find_value(records, XrString(key), v, n))
            return "<absent>";
        EXPECT_EQ(v[n], 0);
        return std::string((const char*)v, n);
    }
    XrTempRoot root;
    XrPtrArray<XrKeyValue*> records;
};

TEST_F(KeyValueTest, ReadsLines)
{
    EXPECT_TRUE(read("Version: 1.2 \r\nGUID:\tabc"));
    EXPECT_EQ(records.get_num_items(), 2);
    EXPECT_EQ(value("Version"), "1.2");
    EXPECT_EQ(value("GUID"), "abc");
    EXPECT_EQ(value("Other"), "<absent>");
}

TEST_F(KeyValueTest, EdgeCases)
{
    EXPECT_TRUE(read(""));
    EXPECT_EQ(records.get_num_items(), 0);
    EXPECT_TRUE(read("A: 1\nA: 2\nEmpty:\nSpace: \t\n"));
    EXPECT_EQ(value("A"), "1");
    EXPECT_EQ(value("Empty"), "");
    EXPECT_EQ(value("Space"), "");
    xr_free_key_values(records);
    EXPECT_FALSE(read("Key: v\nno colon here\n"));
    EXPECT_EQ(records.get_num_items(), 1);
    EXPECT_EQ(value("Key"), "v");
    EXPECT_FALSE(xr_read_key_value_file(records, XrString((root.dir() + "/missing").c_str())));
}

TEST(UpdateFormatTest, Records)
{
    XrByteArray out;
    XrComponentVersion v;
    std::strcpy(v.name, "abc");
    v.a = 1, v.b = 2, v.c = 0, v.d = 17;
    EXPECT_TRUE(xr_format_component_version(v, out));
    out.append_byte(' ');
    XrMmcDrive drive;
    drive.letter = 'E';
    drive.capacity = 2048ull * 1024 + 1023;
    drive.free_space = (1ull << 42) + 5 * 1024;
    std::strcpy(drive.volume_name, "CARD");
    drive.flag = true;
    EXPECT_TRUE(xr_format_drive(drive, out));
    out.append_byte(' ');
    const BYTE bytes[] = {0x00, 0xab, 0x7f};
    EXPECT_TRUE(xr_format_hex(bytes, 3, out));
    EXPECT_EQ(std::string((const char*)out.get_items(), out.get_num_items()), "abc|1.2.0.17 E|2048|5|CARD|1 00ab7f");
}

TEST(UpdatePlatformHooksTest, ConstantAnswers)
{
    XrUpdatePlatformHooks hooks;
    EXPECT_FALSE(hooks.installs_directly('E'));
    hooks.prepare_memory_card_report();
    EXPECT_EQ(hooks.get_startup_cleanup_path().length(), 0);
    EXPECT_TRUE(hooks.install_binary(XrString("maps"), XrString("a.bin"), 1234, true));
    EXPECT_TRUE(hooks.install_binary(XrString("maps"), XrString("b.bin"), 0, false));
    // The same answers under the update manager's names.
    EXPECT_FALSE(hooks.confirm_drive('E'));
    hooks.scan_removable_drives();
    EXPECT_EQ(hooks.stale_file_path().length(), 0);
    EXPECT_TRUE(hooks.install_binary(XrString("maps"), XrString("c.bin")));
}

} // namespace
