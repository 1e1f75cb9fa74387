// Geometry storages hand out geometry records through cursors: a cursor walks
// the records of one storage that lie in a query rectangle and decodes them.
#pragma once

#include <cstddef>
#include <memory>

#include "common/base/xr_memorynotifier.h"
#include "common/container/xr_bytes.h"
#include "common/container/xr_defs.h"
#include "common/container/xr_string.h"
#include "common/db/xr_gid.h"
#include "common/geometry/xr_point.h"

class XrGeomCursor;

// Names one record of a storage for a later XrGeomCursor::get_record.
class XrMapItem {
public:
    XrMapItem() = default;
    XrMapItem(const XrMapItem&) = delete;
    XrMapItem& operator=(const XrMapItem&) = delete;
    virtual ~XrMapItem() = default;

    // The record's identifier as text; false when the item cannot tell it.
    virtual bool get_id_string(XrString& out) const;
};

class XrGeomStorage : public XrMemoryNotifierClient {
public:
    // Which record kinds a storage holds (the same numbers as the kinds).
    enum StorageType : int {
        StorageMixed = 0,
        StoragePoints = 1,
        StoragePolylines = 2,
        StoragePolygons = 3,
        StorageTexts = 4,
    };

    // Record kinds, as stored in files and blobs.
    enum XrRecordType : int {
        RecPoint = 1,
        RecPolyline = 2,
        RecPolygon = 3,
        RecText = 4,
    };

    enum Status : int {
        OK = 0,
        FAILED = 1,
        KIND_REFUSED = 2,
        NOT_FOUND = 3,
        NOT_SUPPORTED = 4,
    };

    XrGeomStorage() = default;
    ~XrGeomStorage() override = default;

    void free_memory() override {}
    virtual void set_type(StorageType type) { storage_type = type; }
    // A new cursor, owned by the caller, over the records in rect (null:
    // all) for the given scale; null when the storage cannot be read.
    virtual XrGeomCursor* get_cursor(const XrRectangle* rect, int scale) = 0;
    virtual Status add_record(XrRecordType type, const BYTE* data, size_t size);
    virtual Status clear();
    virtual Status get_description(XrString& out);
    virtual const XrRectangle& get_bounding_box() { return bounding_box; }

    StorageType get_type() const { return storage_type; }
    const XrString& get_name() const { return name; }
    void set_name(const XrString& value) { name = value; }

    // True for the four record kinds 1 to 4.
    static bool is_record_kind(int type) { return type >= RecPoint && type <= RecText; }

protected:
    StorageType storage_type = StorageMixed;
    XrString name;
    XrRectangle bounding_box;
};

// The in-memory record layout (little-endian) that the decoders of
// XrGeomCursor read:
//   points and texts: id (4), type (2), aux (2), x (4), y (4), texts: UTF-8
//     text with its terminator;
//   polylines and polygons: id (4), type (2), aux (2; bit 15 selects coding
//     16, else 32), x (3), y (3), then the points 2..n as pairs of signed
//     variable-length differences, x first.
namespace xr_memory_record {
constexpr std::size_t ID = 0;
constexpr std::size_t TYPE = 4;
constexpr std::size_t AUX = 6;
constexpr std::size_t X = 8;
constexpr std::size_t POINT_Y = 12;
constexpr std::size_t POINT_SIZE = 16; // a text's bytes follow
constexpr std::size_t POLY_Y = 11;
constexpr std::size_t POLY_SIZE = 14; // the differences follow
constexpr unsigned int AUX_CODING_16 = 0x8000;
} // namespace xr_memory_record

// Walks records of one storage.
class XrGeomCursor {
public:
    enum Status : int {
        OK = 0,
        FAILED = 1,
        END = 2,
        NOT_FOUND = 3,
        KIND_REFUSED = 4,
        NOT_SUPPORTED = 5,
    };

    // Characters of text_buffer (with the terminator).
    static constexpr int TEXT_BUFFER_CHARS = 512;

    explicit XrGeomCursor(const XrRectangle* rect);
    XrGeomCursor(const XrGeomCursor&) = delete;
    XrGeomCursor& operator=(const XrGeomCursor&) = delete;
    virtual ~XrGeomCursor();

    virtual const XrRectangle* get_query_rect() const { return has_query_rect ? &query_rect : nullptr; }
    // OK with the next record, END after the last.
    virtual Status get_next_record(const BYTE*& data, XrGeomStorage::XrRecordType& type) = 0;
    virtual void skip_group() {}
    // A new item, owned by the caller, naming the record last returned.
    virtual XrMapItem* get_current_map_item() = 0;
    virtual bool get_current_record_geom_id(XrGid& id) = 0;
    virtual Status get_record(const XrMapItem* item, XrGeomStorage::XrRecordType& type, const BYTE*& data) = 0;
    virtual Status get_record_by_rec_id(int id, XrGeomStorage::XrRecordType& type, const BYTE*& data);
    virtual Status get_record_by_geom_id(XrGid id, XrGeomStorage::XrRecordType& type, const BYTE*& data);
    virtual Status get_approximated_point_for_geom_id(int id, XrPoint& point);
    // Reads on from the current position to the first record with the id.
    virtual Status find_record_by_id(int id, XrGeomStorage::XrRecordType& type, const BYTE*& data);
    virtual Status delete_current_record();
    virtual Status replace_current_record(XrGeomStorage::XrRecordType type, const BYTE* data, size_t size);

    // Decoders of a record handed out by this cursor; false (the outputs
    // partly set) when the record cannot be decoded. The attribute pointer
    // is set only for a record that has attribute bytes.
    virtual bool get_pt(const BYTE* record, int& id, int& x, int& y, short& type, short& aux,
                        const BYTE*& attributes);
    // The text stays in this cursor's buffer until the next get_txt.
    virtual bool get_txt(const BYTE* record, int& id, int& x, int& y, short& type, short& aux, const TCHAR*& text,
                         const BYTE*& attributes, int language, int* found_language);
    // The first point in x, y; returns the number of points (0 when the
    // record cannot be decoded). points and coding are the state that
    // get_pp_next_pt advances, one point per call, count - 1 times.
    virtual int get_pp(const BYTE* record, int& id, int& x, int& y, short& type, short& aux, const BYTE*& points,
                       BYTE& coding, const BYTE*& attributes);
    virtual void get_pp_next_pt(BYTE coding, int& x, int& y, const BYTE*& p);

protected:
    // The end of a record handed out by this cursor, or null when unknown;
    // the base polypoint decoder counts the points up to it.
    virtual const BYTE* get_record_end(const BYTE* record);
    // False for a null record or one known to be shorter than n bytes.
    bool long_enough(const BYTE* record, int n);
    // Decodes bytes of a text into text_buffer (cut to its size) and picks the
    // wanted language variant when select is set.
    const TCHAR* set_text(const BYTE* text, int len, bool utf8, bool select, int language, int* found_language);

    XrRectangle query_rect;
    bool has_query_rect;
    std::unique_ptr<TCHAR[]> text_buffer;
};

// One text record as a cursor decodes it; the text stays in the cursor's
// buffer until the next record is decoded.
struct XrTextRecord {
    int id = 0;
    int x = 0;
    int y = 0;
    short type = 0;
    short aux = 0;
    const TCHAR* text = nullptr;
    const BYTE* attributes = nullptr;
};

// Calls fn(const XrTextRecord&) for every text record from the cursor on, in
// the given language; other kinds and records that do not decode are passed
// over. fn returns false to end the walk.
template <class Fn>
void xr_for_each_text_record(XrGeomCursor& cursor, int language, Fn fn)
{
    const BYTE* data = nullptr;
    XrGeomStorage::XrRecordType kind{};
    while (cursor.get_next_record(data, kind) == XrGeomCursor::OK) {
        if (kind != XrGeomStorage::RecText)
            continue;
        XrTextRecord r;
        if (!cursor.get_txt(data, r.id, r.x, r.y, r.type, r.aux, r.text, r.attributes, language, nullptr) ||
            r.text == nullptr)
            continue;
        if (!fn(static_cast<const XrTextRecord&>(r)))
            return;
    }
}

// Signed variable-length numbers of one to three bytes: bit 6 of the first
// byte is set for values >= 0, bit 7 of a byte says that another follows.
namespace xr_varint {
// Length of the number at p (1 to 3), from its first two bytes.
inline int length(const BYTE* p)
{
    if (p[0] < 0x80)
        return 1;
    return (p[1] & 0x80) != 0 ? 3 : 2;
}
// Length of the number at p when its bytes lie before end; 0 when cut.
inline int length_within(const BYTE* p, const BYTE* end)
{
    if (p >= end)
        return 0;
    if (p[0] < 0x80)
        return 1;
    if (end - p < 2)
        return 0;
    int n = (p[1] & 0x80) != 0 ? 3 : 2;
    return end - p >= n ? n : 0;
}
// Decodes the number at p (at most 3 bytes) and advances p.
inline int read(const BYTE*& p)
{
    BYTE first = *p++;
    int v = first & 0x3F;
    BYTE b = first;
    for (int i = 1; i < 3 && (b & 0x80) != 0; ++i) {
        b = *p++;
        v = (v << 7) + (b & 0x7F);
    }
    return (first & 0x40) != 0 ? v : -v;
}
// Bytes that value takes (1 to 3); 0 when it cannot be written.
inline int size_of(int value)
{
    long long m = value < 0 ? -static_cast<long long>(value) : value;
    if (m < 64)
        return 1;
    if (m < 8192)
        return 2;
    if (m < (1 << 20))
        return 3;
    return 0;
}
} // namespace xr_varint

// Loads the points of a polyline or polygon record from a cursor into the
// polygon. Unless keep_open, a polyline makes the polygon open and a polygon
// closed; other kinds give false. The record's type becomes the polygon's.
class XrPolygon;
bool read_polygon_from_cursor(XrPolygon& polygon, XrGeomStorage::XrRecordType type, const BYTE* record,
                              XrGeomCursor* cursor, bool keep_open);
