// MBM files: arbitrary bytes as a multi-bitmap file (plain or packed), every
// record decoded; and the bytes themselves as one bitmap record.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "common/gdi/xr_mbm.h"

namespace {

void decode(const BYTE* record)
{
    XrBitmapHeader h;
    XrMbm::read_header(record, h);
    int padded = 0;
    int padding = 0;
    XrMbm::get_row_padding(h, padded, padding);
    BYTE* pixels = nullptr;
    int size = 0;
    if (XrMbm::fill_bit_values(record, pixels, size, true)) {
        volatile BYTE sink = size > 0 ? pixels[size - 1] : 0;
        (void)sink;
        delete[] pixels;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (XrMbm::check_record(data, static_cast<std::uint32_t>(size)))
        decode(data);

    if (size == 0)
        return 0;
    std::FILE* f = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    if (f == nullptr)
        return 0;
    XrArray<std::uint32_t> offsets;
    bool packed = false;
    if (XrMbm::read_directory(f, offsets, packed)) {
        for (int i = 0; i < offsets.get_num_items() && i < 8; ++i) {
            int len = 0;
            BYTE* record = XrMbm::read_record(f, offsets, packed, i, &len);
            if (record != nullptr)
                decode(record);
            delete[] record;
        }
    }
    std::fclose(f);
    return 0;
}
