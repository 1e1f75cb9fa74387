// The copies of the first start: the shipped voice set, the demo map and
// the user's settings arrive whole or not at all.
#include "apps/maemo_map/xr_cardsetup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/xr_temp_root.h"

namespace fs = std::filesystem;

namespace {

const char* const voice = "/media/mmc2/map/kestrova/sounds/sound_eng";

// A root with the shipped demo map, its layer configuration, the settings
// and a voice set of two prompts, and a mounted card 2.
class CardInstallTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root.write_file("/usr/share/kestrova/atlantis/mapdata.ini", "[\\general]\nname=\"Atlantis\"\n");
        root.write_file("/usr/share/kestrova/atlantis/maemo.reg", "REGEDIT4\n");
        root.write_file("/usr/share/kestrova/settings.txt", "REGEDIT4\n\n[\\settings]\nsounds=3\n");
        root.write_file("/usr/share/kestrova/sounds/english/left.ogg", "left prompt");
        root.write_file("/usr/share/kestrova/sounds/english/dest.ogg", std::string(100000, 'd'));
        root.make_dirs("/media/mmc2");
        setenv("HOME", "/home/user", 1);
    }
    std::string at(const std::string& absolute) const { return root.dir() + absolute; }
    bool exists(const std::string& absolute) const { return fs::exists(at(absolute)); }
    std::string read(const std::string& absolute) const { return XrTempRoot::read_file(at(absolute)); }
    // The names in a folder of the root, sorted.
    std::string names(const std::string& absolute) const
    {
        std::vector<std::string> found;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(at(absolute), ec))
            found.push_back(e.path().filename().string());
        std::sort(found.begin(), found.end());
        std::string out;
        for (const std::string& n : found)
            out += n + " ";
        return out;
    }

    XrTempRoot root;
};

TEST_F(CardInstallTest, EmptyCardGetsTheVoiceSetUnderTheDefaultName)
{
    XrCardSetup setup;
    ASSERT_TRUE(xr_prepare_card(setup));
    EXPECT_EQ(names(voice), "dest.ogg left.ogg ");
    EXPECT_EQ(read(std::string(voice) + "/left.ogg"), "left prompt");
    EXPECT_EQ(read(std::string(voice) + "/dest.ogg"), std::string(100000, 'd'));
    // Nothing of the copy is left beside it.
    EXPECT_EQ(names("/media/mmc2/map/kestrova"), ".prepared fonts legal maemo.reg sounds ");
    EXPECT_EQ(names("/media/mmc2/map"), "kestrova mapdata ");
}

TEST_F(CardInstallTest, CardPreparedBeforeGetsTheVoiceSetAtTheNextStart)
{
    root.make_dirs("/media/mmc2/map/kestrova");
    root.make_dirs("/media/mmc2/map/mapdata");
    XrCardSetup setup;
    ASSERT_TRUE(xr_prepare_card(setup));
    EXPECT_FALSE(setup.demo_map);
    EXPECT_EQ(names(voice), "dest.ogg left.ogg ");
}

TEST_F(CardInstallTest, VoiceSetOnTheCardIsKept)
{
    root.write_file(std::string(voice) + "/left.ogg", "the user's own");
    XrCardSetup setup;
    ASSERT_TRUE(xr_prepare_card(setup));
    EXPECT_EQ(names(voice), "left.ogg ");
    EXPECT_EQ(read(std::string(voice) + "/left.ogg"), "the user's own");
}

TEST_F(CardInstallTest, WithoutAShippedVoiceSetTheStartGoesOnSilent)
{
    fs::remove_all(at("/usr/share/kestrova/sounds"));
    testing::internal::CaptureStderr();
    XrCardSetup setup;
    EXPECT_TRUE(xr_prepare_card(setup));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("no shipped voice set"), std::string::npos) << err;
    EXPECT_FALSE(exists("/media/mmc2/map/kestrova/sounds/sound_eng"));
    EXPECT_TRUE(exists("/media/mmc2/map/mapdata/mapdata.ini"));
}

TEST_F(CardInstallTest, FailedVoiceCopyLeavesNoVoiceSet)
{
    // The voice root cannot be made: a file stands in its place.
    root.write_file("/media/mmc2/map/kestrova/sounds", "not a folder");
    root.make_dirs("/media/mmc2/map/mapdata");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(xr_install_voice_set(at("/media/mmc2/map/")));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(names("/media/mmc2/map/kestrova"), "sounds ");
    EXPECT_EQ(read("/media/mmc2/map/kestrova/sounds"), "not a folder");
}

// What a copy cut off by a power loss leaves: its temporary, never the
// file or folder it was making. The next start removes it and copies anew.
TEST_F(CardInstallTest, CutOffCopiesAreRemovedAndMadeAgain)
{
    struct Case {
        const char* leftover; // the cut-off copy's temporary
        const char* whole;    // what the next start installs
    };
    const Case cases[] = {
        {"/media/mmc2/map/kestrova/.sound_eng.partial/left.ogg", "/media/mmc2/map/kestrova/sounds/sound_eng/dest.ogg"},
        {"/media/mmc2/map/.mapdata.partial/mapdata.ini", "/media/mmc2/map/mapdata/maemo.reg"},
        {"/home/user/.kestrova/settings.txt.partial", "/home/user/.kestrova/settings.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.leftover);
        fs::remove_all(at("/media/mmc2/map"));
        fs::remove_all(at("/home/user"));
        // A card whose skeleton was made before the copy was cut off.
        root.make_dirs("/media/mmc2/map/kestrova");
        root.write_file(c.leftover, "cut");
        // The cut-off map does not pass for map data.
        EXPECT_FALSE(xr_folder_holds_map_data(at("/media/mmc2/map")));

        bool first = false;
        EXPECT_TRUE(xr_ensure_user_settings(first));
        XrCardSetup setup;
        ASSERT_TRUE(xr_prepare_card(setup));
        ASSERT_TRUE(xr_ensure_active_map(setup));
        EXPECT_TRUE(exists(c.whole));
        EXPECT_NE(read(c.whole), "cut");
        const fs::path leftover = at(c.leftover);
        EXPECT_FALSE(fs::exists(leftover));
        EXPECT_FALSE(fs::exists(leftover.parent_path()) && leftover.parent_path().extension() == ".partial");
    }
}

} // namespace
