// Difference files of any kind against a small old text: applying stays in
// bounds, and the target holds exactly the bytes reported as written.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/container/xr_bytearray.h"
#include "common/storage/xr_gdiff.h"
#include "common/storage/xr_gdifflayout.h"
#include "common/storage/xr_storageaccessor.h"

using namespace xr_gdiff_layout;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1 || size > 65536)
        return 0;
    // First byte: the length of the old data that follows; then the
    // difference, given the GDIFF header when the length byte is odd.
    std::size_t old_len = std::min<std::size_t>(data[0], size - 1);
    std::vector<BYTE> old(data + 1, data + 1 + old_len);
    std::vector<BYTE> diff;
    if (data[0] & 1)
        diff = {MAGIC[0], MAGIC[1], MAGIC[2], MAGIC[3], FORMAT_VERSION};
    diff.insert(diff.end(), data + 1 + old_len, data + size);

    XrMemoryStorageAccessor o(true, old.data(), static_cast<std::uint32_t>(old.size()), false);
    XrMemoryStorageAccessor d(true, diff.data(), static_cast<std::uint32_t>(diff.size()), false);
    XrByteArrayAccessor out;
    std::vector<BYTE> seen;
    auto progress = [](const BYTE* b, std::uint32_t n, void* user) {
        auto* s = static_cast<std::vector<BYTE>*>(user);
        s->insert(s->end(), b, b + n);
    };
    apply_gdiff(&o, &d, &out, false, progress, &seen);
    XrByteArray* arr = out.get_array();
    if (static_cast<std::size_t>(arr->get_num_items()) != seen.size() ||
        (!seen.empty() && std::memcmp(arr->get_items(), seen.data(), seen.size()) != 0))
        std::abort();

    // Into a fixed block: writes past its end must fail, not overrun.
    BYTE block[64] = {};
    XrMemoryStorageAccessor fixed(false, block, sizeof(block), false);
    apply_gdiff(&o, &d, &fixed, true, nullptr, nullptr);
    return 0;
}
