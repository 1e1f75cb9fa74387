#include "common/audio/xr_wavreader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/misc/xr_path_resolver.h"
#include "common/os/xr_file.h"
#include "platform/esd/xr_wavformat.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/wav_writer.h"

namespace {

XrWavDef tone(unsigned channels, unsigned bits, std::uint32_t frames)
{
    XrWavDef s;
    s.channels = channels;
    s.bits = bits;
    s.samples = bits == 8 ? wav_tone8(s.rate, channels, frames, 300.0) : wav_tone16(s.rate, channels, frames, 300.0);
    return s;
}

struct ParseCase {
    const char* label;
    XrWavDef def;
    XrWavReader::Result result;
    std::uint32_t data_size; // expected when OK
};

std::vector<ParseCase> parse_cases()
{
    std::vector<ParseCase> cases;
    auto add = [&cases](const char* label, XrWavDef s, XrWavReader::Result r, std::uint32_t size = 0) {
        cases.push_back({label, std::move(s), r, size});
    };
    add("canonical 16 bit", tone(1, 16, 100), XrWavReader::OK, 200);
    add("canonical 8 bit stereo", tone(2, 8, 100), XrWavReader::OK, 200);
    {
        XrWavDef s = tone(1, 16, 100);
        s.before_data.push_back({"LIST", std::vector<BYTE>(13, 'x')});
        add("list chunk before the samples", s, XrWavReader::OK, 200);
    }
    {
        XrWavDef s = tone(1, 16, 100);
        s.after_data.push_back({"LIST", std::vector<BYTE>(4000, 'x')});
        add("chunk after the samples", s, XrWavReader::OK, 200);
    }
    {
        XrWavDef s = tone(1, 16, 100);
        s.declared_data_size = 1000000;
        add("data size beyond the file", s, XrWavReader::OK, 200);
    }
    {
        XrWavDef s = tone(1, 16, 100);
        s.declared_data_size = 0xFFFFFFFF;
        s.declared_riff_size = 0xFFFFFFFF;
        add("unknown sizes of a stream", s, XrWavReader::OK, 200);
    }
    {
        XrWavDef s = tone(2, 16, 100);
        s.samples.resize(s.samples.size() - 1);
        add("a partial frame at the end", s, XrWavReader::OK, 396);
    }
    {
        XrWavDef s = tone(1, 16, 100);
        s.data_first = true;
        add("samples before the format", s, XrWavReader::OK, 200);
    }
    {
        XrWavDef s = tone(1, 16, 100);
        s.fmt_body_size = 18;
        add("format with an extension size", s, XrWavReader::OK, 200);
    }
    {
        XrWavDef s = tone(1, 16, 100);
        s.format_tag = xr_wav::FORMAT_EXTENSIBLE;
        s.fmt_body_size = 40;
        s.before_data.clear();
        add("extensible without PCM sub-format", s, XrWavReader::NOT_PCM);
    }
    {
        XrWavDef s = tone(1, 16, 100);
        s.format_tag = 3;
        add("floating point", s, XrWavReader::NOT_PCM);
    }
    {
        XrWavDef s = tone(1, 16, 100);
        s.bits = 24;
        add("24 bit", s, XrWavReader::BAD_FORMAT);
    }
    {
        XrWavDef s = tone(1, 16, 100);
        s.bits = 4;
        add("4 bit", s, XrWavReader::BAD_FORMAT);
    }
    {
        XrWavDef s = tone(1, 16, 100);
        s.channels = 0;
        add("no channels", s, XrWavReader::BAD_FORMAT);
    }
    {
        XrWavDef s = tone(1, 16, 100);
        s.channels = 3;
        add("three channels", s, XrWavReader::BAD_FORMAT);
    }
    {
        XrWavDef s = tone(1, 16, 100);
        s.rate = 0;
        add("rate 0", s, XrWavReader::BAD_FORMAT);
    }
    {
        XrWavDef s = tone(1, 16, 100);
        s.fmt_body_size = 14;
        add("short format chunk", s, XrWavReader::NO_FORMAT);
    }
    {
        XrWavDef s = tone(1, 16, 100);
        s.samples.clear();
        add("no samples", s, XrWavReader::NO_SAMPLES);
    }
    {
        XrWavDef s = tone(1, 16, 100);
        s.samples.resize(1);
        s.samples.push_back(0);
        s.samples.resize(1);
        add("one byte of a 16-bit sample", s, XrWavReader::NO_SAMPLES);
    }
    return cases;
}

XrString wide(const std::string& s)
{
    return from_platform_path(s.c_str());
}

TEST(WavReader, ChunksAreWalkedAndSizesClampedInMemoryAndInFiles)
{
    XrTempRoot root;
    const std::string dir = root.make_dirs("/wav");
    for (const auto& c : parse_cases()) {
        SCOPED_TRACE(c.label);
        const std::vector<BYTE> bytes = wav_file(c.def);
        XrWavInfo mem;
        EXPECT_EQ(XrWavReader::parse(bytes.data(), bytes.size(), mem), c.result);

        ASSERT_TRUE(write_wav_file(dir + "/f.wav", c.def));
        XrFile file;
        ASSERT_EQ(file.open_existing(wide(dir + "/f.wav"), true), XrFile::OK);
        XrWavInfo disk;
        EXPECT_EQ(XrWavReader::parse(file, disk), c.result);
        if (c.result != XrWavReader::OK)
            continue;
        for (const XrWavInfo* info : {&mem, &disk}) {
            EXPECT_EQ(info->data_size, c.data_size);
            EXPECT_EQ(info->channels, c.def.channels);
            EXPECT_EQ(info->bits, c.def.bits);
            EXPECT_EQ(info->rate, c.def.rate);
            EXPECT_LE(info->data_offset + info->data_size, bytes.size());
            // The samples found are the ones written.
            EXPECT_EQ(std::vector<BYTE>(bytes.begin() + info->data_offset,
                                        bytes.begin() + info->data_offset + info->data_size),
                      std::vector<BYTE>(c.def.samples.begin(), c.def.samples.begin() + info->data_size));
        }
    }
}

TEST(WavReader, ExtensiblePcmIsPcm)
{
    XrWavDef s = tone(1, 16, 10);
    s.format_tag = xr_wav::FORMAT_EXTENSIBLE;
    s.fmt_body_size = 40;
    std::vector<BYTE> bytes = wav_file(s);
    // The sub-format's first two bytes: the PCM tag.
    const std::size_t body = xr_wav::FORM_SIZE + xr_wav::CHUNK_HEADER_SIZE;
    xr_bytes::put_u16_le(bytes.data() + body + xr_wav::FMT_BODY_SUBFORMAT, xr_wav::FORMAT_PCM);
    XrWavInfo info;
    EXPECT_EQ(XrWavReader::parse(bytes.data(), bytes.size(), info), XrWavReader::OK);
    EXPECT_EQ(info.data_size, 20u);
}

TEST(WavReader, TruncatedAndForeignFilesAreRefused)
{
    const std::vector<BYTE> good = wav_file(tone(1, 16, 100));
    XrWavInfo info;
    for (std::size_t n : {std::size_t(0), std::size_t(12), std::size_t(43), std::size_t(44)})
        EXPECT_NE(XrWavReader::parse(good.data(), n, info), XrWavReader::OK) << n;
    EXPECT_EQ(XrWavReader::parse(nullptr, 100, info), XrWavReader::NOT_RIFF);

    std::vector<BYTE> other = good;
    std::memcpy(other.data() + xr_wav::WAVE_TAG, "AVI ", 4);
    EXPECT_EQ(XrWavReader::parse(other.data(), other.size(), info), XrWavReader::NOT_RIFF);

    // A chunk claiming more than the file holds ends the walk.
    std::vector<BYTE> runaway = good;
    xr_bytes::put_u32_le(runaway.data() + xr_wav::FMT_SIZE, 0x7FFFFFF0);
    EXPECT_EQ(XrWavReader::parse(runaway.data(), runaway.size(), info), XrWavReader::NO_FORMAT);
}

TEST(WavReader, WidthConversionIsExact)
{
    struct Case {
        std::int16_t wide;
        BYTE narrow;
    };
    // s / 256 + 128, the division rounding toward zero.
    const Case to8[] = {{0, 128},      {255, 128},  {256, 129},  {-1, 128},  {-255, 128}, {-256, 127},
                        {-257, 127},   {-511, 127}, {-512, 126}, {32767, 255}, {-32768, 0}, {12345, 176}};
    std::vector<std::int16_t> in;
    for (const auto& c : to8)
        in.push_back(c.wide);
    const std::vector<BYTE> src = wav_samples16(in);
    std::vector<BYTE> out(in.size());
    XrWavReader::convert(src.data(), 16, out.data(), 8, in.size());
    for (std::size_t i = 0; i < in.size(); ++i)
        EXPECT_EQ(out[i], to8[i].narrow) << to8[i].wide;

    // (b - 128) * 256.
    const BYTE bytes[] = {0, 1, 127, 128, 129, 255};
    const std::int16_t to16[] = {-32768, -32512, -256, 0, 256, 32512};
    std::vector<BYTE> wide(2 * sizeof(bytes));
    XrWavReader::convert(bytes, 8, wide.data(), 16, sizeof(bytes));
    for (std::size_t i = 0; i < sizeof(bytes); ++i)
        EXPECT_EQ(xr_bytes::get_i16_le(wide.data() + 2 * i), to16[i]) << int(bytes[i]);

    std::vector<BYTE> same(src.size());
    XrWavReader::convert(src.data(), 16, same.data(), 16, in.size());
    EXPECT_EQ(same, src);
}

TEST(WavReader, ConvertedSizeCountsSamplesAtTheTargetWidth)
{
    XrWavInfo info;
    info.channels = 1;
    info.bits = 16;
    info.data_size = 2000;
    EXPECT_EQ(XrWavReader::converted_size(info, 8), 1044u);
    EXPECT_EQ(XrWavReader::converted_size(info, 16), 2044u);
    info.bits = 8;
    EXPECT_EQ(XrWavReader::converted_size(info, 16), 4044u);
}

} // namespace
