// The configuration store: keys, values, typed access and iterators.
#include "common/config/xr_memoryconfiguration.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

class ConfigurationTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(load(conf, text), XrConfiguration::OK); }

    static XrConfiguration::Status load(XrMemoryConfiguration& c, const std::string& t, bool read_only = false)
    {
        return c.open(reinterpret_cast<const BYTE*>(t.data()), t.size(), read_only);
    }
    static std::vector<std::wstring> all(XrConfigurationIterator* it)
    {
        std::unique_ptr<XrConfigurationIterator> owned(it);
        std::vector<std::wstring> out;
        XrString s;
        while (owned->get_next(s))
            out.push_back(s.c_str());
        return out;
    }
    static std::vector<std::wstring> sorted(std::vector<std::wstring> v)
    {
        std::sort(v.begin(), v.end());
        return v;
    }

    const std::string text = "[\\x]\n"
                             "int=12abc\nplus=+5\nneg=-42\nempty=\nword=true\ntwo=2\nreal=2.75\n"
                             "[\\x\\a]\nv=1\n[\\x\\a\\deep]\n[\\x\\ab]\nv=2\n[\\x\\b]\n[\\y]\n";
    XrMemoryConfiguration conf{L""};
};

struct IntCase {
    const wchar_t* name;
    XrConfiguration::Status status;
    int expected;
};

TEST_F(ConfigurationTest, TypedGetters)
{
    ASSERT_EQ(conf.open_key(L"\\x"), XrConfiguration::OK);
    const IntCase cases[] = {
        {L"int", XrConfiguration::OK, 12},   {L"plus", XrConfiguration::OK, 0}, {L"neg", XrConfiguration::OK, -42},
        {L"empty", XrConfiguration::OK, 0},  {L"word", XrConfiguration::OK, 0},
        {L"missing", XrConfiguration::FAILED, 99}, // untouched
    };
    for (const IntCase& c : cases) {
        int v = 99;
        EXPECT_EQ(conf.get_int(c.name, &v), c.status) << c.name;
        EXPECT_EQ(v, c.expected) << c.name;
    }
    bool b = true;
    EXPECT_EQ(conf.get_bool(L"word", &b), XrConfiguration::OK); // "true" reads as 0
    EXPECT_FALSE(b);
    EXPECT_EQ(conf.get_bool(L"two", &b), XrConfiguration::OK);
    EXPECT_TRUE(b);
    double d = 0;
    EXPECT_EQ(conf.get_double(L"real", &d), XrConfiguration::OK);
    EXPECT_DOUBLE_EQ(d, 2.75);
    EXPECT_EQ(conf.get_double(L"missing", &d), XrConfiguration::FAILED);
}

TEST_F(ConfigurationTest, DefaultsApplyToMissingValuesAndKeys)
{
    const int di = 5;
    const bool db = true;
    const double dd = 1.5;
    int i = 0;
    bool b = false;
    double d = 0;
    XrString s;
    for (const wchar_t* key : {L"\\x", L"\\y"}) {
        ASSERT_EQ(conf.open_key(key), XrConfiguration::OK);
        EXPECT_EQ(conf.get_int(L"missing", &i, &di), XrConfiguration::OK);
        EXPECT_EQ(conf.get_bool(L"missing", &b, &db), XrConfiguration::OK);
        EXPECT_EQ(conf.get_double(L"missing", &d, &dd), XrConfiguration::OK);
        EXPECT_EQ(conf.get_string(L"missing", s, L"dflt"), XrConfiguration::OK);
        EXPECT_EQ(i, 5);
        EXPECT_TRUE(b);
        EXPECT_EQ(d, 1.5);
        EXPECT_EQ(s, L"dflt");
    }
    // A current key that vanished: get_string says so even with a default;
    // the typed reads still take theirs.
    ASSERT_EQ(conf.open_key(L"\\y"), XrConfiguration::OK);
    ASSERT_EQ(conf.open_key(L"\\"), XrConfiguration::OK);
    ASSERT_EQ(conf.delete_key(L"y"), XrConfiguration::OK);
    EXPECT_EQ(conf.open_key(L"\\y"), XrConfiguration::NOT_FOUND);
    ASSERT_EQ(conf.create_key_path(L"\\z"), XrConfiguration::OK);
    ASSERT_EQ(conf.push_key(), XrConfiguration::OK);
    ASSERT_EQ(conf.open_key(L"\\"), XrConfiguration::OK);
    ASSERT_EQ(conf.delete_key(L"z"), XrConfiguration::OK);
    ASSERT_EQ(conf.pop_key(), XrConfiguration::OK);
    EXPECT_EQ(std::wstring(conf.get_current_key()), L"\\z");
    EXPECT_EQ(conf.get_string(L"missing", s, L"dflt"), XrConfiguration::NOT_FOUND);
    EXPECT_EQ(conf.get_int(L"missing", &i, &di), XrConfiguration::OK);
    EXPECT_EQ(conf.get_int(L"missing", &i), XrConfiguration::FAILED);
    EXPECT_EQ(conf.set_string(L"n", L"v"), XrConfiguration::NOT_FOUND);
    EXPECT_TRUE(all(conf.create_value_iterator()).empty());
}

TEST_F(ConfigurationTest, OpenKey)
{
    EXPECT_EQ(conf.open_key(L"\\x"), XrConfiguration::OK);
    EXPECT_EQ(conf.open_key(L"a"), XrConfiguration::OK); // relative
    EXPECT_EQ(std::wstring(conf.get_current_key()), L"\\x\\a");
    EXPECT_EQ(conf.open_key(L"nothing"), XrConfiguration::NOT_FOUND);
    EXPECT_EQ(std::wstring(conf.get_current_key()), L"\\x\\a");
    EXPECT_EQ(conf.open_key(L"\\"), XrConfiguration::OK);
    EXPECT_EQ(std::wstring(conf.get_current_key()), L"");
    EXPECT_EQ(conf.open_key(L"\\X"), XrConfiguration::NOT_FOUND); // case matters
}

TEST_F(ConfigurationTest, KeyStack)
{
    EXPECT_EQ(conf.pop_key(), XrConfiguration::FAILED);
    ASSERT_EQ(conf.open_key(L"\\x"), XrConfiguration::OK);
    for (const wchar_t* k : {L"\\x\\a", L"\\x\\b", L"\\y", L"\\x\\a\\deep", L"\\x\\ab", L"\\"}) {
        ASSERT_EQ(conf.push_key(), XrConfiguration::OK);
        ASSERT_EQ(conf.open_key(k), XrConfiguration::OK);
    }
    for (const wchar_t* k : {L"\\x\\ab", L"\\x\\a\\deep", L"\\y", L"\\x\\b", L"\\x\\a", L"\\x"}) {
        ASSERT_EQ(conf.pop_key(), XrConfiguration::OK);
        EXPECT_EQ(std::wstring(conf.get_current_key()), k);
    }
    EXPECT_EQ(conf.pop_key(), XrConfiguration::FAILED);
    EXPECT_FALSE(conf.get_state_flag());
}

TEST_F(ConfigurationTest, SetAndDeleteValues)
{
    ASSERT_EQ(conf.open_key(L"\\y"), XrConfiguration::OK);
    ASSERT_EQ(conf.set_string(L"a", L"1"), XrConfiguration::OK);
    ASSERT_EQ(conf.set_int(L"b", 2), XrConfiguration::OK);
    ASSERT_EQ(conf.set_bool(L"c", true), XrConfiguration::OK);
    ASSERT_EQ(conf.set_double(L"d", 0.5), XrConfiguration::OK);
    ASSERT_EQ(conf.set_string(L"a", L"one"), XrConfiguration::OK); // replaced in place
    EXPECT_EQ(all(conf.create_value_iterator()), (std::vector<std::wstring>{L"a", L"b", L"c", L"d"}));
    XrString s;
    ASSERT_EQ(conf.get_string(L"a", s), XrConfiguration::OK);
    EXPECT_EQ(s, L"one");
    ASSERT_EQ(conf.get_string(L"c", s), XrConfiguration::OK);
    EXPECT_EQ(s, L"1");
    ASSERT_EQ(conf.get_string(L"d", s), XrConfiguration::OK);
    EXPECT_EQ(s, L"0.500000");

    EXPECT_EQ(conf.delete_value(L"b"), XrConfiguration::OK);
    EXPECT_EQ(conf.delete_value(L"b"), XrConfiguration::NOT_FOUND);
    EXPECT_EQ(all(conf.create_value_iterator()), (std::vector<std::wstring>{L"a", L"c", L"d"}));
}

TEST_F(ConfigurationTest, NamesThatCannotBeSavedAreRefused)
{
    ASSERT_EQ(conf.open_key(L"\\y"), XrConfiguration::OK);
    for (const wchar_t* name : {L"a=b", L"line\nbreak", L"cr\r", L" lead", L"trail\t", L"#hash", L"[bracket"})
        EXPECT_EQ(conf.set_string(name, L"v"), XrConfiguration::FAILED);
    for (const wchar_t* name : {L"", L"in ner", L"\"q\"", L"a#b", L"a[b]", L"back\\slash"})
        EXPECT_EQ(conf.set_string(name, L"v"), XrConfiguration::OK);
    EXPECT_EQ(conf.create_key(L"bad\nkey"), XrConfiguration::FAILED);
}

TEST_F(ConfigurationTest, CreateKeys)
{
    ASSERT_EQ(conf.open_key(L"\\x"), XrConfiguration::OK);
    EXPECT_EQ(conf.create_key(L"a"), XrConfiguration::EXISTS);
    EXPECT_EQ(conf.create_key(L"c"), XrConfiguration::OK);
    EXPECT_EQ(std::wstring(conf.get_current_key()), L"\\x");
    EXPECT_EQ(conf.open_key(L"\\x\\c"), XrConfiguration::OK);

    EXPECT_EQ(conf.create_key_path(L"\\p\\q\\\\r\\"), XrConfiguration::OK); // empty pieces skipped
    EXPECT_EQ(std::wstring(conf.get_current_key()), L"\\p\\q\\r");
    EXPECT_EQ(conf.open_key(L"\\p\\q"), XrConfiguration::OK);
    EXPECT_EQ(conf.create_key_path(L"\\x\\a"), XrConfiguration::OK); // exists: just opened
    EXPECT_EQ(std::wstring(conf.get_current_key()), L"\\x\\a");
}

TEST_F(ConfigurationTest, DeleteKeyTakesSubKeysButNotSiblings)
{
    ASSERT_EQ(conf.open_key(L"\\x"), XrConfiguration::OK);
    ASSERT_EQ(conf.delete_key(L"a"), XrConfiguration::OK);
    EXPECT_EQ(conf.open_key(L"\\x\\a"), XrConfiguration::NOT_FOUND);
    EXPECT_EQ(conf.open_key(L"\\x\\a\\deep"), XrConfiguration::NOT_FOUND);
    ASSERT_EQ(conf.open_key(L"\\x\\ab"), XrConfiguration::OK); // the sibling stays
    XrString s;
    EXPECT_EQ(conf.get_string(L"v", s), XrConfiguration::OK);
    EXPECT_EQ(s, L"2");
    ASSERT_EQ(conf.open_key(L"\\x"), XrConfiguration::OK);
    EXPECT_EQ(conf.delete_key(L"nothing"), XrConfiguration::OK);
    EXPECT_EQ(sorted(all(conf.create_key_iterator())), (std::vector<std::wstring>{L"ab", L"b"}));
}

TEST_F(ConfigurationTest, DeleteKeyRemovesEveryCopyOfARepeatedKey)
{
    XrMemoryConfiguration c(L"");
    ASSERT_EQ(load(c, "[\\k]\nx=1\n[\\k]\nx=2\n[\\k\\sub]\n"), XrConfiguration::OK);
    ASSERT_EQ(c.open_key(L"\\"), XrConfiguration::OK);
    ASSERT_EQ(c.delete_key(L"k"), XrConfiguration::OK);
    EXPECT_EQ(c.open_key(L"\\k"), XrConfiguration::NOT_FOUND);
    EXPECT_EQ(c.open_key(L"\\k\\sub"), XrConfiguration::NOT_FOUND);
}

TEST_F(ConfigurationTest, KeyIteratorYieldsDirectSubKeysOnly)
{
    ASSERT_EQ(conf.open_key(L"\\x\\a"), XrConfiguration::OK);
    EXPECT_EQ(all(conf.create_key_iterator()), (std::vector<std::wstring>{L"deep"})); // not "b" of \x\ab
    ASSERT_EQ(conf.open_key(L"\\x"), XrConfiguration::OK);
    EXPECT_EQ(sorted(all(conf.create_key_iterator())), (std::vector<std::wstring>{L"a", L"ab", L"b"}));
    ASSERT_EQ(conf.open_key(L"\\"), XrConfiguration::OK);
    EXPECT_EQ(sorted(all(conf.create_key_iterator())), (std::vector<std::wstring>{L"x", L"y"}));
    ASSERT_EQ(conf.open_key(L"\\y"), XrConfiguration::OK);
    EXPECT_TRUE(all(conf.create_key_iterator()).empty());
}

TEST_F(ConfigurationTest, IteratorsOutliveChanges)
{
    ASSERT_EQ(conf.open_key(L"\\x"), XrConfiguration::OK);
    std::unique_ptr<XrConfigurationIterator> values(conf.create_value_iterator());
    std::unique_ptr<XrConfigurationIterator> keys(conf.create_key_iterator());
    ASSERT_EQ(conf.open_key(L"\\"), XrConfiguration::OK);
    ASSERT_EQ(conf.delete_key(L"x"), XrConfiguration::OK);
    XrString s;
    ASSERT_TRUE(values->get_next(s));
    EXPECT_EQ(s, L"int");
    int n = 0;
    while (keys->get_next(s))
        ++n;
    EXPECT_EQ(n, 3);
}

TEST_F(ConfigurationTest, ReadOnlyStore)
{
    XrMemoryConfiguration c(L"");
    ASSERT_EQ(load(c, "[\\k]\nx=1\n[\\k\\sub]\n", true), XrConfiguration::OK);
    ASSERT_EQ(c.open_key(L"\\k"), XrConfiguration::OK);
    EXPECT_EQ(c.set_string(L"x", L"2"), XrConfiguration::READ_ONLY);
    EXPECT_EQ(c.set_int(L"x", 2), XrConfiguration::READ_ONLY);
    EXPECT_EQ(c.delete_value(L"x"), XrConfiguration::READ_ONLY);
    EXPECT_EQ(c.delete_key(L"sub"), XrConfiguration::READ_ONLY);
    EXPECT_EQ(c.create_key(L"new"), XrConfiguration::OK); // still allowed
    EXPECT_EQ(c.create_key_path(L"\\k\\other"), XrConfiguration::OK);
    EXPECT_EQ(c.save(), XrConfiguration::OK); // nothing to write in memory
    int v = 0;
    EXPECT_EQ(c.get_int(L"x", &v), XrConfiguration::FAILED); // \k\other is current
    ASSERT_EQ(c.open_key(L"\\k"), XrConfiguration::OK);
    EXPECT_EQ(c.get_int(L"x", &v), XrConfiguration::OK);
    EXPECT_EQ(v, 1);
}

TEST_F(ConfigurationTest, OpenAddsToWhatIsThere)
{
    ASSERT_EQ(load(conf, "[\\z]\nq=1\n"), XrConfiguration::OK);
    EXPECT_EQ(conf.open_key(L"\\x"), XrConfiguration::OK);
    EXPECT_EQ(conf.open_key(L"\\z"), XrConfiguration::OK);
}

} // namespace
