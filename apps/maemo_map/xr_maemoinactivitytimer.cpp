#include "apps/maemo_map/xr_maemoinactivitytimer.h"

#include "common/os/xr_eventloopbase.h"

XrMaemoInactivityTimer::XrMaemoInactivityTimer(XrEventloopBase* event_loop, osso_context_t* osso_context)
    : osso_context(osso_context), event_loop(event_loop)
{
}

XrMaemoInactivityTimer::~XrMaemoInactivityTimer()
{
    if (event_loop != nullptr)
        event_loop->remove_timeout(this, nullptr);
}

void XrMaemoInactivityTimer::keep_display_on()
{
    if (osso_context == nullptr)
        return;
    osso_display_state_on(osso_context);
    osso_display_blanking_pause(osso_context);
}

void XrMaemoInactivityTimer::arm(bool stop)
{
    stop_pending = stop;
    if (!running && event_loop != nullptr && event_loop->add_timeout(PERIOD_SECONDS, 0, this, nullptr))
        running = true;
}

void XrMaemoInactivityTimer::on_update()
{
    if (!running) {
        keep_display_on();
        arm(true);
    } else {
        arm(false);
    }
}

void XrMaemoInactivityTimer::execute(XrEventloopBase*, void*)
{
    running = false;
    if (stop_pending)
        return;
    keep_display_on();
    arm(true);
}
