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

void put32(std::vector<BYTE>& v, std::uint32_t x)
{
    for (int i = 0; i < 4; ++i)
        v.push_back(static_cast<BYTE>(x >> (8 * i)));
}

// A geometry file of one root node whose bucket holds the records; the
// input gives the coding byte, the record kind, the compact-header end and
// the format table before them.
std::vector<BYTE> wrap_bucket(const BYTE* data, size_t size)
{
    std::vector<BYTE> f;
    if (size < 2 + 2 + 128 || size > 65000)
        return f;
    f.insert(f.end(), {'X', 'R', 'Q', 'T'});
    put32(f, 0x10007);
    put32(f, 1 + data[1] % 5);
    put32(f, 26);
    put32(f, 26);
    for (int v : {-1000, -1000, 1000, 1000})
        put32(f, static_cast<std::uint32_t>(v));
    f.insert(f.end(), {static_cast<BYTE>((data[0] & 3) % 3), 0, 0, static_cast<BYTE>((data[0] >> 2) % 3), 0,
                       static_cast<BYTE>((data[0] >> 4) & 3), static_cast<BYTE>(data[0] >> 6)});
    f.insert(f.end(), data + 4, data + 4 + 128);
    f.resize(213, 0);
    std::vector<BYTE> raw(data + 2, data + 4);
    raw.insert(raw.end(), data + 4 + 128, data + size);
    uLongf packed = compressBound(static_cast<uLong>(raw.size()));
    std::vector<BYTE> z(packed);
    if (compress(z.data(), &packed, raw.data(), static_cast<uLong>(raw.size())) != Z_OK)
        return {};
    put32(f, 213 + 26);
    f.push_back(static_cast<BYTE>(packed + 2));
    f.push_back(static_cast<BYTE>((packed + 2) >> 8));
    f.insert(f.end(), {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    f.push_back(static_cast<BYTE>(raw.size()));
    f.push_back(static_cast<BYTE>(raw.size() >> 8));
    f.insert(f.end(), z.begin(), z.begin() + packed);
    return packed + 2 <= 0xFFFF ? f : std::vector<BYTE>();
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
        if (heap->open(false) == XrHeapStorage::OK && s.open() == XrHeapGeomStorage::OPENED)
            walk(s, has_rect ? &rect : nullptr);
        return 0;
    }
    XrStoredGeomStorage::XrBlockCache cache(1 << 20);
    XrSimpleGeomStorage s(acc, (mode & 8) != 0, false, (mode & 2) != 0 ? &cache : nullptr);
    if (s.open() == 0) {
        walk(s, has_rect ? &rect : nullptr);
        s.free_memory();
        walk(s, nullptr);
    }
    return 0;
}
