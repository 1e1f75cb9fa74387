// The VM record: creation and destruction, symbols, the heap, strings, field
// access, boxing, handles, global references and exceptions by name.
#include "toolkit/jvm/kojvm_internal.h"
#include "toolkit/jvm/kojvm_class.h"

#include "lib/adt/kohash.h"
#include "lib/unicode/kounicode.h"

#include <cstdio>
#include <initializer_list>
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#include <sanitizer/asan_interface.h>
#endif
#endif

const char* const ko_jvm_known_names[KO_K_COUNT] = {
    "java/lang/Throwable",
    "java/lang/ClassCircularityError",
    "java/lang/ClassFormatError",
    "java/lang/UnsupportedClassVersionError",
    "java/lang/ExceptionInInitializerError",
    "java/lang/IncompatibleClassChangeError",
    "java/lang/AbstractMethodError",
    "java/lang/IllegalAccessError",
    "java/lang/InstantiationError",
    "java/lang/NoSuchFieldError",
    "java/lang/NoSuchMethodError",
    "java/lang/NoClassDefFoundError",
    "java/lang/UnsatisfiedLinkError",
    "java/lang/VerifyError",
    "java/lang/InternalError",
    "java/lang/OutOfMemoryError",
    "java/lang/StackOverflowError",
    "java/lang/UnknownError",
    "java/lang/ArithmeticException",
    "java/lang/ArrayStoreException",
    "java/lang/ClassCastException",
    "java/lang/IllegalThreadStateException",
    "java/lang/NumberFormatException",
    "java/lang/IllegalMonitorStateException",
    "java/lang/IllegalStateException",
    "java/lang/ArrayIndexOutOfBoundsException",
    "java/lang/StringIndexOutOfBoundsException",
    "java/lang/NegativeArraySizeException",
    "java/lang/NullPointerException",
    "java/lang/SecurityException",
    "java/lang/UnsupportedOperationException",
    "java/lang/ClassNotFoundException",
    "java/lang/CloneNotSupportedException",
    "java/lang/IllegalAccessException",
    "java/lang/InstantiationException",
    "java/lang/InterruptedException",
    "java/lang/NoSuchFieldException",
    "java/lang/NoSuchMethodException",
    "java/lang/String",
    "java/lang/Class",
};

namespace {

void default_loader(const char*, std::size_t, KoJvmLoaderCompletion completion, void* data, void*)
{
    completion(nullptr, 0, 0, data);
}

std::uint32_t murmur2(const void* key, std::size_t len)
{
    const std::uint32_t m = 0x5bd1e995;
    std::uint32_t h = 0 ^ static_cast<std::uint32_t>(len);
    const unsigned char* d = static_cast<const unsigned char*>(key);
    while (len >= 4) {
        std::uint32_t k = d[0] | (d[1] << 8) | (d[2] << 16) | (std::uint32_t(d[3]) << 24);
        k *= m;
        k ^= k >> 24;
        k *= m;
        h *= m;
        h ^= k;
        d += 4;
        len -= 4;
    }
    switch (len) {
    case 3: h ^= d[2] << 16; [[fallthrough]];
    case 2: h ^= d[1] << 8; [[fallthrough]];
    case 1: h ^= d[0]; h *= m;
    }
    h ^= h >> 13;
    h *= m;
    h ^= h >> 15;
    return h;
}
std::uint32_t registry_hash(const void* e, void*)
{
    const char* key = static_cast<const KoJvmNativeEntry*>(e)->key;
    return murmur2(key, std::strlen(key));
}
int registry_compare(const void* key, const void* e, void*)
{
    return std::strcmp(static_cast<const KoJvmNativeEntry*>(key)->key, static_cast<const KoJvmNativeEntry*>(e)->key);
}
void registry_free(void* e, void*)
{
    KoJvmNativeEntry* n = static_cast<KoJvmNativeEntry*>(e);
    ko_free(n->key);
    ko_free(n);
}

const char* const kPrim = "BCDFIJSZ";

bool intern_known(KoJvmRec* vm)
{
    char buf[3] = {0, 0, 0};
    for (int i = 0; i < 8; ++i) {
        buf[0] = kPrim[i];
        buf[1] = 0;
        if (!(vm->s_prim[i] = ko_jvm_intern(vm, buf, 1, false)))
            return false;
    }
    for (int i = 0; i < 8; ++i) {
        buf[0] = '[';
        buf[1] = kPrim[i];
        if (!(vm->s_parr[i] = ko_jvm_intern(vm, buf, 2, false)))
            return false;
    }
    static const char* const names[] = {"<init>", "<clinit>", "finalize", "()V", "Code", "ConstantValue", "Deprecated",
                                        "Exceptions", "InnerClasses", "LineNumberTable", "LocalVariableTable",
                                        "SourceFile", "Synthetic", "java/lang/Object", "java/lang/Boolean",
                                        "java/lang/Byte", "java/lang/Character", "java/lang/Short", "java/lang/Integer",
                                        "java/lang/Long", "java/lang/Float", "java/lang/Double", "java/lang/Void",
                                        "java/lang/Cloneable", "java/lang/ThreadGroup", "java/lang/Thread",
                                        "java/io/Serializable", "Ljava/lang/String;", "nativePtr", "characters",
                                        "rawStacktrace"};
    KoJvmSymbol* s[sizeof names / sizeof names[0]];
    for (std::size_t i = 0; i < sizeof names / sizeof names[0]; ++i)
        if (!(s[i] = ko_jvm_intern_cstr(vm, names[i], false)))
            return false;
    vm->s_init = s[0];
    vm->s_clinit = s[1];
    vm->s_finalize = s[2];
    vm->s_void_desc = s[3];
    vm->s_Object = s[13];
    for (int i = 0; i < 9; ++i)
        vm->s_wrappers[i] = s[14 + i];
    vm->s_Cloneable = s[23];
    vm->s_ThreadGroup = s[24];
    vm->s_Thread = s[25];
    vm->s_Serializable = s[26];
    vm->s_String_desc = s[27];
    return true;
}

void free_symbols(KoJvmRec* vm)
{
    for (KoRef& head : vm->symbols) {
        while (KoJvmSymbol* s = ko_sym(head)) {
            head = s->next;
            if (KoJvmClassRec* c = ko_cls(s->clazz))
                ko_jvm_release_class(vm, c);
            if (!(s->length_flags >> 24 & KO_JVM_SYMBOL_F_STATIC))
                ko_jvm_arena_free(ko_ptr<void>(s->bytes), ko_sym_len(s) + 1);
            ko_jvm_arena_free(s, sizeof(KoJvmSymbol));
        }
    }
}

} // namespace

KoJvmRec* ko_jvm_create(const KoJvmParams* params)
{
    KoJvmRec* vm = static_cast<KoJvmRec*>(ko_calloc(1, sizeof(KoJvmRec)));
    if (!vm)
        return nullptr;
    if (params)
        vm->params = *params;
    if (!vm->params.loader)
        vm->params.loader = default_loader;
    if (!vm->params.heap_size)
        vm->params.heap_size = 131072;
    if (!vm->params.generations)
        vm->params.generations = 3;
    if (vm->params.generations > 8)
        vm->params.generations = 8;
    if (!vm->params.stack_size)
        vm->params.stack_size = 8192;
    vm->registry = ko_hash_new(registry_hash, registry_compare, registry_free, 0, nullptr);
    vm->native_capacity = 256;
    vm->native_fns = static_cast<KoJvmNative*>(ko_calloc(vm->native_capacity, sizeof(KoJvmNative)));
    vm->native_count = 1;
    ko_buffer_init(&vm->path);
    ko_fsm_init(&vm->fsm, vm);
    ko_jvm_scheduler_init(vm);
    vm->generation_count = vm->params.generations;
    vm->area_size = (vm->params.heap_size / (vm->generation_count + 1)) & ~7u;
    if (vm->area_size < 4096)
        vm->area_size = 4096;
    vm->gc_debug = (vm->params.options & 0xFF00) != 0;
    vm->hash_seed = 0x9E3779B9u;
    vm->heap_bytes = vm->area_size * (vm->generation_count + 1);
    vm->heap = static_cast<unsigned char*>(ko_jvm_arena_alloc(vm->heap_bytes));
    unsigned char* code = static_cast<unsigned char*>(ko_jvm_arena_alloc(8));
    if (!vm->registry || !vm->native_fns || !vm->heap || !code) {
        ko_jvm_destroy(vm);
        return nullptr;
    }
    code[0] = 0xB1;
    vm->return_code = code;
    for (std::uint32_t g = 0; g <= vm->generation_count; ++g) {
        vm->gens[g].start = vm->gens[g].alloc = vm->heap + g * vm->area_size;
        vm->gens[g].free = vm->area_size;
    }
    if (!intern_known(vm) || !ko_jvm_define_core_classes(vm)) {
        ko_jvm_destroy(vm);
        return nullptr;
    }
    return vm;
}

void ko_jvm_destroy(KoJvmRec* vm)
{
    if (!vm)
        return;
    ko_jvm_orphan_timers(vm);
    while (KoJvmThread* t = vm->threads)
        ko_jvm_destroy_thread(t);
    while (KoJvmRootBlock* b = vm->root_blocks) {
        ko_jvm_remove_root_block(vm, b);
        if (b->release)
            b->release(b);
    }
    if (vm->heap) {
#if defined(__SANITIZE_ADDRESS__)
        __asan_unpoison_memory_region(vm->heap, vm->heap_bytes);
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
        __asan_unpoison_memory_region(vm->heap, vm->heap_bytes);
#endif
#endif
        ko_jvm_arena_free(vm->heap, vm->heap_bytes);
    }
    if (vm->return_code)
        ko_jvm_arena_free(const_cast<std::uint8_t*>(vm->return_code), 8);
    for (KoHandle* h : {vm->std_in, vm->std_out, vm->std_err})
        if (h)
            ko_handle_release(h);
    free_symbols(vm);
    ko_free(vm->pauses);
    ko_hash_free(vm->registry);
    ko_free(vm->native_fns);
    ko_buffer_release(&vm->path);
    ko_fsm_done(&vm->fsm);
    ko_free(vm);
}

void ko_jvm_exit(KoJvmRec* vm, void (*fn)(void*), void* data)
{
    if (!vm) {
        if (fn)
            fn(data);
        return;
    }
    if (vm->vm_task_done) {
        // An earlier exit ended the scheduler already.
        if (fn)
            fn(data);
        return;
    }
    vm->exit_requested = true;
    vm->exit_fn = fn;
    vm->exit_data = data;
    ko_jvm_wake_scheduler(vm);
    ko_jvm_run(vm);
}

void* ko_jvm_user_data(KoJvmRec* vm) { return vm->params.user_data; }

void ko_jvm_set_stdout(KoJvmRec* vm, KoHandle* out)
{
    if (vm->std_out)
        ko_handle_release(vm->std_out);
    vm->std_out = out;
}

KoJvmSymbol* ko_jvm_intern(KoJvmRec* vm, const char* bytes, std::size_t length, bool is_static)
{
    if (length > 0x0FFFFFFF)
        return nullptr;
    std::uint32_t h = 0;
    for (std::size_t i = 0; i < length; ++i) {
        h += static_cast<unsigned char>(bytes[i]);
        h += h << 10;
        h ^= h >> 6;
    }
    std::uint32_t x = h + (h << 3);
    std::uint32_t bucket = (x ^ (x >> 11)) & 255;
    for (KoJvmSymbol* s = ko_sym(vm->symbols[bucket]); s; s = ko_sym(s->next)) {
        if (ko_sym_len(s) == length && std::memcmp(ko_sym_bytes(s), bytes, length) == 0) {
            s->length_flags |= std::uint32_t(KO_JVM_SYMBOL_F_SEEN) << 24;
            return s;
        }
    }
    KoJvmSymbol* s = static_cast<KoJvmSymbol*>(ko_jvm_arena_alloc(sizeof(KoJvmSymbol)));
    if (!s)
        return nullptr;
    // Only bytes that live in the arena can be referenced in place.
    if (is_static && ko_jvm_arena_contains(bytes) && ko_jvm_arena_contains(bytes + length)) {
        s->bytes = ko_ref(bytes);
        s->length_flags = static_cast<std::uint32_t>(length) | (std::uint32_t(KO_JVM_SYMBOL_F_STATIC) << 24);
    } else {
        char* copy = static_cast<char*>(ko_jvm_arena_alloc(length + 1));
        if (!copy) {
            ko_jvm_arena_free(s, sizeof(KoJvmSymbol));
            return nullptr;
        }
        std::memcpy(copy, bytes, length);
        s->bytes = ko_ref(copy);
        s->length_flags = static_cast<std::uint32_t>(length);
    }
    s->next = vm->symbols[bucket];
    vm->symbols[bucket] = ko_ref(s);
    return s;
}

KoJvmSymbol* ko_jvm_intern_cstr(KoJvmRec* vm, const char* text, bool is_static)
{
    return ko_jvm_intern(vm, text, std::strlen(text), is_static);
}

KoJvmClassRec* ko_jvm_find_class(KoJvmRec* vm, const char* name, std::size_t length)
{
    KoJvmSymbol* s = ko_jvm_intern(vm, name, length, false);
    return s ? ko_cls(s->clazz) : nullptr;
}

int ko_jvm_printf(KoJvmRec* vm, const char* fmt, ...)
{
    for (std::size_t size = 1024; size <= 102400; size += 1024) {
        char* buf = static_cast<char*>(ko_malloc(size));
        if (!buf)
            return -1;
        va_list ap;
        va_start(ap, fmt);
        int n = ko_vsnprintf(buf, size, fmt, ap);
        va_end(ap);
        if (n >= 0 && std::size_t(n) < size) {
            KoHandle* out = vm->std_out ? vm->std_out : ko_stdout();
            ko_handle_write(out, buf, n);
            ko_handle_flush(out);
            ko_free(buf);
            return n;
        }
        ko_free(buf);
    }
    return -1;
}

// ---- Heap -------------------------------------------------------------------

KoJvmObjectRec* ko_jvm_alloc(KoJvmRec* vm, KoJvmClassRec* clazz, std::uint32_t size)
{
    size = (size + 3) & ~3u;
    std::uint32_t k = 0;
    if (vm->gens[0].free < size) {
        // Outside a safe point objects must not move: take room in an older
        // generation and have the next safe point collect.
        vm->gc_wanted = true;
        for (k = 1; k < vm->generation_count; ++k)
            if (vm->gens[k].free >= size + vm->area_size / 8)
                break;
        if (k >= vm->generation_count)
            return nullptr;
    }
    if (vm->params.options & 0xFF0000)
        vm->gc_wanted = true; // collect before every allocation at a safe point
    KoJvmGeneration& g = vm->gens[k];
    KoJvmObjectRec* o = reinterpret_cast<KoJvmObjectRec*>(g.alloc);
    g.alloc += size;
    g.free -= size;
    ++g.objects;
    g.bytes += size;
    std::memset(o, 0, size);
    o->classp = ko_ref(clazz);
    o->generation = static_cast<std::uint8_t>(k);
    return o;
}

KoJvmObjectRec* ko_jvm_new_object(KoJvmRec* vm, KoJvmClassRec* clazz)
{
    return ko_jvm_alloc(vm, clazz, clazz->instance_size);
}

KoJvmObjectRec* ko_jvm_new_array(KoJvmRec* vm, KoJvmClassRec* array_class, std::int32_t length)
{
    if (length < 0)
        return nullptr;
    std::uint64_t size = (std::uint64_t(array_class->instance_size) + std::uint64_t(array_class->element_size) * length + 3) & ~3ull;
    if (size > vm->area_size)
        return nullptr;
    KoJvmObjectRec* a = ko_jvm_alloc(vm, array_class, static_cast<std::uint32_t>(size));
    if (a)
        reinterpret_cast<KoJvmArrayRec*>(a)->length = static_cast<std::uint32_t>(length);
    return a;
}

KoJvmObjectRec* ko_jvm_array_class_of(KoJvmRec* vm, KoJvmClassRec* element)
{
    if (KoJvmClassRec* a = ko_cls(element->array_class))
        return reinterpret_cast<KoJvmObjectRec*>(a);
    KoJvmSymbol* en = ko_jvm_class_name(element);
    std::size_t n = ko_sym_len(en);
    char* buf = static_cast<char*>(ko_malloc(n + 3));
    if (!buf)
        return nullptr;
    std::size_t k = 0;
    buf[k++] = '[';
    if (ko_sym_bytes(en)[0] == '[') {
        std::memcpy(buf + k, ko_sym_bytes(en), n);
        k += n;
    } else {
        buf[k++] = 'L';
        std::memcpy(buf + k, ko_sym_bytes(en), n);
        k += n;
        buf[k++] = ';';
    }
    KoJvmSymbol* s = ko_jvm_intern(vm, buf, k, false);
    ko_free(buf);
    if (!s)
        return nullptr;
    KoJvmClassRec* a = ko_cls(s->clazz);
    if (!a)
        a = ko_jvm_array_class(vm, s);
    if (a)
        element->array_class = ko_ref(a);
    return reinterpret_cast<KoJvmObjectRec*>(a);
}

KoJvmObjectRec* ko_jvm_alloc_object_array(KoJvmRec* vm, KoJvmClassRec* element, std::int32_t length)
{
    KoJvmClassRec* a = reinterpret_cast<KoJvmClassRec*>(ko_jvm_array_class_of(vm, element));
    return a ? ko_jvm_new_array(vm, a, length) : nullptr;
}

KoJvmObjectRec* ko_jvm_new_object_array(KoJvmRec* vm, std::int32_t length, KoJvmClassRec* element, KoJvmObjectRec* fill)
{
    KoJvmObjectRec* a = ko_jvm_alloc_object_array(vm, element, length);
    if (a && fill)
        for (std::int32_t i = 0; i < length; ++i)
            ko_jvm_store_ref(vm, a, reinterpret_cast<KoRef*>(ko_jvm_elements(a)) + i, fill);
    return a;
}

KoJvmObjectRec* ko_jvm_new_byte_array(KoJvmRec* vm, std::int32_t length) { return ko_jvm_new_array(vm, vm->prim_arrays[0], length); }
KoJvmObjectRec* ko_jvm_new_char_array(KoJvmRec* vm, std::int32_t length) { return ko_jvm_new_array(vm, vm->prim_arrays[1], length); }

KoJvmObjectRec* ko_jvm_new_multi_array(KoJvmRec* vm, KoJvmClassRec* clazz, int dims, const std::int32_t* lengths,
                                       KoJvmObjectRec** exception)
{
    *exception = nullptr;
    if (lengths[0] < 0) {
        *exception = ko_jvm_new_known(vm, KO_K_NegativeArraySizeException);
        return nullptr;
    }
    KoJvmObjectRec* outer = ko_jvm_new_array(vm, clazz, lengths[0]);
    if (!outer) {
        *exception = vm->oom;
        return nullptr;
    }
    int mark = ko_jvm_push_handle(vm, &outer);
    if (dims >= 2) {
        KoJvmClassRec* sub = ko_cls(clazz->element_class);
        if (!sub) {
            *exception = ko_jvm_new_known(vm, KO_K_NoClassDefFoundError);
            return nullptr;
        }
        for (std::int32_t i = 0; i < lengths[0]; ++i) {
            KoJvmObjectRec* e = ko_jvm_new_multi_array(vm, sub, dims - 1, lengths + 1, exception);
            if (*exception) {
                ko_jvm_pop_handles(vm, mark);
                return nullptr;
            }
            ko_jvm_store_ref(vm, outer, reinterpret_cast<KoRef*>(ko_jvm_elements(outer)) + i, e);
        }
    }
    ko_jvm_pop_handles(vm, mark);
    return outer;
}

// The identity hash is drawn once, on first demand, and kept in the header
// word that the copying collector leaves alone, so it survives moves.
std::int32_t ko_jvm_identity_hash(KoJvmRec* vm, KoJvmObjectRec* obj)
{
    if (!obj)
        return 0;
    if (!obj->scan_pos) {
        std::uint32_t x = vm->hash_seed;
        do {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
        } while (!(x & 0x7FFFFFFF));
        vm->hash_seed = x;
        obj->scan_pos = x & 0x7FFFFFFF;
    }
    return static_cast<std::int32_t>(obj->scan_pos);
}
std::int32_t ko_jvm_array_length(KoJvmRec*, KoJvmObjectRec* a) { return static_cast<std::int32_t>(ko_jvm_length(a)); }
void* ko_jvm_array_data(KoJvmRec*, KoJvmObjectRec* a) { return ko_jvm_elements(a); }
std::int8_t* ko_jvm_byte_array_data(KoJvmRec*, KoJvmObjectRec* a)
{
    return reinterpret_cast<std::int8_t*>(ko_jvm_elements(a));
}
std::uint16_t* ko_jvm_char_array_data(KoJvmRec*, KoJvmObjectRec* a)
{
    return reinterpret_cast<std::uint16_t*>(ko_jvm_elements(a));
}
KoJvmObjectRec* ko_jvm_get_array_ref(KoJvmRec*, KoJvmObjectRec* a, std::int32_t i)
{
    return ko_obj(reinterpret_cast<KoRef*>(ko_jvm_elements(a))[i]);
}
bool ko_jvm_set_array_ref(KoJvmRec* vm, KoJvmObjectRec* a, std::int32_t i, KoJvmObjectRec* v)
{
    ko_jvm_store_ref(vm, a, reinterpret_cast<KoRef*>(ko_jvm_elements(a)) + i, v);
    return true;
}

void ko_jvm_store_ref(KoJvmRec* vm, KoJvmObjectRec* holder, KoRef* slot, KoJvmObjectRec* value)
{
    *slot = ko_ref(value);
    if (holder && value && value->generation < holder->generation)
        ko_jvm_remember(vm, holder, value);
}

// ---- Strings ----------------------------------------------------------------

KoJvmObjectRec* ko_jvm_new_string(KoJvmRec* vm, std::int32_t length)
{
    KoJvmObjectRec* chars = ko_jvm_new_char_array(vm, length);
    if (!chars)
        return nullptr;
    KoJvmObjectRec* s = ko_jvm_new_object(vm, vm->known[KO_K_String]);
    if (!s)
        return nullptr;
    chars->flags |= KO_JVM_OBJECT_F_STRING;
    s->flags |= KO_JVM_OBJECT_F_STRING;
    ko_jvm_store_ref(vm, s, reinterpret_cast<KoRef*>(reinterpret_cast<unsigned char*>(s) + vm->string_chars_offset),
                     chars);
    return s;
}

KoJvmObjectRec* ko_jvm_new_string_utf8(KoJvmRec* vm, const char* bytes, std::size_t length)
{
    const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes);
    std::size_t units = 0;
    for (std::size_t i = 0; i < length;) {
        int n = 0;
        ko_utf8_decode(b + i, length - i, &n);
        i += n > 0 ? std::size_t(n) : 1;
        ++units;
    }
    if (units > 0x7FFFFFFF)
        return nullptr;
    KoJvmObjectRec* s = ko_jvm_new_string(vm, static_cast<std::int32_t>(units));
    if (!s)
        return nullptr;
    std::uint16_t* out = ko_jvm_string_chars(vm, s);
    std::size_t k = 0;
    for (std::size_t i = 0; i < length;) {
        int n = 0;
        std::int32_t c = ko_utf8_decode(b + i, length - i, &n);
        i += n > 0 ? std::size_t(n) : 1;
        out[k++] = static_cast<std::uint16_t>(c);
    }
    return s;
}

KoJvmObjectRec* ko_jvm_string_char_array(KoJvmRec* vm, KoJvmObjectRec* s)
{
    if (!s || ko_jvm_class(s) != vm->known[KO_K_String])
        return nullptr;
    return ko_obj(*reinterpret_cast<KoRef*>(reinterpret_cast<unsigned char*>(s) + vm->string_chars_offset));
}
std::uint16_t* ko_jvm_string_chars(KoJvmRec* vm, KoJvmObjectRec* s)
{
    KoJvmObjectRec* a = ko_jvm_string_char_array(vm, s);
    return a ? reinterpret_cast<std::uint16_t*>(ko_jvm_elements(a)) : nullptr;
}
std::int32_t ko_jvm_string_length(KoJvmRec* vm, KoJvmObjectRec* s)
{
    KoJvmObjectRec* a = ko_jvm_string_char_array(vm, s);
    return a ? static_cast<std::int32_t>(ko_jvm_length(a)) : 0;
}
char* ko_jvm_string_to_utf8(KoJvmRec* vm, KoJvmObjectRec* s, std::size_t* length)
{
    std::int32_t n = ko_jvm_string_length(vm, s);
    const std::uint16_t* c = ko_jvm_string_chars(vm, s);
    std::size_t bytes = 0;
    for (std::int32_t i = 0; i < n; ++i)
        bytes += c[i] < 0x80 ? 1 : c[i] < 0x800 ? 2 : 3;
    char* out = static_cast<char*>(ko_malloc(bytes + 1));
    if (!out)
        return nullptr;
    std::size_t k = 0;
    for (std::int32_t i = 0; i < n; ++i)
        k += ko_utf8_encode(c[i], reinterpret_cast<unsigned char*>(out) + k, 3);
    out[k] = 0;
    if (length)
        *length = k;
    return out;
}
void ko_jvm_free_utf8(char* text) { ko_free(text); }

KoJvmObjectRec* ko_jvm_symbol_string(KoJvmRec* vm, KoJvmSymbol* sym)
{
    if (KoJvmObjectRec* s = ko_obj(sym->string))
        return s;
    KoJvmObjectRec* s = ko_jvm_new_string_utf8(vm, ko_sym_bytes(sym), ko_sym_len(sym));
    if (s)
        sym->string = ko_ref(s);
    return s;
}

// ---- Fields -----------------------------------------------------------------

void* ko_jvm_field_address(KoJvmRec*, KoJvmObjectRec* obj, KoJvmFieldRec* f)
{
    if (f->access & KO_ACC_STATIC)
        return ko_ptr<unsigned char>(ko_cls(f->clazz)->statics) + f->offset;
    return reinterpret_cast<unsigned char*>(obj) + f->offset;
}
std::int32_t ko_jvm_get_int_field(KoJvmRec* vm, KoJvmObjectRec* obj, KoJvmFieldRec* f)
{
    unsigned char* p = static_cast<unsigned char*>(ko_jvm_field_address(vm, obj, f));
    switch (ko_sym_bytes(ko_sym(f->desc))[0]) {
    case 'Z': return *p;
    case 'B': return static_cast<std::int8_t>(*p);
    case 'C': { std::uint16_t v; std::memcpy(&v, p, 2); return v; }
    case 'S': { std::int16_t v; std::memcpy(&v, p, 2); return v; }
    default: { std::int32_t v; std::memcpy(&v, p, 4); return v; }
    }
}
void ko_jvm_set_int_field(KoJvmRec* vm, KoJvmObjectRec* obj, KoJvmFieldRec* f, std::int32_t value)
{
    unsigned char* p = static_cast<unsigned char*>(ko_jvm_field_address(vm, obj, f));
    switch (ko_sym_bytes(ko_sym(f->desc))[0]) {
    case 'Z': case 'B': *p = static_cast<unsigned char>(value); break;
    case 'C': case 'S': { std::uint16_t v = static_cast<std::uint16_t>(value); std::memcpy(p, &v, 2); break; }
    default: std::memcpy(p, &value, 4);
    }
}
namespace {
template <typename T>
T load_field(KoJvmRec* vm, KoJvmObjectRec* obj, KoJvmFieldRec* f)
{
    T v;
    std::memcpy(&v, ko_jvm_field_address(vm, obj, f), sizeof v);
    return v;
}
template <typename T>
void store_field(KoJvmRec* vm, KoJvmObjectRec* obj, KoJvmFieldRec* f, T v)
{
    std::memcpy(ko_jvm_field_address(vm, obj, f), &v, sizeof v);
}
} // namespace
std::uint8_t ko_jvm_get_boolean_field(KoJvmRec* vm, KoJvmObjectRec* o, KoJvmFieldRec* f) { return load_field<std::uint8_t>(vm, o, f); }
std::int8_t ko_jvm_get_byte_field(KoJvmRec* vm, KoJvmObjectRec* o, KoJvmFieldRec* f) { return load_field<std::int8_t>(vm, o, f); }
std::uint16_t ko_jvm_get_char_field(KoJvmRec* vm, KoJvmObjectRec* o, KoJvmFieldRec* f) { return load_field<std::uint16_t>(vm, o, f); }
std::int16_t ko_jvm_get_short_field(KoJvmRec* vm, KoJvmObjectRec* o, KoJvmFieldRec* f) { return load_field<std::int16_t>(vm, o, f); }
float ko_jvm_get_float_field(KoJvmRec* vm, KoJvmObjectRec* o, KoJvmFieldRec* f) { return load_field<float>(vm, o, f); }
double ko_jvm_get_double_field(KoJvmRec* vm, KoJvmObjectRec* o, KoJvmFieldRec* f) { return load_field<double>(vm, o, f); }
void ko_jvm_set_boolean_field(KoJvmRec* vm, KoJvmObjectRec* o, KoJvmFieldRec* f, std::uint8_t v) { store_field(vm, o, f, v); }
void ko_jvm_set_byte_field(KoJvmRec* vm, KoJvmObjectRec* o, KoJvmFieldRec* f, std::int8_t v) { store_field(vm, o, f, v); }
void ko_jvm_set_char_field(KoJvmRec* vm, KoJvmObjectRec* o, KoJvmFieldRec* f, std::uint16_t v) { store_field(vm, o, f, v); }
void ko_jvm_set_short_field(KoJvmRec* vm, KoJvmObjectRec* o, KoJvmFieldRec* f, std::int16_t v) { store_field(vm, o, f, v); }
void ko_jvm_set_float_field(KoJvmRec* vm, KoJvmObjectRec* o, KoJvmFieldRec* f, float v) { store_field(vm, o, f, v); }
void ko_jvm_set_double_field(KoJvmRec* vm, KoJvmObjectRec* o, KoJvmFieldRec* f, double v) { store_field(vm, o, f, v); }
std::int64_t ko_jvm_get_long_field(KoJvmRec* vm, KoJvmObjectRec* obj, KoJvmFieldRec* f)
{
    std::int64_t v;
    std::memcpy(&v, ko_jvm_field_address(vm, obj, f), 8);
    return v;
}
void ko_jvm_set_long_field(KoJvmRec* vm, KoJvmObjectRec* obj, KoJvmFieldRec* f, std::int64_t value)
{
    std::memcpy(ko_jvm_field_address(vm, obj, f), &value, 8);
}
KoJvmObjectRec* ko_jvm_get_ref_field(KoJvmRec* vm, KoJvmObjectRec* obj, KoJvmFieldRec* f)
{
    KoRef r;
    std::memcpy(&r, ko_jvm_field_address(vm, obj, f), 4);
    return ko_obj(r);
}
void ko_jvm_set_ref_field(KoJvmRec* vm, KoJvmObjectRec* obj, KoJvmFieldRec* f, KoJvmObjectRec* value)
{
    // Static fields are roots: no holder to remember.
    ko_jvm_store_ref(vm, (f->access & KO_ACC_STATIC) ? nullptr : obj,
                     static_cast<KoRef*>(ko_jvm_field_address(vm, obj, f)), value);
}
void* ko_jvm_get_field_pointer(KoJvmRec* vm, KoJvmObjectRec* obj, KoJvmFieldRec* f)
{
    // Native addresses keep all 64 bits in the long field.
    return reinterpret_cast<void*>(static_cast<std::intptr_t>(ko_jvm_get_long_field(vm, obj, f)));
}
void ko_jvm_set_field_pointer(KoJvmRec* vm, KoJvmObjectRec* obj, KoJvmFieldRec* f, void* pointer)
{
    ko_jvm_set_long_field(vm, obj, f, static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(pointer)));
}

// ---- Boxing -----------------------------------------------------------------

KoJvmCat1ValueUnion ko_jvm_box(KoJvmRec* vm, KoJvmClassRec* clazz, const KoJvmCat1ValueUnion* value)
{
    static const char letters[] = "ZBCSIJFD";
    KoJvmCat1ValueUnion r;
    r.ref = 0;
    for (int i = 0; i < 8; ++i) {
        if (ko_ptr<KoJvmSymbol>(clazz->name) != vm->s_wrappers[i])
            continue;
        char desc[2] = {letters[i], 0};
        KoJvmFieldRec* f = ko_jvm_find_field(vm, clazz, "value", desc);
        KoJvmObjectRec* o = f ? ko_jvm_new_object(vm, clazz) : nullptr;
        if (!o)
            return r;
        if (letters[i] == 'J') {
            std::int64_t v = (std::int64_t(std::uint32_t(value[0].i)) << 32) | std::uint32_t(value[1].i);
            ko_jvm_set_long_field(vm, o, f, v);
        } else if (letters[i] == 'D') {
            std::memcpy(ko_jvm_field_address(vm, o, f), value, 8);
        } else {
            ko_jvm_set_int_field(vm, o, f, value[0].i);
        }
        r.ref = ko_ref(o);
        return r;
    }
    return value[0];
}

namespace {
KoJvmFieldRec* wrapper_value(KoJvmRec* vm, KoJvmObjectRec* obj, int index, const char* desc)
{
    if (!obj)
        return nullptr;
    KoJvmClassRec* w = ko_cls(vm->s_wrappers[index]->clazz);
    if (!w || !ko_jvm_is_subclass(vm, ko_jvm_class(obj), w))
        return nullptr;
    return ko_jvm_find_field(vm, w, "value", desc);
}
}
bool ko_jvm_unbox_boolean(KoJvmRec* vm, KoJvmObjectRec* obj, bool* out)
{
    KoJvmFieldRec* f = wrapper_value(vm, obj, 0, "Z");
    if (f)
        *out = ko_jvm_get_boolean_field(vm, obj, f) != 0;
    return f != nullptr;
}
bool ko_jvm_unbox_byte(KoJvmRec* vm, KoJvmObjectRec* obj, std::int8_t* out)
{
    KoJvmFieldRec* f = wrapper_value(vm, obj, 1, "B");
    if (f)
        *out = ko_jvm_get_byte_field(vm, obj, f);
    return f != nullptr;
}
bool ko_jvm_unbox_char(KoJvmRec* vm, KoJvmObjectRec* obj, std::uint16_t* out)
{
    KoJvmFieldRec* f = wrapper_value(vm, obj, 2, "C");
    if (f)
        *out = ko_jvm_get_char_field(vm, obj, f);
    return f != nullptr;
}
bool ko_jvm_unbox_short(KoJvmRec* vm, KoJvmObjectRec* obj, std::int16_t* out)
{
    KoJvmFieldRec* f = wrapper_value(vm, obj, 3, "S");
    if (f)
        *out = ko_jvm_get_short_field(vm, obj, f);
    return f != nullptr;
}
bool ko_jvm_unbox_float(KoJvmRec* vm, KoJvmObjectRec* obj, float* out)
{
    KoJvmFieldRec* f = wrapper_value(vm, obj, 6, "F");
    if (f)
        *out = ko_jvm_get_float_field(vm, obj, f);
    return f != nullptr;
}
bool ko_jvm_unbox_int(KoJvmRec* vm, KoJvmObjectRec* obj, std::int32_t* out)
{
    KoJvmFieldRec* f = wrapper_value(vm, obj, 4, "I");
    if (f)
        *out = ko_jvm_get_int_field(vm, obj, f);
    return f != nullptr;
}
bool ko_jvm_unbox_long(KoJvmRec* vm, KoJvmObjectRec* obj, std::int64_t* out)
{
    KoJvmFieldRec* f = wrapper_value(vm, obj, 5, "J");
    if (f)
        *out = ko_jvm_get_long_field(vm, obj, f);
    return f != nullptr;
}
bool ko_jvm_unbox_double(KoJvmRec* vm, KoJvmObjectRec* obj, double* out)
{
    KoJvmFieldRec* f = wrapper_value(vm, obj, 7, "D");
    if (f)
        std::memcpy(out, ko_jvm_field_address(vm, obj, f), 8);
    return f != nullptr;
}

// ---- Handles and global references ------------------------------------------

int ko_jvm_push_handle(KoJvmRec* vm, KoJvmObjectRec** address)
{
    int mark = vm->handle_count;
    if (vm->handle_count >= 256)
        ko_fatal("Too many handles");
    vm->handles[vm->handle_count++] = address;
    return mark;
}
void ko_jvm_pop_handles(KoJvmRec* vm, int mark)
{
    if (mark >= 0 && mark <= vm->handle_count)
        vm->handle_count = mark;
}
void ko_jvm_add_global_ref(KoJvmRec* vm, KoJvmGlobalRef* node)
{
    node->prev = nullptr;
    node->next = vm->globals;
    if (vm->globals)
        vm->globals->prev = node;
    vm->globals = node;
}
void ko_jvm_remove_global_ref(KoJvmRec* vm, KoJvmGlobalRef* node)
{
    if (node->prev)
        node->prev->next = node->next;
    else if (vm->globals == node)
        vm->globals = node->next;
    if (node->next)
        node->next->prev = node->prev;
    node->next = node->prev = nullptr;
}

// ---- Exceptions -------------------------------------------------------------

namespace {
// Stands for an exception while the classes that describe them are not
// defined yet (start-up); never dispatched.
KoJvmObjectRec g_early_failure;
}

KoJvmObjectRec* ko_jvm_new_known(KoJvmRec* vm, int known)
{
    KoJvmClassRec* c = vm->known[known];
    KoJvmObjectRec* o = c ? ko_jvm_new_object(vm, c) : nullptr;
    if (!o)
        o = vm->oom;
    return o ? o : &g_early_failure;
}

KoJvmObjectRec* ko_jvm_new_exception(KoJvmRec* vm, KoJvmThread* thread, KoJvmClassRec* clazz, const char* message)
{
    KoJvmObjectRec* e = clazz ? ko_jvm_new_object(vm, clazz) : nullptr;
    if (!e)
        return vm->oom ? vm->oom : ko_jvm_new_known(vm, KO_K_OutOfMemoryError);
    if (message && vm->f_throwable_message) {
        KoJvmObjectRec* s = ko_jvm_new_string_utf8(vm, message, std::strlen(message));
        if (s)
            ko_jvm_set_ref_field(vm, e, vm->f_throwable_message, s);
    }
    if (thread)
        ko_jvm_fill_stack_trace(vm, thread, e);
    return e;
}

KoJvmObjectRec* ko_jvm_throw_by_name(KoJvmRec* vm, KoJvmThread* thread, const char* name, const char* message)
{
    KoJvmClassRec* c = ko_jvm_find_class(vm, name, std::strlen(name));
    if (!c)
        c = vm->known[KO_K_NoClassDefFoundError];
    return ko_jvm_new_exception(vm, thread, c, message);
}

char* ko_jvm_exception_message(KoJvmRec* vm, KoJvmObjectRec* e)
{
    if (!e || !vm->f_throwable_message)
        return nullptr;
    KoJvmObjectRec* s = ko_jvm_get_ref_field(vm, e, vm->f_throwable_message);
    return s ? ko_jvm_string_to_utf8(vm, s, nullptr) : nullptr;
}

// ---- Native registry ----------------------------------------------------------

void ko_jvm_register_native(KoJvmRec* vm, const char* key, KoJvmNative fn)
{
    KoJvmNativeEntry* e = static_cast<KoJvmNativeEntry*>(ko_calloc(1, sizeof(KoJvmNativeEntry)));
    if (!e)
        return;
    e->key = ko_strdup(key);
    e->fn = fn;
    if (!e->key) {
        ko_free(e);
        return;
    }
    ko_hash_insert(vm->registry, e);
}
