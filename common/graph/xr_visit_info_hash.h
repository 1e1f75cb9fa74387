// The open set of the route search: edges reached but not settled, keyed by
// edge and travel direction, in a bucket hash and in a binary min-heap by
// cost whose items know their places (decrease-key without a scan).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "common/container/xr_blockstorage.h"

// The fields are packed without holes (48 bytes): the search touches
// many of them in random order.
struct XrVisitInfo {
    int edge_handle = -1;   // without the direction bit
    int pred_handle = -1;   // bit 11 set when the predecessor was travelled in direction 1
    std::int64_t cost = 0;
    int countdown = 0;
    int heap_pos = -1;
    XrVisitInfo* next_list_item = nullptr;
    XrVisitInfo* prev_list_item = nullptr;
    std::uint8_t direction = 0;
    std::uint8_t byte = 0;  // carried for the search (the turn result into the edge)
};

struct XrVisitItem {
    XrVisitInfo* info;
    int edge_handle;
    std::int64_t cost;
};

class XrVisitInfoHash {
public:
    explicit XrVisitInfoHash(int buckets);
    ~XrVisitInfoHash();
    XrVisitInfoHash(const XrVisitInfoHash&) = delete;
    XrVisitInfoHash& operator=(const XrVisitInfoHash&) = delete;

    // Empties the hash and the heap; the record blocks stay for reuse.
    void reset();
    // Adds a record (edge, direction and the rest) with a cost.
    XrVisitInfo* add(const XrVisitInfo& record, std::int64_t cost);
    XrVisitInfo* find(int handle, int direction) const;
    // Lowers (or raises) the cost of a known entry; null when it is unknown.
    XrVisitInfo* update_visit_info(int handle, std::int64_t cost, int direction);
    // The cheapest entry, taken out (readable until the next add); null when
    // empty (cost untouched).
    XrVisitInfo* get_first_visit_info(std::int64_t& cost);

    int get_count() const { return static_cast<int>(heap.size()); }
    int get_bucket_count() const { return num_buckets; }
    const std::vector<XrVisitItem>& get_heap() const { return heap; }

    static std::uint32_t bucket_hash(std::uint32_t key, std::uint32_t buckets)
    {
        return ((key & 0xF7FFu) * 8923u + (key >> 16) * 213522346u) % buckets;
    }

private:
    void link(XrVisitInfo* vi);
    void unlink(XrVisitInfo* vi);
    void grow();
    void push(XrVisitInfo* vi, std::int64_t cost);
    void remove_at(int i);
    void move_up(int i);
    void place(int i, const XrVisitItem& item);

    int num_buckets;
    std::unique_ptr<XrVisitInfo*[]> buckets;
    XrVisitInfo* free_list = nullptr;
    XrBlockStorage<XrVisitInfo> records;
    std::vector<XrVisitItem> heap;
    int entries = 0;
};
