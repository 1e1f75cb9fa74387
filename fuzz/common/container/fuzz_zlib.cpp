// zlib_uncompress on arbitrary streams and output sizes; every input also
// goes through a compress / uncompress round trip.
#include "common/container/xr_bytearray.h"

#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    // The first two bytes choose the output buffer size.
    int dst_len = data[0] | (data[1] & 0x0F) << 8;
    const BYTE* src = data + 2;
    int src_len = static_cast<int>(size - 2);

    std::vector<BYTE> dst(dst_len + 1);
    int len = dst_len;
    if (zlib_uncompress(src, src_len, dst.data(), len) && (len < 0 || len > dst_len))
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
    return 0;
}
