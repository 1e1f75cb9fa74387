// Compiled catalogues from arbitrary bytes: the reader stays within them and
// every text it keeps is found again under its key.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/misc/xr_mocatalogue.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 65536)
        return 0;
    XrMoCatalogue catalogue;
    const bool ok = catalogue.parse(data, size);
    if (!ok && catalogue.size() != 0)
        std::abort();
    if (catalogue.find("") != nullptr)
        std::abort();
    // The bytes' first characters as a key: a found text is never empty.
    const std::string key(reinterpret_cast<const char*>(data), size < 32 ? size : 32);
    const char* text = catalogue.find(key.c_str());
    if (text != nullptr && *text == '\0')
        std::abort();
    return 0;
}
