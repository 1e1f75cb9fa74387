#include "common/java/xr_java.h"

#include <glib.h>

#include <cstdlib>
#include <new>

#include "common/os/xr_eventhandler.h"
#include "common/os/xr_eventloopbase.h"
#include "lib/io/kohandle.h"

namespace {

XrEventloopBase* g_timer_loop = nullptr;

// One VM timeout on the event loop: calls the VM's function when it fires
// and deletes itself.
class XrJavaTimeout : public XrEventHandler {
public:
    XrJavaTimeout(KoJvmTimerFn fn, void* data) : fn(fn), data(data) {}
    void execute(XrEventloopBase*, void*) override
    {
        KoJvmTimerFn f = fn;
        void* d = data;
        delete this;
        f(1, d);
    }
    // Removed unfired (the loop going away): the VM is not called any more.
    void cancelled(XrEventloopBase*, void*) override { delete this; }

private:
    KoJvmTimerFn fn;
    void* data;
};

} // namespace

XrJava::~XrJava() { stop_time_slices(); }

void XrJava::unwrap_string(KoJvmRec* vm, void* str, XrString& out)
{
    if (str == nullptr)
        ko_fatal("%s", "str");
    auto* s = static_cast<KoJvmObjectRec*>(str);
    const std::int32_t n = ko_jvm_string_length(vm, s);
    const std::uint16_t* chars = ko_jvm_string_chars(vm, s);
    out = XrString();
    for (std::int32_t i = 0; i < n; ++i) {
        const TCHAR c = static_cast<TCHAR>(chars[i]);
        out.append(&c, 1);
    }
}

KoJvmObjectRec* XrJava::wrap_string(KoJvmRec* vm, const XrString& text)
{
    const int n = text.length();
    KoJvmObjectRec* s = ko_jvm_new_string(vm, n);
    if (s == nullptr)
        return nullptr;
    std::uint16_t* chars = ko_jvm_string_chars(vm, s);
    const TCHAR* src = text.c_str();
    for (int i = 0; i < n; ++i)
        chars[i] = static_cast<std::uint16_t>(src[i] & 0xFFFF);
    return s;
}

void XrJava::timer_hook(std::int64_t delay_us, KoJvmTimerFn fn, void* data)
{
    if (delay_us < 0)
        delay_us = 0;
    auto* handler = new (std::nothrow) XrJavaTimeout(fn, data);
    if (handler == nullptr) {
        fn(0, data);
        return;
    }
    const int seconds = static_cast<int>(delay_us / 1000000);
    const int millis = static_cast<int>((delay_us % 1000000) / 1000);
    if (g_timer_loop == nullptr || !g_timer_loop->add_timeout(seconds, millis, handler, nullptr)) {
        delete handler;
        fn(0, data);
    }
}

void XrJava::start_time_slices(std::int64_t slice_us)
{
    if (host != nullptr)
        g_timer_loop = host->java_event_loop();
    if (vm != nullptr)
        ko_jvm_set_time_slice(vm, slice_us, &XrJava::on_pause, this);
}

void XrJava::stop_time_slices()
{
    if (resume_source != 0) {
        g_source_remove(resume_source);
        resume_source = 0;
    }
    if (vm != nullptr)
        ko_jvm_set_time_slice(vm, 0, nullptr, nullptr);
}

void XrJava::on_pause(void* data)
{
    auto* self = static_cast<XrJava*>(data);
    if (self->resume_source == 0)
        self->resume_source = g_idle_add_full(G_PRIORITY_LOW, &XrJava::on_resume, self, nullptr);
}

int XrJava::on_resume(void* data)
{
    auto* self = static_cast<XrJava*>(data);
    self->resume_source = 0;
    ko_jvm_resume(self->vm);
    return G_SOURCE_REMOVE;
}

XrJavaObject::XrJavaObject(KoJvmRec* vm, KoJvmObjectRec* object) : vm(vm)
{
    node.object = object;
    ko_jvm_add_global_ref(vm, &node);
}

XrJavaObject::~XrJavaObject() { ko_jvm_remove_global_ref(vm, &node); }
