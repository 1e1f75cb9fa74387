#include "common/gdi/xr_mbm.h"

#include <cstring>
#include <memory>
#include <new>

#include "common/container/xr_bytes.h"
#include "common/misc/xr_packed_file_array.h"

namespace L = xr_mbm_layout;

namespace {

using PFA = XrPackedFileArray;

// Widest and highest bitmap accepted.
constexpr std::uint32_t max_side = 65535;

bool known_depth(std::uint32_t bpp)
{
    return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 24 || bpp == 32;
}

// Byte run-length (see the layout).
bool decode_rle_byte(const BYTE* in, std::uint32_t in_len, BYTE*& out, std::uint32_t out_len)
{
    while (in_len > 0) {
        unsigned marker = *in++;
        --in_len;
        if (marker < L::RLE_LITERALS) {
            std::uint32_t run = marker + 1;
            if (in_len < 1 || run > out_len)
                return false;
            std::memset(out, *in++, run);
            --in_len;
            out += run;
            out_len -= run;
        } else {
            std::uint32_t run = 256 - marker;
            if (run > in_len || run > out_len)
                return false;
            std::memcpy(out, in, run);
            in += run;
            in_len -= run;
            out += run;
            out_len -= run;
        }
    }
    return true;
}

// 12-bit run-length (see the layout): each channel widened to 8 bits, and a
// zero byte.
bool decode_rle_12bit(const BYTE* in, std::uint32_t in_len, BYTE*& out, std::uint32_t out_len)
{
    for (; in_len >= 2; in += 2, in_len -= 2) {
        unsigned word = xr_bytes::get_u16_le(in);
        std::uint32_t run = (word >> L::RLE12_RUN_SHIFT) + 1;
        if (std::uint64_t(run) * L::RLE12_PIXEL_SIZE > out_len)
            return false;
        BYTE px[L::RLE12_PIXEL_SIZE] = {BYTE((word & 0xF) * 17), BYTE(((word >> 4) & 0xF) * 17),
                                        BYTE(((word >> 8) & 0xF) * 17), 0};
        for (std::uint32_t i = 0; i < run; ++i, out += L::RLE12_PIXEL_SIZE)
            std::memcpy(out, px, L::RLE12_PIXEL_SIZE);
        out_len -= run * L::RLE12_PIXEL_SIZE;
    }
    return true;
}

} // namespace

BYTE* XrMbm::load(const XrString& path, int index, int* size)
{
    if (size != nullptr)
        *size = 0;
    PFA::File file = PFA::open_file(path);
    if (file == nullptr)
        return nullptr;
    XrArray<std::uint32_t> offsets;
    bool packed = false;
    if (!read_directory(file.get(), offsets, packed))
        return nullptr;
    return read_record(file.get(), offsets, packed, index, size);
}

bool XrMbm::load_header(const XrString& path, int index, XrBitmapHeader* header)
{
    BYTE* record = load(path, index);
    if (record == nullptr)
        return false;
    if (header != nullptr)
        read_header(record, *header);
    delete[] record;
    return true;
}

bool XrMbm::read_directory(std::FILE* file, XrArray<std::uint32_t>& offsets, bool& packed)
{
    offsets.remove_all();
    packed = false;
    BYTE uids[L::UIDS_SIZE];
    if (!PFA::read_at(file, 0, uids, sizeof uids) || xr_bytes::get_u32_le(uids + L::UID1_OFFSET) != UID1)
        return false;
    std::uint32_t uid2 = xr_bytes::get_u32_le(uids + L::UID2_OFFSET);
    if (uid2 == UID2_PACKED) {
        packed = true;
        return PFA::read_directory(file, PACKED_DIRECTORY, offsets);
    }
    if (uid2 != UID2_PLAIN)
        return false;
    // The plain directory has the packed directory's layout: a count, then
    // the record offsets.
    BYTE word[4];
    if (!PFA::read_at(file, PLAIN_DIRECTORY_POINTER, word, sizeof word))
        return false;
    return PFA::read_directory(file, xr_bytes::get_u32_le(word), offsets);
}

BYTE* XrMbm::read_record(std::FILE* file, const XrArray<std::uint32_t>& offsets, bool packed, int index,
                         int* size)
{
    if (size != nullptr)
        *size = 0;
    if (index < 0 || index >= offsets.get_num_items())
        return nullptr;
    std::uint32_t offset = *offsets.get_item_ptr(index);
    std::unique_ptr<BYTE[]> record;
    int got = 0;
    if (packed) {
        record.reset(PFA::read_entry(file, offset, got));
    } else {
        BYTE word[4];
        if (!PFA::read_at(file, offset + L::RECORD_LENGTH, word, sizeof word))
            return nullptr;
        std::uint32_t len = xr_bytes::get_u32_le(word);
        if (len < HEADER_SIZE || len > MAX_DECODED_SIZE ||
            std::uint64_t(offset) + len > PFA::file_size(file))
            return nullptr;
        record.reset(new (std::nothrow) BYTE[len]);
        if (record != nullptr && !PFA::read_at(file, offset, record.get(), len))
            return nullptr;
        got = static_cast<int>(len);
    }
    if (record == nullptr || !check_record(record.get(), static_cast<std::uint32_t>(got)))
        return nullptr;
    if (size != nullptr)
        *size = static_cast<int>(xr_bytes::get_u32_le(record.get() + L::RECORD_LENGTH));
    return record.release();
}

bool XrMbm::check_record(const BYTE* record, std::uint32_t size)
{
    if (record == nullptr || size < HEADER_SIZE)
        return false;
    std::uint32_t record_length = xr_bytes::get_u32_le(record + L::RECORD_LENGTH);
    std::uint32_t header_length = xr_bytes::get_u32_le(record + L::HEADER_LENGTH);
    return record_length >= HEADER_SIZE && record_length <= size && header_length >= HEADER_SIZE &&
           header_length <= record_length;
}

void XrMbm::read_header(const BYTE* record, XrBitmapHeader& header)
{
    header.record_length = xr_bytes::get_u32_le(record + L::RECORD_LENGTH);
    header.header_length = xr_bytes::get_u32_le(record + L::HEADER_LENGTH);
    header.width = xr_bytes::get_u32_le(record + L::WIDTH);
    header.height = xr_bytes::get_u32_le(record + L::HEIGHT);
    header.twips_width = xr_bytes::get_u32_le(record + L::TWIPS_WIDTH);
    header.twips_height = xr_bytes::get_u32_le(record + L::TWIPS_HEIGHT);
    header.bits_per_pixel = xr_bytes::get_u32_le(record + L::BITS_PER_PIXEL);
    header.color_flag = xr_bytes::get_u32_le(record + L::COLOR_FLAG);
    header.palette_entries = xr_bytes::get_u32_le(record + L::PALETTE_ENTRIES);
    header.compression = xr_bytes::get_u32_le(record + L::COMPRESSION);
    if (header.bits_per_pixel == 12 || header.bits_per_pixel == 16)
        header.bits_per_pixel = 32;
}

void XrMbm::get_row_padding(const XrBitmapHeader& header, int& padded_width, int& padding)
{
    std::uint64_t unit = header.bits_per_pixel == 1 ? 32 : 4;
    std::uint64_t padded = (std::uint64_t(header.width) + unit - 1) / unit * unit;
    if (padded > 0x7FFFFFFF)
        padded = 0x7FFFFFFF;
    padded_width = static_cast<int>(padded);
    padding = static_cast<int>(padded - (header.width < padded ? header.width : padded));
}

bool XrMbm::get_decoded_size(const XrBitmapHeader& header, std::uint32_t& size)
{
    size = 0;
    if (!known_depth(header.bits_per_pixel) || header.width == 0 || header.height == 0 ||
        header.width > max_side || header.height > max_side)
        return false;
    int padded = 0;
    int padding = 0;
    get_row_padding(header, padded, padding);
    std::uint64_t bytes = std::uint64_t(header.bits_per_pixel) * header.height * std::uint64_t(padded) / 8;
    if (bytes > MAX_DECODED_SIZE)
        return false;
    size = static_cast<std::uint32_t>(bytes);
    return true;
}

bool XrMbm::fill_bit_values(const BYTE* record, BYTE*& pixels, int& size, bool allocate)
{
    XrBitmapHeader h;
    read_header(record, h);
    std::uint32_t decoded = 0;
    if (!get_decoded_size(h, decoded))
        return false;
    if (h.compression != NONE && h.compression != RLE_BYTE && h.compression != RLE_12BIT)
        return false;
    if (!allocate && (pixels == nullptr || size < 0 || std::uint32_t(size) < decoded))
        return false;
    std::unique_ptr<BYTE[]> allocated(allocate ? new (std::nothrow) BYTE[decoded] : nullptr);
    BYTE* out = allocate ? allocated.get() : pixels;
    if (out == nullptr)
        return false;

    const BYTE* data = record + h.header_length;
    std::uint32_t data_len = h.record_length - h.header_length;
    // The decoders move end past what they wrote; the rest is zeroed.
    BYTE* end = out;
    bool ok = true;
    switch (h.compression) {
    case NONE:
        std::memcpy(out, data, data_len < decoded ? data_len : decoded);
        end = out + (data_len < decoded ? data_len : decoded);
        break;
    case RLE_BYTE:
        ok = decode_rle_byte(data, data_len, end, decoded);
        break;
    default:
        ok = decode_rle_12bit(data, data_len, end, decoded);
        break;
    }
    if (!ok)
        return false;
    std::memset(end, 0, decoded - static_cast<std::uint32_t>(end - out));
    if (h.bits_per_pixel == 1) {
        for (std::uint32_t i = 0; i < decoded; ++i)
            out[i] = BYTE(~out[i]);
    } else if (h.bits_per_pixel == 4) {
        for (std::uint32_t i = 0; i < decoded; ++i)
            out[i] = BYTE((out[i] << 4) | (out[i] >> 4));
    }
    pixels = allocate ? allocated.release() : out;
    size = static_cast<int>(decoded);
    return true;
}
