// Layout of the signpost file "signs.bin" (magic "XRSP", version 2,
// little-endian), shared by its reader, its writer and their tests.
//
//   0    4      magic "XRSP"
//   4    4      version, 2
//   8    2      N, the number of hash buckets (signed)
//   10   200    colour schemes 1 to 20, scheme i at i * 10: three colours of
//               three bytes, then the shape byte
//   210  6 * N  per bucket: 32-bit file offset, 16-bit length (signed)
//
// A bucket: byte M, then M keys sorted by gid {32-bit gid, 16-bit offset of
// the gid's first record inside the bucket}. A gid's records follow each
// other: 16-bit size (from the record's start; END_OF_RECORDS ends the gid's
// records), byte P, P 32-bit gids that follow the key edge on the path, then
// instructions up to the record's end: a kind byte (1 to 4) and a
// zero-terminated UTF-8 text whose language alternatives are separated by
// tabs.
#pragma once

#include <cstdint>

#include "common/db/xr_gid.h"

namespace xr_signs_layout {

constexpr char MAGIC[4] = {'X', 'R', 'S', 'P'};
constexpr unsigned int MAGIC_SIZE = 4;
constexpr unsigned int VERSION_OFFSET = 4; // u32
constexpr std::uint32_t VERSION = 2;
constexpr unsigned int BUCKET_COUNT_OFFSET = 8; // i16
constexpr unsigned int HEADER_SIZE = 10;

// Colour scheme i (1 to NUM_SCHEMES) lies at i * SCHEME_SIZE, right behind
// the header (which is as long as a scheme).
constexpr int NUM_SCHEMES = 20;
constexpr unsigned int SCHEME_SIZE = 10;
constexpr unsigned int SCHEME_COLORS = 9;
constexpr unsigned int SCHEME_SHAPE = 9;

// The bucket index, one entry per bucket.
constexpr unsigned int INDEX_OFFSET = 210;
constexpr unsigned int INDEX_ENTRY_SIZE = 6;
constexpr unsigned int INDEX_BUCKET_OFFSET = 0; // u32
constexpr unsigned int INDEX_BUCKET_LENGTH = 4; // i16
constexpr int MAX_BUCKETS = 32767;
constexpr int MAX_BUCKET_BYTES = 32767;

// A bucket: the key count, then the keys.
constexpr unsigned int KEYS_OFFSET = 1;
constexpr int MAX_KEYS = 255;
constexpr unsigned int KEY_SIZE = 6;
constexpr unsigned int KEY_GID = 0;    // u32
constexpr unsigned int KEY_RECORD = 4; // u16

// A record: size (u16), path count, the path's gids.
constexpr unsigned int RECORD_SIZE = 0;
constexpr unsigned int RECORD_PATH_COUNT = 2;
constexpr unsigned int RECORD_HEAD = 3;
constexpr unsigned int PATH_GID_SIZE = 4;
constexpr int MAX_FOLLOWING = 255;
constexpr unsigned int END_OF_RECORDS = 0xFFFF;

// The hash of a gid before the modulo by the bucket count.
constexpr std::uint32_t hash_gid(XrGid gid)
{
    return (gid & 0xFFFFu) * 8923u + (gid >> 16) * 213522346u;
}

} // namespace xr_signs_layout
