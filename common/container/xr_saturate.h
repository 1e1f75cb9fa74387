// Saturating conversions to int, shared by the value types and the text
// functions (header only).
#pragma once

#include <climits>

// A double truncated towards zero into an int, saturating at the int range
// (NaN gives INT_MIN) instead of overflowing.
inline int xr_clamp_to_int(double v)
{
    if (!(v > double(INT_MIN)))
        return INT_MIN;
    if (!(v < double(INT_MAX)))
        return INT_MAX;
    return static_cast<int>(v);
}

// A 64-bit sum or difference saturated to the int range.
inline int xr_saturate_int(long long v)
{
    return v < INT_MIN ? INT_MIN : (v > INT_MAX ? INT_MAX : static_cast<int>(v));
}

