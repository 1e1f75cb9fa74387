// The voice root, with and without a message catalogue for the locale: a
// start in a locale the catalogue lacks still finds the voice sets.
#include "common/misc/xr_path_resolver.h"
#include "common/update/xr_soundsetcatalogue.h"
#include "support/xr_english_texts.h"
#include "tests/support/xr_temp_root.h"

#include <gtest/gtest.h>

#include <clocale>
#include <memory>
#include <string>

namespace {

std::string narrow(const XrString& s)
{
    std::string out;
    for (int i = 0; i < s.length(); ++i)
        out.push_back(static_cast<char>(s.c_str()[i]));
    return out;
}

TEST(VoiceRoot, IsTheCardsSoundsFolderWithAndWithoutACatalogue)
{
    for (const bool english : {true, false}) {
        SCOPED_TRACE(english ? "English catalogue" : "C locale");
        std::unique_ptr<EnglishTexts> texts;
        std::unique_ptr<XrTempRoot> bare;
        if (english)
            texts = std::make_unique<EnglishTexts>();
        else
            bare = std::make_unique<XrTempRoot>();
        const std::string dir = english ? texts->root.dir() : bare->dir();
        const std::wstring card = std::wstring(dir.begin(), dir.end()) + L"/media/mmc1/map/";
        XrPathResolver resolver(card.c_str());
        set_path_resolver(&resolver);
        const XrString root = XrSoundsetCatalogue::get_voice_root();
        set_path_resolver(nullptr);
        EXPECT_EQ(narrow(backslashes_to_slashes(root)), dir + "/media/mmc1/map/kestrova/sounds");
    }
}

TEST(VoiceRoot, VoiceSetIsFoundInTheCLocale)
{
    std::setlocale(LC_ALL, "C");
    XrTempRoot root;
    root.write_file("/media/mmc1/map/kestrova/sounds/sound_eng/left.ogg", "x");
    const std::wstring card = std::wstring(root.dir().begin(), root.dir().end()) + L"/media/mmc1/map/";
    XrPathResolver resolver(card.c_str());
    set_path_resolver(&resolver);
    XrString name;
    EXPECT_TRUE(get_content_folder(name, true));
    set_path_resolver(nullptr);
    EXPECT_EQ(narrow(name), "sound_eng");
}

} // namespace
