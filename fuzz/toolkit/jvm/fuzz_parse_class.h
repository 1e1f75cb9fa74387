// What the class-file fuzz targets share: bytes parsed into a class record as
// the class loader does, on a VM kept between inputs.
#pragma once

#include "toolkit/jvm/kojvm_internal.h"
#include "toolkit/jvm/kojvm_class.h"

#include <cstddef>
#include <cstdint>

inline void xr_fuzz_parse_class(const std::uint8_t* bytes, std::size_t size)
{
    static KoJvmRec* vm = nullptr;
    static int runs = 0;
    // Symbols and records of the parsed classes stay with the VM: start a
    // fresh one now and then.
    if (!vm || ++runs % 2000 == 0) {
        ko_jvm_destroy(vm);
        KoJvmParams p{};
        p.heap_size = 1u << 20;
        vm = ko_jvm_create(&p);
        if (!vm)
            return;
    }
    KoJvmClassRec* c = ko_jvm_new_class_record(vm);
    if (!c)
        return;
    ko_jvm_parse_class(vm, c, bytes, size, 0, nullptr, 0);
    vm->parsing = 0;
    ko_jvm_release_class(vm, c);
}
