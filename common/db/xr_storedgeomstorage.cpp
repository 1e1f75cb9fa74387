#include "common/db/xr_storedgeomstorage.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "common/container/xr_bytearray.h"
#include "common/container/xr_bytes.h"
#include "common/db/xr_geomfilelayout.h"
#include "common/db/xr_geomworkingbuffer.h"
#include "common/db/xr_storedgeomstoragecursor.h"

static_assert(XrStoredGeomStorage::MAX_BUCKET_BYTES == XrGeomWorkingBuffer::SHARED_BYTES);

XrStoredGeomStorage::XrStoredGeomStorage(bool polyline_only, bool flag2, XrBlockCache* cache)
    : block_cache(cache), polyline_only(polyline_only ? 1 : 0), flag2(flag2 ? 1 : 0)
{
}

XrStoredGeomStorage::~XrStoredGeomStorage()
{
    release_wb();
    if (block_cache != nullptr)
        block_cache->drop_storage(this);
}

void XrStoredGeomStorage::release_wb() const
{
    XrGeomWorkingBuffer::get().release(this);
}

void XrStoredGeomStorage::set_type(StorageType type)
{
    storage_type = type;
    coding.set_kind(type == StorageMixed ? -1 : type - 1);
}

XrGeomCursor* XrStoredGeomStorage::get_cursor(const XrRectangle* rect, int scale)
{
    (void)scale;
    return new XrStoredGeomStorageCursor(rect, this);
}

XrGeomStorage::Status XrStoredGeomStorage::get_description(XrString& out)
{
    if (!has_description)
        return FAILED;
    out = description;
    return OK;
}

void XrStoredGeomStorage::set_description(const XrString& text)
{
    description = text;
    has_description = 1;
}

long long XrStoredGeomStorage::get_cache_misses() const
{
    return block_cache == nullptr ? 0 : block_cache->get_lookups() - block_cache->get_hits();
}

void XrStoredGeomStorage::age_cache(bool hit)
{
    if (block_cache != nullptr)
        block_cache->age(hit);
}

bool XrStoredGeomStorage::answer_wb(bool loaded, int& size, XrPoint& origin, int& compact_end, int& side_start) const
{
    if (!loaded) {
        release_wb();
        return false;
    }
    const XrGeomBucket& b = XrGeomWorkingBuffer::get().bucket();
    size = b.size;
    origin = b.origin;
    compact_end = b.compact_end;
    side_start = b.side_start;
    return true;
}

bool XrStoredGeomStorage::use_empty(size_t handle, const XrPoint& origin)
{
    XrGeomWorkingBuffer::get().hold(this, handle, nullptr).origin = origin;
    return true;
}

bool XrStoredGeomStorage::use_cached(size_t handle, std::uint32_t offset, std::uint32_t length,
                                     const XrPoint& origin)
{
    if (block_cache == nullptr)
        return false;
    XrBlockCache::XrDataBlock* b = block_cache->find_block(this, offset, length);
    if (b == nullptr)
        return false;
    const BYTE* block = b->data.get();
    XrGeomBucket& bucket = XrGeomWorkingBuffer::get().hold(this, handle, block);
    bucket.data = block + xrqt::COMPACT_END_WORD;
    bucket.size = b->data_size - static_cast<int>(xrqt::COMPACT_END_WORD);
    bucket.compact_end = xr_bytes::get_u16_le(block);
    bucket.side = b->index.get();
    bucket.side_count = b->index_size / static_cast<int>(sizeof(XrGeomSideEntry));
    bucket.side_start = xr_first_side_entry(bucket.side, bucket.side_count, bucket.compact_end);
    bucket.origin = origin;
    return true;
}

bool XrStoredGeomStorage::load_bucket(size_t handle, std::uint32_t offset, std::uint32_t length, const BYTE* stream,
                                      int stream_len, int raw_size, bool has_compact_end, const XrPoint& origin)
{
    XrGeomWorkingBuffer& wb = XrGeomWorkingBuffer::get();
    // Whatever the buffer held is gone from here on.
    wb.clear();
    const int word = static_cast<int>(xrqt::COMPACT_END_WORD);
    const int prefix = has_compact_end ? 0 : word;
    const int capacity = raw_size >= 0 ? raw_size + prefix : MAX_BUCKET_BYTES;
    if (raw_size > 0xFFFF || capacity > MAX_BUCKET_BYTES || capacity < word || stream_len <= 0)
        return false;
    // The bucket goes into a block of its own for the cache, else into the
    // shared buffer. With a known size one byte more than it takes tells a
    // longer stream apart.
    std::unique_ptr<BYTE[]> own;
    BYTE* dst;
    int room;
    if (block_cache != nullptr) {
        own.reset(new (std::nothrow) BYTE[capacity + 1]);
        dst = own.get();
        room = raw_size >= 0 ? raw_size + 1 : capacity - prefix;
    } else {
        dst = wb.shared();
        room = raw_size >= 0 ? std::min(raw_size + 1, MAX_BUCKET_BYTES - prefix) : capacity - prefix;
    }
    if (dst == nullptr)
        return false;
    int produced = room;
    if (!zlib_uncompress(stream, stream_len, dst + prefix, produced) || (raw_size >= 0 && produced != raw_size))
        return false;
    const int total = prefix + produced;
    if (total < word)
        return false;
    if (!has_compact_end)
        dst[0] = dst[1] = 0;
    const int compact_end = xr_bytes::get_u16_le(dst);
    XrGeomSideScratch& scratch = wb.scratch();
    if (!coding.build_len_and_bbox(dst + word, total - word, compact_end, origin, scratch))
        return false;
    const int count = scratch.side.get_num_items();
    const int index_size = count * static_cast<int>(sizeof(XrGeomSideEntry));
    const XrGeomSideEntry* side = scratch.side.get_items();
    if (own != nullptr && static_cast<long long>(total) + index_size < block_cache->get_budget()) {
        std::unique_ptr<XrGeomSideEntry[]> index(new (std::nothrow) XrGeomSideEntry[count > 0 ? count : 1]);
        if (index == nullptr)
            return false;
        std::copy(side, side + count, index.get());
        side = index.get();
        if (!block_cache->insert_block(this, offset, length, std::move(own), total, std::move(index), index_size))
            return false;
    } else if (own != nullptr) {
        // Too big for the cache: kept in the shared buffer.
        BYTE* shared = wb.shared();
        if (shared == nullptr)
            return false;
        std::memcpy(shared, dst, static_cast<std::size_t>(total));
        dst = shared;
    }
    XrGeomBucket& bucket = wb.hold(this, handle, dst);
    bucket.data = dst + word;
    bucket.size = total - word;
    bucket.compact_end = compact_end;
    bucket.side = side;
    bucket.side_count = count;
    bucket.side_start = xr_first_side_entry(side, count, compact_end);
    bucket.origin = origin;
    return true;
}
