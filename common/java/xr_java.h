// The VM in the application: the context the natives reach the application
// through (XrJava, the VM's user data), Java string conversion, references
// that keep Java objects alive (XrJavaObject), and the time slices in which
// Java threads run on the GTK main loop.
#pragma once

#include <cstdint>
#include <memory>

#include "common/container/xr_string.h"
#include "common/geometry/xr_point.h"
#include "toolkit/jvm/kojvm.h"

class XrEventloopBase;
class XrMapView;
class XrMapWindow;
class XrMapWindowManager;

// A menu item's action (the application owns it with the item).
class XrMenuHandler {
public:
    virtual ~XrMenuHandler() = default;
    virtual void command() = 0;
};

// What the add-on bindings need of the application.
class XrJavaHost {
public:
    virtual ~XrJavaHost() = default;
    virtual XrEventloopBase* java_event_loop() = 0;
    // Appends an item with the label to the application menu; on success
    // the application owns the handler. False when refused.
    virtual bool java_add_menu_item(const XrString& label, std::unique_ptr<XrMenuHandler>& handler) = 0;
    // Starts navigation from the current position to the point.
    virtual void java_navigate_to(const XrPoint& destination, const XrString& name) = 0;
    // Centres the map window on the point (value passed on to the map).
    virtual void java_center_on(const XrPoint& point, double value) = 0;
    // The overlay layer's pin: set with a label, or removed.
    virtual void java_set_marker(const XrPoint* point, const XrString& label) = 0;
    virtual XrMapView* java_map_view() = 0;
    virtual XrMapWindowManager* java_window_manager() = 0;
    virtual XrMapWindow* java_map_window() = 0;
    virtual void java_redraw_map() = 0;
};

class XrJava {
public:
    explicit XrJava(XrJavaHost* host) : host(host) {}
    ~XrJava();
    XrJava(const XrJava&) = delete;
    XrJava& operator=(const XrJava&) = delete;

    XrJavaHost* get_host() const { return host; }
    KoJvmRec* get_vm() const { return vm; }
    // The thread that runs Navigator.main; menu commands and map actions
    // enter Java on it.
    KoJvmThread* get_main_thread() const { return main_thread; }
    void set_vm(KoJvmRec* v, KoJvmThread* main) { vm = v, main_thread = main; }
    // The context of a VM made with it as user data.
    static XrJava* of(KoJvmRec* vm) { return static_cast<XrJava*>(ko_jvm_user_data(vm)); }

    // Every 16-bit unit of the Java string as one character; a null string
    // is a fatal error.
    static void unwrap_string(KoJvmRec* vm, void* str, XrString& out);
    // A new java/lang/String of the low 16 bits of each character; null
    // when out of memory.
    static KoJvmObjectRec* wrap_string(KoJvmRec* vm, const XrString& text);

    // The VM's timer hook: (delay in microseconds, function, data); the
    // function gets (1, data) when the timeout fires, (0, data) at once when
    // it cannot be armed.
    static void timer_hook(std::int64_t delay_us, KoJvmTimerFn fn, void* data);

    // Java threads run at most slice_us at a time; the rest is continued
    // from an idle source of the main loop below the redraw priority, so
    // that an add-on that never stops leaves the map responsive.
    void start_time_slices(std::int64_t slice_us);
    // Stops the slices (at exit) and removes the pending continuation.
    void stop_time_slices();

private:
    static void on_pause(void* data);
    static int on_resume(void* data);

    XrJavaHost* host;
    KoJvmRec* vm = nullptr;
    KoJvmThread* main_thread = nullptr;
    unsigned resume_source = 0;
};

// Keeps a Java object alive (and its address current) while it exists.
class XrJavaObject {
public:
    XrJavaObject(KoJvmRec* vm, KoJvmObjectRec* object);
    virtual ~XrJavaObject();
    XrJavaObject(const XrJavaObject&) = delete;
    XrJavaObject& operator=(const XrJavaObject&) = delete;

    KoJvmRec* get_vm() const { return vm; }
    KoJvmObjectRec* get_object() const { return node.object; }

private:
    KoJvmRec* vm;
    KoJvmGlobalRef node{};
};
