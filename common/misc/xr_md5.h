// MD5 message digest (RFC 1321).
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/container/xr_defs.h"

struct XrMD5Context {
    std::uint32_t state[4];
    std::uint64_t bit_count;
    BYTE buffer[64];
};

void md5_init(XrMD5Context& ctx);
void md5_update(XrMD5Context& ctx, const BYTE* data, std::size_t size);
// Writes the 16-byte digest and clears the first state word, so a finished
// context cannot be mistaken for a running one.
void md5_final(XrMD5Context& ctx, BYTE digest[16]);
