#include "common/misc/xr_md5.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

std::string hex(const BYTE d[16])
{
    std::string s;
    char b[3];
    for (int i = 0; i < 16; ++i) {
        std::snprintf(b, sizeof b, "%02x", d[i]);
        s += b;
    }
    return s;
}

std::string md5_hex(const std::string& text, std::size_t piece = 0)
{
    XrMD5Context ctx;
    md5_init(ctx);
    const BYTE* p = reinterpret_cast<const BYTE*>(text.data());
    if (piece == 0) {
        md5_update(ctx, p, text.size());
    } else {
        for (std::size_t at = 0; at < text.size(); at += piece)
            md5_update(ctx, p + at, std::min(piece, text.size() - at));
    }
    BYTE d[16];
    md5_final(ctx, d);
    return hex(d);
}

struct Vector {
    const char* text;
    const char* digest;
};

// The test suite of RFC 1321, appendix A.5.
const Vector k_rfc1321[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

TEST(Md5, Rfc1321TestSuite)
{
    for (const Vector& v : k_rfc1321)
        EXPECT_EQ(md5_hex(v.text), v.digest) << '"' << v.text << '"';
}

TEST(Md5, PiecewiseUpdatesGiveTheSameDigest)
{
    // Piece sizes that straddle the 64-byte block and the 56-byte padding limit.
    for (const Vector& v : k_rfc1321)
        for (std::size_t piece : {1u, 3u, 7u, 55u, 56u, 63u, 64u, 65u})
            EXPECT_EQ(md5_hex(v.text, piece), v.digest) << '"' << v.text << "\" in pieces of " << piece;
}

TEST(Md5, PaddingBoundaries)
{
    // Lengths around one block: 55 bytes fit the length in one block, 56 need a second.
    // Reference digests of runs of 'a' (coreutils md5sum).
    const struct {
        std::size_t length;
        const char* digest;
    } cases[] = {
        {55, "ef1772b6dff9a122358552954ad0df65"},
        {56, "3b0c8ac703f828b04c6c197006d17218"},
        {63, "b06521f39153d618550606be297466d5"},
        {64, "014842d480b571495a4a0363793f7367"},
        {65, "c743a45e0d2e6a95cb859adae0248435"},
        {1000, "cabe45dcc9ae5b66ba86600cca6b8ba8"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(md5_hex(std::string(c.length, 'a')), c.digest) << c.length;
}

TEST(Md5, FinalClearsFirstStateWord)
{
    XrMD5Context ctx;
    md5_init(ctx);
    BYTE d[16];
    md5_final(ctx, d);
    EXPECT_EQ(ctx.state[0], 0u);
}

} // namespace
