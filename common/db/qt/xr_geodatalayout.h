// Layout of the point index files (an index file and its ".data"
// companion), shared by the builder, the searcher, the writer in
// tools/mapgen (which drives the builder) and the tests. Numbers are
// little-endian.
//
// Index file: the area (min x, min y, max x, max y: int32), then one u32
// node word per non-empty node in pre-order (children in quarter order
// 0-3): the child flags in the top four bits (bit 31 for quarter 0 down to
// bit 28 for quarter 3) and the node's data offset / 16 below them.
// Data file: per node in the same order a u32 count word (the points below
// the node; bit 31 set for an inner node). The count words of inner nodes
// follow each other; a leaf continues with its points in compressed blocks
// and is padded with zeros to a multiple of 16 bytes.
// A compressed block: u16 raw length - 1, u16 stored length - 1, then the
// stored bytes: a zlib stream of the raw bytes when shorter than them, else
// the raw bytes themselves.
// A point: dx, dy (u32 differences from the leaf's previous point; the
// first point's are relative to the area's minimum corner), the payload
// length (u16), the payload.
#pragma once

#include <cstddef>
#include <cstdint>

// The data file's name: the index file's name and this.
constexpr const char* SSGEO_DATA_SUFFIX = ".data";

// Bytes of the index file header (the area).
constexpr std::uint32_t SSGEO_INDEX_HEADER = 16;
// Bytes of a node word and of a count word.
constexpr std::uint32_t SSGEO_WORD_SIZE = 4;
// Node words: the child flags above this bit, the data offset unit below.
constexpr unsigned SSGEO_FLAGS_SHIFT = 28;
constexpr std::uint32_t SSGEO_OFFSET_MASK = 0x0FFFFFFFu;
// Unit of node word offsets and alignment of the leaves in the data file.
constexpr std::uint32_t SSGEO_DATA_ALIGN = 16;
// Bit of a count word that marks an inner node.
constexpr std::uint32_t SSGEO_INNER_NODE = 0x80000000u;

// Raw bytes of one compressed block, and its header.
constexpr std::uint32_t SSGEO_BLOCK_SIZE = 32768;
constexpr std::size_t SSGEO_BLOCK_HEADER = 4;
// Bytes of a point before its payload, and where its payload length lies.
constexpr std::size_t SSGEO_POINT_HEADER = 10;
constexpr std::size_t SSGEO_POINT_LENGTH = 8;

// The child flags of a node word.
inline unsigned geo_node_flags(std::uint32_t word)
{
    return word >> SSGEO_FLAGS_SHIFT;
}
// The flag of quarter q (0 to 3).
inline unsigned geo_quarter_flag(unsigned q)
{
    return 8u >> q;
}
// A node word of the child flags and a data file position.
inline std::uint32_t geo_node_word(unsigned flags, std::uint64_t position)
{
    return static_cast<std::uint32_t>(flags) << SSGEO_FLAGS_SHIFT |
           static_cast<std::uint32_t>(position / SSGEO_DATA_ALIGN);
}
