#include "tools/mapgen/mbm_writer.h"

#include <zlib.h>

#include "tools/mapgen/geom_tree.h"

namespace {

constexpr std::uint32_t uid1 = 0x10000037;
constexpr std::uint32_t uid2_plain = 0x10000042;
constexpr std::uint32_t uid2_packed = 0x10101042;

XrMbmBitmap with_compression(XrMbmBitmap b, std::uint32_t compression)
{
    b.compression = compression;
    if (compression == 1)
        b.data = mbm_encode_rle_byte(b.data);
    return b;
}

} // namespace

void mbm_put_u32(std::vector<BYTE>& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<BYTE>(v >> (8 * i)));
}

void mbm_set_u32(std::vector<BYTE>& out, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<BYTE>(v >> (8 * i));
}

std::vector<BYTE> mbm_encode_rle_byte(const std::vector<BYTE>& raw)
{
    std::vector<BYTE> out;
    std::size_t i = 0;
    while (i < raw.size()) {
        std::size_t run = 1;
        while (i + run < raw.size() && run < 128 && raw[i + run] == raw[i])
            ++run;
        if (run >= 2) {
            out.push_back(static_cast<BYTE>(run - 1));
            out.push_back(raw[i]);
            i += run;
            continue;
        }
        // Literals up to the next pair of equal bytes.
        std::size_t n = 1;
        while (i + n < raw.size() && n < 128 && !(i + n + 1 < raw.size() && raw[i + n] == raw[i + n + 1]))
            ++n;
        out.push_back(static_cast<BYTE>(256 - n));
        out.insert(out.end(), raw.begin() + i, raw.begin() + i + n);
        i += n;
    }
    return out;
}

std::vector<BYTE> mbm_encode_rle_12bit(const std::vector<std::uint16_t>& pixels)
{
    std::vector<BYTE> out;
    std::size_t i = 0;
    while (i < pixels.size()) {
        std::uint16_t v = pixels[i] & 0x0FFF;
        std::size_t run = 1;
        while (i + run < pixels.size() && run < 16 && (pixels[i + run] & 0x0FFF) == v)
            ++run;
        std::uint16_t word = static_cast<std::uint16_t>(((run - 1) << 12) | v);
        out.push_back(static_cast<BYTE>(word));
        out.push_back(static_cast<BYTE>(word >> 8));
        i += run;
    }
    return out;
}

XrMbmBitmap mbm_make_rgb(std::uint32_t width, std::uint32_t height, const std::vector<std::uint32_t>& rgb,
                         std::uint32_t bits_per_pixel, std::uint32_t compression)
{
    XrMbmBitmap b;
    b.width = width;
    b.height = height;
    b.bits_per_pixel = bits_per_pixel;
    const std::uint32_t bytes = bits_per_pixel / 8;
    const std::uint32_t row = (width + 1) / 2 * 2;
    b.data.assign(std::size_t(row) * bytes * height, 0);
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            std::uint32_t c = rgb[std::size_t(y) * width + x];
            BYTE* p = b.data.data() + (std::size_t(y) * row + x) * bytes;
            p[0] = static_cast<BYTE>(c);       // blue
            p[1] = static_cast<BYTE>(c >> 8);  // green
            p[2] = static_cast<BYTE>(c >> 16); // red
        }
    }
    return with_compression(std::move(b), compression);
}

XrMbmBitmap mbm_make_mono(std::uint32_t width, std::uint32_t height, const std::vector<bool>& set,
                          std::uint32_t compression)
{
    XrMbmBitmap b;
    b.width = width;
    b.height = height;
    b.bits_per_pixel = 1;
    const std::uint32_t row_bytes = (width + 31) / 32 * 4;
    b.data.assign(std::size_t(row_bytes) * height, 0xFF);
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            if (set[std::size_t(y) * width + x])
                b.data[std::size_t(y) * row_bytes + x / 8] &= static_cast<BYTE>(~(1u << (x % 8)));
        }
    }
    return with_compression(std::move(b), compression);
}

std::vector<BYTE> mbm_record(const XrMbmBitmap& b)
{
    std::vector<BYTE> out;
    const std::uint32_t header = b.header_length < 40 ? 40 : b.header_length;
    mbm_put_u32(out, header + static_cast<std::uint32_t>(b.data.size()));
    mbm_put_u32(out, b.header_length);
    mbm_put_u32(out, b.width);
    mbm_put_u32(out, b.height);
    mbm_put_u32(out, b.width * 15); // twips at 96 dpi
    mbm_put_u32(out, b.height * 15);
    mbm_put_u32(out, b.bits_per_pixel);
    mbm_put_u32(out, b.color_flag);
    mbm_put_u32(out, b.palette_entries);
    mbm_put_u32(out, b.compression);
    out.resize(header, 0);
    out.insert(out.end(), b.data.begin(), b.data.end());
    return out;
}

std::vector<BYTE> mbm_file(const std::vector<XrMbmBitmap>& bitmaps)
{
    std::vector<BYTE> out;
    mbm_put_u32(out, uid1);
    mbm_put_u32(out, uid2_plain);
    mbm_put_u32(out, 0);
    mbm_put_u32(out, 0);
    mbm_put_u32(out, 0); // directory offset, set below
    std::vector<std::uint32_t> offsets;
    for (const XrMbmBitmap& b : bitmaps) {
        offsets.push_back(static_cast<std::uint32_t>(out.size()));
        std::vector<BYTE> r = mbm_record(b);
        out.insert(out.end(), r.begin(), r.end());
    }
    mbm_set_u32(out, 16, static_cast<std::uint32_t>(out.size()));
    mbm_put_u32(out, static_cast<std::uint32_t>(offsets.size()));
    for (std::uint32_t o : offsets)
        mbm_put_u32(out, o);
    return out;
}

std::vector<BYTE> packed_file_array(const std::vector<BYTE>& head, const std::vector<std::vector<BYTE>>& items)
{
    std::vector<BYTE> out = head;
    mbm_put_u32(out, static_cast<std::uint32_t>(items.size()));
    const std::size_t table = out.size();
    out.resize(table + 4 * items.size(), 0);
    for (std::size_t i = 0; i < items.size(); ++i) {
        mbm_set_u32(out, table + 4 * i, static_cast<std::uint32_t>(out.size()));
        const std::vector<BYTE>& item = items[i];
        uLongf packed_len = compressBound(static_cast<uLong>(item.size()));
        std::vector<BYTE> packed(packed_len);
        compress(packed.data(), &packed_len, item.data(), static_cast<uLong>(item.size()));
        mbm_put_u32(out, static_cast<std::uint32_t>(item.size()));
        mbm_put_u32(out, static_cast<std::uint32_t>(packed_len));
        out.insert(out.end(), packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(packed_len));
    }
    return out;
}

std::vector<BYTE> mbm_packed_file(const std::vector<XrMbmBitmap>& bitmaps)
{
    std::vector<BYTE> head;
    mbm_put_u32(head, uid1);
    mbm_put_u32(head, uid2_packed);
    std::vector<std::vector<BYTE>> records;
    for (const XrMbmBitmap& b : bitmaps)
        records.push_back(mbm_record(b));
    return packed_file_array(head, records);
}

bool write_mbm_file(const std::string& path, const std::vector<XrMbmBitmap>& bitmaps, bool packed,
                    std::string& error)
{
    return xr_write_file_atomic(path, packed ? mbm_packed_file(bitmaps) : mbm_file(bitmaps), error);
}
