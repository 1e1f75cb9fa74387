#include "common/db/xr_datasource.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "common/geometry/xr_geometry.h"
#include "common/misc/xr_utf8.h"

namespace {

thread_local int prepared_records = 0;

bool in_s16(long long v)
{
    return v >= -32768 && v <= 32767;
}

bool in_s24(long long v)
{
    return v >= -0x800000 && v <= 0x7FFFFF;
}

bool has_origin(const XrPoint& origin)
{
    return origin.x != 0 || origin.y != 0;
}

// A point close enough to the origin for two 16-bit differences.
bool fits_delta(const XrPoint& origin, int x, int y)
{
    return has_origin(origin) && in_s16(static_cast<long long>(x) - origin.x) &&
           in_s16(static_cast<long long>(y) - origin.y);
}

// Points and texts always carry the byte with the delta flag.
int type_bytes(int type_width)
{
    return type_width == 2 ? 2 : 1;
}

int aux_bytes(int aux_width)
{
    return aux_width == 1 || aux_width == 2 ? aux_width : 0;
}

// Drops what was appended from start on.
bool roll_back(XrByteArray& out, int start)
{
    if (out.get_num_items() > start)
        out.remove_range(start, out.get_num_items() - start);
    return false;
}

bool same_even(const XrPoint& a, const XrPoint& b)
{
    return xr_round_even(a.x) == xr_round_even(b.x) && xr_round_even(a.y) == xr_round_even(b.y);
}

// Differences of consecutive points, each coordinate halved first.
template <class F>
bool all_half_diffs(const XrStaticArray<XrPoint>& pts, F&& ok)
{
    const XrPoint* p = pts.get_items();
    for (int i = 1; i < pts.get_num_items(); ++i) {
        if (!ok(static_cast<long long>(p[i].x / 2) - p[i - 1].x / 2) ||
            !ok(static_cast<long long>(p[i].y / 2) - p[i - 1].y / 2))
            return false;
    }
    return true;
}

template <class F>
bool all_diffs(const XrStaticArray<XrPoint>& pts, F&& ok)
{
    const XrPoint* p = pts.get_items();
    for (int i = 1; i < pts.get_num_items(); ++i) {
        if (!ok(static_cast<long long>(p[i].x) - p[i - 1].x) || !ok(static_cast<long long>(p[i].y) - p[i - 1].y))
            return false;
    }
    return true;
}

double segment_sum(const XrPoint* p, int from, int to)
{
    double sum = 0;
    for (int i = from + 1; i <= to; ++i)
        sum += p[i - 1].distance(p[i]);
    return sum;
}

void append_range(XrArray<XrPoint>& out, const XrPoint* p, int from, int to)
{
    for (int i = from; i <= to; ++i)
        out.append(p[i]);
}

// Index of the next point after from equal to it, or last.
int run_end(const XrPoint* p, int from, int last)
{
    for (int j = from + 1; j <= last; ++j) {
        if (p[j] == p[from])
            return j;
    }
    return last;
}

} // namespace

// --------------------------------------------------------------- XrGeomRec

bool XrGeomRec::get_blob(XrGeomStorage::XrRecordType& rec_kind, XrByteArray& out)
{
    XrRecDataOption options;
    return get_blob(options, XrPoint(0, 0), rec_kind, out, nullptr, 0, nullptr, 0);
}

void XrGeomRec::set_attributes(const BYTE* data, int n)
{
    attributes.reset();
    attributes_size = 0;
    if (data == nullptr || n <= 0)
        return;
    attributes = std::make_unique<BYTE[]>(n);
    std::memcpy(attributes.get(), data, n);
    attributes_size = n;
}

bool XrGeomRec::writes_attributes(const XrRecDataOption& options) const
{
    // With no type bytes there is no room for the flag that marks them.
    return options.attr_count != 0 && attributes != nullptr && (options.type_width == 1 || options.type_width == 2);
}

bool XrGeomRec::append_attributes(const XrRecDataOption& options, XrByteArray& out) const
{
    BYTE* dst = out.append_space(static_cast<int>(options.attr_count));
    if (dst == nullptr)
        return false;
    unsigned int have = attributes_size < 0 ? 0 : static_cast<unsigned int>(attributes_size);
    unsigned int n = have < options.attr_count ? have : options.attr_count;
    std::memcpy(dst, attributes.get(), n);
    std::memset(dst + n, 0, options.attr_count - n);
    return true;
}

bool XrGeomRec::append_point_blob(const XrRecDataOption& options, const XrPoint& origin, int x, int y, int aux,
                                  XrByteArray& out) const
{
    unsigned int t = type;
    if (options.attr_count != 0) {
        // The flag is set on a copy: the record keeps its type.
        if (options.type_width == 2) {
            XR_ASSERT_MSG((type & 0x4000) == 0, "(type & 0x4000) == 0");
            if (writes_attributes(options))
                t |= 0x4000;
        } else if (options.type_width == 1) {
            XR_ASSERT_MSG((type & 0x40) == 0, "(type & 0x40) == 0");
            if (writes_attributes(options))
                t |= 0x40;
        }
    }
    bool delta = fits_delta(origin, x, y);
    if (!delta && options.three_byte_coords && (!in_s24(x) || !in_s24(y)))
        return false;
    if (options.with_id)
        out.append_u32_le(static_cast<std::uint32_t>(id));
    BYTE flag = delta ? 0x80 : 0;
    out.append_byte(options.type_width == 0 ? flag : static_cast<BYTE>((t & 0x7F) | flag));
    if (options.type_width == 2)
        out.append_byte(static_cast<BYTE>((static_cast<short>(t) >> 7) & 0xFF));
    // One aux byte holds half the value (readers double it).
    if (options.aux_width == 1)
        out.append_byte(static_cast<BYTE>((aux / 2) & 0xFF));
    else if (options.aux_width == 2)
        out.append_u16_le(static_cast<std::uint16_t>(aux));
    if (delta) {
        out.append_u16_le(static_cast<std::uint16_t>(x - origin.x));
        out.append_u16_le(static_cast<std::uint16_t>(y - origin.y));
    } else if (options.three_byte_coords) {
        out.append_u24_le(static_cast<std::uint32_t>(x) & 0xFFFFFF);
        out.append_u24_le(static_cast<std::uint32_t>(y) & 0xFFFFFF);
    } else {
        out.append_u32_le(static_cast<std::uint32_t>(x));
        out.append_u32_le(static_cast<std::uint32_t>(y));
    }
    if (writes_attributes(options))
        return append_attributes(options, out);
    return true;
}

int XrGeomRec::point_blob_size(const XrRecDataOption& options, const XrPoint& origin, int x, int y) const
{
    bool delta = fits_delta(origin, x, y);
    if (!delta && options.three_byte_coords && (!in_s24(x) || !in_s24(y)))
        return -1;
    int n = (options.with_id ? 4 : 0) + type_bytes(options.type_width) + aux_bytes(options.aux_width);
    n += delta ? 4 : (options.three_byte_coords ? 6 : 8);
    if (writes_attributes(options))
        n += static_cast<int>(options.attr_count);
    return n;
}

// ---------------------------------------------------------- XrPointGeomRec

bool XrPointGeomRec::get_blob(const XrRecDataOption& options, const XrPoint& origin,
                              XrGeomStorage::XrRecordType& rec_kind, XrByteArray& out, XrHash<XrPoint, int>*, int,
                              const int*, int)
{
    rec_kind = XrGeomStorage::RecPoint;
    int start = out.get_num_items();
    if (!append_point_blob(options, origin, x, y, aux, out))
        return roll_back(out, start);
    return true;
}

bool XrPointGeomRec::get_bounding_box(XrRectangle& box)
{
    box = XrRectangle(x, y, x, y);
    return true;
}

int XrPointGeomRec::size_in_bytes(const XrRecDataOption& options, const XrPoint& origin)
{
    return point_blob_size(options, origin, x, y);
}

// ----------------------------------------------------------- XrTextGeomRec

XrTextGeomRec::XrTextGeomRec(int id, int x, int y, unsigned short type, unsigned short aux, const char* utf8_text)
    : XrGeomRec(id, type), x(x), y(y), aux(aux)
{
    if (utf8_text == nullptr)
        return;
    const BYTE* bytes = reinterpret_cast<const BYTE*>(utf8_text);
    if (XrUTF8::is_valid_utf8(bytes, -1))
        XrUTF8::decode_utf8(bytes, -1, text);
    else
        text.assign_latin1(utf8_text);
}

bool XrTextGeomRec::get_blob(const XrRecDataOption& options, const XrPoint& origin,
                             XrGeomStorage::XrRecordType& rec_kind, XrByteArray& out, XrHash<XrPoint, int>*, int,
                             const int*, int)
{
    rec_kind = XrGeomStorage::RecText;
    int start = out.get_num_items();
    if (!append_point_blob(options, origin, x, y, aux, out))
        return roll_back(out, start);
    if (!XrUTF8::encode_utf8(text.c_str(), -1, out) || !out.append_byte(0))
        return roll_back(out, start);
    return true;
}

bool XrTextGeomRec::get_bounding_box(XrRectangle& box)
{
    box = XrRectangle(x, y, x, y);
    return true;
}

int XrTextGeomRec::size_in_bytes(const XrRecDataOption& options, const XrPoint& origin)
{
    int n = point_blob_size(options, origin, x, y);
    if (n < 0)
        return -1;
    for (const TCHAR* p = text.c_str(); *p != 0; ++p) {
        unsigned int c = static_cast<unsigned int>(*p);
        if (c >= 0x10000)
            return -1;
        n += c < 0x80 ? 1 : (c < 0x800 ? 2 : 3);
    }
    return n + 1;
}

// ------------------------------------------------------ XrPolypointGeomRec

int XrPolypointGeomRec::get_prepared_count()
{
    return prepared_records;
}

bool XrPolypointGeomRec::add_point(const XrPoint& p)
{
    points_changed();
    return points.append(p);
}

void XrPolypointGeomRec::set_points(const XrStaticArray<XrPoint>& pts)
{
    points_changed();
    points.remove_all();
    for (int i = 0; i < pts.get_num_items(); ++i)
        points.append(pts.get_items()[i]);
}

void XrPolypointGeomRec::points_changed()
{
    prepared = 0;
    cached_length = -1;
}

void XrPolypointGeomRec::prepare_points()
{
    if (prepared)
        return;
    prepared = 1;
    ++prepared_records;
    int n = points.get_num_items();
    if (n == 0)
        return;
    const std::vector<XrPoint> kept(points.get_items(), points.get_items() + n);
    const XrPoint* copy = kept.data();
    points.remove_all();
    // Runs end at the next repetition of their first point; inside a run a
    // point is kept only when the half-unit coding can tell it from the last
    // kept one.
    int i = 0;
    while (i < n) {
        int e = run_end(copy, i, n - 1);
        XrPoint last = copy[i];
        points.append(last);
        for (int k = i + 1; k < e; ++k) {
            if (!same_even(copy[k], last)) {
                last = copy[k];
                points.append(last);
            }
        }
        if (e > i && (e == i + 1 || !same_even(copy[e], last)))
            points.append(copy[e]);
        i = e + 1;
    }
    cached_length = -1;
}

bool XrPolypointGeomRec::get_bounding_box(XrRectangle& box)
{
    int n = points.get_num_items();
    if (n == 0)
        return false;
    const XrPoint* p = points.get_items();
    box = XrRectangle(p[0].x, p[0].y, p[0].x, p[0].y);
    for (int i = 1; i < n; ++i) {
        if (p[i].x < box.left)
            box.left = p[i].x;
        if (p[i].x > box.right)
            box.right = p[i].x;
        if (p[i].y < box.top)
            box.top = p[i].y;
        if (p[i].y > box.bottom)
            box.bottom = p[i].y;
    }
    return true;
}

int XrPolypointGeomRec::get_length()
{
    if (cached_length >= 0)
        return cached_length;
    long long sum = 0;
    const XrPoint* p = points.get_items();
    for (int i = 1; i < points.get_num_items(); ++i)
        sum += static_cast<long long>(p[i - 1].distance(p[i]));
    cached_length = sum > INT_MAX ? INT_MAX : static_cast<int>(sum);
    return cached_length;
}

double XrPolypointGeomRec::get_total_length() const
{
    return segment_sum(points.get_items(), 0, points.get_num_items() - 1);
}

int XrPolypointGeomRec::get_format_word()
{
    prepare_points();
    int n = points.get_num_items();
    short t = static_cast<short>(type);
    if (n < 1 || n > 15 || t < 0 || t > 127)
        return -1;
    int fw = n | t << 4;
    if (attributes != nullptr)
        fw |= 0x800;
    if (xr_fits_byte_deltas(points))
        fw |= 0x1000;
    return fw;
}

bool XrPolypointGeomRec::get_blob(const XrRecDataOption& options, const XrPoint& origin,
                                  XrGeomStorage::XrRecordType& rec_kind, XrByteArray& out,
                                  XrHash<XrPoint, int>* first_points, int position, const int* format_words,
                                  int format_word_count)
{
    rec_kind = kind;
    prepare_points();
    int n = points.get_num_items();
    if (n < 1 || n > MAX_POINTS)
        return false;
    const XrPoint* p = points.get_items();
    XrPoint first(xr_round_even(p[0].x), xr_round_even(p[0].y));
    XrPoint org(xr_round_even(origin.x), xr_round_even(origin.y));
    bool delta = has_origin(origin) && in_s16((static_cast<long long>(first.x) - org.x) / 2) &&
                 in_s16((static_cast<long long>(first.y) - org.y) / 2);

    // An earlier record of the bucket with the same first point.
    int back = 0;
    bool known = false;
    if (first_points != nullptr) {
        int stored = 0;
        known = first_points->find(first, stored);
        long long b = static_cast<long long>(position) - stored;
        if (known && b > 0 && b <= 0xFFFF)
            back = static_cast<int>(b);
    }
    bool shared = back != 0;
    if (!shared && !delta && options.three_byte_coords && (!in_s24(first.x / 2) || !in_s24(first.y / 2)))
        return false;

    int start = out.get_num_items();
    bool bytes = xr_fits_byte_deltas(points);
    BYTE mode = shared ? (back < 256 ? 0xC0 : 0x40) : (delta ? 0x80 : 0);
    if (options.with_id)
        out.append_u32_le(static_cast<std::uint32_t>(id));

    int fw = get_format_word();
    int fi = -1;
    if (fw != -1 && format_words != nullptr) {
        int limit = format_word_count < 64 ? format_word_count : 64;
        for (int i = 0; i < limit && fi < 0; ++i) {
            if (format_words[i] == fw)
                fi = i;
        }
    }
    bool attr;
    if (fi >= 0) {
        // The format word tells count, type and whether attributes follow.
        out.append_byte(static_cast<BYTE>(fi | mode));
        attr = options.attr_count != 0 && attributes != nullptr;
    } else {
        BYTE head = static_cast<BYTE>((n & 0x0F) | mode | (bytes ? 0x20 : 0) | (n < 16 ? 0x10 : 0));
        out.append_byte(head);
        if (n >= 16)
            out.append_byte(static_cast<BYTE>((n >> 4) & 0xFF));
        attr = writes_attributes(options);
        unsigned int t = type;
        if (options.attr_count != 0) {
            if (options.type_width == 2) {
                XR_ASSERT_MSG((type & 0x8000) == 0, "(type & 0x8000) == 0");
                if (attr)
                    t |= 0x8000;
            } else if (options.type_width == 1) {
                XR_ASSERT_MSG((type & 0x80) == 0, "(type & 0x80) == 0");
                if (attr)
                    t |= 0x80;
            }
        }
        if (options.type_width == 1)
            out.append_byte(static_cast<BYTE>(t & 0xFF));
        else if (options.type_width == 2)
            out.append_u16_le(static_cast<std::uint16_t>(t));
    }

    if (shared) {
        if (back < 256)
            out.append_byte(static_cast<BYTE>(back));
        else
            out.append_u16_le(static_cast<std::uint16_t>(back));
    } else if (delta) {
        out.append_u16_le(static_cast<std::uint16_t>((first.x - org.x) / 2));
        out.append_u16_le(static_cast<std::uint16_t>((first.y - org.y) / 2));
    } else if (options.three_byte_coords) {
        out.append_u24_le(static_cast<std::uint32_t>(first.x / 2) & 0xFFFFFF);
        out.append_u24_le(static_cast<std::uint32_t>(first.y / 2) & 0xFFFFFF);
    } else {
        out.append_u32_le(static_cast<std::uint32_t>(first.x / 2));
        out.append_u32_le(static_cast<std::uint32_t>(first.y / 2));
    }
    if (attr && !append_attributes(options, out))
        return roll_back(out, start);

    for (int i = 1; i < n; ++i) {
        int dx = p[i].x / 2 - p[i - 1].x / 2;
        int dy = p[i].y / 2 - p[i - 1].y / 2;
        if (bytes) {
            out.append_byte(static_cast<BYTE>(static_cast<signed char>(dx)));
            out.append_byte(static_cast<BYTE>(static_cast<signed char>(dy)));
        } else if (!out.append_varint(dx) || !out.append_varint(dy)) {
            return roll_back(out, start);
        }
    }
    if (first_points != nullptr && !known)
        first_points->insert(first, position);
    return true;
}

int XrPolypointGeomRec::size_in_bytes(const XrRecDataOption& options, const XrPoint& origin)
{
    prepare_points();
    int n = points.get_num_items();
    if (n < 1 || n > MAX_POINTS)
        return -1;
    const XrPoint* p = points.get_items();
    XrPoint first(xr_round_even(p[0].x), xr_round_even(p[0].y));
    XrPoint org(xr_round_even(origin.x), xr_round_even(origin.y));
    bool delta = has_origin(origin) && in_s16((static_cast<long long>(first.x) - org.x) / 2) &&
                 in_s16((static_cast<long long>(first.y) - org.y) / 2);
    int size = (options.with_id ? 4 : 0) + (n < 16 ? 1 : 2);
    if (options.type_width == 1 || options.type_width == 2)
        size += options.type_width;
    if (delta) {
        size += 4;
    } else if (options.three_byte_coords) {
        if (!in_s24(first.x / 2) || !in_s24(first.y / 2))
            return -1;
        size += 6;
    } else {
        size += 8;
    }
    if (writes_attributes(options))
        size += static_cast<int>(options.attr_count);
    if (xr_fits_byte_deltas(points))
        return size + 2 * (n - 1);
    for (int i = 1; i < n; ++i) {
        int sx = xr_varint::size_of(p[i].x / 2 - p[i - 1].x / 2);
        int sy = xr_varint::size_of(p[i].y / 2 - p[i - 1].y / 2);
        if (sx == 0 || sy == 0)
            return -1;
        size += sx + sy;
    }
    return size;
}

int XrPolypointGeomRec::count_duplicate_points(bool* ends_on_duplicate) const
{
    const XrPoint* p = points.get_items();
    int n = points.get_num_items();
    int count = 0;
    for (int i = 1; i < n; ++i) {
        if (p[i] == p[i - 1])
            ++count;
    }
    if (ends_on_duplicate != nullptr)
        *ends_on_duplicate = n >= 2 && p[n - 1] == p[n - 2];
    return count;
}

bool XrPolypointGeomRec::remove_small_rings(int min_length)
{
    if (kind != XrGeomStorage::RecPolygon)
        return false;
    int n = points.get_num_items();
    XrArray<XrPoint> kept(n > 0 ? n : 8);
    const XrPoint* p = points.get_items();
    int start = 0;
    while (start < n) {
        int e = run_end(p, start, n - 1);
        if (start == 0 || segment_sum(p, start, e) >= min_length)
            append_range(kept, p, start, e);
        start = e + 1;
    }
    set_points(kept);
    return true;
}

bool XrPolypointGeomRec::generalize(int tolerance, bool split, bool hold_start, bool hold_end)
{
    if (tolerance < 0)
        return generalize_to_grid(-tolerance, split);
    int n = points.get_num_items();
    const XrPoint* p = points.get_items();
    XrArray<XrPoint> out(n > 0 ? n : 8);
    if (!split) {
        if (n < 3)
            return true;
        int from = 0;
        int to = n - 1;
        if (hold_start) {
            out.append(p[0]);
            from = 1;
        }
        if (hold_end)
            to = n - 2;
        xr_thin_points(points, tolerance, from, to, out);
        if (hold_end)
            out.append(p[n - 1]);
        set_points(out);
        return true;
    }
    // Pieces run from a point to its next repetition; each is thinned alone.
    XrArray<XrPoint> piece(16);
    int start = 0;
    while (start < n) {
        int e = run_end(p, start, n - 1);
        piece.remove_all();
        xr_thin_points(points, tolerance, start, e, piece);
        if (xr_is_degenerate_ring(piece)) {
            if (start == 0)
                return false;
        } else {
            append_range(out, piece.get_items(), 0, piece.get_num_items() - 1);
        }
        start = e + 1;
    }
    set_points(out);
    return true;
}

bool XrPolypointGeomRec::generalize_to_grid(int cell, bool split)
{
    int n = points.get_num_items();
    const XrPoint* p = points.get_items();
    // Snapped points, consecutive repeats merged; loops that the snapping
    // closes are cut out of the line and kept as rings of their own.
    XrArray<XrPoint> line(n > 0 ? n : 8);
    XrArray<XrPoint> rings(8);
    XrArray<XrPoint> ring(8);
    for (int i = 0; i < n; ++i) {
        XrPoint s = xr_snap_to_grid(p[i], cell);
        int count = line.get_num_items();
        if (count > 0 && line.get_items()[count - 1] == s)
            continue;
        int j = count - 1;
        while (j >= 0 && !(line.get_items()[j] == s))
            --j;
        if (j < 0) {
            line.append(s);
            continue;
        }
        ring.remove_all();
        append_range(ring, line.get_items(), j, count - 1);
        ring.append(s);
        while (line.get_num_items() > j + 1)
            line.remove_item(line.get_num_items() - 1);
        if (!xr_is_degenerate_ring(ring))
            append_range(rings, ring.get_items(), 0, ring.get_num_items() - 1);
    }
    XrArray<XrPoint> out(line.get_num_items() + rings.get_num_items() + 1);
    if (split) {
        if (line.get_num_items() < 3 && rings.get_num_items() == 0)
            return false;
        if (line.get_num_items() >= 3)
            append_range(out, line.get_items(), 0, line.get_num_items() - 1);
    } else {
        if (line.get_num_items() < 2)
            return false;
        append_range(out, line.get_items(), 0, line.get_num_items() - 1);
    }
    append_range(out, rings.get_items(), 0, rings.get_num_items() - 1);
    set_points(out);
    return true;
}

// ------------------------------------------------------ XrLabelLineGeomRec

bool XrLabelLineGeomRec::get_blob(const XrRecDataOption&, const XrPoint&, XrGeomStorage::XrRecordType&,
                                  XrByteArray&, XrHash<XrPoint, int>*, int, const int*, int)
{
    XR_ASSERT_MSG(false, "false");
    return false;
}

int XrLabelLineGeomRec::size_in_bytes(const XrRecDataOption&, const XrPoint&)
{
    XR_ASSERT_MSG(false, "false");
    return -1;
}

// ---------------------------------------------------------- point helpers

bool xr_is_degenerate_ring(const XrStaticArray<XrPoint>& ring)
{
    int n = ring.get_num_items();
    return n < 3 || (n == 3 && ring.get_items()[0] == ring.get_items()[2]);
}

void xr_thin_points(const XrStaticArray<XrPoint>& pts, int tolerance, int first, int last, XrArray<XrPoint>& out)
{
    int n = pts.get_num_items();
    if (n == 0)
        return;
    if (last < 0 || last >= n)
        last = n - 1;
    if (first < 0)
        first = 0;
    const XrPoint* p = pts.get_items();
    if (last <= first) {
        out.append(p[first < n ? first : last]);
        return;
    }
    // Depth first, the part before the farthest point first.
    struct Range {
        int from;
        int to;
    };
    XrArray<Range> stack(32);
    stack.append(Range{first, last});
    while (stack.get_num_items() > 0) {
        Range r = stack.get_items()[stack.get_num_items() - 1];
        stack.remove_item(stack.get_num_items() - 1);
        if (r.to == r.from + 1) {
            out.append(p[r.from]);
            continue;
        }
        double best = -1;
        int index = r.from;
        for (int i = r.from; i <= r.to; ++i) {
            double d = distance_to_segment(p[i], p[r.from], p[r.to]);
            if (d > best) {
                best = d;
                index = i;
            }
        }
        if (best > tolerance && index != r.from && index != r.to) {
            stack.append(Range{index, r.to});
            stack.append(Range{r.from, index});
        } else {
            out.append(p[r.from]);
        }
    }
    out.append(p[last]);
}

XrPoint xr_snap_to_grid(const XrPoint& p, int cell)
{
    if (cell <= 0)
        return p;
    long long c = cell;
    long long row = p.y / c;
    long long y = row * c;
    long long q = p.x >= 0 ? p.x / c : -((-static_cast<long long>(p.x) + c - 1) / c);
    long long r = p.x - q * c;
    if (2 * r > c)
        ++q;
    long long x = q * c;
    if (row % 2 != 0)
        x += c / 2;
    auto clamp = [](long long v) { return static_cast<int>(v > INT_MAX ? INT_MAX : (v < INT_MIN ? INT_MIN : v)); };
    return XrPoint(clamp(x), clamp(y));
}

bool xr_fits_byte_deltas(const XrStaticArray<XrPoint>& pts)
{
    return all_half_diffs(pts, [](long long d) { return d >= -127 && d <= 127; });
}

bool xr_fits_short_deltas(const XrStaticArray<XrPoint>& pts)
{
    return all_diffs(pts, [](long long d) { return d >= -32768 && d <= 32767; });
}

bool xr_fits_12bit_deltas(const XrStaticArray<XrPoint>& pts)
{
    return all_diffs(pts, [](long long d) { return d >= -2047 && d <= 2048; });
}
