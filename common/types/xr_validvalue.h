// The validity flag and value shared by the unit value types (XrAngle,
// XrDistance, XrDuration, XrVelocity), with their comparisons.
#pragma once

#include "common/container/xr_string.h"
#include "common/misc/xr_locale_dummy.h"

template <class Derived, class V>
class XrValidValue {
public:
    bool is_valid() const { return m_valid; }

    // Equal validity and equal values (two invalid values are equal).
    friend bool operator==(const Derived& a, const Derived& b)
    {
        return base(a).m_valid == base(b).m_valid && base(a).m_value == base(b).m_value;
    }
    friend bool operator!=(const Derived& a, const Derived& b) { return !(a == b); }
    // An invalid value is below every valid one; two invalid values are
    // neither below nor above each other.
    friend bool operator<(const Derived& a, const Derived& b)
    {
        if (base(a).m_valid && base(b).m_valid)
            return base(a).m_value < base(b).m_value;
        return !base(a).m_valid && base(b).m_valid;
    }
    friend bool operator>(const Derived& a, const Derived& b) { return b < a; }
    friend bool operator<=(const Derived& a, const Derived& b) { return a < b || a == b; }
    friend bool operator>=(const Derived& a, const Derived& b) { return a > b || a == b; }

protected:
    XrValidValue() = default;

    // Hands a converted value out when valid; false (out untouched) otherwise.
    template <class T>
    bool deliver(T& out, T converted) const
    {
        if (!m_valid)
            return false;
        out = converted;
        return true;
    }

    // The value in a unit (through the type's get_value) with the given
    // decimals, followed by suffix; empty when invalid.
    template <class U>
    XrString format_value(U unit, int decimals, const XrString& suffix) const
    {
        double v = 0;
        if (!self().get_value(v, unit))
            return XrString();
        XrString out;
        XrLocale::format_double(out, v, decimals);
        out += suffix;
        return out;
    }

    bool m_valid = false;
    V m_value = 0;

private:
    static const XrValidValue& base(const Derived& d) { return d; }
    const Derived& self() const { return static_cast<const Derived&>(*this); }
};
