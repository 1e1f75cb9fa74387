// A duration in seconds with a validity flag.
#pragma once

#include "common/container/xr_string.h"
#include "common/types/xr_validvalue.h"

class XrDuration : public XrValidValue<XrDuration, int> {
public:
    enum ValueUnit { Seconds = 0, Minutes = 1 };
    enum DisplayUnit {
        DisplaySeconds = 0,               // "N s"
        DisplayMinutes = 1,               // "N min"
        DisplayHoursMinutes = 2,          // "HH:MM"
        DisplayHoursMinutesSeconds = 3,   // "HH:MM:SS"
        DisplayDaysHoursMinutes = 4,      // "D d H h M min"
    };

    XrDuration() = default;
    // Always valid.
    XrDuration(int value, ValueUnit unit);

    // Seconds, or whole minutes; false (out untouched) when invalid.
    bool get_value(int& out, ValueUnit unit) const;
    // Empty when invalid.
    XrString to_string(DisplayUnit unit) const;

    // Invalid unless both are valid; saturates at the int range.
    XrDuration operator+(const XrDuration& o) const;
    XrDuration operator-(const XrDuration& o) const;
};
