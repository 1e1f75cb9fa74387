// The application's and the map's version texts ("version.txt"), widened
// byte by byte as they are read: every value the program takes from them is
// at most 63 characters of one line.
#include "apps/apps_common/xr_versioninfo.h"

#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 64 * 1024)
        return 0;
    const std::wstring wide(data, data + size);
    const XrString text(wide.c_str());
    for (const TCHAR* key : {L"Version: ", L"Title: ", L"Copyright year: ", L"Map version: ", L"Vendor: ", L""}) {
        const XrString value = extract_version_value(text, XrString(key));
        const std::wstring v(value.c_str());
        if (v.size() > 63 || v.find_first_of(L"\r\n") != std::wstring::npos)
            std::abort();
        if (!v.empty() && std::wcsstr(text.c_str(), (std::wstring(key) + v).c_str()) == nullptr)
            std::abort();
    }
    return 0;
}
