#include "tools/mapgen/trafficstrings_writer.h"

#include "apps/services/xr_trafficstringslayout.h"
#include "common/container/xr_bytes.h"

namespace L = xr_traffic_strings_layout;

std::vector<std::uint8_t> traffic_strings_file(const std::map<int, std::string>& texts)
{
    int last = 0;
    for (const auto& [code, text] : texts)
        if (code >= L::FIRST_CODE && code <= L::LAST_CODE)
            last = code;
    XrByteWriter out;
    out.zeros(L::ENTRY_SIZE * (static_cast<std::size_t>(last) + 1));
    for (const auto& [code, text] : texts) {
        if (code < L::FIRST_CODE || code > L::LAST_CODE || text.size() > 0xFFFF)
            continue;
        const std::size_t entry = L::ENTRY_SIZE * static_cast<std::size_t>(code);
        out.patch_le(entry + L::ENTRY_OFFSET, out.size(), 4);
        out.patch_le(entry + L::ENTRY_LENGTH, text.size(), 2);
        out.bytes(text.data(), text.size());
    }
    return out.take();
}
