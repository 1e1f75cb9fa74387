// XrStoredGeomStorage::XrBlockCache: decompressed buckets shared by the
// stored geometry storages.
#include <utility>

#include "common/db/xr_geomworkingbuffer.h"
#include "common/db/xr_storedgeomstorage.h"

XrStoredGeomStorage::XrBlockCache::XrBlockCache(int budget) : budget(budget), blocks(64) {}

XrStoredGeomStorage::XrBlockCache::~XrBlockCache()
{
    drop_all();
}

void XrStoredGeomStorage::XrBlockCache::free_block(int index)
{
    XrDataBlock& b = blocks.get_items()[index];
    XrGeomWorkingBuffer::get().release_block(b.data.get());
    used -= b.data_size + b.index_size;
    blocks.remove_item(index);
}

void XrStoredGeomStorage::XrBlockCache::drop_all()
{
    while (blocks.get_num_items() > 0)
        free_block(blocks.get_num_items() - 1);
}

void XrStoredGeomStorage::XrBlockCache::drop_storage(const void* storage)
{
    for (int i = blocks.get_num_items() - 1; i >= 0; --i) {
        if (blocks.get_items()[i].storage == storage)
            free_block(i);
    }
}

void XrStoredGeomStorage::XrBlockCache::set_budget(int n)
{
    drop_all();
    budget = n;
}

XrStoredGeomStorage::XrBlockCache::XrDataBlock* XrStoredGeomStorage::XrBlockCache::find_block(const void* storage,
                                                                                            std::uint32_t offset,
                                                                                            std::uint32_t length)
{
    ++lookups;
    for (int i = 0; i < blocks.get_num_items(); ++i) {
        XrDataBlock& b = blocks.get_items()[i];
        if (b.storage != storage || b.offset != offset || b.length != length)
            continue;
        ++hits;
        b.last_used = clock++;
        if (clock == 0) {
            // The use counter wrapped: the ages mean nothing any more.
            drop_all();
            clock = 1;
            threshold = 0;
            return nullptr;
        }
        return &b;
    }
    return nullptr;
}

bool XrStoredGeomStorage::XrBlockCache::insert_block(const void* storage, std::uint32_t offset, std::uint32_t length,
                                                     std::unique_ptr<BYTE[]> data, int size,
                                                     std::unique_ptr<XrGeomSideEntry[]> index, int index_size)
{
    bool cached = false;
    for (int i = 0; i < blocks.get_num_items() && !cached; ++i) {
        const XrDataBlock& b = blocks.get_items()[i];
        cached = b.storage == storage && b.offset == offset && b.length == length;
    }
    long long need = static_cast<long long>(size) + index_size;
    if (cached || need >= budget)
        return false;
    while (blocks.get_num_items() > 0 && used + need >= budget) {
        int lru = 0;
        for (int i = 1; i < blocks.get_num_items(); ++i) {
            if (blocks.get_items()[i].last_used < blocks.get_items()[lru].last_used)
                lru = i;
        }
        free_block(lru);
    }
    XrDataBlock* b = blocks.append_new();
    if (b == nullptr)
        return false;
    b->data = std::move(data);
    b->data_size = size;
    b->index = std::move(index);
    b->index_size = index_size;
    b->storage = storage;
    b->offset = offset;
    b->length = length;
    b->last_used = clock++;
    used += size + index_size;
    return true;
}

void XrStoredGeomStorage::XrBlockCache::age(bool hit)
{
    ticks += hit ? 1 : 10;
    if (ticks < 30)
        return;
    ticks = 0;
    if (threshold != 0) {
        for (int i = blocks.get_num_items() - 1; i >= 0; --i) {
            if (blocks.get_items()[i].last_used < threshold)
                free_block(i);
        }
    }
    threshold = clock;
}
