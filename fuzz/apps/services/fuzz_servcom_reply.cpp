// ServCom reply bodies: the length item, the zlib stream and the reply bag,
// decoded whole and in pieces (the first byte picks the piece size), then
// evaluated.
#include "apps/services/xr_servcomreply.h"
#include "common/ber/xr_propertybag.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1 || size > (1u << 20))
        return 0;
    const std::size_t piece = static_cast<std::size_t>(data[0]) + 1;
    ++data;
    --size;
    XrPropertyBag* bag = servcom_decode_reply(data, static_cast<int>(size));
    XrServComReplyDecoder decoder;
    for (std::size_t at = 0; at < size; at += piece)
        decoder.write(data + at, static_cast<int>(std::min(piece, size - at)));
    XrPropertyBag* pieces = decoder.finish();
    if ((bag == nullptr) != (pieces == nullptr))
        __builtin_trap(); // the pieces must not change the outcome
    delete pieces;
    XrServComReply reply = servcom_evaluate_reply(bag);
    delete reply.payload;
    delete bag;
    return 0;
}
