// Internet access: before anything goes on the network the program asks the
// platform for a connection through an access point (IAP) and waits for it
// to come up. One process-wide Internet-access object keeps the access
// points in use with the listeners waiting on each, an optional delayed
// disconnect, and answers proxy queries.
#pragma once

#include "common/container/xr_ptrarray.h"
#include "common/container/xr_string.h"
#include "common/os/xr_eventhandler.h"

#include <memory>

class XrEventloopBase;
class XrInetConfigListener;

// The id that means any connection the platform chooses.
extern const TCHAR xr_any_iap_id[]; // "{Internet}"

class XrIap {
public:
    enum : int { state_none = 0, state_connecting = 1, state_connected = 2 };

    virtual ~XrIap() = default;
    virtual XrString get_name() const = 0;
    virtual XrString get_id() const = 0;
    virtual int get_state() const = 0;
};

// Told of the events of the access points it waits on.
class XrIapListener {
public:
    enum : int {
        event_created = 0,
        event_connected = 1,
        event_disconnected = 2,
        event_connect_failed = 3,
        event_no_iap = 4, // no access point could be named (iap is null)
    };

    virtual ~XrIapListener() = default;
    virtual void iap_event(int event, XrIap* iap) = 0;
};

class XrIapInternal : public XrIap {
public:
    XrString get_name() const override { return name; }
    XrString get_id() const override { return id; }
    int get_state() const override { return state; }
    bool has_listener(XrIapListener* listener) const;

    XrPtrArray<XrIapListener*> listeners{8};
    XrString name; // the platform's identifier, used to connect and disconnect
    XrString id;   // the key connect() looks up
    int state = state_none;
};

struct XrInetProxy {
    XrString host;
    int port = 0;
};

class XrInetImpl : public XrEventHandler {
public:
    explicit XrInetImpl(XrEventloopBase* loop);
    XrInetImpl(const XrInetImpl&) = delete;
    XrInetImpl& operator=(const XrInetImpl&) = delete;
    // Removes its timeouts and frees the access-point records (nobody is told).
    ~XrInetImpl() override;

    // The delayed disconnect of the access point given as data is due.
    void execute(XrEventloopBase* loop, void* data) override;

    virtual XrIapInternal* new_iap();
    // Keeps the given name (or sets "{Internet}" when there is none); the id
    // is the name of the first access point in use, else of the first
    // waiting one, else "{Internet}".
    virtual void default_iap(XrString& name, XrString& id);
    // Appends a new record for every access point of the platform (state 2
    // for those in use, else 0); free them with free_iaps.
    virtual void list_iaps(XrPtrArray<XrIap*>& out);
    virtual void refresh() {}
    // Asks the platform for the access point; false when that fails at once.
    virtual bool connect_iap(XrIapInternal* iap);
    // Takes the access point down (when connected) and deletes its record;
    // one that is not connected is reported disconnected first.
    virtual void disconnect_iap(XrIapInternal* iap);
    virtual int reserved() { return 0; }
    // The proxy to use for HTTP, or null for none.
    virtual std::unique_ptr<XrInetProxy> get_proxy(const XrString& name);
    // The access point in use with that id, or null.
    virtual XrIapInternal* find_iap_by_id(const XrString& id);
    // Platform events about the access point named id.
    virtual void on_connected(const XrString& id);
    virtual void on_disconnected(const XrString& id);
    virtual void on_connect_failed(const XrString& id);

    // Asks for a connection through the named access point (empty: the
    // default one); the listener hears event 1 once it is up (at once when
    // it already is), or 2, 3 or 4.
    void connect(XrIapListener* listener, const XrString& name);
    // The listener waits on no access point any more. An access point left
    // without listeners is disconnected after the disconnect delay (never
    // when there is none).
    void release(XrIapListener* listener);
    // The state of the access point in use with that name (or id); 0 when none.
    int get_iap_state(const XrString& name) const;
    XrIap* find_iap(const XrString& name) const;
    void free_iaps(XrPtrArray<XrIap*>& iaps);

    void set_config_listener(XrInetConfigListener* listener) { config_listener = listener; }
    void set_disconnect_delay(int seconds) { disconnect_delay = seconds; }

    int get_in_use_count() const { return in_use.get_num_items(); }
    int get_waiting_count() const { return waiting.get_num_items(); }

protected:
    // Tells every listener of the access point (iap may be null for event
    // 4, then only the given listener) and the config listener.
    void report(int event, XrIapInternal* iap, XrIapListener* only = nullptr);
    XrIapInternal* find_by_name(const XrPtrArray<XrIapInternal*>& list, const XrString& name) const;
    // The record an event about id is for: by name, else the first one still
    // connecting; null when none.
    XrIapInternal* find_for_event(const XrString& id, bool& waiting_list);
    // A new record appended to the access points in use; null when that
    // fails.
    XrIapInternal* add_record();
    // Takes the record off both lists (and its delayed disconnect) and
    // hands it over.
    std::unique_ptr<XrIapInternal> take_record(XrIapInternal* iap);

    XrEventloopBase* loop;
    int disconnect_delay = 0;
    XrPtrArray<XrIapInternal*> in_use{8};
    XrPtrArray<XrIapInternal*> waiting{8};
    XrInetConfigListener* config_listener = nullptr;
};

// The process-wide Internet-access object and its operations.
namespace XrInet {
// Makes the one Internet-access object on the platform; true when it exists
// afterwards.
bool create_inet(XrEventloopBase* loop);
void destroy_inet();
// The object; a fatal assertion when it was not made.
XrInetImpl* get_inet();
bool has_inet();
void set_inet_listener(XrInetConfigListener* listener);
void set_disconnect_delay(int seconds);
void connect(XrIapListener* listener, const XrString& name);
void release(XrIapListener* listener);
std::unique_ptr<XrInetProxy> get_proxy(const XrString& name);
int get_iap_state(const XrString& name);
XrIap* find_iap(const XrString& name);
void list_iaps(XrPtrArray<XrIap*>& iaps);
void free_iaps(XrPtrArray<XrIap*>& iaps);
} // namespace XrInet
