#include "tools/mapgen/servcom_writer.h"

#include "common/container/xr_bytearray.h"
#include "tools/mapgen/ber_items.h"

std::vector<std::uint8_t> servcom_compress(const std::vector<std::uint8_t>& bytes)
{
    const int n = static_cast<int>(bytes.size());
    int packed_length = n + n / 10 + 64;
    std::vector<std::uint8_t> packed(static_cast<size_t>(packed_length));
    if (!zlib_compress(bytes.data(), n, packed.data(), packed_length))
        return {};
    packed.resize(static_cast<size_t>(packed_length));
    return packed;
}

std::vector<std::uint8_t> servcom_reply_body(const std::vector<std::uint8_t>& encoding, std::int32_t announced)
{
    static_assert(xr_servcom_layout::LENGTH_TAG == XR_BER_INTEGER);
    std::vector<std::uint8_t> body = ber_integer(announced);
    const std::vector<std::uint8_t> packed = servcom_compress(encoding);
    body.insert(body.end(), packed.begin(), packed.end());
    return body;
}

std::vector<std::uint8_t> servcom_reply_body(const std::vector<std::uint8_t>& encoding)
{
    return servcom_reply_body(encoding, static_cast<std::int32_t>(encoding.size()));
}
