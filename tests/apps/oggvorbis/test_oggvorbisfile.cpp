#include "apps/oggvorbis/xr_oggvorbisfile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/audio/xr_audioplayer.h"
#include "common/misc/xr_path_resolver.h"
#include "platform/esd/xr_esd_capture.h"
#include "platform/esd/xr_wavformat.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/ogg_writer.h"
#include "tools/mapgen/wav_writer.h"

namespace fs = std::filesystem;

namespace {

XrString wide(const std::string& s)
{
    return from_platform_path(s.c_str());
}

XrWavDef tone(std::uint32_t frames, unsigned channels = 1, std::uint32_t rate = 22050, double freq = 440.0)
{
    XrWavDef s;
    s.channels = channels;
    s.rate = rate;
    s.samples = wav_tone16(rate, channels, frames, freq, 12000);
    return s;
}

std::vector<BYTE> read_bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_bytes(const std::string& path, const std::vector<BYTE>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Energy of the difference against the energy of the source (16-bit
// samples, the decoded ones scaled by scale and offset by bias).
double relative_error(const std::vector<BYTE>& source16, const BYTE* decoded, unsigned width, std::size_t count)
{
    double err = 0;
    double sig = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double s = xr_bytes::get_i16_le(source16.data() + 2 * i);
        const double d = width == 16 ? xr_bytes::get_i16_le(decoded + 2 * i) : (decoded[i] - 128.0) * 256.0;
        err += (s - d) * (s - d);
        sig += s * s;
    }
    return err / sig;
}

class OggTest : public ::testing::Test {
protected:
    void SetUp() override { dir = root.make_dirs("/media/mmc1/kestrova/sounds/eng"); }
    std::string make_ogg(const std::string& name, const XrWavDef& def)
    {
        const std::string p = dir + "/" + name;
        EXPECT_TRUE(write_ogg_file(p, def)) << "oggenc";
        return p;
    }

    XrTempRoot root;
    std::string dir;
};

TEST_F(OggTest, MonoPromptDecodesIntoACanonicalImageAtEitherWidth)
{
    const XrWavDef src = tone(22050);
    const std::string p = make_ogg("one.ogg", src);
    struct Case {
        int width;
        std::uint32_t size;
    };
    for (const Case c : {Case{16, 44144}, Case{8, 22094}}) {
        SCOPED_TRACE(c.width);
        XrOggVorbisFile f;
        ASSERT_TRUE(f.open(wide(p), c.width));
        EXPECT_EQ(f.get_size(), c.size);
        std::unique_ptr<BYTE[]> image = f.get_wav_data();
        ASSERT_TRUE(image);
        const BYTE* h = image.get();
        const std::uint32_t bytes = static_cast<std::uint32_t>(c.width / 8);
        EXPECT_TRUE(xr_wav::is_tag(h + xr_wav::RIFF_TAG, xr_wav::TAG_RIFF));
        EXPECT_EQ(xr_bytes::get_u32_le(h + xr_wav::RIFF_SIZE), c.size - 8);
        EXPECT_TRUE(xr_wav::is_tag(h + xr_wav::WAVE_TAG, xr_wav::TAG_WAVE));
        EXPECT_TRUE(xr_wav::is_tag(h + xr_wav::FMT_TAG, xr_wav::TAG_FMT));
        EXPECT_EQ(xr_bytes::get_u32_le(h + xr_wav::FMT_SIZE), 16u);
        EXPECT_EQ(xr_bytes::get_u16_le(h + xr_wav::FORMAT_TAG), 1u);
        EXPECT_EQ(xr_bytes::get_u16_le(h + xr_wav::CHANNELS), 1u);
        EXPECT_EQ(xr_bytes::get_u32_le(h + xr_wav::RATE), 22050u);
        EXPECT_EQ(xr_bytes::get_u32_le(h + xr_wav::BYTE_RATE), 22050u * bytes);
        EXPECT_EQ(xr_bytes::get_u16_le(h + xr_wav::BLOCK_ALIGN), bytes);
        EXPECT_EQ(xr_bytes::get_u16_le(h + xr_wav::BITS), static_cast<unsigned>(c.width));
        EXPECT_TRUE(xr_wav::is_tag(h + xr_wav::DATA_TAG, xr_wav::TAG_DATA));
        EXPECT_EQ(xr_bytes::get_u32_le(h + xr_wav::DATA_SIZE), 22050u * bytes);
        EXPECT_LT(relative_error(src.samples, h + xr_wav::SAMPLES, static_cast<unsigned>(c.width), 22050), 0.01);
    }
}

TEST_F(OggTest, StereoImageHoldsBothChannels)
{
    const XrWavDef src = tone(3000, 2);
    const std::string p = make_ogg("stereo.ogg", src);
    XrOggVorbisFile f;
    ASSERT_TRUE(f.open(wide(p), 16));
    EXPECT_EQ(f.get_size(), 44u + 3000u * 2 * 2);
    std::unique_ptr<BYTE[]> image = f.get_wav_data();
    ASSERT_TRUE(image);
    EXPECT_EQ(xr_bytes::get_u16_le(image.get() + xr_wav::CHANNELS), 2u);
    EXPECT_EQ(xr_bytes::get_u16_le(image.get() + xr_wav::BLOCK_ALIGN), 4u);
    EXPECT_EQ(xr_bytes::get_u32_le(image.get() + xr_wav::DATA_SIZE), 12000u);
    EXPECT_LT(relative_error(src.samples, image.get() + 44, 16, 6000), 0.01);
}

TEST_F(OggTest, SeekStaysInsideTheFile)
{
    const std::string p = make_ogg("s.ogg", tone(2000));
    const std::int64_t size = static_cast<std::int64_t>(fs::file_size(p));
    XrOggVorbisFile f;
    ASSERT_TRUE(f.open(wide(p), 16));
    struct Case {
        std::int64_t offset;
        int whence;
        int result;
        long position; // afterwards
    };
    const Case cases[] = {
        {size, SEEK_SET, 0, static_cast<long>(size)},
        {size + 1, SEEK_SET, -1, static_cast<long>(size)},
        {-size, SEEK_END, 0, 0},
        {-1, SEEK_CUR, -1, 0},
        {10, SEEK_CUR, 0, 10},
        {1, SEEK_END, -1, 10},
        {-4, SEEK_CUR, 0, 6},
        {0, SEEK_END, 0, static_cast<long>(size)},
        {-1, SEEK_SET, -1, static_cast<long>(size)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(f.ogg_seek(c.offset, c.whence), c.result) << c.offset << " " << c.whence;
        EXPECT_EQ(f.ogg_tell(), c.position) << c.offset << " " << c.whence;
    }
    EXPECT_EQ(f.ogg_close(), 0);
}

TEST_F(OggTest, FilesThatAreNoPromptStreamsAreRefused)
{
    root.write_file("/media/mmc1/kestrova/sounds/eng/empty.ogg", "");
    root.write_file("/media/mmc1/kestrova/sounds/eng/text.ogg", std::string(5000, 'x'));
    write_wav_file(dir + "/wav.ogg", tone(1000));
    make_ogg("three.ogg", tone(1000, 3));
    std::vector<BYTE> cut = read_bytes(make_ogg("cut.ogg", tone(1000)));
    cut.resize(60);
    write_bytes(dir + "/cut.ogg", cut);
    for (const char* n : {"missing.ogg", "empty.ogg", "text.ogg", "wav.ogg", "three.ogg", "cut.ogg"}) {
        XrOggVorbisFile f;
        EXPECT_FALSE(f.open(wide(dir + "/" + n), 16)) << n;
        EXPECT_EQ(f.get_size(), 0u) << n;
        EXPECT_FALSE(f.get_wav_data()) << n;
        EXPECT_EQ(f.ogg_tell(), 0) << n;
    }
}

TEST_F(OggTest, AStreamChangedSinceOpenGivesNoImage)
{
    const std::string p = make_ogg("c.ogg", tone(1000));
    XrOggVorbisFile f;
    ASSERT_TRUE(f.open(wide(p), 16));
    make_ogg("c.ogg", tone(3000));
    EXPECT_FALSE(f.get_wav_data());
    fs::remove(p);
    EXPECT_FALSE(f.get_wav_data());
}

// Decoder reads replaced: errors forever, or an error before every read.
class FaultyOgg : public XrOggVorbisFile {
public:
    enum Mode { ALWAYS, EVERY_OTHER };
    explicit FaultyOgg(Mode mode) : m_mode(mode) {}
    int calls = 0;

protected:
    long read_pcm(char* buffer, int length) override
    {
        ++calls;
        if (m_mode == ALWAYS || calls % 2 == 1)
            return -3; // a gap in the stream
        return XrOggVorbisFile::read_pcm(buffer, length);
    }

private:
    Mode m_mode;
};

TEST_F(OggTest, ReadErrorsInARowEndTheDecoding)
{
    const std::string p = make_ogg("e.ogg", tone(5000));
    FaultyOgg always(FaultyOgg::ALWAYS);
    ASSERT_TRUE(always.open(wide(p), 16));
    std::unique_ptr<BYTE[]> image = always.get_wav_data();
    ASSERT_TRUE(image);
    EXPECT_EQ(always.calls, XrOggVorbisFile::max_read_errors);
    EXPECT_EQ(xr_bytes::get_u32_le(image.get() + xr_wav::DATA_SIZE), 0u);

    // Isolated gaps are skipped.
    FaultyOgg gaps(FaultyOgg::EVERY_OTHER);
    ASSERT_TRUE(gaps.open(wide(p), 16));
    image = gaps.get_wav_data();
    ASSERT_TRUE(image);
    EXPECT_EQ(xr_bytes::get_u32_le(image.get() + xr_wav::DATA_SIZE), 10000u);
}

TEST_F(OggTest, DamagedPagesDecodeNoFurtherThanTheImage)
{
    const std::vector<BYTE> good = read_bytes(make_ogg("d.ogg", tone(22050)));
    for (std::size_t at : {good.size() / 3, good.size() / 2, good.size() - 40}) {
        SCOPED_TRACE(at);
        std::vector<BYTE> bad = good;
        for (std::size_t i = at; i < at + 30 && i < bad.size(); ++i)
            bad[i] ^= 0x5A;
        write_bytes(dir + "/bad.ogg", bad);
        for (int width : {8, 16}) {
            XrOggVorbisFile f;
            if (!f.open(wide(dir + "/bad.ogg"), width))
                continue;
            std::unique_ptr<BYTE[]> image = f.get_wav_data();
            if (!image)
                continue;
            EXPECT_LE(xr_bytes::get_u32_le(image.get() + xr_wav::DATA_SIZE) + 44u, f.get_size());
        }
    }
}

TEST_F(OggTest, PlayerPrefersTheOggTwinOfAPrompt)
{
    XrOggVorbisFile::install();
    XrEsdCapture capture(root.dir() + "/capture");
    XrWavDef wav = tone(11025);
    ASSERT_TRUE(write_wav_file(dir + "/left.wav", wav));
    make_ogg("left.ogg", tone(4410, 1, 22050, 600.0));
    XrWavDef then = tone(2205);
    ASSERT_TRUE(write_wav_file(dir + "/then.wav", then));
    make_ogg("only.ogg", tone(1000));

    XrAudioPlayer player(1);
    XrSimpleArray<XrString> names;
    names.append(wide(dir + "\\left.wav"));
    names.append(wide(dir + "/then.wav"));
    names.append(wide(dir + "/only.wav"));
    ASSERT_EQ(player.play_files(names), XrAudioPlayerBase::PLAYED);
    const std::vector<BYTE> file = capture.read();
    ASSERT_EQ(file.size(), 44u + 2u * (4410 + 2205 + 1000));
    // The WAV prompt's samples follow the Ogg one's unchanged.
    EXPECT_EQ(std::vector<BYTE>(file.begin() + 44 + 2 * 4410, file.begin() + 44 + 2 * (4410 + 2205)), then.samples);

    // A twin that does not decode leaves the WAV prompt.
    player.clear_cache();
    write_bytes(dir + "/left.ogg", std::vector<BYTE>(3000, 'O'));
    ASSERT_EQ(player.play_file(wide(dir + "/left.wav")), XrAudioPlayerBase::PLAYED);
    EXPECT_EQ(capture.read().size(), 44u + wav.samples.size());
    XrAudioFile::set_decoder_factory(nullptr);
}

} // namespace
