#include "tools/probe/probe.h"

#include "common/misc/xr_msgtable.h"
#ifndef XR_PROBE_DRAWING
#include "common/gdi/xr_gdi.h"
#endif

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <system_error>

namespace {

std::vector<const XrProbeCommand*>& commands()
{
    static std::vector<const XrProbeCommand*> list;
    return list;
}

void print_help(FILE* out)
{
    std::fprintf(out, "usage: kestrova-probe <command> [arguments]\n\ncommands:\n");
    for (const XrProbeCommand* c : commands())
        std::fprintf(out, "  %s %s\n      %s\n", c->name, c->usage, c->summary);
}

} // namespace

XrProbeCommand::XrProbeCommand(const char* name_, const char* usage_, const char* summary_, Run run_)
    : name(name_), usage(usage_), summary(summary_), run(run_)
{
    commands().push_back(this);
}

bool probe_file_exists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

std::string probe_read_projection(const std::string& ini)
{
    std::ifstream in(ini);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        auto unquote = [](std::string& t) {
            if (t.size() >= 2 && t.front() == '"' && t.back() == '"')
                t = t.substr(1, t.size() - 2);
        };
        unquote(key);
        unquote(value);
        if (key == "projection")
            return value;
    }
    return std::string();
}

int probe_usage(const XrProbeCommand& cmd)
{
    std::fprintf(stderr, "usage: kestrova-probe %s %s\n", cmd.name, cmd.usage);
    return 2;
}

XrProbeCardRoot::XrProbeCardRoot(const std::string& dir)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path d = fs::absolute(dir, ec);
    if (ec)
        return;
    if (fs::is_regular_file(d / "mapdata.ini", ec) && fs::is_regular_file(d / "maemo.reg", ec) &&
        !fs::is_directory(d.parent_path() / "kestrova", ec)) {
        std::string pattern = (fs::temp_directory_path(ec) / "kestrova-card-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            return;
        m_temporary = pattern;
        const fs::path t(m_temporary);
        // "mapdata" is a real folder (the map catalogue lists folders, not
        // links to them) of links to the map's entries.
        fs::create_directory(t / "kestrova", ec);
        if (!ec)
            fs::create_directory(t / "mapdata", ec);
        for (auto it = fs::directory_iterator(d, ec); !ec && it != fs::directory_iterator(); it.increment(ec))
            fs::create_symlink(it->path(), t / "mapdata" / it->path().filename(), ec);
        if (!ec)
            fs::create_symlink(d / "maemo.reg", t / "kestrova" / "maemo.reg", ec);
        if (!ec)
            m_root = m_temporary + "/";
        return;
    }
    if (fs::is_regular_file(d / "mapdata.ini", ec))
        d = d.parent_path();
    if (fs::is_directory(d / "mapdata", ec))
        m_root = d.string() + "/";
}

XrProbeCardRoot::~XrProbeCardRoot()
{
    std::error_code ec;
    if (!m_temporary.empty())
        std::filesystem::remove_all(m_temporary, ec); // removes the links, not their targets
}

bool probe_parse_lat_lon(const std::string& text, double& lat, double& lon)
{
    const size_t comma = text.find(',');
    if (comma == std::string::npos)
        return false;
    char* end = nullptr;
    lat = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + comma)
        return false;
    const char* rest = text.c_str() + comma + 1;
    lon = std::strtod(rest, &end);
    return end != rest && *end == '\0' && std::isfinite(lat) && std::isfinite(lon);
}

#ifdef XR_PROBE_DRAWING
namespace {

// The commands that draw live in a program of their own beside this one, so
// that the others start without the drawing libraries: runs it with the same
// arguments. Returns only when it cannot be run.
int run_drawing_program(char** argv)
{
    std::error_code ec;
    std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        program = argv[0];
    program.replace_filename(XR_PROBE_DRAWING);
    execv(program.c_str(), argv);
    std::fprintf(stderr, "kestrova-probe: cannot run %s: %s\n", program.c_str(), std::strerror(errno));
    return 1;
}

} // namespace
#endif

int main(int argc, char** argv)
{
    // Texts as the navigator shows them: the environment's locale, the
    // English catalogue where it has none.
    std::setlocale(LC_ALL, "");
    bind_text_domain();
#ifndef XR_PROBE_DRAWING
    XrGDI::use_shipped_fonts();
#else
    // Help and every command not built in here come from the whole program.
    bool here = false;
    for (const XrProbeCommand* c : commands())
        here = here || (argc >= 2 && std::strcmp(c->name, argv[1]) == 0);
    if (!here)
        return run_drawing_program(argv);
#endif
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        print_help(argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    for (const XrProbeCommand* c : commands()) {
        if (std::strcmp(c->name, argv[1]) == 0)
            return c->run(std::vector<std::string>(argv + 2, argv + argc));
    }
    std::fprintf(stderr, "kestrova-probe: unknown command '%s'\n", argv[1]);
    print_help(stderr);
    return 2;
}
