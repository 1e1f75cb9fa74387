#include "tools/mapgen/zlib_stream.h"

#include <zlib.h>

#include <map>
#include <memory>

namespace {

// A deflate state made once: making one costs more than compressing a small
// block.
struct Deflater {
    z_stream z{};
    bool ok = false;
    explicit Deflater(int level) { ok = deflateInit(&z, level) == Z_OK; }
    ~Deflater()
    {
        if (ok)
            deflateEnd(&z);
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;
};

Deflater& deflater(int level)
{
    thread_local std::map<int, std::unique_ptr<Deflater>> states;
    std::unique_ptr<Deflater>& d = states[level];
    if (!d)
        d = std::make_unique<Deflater>(level);
    return *d;
}

} // namespace

std::vector<BYTE> xr_zlib_stream(const BYTE* data, size_t size, int level)
{
    Deflater& d = deflater(level);
    if (!d.ok || size > 0xFFFFFFFFu || deflateReset(&d.z) != Z_OK)
        return {};
    std::vector<BYTE> out(deflateBound(&d.z, static_cast<uLong>(size)));
    static const BYTE none = 0;
    d.z.next_in = const_cast<Bytef*>(size > 0 ? data : &none);
    d.z.avail_in = static_cast<uInt>(size);
    d.z.next_out = out.data();
    d.z.avail_out = static_cast<uInt>(out.size());
    if (deflate(&d.z, Z_FINISH) != Z_STREAM_END)
        return {};
    out.resize(out.size() - d.z.avail_out);
    return out;
}

std::vector<BYTE> xr_zlib_stream(const std::vector<BYTE>& bytes, int level)
{
    return xr_zlib_stream(bytes.data(), bytes.size(), level);
}
