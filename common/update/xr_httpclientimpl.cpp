#include "common/update/xr_httpclientimpl.h"

#include "common/container/xr_defs.h"
#include "common/os/xr_eventloopbase.h"
#include "common/update/xr_httprequestimpl.h"

#include <cerrno>
#include <cstdio>
#include <new>

#include <sys/socket.h>

#include <glib.h>

namespace {

const struct {
    XrHttpMethod method;
    const char* name;
} method_names[] = {
    {XR_HTTP_OPTIONS, "OPTIONS"}, {XR_HTTP_GET, "GET"},       {XR_HTTP_HEAD, "HEAD"},
    {XR_HTTP_POST, "POST"},       {XR_HTTP_PUT, "PUT"},       {XR_HTTP_DELETE, "DELETE"},
    {XR_HTTP_TRACE, "TRACE"},     {XR_HTTP_CONNECT, "CONNECT"},
};

bool append_number(XrByteArray& out, const char* format, unsigned value)
{
    char text[32];
    std::snprintf(text, sizeof(text), format, value);
    return out.append(text);
}

} // namespace

const char* xr_http_method_name(XrHttpMethod method)
{
    for (const auto& m : method_names) {
        if (m.method == method)
            return m.name;
    }
    return "";
}

XrHttpClientImpl::XrHttpClientImpl(XrFsm* fsm_, XrEventloopBase* loop_)
    : XrFsmThread(fsm_, "HttpClient"), state(&XrHttpClientImpl::st_idle), wait_queue(fsm_), loop(loop_),
      resolver(this)
{
}

XrHttpClientImpl::~XrHttpClientImpl()
{
    stop_timer();
    resolver.cancel();
    if (iap_claimed)
        XrInet::release(this);
    if (socket != nullptr) {
        // Its removal must not wake the machine that is going away.
        destroying = true;
        loop->remove_data_socket(socket.get());
        socket.reset();
    }
}

void XrHttpClientImpl::destroy()
{
    XR_ASSERT(req_head == 0);
    XR_ASSERT(req_tail == 0);
    destroy_requested = true;
    wake();
}

void XrHttpClientImpl::make_runnable()
{
    if (thread_queue == &wait_queue) {
        wait_queue.remove(this);
        activate();
    }
}

void XrHttpClientImpl::finished()
{
    delete this;
}

void XrHttpClientImpl::set_proxy(const XrString& host, int port)
{
    proxy_host = host;
    proxy_port = port;
}

void XrHttpClientImpl::set_timeouts(int connect_ms, int idle_ms)
{
    connect_timeout_ms = connect_ms;
    idle_timeout_ms = idle_ms;
}

void XrHttpClientImpl::set_head_timeout(int head_ms)
{
    head_timeout_ms = head_ms;
}

XrHttpRequest* XrHttpClientImpl::create_request(const XrString& url, XrHttpMethod method,
                                                XrHttpRequestListener* listener, int user_data)
{
    if (listener == nullptr || *xr_http_method_name(method) == '\0')
        return nullptr;
    std::unique_ptr<XrHttpRequestImpl> made(new (std::nothrow) XrHttpRequestImpl(this, fsm, method, listener, user_data));
    if (made == nullptr || !made->init(url))
        return nullptr;
    XrHttpRequestImpl* request = made.release(); // the queue's from now on
    request->activate();
    fsm->run();
    request->prev = req_tail;
    if (req_tail != nullptr)
        req_tail->next = request;
    else
        req_head = request;
    req_tail = request;
    return request;
}

XrFsmResult XrHttpClientImpl::wait()
{
    wait_queue.add(this);
    return XR_FSM_SUSPEND;
}

// ---- events

void XrHttpClientImpl::resolved(int error, const XrString& text)
{
    if (error != 0 || !address.parse(text)) {
        address.clear();
        if (req_head != nullptr)
            req_head->error = XR_HTTP_ERROR_RESOLVE;
    }
    resolving = false;
    wake();
}

void XrHttpClientImpl::socket_removed()
{
    socket_removal_pending = false;
    if (!destroying)
        wake();
}

void XrHttpClientImpl::socket_connected(XrSocketResult error)
{
    connecting = false;
    if (error != XR_SOCKET_OK) {
        connect_failed = true;
        if (req_head != nullptr && !req_head->destroyed)
            req_head->error = XR_HTTP_ERROR_CONNECT;
    } else {
        note_activity();
    }
    wake();
}

void XrHttpClientImpl::socket_readable(int)
{
    waiting_readable = false;
    if (req_head != nullptr)
        req_head->wake();
    else
        wake();
}

void XrHttpClientImpl::socket_writable()
{
    waiting_writable = false;
    wake();
}

void XrHttpClientImpl::iap_event(int event, XrIap*)
{
    if (event == event_created)
        return;
    connection_up = event == event_connected;
    if (connection_up) {
        std::unique_ptr<XrInetProxy> proxy = XrInet::get_proxy(XrString());
        if (proxy != nullptr) {
            connection_proxy_host = proxy->host;
            connection_proxy_port = proxy->port;
        } else {
            connection_proxy_host.clear();
            connection_proxy_port = 0;
        }
    }
    waiting_for_connection = false;
    wake();
}

// ---- time-outs

void XrHttpClientImpl::note_activity()
{
    last_activity = g_get_monotonic_time();
}

void XrHttpClientImpl::head_begun()
{
    if (head_deadline != 0 || head_timeout_ms <= 0 || timer_phase != timer_transfer)
        return;
    head_deadline = g_get_monotonic_time() + std::int64_t(head_timeout_ms) * 1000;
    // The armed timeout may be due later than the new deadline.
    if (timer_armed) {
        timer_armed = false;
        loop->remove_timeout(&timer, this);
    }
    arm_timer(transfer_deadline() - g_get_monotonic_time());
}

void XrHttpClientImpl::head_ended()
{
    // The armed timeout re-arms itself for the idle time-out when it fires.
    head_deadline = 0;
}

std::int64_t XrHttpClientImpl::transfer_deadline() const
{
    std::int64_t deadline = INT64_MAX;
    if (idle_timeout_ms > 0)
        deadline = last_activity + std::int64_t(idle_timeout_ms) * 1000;
    if (head_deadline != 0 && head_deadline < deadline)
        deadline = head_deadline;
    return deadline;
}

void XrHttpClientImpl::Timer::execute(XrEventloopBase*, void*)
{
    owner->timer_armed = false;
    owner->timer_fired();
}

void XrHttpClientImpl::arm_timer(std::int64_t delay_us)
{
    if (timer_armed)
        return;
    std::int64_t ms = (delay_us + 999) / 1000;
    if (ms < 1)
        ms = 1;
    timer_armed = loop->add_timeout(static_cast<int>(ms / 1000), static_cast<int>(ms % 1000), &timer, this);
}

void XrHttpClientImpl::start_timer(TimerPhase phase)
{
    std::int64_t now = g_get_monotonic_time();
    bool limited = phase == timer_setup ? connect_timeout_ms > 0 : idle_timeout_ms > 0 || head_timeout_ms > 0;
    timer_phase = limited ? phase : timer_off;
    setup_deadline = now + std::int64_t(connect_timeout_ms) * 1000;
    last_activity = now;
    head_deadline = 0;
    if (timer_phase == timer_setup)
        arm_timer(setup_deadline - now);
    else if (timer_phase == timer_transfer && idle_timeout_ms > 0)
        arm_timer(transfer_deadline() - now);
}

void XrHttpClientImpl::stop_timer()
{
    timer_phase = timer_off;
    head_deadline = 0;
    if (timer_armed) {
        timer_armed = false;
        loop->remove_timeout(&timer, this);
    }
}

void XrHttpClientImpl::timer_fired()
{
    if (timer_phase == timer_off)
        return;
    // One armed timeout serves both phases: it re-arms itself for what is
    // left rather than being re-armed on every byte.
    std::int64_t deadline = timer_phase == timer_setup ? setup_deadline : transfer_deadline();
    std::int64_t now = g_get_monotonic_time();
    if (deadline == INT64_MAX)
        return; // no time-out runs until the head's deadline starts
    if (now < deadline) {
        arm_timer(deadline - now);
        return;
    }
    TimerPhase phase = timer_phase;
    timer_phase = timer_off;
    XrHttpRequestImpl* request = req_head;
    if (request == nullptr)
        return;
    if (request->finished) {
        // Answered, but the rest of the request does not get out.
        waiting_writable = false;
        wake();
        return;
    }
    if (phase == timer_transfer) {
        waiting_readable = false;
        waiting_writable = false;
        request->abort(XR_HTTP_ERROR_IO);
    } else if (waiting_for_connection) {
        waiting_for_connection = false;
        connection_up = false;
        request->error = XR_HTTP_ERROR_NO_MEMORY;
    } else if (resolving) {
        resolver.cancel();
        resolving = false;
        address.clear();
        request->error = XR_HTTP_ERROR_RESOLVE;
    } else {
        connecting = false;
        connect_failed = true;
        request->error = XR_HTTP_ERROR_CONNECT;
    }
    wake();
}

// ---- states

XrFsmResult XrHttpClientImpl::st_idle()
{
    XrHttpRequestImpl* request = req_head;
    if (destroy_requested && request == nullptr) {
        if (socket == nullptr)
            return XR_FSM_FINISH;
        return remove_socket(&XrHttpClientImpl::st_close_socket);
    }
    if (request == nullptr || (!request->started && !request->destroyed))
        return wait();
    if (request->is_aborted()) {
        request->wake();
        return go(&XrHttpClientImpl::st_wait_request_end);
    }
    start_timer(timer_setup);
    waiting_for_connection = true;
    if (XrInet::has_inet()) {
        iap_claimed = true;
        XrInet::connect(this, XrString());
    } else {
        waiting_for_connection = false;
        connection_up = false;
    }
    return go(&XrHttpClientImpl::st_prepare_request);
}

bool XrHttpClientImpl::build_request(XrHttpRequestImpl* r)
{
    bool proxied = !proxy_host.is_empty() || !connection_proxy_host.is_empty();
    XrByteArray& out = send_buffer;
    bool ok = out.append(xr_http_method_name(r->method)) && out.append(" ");
    if (proxied) {
        ok = ok && out.append(r->url_text.c_str());
    } else {
        ok = ok && out.append("/") && out.append(r->url.path.c_str());
        if (r->url.has_query)
            ok = ok && out.append("?") && out.append(r->url.query.c_str());
    }
    ok = ok && out.append(" HTTP/1.1\r\nHost: ") && out.append(r->url.host.c_str()) &&
         append_number(out, ":%u\r\n", static_cast<unsigned>(r->url.port));
    if (r->body_length >= 0)
        ok = ok && append_number(out, "Content-length: %u\r\n", static_cast<unsigned>(r->body_length));
    for (int i = 0; ok && i < r->request_headers.get_num_items(); ++i) {
        XrHttpHeaderField* field = r->request_headers.get_item(i);
        if (field->name == L"CONTENT-LENGTH" || field->name == L"TRANSFER-ENCODING" || field->name == L"HOST")
            continue;
        ok = out.append(field->name.c_str()) && out.append(": ") && out.append(field->value.c_str()) &&
             out.append("\r\n");
        if (field->name == L"CONNECTION" && field->value == L"close")
            close_after_request = true;
    }
    return ok && out.append("\r\n");
}

XrFsmResult XrHttpClientImpl::st_prepare_request()
{
    XrHttpRequestImpl* r = req_head;
    if (r->is_aborted())
        return go(&XrHttpClientImpl::st_idle);
    if (waiting_for_connection)
        return wait();
    if (!connection_up)
        return go(&XrHttpClientImpl::st_fail_request);
    send_buffer.remove_all();
    close_after_request = false;
    first_send = true;
    send_pos = 0;
    connect_failed = false;
    if (!build_request(r))
        return go(&XrHttpClientImpl::st_no_memory);
    XrString target_host = r->url.host;
    target_port = r->url.port;
    if (!proxy_host.is_empty()) {
        target_host = proxy_host;
        target_port = proxy_port;
    } else if (!connection_proxy_host.is_empty()) {
        target_host = connection_proxy_host;
        target_port = connection_proxy_port;
    }
    if (target_port == 0)
        target_port = 80;
    resolving = true;
    address.clear();
    if (!resolver.resolve(target_host)) {
        resolving = false;
        address.clear();
        r->error = XR_HTTP_ERROR_RESOLVE;
    }
    return go(&XrHttpClientImpl::st_wait_resolve);
}

bool XrHttpClientImpl::socket_reusable() const
{
    char c;
    ssize_t n = recv(socket->fd, &c, 1, MSG_PEEK | MSG_DONTWAIT);
    return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
}

XrFsmResult XrHttpClientImpl::st_wait_resolve()
{
    XrHttpRequestImpl* r = req_head;
    if (r->is_aborted()) {
        resolver.cancel();
        resolving = false;
        return go(&XrHttpClientImpl::st_idle);
    }
    if (resolving)
        return wait();
    if (!address.is_valid())
        return go(&XrHttpClientImpl::st_fail_request);
    if (socket != nullptr && socket_address == address && socket_port == target_port && !server_closed &&
        socket_reusable()) {
        return go(&XrHttpClientImpl::st_send_head);
    }
    if (socket != nullptr)
        return remove_socket(&XrHttpClientImpl::st_drop_connection);
    return go(&XrHttpClientImpl::st_connect);
}

XrFsmResult XrHttpClientImpl::remove_socket(State st_after)
{
    if (socket->source == nullptr) {
        // Never got into the loop: nothing to wait for.
        socket_removal_pending = false;
    } else {
        socket_removal_pending = true;
        loop->remove_data_socket(socket.get());
    }
    return go(st_after);
}

XrFsmResult XrHttpClientImpl::st_drop_connection()
{
    if (socket_removal_pending)
        return wait();
    socket.reset();
    return go(&XrHttpClientImpl::st_connect);
}

XrFsmResult XrHttpClientImpl::st_connect()
{
    XrHttpRequestImpl* r = req_head;
    socket.reset(new (std::nothrow) XrStreamSocketObs(this));
    if (socket == nullptr)
        return go(&XrHttpClientImpl::st_no_memory);
    socket_address = address;
    socket_port = target_port;
    server_closed = false;
    connect_failed = false;
    waiting_readable = false;
    waiting_writable = false;
    if (timer_phase != timer_setup)
        start_timer(timer_setup);
    if (socket->fd < 0 || !set_non_blocking(socket.get(), true)) {
        r->error = XR_HTTP_ERROR_IO;
        return go(&XrHttpClientImpl::st_fail_request);
    }
    if (loop->add_data_socket(socket.get(), false) != XR_SOCKET_ADDED)
        return go(&XrHttpClientImpl::st_no_memory);
    connecting = true;
    if (socket->connect(address, target_port) != XR_SOCKET_OK) {
        r->error = XR_HTTP_ERROR_CONNECT;
        return go(&XrHttpClientImpl::st_fail_request);
    }
    return go(&XrHttpClientImpl::st_send_head);
}

XrFsmResult XrHttpClientImpl::st_send_head()
{
    XrHttpRequestImpl* r = req_head;
    if (r->is_aborted())
        return go(&XrHttpClientImpl::st_idle);
    if (connecting || waiting_writable)
        return wait();
    if (connect_failed)
        return go(&XrHttpClientImpl::st_fail_request);
    if (timer_phase == timer_setup)
        start_timer(timer_transfer);
    while (send_pos < send_buffer.get_num_items()) {
        int n = socket->send(send_buffer.get_items() + send_pos, send_buffer.get_num_items() - send_pos);
        if (n == XR_SOCKET_WOULD_BLOCK) {
            waiting_writable = true;
            return XR_FSM_CONTINUE;
        }
        if (n < 0) {
            if (first_send) {
                // A kept connection the server has dropped: once more on a new one.
                server_closed = true;
                first_send = false;
                return go(&XrHttpClientImpl::st_wait_resolve);
            }
            r->error = XR_HTTP_ERROR_IO;
            return go(&XrHttpClientImpl::st_fail_request);
        }
        send_pos += n;
        first_send = false;
        note_activity();
    }
    r->head_sent = true;
    r->wake();
    if (r->body_length > 0)
        return go(&XrHttpClientImpl::st_send_body);
    return go(&XrHttpClientImpl::st_request_sent);
}

XrFsmResult XrHttpClientImpl::st_send_body()
{
    XrHttpRequestImpl* r = req_head;
    if (r->is_aborted() || r->finished) {
        // Given up, or answered before the body was all sent.
        close_after_request = true;
        return go(&XrHttpClientImpl::st_wait_request_end);
    }
    if (waiting_writable)
        return wait();
    while (r->body_sent < r->body_length) {
        int n = socket->send(r->body + r->body_sent, r->body_length - r->body_sent);
        if (n == XR_SOCKET_WOULD_BLOCK) {
            waiting_writable = true;
            return XR_FSM_CONTINUE;
        }
        if (n < 0) {
            r->error = XR_HTTP_ERROR_IO;
            return go(&XrHttpClientImpl::st_fail_request);
        }
        r->body_sent += n;
        note_activity();
    }
    return go(&XrHttpClientImpl::st_request_sent);
}

XrFsmResult XrHttpClientImpl::st_request_sent()
{
    head_begun();
    if (close_after_request)
        socket->shutdown_write();
    return go(&XrHttpClientImpl::st_wait_request_end);
}

XrFsmResult XrHttpClientImpl::st_no_memory()
{
    req_head->error = XR_HTTP_ERROR_NO_MEMORY;
    return go(&XrHttpClientImpl::st_fail_request);
}

XrFsmResult XrHttpClientImpl::st_fail_request()
{
    close_after_request = true;
    req_head->done = true;
    req_head->wake();
    return go(&XrHttpClientImpl::st_wait_request_end);
}

XrFsmResult XrHttpClientImpl::st_wait_request_end()
{
    XrHttpRequestImpl* r = req_head;
    if (!r->finished)
        return wait();
    stop_timer();
    if (r->redirected) {
        ++redirect_count;
        r->restart_redirected();
        first_send = true;
        connecting = false;
        connect_failed = false;
        waiting_readable = false;
        waiting_writable = false;
        if (socket != nullptr && close_after_request)
            return remove_socket(&XrHttpClientImpl::st_close_socket);
        return go(&XrHttpClientImpl::st_idle);
    }
    req_head = r->next;
    if (req_head != nullptr)
        req_head->prev = nullptr;
    else
        req_tail = nullptr;
    r->next = nullptr;
    redirect_count = 0;
    bool was_started = r->started;
    if (was_started)
        r->listener->request_done(r);
    delete r;
    if (socket != nullptr && (close_after_request || connecting)) {
        connecting = false;
        return remove_socket(&XrHttpClientImpl::st_close_socket);
    }
    return go(&XrHttpClientImpl::st_idle);
}

XrFsmResult XrHttpClientImpl::st_close_socket()
{
    if (socket_removal_pending)
        return wait();
    socket.reset();
    server_closed = false;
    return go(&XrHttpClientImpl::st_idle);
}
