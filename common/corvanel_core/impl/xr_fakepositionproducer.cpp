#include "common/corvanel_core/impl/xr_fakepositionproducer.h"

#include "common/os/xr_eventloopbase.h"

#include <cstdlib>

XrFakePositionProducer::XrFakePositionProducer(XrEventloopBase* loop) : event_loop(loop)
{
    position_info.set_coordinate(start);
    position_info.set_velocity(XrVelocity(50.0, XrVelocity::MetresPerSecond));
    position_info.set_heading(XrAngle(0.0, XrAngle::Degrees));
    position_info.set_fix(false);
}

XrFakePositionProducer::~XrFakePositionProducer()
{
    if (event_loop != nullptr)
        event_loop->remove_timeout(this, nullptr);
}

void XrFakePositionProducer::connect()
{
    status = status_connected;
    notify_state_changed();
}

void XrFakePositionProducer::reconnect()
{
    // One chain of steps: a pending step is replaced, never doubled.
    if (event_loop != nullptr) {
        event_loop->remove_timeout(this, nullptr);
        event_loop->add_timeout(first_step_seconds, 0, this, nullptr);
    }
    status = status_connected;
    notify_state_changed();
}

void XrFakePositionProducer::execute(XrEventloopBase*, void*)
{
    position_info.set_heading(XrAngle(static_cast<double>((step * 4) % 360), XrAngle::Degrees));
    position_info.set_fix(drand48() > 0);
    position_info.set_velocity(XrVelocity(drand48() * 50.0, XrVelocity::MetresPerSecond));
    const int next = step + increment;
    if (static_cast<unsigned>(next) > static_cast<unsigned>(last_step))
        increment = -increment;
    else
        step = next;
    position_info.set_coordinate(
        XrCoordinate(start.get_longitude() + step / 1200.0, start.get_latitude() + step / 800.0));
    notify_position_updated();
    if (event_loop != nullptr)
        event_loop->add_timeout(1, 0, this, nullptr);
}
