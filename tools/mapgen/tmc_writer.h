// The TMC tables "tmc_paths.bin" and "tmc_locations.bin" (the layout of
// xr_tmclayout.h).
#pragma once

#include <cstdint>
#include <vector>

#include "apps/apps_common/xr_tmclayout.h"

struct TmcPathEntryDef {
    std::uint16_t path_id = 0;
    std::uint16_t position = 0;
    std::uint16_t extra = 0;
};

// A location's path record (a location key: table << 16 | code).
struct TmcPathLocationDef {
    std::uint32_t key = 0;
    std::vector<TmcPathEntryDef> entries;
};

struct TmcPointDef {
    std::uint16_t position = 0;
    std::int32_t x = 0;
    std::int32_t y = 0;
};

// A road path: its edge ids in order and its points sorted by position.
struct TmcPathDef {
    std::vector<std::uint32_t> edges;
    std::vector<TmcPointDef> points;
};

struct TmcLocationDef {
    std::uint32_t key = 0;
    std::vector<std::uint32_t> values;
    std::int32_t x = 0;
    std::int32_t y = 0;
};

// "tmc_paths.bin" with the given bucket count; records of one bucket keep
// their order. The paths are packed five to a zlib stream.
std::vector<std::uint8_t> tmc_paths_file(std::uint32_t buckets, const std::vector<TmcPathLocationDef>& locations,
                                         const std::vector<TmcPathDef>& paths);
// "tmc_locations.bin" with the given bucket count.
std::vector<std::uint8_t> tmc_locations_file(std::uint32_t buckets, const std::vector<TmcLocationDef>& locations);
// A coordinate as stored: the top bit inverted.
std::uint32_t tmc_stored_coordinate(std::int32_t value);
