// The road painter's perspective widths: two row width tables (narrow and
// wide roads) shared by all road layers, valid until the view's 3D set-up
// changes, and the drawing of one road segment with them.
#pragma once

#include "common/gdi/xr_gdi.h"
#include "common/geometry/xr_point.h"

class XrMapView;

class XrRoadPainter {
public:
    static void invalidate_3d_width_tables();
    static bool width_tables_valid();
    // Valid and computed for a screen of this height.
    static bool width_tables_fit(int screen_height);
    static int narrow_width(int index);
    static int wide_width(int index);
    static void compute_3d_width_tables(const XrMapView* view);
    static int slope_width_factor(int dx, int dy);
    static int row_shift_for(int screen_height) { return screen_height < 257 ? 2 : 3; }
    static void draw_3d_segment(XrDCHandleRec* dc, const XrPoint& p1, const XrPoint& p2, const XrSize& screen,
                                int width, bool clip);
};
