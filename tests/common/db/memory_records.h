// Records in the in-memory layout of XrMemoryGeomStorage, built from plain
// values for the tests.
#pragma once

#include <cstring>
#include <vector>

#include "common/container/xr_bytearray.h"
#include "common/geometry/xr_point.h"

namespace xr_test {

// Appends the n low bytes of v, little-endian.
inline void put_le(std::vector<BYTE>& b, long long v, int n)
{
    for (int i = 0; i < n; ++i)
        b.push_back(static_cast<BYTE>(v >> (8 * i)));
}

// A point (or, with text, a text) record: id, type, aux, x, y, text.
inline std::vector<BYTE> point_record(int id, int x, int y, int type, int aux, const char* text = nullptr)
{
    std::vector<BYTE> b;
    put_le(b, id, 4);
    put_le(b, type, 2);
    put_le(b, aux, 2);
    put_le(b, x, 4);
    put_le(b, y, 4);
    if (text != nullptr)
        b.insert(b.end(), text, text + std::strlen(text) + 1);
    return b;
}

// A polyline or polygon record: id, type, aux, the first point in 3 bytes
// each, then the differences of the others as varints.
inline std::vector<BYTE> polyline_record(int id, const std::vector<XrPoint>& pts, int type, int aux)
{
    std::vector<BYTE> b;
    put_le(b, id, 4);
    put_le(b, type, 2);
    put_le(b, aux, 2);
    put_le(b, pts[0].x, 3);
    put_le(b, pts[0].y, 3);
    XrByteArray d;
    for (size_t i = 1; i < pts.size(); ++i) {
        d.append_varint(pts[i].x - pts[i - 1].x);
        d.append_varint(pts[i].y - pts[i - 1].y);
    }
    b.insert(b.end(), d.get_items(), d.get_items() + d.get_num_items());
    return b;
}

} // namespace xr_test
