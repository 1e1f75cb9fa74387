// Sockets: addresses, connecting to a closed port and to a listening server
// socket, the one-shot wants, datagrams.
#include "common/os/main_loop_pump.h"
#include "common/os/xr_eventloop.h"
#include "common/container/xr_string.h"
#include "common/os/xr_socket.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

class Observer : public XrSocketObserver {
public:
    void socket_removed() override { events.push_back("removed"); }
    void socket_connected(XrSocketResult error) override
    {
        events.push_back("connected(" + std::to_string(error) + ")");
    }
    void socket_readable(int bytes) override { events.push_back("readable(" + std::to_string(bytes) + ")"); }
    void socket_writable() override { events.push_back("writable"); }
    std::vector<std::string> events;
};

class Server : public XrServerSocket {
public:
    XrDataSocket* accept() override
    {
        int accepted = ::accept(fd, nullptr, nullptr);
        return accepted < 0 ? nullptr : create_stream_socket(accepted);
    }
    int port() const
    {
        sockaddr_in addr = {};
        socklen_t len = sizeof(addr);
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
        return ntohs(addr.sin_port);
    }
};

XrIpAddress loopback()
{
    XrIpAddress a;
    a.set(std::uint32_t(0x7F000001));
    return a;
}

} // namespace

TEST(IpAddress, ParseAndCompare)
{
    struct Case {
        const char* text;
        bool ok;
        int bytes[4];
    } cases[] = {
        {"10.0.0.1", true, {10, 0, 0, 1}},
        {"255.255.255.255", true, {255, 255, 255, 255}},
        {"192.168.1", true, {192, 168, 1, 0}},
        {"7", true, {7, 0, 0, 0}},
        {"256.0.0.1", false, {}},
        {"a.b.c.d", false, {}},
        {"1.2.3.4.5", false, {}},
        {"1..2", false, {}},
        {"1.2.3.", false, {}},
        {"1.2.3.4 ", false, {}},
        {"", false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        XrIpAddress a;
        EXPECT_EQ(a.parse(c.text), c.ok);
        EXPECT_EQ(a.parse(XrString(c.text)), c.ok);
        EXPECT_EQ(a.get_kind(), c.ok ? XrIpAddress::kind_ipv4 : XrIpAddress::kind_none);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(a.byte(i), c.ok ? c.bytes[i] : 0);
        EXPECT_EQ(a.byte(4), 0);
        EXPECT_EQ(a.byte(-1), 0);
    }
    XrIpAddress a, b, none;
    a.set(std::uint32_t(0x0A000001));
    b.parse("10.0.0.1");
    EXPECT_EQ(a, b);
    b.parse("10.0.0.2");
    EXPECT_NE(a, b);
    unsigned char v6[16] = {0xfe, 0x80};
    EXPECT_TRUE(b.set(v6, 16));
    EXPECT_EQ(b.get_kind(), XrIpAddress::kind_ipv6);
    EXPECT_EQ(b.byte(15), 0);
    EXPECT_EQ(b.byte(0), 0xfe);
    EXPECT_NE(a, b);
    EXPECT_FALSE(b.set(v6, 5));
    EXPECT_EQ(b, none);
    XrIpAddress copy = a;
    EXPECT_EQ(copy, a);
}

TEST(StreamSocket, ConnectToClosedPortAndToListeningServer)
{
    XrEventLoop loop;
    Server server;
    ASSERT_EQ(server.listen(loopback(), 0), XR_SOCKET_OK);
    int open_port = server.port();
    Server closed;
    ASSERT_EQ(closed.listen(loopback(), 0), XR_SOCKET_OK);
    int closed_port = closed.port();
    closed.close();
    EXPECT_EQ(closed.fd, 0);

    struct Case {
        const char* name;
        int port;
        const char* expected;
    } cases[] = {{"closed port", closed_port, "connected(1)"}, {"listening server", open_port, "connected(0)"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Observer observer;
        XrStreamSocketObs socket(&observer);
        ASSERT_GE(socket.fd, 0);
        EXPECT_NE(fcntl(socket.fd, F_GETFD) & FD_CLOEXEC, 0);
        ASSERT_EQ(loop.add_data_socket(&socket, false), XR_SOCKET_ADDED);
        ASSERT_EQ(socket.connect(loopback(), c.port), XR_SOCKET_OK);
        EXPECT_TRUE(socket.connecting);
        EXPECT_TRUE(socket.connected_mode);
        ASSERT_TRUE(pump_until([&] { return !observer.events.empty(); }));
        EXPECT_EQ(observer.events[0], c.expected);
        EXPECT_FALSE(socket.want_read);
        EXPECT_FALSE(socket.want_write);
        loop.remove_data_socket(&socket);
        EXPECT_EQ(observer.events.back(), "removed");
    }
    XrDataSocket* accepted = server.accept();
    ASSERT_NE(accepted, nullptr);
    EXPECT_GE(accepted->get_fd(), 0);
    delete accepted;

    Observer observer;
    XrStreamSocketObs socket(&observer);
    XrIpAddress v6;
    unsigned char raw[16] = {};
    v6.set(raw, 16);
    EXPECT_EQ(socket.connect(v6, open_port), XR_SOCKET_FAILED);
    EXPECT_EQ(socket.connect(loopback(), 70000), XR_SOCKET_FAILED);
    EXPECT_FALSE(socket.connecting);
}

TEST(StreamSocket, WantsAreOneShot)
{
    XrEventLoop loop;
    Server server;
    ASSERT_EQ(server.listen(loopback(), 0), XR_SOCKET_OK);
    Observer observer;
    XrStreamSocketObs client(&observer);
    ASSERT_EQ(loop.add_data_socket(&client, false), XR_SOCKET_ADDED);
    ASSERT_EQ(client.connect(loopback(), server.port()), XR_SOCKET_OK);
    ASSERT_TRUE(pump_until([&] { return !observer.events.empty(); }));
    XrDataSocket* peer = server.accept();
    ASSERT_NE(peer, nullptr);
    observer.events.clear();

    // Nothing is wanted after the connect: an idle socket is polled only for errors.
    EXPECT_EQ(client.poll_events(), G_IO_ERR);
    char buf[64];
    EXPECT_EQ(client.receive(buf, sizeof(buf), nullptr), XR_SOCKET_WOULD_BLOCK);
    EXPECT_EQ(client.poll_events(), G_IO_ERR | G_IO_IN);
    ASSERT_EQ(send(peer->get_fd(), "abc", 3, 0), 3);
    ASSERT_TRUE(pump_until([&] { return !observer.events.empty(); }));
    EXPECT_EQ(observer.events, std::vector<std::string>({"readable(3)"}));
    EXPECT_EQ(client.poll_events(), G_IO_ERR);
    // No second report until a receive would block again.
    ASSERT_EQ(send(peer->get_fd(), "d", 1, 0), 1);
    pump_for(30);
    EXPECT_EQ(observer.events.size(), 1u);
    EXPECT_EQ(client.receive(buf, sizeof(buf), nullptr), 4);
    EXPECT_EQ(std::string(buf, 4), "abcd");

    // Sending until the socket is full arms want_write; draining the peer
    // makes it writable once.
    std::string block(65536, 'x');
    int sent = 0;
    int n;
    while ((n = client.send(block.data(), static_cast<int>(block.size()))) > 0)
        sent += n;
    EXPECT_EQ(n, XR_SOCKET_WOULD_BLOCK);
    EXPECT_GT(sent, 0);
    EXPECT_TRUE(client.want_write);
    int drained = 0;
    while (!std::count(observer.events.begin(), observer.events.end(), "writable")) {
        ssize_t r = recv(peer->get_fd(), &block[0], block.size(), MSG_DONTWAIT);
        if (r > 0)
            drained += static_cast<int>(r);
        pump_pending();
    }
    EXPECT_GT(drained, 0);
    EXPECT_FALSE(client.want_write);

    // Shutting down the write side ends the peer's stream.
    EXPECT_TRUE(client.shutdown_write());
    int r;
    do {
        r = static_cast<int>(recv(peer->get_fd(), &block[0], block.size(), 0));
    } while (r > 0);
    EXPECT_EQ(r, 0);
    loop.remove_data_socket(&client);
    delete peer;
}

TEST(DatagramSocket, BindAndSendTo)
{
    {
        // bind() takes every local address: nothing is sent to this one.
        XrDatagramSocket unused;
        EXPECT_EQ(unused.bind(0), XR_SOCKET_OK);
    }
    // The receiver takes datagrams on the loopback only.
    XrDatagramSocket receiver;
    ASSERT_GE(receiver.fd, 0);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(receiver.fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
    socklen_t len = sizeof(addr);
    getsockname(receiver.fd, reinterpret_cast<sockaddr*>(&addr), &len);
    int port = ntohs(addr.sin_port);

    XrDatagramSocket sender;
    unsigned char to[16] = {};
    std::memcpy(to, &addr, sizeof(addr));
    EXPECT_EQ(sender.send_to("one", 3, to), 3);
    EXPECT_TRUE(sender.want_write);
    ASSERT_EQ(sender.connect(loopback(), port), XR_SOCKET_OK);
    EXPECT_EQ(sender.send_to("two", 3, nullptr), 3);

    char buf[16];
    unsigned char from[16];
    EXPECT_EQ(receiver.receive(buf, sizeof(buf), from), 3);
    EXPECT_EQ(std::string(buf, 3), "one");
    EXPECT_EQ(reinterpret_cast<sockaddr_in*>(from)->sin_family, AF_INET);
    EXPECT_EQ(receiver.receive(buf, sizeof(buf), nullptr), 3);
    EXPECT_EQ(std::string(buf, 3), "two");
    XrDatagramSocket other;
    EXPECT_EQ(other.bind(port), XR_SOCKET_FAILED); // taken
}
