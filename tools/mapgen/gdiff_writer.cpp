#include "tools/mapgen/gdiff_writer.h"

#include <algorithm>

XrGdiffWriter::XrGdiffWriter(BYTE version)
{
    m_out.u32_be(0xD1FFD1FF);
    m_out.u8(version);
}

XrGdiffWriter& XrGdiffWriter::data(const std::vector<BYTE>& bytes)
{
    const std::size_t n = bytes.size();
    if (n == 0)
        return *this;
    if (n <= 246) {
        m_out.u8(static_cast<BYTE>(n));
    } else if (n <= 0xFFFF) {
        m_out.u8(247);
        m_out.u16_be(static_cast<std::uint16_t>(n));
    } else {
        m_out.u8(248);
        m_out.u32_be(static_cast<std::uint32_t>(n));
    }
    m_out.bytes(bytes);
    return *this;
}

XrGdiffWriter& XrGdiffWriter::copy(std::uint32_t position, std::uint32_t length)
{
    const int pos_width = position <= 0xFFFF ? 2 : 4;
    const int len_width = length <= 0xFF ? 1 : length <= 0xFFFF ? 2 : 4;
    const int len_index = len_width == 1 ? 0 : len_width == 2 ? 1 : 2;
    m_out.u8(static_cast<BYTE>((pos_width == 2 ? 249 : 252) + len_index));
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
    m_out.u8(0);
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
