#include "common/db/xr_storedgeomcoding.h"

#include <cstring>

#include "common/container/xr_bytes.h"
#include "common/db/xr_geomfilelayout.h"

namespace {

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

} // namespace

bool XrStoredGeomCoding::read(const BYTE* block, int attributes, std::uint32_t version)
{
    namespace c = xrqt::coding;
    if (block[c::AUX_WIDTH] > c::MAX_WIDTH || block[c::TYPE_WIDTH] > c::MAX_WIDTH)
        return false;
    aux_width = block[c::AUX_WIDTH];
    default_aux = xr_bytes::get_i16_le(block + c::DEFAULT_AUX);
    type_width = block[c::TYPE_WIDTH];
    default_type = block[c::DEFAULT_TYPE];
    with_id = (block[c::FLAGS] & c::FLAG_IDS) != 0;
    three_byte_coords = (block[c::FLAGS] & c::FLAG_THREE_BYTE_COORDS) != 0;
    attr_count = attributes;
    half_unit_deltas = xrqt::has_format_table(version);
    utf8_texts = xrqt::has_utf8_texts(version);
    return true;
}

void XrStoredGeomCoding::read_format_table(const BYTE* table)
{
    has_format_table = table != nullptr;
    for (int i = 0; i < xrqt::FORMAT_TABLE_WORDS; ++i)
        format_table[i] = table != nullptr ? xr_bytes::get_u16_le(table + 2 * i) : 0;
}

int XrStoredGeomCoding::record_kind(const BYTE* data, int offset) const
{
    if (with_id)
        return (data[offset + xrqt::ID_KIND_BYTE] >> xrqt::ID_KIND_SHIFT) + 1;
    return kind + 1;
}

bool XrStoredGeomCoding::take_id(const BYTE*& p, const BYTE* end, int& id) const
{
    if (with_id) {
        if (end - p < static_cast<std::ptrdiff_t>(xrqt::ID_SIZE))
            return false;
        id = xrqt::id_value(xr_bytes::get_u32_le(p));
        p += xrqt::ID_SIZE;
    }
    return end - p >= 1;
}

// The decoders read through raw pointers with a length check before each
// field: they run for every record handed out.
bool XrStoredGeomCoding::point_fields(const BYTE* rec, const BYTE* end, bool text, const XrPoint& origin,
                                      XrPointFields& out) const
{
    using namespace xr_bytes;
    const BYTE* p = rec;
    auto need = [&](std::size_t n) { return static_cast<std::size_t>(end - p) >= n; };
    out = XrPointFields();
    if (!take_id(p, end, out.id))
        return false;
    const BYTE b1 = *p++;
    const bool delta = (b1 & 0x80) != 0;
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
        out.aux = get_i16_le(p);
        p += 2;
    } else {
        out.aux = default_aux;
    }
    if (delta) {
        if (!need(4))
            return false;
        out.x = wrap_add(origin.x, get_i16_le(p));
        out.y = wrap_add(origin.y, get_i16_le(p + 2));
        p += 4;
    } else if (three_byte_coords) {
        if (!need(6))
            return false;
        out.x = xrqt::get_s24(p);
        out.y = xrqt::get_s24(p + 3);
        p += 6;
    } else {
        if (!need(8))
            return false;
        out.x = get_i32_le(p);
        out.y = get_i32_le(p + 4);
        p += 8;
    }
    if (attr) {
        if (!need(static_cast<std::size_t>(attr_count)))
            return false;
        out.attributes = p;
        p += attr_count;
    }
    if (text) {
        const BYTE* nul = static_cast<const BYTE*>(std::memchr(p, 0, static_cast<std::size_t>(end - p)));
        if (nul == nullptr)
            return false;
        out.text = p;
        out.text_len = static_cast<int>(nul - p);
        p = nul + 1;
    }
    out.length = static_cast<int>(p - rec);
    return true;
}

bool XrStoredGeomCoding::poly_header(const BYTE* rec, const BYTE* end, bool compact, const XrPoint& origin,
                                     XrPolyHeader& out, int& back) const
{
    using namespace xr_bytes;
    const BYTE* p = rec;
    auto need = [&](std::size_t n) { return static_cast<std::size_t>(end - p) >= n; };
    out = XrPolyHeader();
    back = 0;
    if (!take_id(p, end, out.id))
        return false;
    const BYTE head = *p++;
    const int mode = head & 0xC0;
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
            out.type = get_u16_le(p);
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
    case 0x00: // absolute, in half units
        if (three_byte_coords) {
            if (!need(6))
                return false;
            out.first = XrPoint(twice(xrqt::get_s24(p)), twice(xrqt::get_s24(p + 3)));
            p += 6;
        } else {
            if (!need(8))
                return false;
            out.first = XrPoint(twice(get_i32_le(p)), twice(get_i32_le(p + 4)));
            p += 8;
        }
        break;
    case 0x80: // from the bucket's origin
        if (!need(4))
            return false;
        if (half_unit_deltas)
            out.first = XrPoint(twice(origin.x / 2 + get_i16_le(p)), twice(origin.y / 2 + get_i16_le(p + 2)));
        else
            out.first = XrPoint(wrap_add(origin.x, get_i16_le(p)), wrap_add(origin.y, get_i16_le(p + 2)));
        p += 4;
        break;
    case 0x40: // the first point of the record back bytes before
        if (!need(2))
            return false;
        back = get_u16_le(p);
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
        if (!need(static_cast<std::size_t>(attr_count)))
            return false;
        out.attributes = p;
        p += attr_count;
    }
    out.points = p;
    out.end = end;
    return true;
}

bool XrStoredGeomCoding::walk_points(XrPolyHeader& hdr, XrRectangle& box) const
{
    const BYTE* p = hdr.points;
    int x = hdr.first.x, y = hdr.first.y;
    box = XrRectangle(x, y, x, y);
    for (int i = 1; i < hdr.count; ++i) {
        if (!step_point(hdr.byte_deltas, half_unit_deltas != 0, p, hdr.end, x, y))
            return false;
        grow_box(box, x, y);
    }
    hdr.end = p;
    return true;
}

bool XrStoredGeomCoding::check_record(const BYTE* data, int size, int compact_end, const XrPoint& origin, int offset,
                                      XrGeomSideScratch& scratch) const
{
    if (with_id && size - offset < static_cast<int>(xrqt::ID_SIZE))
        return false;
    XrArray<XrGeomSideEntry>& side = scratch.side;
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
        scratch.depth.append(-1);
        scratch.firsts.append(XrPoint(f.x, f.y));
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
            int t = xr_first_side_entry(side.get_items(), side.get_num_items(), offset - back);
            if (t >= side.get_num_items() || side.get_items()[t].offset != offset - back)
                return false;
            d = scratch.depth.get_items()[t];
            if (d < 0 || d + 1 > MAX_SHARED_DEPTH)
                return false;
            ++d;
            h.first = scratch.firsts.get_items()[t];
        }
        if (!walk_points(h, e.box))
            return false;
        length = static_cast<int>(h.end - rec);
        scratch.depth.append(d);
        scratch.firsts.append(h.first);
    }
    if (length <= 0 || length > 0xFFFF)
        return false;
    e.length = static_cast<std::uint16_t>(length);
    return side.append(e);
}

bool XrStoredGeomCoding::build_len_and_bbox(const BYTE* data, int size, int compact_end, const XrPoint& origin,
                                            XrGeomSideScratch& scratch) const
{
    scratch.side.remove_all();
    scratch.depth.remove_all();
    scratch.firsts.remove_all();
    if (size > 0xFFFF || compact_end > size)
        return false;
    int offset = 0;
    while (offset < size) {
        if (!check_record(data, size, compact_end, origin, offset, scratch))
            return false;
        offset += scratch.side.get_items()[scratch.side.get_num_items() - 1].length;
    }
    return true;
}

bool XrStoredGeomCoding::decode_point(const XrGeomBucket& bucket, const XrGeomSideEntry& entry,
                                      XrPointFields& out) const
{
    const BYTE* rec = bucket.data + entry.offset;
    return point_fields(rec, rec + entry.length, entry.kind == XrGeomStorage::RecText, bucket.origin, out);
}

bool XrStoredGeomCoding::decode_poly(const XrGeomBucket& bucket, const XrGeomSideEntry& entry,
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
