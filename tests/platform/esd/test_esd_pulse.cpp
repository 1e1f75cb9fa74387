// The stand-in against a real sound server: a private PulseAudio with a
// null sink, started by the test; what reaches the sink is recorded from
// its monitor.
#include "platform/esd/esd.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <pulse/simple.h>

#include "support/xr_temp_root.h"
#include "tools/mapgen/wav_writer.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

bool have_program(const char* name)
{
    const char* path = std::getenv("PATH");
    std::string p = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= p.size()) {
        std::size_t end = p.find(':', start);
        if (end == std::string::npos)
            end = p.size();
        if (access((p.substr(start, end - start) + "/" + name).c_str(), X_OK) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

struct Peaks {
    int left = 0;
    int right = 0;
};

class PulseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!have_program("pulseaudio"))
            GTEST_SKIP() << "pulseaudio is not installed";
        const std::string dir = root.make_dirs("/pulse");
        socket = dir + "/native";
        std::vector<std::string> args = {"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
                                         "--use-pid-file=no", "-F", "/dev/null", "--log-level=error",
                                         "--load=module-null-sink sink_name=null",
                                         "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket};
        std::vector<std::string> env = {"HOME=" + dir, "XDG_RUNTIME_DIR=" + dir, "PATH=/usr/bin:/bin"};
        std::vector<char*> argv, envp;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        for (auto& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        ASSERT_EQ(posix_spawnp(&server, "pulseaudio", nullptr, nullptr, argv.data(), envp.data()), 0);
        for (int i = 0; i < 100 && !fs::exists(socket); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_TRUE(fs::exists(socket));
        setenv("PULSE_SERVER", ("unix:" + socket).c_str(), 1);
        unsetenv(ESD_CAPTURE_ENV);
    }
    void TearDown() override
    {
        if (fd >= 0)
            esd_close(fd);
        unsetenv("PULSE_SERVER");
        if (server > 0) {
            kill(server, SIGTERM);
            int status = 0;
            waitpid(server, &status, 0);
        }
    }

    // Records what the sink plays for ms milliseconds after delay_ms.
    Peaks record(int ms, int delay_ms = 0)
    {
        pa_sample_spec sample_format;
        sample_format.format = PA_SAMPLE_S16NE;
        sample_format.rate = 22050;
        sample_format.channels = 2;
        pa_buffer_attr attr;
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.tlength = attr.prebuf = attr.minreq = static_cast<std::uint32_t>(-1);
        attr.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(20000, &sample_format));
        int error = 0;
        pa_simple* rec = pa_simple_new(nullptr, "test", PA_STREAM_RECORD, "null.monitor", "monitor", &sample_format, nullptr,
                                       &attr, &error);
        EXPECT_NE(rec, nullptr);
        Peaks peaks;
        if (rec == nullptr)
            return peaks;
        std::vector<std::int16_t> frames(static_cast<std::size_t>(sample_format.rate) * 2 * (ms + delay_ms) / 1000);
        pa_simple_read(rec, frames.data(), frames.size() * sizeof(std::int16_t), &error);
        pa_simple_free(rec);
        for (std::size_t i = static_cast<std::size_t>(sample_format.rate) * 2 * delay_ms / 1000; i + 1 < frames.size(); i += 2) {
            peaks.left = std::max(peaks.left, std::abs(static_cast<int>(frames[i])));
            peaks.right = std::max(peaks.right, std::abs(static_cast<int>(frames[i + 1])));
        }
        return peaks;
    }

    int play_tone(std::uint32_t rate, std::uint32_t frames, int left, int right)
    {
        const std::vector<BYTE> samples = wav_tone16(rate, 1, frames, 440.0, 12000);
        const int id = esd_sample_cache(fd, ESD_SAMPLE | ESD_PLAY | ESD_MONO | ESD_BITS16, static_cast<int>(rate),
                                        static_cast<int>(samples.size()), "tone");
        EXPECT_GT(id, 0);
        EXPECT_EQ(write(fd, samples.data(), samples.size()), static_cast<ssize_t>(samples.size()));
        EXPECT_EQ(esd_confirm_sample_cache(fd), id);
        EXPECT_EQ(esd_set_default_sample_pan(fd, id, left, right), id);
        EXPECT_EQ(esd_sample_play(fd, id), id);
        return id;
    }

    XrTempRoot root;
    std::string socket;
    pid_t server = -1;
    int fd = -1;
};

TEST_F(PulseTest, SamplesReachTheSoundServerWithTheirPan)
{
    fd = esd_open_sound(nullptr);
    ASSERT_GE(fd, 0);
    Peaks heard;
    std::thread recorder([&] { heard = record(2000); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const int id = play_tone(22050, 11025, ESD_VOLUME_BASE, 0);
    EXPECT_EQ(esd_sample_free(fd, id), id);
    recorder.join();
    EXPECT_GT(heard.left, 6000);
    EXPECT_LT(heard.right, 100);
}

TEST_F(PulseTest, KillSilencesThePlayingSample)
{
    fd = esd_open_sound(nullptr);
    ASSERT_GE(fd, 0);
    const int id = play_tone(8000, 24000, ESD_VOLUME_BASE, ESD_VOLUME_BASE); // 3 s
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(esd_sample_kill(fd, id), id);
    const Peaks after = record(500, 300);
    EXPECT_LT(after.left, 100);
    EXPECT_LT(after.right, 100);
    // A new sample at another rate plays again.
    Peaks heard;
    std::thread recorder([&] { heard = record(2000); });
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    play_tone(22050, 8820, ESD_VOLUME_BASE / 2, ESD_VOLUME_BASE / 2);
    recorder.join();
    EXPECT_GT(heard.left, 3000);
    EXPECT_GT(heard.right, 3000);
    EXPECT_LT(heard.left, 8000);
}

} // namespace
