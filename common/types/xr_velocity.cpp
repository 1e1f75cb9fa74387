#include "common/types/xr_velocity.h"

#include "common/misc/xr_locale_dummy.h"

namespace {

// Metres per second from the unit, and back to it, by XrVelocityUnit.
const double k_to_mps[] = {1, 0.277778, 0.44704};
const double k_from_mps[] = {1, 3.6, 2.23694};

bool is_unit(XrVelocity::XrVelocityUnit unit)
{
    return unit >= XrVelocity::MetresPerSecond && unit <= XrVelocity::MilesPerHour;
}

} // namespace

XrVelocity::XrVelocity(double value, XrVelocityUnit unit)
{
    if (!is_unit(unit))
        XR_ASSERT(false);
    m_valid = true;
    m_value = value * k_to_mps[unit];
}

bool XrVelocity::get_value(double& out, XrVelocityUnit unit) const
{
    if (!is_unit(unit))
        XR_ASSERT(false);
    return deliver(out, m_value * k_from_mps[unit]);
}

XrString XrVelocity::to_string(XrVelocityUnit unit, int decimals) const
{
    if (!is_unit(unit))
        XR_ASSERT(false);
    const auto label = static_cast<XrLocale::XrLocaleUnit>(int(XrLocale::MetresPerSecond) + int(unit));
    return format_value(unit, decimals, XrString(L" ") + XrLocale::get_unit(label));
}
