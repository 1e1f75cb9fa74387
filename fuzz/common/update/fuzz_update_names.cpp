// Server-given file and folder names: a name taken as safe never climbs out
// of the folder it is joined to.
#include "common/update/xr_updatefiles.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 4096)
        return 0;
    XrString name(reinterpret_cast<const char*>(data), static_cast<int>(size));
    XrString joined;
    if (!xr_update_join(XrString("/card/map/"), XrString(""), name, joined))
        return 0;
    // Walk the joined path's parts below the base: the depth never goes negative.
    int depth = 0;
    const int n = joined.length();
    int part = 10; // after "/card/map/"
    for (int i = part; i <= n; ++i) {
        const TCHAR c = i < n ? joined.char_at(i) : L'/';
        if (c != L'/' && c != L'\\')
            continue;
        const int len = i - part;
        if (len == 2 && joined.char_at(part) == L'.' && joined.char_at(part + 1) == L'.')
            --depth;
        else if (len > 0 && !(len == 1 && joined.char_at(part) == L'.'))
            ++depth;
        if (depth < 0)
            std::abort();
        part = i + 1;
    }
    return 0;
}
