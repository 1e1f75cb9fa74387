#include "toolkit/jvm/kojvm_arena.h"

#include <cstring>
#include <sys/mman.h>

unsigned char* ko_jvm_arena_base;

namespace {
const std::size_t kArenaSize = std::size_t(1) << 32;
const std::size_t kSmallLimit = 4096;
const std::size_t kLargePage = 65536;

struct FreeBlock {
    KoRef next;
    std::uint32_t size;
};

std::size_t g_top = 64; // offset 0 is the null reference
KoRef g_small[kSmallLimit / 16 + 1];
KoRef g_large; // first-fit list of freed large blocks

bool ensure_arena()
{
    if (ko_jvm_arena_base)
        return true;
    void* p = ::mmap(nullptr, kArenaSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED)
        return false;
    ko_jvm_arena_base = static_cast<unsigned char*>(p);
    return true;
}

std::size_t round_size(std::size_t n)
{
    if (n <= kSmallLimit)
        return (n + 15) & ~std::size_t(15);
    return (n + kLargePage - 1) & ~(kLargePage - 1);
}

void* bump(std::size_t n, std::size_t align)
{
    std::size_t at = (g_top + align - 1) & ~(align - 1);
    if (at + n > kArenaSize - 16)
        return nullptr;
    g_top = at + n;
    return ko_jvm_arena_base + at; // fresh pages read as zero
}
}

void* ko_jvm_arena_alloc(std::size_t n)
{
    if (!ensure_arena() || n == 0 || n >= kArenaSize)
        return nullptr;
    std::size_t size = round_size(n);
    if (size <= kSmallLimit) {
        KoRef& head = g_small[size / 16];
        if (head) {
            FreeBlock* b = ko_ptr<FreeBlock>(head);
            head = b->next;
            std::memset(b, 0, size);
            return b;
        }
        return bump(size, 16);
    }
    for (KoRef* link = &g_large; *link;) {
        FreeBlock* b = ko_ptr<FreeBlock>(*link);
        if (b->size >= size) {
            std::size_t have = b->size;
            KoRef next = b->next;
            if (have > size) {
                FreeBlock* rest = reinterpret_cast<FreeBlock*>(reinterpret_cast<unsigned char*>(b) + size);
                rest->next = next;
                rest->size = static_cast<std::uint32_t>(have - size);
                *link = ko_ref(rest);
            } else {
                *link = next;
            }
            std::memset(b, 0, sizeof(FreeBlock));
            return b;
        }
        link = &b->next;
    }
    return bump(size, kLargePage);
}

void ko_jvm_arena_free(void* p, std::size_t n)
{
    if (!p || n == 0)
        return;
    std::size_t size = round_size(n);
    FreeBlock* b = static_cast<FreeBlock*>(p);
    if (size <= kSmallLimit) {
        b->next = g_small[size / 16];
        g_small[size / 16] = ko_ref(b);
        return;
    }
    // Give the pages back; they read as zero when taken again.
    ::madvise(p, size, MADV_DONTNEED);
    b->next = g_large;
    b->size = static_cast<std::uint32_t>(size);
    g_large = ko_ref(b);
}

bool ko_jvm_arena_contains(const void* p)
{
    const unsigned char* c = static_cast<const unsigned char*>(p);
    return ko_jvm_arena_base && c >= ko_jvm_arena_base && c < ko_jvm_arena_base + kArenaSize;
}
