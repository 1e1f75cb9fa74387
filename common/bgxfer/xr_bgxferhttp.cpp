#include "common/bgxfer/xr_bgxfer.h"
#include "common/fsm/xr_fsm.h"
#include "common/update/xr_httpclient.h"

#include <new>

namespace {

class XrBgxferHttpQj final : public XrBgxferHttp, public XrFsmThread, public XrHttpRequestListener {
public:
    XrBgxferHttpQj(XrFsm* f, XrEventloopBase* l, const XrString& host, int port, XrBgxferHttpClient* c)
        : XrFsmThread(f, "BgxferHttpQj"), loop(l), proxy_host(host), proxy_port(port), client(c), wait_queue(f)
    {
        activate();
    }

    ~XrBgxferHttpQj() override
    {
        if (http_client != nullptr)
            http_client->destroy();
    }

    void cancel() override
    {
        if (request != nullptr) {
            XrHttpRequest* r = request;
            request = nullptr;
            r->destroy(); // reports request_failed and request_done
        }
    }

    void release() override
    {
        released = true;
        client = nullptr;
        cancel();
        if (thread_done)
            delete this;
        else
            wake();
    }

    void start(const XrString& s, unsigned o) override
    {
        source = s;
        offset = o;
        wake();
    }

    XrFsmResult step() override
    {
        switch (state) {
        case State::idle:
            if (released)
                return XR_FSM_FINISH;
            if (source.length() == 0) {
                wait_queue.add(this);
                return XR_FSM_SUSPEND;
            }
            if (http_client == nullptr) {
                http_client = XrHttpClient::create(fsm, loop);
                if (http_client == nullptr)
                    return fail();
                http_client->set_proxy(proxy_host, proxy_port);
            }
            return download();
        case State::sent:
            state = State::idle;
            if (client != nullptr) {
                if (failed)
                    client->transfer_failed();
                else
                    client->transfer_done();
            }
            return XR_FSM_CONTINUE;
        }
        return XR_FSM_FINISH;
    }

    void finished() override
    {
        thread_done = true;
        if (released)
            delete this;
    }

    void request_failed(XrHttpRequest*, XrHttpError) override { failed = true; }
    void status_received(XrHttpRequest*, int status) override
    {
        if (status < 200 || status > 299)
            failed = true;
    }
    void data_received(XrHttpRequest*, const BYTE* bytes, int length) override
    {
        if (client != nullptr && !released)
            client->data_received(bytes, length);
    }
    void request_done(XrHttpRequest*) override
    {
        request = nullptr;
        // Resumed from the main loop once the http client has dropped the
        // request: the job may start the next file from transfer_done.
        if (loop != nullptr)
            post_async_callback(loop);
        else
            thread_async_callback();
    }

private:
    enum class State { idle, sent };

    XrFsmResult fail()
    {
        source = XrString();
        failed = true;
        state = State::sent;
        return XR_FSM_CONTINUE;
    }

    XrFsmResult download()
    {
        XrHttpRequest* r = http_client->create_request(source, XR_HTTP_GET, this, 0);
        source = XrString();
        if (r == nullptr)
            return fail();
        if (offset != 0) {
            XrString range;
            range.format(40, L"bytes=%u-", offset);
            if (!r->set_header(XrString("Range"), range)) {
                r->destroy();
                return fail();
            }
        }
        failed = false;
        request = r;
        state = State::sent;
        set_in_async_call(true);
        thread_async_wait = true;
        r->start();
        return take_wait_result();
    }

    void wake()
    {
        if (thread_queue == &wait_queue)
            wait_queue.wake_one();
        else if (thread_queue != nullptr)
            fsm->run();
    }

    XrEventloopBase* loop;
    XrString proxy_host;
    int proxy_port;
    XrBgxferHttpClient* client;
    XrHttpClient* http_client = nullptr;
    XrHttpRequest* request = nullptr;
    XrFsmWaitQueue wait_queue;
    XrString source;
    unsigned offset = 0;
    State state = State::idle;
    bool failed = false;
    bool released = false;
    bool thread_done = false;
};

} // namespace

XrBgxferHttp* XrBgxferHttp::create(XrFsm* fsm, XrEventloopBase* loop, const XrString& proxy_host, int proxy_port,
                                   XrBgxferHttpClient* client)
{
    return new (std::nothrow) XrBgxferHttpQj(fsm, loop, proxy_host, proxy_port, client);
}
