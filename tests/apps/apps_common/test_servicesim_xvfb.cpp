// The program's online services against the loopback service server
// (tools/servicesim): traffic data and the speed-camera database fetched
// through the service channel, and a server that stops answering.
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
#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/corvanel_core/interfaces/xr_appsettingsprovider.h"
#include "common/corvanel_core/interfaces/xr_mapsettingsprovider.h"
#include "common/misc/xr_msgids.h"
#include "support/xr_temp_root.h"

#include "servicesim_fixture.h"

namespace {

using namespace servicesim_fixture;

using ServiceServerTest = ServiceSimTest;

TEST_F(ServiceServerTest, TrafficAndCamerasComeFromTheServer)
{
    ASSERT_NO_FATAL_FAILURE(start("0 event 1 30.9975 -24.0 101 15 Stationary traffic\n"
                                  "0 event 2 30.99 -24.01 101 0 Roadworks\n0 camera 30.9985 -24.0\n"));
    Listener listener;
    aggregate->call_service(XrService::TYPE_TRAFFIC, nullptr, nullptr, &listener);
    ASSERT_TRUE(wait_for_result(listener, 20));
    EXPECT_EQ(listener.results, std::vector<std::string>{"0 " + narrow(XrString(R_STR_UPDATE_SUCCESSFUL))});
    XrTrafficInfoFile* file = traffic->find_country(code)->file.get();
    ASSERT_EQ(file->get_event_count(), 2);
    XrTrafficInfoParams* jam = file->get_record(1, true);
    ASSERT_NE(jam, nullptr);
    EXPECT_EQ(jam->name, XrString(L"Stationary traffic"));
    EXPECT_EQ(traffic->get_status_value(), XrTrafficService::STATUS_CURRENT);
    // Asked again, the version held is the server's.
    Listener second;
    aggregate->call_service(XrService::TYPE_TRAFFIC, nullptr, nullptr, &second);
    ASSERT_TRUE(wait_for_result(second, 20));
    EXPECT_EQ(second.results, std::vector<std::string>{"0 " + narrow(XrString(R_STR_DATABASE_IS_UPTODATE))});

    Listener cameras;
    aggregate->call_service(XrService::TYPE_SPEEDCAM, nullptr, nullptr, &cameras);
    ASSERT_TRUE(wait_for_result(cameras, 20));
    EXPECT_EQ(cameras.results, std::vector<std::string>{"0 " + narrow(XrString(R_STR_UPDATE_SUCCESSFUL))});
    auto* cam = static_cast<XrSpeedCamService*>(aggregate->find_service(XrService::TYPE_SPEEDCAM));
    EXPECT_TRUE(cam->is_installed());
    Listener again;
    aggregate->call_service(XrService::TYPE_SPEEDCAM, nullptr, nullptr, &again);
    ASSERT_TRUE(wait_for_result(again, 20));
    EXPECT_EQ(again.results, std::vector<std::string>{"0 " + narrow(XrString(R_STR_DATABASE_IS_UPTODATE))});
}

// Each hostile server: the exchange ends as failed for the listener, the
// round ends, no data is taken and no camera database installed. (One card
// a process: the card root is found once.)
void expect_held_data_whole(ServiceServerTest& t)
{
    t.aggregate->get_channel()->set_timeout(2);
    Listener listener;
    t.aggregate->call_service(XrService::TYPE_TRAFFIC, nullptr, nullptr, &listener);
    ASSERT_TRUE(t.wait_for_result(listener, 30));
    EXPECT_EQ(listener.results[0][0], '1');
    EXPECT_FALSE(t.traffic->is_request_in_flight());
    EXPECT_EQ(t.traffic->queued_requests(), 0u);
    EXPECT_EQ(t.traffic->find_country(t.code)->file->get_event_count(), 0);
    Listener cameras;
    t.aggregate->call_service(XrService::TYPE_SPEEDCAM, nullptr, nullptr, &cameras);
    ASSERT_TRUE(t.wait_for_result(cameras, 30));
    EXPECT_EQ(cameras.results[0][0], '1');
    EXPECT_FALSE(static_cast<XrSpeedCamService*>(t.aggregate->find_service(XrService::TYPE_SPEEDCAM))->is_installed());
}

TEST_F(ServiceServerTest, AServerThatStopsAnsweringMidExchange)
{
    ASSERT_NO_FATAL_FAILURE(start("0 event 1 30.9975 -24.0 101 15 Jam\n", {"--stall-after", "0"}));
    expect_held_data_whole(*this);
}

TEST_F(ServiceServerTest, AServerThatSendsAByteAtATimeForEver)
{
    // One byte a second re-arms the 2 s inactivity time-out each time; the
    // overall deadline ends each exchange.
    ASSERT_NO_FATAL_FAILURE(start("0 event 1 30.9975 -24.0 101 15 Jam\n", {"--trickle"}));
    expect_held_data_whole(*this);
}

TEST_F(ServiceServerTest, AServerThatAnswersWithAnError)
{
    ASSERT_NO_FATAL_FAILURE(start("fail 100\n0 event 1 30.9975 -24.0 101 15 Jam\n"));
    expect_held_data_whole(*this);
}

} // namespace
