#include "common/misc/xr_locale_dummy.h"
#include "common/misc/xr_msgtable.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/xr_temp_root.h"

namespace {

TEST(LocaleName, EveryLanguageCode)
{
    const struct {
        const wchar_t* code;
        const char* locale;
    } cases[] = {
        {L"ENG", "en_GB"}, {L"ENGUS", "en_US"}, {L"FRA", "fr_FR"}, {L"FRACA", "fr_CA"}, {L"DEU", "de_DE"},
        {L"SPA", "es_ES"}, {L"SPAMX", "es_MX"}, {L"ITA", "it_IT"}, {L"SWE", "sv_SE"},   {L"DAN", "da_DK"},
        {L"NOR", "no_NO"}, {L"FIN", "fi_FI"},   {L"POR", "pt_PT"}, {L"TUR", "tr_TR"},   {L"HUN", "hu_HU"},
        {L"DUT", "nl_NL"}, {L"CES", "cs_CZ"},   {L"SLK", "sk_SK"}, {L"POL", "pl_PL"},   {L"RUS", "ru_RU"},
        {L"ARA", "ar_AE"}, {L"", "en_GB"},      {L"XYZ", "en_GB"}, {L"fra", "en_GB"},   {L"FRAC", "en_GB"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(get_locale_name_for_code(XrString(c.code)), c.locale) << testing::PrintToString(std::wstring(c.code));
}

TEST(LocaleName, FromTheInstalledCatalogue)
{
    // The English catalogue names the language "ENG"; without any catalogue
    // the key comes back and the default applies too.
    XrTempRoot root;
    ASSERT_TRUE(std::filesystem::exists(root.dir() + "/usr/share/locale/en/LC_MESSAGES/kestrova.mo"))
        << "compiled catalogue missing (build target xr_catalogue)";
    const char* old_language = std::getenv("LANGUAGE");
    const std::string saved = old_language ? old_language : "";
    setenv("LANGUAGE", "en", 1);
    setenv("LC_ALL", "C.UTF-8", 1);
    ASSERT_NE(std::setlocale(LC_ALL, ""), nullptr);
    ASSERT_TRUE(bind_text_domain());
    XrString code;
    ASSERT_TRUE(get_translated_text(code, 357));
    EXPECT_TRUE(code == L"ENG");
    EXPECT_STREQ(get_locale_name(), "en_GB");
    std::setlocale(LC_ALL, "C");
    unsetenv("LC_ALL");
    if (old_language)
        setenv("LANGUAGE", saved.c_str(), 1);
    else
        unsetenv("LANGUAGE");
}

TEST(LanguageCode, PackAndUnpack)
{
    EXPECT_EQ(pack_language_code(L"fin", false), 0x6e6966u);
    EXPECT_EQ(pack_language_code("fin", false), 0x6e6966u);
    EXPECT_EQ(pack_language_code(L"FIN", true), 0x6e6966u);
    EXPECT_EQ(pack_language_code("FIN", false), 0x4e4946u);
    EXPECT_EQ(pack_language_code(L"ara", false), 'a' | ('r' << 8) | ('a' << 16));
    EXPECT_EQ(pack_language_code("en", false), 0x6e65u) << "a short text packs what it has";
    EXPECT_EQ(pack_language_code("", true), 0u);
    EXPECT_EQ(pack_language_code("swedish", true), pack_language_code("swe", false)) << "three letters only";
    EXPECT_TRUE(unpack_language_code(0x6e6966u) == L"fin");
    EXPECT_TRUE(unpack_language_code(pack_language_code(L"Deu", true)) == L"deu");
    EXPECT_TRUE(unpack_language_code(0) == L"");
}

} // namespace
