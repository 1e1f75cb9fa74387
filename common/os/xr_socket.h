// Thin non-blocking IPv4 sockets whose readiness the event loop polls and
// reports through virtual operations: the socket interface, data sockets
// (stream and datagram, and a stream socket that forwards its events to an
// observer), the server socket that the loop only keeps in a table, and the
// IP address record.
#pragma once

#include <cstdint>

#include <glib.h>

class XrString;
struct XrDataSocketSource;

// The outcome of connect, bind and listen, and the error that connected()
// reports.
enum XrSocketResult : int {
    XR_SOCKET_OK = 0, // for connect: connected or in progress
    XR_SOCKET_FAILED = 1,
};

// What receive and send return instead of a byte count.
enum XrSocketIoCode : int {
    XR_SOCKET_ERROR = -1,
    XR_SOCKET_WOULD_BLOCK = -2, // the next poll waits for input (receive) or output (send)
};

// An IPv4 or IPv6 address; IPv4 uses the first 4 bytes.
class XrIpAddress {
public:
    enum : int { kind_none = 0, kind_ipv4 = 1, kind_ipv6 = 2 };

    XrIpAddress() = default;

    void clear();
    // From a 32-bit IPv4 value, most significant byte first.
    void set(std::uint32_t ipv4);
    // From 4 (IPv4) or 16 (IPv6) raw bytes; any other length clears and
    // answers false.
    bool set(const unsigned char* bytes, int length);
    // Dotted decimal: one to four groups of digits separated by '.', each at
    // most 255, the whole text used. False (and kind none) otherwise.
    bool parse(const char* text);
    bool parse(const XrString& text);

    int get_kind() const { return kind; }
    bool is_valid() const { return kind != kind_none; }
    // Byte i of the address; 0 out of range or for kind none.
    unsigned char byte(int i) const;

    bool operator==(const XrIpAddress& other) const;
    bool operator!=(const XrIpAddress& other) const { return !(*this == other); }

private:
    int kind = kind_none;
    unsigned char bytes[16] = {};
};

class XrSocket {
public:
    virtual ~XrSocket() = default;
    virtual int get_fd() const = 0;
    virtual void reserved() {}
    // The event loop dropped the socket.
    virtual void removed() {}
};

// Sets or clears non-blocking mode of the socket's fd; true on success.
bool set_non_blocking(const XrSocket* socket, bool on);

class XrDataSocket : public XrSocket {
public:
    // Adopts fd (-1 = none); the destructor closes it.
    explicit XrDataSocket(int fd_ = -1) : fd(fd_) {}
    XrDataSocket(const XrDataSocket&) = delete;
    XrDataSocket& operator=(const XrDataSocket&) = delete;
    // With an fd: blocking again, write side shut down, closed.
    ~XrDataSocket() override;

    int get_fd() const override { return fd; }

    // recvfrom into buffer; the byte count, 0 at end of stream,
    // XR_SOCKET_WOULD_BLOCK or XR_SOCKET_ERROR. sender (16 bytes, may be
    // null) receives the peer's address.
    virtual int receive(void* buffer, int length, unsigned char* sender);
    // A connect in progress completed (or failed).
    virtual void connected(XrSocketResult /*error*/) {}
    // Input (or an error) is pending; bytes is the count readable now.
    virtual void readable(int /*bytes*/) {}
    // Output is possible (or an error is pending).
    virtual void writable() {}

    // Starts connecting to the IPv4 address a.b.c.d and port; sends then go
    // to that peer. XR_SOCKET_OK when connected or in progress (connected()
    // reports the outcome).
    XrSocketResult connect(int a, int b, int c, int d, int port);
    XrSocketResult connect(const XrIpAddress& address, int port);
    // Shuts the sending side down; true unless that fails.
    bool shutdown_write();

    // The events the next poll waits for: input when want_read, output when
    // want_write, errors always.
    gushort poll_events() const;

    int fd;
    bool connecting = false;
    bool want_read = true;
    bool want_write = true;
    bool connected_mode = false;
    XrDataSocketSource* source = nullptr; // set while the socket is in a loop
    GPollFD poll_fd = {-1, 0, 0};
    bool owned = false;                   // the loop deletes the socket
};

class XrStreamSocket : public XrDataSocket {
public:
    // A new TCP socket (fd -1 when the system gives none).
    XrStreamSocket();
    // Wraps a connected fd, for example an accepted one.
    explicit XrStreamSocket(int fd_) : XrDataSocket(fd_) {}

    // Sends bytes; the count sent, XR_SOCKET_WOULD_BLOCK or
    // XR_SOCKET_ERROR.
    int send(const void* bytes, int length);
};

class XrDatagramSocket : public XrDataSocket {
public:
    // A new UDP socket (fd -1 when the system gives none).
    XrDatagramSocket();
    ~XrDatagramSocket() override;

    // Sends one datagram to address (16 bytes of a socket address), or to
    // the connected peer after connect(); the system call's result.
    int send_to(const void* bytes, int length, const unsigned char* address);
    // Binds to any local address and port.
    XrSocketResult bind(int port);
};

// Receives the events of an XrStreamSocketObs.
class XrSocketObserver {
public:
    virtual ~XrSocketObserver() = default;
    virtual void socket_removed() {}
    virtual void socket_connected(XrSocketResult /*error*/) {}
    virtual void socket_readable(int /*bytes*/) {}
    virtual void socket_writable() {}
};

// A stream socket that forwards its events to an observer.
class XrStreamSocketObs : public XrStreamSocket {
public:
    explicit XrStreamSocketObs(XrSocketObserver* observer_) : observer(observer_) {}

    void removed() override { observer->socket_removed(); }
    void connected(XrSocketResult error) override { observer->socket_connected(error); }
    void readable(int bytes) override { observer->socket_readable(bytes); }
    void writable() override { observer->socket_writable(); }

private:
    XrSocketObserver* observer;
};

class XrServerSocket : public XrSocket {
public:
    XrServerSocket() = default;
    XrServerSocket(const XrServerSocket&) = delete;
    XrServerSocket& operator=(const XrServerSocket&) = delete;
    ~XrServerSocket() override { close(); }

    int get_fd() const override { return fd; }

    // Listens on the address and port (port 0: one the system chooses),
    // backlog 128. A socket already listening is closed first.
    XrSocketResult listen(const XrIpAddress& address, int port);
    // The same on 0.0.0.0.
    XrSocketResult listen(int port);
    // Shuts the socket down and closes it.
    virtual void close();
    virtual XrDataSocket* accept() = 0;
    // Wraps an accepted fd in a new stream socket.
    virtual XrDataSocket* create_stream_socket(int accepted_fd);

    int fd = 0; // 0 = none
};
