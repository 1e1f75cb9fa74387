// A point in time: 32-bit seconds since 1970, either UTC or local time.
#pragma once

#include "common/container/xr_string.h"

class XrDatetime {
public:
    // The current time, UTC.
    XrDatetime();
    // UTC seconds since 1970.
    explicit XrDatetime(int utc_seconds);

    void set_now();
    void set_utc(int seconds);
    void set_local(int seconds);
    // The same from decimal text.
    void set_utc_text(const XrString& text);
    void set_local_text(const XrString& text);
    // Local midnight of the date (month 1..12), as UTC.
    void set_date(int year, int month, int day);
    // The local fields (month 1..12, four-digit year) without daylight
    // saving; with add_zone the current zone offset is added. UTC.
    void set_fields(int hour, int minute, int second, int day, int month, int year, bool add_zone);
    void add_seconds(int seconds);

    bool is_utc() const { return m_utc; }
    int get_utc() const;
    int get_local() const;
    // Seconds east of UTC of the local time now.
    static int get_zone_offset();
    // Local weekday, Monday 0 to Sunday 6.
    int get_weekday() const;
    // Local fields; month 1..12, four-digit year. The optional outputs may be null.
    void get_fields(int* hour, int* minute, int* second, int* day = nullptr, int* month = nullptr,
                    int* year = nullptr) const;

    // Difference of the local values in seconds.
    int operator-(const XrDatetime& other) const;
    bool operator>(const XrDatetime& other) const { return get_local() > other.get_local(); }

    // Splits this - other into days, hours, minutes and seconds: days only
    // from 86401 s, hours only from 3601 s of the rest, minutes only above
    // 60 s of the rest (so one hour shows as 60 minutes).
    void split_difference(const XrDatetime& other, bool* negative, int* days, int* hours, int* minutes,
                          int* seconds) const;

    // Local date "%F" and/or time "%R", one blank between.
    void to_string(XrString& out, bool date, bool time) const;
    // am_pm = "%p"; when that is empty, time is the 24-hour to_string,
    // otherwise "%I:%M".
    void to_string_12h(XrString& time_text, XrString& am_pm, bool date, bool time) const;
    // The UTC or local value as unsigned decimal text.
    XrString to_utc_text() const;
    XrString to_local_text() const;

private:
    bool m_utc = true;
    int m_value = 0;
};
