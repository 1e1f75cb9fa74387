// The route state file "?:\qj.tmp": the route still to be driven, as a row of
// records ended by '|' in 8-bit characters: "1|x|y|gid|name|" for a place,
// "0|" for the current position. A '|' or '\' inside a name is written
// behind a '\'.
#pragma once

#include <string>

#include "common/container/xr_array.h"
#include "common/container/xr_defs.h"
#include "common/corvanel_core/interfaces/xr_routeprovider.h"

namespace xr_route_state {

// Replaces text by the record of one waypoint (a null waypoint is fatal).
void fmt_wpt(const XrRouteProvider::XrWaypoint* wpt, XrString& text);
// The file's bytes: waypoint 0, then current_index ... count - 1; each
// character's low 8 bits.
std::string format(const XrArray<XrRouteProvider::XrWaypoint>& list, int current_index);
// Appends the records of the file's bytes to out. False when a place record
// ends before its name (the complete records before it are appended).
bool parse(const BYTE* data, int size, XrArray<XrRouteProvider::XrWaypoint>& out);

} // namespace xr_route_state
