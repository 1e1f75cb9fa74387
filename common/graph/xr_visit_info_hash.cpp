#include "common/graph/xr_visit_info_hash.h"

#include "common/graph/xr_graphlayout.h"

namespace {

std::uint32_t key_of(int handle, int direction)
{
    return (static_cast<std::uint32_t>(handle) & ~static_cast<std::uint32_t>(xr_graph::HANDLE_DIRECTION)) |
           (direction ? xr_graph::HANDLE_DIRECTION : 0);
}

} // namespace

XrVisitInfoHash::XrVisitInfoHash(int buckets) : num_buckets(buckets > 0 ? buckets : 1), records(2000, 50)
{
    heap.reserve(2000);
    reset();
}

XrVisitInfoHash::~XrVisitInfoHash() = default;

void XrVisitInfoHash::reset()
{
    buckets.reset(new XrVisitInfo*[static_cast<size_t>(num_buckets)]());
    heap.clear();
    free_list = nullptr;
    records.clear();
    entries = 0;
}

void XrVisitInfoHash::link(XrVisitInfo* vi)
{
    const std::uint32_t pos = bucket_hash(key_of(vi->edge_handle, vi->direction), static_cast<std::uint32_t>(num_buckets));
    XR_ASSERT(vi->next_list_item == nullptr);
    XR_ASSERT(vi->prev_list_item == nullptr);
    vi->next_list_item = buckets[pos];
    if (buckets[pos] != nullptr) {
        XR_ASSERT(buckets[pos]->prev_list_item == nullptr);
        buckets[pos]->prev_list_item = vi;
    }
    buckets[pos] = vi;
}

void XrVisitInfoHash::unlink(XrVisitInfo* vi)
{
    const std::uint32_t pos = bucket_hash(key_of(vi->edge_handle, vi->direction), static_cast<std::uint32_t>(num_buckets));
    XR_ASSERT(buckets[pos]);
    if (vi->prev_list_item != nullptr)
        vi->prev_list_item->next_list_item = vi->next_list_item;
    else {
        XR_ASSERT(buckets[pos] == vi);
        buckets[pos] = vi->next_list_item;
    }
    if (vi->next_list_item != nullptr)
        vi->next_list_item->prev_list_item = vi->prev_list_item;
    vi->next_list_item = vi->prev_list_item = nullptr;
}

// Long chains slow every lookup: the buckets grow to one per entry.
void XrVisitInfoHash::grow()
{
    const int old = num_buckets;
    std::unique_ptr<XrVisitInfo*[]> old_buckets(buckets.release());
    num_buckets = old * 2 + 1;
    buckets.reset(new XrVisitInfo*[static_cast<size_t>(num_buckets)]());
    for (int b = 0; b < old; ++b) {
        XrVisitInfo* vi = old_buckets[b];
        while (vi != nullptr) {
            XrVisitInfo* next = vi->next_list_item;
            vi->next_list_item = vi->prev_list_item = nullptr;
            link(vi);
            vi = next;
        }
    }
}

XrVisitInfo* XrVisitInfoHash::add(const XrVisitInfo& record, std::int64_t cost)
{
    XrVisitInfo* vi;
    if (free_list != nullptr) {
        vi = free_list;
        free_list = vi->next_list_item;
        *vi = record;
    } else {
        vi = records.add_item(record);
    }
    vi->edge_handle = record.edge_handle & ~xr_graph::HANDLE_DIRECTION;
    vi->cost = cost;
    vi->next_list_item = vi->prev_list_item = nullptr;
    if (++entries > num_buckets)
        grow();
    link(vi);
    push(vi, cost);
    return vi;
}

XrVisitInfo* XrVisitInfoHash::find(int handle, int direction) const
{
    const std::uint32_t key = key_of(handle, direction);
    for (XrVisitInfo* vi = buckets[bucket_hash(key, static_cast<std::uint32_t>(num_buckets))]; vi != nullptr;
         vi = vi->next_list_item) {
        if (vi->edge_handle == (handle & ~xr_graph::HANDLE_DIRECTION) && vi->direction == (direction ? 1 : 0))
            return vi;
    }
    return nullptr;
}

void XrVisitInfoHash::place(int i, const XrVisitItem& item)
{
    heap[static_cast<size_t>(i)] = item;
    item.info->heap_pos = i;
}

void XrVisitInfoHash::move_up(int i)
{
    XrVisitItem item = heap[static_cast<size_t>(i)];
    while (i > 0) {
        const int parent = (i - 1) / 2;
        if (!(item.cost < heap[static_cast<size_t>(parent)].cost))
            break;
        place(i, heap[static_cast<size_t>(parent)]);
        i = parent;
    }
    place(i, item);
}

void XrVisitInfoHash::push(XrVisitInfo* vi, std::int64_t cost)
{
    heap.push_back(XrVisitItem{vi, vi->edge_handle, cost});
    move_up(static_cast<int>(heap.size()) - 1);
}

void XrVisitInfoHash::remove_at(int i)
{
    const int n = static_cast<int>(heap.size());
    XrVisitItem* h = heap.data();
    h[i].info->heap_pos = -1;
    // The hole moves down along the smaller children (the right one on a
    // tie), chosen without a branch: the comparison is a coin toss.
    int hole = i;
    for (;;) {
        const int l = 2 * hole + 1, r = l + 1;
        if (r >= n)
            break;
        const int c = r - static_cast<int>(h[l].cost < h[r].cost);
        h[hole] = h[c];
        h[hole].info->heap_pos = hole;
        hole = c;
    }
    if (2 * hole + 1 == n - 1) {
        // One child left: it is the last item and fills the hole.
        place(hole, heap[static_cast<size_t>(n - 1)]);
        heap.pop_back();
        return;
    }
    if (hole != n - 1) {
        place(hole, heap[static_cast<size_t>(n - 1)]);
        heap.pop_back();
        move_up(hole);
        return;
    }
    heap.pop_back();
}

XrVisitInfo* XrVisitInfoHash::update_visit_info(int handle, std::int64_t cost, int direction)
{
    XrVisitInfo* vi = find(handle, direction);
    if (vi == nullptr)
        return nullptr;
    vi->cost = cost;
    if (vi->heap_pos < 0)
        return vi;
    const int i = vi->heap_pos;
    remove_at(i);
    push(vi, cost);
    return vi;
}

XrVisitInfo* XrVisitInfoHash::get_first_visit_info(std::int64_t& cost)
{
    if (heap.empty())
        return nullptr;
    XrVisitInfo* vi = heap[0].info;
    cost = heap[0].cost;
    remove_at(0);
    unlink(vi);
    --entries;
    XR_ASSERT(vi->next_list_item == nullptr);
    vi->next_list_item = free_list;
    free_list = vi;
    return vi;
}
