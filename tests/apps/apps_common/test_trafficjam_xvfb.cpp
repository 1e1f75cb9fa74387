// Traffic from the loopback service server on the demo map: a jam placed on
// a road comes as TMC locations, which the program resolves onto the road
// graph: the road is marked, the event has its object on the map and a
// route search gets the road's penalty.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "apps/apps_common/xr_naviapp.h"
#include "apps/apps_common/xr_serviceaggregate.h"
#include "apps/maemo_map/navigator_run.h"
#include "apps/services/xr_speedcamservice.h"
#include "apps/services/xr_trafficservice.h"
#include "common/graph/xr_dijkstrapath.h"
#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/corvanel_core/interfaces/xr_appsettingsprovider.h"
#include "common/corvanel_core/interfaces/xr_mapsettingsprovider.h"
#include "common/misc/xr_msgids.h"
#include "support/xr_temp_root.h"

#include "servicesim_fixture.h"

namespace {

using namespace servicesim_fixture;

class TrafficJamTest : public ServiceSimTest {
public:
    // Jams lie on the demo map's roads; route searches use traffic, with the
    // shipped default penalty map where start-up puts it.
    void start(const std::string& scenario)
    {
        ServiceSimTest::start(
            scenario, std::vector<std::string>{"--map", XrTempRoot::stage_dir() + "/usr/share/kestrova/atlantis"},
            [this] {
                settings->set_routing_option(true);
                std::filesystem::copy(XrTempRoot::stage_dir() + "/usr/share/kestrova/penaltymap_DEFAULT.txt",
                                      root->dir() + "/media/mmc2/map/kestrova/penaltymap_DEFAULT.txt");
            });
    }
};

TEST_F(TrafficJamTest, AJamOnARoadMarksItAndPlacesItsIcon)
{
    ASSERT_NO_FATAL_FAILURE(start("0 jam 1 30.9975 -24.0 101 15 Stationary traffic\n"
                                  "0 event 2 30.99 -24.01 101 0 Roadworks\n"));
    Listener listener;
    aggregate->call_service(XrService::TYPE_TRAFFIC, nullptr, nullptr, &listener);
    ASSERT_TRUE(wait_for_result(listener, 20));
    EXPECT_EQ(listener.results, std::vector<std::string>{"0 " + narrow(XrString(R_STR_UPDATE_SUCCESSFUL))});
    XrTrafficService::Country* country = traffic->find_country(code);
    ASSERT_NE(country, nullptr);
    // The jam each way the road is driven, and the coordinate event.
    ASSERT_GE(country->events.size(), 2u);
    const auto jam = country->events.find(1);
    ASSERT_NE(jam, country->events.end());
    ASSERT_FALSE(jam->second->edges.empty());
    EXPECT_NE(jam->second->x, 0);
    for (std::uint32_t edge : jam->second->edges)
        EXPECT_NE(aggregate->get_road_mark(edge & 0x7FFFFFFFu), 0) << edge;
    EXPECT_NE(jam->second->penalty_code, 0);
    // Every event has its object; the coordinate event marks no road.
    EXPECT_EQ(aggregate->get_event_object_count(), static_cast<int>(country->events.size()));
    EXPECT_TRUE(country->events.at(2)->edges.empty());
}

TEST_F(TrafficJamTest, AnEndedJamLeavesTheRoadsAndTheMap)
{
    ASSERT_NO_FATAL_FAILURE(start("0 jam 1 30.9975 -24.0 101 15 Stationary traffic\n3 expire 1\n"));
    Listener listener;
    aggregate->call_service(XrService::TYPE_TRAFFIC, nullptr, nullptr, &listener);
    ASSERT_TRUE(wait_for_result(listener, 20));
    XrTrafficService::Country* country = traffic->find_country(code);
    const auto jam = country->events.find(1);
    ASSERT_NE(jam, country->events.end());
    ASSERT_NE(jam->second->end_time, 0u);
    const std::vector<std::uint32_t> edges = jam->second->edges;
    ASSERT_FALSE(edges.empty());
    ASSERT_GT(aggregate->get_event_object_count(), 0);

    // The housekeeping timer after the end time.
    std::this_thread::sleep_for(std::chrono::seconds(4));
    traffic->execute(nullptr, reinterpret_cast<void*>(static_cast<std::intptr_t>(XrTrafficService::TIMER_HOUSEKEEPING)));
    EXPECT_TRUE(country->events.empty());
    EXPECT_EQ(aggregate->get_event_object_count(), 0);
    for (std::uint32_t edge : edges)
        EXPECT_EQ(aggregate->get_road_mark(edge & 0x7FFFFFFFu), 0) << edge;
    EXPECT_EQ(traffic->count_events(nullptr), 0);
}

} // namespace
