#include "tools/mapgen/package_writer.h"

#include <cstdio>
#include <zlib.h>

#include "common/update/xr_packagelayout.h"

namespace L = xr_package_layout;

XrPackageWriter& XrPackageWriter::add(const Member& m)
{
    const std::size_t head_start = m_out.size();
    BYTE flags = 0;
    if (m.header_crc)
        flags |= L::FLAG_HEADER_CRC;
    if (!m.extra.empty())
        flags |= L::FLAG_EXTRA;
    if (!m.name.empty())
        flags |= L::FLAG_NAME;
    if (!m.comment.empty())
        flags |= L::FLAG_COMMENT;
    m_out.u8(L::MAGIC_0);
    m_out.u8(L::MAGIC_1);
    m_out.u8(L::METHOD_DEFLATE);
    m_out.u8(flags);
    m_out.zeros(L::UNUSED_HEADER_BYTES - 1);
    m_out.u8(L::OS_UNIX);
    if (!m.extra.empty()) {
        m_out.u16_le(static_cast<std::uint16_t>(m.extra.size()));
        m_out.bytes(m.extra);
    }
    for (const std::string* s : {&m.name, &m.comment}) {
        if (!s->empty()) {
            m_out.bytes(s->data(), s->size());
            m_out.u8(0);
        }
    }
    if (m.header_crc) {
        const uLong crc = crc32(0, m_out.bytes().data() + head_start, (uInt)(m_out.size() - head_start));
        m_out.u16_le(static_cast<std::uint16_t>(crc));
    }

    // A raw deflate stream (negative window bits: no zlib wrapper).
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
    m_out.bytes(out);

    m_out.u32_le((std::uint32_t)crc32(0, m.data.data(), (uInt)m.data.size()) ^ m.crc_xor);
    m_out.u32_le((std::uint32_t)m.data.size());
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
    m_out.bytes(bytes);
    return *this;
}

bool XrPackageWriter::save(const std::string& path) const
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    const std::vector<BYTE>& bytes = m_out.bytes();
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}
