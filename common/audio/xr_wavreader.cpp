#include "common/audio/xr_wavreader.h"

#include <algorithm>
#include <cstring>

#include "common/container/xr_bytes.h"
#include "common/os/xr_file.h"
#include "platform/esd/xr_wavformat.h"

namespace {

// Walks the chunks of a RIFF "WAVE" form of size bytes; read(offset, n, dst)
// copies n bytes at offset and is only asked for bytes inside size.
template <class Read>
XrWavReader::Result walk(Read read, std::uint64_t size, XrWavInfo& out)
{
    out = XrWavInfo();
    BYTE form[xr_wav::FORM_SIZE];
    if (size < xr_wav::HEADER_SIZE || !read(0, sizeof(form), form))
        return size < xr_wav::HEADER_SIZE ? XrWavReader::NOT_RIFF : XrWavReader::READ_FAILED;
    XrByteCursor fc(form, sizeof(form));
    if (!xr_wav::is_tag(fc.at(0, 4), xr_wav::TAG_RIFF) || !xr_wav::is_tag(fc.at(8, 4), xr_wav::TAG_WAVE))
        return XrWavReader::NOT_RIFF;

    bool have_format = false;
    bool have_data = false;
    BYTE fmt[xr_wav::FMT_EXTENSIBLE_BODY_SIZE] = {};
    std::uint32_t fmt_size = 0;
    std::uint64_t pos = xr_wav::FORM_SIZE;
    while (!(have_format && have_data) && pos + xr_wav::CHUNK_HEADER_SIZE <= size) {
        BYTE head[xr_wav::CHUNK_HEADER_SIZE];
        if (!read(pos, sizeof(head), head))
            return XrWavReader::READ_FAILED;
        XrByteCursor hc(head, sizeof(head));
        const BYTE* tag = hc.take(4);
        const std::uint32_t body = hc.u32_le();
        const std::uint64_t body_pos = pos + xr_wav::CHUNK_HEADER_SIZE;
        const std::uint64_t available = size - body_pos;
        if (xr_wav::is_tag(tag, xr_wav::TAG_DATA) && !have_data) {
            have_data = true;
            out.data_offset = static_cast<std::uint32_t>(body_pos);
            out.declared_size = body;
            out.data_size = static_cast<std::uint32_t>(std::min<std::uint64_t>(body, available));
        } else if (xr_wav::is_tag(tag, xr_wav::TAG_FMT) && !have_format) {
            if (body < xr_wav::FMT_PCM_BODY_SIZE || body > available)
                return XrWavReader::NO_FORMAT;
            fmt_size = std::min<std::uint32_t>(body, sizeof(fmt));
            if (!read(body_pos, fmt_size, fmt))
                return XrWavReader::READ_FAILED;
            have_format = true;
        }
        pos = body_pos + body + (body & 1);
    }
    if (!have_format)
        return XrWavReader::NO_FORMAT;
    if (!have_data)
        return XrWavReader::NO_SAMPLES;

    XrByteCursor c(fmt, fmt_size);
    std::uint16_t tag = c.u16_le_at(xr_wav::FMT_BODY_FORMAT_TAG);
    if (tag == xr_wav::FORMAT_EXTENSIBLE && fmt_size >= xr_wav::FMT_EXTENSIBLE_BODY_SIZE)
        tag = c.u16_le_at(xr_wav::FMT_BODY_SUBFORMAT);
    if (tag != xr_wav::FORMAT_PCM)
        return XrWavReader::NOT_PCM;
    out.channels = c.u16_le_at(xr_wav::FMT_BODY_CHANNELS);
    out.rate = c.u32_le_at(xr_wav::FMT_BODY_RATE);
    out.bits = c.u16_le_at(xr_wav::FMT_BODY_BITS);
    if (!c.ok() || out.channels < 1 || out.channels > 2 || out.rate == 0 || (out.bits != 8 && out.bits != 16))
        return XrWavReader::BAD_FORMAT;
    out.data_size -= out.data_size % out.frame_bytes();
    if (out.data_size == 0)
        return XrWavReader::NO_SAMPLES;
    return XrWavReader::OK;
}

} // namespace

XrWavReader::Result XrWavReader::parse(const BYTE* data, std::size_t size, XrWavInfo& out)
{
    XrByteCursor all(data, size);
    auto read = [&all](std::uint64_t off, std::size_t n, BYTE* dst) {
        const BYTE* p = all.at(static_cast<std::size_t>(off), n);
        if (p != nullptr)
            std::memcpy(dst, p, n);
        return p != nullptr;
    };
    return walk(read, data != nullptr ? size : 0, out);
}

XrWavReader::Result XrWavReader::parse(XrFile& file, XrWavInfo& out)
{
    auto read = [&file](std::uint64_t off, std::size_t n, BYTE* dst) {
        return file.read(static_cast<std::uint32_t>(off), static_cast<std::uint32_t>(n), dst) == XrFile::OK;
    };
    return walk(read, file.is_open() ? file.get_size() : 0, out);
}

std::uint64_t XrWavReader::converted_size(const XrWavInfo& info, unsigned width)
{
    if (info.bits < 8)
        return xr_wav::HEADER_SIZE;
    return static_cast<std::uint64_t>(info.data_size / (info.bits / 8)) * (width / 8) + xr_wav::HEADER_SIZE;
}

void XrWavReader::convert(const BYTE* src, unsigned src_bits, BYTE* dst, unsigned dst_bits, std::size_t count)
{
    if (src_bits == dst_bits) {
        std::memcpy(dst, src, count * (src_bits / 8));
    } else if (src_bits == 16 && dst_bits == 8) {
        for (std::size_t i = 0; i < count; ++i)
            dst[i] = static_cast<BYTE>(xr_bytes::get_i16_le(src + 2 * i) / 256 + 128);
    } else if (src_bits == 8 && dst_bits == 16) {
        for (std::size_t i = 0; i < count; ++i)
            xr_bytes::put_u16_le(dst + 2 * i, static_cast<std::uint16_t>((src[i] - 128) * 256));
    }
}
