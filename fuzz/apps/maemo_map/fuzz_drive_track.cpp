// The demo drive's track reader and the fixes placed along what it read.
#include <cstddef>
#include <cstdint>

#include "apps/maemo_map/xr_trackpositionproducer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<XrTrackPoint> track = xr_parse_track(reinterpret_cast<const char*>(data), size, 1000);
    XrTrackPositionProducer producer(nullptr, std::move(track));
    for (int s = 0; s < 5; ++s)
        producer.place_at(s * 7.5);
    return 0;
}
