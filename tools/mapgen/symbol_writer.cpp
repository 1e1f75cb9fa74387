#include "tools/mapgen/symbol_writer.h"

#include "tools/mapgen/geom_tree.h"

void XrSymbolProgram::u16(std::uint32_t v)
{
    m_bytes.push_back(static_cast<BYTE>(v));
    m_bytes.push_back(static_cast<BYTE>(v >> 8));
}

void XrSymbolProgram::i32(int v)
{
    const auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i)
        m_bytes.push_back(static_cast<BYTE>(u >> (8 * i)));
}

XrSymbolProgram& XrSymbolProgram::points(std::uint16_t code, const std::vector<Point>& pts)
{
    u16(code);
    u16(static_cast<std::uint32_t>(pts.size()));
    for (const Point& p : pts) {
        i32(p.first);
        i32(p.second);
    }
    return *this;
}

XrSymbolProgram& XrSymbolProgram::ellipse(std::uint16_t code, int cx, int cy, int rx, int ry)
{
    u16(code);
    u16(0);
    i32(cx);
    i32(cy);
    i32(rx);
    i32(ry);
    return *this;
}

XrSymbolProgram& XrSymbolProgram::polyline(const std::vector<Point>& pts)
{
    return points(1, pts);
}

XrSymbolProgram& XrSymbolProgram::polygon(const std::vector<Point>& pts)
{
    return points(3, pts);
}

XrSymbolProgram& XrSymbolProgram::ellipse(int cx, int cy, int rx, int ry)
{
    return ellipse(5, cx, cy, rx, ry);
}

XrSymbolProgram& XrSymbolProgram::filled_ellipse(int cx, int cy, int rx, int ry)
{
    return ellipse(6, cx, cy, rx, ry);
}

XrSymbolProgram& XrSymbolProgram::select(std::uint16_t brush, std::uint16_t pen)
{
    u16(9);
    u16(brush);
    u16(pen);
    u16(0);
    return *this;
}

XrSymbolProgram& XrSymbolProgram::end()
{
    u16(0);
    return *this;
}

XrSymbolProgram& XrSymbolProgram::raw(const std::vector<BYTE>& bytes)
{
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    return *this;
}

std::vector<BYTE> symbol_library(const std::vector<XrSymbolDef>& symbols, std::uint32_t version)
{
    std::vector<BYTE> out = {'X', 'R', 'S', 'F'};
    auto put = [&out](std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            out.push_back(static_cast<BYTE>(v >> (8 * i)));
    };
    put(version, 4);
    put(static_cast<std::uint32_t>(symbols.size()), 4);
    for (const XrSymbolDef& s : symbols) {
        put(s.code, 2);
        put(static_cast<std::uint32_t>(s.program.size()), 2);
        out.insert(out.end(), s.program.begin(), s.program.end());
    }
    return out;
}

bool write_symbol_library(const std::string& path, const std::vector<XrSymbolDef>& symbols, std::string& error)
{
    return xr_write_file_atomic(path, symbol_library(symbols), error);
}
