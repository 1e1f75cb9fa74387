#include "tools/mapgen/symbol_writer.h"

#include "tools/mapgen/geom_tree.h"

namespace L = xr_symbol_layout;

XrSymbolProgram& XrSymbolProgram::points(std::uint16_t code, const std::vector<Point>& pts)
{
    m_out.u16_le(code);
    m_out.u16_le(static_cast<std::uint16_t>(pts.size()));
    for (const Point& p : pts) {
        m_out.u32_le(static_cast<std::uint32_t>(p.first));
        m_out.u32_le(static_cast<std::uint32_t>(p.second));
    }
    return *this;
}

XrSymbolProgram& XrSymbolProgram::ellipse(std::uint16_t code, int cx, int cy, int rx, int ry)
{
    m_out.u16_le(code);
    m_out.u16_le(0);
    for (int v : {cx, cy, rx, ry})
        m_out.u32_le(static_cast<std::uint32_t>(v));
    return *this;
}

XrSymbolProgram& XrSymbolProgram::polyline(const std::vector<Point>& pts)
{
    return points(L::CMD_POLYLINE, pts);
}

XrSymbolProgram& XrSymbolProgram::polygon(const std::vector<Point>& pts)
{
    return points(L::CMD_POLYGON, pts);
}

XrSymbolProgram& XrSymbolProgram::ellipse(int cx, int cy, int rx, int ry)
{
    return ellipse(L::CMD_ELLIPSE, cx, cy, rx, ry);
}

XrSymbolProgram& XrSymbolProgram::filled_ellipse(int cx, int cy, int rx, int ry)
{
    return ellipse(L::CMD_FILLED_ELLIPSE, cx, cy, rx, ry);
}

XrSymbolProgram& XrSymbolProgram::select(std::uint16_t brush, std::uint16_t pen)
{
    m_out.u16_le(L::CMD_SELECT);
    m_out.u16_le(brush);
    m_out.u16_le(pen);
    m_out.u16_le(0);
    return *this;
}

XrSymbolProgram& XrSymbolProgram::end()
{
    m_out.u16_le(L::CMD_END);
    return *this;
}

XrSymbolProgram& XrSymbolProgram::raw(const std::vector<BYTE>& bytes)
{
    m_out.bytes(bytes);
    return *this;
}

std::vector<BYTE> symbol_library(const std::vector<XrSymbolDef>& symbols, std::uint32_t version)
{
    XrByteWriter out;
    out.bytes(L::MAGIC, L::MAGIC_SIZE);
    out.u32_le(version);
    out.u32_le(static_cast<std::uint32_t>(symbols.size()));
    for (const XrSymbolDef& s : symbols) {
        out.u16_le(s.code);
        out.u16_le(static_cast<std::uint16_t>(s.program.size()));
        out.bytes(s.program);
    }
    return out.take();
}

bool write_symbol_library(const std::string& path, const std::vector<XrSymbolDef>& symbols, std::string& error)
{
    return xr_write_file_atomic(path, symbol_library(symbols), error);
}
