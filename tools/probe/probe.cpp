#include "tools/probe/probe.h"

#include <cstdio>
#include <cstring>

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

int probe_usage(const XrProbeCommand& cmd)
{
    std::fprintf(stderr, "usage: kestrova-probe %s %s\n", cmd.name, cmd.usage);
    return 2;
}

int main(int argc, char** argv)
{
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
