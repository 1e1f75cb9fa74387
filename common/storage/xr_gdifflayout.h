// Layout of difference files in the Generic Diff Format (GDIFF), shared by
// the reader (apply_gdiff), the writer (tools/mapgen/gdiff_writer) and the
// tests. Integers are big-endian.
//
//   header: the magic bytes and the version; then commands: 1 to 246 that
//   many literal bytes (DATA), 247 and 248 DATA with a 16- or 32-bit length,
//   249 to 254 COPY of a range of the old data (position and length fields
//   of the widths below), 255 COPY with a 64-bit position; 0 ends the file.
#pragma once

#include <cstddef>

#include "common/container/xr_defs.h"

namespace xr_gdiff_layout {

constexpr BYTE MAGIC[4] = {0xD1, 0xFF, 0xD1, 0xFF};
constexpr BYTE FORMAT_VERSION = 4;
constexpr std::size_t HEADER_SIZE = sizeof MAGIC + 1;

constexpr int CMD_END = 0;
constexpr int CMD_DATA_MAX_INLINE = 246;
constexpr int CMD_COPY_LONG_POS = 255;

struct XrGdiffCommand {
    int code;
    bool copy;     // COPY from the old data, else DATA from the difference
    int pos_width; // bytes of the position field (COPY only)
    int len_width; // bytes of the length field
};

// The commands with fields, from 247 on.
constexpr int CMD_FIRST_WITH_FIELDS = 247;
constexpr XrGdiffCommand COMMANDS[8] = {
    {247, false, 0, 2}, {248, false, 0, 4}, {249, true, 2, 1}, {250, true, 2, 2},
    {251, true, 2, 4},  {252, true, 4, 1},  {253, true, 4, 2}, {254, true, 4, 4},
};

} // namespace xr_gdiff_layout
