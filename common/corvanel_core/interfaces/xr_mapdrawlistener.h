// Told after each redraw of the map: the map engine's draw listener.
#pragma once

#include "common/map/xr_map.h"
