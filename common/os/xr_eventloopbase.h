// The event loop's interface: one-shot timeouts, fd line watches, data and
// server sockets, in-process window messages and child-process handlers.
// Every part of the program receives the loop as a pointer to this class.
#pragma once

#include "common/os/xr_eventhandler.h"

#include <sys/types.h>

class XrDataSocket;
class XrServerSocket;
struct XrLineWatch;

// The results of add_server_socket and add_data_socket.
enum XrAddSocketResult : int {
    XR_SOCKET_ADDED = 0,
    XR_SOCKET_NO_SOURCE = 1,  // no poll source for it
    XR_SOCKET_TOO_MANY = 2,   // the socket table is full
    XR_SOCKET_ALREADY_IN = 3, // the socket is in the loop already
};

// Told when a registered child process has been reaped.
class XrChildHandler {
public:
    virtual ~XrChildHandler() = default;
    // Called once for the child pid. exit_status is the child's 8-bit exit
    // code; a child ended by a signal reports 128 + the signal number.
    virtual void child_exited(pid_t pid, int exit_status, void* data) = 0;
};

class XrEventloopBase {
public:
    virtual ~XrEventloopBase() = default;

    // Installs the child-process reaper; true when the loop is ready.
    virtual bool init() = 0;
    // Every callback of this loop runs on the main-loop thread.
    virtual bool is_main_thread_loop() { return true; }
    // The loop never runs a loop of its own: it registers sources with the
    // GTK main loop.
    virtual bool runs_own_loop() { return false; }
    // Nothing to wake: the GTK main loop polls the sources itself.
    virtual void wakeup() {}

    // Added, too many or already in.
    virtual XrAddSocketResult add_server_socket(XrServerSocket* socket, bool owned) = 0;
    virtual void remove_server_socket(XrServerSocket* socket) = 0;

    // Synchronous in-process messages: the new message id.
    virtual int add_window_msg_handler(XrEventHandler* handler, void* data) = 0;
    // False when no handler has that id.
    virtual bool remove_window_msg_handler(int id) = 0;
    // Calls the handler of id at once with arg; returns 0.
    virtual int post_window_msg(int id, void* arg) = 0;

    // Watches the fd of the line watch for text lines; false when the fd
    // cannot be made non-blocking.
    virtual bool add_fd_watch(XrLineWatch* watch) = 0;
    virtual bool remove_fd_watch(XrLineWatch* watch) = 0;

    // Added, no poll source or already in.
    virtual XrAddSocketResult add_data_socket(XrDataSocket* socket, bool owned) = 0;
    virtual void remove_data_socket(XrDataSocket* socket) = 0;

    // One-shot timeout of seconds * 1000 + milliseconds: handler->execute
    // (loop, data) runs once on the main loop. A timeout is named by its
    // (handler, data) pair; one pair may be armed any number of times.
    virtual bool add_timeout(int /*seconds*/, int /*milliseconds*/, XrEventHandler* /*handler*/, void* /*data*/)
    {
        return false;
    }
    // Cancels every pending timeout whose handler and data match (null
    // matches any); each gets handler->cancelled(loop, data).
    virtual void remove_timeout(XrEventHandler* /*handler*/, void* /*data*/) {}

    // Reports the end of child pid to handler->child_exited.
    virtual void add_child_handler(pid_t pid, XrChildHandler* handler, void* data) = 0;
    // Forgets every registration whose handler and data match (null matches
    // any); nobody is told.
    virtual void remove_child_handler(XrChildHandler* handler, void* data) = 0;
};
