// The navigator's services against the loopback service server
// (tools/servicesim) on the demo card: the server process, a listener that
// records results, and a fixture that starts both and enables traffic.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "apps/apps_common/xr_naviapp.h"
#include "apps/apps_common/xr_serviceaggregate.h"
#include "apps/maemo_map/navigator_run.h"
#include "apps/services/xr_trafficservice.h"
#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/corvanel_core/interfaces/xr_appsettingsprovider.h"
#include "support/xr_temp_root.h"

#include "service_test_support.h"

namespace servicesim_fixture {

using service_test::Listener;
using service_test::narrow;
using service_test::TestApp;

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

class ServiceSimTest : public ::testing::Test {
public:
    static void SetUpTestSuite() { ASSERT_TRUE(xr_own_process_display()); }
    // prepare runs after traffic is enabled and before its countries are
    // set up from the settings.
    void start(const std::string& scenario, const std::vector<std::string>& extra = {},
               const std::function<void()>& prepare = {})
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
        if (prepare)
            prepare();
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

} // namespace servicesim_fixture
