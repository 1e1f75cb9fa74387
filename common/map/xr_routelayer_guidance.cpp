// XrRouteLayer: guidance on position updates: route matching, off-route
// counting, the rerouting requests and the announcement distances.
#include "common/map/xr_routelayer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "common/addr/xr_signpostacc.h"
#include "common/addr/xr_streetfinder.h"
#include "common/audio/xr_audioplayer.h"
#include "common/geometry/xr_geometry.h"
#include "common/graph/xr_routemode.h"
#include "common/map/xr_mapservices.h"
#include "common/map/xr_poilayer.h"

namespace {

int normal_degrees(int d)
{
    d %= 360;
    return d < 0 ? d + 360 : d;
}

int to_degrees(double radians) { return static_cast<int>(radians * 180 / 3.14159265); }

bool is_kind(std::uint32_t code, std::initializer_list<int> kinds)
{
    for (int k : kinds)
        if (code == static_cast<std::uint32_t>(k))
            return true;
    return false;
}

} // namespace

// ---- Route matching

bool XrRouteLayer::match_route(const XrPoint& position, int heading_in, double speed, int extra_distance)
{
    if (active_route == nullptr)
        return false;
    int search = margin;
    if (speed >= 20.0)
        search *= 2;
    if (active_route->route_mode == ROUTE_MODE_PEDESTRIAN)
        search = 2;
    search += extra_distance;
    XrRouteMatch match;
    if (!XrGuidanceModel::match_position(*active_route, edge_link, position, heading_in, search * units_per_metre,
                                         units_per_metre, guidance.get_state() == STATE_OFF_ROUTE, match))
        return false;
    road_heading = match.direction;
    heading_difference = match.heading_difference;
    distance_travelled = match.travelled;
    current_segment = match.segment;
    matched_point = match.point;
    matched_valid = true;
    matched_directive_index = find_directive_index(active_route->directives, match.segment, true);
    // Remaining time: the rest of this route and the following ones.
    const XrRouteSegment* s = active_route->segments.get_item_ptr(match.segment);
    int seconds = get_route_time(active_route, s->length - match.into, s->speed_class(), match.segment);
    for (int r = active_index + 1; r < routes.get_num_items(); ++r)
        seconds += routes.get_item(r)->travel_time;
    delays_summed = true;
    // Whole minutes rounded up: the panel's "<2 min" then means less
    // than two minutes, and it never shows less than the estimate.
    remaining_minutes = (std::max(0, seconds) + 59) / 60;
    return true;
}

// ---- The route's edge polylines for the matcher

XrPolygon* XrRouteLayer::XrEdgeLink::get_line(XrGid gid, bool create, bool pinned)
{
    return layer->get_edge_polygon(gid, create, pinned);
}

const XrRectangle* XrRouteLayer::XrEdgeLink::get_match_box(const XrPolygon* line, bool pinned) const
{
    for (int e = pinned ? 0 : 1; e < EDGE_CACHE_SIZE; ++e)
        if (layer->edge_cache[e].polygon == line)
            return &layer->edge_cache[e].box;
    return nullptr;
}

// ---- Rerouting requests

void XrRouteLayer::request_reroute(const XrPoint& position, bool hold)
{
    // Back-off: one request (or departure test) per so many fixes.
    if (!guidance.reroute_test_due(hold))
        return;
    XrPoint p = position;
    if (!is_off_route_road(p, heading, nullptr, nullptr, nullptr))
        return;
    if (route_observer == nullptr) {
        guidance.set_state(STATE_REROUTING);
        return;
    }
    // An observer that already handed a new route over (the layer then
    // guides on it) leaves the state alone.
    const XrRouteInstructions* before = active_route;
    if (route_observer->reroute(this) && active_route == before)
        guidance.set_state(STATE_REROUTING);
}

void XrRouteLayer::count_off_route(const XrPoint& position, bool hold)
{
    if (guidance.count_off_route(hold))
        request_reroute(position, hold);
}

// ---- Position updates

void XrRouteLayer::update_position(const XrPoint& position, int heading_in, double speed, bool hold, XrGid* street,
                                   XrPoint* road_data, int extra_distance)
{
    XrFix fix{position, heading_in, speed, hold, extra_distance, now()};
    begin_fix(fix);
    speak_proximity_warning(fix);
    XrStreetSnap snap{street, road_data, false, XrPoint()};
    if (street != nullptr || road_data != nullptr)
        snap_to_street(fix, snap);
    if (active_route == nullptr || guidance.get_state() == STATE_ARRIVED) {
        finish_fix(fix);
        return;
    }
    const MatchOutcome outcome = match_fix(fix, snap);
    if (outcome == MatchOutcome::Left) {
        check_uturn();
        finish_fix(fix);
        return;
    }
    if (outcome == MatchOutcome::OnRoute) {
        margin = margin_reset;
        check_start(fix);
        advance_directive();
        const XrRouteSegment* seg = active_route->segments.get_item_ptr(current_segment);
        if (update_street_names(seg))
            find_signposts_ahead(seg);
        update_follow_up(seg);
        if (started && distance_travelled >= route_length - 20) {
            finish_route_leg(fix);
            return;
        }
        count_progress(fix);
    }
    if (guidance.get_state() == STATE_ON_ROUTE) {
        if (outcome == MatchOutcome::OnRoute)
            update_announcement_distances(fix);
        move_announcement_behind_side_road();
    }
    announce_due();
    check_uturn();
    finish_fix(fix);
}

void XrRouteLayer::begin_fix(XrFix& fix)
{
    guidance.new_fix();
    // Without a heading of its own the fix takes the direction of movement.
    if (fix.heading == -1 && has_last && !(fix.position == last_position))
        fix.heading = normal_degrees(to_degrees(get_angle(last_position, fix.position)));
    if (fix.speed >= 0)
        current_speed = fix.speed;
    if (has_last)
        odometer += last_position.distance(fix.position);
}

void XrRouteLayer::finish_fix(const XrFix& fix)
{
    heading = fix.heading;
    last_heading = fix.heading;
    last_position = fix.position;
    has_last = true;
    last_update = fix.time;
}

void XrRouteLayer::speak_proximity_warning(const XrFix& fix)
{
    if (warning_source == nullptr || options[OPTION_PROXIMITY_ALERTS] == 0)
        return;
    const int mode = host->get_routing_mode();
    XrString sound;
    // The open-road restriction holds for every mode but walking and cycling.
    const bool open_road_only = options[OPTION_OPEN_ROAD_ONLY] != 0 && mode != ROUTE_MODE_PEDESTRIAN &&
                                mode != ROUTE_MODE_BICYCLE;
    if (warning_source->get_proximity_alert(&fix.position, fix.speed, fix.heading, last_warning_text, sound,
                                            open_road_only)) {
        if (!sound.is_empty() && audio != nullptr && !audio->is_playing())
            play_prompts(sound.c_str(), nullptr, nullptr);
        warning_pause_end = fix.time + 5000;
        // The alert box shows the warned point for as long as the pause.
        alert_text = last_warning_text;
        alert_end = warning_pause_end;
    }
}

void XrRouteLayer::snap_to_street(const XrFix& fix, XrStreetSnap& snap)
{
    if (snap.snapped || road_storage == nullptr)
        return;
    snap.snapped = true;
    XrStreetFinder finder(road_storage);
    size_t found = 0;
    if (finder.find_street(fix.position, MATCH_RADIUS * units_per_metre, 1, found, nullptr, nullptr, fix.heading,
                           nullptr, fix.speed) != XrStreetFinder::OK ||
        found == 0)
        return;
    XrGid gid = 0;
    bool first_half = false;
    int segment = 0;
    double distance = 0;
    if (finder.get_result(0, gid, first_half, segment, snap.point, distance)) {
        if (snap.street != nullptr)
            *snap.street = gid;
        if (snap.road_data != nullptr)
            *snap.road_data = snap.point;
    } else
        snap.snapped = false;
}

XrRouteLayer::MatchOutcome XrRouteLayer::match_fix(const XrFix& fix, XrStreetSnap& snap)
{
    bool matched = match_route(fix.position, fix.heading, fix.speed, fix.extra_distance);
    if (!matched) {
        snap_to_street(fix, snap);
        if (snap.snapped && !(snap.point == fix.position))
            matched = match_route(snap.point, fix.heading, fix.speed, fix.extra_distance);
    }
    if (matched)
        return MatchOutcome::OnRoute;
    heading = fix.heading;
    matched_point = fix.position;
    if (started) {
        count_off_route(fix.position, fix.hold);
        return MatchOutcome::Left;
    }
    // Before the start: near the start point guidance goes on from there;
    // within the largest distance seen so far only the distances update.
    const int d = static_cast<int>(fix.position.distance(route_start) / units_per_metre);
    if (d < 20 && current_segment != -1) {
        matched_point = route_start;
        return MatchOutcome::OnRoute;
    }
    if (fix.hold || d <= largest_start_distance)
        return MatchOutcome::NearStart;
    largest_start_distance = d;
    guidance.set_state(STATE_OFF_ROUTE);
    request_reroute(fix.position, fix.hold);
    return MatchOutcome::Left;
}

void XrRouteLayer::check_start(XrFix& fix)
{
    if (started)
        return;
    if (fix.heading < 0 || heading_difference <= 140) {
        const bool close = fix.position.distance(matched_point) <= 10.0 * units_per_metre;
        if (distance_travelled > 15 && close && heading_difference <= 19) {
            started = true;
            route_locked = true;
            announced_far = announced_near = second_far_pending = exit_taken = false;
        }
        return;
    }
    // Against the route at the start.
    fix.heading = normal_degrees(fix.heading + 180);
    if (guidance.reverse_at_start(distance_travelled)) {
        announced_near = false;
        exit_taken = false;
    }
}

void XrRouteLayer::advance_directive()
{
    int idx = matched_directive_index >= 0 ? matched_directive_index : current_directive_index;
    if (idx != current_directive_index && idx >= 0) {
        const XrRouteInstructions::XrRouteDirective* d = active_route->directives.get_item_ptr(idx);
        if (d != nullptr &&
            !(idx == left_directive_index && distance_travelled > static_cast<int>(d->words[4]) - 25)) {
            left_directive_index = current_directive_index;
            current_directive_index = idx;
            current_directive = d;
            follow_limit1 = follow_limit2 = -1;
            largest_announce = 1000;
            chain_before = chain;
            get_arrow(idx);
            announced_far = announced_near = second_far_pending = exit_taken = false;
        }
    }
    if (current_directive != nullptr && current_directive->code() == XrRouteInstructions::CODE_ROUNDABOUT &&
        current_directive->words[2] != 0)
        classify_exit(*active_route->directives.get_item_ptr(current_directive_index), active_route->segments);
    next_directive = nullptr;
    if (current_directive_index > 0) {
        int n = current_directive_index - 1;
        const XrRouteInstructions::XrRouteDirective* nd = active_route->directives.get_item_ptr(n);
        if (nd != nullptr && nd->code() == XrRouteInstructions::CODE_ROUNDABOUT_EXIT && n > 0)
            nd = active_route->directives.get_item_ptr(n - 1);
        next_directive = nd;
    }
}

bool XrRouteLayer::update_street_names(const XrRouteSegment* seg)
{
    if (seg == nullptr || seg->gid == street_id)
        return false;
    street_id = seg->gid;
    if (!get_edge_street_name(street_id, &street_name, nullptr))
        street_name.clear();
    next_street_name.clear();
    next_street_id = 0;
    if (current_directive == nullptr)
        return true;
    for (int i = static_cast<int>(current_directive->words[6]) - 1; i >= 0; --i) {
        const XrRouteSegment* ns = active_route->segments.get_item_ptr(i);
        if (ns == nullptr)
            break;
        if (get_edge_street_name(ns->gid, &next_street_name, nullptr) && !next_street_name.is_empty()) {
            next_street_id = ns->gid;
            break;
        }
        if (ns->road_type() < 2 || ns->road_type() > 4)
            break;
    }
    return true;
}

void XrRouteLayer::find_signposts_ahead(const XrRouteSegment* seg)
{
    // From the road driven up to the instruction.
    if (signposts == nullptr || current_directive == nullptr)
        return;
    const int limit = 1000 + seg->length;
    int summed = 0;
    for (int i = current_segment; i >= static_cast<int>(current_directive->words[6]) && summed <= limit; --i) {
        if (find_signpost(i))
            break;
        if (const XrRouteSegment* a = active_route->segments.get_item_ptr(i))
            summed += a->length;
    }
}

void XrRouteLayer::update_follow_up(const XrRouteSegment* seg)
{
    // A close follow-up instruction and the signpost distance.
    if (next_directive == nullptr || current_directive == nullptr) {
        close_follow_up = false;
        follow_up_announced = false;
        return;
    }
    const bool road_type_one = seg != nullptr && seg->road_type() == 1;
    const std::uint32_t code = current_directive->code();
    const int gap = static_cast<int>(next_directive->words[4]) - static_cast<int>(current_directive->words[4]);
    const int ahead = directive_distance;
    int l1, l2;
    const double v = guidance_speed;
    if (v > 25) {
        l1 = 500;
        l2 = 2000;
        signpost_distance = std::max(signpost_distance, 2000);
    } else if (v > 75 / 3.6 || road_type_one) {
        l1 = 500;
        l2 = 2000;
        signpost_distance = std::max(signpost_distance, 1000);
    } else {
        l1 = code == 1 ? 200 : 100;
        l2 = 300;
        signpost_distance = std::max(signpost_distance, 500);
    }
    if (follow_limit1 > l1) {
        l1 = follow_limit1;
        l2 = follow_limit2;
    }
    close_follow_up = gap < l1 && ahead < l2;
    if (close_follow_up && (v > 75 / 3.6 || road_type_one) && is_kind(next_directive->code(), {8, 9, 15, 16, 17, 18})) {
        follow_up_announced = true;
        chain = true;
    } else {
        chain = false;
        follow_limit1 = 100;
        follow_limit2 = 300;
        if (code != 1)
            l2 = 300;
        follow_up_announced = gap < (code == 1 ? 200 : 100) && ahead < l2;
        close_follow_up = gap < 500 && ahead < l2;
    }
}

void XrRouteLayer::finish_route_leg(const XrFix& fix)
{
    announced_far = announced_near = true;
    guidance.set_state(STATE_ARRIVED);
    finish_fix(fix);
    if (active_index >= routes.get_num_items() - 1) {
        if (options[OPTION_SPEAK_WAYPOINTS] != 0)
            if (const wchar_t* name = choose_prompt(speaker.get_arrival_prompts(), nullptr))
                play_prompts(name, nullptr, nullptr);
        if (route_observer != nullptr)
            route_observer->waypoint_reached(-1, fix.hold);
        return;
    }
    if (options[OPTION_SPEAK_WAYPOINTS] != 0)
        play_prompts(L"waypt.wav", nullptr, nullptr);
    const int reached = active_index;
    if (route_observer != nullptr)
        route_observer->waypoint_reached(reached, fix.hold);
    select_route(reached + 1);
}

void XrRouteLayer::count_progress(const XrFix& fix)
{
    // No progress along the route counts as off the route; a standing
    // vehicle neither counts nor resets.
    if (guidance.matched_fix(distance_travelled, started, fix.speed, fix.hold))
        count_off_route(fix.position, fix.hold);
}

void XrRouteLayer::update_announcement_distances(const XrFix& fix)
{
    guidance.mark_progress(distance_travelled);
    guidance_speed = fix.speed < 0 ? 0 : fix.speed;
    if (current_directive != nullptr) {
        int lag = 0;
        if (gps_fix_valid && has_last)
            lag = static_cast<int>(static_cast<double>(fix.time - last_update) / 1000.0 * guidance_speed);
        directive_distance = std::max(0, static_cast<int>(current_directive->words[4]) - distance_travelled - lag);
    }
    const double v = guidance_speed;
    const XrRouteInstructions::XrRouteDirective* d = current_directive;
    const std::uint32_t code = d != nullptr ? d->code() : 0;
    const XrRouteSegment* dseg =
        d != nullptr ? active_route->segments.get_item_ptr(static_cast<int>(d->words[6])) : nullptr;
    const XrRouteSegment* cseg = active_route->segments.get_item_ptr(current_segment);
    const bool motorway = is_kind(code, {8, 9}) || is_road_type_one(d);
    if (!second_far_pending) {
        int a = v < 6 ? 200 : v < 10 ? 250 : v < 16 ? 300 : v < 20 ? 350 : v < 30 ? 400 : 500;
        if (motorway)
            a += 1800;
        else if (!exit_taken && dseg != nullptr && dseg->speed_class() <= 3 &&
                 (dseg->flags & XrRouteSegment::FLAG_NOT_END) != 0 && cseg != nullptr &&
                 (cseg->flags & XrRouteSegment::FLAG_NOT_END) != 0 && is_kind(code, {2, 3, 4, 5}) &&
                 directive_distance > 600) {
            a = 700;
            exit_announcement = true;
        }
        if (a > 2000)
            a = 2000;
        largest_announce = std::max(largest_announce, a);
        if (is_kind(code, {10, 11}) && v > 20)
            a = std::min(a + 300, 540);
        announce_distance = a;
    }
    int n = v <= 0 ? 40 : v < 6 ? 45 : v < 10 ? 65 : v < 16 ? 75 : v < 20 ? 90 : v < 30 ? 150 : 200;
    if (motorway)
        n += 50;
    if ((is_kind(code, {10, 11}) && v > 20) || code == XrRouteInstructions::CODE_ROUNDABOUT)
        n += 100;
    if (d != nullptr && d->words[7] != 0) {
        const int l = static_cast<int>(d->words[7]);
        if (code == XrRouteInstructions::CODE_ROUNDABOUT_EXIT)
            n = std::min(n, l + 10);
        else if (n > l)
            n = l + 10;
    }
    near_distance = n;
}

void XrRouteLayer::move_announcement_behind_side_road()
{
    // An announcement just before a side road moves behind it.
    if (current_directive == nullptr || announce_distance <= 100)
        return;
    const std::uint32_t code = current_directive->code();
    int r = static_cast<int>(current_directive->words[8]);
    if (r == 0 || code == 1)
        r = static_cast<int>(current_directive->words[7]);
    const int gap = announce_distance - r;
    int limit;
    if (code == 1)
        limit = announce_distance < 200 ? 80 : announce_distance < 300 ? 120 : 160;
    else
        limit = announce_distance < 200 ? 50 : announce_distance < 300 ? 80 : 120;
    if (r > 0 && gap > 0 && gap < limit)
        announce_distance = r;
}

void XrRouteLayer::announce_due()
{
    if (!started || guidance.get_state() != STATE_ON_ROUTE || current_directive == nullptr)
        return;
    if (options[OPTION_SPEAK_WAYPOINTS] != 0)
        check_lead_in();
    const std::uint32_t code = current_directive->code();
    const XrRouteSegment* cseg = active_route->segments.get_item_ptr(current_segment);
    const bool motorway = is_kind(code, {8, 9}) || (cseg != nullptr && cseg->road_type() == 1);
    if (directive_distance < near_distance) {
        if (!announced_near) {
            follow_up_spoken = false;
            announce_near(current_directive);
            announced_near = announced_far = true;
        }
        return;
    }
    if (directive_distance >= announce_distance || announced_far)
        return;
    if (second_far_pending) {
        if (directive_distance > 250)
            announce_far(current_directive, directive_distance);
        announced_far = true;
        return;
    }
    if (chain_before && !chain) {
        announced_far = true;
        return;
    }
    announce_far(current_directive, directive_distance);
    if (motorway) {
        second_far_pending = true;
        announce_distance = directive_distance <= 1500 ? 650 : 1050;
    } else if (exit_announcement && !exit_taken && is_kind(code, {2, 3, 4, 5})) {
        guidance_speed = 12;
        exit_taken = true;
        second_far_pending = cseg != nullptr && cseg->road_type() == 1;
    } else {
        announce_distance = 60;
        second_far_pending = true;
    }
    if (!(directive_distance >= announce_distance && guidance_speed > 12 && !is_kind(code, {8, 9}) &&
          !is_road_type_one(current_directive)))
        announced_far = true;
}

int XrRouteLayer::get_distance_to_next_instruction()
{
    if (active_route == nullptr)
        return -1;
    if (guidance.get_state() == STATE_OFF_ROUTE && matched_valid) {
        XrGraphAccessor2::XrEdgeData edge;
        XrPoint p = last_position;
        if (is_off_route_road(p, heading, nullptr, nullptr, &edge) && edge.handle != -1)
            return std::max(0, static_cast<int>(edge.length - XrPoint(edge.x, edge.y).distance(p)));
    }
    if (current_directive == nullptr)
        return -1;
    const int d = static_cast<int>(current_directive->words[4]) - distance_travelled;
    return d < -1 ? -1 : d;
}

bool XrRouteLayer::find_signpost(int segment)
{
    if (signposts == nullptr || active_route == nullptr || current_directive == nullptr)
        return false;
    const XrRouteSegment* s = active_route->segments.get_item_ptr(segment);
    if (s == nullptr)
        return false;
    // The path must cover both edges around the instruction point.
    const int from_edge = static_cast<int>(current_directive->words[6]);
    const int to_edge = from_edge - 1;
    XrArray<XrGid> path;
    for (int n = signposts->get_first_path(s->gid, path); n > 0; n = signposts->get_next_path(path)) {
        bool same = n <= segment + 1;
        for (int k = 0; k < n && same; ++k) {
            const XrRouteSegment* r = active_route->segments.get_item_ptr(segment - k);
            XrGid g = 0;
            same = r != nullptr && path.get_item(k, g) && g == r->gid;
        }
        if (!same || segment < from_edge || segment - n + 1 > to_edge)
            continue;
        XrPtrArray<XrSignpostAccessor::XrInstruction*> list;
        const bool read =
            signposts->get_instructions(list, static_cast<XrLC>(get_map_engine_services().get_text_language()));
        if (read) {
            clear_signpost_items();
            for (int i = 0; i < list.get_num_items(); ++i) {
                const XrSignpostAccessor::XrInstruction* in = list.get_item(i);
                XrSignpostItemRec item;
                item.kind = in->kind;
                item.text = in->text;
                signpost_items.append(item);
            }
            signpost_gfx.remove_all();
            signpost_segment = current_segment;
            signpost_start = segment;
            signpost_distance = -1;
        }
        for (int i = 0; i < list.get_num_items(); ++i)
            delete list.get_item(i);
        if (read)
            return true;
    }
    return false;
}
