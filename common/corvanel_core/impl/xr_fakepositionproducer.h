// The "Fake" producer: a simulated drive back and forth along a short line
// north-east of 24.9 E 60.2 N, one step a second, with a turning heading and
// a random speed. Steps start 5 s after the first reconnect.
#pragma once

#include "common/corvanel_core/interfaces/xr_positionproducer.h"
#include "common/os/xr_eventhandler.h"

class XrEventloopBase;

class XrFakePositionProducer : public XrPositionProducer, public XrEventHandler {
public:
    static constexpr int first_step_seconds = 5;
    static constexpr int last_step = 200;

    explicit XrFakePositionProducer(XrEventloopBase* loop);
    // Cancels the pending step.
    ~XrFakePositionProducer() override;

    void connect() override;
    void disconnect() override {}
    void reconnect() override;
    int get_status() override { return status; }
    XrPositionInfo& get_position_info() override { return position_info; }

    // One simulated step.
    void execute(XrEventloopBase* loop, void* data) override;

    int get_step() const { return step; }

private:
    XrCoordinate start{24.9, 60.2};
    int step = 0;
    int increment = 1;
    XrPositionInfo position_info;
    int status = status_not_connected;
    XrEventloopBase* event_loop;
};
