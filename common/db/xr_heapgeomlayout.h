// Layout of the blocks of a heap geometry storage (a heap storage file whose
// root block holds a geometry header), shared by the reader
// (XrHeapGeomStorage), the writer (tools/mapgen/heapgeom_writer) and the
// tests. Numbers are little-endian.
//
//   header block: magic "XRQT", version, record kind (as in geometry files),
//   the block of the root node, the coding block of geometry files, then
//   optionally the attribute byte count and the layer name (8-bit text up to
//   a 0 byte or the end of the block);
//   node block: two corners, four child blocks (0 = none), the bucket block
//   (0 = none); a bucket block is one zlib stream of full-header records.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/db/xr_geomfilelayout.h"

namespace xrqt_heap {

// Header block.
constexpr std::size_t OFF_MAGIC = 0;
constexpr std::size_t OFF_VERSION = 4;
constexpr std::size_t OFF_KIND = 8;
constexpr std::size_t OFF_ROOT = 12; // u32: block of the root node
constexpr std::size_t OFF_CODING = 16;
constexpr std::size_t HEADER_SIZE = OFF_CODING + xrqt::coding::SIZE; // the required part
constexpr std::size_t OFF_ATTR_COUNT = 22;                           // optional
constexpr std::size_t OFF_NAME = 23;                                 // optional
constexpr std::size_t LAYER_NAME_MAX = 255;

static_assert(HEADER_SIZE == 22 && OFF_ATTR_COUNT == HEADER_SIZE && OFF_NAME == OFF_ATTR_COUNT + 1);

// Node block.
constexpr std::size_t NODE_CORNERS = 0;  // x_a, y_a, x_b, y_b: signed 32-bit
constexpr std::size_t NODE_CHILDREN = 16; // four u32 blocks, quarters 0 to 3
constexpr std::size_t NODE_BUCKET = 32;   // u32
constexpr std::size_t NODE_SIZE = 36;

} // namespace xrqt_heap
