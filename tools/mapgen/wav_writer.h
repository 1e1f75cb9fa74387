// Writer of WAV voice prompts: a RIFF "WAVE" form with a "fmt " chunk, any
// extra chunks and a "data" chunk, plus the damaged forms the tests need
// (sizes that lie, chunks after the samples, odd orders). Also tone samples.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/container/xr_defs.h"

struct XrWavChunkSpec {
    std::string tag; // four characters
    std::vector<BYTE> body;
};

struct XrWavDef {
    unsigned channels = 1;
    std::uint32_t rate = 22050;
    unsigned bits = 16;
    std::uint16_t format_tag = 1;          // 1 PCM
    std::uint32_t fmt_body_size = 16;      // above 16: zero bytes follow the PCM fields; below: cut
    std::vector<BYTE> samples;             // the data chunk's bytes
    std::vector<XrWavChunkSpec> before_data; // between "fmt " and "data"
    std::vector<XrWavChunkSpec> after_data;  // behind "data"
    bool data_first = false;               // "data" before "fmt "
    std::int64_t declared_data_size = -1;  // the data chunk's size field; -1: the true size
    std::int64_t declared_riff_size = -1;  // -1: the true size
};

// The file's bytes.
std::vector<BYTE> wav_file(const XrWavDef& def);
// Writes the file (parent folders must exist); false on failure.
bool write_wav_file(const std::string& path, const XrWavDef& def);

// 16-bit little-endian bytes of the values.
std::vector<BYTE> wav_samples16(const std::vector<std::int16_t>& values);
// frames * channels 16-bit samples of a sine of freq Hz at amplitude
// (0..32767), the same on every channel.
std::vector<BYTE> wav_tone16(std::uint32_t rate, unsigned channels, std::uint32_t frames, double freq,
                             int amplitude = 12000);
// The same as unsigned 8-bit samples.
std::vector<BYTE> wav_tone8(std::uint32_t rate, unsigned channels, std::uint32_t frames, double freq,
                            int amplitude = 100);
