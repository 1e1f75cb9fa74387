#include "common/gdi/xr_app_map_window.h"

namespace {

XrAppMapWindowSource* g_source = nullptr;

} // namespace

void set_app_map_window_source(XrAppMapWindowSource* source)
{
    g_source = source;
}

XrAppMapWindowSource* get_app_map_window_source()
{
    return g_source;
}

XrMapWindow* get_app_map_window()
{
    return g_source != nullptr ? g_source->get_map_window() : nullptr;
}
