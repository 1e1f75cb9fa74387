// Reading and writing REGEDIT4 text.
#include "common/config/xr_storageconfiguration.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "common/container/xr_bytearray.h"
#include "common/misc/xr_path_resolver.h"
#include "common/storage/xr_storageaccessor.h"
#include "support/xr_temp_root.h"

namespace {

using Status = XrConfiguration::Status;

XrConfiguration::Status load(XrMemoryConfiguration& c, const std::string& text, bool read_only = false)
{
    return c.open(reinterpret_cast<const BYTE*>(text.data()), text.size(), read_only);
}

// The value of name under key, or "<status>" when it cannot be read.
std::wstring value(XrConfiguration& c, const wchar_t* key, const wchar_t* name)
{
    if (c.open_key(key) != XrConfiguration::OK)
        return L"<no key>";
    XrString out;
    Status s = c.get_string(name, out);
    if (s != XrConfiguration::OK)
        return L"<" + std::to_wstring(s) + L">";
    return out.c_str();
}

struct ReadCase {
    const char* what;
    std::string text;
    const wchar_t* key;
    const wchar_t* name;
    const wchar_t* expected;
};

class Regedit4Read : public ::testing::TestWithParam<ReadCase> {};

TEST_P(Regedit4Read, Value)
{
    const ReadCase& c = GetParam();
    XrMemoryConfiguration conf(L"");
    ASSERT_EQ(load(conf, c.text), XrConfiguration::OK) << c.what;
    EXPECT_EQ(value(conf, c.key, c.name), std::wstring(c.expected)) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Regedit4Read,
    ::testing::Values(
        ReadCase{"plain", "REGEDIT4\n\n[\\s]\nx=1\n", L"\\s", L"x", L"1"},
        ReadCase{"quotes removed", "[\\s]\nx=\"1\"\n", L"\\s", L"x", L"1"},
        ReadCase{"blanks round name and value", "[\\s]\n  x \t=  1 \n", L"\\s", L"x", L"1"},
        ReadCase{"name keeps its quotes", "[\\s]\n\"x\"=1\n", L"\\s", L"\"x\"", L"1"},
        ReadCase{"two backslashes", "[\\s]\nv=a\\\\b\n", L"\\s", L"v", L"a\\b"},
        ReadCase{"unknown escape dropped", "[\\s]\nv=a\\qb\n", L"\\s", L"v", L"ab"},
        ReadCase{"line feed escape", "[\\s]\nv=line1\\nline2\n", L"\\s", L"v", L"line1\nline2"},
        ReadCase{"tab and carriage return escapes", "[\\s]\nv=a\\tb\\rc\n", L"\\s", L"v", L"a\tb\rc"},
        ReadCase{"trailing backslash dropped", "[\\s]\nv=ab\\\n", L"\\s", L"v", L"ab"},
        ReadCase{"one quote at each end only", "[\\s]\nv=\"\"q\"\"\n", L"\\s", L"v", L"\"q\""},
        ReadCase{"lone leading quote", "[\\s]\nv=\"abc\n", L"\\s", L"v", L"abc"},
        ReadCase{"no equals sign", "[\\s]\n  lonely word \n", L"\\s", L"lonely word", L""},
        ReadCase{"first equals sign splits", "[\\s]\na=b=c\n", L"\\s", L"a", L"b=c"},
        ReadCase{"repeated name: the first", "[\\s]\nx=1\nx=2\n", L"\\s", L"x", L"1"},
        ReadCase{"repeated key: the first", "[\\s]\nx=1\n[\\s]\nx=2\n", L"\\s", L"x", L"1"},
        ReadCase{"lower-case header anywhere", "[\\s]\nregedit4\nx=1\n", L"\\s", L"x", L"1"},
        ReadCase{"comments and CR LF", "# note\r\n[\\s]\r\n\r\n  # x=9\r\nx=1\r\n", L"\\s", L"x", L"1"},
        ReadCase{"CR alone ends lines", "[\\s]\rx=1\ry=2", L"\\s", L"y", L"2"},
        ReadCase{"Latin-1 byte", "[\\s]\nv=caf\xE9\n", L"\\s", L"v", L"caf\u00E9"},
        ReadCase{"UTF-8", "[\\s]\nv=caf\xC3\xA9 \xE2\x82\xAC\n", L"\\s", L"v", L"caf\u00E9 \u20AC"},
        ReadCase{"four-byte form read as Latin-1", "[\\s]\nv=\xF0\x9F\x98\x80\n", L"\\s", L"v",
                 L"\u00F0\u009F\u0098\u0080"},
        ReadCase{"cut sequence read as Latin-1", "[\\s]\nv=\xC3\n", L"\\s", L"v", L"\u00C3"},
        ReadCase{"UTF-8 key path", "[\\k\xC3\xA4y]\nx=1\n", L"\\k\u00E4y", L"x", L"1"},
        ReadCase{"root values", "[]\nx=1\n", L"\\", L"x", L"1"},
        ReadCase{"missing name", "[\\s]\nx=1\n", L"\\s", L"y", L"<3>"}));

TEST(Regedit4, EmptyTextHoldsTheRootOnly)
{
    XrMemoryConfiguration conf(L"");
    ASSERT_EQ(load(conf, ""), XrConfiguration::OK);
    EXPECT_EQ(conf.open_key(L"\\"), XrConfiguration::OK);
    XrString out;
    EXPECT_EQ(conf.get_string(L"x", out), XrConfiguration::NOT_FOUND);
    std::unique_ptr<XrConfigurationIterator> keys(conf.create_key_iterator());
    EXPECT_FALSE(keys->get_next(out));
}

struct BadCase {
    const char* what;
    std::string text;
};

class Regedit4Malformed : public ::testing::TestWithParam<BadCase> {};

TEST_P(Regedit4Malformed, StopsWithWhatCameBefore)
{
    XrMemoryConfiguration conf(L"");
    EXPECT_EQ(load(conf, "[\\ok]\nkept=1\n" + GetParam().text + "\n[\\later]\nx=1\n"), XrConfiguration::BAD_FORMAT)
        << GetParam().what;
    EXPECT_EQ(value(conf, L"\\ok", L"kept"), L"1");
    EXPECT_EQ(conf.open_key(L"\\later"), XrConfiguration::NOT_FOUND);
}

INSTANTIATE_TEST_SUITE_P(Cases, Regedit4Malformed,
                         ::testing::Values(BadCase{"no closing bracket", "[\\broken"},
                                           BadCase{"text behind the bracket", "[\\broken] x"},
                                           BadCase{"a lone bracket", "["}));

TEST(Regedit4, ValueBeforeAnyKeyIsMalformed)
{
    for (const char* text : {"x=1\n", "REGEDIT4 \n[\\s]\n"}) {
        XrMemoryConfiguration conf(L"");
        EXPECT_EQ(load(conf, text), XrConfiguration::BAD_FORMAT) << text;
    }
}

TEST(Regedit4, RootTextPrefixesKeyLines)
{
    XrMemoryConfiguration conf(L"HKEY");
    ASSERT_EQ(load(conf, "[hkey\\a]\nx=1\n"), XrConfiguration::OK);
    EXPECT_EQ(value(conf, L"\\a", L"x"), L"1");
    XrMemoryConfiguration other(L"HKEY");
    EXPECT_EQ(load(other, "[\\a]\nx=1\n"), XrConfiguration::BAD_FORMAT);
}

TEST(Regedit4, LongLinesAreKeptWhole)
{
    std::string long_value(5000, 'v');
    XrMemoryConfiguration conf(L"");
    ASSERT_EQ(load(conf, "[\\s]\nx=" + long_value + "\ny=2\n"), XrConfiguration::OK);
    EXPECT_EQ(value(conf, L"\\s", L"x"), std::wstring(5000, L'v'));
    EXPECT_EQ(value(conf, L"\\s", L"y"), L"2");
    // Beyond what a string holds, the text is cut, never overrun.
    std::string huge(200000, 'h');
    XrMemoryConfiguration big(L"");
    ASSERT_EQ(load(big, "[\\s]\nx=" + huge + "\n"), XrConfiguration::OK);
    EXPECT_EQ(value(big, L"\\s", L"x").size(), static_cast<size_t>(XrString::max_length));
}

class Regedit4File : public ::testing::Test {
protected:
    std::unique_ptr<XrStorageConfiguration> open_file(bool read_only = false)
    {
        auto c = std::make_unique<XrStorageConfiguration>(create_storage_accessor(from_platform_path(path.c_str())),
                                                          L"");
        EXPECT_EQ(c->open(read_only), XrConfiguration::OK);
        return c;
    }
    std::string file() const
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    XrTempRoot root;
    std::string path = root.make_dirs("/conf") + "/settings.txt";
};

TEST_F(Regedit4File, SavedText)
{
    auto c = open_file();
    ASSERT_EQ(c->open_key(L"\\"), XrConfiguration::OK);
    ASSERT_EQ(c->set_string(L"x", L"1"), XrConfiguration::OK);
    ASSERT_EQ(c->set_string(L"name", L"caf\u00E9"), XrConfiguration::OK);
    ASSERT_EQ(c->save(), XrConfiguration::OK);
    EXPECT_EQ(file(), "REGEDIT4\n\n\n[]\nx=1\nname=caf\xC3\xA9\n");
}

TEST_F(Regedit4File, SavedLatin1ComesBackAsUtf8)
{
    root.write_file("/conf/settings.txt", "[\\s]\nv=\xE9\n");
    auto c = open_file();
    ASSERT_EQ(c->save(), XrConfiguration::OK);
    EXPECT_NE(file().find("v=\xC3\xA9\n"), std::string::npos);
}

// Overlong UTF-8 forms (here of a line break, C0 8A and E0 80 8A) are not
// decoded: the line is read as Latin-1, so no name or value holds a line
// break that the saved text would split.
TEST_F(Regedit4File, OverlongFormsStayOneLine)
{
    root.write_file("/conf/settings.txt", "[\\k\xC0\x8Ax]\nv\xE0\x80\x8Aw=1\n");
    auto c = open_file();
    ASSERT_EQ(c->save(), XrConfiguration::OK);
    auto again = open_file();
    ASSERT_EQ(again->open_key(L"\\k\u00C0\u008Ax"), XrConfiguration::OK);
    XrString v;
    EXPECT_EQ(again->get_string(L"v\u00E0\u0080\u008Aw", v), XrConfiguration::OK);
    EXPECT_STREQ(v.c_str(), L"1");
}

// Values that the reader trims, unescapes or unquotes come back unchanged.
const wchar_t* const tricky_values[] = {
    L"",
    L"plain",
    L"a\\b",
    L"\\",
    L"ends with\\",
    L"\\n is not a line break",
    L"line1\nline2",
    L"\r\n",
    L"tab\there",
    L"\t",
    L" leading",
    L"trailing ",
    L" ",
    L"\"quoted\"",
    L"\"",
    L"\"\"",
    L"\"lead only",
    L"trail only\"",
    L"=",
    L"[not a key]",
    L"# not a comment",
    L"REGEDIT4",
    L"caf\u00E9 \u20AC \u00FF",
    L"x\n[\\injected]\ny=1",
};

TEST_F(Regedit4File, EveryValueSurvivesSaveAndReload)
{
    {
        auto c = open_file();
        ASSERT_EQ(c->create_key_path(L"\\values"), XrConfiguration::OK);
        int i = 0;
        for (const wchar_t* v : tricky_values)
            ASSERT_EQ(c->set_string(std::to_wstring(i++).c_str(), v), XrConfiguration::OK);
        ASSERT_EQ(c->save(), XrConfiguration::OK);
    }
    auto c = open_file();
    int i = 0;
    for (const wchar_t* v : tricky_values) {
        EXPECT_EQ(value(*c, L"\\values", std::to_wstring(i).c_str()), std::wstring(v)) << "value " << i;
        ++i;
    }
    EXPECT_EQ(c->open_key(L"\\injected"), XrConfiguration::NOT_FOUND);
    // A second round changes nothing more.
    std::string once = file();
    ASSERT_EQ(c->save(), XrConfiguration::OK);
    EXPECT_EQ(file(), once);
}

TEST_F(Regedit4File, KeysAndTypedValuesRoundTrip)
{
    {
        auto c = open_file();
        ASSERT_EQ(c->create_key_path(L"\\settings"), XrConfiguration::OK);
        ASSERT_EQ(c->set_int(L"volume", -7), XrConfiguration::OK);
        ASSERT_EQ(c->set_bool(L"night", true), XrConfiguration::OK);
        ASSERT_EQ(c->set_double(L"zoom", 2.5), XrConfiguration::OK);
        ASSERT_EQ(c->set_double(L"huge", 1e300), XrConfiguration::OK);
        ASSERT_EQ(c->create_key_path(L"\\gps\\device"), XrConfiguration::OK);
        ASSERT_EQ(c->set_string(L"name", L"receiver"), XrConfiguration::OK);
        ASSERT_EQ(c->save(), XrConfiguration::OK);
    }
    EXPECT_NE(file().find("\n[\\settings]\n"), std::string::npos);
    EXPECT_NE(file().find("zoom=2.500000\n"), std::string::npos);
    auto c = open_file();
    ASSERT_EQ(c->open_key(L"\\settings"), XrConfiguration::OK);
    int volume = 0;
    bool night = false;
    double zoom = 0, huge = 0;
    EXPECT_EQ(c->get_int(L"volume", &volume), XrConfiguration::OK);
    EXPECT_EQ(c->get_bool(L"night", &night), XrConfiguration::OK);
    EXPECT_EQ(c->get_double(L"zoom", &zoom), XrConfiguration::OK);
    EXPECT_EQ(c->get_double(L"huge", &huge), XrConfiguration::OK);
    EXPECT_EQ(volume, -7);
    EXPECT_TRUE(night);
    EXPECT_DOUBLE_EQ(zoom, 2.5);
    EXPECT_DOUBLE_EQ(huge, 1e300);
    EXPECT_EQ(value(*c, L"\\gps\\device", L"name"), L"receiver");
    EXPECT_EQ(c->open_key(L"\\gps"), XrConfiguration::OK);
}

TEST_F(Regedit4File, CharactersBeyondSixteenBitsBecomeReplacements)
{
    {
        auto c = open_file();
        ASSERT_EQ(c->open_key(L"\\"), XrConfiguration::OK);
        // U+1000A: its low 16 bits are a line feed.
        const wchar_t v[] = {L'a', static_cast<wchar_t>(0x1000A), L'b', 0};
        ASSERT_EQ(c->set_string(L"x", v), XrConfiguration::OK);
        ASSERT_EQ(c->save(), XrConfiguration::OK);
    }
    auto c = open_file();
    EXPECT_EQ(value(*c, L"\\", L"x"), L"a\uFFFDb");
}

TEST_F(Regedit4File, ReadOnlyStoreLeavesTheFileAlone)
{
    root.write_file("/conf/settings.txt", "[\\s]\nx=1\n");
    auto c = open_file(true);
    ASSERT_EQ(c->open_key(L"\\s"), XrConfiguration::OK);
    EXPECT_EQ(c->set_string(L"x", L"2"), XrConfiguration::READ_ONLY);
    EXPECT_EQ(c->save(), XrConfiguration::READ_ONLY);
    EXPECT_EQ(file(), "[\\s]\nx=1\n");
}

TEST_F(Regedit4File, SaveReplacesTheFileInOneStep)
{
    root.write_file("/conf/settings.txt", "[\\s]\nx=old\n");
    auto c = open_file();
    std::ifstream reader(path, std::ios::binary); // opened before the save
    ASSERT_EQ(c->open_key(L"\\s"), XrConfiguration::OK);
    ASSERT_EQ(c->set_string(L"x", L"new"), XrConfiguration::OK);
    ASSERT_EQ(c->save(), XrConfiguration::OK);
    std::string seen((std::istreambuf_iterator<char>(reader)), std::istreambuf_iterator<char>());
    EXPECT_EQ(seen, "[\\s]\nx=old\n");
    EXPECT_NE(file().find("x=new\n"), std::string::npos);
    // The store keeps working on the new file.
    ASSERT_EQ(c->set_string(L"x", L"newer"), XrConfiguration::OK);
    ASSERT_EQ(c->save(), XrConfiguration::OK);
    EXPECT_NE(file().find("x=newer\n"), std::string::npos);
}

// A storage whose every operation fails.
class BrokenAccessor : public XrStorageAccessor {
public:
    Status get_ptr(std::uint32_t, std::uint32_t, const BYTE** out) override
    {
        *out = nullptr;
        return FAILED;
    }
    void release_ptr(const BYTE*) override {}
    Status write(std::uint32_t, std::uint32_t, const BYTE*) override { return FAILED; }
    std::uint32_t get_size() override { return 10; }
    Status set_size(std::uint32_t) override { return FAILED; }
    bool is_read_only() override { return false; }
    bool remove() override { return false; }
};

TEST(Regedit4Storage, FailuresAreReported)
{
    XrStorageConfiguration c(new BrokenAccessor(), L"");
    EXPECT_EQ(c.open(false), XrConfiguration::FAILED);
    EXPECT_EQ(c.save(), XrConfiguration::FAILED);
}

TEST(Regedit4Storage, SavesIntoAByteArray)
{
    auto* a = new XrByteArrayAccessor();
    XrStorageConfiguration c(a, L"");
    ASSERT_EQ(c.open(false), XrConfiguration::OK);
    ASSERT_EQ(c.open_key(L"\\"), XrConfiguration::OK);
    ASSERT_EQ(c.set_string(L"x", L"1"), XrConfiguration::OK);
    ASSERT_EQ(c.save(), XrConfiguration::OK);
    ASSERT_EQ(c.save(), XrConfiguration::OK); // replaced, not appended
    XrByteArray* arr = a->get_array();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(arr->get_items()), static_cast<size_t>(arr->get_num_items())),
              "REGEDIT4\n\n\n[]\nx=1\n");
}

} // namespace
