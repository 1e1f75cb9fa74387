// Reading back what the sound daemon stand-in captured: the samples of each
// played WAV image, the play lines of its "esd.log", and cutting samples
// into the prompt files of a voice folder they were joined from.
#pragma once

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "apps/oggvorbis/xr_oggvorbisfile.h"
#include "common/audio/xr_audiofile.h"
#include "common/audio/xr_wavreader.h"
#include "support/xr_temp_root.h"

namespace prompt_capture {

using Bytes = std::vector<BYTE>;
using Sentence = std::vector<std::string>;

// The samples of a WAV image; empty when it is not one.
inline Bytes samples_of(const BYTE* data, std::size_t size)
{
    XrWavInfo info;
    if (data == nullptr || XrWavReader::parse(data, size, info) != XrWavReader::OK)
        return {};
    return Bytes(data + info.data_offset, data + info.data_offset + info.data_size);
}

// Every prompt of a voice folder as the navigator's player loads it
// (8 bits a sample), by base name.
inline std::map<std::string, Bytes> load_prompts(const std::string& folder)
{
    XrOggVorbisFile::install();
    std::map<std::string, Bytes> prompts;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::unique_ptr<XrAudioFile> file =
            XrAudioFile::create_for_file(XrString(entry.path().string().c_str()), 8);
        if (file == nullptr)
            continue;
        Bytes samples = samples_of(file->get_data(), file->get_size());
        if (!samples.empty())
            prompts[entry.path().stem().string()] = std::move(samples);
    }
    return prompts;
}

// Cuts samples from `at` on into whole prompts; false when they are not a
// run of prompts.
inline bool cut(const Bytes& samples, std::size_t at, const std::map<std::string, Bytes>& prompts, Sentence& out)
{
    if (at == samples.size())
        return true;
    for (const auto& [name, data] : prompts) {
        if (data.size() > samples.size() - at || !std::equal(data.begin(), data.end(), samples.begin() + at))
            continue;
        out.push_back(name);
        if (cut(samples, at + data.size(), prompts, out))
            return true;
        out.pop_back();
    }
    return false;
}

// The file names of "esd.log"'s play lines, in order.
inline std::vector<std::string> played_files(const std::string& capture)
{
    std::vector<std::string> files;
    std::istringstream log(XrTempRoot::read_file(capture + "/esd.log"));
    std::string line;
    while (std::getline(log, line)) {
        std::vector<std::string> fields;
        std::istringstream split(line);
        for (std::string f; std::getline(split, f, '\t');)
            fields.push_back(f);
        if (fields.size() == 7 && fields[1] == "play")
            files.push_back(fields[2]);
    }
    return files;
}

} // namespace prompt_capture
