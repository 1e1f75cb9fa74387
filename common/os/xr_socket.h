// Sockets as the event loop polls them: the socket interface, the data
// socket whose readiness a main-loop source reports through virtual
// operations, and the server socket that the loop only keeps in a table.
#pragma once

#include <glib.h>

struct XrDataSocketSource;

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

    // recvfrom into buffer; the byte count, 0 at end of stream, -2 when it
    // would block (the next poll then waits for input), -1 on error.
    // sender (16 bytes, may be null) receives the peer's address.
    virtual int receive(void* buffer, int length, unsigned char* sender);
    // A connect in progress completed; error 1 when it failed.
    virtual void connected(int /*error*/) {}
    // Input (or an error) is pending; bytes is the count readable now.
    virtual void readable(int /*bytes*/) {}
    // Output is possible (or an error is pending).
    virtual void writable() {}

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

class XrServerSocket : public XrSocket {
public:
    XrServerSocket() = default;
    XrServerSocket(const XrServerSocket&) = delete;
    XrServerSocket& operator=(const XrServerSocket&) = delete;
    ~XrServerSocket() override { close(); }

    int get_fd() const override { return fd; }
    // Shuts the socket down and closes it.
    virtual void close();
    virtual XrDataSocket* accept() = 0;

    int fd = 0; // 0 = none
};
