// XrRouteLayer: guidance on position updates, travel times and traffic
// delays, and route joining.
#include "common/map/xr_routelayer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "common/addr/xr_signpostacc.h"
#include "common/addr/xr_streetfinder.h"
#include "common/audio/xr_audioplayer.h"
#include "common/geometry/xr_geometry.h"
#include "common/graph/xr_dijkstrapath.h"
#include "common/map/xr_mapservices.h"
#include "common/map/xr_poilayer.h"

namespace {

// Cruising speed by road class, metres per second.
constexpr int kClassSpeed[8] = {30, 23, 22, 19, 16, 13, 13, 11};

int class_speed(int road_class) { return road_class >= 0 && road_class < 8 ? kClassSpeed[road_class] : 3; }

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
    if (active_route->route_mode == 2)
        search = 2;
    search += extra_distance;
    const int search_units = search * units_per_metre;
    const int count = active_route->segments.items();

    struct Best {
        int index = -1;
        double cost = 0;
        double distance = 0;
        double along = 0;
        int direction = 0;
        int before = 0;
    };
    for (int pass = 0; pass < 2; ++pass) {
        const int h = pass == 0 ? heading_in : -1;
        if (pass == 1 && heading_in < 0)
            break;
        Best best;
        int before = 0;
        for (int i = count - 1; i >= 0; before += active_route->segments.get_item_ptr(i)->length, --i) {
            const XrRouteSegment* s = active_route->segments.get_item_ptr(i);
            const bool pinned = (s->flags & XrRouteSegment::FLAG_FIRST) != 0;
            XrPolygon* line = get_edge_polygon(s->gid, false, pinned);
            if (line == nullptr) {
                // Read the edge only when the position lies near its
                // neighbours' reference points.
                XrRectangle box(s->x, s->y, s->x, s->y);
                for (int j = i - 1; j <= i + 1; j += 2)
                    if (const XrRouteSegment* n = active_route->segments.get_item_ptr(j)) {
                        box.left = std::min(box.left, n->x);
                        box.top = std::min(box.top, n->y);
                        box.right = std::max(box.right, n->x);
                        box.bottom = std::max(box.bottom, n->y);
                    }
                const int grow = 2 * search_units;
                if (position.x < box.left - grow || position.x > box.right + grow || position.y < box.top - grow ||
                    position.y > box.bottom + grow)
                    continue;
                line = get_edge_polygon(s->gid, true, pinned);
                if (line == nullptr)
                    continue;
            }
            // The grown box of the cached polyline.
            const XrEdgeEntry* entry = nullptr;
            for (int e = pinned ? 0 : 1; e < EDGE_CACHE_SIZE && entry == nullptr; ++e)
                if (edge_cache[e].polygon == line)
                    entry = &edge_cache[e];
            if (entry != nullptr && (position.x < entry->box.left || position.x > entry->box.right ||
                                     position.y < entry->box.top || position.y > entry->box.bottom))
                continue;
            XrPoint nearest;
            double distance = 0, offset = 0;
            int direction = 0;
            if (!line->get_nearest_point(position, nearest, &distance, &offset, nullptr, &direction))
                continue;
            const bool along = (s->flags & XrRouteSegment::FLAG_ALONG) != 0;
            if (!along)
                direction = normal_degrees(direction + 180);
            double cost = distance;
            if (h >= 0) {
                int diff = get_angle_between(normal_degrees(direction), h);
                if (guidance_state == STATE_OFF_ROUTE && diff > 90)
                    diff = 180 - diff;
                cost += diff / 3.0;
            }
            const double limit = search_units * (s->speed_class() <= 1 ? 1.2 : 1.0);
            if (distance >= limit)
                continue;
            if (best.index < 0 || cost < best.cost) {
                best.index = i;
                best.cost = cost;
                best.distance = distance;
                best.direction = normal_degrees(direction);
                best.before = before;
                const double length = line->get_length();
                best.along = along ? offset : length - offset;
                if (best.along < 0)
                    best.along = 0;
            }
        }
        if (best.index < 0)
            continue;

        const XrRouteSegment* s = active_route->segments.get_item_ptr(best.index);
        road_heading = best.direction;
        heading_difference = heading_in >= 0 ? get_angle_between(best.direction, heading_in) : -1;
        int into = static_cast<int>(best.along / units_per_metre);
        if (into > s->length)
            into = s->length;
        distance_travelled = best.before + into;
        current_segment = best.index;
        const XrPolygon* line = get_edge_polygon(s->gid, false, (s->flags & XrRouteSegment::FLAG_FIRST) != 0);
        if (line != nullptr) {
            XrPoint nearest;
            line->get_nearest_point(position, nearest);
            matched_point = nearest;
        } else
            matched_point = position;
        matched_valid = true;
        matched_directive_index = find_directive_index(active_route->directives, best.index, true);
        // Remaining time: the rest of this route and the following ones.
        int seconds = get_route_time(active_route, s->length - into, s->speed_class(), best.index);
        for (int r = active_index + 1; r < routes.get_num_items(); ++r)
            seconds += routes.get_item(r)->travel_time;
        delays_summed = true;
        // Whole minutes rounded up: the panel's "<2 min" then means less
        // than two minutes, and it never shows less than the estimate.
        remaining_minutes = (std::max(0, seconds) + 59) / 60;
        return true;
    }
    return false;
}

// ---- Rerouting requests

void XrRouteLayer::request_reroute(const XrPoint& position, bool hold)
{
    if (hold)
        return;
    // Back-off: one request (or departure test) per so many fixes.
    if (reroute_asked_at >= 0 && fix_count - reroute_asked_at < REROUTE_BACKOFF_FIXES)
        return;
    reroute_asked_at = fix_count;
    XrPoint p = position;
    if (!is_off_route_road(p, heading, nullptr, nullptr, nullptr))
        return;
    if (route_observer == nullptr) {
        guidance_state = STATE_REROUTING;
        return;
    }
    // An observer that already handed a new route over (the layer then
    // guides on it) leaves the state alone.
    const XrRouteInstructions* before = active_route;
    if (route_observer->reroute(this) && active_route == before)
        guidance_state = STATE_REROUTING;
}

void XrRouteLayer::count_off_route(const XrPoint& position, bool hold)
{
    if (hold) {
        off_route_count = 0;
        guidance_state = STATE_ON_ROUTE;
        return;
    }
    ++off_route_count;
    if (off_route_count < OFF_ROUTE_FIXES) {
        if (guidance_state != STATE_REROUTING)
            guidance_state = STATE_ON_ROUTE;
        return;
    }
    if (guidance_state != STATE_REROUTING)
        guidance_state = STATE_OFF_ROUTE;
    // Against the route at the start the vehicle is expected to turn: the
    // count alone asks for no new route then.
    if (!reversed_start)
        request_reroute(position, hold);
}

// ---- Position updates

void XrRouteLayer::update_position(const XrPoint& position, int heading_in, double speed, bool hold, XrGid* street,
                                   XrPoint* road_data, int extra_distance)
{
    ++fix_count;
    const std::uint32_t t = now();
    int h = heading_in;
    // 1. Heading from the movement.
    if (h == -1 && has_last && !(position == last_position))
        h = normal_degrees(to_degrees(get_angle(last_position, position)));
    if (speed >= 0)
        current_speed = speed;
    // 2. Spoken warnings.
    if (warning_source != nullptr && options[2] != 0) {
        const int mode = host->get_routing_mode();
        XrString sound;
        const bool open_road_only = options[3] != 0 && mode - 2 > 1;
        if (warning_source->get_proximity_alert(&position, speed, h, last_warning_text, sound, open_road_only)) {
            if (!sound.is_empty() && audio != nullptr && !audio->is_playing())
                play_prompts(sound.c_str(), nullptr, nullptr);
            warning_pause_end = t + 5000;
        }
    }
    // 3. Odometer.
    if (has_last)
        odometer += last_position.distance(position);
    // 4. Street match for the caller (and as a fallback below).
    bool snapped = false;
    XrPoint snap_point;
    auto snap = [&]() {
        if (snapped || road_storage == nullptr)
            return;
        snapped = true;
        XrStreetFinder finder(road_storage);
        size_t found = 0;
        if (finder.find_street(position, MATCH_RADIUS * units_per_metre, 1, found, nullptr, nullptr, h, nullptr,
                               speed) != XrStreetFinder::OK ||
            found == 0)
            return;
        XrGid gid = 0;
        bool first_half = false;
        int segment = 0;
        double distance = 0;
        if (finder.get_result(0, gid, first_half, segment, snap_point, distance)) {
            if (street != nullptr)
                *street = gid;
            if (road_data != nullptr)
                *road_data = snap_point;
        } else
            snapped = false;
    };
    if (street != nullptr || road_data != nullptr)
        snap();

    auto finish = [&]() {
        heading = h;
        last_heading = h;
        last_position = position;
        has_last = true;
        last_update = t;
    };
    // 5. Nothing to guide.
    if (active_route == nullptr || guidance_state == STATE_ARRIVED) {
        finish();
        return;
    }

    // 6. Route match.
    bool matched = match_route(position, h, speed, extra_distance);
    if (!matched) {
        snap();
        if (snapped && !(snap_point == position))
            matched = match_route(snap_point, h, speed, extra_distance);
    }
    bool skip_to_distances = false;
    if (!matched) {
        heading = h;
        matched_point = position;
        if (started) {
            count_off_route(position, hold);
            check_uturn();
            finish();
            return;
        }
        const int d = static_cast<int>(position.distance(route_start) / units_per_metre);
        if (d < 20 && current_segment != -1) {
            matched_point = route_start;
        } else if (hold || d <= largest_start_distance) {
            skip_to_distances = true;
        } else {
            largest_start_distance = d;
            guidance_state = STATE_OFF_ROUTE;
            request_reroute(position, hold);
            check_uturn();
            finish();
            return;
        }
    }

    if (!skip_to_distances) {
        // 7. Starting.
        margin = margin_reset;
        if (!started) {
            if (h < 0 || heading_difference <= 140) {
                const bool close = position.distance(matched_point) <= 10.0 * units_per_metre;
                if (distance_travelled > 15 && close && heading_difference <= 19) {
                    started = true;
                    route_locked = true;
                    announced_far = announced_near = second_far_pending = exit_taken = false;
                }
            } else {
                off_route_mark = distance_travelled + 5;
                h = normal_degrees(h + 180);
                off_route_count = 15;
                if (guidance_state != STATE_OFF_ROUTE) {
                    announced_near = false;
                    exit_taken = false;
                }
                guidance_state = STATE_OFF_ROUTE;
                reversed_start = true;
            }
        }

        // 9. Directive change.
        int idx = matched_directive_index >= 0 ? matched_directive_index : current_directive_index;
        if (idx != current_directive_index && idx >= 0) {
            const XrRouteInstructions::XrRouteDirective* d = active_route->directives.get_item_ptr(idx);
            if (d != nullptr && !(idx == left_directive_index &&
                                  distance_travelled > static_cast<int>(d->words[4]) - 25)) {
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
        // Street names.
        const XrRouteSegment* seg = active_route->segments.get_item_ptr(current_segment);
        const bool street_id_changed = seg != nullptr && seg->gid != street_id;
        if (street_id_changed) {
            street_id = seg->gid;
            if (!get_edge_street_name(street_id, &street_name, nullptr))
                street_name.clear();
            next_street_name.clear();
            next_street_id = 0;
            if (current_directive != nullptr) {
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
            }
        }

        // Signposts ahead: from the road driven up to the instruction.
        if (seg != nullptr && street_id_changed && signposts != nullptr && current_directive != nullptr) {
            const int limit = 1000 + seg->length;
            int summed = 0;
            for (int i = current_segment; i >= static_cast<int>(current_directive->words[6]) && summed <= limit;
                 --i) {
                if (find_signpost(i))
                    break;
                if (const XrRouteSegment* a = active_route->segments.get_item_ptr(i))
                    summed += a->length;
            }
        }

        // 10. Close follow-up and the signpost distance.
        const bool road_type_one = seg != nullptr && seg->road_type() == 1;
        const std::uint32_t code = current_directive != nullptr ? current_directive->code() : 0;
        if (next_directive != nullptr && current_directive != nullptr) {
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
            if (close_follow_up && (v > 75 / 3.6 || road_type_one) &&
                is_kind(next_directive->code(), {8, 9, 15, 16, 17, 18})) {
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
        } else {
            close_follow_up = false;
            follow_up_announced = false;
        }

        // 11. Waypoints and the destination.
        if (started && distance_travelled >= route_length - 20) {
            announced_far = announced_near = true;
            guidance_state = STATE_ARRIVED;
            finish();
            if (active_index >= routes.get_num_items() - 1) {
                if (options[0] != 0)
                    if (const wchar_t* name = choose_prompt(arrival_prompts, nullptr))
                        play_prompts(name, nullptr, nullptr);
                if (route_observer != nullptr)
                    route_observer->waypoint_reached(-1, hold);
            } else {
                if (options[0] != 0)
                    play_prompts(L"waypt.wav", nullptr, nullptr);
                const int reached = active_index;
                if (route_observer != nullptr)
                    route_observer->waypoint_reached(reached, hold);
                select_route(reached + 1);
            }
            return;
        }

        // 12. Off-route counting: no progress along the route. A standing
        // vehicle neither counts nor resets.
        if (hold || distance_travelled > off_route_mark) {
            off_route_count = 0;
            guidance_state = STATE_ON_ROUTE;
            reroute_asked_at = -1;
            if (off_route_mark >= 0)
                reversed_start = false;
        } else if (started && !(speed >= 0 && speed < 1.0)) {
            count_off_route(position, hold);
        }
    }

    // 13. Progress and announcement distances.
    if (guidance_state == STATE_ON_ROUTE) {
        if (!skip_to_distances) {
            off_route_mark = distance_travelled;
            guidance_speed = speed < 0 ? 0 : speed;
            if (current_directive != nullptr) {
                int lag = 0;
                if (gps_fix_valid && has_last)
                    lag = static_cast<int>(static_cast<double>(t - last_update) / 1000.0 * guidance_speed);
                directive_distance = std::max(0, static_cast<int>(current_directive->words[4]) - distance_travelled -
                                                     lag);
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
        // 13.4 An announcement just before a side road moves behind it.
        if (current_directive != nullptr && announce_distance > 100) {
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
    }

    // 14. Announcements.
    if (started && guidance_state == STATE_ON_ROUTE && current_directive != nullptr) {
        if (options[0] != 0)
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
        } else if (directive_distance >= announce_distance || announced_far) {
            // nothing due
        } else if (second_far_pending) {
            if (directive_distance > 250)
                announce_far(current_directive, directive_distance);
            announced_far = true;
        } else if (chain_before && !chain) {
            announced_far = true;
        } else {
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
    }

    // 15.
    check_uturn();
    finish();
}

int XrRouteLayer::get_distance_to_next_instruction()
{
    if (active_route == nullptr)
        return -1;
    if (guidance_state == STATE_OFF_ROUTE && matched_valid) {
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

void XrRouteLayer::compute_remaining_time() {}

// ---- Travel times and traffic delays

bool XrRouteLayer::set_traffic_delay(const XrRouteSegment& segment, std::uint32_t value, std::uint32_t* out)
{
    delays_summed = false;
    const std::uint32_t base =
        static_cast<std::uint32_t>(std::max(0, segment.length)) * 256u / static_cast<std::uint32_t>(class_speed(segment.speed_class()));
    const std::uint32_t f = value & 0xFF;
    // The share of the segment's own time is kept in seconds like the rest.
    std::uint32_t delay = f != 0 ? base / f / 256 : 0;
    delay += (value >> 8) * 60 / 2000;
    if (out != nullptr)
        *out = delay;
    return traffic_delays.insert(static_cast<int>(segment.gid), delay);
}

int XrRouteLayer::get_route_time(XrRouteInstructions* route, int part, int road_class, int start)
{
    if (route == nullptr)
        return 0;
    const int fixed = route->route_mode == 2 ? 1 : route->route_mode == 3 ? 5 : 0;
    long long time = 0;
    if (part > 0) {
        int s = fixed;
        if (s == 0)
            s = road_class >= 0 && road_class < 8 && route->segments.get_item_ptr(start) != nullptr
                    ? kClassSpeed[road_class]
                    : 3;
        time = static_cast<long long>(part) * 256 / s;
    }
    for (int i = std::min(start, route->segments.items()) - 1; i >= 0; --i) {
        const XrRouteSegment* seg = route->segments.get_item_ptr(i);
        const int s = fixed != 0 ? fixed : class_speed(seg->speed_class());
        time += static_cast<long long>(std::max(0, seg->length)) * 256 / s;
        if (fixed == 0)
            if (const std::uint32_t* delay = traffic_delays.find_ptr(static_cast<int>(seg->gid)))
                time += static_cast<long long>(*delay) * 256;
    }
    return static_cast<int>(time / 256);
}

int XrRouteLayer::get_time_ahead(bool whole)
{
    if (active_route == nullptr)
        return -1;
    const int d = directive_distance - (whole ? 0 : largest_announce);
    if (d < 1)
        return 0;
    long long time = 0;
    int summed = 0;
    for (int i = current_segment - 1; i >= 0 && summed < d; --i) {
        const XrRouteSegment* seg = active_route->segments.get_item_ptr(i);
        if (seg == nullptr)
            break;
        const int part = std::min(seg->length, d - summed);
        time += static_cast<long long>(std::max(0, part)) * 256 / class_speed(seg->speed_class());
        if (const std::uint32_t* delay = traffic_delays.find_ptr(static_cast<int>(seg->gid)))
            time += static_cast<long long>(*delay) * 256;
        summed += seg->length;
    }
    return static_cast<int>(time / 256);
}

int XrRouteLayer::get_traffic_delay_ahead(int distance)
{
    if (active_route == nullptr || current_segment < 0)
        return 0;
    long long delay = 0;
    int summed = 0;
    for (int i = current_segment; i >= 0; --i) {
        const XrRouteSegment* seg = active_route->segments.get_item_ptr(i);
        if (seg == nullptr)
            break;
        if (const std::uint32_t* d = traffic_delays.find_ptr(static_cast<int>(seg->gid)))
            delay += static_cast<long long>(*d) * 256;
        summed += seg->length;
        if (summed > distance)
            break;
    }
    return static_cast<int>(delay / 256);
}

// ---- Route joining

int XrRouteLayer::find_directive_index(const XrBlockStorage<XrRouteInstructions::XrRouteDirective>& directives,
                                       int segment, bool backward)
{
    const int count = directives.items();
    if (backward) {
        for (int i = count - 1; i >= 0; --i)
            if (static_cast<int>(directives.get_item_ptr(i)->words[6]) <= segment)
                return i;
        return -1;
    }
    for (int i = 0; i < count; ++i)
        if (static_cast<int>(directives.get_item_ptr(i)->words[6]) > segment)
            return i;
    return -1;
}

bool XrRouteLayer::join_routes(XrGraphAccessor2* graph, XrRouteInstructions* new_route,
                               XrRouteInstructions* old_route, XrRouteInstructions::XrRouteDirective* junction)
{
    typedef XrRouteInstructions::XrRouteDirective Directive;
    if (new_route == nullptr || old_route == nullptr || new_route == old_route)
        return false;
    const int old_count = old_route->segments.items();
    const int new_count = new_route->segments.items();
    if (old_count == 0 || new_count == 0)
        return false;

    // 1. The first edge both routes share.
    int meet_old = -1, meet_new = -1;
    for (int io = 0; io < old_count && meet_old < 0; ++io) {
        const XrRouteSegment* o = old_route->segments.get_item_ptr(io);
        for (int in = 0; in < new_count; ++in) {
            const XrRouteSegment* n = new_route->segments.get_item_ptr(in);
            if (n->gid == o->gid) {
                meet_new = in;
                meet_old = io;
                if ((n->flags & XrRouteSegment::FLAG_ALONG) != (o->flags & XrRouteSegment::FLAG_ALONG))
                    --meet_old;
                break;
            }
        }
    }
    int new_first = meet_new + 1;
    if (meet_new < 0) {
        // 2. An old edge that the new route's last edge leads onto.
        if (graph == nullptr)
            return false;
        const XrRouteSegment* n0 = new_route->segments.get_item_ptr(0);
        XrGraphAccessor2::XrEdgeData edge;
        const int handle = graph->get_edge_handle_by_gid(n0->x, n0->y, n0->gid);
        if (handle == -1 || graph->get_edge_by_handle(handle, edge) == -1)
            return false;
        std::vector<XrGid> next;
        int h = 0, turn = 0;
        while (graph->get_next_edge_connection(edge, h, turn)) {
            if ((h & 0x800) != 0)
                continue;
            XrGraphAccessor2::XrEdgeData other;
            if (graph->get_edge_by_handle(h, other) != -1)
                next.push_back(other.gid);
        }
        for (int io = old_count - 1; io >= 0 && meet_old < 0; --io) {
            const XrGid g = old_route->segments.get_item_ptr(io)->gid;
            if (std::find(next.begin(), next.end(), g) != next.end())
                meet_old = io;
        }
        if (meet_old < 0)
            return false;
        new_first = 0;
    }
    if (meet_old < 0)
        return false;
    // 3. The old instruction that covers the meeting point.
    const int keep_directive = find_directive_index(old_route->directives, meet_old, true);
    if (keep_directive < 0)
        return false;

    // 4. The joined storages: the old route from its end up to the meeting
    // point, the junction, then the new route back to its start.
    const bool converted = routes.get_num_items() > 0 && [&] {
        for (int r = 0; r < routes.get_num_items(); ++r)
            if (routes.get_item(r) == old_route)
                return true;
        return false;
    }();
    const std::uint32_t old_base = converted ? old_route->directives.get_item_ptr(0)->words[4] : 0;
    auto from_target = [&](std::uint32_t w) { return converted ? old_base - w : w; };

    XrBlockStorage<XrRouteSegment> segments(50);
    XrBlockStorage<Directive> directives(10);
    int old_length = 0;
    for (int i = 0; i <= meet_old; ++i) {
        const XrRouteSegment* s = old_route->segments.get_item_ptr(i);
        segments.add_item(*s);
        old_length += s->length;
    }
    const int kept_old = meet_old + 1;
    for (int i = 0; i <= keep_directive; ++i) {
        Directive d = *old_route->directives.get_item_ptr(i);
        d.words[3] = from_target(d.words[3]);
        d.words[4] = from_target(d.words[4]);
        d.words[10] = 0;
        directives.add_item(d);
    }
    int new_before = 0;
    for (int i = 0; i < new_first; ++i)
        new_before += new_route->segments.get_item_ptr(i)->length;
    const int shift = kept_old - new_first;
    for (int i = new_first; i < new_count; ++i) {
        XrRouteSegment s = *new_route->segments.get_item_ptr(i);
        s.flags &= static_cast<std::uint8_t>(~XrRouteSegment::FLAG_FIRST);
        if (i == new_count - 1)
            s.flags |= new_route->segments.get_item_ptr(i)->flags & XrRouteSegment::FLAG_FIRST;
        segments.add_item(s);
    }
    // The junction instruction, made by the route search's instruction
    // builder from the edges on either side of it.
    Directive turn_here;
    bool has_turn = false;
    if (graph != nullptr && kept_old < segments.items()) {
        XrRouteInstructions beyond;
        for (int i = 0; i + 1 < kept_old; ++i)
            beyond.segments.add_item(*segments.get_item_ptr(i));
        XrDijkstraPath2 search(graph, road_storage, XrString(), nullptr);
        search.route_mode = old_route->route_mode;
        has_turn = search.junction_instruction(beyond, *segments.get_item_ptr(kept_old),
                                               *segments.get_item_ptr(kept_old - 1), old_length, turn_here);
        if (has_turn) {
            turn_here.words[4] = static_cast<std::uint32_t>(old_length);
            turn_here.words[6] = static_cast<std::uint32_t>(kept_old);
        }
    }
    if (has_turn)
        directives.add_item(turn_here);
    const int first_new_directive = find_directive_index(new_route->directives, new_first - 1, false);
    if (first_new_directive >= 0)
        for (int i = first_new_directive; i < new_route->directives.items(); ++i) {
            Directive d = *new_route->directives.get_item_ptr(i);
            if (static_cast<int>(d.words[6]) < new_first)
                continue;
            d.words[6] = static_cast<std::uint32_t>(static_cast<int>(d.words[6]) + shift);
            d.words[4] = static_cast<std::uint32_t>(static_cast<int>(d.words[4]) - new_before + old_length);
            d.words[10] = 0;
            directives.add_item(d);
        }
    // Chain the instructions: each knows the one before it on the route.
    int total = 0;
    for (int i = 0; i < segments.items(); ++i)
        total += segments.get_item_ptr(i)->length;
    for (int i = 0; i < directives.items(); ++i) {
        Directive* d = directives.get_item_ptr(i);
        if (const Directive* before = directives.get_item_ptr(i + 1)) {
            d->words[3] = before->words[4];
            d->words[5] = before->words[6] - 1;
        } else {
            d->words[3] = static_cast<std::uint32_t>(total);
            d->words[5] = static_cast<std::uint32_t>(segments.items() - 1);
        }
    }
    if (junction != nullptr)
        *junction = has_turn ? turn_here : Directive();

    // 5. The new route takes the joined storages and the old end geometry.
    new_route->segments.clear();
    for (int i = 0; i < segments.items(); ++i)
        new_route->segments.add_item(*segments.get_item_ptr(i));
    new_route->directives.clear();
    for (int i = 0; i < directives.items(); ++i)
        new_route->directives.add_item(*directives.get_item_ptr(i));
    new_route->end_geometry = std::move(old_route->end_geometry);
    new_route->target_x = old_route->target_x;
    new_route->target_y = old_route->target_y;
    new_route->total_length = total;
    return true;
}
