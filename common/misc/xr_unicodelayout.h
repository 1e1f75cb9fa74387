// Layout of the character table file "unicode.binmap" (little-endian),
// shared by its reader, its writer and their tests:
//
//   0    4           N, the number of entries of each case table
//   4    4 (N + 10)  the folding table
//        4 N         the upper-case table
//        4 N         the lower-case table
//
// An entry: the character (u16), then its mapped character (u16); every
// table is sorted by character.
#pragma once

#include <cstddef>
#include <cstdint>

namespace xr_unicode_layout {

constexpr unsigned int COUNT_OFFSET = 0; // u32
constexpr unsigned int TABLES_OFFSET = 4;
constexpr unsigned int ENTRY_SIZE = 4;
constexpr unsigned int ENTRY_CHAR = 0;   // u16
constexpr unsigned int ENTRY_MAPPED = 2; // u16
// The folding table holds this many entries more than the case tables.
constexpr unsigned int EXTRA_FOLD_ENTRIES = 10;
// N must be below this.
constexpr unsigned int MAX_TABLE_SIZE = 0xFFFF;

// The size of a file whose case tables hold n entries each.
constexpr std::size_t file_size(unsigned int n)
{
    return TABLES_OFFSET + (3 * static_cast<std::size_t>(n) + EXTRA_FOLD_ENTRIES) * ENTRY_SIZE;
}

} // namespace xr_unicode_layout
