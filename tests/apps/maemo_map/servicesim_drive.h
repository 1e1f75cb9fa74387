// Whole-program drives against the loopback service server
// (tools/servicesim): the server process, the user's settings that point
// the navigator at it, and the prompts heard in the sound capture folder.
#pragma once

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <map>
#include <memory>
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

namespace servicesim_drive {

using Bytes = std::vector<BYTE>;

// The voice folder on the demo card after start-up.
inline const char* const card_voice = "/media/mmc2/map/kestrova/sounds/sound_eng";

// servicesim.py playing the scenario on a free loopback port (port stays 0
// when it does not start), ended with the object.
class ServiceServer {
public:
    ServiceServer(const std::string& dir, const std::string& scenario, const std::vector<std::string>& extra = {})
    {
        std::ofstream(dir + "/test.scenario") << scenario;
        std::vector<std::string> args = {"python3",
                                         XrNavigatorRun::source("tools/servicesim/servicesim.py"),
                                         XrNavigatorRun::binary("tools/servicesim/servicesim-answer"),
                                         dir + "/test.scenario",
                                         dir + "/state",
                                         "--port-file",
                                         dir + "/port"};
        args.insert(args.end(), extra.begin(), extra.end());
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
    ServiceServer(const ServiceServer&) = delete;
    ServiceServer& operator=(const ServiceServer&) = delete;
    int port = 0;

private:
    pid_t pid = -1;
};

// The user's settings: the shipped ones with the given keys replaced (each
// key must be there). False when a key is missing.
inline bool write_user_settings(const XrTempRoot& root, const std::vector<std::pair<std::string, std::string>>& values)
{
    const std::string home = root.make_dirs("/home/user/.kestrova");
    std::string settings = XrTempRoot::read_file(XrTempRoot::stage_dir() + "/usr/share/kestrova/settings.txt");
    for (const auto& [key, value] : values) {
        const std::size_t at = settings.find("\n" + key + "=");
        if (at == std::string::npos)
            return false;
        const std::size_t end = settings.find('\n', at + 1);
        settings.replace(at + 1, end - at - 1, key + "=" + value);
    }
    std::ofstream(home + "/settings.txt") << settings;
    return true;
}

inline Bytes samples_of(const BYTE* data, std::size_t size)
{
    XrWavInfo info;
    if (data == nullptr || XrWavReader::parse(data, size, info) != XrWavReader::OK)
        return {};
    return Bytes(data + info.data_offset, data + info.data_offset + info.data_size);
}

// The named prompts of the voice folder as the player loads them.
inline std::map<std::string, Bytes> load_prompts(const std::string& folder, const std::vector<std::string>& names)
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
inline std::vector<std::string> heard(const std::string& capture, const std::map<std::string, Bytes>& prompts)
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

// The "lat,lon" of a track file's first point.
inline std::string track_start(const std::string& track)
{
    std::ifstream in(track);
    std::string line;
    std::getline(in, line);
    const std::size_t comma = line.find(',');
    return comma == std::string::npos ? std::string() : line.substr(comma + 1);
}

} // namespace servicesim_drive
