#include "common/corvanel_core/impl/xr_mapsettingsproviderimpl.h"
#include "common/corvanel_core/impl/provider_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

class MapSettingsTest : public ::testing::Test {
protected:
    explicit MapSettingsTest(bool english = true) : files(english) {}
    void read(const std::string& body)
    {
        files.write(files.map_file("map_settings_v2.txt"), "REGEDIT4\r\n" + body);
        settings.read_map_settings_file();
    }
    std::string saved() const { return ProviderFiles::read(files.map_file("map_settings_v2.txt")); }

    ProviderFiles files;
    XrMapSettingsProviderImpl settings;
};

class MapSettingsWithoutTexts : public MapSettingsTest {
protected:
    MapSettingsWithoutTexts() : MapSettingsTest(false) {}
};

} // namespace

TEST_F(MapSettingsTest, UnitsAreMappedBothWays)
{
    read("[\\settings]\r\nmeasurement_system=0\r\n");
    EXPECT_EQ(settings.get_measurement_system(), 1);
    ASSERT_TRUE(settings.save(true));
    EXPECT_NE(saved().find("measurement_system=0"), std::string::npos);

    read("[\\settings]\r\nmetric_system=0\r\n");
    EXPECT_EQ(settings.get_measurement_system(), 2);
    read("[\\settings]\r\n");
    EXPECT_EQ(settings.get_measurement_system(), 0);
}

TEST_F(MapSettingsWithoutTexts, UnitsAreMetricWhenTheTranslationForbidsASwitch)
{
    read("[\\settings]\r\nmeasurement_system=0\r\n");
    EXPECT_EQ(settings.get_measurement_system(), 0);
}

TEST_F(MapSettingsTest, DefaultView)
{
    XrCoordinate c;
    int scale = 0, perspective = 0, rotation = 0, mode = 0;
    settings.get_default_view(c, scale, perspective, rotation, mode);
    EXPECT_EQ(scale, 7650); // a new provider

    read("[\\settings]\r\n");
    settings.get_default_view(c, scale, perspective, rotation, mode);
    EXPECT_EQ(scale, 7500);

    read("[\\settings]\r\ndefaultview=60,25|24.5|12000|1|4|90\r\n");
    settings.get_default_view(c, scale, perspective, rotation, mode);
    EXPECT_TRUE(c.is_valid());
    EXPECT_DOUBLE_EQ(c.get_latitude(), 60.25);
    EXPECT_DOUBLE_EQ(c.get_longitude(), 24.5);
    EXPECT_EQ(scale, 12000);
    EXPECT_EQ(mode, 1);
    EXPECT_EQ(perspective, 4);
    EXPECT_EQ(rotation, 90);

    for (const char* bad : {"60|24|0|1|4|90", "95|24|12000|1|4|90", "x|24|12000"}) {
        read(std::string("[\\settings]\r\ndefaultview=") + bad + "\r\n");
        settings.get_default_view(c, scale, perspective, rotation, mode);
        EXPECT_FALSE(c.is_valid()) << bad;
        EXPECT_EQ(scale, 7500) << bad;
        EXPECT_EQ(perspective, 2) << bad;
    }
    read("[\\settings]\r\ndefaultview=60|24|9000|1\r\n");
    settings.get_default_view(c, scale, perspective, rotation, mode);
    EXPECT_EQ(scale, 9000);
    EXPECT_EQ(mode, 0);

    settings.set_default_view(XrCoordinate(24.5, 60.25), 8000, 3, 45, 1);
    ASSERT_TRUE(settings.save(true));
    EXPECT_NE(saved().find("defaultview=60.250000|24.500000|8000|1|3|45"), std::string::npos);
}

TEST_F(MapSettingsTest, AMissingFileIsMadeAtTheReadAndFilledAtTheSave)
{
    settings.read_map_settings_file();
    EXPECT_TRUE(std::filesystem::exists(files.map_file("map_settings_v2.txt")));
    EXPECT_TRUE(settings.save(true));
    EXPECT_NE(saved().find("[\\speedcam]"), std::string::npos);
}

TEST_F(MapSettingsTest, Abbreviations)
{
    read("[\\settings]\r\n[\\uppercountyfilter]\r\nabbreviations=| ; |\r\n");
    EXPECT_EQ(settings.get_abbreviations(), nullptr);
    read("[\\settings]\r\n[\\uppercountyfilter]\r\nabbreviations= CA | NY;TX \r\nlast_filter=NY\r\n");
    ASSERT_NE(settings.get_abbreviations(), nullptr);
    ASSERT_EQ(settings.get_abbreviations()->get_num_items(), 3);
    EXPECT_EQ(*settings.get_abbreviations()->get_item_ptr(1), L"NY");
    EXPECT_EQ(settings.get_last_filter(), L"NY");
    ASSERT_TRUE(settings.save(true));
    EXPECT_NE(saved().find("abbreviations=CA|NY|TX"), std::string::npos);
}

TEST_F(MapSettingsTest, SpeedCameraTimeSurvivesRoundTrips)
{
    const XrDatetime when(1700000000);
    settings.set_speedcam_latest_update(when);
    settings.set_speedcam_db_size(512);
    settings.set_speedcam_latest_checksum(XrString(L"abc"));
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(settings.save(true));
        settings.read_map_settings_file();
    }
    EXPECT_EQ(settings.get_speedcam_latest_update().get_utc(), when.get_utc());
    EXPECT_EQ(settings.get_speedcam_db_size(), 512);
    EXPECT_EQ(settings.get_speedcam_latest_checksum(), L"abc");
}

TEST_F(MapSettingsTest, UnknownKeysSurviveASave)
{
    read("[\\settings]\r\nright_side_traffic=0\r\nnew_thing=1\r\n[\\other]\r\nx=y\r\n");
    EXPECT_FALSE(settings.get_right_side_traffic());
    ASSERT_TRUE(settings.save(true));
    const std::string text = saved();
    for (const char* line : {"new_thing=1", "right_side_traffic=0", "x=y"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
}

TEST_F(MapSettingsTest, ClosingTheMapResetsTheFields)
{
    read("[\\settings]\r\nright_side_traffic=0\r\ndefaultview=60|24|9000|1|4|90\r\nlatest_searched_poi_category=7\r\n");
    settings.map_closing();
    XrCoordinate c;
    int scale = 0, perspective = 0, rotation = 0, mode = 0;
    settings.get_default_view(c, scale, perspective, rotation, mode);
    EXPECT_TRUE(settings.get_right_side_traffic());
    EXPECT_EQ(scale, 7650);
    EXPECT_EQ(mode, 1); // the view mode is kept
    EXPECT_EQ(settings.get_latest_searched_poi_category(), 0);
}
