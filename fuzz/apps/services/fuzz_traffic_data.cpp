// Traffic data files: the sections and the record index parsed into a
// penalty, then every indexed record decoded with and without its name.
#include "apps/services/xr_trafficinfo.h"
#include "apps/services/xr_trafficpenalty.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > (1u << 20))
        return 0;
    XrTrafficPenalty penalty;
    XrTrafficInfoData index;
    if (!index.parse(data, size, &penalty, false))
        return 0;
    for (const XrTrafficInfoEvent& event : index.get_events()) {
        XrTrafficInfoBlockRec block;
        if (!index.find_block(event.event_id, block))
            __builtin_trap(); // every listed event has its block
        if (static_cast<std::size_t>(block.offset) + block.length > size)
            __builtin_trap(); // blocks lie inside the file
        for (bool names : {false, true}) {
            auto params = XrTrafficInfoParams::decode(data + block.offset, block.length, names);
            if (params && params->event_id != event.event_id)
                __builtin_trap();
        }
    }
    XrTrafficInfoData all;
    all.parse(data, size, nullptr, true);
    return 0;
}
