// What the HTTP client's tests share: a listener that records the calls of
// one request and checks the listener contract, and a fixture with the event
// loop, the scheduler, the Internet-access object and one client.
#pragma once

#include "common/fsm/xr_fsm.h"
#include "common/os/main_loop_pump.h"
#include "common/os/xr_eventloop.h"
#include "common/os/xr_inet.h"
#include "common/update/xr_httpclientimpl.h"
#include "platform/conic/conic.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// HttpRecorder::error while no failure was reported.
constexpr int no_http_error = -1;

// Records one request's listener calls and every break of the contract:
// status at most once and before any data, pieces of 1 to 4096 bytes,
// failure at most once, done exactly once and last.
class HttpRecorder : public XrHttpRequestListener {
public:
    void status_received(XrHttpRequest* request, int s) override
    {
        check(statuses == 0 && pieces.empty() && failures == 0, "status after status, data or failure");
        ++statuses;
        status = s;
        event(request, "status " + std::to_string(s));
    }
    void data_received(XrHttpRequest* request, const BYTE* bytes, int length) override
    {
        check(length > 0 && length <= 4096, "piece of " + std::to_string(length) + " bytes");
        check(failures == 0, "data after failure");
        body.append(reinterpret_cast<const char*>(bytes), static_cast<size_t>(length));
        pieces.push_back(length);
        event(request, "data");
    }
    void request_failed(XrHttpRequest* request, XrHttpError e) override
    {
        check(failures == 0, "second failure");
        ++failures;
        error = e;
        event(request, "failed " + std::to_string(e));
    }
    void request_done(XrHttpRequest* request) override
    {
        check(!done, "second done");
        done = true;
        event(request, "done");
    }

    // The calls in order, data collapsed into one "data" per piece.
    std::vector<std::string> events;
    std::vector<std::string> violations;
    std::function<void(XrHttpRequest*, const std::string&)> on_event;
    int status = -1;
    int statuses = 0;
    int error = no_http_error;
    int failures = 0;
    bool done = false;
    std::string body;
    std::vector<int> pieces;

private:
    void check(bool ok, const std::string& what)
    {
        if (!ok || done)
            violations.push_back(done ? "call after done: " + what : what);
    }
    void event(XrHttpRequest* request, const std::string& e)
    {
        events.push_back(e);
        if (on_event)
            on_event(request, e);
    }
};

struct HttpFetch {
    explicit HttpFetch(std::string url_) : url(std::move(url_)) {}

    std::string url;
    XrHttpMethod method = XR_HTTP_GET;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    bool with_body = false;
};

class HttpClientFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        con_ic_standin_reset();
        unsetenv("http_proxy");
        ASSERT_TRUE(XrInet::create_inet(&loop));
        client = static_cast<XrHttpClientImpl*>(XrHttpClient::create(&fsm, &loop));
        ASSERT_NE(client, nullptr);
        client->set_timeouts(10000, 10000);
    }
    void TearDown() override
    {
        client->destroy();
        XrInet::destroy_inet();
        pump_pending();
        con_ic_standin_reset();
        unsetenv("http_proxy");
    }

    XrHttpRequest* make(const HttpFetch& f, HttpRecorder& recorder, int user_data = 0)
    {
        XrHttpRequest* request = client->create_request(XrString(f.url.c_str()), f.method, &recorder, user_data);
        if (request == nullptr)
            return nullptr;
        for (const auto& h : f.headers)
            request->set_header(XrString(h.first.c_str()), XrString(h.second.c_str()));
        if (f.with_body)
            request->set_body(reinterpret_cast<const BYTE*>(f.body.data()), static_cast<int>(f.body.size()));
        return request;
    }

    // Runs one request to its end.
    std::unique_ptr<HttpRecorder> fetch(const HttpFetch& f, int limit_ms = 10000)
    {
        auto recorder = std::make_unique<HttpRecorder>();
        XrHttpRequest* request = make(f, *recorder);
        EXPECT_NE(request, nullptr) << f.url;
        if (request == nullptr)
            return recorder;
        request->start();
        EXPECT_TRUE(pump_until([&] { return recorder->done; }, limit_ms)) << f.url;
        EXPECT_EQ(recorder->violations, std::vector<std::string>()) << f.url;
        return recorder;
    }
    std::unique_ptr<HttpRecorder> fetch(const std::string& url) { return fetch(HttpFetch{url}); }

    XrEventLoop loop;
    XrFsm fsm;
    XrHttpClientImpl* client = nullptr;
};
