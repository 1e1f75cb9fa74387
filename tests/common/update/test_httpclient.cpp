// The HTTP client's requests and connections against a scripted server: the
// request text, keep-alive reuse, redirects, proxies, failures of the
// connection, time-outs and requests destroyed by their owner.
#include "common/update/http_script_server.h"
#include "common/update/http_test_client.h"
#include "common/update/xr_httprequestimpl.h"

#include <sys/socket.h>

#include <atomic>
#include <thread>

namespace {

using Piece = HttpScriptServer::Piece;
using Reply = HttpScriptServer::Reply;
using Request = HttpScriptServer::Request;

Reply ok(const std::string& body = "ok", const std::string& extra = "")
{
    return HttpScriptServer::reply("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" +
                                   extra + "\r\n" + body);
}

Reply redirect(int status, const std::string& location, const std::string& body = "moved")
{
    return HttpScriptServer::reply("HTTP/1.1 " + std::to_string(status) + " Moved\r\nLocation: " + location +
                                   "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
}

std::string path_of(const Request& request)
{
    size_t start = request.request_line.find(' ') + 1;
    return request.request_line.substr(start, request.request_line.rfind(' ') - start);
}

// A TCP socket bound to 127.0.0.1 on a port the system chooses, listening
// with the backlog unless it is negative; -1 on failure.
int loopback_socket(int backlog, int& port)
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof(addr);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
        (backlog >= 0 && listen(fd, backlog) != 0) ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        if (fd >= 0)
            close(fd);
        return -1;
    }
    port = ntohs(addr.sin_port);
    return fd;
}

class HttpClientTest : public HttpClientFixture {};

} // namespace

// ---- the request

TEST_F(HttpClientTest, RequestTextOfGetAndPost)
{
    HttpScriptServer server([](const Request&) { return ok(); });
    HttpFetch get{server.url("/a/b?x=1&y=2")};
    get.headers = {{"User-Agent", "Kestrova"}, {"Host", "evil"}, {"content-length", "99"},
                   {"Transfer-Encoding", "chunked"}, {"X-Empty", ""}};
    fetch(get);
    HttpFetch post{server.url("/form")};
    post.method = XR_HTTP_POST;
    post.with_body = true;
    post.body = "a=1&b=2";
    post.headers = {{"Content-Type", "application/x-www-form-urlencoded"}};
    fetch(post);
    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].head, "GET /a/b?x=1&y=2 HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.port()) +
                                    "\r\nContent-length: 0\r\nUSER-AGENT: Kestrova\r\nX-EMPTY: \r\n\r\n");
    EXPECT_EQ(requests[1].head, "POST /form HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.port()) +
                                    "\r\nContent-length: 7\r\nCONTENT-TYPE: application/x-www-form-urlencoded\r\n\r\n");
    EXPECT_EQ(requests[1].body, "a=1&b=2");
}

TEST_F(HttpClientTest, HeadersAndUrlsThatCouldBreakTheRequestAreRefused)
{
    HttpRecorder recorder;
    EXPECT_EQ(client->create_request(XrString("http://127.0.0.1/a b"), XR_HTTP_GET, &recorder, 0), nullptr);
    EXPECT_EQ(client->create_request(XrString("http://127.0.0.1/a\r\nX: y"), XR_HTTP_GET, &recorder, 0), nullptr);
    EXPECT_EQ(client->create_request(XrString("http:/127.0.0.1/"), XR_HTTP_GET, &recorder, 0), nullptr);
    EXPECT_EQ(client->create_request(XrString("http:///path"), XR_HTTP_GET, &recorder, 0), nullptr);
    EXPECT_EQ(client->create_request(XrString("http://127.0.0.1/"), 8, &recorder, 0), nullptr);
    const TCHAR wide_lf[] = {L'h', L't', L't', L'p', L':', L'/', L'/', L'h', L'/', 0x010A, 0};
    EXPECT_EQ(client->create_request(XrString(wide_lf), XR_HTTP_GET, &recorder, 0), nullptr);

    XrHttpRequest* request = client->create_request(XrString("http://127.0.0.1/"), XR_HTTP_GET, &recorder, 7);
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(request->get_user_data(), 7);
    EXPECT_FALSE(request->set_header(XrString("X-Bad"), XrString("a\r\nInjected: 1")));
    EXPECT_FALSE(request->set_header(XrString("Bad Name"), XrString("v")));
    EXPECT_FALSE(request->set_header(XrString("Bad:Name"), XrString("v")));
    EXPECT_FALSE(request->set_header(XrString(""), XrString("v")));
    EXPECT_TRUE(request->set_header(XrString("X-Good"), XrString("a\tb")));
    EXPECT_TRUE(request->set_header(XrString("x-good"), XrString("replaced")));
    XrString value;
    EXPECT_TRUE(request->get_request_header(XrString("X-GOOD"), value));
    EXPECT_EQ(value, XrString("replaced"));
    EXPECT_FALSE(request->get_request_header(XrString("X-Bad"), value));
    request->destroy(); // never started: dropped without a call
    pump_pending();
    EXPECT_TRUE(recorder.events.empty());
}

// ---- connections

TEST_F(HttpClientTest, KeepAliveReuseAndClose)
{
    struct Case {
        const char* name;
        std::string extra_response_head; // added to every response
        const char* version;
        std::vector<std::pair<std::string, std::string>> request_headers;
        int connections; // for three requests
    } cases[] = {
        {"1.1 keeps", "", "1.1", {}, 1},
        {"1.1 with Connection close", "Connection: close\r\n", "1.1", {}, 3},
        {"1.1 with Connection Close in any case", "Connection: Close\r\n", "1.1", {}, 3},
        {"1.0 closes", "", "1.0", {}, 3},
        {"1.0 with Keep-Alive keeps", "Connection: Keep-Alive\r\n", "1.0", {}, 1},
        {"request asks to close", "", "1.1", {{"Connection", "close"}}, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HttpScriptServer server([&](const Request&) {
            return HttpScriptServer::reply(std::string("HTTP/") + c.version + " 200 OK\r\nContent-Length: 2\r\n" +
                                           c.extra_response_head + "\r\nok");
        });
        for (int i = 0; i < 3; ++i) {
            HttpFetch f{server.url("/" + std::to_string(i))};
            f.headers = c.request_headers;
            auto r = fetch(f);
            EXPECT_EQ(r->status, 200);
            EXPECT_EQ(r->body, "ok");
        }
        EXPECT_EQ(server.connection_count(), c.connections);
        EXPECT_EQ(server.requests().size(), 3u);
    }
}

TEST_F(HttpClientTest, QueuedRequestsRunInOrderOnOneConnection)
{
    HttpScriptServer server([](const Request& request) { return ok(path_of(request)); });
    HttpRecorder recorders[3];
    XrHttpRequest* requests[3];
    for (int i = 0; i < 3; ++i) {
        requests[i] = make(HttpFetch{server.url("/r" + std::to_string(i))}, recorders[i]);
        ASSERT_NE(requests[i], nullptr);
    }
    // The last is started first: it still waits for the two before it.
    requests[2]->start();
    pump_for(50);
    EXPECT_TRUE(server.requests().empty());
    requests[0]->start();
    requests[1]->start();
    ASSERT_TRUE(pump_until([&] { return recorders[2].done; }));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(recorders[i].body, "/r" + std::to_string(i));
    EXPECT_EQ(server.connection_count(), 1);
}

TEST_F(HttpClientTest, KeptConnectionClosedByTheServerIsReplaced)
{
    // The server drops the connection after each answer without saying so.
    HttpScriptServer server([](const Request&) {
        Reply reply = ok();
        reply.after = HttpScriptServer::close_connection;
        return reply;
    });
    for (int i = 0; i < 3; ++i) {
        auto r = fetch(server.url());
        EXPECT_EQ(r->status, 200);
        EXPECT_EQ(r->error, no_http_error);
        pump_for(20);
    }
    EXPECT_EQ(server.connection_count(), 3);
}

TEST_F(HttpClientTest, ConnectionFailures)
{
    // A port nothing listens on.
    int closed_port = 0;
    int probe = loopback_socket(-1, closed_port);
    ASSERT_GE(probe, 0);
    close(probe);
    std::string closed_url = "http://127.0.0.1:" + std::to_string(closed_port) + "/";

    HttpScriptServer server([](const Request&) { return ok(); });
    struct Case {
        const char* name;
        std::string url;
        ConIcStandinMode mode;
        int error;
    } cases[] = {
        {"refused", closed_url, CON_IC_STANDIN_CONNECT, XR_HTTP_ERROR_CONNECT},
        {"IPv6 only host", "http://[::1]:" + std::to_string(server.port()) + "/", CON_IC_STANDIN_CONNECT,
         XR_HTTP_ERROR_RESOLVE},
        {"no Internet connection", server.url(), CON_IC_STANDIN_FAIL, XR_HTTP_ERROR_NO_MEMORY},
        {"connect refused by the platform", server.url(), CON_IC_STANDIN_REFUSE, XR_HTTP_ERROR_NO_MEMORY},
        {"works again", server.url(), CON_IC_STANDIN_CONNECT, no_http_error},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        con_ic_standin_drop_link();
        con_ic_standin_set_mode(c.mode);
        auto r = fetch(c.url);
        EXPECT_EQ(r->error, c.error);
        EXPECT_EQ(r->status, c.error == no_http_error ? 200 : -1);
    }
}

TEST_F(HttpClientTest, TimeOuts)
{
    client->set_timeouts(300, 300);
    // Connected, but the server never answers, or stops in the body.
    HttpScriptServer silent([](const Request& request) {
        if (path_of(request) == "/part")
            return Reply{{Piece{"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc"}}, HttpScriptServer::hold};
        if (path_of(request) == "/slow")
            return Reply{{Piece{"HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nab"}, Piece{"c", 200}, Piece{"d", 200}}};
        return Reply{{}, HttpScriptServer::hold};
    });
    struct Case {
        const char* name;
        std::string url;
        ConIcStandinMode mode;
        int status;
        int error;
        std::string body;
    } cases[] = {
        {"no answer", silent.url("/none"), CON_IC_STANDIN_CONNECT, -1, XR_HTTP_ERROR_IO, ""},
        {"stops in the body", silent.url("/part"), CON_IC_STANDIN_CONNECT, 200, XR_HTTP_ERROR_IO, "abc"},
        {"slow but steady", silent.url("/slow"), CON_IC_STANDIN_CONNECT, 200, no_http_error, "abcd"},
        {"Internet connection never comes", silent.url("/none"), CON_IC_STANDIN_SILENT, -1, XR_HTTP_ERROR_NO_MEMORY,
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        con_ic_standin_drop_link();
        con_ic_standin_set_mode(c.mode);
        auto start = std::chrono::steady_clock::now();
        auto r = fetch(HttpFetch{c.url}, 3000);
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        EXPECT_EQ(r->status, c.status);
        EXPECT_EQ(r->error, c.error);
        EXPECT_EQ(r->body, c.body);
        EXPECT_LT(ms.count(), 2000);
    }
}

TEST_F(HttpClientTest, ResponseHeadHasAnOverallDeadline)
{
    // The peer keeps talking, so the idle time-out never strikes: the head's
    // own deadline (1 s here) and the cap on interim replies end it.
    client->set_timeouts(10000, 10000);
    client->set_head_timeout(1000);
    const std::string interim = "HTTP/1.1 100 Continue\r\n\r\n";
    // The server closes each connection after its reply and says so, so that
    // the next case never starts on a connection that is going away.
    const std::string final_reply = "HTTP/1.1 200 OK\r\nContent-Length: 4\r\nConnection: close\r\n\r\n";
    HttpScriptServer server([&](const Request& request) {
        Reply reply;
        std::string path = path_of(request);
        if (path == "/endless") {
            for (int i = 0; i < 400; ++i)
                reply.pieces.push_back(Piece{interim, 10});
        } else if (path == "/slow-interim") {
            for (int i = 0; i < 4; ++i)
                reply.pieces.push_back(Piece{interim, 400});
            reply.pieces.push_back(Piece{final_reply + "body"});
        } else if (path == "/trickle") {
            reply.pieces.push_back(Piece{"HTTP/1.1 200 OK\r\nX-Slow: "});
            for (int i = 0; i < 200; ++i)
                reply.pieces.push_back(Piece{"a", 20});
            reply.pieces.push_back(Piece{"\r\nContent-Length: 4\r\n\r\nbody"});
        } else if (path == "/cap") {
            for (int i = 0; i < XrHttpRequestImpl::max_interim_responses; ++i)
                reply.pieces.push_back(Piece{interim});
            reply.pieces.push_back(Piece{final_reply + "body"});
        } else {
            // Head at once, then a body slower than the head's deadline.
            reply.pieces.push_back(Piece{final_reply + "b"});
            for (char c : std::string("ody"))
                reply.pieces.push_back(Piece{std::string(1, c), 500});
        }
        reply.after = HttpScriptServer::close_connection;
        return reply;
    });
    struct Case {
        const char* path;
        int status;
        int error;
        int min_ms;
        int max_ms;
    } cases[] = {
        {"/endless", -1, XR_HTTP_ERROR_IO, 0, 2500},
        {"/slow-interim", -1, XR_HTTP_ERROR_IO, 900, 2500},
        {"/trickle", -1, XR_HTTP_ERROR_IO, 900, 2500},
        {"/cap", 200, no_http_error, 0, 2000},
        {"/slow-body", 200, no_http_error, 1400, 3000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        auto start = std::chrono::steady_clock::now();
        auto r = fetch(HttpFetch{server.url(c.path)}, 5000);
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        EXPECT_EQ(r->status, c.status);
        EXPECT_EQ(r->error, c.error);
        EXPECT_EQ(r->body, c.error == no_http_error ? "body" : "");
        EXPECT_GE(ms.count(), c.min_ms);
        EXPECT_LT(ms.count(), c.max_ms);
    }
}

TEST_F(HttpClientTest, ConnectTimeOutWhenTheServerTakesNoConnection)
{
    // A listening socket whose backlog is full: further connects hang.
    int port = 0;
    int server = loopback_socket(0, port);
    ASSERT_GE(server, 0);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    std::vector<int> fillers;
    bool hangs = false;
    for (int i = 0; i < 8 && !hangs; ++i) {
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        fillers.push_back(fd);
        if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 && errno == EINPROGRESS) {
            pollfd p = {fd, POLLOUT, 0};
            hangs = poll(&p, 1, 200) == 0;
        }
    }
    if (hangs) {
        client->set_timeouts(300, 10000);
        auto r = fetch(HttpFetch{"http://127.0.0.1:" + std::to_string(port) + "/"}, 3000);
        EXPECT_EQ(r->error, XR_HTTP_ERROR_CONNECT);
        EXPECT_EQ(r->status, -1);
    }
    for (int fd : fillers)
        close(fd);
    close(server);
    if (!hangs)
        GTEST_SKIP() << "this system accepts connections beyond the backlog";
}

// ---- destroy

TEST_F(HttpClientTest, RequestsDestroyedByTheirOwner)
{
    HttpScriptServer server([](const Request& request) {
        if (path_of(request) == "/hold")
            return Reply{{}, HttpScriptServer::hold};
        return Reply{{Piece{"HTTP/1.1 200 OK\r\nContent-Length: 20000\r\n\r\n" + std::string(5000, 'x')},
                      Piece{std::string(15000, 'y'), 100}}};
    });
    struct Case {
        const char* name;
        std::string path;
        const char* destroy_at; // the event after which the owner destroys the request
        std::vector<std::string> events;
    } cases[] = {
        {"while waiting for the answer", "/hold", "", {"failed 8", "done"}},
        {"at the status", "/body", "status 200", {"status 200", "failed 8", "done"}},
        {"in the body", "/body", "data", {"status 200", "data", "failed 8", "done"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HttpRecorder recorder;
        bool destroyed = false;
        recorder.on_event = [&](XrHttpRequest* request, const std::string& e) {
            if (!destroyed && e == c.destroy_at) {
                destroyed = true;
                request->destroy();
            }
        };
        XrHttpRequest* request = make(HttpFetch{server.url(c.path)}, recorder);
        ASSERT_NE(request, nullptr);
        request->start();
        if (*c.destroy_at == '\0') {
            ASSERT_TRUE(pump_until([&] { return server.requests().size() > 0; }));
            pump_for(30);
            destroyed = true;
            request->destroy();
        }
        ASSERT_TRUE(pump_until([&] { return recorder.done; }, 3000));
        EXPECT_EQ(recorder.events, c.events);
        EXPECT_TRUE(recorder.violations.empty());
        server.requests();
    }
    // The client serves the next request on a fresh connection.
    auto r = fetch(server.url("/body"));
    EXPECT_EQ(r->body.size(), 20000u);
}

// ---- redirects

TEST_F(HttpClientTest, RedirectsAreFollowed)
{
    std::atomic<int> port{0};
    HttpScriptServer server([&port](const Request& request) {
        std::string p = path_of(request);
        if (p == "/abs")
            return redirect(301, "http://127.0.0.1:" + std::to_string(port.load()) + "/target");
        if (p == "/dir/rel")
            return redirect(302, "../other/./x?q=1#frag");
        if (p == "/see")
            return redirect(303, "/target");
        if (p == "/temp")
            return redirect(307, "/target");
        if (p == "/chunked")
            return HttpScriptServer::reply("HTTP/1.1 308 Permanent\r\nLocation: /target\r\nTransfer-Encoding: "
                                           "chunked\r\n\r\n5\r\nmoved\r\n0\r\n\r\n");
        if (p == "/closing")
            return HttpScriptServer::reply(
                "HTTP/1.1 302 Found\r\nLocation: /target\r\nConnection: close\r\nContent-Length: 0\r\n\r\n",
                HttpScriptServer::close_connection);
        return ok(request.request_line.substr(0, request.request_line.find(' ')) + " " + p + " " + request.body);
    });
    port = server.port();
    struct Case {
        const char* name;
        std::string path;
        XrHttpMethod method;
        std::string expected_body;
    } cases[] = {
        {"absolute 301", "/abs", XR_HTTP_GET, "GET /target "},
        {"relative 302", "/dir/rel", XR_HTTP_GET, "GET /other/x?q=1 "},
        {"303 turns POST into GET", "/see", XR_HTTP_POST, "GET /target "},
        {"307 keeps POST and body", "/temp", XR_HTTP_POST, "POST /target payload"},
        {"308 with a chunked body", "/chunked", XR_HTTP_GET, "GET /target "},
        {"redirect that closes the connection", "/closing", XR_HTTP_GET, "GET /target "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HttpFetch f{server.url(c.path)};
        f.method = c.method;
        if (c.method == XR_HTTP_POST) {
            f.with_body = true;
            f.body = "payload";
        }
        auto r = fetch(f);
        EXPECT_EQ(r->events, std::vector<std::string>({"status 200", "data", "done"}));
        EXPECT_EQ(r->body, c.expected_body);
    }
}

TEST_F(HttpClientTest, ThreeRedirectsAreFollowedAndAFourthFails)
{
    HttpScriptServer server([](const Request& request) {
        std::string p = path_of(request);
        if (p.size() == 2 && p[0] == '/' && p[1] >= '1' && p[1] <= '9')
            return redirect(302, "/" + std::to_string(p[1] - '0' - 1));
        return ok(p);
    });
    struct Case {
        const char* name;
        const char* path;
        int error;
    } cases[] = {
        {"three", "/3", no_http_error},
        {"three again: the count starts anew", "/3", no_http_error},
        {"four", "/4", XR_HTTP_ERROR_REDIRECTS},
        {"one after the failure", "/1", no_http_error},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto r = fetch(server.url(c.path));
        EXPECT_EQ(r->error, c.error);
        EXPECT_EQ(r->status, c.error == no_http_error ? 200 : -1);
        if (c.error == no_http_error) {
            EXPECT_EQ(r->body, "/0");
        }
    }
}

TEST_F(HttpClientTest, RequestDestroyedBetweenARedirectAndItsFollowUpFailsWith8)
{
    // A machine on the same scheduler that runs between the end of the
    // redirect's response and the client's next step, and destroys the
    // request there.
    class Destroyer : public XrFsmThread {
    public:
        Destroyer(XrFsm* fsm_, XrHttpRequestImpl* request_, const HttpRecorder& recorder_)
            : XrFsmThread(fsm_), request(request_), recorder(recorder_)
        {
        }
        XrFsmResult step() override
        {
            // Any call to the listener: too late (the request may be gone).
            if (!recorder.events.empty())
                return XR_FSM_FINISH;
            if (!request->finished || !request->redirected)
                return XR_FSM_YIELD;
            request->destroy();
            return XR_FSM_FINISH;
        }

    private:
        XrHttpRequestImpl* request;
        const HttpRecorder& recorder;
    };
    HttpScriptServer server([](const Request& request) {
        return path_of(request) == "/from" ? redirect(302, "/to") : ok();
    });
    HttpRecorder recorder;
    auto* request = static_cast<XrHttpRequestImpl*>(make(HttpFetch{server.url("/from")}, recorder));
    ASSERT_NE(request, nullptr);
    Destroyer destroyer(&fsm, request, recorder);
    destroyer.activate();
    request->start();
    ASSERT_TRUE(pump_until([&] { return recorder.done; }));
    EXPECT_EQ(recorder.events, std::vector<std::string>({"failed 8", "done"}));
    EXPECT_TRUE(recorder.violations.empty());
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST_F(HttpClientTest, UnusableRedirectsFail)
{
    HttpScriptServer server([](const Request& request) {
        std::string p = path_of(request);
        if (p == "/https")
            return redirect(301, "https://127.0.0.1/secure");
        if (p == "/empty")
            return redirect(302, "");
        if (p == "/space")
            return redirect(302, "/a b");
        if (p == "/port")
            return redirect(302, "http://127.0.0.1:99999/");
        return ok();
    });
    for (const char* path : {"/https", "/empty", "/space", "/port"}) {
        SCOPED_TRACE(path);
        auto r = fetch(server.url(path));
        EXPECT_EQ(r->events, std::vector<std::string>({"failed 5", "done"}));
    }
}

// ---- proxies

TEST_F(HttpClientTest, RequestsGoThroughTheProxy)
{
    HttpScriptServer proxy([](const Request& request) {
        if (path_of(request) == "http://origin.invalid/moved")
            return redirect(302, "/there");
        return ok("via proxy");
    });
    HttpScriptServer other([](const Request&) { return ok("other proxy"); });
    struct Case {
        const char* name;
        std::string environment; // http_proxy
        bool explicit_proxy;
        const char* url;
        std::string expected_line;
        std::string expected_body;
    } cases[] = {
        {"explicit", "", true, "http://origin.invalid/path?q=1", "GET http://origin.invalid/path?q=1 HTTP/1.1",
         "via proxy"},
        {"from the connection", "http://127.0.0.1:" + std::to_string(proxy.port()) + "/", false,
         "http://origin.invalid:8080/x", "GET http://origin.invalid:8080/x HTTP/1.1", "via proxy"},
        {"explicit before the connection's", "127.0.0.1:" + std::to_string(other.port()), true,
         "http://origin.invalid/y", "GET http://origin.invalid/y HTTP/1.1", "via proxy"},
        {"redirect through the proxy", "", true, "http://origin.invalid/moved",
         "GET http://origin.invalid/there HTTP/1.1", "via proxy"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.environment.empty())
            unsetenv("http_proxy");
        else
            setenv("http_proxy", c.environment.c_str(), 1);
        // The proxy is taken when the connection comes up.
        con_ic_standin_drop_link();
        client->set_proxy(c.explicit_proxy ? XrString("127.0.0.1") : XrString(), c.explicit_proxy ? proxy.port() : 0);
        auto r = fetch(c.url);
        EXPECT_EQ(r->body, c.expected_body);
        ASSERT_FALSE(proxy.requests().empty());
        EXPECT_EQ(proxy.requests().back().request_line, c.expected_line);
    }
    EXPECT_NE(proxy.requests()[0].head.find("\r\nHost: origin.invalid:80\r\n"), std::string::npos);
    EXPECT_TRUE(other.requests().empty());
}

TEST_F(HttpClientTest, AnswerBeforeTheBodyIsSentEndsTheUpload)
{
    // The server answers after the head and reads nothing more.
    int port = 0;
    int listener = loopback_socket(1, port);
    ASSERT_GE(listener, 0);
    std::atomic<bool> finished{false};
    std::thread server([&] {
        int fd = accept(listener, nullptr, nullptr);
        std::string head;
        char c;
        while (head.find("\r\n\r\n") == std::string::npos && recv(fd, &c, 1, 0) == 1)
            head += c;
        std::string answer = "HTTP/1.1 413 Too Large\r\nContent-Length: 3\r\n\r\nbig";
        send(fd, answer.data(), answer.size(), MSG_NOSIGNAL);
        while (!finished)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        close(fd);
    });
    HttpFetch upload{"http://127.0.0.1:" + std::to_string(port) + "/upload"};
    upload.method = XR_HTTP_PUT;
    upload.with_body = true;
    upload.body.assign(32 << 20, 'u');
    auto r = fetch(upload, 5000);
    finished = true;
    server.join();
    close(listener);
    EXPECT_EQ(r->events, std::vector<std::string>({"status 413", "data", "done"}));
    EXPECT_EQ(r->body, "big");
}
