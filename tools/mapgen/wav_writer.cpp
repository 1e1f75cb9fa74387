#include "tools/mapgen/wav_writer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>

#include "common/container/xr_bytes.h"
#include "platform/esd/xr_wavformat.h"

namespace {

void chunk(XrByteWriter& w, const BYTE (&tag)[4], std::uint32_t size_field, const std::vector<BYTE>& body)
{
    w.bytes(tag, 4);
    w.u32_le(size_field);
    w.bytes(body);
    w.align(2);
}

std::vector<BYTE> format_body(const XrWavDef& def)
{
    const unsigned block = def.channels * (def.bits / 8);
    // The PCM fields, then cut or zero-padded to the size asked for.
    std::vector<BYTE> body(std::max<std::size_t>(def.fmt_body_size, xr_wav::FMT_PCM_BODY_SIZE), 0);
    BYTE* p = body.data();
    xr_bytes::put_u16_le(p + xr_wav::FMT_BODY_FORMAT_TAG, def.format_tag);
    xr_bytes::put_u16_le(p + xr_wav::FMT_BODY_CHANNELS, static_cast<std::uint16_t>(def.channels));
    xr_bytes::put_u32_le(p + xr_wav::FMT_BODY_RATE, def.rate);
    xr_bytes::put_u32_le(p + xr_wav::FMT_BODY_BYTE_RATE, def.rate * block);
    xr_bytes::put_u16_le(p + xr_wav::FMT_BODY_BLOCK_ALIGN, static_cast<std::uint16_t>(block));
    xr_bytes::put_u16_le(p + xr_wav::FMT_BODY_BITS, static_cast<std::uint16_t>(def.bits));
    body.resize(def.fmt_body_size);
    return body;
}

} // namespace

std::vector<BYTE> wav_file(const XrWavDef& def)
{
    XrByteWriter w;
    w.bytes(xr_wav::TAG_RIFF, 4);
    w.u32_le(0);
    w.bytes(xr_wav::TAG_WAVE, 4);

    const std::vector<BYTE> fmt = format_body(def);
    const std::uint32_t data_size = def.declared_data_size >= 0 ? static_cast<std::uint32_t>(def.declared_data_size)
                                                                 : static_cast<std::uint32_t>(def.samples.size());
    auto extra = [&w](const XrWavChunkSpec& c) {
        BYTE tag[4] = {' ', ' ', ' ', ' '};
        std::memcpy(tag, c.tag.data(), std::min<std::size_t>(4, c.tag.size()));
        w.bytes(tag, 4);
        w.u32_le(static_cast<std::uint32_t>(c.body.size()));
        w.bytes(c.body);
        w.align(2);
    };
    if (def.data_first)
        chunk(w, xr_wav::TAG_DATA, data_size, def.samples);
    chunk(w, xr_wav::TAG_FMT, static_cast<std::uint32_t>(fmt.size()), fmt);
    for (const auto& c : def.before_data)
        extra(c);
    if (!def.data_first)
        chunk(w, xr_wav::TAG_DATA, data_size, def.samples);
    for (const auto& c : def.after_data)
        extra(c);

    const std::uint32_t riff = def.declared_riff_size >= 0 ? static_cast<std::uint32_t>(def.declared_riff_size)
                                                            : static_cast<std::uint32_t>(w.size() - xr_wav::RIFF_PREAMBLE);
    w.patch_le(xr_wav::RIFF_SIZE, riff, 4);
    return w.take();
}

bool write_wav_file(const std::string& path, const XrWavDef& def)
{
    const std::vector<BYTE> bytes = wav_file(def);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::vector<BYTE> wav_samples16(const std::vector<std::int16_t>& values)
{
    XrByteWriter w;
    for (std::int16_t v : values)
        w.u16_le(static_cast<std::uint16_t>(v));
    return w.take();
}

std::vector<BYTE> wav_tone16(std::uint32_t rate, unsigned channels, std::uint32_t frames, double freq, int amplitude)
{
    XrByteWriter w;
    for (std::uint32_t i = 0; i < frames; ++i) {
        const double v = amplitude * std::sin(2.0 * M_PI * freq * i / rate);
        for (unsigned c = 0; c < channels; ++c)
            w.u16_le(static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(v))));
    }
    return w.take();
}

std::vector<BYTE> wav_tone8(std::uint32_t rate, unsigned channels, std::uint32_t frames, double freq, int amplitude)
{
    XrByteWriter w;
    for (std::uint32_t i = 0; i < frames; ++i) {
        const double v = amplitude * std::sin(2.0 * M_PI * freq * i / rate);
        for (unsigned c = 0; c < channels; ++c)
            w.u8(static_cast<BYTE>(128 + std::lround(v)));
    }
    return w.take();
}
