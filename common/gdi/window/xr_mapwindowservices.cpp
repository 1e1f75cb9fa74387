#include "common/gdi/window/xr_mapwindowservices.h"

namespace {
XrMapWindowServices g_none;
XrMapWindowServices* g_services = nullptr;
} // namespace

XrMapWindowServices* get_map_window_services()
{
    return g_services != nullptr ? g_services : &g_none;
}

void set_map_window_services(XrMapWindowServices* services)
{
    g_services = services;
}
