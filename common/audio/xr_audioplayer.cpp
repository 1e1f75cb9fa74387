#include "common/audio/xr_audioplayer.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include <unistd.h>

#include "common/misc/xr_path_resolver.h"
#include "platform/esd/esd.h"
#include "platform/esd/xr_wavformat.h"

// ---------------------------------------------------------------- base

XrAudioPlayerBase::XrAudioPlayerBase(int mode) : m_sample_width(mode == 1 ? 16 : 8), m_volume(100)
{
    if (mode != 1)
        register_client();
}

XrAudioPlayerBase::~XrAudioPlayerBase()
{
    clear_cache();
}

void XrAudioPlayerBase::set_volume_level(int level)
{
    static const int percent[] = {0, 15, 50, 100};
    if (level >= 0 && level <= 3)
        m_volume = percent[level];
}

int XrAudioPlayerBase::get_volume_level() const
{
    switch (m_volume) {
    case 0:
        return 0;
    case 15:
        return 1;
    case 50:
        return 2;
    default:
        return 3;
    }
}

void XrAudioPlayerBase::unlink(XrAudioFile* file)
{
    if (file->m_prev != nullptr)
        file->m_prev->m_next = file->m_next;
    else
        m_audio_lru_head = file->m_next;
    if (file->m_next != nullptr)
        file->m_next->m_prev = file->m_prev;
    else
        m_audio_lru_tail = file->m_prev;
    file->m_next = nullptr;
    file->m_prev = nullptr;
    --m_cache_count;
}

std::unique_ptr<XrAudioFile> XrAudioPlayerBase::take(const XrString& name)
{
    const XrString key = backslashes_to_slashes(name);
    for (XrAudioFile* f = m_audio_lru_head; f != nullptr; f = f->m_next) {
        if (f->m_name == key) {
            unlink(f);
            return std::unique_ptr<XrAudioFile>(f);
        }
    }
    return XrAudioFile::create_for_file(key, m_sample_width);
}

void XrAudioPlayerBase::put_back(std::unique_ptr<XrAudioFile> file)
{
    XrAudioFile* f = file.release();
    f->m_prev = nullptr;
    f->m_next = m_audio_lru_head;
    if (m_audio_lru_head != nullptr)
        m_audio_lru_head->m_prev = f;
    else
        m_audio_lru_tail = f;
    m_audio_lru_head = f;
    ++m_cache_count;

    // Least recently used first; pinned prompts stay.
    XrAudioFile* e = m_audio_lru_tail;
    while (m_cache_count > cache_limit && e != nullptr) {
        XrAudioFile* prev = e->m_prev;
        if (!e->m_pinned) {
            unlink(e);
            delete e;
        }
        e = prev;
    }
}

void XrAudioPlayerBase::free_memory()
{
    XrAudioFile* e = m_audio_lru_head;
    while (e != nullptr) {
        XrAudioFile* next = e->m_next;
        if (!e->m_pinned) {
            unlink(e);
            delete e;
        }
        e = next;
    }
}

void XrAudioPlayerBase::clear_cache()
{
    while (m_audio_lru_head != nullptr) {
        XrAudioFile* e = m_audio_lru_head;
        unlink(e);
        delete e;
    }
}

bool XrAudioPlayerBase::preload(const XrString& name)
{
    std::unique_ptr<XrAudioFile> file = take(name);
    if (!file)
        return false;
    file->m_pinned = true;
    put_back(std::move(file));
    return true;
}

bool XrAudioPlayerBase::make_wav_buffer(const XrSimpleArray<XrString>& names, std::unique_ptr<BYTE[]>& buffer,
                                        std::uint32_t& size)
{
    buffer.reset();
    size = 0;

    // The prompts of the sentence, each loaded once.
    std::vector<std::unique_ptr<XrAudioFile>> loaded;
    std::vector<XrAudioFile*> sentence;
    bool ok = names.get_count() > 0;
    for (int i = 0; ok && i < names.get_count(); ++i) {
        const XrString key = backslashes_to_slashes(names.get_items()[i]);
        XrAudioFile* f = nullptr;
        for (const auto& l : loaded) {
            if (l->get_name() == key)
                f = l.get();
        }
        if (f == nullptr) {
            std::unique_ptr<XrAudioFile> file = take(key);
            if (!file) {
                ok = false;
                break;
            }
            f = file.get();
            loaded.push_back(std::move(file));
        }
        sentence.push_back(f);
    }

    // Every image is read back through its header: the samples of all must
    // share the first one's format.
    std::vector<XrWavInfo> infos;
    std::uint64_t total = 0;
    XrAudioFile* unreadable = nullptr;
    for (std::size_t i = 0; ok && i < sentence.size(); ++i) {
        const BYTE* data = sentence[i]->get_data();
        XrWavInfo info;
        if (data == nullptr || XrWavReader::parse(data, sentence[i]->get_size(), info) != XrWavReader::OK) {
            unreadable = sentence[i];
            ok = false;
            break;
        }
        if (i > 0 && (info.channels != infos[0].channels || info.rate != infos[0].rate || info.bits != infos[0].bits)) {
            ok = false;
            break;
        }
        infos.push_back(info);
        total += info.data_size;
    }
    if (ok && total > 0 && total <= XrAudioFile::max_image_size) {
        const std::uint32_t image_size = static_cast<std::uint32_t>(xr_wav::HEADER_SIZE + total);
        std::unique_ptr<BYTE[]> image(new BYTE[image_size]);
        xr_wav::put_header(image.get(), infos[0].channels, infos[0].rate, infos[0].bits,
                           static_cast<std::uint32_t>(total));
        std::size_t at = xr_wav::SAMPLES;
        for (std::size_t i = 0; i < sentence.size(); ++i) {
            std::memcpy(image.get() + at, sentence[i]->get_data() + infos[i].data_offset, infos[i].data_size);
            at += infos[i].data_size;
        }
        buffer = std::move(image);
        size = image_size;
    }

    // A prompt that could not be read is loaded afresh next time.
    for (auto& l : loaded) {
        if (l.get() != unreadable)
            put_back(std::move(l));
    }
    return buffer != nullptr;
}

XrAudioPlayerBase::Status XrAudioPlayerBase::play_files(const XrSimpleArray<XrString>& names)
{
    if (m_muted)
        return PLAYED;
    stop();
    std::unique_ptr<BYTE[]> buffer;
    std::uint32_t size = 0;
    if (!make_wav_buffer(names, buffer, size))
        return FAILED;
    return play_buffer(std::move(buffer), size);
}

XrAudioPlayerBase::Status XrAudioPlayerBase::play_file(const XrString& name)
{
    XrSimpleArray<XrString> names(1);
    names.append(name);
    return play_files(names);
}

// ---------------------------------------------------------------- daemon

XrAudioPlayer::XrAudioPlayer(int mode) : XrAudioPlayerBase(mode) {}

XrAudioPlayer::~XrAudioPlayer()
{
    close_connection();
}

void XrAudioPlayer::close_connection()
{
    if (m_esd_fd >= 0)
        esd_close(m_esd_fd);
    m_esd_fd = -1;
    m_sample_id = -1;
}

bool XrAudioPlayer::is_playing()
{
    return static_cast<std::int32_t>(m_play_end - get_tick_count_ms()) > 0;
}

std::uint32_t XrAudioPlayer::duration_ms(std::uint32_t sample_bytes, unsigned channels, std::uint32_t rate,
                                         unsigned bits)
{
    const std::uint64_t per_second = static_cast<std::uint64_t>(channels) * rate * (bits / 8);
    if (per_second == 0)
        return 0;
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(sample_bytes) * 1000 / per_second);
}

XrAudioPlayer::Status XrAudioPlayer::play_buffer(std::unique_ptr<BYTE[]> image, std::uint32_t size)
{
    XrWavInfo info;
    if (!image || size < xr_wav::HEADER_SIZE || XrWavReader::parse(image.get(), size, info) != XrWavReader::OK ||
        info.data_offset != xr_wav::SAMPLES)
        return FAILED;
    if (m_esd_fd < 0) {
        m_esd_fd = esd_open_sound(nullptr);
        if (m_esd_fd < 0)
            return FAILED;
    }
    const esd_format_t format =
        ESD_SAMPLE | ESD_PLAY | (info.channels == 1 ? ESD_MONO : ESD_STEREO) | (info.bits == 8 ? ESD_BITS8 : ESD_BITS16);
    const int id = esd_sample_cache(m_esd_fd, format, static_cast<int>(info.rate), static_cast<int>(info.data_size),
                                    nullptr);
    if (id < 0) {
        close_connection();
        return FAILED;
    }
    const BYTE* p = image.get() + xr_wav::SAMPLES;
    std::uint32_t left = info.data_size;
    while (left > 0) {
        ssize_t n = ::write(m_esd_fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            close_connection();
            return FAILED;
        }
        p += n;
        left -= static_cast<std::uint32_t>(n);
    }
    image.reset();
    if (esd_confirm_sample_cache(m_esd_fd) != id) {
        close_connection();
        return FAILED;
    }
    m_sample_id = id;
    const int pan = get_volume() * 255 / 100;
    esd_set_default_sample_pan(m_esd_fd, id, pan, pan);
    const int played = esd_sample_play(m_esd_fd, id);
    fsync(m_esd_fd);
    esd_sample_free(m_esd_fd, id);
    if (played < 0) {
        m_sample_id = -1;
        return FAILED;
    }
    m_play_end = get_tick_count_ms() + duration_ms(info.data_size, info.channels, info.rate, info.bits);
    return PLAYED;
}

void XrAudioPlayer::stop()
{
    if (m_sample_id >= 0 && m_esd_fd >= 0) {
        if (esd_sample_kill(m_esd_fd, m_sample_id) < 0)
            close_connection();
    }
    m_sample_id = -1;
    if (is_playing())
        m_play_end = get_tick_count_ms();
}
