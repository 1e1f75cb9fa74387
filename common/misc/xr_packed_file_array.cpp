#include "common/misc/xr_packed_file_array.h"

#include <new>
#include <string>

#include <zlib.h>

#include "common/misc/xr_path_resolver.h"

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

std::FILE* XrPackedFileArray::open_file(const XrString& path)
{
    std::string p;
    if (!to_platform_path(path, true, p))
        return nullptr;
    return std::fopen(p.c_str(), "rb");
}

bool XrPackedFileArray::read_directory(std::FILE* file, std::uint32_t offset, XrArray<std::uint32_t>& offsets)
{
    offsets.remove_all();
    std::uint32_t size = file_size(file);
    BYTE word[4];
    if (std::uint64_t(offset) + 4 > size || !read_at(file, offset, word, 4))
        return false;
    std::uint32_t count = get_u32(word);
    // Every entry offset is 4 bytes of the file: a count the file cannot
    // hold is corrupt.
    if (std::uint64_t(offset) + 4 + std::uint64_t(count) * 4 > size)
        return false;
    if (count == 0)
        return true;
    BYTE* table = new (std::nothrow) BYTE[std::size_t(count) * 4];
    if (table == nullptr)
        return false;
    bool ok = read_at(file, offset + 4, table, count * 4) && offsets.set_capacity(static_cast<int>(count));
    for (std::uint32_t i = 0; ok && i < count; ++i)
        ok = offsets.append(get_u32(table + 4 * i));
    delete[] table;
    if (!ok)
        offsets.remove_all();
    return ok;
}

BYTE* XrPackedFileArray::read_entry(std::FILE* file, std::uint32_t entry_offset, int& size)
{
    size = 0;
    std::uint32_t total = file_size(file);
    BYTE head[8];
    if (std::uint64_t(entry_offset) + 8 > total || !read_at(file, entry_offset, head, 8))
        return nullptr;
    std::uint32_t plain_len = get_u32(head);
    std::uint32_t packed_len = get_u32(head + 4);
    if (plain_len > MAX_ITEM_SIZE || packed_len > MAX_ITEM_SIZE ||
        std::uint64_t(entry_offset) + 8 + packed_len > total)
        return nullptr;
    BYTE* packed = new (std::nothrow) BYTE[packed_len > 0 ? packed_len : 1];
    BYTE* plain = new (std::nothrow) BYTE[plain_len > 0 ? plain_len : 1];
    bool ok = packed != nullptr && plain != nullptr && read_at(file, entry_offset + 8, packed, packed_len);
    if (ok) {
        uLongf produced = plain_len;
        ok = uncompress(plain, &produced, packed, packed_len) == Z_OK && produced == plain_len;
    }
    delete[] packed;
    if (!ok) {
        delete[] plain;
        return nullptr;
    }
    size = static_cast<int>(plain_len);
    return plain;
}

BYTE* XrPackedFileArray::read_item(const XrString& path, std::uint32_t directory_offset, int index, int& size)
{
    size = 0;
    std::FILE* file = open_file(path);
    if (file == nullptr)
        return nullptr;
    XrArray<std::uint32_t> offsets;
    BYTE* item = nullptr;
    if (read_directory(file, directory_offset, offsets) && index >= 0 && index < offsets.get_num_items())
        item = read_entry(file, *offsets.get_item_ptr(index), size);
    std::fclose(file);
    return item;
}

void XrPackedFileArray::append_data(const XrString& path, const BYTE* data, int size)
{
    (void)path;
    (void)data;
    (void)size;
    XR_ASSERT_MSG(false, "false");
}
