#include "tools/mapgen/package_writer.h"

#include <cstdio>
#include <zlib.h>

void XrPackageWriter::put_le(std::uint32_t v, int n)
{
    for (int i = 0; i < n; ++i)
        m_bytes.push_back((BYTE)(v >> (8 * i)));
}

XrPackageWriter& XrPackageWriter::add(const Member& m)
{
    std::size_t head_start = m_bytes.size();
    BYTE flags = 0;
    if (m.header_crc)
        flags |= 0x02;
    if (!m.extra.empty())
        flags |= 0x04;
    if (!m.name.empty())
        flags |= 0x08;
    if (!m.comment.empty())
        flags |= 0x10;
    m_bytes.insert(m_bytes.end(), {0x1f, 0x8b, 8, flags, 0, 0, 0, 0, 0, 3});
    if (!m.extra.empty()) {
        put_le((std::uint32_t)m.extra.size(), 2);
        m_bytes.insert(m_bytes.end(), m.extra.begin(), m.extra.end());
    }
    for (const std::string* s : {&m.name, &m.comment}) {
        if (!s->empty()) {
            m_bytes.insert(m_bytes.end(), s->begin(), s->end());
            m_bytes.push_back(0);
        }
    }
    if (m.header_crc)
        put_le(crc32(0, m_bytes.data() + head_start, (uInt)(m_bytes.size() - head_start)) & 0xffff, 2);

    z_stream z{};
    deflateInit2(&z, m.level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::vector<BYTE> out(deflateBound(&z, (uLong)m.data.size()) + 16);
    z.next_in = const_cast<BYTE*>(m.data.data());
    z.avail_in = (uInt)m.data.size();
    z.next_out = out.data();
    z.avail_out = (uInt)out.size();
    deflate(&z, Z_FINISH);
    out.resize(out.size() - z.avail_out);
    deflateEnd(&z);
    m_bytes.insert(m_bytes.end(), out.begin(), out.end());

    put_le((std::uint32_t)crc32(0, m.data.data(), (uInt)m.data.size()) ^ m.crc_xor, 4);
    put_le((std::uint32_t)m.data.size(), 4);
    return *this;
}

XrPackageWriter& XrPackageWriter::add(const std::vector<BYTE>& data)
{
    Member m;
    m.data = data;
    return add(m);
}

XrPackageWriter& XrPackageWriter::add(const std::string& text)
{
    return add(std::vector<BYTE>(text.begin(), text.end()));
}

XrPackageWriter& XrPackageWriter::raw(const std::vector<BYTE>& bytes)
{
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    return *this;
}

bool XrPackageWriter::save(const std::string& path) const
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    bool ok = m_bytes.empty() || std::fwrite(m_bytes.data(), 1, m_bytes.size(), f) == m_bytes.size();
    return std::fclose(f) == 0 && ok;
}
