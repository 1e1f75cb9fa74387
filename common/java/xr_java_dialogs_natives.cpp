#include "common/java/xr_java_dialogs_natives.h"

#include <glib.h>

#include <string>
#include <unordered_map>
#include <vector>

namespace xr_java {

namespace {

std::unordered_map<void*, Kind>& live()
{
    static std::unordered_map<void*, Kind> objects;
    return objects;
}

} // namespace

void end_call(KoJvmCat1ValueUnion*, KoJvmObjectRec* exception, void* data)
{
    auto* thread = static_cast<KoJvmThread*>(data);
    KoJvmRec* vm = ko_jvm_thread_vm(thread);
    if (exception) {
        KoJvmSymbol* n = ko_jvm_class_name(ko_jvm_class(exception));
        char* msg = ko_jvm_exception_message(vm, exception);
        g_warning("add-on call ended with %.*s%s%s", int(ko_sym_len(n)), ko_sym_bytes(n), msg ? ": " : "",
                  msg ? msg : "");
        ko_jvm_free_utf8(msg);
    }
    // Not from inside the thread's own completion.
    if (!ko_jvm_post(vm, [](void* t) { ko_jvm_destroy_thread(static_cast<KoJvmThread*>(t)); }, thread))
        g_warning("add-on call thread kept until the VM ends");
}

void remember(void* object, Kind kind)
{
    if (object)
        live()[object] = kind;
}

void forget(void* object) { live().erase(object); }

bool is_live(void* object, Kind kind)
{
    auto it = live().find(object);
    return object && it != live().end() && it->second == kind;
}

KoJvmFieldRec* handle_field(KoJvmRec* vm, KoJvmObjectRec* obj)
{
    return obj ? ko_jvm_find_field(vm, ko_jvm_class(obj), "nativeHandle", "J") : nullptr;
}

void* get_handle(KoJvmRec* vm, KoJvmObjectRec* obj)
{
    KoJvmFieldRec* f = handle_field(vm, obj);
    return f ? ko_jvm_get_field_pointer(vm, obj, f) : nullptr;
}

void set_handle(KoJvmRec* vm, KoJvmObjectRec* obj, void* value)
{
    if (KoJvmFieldRec* f = handle_field(vm, obj))
        ko_jvm_set_field_pointer(vm, obj, f, value);
}

void* live_handle(KoJvmRec* vm, KoJvmObjectRec* obj, Kind kind)
{
    void* h = get_handle(vm, obj);
    return is_live(h, kind) ? h : nullptr;
}

XrString to_xr(KoJvmRec* vm, KoJvmObjectRec* string)
{
    XrString out;
    if (!string)
        return out;
    const std::uint16_t* chars = ko_jvm_string_chars(vm, string);
    const std::int32_t n = ko_jvm_string_length(vm, string);
    std::vector<TCHAR> wide;
    wide.reserve(std::size_t(n));
    for (std::int32_t i = 0; i < n; ++i) {
        std::uint32_t c = chars[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && chars[i + 1] >= 0xDC00 && chars[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (chars[++i] - 0xDC00);
        wide.push_back(static_cast<TCHAR>(c));
    }
    if (!wide.empty())
        out.assign(wide.data(), int(wide.size()));
    return out;
}

KoJvmObjectRec* to_java(KoJvmRec* vm, const XrString& text)
{
    std::u16string units;
    for (int i = 0; i < text.length(); ++i) {
        std::uint32_t c = static_cast<std::uint32_t>(text.c_str()[i]);
        if (c >= 0x10000 && c <= 0x10FFFF) {
            c -= 0x10000;
            units.push_back(char16_t(0xD800 + (c >> 10)));
            units.push_back(char16_t(0xDC00 + (c & 0x3FF)));
        } else {
            units.push_back(char16_t(c > 0xFFFF ? 0xFFFD : c));
        }
    }
    KoJvmObjectRec* s = ko_jvm_new_string(vm, std::int32_t(units.size()));
    if (s && !units.empty())
        std::memcpy(ko_jvm_string_chars(vm, s), units.data(), units.size() * 2);
    return s;
}

KoJvmThread* new_call_thread(KoJvmRec* vm, KoJvmObjectRec** obj)
{
    int mark = ko_jvm_push_handle(vm, obj);
    KoJvmThread* thread = ko_jvm_new_thread(vm, 0);
    ko_jvm_pop_handles(vm, mark);
    return thread;
}

} // namespace xr_java
