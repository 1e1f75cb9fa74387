// "tmc_paths.bin": location records and the compressed road paths.
#include "tools/mapgen/tmc_writer.h"

#include "common/container/xr_bytes.h"
#include "tools/mapgen/servcom_writer.h"

namespace L = xr_tmc_layout;

std::uint32_t tmc_stored_coordinate(std::int32_t value)
{
    return L::stored_coordinate(value);
}

std::vector<std::uint8_t> tmc_paths_file(std::uint32_t buckets, const std::vector<TmcPathLocationDef>& locations,
                                         const std::vector<TmcPathDef>& paths)
{
    const std::uint32_t k = static_cast<std::uint32_t>(paths.size());
    XrByteWriter out;
    out.u32_le(buckets);
    out.zeros(L::OFFSET_SIZE * (buckets + 1));
    out.u32_le(k);
    out.zeros(L::PATH_INFO_SIZE * k);

    // Bucket entries, with the record offsets patched in below.
    std::vector<std::size_t> entry_at(locations.size());
    for (std::uint32_t b = 0; b < buckets; ++b) {
        out.patch_le(L::BUCKET_OFFSETS + L::OFFSET_SIZE * b, out.size(), 4);
        for (std::size_t i = 0; i < locations.size(); ++i) {
            if (locations[i].key % buckets != b)
                continue;
            out.u32_le(locations[i].key);
            entry_at[i] = out.size();
            out.u32_le(0);
        }
    }
    out.patch_le(L::BUCKET_OFFSETS + L::OFFSET_SIZE * buckets, out.size(), 4);

    for (std::size_t i = 0; i < locations.size(); ++i) {
        out.patch_le(entry_at[i], out.size(), 4);
        out.u8(static_cast<std::uint8_t>(locations[i].entries.size()));
        for (const TmcPathEntryDef& e : locations[i].entries) {
            out.u32_le((static_cast<std::uint32_t>(e.path_id) << 16) | e.position);
            out.u16_le(e.extra);
        }
    }

    const std::size_t table = L::path_table_offset(buckets);
    for (std::uint32_t first = 0; first < k; first += L::PATHS_PER_GROUP) {
        XrByteWriter group;
        for (std::uint32_t id = first; id < first + L::PATHS_PER_GROUP && id < k; ++id) {
            const TmcPathDef& p = paths[id];
            const std::uint32_t counts = (static_cast<std::uint32_t>(p.edges.size()) << 16) |
                                         static_cast<std::uint32_t>(p.points.size());
            const std::size_t info = table + L::PATH_INFO_SIZE * id;
            out.patch_le(info + L::PATH_COUNTS, counts, 4);
            if (id != first)
                out.patch_le(info + L::PATH_OFFSET, group.size(), 4);
            for (std::uint32_t e : p.edges)
                group.u32_le(e);
            for (const TmcPointDef& pt : p.points) {
                group.u16_le(pt.position);
                group.u32_le(L::stored_coordinate(pt.x));
                group.u32_le(L::stored_coordinate(pt.y));
            }
        }
        out.patch_le(table + L::PATH_INFO_SIZE * first + L::PATH_OFFSET, out.size(), 4);
        out.bytes(servcom_compress(group.bytes()));
    }
    return out.take();
}
