#include "common/update/xr_updatelogger.h"

#include "common/container/xr_defs.h"
#include "common/update/xr_updateloggerrpcadapter.h"

#include <cstring>
#include <new>

namespace {

// The update RPC client unless a test installs another.
XrUpdateLoggerRpcFactory rpc_factory = XrUpdateLoggerRpcAdapter::create;

// One byte per character: its low 8 bits.
std::string narrow(const XrString& text)
{
    std::string out;
    out.reserve(text.length());
    for (int i = 0; i < text.length(); ++i)
        out += (char)(unsigned char)text.char_at(i);
    return out;
}

} // namespace

XrUpdateLogger::XrUpdateLogger(XrFsm* fsm_, XrEventloopBase* loop_, const XrString& host_, int port_,
                               const XrString& proxy_host_, int proxy_port_, XrUpdateLoggerListener* listener_,
                               const char* cookie_)
    : XrFsmThread(fsm_, "UpdateLogger"), loop(loop_), host(host_), port(port_), proxy_host(proxy_host_),
      proxy_port(proxy_port_), listener(listener_), wait_queue(fsm_), state(&XrUpdateLogger::st_idle)
{
    cookie[0] = '\0';
    if (cookie_ != nullptr) {
        std::strncpy(cookie, cookie_, max_cookie);
        cookie[max_cookie] = '\0';
    }
    activate();
    fsm->run();
}

XrUpdateLogger::~XrUpdateLogger()
{
    while (head != nullptr) {
        XrUpdateLoggerEvent* next = head->next;
        delete head;
        head = next;
    }
    if (rpc != nullptr)
        rpc->quit();
}

void XrUpdateLogger::set_rpc_factory(XrUpdateLoggerRpcFactory factory)
{
    rpc_factory = factory != nullptr ? factory : XrUpdateLoggerRpcAdapter::create;
}

bool XrUpdateLogger::start()
{
    if (rpc == nullptr)
        rpc = rpc_factory(this, fsm, loop, host, port, proxy_host, proxy_port);
    return rpc != nullptr;
}

void XrUpdateLogger::enqueue(XrUpdateLoggerEvent* event)
{
    if (tail != nullptr)
        tail->next = event;
    else
        head = event;
    tail = event;
    wait_queue.wake_one();
}

void XrUpdateLogger::log_message_internal(XrString text, XrUpdateLoggerEvent::Type type)
{
    XR_ASSERT(type == XrUpdateLoggerEvent::MESSAGE || type == XrUpdateLoggerEvent::ERROR);
    XrUpdateLoggerEvent* event = new (std::nothrow) XrUpdateLoggerEvent();
    if (event == nullptr)
        return;
    event->type = type;
    event->text = text;
    enqueue(event);
}

void XrUpdateLogger::log_message(const XrString& text)
{
    log_message_internal(text, XrUpdateLoggerEvent::MESSAGE);
}

void XrUpdateLogger::log_error(const XrString& text)
{
    log_message_internal(text, XrUpdateLoggerEvent::ERROR);
}

void XrUpdateLogger::log_progress(const XrString& operation, unsigned done, unsigned total)
{
    if (queued_progress != nullptr) {
        queued_progress->text = operation;
        queued_progress->done = done;
        queued_progress->total = total;
        return;
    }
    XrUpdateLoggerEvent* event = new (std::nothrow) XrUpdateLoggerEvent();
    if (event == nullptr)
        return;
    event->type = XrUpdateLoggerEvent::PROGRESS;
    event->text = operation;
    event->done = done;
    event->total = total;
    queued_progress = event;
    enqueue(event);
}

void XrUpdateLogger::quit()
{
    quit_flag = true;
    wait_queue.wake_one();
}

void XrUpdateLogger::rpc_done(bool ok)
{
    last_ok = ok;
    if (!call_pending)
        return;
    call_pending = false;
    thread_async_callback();
}

XrFsmResult XrUpdateLogger::step()
{
    return (this->*state)();
}

void XrUpdateLogger::finished()
{
    if (listener != nullptr)
        listener->logger_finished(this);
    delete this;
}

XrFsmResult XrUpdateLogger::st_idle()
{
    if (head != nullptr) {
        state = &XrUpdateLogger::st_send_event;
        return XR_FSM_CONTINUE;
    }
    if (quit_flag)
        return XR_FSM_FINISH;
    wait_queue.add(this);
    return XR_FSM_SUSPEND;
}

XrUpdateLoggerRpc::Params XrUpdateLogger::build_params(const XrUpdateLoggerEvent& event) const
{
    XrUpdateLoggerRpc::Params params;
    params.emplace_back("cookie", cookie);
    switch (event.type) {
    case XrUpdateLoggerEvent::MESSAGE:
        params.emplace_back("type", "message");
        params.emplace_back("event", narrow(event.text));
        break;
    case XrUpdateLoggerEvent::PROGRESS:
        params.emplace_back("type", "progress");
        params.emplace_back("operation", narrow(event.text));
        params.emplace_back("done", std::to_string(event.done));
        params.emplace_back("total", std::to_string(event.total));
        break;
    case XrUpdateLoggerEvent::ERROR:
        params.emplace_back("type", "error");
        params.emplace_back("message", narrow(event.text));
        break;
    }
    return params;
}

XrFsmResult XrUpdateLogger::st_send_event()
{
    XrUpdateLoggerEvent* event = head;
    head = event->next;
    if (head == nullptr)
        tail = nullptr;
    if (event == queued_progress)
        queued_progress = nullptr;
    if (rpc == nullptr) {
        delete event;
        state = &XrUpdateLogger::st_idle;
        return XR_FSM_CONTINUE;
    }
    XrUpdateLoggerRpc::Params params = build_params(*event);
    delete event;
    state = &XrUpdateLogger::st_event_sent;
    set_in_async_call(true);
    thread_async_wait = true;
    call_pending = true;
    rpc->call(XrString("/rpc/event_logger"), params);
    return take_wait_result();
}

XrFsmResult XrUpdateLogger::st_event_sent()
{
    state = &XrUpdateLogger::st_idle;
    return XR_FSM_CONTINUE;
}
