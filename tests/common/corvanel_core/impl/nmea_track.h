// A generated receiver log: one epoch a second from 2026-12-10 14:00:00 UTC,
// driving north-east from 60.2 N 24.9 E at 15 m/s. Each epoch is "$GPRMC",
// "$GPGGA", "$GPGSA" and a "$GPGSV" group of three sentences (ten
// satellites), all with checksums.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "nmea_text.h"

namespace nmea_track {

constexpr int lines_per_epoch = 6;
constexpr double start_lat = 60.2;
constexpr double start_lon = 24.9;
constexpr double speed_mps = 15.0;
constexpr double course = 45.0;

// Degrees to "ddmm.mmmm" / "dddmm.mmmm".
inline std::string nmea_degrees(double deg, int degree_digits)
{
    const int d = static_cast<int>(deg);
    char buf[32];
    std::snprintf(buf, sizeof(buf), "%0*d%07.4f", degree_digits, d, (deg - d) * 60.0);
    return buf;
}

inline double lat_at(int epoch)
{
    return start_lat + epoch * speed_mps * std::cos(course * M_PI / 180) / 111320.0;
}

inline double lon_at(int epoch)
{
    return start_lon + epoch * speed_mps * std::sin(course * M_PI / 180) / (111320.0 * std::cos(start_lat * M_PI / 180));
}

// The sentences of one epoch.
inline std::string epoch(int i)
{
    using nmea_text::sentence;
    const int t = 14 * 3600 + i;
    char hms[16];
    std::snprintf(hms, sizeof(hms), "%02d%02d%02d.00", (t / 3600) % 24, (t / 60) % 60, t % 60);
    const std::string lat = nmea_degrees(lat_at(i), 2);
    const std::string lon = nmea_degrees(lon_at(i), 3);
    char knots[16];
    std::snprintf(knots, sizeof(knots), "%.3f", speed_mps / 0.5144444444444445);
    std::string out;
    out += sentence("GPRMC," + std::string(hms) + ",A," + lat + ",N," + lon + ",E," + knots + ",45.0,101226,,,A");
    out += sentence("GPGGA," + std::string(hms) + "," + lat + ",N," + lon + ",E,1,08,0.9,25.0,M,17.0,M,,");
    out += sentence("GPGSA,A,3,02,05,07,09,12,15,18,21,,,,,1.6,0.9,1.3");
    const int prn[10] = {2, 5, 7, 9, 12, 15, 18, 21, 24, 27};
    for (int m = 0; m < 3; ++m) {
        std::string body = "GPGSV,3," + std::to_string(m + 1) + ",10";
        for (int k = m * 4; k < std::min(10, m * 4 + 4); ++k) {
            char sat[32];
            std::snprintf(sat, sizeof(sat), ",%02d,%02d,%03d,%02d", prn[k], 10 + k * 7, (k * 37 + i) % 360, 20 + k * 2);
            body += sat;
        }
        out += sentence(body);
    }
    return out;
}

// At least `lines` lines: whole epochs.
inline std::string log(int lines)
{
    std::string out;
    for (int i = 0; i * lines_per_epoch < lines; ++i)
        out += epoch(i);
    return out;
}

} // namespace nmea_track
