// A geographic position in degrees, longitude first, with a validity flag;
// its degree-minute-second texts and the reading of coordinate text input.
// The conversions to and from map points are defined in common/geometry
// (xr_coordinate_map.cpp), which their users link.
#pragma once

#include "common/container/xr_string.h"

class XrPoint;
class XrProjection;

class XrCoordinate {
public:
    // (0, 0), invalid.
    XrCoordinate() = default;
    // Valid.
    XrCoordinate(double longitude, double latitude) : m_longitude(longitude), m_latitude(latitude), m_valid(true) {}
    // Valid: the map point through the projection (0, 0 without one).
    XrCoordinate(const XrPoint& point, const XrProjection* projection);

    bool is_valid() const { return m_valid; }
    double get_longitude() const { return m_longitude; }
    double get_latitude() const { return m_latitude; }
    // The map point through the projection; (0, 0) without one.
    XrPoint to_point(const XrProjection* projection) const;
    // Degree-minute-second texts; both emptied when invalid.
    void to_strings(XrString& latitude, XrString& longitude) const;

    bool operator==(const XrCoordinate& o) const = default;

private:
    double m_longitude = 0;
    double m_latitude = 0;
    bool m_valid = false;
};

// "48° 30' 00"N" / "011° 15' 30"E"; with tenths "48° 30' 00.5"N". At most
// 20 characters.
XrString format_dms(double degrees, bool longitude, bool tenths);
// "<latitude>, <longitude>" into buf of size characters (terminator
// included), each part limited to half of size.
void format_dms_coordinate(TCHAR* buf, int size, const XrCoordinate& c, bool tenths);

// Decimal degrees ("48.5", "-11,25"): the whole text must be one number
// (blanks around it allowed), within -180..180 / -90..90.
bool parse_longitude(const XrString& text, double& out);
bool parse_latitude(const XrString& text, double& out);
// NMEA "ddmm.mmmm" (latitude) or "dddmm.mmmm" (longitude) to degrees.
bool parse_nmea_degrees(const XrString& text, double& out);
// Degree-minute-second text: an optional hemisphere letter, then up to three
// numbers (degrees, minutes, seconds), or the letter behind them. A '-'
// before the degrees negates the whole value; S and W negate it.
bool parse_dms_coordinate(const XrString& text, bool longitude, double& out);
