#include "common/misc/xr_packed_file_array.h"

#include <new>
#include <string>
#include <vector>

#include "common/container/xr_bytearray.h"
#include "common/container/xr_bytes.h"
#include "common/misc/xr_packedfilelayout.h"
#include "common/misc/xr_path_resolver.h"

namespace L = xr_packed_file_layout;

std::uint32_t XrPackedFileArray::file_size(std::FILE* file)
{
    if (file == nullptr || std::fseek(file, 0, SEEK_END) != 0)
        return 0;
    long end = std::ftell(file);
    if (end < 0 || static_cast<unsigned long>(end) > 0xFFFFFFFFul)
        return 0;
    return static_cast<std::uint32_t>(end);
}

bool XrPackedFileArray::read_at(std::FILE* file, std::uint32_t offset, void* buffer, std::uint32_t length)
{
    if (file == nullptr || std::fseek(file, static_cast<long>(offset), SEEK_SET) != 0)
        return false;
    return length == 0 || std::fread(buffer, 1, length, file) == length;
}

XrPackedFileArray::File XrPackedFileArray::open_file(const XrString& path)
{
    std::string p;
    if (!to_platform_path(path, true, p))
        return nullptr;
    return File(std::fopen(p.c_str(), "rb"));
}

bool XrPackedFileArray::read_directory(std::FILE* file, std::uint32_t offset, XrArray<std::uint32_t>& offsets)
{
    offsets.remove_all();
    std::uint32_t size = file_size(file);
    BYTE head[L::DIRECTORY_HEAD];
    if (std::uint64_t(offset) + L::DIRECTORY_HEAD > size || !read_at(file, offset, head, L::DIRECTORY_HEAD))
        return false;
    std::uint32_t count = xr_bytes::get_u32_le(head + L::DIRECTORY_COUNT);
    // Every entry offset is 4 bytes of the file: a count the file cannot
    // hold is corrupt.
    if (std::uint64_t(offset) + L::DIRECTORY_HEAD + std::uint64_t(count) * L::OFFSET_SIZE > size)
        return false;
    if (count == 0)
        return true;
    std::vector<BYTE> table(std::size_t(count) * L::OFFSET_SIZE);
    bool ok = read_at(file, offset + L::DIRECTORY_HEAD, table.data(), count * L::OFFSET_SIZE) &&
              offsets.set_capacity(static_cast<int>(count));
    XrByteCursor c(table);
    for (std::uint32_t i = 0; ok && i < count; ++i)
        ok = offsets.append(c.u32_le());
    if (!ok)
        offsets.remove_all();
    return ok;
}

BYTE* XrPackedFileArray::read_entry(std::FILE* file, std::uint32_t entry_offset, int& size)
{
    size = 0;
    std::uint32_t total = file_size(file);
    BYTE head[L::ENTRY_HEAD];
    if (std::uint64_t(entry_offset) + L::ENTRY_HEAD > total || !read_at(file, entry_offset, head, L::ENTRY_HEAD))
        return nullptr;
    std::uint32_t plain_len = xr_bytes::get_u32_le(head + L::ENTRY_PLAIN_LENGTH);
    std::uint32_t packed_len = xr_bytes::get_u32_le(head + L::ENTRY_PACKED_LENGTH);
    if (plain_len > MAX_ITEM_SIZE || packed_len > MAX_ITEM_SIZE ||
        std::uint64_t(entry_offset) + L::ENTRY_HEAD + packed_len > total)
        return nullptr;
    std::unique_ptr<BYTE[]> packed(new (std::nothrow) BYTE[packed_len > 0 ? packed_len : 1]);
    std::unique_ptr<BYTE[]> plain(new (std::nothrow) BYTE[plain_len > 0 ? plain_len : 1]);
    if (packed == nullptr || plain == nullptr || !read_at(file, entry_offset + L::ENTRY_HEAD, packed.get(), packed_len))
        return nullptr;
    int produced = static_cast<int>(plain_len);
    if (!zlib_uncompress_whole(packed.get(), static_cast<int>(packed_len), plain.get(), produced) ||
        produced != static_cast<int>(plain_len))
        return nullptr;
    size = static_cast<int>(plain_len);
    return plain.release();
}

BYTE* XrPackedFileArray::read_item(const XrString& path, std::uint32_t directory_offset, int index, int& size)
{
    size = 0;
    File file = open_file(path);
    if (file == nullptr)
        return nullptr;
    XrArray<std::uint32_t> offsets;
    if (!read_directory(file.get(), directory_offset, offsets) || index < 0 || index >= offsets.get_num_items())
        return nullptr;
    return read_entry(file.get(), *offsets.get_item_ptr(index), size);
}

void XrPackedFileArray::append_data(const XrString& path, const BYTE* data, int size)
{
    (void)path;
    (void)data;
    (void)size;
    XR_ASSERT_MSG(false, "false");
}
