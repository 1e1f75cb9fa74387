// Traffic event texts from a strings file, record categories, fallback texts
// and warning sounds.
#include "apps/services/xr_trafficstrings.h"

#include <gtest/gtest.h>

#include <string>

#include "apps/services/xr_trafficinfo.h"
#include "common/misc/xr_path_resolver.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/trafficstrings_writer.h"

namespace {

std::string write(XrTempRoot& root, const std::string& name, const std::vector<std::uint8_t>& bytes)
{
    return root.write_file("/strings/" + name, std::string(bytes.begin(), bytes.end()));
}

TEST(TrafficStrings, TextsByEventCode)
{
    XrTempRoot root;
    std::vector<std::uint8_t> bytes =
        traffic_strings_file({{1, "Queue"}, {101, "Stationary traffic"}, {2047, "Gl\xC3\xA4tte"}, {2048, "never"}});
    // Code 50's entry points past the end of the file.
    const std::size_t entry = 6 * 50;
    bytes[entry] = 0xF0;
    bytes[entry + 1] = 0xFF;
    bytes[entry + 4] = 4;
    XrTrafficStrings strings;
    ASSERT_TRUE(strings.open(XrString(write(root, "strings_ENG.bin", bytes).c_str())));
    struct Case {
        int code;
        bool found;
        const TCHAR* text;
    } cases[] = {
        {1, true, L"Queue"},   {101, true, L"Stationary traffic"}, {2047, true, L"Gl\u00e4tte"},
        {0, false, L""},       {2048, false, L""},                 {-1, false, L""},
        {2, false, L""},       {50, false, L""},                   {101, true, L"Stationary traffic"},
    };
    for (const Case& c : cases) {
        XrString text(L"stale");
        EXPECT_EQ(strings.get_text(c.code, text), c.found) << c.code;
        EXPECT_TRUE(text == c.text) << c.code;
    }
    XrTrafficStrings closed;
    EXPECT_FALSE(closed.open(XrString((root.dir() + "/strings/none.bin").c_str())));
}

TEST(TrafficStrings, CategoriesOfRecords)
{
    struct Case {
        std::vector<std::uint16_t> codes;
        std::vector<std::uint8_t> kinds;
        int category;
    } cases[] = {
        {{}, {}, 0},
        {{1012, 492}, {0, 0}, 4},  // the first listed code decides
        {{492, 1012}, {0, 0}, 6},
        {{1, 1473}, {0, 0}, 17},
        {{1, 2}, {25, 3}, 7},      // else the largest kind
        {{1}, {0}, 0},
        {{1}, {15}, 4},
        {{1}, {40}, 0},            // a kind past the table
    };
    for (const Case& c : cases) {
        XrTrafficInfoParams record;
        record.event_codes = c.codes;
        record.kinds = c.kinds;
        EXPECT_EQ(XrTrafficStrings::event_category(record, nullptr), c.category) << c.codes.size();
    }
}

TEST(TrafficStrings, FallbackTextsAndSounds)
{
    XrTempRoot root;
    XrTrafficStrings strings;
    ASSERT_TRUE(strings.open(XrString(write(root, "s.bin", traffic_strings_file({{101, "Jam"}})).c_str())));
    XrString text;
    XrTrafficStrings::event_text(&strings, 101, 0, text);
    EXPECT_TRUE(text == L"Jam");
    for (int category = 0; category < 12; ++category) {
        XrTrafficStrings::event_text(&strings, 5, category, text);
        EXPECT_GT(text.length(), 0) << category;
        EXPECT_NE(text.find(L"r_str_"), 0) << category; // translated, never the raw key
    }
    XrTrafficStrings::event_text(nullptr, 5, 17, text);
    EXPECT_EQ(text.length(), 0);
    EXPECT_STREQ(XrTrafficStrings::category_sound(3), L"tf_weather.wav");
    EXPECT_STREQ(XrTrafficStrings::category_sound(4), L"tf_weather.wav");
    EXPECT_STREQ(XrTrafficStrings::category_sound(0), L"tf_warning.wav");
    EXPECT_STREQ(XrTrafficStrings::category_sound(17), L"tf_warning.wav");
}

} // namespace

namespace {

// The language's file is looked for on the map card; English is the last
// resort, and without any file there are no strings.
TEST(TrafficStrings, LoadFallsBackToEnglish)
{
    XrTempRoot root;
    const XrString card((root.dir() + "/media/mmc1/map/").c_str());
    XrPathResolver resolver(card.c_str());
    XrPathResolver* before = get_path_resolver();
    set_path_resolver(&resolver);
    EXPECT_EQ(XrTrafficStrings::load(), nullptr);
    const std::vector<std::uint8_t> bytes = traffic_strings_file({{101, "Stationary traffic"}});
    root.write_file("/media/mmc1/map/kestrova/strings_ENG.bin", std::string(bytes.begin(), bytes.end()));
    std::unique_ptr<XrTrafficStrings> strings = XrTrafficStrings::load();
    ASSERT_NE(strings, nullptr);
    XrString text;
    EXPECT_TRUE(strings->get_text(101, text));
    EXPECT_TRUE(text == L"Stationary traffic");
    set_path_resolver(before);
}

} // namespace
