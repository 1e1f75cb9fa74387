// Writer of symbol library files: the magic "XRSF", version 1, the number of
// symbols, then one record per symbol (code, length, drawing program), with
// a builder of drawing programs.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/container/xr_defs.h"

// Builds a drawing program: 16-bit little-endian command codes, signed
// 32-bit coordinates in symbol units.
class XrSymbolProgram {
public:
    using Point = std::pair<int, int>;

    XrSymbolProgram& polyline(const std::vector<Point>& points); // command 1
    XrSymbolProgram& polygon(const std::vector<Point>& points);  // command 3
    XrSymbolProgram& ellipse(int cx, int cy, int rx, int ry);     // command 5
    XrSymbolProgram& filled_ellipse(int cx, int cy, int rx, int ry); // command 6
    // Command 9; 0xFFFF keeps the current brush or pen.
    XrSymbolProgram& select(std::uint16_t brush, std::uint16_t pen);
    XrSymbolProgram& end(); // command 0
    // Any bytes, as given (for damaged programs).
    XrSymbolProgram& raw(const std::vector<BYTE>& bytes);

    const std::vector<BYTE>& bytes() const { return m_bytes; }

private:
    void u16(std::uint32_t v);
    void i32(int v);
    XrSymbolProgram& points(std::uint16_t code, const std::vector<Point>& points);
    XrSymbolProgram& ellipse(std::uint16_t code, int cx, int cy, int rx, int ry);

    std::vector<BYTE> m_bytes;
};

struct XrSymbolDef {
    std::uint16_t code = 0;
    std::vector<BYTE> program;
};

// The library file; version is the one written into the header.
std::vector<BYTE> symbol_library(const std::vector<XrSymbolDef>& symbols, std::uint32_t version = 1);
// Writes the library (to a temporary name, then renamed).
bool write_symbol_library(const std::string& path, const std::vector<XrSymbolDef>& symbols, std::string& error);
