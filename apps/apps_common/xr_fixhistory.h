// The recent fixes of the vehicle: speed, heading and map point of at most
// ten fixes in a ring of eleven slots, the heading filter over the newest
// headings and the time the vehicle last moved fast enough to count as
// active.
#pragma once

#include <cstdint>

#include "common/geometry/xr_point.h"

class XrFixHistory {
public:
    static constexpr int SLOTS = 11;

    struct Entry {
        double speed = 0;   // m/s
        double heading = 0; // degrees
        XrPoint point;
    };

    // Adds a fix; the oldest one is dropped when ten are kept. now_ms is the
    // time of the fix; fast_speed the speed that counts as moving.
    void add(double speed, double heading, const XrPoint& point, std::uint32_t now_ms, double fast_speed);
    // Forgets every fix (a fix without position).
    void clear();

    int count() const { return (head - tail + SLOTS) % SLOTS; }
    // The i-th newest entry (0 = newest); i < count().
    const Entry& newest(int i) const { return slots[(head - 1 - i + 2 * SLOTS) % SLOTS]; }
    bool is_valid() const { return valid; }
    std::uint32_t get_active_since() const { return active_since; }
    void set_active_since(std::uint32_t ms) { active_since = ms; }

    // The heading of the newest at most `window` entries: their median
    // (middle of the sorted values) or mean, with headings more than 180
    // degrees below the largest taken one turn up; 0 without entries.
    double filtered_heading(int window, bool median) const;
    // The mean speed of the entries, 0 when there are none.
    double mean_speed() const;

private:
    Entry slots[SLOTS];
    int head = 0;
    int tail = 0;
    std::uint32_t active_since = 0;
    bool valid = false;
};

// The filter on a list of headings (the order does not matter).
double xr_filter_headings(const double* headings, int count, bool median);
