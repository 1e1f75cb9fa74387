#include "common/os/xr_eventloop.h"
#include "common/os/xr_socket.h"
#include "common/os/main_loop_pump.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

class LogSocket : public XrDataSocket {
public:
    LogSocket(int fd, std::vector<std::string>& log, bool* deleted = nullptr)
        : XrDataSocket(fd), m_log(log), m_deleted(deleted)
    {
    }
    ~LogSocket() override
    {
        if (m_deleted != nullptr)
            *m_deleted = true;
    }
    void connected(XrSocketResult error) override { event("connected(" + std::to_string(error) + ")"); }
    void readable(int bytes) override { event("readable(" + std::to_string(bytes) + ")"); }
    void writable() override { event("writable"); }
    void removed() override { event("removed"); }
    std::function<void(const std::string&)> on_event;

private:
    void event(const std::string& e)
    {
        m_log.push_back(e);
        if (on_event)
            on_event(e);
    }
    std::vector<std::string>& m_log;
    bool* m_deleted;
};

using Log = std::vector<std::string>;

class DataSocketTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0); }
    void TearDown() override
    {
        if (fds[1] >= 0)
            close(fds[1]);
        pump_pending();
    }
    void peer_send(const std::string& s) { ASSERT_EQ(send(fds[1], s.data(), s.size(), MSG_NOSIGNAL), ssize_t(s.size())); }

    XrEventLoop loop;
    std::vector<std::string> log;
    int fds[2] = {-1, -1};
};

} // namespace

TEST_F(DataSocketTest, ReadinessIsReportedOncePerWant)
{
    LogSocket socket(fds[0], log);
    ASSERT_EQ(loop.add_data_socket(&socket, false), XR_SOCKET_ADDED);
    EXPECT_NE(fcntl(fds[0], F_GETFL) & O_NONBLOCK, 0);
    EXPECT_EQ(loop.add_data_socket(&socket, false), XR_SOCKET_ALREADY_IN);
    // Both wants start set: an idle connected socket is writable at once.
    ASSERT_TRUE(pump_until([&] { return !log.empty(); }));
    EXPECT_EQ(log, Log({"writable"}));
    peer_send("hello");
    ASSERT_TRUE(pump_until([&] { return log.size() == 2; }));
    EXPECT_EQ(log[1], "readable(5)");
    // No new report until a receive would block again.
    peer_send("!");
    pump_for(20);
    EXPECT_EQ(log.size(), 2u);
    char buf[16];
    EXPECT_EQ(socket.receive(buf, sizeof(buf), nullptr), 6);
    EXPECT_EQ(std::string(buf, 6), "hello!");
    EXPECT_EQ(socket.receive(buf, sizeof(buf), nullptr), XR_SOCKET_WOULD_BLOCK);
    EXPECT_TRUE(socket.want_read);
    peer_send("xy");
    ASSERT_TRUE(pump_until([&] { return log.size() == 3; }));
    EXPECT_EQ(log[2], "readable(2)");
    loop.remove_data_socket(&socket);
    EXPECT_EQ(log.back(), "removed");
    EXPECT_EQ(socket.source, nullptr);
}

TEST_F(DataSocketTest, SocketRemovedFromReadableGetsNoWritable)
{
    bool deleted = false;
    auto* socket = new LogSocket(fds[0], log, &deleted);
    socket->on_event = [&](const std::string& e) {
        if (e.rfind("readable", 0) == 0)
            loop.remove_data_socket(socket); // owned: deleted here
    };
    peer_send("data"); // readable and writable in the same poll
    ASSERT_EQ(loop.add_data_socket(socket, true), XR_SOCKET_ADDED);
    ASSERT_TRUE(pump_until([&] { return deleted; }));
    pump_for(20);
    EXPECT_EQ(log, Log({"readable(4)", "removed"}));
}

TEST_F(DataSocketTest, PeerHangUpWakesPendingWantsAndThenStaysQuiet)
{
    LogSocket socket(fds[0], log);
    ASSERT_EQ(loop.add_data_socket(&socket, false), XR_SOCKET_ADDED);
    ASSERT_TRUE(pump_until([&] { return log.size() == 1; })); // writable
    close(fds[1]);
    fds[1] = -1;
    ASSERT_TRUE(pump_until([&] { return log.size() == 2; }));
    EXPECT_EQ(log[1], "readable(0)");
    char buf[4];
    EXPECT_EQ(socket.receive(buf, sizeof(buf), nullptr), 0); // end of stream
    // Nothing is wanted any more and the hang-up stays: the main loop must
    // not spin on it.
    pump_for(20);
    EXPECT_LE(pump_pending(), 1);
    EXPECT_EQ(log.size(), 2u);
    loop.remove_data_socket(&socket);
}

TEST(DataSocketLifetime, OwnedSocketsAreDeletedWithTheLoopWithoutRemovedCall)
{
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    std::vector<std::string> log;
    bool deleted = false;
    {
        XrEventLoop loop;
        ASSERT_EQ(loop.add_data_socket(new LogSocket(fds[0], log, &deleted), true), XR_SOCKET_ADDED);
    }
    EXPECT_TRUE(deleted);
    EXPECT_TRUE(log.empty());
    // The source left the main context with the loop.
    send(fds[1], "x", 1, MSG_NOSIGNAL); // the socket is closed
    pump_for(20);
    EXPECT_TRUE(log.empty());
    close(fds[1]);
}

TEST_F(DataSocketTest, SocketDeletedWhileInTheLoopLeavesNoSourceBehind)
{
    bool deleted = false;
    auto* socket = new LogSocket(fds[0], log, &deleted);
    fds[0] = -1;
    ASSERT_EQ(loop.add_data_socket(socket, false), XR_SOCKET_ADDED);
    delete socket;
    EXPECT_TRUE(deleted);
    send(fds[1], "x", 1, MSG_NOSIGNAL); // the socket is closed
    pump_for(20);
    EXPECT_TRUE(log.empty());
}

TEST(DataSocketConnect, ReportsConnectOutcomeOn127001)
{
    XrEventLoop loop;
    int server = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(server, 0);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(server, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
    socklen_t len = sizeof(addr);
    ASSERT_EQ(getsockname(server, reinterpret_cast<sockaddr*>(&addr), &len), 0);
    sockaddr_in closed_addr = addr;

    struct Case {
        const char* what;
        bool listening;
        const char* expected;
    } cases[] = {{"refused", false, "connected(1)"}, {"accepted", true, "connected(0)"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.listening) {
            ASSERT_EQ(listen(server, 4), 0);
        }
        std::vector<std::string> log;
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        ASSERT_GE(fd, 0);
        LogSocket client(fd, log);
        ASSERT_EQ(loop.add_data_socket(&client, false), XR_SOCKET_ADDED);
        int r = connect(fd, reinterpret_cast<const sockaddr*>(c.listening ? &addr : &closed_addr), sizeof(addr));
        if (r == 0 || errno == EINPROGRESS) {
            client.connecting = true;
            ASSERT_TRUE(pump_until([&] { return !log.empty(); }));
            EXPECT_EQ(log[0], c.expected);
            EXPECT_FALSE(client.want_read);
            EXPECT_FALSE(client.want_write);
        } else {
            EXPECT_FALSE(c.listening) << "connect failed: " << errno;
        }
        loop.remove_data_socket(&client);
    }
    close(server);
}

TEST(ServerSockets, TableBookkeeping)
{
    struct Server : XrServerSocket {
        explicit Server(std::vector<std::string>& l, bool* d = nullptr) : log(l), deleted(d) {}
        ~Server() override
        {
            if (deleted != nullptr)
                *deleted = true;
        }
        XrDataSocket* accept() override { return nullptr; }
        void removed() override { log.push_back("removed"); }
        std::vector<std::string>& log;
        bool* deleted;
    };
    std::vector<std::string> log;
    bool owned_deleted = false, kept_deleted = false;
    {
        XrEventLoop loop;
        Server plain(log);
        auto* owned = new Server(log, &owned_deleted);
        auto* kept = new Server(log, &kept_deleted);
        EXPECT_EQ(loop.add_server_socket(&plain, false), XR_SOCKET_ADDED);
        EXPECT_EQ(loop.add_server_socket(&plain, false), XR_SOCKET_ALREADY_IN);
        EXPECT_EQ(loop.add_server_socket(owned, true), XR_SOCKET_ADDED);
        loop.remove_server_socket(owned);
        EXPECT_TRUE(owned_deleted);
        loop.remove_server_socket(owned); // no longer there: nothing
        EXPECT_EQ(log, Log({"removed"}));
        loop.remove_server_socket(&plain);
        EXPECT_EQ(log, Log({"removed", "removed"}));
        EXPECT_EQ(loop.add_server_socket(kept, true), XR_SOCKET_ADDED);
        // At most 1025 sockets in the tables.
        std::vector<Server*> many;
        for (int i = 0; i < XrEventloopCommon::max_sockets; ++i) {
            many.push_back(new Server(log));
            ASSERT_EQ(loop.add_server_socket(many.back(), false), XR_SOCKET_ADDED);
        }
        Server extra(log);
        EXPECT_EQ(loop.add_server_socket(&extra, false), XR_SOCKET_TOO_MANY);
        for (Server* s : many) {
            loop.remove_server_socket(s);
            delete s;
        }
    }
    EXPECT_TRUE(kept_deleted);
}
