#include "common/corvanel_core/impl/xr_nmeaparser.h"

#include "common/corvanel_core/impl/xr_stopwatch.h"
#include "common/container/xr_string.h"
#include "common/corvanel_core/interfaces/xr_gpsprovider.h"
#include "common/misc/xr_textutil.h"

#include <cmath>
#include <cwchar>
#include <memory>

namespace {

constexpr double knots_to_mps = 0.5144444444444445;
// An empty speed or course field repeats the last value this long.
constexpr std::uint32_t last_value_lifetime_ms = 10000;

bool is_blank(TCHAR c)
{
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

// Two digits at s, at most max.
bool two_digits(const TCHAR* s, int max, std::uint8_t& out)
{
    if (!is_digit(s[0]) || !is_digit(s[1]))
        return false;
    const int v = (s[0] - L'0') * 10 + (s[1] - L'0');
    if (v > max)
        return false;
    out = static_cast<std::uint8_t>(v);
    return true;
}

// A field of an optional sign, digits and (with allow_point) one '.'; the
// empty field reads as 0.
bool number_text(const TCHAR* t, bool allow_point, double& out)
{
    const TCHAR* p = t;
    if (*p == L'+' || *p == L'-')
        ++p;
    bool point = false;
    for (const TCHAR* q = p; *q != 0; ++q) {
        if (is_digit(*q))
            continue;
        if (allow_point && *q == L'.' && !point) {
            point = true;
            continue;
        }
        return false;
    }
    const double v = *p == 0 || (p[0] == L'.' && p[1] == 0) ? 0.0 : std::wcstod(t, nullptr);
    if (!std::isfinite(v))
        return false;
    out = v;
    return true;
}

bool int_text(const TCHAR* t, int& out)
{
    double v = 0;
    if (!number_text(t, false, v) || v < -2147483648.0 || v > 2147483647.0)
        return false;
    out = static_cast<int>(v);
    return true;
}

// "ddmm.mmmm" / "dddmm.mmmm" within the limit, minutes below 60.
bool parse_coordinate(const TCHAR* text, double limit, double& out)
{
    const TCHAR* dot = std::wcschr(text, L'.');
    if (dot == nullptr)
        return false;
    const int before = static_cast<int>(dot - text);
    if (before != 4 && before != 5)
        return false;
    for (const TCHAR* p = text; *p != 0; ++p) {
        if (p != dot && !is_digit(*p))
            return false;
    }
    int degrees = 0;
    for (const TCHAR* p = text; p < dot - 2; ++p)
        degrees = degrees * 10 + (*p - L'0');
    const double minutes = std::wcstod(dot - 2, nullptr);
    const double v = degrees + minutes / 60.0;
    if (!(minutes < 60.0) || !(v <= limit))
        return false;
    out = v;
    return true;
}

} // namespace

XrNMEAParser::XrNMEAParser() : tokens(L',')
{
    tokens.add_delimiter(L'*');
}

bool XrNMEAParser::checksum_ok(const TCHAR* line)
{
    const TCHAR* star = std::wcsrchr(line, L'*');
    if (star == nullptr)
        return true;
    const TCHAR* p = line;
    while (is_blank(*p))
        ++p;
    if (*p == L'$')
        ++p;
    unsigned sum = 0;
    for (; p < star; ++p) {
        if (*p > 0xFF)
            return false;
        sum ^= static_cast<unsigned>(*p);
    }
    const int hi = hex_value(star[1]);
    const int lo = hi < 0 ? -1 : hex_value(star[2]);
    if (hi < 0 || lo < 0)
        return false;
    for (const TCHAR* q = star + 3; *q != 0; ++q) {
        if (!is_blank(*q))
            return false;
    }
    return static_cast<unsigned>(hi * 16 + lo) == sum;
}

XrPositionMessage* XrNMEAParser::parse(const TCHAR* line)
{
    if (line == nullptr || !checksum_ok(line))
        return nullptr;
    // The checksum digits are no field: the text ends at the '*', so a
    // sentence cut before its last field stays cut.
    const TCHAR* star = std::wcsrchr(line, L'*');
    if (star != nullptr) {
        scratch.assign(line, static_cast<size_t>(star - line + 1));
        tokens.set_input(scratch.c_str());
    } else {
        tokens.set_input(line);
    }
    const TCHAR* name = tokens.parse_next(true, true);
    if (name == nullptr)
        return nullptr;
    if (std::wcscmp(name, L"$GPRMC") == 0)
        return parse_rmc();
    if (std::wcscmp(name, L"$GPGSA") == 0)
        parse_gsa();
    else if (std::wcscmp(name, L"$GPGSV") == 0)
        parse_gsv();
    else if (std::wcscmp(name, L"$PNOK") == 0)
        parse_pnok();
    else if (std::wcscmp(name, L"$PNOKU") == 0 || std::wcscmp(name, L"$GPNOK") == 0)
        parse_pnoku();
    return nullptr;
}

bool XrNMEAParser::next_number(double& value)
{
    return tokens.parse_double(value) && std::isfinite(value);
}

XrPositionMessage* XrNMEAParser::parse_rmc()
{
    const std::uint32_t now = position_tick_count_ms();
    const TCHAR* field[9];
    for (auto& f : field) {
        f = tokens.parse_next(true, true);
        if (f == nullptr)
            return nullptr;
    }
    double variation = 0;
    if (!next_number(variation))
        return nullptr;
    // The variation's direction (optional) and the checksum are not used.
    const TCHAR* time = field[0];
    const TCHAR* status = field[1];
    const TCHAR* lat_text = field[2];
    const TCHAR* ns = field[3];
    const TCHAR* lon_text = field[4];
    const TCHAR* ew = field[5];
    const TCHAR* speed_text = field[6];
    const TCHAR* course_text = field[7];
    const TCHAR* date = field[8];

    // Everything is checked before any state changes: a refused sentence
    // leaves the parser as it was.
    std::uint8_t hh = hours, mm = minutes, ss = seconds;
    if (std::wcslen(time) > 5) {
        if (!two_digits(time, 23, hh) || !two_digits(time + 2, 59, mm) || !two_digits(time + 4, 60, ss))
            return nullptr;
    }
    std::uint8_t dd = day, mo = month;
    int yy_full = year;
    if (std::wcslen(date) == 6) {
        std::uint8_t yy = 0;
        if (!two_digits(date, 31, dd) || dd == 0 || !two_digits(date + 2, 12, mo) || mo == 0 ||
            !two_digits(date + 4, 99, yy))
            return nullptr;
        yy_full = yy < 70 ? 2000 + yy : 1900 + yy;
    }
    double speed_value = 0;
    double course_value = 0;
    const bool speed_given = *speed_text != 0;
    const bool course_given = *course_text != 0;
    if (speed_given && (!number_text(speed_text, true, speed_value) || speed_value < 0))
        return nullptr;
    if (course_given && !number_text(course_text, true, course_value))
        return nullptr;
    const bool valid = status[0] != L'V';
    double lat = 0;
    double lon = 0;
    const bool lat_ok = parse_coordinate(lat_text, 90.0, lat);
    const bool lon_ok = parse_coordinate(lon_text, 180.0, lon);
    if (valid && (!lat_ok || !lon_ok))
        return nullptr;

    hours = hh;
    minutes = mm;
    seconds = ss;
    day = dd;
    month = mo;
    year = yy_full;
    if (speed_given) {
        last_speed_knots = speed_value;
        last_speed_tick = now;
    } else {
        speed_value = last_values_valid && now - last_speed_tick <= last_value_lifetime_ms ? last_speed_knots : 0;
    }
    if (course_given) {
        last_course = course_value;
        last_course_tick = now;
    } else {
        course_value = last_values_valid && now - last_course_tick <= last_value_lifetime_ms ? last_course : 0;
    }
    if (valid) {
        last_values_valid = true;
    } else {
        last_values_valid = false;
        last_speed_knots = 0;
        last_course = 0;
        last_speed_tick = 0;
        last_course_tick = 0;
    }
    if (ew[0] == L'W')
        lon = -lon;
    if (ns[0] == L'S')
        lat = -lat;
    speed = speed_value * knots_to_mps;
    course = course_value;

    auto* message = new XrNMEAMessage;
    message->moving = speed != 0 || course != 0;
    if (course < 0)
        course = 0;
    else if (course >= 360)
        course = std::fmod(course, 360.0);
    message->longitude = lon;
    message->latitude = lat;
    message->speed = speed;
    message->course = course;
    message->valid = valid;
    message->hours = hours;
    message->minutes = minutes;
    message->seconds = seconds;
    message->year = year;
    message->month = month;
    message->day = day;
    return message;
}

void XrNMEAParser::parse_gsa()
{
    // Mode and fix type.
    if (tokens.parse_next() == nullptr || tokens.parse_next() == nullptr)
        return;
    used_satellites.remove_all();
    for (int i = 0; i < max_used_satellites; ++i) {
        const TCHAR* t = tokens.parse_next(true, true);
        if (t == nullptr)
            return;
        if (*t == 0)
            continue;
        int number = 0;
        if (int_text(t, number))
            used_satellites.append(number);
    }
}

void XrNMEAParser::reset_gsv_group()
{
    gsv_remaining = -1;
    gsv_message_count = -1;
    gsv_last_number = -1;
    collecting.remove_all();
}

void XrNMEAParser::parse_gsv()
{
    const int previous_count = gsv_message_count;
    int count = 0;
    if (!tokens.parse_int(count) || count < 1) {
        reset_gsv_group();
        return;
    }
    if (previous_count != -1 && count != previous_count) {
        reset_gsv_group();
        return;
    }
    gsv_message_count = count;
    int number = 0;
    if (!tokens.parse_int(number) || (gsv_last_number == -1 && number != 1) ||
        (gsv_last_number != -1 && number != gsv_last_number + 1) || number > count) {
        reset_gsv_group();
        return;
    }
    gsv_last_number = number;
    int in_view = 0;
    if (!tokens.parse_int(in_view) || in_view < 0) {
        reset_gsv_group();
        return;
    }
    if (number == 1)
        gsv_remaining = in_view;
    for (int i = 0; i < 4 && gsv_remaining > 0; ++i) {
        int sv[4];
        for (int& v : sv) {
            if (!tokens.parse_int(v) || v < 0 || v > 0xFFFF) {
                reset_gsv_group();
                return;
            }
        }
        XrSVData record;
        record.number = static_cast<std::uint16_t>(sv[0]);
        record.elevation = static_cast<std::uint16_t>(sv[1]);
        record.azimuth = static_cast<std::uint16_t>(sv[2]);
        record.snr = sv[3];
        if (collecting.get_num_items() < max_satellites_in_view)
            collecting.append(record);
        --gsv_remaining;
    }
    if (number != count)
        return;
    satellites_in_view.remove_all();
    for (int i = 0; i < collecting.get_num_items(); ++i)
        satellites_in_view.append(*collecting.get_item_ptr(i));
    ++sky_updates;
    reset_gsv_group();
}

void XrNMEAParser::parse_pnok()
{
    const TCHAR* word = tokens.parse_next(true, true);
    if (word == nullptr || std::wcscmp(word, L"STAT") != 0)
        return;
    int values[4];
    for (int& v : values) {
        if (!tokens.parse_int(v))
            return;
    }
    auto* gps = static_cast<XrGpsProvider*>(XrSingleton::get_instance(XrString("XrGpsProvider")));
    if (gps != nullptr)
        gps->set_receiver_state(values[0]);
}

void XrNMEAParser::parse_pnoku()
{
    int values[6];
    for (int& v : values) {
        if (!tokens.parse_int(v))
            return;
    }
    receiver_a = values[0];
    receiver_b = values[4];
    receiver_c = values[5];
}

void XrNMEAParser::reset()
{
    used_satellites.remove_all();
    satellites_in_view.remove_all();
    receiver_a = 0;
    receiver_b = 0;
    receiver_c = 0;
}
