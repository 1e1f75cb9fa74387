// A distance in whole centimetres with a validity flag.
#pragma once

#include "common/container/xr_string.h"
#include "common/types/xr_validvalue.h"

class XrDistance : public XrValidValue<XrDistance, int> {
public:
    enum XrDistanceUnit { Metres = 0, Kilometres = 1, Miles = 2, Yards = 3, Feet = 4, Centimetres = 5 };
    // Unit systems of to_display_string.
    enum XrUnitSystem { Metric = 0, YardsAndMiles = 1, FeetAndMiles = 2 };

    XrDistance() = default;
    // Always valid: the value in centimetres, + 0.5, truncated towards zero.
    XrDistance(double value, XrDistanceUnit unit);

    // False (out untouched) when invalid.
    bool get_value(double& out, XrDistanceUnit unit) const;
    // The value in the unit, a space and the unit label; empty when invalid.
    XrString to_string(XrDistanceUnit unit, int decimals) const;
    // Unit and decimals chosen for display in a unit system (XrUnitSystem);
    // precision 0, 1, or 2 and above. Empty when invalid.
    XrString to_display_string(int system, int precision) const;

    // Invalid unless both are valid; saturates at the int range.
    XrDistance operator+(const XrDistance& o) const;
    XrDistance operator-(const XrDistance& o) const;

private:
    static XrDistance from_centimetres(long long cm);
};
