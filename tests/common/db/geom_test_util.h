// Helpers of the geometry storage tests: records made from plain values,
// storages over file bytes, and everything a cursor hands out, decoded.
#pragma once

#include <algorithm>
#include <cstring>
#include <ostream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/container/xr_bytes.h"
#include "common/db/xr_datasource.h"
#include "common/db/xr_heapgeomstorage.h"
#include "common/misc/xr_utf8.h"
#include "common/storage/xr_storageaccessor.h"
#include "tools/mapgen/xrqt_writer.h"

// A record as the tests describe and read it.
struct GeomItem {
    int kind = XrGeomStorage::RecPoint;
    int id = 0;
    int type = 0;
    int aux = 0;
    std::vector<XrPoint> points;
    std::string text; // UTF-8
    std::vector<BYTE> attributes;

    bool operator==(const GeomItem&) const = default;

    XrRectangle box() const
    {
        XrRectangle b(points[0].x, points[0].y, points[0].x, points[0].y);
        for (const XrPoint& p : points) {
            b.left = std::min(b.left, p.x);
            b.top = std::min(b.top, p.y);
            b.right = std::max(b.right, p.x);
            b.bottom = std::max(b.bottom, p.y);
        }
        return b;
    }

    bool meets(const XrRectangle& r) const
    {
        XrRectangle b = box();
        return b.left <= r.right && r.left <= b.right && b.top <= r.bottom && r.top <= b.bottom;
    }
};

inline std::ostream& operator<<(std::ostream& os, const GeomItem& g)
{
    os << "{kind " << g.kind << " id " << g.id << " type " << g.type << " aux " << g.aux << " pts";
    for (const XrPoint& p : g.points)
        os << " " << p.x << "," << p.y;
    return os << " text '" << g.text << "' attr " << g.attributes.size() << "}";
}

inline XrGeomRec* make_record(const GeomItem& g)
{
    XrGeomRec* r = nullptr;
    switch (g.kind) {
    case XrGeomStorage::RecPoint:
        r = new XrPointGeomRec(g.id, g.points[0].x, g.points[0].y, static_cast<unsigned short>(g.type),
                               static_cast<short>(g.aux));
        break;
    case XrGeomStorage::RecText:
        r = new XrTextGeomRec(g.id, g.points[0].x, g.points[0].y, static_cast<unsigned short>(g.type),
                              static_cast<unsigned short>(g.aux), g.text.c_str());
        break;
    default: {
        XrPolypointGeomRec* p =
            new XrPolypointGeomRec(g.kind == XrGeomStorage::RecPolygon, g.id, static_cast<unsigned short>(g.type));
        for (const XrPoint& pt : g.points)
            p->add_point(pt);
        r = p;
    }
    }
    if (!g.attributes.empty())
        r->set_attributes(g.attributes.data(), static_cast<int>(g.attributes.size()));
    return r;
}

// Owns the records of a list of items.
struct RecordSet {
    std::vector<XrGeomRec*> records;
    explicit RecordSet(const std::vector<GeomItem>& items)
    {
        for (const GeomItem& g : items)
            records.push_back(make_record(g));
    }
    ~RecordSet()
    {
        for (XrGeomRec* r : records)
            delete r;
    }
};

inline std::vector<BYTE> build_file(const std::vector<GeomItem>& items, const XrGeomFileOptions& options)
{
    RecordSet set(items);
    std::vector<BYTE> bytes;
    std::string error;
    EXPECT_TRUE(build_xrqt(set.records, options, bytes, error)) << error;
    return bytes;
}

// A storage over a copy of the bytes; null when it does not open.
inline XrSimpleGeomStorage* open_bytes(const std::vector<BYTE>& bytes, XrStoredGeomStorage::XrBlockCache* cache = nullptr,
                                       bool polyline_only = false)
{
    BYTE* copy = new BYTE[bytes.size() + 1];
    if (!bytes.empty())
        std::memcpy(copy, bytes.data(), bytes.size());
    XrMemoryStorageAccessor* acc =
        new XrMemoryStorageAccessor(true, copy, static_cast<std::uint32_t>(bytes.size()), true);
    XrSimpleGeomStorage* s = new XrSimpleGeomStorage(acc, polyline_only, false, cache);
    if (s->open() != XrStoredGeomStorage::OPENED) {
        delete s;
        return nullptr;
    }
    return s;
}

// Decodes one record the cursor handed out.
inline GeomItem decode(XrGeomCursor& c, const BYTE* rec, XrGeomStorage::XrRecordType kind, int attr_count)
{
    GeomItem g;
    g.kind = kind;
    int id = 0, x = 0, y = 0;
    short type = 0, aux = 0;
    const BYTE* attributes = nullptr;
    if (kind == XrGeomStorage::RecPoint || kind == XrGeomStorage::RecText) {
        const TCHAR* text = nullptr;
        bool ok = kind == XrGeomStorage::RecPoint ? c.get_pt(rec, id, x, y, type, aux, attributes)
                                                  : c.get_txt(rec, id, x, y, type, aux, text, attributes, 0, nullptr);
        EXPECT_TRUE(ok);
        g.points.push_back(XrPoint(x, y));
        g.aux = kind == XrGeomStorage::RecText ? static_cast<unsigned short>(aux) : aux;
        if (text != nullptr) {
            XrByteArray utf8;
            XrUTF8::encode_utf8(text, -1, utf8);
            g.text.assign(reinterpret_cast<const char*>(utf8.get_items()), utf8.get_num_items());
        }
    } else {
        const BYTE* pts = nullptr;
        BYTE coding = 0;
        int n = c.get_pp(rec, id, x, y, type, aux, pts, coding, attributes);
        EXPECT_GT(n, 0);
        g.points.push_back(XrPoint(x, y));
        for (int i = 1; i < n; ++i) {
            c.get_pp_next_pt(coding, x, y, pts);
            g.points.push_back(XrPoint(x, y));
        }
    }
    g.id = id;
    g.type = static_cast<unsigned short>(type);
    if (attributes != nullptr)
        g.attributes.assign(attributes, attributes + attr_count);
    return g;
}

// Every record of a cursor; status is what ended the walk.
inline std::vector<GeomItem> read_all(XrGeomCursor& c, int attr_count = 0, XrGeomCursor::Status* status = nullptr)
{
    std::vector<GeomItem> out;
    for (;;) {
        const BYTE* rec = nullptr;
        XrGeomStorage::XrRecordType kind = XrGeomStorage::RecPoint;
        XrGeomCursor::Status s = c.get_next_record(rec, kind);
        if (s != XrGeomCursor::OK) {
            if (status != nullptr)
                *status = s;
            return out;
        }
        out.push_back(decode(c, rec, kind, attr_count));
    }
}

inline std::vector<GeomItem> query(XrGeomStorage& s, const XrRectangle* rect, int attr_count = 0,
                                   XrGeomCursor::Status* status = nullptr)
{
    std::unique_ptr<XrGeomCursor> c(s.get_cursor(rect, 0));
    if (c == nullptr)
        return {};
    return read_all(*c, attr_count, status);
}

inline void sort_by_id(std::vector<GeomItem>& items)
{
    std::sort(items.begin(), items.end(), [](const GeomItem& a, const GeomItem& b) { return a.id < b.id; });
}

inline void put_u16(std::vector<BYTE>& v, size_t at, unsigned int x)
{
    xr_bytes::put_u16_le(v.data() + at, static_cast<std::uint16_t>(x));
}

inline void put_u32(std::vector<BYTE>& v, size_t at, unsigned int x)
{
    xr_bytes::put_u32_le(v.data() + at, x);
}
