// The layout of WAV (RIFF "WAVE") files and of the canonical 44-byte header
// that prompt images carry: named offsets, sizes and tags, shared by the
// prompt reader, the Ogg prompt decoder, the sound-daemon stand-in's capture
// files, the WAV writer of the tools and the tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/container/xr_bytes.h"

namespace xr_wav {

// ---- The canonical header (one "fmt " chunk of 16 bytes, then "data") ----
constexpr std::size_t HEADER_SIZE = 44;
constexpr std::size_t RIFF_TAG = 0;    // "RIFF"
constexpr std::size_t RIFF_SIZE = 4;   // 32-bit: bytes behind this field (image size - 8)
constexpr std::size_t WAVE_TAG = 8;    // "WAVE"
constexpr std::size_t FMT_TAG = 12;    // "fmt "
constexpr std::size_t FMT_SIZE = 16;   // 32-bit: size of the format chunk body
constexpr std::size_t FORMAT_TAG = 20; // 16-bit: 1 = PCM
constexpr std::size_t CHANNELS = 22;   // 16-bit
constexpr std::size_t RATE = 24;       // 32-bit: frames per second
constexpr std::size_t BYTE_RATE = 28;  // 32-bit: rate * block align
constexpr std::size_t BLOCK_ALIGN = 32; // 16-bit: bytes per frame
constexpr std::size_t BITS = 34;       // 16-bit: bits per sample
constexpr std::size_t DATA_TAG = 36;   // "data"
constexpr std::size_t DATA_SIZE = 40;  // 32-bit: bytes of samples
constexpr std::size_t SAMPLES = 44;    // the samples begin here

// RIFF size of a canonical image: the header behind the size field plus the
// samples.
constexpr std::uint32_t RIFF_SIZE_BIAS = HEADER_SIZE - 8; // 36
// Bytes in front of the RIFF size's count (the tag and the field itself).
constexpr std::uint32_t RIFF_PREAMBLE = 8;

// ---- Chunks of any RIFF file ---------------------------------------------
constexpr std::size_t FORM_SIZE = 12;        // "RIFF", size, "WAVE"
constexpr std::size_t CHUNK_HEADER_SIZE = 8; // tag, 32-bit body size; bodies are padded to even sizes
constexpr std::size_t CHUNK_TAG = 0;
constexpr std::size_t CHUNK_SIZE = 4;

// Offsets inside the body of the "fmt " chunk.
constexpr std::size_t FMT_BODY_FORMAT_TAG = 0;
constexpr std::size_t FMT_BODY_CHANNELS = 2;
constexpr std::size_t FMT_BODY_RATE = 4;
constexpr std::size_t FMT_BODY_BYTE_RATE = 8;
constexpr std::size_t FMT_BODY_BLOCK_ALIGN = 12;
constexpr std::size_t FMT_BODY_BITS = 14;
constexpr std::uint32_t FMT_PCM_BODY_SIZE = 16;
// The extensible form: a further size field, valid bits, channel mask and
// the sub-format, whose first two bytes are the format tag.
constexpr std::size_t FMT_BODY_SUBFORMAT = 24;
constexpr std::uint32_t FMT_EXTENSIBLE_BODY_SIZE = 40;

constexpr std::uint16_t FORMAT_PCM = 1;
constexpr std::uint16_t FORMAT_EXTENSIBLE = 0xFFFE;

constexpr BYTE TAG_RIFF[4] = {'R', 'I', 'F', 'F'};
constexpr BYTE TAG_WAVE[4] = {'W', 'A', 'V', 'E'};
constexpr BYTE TAG_FMT[4] = {'f', 'm', 't', ' '};
constexpr BYTE TAG_DATA[4] = {'d', 'a', 't', 'a'};

inline bool is_tag(const BYTE* p, const BYTE (&tag)[4])
{
    return std::memcmp(p, tag, 4) == 0;
}

// Writes the canonical 44-byte header of data_size bytes of PCM samples.
inline void put_header(BYTE* p, unsigned channels, std::uint32_t rate, unsigned bits, std::uint32_t data_size)
{
    const unsigned block = channels * (bits / 8);
    std::memcpy(p + RIFF_TAG, TAG_RIFF, 4);
    xr_bytes::put_u32_le(p + RIFF_SIZE, data_size + RIFF_SIZE_BIAS);
    std::memcpy(p + WAVE_TAG, TAG_WAVE, 4);
    std::memcpy(p + FMT_TAG, TAG_FMT, 4);
    xr_bytes::put_u32_le(p + FMT_SIZE, FMT_PCM_BODY_SIZE);
    xr_bytes::put_u16_le(p + FORMAT_TAG, FORMAT_PCM);
    xr_bytes::put_u16_le(p + CHANNELS, static_cast<std::uint16_t>(channels));
    xr_bytes::put_u32_le(p + RATE, rate);
    xr_bytes::put_u32_le(p + BYTE_RATE, rate * block);
    xr_bytes::put_u16_le(p + BLOCK_ALIGN, static_cast<std::uint16_t>(block));
    xr_bytes::put_u16_le(p + BITS, static_cast<std::uint16_t>(bits));
    std::memcpy(p + DATA_TAG, TAG_DATA, 4);
    xr_bytes::put_u32_le(p + DATA_SIZE, data_size);
}

} // namespace xr_wav
