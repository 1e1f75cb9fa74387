// Class-file parser and structural verifier on arbitrary bytes.
#include "toolkit/jvm/kojvm_internal.h"

#include <cstddef>
#include <cstdint>

namespace {
KoJvmRec* g_vm;
int g_runs;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Symbols and records of the parsed classes stay with the VM: start a
    // fresh one now and then.
    if (!g_vm || ++g_runs % 2000 == 0) {
        ko_jvm_destroy(g_vm);
        KoJvmParams p{};
        p.heap_size = 1u << 20;
        g_vm = ko_jvm_create(&p);
        if (!g_vm)
            return 0;
    }
    KoJvmClassRec* c = ko_jvm_new_class_record(g_vm);
    if (!c)
        return 0;
    ko_jvm_parse_class(g_vm, c, data, size, 0, nullptr, 0);
    g_vm->parsing = 0;
    ko_jvm_release_class(g_vm, c);
    return 0;
}
