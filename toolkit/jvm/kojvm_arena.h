// The VM arena: one process-wide mapping that holds every VM's heap areas,
// class, method, field and thread records and symbols, so that records and
// heap slots refer to each other through 32-bit offsets.
#pragma once

#include <cstddef>
#include <cstdint>

typedef std::uint32_t KoRef;

extern unsigned char* ko_jvm_arena_base;

template <typename T>
inline T* ko_ptr(KoRef r)
{
    return r ? reinterpret_cast<T*>(ko_jvm_arena_base + r) : nullptr;
}
inline KoRef ko_ref(const void* p)
{
    return p ? static_cast<KoRef>(static_cast<const unsigned char*>(p) - ko_jvm_arena_base) : 0;
}

// Zeroed memory in the arena (8-byte aligned), null when it is exhausted.
void* ko_jvm_arena_alloc(std::size_t n);
void ko_jvm_arena_free(void* p, std::size_t n);
// True when p lies in the arena.
bool ko_jvm_arena_contains(const void* p);
