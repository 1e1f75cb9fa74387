// Layout of the roadblock file "blks.bin": no header, no terminator, one
// 9-byte record per roadblock in list order, little-endian.
#pragma once

#include <cstddef>

namespace xr_blks {

constexpr std::size_t RECORD_SIZE = 9;
constexpr std::size_t KIND_OFFSET = 0; // 1 byte, always KIND_POINT
constexpr std::size_t X_OFFSET = 1;    // signed 32-bit, map units
constexpr std::size_t Y_OFFSET = 5;    // signed 32-bit, map units
constexpr unsigned char KIND_POINT = 0;
// Geometry record type of a roadblock on the map.
constexpr int MAP_RECORD_TYPE = 93;

} // namespace xr_blks
