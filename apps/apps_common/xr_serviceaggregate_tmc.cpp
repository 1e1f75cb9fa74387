// The service aggregate's TMC resolution: traffic events given by location
// codes become road edges and map positions through the map's TMC tables.
#include <algorithm>

#include "apps/apps_common/xr_serviceaggregate.h"
#include "apps/apps_common/xr_tmctablefile.h"

bool XrServiceAggregate::open_tmc_tables()
{
    if (tmc_tables != nullptr && tmc_tables->is_open())
        return true;
    auto tables = std::make_unique<XrTmcTableFile>();
    if (!tables->open(XrString(L"?:\\mapdata\\tmc_paths.bin"), XrString(L"?:\\mapdata\\tmc_locations.bin")))
        return false;
    tmc_tables = std::move(tables);
    return true;
}

void XrServiceAggregate::begin_tmc_resolution(int events)
{
    tmc_resolving = false;
    tmc_locations.clear();
    tmc_events.clear();
    tmc_codes.clear();
    tmc_countries.clear();
    tmc_segments.clear();
    if (!open_tmc_tables())
        return;
    tmc_resolving = true;
    const int count = std::max(0, events);
    tmc_locations.reserve(static_cast<std::size_t>(count) * 2);
    tmc_events.reserve(static_cast<std::size_t>(count));
    tmc_countries.reserve(static_cast<std::size_t>(std::max(1, get_country_count())));
}

bool XrServiceAggregate::add_tmc_event(const XrString& table, const std::uint16_t* codes, int count, int event,
                                       int& x, int& y)
{
    if (!tmc_resolving || codes == nullptr || count <= 0)
        return false;
    if (count == 1) {
        XrArray<unsigned int> values;
        XrPoint at;
        if (!tmc_tables->find_location(table.c_str(), codes[0], values, at))
            return false;
        x = at.x;
        y = at.y;
        return true;
    }
    auto country = std::find(tmc_countries.begin(), tmc_countries.end(), table);
    if (country == tmc_countries.end())
        country = tmc_countries.insert(tmc_countries.end(), table);
    const std::uint16_t table_number = static_cast<std::uint16_t>(country - tmc_countries.begin());
    const int first = static_cast<int>(tmc_codes.size());
    tmc_codes.insert(tmc_codes.end(), codes, codes + count);
    tmc_events.push_back(TmcEventRef{table_number, first, count});
    const int number = static_cast<int>(tmc_events.size()) - 1;
    for (const std::uint16_t code : {codes[0], codes[count - 1]}) {
        const std::uint32_t key = make_pair_key(table.c_str(), code);
        const std::uint32_t group = key_slot(tmc_tables->get_bucket_count(), key) / XrTmcTableFile::BUCKET_GROUP;
        tmc_locations.push_back(TmcLocationRef{key, group, number, -1});
    }
    tmc_event_numbers.push_back(event);
    return true;
}

void XrServiceAggregate::resolve_tmc_events()
{
    if (!tmc_resolving)
        return;
    tmc_resolving = false;
    // Path-record offsets, looked up group by group through the bucket cache
    // (in event order each lookup could load another group).
    std::vector<std::size_t> by_group(tmc_locations.size());
    for (std::size_t i = 0; i < by_group.size(); ++i)
        by_group[i] = i;
    std::stable_sort(by_group.begin(), by_group.end(),
                     [&](std::size_t a, std::size_t b) { return tmc_locations[a].group < tmc_locations[b].group; });
    for (std::size_t i : by_group) {
        TmcLocationRef& loc = tmc_locations[i];
        const TmcEventRef& ev = tmc_events[static_cast<std::size_t>(loc.event)];
        const XrString& table = tmc_countries[ev.table];
        const std::uint16_t code = static_cast<std::uint16_t>(loc.key & 0xFFFF);
        std::uint32_t offset = 0;
        loc.offset = tmc_tables->find_record_by_id(table.c_str(), code, true, offset) ? offset : -1;
    }
    // Each event's first and last location: records read in file order.
    std::vector<std::size_t> order(tmc_locations.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return tmc_locations[a].offset < tmc_locations[b].offset; });
    std::vector<XrArray<XrTmcPathEntry>> entries(tmc_locations.size());
    for (std::size_t i : order) {
        const TmcLocationRef& loc = tmc_locations[i];
        if (loc.offset < 0)
            continue;
        int count = 0;
        tmc_tables->read_record(static_cast<std::uint32_t>(loc.offset), true, count, entries[i]);
    }
    for (std::size_t e = 0; e < tmc_events.size(); ++e) {
        const TmcEventRef& ev = tmc_events[e];
        XrArray<std::uint16_t> codes;
        for (int k = 0; k < ev.count; ++k)
            codes.append(tmc_codes[static_cast<std::size_t>(ev.first_code + k)]);
        XrTmcCommonPath match;
        if (!match_tmc_event(*tmc_tables, tmc_countries[ev.table].c_str(), codes, entries[2 * e], entries[2 * e + 1],
                             match))
            continue;
        XrTmcSegment segment;
        segment.path_id = match.path_id;
        segment.position = match.position;
        segment.length = match.length;
        segment.extra = match.extra;
        segment.event = tmc_event_numbers[e];
        tmc_segments.push_back(std::move(segment));
    }
    // Resolved path by path, so that a group is uncompressed once.
    std::stable_sort(tmc_segments.begin(), tmc_segments.end(),
                     [](const XrTmcSegment& a, const XrTmcSegment& b) { return a.path_id < b.path_id; });
    if (tmc_tables->read_path_table()) {
        for (XrTmcSegment& segment : tmc_segments) {
            XrArray<unsigned int> edges;
            XrPoint at;
            segment.located =
                tmc_tables->resolve_segment(segment.path_id, segment.position, segment.length, segment.extra, edges, at);
            segment.edges.assign(edges.get_items(), edges.get_items() + edges.get_num_items());
            if (segment.located) {
                segment.x = at.x;
                segment.y = at.y;
            }
        }
    }
    tmc_tables->release_caches();
    tmc_locations.clear();
    tmc_locations.shrink_to_fit();
    tmc_events.clear();
    tmc_codes.clear();
    tmc_countries.clear();
    tmc_event_numbers.clear();
}
