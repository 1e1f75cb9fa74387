// The route state file reader on arbitrary bytes: every record read is
// written again and must read back to the same waypoints.
#include "common/corvanel_core/impl/xr_routestatefile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    XrArray<XrRouteProvider::XrWaypoint> list;
    xr_route_state::parse(data, static_cast<int>(size), list);
    if (list.get_num_items() < 2)
        return 0;
    const std::string text = xr_route_state::format(list, 1);
    XrArray<XrRouteProvider::XrWaypoint> back;
    if (!xr_route_state::parse(reinterpret_cast<const BYTE*>(text.data()), static_cast<int>(text.size()), back) ||
        back.get_num_items() != list.get_num_items())
        std::abort();
    for (int i = 0; i < list.get_num_items(); ++i) {
        const XrRouteProvider::XrWaypoint& a = *list.get_item_ptr(i);
        const XrRouteProvider::XrWaypoint& b = *back.get_item_ptr(i);
        if (a.used != b.used || (a.used != 0 && (a.x != b.x || a.y != b.y || a.gid != b.gid)))
            std::abort();
    }
    return 0;
}
