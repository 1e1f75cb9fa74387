// One GPS fix: position, speed, heading, satellite data and the receiver
// values that the position producer sets.
#pragma once

#include <cstdint>

#include "common/container/xr_array.h"
#include "common/types/xr_angle.h"
#include "common/types/xr_coordinate.h"
#include "common/types/xr_velocity.h"

// One satellite in view, as a GSV sentence reports it.
struct XrSVData {
    std::uint16_t number = 0;
    std::uint16_t elevation = 0; // degrees
    std::uint16_t azimuth = 0;   // degrees
    int snr = 0;                 // signal-to-noise ratio
};

class XrPositionInfo {
public:
    // Invalid coordinate, speed and heading, empty lists, no fix, values 0.
    XrPositionInfo();
    XrPositionInfo(const XrPositionInfo& other);
    XrPositionInfo& operator=(const XrPositionInfo& other);
    virtual ~XrPositionInfo() = default;

    XrCoordinate& get_coordinate() { return m_coordinate; }
    const XrCoordinate& get_coordinate() const { return m_coordinate; }
    XrVelocity& get_velocity() { return m_speed; }
    const XrVelocity& get_velocity() const { return m_speed; }
    XrAngle& get_heading() { return m_heading; }
    const XrAngle& get_heading() const { return m_heading; }
    // Numbers of the satellites used in the fix.
    const XrArray<int>& get_used_satellites() const { return m_used_satellites; }
    // In the order the receiver reported them.
    const XrArray<XrSVData>& get_satellites_in_view() const { return m_satellites_in_view; }

    void set_coordinate(const XrCoordinate& c) { m_coordinate = c; }
    void set_velocity(const XrVelocity& v) { m_speed = v; }
    void set_heading(const XrAngle& a) { m_heading = a; }
    // The lists are replaced by copies.
    void set_used_satellites(const XrStaticArray<int>& satellites);
    void set_satellites_in_view(const XrStaticArray<XrSVData>& satellites);

    bool has_fix() const { return m_fix; }
    void set_fix(bool fix) { m_fix = fix; }

    // Receiver values A, B and C, set by the position producer.
    int get_receiver_value_a() const { return m_receiver_a; }
    int get_receiver_value_b() const { return m_receiver_b; }
    int get_receiver_value_c() const { return m_receiver_c; }
    void set_receiver_value_a(int v) { m_receiver_a = v; }
    void set_receiver_value_b(int v) { m_receiver_b = v; }
    void set_receiver_value_c(int v) { m_receiver_c = v; }

private:
    XrCoordinate m_coordinate;
    XrVelocity m_speed;
    XrAngle m_heading;
    XrArray<int> m_used_satellites;
    XrArray<XrSVData> m_satellites_in_view;
    bool m_fix = false;
    int m_receiver_a = 0;
    int m_receiver_b = 0;
    int m_receiver_c = 0;
};
