#include "common/java/xr_java_keys.h"

#include "common/gdi/window/xr_mapwindowmanager.h"
#include "common/java/xr_java_natives.h"

struct XrJavaWindowEventHandler::Call {
    XrJavaWindowEventHandler* owner;
    KoJvmThread* thread;
    int key;
    XrMapWindow* window;
    Call* next;
};

XrJavaWindowEventHandler::~XrJavaWindowEventHandler()
{
    // Answers still to come find no handler.
    for (Call* c = calls; c != nullptr; c = c->next)
        c->owner = nullptr;
}

int XrJavaWindowEventHandler::handle_key(int key, XrMapWindow* window)
{
    if (forwarding)
        return XrWindowEventHandler::handle_key(key, window);
    KoJvmThread* thread = nullptr;
    if (!idle_threads.empty()) {
        thread = idle_threads.back();
        idle_threads.pop_back();
    } else {
        thread = ko_jvm_new_thread(vm, 0);
    }
    if (thread == nullptr)
        return XrWindowEventHandler::handle_key(key, window);
    Call* call = new Call{this, thread, key, window, calls};
    calls = call;
    static const char kNavigator[] = "com/kestrovatech/Navigator";
    ko_jvm_invoke_static_async(thread, 0, kNavigator, sizeof kNavigator - 1, "handleWindowKeyEvent", 20, "(I)Z", 4,
                               nullptr, &XrJavaWindowEventHandler::answered, call, key);
    return 0;
}

void XrJavaWindowEventHandler::answered(KoJvmCat1ValueUnion* result, KoJvmObjectRec* exception, void* data)
{
    Call* call = static_cast<Call*>(data);
    XrJavaWindowEventHandler* self = call->owner;
    KoJvmRec* vm = ko_jvm_thread_vm(call->thread);
    const bool taken = exception == nullptr && result != nullptr && result[0].i != 0;
    if (exception != nullptr)
        xr_java::log_exception(vm, exception, "key handler");
    if (self != nullptr) {
        // Kept for the next key: the call is still returning on it.
        self->idle_threads.push_back(call->thread);
        for (Call** p = &self->calls; *p != nullptr; p = &(*p)->next)
            if (*p == call) {
                *p = call->next;
                break;
            }
        if (!taken && self->get_manager() != nullptr) {
            // Down the stack from here: this handler passes the key on.
            self->forwarding = true;
            self->get_manager()->dispatch_key(call->key, call->window);
            self->forwarding = false;
        }
    }
    delete call;
}
