// Runs kestrova-probe with arguments and collects its output and status.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "support/xr_command_run.h"

using ProbeRun = XrCommandRun;

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
    return xr_run_command(build + "/tools/probe/kestrova-probe " + args);
}
