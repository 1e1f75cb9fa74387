// Traffic strings files: the text of every event code read twice (the
// second time from the cache), each answer within the file's bounds.
#include "apps/services/xr_trafficstrings.h"
#include "common/storage/xr_storageaccessor.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > (1u << 20))
        return 0;
    BYTE* copy = new BYTE[size + 1];
    if (size > 0)
        std::memcpy(copy, data, size);
    XrTrafficStrings strings;
    if (!strings.open(std::make_unique<XrMemoryStorageAccessor>(true, copy, static_cast<std::uint32_t>(size), true)))
        return 0;
    for (int round = 0; round < 2; ++round) {
        for (int code = -1; code <= 2048; ++code) {
            XrString text;
            const bool found = strings.get_text(code, text);
            if (!found && text.length() != 0)
                __builtin_trap(); // no text without an answer
            if (static_cast<std::size_t>(text.length()) > size)
                __builtin_trap(); // never more characters than bytes
        }
    }
    return 0;
}
