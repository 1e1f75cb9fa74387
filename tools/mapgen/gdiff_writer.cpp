#include "tools/mapgen/gdiff_writer.h"

#include <algorithm>

XrGdiffWriter::XrGdiffWriter(BYTE version) : m_bytes{0xD1, 0xFF, 0xD1, 0xFF, version} {}

void XrGdiffWriter::put_be(std::uint32_t v, int n)
{
    for (int i = n - 1; i >= 0; --i)
        m_bytes.push_back(static_cast<BYTE>(v >> (8 * i)));
}

XrGdiffWriter& XrGdiffWriter::data(const std::vector<BYTE>& bytes)
{
    const std::size_t n = bytes.size();
    if (n == 0)
        return *this;
    if (n <= 246) {
        m_bytes.push_back(static_cast<BYTE>(n));
    } else if (n <= 0xFFFF) {
        m_bytes.push_back(247);
        put_be(static_cast<std::uint32_t>(n), 2);
    } else {
        m_bytes.push_back(248);
        put_be(static_cast<std::uint32_t>(n), 4);
    }
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    return *this;
}

XrGdiffWriter& XrGdiffWriter::copy(std::uint32_t position, std::uint32_t length)
{
    const int pos_width = position <= 0xFFFF ? 2 : 4;
    const int len_width = length <= 0xFF ? 1 : length <= 0xFFFF ? 2 : 4;
    const int len_index = len_width == 1 ? 0 : len_width == 2 ? 1 : 2;
    m_bytes.push_back(static_cast<BYTE>((pos_width == 2 ? 249 : 252) + len_index));
    put_be(position, pos_width);
    put_be(length, len_width);
    return *this;
}

XrGdiffWriter& XrGdiffWriter::raw(BYTE command, const std::vector<BYTE>& fields)
{
    m_bytes.push_back(command);
    m_bytes.insert(m_bytes.end(), fields.begin(), fields.end());
    return *this;
}

XrGdiffWriter& XrGdiffWriter::end()
{
    m_bytes.push_back(0);
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
