#include "apps/services/xr_service.h"

#include <cstdio>

#include "common/misc/xr_md5.h"

void XrServiceHelper::compute_md5_hex(const BYTE* bytes, std::size_t length, char out[33])
{
    XrMD5Context ctx;
    md5_init(ctx);
    md5_update(ctx, bytes, length);
    BYTE digest[16];
    md5_final(ctx, digest);
    for (int i = 0; i < 16; ++i)
        std::snprintf(out + 2 * i, 3, "%02x", digest[i]);
}

void XrServiceHelper::compute_md5_hex(const XrByteArray& bytes, char out[33])
{
    compute_md5_hex(bytes.get_items(), static_cast<std::size_t>(bytes.get_num_items()), out);
}

bool XrServiceHelper::check_md5_hex(const BYTE* bytes, std::size_t length, const XrString& text)
{
    if (text.length() != 32)
        return false;
    char digest[33];
    compute_md5_hex(bytes, length, digest);
    for (int i = 0; i < 32; ++i)
        if (text.c_str()[i] != static_cast<TCHAR>(digest[i]))
            return false;
    return true;
}
