// Ogg Vorbis decoding of any bytes: a stream that opens decodes into an
// image no larger than announced, with a consistent header.
#include <cstdint>
#include <cstdlib>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

#include "apps/oggvorbis/xr_oggvorbisfile.h"
#include "common/audio/xr_wavreader.h"
#include "common/misc/xr_path_resolver.h"
#include "platform/esd/xr_wavformat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > (1u << 18))
        return 0;
    const int fd = memfd_create("prompt", MFD_CLOEXEC);
    if (fd < 0 || (size > 0 && write(fd, data, size) != static_cast<ssize_t>(size)))
        std::abort();
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    const int width = size % 2 == 0 ? 16 : 8;

    XrOggVorbisFile f;
    if (f.open(from_platform_path(path.c_str()), width)) {
        std::unique_ptr<BYTE[]> image = f.get_wav_data();
        if (image) {
            const std::uint32_t d = xr_bytes::get_u32_le(image.get() + xr_wav::DATA_SIZE);
            if (d + xr_wav::HEADER_SIZE > f.get_size() ||
                xr_bytes::get_u32_le(image.get() + xr_wav::RIFF_SIZE) != d + xr_wav::RIFF_SIZE_BIAS)
                std::abort();
            XrWavInfo info;
            if (d > 0 && XrWavReader::parse(image.get(), f.get_size(), info) != XrWavReader::OK)
                std::abort();
        }
    }
    close(fd);
    return 0;
}
