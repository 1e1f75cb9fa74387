// Layout of a traffic strings file "strings_<language>.bin" (little-endian),
// shared by its reader, its writer and the tests: an index of 6-byte entries
// {text offset (u32), text length (u16)}, the entry of event code c at
// offset c * 6 (entry 0 unused, offset 0: no text), then the UTF-8 texts
// without terminator.
#pragma once

#include <cstdint>

namespace xr_traffic_strings_layout {

constexpr unsigned int ENTRY_SIZE = 6;
constexpr unsigned int ENTRY_OFFSET = 0; // u32
constexpr unsigned int ENTRY_LENGTH = 4; // u16
constexpr std::uint16_t FIRST_CODE = 1;
constexpr std::uint16_t LAST_CODE = 2047;

} // namespace xr_traffic_strings_layout
