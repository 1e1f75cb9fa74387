#include "common/os/xr_eventloop.h"

#include "common/container/xr_defs.h"
#include "common/os/xr_eventhandler.h"
#include "common/os/xr_linewatch.h"
#include "common/os/xr_socket.h"

#include <cerrno>
#include <csignal>
#include <new>

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

XrEventLoop* xr_global_event_loop = nullptr;

// Binds one armed GLib timeout to its handler and data.
class XrMaemoTimeout : public XrEventHandler {
public:
    XrMaemoTimeout(XrEventLoop* loop_, XrEventHandler* handler_, void* data_)
        : loop(loop_), handler(handler_), data(data_)
    {
    }

    // Disarms the GLib timeout, tells the handler and frees the record.
    void cancelled(XrEventloopBase* l, void*) override
    {
        g_source_remove(source_id);
        handler->cancelled(l, data);
        delete this;
    }
    void execute(XrEventloopBase* l, void*) override { handler->execute(l, data); }

    XrEventLoop* loop;
    guint source_id = 0;
    XrEventHandler* handler;
    void* data;
    unsigned cancel_mark = 0; // the remove_timeout call that chose it
};

// A GLib source polling one data socket.
struct XrDataSocketSource {
    GSource source;
    XrDataSocket* socket;
    int refcount;
    bool destroyed;
    bool hung_up; // the peer hung up (or the fd went bad)
    bool parked;  // poll record taken out: nothing more can come
};

namespace {

constexpr gushort error_events = G_IO_ERR | G_IO_HUP | G_IO_NVAL;

// Bytes per read of a line watch, and reads per callback: a source that never
// runs dry must not hold the main loop.
constexpr int line_read_size = 256;
constexpr int line_reads_per_callback = 256;

gboolean data_source_prepare(GSource* s, gint* timeout)
{
    auto* src = reinterpret_cast<XrDataSocketSource*>(s);
    *timeout = -1;
    XrDataSocket* socket = src->socket;
    if (socket == nullptr)
        return FALSE;
    socket->poll_fd.events = socket->poll_events();
    // After a hang-up poll reports the fd at once whatever it asks for: keep
    // it out of the poll while the socket waits for nothing, or the main
    // loop would spin.
    bool idle = (socket->poll_fd.events & (G_IO_IN | G_IO_OUT)) == 0;
    if (src->hung_up && idle && !src->parked) {
        g_source_remove_poll(s, &socket->poll_fd);
        src->parked = true;
    } else if (src->parked && !idle) {
        g_source_add_poll(s, &socket->poll_fd);
        src->parked = false;
    }
    return FALSE;
}

gboolean data_source_check(GSource* s)
{
    auto* src = reinterpret_cast<XrDataSocketSource*>(s);
    if (src->socket == nullptr || src->parked)
        return FALSE;
    return (src->socket->poll_fd.revents & (G_IO_IN | G_IO_OUT | error_events)) != 0;
}

gboolean data_source_dispatch(GSource* s, GSourceFunc, gpointer)
{
    auto* src = reinterpret_cast<XrDataSocketSource*>(s);
    XrDataSocket* socket = src->socket;
    if (socket == nullptr)
        return TRUE;
    // Held while the socket is called: a callback may remove the socket.
    XrEventLoop::ref_data_source(src);
    gushort revents = socket->poll_fd.revents;
    socket->poll_fd.revents = 0;
    if (revents & (G_IO_HUP | G_IO_NVAL))
        src->hung_up = true;
    if (socket->connecting) {
        socket->connecting = false;
        socket->want_read = false;
        socket->want_write = false;
        int one = 1;
        setsockopt(socket->fd, IPPROTO_TCP, 9 /* TCP_DEFER_ACCEPT */, &one, sizeof(one));
        socket->connected((revents & error_events) != 0 ? XR_SOCKET_FAILED : XR_SOCKET_OK);
    } else {
        bool notify_readable = false;
        bool notify_writable = false;
        int count = 0;
        if (revents & error_events) {
            notify_readable = socket->want_read;
            notify_writable = socket->want_write;
            socket->want_read = false;
            socket->want_write = false;
        }
        if (revents & G_IO_IN) {
            socket->want_read = false;
            if (ioctl(socket->fd, FIONREAD, &count) != 0)
                count = 0;
            notify_readable = true;
        }
        if (revents & G_IO_OUT) {
            socket->want_write = false;
            notify_writable = true;
        }
        if (notify_readable)
            socket->readable(count);
        if (notify_writable && !src->destroyed)
            socket->writable();
    }
    XrEventLoop::unref_data_source(src);
    return TRUE;
}

void data_source_finalize(GSource*) {}

GSourceFuncs data_source_funcs = {data_source_prepare, data_source_check, data_source_dispatch,
                                  data_source_finalize, nullptr, nullptr};

// The write end of the SIGCHLD pipe, -1 while no reaper is installed.
volatile sig_atomic_t sigchld_write_fd = -1;
struct sigaction previous_sigchld_action;

// Only notes the signal: the reaping runs on the main loop.
void sigchld_handler(int)
{
    int saved = errno;
    int fd = sigchld_write_fd;
    if (fd >= 0) {
        char c = 0;
        ssize_t r = write(fd, &c, 1);
        (void)r; // a full pipe already holds a wake-up
    }
    errno = saved;
}

} // namespace

XrEventLoop::XrEventLoop(size_t)
{
    XR_ASSERT(xr_global_event_loop == 0);
    xr_global_event_loop = this;
}

XrEventLoop::~XrEventLoop()
{
    XR_ASSERT(xr_global_event_loop != 0);
    xr_global_event_loop = nullptr;
    // The sockets' sources go first: the GLib main loop may run on.
    while (m_data_sockets.get_num_items() > 0) {
        XrDataSocketData d = *m_data_sockets.get_item_ptr(0);
        drop_data_source(d.socket);
        if (d.owned)
            delete d.socket;
    }
    remove_timeout(nullptr, nullptr);
    uninstall_reaper();
}

bool XrEventLoop::init()
{
    if (m_sigchld_watch != 0)
        return true;
    if (pipe2(m_sigchld_pipe, O_NONBLOCK | O_CLOEXEC) != 0) {
        m_sigchld_pipe[0] = m_sigchld_pipe[1] = -1;
        return false;
    }
    GIOChannel* channel = g_io_channel_unix_new(m_sigchld_pipe[0]);
    m_sigchld_watch = g_io_add_watch(channel, GIOCondition(G_IO_IN | G_IO_HUP | G_IO_ERR), sigchld_ready, this);
    g_io_channel_unref(channel);
    sigchld_write_fd = m_sigchld_pipe[1];
    struct sigaction action = {};
    action.sa_handler = sigchld_handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_NOCLDSTOP;
    sigaction(SIGCHLD, &action, &previous_sigchld_action);
    // Children that ended before the handler was in place.
    reap_children();
    return true;
}

void XrEventLoop::uninstall_reaper()
{
    if (m_sigchld_watch == 0)
        return;
    sigaction(SIGCHLD, &previous_sigchld_action, nullptr);
    sigchld_write_fd = -1;
    g_source_remove(m_sigchld_watch);
    m_sigchld_watch = 0;
    close(m_sigchld_pipe[0]);
    close(m_sigchld_pipe[1]);
    m_sigchld_pipe[0] = m_sigchld_pipe[1] = -1;
}

gboolean XrEventLoop::sigchld_ready(GIOChannel*, GIOCondition, gpointer loop)
{
    auto* self = static_cast<XrEventLoop*>(loop);
    char buffer[64];
    while (read(self->m_sigchld_pipe[0], buffer, sizeof(buffer)) > 0) {
    }
    self->reap_children();
    return TRUE;
}

// ---- timeouts

int XrEventLoop::find_timeout(const void* record) const
{
    for (int i = 0; i < m_timeouts.get_num_items(); ++i) {
        if (m_timeouts.get_item_ptr(i)->data == record)
            return i;
    }
    return -1;
}

bool XrEventLoop::add_timeout(int seconds, int milliseconds, XrEventHandler* handler, void* data)
{
    XR_ASSERT(handler != nullptr);
    auto* record = new (std::nothrow) XrMaemoTimeout(this, handler, data);
    if (record == nullptr)
        return false;
    XrTimeoutData entry;
    entry.handler = record;
    entry.data = record;
    if (!m_timeouts.append(entry)) {
        delete record;
        return false;
    }
    long long delay = seconds * 1000LL + milliseconds;
    if (delay < 0)
        delay = 0;
    if (delay > G_MAXUINT)
        delay = G_MAXUINT;
    record->source_id = g_timeout_add_full(G_PRIORITY_DEFAULT, static_cast<guint>(delay), timeout_handler, record, nullptr);
    return true;
}

gboolean XrEventLoop::timeout_handler(gpointer p)
{
    XR_ASSERT_MSG(p != nullptr, "to");
    auto* record = static_cast<XrMaemoTimeout*>(p);
    XrEventLoop* loop = record->loop;
    int index = loop->find_timeout(record);
    XR_ASSERT_MSG(index >= 0, "found");
    // Out of the table first: the handler may arm or remove timeouts.
    loop->m_timeouts.remove_item(index);
    record->execute(loop, nullptr);
    delete record;
    return FALSE;
}

void XrEventLoop::remove_timeout(XrEventHandler* handler, void* data)
{
    // Marks the matches first: cancelled() of one may arm new timeouts (not
    // cancelled by this call) or remove others, also through nested calls,
    // which mark with their own number.
    static unsigned last_mark = 0;
    unsigned mark = ++last_mark;
    if (mark == 0)
        mark = ++last_mark;
    bool any = false;
    for (int i = 0; i < m_timeouts.get_num_items(); ++i) {
        auto* record = static_cast<XrMaemoTimeout*>(m_timeouts.get_item_ptr(i)->data);
        if ((handler == nullptr || record->handler == handler) && (data == nullptr || record->data == data)) {
            record->cancel_mark = mark;
            any = true;
        }
    }
    while (any) {
        any = false;
        for (int i = 0; i < m_timeouts.get_num_items(); ++i) {
            auto* record = static_cast<XrMaemoTimeout*>(m_timeouts.get_item_ptr(i)->data);
            if (record->cancel_mark == mark) {
                m_timeouts.remove_item(i);
                record->cancelled(this, nullptr);
                any = true;
                break;
            }
        }
    }
}

// ---- fd line watches

bool XrEventLoop::add_fd_watch(XrLineWatch* watch)
{
    int on = 1;
    if (ioctl(watch->fd, FIONBIO, &on) != 0)
        return false;
    GIOChannel* channel = g_io_channel_unix_new(watch->fd);
    guint tag = g_io_add_watch(channel, GIOCondition(G_IO_IN | G_IO_HUP | G_IO_ERR | G_IO_NVAL), line_splitter, watch);
    g_io_channel_unref(channel);
    watch->read_tag = static_cast<int>(tag);
    return true;
}

bool XrEventLoop::remove_fd_watch(XrLineWatch* watch)
{
    if (watch->read_tag != -1)
        g_source_remove(static_cast<guint>(watch->read_tag));
    if (watch->write_tag != -1)
        g_source_remove(static_cast<guint>(watch->write_tag));
    watch->read_tag = -1;
    watch->write_tag = -1;
    if (watch->removed_flag != nullptr) {
        *watch->removed_flag = true;
        watch->removed_flag = nullptr;
    }
    int off = 0;
    ioctl(watch->fd, FIONBIO, &off);
    return true;
}

gboolean XrEventLoop::line_splitter(GIOChannel*, GIOCondition, gpointer data)
{
    auto* watch = static_cast<XrLineWatch*>(data);
    // Raised by remove_fd_watch from inside a listener call: the watch is
    // gone (maybe deleted) and its source removed.
    bool removed = false;
    watch->removed_flag = &removed;
    if (!watch->started) {
        watch->started = true;
        if (!watch->report_state(1))
            return FALSE;
    }
    BYTE buffer[line_read_size];
    for (int reads = 0; reads < line_reads_per_callback; ++reads) {
        ssize_t n = read(watch->fd, buffer, sizeof(buffer));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EINPROGRESS))
            break;
        if (n <= 0) {
            // End of file or a read error: told once. The fd would stay
            // ready and spin the main loop, so the read watch ends here;
            // the owner still removes the watch.
            watch->read_tag = -1;
            if (watch->report_state(0))
                watch->removed_flag = nullptr;
            return FALSE;
        }
        if (!watch->feed(buffer, static_cast<int>(n)))
            return FALSE;
    }
    watch->removed_flag = nullptr;
    return TRUE;
}

// ---- data sockets

void XrEventLoop::ref_data_source(XrDataSocketSource* source)
{
    XR_ASSERT(source);
    ++source->refcount;
}

void XrEventLoop::unref_data_source(XrDataSocketSource* source)
{
    if (source == nullptr)
        return;
    XR_ASSERT(source->refcount > 0);
    if (--source->refcount == 0)
        g_source_destroy(&source->source);
}

XrAddSocketResult XrEventLoop::add_data_socket(XrDataSocket* socket, bool owned)
{
    if (socket->source != nullptr)
        return XR_SOCKET_ALREADY_IN;
    GSource* g = g_source_new(&data_source_funcs, sizeof(XrDataSocketSource));
    if (g == nullptr)
        return XR_SOCKET_NO_SOURCE;
    XrDataSocketData entry;
    entry.socket = socket;
    entry.owned = owned;
    if (!m_data_sockets.append(entry)) {
        g_source_unref(g);
        return XR_SOCKET_NO_SOURCE;
    }
    auto* src = reinterpret_cast<XrDataSocketSource*>(g);
    g_source_set_can_recurse(g, FALSE);
    src->socket = socket;
    src->refcount = 1;
    src->destroyed = false;
    src->hung_up = false;
    src->parked = false;
    set_non_blocking(socket, true);
    socket->source = src;
    socket->poll_fd.fd = socket->fd;
    socket->poll_fd.events = 0;
    socket->poll_fd.revents = 0;
    socket->owned = owned;
    g_source_add_poll(g, &socket->poll_fd);
    g_source_attach(g, nullptr);
    g_source_unref(g); // the main context holds it from now on
    return XR_SOCKET_ADDED;
}

void XrEventLoop::drop_data_source(XrDataSocket* socket)
{
    XrDataSocketSource* src = socket->source;
    if (!src->parked)
        g_source_remove_poll(&src->source, &socket->poll_fd);
    src->destroyed = true;
    src->socket = nullptr;
    unref_data_source(src);
    socket->source = nullptr;
    for (int i = 0; i < m_data_sockets.get_num_items(); ++i) {
        if (m_data_sockets.get_item_ptr(i)->socket == socket) {
            m_data_sockets.remove_item(i);
            break;
        }
    }
}

void XrEventLoop::forget_data_socket(XrDataSocket* socket)
{
    if (socket != nullptr && socket->source != nullptr)
        drop_data_source(socket);
}

void XrEventLoop::remove_data_socket(XrDataSocket* socket)
{
    if (socket == nullptr || socket->source == nullptr)
        return;
    drop_data_source(socket);
    socket->removed();
    if (socket->owned)
        delete socket;
}
