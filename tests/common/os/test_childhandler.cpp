#include "common/os/xr_eventloop.h"
#include "common/os/main_loop_pump.h"

#include <gtest/gtest.h>

#include <csignal>
#include <map>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Exit {
    pid_t pid;
    int status;
    void* data;
};

class RecordingChildHandler : public XrChildHandler {
public:
    void child_exited(pid_t pid, int exit_status, void* data) override
    {
        // The entry is gone before the call.
        for (const Exit& e : exits)
            EXPECT_NE(e.pid, pid);
        exits.push_back({pid, exit_status, data});
    }
    std::vector<Exit> exits;
};

// A child that sleeps delay_ms, then exits with code, or kills itself with
// signal when signal is not 0.
pid_t spawn(int code, int signal = 0, int delay_ms = 0)
{
    pid_t pid = fork();
    if (pid == 0) {
        if (delay_ms > 0)
            usleep(delay_ms * 1000);
        if (signal != 0) {
            ::signal(signal, SIG_DFL);
            raise(signal);
        }
        _exit(code);
    }
    return pid;
}

class ChildHandlerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(loop.init()); }
    XrEventLoop loop;
    RecordingChildHandler handler;
};

} // namespace

TEST_F(ChildHandlerTest, ReportsExitCodesAndSignals)
{
    struct Case {
        int code;
        int signal;
        int expected;
    } cases[] = {
        {0, 0, 0}, {1, 0, 1}, {42, 0, 42}, {255, 0, 255}, {0, SIGKILL, 128 + SIGKILL}, {0, SIGTERM, 128 + SIGTERM},
        {0, SIGSEGV, 128 + SIGSEGV},
    };
    std::map<pid_t, int> expected;
    int n = 0;
    for (const Case& c : cases) {
        pid_t pid = spawn(c.code, c.signal, 5 * n);
        ASSERT_GT(pid, 0);
        expected[pid] = c.expected;
        loop.add_child_handler(pid, &handler, reinterpret_cast<void*>(intptr_t(++n)));
    }
    ASSERT_TRUE(pump_until([&] { return handler.exits.size() == expected.size(); }));
    for (const Exit& e : handler.exits) {
        ASSERT_EQ(expected.count(e.pid), 1u);
        EXPECT_EQ(e.status, expected[e.pid]) << "pid " << e.pid;
    }
    EXPECT_EQ(loop.get_child_handler_count(), 0);
    pump_for(50);
    EXPECT_EQ(handler.exits.size(), expected.size()); // told once each
}

TEST_F(ChildHandlerTest, SeveralChildrenEndingTogetherAreAllReported)
{
    // Signals that arrive together merge into one; every child is still
    // collected.
    std::vector<pid_t> pids;
    for (int i = 0; i < 20; ++i) {
        pid_t pid = spawn(i, 0, 30);
        ASSERT_GT(pid, 0);
        pids.push_back(pid);
        loop.add_child_handler(pid, &handler, nullptr);
    }
    ASSERT_TRUE(pump_until([&] { return handler.exits.size() == pids.size(); }));
    for (const Exit& e : handler.exits) {
        int index = -1;
        for (size_t i = 0; i < pids.size(); ++i)
            if (pids[i] == e.pid)
                index = static_cast<int>(i);
        EXPECT_EQ(e.status, index);
    }
}

TEST_F(ChildHandlerTest, UnregisteredChildrenAreReapedSilently)
{
    pid_t stranger = spawn(3);
    pid_t known = spawn(4, 0, 50);
    loop.add_child_handler(known, &handler, reinterpret_cast<void*>(intptr_t(8)));
    ASSERT_TRUE(pump_until([&] { return handler.exits.size() == 1; }));
    EXPECT_EQ(handler.exits[0].pid, known);
    EXPECT_EQ(handler.exits[0].status, 4);
    EXPECT_EQ(handler.exits[0].data, reinterpret_cast<void*>(intptr_t(8)));
    // The stranger was reaped and forgotten: no zombie is left.
    EXPECT_EQ(waitpid(stranger, nullptr, WNOHANG), -1);
}

TEST_F(ChildHandlerTest, RemovedHandlersAreNotTold)
{
    RecordingChildHandler other;
    void* d1 = reinterpret_cast<void*>(intptr_t(1));
    void* d2 = reinterpret_cast<void*>(intptr_t(2));
    pid_t a = spawn(1, 0, 30), b = spawn(2, 0, 30), c = spawn(3, 0, 30);
    loop.add_child_handler(a, &handler, d1);
    loop.add_child_handler(b, &handler, d2);
    loop.add_child_handler(c, &other, d1);
    loop.remove_child_handler(&handler, d1); // only a
    EXPECT_EQ(loop.get_child_handler_count(), 2);
    ASSERT_TRUE(pump_until([&] { return handler.exits.size() == 1 && other.exits.size() == 1; }));
    EXPECT_EQ(handler.exits[0].pid, b);
    EXPECT_EQ(other.exits[0].pid, c);
    pid_t late[] = {spawn(0, 0, 10000), spawn(0, 0, 10000)};
    loop.add_child_handler(late[0], &handler, d1);
    loop.add_child_handler(late[1], &other, d2);
    loop.remove_child_handler(nullptr, nullptr);
    EXPECT_EQ(loop.get_child_handler_count(), 0);
    for (pid_t pid : late)
        kill(pid, SIGKILL);
    pump_for(100);
    EXPECT_EQ(handler.exits.size(), 1u);
    EXPECT_EQ(other.exits.size(), 1u);
}

TEST_F(ChildHandlerTest, ChildEndingBeforeRegistrationInTheSameTurnIsReported)
{
    // Reaping runs on the main loop, so a child that ends between fork and
    // add_child_handler is not lost.
    pid_t pid = spawn(9);
    usleep(50000);
    loop.add_child_handler(pid, &handler, nullptr);
    ASSERT_TRUE(pump_until([&] { return handler.exits.size() == 1; }));
    EXPECT_EQ(handler.exits[0].status, 9);
}

TEST_F(ChildHandlerTest, HandlerMayStartAndRegisterAnotherChild)
{
    struct Restarter : XrChildHandler {
        int runs = 0;
        void child_exited(pid_t, int status, void*) override
        {
            EXPECT_EQ(status, runs);
            if (++runs < 3)
                xr_global_event_loop->add_child_handler(spawn(runs), this, nullptr);
        }
    } restarter;
    loop.add_child_handler(spawn(0), &restarter, nullptr);
    ASSERT_TRUE(pump_until([&] { return restarter.runs == 3; }));
}
