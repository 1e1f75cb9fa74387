// The platform-neutral half of the event loop: the bookkeeping tables of
// data sockets, timeouts, server sockets, window messages and children, the
// window messages themselves and the reaping of children.
#pragma once

#include "common/container/xr_array.h"
#include "common/os/xr_eventloopbase.h"

class XrEventloopCommon : public XrEventloopBase {
public:
    struct XrDataSocketData {
        XrDataSocket* socket = nullptr;
        bool owned = false;
    };
    struct XrTimeoutData {
        XrEventHandler* handler = nullptr;
        void* data = nullptr;
    };
    struct XrServerSocketData {
        XrServerSocket* socket = nullptr;
        bool owned = false;
    };
    struct XrWindowMsgData {
        int id = 0;
        XrEventHandler* handler = nullptr;
        void* data = nullptr;
    };
    struct XrChildHandlerData {
        pid_t pid = 0;
        XrChildHandler* handler = nullptr;
        void* data = nullptr;
    };

    // Most data and server sockets together in the tables, plus one.
    static constexpr int max_sockets = 1024;

    XrEventloopCommon();
    XrEventloopCommon(const XrEventloopCommon&) = delete;
    XrEventloopCommon& operator=(const XrEventloopCommon&) = delete;
    // Deletes the owned sockets, cancels what is still registered (timeouts
    // and window-message handlers); child handlers are not told.
    ~XrEventloopCommon() override;

    XrAddSocketResult add_server_socket(XrServerSocket* socket, bool owned) override;
    void remove_server_socket(XrServerSocket* socket) override;

    int add_window_msg_handler(XrEventHandler* handler, void* data) override;
    bool remove_window_msg_handler(int id) override;
    int post_window_msg(int id, void* arg) override;

    void add_child_handler(pid_t pid, XrChildHandler* handler, void* data) override;
    void remove_child_handler(XrChildHandler* handler, void* data) override;

    int get_timeout_count() const { return m_timeouts.get_num_items(); }
    int get_child_handler_count() const { return m_children.get_num_items(); }

protected:
    // Collects every ended child without blocking and tells the handler of
    // each registered one (its entry is removed first). Main loop only.
    void reap_children();

    XrArray<XrDataSocketData> m_data_sockets;
    XrArray<XrTimeoutData> m_timeouts;
    XrArray<XrServerSocketData> m_server_sockets;
    XrArray<XrWindowMsgData> m_window_msgs;
    XrArray<XrChildHandlerData> m_children;
};

// The exit status told to child handlers: the exit code, or 128 + the signal
// number for a child ended by a signal.
int xr_child_exit_status(int wait_status);
