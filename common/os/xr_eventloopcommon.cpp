#include "common/os/xr_eventloopcommon.h"

#include "common/os/xr_eventhandler.h"
#include "common/os/xr_socket.h"

#include <cerrno>

#include <sys/wait.h>

XrEventloopCommon::XrEventloopCommon()
    : m_data_sockets(3, 0), m_timeouts(3, 0), m_server_sockets(10, 0), m_window_msgs(2, 0), m_children(8, 0)
{
}

namespace {

// Deletes the owned sockets of a socket table and empties it.
template <class Entry>
void delete_owned(XrArray<Entry>& table)
{
    for (int i = 0; i < table.get_num_items(); ++i) {
        Entry* e = table.get_item_ptr(i);
        if (e->owned && e->socket != nullptr)
            delete e->socket;
    }
    table.remove_all();
}

} // namespace

XrEventloopCommon::~XrEventloopCommon()
{
    delete_owned(m_data_sockets);
    while (m_timeouts.get_num_items() > 0) {
        XrTimeoutData t = *m_timeouts.get_item_ptr(0);
        m_timeouts.remove_item(0);
        t.handler->cancelled(this, t.data);
    }
    delete_owned(m_server_sockets);
    while (m_window_msgs.get_num_items() > 0) {
        XrWindowMsgData m = *m_window_msgs.get_item_ptr(0);
        m_window_msgs.remove_item(0);
        m.handler->cancelled(this, nullptr);
    }
}

XrAddSocketResult XrEventloopCommon::add_server_socket(XrServerSocket* socket, bool owned)
{
    for (int i = 0; i < m_server_sockets.get_num_items(); ++i) {
        if (m_server_sockets.get_item_ptr(i)->socket == socket)
            return XR_SOCKET_ALREADY_IN;
    }
    if (m_data_sockets.get_num_items() + m_server_sockets.get_num_items() > max_sockets)
        return XR_SOCKET_TOO_MANY;
    XrServerSocketData d;
    d.socket = socket;
    d.owned = owned;
    return m_server_sockets.append(d) ? XR_SOCKET_ADDED : XR_SOCKET_TOO_MANY;
}

void XrEventloopCommon::remove_server_socket(XrServerSocket* socket)
{
    for (int i = 0; i < m_server_sockets.get_num_items(); ++i) {
        XrServerSocketData d = *m_server_sockets.get_item_ptr(i);
        if (d.socket != socket)
            continue;
        m_server_sockets.remove_item(i);
        socket->removed();
        if (d.owned)
            delete socket;
        return;
    }
}

int XrEventloopCommon::add_window_msg_handler(XrEventHandler* handler, void* data)
{
    int id = 0;
    for (int i = 0; i < m_window_msgs.get_num_items(); ++i) {
        int used = m_window_msgs.get_item_ptr(i)->id;
        if (used >= id)
            id = used + 1;
    }
    XrWindowMsgData m;
    m.id = id;
    m.handler = handler;
    m.data = data;
    return m_window_msgs.append(m) ? id : -1;
}

bool XrEventloopCommon::remove_window_msg_handler(int id)
{
    for (int i = 0; i < m_window_msgs.get_num_items(); ++i) {
        XrWindowMsgData m = *m_window_msgs.get_item_ptr(i);
        if (m.id != id)
            continue;
        // Out of the table before the call, so the handler may change it.
        m_window_msgs.remove_item(i);
        m.handler->cancelled(this, nullptr);
        return true;
    }
    return false;
}

int XrEventloopCommon::post_window_msg(int id, void* arg)
{
    // Ids are unique, so at most one handler receives the message.
    for (int i = 0; i < m_window_msgs.get_num_items(); ++i) {
        XrWindowMsgData m = *m_window_msgs.get_item_ptr(i);
        if (m.id == id) {
            m.handler->execute(this, arg);
            break;
        }
    }
    return 0;
}

void XrEventloopCommon::add_child_handler(pid_t pid, XrChildHandler* handler, void* data)
{
    XrChildHandlerData c;
    c.pid = pid;
    c.handler = handler;
    c.data = data;
    m_children.append(c);
}

void XrEventloopCommon::remove_child_handler(XrChildHandler* handler, void* data)
{
    for (int i = 0; i < m_children.get_num_items();) {
        const XrChildHandlerData* c = m_children.get_item_ptr(i);
        if ((handler == nullptr || c->handler == handler) && (data == nullptr || c->data == data))
            m_children.remove_item(i);
        else
            ++i;
    }
}

int xr_child_exit_status(int wait_status)
{
    if (WIFSIGNALED(wait_status))
        return 128 + WTERMSIG(wait_status);
    return (wait_status >> 8) & 0xFF;
}

void XrEventloopCommon::reap_children()
{
    for (;;) {
        int status = 0;
        pid_t pid = waitpid(-1, &status, WNOHANG);
        if (pid < 0 && errno == EINTR)
            continue;
        if (pid <= 0)
            return;
        for (int i = 0; i < m_children.get_num_items(); ++i) {
            XrChildHandlerData c = *m_children.get_item_ptr(i);
            if (c.pid != pid)
                continue;
            m_children.remove_item(i);
            if (c.handler != nullptr)
                c.handler->child_exited(pid, xr_child_exit_status(status), c.data);
            break;
        }
    }
}
