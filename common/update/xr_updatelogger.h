// Reports of the update manager to the update server: messages, progress of
// an operation and errors are queued and sent one by one as
// "/rpc/event_logger" calls. Best effort: outcomes are not checked and
// nothing is sent again.
#pragma once

#include "common/container/xr_string.h"
#include "common/fsm/xr_fsm.h"

#include <string>
#include <utility>
#include <vector>

class XrEventloopBase;
class XrUpdateLogger;

struct XrUpdateLoggerEvent {
    enum Type { MESSAGE = 0, PROGRESS = 1, ERROR = 2 };

    XrUpdateLoggerEvent* next = nullptr;
    Type type = MESSAGE;
    XrString text;
    unsigned done = 0;
    unsigned total = 0;
};

class XrUpdateLoggerListener {
public:
    virtual ~XrUpdateLoggerListener() = default;
    // The logger has ended; it deletes itself right after.
    virtual void logger_finished(XrUpdateLogger* logger) = 0;
};

// The logger's view of the update RPC client: one call at a time, each
// completed through XrUpdateLogger::rpc_done (possibly before call returns).
class XrUpdateLoggerRpc {
public:
    // Form parameters in the order they are sent: key, value bytes.
    typedef std::vector<std::pair<std::string, std::string>> Params;

    virtual ~XrUpdateLoggerRpc() = default;
    virtual void call(const XrString& path, const Params& params) = 0;
    // The logger is done with the client; it may delete itself.
    virtual void quit() = 0;
};

// Makes the RPC client of a logger on the scheduler and loop, with the
// server and, when the proxy host is not empty, the proxy; null on failure.
typedef XrUpdateLoggerRpc* (*XrUpdateLoggerRpcFactory)(XrUpdateLogger* logger, XrFsm* fsm, XrEventloopBase* loop,
                                                       const XrString& host, int port, const XrString& proxy_host,
                                                       int proxy_port);

class XrUpdateLogger : public XrFsmThread {
public:
    static constexpr int max_cookie = 255;

    // Starts the thread (it waits for events at once).
    XrUpdateLogger(XrFsm* fsm, XrEventloopBase* loop, const XrString& host, int port, const XrString& proxy_host,
                   int proxy_port, XrUpdateLoggerListener* listener, const char* cookie);

    // The factory of the RPC clients of later start() calls; null restores
    // the default, the update RPC client (XrUpdateLoggerRpcAdapter).
    static void set_rpc_factory(XrUpdateLoggerRpcFactory factory);

    // Creates the RPC client; false when that fails (events are then dropped).
    bool start();
    void log_message(const XrString& text);
    void log_error(const XrString& text);
    // Updates the queued progress event, or queues a new one.
    void log_progress(const XrString& operation, unsigned done, unsigned total);
    void log_message_internal(XrString text, XrUpdateLoggerEvent::Type type);
    // Sends what is queued, then ends.
    void quit();
    // Completion of the call under way.
    void rpc_done(bool ok);

    XrFsmResult step() override;
    void finished() override;

private:
    typedef XrFsmResult (XrUpdateLogger::*State)();
    ~XrUpdateLogger() override;

    XrFsmResult st_idle();
    XrFsmResult st_send_event();
    XrFsmResult st_event_sent();

    void enqueue(XrUpdateLoggerEvent* event);
    XrUpdateLoggerRpc::Params build_params(const XrUpdateLoggerEvent& event) const;

    XrEventloopBase* loop;
    XrString host;
    int port;
    XrString proxy_host;
    int proxy_port;
    XrUpdateLoggerListener* listener;
    char cookie[max_cookie + 1];

    XrUpdateLoggerRpc* rpc = nullptr;
    bool call_pending = false;
    bool last_ok = false;

    XrUpdateLoggerEvent* head = nullptr;
    XrUpdateLoggerEvent* tail = nullptr;
    XrUpdateLoggerEvent* queued_progress = nullptr;

    XrFsmWaitQueue wait_queue;
    bool quit_flag = false;
    State state;
};
