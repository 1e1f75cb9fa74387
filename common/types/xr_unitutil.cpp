#include "common/types/xr_unitutil.h"

#include <cwchar>

#include "common/container/xr_saturate.h"

namespace {

constexpr double k_yards_per_metre = 1.0936133;
constexpr double k_metres_per_yard = 0.9144;
constexpr double k_km_per_mile = 1.609344;
constexpr double k_fixed_per_degree = 5000000;

} // namespace

void format_distance_text(TCHAR* buf, int size, double value, bool metric, bool force_large_unit, int precision,
                          bool value_in_metres)
{
    if (buf == nullptr || size <= 0)
        return;
    if (value_in_metres && !metric)
        value *= k_yards_per_metre;

    const TCHAR* fmt = L"%.0lf%ls%ls";
    const TCHAR* unit = metric ? L"m" : L"yd";
    if (value > 999 || force_large_unit) {
        value /= metric ? 1000 : 1760;
        unit = metric ? L"km" : L"ml";
        if (precision == 2) {
            if (value < 9.95)
                fmt = L"%.1lf%ls%ls";
        } else if (precision == 3) {
            if (value < 9.995)
                fmt = L"%.2lf%ls%ls";
            else if (value < 999.95)
                fmt = L"%.1lf%ls%ls";
        }
    }
    if (std::swprintf(buf, size, fmt, value, L" ", unit) < 0)
        buf[size - 1] = 0; // cut to the buffer
}

double convert_speed_for_display(double kmh, bool metric, const TCHAR** label)
{
    if (metric) {
        if (label != nullptr)
            *label = L"km/h";
        return kmh;
    }
    if (label != nullptr)
        *label = L"mph";
    return kmh / k_km_per_mile;
}

int yards_to_metres(int yards)
{
    return xr_clamp_to_int(yards * k_metres_per_yard + 0.5);
}

int metres_to_yards(int metres)
{
    return xr_clamp_to_int(metres * k_yards_per_metre + 0.5);
}

int degrees_to_fixed(double degrees)
{
    return xr_clamp_to_int((degrees + 180) * k_fixed_per_degree);
}

double fixed_to_degrees(int value)
{
    return value / k_fixed_per_degree - 180;
}
