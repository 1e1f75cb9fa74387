// A source of positions (a GPS receiver through a helper, a Wi-Fi
// positioning helper, a simulation), and the listener it tells of new
// positions and status changes.
#pragma once

#include "common/base/xr_singleton.h"
#include "common/corvanel_core/interfaces/xr_mapdrawlistener.h"
#include "common/corvanel_core/interfaces/xr_positionmap.h"
#include "common/types/xr_positioninfo.h"

class XrPositionProducer;

class XrPositionProducerListener {
public:
    virtual ~XrPositionProducerListener() = default;
    // The producer's status changed.
    virtual void producer_state_changed(XrPositionProducer* producer) = 0;
    // The producer's position info holds a new position; a listener may set
    // *handled (false when the call begins).
    virtual void position_updated(XrPositionProducer* producer, bool* handled) = 0;
};

class XrPositionProducer : public XrObservable<XrPositionProducerListener>, public XrMapDrawListener {
public:
    // Producer status: delivering data, or not.
    static constexpr int status_connected = 0;
    static constexpr int status_not_connected = 1;

    XrPositionProducer() : XrObservable<XrPositionProducerListener>(8) {}
    ~XrPositionProducer() override { unregister_draw_listener(); }

    void on_map_draw(XrDCHandleRec* dc, XrMapView* /*view*/) override { map_drawn(dc); }
    // Called after each redraw of the map while the producer is registered.
    virtual void map_drawn(XrDCHandleRec* /*dc*/) {}

    // Registers the producer as draw listener when it was inactive.
    virtual void activate()
    {
        if (!active)
            register_draw_listener();
        active = true;
    }
    virtual void deactivate()
    {
        unregister_draw_listener();
        active = false;
    }
    virtual bool is_active() const { return active; }

    virtual void connect() = 0;
    virtual void disconnect() = 0;
    virtual void reconnect() = 0;
    // status_connected or status_not_connected; every producer starts not
    // connected.
    virtual int get_status() = 0;
    virtual XrPositionInfo& get_position_info() = 0;

    virtual void register_draw_listener()
    {
        XrPositionMap* map = XrPositionMap::get_instance();
        if (map != nullptr && map->has_map())
            map->add_draw_listener(this);
    }
    virtual void unregister_draw_listener()
    {
        XrPositionMap* map = XrPositionMap::get_instance();
        if (map != nullptr && map->has_map())
            map->remove_draw_listener(this);
    }

    // Calls every listener's position_updated; true when one set handled.
    bool notify_position_updated()
    {
        bool handled = false;
        for_each_listener([&](XrPositionProducerListener* l) { l->position_updated(this, &handled); });
        return handled;
    }
    void notify_state_changed()
    {
        for_each_listener([&](XrPositionProducerListener* l) { l->producer_state_changed(this); });
    }

private:
    bool active = false;
};
