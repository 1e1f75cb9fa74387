// Records in the in-memory layout of XrMemoryGeomStorage, built from plain
// values for the tests.
#pragma once

#include <cstring>
#include <vector>

#include "common/container/xr_bytearray.h"
#include "common/container/xr_bytes.h"
#include "common/geometry/xr_point.h"

namespace xr_test {

// A point (or, with text, a text) record: id, type, aux, x, y, text.
inline std::vector<BYTE> point_record(int id, int x, int y, int type, int aux, const char* text = nullptr)
{
    XrByteWriter w;
    w.u32_le(static_cast<std::uint32_t>(id));
    w.u16_le(static_cast<std::uint16_t>(type));
    w.u16_le(static_cast<std::uint16_t>(aux));
    w.u32_le(static_cast<std::uint32_t>(x));
    w.u32_le(static_cast<std::uint32_t>(y));
    if (text != nullptr)
        w.bytes(text, std::strlen(text) + 1);
    return w.take();
}

// A polyline or polygon record: id, type, aux, the first point in 3 bytes
// each, then the differences of the others as varints.
inline std::vector<BYTE> polyline_record(int id, const std::vector<XrPoint>& pts, int type, int aux)
{
    XrByteWriter w;
    w.u32_le(static_cast<std::uint32_t>(id));
    w.u16_le(static_cast<std::uint16_t>(type));
    w.u16_le(static_cast<std::uint16_t>(aux));
    w.u24_le(static_cast<std::uint32_t>(pts[0].x));
    w.u24_le(static_cast<std::uint32_t>(pts[0].y));
    XrByteArray d;
    for (size_t i = 1; i < pts.size(); ++i) {
        d.append_varint(pts[i].x - pts[i - 1].x);
        d.append_varint(pts[i].y - pts[i - 1].y);
    }
    w.bytes(d.get_items(), static_cast<std::size_t>(d.get_num_items()));
    return w.take();
}

} // namespace xr_test
