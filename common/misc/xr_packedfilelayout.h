// Layout of packed file arrays (little-endian), shared by their readers,
// their writer and the tests: a directory somewhere in the file (its offset
// is the containing format's business) and one entry per item.
//
//   directory   count n (u32), then n entry offsets (u32)
//   entry       uncompressed length (u32), compressed length (u32), then the
//               zlib stream of the item
#pragma once

namespace xr_packed_file_layout {

constexpr unsigned int DIRECTORY_COUNT = 0;
constexpr unsigned int DIRECTORY_HEAD = 4;
constexpr unsigned int OFFSET_SIZE = 4;

constexpr unsigned int ENTRY_PLAIN_LENGTH = 0;
constexpr unsigned int ENTRY_PACKED_LENGTH = 4;
constexpr unsigned int ENTRY_HEAD = 8;

} // namespace xr_packed_file_layout
