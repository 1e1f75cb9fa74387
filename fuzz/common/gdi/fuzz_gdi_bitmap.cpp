// Bitmap records as XrGDI::load_bitmap turns them into handle pixels: RGB
// rows of 24- and 32-bit pictures, 1-bit rows of monochrome ones.
#include <cstddef>
#include <cstdint>

#include "common/gdi/xr_gdi_decode.h"
#include "common/gdi/xr_mbm.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (!XrMbm::check_record(data, static_cast<std::uint32_t>(size)))
        return 0;
    XrDecodedMbm decoded;
    const XrDecodedMbm::Kind kind = decode_mbm_record(data, decoded);
    const std::size_t width = decoded.header.width, height = decoded.header.height;
    volatile BYTE sink = 0;
    if (kind == XrDecodedMbm::Rgb)
        sink = decoded.rgb[width * height * 3 - 1];
    else if (kind == XrDecodedMbm::Mono)
        sink = decoded.bits[(width + 7) / 8 * height - 1];
    (void)sink;
    delete[] decoded.rgb;
    delete[] decoded.bits;
    return 0;
}
