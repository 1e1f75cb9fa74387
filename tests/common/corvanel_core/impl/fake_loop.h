// An event loop that only records timeouts, which a test fires by hand, and
// a map access with a plain projection for the positioning tests.
#pragma once

#include "common/corvanel_core/interfaces/xr_positionmap.h"
#include "common/geometry/xr_projection.h"
#include "tests/support/xr_recording_loop.h"

#include <algorithm>
#include <vector>

class FakeLoop : public XrRecordingLoop {
public:
    // Pending timeouts of handler with data.
    int pending(XrEventHandler* handler, void* data) const
    {
        return static_cast<int>(std::count_if(timeouts.begin(), timeouts.end(), [&](const Timeout& t) {
            return t.handler == handler && t.data == data;
        }));
    }
    // Fires the first pending timeout of handler with data; its delay.
    int fire(XrEventHandler* handler, void* data)
    {
        for (size_t i = 0; i < timeouts.size(); ++i) {
            if (timeouts[i].handler == handler && timeouts[i].data == data) {
                Timeout t = timeouts[i];
                timeouts.erase(timeouts.begin() + static_cast<long>(i));
                t.handler->execute(this, t.data);
                return t.ms;
            }
        }
        return -1;
    }
};

// A map whose units are 1/100000 degree.
class FakeMap : public XrPositionMap {
public:
    FakeMap() : projection(100000.0, 0, 0) { XrPositionMap::set_instance(this); }
    ~FakeMap() override { XrPositionMap::set_instance(nullptr); }

    bool has_map() override { return open; }
    const XrProjection* get_projection() override { return open ? &projection : nullptr; }
    void add_draw_listener(XrMapDrawListener* l) override
    {
        if (std::find(listeners.begin(), listeners.end(), l) == listeners.end())
            listeners.push_back(l);
    }
    bool remove_draw_listener(XrMapDrawListener* l) override { return std::erase(listeners, l) > 0; }

    bool open = true;
    XrProjection projection;
    std::vector<XrMapDrawListener*> listeners;
};
