// The POI provider: the class catalogue, saved visibility and alerts, the
// POI layer's class table, and dynamic POI sets.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/corvanel_core/impl/provider_files.h"
#include "common/corvanel_core/impl/xr_poiproviderimpl.h"
#include "search_doubles.h"
#include "tools/mapgen/xrqt_writer.h"

namespace {

struct Listener : XrPoiListener {
    int calls = 0;
    void poi_settings_changed() override { ++calls; }
};

struct PoiProvider : ::testing::Test {
    PoiProvider()
    {
        // The class catalogue is a shipped file of the program.
        std::filesystem::create_directories(files.root().dir() + "/usr/share/kestrova");
        files.write(files.root().dir() + "/usr/share/kestrova/poi.reg", "REGEDIT4\r\n[\\poi\\default]\r\n7=Zoo\r\n"
                                               "5=Fuel\r\n69=Cameras\r\n[\\poi\\eng]\r\n"
                                               "7=Zoo\r\n5=Fuel\r\n69=Cameras\r\n");
        poi_root = files.card_root + "mapdata/poi";
        std::filesystem::create_directories(poi_root);
    }

    std::unique_ptr<XrPoiProviderImpl> make()
    {
        auto p = std::make_unique<XrPoiProviderImpl>(XrString(poi_root.c_str()), nullptr);
        return p;
    }

    // A POI set: its ".poi" description and (when data_ok) its geometry file.
    void write_set(const std::string& folder, const std::string& file, const std::string& body, bool data_ok = true)
    {
        const std::string dir = poi_root + "/" + folder;
        std::filesystem::create_directories(dir);
        files.write(dir + "/" + file, "REGEDIT4\r\n" + body);
        if (data_ok) {
            std::string error;
            XrTextGeomRec rec(1, 100, 100, 0, 0, "Partner");
            std::vector<XrGeomRec*> recs = {&rec};
            ASSERT_TRUE(write_xrqt(dir + "/data.qt", recs, XrGeomFileOptions(), error)) << error;
        }
    }

    std::vector<std::wstring> names(XrPoiProviderImpl& p)
    {
        std::vector<std::wstring> out;
        for (int i = 0; i < p.get_poi_settings().get_num_items(); ++i)
            out.emplace_back((*p.get_poi_settings().get_item_ptr(i))->get_name().c_str());
        return out;
    }

    int layer_value(int class_id)
    {
        int v = 0;
        return maps.poi->get_visibility(class_id, v) ? v : -99;
    }

    ProviderFiles files;
    SearchMapProvider maps;
    std::string poi_root;
};

TEST_F(PoiProvider, CatalogueSortedByNameAllVisibleWithoutSettings)
{
    auto p = make();
    maps.notify_listeners(&XrMapListener::map_initialized);
    EXPECT_EQ(names(*p), (std::vector<std::wstring>{L"Cameras", L"Fuel", L"Zoo"}));
    EXPECT_EQ(layer_value(5), 1);
    EXPECT_EQ(layer_value(7), 1);
    EXPECT_TRUE(std::filesystem::exists(files.map_file("poi_settings.txt"))); // made when missing
}

TEST_F(PoiProvider, SavedVisibilityAndAlertsEnterTheLayerTable)
{
    files.write(files.map_file("poi_settings.txt"),
                "REGEDIT4\r\n[\\poi\\visibility]\r\n5=1,50000\r\n69=0,0\r\n");
    auto p = make();
    maps.notify_listeners(&XrMapListener::map_initialized);
    EXPECT_EQ(layer_value(5), 500);
    EXPECT_EQ(layer_value(7), -1); // the key exists but class 7 has no entry: hidden
    EXPECT_EQ(layer_value(69), 1); // always shown

    struct Case {
        const wchar_t* value;
        bool readable, visible;
        int layer;
    } cases[] = {
        {L"1,50000", true, true, 500}, {L"1,0", true, true, 1}, {L"1", true, true, 1}, {L"0,50000", true, false, -1},
        {L"1,150", true, true, 2}, // an alert of 1.5 m must not read as "no alert"
        {L"x", false, false, -1},
    };
    for (const Case& c : cases) {
        bool visible = !c.visible;
        XrDistance alert;
        EXPECT_EQ(XrPoiProviderImpl::parse_visibility(XrString(c.value), visible, alert), c.readable) << c.value;
        EXPECT_EQ(visible, c.visible) << c.value;
        XrStaticPoiSettings s;
        s.set_class_id(5);
        s.set_visible(visible ? 1 : 0);
        s.set_distance(alert);
        EXPECT_EQ(XrPoiProviderImpl::layer_value(s), c.layer) << c.value;
    }
}

TEST_F(PoiProvider, SaveWritesValuesAndTellsListeners)
{
    auto p = make();
    Listener listener;
    p->add_listener(&listener);
    maps.notify_listeners(&XrMapListener::map_initialized);
    ASSERT_TRUE(p->set_poi_class_proximity_alert(5, XrDistance(500, XrDistance::Metres)));
    ASSERT_TRUE(p->set_poi_class_visibility(7, false));
    EXPECT_FALSE(p->set_poi_class_visibility(12345, false));
    EXPECT_EQ(layer_value(5), 1); // nothing pushed before the save
    ASSERT_TRUE(p->save_poi_settings(false));
    EXPECT_EQ(listener.calls, 1);
    EXPECT_EQ(layer_value(5), 500);
    EXPECT_EQ(layer_value(7), -1);
    const std::string saved = ProviderFiles::read(files.map_file("poi_settings.txt"));
    EXPECT_NE(saved.find("5=1,50000"), std::string::npos) << saved;
    EXPECT_NE(saved.find("7=0,0"), std::string::npos) << saved;
    ASSERT_TRUE(p->save_poi_settings(true));
    EXPECT_EQ(listener.calls, 1);

    // A new provider reads the saved values.
    p->remove_listener(&listener);
    p.reset();
    auto again = make();
    maps.notify_listeners(&XrMapListener::map_initialized);
    EXPECT_EQ(layer_value(5), 500);
    EXPECT_EQ(layer_value(7), -1);
}

TEST_F(PoiProvider, DynamicSetsGetClassesFromAThousand)
{
    write_set("a", "first.poi", "[\\data]\r\ndata=data.qt\r\ninternal_type=1\r\n"
                                "[\\data\\name\\ENG]\r\n0=Partners\r\n");
    write_set("b", "second.POI", "[\\data]\r\nversion=1.2\r\ndata=data.qt\r\ninternal_type=1\r\n");
    write_set("c", "newer.poi", "[\\data]\r\nversion=2.0\r\ndata=data.qt\r\n");
    write_set("d", "nodata.poi", "[\\data]\r\ninternal_type=1\r\n");
    write_set("e", "escape.poi", "[\\data]\r\ndata=../a/data.qt\r\ninternal_type=1\r\n");
    write_set("f", "absolute.poi", "[\\data]\r\ndata=/etc/passwd\r\ninternal_type=1\r\n");
    write_set("g", "noicons.poi", "[\\data]\r\ndata=data.qt\r\n");
    files.write(poi_root + "/top.poi", "REGEDIT4\r\n"); // the folder itself is not searched
    auto p = make();
    maps.notify_listeners(&XrMapListener::map_initialized);

    const XrArray<XrPoiProvider::XrDynPoiFailedResult>* failed = p->get_failed_results();
    ASSERT_NE(failed, nullptr);
    std::vector<std::pair<std::wstring, int>> got;
    for (int i = 0; i < failed->get_num_items(); ++i)
        got.emplace_back(failed->get_item_ptr(i)->file.c_str(), failed->get_item_ptr(i)->reason);
    EXPECT_EQ(got, (std::vector<std::pair<std::wstring, int>>{
                       {L"newer.poi", 0}, {L"nodata.poi", 1}, {L"escape.poi", 1}, {L"absolute.poi", 1},
                       {L"noicons.poi", 1}}));

    std::vector<std::pair<std::wstring, int>> dynamic;
    for (int i = 0; i < p->get_poi_settings().get_num_items(); ++i) {
        const XrPoiSettings* s = *p->get_poi_settings().get_item_ptr(i);
        if (s->get_kind() == XrPoiSettings::KindDynamic)
            dynamic.emplace_back(s->get_name().c_str(), s->get_class_id());
    }
    EXPECT_EQ(dynamic, (std::vector<std::pair<std::wstring, int>>{{L"Partners", 1000}, {L"second.POI 0", 1001}}));
    EXPECT_EQ(maps.poi->get_storage()->get_member_count(), 3); // the map's own and the two sets

    XrArray<XrPoiProvider::XrDynPoiFailedResult>* again = p->reload_extensions();
    EXPECT_EQ(again->get_num_items(), 5);
    delete again;
    dynamic.clear();
    for (int i = 0; i < p->get_poi_settings().get_num_items(); ++i) {
        const XrPoiSettings* s = *p->get_poi_settings().get_item_ptr(i);
        if (s->get_kind() == XrPoiSettings::KindDynamic)
            dynamic.emplace_back(s->get_name().c_str(), s->get_class_id());
    }
    EXPECT_EQ(dynamic.size(), 2u);
    EXPECT_EQ(dynamic[0].second, 1000);
    EXPECT_EQ(maps.poi->get_storage()->get_member_count(), 3);

    p->unload_dynamic_pois();
    EXPECT_EQ(maps.poi->get_storage()->get_member_count(), 1);
    EXPECT_EQ(names(*p), (std::vector<std::wstring>{L"Cameras", L"Fuel", L"Zoo"}));
}

TEST_F(PoiProvider, MapClosingClearsTheClasses)
{
    auto p = make();
    maps.notify_listeners(&XrMapListener::map_initialized);
    EXPECT_EQ(p->get_poi_settings().get_num_items(), 3);
    maps.notify_listeners(&XrMapListener::map_closing);
    EXPECT_EQ(p->get_poi_settings().get_num_items(), 0);
}

} // namespace
