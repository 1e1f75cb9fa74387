#include "platform/esd/esd.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "platform/esd/xr_wavformat.h"
#include "platform/esd/xr_esd_capture.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/wav_writer.h"

namespace {

constexpr int mono16 = ESD_SAMPLE | ESD_PLAY | ESD_MONO | ESD_BITS16;

bool send(int fd, const std::vector<std::uint8_t>& bytes)
{
    return write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

// Caches bytes as one sample: its id, or -1.
int cache(int fd, int format, int rate, const std::vector<std::uint8_t>& bytes, const char* name = nullptr)
{
    const int id = esd_sample_cache(fd, format, rate, static_cast<int>(bytes.size()), name);
    if (id < 0 || !send(fd, bytes))
        return -1;
    return esd_confirm_sample_cache(fd) == id ? id : -1;
}

class EsdTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (fd >= 0)
            esd_close(fd);
    }
    void open()
    {
        fd = esd_open_sound(nullptr);
        ASSERT_GE(fd, 0);
    }

    XrTempRoot root;
    XrEsdCapture capture{root.dir() + "/capture"};
    int fd = -1;
};

TEST_F(EsdTest, PlayedSampleIsCapturedAsWavWithItsPanAndDuration)
{
    open();
    const std::vector<std::uint8_t> samples = wav_tone16(22050, 1, 11025, 440.0);
    const int id = cache(fd, mono16, 22050, samples, "hello");
    ASSERT_GT(id, 0);
    EXPECT_EQ(esd_set_default_sample_pan(fd, id, 128, 200), id);
    EXPECT_EQ(esd_sample_play(fd, id), id);

    auto plays = capture.plays();
    ASSERT_EQ(plays.size(), 1u);
    EXPECT_EQ(plays[0].name, "hello");
    EXPECT_EQ(plays[0].left, 128);
    EXPECT_EQ(plays[0].right, 200);
    EXPECT_EQ(plays[0].duration, 500);

    XrWavDef expected;
    expected.samples = samples;
    EXPECT_EQ(capture.read(plays[0].file), wav_file(expected));
}

struct FormatCase {
    const char* label;
    int format;
    int rate;
    int frames;
    unsigned channels;
    unsigned bits;
    long long duration;
};

TEST_F(EsdTest, CaptureHeaderFollowsTheSampleFormat)
{
    const FormatCase cases[] = {
        {"mono 8", ESD_SAMPLE | ESD_MONO | ESD_BITS8, 8000, 4000, 1, 8, 500},
        {"mono 16", ESD_SAMPLE | ESD_MONO | ESD_BITS16, 16000, 4000, 1, 16, 250},
        {"stereo 8", ESD_SAMPLE | ESD_STEREO | ESD_BITS8, 11025, 11025, 2, 8, 1000},
        {"stereo 16", ESD_SAMPLE | ESD_STEREO | ESD_BITS16, 44100, 441, 2, 16, 10},
    };
    open();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(c.frames) * c.channels * (c.bits / 8), 0x55);
        const int id = cache(fd, c.format, c.rate, bytes);
        ASSERT_GT(id, 0);
        ASSERT_EQ(esd_sample_play(fd, id), id);
        const auto file = capture.read();
        ASSERT_EQ(file.size(), xr_wav::HEADER_SIZE + bytes.size());
        EXPECT_EQ(xr_bytes::get_u16_le(file.data() + xr_wav::CHANNELS), c.channels);
        EXPECT_EQ(xr_bytes::get_u32_le(file.data() + xr_wav::RATE), static_cast<std::uint32_t>(c.rate));
        EXPECT_EQ(xr_bytes::get_u16_le(file.data() + xr_wav::BITS), c.bits);
        EXPECT_EQ(xr_bytes::get_u32_le(file.data() + xr_wav::DATA_SIZE), bytes.size());
        EXPECT_EQ(capture.plays().back().duration, c.duration);
        EXPECT_EQ(capture.plays().back().name, "-");
        esd_sample_free(fd, id);
    }
}

TEST_F(EsdTest, AnnouncementsTheDaemonCannotTakeAreRefused)
{
    struct Bad {
        const char* label;
        int format;
        int rate;
        int length;
    };
    const Bad cases[] = {
        {"a stream", ESD_STREAM | ESD_MONO | ESD_BITS16, 22050, 100},
        {"no channels", ESD_SAMPLE | ESD_BITS16, 22050, 100},
        {"rate 0", mono16, 0, 100},
        {"negative rate", mono16, -8000, 100},
        {"negative length", mono16, 22050, -2},
        {"half a frame", mono16, 22050, 101},
        {"half a stereo frame", ESD_SAMPLE | ESD_STEREO | ESD_BITS16, 22050, 102},
    };
    open();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(esd_sample_cache(fd, c.format, c.rate, c.length, nullptr), -1);
        EXPECT_EQ(esd_confirm_sample_cache(fd), -1);
    }
    EXPECT_EQ(esd_sample_cache(fd + 1000, mono16, 22050, 2, nullptr), -1);
}

TEST_F(EsdTest, ConfirmNeedsExactlyTheAnnouncedBytes)
{
    open();
    for (int extra : {-2, 2}) {
        SCOPED_TRACE(extra);
        const int id = esd_sample_cache(fd, mono16, 22050, 100, nullptr);
        ASSERT_GT(id, 0);
        ASSERT_TRUE(send(fd, std::vector<std::uint8_t>(static_cast<std::size_t>(100 + extra), 1)));
        EXPECT_EQ(esd_confirm_sample_cache(fd), -1);
        EXPECT_EQ(esd_sample_play(fd, id), -1);
    }
    // The connection stays usable.
    const int id = cache(fd, mono16, 22050, std::vector<std::uint8_t>(100, 1));
    ASSERT_GT(id, 0);
    EXPECT_EQ(esd_sample_play(fd, id), id);
    EXPECT_EQ(capture.read().size(), xr_wav::HEADER_SIZE + 100);
}

TEST_F(EsdTest, KillStopsOnlyASamplePlaying)
{
    open();
    const int id = cache(fd, mono16, 8000, std::vector<std::uint8_t>(32000, 0), "long");
    ASSERT_GT(id, 0);
    ASSERT_EQ(esd_sample_play(fd, id), id);
    // Freed while playing: it plays on and can still be stopped.
    EXPECT_EQ(esd_sample_free(fd, id), id);
    EXPECT_EQ(esd_sample_play(fd, id), -1);
    EXPECT_EQ(esd_sample_kill(fd, id), id);
    auto log = capture.log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].what, "kill");
    EXPECT_EQ(log[1].file, log[0].file);
    EXPECT_EQ(log[1].name, "long");
    EXPECT_LT(log[1].time - log[0].time, 2000);
    // Stopped and freed: gone; a second kill finds nothing to stop.
    EXPECT_EQ(esd_sample_kill(fd, id), 0);

    const int short_id = cache(fd, mono16, 8000, std::vector<std::uint8_t>(16, 0));
    ASSERT_EQ(esd_sample_play(fd, short_id), short_id);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(esd_sample_kill(fd, short_id), 0);
    EXPECT_EQ(esd_sample_kill(fd, 424242), 0);
    EXPECT_EQ(capture.log().size(), 3u);

    EXPECT_EQ(esd_sample_kill(fd + 1000, id), -1);
}

TEST_F(EsdTest, UnknownSamplesAndConnectionsFail)
{
    open();
    EXPECT_EQ(esd_set_default_sample_pan(fd, 99999, 1, 1), -1);
    EXPECT_EQ(esd_sample_play(fd, 99999), -1);
    EXPECT_EQ(esd_sample_free(fd, 99999), -1);
    EXPECT_EQ(esd_close(fd), 0);
    EXPECT_EQ(esd_close(fd), -1);
    EXPECT_EQ(esd_sample_cache(fd, mono16, 22050, 2, nullptr), -1);
    fd = -1;
}

TEST(EsdOpen, NeedsAReachableDaemon)
{
    XrTempRoot root;
    {
        XrEsdCapture missing(root.dir() + "/nowhere", false);
        EXPECT_EQ(esd_open_sound(nullptr), -1);
    }
    {
        XrEsdCapture capture(root.dir() + "/capture");
        EXPECT_EQ(esd_open_sound("example.org"), -1);
        const int fd = esd_open_sound("localhost");
        EXPECT_GE(fd, 0);
        esd_close(fd);
    }
    // No capture folder and no sound server.
    setenv("PULSE_SERVER", ("unix:" + root.dir() + "/no-server").c_str(), 1);
    unsetenv(ESD_CAPTURE_ENV);
    EXPECT_EQ(esd_open_sound(nullptr), -1);
    unsetenv("PULSE_SERVER");
}

} // namespace
