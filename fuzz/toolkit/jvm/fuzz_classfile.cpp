// Class-file parser and structural verifier on arbitrary bytes; a class that
// loads has its static methods without arguments run for a bounded number of
// instructions, on a small heap that collects at every safe point.
#include "fuzz/toolkit/jvm/fuzz_parse_class.h"
#include "toolkit/javart/javart_natives.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

// Classes of the built-in set that start-up leaves undefined; nothing else
// (no files, no class path).
void loader(const char* path, std::size_t length, KoJvmLoaderCompletion completion, void* data, void*)
{
    std::size_t n = length > 6 ? length - 6 : 0;
    for (int i = 0; i < ko_jvm_embedded_class_count; ++i) {
        const KoJvmEmbeddedClass& e = ko_jvm_embedded_classes[i];
        if (std::strlen(e.name) == n && !std::memcmp(e.name, path, n) && std::strncmp(e.name, "java/io/", 8)) {
            completion(const_cast<unsigned char*>(e.bytes), e.length, 1, data);
            return;
        }
    }
    completion(nullptr, 0, 0, data);
}

KO_NATIVE(no_exit)
{
    KO_UNUSED_NATIVE_ARGS;
    complete(nullptr, nullptr, thread);
}

void ignore(KoJvmCat1ValueUnion*, KoJvmObjectRec*, void*) {}

void define_and_run(const std::uint8_t* data, std::size_t size)
{
    KoJvmParams p{};
    p.heap_size = 256u << 10;
    p.options = 0x10000; // collect at every safe point that allocates
    p.loader = loader;
    p.stack_size = 16384;
    KoJvmRec* vm = ko_jvm_create(&p);
    if (!vm)
        return;
    // The process must outlive what the input calls.
    if (KoJvmClassRec* rt = ko_jvm_find_class(vm, "java/lang/Runtime", 17))
        if (KoJvmMethodRec* m = ko_jvm_find_method(vm, rt, "exit", "(I)V"))
            if (m->native_index)
                vm->native_fns[m->native_index] = no_exit;
    vm->instruction_limited = true;
    vm->instructions_left = 20000;
    KoJvmClassRec* c = ko_jvm_define_built_in_class(vm, 0, data, size, nullptr, 0);
    KoJvmThread* t = c ? ko_jvm_new_thread(vm, 0) : nullptr;
    bool natives = false;
    for (std::uint16_t i = 0; c && i < c->method_count; ++i)
        natives |= (ko_methods(c)[i].access & KO_ACC_NATIVE) != 0;
    for (std::uint16_t i = 0; t && !natives && i < c->method_count && vm->instructions_left > 0; ++i) {
        KoJvmMethodRec& m = ko_methods(c)[i];
        KoJvmSymbol* d = ko_sym(m.desc);
        if (!(m.access & KO_ACC_STATIC) || ko_sym_len(d) < 2 || std::memcmp(ko_sym_bytes(d), "()", 2))
            continue;
        KoJvmSymbol* cn = ko_jvm_class_name(c);
        KoJvmSymbol* n = ko_sym(m.name);
        ko_jvm_invoke_static_async(t, 0, ko_sym_bytes(cn), ko_sym_len(cn), ko_sym_bytes(n), ko_sym_len(n),
                                   ko_sym_bytes(d), ko_sym_len(d), nullptr, ignore, nullptr);
        ko_jvm_run(vm);
    }
    ko_jvm_destroy(vm);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    xr_fuzz_parse_class(data, size);
    define_and_run(data, size);
    return 0;
}
