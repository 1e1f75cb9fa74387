// ServCom reply bodies: the length item, the zlib stream and the reply bag,
// then its evaluation.
#include "apps/services/xr_servcomreply.h"
#include "common/ber/xr_propertybag.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > (1u << 20))
        return 0;
    XrPropertyBag* bag = servcom_decode_reply(data, static_cast<int>(size));
    XrServComReply reply = servcom_evaluate_reply(bag);
    delete reply.payload;
    delete bag;
    return 0;
}
