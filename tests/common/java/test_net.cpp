// HTTP, property bags and the service channel from Java, against loopback
// servers: Python's http.server and the service server tools/servicesim.
#include "addon_vm.h"
#include "apps/services/xr_servcom.h"
#include "common/fsm/xr_fsm.h"
#include "common/os/main_loop_pump.h"
#include "common/os/xr_eventloop.h"
#include "common/os/xr_inet.h"
#include "loopback_server.h"
#include "platform/conic/conic.h"
#include "support/xr_temp_root.h"

namespace {

using Bridge = XrJavaServComBridge<XrServComImplementation, XrServCom, XrServComClient>;

class JavaNet : public ::testing::Test {
protected:
    void SetUp() override
    {
        con_ic_standin_reset();
        unsetenv("http_proxy");
        ASSERT_TRUE(XrInet::create_inet(&loop));
        bridge = std::make_unique<Bridge>(&fsm, &loop);
        XrJavaNetEnv env;
        env.fsm = &fsm;
        env.loop = &loop;
        env.channel = bridge.get();
        ASSERT_TRUE(xr_java_bind_net(env));
    }
    void TearDown() override
    {
        XrInet::destroy_inet();
        pump_pending();
        con_ic_standin_reset();
    }

    // Runs a static method that may wait for the network.
    template <typename... A>
    AddonVm::Call run(AddonVm& a, const char* name, const char* desc, A... args)
    {
        AddonVm::Call c;
        a.start(c, "NetAddon", name, desc, args...);
        EXPECT_TRUE(pump_until([&] { return c.done; }, 10000)) << name;
        return c;
    }
    std::string fetch(AddonVm& a, int method, const std::string& url, const char* body = nullptr)
    {
        AddonVm::Call c = run(a, "fetch", "(ILjava/lang/String;Ljava/lang/String;)Ljava/lang/String;", method,
                              a.string(url), body ? a.string(body) : nullptr);
        return c.exception ? c.exception_class() + ": " + c.message() : c.text();
    }

    XrEventLoop loop;
    XrFsm fsm;
    std::unique_ptr<Bridge> bridge;
    XrTempRoot root;
};

TEST_F(JavaNet, HttpAnswersCarryTheirStatus)
{
    LoopbackServer http({"python3", XR_JAVA_HTTP_FIXTURE, root.dir() + "/port"}, root.dir() + "/port");
    ASSERT_NE(http.port, 0);
    AddonVm a;
    ASSERT_TRUE(a.ok);
    struct Case {
        int method;
        std::string url;
        const char* body;
        std::string expected;
    };
    const Case cases[] = {
        {1, http.url("/ok"), nullptr, "200 hello"},
        {1, http.url("/missing"), nullptr, "404 IOException HTTP status 404"},
        {1, http.url("/empty"), nullptr, "200 "},
        {3, http.url("/echo"), "posted body", "200 posted body"},
        {2, http.url("/ok"), nullptr, "200 "},
        {1, "http://127.0.0.1:9/nothing-listens", nullptr, "0 IOException Connect failed"},
        {8, http.url("/ok"), nullptr, "java/lang/IllegalArgumentException: Invalid method"},
        {-1, http.url("/ok"), nullptr, "java/lang/IllegalArgumentException: Invalid method"},
        {1, "no scheme at all", nullptr, "java/lang/IllegalArgumentException: Invalid URL"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fetch(a, c.method, c.url, c.body), c.expected) << c.method << " " << c.url;
    AddonVm::Call null_url = run(a, "fetch", "(ILjava/lang/String;Ljava/lang/String;)Ljava/lang/String;", 1,
                                 static_cast<KoJvmObjectRec*>(nullptr), static_cast<KoJvmObjectRec*>(nullptr));
    EXPECT_EQ(null_url.exception_class(), "java/lang/NullPointerException");
}

TEST_F(JavaNet, AReplyLargerThanTheHeapCanHoldIsRefusedAndTheVmGoesOn)
{
    LoopbackServer http({"python3", XR_JAVA_HTTP_FIXTURE, root.dir() + "/port"}, root.dir() + "/port");
    ASSERT_NE(http.port, 0);
    AddonVm a(2u << 20);
    ASSERT_TRUE(a.ok);
    const std::uint32_t area = a.vm->area_size;
    const std::string refused = fetch(a, 1, http.url("/big?" + std::to_string(area + 100000)));
    EXPECT_EQ(refused.rfind("200 IOException Response of " + std::to_string(area + 100000) + " bytes is larger", 0), 0u)
        << refused;
    EXPECT_EQ(fetch(a, 1, http.url("/big?1000")), "200 " + std::string(1000, 'x'));
    EXPECT_EQ(fetch(a, 1, http.url("/ok")), "200 hello");
}

TEST_F(JavaNet, BagValuesGoInAndComeOutWithTheirTypes)
{
    AddonVm a;
    ASSERT_TRUE(a.ok);
    AddonVm::Call c = a.call("NetAddon", "bagRoundTrip", "()Ljava/lang/String;");
    ASSERT_EQ(c.exception_class(), "") << c.message();
    EXPECT_EQ(c.text(), "true -7 2.5 Stra\xc3\x9f" "e 3/0 1000/-1000 99 added later 2 0");
    AddonVm::Call n = a.call("NetAddon", "nestedSurvives", "()I");
    ASSERT_EQ(n.exception_class(), "") << n.message();
    EXPECT_EQ(n.value[0].i, 41);
    a.collect();
}

TEST_F(JavaNet, BagMisuseRaisesTheMatchingException)
{
    AddonVm a;
    ASSERT_TRUE(a.ok);
    const std::pair<const char*, const char*> cases[] = {
        {"bagMissingKey", "java/lang/IndexOutOfBoundsException"},
        {"bagMissingIndex", "java/lang/IndexOutOfBoundsException"},
        {"bagWrongType", "java/lang/ClassCastException"},
        {"bagNullString", "java/lang/NullPointerException"},
        {"bagNullBytes", "java/lang/NullPointerException"},
        {"bagInItself", "java/lang/IllegalArgumentException"},
        {"bagNestedTwice", "java/lang/IllegalArgumentException"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(a.call("NetAddon", c.first, "()V").exception_class(), c.second) << c.first;
    a.collect();
}

class JavaServCom : public JavaNet {
protected:
    void start_server(const std::vector<std::string>& extra = {})
    {
        std::ofstream(root.dir() + "/empty.scenario") << "# nothing\n";
        std::vector<std::string> args = {"python3",          XR_SERVICESIM "/servicesim.py", XR_SERVICESIM_ANSWER,
                                         root.dir() + "/empty.scenario", root.dir() + "/state", "--port-file",
                                         root.dir() + "/port"};
        args.insert(args.end(), extra.begin(), extra.end());
        server = std::make_unique<LoopbackServer>(args, root.dir() + "/port");
        ASSERT_NE(server->port, 0);
    }
    std::int64_t send(AddonVm& a, int service)
    {
        AddonVm::Call c = a.call("NetAddon", "send", "(Ljava/lang/String;I)J", a.string(server->url("/cb/client")), service);
        EXPECT_EQ(c.exception_class(), "") << c.message();
        return (std::int64_t(std::uint32_t(c.value[0].i)) << 32) | std::uint32_t(c.value[1].i);
    }
    int replies(AddonVm& a) { return a.call("NetAddon", "replies", "()I").value[0].i; }
    std::string reply(AddonVm& a) { return a.call("NetAddon", "reply", "()Ljava/lang/String;").text(); }

    std::unique_ptr<LoopbackServer> server;
};

TEST_F(JavaServCom, ABagGoesToTheServiceServerAndItsReplyReachesTheListener)
{
    start_server();
    AddonVm a;
    ASSERT_TRUE(a.ok);
    EXPECT_EQ(send(a, 99), 1);
    ASSERT_TRUE(pump_until([&] { return replies(a) == 1; }, 10000));
    EXPECT_EQ(reply(a), "0 99/8/9 kestrel 42 true");
    // A service the server does not offer: a reply without a bag, with the
    // channel's status for a reply that carries no answer (4).
    send(a, 5);
    ASSERT_TRUE(pump_until([&] { return replies(a) == 2; }, 10000));
    EXPECT_EQ(reply(a), "4 5/8/9");
    // A sent bag went with the request: its Java object holds nothing.
    EXPECT_EQ(a.call("NetAddon", "bagAfterSend", "()V").exception_class(), "java/lang/NullPointerException");
    pump_until([&] { return replies(a) == 3; }, 10000);
    a.collect(); // the reply bags Java was given are freed by their finalisers
}

TEST_F(JavaServCom, CancelTakesTheRequestNumberSoAnAnsweredOneCancelsNothing)
{
    start_server({"--stall-after", "1"});
    AddonVm a;
    ASSERT_TRUE(a.ok);
    const std::int64_t first = send(a, 99);
    ASSERT_TRUE(pump_until([&] { return replies(a) == 1; }, 10000));
    const std::int64_t second = send(a, 99); // the server never answers it
    EXPECT_NE(first, second);
    pump_for(300);
    a.call("NetAddon", "cancel", "(J)V", first); // answered already
    pump_for(300);
    EXPECT_EQ(replies(a), 1) << "the pending request went on";
    a.call("NetAddon", "cancel", "(J)V", second);
    ASSERT_TRUE(pump_until([&] { return replies(a) == 2; }, 5000));
    EXPECT_EQ(reply(a).rfind("1 ", 0), 0u) << reply(a);
    a.call("NetAddon", "cancel", "(J)V", second); // twice: nothing more
    pump_for(100);
    EXPECT_EQ(replies(a), 2);
    a.collect();
}

} // namespace
