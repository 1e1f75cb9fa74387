#include "common/misc/xr_path_resolver.h"
#include "common/update/xr_cataloguehost.h"
#include "common/update/xr_mapcatalogue.h"
#include "common/update/xr_soundsetcatalogue.h"
#include "common/update/xr_versionfile.h"
#include "support/xr_english_texts.h"
#include "tests/support/xr_temp_root.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

namespace {

std::string narrow(const XrString& s)
{
    return wide_to_narrow_static(s.c_str());
}

class FakeHost : public XrCatalogueHost {
public:
    FakeHost() { set_instance(this); }
    ~FakeHost() override { set_instance(nullptr); }
    XrString get_voice_folder_name() override { return voice; }
    void show_error_msg(const XrString& title, const XrString& message) override
    {
        notes.push_back(narrow(title) + "|" + narrow(message));
    }
    XrString voice;
    std::vector<std::string> notes;
};

class MapCatalogueTest : public ::testing::Test {
protected:
    std::string card() const { return root.dir() + "/media/mmc1/map/"; }
    XrString folder() const { return XrString(card().c_str()); }
    void add_map(const std::string& dir, const std::string& name, const std::string& version = "")
    {
        root.make_dirs("/media/mmc1/map/" + dir + "/");
        if (!name.empty())
            root.write_file("/media/mmc1/map/" + dir + "/mapdata.ini",
                            "REGEDIT4\n\n[\\general]\nname=\"" + name + "\"\n");
        if (!version.empty())
            root.write_file("/media/mmc1/map/" + dir + "/version.txt", version);
    }
    bool exists(const std::string& dir) const
    {
        struct stat st;
        return stat((card() + dir).c_str(), &st) == 0;
    }

    EnglishTexts texts; // also the temporary root
    XrTempRoot& root = texts.root;
    FakeHost host;
};

TEST_F(MapCatalogueTest, ListsMapFoldersSortedByName)
{
    add_map("mapdata", "Nordic", "GUID: {1234}\nMap version : 2.1\n");
    add_map("mapdata_Atlantis", "Atlantis");
    add_map("MapData_Europe", "Europe");
    add_map("mapdata_broken", "");
    add_map("otherdata", "Other");
    root.write_file("/media/mmc1/map/mapdata_file", "not a folder");

    XrMapCatalogue cat(folder(), XrString(L"mapdata"));
    ASSERT_EQ(cat.get_count(), 4);
    std::vector<std::string> names;
    for (int i = 0; i < cat.get_count(); ++i)
        names.push_back(narrow(cat.get_item(i)->get_name()));
    EXPECT_EQ(names, (std::vector<std::string>{"Atlantis", "Europe", "Nordic", "Unknown"}));
    EXPECT_EQ(cat.find_active_index(), 2);
    XrMapEntry* active = cat.get_active_entry();
    ASSERT_NE(active, nullptr);
    EXPECT_EQ(narrow(active->get_path()), card() + "mapdata");
    EXPECT_EQ(narrow(active->get_guid()), "{1234}");
    EXPECT_EQ(narrow(active->get_version()), "2.1");
    EXPECT_TRUE(cat.get_item(0)->get_guid().length() == 0);
    EXPECT_EQ(cat.get_item(-1), nullptr);
    EXPECT_EQ(cat.get_item(4), nullptr);
}

TEST_F(MapCatalogueTest, MissingFolderGivesEmptyCatalogue)
{
    XrMapCatalogue cat(folder(), XrString(L"mapdata"));
    EXPECT_EQ(cat.get_count(), 0);
    EXPECT_EQ(cat.get_active_entry(), nullptr);
    EXPECT_FALSE(cat.activate_map(0, false));
}

TEST_F(MapCatalogueTest, ActivationMovesActiveMapAside)
{
    struct Case {
        std::vector<std::string> taken; // folders that already hold the aside names
        std::string aside;
    };
    const Case cases[] = {{{}, "mapdata_Nordic"}, {{"mapdata_Nordic"}, "mapdata_Nordic2"},
                          {{"mapdata_Nordic", "mapdata_Nordic2"}, "mapdata_Nordic3"}};
    for (const Case& c : cases) {
        XrTempRoot case_root;
        FakeHost case_host;
        std::string map = case_root.dir() + "/media/mmc1/map/";
        auto add = [&](const std::string& dir, const std::string& name) {
            case_root.write_file("/media/mmc1/map/" + dir + "/mapdata.ini",
                                 "REGEDIT4\n\n[\\general]\nname=\"" + name + "\"\n");
        };
        add("mapdata", "Nordic");
        add("mapdata_Europe", "Europe");
        for (const std::string& t : c.taken)
            case_root.write_file("/media/mmc1/map/" + t, "x"); // a file blocks the name too

        XrMapCatalogue cat(XrString(map.c_str()), XrString(L"mapdata"));
        ASSERT_EQ(cat.get_count(), 2);
        ASSERT_EQ(narrow(cat.get_item(0)->get_name()), "Europe");
        EXPECT_TRUE(cat.activate_map(0, false));
        EXPECT_EQ(cat.find_active_index(), 0);
        EXPECT_EQ(narrow(cat.get_item(0)->get_path()), map + "mapdata");
        EXPECT_FALSE(cat.get_item(1)->is_active());
        EXPECT_EQ(narrow(cat.get_item(1)->get_path()), map + c.aside);
        struct stat st;
        EXPECT_EQ(stat((map + c.aside + "/mapdata.ini").c_str(), &st), 0) << c.aside;
        EXPECT_TRUE(case_host.notes.empty());

        XrMapCatalogue again(XrString(map.c_str()), XrString(L"mapdata"));
        ASSERT_NE(again.get_active_entry(), nullptr);
        EXPECT_EQ(narrow(again.get_active_entry()->get_name()), "Europe");
    }
}

TEST_F(MapCatalogueTest, AsideNameStaysInTheMapFolder)
{
    struct Case {
        std::string name; // of the active map, from its mapdata.ini
        std::string aside;
    };
    const Case cases[] = {
        {"/../../Nordic", "mapdata__.._.._Nordic"},
        {"..\\..\\Nordic", "mapdata_.._.._Nordic"},
        {"a/b", "mapdata_a_b"},
        {"..", "mapdata_.."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        XrTempRoot case_root;
        FakeHost case_host;
        const std::string map = case_root.dir() + "/media/mmc1/map/";
        auto add = [&](const std::string& dir, const std::string& name) {
            std::string escaped; // a backslash is doubled in the file's strings
            for (char ch : name)
                escaped += ch == '\\' ? std::string("\\\\") : std::string(1, ch);
            case_root.write_file("/media/mmc1/map/" + dir + "/mapdata.ini",
                                 "REGEDIT4\n\n[\\general]\nname=\"" + escaped + "\"\n");
        };
        add("mapdata", c.name);
        add("mapdata_Europe", "Europe");
        case_root.make_dirs("/media/mmc1/map/mapdata_/"); // would let "/../.." climb out

        XrMapCatalogue cat(XrString(map.c_str()), XrString(L"mapdata"));
        int europe = -1, active = -1;
        for (int i = 0; i < cat.get_count(); ++i) {
            if (narrow(cat.get_item(i)->get_name()) == "Europe")
                europe = i;
            if (narrow(cat.get_item(i)->get_name()) == c.name)
                active = i;
        }
        ASSERT_GE(europe, 0);
        ASSERT_GE(active, 0);
        ASSERT_TRUE(cat.activate_map(europe, false));
        EXPECT_EQ(narrow(cat.get_item(active)->get_path()), map + c.aside);
        struct stat st;
        EXPECT_EQ(stat((map + c.aside + "/mapdata.ini").c_str(), &st), 0);
        EXPECT_NE(stat((case_root.dir() + "/media/Nordic").c_str(), &st), 0);
        EXPECT_EQ(stat((map + "mapdata/mapdata.ini").c_str(), &st), 0);
    }
}

TEST_F(MapCatalogueTest, ActivatingActiveOrOutOfRange)
{
    add_map("mapdata", "Nordic");
    XrMapCatalogue cat(folder(), XrString(L"mapdata"));
    EXPECT_TRUE(cat.activate_map(0, false));
    EXPECT_FALSE(cat.activate_map(1, false));
    EXPECT_FALSE(cat.activate_map(-1, false));
    EXPECT_TRUE(exists("mapdata"));
    EXPECT_TRUE(host.notes.empty());
}

TEST_F(MapCatalogueTest, WithoutActiveMapChosenOneIsRenamed)
{
    add_map("mapdata_Europe", "Europe");
    XrMapCatalogue cat(folder(), XrString(L"mapdata"));
    EXPECT_EQ(cat.find_active_index(), -1);
    EXPECT_TRUE(cat.activate_map(0, true));
    EXPECT_TRUE(exists("mapdata"));
    EXPECT_FALSE(exists("mapdata_Europe"));
}

TEST_F(MapCatalogueTest, FailedRenameRestoresAndShowsNote)
{
    add_map("mapdata", "Nordic");
    add_map("mapdata_Europe", "Europe");
    XrMapCatalogue cat(folder(), XrString(L"mapdata"));
    ASSERT_EQ(cat.get_count(), 2);
    // The chosen map disappears: its rename fails, the active map comes back.
    ASSERT_EQ(rename((card() + "mapdata_Europe").c_str(), (card() + "gone").c_str()), 0);
    EXPECT_FALSE(cat.activate_map(0, false));
    EXPECT_EQ(cat.find_active_index(), 1);
    EXPECT_EQ(narrow(cat.get_item(1)->get_path()), card() + "mapdata");
    EXPECT_TRUE(exists("mapdata/mapdata.ini"));
    EXPECT_FALSE(exists("mapdata_Nordic"));
    ASSERT_EQ(host.notes.size(), 1u);
    EXPECT_EQ(host.notes[0], "Map change failed|The map folders could not be renamed.");

    EXPECT_FALSE(cat.activate_map(0, true));
    EXPECT_EQ(host.notes.size(), 1u);
}

TEST_F(MapCatalogueTest, NoFreeAsideNameFailsWithoutRenaming)
{
    add_map("mapdata", "Nordic");
    add_map("mapdata_Europe", "Europe");
    root.write_file("/media/mmc1/map/mapdata_Nordic", "x");
    for (int n = 2; n <= 99; ++n)
        root.write_file("/media/mmc1/map/mapdata_Nordic" + std::to_string(n), "x");
    XrMapCatalogue cat(folder(), XrString(L"mapdata"));
    EXPECT_FALSE(cat.activate_map(0, true));
    EXPECT_TRUE(exists("mapdata/mapdata.ini"));
    EXPECT_TRUE(exists("mapdata_Europe/mapdata.ini"));
    EXPECT_EQ(cat.find_active_index(), 1);
}

TEST(VersionFile, ParsesKeyValueLines)
{
    const std::string text = "  GUID :  {A-B} \r\nMap version: 1.2:extra\nno colon line\n:empty key\nTitle:\xe9t\xe9";
    XrVersionFile v;
    v.parse(reinterpret_cast<const BYTE*>(text.data()), (int)text.size());
    EXPECT_EQ(narrow(v.get(L"GUID")), "{A-B}");
    EXPECT_EQ(narrow(v.get(L"Map version")), "1.2");
    EXPECT_EQ(v.get(L"Title"), XrString(L"\u00e9t\u00e9"));
    EXPECT_EQ(v.get(L"Missing").length(), 0);
    EXPECT_EQ(v.get_count(), 4);
    EXPECT_FALSE(v.load(XrString(L"/nonexistent/version.txt")));
}

class SoundsetTest : public ::testing::Test {
protected:
    SoundsetTest() : resolver(card.c_str()) { set_path_resolver(&resolver); }
    ~SoundsetTest() override { set_path_resolver(nullptr); }
    std::string sounds() const { return root.dir() + "/media/mmc1/map/kestrova/sounds"; }

    EnglishTexts texts; // also the temporary root
    XrTempRoot& root = texts.root;
    std::wstring card = std::wstring(root.dir().begin(), root.dir().end()) + L"/media/mmc1/map/";
    XrPathResolver resolver;
    FakeHost host;
};

TEST_F(SoundsetTest, ListsVoiceSetsByTitle)
{
    const std::string base = "/media/mmc1/map/kestrova/sounds/";
    root.write_file(base + "sound_eng/voice_a/version.txt", "Title: Soundset Voice1\nLanguage: English\nGUID: g1\n");
    root.write_file(base + "sound_eng/voice_b/version.txt", "Title: Soundset \nGUID: g2\n");
    root.write_file(base + "sound_cze/voice_c/version.txt", "Title: Anna\nLanguage: Czech\n");
    root.make_dirs(base + "sound_cze/no_version/");

    XrSoundsetCatalogue cat(XrString(sounds().c_str()));
    ASSERT_EQ(cat.get_count(), 3);
    EXPECT_EQ(narrow(cat.get_item(0)->get_title()), "Anna");
    EXPECT_EQ(narrow(cat.get_item(0)->get_language()), "Czech");
    EXPECT_EQ(narrow(cat.get_item(0)->get_path()), sounds() + "/sound_cze/voice_c");
    EXPECT_EQ(narrow(cat.get_item(1)->get_title()), "Soundset"); // trimmed, not shortened
    EXPECT_EQ(narrow(cat.get_item(2)->get_title()), "Voice1");
    EXPECT_EQ(narrow(cat.get_item(2)->get_guid()), "g1");
    EXPECT_EQ(cat.get_item(3), nullptr);
}

// A voice set installed as one folder below the root (the form the voice
// settings and the prompt player use) is listed beside the two-level ones;
// a described folder is not searched further.
TEST_F(SoundsetTest, ListsVoiceSetFoldersRightBelowTheRoot)
{
    const std::string base = "/media/mmc1/map/kestrova/sounds/";
    root.write_file(base + "sound_deu/version.txt", "Title: Soundset Greta\nLanguage: German\nGUID: voice_deu\n");
    root.write_file(base + "sound_deu/dest.ogg", "x");
    root.write_file(base + "sound_deu/inner/version.txt", "Title: Hidden\n");
    root.write_file(base + "sound_eng/voice_a/version.txt", "Title: Soundset Voice1\nGUID: g1\n");
    root.write_file(base + "sound_eng/dest.ogg", "x"); // no description: only its sub-folder counts

    XrSoundsetCatalogue cat(XrString(sounds().c_str()));
    ASSERT_EQ(cat.get_count(), 2);
    EXPECT_EQ(narrow(cat.get_item(0)->get_title()), "Greta");
    EXPECT_EQ(narrow(cat.get_item(0)->get_guid()), "voice_deu");
    EXPECT_EQ(narrow(cat.get_item(0)->get_language()), "German");
    EXPECT_EQ(narrow(cat.get_item(0)->get_path()), sounds() + "/sound_deu");
    EXPECT_EQ(narrow(cat.get_item(1)->get_path()), sounds() + "/sound_eng/voice_a");
}

TEST_F(SoundsetTest, FindAndListVoiceFolders)
{
    const std::string base = "/media/mmc1/map/kestrova/sounds/";
    XrString name;
    XrArray<XrString> names;
    host.voice = XrString(L"sound_deu");
    EXPECT_TRUE(XrSoundsetCatalogue::find_voice_folder(name, false));
    EXPECT_EQ(narrow(name), "sound_deu");
    EXPECT_FALSE(XrSoundsetCatalogue::find_voice_folder(name, true)); // nothing on the card
    EXPECT_FALSE(XrSoundsetCatalogue::list_voice_folders(names));

    root.write_file(base + "sound_eng/voice.ogg", "x");
    root.write_file(base + "sound_deu/voice.ogg", "x");
    EXPECT_TRUE(XrSoundsetCatalogue::find_voice_folder(name, true));
    EXPECT_EQ(narrow(name), "sound_deu");
    host.voice = XrString(L"sound_fra"); // absent: the first sub-folder replaces it
    EXPECT_TRUE(XrSoundsetCatalogue::find_voice_folder(name, true));
    EXPECT_TRUE(narrow(name) == "sound_eng" || narrow(name) == "sound_deu") << narrow(name);
    EXPECT_TRUE(XrSoundsetCatalogue::list_voice_folders(names));
    EXPECT_EQ(names.get_num_items(), 2);
}

TEST_F(SoundsetTest, CallersFormsOfTheVoiceFolderLookups)
{
    const std::string base = "/media/mmc1/map/kestrova/sounds/";
    XrString name;
    XrArray<XrString> names;
    host.voice = XrString(L"sound_deu");
    EXPECT_TRUE(get_content_folder(&name, false));
    EXPECT_EQ(narrow(name), "sound_deu");
    EXPECT_FALSE(get_content_folder(name, true));
    EXPECT_FALSE(get_content_folder(nullptr, false));
    EXPECT_FALSE(list_soundset_folders(names));

    root.write_file(base + "sound_deu/voice.ogg", "x");
    name = XrString();
    EXPECT_TRUE(get_content_folder(&name, true));
    EXPECT_EQ(narrow(name), "sound_deu");
    EXPECT_TRUE(list_soundset_folders(names));
    ASSERT_EQ(names.get_num_items(), 1);
    EXPECT_EQ(narrow(*names.get_item_ptr(0)), "sound_deu");
}

TEST(CatalogueHost, DefaultServesWhenNoneIsInstalled)
{
    XrCatalogueHost* fallback = XrCatalogueHost::get_instance();
    ASSERT_NE(fallback, nullptr);
    EXPECT_EQ(fallback, XrCatalogueHost::get_default());
    EXPECT_EQ(narrow(fallback->get_voice_folder_name()), "sound_eng");
    testing::internal::CaptureStderr();
    fallback->show_error_msg(XrString(L"Maps"), XrString(L"Cannot rename \u00e4"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Maps: Cannot rename \xc3\xa4\n");
    {
        FakeHost installed;
        EXPECT_EQ(XrCatalogueHost::get_instance(), &installed);
    }
    EXPECT_EQ(XrCatalogueHost::get_instance(), fallback);

    // The voice folder lookup without an installed host takes the default set.
    XrTempRoot root;
    XrString name;
    EXPECT_TRUE(get_content_folder(name, false));
    EXPECT_EQ(narrow(name), "sound_eng");
}

} // namespace
