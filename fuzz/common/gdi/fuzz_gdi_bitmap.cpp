// MBM files and bitmap records: arbitrary bytes as a file (plain or packed
// directory, every record read), and every consistent record through the
// header, size and pixel decoders and as XrGDI::load_bitmap turns it into
// handle pixels (RGB rows of 24- and 32-bit pictures, 1-bit rows of
// monochrome ones).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "common/gdi/xr_gdi_decode.h"
#include "common/gdi/xr_mbm.h"

namespace {

void decode_record(const BYTE* record, std::uint32_t size)
{
    if (!XrMbm::check_record(record, size))
        return;
    XrBitmapHeader header;
    XrMbm::read_header(record, header);
    int padded = 0, padding = 0;
    XrMbm::get_row_padding(header, padded, padding);
    std::uint32_t decoded_size = 0;
    const bool sized = XrMbm::get_decoded_size(header, decoded_size);
    if (sized && decoded_size > XrMbm::MAX_DECODED_SIZE)
        std::abort();

    BYTE* pixels = nullptr;
    int pixels_size = 0;
    if (XrMbm::fill_bit_values(record, pixels, pixels_size, true)) {
        if (!sized || static_cast<std::uint32_t>(pixels_size) != decoded_size)
            std::abort();
        // Into the caller's buffer, the same pixels.
        std::unique_ptr<BYTE[]> mine(new BYTE[decoded_size]());
        BYTE* into = mine.get();
        int into_size = static_cast<int>(decoded_size);
        if (!XrMbm::fill_bit_values(record, into, into_size, false) || into_size != pixels_size ||
            std::memcmp(into, pixels, decoded_size) != 0)
            std::abort();
    }
    delete[] pixels;

    XrDecodedMbm decoded;
    const XrDecodedMbm::Kind kind = decode_mbm_record(record, decoded);
    const std::size_t width = decoded.header.width, height = decoded.header.height;
    volatile BYTE sink = 0;
    if (kind == XrDecodedMbm::Rgb)
        sink = decoded.rgb[width * height * 3 - 1];
    else if (kind == XrDecodedMbm::Mono)
        sink = decoded.bits[(width + 7) / 8 * height - 1];
    (void)sink;
    delete[] decoded.rgb;
    delete[] decoded.bits;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > (1u << 20))
        return 0;
    // The bytes as one record.
    decode_record(data, static_cast<std::uint32_t>(size));
    // The bytes as a file.
    if (size == 0)
        return 0;
    std::FILE* f = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    if (f == nullptr)
        return 0;
    XrArray<std::uint32_t> offsets;
    bool packed = false;
    if (XrMbm::read_directory(f, offsets, packed)) {
        for (int i = 0; i < offsets.get_num_items() && i < 12; ++i) {
            int record_size = 0;
            BYTE* record = XrMbm::read_record(f, offsets, packed, i, &record_size);
            if (record != nullptr) {
                // Handed out consistent.
                if (!XrMbm::check_record(record, static_cast<std::uint32_t>(record_size)))
                    std::abort();
                decode_record(record, static_cast<std::uint32_t>(record_size));
            }
            delete[] record;
        }
    }
    std::fclose(f);
    return 0;
}
