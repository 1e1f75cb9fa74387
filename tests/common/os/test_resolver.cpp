// Name resolution: off the main loop, one lookup at a time, cancellable.
#include "common/os/main_loop_pump.h"
#include "common/os/xr_eventloop.h"
#include "common/os/xr_resolver.h"
#include "platform/conic/conic.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

class Results : public XrResolverListener {
public:
    void resolved(int error, const XrString& address) override
    {
        got.push_back(std::to_string(error) + ":" + wide_to_narrow_static(address.c_str()));
    }
    std::vector<std::string> got;
};

using Got = std::vector<std::string>;

class ResolverTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        con_ic_standin_reset();
        ASSERT_TRUE(XrInet::create_inet(&loop));
    }
    void TearDown() override
    {
        XrInet::destroy_inet();
        pump_pending();
        con_ic_standin_reset();
    }

    XrEventLoop loop;
    Results results;
};

} // namespace

TEST_F(ResolverTest, ResultsArriveOnTheMainLoop)
{
    struct Case {
        const char* host;
        const char* result;
    } cases[] = {
        {"127.0.0.1", "0:127.0.0.1"},
        {"localhost", "0:127.0.0.1"},
        {"10.1.2.3", "0:10.1.2.3"},
        {"::1", "-1:"},           // IPv6 only
        {"[::1]", "-1:"},
    };
    XrResolver resolver(&results);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.host);
        results.got.clear();
        EXPECT_TRUE(resolver.resolve(XrString(c.host)));
        EXPECT_TRUE(resolver.is_busy());
        EXPECT_TRUE(results.got.empty()); // never within the call
        ASSERT_TRUE(pump_until([&] { return !results.got.empty(); }));
        EXPECT_EQ(results.got, Got({c.result}));
        EXPECT_FALSE(resolver.is_busy());
    }
}

TEST_F(ResolverTest, OneLookupAtATime)
{
    XrResolver resolver(&results);
    EXPECT_TRUE(resolver.resolve(XrString("localhost")));
    EXPECT_FALSE(resolver.resolve(XrString("127.0.0.2")));
    EXPECT_EQ(results.got, Got({"-1:"}));
    ASSERT_TRUE(pump_until([&] { return results.got.size() == 2; }));
    EXPECT_EQ(results.got[1], "0:127.0.0.1");
    // Nothing to resolve, or a character beyond Latin-1.
    EXPECT_FALSE(resolver.resolve(XrString()));
    const TCHAR wide[] = {L'h', 0x4E2D, 0};
    EXPECT_TRUE(resolver.resolve(XrString(wide)));
    ASSERT_TRUE(pump_until([&] { return results.got.size() == 4; }));
    EXPECT_EQ(results.got, Got({"-1:", "0:127.0.0.1", "-1:", "-1:"}));
}

TEST_F(ResolverTest, CancelledLookupReportsNothing)
{
    struct Case {
        const char* name;
        unsigned delay_ms; // of the connection: cancelled while waiting for it
    } cases[] = {{"during the lookup", 0}, {"waiting for the connection", 200}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        con_ic_standin_drop_link();
        con_ic_standin_set_delay(c.delay_ms);
        results.got.clear();
        XrResolver resolver(&results);
        EXPECT_TRUE(resolver.resolve(XrString("127.0.0.1")));
        if (c.delay_ms == 0) {
            ASSERT_TRUE(pump_until([&] { return con_ic_standin_link() != nullptr; }));
        }
        resolver.cancel();
        EXPECT_FALSE(resolver.is_busy());
        pump_for(c.delay_ms + 50);
        EXPECT_TRUE(results.got.empty());
        // The next lookup is accepted.
        EXPECT_TRUE(resolver.resolve(XrString("127.0.0.3")));
        ASSERT_TRUE(pump_until([&] { return !results.got.empty(); }));
        EXPECT_EQ(results.got, Got({"0:127.0.0.3"}));
    }
    // A resolver deleted during its lookup.
    auto resolver = std::make_unique<XrResolver>(&results);
    results.got.clear();
    EXPECT_TRUE(resolver->resolve(XrString("localhost")));
    resolver.reset();
    pump_for(50);
    EXPECT_TRUE(results.got.empty());
}

TEST_F(ResolverTest, NoConnectionNoLookup)
{
    con_ic_standin_set_mode(CON_IC_STANDIN_FAIL);
    XrResolver resolver(&results);
    EXPECT_TRUE(resolver.resolve(XrString("localhost")));
    ASSERT_TRUE(pump_until([&] { return !results.got.empty(); }));
    EXPECT_EQ(results.got, Got({"-1:"}));
}
