// System services: the singleton (registered as "XrSystem") through which
// the program hears of platform hardware events (shutdown, low memory,
// inactivity), reads the device mode and memory figures, and opens a web
// page in the platform browser.
#pragma once

#include "common/base/xr_singleton.h"
#include "common/container/xr_string.h"

typedef struct osso_af_context_t osso_context_t;

// Told of hardware events. Observers are never deleted through this interface.
class XrSystemObserver {
public:
    enum : int {
        shutdown_requested = 1,
        memory_low = 2,
        system_inactive = 4,
    };

    // flags: any of the values above together.
    virtual void system_event(int flags) = 0;

protected:
    ~XrSystemObserver() = default;
};

// What a shutdown event reaches of the application provider (registered as
// "XrApplicationProvider"): the registered pointer must be one to this
// interface, so the provider's interface derives from it first.
class XrApplicationExit : public XrSingleton {
public:
    // Runs the exit handlers in order and ends the process with status.
    virtual void exit(int status) = 0;
};

class XrSystem : public XrSingleton, public XrObservable<XrSystemObserver> {
public:
    enum : int { device_mode_unknown = 0, device_mode_offline = 1, device_mode_normal = 2 };

    XrSystem() : XrObservable<XrSystemObserver>(8) {}

    // Starts listening to the platform's hardware events; true on success.
    virtual bool start(osso_context_t* osso) = 0;
    // 0 until the first event, then 1 in flight (offline) mode, 2 normal.
    virtual int get_device_mode() = 0;
    // Free and total RAM in the platform's memory units; 0 when unknown.
    virtual unsigned long get_free_ram() = 0;
    virtual unsigned long get_total_ram() = 0;
};

// The osso context used to reach the browser (process-wide).
void set_browser_context(osso_context_t* osso);
// Opens url in the platform browser; true when the request was delivered.
bool open_url_in_browser(const XrString& url);
// The root folder of the memory card, "/media/mmc1/" (under the root prefix).
XrString get_card_root();
