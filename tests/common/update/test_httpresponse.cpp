// Response parsing of the HTTP client against a scripted server: status
// lines, heads, lengths, chunked bodies, transfer codings, HTTP/0.9 and the
// malformed or truncated cases.
#include "common/update/http_script_server.h"
#include "common/update/http_test_client.h"

namespace {

using Piece = HttpScriptServer::Piece;
using Reply = HttpScriptServer::Reply;

std::string repeat(char c, size_t n)
{
    return std::string(n, c);
}

struct ResponseCase {
    const char* name;
    Reply reply;
    int status;       // -1: none reported
    std::string body;
    int error;        // no_http_error: no failure
};

class HttpResponseTest : public HttpClientFixture {};

} // namespace

TEST_F(HttpResponseTest, TableOfResponses)
{
    const std::string chunk26 = repeat('c', 26);
    const ResponseCase cases[] = {
        {"content length", HttpScriptServer::reply("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello"), 200, "hello",
         no_http_error},
        {"reason phrase missing", HttpScriptServer::reply("HTTP/1.1 204\r\n\r\n"), 204, "", no_http_error},
        {"status 404 with body", HttpScriptServer::reply("HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\ngone"),
         404, "gone", no_http_error},
        {"chunked with extension",
         HttpScriptServer::reply("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1a;name=value\r\n" + chunk26 +
                                 "\r\n3\r\nabc\r\n0\r\n\r\n"),
         200, chunk26 + "abc", no_http_error},
        {"chunked with trailer",
         HttpScriptServer::reply(
             "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nok\r\n0\r\nX-Trailer: 1\r\n\r\n"),
         200, "ok", no_http_error},
        {"chunked wins over length",
         HttpScriptServer::reply(
             "HTTP/1.1 200 OK\r\nContent-Length: 99\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nok\r\n0\r\n\r\n"),
         200, "ok", no_http_error},
        {"identity and chunked",
         HttpScriptServer::reply(
             "HTTP/1.1 200 OK\r\nTransfer-Encoding: identity, Chunked\r\n\r\n2\r\nok\r\n0\r\n\r\n"),
         200, "ok", no_http_error},
        {"gzip and chunked fail",
         HttpScriptServer::reply("HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\n2\r\nok\r\n0\r\n\r\n"),
         -1, "", XR_HTTP_ERROR_TRANSFER_CODING},
        {"gzip alone fails", HttpScriptServer::reply("HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\n\r\nxx"),
         -1, "", XR_HTTP_ERROR_TRANSFER_CODING},
        {"content coding is passed through",
         HttpScriptServer::reply("HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: 3\r\n\r\n\x1f\x8b\x08"),
         200, "\x1f\x8b\x08", no_http_error},
        {"100 continue then 200",
         HttpScriptServer::reply("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nhi"), 200,
         "hi", no_http_error},
        {"103 early hints then 200",
         HttpScriptServer::reply(
             "HTTP/1.1 103 Early Hints\r\nLink: </a>\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nhi"),
         200, "hi", no_http_error},
        {"HTTP/0.9 body to the end",
         HttpScriptServer::reply("hello\r\nworld", HttpScriptServer::close_connection),
         200, "hello\r\nworld", no_http_error},
        {"HTTP/0.9 short line", HttpScriptServer::reply("ok\n", HttpScriptServer::close_connection),
         200, "ok\n", no_http_error},
        {"body to the end of the connection",
         HttpScriptServer::reply("HTTP/1.1 200 OK\r\n\r\nuntil close", HttpScriptServer::close_connection), 200,
         "until close", no_http_error},
        {"HTTP/1.0 without length",
         HttpScriptServer::reply("HTTP/1.0 200 OK\r\n\r\nold", HttpScriptServer::close_connection),
         200, "old", no_http_error},
        {"status line of 9 bytes fails", HttpScriptServer::reply("HTTP/1.1\r\n\r\n"),
         -1, "", XR_HTTP_ERROR_BAD_RESPONSE},
        {"status line HTTP/ only fails", HttpScriptServer::reply("HTTP/\r\n\r\n"), -1, "", XR_HTTP_ERROR_BAD_RESPONSE},
        {"status letters fail", HttpScriptServer::reply("HTTP/1.1 2x0 OK\r\n\r\n"), -1, "", XR_HTTP_ERROR_BAD_RESPONSE},
        {"status of four digits fails", HttpScriptServer::reply("HTTP/1.1 2000 OK\r\n\r\n"),
         -1, "", XR_HTTP_ERROR_BAD_RESPONSE},
        {"status below 100 fails", HttpScriptServer::reply("HTTP/1.1 032 OK\r\n\r\n"),
         -1, "", XR_HTTP_ERROR_BAD_RESPONSE},
        {"version without minor fails", HttpScriptServer::reply("HTTP/1 200 OK\r\n\r\n"),
         -1, "", XR_HTTP_ERROR_BAD_RESPONSE},
        {"header line without colon fails",
         HttpScriptServer::reply("HTTP/1.1 200 OK\r\nno colon here\r\n\r\n"), -1, "", XR_HTTP_ERROR_BAD_RESPONSE},
        {"continuation before any field fails",
         HttpScriptServer::reply("HTTP/1.1 200 OK\r\n folded\r\n\r\n"), -1, "", XR_HTTP_ERROR_BAD_RESPONSE},
        {"head cut by the end", HttpScriptServer::reply("HTTP/1.1 200 OK\r\nContent-", HttpScriptServer::close_connection),
         -1, "", XR_HTTP_ERROR_BAD_RESPONSE},
        {"nothing at all", HttpScriptServer::reply("", HttpScriptServer::close_connection),
         -1, "", XR_HTTP_ERROR_BAD_RESPONSE},
        {"body shorter than its length",
         HttpScriptServer::reply("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nhalf", HttpScriptServer::close_connection),
         200, "half", XR_HTTP_ERROR_BAD_RESPONSE},
        {"length that is not a number",
         HttpScriptServer::reply("HTTP/1.1 200 OK\r\nContent-Length: abc\r\n\r\nxyz"),
         -1, "", XR_HTTP_ERROR_BAD_RESPONSE},
        {"negative length", HttpScriptServer::reply("HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\nxyz"),
         -1, "", XR_HTTP_ERROR_BAD_RESPONSE},
        {"two different lengths",
         HttpScriptServer::reply("HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Length: 4\r\n\r\nxyzw"),
         -1, "", XR_HTTP_ERROR_BAD_RESPONSE},
        {"two equal lengths",
         HttpScriptServer::reply("HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Length: 3\r\n\r\nxyz"), 200, "xyz",
         no_http_error},
        {"more than announced is cut",
         HttpScriptServer::reply("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabcdef"), 200, "abc", no_http_error},
        {"chunk size without digits fails",
         HttpScriptServer::reply("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nxx\r\n0\r\n\r\n"), 200, "",
         XR_HTTP_ERROR_BAD_RESPONSE},
        {"empty chunk size line fails",
         HttpScriptServer::reply("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nok\r\n\r\n"),
         200, "ok", XR_HTTP_ERROR_BAD_RESPONSE},
        {"chunk size beyond the limit fails",
         HttpScriptServer::reply("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nfffffffffff\r\nxx"),
         200, "", XR_HTTP_ERROR_BAD_RESPONSE},
        {"chunk size with junk after the digits fails",
         HttpScriptServer::reply("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2x\r\nok\r\n0\r\n\r\n"), 200, "",
         XR_HTTP_ERROR_BAD_RESPONSE},
        {"chunk cut by the end",
         HttpScriptServer::reply("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\nshort",
                                 HttpScriptServer::close_connection),
         200, "short", XR_HTTP_ERROR_BAD_RESPONSE},
        {"chunk without its line break",
         HttpScriptServer::reply("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nokX\r\n0\r\n\r\n"), 200,
         "ok", XR_HTTP_ERROR_BAD_RESPONSE},
        {"chunked body without its last chunk",
         HttpScriptServer::reply("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nok\r\n",
                                 HttpScriptServer::close_connection),
         200, "ok", XR_HTTP_ERROR_BAD_RESPONSE},
        {"header line of 4096 bytes without LF",
         HttpScriptServer::reply("HTTP/1.1 200 OK\r\nX-Long: " + repeat('a', 4096)),
         -1, "", XR_HTTP_ERROR_LINE_TOO_LONG},
        {"head beyond 32 KiB",
         [] {
             std::string head = "HTTP/1.1 200 OK\r\n";
             for (int i = 0; i < 400; ++i)
                 head += "X-Field-" + std::to_string(i) + ": " + repeat('v', 90) + "\r\n";
             return HttpScriptServer::reply(head + "\r\n");
         }(),
         -1, "", XR_HTTP_ERROR_LINE_TOO_LONG},
        {"304 is a final response",
         HttpScriptServer::reply("HTTP/1.1 304 Not Modified\r\nContent-Length: 50\r\n\r\n"), 304, "", no_http_error},
        {"redirect without Location fails", HttpScriptServer::reply("HTTP/1.1 302 Found\r\nContent-Length: 0\r\n\r\n"),
         -1, "", XR_HTTP_ERROR_BAD_RESPONSE},
        {"300 is a final response",
         HttpScriptServer::reply("HTTP/1.1 300 Multiple Choices\r\nContent-Length: 4\r\n\r\nlist"),
         300, "list", no_http_error},
    };
    for (const ResponseCase& c : cases) {
        SCOPED_TRACE(c.name);
        HttpScriptServer server([&](const HttpScriptServer::Request&) { return c.reply; });
        auto r = fetch(server.url("/case"));
        EXPECT_TRUE(r->done);
        EXPECT_EQ(r->status, c.status);
        EXPECT_EQ(r->body, c.body);
        EXPECT_EQ(r->error, c.error);
        EXPECT_EQ(r->events.back(), "done");
    }
}

TEST_F(HttpResponseTest, BodyIsHandedOnWhenTheBufferIsFullOrTheLengthReached)
{
    // 200 body bytes come with the head, the other 4800 later at once.
    const std::string body = repeat('x', 5000);
    HttpScriptServer server([&](const HttpScriptServer::Request&) {
        return Reply{{Piece{"HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n" + body.substr(0, 200)},
                      Piece{body.substr(200), 150}}};
    });
    auto r = fetch(server.url());
    EXPECT_EQ(r->body, body);
    EXPECT_EQ(r->pieces, std::vector<int>({200, 4096, 704}));
}

TEST_F(HttpResponseTest, LargeChunkedAndSlowBodiesArriveInPiecesOfAtMost4096Bytes)
{
    std::string big;
    for (int i = 0; i < 100000; ++i)
        big += static_cast<char>('a' + i % 26);
    struct Case {
        const char* name;
        Reply reply;
    } cases[] = {
        {"one chunk of 100000",
         Reply{{Piece{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n186a0\r\n" + big + "\r\n0\r\n\r\n"}}}},
        {"length in slow pieces",
         Reply{{Piece{"HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + big.substr(0, 3)},
                Piece{big.substr(3, 5000), 30}, Piece{big.substr(5003, 1), 30}, Piece{big.substr(5004), 30}}}},
        {"chunks split anywhere",
         Reply{{Piece{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1"},
                Piece{"86a0\r", 20}, Piece{"\n" + big.substr(0, 7), 20}, Piece{big.substr(7) + "\r", 20},
                Piece{"\n0\r\n", 20}, Piece{"\r\n", 20}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HttpScriptServer server([&](const HttpScriptServer::Request&) { return c.reply; });
        auto r = fetch(server.url());
        EXPECT_EQ(r->status, 200);
        EXPECT_EQ(r->error, no_http_error);
        EXPECT_TRUE(r->body == big) << r->body.size();
    }
}

TEST_F(HttpResponseTest, ResponseHeadersAreFoundWithoutRegardToCase)
{
    HttpScriptServer server([](const HttpScriptServer::Request&) {
        return HttpScriptServer::reply("HTTP/1.1 200 OK\r\nX-Folded: first\r\n   second  \r\nSet-Thing: a\r\n"
                                       "set-thing: b\r\nContent-Length: 0\r\n\r\n");
    });
    HttpRecorder recorder;
    std::vector<std::pair<std::string, std::string>> seen;
    recorder.on_event = [&](XrHttpRequest* request, const std::string& e) {
        if (e != "status 200")
            return;
        for (const char* name : {"x-folded", "SET-THING", "Content-Length", "Missing"}) {
            XrString value;
            if (request->get_response_header(XrString(name), value))
                seen.emplace_back(name, wide_to_narrow_static(value.c_str()));
            else
                seen.emplace_back(name, "<none>");
        }
    };
    XrHttpRequest* request = make(HttpFetch{server.url()}, recorder);
    ASSERT_NE(request, nullptr);
    request->start();
    ASSERT_TRUE(pump_until([&] { return recorder.done; }));
    std::vector<std::pair<std::string, std::string>> expected = {
        {"x-folded", "first second"}, {"SET-THING", "a, b"}, {"Content-Length", "0"}, {"Missing", "<none>"}};
    EXPECT_EQ(seen, expected);
}

TEST_F(HttpResponseTest, ResponsesWithoutBodyEndAtTheHeadAndKeepTheConnection)
{
    // A HEAD answer announces a length but carries nothing; 204 and 304
    // never carry a body.
    HttpScriptServer server([](const HttpScriptServer::Request& request) {
        if (request.request_line.rfind("HEAD", 0) == 0)
            return HttpScriptServer::reply("HTTP/1.1 200 OK\r\nContent-Length: 1234\r\n\r\n");
        if (request.request_line.find("/204") != std::string::npos)
            return HttpScriptServer::reply("HTTP/1.1 204 No Content\r\n\r\n");
        return HttpScriptServer::reply("HTTP/1.1 304 Not Modified\r\nTransfer-Encoding: chunked\r\n\r\n");
    });
    HttpFetch head{server.url("/head")};
    head.method = XR_HTTP_HEAD;
    auto r1 = fetch(head, 3000);
    EXPECT_EQ(r1->status, 200);
    EXPECT_EQ(r1->error, no_http_error);
    auto r2 = fetch(server.url("/204"));
    EXPECT_EQ(r2->status, 204);
    EXPECT_EQ(r2->error, no_http_error);
    auto r3 = fetch(server.url("/304"));
    EXPECT_EQ(r3->status, 304);
    EXPECT_EQ(r3->error, no_http_error);
    EXPECT_EQ(server.connection_count(), 1);
}
