// Traffic in the whole program: the navigator starts on an empty card with
// the loopback service server as its service host and a route to the demo
// destination. The server refuses the first exchange (the service tries
// again on its timer) and then sends a jam on the road of the route: its
// icon and road marks appear on the map, the warning sounds, the route is
// searched again around it and the new route announced.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "apps/oggvorbis/xr_oggvorbisfile.h"
#include "common/audio/xr_audiofile.h"
#include "common/audio/xr_wavreader.h"
#include "navigator_run.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<BYTE>;

const char* const destination = "30.995,-24.005";
const char* const card_voice = "/media/mmc2/map/kestrova/sounds/sound_eng";

// The jam lies at the junction 637 m along the route from the track's start
// (where it leaves South-West Boulevard), which the car reaches well after
// the retry.
const char* const scenario = "fail 1\n"
                             "0 jam 1 30.9949 -24.0064 101 15 Stationary traffic\n";

Bytes samples_of(const BYTE* data, std::size_t size)
{
    XrWavInfo info;
    if (data == nullptr || XrWavReader::parse(data, size, info) != XrWavReader::OK)
        return {};
    return Bytes(data + info.data_offset, data + info.data_offset + info.data_size);
}

// The named prompts of the voice folder as the player loads them.
std::map<std::string, Bytes> load_prompts(const std::string& folder, const std::vector<std::string>& names)
{
    XrOggVorbisFile::install();
    std::map<std::string, Bytes> prompts;
    for (const std::string& name : names) {
        std::unique_ptr<XrAudioFile> file =
            XrAudioFile::create_for_file(XrString((folder + "/" + name + ".ogg").c_str()), 8);
        if (file != nullptr)
            prompts[name] = samples_of(file->get_data(), file->get_size());
    }
    return prompts;
}

// The prompts among `prompts` found in the played samples (a prompt may be
// joined with others into one sample), in playing order.
std::vector<std::string> heard(const std::string& capture, const std::map<std::string, Bytes>& prompts)
{
    std::vector<std::string> out;
    std::istringstream log(XrTempRoot::read_file(capture + "/esd.log"));
    std::string line;
    while (std::getline(log, line)) {
        std::vector<std::string> fields;
        std::istringstream split(line);
        for (std::string f; std::getline(split, f, '\t');)
            fields.push_back(f);
        if (fields.size() != 7 || fields[1] != "play")
            continue;
        const std::string wav = XrTempRoot::read_file(capture + "/" + fields[2]);
        const Bytes samples = samples_of(reinterpret_cast<const BYTE*>(wav.data()), wav.size());
        for (const auto& [name, data] : prompts)
            if (!data.empty() && std::search(samples.begin(), samples.end(), data.begin(), data.end()) != samples.end())
                out.push_back(name);
    }
    return out;
}

std::string track_start(const std::string& track)
{
    std::ifstream in(track);
    std::string line;
    std::getline(in, line);
    const std::size_t comma = line.find(',');
    return comma == std::string::npos ? std::string() : line.substr(comma + 1);
}

// Pixels of the jam icon's colour (purple) on the screen.
int jam_pixels(GdkPixbuf* pb)
{
    int n = 0;
    for (int y = 0; y < gdk_pixbuf_get_height(pb); ++y)
        for (int x = 0; x < gdk_pixbuf_get_width(pb); ++x) {
            const XrRgb c = xr_pixel(pb, x, y);
            if (std::abs(c.r - 150) < 12 && c.g < 20 && std::abs(c.b - 190) < 12)
                ++n;
        }
    return n;
}

// Pixels of the road marks of heavy traffic (pure red).
int mark_pixels(GdkPixbuf* pb)
{
    int n = 0;
    for (int y = 0; y < gdk_pixbuf_get_height(pb); ++y)
        for (int x = 0; x < gdk_pixbuf_get_width(pb); ++x) {
            const XrRgb c = xr_pixel(pb, x, y);
            if (c.r > 245 && c.g < 10 && c.b < 10)
                ++n;
        }
    return n;
}

class ServiceServer {
public:
    ServiceServer(const std::string& dir, const std::string& map)
    {
        std::ofstream(dir + "/test.scenario") << scenario;
        std::vector<std::string> args = {"python3",
                                         XrNavigatorRun::source("tools/servicesim/servicesim.py"),
                                         XrNavigatorRun::binary("tools/servicesim/servicesim-answer"),
                                         dir + "/test.scenario",
                                         dir + "/state",
                                         "--port-file",
                                         dir + "/port",
                                         "--map",
                                         map};
        pid = fork();
        if (pid == 0) {
            std::vector<char*> argv;
            for (std::string& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        for (int i = 0; i < 200 && port == 0; ++i) {
            std::ifstream in(dir + "/port");
            in >> port;
            if (port == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    ~ServiceServer()
    {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
    int port = 0;

private:
    pid_t pid = -1;
};

class TrafficDriveTest : public XrDemoDriveTest {};

TEST_F(TrafficDriveTest, AJamOnTheRouteIsShownWarnedOfAndDrivenAround)
{
    const std::string services = root.make_dirs("/services");
    ServiceServer server(services, XrTempRoot::stage_dir() + "/usr/share/kestrova/atlantis");
    ASSERT_NE(server.port, 0);
    // The user's settings: the loopback server, traffic on.
    const std::string home = root.make_dirs("/home/user/.kestrova");
    std::string settings = XrTempRoot::read_file(XrTempRoot::stage_dir() + "/usr/share/kestrova/settings.txt");
    auto set = [&](const std::string& key, const std::string& value) {
        const std::size_t at = settings.find("\n" + key + "=");
        ASSERT_NE(at, std::string::npos) << key;
        const std::size_t end = settings.find('\n', at + 1);
        settings.replace(at + 1, end - at - 1, key + "=" + value);
    };
    set("address", "127.0.0.1");
    set("httpport", std::to_string(server.port));
    set("trafficenabled", "1");
    std::ofstream(home + "/settings.txt") << settings;

    const std::string parked = root.write_file("/parked.csv", "0," + track_start(track) + "\n");
    const std::string capture = root.make_dirs("/capture");
    run.start({"KESTROVA_DRIVE_TRACK=" + parked, std::string("KESTROVA_DRIVE_DESTINATION=") + destination,
               "KESTROVA_ESD_CAPTURE=" + capture});
    ASSERT_TRUE(xr_wait_map(run)) << run.output();

    // The first exchange fails; the retry 30 s later brings the jam: its
    // icon and its roads' marks.
    int marks = 0;
    EXPECT_TRUE(run.wait_screen(90, [&](GdkPixbuf* pb) {
        marks = mark_pixels(pb);
        return jam_pixels(pb) > 40 && marks > 200;
    })) << marks << "\n"
        << run.output();

    std::map<std::string, Bytes> prompts;
    std::vector<std::string> sounds;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(40);
    while (std::chrono::steady_clock::now() < end &&
           std::find(sounds.begin(), sounds.end(), "tf_reroute") == sounds.end()) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        if (prompts.empty() && fs::is_directory(root.dir() + card_voice))
            prompts = load_prompts(root.dir() + card_voice, {"tf_warning", "tf_reroute"});
        sounds = heard(capture, prompts);
    }
    ASSERT_EQ(prompts.size(), 2u);
    // The warning, then the new route announced (a new route that passes
    // another road of the jam is warned of again).
    ASSERT_GE(sounds.size(), 2u) << run.output();
    EXPECT_EQ(sounds[0], "tf_warning");
    EXPECT_EQ(sounds[1], "tf_reroute");

    EXPECT_EQ(run.terminate(), 0) << run.output();
}

} // namespace
