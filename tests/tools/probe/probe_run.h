// Runs kestrova-probe with arguments and collects its output and status.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

struct ProbeRun {
    int status = -1;
    std::string out;
};

inline ProbeRun run_probe(const std::string& args)
{
    // The build folder: from the environment, else four levels above this test program.
    std::string build;
    if (const char* bin = std::getenv("XR_BINARY_DIR")) {
        build = bin;
    } else {
        char self[4096];
        const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
        build = std::string(self, n > 0 ? static_cast<size_t>(n) : 0);
        for (int up = 0; up < 4 && !build.empty(); ++up)
            build = build.substr(0, build.rfind('/'));
    }
    const std::string cmd = build + "/tools/probe/kestrova-probe " + args + " 2>&1";
    ProbeRun r;
    FILE* p = popen(cmd.c_str(), "r");
    if (p == nullptr)
        return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        r.out.append(buf, n);
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}
