// The application's answers to the map engine, the route layer and the map
// window, over the real providers of the demo map: what they answer, when
// they are installed, how the map settings reach the route layer, and the
// road casings drawn at the display scale factor the answers carry.
#include "apps/apps_common/xr_appmaplayers.h"
#include "apps/apps_common/xr_appservices.h"
#include "apps/apps_common/xr_naviapp.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/corvanel_core/interfaces/xr_mapsettingsprovider.h"
#include "common/corvanel_core/interfaces/xr_mapviewprovider.h"
#include "common/corvanel_core/interfaces/xr_routeprovider.h"
#include "common/gdi/gdi_test_dc.h"
#include "common/gdi/window/xr_mapwindowservices.h"
#include "common/map/xr_map.h"
#include "common/map/xr_mapservices.h"
#include "common/map/xr_routelayer.h"
#include "common/map/xr_routelayerhost.h"
#include "common/misc/xr_msgtable.h"
#include "common/ui/fonts/xr_fontrepository_maemo.h"

#include "apps/maemo_map/navigator_run.h"
#include "support/xr_temp_root.h"

namespace {

class TestApp : public XrNaviApp {
public:
    void create_position_provider() override {}
    void exit_application() override {}
    bool show_route_query(const char*, const char*, bool) override { return false; }
};

// The demo map on the card of the test's root, with an optional
// "map_settings_v2.txt" in the map folder and an optional user settings
// file; the English catalogue bound (the unit switch needs its "yes").
class AppServicesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(xr_own_process_display());
        XrGDI::init_stock_objects();
    }

    void SetUp() override
    {
        setenv("LANGUAGE", "en", 1);
        setenv("LC_ALL", "C.UTF-8", 1);
        setenv("HOME", "/home/user", 1);
        ASSERT_NE(std::setlocale(LC_ALL, ""), nullptr);
        ASSERT_TRUE(bind_text_domain());
    }
    void TearDown() override
    {
        std::setlocale(LC_ALL, "C");
        unsetenv("LANGUAGE");
        unsetenv("LC_ALL");
    }

    void install_card(const std::string& map_settings = std::string(), const std::string& user_settings = std::string())
    {
        install_card_at(root, map_settings, user_settings);
    }
    static void install_card_at(const XrTempRoot& root, const std::string& map_settings,
                                const std::string& user_settings = std::string())
    {
        xr_install_demo_card(root);
        const std::string map = root.dir() + "/media/mmc2/map";
        if (!map_settings.empty())
            std::ofstream(map + "/mapdata/map_settings_v2.txt") << "REGEDIT4\n\n[\\settings]\n" << map_settings;
        if (!user_settings.empty()) {
            std::filesystem::create_directories(root.dir() + "/home/user/.kestrova");
            std::ofstream(root.dir() + "/home/user/.kestrova/settings.txt") << "REGEDIT4\n\n[\\settings]\n"
                                                                             << user_settings;
        }
    }

    XrTempRoot root;
};

XrMapSettingsProvider* map_settings()
{
    return static_cast<XrMapSettingsProvider*>(XrSingleton::get_instance(XrString(L"XrMapSettingsProvider")));
}

TEST_F(AppServicesTest, AnswersComeFromTheProvidersFromConstructionToExit)
{
    install_card("measurement_system=2\n");
    EXPECT_EQ(get_map_engine_services().get_scale_factor(), 1.0);
    {
        TestApp app;
        ASSERT_TRUE(app.construct());
        XrMapProvider* maps = XrMapProvider::get_instance();
        ASSERT_NE(maps, nullptr);
        ASSERT_NE(maps->get_projection(), nullptr);
        XrMapEngineServices& engine = get_map_engine_services();
        XrRouteLayerHost& host = get_route_layer_host();
        XrMapWindowServices* window = get_map_window_services();

        struct Row {
            const char* what;
            double got;
            double expected;
        };
        const Row rows[] = {
            {"text language (the map settings')", static_cast<double>(engine.get_text_language()), 0.0},
            {"engine scale factor (the map-view provider's)", engine.get_scale_factor(), 2.0},
            {"route layer scale factor", host.get_scale_factor(), 2.0},
            {"engine distance units (the map settings')", static_cast<double>(engine.get_distance_units()), 2.0},
            {"route layer distance units", static_cast<double>(host.get_distance_units()), 2.0},
            {"alternate units on the progress bar", window->use_alternate_units() ? 1.0 : 0.0, 1.0},
            {"no route yet", engine.has_route() ? 1.0 : 0.0, 0.0},
            {"hold flag clear", window->get_hold_flag() ? 1.0 : 0.0, 0.0},
            {"no guidance panel without a route", static_cast<double>(window->get_route_panel_top()), 0.0},
        };
        for (const Row& r : rows)
            EXPECT_EQ(r.got, r.expected) << r.what;
        EXPECT_EQ(engine.get_projection(), maps->get_projection());

        // A route along the demo drive's road: the engine sees it.
        const XrPoint from = XrCoordinate(-24.0007860, 30.99730).to_point(maps->get_projection());
        const XrPoint to = XrCoordinate(-24.0007860, 31.00404).to_point(maps->get_projection());
        app.app_navigate_to(&from, &to, XrString(L"End"));
        ASSERT_TRUE(xr_run_loop_until([&] { return engine.has_route(); }, 20));

        // The units switched back to metric reach every answer.
        map_settings()->set_measurement_system(0);
        EXPECT_EQ(engine.get_distance_units(), 0);
        EXPECT_EQ(host.get_distance_units(), 0);
        EXPECT_FALSE(window->use_alternate_units());
    }
    // Uninstalled with the application: the defaults answer again.
    EXPECT_EQ(get_map_engine_services().get_scale_factor(), 1.0);
    EXPECT_EQ(get_map_engine_services().get_projection(), nullptr);
    EXPECT_EQ(get_route_layer_host().get_scale_factor(), 1.0);
    EXPECT_FALSE(get_map_window_services()->use_alternate_units());
}

// The driving side of the map's settings file (none: right-hand traffic).
struct DrivingSideCase {
    const char* name;
    const char* file; // "\\settings" lines of map_settings_v2.txt
    bool right_hand;
};

class MapSettingsToRouteLayerTest : public AppServicesTest, public ::testing::WithParamInterface<DrivingSideCase> {};

TEST_P(MapSettingsToRouteLayerTest, ReachTheLayerWhenTheMapOpensAndWhenTheyAreSaved)
{
    const DrivingSideCase& c = GetParam();
    install_card(c.file);
    TestApp app;
    ASSERT_TRUE(app.construct());
    XrRouteLayer* layer = app.get_route_layer();
    ASSERT_NE(layer, nullptr);
    // Read from the map's file before the layer was told.
    EXPECT_EQ(layer->is_right_hand_traffic(), c.right_hand);

    // Saved map settings are handed over again: a layer that drifted from
    // them is set back.
    layer->set_right_hand_traffic(!c.right_hand);
    ASSERT_TRUE(map_settings()->save(false));
    EXPECT_EQ(layer->is_right_hand_traffic(), c.right_hand);
    // A silent save tells nobody.
    layer->set_right_hand_traffic(!c.right_hand);
    ASSERT_TRUE(map_settings()->save(true));
    EXPECT_EQ(layer->is_right_hand_traffic(), !c.right_hand);
}

INSTANTIATE_TEST_SUITE_P(DrivingSide, MapSettingsToRouteLayerTest,
                         ::testing::Values(DrivingSideCase{"NoFile", "", true},
                                           DrivingSideCase{"LeftHand", "right_side_traffic=0\nmeasurement_system=2\n",
                                                           false},
                                           DrivingSideCase{"RightHand", "right_side_traffic=1\n", true}),
                         [](const ::testing::TestParamInfo<DrivingSideCase>& info) { return info.param.name; });

TEST_F(AppServicesTest, RouteLayerHoldsTheSignpostsThePicturesAndTheRoadLayersLimit)
{
    install_card(std::string(), "handsfree_invoke=1\n");
    TestApp app;
    ASSERT_TRUE(app.construct());
    XrRouteLayer* layer = app.get_route_layer();
    ASSERT_NE(layer, nullptr);
    // The signpost reader of the map's "signs.bin" (the layer owns it).
    EXPECT_NE(layer->get_signpost_accessor(), nullptr);
    for (int i = 0; i < 6; ++i)
        EXPECT_NE(layer->get_safety_image(i), nullptr) << "safety screen picture " << i;
    auto* app_layer = dynamic_cast<XrAppRouteLayer*>(layer);
    ASSERT_NE(app_layer, nullptr);
    EXPECT_TRUE(app_layer->is_handsfree());
    // The route is drawn along its roads up to the road layer's upper limit.
    XrMap* map = XrMapProvider::get_instance()->get_map();
    const XrMap::XrLayerInfo* road = map->get_layer_info(XrString(L"road"));
    ASSERT_NE(road, nullptr);
    EXPECT_EQ(layer->get_scale_limit(), road->highest_scale > 0 ? static_cast<int>(road->highest_scale) : 100000);
}

TEST_F(AppServicesTest, MapWithoutSignpostFileOpensWithoutSignposts)
{
    install_card();
    std::filesystem::remove(root.dir() + "/media/mmc2/map/mapdata/signs.bin");
    TestApp app;
    ASSERT_TRUE(app.construct());
    XrRouteLayer* layer = app.get_route_layer();
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(layer->get_signpost_accessor(), nullptr);
}

// A map-view provider that answers only a scale factor.
class FactorView : public XrMapViewProvider {
public:
    explicit FactorView(double factor) : factor(factor) {}
    double get_scale_factor() override { return factor; }

private:
    double factor;
};

// Width of the run of non-land pixels through the middle column of a row.
int road_width_at(const XrTestPixels& px, int y, int x_mid)
{
    const XrColorHandle land = px.at(5, y);
    int left = x_mid, right = x_mid;
    while (left > 0 && px.at(left - 1, y) != land)
        --left;
    while (right < 799 && px.at(right + 1, y) != land)
        ++right;
    return right - left + 1;
}

TEST_F(AppServicesTest, RoadCasingsWidenWithTheMapViewProvidersFactor)
{
    install_card();
    TestApp app;
    ASSERT_TRUE(app.construct());
    XrMapView& view = app.get_map_view();
    view.set_screen_size(XrSize(800, 480));
    view.set_visible_rect(XrRectangle(0, 0, 800, 480));
    view.set_rotation(0);
    // On the demo drive's north-south road, away from its crossings.
    const XrPoint centre =
        XrCoordinate(-24.0007860, 31.0000).to_point(XrMapProvider::get_instance()->get_projection());
    view.set_center_and_scale(&centre, 6250, true);

    XrTestDC dc(800, 480, kWhite);
    auto draw = [&]() {
        dc.clear(kWhite);
        view.draw(dc.dc, nullptr, XrMap::BufferedLayers, -1, -1);
        return XrTestPixels(dc.dc);
    };
    // The provider's own factor (2), then stand-ins answering 1 and 3.
    std::vector<int> widths;
    widths.push_back(road_width_at(draw(), 240, 400));
    auto* provider = XrMapViewProvider::get_instance();
    for (double f : {1.0, 3.0}) {
        FactorView stand_in(f);
        XrSingleton::set_instance(XrString(L"XrMapViewProvider"), nullptr);
        XrSingleton::set_instance(XrString(L"XrMapViewProvider"), static_cast<XrMapViewProvider*>(&stand_in));
        widths.push_back(road_width_at(draw(), 240, 400));
        XrSingleton::set_instance(XrString(L"XrMapViewProvider"), nullptr);
    }
    XrSingleton::set_instance(XrString(L"XrMapViewProvider"), provider);
    // The casing is 2 x trunc(factor) pixels wider than the style's width:
    // one pixel more on each side per step of the factor.
    ASSERT_GT(widths[1], 2);
    EXPECT_EQ(widths[0] - widths[1], 2) << widths[0] << " " << widths[1];
    EXPECT_EQ(widths[2] - widths[0], 2) << widths[2] << " " << widths[0];
}

// The edge above the fill of the first road-number shield in the picture
// (blue fill under a white border and a black frame): its thickness in
// pixels through the middle of the fill's top row; 0 without a shield.
int shield_edge(const XrTestPixels& px)
{
    const XrColorHandle blue = XrGDI::rgb(0, 70, 160);
    for (int y = 1; y < 480; ++y) {
        int x = 0;
        while (x < 800 && px.at(x, y) != blue)
            ++x;
        if (x == 800)
            continue;
        int end = x;
        while (end < 799 && px.at(end + 1, y) == blue)
            ++end;
        const int mid = (x + end) / 2;
        int up = y;
        while (up > 0 && (px.at(mid, up - 1) == XrGDI::rgb(255, 255, 255) || px.at(mid, up - 1) == XrGDI::rgb(0, 0, 0)))
            --up;
        return y - up;
    }
    return 0;
}

TEST_F(AppServicesTest, ShieldFramesWidenWithTheMapViewProvidersFactor)
{
    install_card();
    TestApp app;
    ASSERT_TRUE(app.construct());
    XrMapView& view = app.get_map_view();
    view.set_screen_size(XrSize(800, 480));
    view.set_visible_rect(XrRectangle(0, 0, 800, 480));
    view.set_rotation(0);
    // The motorway south of the town, with its "A1" shields.
    const XrPoint centre = XrCoordinate(-24.0, 31.0 - 1315.0 / 111320.0)
                               .to_point(XrMapProvider::get_instance()->get_projection());
    view.set_center_and_scale(&centre, 6250, true);
    XrTestDC dc(800, 480, kWhite);
    auto* provider = XrMapViewProvider::get_instance();
    auto edge_at = [&](XrMapViewProvider* answering) {
        XrSingleton::set_instance(XrString(L"XrMapViewProvider"), nullptr);
        XrSingleton::set_instance(XrString(L"XrMapViewProvider"), answering);
        dc.clear(kWhite);
        view.draw(dc.dc, nullptr, XrMap::AllLayers, -1, -1);
        return shield_edge(XrTestPixels(dc.dc));
    };
    // Border and frame are trunc(factor) pixels each.
    struct Row {
        double factor;
        int edge;
    };
    for (const Row& r : {Row{1.0, 2}, Row{1.5, 2}, Row{3.0, 6}}) {
        FactorView stand_in(r.factor);
        EXPECT_EQ(edge_at(&stand_in), r.edge) << "factor " << r.factor;
    }
    // The application's own provider answers 2.
    EXPECT_EQ(edge_at(provider), 4);
}

} // namespace
