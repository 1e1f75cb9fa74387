// Layout of heap storage files ("XRHS"), shared by XrHeapStorage (which
// reads and writes them) and the tests. All numbers are 32-bit
// little-endian; offsets count from the start of the storage, 0 = none.
//
//   file header: magic, version, used-list head, free-list head, root value;
//   then blocks back to back: a block header (id, 0 while free; capacity;
//   data length; next and previous block of its list) and capacity bytes of
//   data.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/container/xr_defs.h"

namespace xr_heap_layout {

constexpr BYTE MAGIC[4] = {'X', 'R', 'H', 'S'};
constexpr std::size_t MAGIC_SIZE = sizeof MAGIC;
constexpr std::uint32_t FORMAT_VERSION = 1;

// File header.
constexpr std::uint32_t HDR_MAGIC = 0;
constexpr std::uint32_t HDR_VERSION = 4;
constexpr std::uint32_t HDR_USED_HEAD = 8;
constexpr std::uint32_t HDR_FREE_HEAD = 12;
constexpr std::uint32_t HDR_ROOT = 16;
constexpr std::uint32_t FILE_HDR_SIZE = 20;

// Block header.
constexpr std::uint32_t BLK_ID = 0;
constexpr std::uint32_t BLK_CAPACITY = 4;
constexpr std::uint32_t BLK_LENGTH = 8;
constexpr std::uint32_t BLK_NEXT = 12;
constexpr std::uint32_t BLK_PREV = 16;
constexpr std::uint32_t BLOCK_HDR_SIZE = 20;

} // namespace xr_heap_layout
