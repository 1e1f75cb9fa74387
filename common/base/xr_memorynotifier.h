// Low-memory notification: objects holding large caches derive from
// XrMemoryNotifierClient and register with the application's notifier,
// which asks each of them to free what it can on a memory shortage.
#pragma once

#include "common/base/xr_singleton.h"

class XrMemoryNotifier;

class XrMemoryNotifierClient {
public:
    XrMemoryNotifierClient() = default;
    XrMemoryNotifierClient(const XrMemoryNotifierClient&) = delete;
    XrMemoryNotifierClient& operator=(const XrMemoryNotifierClient&) = delete;
    // Leaves its notifier when registered.
    virtual ~XrMemoryNotifierClient();

    // Frees whatever the client can rebuild later.
    virtual void free_memory() = 0;

    // Registers with the global notifier; false when there is none.
    bool register_client();
    XrMemoryNotifier* get_notifier() const { return m_notifier; }

private:
    friend class XrMemoryNotifier;
    XrMemoryNotifier* m_notifier = nullptr;
};

class XrMemoryNotifier : private XrObservable<XrMemoryNotifierClient> {
public:
    XrMemoryNotifier() : XrObservable<XrMemoryNotifierClient>(16) {}
    // Detaches the clients still registered (and clears the global pointer
    // when it names this notifier).
    ~XrMemoryNotifier();

    // The application's notifier, or null.
    static XrMemoryNotifier* get_instance();
    static void set_instance(XrMemoryNotifier* notifier);

    // Appends the client and records this notifier in it. A client already
    // registered here is not added twice; one registered elsewhere moves.
    void add_client(XrMemoryNotifierClient* client);
    // Removes the first entry equal to the client.
    void remove_client(XrMemoryNotifierClient* client);
    // Calls free_memory() of every client in registration order. A client
    // removed (or destroyed) meanwhile is skipped.
    void notify_clients();

    int get_client_count() const { return get_listener_count(); }
};

// The function the platform layer calls with a memory level (0 = low
// memory, anything else = normal), with the user data given here.
typedef int (*XrLowMemoryCallback)(void* user_data, int level);
void set_low_memory_callback(XrLowMemoryCallback callback, void* user_data);
// Calls the registered callback with the level; 0 when none is registered.
int call_low_memory_callback(int level);
