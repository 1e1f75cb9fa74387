// Traffic updates: a GDIFF difference applied to old content (the first two
// bytes give the old content's length), and the new content parsed.
#include "apps/services/xr_trafficinfo.h"
#include "apps/services/xr_trafficpenalty.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2 || size > (1u << 20))
        return 0;
    std::size_t old_length = static_cast<std::size_t>(data[0] | (data[1] << 8));
    data += 2;
    size -= 2;
    if (old_length > size)
        old_length = size;
    std::vector<BYTE> out;
    if (!XrTrafficInfoFile::apply_update(data, old_length, data + old_length, size - old_length, nullptr, out))
        return 0;
    XrTrafficPenalty penalty;
    XrTrafficInfoData index;
    index.parse(out.data(), out.size(), &penalty, true);
    return 0;
}
