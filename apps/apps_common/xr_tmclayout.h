// Layout of the TMC tables "tmc_paths.bin" and "tmc_locations.bin"
// (little-endian), shared by their reader, their writer and the tests.
//
// tmc_paths.bin:
//   0             N, the number of buckets (u32)
//   4             N + 1 bucket offsets (u32); the last ends the bucket entries
//   8 + 4 N       K, the number of paths (u32)
//   12 + 4 N      the path table: K entries {offset, edges << 16 | points}
//                 (u32 each); the first path of a group has the file offset
//                 of the group's stream, the others their offset inside it
//   buckets       entries {location key, record offset} (u32 each)
//   records       a count byte, then entries {path << 16 | position (u32),
//                 extra (u16)}
//   groups        zlib streams of PATHS_PER_GROUP paths: per path its edge
//                 ids (u32), then its points {position (u16), x, y (u32)}
//
// tmc_locations.bin:
//   0             N, the number of buckets (u32)
//   4             N bucket offsets (u32); a bucket runs to the next one (the
//                 last to the end of the file)
//   buckets       records: location key (u32), a count byte M, M values
//                 (u32), x, y (u32)
//
// Coordinates are stored with the top bit inverted.
#pragma once

#include <cstdint>

namespace xr_tmc_layout {

constexpr unsigned int BUCKET_COUNT_OFFSET = 0;
constexpr unsigned int BUCKET_OFFSETS = 4;
constexpr unsigned int OFFSET_SIZE = 4;
constexpr std::uint32_t path_count_offset(std::uint32_t buckets)
{
    return BUCKET_OFFSETS + OFFSET_SIZE * (buckets + 1);
}
constexpr std::uint32_t path_table_offset(std::uint32_t buckets)
{
    return path_count_offset(buckets) + 4;
}

constexpr unsigned int PATH_INFO_SIZE = 8;
constexpr unsigned int PATH_OFFSET = 0; // u32
constexpr unsigned int PATH_COUNTS = 4; // u32: edges << 16 | points

constexpr unsigned int BUCKET_ENTRY_SIZE = 8;
constexpr unsigned int BUCKET_KEY = 0;    // u32
constexpr unsigned int BUCKET_RECORD = 4; // u32

constexpr unsigned int RECORD_HEAD = 1; // the count byte
constexpr unsigned int RECORD_ENTRY_SIZE = 6;
constexpr unsigned int ENTRY_PATH = 0;  // u32: path << 16 | position
constexpr unsigned int ENTRY_EXTRA = 4; // u16
constexpr unsigned int MAX_RECORD_ENTRIES = 255;

constexpr unsigned int PATHS_PER_GROUP = 5;
constexpr unsigned int EDGE_SIZE = 4;
constexpr unsigned int POINT_SIZE = 10;
constexpr unsigned int POINT_POSITION = 0; // u16
constexpr unsigned int POINT_X = 2;        // u32
constexpr unsigned int POINT_Y = 6;        // u32

constexpr unsigned int LOCATION_KEY = 0;   // u32
constexpr unsigned int LOCATION_COUNT = 4; // byte
constexpr unsigned int LOCATION_HEAD = 5;
constexpr unsigned int VALUE_SIZE = 4;
constexpr unsigned int LOCATION_POSITION_SIZE = 8;

constexpr std::uint32_t COORDINATE_BIAS = 0x80000000u;
constexpr std::uint32_t stored_coordinate(std::int32_t value)
{
    return static_cast<std::uint32_t>(value) ^ COORDINATE_BIAS;
}
constexpr std::int32_t coordinate(std::uint32_t stored)
{
    return static_cast<std::int32_t>(stored ^ COORDINATE_BIAS);
}

} // namespace xr_tmc_layout
