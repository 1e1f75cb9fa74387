#include "tools/mapgen/zip_writer.h"

#include "common/container/xr_bytes.h"
#include "toolkit/jvm/kojvm_zip.h"

#include <zlib.h>

std::vector<std::uint8_t> write_zip(const std::vector<ZipMember>& members, const std::string& comment)
{
    using namespace kojvm_zip;
    XrByteWriter out;
    XrByteWriter dir;
    for (const ZipMember& m : members) {
        std::vector<std::uint8_t> body = m.data;
        if (m.method == kDeflated) {
            z_stream s{};
            deflateInit2(&s, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
            body.resize(deflateBound(&s, m.data.size()) + 16);
            s.next_in = const_cast<Bytef*>(m.data.data());
            s.avail_in = static_cast<uInt>(m.data.size());
            s.next_out = body.data();
            s.avail_out = static_cast<uInt>(body.size());
            deflate(&s, Z_FINISH);
            body.resize(s.total_out);
            deflateEnd(&s);
        }
        std::uint32_t crc = static_cast<std::uint32_t>(crc32(0, m.data.data(), static_cast<uInt>(m.data.size())));
        if (m.corrupt_crc)
            crc ^= 1;
        std::uint32_t size = m.claimed_size ? m.claimed_size : static_cast<std::uint32_t>(m.data.size());
        std::uint32_t local = static_cast<std::uint32_t>(out.size());
        out.le(kLocalSignature, 4);
        out.le(20, 2);
        out.le(0, 2);
        out.le(m.method, 2);
        out.le(0, 4);
        out.le(crc, 4);
        out.le(body.size(), 4);
        out.le(size, 4);
        out.le(m.name.size(), 2);
        out.le(0, 2);
        out.bytes().insert(out.bytes().end(), m.name.begin(), m.name.end());
        out.bytes().insert(out.bytes().end(), body.begin(), body.end());
        dir.le(kCentralSignature, 4);
        dir.le(20, 2);
        dir.le(20, 2);
        dir.le(0, 2);
        dir.le(m.method, 2);
        dir.le(0, 4);
        dir.le(crc, 4);
        dir.le(body.size(), 4);
        dir.le(size, 4);
        dir.le(m.name.size(), 2);
        dir.le(0, 2);
        dir.le(0, 2);
        dir.le(0, 2);
        dir.le(0, 2);
        dir.le(0, 4);
        dir.le(local, 4);
        dir.bytes().insert(dir.bytes().end(), m.name.begin(), m.name.end());
    }
    std::uint32_t dir_offset = static_cast<std::uint32_t>(out.size());
    out.bytes().insert(out.bytes().end(), dir.bytes().begin(), dir.bytes().end());
    out.le(kEndSignature, 4);
    out.le(0, 2);
    out.le(0, 2);
    out.le(members.size(), 2);
    out.le(members.size(), 2);
    out.le(dir.size(), 4);
    out.le(dir_offset, 4);
    out.le(comment.size(), 2);
    out.bytes().insert(out.bytes().end(), comment.begin(), comment.end());
    return out.take();
}
