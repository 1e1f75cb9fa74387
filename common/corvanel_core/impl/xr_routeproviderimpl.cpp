#include "common/corvanel_core/impl/xr_routeproviderimpl.h"

#include <algorithm>
#include <memory>
#include <string>

#include "common/bmloader/xr_bitmap_loader.h"
#include "common/corvanel_core/impl/xr_mapviewproviderimpl.h"
#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/corvanel_core/impl/xr_routestatefile.h"
#include "common/corvanel_core/interfaces/xr_applicationprovider.h"
#include "common/corvanel_core/interfaces/xr_historyprovider.h"
#include "common/corvanel_core/interfaces/xr_locationdetailsprovider.h"
#include "common/corvanel_core/interfaces/xr_maplayerparts.h"
#include "common/corvanel_core/interfaces/xr_mappoint.h"
#include "common/corvanel_core/interfaces/xr_mapviewprovider.h"
#include "common/graph/xr_routeinstructions.h"
#include "common/graph/xr_routemode.h"
#include "common/map/xr_mapview.h"
#include "common/map/xr_routelayer.h"
#include "common/misc/xr_path_resolver.h"
#include "common/os/xr_eventloopbase.h"
#include "common/os/xr_file.h"

// The one-shot calculation timer; deletes itself after firing or when the
// loop cancels it.
class XrRouteProviderImpl::XrNewRoutingKludgeTimer : public XrEventHandler {
public:
    XrNewRoutingKludgeTimer(XrRouteProviderImpl* provider, bool new_route, bool from_position)
        : provider(provider), new_route(new_route), from_position(from_position)
    {
        provider->timers.push_back(this);
    }
    ~XrNewRoutingKludgeTimer() override
    {
        auto& list = provider->timers;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
    void execute(XrEventloopBase* /*loop*/, void* /*data*/) override
    {
        provider->calculating_from_timer = true;
        provider->calculate_route(new_route, from_position, false);
        provider->calculating_from_timer = false;
        delete this;
    }
    void cancelled(XrEventloopBase* /*loop*/, void* /*data*/) override { delete this; }

private:
    XrRouteProviderImpl* provider;
    bool new_route;
    bool from_position;
};

namespace {

XrAppSettingsProvider* app_settings()
{
    return xr_registered<XrAppSettingsProvider>(L"XrAppSettingsProvider");
}

XrRoadblocksProvider* roadblocks_provider()
{
    return xr_registered<XrRoadblocksProvider>(L"XrRoadblocksProvider");
}

} // namespace

XrRouteProviderImpl::XrRouteProviderImpl(XrRoutingUIDefinition* ui, void* app, bool* guidance_active,
                                         int* calculating, int* status, bool* cancel_requested,
                                         bool* guidance_flag_b, XrRouteServices** services,
                                         XrMemoryNotifier** memory_notifier, XrPoint* last_point, XrGid* last_gid)
    : ui(ui),
      app(app),
      guidance_active(guidance_active != nullptr ? guidance_active : &own_guidance_active),
      guidance_flag_b(guidance_flag_b != nullptr ? guidance_flag_b : &own_guidance_flag_b),
      calculating(calculating != nullptr ? calculating : &own_calculating),
      status(status != nullptr ? status : &own_status),
      cancel_requested(cancel_requested != nullptr ? cancel_requested : &own_cancel),
      services(services),
      memory_notifier(memory_notifier),
      last_point(last_point),
      last_gid(last_gid)
{
    XR_ASSERT_MSG(ui != nullptr, "ui");
    if (XrAppSettingsProvider* settings = app_settings())
        settings->add_listener(static_cast<XrAppSettingsListener*>(this));
    if (XrMapProvider* maps = xr_map_provider())
        maps->add_listener(static_cast<XrMapListener*>(this));
    roadblocks = roadblocks_provider();
    if (roadblocks != nullptr)
        roadblocks->add_listener(static_cast<XrRoadblocksListener*>(this));
}

XrRouteProviderImpl::~XrRouteProviderImpl()
{
    // Calculations still armed would reach a provider that is gone.
    if (XrEventloopBase* loop = event_loop()) {
        while (!timers.empty()) {
            XrNewRoutingKludgeTimer* t = timers.back();
            loop->remove_timeout(t, nullptr);
            if (!timers.empty() && timers.back() == t)
                delete t; // the loop did not know it
        }
    }
    while (!timers.empty())
        delete timers.back();
    if (XrAppSettingsProvider* settings = app_settings())
        settings->remove_listener(static_cast<XrAppSettingsListener*>(this));
    if (XrMapProvider* maps = xr_map_provider())
        maps->remove_listener(static_cast<XrMapListener*>(this));
    // Only while the provider it joined is still the registered one.
    if (roadblocks != nullptr && roadblocks == roadblocks_provider())
        roadblocks->remove_listener(static_cast<XrRoadblocksListener*>(this));
    if (route_layer != nullptr)
        route_layer->set_route_observer(nullptr);
    pin_route_bitmaps(false);
}

XrMapRouteLayer* XrRouteProviderImpl::get_route_layer()
{
    XrMapProvider* maps = xr_map_provider();
    return maps != nullptr ? maps->get_route_layer() : nullptr;
}

void XrRouteProviderImpl::drop_route()
{
    if (route_layer != nullptr)
        route_layer->set_routes(nullptr, 0);
    route_valid = false;
}

XrGeomStorage* XrRouteProviderImpl::get_road_data()
{
    XrMapProvider* maps = xr_map_provider();
    return maps != nullptr ? maps->get_road_geometry() : nullptr;
}

XrAddrAccessor* XrRouteProviderImpl::get_addr_accessor()
{
    XrMapProvider* maps = xr_map_provider();
    return maps != nullptr ? maps->get_addr_accessor() : nullptr;
}

bool XrRouteProviderImpl::has_route()
{
    return route_layer != nullptr && route_layer->get_route_count() > 0;
}

void XrRouteProviderImpl::set_option(int which, bool value)
{
    if (route_layer == nullptr)
        return;
    const XrRouteLayer::XrOptionValue v = value ? XrRouteLayer::OPTION_ON : XrRouteLayer::OPTION_OFF;
    switch (which) {
    case XrRouteLayer::OPTION_SPEAK_WAYPOINTS: route_layer->set_option1(v); break;
    case XrRouteLayer::OPTION_TURN_ARROW: route_layer->set_option2(v); break;
    case XrRouteLayer::OPTION_PROXIMITY_ALERTS: route_layer->set_option3(v); break;
    case XrRouteLayer::OPTION_OPEN_ROAD_ONLY: route_layer->set_option4(v); break;
    default: route_layer->set_option5(v); break;
    }
}

void XrRouteProviderImpl::set_route_layer(XrRouteLayer* layer)
{
    if (route_layer != nullptr && route_layer != layer)
        route_layer->set_route_observer(nullptr);
    route_layer = layer;
    if (layer != nullptr)
        layer->set_route_observer(this);
}

void XrRouteProviderImpl::clear_waypoints()
{
    waypoints.remove_all();
    current_index = 0;
}

void XrRouteProviderImpl::set_pending_start(const XrWaypoint& waypoint)
{
    pending_start = waypoint;
    pending_start_valid = true;
}

bool XrRouteProviderImpl::get_pending_start(XrWaypoint& out)
{
    if (pending_start_valid)
        out = pending_start;
    return pending_start_valid;
}

bool XrRouteProviderImpl::get_waypoint(int index, XrWaypoint& out)
{
    if (index < 0 || index >= waypoints.get_num_items())
        return false;
    out = *waypoints.get_item_ptr(index);
    return true;
}

int XrRouteProviderImpl::copy_waypoints(XrArray<XrWaypoint>& out)
{
    for (int i = 0; i < waypoints.get_num_items(); ++i)
        out.append(*waypoints.get_item_ptr(i));
    return current_index;
}

void XrRouteProviderImpl::set_waypoints(const XrArray<XrWaypoint>& list, int index)
{
    if (&list == &waypoints)
        return;
    clear_waypoints();
    for (int i = 0; i < list.get_num_items(); ++i)
        waypoints.append(*list.get_item_ptr(i));
    current_index = index == 0 && waypoints.get_num_items() > 0 ? 1 : index;
}

void XrRouteProviderImpl::backup_waypoints()
{
    backup.remove_all();
    copy_waypoints(backup);
    backup_index = current_index;
}

void XrRouteProviderImpl::restore_waypoints()
{
    if (backup.get_num_items() == 0)
        return;
    set_waypoints(backup, backup_index);
    backup.remove_all();
    recalculate_from_position(false);
}

bool XrRouteProviderImpl::get_current_leg(XrPoint& from, XrPoint& to)
{
    if (!route_valid)
        return false;
    from = previous_leg_start;
    to = leg_start;
    return true;
}

int XrRouteProviderImpl::get_distance_travelled()
{
    if (!has_route())
        return -1;
    int total = route_layer->get_distance_travelled();
    for (int i = 0; i < route_layer->get_route_count() && i < route_layer->get_active_index(); ++i)
        total += route_layer->get_route(i)->total_length;
    return total;
}

void XrRouteProviderImpl::stop_guidance()
{
    if (*status != STATUS_FAILED && *status != STATUS_NO_FIX)
        *status = STATUS_OK;
    detour_state.add_detour(nullptr, 0, XrDetourState::KIND_CLEAR);
    *guidance_active = false;
    *guidance_flag_b = false;
}

void XrRouteProviderImpl::resume_guidance(const XrWaypoint* waypoint)
{
    if (waypoint == nullptr) {
        *guidance_active = true;
        *guidance_flag_b = true;
        return;
    }
    if (*status == STATUS_FAILED)
        *status = STATUS_OK;
    if (waypoints.get_num_items() < 2) {
        ui->ask_for_route();
        *guidance_active = true;
        *guidance_flag_b = true;
        return;
    }
    *guidance_flag_b = false;
    arm_timer(true, false);
}

void XrRouteProviderImpl::clear_route()
{
    if (route_layer != nullptr)
        route_layer->set_routes(nullptr, 0);
    route_valid = false;
    clear_waypoints();
    backup.remove_all();
    notify_route_changed();
    pin_route_bitmaps(false);
}

void XrRouteProviderImpl::navigate_via(const XrPoint& point, const XrString& name)
{
    XrWaypoint wp;
    wp.used = 1;
    wp.x = point.x;
    wp.y = point.y;
    wp.name = name;
    if (wp.name.is_empty()) {
        if (auto* details = xr_registered<XrLocationDetailsProvider>(L"XrLocationDetailsProvider")) {
            XrLocationDetails d;
            details->get_details_or_coordinates(point, d);
            wp.name = d.text;
        }
    }
    XrArray<XrWaypoint> copy(8, 8);
    copy_waypoints(copy);
    int index;
    if (copy.get_num_items() < 2) {
        // With no start yet the via point is the only waypoint: it is the
        // target, and a calculation starts from the current position.
        copy.append(wp);
        index = copy.get_num_items() - 1;
    } else {
        copy.insert_item(wp, copy.get_num_items() - 1);
        index = copy.get_num_items() - 2;
    }
    if (auto* history = xr_registered<XrHistoryProvider>(L"XrHistoryProvider")) {
        XrMapProvider* maps = xr_map_provider();
        history->add_history_point(
            XrHistoryMapPoint(XrCoordinate(point, maps != nullptr ? maps->get_projection() : nullptr), wp.name));
    }
    if (copy.get_num_items() == 1) {
        // Keep the list consistent: the current position is the start.
        XrWaypoint here;
        here.used = 0;
        here.name.load_text(506);
        copy.insert_item(here, 0);
        index = 1;
    }
    clear_waypoints();
    for (int i = 0; i < copy.get_num_items(); ++i)
        waypoints.append(*copy.get_item_ptr(i));
    current_index = index == 0 ? 1 : index;
    arm_timer(true, false);
}

void XrRouteProviderImpl::set_start_and_destination(const XrWaypoint& start, const XrWaypoint& destination)
{
    clear_waypoints();
    waypoints.append(start);
    waypoints.append(destination);
    current_index = 1;
    detour_state.add_detour(nullptr, 0, XrDetourState::KIND_CLEAR);
    arm_timer(true, false);
}

XrEventloopBase* XrRouteProviderImpl::event_loop()
{
    auto* app_provider = xr_registered<XrApplicationProvider>(L"XrApplicationProvider");
    return app_provider != nullptr ? app_provider->get_event_loop() : nullptr;
}

void XrRouteProviderImpl::arm_timer(bool new_route, bool from_position)
{
    XrEventloopBase* loop = event_loop();
    auto* timer = new XrNewRoutingKludgeTimer(this, new_route, from_position);
    if (loop == nullptr || !loop->add_timeout(0, TIMER_MS, timer, nullptr))
        delete timer;
}

bool XrRouteProviderImpl::usable_position() const
{
    return route_layer != nullptr && route_layer->has_last_position() &&
           (route_layer->get_route_count() > 0 || route_layer->get_gps_fix_valid());
}

void XrRouteProviderImpl::drop_passed_waypoints()
{
    if (waypoints.get_num_items() == 0)
        return;
    for (int i = 1; i < current_index && waypoints.get_num_items() > 1; ++i)
        waypoints.remove_item(1);
    current_index = 1;
}

void XrRouteProviderImpl::drop_passed_waypoints_from_position()
{
    while (current_index > 0 && waypoints.get_num_items() > 0) {
        waypoints.remove_item(0);
        --current_index;
    }
    current_index = 0;
    XrWaypoint here;
    here.used = 0;
    here.name.load_text(506); // "r_str_msg_current_location"
    waypoints.insert_item(here, 0);
    ++current_index;
}

bool XrRouteProviderImpl::calculate_route(bool new_route, bool from_position, bool keep_policies)
{
    if (waypoints.get_num_items() == 0)
        return false;
    if (route_layer != nullptr)
        route_layer->set_routes(nullptr, 0);
    XrAppSettingsProvider* settings = app_settings();
    if (settings != nullptr) {
        avoid_flag_setting = settings->get_routing_option() && settings->get_traffic_enabled();
        if (!keep_policies) {
            toll_policy = settings->get_tollroads();
            ferry_policy = settings->get_ferry();
            charge_policy = get_routing_mode() == ROUTE_MODE_PEDESTRIAN ? POLICY_ALLOW : POLICY_ASK;
        }
    }
    if (usable_position() && route_layer->get_gps_fix_valid() && waypoints.get_item_ptr(0)->used != 0)
        drop_passed_waypoints_from_position();

    XrPtrArray<XrRouteInstructions*> results(8);
    XrArray<XrWaypoint> list(8, 8);
    copy_waypoints(list);
    const bool ok = search_route(list, results, from_position, nullptr, nullptr, nullptr, true);
    // The driver writes the road points into its copy.
    for (int i = 0; i < list.get_num_items() && i < waypoints.get_num_items(); ++i) {
        waypoints.get_item_ptr(i)->road_x = list.get_item_ptr(i)->road_x;
        waypoints.get_item_ptr(i)->road_y = list.get_item_ptr(i)->road_y;
    }
    if (ok) {
        if (*status == STATUS_OK && results.get_num_items() > 0) {
            route_valid = true;
            if (current_index >= 0 && current_index < waypoints.get_num_items()) {
                const XrWaypoint* cur = waypoints.get_item_ptr(current_index);
                leg_start = XrPoint(cur->x, cur->y);
            }
            if (route_layer != nullptr)
                route_layer->set_routes(&results, 0);
            else
                for (int i = 0; i < results.get_num_items(); ++i)
                    delete results.get_item(i);
            results.remove_all();
            if (new_route) {
                ui->route_ready(true, 0, 0);
            } else {
                ui->show_route_status(*status);
                ui->refresh_map();
            }
            notify_memory_clients();
            if (route_layer != nullptr && !route_layer->get_gps_fix_valid())
                show_route_start();
        }
        if (services != nullptr && *services != nullptr)
            (*services)->route_changed();
    } else {
        if (route_layer != nullptr)
            route_layer->set_routes(nullptr, 0);
        clear_waypoints();
    }
    for (int i = 0; i < results.get_num_items(); ++i)
        delete results.get_item(i);
    notify_route_changed();
    if (!new_route) {
        *guidance_active = true;
        *guidance_flag_b = true;
    }
    return ok;
}

void XrRouteProviderImpl::show_route_start()
{
    XrPoint start;
    short heading = 0;
    if (route_layer->get_route_start(&start, &heading) != 0)
        return;
    XrMapViewProvider* views = xr_registered<XrMapViewProvider>(L"XrMapViewProvider");
    XrMapView* view = views != nullptr ? views->get_map_view() : nullptr;
    if (view == nullptr)
        return;
    const std::uint32_t scale = view->get_scale_value();
    view->set_rotation(heading - 90);
    route_layer->update_position(start, heading, -1.0, true, nullptr, nullptr, 0);
    // The start a little ahead of the centre, as the map shows a position.
    const XrPoint centre = xr_move_point_ahead(*view, start);
    view->set_center_and_scale(&centre, scale, false);
}

void XrRouteProviderImpl::detour()
{
    if (has_route()) {
        if (detour_state.get_request_count() != 2)
            detour_state.add_detour(route_layer->get_active_route(), route_layer->get_current_segment(),
                                    XrDetourState::KIND_MEDIUM);
        else
            detour_state.add_detour(nullptr, 0, XrDetourState::KIND_CLEAR);
    }
    drop_passed_waypoints();
    arm_timer(false, true);
}

void XrRouteProviderImpl::recalculate_from_position(bool new_route)
{
    detour_state.add_detour(nullptr, 0, XrDetourState::KIND_CLEAR);
    drop_passed_waypoints();
    arm_timer(new_route, true);
}

void XrRouteProviderImpl::toggle_routing_mode()
{
    const int mode = get_routing_mode();
    if (!is_car_route_mode(mode))
        return;
    *status = STATUS_OK;
    set_routing_mode(mode == ROUTE_MODE_FASTEST ? ROUTE_MODE_SHORTEST : ROUTE_MODE_FASTEST);
    recalculate_from_position(true);
}

void XrRouteProviderImpl::get_search_progress(int& total, int& done, int& third)
{
    total = legs_total_distance;
    done = legs_done_distance;
    third = progress_third;
}

void XrRouteProviderImpl::set_policies(int toll, int ferry, int charge)
{
    toll_policy = toll;
    ferry_policy = ferry;
    charge_policy = charge;
}

int XrRouteProviderImpl::get_routing_mode()
{
    XrAppSettingsProvider* settings = app_settings();
    return settings != nullptr ? settings->get_route_type() : 0;
}

void XrRouteProviderImpl::set_routing_mode(int mode)
{
    const int old = get_routing_mode();
    if (old == mode)
        return;
    if (XrAppSettingsProvider* settings = app_settings())
        settings->set_route_type(mode);
    if (has_route() || old == 4)
        settings_dirty = true;
}

void XrRouteProviderImpl::apply_settings()
{
    if (!settings_dirty)
        return;
    settings_dirty = false;
    if (has_route())
        recalculate_from_position(true);
}

void XrRouteProviderImpl::waypoint_reached(int index, bool hold)
{
    if (index == -1) {
        set_current_index(0);
        ui->destination_reached(hold);
        return;
    }
    if (route_layer == nullptr || route_layer->get_route(index + 1) == nullptr)
        return;
    current_index = std::min(current_index + 1, waypoints.get_num_items() - 1);
    previous_leg_start = leg_start;
    if (current_index >= 0 && current_index < waypoints.get_num_items()) {
        const XrWaypoint* cur = waypoints.get_item_ptr(current_index);
        leg_start = XrPoint(cur->x, cur->y);
    }
}

void XrRouteProviderImpl::on_app_settings_changed()
{
    XrAppSettingsProvider* settings = app_settings();
    if (settings == nullptr)
        return;
    const int toll = settings->get_tollroads();
    const int ferry = settings->get_ferry();
    if ((toll != toll_policy && toll != POLICY_ASK) || (ferry != ferry_policy && ferry != POLICY_ASK))
        settings_dirty = true;
    if ((settings->get_routing_option() && settings->get_traffic_enabled()) != avoid_flag_setting)
        settings_dirty = true;
}

void XrRouteProviderImpl::on_map_opened()
{
    XrMapRouteLayer* layer = get_route_layer();
    XrLayer* as_layer = layer != nullptr ? layer->as_layer() : nullptr;
    set_route_layer(dynamic_cast<XrRouteLayer*>(as_layer));
}

void XrRouteProviderImpl::on_map_closing()
{
    waypoints.remove_all();
    backup.remove_all();
    backup_index = 0;
    current_index = 0;
    route_valid = false;
    ui->show_route_status(STATUS_FAILED);
    delete_route_state();
    settings_dirty = false;
    set_route_layer(nullptr);
}

void XrRouteProviderImpl::on_roadblocks_changed()
{
    arm_timer(true, false);
}

void XrRouteProviderImpl::notify_route_changed()
{
    notify_listeners(&XrRouteListener::route_changed);
}

void XrRouteProviderImpl::notify_calculation(bool started)
{
    *calculating = started ? 1 : 0;
    if (started)
        notify_listeners(&XrRouteListener::calculation_started);
    else
        notify_listeners(&XrRouteListener::calculation_finished);
}

void XrRouteProviderImpl::notify_memory_clients()
{
    if (memory_notifier != nullptr && *memory_notifier != nullptr)
        (*memory_notifier)->notify_clients();
}

void XrRouteProviderImpl::pin_route_bitmaps(bool pin)
{
    if (pin == bitmaps_pinned)
        return;
    bitmaps_pinned = pin;
    for (unsigned id : ROUTE_BITMAPS)
        XrBitmapLoader::set_pinned(id, pin);
}

// ---- The route state file

void XrRouteProviderImpl::save_route_state()
{
    if (waypoints.get_num_items() < 2 || current_index == 0) {
        // Nothing left to resume: an older file would bring back a route
        // that is no longer wanted.
        delete_route_state();
        return;
    }
    const std::string text = xr_route_state::format(waypoints, current_index);
    write_whole_file(XrPathResolver::resolve(state_file_path), reinterpret_cast<const BYTE*>(text.data()),
                     static_cast<int>(text.size()));
}

bool XrRouteProviderImpl::restore_route_state()
{
    const XrString path = XrPathResolver::resolve(state_file_path);
    if (get_file_size(path) < 0)
        return false;
    BYTE* raw = nullptr;
    int size = 0;
    if (!read_whole_file(path, &raw, &size, 1 << 20))
        return false;
    std::unique_ptr<BYTE[]> data(raw);
    clear_waypoints();
    XrArray<XrWaypoint> list(8, 8);
    const bool complete = xr_route_state::parse(data.get(), size, list);
    for (int i = 0; i < list.get_num_items(); ++i)
        add_waypoint(*list.get_item_ptr(i));
    if (!complete || waypoints.get_num_items() == 0)
        return false;
    detour_state.add_detour(nullptr, 0, XrDetourState::KIND_CLEAR);
    arm_timer(false, false);
    return true;
}

void XrRouteProviderImpl::delete_route_state()
{
    const XrString path = XrPathResolver::resolve(state_file_path);
    if (get_file_size(path) >= 0)
        delete_file(path);
}
