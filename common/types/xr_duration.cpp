#include "common/types/xr_duration.h"

#include "common/container/xr_saturate.h"
#include "common/misc/xr_locale_dummy.h"

namespace {

// Appends "<value> <label>", with a separating blank before it when out is
// not empty.
void append_part(XrString& out, int value, XrLocale::XrLocaleUnit unit)
{
    if (!out.is_empty())
        out += L' ';
    XrString number;
    XrLocale::format_int(number, value, 0);
    out += number;
    out += L' ';
    out += XrLocale::get_unit(unit);
}

void append_two_digits(XrString& out, int value)
{
    XrString number;
    XrLocale::format_int(number, value, 2);
    out += number;
}

} // namespace

XrDuration::XrDuration(int value, ValueUnit unit)
{
    m_valid = true;
    switch (unit) {
    case Seconds:
        m_value = value;
        break;
    case Minutes:
        m_value = xr_saturate_int((long long)value * 60);
        break;
    default:
        XR_ASSERT(false);
    }
}

bool XrDuration::get_value(int& out, ValueUnit unit) const
{
    int v = 0;
    switch (unit) {
    case Seconds:
        v = m_value;
        break;
    case Minutes:
        v = m_value / 60;
        break;
    default:
        XR_ASSERT(false);
    }
    return deliver(out, v);
}

XrString XrDuration::to_string(DisplayUnit unit) const
{
    if (unit < DisplaySeconds || unit > DisplayDaysHoursMinutes)
        XR_ASSERT(false);
    if (!m_valid)
        return XrString();

    const int s = m_value;
    XrString out;
    switch (unit) {
    case DisplaySeconds:
        append_part(out, s, XrLocale::Seconds);
        break;
    case DisplayMinutes:
        append_part(out, s / 60, XrLocale::Minutes);
        break;
    case DisplayHoursMinutes:
    case DisplayHoursMinutesSeconds:
        append_two_digits(out, s / 3600);
        out += XrLocale::get_hour_minute_separator();
        append_two_digits(out, (s % 3600) / 60);
        if (unit == DisplayHoursMinutesSeconds) {
            out += XrLocale::get_minute_second_separator();
            append_two_digits(out, s % 60);
        }
        break;
    case DisplayDaysHoursMinutes: {
        const int days = s / 86400;
        const int hours = (s - days * 86400) / 3600;
        const int minutes = (s % 3600) / 60;
        if (days > 0)
            append_part(out, days, XrLocale::Days);
        if (hours > 0)
            append_part(out, hours, XrLocale::Hours);
        if (minutes != 0 || out.is_empty())
            append_part(out, minutes, XrLocale::Minutes);
        break;
    }
    }
    return out;
}

XrDuration XrDuration::operator+(const XrDuration& o) const
{
    return (m_valid && o.m_valid) ? XrDuration(xr_saturate_int((long long)m_value + o.m_value), Seconds)
                                  : XrDuration();
}

XrDuration XrDuration::operator-(const XrDuration& o) const
{
    return (m_valid && o.m_valid) ? XrDuration(xr_saturate_int((long long)m_value - o.m_value), Seconds)
                                  : XrDuration();
}
