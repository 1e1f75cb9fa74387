#include "common/misc/xr_md5.h"

#include <cstring>

#include "common/container/xr_bytes.h"

namespace {

inline std::uint32_t rotl(std::uint32_t x, int n)
{
    return (x << n) | (x >> (32 - n));
}

const std::uint32_t k_sines[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

const int k_shifts[64] = {
    7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
    5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
    4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
    6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21,
};

void transform(std::uint32_t state[4], const BYTE block[64])
{
    std::uint32_t m[16];
    for (int i = 0; i < 16; ++i)
        m[i] = xr_bytes::get_u32_le(block + 4 * i);

    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (int i = 0; i < 64; ++i) {
        std::uint32_t f;
        int g;
        if (i < 16) {
            f = (b & c) | (~b & d);
            g = i;
        } else if (i < 32) {
            f = (b & d) | (c & ~d);
            g = (5 * i + 1) & 15;
        } else if (i < 48) {
            f = b ^ c ^ d;
            g = (3 * i + 5) & 15;
        } else {
            f = c ^ (b | ~d);
            g = (7 * i) & 15;
        }
        const std::uint32_t t = d;
        d = c;
        c = b;
        b = b + rotl(a + f + k_sines[i] + m[g], k_shifts[i]);
        a = t;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

} // namespace

void md5_init(XrMD5Context& ctx)
{
    ctx.state[0] = 0x67452301;
    ctx.state[1] = 0xefcdab89;
    ctx.state[2] = 0x98badcfe;
    ctx.state[3] = 0x10325476;
    ctx.bit_count = 0;
    std::memset(ctx.buffer, 0, sizeof ctx.buffer);
}

void md5_update(XrMD5Context& ctx, const BYTE* data, std::size_t size)
{
    if (size == 0)
        return;
    std::size_t used = std::size_t((ctx.bit_count >> 3) & 63);
    ctx.bit_count += std::uint64_t(size) << 3;

    if (used != 0) {
        const std::size_t room = 64 - used;
        if (size < room) {
            std::memcpy(ctx.buffer + used, data, size);
            return;
        }
        std::memcpy(ctx.buffer + used, data, room);
        transform(ctx.state, ctx.buffer);
        data += room;
        size -= room;
    }
    while (size >= 64) {
        transform(ctx.state, data);
        data += 64;
        size -= 64;
    }
    if (size != 0)
        std::memcpy(ctx.buffer, data, size);
}

void md5_final(XrMD5Context& ctx, BYTE digest[16])
{
    BYTE length[8];
    const std::uint64_t bits = ctx.bit_count;
    xr_bytes::put_u64_le(length, bits);

    const std::size_t used = std::size_t((bits >> 3) & 63);
    const std::size_t pad = (used < 56) ? 56 - used : 120 - used;
    BYTE padding[64] = {0x80};
    md5_update(ctx, padding, pad);
    md5_update(ctx, length, 8);

    for (int i = 0; i < 4; ++i)
        xr_bytes::put_u32_le(digest + 4 * i, ctx.state[i]);
    ctx.state[0] = 0;
}
