// The application's catalogue host: the voice folder lookups see the voice
// set the settings keep, so that a language change or the voice sets window
// finds the chosen set rather than the default one.
#include <gtest/gtest.h>

#include "apps/maemo_map/xr_maemocataloguehost.h"
#include "common/base/xr_singleton.h"
#include "common/corvanel_core/impl/xr_appsettingsproviderimpl.h"
#include "common/update/xr_soundsetcatalogue.h"

namespace {

std::string narrow(const XrString& s)
{
    std::string out;
    for (int i = 0; i < s.length(); ++i)
        out.push_back(static_cast<char>(s.char_at(i)));
    return out;
}

TEST(MaemoCatalogueHost, VoiceFolderIsTheStoredVoiceSetOrTheDefault)
{
    XrMaemoCatalogueHost host;
    XrCatalogueHost::set_instance(&host);
    XrString name;
    EXPECT_TRUE(get_content_folder(name, false));
    EXPECT_EQ(narrow(name), "sound_eng") << "no settings: the default";

    XrAppSettingsProviderImpl settings;
    XrSingleton::set_instance(XrString(L"XrAppSettingsProvider"), static_cast<XrAppSettingsProvider*>(&settings));
    const struct {
        const char* stored;
        const char* found;
    } cases[] = {{"sound_second", "sound_second"}, {"", "sound_eng"}};
    for (const auto& c : cases) {
        settings.set_soundset(XrString(c.stored));
        EXPECT_TRUE(get_content_folder(name, false));
        EXPECT_EQ(narrow(name), c.found) << c.stored;
    }
    XrSingleton::set_instance(XrString(L"XrAppSettingsProvider"), nullptr);
    XrCatalogueHost::set_instance(nullptr);
}

} // namespace
