// ServCom: the request/response channel to the service server. A client
// hands the channel a URL, three integers and an optional payload bag; the
// channel POSTs them as a zlib-compressed BER bag and answers with exactly
// one reply_received per exchange. Exchanges run one at a time, in queue
// order, each on its own state machine. One channel per process, shared by
// reference counting.
#pragma once

#include "common/corvanel_core/interfaces/xr_globalbusydialog.h"
#include "common/ber/xr_propertybag.h"
#include "common/container/xr_array.h"
#include "common/container/xr_ptrarray.h"
#include "common/container/xr_string.h"

class XrEventloopBase;
class XrFsm;
class XrHttpClient;
class XrServComMessage;

// Events of XrServComClient::state_changed.
enum : int {
    XR_SERVCOM_EXCHANGE_STARTED = 10,
    XR_SERVCOM_EXCHANGE_ENDED = 11,
};

// Statuses of XrServComClient::reply_received.
enum : int {
    XR_SERVCOM_OK = 0,
    XR_SERVCOM_CANCELLED = 1,
    XR_SERVCOM_HTTP_FAILED = 2,
    XR_SERVCOM_TIMEOUT = 3,
    XR_SERVCOM_BAD_REPLY = 4,
    XR_SERVCOM_SERVER_ERROR = 5,
};

class XrServComClient {
public:
    virtual ~XrServComClient() = default;
    // Every client hears of every exchange starting (10) and ending (11).
    virtual void state_changed(int /*event*/) {}
    // The end of one of this client's exchanges; the payload, when not
    // null, is the client's to delete.
    virtual void reply_received(int /*status*/, int /*error_code*/, const XrString& /*title*/,
                                const XrString& /*details*/, int /*service_id*/, int /*value_a*/, int /*value_b*/,
                                XrPropertyBag* payload)
    {
        delete payload;
    }
};

class XrServCom {
public:
    virtual ~XrServCom() = default;

    virtual XrHttpClient* get_http_client() = 0;
    // Inactivity time-out of every later exchange, in seconds (0: none).
    virtual void set_timeout(int seconds) = 0;
    // Drops one reference; the last one deletes the channel.
    virtual void release() = 0;
    virtual void add_client(XrServComClient* client) = 0;
    // Removes every entry of the client.
    virtual void remove_client(XrServComClient* client) = 0;
    // Queues an exchange and returns its handle. The channel takes the
    // payload over; the busy text (may be null) is copied.
    virtual XrServComMessage* send_request(const XrString& url, int service_id, int value_a, int value_b,
                                           XrPropertyBag* payload, const XrString* busy_text,
                                           XrServComClient* client) = 0;
    // Ends a pending exchange (with notify: one reply_received with the
    // status, error code 18 and the texts); always nulls the handle.
    virtual void cancel_request(XrServComMessage** handle, bool notify, int status, const XrString* title,
                                const XrString* details) = 0;
    // Cancels every pending exchange, first to last, with status 1.
    virtual void cancel_all() = 0;
};

class XrServComImplementation : public XrServCom, public XrBusyDlgObserver {
public:
    // The process-wide channel, made with one reference on first use;
    // later calls add a reference.
    static XrServCom* acquire(XrFsm* fsm, XrEventloopBase* loop);
    // The process-wide channel with one more reference, or null.
    static XrServCom* ref_existing();
    // Time-out of a new channel, in seconds: the application settings'
    // default server time-out.
    static constexpr int default_timeout = 90;

    // The client version text of every request (the platform name is
    // appended to it); an empty text restores the built-in default.
    static void set_version_text(const XrString& version);
    static const XrString& get_version_text();

    XrHttpClient* get_http_client() override { return http_client; }
    void set_timeout(int seconds) override { timeout = seconds; }
    void release() override;
    void add_client(XrServComClient* client) override;
    void remove_client(XrServComClient* client) override;
    XrServComMessage* send_request(const XrString& url, int service_id, int value_a, int value_b,
                                   XrPropertyBag* payload, const XrString* busy_text,
                                   XrServComClient* client) override;
    void cancel_request(XrServComMessage** handle, bool notify, int status, const XrString* title,
                        const XrString* details) override;
    void cancel_all() override;

    // The busy indicator was cancelled: every exchange is cancelled.
    void cancelled() override { cancel_all(); }

    // For the exchanges.
    int get_timeout() const { return timeout; }
    XrEventloopBase* get_loop() const { return loop; }
    // Tells every client the event; on 11 also takes the busy indicator
    // down and starts the next pending exchange.
    void notify_clients(int event);
    // Takes the exchange off the pending list (false when it is not on it).
    bool remove_pending(XrServComMessage* message);
    void show_busy(const XrString& text);

private:
    XrServComImplementation(XrFsm* fsm, XrEventloopBase* loop);
    ~XrServComImplementation() override;

    bool is_pending(XrServComMessage* message) const;
    // Cancels the exchanges pending now, first to last, with status 1.
    void cancel_pending();
    void start_next();

    XrArray<XrServComClient*> clients{8, 8};
    XrPtrArray<XrServComMessage*> pending{8, 8};
    int ref_count = 1;
    XrFsm* fsm;
    XrEventloopBase* loop;
    XrHttpClient* http_client;
    int timeout = default_timeout;
    // The channel is being deleted: ending exchanges starts no others.
    bool closing = false;
    bool cancelling = false; // cancel_pending runs
};
