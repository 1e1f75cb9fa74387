#include "common/corvanel_core/impl/xr_stopwatch.h"

#include "common/misc/xr_path_resolver.h"

namespace {

XrTickSource g_tick_source = nullptr;

} // namespace

std::uint32_t position_tick_count_ms()
{
    return g_tick_source != nullptr ? g_tick_source() : get_tick_count_ms();
}

void set_position_tick_source(XrTickSource source)
{
    g_tick_source = source;
}
