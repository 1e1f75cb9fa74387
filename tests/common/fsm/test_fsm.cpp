#include "common/fsm/xr_fsm.h"
#include "common/os/xr_eventloop.h"
#include "common/os/main_loop_pump.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using Log = std::vector<std::string>;

// Returns its scripted results in turn (the last one again when the script
// is used up) and logs every step as its name and finished() as "fin(name)".
class ScriptThread : public XrFsmThread {
public:
    ScriptThread(XrFsm* fsm, const std::string& name, std::vector<int> script, Log& log, int prio = 1)
        : XrFsmThread(fsm, name.c_str()), m_name(name), m_script(std::move(script)), m_log(log)
    {
        priority = prio;
    }
    XrFsmResult step() override
    {
        m_log.push_back(m_name);
        int i = steps < static_cast<int>(m_script.size()) ? steps : static_cast<int>(m_script.size()) - 1;
        ++steps;
        if (on_step)
            on_step(steps);
        return m_script[i];
    }
    void finished() override { m_log.push_back("fin(" + m_name + ")"); }
    std::function<void(int)> on_step; // with the number of this step
    int steps = 0;

private:
    std::string m_name;
    std::vector<int> m_script;
    Log& m_log;
};

class IdleCounter : public XrFsmListener {
public:
    void fsm_idle() override { ++calls; }
    int calls = 0;
};

class FsmTest : public ::testing::Test {
protected:
    FsmTest() { fsm.set_idle_listener(&idle); }
    Log log;
    IdleCounter idle;
    XrFsm fsm;
};

} // namespace

TEST_F(FsmTest, StepResults)
{
    struct Thread {
        const char* name;
        std::vector<int> script;
        int priority;
    };
    struct Case {
        const char* what;
        std::vector<Thread> threads; // activated in this order
        Log expected;
    } cases[] = {
        {"continue runs the same thread at once", {{"A", {0, 0, 0, 2}, 1}, {"B", {2}, 1}},
         {"A", "A", "A", "A", "fin(A)", "B", "fin(B)"}},
        {"yielding threads take turns", {{"A", {1, 1, 2}, 1}, {"B", {1, 1, 2}, 1}},
         {"A", "B", "A", "B", "A", "fin(A)", "B", "fin(B)"}},
        {"suspend leaves the run queue", {{"A", {3}, 1}, {"B", {1, 2}, 1}}, {"A", "B", "B", "fin(B)"}},
        {"any other value suspends", {{"A", {7}, 1}, {"B", {-1}, 1}}, {"A", "B"}},
        {"priority 0 is served first", {{"A", {1, 2}, 1}, {"B", {1, 2}, 0}, {"C", {2}, 0}},
         {"B", "C", "fin(C)", "B", "fin(B)", "A", "A", "fin(A)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        log.clear();
        idle.calls = 0;
        std::vector<std::unique_ptr<ScriptThread>> threads;
        for (const Thread& t : c.threads) {
            threads.push_back(std::make_unique<ScriptThread>(&fsm, t.name, t.script, log, t.priority));
            threads.back()->activate();
        }
        EXPECT_TRUE(log.empty()); // activate does not run
        fsm.run();
        EXPECT_EQ(log, c.expected);
        EXPECT_EQ(idle.calls, 1);
        EXPECT_EQ(fsm.get_queue(0).get_head(), nullptr);
        EXPECT_EQ(fsm.get_queue(1).get_head(), nullptr);
    }
}

TEST_F(FsmTest, PriorityZeroActivatedByAYieldingThreadRunsBeforeItsNextStep)
{
    ScriptThread b(&fsm, "B", {2}, log, 0);
    ScriptThread a(&fsm, "A", {1, 2}, log);
    a.on_step = [&](int n) {
        if (n == 1)
            b.activate();
    };
    a.activate();
    fsm.run();
    EXPECT_EQ(log, Log({"A", "B", "fin(B)", "A", "fin(A)"}));
}

TEST_F(FsmTest, RunFromInsideAStepIsAbsorbedByTheOuterRun)
{
    ScriptThread b(&fsm, "B", {2}, log);
    ScriptThread a(&fsm, "A", {2}, log);
    a.on_step = [&](int) {
        b.activate();
        EXPECT_TRUE(fsm.is_running());
        fsm.run(); // returns at once
        log.push_back("inner run returned");
    };
    a.activate();
    fsm.run();
    EXPECT_EQ(log, Log({"A", "inner run returned", "fin(A)", "B", "fin(B)"}));
    EXPECT_FALSE(fsm.is_running());
    EXPECT_EQ(idle.calls, 1);
}

TEST_F(FsmTest, IdleListenerOnEveryRunThatEmptiesTheQueues)
{
    fsm.run();
    EXPECT_EQ(idle.calls, 1);
    ScriptThread a(&fsm, "A", {3}, log);
    a.activate();
    fsm.run();
    EXPECT_EQ(idle.calls, 2);
    fsm.set_idle_listener(nullptr);
    fsm.run();
    EXPECT_EQ(idle.calls, 2);
}

namespace {

// A thread whose first step starts an asynchronous call; complete() is the
// completion. Logs "start" / "resumed".
class AsyncThread : public XrFsmThread {
public:
    AsyncThread(XrFsm* fsm, Log& log) : XrFsmThread(fsm, "async"), m_log(log) {}
    XrFsmResult step() override
    {
        if (state == 0) {
            state = 1;
            m_log.push_back("start");
            set_in_async_call(true);
            thread_async_wait = true;
            if (complete_at_once)
                thread_async_callback();
            return take_wait_result();
        }
        m_log.push_back("resumed");
        return XR_FSM_FINISH;
    }
    bool complete_at_once = false;
    int state = 0;

private:
    Log& m_log;
};

} // namespace

TEST_F(FsmTest, AsyncCompletionBeforeTheStepReturnsContinuesAtOnce)
{
    AsyncThread t(&fsm, log);
    t.complete_at_once = true;
    t.activate();
    fsm.run();
    EXPECT_EQ(log, Log({"start", "resumed"}));
    EXPECT_FALSE(t.thread_in_async_call);
    EXPECT_FALSE(t.thread_async_wait);
}

TEST_F(FsmTest, LaterAsyncCompletionWakesTheThread)
{
    AsyncThread t(&fsm, log);
    t.activate();
    fsm.run();
    EXPECT_EQ(log, Log({"start"}));
    EXPECT_EQ(idle.calls, 1);
    EXPECT_FALSE(t.thread_async_wait);
    t.thread_async_callback();
    EXPECT_EQ(log, Log({"start", "resumed"}));
    EXPECT_EQ(idle.calls, 2);
}

TEST_F(FsmTest, PostedAsyncCompletionRunsFromTheMainLoop)
{
    XrEventLoop loop;
    AsyncThread t(&fsm, log);
    t.activate();
    fsm.run();
    t.post_async_callback(&loop);
    EXPECT_EQ(log, Log({"start"}));
    ASSERT_TRUE(pump_until([&] { return log.size() == 2; }));
    EXPECT_EQ(log[1], "resumed");
}

TEST_F(FsmTest, SchedulerRunsFromAPostedImmediateCallback)
{
    XrEventLoop loop;
    ScriptThread a(&fsm, "A", {2}, log);
    a.activate();
    ASSERT_TRUE(post_immediate_callback(&fsm, &loop));
    EXPECT_TRUE(log.empty());
    ASSERT_TRUE(pump_until([&] { return log.size() == 2; }));
}

TEST_F(FsmTest, WaitQueues)
{
    XrFsmWaitQueue waiting(&fsm);
    std::vector<std::unique_ptr<ScriptThread>> threads;
    for (const char* name : {"A", "B", "C"}) {
        threads.push_back(std::make_unique<ScriptThread>(&fsm, name, std::vector<int>{3, 2}, log));
        ScriptThread* t = threads.back().get();
        t->on_step = [&waiting, t](int n) {
            if (n == 1)
                waiting.add(t); // waits: the step returns 3
        };
        t->activate();
    }
    fsm.run();
    EXPECT_EQ(log, Log({"A", "B", "C"}));
    idle.calls = 0;
    log.clear();
    waiting.wake_one();
    EXPECT_EQ(log, Log({"A", "fin(A)"}));
    EXPECT_EQ(idle.calls, 1);
    log.clear();
    idle.calls = 0;
    waiting.wake_all();
    EXPECT_EQ(log, Log({"B", "fin(B)", "C", "fin(C)"}));
    EXPECT_EQ(idle.calls, 1); // one run
    waiting.wake_all();       // empty: nothing, no run
    waiting.wake_one();
    EXPECT_EQ(idle.calls, 1);
}

TEST_F(FsmTest, EndlessMachineDoesNotFreezeTheMainLoop)
{
    XrEventLoop loop;
    bool stop = false;
    struct Stopper : XrEventHandler {
        bool* flag;
        void execute(XrEventloopBase*, void*) override { *flag = true; }
    } stopper;
    stopper.flag = &stop;
    struct Finisher : ScriptThread {
        using ScriptThread::ScriptThread;
        bool* stop = nullptr;
        XrFsmResult step() override { return *stop ? XR_FSM_FINISH : XR_FSM_CONTINUE; }
    };
    Finisher f(&fsm, "F", {0}, log);
    f.stop = &stop;
    f.activate();
    fsm.run();
    // run() handed the main loop back after its step bound.
    EXPECT_FALSE(fsm.is_running());
    EXPECT_EQ(fsm.get_queue(1).get_head(), &f);
    loop.add_timeout(0, 0, &stopper, nullptr);
    ASSERT_TRUE(pump_until([&] { return stop; }));
    ASSERT_TRUE(pump_until([&] { return fsm.get_queue(1).get_head() == nullptr; }));
    EXPECT_EQ(log, Log({"fin(F)"}));
    EXPECT_EQ(idle.calls, 1);
}

TEST_F(FsmTest, LongWellBehavedMachinesGiveTheSameResultsAcrossTheStepBound)
{
    // Two threads yielding many times more than one run's bound: they still
    // alternate strictly and finish once each.
    const int rounds = 3 * XrFsm::max_steps_per_run;
    std::vector<int> script(rounds, XR_FSM_YIELD);
    script.push_back(XR_FSM_FINISH);
    ScriptThread a(&fsm, "A", script, log), b(&fsm, "B", script, log);
    ScriptThread c(&fsm, "C", {0, 0, 0, 0, 2}, log);
    a.activate();
    b.activate();
    fsm.run();
    c.activate(); // runs where it would have run with an unbounded run
    ASSERT_TRUE(pump_until([&] { return a.steps == rounds + 1 && b.steps == rounds + 1; }));
    Log expected;
    for (int i = 0; i <= rounds; ++i) {
        expected.push_back("A");
        if (i == rounds)
            expected.push_back("fin(A)");
        expected.push_back("B");
        if (i == rounds)
            expected.push_back("fin(B)");
    }
    Log ab;
    for (const std::string& e : log)
        if (e.find('C') == std::string::npos)
            ab.push_back(e);
    EXPECT_EQ(ab, expected);
    ASSERT_TRUE(pump_until([&] { return c.steps == 5; }));
    EXPECT_EQ(idle.calls, 1);
}

TEST_F(FsmTest, ThreadNames)
{
    ScriptThread named(&fsm, "HttpRequest", {2}, log);
    struct Unnamed : XrFsmThread {
        using XrFsmThread::XrFsmThread;
        XrFsmResult step() override { return XR_FSM_FINISH; }
    } unnamed(&fsm);
    char buf[64];
    snprintf(buf, sizeof(buf), "HttpRequest:%08lx", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(&named)));
    EXPECT_EQ(named.get_name(), XrString(buf));
    snprintf(buf, sizeof(buf), "%08lx", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(&unnamed)));
    EXPECT_EQ(unnamed.get_name(), XrString(buf));
    std::string long_name(2000, 'n');
    ScriptThread long_named(&fsm, long_name, {2}, log);
    EXPECT_EQ(long_named.get_name().length(), 512);
    EXPECT_EQ(named.get_priority(), 1);
}

TEST_F(FsmTest, DestroyedThreadsLeaveQueuesAndPostedCallbacks)
{
    XrEventLoop loop;
    auto a = std::make_unique<ScriptThread>(&fsm, "A", std::vector<int>{2}, log);
    auto b = std::make_unique<ScriptThread>(&fsm, "B", std::vector<int>{2}, log);
    auto c = std::make_unique<ScriptThread>(&fsm, "C", std::vector<int>{2}, log);
    a->activate();
    b->activate();
    c->activate();
    b.reset();
    auto d = std::make_unique<AsyncThread>(&fsm, log);
    d->set_in_async_call(true);
    d->post_async_callback(&loop);
    d.reset();
    EXPECT_EQ(loop.get_timeout_count(), 0);
    fsm.run();
    pump_for(20);
    EXPECT_EQ(log, Log({"A", "fin(A)", "C", "fin(C)"}));
}

TEST_F(FsmTest, WaitQueueDestroyedBeforeItsWaitingThreads)
{
    // A queue going away unlinks the threads still on it: they can be
    // destroyed or activated afterwards.
    auto waiting = std::make_unique<XrFsmWaitQueue>(&fsm);
    auto a = std::make_unique<ScriptThread>(&fsm, "A", std::vector<int>{2}, log);
    ScriptThread b(&fsm, "B", {2}, log);
    waiting->add(a.get());
    waiting->add(&b);
    waiting.reset();
    EXPECT_EQ(b.thread_prev, nullptr);
    EXPECT_EQ(b.thread_queue, nullptr);
    a.reset();
    b.activate();
    fsm.run();
    EXPECT_EQ(log, Log({"B", "fin(B)"}));
}

TEST_F(FsmTest, ThreadWaitingOnItsOwnMemberQueueMayBeDestroyed)
{
    // As the HTTP request and client do: the queue is a member of the
    // thread, so it is destroyed before the thread's base part.
    struct SelfWaiter : XrFsmThread {
        explicit SelfWaiter(XrFsm* f) : XrFsmThread(f, "self"), queue(f) {}
        XrFsmResult step() override
        {
            queue.add(this);
            return XR_FSM_SUSPEND;
        }
        XrFsmWaitQueue queue;
    };
    auto t = std::make_unique<SelfWaiter>(&fsm);
    t->activate();
    fsm.run();
    EXPECT_EQ(t->queue.get_head(), t.get());
    t.reset();
    EXPECT_EQ(fsm.get_queue(1).get_head(), nullptr);
}

TEST(FsmResultNames, Table)
{
    struct Case {
        int result;
        const char* name;
    } cases[] = {{0, "continue"}, {1, "yield"}, {2, "finish"}, {3, "suspend"}, {4, "<\?\?\?>"}, {-1, "<\?\?\?>"}};
    for (const Case& c : cases)
        EXPECT_STREQ(xr_fsm_result_name(c.result), c.name);
}

TEST(FsmDeathTest, QueueAndSchedulerInvariants)
{
    Log log;
    struct Case {
        const char* what;
        std::function<void()> body;
        const char* message;
    } cases[] = {
        {"adding a linked thread",
         [&] {
             XrFsm fsm;
             ScriptThread a(&fsm, "A", {2}, log), b(&fsm, "B", {2}, log);
             a.activate();
             b.activate();
             XrFsmQueue other;
             other.add(&a);
         },
         "thread->thread_next == 0"},
        {"priority 2",
         [&] {
             XrFsm fsm;
             ScriptThread a(&fsm, "A", {2}, log, 2);
             a.activate();
         },
         "priority < 2"},
        {"callback without an asynchronous call",
         [&] {
             XrFsm fsm;
             ScriptThread a(&fsm, "A", {2}, log);
             a.thread_async_callback();
         },
         "thread_in_async_call"},
        {"destroying a busy scheduler",
         [&] {
             Log l;
             auto* fsm = new XrFsm;
             auto* a = new ScriptThread(fsm, "A", {2}, l);
             a->activate();
             delete fsm;
         },
         "active\\[1\\].get_head\\(\\) == 0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_DEATH(c.body(), std::string("common/fsm/xr_fsm.*") + c.message);
    }
}
