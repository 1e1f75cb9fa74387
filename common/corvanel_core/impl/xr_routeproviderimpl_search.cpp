// The route search driver and rerouting of XrRouteProviderImpl.
#include <algorithm>
#include <cmath>
#include <memory>

#include "common/addr/xr_streetfinder.h"
#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/corvanel_core/impl/xr_routeproviderimpl.h"
#include "common/corvanel_core/interfaces/xr_mapviewprovider.h"
#include "common/corvanel_core/interfaces/xr_positionprovider.h"
#include "common/graph/xr_dijkstrapath.h"
#include "common/graph/xr_dynpenaltymanager.h"
#include "common/graph/xr_graphaccessor.h"
#include "common/graph/xr_routemode.h"
#include "common/map/xr_routelayer.h"
#include "common/misc/xr_path_resolver.h"
#include "common/storage/xr_storageaccessor.h"

struct XrRouteProviderImpl::XrMatch {
    XrGid gid = 0;
    XrPoint point;
    bool off_road = false;
};

// What one search_route call holds until its end.
struct XrRouteProviderImpl::XrSearchRun {
    XrPtrArray<XrRouteInstructions*>* routes = nullptr;
    bool interactive = false;
    bool refused_charge = false;
    bool taken_by_service = false;
    // The reader opened here (a reader passed in stays the caller's).
    std::unique_ptr<XrFileStorageAccessor> graph_file;
    std::unique_ptr<XrGraphAccessor2> own_graph;
};

namespace {

int straight(const XrPoint& a, const XrPoint& b)
{
    return static_cast<int>(std::hypot(static_cast<double>(a.x) - b.x, static_cast<double>(a.y) - b.y));
}

// A street-finder radius: factor times the map-view provider's distance
// unit (1 while there is no map-view provider).
int finder_radius(int factor)
{
    XrMapViewProvider* views = XrMapViewProvider::get_instance();
    const double unit = views != nullptr ? views->get_zoom_ratio() : 1.0;
    return static_cast<int>(factor * unit);
}

} // namespace

bool XrRouteProviderImpl::edge_restricted(XrGraphAccessor2* graph, XrGid gid)
{
    XrGeomStorage* roads = get_road_data();
    if (graph == nullptr || roads == nullptr || gid == 0)
        return false;
    const int handle = graph->get_edge_handle_by_geometry(roads, gid, nullptr);
    XrGraphAccessor2::XrEdgeData edge;
    return handle != -1 && graph->get_edge_by_handle(handle, edge) != -1 && edge.restricted != 0;
}

bool XrRouteProviderImpl::match_waypoint(const XrWaypoint& wp, XrGraphAccessor2* graph, bool position_may_replace,
                                         bool use_heading, XrMatch& out)
{
    out = XrMatch();
    XrGeomStorage* roads = get_road_data();
    XrPoint point(wp.x, wp.y);
    int heading = -1;
    double speed = -1.0;
    if (wp.used != 0) {
        if (position_may_replace && usable_position()) {
            point = route_layer->get_matched_point();
        } else if (wp.gid != 0) {
            out.gid = wp.gid;
            out.point = point;
            return true;
        }
    } else {
        if (!usable_position())
            return false;
        point = route_layer->get_last_position();
        heading = route_layer->get_heading();
        speed = route_layer->get_gps_fix_valid() ? route_layer->get_current_speed() : -1.0;
        if (!use_heading) {
            heading = -1;
            speed = -1.0;
        }
    }
    if (roads == nullptr)
        return false;
    XrStreetFinder finder(roads);
    size_t found = 0;
    if (finder.find_street(point, finder_radius(100), 1, found, nullptr, nullptr, heading, graph, speed) !=
            XrStreetFinder::OK ||
        found == 0) {
        if (finder.find_street(point, finder_radius(5000), 1, found, nullptr, nullptr, heading, graph, speed) !=
                XrStreetFinder::OK ||
            found == 0)
            return false;
    }
    bool first_half = false;
    int segment = 0;
    double distance = 0;
    if (!finder.get_result(0, out.gid, first_half, segment, out.point, distance))
        return false;
    if (distance > OFF_ROAD_DISTANCE && wp.used == 0) {
        out.off_road = true;
        return false;
    }
    return true;
}

bool XrRouteProviderImpl::closest_road(XrWaypoint& out)
{
    XrGeomStorage* roads = get_road_data();
    if (roads == nullptr || route_layer == nullptr)
        return false;
    XrAppSettingsProvider* settings = xr_registered<XrAppSettingsProvider>(L"XrAppSettingsProvider");
    const int max_factor =
        settings != nullptr ? settings->get_int(XrString(L"routing_offroute_max_seek_dist"), 50) : 50;
    const XrPoint at = route_layer->get_last_position();
    XrStreetFinder finder(roads);
    size_t found = 0;
    for (int factor = 49;; factor += 10) {
        if (finder.find_street(at, finder_radius(factor), 1, found, nullptr, nullptr, -1, nullptr, -1.0) !=
            XrStreetFinder::OK)
            found = 0;
        if (found > 0 || factor + 10 >= max_factor)
            break;
    }
    XrGid gid = 0;
    bool first_half = false;
    int segment = 0;
    XrPoint nearest;
    double distance = 0;
    // No road within any radius: no result to take.
    if (found == 0 || !finder.get_result(0, gid, first_half, segment, nearest, distance))
        return false;
    out = XrWaypoint();
    out.used = 1;
    out.x = at.x;
    out.y = at.y;
    out.gid = gid;
    out.name = XrString(L"Closest road");
    return true;
}

bool XrRouteProviderImpl::search_route(XrArray<XrWaypoint>& list, XrPtrArray<XrRouteInstructions*>& routes,
                                       bool from_position, XrGraphAccessor2* graph, XrRouteInstructions* old_route,
                                       XrHash<int, int>* old_edges, bool interactive)
{
    XrSearchRun run;
    run.routes = &routes;
    run.interactive = interactive;

    const int mode = get_routing_mode();
    if (mode == ROUTE_MODE_PEDESTRIAN || mode == ROUTE_MODE_BICYCLE || mode == ROUTE_MODE_OTHER) {
        toll_policy = POLICY_ALLOW;
        charge_policy = POLICY_ALLOW;
    }
    if (old_route == nullptr) {
        reroute_count = 0;
        reroute_skip = 0;
    }
    const bool use_heading = mode != ROUTE_MODE_PEDESTRIAN;
    ui->reset_calculation_ui();
    XrGeomStorage* roads = get_road_data();

    if (list.get_num_items() > 0 && list.get_item_ptr(0)->used == 0 && !usable_position()) {
        ui->show_route_status(STATUS_NO_FIX);
        *status = STATUS_NO_FIX;
        notify_route_changed();
        return true;
    }
    auto* positions = xr_registered<XrPositionProvider>(L"XrPositionProvider");
    if (positions != nullptr && !positions->is_connected() && route_layer != nullptr)
        route_layer->set_fix_valid(false);

    if (graph == nullptr) {
        run.graph_file = std::make_unique<XrFileStorageAccessor>();
        if (!run.graph_file->open(XrPathResolver::resolve(graph_file_path), true))
            return false;
        run.own_graph = std::make_unique<XrGraphAccessor2>(run.graph_file.get(), GRAPH_CACHE_SIZE);
        if (run.own_graph->open(nullptr) != 0)
            return false;
        graph = run.own_graph.get();
    }
    if (list.get_num_items() < 2)
        return false;

    // The start.
    XrMatch start;
    if (match_waypoint(*list.get_item_ptr(0), graph, from_position, use_heading, start)) {
        set_guidance_option1(true);
    } else if (start.off_road && list.get_item_ptr(0)->used == 0) {
        XrWaypoint closest;
        if (closest_road(closest))
            set_pending_start(closest);
        else
            clear_pending_start(); // no road near
        set_guidance_option1(false);
        set_guidance_option1(true);
        *status = STATUS_OK;
    } else {
        return finish_search(run, false);
    }
    if (roadblocks != nullptr && roadblocks->is_roadblock_on_edge(start.gid, roads)) {
        if (*status != STATUS_START_BLOCKED)
            ui->show_route_status(STATUS_START_BLOCKED);
        *status = STATUS_START_BLOCKED;
        return true;
    }
    *status = STATUS_OK;
    notify_memory_clients();
    pin_route_bitmaps(true);
    list.get_item_ptr(0)->road_x = start.point.x;
    list.get_item_ptr(0)->road_y = start.point.y;
    legs_total_distance = legs_done_distance = progress_third = 0;

    // First pass: every destination matched, the distances summed.
    bool destination_restricted = false;
    XrPoint previous = start.point;
    for (int i = 1; i < list.get_num_items(); ++i) {
        XrMatch m;
        const bool ok = match_waypoint(*list.get_item_ptr(i), graph, false, use_heading, m);
        if (ok && edge_restricted(graph, m.gid))
            destination_restricted = true;
        if (ok || m.off_road) {
            list.get_item_ptr(i)->road_x = m.point.x;
            list.get_item_ptr(i)->road_y = m.point.y;
            if (i >= current_index)
                legs_total_distance += straight(previous, m.point);
            previous = m.point;
        }
    }

    notify_calculation(true);
    ui->begin_calculation();
    *cancel_requested = false;
    ui->set_interaction_enabled(true);

    XrMatch leg_from = start;
    bool start_restricted = false;
    bool found = false;
    for (int i = 1; i < list.get_num_items(); ++i) {
        XrMatch to;
        if (!match_waypoint(*list.get_item_ptr(i), graph, false, use_heading, to) && !to.off_road)
            return finish_search(run, false);
        if (i < current_index) {
            leg_from = to;
            continue;
        }
        if (i == 1) {
            start_restricted = edge_restricted(graph, leg_from.gid);
            if (!start_restricted && charge_policy != POLICY_ALLOW && destination_restricted) {
                ui->set_interaction_enabled(false);
                const bool yes = ui->XrCommonDialogs_show_query_msg(STR_DESTINATION_CHARGE, true);
                ui->set_interaction_enabled(true);
                if (!yes) {
                    run.refused_charge = true;
                    return finish_search(run, false);
                }
                charge_policy = POLICY_ALLOW;
            }
        }
        // Heading hint at the leg's start.
        int heading = -1;
        int hint_value = -1;
        const XrWaypoint& from_wp = *list.get_item_ptr(i - 1);
        if (from_wp.used == 0) {
            if (!usable_position())
                return finish_search(run, false);
            heading = route_layer->get_heading();
            hint_value = route_layer->get_gps_fix_valid() ? static_cast<int>(route_layer->get_current_speed()) : -1;
        } else if (routes.get_num_items() > 0) {
            const XrRouteInstructions* prev = routes.get_item(routes.get_num_items() - 1);
            const XrPolygon* end = prev->end_geometry.get();
            if (end != nullptr && end->get_point_count() >= 2) {
                XrPoint a, b;
                end->get_point(end->get_point_count() - 2, a);
                end->get_point(end->get_point_count() - 1, b);
                const int h = static_cast<int>(
                    std::lround(std::atan2(static_cast<double>(b.y) - a.y, static_cast<double>(b.x) - a.x) * 180.0 / M_PI));
                heading = (h + 360) % 360;
                hint_value = 5;
            }
        }
        legs_done_distance += straight(leg_from.point, to.point);

        XrRouteInstructions* route = nullptr;
        for (;;) {
            auto search = std::make_unique<XrDijkstraPath2>(graph, roads, XrPathResolver::resolve(spill_folder_path),
                                                            nullptr);
            detour_state.apply(*search);
            search->set_geom_opt(true);
            if (interactive)
                ui->attach_search_progress(search.get());

            if (roadblocks != nullptr) {
                XrSimpleArray<XrGid> blocked;
                roadblocks->collect_blocked_edges(blocked, roads, XrDynPenaltyManager::SNAP_RADIUS);
                XrSimpleArray<XrRoadblock> points;
                roadblocks->get_roadblocks(points);
                // Each roadblock that met a road gave one edge: with every one
                // snapped the two lists pair up; otherwise only the edges close.
                XrMapProvider* maps = xr_map_provider();
                const XrProjection* projection = maps != nullptr ? maps->get_projection() : nullptr;
                const bool paired = points.get_count() == blocked.get_count();
                for (int k = 0; k < blocked.get_count(); ++k) {
                    if (paired)
                        search->add_blocked_point(points.get_items()[k].get_coordinate().to_point(projection),
                                                  blocked.get_items()[k]);
                    else
                        search->add_edge_penalty(blocked.get_items()[k], -1);
                }
            }
            ui->set_interaction_enabled(false);
            if (services != nullptr && *services != nullptr &&
                (*services)->dispatch_route_request(search.get(), leg_from.point, to.point)) {
                run.taken_by_service = true;
                return finish_search(run, false);
            }
            ui->set_interaction_enabled(true);
            search->allow_road_type8 = toll_policy != POLICY_AVOID;
            search->allow_road_type7 = ferry_policy != POLICY_AVOID;
            search->allow_restricted = start_restricted || charge_policy != POLICY_AVOID;
            search->route_mode = mode;
            notify_memory_clients();
            previous_leg_start = leg_from.point;
            leg_start = to.point;
            route = nullptr;
            if (!search->find_route(leg_from.point, leg_from.gid, to.point, to.gid, &route, nullptr, heading,
                                    hint_value, false, old_route == nullptr, old_edges) ||
                route == nullptr) {
                delete route;
                return finish_search(run, false);
            }
            bool again = false;
            auto ask = [&](bool used, int& policy, EnumStrSel which) {
                if (!used || policy != POLICY_ASK)
                    return;
                ui->set_interaction_enabled(false);
                const bool yes = ui->XrCommonDialogs_show_query_msg(which, true);
                ui->set_interaction_enabled(true);
                policy = yes ? POLICY_ALLOW : POLICY_AVOID;
                again = again || !yes;
            };
            ask(route->uses_road_type(8, false), toll_policy, STR_ALLOW_TOLLROADS);
            ask(route->uses_ferry(), ferry_policy, STR_ALLOW_FERRY);
            if (!start_restricted)
                ask(route->uses_road_type(-1, true), charge_policy, STR_ALLOW_CHARGE);
            if (!again)
                break;
            delete route;
            route = nullptr;
            ui->refresh_map();
        }
        reroute_threshold = 0;
        if (old_route != nullptr && route->end_geometry == nullptr && route_layer != nullptr)
            route_layer->join_routes(graph, route, old_route, nullptr);
        routes.append(route);
        leg_from = to;
        found = true;
    }
    return finish_search(run, found);
}

bool XrRouteProviderImpl::finish_search(XrSearchRun& run, bool found)
{
    notify_calculation(false);
    ui->set_interaction_enabled(false);
    ui->release_progress();
    ui->reset_calculation_ui();
    run.own_graph.reset();
    run.graph_file.reset();
    if (*status != STATUS_START_BLOCKED)
        set_guidance_option1(true);
    if (!found) {
        route_valid = false;
        *guidance_active = true;
        *guidance_flag_b = true;
        for (int i = 0; i < run.routes->get_num_items(); ++i)
            delete run.routes->get_item(i);
        run.routes->remove_all();
        pin_route_bitmaps(false);
        if (run.taken_by_service) {
            ui->set_search_active(false);
            return false;
        }
        if (run.interactive && !*cancel_requested && !run.refused_charge)
            ui->XrCommonDialogs_show_query_msg(STR_NO_ROUTE_FOUND, false);
    }
    if (*cancel_requested) {
        ui->set_search_active(true);
        ui->refresh_map();
        ui->search_finished();
        *status = STATUS_FAILED;
        return true;
    }
    ui->refresh_map();
    return found;
}

// ---- Rerouting

void XrRouteProviderImpl::build_reroute_hint(XrRouteInstructions*& hint_route,
                                             std::unique_ptr<XrHash<int, int>>& hint_edges)
{
    hint_route = nullptr;
    XrRouteInstructions* active = route_layer->get_active_route();
    if (active == nullptr)
        return;
    const int travelled = route_layer->get_distance_travelled();
    if (reroute_threshold != 0 && travelled > reroute_threshold)
        reroute_count = 0;
    const XrArray<XrPoint>& ends = route_layer->get_route_end_points();
    const int next = route_layer->get_active_index() + 1;
    const double d = next < ends.get_num_items()
                         ? std::hypot(static_cast<double>(ends.get_item_ptr(next)->x) - route_layer->get_matched_point().x,
                                      static_cast<double>(ends.get_item_ptr(next)->y) - route_layer->get_matched_point().y)
                         : 0.0;
    if (reroute_skip >= 2) {
        reroute_skip = 0;
        reroute_count = 0;
        return;
    }
    if (reroute_count != 3 && d > 20000.0 && active->total_length - travelled > 20000) {
        XrRouteSegment near;
        if (route_layer->find_segment_near_position(10000, &near)) {
            int found = -1;
            for (int i = 0; i < active->segments.items(); ++i)
                if (active->segments.get_item_ptr(i)->gid == near.gid) {
                    found = i;
                    break;
                }
            if (found >= 0) {
                hint_route = active;
                hint_edges = std::make_unique<XrHash<int, int>>(
                    static_cast<std::size_t>(active->segments.items() * 1.25), true, 80);
                for (int i = 0; i <= found; ++i)
                    hint_edges->insert(static_cast<int>(active->segments.get_item_ptr(i)->gid), i);
            }
        }
        ++reroute_count;
        return;
    }
    reroute_skip = 0;
    reroute_count = 0;
}

void XrRouteProviderImpl::set_reroute_thresholds(XrRouteInstructions* route)
{
    if (route_layer->get_heading_difference() > 120) {
        ++reroute_skip;
        reroute_threshold = 0;
        reroute_count = 0;
        return;
    }
    const int last = route->segments.items() - 1;
    const XrRouteSegment* first = last >= 0 ? route->segments.get_item_ptr(last) : nullptr;
    if (first != nullptr && first->road_type() == 1) {
        if (route_layer->get_active_route() == nullptr)
            reroute_threshold = -2;
        else
            reroute_threshold = std::min(
                2 * route_layer->get_distance_to_directive() * route_layer->get_map_units_per_metre(), 10000);
        reroute_count = 3;
    } else {
        reroute_threshold = first != nullptr && (first->flags & 1) != 0 ? 200 : 1000;
    }
    reroute_skip = 0;
}

bool XrRouteProviderImpl::reroute(XrRouteLayer* /*layer*/)
{
    if (route_layer == nullptr)
        return false;
    XrRouteInstructions* active = route_layer->get_active_route();
    if (active != nullptr && active->route_mode == ROUTE_MODE_PEDESTRIAN)
        return false;
    if (!*guidance_active)
        return true;
    if (*calculating != 0)
        return false; // a search is running already
    XrPoint position(0, 0);
    int heading = -1;
    if (route_layer->has_last_position()) {
        position = route_layer->get_matched_point();
        heading = route_layer->get_heading();
    }
    const bool off = route_layer->get_guidance_state() == XrRouteLayer::STATE_OFF_ROUTE &&
                     route_layer->get_distance_travelled() < 16;
    if (!off && !route_layer->should_reroute(position, heading, last_point, last_gid, nullptr))
        return false;
    XrRouteInstructions* hint_route = nullptr;
    std::unique_ptr<XrHash<int, int>> hint_edges;
    if (get_routing_mode() != ROUTE_MODE_PEDESTRIAN)
        build_reroute_hint(hint_route, hint_edges);
    ui->rerouting_started();
    drop_passed_waypoints_from_position();
    if (waypoints.get_num_items() < 2)
        return false;
    XrArray<XrWaypoint> two(2, 2);
    two.append(*waypoints.get_item_ptr(0));
    two.append(*waypoints.get_item_ptr(1));
    const int saved_index = current_index;
    current_index = 1;
    const bool whole = hint_route == nullptr && waypoints.get_num_items() <= 2;
    if (whole)
        route_layer->set_routes(nullptr, 0);
    XrPtrArray<XrRouteInstructions*> fresh(8);
    const bool ok = search_route(two, fresh, false, nullptr, hint_route, hint_edges.get(), true);
    if (!ok || fresh.get_num_items() == 0 || route_layer == nullptr) {
        if (route_layer != nullptr)
            route_layer->set_routes(nullptr, 0);
    } else {
        XrRouteInstructions* first = fresh.get_item(0);
        if (whole) {
            route_layer->set_routes(&fresh, 0);
        } else {
            route_layer->replace_active_route(first);
            for (int i = 1; i < fresh.get_num_items(); ++i)
                delete fresh.get_item(i);
        }
        fresh.remove_all();
        if (hint_route == nullptr)
            reroute_skip = -1;
        if (route_layer->get_active_route() != nullptr)
            set_reroute_thresholds(route_layer->get_active_route());
        if (services != nullptr && *services != nullptr)
            (*services)->route_changed();
        notify_route_changed();
    }
    for (int i = 0; i < fresh.get_num_items(); ++i)
        delete fresh.get_item(i);
    current_index = saved_index;
    return false;
}
