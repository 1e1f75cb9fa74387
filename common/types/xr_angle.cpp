#include "common/types/xr_angle.h"

#include "common/container/xr_saturate.h"
#include "common/misc/xr_locale_dummy.h"

namespace {
constexpr double k_pi = 3.14159265;
}

XrAngle::XrAngle(double value, XrAngleUnit unit)
{
    double degrees = 0;
    switch (unit) {
    case Degrees:
        degrees = value;
        break;
    case Radians:
        degrees = value / k_pi * 180;
        break;
    default:
        XR_ASSERT(false);
    }
    if (degrees >= 0 && degrees < 360) {
        m_valid = true;
        m_value = degrees;
    }
}

bool XrAngle::get_value(double& out, XrAngleUnit unit) const
{
    double v = 0;
    switch (unit) {
    case Degrees:
        v = m_value;
        break;
    case Radians:
        v = m_value * k_pi / 180;
        break;
    default:
        XR_ASSERT(false);
    }
    return deliver(out, v);
}

XrString XrAngle::to_string(XrAngleUnit unit, int decimals) const
{
    if (unit != Degrees && unit != Radians)
        XR_ASSERT(false);
    return format_value(unit, decimals, unit == Degrees ? L"°" : L"");
}

XrAngle XrAngle::operator+(const XrAngle& o) const
{
    return (m_valid && o.m_valid) ? XrAngle(m_value + o.m_value, Degrees) : XrAngle();
}

XrAngle XrAngle::operator-(const XrAngle& o) const
{
    return (m_valid && o.m_valid) ? XrAngle(m_value - o.m_value, Degrees) : XrAngle();
}
