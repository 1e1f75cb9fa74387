// The root module: every absolute platform path ("/media/mmc1/...",
// "/usr/share/kestrova", "/usr/libexec/...", the home folder) is built here.
// When the environment variable KESTROVA_ROOT is set, it prefixes them all,
// so tests and the demo run under a private tree.
//
// Header-only on purpose: the helper programs use it without linking
// anything of the navigator.
#pragma once

#include <cstdlib>
#include <string>
#include <string_view>

class XrRoot {
public:
    // The prefix in force: KESTROVA_ROOT without trailing slashes, or "".
    static std::string prefix()
    {
        const char* r = std::getenv("KESTROVA_ROOT");
        if (r == nullptr || *r == '\0')
            return std::string();
        std::string p(r);
        while (p.size() > 1 && p.back() == '/')
            p.pop_back();
        if (p == "/")
            p.clear();
        return p;
    }

    // An absolute platform path under the root ("/usr/share/kestrova" ->
    // "$KESTROVA_ROOT/usr/share/kestrova"). A relative path is returned as is.
    static std::string path(std::string_view absolute)
    {
        if (absolute.empty() || absolute.front() != '/')
            return std::string(absolute);
        return prefix() + std::string(absolute);
    }

    // The user's home folder: HOME (default "/home/user") under the root.
    static std::string home_dir()
    {
        const char* h = std::getenv("HOME");
        return path((h != nullptr && *h == '/') ? std::string_view(h) : std::string_view("/home/user"));
    }
};
