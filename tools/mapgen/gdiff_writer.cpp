#include "tools/mapgen/gdiff_writer.h"

#include <algorithm>

using namespace xr_gdiff_layout;

namespace {

// The command of a kind with the given field widths.
BYTE command_code(bool copy, int pos_width, int len_width)
{
    for (const XrGdiffCommand& c : COMMANDS) {
        if (c.copy == copy && c.pos_width == pos_width && c.len_width == len_width)
            return static_cast<BYTE>(c.code);
    }
    return 0;
}

int width(std::uint32_t v, int narrowest)
{
    if (narrowest <= 1 && v <= 0xFF)
        return 1;
    return v <= 0xFFFF ? 2 : 4;
}

} // namespace

XrGdiffWriter::XrGdiffWriter(BYTE version)
{
    m_out.bytes(MAGIC, sizeof MAGIC);
    m_out.u8(version);
}

XrGdiffWriter& XrGdiffWriter::data(const std::vector<BYTE>& bytes)
{
    const std::size_t n = bytes.size();
    if (n == 0)
        return *this;
    if (n <= static_cast<std::size_t>(CMD_DATA_MAX_INLINE)) {
        m_out.u8(static_cast<BYTE>(n));
    } else {
        const int len_width = width(static_cast<std::uint32_t>(n), 2);
        m_out.u8(command_code(false, 0, len_width));
        m_out.be(n, len_width);
    }
    m_out.bytes(bytes);
    return *this;
}

XrGdiffWriter& XrGdiffWriter::copy(std::uint32_t position, std::uint32_t length)
{
    const int pos_width = width(position, 2);
    const int len_width = width(length, 1);
    m_out.u8(command_code(true, pos_width, len_width));
    m_out.be(position, pos_width);
    m_out.be(length, len_width);
    return *this;
}

XrGdiffWriter& XrGdiffWriter::raw(BYTE command, const std::vector<BYTE>& fields)
{
    m_out.u8(command);
    m_out.bytes(fields);
    return *this;
}

XrGdiffWriter& XrGdiffWriter::end()
{
    m_out.u8(CMD_END);
    return *this;
}

std::vector<BYTE> make_gdiff(const std::vector<BYTE>& old, const std::vector<BYTE>& new_data, std::uint32_t min_copy)
{
    XrGdiffWriter w;
    std::vector<BYTE> pending;
    std::size_t i = 0;
    while (i < new_data.size()) {
        std::size_t run = 0;
        while (i + run < new_data.size() && i + run < old.size() && old[i + run] == new_data[i + run])
            ++run;
        if (run >= std::max<std::uint32_t>(min_copy, 1)) {
            w.data(pending);
            pending.clear();
            w.copy(static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(run));
            i += run;
        } else {
            pending.push_back(new_data[i++]);
        }
    }
    w.data(pending);
    return w.end().bytes();
}
