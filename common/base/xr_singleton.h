// The registry of service objects by the class-name string of their
// interface ("XrMapProvider", "XrRouteProvider", ...), and the typed listener
// lists through which providers notify their observers.
#pragma once

#include "common/container/xr_ptrarray.h"
#include "common/container/xr_string.h"

class XrSingleton {
public:
    virtual ~XrSingleton() = default;

    // Registers instance under name; a second registration of a name is a
    // programming error (fatal). A null instance removes the name's entry.
    // The registry keeps plain pointers: unregister before destroying.
    static void set_instance(const XrString& name, void* instance);
    // The registered pointer, or null.
    static void* get_instance(const XrString& name);
};

// The untyped listener list of an observable. Listeners are never owned.
// Removal while the list is being notified leaves a hole that the walk skips
// and that is closed when the outermost notification ends, so every other
// listener keeps its place and is called exactly once.
class XrObservableBase {
public:
    explicit XrObservableBase(int initial_capacity = 8) : m_listeners(initial_capacity) {}
    XrObservableBase(const XrObservableBase&) = delete;
    XrObservableBase& operator=(const XrObservableBase&) = delete;

    // Number of entries (removed listeners still count while a notification runs).
    int get_listener_count() const { return m_listeners.get_num_items(); }

protected:
    void add_listener_ptr(void* listener);
    void remove_listener_ptr(void* listener);
    // The listener at index; null for a hole or an index out of range.
    void* get_listener_ptr(int index) const { return m_listeners.get_item(index); }

    // Marks a notification in progress for its lifetime.
    class XrNotifyScope {
    public:
        explicit XrNotifyScope(XrObservableBase& o) : m_observable(o), m_count(o.get_listener_count())
        {
            ++o.m_notify_depth;
        }
        ~XrNotifyScope() { m_observable.end_notify(); }
        XrNotifyScope(const XrNotifyScope&) = delete;
        XrNotifyScope& operator=(const XrNotifyScope&) = delete;
        // The entries present when the notification began.
        int count() const { return m_count; }

    private:
        XrObservableBase& m_observable;
        int m_count;
    };

private:
    void end_notify();

    XrPtrArray<void*> m_listeners;
    int m_notify_depth = 0;
    bool m_has_holes = false;
};

// The listener list of one listener interface T.
template <class T>
class XrObservable : public XrObservableBase {
public:
    explicit XrObservable(int initial_capacity = 8) : XrObservableBase(initial_capacity) {}

    // Appends the listener; null is ignored.
    void add_listener(T* listener) { add_listener_ptr(listener); }
    // Removes the first entry equal to the listener.
    void remove_listener(T* listener) { remove_listener_ptr(listener); }
    T* get_listener(int index) const { return static_cast<T*>(get_listener_ptr(index)); }

    // Calls fn(listener) for every listener from the first entry to the last.
    // A listener removed meanwhile is not called; one added meanwhile is
    // called from the next notification on.
    template <class F>
    void for_each_listener(F&& fn)
    {
        XrNotifyScope scope(*this);
        for (int i = 0; i < scope.count(); ++i) {
            if (T* listener = get_listener(i))
                fn(listener);
        }
    }

    // Calls (listener->*op)(args...) for every listener, as for_each_listener.
    template <class... P, class... A>
    void notify_listeners(void (T::*op)(P...), A&&... args)
    {
        for_each_listener([&](T* listener) { (listener->*op)(args...); });
    }
};
