// Offsets of the traffic displays' elements: percentages of a reference size
// that the map window sets for its display mode.
#pragma once

#include "common/geometry/xr_point.h"

// The reference size in pixels; (0, 0) until the map window sets it.
void xr_set_traffic_reference_size(int width, int height);
// The layout variant: 12 in the map window's display mode, else 11.
void xr_set_traffic_layout_variant(int variant);
int xr_get_traffic_layout_variant();

// The point of an element key (0 to 9) in the current variant, truncated
// toward zero; (0, 0) for other keys.
XrPoint xr_traffic_metric_point(unsigned key);
