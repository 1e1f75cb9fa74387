#include "common/os/xr_eventloop.h"
#include "common/os/xr_linewatch.h"
#include "common/os/main_loop_pump.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Lines as narrow strings (each wide character must fit a byte); states as
// "<state>" entries in the same log.
class LogListener : public XrLineWatchListener {
public:
    bool filter_byte(BYTE b) override { return dropped.find(static_cast<char>(b)) == std::string::npos; }
    void line_received(const TCHAR* line) override
    {
        std::string s;
        for (; *line != 0; ++line) {
            EXPECT_LT(*line, 256);
            s += static_cast<char>(*line);
        }
        log.push_back(s);
        if (on_line)
            on_line();
    }
    void state_changed(int state) override
    {
        log.push_back("<" + std::to_string(state) + ">");
        if (on_state)
            on_state(state);
    }
    std::vector<std::string> log;
    std::string dropped; // bytes the filter drops
    std::function<void()> on_line;
    std::function<void(int)> on_state;
};

using Lines = std::vector<std::string>;

} // namespace

TEST(LineWatchFeed, SplitsLines)
{
    struct Case {
        const char* what;
        std::vector<std::string> chunks;
        Lines lines;
        std::string dropped = "";
    } cases[] = {
        {"all four breaks", {std::string("A\r\nB\n\rC\r\rD\n")}, {"A", "B", "C", "", "D"}},
        {"further LFs after CR LF dropped", {"A\r\n\nB\n"}, {"A", "B"}},
        {"LF LF is an empty line", {"A\n\nB\n"}, {"A", "", "B"}},
        {"CR LF CR LF", {"\r\n\r\n"}, {"", ""}},
        {"LF CR LF CR", {"A\n\r\n\rB\n"}, {"A", "", "B"}},
        {"NUL inside a line skipped", {std::string("A\0B\0\n", 5)}, {"AB"}},
        {"NUL between breaks ends the pair", {std::string("A\r\0\nB\n", 6)}, {"A", "", "B"}},
        {"last line without break kept back", {"A\nB"}, {"A"}},
        {"break split across reads", {"$GPRMC,1", "23\r", "\n$GPGGA\r", "\n"}, {"$GPRMC,123", "$GPGGA"}},
        {"Latin-1 bytes widened", {"caf\xe9\xff\n"}, {"caf\xe9\xff"}},
        {"filtered bytes dropped", {"A*B*\nC\n"}, {"AB", "C"}, "*"},
        {"filtered break is no break", {"A\nB\rC\n"}, {"A", "BC"}, "\r"},
        {"nothing", {""}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LogListener listener;
        listener.dropped = c.dropped;
        XrLineWatch watch(-1, &listener);
        for (const std::string& chunk : c.chunks)
            EXPECT_TRUE(watch.feed(reinterpret_cast<const BYTE*>(chunk.data()), static_cast<int>(chunk.size())));
        EXPECT_EQ(listener.log, c.lines);
    }
}

TEST(LineWatchFeed, LongLinesAreCutAndMemoryStaysBounded)
{
    LogListener listener;
    XrLineWatch watch(-1, &listener);
    std::string big(100000, 'x');
    for (int i = 0; i < 10; ++i)
        watch.feed(reinterpret_cast<const BYTE*>(big.data()), static_cast<int>(big.size()));
    EXPECT_LE(watch.line.get_capacity(), XrLineWatch::max_line_chars + 16);
    std::string tail = "\nshort\n";
    watch.feed(reinterpret_cast<const BYTE*>(tail.data()), static_cast<int>(tail.size()));
    ASSERT_EQ(listener.log.size(), 2u);
    EXPECT_EQ(listener.log[0], std::string(XrLineWatch::max_line_chars, 'x'));
    EXPECT_EQ(listener.log[1], "short");
}

TEST(LineWatchFeed, WithoutListenerLinesAreDropped)
{
    XrLineWatch watch;
    std::string text = "abc\ndef";
    EXPECT_TRUE(watch.feed(reinterpret_cast<const BYTE*>(text.data()), static_cast<int>(text.size())));
    EXPECT_EQ(watch.line.get_num_items(), 3);
}

namespace {

class LineWatchLoopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(pipe(fds), 0);
        watch = new XrLineWatch(fds[0], &listener);
    }
    void TearDown() override
    {
        if (watch != nullptr) {
            loop.remove_fd_watch(watch);
            delete watch;
        }
        close(fds[0]);
        if (fds[1] >= 0)
            close(fds[1]);
        pump_pending();
    }
    void write_text(const std::string& s) { ASSERT_EQ(write(fds[1], s.data(), s.size()), ssize_t(s.size())); }
    void close_writer()
    {
        close(fds[1]);
        fds[1] = -1;
    }

    XrEventLoop loop;
    LogListener listener;
    XrLineWatch* watch = nullptr;
    int fds[2] = {-1, -1};
};

} // namespace

TEST_F(LineWatchLoopTest, ReportsStartLinesAndEndOfFileOnce)
{
    ASSERT_TRUE(loop.add_fd_watch(watch));
    EXPECT_NE(fcntl(fds[0], F_GETFL) & O_NONBLOCK, 0);
    write_text("$GPGSA,A\r\n$GPRMC");
    ASSERT_TRUE(pump_until([&] { return listener.log.size() == 2; }));
    EXPECT_EQ(listener.log, Lines({"<1>", "$GPGSA,A"}));
    write_text(",1\r\n$GPGSV,partial");
    close_writer();
    ASSERT_TRUE(pump_until([&] { return listener.log.size() == 4; }));
    EXPECT_EQ(listener.log, Lines({"<1>", "$GPGSA,A", "$GPRMC,1", "<0>"}));
    // The fd stays at end of file: no further reports, and nothing keeps
    // the main loop busy.
    pump_for(30);
    EXPECT_EQ(pump_pending(), 0);
    EXPECT_EQ(listener.log.size(), 4u);
    EXPECT_TRUE(loop.remove_fd_watch(watch));
    EXPECT_EQ(fcntl(fds[0], F_GETFL) & O_NONBLOCK, 0);
}

TEST_F(LineWatchLoopTest, OwnerMayRemoveAndDeleteTheWatchFromItsListener)
{
    ASSERT_TRUE(loop.add_fd_watch(watch));
    listener.on_line = [&] {
        loop.remove_fd_watch(watch);
        delete watch;
        watch = nullptr;
    };
    write_text("one\ntwo\nthree\n");
    ASSERT_TRUE(pump_until([&] { return watch == nullptr; }));
    pump_for(30);
    EXPECT_EQ(listener.log, Lines({"<1>", "one"}));
}

TEST_F(LineWatchLoopTest, OwnerMayRemoveTheWatchOnEndOfFile)
{
    ASSERT_TRUE(loop.add_fd_watch(watch));
    listener.on_state = [&](int state) {
        if (state == 0) {
            loop.remove_fd_watch(watch);
            delete watch;
            watch = nullptr;
        }
    };
    write_text("last\n");
    close_writer();
    ASSERT_TRUE(pump_until([&] { return watch == nullptr; }));
    EXPECT_EQ(listener.log, Lines({"<1>", "last", "<0>"}));
}

TEST_F(LineWatchLoopTest, RemovedWatchGetsNothingMore)
{
    ASSERT_TRUE(loop.add_fd_watch(watch));
    write_text("a\n");
    ASSERT_TRUE(pump_until([&] { return listener.log.size() == 2; }));
    loop.remove_fd_watch(watch);
    write_text("b\n");
    close_writer();
    pump_for(30);
    EXPECT_EQ(listener.log, Lines({"<1>", "a"}));
}

TEST(LineWatchLoop, BadFdIsRefused)
{
    XrEventLoop loop;
    XrLineWatch watch(-1, nullptr);
    EXPECT_FALSE(loop.add_fd_watch(&watch));
}

TEST(LineWatchLoop, EndlessSourceDoesNotHoldTheMainLoop)
{
    XrEventLoop loop;
    int fd = open("/dev/zero", O_RDONLY);
    ASSERT_GE(fd, 0);
    LogListener listener;
    XrLineWatch watch(fd, &listener);
    ASSERT_TRUE(loop.add_fd_watch(&watch));
    struct Flag : XrEventHandler {
        bool fired = false;
        void execute(XrEventloopBase*, void*) override { fired = true; }
    } flag;
    loop.add_timeout(0, 0, &flag, nullptr);
    EXPECT_TRUE(pump_until([&] { return flag.fired; }, 2000));
    EXPECT_EQ(listener.log, Lines({"<1>"})); // NUL bytes never make a line
    loop.remove_fd_watch(&watch);
    close(fd);
}
