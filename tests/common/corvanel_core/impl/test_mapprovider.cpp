#include "common/corvanel_core/impl/xr_mapproviderimpl.h"
#include "common/corvanel_core/impl/map_folder.h"
#include "common/corvanel_core/impl/provider_files.h"
#include "common/addr/xr_signpostacc.h"
#include "common/corvanel_core/impl/xr_appsettingsproviderimpl.h"
#include "common/corvanel_core/impl/xr_favouritesproviderimpl.h"
#include "common/corvanel_core/impl/xr_historyproviderimpl.h"
#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/corvanel_core/interfaces/xr_maplayerparts.h"
#include "common/corvanel_core/interfaces/xr_routeprovider.h"
#include "common/geometry/xr_projection.h"
#include "common/map/xr_geomlayer.h"
#include "common/map/xr_map.h"
#include "common/os/xr_eventloop.h"
#include "common/misc/xr_unicodeutil.h"
#include "tools/mapgen/signs_writer.h"
#include "tools/mapgen/unicode_binmap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<XrString> g_notes;
void record_note(const XrString& text)
{
    g_notes.push_back(text);
}

class Listener : public XrMapListener {
public:
    void map_initialized() override { log += "i"; }
    void map_closing() override { log += "c"; }
    std::string log;
};

class MapProviderTest : public ::testing::Test {
protected:
    MapProviderTest()
    {
        g_notes.clear();
        xr_set_note_function(record_note);
        register_test_fonts();
        write_static_configuration(files.card_root);
        XrSingleton::set_instance(XrString(L"XrMapProvider"), static_cast<XrMapProvider*>(&maps));
        maps.add_listener(&listener);
    }
    ~MapProviderTest() override
    {
        maps.close_map();
        XrSingleton::set_instance(XrString(L"XrMapProvider"), nullptr);
        xr_set_note_function(nullptr);
    }
    std::string active() const { return files.card_root + "mapdata"; }

    ProviderFiles files;
    XrMapProviderImpl maps;
    Listener listener;
};

} // namespace

TEST_F(MapProviderTest, OpensAMapFolderOfOurWriters)
{
    write_test_map(active());
    ASSERT_TRUE(maps.open_map());
    EXPECT_EQ(listener.log, "i");
    ASSERT_NE(maps.get_projection(), nullptr);
    XrString name;
    ASSERT_TRUE(maps.get_projection_name(name));
    EXPECT_EQ(name, L"simple://100000,0,0");
    EXPECT_NE(maps.get_road_layer(), nullptr);
    EXPECT_NE(maps.get_sm_layer(), nullptr);
    EXPECT_NE(maps.get_poi_layer(), nullptr);
    EXPECT_NE(maps.get_road_geometry(), nullptr);
    EXPECT_EQ(maps.get_pb_storage(), nullptr); // without pb.qt the map still opens
    EXPECT_EQ(maps.get_map_name(), L"Alpha");
    XrString id;
    ASSERT_TRUE(maps.get_map_id(id));
    EXPECT_EQ(id, L"alpha-guid");
    EXPECT_EQ(XrPositionMap::get_instance(), static_cast<XrPositionMap*>(&maps));
    EXPECT_TRUE(maps.has_map());

    std::unique_ptr<XrArray<XrString>> countries(maps.create_country_list());
    ASSERT_NE(countries, nullptr);
    ASSERT_EQ(countries->get_num_items(), 1);
    EXPECT_EQ(*countries->get_item_ptr(0), L"Finland");

    maps.close_map();
    EXPECT_EQ(listener.log, "ic");
    EXPECT_EQ(maps.get_projection(), nullptr);
    EXPECT_FALSE(maps.has_map());
}

TEST_F(MapProviderTest, SetThemeReadsTheVisualSettingWithTheTheme)
{
    // A second theme whose font colours enter the map's palette.
    const std::string vs = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Varnok\\visual_settings\\gt_vs\\themes\\2";
    const std::string reg = files.card_root + "kestrova/maemo.reg";
    std::string text;
    {
        std::ifstream in(reg, std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    text += "[" + vs + "]\nmap_bg_color=1,2,3\n[" + vs + "\\pens]\n1=10,10,10,SOLID\n[" + vs +
            "\\brushes]\n1=20,20,20,SOLID\n[" + vs + "\\fonts]\n1=7,77,177\n";
    write_bytes(reg, text);
    write_test_map(active());
    ASSERT_TRUE(maps.open_map());
    XrPalette& palette = maps.get_map()->get_palette();
    auto has = [&](XrColorHandle c) {
        for (std::uint32_t i = 0; i < palette.get_count(); ++i)
            if (palette.get_color(static_cast<int>(i)) == c)
                return true;
        return false;
    };
    EXPECT_FALSE(has(XrGDI::rgb(7, 77, 177)));
    EXPECT_TRUE(maps.set_theme(2));
    EXPECT_TRUE(has(XrGDI::rgb(7, 77, 177)));
    // Themes are read again as often as they change.
    EXPECT_TRUE(maps.set_theme(0));
    EXPECT_TRUE(maps.set_theme(2));
    maps.reload_layer_settings();
}

TEST_F(MapProviderTest, WithPbQtTheStorageIsThere)
{
    XrTestMapOptions o;
    o.pb = true;
    write_test_map(active(), o);
    ASSERT_TRUE(maps.open_map());
    EXPECT_NE(maps.get_pb_storage(), nullptr);
    EXPECT_EQ(maps.get_pc_storage(), nullptr);
}

TEST_F(MapProviderTest, WithoutAddressDatabaseTheOpeningFailsCleanly)
{
    XrTestMapOptions o;
    o.addr = false;
    write_test_map(active(), o);
    EXPECT_FALSE(maps.open_map());
    EXPECT_EQ(listener.log, "");
    EXPECT_FALSE(maps.has_map());
    EXPECT_EQ(maps.get_projection(), nullptr);
    // Nothing half-open is left: a second try runs through again.
    write_test_map(active());
    EXPECT_TRUE(maps.open_map());
}

TEST_F(MapProviderTest, ADamagedPbQtIsLeftOut)
{
    write_test_map(active());
    write_bytes(active() + "/pb.qt", "XRQT but not really");
    ASSERT_TRUE(maps.open_map());
    EXPECT_EQ(maps.get_pb_storage(), nullptr);
}

TEST_F(MapProviderTest, WithoutRoadLayerANoteIsShown)
{
    write_static_configuration(files.card_root, false);
    write_test_map(active());
    EXPECT_FALSE(maps.open_map());
    ASSERT_EQ(g_notes.size(), 1u);
    EXPECT_FALSE(maps.has_map());
}

TEST_F(MapProviderTest, SelectMapBetweenTwoMapsAndBack)
{
    write_test_map(active());
    XrTestMapOptions beta;
    beta.name = "Beta";
    beta.guid = "beta-guid";
    write_test_map(files.card_root + "mapdata_Beta", beta);
    ASSERT_TRUE(maps.open_map());

    // The catalogue sorts by name: Alpha 0, Beta 1.
    ASSERT_TRUE(maps.select_map(1));
    EXPECT_EQ(maps.get_map_name(), L"Beta");
    XrString id;
    ASSERT_TRUE(maps.get_map_id(id));
    EXPECT_EQ(id, L"beta-guid");
    EXPECT_EQ(listener.log, "ici");
    ASSERT_TRUE(maps.select_map(0));
    EXPECT_EQ(maps.get_map_name(), L"Alpha");
    EXPECT_TRUE(maps.select_map(0)); // already active
    EXPECT_EQ(listener.log, "icici");
}

TEST_F(MapProviderTest, ADamagedMapLeavesTheProviderUsable)
{
    write_test_map(active());
    XrTestMapOptions broken;
    broken.name = "Broken";
    broken.addr = false;
    write_test_map(files.card_root + "mapdata_Broken", broken);
    ASSERT_TRUE(maps.open_map());

    EXPECT_TRUE(maps.select_map(1)); // Broken cannot be opened: back to Alpha
    EXPECT_EQ(maps.get_map_name(), L"Alpha");
    EXPECT_TRUE(maps.has_map());
    EXPECT_NE(maps.get_projection(), nullptr);
    EXPECT_EQ(listener.log, "ici");
}

TEST_F(MapProviderTest, LanguagesOfMaplcs)
{
    const struct {
        std::string text;
        std::vector<XrLC> codes;
    } cases[] = {
        {"eng fin\r\nswe", {xr_make_lc('e', 'n', 'g'), xr_make_lc('f', 'i', 'n'), xr_make_lc('s', 'w', 'e')}},
        {std::string(513, 'a'), {0}},
        {"", {0}},
        {"\n ger", {xr_make_lc('g', 'e', 'r')}},
    };
    for (const auto& c : cases) {
        XrTestMapOptions o;
        o.languages = c.text;
        write_test_map(active(), o);
        XrMapProviderImpl fresh;
        XrArray<XrLC> got(8, 0);
        fresh.get_map_languages(got);
        ASSERT_EQ(got.get_num_items(), static_cast<int>(c.codes.size())) << c.text;
        for (std::size_t i = 0; i < c.codes.size(); ++i)
            EXPECT_EQ(*got.get_item_ptr(static_cast<int>(i)), c.codes[i]);
    }
}

TEST_F(MapProviderTest, AddressFilterAndCountryNames)
{
    XrTestMapOptions o;
    o.mapdata_extra = "address_filter= CA , NY,TX \ncountry_names_included=1\n";
    o.countries = {"Finland", "Sweden"};
    write_test_map(active(), o);
    ASSERT_TRUE(maps.open_map());
    XrArray<XrString> filter(4, 0);
    ASSERT_TRUE(maps.get_address_filter(filter));
    ASSERT_EQ(filter.get_num_items(), 3);
    EXPECT_EQ(*filter.get_item_ptr(0), L"CA");
    EXPECT_EQ(*filter.get_item_ptr(2), L"TX");
    EXPECT_TRUE(maps.are_country_names_included());
}

TEST_F(MapProviderTest, AnAmericanDatabaseAlwaysIncludesCountryNames)
{
    XrTestMapOptions o;
    o.countries = {"USA"};
    write_test_map(active(), o);
    ASSERT_TRUE(maps.open_map());
    EXPECT_TRUE(maps.are_country_names_included());
    XrArray<XrString> filter(4, 0);
    EXPECT_FALSE(maps.get_address_filter(filter));
}

TEST_F(MapProviderTest, ProvidersOfTheMapFindItsPoiLayer)
{
    write_test_map(active());
    XrHistoryProviderImpl history;
    XrSingleton::set_instance(XrString(L"XrHistoryProvider"), static_cast<XrHistoryProvider*>(&history));
    write_bytes(active() + "/history.txt", "60.1|24.9|Home\n");
    write_bytes(active() + "/favourites.txt", "60.1|24.9|0|Home\n");
    {
        XrFavouritesProviderImpl favourites(nullptr);
        ASSERT_TRUE(maps.open_map());
        XrArray<XrHistoryMapPoint> h(4, 0);
        history.get_history(h);
        EXPECT_EQ(h.get_num_items(), 1);
        auto* poi = dynamic_cast<XrGeomLayer*>(maps.get_poi_layer());
        ASSERT_NE(poi, nullptr);
        EXPECT_EQ(poi->get_storage()->get_member_count(), 2); // its own and the favourites'
        maps.close_map();
    }
    XrSingleton::set_instance(XrString(L"XrHistoryProvider"), nullptr);
}

namespace {

// Route and overlay layers that log what the map provider does with them.
struct LayerLog {
    std::vector<std::string> calls;
    bool road_data_ok = true;
    XrAddrAccessor* addr = nullptr;
    XrSignpostAccessor* signposts = nullptr;
    std::string text() const
    {
        std::string out;
        for (const auto& c : calls)
            out += (out.empty() ? "" : " ") + c;
        return out;
    }
};

struct LoggingRouteLayer : XrLayer, XrMapRouteLayer {
    explicit LoggingRouteLayer(LayerLog& log) : log(log) {}
    ~LoggingRouteLayer() override { log.calls.push_back("route:deleted"); }
    XrLayer* as_layer() override { return this; }
    void load_images() override { log.calls.push_back("route:images"); }
    void set_voice_folder(const XrString& folder) override
    {
        std::string name;
        for (const TCHAR* c = folder.c_str(); *c != 0; ++c)
            name += static_cast<char>(*c);
        log.calls.push_back("route:voice-" + name);
    }
    // The route layer owns the signpost reader.
    void set_signpost_accessor(XrSignpostAccessor* s) override
    {
        log.signposts = s;
        signposts.reset(s);
        log.calls.push_back("route:signposts");
    }
    std::unique_ptr<XrSignpostAccessor> signposts;
    void set_handsfree(bool on) override { log.calls.push_back(on ? "route:handsfree" : "route:no-handsfree"); }
    void set_prompts_on(bool on) override { log.calls.push_back(on ? "route:prompts" : "route:silent"); }
    void take_road_layer_values(XrLayer*) override { log.calls.push_back("route:road-values"); }
    void attach_layer(XrMap::XrLayerInfo& info) override
    {
        std::string name;
        for (const TCHAR* c = info.name.c_str(); *c != 0; ++c)
            name += static_cast<char>(*c);
        log.calls.push_back("route:attach-" + name);
    }
    void set_road_layer(XrLayer* road, XrGeomStorage* geometry) override
    {
        log.calls.push_back(road != nullptr && geometry != nullptr ? "route:road-layer" : "route:no-road");
    }
    bool set_road_data(XrGeomStorage* geometry, XrAddrAccessor* addr) override
    {
        log.addr = addr;
        log.calls.push_back(geometry != nullptr ? "route:road-data" : "route:no-data");
        return log.road_data_ok;
    }
    LayerLog& log;
};

struct LoggingOverlay : XrLayer, XrMapOverlayLayer {
    explicit LoggingOverlay(LayerLog& log) : log(log) {}
    ~LoggingOverlay() override { log.calls.push_back("overlay:deleted"); }
    XrLayer* as_layer() override { return this; }
    void load_images() override { log.calls.push_back("overlay:images"); }
    void set_pin(const XrPoint&, const XrString&) override {}
    void clear_pin() override {}
    LayerLog& log;
};

struct LoggingMaker : XrMapLayerMaker {
    XrMapRouteLayer* create_route_layer(XrEventloopBase* loop, XrMap* map, XrAudioPlayer*) override
    {
        log.calls.push_back(loop != nullptr && map != nullptr ? "route:new" : "route:new-without-map");
        return new LoggingRouteLayer(log);
    }
    XrMapOverlayLayer* create_overlay_layer() override
    {
        log.calls.push_back("overlay:new");
        return new LoggingOverlay(log);
    }
    LayerLog log;
};

struct RouteProviderDouble : XrRouteProvider {
    RouteProviderDouble() { XrSingleton::set_instance(XrString(L"XrRouteProvider"), static_cast<XrRouteProvider*>(this)); }
    ~RouteProviderDouble() override { XrSingleton::set_instance(XrString(L"XrRouteProvider"), nullptr); }
    void drop_route() override { ++dropped; }
    int dropped = 0;
};

class MapProviderLayersTest : public MapProviderTest {
protected:
    MapProviderLayersTest()
    {
        maps.set_layer_maker(&maker);
        settings.set_volume(XrAppSettingsProvider::VolumeOff);
        settings.set_handsfree_invoke(true);
        XrSingleton::set_instance(XrString(L"XrAppSettingsProvider"), static_cast<XrAppSettingsProvider*>(&settings));
    }
    ~MapProviderLayersTest() override
    {
        maps.close_map();
        XrSingleton::set_instance(XrString(L"XrAppSettingsProvider"), nullptr);
    }
    bool open()
    {
        XrEventLoop loop;
        return maps.initialize(&loop, nullptr, nullptr, nullptr);
    }

    LoggingMaker maker;
    XrAppSettingsProviderImpl settings;
    RouteProviderDouble route;
};

} // namespace

TEST_F(MapProviderLayersTest, RouteAndOverlayLayersAreSetUpInOrder)
{
    write_test_map(active());
    XrSignsFile signs;
    std::string error;
    ASSERT_TRUE(write_signs(active() + "/signs.bin", signs, error)) << error;
    ASSERT_TRUE(open());
    EXPECT_EQ(maker.log.text(), "route:new overlay:new overlay:images route:images route:signposts "
                                "route:handsfree route:silent route:road-values route:attach-road route:road-layer "
                                "route:road-data");
    EXPECT_EQ(maker.log.addr, maps.get_addr_accessor());
    EXPECT_NE(maker.log.signposts, nullptr);
    ASSERT_NE(maps.get_route_layer(), nullptr);
    ASSERT_NE(maps.get_overlay_layer(), nullptr);
    EXPECT_FALSE(maps.get_route_layer()->as_layer()->is_double_bufferable());
    // Both on top of the map's own layers, the route layer first.
    XrMap* map = maps.get_map();
    const int n = map->get_layer_count();
    ASSERT_GE(n, 2);
    EXPECT_EQ(map->get_layer_info_at(n - 2)->name, L"route_layer");
    EXPECT_EQ(map->get_layer_info_at(n - 1)->name, L"overlay_layer");
    EXPECT_EQ(map->get_layer(XrString(L"route_layer")), maps.get_route_layer()->as_layer());

    // Closing drops the route first, then the map takes its layers along.
    maker.log.calls.clear();
    maps.close_map();
    EXPECT_EQ(route.dropped, 1);
    EXPECT_EQ(maps.get_route_layer(), nullptr);
    EXPECT_EQ(maps.get_overlay_layer(), nullptr);
    EXPECT_EQ(maker.log.calls.size(), 2u);
}

TEST_F(MapProviderLayersTest, VolumeDecidesThePrompts)
{
    write_test_map(active());
    const struct {
        XrAppSettingsProvider::Volume volume;
        const char* prompts;
    } cases[] = {{XrAppSettingsProvider::VolumeOff, "route:silent"},
                 {XrAppSettingsProvider::VolumeLow, "route:prompts"},
                 {XrAppSettingsProvider::VolumeHigh, "route:prompts"}};
    for (const auto& c : cases) {
        settings.set_volume(c.volume);
        maker.log.calls.clear();
        ASSERT_TRUE(maps.open_map());
        const std::string log = maker.log.text();
        EXPECT_NE(log.find(c.prompts), std::string::npos) << log;
        EXPECT_EQ(log.find("route:signposts"), std::string::npos); // no signs.bin
        maps.close_map();
    }
}

// The route layer speaks the voice set of the settings while the card
// holds it; else the default set, which the settings then name.
TEST_F(MapProviderLayersTest, VoiceFolderIsTheSettingsWhileOnTheCard)
{
    write_test_map(active());
    for (const char* set : {"sound_eng", "sound_deu"}) {
        const std::string folder = files.card_root + "kestrova/sounds/" + set;
        std::filesystem::create_directories(folder);
        std::ofstream(folder + "/left.ogg") << "prompt";
    }
    const struct {
        const wchar_t* setting;
        const char* spoken;
    } cases[] = {{L"sound_deu", "sound_deu"}, {L"", "sound_eng"}, {L"sound_fra", "sound_eng"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.spoken);
        settings.set_soundset(XrString(c.setting));
        maker.log.calls.clear();
        ASSERT_TRUE(maps.open_map());
        const std::string log = maker.log.text();
        EXPECT_NE(log.find(std::string("route:voice-") + c.spoken + " "), std::string::npos) << log;
        EXPECT_EQ(settings.get_soundset(), XrString(std::wstring(c.spoken, c.spoken + std::strlen(c.spoken)).c_str()));
        maps.close_map();
    }
}

TEST_F(MapProviderLayersTest, RefusedRoadDataFailsTheOpeningAndFreesTheLayers)
{
    write_test_map(active());
    maker.log.road_data_ok = false;
    EXPECT_FALSE(open());
    EXPECT_FALSE(maps.has_map());
    EXPECT_EQ(listener.log, "");
    EXPECT_EQ(maps.get_route_layer(), nullptr);
    const std::string log = maker.log.text();
    EXPECT_NE(log.find("route:deleted"), std::string::npos) << log;
    EXPECT_NE(log.find("overlay:deleted"), std::string::npos) << log;
    // A map that fails before the layers are added frees them too.
    maker.log.calls.clear();
    maker.log.road_data_ok = true;
    std::filesystem::remove(active() + "/addr.dat");
    EXPECT_FALSE(maps.open_map());
    EXPECT_NE(maker.log.text().find("route:deleted"), std::string::npos);
    EXPECT_EQ(maker.log.text().find("route:road-values"), std::string::npos);
}

TEST_F(MapProviderTest, ReloadLayerSettingsReadsEachListedLayer)
{
    maps.reload_layer_settings(); // without a map: nothing
    const std::string conf = files.card_root + "kestrova/maemo.reg";
    const std::string key = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Varnok\\visual_settings\\gt_vs\\layers\\";
    write_bytes(conf, ProviderFiles::read(conf) + "\n" + key.substr(0, key.size() - 1) + "]\n" + key + "sm]\nvisible=0\npickable=0\nvisibility_low=500\n" +
                          "visibility_high=90000\n" + key + "poi]\nvisibility_high=7000\n");
    write_test_map(active());
    ASSERT_TRUE(maps.open_map());
    XrMap* map = maps.get_map();
    const struct {
        const wchar_t* layer;
        bool visible, pickable;
        std::uint32_t low, high;
    } cases[] = {
        {L"sm", false, false, 500, 90000},
        {L"poi", true, true, 0, 7000}, // only what is listed changes; a missing range value is 0
    };
    for (const auto& c : cases) {
        XrMap::XrLayerInfo* info = map->get_layer_info(XrString(c.layer));
        ASSERT_NE(info, nullptr);
        info->lowest_scale = 1; // to see the reset to 0
        info->visible = info->pickable = true;
    }
    XrMap::XrLayerInfo* road = map->get_layer_info(XrString(L"road"));
    road->lowest_scale = 123;
    maps.reload_layer_settings();
    for (const auto& c : cases) {
        XrMap::XrLayerInfo* info = map->get_layer_info(XrString(c.layer));
        EXPECT_EQ(info->visible, c.visible) << info->name.c_str();
        EXPECT_EQ(info->pickable, c.pickable);
        EXPECT_EQ(info->lowest_scale, c.low);
        EXPECT_EQ(info->highest_scale, c.high);
    }
    EXPECT_EQ(road->lowest_scale, 123u); // not listed: untouched
}

TEST_F(MapProviderTest, EachMapBringsItsCharacterTables)
{
    write_test_map(active());
    XrTestMapOptions beta;
    beta.name = "Beta";
    beta.guid = "beta-guid";
    write_test_map(files.card_root + "mapdata_Beta", beta);
    // Beta's table folds "A" to "z".
    XrUnicodeEntries fold, upper, lower;
    built_in_unicode_tables(fold, upper, lower);
    bool changed = false;
    for (auto& e : fold) {
        if (e.c == 'A') {
            e.m = 'z';
            changed = true;
        }
    }
    ASSERT_TRUE(changed);
    ASSERT_TRUE(write_unicode_binmap(files.card_root + "mapdata_Beta/unicode.binmap", fold, upper, lower));
    ASSERT_TRUE(maps.open_map());
    const TCHAR plain = XrUnicodeUtil::get_instance()->fold_char(L'A');
    EXPECT_NE(plain, L'z');

    ASSERT_TRUE(maps.select_map(1));
    EXPECT_EQ(XrUnicodeUtil::get_instance()->fold_char(L'A'), L'z');
    ASSERT_TRUE(maps.select_map(0));
    EXPECT_EQ(XrUnicodeUtil::get_instance()->fold_char(L'A'), plain);
}
