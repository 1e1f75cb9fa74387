// An event loop for tests that only records timeouts; tests fire them by
// hand. Every other source is refused or ignored.
#pragma once

#include <algorithm>
#include <vector>

#include "common/os/xr_eventloopbase.h"

class XrRecordingLoop : public XrEventloopBase {
public:
    struct Timeout {
        int ms;
        XrEventHandler* handler;
        void* data;
    };

    bool init() override { return true; }
    XrAddSocketResult add_server_socket(XrServerSocket*, bool) override { return XR_SOCKET_ADDED; }
    void remove_server_socket(XrServerSocket*) override {}
    int add_window_msg_handler(XrEventHandler*, void*) override { return 0; }
    bool remove_window_msg_handler(int) override { return false; }
    int post_window_msg(int, void*) override { return 0; }
    bool add_fd_watch(XrLineWatch*) override { return false; }
    bool remove_fd_watch(XrLineWatch*) override { return false; }
    XrAddSocketResult add_data_socket(XrDataSocket*, bool) override { return XR_SOCKET_NO_SOURCE; }
    void remove_data_socket(XrDataSocket*) override {}
    void add_child_handler(pid_t, XrChildHandler*, void*) override {}
    void remove_child_handler(XrChildHandler*, void*) override {}

    bool add_timeout(int seconds, int ms, XrEventHandler* handler, void* data) override
    {
        timeouts.push_back({seconds * 1000 + ms, handler, data});
        return true;
    }
    // A null handler or null data matches any.
    void remove_timeout(XrEventHandler* handler, void* data) override
    {
        std::erase_if(timeouts, [&](const Timeout& t) {
            return (handler == nullptr || t.handler == handler) && (data == nullptr || t.data == data);
        });
    }

    std::vector<Timeout> timeouts;
};
