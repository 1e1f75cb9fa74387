// An angle in degrees with a validity flag; valid only for 0 <= degrees < 360.
#pragma once

#include "common/container/xr_string.h"
#include "common/types/xr_validvalue.h"

class XrAngle : public XrValidValue<XrAngle, double> {
public:
    enum XrAngleUnit { Degrees = 0, Radians = 1 };

    XrAngle() = default;
    // Outside 0 <= degrees < 360 the angle is invalid with value 0.
    XrAngle(double value, XrAngleUnit unit);

    // False (out untouched) when invalid.
    bool get_value(double& out, XrAngleUnit unit) const;
    // Degrees followed by "°", radians without suffix; empty when invalid.
    XrString to_string(XrAngleUnit unit, int decimals) const;

    // Invalid unless both are valid; the result is not reduced modulo 360,
    // so a sum or difference outside 0..360 is an invalid angle.
    XrAngle operator+(const XrAngle& o) const;
    XrAngle operator-(const XrAngle& o) const;
};
