#include "common/db/xr_heapgeomstorage.h"

#include <cstring>
#include <new>

#include <zlib.h>

#include "common/misc/xr_utf8.h"
#include "common/storage/xr_heapstorage.h"
#include "common/storage/xr_storageaccessor.h"

namespace {

// The process-wide working buffer: the bucket last loaded by any stored
// storage, and the buffers that buckets without a cache are inflated into.
struct XrWorkingBuffer {
    const XrStoredGeomStorage* owner = nullptr;
    size_t handle = 0;
    XrGeomBucket bucket;
    const BYTE* block = nullptr; // the buffer the bucket lies in
    BYTE* shared = nullptr;
    XrArray<XrGeomSideEntry> side{64};

    ~XrWorkingBuffer() { delete[] shared; }
};

XrWorkingBuffer& working_buffer()
{
    static XrWorkingBuffer wb;
    return wb;
}

// The heap format keeps no bigger compressed bucket.
constexpr int MAX_STREAM_BYTES = XrStoredGeomStorage::MAX_BUCKET_BYTES + 4096;

bool meets(const XrRectangle& a, const XrRectangle& b)
{
    return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

XrRectangle normalised(int x1, int y1, int x2, int y2)
{
    return XrRectangle(x1 < x2 ? x1 : x2, y1 < y2 ? y1 : y2, x1 < x2 ? x2 : x1, y1 < y2 ? y2 : y1);
}

// Additions that wrap instead of overflowing on damaged data.
int wrap_add(int a, int b)
{
    return static_cast<int>(static_cast<unsigned int>(a) + static_cast<unsigned int>(b));
}

int twice(int v)
{
    return static_cast<int>(static_cast<unsigned int>(v) << 1);
}

// A record id: 30 bits, the top two bits of its last byte hold the kind.
int stored_id(const BYTE* p)
{
    return static_cast<int>(xr_get_u32(p) << 2) >> 2;
}

void grow_box(XrRectangle& box, int x, int y)
{
    if (x < box.left)
        box.left = x;
    if (x > box.right)
        box.right = x;
    if (y < box.top)
        box.top = y;
    if (y > box.bottom)
        box.bottom = y;
}

int first_entry_at(const XrGeomSideEntry* side, int count, int offset)
{
    int lo = 0, hi = count;
    while (lo < hi) {
        int mid = (lo + hi) / 2;
        if (side[mid].offset < offset)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

// Inner node fields of a geometry file.
struct XrSplit {
    int x2s, x1e, y1e, y2s;
};

XrSplit read_split(const BYTE* node)
{
    return XrSplit{xr_get_s24(node + 6), xr_get_s24(node + 9), xr_get_s24(node + 12), xr_get_s24(node + 15)};
}

} // namespace

const XrGeomSideEntry* XrGeomBucket::find_entry(int offset) const
{
    int i = first_entry_at(side, side_count, offset);
    if (i < side_count && side[i].offset == offset)
        return side + i;
    return nullptr;
}

// ------------------------------------------------------------ block cache

XrStoredGeomStorage::XrBlockCache::XrBlockCache(int budget) : budget(budget), blocks(64) {}

XrStoredGeomStorage::XrBlockCache::~XrBlockCache()
{
    drop_all();
}

void XrStoredGeomStorage::XrBlockCache::free_block(int index)
{
    XrDataBlock& b = blocks.get_items()[index];
    XrWorkingBuffer& wb = working_buffer();
    if (wb.owner != nullptr && wb.block == b.data)
        wb.owner = nullptr;
    delete[] b.data;
    delete[] b.index;
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
                                                     BYTE* data, int size, XrGeomSideEntry* index, int index_size)
{
    bool cached = false;
    for (int i = 0; i < blocks.get_num_items() && !cached; ++i) {
        const XrDataBlock& b = blocks.get_items()[i];
        cached = b.storage == storage && b.offset == offset && b.length == length;
    }
    long long need = static_cast<long long>(size) + index_size;
    if (cached || need >= budget) {
        delete[] data;
        delete[] index;
        return false;
    }
    while (blocks.get_num_items() > 0 && used + need >= budget) {
        int lru = 0;
        for (int i = 1; i < blocks.get_num_items(); ++i) {
            if (blocks.get_items()[i].last_used < blocks.get_items()[lru].last_used)
                lru = i;
        }
        free_block(lru);
    }
    XrDataBlock b;
    b.data = data;
    b.data_size = size;
    b.index = index;
    b.index_size = index_size;
    b.storage = storage;
    b.offset = offset;
    b.length = length;
    b.last_used = clock++;
    if (!blocks.append(b)) {
        delete[] data;
        delete[] index;
        return false;
    }
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

// ---------------------------------------------------- XrStoredGeomStorage

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
    XrWorkingBuffer& wb = working_buffer();
    if (wb.owner == this)
        wb.owner = nullptr;
}

void XrStoredGeomStorage::set_type(StorageType type)
{
    storage_type = type;
    kind = type == StorageMixed ? -1 : type - 1;
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

bool XrStoredGeomStorage::set_coding(const BYTE* p, int attributes, int file_version)
{
    if (p[0] > 2 || p[3] > 2)
        return false;
    aux_width = p[0];
    default_aux = xr_get_s16(p + 1);
    type_width = p[3];
    default_type = p[4];
    with_id = (p[5] & 1) != 0;
    three_byte_coords = (p[5] & 2) != 0;
    coord_bytes = three_byte_coords ? 6 : 8;
    attr_count = attributes;
    half_unit_deltas = file_version >= 0x10005;
    utf8_texts = file_version == 0x10006 || file_version == 0x10007;
    return true;
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

const XrGeomBucket* XrStoredGeomStorage::get_loaded_bucket(size_t handle) const
{
    const XrWorkingBuffer& wb = working_buffer();
    if (wb.owner != this || wb.handle != handle)
        return nullptr;
    return &wb.bucket;
}

void XrStoredGeomStorage::fill_outputs(int& size, XrPoint& origin, int& compact_end, int& side_start) const
{
    const XrGeomBucket& b = working_buffer().bucket;
    size = b.size;
    origin = b.origin;
    compact_end = b.compact_end;
    side_start = b.side_start;
}

int XrStoredGeomStorage::record_kind(const BYTE* data, int offset) const
{
    if (with_id)
        return (data[offset + 3] >> 6) + 1;
    return kind + 1;
}

bool XrStoredGeomStorage::take_id(const BYTE*& p, const BYTE* end, int& id) const
{
    if (with_id) {
        if (end - p < 4)
            return false;
        id = stored_id(p);
        p += 4;
    }
    return end - p >= 1;
}

bool XrStoredGeomStorage::point_fields(const BYTE* rec, const BYTE* end, bool text, const XrPoint& origin,
                                       XrPointFields& out) const
{
    const BYTE* p = rec;
    auto need = [&](int n) { return end - p >= n; };
    out = XrPointFields();
    if (!take_id(p, end, out.id))
        return false;
    BYTE b1 = *p++;
    bool delta = (b1 & 0x80) != 0;
    bool attr = false;
    if (type_width == 0) {
        out.type = default_type;
    } else if (type_width == 1) {
        out.type = b1 & 0x7F;
        if (attr_count != 0) {
            attr = (out.type & 0x40) != 0;
            out.type &= 0x3F;
        }
    } else {
        if (!need(1))
            return false;
        out.type = (b1 & 0x7F) + (*p++ << 7);
        if (attr_count != 0) {
            attr = (out.type & 0x4000) != 0;
            out.type &= 0x3FFF;
        }
    }
    if (aux_width == 1) {
        if (!need(1))
            return false;
        out.aux = *p++ * 2;
    } else if (aux_width == 2) {
        if (!need(2))
            return false;
        out.aux = xr_get_s16(p);
        p += 2;
    } else {
        out.aux = default_aux;
    }
    if (delta) {
        if (!need(4))
            return false;
        out.x = wrap_add(origin.x, xr_get_s16(p));
        out.y = wrap_add(origin.y, xr_get_s16(p + 2));
        p += 4;
    } else if (three_byte_coords) {
        if (!need(6))
            return false;
        out.x = xr_get_s24(p);
        out.y = xr_get_s24(p + 3);
        p += 6;
    } else {
        if (!need(8))
            return false;
        out.x = xr_get_s32(p);
        out.y = xr_get_s32(p + 4);
        p += 8;
    }
    if (attr && attr_count != 0) {
        if (!need(attr_count))
            return false;
        out.attributes = p;
        p += attr_count;
    }
    if (text) {
        const BYTE* nul = static_cast<const BYTE*>(std::memchr(p, 0, end - p));
        if (nul == nullptr)
            return false;
        out.text = p;
        out.text_len = static_cast<int>(nul - p);
        p = nul + 1;
    }
    out.length = static_cast<int>(p - rec);
    return true;
}

bool XrStoredGeomStorage::poly_header(const BYTE* rec, const BYTE* end, bool compact, const XrPoint& origin,
                                      XrPolyHeader& out, int& back) const
{
    const BYTE* p = rec;
    auto need = [&](int n) { return end - p >= n; };
    out = XrPolyHeader();
    back = 0;
    if (!take_id(p, end, out.id))
        return false;
    BYTE head = *p++;
    int mode = head & 0xC0;
    bool attr = false;
    if (compact) {
        unsigned int fw = format_table[head & 0x3F];
        out.count = fw & 0x0F;
        out.type = (fw >> 4) & 0x7F;
        attr = (fw & 0x800) != 0;
        out.byte_deltas = (fw & 0x1000) != 0;
    } else {
        out.byte_deltas = (head & 0x20) != 0;
        out.count = head & 0x0F;
        if ((head & 0x10) == 0) {
            if (!need(1))
                return false;
            out.count |= *p++ << 4;
        }
        if (type_width == 1) {
            if (!need(1))
                return false;
            out.type = *p++;
            if (attr_count != 0) {
                attr = (out.type & 0x80) != 0;
                out.type &= 0x7F;
            }
        } else if (type_width == 2) {
            if (!need(2))
                return false;
            out.type = xr_get_u16(p);
            p += 2;
            if (attr_count != 0) {
                attr = (out.type & 0x8000) != 0;
                out.type &= 0x7FFF;
            }
        } else {
            out.type = default_type;
        }
    }
    if (out.count == 0)
        return false;
    switch (mode) {
    case 0x00:
        if (!need(coord_bytes))
            return false;
        if (three_byte_coords)
            out.first = XrPoint(twice(xr_get_s24(p)), twice(xr_get_s24(p + 3)));
        else
            out.first = XrPoint(twice(xr_get_s32(p)), twice(xr_get_s32(p + 4)));
        p += coord_bytes;
        break;
    case 0x80:
        if (!need(4))
            return false;
        if (half_unit_deltas)
            out.first = XrPoint(twice(origin.x / 2 + xr_get_s16(p)), twice(origin.y / 2 + xr_get_s16(p + 2)));
        else
            out.first = XrPoint(wrap_add(origin.x, xr_get_s16(p)), wrap_add(origin.y, xr_get_s16(p + 2)));
        p += 4;
        break;
    case 0x40:
        if (!need(2))
            return false;
        back = static_cast<int>(xr_get_u16(p));
        p += 2;
        break;
    default:
        if (!need(1))
            return false;
        back = *p++;
        break;
    }
    if ((mode == 0x40 || mode == 0xC0) && back == 0)
        return false;
    if (attr && attr_count != 0) {
        if (!need(attr_count))
            return false;
        out.attributes = p;
        p += attr_count;
    }
    out.points = p;
    out.end = end;
    return true;
}

bool XrStoredGeomStorage::walk_points(XrPolyHeader& hdr, XrRectangle& box) const
{
    const BYTE* p = hdr.points;
    int x = hdr.first.x, y = hdr.first.y;
    box = XrRectangle(x, y, x, y);
    for (int i = 1; i < hdr.count; ++i) {
        int dx, dy;
        if (hdr.byte_deltas) {
            if (hdr.end - p < 2)
                return false;
            dx = static_cast<signed char>(p[0]);
            dy = static_cast<signed char>(p[1]);
            p += 2;
        } else {
            int nx = xr_varint::length_within(p, hdr.end);
            int ny = nx == 0 ? 0 : xr_varint::length_within(p + nx, hdr.end);
            if (ny == 0)
                return false;
            dx = xr_varint::read(p);
            dy = xr_varint::read(p);
        }
        if (half_unit_deltas) {
            dx = twice(dx);
            dy = twice(dy);
        }
        x = wrap_add(x, dx);
        y = wrap_add(y, dy);
        grow_box(box, x, y);
    }
    hdr.end = p;
    return true;
}

bool XrStoredGeomStorage::check_record(const BYTE* data, int size, int compact_end, const XrPoint& origin,
                                       int offset, XrArray<XrGeomSideEntry>& side, XrArray<int>& depth,
                                       XrArray<XrPoint>& firsts) const
{
    if (with_id && size - offset < 4)
        return false;
    XrGeomSideEntry e;
    e.offset = static_cast<std::uint16_t>(offset);
    e.kind = static_cast<BYTE>(record_kind(data, offset));
    const BYTE* rec = data + offset;
    const BYTE* end = data + size;
    int length = 0;
    if (e.kind == XrGeomStorage::RecPoint || e.kind == XrGeomStorage::RecText) {
        XrPointFields f;
        if (!point_fields(rec, end, e.kind == XrGeomStorage::RecText, origin, f))
            return false;
        e.box = XrRectangle(f.x, f.y, f.x, f.y);
        length = f.length;
        depth.append(-1);
        firsts.append(XrPoint(f.x, f.y));
    } else {
        XrPolyHeader h;
        int back = 0;
        if (!poly_header(rec, end, offset < compact_end, origin, h, back))
            return false;
        int d = 0;
        if (back != 0) {
            // The first point of an earlier polyline of this bucket.
            if (back > offset)
                return false;
            int t = first_entry_at(side.get_items(), side.get_num_items(), offset - back);
            if (t >= side.get_num_items() || side.get_items()[t].offset != offset - back)
                return false;
            d = depth.get_items()[t];
            if (d < 0 || d + 1 > MAX_SHARED_DEPTH)
                return false;
            ++d;
            h.first = firsts.get_items()[t];
        }
        if (!walk_points(h, e.box))
            return false;
        length = static_cast<int>(h.end - rec);
        depth.append(d);
        firsts.append(h.first);
    }
    if (length <= 0 || length > 0xFFFF)
        return false;
    e.length = static_cast<std::uint16_t>(length);
    return side.append(e);
}

bool XrStoredGeomStorage::build_len_and_bbox(const BYTE* data, int size, int compact_end, const XrPoint& origin,
                                             XrArray<XrGeomSideEntry>& side) const
{
    static XrArray<int> depth(256);
    static XrArray<XrPoint> firsts(256);
    side.remove_all();
    depth.remove_all();
    firsts.remove_all();
    if (size > 0xFFFF || compact_end > size)
        return false;
    int offset = 0;
    while (offset < size) {
        if (!check_record(data, size, compact_end, origin, offset, side, depth, firsts))
            return false;
        offset += side.get_items()[side.get_num_items() - 1].length;
    }
    return true;
}

bool XrStoredGeomStorage::decode_point(const XrGeomBucket& bucket, const XrGeomSideEntry& entry,
                                       XrPointFields& out) const
{
    const BYTE* rec = bucket.data + entry.offset;
    return point_fields(rec, rec + entry.length, entry.kind == XrGeomStorage::RecText, bucket.origin, out);
}

bool XrStoredGeomStorage::decode_poly(const XrGeomBucket& bucket, const XrGeomSideEntry& entry,
                                      XrPolyHeader& out) const
{
    const BYTE* rec = bucket.data + entry.offset;
    int back = 0;
    if (!poly_header(rec, rec + entry.length, entry.offset < bucket.compact_end, bucket.origin, out, back))
        return false;
    // Shared first points: the chain was checked when the bucket was loaded.
    const XrGeomSideEntry* e = &entry;
    for (int hops = 0; back != 0; ++hops) {
        if (hops >= MAX_SHARED_DEPTH || back > e->offset)
            return false;
        e = bucket.find_entry(e->offset - back);
        if (e == nullptr || e->kind == XrGeomStorage::RecPoint || e->kind == XrGeomStorage::RecText)
            return false;
        XrPolyHeader target;
        const BYTE* trec = bucket.data + e->offset;
        if (!poly_header(trec, trec + e->length, e->offset < bucket.compact_end, bucket.origin, target, back))
            return false;
        out.first = target.first;
    }
    return true;
}

bool XrStoredGeomStorage::use_empty(size_t handle, const XrPoint& origin)
{
    XrWorkingBuffer& wb = working_buffer();
    wb.owner = this;
    wb.handle = handle;
    wb.block = nullptr;
    wb.bucket = XrGeomBucket();
    wb.bucket.origin = origin;
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
    XrWorkingBuffer& wb = working_buffer();
    wb.owner = this;
    wb.handle = handle;
    wb.block = b->data;
    XrGeomBucket& bucket = wb.bucket;
    bucket.data = b->data + 2;
    bucket.size = b->data_size - 2;
    bucket.compact_end = static_cast<int>(xr_get_u16(b->data));
    bucket.side = b->index;
    bucket.side_count = b->index_size / static_cast<int>(sizeof(XrGeomSideEntry));
    bucket.side_start = first_entry_at(bucket.side, bucket.side_count, bucket.compact_end);
    bucket.origin = origin;
    return true;
}

bool XrStoredGeomStorage::load_bucket(size_t handle, std::uint32_t offset, std::uint32_t length, const BYTE* stream,
                                      int stream_len, int raw_size, bool has_compact_end, const XrPoint& origin)
{
    XrWorkingBuffer& wb = working_buffer();
    // Whatever the buffer held is gone from here on.
    wb.owner = nullptr;
    int prefix = has_compact_end ? 0 : 2;
    int capacity = raw_size >= 0 ? raw_size + prefix : MAX_BUCKET_BYTES;
    if (raw_size > 0xFFFF || capacity > MAX_BUCKET_BYTES || capacity < 2 || stream_len <= 0)
        return false;
    bool cached = block_cache != nullptr;
    BYTE* dst;
    if (cached) {
        dst = new (std::nothrow) BYTE[capacity];
        if (dst == nullptr)
            return false;
    } else {
        if (wb.shared == nullptr)
            wb.shared = new (std::nothrow) BYTE[MAX_BUCKET_BYTES];
        if (wb.shared == nullptr)
            return false;
        dst = wb.shared;
    }
    uLongf produced = static_cast<uLongf>(capacity - prefix);
    int rc = uncompress(dst + prefix, &produced, stream, static_cast<uLong>(stream_len));
    int total = prefix + static_cast<int>(produced);
    if (rc != Z_OK || (raw_size >= 0 && static_cast<int>(produced) != raw_size) || total < 2) {
        if (cached)
            delete[] dst;
        return false;
    }
    if (!has_compact_end)
        dst[0] = dst[1] = 0;
    int compact_end = static_cast<int>(xr_get_u16(dst));
    if (!build_len_and_bbox(dst + 2, total - 2, compact_end, origin, wb.side)) {
        if (cached)
            delete[] dst;
        return false;
    }
    int count = wb.side.get_num_items();
    int index_size = count * static_cast<int>(sizeof(XrGeomSideEntry));
    const XrGeomSideEntry* side = wb.side.get_items();
    if (cached && static_cast<long long>(total) + index_size < block_cache->get_budget()) {
        XrGeomSideEntry* index = new (std::nothrow) XrGeomSideEntry[count > 0 ? count : 1];
        if (index == nullptr) {
            delete[] dst;
            return false;
        }
        for (int i = 0; i < count; ++i)
            index[i] = side[i];
        if (!block_cache->insert_block(this, offset, length, dst, total, index, index_size))
            return false;
        side = index;
    } else if (cached) {
        // Too big for the cache: kept in the shared buffer.
        if (wb.shared == nullptr)
            wb.shared = new (std::nothrow) BYTE[MAX_BUCKET_BYTES];
        if (wb.shared == nullptr) {
            delete[] dst;
            return false;
        }
        std::memcpy(wb.shared, dst, total);
        delete[] dst;
        dst = wb.shared;
    }
    wb.owner = this;
    wb.handle = handle;
    wb.block = dst;
    XrGeomBucket& bucket = wb.bucket;
    bucket.data = dst + 2;
    bucket.size = total - 2;
    bucket.compact_end = compact_end;
    bucket.side = side;
    bucket.side_count = count;
    bucket.side_start = first_entry_at(side, count, compact_end);
    bucket.origin = origin;
    return true;
}

// -------------------------------------------- XrStoredGeomStorageCursor

XrStoredGeomStorageCursor::XrStoredGeomStorageCursor(const XrRectangle* rect, XrStoredGeomStorage* storage)
    : XrGeomCursor(rect), storage(storage), stack(16), misses_at_start(storage->get_cache_misses())
{
    size_t root = storage->get_root_handle();
    const BYTE* node = nullptr;
    // A storage without nodes has no records.
    if (!storage->get_node(root, node))
        return;
    storage->release_node(node);
    XrGCState s;
    s.handle = root;
    s.quarter = 0;
    s.rect = storage->get_bounding_box();
    stack.append(s);
    visited.insert(root);
}

XrStoredGeomStorageCursor::~XrStoredGeomStorageCursor()
{
    storage->age_cache(storage->get_cache_misses() == misses_at_start);
}

XrGeomCursor::Status XrStoredGeomStorageCursor::fail_walk()
{
    stack.remove_all();
    in_bucket = false;
    return FAILED;
}

const XrGeomBucket* XrStoredGeomStorageCursor::ensure_bucket(size_t handle)
{
    const XrGeomBucket* b = storage->get_loaded_bucket(handle);
    if (b != nullptr)
        return b;
    int size = 0, compact_end = 0, side_start = 0;
    XrPoint origin;
    if (!storage->load_node_into_wb(handle, size, origin, compact_end, side_start))
        return nullptr;
    return storage->get_loaded_bucket(handle);
}

XrGeomCursor::Status XrStoredGeomStorageCursor::get_next_record(const BYTE*& data, XrGeomStorage::XrRecordType& type)
{
    for (;;) {
        if (in_bucket) {
            // Another cursor may have loaded a bucket meanwhile.
            const XrGeomBucket* b = ensure_bucket(bucket_handle);
            if (b == nullptr) {
                in_bucket = false;
                return FAILED;
            }
            while (side_pos < b->side_count) {
                const XrGeomSideEntry& e = b->side[side_pos++];
                bool polypoint = e.kind == XrGeomStorage::RecPolyline || e.kind == XrGeomStorage::RecPolygon;
                if (polypoint && has_query_rect && !meets(e.box, query_rect))
                    continue;
                has_record = true;
                record_bucket = bucket_handle;
                record_offset = e.offset;
                data = b->data + e.offset;
                type = static_cast<XrGeomStorage::XrRecordType>(e.kind);
                return OK;
            }
            in_bucket = false;
        }
        int top = stack.get_num_items() - 1;
        if (top < 0)
            return END;
        XrGCState state = stack.get_items()[top];
        stack.remove_item(top);
        const BYTE* node = nullptr;
        if (!storage->get_node(state.handle, node))
            return fail_walk();
        bool descended = false;
        for (int q = state.quarter; q < 4 && !descended; ++q) {
            size_t child = storage->get_child_handle(node, q);
            if (child == 0)
                continue;
            const BYTE* child_node = nullptr;
            XrRectangle child_rect;
            // Nodes met twice (a cycle, or a shared subtree) or paths deeper
            // than any sound tree: a damaged file.
            if (visited.count(child) != 0 || stack.get_num_items() >= XrStoredGeomStorage::MAX_TREE_DEPTH ||
                !storage->get_node(child, child_node)) {
                storage->release_node(node);
                return fail_walk();
            }
            bool ok = storage->get_node_rect(node, child_node, child_rect, state.rect, q);
            storage->release_node(child_node);
            if (!ok) {
                storage->release_node(node);
                return fail_walk();
            }
            if (has_query_rect && !meets(child_rect, query_rect))
                continue;
            XrGCState parent = state;
            parent.quarter = q + 1;
            XrGCState next;
            next.handle = child;
            next.quarter = 0;
            next.rect = child_rect;
            stack.append(parent);
            stack.append(next);
            visited.insert(child);
            descended = true;
        }
        if (descended) {
            storage->release_node(node);
            continue;
        }
        size_t bucket = storage->get_bucket_handle(node);
        storage->release_node(node);
        const XrGeomBucket* b = ensure_bucket(bucket);
        if (b == nullptr)
            return FAILED;
        if (b->side_count > 0) {
            in_bucket = true;
            bucket_handle = bucket;
            side_pos = 0;
        }
    }
}

void XrStoredGeomStorageCursor::skip_group()
{
    if (!in_bucket)
        return;
    const XrGeomBucket* b = ensure_bucket(bucket_handle);
    if (b == nullptr) {
        in_bucket = false;
        return;
    }
    side_pos = side_pos <= b->side_start ? b->side_start : b->side_count;
}

XrMapItem* XrStoredGeomStorageCursor::get_current_map_item()
{
    if (!has_record)
        return nullptr;
    return new XrHeapGeomStorageMapItem(record_bucket, record_offset);
}

bool XrStoredGeomStorageCursor::get_current_record_geom_id(XrGid& id)
{
    if (!has_record || record_bucket > 0xFFFF || record_offset > 0xFFFF)
        return false;
    id = static_cast<XrGid>(record_bucket << 16 | static_cast<unsigned int>(record_offset));
    return true;
}

XrGeomCursor::Status XrStoredGeomStorageCursor::fetch(size_t handle, int offset, XrGeomStorage::XrRecordType& type,
                                                      const BYTE*& data)
{
    const XrGeomBucket* b = ensure_bucket(handle);
    if (b == nullptr)
        return FAILED;
    const XrGeomSideEntry* e = b->find_entry(offset);
    if (e == nullptr)
        return FAILED;
    has_record = true;
    record_bucket = handle;
    record_offset = offset;
    data = b->data + offset;
    type = storage->is_polyline_only() ? XrGeomStorage::RecPolyline : static_cast<XrGeomStorage::XrRecordType>(e->kind);
    return OK;
}

XrGeomCursor::Status XrStoredGeomStorageCursor::get_record(const XrMapItem* item, XrGeomStorage::XrRecordType& type,
                                                           const BYTE*& data)
{
    const XrHeapGeomStorageMapItem* hi = dynamic_cast<const XrHeapGeomStorageMapItem*>(item);
    if (hi == nullptr)
        return FAILED;
    return fetch(hi->bucket_handle, hi->record_offset, type, data);
}

XrGeomCursor::Status XrStoredGeomStorageCursor::get_record_by_geom_id(XrGid id, XrGeomStorage::XrRecordType& type,
                                                                      const BYTE*& data)
{
    return fetch(id >> 16, static_cast<int>(id & 0xFFFF), type, data);
}

XrGeomCursor::Status XrStoredGeomStorageCursor::get_approximated_point_for_geom_id(int id, XrPoint& point)
{
    return storage->get_approximated_point_for_geom_id(id, point);
}

bool XrStoredGeomStorageCursor::find_record(const BYTE* record, const XrGeomBucket*& bucket,
                                            const XrGeomSideEntry*& entry) const
{
    // Only a record of the bucket in the working buffer can be read.
    const XrGeomBucket* b = nullptr;
    if (in_bucket)
        b = storage->get_loaded_bucket(bucket_handle);
    if (b == nullptr && has_record)
        b = storage->get_loaded_bucket(record_bucket);
    if (b == nullptr || record == nullptr || record < b->data || record >= b->data + b->size)
        return false;
    entry = b->find_entry(static_cast<int>(record - b->data));
    bucket = b;
    return entry != nullptr;
}

bool XrStoredGeomStorageCursor::get_pt(const BYTE* record, int& id, int& x, int& y, short& type, short& aux,
                                       const BYTE*& attributes)
{
    const XrGeomBucket* b = nullptr;
    const XrGeomSideEntry* e = nullptr;
    XrStoredGeomStorage::XrPointFields f;
    if (!find_record(record, b, e) || (e->kind != XrGeomStorage::RecPoint && e->kind != XrGeomStorage::RecText) ||
        !storage->decode_point(*b, *e, f))
        return false;
    id = f.id;
    x = f.x;
    y = f.y;
    type = static_cast<short>(f.type);
    aux = static_cast<short>(f.aux);
    if (f.attributes != nullptr)
        attributes = f.attributes;
    return true;
}

bool XrStoredGeomStorageCursor::get_txt(const BYTE* record, int& id, int& x, int& y, short& type, short& aux,
                                        const TCHAR*& text, const BYTE*& attributes, int language,
                                        int* found_language)
{
    const BYTE* attr = nullptr;
    if (!get_pt(record, id, x, y, type, aux, attr))
        return false;
    const XrGeomBucket* b = nullptr;
    const XrGeomSideEntry* e = nullptr;
    XrStoredGeomStorage::XrPointFields f;
    if (!find_record(record, b, e) || e->kind != XrGeomStorage::RecText || !storage->decode_point(*b, *e, f))
        return false;
    if (attr != nullptr)
        attributes = attr;
    bool utf8 = storage->has_utf8_texts() || XrUTF8::is_valid_utf8(f.text, f.text_len);
    text = set_text(f.text, f.text_len, utf8, storage->has_convert_texts(), language, found_language);
    return true;
}

int XrStoredGeomStorageCursor::get_pp(const BYTE* record, int& id, int& x, int& y, short& type, short& aux,
                                      const BYTE*& points, BYTE& coding, const BYTE*& attributes)
{
    const BYTE* rec_start = record;
    const XrGeomBucket* b = nullptr;
    const XrGeomSideEntry* e = nullptr;
    XrStoredGeomStorage::XrPolyHeader h;
    if (!find_record(rec_start, b, e) || e->kind == XrGeomStorage::RecPoint || e->kind == XrGeomStorage::RecText ||
        !storage->decode_poly(*b, *e, h))
        return 0;
    id = h.id;
    x = h.first.x;
    y = h.first.y;
    type = static_cast<short>(h.type);
    aux = 0;
    points = h.points;
    coding = static_cast<BYTE>((h.byte_deltas ? 8 : 32) | (storage->has_half_unit_deltas() ? 1 : 0));
    if (h.attributes != nullptr)
        attributes = h.attributes;
    pp_end = b->data + e->offset + e->length;
    return h.count;
}

void XrStoredGeomStorageCursor::get_pp_next_pt(BYTE coding, int& x, int& y, const BYTE*& p)
{
    if (p == nullptr || pp_end == nullptr || p >= pp_end)
        return;
    int dx, dy;
    if ((coding & 8) != 0) {
        if (pp_end - p < 2)
            return;
        dx = static_cast<signed char>(p[0]);
        dy = static_cast<signed char>(p[1]);
        p += 2;
    } else {
        int nx = xr_varint::length_within(p, pp_end);
        int ny = nx == 0 ? 0 : xr_varint::length_within(p + nx, pp_end);
        if (ny == 0)
            return;
        dx = xr_varint::read(p);
        dy = xr_varint::read(p);
    }
    if ((coding & 1) != 0) {
        dx = twice(dx);
        dy = twice(dy);
    }
    x = wrap_add(x, dx);
    y = wrap_add(y, dy);
}

// -------------------------------------------------- XrSimpleGeomStorage

XrSimpleGeomStorage::XrSimpleGeomStorage(XrStorageAccessor* accessor, bool polyline_only, bool flag2,
                                         XrBlockCache* cache)
    : XrStoredGeomStorage(polyline_only, flag2, cache), accessor(accessor)
{
}

XrSimpleGeomStorage::~XrSimpleGeomStorage()
{
    release_wb();
    release_tree();
    delete accessor;
}

void XrSimpleGeomStorage::release_tree()
{
    if (tree != nullptr && accessor != nullptr)
        accessor->release_ptr(tree);
    tree = nullptr;
}

int XrSimpleGeomStorage::open()
{
    opened = false;
    release_wb();
    release_tree();
    if (accessor == nullptr)
        return 1;
    std::uint32_t file_size = accessor->get_size();
    const BYTE* h = nullptr;
    if (file_size < 85 || accessor->get_ptr(0, 8, &h) != XrStorageAccessor::OK)
        return 1;
    bool magic = std::memcmp(h, "XRQT", 4) == 0;
    int v = static_cast<int>(xr_get_u32(h + 4));
    accessor->release_ptr(h);
    if (!magic || v < 0x10004 || v > 0x10007)
        return 1;
    std::uint32_t header_size = v == 0x10004 ? 85 : 213;
    if (file_size < header_size || accessor->get_ptr(0, header_size, &h) != XrStorageAccessor::OK)
        return 1;
    bool ok = true;
    std::uint32_t k = xr_get_u32(h + 8);
    if (k < 1 || k > 5)
        ok = false;
    if (ok)
        ok = set_coding(h + 36, h[42], v);
    // A mixed storage needs the kinds that the ids carry.
    if (ok && k == 5 && !with_id)
        ok = false;
    std::uint32_t tsize = xr_get_u32(h + 12);
    std::uint32_t isize = xr_get_u32(h + 16);
    if (ok && (isize % 26 != 0 || isize > tsize || (tsize - isize) % 8 != 0 ||
               static_cast<std::uint64_t>(header_size) + tsize > file_size))
        ok = false;
    if (ok && isize / 26 + (tsize - isize) / 8 > 0x10000)
        ok = false;
    if (ok) {
        set_type(k == 5 ? StorageMixed : static_cast<StorageType>(k));
        version = v;
        tree_size = tsize;
        inner_size = isize;
        inner_count = static_cast<int>(isize / 26);
        leaf_count = static_cast<int>((tsize - isize) / 8);
        tree_offset = header_size;
        header_box = XrRectangle(xr_get_s32(h + 20), xr_get_s32(h + 24), xr_get_s32(h + 28), xr_get_s32(h + 32));
        has_format_table = v >= 0x10005;
        for (int i = 0; i < 64; ++i)
            format_table[i] = has_format_table ? static_cast<std::uint16_t>(xr_get_u16(h + 43 + 2 * i)) : 0;
        const char* text = reinterpret_cast<const char*>(h + (v == 0x10004 ? 43 : 171));
        int n = 0;
        while (n < 42 && text[n] != 0)
            ++n;
        XrString stored_name;
        stored_name.assign_latin1(text, n);
        set_name(stored_name);
    }
    accessor->release_ptr(h);
    if (!ok)
        return 1;
    opened = true;
    if (!load_tree()) {
        opened = false;
        return 1;
    }
    return 0;
}

bool XrSimpleGeomStorage::load_tree()
{
    if (!opened)
        return false;
    if (tree != nullptr || tree_size == 0)
        return true;
    const BYTE* t = nullptr;
    if (accessor->get_ptr(tree_offset, tree_size, &t) != XrStorageAccessor::OK)
        return false;
    tree = t;
    return true;
}

void XrSimpleGeomStorage::free_memory()
{
    release_tree();
    if (block_cache != nullptr)
        block_cache->drop_all();
}

XrGeomCursor* XrSimpleGeomStorage::get_cursor(const XrRectangle* rect, int scale)
{
    if (!load_tree())
        return nullptr;
    return XrStoredGeomStorage::get_cursor(rect, scale);
}

bool XrSimpleGeomStorage::get_node(size_t handle, const BYTE*& node)
{
    if (!load_tree() || tree == nullptr)
        return false;
    if (handle < static_cast<size_t>(inner_count)) {
        node = tree + handle * 26;
        return true;
    }
    size_t leaf = handle - inner_count;
    if (leaf >= static_cast<size_t>(leaf_count))
        return false;
    node = tree + inner_size + leaf * 8;
    return true;
}

void XrSimpleGeomStorage::release_node(const BYTE* node)
{
    (void)node;
}

bool XrSimpleGeomStorage::get_node_rect(const BYTE* node, const BYTE* child_node, XrRectangle& child,
                                        const XrRectangle& node_rect, int quarter)
{
    (void)child_node;
    if (node == nullptr || !is_inner(node))
        return false;
    XrSplit s = read_split(node);
    const XrRectangle& r = node_rect;
    switch (quarter) {
    case 0:
        child = normalised(r.left, r.top, s.x1e, s.y1e);
        return true;
    case 1:
        child = normalised(r.right, r.top, s.x2s, s.y1e);
        return true;
    case 2:
        child = normalised(r.left, r.bottom, s.x1e, s.y2s);
        return true;
    case 3:
        child = normalised(r.right, r.bottom, s.x2s, s.y2s);
        return true;
    default:
        return false;
    }
}

size_t XrSimpleGeomStorage::get_child_handle(const BYTE* node, size_t quarter)
{
    if (node == nullptr || !is_inner(node) || quarter > 3)
        return 0;
    return xr_get_u16(node + 18 + 2 * quarter);
}

size_t XrSimpleGeomStorage::get_bucket_handle(const BYTE* node)
{
    if (is_inner(node))
        return static_cast<size_t>(node - tree) / 26;
    return inner_count + static_cast<size_t>(node - tree - inner_size) / 8;
}

bool XrSimpleGeomStorage::bucket_origin(const BYTE* node, XrPoint& origin)
{
    const BYTE* inner = node;
    if (!is_inner(node)) {
        int parent = xr_get_s16(node + 6);
        if (parent < 0 || parent >= inner_count)
            return false;
        inner = tree + parent * 26;
    }
    XrSplit s = read_split(inner);
    origin = XrPoint((s.x2s + s.x1e) / 2, (s.y1e + s.y2s) / 2);
    return true;
}

XrGeomCursor::Status XrSimpleGeomStorage::get_approximated_point_for_geom_id(int geom_id, XrPoint& point)
{
    const BYTE* node = nullptr;
    if (!get_node(static_cast<std::uint32_t>(geom_id) >> 16, node) || !bucket_origin(node, point))
        return XrGeomCursor::FAILED;
    return XrGeomCursor::OK;
}

bool XrSimpleGeomStorage::load_node_into_wb(size_t handle, int& size, XrPoint& origin, int& compact_end,
                                            int& side_start)
{
    const BYTE* node = nullptr;
    XrPoint o;
    if (!get_node(handle, node) || !bucket_origin(node, o))
        return false;
    if (get_loaded_bucket(handle) != nullptr) {
        fill_outputs(size, origin, compact_end, side_start);
        return true;
    }
    std::uint32_t offset = xr_get_u32(node);
    std::uint32_t length = xr_get_u16(node + 4);
    bool ok;
    if (length == 0) {
        ok = use_empty(handle, o);
    } else if (use_cached(handle, offset, length, o)) {
        ok = true;
    } else {
        const BYTE* raw = nullptr;
        ok = length > 2 && accessor->get_ptr(offset, length, &raw) == XrStorageAccessor::OK;
        if (ok) {
            int declared = static_cast<int>(xr_get_u16(raw));
            bool has_compact_end = version != 0x10004;
            ok = load_bucket(handle, offset, length, raw + 2, static_cast<int>(length) - 2, declared,
                             has_compact_end, o);
            accessor->release_ptr(raw);
        }
        if (!ok)
            release_wb();
    }
    if (ok)
        fill_outputs(size, origin, compact_end, side_start);
    return ok;
}

// ---------------------------------------------------- XrHeapGeomStorage

XrHeapGeomStorage::XrHeapGeomStorage(XrHeapStorage* heap, bool polyline_only, bool flag2)
    : XrStoredGeomStorage(polyline_only, flag2, nullptr), heap(heap)
{
}

XrHeapGeomStorage::~XrHeapGeomStorage()
{
    release_wb();
    delete heap;
}

int XrHeapGeomStorage::open()
{
    opened = false;
    release_wb();
    if (heap == nullptr)
        return OPEN_FAILED;
    unsigned int header_block = heap->get_root();
    std::uint32_t size = heap->get_block_size(header_block);
    if (size < static_cast<std::uint32_t>(HEADER_SIZE))
        return OPEN_FAILED;
    std::uint32_t n = size < HEADER_SIZE + 1 + 255 ? size : HEADER_SIZE + 1 + 255;
    const BYTE* h = nullptr;
    if (heap->read_block_data(header_block, 0, n, &h) != XrHeapStorage::OK)
        return OPEN_FAILED;
    bool ok = std::memcmp(h, "XRQT", 4) == 0;
    int v = static_cast<int>(xr_get_u32(h + 4));
    std::uint32_t k = xr_get_u32(h + 8);
    ok = ok && v >= 0x10004 && v <= 0x10007 && k >= 1 && k <= 5;
    ok = ok && set_coding(h + 16, n > 22 ? h[22] : 0, v);
    ok = ok && (k != 5 || with_id);
    if (ok) {
        set_type(k == 5 ? StorageMixed : static_cast<StorageType>(k));
        root = xr_get_u32(h + 12);
        if (n > 23) {
            const char* text = reinterpret_cast<const char*>(h + 23);
            int len = 0;
            while (len < static_cast<int>(n) - 23 && text[len] != 0)
                ++len;
            XrString layer;
            layer.assign_latin1(text, len);
            set_description(layer);
        }
    }
    heap->release_data(h);
    if (!ok)
        return OPEN_FAILED;
    header_box = XrRectangle();
    if (root != 0) {
        const BYTE* node = nullptr;
        if (!get_node(root, node))
            return OPEN_FAILED;
        header_box = normalised(xr_get_s32(node), xr_get_s32(node + 4), xr_get_s32(node + 8), xr_get_s32(node + 12));
        release_node(node);
    }
    opened = true;
    return OPENED;
}

bool XrHeapGeomStorage::get_node(size_t handle, const BYTE*& node)
{
    if (heap == nullptr || handle == 0 || handle > 0xFFFFFFFFu)
        return false;
    const BYTE* p = nullptr;
    if (heap->read_block_data(static_cast<unsigned int>(handle), 0, NODE_SIZE, &p) != XrHeapStorage::OK)
        return false;
    node = p;
    return true;
}

void XrHeapGeomStorage::release_node(const BYTE* node)
{
    if (node != nullptr)
        heap->release_data(node);
}

bool XrHeapGeomStorage::get_node_rect(const BYTE* node, const BYTE* child_node, XrRectangle& child,
                                      const XrRectangle& node_rect, int quarter)
{
    (void)node;
    (void)node_rect;
    (void)quarter;
    if (child_node == nullptr)
        return false;
    child = normalised(xr_get_s32(child_node), xr_get_s32(child_node + 4), xr_get_s32(child_node + 8),
                       xr_get_s32(child_node + 12));
    return true;
}

size_t XrHeapGeomStorage::get_child_handle(const BYTE* node, size_t quarter)
{
    if (node == nullptr || quarter > 3)
        return 0;
    return xr_get_u32(node + 16 + 4 * quarter);
}

size_t XrHeapGeomStorage::get_bucket_handle(const BYTE* node)
{
    return node == nullptr ? 0 : xr_get_u32(node + 32);
}

XrGeomCursor::Status XrHeapGeomStorage::get_approximated_point_for_geom_id(int geom_id, XrPoint& point)
{
    (void)geom_id;
    (void)point;
    return XrGeomCursor::NOT_SUPPORTED;
}

bool XrHeapGeomStorage::load_node_into_wb(size_t handle, int& size, XrPoint& origin, int& compact_end,
                                          int& side_start)
{
    if (!opened)
        return false;
    if (get_loaded_bucket(handle) != nullptr) {
        fill_outputs(size, origin, compact_end, side_start);
        return true;
    }
    bool ok;
    if (handle == 0) {
        ok = use_empty(handle, XrPoint(0, 0));
    } else {
        std::uint32_t n = handle > 0xFFFFFFFFu ? 0 : heap->get_block_size(static_cast<unsigned int>(handle));
        const BYTE* raw = nullptr;
        ok = n > 0 && n <= static_cast<std::uint32_t>(MAX_STREAM_BYTES) &&
             heap->read_block_data(static_cast<unsigned int>(handle), 0, n, &raw) == XrHeapStorage::OK;
        if (ok) {
            ok = load_bucket(handle, 0, n, raw, static_cast<int>(n), -1, false, XrPoint(0, 0));
            heap->release_data(raw);
        }
        if (!ok)
            release_wb();
    }
    if (ok)
        fill_outputs(size, origin, compact_end, side_start);
    return ok;
}
