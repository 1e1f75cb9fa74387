// WAV prompts of any content: the chunk reader finds samples only inside
// the file, loading gives canonical images, and a sentence of two prompts
// is exactly their samples behind one header.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

#include "common/audio/xr_audioplayer.h"
#include "common/audio/xr_wavreader.h"
#include "common/misc/xr_path_resolver.h"
#include "platform/esd/xr_wavformat.h"

namespace {

// A file in memory under a path the file layer can open.
class MemFile {
public:
    MemFile(const std::uint8_t* data, std::size_t size)
    {
        m_fd = memfd_create("prompt", MFD_CLOEXEC);
        if (m_fd < 0 || (size > 0 && write(m_fd, data, size) != static_cast<ssize_t>(size)))
            std::abort();
        m_path = "/proc/self/fd/" + std::to_string(m_fd);
    }
    ~MemFile() { close(m_fd); }
    XrString path() const { return from_platform_path(m_path.c_str()); }

private:
    int m_fd = -1;
    std::string m_path;
};

void check_image(const BYTE* image, std::uint32_t size, int width)
{
    XrWavInfo info;
    if (XrWavReader::parse(image, size, info) != XrWavReader::OK || info.data_offset != xr_wav::SAMPLES ||
        info.bits != static_cast<unsigned>(width) || xr_wav::HEADER_SIZE + info.data_size != size)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > (1u << 18))
        return 0;
    XrWavInfo info;
    if (XrWavReader::parse(data, size, info) == XrWavReader::OK) {
        if (info.data_size == 0 || info.data_size % info.frame_bytes() != 0 ||
            std::uint64_t(info.data_offset) + info.data_size > size)
            std::abort();
    }

    // Two prompts: the input split where its last byte says.
    const std::size_t split = size > 0 ? data[size - 1] * size / 256 : 0;
    MemFile a(data, split);
    MemFile b(data + split, size - split);
    for (int width : {8, 16}) {
        for (const MemFile* f : {&a, &b}) {
            auto prompt = XrAudioFile::create_for_file(f->path(), width);
            if (prompt && prompt->get_data() != nullptr)
                check_image(prompt->get_data(), prompt->get_size(), width);
        }
    }

    XrAudioPlayer player(size % 2 == 0 ? 0 : 1);
    XrSimpleArray<XrString> names;
    names.append(a.path());
    names.append(b.path());
    names.append(a.path());
    std::unique_ptr<BYTE[]> buffer;
    std::uint32_t length = 0;
    if (player.make_wav_buffer(names, buffer, length)) {
        check_image(buffer.get(), length, player.get_sample_width());
        auto pa = XrAudioFile::create_for_file(a.path(), player.get_sample_width());
        auto pb = XrAudioFile::create_for_file(b.path(), player.get_sample_width());
        if (!pa || !pb || length != 2 * pa->get_size() + pb->get_size() - 2 * xr_wav::HEADER_SIZE)
            std::abort();
    }
    return 0;
}
