// One ServCom exchange: a state machine that waits to be started, POSTs the
// compressed request bag, decodes the reply body as it arrives and reports the outcome
// to its client. It deletes itself when its machine finishes, and not
// before the HTTP request it made has reported request_done.
#pragma once

#include <cstdint>

#include "apps/services/xr_servcomreply.h"
#include "common/container/xr_bytearray.h"
#include "common/fsm/xr_fsm.h"
#include "common/os/xr_eventhandler.h"
#include "common/update/xr_httpclient.h"

class XrPropertyBag;
class XrServComClient;
class XrServComImplementation;

class XrServComMessage : public XrHttpRequestListener, public XrEventHandler, public XrFsmThread {
public:
    // Takes the request bag over; copies the busy text (may be null).
    XrServComMessage(XrFsm* fsm, const XrString& url, XrPropertyBag* request_bag, XrServComImplementation* channel,
                     XrHttpClient* http_client, XrServComClient* client, const XrString* busy_text);
    ~XrServComMessage() override;

    // Lets the waiting machine send.
    void start();
    bool is_started() const { return started; }
    // Running: started, with a request, not finished.
    bool is_running() const { return http_request != nullptr && !is_finished; }
    XrServComClient* get_client() const { return client; }
    // Marks the exchange finished, destroys its request and wakes the machine
    // (which then ends).
    void abort();

    XrFsmResult step() override;
    void finished() override { delete this; }

    // XrHttpRequestListener
    void request_failed(XrHttpRequest* request, XrHttpError error) override;
    void status_received(XrHttpRequest* request, int status) override;
    void data_received(XrHttpRequest* request, const BYTE* bytes, int length) override;
    // Any byte of the reply re-arms the time-out, also those the HTTP client
    // keeps until it has a block to hand on.
    void bytes_arrived(XrHttpRequest* request, int count) override;
    void request_done(XrHttpRequest* request) override;

    // XrEventHandler: the inactivity time-out fired, or the exchange ran
    // past its overall deadline.
    void execute(XrEventloopBase* loop, void* data) override;

    // However steadily bytes arrive, an exchange ends after this many
    // inactivity time-outs (a server sending a byte at a time for ever).
    static constexpr int deadline_timeouts = 10;

private:
    typedef XrFsmResult (XrServComMessage::*State)();
    XrFsmResult st_send();
    XrFsmResult st_receive();
    XrFsmResult st_fail();
    XrFsmResult st_done();

    void bag_received(XrPropertyBag* reply);
    void arm_timeout();
    void disarm_timeout();

    bool started = false;
    bool is_finished = false;
    // Monotonic milliseconds at which the running exchange ends; 0 none.
    std::int64_t deadline_ms = 0;
    XrFsmWaitQueue wait_queue;
    XrString url;
    XrPropertyBag* request_bag;
    XrServComImplementation* channel;
    XrEventloopBase* loop;
    XrHttpClient* http_client;
    XrHttpRequest* http_request = nullptr;
    XrServComClient* client;
    XrString* busy_text = nullptr;
    // The reply body is decoded while it arrives.
    XrServComReplyDecoder reply_decoder;
    XrByteArray request_body{16, 16};
    bool http_failure = false;
    // The body went past servcom_max_body_length: the rest is refused.
    bool body_too_large = false;
    XrHttpError http_error = XR_HTTP_ERROR_NO_MEMORY;
    State state;
};
