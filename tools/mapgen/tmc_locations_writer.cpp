// "tmc_locations.bin": the locations with their values and positions.
#include "tools/mapgen/tmc_writer.h"

#include "common/container/xr_bytes.h"

namespace L = xr_tmc_layout;

std::vector<std::uint8_t> tmc_locations_file(std::uint32_t buckets, const std::vector<TmcLocationDef>& locations)
{
    XrByteWriter out;
    out.u32_le(buckets);
    out.zeros(L::OFFSET_SIZE * buckets);
    for (std::uint32_t b = 0; b < buckets; ++b) {
        out.patch_le(L::BUCKET_OFFSETS + L::OFFSET_SIZE * b, out.size(), 4);
        for (const TmcLocationDef& l : locations) {
            if (l.key % buckets != b)
                continue;
            out.u32_le(l.key);
            out.u8(static_cast<std::uint8_t>(l.values.size()));
            for (std::uint32_t v : l.values)
                out.u32_le(v);
            out.u32_le(L::stored_coordinate(l.x));
            out.u32_le(L::stored_coordinate(l.y));
        }
    }
    return out.take();
}
