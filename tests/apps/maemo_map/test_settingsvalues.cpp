// The settings window's values over the real settings files: each value the
// window edits is read from its key, and writing the window's values back
// changes exactly that key's line of "settings.txt" or
// "map_settings_v2.txt" and nothing else; unchanged values leave both files
// as they were. POI classes change only when their values changed.
#include "changed_lines.h"
#include "apps/maemo_map/xr_maemosettingsdlg.h"

#include "common/corvanel_core/impl/provider_files.h"
#include "common/corvanel_core/impl/xr_appsettingsproviderimpl.h"
#include "common/corvanel_core/impl/xr_mapsettingsproviderimpl.h"
#include "common/corvanel_core/interfaces/xr_mappoint.h"
#include "common/types/xr_distance.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr const char* app_file_body =
    "REGEDIT4\r\n[\\settings]\r\nsettings_compatibility=2.2.8\r\nautozoom=1\r\nsounds=2\r\n"
    "soundset=\"sound_eng\"\r\npowersave=0\r\ntrafficcam_alert=1\r\ntollroads=2\r\nferry=1\r\ntheme=0\r\n"
    "user_locale=\"\"\r\n[\\traffic]\r\ntrafficenabled=0\r\nroutingoption=1\r\nupdateinterval=30\r\n";
// measurement_system=0 in the file is yards and miles.
constexpr const char* map_file_body = "REGEDIT4\r\n[\\settings]\r\nmeasurement_system=0\r\n";

class SettingsValuesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        files.write(files.user_file("settings.txt"), app_file_body);
        files.write(files.map_file("map_settings_v2.txt"), map_file_body);
        reload();
        // Both files as the providers write them when nothing changed.
        ASSERT_TRUE(app->save(true));
        ASSERT_TRUE(map->save(true));
        app_baseline = ProviderFiles::read(files.user_file("settings.txt"));
        map_baseline = ProviderFiles::read(files.map_file("map_settings_v2.txt"));
    }
    void reload()
    {
        map.reset();
        app.reset();
        app = std::make_unique<XrAppSettingsProviderImpl>();
        app->read_app_settings_file();
        map = std::make_unique<XrMapSettingsProviderImpl>();
        map->read_map_settings_file();
    }
    void restore()
    {
        files.write(files.user_file("settings.txt"), app_baseline);
        files.write(files.map_file("map_settings_v2.txt"), map_baseline);
        reload();
    }

    ProviderFiles files;
    std::unique_ptr<XrAppSettingsProviderImpl> app;
    std::unique_ptr<XrMapSettingsProviderImpl> map;
    std::string app_baseline;
    std::string map_baseline;
};

} // namespace

TEST_F(SettingsValuesTest, EachValueReadsItsKeyAndWritesOnlyItsLine)
{
    XrSettingsValues stored;
    stored.read(*app, map.get(), nullptr);
    EXPECT_TRUE(stored.autozoom);
    EXPECT_EQ(stored.volume, 2);
    EXPECT_TRUE(stored.soundset == XrString(L"sound_eng"));
    EXPECT_FALSE(stored.powersave);
    EXPECT_TRUE(stored.trafficcam_alert);
    EXPECT_EQ(stored.tollroads, 2);
    EXPECT_EQ(stored.ferry, 1);
    EXPECT_EQ(stored.theme, 0);
    EXPECT_EQ(stored.units, XrDistance::YardsAndMiles);
    EXPECT_FALSE(stored.traffic_enabled);
    EXPECT_TRUE(stored.traffic_routing);
    EXPECT_EQ(stored.update_interval, 30);
    EXPECT_TRUE(stored.user_locale.is_empty());

    struct Case {
        const char* name;
        std::function<void(XrSettingsValues&)> edit;
        const char* app_line; // the one changed line of settings.txt, or null
        const char* map_line; // the one changed line of map_settings_v2.txt, or null
        unsigned flags;
    } cases[] = {
        {"autozoom", [](XrSettingsValues& v) { v.autozoom = false; }, "autozoom=0", nullptr, XrSettingsValues::ChangedApp},
        {"sounds", [](XrSettingsValues& v) { v.volume = 0; }, "sounds=0", nullptr,
         XrSettingsValues::ChangedApp | XrSettingsValues::ChangedVolume},
        {"soundset", [](XrSettingsValues& v) { v.soundset = XrString(L"sound_ger"); }, "soundset=sound_ger",
         nullptr, XrSettingsValues::ChangedApp | XrSettingsValues::ChangedVoice},
        {"powersave", [](XrSettingsValues& v) { v.powersave = true; }, "powersave=1", nullptr,
         XrSettingsValues::ChangedApp},
        {"trafficcam_alert", [](XrSettingsValues& v) { v.trafficcam_alert = false; }, "trafficcam_alert=0", nullptr,
         XrSettingsValues::ChangedApp},
        {"tollroads", [](XrSettingsValues& v) { v.tollroads = 0; }, "tollroads=0", nullptr,
         XrSettingsValues::ChangedApp | XrSettingsValues::ChangedRouting},
        {"ferry", [](XrSettingsValues& v) { v.ferry = 2; }, "ferry=2", nullptr,
         XrSettingsValues::ChangedApp | XrSettingsValues::ChangedRouting},
        {"theme", [](XrSettingsValues& v) { v.theme = 1; }, "theme=1", nullptr,
         XrSettingsValues::ChangedApp | XrSettingsValues::ChangedTheme},
        {"trafficenabled", [](XrSettingsValues& v) { v.traffic_enabled = true; }, "trafficenabled=1", nullptr,
         XrSettingsValues::ChangedApp | XrSettingsValues::ChangedRouting},
        {"routingoption", [](XrSettingsValues& v) { v.traffic_routing = false; }, "routingoption=0", nullptr,
         XrSettingsValues::ChangedApp | XrSettingsValues::ChangedRouting},
        {"updateinterval", [](XrSettingsValues& v) { v.update_interval = 0; }, "updateinterval=0", nullptr,
         XrSettingsValues::ChangedApp},
        {"user_locale", [](XrSettingsValues& v) { v.user_locale = XrString(L"de_DE"); }, "user_locale=de_DE",
         nullptr, XrSettingsValues::ChangedApp | XrSettingsValues::ChangedLanguage},
        {"measurement_system metric", [](XrSettingsValues& v) { v.units = XrDistance::Metric; }, nullptr,
         "measurement_system=1", XrSettingsValues::ChangedUnits},
        {"measurement_system feet", [](XrSettingsValues& v) { v.units = XrDistance::FeetAndMiles; }, nullptr,
         "measurement_system=2", XrSettingsValues::ChangedUnits},
        {"nothing", [](XrSettingsValues&) {}, nullptr, nullptr, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        restore();
        XrSettingsValues before;
        before.read(*app, map.get(), nullptr);
        XrSettingsValues now = before;
        c.edit(now);
        const unsigned flags = now.write_changes(before, *app, map.get(), nullptr);
        EXPECT_EQ(flags, c.flags);
        ASSERT_TRUE(app->save(true));
        ASSERT_TRUE(map->save(true));
        const std::vector<std::string> app_changes =
            xr_changed_lines(app_baseline, ProviderFiles::read(files.user_file("settings.txt")));
        const std::vector<std::string> map_changes =
            xr_changed_lines(map_baseline, ProviderFiles::read(files.map_file("map_settings_v2.txt")));
        if (c.app_line != nullptr) {
            ASSERT_EQ(app_changes.size(), 1u);
            EXPECT_EQ(app_changes[0], c.app_line);
        } else {
            EXPECT_TRUE(app_changes.empty()) << app_changes[0];
        }
        if (c.map_line != nullptr) {
            ASSERT_EQ(map_changes.size(), 1u);
            EXPECT_EQ(map_changes[0], c.map_line);
        } else {
            EXPECT_TRUE(map_changes.empty()) << map_changes[0];
        }
        // Read back, the value is what the window wrote.
        reload();
        XrSettingsValues again;
        again.read(*app, map.get(), nullptr);
        EXPECT_EQ(now.write_changes(again, *app, map.get(), nullptr), 0u);
    }
}

// The units choice keeps the stored imperial system: a stored yards setting
// stays yards when the imperial row stays chosen.
TEST_F(SettingsValuesTest, UnitsRowKeepsTheStoredSystem)
{
    const struct {
        int row, stored, expected;
    } cases[] = {
        {0, XrDistance::Metric, XrDistance::Metric},
        {0, XrDistance::YardsAndMiles, XrDistance::Metric},
        {1, XrDistance::Metric, XrDistance::FeetAndMiles},
        {1, XrDistance::YardsAndMiles, XrDistance::YardsAndMiles},
        {1, XrDistance::FeetAndMiles, XrDistance::FeetAndMiles},
        {-1, XrDistance::YardsAndMiles, XrDistance::YardsAndMiles},
    };
    for (const auto& c : cases)
        EXPECT_EQ(XrSettingsValues::units_for_row(c.row, c.stored), c.expected) << c.row << " " << c.stored;
}

// POI classes: the window's copy changes the live classes only through
// write_changes, and only the classes whose values changed.
TEST_F(SettingsValuesTest, PoiClassesChangeOnlyWhenWritten)
{
    std::vector<std::unique_ptr<XrPoiSettings>> owned;
    XrArray<XrPoiSettings*> classes(8);
    for (int id : {7, 9, 12}) {
        owned.push_back(std::make_unique<XrPoiSettings>(XrPoiSettings::KindStatic));
        owned.back()->set_class_id(id);
        owned.back()->set_visible(1);
        owned.back()->set_distance(XrDistance(id == 9 ? 250 : 0, XrDistance::Metres));
        classes.append(owned.back().get());
    }
    XrSettingsValues before;
    before.read(*app, map.get(), &classes);
    ASSERT_EQ(before.pois.size(), 3u);
    EXPECT_EQ(before.pois[1].alert_metres, 250);

    XrSettingsValues now = before;
    now.pois[0].visible = false;
    now.pois[2].alert_metres = 100;
    // Edits of the copy leave the live classes alone (what Cancel relies on).
    EXPECT_EQ(owned[0]->is_visible(), 1);
    double metres = -1;
    ASSERT_TRUE(owned[2]->get_distance().get_value(metres, XrDistance::Metres));
    EXPECT_EQ(metres, 0);

    EXPECT_EQ(now.write_changes(before, *app, map.get(), &classes), unsigned(XrSettingsValues::ChangedPois));
    EXPECT_EQ(owned[0]->is_visible(), 0);
    ASSERT_TRUE(owned[2]->get_distance().get_value(metres, XrDistance::Metres));
    EXPECT_EQ(metres, 100);
    EXPECT_EQ(owned[1]->is_visible(), 1);
    ASSERT_TRUE(owned[1]->get_distance().get_value(metres, XrDistance::Metres));
    EXPECT_EQ(metres, 250);
}
