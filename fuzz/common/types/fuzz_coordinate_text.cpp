// Coordinate text input and NMEA degree fields on arbitrary characters.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "common/types/xr_coordinate.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // One wide character per input byte (Latin-1), plus a few above it.
    std::vector<TCHAR> text;
    for (std::size_t i = 0; i < size && text.size() < 400; ++i)
        text.push_back(data[i] == 0xFF ? TCHAR(0x2019) : TCHAR(data[i]));
    text.push_back(0);
    const XrString s(text.data());

    double v = 0;
    for (int longitude = 0; longitude < 2; ++longitude) {
        const double limit = longitude ? 180 : 90;
        if (parse_dms_coordinate(s, longitude != 0, v) && !(std::fabs(v) <= limit))
            std::abort();
        if ((longitude ? parse_longitude(s, v) : parse_latitude(s, v)) && !(std::fabs(v) <= limit))
            std::abort();
    }
    if (parse_nmea_degrees(s, v) && !(v >= 0 && std::isfinite(v)))
        std::abort();
    if (parse_dms_coordinate(s, true, v)) {
        // What was read formats and reads back to within a tenth of a second.
        double back = 0;
        if (!parse_dms_coordinate(format_dms(v, true, true), true, back) || std::fabs(back - v) > 0.1 / 3600 + 1e-9)
            std::abort();
    }
    return 0;
}
