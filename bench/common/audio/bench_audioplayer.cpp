// Play request to the first sample written: an announcement of three WAV
// prompts (0.6 s each, 16-bit mono 22050 Hz) played by the 8-bit player
// into the sound daemon's capture folder, with the prompts cached and
// loaded afresh.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/audio/xr_audioplayer.h"
#include "common/misc/xr_path_resolver.h"
#include "platform/esd/esd.h"
#include "tools/mapgen/wav_writer.h"

namespace fs = std::filesystem;

namespace {

struct Setup {
    std::string dir;
    std::string capture;
    XrSimpleArray<XrString> names;
    Setup()
    {
        std::string t = (fs::temp_directory_path() / "xr-audiobench-XXXXXX").string();
        if (mkdtemp(t.data()) == nullptr)
            std::abort();
        dir = t;
        capture = dir + "/capture";
        fs::create_directories(capture);
        for (int i = 0; i < 3; ++i) {
            XrWavDef def;
            def.samples = wav_tone16(def.rate, 1, 13230, 300.0 + 100 * i);
            const std::string p = dir + "/p" + std::to_string(i) + ".wav";
            if (!write_wav_file(p, def))
                std::abort();
            names.append(from_platform_path(p.c_str()));
        }
        setenv(ESD_CAPTURE_ENV, capture.c_str(), 1);
    }
    ~Setup()
    {
        unsetenv(ESD_CAPTURE_ENV);
        fs::remove_all(dir);
    }
    void empty_capture() const
    {
        fs::remove_all(capture);
        fs::create_directories(capture);
    }
};

Setup& setup()
{
    static Setup s;
    return s;
}

void play(benchmark::State& state, bool cached)
{
    Setup& s = setup();
    XrAudioPlayer player(0);
    for (auto _ : state) {
        if (player.play_files(s.names) != XrAudioPlayerBase::PLAYED)
            std::abort();
        state.PauseTiming();
        if (!cached)
            player.clear_cache();
        s.empty_capture();
        state.ResumeTiming();
    }
}

void BM_PlayRequestToFirstSample_Cached(benchmark::State& state)
{
    play(state, true);
}

void BM_PlayRequestToFirstSample_Uncached(benchmark::State& state)
{
    play(state, false);
}

} // namespace

BENCHMARK(BM_PlayRequestToFirstSample_Cached)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlayRequestToFirstSample_Uncached)->Unit(benchmark::kMicrosecond);
