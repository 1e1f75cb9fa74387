// The demo drive with a destination speaks. The navigator starts on an
// empty card by its real start-up path, installs the shipped voice set and
// plays its prompts through the sound daemon stand-in, whose capture folder
// receives every sample. Each captured sample is cut back into the prompt
// files it was joined from; the sentences, in order, are those that
// kestrova-probe drive gives for the same route.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "apps/oggvorbis/xr_oggvorbisfile.h"
#include "common/audio/xr_audiofile.h"
#include "common/audio/xr_wavreader.h"
#include "navigator_run.h"
#include "prompt_capture.h"

namespace fs = std::filesystem;

namespace {

using namespace prompt_capture;

// From the demo track's start two right turns lead to this place (841 m);
// the route's prompts are the same a metre or a few centimetres a second
// either way, which the replayed drive may be off by.
const char* const destination = "30.995,-24.005";
// The voice set on the card, below the root.
const char* const card_voice = "/media/mmc2/map/kestrova/sounds/sound_eng";

// The words of a sentence that do not depend on timing or chance: the
// silent lead-in ("delay") goes, which plays only after a quiet while; the
// variants the guidance picks at random count as their first form.
Sentence spoken(const Sentence& sentence)
{
    Sentence out;
    for (std::string name : sentence) {
        const std::size_t dot = name.rfind('.');
        if (dot != std::string::npos)
            name.erase(dot);
        if (name == "delay")
            continue;
        if (name.rfind("dest", 0) == 0)
            name = "dest";
        else if (name == "herel2" || name == "herel3")
            name = "herel";
        else if (name == "herer2" || name == "herer3")
            name = "herer";
        out.push_back(name);
    }
    return out;
}

// The sentences the probe speaks driving the same route at 12 m/s.
std::vector<Sentence> probe_sentences(const std::string& map, const std::string& from, const std::string& voice)
{
    const std::string cmd = "ASAN_OPTIONS=detect_leaks=0 " + XrNavigatorRun::binary("tools/probe/kestrova-probe") +
                            " drive " + map + " --from " + from + " --to " + destination + " --speed 43.2 --voice " +
                            voice;
    std::vector<Sentence> sentences;
    FILE* p = popen(cmd.c_str(), "r");
    if (p == nullptr)
        return sentences;
    char line[1024];
    while (std::fgets(line, sizeof line, p) != nullptr) {
        std::istringstream words(line);
        std::string second, kind;
        words >> second >> kind;
        if (kind != "prompt")
            continue;
        Sentence s;
        for (std::string w; words >> w;)
            s.push_back(w);
        if (!(s = spoken(s)).empty())
            sentences.push_back(s);
    }
    pclose(p);
    return sentences;
}

std::string text(const std::vector<Sentence>& sentences)
{
    std::string out;
    for (const Sentence& s : sentences) {
        for (const std::string& w : s)
            out += w + " ";
        out += "| ";
    }
    return out;
}

// The track's first point, "lat,lon".
std::string track_start(const std::string& track)
{
    std::ifstream in(track);
    std::string line;
    std::getline(in, line);
    const std::size_t comma = line.find(',');
    return comma == std::string::npos ? std::string() : line.substr(comma + 1);
}

class VoiceDriveTest : public XrDemoDriveTest {};

TEST_F(VoiceDriveTest, PromptsOfTheRouteArePlayedThroughTheSoundDaemon)
{
    // The car waits at the demo track's start until the route is there, so
    // that the route starts where the probe's does.
    const std::string start = track_start(track);
    const std::string parked = root.write_file("/parked.csv", "0," + start + "\n");
    const std::string capture = root.make_dirs("/capture");
    run.start({"KESTROVA_DRIVE_TRACK=" + parked, std::string("KESTROVA_DRIVE_DESTINATION=") + destination,
               "KESTROVA_ESD_CAPTURE=" + capture});

    // The drive takes about 70 s; it has ended once the arrival was played.
    std::vector<Sentence> heard;
    std::map<std::string, Bytes> prompts;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (std::chrono::steady_clock::now() < end && (heard.empty() || heard.back() != Sentence{"dest"})) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        if (prompts.empty() && fs::is_directory(root.dir() + card_voice))
            prompts = load_prompts(root.dir() + card_voice);
        heard.clear();
        for (const std::string& file : played_files(capture)) {
            const std::string wav = XrTempRoot::read_file(capture + "/" + file);
            const Bytes samples = samples_of(reinterpret_cast<const BYTE*>(wav.data()), wav.size());
            Sentence sentence;
            ASSERT_TRUE(cut(samples, 0, prompts, sentence)) << file << " is not a run of prompts\n" << run.output();
            if (!(sentence = spoken(sentence)).empty())
                heard.push_back(sentence);
        }
    }
    EXPECT_EQ(run.terminate(), 0) << run.output();

    // The shipped voice set was installed whole, under the default name.
    ASSERT_GE(prompts.size(), 60u);
    for (const auto& entry : fs::directory_iterator(root.dir() + "/usr/share/kestrova/sounds/english"))
        EXPECT_TRUE(fs::exists(root.dir() + card_voice + "/" + entry.path().filename().string()))
            << entry.path();

    const std::vector<Sentence> expected =
        probe_sentences(root.dir() + "/media/mmc2/map/mapdata", start, root.dir() + card_voice);
    // The start prompt (the first turn ahead), the first turn, the second
    // announced and then taken, and the arrival.
    ASSERT_EQ(expected.size(), 5u) << text(expected);
    EXPECT_EQ(expected.front(), (Sentence{"300", "right"}));
    EXPECT_EQ(expected[1], Sentence{"herer"});
    EXPECT_EQ(expected.back(), Sentence{"dest"});
    EXPECT_EQ(text(heard), text(expected)) << run.output();
}

} // namespace
