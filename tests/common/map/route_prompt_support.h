// A voice set whose prompts can be told apart in the played sound: each
// prompt file is a short 8-bit WAV of a separator (silence at value 0) and a
// run of one code value. The samples that the sound-daemon stand-in captured
// are turned back into prompt names, so tests read what was said.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "common/container/xr_string.h"
#include "common/map/xr_routelayerhost.h"
#include "common/misc/xr_path_resolver.h"
#include "platform/esd/xr_esd_capture.h"
#include "tools/mapgen/wav_writer.h"

// Every prompt name the route layer speaks.
inline const std::vector<std::string>& all_prompt_names()
{
    static const std::vector<std::string> names = {
        "after", "next", "end", "then", "then2", "prepare", "100", "200", "300", "400", "500", "700", "1km", "2km",
        "100y", "200y", "300y", "400y", "500y", "700y", "1ky", "01mile", "02mile", "04mile", "qmile", "hmile",
        "1mile", "left", "left2", "left3", "sleft", "right", "right2", "right3", "sright", "herel", "herel2",
        "herel3", "herer", "herer2", "herer3", "uturn", "course", "exitl", "exitr", "tc", "1e", "2e", "3e", "4e",
        "5e", "6e", "7e", "8e", "9e", "tcexit", "llane", "rlane", "keepl", "keepr", "waypt", "nogps", "nogpsfix",
        "delay", "dest", "dest2"};
    return names;
}

class XrCodedVoiceSet {
public:
    static constexpr int separator = 8; // samples of value 0 before each code run
    static constexpr int run = 24;

    // Writes the prompts of names (all names when empty) into folder as
    // "<name>.wav"; a name's code is its place in all_prompt_names() + 1.
    explicit XrCodedVoiceSet(const std::string& folder, const std::vector<std::string>& names = {})
    {
        std::filesystem::create_directories(folder);
        const auto& all = all_prompt_names();
        for (std::size_t i = 0; i < all.size(); ++i)
            m_by_code[static_cast<int>(i + 1)] = all[i];
        for (const auto& n : names.empty() ? all : names)
            write(folder, n);
    }

    // Writes one more prompt (also one outside the list, given a code).
    void write(const std::string& folder, const std::string& name, int code = 0)
    {
        if (code == 0)
            code = code_of(name);
        else
            m_by_code[code] = name;
        XrWavDef def;
        def.rate = 8000;
        def.bits = 8;
        def.samples.assign(separator, 0);
        def.samples.insert(def.samples.end(), run, static_cast<BYTE>(code));
        write_wav_file(folder + "/" + name + ".wav", def);
    }

    int code_of(const std::string& name) const
    {
        for (const auto& [code, n] : m_by_code) {
            if (n == name)
                return code;
        }
        return 255;
    }

    // The prompt names in a played WAV image, joined by blanks.
    std::string decode(const std::vector<std::uint8_t>& image) const
    {
        std::string out;
        int last = 0;
        for (std::size_t i = 44; i < image.size(); ++i) {
            const int v = image[i];
            if (v != 0 && last == 0) {
                auto it = m_by_code.find(v);
                if (!out.empty())
                    out += ' ';
                out += it != m_by_code.end() ? it->second : "?";
            }
            last = v;
        }
        return out;
    }

    // Every sentence captured so far, in order.
    std::vector<std::string> said(const XrEsdCapture& capture) const
    {
        std::vector<std::string> out;
        for (const auto& p : capture.plays())
            out.push_back(decode(capture.read(p.file)));
        return out;
    }

private:
    std::map<int, std::string> m_by_code;
};

// The providers' answers the route layer asks for: the sounds folder and the
// distance unit setting.
class XrTestRouteLayerHost : public XrRouteLayerHost {
public:
    explicit XrTestRouteLayerHost(const std::string& sounds) : m_sounds(sounds) { set_route_layer_host(this); }
    ~XrTestRouteLayerHost() override { set_route_layer_host(nullptr); }
    XrTestRouteLayerHost(const XrTestRouteLayerHost&) = delete;
    XrTestRouteLayerHost& operator=(const XrTestRouteLayerHost&) = delete;

    XrString get_sounds_path() override { return from_platform_path(m_sounds.c_str()); }
    int get_distance_units() override { return units; }

    int units = 0;

private:
    std::string m_sounds;
};
