// Layout of geometry files ("XRQT", the map folder's pb.qt and pc.qt), shared
// by the reader (XrSimpleGeomStorage), the writer (tools/mapgen/xrqt_writer)
// and the tests. Numbers are little-endian.
//
//   header: magic, version, record kind, node table size, inner-node region
//   size, bounding box, coding block, format table (from version 0x10005
//   on), storage name; then the node table: inner nodes of 26 bytes, then
//   leaves of 8 bytes; then the buckets, each a 16-bit decompressed size and
//   a zlib stream. A decompressed bucket starts with the 16-bit end of its
//   compact-header records (not in version 0x10004 files), then the records.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/container/xr_bytes.h"

namespace xrqt {

constexpr BYTE MAGIC[4] = {'X', 'R', 'Q', 'T'};
constexpr std::size_t MAGIC_SIZE = sizeof MAGIC;

// Versions: 0x10004 has no format table and stores polylines in whole
// units; from 0x10005 on differences are in half units and a format table
// follows the coding block; 0x10006 and 0x10007 hold UTF-8 texts.
constexpr std::uint32_t VERSION_MIN = 0x10004;
constexpr std::uint32_t VERSION_FORMAT_TABLE = 0x10005;
constexpr std::uint32_t VERSION_UTF8_FIRST = 0x10006;
constexpr std::uint32_t VERSION_MAX = 0x10007;

inline bool is_version(std::uint32_t v)
{
    return v >= VERSION_MIN && v <= VERSION_MAX;
}
inline bool has_format_table(std::uint32_t v)
{
    return v >= VERSION_FORMAT_TABLE;
}
inline bool has_utf8_texts(std::uint32_t v)
{
    return v >= VERSION_UTF8_FIRST && v <= VERSION_MAX;
}
// Whether decompressed buckets begin with the end of their compact headers.
inline bool has_compact_end(std::uint32_t v)
{
    return v != VERSION_MIN;
}

// Record kinds of the header: 1 points, 2 polylines, 3 polygons, 4 texts,
// 5 mixed (the records' ids carry their kinds).
constexpr std::uint32_t KIND_FIRST = 1;
constexpr std::uint32_t KIND_MIXED = 5;

// Header fields.
constexpr std::size_t OFF_MAGIC = 0;
constexpr std::size_t OFF_VERSION = 4;
constexpr std::size_t OFF_KIND = 8;
constexpr std::size_t PROLOGUE_SIZE = 8; // magic and version
constexpr std::size_t OFF_TREE_SIZE = 12;
constexpr std::size_t OFF_INNER_SIZE = 16;
constexpr std::size_t OFF_BOX = 20; // left, top, right, bottom: signed 32-bit
constexpr std::size_t OFF_CODING = 36;
constexpr std::size_t OFF_ATTR_COUNT = 42;
constexpr std::size_t OFF_FORMAT_TABLE = 43;
constexpr int FORMAT_TABLE_WORDS = 64; // 16-bit format words
constexpr std::size_t OFF_NAME = 171;
constexpr std::size_t OFF_NAME_NO_TABLE = 43; // version 0x10004
constexpr std::size_t NAME_SIZE = 42;         // 8-bit text, NUL-terminated
constexpr std::size_t HEADER_SIZE = 213;
constexpr std::size_t HEADER_SIZE_NO_TABLE = 85; // version 0x10004

static_assert(OFF_FORMAT_TABLE + 2 * FORMAT_TABLE_WORDS == OFF_NAME);
static_assert(OFF_NAME + NAME_SIZE == HEADER_SIZE);
static_assert(OFF_NAME_NO_TABLE + NAME_SIZE == HEADER_SIZE_NO_TABLE);

inline std::size_t header_size(std::uint32_t version)
{
    return has_format_table(version) ? HEADER_SIZE : HEADER_SIZE_NO_TABLE;
}
inline std::size_t name_offset(std::uint32_t version)
{
    return has_format_table(version) ? OFF_NAME : OFF_NAME_NO_TABLE;
}

// The coding block (in geometry files at OFF_CODING, in heap geometry
// headers too), offsets within it.
namespace coding {
constexpr std::size_t AUX_WIDTH = 0;    // 0 .. 2
constexpr std::size_t DEFAULT_AUX = 1;  // signed 16-bit
constexpr std::size_t TYPE_WIDTH = 3;   // 0 .. 2
constexpr std::size_t DEFAULT_TYPE = 4;
constexpr std::size_t FLAGS = 5;
constexpr std::size_t SIZE = 6;         // the attribute byte count may follow
constexpr int MAX_WIDTH = 2;
constexpr BYTE FLAG_IDS = 1;
constexpr BYTE FLAG_THREE_BYTE_COORDS = 2;
} // namespace coding

// Node table. A node's handle is its index: inner nodes first.
constexpr std::size_t INNER_NODE_SIZE = 26;
constexpr std::size_t LEAF_NODE_SIZE = 8;
constexpr std::size_t NODE_BUCKET_OFFSET = 0; // u32: file offset of the bucket
constexpr std::size_t NODE_BUCKET_LENGTH = 4; // u16: its length, 0 = empty
// Inner nodes: the split values (signed 24-bit) and four 16-bit child
// handles for quarters 0 to 3 (0 = none).
constexpr std::size_t INNER_X2S = 6;  // left edge of the right children
constexpr std::size_t INNER_X1E = 9;  // right edge of the left children
constexpr std::size_t INNER_Y1E = 12; // far edge of quarters 0 and 1
constexpr std::size_t INNER_Y2S = 15; // near edge of quarters 2 and 3
constexpr std::size_t INNER_CHILDREN = 18;
// Leaves: the handle of the parent inner node (signed 16-bit).
constexpr std::size_t LEAF_PARENT = 6;
// Handles are 16-bit.
constexpr std::uint32_t MAX_NODES = 0x10000;

// A bucket in the file: the decompressed size, then the zlib stream.
constexpr std::size_t BUCKET_SIZE_WORD = 2;
constexpr std::uint32_t MAX_BUCKET_LENGTH = 0xFFFF;
// A decompressed bucket (not of version 0x10004): the end of the records
// with compact (format-table) headers first.
constexpr std::size_t COMPACT_END_WORD = 2;

// Record ids: with ids the records begin with 4 id bytes whose last byte
// holds the record kind - 1 in its top two bits; the id is the signed
// 30-bit rest.
constexpr std::size_t ID_SIZE = 4;
constexpr std::size_t ID_KIND_BYTE = 3;
constexpr int ID_KIND_SHIFT = 6;

// Signed 24-bit values (node splits and three-byte coordinates) from their
// three bytes as read.
inline std::int32_t s24(std::uint32_t v)
{
    return static_cast<std::int32_t>(v << 8) >> 8;
}
inline std::int32_t get_s24(const BYTE* p)
{
    return s24(xr_bytes::get_u24_le(p));
}

// The 30-bit id of a record from its four bytes as read.
inline std::int32_t id_value(std::uint32_t v)
{
    return static_cast<std::int32_t>(v << 2) >> 2;
}

} // namespace xrqt
