// kestrova-probe: one command-line tool, one subcommand per source file.
// A subcommand registers itself with a static XrProbeCommand object:
//
//   static XrProbeCommand route_cmd("route", "MAPDIR LAT,LON LAT,LON [--mode N] [--json]",
//                                   "searches a route between two points", run_route);
//
// run() gets the arguments after the subcommand name and returns the exit
// status (0 success, 1 failure, 2 bad usage).
#pragma once

#include <string>
#include <vector>

class XrProbeCommand {
public:
    using Run = int (*)(const std::vector<std::string>& args);

    XrProbeCommand(const char* name, const char* usage, const char* summary, Run run);

    const char* name;
    const char* usage;
    const char* summary;
    Run run;
};

// Prints "usage: kestrova-probe <name> <usage>" on stderr and returns 2.
int probe_usage(const XrProbeCommand& cmd);
