#include "apps/apps_common/xr_naviapp.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "common/corvanel_core/impl/xr_routeproviderimpl.h"
#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/map/xr_routelayer.h"
#include "common/ui/fonts/xr_fontrepository_maemo.h"

#include "common/misc/xr_path_resolver.h"
#include "apps/maemo_map/navigator_run.h"
#include "support/xr_temp_root.h"

namespace {

class TestApp : public XrNaviApp {
public:
    void create_position_provider() override {}
    bool show_route_query(const char* title_key, const char* text_key, bool ask) override
    {
        queries.push_back(std::string(ask ? "ask " : "note ") + (title_key != nullptr ? title_key : "") + "/" + text_key);
        return false;
    }
    void show_map_message(const XrString& text, int duration_ms, int kind) override
    {
        std::string narrow;
        for (int i = 0; i < text.length(); ++i)
            narrow += static_cast<char>(text.c_str()[i]);
        queries.push_back("map " + narrow + " " + std::to_string(duration_ms) + " " + std::to_string(kind));
    }
    bool show_address_dialog(const XrString&, int page, XrPoint&, XrString&, const XrPoint*) override
    {
        pages.push_back(page);
        return false;
    }
    void route_changed() override
    {
        XrNaviApp::route_changed();
        ++route_changes;
    }
    std::vector<std::string> queries;
    std::vector<int> pages;
    int route_changes = 0;
    void exit_application() override { ++exits; }
    XrMemoryNotifier& notifier() { return memory_notifier; }
    std::uint32_t follow_until() const { return follow_suspended_until; }
    std::uint32_t scale_until() const { return scale_suspended_until; }
    int exits = 0;
};

class Cache : public XrMemoryNotifierClient {
public:
    void free_memory() override { ++frees; }
    int frees = 0;
};

class NaviAppTest : public ::testing::Test {
protected:
    // A display of the suite's own, kept for the whole process (GTK stays
    // connected to it).
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(xr_own_process_display());
    }
    XrTempRoot root;
};

TEST_F(NaviAppTest, SecondLowMemoryInARowEndsTheApplication)
{
    TestApp app;
    Cache cache;
    app.notifier().add_client(&cache);
    EXPECT_EQ(call_low_memory_callback(1), 0);
    EXPECT_EQ(call_low_memory_callback(0), 1);
    EXPECT_EQ(cache.frees, 1);
    EXPECT_EQ(app.exits, 0);
    EXPECT_EQ(call_low_memory_callback(0), 0);
    EXPECT_EQ(app.exits, 1);
    // A normal level in between starts the count again.
    EXPECT_EQ(call_low_memory_callback(1), 0);
    EXPECT_EQ(call_low_memory_callback(0), 1);
    EXPECT_EQ(app.exits, 1);
}

TEST_F(NaviAppTest, SuspendingFollowNeverShortensAndMinusOneResumes)
{
    TestApp app;
    const std::uint32_t now = get_tick_count_ms();
    app.suspend_auto_follow(15000, 4000);
    EXPECT_GE(app.follow_until(), now + 15000);
    EXPECT_GE(app.scale_until(), now + 4000);
    EXPECT_TRUE(app.is_follow_suspended());
    const std::uint32_t until = app.follow_until();
    app.suspend_auto_follow(4000, 0); // shorter: the later end stays
    EXPECT_EQ(app.follow_until(), until);
    app.suspend_auto_follow(-1, -1);
    EXPECT_FALSE(app.is_follow_suspended());
    app.suspend_auto_follow(15000, 15000);
    app.resume_auto_follow();
    EXPECT_EQ(app.follow_until(), 0u);
    EXPECT_EQ(app.scale_until(), 0u);
}

TEST_F(NaviAppTest, ProvidersNeverBuiltAreSkippedOnTeardown)
{
    TestApp app;
    app.destroy_providers();
    EXPECT_EQ(XrSingleton::get_instance(XrString(L"XrMapProvider")), nullptr);
    EXPECT_EQ(app.get_idle_seconds(), 0u);
}

XrPoint at(double lat, double lon)
{
    return XrCoordinate(lon, lat).to_point(XrMapProvider::get_instance()->get_projection());
}

TEST_F(NaviAppTest, RouteProviderKeepsItsPlaceAndRoutesOnTheLoop)
{
    xr_install_demo_card(root);
    TestApp app;
    ASSERT_TRUE(app.construct());
    auto* route = dynamic_cast<XrRouteProviderImpl*>(XrRouteProvider::get_instance());
    ASSERT_NE(route, nullptr);
    // Registered before the map opened: it took the map's route layer, which
    // the map holds under its name.
    XrRouteLayer* layer = app.get_route_layer();
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(route->get_route_layer2(), layer);
    XrMap* map = XrMapProvider::get_instance()->get_map();
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->get_layer(XrString(L"route_layer")), static_cast<XrLayer*>(layer));
    // The controller listens first.
    EXPECT_EQ(route->get_listener(0), static_cast<XrRouteListener*>(&app));

    // Along the demo drive's road: the search runs 100 ms later on the loop.
    const XrPoint from = at(30.99730, -24.0007860), to = at(31.00404, -24.0007860);
    app.app_navigate_to(&from, &to, XrString(L"End"));
    EXPECT_EQ(layer->get_active_route(), nullptr);
    EXPECT_EQ(route->get_waypoint_count(), 2);
    ASSERT_TRUE(xr_run_loop_until([&] { return layer->get_active_route() != nullptr; }, 20));
    EXPECT_GE(app.route_changes, 1);
    EXPECT_GT(layer->get_route_length(), 600);
    // The new route is previewed, then the map returns to following.
    EXPECT_TRUE(app.is_route_preview_running());
    EXPECT_TRUE(xr_run_loop_until([&] { return !app.is_route_preview_running(); }, 10));

    // Cleared: no waypoints, the listeners told.
    const int changes = app.route_changes;
    app.end_navigation();
    EXPECT_EQ(layer->get_active_route(), nullptr);
    EXPECT_EQ(route->get_waypoint_count(), 0);
    EXPECT_GT(app.route_changes, changes);

    app.destroy_providers();
    EXPECT_EQ(XrRouteProvider::get_instance(), nullptr);
    EXPECT_EQ(XrSingleton::get_instance(XrString(L"XrMapProvider")), nullptr);
}

TEST_F(NaviAppTest, PreviewWithoutRouteEndsAtOnce)
{
    xr_install_demo_card(root);
    TestApp app;
    ASSERT_TRUE(app.construct());
    for (int mode : {0, 1, 2}) {
        app.start_route_preview(true, false, mode);
        EXPECT_TRUE(app.is_route_preview_running());
        EXPECT_TRUE(xr_run_loop_until([&] { return !app.is_route_preview_running(); }, 5)) << mode;
    }
    app.start_route_preview(false, false, 0);
    EXPECT_FALSE(app.is_route_preview_running());
}

TEST_F(NaviAppTest, NavigateWithoutPositionAsksForTheStartAndCancelLeavesNoRoute)
{
    xr_install_demo_card(root);
    TestApp app;
    ASSERT_TRUE(app.construct());
    XrRouteProvider* route = XrRouteProvider::get_instance();
    ASSERT_NE(route, nullptr);
    // No position provider: the start is asked for; cancelling ends it.
    app.app_navigate_to(nullptr, nullptr, XrString(L""));
    EXPECT_EQ(app.pages, std::vector<int>({1}));
    EXPECT_EQ(route->get_waypoint_count(), 0);
    XrRouteProvider::XrWaypoint pending;
    EXPECT_FALSE(route->get_pending_start(pending));
    // A given start: only the destination is asked for (page 2).
    const XrPoint from = at(30.99730, -24.0007860);
    app.app_navigate_to(&from, nullptr, XrString(L""));
    EXPECT_EQ(app.pages, std::vector<int>({1, 2}));
    EXPECT_FALSE(route->get_pending_start(pending));
    EXPECT_EQ(route->get_waypoint_count(), 0);
}

TEST_F(NaviAppTest, RouteQuestionsGoThroughTheDialogHook)
{
    TestApp app;
    EXPECT_FALSE(app.XrCommonDialogs_show_query_msg(XrRouteProvider::STR_NO_ROUTE_FOUND, false));
    EXPECT_FALSE(app.XrCommonDialogs_show_query_msg(XrRouteProvider::STR_ALLOW_TOLLROADS, true));
    app.show_route_status(3);
    app.show_route_status(1);
    EXPECT_EQ(app.queries, std::vector<std::string>({"note /r_str_msg_no_route_found",
                                                     "ask r_str_allow_tollroads_title/r_str_allow_tollroads",
                                                     "map GPS is not active yet 3000 1"}));
}

} // namespace
