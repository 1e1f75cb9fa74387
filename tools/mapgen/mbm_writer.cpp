#include "tools/mapgen/mbm_writer.h"

#include "common/container/xr_bytes.h"
#include "common/misc/xr_packedfilelayout.h"
#include "tools/mapgen/geom_tree.h"
#include "tools/mapgen/zlib_stream.h"

namespace L = xr_mbm_layout;

namespace {

XrMbmBitmap with_compression(XrMbmBitmap b, std::uint32_t compression)
{
    b.compression = compression;
    if (compression == L::COMPRESSION_RLE_BYTE)
        b.data = mbm_encode_rle_byte(b.data);
    return b;
}

} // namespace

std::vector<BYTE> mbm_encode_rle_byte(const std::vector<BYTE>& raw)
{
    XrByteWriter out;
    std::size_t i = 0;
    while (i < raw.size()) {
        std::size_t run = 1;
        while (i + run < raw.size() && run < L::RLE_MAX_RUN && raw[i + run] == raw[i])
            ++run;
        if (run >= 2) {
            out.u8(static_cast<BYTE>(run - 1));
            out.u8(raw[i]);
            i += run;
            continue;
        }
        // Literals up to the next pair of equal bytes.
        std::size_t n = 1;
        while (i + n < raw.size() && n < L::RLE_MAX_RUN && !(i + n + 1 < raw.size() && raw[i + n] == raw[i + n + 1]))
            ++n;
        out.u8(static_cast<BYTE>(256 - n));
        out.bytes(raw.data() + i, n);
        i += n;
    }
    return out.take();
}

std::vector<BYTE> mbm_encode_rle_12bit(const std::vector<std::uint16_t>& pixels)
{
    XrByteWriter out;
    std::size_t i = 0;
    while (i < pixels.size()) {
        std::uint16_t v = pixels[i] & L::RLE12_VALUE_MASK;
        std::size_t run = 1;
        while (i + run < pixels.size() && run < L::RLE12_MAX_RUN && (pixels[i + run] & L::RLE12_VALUE_MASK) == v)
            ++run;
        out.u16_le(static_cast<std::uint16_t>(((run - 1) << L::RLE12_RUN_SHIFT) | v));
        i += run;
    }
    return out.take();
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
    XrByteWriter out;
    const std::uint32_t header = b.header_length < L::HEADER_SIZE ? L::HEADER_SIZE : b.header_length;
    out.u32_le(header + static_cast<std::uint32_t>(b.data.size()));
    out.u32_le(b.header_length);
    out.u32_le(b.width);
    out.u32_le(b.height);
    out.u32_le(b.width * 15); // twips at 96 dpi
    out.u32_le(b.height * 15);
    out.u32_le(b.bits_per_pixel);
    out.u32_le(b.color_flag);
    out.u32_le(b.palette_entries);
    out.u32_le(b.compression);
    out.zeros(header - out.size());
    out.bytes(b.data);
    return out.take();
}

std::vector<BYTE> mbm_file(const std::vector<XrMbmBitmap>& bitmaps)
{
    XrByteWriter out;
    out.u32_le(L::UID1);
    out.u32_le(L::UID2_PLAIN);
    out.zeros(L::PLAIN_HEAD_SIZE - out.size()); // the directory offset is set below
    std::vector<std::uint32_t> offsets;
    for (const XrMbmBitmap& b : bitmaps) {
        offsets.push_back(static_cast<std::uint32_t>(out.size()));
        out.bytes(mbm_record(b));
    }
    out.patch_le(L::PLAIN_DIRECTORY_POINTER, out.size(), 4);
    out.u32_le(static_cast<std::uint32_t>(offsets.size()));
    for (std::uint32_t o : offsets)
        out.u32_le(o);
    return out.take();
}

std::vector<BYTE> packed_file_array(const std::vector<BYTE>& head, const std::vector<std::vector<BYTE>>& items)
{
    namespace P = xr_packed_file_layout;
    XrByteWriter out;
    out.bytes(head);
    const std::size_t directory = out.size();
    out.u32_le(static_cast<std::uint32_t>(items.size()));
    out.zeros(P::OFFSET_SIZE * items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        out.patch_le(directory + P::DIRECTORY_HEAD + P::OFFSET_SIZE * i, out.size(), 4);
        const std::vector<BYTE> packed = xr_zlib_stream(items[i]);
        out.u32_le(static_cast<std::uint32_t>(items[i].size()));
        out.u32_le(static_cast<std::uint32_t>(packed.size()));
        out.bytes(packed);
    }
    return out.take();
}

std::vector<BYTE> mbm_packed_file(const std::vector<XrMbmBitmap>& bitmaps)
{
    XrByteWriter head;
    head.u32_le(L::UID1);
    head.u32_le(L::UID2_PACKED);
    std::vector<std::vector<BYTE>> records;
    for (const XrMbmBitmap& b : bitmaps)
        records.push_back(mbm_record(b));
    return packed_file_array(head.bytes(), records);
}

bool write_mbm_file(const std::string& path, const std::vector<XrMbmBitmap>& bitmaps, bool packed,
                    std::string& error)
{
    return xr_write_file_atomic(path, packed ? mbm_packed_file(bitmaps) : mbm_file(bitmaps), error);
}
