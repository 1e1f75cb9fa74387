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

namespace {

class TestApp : public XrNaviApp {
public:
    void create_position_provider() override {}
    void exit_application() override {}
};

std::string narrow(const XrString& s)
{
    const std::wstring w(s.c_str());
    return std::string(w.begin(), w.end());
}

class Listener : public XrServiceListener {
public:
    void service_result(int result, const TCHAR* text) override
    {
        results.push_back(std::to_string(result) + " " + narrow(XrString(text)));
    }
    std::vector<std::string> results;
};

// servicesim.py on a free loopback port, ended with the object.
class ServiceServer {
public:
    ServiceServer(const std::string& dir, const std::string& scenario, const std::vector<std::string>& extra)
    {
        const std::string scenario_path = dir + "/test.scenario";
        std::ofstream(scenario_path) << scenario;
        const std::string port_file = dir + "/port";
        std::vector<std::string> args = {"python3", XR_SERVICESIM,    XR_SERVICESIM_ANSWER, scenario_path,
                                         dir + "/state", "--port-file", port_file};
        args.insert(args.end(), extra.begin(), extra.end());
        pid = fork();
        if (pid == 0) {
            std::vector<char*> argv;
            for (std::string& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        for (int i = 0; i < 200 && port == 0; ++i) {
            std::ifstream in(port_file);
            in >> port;
            if (port == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    ~ServiceServer()
    {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
    int port = 0;

private:
    pid_t pid = -1;
};

class TrafficJamTest : public ::testing::Test {
public:
    static void SetUpTestSuite() { ASSERT_TRUE(xr_own_process_display()); }
    void start(const std::string& scenario)
    {
        root = std::make_unique<XrTempRoot>();
        server = std::make_unique<ServiceServer>(
            root->dir(), scenario,
            std::vector<std::string>{"--map", XrTempRoot::stage_dir() + "/usr/share/kestrova/atlantis"});
        ASSERT_NE(server->port, 0);
        xr_install_demo_card(*root);
        app = std::make_unique<TestApp>();
        ASSERT_TRUE(app->construct());
        settings = xr_registered<XrAppSettingsProvider>(L"XrAppSettingsProvider");
        settings->set_server_address(XrString(L"127.0.0.1"));
        settings->set_server_port(server->port);
        aggregate = app->get_service_aggregate();
        ASSERT_NE(aggregate, nullptr);
        traffic = static_cast<XrTrafficService*>(aggregate->find_service(XrService::TYPE_TRAFFIC));
        ASSERT_NE(traffic, nullptr);
        settings->set_traffic_enabled(true);
        settings->set_update_interval(0); // no refresh of its own during the test
        settings->set_routing_option(true);
        // The shipped default penalty map, where start-up puts it.
        std::filesystem::copy(XrTempRoot::stage_dir() + "/usr/share/kestrova/penaltymap_DEFAULT.txt",
                              root->dir() + "/media/mmc2/map/kestrova/penaltymap_DEFAULT.txt");
        traffic->settings_changed();
        ASSERT_FALSE(traffic->get_countries().empty());
        code = traffic->get_countries()[0]->code;
    }
    void TearDown() override
    {
        app.reset();
        server.reset();
        root.reset();
    }
    bool wait_for_result(Listener& listener, int seconds)
    {
        return xr_run_loop_until([&] { return !listener.results.empty(); }, seconds);
    }

    std::unique_ptr<XrTempRoot> root;
    std::unique_ptr<ServiceServer> server;
    std::unique_ptr<TestApp> app;
    XrAppSettingsProvider* settings = nullptr;
    XrServiceAggregate* aggregate = nullptr;
    XrTrafficService* traffic = nullptr;
    XrString code;
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
