// The gpsd producer with the real kestrova-gpsd-helper against a real gpsd
// fed by gpsfake on a private loopback port, with a private D-Bus system bus.
#include "common/corvanel_core/impl/xr_gpsdpositionproducerimpl.h"
#include "common/corvanel_core/impl/fake_loop.h"
#include "common/corvanel_core/impl/nmea_text.h"
#include "common/corvanel_core/impl/position_doubles.h"
#include "common/corvanel_core/impl/xr_positionproviderimpl.h"
#include "common/os/main_loop_pump.h"
#include "common/os/xr_eventloop.h"
#include "launcher/xr_helper_test_support.h"
#include "support/xr_temp_root.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>

using namespace xr_test;
using Clock = std::chrono::steady_clock;

namespace {

int free_tcp_port()
{
    const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof(addr);
    bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
    getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
    close(s);
    return ntohs(addr.sin_port);
}

bool can_connect(int family, const void* addr, socklen_t len)
{
    const int s = socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool ok = connect(s, static_cast<const sockaddr*>(addr), len) == 0;
    close(s);
    return ok;
}

bool tcp_open(int port)
{
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    return can_connect(AF_INET, &addr, sizeof(addr));
}

// One "$GPRMC" per epoch, driving north at 10 m/s from 60.2 N 24.9 E.
std::string rmc_log(int epochs)
{
    std::string out;
    for (int i = 0; i < epochs; ++i) {
        char body[128];
        const double minutes = 12.0 + i * 10.0 / 1852.0;
        std::snprintf(body, sizeof(body), "GPRMC,14%02d%02d.00,A,60%07.4f,N,02454.0000,E,19.438,0.0,101226,,,A", i / 60,
                      i % 60, minutes);
        out += nmea_text::sentence(body);
    }
    return out;
}

class RealGpsdTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = root.make_dirs("/tmp");
        // A private system bus for the helper (and gpsd).
        const std::string socket_path = dir + "/bus";
        std::ofstream(dir + "/bus.conf")
            << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
               " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
               "<busconfig><type>system</type><listen>unix:path="
            << socket_path
            << "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow user=\"*\"/>"
               "<allow own=\"*\"/><allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
               "</policy></busconfig>\n";
        const int log = open((dir + "/daemons.log").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        ASSERT_TRUE(bus.start(dies_with_test({"dbus-daemon", "--config-file=" + dir + "/bus.conf", "--nofork",
                                              "--nopidfile", "--nosyslog"}),
                              {}, -1, log, log));
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        socket_path.copy(addr.sun_path, sizeof(addr.sun_path) - 1);
        ASSERT_TRUE(wait_for([&] { return can_connect(AF_UNIX, &addr, sizeof(addr)); }));
        setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + socket_path).c_str(), 1);

        // gpsfake: one sentence every `cycle` seconds, over and over.
        port = free_tcp_port();
        std::ofstream(dir + "/track.nmea") << rmc_log(40);
        static const bool ipc_namespace = Process::run_ok({"unshare", "--ipc", "true"});
        std::vector<std::string> argv;
        if (ipc_namespace)
            argv = {"unshare", "--ipc"};
        for (const char* a : {"gpsfake", "-q", "-P"})
            argv.push_back(a);
        argv.push_back(std::to_string(port));
        argv.push_back("-c");
        argv.push_back("3.5");
        argv.push_back(dir + "/track.nmea");
        ASSERT_TRUE(gpsfake.start(dies_with_test(argv), {}, -1, log, log, true));
        close(log);
        ASSERT_TRUE(wait_for([&] { return tcp_open(port); }, 20s));
        setenv("KESTROVA_GPSD_PORT", std::to_string(port).c_str(), 1);

        // The real helper where the producer looks for it.
        root.make_dirs("/usr/libexec");
        std::filesystem::create_symlink(XR_GPSD_HELPER_PROGRAM, root.dir() + "/usr/libexec/kestrova-gpsd-helper");
        ASSERT_TRUE(loop.init());
    }

    void TearDown() override
    {
        unsetenv("KESTROVA_GPSD_PORT");
        unsetenv("KESTROVA_GPSBT_START");
        unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
        // gpsfake runs gpsd in its own process group.
        if (gpsfake.running())
            ::kill(-gpsfake.pid(), SIGTERM);
        gpsfake.wait(5s);
    }

    XrTempRoot root;
    std::string dir;
    Process bus;
    Process gpsfake;
    int port = 0;
    XrEventLoop loop;
    XrFsm fsm;
    FakeMap map;
    FakeLoop timers;
    FakeApplication app{&timers};
    FakeSettings settings;
};

class TimedListener : public XrPositionProviderListener {
public:
    void producers_changed() override {}
    void provider_state_changed() override {}
    void provider_position_changed(bool*) override { times.push_back(Clock::now()); }
    std::vector<Clock::time_point> times;
};

} // namespace

TEST_F(RealGpsdTest, FixesArriveAndDeadReckoningEndsThreeSecondsAfterTheLastLine)
{
    XrPositionProviderImpl provider;
    auto* producer = XrGpsdPositionProducerImpl::create(&fsm, &loop);
    provider.add_producer(producer, XrString("GPSD"));
    provider.initialize();
    TimedListener listener;
    provider.add_listener(&listener);
    provider.connect();
    ASSERT_TRUE(pump_until([&] { return !listener.times.empty(); }, 20000));
    EXPECT_TRUE(provider.is_connected());
    XrPositionInfo& info = provider.get_position_info();
    EXPECT_TRUE(info.has_fix());
    EXPECT_NEAR(info.get_coordinate().get_latitude(), 60.2, 0.01);
    EXPECT_NEAR(info.get_coordinate().get_longitude(), 24.9, 1e-6);

    // Lines come every 3.5 s: bursts of 200 ms steps that end after 3 s.
    pump_for(8000);
    std::vector<double> gaps;
    for (size_t i = 1; i < listener.times.size(); ++i)
        gaps.push_back(std::chrono::duration<double, std::milli>(listener.times[i] - listener.times[i - 1]).count());
    ASSERT_GE(gaps.size(), 20u);
    const size_t quiet = std::count_if(gaps.begin(), gaps.end(), [](double g) { return g > 350; });
    EXPECT_GE(quiet, 1u);
    EXPECT_LE(quiet, 3u);
    std::vector<double> steps(gaps);
    std::sort(steps.begin(), steps.end());
    EXPECT_NEAR(steps[steps.size() / 2], 200, 60);
    // Each quiet gap lasts about 0.5 s: 3.5 s between lines less the 3 s of steps.
    for (double g : gaps) {
        if (g > 350) {
            EXPECT_GT(g, 300);
            EXPECT_LT(g, 1200);
        }
    }
}

TEST_F(RealGpsdTest, HelperThatDiesIsRestartedByTheRetryTimer)
{
    XrPositionProviderImpl provider;
    auto* producer = XrGpsdPositionProducerImpl::create(&fsm, &loop);
    provider.add_producer(producer, XrString("GPSD"));
    provider.initialize();
    // The first attempt 5 s after the start.
    ASSERT_EQ(timers.fire(&provider, nullptr), 5000);
    ASSERT_TRUE(pump_until([&] { return producer->get_status() == 0; }, 20000));
    const pid_t first = producer->get_helper_pid();
    ASSERT_GT(first, 0);
    ::kill(first, SIGKILL);
    ASSERT_TRUE(pump_until([&] { return producer->get_status() == 1; }));
    // Then every 30 s.
    ASSERT_EQ(timers.timeouts.size(), 1u);
    EXPECT_EQ(timers.fire(&provider, nullptr), 30000);
    ASSERT_TRUE(pump_until([&] { return producer->get_status() == 0; }, 20000));
    EXPECT_NE(producer->get_helper_pid(), first);
    EXPECT_TRUE(provider.is_connect_enabled());
}

TEST_F(RealGpsdTest, CancelledReceiverChoiceStopsTheRetries)
{
    setenv("KESTROVA_GPSBT_START", "cancel", 1);
    XrPositionProviderImpl provider;
    XrSingleton::set_instance(XrString("XrPositionProvider"), &provider);
    auto* producer = XrGpsdPositionProducerImpl::create(&fsm, &loop);
    provider.add_producer(producer, XrString("GPSD"));
    provider.initialize();
    provider.connect();
    const bool stopped = pump_until([&] { return !provider.is_connect_enabled(); }, 10000);
    XrSingleton::set_instance(XrString("XrPositionProvider"), nullptr);
    ASSERT_TRUE(stopped);
    ASSERT_TRUE(pump_until([&] { return producer->get_helper_pid() == -1 && !producer->is_reading(); }));
    EXPECT_EQ(producer->get_status(), 1);
    EXPECT_TRUE(timers.timeouts.empty());
}
