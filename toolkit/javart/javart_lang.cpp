// Natives of java/lang, java/io and the runtime's own classes, and the
// definition of the built-in classes at start-up.
#include "toolkit/javart/javart_natives.h"
#include "toolkit/jvm/kojvm_class.h"

#include "lib/io/kofs.h"
#include "lib/unicode/kounicode.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

KO_NATIVE(ko_jvm_unsupported_native)
{
    KO_UNUSED_NATIVE_ARGS;
    ko_ret_throw(vm, complete, thread, "java/lang/UnsupportedOperationException");
}

namespace {

#define U KO_UNUSED_NATIVE_ARGS

KoJvmObjectRec* obj(const KoJvmCat1ValueUnion* p) { return ko_obj(p->ref); }

// ---- Number formatting ---------------------------------------------------------

void format_java(bool negative, const char* digits, int n, int decpt, char* out, std::size_t size, bool plain)
{
    std::string s;
    if (negative)
        s += '-';
    if (plain) {
        if (decpt <= 0) {
            s += "0.";
            s.append(std::size_t(-decpt), '0');
            s.append(digits, n);
        } else if (decpt >= n) {
            s.append(digits, n);
            s.append(std::size_t(decpt - n), '0');
            s += ".0";
        } else {
            s.append(digits, decpt);
            s += '.';
            s.append(digits + decpt, n - decpt);
        }
    } else {
        s += digits[0];
        s += '.';
        if (n > 1)
            s.append(digits + 1, n - 1);
        else
            s += '0';
        s += 'E';
        s += std::to_string(decpt - 1);
    }
    ko_snprintf(out, size, "%s", s.c_str());
}

} // namespace

void ko_jvm_format_double(double d, char* out, std::size_t size)
{
    if (d != d) {
        ko_snprintf(out, size, "NaN");
        return;
    }
    if (std::isinf(d)) {
        ko_snprintf(out, size, d > 0 ? "Infinity" : "-Infinity");
        return;
    }
    if (d == 0) {
        ko_snprintf(out, size, std::signbit(d) ? "-0.0" : "0.0");
        return;
    }
    std::uint64_t bits;
    std::memcpy(&bits, &d, 8);
    const int biased = int((bits >> 52) & 0x7ff);
    std::uint64_t mant = bits & ((std::uint64_t(1) << 52) - 1);
    if (biased)
        mant |= std::uint64_t(1) << 52;
    const int e2 = biased ? biased - 1075 : -1074;
    char digits[800];
    int decpt;
    int n = ko_jvm_java_digits(mant, e2, e2, 53, digits, &decpt);
    double a = std::fabs(d);
    format_java(std::signbit(d), digits, n, decpt, out, size, a >= 1e-3 && a < 1e7);
}

void ko_jvm_format_float(float f, char* out, std::size_t size)
{
    if (f != f) {
        ko_snprintf(out, size, "NaN");
        return;
    }
    if (std::isinf(f)) {
        ko_snprintf(out, size, f > 0 ? "Infinity" : "-Infinity");
        return;
    }
    if (f == 0) {
        ko_snprintf(out, size, std::signbit(f) ? "-0.0" : "0.0");
        return;
    }
    std::uint32_t bits;
    std::memcpy(&bits, &f, 4);
    const int biased = int((bits >> 23) & 0xff);
    std::uint64_t mant = bits & ((1u << 23) - 1);
    if (biased)
        mant |= 1u << 23;
    const int e2 = biased ? biased - 150 : -149;
    char digits[128];
    int decpt;
    int n = ko_jvm_java_digits(mant, e2, e2, 24, digits, &decpt);
    float a = std::fabs(f);
    format_java(std::signbit(f), digits, n, decpt, out, size, a >= 1e-3f && a < 1e7f);
}

namespace {

// ---- java/lang/Object --------------------------------------------------------------

KO_NATIVE(Object_getClass)
{
    U;
    KoJvmObjectRec* c = ko_jvm_class_object(vm, ko_jvm_class(obj(self)));
    if (!c)
        complete(nullptr, vm->oom, thread);
    else
        ko_ret_ref(complete, thread, c);
}
KO_NATIVE(Object_hashCode) { U; ko_ret_int(complete, thread, ko_jvm_identity_hash(vm, obj(self))); }
KO_NATIVE(Object_equals) { U; ko_ret_int(complete, thread, self->ref == args[0].ref); }
KO_NATIVE(Object_clone)
{
    U;
    KoJvmObjectRec* o = obj(self);
    KoJvmClassRec* c = ko_jvm_class(o);
    KoJvmClassRec* cloneable = ko_cls(vm->s_Cloneable->clazz);
    if (!(c->vm_flags & KO_JVM_CLASS_F_ARRAY) && !(cloneable && ko_jvm_implements(vm, cloneable, c))) {
        ko_ret_throw(vm, complete, thread, "java/lang/CloneNotSupportedException");
        return;
    }
    std::uint32_t size = (c->vm_flags & KO_JVM_CLASS_F_ARRAY)
                             ? ((c->instance_size + c->element_size * ko_jvm_length(o) + 3) & ~3u)
                             : c->instance_size;
    KoJvmObjectRec* copy = ko_jvm_alloc(vm, c, size);
    if (!copy) {
        complete(nullptr, vm->oom, thread);
        return;
    }
    std::memcpy(reinterpret_cast<unsigned char*>(copy) + 24, reinterpret_cast<unsigned char*>(o) + 24, size - 24);
    ko_ret_ref(complete, thread, copy);
}
KO_NATIVE(Object_notify)
{
    U;
    if (!ko_jvm_monitor_notify(thread, obj(self), false, true))
        ko_ret_throw(vm, complete, thread, "java/lang/IllegalMonitorStateException");
    else
        ko_ret_void(complete, thread);
}
KO_NATIVE(Object_notifyAll)
{
    U;
    if (!ko_jvm_monitor_notify(thread, obj(self), true, true))
        ko_ret_throw(vm, complete, thread, "java/lang/IllegalMonitorStateException");
    else
        ko_ret_void(complete, thread);
}
// Completed when the thread owns the monitor again (after a notify, or when
// the time limit ran out); millis 0 waits without a limit.
void wait_for(KoJvmRec* vm, KoJvmCat1ValueUnion* self, KoJvmCompletion complete, KoJvmThread* thread,
              std::int64_t millis)
{
    if (millis < 0) {
        ko_ret_throw(vm, complete, thread, "java/lang/IllegalArgumentException");
        return;
    }
    if (!ko_jvm_monitor_wait(thread, obj(self))) {
        ko_ret_throw(vm, complete, thread, "java/lang/IllegalMonitorStateException");
        return;
    }
    ko_jvm_wait_timeout(thread, millis);
}
KO_NATIVE(Object_wait)
{
    U;
    wait_for(vm, self, complete, thread, 0);
}
KO_NATIVE(Object_wait__J)
{
    U;
    wait_for(vm, self, complete, thread, ko_arg_long(args));
}
KO_NATIVE(Object_wait__JI)
{
    U;
    std::int64_t millis = ko_arg_long(args);
    std::int32_t nanos = args[2].i;
    if (nanos < 0 || nanos > 999999) {
        ko_ret_throw(vm, complete, thread, "java/lang/IllegalArgumentException");
        return;
    }
    // Whole milliseconds only: a part of one rounds up.
    if (nanos > 0 && millis < INT64_MAX)
        ++millis;
    wait_for(vm, self, complete, thread, millis);
}

// ---- java/lang/Class -----------------------------------------------------------------

KoJvmClassRec* cls_of(KoJvmRec* vm, const KoJvmCat1ValueUnion* p) { return ko_jvm_class_of_object(vm, obj(p)); }

KoJvmObjectRec* dotted_name(KoJvmRec* vm, KoJvmClassRec* c)
{
    KoJvmSymbol* n = ko_jvm_class_name(c);
    std::string s(ko_sym_bytes(n), ko_sym_len(n));
    for (char& ch : s)
        if (ch == '/')
            ch = '.';
    return ko_jvm_new_string_utf8(vm, s.data(), s.size());
}

KO_NATIVE(Class_getName)
{
    U;
    KoJvmObjectRec* s = dotted_name(vm, cls_of(vm, self));
    if (!s)
        complete(nullptr, vm->oom, thread);
    else
        ko_ret_ref(complete, thread, s);
}
KO_NATIVE(Class_toString)
{
    U;
    KoJvmClassRec* c = cls_of(vm, self);
    KoJvmSymbol* n = ko_jvm_class_name(c);
    std::string s = (c->access & KO_ACC_INTERFACE) ? "interface " : "class ";
    s.append(ko_sym_bytes(n), ko_sym_len(n));
    for (char& ch : s)
        if (ch == '/')
            ch = '.';
    ko_ret_string(vm, complete, thread, s.c_str());
}
KO_NATIVE(Class_false) { U; ko_ret_int(complete, thread, 0); }
struct ForName {
    char* name;
    KoJvmThread* thread;
};
// True when the load failed because the class itself does not exist: no
// record of the name, and the NoClassDefFoundError the loader made for it.
bool class_is_missing(KoJvmRec* vm, KoJvmObjectRec* e, const char* name)
{
    if (!e || ko_jvm_class(e) != vm->known[KO_K_NoClassDefFoundError] ||
        ko_jvm_find_class(vm, name, std::strlen(name)) != nullptr)
        return false;
    char* message = ko_jvm_exception_message(vm, e);
    const bool same = message && std::strcmp(message, name) == 0;
    ko_free(message);
    return same;
}

void for_name_done(KoJvmClassRec* c, KoJvmObjectRec* e, void* data)
{
    ForName f = *static_cast<ForName*>(data);
    ko_free(data);
    char* name = f.name;
    KoJvmThread* thread = f.thread;
    KoJvmRec* vm = nullptr;
    KoJvmCompletion complete = nullptr;
    ko_jvm_native_args(thread, &vm, nullptr, nullptr, nullptr, &complete, nullptr);
    if (!c && e && !class_is_missing(vm, e, name)) {
        // The class exists but could not be loaded, linked or initialised:
        // its error (ExceptionInInitializerError, ClassFormatError, ...)
        // goes to the caller as it is.
        ko_free(name);
        complete(nullptr, e, thread);
        return;
    }
    if (!c) {
        for (char* p = name; *p; ++p)
            if (*p == '/')
                *p = '.';
        ko_ret_throw(vm, complete, thread, "java/lang/ClassNotFoundException", name);
        ko_free(name);
        return;
    }
    ko_free(name);
    KoJvmObjectRec* o = ko_jvm_class_object(vm, c);
    if (!o)
        complete(nullptr, vm->oom, thread);
    else
        ko_ret_ref(complete, thread, o);
}
KO_NATIVE(Class_forName)
{
    U;
    char* name = ko_jvm_string_to_utf8(vm, obj(args), nullptr);
    if (!name) {
        ko_ret_throw(vm, complete, thread, "java/lang/NullPointerException");
        return;
    }
    for (char* p = name; *p; ++p)
        if (*p == '.')
            *p = '/';
    ForName* f = static_cast<ForName*>(ko_malloc(sizeof(ForName)));
    if (!f) {
        ko_free(name);
        complete(nullptr, vm->oom, thread);
        return;
    }
    *f = {name, thread};
    // Loaded and initialised on this thread; the native completes then.
    ko_jvm_load_class_async(thread, name, 0, true, for_name_done, f);
}
// ---- java/lang/ClassLoader --------------------------------------------------------

// Classes are linked when they are defined: nothing is left to resolve.
KO_NATIVE(ClassLoader_resolveClass)
{
    U;
    if (!obj(args))
        ko_ret_throw(vm, complete, thread, "java/lang/NullPointerException");
    else
        ko_ret_void(complete, thread);
}
KO_NATIVE(ClassLoader_findLoadedClass)
{
    U;
    KoJvmObjectRec* s = obj(args);
    if (!s) {
        ko_ret_throw(vm, complete, thread, "java/lang/NullPointerException");
        return;
    }
    std::size_t n = 0;
    char* name = ko_jvm_string_to_utf8(vm, s, &n);
    if (!name) {
        complete(nullptr, vm->oom, thread);
        return;
    }
    KoJvmClassRec* c = ko_jvm_find_class(vm, name, std::strlen(name));
    ko_free(name);
    KoJvmObjectRec* mirror = c ? ko_jvm_class_object(vm, c) : nullptr;
    if (c && !mirror)
        complete(nullptr, vm->oom, thread);
    else
        ko_ret_ref(complete, thread, mirror);
}
struct ResourceRequest {
    KoJvmRec* vm;
    KoJvmCompletion complete;
    KoJvmThread* thread;
};
void resource_arrived(unsigned char* bytes, std::size_t length, int flags, void* data)
{
    ResourceRequest r = *static_cast<ResourceRequest*>(data);
    ko_free(data);
    if (!bytes) {
        ko_ret_long(r.complete, r.thread, 0);
        return;
    }
    KoHandle* h = ko_memory_open(bytes, length, (flags & 1) != 0);
    if (!h) {
        if (!(flags & 1))
            ko_free(bytes);
        r.complete(nullptr, r.vm->oom, r.thread);
        return;
    }
    ko_ret_long(r.complete, r.thread, static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(h)));
}
// A class-path resource through the embedder's loader, as a memory handle.
KO_NATIVE(ClassLoader_getSystemResourceAsHandle)
{
    U;
    KoJvmObjectRec* s = obj(args);
    if (!s) {
        ko_ret_throw(vm, complete, thread, "java/lang/NullPointerException");
        return;
    }
    char* name = ko_jvm_string_to_utf8(vm, s, nullptr);
    ResourceRequest* r = name ? static_cast<ResourceRequest*>(ko_malloc(sizeof(ResourceRequest))) : nullptr;
    if (!r) {
        ko_free(name);
        complete(nullptr, vm->oom, thread);
        return;
    }
    *r = {vm, complete, thread};
    const char* path = name[0] == '/' ? name + 1 : name;
    vm->params.loader(path, std::strlen(path), resource_arrived, r, vm->params.loader_data);
    ko_free(name);
}

KO_NATIVE(Class_isAssignableFrom)
{
    U;
    KoJvmClassRec* other = cls_of(vm, args);
    if (!other)
        ko_ret_throw(vm, complete, thread, "java/lang/NullPointerException");
    else
        ko_ret_int(complete, thread, ko_jvm_is_assignable(vm, cls_of(vm, self), other));
}
KO_NATIVE(Class_isInterface) { U; ko_ret_int(complete, thread, (cls_of(vm, self)->access & KO_ACC_INTERFACE) != 0); }
KO_NATIVE(Class_isArray) { U; ko_ret_int(complete, thread, (cls_of(vm, self)->vm_flags & KO_JVM_CLASS_F_ARRAY) != 0); }
KO_NATIVE(Class_null) { U; ko_ret_ref(complete, thread, nullptr); }
KO_NATIVE(Class_getSuperclass)
{
    U;
    KoJvmClassRec* c = cls_of(vm, self);
    KoJvmClassRec* s = (c->access & KO_ACC_INTERFACE) ? nullptr : ko_jvm_superclass(c);
    ko_ret_ref(complete, thread, s ? ko_jvm_class_object(vm, s) : nullptr);
}
KO_NATIVE(Class_getComponentType)
{
    U;
    KoJvmClassRec* c = cls_of(vm, self);
    KoJvmClassRec* e = ko_cls(c->element_class);
    ko_ret_ref(complete, thread, e ? ko_jvm_class_object(vm, e) : nullptr);
}
KO_NATIVE(Class_getModifiers) { U; ko_ret_int(complete, thread, cls_of(vm, self)->access); }
KO_NATIVE(Class_hashCode) { U; ko_ret_int(complete, thread, static_cast<std::int32_t>(cls_of(vm, self)->id)); }

// ---- java/lang/String ------------------------------------------------------------------

std::uint16_t* chars(KoJvmRec* vm, const KoJvmCat1ValueUnion* p) { return ko_jvm_string_chars(vm, obj(p)); }
std::int32_t len(KoJvmRec* vm, const KoJvmCat1ValueUnion* p) { return ko_jvm_string_length(vm, obj(p)); }
std::uint16_t lower(std::uint16_t c) { return static_cast<std::uint16_t>(ko_unicode_to_case(c, 0)); }
std::uint16_t upper(std::uint16_t c) { return static_cast<std::uint16_t>(ko_unicode_to_case(c, 1)); }

bool region(const std::uint16_t* a, std::int32_t alen, std::int32_t ao, const std::uint16_t* b, std::int32_t blen,
            std::int32_t bo, std::int32_t n, bool ignore)
{
    if (ao < 0 || bo < 0 || std::int64_t(ao) + n > alen || std::int64_t(bo) + n > blen)
        return false;
    for (std::int32_t i = 0; i < n; ++i) {
        std::uint16_t x = a[ao + i], y = b[bo + i];
        if (x == y)
            continue;
        if (!ignore || (upper(x) != upper(y) && lower(upper(x)) != lower(upper(y))))
            return false;
    }
    return true;
}

// Raises an exception of a class that may still have to be loaded (a class
// of the library's jar): the native completes once the class is there.
void load_and_throw_done(KoJvmClassRec* c, KoJvmObjectRec* e, void* data)
{
    KoJvmThread* t = static_cast<KoJvmThread*>(data);
    KoJvmRec* vm = t->vm;
    if (c)
        e = ko_jvm_new_exception(vm, t, c, nullptr);
    else if (!e)
        e = ko_jvm_new_known(vm, KO_K_NoClassDefFoundError);
    ko_jvm_native_complete(nullptr, e, t);
}
void throw_loading(KoJvmRec* vm, KoJvmCompletion complete, KoJvmThread* thread, const char* name)
{
    if (KoJvmClassRec* c = ko_jvm_find_class(vm, name, std::strlen(name))) {
        if (c->state != KO_JVM_CLASS_LOADED) {
            complete(nullptr, ko_jvm_new_exception(vm, thread, c, nullptr), thread);
            return;
        }
    }
    ko_jvm_load_class_async(thread, name, 0, true, load_and_throw_done, thread);
}

// Encodings of String's byte conversions, named without regard to case;
// a null name is the default, UTF-8.
enum Encoding { kAscii, kLatin1, kUtf8, kUnknown };
Encoding encoding_of(KoJvmRec* vm, KoJvmObjectRec* name, bool* oom)
{
    *oom = false;
    if (!name)
        return kUtf8;
    char* n = ko_jvm_string_to_utf8(vm, name, nullptr);
    if (!n) {
        *oom = true;
        return kUnknown;
    }
    for (char* p = n; *p; ++p)
        *p = static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
    Encoding e = kUnknown;
    if (!std::strcmp(n, "us-ascii") || !std::strcmp(n, "ascii"))
        e = kAscii;
    else if (!std::strcmp(n, "iso-8859-1") || !std::strcmp(n, "iso-latin-1") || !std::strcmp(n, "iso8859_1") ||
             !std::strcmp(n, "latin1"))
        e = kLatin1;
    else if (!std::strcmp(n, "utf-8") || !std::strcmp(n, "utf8"))
        e = kUtf8;
    ko_free(n);
    return e;
}

// Decodes UTF-8 into UTF-16 units (out may be null to count them). A
// malformed sequence becomes one U+FFFD per maximal invalid prefix, and
// decoding resumes at the byte that broke it; code points above U+FFFF
// become surrogate pairs.
std::int32_t decode_utf8(const unsigned char* p, std::int32_t n, std::uint16_t* out)
{
    std::int32_t u = 0;
    auto put = [&](std::uint32_t c) {
        if (c > 0xFFFF) {
            c -= 0x10000;
            if (out) {
                out[u] = static_cast<std::uint16_t>(0xD800 + (c >> 10));
                out[u + 1] = static_cast<std::uint16_t>(0xDC00 + (c & 0x3FF));
            }
            u += 2;
        } else {
            if (out)
                out[u] = static_cast<std::uint16_t>(c);
            ++u;
        }
    };
    for (std::int32_t i = 0; i < n;) {
        unsigned b = p[i];
        if (b < 0x80) {
            put(b);
            ++i;
            continue;
        }
        int need;
        unsigned lo = 0x80, hi = 0xBF;
        std::uint32_t c;
        if (b >= 0xC2 && b <= 0xDF) {
            need = 1;
            c = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            need = 2;
            c = b & 0x0F;
            if (b == 0xE0)
                lo = 0xA0;
        } else if (b >= 0xF0 && b <= 0xF4) {
            need = 3;
            c = b & 0x07;
            if (b == 0xF0)
                lo = 0x90;
            else if (b == 0xF4)
                hi = 0x8F;
        } else {
            put(0xFFFD);
            ++i;
            continue;
        }
        std::int32_t j = i + 1;
        bool ok = true;
        for (int k = 0; k < need; ++k, ++j) {
            if (j >= n || p[j] < lo || p[j] > hi) {
                ok = false;
                break;
            }
            c = (c << 6) | (p[j] & 0x3F);
            lo = 0x80;
            hi = 0xBF;
        }
        // An encoded surrogate is taken whole and replaced like a bad sequence.
        put(ok && !(c >= 0xD800 && c <= 0xDFFF) ? c : 0xFFFD);
        i = j;
    }
    return u;
}

// Encodes UTF-16 units (out may be null to count the bytes). A surrogate
// pair is one character; a lone surrogate, or a character the encoding
// cannot map, becomes '?'.
std::int32_t encode_units(Encoding e, const std::uint16_t* c, std::int32_t n, unsigned char* out)
{
    std::int32_t k = 0;
    auto put = [&](unsigned v) {
        if (out)
            out[k] = static_cast<unsigned char>(v);
        ++k;
    };
    for (std::int32_t i = 0; i < n; ++i) {
        std::uint32_t ch = c[i];
        bool pair = ch >= 0xD800 && ch <= 0xDBFF && i + 1 < n && c[i + 1] >= 0xDC00 && c[i + 1] <= 0xDFFF;
        bool lone = !pair && ch >= 0xD800 && ch <= 0xDFFF;
        if (pair) {
            ch = 0x10000 + ((ch - 0xD800) << 10) + (c[i + 1] - 0xDC00);
            ++i;
        }
        if (e != kUtf8) {
            put(ch < (e == kAscii ? 0x80u : 0x100u) ? ch : '?');
        } else if (lone) {
            put('?');
        } else if (ch < 0x80) {
            put(ch);
        } else if (ch < 0x800) {
            put(0xC0 | (ch >> 6));
            put(0x80 | (ch & 0x3F));
        } else if (ch < 0x10000) {
            put(0xE0 | (ch >> 12));
            put(0x80 | ((ch >> 6) & 0x3F));
            put(0x80 | (ch & 0x3F));
        } else {
            put(0xF0 | (ch >> 18));
            put(0x80 | ((ch >> 12) & 0x3F));
            put(0x80 | ((ch >> 6) & 0x3F));
            put(0x80 | (ch & 0x3F));
        }
    }
    return k;
}

KO_NATIVE(String_bytesToCharArray)
{
    U;
    KoJvmObjectRec* b = obj(args);
    std::int32_t off = args[1].i, n = args[2].i;
    if (!b) {
        ko_ret_throw(vm, complete, thread, "java/lang/NullPointerException");
        return;
    }
    if (off < 0 || n < 0 || std::int64_t(off) + n > ko_jvm_length(b)) {
        ko_ret_throw(vm, complete, thread, "java/lang/StringIndexOutOfBoundsException");
        return;
    }
    bool oom;
    Encoding e = encoding_of(vm, obj(args + 3), &oom);
    if (e == kUnknown) {
        if (oom)
            complete(nullptr, vm->oom, thread);
        else
            throw_loading(vm, complete, thread, "java/io/UnsupportedEncodingException");
        return;
    }
    const unsigned char* p = ko_jvm_elements(b) + off;
    std::int32_t units = e == kUtf8 ? decode_utf8(p, n, nullptr) : n;
    KoJvmObjectRec* a = ko_jvm_new_char_array(vm, units);
    if (!a) {
        complete(nullptr, vm->oom, thread);
        return;
    }
    std::uint16_t* out = reinterpret_cast<std::uint16_t*>(ko_jvm_elements(a));
    if (e == kUtf8)
        decode_utf8(p, n, out);
    else
        for (std::int32_t i = 0; i < n; ++i)
            out[i] = static_cast<std::uint16_t>(e == kAscii && p[i] >= 0x80 ? 0xFFFD : p[i]);
    ko_ret_ref(complete, thread, a);
}
// Bytes widened to characters without sign: 0xFF is U+00FF.
KO_NATIVE(String_bytesToChar)
{
    U;
    KoJvmObjectRec* dst = obj(args);
    KoJvmObjectRec* src = obj(args + 1);
    std::int32_t off = args[2].i, n = args[3].i;
    if (!dst || !src) {
        ko_ret_throw(vm, complete, thread, "java/lang/NullPointerException");
        return;
    }
    if (off < 0 || n < 0 || std::int64_t(off) + n > ko_jvm_length(src) || std::uint32_t(n) > ko_jvm_length(dst)) {
        ko_ret_throw(vm, complete, thread, "java/lang/ArrayIndexOutOfBoundsException");
        return;
    }
    const unsigned char* p = ko_jvm_elements(src) + off;
    std::uint16_t* out = reinterpret_cast<std::uint16_t*>(ko_jvm_elements(dst));
    for (std::int32_t i = 0; i < n; ++i)
        out[i] = p[i];
    ko_ret_void(complete, thread);
}
// getBytes(String) with the encoding argument, getBytes() in the default UTF-8.
KO_NATIVE(String_getBytes)
{
    U;
    KoJvmMethodRec* m = thread->native_method;
    bool named = m && ko_sym_len(ko_sym(m->desc)) > 4;
    bool oom = false;
    Encoding e = named ? encoding_of(vm, obj(args), &oom) : kUtf8;
    if (e == kUnknown) {
        if (oom)
            complete(nullptr, vm->oom, thread);
        else
            throw_loading(vm, complete, thread, "java/io/UnsupportedEncodingException");
        return;
    }
    KoJvmObjectRec* s = obj(self);
    std::int32_t n = ko_jvm_string_length(vm, s);
    std::int32_t bytes = encode_units(e, ko_jvm_string_chars(vm, s), n, nullptr);
    KoJvmObjectRec* a = ko_jvm_new_byte_array(vm, bytes);
    if (!a) {
        complete(nullptr, vm->oom, thread);
        return;
    }
    encode_units(e, ko_jvm_string_chars(vm, s), n, ko_jvm_elements(a));
    ko_ret_ref(complete, thread, a);
}
KO_NATIVE(String_compareCharArrays)
{
    U;
    KoJvmObjectRec* a = obj(args);
    KoJvmObjectRec* b = obj(args + 1);
    std::uint32_t na = ko_jvm_length(a), nb = ko_jvm_length(b);
    const std::uint16_t* x = reinterpret_cast<const std::uint16_t*>(ko_jvm_elements(a));
    const std::uint16_t* y = reinterpret_cast<const std::uint16_t*>(ko_jvm_elements(b));
    for (std::uint32_t i = 0; i < na && i < nb; ++i) {
        if (x[i] != y[i]) {
            ko_ret_int(complete, thread, int(x[i]) - int(y[i]));
            return;
        }
    }
    ko_ret_int(complete, thread, static_cast<std::int32_t>(na) - static_cast<std::int32_t>(nb));
}
KO_NATIVE(String_equalsIgnoreCase)
{
    U;
    if (!args[0].ref) {
        ko_ret_int(complete, thread, 0);
        return;
    }
    std::int32_t a = len(vm, self), b = len(vm, args);
    ko_ret_int(complete, thread, a == b && region(chars(vm, self), a, 0, chars(vm, args), b, 0, a, true));
}
KO_NATIVE(String_compareToIgnoreCase)
{
    U;
    std::int32_t a = len(vm, self), b = len(vm, args);
    const std::uint16_t* x = chars(vm, self);
    const std::uint16_t* y = chars(vm, args);
    for (std::int32_t i = 0; i < a && i < b; ++i) {
        std::uint16_t p = lower(upper(x[i])), q = lower(upper(y[i]));
        if (p != q) {
            ko_ret_int(complete, thread, int(p) - int(q));
            return;
        }
    }
    ko_ret_int(complete, thread, a - b);
}
KO_NATIVE(String_regionMatches)
{
    U;
    if (!args[1].ref) {
        ko_ret_throw(vm, complete, thread, "java/lang/NullPointerException");
        return;
    }
    ko_ret_int(complete, thread, region(chars(vm, self), len(vm, self), args[0].i, chars(vm, args + 1), len(vm, args + 1),
                                        args[2].i, args[3].i, false));
}
KO_NATIVE(String_regionMatchesCase)
{
    U;
    if (!args[2].ref) {
        ko_ret_throw(vm, complete, thread, "java/lang/NullPointerException");
        return;
    }
    ko_ret_int(complete, thread, region(chars(vm, self), len(vm, self), args[1].i, chars(vm, args + 2), len(vm, args + 2),
                                        args[3].i, args[4].i, args[0].i != 0));
}
KO_NATIVE(String_startsWith)
{
    U;
    if (!args[0].ref) {
        ko_ret_throw(vm, complete, thread, "java/lang/NullPointerException");
        return;
    }
    std::int32_t n = len(vm, args);
    ko_ret_int(complete, thread, region(chars(vm, self), len(vm, self), 0, chars(vm, args), n, 0, n, false));
}
KO_NATIVE(String_endsWith)
{
    U;
    if (!args[0].ref) {
        ko_ret_throw(vm, complete, thread, "java/lang/NullPointerException");
        return;
    }
    std::int32_t n = len(vm, args), m = len(vm, self);
    ko_ret_int(complete, thread, region(chars(vm, self), m, m - n, chars(vm, args), n, 0, n, false));
}
KO_NATIVE(String_hashCode)
{
    U;
    std::uint32_t h = 0;
    const std::uint16_t* c = chars(vm, self);
    for (std::int32_t i = 0, n = len(vm, self); i < n; ++i)
        h = 31 * h + c[i];
    ko_ret_int(complete, thread, static_cast<std::int32_t>(h));
}
KO_NATIVE(String_indexOfChar)
{
    U;
    const std::uint16_t* c = chars(vm, self);
    std::int32_t n = len(vm, self);
    for (std::int32_t i = args[1].i < 0 ? 0 : args[1].i; i < n; ++i)
        if (c[i] == args[0].i) {
            ko_ret_int(complete, thread, i);
            return;
        }
    ko_ret_int(complete, thread, -1);
}
KO_NATIVE(String_lastIndexOfChar)
{
    U;
    const std::uint16_t* c = chars(vm, self);
    std::int32_t n = len(vm, self);
    for (std::int32_t i = args[1].i >= n ? n - 1 : args[1].i; i >= 0; --i)
        if (c[i] == args[0].i) {
            ko_ret_int(complete, thread, i);
            return;
        }
    ko_ret_int(complete, thread, -1);
}
KO_NATIVE(String_indexOfString)
{
    U;
    if (!args[0].ref) {
        ko_ret_throw(vm, complete, thread, "java/lang/NullPointerException");
        return;
    }
    const std::uint16_t* c = chars(vm, self);
    const std::uint16_t* s = chars(vm, args);
    std::int32_t n = len(vm, self), m = len(vm, args);
    for (std::int32_t i = args[1].i < 0 ? 0 : args[1].i; i + m <= n; ++i)
        if (m == 0 || std::memcmp(c + i, s, std::size_t(m) * 2) == 0) {
            ko_ret_int(complete, thread, i);
            return;
        }
    ko_ret_int(complete, thread, -1);
}
void change_case(KoJvmRec* vm, KoJvmCat1ValueUnion* self, KoJvmCompletion complete, KoJvmThread* thread, int mapping)
{
    KoJvmObjectRec* s = obj(self);
    std::int32_t n = ko_jvm_string_length(vm, s);
    int mark = ko_jvm_push_handle(vm, &s);
    KoJvmObjectRec* r = ko_jvm_new_string(vm, n);
    ko_jvm_pop_handles(vm, mark);
    if (!r) {
        complete(nullptr, vm->oom, thread);
        return;
    }
    const std::uint16_t* in = ko_jvm_string_chars(vm, s);
    std::uint16_t* out = ko_jvm_string_chars(vm, r);
    for (std::int32_t i = 0; i < n; ++i)
        out[i] = static_cast<std::uint16_t>(ko_unicode_to_case(in[i], mapping));
    ko_ret_ref(complete, thread, r);
}
KO_NATIVE(String_toLowerCase) { U; change_case(vm, self, complete, thread, 0); }
KO_NATIVE(String_toUpperCase) { U; change_case(vm, self, complete, thread, 1); }
KO_NATIVE(String_intern)
{
    U;
    std::size_t n = 0;
    char* text = ko_jvm_string_to_utf8(vm, obj(self), &n);
    KoJvmSymbol* s = text ? ko_jvm_intern(vm, text, n, false) : nullptr;
    ko_free(text);
    if (!s) {
        complete(nullptr, vm->oom, thread);
        return;
    }
    if (!s->string)
        s->string = self->ref;
    ko_ret_ref(complete, thread, ko_obj(s->string));
}

// ---- java/lang/System and Runtime -------------------------------------------------------

void set_system_stream(KoJvmRec* vm, const char* name, const char* desc, KoJvmObjectRec* value)
{
    KoJvmClassRec* sys = ko_jvm_find_class(vm, "java/lang/System", 16);
    if (KoJvmFieldRec* f = sys ? ko_jvm_find_field(vm, sys, name, desc) : nullptr)
        ko_jvm_set_ref_field(vm, nullptr, f, value);
}
KO_NATIVE(System_setIn) { U; set_system_stream(vm, "in", "Ljava/io/InputStream;", obj(args)); ko_ret_void(complete, thread); }
KO_NATIVE(System_setOut) { U; set_system_stream(vm, "out", "Ljava/io/PrintStream;", obj(args)); ko_ret_void(complete, thread); }
KO_NATIVE(System_setErr) { U; set_system_stream(vm, "err", "Ljava/io/PrintStream;", obj(args)); ko_ret_void(complete, thread); }
KO_NATIVE(System_currentTimeMillis) { U; ko_ret_long(complete, thread, ko_time_now() / 1000); }
KO_NATIVE(System_arraycopy)
{
    U;
    KoJvmObjectRec* src = obj(args);
    KoJvmObjectRec* dst = obj(args + 2);
    std::int32_t sp = args[1].i, dp = args[3].i, n = args[4].i;
    if (!src || !dst) {
        ko_ret_throw(vm, complete, thread, "java/lang/NullPointerException");
        return;
    }
    KoJvmClassRec* sc = ko_jvm_class(src);
    KoJvmClassRec* dc = ko_jvm_class(dst);
    if (!(sc->vm_flags & KO_JVM_CLASS_F_ARRAY) || !(dc->vm_flags & KO_JVM_CLASS_F_ARRAY) ||
        ((sc->vm_flags | dc->vm_flags) & KO_JVM_CLASS_F_PRIMITIVE && sc != dc)) {
        ko_ret_throw(vm, complete, thread, "java/lang/ArrayStoreException");
        return;
    }
    if (n < 0 || sp < 0 || dp < 0 || std::int64_t(sp) + n > ko_jvm_length(src) || std::int64_t(dp) + n > ko_jvm_length(dst)) {
        ko_ret_throw(vm, complete, thread, "java/lang/ArrayIndexOutOfBoundsException");
        return;
    }
    std::size_t es = sc->element_size;
    if (!(sc->vm_flags & KO_JVM_CLASS_F_PRIMITIVE) && sc != dc) {
        KoJvmClassRec* de = ko_cls(dc->element_class);
        KoRef* s = reinterpret_cast<KoRef*>(ko_jvm_elements(src));
        KoRef* d = reinterpret_cast<KoRef*>(ko_jvm_elements(dst));
        for (std::int32_t i = 0; i < n; ++i) {
            KoJvmObjectRec* v = ko_obj(s[sp + i]);
            if (v && de && !ko_jvm_is_assignable(vm, de, ko_jvm_class(v))) {
                ko_ret_throw(vm, complete, thread, "java/lang/ArrayStoreException");
                return;
            }
            ko_jvm_store_ref(vm, dst, d + dp + i, v);
        }
    } else {
        std::memmove(ko_jvm_elements(dst) + es * std::size_t(dp), ko_jvm_elements(src) + es * std::size_t(sp), es * std::size_t(n));
        if (!(sc->vm_flags & KO_JVM_CLASS_F_PRIMITIVE) && dst->generation > 0) {
            // References copied into an older array are remembered like stores.
            KoRef* d = reinterpret_cast<KoRef*>(ko_jvm_elements(dst));
            for (std::int32_t i = 0; i < n; ++i)
                if (KoJvmObjectRec* v = ko_obj(d[dp + i]))
                    ko_jvm_remember(vm, dst, v);
        }
    }
    ko_ret_void(complete, thread);
}
KO_NATIVE(System_identityHashCode) { U; ko_ret_int(complete, thread, ko_jvm_identity_hash(vm, obj(args))); }
KO_NATIVE(System_getProperty)
{
    U;
    char* key = ko_jvm_string_to_utf8(vm, obj(args), nullptr);
    if (!key) {
        ko_ret_throw(vm, complete, thread, "java/lang/NullPointerException");
        return;
    }
    static const char* const props[][2] = {{"line.separator", "\n"}, {"file.separator", "/"}, {"path.separator", ":"},
                                           {"java.vendor", "Kestrova"}, {"java.version", "1.5"},
                                           {"file.encoding", "UTF8"}, {"os.name", "Linux"}};
    const char* value = nullptr;
    for (auto& p : props)
        if (!std::strcmp(p[0], key))
            value = p[1];
    ko_free(key);
    if (value)
        ko_ret_string(vm, complete, thread, value);
    else
        ko_ret_ref(complete, thread, nullptr);
}
KO_NATIVE(Runtime_getRuntime)
{
    U;
    KoJvmObjectRec* r = ko_jvm_new_object(vm, clazz);
    if (!r)
        complete(nullptr, vm->oom, thread);
    else
        ko_ret_ref(complete, thread, r);
}
KO_NATIVE(Runtime_availableProcessors) { U; ko_ret_int(complete, thread, 1); }
KO_NATIVE(Runtime_exit)
{
    U;
    KoHandle* out = vm->std_out ? vm->std_out : ko_stdout();
    ko_handle_flush(out);
    ko_handle_flush(ko_stderr());
    std::fflush(nullptr);
    std::_Exit(args[0].i);
}
KO_NATIVE(Runtime_freeMemory) { U; ko_ret_long(complete, thread, vm->gens[0].free); }
KO_NATIVE(Runtime_totalMemory) { U; ko_ret_long(complete, thread, vm->area_size); }
// Collects every generation. The interpreter saved its state before the
// call and this native holds no object, so objects may move here.
KO_NATIVE(Runtime_gc)
{
    U;
    vm->gc_full = true;
    ko_jvm_collect_requested(vm);
    ko_ret_void(complete, thread);
}
KO_NATIVE(Runtime_traceMethodCalls) { U; vm->trace_calls = args[0].i != 0; ko_ret_void(complete, thread); }

// ---- java/lang/Thread ----------------------------------------------------------------

KO_NATIVE(Thread_currentThread) { U; ko_ret_ref(complete, thread, ko_jvm_thread_object(thread)); }
KO_NATIVE(Thread_yield) { U; ko_ret_void(complete, thread); }
KO_NATIVE(Thread_sleep) { U; ko_jvm_thread_sleep(thread, ko_arg_long(args)); }
KO_NATIVE(Thread_start)
{
    U;
    KoJvmObjectRec* o = obj(self);
    if (vm->f_thread_native && ko_jvm_get_field_pointer(vm, o, vm->f_thread_native)) {
        ko_ret_throw(vm, complete, thread, "java/lang/IllegalThreadStateException");
        return;
    }
    ko_jvm_start_thread_object(vm, thread, o);
    ko_ret_void(complete, thread);
}
KO_NATIVE(Thread_setPriority)
{
    U;
    if (KoJvmFieldRec* f = ko_jvm_find_field(vm, clazz, "priority", "I"))
        ko_jvm_set_int_field(vm, obj(self), f, args[0].i);
    ko_ret_void(complete, thread);
}
KO_NATIVE(Thread_getPriority)
{
    U;
    KoJvmFieldRec* f = ko_jvm_find_field(vm, clazz, "priority", "I");
    ko_ret_int(complete, thread, f ? ko_jvm_get_int_field(vm, obj(self), f) : 5);
}
KO_NATIVE(Thread_activeCount) { U; ko_ret_int(complete, thread, ko_jvm_live_threads(vm)); }
KO_NATIVE(Thread_getThreadGroup) { U; ko_ret_ref(complete, thread, ko_obj(vm->thread_group)); }
KO_NATIVE(Thread_countStackFrames) { U; ko_ret_int(complete, thread, 0); }

// ---- Numbers, characters, Math ---------------------------------------------------------------

std::string int_text(std::int64_t v, int radix)
{
    if (radix < 2 || radix > 36)
        radix = 10;
    bool neg = v < 0;
    std::uint64_t u = neg ? 0 - std::uint64_t(v) : std::uint64_t(v);
    std::string s;
    do {
        s.insert(s.begin(), "0123456789abcdefghijklmnopqrstuvwxyz"[u % radix]);
        u /= radix;
    } while (u);
    if (neg)
        s.insert(s.begin(), '-');
    return s;
}
std::string unsigned_text(std::uint64_t u, int shift)
{
    std::string s;
    std::uint64_t mask = (1u << shift) - 1;
    do {
        s.insert(s.begin(), "0123456789abcdef"[u & mask]);
        u >>= shift;
    } while (u);
    return s;
}
// Java's integer parse: optional '-' (or '+'), digits of the radix, no blanks.
bool parse_java(KoJvmRec* vm, KoJvmObjectRec* s, int radix, std::int64_t lo, std::int64_t hi, std::int64_t* out)
{
    if (!s || radix < 2 || radix > 36)
        return false;
    std::int32_t n = ko_jvm_string_length(vm, s);
    const std::uint16_t* c = ko_jvm_string_chars(vm, s);
    std::int32_t i = 0;
    bool neg = false;
    if (n > 0 && (c[0] == '-' || c[0] == '+'))
        neg = c[i++] == '-';
    if (i >= n)
        return false;
    __int128 v = 0;
    for (; i < n; ++i) {
        int d = c[i] < 128 ? (c[i] >= '0' && c[i] <= '9' ? c[i] - '0' : c[i] >= 'a' && c[i] <= 'z' ? c[i] - 'a' + 10
                              : c[i] >= 'A' && c[i] <= 'Z' ? c[i] - 'A' + 10 : 99) : 99;
        if (d >= radix)
            return false;
        v = v * radix + d;
        if (v > (__int128)hi + 1)
            return false;
    }
    if (neg)
        v = -v;
    if (v < lo || v > hi)
        return false;
    *out = static_cast<std::int64_t>(v);
    return true;
}
void nfe(KoJvmRec* vm, KoJvmCompletion complete, KoJvmThread* thread, KoJvmObjectRec* s)
{
    char* text = s ? ko_jvm_string_to_utf8(vm, s, nullptr) : nullptr;
    std::string msg = text ? std::string("For input string: \"") + text + "\"" : "null";
    ko_free(text);
    ko_ret_throw(vm, complete, thread, "java/lang/NumberFormatException", msg.c_str());
}

KO_NATIVE(Integer_toHexString) { U; ko_ret_string(vm, complete, thread, unsigned_text(std::uint32_t(args[0].i), 4).c_str()); }
KO_NATIVE(Integer_toOctalString) { U; ko_ret_string(vm, complete, thread, unsigned_text(std::uint32_t(args[0].i), 3).c_str()); }
KO_NATIVE(Integer_toBinaryString) { U; ko_ret_string(vm, complete, thread, unsigned_text(std::uint32_t(args[0].i), 1).c_str()); }
KO_NATIVE(Integer_toString) { U; ko_ret_string(vm, complete, thread, int_text(args[0].i, 10).c_str()); }
KO_NATIVE(Integer_parseInt)
{
    U;
    std::int64_t v;
    if (!parse_java(vm, obj(args), args[1].i, INT32_MIN, INT32_MAX, &v))
        nfe(vm, complete, thread, obj(args));
    else
        ko_ret_int(complete, thread, static_cast<std::int32_t>(v));
}
KO_NATIVE(Long_toHexString) { U; ko_ret_string(vm, complete, thread, unsigned_text(std::uint64_t(ko_arg_long(args)), 4).c_str()); }
KO_NATIVE(Long_toStringRadix) { U; ko_ret_string(vm, complete, thread, int_text(ko_arg_long(args), args[2].i).c_str()); }
KO_NATIVE(Long_toString) { U; ko_ret_string(vm, complete, thread, int_text(ko_arg_long(args), 10).c_str()); }
KO_NATIVE(Long_parseLong)
{
    U;
    std::int64_t v;
    if (!parse_java(vm, obj(args), args[1].i, INT64_MIN, INT64_MAX, &v))
        nfe(vm, complete, thread, obj(args));
    else
        ko_ret_long(complete, thread, v);
}
KO_NATIVE(Byte_toString) { U; ko_ret_string(vm, complete, thread, int_text(args[0].i, 10).c_str()); }
KO_NATIVE(Byte_parse)
{
    U;
    std::int64_t v;
    if (!parse_java(vm, obj(args), 10, -128, 127, &v))
        nfe(vm, complete, thread, obj(args));
    else
        ko_ret_int(complete, thread, static_cast<std::int32_t>(v));
}
KO_NATIVE(Byte_parseRadix)
{
    U;
    std::int64_t v;
    if (!parse_java(vm, obj(args), args[1].i, -128, 127, &v))
        nfe(vm, complete, thread, obj(args));
    else
        ko_ret_int(complete, thread, static_cast<std::int32_t>(v));
}
KO_NATIVE(Short_parse)
{
    U;
    std::int64_t v;
    if (!parse_java(vm, obj(args), 10, -32768, 32767, &v))
        nfe(vm, complete, thread, obj(args));
    else
        ko_ret_int(complete, thread, static_cast<std::int32_t>(v));
}
KO_NATIVE(Short_parseRadix)
{
    U;
    std::int64_t v;
    if (!parse_java(vm, obj(args), args[1].i, -32768, 32767, &v))
        nfe(vm, complete, thread, obj(args));
    else
        ko_ret_int(complete, thread, static_cast<std::int32_t>(v));
}
KO_NATIVE(Double_toString)
{
    U;
    char buf[64];
    ko_jvm_format_double(ko_arg_double(args), buf, sizeof buf);
    ko_ret_string(vm, complete, thread, buf);
}
// Java's floating-point literal syntax, less surrounding white space and
// control characters: an optional sign, then NaN, Infinity, decimal digits
// with an optional fraction and exponent, or a hexadecimal significand with a
// binary exponent "p"; an optional type suffix (f, F, d, D). Leaves the
// text for the C library's conversion in t; false when it is no number.
bool java_float_syntax(std::string& t)
{
    std::size_t b = 0, e = t.size();
    while (b < e && static_cast<unsigned char>(t[b]) <= ' ')
        ++b;
    while (e > b && static_cast<unsigned char>(t[e - 1]) <= ' ')
        --e;
    t = t.substr(b, e - b);
    std::size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
        ++i;
    const std::string rest = t.substr(i);
    if (rest == "NaN" || rest == "Infinity")
        return true;
    auto digits = [&t, &i](bool hex) {
        std::size_t n = 0;
        while (i < t.size() && (hex ? std::isxdigit(static_cast<unsigned char>(t[i])) : std::isdigit(static_cast<unsigned char>(t[i]))))
            ++i, ++n;
        return n;
    };
    const bool hex = rest.size() > 1 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X');
    if (hex)
        i += 2;
    std::size_t n = digits(hex);
    if (i < t.size() && t[i] == '.') {
        ++i;
        n += digits(hex);
    }
    if (!n)
        return false;
    if (i < t.size() && (hex ? (t[i] == 'p' || t[i] == 'P') : (t[i] == 'e' || t[i] == 'E'))) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-'))
            ++i;
        if (!digits(false))
            return false;
    } else if (hex)
        return false;
    if (i < t.size() && (t[i] == 'f' || t[i] == 'F' || t[i] == 'd' || t[i] == 'D'))
        t.erase(i, 1);
    return i == t.size();
}
// Parses the string as a double, or as a float rounded once from the text.
bool parse_double(KoJvmRec* vm, KoJvmObjectRec* s, double* out, bool as_float = false)
{
    char* text = s ? ko_jvm_string_to_utf8(vm, s, nullptr) : nullptr;
    if (!text)
        return false;
    std::string t(text);
    ko_free(text);
    if (!java_float_syntax(t))
        return false;
    const std::size_t sign = t[0] == '+' || t[0] == '-' ? 1 : 0;
    const bool negative = t[0] == '-';
    if (t.compare(sign, std::string::npos, "NaN") == 0)
        *out = std::nan("");
    else if (t.compare(sign, std::string::npos, "Infinity") == 0)
        *out = negative ? -HUGE_VAL : HUGE_VAL;
    else
        *out = as_float ? double(std::strtof(t.c_str(), nullptr)) : std::strtod(t.c_str(), nullptr);
    return true;
}
KO_NATIVE(Double_parseDouble)
{
    U;
    double d;
    if (!parse_double(vm, obj(args), &d))
        nfe(vm, complete, thread, obj(args));
    else
        ko_ret_double(complete, thread, d);
}
KO_NATIVE(Double_isNaN) { U; double d = ko_arg_double(args); ko_ret_int(complete, thread, d != d); }
KO_NATIVE(Double_isInfinite) { U; ko_ret_int(complete, thread, std::isinf(ko_arg_double(args)) ? 1 : 0); }
KO_NATIVE(Double_doubleToLongBits)
{
    U;
    double d = ko_arg_double(args);
    std::int64_t b;
    std::memcpy(&b, &d, 8);
    if (d != d)
        b = 0x7ff8000000000000LL;
    ko_ret_long(complete, thread, b);
}
KO_NATIVE(Double_longBitsToDouble)
{
    U;
    std::int64_t b = ko_arg_long(args);
    double d;
    std::memcpy(&d, &b, 8);
    ko_ret_double(complete, thread, d);
}
KO_NATIVE(Float_toString)
{
    U;
    char buf[64];
    ko_jvm_format_float(args[0].f, buf, sizeof buf);
    ko_ret_string(vm, complete, thread, buf);
}
KO_NATIVE(Float_parseFloat)
{
    U;
    double d;
    if (!parse_double(vm, obj(args), &d, true))
        nfe(vm, complete, thread, obj(args));
    else
        ko_ret_float(complete, thread, static_cast<float>(d));
}
KO_NATIVE(Float_isNaN) { U; ko_ret_int(complete, thread, args[0].f != args[0].f); }
KO_NATIVE(Float_isInfinite) { U; ko_ret_int(complete, thread, std::isinf(args[0].f) ? 1 : 0); }
KO_NATIVE(Float_floatToIntBits)
{
    U;
    std::int32_t b = args[0].i;
    if (args[0].f != args[0].f)
        b = 0x7fc00000;
    ko_ret_int(complete, thread, b);
}
KO_NATIVE(Float_intBitsToFloat) { U; ko_ret_int(complete, thread, args[0].i); }

#define MATH1(name, fn) KO_NATIVE(Math_##name) { U; ko_ret_double(complete, thread, fn(ko_arg_double(args))); }
MATH1(sin, std::sin)
MATH1(cos, std::cos)
MATH1(tan, std::tan)
MATH1(asin, std::asin)
MATH1(acos, std::acos)
MATH1(atan, std::atan)
MATH1(sqrt, std::sqrt)
MATH1(ceil, std::ceil)
MATH1(floor, std::floor)
MATH1(absd, std::fabs)
KO_NATIVE(Math_pow) { U; ko_ret_double(complete, thread, std::pow(ko_arg_double(args), ko_arg_double(args + 2))); }
KO_NATIVE(Math_roundf)
{
    U;
    float f = args[0].f;
    // floor(f + 1/2) without the rounding error of the addition
    double r = std::floor(double(f));
    if (double(f) - r >= 0.5)
        r += 1;
    ko_ret_int(complete, thread, f != f ? 0 : r >= 2147483647.0 ? INT32_MAX : r <= -2147483648.0 ? INT32_MIN : std::int32_t(r));
}
KO_NATIVE(Math_roundd)
{
    U;
    double d = ko_arg_double(args);
    double r = std::floor(d);
    if (d - r >= 0.5) // exact: d and floor(d) share their exponent or d is below 1
        r += 1;
    ko_ret_long(complete, thread, d != d ? 0 : r >= 9.2233720368547758e18 ? INT64_MAX : r <= -9.2233720368547758e18 ? INT64_MIN : std::int64_t(r));
}
KO_NATIVE(Math_absi) { U; ko_ret_int(complete, thread, args[0].i < 0 ? std::int32_t(0u - std::uint32_t(args[0].i)) : args[0].i); }
KO_NATIVE(Math_absl) { U; std::int64_t v = ko_arg_long(args); ko_ret_long(complete, thread, v < 0 ? std::int64_t(0 - std::uint64_t(v)) : v); }
KO_NATIVE(Math_absf) { U; ko_ret_float(complete, thread, std::fabs(args[0].f)); }

std::uint16_t ch(const KoJvmCat1ValueUnion* a) { return static_cast<std::uint16_t>(a[0].i); }
#define CHAR_PRED(name, expr) KO_NATIVE(Character_##name) { U; std::uint16_t c = ch(args); ko_ret_int(complete, thread, (expr) ? 1 : 0); }
int cat(std::uint16_t c) { return ko_unicode_category(c); }
CHAR_PRED(isLowerCase, cat(c) == 2)
CHAR_PRED(isUpperCase, cat(c) == 1)
CHAR_PRED(isTitleCase, cat(c) == 3)
CHAR_PRED(isDigit, cat(c) == 9)
CHAR_PRED(isDefined, cat(c) != 0)
CHAR_PRED(isLetter, cat(c) >= 1 && cat(c) <= 5)
CHAR_PRED(isLetterOrDigit, (cat(c) >= 1 && cat(c) <= 5) || cat(c) == 9)
CHAR_PRED(isJavaIdentifierStart, (cat(c) >= 1 && cat(c) <= 5) || cat(c) == 10 || cat(c) == 20 || cat(c) == 12)
CHAR_PRED(isJavaIdentifierPart, (cat(c) >= 1 && cat(c) <= 12) || cat(c) == 20 || (c <= 8) || (c >= 0x0E && c <= 0x1B) || (c >= 0x7F && c <= 0x9F))
CHAR_PRED(isUnicodeIdentifierStart, (cat(c) >= 1 && cat(c) <= 5) || cat(c) == 10)
CHAR_PRED(isUnicodeIdentifierPart, (cat(c) >= 1 && cat(c) <= 12) || cat(c) == 27)
CHAR_PRED(isIdentifierIgnorable, (c <= 8) || (c >= 0x0E && c <= 0x1B) || (c >= 0x7F && c <= 0x9F) || cat(c) == 27)
CHAR_PRED(isSpace, c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r')
CHAR_PRED(isSpaceChar, cat(c) >= 23 && cat(c) <= 25)
CHAR_PRED(isWhitespace, ((cat(c) >= 23 && cat(c) <= 25) && c != 0xA0 && c != 0x2007 && c != 0x202F) || (c >= 9 && c <= 13) || (c >= 0x1C && c <= 0x1F))
CHAR_PRED(isISOControl, c <= 0x1F || (c >= 0x7F && c <= 0x9F))
CHAR_PRED(isMirrored, c == '(' || c == ')' || c == '<' || c == '>' || c == '[' || c == ']' || c == '{' || c == '}')
KO_NATIVE(Character_toLowerCase) { U; ko_ret_int(complete, thread, static_cast<std::uint16_t>(ko_unicode_to_case(ch(args), 0))); }
KO_NATIVE(Character_toUpperCase) { U; ko_ret_int(complete, thread, static_cast<std::uint16_t>(ko_unicode_to_case(ch(args), 1))); }
KO_NATIVE(Character_digit)
{
    U;
    std::uint16_t c = ch(args);
    int radix = args[1].i;
    int v = ko_unicode_numeric_value(c);
    bool ok = radix >= 2 && radix <= 36 && v >= 0 && v < radix && (cat(c) == 9 || (c < 128 ? std::isalpha(c) != 0 : cat(c) <= 2));
    ko_ret_int(complete, thread, ok ? v : -1);
}
KO_NATIVE(Character_getNumericValue) { U; ko_ret_int(complete, thread, ko_unicode_numeric_value(ch(args))); }
KO_NATIVE(Character_getType)
{
    U;
    // Java numbers the general categories in its own order.
    static const int java[30] = {0, 1, 2, 3, 4, 5, 6, 8, 7, 9, 10, 11, 23, 20, 21, 22, 29, 30, 24, 25, 26, 27, 28, 12, 13, 14, 15, 16, 19, 18};
    ko_ret_int(complete, thread, java[cat(ch(args))]);
}
KO_NATIVE(Character_forDigit)
{
    U;
    int d = args[0].i, r = args[1].i;
    ko_ret_int(complete, thread, r < 2 || r > 36 || d < 0 || d >= r ? 0 : "0123456789abcdefghijklmnopqrstuvwxyz"[d]);
}

// ---- Handles and system streams ----------------------------------------------------------

KoHandle* handle_field(KoJvmRec* vm, KoJvmObjectRec* o)
{
    KoJvmFieldRec* f = ko_jvm_find_field(vm, ko_jvm_class(o), "handle", "J");
    return f ? static_cast<KoHandle*>(ko_jvm_get_field_pointer(vm, o, f)) : nullptr;
}
KO_NATIVE(Handle_copy)
{
    U;
    KoHandle* h = reinterpret_cast<KoHandle*>(static_cast<std::intptr_t>(ko_arg_long(args)));
    ko_ret_long(complete, thread, h ? static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(ko_handle_ref(h))) : 0);
}
KO_NATIVE(Handle_close)
{
    U;
    KoHandle* h = reinterpret_cast<KoHandle*>(static_cast<std::intptr_t>(ko_arg_long(args)));
    if (h)
        ko_handle_release(h);
    ko_ret_void(complete, thread);
}
KO_NATIVE(HandleInputStream_read)
{
    U;
    KoHandle* h = handle_field(vm, obj(self));
    ko_ret_int(complete, thread, h ? ko_handle_getc(h) : -1);
}
KO_NATIVE(HandleInputStream_readArray)
{
    U;
    KoHandle* h = handle_field(vm, obj(self));
    KoJvmObjectRec* b = obj(args);
    std::int32_t off = args[1].i, n = args[2].i;
    if (!b || off < 0 || n < 0 || std::int64_t(off) + n > ko_jvm_length(b)) {
        ko_ret_throw(vm, complete, thread, b ? "java/lang/IndexOutOfBoundsException" : "java/lang/NullPointerException");
        return;
    }
    long r = h ? ko_handle_read(h, ko_jvm_elements(b) + off, std::size_t(n)) : -1;
    if (r < 0)
        ko_ret_throw(vm, complete, thread, "java/io/IOException");
    else
        ko_ret_int(complete, thread, r == 0 && n > 0 ? -1 : static_cast<std::int32_t>(r));
}
KO_NATIVE(Handle_closeStream)
{
    U;
    KoJvmObjectRec* o = obj(self);
    KoJvmFieldRec* f = ko_jvm_find_field(vm, ko_jvm_class(o), "handle", "J");
    if (f) {
        if (KoHandle* h = static_cast<KoHandle*>(ko_jvm_get_field_pointer(vm, o, f)))
            ko_handle_release(h);
        ko_jvm_set_field_pointer(vm, o, f, nullptr);
    }
    ko_ret_void(complete, thread);
}
void write_bytes(KoJvmRec* vm, KoJvmCat1ValueUnion* self, KoJvmObjectRec* b, std::int32_t off, std::int32_t n,
                 KoJvmCompletion complete, KoJvmThread* thread)
{
    if (!b || off < 0 || n < 0 || std::int64_t(off) + n > ko_jvm_length(b)) {
        ko_ret_throw(vm, complete, thread, b ? "java/lang/IndexOutOfBoundsException" : "java/lang/NullPointerException");
        return;
    }
    KoHandle* h = handle_field(vm, obj(self));
    if (!h || (n > 0 && ko_handle_write(h, ko_jvm_elements(b) + off, std::size_t(n)) != n))
        ko_ret_throw(vm, complete, thread, "java/io/IOException");
    else
        ko_ret_void(complete, thread);
}
KO_NATIVE(HandleOutputStream_write)
{
    U;
    KoHandle* h = handle_field(vm, obj(self));
    unsigned char c = static_cast<unsigned char>(args[0].i);
    if (!h || ko_handle_write(h, &c, 1) != 1)
        ko_ret_throw(vm, complete, thread, "java/io/IOException");
    else
        ko_ret_void(complete, thread);
}
KO_NATIVE(HandleOutputStream_writeAll)
{
    U;
    KoJvmObjectRec* b = obj(args);
    write_bytes(vm, self, b, 0, b ? static_cast<std::int32_t>(ko_jvm_length(b)) : 0, complete, thread);
}
KO_NATIVE(HandleOutputStream_writeArray) { U; write_bytes(vm, self, obj(args), args[1].i, args[2].i, complete, thread); }

std::int64_t handle_word(KoHandle* h) { return static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(ko_handle_ref(h))); }
KO_NATIVE(Streams_in) { U; ko_ret_long(complete, thread, handle_word(vm->std_in ? vm->std_in : ko_stdin())); }
KO_NATIVE(Streams_out) { U; ko_ret_long(complete, thread, handle_word(vm->std_out ? vm->std_out : ko_stdout())); }
KO_NATIVE(Streams_err) { U; ko_ret_long(complete, thread, handle_word(vm->std_err ? vm->std_err : ko_stderr())); }

KO_NATIVE(KoJvm_debugString)
{
    U;
    char* s = obj(args) ? ko_jvm_string_to_utf8(vm, obj(args), nullptr) : nullptr;
    ko_jvm_printf(vm, "%s", s ? s : "null");
    ko_free(s);
    ko_ret_void(complete, thread);
}
KO_NATIVE(KoJvm_debugInt) { U; ko_jvm_printf(vm, "%d", args[0].i); ko_ret_void(complete, thread); }
KO_NATIVE(KoJvm_debugLong) { U; ko_jvm_printf(vm, "%lld", static_cast<long long>(ko_arg_long(args))); ko_ret_void(complete, thread); }
KO_NATIVE(KoJvm_time) { U; ko_ret_int(complete, thread, static_cast<std::int32_t>(ko_time_now() / 1000000)); }
// ---- java/lang/StackTraceElement: one frame of a raw stack trace ----------------------

// The class and method of the element's frame and the offset in its code.
bool stack_element(KoJvmRec* vm, KoJvmClassRec* clazz, KoJvmCat1ValueUnion* self, KoJvmClassRec** c,
                   KoJvmMethodRec** m, std::uint32_t* pc)
{
    KoJvmFieldRec* f = ko_jvm_find_field(vm, clazz, "element", "J");
    if (!f || !obj(self))
        return false;
    std::uint64_t raw = static_cast<std::uint64_t>(ko_jvm_get_long_field(vm, obj(self), f));
    *c = ko_jvm_class_by_id(vm, static_cast<std::uint32_t>(raw >> 32));
    std::uint32_t index = (raw >> 16) & 0xFFFF;
    if (!*c || index >= (*c)->method_count)
        return false;
    *m = ko_methods(*c) + index;
    *pc = raw & 0xFFFF;
    return true;
}
KO_NATIVE(StackTraceElement_getFileName)
{
    U;
    KoJvmClassRec* c;
    KoJvmMethodRec* m;
    std::uint32_t pc;
    KoJvmSymbol* file = stack_element(vm, clazz, self, &c, &m, &pc) ? ko_sym(c->source_file) : nullptr;
    KoJvmObjectRec* r = file ? ko_jvm_new_string_utf8(vm, ko_sym_bytes(file), ko_sym_len(file)) : nullptr;
    if (file && !r)
        complete(nullptr, vm->oom, thread);
    else
        ko_ret_ref(complete, thread, r);
}
// The line of the frame's instruction; -2 for a native method, -1 without a
// line table.
KO_NATIVE(StackTraceElement_getLineNumber)
{
    U;
    KoJvmClassRec* c;
    KoJvmMethodRec* m;
    std::uint32_t pc;
    std::int32_t line = -1;
    if (stack_element(vm, clazz, self, &c, &m, &pc)) {
        if (m->access & KO_ACC_NATIVE) {
            line = -2;
        } else if (pc < m->code_length) {
            const KoJvmLineEntry* lines = ko_ptr<const KoJvmLineEntry>(m->lines);
            std::uint32_t best = 0;
            for (std::uint16_t i = 0; lines && i < m->line_count; ++i)
                if (lines[i].start_pc <= pc && (line < 0 || lines[i].start_pc >= best)) {
                    best = lines[i].start_pc;
                    line = lines[i].line;
                }
        }
    }
    ko_ret_int(complete, thread, line);
}
KO_NATIVE(StackTraceElement_getClassName)
{
    U;
    KoJvmClassRec* c;
    KoJvmMethodRec* m;
    std::uint32_t pc;
    if (!stack_element(vm, clazz, self, &c, &m, &pc)) {
        ko_ret_ref(complete, thread, nullptr);
        return;
    }
    KoJvmObjectRec* r = dotted_name(vm, c);
    if (!r)
        complete(nullptr, vm->oom, thread);
    else
        ko_ret_ref(complete, thread, r);
}
KO_NATIVE(StackTraceElement_getMethodName)
{
    U;
    KoJvmClassRec* c;
    KoJvmMethodRec* m;
    std::uint32_t pc;
    if (!stack_element(vm, clazz, self, &c, &m, &pc)) {
        ko_ret_ref(complete, thread, nullptr);
        return;
    }
    KoJvmSymbol* n = ko_sym(m->name);
    KoJvmObjectRec* r = ko_jvm_new_string_utf8(vm, ko_sym_bytes(n), ko_sym_len(n));
    if (!r)
        complete(nullptr, vm->oom, thread);
    else
        ko_ret_ref(complete, thread, r);
}

KO_NATIVE(KoJvm_setDebugGC) { U; vm->gc_debug = args[0].i != 0; ko_ret_void(complete, thread); }
KO_NATIVE(KoJvm_getGCCount) { U; ko_ret_int(complete, thread, static_cast<std::int32_t>(ko_jvm_gc_count(vm))); }
KO_NATIVE(KoJvm_dumpGCStats) { U; ko_jvm_print_gc_statistics(vm); ko_ret_void(complete, thread); }
// The raw stack trace of a started thread.
KO_NATIVE(KoJvm_systemStackTrace)
{
    U;
    KoJvmObjectRec* to = obj(args);
    KoJvmThread* t = to && vm->f_thread_native
                         ? static_cast<KoJvmThread*>(ko_jvm_get_field_pointer(vm, to, vm->f_thread_native))
                         : nullptr;
    if (!t) {
        ko_ret_throw(vm, complete, thread, "java/lang/NullPointerException");
        return;
    }
    KoJvmObjectRec* a = ko_jvm_raw_stack_trace(vm, t);
    if (!a)
        complete(nullptr, vm->oom, thread);
    else
        ko_ret_ref(complete, thread, a);
}
KO_NATIVE(KoJvm_isShuttingDown) { U; ko_ret_int(complete, thread, vm->exit_requested ? 1 : 0); }
KO_NATIVE(KoJvm_getObjectToFinalize) { U; ko_ret_ref(complete, thread, ko_jvm_next_finalizable(vm)); }
// Returns at once when objects wait for their finalisers; otherwise the
// thread waits until the collector queues some.
KO_NATIVE(KoJvm_waitObjectsToFinalize)
{
    U;
    if (ko_jvm_has_finalizable(vm)) {
        ko_ret_void(complete, thread);
        return;
    }
    thread->flags |= KO_JVM_THREAD_F_FINALIZER_WAIT;
}
KO_NATIVE(KoJvm_convertToLatin1)
{
    U;
    KoJvmObjectRec* chars = obj(args);
    std::int32_t off = args[1].i;
    KoJvmObjectRec* bytes = obj(args + 2);
    std::int32_t n = args[3].i;
    if (!chars || !bytes) {
        ko_ret_throw(vm, complete, thread, "java/lang/NullPointerException");
        return;
    }
    if (off < 0 || n < 0 || std::int64_t(off) + n > ko_jvm_length(chars) || std::uint32_t(n) > ko_jvm_length(bytes)) {
        ko_ret_throw(vm, complete, thread, "java/lang/ArrayIndexOutOfBoundsException");
        return;
    }
    const std::uint16_t* c = ko_jvm_char_array_data(vm, chars);
    std::int8_t* b = ko_jvm_byte_array_data(vm, bytes);
    for (std::int32_t i = 0; i < n; ++i)
        b[i] = static_cast<std::int8_t>(c[off + i] < 256 ? c[off + i] : '?');
    ko_ret_void(complete, thread);
}
void load_class_done(KoJvmClassRec* c, KoJvmObjectRec* e, void* data)
{
    KoJvmThread* t = static_cast<KoJvmThread*>(data);
    KoJvmRec* vm = t->vm;
    if (!c) {
        ko_jvm_native_complete(nullptr, ko_jvm_throw_by_name(vm, t, "java/lang/ClassNotFoundException", nullptr), t);
        return;
    }
    (void)e;
    KoJvmObjectRec* o = ko_jvm_class_object(vm, c);
    KoJvmCat1ValueUnion r[1];
    r[0].ref = ko_ref(o);
    ko_jvm_native_complete(o ? r : nullptr, o ? nullptr : vm->oom, t);
}
// The class of a dotted or slashed name, loaded (not initialised) through the
// VM's class loader; every '.' becomes '/'.
KO_NATIVE(KoJvm_loadClass)
{
    U;
    KoJvmObjectRec* name = obj(args);
    if (!name) {
        ko_ret_throw(vm, complete, thread, "java/lang/NullPointerException");
        return;
    }
    std::size_t n = 0;
    char* utf = ko_jvm_string_to_utf8(vm, name, &n);
    if (!utf) {
        complete(nullptr, vm->oom, thread);
        return;
    }
    for (std::size_t i = 0; i < n; ++i)
        if (utf[i] == '.')
            utf[i] = '/';
    if (!n) {
        ko_free(utf);
        ko_ret_throw(vm, complete, thread, "java/lang/ClassNotFoundException");
        return;
    }
    ko_jvm_load_class_async(thread, utf, n, false, load_class_done, thread);
    ko_free(utf);
}
KO_NATIVE(KoJvm_traceInstructions) { U; vm->trace_instructions = args[0].i != 0; ko_ret_void(complete, thread); }
KO_NATIVE(KoJvm_void) { U; ko_ret_void(complete, thread); }
KO_NATIVE(KoJvm_zero) { U; ko_ret_int(complete, thread, 0); }

// ---- java/io/File: the stat of pathname, cached in statMode, lastModified and fileLength ----

struct FileStat {
    std::uint32_t mode = 0;
    std::int64_t mtime_us = 0;
    std::int64_t size = 0;
};
// The cached stat, or a fresh one stored in the caches; zeros when the path
// is null or cannot be read.
FileStat file_stat(KoJvmRec* vm, KoJvmClassRec* c, KoJvmObjectRec* o)
{
    FileStat st;
    KoJvmFieldRec* path = ko_jvm_find_field(vm, c, "pathname", "Ljava/lang/String;");
    KoJvmFieldRec* mode = ko_jvm_find_field(vm, c, "statMode", "I");
    KoJvmFieldRec* time = ko_jvm_find_field(vm, c, "lastModified", "J");
    KoJvmFieldRec* size = ko_jvm_find_field(vm, c, "fileLength", "J");
    if (!o || !path || !mode || !time || !size)
        return st;
    st.mode = static_cast<std::uint32_t>(ko_jvm_get_int_field(vm, o, mode));
    st.mtime_us = ko_jvm_get_long_field(vm, o, time);
    st.size = ko_jvm_get_long_field(vm, o, size);
    if (st.mode != 0)
        return st;
    KoJvmObjectRec* name = ko_jvm_get_ref_field(vm, o, path);
    char* p = name ? ko_jvm_string_to_utf8(vm, name, nullptr) : nullptr;
    KoStat k;
    if (p && ko_lstat(p, &k) == 0) {
        st.mode = k.mode;
        st.mtime_us = k.mtime_us;
        st.size = k.size;
        ko_jvm_set_int_field(vm, o, mode, static_cast<std::int32_t>(k.mode));
        ko_jvm_set_long_field(vm, o, time, k.mtime_us);
        ko_jvm_set_long_field(vm, o, size, k.size);
    } else {
        st = FileStat();
    }
    ko_free(p);
    return st;
}
// The pathname as UTF-8 (the caller frees it); null when it threw.
char* file_path(KoJvmRec* vm, KoJvmClassRec* c, KoJvmObjectRec* o, KoJvmCompletion complete, KoJvmThread* thread)
{
    KoJvmFieldRec* f = ko_jvm_find_field(vm, c, "pathname", "Ljava/lang/String;");
    KoJvmObjectRec* name = f && o ? ko_jvm_get_ref_field(vm, o, f) : nullptr;
    if (!name) {
        ko_ret_throw(vm, complete, thread, "java/lang/NullPointerException");
        return nullptr;
    }
    char* p = ko_jvm_string_to_utf8(vm, name, nullptr);
    if (!p)
        complete(nullptr, vm->oom, thread);
    return p;
}
KO_NATIVE(File_getCurrentWorkingDirectory)
{
    U;
    for (std::size_t size = 1024; size <= 16384; size *= 2) {
        char* buf = static_cast<char*>(ko_malloc(size));
        if (!buf)
            break;
        if (ko_getcwd(buf, size)) {
            KoJvmObjectRec* s = ko_jvm_new_string_utf8(vm, buf, std::strlen(buf));
            ko_free(buf);
            if (!s)
                break;
            ko_ret_ref(complete, thread, s);
            return;
        }
        ko_free(buf);
    }
    complete(nullptr, vm->oom, thread);
}
KO_NATIVE(File_canRead) { U; ko_ret_int(complete, thread, (file_stat(vm, clazz, obj(self)).mode & 0x124) != 0); }
KO_NATIVE(File_canWrite) { U; ko_ret_int(complete, thread, (file_stat(vm, clazz, obj(self)).mode & 0x92) != 0); }
KO_NATIVE(File_exists) { U; ko_ret_int(complete, thread, (file_stat(vm, clazz, obj(self)).mode & 0xF000) != 0); }
KO_NATIVE(File_isDirectory)
{
    U;
    ko_ret_int(complete, thread, (file_stat(vm, clazz, obj(self)).mode & 0xF000) == 0x4000);
}
KO_NATIVE(File_isFile) { U; ko_ret_int(complete, thread, (file_stat(vm, clazz, obj(self)).mode & 0xF000) == 0x8000); }
KO_NATIVE(File_lastModified) { U; ko_ret_long(complete, thread, file_stat(vm, clazz, obj(self)).mtime_us / 1000); }
KO_NATIVE(File_length) { U; ko_ret_long(complete, thread, file_stat(vm, clazz, obj(self)).size); }
KO_NATIVE(File_mkdir)
{
    U;
    char* p = file_path(vm, clazz, obj(self), complete, thread);
    if (!p)
        return;
    const bool made = ko_mkdir(p);
    ko_free(p);
    ko_ret_int(complete, thread, made);
}
// Forgets the cached stat, so that the next question reads the path again.
void file_forget(KoJvmRec* vm, KoJvmClassRec* c, KoJvmObjectRec* o)
{
    if (KoJvmFieldRec* f = ko_jvm_find_field(vm, c, "statMode", "I"))
        ko_jvm_set_int_field(vm, o, f, 0);
    if (KoJvmFieldRec* f = ko_jvm_find_field(vm, c, "lastModified", "J"))
        ko_jvm_set_long_field(vm, o, f, 0);
    if (KoJvmFieldRec* f = ko_jvm_find_field(vm, c, "fileLength", "J"))
        ko_jvm_set_long_field(vm, o, f, 0);
}
KO_NATIVE(File_delete)
{
    U;
    char* p = file_path(vm, clazz, obj(self), complete, thread);
    if (!p)
        return;
    const bool gone = ko_remove(p);
    ko_free(p);
    if (gone)
        file_forget(vm, clazz, obj(self));
    ko_ret_int(complete, thread, gone);
}
KO_NATIVE(File_renameTo)
{
    U;
    KoJvmObjectRec* dest = obj(args);
    if (!dest) {
        ko_ret_throw(vm, complete, thread, "java/lang/NullPointerException");
        return;
    }
    char* from = file_path(vm, clazz, obj(self), complete, thread);
    if (!from)
        return;
    char* to = file_path(vm, clazz, dest, complete, thread);
    if (!to) {
        ko_free(from);
        return;
    }
    const bool moved = ko_rename(from, to);
    ko_free(from);
    ko_free(to);
    if (moved) {
        file_forget(vm, clazz, obj(self));
        file_forget(vm, clazz, dest);
    }
    ko_ret_int(complete, thread, moved);
}
KO_NATIVE(File_list)
{
    U;
    char* p = file_path(vm, clazz, obj(self), complete, thread);
    if (!p)
        return;
    KoDir* dir = ko_dir_open(p);
    ko_free(p);
    if (!dir) {
        ko_ret_ref(complete, thread, nullptr);
        return;
    }
    std::vector<std::string> names;
    while (const char* n = ko_dir_next(dir)) {
        if (std::strcmp(n, ".") != 0 && std::strcmp(n, "..") != 0)
            names.emplace_back(n);
    }
    ko_dir_close(dir);
    KoJvmClassRec* string = vm->known[KO_K_String];
    KoJvmObjectRec* array = ko_jvm_alloc_object_array(vm, string, static_cast<std::int32_t>(names.size()));
    if (!array) {
        complete(nullptr, vm->oom, thread);
        return;
    }
    const int mark = ko_jvm_push_handle(vm, &array);
    for (std::size_t i = 0; i < names.size(); ++i) {
        KoJvmObjectRec* s = ko_jvm_new_string_utf8(vm, names[i].data(), names[i].size());
        if (!s || !ko_jvm_set_array_ref(vm, array, static_cast<std::int32_t>(i), s)) {
            ko_jvm_pop_handles(vm, mark);
            complete(nullptr, vm->oom, thread);
            return;
        }
    }
    ko_jvm_pop_handles(vm, mark);
    ko_ret_ref(complete, thread, array);
}

// ---- File streams: the toolkit file handle in the field nativeHandle ------------------

KoJvmFieldRec* stream_handle_field(KoJvmRec* vm, KoJvmClassRec* c)
{
    return ko_jvm_find_field(vm, c, "nativeHandle", "J");
}
KoHandle* stream_handle(KoJvmRec* vm, KoJvmClassRec* c, KoJvmObjectRec* o)
{
    KoJvmFieldRec* f = o ? stream_handle_field(vm, c) : nullptr;
    return f ? static_cast<KoHandle*>(ko_jvm_get_field_pointer(vm, o, f)) : nullptr;
}
// Opens the stream's file and keeps its handle (an open one is closed first).
void open_stream(KoJvmRec* vm, KoJvmClassRec* clazz, KoJvmObjectRec* self, KoJvmObjectRec* name, bool write,
                 bool append, KoJvmCompletion complete, KoJvmThread* thread)
{
    if (!name) {
        ko_ret_throw(vm, complete, thread, "java/lang/NullPointerException");
        return;
    }
    char* path = ko_jvm_string_to_utf8(vm, name, nullptr);
    if (!path) {
        complete(nullptr, vm->oom, thread);
        return;
    }
    KoHandle* h = nullptr;
    if (!write) {
        h = ko_file_open(path, true, false, false);
    } else if (append) {
        ko_handle_printf(ko_stderr(), "*** Append ***\n");
        // Appending keeps what the file holds; a missing file is created.
        h = ko_file_open(path, false, true, false);
        if (h && !ko_handle_seek(h, SEEK_END, 0)) {
            ko_handle_release(h);
            h = nullptr;
        } else if (!h) {
            h = ko_file_open(path, false, true, true);
        }
    } else {
        h = ko_file_open(path, false, true, true);
    }
    ko_free(path);
    KoJvmFieldRec* f = stream_handle_field(vm, clazz);
    if (!h || !f) {
        if (h)
            ko_handle_release(h);
        ko_ret_throw(vm, complete, thread, "java/io/FileNotFoundException");
        return;
    }
    if (KoHandle* old = static_cast<KoHandle*>(ko_jvm_get_field_pointer(vm, self, f)))
        ko_handle_release(old);
    ko_jvm_set_field_pointer(vm, self, f, h);
    ko_ret_void(complete, thread);
}
// The (array, offset, length) arguments checked; false when it threw.
bool check_range(KoJvmRec* vm, KoJvmObjectRec* b, std::int32_t off, std::int32_t n, KoJvmCompletion complete,
                 KoJvmThread* thread)
{
    if (!b) {
        ko_ret_throw(vm, complete, thread, "java/lang/NullPointerException");
        return false;
    }
    if (off < 0 || n < 0 || std::int64_t(off) + n > ko_jvm_length(b)) {
        ko_ret_throw(vm, complete, thread, "java/lang/ArrayIndexOutOfBoundsException");
        return false;
    }
    return true;
}
KO_NATIVE(FileInputStream_open) { U; open_stream(vm, clazz, obj(self), obj(args), false, false, complete, thread); }
KO_NATIVE(FileOutputStream_open)
{
    U;
    open_stream(vm, clazz, obj(self), obj(args), true, args[1].i != 0, complete, thread);
}
KO_NATIVE(FileInputStream_read)
{
    U;
    KoHandle* h = stream_handle(vm, clazz, obj(self));
    unsigned char b = 0;
    const long r = h ? ko_handle_read(h, &b, 1) : -1;
    if (r < 0)
        ko_ret_throw(vm, complete, thread, "java/io/IOException");
    else
        ko_ret_int(complete, thread, r == 0 ? -1 : b);
}
KO_NATIVE(FileInputStream_readArray)
{
    U;
    KoJvmObjectRec* b = obj(args);
    const std::int32_t off = args[1].i, n = args[2].i;
    if (!check_range(vm, b, off, n, complete, thread))
        return;
    KoHandle* h = stream_handle(vm, clazz, obj(self));
    if (!h) {
        ko_ret_throw(vm, complete, thread, "java/io/IOException");
        return;
    }
    const long r = n > 0 ? ko_handle_read(h, ko_jvm_elements(b) + off, std::size_t(n)) : 0;
    if (r < 0)
        ko_ret_throw(vm, complete, thread, "java/io/IOException");
    else
        ko_ret_int(complete, thread, r == 0 && n > 0 ? -1 : static_cast<std::int32_t>(r));
}
KO_NATIVE(FileInputStream_skip)
{
    U;
    KoHandle* h = stream_handle(vm, clazz, obj(self));
    if (!h) {
        ko_ret_throw(vm, complete, thread, "java/io/IOException");
        return;
    }
    const std::int64_t want = ko_arg_long(args);
    std::int64_t skipped = 0;
    unsigned char scratch[512];
    while (skipped < want) {
        const long r = ko_handle_read(h, scratch, std::size_t(std::min<std::int64_t>(sizeof scratch, want - skipped)));
        if (r < 0) {
            ko_ret_throw(vm, complete, thread, "java/io/IOException");
            return;
        }
        if (r == 0)
            break;
        skipped += r;
    }
    ko_ret_long(complete, thread, skipped);
}
KO_NATIVE(FileInputStream_available)
{
    U;
    KoHandle* h = stream_handle(vm, clazz, obj(self));
    const long n = h ? ko_handle_available(h) : -1;
    if (n < 0)
        ko_ret_throw(vm, complete, thread, "java/io/IOException");
    else
        ko_ret_int(complete, thread, static_cast<std::int32_t>(std::min<long>(n, 0x7FFFFFFF)));
}
KO_NATIVE(FileStream_close)
{
    U;
    KoJvmObjectRec* o = obj(self);
    KoJvmFieldRec* f = stream_handle_field(vm, clazz);
    if (o && f) {
        if (KoHandle* h = static_cast<KoHandle*>(ko_jvm_get_field_pointer(vm, o, f)))
            ko_handle_release(h);
        ko_jvm_set_field_pointer(vm, o, f, nullptr);
    }
    ko_ret_void(complete, thread);
}
KO_NATIVE(FileOutputStream_write)
{
    U;
    KoHandle* h = stream_handle(vm, clazz, obj(self));
    const unsigned char b = static_cast<unsigned char>(args[0].i);
    if (!h || ko_handle_write(h, &b, 1) != 1)
        ko_ret_throw(vm, complete, thread, "java/io/IOException");
    else
        ko_ret_void(complete, thread);
}
KO_NATIVE(FileOutputStream_writeArray)
{
    U;
    KoJvmObjectRec* b = obj(args);
    const std::int32_t off = args[1].i, n = args[2].i;
    if (!check_range(vm, b, off, n, complete, thread))
        return;
    KoHandle* h = stream_handle(vm, clazz, obj(self));
    if (!h || (n > 0 && ko_handle_write(h, ko_jvm_elements(b) + off, std::size_t(n)) != n))
        ko_ret_throw(vm, complete, thread, "java/io/IOException");
    else
        ko_ret_void(complete, thread);
}

KO_NATIVE(StreamEncoding_init) { U; ko_ret_void(complete, thread); }
KO_NATIVE(StreamEncoding_get) { U; ko_ret_string(vm, complete, thread, "UTF8"); }

#undef U

// ---- Native tables, in class-file order of each class's native methods ---------------------

#define X ko_jvm_unsupported_native
const KoJvmNative kObject[] = {Object_getClass, Object_hashCode, Object_equals, Object_clone, Object_notify,
                               Object_notifyAll, Object_wait, Object_wait__J, Object_wait__JI};
const KoJvmNative kClass[] = {Class_toString, Class_false, Class_forName, Class_forName, Class_newInstance,
                              Class_isAssignableFrom, Class_isInterface, Class_isArray, Class_false, Class_getName, Class_null,
                              Class_getSuperclass, X, Class_getComponentType, Class_getModifiers, Class_null, Class_null, X,
                              Class_getFields, Class_getMethods, Class_getConstructors, Class_getMethod,
                              Class_getConstructor, X, Class_getDeclaredFields, Class_getDeclaredMethods, Class_hashCode};
const KoJvmNative kClassLoader[] = {ClassLoader_resolveClass, ClassLoader_findLoadedClass,
                                    ClassLoader_getSystemResourceAsHandle};
const KoJvmNative kString[] = {String_bytesToCharArray, String_bytesToChar, String_getBytes, String_getBytes, String_compareCharArrays,
                               String_equalsIgnoreCase, String_compareToIgnoreCase, String_regionMatches,
                               String_regionMatchesCase, String_startsWith, String_endsWith, String_hashCode,
                               String_indexOfChar, String_lastIndexOfChar, String_indexOfString, String_toLowerCase,
                               String_toUpperCase, String_intern};
const KoJvmNative kRuntime[] = {Runtime_getRuntime, Runtime_availableProcessors, Runtime_exit, Runtime_freeMemory,
                                Runtime_totalMemory, Runtime_totalMemory, Runtime_gc, Runtime_traceMethodCalls};
const KoJvmNative kSystem[] = {System_setIn, System_setOut, System_setErr, System_currentTimeMillis, System_arraycopy,
                               System_identityHashCode, System_getProperty};
const KoJvmNative kThread[] = {Thread_currentThread, Thread_yield, Thread_sleep, Thread_start, Thread_setPriority,
                               Thread_getPriority, Thread_activeCount, Thread_getThreadGroup, Thread_countStackFrames, KoJvm_void};
const KoJvmNative kStackTraceElement[] = {StackTraceElement_getFileName, StackTraceElement_getLineNumber,
                                          StackTraceElement_getClassName, StackTraceElement_getMethodName};
const KoJvmNative kKoJvm[] = {KoJvm_debugString, KoJvm_debugInt, KoJvm_debugLong, KoJvm_time, KoJvm_convertToLatin1,
                              KoJvm_setDebugGC, KoJvm_getGCCount, KoJvm_dumpGCStats, KoJvm_void, KoJvm_void,
                              KoJvm_traceInstructions, KoJvm_systemStackTrace, KoJvm_isShuttingDown, KoJvm_getObjectToFinalize,
                              KoJvm_waitObjectsToFinalize, KoJvm_loadClass};
const KoJvmNative kByte[] = {Byte_toString, Byte_parse, Byte_parseRadix};
const KoJvmNative kShort[] = {Byte_toString, Short_parse, Short_parseRadix};
const KoJvmNative kCharacter[] = {Character_isLowerCase, Character_isUpperCase, Character_isTitleCase, Character_isDigit,
                                  Character_isDefined, Character_isLetter, Character_isLetterOrDigit,
                                  Character_isJavaIdentifierStart, Character_isJavaIdentifierPart,
                                  Character_isJavaIdentifierStart, Character_isJavaIdentifierPart,
                                  Character_isUnicodeIdentifierStart, Character_isUnicodeIdentifierPart,
                                  Character_isIdentifierIgnorable, Character_toLowerCase, Character_toUpperCase,
                                  Character_toUpperCase, Character_digit, Character_getNumericValue, Character_isSpace,
                                  Character_isSpaceChar, Character_isWhitespace, Character_isISOControl, Character_getType,
                                  Character_forDigit, KoJvm_zero, Character_isMirrored};
const KoJvmNative kDouble[] = {Double_toString, Double_parseDouble, Double_isNaN, Double_isInfinite,
                               Double_doubleToLongBits, Double_longBitsToDouble};
const KoJvmNative kFloat[] = {Float_toString, Float_parseFloat, Float_isNaN, Float_isInfinite, Float_floatToIntBits,
                              Float_intBitsToFloat};
const KoJvmNative kInteger[] = {Integer_toHexString, Integer_toOctalString, Integer_toBinaryString, Integer_toString,
                                Integer_parseInt};
const KoJvmNative kLong[] = {Long_toHexString, Long_toStringRadix, Long_toString, Long_parseLong};
const KoJvmNative kMath[] = {Math_sin, Math_cos, Math_tan, Math_asin, Math_acos, Math_atan, Math_sqrt, Math_ceil,
                             Math_floor, Math_pow, Math_roundf, Math_roundd, Math_absi, Math_absl, Math_absf, Math_absd};
// isHidden is not provided.
const KoJvmNative kFile[] = {File_getCurrentWorkingDirectory, File_canRead, File_canWrite, File_exists, File_isDirectory,
                             File_isFile, X, File_mkdir, File_lastModified, File_length, File_list, File_delete,
                             File_renameTo};
const KoJvmNative kFileInputStream[] = {FileInputStream_open, FileInputStream_read, FileInputStream_readArray,
                                       FileInputStream_skip, FileInputStream_available, FileStream_close};
const KoJvmNative kFileOutputStream[] = {FileOutputStream_open, FileOutputStream_write, FileOutputStream_writeArray,
                                        FileStream_close};
const KoJvmNative kArray[] = {Array_newInstance, Array_getLength};
// Not provided: Constructor's getModifiers, getExceptionTypes, equals,
// hashCode, toString; Field's getDeclaringClass, equals, hashCode, toString
// and the byte, char, short, float and double setters; Method's
// getExceptionTypes, equals, hashCode and toString; all of Proxy.
const KoJvmNative kConstructor[] = {Member_getDeclaringClass, Constructor_getName, X, Constructor_getParameterTypes, X,
                                    Member_isVarArgs, X, X, X, Constructor_newInstance};
const KoJvmNative kField[] = {X, Member_getName, Member_getModifiers, Field_getType, X, X, X, Field_get, Field_setBoolean,
                              X, X, X, Field_setInt, Field_setLong, X, X, Field_setReference};
const KoJvmNative kMethod[] = {Member_getDeclaringClass, Member_getName, Member_getModifiers, Method_getReturnType,
                               Method_getParameterTypes, X, X, X, X, Method_invoke, Member_isVarArgs};
const KoJvmNative kProxy[] = {X, X, X, X};
const KoJvmNative kStreamEncoding[] = {StreamEncoding_init, X, StreamEncoding_get};
const KoJvmNative kHandle[] = {Handle_copy, Handle_close};
const KoJvmNative kHandleInputStream[] = {HandleInputStream_read, HandleInputStream_readArray, Handle_closeStream};
const KoJvmNative kHandleOutputStream[] = {HandleOutputStream_write, HandleOutputStream_writeAll,
                                           HandleOutputStream_writeArray, Handle_closeStream};
const KoJvmNative kSystemStreams[] = {Streams_in, Streams_out, Streams_err};
#undef X

struct BuiltIn {
    const char* name;
    const KoJvmNative* natives;
    int count;
};
#define N(t) t, int(sizeof t / sizeof t[0])
#define NONE nullptr, 0

const BuiltIn kCoreFirst[] = {
    {"java/lang/Object", N(kObject)}, {"java/io/Serializable", NONE}, {"java/lang/Class", N(kClass)},
    {"java/lang/CharSequence", NONE}, {"java/lang/Comparable", NONE}, {"java/lang/String", N(kString)},
};
const char* const kCoreLang[] = {
    "ClassLoader", "StringBuffer", "Runnable", "Runtime", "System", "Thread", "ThreadGroup", "Throwable", "Error",
    "AssertionError", "LinkageError", "ClassCircularityError", "ClassFormatError", "UnsupportedClassVersionError",
    "ExceptionInInitializerError", "IncompatibleClassChangeError", "AbstractMethodError", "IllegalAccessError",
    "InstantiationError", "NoSuchFieldError", "NoSuchMethodError", "NoClassDefFoundError", "UnsatisfiedLinkError",
    "VerifyError", "ThreadDeath", "VirtualMachineError", "InternalError", "OutOfMemoryError", "StackOverflowError",
    "UnknownError", "Exception", "ClassNotFoundException", "CloneNotSupportedException", "IllegalAccessException",
    "InstantiationException", "InterruptedException", "NoSuchFieldException", "NoSuchMethodException",
    "RuntimeException", "ArithmeticException", "ArrayStoreException", "ClassCastException", "IllegalArgumentException",
    "IllegalThreadStateException", "NumberFormatException", "IllegalMonitorStateException", "IllegalStateException",
    "IndexOutOfBoundsException", "ArrayIndexOutOfBoundsException", "StringIndexOutOfBoundsException",
    "NegativeArraySizeException", "NullPointerException", "SecurityException", "UnsupportedOperationException",
    "StackTraceElement"};
const BuiltIn kNativeTables[] = {
    {"java/lang/ClassLoader", N(kClassLoader)}, {"java/lang/Runtime", N(kRuntime)}, {"java/lang/System", N(kSystem)},
    {"java/lang/Thread", N(kThread)}, {"java/lang/StackTraceElement", N(kStackTraceElement)},
    {"org/kotools/kojvm/KoJvm", N(kKoJvm)}, {"java/lang/Byte", N(kByte)}, {"java/lang/Short", N(kShort)},
    {"java/lang/Character", N(kCharacter)}, {"java/lang/Double", N(kDouble)}, {"java/lang/Float", N(kFloat)},
    {"java/lang/Integer", N(kInteger)}, {"java/lang/Long", N(kLong)}, {"java/lang/Math", N(kMath)},
    {"java/io/File", N(kFile)}, {"java/io/FileInputStream", N(kFileInputStream)},
    {"java/io/FileOutputStream", N(kFileOutputStream)}, {"java/lang/reflect/Array", N(kArray)},
    {"java/lang/reflect/Constructor", N(kConstructor)}, {"java/lang/reflect/Field", N(kField)},
    {"java/lang/reflect/Method", N(kMethod)}, {"java/lang/reflect/Proxy", N(kProxy)},
    {"java/io/InputStreamReader", N(kStreamEncoding)}, {"java/io/OutputStreamWriter", N(kStreamEncoding)},
    {"org/kotools/ko/io/Handle", N(kHandle)}, {"org/kotools/ko/io/HandleInputStream", N(kHandleInputStream)},
    {"org/kotools/ko/io/HandleOutputStream", N(kHandleOutputStream)},
    {"org/kotools/kojvm/KoJvmSystemStreams", N(kSystemStreams)},
};
const char* const kSystemClasses[] = {
    "java/lang/Boolean", "java/lang/Character", "java/lang/Number", "java/lang/Byte", "java/lang/Double",
    "java/lang/Float", "java/lang/Integer", "java/lang/Long", "java/lang/Short", "java/lang/Math", "java/lang/Void",
    "java/io/File", "java/io/InputStream", "java/io/FileInputStream", "java/io/OutputStream",
    "java/io/FileOutputStream", "java/io/FilterOutputStream", "java/io/PrintStream", "java/io/IOException",
    "java/io/FileNotFoundException", "java/io/Writer", "java/io/OutputStreamWriter", "java/io/PrintWriter"};
const char* const kReflectionClasses[] = {
    "java/lang/reflect/Member", "java/lang/reflect/AccessibleObject", "java/lang/reflect/Constructor",
    "java/lang/reflect/Field", "java/lang/reflect/Method", "java/lang/reflect/Modifier",
    "java/lang/reflect/InvocationTargetException", "java/lang/reflect/InvocationHandler", "java/lang/reflect/Array",
    "java/lang/reflect/Proxy"};
const char* const kStreamClasses[] = {
    "java/io/Reader", "java/io/InputStreamReader", "org/kotools/ko/io/Handle",
    "org/kotools/ko/io/HandleInputStream", "org/kotools/ko/io/HandleOutputStream",
    "org/kotools/kojvm/KoJvmSystemStreams"};

bool define(KoJvmRec* vm, const char* name, const KoJvmNative* natives, int count)
{
    if (!natives)
        for (const BuiltIn& b : kNativeTables)
            if (!std::strcmp(b.name, name))
                natives = b.natives, count = b.count;
    return ko_jvm_define_embedded(vm, ko_jvm_embedded_classes, ko_jvm_embedded_class_count, name, natives, count);
}

bool define_list(KoJvmRec* vm, const char* const* names, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        if (!define(vm, names[i], nullptr, 0))
            return false;
    return true;
}

} // namespace

bool ko_jvm_define_embedded(KoJvmRec* vm, const KoJvmEmbeddedClass* table, int n, const char* name,
                            const KoJvmNative* natives, int count)
{
    if (ko_jvm_find_class(vm, name, std::strlen(name)))
        return true;
    for (int i = 0; i < n; ++i)
        if (!std::strcmp(table[i].name, name))
            return ko_jvm_define_built_in_class(vm, 0x0008, table[i].bytes, table[i].length, natives, count) != nullptr;
    return false;
}

bool ko_jvm_define_core_classes(KoJvmRec* vm)
{
    for (const BuiltIn& b : kCoreFirst)
        if (!define(vm, b.name, b.natives, b.count))
            return false;
    for (int i = 0; i < 8; ++i)
        if (!(vm->prim_arrays[i] = ko_jvm_array_class(vm, vm->s_parr[i])))
            return false;
    vm->known[KO_K_String] = ko_jvm_find_class(vm, "java/lang/String", 16);
    vm->known[KO_K_Class] = ko_jvm_find_class(vm, "java/lang/Class", 15);
    KoJvmFieldRec* chars = ko_jvm_find_field(vm, vm->known[KO_K_String], "characters", "[C");
    vm->f_class_native = ko_jvm_find_field(vm, vm->known[KO_K_Class], "nativePtr", "J");
    if (!chars || !vm->f_class_native)
        return false;
    vm->string_chars_offset = chars->offset;
    for (const BuiltIn& b : kCoreFirst)
        ko_jvm_resolve_strings(vm, ko_jvm_find_class(vm, b.name, std::strlen(b.name)));
    for (const char* n : kCoreLang) {
        std::string full = std::string("java/lang/") + n;
        if (!define(vm, full.c_str(), nullptr, 0))
            return false;
    }
    if (!define(vm, "org/kotools/kojvm/KoJvm", nullptr, 0))
        return false;
    for (int k = 0; k < KO_K_COUNT; ++k)
        if (!(vm->known[k] = ko_jvm_find_class(vm, ko_jvm_known_names[k], std::strlen(ko_jvm_known_names[k]))))
            return false;
    KoJvmClassRec* throwable = vm->known[KO_K_Throwable];
    vm->f_throwable_raw = ko_jvm_find_field(vm, throwable, "rawStacktrace", "[J");
    vm->f_throwable_message = ko_jvm_find_field(vm, throwable, "message", "Ljava/lang/String;");
    vm->f_eiie_exception = ko_jvm_find_field(vm, vm->known[KO_K_ExceptionInInitializerError], "exception", "Ljava/lang/Throwable;");
    KoJvmClassRec* thread = ko_jvm_find_class(vm, "java/lang/Thread", 16);
    vm->f_thread_native = ko_jvm_find_field(vm, thread, "nativePtr", "J");
    vm->oom = ko_jvm_new_object(vm, vm->known[KO_K_OutOfMemoryError]);
    if (!vm->oom)
        return false;
    KoJvmClassRec* group = ko_jvm_find_class(vm, "java/lang/ThreadGroup", 21);
    if (group) {
        KoJvmObjectRec* g = ko_jvm_new_object(vm, group);
        if (!g)
            return false;
        vm->thread_group = ko_ref(g);
        if (KoJvmFieldRec* f = ko_jvm_find_field(vm, group, "name", "Ljava/lang/String;"))
            ko_jvm_set_ref_field(vm, g, f, ko_jvm_new_string_utf8(vm, "main", 4));
        vm->m_uncaught = ko_jvm_find_method(vm, group, "uncaughtException", "(Ljava/lang/Thread;Ljava/lang/Throwable;)V");
    }
    vm->core_defined = true;
    return true;
}

bool ko_jvm_define_system_classes(KoJvmRec* vm) { return define_list(vm, kSystemClasses, sizeof kSystemClasses / sizeof kSystemClasses[0]); }
bool ko_jvm_define_reflection_classes(KoJvmRec* vm) { return define_list(vm, kReflectionClasses, sizeof kReflectionClasses / sizeof kReflectionClasses[0]); }
bool ko_jvm_define_stream_classes(KoJvmRec* vm) { return define_list(vm, kStreamClasses, sizeof kStreamClasses / sizeof kStreamClasses[0]); }
