// Layout of a compiled gettext catalogue (".mo" file), as msgfmt writes it.
// All numbers are 32-bit in the byte order the magic number shows.
//
//   header        magic (u32), revision (u32), string count n (u32),
//                 offset of the original table (u32), offset of the
//                 translation table (u32), hash size (u32), hash offset (u32)
//   tables        n descriptors each: length (u32, without the NUL),
//                 offset (u32) of the NUL-terminated string
//
// Original string i is a message key, translation string i its text; the
// entry with the empty key holds the catalogue's header fields.
#pragma once

#include <cstdint>

namespace xr_mo_layout {

constexpr std::uint32_t MAGIC = 0x950412DEu;         // read little-endian
constexpr std::uint32_t MAGIC_SWAPPED = 0xDE120495u; // the file is big-endian

constexpr unsigned int HEADER_MAGIC = 0;
constexpr unsigned int HEADER_REVISION = 4;
constexpr unsigned int HEADER_COUNT = 8;
constexpr unsigned int HEADER_ORIGINALS = 12;
constexpr unsigned int HEADER_TRANSLATIONS = 16;
constexpr unsigned int HEADER_SIZE = 28;

constexpr unsigned int DESCRIPTOR_LENGTH = 0;
constexpr unsigned int DESCRIPTOR_OFFSET = 4;
constexpr unsigned int DESCRIPTOR_SIZE = 8;

} // namespace xr_mo_layout
