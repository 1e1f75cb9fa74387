#include "tools/mapgen/ber_items.h"

#include "common/ber/xr_berrecord.h"
#include "common/container/xr_bytes.h"

std::vector<BYTE> ber_item(BYTE tag, const std::vector<BYTE>& contents)
{
    XrByteWriter out;
    out.u8(tag);
    BYTE length[5];
    out.bytes(length, static_cast<std::size_t>(ber_encode_length(static_cast<std::uint32_t>(contents.size()), length)));
    out.bytes(contents);
    return out.take();
}

std::vector<BYTE> ber_integer(std::int32_t value)
{
    BYTE contents[4];
    const int n = ber_int_contents(value, contents);
    return ber_item(XR_BER_INTEGER, std::vector<BYTE>(contents, contents + n));
}
