// The roadblock file reader over arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "common/graph/xr_dynpenaltymanager.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > static_cast<std::size_t>(XrDynPenaltyManager::MAX_FILE_SIZE))
        return 0;
    XrArray<XrPoint> points(8, 0);
    XrDynPenaltyManager::parse(data, static_cast<int>(size), points);
    return 0;
}
