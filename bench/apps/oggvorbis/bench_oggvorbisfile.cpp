// Decoding a 2-second mono voice prompt (22050 Hz, Ogg Vorbis quality 3):
// Tremor through XrOggVorbisFile against Debian's oggdec on the same file,
// in one run. oggdec is a process of its own, so the start of a process
// that does nothing (/bin/true) is measured too, and both decoders also
// decode a 60-second file, where the start no longer counts.
// Also: play request to the first sample written when the prompts are Ogg
// twins that are not cached yet.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>

#include "apps/oggvorbis/xr_oggvorbisfile.h"
#include "common/audio/xr_audioplayer.h"
#include "common/misc/xr_path_resolver.h"
#include "platform/esd/esd.h"
#include "tools/mapgen/ogg_writer.h"
#include "tools/mapgen/wav_writer.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t rate = 22050;

// Something like a voice: a gliding fundamental with harmonics, syllable
// by syllable, and a little noise.
XrWavDef voice_like(double seconds, unsigned seed)
{
    XrWavDef def;
    def.rate = rate;
    std::vector<std::int16_t> v;
    const std::uint32_t frames = static_cast<std::uint32_t>(seconds * rate);
    std::uint32_t noise = seed * 2654435761u + 1;
    double phase = 0;
    for (std::uint32_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double f0 = 120.0 + 40.0 * std::sin(2 * M_PI * 1.3 * t + seed);
        phase += 2 * M_PI * f0 / rate;
        const double syllable = std::max(0.0, std::sin(2 * M_PI * 4.0 * t));
        double s = 0;
        for (int h = 1; h <= 12; ++h)
            s += std::sin(h * phase) / h;
        noise = noise * 1664525u + 1013904223u;
        const double n = (static_cast<double>(noise >> 8) / (1 << 24) - 0.5) * 0.05;
        v.push_back(static_cast<std::int16_t>(std::lround(9000.0 * (syllable * s + n))));
    }
    def.samples = wav_samples16(v);
    return def;
}

struct Files {
    std::string dir;
    std::string prompt;   // 2 s
    std::string long_one; // 60 s
    Files()
    {
        std::string t = (fs::temp_directory_path() / "xr-oggbench-XXXXXX").string();
        if (mkdtemp(t.data()) == nullptr)
            std::abort();
        dir = t;
        prompt = dir + "/prompt.ogg";
        long_one = dir + "/long.ogg";
        if (!write_ogg_file(prompt, voice_like(2.0, 1)) || !write_ogg_file(long_one, voice_like(60.0, 2)))
            std::abort();
    }
    ~Files() { fs::remove_all(dir); }
};

const Files& files()
{
    static Files f;
    return f;
}

void run(std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    int status = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0 || waitpid(pid, &status, 0) != pid ||
        !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::abort();
}

void decode_tremor(benchmark::State& state, const std::string& path)
{
    const XrString name = from_platform_path(path.c_str());
    for (auto _ : state) {
        XrOggVorbisFile f;
        if (!f.open(name, 16))
            std::abort();
        std::unique_ptr<BYTE[]> image = f.get_wav_data();
        benchmark::DoNotOptimize(image.get());
    }
}

void BM_Prompt2s_Tremor(benchmark::State& state)
{
    decode_tremor(state, files().prompt);
}

void BM_Prompt2s_Oggdec(benchmark::State& state)
{
    for (auto _ : state)
        run({"oggdec", "-Q", "-o", "/dev/null", files().prompt});
}

void BM_ProcessStart_True(benchmark::State& state)
{
    for (auto _ : state)
        run({"true"});
}

void BM_Long60s_Tremor(benchmark::State& state)
{
    decode_tremor(state, files().long_one);
}

void BM_Long60s_Oggdec(benchmark::State& state)
{
    for (auto _ : state)
        run({"oggdec", "-Q", "-o", "/dev/null", files().long_one});
}

// Three Ogg prompts, decoded afresh each time, joined and handed to the
// sound daemon (capture folder), until the sample is written.
void BM_PlayRequestToFirstSample_OggUncached(benchmark::State& state)
{
    XrOggVorbisFile::install();
    const std::string capture = files().dir + "/capture";
    fs::create_directories(capture);
    setenv(ESD_CAPTURE_ENV, capture.c_str(), 1);
    XrSimpleArray<XrString> names;
    for (int i = 0; i < 3; ++i) {
        const std::string ogg = files().dir + "/p" + std::to_string(i) + ".ogg";
        if (!fs::exists(ogg) && !write_ogg_file(ogg, voice_like(0.6, 10 + i)))
            std::abort();
        names.append(from_platform_path((files().dir + "/p" + std::to_string(i) + ".wav").c_str()));
    }
    XrAudioPlayer player(0);
    for (auto _ : state) {
        if (player.play_files(names) != XrAudioPlayerBase::PLAYED)
            std::abort();
        state.PauseTiming();
        player.clear_cache();
        fs::remove_all(capture);
        fs::create_directories(capture);
        state.ResumeTiming();
    }
    unsetenv(ESD_CAPTURE_ENV);
    XrAudioFile::set_decoder_factory(nullptr);
}

} // namespace

BENCHMARK(BM_Prompt2s_Tremor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Prompt2s_Oggdec)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProcessStart_True)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Long60s_Tremor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Long60s_Oggdec)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlayRequestToFirstSample_OggUncached)->Unit(benchmark::kMillisecond);
