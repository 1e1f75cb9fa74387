// Host name resolution once the Internet connection is up. The lookup runs
// off the main loop (GLib's resolver); its result is delivered on the main
// loop. One lookup at a time.
#pragma once

#include "common/container/xr_string.h"
#include "common/os/xr_inet.h"

typedef struct _GObject GObject;
typedef struct _GAsyncResult GAsyncResult;

class XrResolverListener {
public:
    virtual ~XrResolverListener() = default;
    // error 0 with the first IPv4 address as dotted decimal text, or -1 with
    // an empty text when the host could not be resolved.
    virtual void resolved(int error, const XrString& address) = 0;
};

class XrResolver : public XrIapListener {
public:
    explicit XrResolver(XrResolverListener* listener);
    XrResolver(const XrResolver&) = delete;
    XrResolver& operator=(const XrResolver&) = delete;
    // Cancels a lookup in progress.
    ~XrResolver() override;

    // Starts resolving host once the Internet connection is up. While a
    // lookup is in progress (or for an empty host) the listener gets -1 at
    // once and the result is false.
    bool resolve(const XrString& host);
    // Ends the lookup in progress: its result never reaches the listener and
    // the next resolve is accepted.
    void cancel();
    bool is_busy() const { return !pending_host.is_empty() || lookup != nullptr; }
    // Reverse lookup is not provided.
    bool get_host_by_address(const XrString& address, XrString& host);

    void iap_event(int event, XrIap* iap) override;

private:
    struct Lookup;
    static void lookup_done(GObject* source, GAsyncResult* result, void* data);
    void start_lookup(const XrString& host);

    XrResolverListener* listener;
    XrString pending_host; // waiting for the connection; empty = none
    Lookup* lookup = nullptr;
};
