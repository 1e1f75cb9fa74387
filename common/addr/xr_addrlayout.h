// Layout of the address database "addr.dat" (magic "XRAL", little-endian),
// shared by its reader, its writer and their tests.
//
//   header        48 bytes (6.0), 50 (6.1), 52 (6.2 and later)
//   languages     4 bytes per code (6.2 and later)
//   county area   county records, each at a multiple of 4 (its id = offset / 4)
//   countries     32 bytes per country name
//   block index   8 bytes per block
//   name tree     nodes of 15-byte entries
//   county lists  the county-id lists of the tree entries
//   blocks        zlib streams of the street records
//   suffix table  16 entries of 40 bytes, at the header's suffix offset
#pragma once

#include <cstdint>

#include "common/container/xr_defs.h"

namespace xr_addr_layout {

// ---- Header ----------------------------------------------------------------

constexpr std::uint32_t MAGIC = 'X' | 'R' << 8 | 'A' << 16 | static_cast<std::uint32_t>('L') << 24;
constexpr unsigned int MAGIC_OFFSET = 0;
constexpr unsigned int MAJOR_OFFSET = 4;          // u16
constexpr unsigned int MINOR_OFFSET = 6;          // u16
constexpr unsigned int VERSION_SIZE = 8;          // magic, major, minor
constexpr unsigned int HEADER_COUNT_OFFSET = 8;   // u32, the number of streets
constexpr unsigned int COUNTRY_COUNT_OFFSET = 12; // u32
constexpr unsigned int BLOCK_COUNT_OFFSET = 16;   // u32
constexpr unsigned int COUNTY_SIZE_OFFSET = 20;   // u32, bytes of the county area
constexpr unsigned int TREE_SIZE_OFFSET = 24;     // u32, bytes of the name tree
constexpr unsigned int SUFFIX_OFFSET = 28;        // u32, file offset of the suffix table (0: none)
constexpr unsigned int RESERVED_OFFSET = 32;      // 8 zero bytes
constexpr unsigned int RESERVED_SIZE = 8;
constexpr unsigned int EXTRA_SIZE_OFFSET = 40;    // i16, 6.1 and later
constexpr unsigned int LANGUAGE_COUNT_OFFSET = 42; // u16, 6.2 and later

// major << 16 | minor
constexpr unsigned int VERSION_6_1 = 0x60001;
constexpr unsigned int VERSION_6_2 = 0x60002;
constexpr unsigned int VERSION_6_3 = 0x60003;

constexpr unsigned int HEADER_SIZE_6_0 = 48;
constexpr unsigned int HEADER_SIZE_6_1 = 50;
constexpr unsigned int HEADER_SIZE_6_2 = 52;
constexpr unsigned int header_size(unsigned int version)
{
    return version >= VERSION_6_2 ? HEADER_SIZE_6_2 : version >= VERSION_6_1 ? HEADER_SIZE_6_1 : HEADER_SIZE_6_0;
}
// The size of a street record's extra field before 6.1.
constexpr int EXTRA_SIZE_6_0 = 4;

// ---- Areas -----------------------------------------------------------------

constexpr unsigned int LANGUAGE_CODE_SIZE = 4;
constexpr unsigned int COUNTY_ALIGN = 4;
constexpr unsigned int COUNTRY_NAME_SIZE = 32;

// Block index entry: inflated size, stored size, file offset and flag.
constexpr unsigned int INDEX_ENTRY_SIZE = 8;
constexpr unsigned int INDEX_INFLATED = 0; // u16
constexpr unsigned int INDEX_STORED = 2;   // u16
constexpr unsigned int INDEX_WHERE = 4;    // u32
// Set in the offset word: the block ends a street sequence.
constexpr std::uint32_t INDEX_LAST_BLOCK = 0x80000000u;
constexpr std::uint32_t INDEX_OFFSET_MASK = 0x7FFFFFFFu;
// Street positions (block << 16 | offset) name blocks in 16 bits.
constexpr unsigned int MAX_BLOCKS = 0xFFFF;

// ---- Name tree -------------------------------------------------------------

// A node: the entry count (u16), then the entries.
constexpr unsigned int NODE_HEAD_SIZE = 2;
constexpr unsigned int ENTRY_SIZE = 15;
constexpr unsigned int ENTRY_KEY = 0;        // u16, the tree key of a folded character (0: end of name)
constexpr unsigned int ENTRY_CHILD_MARK = 2; // u16 CHILD_MARK: the entry leads to a node
constexpr unsigned int ENTRY_CHILD = 4;      // u32, file offset of the child node
constexpr unsigned int ENTRY_BLOCK = 2;      // u32, the street position's block (no child)
constexpr unsigned int ENTRY_OFFSET = 6;     // u16, the street position's offset (no child)
constexpr unsigned int ENTRY_LIST = 8;       // u32, offset in the county-list area (NO_LIST: none)
constexpr unsigned int ENTRY_COUNT = 12;     // i24, streets under the entry
constexpr std::uint16_t CHILD_MARK = 0xFFFF;
constexpr std::uint32_t NO_LIST = 0xFFFFFFFF;
// Tree keys of the digits "0" to "9" (ASCII and extended Arabic-Indic).
constexpr unsigned int DIGIT_KEY = 5008;

// ---- County-id lists -------------------------------------------------------

// Plain: u24 PLAIN_LIST | size, u24 count, then size bytes of ids.
// Compressed: u24 stored size, u24 inflated size, u24 count, then the stream.
constexpr unsigned int LIST_HEAD_SIZE = 6;
constexpr unsigned int PACKED_LIST_HEAD_SIZE = 9;
constexpr std::uint32_t PLAIN_LIST = 0x800000;
constexpr std::uint32_t LIST_SIZE_MASK = 0x7FFFFF;
// Ids ascend; each is one of: a byte (delta << 2 | 1), a u16 (delta << 2 |
// 2), a u24 (id << 2 | 3).
constexpr unsigned int ID_TAG_BITS = 2;
constexpr unsigned int ID_BYTE = 1;
constexpr unsigned int ID_WORD = 2;
constexpr unsigned int ID_ABSOLUTE = 3;
constexpr std::uint32_t ID_BYTE_LIMIT = 64;
constexpr std::uint32_t ID_WORD_LIMIT = 16384;

// ---- Suffix table ----------------------------------------------------------

constexpr int SUFFIX_ENTRIES = 16;
// An entry: u32 non-zero when used; its two zero-terminated 16-bit strings
// from byte 0 on (20 units).
constexpr unsigned int SUFFIX_ENTRY_SIZE = 40;
constexpr int SUFFIX_UNITS = 20;
constexpr unsigned int SUFFIX_TABLE_SIZE = SUFFIX_ENTRIES * SUFFIX_ENTRY_SIZE;

// ---- Street records --------------------------------------------------------

// u24 head: county id, type, shared-name flag.
constexpr unsigned int RECORD_HEAD_SIZE = 3;
constexpr std::uint32_t HEAD_COUNTY_MASK = 0xFFFFF;
constexpr unsigned int HEAD_TYPE_SHIFT = 20;
constexpr std::uint32_t HEAD_TYPE_MASK = 7;
constexpr std::uint32_t HEAD_SHARED_NAME = 0x800000;
// Then (6.2 and later) a language index byte, then the name: bytes from
// FIRST_TEXT_BYTE up ended by a suffix code byte (0: none, 1-15: suffix
// entry code - 1), or with a shared name the u16 block offset of such a name.
constexpr unsigned int LANGUAGE_INDEX_SIZE = 1;
constexpr BYTE FIRST_TEXT_BYTE = 16;
constexpr unsigned int SHARED_NAME_SIZE = 2;
// Then the marker byte: NO_SEGMENTS, u32 gid and the extra field; anything
// else, (6.3 and later) the extra field, the segment header and segments.
constexpr BYTE NO_SEGMENTS = 0;
// The extra field starts with the u32 link (NO_LINK: none) when it has 4 bytes or more.
constexpr unsigned int LINK_SIZE = 4;
constexpr std::uint32_t NO_LINK = 0xFFFFFFFF;

// Segment header byte: the count (low 5 bits, and a second byte unless
// SHORT_COUNT), then u16 upper gid half with COMMON_UPPER.
constexpr BYTE SEG_COUNT_MASK = 31;
constexpr BYTE SEG_SHORT_COUNT = 0x20;
constexpr BYTE SEG_COMMON_UPPER = 0x40;
constexpr BYTE SEG_BYTE_NUMBERS = 0x80;
constexpr unsigned int SEG_SHORT_LIMIT = 32;
constexpr unsigned int MAX_SEGMENTS = 8191;
// A segment: gid (u16 with COMMON_UPPER, else u32), then the house numbers
// left from, left to, right from, right to (bytes with SEG_BYTE_NUMBERS,
// else u16), or the lone no-numbers value.
constexpr BYTE NO_NUMBERS_BYTE = 0xFF;
constexpr std::uint16_t NO_NUMBERS_WORD = 0xFFFE;
// Top bit of a side's from value: the side holds odd and even numbers.
constexpr unsigned int MIXED_BYTE = 0x80;
constexpr unsigned int MIXED_WORD = 0x8000;

} // namespace xr_addr_layout
