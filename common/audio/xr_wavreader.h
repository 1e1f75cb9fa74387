// Reading WAV prompt files: the RIFF chunks are walked to find the format
// and the samples, sizes are clamped to what the file holds, and anything
// the player cannot play (not PCM, widths other than 8 and 16 bits, more
// than two channels, no samples) is refused. Plus the sample width
// conversion of the player.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/container/xr_defs.h"

class XrFile;

struct XrWavInfo {
    unsigned channels = 0;      // 1 or 2
    std::uint32_t rate = 0;     // frames per second, above 0
    unsigned bits = 0;          // 8 or 16
    std::uint32_t data_offset = 0; // where the samples begin
    std::uint32_t data_size = 0;   // bytes of whole frames that the file holds, above 0
    std::uint32_t declared_size = 0; // the data chunk's own size field

    unsigned frame_bytes() const { return channels * (bits / 8); }
};

class XrWavReader {
public:
    enum Result {
        OK = 0,
        NOT_RIFF = 1,     // no "RIFF" ... "WAVE" form
        NO_FORMAT = 2,    // no complete "fmt " chunk
        NOT_PCM = 3,      // a compressed or floating-point format
        BAD_FORMAT = 4,   // channels, rate or width the player cannot play
        NO_SAMPLES = 5,   // no "data" chunk, or not one whole frame in it
        READ_FAILED = 6,  // the file could not be read
    };

    // Parses a WAV file held in memory.
    static Result parse(const BYTE* data, std::size_t size, XrWavInfo& out);
    // Parses an open file, reading only the chunk headers and the format.
    static Result parse(XrFile& file, XrWavInfo& out);

    // Bytes of the canonical image of the samples at another width:
    // 44 + data size / (bits / 8) * (width / 8).
    static std::uint64_t converted_size(const XrWavInfo& info, unsigned width);

    // Converts count samples from src_bits to dst_bits (8 or 16 each):
    // a signed 16-bit sample s becomes the byte s / 256 + 128 (rounding
    // toward zero); a byte b becomes (b - 128) * 256. Equal widths copy.
    static void convert(const BYTE* src, unsigned src_bits, BYTE* dst, unsigned dst_bits, std::size_t count);
};
