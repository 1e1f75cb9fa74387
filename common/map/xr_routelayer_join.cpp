// XrRouteLayer: travel times and traffic delays along the routes; the
// joining of a new route onto the one being driven (done by the guidance
// model).
#include "common/map/xr_routelayer.h"
#include "common/graph/xr_routemode.h"

#include <algorithm>

namespace {

// Cruising speed by road class, metres per second.
constexpr int kClassSpeed[8] = {30, 23, 22, 19, 16, 13, 13, 11};

int class_speed(int road_class) { return road_class >= 0 && road_class < 8 ? kClassSpeed[road_class] : 3; }

} // namespace

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
    const int fixed = route->route_mode == ROUTE_MODE_PEDESTRIAN ? 1 : route->route_mode == ROUTE_MODE_BICYCLE ? 5 : 0;
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
    return XrGuidanceModel::find_directive_index(directives, segment, backward);
}

bool XrRouteLayer::join_routes(XrGraphAccessor2* graph, XrRouteInstructions* new_route,
                               XrRouteInstructions* old_route, XrRouteInstructions::XrRouteDirective* junction)
{
    // The layer's own routes count their directive distances from the start.
    bool converted = false;
    for (int r = 0; r < routes.get_num_items() && !converted; ++r)
        converted = routes.get_item(r) == old_route;
    return XrGuidanceModel::join_routes(graph, road_storage, new_route, old_route, junction, converted);
}
