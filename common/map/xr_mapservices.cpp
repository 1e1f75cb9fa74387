#include "common/map/xr_mapservices.h"

#include <cstdarg>
#include <cstdio>

namespace {

XrMapEngineServices* g_services = nullptr;
int g_warnings = 0;
constexpr int kWarningsPrinted = 20;

} // namespace

void set_map_engine_services(XrMapEngineServices* services) { g_services = services; }

XrMapEngineServices& get_map_engine_services()
{
    static XrMapEngineServices defaults;
    return g_services != nullptr ? *g_services : defaults;
}

void xr_map_warning(const char* format, ...)
{
    if (g_warnings++ >= kWarningsPrinted)
        return;
    std::fputs("kestrova map: ", stderr);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
}

int xr_map_warning_count() { return g_warnings; }
