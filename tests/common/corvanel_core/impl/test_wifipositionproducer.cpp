// The Wi-Fi producer with shell scripts standing in for the outside helper.
#include "common/corvanel_core/impl/xr_wifipositionproducerwpsapi.h"
#include "common/corvanel_core/impl/fake_loop.h"
#include "common/os/main_loop_pump.h"
#include "common/os/xr_eventloop.h"
#include "support/xr_temp_root.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace {

class Listener : public XrPositionProducerListener {
public:
    void producer_state_changed(XrPositionProducer* p) override { statuses.push_back(p->get_status()); }
    void position_updated(XrPositionProducer* p, bool*) override
    {
        const XrPositionInfo& info = p->get_position_info();
        fixes.push_back(info.has_fix());
        last = info;
    }
    std::vector<int> statuses;
    std::vector<bool> fixes;
    XrPositionInfo last;
};

class WifiProducerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(loop.init()); }
    void TearDown() override
    {
        producer.reset();
        pump_for(50);
    }

    // The per-user settings file, in the home folder under the root.
    static std::string settings_path()
    {
        const char* home = std::getenv("HOME");
        return std::string(home != nullptr && *home == '/' ? home : "/home/user") + "/.kestrova/settings.txt";
    }
    void settings(const std::string& values)
    {
        root.write_file(settings_path(), "REGEDIT4\n\n[\\wpsapi]\n" + values);
    }
    // The helper: records its arguments and standard input, then runs body.
    void helper(const std::string& body)
    {
        const std::string path = root.write_file(
            "/usr/libexec/kestrova-wpsapi-helper",
            "#!/bin/sh\necho \"$@\" > \"$KESTROVA_ROOT/args\"\n"
            "head -n 1 > \"$KESTROVA_ROOT/request\"\n" + body);
        chmod(path.c_str(), 0755);
    }
    void start()
    {
        producer.reset(XrWifiPositionProducerWpsApi::create(&fsm, &loop));
        producer->add_listener(&listener);
        static_cast<XrPositionProducer*>(producer.get())->activate();
        pump_for(10);
        producer->connect();
    }
    std::string file(const std::string& name) { return XrTempRoot::read_file(root.dir() + name); }

    XrTempRoot root;
    XrEventLoop loop;
    XrFsm fsm;
    Listener listener;
    std::unique_ptr<XrWifiPositionProducerWpsApi> producer;
};

} // namespace

TEST_F(WifiProducerTest, FixRepliesBecomePositions)
{
    settings("username=\"alice\"\nrealm=\"example\"\n");
    helper("echo '+,60.17,24.94,0,5,12.5,270'\necho '-,3,busy'\necho '+,60.18,24.95,x,0,0,0'\nexec sleep 30\n");
    start();
    ASSERT_TRUE(pump_until([&] { return listener.fixes.size() == 2; }));
    EXPECT_EQ(file("/args"), "-u alice -r example\n");
    EXPECT_EQ(file("/request"), "p 1000 0\r\n");
    // Connected with the first reply, not at the start.
    EXPECT_EQ(listener.statuses, std::vector<int>{0});
    const XrPositionInfo& info = listener.last;
    EXPECT_EQ(info.get_coordinate(), XrCoordinate(24.95, 60.18));
    EXPECT_TRUE(info.has_fix());

    producer->disconnect();
    pump_for(10);
    EXPECT_FALSE(producer->is_open());
    // The shown fix is withdrawn, then status 1.
    EXPECT_EQ(listener.fixes, (std::vector<bool>{true, true, false}));
    EXPECT_EQ(listener.statuses, (std::vector<int>{0, 1}));
    ASSERT_TRUE(pump_until([&] { return producer->get_helper_pid() == -1; }));
}

TEST_F(WifiProducerTest, FirstFixCarriesItsSatellites)
{
    settings("username=\"a\"\nrealm=\"r\"\nserver_url=\"http://127.0.0.1:1/\"\n"
             "local_file_path=\"/tmp/wps\"\nlocation_period=\"250\"\n");
    helper("echo '+,60.17,24.94,0,5,12.5,270'\nexec sleep 30\n");
    start();
    ASSERT_TRUE(pump_until([&] { return listener.fixes.size() == 1; }));
    EXPECT_EQ(file("/args"), "-u a -r r -s http://127.0.0.1:1/ -l /tmp/wps\n");
    EXPECT_EQ(file("/request").substr(0, 9), "p 250 0\r\n");
    const XrPositionInfo& info = listener.last;
    EXPECT_EQ(info.get_coordinate(), XrCoordinate(24.94, 60.17));
    double v = 0;
    ASSERT_TRUE(info.get_velocity().get_value(v, XrVelocity::MetresPerSecond));
    EXPECT_EQ(v, 12.5);
    ASSERT_TRUE(info.get_heading().get_value(v, XrAngle::Degrees));
    EXPECT_EQ(v, 270);
    ASSERT_EQ(info.get_used_satellites().get_num_items(), 5);
    EXPECT_EQ(*info.get_used_satellites().get_item_ptr(4), 5);
    ASSERT_EQ(info.get_satellites_in_view().get_num_items(), 5);
    const XrSVData& sv = *info.get_satellites_in_view().get_item_ptr(4);
    EXPECT_EQ(sv.number, 5);
    EXPECT_EQ(sv.elevation, 40);
    EXPECT_EQ(sv.azimuth, 40);
    EXPECT_EQ(sv.snr, 50);
}

TEST_F(WifiProducerTest, MalformedFixRepliesMakeNoFix)
{
    settings("username=\"a\"\nrealm=\"r\"\nlocation_period=\"0\"\n");
    helper("echo '+,60.17,24.94,0,5'\n"              // fewer than six fields
           "echo '+,north,24.94,0,5,1,1'\n"           // latitude not a number
           "echo '+,60.17,24.94,0,100000000,1,1'\n"   // absurd satellite count
           "echo '+,95.0,24.94,0,5,1,1'\n"            // latitude above 90
           "echo '+,60.17,24.94,0,-1,1,1'\n"          // negative count
           "echo '-,5,still searching'\n"
           "echo '+,1.5,-2.5,0,0,0,0'\nexec sleep 30\n");
    start();
    ASSERT_TRUE(pump_until([&] { return listener.fixes.size() == 1; }));
    EXPECT_EQ(file("/request"), "p 1000 0\r\n");
    EXPECT_EQ(listener.last.get_coordinate(), XrCoordinate(-2.5, 1.5));
    EXPECT_EQ(listener.last.get_used_satellites().get_num_items(), 0);
    EXPECT_TRUE(producer->is_open());
}

TEST_F(WifiProducerTest, ErrorsAndEndsCloseTheConnection)
{
    settings("username=\"a\"\nrealm=\"r\"\n");
    const std::string endings[] = {
        "echo '-,2,no service'\nexec sleep 30\n",
        "echo '-,-1,bad'\nexec sleep 30\n",
        "echo '?,1'\nexec sleep 30\n",
        "echo '-,3,busy'\nexit 0\n",
        "printf '+%01100d\\n' 0\nexec sleep 30\n",
    };
    for (const std::string& body : endings) {
        helper(body);
        listener.statuses.clear();
        start();
        ASSERT_TRUE(pump_until([&] { return !listener.statuses.empty() && listener.statuses.back() == 1; })) << body;
        EXPECT_FALSE(producer->is_open());
        ASSERT_TRUE(pump_until([&] { return producer->get_helper_pid() == -1; })) << body;
        producer.reset();
    }
}

TEST_F(WifiProducerTest, HelperThatCannotStartNeverLooksConnected)
{
    settings("username=\"a\"\nrealm=\"r\"\n");
    // No helper installed: exec fails, and the request may meet a closed
    // pipe, which must not raise SIGPIPE.
    for (int i = 0; i < 5; ++i) {
        listener.statuses.clear();
        start();
        ASSERT_TRUE(pump_until([&] { return !listener.statuses.empty(); }));
        EXPECT_EQ(listener.statuses, std::vector<int>{1});
        EXPECT_FALSE(producer->is_open());
    }
}

TEST_F(WifiProducerTest, MissingSettingsStartNothing)
{
    helper("echo '+,1,1,0,0,0,0'\nexec sleep 30\n");
    for (const std::string& values : {std::string("realm=\"r\"\n"), std::string("username=\"a\"\n")}) {
        settings(values);
        start();
        pump_for(200);
        EXPECT_FALSE(producer->is_open());
        EXPECT_EQ(producer->get_helper_pid(), -1);
        EXPECT_TRUE(listener.statuses.empty());
    }
    unlink((root.dir() + settings_path()).c_str());
    start();
    pump_for(100);
    EXPECT_EQ(producer->get_helper_pid(), -1);
}

TEST_F(WifiProducerTest, DestroyingStopsTheHelper)
{
    settings("username=\"a\"\nrealm=\"r\"\n");
    helper("echo $$ > \"$KESTROVA_ROOT/pid\"\nwhile :; do echo '+,1,1,0,0,0,0'; sleep 0.01; done\n");
    start();
    ASSERT_TRUE(pump_until([&] { return listener.fixes.size() > 2; }));
    pid_t pid = -1;
    std::ifstream(root.dir() + "/pid") >> pid;
    ASSERT_GT(pid, 0);
    producer.reset();
    EXPECT_EQ(loop.get_child_handler_count(), 0);
    EXPECT_EQ(loop.get_timeout_count(), 0);
    ASSERT_TRUE(pump_until([&] { return kill(pid, 0) == -1; }));
}
