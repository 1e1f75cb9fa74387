// The tile heap: one private mapping of "/dev/zero" carved into blocks,
// first fit with splitting and eager merging of free neighbours. The graph
// readers of a process share one heap; each reader bounds its own share with
// its cache limit and evicts its own tiles when the heap is full.
#pragma once

#include <cstddef>
#include <mutex>

class XrTileHeap {
public:
    // A block is split only when more than this many bytes would be left over.
    static constexpr std::size_t SPLIT_SLACK = 147;
    static constexpr std::size_t MIN_SIZE = 102400;
    // The shared heap maps at most this much (a quarter of the physical
    // memory when that is less).
    static constexpr std::size_t SHARED_MAX = 256u << 20;

    struct XrMallocHdr {
        XrMallocHdr* next;    // next block in address order
        XrMallocHdr* prev;    // previous block in address order
        XrMallocHdr* fl_next; // next free block; IN_USE while the block is used
        XrMallocHdr* fl_prev;
        std::size_t size;     // payload bytes
    };

    // size: bytes to map (0: a quarter of the physical memory, capped at
    // SHARED_MAX, at least MIN_SIZE). The mapping is made on first use.
    explicit XrTileHeap(std::size_t size = 0);
    ~XrTileHeap();
    XrTileHeap(const XrTileHeap&) = delete;
    XrTileHeap& operator=(const XrTileHeap&) = delete;

    // The heap every reader without a heap of its own uses.
    static XrTileHeap& shared();

    // A payload of at least size bytes, or null when no free block is large
    // enough (or the heap cannot be mapped).
    void* alloc(std::size_t size);
    // Null is ignored.
    void free(void* payload);

    std::size_t get_mapped_size() const { return mapped_size; }
    std::size_t get_used() const { return used; }
    // The payload size of a block that alloc gave.
    static std::size_t block_size(const void* payload);
    static constexpr std::size_t header_size() { return sizeof(XrMallocHdr); }

private:
    bool create();
    void freelist_add(XrMallocHdr* h);
    void freelist_remove(XrMallocHdr* h);
    // Merges next (free, right after h) into h.
    void combine(XrMallocHdr* h, XrMallocHdr* next);

    std::mutex lock;
    std::size_t wanted;
    int fd = -1;
    unsigned char* base = nullptr;
    std::size_t mapped_size = 0;
    XrMallocHdr* free_head = nullptr;
    std::size_t used = 0;
    bool failed = false;
};
