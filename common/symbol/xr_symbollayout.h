// Layout of symbol library files (magic "XRSF", version 1, little-endian)
// and of the drawing programs they hold, shared by the readers, the writer
// and their tests.
//
//   0    4   magic "XRSF"
//   4    4   version, 1
//   8    4   number of symbols (not relied on: records run to the end)
//   12       records: code (u16), program length (u16), drawing program
#pragma once

#include <cstdint>

namespace xr_symbol_layout {

constexpr char MAGIC[4] = {'X', 'R', 'S', 'F'};
constexpr unsigned int MAGIC_SIZE = 4;
constexpr unsigned int VERSION_OFFSET = 4; // u32
constexpr std::uint32_t VERSION = 1;
constexpr unsigned int COUNT_OFFSET = 8; // u32
constexpr unsigned int HEADER_SIZE = 12;

constexpr unsigned int RECORD_CODE = 0;   // u16
constexpr unsigned int RECORD_LENGTH = 2; // u16
constexpr unsigned int RECORD_HEAD = 4;

// A drawing program: commands, each a u16 code and its fields; points and
// radii are signed 32-bit symbol units, the origin at the drawing point.
constexpr std::uint16_t CMD_END = 0;
constexpr std::uint16_t CMD_POLYLINE = 1;
constexpr std::uint16_t CMD_POLYGON = 3;
constexpr std::uint16_t CMD_ELLIPSE = 5;
constexpr std::uint16_t CMD_FILLED_ELLIPSE = 6;
constexpr std::uint16_t CMD_SELECT = 9;

constexpr unsigned int END_SIZE = 2;
// Polyline and polygon: count n (u16), then n points (x, y).
constexpr unsigned int POINTS_COUNT = 2;
constexpr unsigned int POINTS_HEAD = 4;
constexpr unsigned int POINT_SIZE = 8;
// Ellipse: u16 unused, centre x, y, radius x, y.
constexpr unsigned int ELLIPSE_CX = 4;
constexpr unsigned int ELLIPSE_CY = 8;
constexpr unsigned int ELLIPSE_RX = 12;
constexpr unsigned int ELLIPSE_RY = 16;
constexpr unsigned int ELLIPSE_SIZE = 20;
// Select: brush index (u16), pen index (u16), u16 unused.
constexpr unsigned int SELECT_BRUSH = 2;
constexpr unsigned int SELECT_PEN = 4;
constexpr unsigned int SELECT_SIZE = 8;
// A select index that keeps the current brush or pen.
constexpr std::uint16_t KEEP = 0xFFFF;

} // namespace xr_symbol_layout
