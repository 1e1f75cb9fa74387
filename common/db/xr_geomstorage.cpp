#include "common/db/xr_geomstorage.h"

#include <cstring>

#include "common/db/xr_geomfilelayout.h"
#include "common/geometry/xr_polygon.h"
#include "common/misc/xr_utf8.h"

// ------------------------------------------------------------ XrMapItem

bool XrMapItem::get_id_string(XrString& out) const
{
    (void)out;
    return false;
}

// --------------------------------------------------------- XrGeomStorage

XrGeomStorage::Status XrGeomStorage::add_record(XrRecordType type, const BYTE* data, size_t size)
{
    (void)type;
    (void)data;
    (void)size;
    return NOT_SUPPORTED;
}

XrGeomStorage::Status XrGeomStorage::clear()
{
    return NOT_SUPPORTED;
}

XrGeomStorage::Status XrGeomStorage::get_description(XrString& out)
{
    (void)out;
    return NOT_SUPPORTED;
}

// ---------------------------------------------------------- XrGeomCursor

XrGeomCursor::XrGeomCursor(const XrRectangle* rect)
    : query_rect(rect != nullptr ? *rect : XrRectangle()), has_query_rect(rect != nullptr),
      text_buffer(std::make_unique<TCHAR[]>(TEXT_BUFFER_CHARS))
{
    text_buffer[0] = 0;
}

XrGeomCursor::~XrGeomCursor() = default;

XrGeomCursor::Status XrGeomCursor::get_record_by_rec_id(int id, XrGeomStorage::XrRecordType& type,
                                                        const BYTE*& data)
{
    (void)id;
    (void)type;
    (void)data;
    return NOT_SUPPORTED;
}

XrGeomCursor::Status XrGeomCursor::get_record_by_geom_id(XrGid id, XrGeomStorage::XrRecordType& type,
                                                         const BYTE*& data)
{
    (void)id;
    (void)type;
    (void)data;
    return NOT_SUPPORTED;
}

XrGeomCursor::Status XrGeomCursor::get_approximated_point_for_geom_id(int id, XrPoint& point)
{
    (void)id;
    (void)point;
    return NOT_SUPPORTED;
}

XrGeomCursor::Status XrGeomCursor::find_record_by_id(int id, XrGeomStorage::XrRecordType& type, const BYTE*& data)
{
    for (;;) {
        const BYTE* rec = nullptr;
        XrGeomStorage::XrRecordType kind = XrGeomStorage::RecPoint;
        Status s = get_next_record(rec, kind);
        if (s == END)
            return NOT_FOUND;
        if (s != OK)
            return s;
        int rec_id = 0, x = 0, y = 0;
        short t = 0, aux = 0;
        const BYTE* attributes = nullptr;
        bool decoded = false;
        switch (kind) {
        case XrGeomStorage::RecPoint:
            decoded = get_pt(rec, rec_id, x, y, t, aux, attributes);
            break;
        case XrGeomStorage::RecText: {
            const TCHAR* text = nullptr;
            decoded = get_txt(rec, rec_id, x, y, t, aux, text, attributes, 0, nullptr);
            break;
        }
        case XrGeomStorage::RecPolyline:
        case XrGeomStorage::RecPolygon: {
            const BYTE* points = nullptr;
            BYTE coding = 0;
            decoded = get_pp(rec, rec_id, x, y, t, aux, points, coding, attributes) > 0;
            break;
        }
        }
        if (decoded && rec_id == id) {
            type = kind;
            data = rec;
            return OK;
        }
    }
}

XrGeomCursor::Status XrGeomCursor::delete_current_record()
{
    return NOT_SUPPORTED;
}

XrGeomCursor::Status XrGeomCursor::replace_current_record(XrGeomStorage::XrRecordType type, const BYTE* data,
                                                          size_t size)
{
    (void)type;
    (void)data;
    (void)size;
    return NOT_SUPPORTED;
}

const BYTE* XrGeomCursor::get_record_end(const BYTE* record)
{
    (void)record;
    return nullptr;
}

bool XrGeomCursor::long_enough(const BYTE* record, int n)
{
    if (record == nullptr)
        return false;
    const BYTE* end = get_record_end(record);
    return end == nullptr || end - record >= n;
}

const TCHAR* XrGeomCursor::set_text(const BYTE* text, int len, bool utf8, bool select, int language,
                                    int* found_language)
{
    // A terminated copy: the decoder never reads past a 0 byte.
    BYTE copy[4 * TEXT_BUFFER_CHARS];
    if (len > static_cast<int>(sizeof copy) - 1)
        len = static_cast<int>(sizeof copy) - 1;
    std::memcpy(copy, text, len);
    copy[len] = 0;
    int n = 0;
    const BYTE* p = copy;
    const BYTE* end = copy + len;
    if (utf8) {
        while (p < end && n < TEXT_BUFFER_CHARS - 1)
            text_buffer[n++] = static_cast<TCHAR>(XrUTF8::read_utf8(p));
    } else {
        while (p < end && n < TEXT_BUFFER_CHARS - 1)
            text_buffer[n++] = *p++;
    }
    text_buffer[n] = 0;
    TCHAR* out = text_buffer.get();
    if (found_language != nullptr)
        *found_language = 0;
    if (select)
        select_language_variant(out, L'#', language, found_language);
    return out;
}

bool XrGeomCursor::get_pt(const BYTE* record, int& id, int& x, int& y, short& type, short& aux,
                          const BYTE*& attributes)
{
    (void)attributes;
    namespace m = xr_memory_record;
    if (!long_enough(record, m::POINT_SIZE))
        return false;
    id = xr_bytes::get_i32_le(record + m::ID);
    type = xr_bytes::get_i16_le(record + m::TYPE);
    aux = xr_bytes::get_i16_le(record + m::AUX);
    x = xr_bytes::get_i32_le(record + m::X);
    y = xr_bytes::get_i32_le(record + m::POINT_Y);
    return true;
}

bool XrGeomCursor::get_txt(const BYTE* record, int& id, int& x, int& y, short& type, short& aux,
                           const TCHAR*& text, const BYTE*& attributes, int language, int* found_language)
{
    if (!get_pt(record, id, x, y, type, aux, attributes))
        return false;
    const BYTE* start = record + xr_memory_record::POINT_SIZE;
    const BYTE* end = get_record_end(record);
    int len = 0;
    if (end != nullptr) {
        while (start + len < end && start[len] != 0)
            ++len;
    } else {
        len = static_cast<int>(std::strlen(reinterpret_cast<const char*>(start)));
    }
    text = set_text(start, len, true, true, language, found_language);
    return true;
}

int XrGeomCursor::get_pp(const BYTE* record, int& id, int& x, int& y, short& type, short& aux,
                         const BYTE*& points, BYTE& coding, const BYTE*& attributes)
{
    (void)attributes;
    namespace m = xr_memory_record;
    if (!long_enough(record, m::POLY_SIZE))
        return 0;
    id = xr_bytes::get_i32_le(record + m::ID);
    type = xr_bytes::get_i16_le(record + m::TYPE);
    unsigned int a = xr_bytes::get_u16_le(record + m::AUX);
    aux = static_cast<short>(a & ~m::AUX_CODING_16);
    coding = (a & m::AUX_CODING_16) != 0 ? 16 : 32;
    x = xrqt::get_s24(record + m::X);
    y = xrqt::get_s24(record + m::POLY_Y);
    points = record + m::POLY_SIZE;
    // The record carries no count: the differences run to its end.
    const BYTE* end = get_record_end(record);
    if (end == nullptr)
        return 1;
    int count = 1;
    const BYTE* p = points;
    for (;;) {
        int nx = xr_varint::length_within(p, end);
        if (nx == 0)
            break;
        int ny = xr_varint::length_within(p + nx, end);
        if (ny == 0)
            break;
        p += nx + ny;
        ++count;
    }
    return count;
}

void XrGeomCursor::get_pp_next_pt(BYTE coding, int& x, int& y, const BYTE*& p)
{
    if (coding == 8) {
        x += static_cast<signed char>(p[0]);
        y += static_cast<signed char>(p[1]);
        p += 2;
        return;
    }
    x += xr_varint::read(p);
    y += xr_varint::read(p);
}

// ------------------------------------------------------------ polygons

bool read_polygon_from_cursor(XrPolygon& polygon, XrGeomStorage::XrRecordType type, const BYTE* record,
                              XrGeomCursor* cursor, bool keep_open)
{
    if (!keep_open) {
        if (type == XrGeomStorage::RecPolyline)
            polygon.set_open(true);
        else if (type == XrGeomStorage::RecPolygon)
            polygon.set_open(false);
        else
            return false;
    }
    polygon.clear();
    int id = 0, x = 0, y = 0;
    short t = 0, aux = 0;
    const BYTE* points = nullptr;
    const BYTE* attributes = nullptr;
    BYTE coding = 0;
    int count = cursor->get_pp(record, id, x, y, t, aux, points, coding, attributes);
    if (count <= 0)
        return false;
    polygon.set_type(t);
    polygon.add_point(XrPoint(x, y));
    for (int i = 1; i < count; ++i) {
        cursor->get_pp_next_pt(coding, x, y, points);
        polygon.add_point(XrPoint(x, y));
    }
    return true;
}
