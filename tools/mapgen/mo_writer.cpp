#include "tools/mapgen/mo_writer.h"

#include <cstdint>

#include "common/container/xr_bytes.h"
#include "common/misc/xr_molayout.h"

std::vector<BYTE> write_mo_catalogue(const std::vector<std::pair<std::string, std::string>>& pairs, bool big_endian)
{
    namespace L = xr_mo_layout;
    const std::size_t n = pairs.size();
    const std::size_t originals = L::HEADER_SIZE, translations = originals + n * L::DESCRIPTOR_SIZE;
    std::vector<BYTE> out(translations + n * L::DESCRIPTOR_SIZE);
    auto put = [&](std::size_t off, std::uint32_t v) {
        if (big_endian)
            xr_bytes::put_u32_be(out.data() + off, v);
        else
            xr_bytes::put_u32_le(out.data() + off, v);
    };
    put(L::HEADER_MAGIC, L::MAGIC);
    put(L::HEADER_REVISION, 0);
    put(L::HEADER_COUNT, static_cast<std::uint32_t>(n));
    put(L::HEADER_ORIGINALS, static_cast<std::uint32_t>(originals));
    put(L::HEADER_TRANSLATIONS, static_cast<std::uint32_t>(translations));
    auto add = [&](std::size_t descriptor, const std::string& s) {
        put(descriptor + L::DESCRIPTOR_LENGTH, static_cast<std::uint32_t>(s.size()));
        put(descriptor + L::DESCRIPTOR_OFFSET, static_cast<std::uint32_t>(out.size()));
        out.insert(out.end(), s.begin(), s.end());
        out.push_back(0);
    };
    for (std::size_t i = 0; i < n; ++i) {
        add(originals + i * L::DESCRIPTOR_SIZE, pairs[i].first);
        add(translations + i * L::DESCRIPTOR_SIZE, pairs[i].second);
    }
    return out;
}
