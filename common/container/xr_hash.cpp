#include "common/container/xr_hash.h"

#include "common/container/xr_string.h"

unsigned int xr_hash_key(const XrString& key)
{
    std::uint32_t h = 0;
    for (const TCHAR* p = key.c_str(); *p != 0; ++p) {
        std::uint32_t c = static_cast<std::uint32_t>(*p);
        unsigned int r = c % 7 + 1;
        h = ((h << r) | (h >> (32 - r))) ^ c;
    }
    return h;
}
