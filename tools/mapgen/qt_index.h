// Writer of the quadtree point index (an index file and its ".data"
// companion), through the library's own builder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/db/qt/xr_geodata.h"

struct QtIndexPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::string payload;
};

// Builds path and path + ".data" from the points, with work files in a
// private folder inside temp_dir (empty: the folder of path); the builder's
// status.
SSGeoDataStatus write_qt_index(const std::string& path, const std::string& temp_dir, const SSRect& area,
                               const std::vector<QtIndexPoint>& points, std::uint32_t memory_limit = 0);
// A sample index: a 40 x 25 grid of named points.
bool write_demo_qt_index(const std::string& path);
