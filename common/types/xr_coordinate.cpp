#include "common/types/xr_coordinate.h"

#include <algorithm>
#include <cmath>
#include <cwchar>

#include "common/container/xr_saturate.h"

namespace {

// Longest text parse_dms_coordinate looks at.
constexpr int k_dms_max_chars = 126;
// Longest degree-minute-second text.
constexpr int k_dms_text_chars = 20;

// Coordinate fields are one line typed by the user: only the space is a
// blank there (unlike xr_bytes::is_blank), so a tab or line break leaves
// decimal degrees unreadable.
bool is_space_char(TCHAR c)
{
    return c == L' ';
}

const TCHAR* skip_blanks(const TCHAR* p)
{
    while (is_space_char(*p))
        ++p;
    return p;
}

// Reads one number at p: an optional '-', digits with at most one '.', at
// least one digit. Returns the character behind it, or null when there is
// no well-formed number there.
const TCHAR* scan_number(const TCHAR* p, double& value, bool& negative)
{
    const TCHAR* start = p;
    negative = *p == L'-';
    if (negative)
        ++p;
    int digits = 0, dots = 0;
    for (; is_digit(*p) || *p == L'.'; ++p) {
        if (*p == L'.')
            ++dots;
        else
            ++digits;
    }
    if (digits == 0 || dots > 1)
        return nullptr;
    value = std::fabs(wide_atof(start));
    return p;
}

bool in_range(double v, bool longitude)
{
    const double limit = longitude ? 180 : 90;
    return v >= -limit && v <= limit;
}

bool parse_decimal_degrees(const XrString& text, bool longitude, double& out)
{
    XrString t(text);
    t.replace(L",", L".");
    double v = 0;
    bool negative = false;
    const TCHAR* p = scan_number(skip_blanks(t.c_str()), v, negative);
    if (p == nullptr || *skip_blanks(p) != 0)
        return false;
    if (negative)
        v = -v;
    if (!in_range(v, longitude))
        return false;
    out = v;
    return true;
}

// +1 or -1 for a hemisphere letter of the kind, 0 for anything else.
int hemisphere_sign(TCHAR c, bool longitude)
{
    if (c >= L'a' && c <= L'z')
        c -= L'a' - L'A';
    if (c == (longitude ? L'E' : L'N'))
        return 1;
    if (c == (longitude ? L'W' : L'S'))
        return -1;
    return 0;
}

bool is_hemisphere_letter(TCHAR c)
{
    return hemisphere_sign(c, true) != 0 || hemisphere_sign(c, false) != 0;
}

} // namespace

void XrCoordinate::to_strings(XrString& latitude, XrString& longitude) const
{
    if (!m_valid) {
        latitude.clear();
        longitude.clear();
        return;
    }
    latitude = format_dms(m_latitude, false, false);
    longitude = format_dms(m_longitude, true, false);
}

XrString format_dms(double degrees, bool longitude, bool tenths)
{
    // Whole tenths of a second, truncated; the tiny bias keeps values such
    // as 15' 45" from showing as 15' 44.9" through binary rounding.
    const double total = std::fabs(degrees) * 36000 + 1e-6;
    const long long tenths_total = total < 1e15 ? static_cast<long long>(total) : 0;
    const int d = xr_saturate_int(tenths_total / 36000);
    const int m = static_cast<int>(tenths_total / 600 % 60);
    const int s = static_cast<int>(tenths_total / 10 % 60);
    const int t = static_cast<int>(tenths_total % 10);
    const TCHAR hemisphere = longitude ? (degrees < 0 ? L'W' : L'E') : (degrees < 0 ? L'S' : L'N');

    TCHAR buf[k_dms_text_chars + 1];
    const TCHAR* fmt;
    if (tenths)
        fmt = longitude ? L"%03d° %02d' %02d.%d\"%lc" : L"%02d° %02d' %02d.%d\"%lc";
    else
        fmt = longitude ? L"%03d° %02d' %02d\"%lc" : L"%02d° %02d' %02d\"%lc";
    if (tenths)
        std::swprintf(buf, k_dms_text_chars + 1, fmt, d, m, s, t, static_cast<wint_t>(hemisphere));
    else
        std::swprintf(buf, k_dms_text_chars + 1, fmt, d, m, s, static_cast<wint_t>(hemisphere));
    buf[k_dms_text_chars] = 0;
    return XrString(buf);
}

void format_dms_coordinate(TCHAR* buf, int size, const XrCoordinate& c, bool tenths)
{
    if (buf == nullptr || size <= 0)
        return;
    buf[0] = 0;
    if (!c.is_valid())
        return;
    const int half = size / 2;
    XrString lat = format_dms(c.get_latitude(), false, tenths);
    XrString lon = format_dms(c.get_longitude(), true, tenths);
    if (half > 0)
        lat.truncate(std::min(lat.length(), half - 1));
    lon.truncate(std::min(lon.length(), std::max(half - 1, 0)));
    std::swprintf(buf, size, L"%ls, %ls", lat.c_str(), lon.c_str());
    buf[size - 1] = 0;
}

bool parse_longitude(const XrString& text, double& out)
{
    return parse_decimal_degrees(text, true, out);
}

bool parse_latitude(const XrString& text, double& out)
{
    return parse_decimal_degrees(text, false, out);
}

bool parse_nmea_degrees(const XrString& text, double& out)
{
    const TCHAR* s = text.c_str();
    const TCHAR* dot = wide_strchr(s, L'.');
    if (dot == nullptr)
        return false;
    const int before = static_cast<int>(dot - s);
    if (before != 4 && before != 5)
        return false;
    for (const TCHAR* p = s; *p != 0; ++p) {
        if (p != dot && !is_digit(*p))
            return false;
    }
    const int degree_digits = before - 2;
    const double v = wide_atoi_n(s, degree_digits) + wide_atof(s + degree_digits) / 60;
    if (!std::isfinite(v)) // an endless run of digits
        return false;
    out = v;
    return true;
}

bool parse_dms_coordinate(const XrString& text, bool longitude, double& out)
{
    TCHAR buf[k_dms_max_chars + 1];
    const int n = std::min(text.length(), k_dms_max_chars);
    for (int i = 0; i < n; ++i) {
        TCHAR c = text.char_at(i);
        if (c == L',')
            c = L'.';
        else if (!is_digit(c) && c != L'.' && c != L'-' && !is_hemisphere_letter(c))
            c = L' ';
        buf[i] = c;
    }
    buf[n] = 0;

    const TCHAR* p = skip_blanks(buf);
    int sign = hemisphere_sign(*p, longitude);
    const bool leading_letter = sign != 0;
    if (leading_letter)
        p = skip_blanks(p + 1);
    else
        sign = 1;

    double parts[3] = {0, 0, 0};
    bool negative = false;
    int count = 0;
    while (count < 3 && *p != 0 && !is_hemisphere_letter(*p)) {
        bool minus = false;
        p = scan_number(p, parts[count], minus);
        if (p == nullptr || (minus && count > 0))
            return false;
        negative = negative || minus;
        ++count;
        p = skip_blanks(p);
    }
    if (count == 0)
        return false;
    if (*p != 0) {
        const int trailing = leading_letter ? 0 : hemisphere_sign(*p, longitude);
        if (trailing == 0 || *skip_blanks(p + 1) != 0)
            return false;
        sign = trailing;
    }
    if (parts[1] >= 60 || parts[2] >= 60)
        return false;

    double v = parts[0] + parts[1] / 60 + parts[2] / 3600;
    if (negative)
        v = -v;
    v *= sign;
    if (!in_range(v, longitude))
        return false;
    out = v;
    return true;
}
