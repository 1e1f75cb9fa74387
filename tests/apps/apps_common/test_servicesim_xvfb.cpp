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
    ServiceServer(const std::string& dir, const std::string& scenario, const std::vector<std::string>& extra = {})
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

class ServiceServerTest : public ::testing::Test {
public:
    static void SetUpTestSuite() { ASSERT_TRUE(xr_own_process_display()); }
    void start(const std::string& scenario, const std::vector<std::string>& extra = {})
    {
        root = std::make_unique<XrTempRoot>();
        server = std::make_unique<ServiceServer>(root->dir(), scenario, extra);
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

TEST_F(ServiceServerTest, AServerThatAnswersWithAnError)
{
    ASSERT_NO_FATAL_FAILURE(start("fail 100\n0 event 1 30.9975 -24.0 101 15 Jam\n"));
    expect_held_data_whole(*this);
}

} // namespace
