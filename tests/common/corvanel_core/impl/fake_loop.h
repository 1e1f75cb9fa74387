// An event loop that only records timeouts, which a test fires by hand, and
// a map access with a plain projection for the positioning tests.
#pragma once

#include "common/corvanel_core/interfaces/xr_positionmap.h"
#include "common/geometry/xr_projection.h"
#include "common/os/xr_eventloopbase.h"

#include <algorithm>
#include <vector>

class FakeLoop : public XrEventloopBase {
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
    void remove_timeout(XrEventHandler* handler, void* data) override
    {
        std::erase_if(timeouts, [&](const Timeout& t) {
            return (handler == nullptr || t.handler == handler) && (data == nullptr || t.data == data);
        });
    }

    // Pending timeouts of handler with data.
    int pending(XrEventHandler* handler, void* data) const
    {
        return static_cast<int>(std::count_if(timeouts.begin(), timeouts.end(), [&](const Timeout& t) {
            return t.handler == handler && t.data == data;
        }));
    }
    // Fires the first pending timeout of handler with data; its delay.
    int fire(XrEventHandler* handler, void* data)
    {
        for (size_t i = 0; i < timeouts.size(); ++i) {
            if (timeouts[i].handler == handler && timeouts[i].data == data) {
                Timeout t = timeouts[i];
                timeouts.erase(timeouts.begin() + static_cast<long>(i));
                t.handler->execute(this, t.data);
                return t.ms;
            }
        }
        return -1;
    }

    std::vector<Timeout> timeouts;
};

// A map whose units are 1/100000 degree.
class FakeMap : public XrPositionMap {
public:
    FakeMap() : projection(100000.0, 0, 0) { XrPositionMap::set_instance(this); }
    ~FakeMap() override { XrPositionMap::set_instance(nullptr); }

    bool has_map() override { return open; }
    const XrProjection* get_projection() override { return open ? &projection : nullptr; }
    void add_draw_listener(XrMapDrawListener* l) override
    {
        if (std::find(listeners.begin(), listeners.end(), l) == listeners.end())
            listeners.push_back(l);
    }
    bool remove_draw_listener(XrMapDrawListener* l) override { return std::erase(listeners, l) > 0; }

    bool open = true;
    XrProjection projection;
    std::vector<XrMapDrawListener*> listeners;
};
