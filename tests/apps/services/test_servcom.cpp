// The ServCom channel against a scripted HTTP server on 127.0.0.1: the
// request on the wire, replies, failures, time-outs, cancelling, the busy
// indicator and the channel's lifetime.
#include "support/xr_english_texts.h"
#include "apps/services/servcom_test_bags.h"
#include "apps/services/xr_servcom.h"
#include "apps/services/xr_servcomreply.h"
#include "common/base/xr_singleton.h"
#include "common/corvanel_core/impl/xr_serviceproviderimpl.h"
#include "common/fsm/xr_fsm.h"
#include "common/storage/xr_storageaccessor.h"
#include "common/misc/xr_msgids.h"
#include "common/os/main_loop_pump.h"
#include "common/os/xr_eventloop.h"
#include "common/os/xr_inet.h"
#include "common/update/http_script_server.h"
#include "platform/conic/conic.h"

#include <gtest/gtest.h>

#include <chrono>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using Piece = HttpScriptServer::Piece;
using Reply = HttpScriptServer::Reply;
using Request = HttpScriptServer::Request;

std::string text(int id)
{
    return narrow(XrString(id));
}

std::string http_reply(const std::string& body, int status = 200)
{
    return "HTTP/1.1 " + std::to_string(status) + " X\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\n\r\n" + body;
}

Reply ok_reply(const ReplyFields& fields = {})
{
    return HttpScriptServer::reply(http_reply(as_text(reply_body(fields))), HttpScriptServer::close_connection);
}

struct Received {
    int status = -1;
    int code = -1;
    std::string title;
    std::string details;
    int service_id = -1;
    int value_a = -1;
    int value_b = -1;
    std::unique_ptr<XrPropertyBag> payload;
    std::string tag;
};

class RecordingClient : public XrServComClient {
public:
    explicit RecordingClient(std::string tag_ = "") : tag(std::move(tag_)) {}
    void state_changed(int event) override { events.push_back(tag + "state " + std::to_string(event)); }
    void reply_received(int status, int code, const XrString& title, const XrString& details, int id, int a, int b,
                        XrPropertyBag* payload) override
    {
        events.push_back(tag + "reply " + std::to_string(status));
        Received r;
        r.status = status;
        r.code = code;
        r.title = narrow(title);
        r.details = narrow(details);
        r.service_id = id;
        r.value_a = a;
        r.value_b = b;
        r.payload.reset(payload);
        replies.push_back(std::move(r));
        if (on_reply)
            on_reply();
    }

    std::string tag;
    std::vector<std::string> events;
    std::vector<Received> replies;
    std::function<void()> on_reply;
};

// The platform's busy dialog behind the global busy dialog: records the
// titles it was made with and the observer it tells of a cancel.
struct BusyDialogLog {
    std::vector<std::string> titles;
    XrBusyDlgObserver* observer = nullptr;
    XrBusyDlg* last = nullptr;
    int closed = 0;
};
BusyDialogLog g_busy_dialogs;

class FakeBusyDlg : public XrBusyDlg {
public:
    ~FakeBusyDlg() override { ++g_busy_dialogs.closed; }
    void set_text(const XrString&) override {}
};

XrBusyDlg* make_busy_dialog(const XrString& title, const XrString&, XrBusyDlgObserver* observer)
{
    g_busy_dialogs.titles.push_back(narrow(title));
    g_busy_dialogs.observer = observer;
    return g_busy_dialogs.last = new FakeBusyDlg();
}

// The request bag of a request body (the zlib stream of its encoding).
std::unique_ptr<XrPropertyBag> request_bag(const std::string& body)
{
    std::vector<BYTE> plain(65536);
    int n = static_cast<int>(plain.size());
    if (!zlib_uncompress(reinterpret_cast<const BYTE*>(body.data()), static_cast<int>(body.size()), plain.data(), n))
        return nullptr;
    XrByteArray bytes;
    bytes.set(plain.data(), n);
    XrByteArrayAccessor accessor;
    accessor.attach(&bytes);
    auto bag = std::make_unique<XrPropertyBag>();
    if (bag->decode(&accessor) != 0)
        return nullptr;
    return bag;
}

// Serves one connection on 127.0.0.1: reads the request head, sends the
// reply head, then total body bytes made block by block by fill(offset,
// block, n), as fast as the client takes them, until stopped.
class StreamingServer {
public:
    using Fill = std::function<void(std::int64_t, char*, size_t)>;
    StreamingServer(std::string head_, std::int64_t total_, Fill fill_)
        : head(std::move(head_)), total(total_), fill(std::move(fill_))
    {
        listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr = {};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof(addr);
        if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
            listen(listener, 4) != 0 || getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
            return;
        port = ntohs(addr.sin_port);
        thread = std::thread([this] { serve(); });
    }
    ~StreamingServer()
    {
        stop();
        if (listener >= 0)
            close(listener);
    }
    bool listening() const { return port != 0; }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port) + "/"; }
    std::int64_t sent() const { return sent_bytes; }
    void stop()
    {
        stopping = true;
        if (thread.joinable())
            thread.join();
    }

private:
    void serve()
    {
        pollfd p = {listener, POLLIN, 0};
        while (!stopping && poll(&p, 1, 20) == 0) {
        }
        int fd = stopping ? -1 : accept(listener, nullptr, nullptr);
        if (fd < 0)
            return;
        std::string request;
        char in[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            ssize_t n = recv(fd, in, sizeof(in), 0);
            if (n <= 0)
                break;
            request.append(in, static_cast<size_t>(n));
        }
        ::send(fd, head.data(), head.size(), MSG_NOSIGNAL);
        std::vector<char> block(65536);
        size_t filled = 0, offset = 0;
        while (!stopping && sent_bytes < total) {
            if (offset == filled) {
                filled = static_cast<size_t>(std::min<std::int64_t>(65536, total - sent_bytes));
                fill(sent_bytes, block.data(), filled);
                offset = 0;
            }
            pollfd w = {fd, POLLOUT, 0};
            if (poll(&w, 1, 20) <= 0)
                continue;
            ssize_t n = ::send(fd, block.data() + offset, filled - offset, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                continue;
            if (n <= 0)
                break;
            offset += static_cast<size_t>(n);
            sent_bytes += n;
        }
        // Closing with the request body unread would reset the connection and
        // drop what the client has not read yet: end the sending side, then
        // read until the client closes.
        shutdown(fd, SHUT_WR);
        while (!stopping) {
            pollfd r = {fd, POLLIN, 0};
            if (poll(&r, 1, 20) <= 0)
                continue;
            if (recv(fd, in, sizeof(in), 0) <= 0)
                break;
        }
        close(fd);
    }

    std::string head;
    std::int64_t total;
    Fill fill;
    int listener = -1;
    int port = 0;
    std::thread thread;
    std::atomic<std::int64_t> sent_bytes{0};
    std::atomic<bool> stopping{false};
};

// A figure of /proc/self/status in kB; -1 when it cannot be read.
std::int64_t memory_kb(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0)
            return std::atoll(line.c_str() + std::strlen(field));
    }
    return -1;
}

// Sets the process's peak resident size back to its current size.
bool reset_peak_memory()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return static_cast<bool>(clear);
}

class ServComTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(texts.bound);
        con_ic_standin_reset();
        unsetenv("http_proxy");
        ASSERT_TRUE(XrInet::create_inet(&loop));
        XrServComImplementation::set_version_text(XrString("Kestrova 1.0 App 2.3 Map 4 5"));
        channel = XrServComImplementation::acquire(&fsm, &loop);
        channel->add_client(&client);
    }
    void TearDown() override
    {
        if (channel != nullptr)
            channel->release();
        pump_for(50);
        XrInet::destroy_inet();
        pump_pending();
        con_ic_standin_reset();
    }

    XrServComMessage* send(const std::string& url, int id = 7, XrPropertyBag* payload = nullptr,
                           const XrString* busy = nullptr, XrServComClient* to = nullptr)
    {
        return channel->send_request(XrString(url.c_str()), id, 8, 9, payload, busy, to ? to : &client);
    }
    bool wait_replies(size_t n, int limit_ms = 10000)
    {
        return pump_until([&] { return client.replies.size() >= n; }, limit_ms);
    }

    EnglishTexts texts;
    XrEventLoop loop;
    XrFsm fsm;
    XrServCom* channel = nullptr;
    RecordingClient client;
};

} // namespace

TEST_F(ServComTest, RequestOnTheWireAndSuccessfulReply)
{
    HttpScriptServer server([](const Request&) { return ok_reply(); });
    XrPropertyBag* payload = new XrPropertyBag();
    payload->add_string(1, XrString("abc"));
    send(server.url("/cb/client"), 7, payload);
    ASSERT_TRUE(wait_replies(1));

    const Received& r = client.replies[0];
    EXPECT_EQ(r.status, XR_SERVCOM_OK);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.title, "");
    EXPECT_EQ(r.details, "");
    EXPECT_EQ(r.service_id, 7);
    EXPECT_EQ(r.value_a, 8);
    EXPECT_EQ(r.value_b, 9);
    ASSERT_NE(r.payload, nullptr);
    std::int32_t v = 0;
    EXPECT_EQ(r.payload->get_int(1, 0, v), 0);
    EXPECT_EQ(v, 42);
    EXPECT_EQ(client.events, (std::vector<std::string>{"state 10", "state 11", "reply 0"}));

    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].request_line, "POST /cb/client HTTP/1.1");
    std::string head = requests[0].head;
    for (char& c : head)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_NE(head.find("\r\nuser-agent: kestrova client\r\n"), std::string::npos) << requests[0].head;
    EXPECT_NE(head.find("\r\nconnection: close\r\n"), std::string::npos) << requests[0].head;

    std::unique_ptr<XrPropertyBag> bag = request_bag(requests[0].body);
    ASSERT_NE(bag, nullptr);
    std::int32_t id = 0, a = 0, b = 0;
    EXPECT_EQ(bag->get_int(0, 0, id), 0);
    EXPECT_EQ(bag->get_int(1, 0, a), 0);
    EXPECT_EQ(bag->get_int(2, 0, b), 0);
    EXPECT_EQ(id, 7);
    EXPECT_EQ(a, 8);
    EXPECT_EQ(b, 9);
    XrString language, version, inner;
    EXPECT_EQ(bag->get_string(3, 0, language), 0);
    EXPECT_EQ(narrow(language), "ENG");
    EXPECT_EQ(bag->get_string(109, 0, version), 0);
    EXPECT_EQ(narrow(version), "Kestrova 1.0 App 2.3 Map 4 5 Linux");
    XrPropertyBag* sent = nullptr;
    ASSERT_EQ(bag->get_bag(4, 0, sent), 0);
    EXPECT_EQ(sent->get_string(1, 0, inner), 0);
    EXPECT_EQ(narrow(inner), "abc");
}

TEST_F(ServComTest, DefaultVersionTextAndTimeout)
{
    // Until the application sets its own, the built-in application version
    // goes out; an empty text restores it.
    XrServComImplementation::set_version_text(XrString());
    EXPECT_EQ(narrow(XrServComImplementation::get_version_text()), "Kestrova Corvanel  App 2.2.7.436 Map  ");
    HttpScriptServer server([](const Request&) { return ok_reply(); });
    send(server.url());
    ASSERT_TRUE(wait_replies(1));
    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    std::unique_ptr<XrPropertyBag> bag = request_bag(requests[0].body);
    ASSERT_NE(bag, nullptr);
    XrString version;
    EXPECT_EQ(bag->get_string(109, 0, version), 0);
    EXPECT_EQ(narrow(version), "Kestrova Corvanel  App 2.2.7.436 Map   Linux");

    // A new channel guards its exchanges with the settings' default of 90 s.
    EXPECT_EQ(static_cast<XrServComImplementation*>(channel)->get_timeout(), 90);
}

TEST_F(ServComTest, NoPayloadKeyWithoutPayload)
{
    HttpScriptServer server([](const Request&) { return ok_reply(); });
    send(server.url());
    ASSERT_TRUE(wait_replies(1));
    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    std::unique_ptr<XrPropertyBag> bag = request_bag(requests[0].body);
    ASSERT_NE(bag, nullptr);
    EXPECT_EQ(bag->get_value_count(4), 0);
}

TEST_F(ServComTest, ServerErrorsAndBadRepliesWhateverTheHttpStatus)
{
    const std::string internal = text(R_STR_INTERNAL_COMMUNICATION_ERROR);
    struct Case {
        const char* name;
        std::string body;
        int http_status;
        int status;
        std::string title;
        std::string details;
    };
    const Case cases[] = {
        {"error reply with HTTP 500", as_text(reply_body({true, false, false, "m", "T", "D"})), 500, 5, "T", "D"},
        {"success without payload", as_text(reply_body({true, true, false})), 200, 4, internal, internal + ": 0"},
        {"garbage", "not a reply", 200, 4, internal, internal + ": 0"},
        {"empty body", "", 404, 4, internal, internal + ": 0"},
    };
    for (const Case& c : cases) {
        client.replies.clear();
        HttpScriptServer server([&](const Request&) {
            return HttpScriptServer::reply(http_reply(c.body, c.http_status), HttpScriptServer::close_connection);
        });
        send(server.url());
        ASSERT_TRUE(wait_replies(1)) << c.name;
        EXPECT_EQ(client.replies[0].status, c.status) << c.name;
        EXPECT_EQ(client.replies[0].code, 0) << c.name;
        EXPECT_EQ(client.replies[0].title, c.title) << c.name;
        EXPECT_EQ(client.replies[0].details, c.details) << c.name;
        EXPECT_EQ(client.replies[0].payload, nullptr) << c.name;
    }
}

TEST_F(ServComTest, ConnectFailureAndUnusableUrl)
{
    int port = 0;
    {
        HttpScriptServer gone([](const Request&) { return ok_reply(); });
        port = gone.port();
    }
    send("http://127.0.0.1:" + std::to_string(port) + "/cb/client");
    ASSERT_TRUE(wait_replies(1));
    EXPECT_EQ(client.replies[0].status, XR_SERVCOM_HTTP_FAILED);
    EXPECT_EQ(client.replies[0].code, 5);
    EXPECT_EQ(client.replies[0].title, text(R_STR_SERVER_NOT_RESPONDING));
    EXPECT_EQ(client.replies[0].details, text(R_STR_SERVER_NOT_RESPONDING) + " : Code = 3");
    EXPECT_EQ(client.replies[0].service_id, 0);

    send("");
    ASSERT_TRUE(wait_replies(2));
    EXPECT_EQ(client.replies[1].status, XR_SERVCOM_HTTP_FAILED);
    EXPECT_EQ(client.replies[1].code, 18);
    EXPECT_EQ(client.replies[1].details, text(R_STR_NETWORK_ERROR) + " : Code = 0");
    EXPECT_EQ(client.events, (std::vector<std::string>{"state 10", "state 11", "reply 2", "state 10", "state 11",
                                                       "reply 2"}));
}

TEST_F(ServComTest, ExchangesRunOneAtATimeInOrder)
{
    HttpScriptServer server([](const Request& r) {
        std::unique_ptr<XrPropertyBag> bag = request_bag(r.body);
        std::int32_t id = 0;
        if (bag)
            bag->get_int(0, 0, id);
        ReplyFields fields;
        fields.service_id = id;
        Reply reply = ok_reply(fields);
        reply.pieces[0].delay_ms = 200;
        return reply;
    });
    size_t requests_at_first_reply = 0;
    client.on_reply = [&] {
        if (client.replies.size() == 1)
            requests_at_first_reply = server.requests().size();
    };
    send(server.url(), 1);
    send(server.url(), 2);
    ASSERT_TRUE(wait_replies(2));
    EXPECT_EQ(requests_at_first_reply, 1u);
    EXPECT_EQ(client.replies[0].service_id, 1);
    EXPECT_EQ(client.replies[1].service_id, 2);
    EXPECT_EQ(client.events, (std::vector<std::string>{"state 10", "state 11", "state 10", "reply 0", "state 11",
                                                       "reply 0"}));
}

TEST_F(ServComTest, SilentServerTimesOut)
{
    HttpScriptServer server([](const Request&) { return Reply{{Piece{"", 2500}}, HttpScriptServer::close_connection}; });
    channel->set_timeout(1);
    send(server.url());
    ASSERT_TRUE(wait_replies(1, 5000));
    const std::string timeout = text(R_STR_OPERATION_TIMEOUT);
    EXPECT_EQ(client.replies[0].status, XR_SERVCOM_TIMEOUT);
    EXPECT_EQ(client.replies[0].code, 18);
    EXPECT_EQ(client.replies[0].title, timeout);
    EXPECT_EQ(client.replies[0].details, timeout + " (1 s)");
    pump_for(100);
    EXPECT_EQ(client.replies.size(), 1u);
}

TEST_F(ServComTest, TricklingReplyIsNotTimedOut)
{
    // A reply of five 4096-byte blocks (the HTTP client hands the body on in
    // blocks), one every 600 ms against a time-out of 1 s; the head comes at
    // once, since only body bytes re-arm the time-out.
    XrPropertyBag* reply = make_reply_bag({});
    XrByteArray* noise = new XrByteArray();
    std::uint32_t x = 12345;
    for (int i = 0; i < 5 * 4096; ++i) {
        x = x * 1103515245u + 12345u;
        noise->append_byte(static_cast<BYTE>(x >> 23));
    }
    reply->add_blob(10, noise);
    const std::string body = as_text(servcom_reply_body(bag_encoding(*reply)));
    delete reply;
    ASSERT_GT(body.size(), 5u * 4096);
    HttpScriptServer server([&](const Request&) {
        std::string reply_text = http_reply(body);
        Reply r{{Piece{reply_text.substr(0, reply_text.size() - body.size()), 0}}, HttpScriptServer::close_connection};
        for (size_t i = 0; i < body.size(); i += 4096)
            r.pieces.push_back(Piece{body.substr(i, 4096), 600});
        return r;
    });
    channel->set_timeout(1);
    send(server.url());
    ASSERT_TRUE(wait_replies(1, 10000));
    EXPECT_EQ(client.replies[0].status, XR_SERVCOM_OK);
}

TEST_F(ServComTest, SlowReplyInSmallPiecesIsNotTimedOut)
{
    // The head and then the body in eight small pieces, one every 600 ms
    // against a time-out of 1 s: the HTTP client hands the body on only
    // whole (it is under a block), but every byte that arrives re-arms the
    // time-out.
    XrPropertyBag* reply = make_reply_bag({});
    const std::string body = as_text(servcom_reply_body(bag_encoding(*reply)));
    delete reply;
    const std::string reply_text = http_reply(body);
    HttpScriptServer server([&](const Request&) {
        Reply r{{}, HttpScriptServer::close_connection};
        const size_t piece = (reply_text.size() + 7) / 8;
        for (size_t i = 0; i < reply_text.size(); i += piece)
            r.pieces.push_back(Piece{reply_text.substr(i, piece), 600});
        return r;
    });
    channel->set_timeout(1);
    send(server.url());
    ASSERT_TRUE(wait_replies(1, 15000));
    EXPECT_EQ(client.replies[0].status, XR_SERVCOM_OK);
}

TEST_F(ServComTest, EndlessSlowBytesEndAtTheOverallDeadline)
{
    // A head announcing a large body, then one byte every 200 ms for far
    // longer than the deadline: every byte re-arms the 1 s inactivity
    // time-out, so only the overall deadline (10 time-outs) ends it.
    HttpScriptServer server([](const Request&) {
        Reply r{{Piece{"HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n", 0}}, HttpScriptServer::close_connection};
        for (int i = 0; i < 150; ++i)
            r.pieces.push_back(Piece{"z", 200});
        return r;
    });
    channel->set_timeout(1);
    const auto t0 = std::chrono::steady_clock::now();
    send(server.url());
    ASSERT_TRUE(wait_replies(1, 20000));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_GE(seconds, 9.5);
    EXPECT_LT(seconds, 14.0);
    const std::string timeout = text(R_STR_OPERATION_TIMEOUT);
    EXPECT_EQ(client.replies[0].status, XR_SERVCOM_TIMEOUT);
    EXPECT_EQ(client.replies[0].code, 18);
    EXPECT_EQ(client.replies[0].title, timeout);
    EXPECT_EQ(client.replies[0].details, timeout + " (10 s)");
    EXPECT_EQ(client.replies[0].payload, nullptr);
    pump_for(300);
    EXPECT_EQ(client.replies.size(), 1u);
}

TEST_F(ServComTest, EndlessBodyFailsAtTheCapWhileItArrives)
{
    // A server that announces 1 GiB and sends it as fast as it can; the
    // channel must give up at its cap, long before the end.
    const std::int64_t announced = std::int64_t(1) << 30;
    StreamingServer server("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(announced) + "\r\n\r\n", announced,
                           [](std::int64_t, char* block, size_t n) { std::memset(block, 'z', n); });
    ASSERT_TRUE(server.listening());
    send(server.url());
    bool replied = wait_replies(1, 60000);
    server.stop();
    ASSERT_TRUE(replied);
    EXPECT_EQ(client.replies[0].status, XR_SERVCOM_HTTP_FAILED);
    EXPECT_EQ(client.replies[0].code, 18);
    // What got out before the client stopped: the cap and what the socket
    // buffers hold.
    EXPECT_GE(server.sent(), servcom_max_body_length);
    EXPECT_LT(server.sent(), servcom_max_body_length + 32 * 1024 * 1024);
}

TEST_F(ServComTest, LargeBodyIsDecodedAsItArrives)
{
    // A valid reply followed by 48 MB that are no part of its stream: the
    // body goes through the decoder without being kept, so the process's
    // peak memory barely moves.
    const std::vector<std::uint8_t> reply = reply_body({});
    const std::int64_t total = static_cast<std::int64_t>(reply.size()) + 48 * 1024 * 1024;
    StreamingServer server("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(total) + "\r\n\r\n", total,
                           [&](std::int64_t at, char* block, size_t n) {
                               for (size_t i = 0; i < n; ++i) {
                                   const std::int64_t k = at + static_cast<std::int64_t>(i);
                                   block[i] = k < static_cast<std::int64_t>(reply.size())
                                                  ? static_cast<char>(reply[static_cast<size_t>(k)])
                                                  : static_cast<char>(0xEE);
                               }
                           });
    ASSERT_TRUE(server.listening());
    const std::int64_t before = memory_kb("VmRSS:");
    ASSERT_GT(before, 0);
    ASSERT_TRUE(reset_peak_memory());
    send(server.url());
    bool replied = wait_replies(1, 60000);
    server.stop();
    ASSERT_TRUE(replied);
    EXPECT_EQ(client.replies[0].status, XR_SERVCOM_OK) << client.replies[0].code << " " << client.replies[0].title;
    EXPECT_EQ(server.sent(), total);
    EXPECT_LT(memory_kb("VmHWM:") - before, 16 * 1024);
}

TEST_F(ServComTest, CancelRequest)
{
    HttpScriptServer server([](const Request&) { return Reply{{}, HttpScriptServer::hold}; });
    XrServComMessage* first = send(server.url(), 1);
    XrServComMessage* second = send(server.url(), 2);
    ASSERT_TRUE(pump_until([&] { return server.requests().size() == 1; }));
    XrString title("T"), details("D");
    channel->cancel_request(&first, true, 1, &title, &details);
    EXPECT_EQ(first, nullptr);
    ASSERT_EQ(client.replies.size(), 1u);
    EXPECT_EQ(client.replies[0].status, 1);
    EXPECT_EQ(client.replies[0].code, 18);
    EXPECT_EQ(client.replies[0].title, "T");
    EXPECT_EQ(client.replies[0].details, "D");
    // The second exchange runs now.
    ASSERT_TRUE(pump_until([&] { return server.requests().size() == 2; }));
    XrServComMessage* copy = second;
    channel->cancel_request(&second, false, 1, nullptr, nullptr);
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(client.replies.size(), 1u);
    // An ended handle is only nulled.
    channel->cancel_request(&copy, true, 1, nullptr, nullptr);
    EXPECT_EQ(copy, nullptr);
    pump_for(100);
    EXPECT_EQ(client.replies.size(), 1u);
    EXPECT_EQ(client.events, (std::vector<std::string>{"state 10", "state 11", "state 10", "reply 1", "state 11"}));
}

TEST_F(ServComTest, CancelledBusyIndicatorCancelsEveryExchangeInOrder)
{
    g_busy_dialogs = BusyDialogLog();
    XrBusyDlg::set_factory(make_busy_dialog);
    XrGlobalBusyDialogImpl busy;
    XrSingleton::set_instance(XrString("XrGlobalBusyDialog"), static_cast<XrGlobalBusyDialog*>(&busy));
    HttpScriptServer server([](const Request&) { return Reply{{}, HttpScriptServer::hold}; });
    XrString busy_text("Working");
    for (int id = 1; id <= 3; ++id)
        send(server.url(), id, nullptr, &busy_text);
    ASSERT_TRUE(pump_until([&] { return server.requests().size() == 1; }));
    ASSERT_TRUE(busy.is_shown());
    EXPECT_EQ(g_busy_dialogs.titles, std::vector<std::string>{"Working"});
    ASSERT_NE(g_busy_dialogs.observer, nullptr);
    // The user answers the dialog: the global dialog ends it.
    g_busy_dialogs.observer->cancelled();
    ASSERT_EQ(client.replies.size(), 3u);
    for (const Received& r : client.replies) {
        EXPECT_EQ(r.status, XR_SERVCOM_CANCELLED);
        EXPECT_EQ(r.code, 18);
        EXPECT_EQ(r.title, "");
    }
    // Each queued exchange is started (10) as the one before it ends, and
    // ends (11) before its client hears of it; none of them sends.
    EXPECT_EQ(client.events, (std::vector<std::string>{"state 10", "state 11", "state 10", "reply 1", "state 11",
                                                       "state 10", "reply 1", "state 11", "reply 1"}));
    EXPECT_FALSE(busy.is_active());
    EXPECT_EQ(g_busy_dialogs.closed, 1); // deleted once, not leaked
    pump_for(100);
    EXPECT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(g_busy_dialogs.titles.size(), 1u); // no exchange showed it again
    XrSingleton::set_instance(XrString("XrGlobalBusyDialog"), nullptr);
    XrBusyDlg::set_factory(nullptr);
}

TEST_F(ServComTest, BusyIndicatorComesDownWhenTheExchangeEnds)
{
    g_busy_dialogs = BusyDialogLog();
    XrBusyDlg::set_factory(make_busy_dialog);
    XrGlobalBusyDialogImpl busy;
    XrSingleton::set_instance(XrString("XrGlobalBusyDialog"), static_cast<XrGlobalBusyDialog*>(&busy));
    HttpScriptServer server([](const Request&) { return ok_reply(); });
    XrString busy_text("Working");
    send(server.url(), 1, nullptr, &busy_text);
    ASSERT_TRUE(pump_until([&] { return client.replies.size() == 1; }));
    EXPECT_EQ(g_busy_dialogs.titles, std::vector<std::string>{"Working"});
    EXPECT_FALSE(busy.is_active());
    EXPECT_EQ(g_busy_dialogs.closed, 1);
    // Another operation's indication is running: the exchange shares it.
    busy.begin(XrString(L"Routing"), XrString(L"step 1"), nullptr);
    send(server.url(), 2, nullptr, &busy_text);
    ASSERT_TRUE(pump_until([&] { return client.replies.size() == 2; }));
    EXPECT_EQ(g_busy_dialogs.titles, (std::vector<std::string>{"Working", "Routing"}));
    XrSingleton::set_instance(XrString("XrGlobalBusyDialog"), nullptr);
    XrBusyDlg::set_factory(nullptr);
}

TEST_F(ServComTest, SharedChannelAndLastRelease)
{
    EXPECT_EQ(XrServComImplementation::acquire(&fsm, &loop), channel);
    XrServCom* again = XrServComImplementation::ref_existing();
    EXPECT_EQ(again, channel);
    ASSERT_NE(channel->get_http_client(), nullptr);
    channel->release();
    channel->release();

    RecordingClient other("other ");
    channel->add_client(&other);
    channel->add_client(&other);
    channel->remove_client(&other);
    HttpScriptServer server([](const Request&) { return Reply{{}, HttpScriptServer::hold}; });
    send(server.url(), 1);
    send(server.url(), 2);
    ASSERT_TRUE(pump_until([&] { return server.requests().size() == 1; }));
    channel->release();
    channel = nullptr;
    EXPECT_EQ(XrServComImplementation::ref_existing(), nullptr);
    ASSERT_EQ(client.replies.size(), 2u);
    EXPECT_EQ(client.replies[0].status, XR_SERVCOM_CANCELLED);
    EXPECT_EQ(client.replies[1].status, XR_SERVCOM_CANCELLED);
    EXPECT_TRUE(other.events.empty());
}
