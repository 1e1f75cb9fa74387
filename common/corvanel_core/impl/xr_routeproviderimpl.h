// The route provider: waypoints and policies, the 100 ms calculation timer
// on the event loop, the route search driver (matching waypoints onto roads,
// roadblocks and detour penalties, toll/ferry/charge-zone questions, leg by
// leg searches), rerouting, and the route state file "?:\qj.tmp".
//
// Implemented in xr_routeproviderimpl.cpp (provider) and
// xr_routeproviderimpl_search.cpp (search driver and rerouting).
#pragma once

#include <memory>
#include <vector>

#include "common/base/xr_memorynotifier.h"
#include "common/container/xr_hash.h"
#include "common/container/xr_ptrarray.h"
#include "common/corvanel_core/interfaces/xr_appsettingsprovider.h"
#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/corvanel_core/interfaces/xr_roadblocksprovider.h"
#include "common/corvanel_core/interfaces/xr_routeprovider.h"
#include "common/graph/xr_detourstate.h"
#include "common/map/xr_routelayerhost.h"

class XrEventloopBase;
class XrGraphAccessor2;
class XrRouteInstructions;

class XrRouteProviderImpl : public XrRouteProvider,
                            public XrRouteLayerObserver,
                            public XrAppSettingsListener,
                            public XrMapListener,
                            public XrRoadblocksListener {
public:
    static constexpr const TCHAR* state_file_path = L"?:\\qj.tmp";
    static constexpr const TCHAR* graph_file_path = L"?:\\mapdata\\graph.bin";
    static constexpr const TCHAR* spill_folder_path = L"?:/mapdata";
    static constexpr int TIMER_MS = 100;
    static constexpr int GRAPH_CACHE_SIZE = 524288;
    static constexpr int OFF_ROAD_DISTANCE = 40; // map units: a current position farther away is off the road
    // Bitmaps pinned while a route exists.
    static constexpr unsigned ROUTE_BITMAPS[4] = {0x49A70001, 0x49A70002, 0x49A70003, 0x49A70004};

    // The pointers (not owned) name the application's shared words; the
    // holders may hold null. Listens to the registered settings, map and
    // roadblocks providers.
    XrRouteProviderImpl(XrRoutingUIDefinition* ui, void* app, bool* guidance_active, int* calculating, int* status,
                        bool* cancel_requested, bool* guidance_flag_b, XrRouteServices** services,
                        XrMemoryNotifier** memory_notifier, XrPoint* last_point, XrGid* last_gid);
    ~XrRouteProviderImpl() override;
    XrRouteProviderImpl(const XrRouteProviderImpl&) = delete;
    XrRouteProviderImpl& operator=(const XrRouteProviderImpl&) = delete;

    // ---- XrRouteProvider
    XrMapRouteLayer* get_route_layer() override;
    XrRouteLayer* get_route_layer2() override { return route_layer; }
    void drop_route() override;
    XrGeomStorage* get_road_data() override;
    XrAddrAccessor* get_addr_accessor() override;
    bool has_route() override;
    int get_route_status() override { return *status; }
    void set_guidance_option1(bool value) override { set_option(0, value); }
    void set_guidance_option2(bool value) override { set_option(1, value); }
    void set_guidance_option3(bool value) override { set_option(2, value); }
    void set_guidance_option4(bool value) override { set_option(3, value); }
    void set_guidance_option5(bool value) override { set_option(4, value); }
    void clear_waypoints() override;
    int get_waypoint_count() override { return waypoints.get_num_items(); }
    void add_waypoint(const XrWaypoint& waypoint) override { waypoints.append(waypoint); }
    void clear_pending_start() override { pending_start_valid = false; }
    void set_pending_start(const XrWaypoint& waypoint) override;
    bool get_pending_start(XrWaypoint& out) override;
    bool get_waypoint(int index, XrWaypoint& out) override;
    int copy_waypoints(XrArray<XrWaypoint>& out) override;
    void set_waypoints(const XrArray<XrWaypoint>& list, int index) override;
    void backup_waypoints() override;
    void restore_waypoints() override;
    int get_current_index() override { return current_index; }
    void set_current_index(int index) override { current_index = index; }
    bool get_current_leg(XrPoint& from, XrPoint& to) override;
    bool has_waypoints() override { return waypoints.get_num_items() > 0; }
    int get_distance_travelled() override;
    void stop_guidance() override;
    void resume_guidance(const XrWaypoint* waypoint) override;
    void clear_route() override;
    void navigate_via(const XrPoint& point, const XrString& name) override;
    void set_start_and_destination(const XrWaypoint& start, const XrWaypoint& destination) override;
    bool calculate_route(bool new_route, bool from_position, bool keep_policies) override;
    void detour() override;
    void recalculate_from_position(bool new_route) override;
    void toggle_routing_mode() override;
    void get_search_progress(int& total, int& done, int& third) override;
    bool is_timer_calculation_running() override { return calculating_from_timer; }
    void save_route_state() override;
    bool restore_route_state() override;
    void delete_route_state() override;
    void set_policies(int toll, int ferry, int charge) override;
    int get_routing_mode() override;
    void set_routing_mode(int mode) override;
    void apply_settings() override;
    bool is_calculating() override { return *calculating != 0; }

    // ---- Listener entries
    bool reroute(XrRouteLayer* layer) override;
    void waypoint_reached(int index, bool hold) override;
    void settings_changed() override { on_app_settings_changed(); }
    void map_initialized() override { on_map_opened(); }
    void map_closing() override { on_map_closing(); }
    void roadblocks_changed() override { on_roadblocks_changed(); }

    void on_app_settings_changed();
    void on_map_opened();
    void on_map_closing();
    void on_roadblocks_changed();

    // The search driver: one route per searched leg into routes (owned by
    // the caller). graph null: a reader of its own is opened.
    bool search_route(XrArray<XrWaypoint>& list, XrPtrArray<XrRouteInstructions*>& routes, bool from_position,
                      XrGraphAccessor2* graph, XrRouteInstructions* old_route, XrHash<int, int>* old_edges,
                      bool interactive);

    // Arms the one-shot calculation timer (100 ms) on the application's loop.
    void arm_timer(bool new_route, bool from_position);
    // Uses this route layer (tests, or a map opened without a map provider).
    void set_route_layer(XrRouteLayer* layer);

    // Read access for tests.
    int get_toll_policy() const { return toll_policy; }
    int get_ferry_policy() const { return ferry_policy; }
    int get_charge_policy() const { return charge_policy; }
    bool is_route_valid() const { return route_valid; }
    bool is_settings_dirty() const { return settings_dirty; }
    XrDetourState& get_detour_state() { return detour_state; }
    int get_reroute_count() const { return reroute_count; }
    int get_reroute_threshold() const { return reroute_threshold; }
    int get_reroute_skip() const { return reroute_skip; }
    int get_backup_count() const { return backup.get_num_items(); }

private:
    class XrNewRoutingKludgeTimer;
    struct XrMatch;
    struct XrSearchRun;

    static XrEventloopBase* event_loop();
    void set_option(int which, bool value);
    // Removes waypoint 1 current_index - 1 times; current index 1.
    void drop_passed_waypoints();
    // Replaces the passed waypoints and the start by the current position.
    void drop_passed_waypoints_from_position();
    void notify_route_changed();
    void notify_calculation(bool started);
    void notify_memory_clients();
    void pin_route_bitmaps(bool pin);
    void show_route_start();
    bool usable_position() const;
    bool match_waypoint(const XrWaypoint& wp, XrGraphAccessor2* graph, bool position_may_replace,
                        bool use_heading, XrMatch& out);
    bool closest_road(XrWaypoint& out);
    bool edge_restricted(XrGraphAccessor2* graph, XrGid gid);
    bool finish_search(XrSearchRun& run, bool found);
    void build_reroute_hint(XrRouteInstructions*& hint_route, std::unique_ptr<XrHash<int, int>>& hint_edges);
    void set_reroute_thresholds(XrRouteInstructions* route);

    bool calculating_from_timer = false;
    XrDetourState detour_state;
    XrArray<XrWaypoint> backup{8, 8};
    int backup_index = 0;
    XrRouteLayer* route_layer = nullptr;
    XrRoutingUIDefinition* ui;
    void* app;
    bool route_valid = false;
    bool* guidance_active;
    bool* guidance_flag_b;
    int* calculating;
    int* status;
    bool* cancel_requested;
    XrRouteServices** services;
    XrMemoryNotifier** memory_notifier;
    int toll_policy = POLICY_ASK;
    int ferry_policy = POLICY_ASK;
    int charge_policy = POLICY_ASK;
    bool avoid_flag_setting = false;
    XrPoint* last_point;
    XrGid* last_gid;
    int current_index = 0;
    XrArray<XrWaypoint> waypoints{8, 8};
    int reroute_count = 0;
    int reroute_threshold = 0;
    int reroute_skip = 0;
    int legs_total_distance = 0;
    int legs_done_distance = 0;
    int progress_third = 0;
    XrPoint leg_start;
    XrPoint previous_leg_start;
    bool settings_dirty = false;
    bool pending_start_valid = false;
    XrWaypoint pending_start;
    bool bitmaps_pinned = false;
    // The calculation timers armed and not fired yet.
    std::vector<XrNewRoutingKludgeTimer*> timers;
    // The roadblocks provider this provider listens to (left in the destructor).
    XrRoadblocksProvider* roadblocks = nullptr;
    // Fallbacks when the application passes null for a shared word.
    bool own_guidance_active = false, own_guidance_flag_b = false, own_cancel = false;
    int own_calculating = 0, own_status = 0;
};
