// Every user file the providers keep survives a kill in the middle of a
// save: the file holds the old or the new content in full.
#include "common/corvanel_core/impl/map_doubles.h"
#include "common/corvanel_core/impl/provider_files.h"
#include "common/corvanel_core/impl/xr_appsettingsproviderimpl.h"
#include "common/corvanel_core/impl/xr_favouritesproviderimpl.h"
#include "common/corvanel_core/impl/xr_historyproviderimpl.h"
#include "common/corvanel_core/impl/xr_mapsettingsproviderimpl.h"
#include "common/corvanel_core/impl/xr_parkingproviderimpl.h"
#include "common/corvanel_core/impl/xr_roadblocksproviderimpl.h"
#include "common/misc/xr_uid.h"
#include "support/xr_kill_test.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace {

// One provider file: how to bring a provider to the old or the new state
// (writing the file on the way), and one save of the state reached.
struct Writer {
    std::string path;
    // new_state false: the state of the old content.
    std::function<void(bool new_state)> prepare;
    std::function<bool()> save;
    // Drops the provider.
    std::function<void()> drop;
};

class ProviderKill : public ::testing::Test {
protected:
    void check(const Writer& w)
    {
        std::filesystem::remove(w.path);
        w.prepare(false);
        ASSERT_TRUE(w.save());
        w.drop();
        const std::string old_content = ProviderFiles::read(w.path);
        w.prepare(true);
        ASSERT_TRUE(w.save());
        w.drop();
        const std::string new_content = ProviderFiles::read(w.path);
        ASSERT_NE(old_content, new_content);
        ASSERT_FALSE(old_content.empty());

        XrKillTestWriter writer;
        writer.setup = [&] { w.prepare(true); };
        writer.save = w.save;
        XrKillTestOptions options;
        options.max_kills = 25;
        options.max_ms = 1500;
        const XrKillTestResult r =
            xr_kill_test(w.path, old_content, new_content, [&] { files.write(w.path, old_content); }, writer, options);
        EXPECT_GT(r.kills, 5);
        EXPECT_EQ(r.saves_failed, 0);
        EXPECT_EQ(r.faults, std::vector<std::string>());
        EXPECT_LE(r.leftovers, 1); // at most the temporary file of the last killed save
    }

    ProviderFiles files;
    FakeMapProvider maps;
};

// Many unknown keys: they are kept, and make a save take a while.
std::string unknown_keys()
{
    std::string text = "[\\kept]\r\n";
    for (int i = 0; i < 800; ++i)
        text += "key" + std::to_string(i) + "=a value that the program does not know\r\n";
    return text;
}

TEST_F(ProviderKill, AppSettings)
{
    files.write(files.user_file("settings.txt"), "REGEDIT4\r\n" + unknown_keys());
    std::unique_ptr<XrAppSettingsProviderImpl> p;
    check({files.user_file("settings.txt"),
           [&](bool new_state) {
               p = std::make_unique<XrAppSettingsProviderImpl>();
               p->read_app_settings_file();
               p->set_autozoom(new_state);
           },
           [&] { return p->save(true); }, [&] { p.reset(); }});
}

TEST_F(ProviderKill, MapSettings)
{
    files.write(files.map_file("map_settings_v2.txt"), "REGEDIT4\r\n" + unknown_keys());
    std::unique_ptr<XrMapSettingsProviderImpl> p;
    check({files.map_file("map_settings_v2.txt"),
           [&](bool new_state) {
               p = std::make_unique<XrMapSettingsProviderImpl>();
               p->read_map_settings_file();
               p->set_measurement_system(new_state ? 2 : 1);
           },
           [&] { return p->save(true); }, [&] { p.reset(); }});
}

TEST_F(ProviderKill, Favourites)
{
    std::unique_ptr<XrFavouritesProviderImpl> p;
    XrArray<XrFavourite> list(8, 0);
    check({files.map_file("favourites.txt"),
           [&](bool new_state) {
               p = std::make_unique<XrFavouritesProviderImpl>(nullptr);
               list.remove_all();
               for (int i = 0; i < (new_state ? 200 : 150); ++i) {
                   XrFavourite f(XrCoordinate(24.0 + i * 0.001, 60.0), i, XrString(L"A favourite place"), 0);
                   BYTE bytes[16] = {};
                   bytes[0] = static_cast<BYTE>(i);
                   bytes[1] = static_cast<BYTE>(i >> 8);
                   bytes[15] = 1;
                   XrUid uid;
                   uid.set(bytes);
                   f.set_uid(uid);
                   list.append(f);
               }
           },
           [&] { return p->set_favourites(list); }, [&] { p.reset(); }});
}

TEST_F(ProviderKill, History)
{
    std::unique_ptr<XrHistoryProviderImpl> p;
    const XrHistoryMapPoint newest(XrCoordinate(25.5, 61.5), XrString(L"The newest place"));
    bool add_newest = false;
    check({files.map_file("history.txt"),
           [&](bool new_state) {
               p = std::make_unique<XrHistoryProviderImpl>();
               p->load();
               add_newest = new_state;
               if (!new_state) {
                   for (int i = XrHistoryProviderImpl::MAX_POINTS - 1; i >= 0; --i)
                       p->add_history_point(XrHistoryMapPoint(XrCoordinate(24.0 + i * 0.01, 60.0),
                                                              XrString(L"A place used before")));
               }
           },
           [&] {
               // Adding the newest again changes nothing: the same text each time.
               return add_newest ? p->add_history_point(newest) : true;
           },
           [&] { p.reset(); }});
}

TEST_F(ProviderKill, Roadblocks)
{
    std::unique_ptr<XrRoadblocksProviderImpl> p;
    bool fourth = false;
    check({files.map_file("blks.bin"),
           [&](bool new_state) {
               p = std::make_unique<XrRoadblocksProviderImpl>();
               p->map_initialized();
               fourth = new_state;
               if (!new_state) {
                   for (int i = 0; i < 3; ++i) {
                       XrRoadblock r(XrCoordinate(24.9, 60.0 + i * 0.01));
                       p->add_roadblock(r);
                   }
               }
           },
           [&] {
               if (!fourth)
                   return true; // the three are written
               // Back to the three of the old file, then the fourth again.
               XrSimpleArray<XrRoadblock> list;
               p->get_roadblocks(list);
               if (list.get_count() == 4 && !p->remove_roadblock(list.get_items()[3]))
                   return false;
               XrRoadblock r(XrCoordinate(25.0, 60.5));
               return p->add_roadblock(r);
           },
           [&] {
               if (p)
                   p->map_closing();
               p.reset();
           }});
}

TEST_F(ProviderKill, Parking)
{
    std::unique_ptr<XrParkingProviderImpl> p;
    XrCoordinate where;
    check({files.map_file("parking.txt"),
           [&](bool new_state) {
               p = std::make_unique<XrParkingProviderImpl>(nullptr);
               p->initialize();
               where = new_state ? XrCoordinate(24.95, 60.17) : XrCoordinate(25.5, 61.0);
           },
           [&] {
               const XrDatetime when(1700000000);
               return p->park_car(where, &when);
           },
           [&] { p.reset(); }});
}

} // namespace
