// Runs a shell command and collects its output (standard error too) and its
// exit status, for tests that drive the project's programs.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

struct XrCommandRun {
    int status = -1; // -1 when the command could not run or did not exit
    std::string out;
};

inline XrCommandRun xr_run_command(const std::string& cmd)
{
    XrCommandRun r;
    FILE* p = popen((cmd + " 2>&1").c_str(), "r");
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
