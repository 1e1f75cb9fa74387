#include "tools/mapgen/servcom_writer.h"

#include "common/container/xr_bytearray.h"

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
    // INTEGER, the fewest two's-complement octets.
    std::vector<std::uint8_t> contents;
    std::uint32_t v = static_cast<std::uint32_t>(announced);
    for (int i = 3; i >= 0; --i)
        contents.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    while (contents.size() > 1 && ((contents[0] == 0 && !(contents[1] & 0x80)) ||
                                   (contents[0] == 0xFF && (contents[1] & 0x80))))
        contents.erase(contents.begin());
    std::vector<std::uint8_t> body = {0x02, static_cast<std::uint8_t>(contents.size())};
    body.insert(body.end(), contents.begin(), contents.end());
    std::vector<std::uint8_t> packed = servcom_compress(encoding);
    body.insert(body.end(), packed.begin(), packed.end());
    return body;
}

std::vector<std::uint8_t> servcom_reply_body(const std::vector<std::uint8_t>& encoding)
{
    return servcom_reply_body(encoding, static_cast<std::int32_t>(encoding.size()));
}
