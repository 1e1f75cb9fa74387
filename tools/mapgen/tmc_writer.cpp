#include "tools/mapgen/tmc_writer.h"

#include <cstring>

#include "tools/mapgen/servcom_writer.h"

namespace {

void put_u32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void put_u16(std::vector<std::uint8_t>& out, std::uint16_t v)
{
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void set_u32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

} // namespace

std::uint32_t tmc_stored_coordinate(std::int32_t value)
{
    return static_cast<std::uint32_t>(value) ^ 0x80000000u;
}

std::vector<std::uint8_t> tmc_paths_file(std::uint32_t buckets, const std::vector<TmcPathLocationSpec>& locations,
                                         const std::vector<TmcPathSpec>& paths)
{
    const std::uint32_t k = static_cast<std::uint32_t>(paths.size());
    std::vector<std::uint8_t> out;
    put_u32(out, buckets);
    const std::size_t offsets_at = out.size();
    out.resize(out.size() + 4 * (buckets + 1));
    put_u32(out, k);
    const std::size_t table_at = out.size();
    out.resize(out.size() + 8 * k);

    // Bucket entries, with the record offsets patched in below.
    std::vector<std::size_t> entry_at(locations.size());
    for (std::uint32_t b = 0; b < buckets; ++b) {
        set_u32(out, offsets_at + 4 * b, static_cast<std::uint32_t>(out.size()));
        for (std::size_t i = 0; i < locations.size(); ++i) {
            if (locations[i].key % buckets != b)
                continue;
            put_u32(out, locations[i].key);
            entry_at[i] = out.size();
            put_u32(out, 0);
        }
    }
    set_u32(out, offsets_at + 4 * buckets, static_cast<std::uint32_t>(out.size()));

    for (std::size_t i = 0; i < locations.size(); ++i) {
        set_u32(out, entry_at[i], static_cast<std::uint32_t>(out.size()));
        out.push_back(static_cast<std::uint8_t>(locations[i].entries.size()));
        for (const TmcPathEntrySpec& e : locations[i].entries) {
            put_u32(out, (static_cast<std::uint32_t>(e.path_id) << 16) | e.position);
            put_u16(out, e.extra);
        }
    }

    for (std::uint32_t first = 0; first < k; first += 5) {
        std::vector<std::uint8_t> group;
        for (std::uint32_t id = first; id < first + 5 && id < k; ++id) {
            const TmcPathSpec& p = paths[id];
            const std::uint32_t counts = (static_cast<std::uint32_t>(p.edges.size()) << 16) |
                                         static_cast<std::uint32_t>(p.points.size());
            set_u32(out, table_at + 8 * id + 4, counts);
            if (id != first)
                set_u32(out, table_at + 8 * id, static_cast<std::uint32_t>(group.size()));
            for (std::uint32_t e : p.edges)
                put_u32(group, e);
            for (const TmcPointSpec& pt : p.points) {
                put_u16(group, pt.position);
                put_u32(group, tmc_stored_coordinate(pt.x));
                put_u32(group, tmc_stored_coordinate(pt.y));
            }
        }
        set_u32(out, table_at + 8 * first, static_cast<std::uint32_t>(out.size()));
        const std::vector<std::uint8_t> packed = servcom_compress(group);
        out.insert(out.end(), packed.begin(), packed.end());
    }
    return out;
}

std::vector<std::uint8_t> tmc_locations_file(std::uint32_t buckets, const std::vector<TmcLocationSpec>& locations)
{
    std::vector<std::uint8_t> out;
    put_u32(out, buckets);
    const std::size_t offsets_at = out.size();
    out.resize(out.size() + 4 * buckets);
    for (std::uint32_t b = 0; b < buckets; ++b) {
        set_u32(out, offsets_at + 4 * b, static_cast<std::uint32_t>(out.size()));
        for (const TmcLocationSpec& l : locations) {
            if (l.key % buckets != b)
                continue;
            put_u32(out, l.key);
            out.push_back(static_cast<std::uint8_t>(l.values.size()));
            for (std::uint32_t v : l.values)
                put_u32(out, v);
            put_u32(out, tmc_stored_coordinate(l.x));
            put_u32(out, tmc_stored_coordinate(l.y));
        }
    }
    return out;
}
