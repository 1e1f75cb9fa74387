// The stored geometry readers on arbitrary bytes. The first byte picks the
// reader: bit 0 a heap storage (else a geometry file), bit 1 a block cache,
// bit 2 a query rectangle taken from the next 16 bytes, bit 3 polylines only,
// bit 4 a geometry file made here around the rest taken as one bucket (the
// records are not compressed in the input, so that they are what varies).
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include <zlib.h>

#include "common/container/xr_bytes.h"
#include "common/db/xr_geomfilelayout.h"
#include "common/db/xr_heapgeomstorage.h"
#include "common/storage/xr_heapstorage.h"
#include "common/storage/xr_storageaccessor.h"

namespace {

void decode(XrGeomCursor& c, const BYTE* rec, XrGeomStorage::XrRecordType kind)
{
    int id = 0, x = 0, y = 0;
    short type = 0, aux = 0;
    const BYTE* attributes = nullptr;
    if (kind == XrGeomStorage::RecPoint) {
        c.get_pt(rec, id, x, y, type, aux, attributes);
    } else if (kind == XrGeomStorage::RecText) {
        const TCHAR* text = nullptr;
        c.get_txt(rec, id, x, y, type, aux, text, attributes, 0, nullptr);
    } else {
        const BYTE* points = nullptr;
        BYTE coding = 0;
        int n = c.get_pp(rec, id, x, y, type, aux, points, coding, attributes);
        for (int i = 1; i < n; ++i)
            c.get_pp_next_pt(coding, x, y, points);
    }
}

void walk(XrStoredGeomStorage& s, const XrRectangle* rect)
{
    std::unique_ptr<XrGeomCursor> c(s.get_cursor(rect, 0));
    std::unique_ptr<XrGeomCursor> other(s.get_cursor(nullptr, 0));
    if (c == nullptr || other == nullptr)
        return;
    for (int n = 0; n < 200000; ++n) {
        const BYTE* rec = nullptr;
        XrGeomStorage::XrRecordType kind;
        XrGeomCursor::Status st = c->get_next_record(rec, kind);
        if (st == XrGeomCursor::END)
            break;
        if (st != XrGeomCursor::OK)
            continue;
        decode(*c, rec, kind);
        XrGid gid = 0;
        if (n % 5 == 0 && c->get_current_record_geom_id(gid)) {
            const BYTE* again = nullptr;
            if (other->get_record_by_geom_id(gid + (n % 3), kind, again) == XrGeomCursor::OK)
                decode(*other, again, kind);
            XrPoint p;
            other->get_approximated_point_for_geom_id(static_cast<int>(gid), p);
        }
        if (n % 11 == 0)
            c->skip_group();
    }
}

// A geometry file of one root node whose bucket holds the records; the
// input gives the coding byte, the record kind, the compact-header end and
// the format table before them.
std::vector<BYTE> wrap_bucket(const BYTE* data, size_t size)
{
    using namespace xrqt;
    const size_t table_bytes = 2 * FORMAT_TABLE_WORDS;
    if (size < 2 + COMPACT_END_WORD + table_bytes || size > 65000)
        return {};
    std::vector<BYTE> raw(data + 2, data + 2 + COMPACT_END_WORD);
    raw.insert(raw.end(), data + 2 + COMPACT_END_WORD + table_bytes, data + size);
    uLongf packed = compressBound(static_cast<uLong>(raw.size()));
    std::vector<BYTE> z(packed);
    if (compress(z.data(), &packed, raw.data(), static_cast<uLong>(raw.size())) != Z_OK ||
        packed + BUCKET_SIZE_WORD > MAX_BUCKET_LENGTH)
        return {};

    XrByteWriter f;
    f.bytes(MAGIC, MAGIC_SIZE);
    f.u32_le(VERSION_MAX);
    f.u32_le(KIND_FIRST + data[1] % KIND_MIXED);
    f.u32_le(INNER_NODE_SIZE); // the root alone
    f.u32_le(INNER_NODE_SIZE);
    for (int v : {-1000, -1000, 1000, 1000})
        f.u32_le(static_cast<std::uint32_t>(v));
    f.u8(static_cast<BYTE>((data[0] & 3) % 3)); // aux width
    f.u16_le(0);
    f.u8(static_cast<BYTE>((data[0] >> 2) % 3)); // type width
    f.u8(0);
    f.u8(static_cast<BYTE>((data[0] >> 4) & 3)); // flags
    f.u8(static_cast<BYTE>(data[0] >> 6));       // attribute bytes
    f.bytes(data + 2 + COMPACT_END_WORD, table_bytes);
    f.zeros(HEADER_SIZE - f.size());
    f.u32_le(static_cast<std::uint32_t>(HEADER_SIZE + INNER_NODE_SIZE));
    f.u16_le(static_cast<std::uint16_t>(packed + BUCKET_SIZE_WORD));
    f.zeros(INNER_NODE_SIZE - INNER_X2S);
    f.u16_le(static_cast<std::uint16_t>(raw.size()));
    f.bytes(z.data(), packed);
    return f.take();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    BYTE mode = data[0];
    ++data;
    --size;
    XrRectangle rect;
    bool has_rect = (mode & 4) != 0 && size >= 16;
    if (has_rect) {
        std::memcpy(&rect, data, 16);
        data += 16;
        size -= 16;
    }
    std::vector<BYTE> wrapped;
    if ((mode & 16) != 0) {
        wrapped = wrap_bucket(data, size);
        data = wrapped.data();
        size = wrapped.size();
        mode &= static_cast<BYTE>(~1);
    }
    BYTE* copy = new BYTE[size + 1];
    if (size > 0)
        std::memcpy(copy, data, size);
    auto* acc = new XrMemoryStorageAccessor(true, copy, static_cast<std::uint32_t>(size), true);
    if ((mode & 1) != 0) {
        XrHeapStorage* heap = new XrHeapStorage(0);
        heap->set_storage_accessor(acc);
        XrHeapGeomStorage s(heap, (mode & 8) != 0, false);
        if (heap->open(false) == XrHeapStorage::OK && s.open() == XrStoredGeomStorage::OPENED)
            walk(s, has_rect ? &rect : nullptr);
        return 0;
    }
    XrStoredGeomStorage::XrBlockCache cache(1 << 20);
    XrSimpleGeomStorage s(acc, (mode & 8) != 0, false, (mode & 2) != 0 ? &cache : nullptr);
    if (s.open() == XrStoredGeomStorage::OPENED) {
        walk(s, has_rect ? &rect : nullptr);
        s.free_memory();
        walk(s, nullptr);
    }
    return 0;
}
