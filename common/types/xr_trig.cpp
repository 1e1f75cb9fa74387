#include "common/types/xr_trig.h"

#include <cmath>

namespace {

constexpr double k_pi = 3.14159265;
double* g_cos_table = nullptr;

const double* table()
{
    if (g_cos_table == nullptr)
        init_trig_table();
    return g_cos_table;
}

int reduce(int deg)
{
    int d = deg % 360;
    return d < 0 ? d + 360 : d;
}

} // namespace

void init_trig_table()
{
    if (g_cos_table != nullptr)
        return;
    g_cos_table = new double[91];
    for (int d = 0; d <= 90; ++d)
        g_cos_table[d] = std::cos(d * k_pi / 180);
}

void free_trig_table()
{
    delete[] g_cos_table;
    g_cos_table = nullptr;
}

double sin_deg(int deg)
{
    const double* t = table();
    const int d = reduce(deg);
    if (d <= 90)
        return t[90 - d];
    if (d <= 180)
        return t[d - 90];
    if (d <= 270)
        return -t[270 - d];
    return -t[d - 270];
}

double cos_deg(int deg)
{
    const double* t = table();
    const int d = reduce(deg);
    if (d <= 90)
        return t[d];
    if (d <= 180)
        return -t[180 - d];
    if (d <= 270)
        return -t[d - 180];
    return t[360 - d];
}

double hyperbolic_sine(double x)
{
    return (std::exp(x) - std::exp(-x)) * 0.5;
}

double inverse_hyperbolic_sine(double x)
{
    return std::log(std::sqrt(x * x + 1) + x);
}
