// NMEA sentences for the positioning tests.
#pragma once

#include <cstdio>
#include <string>

#include "common/container/xr_string.h"

namespace nmea_text {

// "$" body "*" checksum "\r\n".
inline std::string sentence(const std::string& body)
{
    unsigned sum = 0;
    for (unsigned char c : body)
        sum ^= c;
    char tail[8];
    std::snprintf(tail, sizeof(tail), "*%02X\r\n", sum);
    return "$" + body + tail;
}

inline XrString wide(const std::string& text)
{
    return XrString(text.c_str(), static_cast<int>(text.size()));
}

} // namespace nmea_text
