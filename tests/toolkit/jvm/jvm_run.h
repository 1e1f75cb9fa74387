// Runs a command (kojvm or java) and collects its standard output and exit status.
#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

struct JvmOutcome {
    std::string out;
    int status = -1;
};

inline JvmOutcome jvm_run(const std::string& command)
{
    JvmOutcome r;
    FILE* p = popen((command + " 2>/dev/null").c_str(), "r");
    if (!p)
        return r;
    std::array<char, 4096> buf;
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0)
        r.out.append(buf.data(), n);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

#ifdef KOJVM_BIN
// A test program under kojvm, with options before the class name.
inline JvmOutcome kojvm_run(const std::string& program, const std::string& options = "")
{
    return jvm_run(std::string("ASAN_OPTIONS=detect_leaks=0 ") + KOJVM_BIN + " " + options + (options.empty() ? "" : " ") +
                   "-cp " + KOJVM_PROGRAMS + " " + program);
}
#endif
