// Layout of multi-bitmap (MBM) files (little-endian), shared by their
// reader, their writer and the tests.
//
// Plain kind: UID1, UID2_PLAIN, two zero words, the directory's offset at
// 16, the bitmap records, then the directory (a count, then the record
// offsets: the packed file array's directory layout).
// Packed kind: UID1, UID2_PACKED, then a packed file array whose directory
// is at 8 and whose items are the records.
//
// A record: the 40-byte header of ten u32 fields, maybe more header bytes
// (up to the header length), then the pixel data.
#pragma once

#include <cstdint>

namespace xr_mbm_layout {

constexpr std::uint32_t UID1 = 0x10000037;
constexpr std::uint32_t UID2_PLAIN = 0x10000042;
constexpr std::uint32_t UID2_PACKED = 0x10101042;
constexpr unsigned int UID1_OFFSET = 0;
constexpr unsigned int UID2_OFFSET = 4;
constexpr unsigned int UIDS_SIZE = 8;
// The plain kind's word with the directory offset, and its head's size.
constexpr unsigned int PLAIN_DIRECTORY_POINTER = 16;
constexpr unsigned int PLAIN_HEAD_SIZE = 20;
// The packed kind's directory.
constexpr unsigned int PACKED_DIRECTORY = 8;

// Record header fields (u32).
constexpr unsigned int HEADER_SIZE = 40;
constexpr unsigned int RECORD_LENGTH = 0;
constexpr unsigned int HEADER_LENGTH = 4;
constexpr unsigned int WIDTH = 8;
constexpr unsigned int HEIGHT = 12;
constexpr unsigned int TWIPS_WIDTH = 16;
constexpr unsigned int TWIPS_HEIGHT = 20;
constexpr unsigned int BITS_PER_PIXEL = 24;
constexpr unsigned int COLOR_FLAG = 28;
constexpr unsigned int PALETTE_ENTRIES = 32;
constexpr unsigned int COMPRESSION = 36;
constexpr unsigned int HEADER_FIELDS = 10;

// Compressions.
constexpr std::uint32_t COMPRESSION_NONE = 0;
constexpr std::uint32_t COMPRESSION_RLE_BYTE = 1;
constexpr std::uint32_t COMPRESSION_RLE_12BIT = 2;
constexpr std::uint32_t COMPRESSION_RLE_16BIT = 3;
constexpr std::uint32_t COMPRESSION_RLE_24BIT = 4;

// Byte run-length: a marker below RLE_LITERALS repeats the next byte marker
// + 1 times; a marker of RLE_LITERALS or more is followed by 256 - marker
// literal bytes.
constexpr unsigned int RLE_LITERALS = 128;
constexpr unsigned int RLE_MAX_RUN = 128;
// 12-bit run-length: u16 words, each a run of (word >> RLE12_RUN_SHIFT) + 1
// pixels of the three 4-bit channels of its low 12 bits.
constexpr unsigned int RLE12_RUN_SHIFT = 12;
constexpr unsigned int RLE12_MAX_RUN = 16;
constexpr std::uint16_t RLE12_VALUE_MASK = 0x0FFF;
// Pixels of a decoded 12-bit picture: four bytes.
constexpr unsigned int RLE12_PIXEL_SIZE = 4;

} // namespace xr_mbm_layout
