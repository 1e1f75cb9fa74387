// Test side of the sound-daemon stand-in's capture folder: points
// KESTROVA_ESD_CAPTURE at a folder for the test's lifetime and reads back the
// log and the captured WAV files.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "platform/esd/esd.h"

struct XrEsdLogLine {
    long long time = 0;
    std::string what; // "play" or "kill"
    std::string file;
    std::string name;
    int left = -1;
    int right = -1;
    long long duration = -1;
};

class XrEsdCapture {
public:
    // dir is created when create is set.
    explicit XrEsdCapture(const std::string& dir, bool create = true) : m_dir(dir)
    {
        if (create)
            std::filesystem::create_directories(dir);
        if (const char* old = std::getenv(ESD_CAPTURE_ENV)) {
            m_had_old = true;
            m_old = old;
        }
        setenv(ESD_CAPTURE_ENV, dir.c_str(), 1);
    }
    ~XrEsdCapture()
    {
        if (m_had_old)
            setenv(ESD_CAPTURE_ENV, m_old.c_str(), 1);
        else
            unsetenv(ESD_CAPTURE_ENV);
    }
    XrEsdCapture(const XrEsdCapture&) = delete;
    XrEsdCapture& operator=(const XrEsdCapture&) = delete;

    const std::string& dir() const { return m_dir; }

    std::vector<XrEsdLogLine> log() const
    {
        std::vector<XrEsdLogLine> lines;
        std::ifstream in(m_dir + "/" + ESD_CAPTURE_LOG);
        std::string text;
        while (std::getline(in, text)) {
            std::vector<std::string> f;
            std::stringstream ss(text);
            std::string field;
            while (std::getline(ss, field, '\t'))
                f.push_back(field);
            XrEsdLogLine l;
            if (f.size() >= 4) {
                l.time = std::stoll(f[0]);
                l.what = f[1];
                l.file = f[2];
                l.name = f[3];
            }
            if (f.size() >= 7) {
                l.left = std::stoi(f[4]);
                l.right = std::stoi(f[5]);
                l.duration = std::stoll(f[6]);
            }
            lines.push_back(l);
        }
        return lines;
    }

    std::vector<XrEsdLogLine> plays() const
    {
        std::vector<XrEsdLogLine> out;
        for (const auto& l : log()) {
            if (l.what == "play")
                out.push_back(l);
        }
        return out;
    }

    // The bytes of a captured file ("" name: the last one played).
    std::vector<std::uint8_t> read(const std::string& file = "") const
    {
        std::string name = file;
        if (name.empty()) {
            auto p = plays();
            if (p.empty())
                return {};
            name = p.back().file;
        }
        std::ifstream in(m_dir + "/" + name, std::ios::binary);
        return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    std::string m_dir;
    std::string m_old;
    bool m_had_old = false;
};
