// Ogg Vorbis decoding of any bytes: a stream that opens decodes into an
// image no larger than announced, with a consistent header. The mutator
// changes one packet of one page (re-laced) or any bytes, then writes the
// page checksums, so that mutations reach the decoder.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

#include "apps/oggvorbis/xr_oggvorbisfile.h"
#include "common/audio/xr_wavreader.h"
#include "common/misc/xr_path_resolver.h"
#include "platform/esd/xr_wavformat.h"

#include "apps/oggvorbis/xr_ogg_pages.h"

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t max_size);

namespace {

// Mutates one complete packet span of one page; false when there is none
// or the result does not fit.
bool mutate_packet(std::uint8_t* data, std::size_t& size, std::size_t max_size, std::minstd_rand& rng)
{
    const std::vector<xr_ogg_pages::Page> pages = xr_ogg_pages::find(data, size);
    if (pages.empty())
        return false;
    const xr_ogg_pages::Page& p = pages[rng() % pages.size()];
    const std::uint8_t* lacing = data + p.at + xr_ogg_pages::HEADER_SIZE;

    // The page's packet spans: {body offset, size, terminated}.
    struct Span {
        std::size_t at, size;
        bool terminated;
    };
    std::vector<Span> spans;
    std::size_t at = 0;
    std::size_t run = 0;
    for (std::size_t i = 0; i < p.segments; ++i) {
        run += lacing[i];
        if (lacing[i] < 255 || i + 1 == p.segments) {
            spans.push_back({at, run, lacing[i] < 255});
            at += run;
            run = 0;
        }
    }
    std::vector<std::size_t> whole;
    for (std::size_t i = 0; i < spans.size(); ++i)
        if (spans[i].terminated)
            whole.push_back(i);
    if (whole.empty())
        return false;
    Span& target = spans[whole[rng() % whole.size()]];

    const std::size_t capacity = std::min<std::size_t>(target.size * 2 + 64, 255 * 254);
    std::vector<std::uint8_t> changed(capacity);
    std::memcpy(changed.data(), data + p.body_at + target.at, target.size);
    changed.resize(LLVMFuzzerMutate(changed.data(), target.size, capacity));

    std::vector<std::uint8_t> table;
    std::vector<std::uint8_t> body;
    for (const Span& span : spans) {
        const std::uint8_t* bytes = &span == &target ? changed.data() : data + p.body_at + span.at;
        const std::size_t n = &span == &target ? changed.size() : span.size;
        if (span.terminated) {
            table.insert(table.end(), n / 255, 255);
            table.push_back(static_cast<std::uint8_t>(n % 255));
        } else {
            table.insert(table.end(), n / 255, 255);
        }
        body.insert(body.end(), bytes, bytes + n);
    }
    if (table.size() > 255)
        return false;
    const std::size_t old_end = p.body_at + p.body_size;
    const std::size_t page_size = xr_ogg_pages::HEADER_SIZE + table.size() + body.size();
    const std::size_t new_size = size - (old_end - p.at) + page_size;
    if (new_size > max_size)
        return false;
    std::vector<std::uint8_t> out(data, data + p.at + xr_ogg_pages::HEADER_SIZE);
    out[p.at + xr_ogg_pages::SEGMENTS_AT] = static_cast<std::uint8_t>(table.size());
    out.insert(out.end(), table.begin(), table.end());
    out.insert(out.end(), body.begin(), body.end());
    out.insert(out.end(), data + old_end, data + size);
    std::memcpy(data, out.data(), out.size());
    size = out.size();
    return true;
}

}  // namespace

// The system decoder library leaks a few bytes on some broken setup headers;
// that is its own fault, not the reader's.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libvorbisidec.so\n";
}

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t max_size,
                                               unsigned int seed)
{
    std::minstd_rand rng(seed);
    if (rng() % 4 == 0 || !mutate_packet(data, size, max_size, rng))
        size = LLVMFuzzerMutate(data, size, max_size);
    xr_ogg_pages::fix_crcs(data, size);
    return size;
}

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
