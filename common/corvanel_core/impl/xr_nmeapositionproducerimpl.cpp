#include "common/corvanel_core/impl/xr_nmeapositionproducerimpl.h"

#include "common/container/xr_defs.h"
#include "common/corvanel_core/interfaces/xr_applicationprovider.h"
#include "common/os/xr_eventloopbase.h"
#include "common/types/xr_trig.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

void* const step_data = reinterpret_cast<void*>(XrNmeaPositionProducerImpl::extrapolation_timeout);

// A distance in map units as an int; absurd speeds or times cannot overflow.
int to_units(double v)
{
    constexpr double limit = 1e9;
    if (std::isnan(v))
        return 0;
    return static_cast<int>(std::clamp(v, -limit, limit));
}

XrEventloopBase* application_event_loop()
{
    auto* app = static_cast<XrApplicationProvider*>(XrSingleton::get_instance(XrString("XrApplicationProvider")));
    return app != nullptr ? app->get_event_loop() : nullptr;
}

} // namespace

XrNmeaPositionProducerImpl::XrNmeaPositionProducerImpl(bool allow_extrapolation_, XrEventloopBase* loop)
    : event_loop(loop != nullptr ? loop : application_event_loop()), allow_extrapolation(allow_extrapolation_)
{
    stopwatch.restart();
}

XrNmeaPositionProducerImpl::~XrNmeaPositionProducerImpl()
{
    cancel_step();
}

const XrProjection* XrNmeaPositionProducerImpl::get_projection() const
{
    XrPositionMap* map = XrPositionMap::get_instance();
    return map != nullptr ? map->get_projection() : nullptr;
}

void XrNmeaPositionProducerImpl::schedule_step()
{
    extrapolation_pending = true;
    if (event_loop != nullptr)
        event_loop->add_timeout(0, step_ms, this, step_data);
}

void XrNmeaPositionProducerImpl::cancel_step()
{
    if (event_loop != nullptr)
        event_loop->remove_timeout(this, step_data);
    extrapolation_pending = false;
}

void XrNmeaPositionProducerImpl::handle_nmea_line(const TCHAR* line)
{
    std::unique_ptr<XrPositionMessage> message(parser.parse(line));
    if (!message) {
        stopwatch.restart();
        return;
    }
    if (message->valid)
        last_fix = XrCoordinate(message->longitude, message->latitude);
    previous_speed = speed == -1000.0 ? message->speed : speed;
    speed = message->speed;
    position_info.set_used_satellites(parser.get_used_satellites());
    position_info.set_satellites_in_view(parser.get_satellites_in_view());
    position_info.set_fix(message->valid);
    position_info.set_receiver_value_a(parser.get_receiver_value_a());
    position_info.set_receiver_value_b(parser.get_receiver_value_b());
    position_info.set_receiver_value_c(parser.get_receiver_value_c());

    if (!allow_extrapolation) {
        heading = message->course;
        position_info.set_coordinate(last_fix);
        position_info.set_velocity(XrVelocity(speed, XrVelocity::MetresPerSecond));
        position_info.set_heading(XrAngle(heading, XrAngle::Degrees));
        stopwatch.restart();
        notify_position_updated();
        return;
    }

    const XrProjection* projection = get_projection();
    const XrPoint p = last_fix.to_point(projection);
    if (message->moving) {
        const int d = last_map_point.x == 0 ? 100 : to_units(last_map_point.distance(p));
        if (d <= 3 && speed <= 3.0) {
            // Standing: the heading does not change.
            previous_heading = heading;
        } else {
            previous_heading = heading == -1000.0 ? message->course : heading;
            heading = message->course;
            last_map_point = p;
        }
        // The turn goes the short way round: 350 -> 10 is +20, not -340.
        double delta = heading - previous_heading;
        if (delta > 180)
            delta -= 360;
        else if (delta < -180)
            delta += 360;
        target_heading = heading + delta;
        const double e = std::max<std::uint32_t>(stopwatch.elapsed(), 2);
        delta *= speed < 8.0 ? 0.5 : speed < 18.0 ? 0.8 : 0.9;
        if (delta > -1 && delta < 1)
            delta = 0;
        turn_rate = delta / e;
        double dv = (speed - previous_speed) * 0.5;
        target_speed = speed + dv;
        if (target_speed < 0) {
            dv = 0;
            speed = 0;
        }
        acceleration = dv / e;
    } else {
        if (heading < 0)
            heading = 0;
        acceleration = 0;
        speed = 0;
        turn_rate = 0;
    }
    if (!extrapolation_pending && message->valid) {
        schedule_step();
    } else if (!message->valid) {
        position_info.set_coordinate(XrCoordinate());
        position_info.set_velocity(XrVelocity());
        position_info.set_heading(XrAngle());
        stopwatch.restart();
        notify_position_updated();
        return;
    }
    stopwatch.restart();
}

void XrNmeaPositionProducerImpl::execute(XrEventloopBase*, void* data)
{
    const std::uint32_t t = stopwatch.elapsed();
    if (data != step_data)
        return;
    extrapolation_pending = false;
    XR_ASSERT_MSG(allow_extrapolation, "allow_extrapolation");

    int a = static_cast<int>((360.0 - heading) + 90.0);
    if (a > 359)
        a -= 360;
    double v = speed + acceleration * t;
    if (acceleration < 0 && target_speed > v)
        v = target_speed;
    else if (acceleration > 0 && target_speed < v)
        v = target_speed;
    const double s = t * v / 1000.0;
    double h = heading + turn_rate * t;
    if (turn_rate < 0 && target_heading > h)
        h = target_heading;
    else if (turn_rate > 0 && target_heading < h)
        h = target_heading;
    if (h < 0)
        h += 360;
    else if (h >= 360)
        h -= 360;

    const XrProjection* projection = get_projection();
    if (projection != nullptr) {
        const XrPoint p = last_fix.to_point(projection);
        const int x = to_units(p.x + static_cast<double>(to_units(cos_deg(a) * s + 0.5)));
        const int y = to_units(p.y + static_cast<double>(to_units(sin_deg(a) * s + 0.5)));
        position_info.set_coordinate(XrCoordinate(XrPoint(x, y), projection));
    } else {
        // Without a map there are no map units to move in: the fix itself.
        position_info.set_coordinate(last_fix);
    }
    position_info.set_velocity(XrVelocity(v, XrVelocity::MetresPerSecond));
    position_info.set_heading(XrAngle(h, XrAngle::Degrees));
    const bool handled = notify_position_updated();
    if (!handled && t < extrapolation_span_ms && !extrapolation_pending)
        schedule_step();
}

void XrNmeaPositionProducerImpl::map_drawn(XrDCHandleRec* dc)
{
    if (dc == nullptr)
        return;
    cancel_step();
    if (status == status_connected && stopwatch.elapsed() < extrapolation_span_ms)
        schedule_step();
}

void XrNmeaPositionProducerImpl::set_status(int s)
{
    if (s == status)
        return;
    if (s == status_not_connected) {
        parser.reset();
        cancel_step();
    }
    status = s;
    notify_state_changed();
}

void XrNmeaPositionProducerImpl::deactivate()
{
    XrSatellitePositionProducerImpl::deactivate();
    parser.reset();
    cancel_step();
    status = status_not_connected;
}
