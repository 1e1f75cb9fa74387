// The zlib helpers on arbitrary streams and output sizes: zlib_uncompress
// and zlib_uncompress_whole must agree where their rules overlap, and every
// input also goes through a compress / uncompress round trip.
#include "common/container/xr_bytearray.h"
#include "common/container/xr_bytes.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2 || size > (1u << 20))
        return 0;
    // The first two bytes choose the output buffer size.
    const int dst_len = xr_bytes::get_u16_le(data) & 0x1FFF;
    const BYTE* src = data + 2;
    const int src_len = static_cast<int>(size - 2);

    std::vector<BYTE> part(dst_len + 1), whole(dst_len + 1);
    int part_len = dst_len;
    const bool part_ok = zlib_uncompress(src, src_len, part.data(), part_len);
    if (part_ok && (part_len < 0 || part_len > dst_len))
        std::abort();
    int whole_len = dst_len;
    const bool whole_ok = zlib_uncompress_whole(src, src_len, whole.data(), whole_len);
    if (whole_ok && (whole_len < 0 || whole_len > dst_len))
        std::abort();
    // A whole stream is also a sound one, with the same bytes; a stream that
    // ended inside the buffer is a whole one.
    if (whole_ok && (!part_ok || part_len != whole_len || std::memcmp(part.data(), whole.data(), whole_len) != 0))
        std::abort();
    if (part_ok && src_len > 0 && part_len < dst_len && !whole_ok)
        std::abort();

    std::vector<BYTE> packed(src_len + src_len / 100 + 64);
    int packed_len = static_cast<int>(packed.size());
    if (!zlib_compress(src, src_len, packed.data(), packed_len))
        std::abort();
    std::vector<BYTE> back(src_len + 1);
    int back_len = src_len;
    if (!zlib_uncompress(packed.data(), packed_len, back.data(), back_len) || back_len != src_len ||
        std::memcmp(back.data(), src, src_len) != 0)
        std::abort();
    if (src_len > 0) {
        back_len = src_len;
        if (!zlib_uncompress_whole(packed.data(), packed_len, back.data(), back_len) || back_len != src_len)
            std::abort();
    }
    return 0;
}
