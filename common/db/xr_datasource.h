// Geometry records: points, texts, polylines and polygons in memory, and
// their serialisation into the compact blobs that the geometry storages read.
#pragma once

#include <memory>

#include "common/container/xr_array.h"
#include "common/container/xr_bytearray.h"
#include "common/container/xr_hash.h"
#include "common/container/xr_string.h"
#include "common/db/xr_geomstorage.h"
#include "common/geometry/xr_point.h"

// The first-point dictionary hashes points by both coordinates.
inline unsigned int xr_hash_key(const XrPoint& p)
{
    return xr_hash_key(p.x) + xr_hash_key(p.y);
}

// How a blob is laid out.
struct XrRecDataOption {
    BYTE with_id = 1;           // the 4-byte identifier first
    BYTE three_byte_coords = 0; // absolute coordinates in 3 bytes instead of 4
    unsigned int attr_count = 0; // attribute bytes written for records that have them; 0 = never
    int aux_width = 2;          // 0, 1 or 2 bytes
    int type_width = 2;         // 0 (flag byte only), 1 or 2 type bytes
    int reserved1 = 0;
    int reserved2 = 0;
};

class XrGeomRec {
public:
    XrGeomRec(int id, unsigned short type) : id(id), type(type) {}
    XrGeomRec(const XrGeomRec&) = delete;
    XrGeomRec& operator=(const XrGeomRec&) = delete;
    virtual ~XrGeomRec() = default;

    // Appends the record's blob to out and reports its kind. origin (0, 0)
    // means none: nothing is delta-coded. first_points (may be null) maps the
    // first points of earlier polylines of the same bucket to their byte
    // positions; position is where this blob starts in the bucket. Returns
    // false, with out unchanged, when the record cannot be written with these
    // options (coordinates or differences outside the coded ranges, no or too
    // many points).
    virtual bool get_blob(const XrRecDataOption& options, const XrPoint& origin, XrGeomStorage::XrRecordType& rec_kind,
                          XrByteArray& out, XrHash<XrPoint, int>* first_points = nullptr, int position = 0,
                          const int* format_words = nullptr, int format_word_count = 0) = 0;
    // With the default options and no origin.
    bool get_blob(XrGeomStorage::XrRecordType& rec_kind, XrByteArray& out);

    virtual XrGeomStorage::XrRecordType get_rec_type() const = 0;
    virtual bool get_bounding_box(XrRectangle& box) = 0;
    virtual int get_length() = 0;
    // The compact-header word of a polyline or polygon; -1 when it has none.
    virtual int get_format_word() { return -1; }
    // The exact length of the blob without dictionary and format words; -1
    // when the record cannot be written.
    virtual int size_in_bytes(const XrRecDataOption& options, const XrPoint& origin) = 0;

    // Copies n attribute bytes (n <= 0 or null: none). The options tell how
    // many are written; missing bytes are written as 0.
    void set_attributes(const BYTE* data, int n);
    const BYTE* get_attributes() const { return attributes.get(); }
    int get_attributes_size() const { return attributes_size; }

    int id;
    unsigned short type;

protected:
    // Whether the blob carries attribute bytes and the flag that marks them.
    bool writes_attributes(const XrRecDataOption& options) const;
    // Appends the attribute bytes (attr_count of them).
    bool append_attributes(const XrRecDataOption& options, XrByteArray& out) const;
    // The blob of a point or text up to its attribute bytes.
    bool append_point_blob(const XrRecDataOption& options, const XrPoint& origin, int x, int y, int aux,
                           XrByteArray& out) const;
    int point_blob_size(const XrRecDataOption& options, const XrPoint& origin, int x, int y) const;

    int reserved = 0;
    std::unique_ptr<BYTE[]> attributes;
    int attributes_size = 0;
};

class XrPointGeomRec : public XrGeomRec {
public:
    XrPointGeomRec(int id, int x, int y, unsigned short type, short aux) : XrGeomRec(id, type), aux(aux), x(x), y(y) {}

    using XrGeomRec::get_blob;
    bool get_blob(const XrRecDataOption& options, const XrPoint& origin, XrGeomStorage::XrRecordType& rec_kind,
                  XrByteArray& out, XrHash<XrPoint, int>* first_points = nullptr, int position = 0,
                  const int* format_words = nullptr, int format_word_count = 0) override;
    XrGeomStorage::XrRecordType get_rec_type() const override { return XrGeomStorage::RecPoint; }
    bool get_bounding_box(XrRectangle& box) override;
    int get_length() override { return 0; }
    int size_in_bytes(const XrRecDataOption& options, const XrPoint& origin) override;

    short aux;
    int x;
    int y;
};

class XrTextGeomRec : public XrGeomRec {
public:
    // text: UTF-8 (bytes that are not valid UTF-8 are taken as Latin-1).
    XrTextGeomRec(int id, int x, int y, unsigned short type, unsigned short aux, const char* text);

    using XrGeomRec::get_blob;
    bool get_blob(const XrRecDataOption& options, const XrPoint& origin, XrGeomStorage::XrRecordType& rec_kind,
                  XrByteArray& out, XrHash<XrPoint, int>* first_points = nullptr, int position = 0,
                  const int* format_words = nullptr, int format_word_count = 0) override;
    XrGeomStorage::XrRecordType get_rec_type() const override { return XrGeomStorage::RecText; }
    bool get_bounding_box(XrRectangle& box) override;
    int get_length() override { return 0; }
    int size_in_bytes(const XrRecDataOption& options, const XrPoint& origin) override;

    int x;
    int y;
    unsigned short aux;
    XrString text;
};

class XrPolypointGeomRec : public XrGeomRec {
public:
    // Records with more points cannot be written.
    static constexpr int MAX_POINTS = 4095;

    XrPolypointGeomRec(bool closed, int id, unsigned short type)
        : XrGeomRec(id, type), kind(closed ? XrGeomStorage::RecPolygon : XrGeomStorage::RecPolyline), points(8, 8)
    {
    }

    using XrGeomRec::get_blob;
    bool get_blob(const XrRecDataOption& options, const XrPoint& origin, XrGeomStorage::XrRecordType& rec_kind,
                  XrByteArray& out, XrHash<XrPoint, int>* first_points = nullptr, int position = 0,
                  const int* format_words = nullptr, int format_word_count = 0) override;
    XrGeomStorage::XrRecordType get_rec_type() const override { return kind; }
    bool get_bounding_box(XrRectangle& box) override;
    int get_length() override;
    int get_format_word() override;
    int size_in_bytes(const XrRecDataOption& options, const XrPoint& origin) override;

    bool add_point(const XrPoint& p);
    void set_points(const XrStaticArray<XrPoint>& pts);
    const XrArray<XrPoint>& get_points() const { return points; }
    int get_point_count() const { return points.get_num_items(); }

    // Drops the points that the half-unit coding cannot tell apart (once).
    void prepare_points();
    bool is_prepared() const { return prepared != 0; }
    // Records prepared by the calling thread (writers prepare records on
    // several threads at once).
    static int get_prepared_count();

    // Points equal to their predecessor; ends_on_duplicate (may be null) is
    // set when the last point is one of them.
    int count_duplicate_points(bool* ends_on_duplicate) const;
    // The total length as a double.
    double get_total_length() const;
    // Thins the points (tolerance >= 0: Douglas-Peucker, split cuts the line
    // at repeated points and thins every piece; tolerance < 0: snapping to a
    // staggered grid of cell -tolerance). False, points unchanged, when the
    // result would be degenerate.
    bool generalize(int tolerance, bool split, bool hold_start, bool hold_end);
    // Polygons only: keeps the first ring and the further rings whose
    // perimeter is at least min_length.
    bool remove_small_rings(int min_length);

protected:
    void points_changed();
    bool generalize_to_grid(int cell, bool split);

    BYTE prepared = 0;
    int cached_length = -1;
    XrGeomStorage::XrRecordType kind;
    XrArray<XrPoint> points;
};

// A polyline with a label, drawn along the line; it has no blob.
class XrLabelLineGeomRec : public XrPolypointGeomRec {
public:
    XrLabelLineGeomRec(int id, unsigned short type, const XrString& label)
        : XrPolypointGeomRec(false, id, type), label(label)
    {
    }

    using XrGeomRec::get_blob;
    bool get_blob(const XrRecDataOption& options, const XrPoint& origin, XrGeomStorage::XrRecordType& rec_kind,
                  XrByteArray& out, XrHash<XrPoint, int>* first_points = nullptr, int position = 0,
                  const int* format_words = nullptr, int format_word_count = 0) override;
    int size_in_bytes(const XrRecDataOption& options, const XrPoint& origin) override;

    XrString label;
};

// Helpers on point lists.

// Fewer than 3 points, or 3 with the first equal to the last.
bool xr_is_degenerate_ring(const XrStaticArray<XrPoint>& ring);
// Douglas-Peucker: appends the kept points of first..last (last -1: the
// last point) to out, the point at last included.
void xr_thin_points(const XrStaticArray<XrPoint>& pts, int tolerance, int first, int last, XrArray<XrPoint>& out);
// The nearest point of the staggered grid of the given cell size.
XrPoint xr_snap_to_grid(const XrPoint& p, int cell);
// Whether every difference of consecutive points, in half units, lies in
// -127..127 (the byte-delta coding).
bool xr_fits_byte_deltas(const XrStaticArray<XrPoint>& pts);
// Whether every difference of consecutive points lies in -32768..32767.
bool xr_fits_short_deltas(const XrStaticArray<XrPoint>& pts);
// Whether every difference of consecutive points lies in -2047..2048.
bool xr_fits_12bit_deltas(const XrStaticArray<XrPoint>& pts);
// x rounded toward zero to an even value.
inline int xr_round_even(int v)
{
    return v - v % 2;
}
