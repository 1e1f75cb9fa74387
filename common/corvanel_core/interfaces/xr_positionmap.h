// What positioning uses of the map provider: the projection of the open map
// and the draw listeners of that map. The map provider publishes itself here
// while it exists; without one, positions are not converted and producers
// are not registered as draw listeners.
#pragma once

#include "common/corvanel_core/interfaces/xr_mapdrawlistener.h"

class XrProjection;

class XrPositionMap {
public:
    virtual ~XrPositionMap() = default;

    // True while a map is open.
    virtual bool has_map() = 0;
    // The open map's projection; null without a map.
    virtual const XrProjection* get_projection() = 0;
    // The open map's draw listeners; adding one that is there already does
    // nothing, removing one that is not there answers false.
    virtual void add_draw_listener(XrMapDrawListener* listener) = 0;
    virtual bool remove_draw_listener(XrMapDrawListener* listener) = 0;

    // The published map access, or null.
    static XrPositionMap* get_instance() { return s_instance; }
    // Publishes (or with null withdraws) the map access.
    static void set_instance(XrPositionMap* map) { s_instance = map; }

private:
    static inline XrPositionMap* s_instance = nullptr;
};
