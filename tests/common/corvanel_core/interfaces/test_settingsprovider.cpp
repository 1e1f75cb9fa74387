#include "common/config/xr_memoryconfiguration.h"
#include "common/corvanel_core/interfaces/xr_settingsprovider.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

class Settings : public XrFileSettingsProvider {
public:
    bool save(bool) override { return true; }
};

std::unique_ptr<XrMemoryConfiguration> parse(const char* text)
{
    auto c = std::make_unique<XrMemoryConfiguration>(L"");
    EXPECT_EQ(c->open(reinterpret_cast<const BYTE*>(text), std::strlen(text), false), XrConfiguration::OK);
    return c;
}

} // namespace

TEST(FileSettingsProvider, MissingKeyTakesItsDefaultAndIsWrittenLater)
{
    Settings s;
    EXPECT_EQ(s.get_string(XrString(L"k"), XrString(L"x")), L"x");
    auto out = parse("REGEDIT4\r\n");
    out->create_key_path(L"\\settings");
    s.write_to(*out);
    XrString v;
    ASSERT_EQ(out->get_string(L"k", v), XrConfiguration::OK);
    EXPECT_EQ(v, L"x");
}

TEST(FileSettingsProvider, IntegersReadTheirLeadingDigits)
{
    Settings s;
    s.set_string(XrString(L"a"), XrString(L"12abc"));
    s.set_string(XrString(L"b"), XrString(L"abc"));
    s.set_string(XrString(L"c"), XrString(L"-7"));
    EXPECT_EQ(s.get_int(XrString(L"a"), 5), 12);
    EXPECT_EQ(s.get_int(XrString(L"b"), 5), 0);
    EXPECT_EQ(s.get_int(XrString(L"c"), 5), -7);
    EXPECT_EQ(s.get_int(XrString(L"d"), 42), 42);
    EXPECT_EQ(s.get_string(XrString(L"d"), XrString()), L"42");
}

TEST(FileSettingsProvider, SetTwiceKeepsOneEntry)
{
    Settings s;
    s.set_string(XrString(L"k"), XrString(L"1"));
    s.set_int(XrString(L"k"), 2);
    auto out = parse("REGEDIT4\r\n");
    out->create_key_path(L"\\s");
    s.write_to(*out);
    std::unique_ptr<XrConfigurationIterator> it(out->create_value_iterator());
    XrString name;
    int n = 0;
    while (it->get_next(name))
        ++n;
    EXPECT_EQ(n, 1);
    EXPECT_EQ(s.get_string(XrString(L"k"), XrString()), L"2");
}

TEST(FileSettingsProvider, LoadValuesCopiesTheCurrentKey)
{
    Settings s;
    auto in = parse("REGEDIT4\r\n[\\settings]\r\nnew_key=kept\r\nother=1\r\n");
    ASSERT_EQ(in->open_key(L"\\settings"), XrConfiguration::OK);
    s.load_values(*in);
    EXPECT_EQ(s.get_string(XrString(L"new_key"), XrString()), L"kept");
    EXPECT_EQ(s.get_int(XrString(L"other"), 0), 1);
}
