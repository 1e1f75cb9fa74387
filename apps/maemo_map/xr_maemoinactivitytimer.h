// Keeps the tablet's display lit while position updates keep coming: each
// update re-arms a 5-second tick; a tick after an update lights the display
// again, a tick without one ends the cycle.
#pragma once

#include "common/os/xr_eventhandler.h"
#include "platform/osso/libosso.h"

class XrEventloopBase;

class XrMaemoInactivityTimer : public XrEventHandler {
public:
    static constexpr int PERIOD_SECONDS = 5;

    // osso_context may be null: the timer then lights nothing.
    XrMaemoInactivityTimer(XrEventloopBase* event_loop, osso_context_t* osso_context);
    ~XrMaemoInactivityTimer() override;
    XrMaemoInactivityTimer(const XrMaemoInactivityTimer&) = delete;
    XrMaemoInactivityTimer& operator=(const XrMaemoInactivityTimer&) = delete;

    void keep_display_on();
    // Stores the flag; starts the tick when none is pending.
    void arm(bool stop_pending);
    // One update: lights the display at once when idle, then (re)arms.
    void on_update();
    bool is_running() const { return running; }

    void execute(XrEventloopBase* loop, void* data) override;

private:
    osso_context_t* osso_context;
    bool stop_pending = true;
    XrEventloopBase* event_loop;
    bool running = false;
};
