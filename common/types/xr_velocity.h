// A speed in metres per second with a validity flag.
#pragma once

#include "common/container/xr_string.h"
#include "common/types/xr_validvalue.h"

class XrVelocity : public XrValidValue<XrVelocity, double> {
public:
    enum XrVelocityUnit { MetresPerSecond = 0, KilometresPerHour = 1, MilesPerHour = 2 };

    XrVelocity() = default;
    // Always valid.
    XrVelocity(double value, XrVelocityUnit unit);

    // False (out untouched) when invalid.
    bool get_value(double& out, XrVelocityUnit unit) const;
    // The value in the unit, a space and "m/s", "km/h" or "mph"; empty when invalid.
    XrString to_string(XrVelocityUnit unit, int decimals) const;

};
