// ZIP archive reader on arbitrary bytes: open, walk, find and extract every
// member, and parse the extracted classes as the class loader does. The
// mutator writes each member's true CRC into its central and local headers
// after mutating, so that changed members still extract.
#include "fuzz/toolkit/jvm/fuzz_parse_class.h"
#include "toolkit/jvm/kojvm_internal.h"
#include "toolkit/jvm/kojvm_zip.h"

#include "common/container/xr_bytes.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <zlib.h>

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t max_size);

namespace {
struct Input {
    const std::uint8_t* data;
    std::size_t size;
};
bool read(void* ctx, std::uint64_t off, void* buf, std::size_t n)
{
    Input* in = static_cast<Input*>(ctx);
    if (off > in->size || n > in->size - off)
        return false;
    std::memcpy(buf, in->data + off, n);
    return true;
}

constexpr std::uint32_t END_SIGNATURE = 0x06054b50;
constexpr std::uint32_t CENTRAL_SIGNATURE = 0x02014b50;
constexpr std::uint32_t LOCAL_SIGNATURE = 0x04034b50;
constexpr std::size_t END_SIZE = 22;
constexpr std::size_t CENTRAL_SIZE = 46;
constexpr std::size_t LOCAL_SIZE = 30;
constexpr std::size_t MAX_MEMBER = 1u << 20;

// The CRC of a member's data as the reader would extract it; false when the
// data cannot be had (then its CRC is left alone).
bool member_crc(const std::uint8_t* data, std::size_t size, std::size_t at, std::uint16_t method,
                std::uint32_t csize, std::uint32_t usize, std::uint32_t& crc)
{
    if (at > size || csize > size - at || usize > MAX_MEMBER)
        return false;
    if (method == 0) {
        crc = crc32(0L, data + at, csize);
        return true;
    }
    if (method != 8)
        return false;
    std::vector<std::uint8_t> out(usize + 1);
    z_stream s;
    std::memset(&s, 0, sizeof s);
    if (inflateInit2(&s, -15) != Z_OK)
        return false;
    s.next_in = const_cast<std::uint8_t*>(data + at);
    s.avail_in = csize;
    s.next_out = out.data();
    s.avail_out = static_cast<uInt>(out.size());
    inflate(&s, Z_FINISH);
    const uLong produced = s.total_out;
    inflateEnd(&s);
    crc = crc32(0L, out.data(), static_cast<uInt>(std::min<uLong>(produced, usize)));
    return true;
}

// Walks the central directory of the last end record and writes the CRCs.
void fix_crcs(std::uint8_t* data, std::size_t size)
{
    if (size < END_SIZE)
        return;
    std::size_t end = size - END_SIZE + 1;
    while (end-- > 0 && xr_bytes::get_u32_le(data + end) != END_SIGNATURE) {
    }
    if (end == static_cast<std::size_t>(-1))
        return;
    const std::size_t count = xr_bytes::get_u16_le(data + end + 10);
    std::size_t at = xr_bytes::get_u32_le(data + end + 16);
    for (std::size_t i = 0; i < count && at <= end && end - at >= CENTRAL_SIZE; ++i) {
        std::uint8_t* cen = data + at;
        if (xr_bytes::get_u32_le(cen) != CENTRAL_SIGNATURE)
            return;
        const std::uint16_t method = xr_bytes::get_u16_le(cen + 10);
        const std::uint32_t csize = xr_bytes::get_u32_le(cen + 20);
        const std::uint32_t usize = xr_bytes::get_u32_le(cen + 24);
        const std::size_t local = xr_bytes::get_u32_le(cen + 42);
        at += CENTRAL_SIZE + xr_bytes::get_u16_le(cen + 28) + xr_bytes::get_u16_le(cen + 30) +
              xr_bytes::get_u16_le(cen + 32);
        if (local > size || size - local < LOCAL_SIZE || xr_bytes::get_u32_le(data + local) != LOCAL_SIGNATURE)
            continue;
        const std::size_t member =
            local + LOCAL_SIZE + xr_bytes::get_u16_le(data + local + 26) + xr_bytes::get_u16_le(data + local + 28);
        std::uint32_t crc = 0;
        if (!member_crc(data, size, member, method, csize, usize, crc))
            continue;
        xr_bytes::put_u32_le(cen + 16, crc);
        xr_bytes::put_u32_le(data + local + 14, crc);
    }
}
}  // namespace

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t max_size,
                                               unsigned int /*seed*/)
{
    size = LLVMFuzzerMutate(data, size, max_size);
    fix_crcs(data, size);
    return size;
}

namespace {
bool is_class(const char* name)
{
    const std::size_t n = name ? std::strlen(name) : 0;
    return n > 6 && std::strcmp(name + n - 6, ".class") == 0;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Input in{data, size};
    KoZip* z = ko_zip_open(read, &in, size);
    if (!z)
        return 0;
    KoZipEntry e;
    int n = 0;
    std::vector<std::string> names;
    for (int r = ko_zip_first(z, &e); r == KO_ZIP_OK && n < 64; r = ko_zip_next(z, &e), ++n) {
        if (e.name)
            names.emplace_back(e.name);
        if (e.size > (1u << 20))
            continue;
        std::vector<std::uint8_t> buf(e.size + 1);
        if (ko_zip_extract(z, buf.data(), e.size) == KO_ZIP_OK && is_class(e.name))
            xr_fuzz_parse_class(buf.data(), e.size);
    }
    // Look-up by name, as the class path does: the last member and one absent.
    if (!names.empty())
        ko_zip_find(z, names.back().c_str(), &e);
    ko_zip_find(z, "java/lang/Absent.class", &e);
    ko_zip_close(z);
    return 0;
}
