// Packed file arrays: arbitrary bytes as a file with its directory at 0 and
// at the offset in the first word; every entry read from the open file and
// through the path, and raw reads at the offsets the directory names.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

#include "common/container/xr_bytes.h"
#include "common/misc/xr_packed_file_array.h"

namespace {

// A file of this process that holds the input, for the path-based reader.
const std::string& scratch_path()
{
    static const std::string path = "/tmp/fuzz_packed_file_array." + std::to_string(getpid());
    return path;
}

bool write_scratch(const std::uint8_t* data, std::size_t size)
{
    std::FILE* f = std::fopen(scratch_path().c_str(), "wb");
    if (f == nullptr)
        return false;
    const bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0 || size > (1u << 20))
        return 0;
    std::FILE* f = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    if (f == nullptr)
        return 0;
    if (XrPackedFileArray::file_size(f) != size)
        std::abort();
    const bool scratch = write_scratch(data, size);
    const std::uint32_t starts[2] = {0, size >= 4 ? xr_bytes::get_u32_le(data) : 0};
    for (std::uint32_t start : starts) {
        XrArray<std::uint32_t> offsets;
        if (!XrPackedFileArray::read_directory(f, start, offsets))
            continue;
        for (int i = 0; i < offsets.get_num_items() && i < 8; ++i) {
            const std::uint32_t at = *offsets.get_item_ptr(i);
            BYTE head[8];
            if (XrPackedFileArray::read_at(f, at, head, sizeof head) &&
                (std::uint64_t(at) + sizeof head > size || std::memcmp(head, data + at, sizeof head) != 0))
                std::abort();
            int len = 0;
            BYTE* item = XrPackedFileArray::read_entry(f, at, len);
            if (item != nullptr && (len < 0 || static_cast<std::uint32_t>(len) > XrPackedFileArray::MAX_ITEM_SIZE))
                std::abort();
            if (scratch && i < 2) {
                // The path reader must give the same item.
                int by_path_len = 0;
                BYTE* by_path = XrPackedFileArray::read_item(XrString(scratch_path().c_str()), start, i, by_path_len);
                if ((by_path == nullptr) != (item == nullptr) ||
                    (item != nullptr && (by_path_len != len || std::memcmp(item, by_path, len) != 0)))
                    std::abort();
                delete[] by_path;
            }
            delete[] item;
        }
    }
    std::fclose(f);
    return 0;
}
