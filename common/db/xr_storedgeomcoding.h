// The record coding of stored geometry: the coding parameters of a geometry
// header and the decoders of the stored record layouts, with the side table
// (length, kind and box of every record) that a decompressed bucket gets.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/container/xr_array.h"
#include "common/db/xr_geomstorage.h"

// One record of a loaded bucket: where it lies, its kind and its box.
struct XrGeomSideEntry {
    std::uint16_t offset = 0;
    std::uint16_t length = 0;
    BYTE kind = 0;
    XrRectangle box;
};

// A decompressed bucket with its side table.
struct XrGeomBucket {
    const BYTE* data = nullptr; // the records
    int size = 0;
    int compact_end = 0; // records before this offset have compact headers
    const XrGeomSideEntry* side = nullptr;
    int side_count = 0;
    int side_start = 0; // first entry at or after compact_end
    XrPoint origin;

    // The entry of the record that starts at offset, or null.
    const XrGeomSideEntry* find_entry(int offset) const;
};

// Index of the first entry at or after offset.
inline int xr_first_side_entry(const XrGeomSideEntry* side, int count, int offset)
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

inline const XrGeomSideEntry* XrGeomBucket::find_entry(int offset) const
{
    int i = xr_first_side_entry(side, side_count, offset);
    if (i < side_count && side[i].offset == offset)
        return side + i;
    return nullptr;
}

// The arrays a side table is built in.
struct XrGeomSideScratch {
    XrArray<XrGeomSideEntry> side{64};
    XrArray<int> depth{256};       // of every record's chain of shared first points
    XrArray<XrPoint> firsts{256};  // every record's first point
};

class XrStoredGeomCoding {
public:
    // Longest chain of shared first points.
    static constexpr int MAX_SHARED_DEPTH = 64;

    // Reads the coding block of a header (see xrqt::coding) with the
    // attribute byte count and the file version; false for widths out of
    // range.
    bool read(const BYTE* block, int attributes, std::uint32_t version);
    // The storage kind: 0 points, 1 polylines, 2 polygons, 3 texts, -1 mixed.
    void set_kind(int k) { kind = k; }
    // Reads the format table (xrqt::FORMAT_TABLE_WORDS words), or clears it.
    void read_format_table(const BYTE* table);

    // Decoded fields of a point or text record.
    struct XrPointFields {
        int id = 0;
        int x = 0;
        int y = 0;
        int type = 0;
        int aux = 0;
        const BYTE* attributes = nullptr;
        const BYTE* text = nullptr; // texts: the text bytes, text_len of them
        int text_len = 0;
        int length = 0; // of the whole record
    };
    // Decoded header of a polyline or polygon record.
    struct XrPolyHeader {
        int id = 0;
        int count = 0;
        int type = 0;
        bool byte_deltas = false;
        const BYTE* attributes = nullptr;
        const BYTE* points = nullptr; // the second point's difference
        const BYTE* end = nullptr;    // the end of the record
        XrPoint first;
    };

    // Decoders of a record of the bucket (one of its side entries).
    bool decode_point(const XrGeomBucket& bucket, const XrGeomSideEntry& entry, XrPointFields& out) const;
    bool decode_poly(const XrGeomBucket& bucket, const XrGeomSideEntry& entry, XrPolyHeader& out) const;

    // Checks the records of a decompressed bucket and builds its side table
    // in scratch.side; false for a damaged bucket.
    bool build_len_and_bbox(const BYTE* data, int size, int compact_end, const XrPoint& origin,
                            XrGeomSideScratch& scratch) const;

    // Adds the next difference at p (before end) to x, y and moves p past
    // it: a pair of signed bytes, or of variable-length numbers; doubled in
    // half units. False, nothing changed, when the difference is cut.
    static bool step_point(bool byte_deltas, bool half_units, const BYTE*& p, const BYTE* end, int& x, int& y)
    {
        int dx, dy;
        if (byte_deltas) {
            if (end - p < 2)
                return false;
            dx = static_cast<signed char>(p[0]);
            dy = static_cast<signed char>(p[1]);
            p += 2;
        } else {
            int nx = xr_varint::length_within(p, end);
            int ny = nx == 0 ? 0 : xr_varint::length_within(p + nx, end);
            if (ny == 0)
                return false;
            dx = xr_varint::read(p);
            dy = xr_varint::read(p);
        }
        if (half_units) {
            dx = twice(dx);
            dy = twice(dy);
        }
        x = wrap_add(x, dx);
        y = wrap_add(y, dy);
        return true;
    }

    // Arithmetic that wraps instead of overflowing on damaged data.
    static int wrap_add(int a, int b)
    {
        return static_cast<int>(static_cast<unsigned int>(a) + static_cast<unsigned int>(b));
    }
    static int twice(int v) { return static_cast<int>(static_cast<unsigned int>(v) << 1); }

    bool has_ids() const { return with_id != 0; }
    bool has_three_byte_coords() const { return three_byte_coords != 0; }
    int get_type_width() const { return type_width; }
    int get_default_type() const { return default_type; }
    int get_aux_width() const { return aux_width; }
    int get_default_aux() const { return default_aux; }
    int get_attr_count() const { return attr_count; }
    bool has_half_unit_deltas() const { return half_unit_deltas != 0; }
    bool has_utf8_texts() const { return utf8_texts != 0; }
    bool has_convert_texts() const { return convert_texts != 0; }
    void set_convert_texts(bool value) { convert_texts = value; }

private:
    int record_kind(const BYTE* data, int offset) const;
    // Reads the id at p (when the records carry ids); false when no byte
    // follows it.
    bool take_id(const BYTE*& p, const BYTE* end, int& id) const;
    // Length of the record at offset (0 when damaged); first point and box
    // of polypoints are resolved against the entries before it.
    bool check_record(const BYTE* data, int size, int compact_end, const XrPoint& origin, int offset,
                      XrGeomSideScratch& scratch) const;
    bool point_fields(const BYTE* rec, const BYTE* end, bool text, const XrPoint& origin, XrPointFields& out) const;
    bool poly_header(const BYTE* rec, const BYTE* end, bool compact, const XrPoint& origin, XrPolyHeader& out,
                     int& back) const;
    // Follows the points of a polyline from its first point; false when cut.
    bool walk_points(XrPolyHeader& hdr, XrRectangle& box) const;

    BYTE with_id = 0;
    BYTE three_byte_coords = 0;
    int type_width = 2;
    int default_type = 0;
    int aux_width = 2;
    int default_aux = 0;
    int kind = -1; // 0 points, 1 polylines, 2 polygons, 3 texts, -1 mixed
    int attr_count = 0;
    BYTE half_unit_deltas = 0;
    BYTE has_format_table = 0;
    std::uint16_t format_table[64] = {};
    BYTE utf8_texts = 0;
    BYTE convert_texts = 0;
};
