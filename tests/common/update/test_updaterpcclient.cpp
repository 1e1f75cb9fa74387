// Update server calls: the call record, the form encoding of parameters,
// reply decoding, and the client against a scripted server on 127.0.0.1,
// also as the update logger's client.
#include "common/os/main_loop_pump.h"
#include "common/os/xr_eventloop.h"
#include "common/os/xr_inet.h"
#include "common/update/http_script_server.h"
#include "common/update/xr_updateloggerrpcadapter.h"
#include "common/update/xr_updaterpcclient.h"
#include "platform/conic/conic.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Request = HttpScriptServer::Request;

std::string encoded(const XrRpcCall& call)
{
    XrByteArray body;
    EXPECT_TRUE(call.encode_params(body));
    return std::string(reinterpret_cast<const char*>(body.get_items()), static_cast<size_t>(body.get_num_items()));
}

std::string reply_of(const XrRpcCall& call, const char* key)
{
    const BYTE* bytes = nullptr;
    int length = 0;
    if (!call.get_reply_value(key, bytes, length))
        return "<absent>";
    return std::string(reinterpret_cast<const char*>(bytes), static_cast<size_t>(length));
}

bool decode(XrRpcCall& call, const std::string& text)
{
    return call.decode_reply(reinterpret_cast<const BYTE*>(text.data()), static_cast<int>(text.size()));
}

HttpScriptServer::Reply answer(const std::string& body, const std::string& status = "200 OK")
{
    return HttpScriptServer::reply("HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) +
                                       "\r\n\r\n" + body,
                                   HttpScriptServer::close_connection);
}

} // namespace

// ---- the call record and the encoding

TEST(RpcCall, ParametersGoToTheHeadAndKeysAreUnique)
{
    XrRpcCall call(XrString("/rpc/x"));
    EXPECT_EQ(encoded(call), "");
    EXPECT_TRUE(call.add_string_param("a", "1"));
    EXPECT_TRUE(call.add_int_param("b", -7));
    EXPECT_TRUE(call.add_unsigned_param("c", 4294967295u));
    EXPECT_FALSE(call.add_string_param("a", "again"));
    EXPECT_TRUE(call.add_text_param("t", XrString(L"A\u0141")));
    const BYTE bin[] = {'z', 0, 'y'};
    EXPECT_TRUE(call.add_binary_param("bin", bin, 3));
    EXPECT_EQ(encoded(call), "bin=z%00y&t=AA&c=4294967295&b=-7&a=1");
    EXPECT_EQ(call.get_path(), XrString("/rpc/x"));
}

TEST(RpcCall, CharacterEncoding)
{
    struct Case {
        std::wstring key;
        std::string value;
        std::string body;
    } cases[] = {
        {L"v", "a b", "v=a%20b"},
        {L"v", "a/b", "v=a%2Fb"},
        {L"k\u0100", "", "k%u0100="},
        {L"v", "50%", "v=50%25"},        // would read as an escape
        {L"v", "a&b=c", "v=a%26b%3Dc"},   // would read as a separator
        {L"v", "\t\n\x1f\x7f", "v=%09%0A%1F\x7f"},
        {L"v", "\"()+,:;<>?@[]\\{}", "v=%22%28%29%2B%2C%3A%3B%3C%3E%3F%40%5B%5D%5C%7B%7D"},
        {L"v", "az09#*!~'.-_$|^`\xe9\xff", "v=az09#*!~'.-_$|^`\xe9\xff"},
        {L"a key", "x", "a%20key=x"},
    };
    for (const Case& c : cases) {
        XrByteArray out;
        ASSERT_TRUE(XrRpcCall::encode_param(out, XrString(c.key.c_str()),
                                            reinterpret_cast<const BYTE*>(c.value.data()),
                                            static_cast<int>(c.value.size())));
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(out.get_items()), out.get_num_items()), c.body)
            << c.value;
    }
}

TEST(RpcCall, ReplyDecoding)
{
    struct Case {
        std::string reply;
        bool ok;
        std::vector<std::pair<std::string, std::string>> values;
    } cases[] = {
        {"x=1&y=a+b%2F", true, {{"x", "1"}, {"y", "a b/"}}},
        {"x=1&", true, {{"x", "1"}}},
        {"x=&%41%3d=%00%ff", true, {{"x", ""}, {"A=", std::string("\0\xff", 2)}}},
        {"x", false, {}},
        {"x=1&y", false, {{"x", "1"}}},
        {"x=%4", false, {}},
        {"x=%", false, {}},
        {"x=%g1", false, {}},
        {"x=%u0041", false, {}},
        {"x=1&x=2", false, {{"x", "1"}}},
    };
    for (const Case& c : cases) {
        XrRpcCall call(XrString("/p"));
        EXPECT_EQ(decode(call, c.reply), c.ok) << c.reply;
        int count = 0;
        for (XrRpcParam* p = call.get_reply(); p != nullptr; p = p->next)
            ++count;
        EXPECT_EQ(count, static_cast<int>(c.values.size())) << c.reply;
        for (const auto& v : c.values)
            EXPECT_EQ(reply_of(call, v.first.c_str()), v.second) << c.reply;
    }
}

TEST(RpcCall, ReplyStringAndUnsigned)
{
    XrRpcCall call(XrString("/p"));
    ASSERT_TRUE(decode(call, "n=12a&e=&m=4294967295&o=4294967296&s=hi"));
    unsigned value = 99;
    EXPECT_FALSE(call.get_reply_unsigned("n", value));
    EXPECT_TRUE(call.get_reply_unsigned("e", value));
    EXPECT_EQ(value, 0u);
    EXPECT_TRUE(call.get_reply_unsigned("m", value));
    EXPECT_EQ(value, 4294967295u);
    EXPECT_FALSE(call.get_reply_unsigned("o", value)); // would wrap around
    EXPECT_FALSE(call.get_reply_unsigned("absent", value));
    const char* text = nullptr;
    ASSERT_TRUE(call.get_reply_string("s", text));
    EXPECT_STREQ(text, "hi");
    EXPECT_FALSE(call.get_reply_string("absent", text));
}

// ---- the client against a server

namespace {

class RpcClientTest : public ::testing::Test, public XrUpdateRpcListener {
protected:
    void SetUp() override
    {
        con_ic_standin_reset();
        unsetenv("http_proxy");
        ASSERT_TRUE(XrInet::create_inet(&loop));
    }
    void TearDown() override
    {
        pump_pending();
        XrInet::destroy_inet();
        pump_pending();
        con_ic_standin_reset();
    }

    void rpc_done(bool ok, XrRpcCall* call) override { done.push_back({ok, call}); }

    XrUpdateRpcClient* make(const HttpScriptServer& server)
    {
        auto* client = new XrUpdateRpcClient(&fsm, &loop);
        client->set_listener(this);
        client->set_server(XrString("127.0.0.1"), server.port());
        return client;
    }
    // Runs one call to its end; its outcome.
    bool run(XrUpdateRpcClient* client, XrRpcCall& call)
    {
        size_t before = done.size();
        client->call(&call);
        EXPECT_TRUE(pump_until([&] { return done.size() > before; }, 10000));
        EXPECT_EQ(done.size(), before + 1);
        EXPECT_EQ(done.back().second, &call);
        return done.back().first;
    }
    void quit(XrUpdateRpcClient* client)
    {
        client->quit();
        pump_pending();
    }

    XrEventLoop loop;
    XrFsm fsm;
    std::vector<std::pair<bool, XrRpcCall*>> done;
};

} // namespace

TEST_F(RpcClientTest, PostsTheFormAndReadsTheReply)
{
    HttpScriptServer server([](const Request&) { return answer("status=ok&count=3&text=a+b%26c"); });
    XrUpdateRpcClient* client = make(server);
    XrString host;
    int port = 0;
    client->get_server(host, port);
    EXPECT_EQ(port, server.port());
    XrRpcCall call(XrString("/rpc/check"));
    call.add_string_param("first", "a b");
    call.add_int_param("second", 2);
    ASSERT_TRUE(run(client, call));
    unsigned count = 0;
    EXPECT_TRUE(call.get_reply_unsigned("count", count));
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(reply_of(call, "text"), "a b&c");
    EXPECT_EQ(reply_of(call, "status"), "ok");

    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].request_line, "POST /rpc/check HTTP/1.1");
    EXPECT_NE(requests[0].head.find("\r\nCONNECTION: close\r\n"), std::string::npos) << requests[0].head;
    EXPECT_EQ(requests[0].body, "second=2&first=a%20b");

    // The same client serves the next call.
    XrRpcCall empty(XrString("/rpc/none"));
    ASSERT_TRUE(run(client, empty));
    EXPECT_EQ(server.requests().back().body, "");
    quit(client);
}

TEST_F(RpcClientTest, FailuresEndTheCallAndTheClientStaysUsable)
{
    HttpScriptServer server([](const Request& request) {
        if (request.request_line.find("/status") != std::string::npos)
            return answer("x=1", "500 Server Error");
        if (request.request_line.find("/malformed") != std::string::npos)
            return answer("kept=1&broken");
        if (request.request_line.find("/empty") != std::string::npos)
            return answer("");
        return HttpScriptServer::reply("HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\nshort",
                                       HttpScriptServer::close_connection);
    });
    XrUpdateRpcClient* client = make(server);
    XrRpcCall status(XrString("/status"));
    EXPECT_FALSE(run(client, status));
    XrRpcCall malformed(XrString("/malformed"));
    EXPECT_FALSE(run(client, malformed));
    EXPECT_EQ(reply_of(malformed, "kept"), "1");
    XrRpcCall truncated(XrString("/truncated"));
    EXPECT_FALSE(run(client, truncated));
    XrRpcCall empty(XrString("/empty"));
    EXPECT_TRUE(run(client, empty));
    EXPECT_EQ(empty.get_reply(), nullptr);
    // A path that does not fit in a URL is refused, not shortened.
    XrRpcCall long_path(XrString(("/" + std::string(300, 'p')).c_str()));
    EXPECT_FALSE(run(client, long_path));
    EXPECT_EQ(server.requests().size(), 4u);
    quit(client);
}

TEST_F(RpcClientTest, RefusedConnectionFails)
{
    int port;
    {
        HttpScriptServer gone([](const Request&) { return answer(""); });
        port = gone.port();
    }
    auto* client = new XrUpdateRpcClient(&fsm, &loop);
    client->set_listener(this);
    client->set_server(XrString("127.0.0.1"), port);
    XrRpcCall call(XrString("/rpc/x"));
    EXPECT_FALSE(run(client, call));
    quit(client);
}

TEST_F(RpcClientTest, SecondCallWhileBusyIsRefusedAtOnce)
{
    HttpScriptServer server([](const Request&) {
        HttpScriptServer::Reply r = answer("a=1");
        r.pieces[0].delay_ms = 200;
        return r;
    });
    XrUpdateRpcClient* client = make(server);
    XrRpcCall first(XrString("/one"));
    XrRpcCall second(XrString("/two"));
    client->call(&first);
    pump_for(20);
    client->call(&second);
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0], std::make_pair(false, &second));
    ASSERT_TRUE(pump_until([&] { return done.size() == 2; }, 10000));
    EXPECT_EQ(done[1], std::make_pair(true, &first));
    EXPECT_EQ(server.requests().size(), 1u);
    quit(client);
}

TEST_F(RpcClientTest, ProxyCarriesTheRequest)
{
    HttpScriptServer proxy([](const Request&) { return answer("via=proxy"); });
    XrUpdateRpcClient* client = new XrUpdateRpcClient(&fsm, &loop);
    client->set_listener(this);
    client->set_server(XrString("updates.invalid"), 8080);
    client->set_proxy(XrString("127.0.0.1"), proxy.port());
    XrString host;
    int port = 0;
    client->get_proxy(host, port);
    EXPECT_EQ(host, XrString("127.0.0.1"));
    EXPECT_EQ(port, proxy.port());
    XrRpcCall call(XrString("/rpc/p"));
    ASSERT_TRUE(run(client, call));
    EXPECT_EQ(reply_of(call, "via"), "proxy");
    ASSERT_EQ(proxy.requests().size(), 1u);
    EXPECT_EQ(proxy.requests()[0].request_line, "POST http://updates.invalid:8080/rpc/p HTTP/1.1");
    quit(client);
}

TEST_F(RpcClientTest, QuitWithoutCallsEndsTheClient)
{
    auto* client = new XrUpdateRpcClient(&fsm, &loop);
    fsm.run();
    client->quit(); // deleted here; the leak checker sees the rest
    EXPECT_EQ(fsm.get_queue(1).get_head(), nullptr);
}

// ---- the update logger's client

namespace {

// Loggers set up as the application does: no factory installed, so start()
// makes the default client over the update RPC client.
class LoggerOverRpcTest : public RpcClientTest, public XrUpdateLoggerListener {
protected:
    void logger_finished(XrUpdateLogger*) override { ++finished; }

    int finished = 0;
};

} // namespace

TEST_F(LoggerOverRpcTest, EventsReachTheServerInOrder)
{
    HttpScriptServer server([](const Request& request) {
        if (request.body.find("type=error") != std::string::npos)
            return answer("", "503 Busy"); // not sent again
        return answer("ok=1");
    });
    auto* logger = new XrUpdateLogger(&fsm, &loop, XrString("127.0.0.1"), server.port(), XrString(), 0, this, "c00k&e");
    ASSERT_TRUE(logger->start());
    logger->log_message(XrString(L"hello w\u00f6rld/1"));
    logger->log_progress(XrString("download"), 5, 10);
    logger->log_error(XrString("broken"));
    logger->log_message(XrString("last"));
    logger->quit();
    ASSERT_TRUE(pump_until([&] { return finished == 1; }, 10000));
    pump_pending();
    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 4u);
    for (const Request& r : requests)
        EXPECT_EQ(r.request_line, "POST /rpc/event_logger HTTP/1.1");
    EXPECT_EQ(requests[0].body, "cookie=c00k%26e&type=message&event=hello%20w\xf6rld%2F1");
    EXPECT_EQ(requests[1].body, "cookie=c00k%26e&type=progress&operation=download&done=5&total=10");
    EXPECT_EQ(requests[2].body, "cookie=c00k%26e&type=error&message=broken");
    EXPECT_EQ(requests[3].body, "cookie=c00k%26e&type=message&event=last");
}

TEST_F(LoggerOverRpcTest, UnreachableServerDropsEvents)
{
    int port;
    {
        HttpScriptServer gone([](const Request&) { return answer(""); });
        port = gone.port();
    }
    auto* logger = new XrUpdateLogger(&fsm, &loop, XrString("127.0.0.1"), port, XrString(), 0, this, "c");
    ASSERT_TRUE(logger->start());
    logger->log_message(XrString("one"));
    logger->log_message(XrString("two"));
    logger->quit();
    EXPECT_TRUE(pump_until([&] { return finished == 1; }, 10000));
    pump_pending();
}
