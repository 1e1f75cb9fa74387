// "version.txt" descriptions of content folders.
#include "common/update/xr_versionfile.h"

#include <climits>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > INT_MAX)
        return 0;
    XrVersionFile file;
    file.parse(data, (int)size);
    static const TCHAR* const keys[] = {L"GUID", L"Map version", L"Title", L"Language", L""};
    for (const TCHAR* key : keys)
        (void)file.get(key).length();
    return 0;
}
