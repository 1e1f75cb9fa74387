// Writer of traffic data files "trafficdata_<country>.bin" (the layout of
// apps/services/xr_trafficdatalayout.h): records, the penalty section and
// the record index. The server's updates are GDIFF differences between two
// such files (gdiff_writer.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "apps/services/xr_trafficdatalayout.h"
#include "common/container/xr_defs.h"

struct XrTrafficItemDef {
    std::uint8_t kind = 1;
    std::uint16_t event_code = 0;
    std::uint8_t flags = 0;
    // Empty: an item without quantity (5 bytes); else at most 3 characters.
    std::string unit;
    double quantity = 0.0;
};

struct XrTrafficRecordDef {
    std::uint32_t event_id = 0;
    std::uint8_t revision = 0;
    std::uint8_t flags = 0;
    std::uint32_t start = 0;
    std::uint32_t end = 0;
    std::string name; // UTF-8; written with its NUL (an empty name: k = 0)
    std::vector<XrTrafficItemDef> items;
    // flags bit 0: the table and codes, then the optional point.
    std::uint16_t tmc_table = 0;
    std::vector<std::uint16_t> tmc_codes;
    std::optional<std::pair<std::uint32_t, std::uint32_t>> tmc_point;
    // flags bit 1: the coordinate pairs (x, y).
    std::vector<std::pair<std::uint32_t, std::uint32_t>> points;
};

struct XrTrafficPenaltyDef {
    std::uint8_t fade_threshold = 50;
    std::uint8_t reference_speed = 80;
    std::uint8_t max_speed = 150;
    struct Row {
        std::uint8_t cls, share, delay;
    };
    struct Multiplier {
        std::uint8_t weekdays, from_hour, to_hour, percent;
    };
    std::vector<Row> rows;
    std::vector<Multiplier> multipliers;
};

struct XrTrafficFileDef {
    std::uint32_t header_value = 0;
    std::optional<XrTrafficPenaltyDef> penalty;
    std::string country; // at most 3 characters
    // Written in ascending event id order.
    std::vector<XrTrafficRecordDef> records;
};

// A coordinate in degrees as stored (degrees x 100000, as unsigned).
std::uint32_t traffic_coordinate(double degrees);
std::vector<BYTE> build_traffic_record(const XrTrafficRecordDef& record);
std::vector<BYTE> build_traffic_file(const XrTrafficFileDef& file);
// Writes through a temporary file renamed over path.
bool write_traffic_file(const std::string& path, const XrTrafficFileDef& file);
