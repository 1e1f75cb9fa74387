// The route provider (registered as "XrRouteProvider"): the user's route
// request (waypoints, toll/ferry/charge-zone policies, routing mode), the
// state of the last calculation and the current leg, the calculation timer,
// the hand-over of routes to the route layer, and the route state file.
// Every operation has a "no routing" answer here, so stand-ins override only
// what they need.
#pragma once

#include "common/base/xr_singleton.h"
#include "common/container/xr_array.h"
#include "common/container/xr_string.h"
#include "common/db/xr_gid.h"
#include "common/geometry/xr_point.h"

class XrAddrAccessor;
class XrDijkstraPath2;
class XrGeomStorage;
class XrMapRouteLayer;
class XrRouteLayer;

// Told about route calculations, in listener order: calculation_started when
// the legs begin, calculation_finished when they end (success or failure),
// then route_changed (also after clear_route and after a reroute).
class XrRouteListener {
public:
    virtual ~XrRouteListener() = default;
    virtual void route_changed() {}
    virtual void calculation_started() {}
    virtual void calculation_finished() {}
};

class XrRouteProvider : public XrSingleton, public XrObservable<XrRouteListener> {
public:
    // One waypoint, copied by value.
    struct XrWaypoint {
        int used = 1;   // 1 a place (x, y), 0 the current position
        int x = 0, y = 0;
        int road_x = 0, road_y = 0; // where the last search met the road
        XrGid gid = 0;  // non-zero: take this edge without a street search
        XrString name;
    };

    // The question or message asked through XrRoutingUIDefinition.
    enum EnumStrSel : int {
        STR_DESTINATION_CHARGE = 0,
        STR_ALLOW_TOLLROADS = 1,
        STR_ALLOW_FERRY = 2,
        STR_NO_ROUTE_FOUND = 3,
        STR_ALLOW_CHARGE = 4,
    };

    // The route status word.
    enum : int { STATUS_OK = 0, STATUS_FAILED = 1, STATUS_START_BLOCKED = 2, STATUS_NO_FIX = 3 };
    // Policy values of toll roads, ferries and charge zones.
    enum : int { POLICY_AVOID = 0, POLICY_ALLOW = 1, POLICY_ASK = 2 };

    ~XrRouteProvider() override = default;

    // The map's route layer as the map provider sees it, or null.
    virtual XrMapRouteLayer* get_route_layer() { return nullptr; }
    // The guidance layer holding the routes, or null.
    virtual XrRouteLayer* get_route_layer2() { return nullptr; }
    // Forgets the current route; called before the map is torn down.
    virtual void drop_route() {}
    // The road data source of the route search, or null.
    virtual XrGeomStorage* get_road_data() { return nullptr; }
    // The address reader of the route search, or null.
    virtual XrAddrAccessor* get_addr_accessor() { return nullptr; }

    virtual bool has_route() { return false; }
    virtual int get_route_status() { return STATUS_FAILED; }
    virtual void set_guidance_option1(bool /*value*/) {}
    virtual void set_guidance_option2(bool /*value*/) {}
    virtual void set_guidance_option3(bool /*value*/) {}
    virtual void set_guidance_option4(bool /*value*/) {}
    virtual void set_guidance_option5(bool /*value*/) {}
    virtual void clear_waypoints() {}
    virtual int get_waypoint_count() { return 0; }
    virtual void add_waypoint(const XrWaypoint& /*waypoint*/) {}
    virtual void clear_pending_start() {}
    virtual void set_pending_start(const XrWaypoint& /*waypoint*/) {}
    // False (out unchanged) when no pending start is held.
    virtual bool get_pending_start(XrWaypoint& /*out*/) { return false; }
    // False when index is out of range.
    virtual bool get_waypoint(int /*index*/, XrWaypoint& /*out*/) { return false; }
    // Appends every waypoint to out; the current index.
    virtual int copy_waypoints(XrArray<XrWaypoint>& /*out*/) { return 0; }
    // Index 0 with a non-empty list makes the current index 1.
    virtual void set_waypoints(const XrArray<XrWaypoint>& /*waypoints*/, int /*index*/) {}
    virtual void backup_waypoints() {}
    virtual void restore_waypoints() {}
    virtual int get_current_index() { return 0; }
    virtual void set_current_index(int /*index*/) {}
    // Where the current leg began and its target; false without a route.
    virtual bool get_current_leg(XrPoint& /*from*/, XrPoint& /*to*/) { return false; }
    virtual bool has_waypoints() { return false; }
    // Map units driven along the whole route; -1 without a route.
    virtual int get_distance_travelled() { return -1; }
    virtual void stop_guidance() {}
    virtual void resume_guidance(const XrWaypoint* /*waypoint*/) {}
    virtual void clear_route() {}
    virtual void navigate_via(const XrPoint& /*point*/, const XrString& /*name*/) {}
    virtual void set_start_and_destination(const XrWaypoint& /*start*/, const XrWaypoint& /*destination*/) {}
    virtual bool calculate_route(bool /*new_route*/, bool /*from_position*/, bool /*keep_policies*/)
    {
        return false;
    }
    virtual void detour() {}
    virtual void recalculate_from_position(bool /*new_route*/) {}
    virtual void toggle_routing_mode() {}
    virtual void get_search_progress(int& total, int& done, int& third)
    {
        total = done = third = 0;
    }
    virtual bool is_timer_calculation_running() { return false; }
    virtual void save_route_state() {}
    // True when at least one waypoint was read and a calculation armed.
    virtual bool restore_route_state() { return false; }
    virtual void delete_route_state() {}
    virtual void set_policies(int /*toll*/, int /*ferry*/, int /*charge*/) {}
    virtual int get_routing_mode() { return 0; }
    virtual void set_routing_mode(int /*mode*/) {}
    virtual void apply_settings() {}
    virtual bool is_calculating() { return false; }

    // The registered provider, or null.
    static XrRouteProvider* get_instance()
    {
        return static_cast<XrRouteProvider*>(XrSingleton::get_instance(XrString(L"XrRouteProvider")));
    }
};

// The application's side of a route calculation (questions, progress,
// messages). Results other than those of the query and of
// destination_reached are not used.
class XrRoutingUIDefinition {
public:
    virtual ~XrRoutingUIDefinition() = default;
    virtual void set_interaction_enabled(bool enabled) = 0;
    virtual void show_route_status(int status) = 0;
    virtual void begin_calculation() = 0;
    // ask true: a yes/no question (true for yes); false: a message.
    virtual bool XrCommonDialogs_show_query_msg(XrRouteProvider::EnumStrSel which, bool ask) = 0;
    virtual void rerouting_started() = 0;
    virtual void reset_calculation_ui() = 0;
    virtual void release_progress() = 0;
    virtual void refresh_map() = 0;
    virtual void attach_search_progress(XrDijkstraPath2* search) = 0;
    virtual void set_search_active(bool active) = 0;
    virtual bool destination_reached(bool hold) = 0;
    virtual void search_finished() = 0;
    virtual void route_ready(bool is_new, int a, int b) = 0;
    virtual void ask_for_route() = 0;
};

// The online services' part of routing: a service may take a routing
// request over (then the own search stops); told when the route changed.
class XrRouteServices {
public:
    virtual ~XrRouteServices() = default;
    // True when a service took the request.
    virtual bool dispatch_route_request(XrDijkstraPath2* search, const XrPoint& start, const XrPoint& end) = 0;
    virtual void route_changed() = 0;
};
