// A private KESTROVA_ROOT for one test: a fresh temporary folder that holds
// the installed message catalogue, removed again at the end.
#pragma once

#include <string>

class XrTempRoot {
public:
    XrTempRoot();
    ~XrTempRoot();
    XrTempRoot(const XrTempRoot&) = delete;
    XrTempRoot& operator=(const XrTempRoot&) = delete;

    // The root folder (no trailing slash).
    const std::string& dir() const { return m_dir; }
    // dir() + absolute; the parent folders are created.
    std::string make_dirs(const std::string& absolute) const;
    // Writes a file below the root (parents created); returns its full path.
    std::string write_file(const std::string& absolute, const std::string& content) const;

    // The whole content of a file ("" when it cannot be read).
    static std::string read_file(const std::string& path);

    // Where the build staged shipped files (message catalogue, demo data).
    static std::string stage_dir();

private:
    std::string m_dir;
    std::string m_old_root;
    bool m_had_root = false;
};
