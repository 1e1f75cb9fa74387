#include "apps/maemo_map/xr_cardsetup.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

#include <filesystem>

#include "support/xr_temp_root.h"

namespace fs = std::filesystem;

namespace {

// A root with the shipped demo map (two files) and layer configuration.
class CardSetupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root.write_file("/usr/share/kestrova/atlantis/mapdata.ini", "[\\general]\nname=\"Atlantis\"\n");
        root.write_file("/usr/share/kestrova/atlantis/maemo.reg", "REGEDIT4\n");
    }
    std::string at(const std::string& absolute) const { return root.dir() + absolute; }
    bool exists(const std::string& absolute) const { return fs::exists(at(absolute)); }

    XrTempRoot root;
};

TEST_F(CardSetupTest, EmptyCardGetsSkeletonDemoMapAndShippedFiles)
{
    root.make_dirs("/media/mmc2");
    root.write_file("/usr/share/kestrova/legal/eula.txt", "terms");
    root.write_file("/usr/share/kestrova/legal/readme.md", "not copied");
    XrCardSetup setup;
    ASSERT_TRUE(xr_prepare_card(setup));
    EXPECT_EQ(setup.map_root, at("/media/mmc2/map/"));
    EXPECT_TRUE(setup.demo_map);
    EXPECT_TRUE(exists("/media/mmc2/map/kestrova/fonts"));
    EXPECT_TRUE(exists("/media/mmc2/map/kestrova/maemo.reg"));
    EXPECT_TRUE(exists("/media/mmc2/map/kestrova/legal/eula.txt"));
    EXPECT_FALSE(exists("/media/mmc2/map/kestrova/legal/readme.md"));
    EXPECT_TRUE(exists("/media/mmc2/map/mapdata/mapdata.ini"));
    EXPECT_FALSE(exists("/media/mmc2/map/mapdata/atlantis"));
}

TEST_F(CardSetupTest, NoMountedCardCreatesNothing)
{
    XrCardSetup setup;
    EXPECT_FALSE(xr_prepare_card(setup));
    EXPECT_FALSE(exists("/media"));
}

TEST_F(CardSetupTest, SecondCardIsTriedWhenTheFirstIsMissing)
{
    root.make_dirs("/media/mmc1");
    XrCardSetup setup;
    ASSERT_TRUE(xr_prepare_card(setup));
    EXPECT_EQ(setup.map_root, at("/media/mmc1/map/"));
    EXPECT_FALSE(exists("/media/mmc2"));
}

TEST_F(CardSetupTest, UsersMapIsNeitherNestedNorDeleted)
{
    root.write_file("/media/mmc2/map/mapdata/mine.txt", "user data");
    XrCardSetup setup;
    ASSERT_TRUE(xr_prepare_card(setup));
    EXPECT_EQ(XrTempRoot::read_file(at("/media/mmc2/map/mapdata/mine.txt")), "user data");
    EXPECT_FALSE(exists("/media/mmc2/map/mapdata/atlantis"));
    EXPECT_FALSE(exists("/media/mmc2/map/mapdata/mapdata.ini"));
}

TEST_F(CardSetupTest, FailedInstallRemovesOnlyWhatItMade)
{
    root.write_file("/media/mmc2/map/mapdata/mine.txt", "user data");
    fs::remove(at("/usr/share/kestrova/atlantis/maemo.reg")); // a required shipped file
    XrCardSetup setup;
    EXPECT_FALSE(xr_prepare_card(setup));
    EXPECT_EQ(XrTempRoot::read_file(at("/media/mmc2/map/mapdata/mine.txt")), "user data");
    EXPECT_FALSE(exists("/media/mmc2/map/kestrova"));
    EXPECT_TRUE(exists("/media/mmc2/map"));
}

TEST_F(CardSetupTest, FoundCardIsUsedAsItIs)
{
    root.make_dirs("/media/mmc1/map/kestrova");
    root.make_dirs("/media/mmc1/map/MapData_Other");
    root.make_dirs("/media/mmc2/map/mapdata");
    XrCardSetup setup;
    ASSERT_TRUE(xr_prepare_card(setup));
    EXPECT_EQ(setup.map_root, at("/media/mmc1/map/"));
    EXPECT_FALSE(setup.demo_map);
    EXPECT_TRUE(setup.ambiguous);
}

TEST_F(CardSetupTest, MissingActiveMapGetsTheDemoMap)
{
    root.make_dirs("/media/mmc1/map/kestrova");
    XrCardSetup setup;
    ASSERT_TRUE(xr_prepare_card(setup));
    ASSERT_TRUE(xr_ensure_active_map(setup));
    EXPECT_TRUE(setup.demo_map);
    EXPECT_TRUE(exists("/media/mmc1/map/mapdata/mapdata.ini"));
}

TEST_F(CardSetupTest, MissingActiveMapIsNeverAMapMarkedDamaged)
{
    root.make_dirs("/media/mmc1/map/kestrova");
    root.write_file("/media/mmc1/map/mapdata_Corrupted/mapdata.ini", "[\\general]\nname=\"Broken\"\n");
    root.write_file("/media/mmc1/map/mapdata_Corrupted/.corrupted", "");
    XrCardSetup setup;
    ASSERT_TRUE(xr_prepare_card(setup));
    ASSERT_TRUE(xr_ensure_active_map(setup));
    // The demo map is installed; the damaged one stays aside.
    EXPECT_EQ(XrTempRoot::read_file(at("/media/mmc1/map/mapdata/mapdata.ini")), "[\\general]\nname=\"Atlantis\"\n");
    EXPECT_TRUE(exists("/media/mmc1/map/mapdata_Corrupted/.corrupted"));
}

TEST_F(CardSetupTest, FirstStartCopiesTheSettings)
{
    root.write_file("/usr/share/kestrova/settings.txt", "REGEDIT4\n");
    setenv("HOME", "/home/user", 1);
    bool first = false;
    EXPECT_TRUE(xr_ensure_user_settings(first));
    EXPECT_TRUE(first);
    EXPECT_EQ(XrTempRoot::read_file(at("/home/user/.kestrova/settings.txt")), "REGEDIT4\n");
    EXPECT_TRUE(xr_ensure_user_settings(first));
    EXPECT_FALSE(first);
}

// A newer package is announced once: it is re-stamped to the threshold.
TEST_F(CardSetupTest, NewerPackageIsAnnouncedOnce)
{
    root.make_dirs("/media/mmc1/map/kestrova");
    const std::string program = root.write_file("/usr/bin/kestrova", "");
    struct utimbuf old = {1000000, 1000000};
    utime(program.c_str(), &old);
    root.write_file("/media/mmc1/kestrova_armel.deb", "");
    root.make_dirs("/media/mmc1/KESTROVA_DIR.DEB");
    XrCardSetup setup;
    ASSERT_TRUE(xr_prepare_card(setup));
    EXPECT_TRUE(xr_check_packages(setup));
    struct stat st;
    ASSERT_EQ(stat(at("/media/mmc1/kestrova_armel.deb").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1000000 + 86400);
    EXPECT_FALSE(xr_check_packages(setup));
}

} // namespace
