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

// True when something exists at path.
bool probe_file_exists(const std::string& path);

// The "projection" value of a map folder's mapdata.ini (REGEDIT4 text, the
// name and value quoted or plain); empty when there is none.
std::string probe_read_projection(const std::string& ini);

// "LAT,LON" as two finite numbers; false for anything else.
bool probe_parse_lat_lon(const std::string& text, double& lat, double& lon);

// The card's map folder for a MAPDIR argument: a folder with "mapdata/" (and
// "kestrova/maemo.reg"), the "mapdata" folder itself, or a shipped map folder
// holding "mapdata.ini" and "maemo.reg" side by side (as the map compiler
// writes it), which gets a temporary card folder of links, removed again by
// the destructor. root() ends with "/"; empty when MAPDIR is none of these.
class XrProbeCardRoot {
public:
    explicit XrProbeCardRoot(const std::string& dir);
    ~XrProbeCardRoot();
    XrProbeCardRoot(const XrProbeCardRoot&) = delete;
    XrProbeCardRoot& operator=(const XrProbeCardRoot&) = delete;

    const std::string& root() const { return m_root; }

private:
    std::string m_root;
    std::string m_temporary;
};
