#include "tools/mapgen/blks_writer.h"

#include <fstream>

#include "common/container/xr_bytes.h"
#include "common/graph/xr_blkslayout.h"

std::vector<BYTE> write_blks(const std::vector<XrBlksRecord>& records)
{
    XrByteWriter w;
    for (const XrBlksRecord& r : records) {
        const std::size_t start = w.size();
        w.zeros(xr_blks::RECORD_SIZE);
        BYTE* p = w.bytes().data() + start;
        p[xr_blks::KIND_OFFSET] = r.kind;
        xr_bytes::put_u32_le(p + xr_blks::X_OFFSET, static_cast<std::uint32_t>(r.x));
        xr_bytes::put_u32_le(p + xr_blks::Y_OFFSET, static_cast<std::uint32_t>(r.y));
    }
    return w.take();
}

bool write_blks_file(const std::string& path, const std::vector<XrBlksRecord>& records)
{
    const std::vector<BYTE> bytes = write_blks(records);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}
