// NMEA lines to positions. With extrapolation allowed, a fix is shown through
// dead reckoning: every 200 ms the position is predicted from speed,
// acceleration, heading and turn rate, up to 3 s after the last line, so the
// map keeps moving between the receiver's fixes. The transport (how lines
// arrive, how to connect) comes from a subclass.
#pragma once

#include "common/corvanel_core/impl/xr_nmeaparser.h"
#include "common/corvanel_core/impl/xr_satellitepositionproducerimpl.h"
#include "common/corvanel_core/impl/xr_stopwatch.h"
#include "common/geometry/xr_point.h"
#include "common/os/xr_eventhandler.h"
#include "common/types/xr_coordinate.h"

class XrEventloopBase;
class XrProjection;

class XrNmeaPositionProducerImpl : public XrSatellitePositionProducerImpl, public XrEventHandler {
public:
    // Timeout data of the extrapolation step.
    static constexpr std::intptr_t extrapolation_timeout = 11;
    static constexpr int step_ms = 200;
    static constexpr std::uint32_t extrapolation_span_ms = 3000;

    // loop: the event loop of the steps; null takes the application
    // provider's.
    explicit XrNmeaPositionProducerImpl(bool allow_extrapolation, XrEventloopBase* loop = nullptr);
    ~XrNmeaPositionProducerImpl() override;

    // One received line (its line end may be there).
    void handle_nmea_line(const TCHAR* line);
    void handle_nmea_line(const XrString& line) { handle_nmea_line(line.c_str()); }

    void set_status(int status) override;
    int get_status() override { return status; }
    void deactivate() override;
    void map_drawn(XrDCHandleRec* dc) override;
    // The extrapolation step (data extrapolation_timeout).
    void execute(XrEventloopBase* loop, void* data) override;

    const XrNMEAParser& get_parser() const { return parser; }
    bool is_extrapolation_pending() const { return extrapolation_pending; }

protected:
    XrEventloopBase* event_loop;

private:
    void schedule_step();
    void cancel_step();
    const XrProjection* get_projection() const;

    bool allow_extrapolation;
    XrNMEAParser parser;
    bool extrapolation_pending = false;
    XrStopwatch stopwatch;
    XrCoordinate last_fix;
    double speed = -1000.0;
    double heading = -1000.0;
    double previous_speed = 0;
    double previous_heading = 0;
    XrPoint last_map_point;
    double target_heading = 0;
    double target_speed = 0;
    double turn_rate = 0;    // degrees per millisecond
    double acceleration = 0; // metres per second per millisecond
    int status = status_not_connected;
};
