// Heads built to cost the parser as much as they can within the head limit
// (32 KiB): folded continuation lines, one field repeated, many fields. The
// parser's time grows with the head's length only (a head four times as
// long costs about four times as much), and a whole 32 KiB head costs the
// client under 10 ms of CPU (more under the sanitizers, which make every
// allocation dear).
#include <time.h>

#include "common/update/http_script_server.h"
#include "common/update/http_test_client.h"

namespace {

double thread_cpu_ms()
{
    struct timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

#if defined(__SANITIZE_ADDRESS__)
const double limit_ms = 80.0;
#else
const double limit_ms = 10.0;
#endif

// Lines made by line(i) after "X-First: a\r\n" until the head nearly
// reaches size bytes; the head ends and an empty body follows.
template <class Line>
std::string hostile_head(Line line, size_t size)
{
    std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nX-First: a\r\n";
    for (int i = 0;; ++i) {
        const std::string next = line(i);
        if (head.size() + next.size() + 2 > size)
            break;
        head += next;
    }
    return head + "\r\n";
}

class HttpHostileHeadTest : public HttpClientFixture {
protected:
    // The client's CPU time for a reply with this head, the best of three
    // (a busy machine does not count).
    double cost(const std::string& head, const char* name)
    {
        HttpScriptServer server([head](const HttpScriptServer::Request&) { return HttpScriptServer::reply(head); });
        double best = 1e9;
        for (int run = 0; run < 3; ++run) {
            const double start = thread_cpu_ms();
            const auto r = fetch(server.url());
            best = std::min(best, thread_cpu_ms() - start);
            EXPECT_EQ(r->status, 200) << name;
            EXPECT_EQ(r->error, no_http_error) << name;
        }
        return best;
    }
};

TEST_F(HttpHostileHeadTest, LongHeadsCostTimeInProportionToTheirLength)
{
    using Line = std::string (*)(int);
    struct Case {
        const char* name;
        Line line;
    };
    const Case cases[] = {
        {"one field folded over thousands of lines", [](int) { return std::string(" b\r\n"); }},
        {"one field repeated", [](int) { return std::string("X-First: b\r\n"); }},
        {"thousands of fields", [](int i) { return "X-" + std::to_string(i) + ": b\r\n"; }},
    };
    for (const Case& c : cases) {
        const double quarter = cost(hostile_head(c.line, 8175), c.name);
        const double whole = cost(hostile_head(c.line, 32700), c.name);
        EXPECT_LT(whole, limit_ms) << c.name;
        // Quadratic work would cost sixteen times as much.
        EXPECT_LT(whole, 8 * quarter + 1.0) << c.name << ": " << quarter << " ms for a quarter";
    }
}

} // namespace
