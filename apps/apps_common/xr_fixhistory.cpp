#include "apps/apps_common/xr_fixhistory.h"

#include <algorithm>

void XrFixHistory::add(double speed, double heading, const XrPoint& point, std::uint32_t now_ms, double fast_speed)
{
    slots[head] = Entry{speed, heading, point};
    head = (head + 1) % SLOTS;
    if (head == tail)
        tail = (head + 1) % SLOTS;
    double slowest = slots[tail].speed;
    for (int i = tail; i != head; i = (i + 1) % SLOTS)
        slowest = std::min(slowest, slots[i].speed);
    if (!valid || slowest >= fast_speed) {
        valid = true;
        active_since = now_ms;
    }
}

void XrFixHistory::clear()
{
    valid = false;
    head = tail = 0;
}

double xr_filter_headings(const double* headings, int count, bool median)
{
    if (count <= 0)
        return 0;
    if (count == 1)
        return headings[0];
    double v[XrFixHistory::SLOTS];
    count = std::min(count, XrFixHistory::SLOTS);
    std::copy(headings, headings + count, v);
    std::sort(v, v + count);
    const double largest = v[count - 1];
    for (int i = 0; i < count; ++i) {
        if (v[i] + 180 < largest)
            v[i] += 360;
    }
    std::sort(v, v + count);
    double r = 0;
    if (median) {
        r = v[count / 2];
    } else {
        for (int i = 0; i < count; ++i)
            r += v[i];
        r /= count;
    }
    while (r > 360)
        r -= 360;
    return r;
}

double XrFixHistory::filtered_heading(int window, bool median) const
{
    double h[SLOTS];
    const int n = std::min({window, SLOTS, count()});
    for (int i = 0; i < n; ++i)
        h[i] = newest(i).heading;
    return xr_filter_headings(h, n, median);
}

double XrFixHistory::mean_speed() const
{
    const int n = count();
    if (n == 0)
        return 0;
    double sum = 0;
    for (int i = 0; i < n; ++i)
        sum += newest(i).speed;
    return sum / n;
}
