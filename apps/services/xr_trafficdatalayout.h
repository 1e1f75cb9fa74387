// Layout of the traffic data files "trafficdata_<country>.bin", shared by
// their reader (XrTrafficInfoFile), their writer (tools/mapgen) and the
// tests. Integers are little-endian.
//
// File: a 4-byte header value (the version the client holds), then
// sections {type u8, payload length u32, payload}.
// Section 1, penalty parameters: three limit bytes, a count n and n class
// rows {class, share, delay}, a count m and m multiplier rows {weekday
// mask, from hour, to hour, percent}, one byte each.
// Section 2, record index: a country text of 4 bytes (NUL-padded), a u16
// record count, then entries {u16 length counting itself, record}.
// Record: u32 event id, u8 revision, u8 flags, u32 start, u32 end (seconds
// since 1970, end 0: open), u8 name length k (with its NUL), k name bytes
// (UTF-8), u8 item count (< 32), items, u16 location count N, locations.
// Item: u8 kind, u16 event code, u8 item flags, then either one 0 byte or
// 4 bytes unit text (first byte not 0) and a 16.16 fixed-point quantity.
// Locations: flags bit 0: (N > 0) u16 table number and N u16 TMC codes,
// then optionally one coordinate pair; flags bit 1: N coordinate pairs;
// a pair is u32 x, u32 y in degrees x 100000, longitude first.
#pragma once

#include <cstdint>

namespace xr_trafficdata_layout {

constexpr unsigned int HEADER_SIZE = 4;
constexpr unsigned int SECTION_HEAD_SIZE = 5; // type, length

constexpr std::uint8_t SECTION_PENALTY = 1;
constexpr std::uint8_t SECTION_INDEX = 2;

constexpr unsigned int PENALTY_LIMITS_SIZE = 3;
constexpr unsigned int CLASS_ROW_SIZE = 3;
constexpr unsigned int MULTIPLIER_ROW_SIZE = 4;

constexpr unsigned int COUNTRY_TEXT_SIZE = 4;
constexpr unsigned int INDEX_HEAD_SIZE = 6; // country text, record count
constexpr unsigned int ENTRY_LENGTH_SIZE = 2;
// The smallest entry the index takes: its length, the event id and the
// revision.
constexpr unsigned int MIN_ENTRY_LENGTH = ENTRY_LENGTH_SIZE + 5;

// Offsets inside a record.
constexpr unsigned int REC_EVENT_ID = 0;
constexpr unsigned int REC_REVISION = 4;
constexpr unsigned int REC_FLAGS = 5;
constexpr unsigned int REC_START = 6;
constexpr unsigned int REC_END = 10;
constexpr unsigned int REC_NAME_LENGTH = 14;
constexpr unsigned int REC_NAME = 15;

constexpr std::uint8_t FLAG_TMC = 0x01;
constexpr std::uint8_t FLAG_COORDINATES = 0x02;
constexpr std::uint8_t FLAG_DIRECTION_2 = 0x04;

constexpr unsigned int MAX_ITEMS = 31;
constexpr unsigned int UNIT_TEXT_SIZE = 4;
constexpr double QUANTITY_SCALE = 65536.0;
constexpr double COORDINATE_SCALE = 100000.0;

} // namespace xr_trafficdata_layout
