#include "common/types/xr_datetime.h"

#include <cstdio>
#include <ctime>

#include "common/container/xr_saturate.h"

namespace {

int now_seconds()
{
    return xr_saturate_int(static_cast<long long>(std::time(nullptr)));
}

// The broken-down fields of a local value (local seconds read as if UTC).
std::tm local_fields(int local_value)
{
    std::time_t t = static_cast<std::time_t>(local_value);
    std::tm tm{};
    gmtime_r(&t, &tm);
    return tm;
}

int make_time(int hour, int minute, int second, int day, int month, int year)
{
    std::tm tm{};
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_mday = day;
    tm.tm_mon = month - 1;
    tm.tm_year = year - 1900;
    tm.tm_isdst = 0;
    return xr_saturate_int(static_cast<long long>(std::mktime(&tm)));
}

XrString strftime_text(const char* format, const std::tm& tm)
{
    char buf[64];
    const std::size_t n = std::strftime(buf, sizeof buf, format, &tm);
    return XrString(buf, static_cast<int>(n));
}

XrString unsigned_text(int value)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%u", static_cast<unsigned int>(value));
    return XrString(buf);
}

} // namespace

XrDatetime::XrDatetime() : m_utc(true), m_value(now_seconds()) {}

XrDatetime::XrDatetime(int utc_seconds) : m_utc(true), m_value(utc_seconds) {}

void XrDatetime::set_now()
{
    set_utc(now_seconds());
}

void XrDatetime::set_utc(int seconds)
{
    m_utc = true;
    m_value = seconds;
}

void XrDatetime::set_local(int seconds)
{
    m_utc = false;
    m_value = seconds;
}

void XrDatetime::set_utc_text(const XrString& text)
{
    set_utc(wide_atoi(text.c_str()));
}

void XrDatetime::set_local_text(const XrString& text)
{
    set_local(wide_atoi(text.c_str()));
}

void XrDatetime::set_date(int year, int month, int day)
{
    set_utc(make_time(0, 0, 0, day, month, year));
}

void XrDatetime::set_fields(int hour, int minute, int second, int day, int month, int year, bool add_zone)
{
    long long v = make_time(hour, minute, second, day, month, year);
    if (add_zone)
        v += get_zone_offset();
    set_utc(xr_saturate_int(v));
}

void XrDatetime::add_seconds(int seconds)
{
    m_value = xr_saturate_int((long long)m_value + seconds);
}

int XrDatetime::get_utc() const
{
    return m_utc ? m_value : xr_saturate_int((long long)m_value - get_zone_offset());
}

int XrDatetime::get_local() const
{
    return m_utc ? xr_saturate_int((long long)m_value + get_zone_offset()) : m_value;
}

int XrDatetime::get_zone_offset()
{
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return static_cast<int>(tm.tm_gmtoff);
}

int XrDatetime::get_weekday() const
{
    return (local_fields(get_local()).tm_wday + 6) % 7;
}

void XrDatetime::get_fields(int* hour, int* minute, int* second, int* day, int* month, int* year) const
{
    const std::tm tm = local_fields(get_local());
    if (hour)
        *hour = tm.tm_hour;
    if (minute)
        *minute = tm.tm_min;
    if (second)
        *second = tm.tm_sec;
    if (day)
        *day = tm.tm_mday;
    if (month)
        *month = tm.tm_mon + 1;
    if (year)
        *year = tm.tm_year + 1900;
}

int XrDatetime::operator-(const XrDatetime& other) const
{
    return xr_saturate_int((long long)get_local() - other.get_local());
}

void XrDatetime::split_difference(const XrDatetime& other, bool* negative, int* days, int* hours, int* minutes,
                                  int* seconds) const
{
    const long long d = (long long)get_local() - other.get_local();
    long long rest = d < 0 ? -d : d;
    long long dd = 0, hh = 0, mm = 0;
    if (rest >= 86401) {
        dd = rest / 86400;
        rest %= 86400;
    }
    if (rest >= 3601) {
        hh = rest / 3600;
        rest %= 3600;
    }
    if (rest > 60) {
        mm = rest / 60;
        rest %= 60;
    }
    *negative = d < 0;
    *days = static_cast<int>(dd);
    *hours = static_cast<int>(hh);
    *minutes = static_cast<int>(mm);
    *seconds = static_cast<int>(rest);
}

void XrDatetime::to_string(XrString& out, bool date, bool time) const
{
    const std::tm tm = local_fields(get_local());
    out.clear();
    if (date)
        out += strftime_text("%F", tm);
    if (date && time)
        out += L' ';
    if (time)
        out += strftime_text("%R", tm);
}

void XrDatetime::to_string_12h(XrString& time_text, XrString& am_pm, bool date, bool time) const
{
    const std::tm tm = local_fields(get_local());
    am_pm = strftime_text("%p", tm);
    if (am_pm.is_empty())
        to_string(time_text, date, time);
    else
        time_text = strftime_text("%I:%M", tm);
}

XrString XrDatetime::to_utc_text() const
{
    return unsigned_text(get_utc());
}

XrString XrDatetime::to_local_text() const
{
    return unsigned_text(get_local());
}
