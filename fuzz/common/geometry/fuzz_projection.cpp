// Projection texts as a map folder's settings hold them, and conversions
// through whatever projection they make: any value, NaN and infinity
// included, must convert without overflow.

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "common/geometry/xr_projection.h"

namespace {

template <class T>
T take(const uint8_t*& data, size_t& size)
{
    T v{};
    if (size >= sizeof v) {
        std::memcpy(&v, data, sizeof v);
        data += sizeof v;
        size -= sizeof v;
    }
    return v;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const double x = take<double>(data, size);
    const double y = take<double>(data, size);
    const int mx = take<int32_t>(data, size);
    const int my = take<int32_t>(data, size);

    // The rest is the text, one byte to one character.
    std::vector<TCHAR> text(data, data + size);
    text.push_back(0);
    std::unique_ptr<XrProjection> p(create_projection(XrString(text.data())));
    if (!p)
        return 0;

    int ox, oy;
    double lx, ly;
    p->to_map(x, y, ox, oy);
    p->from_map(mx, my, lx, ly);
    p->to_map(lx, ly, ox, oy);
    p->get_meridian_offset(x);

    double e, n;
    XrKKJProjection::change_zone(x, y, mx & 7, e, n);
    kkj_to_wgs84(x, y, e, n);
    return 0;
}
