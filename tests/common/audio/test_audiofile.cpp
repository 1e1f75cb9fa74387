#include "common/audio/xr_audiofile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "common/misc/xr_path_resolver.h"
#include "platform/esd/xr_wavformat.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/wav_writer.h"

namespace {

XrString wide(const std::string& s)
{
    return from_platform_path(s.c_str());
}

std::string narrow(const XrString& s)
{
    std::string out;
    to_platform_path(s, false, out);
    return out;
}

// A stand-in decoder: a file "FAKE" followed by a frame count decodes into
// that many 16-bit mono frames of value 7 (or 0x87 at 8 bits).
struct FakeDecoder : XrPromptDecoder {
    enum Mode { NORMAL, FAIL_DECODE, NOTHING_DECODED };
    static inline Mode mode = NORMAL;
    static inline int opened = 0;

    std::uint32_t frames = 0;
    int width = 16;

    std::uint32_t get_size() override { return 44 + frames * (width / 8); }
    std::unique_ptr<BYTE[]> get_wav_data() override
    {
        if (mode == FAIL_DECODE)
            return nullptr;
        const std::uint32_t d = mode == NOTHING_DECODED ? 0 : frames * (width / 8);
        std::unique_ptr<BYTE[]> image(new BYTE[get_size()]);
        xr_wav::put_header(image.get(), 1, 16000, static_cast<unsigned>(width), d);
        for (std::uint32_t i = 0; i < frames; ++i) {
            if (width == 16)
                xr_bytes::put_u16_le(image.get() + 44 + 2 * i, 7);
            else
                image[44 + i] = 0x87;
        }
        return image;
    }
    bool open(const XrString& name, int w) override
    {
        ++opened;
        const std::string content = XrTempRoot::read_file(narrow(name));
        if (content.rfind("FAKE", 0) != 0)
            return false;
        frames = static_cast<std::uint32_t>(std::stoul(content.substr(4)));
        width = w;
        return true;
    }
    static std::unique_ptr<XrPromptDecoder> create() { return std::make_unique<FakeDecoder>(); }
};

class AudioFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = root.make_dirs("/media/mmc1/kestrova/sounds/eng");
        FakeDecoder::mode = FakeDecoder::NORMAL;
        FakeDecoder::opened = 0;
    }
    void TearDown() override { XrAudioFile::set_decoder_factory(nullptr); }

    std::string put_wav(const std::string& name, const XrWavDef& def)
    {
        EXPECT_TRUE(write_wav_file(dir + "/" + name, def));
        return dir + "/" + name;
    }

    XrTempRoot root;
    std::string dir;
};

XrWavDef tone16(std::uint32_t frames)
{
    XrWavDef s;
    s.samples = wav_tone16(s.rate, 1, frames, 500.0, 30000);
    return s;
}

std::vector<BYTE> image_of(XrAudioFile& f)
{
    const BYTE* p = f.get_data();
    return p ? std::vector<BYTE>(p, p + f.get_size()) : std::vector<BYTE>();
}

TEST_F(AudioFileTest, WavIsConvertedToTheTargetWidthFromTheDataChunkOnly)
{
    struct Case {
        const char* label;
        unsigned bits;
        int width;
        bool chunk_after;
        std::int64_t declared;
    };
    const Case cases[] = {
        {"16 to 8, chunk after the samples", 16, 8, true, -1},
        {"16 to 8, data size beyond the file", 16, 8, false, 1 << 20},
        {"8 to 16, chunk after the samples", 8, 16, true, -1},
        {"16 to 16 with a chunk after", 16, 16, true, -1},
        {"8 to 8", 8, 8, false, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        XrWavDef def;
        def.bits = c.bits;
        def.samples = c.bits == 16 ? wav_tone16(def.rate, 1, 3000, 440.0, 20000) : wav_tone8(def.rate, 1, 3000, 440.0);
        if (c.chunk_after)
            def.after_data.push_back({"LIST", std::vector<BYTE>(50000, 0xEE)});
        def.declared_data_size = c.declared;
        const std::string path = put_wav("p.wav", def);

        auto f = XrAudioFile::create_for_file(wide(path), c.width);
        ASSERT_TRUE(f);
        const std::uint32_t data = 3000 * (c.width / 8);
        EXPECT_EQ(f->get_size(), 44 + data);
        const std::vector<BYTE> image = image_of(*f);
        ASSERT_EQ(image.size(), 44 + data);

        std::vector<BYTE> header(44);
        xr_wav::put_header(header.data(), 1, def.rate, static_cast<unsigned>(c.width), data);
        EXPECT_EQ(std::vector<BYTE>(image.begin(), image.begin() + 44), header);
        std::vector<BYTE> expected(data);
        XrWavReader::convert(def.samples.data(), c.bits, expected.data(), static_cast<unsigned>(c.width), 3000);
        EXPECT_EQ(std::vector<BYTE>(image.begin() + 44, image.end()), expected);
    }
}

TEST_F(AudioFileTest, FilesThePlayerCannotPlayAreRefused)
{
    XrWavDef bits4 = tone16(100);
    bits4.bits = 4;
    XrWavDef bits24 = tone16(100);
    bits24.bits = 24;
    XrWavDef empty = tone16(100);
    empty.samples.clear();
    put_wav("bits4.wav", bits4);
    put_wav("bits24.wav", bits24);
    put_wav("empty.wav", empty);
    root.write_file("/media/mmc1/kestrova/sounds/eng/short.wav", "RIFF\x10\0\0\0WAVE");
    root.write_file("/media/mmc1/kestrova/sounds/eng/text.wav", std::string(100, 'a'));
    for (const char* name : {"missing.wav", "bits4.wav", "bits24.wav", "empty.wav", "short.wav", "text.wav"}) {
        EXPECT_FALSE(XrAudioFile::create_for_file(wide(dir + "/" + name), 8)) << name;
        EXPECT_FALSE(XrAudioFile::create_for_file(wide(dir + "/" + name), 16)) << name;
    }
    put_wav("good.wav", tone16(100));
    EXPECT_FALSE(XrAudioFile::create_for_file(wide(dir + "/good.wav"), 12));
    EXPECT_FALSE(XrAudioFile::create_for_file(wide(dir), 16));
}

TEST_F(AudioFileTest, AFileCutShortAfterLoadingGivesNoImage)
{
    const std::string path = put_wav("cut.wav", tone16(4000));
    auto f = XrAudioFile::create_for_file(wide(path), 8);
    ASSERT_TRUE(f);
    std::filesystem::resize_file(path, 1000);
    EXPECT_EQ(f->get_data(), nullptr);
}

TEST_F(AudioFileTest, OggTwinIsPreferredAndCachedUnderTheWavName)
{
    XrAudioFile::set_decoder_factory(&FakeDecoder::create);
    put_wav("left.wav", tone16(5000));
    root.write_file("/media/mmc1/kestrova/sounds/eng/left.ogg", "FAKE300");

    // Asked for with the separators of the prompt tables.
    const std::string asked = root.dir() + "\\media\\mmc1\\kestrova\\sounds\\eng\\left.wav";
    for (int width : {8, 16}) {
        auto f = XrAudioFile::create_for_file(wide(asked), width);
        ASSERT_TRUE(f);
        EXPECT_EQ(narrow(f->get_name()), dir + "/left.wav");
        EXPECT_EQ(f->get_size(), 44u + 300u * (width / 8));
        const std::vector<BYTE> image = image_of(*f);
        ASSERT_EQ(image.size(), f->get_size());
        EXPECT_EQ(xr_bytes::get_u32_le(image.data() + xr_wav::RATE), 16000u);
        EXPECT_EQ(xr_bytes::get_u16_le(image.data() + xr_wav::BITS), width);
    }

    // An Ogg file alone is enough.
    root.write_file("/media/mmc1/kestrova/sounds/eng/only.ogg", "FAKE10");
    auto only = XrAudioFile::create_for_file(wide(dir + "/only.wav"), 16);
    ASSERT_TRUE(only);
    EXPECT_EQ(only->get_size(), 64u);
}

TEST_F(AudioFileTest, WavIsUsedWhenTheTwinDoesNotDecode)
{
    put_wav("right.wav", tone16(5000));
    root.write_file("/media/mmc1/kestrova/sounds/eng/right.ogg", "FAKE300");
    const XrString wav = wide(dir + "/right.wav");

    // No decoder installed.
    auto f = XrAudioFile::create_for_file(wav, 16);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->get_size(), 10044u);

    XrAudioFile::set_decoder_factory(&FakeDecoder::create);
    for (FakeDecoder::Mode mode : {FakeDecoder::FAIL_DECODE, FakeDecoder::NOTHING_DECODED}) {
        FakeDecoder::mode = mode;
        auto g = XrAudioFile::create_for_file(wav, 16);
        ASSERT_TRUE(g) << mode;
        EXPECT_EQ(g->get_size(), 10044u) << mode;
    }
    root.write_file("/media/mmc1/kestrova/sounds/eng/right.ogg", "not a stream");
    FakeDecoder::mode = FakeDecoder::NORMAL;
    auto h = XrAudioFile::create_for_file(wav, 16);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->get_size(), 10044u);

    std::filesystem::remove(dir + "/right.wav");
    EXPECT_FALSE(XrAudioFile::create_for_file(wav, 16));
}

TEST(AudioFileNames, OggTwinName)
{
    struct Case {
        const TCHAR* name;
        const TCHAR* twin;
    };
    const Case cases[] = {
        {L"/s/eng/left.wav", L"/s/eng/left.ogg"},
        {L"/s/eng/LEFT.WAV", L"/s/eng/LEFT.ogg"},
        {L"/s/eng/x.tar.wav", L"/s/eng/x.tar.ogg"},
        {L"\\s\\eng\\left.wav", L"/s/eng/left.ogg"},
        {L"/s/eng.d/left", L"/s/eng.d/left.ogg"},
        {L"left", L"left.ogg"},
        {L"", L".ogg"},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(XrAudioFile::ogg_name(c.name) == c.twin) << narrow(c.name);
}

TEST(AudioFileNames, PromptPathsUseSlashes)
{
    EXPECT_TRUE(XrAudioFile::prompt_path(L"/media/mmc1\\kestrova\\sounds", L"sound_eng", L"left.wav") ==
                L"/media/mmc1/kestrova/sounds/sound_eng/left.wav");
    EXPECT_TRUE(XrAudioFile::prompt_path(L"/r", L"s", L"delay.wav") == L"/r/s/delay.wav");
}

} // namespace
