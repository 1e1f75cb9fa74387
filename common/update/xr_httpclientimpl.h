// The HTTP client's state machine: for each request in queue order it asks
// for the Internet connection, resolves the target host, connects (or keeps
// the open connection), sends the request and waits until the request's own
// machine has read the response.
#pragma once

#include "common/container/xr_bytearray.h"
#include "common/container/xr_string.h"
#include "common/fsm/xr_fsm.h"
#include "common/os/xr_inet.h"
#include "common/os/xr_resolver.h"
#include "common/os/xr_socket.h"
#include "common/update/xr_httpclient.h"

#include <cstdint>
#include <memory>

class XrHttpRequestImpl;

class XrHttpClientImpl : public XrHttpClient,
                         public XrFsmThread,
                         public XrResolverListener,
                         public XrSocketObserver,
                         public XrIapListener {
public:
    // Time allowed for the Internet connection, the name lookup and the TCP
    // connect together, and for silence of the peer while a request is sent
    // or its response read (milliseconds).
    static constexpr int default_connect_timeout_ms = 30000;
    static constexpr int default_idle_timeout_ms = 60000;
    // Time allowed for the whole response head, interim replies included,
    // from the end of the request (or the head's first line if earlier).
    static constexpr int default_head_timeout_ms = 60000;
    static constexpr int max_redirects = 3;

    XrHttpClientImpl(XrFsm* fsm, XrEventloopBase* loop);
    ~XrHttpClientImpl() override;

    void destroy() override;
    void set_proxy(const XrString& host, int port) override;
    XrHttpRequest* create_request(const XrString& url, XrHttpMethod method, XrHttpRequestListener* listener,
                                  int user_data) override;

    // 0 switches a time-out off.
    void set_timeouts(int connect_ms, int idle_ms);
    void set_head_timeout(int head_ms);

    XrFsmResult step() override { return (this->*state)(); }
    // Deletes the client once its destroy has closed the connection.
    void finished() override;

    void resolved(int error, const XrString& address) override;
    void socket_removed() override;
    void socket_connected(XrSocketResult error) override;
    void socket_readable(int bytes) override;
    void socket_writable() override;
    void iap_event(int event, XrIap* iap) override;

    // Wakes the client's machine when it waits.
    void wake() { wait_queue.wake_one(); }
    // Puts the waiting machine back on the run queue without running it.
    void make_runnable();
    // The peer did something: the idle time-out starts again.
    void note_activity();
    // The response head is awaited: its deadline starts unless it runs.
    void head_begun();
    // The final response head is in: its deadline no longer applies.
    void head_ended();

    // Shared with the requests.
    std::unique_ptr<XrStreamSocketObs> socket;
    bool server_closed = false;
    bool close_after_request = false;
    bool waiting_readable = false;
    int redirect_count = 0;

private:
    typedef XrFsmResult (XrHttpClientImpl::*State)();

    // Runs the client's time-outs.
    class Timer : public XrEventHandler {
    public:
        explicit Timer(XrHttpClientImpl* owner_) : owner(owner_) {}
        void execute(XrEventloopBase* loop, void* data) override;

    private:
        XrHttpClientImpl* owner;
    };
    enum TimerPhase { timer_off, timer_setup, timer_transfer };

    XrFsmResult go(State next_state)
    {
        state = next_state;
        return XR_FSM_CONTINUE;
    }
    XrFsmResult wait();
    bool build_request(XrHttpRequestImpl* request);
    // Takes the socket out of the loop; st_after follows once it is gone.
    XrFsmResult remove_socket(State st_after);
    // True when the open socket can carry the next request: the peer has
    // neither closed it nor sent anything unasked.
    bool socket_reusable() const;

    void start_timer(TimerPhase phase);
    void stop_timer();
    void arm_timer(std::int64_t delay_us);
    void timer_fired();
    // When the transfer phase times out (monotonic microseconds).
    std::int64_t transfer_deadline() const;

    XrFsmResult st_idle();
    XrFsmResult st_prepare_request();
    XrFsmResult st_wait_resolve();
    XrFsmResult st_drop_connection();
    XrFsmResult st_connect();
    XrFsmResult st_send_head();
    XrFsmResult st_send_body();
    XrFsmResult st_request_sent();
    XrFsmResult st_no_memory();
    XrFsmResult st_fail_request();
    XrFsmResult st_wait_request_end();
    XrFsmResult st_close_socket();

    State state;
    XrFsmWaitQueue wait_queue;
    XrIpAddress socket_address;
    int socket_port = 0;
    bool connecting = false;
    bool connect_failed = false;
    bool socket_removal_pending = false;
    bool waiting_writable = false;
    bool first_send = false;
    bool destroy_requested = false;
    bool destroying = false;
    XrHttpRequestImpl* req_head = nullptr;
    XrHttpRequestImpl* req_tail = nullptr;
    XrEventloopBase* loop;
    XrString proxy_host;
    int proxy_port = 0;
    XrResolver resolver;
    XrIpAddress address;
    int target_port = 0;
    XrByteArray send_buffer{16, 16};
    int send_pos = 0;
    bool resolving = false;
    bool waiting_for_connection = false;
    bool connection_up = false;
    bool iap_claimed = false;
    XrString connection_proxy_host;
    int connection_proxy_port = 0;

    Timer timer{this};
    TimerPhase timer_phase = timer_off;
    bool timer_armed = false;
    std::int64_t setup_deadline = 0; // monotonic microseconds
    std::int64_t last_activity = 0;
    std::int64_t head_deadline = 0; // 0: not running
    int connect_timeout_ms = default_connect_timeout_ms;
    int idle_timeout_ms = default_idle_timeout_ms;
    int head_timeout_ms = default_head_timeout_ms;
};
