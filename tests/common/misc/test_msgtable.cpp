#include "common/misc/xr_msgtable.h"

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "common/container/xr_string.h"
#include "common/misc/xr_msgids.h"
#include "support/xr_temp_root.h"

namespace {

std::string narrow(const XrString& s)
{
    std::string out;
    for (int i = 0; i < s.length(); ++i)
        out += static_cast<char>(s.char_at(i));
    return out;
}

// Sets an environment variable for the fixture's lifetime.
class EnvVar {
public:
    EnvVar(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name)) {
            m_had = true;
            m_old = old;
        }
        setenv(name, value, 1);
    }
    ~EnvVar()
    {
        if (m_had)
            setenv(m_name.c_str(), m_old.c_str(), 1);
        else
            unsetenv(m_name.c_str());
    }

private:
    std::string m_name;
    std::string m_old;
    bool m_had = false;
};

// English texts from the catalogue installed under a temporary root:
// LANGUAGE=en over the C.UTF-8 locale (see xr_msgtable.h).
class TranslatedTextTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(std::setlocale(LC_ALL, ""), nullptr);
        ASSERT_TRUE(std::filesystem::exists(root.dir() + "/usr/share/locale/en/LC_MESSAGES/kestrova.mo"))
            << "compiled catalogue missing (build target xr_catalogue)";
        ASSERT_TRUE(bind_text_domain());
    }
    void TearDown() override { std::setlocale(LC_ALL, "C"); }

    EnvVar language{"LANGUAGE", "en"};
    EnvVar lc_all{"LC_ALL", "C.UTF-8"};
    XrTempRoot root;
};

} // namespace

TEST(MessageTable, HoldsEveryIdentifierOnceWithAUniqueKey)
{
    std::set<std::string> keys;
    for (int i = 0; i < XR_MESSAGE_COUNT; ++i) {
        const XrMessageEntry& e = xr_message_table[i];
        EXPECT_EQ(e.id, static_cast<unsigned int>(i));
        ASSERT_NE(e.key, nullptr);
        EXPECT_EQ(std::strncmp(e.key, "r_", 2), 0) << e.key;
        EXPECT_TRUE(keys.insert(e.key).second) << "duplicate key " << e.key;
    }
    EXPECT_EQ(keys.size(), 879u);
}

TEST(MessageTable, KnownIdentifiersGiveTheirKeys)
{
    const struct {
        int id;
        const char* key;
    } cases[] = {
        {0, "r_str_ambiguous_mmc_title"},       {878, "r_str_map_data_corrupted"},
        {149, "r_str_allow_metric_switch"},     {344, "r_str_dlg_ok"},
        {345, "r_str_dlg_cancel"},              {357, "r_str_language"},
        {505, "r_str_msg_no_route_found"},      {613, "r_str_over_200_poi_found"},
        {618, "r_str_coord_format_lat1"},       {620, "r_str_coord_format_lat3"},
        {838, "r_str_posdlg_distance_to"},      {208, "r_menu_main_exit"},
        {R_STR_APP_NAME, "r_str_app_name"},     {3, "r_str_unused_3"},
    };
    for (const auto& c : cases) {
        const char* key = get_message_key(c.id);
        ASSERT_NE(key, nullptr) << c.id;
        EXPECT_STREQ(key, c.key) << c.id;
    }
    EXPECT_EQ(R_STR_DLG_OK, 344);
    EXPECT_EQ(R_STR_MAP_DATA_CORRUPTED, 878);
}

TEST(MessageTable, UnknownIdentifiersHaveNoText)
{
    for (int id : {-1, 879, 1000, -2147483647 - 1}) {
        EXPECT_EQ(get_message_key(id), nullptr) << id;
        XrString out(L"stale");
        EXPECT_FALSE(get_translated_text(out, id)) << id;
        EXPECT_EQ(out.length(), 0) << id;
    }
}

TEST_F(TranslatedTextTest, ReadsTheEnglishCatalogue)
{
    const struct {
        int id;
        const TCHAR* text;
    } cases[] = {
        {R_STR_DLG_OK, L"OK"},
        {R_STR_ALLOW_METRIC_SWITCH, L"yes"},
        {R_STR_LANGUAGE, L"ENG"},
        {R_STR_PATH_SOUNDS, L"?:\\kestrova\\sounds"},
        {R_STR_POSDLG_DISTANCE_TO, L"%s to %s"},
        // Decoded from UTF-8: the degree sign is two bytes in the catalogue.
        {R_STR_COORD_FORMAT_LAT3, L"Enter the latitude as degrees, for example 60.175\u00B0N."},
        {R_STR_COORD_FORMAT_LAT1, L"Enter the latitude as degrees, minutes and seconds, for example 60\u00B010'30\"N."},
    };
    for (const auto& c : cases) {
        XrString out;
        ASSERT_TRUE(get_translated_text(out, c.id)) << c.id;
        EXPECT_TRUE(out == c.text) << c.id << ": " << narrow(out);
    }
}

TEST_F(TranslatedTextTest, EveryNamedKeyIsTranslatedAndPlaceholdersStayKeys)
{
    int named = 0;
    for (const XrMessageEntry& e : xr_message_table) {
        XrString out;
        ASSERT_TRUE(get_translated_text(out, static_cast<int>(e.id)));
        const bool placeholder = std::strncmp(e.key, "r_str_unused_", 13) == 0;
        if (placeholder) {
            EXPECT_EQ(narrow(out), e.key);
        } else {
            ++named;
            EXPECT_GT(out.length(), 0) << e.key;
            EXPECT_NE(narrow(out), e.key) << "no English text for " << e.key;
        }
    }
    EXPECT_GT(named, 300);
}

TEST_F(TranslatedTextTest, StringConstructionUsesTheTable)
{
    EXPECT_TRUE(XrString(static_cast<int>(R_STR_DLG_CANCEL)) == L"Cancel");
    XrString s;
    EXPECT_FALSE(s.load_text(879));
}

TEST_F(TranslatedTextTest, WithoutACatalogueTheKeyIsTheText)
{
    std::filesystem::remove_all(root.dir() + "/usr/share/locale");
    ASSERT_TRUE(bind_text_domain());
    XrString out;
    ASSERT_TRUE(get_translated_text(out, R_STR_DLG_OK));
    EXPECT_EQ(narrow(out), "r_str_dlg_ok");
}

// Locales without a catalogue of their own (gettext does not even look at
// LANGUAGE in the C locale) read the English catalogue.
TEST_F(TranslatedTextTest, LocalesWithoutACatalogueReadTheEnglishOne)
{
    for (const char* locale : {"C", "POSIX", "xx_YY.UTF-8"}) {
        EnvVar lc("LC_ALL", locale);
        EnvVar no_language("LANGUAGE", "");
        std::setlocale(LC_ALL, ""); // fails for the unknown one: the locale stays C
        ASSERT_TRUE(bind_text_domain());
        XrString out;
        ASSERT_TRUE(get_translated_text(out, R_STR_DLG_OK)) << locale;
        EXPECT_EQ(narrow(out), "OK") << locale;
        EXPECT_STREQ(translate_key("r_str_app_name"), "Kestrova Navigator") << locale;
        XrString streets;
        ASSERT_TRUE(streets.format_text(50, R_STR_POSDLG_PCS, 3)) << locale;
        EXPECT_EQ(narrow(streets), "3 streets") << locale;
    }
}

TEST_F(TranslatedTextTest, AKeyWithoutAnyTextStaysTheKey)
{
    EnvVar lc("LC_ALL", "C");
    std::setlocale(LC_ALL, "");
    EXPECT_STREQ(translate_key("r_str_no_such_key"), "r_str_no_such_key");
    EXPECT_EQ(get_message_id("r_str_app_name"), static_cast<int>(R_STR_APP_NAME));
    EXPECT_EQ(get_message_id("r_str_no_such_key"), -1);
}

// The English catalogue is the one under the root in force.
TEST_F(TranslatedTextTest, TheEnglishCatalogueFollowsTheRoot)
{
    EnvVar lc("LC_ALL", "C");
    std::setlocale(LC_ALL, "");
    EXPECT_STREQ(translate_key("r_str_dlg_cancel"), "Cancel");
    XrTempRoot empty;
    std::filesystem::remove_all(empty.dir() + "/usr/share/locale");
    EXPECT_STREQ(translate_key("r_str_dlg_cancel"), "r_str_dlg_cancel");
}
