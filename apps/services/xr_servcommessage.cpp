#include "apps/services/xr_servcommessage.h"

#include "apps/services/xr_servcom.h"
#include "apps/services/xr_servcomreply.h"
#include "common/ber/xr_propertybag.h"
#include "common/misc/xr_msgids.h"
#include "common/os/xr_eventloopbase.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <new>

namespace {

// ServCom error codes of the HTTP client's error numbers.
int error_code_of(XrHttpError http_error)
{
    switch (http_error) {
    case XR_HTTP_ERROR_RESOLVE:
        return 4;
    case XR_HTTP_ERROR_RESOLVER:
        return 20;
    case XR_HTTP_ERROR_CONNECT:
        return 5;
    default:
        return 18;
    }
}

// The zlib stream of the bag's BER encoding; false when it cannot be made.
bool compress_bag(const XrPropertyBag& bag, XrByteArray& out)
{
    XrByteArray encoding;
    if (bag.encode(encoding) != XrPropertyBag::OK)
        return false;
    const int n = encoding.get_num_items();
    int packed_length = n + n / 10 + 12;
    std::unique_ptr<BYTE[]> packed(new (std::nothrow) BYTE[static_cast<size_t>(packed_length)]);
    return packed && zlib_compress(encoding.get_items(), n, packed.get(), packed_length) &&
           out.set(packed.get(), packed_length);
}

std::int64_t monotonic_ms()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

XrServComMessage::XrServComMessage(XrFsm* fsm_, const XrString& url_, XrPropertyBag* request_bag_,
                                   XrServComImplementation* channel_, XrHttpClient* http_client_,
                                   XrServComClient* client_, const XrString* busy_text_)
    : XrFsmThread(fsm_, "ServComMessage"),
      wait_queue(fsm_),
      url(url_),
      request_bag(request_bag_),
      channel(channel_),
      loop(channel_ != nullptr ? channel_->get_loop() : nullptr),
      http_client(http_client_),
      client(client_),
      state(&XrServComMessage::st_send)
{
    if (busy_text_ != nullptr)
        busy_text = new XrString(*busy_text_);
}

XrServComMessage::~XrServComMessage()
{
    XR_ASSERT(http_request == 0);
    disarm_timeout();
    delete request_bag;
    delete busy_text;
}

void XrServComMessage::start()
{
    started = true;
    if (thread_queue == &wait_queue)
        wait_queue.wake_one();
}

void XrServComMessage::abort()
{
    is_finished = true;
    disarm_timeout();
    XrHttpRequest* request = http_request;
    http_request = nullptr;
    if (request != nullptr) {
        // Its request_done wakes the machine, which then ends (this object
        // may be gone when destroy returns).
        request->destroy();
    } else if (thread_queue == &wait_queue) {
        wait_queue.wake_one();
    }
}

XrFsmResult XrServComMessage::step()
{
    return (this->*state)();
}

XrFsmResult XrServComMessage::st_send()
{
    if (is_finished) {
        state = &XrServComMessage::st_done;
        return XR_FSM_CONTINUE;
    }
    if (!started) {
        wait_queue.add(this);
        return XR_FSM_SUSPEND;
    }
    if (http_client == nullptr || request_bag == nullptr || url.is_empty()) {
        state = &XrServComMessage::st_fail;
        return XR_FSM_CONTINUE;
    }
    XrHttpRequest* request = http_client->create_request(url, XR_HTTP_POST, this, 0);
    if (request == nullptr) {
        state = &XrServComMessage::st_fail;
        return XR_FSM_CONTINUE;
    }
    if (!request->set_header(XrString("User-Agent"), XrString("Kestrova Client")) ||
        !request->set_header(XrString("Connection"), XrString("close")) ||
        !compress_bag(*request_bag, request_body) ||
        !request->set_body(request_body.get_items(), request_body.get_num_items())) {
        request->destroy(); // not started: dropped silently
        state = &XrServComMessage::st_fail;
        return XR_FSM_CONTINUE;
    }
    delete request_bag;
    request_bag = nullptr;
    http_request = request;
    if (busy_text != nullptr)
        channel->show_busy(*busy_text);
    deadline_ms = channel->get_timeout() == 0
                      ? 0
                      : monotonic_ms() + std::int64_t{1000} * channel->get_timeout() * deadline_timeouts;
    arm_timeout();
    state = &XrServComMessage::st_receive;
    set_in_async_call(true);
    thread_async_wait = true;
    request->start();
    return take_wait_result();
}

XrFsmResult XrServComMessage::st_receive()
{
    if (is_finished) {
        state = &XrServComMessage::st_done;
        return XR_FSM_CONTINUE;
    }
    disarm_timeout();
    if (http_failure) {
        state = &XrServComMessage::st_fail;
        return XR_FSM_CONTINUE;
    }
    XrPropertyBag* reply = reply_decoder.finish();
    state = &XrServComMessage::st_done;
    bag_received(reply);
    return XR_FSM_CONTINUE;
}

XrFsmResult XrServComMessage::st_fail()
{
    state = &XrServComMessage::st_done;
    const int code = error_code_of(http_error);
    XrString title = servcom_error_text(code);
    XrString details;
    details.format(100, L"%s : Code = %d", title.c_str(), static_cast<int>(http_error));
    channel->remove_pending(this);
    channel->notify_clients(XR_SERVCOM_EXCHANGE_ENDED);
    if (client != nullptr)
        client->reply_received(XR_SERVCOM_HTTP_FAILED, code, title, details, 0, 0, 0, nullptr);
    return XR_FSM_CONTINUE;
}

XrFsmResult XrServComMessage::st_done()
{
    return XR_FSM_FINISH;
}

void XrServComMessage::bag_received(XrPropertyBag* reply)
{
    XR_ASSERT(http_failure == false);
    XrServComReply r = servcom_evaluate_reply(reply);
    delete reply;
    channel->remove_pending(this);
    channel->notify_clients(XR_SERVCOM_EXCHANGE_ENDED);
    if (client != nullptr)
        client->reply_received(r.status, 0, r.title, r.details, r.service_id, r.value_a, r.value_b, r.payload);
    else
        delete r.payload;
}

void XrServComMessage::request_failed(XrHttpRequest* /*request*/, XrHttpError error)
{
    if (http_failure)
        return; // the first cause stays: a request destroyed over the body cap then reports 8
    http_failure = true;
    http_error = error;
}

void XrServComMessage::status_received(XrHttpRequest* /*request*/, int /*status*/) {}

void XrServComMessage::data_received(XrHttpRequest* /*request*/, const BYTE* bytes, int length)
{
    if (is_finished || body_too_large)
        return;
    if (reply_decoder.get_body_length() + length > servcom_max_body_length) {
        // Refused while it arrives, so that neither memory nor the spill
        // file grows past the cap; the exchange fails like a bad response.
        body_too_large = true;
        http_failure = true;
        http_error = XR_HTTP_ERROR_BAD_RESPONSE;
        disarm_timeout();
        if (http_request != nullptr)
            http_request->destroy(); // request_done follows and ends the exchange
        return;
    }
    arm_timeout();
    reply_decoder.write(bytes, length);
}

void XrServComMessage::bytes_arrived(XrHttpRequest* /*request*/, int /*count*/)
{
    if (!is_finished && !body_too_large && !http_failure)
        arm_timeout();
}

void XrServComMessage::request_done(XrHttpRequest* /*request*/)
{
    if (http_request == nullptr)
        state = &XrServComMessage::st_done;
    http_request = nullptr;
    if (thread_in_async_call)
        thread_async_callback();
}

void XrServComMessage::arm_timeout()
{
    if (loop == nullptr)
        return;
    loop->remove_timeout(this, nullptr);
    if (channel->get_timeout() == 0)
        return;
    std::int64_t ms = std::int64_t{1000} * channel->get_timeout();
    if (deadline_ms != 0)
        ms = std::clamp<std::int64_t>(deadline_ms - monotonic_ms(), 0, ms);
    loop->add_timeout(static_cast<int>(ms / 1000), static_cast<int>(ms % 1000), this, nullptr);
}

void XrServComMessage::disarm_timeout()
{
    if (loop != nullptr)
        loop->remove_timeout(this, nullptr);
}

void XrServComMessage::execute(XrEventloopBase* /*loop*/, void* /*data*/)
{
    // A reply that has arrived completely is evaluated, not timed out.
    if (!is_running())
        return;
    XrServComImplementation* ch = channel;
    XrServComClient* c = client;
    const bool past_deadline = deadline_ms != 0 && monotonic_ms() >= deadline_ms;
    const int seconds = ch->get_timeout() * (past_deadline ? deadline_timeouts : 1);
    ch->remove_pending(this);
    abort(); // may delete this
    XrString title(static_cast<int>(R_STR_OPERATION_TIMEOUT));
    XrString details;
    details.format(100, L"%s (%d s)", title.c_str(), seconds);
    ch->notify_clients(XR_SERVCOM_EXCHANGE_ENDED);
    if (c != nullptr)
        c->reply_received(XR_SERVCOM_TIMEOUT, 18, title, details, 0, 0, 0, nullptr);
}
