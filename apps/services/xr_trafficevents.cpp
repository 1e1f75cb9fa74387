// The traffic service's events: what a country's data file lists, resolved
// to roads and map points, shown as map objects and road marks, weighed into
// route searches and expired when their end passes.
#include <algorithm>
#include <ctime>

#include "apps/services/xr_trafficservice.h"
#include "apps/services/xr_trafficstrings.h"
#include "common/base/xr_singleton.h"
#include "common/geometry/xr_projection.h"

namespace {

constexpr std::uint32_t AGAINST = 0x80000000u;

} // namespace

bool XrTrafficService::centre_of(const XrTrafficInfoParams& record, int& x, int& y) const
{
    if (projection == nullptr)
        return false;
    bool any = false;
    int min_x = 0, min_y = 0, max_x = 0, max_y = 0;
    for (std::size_t i = 0; i < record.xs.size() && i < record.ys.size(); ++i) {
        if (record.xs[i] == 0 && record.ys[i] == 0)
            continue;
        // Stored as degrees x 100000, signed.
        const double lon = static_cast<std::int32_t>(record.xs[i]) / 100000.0;
        const double lat = static_cast<std::int32_t>(record.ys[i]) / 100000.0;
        int mx = 0, my = 0;
        if (!projection->to_map(lon, lat, mx, my))
            continue;
        if (!any) {
            min_x = max_x = mx;
            min_y = max_y = my;
            any = true;
        }
        min_x = std::min(min_x, mx);
        max_x = std::max(max_x, mx);
        min_y = std::min(min_y, my);
        max_y = std::max(max_y, my);
    }
    if (!any)
        return false;
    x = static_cast<int>((static_cast<std::int64_t>(min_x) + max_x) / 2);
    y = static_cast<int>((static_cast<std::int64_t>(min_y) + max_y) / 2);
    return true;
}

void XrTrafficService::remove_event(Country& country, std::uint32_t id)
{
    auto it = country.events.find(id);
    if (it == country.events.end())
        return;
    if (helper != nullptr)
        helper->remove_event_object(this, id);
    country.events.erase(it);
}

void XrTrafficService::remove_country_events(Country& country)
{
    if (helper != nullptr)
        for (const auto& [id, event] : country.events)
            helper->remove_event_object(this, id);
    country.events.clear();
    country.ids.clear();
    country.fresh.clear();
    country.expired = 0;
}

int XrTrafficService::rebuild_events(Country& country, std::int64_t now)
{
    // The file's list now, in index order (ascending ids).
    std::vector<XrTrafficInfoEvent> listed;
    const int count = country.file->get_event_count();
    listed.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        XrTrafficInfoEvent e;
        if (country.file->get_event(i, e.event_id, e.revision))
            listed.push_back(e);
    }
    // Gone or changed: their objects go with them.
    std::unordered_map<std::uint32_t, std::uint8_t> revision_now;
    for (const XrTrafficInfoEvent& e : listed)
        revision_now[e.event_id] = e.revision;
    std::vector<std::uint32_t> removed;
    for (const auto& [id, event] : country.events) {
        auto it = revision_now.find(id);
        if (it == revision_now.end() || it->second != event->revision)
            removed.push_back(id);
    }
    for (std::uint32_t id : removed)
        remove_event(country, id);

    country.ids = std::move(listed);
    country.fresh.clear();
    country.expired = 0;
    int extents = 0, points = 0, locations = 0;
    std::unordered_map<std::uint32_t, std::unique_ptr<Event>> kept;
    for (const XrTrafficInfoEvent& e : country.ids) {
        auto old = country.events.find(e.event_id);
        if (old != country.events.end()) {
            kept.emplace(e.event_id, std::move(old->second));
            continue;
        }
        const XrTrafficInfoParams* record = country.file->get_record(e.event_id, false);
        if (record == nullptr) {
            // An index that lists what cannot be read: nothing of it is kept.
            for (auto& [id, event] : kept)
                if (helper != nullptr)
                    helper->remove_event_object(this, id);
            country.events.clear();
            remove_country_events(country);
            return 0;
        }
        if (record->end_time != 0 && static_cast<std::int64_t>(record->end_time) < now) {
            ++country.expired;
            continue;
        }
        const int n = static_cast<int>(record->tmc_codes.size());
        locations += n;
        if (n >= 2)
            ++extents;
        else if (n == 1)
            ++points;
        country.fresh.insert(e.event_id);
    }
    country.events = std::move(kept);
    if (helper != nullptr && !country.fresh.empty())
        helper->begin_tmc_resolution(extents + points);
    (void)locations;
    resolve_fresh(country);
    return static_cast<int>(country.fresh.size());
}

void XrTrafficService::resolve_fresh(Country& country)
{
    if (country.fresh.empty())
        return;
    // Running numbers of the events given to the TMC resolution.
    std::vector<std::uint32_t> numbered;
    for (const XrTrafficInfoEvent& e : country.ids) {
        if (country.fresh.count(e.event_id) == 0)
            continue;
        const XrTrafficInfoParams* record = country.file->get_record(e.event_id, false);
        if (record == nullptr)
            continue;
        auto event = std::make_unique<Event>();
        event->revision = e.revision;
        event->end_time = record->end_time;
        event->start_time = record->start_time;
        if ((record->flags & 1) != 0 && !record->tmc_codes.empty() && helper != nullptr) {
            const int number = static_cast<int>(numbered.size());
            numbered.push_back(e.event_id);
            int x = 0, y = 0;
            if (helper->add_tmc_event(record->tmc_table, record->tmc_codes.data(),
                                      static_cast<int>(record->tmc_codes.size()), number, x, y) &&
                record->tmc_codes.size() == 1) {
                event->x = x;
                event->y = y;
            }
        } else if ((record->flags & 2) != 0) {
            centre_of(*record, event->x, event->y);
        }
        country.events[e.event_id] = std::move(event);
    }
    if (helper == nullptr || numbered.empty())
        return;
    helper->resolve_tmc_events();
    for (const XrTmcSegment& segment : helper->get_tmc_segments()) {
        if (segment.event < 0 || static_cast<std::size_t>(segment.event) >= numbered.size())
            continue;
        auto it = country.events.find(numbered[static_cast<std::size_t>(segment.event)]);
        if (it == country.events.end())
            continue;
        Event& event = *it->second;
        for (unsigned int edge : segment.edges)
            if (std::find(event.edges.begin(), event.edges.end(), edge) == event.edges.end())
                event.edges.push_back(edge);
        if (segment.located && event.x == 0 && event.y == 0) {
            event.x = segment.x;
            event.y = segment.y;
        }
    }
}

void XrTrafficService::compute_penalties(Country& country)
{
    for (auto& [id, event] : country.events) {
        const XrTrafficInfoParams* record = country.file->get_record(id, false);
        event->penalty_code = 0;
        event->fades = false;
        if (record != nullptr && country.penalty != nullptr)
            event->penalty_code =
                country.penalty->event_penalty(*record, static_cast<int>(event->edges.size()), event->fades);
    }
}

void XrTrafficService::refresh_icons(Country& country, bool only_fresh)
{
    if (helper == nullptr)
        return;
    std::unique_ptr<XrTrafficStrings> strings = XrTrafficStrings::load();
    for (const XrTrafficInfoEvent& e : country.ids) {
        auto it = country.events.find(e.event_id);
        if (it == country.events.end() || (only_fresh && country.fresh.count(e.event_id) == 0))
            continue;
        Event& event = *it->second;
        const XrTrafficInfoParams* record = country.file->get_record(e.event_id, false);
        if (record == nullptr)
            continue;
        const int category = XrTrafficStrings::event_category(*record, country.penalty);
        XrString text;
        XrTrafficStrings::event_text(strings.get(), record->event_codes.empty() ? 0 : record->event_codes[0],
                                     category, text);
        // Coordinates stand in for roads that did not resolve, except for
        // the two countries whose coordinates are unreliable beside others.
        if (event.edges.empty() && event.x == 0 && event.y == 0 &&
            !(countries.size() > 1 && (country.code == XrString(L"DEU") || country.code == XrString(L"ITA"))))
            centre_of(*record, event.x, event.y);
        if (event.x != 0 || event.y != 0)
            helper->add_event_object(this, e.event_id, event.x, event.y, category, text);
    }
    country.fresh.clear();
}

void XrTrafficService::rebuild_marks()
{
    if (helper == nullptr)
        return;
    int total = 0;
    for (const auto& country : countries)
        for (const auto& [id, event] : country->events)
            total += static_cast<int>(event->edges.size());
    helper->reserve_road_marks(total);
    for (const auto& country : countries)
        for (const XrTrafficInfoEvent& e : country->ids) {
            auto it = country->events.find(e.event_id);
            if (it == country->events.end() || it->second->edges.empty())
                continue;
            const XrTrafficInfoParams* record = country->file->get_record(e.event_id, false);
            if (record == nullptr)
                continue;
            const int cls = country->penalty != nullptr ? country->penalty->event_class(*record)
                                                        : XrTrafficPenalty::NO_CLASS;
            if (cls == XrTrafficPenalty::NO_CLASS)
                continue;
            for (std::uint32_t edge : it->second->edges)
                helper->mark_road(edge & ~AGAINST, (edge & AGAINST) == 0, cls);
        }
}

void XrTrafficService::expire_events(std::int64_t now)
{
    bool any = false;
    for (const auto& country : countries) {
        std::vector<std::uint32_t> ended;
        for (const auto& [id, event] : country->events)
            if (event->end_time != 0 && static_cast<std::int64_t>(event->end_time) < now)
                ended.push_back(id);
        for (std::uint32_t id : ended) {
            if (helper != nullptr)
                for (std::uint32_t edge : country->events[id]->edges)
                    helper->unmark_road(edge & ~AGAINST);
            remove_event(*country, id);
            ++country->expired;
            any = true;
            by_distance_valid = false;
        }
    }
    if (any && helper != nullptr)
        helper->redraw_map();
}

int XrTrafficService::count_events(const XrString* code)
{
    int total = 0;
    for (const auto& country : countries)
        if (code == nullptr || country->code == *code)
            total += country->file->get_event_count() - country->expired;
    return std::max(0, total);
}

int XrTrafficService::event_weight(const Country& country, const Event& event, const XrPoint& at, std::int64_t now)
{
    if (event.end_time == 0)
        return 100;
    if (country.penalty == nullptr)
        return 0;
    const double distance = XrPoint(event.x, event.y).distance(at);
    const int w = country.penalty->weight(event.fades, distance, event.start_time, event.end_time, now);
    if (w == 0)
        return 0;
    return event.penalty_code == -1 ? 100 : w;
}

bool XrTrafficService::route_request(XrDijkstraPath2* search, const XrPoint& start, const XrPoint& /*end*/)
{
    XrAppSettingsProvider* settings = static_cast<XrAppSettingsProvider*>(
        XrSingleton::get_instance(XrString(L"XrAppSettingsProvider")));
    routing_option = settings != nullptr && settings->get_routing_option();
    if (!enabled || helper == nullptr || !routing_option)
        return false;
    XrPoint at;
    if (!helper->get_position(at))
        at = start;
    const std::int64_t now = std::time(nullptr);
    for (const auto& country : countries) {
        if (country->penalty == nullptr)
            continue;
        for (const auto& [id, event] : country->events) {
            if (event->penalty_code == 0 || event->edges.empty())
                continue;
            const int w = event_weight(*country, *event, at, now);
            if (w == 0)
                continue;
            const int penalty = event->penalty_code == -1
                                    ? -1
                                    : static_cast<int>(static_cast<std::int64_t>(w) * event->penalty_code / 100);
            for (std::uint32_t edge : event->edges)
                helper->add_edge_penalty(search, edge & ~AGAINST, penalty);
        }
    }
    return false;
}

std::vector<std::uint32_t> XrTrafficService::penalised_roads_on_route() const
{
    std::vector<std::uint32_t> roads;
    for (const auto& country : countries)
        for (const auto& [id, event] : country->events)
            if (event->penalty_code != 0)
                for (std::uint32_t edge : event->edges)
                    if (helper->road_on_route(edge & ~AGAINST))
                        roads.push_back(edge & ~AGAINST);
    return roads;
}

void XrTrafficService::check_route()
{
    if (!enabled || helper == nullptr || !helper->has_route())
        return;
    const TCHAR* sound = nullptr;
    for (const auto& country : countries)
        for (const XrTrafficInfoEvent& e : country->ids) {
            auto it = country->events.find(e.event_id);
            if (it == country->events.end() || warned.count(e.event_id) != 0)
                continue;
            const bool on_route = std::any_of(it->second->edges.begin(), it->second->edges.end(),
                                              [&](std::uint32_t edge) { return helper->road_on_route(edge & ~AGAINST); });
            if (!on_route)
                continue;
            const XrTrafficInfoParams* record = country->file->get_record(e.event_id, false);
            if (record == nullptr)
                continue;
            warned.insert(e.event_id);
            // One warning for the events found at once (both ways of a road
            // come as two events).
            if (sound == nullptr)
                sound = XrTrafficStrings::category_sound(XrTrafficStrings::event_category(*record, country->penalty));
        }
    if (sound != nullptr)
        helper->play_sound(sound);
    XrAppSettingsProvider* settings = static_cast<XrAppSettingsProvider*>(
        XrSingleton::get_instance(XrString(L"XrAppSettingsProvider")));
    if (settings != nullptr && settings->get_routing_option() && !reroute_pending) {
        jam_roads = penalised_roads_on_route();
        if (!jam_roads.empty()) {
            reroute_pending = true;
            helper->request_reroute();
        }
    }
}

void XrTrafficService::route_event()
{
    if (!enabled || helper == nullptr)
        return;
    if (reroute_pending) {
        reroute_pending = false;
        // Announced when the new route leaves a road it was slowed on.
        const bool left = std::any_of(jam_roads.begin(), jam_roads.end(),
                                      [&](std::uint32_t gid) { return !helper->road_on_route(gid); });
        jam_roads.clear();
        if (helper->has_route() && left)
            helper->play_sound(L"tf_reroute.wav");
        return;
    }
    check_route();
}

bool XrTrafficService::event_by_distance(int index, const XrPoint& position, std::uint32_t& id,
                                         std::uint32_t& distance)
{
    if (!enabled)
        return false;
    if (by_distance_valid && !(by_distance_at == position))
        by_distance_valid = false;
    if (!by_distance_valid) {
        by_distance.clear();
        const bool known = position.x != 0 || position.y != 0;
        for (const auto& country : countries)
            for (const XrTrafficInfoEvent& e : country->ids) {
                auto it = country->events.find(e.event_id);
                if (it == country->events.end())
                    continue;
                const Event& event = *it->second;
                const bool located = event.x != 0 || event.y != 0;
                const std::uint32_t d =
                    known && located ? static_cast<std::uint32_t>(XrPoint(event.x, event.y).distance(position)) : 0;
                by_distance.push_back({d, e.event_id});
            }
        if (known)
            std::stable_sort(by_distance.begin(), by_distance.end(),
                             [](const EventDistance& a, const EventDistance& b) { return a.distance < b.distance; });
        by_distance_at = position;
        by_distance_valid = true;
    }
    if (index < 0 || static_cast<std::size_t>(index) >= by_distance.size())
        return false;
    id = by_distance[static_cast<std::size_t>(index)].id;
    distance = by_distance[static_cast<std::size_t>(index)].distance;
    return true;
}
