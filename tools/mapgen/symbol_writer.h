// Writer of symbol library files: the magic "XRSF", version 1, the number of
// symbols, then one record per symbol (code, length, drawing program), with
// a builder of drawing programs.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/container/xr_bytes.h"
#include "common/container/xr_defs.h"
#include "common/symbol/xr_symbollayout.h"

// Builds a drawing program: 16-bit little-endian command codes, signed
// 32-bit coordinates in symbol units.
class XrSymbolProgram {
public:
    using Point = std::pair<int, int>;

    XrSymbolProgram& polyline(const std::vector<Point>& points);
    XrSymbolProgram& polygon(const std::vector<Point>& points);
    XrSymbolProgram& ellipse(int cx, int cy, int rx, int ry);
    XrSymbolProgram& filled_ellipse(int cx, int cy, int rx, int ry);
    // 0xFFFF keeps the current brush or pen.
    XrSymbolProgram& select(std::uint16_t brush, std::uint16_t pen);
    XrSymbolProgram& end();
    // Any bytes, as given (for damaged programs).
    XrSymbolProgram& raw(const std::vector<BYTE>& bytes);

    const std::vector<BYTE>& bytes() const { return m_out.bytes(); }

private:
    XrSymbolProgram& points(std::uint16_t code, const std::vector<Point>& points);
    XrSymbolProgram& ellipse(std::uint16_t code, int cx, int cy, int rx, int ry);

    XrByteWriter m_out;
};

struct XrSymbolDef {
    std::uint16_t code = 0;
    std::vector<BYTE> program;
};

// The library file; version is the one written into the header.
std::vector<BYTE> symbol_library(const std::vector<XrSymbolDef>& symbols,
                                 std::uint32_t version = xr_symbol_layout::VERSION);
// Writes the library (to a temporary name, then renamed).
bool write_symbol_library(const std::string& path, const std::vector<XrSymbolDef>& symbols, std::string& error);
