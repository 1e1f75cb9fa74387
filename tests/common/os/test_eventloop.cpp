#include "common/os/xr_eventhandler.h"
#include "common/os/xr_eventloop.h"
#include "common/os/main_loop_pump.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// Logs "<name>.execute(<data>)" and "<name>.cancelled(<data>)"; an optional
// hook runs inside execute.
class LogHandler : public XrEventHandler {
public:
    LogHandler(std::vector<std::string>& log, const char* name) : m_log(log), m_name(name) {}
    void execute(XrEventloopBase* loop, void* data) override
    {
        EXPECT_EQ(loop, xr_global_event_loop);
        m_log.push_back(m_name + ".execute(" + std::to_string(reinterpret_cast<intptr_t>(data)) + ")");
        if (on_execute)
            on_execute(loop, data);
    }
    void cancelled(XrEventloopBase*, void* data) override
    {
        m_log.push_back(m_name + ".cancelled(" + std::to_string(reinterpret_cast<intptr_t>(data)) + ")");
        if (on_cancelled)
            on_cancelled(data);
    }
    std::function<void(XrEventloopBase*, void*)> on_execute;
    std::function<void(void*)> on_cancelled;

private:
    std::vector<std::string>& m_log;
    std::string m_name;
};

void* id(intptr_t v)
{
    return reinterpret_cast<void*>(v);
}

class EventLoopTest : public ::testing::Test {
protected:
    void TearDown() override { pump_pending(); }
    XrEventLoop loop;
    std::vector<std::string> log;
};

using Log = std::vector<std::string>;

} // namespace

TEST_F(EventLoopTest, ZeroDelayTimeoutFiresOnceOnTheNextIteration)
{
    LogHandler h(log, "h");
    ASSERT_TRUE(loop.add_timeout(0, 0, &h, id(7)));
    EXPECT_TRUE(log.empty()); // not from inside add_timeout
    EXPECT_EQ(loop.get_timeout_count(), 1);
    g_main_context_iteration(nullptr, FALSE);
    EXPECT_EQ(log, Log({"h.execute(7)"}));
    pump_for(20);
    EXPECT_EQ(log, Log({"h.execute(7)"}));
    EXPECT_EQ(loop.get_timeout_count(), 0);
}

TEST_F(EventLoopTest, TimeoutsFireInOrderOfTheirDelays)
{
    LogHandler a(log, "a"), b(log, "b"), c(log, "c");
    struct Case {
        LogHandler* handler;
        int seconds;
        int ms;
        intptr_t data;
    } cases[] = {
        {&c, 0, 60, 3}, {&a, 0, 0, 1}, {&b, 0, 30, 2}, {&a, 0, 0, 4}, {&b, 0, 60, 5},
    };
    for (const Case& c : cases)
        ASSERT_TRUE(loop.add_timeout(c.seconds, c.ms, c.handler, id(c.data)));
    ASSERT_TRUE(pump_until([&] { return log.size() == 5; }));
    // Equal delays keep the order in which they were armed.
    EXPECT_EQ(log, Log({"a.execute(1)", "a.execute(4)", "b.execute(2)", "c.execute(3)", "b.execute(5)"}));
}

TEST_F(EventLoopTest, RemoveTimeoutMatchesHandlerAndData)
{
    struct Case {
        const char* what;
        int remove_handler; // index into handlers, -1 = null
        intptr_t remove_data;
        Log cancelled;
        Log fired;
    } cases[] = {
        {"handler and data", 0, 2, {"a.cancelled(2)"}, {"a.execute(1)", "b.execute(1)", "b.execute(2)"}},
        {"handler, any data", 0, 0, {"a.cancelled(1)", "a.cancelled(2)"}, {"b.execute(1)", "b.execute(2)"}},
        {"any handler, data", -1, 1, {"a.cancelled(1)", "b.cancelled(1)"}, {"a.execute(2)", "b.execute(2)"}},
        {"everything", -1, 0, {"a.cancelled(1)", "a.cancelled(2)", "b.cancelled(1)", "b.cancelled(2)"}, {}},
        {"nothing matches", 1, 9, {}, {"a.execute(1)", "a.execute(2)", "b.execute(1)", "b.execute(2)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        log.clear();
        LogHandler a(log, "a"), b(log, "b");
        LogHandler* handlers[] = {&a, &b};
        loop.add_timeout(0, 0, &a, id(1));
        loop.add_timeout(0, 0, &a, id(2));
        loop.add_timeout(0, 0, &b, id(1));
        loop.add_timeout(0, 0, &b, id(2));
        loop.remove_timeout(c.remove_handler < 0 ? nullptr : handlers[c.remove_handler], id(c.remove_data));
        EXPECT_EQ(log, c.cancelled);
        log.clear();
        pump_for(20);
        EXPECT_EQ(log, c.fired);
        EXPECT_EQ(loop.get_timeout_count(), 0);
    }
}

TEST_F(EventLoopTest, HandlerRearmsItselfFromExecute)
{
    LogHandler h(log, "h");
    int left = 3;
    h.on_execute = [&](XrEventloopBase* l, void* data) {
        // The firing timeout is already gone: removing it finds nothing.
        l->remove_timeout(&h, data);
        if (--left > 0) {
            EXPECT_TRUE(l->add_timeout(0, 1, &h, data));
        }
    };
    loop.add_timeout(0, 1, &h, id(5));
    ASSERT_TRUE(pump_until([&] { return left == 0; }));
    pump_for(20);
    EXPECT_EQ(log, Log({"h.execute(5)", "h.execute(5)", "h.execute(5)"}));
}

TEST_F(EventLoopTest, CancelledMayArmAndRemoveTimeouts)
{
    LogHandler a(log, "a"), b(log, "b");
    // a's cancellation arms a new timeout of its own (not cancelled by the
    // removal under way) and removes b's.
    a.on_cancelled = [&](void* data) {
        if (data == id(1)) {
            loop.add_timeout(0, 0, &a, id(3));
            loop.remove_timeout(&b, nullptr);
        }
    };
    loop.add_timeout(0, 0, &a, id(1));
    loop.add_timeout(0, 0, &b, id(1));
    loop.add_timeout(0, 0, &a, id(2));
    loop.remove_timeout(&a, nullptr);
    EXPECT_EQ(log, Log({"a.cancelled(1)", "b.cancelled(1)", "a.cancelled(2)"}));
    log.clear();
    pump_for(20);
    EXPECT_EQ(log, Log({"a.execute(3)"}));
}

TEST_F(EventLoopTest, DelayCountsSecondsAndMilliseconds)
{
    LogHandler h(log, "h");
    gint64 start = g_get_monotonic_time();
    loop.add_timeout(0, 120, &h, id(1));
    ASSERT_TRUE(pump_until([&] { return !log.empty(); }));
    EXPECT_GE(g_get_monotonic_time() - start, 120000);
    // A negative delay fires at once rather than after 49 days.
    loop.add_timeout(-1, 0, &h, id(2));
    ASSERT_TRUE(pump_until([&] { return log.size() == 2; }, 200));
}

TEST(EventLoopLifetime, DestructionCancelsTimeoutsAndWindowHandlers)
{
    std::vector<std::string> log;
    LogHandler t(log, "t"), w(log, "w");
    {
        XrEventLoop loop;
        EXPECT_EQ(xr_global_event_loop, &loop);
        loop.add_timeout(10, 0, &t, id(1));
        loop.add_timeout(0, 0, &t, id(2));
        loop.add_window_msg_handler(&w, id(9));
    }
    EXPECT_EQ(xr_global_event_loop, nullptr);
    EXPECT_EQ(log, Log({"t.cancelled(1)", "t.cancelled(2)", "w.cancelled(0)"}));
    log.clear();
    pump_for(20);
    EXPECT_TRUE(log.empty());
}

TEST(EventLoopLifetime, SecondLoopIsFatal)
{
    XrEventLoop loop;
    EXPECT_DEATH({ XrEventLoop second; }, "xr_global_event_loop == 0");
}

TEST_F(EventLoopTest, WindowMessageIds)
{
    LogHandler a(log, "a"), b(log, "b"), c(log, "c");
    EXPECT_EQ(loop.add_window_msg_handler(&a, id(1)), 0);
    EXPECT_EQ(loop.add_window_msg_handler(&b, id(2)), 1);
    EXPECT_EQ(loop.add_window_msg_handler(&c, id(3)), 2);
    EXPECT_TRUE(loop.remove_window_msg_handler(2));
    EXPECT_EQ(loop.add_window_msg_handler(&c, id(3)), 2);
    EXPECT_TRUE(loop.remove_window_msg_handler(0));
    EXPECT_EQ(loop.add_window_msg_handler(&a, id(1)), 3);
    EXPECT_FALSE(loop.remove_window_msg_handler(0));
    EXPECT_FALSE(loop.remove_window_msg_handler(17));
    EXPECT_EQ(log, Log({"c.cancelled(0)", "a.cancelled(0)"}));
    for (int i = 1; i <= 3; ++i)
        loop.remove_window_msg_handler(i);
}

TEST_F(EventLoopTest, WindowMessagesAreDeliveredAtOnce)
{
    LogHandler a(log, "a"), b(log, "b");
    int ida = loop.add_window_msg_handler(&a, id(1));
    int idb = loop.add_window_msg_handler(&b, id(2));
    EXPECT_EQ(loop.post_window_msg(idb, id(40)), 0);
    EXPECT_EQ(loop.post_window_msg(ida, id(41)), 0);
    EXPECT_EQ(loop.post_window_msg(99, id(42)), 0);
    EXPECT_EQ(log, Log({"b.execute(40)", "a.execute(41)"}));
    // A handler may remove itself while it runs.
    a.on_execute = [&](XrEventloopBase* l, void*) { EXPECT_TRUE(l->remove_window_msg_handler(ida)); };
    log.clear();
    loop.post_window_msg(ida, id(43));
    loop.post_window_msg(ida, id(44));
    EXPECT_EQ(log, Log({"a.execute(43)", "a.cancelled(0)"}));
    loop.remove_window_msg_handler(idb);
}
