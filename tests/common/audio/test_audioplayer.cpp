#include "common/audio/xr_audioplayer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

#include "common/base/xr_memorynotifier.h"
#include "common/misc/xr_path_resolver.h"
#include "platform/esd/xr_esd_capture.h"
#include "platform/esd/xr_wavformat.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/wav_writer.h"

namespace fs = std::filesystem;

namespace {

XrString wide(const std::string& s)
{
    return from_platform_path(s.c_str());
}

class AudioPlayerTest : public ::testing::Test {
protected:
    void SetUp() override { dir = root.make_dirs("/media/mmc1/kestrova/sounds/eng"); }

    // A 16-bit (or 8-bit) mono prompt of frames frames.
    XrWavDef prompt(const std::string& name, std::uint32_t frames, unsigned bits = 16, std::uint32_t rate = 22050,
                     unsigned channels = 1)
    {
        XrWavDef s;
        s.rate = rate;
        s.bits = bits;
        s.channels = channels;
        const double freq = 200.0 + 37.0 * static_cast<double>(name.size() + name[0]);
        s.samples = bits == 16 ? wav_tone16(rate, channels, frames, freq) : wav_tone8(rate, channels, frames, freq);
        EXPECT_TRUE(write_wav_file(path(name), s));
        return s;
    }
    std::string path(const std::string& name) const { return dir + "/" + name; }
    XrString wpath(const std::string& name) const { return wide(path(name)); }

    std::unique_ptr<XrSimpleArray<XrString>> names(std::initializer_list<const char*> list) const
    {
        auto a = std::make_unique<XrSimpleArray<XrString>>(8);
        for (const char* n : list)
            a->append(wpath(n));
        return a;
    }

    XrTempRoot root;
    XrEsdCapture capture{root.dir() + "/capture"};
    std::string dir;
};

std::vector<BYTE> concat(std::initializer_list<const std::vector<BYTE>*> parts)
{
    std::vector<BYTE> out;
    for (const auto* p : parts)
        out.insert(out.end(), p->begin(), p->end());
    return out;
}

std::vector<BYTE> to8(const std::vector<BYTE>& samples16)
{
    std::vector<BYTE> out(samples16.size() / 2);
    XrWavReader::convert(samples16.data(), 16, out.data(), 8, out.size());
    return out;
}

TEST_F(AudioPlayerTest, SentenceIsOneImageOfAllItsSamples)
{
    const XrWavDef a = prompt("a.wav", 1000);
    const XrWavDef b = prompt("b.wav", 2000);
    XrAudioPlayer player(1);
    std::unique_ptr<BYTE[]> buffer;
    std::uint32_t size = 0;
    ASSERT_TRUE(player.make_wav_buffer(*names({"a.wav", "b.wav"}), buffer, size));
    ASSERT_EQ(size, 44u + 6000u);
    EXPECT_EQ(xr_bytes::get_u32_le(buffer.get() + xr_wav::RIFF_SIZE), 6036u);
    EXPECT_EQ(xr_bytes::get_u32_le(buffer.get() + xr_wav::DATA_SIZE), 6000u);
    EXPECT_EQ(xr_bytes::get_u16_le(buffer.get() + xr_wav::BITS), 16u);
    EXPECT_EQ(std::vector<BYTE>(buffer.get() + 44, buffer.get() + size), concat({&a.samples, &b.samples}));
    const std::vector<BYTE> image(buffer.get(), buffer.get() + size);

    EXPECT_EQ(player.play_files(*names({"a.wav", "b.wav"})), XrAudioPlayerBase::PLAYED);
    auto plays = capture.plays();
    ASSERT_EQ(plays.size(), 1u);
    EXPECT_EQ(capture.read(plays[0].file), image);
    EXPECT_EQ(plays[0].duration, 136); // 3000 frames at 22050 Hz
    EXPECT_EQ(player.get_cache_count(), 2);
}

TEST_F(AudioPlayerTest, EightBitPlayerConvertsEveryPrompt)
{
    const XrWavDef a = prompt("a.wav", 1000, 16);
    const XrWavDef c = prompt("c.wav", 500, 8);
    XrAudioPlayer player(0);
    ASSERT_EQ(player.get_sample_width(), 8);
    ASSERT_EQ(player.play_files(*names({"a.wav", "c.wav"})), XrAudioPlayerBase::PLAYED);
    const std::vector<BYTE> file = capture.read();
    ASSERT_EQ(file.size(), 44u + 1500u);
    EXPECT_EQ(xr_bytes::get_u16_le(file.data() + xr_wav::BITS), 8u);
    EXPECT_EQ(xr_bytes::get_u16_le(file.data() + xr_wav::BLOCK_ALIGN), 1u);
    const std::vector<BYTE> a8 = to8(a.samples);
    EXPECT_EQ(std::vector<BYTE>(file.begin() + 44, file.end()), concat({&a8, &c.samples}));
}

TEST_F(AudioPlayerTest, PromptsOfDifferentFormatsAreNotJoined)
{
    prompt("a.wav", 1000);
    prompt("slow.wav", 1000, 16, 16000);
    prompt("stereo.wav", 1000, 16, 22050, 2);
    XrAudioPlayer player(1);
    for (const char* other : {"slow.wav", "stereo.wav"}) {
        std::unique_ptr<BYTE[]> buffer;
        std::uint32_t size = 1;
        EXPECT_FALSE(player.make_wav_buffer(*names({"a.wav", other}), buffer, size)) << other;
        EXPECT_FALSE(buffer);
        EXPECT_EQ(size, 0u);
        EXPECT_EQ(player.play_files(*names({"a.wav", other})), XrAudioPlayerBase::FAILED);
    }
    EXPECT_TRUE(capture.log().empty());
    // Each plays on its own.
    EXPECT_EQ(player.play_files(*names({"stereo.wav"})), XrAudioPlayerBase::PLAYED);
}

TEST_F(AudioPlayerTest, DamagedPromptFailsItsAnnouncementAndTheNextOnePlays)
{
    prompt("a.wav", 1000);
    prompt("b.wav", 800);
    root.write_file("/media/mmc1/kestrova/sounds/eng/bad.wav", std::string("RIFF") + std::string(60, '\xff'));
    XrAudioPlayer player(0);
    EXPECT_EQ(player.play_files(*names({"a.wav", "bad.wav", "b.wav"})), XrAudioPlayerBase::FAILED);
    EXPECT_EQ(player.play_files(*names({"a.wav", "missing.wav"})), XrAudioPlayerBase::FAILED);
    EXPECT_EQ(player.play_files(*names({})), XrAudioPlayerBase::FAILED);
    EXPECT_TRUE(capture.log().empty());

    EXPECT_EQ(player.play_files(*names({"a.wav", "b.wav"})), XrAudioPlayerBase::PLAYED);
    ASSERT_EQ(capture.plays().size(), 1u);
    EXPECT_EQ(capture.read().size(), 44u + 1800u);
}

TEST_F(AudioPlayerTest, MutedPlayerPlaysNothing)
{
    prompt("a.wav", 1000);
    XrAudioPlayer player(0);
    player.set_muted(true);
    EXPECT_EQ(player.play_file(wpath("a.wav")), XrAudioPlayerBase::PLAYED);
    EXPECT_FALSE(player.is_playing());
    EXPECT_TRUE(capture.log().empty());
    player.set_muted(false);
    EXPECT_EQ(player.play_file(wpath("a.wav")), XrAudioPlayerBase::PLAYED);
    EXPECT_EQ(capture.plays().size(), 1u);
}

TEST_F(AudioPlayerTest, VolumeStartsAtTheSettingsDefaultAndSetsThePan)
{
    prompt("a.wav", 100);
    XrAudioPlayer player(0);
    EXPECT_EQ(player.get_volume_level(), 3);
    EXPECT_EQ(player.get_volume(), 100);
    ASSERT_EQ(player.play_file(wpath("a.wav")), XrAudioPlayerBase::PLAYED);
    EXPECT_EQ(capture.plays().back().left, 255);
    EXPECT_EQ(capture.plays().back().right, 255);

    struct Case {
        int level;
        int volume;
        int level_back;
        int pan;
    };
    const Case cases[] = {{1, 15, 1, 38}, {2, 50, 2, 127}, {0, 0, 0, 0}, {4, 0, 0, 0}, {-1, 0, 0, 0}, {3, 100, 3, 255}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.level);
        player.set_volume_level(c.level);
        EXPECT_EQ(player.get_volume(), c.volume);
        EXPECT_EQ(player.get_volume_level(), c.level_back);
        ASSERT_EQ(player.play_file(wpath("a.wav")), XrAudioPlayerBase::PLAYED);
        EXPECT_EQ(capture.plays().back().left, c.pan);
        EXPECT_EQ(capture.plays().back().right, c.pan);
    }
}

TEST(AudioPlayerDuration, KeepsMilliseconds)
{
    struct Case {
        std::uint32_t bytes;
        unsigned channels;
        std::uint32_t rate;
        unsigned bits;
        std::uint32_t ms;
    };
    const Case cases[] = {
        {33075, 1, 22050, 16, 750}, {1000, 1, 22050, 8, 45},  {88200, 2, 22050, 16, 1000},
        {13230, 1, 22050, 8, 600},  {0, 1, 22050, 16, 0},     {100, 0, 22050, 16, 0},
        {100, 1, 0, 16, 0},         {0xFFFFFFFEu, 1, 8000, 8, 536870911u},
    };
    for (const auto& c : cases)
        EXPECT_EQ(XrAudioPlayer::duration_ms(c.bytes, c.channels, c.rate, c.bits), c.ms) << c.bytes;
}

TEST_F(AudioPlayerTest, PlayingLastsTheWholePromptAndNotWholeSeconds)
{
    prompt("short.wav", 19845); // 900 ms: 0 in whole seconds
    XrAudioPlayer player(0);
    EXPECT_FALSE(player.is_playing());
    ASSERT_EQ(player.play_file(wpath("short.wav")), XrAudioPlayerBase::PLAYED);
    EXPECT_TRUE(player.is_playing());
    EXPECT_EQ(capture.plays().back().duration, 900);
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    EXPECT_FALSE(player.is_playing());
}

TEST_F(AudioPlayerTest, NextPromptStopsTheOneStillPlaying)
{
    prompt("long.wav", 44100); // 2 s
    prompt("next.wav", 2205);
    XrAudioPlayer player(0);
    ASSERT_EQ(player.play_file(wpath("long.wav")), XrAudioPlayerBase::PLAYED);
    ASSERT_EQ(player.play_file(wpath("next.wav")), XrAudioPlayerBase::PLAYED);
    auto log = capture.log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].what, "play");
    EXPECT_EQ(log[1].what, "kill");
    EXPECT_EQ(log[1].file, log[0].file);
    EXPECT_EQ(log[2].what, "play");

    player.stop();
    EXPECT_FALSE(player.is_playing());
    log = capture.log();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[3].what, "kill");
    EXPECT_EQ(log[3].file, log[2].file);
    // Nothing left to stop.
    player.stop();
    EXPECT_EQ(capture.log().size(), 4u);
}

TEST_F(AudioPlayerTest, CacheKeepsTheTenMostRecentlyUsedPrompts)
{
    XrAudioPlayer player(0);
    for (int i = 0; i <= 10; ++i) {
        const std::string n = "p" + std::to_string(i) + ".wav";
        prompt(n, 100);
        ASSERT_EQ(player.play_file(wpath(n)), XrAudioPlayerBase::PLAYED);
        EXPECT_EQ(player.get_cache_count(), std::min(i + 1, XrAudioPlayerBase::cache_limit));
    }
    // p1 used again: p2 is now the oldest after p0.
    ASSERT_EQ(player.play_file(wpath("p1.wav")), XrAudioPlayerBase::PLAYED);
    for (int i = 0; i <= 10; ++i)
        fs::remove(path("p" + std::to_string(i) + ".wav"));
    EXPECT_EQ(player.play_file(wpath("p0.wav")), XrAudioPlayerBase::FAILED);
    for (int i = 1; i <= 10; ++i)
        EXPECT_EQ(player.play_file(wpath("p" + std::to_string(i) + ".wav")), XrAudioPlayerBase::PLAYED) << i;
    EXPECT_EQ(player.get_cache_count(), XrAudioPlayerBase::cache_limit);
}

TEST_F(AudioPlayerTest, PinnedPromptsStayUntilTheCacheIsCleared)
{
    XrAudioPlayer player(0);
    prompt("pinned.wav", 100);
    EXPECT_TRUE(player.preload(wpath("pinned.wav")));
    EXPECT_FALSE(player.preload(wpath("missing.wav")));
    for (int i = 0; i < 12; ++i) {
        const std::string n = "p" + std::to_string(i) + ".wav";
        prompt(n, 100);
        ASSERT_EQ(player.play_file(wpath(n)), XrAudioPlayerBase::PLAYED);
    }
    EXPECT_EQ(player.get_cache_count(), XrAudioPlayerBase::cache_limit);
    fs::remove(path("pinned.wav"));
    EXPECT_EQ(player.play_file(wpath("pinned.wav")), XrAudioPlayerBase::PLAYED);

    player.free_memory();
    EXPECT_EQ(player.get_cache_count(), 1);
    EXPECT_EQ(player.play_file(wpath("pinned.wav")), XrAudioPlayerBase::PLAYED);
    player.clear_cache();
    EXPECT_EQ(player.get_cache_count(), 0);
    EXPECT_EQ(player.play_file(wpath("pinned.wav")), XrAudioPlayerBase::FAILED);
}

TEST_F(AudioPlayerTest, EightBitPlayerFreesItsCacheOnLowMemory)
{
    XrMemoryNotifier notifier;
    XrMemoryNotifier::set_instance(&notifier);
    prompt("a.wav", 100);
    {
        XrAudioPlayer narrow(0);
        XrAudioPlayer wide_player(1);
        EXPECT_EQ(narrow.get_notifier(), &notifier);
        EXPECT_EQ(wide_player.get_notifier(), nullptr);
        ASSERT_EQ(narrow.play_file(wpath("a.wav")), XrAudioPlayerBase::PLAYED);
        ASSERT_EQ(wide_player.play_file(wpath("a.wav")), XrAudioPlayerBase::PLAYED);
        notifier.notify_clients();
        EXPECT_EQ(narrow.get_cache_count(), 0);
        EXPECT_EQ(wide_player.get_cache_count(), 1);
    }
    EXPECT_EQ(notifier.get_client_count(), 0);
    XrMemoryNotifier::set_instance(nullptr);
}

TEST_F(AudioPlayerTest, BackslashNamesFindTheSamePrompt)
{
    const XrWavDef a = prompt("a.wav", 500);
    XrAudioPlayer player(1);
    const std::string back = root.dir() + "\\media\\mmc1\\kestrova\\sounds\\eng\\a.wav";
    ASSERT_EQ(player.play_file(wide(back)), XrAudioPlayerBase::PLAYED);
    EXPECT_EQ(capture.read().size(), 44u + a.samples.size());
    fs::remove(path("a.wav"));
    EXPECT_EQ(player.play_file(wpath("a.wav")), XrAudioPlayerBase::PLAYED);
    EXPECT_EQ(player.get_cache_count(), 1);
}

TEST_F(AudioPlayerTest, SamePromptTwiceInASentence)
{
    const XrWavDef a = prompt("a.wav", 500);
    XrAudioPlayer player(1);
    ASSERT_EQ(player.play_files(*names({"a.wav", "a.wav"})), XrAudioPlayerBase::PLAYED);
    const std::vector<BYTE> file = capture.read();
    EXPECT_EQ(std::vector<BYTE>(file.begin() + 44, file.end()), concat({&a.samples, &a.samples}));
    EXPECT_EQ(player.get_cache_count(), 1);
}

TEST_F(AudioPlayerTest, UnreachableDaemonFailsAndTheNextPromptConnectsAgain)
{
    prompt("a.wav", 100);
    XrAudioPlayer player(0);
    const std::string later = root.dir() + "/later";
    {
        XrEsdCapture missing(later, false);
        EXPECT_EQ(player.play_file(wpath("a.wav")), XrAudioPlayerBase::FAILED);
        EXPECT_FALSE(player.is_playing());
        fs::create_directories(later);
        EXPECT_EQ(player.play_file(wpath("a.wav")), XrAudioPlayerBase::PLAYED);
        // The sink goes away under a connection that is open.
        fs::remove_all(later);
        EXPECT_EQ(player.play_file(wpath("a.wav")), XrAudioPlayerBase::FAILED);
        fs::create_directories(later);
        EXPECT_EQ(player.play_file(wpath("a.wav")), XrAudioPlayerBase::PLAYED);
    }
    EXPECT_EQ(XrEsdCapture(later, false).plays().size(), 1u);
}

TEST_F(AudioPlayerTest, ImagesTheDaemonCannotPlayAreRefused)
{
    XrAudioPlayer player(1);
    auto play = [&player](const XrWavDef& s, int cut = 0) {
        const std::vector<BYTE> bytes = wav_file(s);
        std::unique_ptr<BYTE[]> p(new BYTE[bytes.size()]);
        std::memcpy(p.get(), bytes.data(), bytes.size());
        return player.play_buffer(std::move(p), static_cast<std::uint32_t>(bytes.size()) - cut);
    };
    XrWavDef good;
    good.samples = wav_tone16(22050, 1, 100, 300.0);
    EXPECT_EQ(player.play_buffer(nullptr, 100), XrAudioPlayerBase::FAILED);
    XrWavDef tiny = good;
    tiny.samples.resize(2);
    EXPECT_EQ(play(tiny, 3), XrAudioPlayerBase::FAILED);
    XrWavDef three = good;
    three.channels = 3;
    EXPECT_EQ(play(three), XrAudioPlayerBase::FAILED);
    XrWavDef rate0 = good;
    rate0.rate = 0;
    EXPECT_EQ(play(rate0), XrAudioPlayerBase::FAILED);
    XrWavDef long_format = good;
    long_format.fmt_body_size = 18;
    EXPECT_EQ(play(long_format), XrAudioPlayerBase::FAILED);
    EXPECT_TRUE(capture.log().empty());

    // A data size beyond the image: what the image holds is played.
    XrWavDef lying = good;
    lying.declared_data_size = 100000;
    EXPECT_EQ(play(lying), XrAudioPlayerBase::PLAYED);
    EXPECT_EQ(capture.read().size(), 44u + 200u);
}

} // namespace
