#include "common/types/xr_distance.h"

#include <cmath>

#include "common/container/xr_saturate.h"
#include "common/misc/xr_locale_dummy.h"

namespace {

bool is_unit(XrDistance::XrDistanceUnit unit)
{
    return unit >= XrDistance::Metres && unit <= XrDistance::Centimetres;
}

// Metres per unit; centimetres are handled apart.
double metres_per_unit(XrDistance::XrDistanceUnit unit)
{
    switch (unit) {
    case XrDistance::Metres:
        return 1;
    case XrDistance::Kilometres:
        return 1000;
    case XrDistance::Miles:
        return 1609.344;
    case XrDistance::Yards:
        return 0.9144;
    case XrDistance::Feet:
        return 0.3048;
    case XrDistance::Centimetres:
        return 0.01;
    }
    XR_ASSERT(false);
}

XrLocale::XrLocaleUnit label_of(XrDistance::XrDistanceUnit unit)
{
    switch (unit) {
    case XrDistance::Metres:
        return XrLocale::Metres;
    case XrDistance::Kilometres:
        return XrLocale::Kilometres;
    case XrDistance::Miles:
        return XrLocale::Miles;
    case XrDistance::Yards:
        return XrLocale::Yards;
    case XrDistance::Feet:
        return XrLocale::Feet;
    default:
        break;
    }
    XR_ASSERT(false);
}

// Decimals for a large unit (kilometres or miles) by precision mode.
int large_unit_decimals(double v, int precision)
{
    if (precision >= 2)
        return v < 9.995 ? 2 : (v < 999.95 ? 1 : 0);
    if (precision == 1)
        return v < 9.95 ? 1 : 0;
    if (v >= 9.95)
        return 0;
    const double fraction = v - std::floor(v);
    return (fraction < 0.05 || fraction >= 0.95) ? 0 : 1;
}

} // namespace

XrDistance::XrDistance(double value, XrDistanceUnit unit)
{
    if (!is_unit(unit))
        XR_ASSERT(false);
    m_valid = true;
    const double cm = (unit == Centimetres) ? value : value * metres_per_unit(unit) * 100;
    m_value = xr_clamp_to_int(cm + 0.5);
}

bool XrDistance::get_value(double& out, XrDistanceUnit unit) const
{
    if (!is_unit(unit))
        XR_ASSERT(false);
    const double v = (unit == Centimetres) ? double(m_value) : m_value / (metres_per_unit(unit) * 100);
    return deliver(out, v);
}

XrString XrDistance::to_string(XrDistanceUnit unit, int decimals) const
{
    if (!is_unit(unit))
        XR_ASSERT(false);
    if (unit == Centimetres)
        return format_value(unit, 0, L" cm");
    return format_value(unit, decimals, XrString(L" ") + XrLocale::get_unit(label_of(unit)));
}

XrString XrDistance::to_display_string(int system, int precision) const
{
    if (!m_valid)
        return XrString();
    double small = 0;
    double miles = 0;
    get_value(miles, Miles);
    switch (system) {
    case Metric:
        get_value(small, Metres);
        if (std::round(small) < 1000)
            return to_string(Metres, 0);
        get_value(small, Kilometres);
        return to_string(Kilometres, large_unit_decimals(small, precision));
    case YardsAndMiles:
        get_value(small, Yards);
        if (small <= 999)
            return to_string(Yards, 0);
        return to_string(Miles, large_unit_decimals(miles, precision));
    case FeetAndMiles:
        get_value(small, Feet);
        if (small <= 550)
            return to_string(Feet, 0);
        return to_string(Miles, large_unit_decimals(miles, precision));
    }
    XR_ASSERT(false);
}

XrDistance XrDistance::from_centimetres(long long cm)
{
    XrDistance d;
    d.m_valid = true;
    d.m_value = xr_saturate_int(cm);
    return d;
}

XrDistance XrDistance::operator+(const XrDistance& o) const
{
    return (m_valid && o.m_valid) ? from_centimetres((long long)m_value + o.m_value) : XrDistance();
}

XrDistance XrDistance::operator-(const XrDistance& o) const
{
    return (m_valid && o.m_valid) ? from_centimetres((long long)m_value - o.m_value) : XrDistance();
}
