// The gpsd producer with helper scripts standing in for kestrova-gpsd-helper.
#include "common/corvanel_core/impl/xr_gpsdpositionproducerimpl.h"
#include "common/corvanel_core/impl/fake_loop.h"
#include "common/corvanel_core/impl/nmea_track.h"
#include "common/corvanel_core/impl/position_doubles.h"
#include "common/corvanel_core/impl/xr_positionproviderimpl.h"
#include "common/os/main_loop_pump.h"
#include "common/os/xr_eventloop.h"
#include "support/xr_temp_root.h"

#include <gtest/gtest.h>

#include <csignal>

namespace {

// Helper programs are real processes: give them time on a loaded machine.
template <typename Done>
bool wait_for_helper(Done done)
{
    return pump_until(done, 30000);
}

} // namespace
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

class Listener : public XrPositionProducerListener {
public:
    void producer_state_changed(XrPositionProducer* p) override { statuses.push_back(p->get_status()); }
    void position_updated(XrPositionProducer* p, bool*) override
    {
        ++positions;
        fix = p->get_position_info().has_fix();
    }
    std::vector<int> statuses;
    int positions = 0;
    bool fix = false;
};

class GpsdProducerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(loop.init()); }
    void TearDown() override
    {
        producer.reset();
        pump_for(50);
    }

    // Installs the helper as a shell script.
    void helper(const std::string& body)
    {
        const std::string path = root.write_file("/usr/libexec/kestrova-gpsd-helper", "#!/bin/sh\n" + body);
        chmod(path.c_str(), 0755);
    }
    void make()
    {
        producer.reset(XrGpsdPositionProducerImpl::create(&fsm, &loop));
        producer->add_listener(&listener);
        as_producer()->activate();
    }
    XrPositionProducer* as_producer() { return producer.get(); }
    // The pid in the file the helper script wrote, once it is there.
    pid_t written_pid(const std::string& name)
    {
        pid_t pid = -1;
        wait_for_helper([&] {
            std::ifstream in(root.dir() + name);
            return static_cast<bool>(in >> pid);
        });
        return pid;
    }

    XrTempRoot root;
    XrEventLoop loop;
    XrFsm fsm;
    FakeMap map;
    Listener listener;
    std::unique_ptr<XrGpsdPositionProducerImpl> producer;
};

const std::string kTwoEpochs = nmea_track::epoch(0) + nmea_track::epoch(1);

} // namespace

TEST_F(GpsdProducerTest, ReadsTheHelpersLinesAndDeadReckonsBetweenThem)
{
    std::ofstream(root.dir() + "/track.nmea") << kTwoEpochs;
    helper("cat \"$KESTROVA_ROOT/track.nmea\"\nexec sleep 30\n");
    make();
    EXPECT_EQ(producer->get_status(), 1);
    producer->connect();
    ASSERT_TRUE(wait_for_helper([&] { return listener.positions >= 3; }));
    EXPECT_EQ(listener.statuses, std::vector<int>{0});
    EXPECT_TRUE(listener.fix);
    const XrPositionInfo& info = producer->get_position_info();
    EXPECT_EQ(info.get_used_satellites().get_num_items(), 8);
    EXPECT_EQ(info.get_satellites_in_view().get_num_items(), 10);
    EXPECT_NEAR(info.get_coordinate().get_latitude(), nmea_track::lat_at(1), 2e-4);

    // Steps every 200 ms end 3 s after the last line.
    const int before = listener.positions;
    pump_for(3600);
    const int steps = listener.positions - before;
    EXPECT_GE(steps, 12);
    EXPECT_LE(steps, 16);
    EXPECT_FALSE(producer->is_extrapolation_pending());

    // Disconnecting stops the helper and reports status 1 once.
    const pid_t pid = producer->get_helper_pid();
    ASSERT_GT(pid, 0);
    producer->disconnect();
    EXPECT_FALSE(producer->is_reading());
    EXPECT_EQ(listener.statuses, (std::vector<int>{0, 1}));
    ASSERT_TRUE(wait_for_helper([&] { return producer->get_helper_pid() == -1; }));
    EXPECT_EQ(kill(pid, 0), -1);
}

TEST_F(GpsdProducerTest, ReconnectingStartsOneHelperAtATime)
{
    helper("echo $$ >> \"$KESTROVA_ROOT/pids\"\nexec sleep 30\n");
    make();
    producer->connect();
    const pid_t first = written_pid("/pids");
    ASSERT_GT(first, 0);
    producer->disconnect();
    producer->reconnect();
    ASSERT_TRUE(wait_for_helper([&] { return kill(first, 0) == -1; }));
    wait_for_helper([&] {
        std::ifstream in(root.dir() + "/pids");
        int n = 0;
        for (pid_t p; in >> p;)
            ++n;
        return n == 2;
    });
    // Only the second one runs.
    std::ifstream in(root.dir() + "/pids");
    pid_t a = 0, b = 0;
    in >> a >> b;
    EXPECT_EQ(a, first);
    EXPECT_EQ(producer->get_helper_pid(), b);
    EXPECT_EQ(kill(b, 0), 0);
}

TEST_F(GpsdProducerTest, HelperThatEndsBringsStatusOneAndCancelStopsTheRetries)
{
    helper("cat \"$KESTROVA_ROOT/track.nmea\"\nexit 42\n");
    std::ofstream(root.dir() + "/track.nmea") << kTwoEpochs;
    FakeLoop timers;
    FakeApplication app(&timers);
    FakeSettings settings;
    XrPositionProviderImpl provider;
    XrSingleton::set_instance(XrString("XrPositionProvider"), &provider);
    auto* p = XrGpsdPositionProducerImpl::create(&fsm, &loop);
    provider.add_producer(p, XrString("GPSD"));
    provider.initialize();
    EXPECT_EQ(timers.pending(&provider, nullptr), 1); // first retry in 5 s
    p->add_listener(&listener);
    provider.connect();
    ASSERT_TRUE(wait_for_helper([&] { return listener.statuses.size() == 2 && p->get_helper_pid() == -1; }));
    EXPECT_EQ(listener.statuses, (std::vector<int>{0, 1}));
    EXPECT_FALSE(provider.is_connect_enabled());
    EXPECT_EQ(timers.pending(&provider, nullptr), 0);
    XrSingleton::set_instance(XrString("XrPositionProvider"), nullptr);
}

TEST_F(GpsdProducerTest, HelperThatDiesIsRetriedInThirtySeconds)
{
    helper("cat \"$KESTROVA_ROOT/track.nmea\"\nexit 3\n");
    std::ofstream(root.dir() + "/track.nmea") << kTwoEpochs;
    FakeLoop timers;
    FakeApplication app(&timers);
    FakeSettings settings;
    XrPositionProviderImpl provider;
    auto* p = XrGpsdPositionProducerImpl::create(&fsm, &loop);
    provider.add_producer(p, XrString("GPSD"));
    provider.initialize();
    p->add_listener(&listener);
    ASSERT_EQ(timers.fire(&provider, nullptr), 5000);
    ASSERT_TRUE(wait_for_helper([&] { return listener.statuses.size() == 2; }));
    ASSERT_EQ(timers.timeouts.size(), 1u);
    EXPECT_EQ(timers.fire(&provider, nullptr), 30000);
    ASSERT_TRUE(wait_for_helper([&] { return listener.statuses.size() == 4; }));
    EXPECT_EQ(listener.statuses, (std::vector<int>{0, 1, 0, 1}));
    EXPECT_TRUE(provider.is_connect_enabled());
}

TEST_F(GpsdProducerTest, OverlongLineEndsTheConnection)
{
    helper("printf '%s\\n' \"$(head -c 1023 /dev/zero | tr '\\0' 'x')\"\n"
           "printf '%01100d\\n' 0\nexec sleep 30\n");
    make();
    producer->connect();
    ASSERT_TRUE(wait_for_helper([&] { return listener.statuses.size() == 2; }));
    EXPECT_EQ(listener.statuses, (std::vector<int>{0, 1}));
    EXPECT_FALSE(producer->is_reading());
    // The helper is told to go.
    ASSERT_TRUE(wait_for_helper([&] { return producer->get_helper_pid() == -1; }));
}

TEST_F(GpsdProducerTest, MissingHelperNeverConnects)
{
    make();
    producer->connect();
    ASSERT_TRUE(wait_for_helper([&] { return !producer->is_reading(); }));
    ASSERT_TRUE(wait_for_helper([&] { return producer->get_helper_pid() == -1; }));
    EXPECT_EQ(producer->get_status(), 1);
    EXPECT_EQ(listener.positions, 0);
    // Connected is only what delivered data.
    EXPECT_TRUE(listener.statuses.empty());
}

TEST_F(GpsdProducerTest, ConnectAndDisconnectPendingTogetherStartsTheHelper)
{
    helper("cat \"$KESTROVA_ROOT/track.nmea\"\nexec sleep 30\n");
    std::ofstream(root.dir() + "/track.nmea") << kTwoEpochs;
    make();
    // Inside a running scheduler the requests only queue up.
    struct Requester : XrFsmThread {
        Requester(XrFsm* f, XrGpsdPositionProducerImpl* p_) : XrFsmThread(f), p(p_) {}
        XrFsmResult step() override
        {
            p->disconnect();
            p->connect();
            return XR_FSM_FINISH;
        }
        XrGpsdPositionProducerImpl* p;
    } requester(&fsm, producer.get());
    requester.activate();
    fsm.run();
    ASSERT_TRUE(wait_for_helper([&] { return producer->get_status() == 0; }));
}

TEST_F(GpsdProducerTest, DestroyingWhileTheHelperWritesLeavesNothingBehind)
{
    helper("echo $$ > \"$KESTROVA_ROOT/pid\"\nwhile :; do cat \"$KESTROVA_ROOT/track.nmea\"; sleep 0.01; done\n");
    std::ofstream(root.dir() + "/track.nmea") << kTwoEpochs;
    make();
    producer->connect();
    ASSERT_TRUE(wait_for_helper([&] { return listener.positions > 2; }));
    const pid_t pid = written_pid("/pid");
    const int children = loop.get_child_handler_count();
    EXPECT_GE(children, 1);
    producer.reset();
    EXPECT_EQ(loop.get_child_handler_count(), children - 1);
    EXPECT_EQ(loop.get_timeout_count(), 0);
    // The shell goes with SIGTERM; nothing calls into the deleted producer.
    ASSERT_TRUE(wait_for_helper([&] { return kill(pid, 0) == -1; }));
    pump_for(100);
}
