#include "common/map/xr_trafficlayout.h"

#include <iterator>

namespace {

struct Metric {
    unsigned key;
    unsigned variant; // 0 = any
    double x;
    double y;
};

// Grouped by key; an exact variant row ends the scan, a row of variant 0 is
// a default that a later exact row replaces.
const Metric kMetrics[] = {
    {0, 0, 0, 0},
    {1, 11, 3.273809523809524, 5.459057071960298},
    {1, 11, 2.083333333333333, 3.4739454094292808}, // shadowed by the row above
    {1, 12, 2.75, 4.583333333333333},
    {1, 0, 7.954545454545454, 6.730769230769231},
    {2, 11, 1.4880952380952381, 1.2406947890818858},
    {2, 12, 1.25, 11.458333333333334},
    {3, 11, 0, 4.962779156327544},
    {3, 12, 0, 4.166666666666666},
    {4, 11, 2.380952380952381, 3.970223325062035},
    {4, 12, 2.0, 3.3333333333333335},
    {5, 11, 0, 7.6923076923076925},
    {5, 12, 0, 6.458333333333334},
    {5, 5, 0, 17.61},
    {5, 3, 0, 20.0},
    {6, 11, 2.380952380952381, 3.970223325062035},
    {6, 12, 2.0, 3.3333333333333335},
    {7, 11, 1.488095238095238, 0},
    {7, 12, 1.25, 0},
    {8, 11, 1.1904761904761905, 1.9851116625310175},
    {8, 12, 1.0, 1.6666666666666667},
    {9, 11, 1.636904761904762, 0},
    {9, 12, 1.375, 0},
};

int g_width = 0;
int g_height = 0;
int g_variant = 11;

} // namespace

void xr_set_traffic_reference_size(int width, int height)
{
    g_width = width;
    g_height = height;
}

void xr_set_traffic_layout_variant(int variant) { g_variant = variant; }

int xr_get_traffic_layout_variant() { return g_variant; }

XrPoint xr_traffic_metric_point(unsigned key)
{
    double x = 0, y = 0;
    const unsigned v = static_cast<unsigned>(g_variant);
    for (const Metric& m : kMetrics) {
        if (m.key != key || (m.variant != v && m.variant != 0))
            continue;
        x = m.x;
        y = m.y;
        if (v == 0 || m.variant != 0)
            break;
    }
    return XrPoint(static_cast<int>(g_width * x / 100.0), static_cast<int>(g_height * y / 100.0));
}
