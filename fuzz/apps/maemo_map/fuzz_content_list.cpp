// The maps window's list files ("map.lst", "speaker.lst") as the update
// server sends them: every record read is whole and its sizes are sane.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "apps/maemo_map/xr_maemomapsdlg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    for (const bool maps : {true, false})
        for (const XrContentRecord& r : xr_parse_content_list(bytes, maps)) {
            if (r.guid.is_empty() || r.size < 0 || r.need < 0 || (!maps && !r.version.is_empty()))
                std::abort();
            xr_format_content_size(static_cast<std::uint64_t>(r.size));
        }
    return 0;
}
