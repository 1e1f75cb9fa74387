#include "common/update/xr_updatelogger.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Records the calls; completes them at once or when told.
class FakeRpc : public XrUpdateLoggerRpc {
public:
    static FakeRpc* last;
    static bool fail_create;

    explicit FakeRpc(XrUpdateLogger* l) : logger(l) { last = this; }
    void call(const XrString& path, const Params& params) override
    {
        EXPECT_EQ(path, XrString("/rpc/event_logger"));
        EXPECT_FALSE(busy) << "one call at a time";
        calls.push_back(params);
        busy = true;
        if (complete_at_once)
            complete(true);
    }
    void quit() override { quitted = true; }
    void complete(bool ok)
    {
        busy = false;
        logger->rpc_done(ok);
    }

    XrUpdateLogger* logger;
    std::vector<Params> calls;
    bool busy = false;
    bool complete_at_once = false;
    bool quitted = false;
    XrString host, proxy;
    int port = 0, proxy_port = 0;
};
FakeRpc* FakeRpc::last = nullptr;
bool FakeRpc::fail_create = false;

XrUpdateLoggerRpc* make_fake(XrUpdateLogger* logger, XrFsm*, XrEventloopBase*, const XrString& host, int port,
                             const XrString& proxy_host, int proxy_port)
{
    if (FakeRpc::fail_create)
        return nullptr;
    FakeRpc* rpc = new FakeRpc(logger);
    rpc->host = host;
    rpc->port = port;
    rpc->proxy = proxy_host;
    rpc->proxy_port = proxy_port;
    return rpc;
}

class UpdateLoggerTest : public ::testing::Test, public XrUpdateLoggerListener {
protected:
    void SetUp() override
    {
        XrUpdateLogger::set_rpc_factory(make_fake);
        FakeRpc::last = nullptr;
        FakeRpc::fail_create = false;
    }
    void TearDown() override
    {
        delete FakeRpc::last;
        XrUpdateLogger::set_rpc_factory(nullptr);
    }
    void logger_finished(XrUpdateLogger*) override { ++finished; }

    XrUpdateLogger* make(const char* cookie = "c00kie")
    {
        return new XrUpdateLogger(&fsm, nullptr, XrString("updates.example"), 8080, XrString("proxy"), 3128, this,
                                  cookie);
    }

    XrFsm fsm;
    int finished = 0;
};

typedef XrUpdateLoggerRpc::Params Params;

TEST_F(UpdateLoggerTest, SendsEachKindOfEvent)
{
    XrUpdateLogger* logger = make();
    ASSERT_TRUE(logger->start());
    FakeRpc* rpc = FakeRpc::last;
    EXPECT_EQ(rpc->host, XrString("updates.example"));
    EXPECT_EQ(rpc->port, 8080);
    EXPECT_EQ(rpc->proxy, XrString("proxy"));
    rpc->complete_at_once = true;
    logger->log_message(XrString(L"hello \u00e9\u0141"));
    logger->log_progress(XrString("download"), 5, 10);
    logger->log_error(XrString("broken"));
    logger->quit();
    EXPECT_EQ(finished, 1);
    ASSERT_EQ(rpc->calls.size(), 3u);
    EXPECT_EQ(rpc->calls[0], (Params{{"cookie", "c00kie"}, {"type", "message"}, {"event", "hello \xe9\x41"}}));
    EXPECT_EQ(rpc->calls[1], (Params{{"cookie", "c00kie"},
                                     {"type", "progress"},
                                     {"operation", "download"},
                                     {"done", "5"},
                                     {"total", "10"}}));
    EXPECT_EQ(rpc->calls[2], (Params{{"cookie", "c00kie"}, {"type", "error"}, {"message", "broken"}}));
    EXPECT_TRUE(rpc->quitted);
}

TEST_F(UpdateLoggerTest, ProgressWhileSendingIsMergedAndQuitStillSends)
{
    XrUpdateLogger* logger = make();
    ASSERT_TRUE(logger->start());
    FakeRpc* rpc = FakeRpc::last;
    logger->log_message(XrString("first"));
    ASSERT_EQ(rpc->calls.size(), 1u);
    logger->log_progress(XrString("a"), 1, 9);
    logger->log_progress(XrString("b"), 2, 9);
    logger->log_progress(XrString("c"), 3, 9);
    logger->quit();
    logger->log_message(XrString("after quit"));
    EXPECT_EQ(rpc->calls.size(), 1u);
    rpc->complete(false); // failures are not reported nor repeated
    ASSERT_EQ(rpc->calls.size(), 2u);
    EXPECT_EQ(rpc->calls[1][2], (std::pair<std::string, std::string>("operation", "c")));
    EXPECT_EQ(rpc->calls[1][3].second, "3");
    logger->log_progress(XrString("d"), 4, 9); // a new event: the merged one is on its way
    rpc->complete(true);
    ASSERT_EQ(rpc->calls.size(), 3u);
    EXPECT_EQ(rpc->calls[2][2].second, "after quit");
    EXPECT_EQ(finished, 0);
    rpc->complete(true);
    ASSERT_EQ(rpc->calls.size(), 4u);
    EXPECT_EQ(rpc->calls[3][2].second, "d");
    rpc->complete(true);
    EXPECT_EQ(finished, 1);
}

TEST_F(UpdateLoggerTest, WithoutClientEventsAreDropped)
{
    FakeRpc::fail_create = true;
    std::string long_cookie(400, 'k');
    XrUpdateLogger* logger = make(long_cookie.c_str());
    EXPECT_FALSE(logger->start());
    logger->log_message(XrString("lost"));
    logger->log_progress(XrString("lost"), 1, 2);
    EXPECT_EQ(finished, 0);
    logger->quit();
    EXPECT_EQ(finished, 1);
}

TEST_F(UpdateLoggerTest, CookieIsCutTo255Bytes)
{
    std::string long_cookie(400, 'k');
    XrUpdateLogger* logger = make(long_cookie.c_str());
    ASSERT_TRUE(logger->start());
    FakeRpc* rpc = FakeRpc::last;
    rpc->complete_at_once = true;
    logger->log_message(XrString("x"));
    logger->quit();
    ASSERT_EQ(rpc->calls.size(), 1u);
    EXPECT_EQ(rpc->calls[0][0].second, std::string(255, 'k'));
    EXPECT_EQ(finished, 1);
}

} // namespace
