#include "apps/oggvorbis/xr_oggvorbisfile.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include <tremor/ivorbisfile.h>

#include "apps/oggvorbis/xr_vorbis_setup.h"
#include "common/audio/xr_audiofile.h"
#include "common/container/xr_bytes.h"
#include "common/os/xr_file.h"
#include "platform/esd/xr_wavformat.h"

namespace {

std::size_t cb_read(void* ptr, std::size_t size, std::size_t count, void* source)
{
    return static_cast<XrOggVorbisFile*>(source)->ogg_read(ptr, size, count);
}

int cb_seek(void* source, ogg_int64_t offset, int whence)
{
    return static_cast<XrOggVorbisFile*>(source)->ogg_seek(offset, whence);
}

int cb_close(void* source)
{
    return static_cast<XrOggVorbisFile*>(source)->ogg_close();
}

long cb_tell(void* source)
{
    return static_cast<XrOggVorbisFile*>(source)->ogg_tell();
}

const ov_callbacks callbacks = {cb_read, cb_seek, cb_close, cb_tell};

} // namespace

XrOggVorbisFile::XrOggVorbisFile() = default;

XrOggVorbisFile::~XrOggVorbisFile()
{
    XR_ASSERT_MSG(!m_file, "file == 0");
}

void XrOggVorbisFile::install()
{
    XrAudioFile::set_decoder_factory(&XrOggVorbisFile::create);
}

std::unique_ptr<XrPromptDecoder> XrOggVorbisFile::create()
{
    return std::make_unique<XrOggVorbisFile>();
}

// ---------------------------------------------------------------- source

std::size_t XrOggVorbisFile::ogg_read(void* buffer, std::size_t size, std::size_t count)
{
    if (!m_file || size == 0 || m_position > m_file_size)
        return 0;
    const std::size_t n = std::min<std::size_t>((m_file_size - m_position) / size, count);
    if (n == 0)
        return 0;
    const std::uint32_t bytes = static_cast<std::uint32_t>(n * size);
    if (m_file->read(m_position, bytes, static_cast<BYTE*>(buffer)) != XrFile::OK)
        return 0;
    m_position += bytes;
    return n;
}

int XrOggVorbisFile::ogg_seek(std::int64_t offset, int whence)
{
    std::int64_t to = 0;
    switch (whence) {
    case SEEK_SET:
        to = offset;
        break;
    case SEEK_CUR:
        to = static_cast<std::int64_t>(m_position) + offset;
        break;
    case SEEK_END:
        to = static_cast<std::int64_t>(m_file_size) + offset;
        break;
    default:
        XR_ASSERT_MSG(false, "0");
    }
    if (to < 0 || to > static_cast<std::int64_t>(m_file_size))
        return -1;
    m_position = static_cast<std::uint32_t>(to);
    return 0;
}

int XrOggVorbisFile::ogg_close()
{
    return 0;
}

long XrOggVorbisFile::ogg_tell()
{
    return static_cast<long>(m_position);
}

// ---------------------------------------------------------------- stream

bool XrOggVorbisFile::open_stream()
{
    m_file = std::make_unique<XrFile>();
    if (m_file->open_existing(m_name, true) != XrFile::OK) {
        m_file.reset();
        return false;
    }
    m_file_size = m_file->get_size();
    m_position = 0;
    // The decoder trusts the codebooks of the setup header; refuse the ones
    // it would fail on before it sees them.
    std::vector<BYTE> whole(m_file_size);
    if (m_file_size > XrAudioFile::max_image_size ||
        (m_file_size > 0 && m_file->read(0, m_file_size, whole.data()) != XrFile::OK) ||
        !xr_vorbis_setup::codebooks_sound(whole.data(), whole.size())) {
        m_file.reset();
        return false;
    }
    m_vf = std::make_unique<OggVorbis_File>();
    std::memset(m_vf.get(), 0, sizeof(OggVorbis_File));
    if (ov_open_callbacks(this, m_vf.get(), nullptr, 0, callbacks) < 0) {
        m_vf.reset();
        m_file.reset();
        m_position = 0;
        return false;
    }
    m_stream_open = true;
    return true;
}

void XrOggVorbisFile::close_stream()
{
    if (m_stream_open)
        ov_clear(m_vf.get());
    m_stream_open = false;
    m_vf.reset();
    m_file.reset();
}

bool XrOggVorbisFile::read_stream_info(std::uint32_t& wav_size)
{
    vorbis_info* info = ov_info(m_vf.get(), -1);
    const ogg_int64_t total = ov_pcm_total(m_vf.get(), -1);
    if (info == nullptr || info->channels < 1 || info->channels > 2 || info->rate <= 0 || total < 0)
        return false;
    const std::uint64_t size =
        static_cast<std::uint64_t>(total) * static_cast<unsigned>(info->channels) * (m_width / 8) + xr_wav::HEADER_SIZE;
    if (size > XrAudioFile::max_image_size)
        return false;
    m_channels = static_cast<unsigned>(info->channels);
    m_rate = static_cast<std::uint32_t>(info->rate);
    wav_size = static_cast<std::uint32_t>(size);
    return true;
}

bool XrOggVorbisFile::open(const XrString& name, int width)
{
    m_width = width == 8 ? 8 : 16;
    m_wav_size = 0;
    m_name = name;
    if (!open_stream())
        return false;
    std::uint32_t size = 0;
    const bool ok = read_stream_info(size);
    close_stream();
    if (!ok) {
        m_position = 0;
        return false;
    }
    m_wav_size = size;
    return true;
}

long XrOggVorbisFile::read_pcm(char* buffer, int length)
{
    int bitstream = 0;
    return ov_read(m_vf.get(), buffer, length, &bitstream);
}

std::unique_ptr<BYTE[]> XrOggVorbisFile::get_wav_data()
{
    if (m_wav_size < xr_wav::HEADER_SIZE || !open_stream())
        return nullptr;
    std::uint32_t size = 0;
    if (!read_stream_info(size) || size != m_wav_size) {
        close_stream();
        return nullptr;
    }
    const unsigned channels = m_channels;
    const std::uint32_t rate = m_rate;
    const unsigned out_bytes = static_cast<unsigned>(m_width / 8);
    const unsigned in_frame = 2 * channels;

    std::unique_ptr<BYTE[]> image(new BYTE[m_wav_size]);
    char chunk[chunk_size];
    std::uint32_t at = xr_wav::SAMPLES;
    int errors = 0;
    while (at < m_wav_size) {
        // Decoded bytes that fill what is left of the image, in whole frames.
        std::uint64_t want = static_cast<std::uint64_t>(m_wav_size - at) * 2 / out_bytes;
        want = std::min<std::uint64_t>(want, chunk_size);
        want -= want % in_frame;
        if (want == 0)
            break;
        long got = read_pcm(chunk, static_cast<int>(want));
        if (got == 0)
            break;
        if (got < 0) {
            if (++errors >= max_read_errors)
                break;
            continue;
        }
        errors = 0;
        // A chained stream of another format would garble the prompt.
        vorbis_info* info = ov_info(m_vf.get(), -1);
        if (info == nullptr || static_cast<unsigned>(info->channels) != channels || info->rate != static_cast<long>(rate))
            break;
        std::size_t bytes = std::min<std::size_t>(static_cast<std::size_t>(got), want);
        bytes -= bytes % in_frame;
        const std::size_t count = bytes / 2;
        BYTE* out = image.get() + at;
        for (std::size_t i = 0; i < count; ++i) {
            std::int16_t s;
            std::memcpy(&s, chunk + 2 * i, sizeof(s));
            if (m_width == 16)
                xr_bytes::put_u16_le(out + 2 * i, static_cast<std::uint16_t>(s));
            else
                out[i] = static_cast<BYTE>(s / 256 + 128);
        }
        at += static_cast<std::uint32_t>(count * out_bytes);
    }
    xr_wav::put_header(image.get(), channels, rate, static_cast<unsigned>(m_width),
                       at - static_cast<std::uint32_t>(xr_wav::HEADER_SIZE));
    close_stream();
    return image;
}
