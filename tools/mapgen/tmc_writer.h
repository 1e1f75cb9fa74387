// The TMC tables "tmc_paths.bin" and "tmc_locations.bin".
#pragma once

#include <cstdint>
#include <vector>

struct TmcPathEntrySpec {
    std::uint16_t path_id = 0;
    std::uint16_t position = 0;
    std::uint16_t extra = 0;
};

// A location's path record (a location key: table << 16 | code).
struct TmcPathLocationSpec {
    std::uint32_t key = 0;
    std::vector<TmcPathEntrySpec> entries;
};

struct TmcPointSpec {
    std::uint16_t position = 0;
    std::int32_t x = 0;
    std::int32_t y = 0;
};

// A road path: its edge ids in order and its points sorted by position.
struct TmcPathSpec {
    std::vector<std::uint32_t> edges;
    std::vector<TmcPointSpec> points;
};

struct TmcLocationSpec {
    std::uint32_t key = 0;
    std::vector<std::uint32_t> values;
    std::int32_t x = 0;
    std::int32_t y = 0;
};

// "tmc_paths.bin" with the given bucket count; records of one bucket keep
// their order. The paths are packed five to a zlib stream.
std::vector<std::uint8_t> tmc_paths_file(std::uint32_t buckets, const std::vector<TmcPathLocationSpec>& locations,
                                         const std::vector<TmcPathSpec>& paths);
// "tmc_locations.bin" with the given bucket count.
std::vector<std::uint8_t> tmc_locations_file(std::uint32_t buckets, const std::vector<TmcLocationSpec>& locations);
// A coordinate as stored: the top bit inverted.
std::uint32_t tmc_stored_coordinate(std::int32_t value);
