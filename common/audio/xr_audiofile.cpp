#include "common/audio/xr_audiofile.h"

#include "common/misc/xr_path_resolver.h"
#include "platform/esd/xr_wavformat.h"

namespace {

XrPromptDecoderFactory g_decoder_factory = nullptr;

} // namespace

void XrAudioFile::set_decoder_factory(XrPromptDecoderFactory factory)
{
    g_decoder_factory = factory;
}

XrString XrAudioFile::ogg_name(const XrString& name)
{
    XrString base = backslashes_to_slashes(name);
    const TCHAR* text = base.c_str();
    const TCHAR* dot = wide_strrchr(text, L'.');
    const TCHAR* slash = wide_strrchr(text, L'/');
    if (dot != nullptr && (slash == nullptr || dot > slash))
        base.truncate(static_cast<int>(dot - text));
    base += L".ogg";
    return base;
}

XrString XrAudioFile::prompt_path(const XrString& root, const XrString& set, const XrString& name)
{
    XrString path = backslashes_to_slashes(root);
    path += L'/';
    path += backslashes_to_slashes(set);
    path += L'/';
    path += backslashes_to_slashes(name);
    return path;
}

std::unique_ptr<XrAudioFile> XrAudioFile::create_for_file(const XrString& name, int width)
{
    if (width != 8 && width != 16)
        return nullptr;
    const XrString wav = backslashes_to_slashes(name);
    std::unique_ptr<XrAudioFile> file = XrAudioOggFile::load(ogg_name(wav), width);
    if (!file)
        file = XrAudioWavFile::load(wav, width);
    if (file)
        file->m_name = wav;
    return file;
}

// ---------------------------------------------------------------- WAV

std::unique_ptr<XrAudioWavFile> XrAudioWavFile::load(const XrString& name, int width)
{
    std::unique_ptr<XrAudioWavFile> f(new XrAudioWavFile());
    if (f->m_file.open_existing(name, true) != XrFile::OK)
        return nullptr;
    if (XrWavReader::parse(f->m_file, f->m_info) != XrWavReader::OK)
        return nullptr;
    const std::uint64_t size = XrWavReader::converted_size(f->m_info, static_cast<unsigned>(width));
    if (size > max_image_size)
        return nullptr;
    f->m_target_width = static_cast<unsigned>(width);
    f->m_source_width = f->m_info.bits;
    f->m_converted_size = static_cast<std::uint32_t>(size);
    return f;
}

const BYTE* XrAudioWavFile::get_data()
{
    if (m_image)
        return m_image.get();
    if (!m_file.is_open())
        return nullptr;
    // Only the data chunk is read: whatever follows it stays out.
    std::unique_ptr<BYTE[]> samples(new BYTE[m_info.data_size]);
    if (m_file.read(m_info.data_offset, m_info.data_size, samples.get()) != XrFile::OK)
        return nullptr;
    const std::size_t count = m_info.data_size / (m_source_width / 8);
    const std::uint32_t data_size = m_converted_size - static_cast<std::uint32_t>(xr_wav::HEADER_SIZE);
    std::unique_ptr<BYTE[]> image(new BYTE[m_converted_size]);
    xr_wav::put_header(image.get(), m_info.channels, m_info.rate, m_target_width, data_size);
    XrWavReader::convert(samples.get(), m_source_width, image.get() + xr_wav::SAMPLES, m_target_width, count);
    m_image = std::move(image);
    m_file.close();
    return m_image.get();
}

// ---------------------------------------------------------------- Ogg

std::unique_ptr<XrAudioOggFile> XrAudioOggFile::load(const XrString& name, int width)
{
    if (g_decoder_factory == nullptr)
        return nullptr;
    std::unique_ptr<XrPromptDecoder> decoder = g_decoder_factory();
    if (!decoder || !decoder->open(name, width))
        return nullptr;
    const std::uint32_t size = decoder->get_size();
    if (size < xr_wav::HEADER_SIZE || size > max_image_size)
        return nullptr;
    std::unique_ptr<BYTE[]> image = decoder->get_wav_data();
    if (!image)
        return nullptr;
    XrWavInfo info;
    if (XrWavReader::parse(image.get(), size, info) != XrWavReader::OK || info.bits != static_cast<unsigned>(width) ||
        info.data_offset != xr_wav::SAMPLES)
        return nullptr;
    // The header tells exactly the whole frames decoded.
    xr_wav::put_header(image.get(), info.channels, info.rate, info.bits, info.data_size);
    std::unique_ptr<XrAudioOggFile> f(new XrAudioOggFile());
    f->m_image = std::move(image);
    f->m_size = static_cast<std::uint32_t>(xr_wav::HEADER_SIZE) + info.data_size;
    return f;
}
