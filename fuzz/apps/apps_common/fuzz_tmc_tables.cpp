// TMC tables from arbitrary bytes: the input is split into "tmc_paths.bin"
// and "tmc_locations.bin", then every lookup runs on keys from the data.
#include "apps/apps_common/xr_tmctablefile.h"
#include "common/container/xr_bytes.h"
#include "common/storage/xr_storageaccessor.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwchar>

namespace {

XrStorageAccessor* memory(const std::uint8_t* data, std::size_t size)
{
    BYTE* copy = new BYTE[size + 1];
    if (size > 0)
        std::memcpy(copy, data, size);
    return new XrMemoryStorageAccessor(true, copy, static_cast<std::uint32_t>(size), true);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 8)
        return 0;
    // The first two bytes give the split, the next four a key.
    const std::size_t split = std::min<std::size_t>(xr_bytes::get_u16_le(data), size - 6);
    const std::uint16_t table = xr_bytes::get_u16_le(data + 2);
    const std::uint16_t code = xr_bytes::get_u16_le(data + 4);
    const std::uint8_t* rest = data + 6;
    const std::size_t rest_size = size - 6;
    XrTmcTableFile tables;
    if (!tables.open(memory(rest, split), memory(rest + split, rest_size - split)))
        return 0;
    wchar_t text[8];
    std::swprintf(text, 8, L"%x", table);
    XrArray<unsigned int> values;
    XrPoint point;
    tables.find_location(text, code, values, point);
    for (bool caching : {false, true}) {
        std::uint32_t offset = 0;
        XrArray<XrTmcPathEntry> entries;
        int count = 0;
        if (tables.find_record_by_id(text, code, caching, offset) &&
            tables.read_record(offset, caching, count, entries)) {
            for (int i = 0; i < entries.get_num_items() && i < 8; ++i) {
                const XrTmcPathEntry& e = *entries.get_item_ptr(i);
                XrArray<unsigned int> edges;
                tables.resolve_segment(e.path_id, e.position, e.extra, e.extra, edges, point);
            }
            XrArray<std::uint16_t> codes;
            codes.append(code);
            codes.append(static_cast<std::uint16_t>(code + 1));
            codes.append(code);
            codes.append(code);
            XrTmcCommonPath match;
            match_tmc_event(tables, text, codes, entries, entries, match);
        }
        tables.read_record(code, caching, count, entries);
    }
    tables.release_caches();
    return 0;
}
