#include "common/graph/xr_graphaccessor_alloc_maemo.h"

#include <algorithm>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include "common/container/xr_defs.h"

namespace {

XrTileHeap::XrMallocHdr* const IN_USE = reinterpret_cast<XrTileHeap::XrMallocHdr*>(1);
constexpr std::size_t MAP_STEP = 0x100000;
constexpr std::size_t SMALL_STEP = 102400;

std::size_t quarter_of_memory()
{
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long page = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || page <= 0)
        return 0;
    const unsigned long long total = static_cast<unsigned long long>(pages) * static_cast<unsigned long long>(page);
    return static_cast<std::size_t>((total / MAP_STEP * MAP_STEP) / 4);
}

} // namespace

XrTileHeap::XrTileHeap(std::size_t size) : wanted(size)
{
    if (wanted == 0)
        wanted = std::min(quarter_of_memory(), SHARED_MAX);
    wanted = std::max(wanted, MIN_SIZE);
}

XrTileHeap::~XrTileHeap()
{
    if (base != nullptr)
        munmap(base, mapped_size);
    if (fd >= 0)
        close(fd);
}

XrTileHeap& XrTileHeap::shared()
{
    static XrTileHeap heap;
    return heap;
}

bool XrTileHeap::create()
{
    if (base != nullptr)
        return true;
    if (failed)
        return false;
    fd = ::open("/dev/zero", O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        failed = true;
        return false;
    }
    std::size_t size = wanted;
    for (;;) {
        void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE, fd, 0);
        if (p != MAP_FAILED) {
            base = static_cast<unsigned char*>(p);
            break;
        }
        if (size > MAP_STEP)
            size -= MAP_STEP;
        else if (size >= 2 * SMALL_STEP)
            size -= SMALL_STEP;
        else {
            close(fd);
            fd = -1;
            failed = true;
            return false;
        }
    }
    mapped_size = size;
    XrMallocHdr* h = reinterpret_cast<XrMallocHdr*>(base);
    h->next = h->prev = nullptr;
    h->fl_next = h->fl_prev = nullptr;
    h->size = mapped_size - sizeof(XrMallocHdr);
    free_head = nullptr;
    freelist_add(h);
    return true;
}

void XrTileHeap::freelist_add(XrMallocHdr* h)
{
    XR_ASSERT_MSG(h->size < mapped_size, "hdr->size < ctx->mapped_size");
    h->fl_prev = nullptr;
    h->fl_next = free_head;
    if (free_head != nullptr)
        free_head->fl_prev = h;
    free_head = h;
}

void XrTileHeap::freelist_remove(XrMallocHdr* h)
{
    XR_ASSERT_MSG(h->size < mapped_size, "hdr->size < ctx->mapped_size");
    if (h->fl_prev != nullptr)
        h->fl_prev->fl_next = h->fl_next;
    else
        free_head = h->fl_next;
    if (h->fl_next != nullptr)
        h->fl_next->fl_prev = h->fl_prev;
    h->fl_next = h->fl_prev = IN_USE;
}

void XrTileHeap::combine(XrMallocHdr* h, XrMallocHdr* next)
{
    XR_ASSERT_MSG(reinterpret_cast<unsigned char*>(h) + sizeof(XrMallocHdr) + h->size ==
                      reinterpret_cast<unsigned char*>(next),
                  "(unsigned char *) hdr + sizeof(XrMallocHdr) + hdr->size == (unsigned char *) next");
    XR_ASSERT_MSG(next->fl_next != IN_USE, "!((hdr->next)->fl_next == ((XrMallocHdr *) 0x1))");
    freelist_remove(next);
    h->next = next->next;
    if (h->next != nullptr)
        h->next->prev = h;
    h->size += next->size + sizeof(XrMallocHdr);
}

void* XrTileHeap::alloc(std::size_t size)
{
    std::lock_guard<std::mutex> g(lock);
    if (size == 0 || !create())
        return nullptr;
    size = (size + 7) & ~static_cast<std::size_t>(7);
    if (size > mapped_size - sizeof(XrMallocHdr))
        return nullptr;
    XrMallocHdr* h = free_head;
    while (h != nullptr && h->size < size)
        h = h->fl_next;
    if (h == nullptr)
        return nullptr;
    freelist_remove(h);
    if (h->size - size > SPLIT_SLACK) {
        XrMallocHdr* rest = reinterpret_cast<XrMallocHdr*>(reinterpret_cast<unsigned char*>(h) + sizeof(XrMallocHdr) + size);
        rest->size = h->size - size - sizeof(XrMallocHdr);
        rest->prev = h;
        rest->next = h->next;
        if (rest->next != nullptr)
            rest->next->prev = rest;
        h->next = rest;
        h->size = size;
        freelist_add(rest);
    }
    used += h->size;
    return reinterpret_cast<unsigned char*>(h) + sizeof(XrMallocHdr);
}

void XrTileHeap::free(void* payload)
{
    if (payload == nullptr)
        return;
    std::lock_guard<std::mutex> g(lock);
    XrMallocHdr* h = reinterpret_cast<XrMallocHdr*>(static_cast<unsigned char*>(payload) - sizeof(XrMallocHdr));
    XR_ASSERT(h->fl_next == IN_USE);
    used -= h->size;
    freelist_add(h);
    if (h->next != nullptr && h->next->fl_next != IN_USE)
        combine(h, h->next);
    if (h->prev != nullptr && h->prev->fl_next != IN_USE)
        combine(h->prev, h);
}

std::size_t XrTileHeap::block_size(const void* payload)
{
    const XrMallocHdr* h =
        reinterpret_cast<const XrMallocHdr*>(static_cast<const unsigned char*>(payload) - sizeof(XrMallocHdr));
    return h->size;
}
