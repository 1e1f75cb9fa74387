#include "common/misc/xr_mocatalogue.h"

#include <fstream>
#include <iterator>
#include <vector>

#include "common/container/xr_bytes.h"
#include "common/misc/xr_molayout.h"

namespace {

// Largest catalogue read (the English one is some tens of kilobytes).
constexpr std::size_t max_catalogue = 8u * 1024 * 1024;

} // namespace

bool XrMoCatalogue::parse(const BYTE* data, std::size_t size)
{
    namespace L = xr_mo_layout;
    texts.clear();
    if (data == nullptr || size < L::HEADER_SIZE)
        return false;
    const std::uint32_t magic = xr_bytes::get_u32_le(data + L::HEADER_MAGIC);
    if (magic != L::MAGIC && magic != L::MAGIC_SWAPPED)
        return false;
    const bool big = magic == L::MAGIC_SWAPPED;
    auto u32 = [&](std::size_t off) { return big ? xr_bytes::get_u32_be(data + off) : xr_bytes::get_u32_le(data + off); };
    const std::size_t count = u32(L::HEADER_COUNT);
    const std::size_t originals = u32(L::HEADER_ORIGINALS);
    const std::size_t translations = u32(L::HEADER_TRANSLATIONS);
    const std::size_t table = count * L::DESCRIPTOR_SIZE;
    if (count > size / L::DESCRIPTOR_SIZE || originals > size - table || translations > size - table)
        return false;
    // The string of descriptor i of a table; false when it does not lie
    // within the bytes with its NUL.
    auto string_at = [&](std::size_t table_offset, std::size_t i, std::string& out) {
        const std::size_t d = table_offset + i * L::DESCRIPTOR_SIZE;
        const std::size_t length = u32(d + L::DESCRIPTOR_LENGTH);
        const std::size_t offset = u32(d + L::DESCRIPTOR_OFFSET);
        if (offset >= size || length >= size - offset || data[offset + length] != 0)
            return false;
        out.assign(reinterpret_cast<const char*>(data + offset), length);
        return true;
    };
    for (std::size_t i = 0; i < count; ++i) {
        std::string key, text;
        if (!string_at(originals, i, key) || !string_at(translations, i, text)) {
            texts.clear();
            return false;
        }
        if (!key.empty() && !text.empty())
            texts.emplace(std::move(key), std::move(text));
    }
    return true;
}

bool XrMoCatalogue::load(const std::string& path)
{
    texts.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::vector<BYTE> bytes;
    char buffer[16384];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        bytes.insert(bytes.end(), buffer, buffer + in.gcount());
        if (bytes.size() > max_catalogue)
            return false;
    }
    return parse(bytes.data(), bytes.size());
}

const char* XrMoCatalogue::find(const char* key) const
{
    if (key == nullptr)
        return nullptr;
    const auto it = texts.find(key);
    return it != texts.end() ? it->second.c_str() : nullptr;
}
