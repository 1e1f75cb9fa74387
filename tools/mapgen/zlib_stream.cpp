#include "tools/mapgen/zlib_stream.h"

#include <zlib.h>

std::vector<BYTE> xr_zlib_stream(const std::vector<BYTE>& bytes, int level)
{
    uLongf length = compressBound(static_cast<uLong>(bytes.size()));
    std::vector<BYTE> out(length);
    if (compress2(out.data(), &length, bytes.data(), static_cast<uLong>(bytes.size()), level) != Z_OK)
        return {};
    out.resize(length);
    return out;
}
