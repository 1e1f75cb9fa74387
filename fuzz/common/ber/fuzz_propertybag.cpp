// Property bags from the network: arbitrary bytes decoded as a bag; a bag
// that decodes is encoded again and must decode to a bag of the same size.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "common/ber/xr_propertybag.h"
#include "common/ber/xr_streams.h"
#include "common/storage/xr_storageaccessor.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    XrMemoryStorageAccessor accessor(true, const_cast<BYTE*>(data), static_cast<std::uint32_t>(size), false);
    XrPropertyBag bag;
    if (bag.decode(&accessor) != XrPropertyBag::OK)
        return 0;
    XrByteArray first;
    if (bag.encode(first) != XrPropertyBag::OK)
        std::abort();
    XrMemoryStorageAccessor again(true, first.get_items(), static_cast<std::uint32_t>(first.get_num_items()), false);
    XrPropertyBag back;
    if (back.decode(&again) != XrPropertyBag::OK)
        std::abort();
    XrByteArray second;
    back.encode(second);
    // The key order may differ (it is the key table's), the size may not.
    if (second.get_num_items() != first.get_num_items())
        std::abort();
    XrBagInputStream stream(bag);
    return 0;
}
