// Packed file arrays: arbitrary bytes as a file with its directory at 0 (and
// at the offset in the first word), every entry read.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "common/container/xr_bytes.h"
#include "common/misc/xr_packed_file_array.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    std::FILE* f = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    if (f == nullptr)
        return 0;
    std::uint32_t starts[2] = {0, size >= 4 ? xr_bytes::get_u32_le(data) : 0};
    for (std::uint32_t start : starts) {
        XrArray<std::uint32_t> offsets;
        if (!XrPackedFileArray::read_directory(f, start, offsets))
            continue;
        for (int i = 0; i < offsets.get_num_items() && i < 8; ++i) {
            int len = 0;
            BYTE* item = XrPackedFileArray::read_entry(f, *offsets.get_item_ptr(i), len);
            delete[] item;
        }
    }
    std::fclose(f);
    return 0;
}
