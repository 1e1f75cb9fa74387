// The Internet-access object on the libconic stand-in: access points coming
// up, reuse, delayed disconnects, failures, the application's choice, the
// platform's list and the proxy.
#include "common/os/main_loop_pump.h"
#include "common/os/xr_eventloop.h"
#include "common/os/xr_inet.h"
#include "common/os/xr_inetconfiglistener.h"
#include "platform/conic/conic.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

std::string narrow(const XrString& s)
{
    return wide_to_narrow_static(s.c_str());
}

// "event:id" for every event.
class Listener : public XrIapListener {
public:
    void iap_event(int event, XrIap* iap) override
    {
        events.push_back(std::to_string(event) + ":" + (iap != nullptr ? narrow(iap->get_id()) : "-"));
        if (on_event)
            on_event(event);
    }
    std::vector<std::string> events;
    std::function<void(int)> on_event;
};

class Config : public XrInetConfigListener {
public:
    int choose_iap(XrString& name, XrString& id) override
    {
        if (!choose)
            return 0;
        name = XrString(chosen_name.c_str());
        id = XrString(chosen_id.c_str());
        return 1;
    }
    void iap_state_changed(int event, XrIap*) override { events.push_back(event); }
    bool choose = false;
    std::string chosen_name;
    std::string chosen_id;
    std::vector<int> events;
};

using Events = std::vector<std::string>;

class InetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        con_ic_standin_reset();
        unsetenv("http_proxy");
        ASSERT_TRUE(XrInet::create_inet(&loop));
        XrInet::set_inet_listener(&config);
    }
    void TearDown() override
    {
        XrInet::destroy_inet();
        EXPECT_FALSE(XrInet::has_inet());
        pump_pending();
        con_ic_standin_reset();
        unsetenv("http_proxy");
    }

    XrEventLoop loop;
    Config config;
};

} // namespace

TEST_F(InetTest, AccessPointComesUpAndIsShared)
{
    Listener a, b;
    XrInet::connect(&a, XrString());
    EXPECT_TRUE(a.events.empty()); // the platform answers on the main loop
    EXPECT_EQ(config.events, std::vector<int>({0}));
    ASSERT_TRUE(pump_until([&] { return !a.events.empty(); }));
    EXPECT_EQ(a.events, Events({"1:standin-iap"}));
    EXPECT_EQ(XrInet::get_iap_state(XrString("standin-iap")), XrIap::state_connected);
    ASSERT_NE(XrInet::find_iap(XrString("standin-iap")), nullptr);
    EXPECT_EQ(XrInet::find_iap(XrString("other")), nullptr);
    EXPECT_EQ(XrInet::get_iap_state(XrString("other")), XrIap::state_none);

    // A second connect of a connected access point is told at once, and so
    // is every listener already on it.
    XrInet::connect(&b, XrString());
    EXPECT_EQ(b.events, Events({"1:standin-iap"}));
    EXPECT_EQ(a.events, Events({"1:standin-iap", "1:standin-iap"}));
    EXPECT_EQ(con_ic_standin_connect_count(), 1u);
    EXPECT_EQ(XrInet::get_inet()->get_in_use_count(), 1);

    // The platform drops the link.
    con_ic_standin_drop_link();
    EXPECT_EQ(a.events.back(), "2:standin-iap");
    EXPECT_EQ(b.events.back(), "2:standin-iap");
    EXPECT_EQ(XrInet::get_iap_state(XrString("standin-iap")), XrIap::state_none);
    EXPECT_EQ(config.events, std::vector<int>({0, 1, 1, 2}));
}

TEST_F(InetTest, ReleasedAccessPointStaysWithoutDelay)
{
    Listener a;
    XrInet::connect(&a, XrString());
    ASSERT_TRUE(pump_until([&] { return !a.events.empty(); }));
    XrInet::release(&a);
    pump_for(50);
    EXPECT_EQ(XrInet::get_inet()->get_in_use_count(), 1);
    EXPECT_EQ(XrInet::get_iap_state(XrString("standin-iap")), XrIap::state_connected);
    EXPECT_EQ(con_ic_standin_disconnect_count(), 0u);
}

TEST_F(InetTest, DelayedDisconnectReusesTheAccessPointWithinTheDelay)
{
    XrInet::set_disconnect_delay(1);
    Listener a;
    XrInet::connect(&a, XrString());
    ASSERT_TRUE(pump_until([&] { return !a.events.empty(); }));
    XrInet::release(&a);
    EXPECT_EQ(XrInet::get_inet()->get_waiting_count(), 1);
    EXPECT_EQ(XrInet::get_inet()->get_in_use_count(), 0);

    // Back within the delay: no new platform call.
    Listener b;
    XrInet::connect(&b, XrString());
    EXPECT_EQ(b.events, Events({"1:standin-iap"}));
    EXPECT_EQ(XrInet::get_inet()->get_waiting_count(), 0);
    EXPECT_EQ(con_ic_standin_connect_count(), 1u);
    pump_for(1200);
    EXPECT_EQ(con_ic_standin_disconnect_count(), 0u);

    // Released for good: disconnected after the delay.
    XrInet::release(&b);
    ASSERT_TRUE(pump_until([] { return con_ic_standin_disconnect_count() == 1; }, 3000));
    EXPECT_EQ(XrInet::get_inet()->get_waiting_count(), 0);
    EXPECT_EQ(con_ic_standin_link(), nullptr);
}

TEST_F(InetTest, PlatformFailures)
{
    struct Case {
        const char* name;
        ConIcStandinMode mode;
        Events immediate; // told within connect
        Events later;     // after the main loop ran
    } cases[] = {
        {"link fails", CON_IC_STANDIN_FAIL, {}, {"2:{Internet}"}},
        {"request refused", CON_IC_STANDIN_REFUSE, {"3:{Internet}"}, {"3:{Internet}"}},
        {"never answered", CON_IC_STANDIN_SILENT, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        con_ic_standin_set_mode(c.mode);
        Listener a;
        XrInet::connect(&a, XrString());
        EXPECT_EQ(a.events, c.immediate);
        pump_for(50);
        EXPECT_EQ(a.events, c.later);
        XrInet::release(&a);
    }
}

TEST_F(InetTest, ApplicationChoosesTheAccessPoint)
{
    const char* const iaps[] = {"home", "office", nullptr};
    con_ic_standin_set_iaps(iaps);
    struct Case {
        const char* name;
        const char* chosen_id;
        Events events;
    } cases[] = {
        {"known access point", "office", {"1:office"}},
        {"unknown access point", "nowhere", {"2:nowhere"}},
        {"no id at all", "", {"4:-"}},
    };
    config.choose = true;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        config.chosen_name = c.chosen_id;
        config.chosen_id = c.chosen_id;
        Listener a;
        XrInet::connect(&a, XrString());
        pump_for(50);
        EXPECT_EQ(a.events, c.events);
        XrInet::release(&a);
    }
    EXPECT_STREQ(con_ic_standin_link(), "office");

    XrPtrArray<XrIap*> list;
    XrInet::list_iaps(list);
    ASSERT_EQ(list.get_num_items(), 2);
    EXPECT_EQ(narrow(list.get_item(0)->get_name()), "home");
    EXPECT_EQ(list.get_item(0)->get_state(), XrIap::state_none);
    EXPECT_EQ(narrow(list.get_item(1)->get_id()), "office");
    EXPECT_EQ(list.get_item(1)->get_state(), XrIap::state_connected);
    XrInet::free_iaps(list);
    EXPECT_EQ(list.get_num_items(), 0);
}

TEST_F(InetTest, ListenerMayReleaseItselfWhileTold)
{
    Listener a, b;
    a.on_event = [&](int) { XrInet::release(&a); };
    XrInet::connect(&a, XrString());
    XrInet::connect(&b, XrString());
    ASSERT_TRUE(pump_until([&] { return !b.events.empty(); }));
    EXPECT_EQ(a.events, Events({"1:standin-iap"}));
    EXPECT_EQ(b.events, Events({"1:standin-iap"}));
    con_ic_standin_drop_link();
    EXPECT_EQ(a.events.size(), 1u);
    EXPECT_EQ(b.events.size(), 2u);
}

TEST_F(InetTest, ProxyOfTheConnection)
{
    struct Case {
        const char* environment; // null: unset
        const char* host;        // null: no proxy
        int port;
    } cases[] = {
        {nullptr, nullptr, 0},
        {"", nullptr, 0},
        {"http://proxy.example:3128/", "proxy.example", 3128},
        {"10.0.0.1:81", "10.0.0.1", 81},
        {"http://proxy.example", "proxy.example", 8080},
        {"http://:3128/", nullptr, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.environment != nullptr ? c.environment : "unset");
        if (c.environment == nullptr)
            unsetenv("http_proxy");
        else
            setenv("http_proxy", c.environment, 1);
        std::unique_ptr<XrInetProxy> proxy = XrInet::get_proxy(XrString());
        if (c.host == nullptr) {
            EXPECT_EQ(proxy, nullptr);
        } else {
            ASSERT_NE(proxy, nullptr);
            EXPECT_EQ(narrow(proxy->host), c.host);
            EXPECT_EQ(proxy->port, c.port);
        }
    }
}

TEST(InetLifetime, CreateTwiceAndDestroyWithAccessPointsInUse)
{
    con_ic_standin_reset();
    {
        XrEventLoop loop;
        ASSERT_TRUE(XrInet::create_inet(&loop));
        XrInetImpl* first = XrInet::get_inet();
        EXPECT_TRUE(XrInet::create_inet(&loop));
        EXPECT_EQ(XrInet::get_inet(), first);
        XrInet::set_disconnect_delay(30);
        Listener a;
        XrInet::connect(&a, XrString());
        ASSERT_TRUE(pump_until([&] { return !a.events.empty(); }));
        XrInet::release(&a);
        EXPECT_EQ(loop.get_timeout_count(), 1);
        XrInet::destroy_inet();
        EXPECT_EQ(loop.get_timeout_count(), 0);
        // Events still on their way reach no one.
        con_ic_standin_drop_link();
        pump_for(20);
    }
    con_ic_standin_reset();
}
